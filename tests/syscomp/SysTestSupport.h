#pragma once
// Shared pieces of the system-component tests: a private folder per test
// (also the settings folder) and a wait that serves the main thread's queue.
#include "platform/system/Thread.h"
#include "syscomp/SystemBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class SysTempTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitThreads();
        const char* base = std::getenv("QUILLOMARK_CONFIG_DIR");
        Saved = base ? base : "";
        std::filesystem::path root = !Saved.empty()
                                         ? std::filesystem::path(Saved)
                                         : std::filesystem::temp_directory_path() / "qm-syscomp";
        Dir = root / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        setenv("QUILLOMARK_CONFIG_DIR", (Dir / "config").c_str(), 1);
    }
    void TearDown() override {
        setenv("QUILLOMARK_CONFIG_DIR", Saved.c_str(), 1);
        std::filesystem::remove_all(Dir);
    }

    std::string P(const std::string& Rel) const { return (Dir / Rel).string(); }
    void Put(const std::string& Rel, const std::string& Text) const {
        std::filesystem::create_directories((Dir / Rel).parent_path());
        std::ofstream(Dir / Rel, std::ios::binary) << Text;
    }
    std::string Get(const std::string& Rel) const {
        std::ifstream in(Dir / Rel, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(const std::string& Rel) const { return std::filesystem::exists(Dir / Rel); }

    std::string Saved;
    std::filesystem::path Dir;
};

// Serves synchronised calls until Done() holds or the time is up.
template <class F> bool WaitUntil(F&& Done, int TimeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        CheckSynchronize(20);
    }
    return true;
}

// Serves synchronised calls for a while (to show that nothing happens).
inline void Serve(int Ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < end)
        CheckSynchronize(10);
}

class TRecordingBackend : public TSysBackend {
public:
    std::vector<std::string> Calls;
    bool ExitResult = true;
    bool ShowMain = true;

    bool ExitSystem(TSysPowerAction Action, bool Force) override {
        Calls.push_back("Exit " + std::to_string(Action) + (Force ? " force" : ""));
        return ExitResult;
    }
    void AssociationsChanged() override { Calls.push_back("AssociationsChanged"); }
    bool RegisterAssociation(const TDesktopAssociation& A) override {
        Calls.push_back("Register " + A.Extension + " " + A.TypeName + " " + A.Command);
        return true;
    }
    bool RemoveAssociation(const std::string& Extension) override {
        Calls.push_back("Remove " + Extension);
        return true;
    }
    bool ActivatePrevInstance(const std::string& Name) override {
        Calls.push_back("Activate " + Name);
        return true;
    }
    void TerminateApplication() override { Calls.push_back("Terminate"); }
    bool ShowMainForm() override { return ShowMain; }
    void SetShowMainForm(bool Value) override {
        ShowMain = Value;
        Calls.push_back(std::string("ShowMainForm ") + (Value ? "1" : "0"));
    }
};
