#include "gif/GifModule.h"

#include <atomic>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Graphic.h"

namespace {
std::atomic<bool> Started{false};
std::atomic<Word> ClipboardFormat{0};
} // namespace

void InitGifModule(int ScreenBitsPerPixel) {
    if (Started.exchange(true)) return;
    TPicture::RegisterFileFormat("gif", sGIFImageDescription, GraphicClassOf<TGIFImage>());
    ClipboardFormat.store(RegisterClipboardFormat(sGIFImageDescription));
    if (ScreenBitsPerPixel < 9) {
        GIFSettings().AutoDither = true;
        GIFSettings().PaletteDevice = true;
    }
}

void DoneGifModule() {
    if (!Started.exchange(false)) return;
    FreeExtensionRegistries();
    TPicture::UnregisterGraphicClass(TGIFImage().ClassName());
}

Word GIFClipboardFormatID() {
    return ClipboardFormat.load();
}
