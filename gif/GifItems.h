#pragma once
// The block tree of a GIF image: every block is a TGIFItem owned by a list
// (frames in the image's TGIFImageList, extensions in their frame's
// TGIFExtensionList) or by the image (its TGIFHeader). A list frees what it
// holds; an item that is destroyed directly takes itself out of its list
// first, so either way of freeing is safe.
//
// Members marked with a file name are defined there (writer, optimiser,
// painter); the rest live in GifItems.cpp or, for reading, GifReader.cpp.
#include <cstdint>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gif/GifColorMap.h"
#include "gif/GifTypes.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Palette.h"

class TStream;
class TBitmap;
class TCanvas;
class TGIFImage;
class TGIFSubImage;
class TGIFExtension;
class TGIFGraphicControlExtension;

// --------------------------------------------------------------------- items

class TGIFItem : public TPersistent {
public:
    QM_CLASSNAME(TGIFItem)
    explicit TGIFItem(TGIFImage* GIFImage) : FImage(GIFImage) {}
    ~TGIFItem() override = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    virtual TGIFVersion Version() const { return gv87a; }
    // Forwards to the owning image's warning operation (nothing without one).
    virtual void Warning(TGIFSeverity Severity, const std::string& Message) const;
    virtual void SaveToStream(TStream& Stream) = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToFile(const std::string& FileName);
    virtual void LoadFromFile(const std::string& FileName);

    TGIFImage* Image() const { return FImage; }

protected:
    TGIFImage* FImage;
};

// --------------------------------------------------------------------- lists

class TGIFList : public TPersistent {
public:
    QM_CLASSNAME(TGIFList)
    explicit TGIFList(TGIFImage* Image) : FImage(Image) {}
    ~TGIFList() override;
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    int ItemCount() const { return int(FItems.size()); }
    // EListError "List index out of bounds (<i>)" outside 0..ItemCount-1.
    TGIFItem* Items(int Index) const;
    int IndexOf(const TGIFItem* Item) const;
    // The list owns the item from now on. Returns its index.
    int AppendItem(std::unique_ptr<TGIFItem> Item);
    void InsertItem(int Index, std::unique_ptr<TGIFItem> Item);
    // Frees the item at Index.
    void Delete(int Index);
    // Frees every item for which Drop is true (asked once per item, in list
    // order), keeping the others in order: one pass, whatever the count.
    void DeleteWhere(const std::function<bool(TGIFItem*)>& Drop);
    // Takes the item out without freeing it (nullptr when absent).
    std::unique_ptr<TGIFItem> Extract(TGIFItem* Item);
    // Deletes from index 0 until empty.
    void Clear();
    // Semantics of TList::Move.
    void MoveItem(int CurIndex, int NewIndex);

    TGIFImage* Image() const { return FImage; }

    virtual void Warning(TGIFSeverity Severity, const std::string& Message) const;
    // Each item's SaveToStream in list order.
    virtual void SaveToStream(TStream& Stream);

protected:
    // Takes an item out without freeing it; used by item destructors.
    friend class TGIFSubImage;
    friend class TGIFExtension;
    void Unlink(const TGIFItem* Item);

    TGIFImage* FImage;
    std::vector<TGIFItem*> FItems; // owned
    // Set while the list frees items it has already taken out, so that
    // their destructors do not search the list for themselves.
    bool FReleasing = false;
};

class TGIFImageList : public TGIFList {
public:
    QM_CLASSNAME(TGIFImageList)
    using TGIFList::TGIFList;

    TGIFSubImage* FrameAt(int Index) const;
    TGIFSubImage* operator[](int Index) const { return FrameAt(Index); }
    // Reads frames until the trailer (GifReader.cpp).
    void LoadFromStream(TStream& Stream, TObject* Parent);
    // Writes every frame with "Saving..." progress (GifWriter.cpp).
    void SaveToStream(TStream& Stream) override;
};

class TGIFExtensionList : public TGIFList {
public:
    QM_CLASSNAME(TGIFExtensionList)
    TGIFExtensionList(TGIFSubImage* SubImage);

    TGIFExtension* ExtensionAt(int Index) const;
    TGIFSubImage* SubImage() const { return FSubImage; }
    // Reads extension blocks until an image separator or the trailer
    // (GifReader.cpp).
    void LoadFromStream(TStream& Stream, TObject* Parent);

private:
    TGIFSubImage* FSubImage;
};

// ---------------------------------------------------------------- the header

// Logical Screen Descriptor, 7 bytes in the stream.
struct TLogicalScreenDescriptor {
    Word ScreenWidth = 0;
    Word ScreenHeight = 0;
    Byte PackedFields = 0;
    Byte BackgroundColorIndex = 0;
    Byte AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
public:
    QM_CLASSNAME(TGIFHeader)
    explicit TGIFHeader(TGIFImage* GIFImage);
    ~TGIFHeader() override;

