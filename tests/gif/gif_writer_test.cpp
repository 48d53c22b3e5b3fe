// Saving whole images: the exact bytes of a minimal file, the version
// signature, the packed bytes of the logical screen and image descriptors,
// colour tables padded to a power of two, progress, refusals, and round
// trips through the reader on generated animations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "gif/GifItems.h"
#include "gif/GifReader.h"
#include "platform/classes/Stream.h"

namespace {

std::vector<Byte> Save(const TGIFImage& image) {
    TMemoryStream s;
    image.SaveToStream(s);
    const Byte* p = static_cast<const Byte*>(s.Memory());
    return std::vector<Byte>(p, p + s.Size());
}

TGIFSubImage* AddFrame(TGIFImage& image, int left, int top, int w, int h,
                       const std::vector<TColor>& colors, const std::vector<Byte>& pixels) {
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBounds(left, top, w, h);
    for (TColor c : colors)
        frame->ColorMap().Add(c);
    if (!pixels.empty()) std::memcpy(frame->Data(), pixels.data(), pixels.size());
    TGIFSubImage* f = frame.get();
    image.AppendFrame(std::move(frame));
    return f;
}

TGIFGraphicControlExtension* AddControl(TGIFSubImage* f, Word delay) {
    auto gce = TGIFGraphicControlExtension::CreateForFrame(f);
    gce->SetDelay(delay);
    TGIFGraphicControlExtension* g = gce.get();
    f->Extensions().AppendItem(std::move(gce));
    return g;
}

TGIFAppExtNSLoop* FindLoop(TGIFSubImage* f) {
    for (int i = 0; i < f->Extensions().ItemCount(); ++i)
        if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(f->Extensions().ExtensionAt(i))) return l;
    return nullptr;
}

} // namespace

TEST(GifWriter, MinimalFileExactBytes) {
    auto image = TGIFImage::CreateEmpty();
    AddFrame(*image, 0, 0, 1, 1, {clRed, clBlue}, {1});
    const std::vector<Byte> expected{'G',  'I', 'F',  '8',  '7', 'a', // plain frames need no 89a
                                     1,    0,   1,    0,              // screen 1 x 1
                                     0x00,    // no global table, resolution 0, size 0
                                     0,    0, // background, aspect ratio
                                     0x2C, 0,   0,    0,    0,   1,
                                     0,    1,   0, // Image Descriptor at 0,0, 1 x 1
                                     0x80,         // local table of 2 entries
                                     0xFF, 0,   0,    0,    0,   0xFF, // red, blue
                                     2,    2,   0x4C, 0x01, 0,         // code size 2: clear, 1, end
                                     0x3B};
    EXPECT_EQ(Save(*image), expected);
}

TEST(GifWriter, LocalTablePaddedToPowerOfTwo) {
    auto image = TGIFImage::CreateEmpty();
    AddFrame(*image, 0, 0, 2, 1, {clRed, clLime, clBlue}, {2, 0});
    const std::vector<Byte> b = Save(*image);
    ASSERT_GT(b.size(), 40u);
    EXPECT_EQ(b[10], 0x11); // resolution 1, size 1 (no global table)
    EXPECT_EQ(b[22], 0x81); // local table, size field 1 = 4 entries
    const std::vector<Byte> table(b.begin() + 23, b.begin() + 35);
    EXPECT_EQ(table, (std::vector<Byte>{0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0}));
    EXPECT_EQ(b[35], 2); // code size
}

TEST(GifWriter, VersionSignature) {
    auto image = TGIFImage::CreateEmpty();
    // No frames: refused before anything is written.
    TMemoryStream s;
    try {
        image->SaveToStream(s);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported GIF version");
    }
    EXPECT_EQ(s.Size(), 0);

    TGIFSubImage* f = AddFrame(*image, 0, 0, 1, 1, {clBlack, clWhite}, {0});
    EXPECT_EQ(Save(*image)[4], '7');
    AddControl(f, 10);
    EXPECT_EQ(Save(*image)[4], '9');

    // A sorted global table is an 89a feature too.
    auto plain = TGIFImage::CreateEmpty();
    plain->GlobalColorMap().Add(clBlack);
    plain->GlobalColorMap().Add(clWhite);
    AddFrame(*plain, 0, 0, 1, 1, {}, {1});
    std::vector<Byte> b = Save(*plain);
    EXPECT_EQ(b[4], '7');
    EXPECT_EQ(b[10], 0x80);
    plain->GlobalColorMap().SetSorted(true);
    b = Save(*plain);
    EXPECT_EQ(b[4], '9');
    EXPECT_EQ(b[10], 0x88);
}

