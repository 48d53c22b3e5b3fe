#pragma once
// Monitors that report changes of a folder or of a registry key on the main
// thread.
//
// A monitor component runs one monitor thread while it is Active and has an
// OnChange handler; changing any of its parameters restarts the watch. The
// folder monitor watches with the kernel's file-change notification
// (sub-folders included, up to SysMonitorMaxFolders of them, new ones added
// as they appear). The registry monitor watches the file of the root's store
// and compares the key's content (as its filters select it) before and after
// each change of that file, so a change of the key made by any process is
// seen, and deleting the key or creating it again is a change too.
//
// OnChange runs synchronised with the main thread; a monitor that was
// stopped calls it no more. Stopping waits for the thread (it wakes at once).
#include "platform/system/Registry.h"
#include "syscomp/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

struct inotify_event;

using TSysChangeEvent = std::function<void()>;

enum TFolderMonitorFilter {
    fmfFileNameChange,
    fmfDirNameChange,
    fmfAttributeChange,
    fmfSizeChange,
    fmfWriteChange,
    fmfSecurityChange
};
using TFolderMonitorFilters = std::uint32_t; // bit i = TFolderMonitorFilter i

enum TSysRegistryMonitorFilter {
    rmfSubTreeChange,
    rmfAttributeChange,
    rmfValueChange,
    rmfSecurityChange
};
using TSysRegistryMonitorFilters = std::uint32_t; // bit i = TSysRegistryMonitorFilter i

enum TSysRegRootKey {
    rrkClassesRoot,
    rrkCurrentUser,
    rrkLocalMachine,
    rrkUsers,
    rrkCurrentConfig,
    rrkDynData
};

constexpr std::uint32_t SysFilterBit(unsigned Element) {
    return 1u << Element;
}
// The system's change-notification bits of a filter set.
std::uint32_t SysFolderFilterBits(TFolderMonitorFilters Filters);
std::uint32_t SysRegistryFilterBits(TSysRegistryMonitorFilters Filters);
HKEY SysRootKeyHandle(TSysRegRootKey Root);

constexpr int SysMonitorMaxFolders = 4096;

// The common part of the monitor threads: a kernel notification descriptor
// and a wake-up descriptor that termination and new parameters signal.
class TSysMonitorThread : public TSysThread {
public:
    QM_CLASSNAME(TSysMonitorThread)
    explicit TSysMonitorThread(TSysChangeEvent OnChange);
    ~TSysMonitorThread() override;

    // Waits until the watch is in place; false when it could not be set up
    // (the thread then ends) or the time ran out.
    bool WaitUntilWatching(unsigned TimeoutMs);

protected:
    void TerminatedSet() override { Wake(); }
    void Wake();
    // Called once by Execute after the first attempt to set the watch up.
    void SetWatching(bool Value);
    // Waits for a notification or a wake-up; false when the wait failed.
    bool WaitForEvents(bool& Notified, bool& Woken);
    // Runs OnChange on the main thread unless the thread was terminated.
    void Changed();
    void Execute() override;
    // Sets the watch up (again); false when it cannot be.
    virtual bool OpenWatch() = 0;
    // One event read from the watch, then EventsRead after each batch.
    virtual void Event(const inotify_event& Ev) = 0;
    virtual void EventsRead() = 0;

    int FNotify = -1;
    int FWakeFd = -1;
    std::mutex FParamLock;
    bool FRestart = false;

private:
    TSysChangeEvent FOnChange;
    TEvent FReady{true, false};
    std::atomic<bool> FWatching{false};
};

class TSysFolderMonitorThread : public TSysMonitorThread {
public:
    QM_CLASSNAME(TSysFolderMonitorThread)
    using TSysMonitorThread::TSysMonitorThread;
    ~TSysFolderMonitorThread() override;

    // An empty or blank folder is the current directory.
    void SetParameters(const std::string& Folder, bool WatchSubTree, TFolderMonitorFilters Filters);

protected:
    bool OpenWatch() override;
    void Event(const inotify_event& Ev) override;
    void EventsRead() override;

private:
    void AddWatch(const std::string& Folder, int& Count);
    bool Relevant(std::uint32_t Mask, bool Root) const;

    std::string FFolder;
    bool FWatchSubTree = true;
    TFolderMonitorFilters FFilters = 0;
    // The parameters of the open watch (the thread's own copy).
    bool FCurSubTree = true;
    TFolderMonitorFilters FCurFilters = 0;
    // Watch descriptor -> folder path, for folders created later.
    std::vector<std::pair<int, std::string>> FWatches;
    bool FPending = false; // a relevant event in the batch being read
};

