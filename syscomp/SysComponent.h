#pragma once
// TSysComponent: the common base of the non-visual system components, and
// the registration of this library's component classes with the class
// registry so that a component stream can create them.
#include "platform/classes/Component.h"

#include <string>

class TSysComponent : public TComponent {
public:
    QM_CLASSNAME(TSysComponent)
    explicit TSysComponent(TComponent* AOwner) : TComponent(AOwner) {}

protected:
    bool IsDesigning() const { return ComponentState().Contains(csDesigning); }
    bool IsLoading() const {
        return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading);
    }
    bool IsDestroying() const { return ComponentState().Contains(csDestroying); }
};

// Registers the class Name (with its published properties) when it is one of
// this library's component classes; false for any other name. The family's
// start-up registration calls it for each name of its fixed list, so the
// registration order stays the one that list gives.
bool RegisterSysComponentClass(const std::string& Name);
// Registers every class of this library, in the family's order. Classes that
// are registered already are left as they are.
void RegisterSysComponentsNonVisual();
// Module end: releases the one-instance lock when this process holds it.
void DoneSysComponentsNonVisual();

// The application's title (the executable's base name without an application
// object).
std::string SysApplicationTitle();
