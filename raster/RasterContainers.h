#pragma once
// Small containers of the engine: a pointer-keyed hash map, a growable list
// of rectangles and a list of class references with look-up by name.
#include "platform/base/Types.h"
#include "platform/classes/List.h"
#include "platform/classes/PropertyRegistry.h"

#include <memory>
#include <string_view>
#include <vector>

// Maps key pointers to data pointers in 256 buckets chosen by bits 8..15 of
// the key. Owns neither keys nor data. A slot pointer returned by Add stays
// valid until the next Add or removal.
class TPointerMap {
public:
    static constexpr int BucketCount = 256;

    TPointerMap() = default;
    TPointerMap(const TPointerMap&) = delete;
    TPointerMap& operator=(const TPointerMap&) = delete;

    // The data slot of Key. A new key gets Data appended to its bucket and
    // IsNew true; an existing key keeps its data and IsNew is false.
    void** Add(void* Key, void* Data, bool& IsNew);
    void** Add(void* Key, void* Data);
    void** Add(void* Key, bool& IsNew);
    // Removes Key and returns its data (nullptr when absent).
    void* Remove(void* Key);
    // Removes item Index of Bucket and returns its data; raises EListError
    // "List index out of bounds (<index>)" when there is no such item.
    void* Delete(int Bucket, int Index);
    void Clear();

    bool Contains(void* Key) const;
    // Raises EListError "Elément non trouvé ($0<key in hexadecimal>)" when
    // Key is absent.
    void* Data(void* Key) const;
    // Adds Key or replaces its data.
    void SetData(void* Key, void* Data);
    int Count() const { return FCount; }

    static int BucketOf(const void* Key) {
        return int((reinterpret_cast<std::uintptr_t>(Key) >> 8) & 0xFF);
    }
    int BucketItemCount(int Bucket) const;
    int BucketCapacity(int Bucket) const;

private:
    friend class TPointerMapIterator;
    struct TItem {
        void* Key;
        void* Data;
    };
    struct TBucket {
        std::unique_ptr<TItem[]> Items;
        int Count = 0;
        int Capacity = 0;
    };
    const TItem* Find(void* Key, int& Bucket, int& Index) const;

    TBucket FBuckets[BucketCount];
    int FCount = 0;
};

// Walks a pointer map: buckets 0..255, and within a bucket from the last item
// to the first, so the current item may be deleted between two steps.
class TPointerMapIterator {
public:
    explicit TPointerMapIterator(const TPointerMap& Map) : FMap(Map) {}
    // Moves to the next item; False after the last.
    bool Next();
    void* Key() const { return FKey; }
    void* Data() const { return FData; }
    int Bucket() const { return FBucket; }
    int Item() const { return FItem; }

private:
    const TPointerMap& FMap;
    int FBucket = -1;
    int FItem = -1;
    void* FKey = nullptr;
    void* FData = nullptr;
};

// A growable array of rectangles.
class TRectList {
public:
    TRectList() = default;

    int Add(const TRect& Rect);
    // Moves the later rectangles down; an index out of range does nothing.
    void Delete(int Index);
    void Clear();
    // nullptr when Index is out of range.
    TRect* Items(int Index);
    const TRect* Items(int Index) const;
    int Count() const { return FCount; }
    // Grows with zero rectangles or drops the tail (negative counts as 0).
    void SetCount(int Value);
    int Capacity() const { return int(FList.size()); }

private:
    void Grow();
    std::vector<TRect> FList; // its size is the capacity
    int FCount = 0;
};

// A class reference as the engine's registries hold it: the class's exact
// name. A registry keeps its own descriptor type derived from this one (with
// the factory it needs) and static instances of it; the list owns nothing.
struct TClassRef {
    const char* ClassName;
};

class TClassList : public TList {
public:
    int Add(const TClassRef* AClass);
    const TClassRef* Get(int Index) const;
    // The first class whose name equals Name exactly (case-sensitive), or
    // nullptr.
    const TClassRef* Find(std::string_view Name) const;
    template <class T> const T* FindAs(std::string_view Name) const {
        return static_cast<const T*>(Find(Name));
    }
};

// A set of property kinds, one bit per TPropKind.
using TPropKinds = std::uint32_t;
inline constexpr TPropKinds PropKindBit(TPropKind Kind) {
    return TPropKinds(1) << Kind;
}
inline constexpr TPropKinds AllPropKinds = ~TPropKinds(0);

class TPersistent;
// Copies every published property of Source's class whose kind is in Kinds
// to the property of the same name on Dest (a Dest without it is skipped):
// nested objects through Dest's object's Assign when both objects exist,
// collections item by item, everything else by value. Properties are the
// ones registered for the classes (there is no reflection).
void CopyProperties(TPersistent* Source, TPersistent* Dest, TPropKinds Kinds = AllPropKinds);
