#include "platform/graphics/JpegImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <typeinfo>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/classes/Stream.h"
#include "platform/graphics/Canvas.h"

namespace {

// The decoder reports errors by calling error_exit, which must not return:
// it jumps back to DecodeCore, which turns the failure into an exception
// once no decoder frame is left on the stack.
struct TErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    // The header's size when it passes the picture-size limit (0 otherwise).
    std::int64_t TooLargeWidth = 0, TooLargeHeight = 0;
};

// The decoder's own texts are for programmers ("Not a JPEG file: starts
// with 0x32 0x00", "Bogus Huffman table definition"); a user is told one of
// three reasons, which the message dialogs give in French.
const char* JpegFailureReason(int Code) {
    switch (Code) {
    case JERR_NO_SOI:
        return SJpegNotJpeg;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
    case JWRN_JPEG_EOF:
        return SJpegTruncated;
    default:
        return SJpegDamaged;
    }
}

extern "C" void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
    std::snprintf(err->Message, sizeof err->Message, "%s", JpegFailureReason(cinfo->err->msg_code));
    std::longjmp(err->Jump, 1);
}

extern "C" void OnJpegMessage(j_common_ptr cinfo, int level) {
    // A file that ends early would be completed with grey rows; treat it as
    // the truncation it is. Other warnings are ignored.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnJpegError(cinfo);
}

struct TDecodeState {
    const Byte* Data;
    size_t Size;
    TJpegDecodeOptions Options;
    TDibImage* Out;
};

// Grows the output as rows arrive, so that a header announcing a huge picture
// with little data behind it costs no more memory than the data justifies.
void EnsureRows(TDibImage& out, int rows) {
    const size_t need = static_cast<size_t>(out.Stride()) * rows;
    if (out.Bits.size() < need) {
        if (out.Bits.capacity() < need) out.Bits.reserve(std::max(need, out.Bits.capacity() * 2));
        out.Bits.resize(need);
    }
}

