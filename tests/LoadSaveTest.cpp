// Opening, merging and saving whole libraries, with their questions, stops
// and failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "tests/ByteWriter.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

// Every stored field of both trees, one line per record.
std::string Dump(const TLibObj& lib) {
  std::ostringstream out;
  out << lib.Comments << '|' << lib.Category << '\n';
  for (TFolderNode* n = lib.Folders.GetFirstNode(); n; n = n->GetNext()) {
    const TLibFolder& f = *n->Data();
    out << std::string(n->Level(), ' ') << "F " << f.Name << '|' << f.Date << '|' << f.Category << '|' << f.Comments
        << '|' << f.Location << '|' << f.IsFolder << '|' << f.Serial << '|' << f.SourcePath << '|'
        << (f.Parent ? f.Parent->Name : "-") << '|' << f.KeptSize << '\n';
    for (const auto& i : f.Items) {
      out << std::string(n->Level(), ' ') << "  I " << i->Name << '|' << i->Date << '|' << i->Size << '|'
          << i->Category << '|' << i->Comments << '|' << i->IsFolder << '|' << (i->ColNode ? "linked" : "") << '|';
      for (const auto& t : i->TagInfo.Tags) out << t << ';';
      out << '\n';
    }
  }
  for (TColNode* n = lib.Collections.GetFirstNode(); n; n = n->GetNext()) {
    const TLibColItem& c = *n->Data();
    out << std::string(n->Level(), ' ') << "C " << c.Caption << '|' << c.Kind << '|' << c.Memo << '|' << c.Url << '|'
        << c.Path << '|' << c.ImageIndex << '|' << (c.Folder ? c.Folder->GetPath() : "-") << '|'
        << (c.Item ? c.Item->Name : "-") << '|' << n->ImageIndex << '\n';
  }
  for (const auto& cat : lib.Categories) out << "K " << cat << '\n';
  return out.str();
}

class LoadSaveTest : public TLibraryTest {
 protected:
  void SetUp() override {
    TLibraryTest::SetUp();
    g->SortVolumes = false;
  }

  TColNode* Link(TColNode* parent, TLibFolder* folder, TLibFolderItem* item) {
    auto c = std::make_unique<TLibColItem>("");
    TLibColItem* raw = c.get();
    TColNode* node = Lib().AddCollectionRecord(parent, std::move(c));
    raw->LinkTo(folder, item, node);
    return node;
  }

  // Two volumes with nested folders, an archive, tags, collections of every
  // kind and categories.
  void BuildRichLibrary() {
    Lib().Comments = "My discs\r\nsecond line";
    Lib().Category = "Home";
    auto cd1 = AddVolume("CD 1", "0000BEEF", "/media/cd/");
    cd1->Data()->Location = "Box A";
    cd1->Data()->Date = 45000.75;
    auto music = AddFolder(cd1, "Music");
    music->Data()->Category = "Audio";
    auto rock = AddFolder(music, "Rock");
    TLibFolderItem* song = AddFile(rock, "song.mp3", 4000000, 44000.5);
    song->TagInfo.Tags = {"Artist=Band", "Title=Song", "DurationSec=215.3"};
    AddFile(rock, "Song.MP3", 12);
    auto zip = AddFolder(music, "pack.zip", 1000);
    AddFile(zip, "inner\\a.txt", 3);
    AddFile(zip, "b.txt", 4);
    AddFile(cd1, "readme.txt", 10, 40000)->Comments = "read\nme";
    auto cd2 = AddVolume("Backup 2", "", "/home/u/");
    cd2->Data()->Location = "Drawer";
    AddFile(cd2, "x.bin", 5000000000LL);

    auto memo = std::make_unique<TLibColItem>("Notes");
    memo->Memo = "memo text";
    memo->Url = "https://example.org";
    TLibColItem* memoItem = memo.get();
    TColNode* memoNode = Lib().AddCollectionRecord(nullptr, std::move(memo));
    memoItem->AttachNode(memoNode);
    Link(memoNode, cd1->Data(), nullptr);             // volume
    Link(memoNode, rock->Data(), nullptr);            // folder
    Link(nullptr, rock->Data(), song);                // file
    Link(nullptr, zip->Data(), nullptr);              // archive folder
    Lib().Categories.Add("Audio");
    Lib().Categories.Add("backup");
  }
};

