#include "platform/system/RegistryStore.h"

#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/base/Text.h"

#include <sys/stat.h>

#include <cstdlib>
#include <utility>

// ---------------------------------------------------------------------------
// Names

std::string RegFoldName(std::string_view name) {
    return AnsiLowerCase(name);
}

bool RegSameName(std::string_view a, std::string_view b) {
    return RegFoldName(a) == RegFoldName(b);
}

bool RegSplitPath(std::string_view path, std::vector<std::string>& segments) {
    segments.clear();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) {
            if (end - start > RegMaxKeyNameLength) return false;
            if (segments.size() >= RegMaxKeyDepth) return false;
            segments.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Tree

TRegStoreKey* TRegStoreKey::FindSubKey(std::string_view name) const {
    auto it = SubKeys.find(RegFoldName(name));
    return it == SubKeys.end() ? nullptr : it->second.get();
}

TRegStoreKey* TRegStoreKey::AddSubKey(std::string_view name) {
    auto& slot = SubKeys[RegFoldName(name)];
    if (!slot) {
        slot = std::make_unique<TRegStoreKey>();
        slot->Name = std::string(name);
    }
    return slot.get();
}

bool TRegStoreKey::DeleteSubKey(std::string_view name) {
    return SubKeys.erase(RegFoldName(name)) > 0;
}

const TRegStoreValue* TRegStoreKey::FindValue(std::string_view name) const {
    auto it = FValueIndex.find(RegFoldName(name));
    return it == FValueIndex.end() ? nullptr : &FValues[it->second];
}

TRegStoreValue* TRegStoreKey::FindValue(std::string_view name) {
    return const_cast<TRegStoreValue*>(std::as_const(*this).FindValue(name));
}

void TRegStoreKey::SetValue(std::string_view name, Cardinal type, std::string data) {
    auto [it, added] = FValueIndex.try_emplace(RegFoldName(name), FValues.size());
    if (!added) {
        FValues[it->second].Type = type;
        FValues[it->second].Data = std::move(data);
        return;
    }
    FValues.push_back(TRegStoreValue{std::string(name), type, std::move(data)});
}

bool TRegStoreKey::DeleteValue(std::string_view name) {
    auto it = FValueIndex.find(RegFoldName(name));
    if (it == FValueIndex.end()) return false;
    std::size_t index = it->second;
    FValueIndex.erase(it);
    FValues.erase(FValues.begin() + std::ptrdiff_t(index));
    for (auto& entry : FValueIndex)
        if (entry.second > index) --entry.second;
    return true;
}

void TRegStoreKey::CopyContentFrom(const TRegStoreKey& source) {
    for (const auto& v : source.FValues)
        SetValue(v.Name, v.Type, v.Data);
    for (const auto& [folded, sub] : source.SubKeys)
        AddSubKey(sub->Name)->CopyContentFrom(*sub);
}

void TRegStoreKey::Clear() {
    FValues.clear();
    FValueIndex.clear();
    SubKeys.clear();
}

TRegStoreKey* TRegStoreKey::Find(const std::vector<std::string>& path) {
    TRegStoreKey* key = this;
    for (const auto& segment : path) {
        key = key->FindSubKey(segment);
        if (!key) return nullptr;
    }
    return key;
}

const TRegStoreKey* TRegStoreKey::Find(const std::vector<std::string>& path) const {
    return const_cast<TRegStoreKey*>(this)->Find(path);
}

// ---------------------------------------------------------------------------
// Text format

namespace {

constexpr std::string_view Signature = "QuillomarkRegistry 1";
constexpr char HexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Length of the valid UTF-8 sequence starting at s[i], 0 when invalid.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points above U+10FFFF are invalid.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

void AppendEscaped(std::string& out, std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            if (std::size_t n = Utf8SequenceLength(s, i)) {
                out.append(s.substr(i, n));
                i += n;
                continue;
            }
        } else if (c >= 0x20 && c != 0x7F && c != '%' && c != '"') {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        out.push_back('%');
        out.push_back(HexDigits[c >> 4]);
        out.push_back(HexDigits[c & 15]);
        ++i;
    }
}

void AppendQuoted(std::string& out, std::string_view s) {
    out.push_back('"');
    AppendEscaped(out, s);
    out.push_back('"');
}

void AppendHex(std::string& out, std::string_view bytes) {
    for (unsigned char c : bytes) {
        out.push_back(HexDigits[c >> 4]);
        out.push_back(HexDigits[c & 15]);
    }
}

void SerializeKey(std::string& out, const TRegStoreKey& key, std::string& path) {
    if (!path.empty() || !key.Values().empty()) {
        out.push_back('[');
        AppendEscaped(out, path);
        out += "]\n";
    }
    for (const auto& v : key.Values()) {
        if (v.Name.empty())
            out.push_back('@');
        else
            AppendQuoted(out, v.Name);
        out.push_back('=');
        switch (v.Type) {
        case REG_SZ:
            out += "sz:";
            AppendQuoted(out, v.Data);
            break;
        case REG_EXPAND_SZ:
            out += "expand:";
            AppendQuoted(out, v.Data);
            break;
        case REG_DWORD: {
            std::uint32_t d = 0;
            for (std::size_t k = 0; k < 4 && k < v.Data.size(); ++k)
                d |= std::uint32_t(static_cast<unsigned char>(v.Data[k])) << (8 * k);
            out += "dword:";
            for (int shift = 28; shift >= 0; shift -= 4)
                out.push_back(HexDigits[(d >> shift) & 15]);
            break;
        }
        default:
            out += "hex:";
            AppendHex(out, v.Data);
            break;
        }
        out.push_back('\n');
    }
    for (const auto& [folded, sub] : key.SubKeys) {
        std::size_t keep = path.size();
        if (!path.empty()) path.push_back('\\');
        path += sub->Name;
        SerializeKey(out, *sub, path);
        path.resize(keep);
    }
}

// Reads a quoted string at line[pos] ('"' expected), unescaping %HH; pos
// ends after the closing quote.
bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out,
                 std::uint64_t maxLength) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
        if (c == '%') {
            if (pos + 2 >= line.size()) return false;
            int hi = HexValue(line[pos + 1]), lo = HexValue(line[pos + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            pos += 3;
        } else {
            ++pos;
        }
        if (out.size() >= maxLength) return false;
        out.push_back(c);
    }
    return false;
}

