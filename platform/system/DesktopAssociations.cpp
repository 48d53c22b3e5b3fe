#include "platform/system/DesktopAssociations.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string S) {
    for (char& c : S)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return S;
}

// The extension without its dot, safe as part of a file name.
std::string FileKey(const std::string& Extension) {
    std::string k;
    for (char c : Lower(Extension))
        if (c != '.')
            k += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    return k;
}

std::string XmlText(const std::string& S) {
    std::string r;
    for (char c : S) {
        switch (c) {
        case '&':
            r += "&amp;";
            break;
        case '<':
            r += "&lt;";
            break;
        case '>':
            r += "&gt;";
            break;
        case '"':
            r += "&quot;";
            break;
        default:
            r += c;
        }
    }
    return r;
}

// A desktop-entry value holds no line breaks.
std::string EntryValue(const std::string& S) {
    std::string r;
    for (char c : S) {
        if (c == '\n')
            r += "\\n";
        else if (c == '\r')
            continue;
        else if (c == '\\')
            r += "\\\\";
        else
            r += c;
    }
    return r;
}

bool WriteAtomically(const fs::path& Path, const std::string& Text) {
    std::error_code ec;
    fs::create_directories(Path.parent_path(), ec);
    const fs::path temp = Path.string() + ".tmp";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        if (!f) return false;
        f << Text;
        if (!f.flush()) {
            f.close();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, Path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

std::vector<std::string> SplitCommand(const std::string& Command) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : Command) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any) args.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) args.push_back(cur);
    return args;
}

void RunQuietly(const std::vector<std::string>& Args) {
    std::vector<char*> argv;
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

} // namespace

std::string DesktopDataFolder() {
    if (const char* c = std::getenv("QUILLOMARK_CONFIG_DIR"); c && *c)
        return (fs::path(c) / "data").string();
    if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d && d[0] == '/') return d;
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : "/tmp") / ".local" / "share").string();
}

std::string DesktopMimeType(const std::string& TypeName) {
    std::string t;
    for (char c : Lower(TypeName))
        t += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' ? c
                                                                                             : '-';
    return "application/x-" + t;
}

std::string DesktopExecLine(const std::string& Command) {
    std::string line;
    for (const std::string& a : SplitCommand(Command)) {
        if (!line.empty()) line += ' ';
        if (a == "%1" || a == "%l" || a == "%L") {
            line += "%f";
            continue;
        }
        std::string arg;
        bool reserved = a.empty();
        for (char c : a) {
            if (c == '%') {
                arg += "%%";
                continue;
            }
            if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
                reserved = true;
            if (c == '"' || c == '`' || c == '$' || c == '\\') arg += '\\';
            arg += c;
        }
        line += reserved ? "\"" + arg + "\"" : arg;
    }
    return line;
}

bool WriteDesktopAssociation(const std::string& DataFolder, const TDesktopAssociation& A) {
    const std::string key = FileKey(A.Extension);
    if (key.empty()) return false;
    const std::string mime = DesktopMimeType(A.TypeName.empty() ? key + "file" : A.TypeName);
    const std::string description = A.Description.empty() ? A.TypeName : A.Description;

    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        XmlText(mime) + "\">\n";
    if (!description.empty()) xml += "    <comment>" + XmlText(description) + "</comment>\n";
    xml += "    <glob pattern=\"*." + XmlText(Lower(A.Extension.substr(A.Extension[0] == '.'))) +
           "\"/>\n  </mime-type>\n</mime-info>\n";

    std::string entry = "[Desktop Entry]\nType=Application\nName=" +
                        EntryValue(description.empty() ? key : description) + "\nMimeType=" + mime +
                        ";\nNoDisplay=true\nTerminal=false\n";
    if (!A.Command.empty()) entry += "Exec=" + EntryValue(DesktopExecLine(A.Command)) + "\n";
    const std::string ext = Lower(fs::path(A.IconFile).extension().string());
    if (ext == ".png" || ext == ".svg" || ext == ".xpm")
        entry += "Icon=" + EntryValue(A.IconFile) + "\n";

    const fs::path root(DataFolder);
    return WriteAtomically(root / "mime" / "packages" / ("quillomark-" + key + ".xml"), xml) &&
           WriteAtomically(root / "applications" / ("quillomark-" + key + ".desktop"), entry);
}

bool RemoveDesktopAssociation(const std::string& DataFolder, const std::string& Extension) {
    const std::string key = FileKey(Extension);
    if (key.empty()) return true;
    const fs::path root(DataFolder);
    std::error_code ec1, ec2;
    fs::remove(root / "mime" / "packages" / ("quillomark-" + key + ".xml"), ec1);
    fs::remove(root / "applications" / ("quillomark-" + key + ".desktop"), ec2);
    return !ec1 && !ec2;
}

void RefreshDesktopDatabases(const std::string& DataFolder) {
    const fs::path root(DataFolder);
    std::error_code ec;
    if (fs::is_directory(root / "mime" / "packages", ec))
        RunQuietly({"update-mime-database", (root / "mime").string()});
    if (fs::is_directory(root / "applications", ec))
        RunQuietly({"update-desktop-database", "-q", (root / "applications").string()});
}
