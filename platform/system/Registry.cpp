#include "platform/system/Registry.h"

#include "platform/base/Convert.h"
#include "platform/classes/Strings.h"
#include "platform/system/RegistryStore.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

[[noreturn]] void ReadError(const std::string& name) {
    throw ERegistryException("Invalid data type for '" + name + "'");
}

[[noreturn]] void WriteError(const std::string& name) {
    throw ERegistryException("Failed to set data for '" + name + "'");
}

std::string LittleEndian(std::uint64_t v, int bytes) {
    std::string s;
    for (int k = 0; k < bytes; ++k)
        s.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    return s;
}

std::uint64_t FromLittleEndian(const std::string& s) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < s.size() && k < 8; ++k)
        v |= std::uint64_t(static_cast<unsigned char>(s[k])) << (8 * k);
    return v;
}

TRegDataType DataTypeOf(Cardinal type) {
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

bool IsAbsolute(std::string_view key) {
    return !key.empty() && key.front() == '\\';
}

// Creates the missing keys along path; changed tells whether any was made.
bool CreatePath(TRegStoreKey& root, const std::vector<std::string>& path, bool& changed) {
    TRegStoreKey* key = &root;
    for (const auto& segment : path) {
        TRegStoreKey* next = key->FindSubKey(segment);
        if (!next) {
            next = key->AddSubKey(segment);
            changed = true;
        }
        key = next;
    }
    return true;
}

} // namespace

std::string RegistryRootName(HKEY root) {
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG:
        return "HKEY_CURRENT_CONFIG";
    case HKEY_DYN_DATA:
        return "HKEY_DYN_DATA";
    default:
        return "";
    }
}

// ---------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() = default;
TRegistry::TRegistry(Cardinal AAccess) : FAccess(AAccess) {}
TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY Value) {
    if (Value == FRootKey) return;
    CloseKey();
    FRootKey = Value;
}

TRegStore* TRegistry::Store() const {
    std::string name = RegistryRootName(FRootKey);
    return name.empty() ? nullptr : &RegistryStoreFor(name);
}

bool TRegistry::ResolvePath(std::string_view Key, std::vector<std::string>& Path) const {
    std::vector<std::string> tail;
    if (!RegSplitPath(Key, tail)) return false;
    Path.clear();
    if (!IsAbsolute(Key) && FKeyOpen) Path = FCurrentSegments;
    if (Path.size() + tail.size() > RegMaxKeyDepth) return false;
    Path.insert(Path.end(), tail.begin(), tail.end());
    return true;
}

Cardinal TRegistry::BaseAccess(std::string_view Key) const {
    return !IsAbsolute(Key) && FKeyOpen ? FCurrentAccess : KEY_ALL_ACCESS;
}

bool TRegistry::OpenWithAccess(const std::string& Key, bool CanCreate, Cardinal Access) {
    std::vector<std::string> path;
    TRegStore* store = Store();
    if (!store || !ResolvePath(Key, path)) return false;
    bool found = false;
    if (CanCreate && (BaseAccess(Key) & KEY_CREATE_SUB_KEY)) {
        found = store->Update(
            [&](TRegStoreKey& root, bool& changed) { return CreatePath(root, path, changed); });
    } else {
        store->Read([&](const TRegStoreKey& root) { found = root.Find(path) != nullptr; });
    }
    if (!found) return false;
    std::string shown = IsAbsolute(Key) ? Key.substr(1) : Key;
    if (FKeyOpen && !IsAbsolute(Key) && !Key.empty())
        FCurrentPath = FCurrentPath.empty() ? shown : FCurrentPath + "\\" + shown;
    else if (!FKeyOpen || IsAbsolute(Key))
        FCurrentPath = shown;
    FCurrentSegments = std::move(path);
    FCurrentAccess = Access;
    FKeyOpen = true;
    return true;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    return OpenWithAccess(Key, CanCreate, FAccess);
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
    return OpenWithAccess(Key, false, KEY_READ);
}

bool TRegistry::CreateKey(const std::string& Key) {
    std::vector<std::string> path;
    TRegStore* store = Store();
    bool ok = store && ResolvePath(Key, path) && !path.empty() &&
              (BaseAccess(Key) & KEY_CREATE_SUB_KEY) &&
              store->Update([&](TRegStoreKey& root, bool& changed) {
                  return CreatePath(root, path, changed);
              });
    if (!ok) throw ERegistryException("Failed to create key " + Key);
    return true;
}

