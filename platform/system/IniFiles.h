#pragma once
// Ini files: "[Section]" lines followed by "Key=Value" lines.
//
// Section and key names are compared without regard to case (ASCII and the
// Latin-1 letters) and trimmed; values are trimmed, and reading strips one
// pair of surrounding quotes (single or double). Lines starting with ';' or
// '#', blank lines and any other line are kept as they stand when the file
// is written back. Where a name occurs twice, the first occurrence is the
// one read and written; erasing removes every occurrence. The file's line
// breaks (LF or CR LF) and a UTF-8 byte-order mark are kept; a new file gets
// LF.
//
// TIniFile writes every change through at once (atomically) and reads the
// file again when it changed on disk; TMemIniFile works on its copy until
// UpdateFile. Neither is meant to be shared between threads.
#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/system/IniValues.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TStrings;

QM_DECLARE_EXCEPTION(EIniFileException, Exception);

class TCustomIniFile : public TIniValues<TCustomIniFile, TObject> {
public:
    QM_CLASSNAME(TCustomIniFile)
    explicit TCustomIniFile(const std::string& FileName);
    ~TCustomIniFile() override;
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }

    // A key present with an empty value reads as "", a missing key as
    // Default.
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default);
    // Raises EIniFileException "Unable to write to <file>" when the names or
    // the value cannot be stored in an ini line (line breaks, '=' in a key,
    // ']' in a section) or, for TIniFile, when the file cannot be written.
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);
    // ReadInteger, WriteInteger, ReadBool and WriteBool: see IniValues.h.
    // Key names of a section, in file order.
    void ReadSection(const std::string& Section, TStrings* Strings);
    // Section names, in file order.
    void ReadSections(TStrings* Strings);
    // "Key=Value" lines of a section (values as ReadString gives them).
    void ReadSectionValues(const std::string& Section, TStrings* Strings);
    // True when the section holds at least one key.
    bool SectionExists(const std::string& Section);
    bool ValueExists(const std::string& Section, const std::string& Ident);
    void EraseSection(const std::string& Section);
    void DeleteKey(const std::string& Section, const std::string& Ident);
    // Writes the content to the file.
    virtual void UpdateFile();

protected:
    struct TEntry {
        std::string Raw;   // the line as written
        std::string Key;   // empty for lines that are not "Key=Value"
        std::string Value; // trimmed, quotes kept
    };
    struct TSection {
        std::string Name;
        std::string Raw; // the header line as written
        std::vector<TEntry> Entries;
    };

    // Called before every read and write; TIniFile reloads a changed file.
    virtual void BeforeAccess() {}
    // Called after every change; TIniFile writes the file.
    virtual void Changed() {}
    void Load();
    std::string Serialize() const;
    // Writes atomically; raises EFCreateError on failure.
    void Save();
    // The stamp of the file on disk (size, times, identity) when it was last
    // loaded or saved.
    bool FileChangedOnDisk() const;
    void RememberStamp();
    [[noreturn]] void WriteFailed() const;

    TSection* FindSection(std::string_view Name);
    TEntry* FindEntry(std::string_view Section, std::string_view Ident);
    // The key entries of a section as they read: the first of each name, in
    // file order.
    std::vector<const TEntry*> ReadEntries(const std::string& Section);

    std::string FFileName;
    std::vector<TEntry> FPreamble; // lines before the first section
    std::vector<TSection> FSections;
    std::string FLineBreak = "\n";
    bool FByteOrderMark = false;
    // Set when an existing file could not be read: writing would destroy it.
    bool FUnreadable = false;
    std::uint64_t FStamp[5] = {};
};

class TIniFile : public TCustomIniFile {
public:
    QM_CLASSNAME(TIniFile)
    explicit TIniFile(const std::string& FileName);
    // Raises EIniFileException "Unable to write to <file>" on failure.
    void UpdateFile() override;

protected:
    void BeforeAccess() override;
    void Changed() override;
};

class TMemIniFile : public TCustomIniFile {
public:
    QM_CLASSNAME(TMemIniFile)
    explicit TMemIniFile(const std::string& FileName);
    // Takes a new file name; with Reload the content is read from that file.
    void Rename(const std::string& FileName, bool Reload);
    // Raises EFCreateError on failure.
    void UpdateFile() override;
};
