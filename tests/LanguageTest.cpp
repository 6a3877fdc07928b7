// Language files: reading any bytes, lookups, the help line, the files of the
// two folders and the name that selects one.
#include "state/Language.h"

#include <filesystem>
#include <fstream>

#include "base/Error.h"
#include "tests/TempDirTest.h"

namespace tw {
namespace {

using test::TTempDirTest;

struct ParseCase {
  const char* Name;
  std::string Bytes;
  std::vector<std::string> Lines;
  bool Offered;
  std::string MenuName;
  std::string HelpFile;
};

class LanguageParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(LanguageParse, LinesNameAndHelp) {
  const ParseCase& c = GetParam();
  const TLanguageFile file = TLanguageFile::Parse(c.Bytes);
  EXPECT_EQ(file.Lines(), c.Lines);
  EXPECT_EQ(file.Offered(), c.Offered);
  EXPECT_EQ(file.MenuName(), c.MenuName);
  EXPECT_EQ(file.HelpFile(), c.HelpFile);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LanguageParse,
    ::testing::Values(
        ParseCase{"CrLf", "menuname:Deutsch\r\nhelpfile:de/index.html\r\nfrmMain.miNew=&Neu\r\n",
                  {"menuname:Deutsch", "helpfile:de/index.html", "frmMain.miNew=&Neu"}, true, "Deutsch",
                  "de/index.html"},
        ParseCase{"LoneCrAndLf", "menuname:A\rx=1\ny=2", {"menuname:A", "x=1", "y=2"}, true, "A", ""},
        ParseCase{"OneLine", "menuname:Solo", {"menuname:Solo"}, true, "Solo", ""},
        ParseCase{"NotOffered", "frmMain.miNew=&New\r\nhelpfile:x.html\r\n",
                  {"frmMain.miNew=&New", "helpfile:x.html"}, false, "", "x.html"},
        ParseCase{"ByteOrderMarks", "\xEF\xBB\xBF\xEF\xBB\xBFmenuname:Fran\xC3\xA7" "ais\r\n", {"menuname:Fran\xC3\xA7" "ais"},
                  true, "Fran\xC3\xA7" "ais", ""},
        // Not UTF-8: read as Windows-1252 (0xE4 is "ä", 0x80 the euro sign).
        ParseCase{"Windows1252", "menuname:Espa\xF1ol\r\nx=\xE4 \x80\r\n",
                  {"menuname:Espa\xC3\xB1ol", "x=\xC3\xA4 \xE2\x82\xAC"}, true, "Espa\xC3\xB1ol", ""},
        ParseCase{"Empty", "", {}, false, "", ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LanguageFile, KeysIgnoreCaseTheFirstLineWinsEmptyTextsKeepTheDefault) {
  const TLanguageFile file = TLanguageFile::Parse(
      "menuname:Test\r\nhelpfile:\r\nfrmMain.miNew=&Neu\r\nFRMMAIN.MINEW=second\r\nINFOCANCEL=Abgebrochen\r\n"
      "frmMain.lbl=\r\nno equals sign\r\nfrmMain.x=a=b\r\n");
  EXPECT_EQ(file.Translate("&New", "frmmain.minew"), "&Neu");
  EXPECT_EQ(file.Translate("Operation Canceled", "infoCancel"), "Abgebrochen");
  EXPECT_EQ(file.Translate("Label", "frmMain.lbl"), "Label");
  EXPECT_EQ(file.Translate("kept", "frmMain.missing"), "kept");
  EXPECT_EQ(file.Translate("", "frmMain.x"), "a=b");
  EXPECT_FALSE(file.Find("no equals sign").has_value());
  EXPECT_EQ(file.HelpFile(), "");
}

TEST_F(TTempDirTest, LanguageFilesWrittenReadBackWithCrLf) {
  const std::string path = dir_ + "/new/folder/Out.bab";
  WriteLanguageFile(path, {"menuname:Test", "frmMain.miNew=\xC3\x84nderung"});
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, "menuname:Test\r\nfrmMain.miNew=\xC3\x84nderung\r\n");
  EXPECT_EQ(TLanguageFile::Load(path).Translate("", "frmMain.miNew"), "\xC3\x84nderung");
  EXPECT_THROW(TLanguageFile::Load(dir_ + "/missing.bab"), EError);
}

TEST_F(TTempDirTest, TheUserCopyWinsAndANameSelectsTheFirstFileHoldingIt) {
  std::filesystem::create_directories(dir_ + "/installed");
  std::filesystem::create_directories(dir_ + "/user");
  Write("menuname:Deutsch (installed)\r\n", "installed/Deutsch.bab");
  Write("menuname:English\r\n", "installed/English.bab");
  Write("x=no menu name\r\n", "installed/OriginalLanguage.bab");
  Write("menuname:Deutsch (user)\r\n", "user/Deutsch.bab");
  Write("menuname:Other\r\n", "user/notes.txt");
  Write("menuname:Upper\r\n", "user/Zulu.BAB");

  const auto entries = ListLanguageFiles({dir_ + "/installed", dir_ + "/user/", dir_ + "/absent"});
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.FileName + ":" + e.MenuName());
  EXPECT_EQ(names, (std::vector<std::string>{"Deutsch.bab:Deutsch (user)", "English.bab:English",
                                             "OriginalLanguage.bab:", "Zulu.BAB:Upper"}));
  EXPECT_EQ(entries[0].Path, dir_ + "/user/Deutsch.bab");
  EXPECT_FALSE(entries[2].Offered());

  const std::pair<std::string, std::string> picks[] = {
      {"Deutsch (user)", "Deutsch.bab"}, {"&English", "English.bab"}, {"Eng", "English.bab"},
      {"eng", ""},  // case-sensitive
      {"", ""},     // an empty name selects nothing
      {"OriginalLanguage.bab", ""}, {"menuname", "Deutsch.bab"}};
  for (const auto& [name, file] : picks) {
    const TLanguageEntry* e = FindLanguage(entries, name);
    EXPECT_EQ(e ? e->FileName : std::string(), file) << name;
  }
}

}  // namespace
}  // namespace tw
