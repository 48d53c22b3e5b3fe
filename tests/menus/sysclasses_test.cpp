#include "menus/SysClasses.h"

#include "platform/system/PeResources.h"
#include "support/PeBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

TEST(SysClasses, ExceptionTextsAndWaitCodes) {
    const ECoreMutexError e(ENOENT, "Failed to create mutex");
    EXPECT_EQ(e.Message(), "Win32 error: No such file or directory (2)\r\nFailed to create mutex");
    EXPECT_EQ(e.LastError(), ENOENT);
    EXPECT_STREQ(e.ClassName(), "ECoreMutexError");
    EXPECT_EQ(MessageOf<ECoreMutexError>([] { TCoreMutex m(false, std::string(261, 'm')); }),
              "Win32 error: File name too long (36)\r\nFailed to create mutex");

    EXPECT_EQ(MapSystemWaitResult(0), TCoreWaitResult::Signaled);
    EXPECT_EQ(MapSystemWaitResult(0x80), TCoreWaitResult::Abandoned);
    EXPECT_EQ(MapSystemWaitResult(0xC0), TCoreWaitResult::IoCompletion);
    EXPECT_EQ(MapSystemWaitResult(258), TCoreWaitResult::Timeout);
    EXPECT_EQ(MapSystemWaitResult(1), TCoreWaitResult::Error);
    EXPECT_EQ(static_cast<int>(TCoreWaitResult::Timeout), 4);
}

TEST(SysClasses, NamedMutexIsSharedByName) {
    {
        TCoreMutex a(true, "Test_Mutex");
        EXPECT_FALSE(a.Existed());
        TCoreMutex b(false, "Test_Mutex");
        EXPECT_TRUE(b.Existed());
        EXPECT_EQ(b.WaitFor(0), TCoreWaitResult::Signaled); // same thread: recursive
        EXPECT_TRUE(b.Release());
        TCoreWaitResult other = TCoreWaitResult::Error;
        bool released = true;
        std::thread([&] {
            other = WaitForCoreObject(b, 20);
            released = a.Release();
        }).join();
        EXPECT_EQ(other, TCoreWaitResult::Timeout);
        EXPECT_FALSE(released); // not the owner
        EXPECT_TRUE(a.Release());
        EXPECT_FALSE(a.Release());
    }
    TCoreMutex c(false, "Test_Mutex");
    EXPECT_FALSE(c.Existed()); // the name ended with its last object
}

TEST(SysClasses, MutexOfAnEndedThreadIsAbandoned) {
    TCoreMutex m(false, "");
    std::thread([&] { EXPECT_EQ(m.WaitFor(-1), TCoreWaitResult::Signaled); }).join();
    EXPECT_EQ(m.WaitFor(1000), TCoreWaitResult::Abandoned);
    EXPECT_TRUE(m.Release());
    EXPECT_EQ(m.WaitFor(0), TCoreWaitResult::Signaled);
    EXPECT_TRUE(m.Release());
}

namespace {
std::vector<int> GReleased;
void ReleaseInt(void* p) {
    GReleased.push_back(*static_cast<int*>(p));
}
} // namespace

TEST(SysClasses, RuntimeTypeDataIsCounted) {
    int one = 1, two = 2, three = 3;
    AddRuntimeTypeData(&one, ReleaseInt);
    AddRuntimeTypeData(&two, ReleaseInt);
    AddRuntimeTypeData(&one, ReleaseInt);
    AddRuntimeTypeData(&three, ReleaseInt);
    EXPECT_EQ(RuntimeTypeDataCount(), 3u);
    EXPECT_TRUE(RemoveRuntimeTypeData(&one));
    EXPECT_TRUE(GReleased.empty());
    EXPECT_TRUE(RemoveRuntimeTypeData(&one));
    EXPECT_EQ(GReleased, std::vector<int>{1});
    EXPECT_FALSE(RemoveRuntimeTypeData(&one));
    ClearRuntimeTypeData();
    EXPECT_EQ(GReleased, (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(RuntimeTypeDataCount(), 0u);
}

TEST(SysClasses, ModuleHelpers) {
    const std::string path = GetModulePath(nullptr);
    EXPECT_NE(path.find("test_menus_sysclasses_test"), std::string::npos) << path;
    TModuleHandle none = nullptr;
    UnloadModule(none);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(AnsiReplacementChar(), '?');
}

TEST(SysClasses, FixedFileVersionOfProgramFiles) {
    // The running program answers with the version it was built as.
    TVSFixedFileInfo info;
    ASSERT_TRUE(GetFixedFileVersion(GetModulePath(nullptr), info));
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileVersionMS, (5u << 16) | 0u);
    EXPECT_EQ(info.dwFileVersionLS, 3u << 16);

    const auto dir = std::filesystem::temp_directory_path() / "qm-fixed-version";
    std::filesystem::create_directories(dir);
    auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    };
    const std::string pe = write(
        "v.dll", BuildPeFile({{RT_VERSION, 1, BuildVersionResource(0x00020001, 0x00070009)}}));
    ASSERT_TRUE(GetFixedFileVersion(pe, info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00020001u);
    EXPECT_EQ(info.dwFileVersionLS, 0x00070009u);

    // A record whose root value is not exactly 52 bytes, a program file
    // without one, a cut file and a text file all have none.
    std::vector<std::uint8_t> odd = BuildVersionResource(1, 2);
    odd[2] = 48;
    std::vector<std::uint8_t> cut = BuildPeFile({{RT_VERSION, 1, BuildVersionResource(1, 2)}});
    cut.resize(cut.size() - 30);
    for (const std::string& p :
         {write("odd.dll", BuildPeFile({{RT_VERSION, 1, odd}})), write("none.exe", BuildPeFile({})),
          write("cut.exe", cut), write("t.txt", {'M', 'Z', 'x'})}) {
        info.dwSignature = 1;
        EXPECT_FALSE(GetFixedFileVersion(p, info)) << p;
        EXPECT_EQ(info.dwSignature, 0u);
    }
    std::filesystem::remove_all(dir);
}
