#pragma once
// TGIFWriter: a write-only stream that cuts what is written to it into GIF
// data sub-blocks (a size byte of 1..255, then that many bytes) on a target
// stream. It never writes the 0 block that ends a run of sub-blocks: the
// caller does, after Flush.
//
// The GIF saving of the block tree (header, frames, colour maps, trailer)
// is defined in GifWriter.cpp against the declarations of the block model.
#include <cstdint>

#include "gif/GifTypes.h"
#include "platform/classes/Stream.h"

class TGIFWriter : public TStream {
public:
    QM_CLASSNAME(TGIFWriter)
    explicit TGIFWriter(TStream& Target) : FTarget(Target) {}
    // Does not flush: a destructor must not raise. Call Flush before.
    ~TGIFWriter() override = default;
    TGIFWriter(const TGIFWriter&) = delete;
    TGIFWriter& operator=(const TGIFWriter&) = delete;

    // Reading and seeking are refused with "Invalid stream operation";
    // Seek(0, soCurrent) reports the count of bytes written so far.
    std::int64_t Read(void*, std::int64_t) override { RaiseGIFError(sGIFInvalidStream); }
    std::int64_t Write(const void* Buffer, std::int64_t Count) override {
        const Byte* p = static_cast<const Byte*>(Buffer);
        for (std::int64_t i = 0; i < Count; ++i)
            Put(p[i]);
        return Count;
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        if (Offset == 0 && Origin == soCurrent) return FWritten + FCount - 1;
        RaiseGIFError(sGIFInvalidStream);
    }

    void Put(Byte Value) {
        FBuffer[FCount++] = Value;
        FDirty = true;
        if (FCount == BlockSize + 1) WriteBlock();
    }
    // Writes a partly filled block with its true size byte.
    void Flush() {
        if (FDirty && FCount > 1) WriteBlock();
    }

private:
    static constexpr int BlockSize = 255;
    void WriteBlock() {
        FBuffer[0] = Byte(FCount - 1);
        FTarget.WriteBuffer(FBuffer, FCount);
        FWritten += FCount - 1;
        FCount = 1;
        FDirty = false;
    }

    TStream& FTarget;
    // Byte 0 is reserved for the sub-block's size.
    Byte FBuffer[BlockSize + 1];
    int FCount = 1;
    bool FDirty = false;
    std::int64_t FWritten = 0;
};
