#pragma once
// TSysAutoRun: the application's entry among the programs started with the
// session, kept as a string value (named after the file's name, holding its
// full name) under the Run keys of the program's registry store. Nothing of
// the real desktop is touched. The service kinds belong to a system family
// this program does not run on: adding them reports false, removing them does
// nothing.
#include "platform/system/Registry.h"
#include "syscomp/SysComponent.h"

#include <string>

enum TSysAutoExecKind {
    aekMachineRun,
    aekMachineRunOnce,
    aekUserRun,
    aekUserRunOnce,
    aekServiceRun,
    aekServiceRunOnce
};

HKEY SysAutoRunRoot(TSysAutoExecKind Kind);
// The key below the root (the common prefix, then "Run", "RunOnce", ...).
std::string SysAutoRunKey(TSysAutoExecKind Kind);
// The file-name part: the text after the last backslash, colon or slash.
std::string SysAutoRunValueName(const std::string& FileName);

class TSysAutoRun : public TSysComponent {
public:
    QM_CLASSNAME(TSysAutoRun)
    explicit TSysAutoRun(TComponent* AOwner);

    bool AutoRun() const { return FAutoRun; }
    void SetAutoRun(bool Value);
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    TSysAutoExecKind Kind() const { return FKind; }
    void SetKind(TSysAutoExecKind Value);

    // Removes the entry, then adds it again when AutoRun (not at design
    // time).
    virtual void Apply();
    virtual void Remove();
    // False when the entry could not be written.
    bool Add();

    void Loaded() override;

private:
    bool Busy() const { return IsLoading() || IsDestroying(); }

    bool FAutoRun = false;
    std::string FFileName;
    TSysAutoExecKind FKind = aekMachineRun;
};