TEST(GifWriter, GlobalTableSizeFieldDescribesTheGlobalTable) {
    // A 4-colour global table beside a 256-colour local one: the screen's
    // size field must still announce 4 entries, else a reader would take the
    // following bytes as colours.
    auto image = TGIFImage::CreateEmpty();
    for (TColor c : {clBlack, clRed, clLime, clBlue})
        image->GlobalColorMap().Add(c);
    std::vector<Byte> pix(16);
    for (int i = 0; i < 16; ++i)
        pix[size_t(i)] = Byte(i % 4);
    AddFrame(*image, 0, 0, 4, 4, {}, pix);
    std::vector<TColor> many;
    for (int i = 0; i < 256; ++i)
        many.push_back(RGB(i, 255 - i, i / 2));
    std::vector<Byte> pix2(9);
    for (int i = 0; i < 9; ++i)
        pix2[size_t(i)] = Byte(i * 28);
    AddFrame(*image, 1, 1, 3, 3, many, pix2);
    const std::vector<Byte> b = Save(*image);
    EXPECT_EQ(b[10], 0x80 | 0x70 | 0x01); // resolution 7 from the local table
    EXPECT_EQ(b[13 + 12], 0x2C);          // 4 triples, then the first frame
    EXPECT_EQ(b[13 + 12 + 10], 2);        // code size of the global table
    auto back = LoadGIFFromBytes(b.data(), b.size());
    ASSERT_EQ(back->Images().ItemCount(), 2);
    EXPECT_EQ(back->GlobalColorMap().Count(), 4);
    EXPECT_EQ(std::vector<Byte>(back->Images().FrameAt(0)->Data(),
                                back->Images().FrameAt(0)->Data() + 16),
              pix);
    EXPECT_EQ(
        std::vector<Byte>(back->Images().FrameAt(1)->Data(), back->Images().FrameAt(1)->Data() + 9),
        pix2);
}

// Pixels past the colour table (a file may hold them) are written as they
// are: the table keeps its size and the code size grows to carry them.
TEST(GifWriter, FramePixelsOutsideTheTableAreKept) {
    auto g = TGIFImage::CreateEmpty();
    for (TColor c : {clBlack, clWhite, clRed})
        g->GlobalColorMap().Add(c);
    AddFrame(*g, 0, 0, 2, 1, {}, {0, 3}); // inside the table padded to 4
    AddFrame(*g, 0, 0, 2, 1, {}, {9, 0}); // needs 4 bits
    AddFrame(*g, 0, 0, 2, 1, {clRed, clBlue}, {1, 255});
    const std::vector<Byte> b = Save(*g);
    auto back = LoadGIFFromBytes(b.data(), b.size());
    ASSERT_EQ(back->Images().ItemCount(), 3);
    EXPECT_EQ(back->GlobalColorMap().Count(), 4);
    const std::vector<std::vector<int>> want = {{0, 3}, {9, 0}, {1, 255}};
    for (int f = 0; f < 3; ++f) {
        const TGIFSubImage* F = back->Images().FrameAt(f);
        EXPECT_EQ(std::vector<int>({F->Data()[0], F->Data()[1]}), want[size_t(f)]) << f;
    }
    EXPECT_EQ(back->Images().FrameAt(2)->ColorMap().Count(), 2);
}

