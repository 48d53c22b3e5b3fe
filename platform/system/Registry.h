#pragma once
// TRegistry and TRegIniFile: the class library's registry access over the
// file-backed store of RegistryStore.h.
//
// TRegistry works on one open key of one root at a time. Key paths use
// backslashes; a leading backslash makes a path absolute from the root,
// otherwise it is taken from the open key. Key and value names are compared
// without regard to case and keep the case they were created with; the empty
// value name is the key's default value. Every change is written to disk at
// once and is seen immediately by every other TRegistry of the process. The
// settings folder ($QUILLOMARK_CONFIG_DIR, see RegistryStore.h) is looked up
// at every access, so a test may move it between two calls.
// Failures of reads and writes raise ERegistryException with the class
// library's texts; opening, creating and deleting keys report false.
#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/system/IniValues.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TStrings;
class TRegStore;

// The predefined root keys. Each is kept in a file of its own named after it.
enum HKEY : std::uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
    HKEY_USERS = 0x80000003u,
    HKEY_PERFORMANCE_DATA = 0x80000004u, // not backed by a store: every access fails
    HKEY_CURRENT_CONFIG = 0x80000005u,
    HKEY_DYN_DATA = 0x80000006u,
};

// Access rights, numbered as the system numbers them. A key opened without
// KEY_SET_VALUE refuses value writes; creating or deleting keys below the
// open key needs KEY_CREATE_SUB_KEY on it (absolute paths start from the
// root, which allows everything).
enum : Cardinal {
    KEY_QUERY_VALUE = 0x0001,
    KEY_SET_VALUE = 0x0002,
    KEY_CREATE_SUB_KEY = 0x0004,
    KEY_ENUMERATE_SUB_KEYS = 0x0008,
    KEY_NOTIFY = 0x0010,
    KEY_CREATE_LINK = 0x0020,
    KEY_READ = 0x20019,
    KEY_WRITE = 0x20006,
    KEY_EXECUTE = 0x20019,
    KEY_ALL_ACCESS = 0xF003F,
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = rdUnknown;
    // In bytes; a string counts its terminating zero as the system does.
    int DataSize = 0;
};

// The file name (without folder and extension) of a root's store; "" for a
// root that has none.
std::string RegistryRootName(HKEY root);

class TRegistry : public TObject {
public:
    QM_CLASSNAME(TRegistry)
    TRegistry();
    explicit TRegistry(Cardinal AAccess);
    ~TRegistry() override;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return FRootKey; }
    // Closes the open key first.
    void SetRootKey(HKEY Value);
    // Non-zero while a key is open (it is the root; there are no handles).
    HKEY CurrentKey() const { return FKeyOpen ? FRootKey : HKEY(0); }
    // The open key's path from the root, as it was given (no leading
    // backslash).
    const std::string& CurrentPath() const { return FCurrentPath; }
    Cardinal Access() const { return FAccess; }
    void SetAccess(Cardinal Value) { FAccess = Value; }
    // Accepted for compatibility: every change is written through anyway.
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool Value) { FLazyWrite = Value; }

    // Opens Key (relative to the open key unless it starts with '\'); with
    // CanCreate the missing keys on the way are created. The empty path
    // opens the open key again (or the root).
    bool OpenKey(const std::string& Key, bool CanCreate);
    // Opens an existing key with KEY_READ: value writes to it fail.
    bool OpenKeyReadOnly(const std::string& Key);
    // Creates Key without opening it; raises "Failed to create key <Key>".
    bool CreateKey(const std::string& Key);
    void CloseKey();
    // Deletes Key with all its sub-keys; false when it does not exist.
    bool DeleteKey(const std::string& Key);
    bool KeyExists(const std::string& Key);
    bool HasSubKeys();
    // Clear the list, then add the names as stored.
    void GetKeyNames(TStrings* Strings);
    void GetValueNames(TStrings* Strings);
    // Copies OldName (with its sub-keys) to NewName, merging into what is
    // there, and deletes OldName when Delete is set. Nothing happens when
    // OldName is missing or NewName lies inside OldName.
    void MoveKey(const std::string& OldName, const std::string& NewName, bool Delete);

    bool ValueExists(const std::string& Name);
    bool DeleteValue(const std::string& Name);
    // Renames when OldName exists and NewName does not.
    void RenameValue(const std::string& OldName, const std::string& NewName);
    bool GetDataInfo(const std::string& ValueName, TRegDataInfo& Value);
    TRegDataType GetDataType(const std::string& ValueName);
    // -1 when the value does not exist.
    int GetDataSize(const std::string& ValueName);

    // A missing value reads as ""; a value that is not a string raises
    // "Invalid data type for '<Name>'".
    std::string ReadString(const std::string& Name);
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteExpandString(const std::string& Name, const std::string& Value);
    // A missing value or one that is not an integer raises
    // "Invalid data type for '<Name>'".
    int ReadInteger(const std::string& Name);
    void WriteInteger(const std::string& Name, int Value);
    // Stored as an integer; any non-zero value reads as true.
    bool ReadBool(const std::string& Name);
    void WriteBool(const std::string& Name, bool Value);
    // Stored as 8 bytes of binary data.
    double ReadFloat(const std::string& Name);
    void WriteFloat(const std::string& Name, double Value);
    // Copies the data into Buffer and returns its size; raises when the value
    // is missing, not binary or larger than BufSize.
    int ReadBinaryData(const std::string& Name, void* Buffer, int BufSize);
    void WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize);

