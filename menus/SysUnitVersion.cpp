#include "menus/SysUnitVersion.h"

#include "menus/SysInfo.h"
#include "menus/SysUnicode.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

// Its address identifies the program among loaded modules.
const char GMainInstanceAnchor = 0;

// The value between "$Keyword: " and " $".
std::string KeywordValue(const char* line) {
    if (!line) return std::string();
    std::string s(line);
    if (s.size() >= 2 && s[0] == '$') {
        const std::size_t colon = s.find(": ");
        const std::size_t end = s.rfind(" $");
        if (colon != std::string::npos && end != std::string::npos && end >= colon + 2)
            return s.substr(colon + 2, end - colon - 2);
    }
    return s;
}

} // namespace

TModuleInstance MainInstance() {
    return reinterpret_cast<TModuleInstance>(&GMainInstanceAnchor);
}

std::string TUnitVersion::RCSfile() const {
    return KeywordValue(FInfo->RCSfile);
}
std::string TUnitVersion::Revision() const {
    return KeywordValue(FInfo->Revision);
}
std::string TUnitVersion::Date() const {
    return KeywordValue(FInfo->Date);
}
std::string TUnitVersion::LogPath() const {
    return FInfo->LogPath ? FInfo->LogPath : "";
}
std::string TUnitVersion::Extra() const {
    return FInfo->Extra ? FInfo->Extra : "";
}

TUnitVersion* TUnitVersioningModule::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[std::size_t(Index)].get();
}

int TUnitVersioningModule::IndexOfInfo(const TUnitVersionInfo* Info) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->Info() == Info) return int(i);
    return -1;
}

void TUnitVersioningModule::Add(const TUnitVersionInfo* Info) {
    if (IndexOfInfo(Info) < 0) FItems.push_back(std::make_unique<TUnitVersion>(Info));
}

void TUnitVersioning::Add(TModuleInstance Instance, const TUnitVersionInfo* Info) {
    TUnitVersioningModule* module = FindModule(Instance);
    if (!module) {
        FModules.push_back(std::make_unique<TUnitVersioningModule>(Instance));
        module = FModules.back().get();
    }
    module->Add(Info);
}

void TUnitVersioning::UnregisterModule(TModuleInstance Instance) {
    for (std::size_t i = FModules.size(); i-- > 0;)
        if (FModules[i]->Instance() == Instance) {
            FModules.erase(FModules.begin() + std::ptrdiff_t(i));
            break;
        }
    for (auto& provider : FProviders)
        provider->ReleaseModule(Instance);
}

