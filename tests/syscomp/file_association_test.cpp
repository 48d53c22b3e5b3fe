#include "syscomp/FileAssociation.h"

#include "SysTestSupport.h"
#include "platform/forms/Dialogs.h"
#include "platform/system/Registry.h"

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
    EXPECT_EQ(Backend.Calls, std::vector<std::string>{"AssociationsChanged"});

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
    EXPECT_EQ(Backend.Calls, std::vector<std::string>{"AssociationsChanged"});
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

} // namespace