TEST_F(LoadSaveTest, RoundTripKeepsModelAndBytes) {
  BuildRichLibrary();
  std::string before = Dump(Lib());
  std::string first = Path("a.twl"), second = Path("b.twl");
  SaveLibraryCommand(*g, first);
  EXPECT_FALSE(Lib().Modified);

  g->ResetLibrary(false);
  OpenLibraryCommand(*g, first, false, false);
  EXPECT_EQ(Dump(Lib()), before);
  EXPECT_FALSE(Lib().Modified);
  EXPECT_EQ(Lib().FileName, first);
  SaveLibraryCommand(*g, second);
  EXPECT_EQ(ReadFile(second), ReadFile(first));
}

TEST_F(LoadSaveTest, LoadRelinksCollectionsAndKeepsSizes) {
  BuildRichLibrary();
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  g->ResetLibrary(false);
  OpenLibraryCommand(*g, file, false, false);

  TLibFolder* cd1 = Lib().Folders.Top(0)->Data();
  TLibFolder* music = cd1->Node->Item(0)->Data();
  TLibFolder* rock = music->Node->Item(0)->Data();
  TLibFolderItem* song = rock->Items.FindExact("song.mp3");
  ASSERT_NE(song, nullptr);
  TColNode* fileLink = Lib().Collections.Top(1);
  EXPECT_EQ(fileLink->Data()->Kind, ckFile);
  EXPECT_EQ(fileLink->Data()->Item, song);
  EXPECT_EQ(song->ColNode, fileLink);
  EXPECT_EQ(cd1->ColNode, Lib().Collections.Top(0)->Item(0));
  EXPECT_EQ(Lib().Collections.Top(2)->Data()->Kind, ckArchive);
  EXPECT_EQ(Lib().Collections.Top(2)->ImageIndex, 6);

  // Kept sizes: each folder its own entries; the volume everything below it.
  EXPECT_EQ(rock->KeptSize, 4000012);
  EXPECT_EQ(music->KeptSize, 1000);  // the archive's own size, as listed
  EXPECT_EQ(cd1->KeptSize, 10 + 1000 + 4000012 + 7);
  Lib().RecountTotals();
  EXPECT_EQ(Lib().VolumeCount, 2);
  EXPECT_EQ(Lib().FolderCount, 3);
  EXPECT_EQ(Lib().FileCount, 6);
  EXPECT_EQ(Lib().TotalSize, 4000012 + 7 + 10 + 5000000000LL);
}

TEST_F(LoadSaveTest, LoadFillsLocationsAndCategoriesOfTheGlobalLists) {
  BuildRichLibrary();
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  for (bool toGlobals : {true, false}) {
    TTestHost h;
    TGlobalData fresh(h, dir + "/data/");
    fresh.AddLocationsToGlobals = fresh.AddCategoriesToGlobals = toGlobals;
    OpenLibraryCommand(fresh, file, false, false);
    EXPECT_EQ(fresh.CurrentLibrary->Locations.Items(), (std::vector<std::string>{"Box A", "Drawer"}));
    EXPECT_EQ(fresh.LocationsList.Count(), toGlobals ? 2 : 0);
    std::vector<std::string> expected;
    if (toGlobals) expected = {"Audio", "backup"};
    EXPECT_EQ(fresh.CategoriesList.Items(), expected);
  }
}

TEST_F(LoadSaveTest, SortsVolumesWhenAsked) {
  AddVolume("b");
  AddVolume("C");
  AddVolume("a");
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  g->SortVolumes = true;
  OpenLibraryCommand(*g, file, false, false);
  std::vector<std::string> names;
  for (int i = 0; i < Lib().Folders.TopCount(); ++i) names.push_back(Lib().Folders.Top(i)->Text);
  EXPECT_EQ(names, (std::vector<std::string>{"C", "a", "b"}));  // the C locale's collation
}