void TRegistry::CloseKey() {
    FKeyOpen = false;
    FCurrentAccess = 0;
    FCurrentPath.clear();
    FCurrentSegments.clear();
}

bool TRegistry::DeleteKey(const std::string& Key) {
    std::vector<std::string> path;
    TRegStore* store = Store();
    std::vector<std::string> own;
    // An empty name would delete the open key itself (or the root).
    if (!store || !RegSplitPath(Key, own) || own.empty() || !ResolvePath(Key, path)) return false;
    if (!(BaseAccess(Key) & KEY_CREATE_SUB_KEY)) return false;
    return store->Update([&](TRegStoreKey& root, bool& changed) {
        std::vector<std::string> parentPath(path.begin(), path.end() - 1);
        TRegStoreKey* parent = root.Find(parentPath);
        changed = parent && parent->DeleteSubKey(path.back());
        return changed;
    });
}

bool TRegistry::KeyExists(const std::string& Key) {
    std::vector<std::string> path;
    TRegStore* store = Store();
    if (!store || !ResolvePath(Key, path)) return false;
    bool found = false;
    store->Read([&](const TRegStoreKey& root) { found = root.Find(path) != nullptr; });
    return found;
}

bool TRegistry::HasSubKeys() {
    TRegStore* store = Store();
    if (!store || !FKeyOpen) return false;
    bool any = false;
    store->Read([&](const TRegStoreKey& root) {
        const TRegStoreKey* key = root.Find(FCurrentSegments);
        any = key && !key->SubKeys.empty();
    });
    return any;
}

void TRegistry::GetNamesAt(const std::vector<std::string>& Path, bool Keys, TStrings* Strings) {
    Strings->Clear();
    TRegStore* store = Store();
    if (!store) return;
    std::vector<std::string> names;
    store->Read([&](const TRegStoreKey& root) {
        const TRegStoreKey* key = root.Find(Path);
        if (!key) return;
        if (Keys)
            for (const auto& [folded, sub] : key->SubKeys)
                names.push_back(sub->Name);
        else
            for (const auto& v : key->Values())
                names.push_back(v.Name);
    });
    for (const auto& n : names)
        Strings->Add(n);
}

void TRegistry::GetKeyNames(TStrings* Strings) {
    if (!FKeyOpen) {
        Strings->Clear();
        return;
    }
    GetNamesAt(FCurrentSegments, true, Strings);
}

void TRegistry::GetValueNames(TStrings* Strings) {
    if (!FKeyOpen) {
        Strings->Clear();
        return;
    }
    GetNamesAt(FCurrentSegments, false, Strings);
}

void TRegistry::MoveKey(const std::string& OldName, const std::string& NewName, bool Delete) {
    std::vector<std::string> from, to;
    TRegStore* store = Store();
    if (!store || !ResolvePath(OldName, from) || !ResolvePath(NewName, to) || from.empty() ||
        to.empty())
        return;
    if (!(BaseAccess(OldName) & KEY_CREATE_SUB_KEY) || !(BaseAccess(NewName) & KEY_CREATE_SUB_KEY))
        return;
    // A target inside the source (or the source itself) would copy forever
    // or delete what was just copied.
    if (to.size() >= from.size() && std::equal(from.begin(), from.end(), to.begin(), RegSameName))
        return;
    store->Update([&](TRegStoreKey& root, bool& changed) {
        TRegStoreKey* source = root.Find(from);
        if (!source) return false;
        // Copied aside first: the target may be an ancestor of the source.
        TRegStoreKey copy;
        copy.CopyContentFrom(*source);
        if (Delete) {
            std::vector<std::string> parentPath(from.begin(), from.end() - 1);
            root.Find(parentPath)->DeleteSubKey(from.back());
        }
        TRegStoreKey* target = &root;
        for (const auto& segment : to)
            target = target->AddSubKey(segment);
        target->CopyContentFrom(copy);
        changed = true;
        return true;
    });
}

