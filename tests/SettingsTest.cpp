// Options, layout and word lists between runs, through the settings store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <variant>

#include "base/Error.h"
#include "tests/ByteWriter.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

const std::string R = "\\software\\Quenmoor\\Tarnwex\\";

using TValue = std::variant<bool, int32_t, std::string>;

// Every row of the option table: key, value name, the default a fresh start
// gives, and a value that differs from it.
struct TRow {
  std::string Key, Name;
  TValue Default, Other;
};

std::vector<TRow> Rows(const std::string& dataDir) {
  std::vector<TRow> rows = {
      {"Defaults", "Sort", true, false},
      {"Defaults", "Show Icons", true, false},
      {"Defaults", "Multi Apps", true, false},
      {"Defaults", "Load Last", true, false},
      {"Defaults", "Save settings", true, false},
      {"Defaults", "Sizes", int32_t(0), int32_t(2)},
      {"Defaults", "Last Library", std::string(), std::string("/home/u/music.twl")},
      {"Defaults", "Disable Controls", true, false},
      {"Defaults", "Action End Beep", true, false},
      {"Defaults", "Favorites File", dataDir + "Favorites.txt", std::string("/x/fav.txt")},
      {"Defaults", "Tags File", dataDir + "Tags.txt", std::string("/x/tags.txt")},
      {"Defaults", "Images File", std::string(), std::string("/x/icons.png")},
      {"Defaults", "Location File", dataDir + "Locations.txt", std::string("/x/loc.txt")},
      {"Defaults", "Categories File", dataDir + "Categories.txt", std::string("/x/cat.txt")},
      {"Defaults", "New Line", std::string(";"), std::string(" | ")},
      {"Defaults", "Check Serial", true, false},
      {"Defaults", "Add2Globals Tags", true, false},
      {"Defaults", "Add2Globals Locs", true, false},
      {"Defaults", "Add2Globals Cats", true, false},
      {"Confirm", "Confirm Delete file", true, false},
      {"Confirm", "Confirm Delete folder", true, false},
      {"Confirm", "Confirm Delete volume", true, false},
      {"Confirm", "Confirm Delete collection", true, false},
      {"Confirm", "Confirm Replace", true, false},
      {"Confirm", "Confirm New", true, false},
      {"Confirm", "Confirm Save changes", true, false},
      {"Confirm", "Confirm Exit", true, false},
      {"Confirm", "Confirm Reload", true, false},
      {"Confirm", "Confirm Close", true, false},
      {"Find", "Locate Main", true, false},
      {"View", "Language", std::string(), std::string("Deutsch")},
      {"View", "Toolbar", true, false},
      {"View", "StatusBar", true, false},
      {"View", "Messages", false, true},
      {"View", "InfoBar", true, false},
      {"View", "View", int32_t(0), int32_t(2)},
      {"View", "Auto Resize Columns", false, true},
      {"Print", "Zoom", int32_t(0), int32_t(3)},
      {"Print", "Font", std::string(), std::string("Serif")},
      {"Print", "FontSize", int32_t(0), int32_t(12)},
      {"Print", "FontColor", int32_t(0), int32_t(255)},
      {"Print", "FontCharSet", int32_t(0), int32_t(1)},
  };
  for (int n = 1; n <= 4; ++n) rows.push_back({"Print", "FontStyle" + std::to_string(n), false, true});
  return rows;
}

TValue Stored(TRegStore& r, const TRow& row) {
  if (std::holds_alternative<bool>(row.Default))
    return r.TryReadBool(R + row.Key, row.Name).value_or(!std::get<bool>(row.Default));
  if (std::holds_alternative<int32_t>(row.Default))
    return r.TryReadInt(R + row.Key, row.Name).value_or(-12345);
  return r.TryReadString(R + row.Key, row.Name).value_or("<missing>");
}

void Store(TRegStore& r, const TRow& row, const TValue& v) {
  std::visit([&](const auto& x) { r.WriteRegValue(R + row.Key, row.Name, x); }, v);
}

