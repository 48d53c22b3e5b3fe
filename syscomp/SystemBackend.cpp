#include "syscomp/SystemBackend.h"

#include "platform/forms/Application.h"
#include "syscomp/InstanceGuard.h"

#include <atomic>

namespace {
TSysBackend DefaultBackend;
std::atomic<TSysBackend*> Installed{nullptr};
} // namespace

bool TSysBackend::ExitSystem(TSysPowerAction, bool) {
    // Powering the machine off from a banner editor is never sound here.
    return false;
}

bool TSysBackend::ExtractIcons(const std::string&, int, TIcon*, TIcon*) {
    return false;
}

bool TSysBackend::ActivatePrevInstance(const std::string& InstanceName) {
    // The first copy raises its own window when asked: another process's
    // window cannot be raised from here.
    return SysSendActivate(InstanceName);
}

void TSysBackend::TerminateApplication() {
    if (Application) Application->Terminate();
}

bool TSysBackend::ShowMainForm() {
    return Application ? Application->ShowMainForm() : true;
}

void TSysBackend::SetShowMainForm(bool Value) {
    if (Application) Application->SetShowMainForm(Value);
}

TSysBackend* SysBackend() {
    TSysBackend* b = Installed.load();
    return b ? b : &DefaultBackend;
}

void SetSysBackend(TSysBackend* Backend) {
    Installed.store(Backend);
}

TSysBackendScope::TSysBackendScope(TSysBackend* Backend) : FPrevious(Installed.load()) {
    SetSysBackend(Backend);
}

TSysBackendScope::~TSysBackendScope() {
    SetSysBackend(FPrevious);
}
