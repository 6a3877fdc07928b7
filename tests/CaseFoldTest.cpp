// Comparison without regard to case: Unicode simple folding for UTF-8,
// ASCII folding for other bytes, raw bytes to break ties.
#include <gtest/gtest.h>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/StringList.h"
#include "base/Utf8.h"

namespace tw {
namespace {

TEST(CaseFold, FoldsUnicodeSimpleMappingsOnly) {
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {"README.TXT", "readme.txt", true},
      {"ÄÖÜ", "äöü", true},
      {"ΣΊΣΥΦΟΣ", "σίσυφος", true},   // final sigma folds to sigma
      {"Straße", "STRASSE", false},    // ß has only a full folding
      {"K", "k", true},                // Kelvin sign
      {"Ǆ", "ǆ", true},
      {"\xC4x", "\xE4X", false},        // Windows-1252 bytes fold as ASCII only
      {"\xC4x", "\xC4X", true},
      {"a", "ab", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameText(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(CaseFold, NamesOrderByFoldedThenRawBytes) {
  EXPECT_LT(CompareNames("A", "a"), 0);
  EXPECT_GT(CompareNames("a", "A"), 0);
  EXPECT_LT(CompareNames("a", "B"), 0);
  EXPECT_LT(CompareNames("B", "c"), 0);
  EXPECT_EQ(CompareNames("x", "x"), 0);
  EXPECT_EQ(CompareText("Ab", "aB"), 0);
  EXPECT_GT(CompareText("É", "f"), 0);  // folded bytes: letters beyond ASCII come after z
}

TEST(SortedStrings, DuplicateRules) {
  TSortedStrings ignore(TDuplicates::Ignore);
  EXPECT_TRUE(ignore.Add("Rock"));
  EXPECT_FALSE(ignore.Add("rock"));
  EXPECT_TRUE(ignore.Add("Jazz"));
  EXPECT_TRUE(ignore.Add("blues"));
  EXPECT_EQ(ignore.Items(), (std::vector<std::string>{"blues", "Jazz", "Rock"}));
  EXPECT_EQ(ignore.IndexOf("ROCK"), 2);
  EXPECT_EQ(ignore.IndexOf("Pop"), -1);

  TSortedStrings strict(TDuplicates::Error);
  strict.Add("Artist=Artist");
  EXPECT_THROW(strict.Add("artist=artist"), EError);
}

TEST(Utf8, DisplayTextOfWindowsBytes) {
  EXPECT_EQ(DisplayUtf8("plain"), "plain");
  EXPECT_EQ(DisplayUtf8("caf\xC3\xA9"), "café");
  EXPECT_EQ(DisplayUtf8("caf\xE9"), "café");
  EXPECT_EQ(DisplayUtf8("\x80 \x93x\x94"), "€ “x”");
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));     // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
}

}  // namespace
}  // namespace tw
