#include "platform/system/Registry.h"

#include "platform/classes/Strings.h"
#include "platform/system/RegistryStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Each test gets a settings folder of its own, set in-process.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("QUILLOMARK_CONFIG_DIR");
        Saved = base ? base : "";
        std::filesystem::path root =
            !Saved.empty() ? std::filesystem::path(Saved)
                           : std::filesystem::temp_directory_path() / "qm-registry-tests";
        Folder =
            root /
            ("reg-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(Folder);
        setenv("QUILLOMARK_CONFIG_DIR", Folder.c_str(), 1);
    }
    void TearDown() override {
        setenv("QUILLOMARK_CONFIG_DIR", Saved.c_str(), 1);
        std::filesystem::remove_all(Folder);
    }

    std::string StoreFile(const char* root = "HKEY_CURRENT_USER") const {
        return (Folder / (std::string(root) + ".qmreg")).string();
    }
    std::string FileText(const char* root = "HKEY_CURRENT_USER") const {
        std::ifstream in(StoreFile(root), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string Saved;
    std::filesystem::path Folder;
};

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Get(i));
    return out;
}

template <class F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "<no exception>";
}

} // namespace

TEST_F(RegistryTest, EveryTypePersistsAcrossReopen) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Quillomark\\Recent", true));
        reg.WriteString("F1", "/home/me/bannière.qmkf");
        reg.WriteExpandString("Dir", "%HOME%");
        reg.WriteInteger("Count", -2);
        reg.WriteBool("Flag", true);
        reg.WriteFloat("Zoom", 1.25);
        const unsigned char blob[3] = {0, 0x80, 0xFF};
        reg.WriteBinaryData("Blob", blob, 3);
    }
    // A store object of its own reads the file from scratch.
    TRegStore fresh(StoreFile());
    bool seen = false;
    fresh.Read([&](const TRegStoreKey& root) {
        const TRegStoreKey* k = root.Find({"software", "QUILLOMARK", "recent"});
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->FindValue("f1")->Data, "/home/me/bannière.qmkf");
        EXPECT_EQ(k->FindValue("count")->Type, Cardinal(REG_DWORD));
        EXPECT_EQ(k->FindValue("count")->Data, std::string("\xFE\xFF\xFF\xFF"));
        seen = true;
    });
    EXPECT_TRUE(seen);

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillomark\\Recent", false));
    EXPECT_EQ(reg.ReadString("F1"), "/home/me/bannière.qmkf");
    EXPECT_EQ(reg.ReadString("Dir"), "%HOME%");
    EXPECT_EQ(reg.GetDataType("Dir"), rdExpandString);
    EXPECT_EQ(reg.ReadInteger("Count"), -2);
    EXPECT_TRUE(reg.ReadBool("Flag"));
    EXPECT_EQ(reg.GetDataType("Flag"), rdInteger);
    EXPECT_EQ(reg.ReadFloat("Zoom"), 1.25);
    EXPECT_EQ(reg.GetDataType("Zoom"), rdBinary);
    EXPECT_EQ(reg.GetDataSize("Zoom"), 8);
    EXPECT_EQ(reg.GetDataSize("F1"), int(std::string("/home/me/bannière.qmkf").size()) + 1);
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);
    EXPECT_EQ(reg.GetDataType("Missing"), rdUnknown);
    unsigned char buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(reg.ReadBinaryData("Blob", buffer, 4), 3);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0x80);
    EXPECT_EQ(buffer[2], 0xFF);
    EXPECT_EQ(buffer[3], 9);
    EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("Blob", buffer, 2); }),
              "Invalid data type for 'Blob'");
}

TEST_F(RegistryTest, TwoObjectsSeeEachOthersWritesAtOnce) {
    TRegistry a, b;
    ASSERT_TRUE(a.OpenKey("Software\\Q", true));
    ASSERT_TRUE(b.OpenKey("Software\\Q", false));
    a.WriteString("v", "1");
    EXPECT_EQ(b.ReadString("v"), "1");
    b.WriteString("v", "2");
    EXPECT_EQ(a.ReadString("v"), "2");
    ASSERT_TRUE(b.DeleteKey("\\Software\\Q"));
    EXPECT_FALSE(a.ValueExists("v"));
    // The open key is gone: writing to it fails instead of bringing it back.
    EXPECT_EQ(ErrorOf([&] { a.WriteString("v", "3"); }), "Failed to set data for 'v'");
    EXPECT_FALSE(a.KeyExists("\\Software\\Q"));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    auto writer = [](const std::string& prefix) {
        TRegistry reg;
        if (!reg.OpenKey("\\Shared", true)) return;
        for (int i = 0; i < 40; ++i)
            reg.WriteInteger(prefix + std::to_string(i), i);
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    TRegStore fresh(StoreFile());
    std::size_t count = 0;
    fresh.Read([&](const TRegStoreKey& root) {
        if (const TRegStoreKey* k = root.FindSubKey("Shared")) count = k->Values().size();
    });
    EXPECT_EQ(count, 80u);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Quillomark\\Mainform Settings", true));
    reg.WriteString("Statusbar_Visible", "True");
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\quillomark\\MAINFORM SETTINGS", false));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\quillomark\\MAINFORM SETTINGS");
    reg.WriteString("STATUSBAR_VISIBLE", "False");
    TStringList names;
    reg.GetValueNames(&names);
    EXPECT_EQ(Lines(names), std::vector<std::string>{"Statusbar_Visible"});
    EXPECT_EQ(reg.ReadString("statusbar_visible"), "False");
    ASSERT_TRUE(reg.OpenKey("\\software", false));
    reg.GetKeyNames(&names);
    EXPECT_EQ(Lines(names), std::vector<std::string>{"Quillomark"});
    EXPECT_TRUE(reg.KeyExists("QUILLOMARK\\mainform settings"));
}