bool ParseKeyLine(std::string_view line, std::vector<std::string>& path) {
    // "[" path "]": the last character closes it, so a ']' inside a name needs
    // no escape.
    if (line.size() < 2 || line.back() != ']') return false;
    std::string_view body = line.substr(1, line.size() - 2);
    std::string unescaped;
    unescaped.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '"') return false;
        if (c == '%') {
            if (i + 2 >= body.size()) return false;
            int hi = HexValue(body[i + 1]), lo = HexValue(body[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            // An escaped backslash would be a name holding the separator.
            if (c == '\\') return false;
            i += 2;
        }
        unescaped.push_back(c);
    }
    // Empty segments ("a\\b") are not written by the store: refuse them.
    if (!unescaped.empty() && (unescaped.front() == '\\' || unescaped.back() == '\\' ||
                               unescaped.find("\\\\") != std::string::npos))
        return false;
    return RegSplitPath(unescaped, path);
}

bool ParseValueLine(std::string_view line, TRegStoreKey& key) {
    std::size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, pos, name, RegMaxValueNameLength) || name.empty()) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    std::size_t colon = line.find(':', pos);
    if (colon == std::string_view::npos) return false;
    std::string_view type = line.substr(pos, colon - pos);
    std::string_view rest = line.substr(colon + 1);
    std::string data;
    Cardinal regType;
    if (type == "sz" || type == "expand") {
        regType = type == "sz" ? REG_SZ : REG_EXPAND_SZ;
        std::size_t p = 0;
        if (!ParseQuoted(rest, p, data, RegMaxValueSize) || p != rest.size()) return false;
    } else if (type == "dword") {
        if (rest.size() != 8) return false;
        std::uint32_t d = 0;
        for (char c : rest) {
            int h = HexValue(c);
            if (h < 0) return false;
            d = (d << 4) | std::uint32_t(h);
        }
        regType = REG_DWORD;
        for (int k = 0; k < 4; ++k)
            data.push_back(static_cast<char>((d >> (8 * k)) & 0xFF));
    } else if (type == "hex") {
        if (rest.size() % 2 != 0 || rest.size() / 2 > RegMaxValueSize) return false;
        data.reserve(rest.size() / 2);
        for (std::size_t i = 0; i < rest.size(); i += 2) {
            int hi = HexValue(rest[i]), lo = HexValue(rest[i + 1]);
            if (hi < 0 || lo < 0) return false;
            data.push_back(static_cast<char>(hi * 16 + lo));
        }
        regType = REG_BINARY;
    } else {
        return false;
    }
    key.SetValue(name, regType, std::move(data));
    return true;
}

} // namespace

