#include "imageio/DecoderJpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "imageio/PictureColors.h"

namespace {

// The library reports fatal errors through error_exit, which must not
// return: it jumps back to the guard of the call in progress.
struct TErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

const JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};

} // namespace

struct TTIFFJPEGDecoder::TContext {
    jpeg_decompress_struct Info{};
    TErrorManager Error{};
    jpeg_source_mgr Source{};
    const JOCTET* Data = nullptr;
    std::size_t Size = 0;
    bool Created = false;
    TTIFFJPEGDecoder* Owner = nullptr;

    void Warn(const std::string& Text) {
        if (Owner && Owner->OnWarning) Owner->OnWarning(SJPEGWarningCaption, Text);
    }
};

namespace {

TTIFFJPEGDecoder::TContext* ContextOf(j_common_ptr Info) {
    return static_cast<TTIFFJPEGDecoder::TContext*>(Info->client_data);
}

[[noreturn]] void OnErrorExit(j_common_ptr Info) {
    auto* err = reinterpret_cast<TErrorManager*>(Info->err);
    (*Info->err->format_message)(Info, err->Message);
    std::longjmp(err->Jump, 1);
}

void OnOutputMessage(j_common_ptr Info) {
    char text[JMSG_LENGTH_MAX];
    (*Info->err->format_message)(Info, text);
    ContextOf(Info)->Warn(text);
}

void InitSource(j_decompress_ptr) {}

// Running out of data is a warning: an end-of-image marker is supplied so
// that the library finishes with what it has.
boolean FillInputBuffer(j_decompress_ptr Info) {
    ContextOf(reinterpret_cast<j_common_ptr>(Info))->Warn(SJPEGUnexpectedEnd);
    Info->src->next_input_byte = EndOfImage;
    Info->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long Count) {
    if (Count <= 0) return;
    jpeg_source_mgr* src = Info->src;
    while (Count > static_cast<long>(src->bytes_in_buffer)) {
        Count -= static_cast<long>(src->bytes_in_buffer);
        FillInputBuffer(Info);
    }
    src->next_input_byte += Count;
    src->bytes_in_buffer -= static_cast<std::size_t>(Count);
}

void TermSource(j_decompress_ptr) {}

void SetSource(TTIFFJPEGDecoder::TContext& c, const Byte* Data, std::size_t Size) {
    c.Source.init_source = InitSource;
    c.Source.fill_input_buffer = FillInputBuffer;
    c.Source.skip_input_data = SkipInputData;
    c.Source.resync_to_restart = jpeg_resync_to_restart;
    c.Source.term_source = TermSource;
    c.Source.next_input_byte = Data;
    c.Source.bytes_in_buffer = Size;
    c.Info.src = &c.Source;
}

// Each library call runs under a guard; nothing with a destructor lives in
// the guarded frames.
bool GuardedCreate(TTIFFJPEGDecoder::TContext& c) {
    c.Info.err = jpeg_std_error(&c.Error.Pub);
    c.Error.Pub.error_exit = OnErrorExit;
    c.Error.Pub.output_message = OnOutputMessage;
    if (setjmp(c.Error.Jump)) return false;
    jpeg_create_decompress(&c.Info);
    c.Info.client_data = &c;
    c.Created = true;
    return true;
}

bool GuardedReadTables(TTIFFJPEGDecoder::TContext& c, const Byte* Data, std::size_t Size,
                       int& Result) {
    if (setjmp(c.Error.Jump)) return false;
    SetSource(c, Data, Size);
    Result = jpeg_read_header(&c.Info, FALSE);
    return true;
}

bool GuardedReadHeader(TTIFFJPEGDecoder::TContext& c, const Byte* Data, std::size_t Size) {
    if (setjmp(c.Error.Jump)) return false;
    jpeg_abort_decompress(&c.Info);
    SetSource(c, Data, Size);
    jpeg_read_header(&c.Info, TRUE);
    return true;
}

bool GuardedStart(TTIFFJPEGDecoder::TContext& c) {
    if (setjmp(c.Error.Jump)) return false;
    jpeg_start_decompress(&c.Info);
    return true;
}

// As many rows as the library gives per call, straight into their places.
bool GuardedReadRows(TTIFFJPEGDecoder::TContext& c, Byte* const* Rows, std::int64_t Count) {
    if (setjmp(c.Error.Jump)) return false;
    for (std::int64_t r = 0; r < Count && c.Info.output_scanline < c.Info.output_height;) {
        const JDIMENSION want = JDIMENSION(std::min<std::int64_t>(Count - r, 1 << 16));
        const JDIMENSION got = jpeg_read_scanlines(&c.Info, const_cast<JSAMPARRAY>(Rows + r), want);
        if (got == 0) break;
        r += got;
    }
    return true;
}

bool GuardedFinish(TTIFFJPEGDecoder::TContext& c) {
    if (setjmp(c.Error.Jump)) return false;
    if (c.Info.output_scanline < c.Info.output_height)
        jpeg_abort_decompress(&c.Info);
    else
        jpeg_finish_decompress(&c.Info);
    return true;
}

void GuardedDestroy(TTIFFJPEGDecoder::TContext& c) {
    if (!c.Created) return;
    c.Created = false;
    jpeg_destroy_decompress(&c.Info);
}

} // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& Properties, std::vector<Byte> Tables)
    : FProperties(Properties), FTables(std::move(Tables)) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder() {
    if (FContext) GuardedDestroy(*FContext);
}

