#pragma once
// Small text routines for document and file names. Positions and lengths
// count characters (UTF-8 sequences), 1-based like the positions they
// return; comparisons are exact.
#include <string>
#include <string_view>

// Start positions p in 1..length(S) where Sub occurs; overlapping
// occurrences count ("aa" occurs twice in "aaa"). An empty Sub occurs at
// every position.
int CountOccurrences(std::string_view Sub, std::string_view S);

// The position where occurrence N of Sub in S starts, or 0. The count is
// checked at every position after that position's match is counted, so
// N = 0 gives 1 when S does not begin with Sub (0 when it does, or when S is
// empty).
int NthOccurrence(std::string_view S, std::string_view Sub, int N);

// The first Count characters of S; empty for Count <= 0.
std::string LeftPart(std::string_view S, int Count);

// The name without the extension of its last part: everything before the
// last "." after the last folder delimiter. A name without an extension
// stays whole: the GIF export proposes it, and an empty proposal (or a cut
// inside a folder name such as "a.b/banner") would lose the banner's name.
std::string StripExtension(std::string_view FileName);
