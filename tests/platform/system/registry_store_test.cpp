#include "platform/system/RegistryStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Dword(std::uint32_t v) {
    std::string s;
    for (int k = 0; k < 4; ++k)
        s.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    return s;
}

TRegStoreKey SampleTree() {
    TRegStoreKey root;
    TRegStoreKey* recent = root.AddSubKey("Software")->AddSubKey("Quillomark")->AddSubKey("Recent");
    recent->SetValue("F1", REG_SZ, "/home/me/Bannière.qmkf");
    recent->SetValue("", REG_SZ, "default");
    recent->SetValue("Path", REG_EXPAND_SZ, "%HOME%/x");
    recent->SetValue("Count", REG_DWORD, Dword(42));
    recent->SetValue("Blob", REG_BINARY, std::string("\x01\x02\xFF", 3));
    root.AddSubKey("Empty");
    return root;
}

} // namespace

TEST(RegistryStoreFormat, ExactText) {
    // Sub-keys come in folded-name order, values in the order they were made.
    EXPECT_EQ(SerializeRegistryStore(SampleTree()), "QuillomarkRegistry 1\n"
                                                    "[Empty]\n"
                                                    "[Software]\n"
                                                    "[Software\\Quillomark]\n"
                                                    "[Software\\Quillomark\\Recent]\n"
                                                    "\"F1\"=sz:\"/home/me/Bannière.qmkf\"\n"
                                                    "@=sz:\"default\"\n"
                                                    "\"Path\"=expand:\"%25HOME%25/x\"\n"
                                                    "\"Count\"=dword:0000002A\n"
                                                    "\"Blob\"=hex:0102FF\n");
}

TEST(RegistryStoreFormat, EscapesControlQuotesAndInvalidUtf8) {
    TRegStoreKey root;
    TRegStoreKey* k = root.AddSubKey("a]b%\x01");
    k->SetValue("q\"=", REG_SZ, std::string("line1\nline2\t\x7F\xC3\x28\xE2\x82\xAC"));
    k->SetValue("@", REG_SZ, "");
    std::string text = SerializeRegistryStore(root);
    EXPECT_EQ(text, "QuillomarkRegistry 1\n"
                    "[a]b%25%01]\n"
                    "\"q%22=\"=sz:\"line1%0Aline2%09%7F%C3(€\"\n"
                    "\"@\"=sz:\"\"\n");
    TRegStoreKey back;
    ASSERT_TRUE(ParseRegistryStore(text, back));
    EXPECT_EQ(SerializeRegistryStore(back), text);
    const TRegStoreKey* key = back.FindSubKey("A]B%\x01");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name, "a]b%\x01");
    ASSERT_NE(key->FindValue("Q\"="), nullptr);
    EXPECT_EQ(key->FindValue("q\"=")->Data, std::string("line1\nline2\t\x7F\xC3\x28\xE2\x82\xAC"));
    EXPECT_EQ(key->FindValue(""), nullptr) << "'@' quoted is a name, not the default";
    ASSERT_NE(key->FindValue("@"), nullptr);
    ASSERT_EQ(key->Values().size(), 2u);
}

TEST(RegistryStoreFormat, RoundTripOfRandomTrees) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        TRegStoreKey root;
        for (int i = 0; i < 20; ++i) {
            TRegStoreKey* key = &root;
            int depth = 1 + int(rng() % 4);
            for (int d = 0; d < depth; ++d) {
                std::string name;
                int len = 1 + int(rng() % 6);
                for (int c = 0; c < len; ++c) {
                    char ch = static_cast<char>(rng() % 256);
                    name.push_back(ch == '\\' ? 'x' : ch);
                }
                key = key->AddSubKey(name);
            }
            std::string data;
            int len = int(rng() % 12);
            for (int c = 0; c < len; ++c)
                data.push_back(static_cast<char>(rng() % 256));
            Cardinal types[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY};
            key->SetValue(data.substr(0, 3), types[rng() % 3], data);
            key->SetValue("n", REG_DWORD, Dword(rng()));
        }
        std::string text = SerializeRegistryStore(root);
        TRegStoreKey back;
        ASSERT_TRUE(ParseRegistryStore(text, back)) << text;
        EXPECT_EQ(SerializeRegistryStore(back), text);
    }
}