protected:
    // Resolves Key against the open key; false for an invalid path.
    bool ResolvePath(std::string_view Key, std::vector<std::string>& Path) const;
    // The access of the key a relative path starts from.
    Cardinal BaseAccess(std::string_view Key) const;
    TRegStore* Store() const;
    bool GetValueAt(const std::vector<std::string>& Path, std::string_view Name, Cardinal& Type,
                    std::string& Data);
    // Writes a value into the key at Path (created when missing if Create);
    // false when the key is missing or the store could not be written.
    bool PutValueAt(const std::vector<std::string>& Path, std::string_view Name, Cardinal Type,
                    std::string Data, bool Create);
    bool DeleteValueAt(const std::vector<std::string>& Path, std::string_view Name);
    void GetNamesAt(const std::vector<std::string>& Path, bool Keys, TStrings* Strings);
    const std::vector<std::string>& CurrentSegments() const { return FCurrentSegments; }
    bool KeyOpen() const { return FKeyOpen; }
    bool CanSetValues() const { return FKeyOpen && (FCurrentAccess & KEY_SET_VALUE) != 0; }

private:
    bool GetCurrent(const std::string& Name, Cardinal& Type, std::string& Data);
    void PutCurrent(const std::string& Name, Cardinal Type, std::string Data);
    bool OpenWithAccess(const std::string& Key, bool CanCreate, Cardinal Access);

    HKEY FRootKey = HKEY_CURRENT_USER;
    Cardinal FAccess = KEY_ALL_ACCESS;
    Cardinal FCurrentAccess = 0;
    bool FKeyOpen = false;
    bool FLazyWrite = true;
    std::string FCurrentPath;
    std::vector<std::string> FCurrentSegments;
};

// An ini-file view of a registry key under HKEY_CURRENT_USER: sections are
// sub-keys of the key FileName (a section starting with '\' is taken from
// the root), entries are their values. Everything is written as a string
// value: integers as decimal text and Booleans as "1"/"0"; a write that fails
// raises "Failed to set data for '<Ident>'". Reads never raise: a missing
// value, a value of another type or a text that is no number give the
// default (an integer value is read as its decimal text), so a damaged
// setting cannot stop the program.
class TRegIniFile : public TIniValues<TRegIniFile, TRegistry> {
public:
    QM_CLASSNAME(TRegIniFile)
    explicit TRegIniFile(const std::string& FileName);
    TRegIniFile(const std::string& FileName, Cardinal AAccess);

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default);
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);
    // ReadInteger, WriteInteger, ReadBool and WriteBool: see IniValues.h.
    // Value names of a section.
    void ReadSection(const std::string& Section, TStrings* Strings);
    // Sub-key names of the key.
    void ReadSections(TStrings* Strings);
    // "name=value" lines of a section.
    void ReadSectionValues(const std::string& Section, TStrings* Strings);
    void EraseSection(const std::string& Section);
    void DeleteKey(const std::string& Section, const std::string& Ident);
    using TRegistry::DeleteKey;

private:
    bool ReadText(const std::string& Section, const std::string& Ident, std::string& Text);

    std::string FFileName;
};
