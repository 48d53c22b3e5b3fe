#pragma once
// The file-backed store behind TRegistry: one tree of keys and values per
// root key, kept in one text file per root in the settings folder
// ($QUILLOMARK_CONFIG_DIR, else $XDG_CONFIG_HOME/quillomark, else
// ~/.config/quillomark).
//
// File format (UTF-8 text, one item per line, every line ends with LF):
//
//   QuillomarkRegistry 1
//   [Software\Quillomark\Recent]
//   @=sz:"default value of the key"
//   "F1"=sz:"/home/me/banner.qmkf"
//   "Path"=expand:"%25HOME%25/x"
//   "Count"=dword:0000002A
//   "Blob"=hex:0102FF
//
// The first line is the signature. A line "[path]" starts a key (the path
// from the root, segments separated by backslashes; "[]" is the root itself)
// and creates it even when it holds no value; the lines after it are that
// key's values: the name ('@' for the default, unnamed value, else a quoted
// string), '=', the type and ':', then the data: a quoted string for sz and
// expand, eight hexadecimal digits for dword, an even count of hexadecimal
// digits for hex. Inside key paths and quoted strings the bytes below 0x20,
// 0x7F, '%', '"' and bytes that are not valid UTF-8 are written as %HH.
// Blank lines and lines starting with '#' are skipped.
//
// Loading skips a line that is malformed (a damaged key line takes its value
// lines with it) and a last line not ended by LF (a truncated write), and
// keeps everything else; a UTF-8 byte-order mark is ignored. The next write
// rewrites the file from what was kept.
#include "platform/base/Types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Value types, numbered as the system numbers them.
enum : Cardinal { REG_NONE = 0, REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4 };

// Limits of the store; the loader refuses what exceeds them.
constexpr std::size_t RegMaxKeyNameLength = 255;
constexpr std::size_t RegMaxKeyDepth = 512;
constexpr std::size_t RegMaxValueNameLength = 16383;
constexpr std::uint64_t RegMaxValueSize = 16u << 20;
constexpr std::uint64_t RegMaxFileSize = 64u << 20;

struct TRegStoreValue {
    std::string Name;
    Cardinal Type = REG_NONE;
    // Text for REG_SZ and REG_EXPAND_SZ, four little-endian bytes for
    // REG_DWORD, the bytes themselves for REG_BINARY.
    std::string Data;
};

// One key: its name as created, its values in the order they were first
// written, its sub-keys ordered by folded name.
class TRegStoreKey {
public:
    std::string Name;
    std::map<std::string, std::unique_ptr<TRegStoreKey>> SubKeys;

    const std::vector<TRegStoreValue>& Values() const { return FValues; }

    TRegStoreKey* FindSubKey(std::string_view name) const;
    // Returns the existing sub-key of that name, or a new one.
    TRegStoreKey* AddSubKey(std::string_view name);
    bool DeleteSubKey(std::string_view name);
    const TRegStoreValue* FindValue(std::string_view name) const;
    TRegStoreValue* FindValue(std::string_view name);
    // Replaces the data and type; a new value keeps the given name's case.
    void SetValue(std::string_view name, Cardinal type, std::string data);
    bool DeleteValue(std::string_view name);
    // Deep copy of values and sub-keys (the name is left as it is).
    void CopyContentFrom(const TRegStoreKey& source);
    void Clear();
    // Walks a path of segments; nullptr when a segment is missing.
    TRegStoreKey* Find(const std::vector<std::string>& path);
    const TRegStoreKey* Find(const std::vector<std::string>& path) const;

private:
    std::vector<TRegStoreValue> FValues;
    // Folded name -> index in FValues, so that a key with many values loads
    // in n log n.
    std::map<std::string, std::size_t> FValueIndex;
};

// Key and value names are compared without regard to case (ASCII and the
// Latin-1 letters).
std::string RegFoldName(std::string_view name);
bool RegSameName(std::string_view a, std::string_view b);

// Splits a backslash-separated path into segments, skipping empty ones.
// False when a segment is longer than RegMaxKeyNameLength or the path is
// deeper than RegMaxKeyDepth.
bool RegSplitPath(std::string_view path, std::vector<std::string>& segments);

// Fills root (cleared first) from the valid lines of a store file. Returns
// true when the whole input was valid. Never throws on bad input.
bool ParseRegistryStore(std::string_view bytes, TRegStoreKey& root);
std::string SerializeRegistryStore(const TRegStoreKey& root);

// The settings folder (without a trailing '/').
std::string RegistryStoreFolder();

// The in-process store of one file: every TRegistry on the same root shares
// it, so a write is seen at once by the others. Each read first reloads the
// file when it changed on disk (size, time or identity). A change holds a
// lock across processes (the file "<store>.lock" beside it), reads the file
// again, applies the change and writes the file atomically before letting
// go, so two programs writing settings at once lose nothing. Thread-safe.
class TRegStore {
public:
    explicit TRegStore(std::string fileName);
    TRegStore(const TRegStore&) = delete;
    TRegStore& operator=(const TRegStore&) = delete;

    const std::string& FileName() const { return FFileName; }

    // Runs fn on the current tree under the lock.
    void Read(const std::function<void(const TRegStoreKey& root)>& fn);
    // Runs fn on the current tree under the lock; fn returns whether its
    // operation succeeded and sets changed when it modified the tree. A
    // modified tree is written to the file; when that write fails the change
    // is dropped (the file is read again on the next access) and false is
    // returned.
    bool Update(const std::function<bool(TRegStoreKey& root, bool& changed)>& fn);

private:
    struct TStamp {
        bool Exists = false;
        std::uint64_t Size = 0, Device = 0, Inode = 0;
        std::int64_t ModifiedNs = 0, ChangedNs = 0;
        friend bool operator==(const TStamp&, const TStamp&) = default;
    };
    static TStamp StampOf(const std::string& fileName);
    void Refresh();
    bool Save();

    std::mutex FLock;
    std::string FFileName;
    TRegStoreKey FRoot;
    bool FLoaded = false;
    TStamp FStamp;
};

// The shared store of the file named after a root key ("HKEY_CURRENT_USER")
// in the current settings folder. Stores live until the process ends.
TRegStore& RegistryStoreFor(const std::string& rootName);
