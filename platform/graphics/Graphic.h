#pragma once
// TGraphic, the abstract picture, and TPicture, the holder of one picture
// with the registry of picture formats by file extension.
//
// A graphic owns its pixels (or file data) and draws itself onto a canvas;
// it loads from and saves to streams and files; OnChange fires after each
// change and OnProgress during long loads. TPicture owns at most one graphic
// and chooses its class by file extension (case-insensitive) when loading.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Palette.h"

class TCanvas;
class TStream;
class TBitmap;

enum TProgressStage { psStarting, psRunning, psEnding };

using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, Byte PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

class TGraphic : public TPersistent {
public:
    QM_CLASSNAME(TGraphic)
    ~TGraphic() override = default;

    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int Value) = 0;
    virtual void SetHeight(int Value) = 0;
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool Value);
    // An empty palette means none.
    virtual TPalette Palette() const { return {}; }
    virtual void SetPalette(const TPalette& Value) {}
    bool Modified() const { return FModified; }
    void SetModified(bool Value);

    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) const = 0;
    virtual void LoadFromFile(const std::string& FileName);
    // Replaces the file atomically: the picture is written beside it and
    // renamed over it.
    virtual void SaveToFile(const std::string& FileName) const;

    // True when both are empty, or both are of the same class and save to the
    // same bytes.
    virtual bool Equals(const TGraphic* Other) const;

    // The payload of a picture in a component stream ("Data" after the class
    // name); by default the graphic's own stream form.
    virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
    virtual void WriteData(TStream& Stream) const { SaveToStream(Stream); }

    // A new empty graphic of this class (the registered factory of the class
    // name; EInvalidGraphic when the class is not registered).
    virtual std::unique_ptr<TGraphic> NewOfSameClass() const;

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    friend class TCanvas;
    friend class TPicture;
    // Draws the picture into Rect of ACanvas, stretched to the rectangle.
    virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
    virtual void Changed(TObject* Sender);
    virtual void Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow,
                          const TRect& R, const std::string& Msg);

private:
    bool FModified = false;
    bool FTransparent = false;
};

// A picture class as the registry knows it: its class name and a factory.
struct TGraphicClass {
    std::string Name;
    std::function<std::unique_ptr<TGraphic>()> Create;
};

template <class T> TGraphicClass GraphicClassOf() {
    T sample;
    return {sample.ClassName(), [] { return std::unique_ptr<TGraphic>(new T()); }};
}

struct TFileFormat {
    std::string Extension; // lower case, without the point
    std::string Description;
    TGraphicClass GraphicClass;
};

class TPicture : public TPersistent {
public:
    QM_CLASSNAME(TPicture)
    TPicture();
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The held graphic (nullptr when none).
    TGraphic* Graphic() const { return FGraphic.get(); }
    // Holds a copy of Value (nullptr empties the picture).
    void SetGraphic(const TGraphic* Value);
    // Takes Value over.
    void SetGraphic(std::unique_ptr<TGraphic> Value);
    // The held bitmap; when the graphic is something else (or none) it is
    // replaced by a new empty bitmap.
    TBitmap* Bitmap();
    int Width() const;
    int Height() const;

    // Chooses the class by the file's extension; EInvalidGraphic "Unknown
    // picture file extension (.<ext>)" when none is registered. On failure
    // the picture keeps its previous graphic.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;

    void Assign(const TPersistent* Source) override;

    // The component-stream form (a binary value of its own): the class name
    // as a short string (length byte, characters), then the graphic's data;
    // an empty picture writes an empty name. A class that is not registered
    // is skipped to the end of Stream and leaves the picture empty.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream) const;
    // Streams the picture as the binary property "Data" (written when the
    // picture holds a graphic).
    void DefineProperties(TFiler* Filer) override;

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    // The picture-format registry. Registering an extension that is already
    // listed (in any case) gives it the new description and class in place.
    static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                   const TGraphicClass& GraphicClass);
    // Removes every extension of the class (by class name).
    static void UnregisterGraphicClass(const std::string& ClassName);
    static std::vector<TFileFormat> FileFormats();
    // nullptr when the name is not registered (exact comparison).
    static const TGraphicClass* FindGraphicClass(const std::string& ClassName);
    static const TGraphicClass* FindExtension(const std::string& Extension);

protected:
    void AssignTo(TPersistent* Dest) const override;
    void Changed(TObject* Sender);

private:
    void Attach(std::unique_ptr<TGraphic> g);
    std::unique_ptr<TGraphic> FGraphic;
};

// The open-dialog filter: "Toutes les images (*.a;*.b)|*.a;*.b|Desc (*.a)|*.a|...",
// formats in registration order; ClassName limits it to one class. The
// first entry speaks French, as the dialogs around it do.
std::string GraphicFilter(const std::string& ClassName = {});
// The first extension registered for the class ("" when none).
std::string GraphicExtension(const std::string& ClassName);
// "*.a;*.b" for the class.
std::string GraphicFileMask(const std::string& ClassName);

// Registers the picture classes of the class library (bitmap, icon, JPEG,
// metafiles). Called at program start, before any picture is loaded;
// calling it again before DoneGraphicsModule does nothing.
void InitGraphicsModule();
// Empties the picture-format registry; a later InitGraphicsModule fills it
// again.
void DoneGraphicsModule();