TEST_F(LoadSaveTest, UnknownVersionLeavesTheLibraryUntouched) {
  BuildRichLibrary();
  std::string before = Dump(Lib());
  TByteWriter w;
  w.Header("Tarnwex 2.4", "", 0, 0, "", 0);
  w.Save(Path("new.twl"));
  try {
    OpenLibraryCommand(*g, Path("new.twl"), false, false);
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_EQ(e.what(), Path("new.twl") + ": Unknown File Version!");
  }
  EXPECT_EQ(Dump(Lib()), before);

  // Called directly, the loader empties the library before it finds out.
  try {
    LoadLibraryNow(*g, Path("new.twl"), false);
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_EQ(e.what(), Path("new.twl") + ": Wrong file version!");
  }
  EXPECT_EQ(Lib().Folders.Count(), 0u);
}

TEST_F(LoadSaveTest, MissingFileShowsAnErrorAndChangesNothing) {
  BuildRichLibrary();
  std::string before = Dump(Lib());
  OpenLibraryCommand(*g, Path("nothing.twl"), false, false);
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0].first, "File not found: " + Path("nothing.twl"));
  EXPECT_EQ(host.Messages[0].second, TMsgKind::Error);
  EXPECT_EQ(Dump(Lib()), before);
}

TEST_F(LoadSaveTest, ConfirmedOpenCanBeDeclined) {
  AddVolume("V");
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  g->ResetLibrary(false);
  host.Answers = {TMsgAnswer::Cancel};
  OpenLibraryCommand(*g, file, false, true);
  ASSERT_EQ(host.Questions.size(), 1u);
  EXPECT_EQ(host.Questions[0].Text, "Load Library \"" + file + "\" ?");
  EXPECT_EQ(Lib().Folders.Count(), 0u);
}

TEST_F(LoadSaveTest, MergeAppendsVolumesAndLinksTheMergedFolders) {
  // The other library: volume C with folder D, and a link to D.
  {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    TLibObj& lib = *other.CurrentLibrary;
    auto c = std::make_unique<TLibFolder>();
    c->Name = "C";
    TFolderNode* cn = lib.AddFolderRecord(nullptr, std::move(c));
    auto entry = std::make_unique<TLibFolderItem>();
    entry->Name = "D";
    entry->IsFolder = true;
    lib.AddItem(cn->Data(), std::move(entry));
    auto d = std::make_unique<TLibFolder>();
    d->Name = "D";
    d->IsFolder = 1;
    TFolderNode* dn = lib.AddFolderRecord(cn, std::move(d));
    auto link = std::make_unique<TLibColItem>("");
    TLibColItem* raw = link.get();
    TColNode* node = lib.AddCollectionRecord(nullptr, std::move(link));
    raw->LinkTo(dn->Data(), nullptr, node);
    lib.Categories.Add("merged");
    TQuietOperation quiet;
    lib.SaveLibrary(Path("other.twl"), quiet);
  }
  // This library: volumes A and B, each with a folder, saved and loaded so
  // their folders carry indexes 0 to 3 like the other file's.
  auto a = AddVolume("A");
  AddFolder(a, "A1");
  auto b = AddVolume("B");
  AddFolder(b, "B1");
  Lib().Comments = "mine";
  Lib().Category = "cat";
  SaveLibraryCommand(*g, Path("this.twl"));
  OpenLibraryCommand(*g, Path("this.twl"), false, false);

  OpenLibraryCommand(*g, Path("other.twl"), true, true);
  EXPECT_EQ(host.Questions.back().Text, "Import Library \"" + Path("other.twl") + "\" ?");
  ASSERT_EQ(Lib().Folders.TopCount(), 3);
  EXPECT_EQ(Lib().Folders.Top(2)->Text, "C");
  EXPECT_EQ(Lib().Comments, "mine");
  EXPECT_EQ(Lib().Category, "cat");
  EXPECT_EQ(Lib().FileName, Path("this.twl"));
  EXPECT_TRUE(Lib().Modified);
  EXPECT_TRUE(Lib().Categories.Contains("merged"));
  ASSERT_EQ(Lib().Collections.TopCount(), 1);
  TLibColItem* link = Lib().Collections.Top(0)->Data();
  ASSERT_NE(link->Folder, nullptr);
  EXPECT_EQ(link->Folder->GetPath(), "C\\D\\");

  // Saved and loaded again, the link still finds its folder.
  SaveLibraryCommand(*g, Path("this.twl"));
  OpenLibraryCommand(*g, Path("this.twl"), false, false);
  ASSERT_NE(Lib().Collections.Top(0)->Data()->Folder, nullptr);
  EXPECT_EQ(Lib().Collections.Top(0)->Data()->Folder->GetPath(), "C\\D\\");
}

