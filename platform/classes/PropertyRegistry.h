#pragma once
// Published properties, declared explicitly per class (there is no
// reflection). A class registers, in order, the properties it adds to its
// parent's; the component stream writes and reads them by name, inherited
// ones first. Lookups go by the instance's ClassName(), so every streamed
// class registers a list (possibly empty) under its own name.
//
//   TPublishedProperties<TFoo>("TFoo", "TPersistent")
//       .Integer("Tag", &TFoo::Tag, &TFoo::SetTag).Default(0)
//       .Enumeration("Align", &TFoo::Align, &TFoo::SetAlign, {"alNone", "alTop"})
//       .Class("Font", &TFoo::Font)
//       .Register();
//
// Getters and setters are anything std::invoke accepts on a T& (member
// functions, lambdas) and, for setters, also a data member pointer.
// TComponent's own "Name" (never stored: the stream header carries it) and
// "Tag" (default 0) are registered here from the start.
#include "platform/base/Exception.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

class TComponent;
class TPersistent;

enum TPropKind {
    pkInteger,     // written with the smallest integer tag (int64 when it needs it)
    pkBoolean,     // False / True
    pkEnumeration, // identifier from Idents
    pkSet,         // bit i of the value = element Idents[i]
    pkColor,       // colour identifier when it has one, else integer
    pkString,      // text tag chosen by content
    pkFloat,       // extended
    pkClass,       // nested persistent, its properties written under "Name."
    pkCollection,  // items of persistents
    pkComponent,   // another component, written as its name and found again after reading
};

struct TPropInfo {
    std::string Name;
    TPropKind Kind = pkInteger;
    std::vector<std::string> Idents;

    // Ordinal kinds (integer, boolean, enumeration, set, colour).
    std::function<std::int64_t(TPersistent*)> GetOrd;
    std::function<void(TPersistent*, std::int64_t)> SetOrd;
    std::function<double(TPersistent*)> GetFloat;
    std::function<void(TPersistent*, double)> SetFloat;
    std::function<std::string(TPersistent*)> GetStr;
    std::function<void(TPersistent*, const std::string&)> SetStr;
    std::function<TPersistent*(TPersistent*)> GetObject;
    // Collections: the items are replaced as a whole on reading.
    std::function<int(TPersistent*)> ItemCount;
    std::function<TPersistent*(TPersistent*, int)> Item;
    std::function<void(TPersistent*)> ClearItems;
    std::function<TPersistent*(TPersistent*)> AddItem;
    // Component references; the setter ignores a component of another class.
    std::function<TComponent*(TPersistent*)> GetComponent;
    std::function<void(TPersistent*, TComponent*)> SetComponent;

    // No default means "always written". Floats default to 0 and strings to
    // the empty text, as the class library does.
    std::optional<std::int64_t> OrdDefault;
    std::optional<double> FloatDefault;
    std::optional<std::string> StrDefault;
    std::function<bool(TPersistent*)> Stored;

    // The stored rule and the comparison with the default.
    bool IsStored(TPersistent* Instance) const;
};

using TPropInfoPtr = std::shared_ptr<const TPropInfo>;

// Replaces any earlier list of the same class. ParentClassName may be empty
// for a class with no streamed ancestor.
void RegisterClassProperties(const std::string& ClassName, const std::string& ParentClassName,
                             std::vector<TPropInfo> Properties);
bool ClassPropertiesRegistered(std::string_view ClassName);
// Inherited properties first; a parent that is not registered ends the chain.
std::vector<TPropInfoPtr> GetPropList(std::string_view ClassName);
std::vector<TPropInfoPtr> GetPropList(TPersistent* Instance);
// Case-insensitive, as property names are matched on reading; null when absent.
TPropInfoPtr FindPropInfo(TPersistent* Instance, std::string_view Name);

// Colour identifiers ("clBtnFace"...) live in the graphics area; it plugs its
// table in here at start-up. Without it colours are streamed as integers.
using TIdentToColorFunc = bool (*)(const std::string& Ident, std::int32_t& Color);
using TColorToIdentFunc = bool (*)(std::int32_t Color, std::string& Ident);
void RegisterColorIdentFunctions(TIdentToColorFunc IdentToColor, TColorToIdentFunc ColorToIdent);
bool StreamIdentToColor(const std::string& Ident, std::int32_t& Color);
bool StreamColorToIdent(std::int32_t Color, std::string& Ident);

