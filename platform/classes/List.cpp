#include "platform/classes/List.h"

#include "platform/base/Exception.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

void TList::Error(const char* Format, std::int64_t Value) {
    char Text[128];
    std::snprintf(Text, sizeof Text, Format, Value);
    throw EListError(Text);
}

TList::~TList() {
    // Notify is virtual: a descendant clears itself in its own destructor.
    FList.clear();
}

void TList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%" PRId64 ")", Index);
}

int TList::Add(void* Item) {
    FList.push_back(Item);
    if (Item != nullptr) Notify(Item, lnAdded);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
    if (Index < 0 || Index > Count()) Error("List index out of bounds (%" PRId64 ")", Index);
    FList.insert(FList.begin() + Index, Item);
    if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
    CheckIndex(Index);
    void* Item = FList[std::size_t(Index)];
    FList.erase(FList.begin() + Index);
    if (Item != nullptr) Notify(Item, lnDeleted);
}

int TList::Remove(void* Item) {
    int Index = IndexOf(Item);
    if (Index >= 0) Delete(Index);
    return Index;
}

void* TList::Extract(void* Item) {
    int Index = IndexOf(Item);
    if (Index < 0) return nullptr;
    void* Result = FList[std::size_t(Index)];
    FList.erase(FList.begin() + Index);
    Notify(Result, lnExtracted);
    return Result;
}

int TList::IndexOf(const void* Item) const {
    auto It = std::find(FList.begin(), FList.end(), Item);
    return It == FList.end() ? -1 : int(It - FList.begin());
}

void* TList::Get(int Index) const {
    CheckIndex(Index);
    return FList[std::size_t(Index)];
}

void TList::Put(int Index, void* Item) {
    CheckIndex(Index);
    void* Old = FList[std::size_t(Index)];
    if (Old == Item) return;
    FList[std::size_t(Index)] = Item;
    if (Old != nullptr) Notify(Old, lnDeleted);
    if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::SetCount(int NewCount) {
    if (NewCount < 0) Error("List count out of bounds (%" PRId64 ")", NewCount);
    while (Count() > NewCount)
        Delete(Count() - 1);
    FList.resize(std::size_t(NewCount), nullptr);
}

void TList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count()) Error("List capacity out of bounds (%" PRId64 ")", NewCapacity);
    if (NewCapacity > Capacity()) {
        FList.reserve(std::size_t(NewCapacity));
    } else if (NewCapacity < Capacity()) {
        std::vector<void*> Smaller;
        Smaller.reserve(std::size_t(NewCapacity));
        Smaller.assign(FList.begin(), FList.end());
        FList.swap(Smaller);
    }
}

void TList::Clear() {
    while (!FList.empty())
        Delete(Count() - 1);
    FList.shrink_to_fit();
}

void TList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[std::size_t(Index1)], FList[std::size_t(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    void* Item = FList[std::size_t(CurIndex)];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, Item);
}

void TList::Pack() {
    std::erase(FList, nullptr);
}

void TList::Sort(const TListSortCompare& Compare) {
    std::stable_sort(FList.begin(), FList.end(),
                     [&](void* A, void* B) { return Compare(A, B) < 0; });
}

void TThreadList::Add(void* Item) {
    std::lock_guard Guard(FLock);
    if (FDuplicates == dupAccept || FList.IndexOf(Item) < 0) {
        FList.Add(Item);
    } else if (FDuplicates == dupError) {
        char Text[64];
        std::snprintf(Text, sizeof Text, "List does not allow duplicates ($0%" PRIxPTR ")",
                      reinterpret_cast<std::uintptr_t>(Item));
        throw EListError(Text);
    }
}

void TThreadList::Remove(void* Item) {
    std::lock_guard Guard(FLock);
    FList.Remove(Item);
}

void TThreadList::Clear() {
    std::lock_guard Guard(FLock);
    FList.Clear();
}

TList* TThreadList::LockList() {
    FLock.lock();
    return &FList;
}

void TThreadList::UnlockList() {
    FLock.unlock();
}
