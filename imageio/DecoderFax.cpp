#include "imageio/DecoderFax.h"

#include <algorithm>
#include <cstring>

namespace {

struct TCode {
    const char* Bits;
    int Run;
};

// ITU-T T.4 terminating codes (runs 0..63) of white and black.
constexpr TCode WhiteTerminating[] = {
    {"00110101", 0},  {"000111", 1},    {"0111", 2},      {"1000", 3},      {"1011", 4},
    {"1100", 5},      {"1110", 6},      {"1111", 7},      {"10011", 8},     {"10100", 9},
    {"00111", 10},    {"01000", 11},    {"001000", 12},   {"000011", 13},   {"110100", 14},
    {"110101", 15},   {"101010", 16},   {"101011", 17},   {"0100111", 18},  {"0001100", 19},
    {"0001000", 20},  {"0010111", 21},  {"0000011", 22},  {"0000100", 23},  {"0101000", 24},
    {"0101011", 25},  {"0010011", 26},  {"0100100", 27},  {"0011000", 28},  {"00000010", 29},
    {"00000011", 30}, {"00011010", 31}, {"00011011", 32}, {"00010010", 33}, {"00010011", 34},
    {"00010100", 35}, {"00010101", 36}, {"00010110", 37}, {"00010111", 38}, {"00101000", 39},
    {"00101001", 40}, {"00101010", 41}, {"00101011", 42}, {"00101100", 43}, {"00101101", 44},
    {"00000100", 45}, {"00000101", 46}, {"00001010", 47}, {"00001011", 48}, {"01010010", 49},
    {"01010011", 50}, {"01010100", 51}, {"01010101", 52}, {"00100100", 53}, {"00100101", 54},
    {"01011000", 55}, {"01011001", 56}, {"01011010", 57}, {"01011011", 58}, {"01001010", 59},
    {"01001011", 60}, {"00110010", 61}, {"00110011", 62}, {"00110100", 63},
};

constexpr TCode WhiteMakeUp[] = {
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

constexpr TCode BlackTerminating[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
};

constexpr TCode BlackMakeUp[] = {
    {"0000001111", 64},      {"000011001000", 128},   {"000011001001", 192},
    {"000001011011", 256},   {"000000110011", 320},   {"000000110100", 384},
    {"000000110101", 448},   {"0000001101100", 512},  {"0000001101101", 576},
    {"0000001001010", 640},  {"0000001001011", 704},  {"0000001001100", 768},
    {"0000001001101", 832},  {"0000001110010", 896},  {"0000001110011", 960},
    {"0000001110100", 1024}, {"0000001110101", 1088}, {"0000001110110", 1152},
    {"0000001110111", 1216}, {"0000001010010", 1280}, {"0000001010011", 1344},
    {"0000001010100", 1408}, {"0000001010101", 1472}, {"0000001011010", 1536},
    {"0000001011011", 1600}, {"0000001100100", 1664}, {"0000001100101", 1728},
};

// Make-up codes for runs of 1792 and more, shared by both colours.
constexpr TCode ExtendedMakeUp[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

constexpr const char* EOLCode = "000000000001";

Byte ReverseBits(Byte b) {
    b = Byte((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = Byte((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = Byte((b & 0xAA) >> 1 | (b & 0x55) << 1);
    return b;
}

} // namespace

int TCCITTDecoder::TBitReader::Bit() {
    Byte b = Data[BitPos >> 3];
    if (Reversed) b = ReverseBits(b);
    int bit = (b >> (7 - (BitPos & 7))) & 1;
    ++BitPos;
    return bit;
}

TCCITTDecoder::TCCITTDecoder(std::uint32_t Options, int Width, bool WordAligned,
                             bool ReversedBitOrder)
    : FOptions(Options), FWidth(Width > 0 ? Width : 0), FWordAligned(WordAligned),
      FReversed(ReversedBitOrder), FWhite(1), FBlack(1) {
    for (const TCode& c : WhiteTerminating)
        AddCode(FWhite, c.Bits, c.Run);
    for (const TCode& c : WhiteMakeUp)
        AddCode(FWhite, c.Bits, c.Run);
    for (const TCode& c : BlackTerminating)
        AddCode(FBlack, c.Bits, c.Run);
    for (const TCode& c : BlackMakeUp)
        AddCode(FBlack, c.Bits, c.Run);
    for (const TCode& c : ExtendedMakeUp) {
        AddCode(FWhite, c.Bits, c.Run);
        AddCode(FBlack, c.Bits, c.Run);
    }
    AddCode(FWhite, EOLCode, RunEOL);
    AddCode(FBlack, EOLCode, RunEOL);
}

void TCCITTDecoder::AddCode(std::vector<TNode>& Tree, const char* Bits, int Value) {
    int node = 0;
    for (const char* p = Bits; *p; ++p) {
        int bit = *p == '1';
        if (Tree[node].Child[bit] == 0) {
            Tree.emplace_back();
            Tree[node].Child[bit] = static_cast<int>(Tree.size() - 1);
        }
        node = Tree[node].Child[bit];
    }
    Tree[node].Value = Value;
}

int TCCITTDecoder::ReadRun(TBitReader& Bits, bool Black) const {
    const std::vector<TNode>& tree = Black ? FBlack : FWhite;
    int run = 0;
    for (;;) {
        int node = 0;
        // The codes are prefix-free: a node with a value is a leaf.
        while (tree[node].Value == RunInvalid) {
            if (Bits.AtEnd()) return run;
            int next = tree[node].Child[Bits.Bit()];
            if (next == 0) return RunInvalid;
            node = next;
        }
        int value = tree[node].Value;
        if (value < 0) return value;
        run += value;
        if (value < 64) return run;
    }
}

void TCCITTDecoder::FillRun(Byte* Row, int Pos, int Count) {
    int end = Pos + Count;
    while (Pos < end && (Pos & 7)) {
        Row[Pos >> 3] |= Byte(0x80 >> (Pos & 7));
        ++Pos;
    }
    if (end - Pos >= 8) {
        int whole = (end - Pos) >> 3;
        std::memset(Row + (Pos >> 3), 0xFF, static_cast<std::size_t>(whole));
        Pos += whole << 3;
    }
    while (Pos < end) {
        Row[Pos >> 3] |= Byte(0x80 >> (Pos & 7));
        ++Pos;
    }
}

template <class TStartRow, class TEndRow>
void TCCITTDecoder::DecodeRows(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                               std::int64_t UnpackedSize, TStartRow StartRow, TEndRow EndRow) {
    if (PackedSize <= 0 || UnpackedSize <= 0 || FWidth == 0) return;
    std::memset(Dest, 0, static_cast<std::size_t>(UnpackedSize));
    TBitReader bits{Source, PackedSize, 0, FReversed};
    const std::int64_t rowBytes = (std::int64_t(FWidth) + 7) / 8;
    Byte* out = Dest;
    std::int64_t outLeft = UnpackedSize;
    while (!bits.AtEnd() && outLeft > 0) {
        if (!StartRow(bits)) break;
        // A last row that does not fit whole is cut at the output's end.
        const int width = static_cast<int>(std::min<std::int64_t>(FWidth, outLeft * 8));
        int pos = 0;
        bool black = false;
        bool eol = false;
        while (pos < width && !bits.AtEnd()) {
            int run = ReadRun(bits, black);
            if (run == RunEOL) {
                eol = true;
                break;
            }
            // A broken code ends the row.
            if (run < 0) break;
            run = std::min(run, width - pos);
            if (black) FillRun(out, pos, run);
            pos += run;
            black = !black;
        }
        EndRow(bits, eol);
        std::int64_t step = std::min(rowBytes, outLeft);
        out += step;
        outLeft -= step;
    }
    Source += std::min(bits.BytePos(), PackedSize);
    Dest = out;
}

void TCCITTFax3Decoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                               std::int64_t UnpackedSize) {
    bool afterEOL = false;
    DecodeRows(
        Source, Dest, PackedSize, UnpackedSize,
        [&](TBitReader& bits) {
            if (afterEOL) return true;
            // Find the end-of-line code: at least 11 zero bits, then a 1.
            int zeros = 0;
            while (zeros < 11 && !bits.AtEnd())
                zeros = bits.Bit() == 0 ? zeros + 1 : 0;
            while (!bits.AtEnd() && bits.Bit() == 0) {
            }
            return !bits.AtEnd();
        },
        [&](TBitReader&, bool EOL) { afterEOL = EOL; });
}

void TCCITTMHDecoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                             std::int64_t UnpackedSize) {
    DecodeRows(
        Source, Dest, PackedSize, UnpackedSize, [](TBitReader&) { return true; },
        [&](TBitReader& bits, bool) {
            // The next row starts on the next byte of input (an even one with
            // word alignment).
            bits.AlignToByte();
            if (FWordAligned && (bits.BitPos >> 3) & 1) bits.BitPos += 8;
        });
}
