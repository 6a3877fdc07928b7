// The search engine: criteria, rows, counters, replace, the
// duplicate scan, cancellation, sorting, saved searches, and find/dupes.
#include "base/Error.h"
#include "exchange/Search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "base/CaseFold.h"
#include "base/DateTime.h"
#include "base/IniFile.h"
#include "base/TextUtils.h"
#include "tests/ByteWriter.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

TDateTime Day(int y, int m, int d, int hour = 0) { return EncodeDateTime(y, m, d, hour, 0, 0, 0); }

void WriteFile(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

std::vector<std::string> Names(const std::vector<TSearchRow>& rows) {
  std::vector<std::string> names;
  for (const auto& r : rows) names.push_back(r.Columns(TTextFormat{})[scName]);
  return names;
}

class SearchTest : public TLibraryTest {
 protected:
  // CD 1 (location Shelf A):  a.txt 1500, Music (folder record category Music)
  //   Music: song.mp3 1024 (no category), live.mp3 1023 (Music Live, comments "great Rock gig"),
  //          pack.zip 2048
  // CD 2 (location Box 7):    c.txt 10, dated 2024-03-05 14:00
  void Build() {
    cd1 = AddVolume("CD 1");
    cd1->Data()->Location = "Shelf A";
    a = AddFile(cd1, "a.txt", 1500, Day(2023, 1, 2));
    music = AddFolder(cd1, "Music");
    music->Data()->Category = "Music";
    song = AddFile(music, "song.mp3", 1024);
    live = AddFile(music, "live.mp3", 1023);
    live->Category = "Music Live";
    live->Comments = "great Rock gig";
    zip = AddFile(music, "pack.zip", 2048);
    cd2 = AddVolume("CD 2");
    cd2->Data()->Location = "Box 7";
    c = AddFile(cd2, "c.txt", 10, Day(2024, 3, 5, 14));
  }

  TSearchResult Run(const TSearchCriteria& criteria) { return search().Run(criteria); }
  TSearch& search() {
    if (!search_) search_ = std::make_unique<TSearch>(*g, Lib());
    return *search_;
  }

  TFolderNode *cd1 = nullptr, *cd2 = nullptr, *music = nullptr;
  TLibFolderItem *a = nullptr, *song = nullptr, *live = nullptr, *zip = nullptr, *c = nullptr;
  std::unique_ptr<TSearch> search_;
};

TEST_F(SearchTest, EmptyCriteriaListEveryEntryButNoVolume) {
  Build();
  a->Comments = "one\r\ntwo";
  TSearchResult r = Run({});
  ASSERT_TRUE(r.Searched);
  EXPECT_FALSE(r.Error);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"a.txt", "Music", "live.mp3", "pack.zip", "song.mp3", "c.txt"}));
  EXPECT_TRUE(r.Duplicates.empty());
  EXPECT_FALSE(r.DuplicatesVisible);

  const TSearchRow& first = r.Rows[0];
  EXPECT_EQ(first.Item, a);
  EXPECT_EQ(first.Columns(TTextFormat{}),
            (std::array<std::string, 11>{"a.txt", "txt", "CD 1", "CD 1\\", "1 500", FormatDate(Day(2023, 1, 2)), "",
                                         "one;two", "", "CD 1\\a.txt", "Shelf A"}));
  EXPECT_EQ(first.Picture, kRowFileTypePicture);
  EXPECT_EQ(first.Size, 1500);
  EXPECT_EQ(r.Rows[1].Picture, kRowFolderPicture);
  EXPECT_EQ(r.Rows[1].Columns(TTextFormat{})[scType], "");
  EXPECT_EQ(r.Rows[1].Columns(TTextFormat{})[scDate], "");  // no date
  EXPECT_EQ(r.Rows[2].Columns(TTextFormat{})[scPath], "CD 1\\Music\\");
  EXPECT_EQ(r.Rows[3].Picture, kRowArchivePicture);
  EXPECT_EQ(r.Rows[5].Columns(TTextFormat{})[scLocation], "Box 7");
  for (const auto& row : r.Rows) EXPECT_EQ(row.Item->DupCount, 1);

  const TSearchCounters& n = r.Counters[0];
  EXPECT_EQ(n.Volumes, 2);
  EXPECT_EQ(n.Folders, 1);
  EXPECT_EQ(n.Files, 5);
  EXPECT_EQ(n.Collections, 0);
  EXPECT_EQ(n.Size, 1500 + 1024 + 1023 + 2048 + 10);
  EXPECT_EQ(r.Counters[1].Files, 0);
  EXPECT_EQ(CounterTexts(*g, r.Shown()),
            (std::array<std::string, 5>{"Volumes: 2", "Folders: 1", "Files: 5", "Collections: 0", "Size: 5 605"}));
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "Results: 6");
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_FALSE(Lib().Modified);
}

