#include "raster/RasterContainers.h"

#include "platform/base/Exception.h"
#include "platform/classes/Persistent.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace {
void* P(std::uintptr_t V) {
    return reinterpret_cast<void*>(V);
}
TRect MakeRectForTest(int I) {
    return {I, -I, I + 3, I * 2};
}
} // namespace

TEST(PointerMap, BucketsByBits8To15) {
    TPointerMap map;
    map.Add(P(0x1200), P(1));
    map.Add(P(0x1234), P(2));
    EXPECT_EQ(TPointerMap::BucketOf(P(0x1234)), 0x12);
    EXPECT_EQ(map.BucketItemCount(0x12), 2);
    EXPECT_EQ(map.Count(), 2);
    EXPECT_EQ(map.Data(P(0x1200)), P(1));
    EXPECT_EQ(map.Data(P(0x1234)), P(2));
}

TEST(PointerMap, AddKeepsExistingDataAndReturnsItsSlot) {
    TPointerMap map;
    bool isNew = false;
    void** slot = map.Add(P(0x500), P(7), isNew);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(*slot, P(7));
    slot = map.Add(P(0x500), P(8), isNew);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(*slot, P(7));
    *slot = P(9);
    EXPECT_EQ(map.Data(P(0x500)), P(9));
    map.SetData(P(0x500), P(10));
    EXPECT_EQ(map.Data(P(0x500)), P(10));
    EXPECT_EQ(map.Count(), 1);
}

TEST(PointerMap, MissingKeyRaisesWithTheKeyInHex) {
    TPointerMap map;
    try {
        map.Data(P(0x1234ABC));
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "Elément non trouvé ($01234ABC)");
    }
    EXPECT_EQ(map.Remove(P(0x99)), nullptr);
    EXPECT_THROW(map.Delete(3, 0), EListError);
    EXPECT_THROW(map.Delete(256, 0), EListError);
}

TEST(PointerMap, BucketGrowthSteps) {
    TPointerMap map;
    std::vector<int> capacities;
    for (int i = 0; i < 100; ++i) {
        map.Add(P(0x4200 + std::uintptr_t(i) * 0x10000), nullptr);
        const int c = map.BucketCapacity(0x42);
        if (capacities.empty() || capacities.back() != c) capacities.push_back(c);
    }
    // +4 below 9, +16 up to 64, then a quarter.
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

TEST(PointerMap, DeleteShiftsAndFreesEmptyBuckets) {
    TPointerMap map;
    for (int i = 0; i < 5; ++i)
        map.Add(P(0x300 + std::uintptr_t(i) * 0x10000), P(i + 1));
    EXPECT_EQ(map.Delete(3, 1), P(2));
    EXPECT_EQ(map.BucketItemCount(3), 4);
    EXPECT_EQ(map.Data(P(0x20300)), P(3));
    EXPECT_EQ(map.Remove(P(0x300)), P(1));
    EXPECT_EQ(map.Count(), 3);
    while (map.BucketItemCount(3) > 0)
        map.Delete(3, 0);
    EXPECT_EQ(map.BucketCapacity(3), 0);
    EXPECT_EQ(map.Count(), 0);
}

TEST(PointerMapIterator, WalksBucketsUpAndItemsDown) {
    TPointerMap map;
    map.Add(P(0x0201), P(1));
    map.Add(P(0x0105), P(2));
    map.Add(P(0x0202), P(3));
    map.Add(P(0x0203), P(4));
    TPointerMapIterator it(map);
    std::vector<void*> keys;
    while (it.Next())
        keys.push_back(it.Key());
    EXPECT_EQ(keys, (std::vector<void*>{P(0x0105), P(0x0203), P(0x0202), P(0x0201)}));
    EXPECT_FALSE(it.Next());
    TPointerMap empty;
    TPointerMapIterator none(empty);
    EXPECT_FALSE(none.Next());
}

TEST(PointerMapIterator, CurrentItemMayBeDeleted) {
    TPointerMap map;
    for (std::uintptr_t i = 0; i < 50; ++i)
        map.Add(P(i * 0x90), P(i));
    TPointerMapIterator it(map);
    std::set<void*> seen;
    while (it.Next()) {
        seen.insert(it.Key());
        if (reinterpret_cast<std::uintptr_t>(it.Data()) % 2 == 0)
            map.Delete(it.Bucket(), it.Item());
    }
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_EQ(map.Count(), 25);
}

TEST(RectList, GrowthAddDeleteAndCount) {
    TRectList list;
    std::vector<int> capacities;
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(list.Add(MakeRectForTest(i)), i);
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    // +8 below 9, +32 up to 128, then a quarter.
    EXPECT_EQ(capacities, (std::vector<int>{8, 16, 48, 80, 112, 144, 180}));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 149);
    EXPECT_EQ(*list.Items(0), MakeRectForTest(1));
    EXPECT_EQ(*list.Items(148), MakeRectForTest(149));
    EXPECT_EQ(list.Items(149), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
    list.Delete(500); // out of range: nothing
    EXPECT_EQ(list.Count(), 149);
    list.SetCount(2);
    list.SetCount(4);
    EXPECT_EQ(*list.Items(1), MakeRectForTest(2));
    EXPECT_EQ(*list.Items(3), TRect{});
    list.SetCount(300);
    EXPECT_EQ(*list.Items(299), TRect{});
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 10);
}