TEST_F(RegistryTest, DefaultValueIsTheEmptyName) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\.qmkf", true));
    EXPECT_FALSE(reg.ValueExists(""));
    EXPECT_EQ(reg.ReadString(""), "");
    reg.WriteString("", "QuillomarkFile");
    EXPECT_TRUE(reg.ValueExists(""));
    EXPECT_EQ(reg.ReadString(""), "QuillomarkFile");
    EXPECT_EQ(FileText(), "QuillomarkRegistry 1\n[.qmkf]\n@=sz:\"QuillomarkFile\"\n");
    EXPECT_TRUE(reg.DeleteValue(""));
    EXPECT_FALSE(reg.DeleteValue(""));
}

TEST_F(RegistryTest, RelativeAndAbsolutePaths) {
    TRegistry reg;
    EXPECT_EQ(reg.CurrentKey(), HKEY(0));
    ASSERT_TRUE(reg.OpenKey("Software", true));
    EXPECT_EQ(reg.CurrentPath(), "Software");
    EXPECT_NE(reg.CurrentKey(), HKEY(0));
    ASSERT_TRUE(reg.OpenKey("Quillomark", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillomark");
    EXPECT_TRUE(reg.KeyExists("\\Software\\Quillomark"));
    EXPECT_FALSE(reg.KeyExists("Software")) << "relative to Software\\Quillomark";
    ASSERT_TRUE(reg.OpenKey("", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillomark");
    ASSERT_TRUE(reg.OpenKey("\\Other", true));
    EXPECT_EQ(reg.CurrentPath(), "Other");
    EXPECT_FALSE(reg.OpenKey("\\Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "Other") << "a failed open keeps the open key";
    EXPECT_TRUE(reg.CreateKey("A\\B"));
    EXPECT_EQ(reg.CurrentPath(), "Other") << "CreateKey does not open";
    EXPECT_TRUE(reg.KeyExists("\\Other\\A\\B"));
    EXPECT_TRUE(reg.HasSubKeys());
    reg.CloseKey();
    EXPECT_EQ(reg.CurrentKey(), HKEY(0));
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("v", "x"); }), "Failed to set data for 'v'");
    EXPECT_EQ(reg.ReadString("v"), "");
    EXPECT_EQ(ErrorOf([&] { reg.CreateKey(std::string(300, 'k')); }),
              "Failed to create key " + std::string(300, 'k'));
}

TEST_F(RegistryTest, DeleteKeyTakesItsSubKeys) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\A\\B\\C", true));
    reg.WriteInteger("x", 1);
    ASSERT_TRUE(reg.OpenKey("\\A\\D", true));
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey("A", false));
    EXPECT_FALSE(reg.DeleteKey("")) << "the empty name never deletes the open key";
    EXPECT_TRUE(reg.DeleteKey("b"));
    EXPECT_FALSE(reg.KeyExists("B\\C"));
    EXPECT_TRUE(reg.KeyExists("D"));
    EXPECT_FALSE(reg.DeleteKey("B"));
    EXPECT_TRUE(reg.DeleteKey("\\A"));
    EXPECT_EQ(FileText(), "QuillomarkRegistry 1\n");
}

TEST_F(RegistryTest, TypeErrorsRaiseWithTheValueName) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("K", true));
    reg.WriteString("Text", "12");
    reg.WriteInteger("Number", 12);
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Missing"); }), "Invalid data type for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadBool("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadFloat("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("Missing", nullptr, 0); }),
              "Invalid data type for 'Missing'");
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesWrites) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\QuillomarkFree\\v503", true));
        reg.WriteString("FI", "1");
    }
    std::string before = FileText();
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyReadOnly("\\Software\\Missing"));
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\QuillomarkFree\\v503"));
    EXPECT_EQ(reg.ReadString("FI"), "1");
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("FI", "0"); }), "Failed to set data for 'FI'");
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("N", 0); }), "Failed to set data for 'N'");
    EXPECT_FALSE(reg.DeleteValue("FI"));
    EXPECT_FALSE(reg.DeleteKey("Sub"));
    EXPECT_FALSE(reg.OpenKey("Sub", true)) << "no sub-key is created under a read-only key";
    EXPECT_EQ(FileText(), before);
    // The access given to the constructor applies to every key it opens.
    TRegistry readOnly(KEY_READ);
    ASSERT_TRUE(readOnly.OpenKey("\\Software\\QuillomarkFree\\v503", false));
    EXPECT_EQ(ErrorOf([&] { readOnly.WriteBool("FI", false); }), "Failed to set data for 'FI'");
    EXPECT_EQ(FileText(), before);
}

