#include "gif/GifReader.h"

#include <cctype>
#include <cstring>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "gif/LzwDecoder.h"
#include "platform/classes/Stream.h"

namespace {

// The next byte without consuming it; -1 at the end of the stream.
int PeekByte(TStream& Stream) {
    Byte b;
    if (Stream.Read(&b, 1) != 1) return -1;
    Stream.Seek(-1, soCurrent);
    return b;
}

int ReadByteOrEnd(TStream& Stream) {
    Byte b;
    return Stream.Read(&b, 1) == 1 ? b : -1;
}

void ReadExact(TStream& Stream, void* Buffer, std::int64_t Count) {
    if (Stream.Read(Buffer, Count) != Count) RaiseGIFError(sGIFPrematureEOF);
}

Word Le16(const Byte* p) {
    return Word(p[0] | (p[1] << 8));
}

bool IsSignature(const Byte* p) {
    return std::toupper(p[0]) == 'G' && std::toupper(p[1]) == 'I' && std::toupper(p[2]) == 'F';
}

// Skips the 0 bytes some writers leave between blocks.
void SkipZeros(TStream& Stream) {
    for (;;) {
        const int b = ReadByteOrEnd(Stream);
        if (b < 0) return;
        if (b != 0) {
            Stream.Seek(-1, soCurrent);
            return;
        }
    }
}

} // namespace

// -------------------------------------------------------------------- image

void TGIFImage::LoadFromStream(TStream& Stream) {
    ReportProgress(psStarting, 0, sGIFLoading);
    const std::int64_t Start = Stream.Position();
    try {
        Clear();
        FHeader->LoadFromStream(Stream);
        FImages->LoadFromStream(Stream, this);
        TGIFTrailer Trailer(this);
        Trailer.LoadFromStream(Stream);
    } catch (...) {
        Stream.SetPosition(Start);
        ReportProgress(psEnding, 0, sGIFLoading);
        throw;
    }
    ReportProgress(psEnding, 100, sGIFLoading);
    Changed(this);
}

std::unique_ptr<TGIFImage> LoadGIFFromBytes(const Byte* Data, std::size_t Size) {
    TMemoryStream Stream;
    if (Size > 0) Stream.WriteBuffer(Data, std::int64_t(Size));
    Stream.SetPosition(0);
    auto Image = std::make_unique<TGIFImage>();
    Image->LoadFromStream(Stream);
    return Image;
}

// ------------------------------------------------------------------- header

void TGIFHeader::LoadFromStream(TStream& Stream) {
    const std::int64_t Start = Stream.Position();
    Byte Signature[6];
    ReadExact(Stream, Signature, 6);
    if (!IsSignature(Signature)) {
        // Some containers put a 4-byte length before the GIF data.
        Stream.SetPosition(Start + 4);
        ReadExact(Stream, Signature, 6);
        if (!IsSignature(Signature)) RaiseGIFError(sGIFBadSignature);
    }
    // Logical Screen Descriptor.
    Byte Lsd[7];
    ReadExact(Stream, Lsd, 7);
    FDescriptor.ScreenWidth = Le16(Lsd);
    FDescriptor.ScreenHeight = Le16(Lsd + 2);
    FDescriptor.PackedFields = Lsd[4];
    FDescriptor.BackgroundColorIndex = Lsd[5];
    FDescriptor.AspectRatio = Lsd[6];
    if (FDescriptor.PackedFields & lsdGlobalColorTable)
        FColorMap->LoadFromStream(Stream, 2 << (FDescriptor.PackedFields & lsdColorTableSize));
    else
        FColorMap->Clear();
}

// ------------------------------------------------------------------- frames

