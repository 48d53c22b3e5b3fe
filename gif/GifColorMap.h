#pragma once
// TGIFColorMap: a GIF colour table of packed RGB triples in file order.
// It owns its entries, never holds more than 256, and grows its capacity in
// the steps the format's table sizes favour (16, then multiples of 32).
// Colours go in and out as TColor values 0x00BBGGRR.
#include <vector>

#include "gif/GifTypes.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Palette.h"

class TStream;
class TGIFImage;
class TGIFHeader;
class TGIFSubImage;

// One histogram pair of the colour-map optimiser: how many pixels use the
// entry Index.
struct TGIFUsageCount {
    int Count = 0;
    int Index = 0;
};

class TGIFColorMap : public TPersistent {
public:
    QM_CLASSNAME(TGIFColorMap)
    TGIFColorMap() = default;
    ~TGIFColorMap() override = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    // Frees the entries; count 0, not sorted.
    void Clear();
    // Sorted: the first match from the start; otherwise the last match,
    // searching from the end. -1 when absent.
    int IndexOf(TColor Color) const;
    // Raises "Color table overflow" when 256 entries are there already.
    // Clears Sorted. Returns the new index.
    int Add(TColor Color);
    int AddUnique(TColor Color);
    // "Invalid color index" outside 0..Count-1. Clears Sorted.
    void Delete(int Index);
    // An empty map raises "Color table is empty"; an index outside
    // 0..Count-1 warns "Invalid color index" and gives entry 0.
    TColor Colors(int Index) const;
    // Replaces an entry; "Invalid color index" outside 0..Count-1.
    void SetColors(int Index, TColor Color);

    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }
    // The GIF "sort" flag.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value) { FSorted = Value; }

    // The raw triples (Count()*3 bytes used).
    const Byte* Data() const { return FData.data(); }
    Byte* Data() { return FData.data(); }

    // Up to 256 entries of a palette.
    void ImportPalette(const TPalette& Palette);
    // Entries of a DIB colour table: 4 bytes each, blue, green, red, reserved.
    void ImportDIBColors(const Byte* Quads, int Count);
    // Every entry flagged no-collapse; an empty palette when the map is empty.
    TPalette ExportPalette() const;
    // 0 for an empty map; else the least b >= 1 with 2^b >= Count.
    int BitsPerPixel() const;

    // From another colour map: entries, count, capacity and sorted flag.
    void Assign(const TPersistent* Source) override;

    // Reads Count triples ("Premature end of data" when the stream ends
    // first); Count is 0..256.
    void LoadFromStream(TStream& Stream, int Count);
    // Writes the used triples, then zero triples up to 2^BitsPerPixel().
    void SaveToStream(TStream& Stream) const;

    virtual void Warning(TGIFSeverity Severity, const std::string& Message) const;

    // Colour-map optimiser: the histogram counts every pixel of the frames
    // whose active colour map is this one; MapImages rewrites those pixels
    // (and transparent indices) through Map (old index -> new index);
    // Optimize sorts by use and drops unused entries. The three are defined
    // with the optimiser (GifOptimizer.cpp). Changed tells the owner its
    // palette is stale.
    virtual void BuildHistogram(std::vector<TGIFUsageCount>& Histogram);
    virtual void MapImages(const std::vector<int>& Map);
    virtual bool Optimize();
    virtual void Changed();

protected:
    void AssignTo(TPersistent* Dest) const override;

private:
    void EnsureCapacity(int Needed);

    std::vector<Byte> FData; // FCapacity * 3 bytes
    int FCount = 0;
    int FCapacity = 0;
    bool FSorted = false;
};

// The global colour table, owned by the image's header.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    QM_CLASSNAME(TGIFGlobalColorMap)
    explicit TGIFGlobalColorMap(TGIFHeader* Header) : FHeader(Header) {}

    TGIFHeader* Header() const { return FHeader; }
    void Warning(TGIFSeverity Severity, const std::string& Message) const override;
    void BuildHistogram(std::vector<TGIFUsageCount>& Histogram) override; // GifOptimizer.cpp
    void MapImages(const std::vector<int>& Map) override;                 // GifOptimizer.cpp
    // Resets the image's palette.
    void Changed() override;

private:
    TGIFHeader* FHeader;
};

// A frame's own colour table (empty: the frame uses the global one).
class TGIFLocalColorMap : public TGIFColorMap {
public:
    QM_CLASSNAME(TGIFLocalColorMap)
    explicit TGIFLocalColorMap(TGIFSubImage* SubImage) : FSubImage(SubImage) {}

    TGIFSubImage* SubImage() const { return FSubImage; }
    void Warning(TGIFSeverity Severity, const std::string& Message) const override;
    void BuildHistogram(std::vector<TGIFUsageCount>& Histogram) override; // GifOptimizer.cpp
    void MapImages(const std::vector<int>& Map) override;                 // GifOptimizer.cpp
    // Drops the frame's palette.
    void Changed() override;

private:
    TGIFSubImage* FSubImage;
};