TEST_F(SearchTest, CategoryIsComparedWholeWithTheFolderFallback) {
  Build();
  TSearchResult r = Run({.Category = "MUSIC"});
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"pack.zip", "song.mp3"}));
  // Comments and names match by containment, case ignored.
  EXPECT_EQ(Names(Run({.Comments = "rock"}).Rows), (std::vector<std::string>{"live.mp3"}));
  EXPECT_EQ(Names(Run({.Name = "A.", .Type = "TX"}).Rows), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(Names(Run({.Volume = "cd 2"}).Rows), (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(Names(Run({.Location = "shelf"}).Rows).size(), 5u);
  // Match Case takes both sides as they are.
  EXPECT_TRUE(Run({.Category = "MUSIC", .MatchCase = true}).Rows.empty());
  EXPECT_EQ(Names(Run({.Comments = "Rock", .MatchCase = true}).Rows), (std::vector<std::string>{"live.mp3"}));
  EXPECT_TRUE(Run({.Comments = "rock", .MatchCase = true}).Rows.empty());
}

TEST_F(SearchTest, CaseIsFoldedBeyondAscii) {
  auto v = AddVolume("V");
  AddFile(v, "Ärger.txt", 1);
  AddFile(v, "x", 1)->Comments = "ÉTÉ";
  EXPECT_EQ(Names(Run({.Name = "äR"}).Rows), (std::vector<std::string>{"Ärger.txt"}));
  EXPECT_EQ(Names(Run({.Comments = "été"}).Rows), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(Run({.Name = "äR", .MatchCase = true}).Rows.empty());
}

TEST_F(SearchTest, SizeComparesTheConvertedSizeWithoutRounding) {
  Build();
  auto sizeRun = [&](int32_t sign, int32_t unit, int32_t value) {
    return Names(Run({.SizeUse = true, .SizeSign = sign, .SizeUnit = unit, .SizeValue = value, .FoldersOnly = false})
                     .Rows);
  };
  EXPECT_EQ(sizeRun(ssEqual, suKB, 1), (std::vector<std::string>{"song.mp3"}));
  EXPECT_EQ(sizeRun(ssGreater, suKB, 1), (std::vector<std::string>{"a.txt", "pack.zip"}));
  EXPECT_EQ(sizeRun(ssLess, suKB, 1), (std::vector<std::string>{"Music", "live.mp3", "c.txt"}));
  EXPECT_EQ(sizeRun(ssEqual, suBytes, 1500), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(sizeRun(ssLess, suMB, 1).size(), 6u);
  // Unchecked, the size fields count for nothing.
  EXPECT_EQ(Run({.SizeUse = false, .SizeSign = ssEqual, .SizeValue = 5}).Rows.size(), 6u);
}

TEST_F(SearchTest, DatesCompareWholeDays) {
  Build();
  EXPECT_EQ(Names(Run({.Date1Use = true, .Date1 = Day(2024, 3, 5, 1)}).Rows), (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(Names(Run({.Date1Use = true, .Date1 = Day(2023, 1, 2), .Date2Use = true, .Date2 = Day(2024, 3, 5)}).Rows),
            (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(Names(Run({.Date1Use = true, .Date1 = Day(2023, 1, 3), .Date2Use = true, .Date2 = Day(2025, 1, 1)}).Rows),
            (std::vector<std::string>{"c.txt"}));
  // A reversed range matches nothing.
  EXPECT_TRUE(
      Run({.Date1Use = true, .Date1 = Day(2024, 3, 5), .Date2Use = true, .Date2 = Day(2023, 1, 2)}).Rows.empty());
  // The second day counts only while the first is checked.
  EXPECT_EQ(Run({.Date1Use = false, .Date2Use = true, .Date2 = Day(2000, 1, 1)}).Rows.size(), 6u);
}

TEST_F(SearchTest, AnywhereTriesOneTextOnAllSixAndKeepsDateAndSize) {
  Build();
  TSearchCriteria crit{.Name = "nothing at all", .AnywhereActive = true, .Anywhere = "ROCK"};
  EXPECT_EQ(Names(Run(crit).Rows), (std::vector<std::string>{"live.mp3"}));
  EXPECT_EQ(crit.Name, "nothing at all");  // the General texts stay the caller's
  crit.Date1Use = true;
  crit.Date1 = Day(2020, 1, 1);
  EXPECT_TRUE(Run(crit).Rows.empty());
  crit.Date1Use = false;
  crit.SizeUse = true;
  crit.SizeSign = ssGreater;
  crit.SizeValue = 2000;
  EXPECT_TRUE(Run(crit).Rows.empty());
  // The volume and location texts count too; the category still whole.
  EXPECT_EQ(Names(Run({.AnywhereActive = true, .Anywhere = "box"}).Rows), (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(Names(Run({.AnywhereActive = true, .Anywhere = "music live"}).Rows),
            (std::vector<std::string>{"live.mp3"}));
  EXPECT_EQ(Names(Run({.AnywhereActive = true, .Anywhere = "mp3"}).Rows),
            (std::vector<std::string>{"live.mp3", "song.mp3"}));
}

TEST_F(SearchTest, DuplicatesListEveryNameSeenTwice) {
  auto v = AddVolume("V");
  auto f1 = AddFolder(v, "one");
  auto f2 = AddFolder(v, "two");
  TLibFolderItem* lower = AddFile(f1, "a.txt", 1);
  TLibFolderItem* b = AddFile(f1, "b.txt", 2);
  TLibFolderItem* upper = AddFile(f2, "A.TXT", 4);
  TSearchResult r = Run({.FindDuplicates = true});
  ASSERT_FALSE(r.Error);
  EXPECT_TRUE(r.DuplicatesVisible);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"one", "two", "a.txt", "b.txt", "A.TXT"}));
  ASSERT_EQ(r.Duplicates.size(), 2u);
  EXPECT_EQ(r.Duplicates[0].Item, lower);
  EXPECT_EQ(r.Duplicates[1].Item, upper);
  EXPECT_EQ(r.Duplicates[0].Columns(TTextFormat{})[scPath], "V\\one\\");
  EXPECT_EQ(r.Duplicates[1].Columns(TTextFormat{})[scPath], "V\\two\\");
  for (const auto& d : r.Duplicates) {
    EXPECT_EQ(d.Columns(TTextFormat{})[scDuplicates], "2");
    EXPECT_EQ(d.DupCount, 2);
  }
  EXPECT_EQ(lower->DupCount, 2);
  EXPECT_EQ(upper->DupCount, 2);
  EXPECT_EQ(b->DupCount, 1);
  for (const auto& row : r.Rows) EXPECT_EQ(row.Columns(TTextFormat{})[scDuplicates], "");
  // The counters shown are those of slvdup.
  EXPECT_EQ(r.CounterIndex(), 1);
  EXPECT_EQ(r.Shown().Files, 2);
  EXPECT_EQ(r.Shown().Volumes, 1);
  EXPECT_EQ(r.Shown().Size, 5);
  EXPECT_EQ(r.Counters[0].Files, 3);
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "Results: 2");
}

// The duplicate scan done the slow way: each new match looks through all earlier
// rows of slv.
struct TReference {
  std::map<const TLibFolderItem*, int> Counts;
  std::vector<const TLibFolderItem*> Order;
};
TReference QuadraticReference(const std::vector<TSearchRow>& rows) {
  TReference ref;
  std::vector<int> dup(rows.size(), 0);
  for (size_t e = 0; e < rows.size(); ++e) {
    dup[e] = 1;
    for (size_t j = 0; j < e; ++j) {
      if (!SameText(rows[j].Columns(TTextFormat{})[scName], rows[e].Item->Name)) continue;
      if (++dup[j] == 2) ref.Order.push_back(rows[j].Item);
      if (++dup[e] == 2) ref.Order.push_back(rows[e].Item);
    }
  }
  for (size_t i = 0; i < rows.size(); ++i) ref.Counts[rows[i].Item] = dup[i];
  return ref;
}

TEST_F(SearchTest, DuplicateHashMatchesTheQuadraticScan) {
  const std::vector<std::string> stems = {"a", "A", "ab", "aB", "AB", "é", "É", "\xE2\x84\xAA", "k", "K", "x.txt",
                                          "X.TXT", "X.txt", "zz", "Ärger", "ärger", "\xC9t\xE9"};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3; ++round) {
    Lib().Clear();
    std::vector<TFolderNode*> folders;
    for (int v = 0; v < 3; ++v) {
      folders.push_back(AddVolume("V" + std::to_string(v)));
      for (int f = 0; f < 4; ++f) folders.push_back(AddFolder(folders[v * 5], "f" + std::to_string(f)));
    }
    int added = 0;
    while (added < 300) {
      std::string name = stems[rng() % stems.size()];
      if (rng() % 3 == 0) name += std::to_string(rng() % 4);
      if (AddFile(folders[rng() % folders.size()], name, rng() % 5000)) ++added;
    }
    TSearchCriteria crit{.FindDuplicates = true};
    if (round == 1) crit.Name = "a";
    if (round == 2) crit.FoldersOnly = false, crit.SizeUse = true, crit.SizeSign = ssGreater, crit.SizeValue = 1000;
    TSearchResult r = Run(crit);
    ASSERT_FALSE(r.Error);
    TReference ref = QuadraticReference(r.Rows);
    std::vector<const TLibFolderItem*> order;
    for (const auto& d : r.Duplicates) order.push_back(d.Item);
    EXPECT_EQ(order, ref.Order) << "round " << round;
    for (const auto& row : r.Rows) EXPECT_EQ(row.Item->DupCount, ref.Counts[row.Item]) << row.Item->Name;
    for (const auto& d : r.Duplicates) EXPECT_EQ(d.Columns(TTextFormat{})[scDuplicates], std::to_string(ref.Counts[d.Item]));
    EXPECT_GT(r.Duplicates.size(), 20u);
  }
}

TEST_F(SearchTest, SelectedNodesOnlyTakeTheEntriesDirectlyInThem) {
  Build();
  TSearchResult r = Run({.SelectedOnly = true, .SelectedFolders = {cd1}});
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"a.txt", "Music"}));
  // In the order given; a node given twice is visited once.
  r = Run({.SelectedOnly = true, .SelectedFolders = {music, cd2, music}, .FindDuplicates = true});
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"live.mp3", "pack.zip", "song.mp3", "c.txt"}));
  EXPECT_TRUE(r.Duplicates.empty());
  EXPECT_TRUE(Run({.SelectedOnly = true}).Rows.empty());
  // Without the option the selection counts for nothing.
  EXPECT_EQ(Run({.SelectedOnly = false, .SelectedFolders = {cd2}}).Rows.size(), 6u);
}

