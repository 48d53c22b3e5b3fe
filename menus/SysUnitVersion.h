#pragma once
// The registry of the system library's module versions, one per process,
// and the named shared-memory blocks through which the modules of a process
// find it.
//
// Every module of the library records its version at start-up. The first
// one to ask makes the registry and publishes its address in a shared block
// named after the process; later ones (TUnitVersioningLink stands for one
// module's share of that protocol) read the address from the block instead
// of making a second registry. A named mutex guards the block. Nothing in
// the program reads the registry back: it is for diagnostics.
//
// Named blocks are named within the process, not system-wide: the block
// holds the address of an object in this process, and a system-wide name
// would outlive a process that ended without cleaning up, so a later
// process given the same id would follow a dead address. Block names are
// therefore kept in a process table; the one user puts the process id in
// the name anyway.
#include "menus/SysClasses.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Static data, one per module: keyword lines of the version-control system.
struct TUnitVersionInfo {
    const char* RCSfile;  // "$URL: <location of the source> $"
    const char* Revision; // "$Revision: <number> $"
    const char* Date;     // "$Date: <date, time, zone> (<French short date>) $"
    const char* LogPath;  // the source folder, with backslashes
    const char* Extra;
    const void* Data;
};

// Identifies a loaded module; MainInstance() is the program's.
using TModuleInstance = std::uintptr_t;
TModuleInstance MainInstance();

// One module version; refers to a record it does not own.
class TUnitVersion : public TObject {
public:
    QM_CLASSNAME(TUnitVersion)
    explicit TUnitVersion(const TUnitVersionInfo* Info) : FInfo(Info) {}
    const TUnitVersionInfo* Info() const { return FInfo; }
    // The keyword values: "$Revision: 3266 $" gives "3266".
    std::string RCSfile() const;
    std::string Revision() const;
    std::string Date() const;
    std::string LogPath() const;
    std::string Extra() const;

private:
    const TUnitVersionInfo* FInfo;
};

// The versions recorded for one module instance; owns its TUnitVersion list.
class TUnitVersioningModule : public TObject {
public:
    QM_CLASSNAME(TUnitVersioningModule)
    explicit TUnitVersioningModule(TModuleInstance Instance) : FInstance(Instance) {}
    TModuleInstance Instance() const { return FInstance; }
    int Count() const { return int(FItems.size()); }
    TUnitVersion* Items(int Index) const;
    // -1 when the record is not listed (compared by address).
    int IndexOfInfo(const TUnitVersionInfo* Info) const;
    // Adds the record unless it is already listed.
    void Add(const TUnitVersionInfo* Info);

private:
    TModuleInstance FInstance;
    std::vector<std::unique_ptr<TUnitVersion>> FItems;
};

// Told when a module leaves the registry.
class TCustomUnitVersioningProvider : public TObject {
public:
    QM_CLASSNAME(TCustomUnitVersioningProvider)
    virtual void ReleaseModule(TModuleInstance Instance) { (void)Instance; }
};

// Owns its module entries and its providers.
class TUnitVersioning : public TObject {
public:
    QM_CLASSNAME(TUnitVersioning)
    // Adds the record to the module entry of Instance, made and appended when
    // missing; a record already listed there is not added again.
    virtual void Add(TModuleInstance Instance, const TUnitVersionInfo* Info);
    // Removes the last module entry of Instance, then tells every provider.
    virtual void UnregisterModule(TModuleInstance Instance);

    int ModuleCount() const { return int(FModules.size()); }
    TUnitVersioningModule* Modules(int Index) const;
    // The first entry of Instance, or nullptr.
    TUnitVersioningModule* FindModule(TModuleInstance Instance) const;
    void AddProvider(std::unique_ptr<TCustomUnitVersioningProvider> Provider);

private:
    std::vector<std::unique_ptr<TUnitVersioningModule>> FModules;
    std::vector<std::unique_ptr<TCustomUnitVersioningProvider>> FProviders;
};

// ---------------------------------------------------------------------------
// Named shared memory

enum class TSharedMemAccess { Read, Write, AllAccess, Copy };

inline constexpr int ERROR_ALREADY_EXISTS = 183;

// Maps the named block and returns 0, or ERROR_ALREADY_EXISTS when the name
// was already mapped (its view is returned and counted again) or the block
// already existed. A block is made zero-filled, of Size bytes.
// Raises ESharedMemError "Invalid MMF name "<name>"" for an empty name (and,
// on systems that restrict names, one containing "\"), "The MMF named
// "<name>" cannot be created empty" when the block is missing and Size is 0,
// and the system's error when an existing block is smaller than Size.
int SharedGetMem(const std::string& Name, std::size_t Size, TSharedMemAccess Access, void*& View);
// Counts the view down, unmapping it at its last use; clears View. True when
// the view was found or View was already empty.
bool SharedFreeMem(void*& View);

// ---------------------------------------------------------------------------
// The registry protocol

// One module's globals: the registry it uses, whether it made it, the mutex
// and its view of the shared block. Finalize (or destruction) ends its use.
class TUnitVersioningLink {
public:
    explicit TUnitVersioningLink(std::uint32_t ProcessId);
    ~TUnitVersioningLink();
    TUnitVersioningLink(const TUnitVersioningLink&) = delete;
    TUnitVersioningLink& operator=(const TUnitVersioningLink&) = delete;

    // The process registry, found or made; nullptr after Finalize.
    TUnitVersioning* Acquire();
    // Withdraws this module's registry from the block and frees it when this
    // module made it; errors are swallowed.
    void Finalize();
    bool CreatedHere() const { return FCreatedHere; }
    bool Finalized() const { return FFinalized; }

    std::string BlockName() const;
    std::string MutexName() const;

private:
    std::uint32_t FProcessId;
    TUnitVersioning* FRegistry = nullptr;
    bool FCreatedHere = false;
    std::unique_ptr<TCoreMutex> FMutex;
    void* FBlock = nullptr;
    bool FFinalized = false;
};

// The program's own link, made on first use.
TUnitVersioning* AcquireVersionRegistry();
// Nothing without a registry.
void AddModuleVersion(TModuleInstance Instance, const TUnitVersionInfo* Info);
void DropModuleVersions(TModuleInstance Instance);
// The registry module's exit: finalizes and frees the program's link.
void FinalizeVersionRegistry();

// ---------------------------------------------------------------------------
// Module start-up and exit

struct TSysLibModule {
    const char* Name;
    unsigned RevisionNumber;
    const TUnitVersionInfo* Info;
    void (*StartUp)(); // its own preparation, or nullptr
};

// The registering modules, in start-up order.
const std::vector<TSysLibModule>& SysLibModules();

// Runs every module's start-up step once (its own work, then its version
// record); the exit runs the steps in reverse order: each drops the program's
// versions, and the registry module's step ends the registry.
void InitSysLibModules();
void DoneSysLibModules();
