#include "syscomp/FileAssociation.h"

#include "SysTestSupport.h"
#include "platform/forms/Dialogs.h"
#include "platform/graphics/Icon.h"
#include "platform/system/PeResources.h"
#include "platform/system/Registry.h"
#include "support/PeBuilder.h"

#include <cstdlib>
#include <filesystem>

namespace {

class FileAssociationTest : public SysTempTest {
protected:
    void SetUp() override {
        SysTempTest::SetUp();
        Scope = std::make_unique<TSysBackendScope>(&Backend);
    }
    void TearDown() override {
        Scope.reset();
        SysTempTest::TearDown();
    }
    std::string Value(const std::string& Key) {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKeyReadOnly("\\" + Key)) return "<missing>";
        return reg.ReadString("");
    }
    void SetValue(const std::string& Key, const std::string& V) {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey("\\" + Key, true));
        reg.WriteString("", V);
    }

    TRecordingBackend Backend;
    std::unique_ptr<TSysBackendScope> Scope;
};

TEST_F(FileAssociationTest, WritesTheKeysOfTheRegistration) {
    TSysFileAssociation a(nullptr);
    a.SetExtension("qmkf");
    EXPECT_EQ(a.Extension(), ".qmkf");
    a.SetFileDescription("Bannière");
    a.SetIconFile("/opt/q/editor");
    a.SetIconIndex(3);
    a.SetCommand(TSysFileAssociation::vOpen, "editor \"%1\"");
    a.SetCommandDescription(TSysFileAssociation::vOpen, "&Ouvrir");
    a.SetCommand(TSysFileAssociation::vPrintTo, "editor /pt \"%1\" \"%2\"");
    EXPECT_EQ(Value(".qmkf"), "<missing>"); // ReadOnly at run time: nothing written yet

    Backend.Calls.clear();
    ASSERT_TRUE(a.Write());
    EXPECT_EQ(a.ExtDescription(), "qmkffile");
    EXPECT_EQ(Value(".qmkf"), "qmkffile");
    EXPECT_EQ(Value("qmkffile"), "Bannière");
    EXPECT_EQ(Value("qmkffile\\DefaultIcon"), "/opt/q/editor,3");
    EXPECT_EQ(Value("qmkffile\\shell\\open"), "&Ouvrir");
    EXPECT_EQ(Value("qmkffile\\shell\\open\\command"), "editor \"%1\"");
    EXPECT_EQ(Value("qmkffile\\shell\\printto"), "");
    EXPECT_EQ(Value("qmkffile\\shell\\printto\\command"), "editor /pt \"%1\" \"%2\"");
    EXPECT_EQ(Value("qmkffile\\shell\\edit"), "<missing>"); // verbs without a command
    EXPECT_EQ(Backend.Calls, (std::vector<std::string>{"Register .qmkf qmkffile editor \"%1\"",
                                                       "AssociationsChanged"}));

    TSysFileAssociation b(nullptr);
    b.SetExtension(".QMKF"); // keys match without regard to case
    EXPECT_EQ(b.ExtDescription(), "qmkffile");
    EXPECT_EQ(b.FileDescription(), "Bannière");
    EXPECT_EQ(b.IconFile(), "/opt/q/editor");
    EXPECT_EQ(b.IconIndex(), 3);
    EXPECT_EQ(b.Command(TSysFileAssociation::vOpen), "editor \"%1\"");
    EXPECT_EQ(b.CommandDescription(TSysFileAssociation::vOpen), "&Ouvrir");
}

TEST_F(FileAssociationTest, DefaultIconTexts) {
    SetValue(".abc", "abcfile");
    SetValue("abcfile", "ABC");
    struct {
        const char* Text;
        const char* File;
        int Index;
    } cases[] = {{"shell.dll,x", "shell.dll,x", 0},
                 {"shell.dll,7", "shell.dll", 7},
                 {"shell.dll,-2", "shell.dll", -2},
                 {"a,b,3", "a", 3},
                 {"plain", "plain", 0}};
    for (const auto& c : cases) {
        SetValue("abcfile\\DefaultIcon", c.Text);
        TSysFileAssociation a(nullptr);
        a.SetExtension("abc");
        EXPECT_TRUE(a.Read());
        EXPECT_EQ(a.IconFile(), c.File) << c.Text;
        EXPECT_EQ(a.IconIndex(), c.Index) << c.Text;
    }
}