TEST_F(SearchTest, FoldersOnlySkipsFiles) {
  Build();
  EXPECT_EQ(Names(Run({.FoldersOnly = true}).Rows), (std::vector<std::string>{"Music"}));
}

TEST_F(SearchTest, ReplaceAsksAndMarksTheLibraryModified) {
  Build();
  TSearchCriteria crit{.Category = "music",
                       .ReplaceCategory = true,
                       .NewCategory = "Jazz",
                       .ReplaceComments = true,
                       .NewComments = "new words"};
  // No: nothing is searched or changed.
  host.Answers = {TMsgAnswer::No};
  TSearchResult r = Run(crit);
  ASSERT_EQ(host.Questions.size(), 1u);
  EXPECT_EQ(host.Questions[0].Text, "Replace found items?");
  EXPECT_EQ(host.Questions[0].Buttons, TMsgButtons::YesNo);
  EXPECT_FALSE(r.Searched);
  EXPECT_TRUE(r.Rows.empty());
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_EQ(song->Category, "");
  EXPECT_FALSE(Lib().Modified);

  // Yes: every match is overwritten; the rows show the values from before.
  r = Run(crit);
  ASSERT_EQ(host.Questions.size(), 2u);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"pack.zip", "song.mp3"}));
  EXPECT_EQ(r.Rows[1].Columns(TTextFormat{})[scCategory], "");
  EXPECT_EQ(song->Category, "Jazz");
  EXPECT_EQ(song->Comments, "new words");
  EXPECT_EQ(zip->Category, "Jazz");
  EXPECT_EQ(live->Category, "Music Live");
  EXPECT_TRUE(Lib().Modified);

  // Without confirmation nothing is asked; a replace that changes nothing
  // leaves the library unmodified.
  Lib().Modified = false;
  g->ConfirmReplace = false;
  r = Run({.Category = "jazz", .ReplaceCategory = true, .NewCategory = "Jazz"});
  EXPECT_EQ(host.Questions.size(), 2u);
  EXPECT_EQ(r.Rows.size(), 2u);
  EXPECT_FALSE(Lib().Modified);
  // Unchecked replace fields change nothing and ask nothing.
  g->ConfirmReplace = true;
  Run({.ReplaceCategory = false, .NewCategory = "X"});
  EXPECT_EQ(host.Questions.size(), 2u);
  EXPECT_EQ(song->Category, "Jazz");
}

