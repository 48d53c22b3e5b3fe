#pragma once
// TObject: the root of the class library's objects. It only carries the
// class name (used by streams, registries and error texts) and a virtual
// destructor; run-time type tests use dynamic_cast.
#include <functional>

class TObject {
public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

// Every class that must report its own name declares it with this macro in
// its public section: QM_CLASSNAME(TFoo).
#define QM_CLASSNAME(Name)                                                                         \
    const char* ClassName() const override {                                                       \
        return #Name;                                                                              \
    }

// The class library's standard event: a handler taking the sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;