TEST_F(FileAssociationTest, ReadReportsMissingTypeKey) {
    TSysFileAssociation a(nullptr);
    a.SetExtension(".none");
    EXPECT_FALSE(a.Read());
    SetValue(".full", "fullfile");
    SetValue("fullfile", "Full");
    SetValue("fullfile\\shell\\open\\command", "run");
    a.SetExtension(".full");
    EXPECT_EQ(a.Command(TSysFileAssociation::vOpen), "run");
    SetValue(".half", "halffile"); // names a type key that does not exist
    a.SetExtension(".half");
    EXPECT_FALSE(a.Read());
    EXPECT_EQ(a.ExtDescription(), "halffile");
    EXPECT_EQ(a.FileDescription(), "");
    EXPECT_EQ(a.Command(TSysFileAssociation::vOpen), "");
    a.SetExtension(".");
    EXPECT_FALSE(a.Read());
}

TEST_F(FileAssociationTest, SettersWriteOnlyWhenNotReadOnly) {
    TSysFileAssociation a(nullptr);
    a.SetExtension("xyz");
    a.SetReadOnly(false);
    a.SetFileDescription("XYZ data");
    EXPECT_EQ(Value(".xyz"), "xyzfile");
    EXPECT_EQ(Value("xyzfile"), "XYZ data");

    Backend.Calls.clear();
    EXPECT_TRUE(a.Delete());
    EXPECT_EQ(Value(".xyz"), "<missing>");
    EXPECT_EQ(Backend.Calls, (std::vector<std::string>{"Remove .xyz", "AssociationsChanged"}));
    EXPECT_TRUE(a.Delete()); // already gone
}

TEST_F(FileAssociationTest, DesignTimeReadOnlyRefusesWithWarning) {
    TScriptedDialogService dialogs;
    TDialogServiceScope dscope(&dialogs);
    TSysFileAssociation a(nullptr);
    a.SetExtension("dsg");
    a.SetDesigning(true);
    a.SetFileDescription("x");
    EXPECT_EQ(a.FileDescription(), "");
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, "Cannot change the property in Read-Only mode.");
    EXPECT_EQ(dialogs.Calls[0].Caption, "Warning");
    EXPECT_EQ(Value(".dsg"), "<missing>");

    a.SetReadOnly(false);
    a.SetFileDescription("y");
    EXPECT_EQ(Value("dsgfile"), "y");
    EXPECT_EQ(dialogs.Calls.size(), 1u);
}

