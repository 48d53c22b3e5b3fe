#include "imageio/PictureReaders.h"

#include <algorithm>

#include "imageio/PngReader.h"
#include "imageio/ReaderFactories.h"
#include "platform/base/Rounding.h"
#include "platform/base/Text.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/JpegImage.h"
#include "platform/graphics/Metafile.h"

// ---------------------------------------------------------------------------
// TReaderGraphic

TReaderGraphic::TReaderGraphic() = default;
TReaderGraphic::~TReaderGraphic() = default;

bool TReaderGraphic::AcceptsFile(const std::string& FileName) {
    std::unique_ptr<TFileStream> stream;
    try {
        stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EStreamError&) {
        return false;
    }
    return AcceptsStream(*stream);
}

bool TReaderGraphic::AcceptsStream(TStream& /*Stream*/) {
    return false;
}

bool TReaderGraphic::ReadHeader(TStream& /*Stream*/) {
    FImageProperties = TImageProperties{};
    FImageProperties.FileGamma = 1.0f;
    return false;
}

void TReaderGraphic::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* reader = dynamic_cast<const TReaderGraphic*>(Source))
        FImageProperties = reader->FImageProperties;
    TBitmap::Assign(Source);
}

void TReaderGraphic::RaiseReaderError(const std::string& Message) {
    throw EInvalidGraphic(Message);
}

void TReaderGraphic::RaiseReaderError(const std::string& Fmt, std::initializer_list<TVarRec> Args) {
    throw EInvalidGraphic(Format(Fmt, Args));
}

void TReaderGraphic::SwapShort(Word* P, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i)
        P[i] = static_cast<Word>((P[i] >> 8) | (P[i] << 8));
}

void TReaderGraphic::SwapLong(std::uint32_t* P, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i)
        P[i] = SwapLong(P[i]);
}

std::uint32_t TReaderGraphic::SwapLong(std::uint32_t Value) {
    return (Value >> 24) | ((Value >> 8) & 0xFF00u) | ((Value << 8) & 0xFF0000u) | (Value << 24);
}

namespace {
// Each sample gets the sample Distance bytes before it added, left to right,
// so a restored sample feeds the next one.
void Depredict(Byte* P, std::size_t Count, std::size_t Distance) {
    const std::size_t n = Count * Distance;
    for (std::size_t i = 0; i < n; ++i)
        P[i + Distance] = static_cast<Byte>(P[i + Distance] + P[i]);
}
} // namespace

void TReaderGraphic::Depredict1(Byte* P, std::size_t Count) {
    Depredict(P, Count, 1);
}
void TReaderGraphic::Depredict3(Byte* P, std::size_t Count) {
    Depredict(P, Count, 3);
}
void TReaderGraphic::Depredict4(Byte* P, std::size_t Count) {
    Depredict(P, Count, 4);
}

void TReaderGraphic::BeginLoad(TStream& Stream) {
    SetSize(0, 0);
    FBasePosition = Stream.Position();
    FStream = &Stream;
    FProgressRect = TRect{};
}

void TReaderGraphic::CheckImageSize(std::int64_t Width, std::int64_t Height, int BitsPerPixel,
                                    const std::string& Label) const {
    if (Width <= 0 || Height <= 0 || BitsPerPixel <= 0 || BitsPerPixel > 128)
        RaiseReaderError(SInvalidImage, {Label});
    CheckPictureSize(Width, Height);
}

void TReaderGraphic::CheckDataHolds(std::int64_t CodedBytes, std::int64_t MaxExpansion,
                                    std::int64_t DecodedBytes, const std::string& Label) {
    if (CodedBytes < 0 || (DecodedBytes > 0 && CodedBytes * MaxExpansion < DecodedBytes))
        RaiseReaderError(SStreamReadError, {Label});
}

// The frame may report before the bitmap has its size: the header's then.
void TReaderGraphic::ProgressStart(const std::string& Message) {
    const int w = Width() > 0 ? Width() : std::max(FImageProperties.Width, 0);
    FProgressRect = Rect(0, 0, w, 1);
    Progress(this, psStarting, 0, false, FProgressRect, Message);
}

void TReaderGraphic::ProgressRow(int Row) {
    const int h = Height() > 0 ? Height() : FImageProperties.Height;
    const int percent = h > 0 ? std::clamp(MulDiv(Row, 100, h), 0, 100) : 0;
    Progress(this, psRunning, static_cast<Byte>(percent), true, FProgressRect, "");
    ++FProgressRect.Top;
    ++FProgressRect.Bottom;
}

