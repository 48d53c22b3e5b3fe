// The SSE2 line forms: four pixels per step, then the portable per-pixel
// form for the tail. The arithmetic is the portable one: per channel
// ((x - y) * w + 256 * y + 128) shr 8 is exact in 16-bit lanes because the
// true value lies in 128..65408, so the wrapping multiply and the logical
// shift give it back unchanged. Each pixel's blue/red and green/alpha pairs
// are worked in place as 16-bit lanes, so no unpacking is needed.
#include "raster/RasterBlend.h"
#include "raster/RasterSystem.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

inline __m128i Load(const TColor32* P) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
}
inline void Store(TColor32* P, __m128i V) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V);
}

// Four pixels of F over B; W holds each pixel's weight (0..256) in both
// 16-bit halves of its 32-bit lane.
inline __m128i Mix4(__m128i F, __m128i B, __m128i W) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i bias = _mm_set1_epi16(0x0080);
    // Blue and red.
    const __m128i fRB = _mm_and_si128(F, lowBytes);
    const __m128i bRB = _mm_and_si128(B, lowBytes);
    __m128i rb = _mm_mullo_epi16(_mm_sub_epi16(fRB, bRB), W);
    rb = _mm_add_epi16(rb, _mm_or_si128(_mm_slli_epi16(B, 8), bias));
    rb = _mm_srli_epi16(rb, 8);
    // Green and alpha.
    const __m128i fGA = _mm_srli_epi16(F, 8);
    const __m128i bGA = _mm_srli_epi16(B, 8);
    __m128i ga = _mm_mullo_epi16(_mm_sub_epi16(fGA, bGA), W);
    ga = _mm_add_epi16(ga, _mm_or_si128(_mm_andnot_si128(lowBytes, B), bias));
    ga = _mm_andnot_si128(lowBytes, ga);
    return _mm_or_si128(rb, ga);
}

// Each pixel's alpha in both 16-bit halves of its lane.
inline __m128i AlphaPairs(__m128i F) {
    const __m128i a = _mm_srli_epi32(F, 24);
    return _mm_or_si128(a, _mm_slli_epi32(a, 16));
}

} // namespace

namespace BlendSse2 {

bool Available() {
    return true;
}

void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    if (Count <= 0) return;
    W = W > 255 ? 255 : W;
    if (W == 0 || W == 255) {
        BlendPortable::CombineLine(Src, Dst, Count, W);
        return;
    }
    const __m128i w = _mm_set1_epi16(short(W));
    int i = 0;
    for (; i + 4 <= Count; i += 4)
        Store(Dst + i, Mix4(Load(Src + i), Load(Dst + i), w));
    BlendPortable::CombineLine(Src + i, Dst + i, Count - i, W);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
    const __m128i ff = _mm_set1_epi16(255);
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        const __m128i f = Load(Src + i);
        const __m128i alpha = _mm_and_si128(f, alphaMask);
        const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaMask));
        if (opaque == 0xFFFF) {
            Store(Dst + i, f);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128())) == 0xFFFF) continue;
        // An opaque pixel takes weight 256, which copies it exactly; a clear
        // one has weight 0, which keeps the background exactly.
        __m128i w = AlphaPairs(f);
        w = _mm_sub_epi16(w, _mm_cmpeq_epi16(w, ff));
        Store(Dst + i, Mix4(f, Load(Dst + i), w));
    }
    BlendPortable::BlendLine(Src + i, Dst + i, Count - i);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    M = M > 255 ? 255 : M;
    if (M == 0) return;
    const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
    const __m128i m = _mm_set1_epi16(short(M));
    const __m128i one = _mm_set1_epi16(1);
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        const __m128i f = Load(Src + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(f, alphaMask), _mm_setzero_si128())) ==
            0xFFFF)
            continue;
        // (Fa + 1) * M <= 65280 fits a 16-bit lane; a zero weight leaves the
        // background exactly.
        const __m128i w = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(AlphaPairs(f), one), m), 8);
        Store(Dst + i, Mix4(f, Load(Dst + i), w));
    }
    BlendPortable::BlendLineEx(Src + i, Dst + i, Count - i, M);
}

} // namespace BlendSse2

#else

namespace BlendSse2 {
bool Available() {
    return false;
}
void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    BlendPortable::CombineLine(Src, Dst, Count, W);
}
void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    BlendPortable::BlendLine(Src, Dst, Count);
}
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    BlendPortable::BlendLineEx(Src, Dst, Count, M);
}
} // namespace BlendSse2

#endif
