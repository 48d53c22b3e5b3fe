#include "syscomp/AutorunEntry.h"

#include "platform/base/FileNames.h"

namespace {

bool IsServiceKind(TSysAutoExecKind Kind) {
    return Kind == aekServiceRun || Kind == aekServiceRunOnce;
}

} // namespace

HKEY SysAutoRunRoot(TSysAutoExecKind Kind) {
    return Kind == aekUserRun || Kind == aekUserRunOnce ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::string SysAutoRunKey(TSysAutoExecKind Kind) {
    static const char* Names[] = {"Run",     "RunOnce",     "Run",
                                  "RunOnce", "RunServices", "RunServicesOnce"};
    return std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + Names[Kind];
}

std::string SysAutoRunValueName(const std::string& FileName) {
    std::size_t p = FileName.find_last_of("\\:/");
    return p == std::string::npos ? FileName : FileName.substr(p + 1);
}

TSysAutoRun::TSysAutoRun(TComponent* AOwner) : TSysComponent(AOwner) {
    // At run time the entry names this program unless told otherwise.
    FFileName = ApplicationExeName();
}

void TSysAutoRun::SetAutoRun(bool Value) {
    if (Value == FAutoRun) return;
    if (!Busy()) Remove();
    FAutoRun = Value;
    if (!Busy()) Apply();
}

void TSysAutoRun::SetFileName(const std::string& Value) {
    if (Value == FFileName) return;
    if (!Busy()) Remove();
    FFileName = Value;
    if (!Busy()) Apply();
}

void TSysAutoRun::SetKind(TSysAutoExecKind Value) {
    if (Value == FKind) return;
    if (!Busy()) Remove();
    FKind = Value;
    if (!Busy()) Apply();
}

void TSysAutoRun::Loaded() {
    TSysComponent::Loaded();
    Apply();
}

void TSysAutoRun::Apply() {
    if (IsDesigning()) return;
    Remove();
    if (FAutoRun) Add();
}

bool TSysAutoRun::Add() {
    if (IsServiceKind(FKind) || FFileName.empty()) return false;
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(SysAutoRunRoot(FKind));
        const std::string key = SysAutoRunKey(FKind);
        if (!reg.OpenKey("\\" + key, true))
            throw ERegistryException("Unable to open the " + key + " key");
        const std::string name = SysAutoRunValueName(FFileName);
        if (FFileName.find('%') != std::string::npos)
            reg.WriteExpandString(name, FFileName);
        else
            reg.WriteString(name, FFileName);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TSysAutoRun::Remove() {
    if (IsDesigning() || IsServiceKind(FKind) || FFileName.empty()) return;
    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(SysAutoRunRoot(FKind));
    if (!reg.OpenKey("\\" + SysAutoRunKey(FKind), false)) return;
    const std::string name = SysAutoRunValueName(FFileName);
    if (reg.ValueExists(name)) reg.DeleteValue(name);
}
