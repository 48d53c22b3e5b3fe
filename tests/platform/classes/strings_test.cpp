#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"
#include "platform/classes/Strings.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <filesystem>

namespace {

std::vector<std::string> Lines(std::string_view Text) {
    TStringList L;
    L.SetText(Text);
    return L.ToVector();
}

using V = std::vector<std::string>;

TEST(StringsText, SplitsOnCrLfAndCrLfWithoutATrailingEmptyLine) {
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("a"), V{"a"});
    EXPECT_EQ(Lines("a\r\nb"), (V{"a", "b"}));
    EXPECT_EQ(Lines("a\rb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\r\n"), V{"a"});
    EXPECT_EQ(Lines("a\n"), V{"a"});
    EXPECT_EQ(Lines("a\r"), V{"a"});
    EXPECT_EQ(Lines("\r\n"), V{""});
    EXPECT_EQ(Lines("a\n\nb"), (V{"a", "", "b"}));
    // LF CR is two breaks, CR LF is one.
    EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\r\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\r\n\r\n"), (V{"a", ""}));
}

TEST(StringsText, EndsEveryLineWithCrLfSoThatTextRoundTrips) {
    TStringList L;
    L.AddStrings(V{"un", "", "trois", ""});
    EXPECT_EQ(L.Text(), "un\r\n\r\ntrois\r\n\r\n");
    TStringList Back;
    Back.SetText(L.Text());
    EXPECT_TRUE(Back.Equals(&L));
    L.Clear();
    EXPECT_EQ(L.Text(), "");
}

std::vector<std::string> FromComma(std::string_view Text) {
    TStringList L;
    L.SetCommaText(Text);
    return L.ToVector();
}

std::string ToComma(const V& Items) {
    TStringList L;
    L.AddStrings(Items);
    return L.CommaText();
}

TEST(StringsCommaText, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(ToComma({"a", "b c", "d,e", "say \"hi\"", "été"}),
              "a,\"b c\",\"d,e\",\"say \"\"hi\"\"\",été");
    EXPECT_EQ(ToComma({"a", "", "b"}), "a,,b");
    EXPECT_EQ(ToComma({""}), "\"\"");
    EXPECT_EQ(ToComma({"tab\there"}), "\"tab\there\"");
    EXPECT_EQ(ToComma({}), "");
}

TEST(StringsCommaText, ParsesSpacesQuotesAndEmptyItems) {
    EXPECT_EQ(FromComma("a b,c"), (V{"a", "b", "c"}));
    EXPECT_EQ(FromComma("  a ,  b  "), (V{"a", "b"}));
    EXPECT_EQ(FromComma("\"a b\",\"x\"\"y\""), (V{"a b", "x\"y"}));
    EXPECT_EQ(FromComma("a,"), (V{"a", ""}));
    EXPECT_EQ(FromComma(",a"), (V{"", "a"}));
    EXPECT_EQ(FromComma("\"unterminated"), V{"unterminated"});
    EXPECT_EQ(FromComma(""), V{});
    // A NUL byte separates like a space instead of stalling the parser.
    EXPECT_EQ(FromComma(std::string("a\0b\0", 4)), (V{"a", "b"}));
}

TEST(StringsCommaText, RoundTripsAwkwardItems) {
    const std::vector<V> Cases = {
        {""},           {"", ""}, {"a", ""}, {"", "a"}, {" lead", "trail ", "\"", ",", "x\"\"y"},
        {"a\r\nb", "ü"}};
    for (const V& Items : Cases)
        EXPECT_EQ(FromComma(ToComma(Items)), Items) << ToComma(Items);
}

TEST(StringsDelimitedText, StrictDelimiterKeepsSpaces) {
    TStringList L;
    L.SetDelimiter(';');
    L.SetQuoteChar('\'');
    L.SetStrictDelimiter(true);
    L.SetDelimitedText("a b; c;'d;e'");
    EXPECT_EQ(L.ToVector(), (V{"a b", " c", "d;e"}));
    EXPECT_EQ(L.DelimitedText(), "a b; c;'d;e'");
    // CommaText ignores the custom delimiter and quote.
    EXPECT_EQ(L.CommaText(), "\"a b\",\" c\",d;e");
}

TEST(StringsValues, NamesAndValues) {
    TStringList L;
    L.AddStrings(V{"Left=10", "Top=", "plain", "Url=a=b"});
    EXPECT_EQ(L.Names(0), "Left");
    EXPECT_EQ(L.Names(2), "");
    EXPECT_EQ(L.Values("left"), "10");
    EXPECT_EQ(L.Values("URL"), "a=b");
    EXPECT_EQ(L.Values("missing"), "");
    EXPECT_EQ(L.ValueFromIndex(2), "");
    EXPECT_EQ(L.IndexOfName("TOP"), 1);
    L.SetValue("Left", "20");
    L.SetValue("Width", "5");
    L.SetValue("Top", "");
    EXPECT_EQ(L.ToVector(), (V{"Left=20", "plain", "Url=a=b", "Width=5"}));
}

TEST(StringsList, IndexErrorsAndCaseInsensitiveIndexOf) {
    TStringList L;
    L.AddStrings(V{"Alpha", "beta"});
    EXPECT_EQ(L.IndexOf("ALPHA"), 0);
    EXPECT_EQ(L.IndexOf("gamma"), -1);
    L.SetCaseSensitive(true);
    EXPECT_EQ(L.IndexOf("ALPHA"), -1);
    EXPECT_EQ(MessageOf<EStringListError>([&] { L.Get(2); }), "List index out of bounds (2)");
    EXPECT_THROW(L.Delete(-1), EStringListError);
    EXPECT_THROW(L.Insert(3, "x"), EStringListError);
    L.Insert(2, "end");
    L.Move(2, 0);
    L.Exchange(1, 2);
    EXPECT_EQ(L.ToVector(), (V{"end", "beta", "Alpha"}));
}

