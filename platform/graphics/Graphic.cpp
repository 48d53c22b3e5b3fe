#include "platform/graphics/Graphic.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/base/FileNames.h"
#include "platform/classes/Filer.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/JpegImage.h"
#include "platform/graphics/Metafile.h"

// ---------------------------------------------------------------------------
// TCanvas drawing of pictures

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
    if (Graphic == nullptr || Graphic->Empty()) return;
    Changing();
    Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
    if (Graphic == nullptr || Graphic->Empty()) return;
    Changing();
    Graphic->Draw(this, Rect);
    Changed();
}

// ---------------------------------------------------------------------------
// TGraphic

void TGraphic::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Changed(this);
}

void TGraphic::SetModified(bool Value) {
    if (Value)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Changed(TObject* Sender) {
    FModified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName) const {
    TMemoryStream data;
    SaveToStream(data);
    // Written beside the file and renamed over it, as every file the
    // program saves: a failed write leaves the old file whole, and the
    // error names the file the user chose.
    SaveFileAtomic(FileName, data.View());
}

bool TGraphic::Equals(const TGraphic* Other) const {
    if (Other == nullptr) return false;
    if (Empty() || Other->Empty()) return Empty() && Other->Empty();
    if (std::strcmp(ClassName(), Other->ClassName()) != 0) return false;
    TMemoryStream a;
    TMemoryStream b;
    SaveToStream(a);
    Other->SaveToStream(b);
    return a.View() == b.View();
}

std::unique_ptr<TGraphic> TGraphic::NewOfSameClass() const {
    if (const TGraphicClass* c = TPicture::FindGraphicClass(ClassName())) return c->Create();
    throw EInvalidGraphic(std::string("Picture class ") + ClassName() + " is not registered");
}

// ---------------------------------------------------------------------------
// The registry

namespace {

struct TFormatRegistry {
    std::mutex Lock;
    std::vector<TFileFormat> Formats;
};

// Never destroyed: pictures may still be loaded while other statics go.
TFormatRegistry& Registry() {
    static TFormatRegistry* r = new TFormatRegistry();
    return *r;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string StripDot(const std::string& ext) {
    return !ext.empty() && ext[0] == '.' ? ext.substr(1) : ext;
}

// The extension of a file name, without the point ("" when none).
std::string ExtensionOf(const std::string& FileName) {
    const size_t slash = FileName.find_last_of("/\\");
    const size_t dot = FileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return FileName.substr(dot + 1);
}

} // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  const TGraphicClass& GraphicClass) {
    const std::string ext = Lower(StripDot(Extension));
    if (ext.empty()) return;
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (TFileFormat& f : r.Formats) {
        if (f.Extension == ext) {
            f.Description = Description;
            f.GraphicClass = GraphicClass;
            return;
        }
    }
    r.Formats.push_back({ext, Description, GraphicClass});
}

void TPicture::UnregisterGraphicClass(const std::string& ClassName) {
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    std::erase_if(r.Formats,
                  [&](const TFileFormat& f) { return f.GraphicClass.Name == ClassName; });
}

std::vector<TFileFormat> TPicture::FileFormats() {
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.Formats;
}

const TGraphicClass* TPicture::FindGraphicClass(const std::string& ClassName) {
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const TFileFormat& f : r.Formats)
        if (f.GraphicClass.Name == ClassName) return &f.GraphicClass;
    return nullptr;
}

const TGraphicClass* TPicture::FindExtension(const std::string& Extension) {
    const std::string ext = Lower(StripDot(Extension));
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const TFileFormat& f : r.Formats)
        if (f.Extension == ext) return &f.GraphicClass;
    return nullptr;
}

std::string GraphicFilter(const std::string& ClassName) {
    std::string all;
    std::string each;
    for (const TFileFormat& f : TPicture::FileFormats()) {
        if (!ClassName.empty() && f.GraphicClass.Name != ClassName) continue;
        const std::string mask = "*." + f.Extension;
        if (!all.empty()) all += ';';
        all += mask;
        each += '|' + f.Description + " (" + mask + ")|" + mask;
    }
    if (all.empty()) return {};
    return "Toutes les images (" + all + ")|" + all + each;
}

std::string GraphicExtension(const std::string& ClassName) {
    for (const TFileFormat& f : TPicture::FileFormats())
        if (f.GraphicClass.Name == ClassName) return f.Extension;
    return {};
}

std::string GraphicFileMask(const std::string& ClassName) {
    std::string mask;
    for (const TFileFormat& f : TPicture::FileFormats()) {
        if (f.GraphicClass.Name != ClassName) continue;
        if (!mask.empty()) mask += ';';
        mask += "*." + f.Extension;
    }
    return mask;
}

namespace {
// Set between InitGraphicsModule and DoneGraphicsModule, so that a program
// that starts again (the tests start the editor several times) registers
// its formats again.
std::atomic<bool> GGraphicsStarted{false};
} // namespace

