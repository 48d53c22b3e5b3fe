#include "gif/GifItems.h"

#include <algorithm>
#include <cstring>

#include "gif/ColorReduction.h"
#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "platform/base/Format.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

// ---------------------------------------------------------------------- item

void TGIFItem::Warning(TGIFSeverity Severity, const std::string& Message) const {
    if (FImage) FImage->Warning(const_cast<TGIFItem*>(this), Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName) {
    TFileStream Stream(FileName, fmCreate);
    SaveToStream(Stream);
}

void TGIFItem::LoadFromFile(const std::string& FileName) {
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(Stream);
}

// ---------------------------------------------------------------------- list

namespace {
[[noreturn]] void ListIndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}
} // namespace

TGIFList::~TGIFList() {
    Clear();
}

TGIFItem* TGIFList::Items(int Index) const {
    if (Index < 0 || Index >= ItemCount()) ListIndexError(Index);
    return FItems[std::size_t(Index)];
}

int TGIFList::IndexOf(const TGIFItem* Item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == Item) return int(i);
    return -1;
}

int TGIFList::AppendItem(std::unique_ptr<TGIFItem> Item) {
    FItems.push_back(Item.get());
    Item.release();
    return ItemCount() - 1;
}

void TGIFList::InsertItem(int Index, std::unique_ptr<TGIFItem> Item) {
    if (Index < 0 || Index > ItemCount()) ListIndexError(Index);
    FItems.insert(FItems.begin() + Index, Item.get());
    Item.release();
}

void TGIFList::Delete(int Index) {
    if (Index < 0 || Index >= ItemCount()) ListIndexError(Index);
    // Out of the list first: the item's destructor looks for itself there.
    TGIFItem* Item = FItems[std::size_t(Index)];
    FItems.erase(FItems.begin() + Index);
    FReleasing = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FReleasing};
    delete Item;
}

void TGIFList::DeleteWhere(const std::function<bool(TGIFItem*)>& Drop) {
    std::vector<TGIFItem*> kept, dropped;
    kept.reserve(FItems.size());
    for (TGIFItem* Item : FItems)
        (Drop(Item) ? dropped : kept).push_back(Item);
    if (dropped.empty()) return;
    FItems.swap(kept);
    FReleasing = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FReleasing};
    for (TGIFItem* Item : dropped)
        delete Item;
}

std::unique_ptr<TGIFItem> TGIFList::Extract(TGIFItem* Item) {
    const int Index = IndexOf(Item);
    if (Index < 0) return nullptr;
    FItems.erase(FItems.begin() + Index);
    return std::unique_ptr<TGIFItem>(Item);
}

void TGIFList::Unlink(const TGIFItem* Item) {
    if (FReleasing) return;
    const int Index = IndexOf(Item);
    if (Index >= 0) FItems.erase(FItems.begin() + Index);
}

void TGIFList::Clear() {
    // Freed in list order; taking the whole list first keeps this linear for
    // files with very many blocks.
    std::vector<TGIFItem*> Items;
    Items.swap(FItems);
    for (TGIFItem* Item : Items)
        delete Item;
}

void TGIFList::MoveItem(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    if (NewIndex < 0 || NewIndex >= ItemCount()) ListIndexError(NewIndex);
    if (CurIndex < 0 || CurIndex >= ItemCount()) ListIndexError(CurIndex);
    TGIFItem* Item = FItems[std::size_t(CurIndex)];
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, Item);
}

void TGIFList::Warning(TGIFSeverity Severity, const std::string& Message) const {
    if (FImage) FImage->Warning(const_cast<TGIFList*>(this), Severity, Message);
}

void TGIFList::SaveToStream(TStream& Stream) {
    for (TGIFItem* Item : FItems)
        Item->SaveToStream(Stream);
}

TGIFSubImage* TGIFImageList::FrameAt(int Index) const {
    return static_cast<TGIFSubImage*>(Items(Index));
}

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* SubImage)
    : TGIFList(SubImage ? SubImage->Image() : nullptr), FSubImage(SubImage) {}

