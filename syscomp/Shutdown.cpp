#include "syscomp/Shutdown.h"

#include "syscomp/SystemBackend.h"

bool TSysShutdown::Query() {
    bool canShutdown = true;
    if (OnQueryShutdown) OnQueryShutdown(this, canShutdown);
    return canShutdown;
}

bool TSysShutdown::Execute() {
    if (!Query()) return false;
    return SysBackend()->ExitSystem(static_cast<TSysPowerAction>(FActionType), FForce);
}
