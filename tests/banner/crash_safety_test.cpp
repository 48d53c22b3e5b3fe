// Saves killed at random points: the document and the settings are always
// the old or the new complete version, and the next save leaves no
// temporary file behind.
#include "banner/BannerDocument.h"
#include "banner/DocumentFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/base/FileNames.h"
#include "platform/system/RegistryStore.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshFolder(const std::string& Name) {
    const fs::path P = fs::path(::testing::TempDir()) / Name;
    fs::remove_all(P);
    fs::create_directories(P);
    return P;
}

// Names in Folder other than Keep and lock files.
std::vector<std::string> Others(const fs::path& Folder, const fs::path& Keep) {
    std::vector<std::string> Names;
    for (const auto& E : fs::directory_iterator(Folder))
        if (E.path() != Keep && E.path().extension() != ".lock")
            Names.push_back(E.path().filename().string());
    return Names;
}

// Runs Work in a child process, kills it after a random delay of up to
// MaxMicros and waits for it.
template <class F> void KillDuring(std::mt19937& Random, int MaxMicros, F Work) {
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        Work();
        _exit(0);
    }
    ::usleep(useconds_t(std::uniform_int_distribution<int>(0, MaxMicros)(Random)));
    ::kill(Child, SIGKILL);
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
}

} // namespace

TEST(CrashSafety, KilledSavesLeaveTheOldOrTheNewFile) {
    std::mt19937 Random(20261209);
    const fs::path Folder = FreshFolder("qm_crash");

    // A document of about 1 MB in two versions.
    TBannerDocument Doc[2];
    std::string Bytes[2];
    for (int V = 0; V < 2; ++V) {
        Doc[V].NewBanner(TNewBannerOptions{});
        Doc[V].extimage.SetDimensions(512, 512);
        Doc[V].extimage.ClearToColor(V ? 0xFF336699u : 0xFF996633u);
        Bytes[V] = BannerDocumentBytes(Doc[V]);
    }
    const std::string Name = (Folder / "banner.qmkf").string();
    SaveBannerDocument(Doc[0], Name);

    // Settings written in a loop.
    setenv("QUILLOMARK_CONFIG_DIR", (Folder / "config").c_str(), 1);
    TRegStore Settings(RegistryStoreFolder() + "/HKEY_CURRENT_USER.qmreg");
    auto Write = [](TRegStore& Store, int I) {
        return Store.Update([&](TRegStoreKey& Root, bool& Changed) {
            TRegStoreKey* Key = Root.AddSubKey("Software")->AddSubKey("Quillomark");
            Key->SetValue("Counter", REG_SZ, std::to_string(I));
            Key->SetValue("Padding" + std::to_string(I % 50), REG_SZ, std::string(2000, 'p'));
            Changed = true;
            return true;
        });
    };
    ASSERT_TRUE(Write(Settings, 0));

    for (int Round = 0; Round < 120; ++Round) {
        KillDuring(Random, 8000, [&] {
            for (int I = 1;; ++I)
                SaveBannerDocument(Doc[I % 2], Name);
        });
        std::string Now;
        ASSERT_TRUE(LoadFileBytes(Name, Now, 1 << 30));
        ASSERT_TRUE(Now == Bytes[0] || Now == Bytes[1]) << "round " << Round;
        EXPECT_LE(Others(Folder, Name).size(), 2u); // the temporary and the settings folder

        KillDuring(Random, 3000, [&] {
            TRegStore Store(Settings.FileName());
            for (int I = 1;; ++I)
                Write(Store, I);
        });
        std::string Text;
        ASSERT_TRUE(LoadFileBytes(Settings.FileName(), Text, 1 << 20));
        TRegStoreKey Root;
        ASSERT_TRUE(ParseRegistryStore(Text, Root)) << "round " << Round;
        ASSERT_NE(Root.Find({"Software", "Quillomark"}), nullptr);
        EXPECT_NE(Root.Find({"Software", "Quillomark"})->FindValue("Counter"), nullptr);
        EXPECT_LE(Others(Folder / "config", Settings.FileName()).size(), 1u);
    }

    // The next saves take the temporaries over.
    SaveBannerDocument(Doc[1], Name);
    ASSERT_TRUE(Write(Settings, 1));
    EXPECT_EQ(Others(Folder, Name), std::vector<std::string>{"config"});
    EXPECT_TRUE(Others(Folder / "config", Settings.FileName()).empty());
}

// Names up to the file system's limit are saved: the temporary name is short.
TEST(CrashSafety, LongDocumentNamesAreSaved) {
    const fs::path Folder = FreshFolder("qm_long");
    TBannerDocument D;
    D.NewBanner(TNewBannerOptions{});
    for (std::size_t Length : {242u, 255u}) {
        const std::string Name = (Folder / (std::string(Length - 5, 'n') + ".qmkf")).string();
        SaveBannerDocument(D, Name);
        std::string Back;
        ASSERT_TRUE(LoadFileBytes(Name, Back, 1 << 30)) << Length;
        EXPECT_EQ(Back, BannerDocumentBytes(D));
    }
    EXPECT_EQ(Others(Folder, "").size(), 2u);
}
