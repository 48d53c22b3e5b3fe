#pragma once
// TList: an ordered list of untyped pointers that owns nothing.
// TThreadList: a TList behind a mutex.
// Index errors raise EListError "List index out of bounds (<index>)".
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

enum TDuplicates { dupIgnore, dupAccept, dupError };

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// Negative when Item1 sorts before Item2, 0 when equal, positive after.
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

class TList {
public:
    TList() = default;
    virtual ~TList();
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;

    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    // Removes the first occurrence; its former index, or -1.
    int Remove(void* Item);
    // Removes the first occurrence and returns it (nullptr when absent).
    void* Extract(void* Item);
    int IndexOf(const void* Item) const;

    void* Get(int Index) const;
    void* Items(int Index) const { return Get(Index); }
    void Put(int Index, void* Item);
    void* First() const { return Get(0); }
    void* Last() const { return Get(Count() - 1); }

    int Count() const { return int(FList.size()); }
    // Grows with nullptr entries or drops the tail; raises EListError
    // "List count out of bounds (<n>)" for a negative count.
    void SetCount(int NewCount);
    int Capacity() const { return int(FList.capacity()); }
    // Raises EListError "List capacity out of bounds (<n>)" below Count.
    void SetCapacity(int NewCapacity);

    virtual void Clear();
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    // Removes every nullptr entry.
    void Pack();
    // Stable sort: equal items keep their order.
    void Sort(const TListSortCompare& Compare);

    void** List() { return FList.data(); }

protected:
    // Told of every item added, extracted or deleted (a typed list frees the
    // objects it owns here).
    virtual void Notify(void* Ptr, TListNotification Action) {}
    [[noreturn]] static void Error(const char* Format, std::int64_t Value);

private:
    void CheckIndex(int Index) const;
    std::vector<void*> FList;
};

class TThreadList {
public:
    TThreadList() = default;
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;

    // Adds Item unless it is already there and Duplicates is dupIgnore;
    // dupError raises EListError "List does not allow duplicates ($0<hex>)".
    void Add(void* Item);
    void Remove(void* Item);
    void Clear();

    // Locks the list and gives access to it until UnlockList.
    TList* LockList();
    void UnlockList();

    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

private:
    std::mutex FLock;
    TList FList;
    TDuplicates FDuplicates = dupIgnore;
};