TGIFExtension* TGIFExtensionList::ExtensionAt(int Index) const {
    return static_cast<TGIFExtension*>(Items(Index));
}

// -------------------------------------------------------------------- header

TGIFHeader::TGIFHeader(TGIFImage* GIFImage)
    : TGIFItem(GIFImage), FColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {}

TGIFHeader::~TGIFHeader() = default;

void TGIFHeader::Clear() {
    FColorMap->Clear();
    FDescriptor = TLogicalScreenDescriptor();
}

void TGIFHeader::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* Header = dynamic_cast<const TGIFHeader*>(Source)) {
        FColorMap->Assign(&Header->ColorMap());
        FDescriptor = Header->FDescriptor;
        return;
    }
    if (auto* Map = dynamic_cast<const TGIFColorMap*>(Source)) {
        Clear();
        FColorMap->Assign(Map);
        return;
    }
    TGIFItem::Assign(Source);
}

TGIFVersion TGIFHeader::Version() const {
    return (FColorMap->Sorted() || FDescriptor.AspectRatio != 0) ? gv89a : gv87a;
}

void TGIFHeader::Prepare() {
    int Resolution = FColorMap->BitsPerPixel() - 1;
    int Bits = FColorMap->BitsPerPixel();
    if (FImage) {
        const TGIFImageList& Frames = FImage->Images();
        for (int i = 0; i < Frames.ItemCount(); ++i) {
            const TGIFSubImage* Frame = Frames.FrameAt(i);
            Resolution = std::max(Resolution, Frame->ColorResolution());
            Bits = std::max(Bits, Frame->BitsPerPixel());
        }
    }
    Byte Packed = 0;
    if (FColorMap->Count() > 0) {
        Packed |= lsdGlobalColorTable;
        if (FColorMap->Sorted()) Packed |= lsdColorTableSorted;
    }
    Packed |= Byte((Resolution << 4) & lsdColorResolution);
    Packed |= Byte((Bits - 1) & lsdColorTableSize);
    FDescriptor.PackedFields = Packed;
}

TColor TGIFHeader::BackgroundColor() const {
    return FColorMap->Colors(FDescriptor.BackgroundColorIndex);
}

// --------------------------------------------------------------------- frame

TGIFSubImage::TGIFSubImage(TGIFImage* GIFImage)
    : TGIFItem(GIFImage), FColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(this)) {}

TGIFSubImage::~TGIFSubImage() {
    Clear();
    if (FImage) FImage->Images().Unlink(this);
}

void TGIFSubImage::DropCaches() {
    FBitmap.reset();
    FMask.reset();
    FNeedMask = true;
}

void TGIFSubImage::Clear() {
    FExtensions->Clear();
    FGCE = nullptr;
    FTransparent = false;
    FColorMap->Clear();
    FreeImage();
    FDescriptor = TImageDescriptor();
    DropCaches();
    FreePalette();
}

TGIFVersion TGIFSubImage::Version() const {
    return (FColorMap->Sorted() || FExtensions->ItemCount() > 0) ? gv89a : gv87a;
}

void TGIFSubImage::NewImage() {
    const std::int64_t Size = std::int64_t(Width()) * Height();
    if (Size > GIFMaxFramePixels) RaiseGIFError(sGIFInvalidDimensions);
    FData.assign(std::size_t(Size), 0);
}

void TGIFSubImage::FreeImage() {
    FData.clear();
    FData.shrink_to_fit();
}

