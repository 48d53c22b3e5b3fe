#pragma once
// File-name helpers and the few file-system services the program uses.
// When splitting names both '/' and '\\' are delimiters (documents made on
// other systems carry backslashes); '/' is the delimiter this program writes.
#include "platform/base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>

constexpr char PathDelim = '/';

bool IsPathDelimiter(char c);
// "dir/name.ext" -> "name.ext".
std::string ExtractFileName(std::string_view path);
// "dir/name.ext" -> "dir/" (with the trailing delimiter; "" when none).
std::string ExtractFilePath(std::string_view path);
// "dir/name.ext" -> "dir" (without the trailing delimiter, except for the
// root "/").
std::string ExtractFileDir(std::string_view path);
// "dir/name.ext" -> ".ext"; "" when the name has no dot. A dot in a folder
// name does not count.
std::string ExtractFileExt(std::string_view path);
// Replaces (or appends, or removes with "") the extension; ext includes the
// dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// Absolute, normalised path (".", ".." and repeated delimiters removed);
// relative names are taken from the current folder.
std::string ExpandFileName(std::string_view path);

// True for an existing regular file (following links).
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder and its missing parents; false on failure.
bool ForceDirectories(const std::string& path);
bool DeleteFile(const std::string& path);
// Replaces an existing newName, as rename(2) does.
bool RenameFile(const std::string& oldName, const std::string& newName);

// The full path of the running executable.
std::string ApplicationExeName();
// Its folder, with a trailing '/'.
std::string ApplicationFolder();
// The temporary folder ($TMPDIR or /tmp), with a trailing '/'.
std::string TempFolder();

// Writes bytes to a temporary file in the target's folder, flushes it to
// disk and renames it over the target, so readers see either the old or the
// new content. A symbolic link is followed: the file it names is replaced.
// A target without write permission is refused (EACCES). The temporary file
// has one short name per target (AtomicSaveTempName), is locked while in use,
// and a temporary left by a killed save is taken over by the next save.
// Raises EFCreateError "Cannot create file \"<path>\". <system message>" on
// failure and leaves no temporary file behind.
void SaveFileAtomic(const std::string& path, std::string_view bytes);
// The file a chain of symbolic links ends at (path itself when it is no link;
// the last name of a dangling chain).
std::string ResolveFileLinks(const std::string& path);
// True for an existing regular file that may not be written (no write
// permission bit, or none for this user).
bool IsReadOnlyFile(const std::string& path);
// "<folder>/.~<16 hexadecimal digits>.qmtmp", derived from the name.
std::string AtomicSaveTempName(const std::string& target);

// An exclusive lock held by one process (or one owner in a process) at a
// time: the lock file is created when missing and locked, waiting for the
// present holder (20 seconds at most); released when destroyed. Locked() is
// false when the file could not be opened or the wait ran out.
class TFileLock {
public:
    explicit TFileLock(const std::string& path);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Locked() const { return FFd >= 0; }

private:
    int FFd = -1;
};

// Reads a whole file into out. False when it cannot be opened or read, or is
// larger than maxSize bytes (out is then empty).
// errno then tells why (EFBIG for a file over maxSize).
bool LoadFileBytes(const std::string& path, std::string& out, std::uint64_t maxSize);
// The same, raising EFOpenError "Cannot open file "<path>". <reason>" on failure.
void LoadFileBytesOrRaise(const std::string& path, std::string& out, std::uint64_t maxSize);
