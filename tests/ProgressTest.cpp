// Progress, status, log and the idle/stop state of long operations.
#include <gtest/gtest.h>

#include "base/Error.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

class ProgressTest : public TLibraryTest {
 protected:
  bool Enabled(const std::string& name) { return host.Commands.at(name); }
};

TEST_F(ProgressTest, LargeTotalsAreScaledToTheBar) {
  g->BeginProgress("Big", 4294967294LL);
  EXPECT_EQ(host.ProgressMax, 2147483647);
  EXPECT_DOUBLE_EQ(g->ProgressScale, 0.5);
  g->StepProgress("", 1000);
  EXPECT_EQ(host.ProgressPos, 500);
  g->StepProgress("", 4294967294LL);
  EXPECT_EQ(host.ProgressPos, 2147483647);
  g->StepProgress("", 3);  // 1.5 rounds to even
  EXPECT_EQ(host.ProgressPos, 2);
  g->EndProgress("");
}

TEST_F(ProgressTest, PositionsWithoutATotalAreIgnored) {
  g->BeginProgress("Unknown", 0);
  host.Positions.clear();
  int pumps = host.Pumps;
  g->StepProgress("item", 5000);
  EXPECT_TRUE(host.Positions.empty());
  EXPECT_EQ(host.ProgressMax, 0);
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "item");
  EXPECT_EQ(host.Pumps, pumps + 1);
  g->EndProgress("");
}

TEST_F(ProgressTest, NonPositivePositionLeavesTheBarButShowsTheStatus) {
  g->BeginProgress("Work", 100);
  g->StepProgress("", 40);
  g->StepProgress("next", 0);
  g->StepProgress("last", -3);
  EXPECT_EQ(host.ProgressPos, 40);
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "last");
  g->EndProgress("");
}

TEST_F(ProgressTest, BeginAndEndOfAnOperation) {
  Lib().FileName = "/tmp/lib.twl";
  g->BeginProgress("Saving x", 10);
  EXPECT_FALSE(g->ProcessStopped);
  EXPECT_TRUE(host.ProgressVisible);
  EXPECT_EQ(host.ProgressCaption, "Saving x: ");
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 0), "/tmp/lib.twl");
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "Saving x");
  EXPECT_EQ(host.Log.back(), "Saving x");
  EXPECT_TRUE(Enabled("tbStop"));
  EXPECT_TRUE(Enabled("miVStopProcess"));
  EXPECT_FALSE(Enabled("tbSave"));
  EXPECT_FALSE(Enabled("pmTVExport"));
  EXPECT_FALSE(host.ViewsEnabled);

  host.Status[{int(TStatusBar::Volumes), 1}] = "1 234 bytes";
  g->EndProgress("Saved x");
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_FALSE(host.ProgressVisible);
  EXPECT_EQ(host.ProgressMax, 0);
  EXPECT_EQ(host.ProgressCaption, " ");
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "");
  EXPECT_EQ(host.StatusText(TStatusBar::Volumes, 0), "Volumes: 0");
  EXPECT_EQ(host.StatusText(TStatusBar::Collections, 0), "Items: 0");
  EXPECT_EQ(host.StatusText(TStatusBar::Collections, 1), "1 234 bytes");
  EXPECT_EQ(host.Log.back().rfind("Saved x Volumes: 0 Folders: 0 Files: 0 Size: 0 Time: ", 0), 0u) << host.Log.back();
  EXPECT_EQ(host.CountLog("Stopped by user."), 0);
  EXPECT_FALSE(Enabled("tbStop"));
  EXPECT_TRUE(Enabled("tbSave"));
  EXPECT_TRUE(host.ViewsEnabled);
  EXPECT_EQ(host.Beeps, 1);
}

TEST_F(ProgressTest, StopLogsAtOnceAndAgainAtTheEnd) {
  g->BeginProgress("Work", 10);
  g->Stop();
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_EQ(host.CountLog("Stopped by user."), 1);
  EXPECT_TRUE(Enabled("tbSave"));
  EXPECT_THROW(g->CancelCheck(), EError);
  g->EndProgress("");
  EXPECT_EQ(host.CountLog("Stopped by user."), 2);
}

TEST_F(ProgressTest, ListMenusStayDisabledWhileEmpty) {
  host.MenuEntries["miLanguages"] = 2;
  g->SetProcessStopped(true);
  EXPECT_FALSE(Enabled("miReopen"));
  EXPECT_TRUE(Enabled("miLanguages"));
  EXPECT_TRUE(Enabled("miOpen"));
  g->SetProcessStopped(false);
  EXPECT_FALSE(Enabled("miLanguages"));
  EXPECT_FALSE(Enabled("miOpen"));
}

TEST_F(ProgressTest, OptionsForControlsAndBeep) {
  g->DisableControls = false;
  g->ActionEndBeep = false;
  g->BeginProgress("Work", 1);
  EXPECT_TRUE(host.ViewsEnabled);
  g->EndProgress("");
  EXPECT_EQ(host.Beeps, 0);
}

TEST_F(ProgressTest, EventsArePumpedAtMostOncePerInterval) {
  g->PumpInterval = std::chrono::hours(1);
  g->BeginProgress("Work", 1000);
  int pumps = host.Pumps;
  for (int i = 1; i <= 1000; ++i) g->StepProgress("item " + std::to_string(i), i);
  EXPECT_LE(host.Pumps - pumps, 1);
  g->PumpInterval = std::chrono::milliseconds(0);
  g->StepProgress("", 0);
  // The last status and position reach the host at the next pump.
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "item 1000");
  EXPECT_EQ(host.ProgressPos, 1000);
  g->EndProgress("");
}

TEST_F(ProgressTest, ShowStatusLogsOnRequest) {
  g->ShowStatus("status", "", true);
  g->ShowStatus("status", "log text", true);
  g->ShowStatus("quiet", "", false);
  g->ShowStatus("", "", true);
  EXPECT_EQ(host.Log, (std::vector<std::string>{"status", "log text"}));
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "");
}

TEST_F(ProgressTest, DefaultsAndListFiles) {
  EXPECT_EQ(g->FavoritesFile, dir + "/data/Favorites.txt");
  EXPECT_EQ(g->CategoriesFile, dir + "/data/Categories.txt");
  EXPECT_EQ(g->ImagesFile, "");
  EXPECT_EQ(g->BuiltInLanguageFile, "OriginalLanguage.bab");
  EXPECT_EQ(g->DefaultListFile(4), "");
  EXPECT_EQ(g->DefaultListFile(9), "");

  // Defaults keep paths and print settings, and reset options and the language.
  g->TagsFile = "/elsewhere/tags.txt";
  g->PrintFontName = "Serif";
  g->LanguageName = "Deutsch";
  g->ConfirmExit = false;
  g->SizeUnit = 2;
  g->SetDefaults();
  EXPECT_EQ(g->TagsFile, "/elsewhere/tags.txt");
  EXPECT_EQ(g->PrintFontName, "Serif");
  EXPECT_EQ(g->LanguageName, "");
  EXPECT_TRUE(g->ConfirmExit);
  EXPECT_EQ(g->SizeUnit, 0);
  EXPECT_EQ(g->NewLineSeparator, ";");
  EXPECT_EQ(g->RecentLimit, 5);
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_EQ(GlobalData(), g.get());
}

}  // namespace
}  // namespace tw::test