TEST(RegistryStoreFormat, NamesAreCaseInsensitiveAndKeepTheirCase) {
    TRegStoreKey root;
    TRegStoreKey* k = root.AddSubKey("MainForm Placement");
    EXPECT_EQ(root.AddSubKey("MAINFORM placement"), k);
    EXPECT_EQ(k->Name, "MainForm Placement");
    k->SetValue("NormPos", REG_SZ, "1");
    k->SetValue("NORMPOS", REG_SZ, "2");
    ASSERT_EQ(k->Values().size(), 1u);
    EXPECT_EQ(k->Values()[0].Name, "NormPos");
    EXPECT_EQ(k->Values()[0].Data, "2");
    // Latin-1 letters fold too.
    root.AddSubKey("Récents");
    EXPECT_NE(root.FindSubKey("RÉCENTS"), nullptr);
    EXPECT_TRUE(k->DeleteValue("normpos"));
    EXPECT_FALSE(k->DeleteValue("normpos"));
}

TEST(RegistryStoreFormat, DeleteValueKeepsTheIndexRight) {
    TRegStoreKey k;
    for (const char* n : {"a", "b", "c", "d"})
        k.SetValue(n, REG_SZ, n);
    EXPECT_TRUE(k.DeleteValue("B"));
    k.SetValue("d", REG_SZ, "D");
    k.SetValue("e", REG_SZ, "e");
    ASSERT_EQ(k.Values().size(), 4u);
    EXPECT_EQ(k.FindValue("c")->Data, "c");
    EXPECT_EQ(k.FindValue("d")->Data, "D");
    EXPECT_EQ(k.Values()[3].Name, "e");
}

TEST(RegistryStoreFormat, SplitPath) {
    std::vector<std::string> p;
    ASSERT_TRUE(RegSplitPath("\\Software\\\\Quillomark\\", p));
    EXPECT_EQ(p, (std::vector<std::string>{"Software", "Quillomark"}));
    EXPECT_FALSE(RegSplitPath(std::string(256, 'a'), p));
    EXPECT_TRUE(RegSplitPath(std::string(255, 'a'), p));
    std::string deep;
    for (int i = 0; i < 513; ++i)
        deep += "k\\";
    EXPECT_FALSE(RegSplitPath(deep, p));
}

