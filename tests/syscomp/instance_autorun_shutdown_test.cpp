#include "syscomp/AutorunEntry.h"
#include "syscomp/InstanceGuard.h"
#include "syscomp/Shutdown.h"

#include "SysTestSupport.h"
#include "platform/base/FileNames.h"
#include "platform/forms/Dialogs.h"
#include "platform/system/Registry.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The second copies are fresh processes: this program again, running only
// the probe below (a child forked from a process with threads must not
// start threads of its own, and the guard's holder runs one).
TEST(GuardChild, Probe) {
    const char* probe = std::getenv("QM_GUARD_PROBE");
    if (!probe) GTEST_SKIP() << "runs only as a child of the guard tests";
    const std::string mode(probe);
    const std::size_t colon = mode.find(':');
    const std::string what = mode.substr(0, colon), arg = mode.substr(colon + 1);
    TSysOneInstance c(nullptr);
    c.SetIdentifier(arg);
    if (what == "running") {
        EXPECT_TRUE(c.IsRunning());
    } else if (what == "free") {
        EXPECT_FALSE(c.IsRunning());
    } else if (what == "activate") {
        EXPECT_TRUE(SysBackend()->ActivatePrevInstance(arg));
    } else if (what == "hold") {
        char b = c.IsRunning() ? 'r' : 'h';
        EXPECT_EQ(write(3, &b, 1), 1);
        EXPECT_EQ(read(4, &b, 1), 0); // until the parent closes its end
    }
}

class GuardTest : public SysTempTest {
protected:
    void TearDown() override {
        FinishHolder();
        SysReleaseInstanceLock();
        SysTempTest::TearDown();
    }
    pid_t Spawn(const std::string& Mode, int Fd3 = -1, int Fd4 = -1) {
        setenv("QM_GUARD_PROBE", Mode.c_str(), 1);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (Fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, Fd3, 3);
        if (Fd4 >= 0) posix_spawn_file_actions_adddup2(&actions, Fd4, 4);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::string exe = ApplicationExeName(), filter = "--gtest_filter=GuardChild.Probe";
        char* argv[] = {exe.data(), filter.data(), nullptr};
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        unsetenv("QM_GUARD_PROBE");
        return pid;
    }
    // The probe's exit code: 0 when its expectation held.
    int Probe(const std::string& Mode) {
        pid_t pid = Spawn(Mode);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Starts a child that holds the guard of Identifier; returns what it
    // reported ('h' when it took the guard).
    char StartHolder(const std::string& Identifier) {
        int ready[2], done[2];
        EXPECT_EQ(pipe2(ready, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(done, O_CLOEXEC), 0);
        HolderPid = Spawn("hold:" + Identifier, ready[1], done[0]);
        close(ready[1]);
        close(done[0]);
        HolderDone = done[1];
        char b = 0;
        EXPECT_EQ(read(ready[0], &b, 1), 1);
        close(ready[0]);
        return b;
    }
    void FinishHolder() {
        if (HolderPid <= 0) return;
        close(HolderDone);
        waitpid(HolderPid, nullptr, 0);
        HolderPid = -1;
    }

    pid_t HolderPid = -1;
    int HolderDone = -1;
};

TEST_F(GuardTest, SecondProcessIsRefusedUntilTheFirstEnds) {
    TSysOneInstance g(nullptr);
    g.SetIdentifier("Tests");
    EXPECT_EQ(g.InstanceName(), SysApplicationTitle() + "Tests.OneInstance.");
    EXPECT_FALSE(g.IsRunning());
    EXPECT_TRUE(SysInstanceLockHeld(g.InstanceName()));
    EXPECT_FALSE(g.IsRunning()); // the holder itself is not "another copy"
    EXPECT_EQ(Probe("running:Tests"), 0);
    EXPECT_EQ(Probe("free:Other"), 0);

    // A process that holds the guard and ends leaves it free again.
    SysReleaseInstanceLock();
    EXPECT_EQ(StartHolder("Tests"), 'h');
    EXPECT_TRUE(g.IsRunning());
    FinishHolder();
    EXPECT_FALSE(g.IsRunning());
}

TEST_F(GuardTest, GuardShowsActivatesAndTerminates) {
    TRecordingBackend backend;
    TSysBackendScope scope(&backend);
    TScriptedDialogService dialogs;
    TDialogServiceScope dscope(&dialogs);

    TSysOneInstance g(nullptr);
    g.SetIdentifier("G");
    EXPECT_FALSE(g.Guard()); // free: this process takes it
    EXPECT_TRUE(backend.Calls.empty());
    SysReleaseInstanceLock();
    ASSERT_EQ(StartHolder("G"), 'h');

    g.SetShowMessage(true);
    EXPECT_TRUE(g.Guard());
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text,
              "Application \"" + SysApplicationTitle() + "\" is already running.");
    EXPECT_EQ(dialogs.Calls[0].Caption, SysApplicationTitle());
    EXPECT_EQ(backend.Calls, (std::vector<std::string>{
                                 "ShowMainForm 0", "Activate " + g.InstanceName(), "Terminate"}));

    backend.Calls.clear();
    backend.ShowMain = true;
    g.SetActivatePrevInstance(false);
    g.OnShowMessage = [](TObject*, bool& Terminate) { Terminate = false; };
    EXPECT_TRUE(g.Guard());
    EXPECT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(backend.Calls, (std::vector<std::string>{"ShowMainForm 0", "ShowMainForm 1"}));
}

TEST_F(GuardTest, LaterCopyAsksTheHolderToActivate) {
    int activations = 0;
    SetSysInstanceActivateHandler([&] { ++activations; });
    TSysOneInstance g(nullptr);
    g.SetIdentifier("Act");
    const std::string name = g.InstanceName();
    EXPECT_FALSE(g.IsRunning());
    EXPECT_EQ(Probe("activate:" + name), 0);
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }));

    SysReleaseInstanceLock(); // the listener goes with the guard
    EXPECT_NE(Probe("activate:" + name), 0);
    Serve(50);
    EXPECT_EQ(activations, 1);
    SetSysInstanceActivateHandler(nullptr);
}

