// INI files: sections, keys without regard to case, kinds, damaged lines.
#include "base/IniFile.h"

#include <gtest/gtest.h>

#include "tests/ByteWriter.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  TIniFile ini;
  ini.Parse("; comment\r\nstray=before any section\r\n[Search]\r\nName = Beatles \r\nSize=12\n"
            "Match Case=1\r\n[ 12AB34CD ]\nartist=Band\nname=second occurrence\n[broken\nx\n=no key\n");
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Search", "12AB34CD"}));
  EXPECT_EQ(ini.ReadString("search", "NAME", "-"), "Beatles");
  EXPECT_EQ(ini.ReadString("Search", "missing", "-"), "-");
  EXPECT_EQ(ini.ReadString("nowhere", "Name", "-"), "-");
  EXPECT_EQ(ini.ReadInteger("Search", "Size", 0), 12);
  EXPECT_EQ(ini.ReadInteger("Search", "Name", 7), 7);  // not a number
  EXPECT_TRUE(ini.ReadBool("Search", "match case", false));
  EXPECT_EQ(ini.ReadString("12ab34cd", "Artist", ""), "Band");
  EXPECT_EQ(ini.Keys("Search"), (std::vector<std::string>{"Name", "Size", "Match Case"}));
  EXPECT_FALSE(ini.ValueExists("Search", "stray"));
}

TEST(IniFile, WritesInOrderWithCrLf) {
  TIniFile ini;
  ini.WriteString("Search", "Name", "a=b");
  ini.WriteBool("Search", "Match Case", false);
  ini.WriteInteger("Search", "Size", -3);
  ini.WriteString("search", "NAME", "c");
  ini.WriteString("Other", "k", "");
  EXPECT_EQ(ini.Text(), "[Search]\r\nName=c\r\nMatch Case=0\r\nSize=-3\r\n\r\n[Other]\r\nk=\r\n\r\n");
  TIniFile back;
  back.Parse(ini.Text());
  EXPECT_EQ(back.Text(), ini.Text());
  ini.EraseSection("SEARCH");
  EXPECT_FALSE(ini.SectionExists("Search"));
}

class IniFileDisk : public TLibraryTest {};

TEST_F(IniFileDisk, SavesAndReadsAFile) {
  TIniFile ini;
  ini.WriteString("Search", "Name", "x");
  ini.Save(Path("a.TWS"));
  EXPECT_EQ(ReadFile(Path("a.TWS")), "[Search]\r\nName=x\r\n\r\n");
  EXPECT_EQ(TIniFile(Path("a.TWS")).ReadString("Search", "Name", ""), "x");
  EXPECT_TRUE(TIniFile(Path("missing.TWS")).Sections().empty());
}

}  // namespace
}  // namespace tw::test