TEST_F(LoadSaveTest, SaveToFileAsksBeforeReplacing) {
  AddVolume("V");
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file, true);
  EXPECT_TRUE(host.Questions.empty());

  Lib().Modified = true;
  AddVolume("W");
  host.Answers = {TMsgAnswer::Cancel};
  std::string before = ReadFile(file);
  SaveLibraryCommand(*g, file, true);
  ASSERT_EQ(host.Questions.size(), 1u);
  EXPECT_EQ(host.Questions[0].Text, "Replace existing \"" + file + "\" ?");
  EXPECT_EQ(host.Questions[0].Buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_TRUE(Lib().Modified);

  SaveLibraryCommand(*g, file, true);  // answered OK
  EXPECT_EQ(host.Questions.size(), 2u);
  EXPECT_NE(ReadFile(file), before);
  EXPECT_FALSE(Lib().Modified);
}

TEST_F(LoadSaveTest, AskSaveChanges) {
  struct Case {
    bool modified, confirm;
    TMsgAnswer answer;
    TMsgAnswer result;
    bool asked, saved;
  } cases[] = {
      {true, true, TMsgAnswer::Yes, TMsgAnswer::Yes, true, true},
      {true, true, TMsgAnswer::No, TMsgAnswer::No, true, false},
      {true, true, TMsgAnswer::Cancel, TMsgAnswer::Cancel, true, false},
      {true, false, TMsgAnswer::Cancel, TMsgAnswer::Yes, false, false},
      {false, true, TMsgAnswer::Cancel, TMsgAnswer::Yes, false, false},
  };
  for (const auto& c : cases) {
    host.Questions.clear();
    host.Answers = {c.answer};
    Lib().Modified = c.modified;
    g->ConfirmSaveChanges = c.confirm;
    bool saved = false;
    EXPECT_EQ(AskSaveChanges(*g, [&] { saved = true; }), c.result);
    EXPECT_EQ(host.Questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(host.Questions[0].Text, "Save changes?");
      EXPECT_EQ(host.Questions[0].Buttons, TMsgButtons::YesNoCancel);
    }
    EXPECT_EQ(saved, c.saved);
  }
}

TEST_F(LoadSaveTest, SerialCheckListsNineNamesThenDots) {
  for (int i = 1; i <= 12; ++i) AddVolume("Disc " + std::to_string(i), "ABCD0001", "/media/cd/");
  AddVolume("Other path", "ABCD0001", "/media/CD/");
  AddVolume("Other serial", "ABCD0002", "/media/cd/");
  TSerialCheck r = Lib().CheckSerialDuplicates("ABCD0001", "/media/cd/", g->Messages());
  EXPECT_FALSE(r.Unique);
  EXPECT_EQ(r.FirstDuplicate, Lib().Folders.Top(0));
  std::string expected = "Found Volumes with Serial \"ABCD0001\":\r\n";
  for (int i = 1; i <= 9; ++i) expected += "Disc " + std::to_string(i) + "\r\n";
  expected += "..\r\n\r\nContinue?";
  EXPECT_EQ(r.Message, expected);

  EXPECT_TRUE(Lib().CheckSerialDuplicates("ABCD0003", "/media/cd/", g->Messages()).Unique);
  EXPECT_TRUE(Lib().CheckSerialDuplicates("", "/media/cd/", g->Messages()).Unique);
}

TEST_F(LoadSaveTest, StopDuringLoadKeepsWhatWasRead) {
  for (int v = 0; v < 5; ++v) {
    auto vol = AddVolume("V" + std::to_string(v));
    for (int f = 0; f < 3; ++f) AddFolder(vol, "F" + std::to_string(f));
  }
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  g->ResetLibrary(false);
  host.Log.clear();
  host.Pumps = 0;
  host.StopAtPump = 6;  // BeginProgress pumps once, then one pump per folder record
  try {
    OpenLibraryCommand(*g, file, false, false);
    FAIL() << "the load was not stopped";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Operation Canceled");
  }
  // Records read before the stop stay; the one read at the stop is dropped.
  EXPECT_EQ(Lib().Folders.Count(), 4u);
  EXPECT_FALSE(Lib().Modified);
  EXPECT_EQ(host.CountLog("Stopped by user."), 2);
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_FALSE(host.ProgressVisible);
}