    // Empties the map and zeroes the descriptor.
    void Clear();
    // From another header: map and descriptor. From a colour map: clears
    // itself and takes the map.
    void Assign(const TPersistent* Source) override;
    // 2 when the global map is sorted or the aspect ratio is not 0.
    TGIFVersion Version() const override;

    // Signature, descriptor and global map (GifWriter.cpp).
    void SaveToStream(TStream& Stream) override;
    // Signature, descriptor and global map (GifReader.cpp).
    void LoadFromStream(TStream& Stream) override;
    // Recomputes the packed byte from the global map and every frame's map.
    void Prepare();

    TGIFGlobalColorMap& ColorMap() { return *FColorMap; }
    const TGIFGlobalColorMap& ColorMap() const { return *FColorMap; }
    TLogicalScreenDescriptor& Descriptor() { return FDescriptor; }
    const TLogicalScreenDescriptor& Descriptor() const { return FDescriptor; }

    int Width() const { return FDescriptor.ScreenWidth; }
    int Height() const { return FDescriptor.ScreenHeight; }
    void SetWidth(int Value) { FDescriptor.ScreenWidth = Word(Value); }
    void SetHeight(int Value) { FDescriptor.ScreenHeight = Word(Value); }
    Byte BackgroundColorIndex() const { return FDescriptor.BackgroundColorIndex; }
    void SetBackgroundColorIndex(Byte Value) { FDescriptor.BackgroundColorIndex = Value; }
    // The global map's colour at the background index.
    TColor BackgroundColor() const;
    Byte AspectRatio() const { return FDescriptor.AspectRatio; }
    void SetAspectRatio(Byte Value) { FDescriptor.AspectRatio = Value; }
    int BitsPerPixel() const { return FColorMap->BitsPerPixel(); }
    int ColorResolution() const { return BitsPerPixel() - 1; }

private:
    std::unique_ptr<TGIFGlobalColorMap> FColorMap;
    TLogicalScreenDescriptor FDescriptor;
};

// --------------------------------------------------------------- one frame

// Image Descriptor, 10 bytes in the stream.
struct TImageDescriptor {
    Byte Separator = bsImageSeparator;
    Word Left = 0;
    Word Top = 0;
    Word Width = 0;
    Word Height = 0;
    Byte PackedFields = 0;
};

class TGIFSubImage : public TGIFItem {
public:
    QM_CLASSNAME(TGIFSubImage)
    explicit TGIFSubImage(TGIFImage* GIFImage);
    // Removes itself from its image's frame list.
    ~TGIFSubImage() override;

    // Pixels, size, maps, extensions and caches; descriptor zeroed.
    void Clear();
    bool Empty() const { return FData.empty() || Width() == 0 || Height() == 0; }
    // 2 when the local map is sorted or an extension is held.
    TGIFVersion Version() const override;

    // Extensions, descriptor, local map and coded pixels (GifWriter.cpp).
    void SaveToStream(TStream& Stream) override;
    // Extensions, descriptor, local map and decoded pixels (GifReader.cpp).
    void LoadFromStream(TStream& Stream) override;

    // From another frame, a TBitmap (reduced when it is not 1, 4 or 8 bits),
    // another TGraphic or a TPicture; nullptr clears.
    void Assign(const TPersistent* Source) override;