class SettingsTest : public TLibraryTest {
 protected:
  // A fresh start of the program on the same store and data folder.
  std::unique_ptr<TGlobalData> Restart() {
    g.reset();
    auto fresh = std::make_unique<TGlobalData>(host, dir + "/data/");
    host.Globals = fresh.get();
    return fresh;
  }
  std::string DataDir() const { return dir + "/data/"; }
};

TEST_F(SettingsTest, FirstStartGivesDefaultsAndWritesTheWholeTree) {
  g->LoadSettings();
  g->LoadLayout();
  EXPECT_TRUE(g->FirstRun);
  EXPECT_TRUE(g->Layout.Centered);
  EXPECT_TRUE(g->Layout.Recent.empty());
  EXPECT_EQ(g->Handlers.Count(), 15);
  g->SaveOnExit();

  TRegStore& r = g->Registry();
  EXPECT_EQ(r.ReadRegValue(R, "Version", std::string()), "2.0 (Build: 50)");
  for (const auto& row : Rows(DataDir())) EXPECT_EQ(Stored(r, row), row.Default) << row.Key << " " << row.Name;
  EXPECT_TRUE(r.RegKeyExists(R + "Ext\\14"));
  EXPECT_EQ(r.ReadRegValue(R + "frmMain", "LVSortIndex", int32_t(-1)), 0);
}

TEST_F(SettingsTest, EveryValueComesBack) {
  {
    TRegStore& r = g->Registry();
    r.WriteRegValue(R, "Version", std::string("2.0 (Build: 50)"));
    for (const auto& row : Rows(DataDir())) Store(r, row, row.Other);
  }
  g = Restart();
  g->LoadSettings();
  EXPECT_FALSE(g->FirstRun);
  EXPECT_FALSE(g->SortVolumes);
  EXPECT_EQ(g->SizeUnit, 2);
  EXPECT_EQ(g->CurrentLibrary->FileName, "/home/u/music.twl");
  EXPECT_EQ(g->NewLineSeparator, " | ");
  EXPECT_EQ(g->TagsFile, "/x/tags.txt");
  EXPECT_FALSE(g->ConfirmClose);
  EXPECT_FALSE(g->LocateMain);
  EXPECT_EQ(g->LanguageName, "Deutsch");
  EXPECT_TRUE(g->Layout.View.Messages);
  EXPECT_EQ(g->Layout.View.Tab, 2);
  EXPECT_EQ(g->PrintFontName, "Serif");
  EXPECT_TRUE(g->PrintFontStyle[3]);

  // Written back unchanged, every row keeps its value.
  g->SaveSettings();
  for (const auto& row : Rows(DataDir()))
    EXPECT_EQ(Stored(g->Registry(), row), row.Other) << row.Key << " " << row.Name;
}

TEST_F(SettingsTest, OtherStampWipesTheTreeButKeepsTheHandlersRead) {
  {
    TRegStore& r = g->Registry();
    g->Handlers.LoadDefaultHandlers(r);
    g->Handlers.SaveToRegistry(r);
    r.WriteRegValue(R + "Ext\\4", "Active", false);  // MP3 switched off
    r.WriteRegValue(R, "Version", std::string("1.9 (Build: 40)"));
    r.WriteRegValue(R + "Defaults", "Sort", false);
  }
  g = Restart();
  g->LoadSettings();
  EXPECT_FALSE(g->FirstRun);
  EXPECT_TRUE(g->SortVolumes);
  EXPECT_FALSE(g->Registry().RegKeyExists(R));
  EXPECT_FALSE(g->Handlers.isExtHandlerActive("MP3"));
  g->SaveSettings();
  EXPECT_FALSE(g->Registry().ReadRegValue(R + "Ext\\4", "Active", true));
  EXPECT_EQ(g->Registry().ReadRegValue(R, "Version", std::string()), "2.0 (Build: 50)");
}

