// The message table: lookups, wrapped texts, key case and formatting.
#include <gtest/gtest.h>

#include <set>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/Messages.h"

namespace tw {
namespace {

TEST(MessageTable, LookupsIgnoreKeyCase) {
  TMessageTable t;
  for (const char* key : {"infoCancel", "infocancel", "INFOCANCEL"}) EXPECT_EQ(t.GetText(key), "Operation Canceled");
  EXPECT_EQ(t.GetText("noSuchKey"), "");
  EXPECT_EQ(t.GetText(""), "");
  EXPECT_EQ(t.GetText("MLStringList"), "translation");
}

TEST(MessageTable, WrappedTextsComeBackWithSingleQuotes) {
  TMessageTable t;
  struct Case {
    const char* key;
    const char* text;
  } cases[] = {
      {"confLoad", "Load Library \"%s\" ?"},
      {"confImport", "Import Library \"%s\" ?"},
      {"confReplace", "Replace existing \"%s\" ?"},
      {"confSerDup", "Found Volumes with Serial \"%s\":"},
      {"confAddFav", "Add \"%s\" to favorites?"},
      {"errAssigned", "Already assigned as \"%s\""},
      {"txtRarMSG3", "Used Pass is: "},
      {"msgsInfo", "Volumes: %s Folders: %s Files: %s Size: %s Time: %s"},
  };
  for (const auto& c : cases) EXPECT_EQ(t.GetText(c.key), c.text) << c.key;
}

TEST(MessageTable, UnwrappingDropsOneOfEachRunOfQuotes) {
  TMessageTable t;
  ASSERT_TRUE(t.SetText("infoItems", "\"a \"\"\"b\"\" c\""));
  EXPECT_EQ(t.GetText("infoItems"), "a \"b\" c");
  ASSERT_TRUE(t.SetText("infoItems", "\""));
  EXPECT_EQ(t.GetText("infoItems"), "");
  EXPECT_FALSE(t.SetText("noSuchKey", "x"));
}

TEST(MessageTable, TableIsWellFormed) {
  const auto& lines = TMessageTable::BuiltIn();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "MLStringList=translation");
  std::set<std::string> keys;
  int groups = 1;
  for (const auto& line : lines) {
    if (line.empty()) {
      ++groups;
      continue;
    }
    auto eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    EXPECT_TRUE(keys.insert(UpperAscii(line.substr(0, eq))).second) << "duplicate key " << line;
    std::string text = line.substr(eq + 1);
    // A quote inside a text only in the wrapped form.
    if (text.find('"') != std::string::npos) {
      EXPECT_TRUE(text.front() == '"' && text.back() == '"') << line;
    }
  }
  EXPECT_EQ(groups, 7);
  EXPECT_EQ(lines.back(), "txtzipmsg14=UNZDLL.DLL not found");
}

TEST(MessageTable, UpperCaseKeysKeepsTexts) {
  TMessageTable t;
  t.UpperCaseKeys();
  for (const auto& line : t.Lines()) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    EXPECT_EQ(line.substr(0, eq), UpperAscii(line.substr(0, eq)));
  }
  EXPECT_EQ(t.GetText("confLoad"), "Load Library \"%s\" ?");
}

TEST(MessageTable, FormatFillsPlaceholdersInOrder) {
  EXPECT_EQ(Format("Loading %s", {"a.twl"}), "Loading a.twl");
  EXPECT_EQ(Format("%s : %s", {"a", "b"}), "a : b");
  EXPECT_EQ(Format("%s and %s", {"a"}), "a and ");
  EXPECT_EQ(Format("100%% %s", {"x"}), "100% x");
  EXPECT_EQ(Format("no value", {"x"}), "no value");
  EXPECT_EQ(Format("%s", {"%s"}), "%s");  // values are not scanned again
}

}  // namespace
}  // namespace tw
