#include "imageio/DecoderThunder.h"

#include <cstring>

namespace {
constexpr int Skip = 99;
// Deltas of the 2-bit and 3-bit codes; Skip writes nothing.
constexpr int Delta2[4] = {0, 1, Skip, -1};
constexpr int Delta3[8] = {0, 1, 2, 3, Skip, -3, -2, -1};
} // namespace

void TThunderDecoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                             std::int64_t UnpackedSize) {
    if (FWidth == 0) return;
    const std::int64_t rowBytes = (std::int64_t(FWidth) + 1) / 2;
    const Byte* in = Source;
    const Byte* inEnd = Source + (PackedSize > 0 ? PackedSize : 0);
    Byte* out = Dest;
    std::int64_t outLeft = UnpackedSize > 0 ? UnpackedSize : 0;
    while (in < inEnd && outLeft > 0) {
        // A last row that does not fit whole is cut at the output's end.
        const std::int64_t room = outLeft < rowBytes ? outLeft : rowBytes;
        std::memset(out, 0, static_cast<std::size_t>(room));
        std::int64_t n = 0; // samples written in this row
        const std::int64_t limit = room * 2 < FWidth ? room * 2 : FWidth;
        int last = 0;
        auto put = [&](int v) {
            last = v & 0x0F;
            if (n < limit) {
                Byte& b = out[n >> 1];
                b = (n & 1) ? Byte(b | last) : Byte(b | (last << 4));
            }
            ++n;
        };
        while (n < FWidth && in < inEnd) {
            Byte code = *in++;
            switch (code >> 6) {
            case 0: // repeat the last value
                for (int i = code & 0x3F; i > 0 && n < FWidth; --i)
                    put(last);
                break;
            case 1: // three 2-bit deltas
                for (int shift : {4, 2, 0}) {
                    int d = Delta2[(code >> shift) & 3];
                    if (d != Skip && n < FWidth) put(last + d);
                }
                break;
            case 2: // two 3-bit deltas
                for (int shift : {3, 0}) {
                    int d = Delta3[(code >> shift) & 7];
                    if (d != Skip && n < FWidth) put(last + d);
                }
                break;
            default: // a raw value
                put(code & 0x0F);
                break;
            }
        }
        out += room;
        outLeft -= room;
    }
    Source = in;
    Dest = out;
}