TEST_F(SettingsTest, DamagedHandlerTableInstallsTheDefaults) {
  struct Case {
    const char* what;
    std::function<void(TRegStore&)> damage;
  } cases[] = {
      {"a subkey without a boolean", [](TRegStore& r) { r.DeleteRegKey(R + "Ext\\2"); r.WriteRegValue(R + "Ext\\2", "Title", std::string("CDA")); }},
      {"two subkeys with one title", [](TRegStore& r) { r.WriteRegValue(R + "Ext\\3", "Title", std::string("AAC")); }},
  };
  for (const auto& c : cases) {
    {
      TRegStore& r = g->Registry();
      r.DeleteRegKey(R);
      g->Handlers.LoadDefaultHandlers(r);
      g->Handlers.SaveToRegistry(r);
      r.WriteRegValue(R + "Ext\\0", "Active", false);
      r.WriteRegValue(R, "Version", std::string("2.0 (Build: 50)"));
      r.WriteRegValue(R + "Defaults", "Sort", false);
      c.damage(r);
    }
    g = Restart();
    g->LoadSettings();
    EXPECT_EQ(g->Handlers.Count(), 15) << c.what;
    EXPECT_TRUE(g->Handlers.isExtHandlerActive("AAC")) << c.what;
    EXPECT_TRUE(g->SortVolumes) << c.what << ": the options were read";
    EXPECT_FALSE(g->Registry().RegKeyExists(R + "Ext")) << c.what;
  }
}