TEST_F(SearchTest, StopKeepsTheRowsFoundSoFar) {
  Build();
  host.StopAtPump = 2;
  TSearchResult r = Run({});
  ASSERT_TRUE(r.Error);
  EXPECT_EQ(*r.Error, "Operation Canceled");
  EXPECT_TRUE(r.Canceled);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"a.txt", "Music"}));
  EXPECT_EQ(r.Counters[0].Files, 1);
  EXPECT_EQ(r.Counters[0].Folders, 1);
  EXPECT_EQ(host.StatusText(TStatusBar::Main, 1), "Results: 2");
  EXPECT_TRUE(g->ProcessStopped);

  // A new search runs again.
  host.StopAtPump = 0;
  r = Run({});
  EXPECT_FALSE(r.Error);
  EXPECT_EQ(r.Rows.size(), 6u);
}

TEST_F(SearchTest, StopInDuplicateModeLeavesTheCountsOut) {
  auto v = AddVolume("V");
  auto f1 = AddFolder(v, "f1");
  auto f2 = AddFolder(v, "f2");
  TLibFolderItem* x1 = AddFile(f1, "x", 1);
  TLibFolderItem* x2 = AddFile(f2, "X", 1);
  TLibFolderItem* x3 = AddFile(v, "x", 1);
  // Pumps: f1, f2, x (V), x (f1), X (f2) ... stop at the fourth.
  host.StopAtPump = 4;
  TSearchResult r = Run({.FindDuplicates = true});
  ASSERT_TRUE(r.Canceled);
  ASSERT_EQ(r.Duplicates.size(), 2u);
  EXPECT_EQ(r.Duplicates[0].Item, x3);
  EXPECT_EQ(r.Duplicates[1].Item, x1);
  for (const auto& d : r.Duplicates) {
    EXPECT_EQ(d.Columns(TTextFormat{})[scDuplicates], "");
    EXPECT_EQ(d.DupCount, 0);
  }
  EXPECT_EQ(x3->DupCount, 2);
  EXPECT_EQ(x1->DupCount, 2);
  EXPECT_EQ(r.Shown().Files, 2);
  (void)x2;

  // Stop while the counts are written: those written stay.
  host.Pumps = 0;
  host.StopAtPump = 6;  // five entries, then the first Duplicates row
  r = Run({.FindDuplicates = true});
  ASSERT_TRUE(r.Canceled);
  ASSERT_EQ(r.Duplicates.size(), 3u);
  EXPECT_EQ(r.Duplicates[0].Columns(TTextFormat{})[scDuplicates], "3");
  EXPECT_EQ(r.Duplicates[1].Columns(TTextFormat{})[scDuplicates], "");
  EXPECT_EQ(x2->DupCount, 3);
}

