#include "gif/GifImage.h"

#include <algorithm>

#include "gif/ColorReduction.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Clipboard.h"

TGIFImage::TGIFImage()
    : FImages(std::make_unique<TGIFImageList>(this)), FHeader(std::make_unique<TGIFHeader>(this)) {
    const TGIFModuleSettings& Defaults = GIFSettings();
    FPaintFlags = Defaults.PaintFlags;
    FReductionMethod = Defaults.ReductionMethod;
    FReductionColorBits = Defaults.ReductionColorBits;
    FDitherKernel = Defaults.DitherKernel;
    FPixelCoding = Defaults.PixelCoding;
    Clear();
}

TGIFImage::~TGIFImage() {
    StopPainters();
    DetachPainters();
    // Frames go first: their destructors look for themselves in the list.
    FImages->Clear();
    FHeader->Clear();
}

std::unique_ptr<TGIFImage> TGIFImage::CreateEmpty() {
    auto Image = std::make_unique<TGIFImage>();
    Image->Clear();
    return Image;
}

std::unique_ptr<TGraphic> TGIFImage::NewOfSameClass() const {
    return std::make_unique<TGIFImage>();
}

void TGIFImage::Clear() {
    StopPainters();
    FreeBitmap();
    FImages->Clear();
    FHeader->ColorMap().Clear();
    FHeader->SetWidth(0);
    FHeader->SetHeight(0);
    FHeader->Prepare();
    FreePalette();
}

void TGIFImage::Warning(TObject* Sender, TGIFSeverity Severity, const std::string& Message) {
    if (OnWarning) OnWarning(Sender, Severity, Message);
}

void TGIFImage::ReportProgress(TProgressStage Stage, int PercentDone, const std::string& Msg) {
    Progress(this, Stage, Byte(std::clamp(PercentDone, 0, 100)), false, TRect{}, Msg);
}

TGIFVersion TGIFImage::Version() const {
    if (FImages->ItemCount() == 0) return gvUnknown;
    TGIFVersion Result = gv87a;
    for (int i = 0; i < FImages->ItemCount() && Result < gv89a; ++i)
        Result = std::max(Result, FImages->FrameAt(i)->Version());
    // A sorted global table or an aspect ratio also needs "89a".
    return std::max(Result, FHeader->Version());
}

int TGIFImage::BitsPerPixel() const {
    int Bits = FHeader->ColorMap().BitsPerPixel();
    for (int i = 0; i < FImages->ItemCount(); ++i)
        Bits = std::max(Bits, FImages->FrameAt(i)->BitsPerPixel());
    return Bits;
}

int TGIFImage::ColorResolution() const {
    int Resolution = FHeader->ColorResolution();
    for (int i = 0; i < FImages->ItemCount(); ++i)
        Resolution = std::max(Resolution, FImages->FrameAt(i)->ColorResolution());
    return Resolution;
}

void TGIFImage::SetWidth(int Value) {
    SetScreenSide(Value, true);
}

void TGIFImage::SetHeight(int Value) {
    SetScreenSide(Value, false);
}

void TGIFImage::SetScreenSide(int Value, bool Horizontal) {
    for (int i = 0; i < FImages->ItemCount(); ++i) {
        const TGIFSubImage* Frame = FImages->FrameAt(i);
        if (Horizontal ? Value < Frame->Left() + Frame->Width()
                       : Value < Frame->Top() + Frame->Height())
            RaiseGIFError(Horizontal ? sGIFWidthTooSmall : sGIFHeightTooSmall);
    }
    if (Value < 0 || Value > 0xFFFF) RaiseGIFError(sGIFInvalidDimensions);
    if (Value == (Horizontal ? FHeader->Width() : FHeader->Height())) return;
    if (Horizontal)
        FHeader->SetWidth(Value);
    else
        FHeader->SetHeight(Value);
    FreeBitmap();
    Changed(this);
}

namespace {
struct TReentryGuard {
    bool& Flag;
    explicit TReentryGuard(bool& f) : Flag(f) { Flag = true; }
    ~TReentryGuard() { Flag = false; }
};
} // namespace

TPalette TGIFImage::Palette() const {
    // A frame without a local table asks the image, which may ask the first
    // frame again: the guard turns that loop into an error.
    if (FGettingPalette) RaiseGIFError(sGIFNoColorTable);
    TReentryGuard Guard(FGettingPalette);
    if (FBitmap && !FBitmap->Palette().Empty()) return FBitmap->Palette();
    if (!FGlobalPalette.Empty()) return FGlobalPalette;
    if (DoDither())
        FGlobalPalette = WebPalette();
    else if (FHeader->ColorMap().Count() > 0)
        FGlobalPalette = FHeader->ColorMap().ExportPalette();
    else if (FImages->ItemCount() > 0)
        FGlobalPalette = FImages->FrameAt(0)->Palette();
    return FGlobalPalette;
}