void TGIFSubImage::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    // Every field is a 16-bit value of the Image Descriptor, and the frame
    // must also fit a 16-bit logical screen.
    if (ALeft < 0 || ATop < 0 || AWidth < 0 || AHeight < 0 ||
        ALeft + std::int64_t(AWidth) > 0xFFFF || ATop + std::int64_t(AHeight) > 0xFFFF)
        RaiseGIFError(sGIFInvalidDimensions);
    if (std::int64_t(AWidth) * AHeight > GIFMaxFramePixels) RaiseGIFError(sGIFInvalidDimensions);
    const bool SizeChanged = AWidth != Width() || AHeight != Height();
    FDescriptor.Left = Word(ALeft);
    FDescriptor.Top = Word(ATop);
    FDescriptor.Width = Word(AWidth);
    FDescriptor.Height = Word(AHeight);
    if (SizeChanged) {
        DropCaches();
        NewImage();
    }
    GrowScreen();
}

void TGIFSubImage::GrowScreen() {
    if (!FImage) return;
    TGIFHeader& Header = FImage->Header();
    // Files may place a frame partly beyond 65535; the screen stops there.
    const int Right = std::min(Left() + Width(), 0xFFFF);
    const int Bottom = std::min(Top() + Height(), 0xFFFF);
    bool Warned = false;
    // A side grows to take the frame in; growing a side that was set warns.
    auto Grow = [&](int End, int Side, void (TGIFHeader::*SetSide)(int), const char* TooSmall) {
        if (End <= Side) return;
        (Header.*SetSide)(End);
        if (Side > 0) {
            Warning(gsWarning, TooSmall);
            Warned = true;
        }
    };
    Grow(Right, Header.Width(), &TGIFHeader::SetWidth, sGIFWidthTooSmall);
    Grow(Bottom, Header.Height(), &TGIFHeader::SetHeight, sGIFHeightTooSmall);
    if (Warned) Warning(gsWarning, sGIFScreenBadSize);
}

void TGIFSubImage::SetLeft(int Value) {
    SetBounds(Value, Top(), Width(), Height());
}
void TGIFSubImage::SetTop(int Value) {
    SetBounds(Left(), Value, Width(), Height());
}
void TGIFSubImage::SetWidth(int Value) {
    SetBounds(Left(), Top(), Value, Height());
}
void TGIFSubImage::SetHeight(int Value) {
    SetBounds(Left(), Top(), Width(), Value);
}

int TGIFSubImage::GetDescriptorField(int Field) const {
    switch (Field) {
    case 1:
        return Left();
    case 2:
        return Top();
    case 3:
        return Width();
    case 4:
        return Height();
    default:
        return 0;
    }
}