class TSysRegistryMonitorThread : public TSysMonitorThread {
public:
    QM_CLASSNAME(TSysRegistryMonitorThread)
    using TSysMonitorThread::TSysMonitorThread;
    ~TSysRegistryMonitorThread() override;

    void SetParameters(HKEY RootKey, const std::string& Key, bool WatchSubTree,
                       TSysRegistryMonitorFilters Filters);

protected:
    bool OpenWatch() override;
    void Event(const inotify_event& Ev) override;
    void EventsRead() override;

private:
    std::string Snapshot();
    // Watches the folder of the root's store, making it when it is missing.
    bool WatchStoreFolder();

    HKEY FRootKey = HKEY_CURRENT_USER;
    std::string FKey;
    bool FWatchSubTree = true;
    TSysRegistryMonitorFilters FFilters = 0;
    std::string FStoreFolder;
    std::string FStoreFile;   // name of the root's file in the watched folder
    bool FFolderGone = false; // the batch being read lost the folder's watch
    std::string FLast;
    bool FOurs = false; // the batch being read touched the store's file
};

// The common part of the monitor components: while Active with an OnChange
// handler, one monitor thread runs; a change of any parameter restarts it.
class TSysCustomChangeMonitor : public TSysComponent {
public:
    QM_CLASSNAME(TSysCustomChangeMonitor)
    ~TSysCustomChangeMonitor() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // Bits of TFolderMonitorFilter or TSysRegistryMonitorFilter.
    std::uint32_t NotifyFilters() const { return FNotifyFilters; }
    void SetNotifyFilters(std::uint32_t Value);
    bool WatchSubTree() const { return FWatchSubTree; }
    void SetWatchSubTree(bool Value);
    const TSysChangeEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TSysChangeEvent Value);
    // Whether a monitor thread runs.
    bool Monitoring() const { return FThread != nullptr; }
    // See TSysMonitorThread::WaitUntilWatching; false without a thread.
    bool WaitUntilWatching(unsigned TimeoutMs) {
        return FThread && FThread->WaitUntilWatching(TimeoutMs);
    }

    void Loaded() override;

protected:
    TSysCustomChangeMonitor(TComponent* AOwner, std::uint32_t DefaultFilters);
    // Sets Field to Value and restarts the watch when that changes it.
    template <class T> void SetParameter(T& Field, const T& Value) {
        if (Value == Field) return;
        Field = Value;
        Apply();
    }
    void Apply();
    void Stop();
    // A thread for the present parameters, not started yet.
    virtual std::unique_ptr<TSysMonitorThread> NewThread(TSysChangeEvent OnChange) = 0;

private:
    bool FActive = false;
    std::uint32_t FNotifyFilters;
    bool FWatchSubTree = true;
    TSysChangeEvent FOnChange;
    std::unique_ptr<TSysMonitorThread> FThread;
};

class TSysCustomFolderMonitor : public TSysCustomChangeMonitor {
public:
    QM_CLASSNAME(TSysCustomFolderMonitor)
    explicit TSysCustomFolderMonitor(TComponent* AOwner);

    const std::string& Folder() const { return FFolder; }
    void SetFolder(const std::string& Value) { SetParameter(FFolder, Value); }

protected:
    std::unique_ptr<TSysMonitorThread> NewThread(TSysChangeEvent OnChange) override;

private:
    std::string FFolder = "/";
};

class TSysFolderMonitor : public TSysCustomFolderMonitor {
public:
    QM_CLASSNAME(TSysFolderMonitor)
    using TSysCustomFolderMonitor::TSysCustomFolderMonitor;
};

class TSysCustomRegistryMonitor : public TSysCustomChangeMonitor {
public:
    QM_CLASSNAME(TSysCustomRegistryMonitor)
    explicit TSysCustomRegistryMonitor(TComponent* AOwner);

    TSysRegRootKey RootKey() const { return FRootKey; }
    void SetRootKey(TSysRegRootKey Value) { SetParameter(FRootKey, Value); }
    const std::string& RegistryKey() const { return FRegistryKey; }
    void SetRegistryKey(const std::string& Value) { SetParameter(FRegistryKey, Value); }

protected:
    std::unique_ptr<TSysMonitorThread> NewThread(TSysChangeEvent OnChange) override;

private:
    std::string FRegistryKey;
    TSysRegRootKey FRootKey = rrkCurrentUser;
};

class TSysRegistryMonitor : public TSysCustomRegistryMonitor {
public:
    QM_CLASSNAME(TSysRegistryMonitor)
    using TSysCustomRegistryMonitor::TSysCustomRegistryMonitor;
};