TEST(GifWriter, DescriptorPackedByte) {
    auto image = TGIFImage::CreateEmpty();
    image->GlobalColorMap().Add(clBlack);
    image->GlobalColorMap().Add(clWhite);
    TGIFSubImage* f = AddFrame(*image, 0, 0, 1, 1, {}, {1});
    // Without a local table only the interlace and reserved bits survive.
    f->Descriptor().PackedFields = 0xFF;
    std::vector<Byte> b = Save(*image);
    EXPECT_EQ(b[13 + 6 + 9], 0x58);
    f->ColorMap().Add(clRed);
    f->ColorMap().Add(clLime);
    f->ColorMap().Add(clBlue);
    f->ColorMap().SetSorted(true);
    f->SetInterlaceFlag(false);
    b = Save(*image);
    EXPECT_EQ(b[13 + 6 + 9], 0x80 | 0x20 | 0x01);
}

TEST(GifWriter, ProgressReportsSaving) {
    auto image = TGIFImage::CreateEmpty();
    for (int i = 0; i < 3; ++i)
        AddFrame(*image, 0, 0, 1, 1, {clBlack, clWhite}, {0});
    std::vector<std::pair<int, int>> seen;
    image->OnProgress = [&](TObject*, TProgressStage stage, Byte percent, bool, const TRect&,
                            const std::string& msg) {
        EXPECT_EQ(msg, "Saving...");
        seen.emplace_back(int(stage), int(percent));
    };
    Save(*image);
    EXPECT_EQ(
        seen,
        (std::vector<std::pair<int, int>>{
            {psStarting, 0}, {psRunning, 33}, {psRunning, 66}, {psRunning, 100}, {psEnding, 100}}));
}

TEST(GifWriter, RoundTripGeneratedAnimations) {
    std::mt19937 rng(2024);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {301, 301}};
    for (TGIFPixelCoding coding : {gpcLZW, gpcRunLength}) {
        for (auto [w, h] : sizes) {
            auto image = TGIFImage::CreateEmpty();
            image->SetPixelCoding(coding);
            struct TFrameData {
                std::vector<Byte> Pixels;
                std::vector<TColor> Colors;
                Word Delay;
                bool Interlaced;
            };
            std::vector<TFrameData> frames;
            for (int n = 0; n < 4; ++n) {
                TFrameData fd;
                const int colors = 1 + int(rng() % 256);
                for (int i = 0; i < colors; ++i)
                    fd.Colors.push_back(TColor(rng() & 0xFFFFFF));
                fd.Pixels.resize(size_t(w) * h);
                // Alternate noise and runs.
                Byte v = 0;
                for (size_t i = 0; i < fd.Pixels.size(); ++i) {
                    if (n % 2 == 0 || rng() % 9 == 0) v = Byte(rng() % colors);
                    fd.Pixels[i] = v;
                }
                fd.Delay = Word(rng() % 500);
                fd.Interlaced = n % 2 == 1;
                TGIFSubImage* f = AddFrame(*image, 0, 0, w, h, fd.Colors, fd.Pixels);
                f->SetInterlaceFlag(fd.Interlaced);
                if (n == 0) {
                    auto loop = TGIFAppExtNSLoop::CreateForFrame(f);
                    loop->RepeatCount = 3;
                    f->Extensions().AppendItem(std::move(loop));
                }
                AddControl(f, fd.Delay);
                frames.push_back(std::move(fd));
            }
            const std::vector<Byte> bytes = Save(*image);
            auto back = LoadGIFFromBytes(bytes.data(), bytes.size());
            ASSERT_EQ(back->Images().ItemCount(), 4);
            EXPECT_EQ(back->Width(), w);
            EXPECT_EQ(back->Height(), h);
            for (int n = 0; n < 4; ++n) {
                TGIFSubImage* f = back->Images().FrameAt(n);
                const TFrameData& fd = frames[size_t(n)];
                ASSERT_EQ(f->Width(), w);
                ASSERT_EQ(f->Height(), h);
                EXPECT_EQ(f->Interlaced(), fd.Interlaced);
                // The table comes back padded with black to a power of two.
                const int count = int(fd.Colors.size());
                int padded = 2;
                while (padded < count)
                    padded *= 2;
                ASSERT_EQ(f->ColorMap().Count(), padded);
                for (int i = 0; i < padded; ++i)
                    ASSERT_EQ(f->ColorMap().Colors(i), i < count ? fd.Colors[size_t(i)] : 0);
                ASSERT_EQ(std::vector<Byte>(f->Data(), f->Data() + f->DataSize()), fd.Pixels)
                    << w << "x" << h << " frame " << n << " coding " << int(coding);
                ASSERT_NE(f->GraphicControlExtension(), nullptr);
                EXPECT_EQ(f->GraphicControlExtension()->Delay(), fd.Delay);
            }
            TGIFAppExtNSLoop* loop = FindLoop(back->Images().FrameAt(0));
            ASSERT_NE(loop, nullptr);
            EXPECT_EQ(loop->RepeatCount, 3);
            // Saving what was read gives the same bytes.
            back->SetPixelCoding(coding);
            EXPECT_EQ(Save(*back), bytes);
        }
    }
}

