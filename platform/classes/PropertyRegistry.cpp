#include "platform/classes/PropertyRegistry.h"

#include "platform/base/Text.h"
#include "platform/classes/Component.h"
#include "platform/classes/Persistent.h"

#include <map>
#include <mutex>

namespace {

struct TClassEntry {
    std::string ParentName;
    std::vector<TPropInfoPtr> Props;
};

// Keys are upper-cased: class names match without regard to case.
struct TRegistry {
    std::mutex Lock;
    std::map<std::string, TClassEntry, std::less<>> Classes;
};

// TComponent's own published properties: "Name" (never stored, the header
// carries it) and "Tag" (default 0).
TClassEntry ComponentEntry() {
    TPropInfo name;
    name.Name = "Name";
    name.Kind = pkString;
    name.GetStr = [](TPersistent* o) { return dynamic_cast<TComponent&>(*o).Name(); };
    name.SetStr = [](TPersistent* o, const std::string& v) {
        dynamic_cast<TComponent&>(*o).SetName(v);
    };
    name.Stored = [](TPersistent*) { return false; };
    TPropInfo tag;
    tag.Name = "Tag";
    tag.Kind = pkInteger;
    tag.GetOrd = [](TPersistent* o) {
        return static_cast<std::int64_t>(dynamic_cast<TComponent&>(*o).Tag());
    };
    tag.SetOrd = [](TPersistent* o, std::int64_t v) {
        dynamic_cast<TComponent&>(*o).SetTag(static_cast<std::intptr_t>(v));
    };
    tag.OrdDefault = 0;
    TClassEntry entry;
    entry.Props.push_back(std::make_shared<const TPropInfo>(std::move(name)));
    entry.Props.push_back(std::make_shared<const TPropInfo>(std::move(tag)));
    return entry;
}

// Never destroyed: lookups may still run while other statics shut down.
TRegistry& Registry() {
    static TRegistry* r = [] {
        auto* reg = new TRegistry;
        reg->Classes["TCOMPONENT"] = ComponentEntry();
        return reg;
    }();
    return *r;
}

TIdentToColorFunc GIdentToColor = nullptr;
TColorToIdentFunc GColorToIdent = nullptr;

// Guards against a parent chain that loops back on itself.
constexpr int MaxClassDepth = 64;

} // namespace

bool TPropInfo::IsStored(TPersistent* Instance) const {
    if (Stored && !Stored(Instance)) return false;
    switch (Kind) {
    case pkInteger:
    case pkBoolean:
    case pkEnumeration:
    case pkSet:
    case pkColor:
        return !OrdDefault || GetOrd(Instance) != *OrdDefault;
    case pkFloat:
        return !FloatDefault || GetFloat(Instance) != *FloatDefault;
    case pkString:
        return !StrDefault || GetStr(Instance) != *StrDefault;
    case pkClass:
        return GetObject(Instance) != nullptr;
    case pkCollection:
        return true;
    case pkComponent:
        return GetComponent(Instance) != nullptr;
    }
    return true;
}

void RegisterClassProperties(const std::string& ClassName, const std::string& ParentClassName,
                             std::vector<TPropInfo> Properties) {
    TClassEntry entry;
    entry.ParentName = ParentClassName;
    entry.Props.reserve(Properties.size());
    for (TPropInfo& p : Properties)
        entry.Props.push_back(std::make_shared<const TPropInfo>(std::move(p)));
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Classes[UpperCase(ClassName)] = std::move(entry);
}

bool ClassPropertiesRegistered(std::string_view ClassName) {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.Classes.count(UpperCase(ClassName)) != 0;
}

std::vector<TPropInfoPtr> GetPropList(std::string_view ClassName) {
    TRegistry& r = Registry();
    std::vector<const TClassEntry*> chain;
    std::lock_guard<std::mutex> guard(r.Lock);
    std::string name = UpperCase(ClassName);
    while (!name.empty() && chain.size() < MaxClassDepth) {
        auto it = r.Classes.find(name);
        if (it == r.Classes.end()) break;
        chain.push_back(&it->second);
        name = UpperCase(it->second.ParentName);
    }
    std::vector<TPropInfoPtr> result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        for (const TPropInfoPtr& p : (*it)->Props) {
            // A class that re-declares an inherited property (a new default)
            // replaces it in place, so it is still written once, in order.
            bool replaced = false;
            for (TPropInfoPtr& q : result)
                if (SameText(q->Name, p->Name)) {
                    q = p;
                    replaced = true;
                    break;
                }
            if (!replaced) result.push_back(p);
        }
    }
    return result;
}

std::vector<TPropInfoPtr> GetPropList(TPersistent* Instance) {
    if (!Instance) return {};
    return GetPropList(Instance->ClassName());
}

TPropInfoPtr FindPropInfo(TPersistent* Instance, std::string_view Name) {
    for (const TPropInfoPtr& p : GetPropList(Instance))
        if (SameText(p->Name, Name)) return p;
    return nullptr;
}

void RegisterColorIdentFunctions(TIdentToColorFunc IdentToColor, TColorToIdentFunc ColorToIdent) {
    GIdentToColor = IdentToColor;
    GColorToIdent = ColorToIdent;
}

bool StreamIdentToColor(const std::string& Ident, std::int32_t& Color) {
    return GIdentToColor && GIdentToColor(Ident, Color);
}

bool StreamColorToIdent(std::int32_t Color, std::string& Ident) {
    return GColorToIdent && GColorToIdent(Color, Ident);
}

void PropertyDetail::RaiseBadInstance(const std::string& ClassName) {
    throw EInvalidCast("Invalid class typecast: property of " + ClassName);
}
