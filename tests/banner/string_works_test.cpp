#include "banner/StringWorks.h"

#include <gtest/gtest.h>

TEST(StringWorks, CountOccurrencesCountsOverlaps) {
    EXPECT_EQ(CountOccurrences("a", "aaa"), 3);
    EXPECT_EQ(CountOccurrences("aa", "aaa"), 2);
    EXPECT_EQ(CountOccurrences(".", "..."), 3);
    EXPECT_EQ(CountOccurrences("abc", "ab"), 0); // tail shorter than Sub
    EXPECT_EQ(CountOccurrences("A", "aaa"), 0);  // case-sensitive
    EXPECT_EQ(CountOccurrences("", "abc"), 3);
    EXPECT_EQ(CountOccurrences("x", ""), 0);
    EXPECT_EQ(CountOccurrences("é", "été"), 2);
}

TEST(StringWorks, NthOccurrencePositions) {
    EXPECT_EQ(NthOccurrence("a.b.c", ".", 2), 4);
    EXPECT_EQ(NthOccurrence("a.b.c", ".", 1), 2);
    EXPECT_EQ(NthOccurrence("a.b.c", ".", 3), 0);
    EXPECT_EQ(NthOccurrence("a.b.c", ".", -1), 0);
    EXPECT_EQ(NthOccurrence("aaa", "aa", 2), 2);
    // N = 0: position 1 unless S begins with Sub.
    EXPECT_EQ(NthOccurrence("abc", ".", 0), 1);
    EXPECT_EQ(NthOccurrence(".abc", ".", 0), 0);
    EXPECT_EQ(NthOccurrence("", ".", 0), 0);
    // Positions count characters, not bytes.
    EXPECT_EQ(NthOccurrence("éé.x", ".", 1), 3);
}

TEST(StringWorks, LeftPartCountsCharacters) {
    EXPECT_EQ(LeftPart("abcdef", 3), "abc");
    EXPECT_EQ(LeftPart("abc", 10), "abc");
    EXPECT_EQ(LeftPart("abc", 0), "");
    EXPECT_EQ(LeftPart("abc", -2), "");
    EXPECT_EQ(LeftPart("éèà", 2), "éè");
}

TEST(StringWorks, StripExtensionCutsAtTheLastDotOfTheName) {
    EXPECT_EQ(StripExtension("c:\\a.b\\banner.qmkf"), "c:\\a.b\\banner");
    EXPECT_EQ(StripExtension("x.tar.gz"), "x.tar");
    EXPECT_EQ(StripExtension("/home/é/bannière.qmkf"), "/home/é/bannière");
    EXPECT_EQ(StripExtension("name."), "name");
    EXPECT_EQ(StripExtension("sans_nom"), "sans_nom");
    EXPECT_EQ(StripExtension("/home/a.b/banner"), "/home/a.b/banner");
    EXPECT_EQ(StripExtension(""), "");
}