TEST_F(LoadSaveTest, StopDuringSaveKeepsThePreviousFile) {
  for (int v = 0; v < 5; ++v) AddVolume("V" + std::to_string(v));
  std::string file = Path("a.twl");
  SaveLibraryCommand(*g, file);
  std::string before = ReadFile(file);
  AddVolume("new");
  Lib().Modified = true;
  host.Log.clear();
  host.Pumps = 0;
  host.StopAtPump = 3;
  try {
    SaveLibraryCommand(*g, file);
    FAIL() << "the save was not stopped";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Operation Canceled");
  }
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_TRUE(Lib().Modified);
  // No "Saved" line for a save that did not happen.
  for (const auto& line : host.Log) EXPECT_EQ(line.rfind("Saved ", 0), std::string::npos) << line;
}

TEST_F(LoadSaveTest, FailedSaveReportsAndKeepsModified) {
  AddVolume("V");
  Lib().Modified = true;
  try {
    SaveLibraryCommand(*g, Path("no/such/folder/a.twl"));
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(Lib().Modified);
}

TEST_F(LoadSaveTest, SaveLeavesNoTemporaryFileBehind) {
  AddVolume("V");
  SaveLibraryCommand(*g, Path("a.twl"));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class LibraryFileSafetyTest : public LoadSaveTest {
 protected:
  std::string Saved(const std::string& name) {
    AddVolume("CD 1");
    SaveLibraryCommand(*g, Path(name));
    return Path(name);
  }
  std::string ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "no error";
  }
};

TEST_F(LibraryFileSafetyTest, CountsLowerThanTheRecordsAreRefusedWithTheOffset) {
  // The header says one volume, two follow; or the categories end early.
  TByteWriter w;
  w.Header("Tarnwex 2.3", "", 1, 0, "", 0).Folder("A", 0, 0, 0, 0);
  const size_t firstUnread = w.bytes.size();  // where the second folder record starts
  w.Folder("B", 0, 0, 0, 1);
  const std::string file = Path("low.twl");
  w.Save(file);
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, file, false, false); }),
            "Damaged library file " + file + " at byte " + std::to_string(firstUnread) + ": " +
                std::to_string(w.bytes.size() - firstUnread) + " bytes after the last record");
  TByteWriter tail;
  tail.Header("Tarnwex 2.3", "", 0, 0, "", 0).Byte(0);
  tail.Save(file);
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, file, false, false); }),
            "Damaged library file " + file + " at byte " + std::to_string(tail.bytes.size() - 1) +
                ": 1 bytes after the last record");
}

TEST_F(LibraryFileSafetyTest, WhatIsNoLibraryIsNamedAndNeverBlocks) {
  const std::string fifo = Path("pipe.twl"), empty = Path("empty.twl"), shortFile = Path("short.twl");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(empty).close();
  std::ofstream(shortFile) << "abc";
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, fifo, false, false); }), "Cannot read " + fifo + ": not a file but a FIFO");
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, dir, false, false); }), "Cannot read " + dir + ": not a file but a folder");
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, empty, false, false); }), empty + ": Unknown File Version! (an empty file)");
  EXPECT_EQ(ErrorOf([&] { OpenLibraryCommand(*g, shortFile, false, false); }).rfind(shortFile + ": Unknown File Version! (3 bytes, ", 0),
            0u);
}