// A damaged line loses only itself (a damaged key line its values too); the
// settings after it are kept, so the next write does not delete them.
TEST(RegistryStoreDamage, LosesOnlyTheDamagedLine) {
    const std::string good = "QuillomarkRegistry 1\n"
                             "# comment\n"
                             "\n"
                             "[A]\n"
                             "\"x\"=sz:\"1\"\r\n";
    struct Case {
        const char* what;
        std::string tail;
    } cases[] = {
        {"unknown type", "\"y\"=qword:1\n[B]\n\"z\"=sz:\"2\"\n"},
        {"garbage line", "hello world\n[B]\n\"z\"=sz:\"2\"\n"},
        {"unterminated string", "\"y\"=sz:\"abc\n[B]\n\"z\"=sz:\"2\"\n"},
        {"short dword", "\"y\"=dword:2A\n[B]\n\"z\"=sz:\"2\"\n"},
        {"odd hex", "\"y\"=hex:012\n[B]\n\"z\"=sz:\"2\"\n"},
        {"bad escape", "\"y\"=sz:\"%G0\"\n[B]\n\"z\"=sz:\"2\"\n"},
        {"control byte", "\"y\"=sz:\"a\x01\"\n[B]\n\"z\"=sz:\"2\"\n"},
        {"empty segment", "[B\\\\C]\n\"y\"=sz:\"a\"\n[B]\n\"z\"=sz:\"2\"\n"},
        {"escaped separator", "[B%5CC]\n\"y\"=sz:\"a\"\n[B]\n\"z\"=sz:\"2\"\n"},
        {"trailing data", "\"y\"=sz:\"a\"b\n[B]\n\"z\"=sz:\"2\"\n"},
        {"empty quoted name", "\"\"=sz:\"a\"\n[B]\n\"z\"=sz:\"2\"\n"},
        {"binary noise", std::string("\0\xFF\xFE\x01\n[B]\n\"z\"=sz:\"2\"\n", 20)},
        {"truncated last line", "[B]\n\"z\"=sz:\"2\"\n\"y\"=sz:\"ab"},
    };
    for (const auto& c : cases) {
        TRegStoreKey root;
        EXPECT_FALSE(ParseRegistryStore(good + c.tail, root)) << c.what;
        ASSERT_NE(root.FindSubKey("a"), nullptr) << c.what;
        EXPECT_EQ(root.FindSubKey("a")->FindValue("x")->Data, "1") << c.what;
        EXPECT_EQ(root.FindSubKey("a")->Values().size(), 1u) << c.what;
        ASSERT_NE(root.FindSubKey("b"), nullptr) << c.what;
        EXPECT_EQ(root.FindSubKey("b")->Values().size(), 1u) << c.what;
        EXPECT_EQ(root.FindSubKey("b")->FindValue("z")->Data, "2") << c.what;
    }
    // A byte-order mark is no damage; a damaged signature costs only itself.
    TRegStoreKey root;
    EXPECT_TRUE(ParseRegistryStore("\xEF\xBB\xBF" + good, root));
    EXPECT_EQ(root.FindSubKey("A")->FindValue("x")->Data, "1");
    EXPECT_FALSE(ParseRegistryStore("QuillomarkRegistry 2\n[A]\n", root));
    EXPECT_NE(root.FindSubKey("A"), nullptr);
    EXPECT_TRUE(ParseRegistryStore("", root));
    EXPECT_TRUE(root.SubKeys.empty());
}

namespace {

class RegistryStoreFile : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("QUILLOMARK_CONFIG_DIR");
        std::filesystem::path root =
            base && *base ? base : std::filesystem::temp_directory_path() / "qm-registry-tests";
        Folder = root / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Folder);
        FileName = (Folder / "HKEY_CURRENT_USER.qmreg").string();
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    std::string FileText() const {
        std::ifstream in(FileName, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void WriteFile(const std::string& bytes) const {
        std::filesystem::create_directories(Folder);
        std::string tmp = FileName + ".test";
        std::ofstream(tmp, std::ios::binary) << bytes;
        std::filesystem::rename(tmp, FileName);
    }

    std::filesystem::path Folder;
    std::string FileName;
};

bool SetString(TRegStore& store, const std::string& key, const std::string& name,
               const std::string& value) {
    return store.Update([&](TRegStoreKey& root, bool& changed) {
        root.AddSubKey(key)->SetValue(name, REG_SZ, value);
        changed = true;
        return true;
    });
}

std::string GetString(TRegStore& store, const std::string& key, const std::string& name) {
    std::string out = "<missing>";
    store.Read([&](const TRegStoreKey& root) {
        const TRegStoreKey* k = root.FindSubKey(key);
        if (const TRegStoreValue* v = k ? k->FindValue(name) : nullptr) out = v->Data;
    });
    return out;
}

} // namespace

TEST_F(RegistryStoreFile, PersistsAndCreatesItsFolder) {
    TRegStore store(FileName);
    ASSERT_TRUE(SetString(store, "Recent", "F1", "a.qmkf"));
    EXPECT_EQ(FileText(), "QuillomarkRegistry 1\n[Recent]\n\"F1\"=sz:\"a.qmkf\"\n");
    TRegStore reopened(FileName);
    EXPECT_EQ(GetString(reopened, "RECENT", "f1"), "a.qmkf");
    // No temporary file is left beside it (the lock file stays).
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        files += e.path().extension() != ".lock";
    EXPECT_EQ(files, 1);
}

