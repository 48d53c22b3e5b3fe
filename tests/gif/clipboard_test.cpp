// The GIF picture on the clipboard (offscreen platform: the clipboard lives
// inside the process).
#include <gtest/gtest.h>

#include "gif/GifImage.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Clipboard.h"

TEST(GifClipboard, RoundTripThroughTheRegisteredFormat) {
    TGIFImage Source;
    Source.LoadFromFile(std::string(QM_TEST_DATA_DIR) + "/gif/anim.gif");
    Source.SaveToClipboardFormat();
    EXPECT_TRUE(Clipboard()->HasFormat(RegisterClipboardFormat("GIF Image")));

    TGIFImage Back;
    Back.LoadFromClipboardFormat();
    ASSERT_EQ(Back.Images().ItemCount(), 4);
    TBytesStream A, B;
    Source.SaveToStream(A);
    Back.SaveToStream(B);
    EXPECT_EQ(A.Bytes(), B.Bytes());
}

TEST(GifClipboard, OtherContentsAreRefused) {
    Clipboard()->SetAsText("plain words");
    TGIFImage Image;
    try {
        Image.LoadFromClipboardFormat();
        FAIL() << "text accepted";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), sGIFUnsupportedClipboardFormat);
    }
    // An empty image puts nothing on the clipboard.
    Image.SaveToClipboardFormat();
    EXPECT_EQ(Clipboard()->AsText(), "plain words");
}