namespace PropertyDetail {

[[noreturn]] void RaiseBadInstance(const std::string& ClassName);

template <class T> T& As(TPersistent* p, const std::string& ClassName) {
    T* t = dynamic_cast<T*>(p);
    if (!t) RaiseBadInstance(ClassName);
    return *t;
}

// The parameter type of a one-argument setter (member function or lambda).
template <class S> struct SetterArg : SetterArg<decltype(&S::operator())> {};
template <class R, class C, class A> struct SetterArg<R (C::*)(A)> {
    using type = std::remove_cvref_t<A>;
};
template <class R, class C, class A> struct SetterArg<R (C::*)(A) const> {
    using type = std::remove_cvref_t<A>;
};
template <class R, class C, class A> struct SetterArg<R (C::*)(A) noexcept> {
    using type = std::remove_cvref_t<A>;
};
template <class R, class C, class O, class A> struct SetterArg<R (C::*)(O, A) const> {
    using type = std::remove_cvref_t<A>;
};
template <class R, class C, class O, class A> struct SetterArg<R (C::*)(O, A)> {
    using type = std::remove_cvref_t<A>;
};

template <class R, class T, class G> R Get(G& Getter, T& Object) {
    return static_cast<R>(std::invoke(Getter, Object));
}

template <class V, class T, class S> void Set(S& Setter, T& Object, V Value) {
    if constexpr (std::is_member_object_pointer_v<S>) {
        using Field = std::remove_cvref_t<decltype(Object.*Setter)>;
        Object.*Setter = static_cast<Field>(Value);
    } else if constexpr (std::is_invocable_v<S&, T&, V>) {
        std::invoke(Setter, Object, Value);
    } else {
        // Setters taking an enumeration type: convert from the stored ordinal.
        using Arg = typename SetterArg<S>::type;
        std::invoke(Setter, Object, static_cast<Arg>(Value));
    }
}

template <class P> TPersistent* ToPointer(P&& p) {
    if constexpr (std::is_pointer_v<std::remove_cvref_t<P>>)
        return p;
    else
        return p.get();
}

} // namespace PropertyDetail

