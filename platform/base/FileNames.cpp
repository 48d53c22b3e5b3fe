#include "platform/base/FileNames.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::size_t LastDelimiter(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsPathDelimiter(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

// Position of the extension's dot, or npos when the name part has none.
std::size_t ExtensionDot(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        char c = path[i - 1];
        if (c == '.') return i - 1;
        if (IsPathDelimiter(c)) break;
    }
    return std::string_view::npos;
}

std::string SystemMessage(int err) {
    char buf[256];
    // The GNU strerror_r may return a static string instead of filling buf.
    const char* msg = strerror_r(err, buf, sizeof buf);
    return msg ? msg : "Unknown error";
}

[[noreturn]] void CannotCreate(const std::string& path, int err) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + SystemMessage(err));
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool IsPathDelimiter(char c) {
    return c == '/' || c == '\\';
}

std::string ExtractFileName(std::string_view path) {
    std::size_t d = LastDelimiter(path);
    return std::string(d == std::string_view::npos ? path : path.substr(d + 1));
}

std::string ExtractFilePath(std::string_view path) {
    std::size_t d = LastDelimiter(path);
    return d == std::string_view::npos ? std::string() : std::string(path.substr(0, d + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::string dir = ExtractFilePath(path);
    // Keep the delimiter of a root ("/", "C:\") or of a doubled delimiter.
    if (dir.size() > 1 && !IsPathDelimiter(dir[dir.size() - 2]) && dir[dir.size() - 2] != ':')
        dir.pop_back();
    return dir;
}

std::string ExtractFileExt(std::string_view path) {
    std::size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::size_t dot = ExtensionDot(path);
    std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
    out += ext;
    return out;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
    std::string out(path);
    if (out.empty() || !IsPathDelimiter(out.back())) out += PathDelim;
    return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
    std::string out(path);
    if (!out.empty() && IsPathDelimiter(out.back())) out.pop_back();
    return out;
}

std::string ExpandFileName(std::string_view path) {
    std::string full;
    if (path.empty() || !IsPathDelimiter(path[0])) {
        std::vector<char> buf(4096);
        while (!::getcwd(buf.data(), buf.size())) {
            if (errno != ERANGE || buf.size() > (1u << 20)) {
                buf.assign(1, '\0');
                break;
            }
            buf.resize(buf.size() * 2);
        }
        full = buf.data();
        full += PathDelim;
    }
    full += path;
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= full.size()) {
        std::size_t j = i;
        while (j < full.size() && !IsPathDelimiter(full[j]))
            ++j;
        std::string part = full.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += PathDelim + p;
    if (out.empty()) out = "/";
    // A name given with a trailing delimiter names a folder: keep it.
    if (!path.empty() && IsPathDelimiter(path.back()) && out != "/") out += PathDelim;
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
    std::string dir = ExcludeTrailingPathDelimiter(path);
    if (dir.empty()) return DirectoryExists("/") && !path.empty();
    if (DirectoryExists(dir)) return true;
    std::string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
    return ::mkdir(dir.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(dir));
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
    return ::rename(oldName.c_str(), newName.c_str()) == 0;
}

std::string ApplicationExeName() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < buf.size()) {
            std::string exe(buf.data(), std::size_t(n));
            // A program file replaced while the program runs (an update) is
            // named with this mark: without it the program keeps its own
            // name, and its settings their key.
            const std::string_view replaced = " (deleted)";
            if (exe.size() > replaced.size() && exe.ends_with(replaced) && !FileExists(exe))
                exe.resize(exe.size() - replaced.size());
            return exe;
        }
        if (buf.size() >= (1u << 20)) return std::string();
        buf.resize(buf.size() * 2);
    }
}

std::string ApplicationFolder() {
    std::string exe = ApplicationExeName();
    return exe.empty() ? IncludeTrailingPathDelimiter(ExpandFileName(".")) : ExtractFilePath(exe);
}

std::string TempFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = (t && *t) ? t : "/tmp";
    return IncludeTrailingPathDelimiter(dir);
}

std::string ResolveFileLinks(const std::string& path) {
    std::string current = path;
    // The same bound on a chain of links as the system's.
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
        if (n < 0 || std::size_t(n) >= buf.size()) return current;
        std::string target(buf.data(), std::size_t(n));
        if (target.empty()) return current;
        current = target[0] == '/' ? target : ExtractFilePath(current) + target;
    }
    return current;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // The mode bits count even for a user the system lets write anyway: a
    // file nobody may write was protected on purpose.
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::string AtomicSaveTempName(const std::string& target) {
    // One short name per target: a long target name still leaves room, and a
    // save killed half-way leaves at most this one file, which the next save
    // of the same target takes over.
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : ExtractFileName(target)) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char hex[] = "0123456789abcdef";
    std::string name = ExtractFilePath(target) + ".~";
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(hex[(h >> shift) & 15]);
    return name + ".qmtmp";
}

