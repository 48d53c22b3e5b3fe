#include "platform/classes/Strings.h"

#include "platform/base/FileNames.h"

#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <numeric>

namespace {

unsigned char FoldAscii(unsigned char C) {
    return C >= 'A' && C <= 'Z' ? C - 'A' + 'a' : C;
}

int CompareTextAscii(std::string_view A, std::string_view B) {
    std::size_t N = std::min(A.size(), B.size());
    for (std::size_t I = 0; I < N; ++I) {
        int D = int(FoldAscii(static_cast<unsigned char>(A[I]))) -
                int(FoldAscii(static_cast<unsigned char>(B[I])));
        if (D != 0) return D;
    }
    return A.size() < B.size() ? -1 : A.size() > B.size() ? 1 : 0;
}

int CompareStrAscii(std::string_view A, std::string_view B) {
    if (int D = CompareTextAscii(A, B)) return D;
    // Equal but for case: the first differing letter decides, lower case first.
    for (std::size_t I = 0; I < A.size(); ++I)
        if (A[I] != B[I]) return (A[I] >= 'a' && A[I] <= 'z') ? -1 : 1;
    return 0;
}

class TUpdateGuard {
public:
    explicit TUpdateGuard(TStrings& S) : FStrings(S) { FStrings.BeginUpdate(); }
    ~TUpdateGuard() { FStrings.EndUpdate(); }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;

private:
    TStrings& FStrings;
};

} // namespace

// --- TStrings ----------------------------------------------------------------

void TStrings::Error(const char* Format, std::int64_t Value) {
    char Text[128];
    std::snprintf(Text, sizeof Text, Format, Value);
    throw EStringListError(Text);
}

int TStrings::CompareStrings(std::string_view S1, std::string_view S2) const {
    return CompareTextAscii(S1, S2);
}

void TStrings::Put(int Index, const std::string& S) {
    TObject* Obj = Objects(Index);
    TUpdateGuard Guard(*this);
    Delete(Index);
    InsertObject(Index, S, Obj);
}

