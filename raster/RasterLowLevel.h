#pragma once
// 32-bit word fills and moves, and the clamp/wrap/mirror mappings that the
// bitmap's wrapped reads and the samplers use.
#include "platform/base/Types.h"

#include <cstdint>

// Sets Count 32-bit words at Dest to Value; nothing for Count <= 0.
void FillWords(void* Dest, int Count, Cardinal Value);
// Moves Count 32-bit words; the two areas may overlap.
void MoveWords(const void* Source, void* Dest, int Count);
// Exchanges A and B; the write of B is one atomic exchange.
void SwapWords(Integer& A, Integer& B);
// Exchanges A and B when B < A, so that afterwards A <= B.
void TestSwapWords(Integer& A, Integer& B);

// The two forms of FillWords; they write the same words. Exposed so that the
// tests can hold them against each other.
void FillWordsPortable(void* Dest, int Count, Cardinal Value);
// False when this build has no vector form (FillWordsSse2 then is the
// portable form).
bool FillWordsSse2Available();
void FillWordsSse2(void* Dest, int Count, Cardinal Value);
// Picks the form by the processor; called when the module starts.
void SelectFillRoutine();
// Forces one form (for tests and benchmarks); False when it is unavailable.
bool SelectFillRoutine(bool UseSse2);

// Value limited to Min..Max.
inline int Clamp(int Value, int Min, int Max) {
    if (Value < Min) return Min;
    if (Value > Max) return Max;
    return Value;
}

// Value folded into Min..Max with period Max - Min + 1. An empty range
// (Max < Min) gives Min rather than dividing by zero.
int Wrap(int Value, int Min, int Max);
// Value reflected into Min..Max: the range, then the range backwards, and so
// on (the edge values repeat). An empty range gives Min.
int Mirror(int Value, int Min, int Max);

enum TWrapMode { wmClamp, wmRepeat, wmMirror };

using TWrapProc = int (*)(int Value, int Min, int Max);
// The mapping of each wrap mode.
extern const TWrapProc WRAP_PROCS[3];
inline TWrapProc GetWrapProc(TWrapMode Mode) {
    return WRAP_PROCS[Mode];
}

void InitRasterLowLevel();
