#include "platform/base/Exception.h"
#include "platform/classes/List.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

void* P(std::intptr_t V) {
    return reinterpret_cast<void*>(V);
}

std::vector<std::intptr_t> Items(TList& L) {
    std::vector<std::intptr_t> R;
    for (int I = 0; I < L.Count(); ++I)
        R.push_back(reinterpret_cast<std::intptr_t>(L.Get(I)));
    return R;
}

using V = std::vector<std::intptr_t>;

TEST(List, EditingOperations) {
    TList L;
    EXPECT_EQ(L.Add(P(1)), 0);
    L.Add(P(2));
    L.Add(P(3));
    L.Insert(0, P(9));
    L.Insert(4, P(8));
    EXPECT_EQ(Items(L), (V{9, 1, 2, 3, 8}));
    L.Move(0, 4);
    EXPECT_EQ(Items(L), (V{1, 2, 3, 8, 9}));
    L.Exchange(0, 4);
    EXPECT_EQ(L.First(), P(9));
    EXPECT_EQ(L.Last(), P(1));
    EXPECT_EQ(L.Remove(P(3)), 2);
    EXPECT_EQ(L.Remove(P(3)), -1);
    EXPECT_EQ(L.Extract(P(8)), P(8));
    EXPECT_EQ(L.Extract(P(8)), nullptr);
    L.Put(1, nullptr);
    L.SetCount(5);
    EXPECT_EQ(Items(L), (V{9, 0, 1, 0, 0}));
    L.Pack();
    EXPECT_EQ(Items(L), (V{9, 1}));
    L.SetCount(1);
    EXPECT_EQ(Items(L), V{9});
    L.SetCapacity(100);
    EXPECT_GE(L.Capacity(), 100);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}

TEST(List, BoundsErrors) {
    TList L;
    L.Add(P(1));
    auto Message = [](auto&& F) {
        try {
            F();
        } catch (const EListError& E) {
            return E.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(Message([&] { L.Get(1); }), "List index out of bounds (1)");
    EXPECT_EQ(Message([&] { L.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(Message([&] { L.Insert(2, nullptr); }), "List index out of bounds (2)");
    EXPECT_EQ(Message([&] { L.SetCount(-3); }), "List count out of bounds (-3)");
    EXPECT_EQ(Message([&] { L.SetCapacity(0); }), "List capacity out of bounds (0)");
    L.Clear();
    EXPECT_EQ(Message([&] { L.Last(); }), "List index out of bounds (-1)");
}

TEST(List, SortIsStable) {
    TList L;
    for (std::intptr_t V : {31, 12, 22, 11, 32, 21})
        L.Add(P(V));
    // Compare by tens only: equal keys keep their order.
    L.Sort([](void* A, void* B) {
        return int(reinterpret_cast<std::intptr_t>(A) / 10 -
                   reinterpret_cast<std::intptr_t>(B) / 10);
    });
    EXPECT_EQ(Items(L), (V{12, 11, 22, 21, 31, 32}));
}

TEST(ThreadList, DuplicatesAndConcurrentAdds) {
    TThreadList T;
    T.Add(P(1));
    T.Add(P(1));
    TList* L = T.LockList();
    EXPECT_EQ(L->Count(), 1);
    T.UnlockList();
    T.SetDuplicates(dupError);
    EXPECT_THROW(T.Add(P(1)), EListError);
    T.SetDuplicates(dupAccept);
    T.Add(P(1));
    T.Remove(P(1));
    EXPECT_EQ(T.LockList()->Count(), 1);
    T.UnlockList();
    T.Clear();

    std::vector<std::thread> Threads;
    for (int N = 0; N < 4; ++N)
        Threads.emplace_back([&T, N] {
            for (int I = 1; I <= 1000; ++I)
                T.Add(P(N * 10000 + I));
        });
    for (auto& Th : Threads)
        Th.join();
    EXPECT_EQ(T.LockList()->Count(), 4000);
    T.UnlockList();
}

} // namespace