int TStrings::Add(const std::string& S) {
    int Result = Count();
    Insert(Result, S);
    return Result;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    int Result = Add(S);
    PutObject(Result, AObject);
    return Result;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Exchange(int Index1, int Index2) {
    TUpdateGuard Guard(*this);
    std::string S1 = Get(Index1);
    TObject* O1 = Objects(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, Objects(Index2));
    Put(Index2, S1);
    PutObject(Index2, O1);
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    if (NewIndex < 0 || NewIndex >= Count())
        Error("List index out of bounds (%" PRId64 ")", NewIndex);
    TUpdateGuard Guard(*this);
    std::string S = Get(CurIndex);
    TObject* Obj = Objects(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, S, Obj);
}

void TStrings::AddStrings(const TStrings* Strings) {
    if (Strings == nullptr) return;
    // A snapshot, so that adding a list to itself (or to a sorted list) reads
    // each string once.
    std::vector<std::pair<std::string, TObject*>> Items;
    for (int I = 0; I < Strings->Count(); ++I)
        Items.emplace_back(Strings->Get(I), Strings->Objects(I));
    TUpdateGuard Guard(*this);
    for (auto& [S, Obj] : Items)
        AddObject(S, Obj);
}

void TStrings::AddStrings(const std::vector<std::string>& Strings) {
    TUpdateGuard Guard(*this);
    for (const std::string& S : Strings)
        Add(S);
}

int TStrings::IndexOf(std::string_view S) const {
    for (int I = 0; I < Count(); ++I)
        if (CompareStrings(Get(I), S) == 0) return I;
    return -1;
}

int TStrings::IndexOfName(std::string_view Name) const {
    for (int I = 0; I < Count(); ++I) {
        std::string S = Get(I);
        std::size_t P = S.find(FNameValueSeparator);
        if (P != std::string::npos && CompareStrings(std::string_view(S).substr(0, P), Name) == 0)
            return I;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
    for (int I = 0; I < Count(); ++I)
        if (Objects(I) == AObject) return I;
    return -1;
}

std::string TStrings::Names(int Index) const {
    std::string S = Get(Index);
    std::size_t P = S.find(FNameValueSeparator);
    return P == std::string::npos ? std::string() : S.substr(0, P);
}

std::string TStrings::Values(std::string_view Name) const {
    int I = IndexOfName(Name);
    return I < 0 ? std::string() : ValueFromIndex(I);
}

void TStrings::SetValue(std::string_view Name, const std::string& Value) {
    int I = IndexOfName(Name);
    if (!Value.empty()) {
        std::string S = std::string(Name) + FNameValueSeparator + Value;
        if (I < 0)
            Add(S);
        else
            Put(I, S);
    } else if (I >= 0) {
        Delete(I);
    }
}

std::string TStrings::ValueFromIndex(int Index) const {
    std::string S = Get(Index);
    std::size_t P = S.find(FNameValueSeparator);
    return P == std::string::npos ? std::string() : S.substr(P + 1);
}

void TStrings::SetValueFromIndex(int Index, const std::string& Value) {
    if (!Value.empty()) {
        if (Index < 0) Index = Add("");
        Put(Index, Names(Index) + FNameValueSeparator + Value);
    } else if (Index >= 0) {
        Delete(Index);
    }
}

std::string TStrings::Text() const {
    std::string Result;
    for (int I = 0; I < Count(); ++I) {
        Result += Get(I);
        Result += LineBreak;
    }
    return Result;
}

void TStrings::SetText(std::string_view Value) {
    TUpdateGuard Guard(*this);
    Clear();
    std::size_t P = 0;
    while (P < Value.size()) {
        std::size_t Start = P;
        while (P < Value.size() && Value[P] != '\r' && Value[P] != '\n')
            ++P;
        Add(std::string(Value.substr(Start, P - Start)));
        if (P < Value.size() && Value[P] == '\r') ++P;
        if (P < Value.size() && Value[P] == '\n') ++P;
    }
}

std::string TStrings::BuildDelimited(char Delim, char Quote, bool Strict) const {
    const int N = Count();
    if (N == 1 && Get(0).empty()) return std::string(2, Quote);
    std::string Result;
    for (int I = 0; I < N; ++I) {
        std::string S = Get(I);
        bool NeedsQuotes = false;
        for (char Ch : S) {
            auto C = static_cast<unsigned char>(Ch);
            if (Ch == Quote || Ch == Delim || C == 0 || (!Strict && C <= ' ')) {
                NeedsQuotes = true;
                break;
            }
        }
        if (I > 0) Result += Delim;
        if (NeedsQuotes) {
            Result += Quote;
            for (char Ch : S) {
                if (Ch == Quote) Result += Quote;
                Result += Ch;
            }
            Result += Quote;
        } else {
            Result += S;
        }
    }
    return Result;
}

void TStrings::ParseDelimited(std::string_view Value, char Delim, char Quote, bool Strict) {
    TUpdateGuard Guard(*this);
    Clear();
    const std::size_t Len = Value.size();
    auto IsBlank = [&](std::size_t P) {
        auto C = static_cast<unsigned char>(Value[P]);
        return !Strict && C <= ' ';
    };
    std::size_t P = 0;
    while (P < Len && IsBlank(P))
        ++P;
    while (P < Len) {
        std::string S;
        if (Value[P] == Quote) {
            ++P;
            while (P < Len) {
                if (Value[P] == Quote) {
                    if (P + 1 < Len && Value[P + 1] == Quote) {
                        S += Quote;
                        P += 2;
                        continue;
                    }
                    ++P;
                    break;
                }
                S += Value[P++];
            }
        } else {
            std::size_t Start = P;
            while (P < Len && Value[P] != Delim &&
                   (Strict || static_cast<unsigned char>(Value[P]) > ' '))
                ++P;
            S.assign(Value.substr(Start, P - Start));
        }
        Add(S);
        while (P < Len && IsBlank(P))
            ++P;
        if (P < Len && Value[P] == Delim) {
            // A delimiter at the very end stands for a last, empty string.
            if (P + 1 == Len) Add("");
            do
                ++P;
            while (P < Len && IsBlank(P));
        }
    }
}

std::string TStrings::DelimitedText() const {
    return BuildDelimited(FDelimiter, FQuoteChar, FStrictDelimiter);
}

void TStrings::SetDelimitedText(std::string_view Value) {
    ParseDelimited(Value, FDelimiter, FQuoteChar, FStrictDelimiter);
}

std::string TStrings::CommaText() const {
    return BuildDelimited(',', '"', false);
}

void TStrings::SetCommaText(std::string_view Value) {
    ParseDelimited(Value, ',', '"', false);
}

void TStrings::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* S = dynamic_cast<const TStrings*>(Source)) {
        TUpdateGuard Guard(*this);
        Clear();
        FDelimiter = S->FDelimiter;
        FQuoteChar = S->FQuoteChar;
        FNameValueSeparator = S->FNameValueSeparator;
        FStrictDelimiter = S->FStrictDelimiter;
        AddStrings(S);
        return;
    }
    TPersistent::Assign(Source);
}

bool TStrings::Equals(const TStrings* Strings) const {
    if (Strings == nullptr || Strings->Count() != Count()) return false;
    for (int I = 0; I < Count(); ++I)
        if (Get(I) != Strings->Get(I)) return false;
    return true;
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> Result;
    Result.reserve(std::size_t(Count()));
    for (int I = 0; I < Count(); ++I)
        Result.push_back(Get(I));
    return Result;
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromStream(TStream* Stream) {
    std::int64_t Left = Stream->Size() - Stream->Position();
    std::string Data;
    if (Left > 0) {
        Data.resize(std::size_t(Left));
        Stream->ReadBuffer(Data.data(), Left);
    }
    std::string_view View(Data);
    if (View.starts_with("\xEF\xBB\xBF")) View.remove_prefix(3);
    SetText(View);
}

void TStrings::SaveToStream(TStream* Stream) const {
    std::string Data = Text();
    Stream->WriteBuffer(Data.data(), std::int64_t(Data.size()));
}

void TStrings::LoadFromFile(const std::string& FileName) {
    TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&F);
}