// The desktop's own database in a data folder of the test's: the MIME type,
// the desktop entry and the rebuilt caches come and go with the association.
TEST_F(FileAssociationTest, DesktopDatabaseLearnsAndForgetsTheAssociation) {
    TSysBackend desktop;
    desktop.SetDataFolder(P("data"));
    TSysBackendScope real(&desktop);
    TSysFileAssociation a(nullptr);
    a.SetExtension("qmkf");
    a.SetFileDescription("Bannière & co");
    a.SetCommand(TSysFileAssociation::vOpen, "\"/opt/Quillo mark/editor\" \"%1\"");
    ASSERT_TRUE(a.Write());
    const std::string xml = Get("data/mime/packages/quillomark-qmkf.xml");
    EXPECT_NE(xml.find("<mime-type type=\"application/x-qmkffile\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<comment>Bannière &amp; co</comment>"), std::string::npos);
    EXPECT_NE(xml.find("<glob pattern=\"*.qmkf\"/>"), std::string::npos);
    const std::string entry = Get("data/applications/quillomark-qmkf.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/Quillo mark/editor\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("MimeType=application/x-qmkffile;\n"), std::string::npos);
    if (std::system("command -v update-mime-database >/dev/null") == 0)
        EXPECT_NE(Get("data/mime/globs2").find("*.qmkf"), std::string::npos);
    if (std::system("command -v update-desktop-database >/dev/null") == 0)
        EXPECT_NE(Get("data/applications/mimeinfo.cache").find("application/x-qmkffile="),
                  std::string::npos);

    ASSERT_TRUE(a.Delete());
    EXPECT_FALSE(std::filesystem::exists(P("data/mime/packages/quillomark-qmkf.xml")));
    EXPECT_FALSE(std::filesystem::exists(P("data/applications/quillomark-qmkf.desktop")));
    if (std::system("command -v update-mime-database >/dev/null") == 0)
        EXPECT_EQ(Get("data/mime/globs2").find("*.qmkf"), std::string::npos);
}

// Icons come out of icon files and programs' icon groups, 32 and 16 pixels.
TEST_F(FileAssociationTest, IconsFromIconFilesAndPrograms) {
    auto square = [](int n, std::uint8_t blue) {
        std::vector<std::uint8_t> px(std::size_t(n) * n * 4, 0);
        for (std::size_t i = 0; i < px.size(); i += 4)
            px[i] = blue, px[i + 3] = 255;
        return MakeIconFile(n, n, px.data());
    };
    // A program whose second icon group holds a 16 and a 32 pixel image.
    auto image = [&](int n, std::uint8_t blue) {
        std::vector<std::uint8_t> f = square(n, blue);
        return std::vector<std::uint8_t>(f.begin() + 22, f.end());
    };
    std::vector<std::uint8_t> group = {0, 0, 1, 0, 2, 0};
    for (auto [n, id] : {std::pair{16, 7}, std::pair{32, 8}}) {
        const std::vector<std::uint8_t> img = image(n, 0);
        group.insert(group.end(), {std::uint8_t(n), std::uint8_t(n), 0, 0, 1, 0, 32, 0});
        for (int k = 0; k < 4; ++k)
            group.push_back(std::uint8_t(img.size() >> (8 * k)));
        group.insert(group.end(), {std::uint8_t(id), 0});
    }
    const std::vector<std::uint8_t> pe = BuildPeFile({{RT_GROUP_ICON, 1, {0, 0, 1, 0, 0, 0}},
                                                      {RT_GROUP_ICON, 5, group},
                                                      {RT_ICON, 7, image(16, 0x10)},
                                                      {RT_ICON, 8, image(32, 0x20)}});
    Put("prog.exe", std::string(pe.begin(), pe.end()));
    const std::vector<std::uint8_t> ico = square(48, 0x30);
    Put("pic.ico", std::string(ico.begin(), ico.end()));

    TSysBackend desktop;
    TIcon large, small;
    ASSERT_TRUE(desktop.ExtractIcons(P("prog.exe"), 1, &large, &small));
    EXPECT_EQ(large.Width(), 32);
    EXPECT_EQ(small.Width(), 16);
    EXPECT_EQ(large.Image().Bits[0], 0x20); // blue of the 32-pixel image
    EXPECT_EQ(IconFileCount(P("prog.exe")), 2);
    ASSERT_TRUE(desktop.ExtractIcons(P("prog.exe"), -5, &large, nullptr)); // by identifier
    EXPECT_FALSE(desktop.ExtractIcons(P("prog.exe"), 2, &large, &small));
    ASSERT_TRUE(desktop.ExtractIcons(P("pic.ico"), 0, &large, &small));
    EXPECT_EQ(large.Width(), 48);
    EXPECT_FALSE(desktop.ExtractIcons(P("pic.ico"), 1, &large, &small));

    // Without a file the desktop's stock icons answer.
    TIcon stockLarge, stockSmall;
    ASSERT_TRUE(desktop.ExtractIcons("", 2, &stockLarge, &stockSmall));
    EXPECT_EQ(stockLarge.Width(), 32);
    EXPECT_EQ(stockSmall.Width(), 16);
}

} // namespace
