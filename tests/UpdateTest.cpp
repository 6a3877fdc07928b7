// Bringing volumes up to date against the medium, and handing category and
// comments down a branch without it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "base/DateTime.h"
#include "base/Error.h"
#include "core/VolumeScan.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

class UpdateTest : public TLibraryTest {
 protected:
  void SetUp() override {
    TLibraryTest::SetUp();
    g->Handlers.LoadDefaultHandlers(g->Registry());
    root = Path("medium/");
    MakeFile(root + "keep.txt", 3);
    MakeFile(root + "gone.txt", 5);
    MakeFile(root + "sub/inner.txt", 7);
    volume = AddVolumeCommand(*g, {.Folder = root, .Title = "V"});
    host.Log.clear();
  }

  TFolderNode* Node(const std::string& path) { return Lib().FindFolderNode(volume, path); }
  bool Logged(const std::string& line) const { return host.CountLog(line) == 1; }

  std::string root;
  TFolderNode* volume = nullptr;
};

TEST_F(UpdateTest, UnchangedVolumeFindsEverythingAndDeletesNothing) {
  const auto before = Dump(volume);
  UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true});
  EXPECT_EQ(Dump(volume), before);
  EXPECT_TRUE(Logged("Updating.. " + root));
  EXPECT_TRUE(Logged("Analyzing.. " + root));
  EXPECT_TRUE(Logged("Analyzed: 4 files")) << ::testing::PrintToString(host.Log);
  EXPECT_TRUE(Logged("Deleted: 0 files"));
  EXPECT_EQ(volume->Data()->KeptSize, 15);
  EXPECT_FALSE(g->AddingVolume);
  EXPECT_TRUE(Lib().Modified);
}

TEST_F(UpdateTest, DeletedFileGoesOnlyWithDeleteMissing) {
  fs::remove(root + "gone.txt");
  fs::remove_all(root + "sub");
  UpdateVolumeCommand(*g, volume, {.Folder = root});
  EXPECT_NE(volume->Data()->Items.FindExact("gone.txt"), nullptr);
  EXPECT_NE(Node("V\\sub\\"), nullptr);

  UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true});
  EXPECT_EQ(Dump(volume), (std::vector<std::string>{"F V\\keep.txt 3"}));
  EXPECT_EQ(FolderRecords(volume), (std::vector<std::string>{"V\\"}));
  EXPECT_EQ(volume->Data()->KeptSize, 3);
  EXPECT_TRUE(Logged("Deleted: 2 files")) << ::testing::PrintToString(host.Log);
}

TEST_F(UpdateTest, ChangedFileKeepsItsEntryAndNewFolderAppears) {
  TLibFolderItem* keep = volume->Data()->Items.FindExact("keep.txt");
  keep->Category = "Mine";
  MakeFile(root + "keep.txt", 30, 1300000000);
  MakeFile(root + "new/deeper/n.txt", 2);
  UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true});
  EXPECT_EQ(volume->Data()->Items.FindExact("keep.txt"), keep);
  EXPECT_EQ(keep->Size, 30);
  EXPECT_EQ(keep->Category, "Mine");
  EXPECT_EQ(keep->Date, UnixToDateTimeUtc(1300000000, 0));
  // Kept sizes are not changed for an entry that was there already.
  EXPECT_EQ(volume->Data()->KeptSize, 15 + 2);
  EXPECT_NE(Node("V\\new\\deeper\\"), nullptr);
  EXPECT_NE(Node("V\\new\\deeper\\")->Data()->Items.FindExact("n.txt"), nullptr);
  EXPECT_TRUE(volume->Data()->Items.FindExact("new")->IsFolder);
}

TEST_F(UpdateTest, VolumeTakesTheSerialWhenItHasNone) {
  UpdateVolumeCommand(*g, volume, {.Folder = root, .Serial = "ABCD0001"});
  EXPECT_EQ(volume->Data()->Serial, "ABCD0001");
  UpdateVolumeCommand(*g, volume, {.Folder = root, .Serial = "FFFF0002"});
  EXPECT_EQ(volume->Data()->Serial, "ABCD0001");
}

