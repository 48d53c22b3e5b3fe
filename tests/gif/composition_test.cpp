// Composition checked against an independent decoder's coalesced pictures
// (tests/data/gif/make_composition.sh), before and after optimising and after
// a save and reload.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "AnimationFixtures.h"
#include "gif/GifPainter.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

namespace {

constexpr TColor Backdrop = 0xFF00FF;
constexpr int W = 8, H = 6, Frames = 5;

std::string DataFile(const char* Name) {
    return std::string(QM_TEST_DATA_DIR) + "/gif/" + Name;
}

// The coalesced pictures as composed pixels; the background (alpha 0) as
// the backdrop colour.
std::vector<std::vector<std::uint32_t>> ReferencePictures() {
    std::ifstream in(DataFile("composition.rgba"), std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes.size(), std::size_t(W * H * 4 * Frames));
    std::vector<std::vector<std::uint32_t>> pictures(Frames);
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        const std::uint32_t pixel = bytes[i + 3] == 0
                                        ? GIFPixelOfColor(Backdrop)
                                        : (std::uint32_t(bytes[i]) << 16) |
                                              (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        pictures[i / (W * H * 4)].push_back(pixel);
    }
    return pictures;
}

std::unique_ptr<TGIFImage> LoadComposition() {
    auto image = TGIFImage::CreateEmpty();
    image->LoadFromFile(DataFile("composition.gif"));
    EXPECT_EQ(image->Images().ItemCount(), Frames);
    return image;
}

std::vector<std::vector<std::uint32_t>> Compose(TGIFImage& Image) {
    std::vector<std::vector<std::uint32_t>> pictures;
    TGIFComposer composer(W, H, W, H, Backdrop, true, false);
    for (int i = 0; i < Image.Images().ItemCount(); ++i)
        pictures.push_back(composer.Compose(ViewOf(*Image.Images().FrameAt(i))).Pixels());
    return pictures;
}

} // namespace

TEST(Composition, MatchesTheIndependentDecoder) {
    auto image = LoadComposition();
    const auto reference = ReferencePictures();
    const auto pictures = Compose(*image);
    ASSERT_EQ(pictures.size(), reference.size());
    for (int i = 0; i < Frames; ++i)
        EXPECT_EQ(pictures[i], reference[i]) << "frame " << i;
}

TEST(Composition, PainterShowsTheSamePictures) {
    auto image = LoadComposition();
    const auto reference = ReferencePictures();
    TBitmap target(W, H, pf32bit);
    target.Canvas()->Brush()->SetColor(Backdrop);
    target.Canvas()->FillRect({0, 0, W, H});
    std::vector<std::vector<std::uint32_t>> shown;
    image->OnAfterPaint = [&](TObject*) {
        std::vector<std::uint32_t> picture;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                picture.push_back(GIFPixelOfColor(target.PixelColor(x, y)));
        shown.push_back(picture);
    };
    TGIFPainter* painter =
        TGIFPainter::MakePainter(image.get(), nullptr, std::make_shared<TGIFBitmapTarget>(&target),
                                 gpfStepFrames | gpfMaskTransparent, {0, 0, W, H});
    ASSERT_NE(painter, nullptr);
    painter->WaitOverride = [](unsigned) { return false; };
    painter->RunInline();
    delete painter;
    EXPECT_EQ(shown, reference);
}

TEST(Composition, OptimisedAndReloadedAnimationShowsTheSameTimeline) {
    for (TGIFOptimizeSteps steps : {TGIFOptimizeSteps(0x0F), TGIFOptimizeSteps(0x1F)}) {
        auto image = LoadComposition();
        const auto expected = RenderTimeline(*image, Backdrop);
        image->OptimizeFrames(steps, rdmKeep24Bit, 8, dkNearestColor);
        EXPECT_EQ(RenderTimeline(*image, Backdrop), expected);
        // The unused transparency of the yellow frame is gone.
        EXPECT_FALSE(image->Images().FrameAt(3)->Transparent());

        TMemoryStream stream;
        image->SaveToStream(stream);
        stream.SetPosition(0);
        auto reloaded = TGIFImage::CreateEmpty();
        reloaded->LoadFromStream(stream);
        EXPECT_EQ(RenderTimeline(*reloaded, Backdrop), expected);
    }
}
