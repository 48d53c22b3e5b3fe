#include "platform/system/IniFiles.h"

#include "platform/classes/Strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("QUILLOMARK_CONFIG_DIR");
        std::filesystem::path root =
            base && *base ? base : std::filesystem::temp_directory_path() / "qm-registry-tests";
        Folder =
            root /
            ("ini-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        FileName = (Folder / "Quillomark.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    void WriteFile(const std::string& text) const {
        // Through a rename, as other programs save, so the change is noticed
        // even within one tick of the file-system clock.
        std::ofstream(FileName + ".new", std::ios::binary) << text;
        std::filesystem::rename(FileName + ".new", FileName);
    }
    std::string FileText() const {
        std::ifstream in(FileName, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path Folder;
    std::string FileName;
};

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Get(i));
    return out;
}

const char* const Sample = "; settings of the editor\n"
                           "\n"
                           "[Main]\n"
                           "  Title = \"  Quillomark  \" \n"
                           "Single='x'\n"
                           "Unbalanced=\"x'\n"
                           "Lone=\"\n"
                           "Empty=\n"
                           "# a comment\n"
                           "; Hidden=1\n"
                           "no equals sign\n"
                           "Hex=$1F\n"
                           "Hex2=0x20\n"
                           "Bad=12a\n"
                           "title=second\n"
                           "\n"
                           "[Other]\n"
                           "Flag=1\n"
                           "[main]\n"
                           "Late=1\n";

} // namespace

TEST_F(IniFileTest, ReadingRules) {
    WriteFile(Sample);
    TIniFile ini(FileName);
    EXPECT_EQ(ini.ReadString("MAIN", "title", "d"), "  Quillomark  ")
        << "trimmed, one pair of quotes stripped, first occurrence";
    EXPECT_EQ(ini.ReadString("Main", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Main", "Unbalanced", "d"), "\"x'");
    EXPECT_EQ(ini.ReadString("Main", "Lone", "d"), "\"");
    EXPECT_EQ(ini.ReadString("Main", "Empty", "d"), "");
    EXPECT_EQ(ini.ReadString("Main", "Hidden", "d"), "d");
    EXPECT_EQ(ini.ReadString("Main", "; Hidden", "d"), "d");
    EXPECT_EQ(ini.ReadString("Main", "Late", "d"), "d") << "only the first [Main] is read";
    EXPECT_EQ(ini.ReadInteger("Main", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Main", "Hex2", 0), 32);
    EXPECT_EQ(ini.ReadInteger("Main", "Bad", -1), -1);
    EXPECT_EQ(ini.ReadInteger("Main", "Missing", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Other", "Flag", false));
    EXPECT_FALSE(ini.ReadBool("Main", "Empty", false));

    TStringList list;
    ini.ReadSection("main", &list);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Title", "Single", "Unbalanced", "Lone",
                                                     "Empty", "Hex", "Hex2", "Bad"}));
    ini.ReadSections(&list);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Main", "Other"}));
    ini.ReadSectionValues("Other", &list);
    EXPECT_EQ(Lines(list), std::vector<std::string>{"Flag=1"});
    EXPECT_TRUE(ini.SectionExists("other"));
    EXPECT_FALSE(ini.SectionExists("Nowhere"));
    EXPECT_TRUE(ini.ValueExists("Main", "EMPTY"));
    EXPECT_FALSE(ini.ValueExists("Main", "no equals sign"));
}

TEST_F(IniFileTest, WritesKeepTheRestOfTheFile) {
    WriteFile("; top\r\n[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
    TIniFile ini(FileName);
    ini.WriteString("a", "X", "10");
    ini.WriteInteger("A", "z", -3);
    ini.WriteBool("B", "flag", true);
    ini.WriteString("New Section", "k", "v");
    EXPECT_EQ(FileText(), "; top\r\n[A]\r\nX=10\r\nz=-3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n"
                          "flag=1\r\n\r\n[New Section]\r\nk=v\r\n");
    ini.DeleteKey("A", "x");
    ini.EraseSection("b");
    EXPECT_EQ(FileText(), "; top\r\n[A]\r\nz=-3\r\n\r\n; about B\r\n[New Section]\r\nk=v\r\n");
    // Another object on the same file sees it all.
    TIniFile again(FileName);
    EXPECT_EQ(again.ReadInteger("A", "Z", 0), -3);
    EXPECT_FALSE(again.SectionExists("B"));
}

TEST_F(IniFileTest, NewFileAndQuotedValuesRoundTrip) {
    TIniFile ini(FileName);
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    ini.WriteString("S", "k", "\"\"quoted\"\"");
    ini.WriteString("S", "e", "");
    EXPECT_EQ(FileText(), "[S]\nk=\"\"quoted\"\"\ne=\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "\"quoted\"");
    EXPECT_EQ(ini.ReadString("S", "e", "none"), "");
}

TEST_F(IniFileTest, SeesChangesMadeByOthers) {
    TIniFile ini(FileName);
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    WriteFile("[S]\nk=from outside\n");
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "from outside");
    ini.WriteString("S", "j", "mine");
    EXPECT_EQ(FileText(), "[S]\nk=from outside\nj=mine\n");
}

TEST_F(IniFileTest, RefusesEntriesThatWouldBreakTheFile) {
    WriteFile("[S]\nk=1\n");
    TIniFile ini(FileName);
    auto refused = [&](const std::string& s, const std::string& k, const std::string& v) {
        try {
            ini.WriteString(s, k, v);
        } catch (const EIniFileException& e) {
            return e.Message() == "Unable to write to " + FileName;
        }
        return false;
    };
    EXPECT_TRUE(refused("S", "k", "a\nb=2"));
    EXPECT_TRUE(refused("S", "a=b", "1"));
    EXPECT_TRUE(refused("S", "", "1"));
    EXPECT_TRUE(refused("S", ";k", "1"));
    EXPECT_TRUE(refused("S]x", "k", "1"));
    EXPECT_TRUE(refused("S\nT", "k", "1"));
    EXPECT_EQ(FileText(), "[S]\nk=1\n");
}

TEST_F(IniFileTest, UnwritableFileRaises) {
    TIniFile ini((Folder / "missing-folder" / "x.ini").string());
    try {
        ini.WriteString("S", "k", "v");
        ADD_FAILURE() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(),
                  "Unable to write to " + (Folder / "missing-folder" / "x.ini").string());
    }
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none") << "the failed change is not kept";
}

TEST_F(IniFileTest, MemIniFileWritesOnlyOnUpdate) {
    WriteFile("\xEF\xBB\xBF[S]\nk=1\n");
    TMemIniFile mem(FileName);
    mem.WriteString("S", "k", "2");
    EXPECT_EQ(FileText(), "\xEF\xBB\xBF[S]\nk=1\n");
    EXPECT_EQ(mem.ReadString("S", "k", ""), "2");
    mem.UpdateFile();
    EXPECT_EQ(FileText(), "\xEF\xBB\xBF[S]\nk=2\n");
}