TEST_F(SearchTest, CollectionsAreSearchedByCaptionUrlAndMemo) {
  Build();
  auto add = [&](TColNode* parent, const std::string& caption, const std::string& url, const std::string& memo) {
    auto item = std::make_unique<TLibColItem>(caption);
    item->Url = url;
    item->Memo = memo;
    TLibColItem* raw = item.get();
    TColNode* node = Lib().AddCollectionRecord(parent, std::move(item));
    raw->AttachNode(node);
    node->Text = caption;
    return node;
  };
  TColNode* top = add(nullptr, "Favourites", "", "");
  TColNode* web = add(top, "Web links", "https://example.org/", "Reading list");
  TColNode* other = add(nullptr, "Other", "", "read later");
  TSearchResult r = Run({.CollectionsActive = true, .ColMemo = "READ"});
  ASSERT_EQ(r.Collections.size(), 2u);
  EXPECT_EQ(r.Collections[0].Node, web);
  EXPECT_EQ(r.Collections[0].Caption, "Web links");
  EXPECT_EQ(r.Collections[1].Node, other);
  EXPECT_EQ(r.Counters[0].Collections, 2);
  EXPECT_EQ(r.Counters[1].Collections, 2);
  EXPECT_TRUE(r.Rows.empty());
  EXPECT_EQ(Run({.CollectionsActive = true, .ColCaption = "WEB", .ColUrl = "example"}).Collections.size(), 1u);
  r = Run({.CollectionsActive = true, .SelectedOnly = true, .SelectedCollections = {top, other}});
  ASSERT_EQ(r.Collections.size(), 2u);
  EXPECT_EQ(r.Collections[0].Node, top);

  // A matching entry linked to a collection node (or on a linked volume)
  // adds that node.
  auto link = std::make_unique<TLibColItem>("");
  TLibColItem* raw = link.get();
  TColNode* songNode = Lib().AddCollectionRecord(nullptr, std::move(link));
  raw->LinkTo(music->Data(), song, songNode);
  r = Run({.Name = "song"});
  ASSERT_EQ(r.Collections.size(), 1u);
  EXPECT_EQ(r.Collections[0].Node, songNode);
  EXPECT_EQ(r.Collections[0].Caption, "song.mp3");
  EXPECT_EQ(CounterTexts(*g, r.Shown())[3], "Collections: 1");

  // Stop during a collection search.
  host.Pumps = 0;
  host.StopAtPump = 1;
  r = Run({.CollectionsActive = true});
  EXPECT_TRUE(r.Canceled);
  EXPECT_EQ(r.Collections.size(), 1u);
}