void TGIFSubImage::SetInterlaceFlag(bool Value) {
    if (Value)
        FDescriptor.PackedFields |= idInterlaced;
    else
        FDescriptor.PackedFields &= Byte(~idInterlaced);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
    if (FColorMap->Count() > 0) return *FColorMap;
    if (FImage && FImage->GlobalColorMap().Count() > 0) return FImage->GlobalColorMap();
    return *FColorMap;
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const {
    return const_cast<TGIFSubImage*>(this)->ActiveColorMap();
}

Byte* TGIFSubImage::ScanLine(int Y) {
    if (Y < 0 || Y >= Height()) RaiseGIFError(sGIFBadPixelCoordinates);
    if (FData.empty()) {
        if (Width() == 0 || Height() == 0) RaiseGIFError(sGIFImageEmpty);
        NewImage();
    }
    return FData.data() + std::size_t(Y) * Width();
}

Byte TGIFSubImage::Pixels(int X, int Y) {
    if (X < 0 || X >= Width()) RaiseGIFError(sGIFBadPixelCoordinates);
    return ScanLine(Y)[X];
}

void TGIFSubImage::SetPixels(int X, int Y, Byte Value) {
    if (X < 0 || X >= Width()) RaiseGIFError(sGIFBadPixelCoordinates);
    ScanLine(Y)[X] = Value;
    DropCaches();
}

int TGIFSubImage::Index() const {
    return FImage ? FImage->Images().IndexOf(this) : -1;
}

TPalette TGIFSubImage::Palette() {
    if (FBitmap && !FBitmap->Palette().Empty()) return FBitmap->Palette();
    if (!FPalette.Empty()) return FPalette;
    if (FImage && FImage->DoDither()) {
        FPalette = WebPalette();
        return FPalette;
    }
    if (FColorMap->Count() > 0) {
        FPalette = FColorMap->ExportPalette();
        return FPalette;
    }
    return FImage ? FImage->Palette() : TPalette();
}

void TGIFSubImage::SetPalette(const TPalette& Value) {
    if (Value == FPalette) return;
    FPalette = Value;
    if (FBitmap && !(FBitmap->Palette() == Value)) {
        FBitmap.reset();
        if (FImage) {
            FImage->SetPaletteModified(true);
            FImage->NotifyChanged();
        }
    }
}

void TGIFSubImage::SetCachedBitmap(std::unique_ptr<TBitmap> Value) {
    FBitmap = std::move(Value);
}

TBitmap* TGIFSubImage::NewBitmap() {
    FBitmap = std::make_unique<TBitmap>();
    return FBitmap.get();
}

void TGIFSubImage::FreeBitmap() {
    FBitmap.reset();
}

void TGIFSubImage::SetMask(std::unique_ptr<TBitmap> Value) {
    FMask = std::move(Value);
    FNeedMask = false;
}

void TGIFSubImage::FreeMask() {
    FMask.reset();
    FNeedMask = true;
}

bool TGIFSubImage::HasMask() {
    if (FNeedMask && FTransparent) {
        FBitmap.reset();
        RenderedBitmap();
    }
    return FMask != nullptr;
}

// ----------------------------------------------------------- frame assignment

void TGIFSubImage::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (Source == nullptr) {
        Clear();
        return;
    }
    if (auto* Frame = dynamic_cast<const TGIFSubImage*>(Source)) {
        AssignFrame(*Frame);
        return;
    }
    if (auto* Bitmap = dynamic_cast<const TBitmap*>(Source)) {
        AssignBitmap(*Bitmap);
        return;
    }
    if (auto* Picture = dynamic_cast<const TPicture*>(Source)) {
        Assign(Picture->Graphic());
        return;
    }
    if (auto* Graphic = dynamic_cast<const TGraphic*>(Source)) {
        TBitmap Temp;
        try {
            Temp.Assign(Graphic);
        } catch (const EConvertError&) {
            Temp.SetSize(Graphic->Width(), Graphic->Height());
            Temp.SetPixelFormat(pf24bit);
            Temp.Canvas()->Draw(0, 0, const_cast<TGraphic*>(Graphic));
        }
        AssignBitmap(Temp);
        return;
    }
    TGIFItem::Assign(Source);
}

void TGIFSubImage::AssignFrame(const TGIFSubImage& Source) {
    Clear();
    if (Source.Empty()) return;
    FDescriptor = Source.FDescriptor;
    GrowScreen();
    FTransparent = Source.FTransparent;
    FData = Source.FData;
    FColorMap->Assign(Source.FColorMap.get());
    TMemoryStream Stream;
    const_cast<TGIFExtensionList&>(*Source.FExtensions).SaveToStream(Stream);
    Stream.WriteByte(bsImageSeparator);
    Stream.SetPosition(0);
    FExtensions->LoadFromStream(Stream, this);
    if (Source.FBitmap) {
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->Assign(Source.FBitmap.get());
    }
}

namespace {

// A small memo of the last colours met: pictures repeat neighbouring colours
// so often that this saves most colour-table searches.
class TColorRing {
public:
    int Find(TColor Color) {
        for (int n = 0, i = FLast; n < Size; ++n, i = (i + Size - 1) % Size)
            if (FValid[i] && FColors[i] == Color) {
                FLast = i;
                return FIndices[i];
            }
        return -1;
    }
    void Store(TColor Color, int Index) {
        FNext = (FNext + 1) % Size;
        FColors[FNext] = Color;
        FIndices[FNext] = Index;
        FValid[FNext] = true;
        FLast = FNext;
    }

private:
    static constexpr int Size = 8;
    TColor FColors[Size] = {};
    int FIndices[Size] = {};
    bool FValid[Size] = {};
    int FLast = 0;
    int FNext = Size - 1;
};

} // namespace

