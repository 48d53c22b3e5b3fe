#pragma once
// TSysOneInstance: keeps a second copy of an application from running.
//
// The guard is an exclusive lock (flock) on a file named after the instance
// name in the settings folder; the lock is held by this process until the
// module ends (DoneSysComponentsNonVisual) or the process exits, and the
// system drops it when the process dies, so a crashed first copy never
// blocks the next one. A lock file that cannot be created leaves the guard
// open: the application runs rather than being refused for an unrelated
// reason.
//
// The holder also listens on a local socket (in the abstract namespace, so
// nothing is left behind) named after the lock file; a second copy asks it
// through the system backend to come to the foreground, and the holder runs
// its activation handler on the main thread.
#include "syscomp/SysComponent.h"

#include <functional>
#include <string>

using TSysShowMessageEvent = std::function<void(TObject* Sender, bool& Terminate)>;

class TSysOneInstance : public TSysComponent {
public:
    QM_CLASSNAME(TSysOneInstance)
    explicit TSysOneInstance(TComponent* AOwner) : TSysComponent(AOwner) {}

    bool ActivatePrevInstance() const { return FActivatePrevInstance; }
    void SetActivatePrevInstance(bool Value) { FActivatePrevInstance = Value; }
    bool ShowMessage() const { return FShowMessage; }
    void SetShowMessage(bool Value) { FShowMessage = Value; }
    bool ExeNameAsIdentifier() const { return FExeNameAsIdentifier; }
    void SetExeNameAsIdentifier(bool Value) { FExeNameAsIdentifier = Value; }
    const std::string& Identifier() const { return FIdentifier; }
    void SetIdentifier(const std::string& Value) { FIdentifier = Value; }
    const std::string& Message() const { return FMessage; }
    void SetMessage(const std::string& Value) { FMessage = Value; }

    // The executable's full name in upper case (ExeNameAsIdentifier) or the
    // application title, then Identifier and ".OneInstance.", with every
    // backslash made a slash.
    std::string InstanceName() const;
    // True when another process holds the guard; otherwise this process
    // takes it. Always true at design time.
    virtual bool IsRunning();
    // When another copy runs: shows the message, activates that copy and
    // ends this application (unless OnShowMessage clears Terminate); returns
    // whether another copy runs.
    virtual bool Guard();

    void Loaded() override;

    TSysShowMessageEvent OnShowMessage;

protected:
    virtual void DoActivatePrevInstance();
    virtual void DoShowMessage(bool& Terminate);

private:
    bool FActivatePrevInstance = true;
    bool FShowMessage = false;
    bool FExeNameAsIdentifier = false;
    std::string FIdentifier;
    std::string FMessage;
};

// The lock file of an instance name.
std::string SysInstanceLockFile(const std::string& InstanceName);
// Whether this process holds the guard of that name.
bool SysInstanceLockHeld(const std::string& InstanceName);
// Releases the guard this process holds, if any.
void SysReleaseInstanceLock();
// Asks the process holding the guard of that name to activate itself;
// false when no holder listens.
bool SysSendActivate(const std::string& InstanceName);
// What the holder runs (on the main thread) when asked to activate; the
// default restores the application and brings it to the front. Null puts the
// default back.
void SetSysInstanceActivateHandler(std::function<void()> Handler);
