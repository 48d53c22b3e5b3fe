#pragma once
// TTIFFJPEGDecoder: JPEG-compressed TIFF strips (compression 7) through the
// JPEG library. Each Decode takes one strip, a complete or abbreviated JPEG
// stream (the shared tables of tag 347 are read once by DecodeInit), checks
// it against the image properties and delivers its rows with the colour
// components in blue, green, red order (grey rows stay one byte a pixel).
//
// The library's fatal errors raise EDecoderError instead of ending the
// program; its warnings go to OnWarning and decoding goes on.
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imageio/Decoder.h"
#include "imageio/PictureReaders.h"

inline constexpr const char* SJPEGWarningCaption = "Attention";
inline constexpr const char* SJPEGUnexpectedEnd =
    "Erreur de décompression JPEG. Fin inattendue des entrées.";
// Prefix of the library's own fatal messages.
inline constexpr const char* SJPEGLibraryError = "Erreur de décompression JPEG. ";

class TTIFFJPEGDecoder : public TDecoder {
public:
    QM_CLASSNAME(TTIFFJPEGDecoder)
    // Tables is the content of TIFF tag 347 (empty when absent).
    TTIFFJPEGDecoder(const TImageProperties& Properties, std::vector<Byte> Tables);
    ~TTIFFJPEGDecoder() override;

    void DecodeInit() override;
    // One strip: PackedSize bytes of JPEG data; UnpackedSize must be a whole
    // number of output rows. Rows are counted across calls so that the last
    // strip is expected to hold only the image's remaining rows.
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
    // The same strip delivered straight into Rows (one pointer per row of
    // the strip, each with room for UnpackedSize / Rows.size() bytes), so
    // that a reader whose bitmap rows already have the decoder's layout
    // needs no strip buffer. Returns the rows written.
    std::int64_t DecodeRows(const Byte* Source, std::int64_t PackedSize, std::int64_t UnpackedSize,
                            std::span<Byte* const> Rows);
    void DecodeEnd() override;
    // A block of 8 x 8 samples with no detail costs about two bits; with
    // 4 x 4 chroma subsampling three colour samples per pixel come from
    // less than a bit.
    std::int64_t MaxExpansion() const override { return 4096; }

    // Receives the library's warnings (caption SJPEGWarningCaption, text).
    std::function<void(const std::string& Caption, const std::string& Text)> OnWarning;

    // The library's state, opaque outside the decoder's source.
    struct TContext;

private:
    // Decodes one strip into the rows Rows gives, or into Dest's rows one
    // after another when Rows is empty; returns the rows written.
    std::int64_t DecodeStrip(const Byte* Source, std::int64_t PackedSize, std::int64_t UnpackedSize,
                             Byte* Dest, std::span<Byte* const> Rows);

    std::unique_ptr<TContext> FContext;
    std::vector<Byte*> FRowPointers;
    std::int64_t FRowBytes = 0;
    TImageProperties FProperties;
    std::vector<Byte> FTables;
    std::int64_t FRowsDone = 0;
};
