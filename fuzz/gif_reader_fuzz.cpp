// Feeds arbitrary bytes to the GIF reader. Whatever it accepts must be a
// consistent block tree: every pixel buffer matches its frame's size, a
// copy of the image reads the same, and saving and reading back works or
// fails with the codec's own exception.
#include <cstdint>
#include <cstdlib>

#include "gif/GifImage.h"
#include "gif/GifReader.h"
#include "platform/classes/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<TGIFImage> image;
    try {
        image = LoadGIFFromBytes(data, size);
    } catch (const GIFException&) {
        return 0;
    }
    const TGIFImageList& frames = image->Images();
    std::int64_t pixels = 0;
    for (int i = 0; i < frames.ItemCount(); ++i) {
        TGIFSubImage* frame = frames.FrameAt(i);
        pixels += frame->DataSize();
        if (!frame->Empty() && frame->DataSize() != std::int64_t(frame->Width()) * frame->Height())
            std::abort();
        const TGIFColorMap& map = frame->ActiveColorMap();
        if (map.Count() > 0 && !frame->Empty())
            for (int y = 0; y < frame->Height(); ++y)
                (void)map.Colors(frame->ScanLine(y)[0]);
    }
    // Copying and re-coding huge frames only costs time; the reader is what
    // is under test.
    if (pixels > (1 << 22)) return 0;
    TGIFImage copy;
    copy.Assign(image.get());
    if (copy.Images().ItemCount() != frames.ItemCount()) std::abort();
    try {
        TMemoryStream stream;
        image->SaveToStream(stream);
        stream.SetPosition(0);
        TGIFImage back;
        back.LoadFromStream(stream);
    } catch (const GIFException&) {
    }
    return 0;
}