void TStrings::SaveToFile(const std::string& FileName) const {
    SaveFileAtomic(FileName, Text());
}

// --- TStringList -------------------------------------------------------------

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (FOwnsObjects)
        for (TStringItem& Item : FList)
            delete Item.FObject;
}

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%" PRId64 ")", Index);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

int TStringList::CompareStrings(std::string_view S1, std::string_view S2) const {
    return FCaseSensitive ? CompareStrAscii(S1, S2) : CompareTextAscii(S1, S2);
}

std::string TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FList[std::size_t(Index)].FString;
}

void TStringList::Put(int Index, const std::string& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(Index);
    Changing();
    FList[std::size_t(Index)].FString = S;
    Changed();
}

TObject* TStringList::Objects(int Index) const {
    CheckIndex(Index);
    return FList[std::size_t(Index)].FObject;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    TObject* Old = FList[std::size_t(Index)].FObject;
    FList[std::size_t(Index)].FObject = AObject;
    if (FOwnsObjects && Old != AObject) delete Old;
    Changed();
}

int TStringList::Add(const std::string& S) {
    return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
    int Result = Count();
    if (FSorted && Find(S, Result)) {
        switch (FDuplicates) {
        case dupIgnore:
            return Result;
        case dupError:
            throw EStringListError("String list does not allow duplicates");
        case dupAccept:
            break;
        }
    }
    InsertItem(Result, S, AObject);
    return Result;
}

void TStringList::Insert(int Index, const std::string& S) {
    InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index > Count()) Error("List index out of bounds (%" PRId64 ")", Index);
    InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject) {
    Changing();
    FList.insert(FList.begin() + Index, TStringItem{S, AObject});
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Changing();
    TObject* Obj = FList[std::size_t(Index)].FObject;
    FList.erase(FList.begin() + Index);
    if (FOwnsObjects) delete Obj;
    Changed();
}

void TStringList::Clear() {
    if (FList.empty()) return;
    Changing();
    std::vector<TStringItem> Old;
    Old.swap(FList);
    if (FOwnsObjects)
        for (TStringItem& Item : Old)
            delete Item.FObject;
    Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    std::swap(FList[std::size_t(Index1)], FList[std::size_t(Index2)]);
    Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (CurIndex == NewIndex) return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    Changing();
    TStringItem Item = std::move(FList[std::size_t(CurIndex)]);
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, std::move(Item));
    Changed();
}

int TStringList::IndexOf(std::string_view S) const {
    if (!FSorted) return TStrings::IndexOf(S);
    int Index = 0;
    return Find(S, Index) ? Index : -1;
}

bool TStringList::Find(std::string_view S, int& Index) const {
    int L = 0, H = Count();
    while (L < H) {
        int M = L + (H - L) / 2;
        if (CompareStrings(FList[std::size_t(M)].FString, S) < 0)
            L = M + 1;
        else
            H = M;
    }
    Index = L;
    return L < Count() && CompareStrings(FList[std::size_t(L)].FString, S) == 0;
}

void TStringList::Sort() {
    CustomSort([](TStringList* List, int Index1, int Index2) {
        return List->CompareStrings(List->FList[std::size_t(Index1)].FString,
                                    List->FList[std::size_t(Index2)].FString);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
    if (FSorted || Count() < 2) return;
    Changing();
    SortItems(Compare);
    Changed();
}

void TStringList::SortItems(const TStringListSortCompare& Compare) {
    // The comparer sees indices into the list as it stands, so the list is
    // left untouched while the order is worked out on a permutation.
    std::vector<int> Order(FList.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::stable_sort(Order.begin(), Order.end(),
                     [&](int A, int B) { return Compare(this, A, B) < 0; });
    std::vector<TStringItem> Sorted;
    Sorted.reserve(FList.size());
    for (int I : Order)
        Sorted.push_back(std::move(FList[std::size_t(I)]));
    FList.swap(Sorted);
}

void TStringList::SetSorted(bool Value) {
    if (FSorted == Value) return;
    if (Value) Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
    if (FCaseSensitive == Value) return;
    FCaseSensitive = Value;
    if (FSorted && Count() > 1) {
        Changing();
        SortItems([](TStringList* List, int Index1, int Index2) {
            return List->CompareStrings(List->FList[std::size_t(Index1)].FString,
                                        List->FList[std::size_t(Index2)].FString);
        });
        Changed();
    }
}