void InitGraphicsModule() {
    if (GGraphicsStarted.exchange(true)) return;
    {
        // Component streams write colours by their identifiers ("clBtnFace").
        RegisterColorIdentFunctions(
            [](const std::string& Ident, std::int32_t& Color) {
                return IdentToColor(Ident, Color);
            },
            [](std::int32_t Color, std::string& Ident) { return ColorToIdent(Color, Ident); });
        TPicture::RegisterFileFormat("bmp", "Bitmaps", GraphicClassOf<TBitmap>());
        TPicture::RegisterFileFormat("jpg", "JPEG Image File", GraphicClassOf<TJPEGImage>());
        TPicture::RegisterFileFormat("jpeg", "JPEG Image File", GraphicClassOf<TJPEGImage>());
        TPicture::RegisterFileFormat("ico", "Icons", GraphicClassOf<TIcon>());
        TPicture::RegisterFileFormat("emf", "Enhanced Metafiles", GraphicClassOf<TMetafile>());
        TPicture::RegisterFileFormat("wmf", "Metafiles", GraphicClassOf<TMetafile>());
    }
}

void DoneGraphicsModule() {
    GGraphicsStarted = false;
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Formats.clear();
}

// ---------------------------------------------------------------------------
// TPicture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject* Sender) {
    if (OnChange) OnChange(this);
}

void TPicture::Attach(std::unique_ptr<TGraphic> g) {
    FGraphic = std::move(g);
    if (!FGraphic) return;
    FGraphic->OnChange = [this](TObject*) { Changed(this); };
    FGraphic->OnProgress = [this](TObject* Sender, TProgressStage Stage, Byte Percent, bool Redraw,
                                  const TRect& R, const std::string& Msg) {
        if (OnProgress) OnProgress(Sender, Stage, Percent, Redraw, R, Msg);
    };
}

void TPicture::SetGraphic(const TGraphic* Value) {
    if (Value == FGraphic.get() && Value != nullptr) return;
    std::unique_ptr<TGraphic> copy;
    if (Value) {
        copy = Value->NewOfSameClass();
        copy->Assign(Value);
    }
    Attach(std::move(copy));
    Changed(this);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> Value) {
    Attach(std::move(Value));
    Changed(this);
}

TBitmap* TPicture::Bitmap() {
    if (auto* b = dynamic_cast<TBitmap*>(FGraphic.get())) return b;
    Attach(std::make_unique<TBitmap>());
    return static_cast<TBitmap*>(FGraphic.get());
}

int TPicture::Width() const {
    return FGraphic ? FGraphic->Width() : 0;
}
int TPicture::Height() const {
    return FGraphic ? FGraphic->Height() : 0;
}

void TPicture::LoadFromFile(const std::string& FileName) {
    const std::string ext = ExtensionOf(FileName);
    const TGraphicClass* cls = FindExtension(ext);
    if (cls == nullptr) throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
    std::unique_ptr<TGraphic> g = cls->Create();
    g->OnProgress = OnProgress;
    g->LoadFromFile(FileName);
    Attach(std::move(g));
    Changed(this);
}

void TPicture::SaveToFile(const std::string& FileName) const {
    if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::Assign(const TPersistent* Source) {
    if (Source == nullptr) {
        SetGraphic(static_cast<const TGraphic*>(nullptr));
    } else if (auto* p = dynamic_cast<const TPicture*>(Source)) {
        if (p != this) SetGraphic(p->Graphic());
    } else if (auto* g = dynamic_cast<const TGraphic*>(Source)) {
        SetGraphic(g);
    } else {
        TPersistent::Assign(Source);
    }
}

void TPicture::AssignTo(TPersistent* Dest) const {
    if (auto* g = dynamic_cast<TGraphic*>(Dest); g && FGraphic) {
        g->Assign(FGraphic.get());
        return;
    }
    TPersistent::AssignTo(Dest);
}

void TPicture::ReadData(TStream& Stream) {
    const Byte len = Stream.ReadByte();
    std::string name(len, '\0');
    Stream.ReadBuffer(name.data(), len);
    std::unique_ptr<TGraphic> g;
    if (!name.empty()) {
        if (const TGraphicClass* cls = FindGraphicClass(name)) {
            g = cls->Create();
            g->ReadData(Stream);
        } else {
            // A picture of a class this program does not know is skipped.
            Stream.Seek(0, soEnd);
        }
    }
    Attach(std::move(g));
    Changed(this);
}

void TPicture::WriteData(TStream& Stream) const {
    std::string name = FGraphic ? FGraphic->ClassName() : "";
    if (name.size() > 255) name.resize(255);
    Stream.WriteByte(static_cast<std::uint8_t>(name.size()));
    Stream.WriteString(name);
    if (FGraphic) FGraphic->WriteData(Stream);
}

void TPicture::DefineProperties(TFiler* Filer) {
    Filer->DefineBinaryProperty(
        "Data", [this](TStream& Stream) { ReadData(Stream); },
        [this](TStream& Stream) { WriteData(Stream); }, FGraphic != nullptr);
}
