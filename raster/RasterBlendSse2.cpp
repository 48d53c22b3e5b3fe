// The SSE2 line forms: four pixels per step (RasterBlendVector.h), then the
// portable per-pixel form for the tail.
#include "raster/RasterBlend.h"
#include "raster/RasterSystem.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

#define QM_VECTOR

struct TSse2 {
    using I = __m128i;
    using M = I; // all-ones lanes
    using F = __m128;
    static constexpr int Pixels = 4;

    static I Load(const TColor32* P) { return _mm_loadu_si128(reinterpret_cast<const I*>(P)); }
    static void Store(TColor32* P, I V) { _mm_storeu_si128(reinterpret_cast<I*>(P), V); }
    static I Set32(Cardinal X) { return _mm_set1_epi32(int(X)); }
    static I Set16(short X) { return _mm_set1_epi16(X); }
    static I And(I A, I B) { return _mm_and_si128(A, B); }
    static I AndNot(I A, I B) { return _mm_andnot_si128(A, B); }
    static I Or(I A, I B) { return _mm_or_si128(A, B); }
    static I Xor(I A, I B) { return _mm_xor_si128(A, B); }
    static I Xor3(I A, I B, I C) { return Xor(Xor(A, B), C); }
    static M MaskOr(M A, M B) { return Or(A, B); }
    static I Add16(I A, I B) { return _mm_add_epi16(A, B); }
    static I Sub16(I A, I B) { return _mm_sub_epi16(A, B); }
    static I MulLo16(I A, I B) { return _mm_mullo_epi16(A, B); }
    static I MulHiU16(I A, I B) { return _mm_mulhi_epu16(A, B); }
    template <int N> static I Srli16(I A) { return _mm_srli_epi16(A, N); }
    template <int N> static I Slli16(I A) { return _mm_slli_epi16(A, N); }
    template <int N> static I Srli32(I A) { return _mm_srli_epi32(A, N); }
    template <int N> static I Slli32(I A) { return _mm_slli_epi32(A, N); }
    static I CmpEq16(I A, I B) { return _mm_cmpeq_epi16(A, B); }
    static I CmpEq32(I A, I B) { return _mm_cmpeq_epi32(A, B); }
    // Mask's lanes from A, the others from B.
    static I Select(I Mask, I A, I B) {
        return _mm_or_si128(_mm_and_si128(Mask, A), _mm_andnot_si128(Mask, B));
    }
    static bool AllSet(I Mask) { return _mm_movemask_epi8(Mask) == 0xFFFF; }
    static bool AnySet(I Mask) { return _mm_movemask_epi8(Mask) != 0; }
    // Each pixel's alpha in both 16-bit halves of its lane.
    static I AlphaPairs(I C) {
        const I a = _mm_srli_epi32(C, 24);
        return _mm_or_si128(a, _mm_slli_epi32(a, 16));
    }
    static F SetF(float X) { return _mm_set1_ps(X); }
    static F ToFloat(I A) { return _mm_cvtepi32_ps(A); }
    static F AddF(F A, F B) { return _mm_add_ps(A, B); }
    static F MulF(F A, F B) { return _mm_mul_ps(A, B); }
    static F MulAddF(F A, F B, F C) { return AddF(MulF(A, B), C); }
    static F DivF(F A, F B) { return _mm_div_ps(A, B); }
    // Rounded half to even (the processor's default rounding).
    static I RoundToInt(F A) { return _mm_cvtps_epi32(A); }
};

#include "raster/RasterBlendVector.h"

bool Available() {
    return true;
}

} // namespace

extern const TBlendLineForm BlendSse2Form = VectorLineForm<TSse2>(Available);

#else

extern const TBlendLineForm BlendSse2Form = BlendFormMissing;

#endif