TEST_F(SearchTest, SortingFlipsTheColumnDirection) {
  Build();
  TSearchResult r = Run({});
  TSearch& s = search();
  EXPECT_EQ(s.SortState, InitialSortState());
  s.Sort(r.Rows, scSize);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"Music", "c.txt", "live.mp3", "song.mp3", "a.txt", "pack.zip"}));
  EXPECT_EQ(s.SortState[scSize], 1);
  s.Sort(r.Rows, scSize);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"pack.zip", "a.txt", "song.mp3", "live.mp3", "c.txt", "Music"}));
  EXPECT_EQ(s.SortState[scSize], 2);
  // Captions compare as bytes: upper case first.
  s.Sort(r.Rows, scName);
  EXPECT_EQ(Names(r.Rows), (std::vector<std::string>{"Music", "a.txt", "c.txt", "live.mp3", "pack.zip", "song.mp3"}));
  // Category compares the entries' own values, as they are now.
  song->Category = "Zz";
  s.Sort(r.Rows, scCategory);
  EXPECT_EQ(r.Rows.back().Item, song);
  EXPECT_EQ(r.Rows.back().Columns(TTextFormat{})[scCategory], "");
  s.Sort(r.Rows, scDate);
  EXPECT_EQ(r.Rows.back().Columns(TTextFormat{})[scName], "c.txt");
  EXPECT_EQ(s.SortState[scDate], 1);
  s.Sort(r.Rows, scDate);
  EXPECT_EQ(r.Rows.front().Columns(TTextFormat{})[scName], "c.txt");
  EXPECT_EQ(s.SortState[scDate], 2);
  // A state other than 1 or 2 sorts ascending and becomes 2.
  s.SortState[scDate] = 7;
  s.Sort(r.Rows, scDate);
  EXPECT_EQ(r.Rows.back().Columns(TTextFormat{})[scName], "c.txt");
  EXPECT_EQ(s.SortState[scDate], 2);
  // An unknown column changes nothing.
  auto before = Names(r.Rows);
  s.Sort(r.Rows, 11);
  EXPECT_EQ(Names(r.Rows), before);

  // Duplicate counts compare as numbers; the collection list shares the state.
  std::vector<TSearchRow> rows(3);
  rows[0].DupCount = 10;
  rows[1].DupCount = 9;
  rows[2].DupCount = 2;
  s.Sort(rows, scDuplicates);
  EXPECT_EQ(rows[0].DupCount, 2);
  EXPECT_EQ(rows[2].DupCount, 10);
  std::vector<TCollectionRow> cols = {{nullptr, "b", 0}, {nullptr, "a", 0}};
  s.SortState[0] = 1;
  s.Sort(cols, 0);
  EXPECT_EQ(cols[0].Caption, "b");
  EXPECT_EQ(s.SortState[0], 2);
}

