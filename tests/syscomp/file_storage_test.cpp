#include "syscomp/FileStorage.h"

#include "SysTestSupport.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Dialogs.h"
#include "support/TestSupport.h"

namespace {

using FileStorageTest = SysTempTest;

// The bytes of the "FileData" property as a component stream writes them.
std::string FileDataBytes(TSysFileStorage& S) {
    TMemoryStream m;
    TWriter w(m);
    w.WriteRootComponent(&S);
    std::string all(m.View());
    const std::string name = "\x08"
                             "FileData";
    std::size_t p = all.find(name);
    if (p == std::string::npos) return "<absent>";
    p += name.size();
    if (std::uint8_t(all[p]) != vaBinary) return "<not binary>";
    std::uint32_t n = std::uint8_t(all[p + 1]) | std::uint8_t(all[p + 2]) << 8 |
                      std::uint8_t(all[p + 3]) << 16 |
                      std::uint32_t(std::uint8_t(all[p + 4])) << 24;
    return all.substr(p + 5, n);
}

TEST_F(FileStorageTest, FileDataFormatAndRoundTrip) {
    TSysFileStorage empty(nullptr);
    EXPECT_EQ(FileDataBytes(empty), std::string(4, '\0'));

    Put("in.bin", std::string("ab\0c", 4));
    TSysFileStorage s(nullptr);
    s.SetName("Store");
    ASSERT_TRUE(s.LoadFromFile(P("in.bin")));
    EXPECT_EQ(s.DataSize(), 4u);
    EXPECT_EQ(FileDataBytes(s), std::string("\x04\0\0\0ab\0c", 8));

    TMemoryStream m;
    TWriter(m).WriteRootComponent(&s);
    m.SetPosition(0);
    TSysFileStorage copy(nullptr);
    TReader(m).ReadRootComponent(&copy);
    EXPECT_EQ(copy.DataSize(), 4u);
    EXPECT_EQ(copy.Data()->View(), std::string("ab\0c", 4));
}

TEST_F(FileStorageTest, FileDataCountBeyondTheStreamIsRefused) {
    TSysFileStorage s(nullptr);
    s.SetName("Store");
    Put("in.bin", "hello");
    s.LoadFromFile(P("in.bin"));
    TMemoryStream m;
    TWriter(m).WriteRootComponent(&s);
    std::string bytes(m.View());
    const std::size_t p = bytes.find(std::string("\x05\0\0\0hello", 9));
    ASSERT_NE(p, std::string::npos);
    bytes[p] = '\x7f'; // claims 127 bytes inside a 9-byte binary value
    TStringStream in(bytes);
    TSysFileStorage copy(nullptr);
    EXPECT_THROW(TReader(in).ReadRootComponent(&copy), EReadError);
    EXPECT_EQ(copy.DataSize(), 0u);
}

TEST_F(FileStorageTest, LoadAndSaveResults) {
    TSysFileStorage s(nullptr);
    std::vector<std::string> events;
    s.OnLoad = [&](TObject*, bool ok) { events.push_back(ok ? "load ok" : "load failed"); };
    s.OnSave = [&](TObject*, bool ok) { events.push_back(ok ? "save ok" : "save failed"); };
    EXPECT_FALSE(s.LoadFromFile(P("missing")));

    Put("in.bin", "data");
    ASSERT_TRUE(s.LoadFromFile(P("in.bin")));
    EXPECT_TRUE(s.SaveToFile(P("out.bin")));
    EXPECT_EQ(Get("out.bin"), "data");

    Put("keep.bin", "old");
    s.OnConfirmOverride = [](TObject*, bool& Override) { Override = false; };
    EXPECT_FALSE(s.SaveToFile(P("keep.bin")));
    EXPECT_EQ(Get("keep.bin"), "old");

    EXPECT_EQ(MessageOf<ESysFileStorage>([&] { s.SaveToFile(P("no/such/dir/x")); }),
              "Can not save data to the \"" + P("no/such/dir/x") + "\" file");
    EXPECT_EQ(MessageOf<ESysFileStorage>([&] { s.LoadFromFile(Dir.string()); }), "no error");
    EXPECT_EQ(events, (std::vector<std::string>{"load failed", "load ok", "save ok", "save failed",
                                                "save failed", "load failed"}));
}

TEST_F(FileStorageTest, AutoSaveAtDesignTimeNeedsAUsableName) {
    TScriptedDialogService dialogs;
    TDialogServiceScope scope(&dialogs);
    TSysFileStorage s(nullptr);
    s.SetDesigning(true);
    s.SetSaveName(P("no/such/dir/x"));
    s.SetAutoSave(true);
    EXPECT_FALSE(s.AutoSave());
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text,
              "AutoSave can not be set because the SaveName property contains a wrong file name");
    s.SetSaveName(P("ok.bin"));
    s.SetAutoSave(true);
    EXPECT_TRUE(s.AutoSave());
    EXPECT_FALSE(Exists("ok.bin")); // the probe file is removed again
}

} // namespace