TUnitVersioningModule* TUnitVersioning::Modules(int Index) const {
    if (Index < 0 || Index >= ModuleCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FModules[std::size_t(Index)].get();
}

TUnitVersioningModule* TUnitVersioning::FindModule(TModuleInstance Instance) const {
    for (auto& module : FModules)
        if (module->Instance() == Instance) return module.get();
    return nullptr;
}

void TUnitVersioning::AddProvider(std::unique_ptr<TCustomUnitVersioningProvider> Provider) {
    if (Provider) FProviders.push_back(std::move(Provider));
}

// ---------------------------------------------------------------------------
// Named shared memory

namespace {

struct TSharedMemEntry {
    TSharedMemEntry* Next;
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::size_t Size;
    std::string Name;
    int Count;
};

// The mapped blocks, newest first. Within one process a name's block is the
// entry itself, so the list doubles as the table of names.
TSharedMemEntry* GSharedMemList = nullptr;

// Made on first use by whichever thread gets there first; never freed, so
// the lock outlives every caller.
std::atomic<TCoreIntfCriticalSection*> GSharedMemSection{nullptr};

TCoreIntfCriticalSection& SharedMemSection() {
    TCoreIntfCriticalSection* section = GSharedMemSection.load(std::memory_order_acquire);
    if (section) return *section;
    auto* made = new TCoreIntfCriticalSection;
    if (GSharedMemSection.compare_exchange_strong(section, made, std::memory_order_acq_rel))
        return *made;
    delete made; // another thread won; section now holds its object
    return *section;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace

int SharedGetMem(const std::string& Name, std::size_t Size, TSharedMemAccess Access, void*& View) {
    (void)Access; // blocks of the process are always readable and writable
    // An empty name cannot be found again; the old systems also refuse "\".
    if (Name.empty() ||
        (ClassifyWindowsVersion() <= wvWinNT4 && Name.find('\\') != std::string::npos))
        throw ESharedMemError("Invalid MMF name " + Quoted(Name));
    TCoreSectionReference hold(SharedMemSection());
    for (TSharedMemEntry* e = GSharedMemList; e; e = e->Next)
        if (e->Name == Name) {
            // A larger view than the block would let the caller write past it.
            if (Size > e->Size)
                throw ESharedMemError("The MMF named " + Quoted(Name) + " is smaller than " +
                                      std::to_string(Size) + " bytes");
            ++e->Count;
            View = e->Bytes.get();
            return ERROR_ALREADY_EXISTS;
        }
    if (Size == 0)
        throw ESharedMemError("The MMF named " + Quoted(Name) + " cannot be created empty");
    auto* entry =
        new TSharedMemEntry{GSharedMemList, std::make_unique<std::uint8_t[]>(Size), Size, Name, 1};
    GSharedMemList = entry;
    View = entry->Bytes.get();
    return 0;
}

bool SharedFreeMem(void*& View) {
    if (!View) return true;
    TCoreSectionReference hold(SharedMemSection());
    TSharedMemEntry** link = &GSharedMemList;
    while (*link && (*link)->Bytes.get() != View)
        link = &(*link)->Next;
    TSharedMemEntry* entry = *link;
    if (!entry) return false;
    if (entry->Count < 2) {
        *link = entry->Next;
        delete entry;
    } else {
        --entry->Count;
    }
    View = nullptr;
    return true;
}

// ---------------------------------------------------------------------------
// The registry protocol

namespace {

TUnitVersioning* ReadBlock(const void* block) {
    TUnitVersioning* registry = nullptr;
    std::memcpy(&registry, block, sizeof registry);
    return registry;
}

void WriteBlock(void* block, TUnitVersioning* registry) {
    std::memcpy(block, &registry, sizeof registry);
}

class TMutexHold {
public:
    explicit TMutexHold(TCoreMutex& mutex) : FMutex(mutex) { FMutex.WaitFor(-1); }
    ~TMutexHold() { FMutex.Release(); }
    TMutexHold(const TMutexHold&) = delete;
    TMutexHold& operator=(const TMutexHold&) = delete;

private:
    TCoreMutex& FMutex;
};

} // namespace

TUnitVersioningLink::TUnitVersioningLink(std::uint32_t ProcessId) : FProcessId(ProcessId) {}

TUnitVersioningLink::~TUnitVersioningLink() {
    Finalize();
}

std::string TUnitVersioningLink::BlockName() const {
    return "ShmNPA_UnitVersioning_" + std::to_string(FProcessId);
}

std::string TUnitVersioningLink::MutexName() const {
    return "MutexNPA_UnitVersioning_" + std::to_string(FProcessId);
}

TUnitVersioning* TUnitVersioningLink::Acquire() {
    if (FFinalized) return nullptr;
    if (!FMutex) FMutex = std::make_unique<TCoreMutex>(false, MutexName());
    TMutexHold hold(*FMutex);
    if (FRegistry && FBlock) {
        // The module that made it may have withdrawn it since.
        FRegistry = ReadBlock(FBlock);
        if (FRegistry) return FRegistry;
    }
    if (!FRegistry) {
        if (!FBlock) {
            try {
                void* view = nullptr;
                SharedGetMem(BlockName(), sizeof(TUnitVersioning*), TSharedMemAccess::AllAccess,
                             view);
                FBlock = view;
            } catch (const Exception&) {
                FBlock = nullptr; // a private registry below
            }
        }
        if (FBlock && ReadBlock(FBlock)) {
            FRegistry = ReadBlock(FBlock);
        } else {
            // A registry this module made earlier and withdrew is never reused.
            FRegistry = new TUnitVersioning;
            FCreatedHere = true;
            if (FBlock) WriteBlock(FBlock, FRegistry);
        }
    }
    return FRegistry;
}

void TUnitVersioningLink::Finalize() {
    if (FFinalized) return;
    FFinalized = true;
    try {
        if (FBlock && FMutex) {
            TMutexHold hold(*FMutex);
            // Only the maker withdraws the address: the others leave it for
            // the modules still using it.
            if (FCreatedHere && ReadBlock(FBlock) == FRegistry) WriteBlock(FBlock, nullptr);
            SharedFreeMem(FBlock);
        }
        if (FCreatedHere) delete FRegistry;
    } catch (...) {
        // Exit goes on whatever fails here.
    }
    FRegistry = nullptr;
    FCreatedHere = false;
    FBlock = nullptr;
    FMutex.reset();
}

namespace {

TUnitVersioningLink* GProcessLink = nullptr;
bool GProcessLinkFinalized = false;

std::mutex& ProcessLinkLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

} // namespace

TUnitVersioning* AcquireVersionRegistry() {
    std::lock_guard<std::mutex> guard(ProcessLinkLock());
    if (GProcessLinkFinalized) return nullptr;
    if (!GProcessLink) GProcessLink = new TUnitVersioningLink(std::uint32_t(getpid()));
    return GProcessLink->Acquire();
}

void AddModuleVersion(TModuleInstance Instance, const TUnitVersionInfo* Info) {
    if (TUnitVersioning* registry = AcquireVersionRegistry()) registry->Add(Instance, Info);
}

void DropModuleVersions(TModuleInstance Instance) {
    if (TUnitVersioning* registry = AcquireVersionRegistry()) registry->UnregisterModule(Instance);
}

void FinalizeVersionRegistry() {
    std::lock_guard<std::mutex> guard(ProcessLinkLock());
    GProcessLinkFinalized = true;
    delete GProcessLink; // finalizes it
    GProcessLink = nullptr;
}

// ---------------------------------------------------------------------------
// Module start-up and exit

namespace {

#define QM_UNIT_VERSION(Unit, Rev, Folder, When, French)                                           \
    const TUnitVersionInfo Unit##Version = {                                                       \
        "$URL: https://vcs.quillomark.invalid/syslib/trunk/source/" Folder "/" #Unit ".cpp $",     \
        "$Revision: " #Rev " $",                                                                   \
        "$Date: " When " (" French ") $",                                                          \
        "syslib\\source\\" Folder,                                                                 \
        "",                                                                                        \
        nullptr}

QM_UNIT_VERSION(CoreResources, 3266, "common", "2010-06-02 11:14:07 +0200", "mer., 02 juin 2010");
QM_UNIT_VERSION(CoreWin32, 3276, "windows", "2010-06-23 09:41:55 +0200", "mer., 23 juin 2010");
QM_UNIT_VERSION(CoreLogic, 2921, "common", "2009-08-08 20:12:31 +0200", "sam., 08 août 2009");
QM_UNIT_VERSION(CoreStringConversions, 2921, "common", "2009-08-08 20:12:31 +0200",
                "sam., 08 août 2009");
QM_UNIT_VERSION(CoreCharsets, 2892, "common", "2009-07-18 14:02:10 +0200", "sam., 18 juil. 2009");
QM_UNIT_VERSION(Core8087, 2921, "windows", "2009-08-08 20:12:31 +0200", "sam., 08 août 2009");
QM_UNIT_VERSION(Snmp, 3188, "windows", "2010-02-17 16:30:44 +0100", "mer., 17 févr. 2010");
QM_UNIT_VERSION(CoreIniFiles, 2892, "common", "2009-07-18 14:02:10 +0200", "sam., 18 juil. 2009");
QM_UNIT_VERSION(CoreSysInfo, 3213, "common", "2010-03-06 18:22:09 +0100", "sam., 06 mars 2010");
QM_UNIT_VERSION(CoreUnicode, 3256, "common", "2010-05-22 10:05:48 +0200", "sam., 22 mai 2010");
QM_UNIT_VERSION(CoreWideStrings, 3139, "common", "2010-01-16 12:47:20 +0100",
                "sam., 16 janv. 2010");
QM_UNIT_VERSION(CoreRegistry, 3321, "windows", "2010-08-19 21:03:37 +0200", "jeu., 19 août 2010");
QM_UNIT_VERSION(CoreSynch, 2984, "common", "2009-09-21 08:55:02 +0200", "lun., 21 sept. 2009");
QM_UNIT_VERSION(CoreMath, 3070, "common", "2009-11-27 19:36:14 +0100", "ven., 27 nov. 2009");
QM_UNIT_VERSION(CoreStreams, 3160, "common", "2010-01-30 15:11:58 +0100", "sam., 30 janv. 2010");
QM_UNIT_VERSION(CoreAnsiStrings, 3321, "common", "2010-08-19 21:03:37 +0200", "jeu., 19 août 2010");
QM_UNIT_VERSION(CoreStrings, 3321, "common", "2010-08-19 21:03:37 +0200", "jeu., 19 août 2010");
QM_UNIT_VERSION(CoreShell, 3179, "windows", "2010-02-09 22:18:40 +0100", "mar., 09 févr. 2010");
QM_UNIT_VERSION(CoreSecurity, 3097, "windows", "2009-12-12 13:27:03 +0100", "sam., 12 déc. 2009");
QM_UNIT_VERSION(CoreDateTime, 2921, "common", "2009-08-08 20:12:31 +0200", "sam., 08 août 2009");
QM_UNIT_VERSION(CoreFileUtils, 3321, "common", "2010-08-19 21:03:37 +0200", "jeu., 19 août 2010");
QM_UNIT_VERSION(CoreConsole, 2993, "windows", "2009-09-26 17:44:29 +0200", "sam., 26 sept. 2009");
QM_UNIT_VERSION(CoreSysUtils, 3321, "common", "2010-08-19 21:03:37 +0200", "jeu., 19 août 2010");
QM_UNIT_VERSION(CoreUnitVersioning, 3188, "common", "2010-02-17 16:30:44 +0100",
                "mer., 17 févr. 2010");
QM_UNIT_VERSION(CoreBase, 3336, "common", "2010-09-03 07:58:12 +0200", "ven., 03 sept. 2010");
QM_UNIT_VERSION(CoreVclResources, 3020, "windows", "2009-10-10 11:09:51 +0200",
                "sam., 10 oct. 2009");
QM_UNIT_VERSION(CoreGraphUtils, 3187, "windows", "2010-02-16 14:20:36 +0100",
                "mar., 16 févr. 2010");
QM_UNIT_VERSION(CoreRTTI, 3193, "common", "2010-02-21 09:12:25 +0100", "dim., 21 févr. 2010");
QM_UNIT_VERSION(CoreMime, 2921, "common", "2009-08-08 20:12:31 +0200", "sam., 08 août 2009");

#undef QM_UNIT_VERSION

void BuildCharTables() {
    (void)CharTables();
}

void ReadAnsiReplacementChar() {
    (void)AnsiReplacementChar();
}

// Exit work of the modules that have some, by module index.
struct TSysLibExit {
    const char* Name;
    void (*Exit)();
};

constexpr TSysLibExit SysLibExits[] = {
    {"CoreUnitVersioning", FinalizeVersionRegistry},
    {"CoreRTTI", ClearRuntimeTypeData},
};

int GModuleStarts[64] = {};

} // namespace

const std::vector<TSysLibModule>& SysLibModules() {
    // The blend routines of CoreGraphUtils are chosen by the graphics helpers'
    // own start-up; the Unicode module keeps no data that needs preparing.
    static const auto* modules = new std::vector<TSysLibModule>{
        {"CoreResources", 3266, &CoreResourcesVersion, nullptr},
        {"CoreWin32", 3276, &CoreWin32Version, nullptr},
        {"CoreLogic", 2921, &CoreLogicVersion, nullptr},
        {"CoreStringConversions", 2921, &CoreStringConversionsVersion, nullptr},
        {"CoreCharsets", 2892, &CoreCharsetsVersion, nullptr},
        {"Core8087", 2921, &Core8087Version, nullptr},
        {"Snmp", 3188, &SnmpVersion, nullptr},
        {"CoreIniFiles", 2892, &CoreIniFilesVersion, nullptr},
        {"CoreSysInfo", 3213, &CoreSysInfoVersion, InitSysInfo},
        {"CoreUnicode", 3256, &CoreUnicodeVersion, nullptr},
        {"CoreWideStrings", 3139, &CoreWideStringsVersion, nullptr},
        {"CoreRegistry", 3321, &CoreRegistryVersion, nullptr},
        {"CoreSynch", 2984, &CoreSynchVersion, nullptr},
        {"CoreMath", 3070, &CoreMathVersion, nullptr},
        {"CoreStreams", 3160, &CoreStreamsVersion, nullptr},
        {"CoreAnsiStrings", 3321, &CoreAnsiStringsVersion, BuildCharTables},
        {"CoreStrings", 3321, &CoreStringsVersion, BuildCharTables},
        {"CoreShell", 3179, &CoreShellVersion, nullptr},
        {"CoreSecurity", 3097, &CoreSecurityVersion, nullptr},
        {"CoreDateTime", 2921, &CoreDateTimeVersion, nullptr},
        {"CoreFileUtils", 3321, &CoreFileUtilsVersion, nullptr},
        {"CoreConsole", 2993, &CoreConsoleVersion, nullptr},
        {"CoreSysUtils", 3321, &CoreSysUtilsVersion, nullptr},
        {"CoreUnitVersioning", 3188, &CoreUnitVersioningVersion, nullptr},
        {"CoreBase", 3336, &CoreBaseVersion, ReadAnsiReplacementChar},
        {"CoreVclResources", 3020, &CoreVclResourcesVersion, nullptr},
        {"CoreGraphUtils", 3187, &CoreGraphUtilsVersion, nullptr},
        {"CoreRTTI", 3193, &CoreRTTIVersion, nullptr},
        {"CoreMime", 2921, &CoreMimeVersion, nullptr},
    };
    return *modules;
}

void InitSysLibModules() {
    const auto& modules = SysLibModules();
    for (std::size_t i = 0; i < modules.size(); ++i) {
        if (GModuleStarts[i]++ != 0) continue;
        if (modules[i].StartUp) modules[i].StartUp();
        AddModuleVersion(MainInstance(), modules[i].Info);
    }
}

void DoneSysLibModules() {
    const auto& modules = SysLibModules();
    for (std::size_t i = modules.size(); i-- > 0;) {
        if (GModuleStarts[i] == 0 || --GModuleStarts[i] != 0) continue;
        DropModuleVersions(MainInstance());
        for (const TSysLibExit& exit : SysLibExits)
            if (std::strcmp(exit.Name, modules[i].Name) == 0) exit.Exit();
    }
}
