#include "syscomp/InstanceGuard.h"

#include "platform/base/FileNames.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Thread.h"
#include "syscomp/SystemBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr char ActivateRequest[] = "activate\n";

std::uint64_t Fnv(const std::string& Text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : Text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// The abstract socket address of a guard (length returned in Length).
sockaddr_un SocketAddress(const std::string& InstanceName, socklen_t& Length) {
    char name[64];
    std::snprintf(name, sizeof name, "quillomark-instance-%016llx",
                  static_cast<unsigned long long>(Fnv(SysInstanceLockFile(InstanceName))));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::size_t n = std::strlen(name);
    std::memcpy(addr.sun_path + 1, name, n); // sun_path[0] = 0: abstract namespace
    Length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + n);
    return addr;
}

std::mutex& HandlerMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::function<void()>& Handler() {
    static auto* h = new std::function<void()>;
    return *h;
}

void RunActivateHandler() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(HandlerMutex());
        handler = Handler();
    }
    if (handler) {
        handler();
    } else if (Application) {
        Application->Restore();
        Application->BringToFront();
    }
}

// Serves activation requests of later copies while this process holds the
// guard.
class TInstanceListener : public TThread {
public:
    explicit TInstanceListener(int ListenFd)
        : TThread(true), FListen(ListenFd), FWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TInstanceListener() override {
        TerminateAndWait();
        ::close(FListen);
        if (FWake >= 0) ::close(FWake);
    }

protected:
    void TerminatedSet() override {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(FWake, &one, sizeof one);
    }
    void Execute() override {
        if (FWake < 0) return;
        while (!Terminated()) {
            pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (Terminated()) return;
            if (!(fds[0].revents & POLLIN)) continue;
            int c = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            // A peer that sends nothing may not hold the listener up.
            char buffer[sizeof ActivateRequest] = {};
            std::size_t got = 0;
            pollfd in{c, POLLIN, 0};
            while (got < sizeof buffer - 1 && ::poll(&in, 1, 1000) > 0) {
                ssize_t n = ::read(c, buffer + got, sizeof buffer - 1 - got);
                if (n <= 0) break;
                got += std::size_t(n);
            }
            ::close(c);
            if (got == sizeof buffer - 1 && std::memcmp(buffer, ActivateRequest, got) == 0)
                TThread::Queue(nullptr, [] { RunActivateHandler(); });
        }
    }

private:
    int FListen;
    int FWake;
};

// The held guard: module-wide, as the guard belongs to the process.
struct THeldLock {
    int Fd = -1;
    pid_t Pid = 0;
    std::string Name;
    TInstanceListener* Listener = nullptr;
};

std::mutex& LockMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

THeldLock& Held() {
    static THeldLock* h = new THeldLock;
    return *h;
}

void ReleaseLocked() {
    THeldLock& h = Held();
    // A child made by fork shares the parent's lock: closing its copy of the
    // descriptor does not release it, and the child never held it. The
    // listener's thread exists only in the parent: the child leaves the
    // object alone.
    if (h.Listener && h.Pid == ::getpid()) delete h.Listener;
    if (h.Fd >= 0) ::close(h.Fd);
    h = THeldLock();
}

TInstanceListener* StartListener(const std::string& InstanceName) {
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return nullptr;
    socklen_t length;
    sockaddr_un addr = SocketAddress(InstanceName, length);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), length) != 0 || ::listen(s, 4) != 0) {
        ::close(s);
        return nullptr; // the guard works without it; activation is then unavailable
    }
    auto* listener = new TInstanceListener(s);
    listener->Start();
    return listener;
}

} // namespace

std::string SysInstanceLockFile(const std::string& InstanceName) {
    std::string safe;
    for (unsigned char c : InstanceName) {
        if (safe.size() >= 96) break;
        safe += (std::isalnum(c) || c == '.' || c == '-' || c == '_') ? char(c) : '_';
    }
    // The hash keeps names apart that differ only in replaced characters.
    const std::uint64_t hash = Fnv(InstanceName);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return RegistryStoreFolder() + "/" + safe + "-" + hex + ".lock";
}

bool SysInstanceLockHeld(const std::string& InstanceName) {
    std::lock_guard<std::mutex> guard(LockMutex());
    const THeldLock& h = Held();
    return h.Fd >= 0 && h.Pid == ::getpid() && h.Name == InstanceName;
}

void SysReleaseInstanceLock() {
    std::lock_guard<std::mutex> guard(LockMutex());
    ReleaseLocked();
}

std::string TSysOneInstance::InstanceName() const {
    std::string base;
    if (FExeNameAsIdentifier) {
        base = ApplicationExeName();
        for (char& c : base)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    } else {
        base = SysApplicationTitle();
    }
    std::string name = base + FIdentifier + ".OneInstance.";
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

bool TSysOneInstance::IsRunning() {
    if (IsDesigning()) return true;
    const std::string name = InstanceName();
    std::lock_guard<std::mutex> guard(LockMutex());
    THeldLock& h = Held();
    if (h.Fd >= 0 && h.Pid == ::getpid() && h.Name == name) return false;
    if (h.Fd >= 0 && h.Pid != ::getpid()) ReleaseLocked();

    const std::string file = SysInstanceLockFile(name);
    ForceDirectories(ExtractFileDir(file));
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy;
    }
    ReleaseLocked();
    h.Fd = fd;
    h.Pid = ::getpid();
    h.Name = name;
    h.Listener = StartListener(name);
    return false;
}

bool TSysOneInstance::Guard() {
    // A form being designed must not end the designer.
    if (IsDesigning() || !IsRunning()) return false;
    bool terminate = true;
    TSysBackend* backend = SysBackend();
    const bool showMainForm = backend->ShowMainForm();
    backend->SetShowMainForm(false);
    if (FShowMessage) DoShowMessage(terminate);
    if (FActivatePrevInstance) DoActivatePrevInstance();
    if (terminate)
        backend->TerminateApplication();
    else
        backend->SetShowMainForm(showMainForm);
    return true;
}

void TSysOneInstance::Loaded() {
    TSysComponent::Loaded();
    Guard();
}

void TSysOneInstance::DoActivatePrevInstance() {
    SysBackend()->ActivatePrevInstance(InstanceName());
}

void TSysOneInstance::DoShowMessage(bool& Terminate) {
    if (OnShowMessage) {
        OnShowMessage(this, Terminate);
        return;
    }
    const std::string title = SysApplicationTitle();
    const std::string text =
        FMessage.empty() ? "Application \"" + title + "\" is already running." : FMessage;
    DialogService()->MessageBox(text, title, MB_OK | MB_ICONEXCLAMATION);
}

bool SysSendActivate(const std::string& InstanceName) {
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    socklen_t length;
    sockaddr_un addr = SocketAddress(InstanceName, length);
    bool sent = false;
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), length) == 0) {
        const std::size_t n = sizeof ActivateRequest - 1;
        sent = ::send(s, ActivateRequest, n, MSG_NOSIGNAL) == ssize_t(n);
    }
    ::close(s);
    return sent;
}

void SetSysInstanceActivateHandler(std::function<void()> Handler_) {
    std::lock_guard<std::mutex> guard(HandlerMutex());
    Handler() = std::move(Handler_);
}