TEST(ClassList, FindIsExactAndCaseSensitive) {
    static const TClassRef Nearest{"TNearestResampler"};
    static const TClassRef Linear{"TLinearResampler"};
    static const TClassRef LinearAgain{"TLinearResampler"};
    TClassList list;
    EXPECT_EQ(list.Add(&Nearest), 0);
    list.Add(&Linear);
    list.Add(&LinearAgain);
    EXPECT_EQ(list.Find("TLinearResampler"), &Linear); // the first match wins
    EXPECT_EQ(list.Find("TLinearresampler"), nullptr);
    EXPECT_EQ(list.Find("TLinear"), nullptr);
    EXPECT_EQ(list.FindAs<TClassRef>("TNearestResampler"), &Nearest);
    EXPECT_EQ(list.Get(1), &Linear);
    EXPECT_EQ(list.Count(), 3);
}

namespace {

// A nested object and an owner with one property of each kind.
class TInner : public TPersistent {
public:
    QM_CLASSNAME(TInner)
    int Value = 0;
    void Assign(const TPersistent* Source) override {
        if (auto* s = dynamic_cast<const TInner*>(Source)) {
            Value = s->Value;
            return;
        }
        TPersistent::Assign(Source);
    }
};

class TOuter : public TPersistent {
public:
    QM_CLASSNAME(TOuter)
    int Size = 0;
    double Scale = 0;
    std::string Caption;
    TInner Inner;
    TInner* InnerPtr() { return &Inner; }
};

void RegisterTestClasses() {
    TPublishedProperties<TInner>("TInner", "")
        .Integer("Value", &TInner::Value, &TInner::Value)
        .Register();
    TPublishedProperties<TOuter>("TOuter", "")
        .Integer("Size", &TOuter::Size, &TOuter::Size)
        .Float("Scale", &TOuter::Scale, &TOuter::Scale)
        .String("Caption", &TOuter::Caption, &TOuter::Caption)
        .Class("Inner", &TOuter::InnerPtr)
        .Register();
}

} // namespace

TEST(CopyProperties, CopiesTheRequestedKinds) {
    RegisterTestClasses();
    TOuter a, b;
    a.Size = 7;
    a.Scale = 1.5;
    a.Caption = "été";
    a.Inner.Value = 42;
    CopyProperties(&a, &b, PropKindBit(pkInteger) | PropKindBit(pkString));
    EXPECT_EQ(b.Size, 7);
    EXPECT_EQ(b.Caption, "été");
    EXPECT_EQ(b.Scale, 0.0);
    EXPECT_EQ(b.Inner.Value, 0);
    CopyProperties(&a, &b);
    EXPECT_EQ(b.Scale, 1.5);
    EXPECT_EQ(b.Inner.Value, 42); // through the nested object's Assign
    // A destination without the properties is left alone.
    TInner other;
    other.Value = 3;
    CopyProperties(&a, &other);
    EXPECT_EQ(other.Value, 3);
}
