#include "menus/SysClasses.h"

#include "platform/system/PeResources.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <link.h>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t MaxMutexName = 260;

std::string Win32ErrorMessage(int code, const std::string& msg, const std::string& text) {
    return "Win32 error: " + msg + " (" + std::to_string(static_cast<unsigned>(code)) + ")\r\n" +
           text;
}

} // namespace

std::string SystemErrorText(int ErrorCode) {
    char buffer[256] = {};
    // The GNU form returns a pointer that may or may not be the buffer.
    const char* text = strerror_r(ErrorCode, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

ECoreWin32Error::ECoreWin32Error(const std::string& ResourceText)
    : ECoreWin32Error(errno, ResourceText) {}

ECoreWin32Error::ECoreWin32Error(int ErrorCode, const std::string& ResourceText)
    : ECoreError(Win32ErrorMessage(ErrorCode, SystemErrorText(ErrorCode), ResourceText)),
      FLastError(ErrorCode), FLastErrorMsg(SystemErrorText(ErrorCode)) {}

TCoreWaitResult MapSystemWaitResult(std::uint32_t SystemResult) {
    switch (SystemResult) {
    case 0:
        return TCoreWaitResult::Signaled;
    case 0x80:
        return TCoreWaitResult::Abandoned;
    case 0xC0:
        return TCoreWaitResult::IoCompletion;
    case 258:
        return TCoreWaitResult::Timeout;
    default:
        return TCoreWaitResult::Error;
    }
}

TCoreWaitResult WaitForCoreObject(TCoreDispatcherObject& Object, int TimeoutMs) {
    return Object.WaitFor(TimeoutMs);
}

// ---------------------------------------------------------------------------
// Named mutexes

struct TCoreNamedMutexState {
    std::mutex Lock;
    std::condition_variable Freed;
    std::thread::id Owner;
    unsigned Depth = 0;
    bool Abandoned = false;
};

namespace {

// Names to live states; a name vanishes with the last TCoreMutex using it.
// Made on first use and never destroyed, so no exit-order question arises.
struct TMutexTable {
    std::mutex Lock;
    std::map<std::string, std::weak_ptr<TCoreNamedMutexState>> Names;
};

TMutexTable& MutexTable() {
    static TMutexTable* table = new TMutexTable;
    return *table;
}

// The mutexes the current thread owns, so that its end can abandon them
// instead of leaving their waiters blocked for ever.
struct TOwnedMutexes {
    std::vector<std::weak_ptr<TCoreNamedMutexState>> States;
    ~TOwnedMutexes() {
        for (auto& weak : States) {
            auto state = weak.lock();
            if (!state) continue;
            std::lock_guard<std::mutex> guard(state->Lock);
            if (state->Owner != std::this_thread::get_id()) continue;
            state->Owner = std::thread::id();
            state->Depth = 0;
            state->Abandoned = true;
            state->Freed.notify_one();
        }
    }
};

thread_local TOwnedMutexes OwnedMutexes;

void NoteOwned(const std::shared_ptr<TCoreNamedMutexState>& state) {
    auto& list = OwnedMutexes.States;
    for (auto it = list.begin(); it != list.end();) {
        auto s = it->lock();
        if (!s) {
            it = list.erase(it);
            continue;
        }
        if (s == state) return;
        ++it;
    }
    list.push_back(state);
}

// Takes the mutex for the calling thread; the caller holds state.Lock.
TCoreWaitResult TakeOwnership(TCoreNamedMutexState& state) {
    state.Owner = std::this_thread::get_id();
    state.Depth = 1;
    if (state.Abandoned) {
        state.Abandoned = false;
        return TCoreWaitResult::Abandoned;
    }
    return TCoreWaitResult::Signaled;
}

} // namespace

TCoreMutex::TCoreMutex(bool InitialOwner, const std::string& Name) : TCoreDispatcherObject(Name) {
    if (Name.size() > MaxMutexName) throw ECoreMutexError(ENAMETOOLONG, "Failed to create mutex");
    if (Name.empty()) {
        FState = std::make_shared<TCoreNamedMutexState>();
    } else {
        TMutexTable& table = MutexTable();
        std::lock_guard<std::mutex> guard(table.Lock);
        auto& slot = table.Names[Name];
        FState = slot.lock();
        FExisted = FState != nullptr;
        if (!FState) {
            FState = std::make_shared<TCoreNamedMutexState>();
            slot = FState;
        }
    }
    // Like the system, an initial owner only gets the mutex when it is free.
    if (InitialOwner) WaitFor(0);
}

TCoreMutex::~TCoreMutex() {
    if (Name().empty()) return;
    TMutexTable& table = MutexTable();
    std::lock_guard<std::mutex> guard(table.Lock);
    FState.reset();
    auto it = table.Names.find(Name());
    if (it != table.Names.end() && it->second.expired()) table.Names.erase(it);
}

TCoreWaitResult TCoreMutex::WaitFor(int TimeoutMs) {
    TCoreNamedMutexState& state = *FState;
    std::unique_lock<std::mutex> lock(state.Lock);
    const auto self = std::this_thread::get_id();
    if (state.Owner == self) {
        if (state.Depth == UINT_MAX) return TCoreWaitResult::Error;
        ++state.Depth;
        return TCoreWaitResult::Signaled;
    }
    const auto isFree = [&] { return state.Owner == std::thread::id(); };
    if (TimeoutMs < 0) {
        state.Freed.wait(lock, isFree);
    } else if (!state.Freed.wait_for(lock, std::chrono::milliseconds(TimeoutMs), isFree)) {
        return TCoreWaitResult::Timeout;
    }
    const TCoreWaitResult result = TakeOwnership(state);
    lock.unlock();
    NoteOwned(FState);
    return result;
}

bool TCoreMutex::Release() {
    TCoreNamedMutexState& state = *FState;
    std::lock_guard<std::mutex> guard(state.Lock);
    if (state.Owner != std::this_thread::get_id() || state.Depth == 0) return false;
    if (--state.Depth == 0) {
        state.Owner = std::thread::id();
        state.Freed.notify_one();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Modules

char AnsiReplacementChar() {
    return '?';
}

std::string GetModulePath(TModuleHandle Module) {
    if (!Module) {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        return n > 0 ? std::string(buffer.data(), std::size_t(n)) : std::string();
    }
    link_map* map = nullptr;
    if (dlinfo(Module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return std::string();
    return map->l_name;
}

void UnloadModule(TModuleHandle& Module) {
    if (Module) dlclose(Module);
    Module = nullptr;
}

TVSFixedFileInfo ProgramFileVersion() {
    TVSFixedFileInfo v{};
    v.dwSignature = 0xFEEF04BD;
    v.dwStrucVersion = 0x00010000;
    v.dwFileVersionMS = (QM_VERSION_MAJOR << 16) | QM_VERSION_MINOR;
    v.dwFileVersionLS = (QM_VERSION_PATCH << 16) | QM_VERSION_TWEAK;
    v.dwProductVersionMS = v.dwFileVersionMS;
    v.dwProductVersionLS = v.dwFileVersionLS;
    v.dwFileFlagsMask = 0x3F;
    v.dwFileOS = 0x00040004; // the NT family, 32-bit windowing
    v.dwFileType = 1;        // an application
    return v;
}

bool GetFixedFileVersion(const std::string& FileName, TVSFixedFileInfo& Info) {
    Info = TVSFixedFileInfo{};
    std::error_code ec;
    // The running program carries its version in its build, not in a
    // resource.
    const std::string self = GetModulePath(nullptr);
    if (!self.empty() && std::filesystem::equivalent(FileName, self, ec)) {
        Info = ProgramFileVersion();
        return true;
    }
    TByteVector file;
    if (!ReadWholeFile(FileName, file)) return false;
    TByteVector record;
    if (!TPeResources(std::move(file)).ByIndex(RT_VERSION, 0, record)) return false;
    // VS_VERSIONINFO: wLength, wValueLength, wType, the key "VS_VERSION_INFO"
    // in UTF-16 with its terminator, padding to a 32-bit boundary, then the
    // value, which must be exactly the 52-byte fixed record.
    if (record.size() < 6) return false;
    const std::size_t valueLength = std::size_t(record[2] | (record[3] << 8));
    std::size_t at = 6;
    while (at + 1 < record.size() && (record[at] | record[at + 1]) != 0)
        at += 2;
    at = (at + 2 + 3) & ~std::size_t(3);
    if (valueLength != sizeof(TVSFixedFileInfo) || at + valueLength > record.size()) return false;
    std::memcpy(&Info, record.data() + at, sizeof Info);
    return true;
}

// ---------------------------------------------------------------------------
// Run-time type data

namespace {

struct TTypeDataEntry {
    void* TypeData;
    TTypeDataRelease Release;
    std::size_t Count;
};

struct TTypeDataList {
    std::mutex Lock;
    std::vector<TTypeDataEntry> Entries;
};

TTypeDataList& TypeDataList() {
    static TTypeDataList* list = new TTypeDataList;
    return *list;
}

} // namespace

void AddRuntimeTypeData(void* TypeData, TTypeDataRelease Release) {
    if (!TypeData) return;
    TTypeDataList& list = TypeDataList();
    std::lock_guard<std::mutex> guard(list.Lock);
    for (auto it = list.Entries.rbegin(); it != list.Entries.rend(); ++it)
        if (it->TypeData == TypeData) {
            ++it->Count;
            return;
        }
    list.Entries.push_back({TypeData, Release, 1});
}

bool RemoveRuntimeTypeData(void* TypeData) {
    TTypeDataEntry released{};
    {
        TTypeDataList& list = TypeDataList();
        std::lock_guard<std::mutex> guard(list.Lock);
        auto it = list.Entries.rbegin();
        while (it != list.Entries.rend() && it->TypeData != TypeData)
            ++it;
        if (it == list.Entries.rend()) return false;
        if (--it->Count > 0) return true;
        released = *it;
        list.Entries.erase(std::next(it).base());
    }
    // Outside the lock: releasing a type may release the types it refers to.
    if (released.Release) released.Release(released.TypeData);
    return true;
}

void ClearRuntimeTypeData() {
    TTypeDataList& list = TypeDataList();
    for (;;) {
        TTypeDataEntry last{};
        {
            std::lock_guard<std::mutex> guard(list.Lock);
            if (list.Entries.empty()) return;
            last = list.Entries.back();
            list.Entries.pop_back();
        }
        if (last.Release) last.Release(last.TypeData);
    }
}

std::size_t RuntimeTypeDataCount() {
    TTypeDataList& list = TypeDataList();
    std::lock_guard<std::mutex> guard(list.Lock);
    return list.Entries.size();
}