    // Geometry. Changing width or height drops the caches and remakes a
    // zero-filled pixel buffer; growing past the logical screen grows it
    // (with warnings when the screen had a size).
    int Left() const { return FDescriptor.Left; }
    int Top() const { return FDescriptor.Top; }
    int Width() const { return FDescriptor.Width; }
    int Height() const { return FDescriptor.Height; }
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }
    // 1 left, 2 top, 3 width, 4 height; other numbers 0.
    int GetDescriptorField(int Field) const;
    TImageDescriptor& Descriptor() { return FDescriptor; }
    const TImageDescriptor& Descriptor() const { return FDescriptor; }

    bool Interlaced() const { return (FDescriptor.PackedFields & idInterlaced) != 0; }
    void SetInterlaceFlag(bool Value);
    void SetInterlaced(bool Value) { SetInterlaceFlag(Value); }

    // Set while the control extension's transparency bit is set.
    bool Transparent() const { return FTransparent; }
    void SetTransparentFlag(bool Value) { FTransparent = Value; }

    TGIFLocalColorMap& ColorMap() { return *FColorMap; }
    const TGIFLocalColorMap& ColorMap() const { return *FColorMap; }
    // The local map when it has entries, else the global map when that has
    // entries, else the (empty) local map.
    TGIFColorMap& ActiveColorMap();
    const TGIFColorMap& ActiveColorMap() const;
    int BitsPerPixel() const { return FColorMap->BitsPerPixel(); }
    int ColorResolution() const { return BitsPerPixel() - 1; }

    // The pixel buffer: Width()*Height() bytes, one index per pixel, rows top
    // to bottom. Empty when the frame has no pixels.
    Byte* Data() { return FData.data(); }
    const Byte* Data() const { return FData.data(); }
    std::int64_t DataSize() const { return std::int64_t(FData.size()); }
    // Makes a zero-filled buffer for the present size ("Invalid image
    // dimensions" beyond the pixel cap).
    void NewImage();
    void FreeImage();
    // "Invalid pixel coordinates" outside the frame; the buffer is made when
    // missing ("Image is empty" for a frame of size 0).
    Byte Pixels(int X, int Y);
    void SetPixels(int X, int Y, Byte Value);
    Byte* ScanLine(int Y);

    TGIFExtensionList& Extensions() { return *FExtensions; }
    const TGIFExtensionList& Extensions() const { return *FExtensions; }
    // The first control extension made for the frame, or nullptr.
    TGIFGraphicControlExtension* GraphicControlExtension() const { return FGCE; }
    void SetGraphicControlExtension(TGIFGraphicControlExtension* Value) { FGCE = Value; }
    // Index of the frame in its image's list (-1 when not in one).
    int Index() const;

    // The frame's palette: the cached bitmap's, else the kept one, else made
    // from the local map (web cube when the image dithers); a frame without
    // a local map answers the image's palette.
    TPalette Palette();
    void SetPalette(const TPalette& Value);
    void FreePalette() { FPalette = TPalette(); }

    // Rendering caches.
    bool HasBitmap() const { return FBitmap != nullptr; }
    TBitmap* CachedBitmap() const { return FBitmap.get(); }
    void SetCachedBitmap(std::unique_ptr<TBitmap> Value);
    // Drops the cached bitmap and makes an empty one.
    TBitmap* NewBitmap();
    void FreeBitmap();
    TBitmap* MaskBitmap() const { return FMask.get(); }
    bool NeedMask() const { return FNeedMask; }
    void SetMask(std::unique_ptr<TBitmap> Value);
    void FreeMask();
    // Renders again when the mask is still to be made for a transparent frame.
    bool HasMask();

    // The cached bitmap, made on first request (GifPainter.cpp).
    TBitmap* RenderedBitmap();
    // Draws the frame into Rect, scaled to its place in the logical screen
    // or tiled (GifPainter.cpp).
    void Draw(TCanvas* ACanvas, const TRect& Rect, bool DoTransparent, bool DoTile);

    // Optimiser (GifOptimizer.cpp): crops a transparent frame to the pixels
    // that are not transparent; merges with the frame shown before it.
    void Crop();
    // FirstFrameOfIndex, when given, holds for each colour index the lowest
    // position of a transparent frame without a local table that uses it as
    // its transparent index (INT_MAX when none); the optimiser keeps it
    // across a pass instead of every merge searching every frame.
    void Merge(TGIFSubImage* Previous, const std::array<int, 256>* FirstFrameOfIndex = nullptr);

    // Decodes the LZW pixel data at the stream's position (GifReader.cpp).
    void Decode(TStream& Stream);

protected:
    void AssignTo(TPersistent* Dest) const override;

private:
    void AssignFrame(const TGIFSubImage& Source);
    // Widens the logical screen to hold the frame, with warnings when the
    // screen already had a size.
    void GrowScreen();
    void AssignBitmap(const TBitmap& Source);
    void DropCaches();

    TImageDescriptor FDescriptor;
    std::unique_ptr<TGIFLocalColorMap> FColorMap;
    std::unique_ptr<TGIFExtensionList> FExtensions;
    std::vector<Byte> FData;
    TGIFGraphicControlExtension* FGCE = nullptr;
    bool FTransparent = false;
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TBitmap> FMask;
    bool FNeedMask = true;
    TPalette FPalette; // empty = none
};

// ---------------------------------------------------------------- trailer

class TGIFTrailer : public TGIFItem {
public:
    QM_CLASSNAME(TGIFTrailer)
    using TGIFItem::TGIFItem;
    // One byte ";" (GifWriter.cpp).
    void SaveToStream(TStream& Stream) override;
    // Expects ";" and warns "Invalid Image trailer" otherwise; the end of the
    // stream is accepted silently (GifReader.cpp).
    void LoadFromStream(TStream& Stream) override;
};
