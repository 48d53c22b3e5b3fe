#include "syscomp/FileOperation.h"

#include "platform/base/FileNames.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Strings.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>

namespace fs = std::filesystem;

namespace {

bool HasWildcard(std::string_view s) {
    return s.find_first_of("*?") != std::string_view::npos;
}

std::size_t LastDelimiter(std::string_view s) {
    return s.find_last_of("\\:/");
}

std::string FolderPart(std::string_view s) {
    std::size_t p = LastDelimiter(s);
    return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p + 1));
}

std::string NamePart(std::string_view s) {
    std::size_t p = LastDelimiter(s);
    return std::string(p == std::string_view::npos ? s : s.substr(p + 1));
}

void SplitName(const std::string& name, std::string& stem, std::string& ext) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        stem = name;
        ext.clear();
    } else {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
}

std::string CollapseDelimiters(std::string s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!(c == '/' && !out.empty() && out.back() == '/')) out += c;
    return out;
}

int CodeOf(const std::error_code& ec) {
    return ec ? (ec.value() != 0 ? ec.value() : EIO) : 0;
}

struct TItem {
    fs::path Source;
    fs::path Target; // empty for deletions
};

class TRequest {
public:
    TRequest(TSysFileOperationType Operation, TSysFileOperationFlags Options)
        : FOperation(Operation), FOptions(Options) {}

    int Run(const std::vector<TItem>& Items);

private:
    bool Has(TSysFileOperationFlag F) const { return (FOptions & SysFileFlag(F)) != 0; }
    int Transfer(const fs::path& Source, fs::path Target);
    int CopyTree(const fs::path& Source, const fs::path& Target, bool Replace);
    int MoveToTrash(const fs::path& Source);

    TSysFileOperationType FOperation;
    TSysFileOperationFlags FOptions;
};

fs::path FreeName(const fs::path& Target) {
    std::error_code ec;
    const bool dir = fs::is_directory(Target, ec);
    std::string name = Target.filename().string(), stem, ext;
    if (dir) {
        stem = name;
    } else {
        SplitName(name, stem, ext);
    }
    for (int n = 2;; ++n) {
        fs::path p = Target.parent_path() / (stem + " (" + std::to_string(n) + ")" + ext);
        if (!fs::exists(fs::symlink_status(p, ec))) return p;
    }
}

bool Inside(const fs::path& Child, const fs::path& Parent) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(Child, ec), p = fs::weakly_canonical(Parent, ec);
    auto [pe, ce] = std::mismatch(p.begin(), p.end(), c.begin(), c.end());
    return pe == p.end();
}

int TRequest::CopyTree(const fs::path& Source, const fs::path& Target, bool Replace) {
    std::error_code ec;
    fs::copy_options o = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    if (Replace) o |= fs::copy_options::overwrite_existing;
    if (fs::is_directory(fs::symlink_status(Source, ec))) fs::create_directories(Target, ec);
    if (ec) return CodeOf(ec);
    fs::copy(Source, Target, o, ec);
    return CodeOf(ec);
}

int TRequest::Transfer(const fs::path& Source, fs::path Target) {
    std::error_code ec;
    const auto st = fs::symlink_status(Source, ec);
    if (!fs::exists(st)) return ENOENT;

    // Moving or renaming an item onto itself would do nothing (or, under
    // fofRenameCollision, rename it): refused, not reported as done.
    if (FOperation != fotCopy && fs::equivalent(Source, Target, ec)) return EINVAL;
    bool replace = false;
    if (fs::exists(fs::symlink_status(Target, ec))) {
        if (Has(fofRenameCollision))
            Target = FreeName(Target);
        else if (Has(fofNoConfirmation) && !fs::equivalent(Source, Target, ec))
            replace = true;
        else
            return EEXIST;
    }
    if (fs::is_directory(st) && Inside(Target, Source)) return EINVAL;
    if (Target.has_parent_path()) {
        fs::create_directories(Target.parent_path(), ec);
        if (ec) return CodeOf(ec);
    }

    if (FOperation == fotCopy) return CopyTree(Source, Target, replace);

    // Move and rename: a rename when the file system allows it, else a copy
    // followed by the removal of the source.
    ec.clear();
    if (!replace || !fs::is_directory(Target, ec)) {
        ec.clear();
        fs::rename(Source, Target, ec);
        if (!ec) return 0;
        if (ec.value() != EXDEV && ec.value() != ENOTEMPTY && ec.value() != EEXIST)
            return CodeOf(ec);
    }
    if (int code = CopyTree(Source, Target, replace)) return code;
    fs::remove_all(Source, ec);
    return CodeOf(ec);
}

