#include "raster/RasterLowLevel.h"

#include "raster/RasterSystem.h"

#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using TFillProc = void (*)(void*, int, Cardinal);
// Constant-initialised to the portable form, so a fill before the module
// starts is still correct.
TFillProc GFillWords = FillWordsPortable;

// Truncating quotient and remainder in 64 bits: the differences of two
// 32-bit values do not overflow there.
struct TDivRem {
    std::int64_t Q, R;
};
TDivRem DivRem(std::int64_t A, std::int64_t N) {
    return {A / N, A % N};
}

} // namespace

void FillWordsPortable(void* Dest, int Count, Cardinal Value) {
    auto* d = static_cast<Cardinal*>(Dest);
    for (int i = 0; i < Count; ++i)
        d[i] = Value;
}

#if defined(__SSE2__)
bool FillWordsSse2Available() {
    return true;
}

void FillWordsSse2(void* Dest, int Count, Cardinal Value) {
    if (Count <= 0) return;
    auto* d = static_cast<Cardinal*>(Dest);
    // Single words up to a 16-byte boundary, then aligned 16-byte stores.
    while (Count > 0 && (reinterpret_cast<std::uintptr_t>(d) & 15) != 0) {
        *d++ = Value;
        --Count;
    }
    const __m128i v = _mm_set1_epi32(static_cast<int>(Value));
    while (Count >= 16) {
        _mm_store_si128(reinterpret_cast<__m128i*>(d), v);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + 4), v);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + 8), v);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + 12), v);
        d += 16;
        Count -= 16;
    }
    while (Count >= 4) {
        _mm_store_si128(reinterpret_cast<__m128i*>(d), v);
        d += 4;
        Count -= 4;
    }
    while (Count-- > 0)
        *d++ = Value;
}
#else
bool FillWordsSse2Available() {
    return false;
}
void FillWordsSse2(void* Dest, int Count, Cardinal Value) {
    FillWordsPortable(Dest, Count, Value);
}
#endif

void FillWords(void* Dest, int Count, Cardinal Value) {
    GFillWords(Dest, Count, Value);
}

void SelectFillRoutine() {
    SelectFillRoutine(CpuSupports(ciSSE2));
}

bool SelectFillRoutine(bool UseSse2) {
    if (UseSse2 && !FillWordsSse2Available()) return false;
    GFillWords = UseSse2 ? FillWordsSse2 : FillWordsPortable;
    return true;
}

void MoveWords(const void* Source, void* Dest, int Count) {
    if (Count <= 0 || Source == Dest) return;
    std::memmove(Dest, Source, static_cast<std::size_t>(Count) * 4);
}

void SwapWords(Integer& A, Integer& B) {
    A = std::atomic_ref<Integer>(B).exchange(A);
}

void TestSwapWords(Integer& A, Integer& B) {
    if (B < A) SwapWords(A, B);
}

int Wrap(int Value, int Min, int Max) {
    if (Max < Min) return Min;
    const std::int64_t n = std::int64_t(Max) - Min + 1;
    if (Value < Min) return static_cast<int>(Max + (std::int64_t(Value) - Max) % n);
    return static_cast<int>(Min + (std::int64_t(Value) - Min) % n);
}

int Mirror(int Value, int Min, int Max) {
    if (Max < Min) return Min;
    const std::int64_t n = std::int64_t(Max) - Min + 1;
    const bool below = Value < Min;
    const TDivRem qr = DivRem(below ? std::int64_t(Value) - Max : std::int64_t(Value) - Min, n);
    const std::int64_t v = qr.R + (below ? Max : Min);
    if (qr.Q % 2 != 0) return static_cast<int>(std::int64_t(Min) + Max - v);
    return static_cast<int>(v);
}

const TWrapProc WRAP_PROCS[3] = {Clamp, Wrap, Mirror};

void InitRasterLowLevel() {
    SelectFillRoutine();
}