bool TRegistry::GetValueAt(const std::vector<std::string>& Path, std::string_view Name,
                           Cardinal& Type, std::string& Data) {
    TRegStore* store = Store();
    if (!store) return false;
    bool found = false;
    store->Read([&](const TRegStoreKey& root) {
        const TRegStoreKey* key = root.Find(Path);
        const TRegStoreValue* v = key ? key->FindValue(Name) : nullptr;
        if (!v) return;
        Type = v->Type;
        Data = v->Data;
        found = true;
    });
    return found;
}

bool TRegistry::PutValueAt(const std::vector<std::string>& Path, std::string_view Name,
                           Cardinal Type, std::string Data, bool Create) {
    TRegStore* store = Store();
    // Refuse what the loader would refuse, so that every write reads back.
    if (!store || Name.size() > RegMaxValueNameLength || Data.size() > RegMaxValueSize)
        return false;
    return store->Update([&](TRegStoreKey& root, bool& changed) {
        TRegStoreKey* key = root.Find(Path);
        if (!key && Create) {
            key = &root;
            for (const auto& segment : Path)
                key = key->AddSubKey(segment);
        }
        if (!key) return false;
        key->SetValue(Name, Type, std::move(Data));
        changed = true;
        return true;
    });
}

bool TRegistry::DeleteValueAt(const std::vector<std::string>& Path, std::string_view Name) {
    TRegStore* store = Store();
    if (!store) return false;
    return store->Update([&](TRegStoreKey& root, bool& changed) {
        TRegStoreKey* key = root.Find(Path);
        changed = key && key->DeleteValue(Name);
        return changed;
    });
}

bool TRegistry::GetCurrent(const std::string& Name, Cardinal& Type, std::string& Data) {
    return FKeyOpen && GetValueAt(FCurrentSegments, Name, Type, Data);
}

void TRegistry::PutCurrent(const std::string& Name, Cardinal Type, std::string Data) {
    if (!CanSetValues() || !PutValueAt(FCurrentSegments, Name, Type, std::move(Data), false))
        WriteError(Name);
}

bool TRegistry::ValueExists(const std::string& Name) {
    Cardinal type;
    std::string data;
    return GetCurrent(Name, type, data);
}

bool TRegistry::DeleteValue(const std::string& Name) {
    return CanSetValues() && DeleteValueAt(FCurrentSegments, Name);
}

void TRegistry::RenameValue(const std::string& OldName, const std::string& NewName) {
    if (!CanSetValues() || RegSameName(OldName, NewName)) return;
    TRegStore* store = Store();
    if (!store) return;
    store->Update([&](TRegStoreKey& root, bool& changed) {
        TRegStoreKey* key = root.Find(FCurrentSegments);
        const TRegStoreValue* old = key ? key->FindValue(OldName) : nullptr;
        if (!old || key->FindValue(NewName)) return false;
        TRegStoreValue copy = *old;
        key->DeleteValue(OldName);
        key->SetValue(NewName, copy.Type, std::move(copy.Data));
        changed = true;
        return true;
    });
}

bool TRegistry::GetDataInfo(const std::string& ValueName, TRegDataInfo& Value) {
    Cardinal type;
    std::string data;
    if (!GetCurrent(ValueName, type, data)) {
        Value = TRegDataInfo{};
        return false;
    }
    Value.RegData = DataTypeOf(type);
    std::size_t size = data.size() + (type == REG_SZ || type == REG_EXPAND_SZ ? 1 : 0);
    Value.DataSize = static_cast<int>(size);
    return true;
}

TRegDataType TRegistry::GetDataType(const std::string& ValueName) {
    TRegDataInfo info;
    return GetDataInfo(ValueName, info) ? info.RegData : rdUnknown;
}

int TRegistry::GetDataSize(const std::string& ValueName) {
    TRegDataInfo info;
    return GetDataInfo(ValueName, info) ? info.DataSize : -1;
}

std::string TRegistry::ReadString(const std::string& Name) {
    Cardinal type;
    std::string data;
    if (!GetCurrent(Name, type, data)) return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) ReadError(Name);
    return data;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    PutCurrent(Name, REG_SZ, Value);
}

void TRegistry::WriteExpandString(const std::string& Name, const std::string& Value) {
    PutCurrent(Name, REG_EXPAND_SZ, Value);
}

