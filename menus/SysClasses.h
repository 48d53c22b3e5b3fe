#pragma once
// Small system wrappers of the system library: its exceptions, a waitable
// named mutex, critical-section wrappers, module helpers and the list of
// type descriptions made at run time.
//
// Named objects here are named within the process: the library's one user
// of a named mutex (the unit version registry) puts the process id in every
// name, so nothing outside the process ever needs to find it.
#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/system/SyncObjs.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

QM_DECLARE_EXCEPTION(ECoreError, Exception);
QM_DECLARE_EXCEPTION(ECoreInternalError, ECoreError);
QM_DECLARE_EXCEPTION(ESharedMemError, ECoreError);

// A failure of a system call. The message is "Win32 error: %s (%u)%s%s"
// filled with the system's text for the code, the code, a line break and
// the library's own text.
class ECoreWin32Error : public ECoreError {
public:
    // Takes the calling thread's last error (errno).
    explicit ECoreWin32Error(const std::string& ResourceText);
    ECoreWin32Error(int ErrorCode, const std::string& ResourceText);
    const char* ClassName() const noexcept override { return "ECoreWin32Error"; }
    int LastError() const { return FLastError; }
    const std::string& LastErrorMsg() const { return FLastErrorMsg; }

private:
    int FLastError;
    std::string FLastErrorMsg;
};

class ECoreMutexError : public ECoreWin32Error {
public:
    using ECoreWin32Error::ECoreWin32Error;
    const char* ClassName() const noexcept override { return "ECoreMutexError"; }
};

// The system's text for an error code.
std::string SystemErrorText(int ErrorCode);

// One byte, in the order the library has always stored it.
enum class TCoreWaitResult : std::uint8_t { Abandoned, Error, IoCompletion, Signaled, Timeout };

// The system's raw wait codes: 0 signaled, 0x80 abandoned, 0xC0 I/O
// completion, 258 time-out; anything else is an error.
TCoreWaitResult MapSystemWaitResult(std::uint32_t SystemResult);

// A waitable object with a name (empty: private to its creator).
class TCoreDispatcherObject : public TObject {
public:
    QM_CLASSNAME(TCoreDispatcherObject)
    explicit TCoreDispatcherObject(std::string Name) : FName(std::move(Name)) {}
    const std::string& Name() const { return FName; }
    // TimeoutMs -1 waits for ever.
    virtual TCoreWaitResult WaitFor(int TimeoutMs) = 0;

private:
    std::string FName;
};

TCoreWaitResult WaitForCoreObject(TCoreDispatcherObject& Object, int TimeoutMs);

struct TCoreNamedMutexState;

// A recursive mutex owned by a thread, optionally named: every TCoreMutex of
// the same name in the process shares one lock. A thread that ends while
// owning it leaves it abandoned; the next waiter gets it with the result
// Abandoned. Release by a thread that does not own it returns false.
class TCoreMutex : public TCoreDispatcherObject {
public:
    QM_CLASSNAME(TCoreMutex)
    // Raises ECoreMutexError "Failed to create mutex" when the name is
    // refused (longer than 260 characters).
    TCoreMutex(bool InitialOwner, const std::string& Name);
    ~TCoreMutex() override;
    TCoreMutex(const TCoreMutex&) = delete;
    TCoreMutex& operator=(const TCoreMutex&) = delete;

    // The name was already in use when this object was made.
    bool Existed() const { return FExisted; }
    TCoreWaitResult WaitFor(int TimeoutMs) override;
    bool Release();

private:
    std::shared_ptr<TCoreNamedMutexState> FState;
    bool FExisted = false;
};

class TCoreCriticalSection : public TObject {
public:
    QM_CLASSNAME(TCoreCriticalSection)
    void Enter() { FSection.Enter(); }
    void Leave() { FSection.Leave(); }
    bool TryEnter() { return FSection.TryEnter(); }

private:
    TCriticalSection FSection;
};

// A critical section reached through a counted reference: taking a
// reference enters it and dropping one leaves it, so the section is held
// exactly as long as a caller keeps its reference. Counting never frees it.
class TCoreIntfCriticalSection : public TObject {
public:
    QM_CLASSNAME(TCoreIntfCriticalSection)
    int _AddRef() {
        FSection.Enter();
        return 0;
    }
    int _Release() {
        FSection.Leave();
        return 0;
    }

private:
    TCriticalSection FSection;
};

// The scoped reference to a TCoreIntfCriticalSection.
class TCoreSectionReference {
public:
    explicit TCoreSectionReference(TCoreIntfCriticalSection& Section) : FSection(Section) {
        FSection._AddRef();
    }
    ~TCoreSectionReference() { FSection._Release(); }
    TCoreSectionReference(const TCoreSectionReference&) = delete;
    TCoreSectionReference& operator=(const TCoreSectionReference&) = delete;

private:
    TCoreIntfCriticalSection& FSection;
};

// The replacement character of the ANSI code page. The program's 8-bit text
// is Windows-1252 everywhere, whose replacement is "?", so the start-up
// query cannot fail here.
char AnsiReplacementChar();

// A loaded library as returned by the dynamic loader; nullptr is the program.
using TModuleHandle = void*;

// The full file name of a module (the program for nullptr); empty when the
// handle is unknown.
std::string GetModulePath(TModuleHandle Module);

// Unloads the library when the handle is set, then clears it.
void UnloadModule(TModuleHandle& Module);

// The root record of a version resource, exactly 52 bytes.
struct TVSFixedFileInfo {
    std::uint32_t dwSignature;
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(TVSFixedFileInfo) == 52, "the fixed version record is 52 bytes");

// Reads a file's fixed version record: the version resource of a program
// file of the portable executable format, or, for the running program, the
// version it was built as. Other files have none: false, Info cleared.
bool GetFixedFileVersion(const std::string& FileName, TVSFixedFileInfo& Info);

// Process-wide list of type descriptions made at run time, counted: adding
// one already listed counts it again; removing it counts down, and at zero
// its release function runs and it leaves the list. Thread-safe.
using TTypeDataRelease = void (*)(void* TypeData);
void AddRuntimeTypeData(void* TypeData, TTypeDataRelease Release);
// False when the data is not listed.
bool RemoveRuntimeTypeData(void* TypeData);
// Releases every entry, the last added first.
void ClearRuntimeTypeData();
std::size_t RuntimeTypeDataCount();