TEST_F(RegistryTest, RenameValueAndMoveKey) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Old\\Sub", true));
    reg.WriteString("a", "1");
    reg.WriteString("b", "2");
    reg.RenameValue("a", "B");
    EXPECT_EQ(reg.ReadString("a"), "1") << "the new name is taken";
    reg.RenameValue("a", "c");
    EXPECT_FALSE(reg.ValueExists("a"));
    EXPECT_EQ(reg.ReadString("c"), "1");
    reg.CloseKey();
    reg.MoveKey("Old", "Old\\Sub\\Inside", true);
    EXPECT_TRUE(reg.KeyExists("Old\\Sub"));
    EXPECT_FALSE(reg.KeyExists("Old\\Sub\\Inside"));
    reg.MoveKey("Old", "New", true);
    EXPECT_FALSE(reg.KeyExists("Old"));
    ASSERT_TRUE(reg.OpenKey("\\New\\Sub", false));
    EXPECT_EQ(reg.ReadString("c"), "1");
    // Moving a key up into its own parent keeps its content.
    reg.CloseKey();
    reg.MoveKey("New\\Sub", "New", true);
    ASSERT_TRUE(reg.OpenKey("\\New", false));
    EXPECT_EQ(reg.ReadString("b"), "2");
    EXPECT_FALSE(reg.HasSubKeys());
}

TEST_F(RegistryTest, RootsHaveFilesOfTheirOwn) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software\\QuillomarkFree", true));
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_EQ(reg.CurrentKey(), HKEY(0)) << "changing the root closes the key";
    EXPECT_FALSE(reg.KeyExists("\\Software\\QuillomarkFree"));
    EXPECT_TRUE(std::filesystem::exists(StoreFile("HKEY_LOCAL_MACHINE")));
    EXPECT_FALSE(std::filesystem::exists(StoreFile("HKEY_CURRENT_USER")));
    reg.SetRootKey(HKEY_PERFORMANCE_DATA);
    EXPECT_FALSE(reg.OpenKey("x", true));
}