TEST(StringsSorted, FindInsertsInOrderAndHandlesDuplicates) {
    TStringList L;
    L.SetSorted(true);
    for (const char* S : {"pear", "Apple", "fig", "banana", "apple"})
        L.Add(S);
    // dupIgnore: "apple" equals "Apple" ignoring case and is dropped.
    EXPECT_EQ(L.ToVector(), (V{"Apple", "banana", "fig", "pear"}));
    int Index = -1;
    EXPECT_TRUE(L.Find("FIG", Index));
    EXPECT_EQ(Index, 2);
    EXPECT_FALSE(L.Find("cherry", Index));
    EXPECT_EQ(Index, 2);
    EXPECT_FALSE(L.Find("zz", Index));
    EXPECT_EQ(Index, 4);
    EXPECT_EQ(L.Add("BANANA"), 1);
    EXPECT_EQ(L.Count(), 4);

    L.SetDuplicates(dupError);
    EXPECT_EQ(MessageOf<EStringListError>([&] { L.Add("Pear"); }),
              "String list does not allow duplicates");
    L.SetDuplicates(dupAccept);
    EXPECT_EQ(L.Add("FIG"), 2);
    EXPECT_EQ(L.Count(), 5);
    EXPECT_TRUE(L.Find("fig", Index));
    EXPECT_EQ(Index, 2);

    EXPECT_THROW(L.Insert(0, "x"), EStringListError);
    EXPECT_THROW(L.Put(0, "x"), EStringListError);
    EXPECT_THROW(L.Move(0, 1), EStringListError);
    EXPECT_EQ(L.Count(), 5) << "a refused move must not lose the item";
}

TEST(StringsSorted, CaseSensitiveOrderAndResort) {
    TStringList L;
    L.AddStrings(V{"b", "A", "a", "B"});
    L.SetCaseSensitive(true);
    L.SetSorted(true);
    EXPECT_EQ(L.ToVector(), (V{"a", "A", "b", "B"}));
    int Index = -1;
    EXPECT_TRUE(L.Find("B", Index));
    EXPECT_EQ(Index, 3);
    L.SetCaseSensitive(false);
    EXPECT_TRUE(L.Find("b", Index));
    EXPECT_EQ(Index, 2);
}

TEST(StringsSorted, CustomSortSeesTheUnsortedIndices) {
    TStringList L;
    L.AddStrings(V{"ccc", "a", "bb", "dddd"});
    L.CustomSort([](TStringList* List, int I1, int I2) {
        return int(List->Strings(I2).size()) - int(List->Strings(I1).size());
    });
    EXPECT_EQ(L.ToVector(), (V{"dddd", "ccc", "bb", "a"}));
}

struct TCounted : TObject {
    explicit TCounted(int* Deleted) : FDeleted(Deleted) {}
    ~TCounted() override { ++*FDeleted; }
    int* FDeleted;
};

TEST(StringsList, ObjectsAssignAndOwnership) {
    int Deleted = 0;
    {
        TStringList L(true);
        L.AddObject("one", new TCounted(&Deleted));
        L.AddObject("two", new TCounted(&Deleted));
        L.AddObject("three", new TCounted(&Deleted));
        L.Delete(0);
        EXPECT_EQ(Deleted, 1);
        L.PutObject(0, new TCounted(&Deleted));
        EXPECT_EQ(Deleted, 2);
        TStringList Copy;
        Copy.Assign(&L);
        EXPECT_TRUE(Copy.Equals(&L));
        EXPECT_EQ(Copy.Objects(1), L.Objects(1));
        Copy.Assign(&Copy);
        EXPECT_EQ(Copy.Count(), 2);
        Copy.AddStrings(&Copy);
        EXPECT_EQ(Copy.ToVector(), (V{"two", "three", "two", "three"}));
    }
    EXPECT_EQ(Deleted, 4);
    TStringList L;
    EXPECT_EQ(MessageOf<EConvertError>([&] { L.Assign(nullptr); }),
              "Cannot assign a nil to a TStringList");
}

TEST(StringsList, ChangeEventsFireOnceAroundAnUpdate) {
    TStringList L;
    std::string Log;
    L.OnChanging = [&](TObject*) { Log += '<'; };
    L.OnChange = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &L);
        Log += '>';
    };
    L.Add("a");
    EXPECT_EQ(Log, "<>");
    Log.clear();
    L.SetText("x\ny\nz");
    L.BeginUpdate();
    L.Add("1");
    L.Delete(0);
    L.EndUpdate();
    EXPECT_EQ(Log, "<><>");
}

TEST(StringsFiles, SaveAndLoadWithCrLf) {
    auto Path = std::filesystem::temp_directory_path() / "qm_strings_test.txt";
    TStringList L;
    L.AddStrings(V{"première", "", "ligne"});
    L.SaveToFile(Path.string());
    TMemoryStream M;
    M.LoadFromFile(Path.string());
    EXPECT_EQ(M.View(), "première\r\n\r\nligne\r\n");
    TStringList Back;
    Back.LoadFromFile(Path.string());
    EXPECT_TRUE(Back.Equals(&L));
    TStringStream WithMark("\xEF\xBB\xBF"
                           "a\nb");
    Back.LoadFromStream(&WithMark);
    EXPECT_EQ(Back.ToVector(), (V{"a", "b"}));
    std::filesystem::remove(Path);
    EXPECT_THROW(Back.LoadFromFile(Path.string()), EFOpenError);
}

} // namespace
