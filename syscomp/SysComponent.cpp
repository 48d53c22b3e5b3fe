#include "syscomp/SysComponent.h"

#include "platform/base/FileNames.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/classes/Strings.h"
#include "platform/forms/Application.h"
#include "syscomp/AutorunEntry.h"
#include "syscomp/ChangeMonitors.h"
#include "syscomp/FileAssociation.h"
#include "syscomp/FileOperation.h"
#include "syscomp/FileStorage.h"
#include "syscomp/InstanceGuard.h"
#include "syscomp/Shutdown.h"
#include "syscomp/WorkerThread.h"

#include <initializer_list>

std::string SysApplicationTitle() {
    if (Application) return Application->Title();
    return ChangeFileExt(ExtractFileName(ApplicationExeName()), "");
}

namespace {

std::vector<std::string> PriorityIdents() {
    return {"tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher", "tpHighest", "tpTimeCritical"};
}

void RegisterThreadComponents() {
    TPublishedProperties<TSysCustomThreadComponent>("TSysCustomThreadComponent", "TSysComponent")
        .Register();
    TPublishedProperties<TSysThreadComponent>("TSysThreadComponent", "TSysCustomThreadComponent")
        .Enumeration("Priority", &TSysThreadComponent::Priority, &TSysThreadComponent::SetPriority,
                     PriorityIdents())
        .Default(tpNormal)
        .Integer("ReturnValue", &TSysThreadComponent::ReturnValue,
                 &TSysThreadComponent::SetReturnValue)
        .Default(0)
        .Boolean("Suspended", &TSysThreadComponent::Suspended, &TSysThreadComponent::SetSuspended)
        .Default(true)
        .Boolean("Synchronized", &TSysThreadComponent::Synchronized,
                 &TSysThreadComponent::SetSynchronized)
        .Default(false)
        .Register();
}

void RegisterThreadTimers() {
    TPublishedProperties<TSysCustomThreadTimer>("TSysCustomThreadTimer",
                                                "TSysCustomThreadComponent")
        .Register();
    TPublishedProperties<TSysThreadTimer>("TSysThreadTimer", "TSysCustomThreadTimer")
        .Integer("Interval", &TSysThreadTimer::Interval, &TSysThreadTimer::SetInterval)
        .Default(1000)
        .Enumeration("Priority", &TSysThreadTimer::Priority, &TSysThreadTimer::SetPriority,
                     PriorityIdents())
        .Default(tpNormal)
        .Boolean("Synchronized", &TSysThreadTimer::Synchronized, &TSysThreadTimer::SetSynchronized)
        .Default(false)
        .Boolean("Enabled", &TSysThreadTimer::Enabled, &TSysThreadTimer::SetEnabled)
        .Default(false)
        .Register();
}

void RegisterFileOperation() {
    TPublishedProperties<TSysFileOperation>("TSysFileOperation", "TSysComponent")
        .Class("FileList", &TSysFileOperation::FileList)
        .String("DestFolder", &TSysFileOperation::DestFolder, &TSysFileOperation::SetDestFolder)
        .String("ProgressTitle", &TSysFileOperation::ProgressTitle,
                &TSysFileOperation::SetProgressTitle)
        .Enumeration("Operation", &TSysFileOperation::Operation, &TSysFileOperation::SetOperation,
                     {"fotCopy", "fotDelete", "fotMove", "fotRename"})
        .Default(fotCopy)
        .Set("Options", &TSysFileOperation::Options, &TSysFileOperation::SetOptions,
             {"fofAllowUndo", "fofFilesOnly", "fofNoConfirmation", "fofNoConfirmMkDir",
              "fofNoErrorUI", "fofRenameCollision", "fofSilent", "fofSimpleProgress"})
        .Default(SysFileFlag(fofAllowUndo) | SysFileFlag(fofFilesOnly) |
                 SysFileFlag(fofRenameCollision))
        .Register();
}

void RegisterFileAssociation() {
    using A = TSysFileAssociation;
    TPublishedProperties<A> p("TSysFileAssociation", "TSysComponent");
    p.String("Extension", &A::Extension, &A::SetExtension)
        .String("ExtDescription", &A::ExtDescription, &A::SetExtDescription)
        .String("FileDescription", &A::FileDescription, &A::SetFileDescription)
        .String("IconFile", &A::IconFile, &A::SetIconFile)
        .Integer("IconIndex", &A::IconIndex, &A::SetIconIndex)
        .Default(0)
        .Boolean("ReadOnly", &A::ReadOnly, &A::SetReadOnly)
        .Default(true);
    static const char* Verbs[] = {"Open", "OpenNew", "Edit", "Print", "PrintTo"};
    for (int v = 0; v < A::VerbCount; ++v) {
        const auto verb = A::TVerb(v);
        p.String(
             std::string(Verbs[v]) + "Command", [verb](A& a) { return a.Command(verb); },
             [verb](A& a, const std::string& s) { a.SetCommand(verb, s); })
            .String(
                std::string(Verbs[v]) + "CommandDescription",
                [verb](A& a) { return a.CommandDescription(verb); },
                [verb](A& a, const std::string& s) { a.SetCommandDescription(verb, s); });
    }
    p.Register();
}

void RegisterFileStorage() {
    TPublishedProperties<TSysCustomFileStorage>("TSysCustomFileStorage", "TSysComponent")
        .Register();
    TPublishedProperties<TSysFileStorage>("TSysFileStorage", "TSysCustomFileStorage")
        .String("SaveName", &TSysFileStorage::SaveName, &TSysFileStorage::SetSaveName)
        .String("FileName", &TSysFileStorage::FileName,
                [](TSysFileStorage& s, const std::string& v) { s.SetFileName(v); })
        .Boolean("AutoSave", &TSysFileStorage::AutoSave,
                 [](TSysFileStorage& s, bool v) { s.SetAutoSave(v); })
        .Default(false)
        .Register();
}

template <class M> void RegisterFolderMonitor(const char* Name, const char* Parent) {
    TPublishedProperties<M>(Name, Parent)
        .Boolean("Active", &M::Active, &M::SetActive)
        .Default(false)
        .String("Folder", &M::Folder, &M::SetFolder)
        .Default("/")
        .Set("NotifyFilters", &M::NotifyFilters, &M::SetNotifyFilters,
             {"fmfFileNameChange", "fmfDirNameChange", "fmfAttributeChange", "fmfSizeChange",
              "fmfWriteChange", "fmfSecurityChange"})
        .Default(SysFilterBit(fmfFileNameChange) | SysFilterBit(fmfDirNameChange))
        .Boolean("WatchSubTree", &M::WatchSubTree, &M::SetWatchSubTree)
        .Default(true)
        .Register();
}

template <class M> void RegisterRegistryMonitor(const char* Name, const char* Parent) {
    TPublishedProperties<M>(Name, Parent)
        .Boolean("Active", &M::Active, &M::SetActive)
        .Default(false)
        .String("RegistryKey", &M::RegistryKey, &M::SetRegistryKey)
        .Enumeration("RootKey", &M::RootKey, &M::SetRootKey,
                     {"rrkClassesRoot", "rrkCurrentUser", "rrkLocalMachine", "rrkUsers",
                      "rrkCurrentConfig", "rrkDynData"})
        .Default(rrkCurrentUser)
        .Set("NotifyFilters", &M::NotifyFilters, &M::SetNotifyFilters,
             {"rmfSubTreeChange", "rmfAttributeChange", "rmfValueChange", "rmfSecurityChange"})
        .Default(SysFilterBit(rmfSubTreeChange) | SysFilterBit(rmfValueChange))
        .Boolean("WatchSubTree", &M::WatchSubTree, &M::SetWatchSubTree)
        .Default(true)
        .Register();
}

void RegisterOneInstance() {
    using O = TSysOneInstance;
    TPublishedProperties<O>("TSysOneInstance", "TSysComponent")
        .Boolean("ActivatePrevInstance", &O::ActivatePrevInstance, &O::SetActivatePrevInstance)
        .Default(true)
        .Boolean("ShowMessage", &O::ShowMessage, &O::SetShowMessage)
        .Default(false)
        .Boolean("ExeNameAsIdentifier", &O::ExeNameAsIdentifier, &O::SetExeNameAsIdentifier)
        .Default(false)
        .String("Identifier", &O::Identifier, &O::SetIdentifier)
        .String("Message", &O::Message, &O::SetMessage)
        .Register();
}

void RegisterAutoRun() {
    using R = TSysAutoRun;
    TPublishedProperties<R>("TSysAutoRun", "TSysComponent")
        .Boolean("AutoRun", &R::AutoRun, &R::SetAutoRun)
        .Default(false)
        .String("FileName", &R::FileName, &R::SetFileName)
        .Enumeration("Kind", &R::Kind, &R::SetKind,
                     {"aekMachineRun", "aekMachineRunOnce", "aekUserRun", "aekUserRunOnce",
                      "aekServiceRun", "aekServiceRunOnce"})
        .Default(aekMachineRun)
        .Register();
}

void RegisterShutdown() {
    using S = TSysShutdown;
    TPublishedProperties<S>("TSysShutdown", "TSysComponent")
        .Enumeration(
            "ActionType", &S::ActionType, &S::SetActionType,
            {"aatPowerOff", "aatShutdown", "aatReboot", "aatLogOff", "aatSuspend", "aatHibernate"})
        .Default(aatPowerOff)
        .Boolean("Force", &S::Force, &S::SetForce)
        .Default(false)
        .Register();
}

struct TEntry {
    const char* Name;
    void (*Register)();
};

// In the family's registration order.
const TEntry Entries[] = {
    {"TSysComponent",
     [] {
         TPublishedProperties<TSysComponent>("TSysComponent", "TComponent").Register();
         RegisterClass<TSysComponent>("TSysComponent");
     }},
    {"TSysCustomThreadComponent",
     [] { RegisterClass<TSysCustomThreadComponent>("TSysCustomThreadComponent"); }},
    {"TSysCustomThreadTimer",
     [] { RegisterClass<TSysCustomThreadTimer>("TSysCustomThreadTimer"); }},
    {"TSysCustomFileStorage",
     [] { RegisterClass<TSysCustomFileStorage>("TSysCustomFileStorage"); }},
    {"TSysAutoRun", [] { RegisterClass<TSysAutoRun>("TSysAutoRun"); }},
    {"TSysOneInstance", [] { RegisterClass<TSysOneInstance>("TSysOneInstance"); }},
    {"TSysShutdown", [] { RegisterClass<TSysShutdown>("TSysShutdown"); }},
    {"TSysFileStorage", [] { RegisterClass<TSysFileStorage>("TSysFileStorage"); }},
    {"TSysThreadComponent", [] { RegisterClass<TSysThreadComponent>("TSysThreadComponent"); }},
    {"TSysThreadTimer", [] { RegisterClass<TSysThreadTimer>("TSysThreadTimer"); }},
    {"TSysFileOperation", [] { RegisterClass<TSysFileOperation>("TSysFileOperation"); }},
    {"TSysFileAssociation", [] { RegisterClass<TSysFileAssociation>("TSysFileAssociation"); }},
    {"TSysCustomFolderMonitor",
     [] { RegisterClass<TSysCustomFolderMonitor>("TSysCustomFolderMonitor"); }},
    {"TSysFolderMonitor", [] { RegisterClass<TSysFolderMonitor>("TSysFolderMonitor"); }},
    {"TSysCustomRegistryMonitor",
     [] { RegisterClass<TSysCustomRegistryMonitor>("TSysCustomRegistryMonitor"); }},
    {"TSysRegistryMonitor", [] { RegisterClass<TSysRegistryMonitor>("TSysRegistryMonitor"); }},
};

void RegisterAllProperties() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterThreadComponents();
        RegisterThreadTimers();
        RegisterFileOperation();
        RegisterFileAssociation();
        RegisterFileStorage();
        RegisterFolderMonitor<TSysCustomFolderMonitor>("TSysCustomFolderMonitor", "TSysComponent");
        RegisterFolderMonitor<TSysFolderMonitor>("TSysFolderMonitor", "TSysComponent");
        RegisterRegistryMonitor<TSysCustomRegistryMonitor>("TSysCustomRegistryMonitor",
                                                           "TSysComponent");
        RegisterRegistryMonitor<TSysRegistryMonitor>("TSysRegistryMonitor", "TSysComponent");
        RegisterOneInstance();
        RegisterAutoRun();
        RegisterShutdown();
    });
}

} // namespace

bool RegisterSysComponentClass(const std::string& Name) {
    for (const TEntry& e : Entries)
        if (Name == e.Name) {
            RegisterAllProperties();
            e.Register();
            return true;
        }
    return false;
}

void RegisterSysComponentsNonVisual() {
    for (const TEntry& e : Entries)
        RegisterSysComponentClass(e.Name);
}

void DoneSysComponentsNonVisual() {
    SysReleaseInstanceLock();
}