TEST_F(RegistryStoreFile, ReloadsWhenTheFileChangesOnDisk) {
    TRegStore store(FileName);
    ASSERT_TRUE(SetString(store, "K", "v", "1"));
    TRegStore other(FileName);
    ASSERT_TRUE(SetString(other, "K", "v", "22"));
    EXPECT_EQ(GetString(store, "K", "v"), "22");
    std::filesystem::remove(FileName);
    EXPECT_EQ(GetString(store, "K", "v"), "<missing>");
}

TEST_F(RegistryStoreFile, DamagedLineIsDroppedOnTheNextWriteOnly) {
    WriteFile("\xEF\xBB\xBFQuillomarkRegistry 1\n[K]\n\"a\"=sz:\"kept\"\n\x01\x02 "
              "noise\n[L]\n\"b\"=sz:\"also kept\"\n");
    TRegStore store(FileName);
    EXPECT_EQ(GetString(store, "K", "a"), "kept");
    EXPECT_EQ(GetString(store, "L", "b"), "also kept");
    ASSERT_TRUE(SetString(store, "K", "c", "new"));
    EXPECT_EQ(FileText(),
              "QuillomarkRegistry 1\n[K]\n\"a\"=sz:\"kept\"\n\"c\"=sz:\"new\"\n[L]\n\"b\"="
              "sz:\"also kept\"\n");
}

// Two programs writing settings at once: each change is made on what the
// file holds under a lock both take, so no value of either is lost.
TEST_F(RegistryStoreFile, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int Values = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            TRegStore store(FileName);
            bool ok = true;
            for (int i = 0; i < Values; ++i)
                ok = SetString(store, "K", std::to_string(c) + "-" + std::to_string(i), "v") && ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TRegStore store(FileName);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < Values; ++i)
            EXPECT_EQ(GetString(store, "K", std::to_string(c) + "-" + std::to_string(i)), "v");
}

TEST_F(RegistryStoreFile, FailedWriteDropsTheChange) {
    // The folder is a file: nothing can be written there.
    std::filesystem::create_directories(Folder.parent_path());
    std::ofstream(Folder.string()) << "x";
    TRegStore store(FileName);
    EXPECT_FALSE(SetString(store, "K", "v", "1"));
    EXPECT_EQ(GetString(store, "K", "v"), "<missing>");
    std::filesystem::remove(Folder);
}

TEST(RegistryStoreFolder, EnvironmentOrder) {
    std::string saved[3];
    const char* names[] = {"QUILLOMARK_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"};
    for (int i = 0; i < 3; ++i)
        saved[i] = std::getenv(names[i]) ? std::getenv(names[i]) : "";
    setenv("QUILLOMARK_CONFIG_DIR", "/tmp/qm-cfg/", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    setenv("HOME", "/tmp/home", 1);
    EXPECT_EQ(RegistryStoreFolder(), "/tmp/qm-cfg");
    setenv("QUILLOMARK_CONFIG_DIR", "", 1);
    EXPECT_EQ(RegistryStoreFolder(), "/tmp/xdg/quillomark");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryStoreFolder(), "/tmp/home/.config/quillomark");
    for (int i = 0; i < 3; ++i)
        setenv(names[i], saved[i].c_str(), 1);
    // The shared store follows the folder of the moment.
    setenv("QUILLOMARK_CONFIG_DIR", "/tmp/qm-a", 1);
    TRegStore& a = RegistryStoreFor("HKEY_USERS");
    EXPECT_EQ(a.FileName(), "/tmp/qm-a/HKEY_USERS.qmreg");
    EXPECT_EQ(&RegistryStoreFor("HKEY_USERS"), &a);
    setenv("QUILLOMARK_CONFIG_DIR", "/tmp/qm-b", 1);
    EXPECT_NE(&RegistryStoreFor("HKEY_USERS"), &a);
    setenv("QUILLOMARK_CONFIG_DIR", saved[0].c_str(), 1);
}