TEST_F(SearchTest, SavedSearchRoundTrip) {
  TSearchCriteria c{.Name = "song",
                    .Category = "Music",
                    .Comments = "great",
                    .Type = "mp3",
                    .Volume = "not saved",
                    .Location = "Shelf",
                    .Date1Use = true,
                    .Date1 = Day(2024, 3, 5, 13),
                    .Date2Use = false,
                    .Date2 = Day(2025, 12, 31),
                    .SizeUse = true,
                    .SizeSign = ssGreater,
                    .SizeUnit = suMB,
                    .SizeValue = 2147483647,
                    .ReplaceCategory = true,
                    .NewCategory = "not saved",
                    .Anywhere = "any",
                    .ColCaption = "cap",
                    .ColUrl = "http://x/",
                    .ColMemo = "memo",
                    .MatchCase = true};
  const std::string file = Path("s.TWS");
  SaveSearch(c, file);
  EXPECT_EQ(ReadFile(file),
            "[Search]\r\nFile=song\r\nType=mp3\r\nCat=Music\r\nComments=great\r\nDate1use=1\r\nDate1=2024-03-05\r\n"
            "Date2use=0\r\nDate2=2025-12-31\r\nSizeUse=1\r\nSizeSign=1\r\nSizeRnd=2\r\nSizeVal=2147483647\r\n"
            "Location=Shelf\r\nAnywhere=any\r\nCol Caption=cap\r\nCol URL=http://x/\r\nCol Comments=memo\r\n"
            "Option Match Case=1\r\n\r\n");

  TSearchCriteria back;
  back.Volume = "mine";
  back.FoldersOnly = true;
  LoadSearch(back, file);
  EXPECT_EQ(back.Name, "song");
  EXPECT_EQ(back.Type, "mp3");
  EXPECT_EQ(back.Category, "Music");
  EXPECT_EQ(back.Comments, "great");
  EXPECT_TRUE(back.Date1Use);
  EXPECT_EQ(back.Date1, Day(2024, 3, 5));
  EXPECT_FALSE(back.Date2Use);
  EXPECT_EQ(back.Date2, Day(2025, 12, 31));
  EXPECT_TRUE(back.SizeUse);
  EXPECT_EQ(back.SizeSign, ssGreater);
  EXPECT_EQ(back.SizeUnit, suMB);
  EXPECT_EQ(back.SizeValue, 2147483647);
  EXPECT_EQ(back.Location, "Shelf");
  EXPECT_EQ(back.Anywhere, "any");
  EXPECT_EQ(back.ColCaption, "cap");
  EXPECT_EQ(back.ColUrl, "http://x/");
  EXPECT_EQ(back.ColMemo, "memo");
  EXPECT_TRUE(back.MatchCase);
  // What the file does not hold stays.
  EXPECT_EQ(back.Volume, "mine");
  EXPECT_TRUE(back.FoldersOnly);
  EXPECT_FALSE(back.ReplaceCategory);
  EXPECT_FALSE(back.AnywhereActive);

  // Saving again keeps other sections of the file and rewrites ours in order.
  WriteFile(file, "[Other]\r\nk=v\r\n[Search]\r\nOption Match Case=0\r\nExtra=1\r\n");
  SaveSearch(c, file);
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Other", "k", ""), "v");
  EXPECT_EQ(ini.Keys("Search").front(), "File");
  EXPECT_EQ(ini.Keys("Search").size(), 18u);
}

TEST_F(SearchTest, MissingKeysLeaveTheCriteriaAsTheyWere) {
  const std::string file = Path("part.tws");
  WriteFile(file, "[search]\r\nfile=new name\r\nDate1=yesterday\r\nSizeSign=9\r\nSizeVal=-1\r\nDate2=2020-02-30\r\n");
  TSearchCriteria c{.Name = "old", .Type = "t", .Date1Use = true, .Date1 = Day(2001, 1, 1), .Date2 = Day(2002, 2, 2),
                    .SizeSign = ssLess, .SizeValue = 7, .MatchCase = true};
  LoadSearch(c, file);
  EXPECT_EQ(c.Name, "new name");
  EXPECT_EQ(c.Type, "t");
  EXPECT_TRUE(c.Date1Use);
  EXPECT_EQ(c.Date1, Day(2001, 1, 1));
  EXPECT_EQ(c.Date2, Day(2002, 2, 2));
  EXPECT_EQ(c.SizeSign, ssLess);
  EXPECT_EQ(c.SizeValue, 7);
  EXPECT_TRUE(c.MatchCase);
  // A file that cannot be read, or is no saved search, is an error and
  // changes nothing: it must not become a search of everything.
  WriteFile(Path("other.ini"), "[Other]\r\nfile=x\r\n");
  for (const std::string& bad : {Path("none.tws"), dir, Path("other.ini")}) {
    SCOPED_TRACE(bad);
    try {
      LoadSearch(c, bad);
      FAIL() << "loaded";
    } catch (const EError& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
    EXPECT_EQ(c.Name, "new name");
  }
}

TEST_F(SearchTest, SearchDatesReadBackTheUsersShortDateToo) {
  EXPECT_EQ(SearchDateText(Day(1999, 12, 31, 23)), "1999-12-31");
  EXPECT_EQ(SearchDateText(-1.25), "1899-12-29");
  EXPECT_EQ(ParseSearchDate("1999-12-31"), Day(1999, 12, 31));
  EXPECT_EQ(ParseSearchDate("1999-13-01"), std::nullopt);
  EXPECT_EQ(ParseSearchDate("x"), std::nullopt);
  // The date part of FormatDate in the user's locale reads back.
  const std::string shortDate = FormatDate(Day(2024, 3, 5));
  EXPECT_EQ(ParseSearchDate(shortDate), Day(2024, 3, 5)) << shortDate;
}

// --- tarnwex-cli find and dupes ---

class SearchCliTest : public SearchTest {
 protected:
  TRun Cli(const std::string& args) { return RunCli(args, Path("stderr.txt")); }
  std::string SaveLib() {
    const std::string file = Path("lib.twl");
    SaveLibraryCommand(*g, file);
    return file;
  }
  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }
};

