// The AVX2 line forms: eight pixels per step (RasterBlendVector.h), then the
// portable per-pixel form for the tail. Only the functions of this file's
// anonymous namespace are compiled for AVX2 (by attribute, not for the whole
// file), so no shared inline code is ever emitted with instructions that an
// older processor lacks; they run only when CpuSupports(ciAVX2).
#include "raster/RasterBlend.h"
#include "raster/RasterSystem.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

#define QM_VECTOR __attribute__((target("avx2")))

struct TAvx2 {
    using I = __m256i;
    using M = I; // all-ones lanes
    using F = __m256;
    static constexpr int Pixels = 8;

    QM_VECTOR static I Load(const TColor32* P) {
        return _mm256_loadu_si256(reinterpret_cast<const I*>(P));
    }
    QM_VECTOR static void Store(TColor32* P, I V) {
        _mm256_storeu_si256(reinterpret_cast<I*>(P), V);
    }
    QM_VECTOR static I Set32(Cardinal X) { return _mm256_set1_epi32(int(X)); }
    QM_VECTOR static I Set16(short X) { return _mm256_set1_epi16(X); }
    QM_VECTOR static I And(I A, I B) { return _mm256_and_si256(A, B); }
    QM_VECTOR static I AndNot(I A, I B) { return _mm256_andnot_si256(A, B); }
    QM_VECTOR static I Or(I A, I B) { return _mm256_or_si256(A, B); }
    QM_VECTOR static I Xor(I A, I B) { return _mm256_xor_si256(A, B); }
    QM_VECTOR static I Xor3(I A, I B, I C) { return Xor(Xor(A, B), C); }
    QM_VECTOR static M MaskOr(M A, M B) { return Or(A, B); }
    QM_VECTOR static I Add16(I A, I B) { return _mm256_add_epi16(A, B); }
    QM_VECTOR static I Sub16(I A, I B) { return _mm256_sub_epi16(A, B); }
    QM_VECTOR static I MulLo16(I A, I B) { return _mm256_mullo_epi16(A, B); }
    QM_VECTOR static I MulHiU16(I A, I B) { return _mm256_mulhi_epu16(A, B); }
    template <int N> QM_VECTOR static I Srli16(I A) { return _mm256_srli_epi16(A, N); }
    template <int N> QM_VECTOR static I Slli16(I A) { return _mm256_slli_epi16(A, N); }
    template <int N> QM_VECTOR static I Srli32(I A) { return _mm256_srli_epi32(A, N); }
    template <int N> QM_VECTOR static I Slli32(I A) { return _mm256_slli_epi32(A, N); }
    QM_VECTOR static I CmpEq16(I A, I B) { return _mm256_cmpeq_epi16(A, B); }
    QM_VECTOR static I CmpEq32(I A, I B) { return _mm256_cmpeq_epi32(A, B); }
    QM_VECTOR static I Select(I Mask, I A, I B) { return _mm256_blendv_epi8(B, A, Mask); }
    QM_VECTOR static bool AllSet(I Mask) { return _mm256_movemask_epi8(Mask) == -1; }
    QM_VECTOR static bool AnySet(I Mask) { return !_mm256_testz_si256(Mask, Mask); }
    QM_VECTOR static I AlphaPairs(I C) {
        const I pairs =
            _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3,
                             -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
        return _mm256_shuffle_epi8(C, pairs);
    }
    QM_VECTOR static F SetF(float X) { return _mm256_set1_ps(X); }
    QM_VECTOR static F ToFloat(I A) { return _mm256_cvtepi32_ps(A); }
    QM_VECTOR static F AddF(F A, F B) { return _mm256_add_ps(A, B); }
    QM_VECTOR static F MulF(F A, F B) { return _mm256_mul_ps(A, B); }
    QM_VECTOR static F MulAddF(F A, F B, F C) { return AddF(MulF(A, B), C); }
    QM_VECTOR static F DivF(F A, F B) { return _mm256_div_ps(A, B); }
    QM_VECTOR static I RoundToInt(F A) { return _mm256_cvtps_epi32(A); }
};

#include "raster/RasterBlendVector.h"

bool Available() {
    return BlendSse2Form.Available() && CpuSupports(ciAVX2);
}

} // namespace

extern const TBlendLineForm BlendAvx2Form = VectorLineForm<TAvx2>(Available);

#else

extern const TBlendLineForm BlendAvx2Form = BlendFormMissing;

#endif
