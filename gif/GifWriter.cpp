#include "gif/GifWriter.h"

#include <algorithm>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "gif/GifItems.h"
#include "gif/GifPixelEncoders.h"
#include "gif/GifTypes.h"

// ------------------------------------------------------ saving the block tree

namespace {

void WriteWordLE(Byte* p, Word v) {
    p[0] = Byte(v & 0xFF);
    p[1] = Byte(v >> 8);
}

} // namespace

void TGIFImage::SaveToStream(TStream& Stream) const {
    // Saving recomputes the packed bytes of the descriptors and reports
    // progress; the picture it describes does not change.
    TGIFImage& self = const_cast<TGIFImage&>(*this);
    self.ReportProgress(psStarting, 0, sGIFSaving);
    try {
        self.Header().SaveToStream(Stream);
        self.Images().SaveToStream(Stream);
        TGIFTrailer trailer(&self);
        trailer.SaveToStream(Stream);
    } catch (...) {
        self.ReportProgress(psEnding, 0, sGIFSaving);
        throw;
    }
    self.ReportProgress(psEnding, 100, sGIFSaving);
}

void TGIFHeader::SaveToStream(TStream& Stream) {
    TGIFVersion version = FImage ? FImage->Version() : gvUnknown;
    if (version == gvUnknown) RaiseGIFError(sGIFBadVersion);
    // A sorted global table and a pixel aspect ratio only exist in 89a.
    if (Version() > version) version = Version();

    Prepare();
    if (FColorMap->Count() > 0) {
        // "Size of Global Color Table" must describe the table that follows,
        // whatever size the local tables have.
        FDescriptor.PackedFields = Byte((FDescriptor.PackedFields & ~lsdColorTableSize) |
                                        ((FColorMap->BitsPerPixel() - 1) & lsdColorTableSize));
    }

    Byte header[13] = {'G', 'I', 'F', '8', Byte(version == gv89a ? '9' : '7'), 'a'};
    WriteWordLE(header + 6, FDescriptor.ScreenWidth);
    WriteWordLE(header + 8, FDescriptor.ScreenHeight);
    header[10] = FDescriptor.PackedFields;
    header[11] = FDescriptor.BackgroundColorIndex;
    header[12] = FDescriptor.AspectRatio;
    Stream.WriteBuffer(header, sizeof header);
    if (FDescriptor.PackedFields & lsdGlobalColorTable) FColorMap->SaveToStream(Stream);
}

void TGIFImageList::SaveToStream(TStream& Stream) {
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        FrameAt(i)->SaveToStream(Stream);
        if (FImage)
            FImage->ReportProgress(psRunning, int(std::int64_t(i + 1) * 100 / count), sGIFSaving);
    }
}

void TGIFSubImage::SaveToStream(TStream& Stream) {
    FExtensions->SaveToStream(Stream);
    if (Empty()) return;

    const TGIFLocalColorMap& local = *FColorMap;
    Byte packed;
    if (local.Count() > 0) {
        packed = Byte(idLocalColorTable | (FDescriptor.PackedFields & idInterlaced) |
                      ((local.BitsPerPixel() - 1) & idColorTableSize));
        if (local.Sorted()) packed |= idColorTableSorted;
    } else {
        packed = Byte(FDescriptor.PackedFields & (idInterlaced | idReserved));
    }
    FDescriptor.PackedFields = packed;

    Byte descriptor[10];
    descriptor[0] = bsImageSeparator;
    WriteWordLE(descriptor + 1, FDescriptor.Left);
    WriteWordLE(descriptor + 3, FDescriptor.Top);
    WriteWordLE(descriptor + 5, FDescriptor.Width);
    WriteWordLE(descriptor + 7, FDescriptor.Height);
    descriptor[9] = packed;
    Stream.WriteBuffer(descriptor, sizeof descriptor);
    local.SaveToStream(Stream);

    int bits;
    int colors;
    if (local.Count() > 0) {
        bits = local.BitsPerPixel();
        colors = local.Count();
    } else {
        // The global table is written padded to 2^bits entries, so every
        // index below that is defined.
        const TGIFGlobalColorMap* global = FImage ? &FImage->GlobalColorMap() : nullptr;
        bits = global && global->Count() > 0 ? global->BitsPerPixel()
                                             : (FImage ? FImage->BitsPerPixel() : 0);
        colors = 1 << bits;
    }
    // A frame read from a file may use indices past its colour table (the
    // file's code size allowed them): the code size grows to carry them, so
    // the frame is written back as it was read.
    if (!FData.empty()) {
        const int highest = *std::max_element(FData.begin(), FData.end());
        if (highest >= colors) {
            colors = 1 << bits; // the table is written padded to 2^bits
            while (highest >= colors)
                colors = 1 << ++bits;
        }
    }
    TGIFWarning warn;
    if (FImage) {
        TGIFImage* image = FImage;
        warn = [image](TObject* Sender, TGIFSeverity Severity, const std::string& Message) {
            image->Warning(Sender, Severity, Message);
        };
    }
    const std::span<const Byte> pixels(FData.data(), FData.size());
    WriteGIFPixelData(Stream, FImage ? FImage->PixelCoding() : gpcLZW, pixels, Width(), Height(),
                      Interlaced(), bits, colors, warn);
}

void TGIFTrailer::SaveToStream(TStream& Stream) {
    Stream.WriteByte(bsTrailer);
}