class AutoRunTest : public SysTempTest {
protected:
    std::string Value(HKEY Root, const std::string& Key, const std::string& Name,
                      TRegDataType* Type = nullptr) {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(Root);
        if (!reg.OpenKeyReadOnly("\\" + Key) || !reg.ValueExists(Name)) return "<missing>";
        if (Type) *Type = reg.GetDataType(Name);
        return reg.ReadString(Name);
    }
};

TEST_F(AutoRunTest, KeysOfTheKinds) {
    EXPECT_EQ(SysAutoRunKey(aekMachineRun), "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(SysAutoRunKey(aekUserRunOnce),
              "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    EXPECT_EQ(SysAutoRunKey(aekServiceRunOnce),
              "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce");
    EXPECT_EQ(SysAutoRunRoot(aekUserRun), HKEY_CURRENT_USER);
    EXPECT_EQ(SysAutoRunRoot(aekServiceRun), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(SysAutoRunValueName("C:\\Prog\\app.exe"), "app.exe");
    EXPECT_EQ(SysAutoRunValueName("/opt/q/editor"), "editor");
}

TEST_F(AutoRunTest, EntryFollowsTheProperties) {
    const std::string run = SysAutoRunKey(aekMachineRun);
    const std::string userOnce = SysAutoRunKey(aekUserRunOnce);
    TSysAutoRun a(nullptr);
    EXPECT_EQ(a.FileName(), ApplicationExeName());
    a.SetFileName("/opt/q/editor");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, run, "editor"), "<missing>");
    a.SetAutoRun(true);
    TRegDataType type = rdUnknown;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, run, "editor", &type), "/opt/q/editor");
    EXPECT_EQ(type, rdString);

    a.SetKind(aekUserRunOnce);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, run, "editor"), "<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, userOnce, "editor"), "/opt/q/editor");

    a.SetFileName("%HOME%/bin/tool");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, userOnce, "editor"), "<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, userOnce, "tool", &type), "%HOME%/bin/tool");
    EXPECT_EQ(type, rdExpandString);

    a.SetKind(aekServiceRun);
    EXPECT_FALSE(a.Add());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, SysAutoRunKey(aekServiceRun), "tool"), "<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, userOnce, "tool"), "<missing>");

    a.SetKind(aekUserRun);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, SysAutoRunKey(aekUserRun), "tool"), "%HOME%/bin/tool");
    a.SetAutoRun(false);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, SysAutoRunKey(aekUserRun), "tool"), "<missing>");
}

TEST_F(AutoRunTest, DesignTimeWritesNothing) {
    TSysAutoRun a(nullptr);
    a.SetDesigning(true);
    a.SetFileName("/opt/q/editor");
    a.SetAutoRun(true);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, SysAutoRunKey(aekMachineRun), "editor"), "<missing>");
}

TEST(ShutdownTest, GoesThroughQueryAndBackend) {
    TSysShutdown s(nullptr);
    EXPECT_FALSE(s.Execute()); // the default backend refuses

    TRecordingBackend backend;
    TSysBackendScope scope(&backend);
    s.SetActionType(aatReboot);
    s.SetForce(true);
    EXPECT_TRUE(s.Execute());
    s.OnQueryShutdown = [](TObject*, bool& Can) { Can = false; };
    EXPECT_FALSE(s.Execute());
    EXPECT_EQ(backend.Calls, std::vector<std::string>{"Exit 2 force"});
}

} // namespace
