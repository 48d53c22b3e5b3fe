#include "platform/classes/ClassRegistry.h"

#include "platform/base/Exception.h"
#include "platform/base/Text.h"

#include <memory>
#include <mutex>

namespace {

struct TClassRegistry {
    std::mutex Lock;
    std::vector<std::unique_ptr<TPersistentClass>> Classes;
    // Unregistered entries stay alive: callers may still hold pointers to them.
    std::vector<std::unique_ptr<TPersistentClass>> Retired;

    const TPersistentClass* Lookup(std::string_view Name) const {
        for (const auto& C : Classes)
            if (C->Name == Name) return C.get();
        for (const auto& C : Classes)
            if (SameText(C->Name, Name)) return C.get();
        return nullptr;
    }
};

// Never destroyed, so that a class can be looked up from any destructor.
TClassRegistry& Registry() {
    static TClassRegistry* R = new TClassRegistry;
    return *R;
}

} // namespace

void RegisterClass(const std::string& Name, TPersistentFactory Factory) {
    TClassRegistry& R = Registry();
    std::lock_guard Guard(R.Lock);
    if (R.Lookup(Name) != nullptr) return;
    R.Classes.push_back(
        std::make_unique<TPersistentClass>(TPersistentClass{Name, std::move(Factory)}));
}

const TPersistentClass* GetClass(std::string_view Name) {
    TClassRegistry& R = Registry();
    std::lock_guard Guard(R.Lock);
    return R.Lookup(Name);
}

const TPersistentClass& FindClass(std::string_view Name) {
    if (const TPersistentClass* C = GetClass(Name)) return *C;
    throw EClassNotFound("Class " + std::string(Name) + " not found");
}

void UnRegisterClass(std::string_view Name) {
    TClassRegistry& R = Registry();
    std::lock_guard Guard(R.Lock);
    const TPersistentClass* C = R.Lookup(Name);
    if (C == nullptr) return;
    for (auto It = R.Classes.begin(); It != R.Classes.end(); ++It)
        if (It->get() == C) {
            R.Retired.push_back(std::move(*It));
            R.Classes.erase(It);
            break;
        }
}

std::vector<std::string> RegisteredClassNames() {
    TClassRegistry& R = Registry();
    std::lock_guard Guard(R.Lock);
    std::vector<std::string> Names;
    for (const auto& C : R.Classes)
        Names.push_back(C->Name);
    return Names;
}
