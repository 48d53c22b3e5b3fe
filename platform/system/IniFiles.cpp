#include "platform/system/IniFiles.h"

#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "platform/base/Text.h"
#include "platform/classes/Strings.h"

#include <sys/stat.h>

#include <algorithm>

namespace {

// Ini files are small; a larger file is not one of ours.
constexpr std::uint64_t MaxIniFileSize = 16u << 20;

bool SameName(std::string_view a, std::string_view b) {
    return AnsiSameText(a, b);
}

std::string StripQuotes(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

TCustomIniFile::TCustomIniFile(const std::string& FileName) : FFileName(FileName) {}
TCustomIniFile::~TCustomIniFile() = default;

void TCustomIniFile::Load() {
    FPreamble.clear();
    FSections.clear();
    FUnreadable = false;
    FByteOrderMark = false;
    FLineBreak = "\n";
    RememberStamp();
    std::string bytes;
    if (!FileExists(FFileName)) return;
    if (!LoadFileBytes(FFileName, bytes, MaxIniFileSize)) {
        FUnreadable = true;
        return;
    }
    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) {
        FByteOrderMark = true;
        text.remove_prefix(3);
    }
    if (text.find("\r\n") != std::string_view::npos) FLineBreak = "\r\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::size_t next = text.size();
        if (end == std::string_view::npos)
            end = text.size();
        else
            next =
                end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        std::string_view line = text.substr(pos, end - pos);
        pos = next;
        std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::size_t close = trimmed.find(']');
            if (close != std::string::npos) {
                FSections.push_back(TSection{
                    Trim(std::string_view(trimmed).substr(1, close - 1)), std::string(line), {}});
                continue;
            }
        }
        TEntry entry{std::string(line), {}, {}};
        if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            std::size_t eq = trimmed.find('=');
            if (eq != std::string::npos && eq > 0) {
                entry.Key = Trim(std::string_view(trimmed).substr(0, eq));
                entry.Value = Trim(std::string_view(trimmed).substr(eq + 1));
            }
        }
        (FSections.empty() ? FPreamble : FSections.back().Entries).push_back(std::move(entry));
    }
}

std::string TCustomIniFile::Serialize() const {
    std::string out;
    if (FByteOrderMark) out = "\xEF\xBB\xBF";
    for (const auto& e : FPreamble)
        out += e.Raw + FLineBreak;
    for (const auto& s : FSections) {
        out += s.Raw + FLineBreak;
        for (const auto& e : s.Entries)
            out += e.Raw + FLineBreak;
    }
    return out;
}

void TCustomIniFile::Save() {
    // A file that could not be read is not overwritten with a partial copy.
    if (FUnreadable) throw EFCreateError("Cannot create file \"" + FFileName + "\".");
    SaveFileAtomic(FFileName, Serialize());
    RememberStamp();
}

namespace {
void StampOf(const std::string& name, std::uint64_t (&stamp)[5]) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) {
        std::fill(std::begin(stamp), std::end(stamp), 0);
        return;
    }
    stamp[0] = std::uint64_t(st.st_size) + 1;
    stamp[1] = std::uint64_t(st.st_ino);
    stamp[2] = std::uint64_t(st.st_dev);
    stamp[3] = std::uint64_t(st.st_mtim.tv_sec) * 1000000000u + std::uint64_t(st.st_mtim.tv_nsec);
    stamp[4] = std::uint64_t(st.st_ctim.tv_sec) * 1000000000u + std::uint64_t(st.st_ctim.tv_nsec);
}
} // namespace

bool TCustomIniFile::FileChangedOnDisk() const {
    std::uint64_t now[5];
    StampOf(FFileName, now);
    return !std::equal(std::begin(now), std::end(now), std::begin(FStamp));
}

void TCustomIniFile::RememberStamp() {
    StampOf(FFileName, FStamp);
}

void TCustomIniFile::WriteFailed() const {
    throw EIniFileException("Unable to write to " + FFileName);
}

TCustomIniFile::TSection* TCustomIniFile::FindSection(std::string_view Name) {
    std::string name = Trim(Name);
    for (auto& s : FSections)
        if (SameName(s.Name, name)) return &s;
    return nullptr;
}

TCustomIniFile::TEntry* TCustomIniFile::FindEntry(std::string_view Section,
                                                  std::string_view Ident) {
    TSection* s = FindSection(Section);
    if (!s) return nullptr;
    std::string ident = Trim(Ident);
    if (ident.empty()) return nullptr;
    for (auto& e : s->Entries)
        if (!e.Key.empty() && SameName(e.Key, ident)) return &e;
    return nullptr;
}

std::string TCustomIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                       const std::string& Default) {
    BeforeAccess();
    const TEntry* e = FindEntry(Section, Ident);
    return e ? StripQuotes(e->Value) : Default;
}