TEST_F(UpdateTest, FolderIsUpdatedInItsPlace) {
  MakeFile(root + "sub/added.txt", 1);
  fs::remove(root + "sub/inner.txt");
  UpdateVolumeCommand(*g, Node("V\\sub\\"), {.Folder = root + "sub", .DeleteMissing = true});
  EXPECT_EQ(Dump(volume), (std::vector<std::string>{"F V\\gone.txt 5", "F V\\keep.txt 3", "D V\\sub",
                                                    "F V\\sub\\added.txt 1"}));
  EXPECT_EQ(volume->Data()->SourcePath, root);
  // A real source that is not the folder's own place is refused.
  EXPECT_THROW(UpdateVolumeCommand(*g, Node("V\\sub\\"), {.Folder = root}), EError);
}

TEST_F(UpdateTest, StopDuringTheWalkRemovesNothing) {
  fs::remove(root + "gone.txt");
  host.StopAtPump = host.Pumps + 5;  // marking pumps once per item: four times
  UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true});
  EXPECT_NE(volume->Data()->Items.FindExact("gone.txt"), nullptr);
  EXPECT_TRUE(Logged("Deleted: 0 files")) << ::testing::PrintToString(host.Log);
  EXPECT_FALSE(g->AddingVolume);
}

// What a walk could not read stays marked found: the entry at its path and,
// for a folder, everything recorded below it.
TEST_F(UpdateTest, UnreadablePathKeepsWhatItHolds) {
  MakeFile(root + "sub/deeper/d.txt", 1);
  UpdateVolumeCommand(*g, volume, {.Folder = root});
  auto found = [&] {
    std::vector<std::string> paths;
    TFolderNode* end = volume->GetNextSkippingChildren();
    for (TFolderNode* n = volume; n != end; n = n->GetNext())
      for (const auto& item : n->Data()->Items)
        if (item->Found) paths.push_back(item->GetItemPath());
    return paths;
  };
  const std::vector<std::string> sub = {"V\\sub", "V\\sub\\deeper", "V\\sub\\inner.txt",
                                        "V\\sub\\deeper\\d.txt"};
  struct Case {
    std::string path;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {root + "sub/", sub},
      {root + "sub", sub},  // its entry's record could not be read
      {root + "sub/inner.txt", {"V\\sub\\inner.txt"}},
      {root + "sub/deeper/", {"V\\sub\\deeper", "V\\sub\\deeper\\d.txt"}},
      {root, {"V\\gone.txt", "V\\keep.txt", "V\\sub", "V\\sub\\deeper", "V\\sub\\inner.txt",
              "V\\sub\\deeper\\d.txt"}},
      {root + "sub/new/", {}},
      {root + "other.txt", {}},
  };
  g->SetProcessStopped(false);  // marking runs only while a command does
  for (const auto& c : cases) {
    Lib().MarkItems(volume, false);
    Lib().KeepUnreadable(volume, c.path);
    EXPECT_EQ(found(), c.found) << c.path;
  }
}

TEST_F(UpdateTest, FolderThatCannotBeEnteredKeepsItsRecords) {
  Node("V\\sub\\")->Data()->Items.FindExact("inner.txt")->Comments = "Mine";
  fs::remove(root + "gone.txt");
  // sub is listed again, then gone when the walk comes to enter it.
  bool moved = false;
  host.OnPump = [&](int) {
    if (!moved && Logged("Analyzed: 4 files") && volume->Data()->Items.FindExact("sub")->Found) {
      fs::rename(root + "sub", Path("elsewhere"));
      moved = true;
    }
  };
  TScanResult result;
  UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true}, &result);
  ASSERT_TRUE(moved);
  EXPECT_EQ(result.Unreadable, (std::vector<std::string>{root + "sub/"}));
  EXPECT_TRUE(Logged("Cannot read " + root + "sub/: No such file or directory")) << ::testing::PrintToString(host.Log);
  EXPECT_EQ(Dump(volume), (std::vector<std::string>{"F V\\keep.txt 3", "D V\\sub", "F V\\sub\\inner.txt 7"}));
  EXPECT_EQ(Node("V\\sub\\")->Data()->Items.FindExact("inner.txt")->Comments, "Mine");
  EXPECT_TRUE(Logged("Deleted: 1 files"));
}

