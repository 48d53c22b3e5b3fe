#include "syscomp/ChangeMonitors.h"

#include "platform/base/FileNames.h"
#include "platform/system/RegistryStore.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <filesystem>

namespace fs = std::filesystem;

std::uint32_t SysFolderFilterBits(TFolderMonitorFilters Filters) {
    static const std::uint32_t Bits[] = {1, 2, 4, 8, 0x10, 0x100};
    std::uint32_t r = 0;
    for (unsigned i = 0; i < 6; ++i)
        if (Filters & SysFilterBit(i)) r |= Bits[i];
    return r;
}

std::uint32_t SysRegistryFilterBits(TSysRegistryMonitorFilters Filters) {
    return Filters & 0xF; // elements 0..3 are the bits 1, 2, 4, 8
}

HKEY SysRootKeyHandle(TSysRegRootKey Root) {
    static const HKEY Keys[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                                HKEY_USERS,        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
    return Keys[Root];
}

// ---------------------------------------------------------------------------

TSysMonitorThread::TSysMonitorThread(TSysChangeEvent OnChange)
    : TSysThread(true), FOnChange(std::move(OnChange)) {
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TSysMonitorThread::~TSysMonitorThread() {
    TerminateAndWait();
    if (FNotify >= 0) ::close(FNotify);
    if (FWakeFd >= 0) ::close(FWakeFd);
}

void TSysMonitorThread::Wake() {
    if (FWakeFd < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(FWakeFd, &one, sizeof one);
}

bool TSysMonitorThread::WaitForEvents(bool& Notified, bool& Woken) {
    pollfd fds[2] = {{FNotify, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
    for (;;) {
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        break;
    }
    if (fds[0].revents & (POLLERR | POLLNVAL) || fds[1].revents & (POLLERR | POLLNVAL))
        return false;
    Notified = (fds[0].revents & POLLIN) != 0;
    Woken = (fds[1].revents & POLLIN) != 0;
    if (Woken) {
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(FWakeFd, &count, sizeof count);
    }
    return true;
}

bool TSysMonitorThread::WaitUntilWatching(unsigned TimeoutMs) {
    return FReady.WaitFor(TimeoutMs) == wrSignaled && FWatching.load();
}

void TSysMonitorThread::SetWatching(bool Value) {
    FWatching.store(Value);
    FReady.SetEvent();
}

void TSysMonitorThread::Changed() {
    if (Terminated() || !FOnChange) return;
    // Checked again on the main thread: a monitor stopped meanwhile (Stop
    // runs there too) must not call its former owner.
    Synchronize([this] {
        if (!Terminated()) FOnChange();
    });
}

// Both monitors wait on their watch the same way: every event read is handed
// to Event, EventsRead follows each batch, and a change of parameters opens
// the watch again.
void TSysMonitorThread::Execute() {
    const bool watching = FWakeFd >= 0 && OpenWatch();
    SetWatching(watching);
    if (!watching) return;
    alignas(inotify_event) char buffer[16384];
    while (!Terminated()) {
        bool notified = false, woken = false;
        if (!WaitForEvents(notified, woken)) return;
        if (Terminated()) return;
        if (notified) {
            for (;;) {
                ssize_t n = ::read(FNotify, buffer, sizeof buffer);
                if (n <= 0) break;
                for (ssize_t off = 0; off + ssize_t(sizeof(inotify_event)) <= n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                    off += sizeof(inotify_event) + ev->len;
                    if (off > n) break;
                    Event(*ev);
                }
            }
            EventsRead();
        }
        bool restart;
        {
            std::lock_guard<std::mutex> guard(FParamLock);
            restart = FRestart;
        }
        if (restart && !OpenWatch()) return;
    }
}

// ---------------------------------------------------------------------------

TSysFolderMonitorThread::~TSysFolderMonitorThread() {
    TerminateAndWait();
}

void TSysFolderMonitorThread::SetParameters(const std::string& Folder, bool WatchSubTree,
                                            TFolderMonitorFilters Filters) {
    {
        std::lock_guard<std::mutex> guard(FParamLock);
        FFolder = Folder.find_first_not_of(" \t") == std::string::npos ? std::string(".") : Folder;
        FWatchSubTree = WatchSubTree;
        FFilters = Filters;
        FRestart = true;
    }
    Wake();
}

void TSysFolderMonitorThread::AddWatch(const std::string& Folder, int& Count) {
    std::uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                         IN_MOVE_SELF | IN_ONLYDIR;
    if (FCurFilters & (SysFilterBit(fmfAttributeChange) | SysFilterBit(fmfSecurityChange)))
        mask |= IN_ATTRIB;
    if (FCurFilters & (SysFilterBit(fmfSizeChange) | SysFilterBit(fmfWriteChange)))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    // Breadth first, so that a cap cuts the deepest folders.
    std::deque<std::string> pending{Folder};
    while (!pending.empty() && Count < SysMonitorMaxFolders) {
        std::string dir = std::move(pending.front());
        pending.pop_front();
        int wd = ::inotify_add_watch(FNotify, dir.c_str(), mask);
        if (wd < 0) continue;
        ++Count;
        FWatches.emplace_back(wd, dir);
        if (!FCurSubTree) break;
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code e2;
            if (it->is_directory(e2) && !it->is_symlink(e2)) pending.push_back(it->path());
        }
    }
}

bool TSysFolderMonitorThread::OpenWatch() {
    if (FNotify >= 0) ::close(FNotify);
    FWatches.clear();
    FNotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (FNotify < 0) return false;
    std::string folder;
    {
        std::lock_guard<std::mutex> guard(FParamLock);
        folder = FFolder;
        FCurSubTree = FWatchSubTree;
        FCurFilters = FFilters;
        FRestart = false;
    }
    int count = 0;
    AddWatch(folder, count);
    return count > 0;
}

bool TSysFolderMonitorThread::Relevant(std::uint32_t Mask, bool Root) const {
    // A sub-folder's own removal is reported by its parent's watch.
    if (Mask & IN_Q_OVERFLOW) return true;
    if (Mask & (IN_DELETE_SELF | IN_MOVE_SELF)) return Root;
    if (Mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
        return (FCurFilters &
                SysFilterBit((Mask & IN_ISDIR) ? fmfDirNameChange : fmfFileNameChange)) != 0;
    if (Mask & IN_ATTRIB)
        return (FCurFilters &
                (SysFilterBit(fmfAttributeChange) | SysFilterBit(fmfSecurityChange))) != 0;
    if (Mask & (IN_MODIFY | IN_CLOSE_WRITE))
        return (FCurFilters & (SysFilterBit(fmfSizeChange) | SysFilterBit(fmfWriteChange))) != 0;
    return false;
}

void TSysFolderMonitorThread::Event(const inotify_event& Ev) {
    const bool root = !FWatches.empty() && FWatches.front().first == Ev.wd;
    FPending |= Relevant(Ev.mask, root);
    if ((Ev.mask & IN_IGNORED) && !root)
        std::erase_if(FWatches, [&](const auto& w) { return w.first == Ev.wd; });
    if (FCurSubTree && (Ev.mask & IN_ISDIR) && (Ev.mask & (IN_CREATE | IN_MOVED_TO)) &&
        Ev.len > 0) {
        for (const auto& [wd, dir] : FWatches)
            if (wd == Ev.wd) {
                int count = int(FWatches.size());
                AddWatch(dir + "/" + Ev.name, count);
                break;
            }
    }
}

void TSysFolderMonitorThread::EventsRead() {
    if (!FPending) return;
    FPending = false;
    Changed();
}

// ---------------------------------------------------------------------------

TSysRegistryMonitorThread::~TSysRegistryMonitorThread() {
    TerminateAndWait();
}

void TSysRegistryMonitorThread::SetParameters(HKEY RootKey, const std::string& Key,
                                              bool WatchSubTree,
                                              TSysRegistryMonitorFilters Filters) {
    {
        std::lock_guard<std::mutex> guard(FParamLock);
        FRootKey = RootKey;
        FKey = Key;
        FWatchSubTree = WatchSubTree;
        FFilters = Filters;
        FRestart = true;
    }
    Wake();
}

namespace {

void Describe(const TRegStoreKey& Key, TSysRegistryMonitorFilters Filters, bool SubTree,
              std::string& Out) {
    Out += '[';
    if (Filters & SysFilterBit(rmfValueChange))
        for (const TRegStoreValue& v : Key.Values()) {
            Out += RegFoldName(v.Name);
            Out += '\x1f';
            Out += std::to_string(v.Type);
            Out += ':';
            Out += std::to_string(v.Data.size());
            Out += ':';
            Out += v.Data;
        }
    for (const auto& [folded, sub] : Key.SubKeys) {
        if (Filters & SysFilterBit(rmfSubTreeChange)) {
            Out += '\x1e';
            Out += sub->Name;
        }
        if (SubTree) Describe(*sub, Filters, true, Out);
    }
    Out += ']';
}

} // namespace

std::string TSysRegistryMonitorThread::Snapshot() {
    HKEY root;
    std::string key;
    bool subTree;
    TSysRegistryMonitorFilters filters;
    {
        std::lock_guard<std::mutex> guard(FParamLock);
        root = FRootKey;
        key = FKey;
        subTree = FWatchSubTree;
        filters = FFilters;
    }
    std::vector<std::string> path;
    const std::string rootName = RegistryRootName(root);
    if (rootName.empty() || !RegSplitPath(key, path)) return "-";
    std::string out = "-";
    RegistryStoreFor(rootName).Read([&](const TRegStoreKey& rootKey) {
        if (const TRegStoreKey* k = rootKey.Find(path)) {
            out.assign(1, '+');
            Describe(*k, filters, subTree, out);
        }
    });
    return out;
}

bool TSysRegistryMonitorThread::OpenWatch() {
    if (FNotify >= 0) ::close(FNotify);
    FNotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (FNotify < 0) return false;
    HKEY root;
    {
        std::lock_guard<std::mutex> guard(FParamLock);
        root = FRootKey;
        FRestart = false;
    }
    const std::string rootName = RegistryRootName(root);
    if (rootName.empty()) return false;
    const std::string file = RegistryStoreFor(rootName).FileName();
    const std::string folder = ExtractFileDir(file);
    FStoreFile = ExtractFileName(file);
    FStoreFolder = folder;
    if (!WatchStoreFolder()) return false;
    FLast = Snapshot();
    return true;
}

bool TSysRegistryMonitorThread::WatchStoreFolder() {
    ForceDirectories(FStoreFolder);
    // The store replaces its file by renaming a new one over it.
    return ::inotify_add_watch(FNotify, FStoreFolder.c_str(),
                               IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE |
                                   IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR) >= 0;
}

void TSysRegistryMonitorThread::Event(const inotify_event& Ev) {
    if ((Ev.mask & IN_Q_OVERFLOW) || (Ev.len > 0 && FStoreFile == Ev.name)) FOurs = true;
    // The settings folder itself went (removed or moved away), and with it
    // the watch: the store makes it again at its next write.
    if (Ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) FFolderGone = true;
}

void TSysRegistryMonitorThread::EventsRead() {
    if (FFolderGone) {
        FFolderGone = false;
        FOurs = true;
        // Watched again where the store will write, so that a key made anew
        // is seen; what changed meanwhile shows in the comparison below.
        WatchStoreFolder();
    }
    if (!FOurs) return;
    FOurs = false;
    std::string now = Snapshot();
    if (now != FLast) {
        FLast = std::move(now);
        Changed();
    }
}

// ---------------------------------------------------------------------------

TSysCustomChangeMonitor::TSysCustomChangeMonitor(TComponent* AOwner, std::uint32_t DefaultFilters)
    : TSysComponent(AOwner), FNotifyFilters(DefaultFilters) {}

TSysCustomChangeMonitor::~TSysCustomChangeMonitor() {
    FThread.reset();
}

void TSysCustomChangeMonitor::SetActive(bool Value) {
    SetParameter(FActive, Value);
}

void TSysCustomChangeMonitor::SetNotifyFilters(std::uint32_t Value) {
    SetParameter(FNotifyFilters, Value);
}

void TSysCustomChangeMonitor::SetWatchSubTree(bool Value) {
    SetParameter(FWatchSubTree, Value);
}

void TSysCustomChangeMonitor::SetOnChange(TSysChangeEvent Value) {
    FOnChange = std::move(Value);
    Apply();
}

void TSysCustomChangeMonitor::Loaded() {
    TSysComponent::Loaded();
    Apply();
}

void TSysCustomChangeMonitor::Stop() {
    if (IsDestroying()) return;
    FThread.reset(); // terminates and waits; the wake-up ends its wait at once
}

void TSysCustomChangeMonitor::Apply() {
    if (IsLoading() || IsDestroying()) return;
    Stop();
    if (IsDesigning() || !FActive || !FOnChange) return;
    FThread = NewThread([this] {
        if (FOnChange) FOnChange();
    });
    FThread->Start();
}

TSysCustomFolderMonitor::TSysCustomFolderMonitor(TComponent* AOwner)
    : TSysCustomChangeMonitor(AOwner,
                              SysFilterBit(fmfFileNameChange) | SysFilterBit(fmfDirNameChange)) {}

std::unique_ptr<TSysMonitorThread> TSysCustomFolderMonitor::NewThread(TSysChangeEvent OnChange) {
    auto thread = std::make_unique<TSysFolderMonitorThread>(std::move(OnChange));
    thread->SetParameters(FFolder, WatchSubTree(), NotifyFilters());
    return thread;
}

TSysCustomRegistryMonitor::TSysCustomRegistryMonitor(TComponent* AOwner)
    : TSysCustomChangeMonitor(AOwner,
                              SysFilterBit(rmfSubTreeChange) | SysFilterBit(rmfValueChange)) {}

std::unique_ptr<TSysMonitorThread> TSysCustomRegistryMonitor::NewThread(TSysChangeEvent OnChange) {
    auto thread = std::make_unique<TSysRegistryMonitorThread>(std::move(OnChange));
    thread->SetParameters(SysRootKeyHandle(FRootKey), FRegistryKey, WatchSubTree(),
                          NotifyFilters());
    return thread;
}
