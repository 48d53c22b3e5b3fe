#pragma once
// TSysShutdown: asks OnQueryShutdown, then hands the power action to the
// system backend. The default backend refuses (this program never powers
// the machine off), so Execute then reports false.
#include "syscomp/SysComponent.h"

#include <functional>

enum TSysShutdownActionType {
    aatPowerOff,
    aatShutdown,
    aatReboot,
    aatLogOff,
    aatSuspend,
    aatHibernate
};

using TSysQueryShutdownEvent = std::function<void(TObject* Sender, bool& CanShutdown)>;

class TSysShutdown : public TSysComponent {
public:
    QM_CLASSNAME(TSysShutdown)
    explicit TSysShutdown(TComponent* AOwner) : TSysComponent(AOwner) {}

    TSysShutdownActionType ActionType() const { return FActionType; }
    void SetActionType(TSysShutdownActionType Value) { FActionType = Value; }
    bool Force() const { return FForce; }
    void SetForce(bool Value) { FForce = Value; }

    // OnQueryShutdown's answer (true without a handler).
    virtual bool Query();
    // True when the action was started.
    virtual bool Execute();

    TSysQueryShutdownEvent OnQueryShutdown;

private:
    TSysShutdownActionType FActionType = aatPowerOff;
    bool FForce = false;
};
