#pragma once
// The system actions behind the components that could harm or change the
// user's desktop: shutting the machine down, telling the desktop that file
// associations changed, extracting icons, activating another instance and
// ending the application.
//
// The default backend is safe: it refuses what it cannot do soundly on this
// system and says so through its results (shutdown returns false, there is
// no icon to extract). Tests install a recording backend with
// SetSysBackend or TSysBackendScope.
#include "platform/base/Object.h"

#include <string>

class TIcon;

enum TSysPowerAction { spaPowerOff, spaShutdown, spaReboot, spaLogOff, spaSuspend, spaHibernate };

class TSysBackend {
public:
    virtual ~TSysBackend() = default;
    // Returns whether the action was started.
    virtual bool ExitSystem(TSysPowerAction Action, bool Force);
    // The desktop is told that file associations changed.
    virtual void AssociationsChanged() {}
    // Fills the icons from the Index-th icon of FileName (an empty name: the
    // system's stock icons, 0 a document, 2 a program); false when none.
    virtual bool ExtractIcons(const std::string& FileName, int Index, TIcon* Large, TIcon* Small);
    // Asks the instance that holds the guard InstanceName to come to the
    // foreground (through its local socket); false when it cannot be reached.
    virtual bool ActivatePrevInstance(const std::string& InstanceName);
    // Ends the application's message loop (the application object's
    // Terminate when there is one).
    virtual void TerminateApplication();
    // The show-main-form flag of the application object (true without one).
    virtual bool ShowMainForm();
    virtual void SetShowMainForm(bool Value);
};

// The installed backend (the safe default unless another was installed).
TSysBackend* SysBackend();
// Installs a backend the caller keeps alive; null puts the default back.
void SetSysBackend(TSysBackend* Backend);

class TSysBackendScope {
public:
    explicit TSysBackendScope(TSysBackend* Backend);
    ~TSysBackendScope();
    TSysBackendScope(const TSysBackendScope&) = delete;
    TSysBackendScope& operator=(const TSysBackendScope&) = delete;

private:
    TSysBackend* FPrevious;
};