void TReaderGraphic::ProgressEnd() {
    Progress(this, psEnding, 0, false, FProgressRect, "");
}

// ---------------------------------------------------------------------------
// TFileFormatList

TFileFormatList::TFileFormatList() = default;

TFileFormatList::~TFileFormatList() {
    RemoveAll();
}

int TFileFormatList::IndexOfExtension(const std::string& Extension) const {
    if (Extension.empty()) return -1;
    for (std::size_t i = 0; i < FExtensionList.size(); ++i)
        if (SameText(FExtensionList[i]->Extension, Extension)) return static_cast<int>(i);
    return -1;
}

int TFileFormatList::IndexOfClass(const std::string& ClassName) const {
    for (std::size_t i = 0; i < FClassList.size(); ++i)
        if (FClassList[i]->GraphicClass.Name == ClassName) return static_cast<int>(i);
    return -1;
}

int TFileFormatList::IndexOfClass(const TGraphicClass& GraphicClass) const {
    return IndexOfClass(GraphicClass.Name);
}

std::string TFileFormatList::DescriptionOf(int ExtensionIndex) const {
    const TExtensionEntry& e = Extension(ExtensionIndex);
    if (!e.Description.empty() || e.ClassReference == nullptr) return e.Description;
    return e.ClassReference->Description;
}

TClassEntry* TFileFormatList::FindOrAddClass(const TGraphicClass& GraphicClass) {
    const int index = IndexOfClass(GraphicClass);
    if (index >= 0) return FClassList[index].get();
    auto entry = std::make_unique<TClassEntry>();
    entry->GraphicClass = GraphicClass;
    FClassList.push_back(std::move(entry));
    return FClassList.back().get();
}

// Drops a class entry that no extension points to any more.
void TFileFormatList::ReleaseClass(TClassEntry* Entry) {
    --Entry->Count;
    if (Entry->Count > 0) return;
    auto it = std::find_if(FClassList.begin(), FClassList.end(),
                           [Entry](const auto& c) { return c.get() == Entry; });
    if (it != FClassList.end()) FClassList.erase(it);
}

void TFileFormatList::AddFileFormat(const std::string& Extension,
                                    const std::string& CommonDescription,
                                    const std::string& OwnDescription, TFormatTypes FormatTypes,
                                    bool /*RegisterDefault*/, bool Replace,
                                    const TGraphicClass& GraphicClass) {
    if (Extension.empty()) return;
    TExtensionEntry* entry = nullptr;
    const int index = IndexOfExtension(Extension);
    if (index < 0) {
        auto created = std::make_unique<TExtensionEntry>();
        created->Extension = Extension;
        created->Description = OwnDescription;
        created->FormatTypes = FormatTypes;
        FExtensionList.push_back(std::move(created));
        entry = FExtensionList.back().get();
        TClassEntry* cls = FindOrAddClass(GraphicClass);
        if (!CommonDescription.empty()) cls->Description = CommonDescription;
        ++cls->Count;
        entry->ClassReference = cls;
    } else {
        if (!Replace) TReaderGraphic::RaiseReaderError(SRegistration, {Extension});
        entry = FExtensionList[index].get();
        if (entry->ClassReference->GraphicClass.Name != GraphicClass.Name) {
            TClassEntry* old = entry->ClassReference;
            TClassEntry* cls = FindOrAddClass(GraphicClass);
            ++cls->Count;
            entry->ClassReference = cls;
            ReleaseClass(old);
        }
    }
    const std::string description =
        entry->Description.empty() ? entry->ClassReference->Description : entry->Description;
    TPicture::RegisterFileFormat(Extension, description, entry->ClassReference->GraphicClass);
}

void TFileFormatList::RemoveFileFormat(const std::string& Extension,
                                       const TGraphicClass& GraphicClass) {
    if (!Extension.empty()) {
        const int index = IndexOfExtension(Extension);
        if (index < 0) return;
        TClassEntry* cls = FExtensionList[index]->ClassReference;
        FExtensionList.erase(FExtensionList.begin() + index);
        if (cls->Count <= 1) TPicture::UnregisterGraphicClass(cls->GraphicClass.Name);
        ReleaseClass(cls);
        return;
    }
    const int classIndex = IndexOfClass(GraphicClass);
    if (classIndex < 0) return;
    TClassEntry* cls = FClassList[classIndex].get();
    std::erase_if(FExtensionList, [cls](const auto& e) { return e->ClassReference == cls; });
    TPicture::UnregisterGraphicClass(cls->GraphicClass.Name);
    FClassList.erase(FClassList.begin() + classIndex);
}