TEST_F(SearchCliTest, FindPrintsRowsAndCounters) {
  Build();
  const std::string lib = SaveLib();
  TRun r = Cli("find " + Q(lib) + " --category music -q");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "pack.zip\tzip\tCD 1\tCD 1\\Music\\\t2 048\t\t\t\t\tCD 1\\Music\\pack.zip\tShelf A",
                              "song.mp3\tmp3\tCD 1\tCD 1\\Music\\\t1 024\t\t\t\t\tCD 1\\Music\\song.mp3\tShelf A"}));
  EXPECT_EQ(r.err, "Volumes: 1\tFolders: 0\tFiles: 2\tCollections: 0\tSize: 3 072\nResults: 2\n");

  r = Cli("find " + Q(lib) + " --size '>1KB' --sort Size --sort size --json");
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["rows"].size(), 2u);
  EXPECT_EQ(j["rows"][0]["name"], "pack.zip");
  // For programs: the size in bytes and the date in ISO 8601, not as shown.
  EXPECT_EQ(j["rows"][0]["size"], 2048);
  EXPECT_TRUE(j["rows"][0]["date"].is_null() || j["rows"][0]["date"].get<std::string>().size() == 19);
  EXPECT_EQ(j["rows"][1]["fullFilename"], "CD 1\\a.txt");
  EXPECT_EQ(j["counters"]["files"], 2);
  // The same size criterion as separate words, and a plain number with a unit word.
  const std::string sorted = Cli("find " + Q(lib) + " --size '>1KB' --sort Size").out;
  EXPECT_EQ(Cli("find " + Q(lib) + " --size '>' 1 kb --sort Size").out, sorted);
  EXPECT_EQ(Lines(Cli("find " + Q(lib) + " --size 2 KB").out).size(), 1u);

  r = Cli("find " + Q(lib) + " --date 2024-03-05 --between 2024-03-05 --selected 'CD 2'");
  EXPECT_EQ(Lines(r.out).size(), 1u);
  EXPECT_EQ(r.out.substr(0, 6), "c.txt\t");
  r = Cli("find " + Q(lib) + " --anywhere rock --json");
  EXPECT_EQ(nlohmann::json::parse(r.out)["rows"][0]["comments"], "great Rock gig");

  EXPECT_EQ(Cli("find " + Q(lib) + " --size '~3'").status, 2);
  EXPECT_EQ(Cli("find " + Q(lib) + " --date 5.3.2024").status, 2);
  EXPECT_EQ(Cli("find " + Q(lib) + " --between 2024-03-05").status, 2);
  EXPECT_EQ(Cli("find " + Q(lib) + " --sort Nope").status, 2);
  EXPECT_EQ(Cli("find " + Q(lib) + " --selected 'CD 9'").status, 1);
  EXPECT_EQ(Cli("find " + Q(Path("missing.twl"))).status, 1);
}

TEST_F(SearchCliTest, DupesReplaceAndSavedSearches) {
  auto v = AddVolume("V");
  auto f = AddFolder(v, "f");
  AddFile(v, "a.txt", 1);
  AddFile(f, "A.TXT", 2);
  AddFile(f, "b.txt", 3);
  const std::string lib = SaveLib();
  TRun r = Cli("dupes " + Q(lib) + " -q");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"a.txt\ttxt\tV\tV\\\t1\t\t\t\t2\tV\\a.txt\t",
                                                    "A.TXT\ttxt\tV\tV\\f\\\t2\t\t\t\t2\tV\\f\\A.TXT\t"}));
  EXPECT_EQ(Lines(r.err).front(), "Volumes: 1\tFolders: 0\tFiles: 2\tCollections: 0\tSize: 3");

  // A saved search is read first; the other options override it.
  const std::string tws = Path("s.tws");
  ASSERT_EQ(Cli("find " + Q(lib) + " --name b --save-search " + Q(tws)).status, 0);
  EXPECT_NE(ReadFile(tws).find("File=b\r\n"), std::string::npos);
  r = Cli("find " + Q(lib) + " --load-search " + Q(tws) + " --replace-category Done --replace-comments 'x y'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 1u);
  Lib().Clear();
  LoadLibraryNow(*g, lib, false);
  TLibFolderItem* b = Lib().Folders.Top(0)->Item(0)->Data()->Items.FindExact("b.txt");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Category, "Done");
  EXPECT_EQ(b->Comments, "x y");
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Items.FindExact("a.txt")->Category, "");
}

}  // namespace
}  // namespace tw::test