std::string PercentEncodePath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-_.~", c))
            out += char(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

fs::path TrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return fs::path(data) / "Trash";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local/share/Trash";
}

int TRequest::MoveToTrash(const fs::path& Source) {
    std::error_code ec;
    const fs::path trash = TrashFolder();
    fs::create_directories(trash / "files", ec);
    if (!ec) fs::create_directories(trash / "info", ec);
    if (ec) return CodeOf(ec);

    const fs::path absolute = fs::absolute(Source, ec);
    const std::string base = Source.filename().string();
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const fs::path info = trash / "info" / (name + ".trashinfo");
        // The info file reserves the name: created exclusively, so two
        // deletions never take the same slot.
        int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        char when[32];
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &tm);
        const std::string text = "[Trash Info]\nPath=" + PercentEncodePath(absolute.string()) +
                                 "\nDeletionDate=" + when + "\n";
        const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ::close(fd);
        const fs::path target = trash / "files" / name;
        // A file left in the trash without its info file (another program's
        // half-done deletion) keeps its name: this one takes the next.
        if (written && fs::exists(fs::symlink_status(target, ec))) {
            fs::remove(info, ec);
            continue;
        }
        int code = written ? 0 : EIO;
        if (!code) {
            fs::rename(Source, target, ec);
            if (ec && ec.value() == EXDEV) {
                code = CopyTree(Source, target, false);
                if (!code)
                    fs::remove_all(Source, ec);
                else
                    fs::remove_all(target, ec);
                ec.clear();
            } else {
                code = CodeOf(ec);
            }
        }
        if (code) fs::remove(info, ec);
        return code;
    }
    return EEXIST;
}

int TRequest::Run(const std::vector<TItem>& Items) {
    for (const TItem& item : Items) {
        int code = 0;
        std::error_code ec;
        if (FOperation == fotDelete) {
            if (!fs::exists(fs::symlink_status(item.Source, ec)))
                code = ENOENT;
            else if (Has(fofAllowUndo))
                code = MoveToTrash(item.Source);
            else {
                fs::remove_all(item.Source, ec);
                code = CodeOf(ec);
            }
        } else {
            code = Transfer(item.Source, item.Target);
        }
        if (code) return code;
    }
    return 0;
}

// Expands a source whose name holds wildcards; a plain source is kept as it
// is (its absence is reported when it is used).
void Expand(const std::string& Source, bool FilesOnly, std::vector<fs::path>& Out, bool& Wild) {
    const std::string name = NamePart(Source);
    if (!HasWildcard(name)) {
        Out.emplace_back(Source);
        return;
    }
    Wild = true;
    std::string folder = FolderPart(Source);
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (::fnmatch(name.c_str(), entry.c_str(), FNM_PERIOD) != 0) continue;
        std::error_code e2;
        if (FilesOnly && it->is_directory(e2)) continue;
        found.push_back(folder.empty() ? fs::path(entry) : fs::path(folder) / entry);
    }
    std::sort(found.begin(), found.end());
    Out.insert(Out.end(), found.begin(), found.end());
}

// The file list streams its lines as the list property "Strings".
class TSysFileList : public TStringList {
public:
    QM_CLASSNAME(TSysFileList)
    void DefineProperties(TFiler* Filer) override {
        TStringList::DefineProperties(Filer);
        Filer->DefineProperty(
            "Strings",
            [this](TReader& R) {
                Clear();
                R.ReadListBegin();
                while (!R.EndOfList())
                    Add(R.ReadString());
                R.ReadListEnd();
            },
            [this](TWriter& W) {
                W.WriteListBegin();
                for (int i = 0; i < Count(); ++i)
                    W.WriteString(Strings(i));
                W.WriteListEnd();
            },
            Count() > 0);
    }
};

} // namespace

int SysFileOperationFunction(TSysFileOperationType Operation) {
    static const int Functions[] = {2, 3, 1, 4};
    return Functions[Operation];
}