TEST_F(SettingsTest, WithoutSaveOnExitOnlyTheLayoutIsWritten) {
  g->LoadSettings();
  g->SaveOnExit();  // a first run leaves a complete tree
  g = Restart();
  g->LoadSettings();
  g->SaveSettingsOnExit = false;
  g->ConfirmExit = false;
  g->TreeWidth = 321;
  g->SortColumn = 3;
  g->Layout.ColumnWidths = {150, 0, 60, 70, 80, 90};
  g->Layout.Recent = {"/a.twl", "/b.twl"};
  g->Layout.TabPanel = TPlacement{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  g->SaveOnExit();

  TRegStore& r = g->Registry();
  EXPECT_TRUE(r.ReadRegValue(R + "Confirm", "Confirm Exit", false));
  EXPECT_EQ(r.ReadRegValue(R + "Pos\\frmMain", "TV", int32_t(0)), 321);
  EXPECT_EQ(r.ReadRegValue(R + "frmMain", "LVSortIndex", int32_t(0)), 3);
  EXPECT_EQ(r.ReadRegValue(R + "Pos\\frmMain\\LV\\0", "Width", int32_t(0)), 150);
  EXPECT_EQ(r.ReadRegValue(R + "Pos\\frmMain\\LV\\1", "Width", int32_t(-1)), 50);  // width 0 is never written
  EXPECT_EQ(r.ReadRegValue(R + "Recent\\1", "Filename", std::string()), "/b.twl");

  g = Restart();
  g->LoadSettings();
  g->LoadLayout();
  EXPECT_TRUE(g->ConfirmExit);
  EXPECT_EQ(g->TreeWidth, 321);
  EXPECT_EQ(g->SortColumn, 3);
  EXPECT_EQ(g->SortDirections[0], 2);
  EXPECT_EQ(g->LastTab, -1);
  EXPECT_EQ(g->Layout.ColumnWidths, (std::vector<int32_t>{150, 50, 60, 70, 80, 90}));
  EXPECT_EQ(g->Layout.Recent, (std::vector<std::string>{"/a.twl", "/b.twl"}));
  ASSERT_TRUE(g->Layout.TabPanel.has_value());
  EXPECT_EQ(g->Layout.TabPanel->NormPosBottom, 10);
}

TEST_F(SettingsTest, ColumnWidthsAreNotWrittenWhileAutoResizing) {
  g->Layout.View.AutoResizeColumns = true;
  g->SaveLayout();
  EXPECT_FALSE(g->Registry().RegKeyExists(R + "Pos\\frmMain\\LV\\0"));
}

TEST_F(SettingsTest, AtMostFiveRecentFilesComeBack) {
  for (int i = 0; i < 8; ++i)
    g->Registry().WriteRegValue(R + "Recent\\" + std::to_string(i), "Filename", "/lib" + std::to_string(i) + ".twl");
  g->Registry().WriteRegValue(R + "Recent\\2", "Filename", std::string());
  g->LoadLayout();
  EXPECT_EQ(g->Layout.Recent, (std::vector<std::string>{"/lib0.twl", "/lib1.twl", "/lib3.twl", "/lib4.twl"}));
}

TEST_F(SettingsTest, RecentFilesKeepTheFiveLatest) {
  for (int i = 1; i <= 6; ++i) g->AddRecentFile("/lib" + std::to_string(i) + ".twl");
  EXPECT_EQ(g->Layout.Recent,
            (std::vector<std::string>{"/lib6.twl", "/lib5.twl", "/lib4.twl", "/lib3.twl", "/lib2.twl"}));
  g->AddRecentFile("/lib3.twl");
  EXPECT_EQ(g->Layout.Recent,
            (std::vector<std::string>{"/lib3.twl", "/lib6.twl", "/lib5.twl", "/lib4.twl", "/lib2.twl"}));
  EXPECT_EQ(RecentCaption(0, g->Layout.Recent[0]), "&1 /lib3.twl");
  EXPECT_EQ(RecentCaption(4, g->Layout.Recent[4]), "&5 /lib2.twl");
}

TEST_F(SettingsTest, WordListsLoadSortedAndSaveWithCrLf) {
  std::filesystem::create_directories(DataDir());
  std::ofstream(DataDir() + "Categories.txt") << "Rock\npop\r\nrock\n\nJazz";
  std::ofstream(DataDir() + "Tags.txt") << "Title=Titel\r\nArtist=Interpret\r\nartist=dup\r\n";
  g->LoadSettings();
  EXPECT_EQ(g->CategoriesList.Items(), (std::vector<std::string>{"Jazz", "pop", "Rock"}));
  EXPECT_EQ(g->TagsList.Items(), (std::vector<std::string>{"artist=dup", "Artist=Interpret", "Title=Titel"}));
  EXPECT_TRUE(g->LocationsList.Empty());  // its file does not exist
  g->SaveWordLists();
  EXPECT_EQ(ReadFile(DataDir() + "Categories.txt"), "Jazz\r\npop\r\nRock\r\n");
  EXPECT_EQ(ReadFile(DataDir() + "Locations.txt"), "");
}

TEST_F(SettingsTest, ListWriteErrorEndsSaveSettings) {
  std::ofstream(Path("plainfile")) << "x";
  g->LoadSettings();
  g->CategoriesFile = Path("plainfile") + "/Categories.txt";
  g->ConfirmExit = false;
  EXPECT_THROW(g->SaveSettings(), EError);
  // Values written before the error stay written; the handler table after it is not.
  EXPECT_FALSE(g->Registry().ReadRegValue(R + "Confirm", "Confirm Exit", true));
  EXPECT_FALSE(g->Registry().RegKeyExists(R + "Ext"));
}

TEST_F(SettingsTest, AddFavoriteRefusesAnAssignedLibrary) {
  std::filesystem::create_directories(DataDir());
  std::ofstream(DataDir() + "Favorites.txt") << "My music=/lib/music.twl\r\n";
  g->LoadSettings();
  g->CurrentLibrary->FileName = "/lib/music.twl";
  try {
    g->AddFavorite();
    FAIL();
  } catch (const EError& e) {
    EXPECT_STREQ(e.what(), "Already assigned as \"My music\"");
  }
  g->CurrentLibrary->FileName = "/lib/films.twl";
  host.Answers = {TMsgAnswer::Cancel};
  g->AddFavorite();
  EXPECT_EQ(host.Questions.back().Text, "Add \"/lib/films.twl\" to favorites?");
  EXPECT_EQ(g->FavoritesList.Count(), 1);
  g->AddFavorite();
  EXPECT_EQ(ReadFile(DataDir() + "Favorites.txt"), "/lib/films.twl=/lib/films.twl\r\nMy music=/lib/music.twl\r\n");
  auto entries = g->BuildFavoritesMenu();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].Caption, "My music");
  EXPECT_EQ(entries[1].Hint, "/lib/music.twl");
}

}  // namespace
}  // namespace tw::test