void TCustomIniFile::WriteString(const std::string& Section, const std::string& Ident,
                                 const std::string& Value) {
    std::string section = Trim(Section), ident = Trim(Ident);
    // Anything that would read back as another line or another name is
    // refused rather than written into the file.
    if (HasLineBreak(section) || section.find(']') != std::string::npos || ident.empty() ||
        HasLineBreak(ident) || ident.find('=') != std::string::npos || ident.front() == ';' ||
        ident.front() == '#' || ident.front() == '[' || HasLineBreak(Value))
        WriteFailed();
    BeforeAccess();
    if (FUnreadable) WriteFailed();
    std::string raw = ident + "=" + Value;
    if (TEntry* e = FindEntry(section, ident)) {
        e->Raw = raw;
        e->Value = Trim(Value);
    } else {
        TSection* s = FindSection(section);
        if (!s) {
            // A blank line between sections, as people write them.
            auto& last = FSections.empty() ? FPreamble : FSections.back().Entries;
            if (!last.empty() && !Trim(last.back().Raw).empty()) last.push_back(TEntry{});
            FSections.push_back(TSection{section, "[" + section + "]", {}});
            s = &FSections.back();
        }
        // After the section's last key, so that blank lines and comments
        // before the next section stay there; in a section without keys,
        // after its leading comments.
        auto at = s->Entries.end();
        auto lastKey = std::find_if(s->Entries.rbegin(), s->Entries.rend(),
                                    [](const TEntry& e) { return !e.Key.empty(); });
        if (lastKey != s->Entries.rend()) {
            at = lastKey.base();
        } else {
            while (at != s->Entries.begin() && Trim(std::prev(at)->Raw).empty())
                --at;
        }
        s->Entries.insert(at, TEntry{raw, ident, Trim(Value)});
    }
    Changed();
}

std::vector<const TCustomIniFile::TEntry*> TCustomIniFile::ReadEntries(const std::string& Section) {
    BeforeAccess();
    std::vector<const TEntry*> read;
    TSection* s = FindSection(Section);
    if (!s) return read;
    for (const auto& e : s->Entries) {
        if (e.Key.empty()) continue;
        if (std::any_of(read.begin(), read.end(),
                        [&](const TEntry* r) { return SameName(r->Key, e.Key); }))
            continue;
        read.push_back(&e);
    }
    return read;
}

void TCustomIniFile::ReadSection(const std::string& Section, TStrings* Strings) {
    std::vector<const TEntry*> entries = ReadEntries(Section);
    Strings->Clear();
    for (const TEntry* e : entries)
        Strings->Add(e->Key);
}

void TCustomIniFile::ReadSections(TStrings* Strings) {
    BeforeAccess();
    Strings->Clear();
    std::vector<std::string> seen;
    for (const auto& s : FSections) {
        if (std::any_of(seen.begin(), seen.end(),
                        [&](const std::string& n) { return SameName(n, s.Name); }))
            continue;
        seen.push_back(s.Name);
        Strings->Add(s.Name);
    }
}

void TCustomIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) {
    std::vector<const TEntry*> entries = ReadEntries(Section);
    Strings->Clear();
    for (const TEntry* e : entries)
        Strings->Add(e->Key + "=" + StripQuotes(e->Value));
}

bool TCustomIniFile::SectionExists(const std::string& Section) {
    BeforeAccess();
    TSection* s = FindSection(Section);
    return s && std::any_of(s->Entries.begin(), s->Entries.end(),
                            [](const TEntry& e) { return !e.Key.empty(); });
}

bool TCustomIniFile::ValueExists(const std::string& Section, const std::string& Ident) {
    BeforeAccess();
    return FindEntry(Section, Ident) != nullptr;
}

void TCustomIniFile::EraseSection(const std::string& Section) {
    BeforeAccess();
    std::string name = Trim(Section);
    auto matches = [&](const TSection& s) { return SameName(s.Name, name); };
    if (std::none_of(FSections.begin(), FSections.end(), matches)) return;
    if (FUnreadable) WriteFailed();
    FSections.erase(std::remove_if(FSections.begin(), FSections.end(), matches), FSections.end());
    Changed();
}

void TCustomIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    BeforeAccess();
    std::string ident = Trim(Ident);
    std::string name = Trim(Section);
    bool removed = false;
    for (auto& s : FSections) {
        if (!SameName(s.Name, name)) continue;
        auto end = std::remove_if(s.Entries.begin(), s.Entries.end(), [&](const TEntry& e) {
            return !e.Key.empty() && SameName(e.Key, ident);
        });
        removed = removed || end != s.Entries.end();
        s.Entries.erase(end, s.Entries.end());
    }
    if (removed) Changed();
}

void TCustomIniFile::UpdateFile() {
    Save();
}

// ---------------------------------------------------------------------------

TIniFile::TIniFile(const std::string& FileName) : TCustomIniFile(FileName) {
    Load();
}

void TIniFile::BeforeAccess() {
    if (FileChangedOnDisk()) Load();
}

void TIniFile::Changed() {
    try {
        Save();
    } catch (const Exception&) {
        // What is in memory no longer matches the file: read it again next
        // time.
        std::fill(std::begin(FStamp), std::end(FStamp), ~std::uint64_t(0));
        WriteFailed();
    }
}

void TIniFile::UpdateFile() {
    BeforeAccess();
    try {
        Save();
    } catch (const Exception&) {
        WriteFailed();
    }
}

TMemIniFile::TMemIniFile(const std::string& FileName) : TCustomIniFile(FileName) {
    Load();
}

void TMemIniFile::Rename(const std::string& FileName, bool Reload) {
    FFileName = FileName;
    if (Reload) Load();
}

void TMemIniFile::UpdateFile() {
    TCustomIniFile::UpdateFile();
}
