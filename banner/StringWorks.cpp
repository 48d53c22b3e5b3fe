#include "banner/StringWorks.h"

#include <vector>

#include "platform/base/FileNames.h"

namespace {

bool IsContinuationByte(char C) {
    return (static_cast<unsigned char>(C) & 0xC0) == 0x80;
}

// Byte offset of every character start.
std::vector<std::size_t> CharStarts(std::string_view S) {
    std::vector<std::size_t> Starts;
    for (std::size_t I = 0; I < S.size(); ++I)
        if (!IsContinuationByte(S[I]) || I == 0) Starts.push_back(I);
    return Starts;
}

bool MatchesAt(std::string_view S, std::size_t Offset, std::string_view Sub) {
    // A tail shorter than Sub never matches.
    return S.size() - Offset >= Sub.size() && S.compare(Offset, Sub.size(), Sub) == 0;
}

} // namespace

int CountOccurrences(std::string_view Sub, std::string_view S) {
    int Count = 0;
    for (std::size_t Offset : CharStarts(S))
        if (MatchesAt(S, Offset, Sub)) ++Count;
    return Count;
}

int NthOccurrence(std::string_view S, std::string_view Sub, int N) {
    const auto Starts = CharStarts(S);
    int Count = 0;
    for (std::size_t P = 0; P < Starts.size(); ++P) {
        if (MatchesAt(S, Starts[P], Sub)) ++Count;
        if (Count == N) return int(P) + 1;
    }
    return 0;
}

std::string LeftPart(std::string_view S, int Count) {
    if (Count <= 0) return {};
    const auto Starts = CharStarts(S);
    if (std::size_t(Count) >= Starts.size()) return std::string(S);
    return std::string(S.substr(0, Starts[std::size_t(Count)]));
}

std::string StripExtension(std::string_view FileName) {
    return ChangeFileExt(FileName, "");
}