TEST_F(LibraryFileSafetyTest, ASaveRefusesAFileChangedSinceItWasRead) {
  const std::string file = Saved("lib.twl");
  g->ResetLibrary(false);
  OpenLibraryCommand(*g, file, false, false);
  // Another program replaces the file meanwhile.
  {
    TGlobalData other(host);
    OpenLibraryCommand(other, file, false, false);
    other.CurrentLibrary->AddVolumeNode("Theirs", "/t/");
    SaveLibraryCommand(other, file);
  }
  AddVolume("Mine");
  EXPECT_EQ(ErrorOf([&] { SaveLibraryCommand(*g, file); }),
            file + " was changed by another program after it was read; it was not replaced");
  TGlobalData check(host);
  OpenLibraryCommand(check, file, false, false);
  EXPECT_EQ(check.CurrentLibrary->Folders.TopCount(), 2);  // CD 1 and Theirs, untouched
  // Saved under another name it is kept; its own saves go on there.
  SaveLibraryCommand(*g, Path("mine.twl"));
  AddVolume("More");
  EXPECT_NO_THROW(SaveLibraryCommand(*g, Path("mine.twl")));
  // A file removed since holds nothing to lose: the save writes it again.
  std::filesystem::remove(Path("mine.twl"));
  EXPECT_NO_THROW(SaveLibraryCommand(*g, Path("mine.twl")));
  EXPECT_TRUE(std::filesystem::exists(Path("mine.twl")));
  // A new library refuses a file that appeared where it is to be saved.
  g->ResetLibrary(false);
  Lib().StartNewFile(Path("new.twl"));
  std::ofstream(Path("new.twl")) << "someone else's";
  EXPECT_NE(ErrorOf([&] { SaveLibraryCommand(*g, Path("new.twl")); }).find("was changed by another program"),
            std::string::npos);
}

TEST_F(LibraryFileSafetyTest, ASaveThroughALinkReplacesTheFileItPointsTo) {
  std::filesystem::create_directory(Path("real"));
  const std::string real = Saved("real/lib.twl");
  const std::string link = Path("link.twl");
  std::filesystem::create_symlink("real/lib.twl", link);
  g->ResetLibrary(false);
  OpenLibraryCommand(*g, link, false, false);
  AddVolume("Added");
  SaveLibraryCommand(*g, link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  TGlobalData check(host);
  OpenLibraryCommand(check, real, false, false);
  EXPECT_EQ(check.CurrentLibrary->Folders.TopCount(), 2);
  // A link to a file not there yet makes it.
  std::filesystem::create_symlink("real/later.twl", Path("later.twl"));
  SaveLibraryCommand(*g, Path("later.twl"));
  EXPECT_TRUE(std::filesystem::is_regular_file(Path("real/later.twl")));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("later.twl")));
}

TEST_F(LibraryFileSafetyTest, TemporariesOfKilledSavesGoWithTheNextSave) {
  const std::string file = Saved("lib.twl");
  const std::vector<std::string> left = {Path(".lib.twl.tarnwex-a1B2c3"), Path(".lib.twl.tarnwex-zzzzzz")};
  const std::vector<std::string> kept = {Path(".other.twl.tarnwex-a1B2c3"), Path(".lib.twl.tarnwex-longer-name"),
                                         Path("lib.twl.tarnwex-a1B2c3")};
  for (const auto& f : left) std::ofstream(f) << "partial";
  for (const auto& f : kept) std::ofstream(f) << "not ours";
  SaveLibraryCommand(*g, file);
  for (const auto& f : left) EXPECT_FALSE(std::filesystem::exists(f)) << f;
  for (const auto& f : kept) EXPECT_TRUE(std::filesystem::exists(f)) << f;
  // The writer's lock file goes with the save that took it.
  EXPECT_FALSE(std::filesystem::exists(LockFileOf(file)));
}

TEST_F(LibraryFileSafetyTest, AWriterWaitsForTheLockThenGivesUpWithAMessage) {
  const std::string file = Saved("lib.twl");
  {
    TFileLock held(file, file, TFileLock::kDefaultWait);
    EXPECT_EQ(ErrorOf([&] { TFileLock second(file, file, std::chrono::milliseconds(100)); }),
              file + " is being changed by another program; try again when it has finished");
  }
  EXPECT_NO_THROW(TFileLock again(file, file, std::chrono::milliseconds(100)));
  // The library's own lock is the lock of its saves: no second wait.
  Lib().LockForWriting(file);
  EXPECT_NO_THROW(SaveLibraryCommand(*g, file));
  EXPECT_EQ(ErrorOf([&] { TFileLock other(file, file, std::chrono::milliseconds(100)); }).find("is being changed"),
            file.size() + 1);
}

}  // namespace
}  // namespace tw::test
