#pragma once
// TDecoder: the base of the picture readers' decompressors. A reader creates
// the decoder its file needs, calls DecodeInit once, Decode once per row or
// strip, and DecodeEnd once.
//
// Every Decode is bounded on both sides: it reads at most PackedSize bytes
// from Source and writes at most UnpackedSize bytes to Dest, whatever the
// coded data asks for, and advances both pointers past what it used. Coded
// data comes from files, so a run that would cross either end is cut there.
#include <cstdint>

#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/base/Types.h"

QM_DECLARE_EXCEPTION(EDecoderError, Exception);

inline constexpr const char* SLZ77DecompressionError = "Erreur de décompressionLZ77.";
inline constexpr const char* SJPEGTablesError = "Champs de la table JPEG fantôme.";
inline constexpr const char* SJPEGStripSizeError = "Traille strip/tile incorrecte.";
inline constexpr const char* SJPEGComponentCountError = "Nombre d'élément JPEG incorrecte.";
inline constexpr const char* SJPEGPrecisionError = "Précision des données JPEG incorrecte.";
inline constexpr const char* SJPEGSamplingError = "Echantillon JPEG invalides.";
inline constexpr const char* SJPEGFractionalLineError = "Fractional JPEG scanline non supportée.";

class TDecoder : public TObject {
public:
    QM_CLASSNAME(TDecoder)
    TDecoder() = default;
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    virtual void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                        std::int64_t UnpackedSize) = 0;
    virtual void DecodeEnd() {}
    // The most output bytes one byte of coded data can stand for. Readers use
    // it to check, before allocating, that a file can hold the picture it
    // announces.
    virtual std::int64_t MaxExpansion() const = 0;
    virtual void DecodeInit() {}
    // Only the Targa decoder encodes; the others store nothing.
    virtual void Encode(const Byte* Source, Byte* Dest, std::int64_t Count,
                        std::int64_t& BytesStored) {}
    virtual void EncodeInit() {}
    virtual void EncodeEnd() {}
};