namespace {

// The reference animation of the committed files under tests/data/gif:
// 37 x 23, a plain frame of 5 colours in diagonal bands and an interlaced
// frame of 200 colours in blocks of 6 x 4 pixels.
std::unique_ptr<TGIFImage> ReferenceAnimation(TGIFPixelCoding coding) {
    auto image = TGIFImage::CreateEmpty();
    image->SetPixelCoding(coding);
    const int w = 37, h = 23;
    std::vector<TColor> c5, c200;
    for (int i = 0; i < 5; ++i)
        c5.push_back(RGB(i * 50, 255 - i * 40, i * 20));
    for (int i = 0; i < 200; ++i)
        c200.push_back(RGB(i, 255 - i, (i * 7) % 256));
    std::vector<Byte> p0(size_t(w) * h), p1(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p0[size_t(y) * w + x] = Byte((x * 3 + y * 5) % 5);
            p1[size_t(y) * w + x] = Byte((x / 6 + (y / 4) * 7) % 200);
        }
    TGIFSubImage* f0 = AddFrame(*image, 0, 0, w, h, c5, p0);
    AddControl(f0, 20);
    TGIFSubImage* f1 = AddFrame(*image, 0, 0, w, h, c200, p1);
    f1->SetInterlaceFlag(true);
    AddControl(f1, 30);
    return image;
}

std::vector<Byte> ReadFile(const std::string& name) {
    TMemoryStream s;
    s.LoadFromFile(std::string(QM_TEST_DATA_DIR) + "/gif/" + name);
    const Byte* p = static_cast<const Byte*>(s.Memory());
    return std::vector<Byte>(p, p + s.Size());
}

} // namespace

TEST(GifWriter, IndependentDecoderReadsOurStreams) {
    // writer_*.gif were written by this program; make_writer.sh decoded them
    // with ImageMagick into writer_*.rgb (frames one after the other, R, G, B
    // per pixel). Our bytes must not drift, and what the other decoder saw
    // must be our picture.
    for (TGIFPixelCoding coding : {gpcLZW, gpcRunLength}) {
        const std::string name = coding == gpcLZW ? "writer_lzw" : "writer_rle";
        auto image = ReferenceAnimation(coding);
        const std::vector<Byte> bytes = Save(*image);
        if (const char* out = std::getenv("QM_GIF_WRITER_OUT")) {
            TMemoryStream s;
            s.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
            s.SaveToFile(std::string(out) + "/" + name + ".gif");
        }
        EXPECT_EQ(bytes, ReadFile(name + ".gif")) << name;
        const std::vector<Byte> rgb = ReadFile(name + ".rgb");
        ASSERT_EQ(rgb.size(), size_t(2 * 37 * 23 * 3)) << name;
        size_t pos = 0;
        for (int n = 0; n < 2; ++n) {
            TGIFSubImage* f = image->Images().FrameAt(n);
            for (int i = 0; i < 37 * 23; ++i, pos += 3) {
                const TColor c = f->ColorMap().Colors(f->Data()[i]);
                ASSERT_EQ(RGB(rgb[pos], rgb[pos + 1], rgb[pos + 2]), c)
                    << name << " frame " << n << " pixel " << i;
            }
        }
    }
}
