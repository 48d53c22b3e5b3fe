// The AVX2 line forms: the SSE2 forms' arithmetic on eight pixels per step.
// Only the functions below are compiled for AVX2 (by attribute, not for the
// whole file), so no shared inline code is ever emitted with instructions
// that an older processor lacks; they run only when CpuSupports(ciAVX2).
#include "raster/RasterBlend.h"
#include "raster/RasterSystem.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define QM_AVX2 __attribute__((target("avx2")))

namespace {

QM_AVX2 inline __m256i Load(const TColor32* P) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P));
}
QM_AVX2 inline void Store(TColor32* P, __m256i V) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(P), V);
}

// Eight pixels of F over B; W holds each pixel's weight (0..256) in both
// 16-bit halves of its 32-bit lane. See the SSE2 form for the lanes.
QM_AVX2 inline __m256i Mix8(__m256i F, __m256i B, __m256i W) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i bias = _mm256_set1_epi16(0x0080);
    __m256i rb = _mm256_mullo_epi16(
        _mm256_sub_epi16(_mm256_and_si256(F, lowBytes), _mm256_and_si256(B, lowBytes)), W);
    rb = _mm256_add_epi16(rb, _mm256_or_si256(_mm256_slli_epi16(B, 8), bias));
    rb = _mm256_srli_epi16(rb, 8);
    __m256i ga =
        _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(F, 8), _mm256_srli_epi16(B, 8)), W);
    ga = _mm256_add_epi16(ga, _mm256_or_si256(_mm256_andnot_si256(lowBytes, B), bias));
    ga = _mm256_andnot_si256(lowBytes, ga);
    return _mm256_or_si256(rb, ga);
}

QM_AVX2 inline __m256i AlphaPairs(__m256i F) {
    const __m256i a = _mm256_srli_epi32(F, 24);
    return _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
}

QM_AVX2 void CombineLineAvx2(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    const __m256i w = _mm256_set1_epi16(short(W));
    int i = 0;
    for (; i + 8 <= Count; i += 8)
        Store(Dst + i, Mix8(Load(Src + i), Load(Dst + i), w));
    BlendSse2::CombineLine(Src + i, Dst + i, Count - i, W);
}

QM_AVX2 void BlendLineAvx2(const TColor32* Src, TColor32* Dst, int Count) {
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i ff = _mm256_set1_epi16(255);
    int i = 0;
    for (; i + 8 <= Count; i += 8) {
        const __m256i f = Load(Src + i);
        const __m256i alpha = _mm256_and_si256(f, alphaMask);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, alphaMask)) == -1) {
            Store(Dst + i, f);
            continue;
        }
        if (_mm256_testz_si256(alpha, alpha)) continue;
        __m256i w = AlphaPairs(f);
        w = _mm256_sub_epi16(w, _mm256_cmpeq_epi16(w, ff));
        Store(Dst + i, Mix8(f, Load(Dst + i), w));
    }
    BlendSse2::BlendLine(Src + i, Dst + i, Count - i);
}

QM_AVX2 void BlendLineExAvx2(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i m = _mm256_set1_epi16(short(M));
    const __m256i one = _mm256_set1_epi16(1);
    int i = 0;
    for (; i + 8 <= Count; i += 8) {
        const __m256i f = Load(Src + i);
        const __m256i alpha = _mm256_and_si256(f, alphaMask);
        if (_mm256_testz_si256(alpha, alpha)) continue;
        const __m256i w =
            _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(AlphaPairs(f), one), m), 8);
        Store(Dst + i, Mix8(f, Load(Dst + i), w));
    }
    BlendSse2::BlendLineEx(Src + i, Dst + i, Count - i, M);
}

} // namespace

namespace BlendAvx2 {

bool Available() {
    return BlendSse2::Available() && CpuSupports(ciAVX2);
}

void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    if (Count <= 0) return;
    W = W > 255 ? 255 : W;
    if (W == 0 || W == 255) {
        BlendPortable::CombineLine(Src, Dst, Count, W);
        return;
    }
    CombineLineAvx2(Src, Dst, Count, W);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    if (Count > 0) BlendLineAvx2(Src, Dst, Count);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    M = M > 255 ? 255 : M;
    if (Count <= 0 || M == 0) return;
    BlendLineExAvx2(Src, Dst, Count, M);
}

} // namespace BlendAvx2

#else

namespace BlendAvx2 {
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
} // namespace BlendAvx2

#endif