// No object with a destructor may live in this frame: longjmp skips them.
bool DecodeCore(TDecodeState& st, TErrorManager& err, jpeg_decompress_struct& cinfo,
                std::vector<Byte>& line) {
    cinfo.err = jpeg_std_error(&err.Pub);
    err.Pub.error_exit = OnJpegError;
    err.Pub.emit_message = OnJpegMessage;
    err.Message[0] = '\0';
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    // Keep the decoder's own buffers (progressive coefficients) bounded.
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    jpeg_mem_src(&cinfo, st.Data, static_cast<unsigned long>(st.Size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0) {
        std::snprintf(err.Message, sizeof err.Message, "%s", SJpegDamaged);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (!PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        err.TooLargeWidth = cinfo.image_width;
        err.TooLargeHeight = cinfo.image_height;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // The decoder cannot turn CMYK into grey; that is done here after the
    // conversion to RGB.
    const bool grey = (st.Options.Grayscale && !cmyk) || cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool greyAfterCmyk = st.Options.Grayscale && cmyk;
    if (grey)
        cinfo.out_color_space = JCS_GRAYSCALE;
    else if (cmyk)
        cinfo.out_color_space = JCS_CMYK;
    else
        cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1u << static_cast<int>(st.Options.Scale);
    if (st.Options.Performance == jpBestSpeed) {
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&cinfo);
    TDibImage& out = *st.Out;
    out.Width = static_cast<int>(cinfo.output_width);
    out.Height = static_cast<int>(cinfo.output_height);
    out.PixelFormat = pf24bit;
    const int comps = cinfo.output_components;
    line.resize(static_cast<size_t>(out.Width) * comps);
    // Adobe writers store CMYK inverted (0 = full ink).
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW rows[1] = {line.data()};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {
            std::snprintf(err.Message, sizeof err.Message, "%s", SJpegTruncated);
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        EnsureRows(out, y + 1);
        Byte* d = out.Row(y);
        const Byte* s = line.data();
        if (comps == 1) {
            for (int x = 0; x < out.Width; ++x, d += 3)
                d[0] = d[1] = d[2] = s[x];
        } else if (comps == 4) {
            for (int x = 0; x < out.Width; ++x, d += 3, s += 4) {
                int c = s[0], m = s[1], yy = s[2], k = s[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                d[2] = static_cast<Byte>((c * k + 127) / 255);
                d[1] = static_cast<Byte>((m * k + 127) / 255);
                d[0] = static_cast<Byte>((yy * k + 127) / 255);
                if (greyAfterCmyk)
                    d[0] = d[1] = d[2] =
                        static_cast<Byte>((29 * d[0] + 150 * d[1] + 77 * d[2]) >> 8);
            }
        } else {
            std::memcpy(d, s, static_cast<size_t>(out.Width) * 3);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

TDibImage DecodeJpeg(const Byte* data, size_t size, const TJpegDecodeOptions& options) {
    TDibImage out;
    if (size == 0) throw EInvalidGraphic(std::string(SInvalidJpeg) + ": " + SJpegTruncated);
    TDecodeState st{data, size, options, &out};
    TErrorManager err;
    jpeg_decompress_struct cinfo;
    std::vector<Byte> line;
    if (!DecodeCore(st, err, cinfo, line)) {
        if (err.TooLargeWidth > 0) CheckPictureSize(err.TooLargeWidth, err.TooLargeHeight);
        throw EInvalidGraphic(std::string(SInvalidJpeg) + ": " + err.Message);
    }
    EnsureRows(out, out.Height);
    return out;
}

TJPEGImage::TJPEGImage() : FBitmap(std::make_unique<TBitmap>()) {}
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::Redecode() {
    auto bmp = std::make_unique<TBitmap>();
    if (!FData.empty()) bmp->SetImage(DecodeJpeg(FData.data(), FData.size(), FOptions));
    FBitmap = std::move(bmp);
}

void TJPEGImage::SetData(std::vector<Byte> Data) {
    auto bmp = std::make_unique<TBitmap>();
    if (!Data.empty()) bmp->SetImage(DecodeJpeg(Data.data(), Data.size(), FOptions));
    FData = std::move(Data);
    FBitmap = std::move(bmp);
    Changed(this);
}

void TJPEGImage::SetScale(TJPEGScale Value) {
    if (Value == FOptions.Scale) return;
    FOptions.Scale = Value;
    Redecode();
    Changed(this);
}

void TJPEGImage::SetGrayscale(bool Value) {
    if (Value == FOptions.Grayscale) return;
    FOptions.Grayscale = Value;
    Redecode();
    Changed(this);
}

void TJPEGImage::SetPerformance(TJPEGPerformance Value) {
    if (Value == FOptions.Performance) return;
    FOptions.Performance = Value;
    Redecode();
    Changed(this);
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
    const std::int64_t remaining = std::max<std::int64_t>(Stream.Size() - Stream.Position(), 0);
    if (remaining > MaxBitmapBytes) throw EInvalidGraphic(SInvalidJpeg);
    // An empty file is no picture: taken as one, it would blank whatever it
    // was loaded into.
    if (remaining == 0) throw EInvalidGraphic(std::string(SInvalidJpeg) + ": " + SJpegTruncated);
    std::vector<Byte> data(static_cast<size_t>(remaining));
    Stream.ReadBuffer(data.data(), remaining);
    SetData(std::move(data));
}

void TJPEGImage::SaveToStream(TStream& Stream) const {
    Stream.WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TJPEGImage::ReadData(TStream& Stream) {
    const std::int32_t size = Stream.ReadInt32();
    if (size < 0 || size > Stream.Size() - Stream.Position()) throw EInvalidGraphic(SInvalidJpeg);
    std::vector<Byte> data(static_cast<size_t>(size));
    Stream.ReadBuffer(data.data(), size);
    SetData(std::move(data));
}

void TJPEGImage::WriteData(TStream& Stream) const {
    Stream.WriteInt32(static_cast<std::int32_t>(FData.size()));
    SaveToStream(Stream);
}

void TJPEGImage::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* j = dynamic_cast<const TJPEGImage*>(Source)) {
        FData = j->FData;
        FOptions = j->FOptions;
        auto bmp = std::make_unique<TBitmap>();
        bmp->Assign(j->FBitmap.get());
        FBitmap = std::move(bmp);
        Changed(this);
        return;
    }
    if (Source == nullptr) {
        SetData({});
        return;
    }
    TGraphic::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) const {
    if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
        b->Assign(FBitmap.get());
        return;
    }
    TGraphic::AssignTo(Dest);
}

std::unique_ptr<TGraphic> TJPEGImage::NewOfSameClass() const {
    if (typeid(*this) == typeid(TJPEGImage)) return std::make_unique<TJPEGImage>();
    return TGraphic::NewOfSameClass();
}

void TJPEGImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
    if (ACanvas && !FBitmap->Empty()) ACanvas->StretchDraw(Rect, FBitmap.get());
}