void TFileFormatList::RemoveAll() {
    for (const auto& cls : FClassList)
        TPicture::UnregisterGraphicClass(cls->GraphicClass.Name);
    FExtensionList.clear();
    FClassList.clear();
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

namespace {

// A plain pointer: the list's life is bounded by the explicit Init/Done calls.
TFileFormatList* GFileFormatList = nullptr;

TGraphicClass ReaderClass(const char* Name, std::unique_ptr<TGraphic> (*Factory)()) {
    return {Name, Factory};
}

TGraphicClass TargaClass() {
    return ReaderClass("TTargaGraphic", CreateTargaGraphic);
}
TGraphicClass TIFFClass() {
    return ReaderClass("TTIFFGraphic", CreateTIFFGraphic);
}
TGraphicClass EPSClass() {
    return ReaderClass("TEPSGraphic", CreateEPSGraphic);
}
TGraphicClass PCXClass() {
    return ReaderClass("TPCXGraphic", CreatePCXGraphic);
}
TGraphicClass RLAClass() {
    return ReaderClass("TRLAGraphic", CreateRLAGraphic);
}
TGraphicClass SGIClass() {
    return ReaderClass("TSGIGraphic", CreateSGIGraphic);
}
TGraphicClass PSDClass() {
    return ReaderClass("TPSDGraphic", CreatePSDGraphic);
}
TGraphicClass PPMClass() {
    return ReaderClass("TPPMGraphic", CreatePPMGraphic);
}
TGraphicClass AutodeskClass() {
    return ReaderClass("TAutodeskGraphic", CreateAutodeskGraphic);
}
TGraphicClass PCDClass() {
    return ReaderClass("TPCDGraphic", CreatePCDGraphic);
}
TGraphicClass CUTClass() {
    return ReaderClass("TCUTGraphic", CreateCUTGraphic);
}
TGraphicClass PSPClass() {
    return ReaderClass("TPSPGraphic", CreatePSPGraphic);
}
TGraphicClass PNGClass() {
    return ReaderClass("TPNGGraphic", CreatePNGGraphic);
}

struct TRegistration {
    const char* Extension;
    TGraphicClass (*Class)();
    const char* CommonDescription;
    const char* OwnDescription;
    TFormatTypes FormatTypes;
};

TGraphicClass BitmapClass() {
    return GraphicClassOf<TBitmap>();
}
TGraphicClass IconClass() {
    return GraphicClassOf<TIcon>();
}
TGraphicClass MetafileClass() {
    return GraphicClassOf<TMetafile>();
}
TGraphicClass JPEGClass() {
    return GraphicClassOf<TJPEGImage>();
}

// The order is the order of the file dialogs' filter lines.
constexpr TRegistration Registrations[] = {
    {"bmp", BitmapClass, "Bitmaps Windows", "", ftRaster},
    {"ico", IconClass, "Icone Windows", "", ftRaster},
    {"wmf", MetafileClass, "Metafiles Windows", "", ftVector},
    {"emf", MetafileClass, "Metafiles Windows", "Metafiles Windows améliorés", ftVector},
    {"jfif", JPEGClass, "Images JPG", "Images JFIF images", ftRaster},
    {"jpg", JPEGClass, "", "Images JPG", ftRaster},
    {"jpe", JPEGClass, "", "Images JPE images", ftRaster},
    {"jpeg", JPEGClass, "", "Images JPEG", ftRaster},
    {"rle", BitmapClass, "Bitmaps Windows", "Bitmaps Windows (Run length encoded)", ftRaster},
    {"dib", BitmapClass, "", "Bitmaps Windows (Device independant)", ftRaster},
    {"win", TargaClass, "Images Truevision", "", ftRaster},
    {"vst", TargaClass, "", "", ftRaster},
    {"vda", TargaClass, "", "", ftRaster},
    {"tga", TargaClass, "", "", ftRaster},
    {"icb", TargaClass, "", "", ftRaster},
    {"tiff", TIFFClass, "Images Tagged image file format", "Images TIFF Macintosh",
     ftRaster | ftMultiImage},
    {"tif", TIFFClass, "", "Images PC TIF", ftRaster | ftMultiImage},
    {"fax", TIFFClass, "", "Images GFI fax", ftRaster | ftMultiImage},
    {"eps", EPSClass, "Images Postscript Encapsulées", "", ftRaster},
    {"pcx", PCXClass, "Images ZSoft Paintbrush", "", ftRaster},
    {"pcc", PCXClass, "", "", ftRaster},
    {"scr", PCXClass, "", "Capture d'ecrant Word 5.x", ftRaster},
    {"rpf", RLAClass, "Images Alias/Wavefront", "", ftRaster},
    {"rla", RLAClass, "", "", ftRaster},
    {"sgi", SGIClass, "Images SGI", "Images SGI true color", ftRaster},
    {"rgba", SGIClass, "", "Images SGI true color avec canal alpha", ftRaster},
    {"rgb", SGIClass, "", "Images SGI true color", ftRaster},
    {"bw", SGIClass, "", "Images SGI noir/blanc", ftRaster},
    {"psd", PSDClass, "Images Photoshop", "", ftRaster | ftLayered},
    {"pdd", PSDClass, "", "", ftRaster | ftLayered},
    {"ppm", PPMClass, "Images Portable map", "Images Portable pixel map", ftRaster},
    {"pgm", PPMClass, "", "Images Portable gray map", ftRaster},
    {"pbm", PPMClass, "", "Images Portable bitmap", ftRaster},
    {"cel", AutodeskClass, "Images Autodesk", "", ftRaster},
    {"pic", AutodeskClass, "Images Autodesk", "", ftRaster},
    {"pcd", PCDClass, "Images Kodak Photo-CD", "", ftRaster},
    {"cut", CUTClass, "Images Dr. Halo", "", ftRaster},
    {"psp", PSPClass, "Images Paintshop Pro", "", ftRaster | ftVector},
    {"png", PNGClass, "Images Portable network graphic", "", ftRaster},
};
static_assert(std::size(Registrations) == 39);

} // namespace

TFileFormatList* FileFormatList() {
    return GFileFormatList;
}

namespace {
// PNG-compressed icon entries, read by our PNG reader: a transparent colour
// becomes alpha 0 as in the 32-bit bitmap.
TDibImage DecodeIconPng(const Byte* Data, size_t Size) {
    TPNGGraphic png;
    TBytesStream stream(std::vector<Byte>(Data, Data + Size));
    png.LoadFromStream(stream);
    TDibImage image = ConvertDibImage(png.Image(), pf32bit);
    if (png.Image().PixelFormat != pf32bit &&
        png.PNGTransparentColor() != TPNGGraphic::NoTransparentColor) {
        const TColor key = png.PNGTransparentColor();
        for (int y = 0; y < image.Height; ++y) {
            Byte* p = image.Row(y);
            for (int x = 0; x < image.Width; ++x, p += 4)
                if (TColor(p[2] | p[1] << 8 | p[0] << 16) == key) p[3] = 0;
        }
    }
    return image;
}
} // namespace

void InitPictureReaders() {
    if (GFileFormatList != nullptr) return;
    SetIconPngDecoder(&DecodeIconPng);
    GFileFormatList = new TFileFormatList();
    int row = 0;
    for (const TRegistration& r : Registrations) {
        // The class library's own formats (the first eight) are not defaults.
        const bool registerDefault = row++ >= 8;
        GFileFormatList->AddFileFormat(r.Extension, r.CommonDescription, r.OwnDescription,
                                       r.FormatTypes, registerDefault, false, r.Class());
    }
}

void DonePictureReaders() {
    if (GFileFormatList == nullptr) return;
    SetIconPngDecoder(nullptr);
    TFileFormatList* list = GFileFormatList;
    for (TGraphicClass (*cls)() : {PSPClass, PSDClass, TargaClass, TIFFClass, SGIClass, PCXClass,
                                   AutodeskClass, PCDClass, PPMClass, CUTClass, RLAClass})
        list->RemoveFileFormat("", cls());
    list->RemoveFileFormat("rle", BitmapClass());
    list->RemoveFileFormat("dib", BitmapClass());
    list->RemoveFileFormat("", PNGClass());
    GFileFormatList = nullptr;
    delete list;
}