void TGIFImageList::LoadFromStream(TStream& Stream, TObject* Parent) {
    const std::int64_t Size = Stream.Size();
    SkipZeros(Stream);
    for (;;) {
        const int b = PeekByte(Stream);
        if (b < 0 || b == bsTrailer) break;
        if (b != bsExtensionIntroducer && b != bsImageSeparator) {
            Warning(gsWarning, sGIFUnknownBlockType);
            break;
        }
        auto Frame = std::make_unique<TGIFSubImage>(FImage);
        Frame->LoadFromStream(Stream);
        AppendItem(std::move(Frame));
        if (FImage && Size > 0)
            FImage->ReportProgress(psRunning, int(Stream.Position() * 100 / Size), sGIFLoading);
        SkipZeros(Stream);
    }
}

void TGIFExtensionList::LoadFromStream(TStream& Stream, TObject* Parent) {
    for (;;) {
        const int b = PeekByte(Stream);
        if (b < 0 || b == bsImageSeparator || b == bsTrailer) break;
        if (b != bsExtensionIntroducer) {
            Warning(gsWarning, sGIFBadExtensionLabel);
            break;
        }
        Byte Head[2];
        ReadExact(Stream, Head, 2);
        TGIFExtensionFactory Factory = FindExtension(Head[1]);
        if (!Factory) {
            // The format lets a reader pass over any extension by its
            // sub-blocks; the picture does not depend on it.
            Warning(gsWarning, sGIFUnknownExtension);
            SkipSubBlocks(Stream);
            continue;
        }
        // An application extension chooses its class by its identifier.
        std::unique_ptr<TGIFExtension> Probe = Factory(nullptr);
        TGIFExtensionFactory Sub = Probe->FindSubExtension(Stream);
        if (Sub) Factory = Sub;
        Probe.reset();
        Stream.Seek(-2, soCurrent);
        std::unique_ptr<TGIFExtension> Extension = Factory(FSubImage);
        Extension->LoadFromStream(Stream);
        AppendItem(std::move(Extension));
    }
}

void TGIFSubImage::LoadFromStream(TStream& Stream) {
    Clear();
    FExtensions->LoadFromStream(Stream, this);
    const int b = PeekByte(Stream);
    // Only an Image Separator starts an image; anything else (the trailer, a
    // 0 byte, junk) leaves the frame with its extensions alone.
    if (b != bsImageSeparator) return;
    Byte Desc[10];
    ReadExact(Stream, Desc, 10);
    FDescriptor.Separator = Desc[0];
    FDescriptor.Left = Le16(Desc + 1);
    FDescriptor.Top = Le16(Desc + 3);
    FDescriptor.Width = Le16(Desc + 5);
    FDescriptor.Height = Le16(Desc + 7);
    FDescriptor.PackedFields = Desc[9];
    if (FDescriptor.Width == 0 || FDescriptor.Height == 0) {
        if (FImage) {
            FDescriptor.Width = Word(FImage->Header().Width());
            FDescriptor.Height = Word(FImage->Header().Height());
        }
        Warning(gsWarning, sGIFScreenBadSize);
    }
    if (FDescriptor.PackedFields & idLocalColorTable)
        FColorMap->LoadFromStream(Stream, 2 << (FDescriptor.PackedFields & idColorTableSize));
    Decode(Stream);
}

void TGIFSubImage::Decode(TStream& Stream) {
    const std::int64_t Pixels = std::int64_t(Width()) * Height();
    if (Pixels > GIFMaxFramePixels) RaiseGIFError(sGIFInvalidDimensions);
    const Byte Fill = (FTransparent && FGCE) ? FGCE->TransparentColorIndex() : 0;
    FData.assign(std::size_t(Pixels), Fill);
    DropCaches();
    TLZWTarget Target;
    Target.Pixels = FData.data();
    Target.Width = Width();
    Target.Height = Height();
    Target.Interlaced = Interlaced();
    DecodeLZW(Stream, Target, [this](const std::string& Message) { Warning(gsWarning, Message); });
}

// ------------------------------------------------------------------ trailer

void TGIFTrailer::LoadFromStream(TStream& Stream) {
    const int b = ReadByteOrEnd(Stream);
    // A missing trailer at the end of the stream is common and harmless.
    if (b >= 0 && b != bsTrailer) Warning(gsWarning, sGIFBadTrailer);
}
