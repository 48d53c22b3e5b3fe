#pragma once
// The registry of persistent classes by name, used by the component stream
// to create the objects it reads. Registration is explicit (there is no
// reflection): a name and a factory.
//
// Names are looked up exactly first, then ignoring ASCII case, because class
// names in streams are compared without regard to case; a name that is
// already registered (under any case) is ignored. Entries are never freed,
// so a pointer returned by GetClass stays valid even after UnRegisterClass.
// Every function is thread-safe.
#include "platform/classes/Component.h"
#include "platform/classes/Persistent.h"

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

using TPersistentFactory = std::function<TPersistent*(TComponent* Owner)>;

struct TPersistentClass {
    std::string Name;
    TPersistentFactory Create;
};

void RegisterClass(const std::string& Name, TPersistentFactory Factory);

// Registers T under Name with a factory calling new T(Owner) for components
// and new T() for other persistent classes.
template <class T> void RegisterClass(const std::string& Name) {
    static_assert(std::is_base_of_v<TPersistent, T>);
    RegisterClass(Name, [](TComponent* Owner) -> TPersistent* {
        if constexpr (std::is_constructible_v<T, TComponent*>)
            return new T(Owner);
        else
            return new T();
    });
}

// nullptr when no class has that name.
const TPersistentClass* GetClass(std::string_view Name);
// Raises EClassNotFound "Class <name> not found" when no class has that name.
const TPersistentClass& FindClass(std::string_view Name);
void UnRegisterClass(std::string_view Name);
// The registered names in registration order.
std::vector<std::string> RegisteredClassNames();