// A crafted medium may nest folders deeper than the call stack reaches.
TEST_F(UpdateTest, WhatALimitedWalkDoesNotLookAtIsNotDeleted) {
  // The medium lost gone.txt and sub/inner.txt. A walk of one level or of
  // folders only deletes what it could see was gone, nothing it never
  // looked at.
  MakeFile(root + "sub/deeper/x.txt", 1);
  const struct {
    const char* name;
    int32_t levels;
    bool foldersOnly;
    std::vector<std::string> left;
  } table[] = {
      {"one level", 1, false,
       {"F V\\keep.txt 3", "D V\\sub", "D V\\sub\\deeper", "F V\\sub\\inner.txt 7", "F V\\sub\\deeper\\x.txt 1"}},
      {"folders only", 0, true,
       {"F V\\gone.txt 5", "F V\\keep.txt 3", "D V\\sub", "D V\\sub\\deeper", "F V\\sub\\inner.txt 7",
        "F V\\sub\\deeper\\x.txt 1"}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    MakeFile(root + "gone.txt", 5);
    MakeFile(root + "sub/inner.txt", 7);
    UpdateVolumeCommand(*g, volume, {.Folder = root});
    fs::remove(root + "gone.txt");
    fs::remove(root + "sub/inner.txt");
    UpdateVolumeCommand(*g, volume,
                 {.Folder = root, .Levels = row.levels, .DeleteMissing = true, .FoldersOnly = row.foldersOnly});
    EXPECT_EQ(Dump(volume), row.left);
  }
}

TEST_F(UpdateTest, MarkingAndRemovingReachAnyDepth) {
  g->PumpInterval = std::chrono::hours(1);  // no status texts: each would spell a whole path
  g->SetProcessStopped(false);
  TFolderNode* deep = AddVolume("Deep");
  TFolderNode* node = deep;
  for (int i = 0; i < 200000; ++i) node = AddFolder(node, "d");
  AddFile(node, "keep.txt", 1);
  AddFile(node, "gone.txt", 2);
  EXPECT_EQ(Lib().MarkItems(deep, true), 200002);
  node->Data()->Items.FindExact("gone.txt")->Found = false;
  EXPECT_EQ(Lib().RemoveUnmarkedItems(deep), 1);
  EXPECT_EQ(node->Data()->Items.Count(), 1);
  EXPECT_EQ(deep->Data()->KeptSize, 1);
}

TEST_F(UpdateTest, WithoutRealSourceDefaultsGoDownTheBranch) {
  // Files and folder entries below take the values; folder records below
  // only with ApplyToFolders; the selected folder always.
  TFolderNode* sub = Node("V\\sub\\");
  MakeFile(root + "sub/deeper/d.txt", 1);
  UpdateVolumeCommand(*g, volume, {.Folder = root});
  sub->Data()->Category = "Old";
  Node("V\\sub\\deeper\\")->Data()->Category = "Old";
  UpdateVolumeCommand(*g, sub, {.Category = "Backup", .ApplyToFiles = true});
  EXPECT_EQ(sub->Data()->Category, "Backup");
  EXPECT_EQ(volume->Data()->Items.FindExact("sub")->Category, "Backup");
  EXPECT_EQ(sub->Data()->Items.FindExact("inner.txt")->Category, "Backup");
  EXPECT_EQ(sub->Data()->Items.FindExact("deeper")->Category, "Backup");
  EXPECT_EQ(Node("V\\sub\\deeper\\")->Data()->Category, "Old");
  EXPECT_EQ(Node("V\\sub\\deeper\\")->Data()->Items.FindExact("d.txt")->Category, "Backup");
  EXPECT_EQ(volume->Data()->Items.FindExact("keep.txt")->Category, "");

  UpdateVolumeCommand(*g, sub, {.Category = "All", .ApplyToFolders = true});
  EXPECT_EQ(Node("V\\sub\\deeper\\")->Data()->Category, "All");
  EXPECT_EQ(sub->Data()->Items.FindExact("inner.txt")->Category, "Backup");
}

}  // namespace
}  // namespace tw::test
