// The clipboard through the offscreen platform: bitmaps, text, registered
// formats within one process.
#include <gtest/gtest.h>

#include <thread>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Clipboard.h"

TEST(Clipboard, RegisteredFormatNumbersAreStablePerName) {
    const Word a = RegisterClipboardFormat("Test Format A");
    EXPECT_GE(a, 0xC000);
    EXPECT_EQ(RegisterClipboardFormat("test format a"), a);
    EXPECT_NE(RegisterClipboardFormat("Test Format B"), a);
    EXPECT_EQ(GetClipboardFormatName(a), "Test Format A");
    EXPECT_EQ(RegisterClipboardFormat(""), 0);
    EXPECT_EQ(GetClipboardFormatName(CF_BITMAP), "");
}

TEST(Clipboard, BitmapGoesThroughAndComesBack) {
    TBitmap b(3, 2, pf24bit);
    b.ScanLine(0)[2] = 255;     // (0,0) red
    b.ScanLine(1)[3 * 2] = 200; // (2,1) blue 200
    Clipboard()->Assign(&b);
    ASSERT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_FALSE(Clipboard()->HasFormat(RegisterClipboardFormat("Test Format A")));

    TBitmap back;
    back.Assign(Clipboard());
    ASSERT_EQ(back.Width(), 3);
    ASSERT_EQ(back.Height(), 2);
    EXPECT_EQ(back.PixelColor(0, 0), clRed);
    EXPECT_EQ(back.PixelColor(2, 1), RGB(0, 0, 200));
    EXPECT_EQ(back.PixelColor(1, 1), clBlack);

    Clipboard()->SetAsText("texte");
    EXPECT_FALSE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_EQ(Clipboard()->AsText(), "texte");
    try {
        back.Assign(Clipboard());
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unsupported clipboard format");
    }
}

TEST(Clipboard, OneSessionHoldsSeveralFormats) {
    const Word fmt = RegisterClipboardFormat("Test Picture Bytes");
    TBitmap b(1, 1, pf32bit);
    Clipboard()->Open();
    Clipboard()->Assign(&b);
    Clipboard()->SetBuffer(fmt, {1, 2, 3});
    Clipboard()->Close();
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_TRUE(Clipboard()->HasFormat(fmt));
    EXPECT_EQ(Clipboard()->GetBuffer(fmt), (std::vector<Byte>{1, 2, 3}));

    // A write outside a session replaces everything.
    Clipboard()->SetBuffer(fmt, {9});
    EXPECT_FALSE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_EQ(Clipboard()->GetBuffer(fmt), (std::vector<Byte>{9}));
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(fmt));
    EXPECT_THROW(Clipboard()->SetBuffer(CF_BITMAP, {1}), EClipboardException);
}

TEST(Clipboard, OtherThreadsAreRefusedCleanly) {
    Clipboard()->HasFormat(CF_TEXT); // the GUI application exists from here on
    std::string message;
    std::thread worker([&] {
        try {
            Clipboard()->HasFormat(CF_BITMAP);
        } catch (const EClipboardException& e) {
            message = e.Message();
        }
    });
    worker.join();
    EXPECT_EQ(message, "Cannot open clipboard");
}