template <class T> class TPublishedProperties {
public:
    TPublishedProperties(std::string ClassName, std::string ParentClassName)
        : FClassName(std::move(ClassName)), FParentName(std::move(ParentClassName)) {}

    template <class G, class S> TPublishedProperties& Integer(std::string Name, G Get, S Set) {
        return Ordinal<std::int64_t>(std::move(Name), pkInteger, {}, Get, Set);
    }
    template <class G, class S> TPublishedProperties& Boolean(std::string Name, G Get, S Set) {
        return Ordinal<bool>(std::move(Name), pkBoolean, {}, Get, Set);
    }
    // Get may return the enumeration type itself; Set receives it back.
    template <class G, class S>
    TPublishedProperties& Enumeration(std::string Name, G Get, S Set,
                                      std::vector<std::string> Idents) {
        return Ordinal<std::int64_t>(std::move(Name), pkEnumeration, std::move(Idents), Get, Set);
    }
    template <class G, class S>
    TPublishedProperties& Set(std::string Name, G Get, S Set, std::vector<std::string> Idents) {
        return Ordinal<std::uint32_t>(std::move(Name), pkSet, std::move(Idents), Get, Set);
    }
    template <class G, class S> TPublishedProperties& Color(std::string Name, G Get, S Set) {
        return Ordinal<std::int32_t>(std::move(Name), pkColor, {}, Get, Set);
    }
    template <class G, class S> TPublishedProperties& String(std::string Name, G Get, S Set) {
        TPropInfo& p = Add(std::move(Name), pkString);
        const std::string cls = FClassName;
        p.GetStr = [Get, cls](TPersistent* o) mutable {
            return std::string(std::invoke(Get, PropertyDetail::As<T>(o, cls)));
        };
        p.SetStr = [Set, cls](TPersistent* o, const std::string& v) mutable {
            PropertyDetail::Set<const std::string&>(Set, PropertyDetail::As<T>(o, cls), v);
        };
        p.StrDefault = std::string();
        return *this;
    }
    template <class G, class S> TPublishedProperties& Float(std::string Name, G Get, S Set) {
        TPropInfo& p = Add(std::move(Name), pkFloat);
        const std::string cls = FClassName;
        p.GetFloat = [Get, cls](TPersistent* o) mutable {
            return PropertyDetail::Get<double>(Get, PropertyDetail::As<T>(o, cls));
        };
        p.SetFloat = [Set, cls](TPersistent* o, double v) mutable {
            PropertyDetail::Set<double>(Set, PropertyDetail::As<T>(o, cls), v);
        };
        p.FloatDefault = 0.0;
        return *this;
    }
    // Get returns the nested object (raw or smart pointer); it is never replaced.
    template <class G> TPublishedProperties& Class(std::string Name, G Get) {
        TPropInfo& p = Add(std::move(Name), pkClass);
        const std::string cls = FClassName;
        p.GetObject = [Get, cls](TPersistent* o) mutable -> TPersistent* {
            return PropertyDetail::ToPointer(std::invoke(Get, PropertyDetail::As<T>(o, cls)));
        };
        return *this;
    }
    template <class C, class I, class Clr, class A>
    TPublishedProperties& Collection(std::string Name, C Count, I Item, Clr Clear, A AddItem) {
        TPropInfo& p = Add(std::move(Name), pkCollection);
        const std::string cls = FClassName;
        p.ItemCount = [Count, cls](TPersistent* o) mutable {
            return static_cast<int>(std::invoke(Count, PropertyDetail::As<T>(o, cls)));
        };
        p.Item = [Item, cls](TPersistent* o, int i) mutable -> TPersistent* {
            return PropertyDetail::ToPointer(std::invoke(Item, PropertyDetail::As<T>(o, cls), i));
        };
        p.ClearItems = [Clear, cls](TPersistent* o) mutable {
            std::invoke(Clear, PropertyDetail::As<T>(o, cls));
        };
        p.AddItem = [AddItem, cls](TPersistent* o) mutable -> TPersistent* {
            return PropertyDetail::ToPointer(std::invoke(AddItem, PropertyDetail::As<T>(o, cls)));
        };
        return *this;
    }

    // A reference to another component (TPopupMenu*, TCustomImageList*...):
    // written as the component's name when set, never when empty; the
    // reader resolves the name once the whole stream is read.
    template <class G, class S> TPublishedProperties& Component(std::string Name, G Get, S Set) {
        TPropInfo& p = Add(std::move(Name), pkComponent);
        const std::string cls = FClassName;
        p.GetComponent = [Get, cls](TPersistent* o) mutable -> TComponent* {
            return std::invoke(Get, PropertyDetail::As<T>(o, cls));
        };
        p.SetComponent = [Set, cls](TPersistent* o, TComponent* c) mutable {
            using Arg = typename PropertyDetail::SetterArg<S>::type;
            Arg typed = c ? dynamic_cast<Arg>(c) : nullptr;
            if (c && !typed) return;
            std::invoke(Set, PropertyDetail::As<T>(o, cls), typed);
        };
        return *this;
    }

    // Modifiers of the property added last.
    template <class V> TPublishedProperties& Default(V Value) {
        TPropInfo& p = Last();
        if constexpr (std::is_convertible_v<V, std::string> && !std::is_arithmetic_v<V>) {
            p.StrDefault = std::string(Value);
        } else if constexpr (std::is_enum_v<V>) {
            p.OrdDefault = static_cast<std::int64_t>(Value);
        } else {
            if (p.Kind == pkFloat)
                p.FloatDefault = static_cast<double>(Value);
            else
                p.OrdDefault = static_cast<std::int64_t>(Value);
        }
        return *this;
    }
    TPublishedProperties& NoDefault() {
        TPropInfo& p = Last();
        p.OrdDefault.reset();
        p.FloatDefault.reset();
        p.StrDefault.reset();
        return *this;
    }
    template <class F> TPublishedProperties& Stored(F Rule) {
        const std::string cls = FClassName;
        Last().Stored = [Rule, cls](TPersistent* o) mutable {
            return static_cast<bool>(std::invoke(Rule, PropertyDetail::As<T>(o, cls)));
        };
        return *this;
    }
    TPublishedProperties& Stored(bool Always) {
        Last().Stored = [Always](TPersistent*) { return Always; };
        return *this;
    }

    void Register() { RegisterClassProperties(FClassName, FParentName, std::move(FProps)); }

private:
    TPropInfo& Add(std::string Name, TPropKind Kind) {
        FProps.emplace_back();
        FProps.back().Name = std::move(Name);
        FProps.back().Kind = Kind;
        return FProps.back();
    }
    TPropInfo& Last() {
        if (FProps.empty()) throw EInvalidOperation("No property to modify");
        return FProps.back();
    }
    template <class V, class G, class S>
    TPublishedProperties& Ordinal(std::string Name, TPropKind Kind, std::vector<std::string> Idents,
                                  G Get, S Set) {
        TPropInfo& p = Add(std::move(Name), Kind);
        p.Idents = std::move(Idents);
        const std::string cls = FClassName;
        p.GetOrd = [Get, cls](TPersistent* o) mutable {
            return static_cast<std::int64_t>(
                PropertyDetail::Get<V>(Get, PropertyDetail::As<T>(o, cls)));
        };
        p.SetOrd = [Set, cls](TPersistent* o, std::int64_t v) mutable {
            PropertyDetail::Set<V>(Set, PropertyDetail::As<T>(o, cls), static_cast<V>(v));
        };
        return *this;
    }

    std::string FClassName;
    std::string FParentName;
    std::vector<TPropInfo> FProps;
};
