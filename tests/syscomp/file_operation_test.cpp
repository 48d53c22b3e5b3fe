#include "syscomp/FileOperation.h"

#include "SysTestSupport.h"
#include "platform/classes/Strings.h"

#include <cstring>

namespace {

class FileOperationTest : public SysTempTest {
protected:
    void SetUp() override {
        SysTempTest::SetUp();
        Op = std::make_unique<TSysFileOperation>(nullptr);
        Op->OnError = [this](TObject*, const std::string& S, bool& Handled) {
            Errors.push_back(S);
            Handled = true;
        };
    }
    void Files(std::initializer_list<std::string> Lines) {
        Op->FileList()->Clear();
        for (const auto& l : Lines)
            Op->FileList()->Add(l);
    }

    std::unique_ptr<TSysFileOperation> Op;
    std::vector<std::string> Errors;
};

TEST(FileOperationNames, DestinationBuilding) {
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "b.*", "/out"), "/out/b.txt");
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "*.bak", "/out/"), "/out/a.bak");
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "c", "/out"), "/out/c.txt");
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "/x/y.dat", "/out"), "/x/y.dat");
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "y.dat", ""), "/in/y.dat");
    EXPECT_EQ(SysBuildDestName("/in/a.txt", "  ", "/out"), "");
}

TEST(FileOperationNames, ShellNumbers) {
    EXPECT_EQ(SysFileOperationFunction(fotCopy), 2);
    EXPECT_EQ(SysFileOperationFunction(fotDelete), 3);
    EXPECT_EQ(SysFileOperationFunction(fotMove), 1);
    EXPECT_EQ(SysFileOperationFunction(fotRename), 4);
    TSysFileOperation op(nullptr);
    EXPECT_EQ(SysFileOperationShellFlags(op.Options()), 0x40u | 0x80u | 0x08u);
    EXPECT_EQ(SysFileOperationShellFlags(SysFileFlag(fofNoConfirmMkDir) | SysFileFlag(fofSilent) |
                                         SysFileFlag(fofNoErrorUI) |
                                         SysFileFlag(fofSimpleProgress) |
                                         SysFileFlag(fofNoConfirmation)),
              0x200u | 0x04u | 0x400u | 0x100u | 0x10u);
}

TEST_F(FileOperationTest, CopiesFilesAndFoldersIntoDestFolder) {
    Put("in/a.txt", "A");
    Put("in/sub/b.txt", "B");
    Files({P("in/a.txt"), P("in/sub")});
    Op->SetDestFolder(P("out"));
    EXPECT_TRUE(Op->Execute());
    EXPECT_EQ(Get("out/a.txt"), "A");
    EXPECT_EQ(Get("out/sub/b.txt"), "B");
    EXPECT_TRUE(Exists("in/a.txt"));
    EXPECT_TRUE(Errors.empty());
}

TEST_F(FileOperationTest, EmptyListSucceedsWithoutDoingAnything) {
    EXPECT_TRUE(Op->Execute(fotDelete));
    EXPECT_EQ(Op->LastResult(), 0);
}

TEST_F(FileOperationTest, MultipleDestinationLines) {
    Put("in/a.txt", "A");
    Put("in/c.txt", "C");
    Files({P("in/a.txt") + "=b.*", P("in/c.txt") + "=" + P("other/d.dat")});
    Op->SetDestFolder(P("out"));
    EXPECT_TRUE(Op->Execute(fotMove));
    EXPECT_EQ(Get("out/b.txt"), "A");
    EXPECT_EQ(Get("other/d.dat"), "C");
    EXPECT_FALSE(Exists("in/a.txt"));
    EXPECT_FALSE(Exists("in/c.txt"));
}

TEST_F(FileOperationTest, CollisionsAreRenamedReplacedOrRefused) {
    Put("in/a.txt", "new");
    Put("out/a.txt", "old");
    Files({P("in/a.txt")});
    Op->SetDestFolder(P("out"));
    EXPECT_TRUE(Op->Execute()); // default options rename on collision
    EXPECT_EQ(Get("out/a.txt"), "old");
    EXPECT_EQ(Get("out/a (2).txt"), "new");

    Op->SetOptions(0);
    EXPECT_FALSE(Op->Execute());
    EXPECT_EQ(Op->LastResult(), EEXIST);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], std::strerror(EEXIST));
    EXPECT_EQ(Get("out/a.txt"), "old");

    Op->SetOptions(SysFileFlag(fofNoConfirmation));
    EXPECT_TRUE(Op->Execute());
    EXPECT_EQ(Get("out/a.txt"), "new");
}

TEST_F(FileOperationTest, CopyOntoItselfNeverTruncates) {
    Put("in/a.txt", "keep");
    Files({P("in/a.txt")});
    Op->SetDestFolder(P("in"));
    Op->SetOptions(SysFileFlag(fofNoConfirmation));
    EXPECT_FALSE(Op->Execute());
    EXPECT_EQ(Get("in/a.txt"), "keep");
    Files({P("in")});
    Op->SetDestFolder(P("in/deeper"));
    EXPECT_FALSE(Op->Execute());
    EXPECT_EQ(Op->LastResult(), EINVAL);
}

