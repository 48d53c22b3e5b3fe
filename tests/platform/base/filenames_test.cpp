#include "platform/base/FileNames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A fresh folder per test, removed with its files afterwards.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = TempFolder() + "qm-files-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        FDir = tmpl + "/";
    }
    void TearDown() override { RemoveTree(FDir); }

    static void RemoveTree(const std::string& dir) {
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == "..") continue;
                std::string p = IncludeTrailingPathDelimiter(dir) + n;
                if (DirectoryExists(p))
                    RemoveTree(p);
                else
                    ::unlink(p.c_str());
            }
            ::closedir(d);
        }
        ::rmdir(dir.c_str());
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(FDir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
        }
        return names;
    }

    std::string FDir;
};

std::string Load(const std::string& path) {
    std::string s;
    EXPECT_TRUE(LoadFileBytes(path, s, 1 << 20));
    return s;
}

} // namespace

TEST(FileNames, SplittingWithBothDelimiters) {
    EXPECT_EQ(ExtractFileName("/home/u/banner.qmkf"), "banner.qmkf");
    EXPECT_EQ(ExtractFileName("C:\\Mes documents\\banner.qmkf"), "banner.qmkf");
    EXPECT_EQ(ExtractFileName("a/b\\c.gif"), "c.gif");
    EXPECT_EQ(ExtractFileName("plain"), "plain");
    EXPECT_EQ(ExtractFileName("dir/"), "");
    EXPECT_EQ(ExtractFilePath("/home/u/banner.qmkf"), "/home/u/");
    EXPECT_EQ(ExtractFilePath("C:\\Images\\x.bmp"), "C:\\Images\\");
    EXPECT_EQ(ExtractFilePath("x.bmp"), "");
    EXPECT_EQ(ExtractFileDir("/home/u/banner.qmkf"), "/home/u");
    EXPECT_EQ(ExtractFileDir("/banner.qmkf"), "/");
    EXPECT_EQ(ExtractFileDir("C:\\x.bmp"), "C:\\");
    EXPECT_EQ(ExtractFileDir("x.bmp"), "");
}

TEST(FileNames, ExtensionsIgnoreDotsInFolders) {
    EXPECT_EQ(ExtractFileExt("banner.qmkf"), ".qmkf");
    EXPECT_EQ(ExtractFileExt("/a.b/banner"), "");
    EXPECT_EQ(ExtractFileExt("C:\\v1.2\\banner"), "");
    EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("name."), ".");
    EXPECT_EQ(ExtractFileExt(""), "");
    EXPECT_EQ(ChangeFileExt("/a.b/banner.qmkf", ".gif"), "/a.b/banner.gif");
    EXPECT_EQ(ChangeFileExt("/a.b/banner", ".gif"), "/a.b/banner.gif");
    EXPECT_EQ(ChangeFileExt("C:\\v1.2\\banner", ".gif"), "C:\\v1.2\\banner.gif");
    EXPECT_EQ(ChangeFileExt("x.tar.gz", ""), "x.tar");
}

TEST(FileNames, TrailingDelimitersAndExpansion) {
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\x\\"), "C:\\x\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp/"), "/tmp");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp"), "/tmp");
    EXPECT_EQ(ExpandFileName("/a/./b/../c//d"), "/a/c/d");
    EXPECT_EQ(ExpandFileName("/../.."), "/");
    EXPECT_EQ(ExpandFileName("/a/b/"), "/a/b/");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(ExpandFileName("x/../y.txt"),
              IncludeTrailingPathDelimiter(ExpandFileName(cwd)) + "y.txt");
}

TEST(FileNames, ApplicationAndTempFolders) {
    std::string exe = ApplicationExeName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe[0], '/');
    EXPECT_TRUE(FileExists(exe));
    EXPECT_NE(ExtractFileName(exe).find("filenames_test"), std::string::npos);
    EXPECT_EQ(ApplicationFolder(), ExtractFilePath(exe));
    EXPECT_EQ(ApplicationFolder().back(), '/');
    EXPECT_EQ(TempFolder().back(), '/');
    EXPECT_TRUE(DirectoryExists(TempFolder()));
}

