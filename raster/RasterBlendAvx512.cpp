// The AVX-512 line forms: sixteen pixels per step (RasterBlendVector.h),
// comparisons in mask registers, then the portable per-pixel form for the
// tail. As for AVX2, only this file's anonymous namespace is compiled for
// the wider instruction set, and it runs only when CpuSupports(ciAVX512).
#include "raster/RasterBlend.h"
#include "raster/RasterSystem.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

// The compiler's own 512-bit intrinsics start from deliberately undefined
// registers, which its flow analysis reports once they are inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

#define QM_VECTOR __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,fma")))

struct TAvx512 {
    using I = __m512i;
    using M = __mmask16; // one bit per 32-bit lane
    using F = __m512;
    static constexpr int Pixels = 16;

    QM_VECTOR static I Load(const TColor32* P) { return _mm512_loadu_si512(P); }
    QM_VECTOR static void Store(TColor32* P, I V) { _mm512_storeu_si512(P, V); }
    // The constants go through Opaque: the compiler otherwise rebuilds them
    // inside the loops from a general register, at the cost of a vector
    // operation each time, where a register or a load from memory is free.
    template <class T> QM_VECTOR static T Opaque(T X) {
        asm("" : "+v"(X));
        return X;
    }
    QM_VECTOR static I Set32(Cardinal X) { return Opaque(_mm512_set1_epi32(int(X))); }
    QM_VECTOR static I Set16(short X) { return Opaque(_mm512_set1_epi16(X)); }
    QM_VECTOR static I And(I A, I B) { return _mm512_and_si512(A, B); }
    QM_VECTOR static I AndNot(I A, I B) { return _mm512_andnot_si512(A, B); }
    QM_VECTOR static I Or(I A, I B) { return _mm512_or_si512(A, B); }
    QM_VECTOR static I Xor(I A, I B) { return _mm512_xor_si512(A, B); }
    QM_VECTOR static I Xor3(I A, I B, I C) { return _mm512_ternarylogic_epi32(A, B, C, 0x96); }
    QM_VECTOR static I Add16(I A, I B) { return _mm512_add_epi16(A, B); }
    QM_VECTOR static I Sub16(I A, I B) { return _mm512_sub_epi16(A, B); }
    QM_VECTOR static I MulLo16(I A, I B) { return _mm512_mullo_epi16(A, B); }
    QM_VECTOR static I MulHiU16(I A, I B) { return _mm512_mulhi_epu16(A, B); }
    template <int N> QM_VECTOR static I Srli16(I A) { return _mm512_srli_epi16(A, N); }
    template <int N> QM_VECTOR static I Slli16(I A) { return _mm512_slli_epi16(A, N); }
    template <int N> QM_VECTOR static I Srli32(I A) { return _mm512_srli_epi32(A, N); }
    template <int N> QM_VECTOR static I Slli32(I A) { return _mm512_slli_epi32(A, N); }
    // All-ones 16-bit lanes where A = B (used as a value, not a mask).
    QM_VECTOR static I CmpEq16(I A, I B) {
        return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(A, B));
    }
    QM_VECTOR static M CmpEq32(I A, I B) { return _mm512_cmpeq_epi32_mask(A, B); }
    QM_VECTOR static M MaskOr(M A, M B) { return M(A | B); }
    QM_VECTOR static I Select(M Mask, I A, I B) { return _mm512_mask_blend_epi32(Mask, B, A); }
    QM_VECTOR static bool AllSet(M Mask) { return Mask == M(0xFFFF); }
    QM_VECTOR static bool AnySet(M Mask) { return Mask != 0; }
    QM_VECTOR static I AlphaPairs(I C) {
        // Per 32-bit lane: bytes 3, none, 3, none (in each 128-bit block).
        const I pairs = _mm512_set4_epi32(int(0x800F800Fu), int(0x800B800Bu), int(0x80078007u),
                                          int(0x80038003u));
        return _mm512_shuffle_epi8(C, pairs);
    }
    QM_VECTOR static F SetF(float X) { return Opaque(_mm512_set1_ps(X)); }
    QM_VECTOR static F ToFloat(I A) { return _mm512_cvtepi32_ps(A); }
    QM_VECTOR static F AddF(F A, F B) { return _mm512_add_ps(A, B); }
    QM_VECTOR static F MulF(F A, F B) { return _mm512_mul_ps(A, B); }
    QM_VECTOR static F MulAddF(F A, F B, F C) { return _mm512_fmadd_ps(A, B, C); }
    QM_VECTOR static F DivF(F A, F B) { return _mm512_div_ps(A, B); }
    QM_VECTOR static I RoundToInt(F A) { return _mm512_cvtps_epi32(A); }
};

#include "raster/RasterBlendVector.h"

bool Available() {
    return BlendAvx2Form.Available() && CpuSupports(ciAVX512);
}

} // namespace

extern const TBlendLineForm BlendAvx512Form = VectorLineForm<TAvx512>(Available);

#else

extern const TBlendLineForm BlendAvx512Form = BlendFormMissing;

#endif