TEST_F(FileOperationTest, WildcardsHonourFilesOnly) {
    Put("in/a.txt", "A");
    Put("in/b.txt", "B");
    Put("in/c.log", "C");
    Put("in/d.txt/inner", "D"); // a folder whose name matches
    Files({P("in/*.txt")});
    Op->SetDestFolder(P("out"));
    EXPECT_TRUE(Op->Execute());
    EXPECT_TRUE(Exists("out/a.txt"));
    EXPECT_TRUE(Exists("out/b.txt"));
    EXPECT_FALSE(Exists("out/c.log"));
    EXPECT_FALSE(Exists("out/d.txt"));

    Files({P("in/*.none")});
    EXPECT_FALSE(Op->Execute());
    EXPECT_EQ(Op->LastResult(), SysNoMoreFiles);
    EXPECT_TRUE(Errors.empty()); // nothing matched: not reported
}

TEST_F(FileOperationTest, MissingSourceStopsAndReports) {
    Put("in/b.txt", "B");
    Files({P("in/missing.txt"), P("in/b.txt")});
    Op->SetDestFolder(P("out"));
    EXPECT_FALSE(Op->Execute(fotMove));
    EXPECT_EQ(Op->LastResult(), ENOENT);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], std::strerror(ENOENT));
    EXPECT_TRUE(Exists("in/b.txt"));
}

TEST_F(FileOperationTest, RenameInPlaceAndRefuseExisting) {
    Put("in/a.txt", "A");
    Put("in/taken.txt", "T");
    Files({P("in/a.txt")});
    Op->SetDestFolder("b.txt");
    Op->SetOptions(0);
    EXPECT_TRUE(Op->Execute(fotRename));
    EXPECT_EQ(Get("in/b.txt"), "A");
    Files({P("in/b.txt")});
    Op->SetDestFolder("taken.txt");
    EXPECT_FALSE(Op->Execute(fotRename));
    EXPECT_EQ(Get("in/taken.txt"), "T");
    EXPECT_TRUE(Exists("in/b.txt"));
    Op->SetDestFolder("");
    EXPECT_FALSE(Op->Execute(fotRename));
    EXPECT_EQ(Op->LastResult(), EINVAL);
    EXPECT_TRUE(Exists("in/b.txt"));

    // Moving a file onto itself is refused, not turned into a renamed copy.
    Files({P("in/b.txt")});
    Op->SetDestFolder(P("in"));
    Op->SetOptions(SysFileFlag(fofRenameCollision));
    EXPECT_FALSE(Op->Execute(fotMove));
    EXPECT_EQ(Op->LastResult(), EINVAL);
    EXPECT_EQ(Get("in/b.txt"), "A");
    EXPECT_FALSE(Exists("in/b (2).txt"));
}

TEST_F(FileOperationTest, DeleteErasesOrMovesToTrash) {
    Put("in/a.txt", "A");
    Put("in/tree/x/y.txt", "Y");
    Files({P("in/a.txt"), P("in/tree")});
    Op->SetOptions(0);
    EXPECT_TRUE(Op->Execute(fotDelete));
    EXPECT_FALSE(Exists("in/a.txt"));
    EXPECT_FALSE(Exists("in/tree"));

    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", P("data").c_str(), 1);
    Put("in/a.txt", "A1");
    Files({P("in/a.txt")});
    Op->SetOptions(SysFileFlag(fofAllowUndo));
    EXPECT_TRUE(Op->Execute(fotDelete));
    Put("in/a.txt", "A2");
    EXPECT_TRUE(Op->Execute(fotDelete));
    // A file left in the trash without its info keeps its name.
    Put("data/Trash/files/a.txt.3", "orphan");
    Put("in/a.txt", "A3");
    EXPECT_TRUE(Op->Execute(fotDelete));
    if (saved)
        setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");

    EXPECT_FALSE(Exists("in/a.txt"));
    EXPECT_EQ(Get("data/Trash/files/a.txt"), "A1");
    EXPECT_EQ(Get("data/Trash/files/a.txt.2"), "A2");
    EXPECT_EQ(Get("data/Trash/files/a.txt.3"), "orphan");
    EXPECT_EQ(Get("data/Trash/files/a.txt.4"), "A3");
    EXPECT_TRUE(Exists("data/Trash/info/a.txt.4.trashinfo"));
    EXPECT_FALSE(Exists("data/Trash/info/a.txt.3.trashinfo"));
    const std::string info = Get("data/Trash/info/a.txt.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + P("in/a.txt") + "\nDeletionDate=", 0), 0u) << info;
}

} // namespace