TEST_F(RegistryTest, DamagedStoreIsReadAsFarAsValidAndRewritten) {
    std::filesystem::create_directories(Folder);
    {
        std::ofstream out(StoreFile(), std::ios::binary);
        out << "QuillomarkRegistry 1\n[Software\\Quillomark\\Recent]\n\"F1\"=sz:\"a.qmkf\"\n"
            << std::string("\"F2\"=sz:\"b.q\0\xFF", 14);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Quillomark\\Recent", false));
    EXPECT_EQ(reg.ReadString("F1"), "a.qmkf");
    EXPECT_FALSE(reg.ValueExists("F2"));
    reg.WriteString("F2", "c.qmkf");
    EXPECT_EQ(FileText(), "QuillomarkRegistry 1\n"
                          "[Software]\n"
                          "[Software\\Quillomark]\n"
                          "[Software\\Quillomark\\Recent]\n"
                          "\"F1\"=sz:\"a.qmkf\"\n"
                          "\"F2\"=sz:\"c.qmkf\"\n");
    // Pure noise reads as an empty store.
    {
        std::ofstream out(StoreFile(), std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            out.put(static_cast<char>((i * 7919) & 0xFF));
    }
    EXPECT_FALSE(reg.KeyExists("\\Software"));
    EXPECT_FALSE(reg.ValueExists("F1"));
}

TEST_F(RegistryTest, UnwritableFolderFailsHonestly) {
    std::filesystem::create_directories(Folder.parent_path());
    std::ofstream(Folder.string()) << "not a folder";
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("K", true));
    EXPECT_EQ(ErrorOf([&] { reg.CreateKey("K"); }), "Failed to create key K");
    std::filesystem::remove(Folder);
}

// --- TRegIniFile -------------------------------------------------------------

TEST_F(RegistryTest, RegIniFileStoresEverythingAsText) {
    {
        TRegIniFile ini("Software\\quillomark");
        EXPECT_EQ(ini.CurrentPath(), "Software\\quillomark");
        ini.WriteBool("Software\\Quillomark\\Mainform Settings", "Statusbar_Visible", true);
        ini.WriteBool("Software\\Quillomark\\Mainform Settings", "ToolBar1_Visible", false);
        ini.WriteInteger("Software\\Quillomark\\Mainform Settings", "Timer2_Tag", 3);
        ini.WriteString("Software\\Quillomark\\MainForm Placement v5", "NormPos", "1,2,3,4");
    }
    TRegistry reg;
    ASSERT_TRUE(
        reg.OpenKey("\\Software\\Quillomark\\Software\\Quillomark\\Mainform Settings", false));
    EXPECT_EQ(reg.GetDataType("Statusbar_Visible"), rdString);
    EXPECT_EQ(reg.ReadString("Statusbar_Visible"), "1");
    EXPECT_EQ(reg.ReadString("ToolBar1_Visible"), "0");
    EXPECT_EQ(reg.ReadString("Timer2_Tag"), "3");
    reg.WriteString("Garbage", "12abc");
    reg.WriteInteger("Dword", 77);
    reg.WriteBinaryData("Blob", "x", 1);

    TRegIniFile ini("Software\\Quillomark");
    const std::string s = "Software\\Quillomark\\Mainform Settings";
    EXPECT_TRUE(ini.ReadBool(s, "statusbar_visible", false));
    EXPECT_FALSE(ini.ReadBool(s, "ToolBar1_Visible", true));
    EXPECT_TRUE(ini.ReadBool(s, "Missing", true));
    EXPECT_EQ(ini.ReadInteger(s, "Timer2_Tag", 0), 3);
    EXPECT_EQ(ini.ReadInteger(s, "Garbage", -5), -5);
    EXPECT_EQ(ini.ReadInteger(s, "Dword", 0), 77);
    EXPECT_EQ(ini.ReadString(s, "Dword", ""), "77");
    EXPECT_EQ(ini.ReadString(s, "Blob", "def"), "def");
    EXPECT_EQ(ini.ReadString("No Section", "x", "def"), "def");

    TStringList list;
    ini.ReadSection(s, &list);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Statusbar_Visible", "ToolBar1_Visible",
                                                     "Timer2_Tag", "Garbage", "Dword", "Blob"}));
    ini.ReadSectionValues("Software\\Quillomark\\MainForm Placement v5", &list);
    EXPECT_EQ(Lines(list), std::vector<std::string>{"NormPos=1,2,3,4"});
    ini.ReadSections(&list);
    EXPECT_EQ(Lines(list), std::vector<std::string>{"Software"});

    ini.DeleteKey(s, "Garbage");
    EXPECT_EQ(ini.ReadString(s, "Garbage", "gone"), "gone");
    ini.EraseSection("Software\\Quillomark\\MainForm Placement v5");
    EXPECT_FALSE(ini.KeyExists("Software\\Quillomark\\MainForm Placement v5"));
    EXPECT_TRUE(ini.KeyExists("Software\\Quillomark\\Mainform Settings"));
}

TEST_F(RegistryTest, RegIniFileFirstRunFlag) {
    auto isFirstRun = [] {
        TRegIniFile ini("");
        ini.SetRootKey(HKEY_LOCAL_MACHINE);
        bool first = true;
        if (ini.OpenKey("\\Software\\QuillomarkFree", true)) {
            first = ini.ReadBool("v503", "FI", true);
            if (first) ini.WriteBool("v503", "FI", false);
        }
        return first;
    };
    EXPECT_TRUE(isFirstRun());
    EXPECT_FALSE(isFirstRun());
    EXPECT_EQ(FileText("HKEY_LOCAL_MACHINE"), "QuillomarkRegistry 1\n"
                                              "[Software]\n"
                                              "[Software\\QuillomarkFree]\n"
                                              "[Software\\QuillomarkFree\\v503]\n"
                                              "\"FI\"=sz:\"0\"\n");
}

TEST_F(RegistryTest, RegIniFileAbsoluteSectionAndReadOnlyAccess) {
    TRegIniFile ini("Software\\App");
    ini.WriteString("\\Elsewhere", "v", "x");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Elsewhere", false));
    EXPECT_EQ(reg.ReadString("v"), "x");

    TRegIniFile reader("Software\\App", KEY_READ);
    EXPECT_EQ(reader.ReadString("\\Elsewhere", "v", ""), "x");
    try {
        reader.WriteString("S", "v", "y");
        ADD_FAILURE() << "a read-only ini view wrote";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'v'");
    }
    EXPECT_FALSE(reader.KeyExists("S"));
}