namespace {

// Takes the exclusive lock of fd, waiting for its present holder at most
// LockPatienceMs: a program that hangs while holding it (stopped in a
// debugger, stuck on a dead network drive) must not freeze this one. Fails
// with ETIMEDOUT when the wait runs out.
constexpr int LockPatienceMs = 20000;

bool LockWithin(int fd) {
    for (int waited = 0;; waited += 5) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (waited >= LockPatienceMs) {
            errno = ETIMEDOUT;
            return false;
        }
        ::usleep(5000);
    }
}

} // namespace

TFileLock::TFileLock(const std::string& path) {
    FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (FFd >= 0 && !LockWithin(FFd)) {
        ::close(FFd);
        FFd = -1;
    }
}

TFileLock::~TFileLock() {
    if (FFd >= 0) ::close(FFd); // closing releases the lock
}

namespace {

// Opens and locks the temporary file of a save. The lock orders two saves of
// the same target; a file that was renamed over the target while we waited
// is no longer the temporary, so the open starts again.
int OpenLockedTemp(const std::string& tmp) {
    for (;;) {
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) return -1;
        const int rc = LockWithin(fd) ? 0 : -1;
        struct stat held, named;
        if (rc == 0 && ::fstat(fd, &held) == 0 && ::lstat(tmp.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        const int err = errno;
        ::close(fd);
        if (rc != 0) {
            errno = err;
            return -1;
        }
    }
}

} // namespace

void SaveFileAtomic(const std::string& path, std::string_view bytes) {
    if (path.empty() || IsPathDelimiter(path.back())) CannotCreate(path, EISDIR);
    // Through a link the file it names is replaced; the link stays.
    const std::string target = ResolveFileLinks(path);
    // rename() would replace a file its owner protected from writing.
    if (IsReadOnlyFile(target)) CannotCreate(path, EACCES);
    const std::string tmp = AtomicSaveTempName(target);
    // open() with mode 0666 lets the umask decide the mode of a new file
    // (mkstemp would force 0600, and reading the umask means changing it,
    // which races with other threads).
    const int fd = OpenLockedTemp(tmp);
    if (fd < 0) CannotCreate(path, errno);
    int err = 0;
    if (::ftruncate(fd, 0) != 0) err = errno;
    // Replacing a file keeps its permissions.
    struct stat st;
    if (!err && ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::fchmod(fd, st.st_mode & 07777) != 0)
        err = errno;
    if (!err && !WriteAll(fd, bytes)) err = errno;
    if (!err && ::fsync(fd) != 0) err = errno;
    // Renamed and removed while still locked, so that no other save writes
    // into it meanwhile.
    if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err) ::unlink(tmp.c_str());
    if (::close(fd) != 0 && !err) err = errno;
    if (err) CannotCreate(path, err);
    // Make the rename itself durable.
    std::string dir = ExtractFileDir(target);
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool LoadFileBytes(const std::string& path, std::string& out, std::uint64_t maxSize) {
    out.clear();
    // Without O_NONBLOCK, opening a pipe that stands under the name would
    // wait for a writer, for ever; it only changes how pipes read, and they
    // are refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    // errno tells the caller why the file was refused.
    struct stat st;
    int refused = 0;
    if (::fstat(fd, &st) != 0)
        refused = errno;
    else if (!S_ISREG(st.st_mode))
        refused = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else if (static_cast<std::uint64_t>(st.st_size) > maxSize)
        refused = EFBIG;
    if (refused) {
        ::close(fd);
        errno = refused;
        return false;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            refused = errno;
            ok = false;
            break;
        }
        if (n == 0) break;
        // The file may grow while we read it.
        if (data.size() + static_cast<std::uint64_t>(n) > maxSize) {
            refused = EFBIG;
            ok = false;
            break;
        }
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (ok) out = std::move(data);
    errno = refused;
    return ok;
}

void LoadFileBytesOrRaise(const std::string& path, std::string& out, std::uint64_t maxSize) {
    if (!LoadFileBytes(path, out, maxSize))
        throw EFOpenError("Cannot open file \"" + path + "\". " + SystemMessage(errno));
}