void TTIFFJPEGDecoder::DecodeInit() {
    if (FContext) GuardedDestroy(*FContext);
    FContext = std::make_unique<TContext>();
    FContext->Owner = this;
    FRowsDone = 0;
    TContext& c = *FContext;
    if (!GuardedCreate(c)) throw EDecoderError(std::string(SJPEGLibraryError) + c.Error.Message);
    if (!FTables.empty()) {
        int result = 0;
        if (!GuardedReadTables(c, FTables.data(), FTables.size(), result))
            throw EDecoderError(SJPEGTablesError);
        if (result != JPEG_HEADER_TABLES_ONLY) throw EDecoderError(SJPEGTablesError);
    }
}

void TTIFFJPEGDecoder::DecodeEnd() {
    if (FContext) GuardedDestroy(*FContext);
    FContext.reset();
}

void TTIFFJPEGDecoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                              std::int64_t UnpackedSize) {
    if (PackedSize <= 0) return;
    const std::int64_t rows = DecodeStrip(Source, PackedSize, UnpackedSize, Dest, {});
    Source += PackedSize;
    Dest += rows * FRowBytes;
}

std::int64_t TTIFFJPEGDecoder::DecodeRows(const Byte* Source, std::int64_t PackedSize,
                                          std::int64_t UnpackedSize, std::span<Byte* const> Rows) {
    if (PackedSize <= 0 || Rows.empty()) return 0;
    return DecodeStrip(Source, PackedSize, UnpackedSize, nullptr, Rows);
}

std::int64_t TTIFFJPEGDecoder::DecodeStrip(const Byte* Source, std::int64_t PackedSize,
                                           std::int64_t UnpackedSize, Byte* Dest,
                                           std::span<Byte* const> Rows) {
    if (!FContext) DecodeInit();
    TContext& c = *FContext;
    auto fail = [&]() -> void {
        std::string text = std::string(SJPEGLibraryError) + c.Error.Message;
        GuardedFinish(c);
        throw EDecoderError(text);
    };
    if (!GuardedReadHeader(c, Source, static_cast<std::size_t>(PackedSize))) fail();

    // The strip must hold exactly the rows the image expects of it.
    std::int64_t stripRows =
        FProperties.RowsPerStrip.empty() ? FProperties.Height : FProperties.RowsPerStrip.front();
    std::int64_t rows = std::min<std::int64_t>(stripRows, FProperties.Height - FRowsDone);
    if (rows <= 0 || c.Info.image_width != static_cast<JDIMENSION>(FProperties.Width) ||
        c.Info.image_height != static_cast<JDIMENSION>(rows)) {
        GuardedFinish(c);
        throw EDecoderError(SJPEGStripSizeError);
    }
    // TIFF's default planar configuration is contiguous: all samples in one
    // JPEG stream.
    int components = FProperties.PlanarConfig == 2 ? 1 : FProperties.SamplesPerPixel;
    if (c.Info.num_components != components) {
        GuardedFinish(c);
        throw EDecoderError(SJPEGComponentCountError);
    }
    if (c.Info.data_precision != FProperties.BitsPerSample) {
        GuardedFinish(c);
        throw EDecoderError(SJPEGPrecisionError);
    }
    int h = 1, v = 1;
    if (FProperties.ColorScheme == csYCbCr && FProperties.YCbCrSubSampling.size() >= 2) {
        h = FProperties.YCbCrSubSampling[0];
        v = FProperties.YCbCrSubSampling[1];
    }
    for (int i = 0; i < c.Info.num_components; ++i) {
        int wantH = i == 0 ? h : 1, wantV = i == 0 ? v : 1;
        if (c.Info.comp_info[i].h_samp_factor != wantH ||
            c.Info.comp_info[i].v_samp_factor != wantV) {
            GuardedFinish(c);
            throw EDecoderError(SJPEGSamplingError);
        }
    }
    if (components == 3) {
        c.Info.jpeg_color_space = FProperties.ColorScheme == csYCbCr ? JCS_YCbCr : JCS_RGB;
        c.Info.out_color_space = JCS_EXT_BGR;
    } else if (components == 1) {
        c.Info.jpeg_color_space = JCS_GRAYSCALE;
        c.Info.out_color_space = JCS_GRAYSCALE;
    } else {
        c.Info.out_color_space = c.Info.jpeg_color_space;
    }
    if (!GuardedStart(c)) fail();
    std::int64_t rowBytes = std::int64_t(c.Info.output_width) * c.Info.output_components;
    if (rowBytes <= 0 || UnpackedSize % rowBytes != 0) {
        GuardedFinish(c);
        throw EDecoderError(SJPEGFractionalLineError);
    }
    std::int64_t wanted = std::min<std::int64_t>(UnpackedSize / rowBytes, c.Info.output_height);
    if (Rows.empty()) {
        FRowPointers.resize(std::size_t(wanted));
        for (std::int64_t r = 0; r < wanted; ++r)
            FRowPointers[std::size_t(r)] = Dest + r * rowBytes;
        Rows = FRowPointers;
    }
    wanted = std::min<std::int64_t>(wanted, std::int64_t(Rows.size()));
    if (!GuardedReadRows(c, Rows.data(), wanted)) fail();
    GuardedFinish(c);
    FRowsDone += rows;
    FRowBytes = rowBytes;
    return wanted;
}