void TGIFImage::SetPalette(const TPalette& Value) {
    FGlobalPalette = Value;
    if (FBitmap && !(FBitmap->Palette() == Value)) {
        FreeBitmap();
        FPaletteModified = true;
        Changed(this);
    }
}

void TGIFImage::SetCachedBitmap(std::unique_ptr<TBitmap> Value) {
    FBitmap = std::move(Value);
}

void TGIFImage::FreeBitmap() {
    FBitmap.reset();
}

int TGIFImage::AppendFrame(std::unique_ptr<TGIFSubImage> Frame) {
    if (!Frame) RaiseGIFError(sGIFUnsupportedClass);
    const int Index = FImages->AppendItem(std::move(Frame));
    FreeBitmap();
    Changed(this);
    return Index;
}

int TGIFImage::AppendFrame(const TPersistent* Source) {
    if (!dynamic_cast<const TGraphic*>(Source) && !dynamic_cast<const TGIFSubImage*>(Source) &&
        !dynamic_cast<const TPicture*>(Source))
        RaiseGIFError(sGIFUnsupportedClass);
    auto Frame = std::make_unique<TGIFSubImage>(this);
    Frame->Assign(Source);
    return AppendFrame(std::move(Frame));
}

void TGIFImage::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (Source == nullptr) {
        Clear();
        return;
    }
    if (auto* Other = dynamic_cast<const TGIFImage*>(Source)) {
        Clear();
        FHeader->Assign(&Other->Header());
        FPainterPriority = Other->FPainterPriority;
        FBackdropColor = Other->FBackdropColor;
        FPaintFlags = Other->FPaintFlags;
        FReductionMethod = Other->FReductionMethod;
        FDitherKernel = Other->FDitherKernel;
        FStillFrameIndex = Other->FStillFrameIndex;
        OnWarning = Other->OnWarning;
        OnStartPaint = Other->OnStartPaint;
        OnPaint = Other->OnPaint;
        OnAfterPaint = Other->OnAfterPaint;
        OnLoop = Other->OnLoop;
        OnEndPaint = Other->OnEndPaint;
        const int Count = Other->Images().ItemCount();
        ReportProgress(psStarting, 0, sGIFCopying);
        for (int i = 0; i < Count; ++i) {
            auto Frame = std::make_unique<TGIFSubImage>(this);
            Frame->Assign(Other->Images().FrameAt(i));
            FImages->AppendItem(std::move(Frame));
            ReportProgress(psRunning, int(std::int64_t(i + 1) * 100 / Count), sGIFCopying);
        }
        ReportProgress(psEnding, 100, sGIFCopying);
        Changed(this);
        return;
    }
    try {
        Clear();
        auto Frame = std::make_unique<TGIFSubImage>(this);
        Frame->Assign(Source);
        AppendFrame(std::move(Frame));
    } catch (const EConvertError&) {
        TGraphic::Assign(Source);
    }
}

void TGIFImage::AssignTo(TPersistent* Dest) const {
    if (auto* Target = dynamic_cast<TBitmap*>(Dest)) {
        Target->Assign(const_cast<TGIFImage*>(this)->Bitmap());
        return;
    }
    TGraphic::AssignTo(Dest);
}

void TGIFImage::WriteData(TStream& Stream) const {
    if (GIFSettings().OptimizeOnStream)
        const_cast<TGIFImage*>(this)->OptimizeFrames(osAllSteps, rdmKeep24Bit, 8, dkNearestColor);
    SaveToStream(Stream);
}

// ----------------------------------------------------------------- clipboard

namespace {
Word GIFClipboardFormat() {
    static const Word Format = RegisterClipboardFormat(sGIFImageDescription);
    return Format;
}
} // namespace

void TGIFImage::SaveToClipboardFormat() {
    if (Empty()) return;
    TBytesStream Stream;
    SaveToStream(Stream);
    TClipboard* Board = Clipboard();
    Board->Open();
    try {
        Board->Clear();
        if (TBitmap* Rendered = Bitmap()) Board->Assign(Rendered);
        try {
            Board->SetBuffer(GIFClipboardFormat(), Stream.Bytes());
        } catch (const EClipboardException&) {
            RaiseGIFError(sGIFFailedClipboard);
        }
    } catch (...) {
        Board->Close();
        throw;
    }
    Board->Close();
}

void TGIFImage::LoadFromClipboardFormat() {
    TClipboard* Board = Clipboard();
    if (Board->HasFormat(GIFClipboardFormat())) {
        TBytesStream Stream(Board->GetBuffer(GIFClipboardFormat()));
        LoadFromStream(Stream);
        return;
    }
    if (Board->HasFormat(CF_BITMAP)) {
        TBitmap Temp;
        Temp.Assign(Board);
        Assign(&Temp);
        return;
    }
    RaiseGIFError(sGIFUnsupportedClipboardFormat);
}
