#include "raster/RasterContainers.h"

#include "platform/base/Exception.h"
#include "platform/classes/Persistent.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

} // namespace

const TPointerMap::TItem* TPointerMap::Find(void* Key, int& Bucket, int& Index) const {
    Bucket = BucketOf(Key);
    const TBucket& b = FBuckets[Bucket];
    for (int i = 0; i < b.Count; ++i)
        if (b.Items[i].Key == Key) {
            Index = i;
            return &b.Items[i];
        }
    Index = -1;
    return nullptr;
}

void** TPointerMap::Add(void* Key, void* Data, bool& IsNew) {
    int bucket, index;
    if (Find(Key, bucket, index)) {
        IsNew = false;
        return &FBuckets[bucket].Items[index].Data;
    }
    TBucket& b = FBuckets[bucket];
    if (b.Count == b.Capacity) {
        int delta = b.Capacity > 64 ? b.Capacity / 4 : (b.Capacity < 9 ? 4 : 16);
        auto grown = std::make_unique<TItem[]>(std::size_t(b.Capacity + delta));
        for (int i = 0; i < b.Count; ++i)
            grown[i] = b.Items[i];
        b.Items = std::move(grown);
        b.Capacity += delta;
    }
    b.Items[b.Count] = {Key, Data};
    ++b.Count;
    ++FCount;
    IsNew = true;
    return &b.Items[b.Count - 1].Data;
}

void** TPointerMap::Add(void* Key, void* Data) {
    bool isNew;
    return Add(Key, Data, isNew);
}

void** TPointerMap::Add(void* Key, bool& IsNew) {
    return Add(Key, nullptr, IsNew);
}

void* TPointerMap::Remove(void* Key) {
    int bucket, index;
    if (!Find(Key, bucket, index)) return nullptr;
    return Delete(bucket, index);
}

void* TPointerMap::Delete(int Bucket, int Index) {
    if (Bucket < 0 || Bucket >= BucketCount) IndexError(Bucket);
    TBucket& b = FBuckets[Bucket];
    if (Index < 0 || Index >= b.Count) IndexError(Index);
    void* data = b.Items[Index].Data;
    for (int i = Index; i + 1 < b.Count; ++i)
        b.Items[i] = b.Items[i + 1];
    --b.Count;
    --FCount;
    if (b.Count == 0) {
        b.Items.reset();
        b.Capacity = 0;
    }
    return data;
}

void TPointerMap::Clear() {
    for (TBucket& b : FBuckets) {
        b.Items.reset();
        b.Count = 0;
        b.Capacity = 0;
    }
    FCount = 0;
}

bool TPointerMap::Contains(void* Key) const {
    int bucket, index;
    return Find(Key, bucket, index) != nullptr;
}

void* TPointerMap::Data(void* Key) const {
    int bucket, index;
    if (const TItem* found = Find(Key, bucket, index)) return found->Data;
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(Key)));
    throw EListError(std::string("Elément non trouvé ($0") + hex + ")");
}

void TPointerMap::SetData(void* Key, void* Data) {
    *Add(Key, Data) = Data;
}

int TPointerMap::BucketItemCount(int Bucket) const {
    return Bucket >= 0 && Bucket < BucketCount ? FBuckets[Bucket].Count : 0;
}

int TPointerMap::BucketCapacity(int Bucket) const {
    return Bucket >= 0 && Bucket < BucketCount ? FBuckets[Bucket].Capacity : 0;
}

bool TPointerMapIterator::Next() {
    if (FBucket >= TPointerMap::BucketCount) return false;
    if (FBucket >= 0 && FItem > 0) {
        // Items removed behind the iterator's back shorten the bucket.
        FItem = std::min(FItem - 1, FMap.FBuckets[FBucket].Count - 1);
    } else {
        FItem = -1;
    }
    while (FItem < 0) {
        if (++FBucket >= TPointerMap::BucketCount) {
            FKey = FData = nullptr;
            return false;
        }
        FItem = FMap.FBuckets[FBucket].Count - 1;
    }
    const auto& item = FMap.FBuckets[FBucket].Items[FItem];
    FKey = item.Key;
    FData = item.Data;
    return true;
}

void TRectList::Grow() {
    const int capacity = Capacity();
    const int delta = capacity > 128 ? capacity / 4 : (capacity < 9 ? 8 : 32);
    FList.resize(std::size_t(capacity) + delta);
}

int TRectList::Add(const TRect& Rect) {
    if (FCount == Capacity()) Grow();
    FList[FCount] = Rect;
    return FCount++;
}

void TRectList::Delete(int Index) {
    if (Index < 0 || Index >= FCount) return;
    for (int i = Index; i + 1 < FCount; ++i)
        FList[i] = FList[i + 1];
    --FCount;
}

void TRectList::Clear() {
    FList.assign(10, TRect{});
    FCount = 0;
}

TRect* TRectList::Items(int Index) {
    return Index >= 0 && Index < FCount ? &FList[Index] : nullptr;
}

const TRect* TRectList::Items(int Index) const {
    return Index >= 0 && Index < FCount ? &FList[Index] : nullptr;
}

void TRectList::SetCount(int Value) {
    if (Value < 0) Value = 0;
    if (Value > Capacity()) FList.resize(std::size_t(Value));
    for (int i = FCount; i < Value; ++i)
        FList[i] = TRect{};
    FCount = Value;
}

int TClassList::Add(const TClassRef* AClass) {
    return TList::Add(const_cast<TClassRef*>(AClass));
}

const TClassRef* TClassList::Get(int Index) const {
    return static_cast<const TClassRef*>(TList::Get(Index));
}

const TClassRef* TClassList::Find(std::string_view Name) const {
    for (int i = 0; i < Count(); ++i) {
        const TClassRef* c = Get(i);
        if (c && c->ClassName && Name == c->ClassName) return c;
    }
    return nullptr;
}

void CopyProperties(TPersistent* Source, TPersistent* Dest, TPropKinds Kinds) {
    if (!Source || !Dest) return;
    for (const TPropInfoPtr& from : GetPropList(Source)) {
        if (!(Kinds & PropKindBit(from->Kind))) continue;
        const TPropInfoPtr to = FindPropInfo(Dest, from->Name);
        if (!to || to->Kind != from->Kind) continue;
        switch (from->Kind) {
        case pkClass: {
            TPersistent* src = from->GetObject(Source);
            TPersistent* dst = to->GetObject(Dest);
            if (src && dst) dst->Assign(src);
            break;
        }
        case pkCollection:
            to->ClearItems(Dest);
            for (int i = 0, n = from->ItemCount(Source); i < n; ++i)
                if (TPersistent* item = to->AddItem(Dest)) item->Assign(from->Item(Source, i));
            break;
        case pkFloat:
            to->SetFloat(Dest, from->GetFloat(Source));
            break;
        case pkString:
            to->SetStr(Dest, from->GetStr(Source));
            break;
        default:
            to->SetOrd(Dest, from->GetOrd(Source));
            break;
        }
    }
}