bool ParseRegistryStore(std::string_view bytes, TRegStoreKey& root) {
    root.Clear();
    if (bytes.size() > RegMaxFileSize) return false;
    // A byte-order mark put in front by a text editor.
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    bool valid = true;
    std::size_t pos = 0;
    bool first = true;
    // The key the value lines go to; null after a damaged key line, whose
    // values have no sure place and are dropped with it.
    TRegStoreKey* current = &root;
    std::vector<std::string> path;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        // A last line without its LF is a truncated write: drop it.
        if (end == std::string_view::npos) return false;
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) {
            first = false;
            if (line == Signature) continue;
            valid = false; // a damaged signature costs only itself
        }
        if (line.empty() || line[0] == '#') continue;
        // A damaged line loses only itself: everything else is kept, so that
        // the next write does not delete the settings after it.
        if (line[0] == '[') {
            if (ParseKeyLine(line, path)) {
                current = &root;
                for (const auto& segment : path)
                    current = current->AddSubKey(segment);
            } else {
                current = nullptr;
                valid = false;
            }
        } else if (line[0] == '@' || line[0] == '"') {
            if (!current || !ParseValueLine(line, *current)) valid = false;
        } else {
            valid = false;
        }
    }
    return valid && (!first || bytes.empty());
}

std::string SerializeRegistryStore(const TRegStoreKey& root) {
    std::string out(Signature);
    out.push_back('\n');
    std::string path;
    SerializeKey(out, root, path);
    return out;
}

// ---------------------------------------------------------------------------
// Shared stores

std::string RegistryStoreFolder() {
    auto nonEmpty = [](const char* name) -> const char* {
        const char* v = std::getenv(name);
        return v && *v ? v : nullptr;
    };
    std::string folder;
    if (const char* dir = nonEmpty("QUILLOMARK_CONFIG_DIR")) {
        folder = dir;
    } else if (const char* xdg = nonEmpty("XDG_CONFIG_HOME")) {
        folder = std::string(xdg) + "/quillomark";
    } else if (const char* home = nonEmpty("HOME")) {
        folder = std::string(home) + "/.config/quillomark";
    } else {
        folder = ".config/quillomark";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

TRegStore::TRegStore(std::string fileName) : FFileName(std::move(fileName)) {}

TRegStore::TStamp TRegStore::StampOf(const std::string& fileName) {
    TStamp s;
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) return s;
    s.Exists = true;
    s.Size = std::uint64_t(st.st_size);
    s.Device = std::uint64_t(st.st_dev);
    s.Inode = std::uint64_t(st.st_ino);
    s.ModifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ChangedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

void TRegStore::Refresh() {
    TStamp now = StampOf(FFileName);
    if (FLoaded && now == FStamp) return;
    FRoot.Clear();
    if (now.Exists) {
        std::string bytes;
        // A file over the size cap counts as damaged from its first byte.
        if (LoadFileBytes(FFileName, bytes, RegMaxFileSize)) ParseRegistryStore(bytes, FRoot);
    }
    FStamp = now;
    FLoaded = true;
}

bool TRegStore::Save() {
    try {
        SaveFileAtomic(FFileName, SerializeRegistryStore(FRoot));
    } catch (const Exception&) {
        return false;
    }
    // Taken under the lock across processes, so no other writer can slip in
    // between the rename and this look.
    FStamp = StampOf(FFileName);
    return true;
}

void TRegStore::Read(const std::function<void(const TRegStoreKey& root)>& fn) {
    std::lock_guard lock(FLock);
    Refresh();
    fn(FRoot);
}

bool TRegStore::Update(const std::function<bool(TRegStoreKey& root, bool& changed)>& fn) {
    std::lock_guard lock(FLock);
    // Another process may write the same file: the change is made on what
    // the file holds now and written back before the other may read it, so
    // neither loses the other's values.
    std::string folder = ExtractFileDir(FFileName);
    if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder)) return false;
    TFileLock across(FFileName + ".lock");
    if (!across.Locked()) return false;
    FLoaded = false;
    Refresh();
    bool changed = false;
    bool ok = fn(FRoot, changed);
    if (!changed) return ok;
    if (!Save()) {
        // The tree in memory no longer matches the file: drop the change.
        FLoaded = false;
        return false;
    }
    return ok;
}

TRegStore& RegistryStoreFor(const std::string& rootName) {
    // Deliberately never destroyed: a TRegistry may still be used while
    // static objects are torn down at exit.
    static std::mutex* lock = new std::mutex;
    static auto* stores = new std::map<std::string, std::unique_ptr<TRegStore>>;
    std::string fileName = RegistryStoreFolder() + "/" + rootName + ".qmreg";
    std::lock_guard guard(*lock);
    auto& slot = (*stores)[fileName];
    if (!slot) slot = std::make_unique<TRegStore>(fileName);
    return *slot;
}