void TGIFSubImage::AssignBitmap(const TBitmap& Source) {
    Clear();
    if (Source.Empty()) return;
    SetBounds(0, 0, Source.Width(), Source.Height());

    const TBitmap* Bitmap = &Source;
    std::unique_ptr<TBitmap> Reduced;
    const TPixelFormat Format = Source.PixelFormat();
    if (Format == pf1bit || Format == pf4bit || Format == pf8bit) {
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->Assign(&Source);
        Bitmap = FBitmap.get();
    } else {
        const TGIFReductionMethod Method = FImage ? FImage->ReductionMethod() : rdmWebCube;
        const TGIFDitherKernel Dither = FImage ? FImage->DitherKernel() : dkNearestColor;
        const int Bits = FImage ? FImage->ReductionColorBits() : 8;
        Reduced = ReduceBitmapColors(Source, Method, Dither, Bits, nullptr);
        // The reduction answers an empty bitmap for a method, kernel or
        // palette it cannot use; a frame cannot be made from that.
        if (!Reduced || Reduced->Empty() || Reduced->Width() != Width() ||
            Reduced->Height() != Height())
            RaiseGIFError(sGIFInvalidReduction);
        Bitmap = Reduced.get();
    }

    const int W = Width(), H = Height();
    const TPixelFormat BitmapFormat = Bitmap->PixelFormat();
    if (BitmapFormat == pf1bit || BitmapFormat == pf4bit || BitmapFormat == pf8bit) {
        FColorMap->ImportPalette(Bitmap->Palette());
        const int MaxIndex = FColorMap->Count();
        for (int y = 0; y < H; ++y) {
            const Byte* Row = Bitmap->ScanLine(y);
            Byte* Out = FData.data() + std::size_t(y) * W;
            for (int x = 0; x < W; ++x) {
                Byte v;
                if (BitmapFormat == pf1bit)
                    v = (Row[x >> 3] >> (7 - (x & 7))) & 1;
                else if (BitmapFormat == pf4bit)
                    v = (x & 1) ? (Row[x >> 1] & 0x0F) : (Row[x >> 1] >> 4);
                else
                    v = Row[x];
                // An index beyond a short colour table would make a file no
                // decoder agrees on; it shows entry 0 instead.
                Out[x] = v < MaxIndex ? v : 0;
            }
            if (FImage && (y % 32) == 0)
                FImage->ReportProgress(psRunning, int(std::int64_t(y) * 100 / H), sGIFConverting);
        }
    } else {
        const int BytesPerPixel = BitmapFormat == pf24bit ? 3 : 4;
        if (BitmapFormat != pf24bit && BitmapFormat != pf32bit && BitmapFormat != pfDevice)
            RaiseGIFError(sGIFUnsupportedPixelFormat);
        TColorRing Ring;
        for (int y = 0; y < H; ++y) {
            const Byte* Row = Bitmap->ScanLine(y);
            Byte* Out = FData.data() + std::size_t(y) * W;
            for (int x = 0; x < W; ++x) {
                const Byte* p = Row + std::size_t(x) * BytesPerPixel;
                const TColor Color = TColor(p[2] | (p[1] << 8) | (p[0] << 16));
                int Index = Ring.Find(Color);
                if (Index < 0) {
                    Index = FColorMap->AddUnique(Color);
                    Ring.Store(Color, Index);
                }
                Out[x] = Byte(Index);
            }
            if (FImage && (y % 32) == 0)
                FImage->ReportProgress(psRunning, int(std::int64_t(y) * 100 / H), sGIFConverting);
        }
    }
}

void TGIFSubImage::AssignTo(TPersistent* Dest) const {
    if (auto* Bitmap = dynamic_cast<TBitmap*>(Dest)) {
        Bitmap->Assign(const_cast<TGIFSubImage*>(this)->RenderedBitmap());
        return;
    }
    TGIFItem::AssignTo(Dest);
}