std::uint32_t SysFileOperationShellFlags(TSysFileOperationFlags Options) {
    static const std::uint32_t Flags[] = {0x40, 0x80, 0x10, 0x200, 0x400, 0x08, 0x04, 0x100};
    std::uint32_t r = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (Options & (1u << i)) r |= Flags[i];
    return r;
}

std::string SysBuildDestName(const std::string& Source, const std::string& Dest,
                             const std::string& DestFolder) {
    if (Dest.find_first_not_of(" \t") == std::string::npos) return std::string();
    std::string d = Dest;
    if (d[0] != '/' && d[0] != '\\' && !DestFolder.empty())
        d = CollapseDelimiters(DestFolder + "/" + d);
    std::string folder = FolderPart(d);
    if (folder.empty()) folder = FolderPart(Source);
    std::string stem, ext, srcStem, srcExt;
    SplitName(NamePart(d), stem, ext);
    SplitName(NamePart(Source), srcStem, srcExt);
    if (stem.empty() || HasWildcard(stem)) stem = srcStem;
    if (ext.empty() || HasWildcard(ext)) ext = srcExt;
    return folder + stem + ext;
}

TSysFileOperation::TSysFileOperation(TComponent* AOwner)
    : TSysComponent(AOwner), FFileList(std::make_unique<TSysFileList>()),
      FOptions(SysFileFlag(fofAllowUndo) | SysFileFlag(fofFilesOnly) |
               SysFileFlag(fofRenameCollision)) {}

TSysFileOperation::~TSysFileOperation() = default;

TStrings* TSysFileOperation::FileList() const {
    return FFileList.get();
}

void TSysFileOperation::SetFileList(const TStrings* Value) {
    FFileList->Assign(Value);
}

bool TSysFileOperation::Execute() {
    return Execute(FOperation);
}

bool TSysFileOperation::Execute(TSysFileOperationType AOperation) {
    FLastResult = 0;
    if (FFileList->Count() == 0) return true;
    const bool multi = FFileList->Text().find('=') != std::string::npos;
    const bool filesOnly = (FOptions & SysFileFlag(fofFilesOnly)) != 0;
    if (AOperation == fotRename && !multi && FDestFolder.empty()) {
        FLastResult = EINVAL; // a rename needs the new name
        ReportError(FLastResult);
        return false;
    }

    std::vector<TItem> items;
    bool wild = false;
    for (int i = 0; i < FFileList->Count(); ++i) {
        const std::string line = FFileList->Strings(i);
        std::string source = line, dest;
        if (multi) {
            std::size_t eq = line.find('=');
            if (eq != std::string::npos) {
                source = line.substr(0, eq);
                dest = SysBuildDestName(source, line.substr(eq + 1), FDestFolder);
            }
        }
        if (source.empty()) continue;
        std::vector<fs::path> sources;
        Expand(source, filesOnly, sources, wild);
        for (const fs::path& s : sources) {
            TItem item{s, {}};
            if (AOperation == fotDelete) {
                // no target
            } else if (multi && !dest.empty()) {
                item.Target = sources.size() == 1 && !HasWildcard(NamePart(source))
                                  ? fs::path(dest)
                                  : fs::path(FolderPart(dest)) / s.filename();
            } else if (AOperation == fotRename) {
                item.Target = FolderPart(FDestFolder).empty() ? s.parent_path() / FDestFolder
                                                              : fs::path(FDestFolder);
            } else {
                item.Target = fs::path(FDestFolder.empty() ? "." : FDestFolder) / s.filename();
            }
            if (item.Target.empty() && AOperation != fotDelete) item.Target = s.filename();
            items.push_back(std::move(item));
        }
    }
    if (items.empty()) {
        FLastResult = wild ? SysNoMoreFiles : 0;
        return !wild;
    }
    FLastResult = TRequest(AOperation, FOptions).Run(items);
    if (FLastResult != 0 && FLastResult != SysNoMoreFiles) ReportError(FLastResult);
    return FLastResult == 0;
}

bool TSysFileOperation::ReportError(int Code) {
    char buffer[1024];
    std::string text = strerror_r(Code, buffer, sizeof buffer);
    if (text.size() > 1024) text.resize(1024);
    bool handled = false;
    if (OnError) OnError(this, text, handled);
    return handled;
}