int TRegistry::ReadInteger(const std::string& Name) {
    Cardinal type;
    std::string data;
    if (!GetCurrent(Name, type, data) || type != REG_DWORD || data.size() != 4) ReadError(Name);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(FromLittleEndian(data)));
}

void TRegistry::WriteInteger(const std::string& Name, int Value) {
    PutCurrent(Name, REG_DWORD, LittleEndian(static_cast<std::uint32_t>(Value), 4));
}

bool TRegistry::ReadBool(const std::string& Name) {
    return ReadInteger(Name) != 0;
}

void TRegistry::WriteBool(const std::string& Name, bool Value) {
    WriteInteger(Name, Value ? 1 : 0);
}

double TRegistry::ReadFloat(const std::string& Name) {
    Cardinal type;
    std::string data;
    if (!GetCurrent(Name, type, data) || type != REG_BINARY || data.size() != 8) ReadError(Name);
    return std::bit_cast<double>(FromLittleEndian(data));
}

void TRegistry::WriteFloat(const std::string& Name, double Value) {
    PutCurrent(Name, REG_BINARY, LittleEndian(std::bit_cast<std::uint64_t>(Value), 8));
}

int TRegistry::ReadBinaryData(const std::string& Name, void* Buffer, int BufSize) {
    Cardinal type;
    std::string data;
    if (!GetCurrent(Name, type, data) || (type != REG_BINARY && type != REG_NONE) || BufSize < 0 ||
        data.size() > static_cast<std::size_t>(BufSize))
        ReadError(Name);
    if (!data.empty()) std::memcpy(Buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

void TRegistry::WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize) {
    if (BufSize < 0 || (BufSize > 0 && !Buffer)) WriteError(Name);
    PutCurrent(Name, REG_BINARY,
               std::string(static_cast<const char*>(Buffer), static_cast<std::size_t>(BufSize)));
}

// ---------------------------------------------------------------------------
// TRegIniFile

TRegIniFile::TRegIniFile(const std::string& FileName) : TRegIniFile(FileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const std::string& FileName, Cardinal AAccess)
    : TIniValues(AAccess), FFileName(FileName) {
    SetRootKey(HKEY_CURRENT_USER);
    OpenKey(FileName, true);
}

bool TRegIniFile::ReadText(const std::string& Section, const std::string& Ident,
                           std::string& Text) {
    std::vector<std::string> path;
    Cardinal type;
    std::string data;
    if (!KeyOpen() || !ResolvePath(Section, path) || !GetValueAt(path, Ident, type, data))
        return false;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        Text = std::move(data);
        return true;
    }
    if (type == REG_DWORD && data.size() == 4) {
        Text =
            IntToStr(static_cast<std::int32_t>(static_cast<std::uint32_t>(FromLittleEndian(data))));
        return true;
    }
    return false;
}

std::string TRegIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) {
    std::string text;
    return ReadText(Section, Ident, text) ? text : Default;
}

void TRegIniFile::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
    std::vector<std::string> path;
    if (!CanSetValues() || !ResolvePath(Section, path) ||
        !PutValueAt(path, Ident, REG_SZ, Value, true))
        throw ERegistryException("Failed to set data for '" + Ident + "'");
}

void TRegIniFile::ReadSection(const std::string& Section, TStrings* Strings) {
    std::vector<std::string> path;
    if (!KeyOpen() || !ResolvePath(Section, path)) {
        Strings->Clear();
        return;
    }
    GetNamesAt(path, false, Strings);
}

void TRegIniFile::ReadSections(TStrings* Strings) {
    GetKeyNames(Strings);
}

void TRegIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) {
    std::vector<std::string> path;
    Strings->Clear();
    if (!KeyOpen() || !ResolvePath(Section, path)) return;
    TRegStore* store = Store();
    if (!store) return;
    std::vector<std::string> names;
    store->Read([&](const TRegStoreKey& root) {
        if (const TRegStoreKey* key = root.Find(path))
            for (const auto& v : key->Values())
                names.push_back(v.Name);
    });
    for (const auto& name : names)
        Strings->Add(name + "=" + ReadString(Section, name, ""));
}

void TRegIniFile::EraseSection(const std::string& Section) {
    TRegistry::DeleteKey(Section);
}

void TRegIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    std::vector<std::string> path;
    if (CanSetValues() && ResolvePath(Section, path)) DeleteValueAt(path, Ident);
}