// Runs in a copy of this program that deletes its own file first, as an
// update replacing the program while it runs does.
TEST(FileNamesChild, ReportsItsName) {
    const char* Out = std::getenv("QM_EXE_PROBE");
    if (Out == nullptr) GTEST_SKIP() << "runs only as a child of the test below";
    const std::string Before = ApplicationExeName();
    ::unlink(Before.c_str());
    std::ofstream(Out) << Before << '\n' << ApplicationExeName() << '\n';
}

// Its name, which keys its settings, stays its own.
TEST_F(FileTest, AProgramReplacedWhileItRunsKeepsItsName) {
    const std::string Copy = FDir + "programme";
    std::filesystem::copy_file(ApplicationExeName(), Copy);
    const std::string Out = FDir + "names.txt";
    setenv("QM_EXE_PROBE", Out.c_str(), 1);
    std::string Filter = "--gtest_filter=FileNamesChild.ReportsItsName";
    std::string Exe = Copy;
    char* Argv[] = {Exe.data(), Filter.data(), nullptr};
    pid_t Pid = -1;
    ASSERT_EQ(posix_spawn(&Pid, Copy.c_str(), nullptr, nullptr, Argv, environ), 0);
    unsetenv("QM_EXE_PROBE");
    int Status = 0;
    ASSERT_EQ(waitpid(Pid, &Status, 0), Pid);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
    std::ifstream In(Out);
    std::string Before, After;
    std::getline(In, Before);
    std::getline(In, After);
    EXPECT_EQ(Before, Copy);
    EXPECT_EQ(After, Copy);
}

TEST_F(FileTest, ExistenceAndFolders) {
    std::string f = FDir + "a.txt";
    EXPECT_FALSE(FileExists(f));
    SaveFileAtomic(f, "x");
    EXPECT_TRUE(FileExists(f));
    EXPECT_FALSE(DirectoryExists(f));
    EXPECT_FALSE(FileExists(FDir)); // a folder is not a file
    EXPECT_TRUE(DirectoryExists(FDir));
    EXPECT_TRUE(ForceDirectories(FDir + "p/q/r/"));
    EXPECT_TRUE(DirectoryExists(FDir + "p/q/r"));
    EXPECT_TRUE(ForceDirectories(FDir + "p/q")); // already there
    EXPECT_FALSE(ForceDirectories(f + "/sub"));  // below a file
    EXPECT_TRUE(RenameFile(f, FDir + "b.txt"));
    EXPECT_FALSE(FileExists(f));
    EXPECT_TRUE(DeleteFile(FDir + "b.txt"));
    EXPECT_FALSE(DeleteFile(FDir + "b.txt"));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FileTest, SaveFileAtomicReplacesContentAndLeavesNoTemporary) {
    std::string f = FDir + "doc.qmkf";
    SaveFileAtomic(f, "first version, longer than the second");
    EXPECT_EQ(Load(f), "first version, longer than the second");
    mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat st;
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask); // a new file follows the umask
    ::chmod(f.c_str(), 0640);
    std::string binary("\0\x01\xFF", 3);
    SaveFileAtomic(f, binary);
    EXPECT_EQ(Load(f), binary);
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file's mode is kept
    SaveFileAtomic(f, "");
    EXPECT_EQ(Load(f), "");
    EXPECT_EQ(Entries(), std::vector<std::string>{"doc.qmkf"});
}

TEST_F(FileTest, SaveFileAtomicFailuresRaiseAndCleanUp) {
    std::string missing = FDir + "no/such/folder/doc.qmkf";
    try {
        SaveFileAtomic(missing, "x");
        ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + missing + "\". No such file or directory");
    }
    // The target is a folder: the rename fails after the write.
    ASSERT_TRUE(ForceDirectories(FDir + "taken"));
    EXPECT_THROW(SaveFileAtomic(FDir + "taken", "x"), EFCreateError);
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
    EXPECT_THROW(SaveFileAtomic(FDir, "x"), EFCreateError);
}

TEST_F(FileTest, LoadFileBytesHonoursTheCap) {
    std::string f = FDir + "data.bin";
    SaveFileAtomic(f, std::string(1000, 'z'));
    std::string out = "old";
    EXPECT_TRUE(LoadFileBytes(f, out, 1000));
    EXPECT_EQ(out.size(), 1000u);
    EXPECT_FALSE(LoadFileBytes(f, out, 999));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(LoadFileBytes(FDir + "absent", out, 1000));
    EXPECT_FALSE(LoadFileBytes(FDir, out, 1000)); // a folder
}
