// The catalog model: paths, names, entries, kept sizes, totals, links
// between the trees and what freeing a record takes with it.
#include <gtest/gtest.h>

#include "tests/Fixture.h"

namespace tw::test {
namespace {

class ModelTest : public TLibraryTest {};

TEST_F(ModelTest, PathsOfVolumesAndFolders) {
  struct Case {
    std::string volume;
    std::string path, display;
  } cases[] = {
      {"", "\\", "[]\\"},
      {"E:\\", "E:\\", "[E:\\]\\"},
      {"CD 12", "CD 12\\", "[CD 12]\\"},
      {"a\\b\\", "a\\b\\\\", "[a\\b\\]\\"},
  };
  for (const auto& c : cases) {
    auto v = AddVolume(c.volume);
    EXPECT_EQ(v->Data()->GetPath(), c.path) << c.volume;
    EXPECT_EQ(v->Data()->GetDisplayPath(), c.display) << c.volume;
  }
  auto v = AddVolume("CD 1", "", "/media/cd/");
  auto music = AddFolder(AddFolder(v, "Music"), "Rock");
  EXPECT_EQ(music->Data()->GetPath(), "CD 1\\Music\\Rock\\");
  EXPECT_EQ(music->Data()->GetSourcePath(), "/media/cd/Music/Rock/");
  EXPECT_EQ(music->Data()->GetDisplayPath(), "[CD 1]\\Music\\Rock\\");
  EXPECT_EQ(music->Data()->GetVolume(), v->Data());
  TLibFolderItem* f = AddFile(music, "a.mp3", 1);
  EXPECT_EQ(f->GetItemPath(), "CD 1\\Music\\Rock\\a.mp3");
  EXPECT_EQ(f->GetItemSourcePath(), "/media/cd/Music/Rock/a.mp3");
  EXPECT_EQ(f->GetVolume(), v->Data());
}

TEST_F(ModelTest, FolderNameFromASourcePath) {
  EXPECT_EQ(TLibFolder("/media/cd/MUSIC/").Name, "MUSIC");
  EXPECT_EQ(TLibFolder("/media/cd/MUSIC").Name, "MUSIC");
  EXPECT_EQ(TLibFolder("/").Name, "");
  EXPECT_EQ(TLibFolderItem::CreateFile("/x/Song.MP3", 5, 1.5)->Name, "Song.MP3");
  auto folder = TLibFolderItem::CreateFolder("/x/old.dir", 2.0);
  EXPECT_TRUE(folder->IsFolder);
  EXPECT_EQ(folder->Size, 0);
}

TEST_F(ModelTest, ExtensionsAndArchives) {
  struct Case {
    std::string name;
    bool isFolder;
    std::string ext;
    bool archive;
  } cases[] = {
      {"Song.MP3", false, "mp3", false}, {"old.dir", true, "", false},  {"backup.Zip", false, "zip", true},
      {"x.RAR", true, "", true},         {"zip", false, "", false},     {"a.tar.gz", false, "gz", false},
  };
  for (const auto& c : cases) {
    TLibFolderItem item;
    item.Name = c.name;
    item.IsFolder = c.isFolder;
    EXPECT_EQ(item.GetExtension(), c.ext) << c.name;
    EXPECT_EQ(item.IsArchive(), c.archive) << c.name;
  }
  auto v = AddVolume("V");
  EXPECT_TRUE(AddFolder(v, "Pack.zip")->Data()->IsArchiveFolder());
  EXPECT_FALSE(AddFolder(v, "zip")->Data()->IsArchiveFolder());
  EXPECT_EQ(Lib().Folders.Top(0)->Item(0)->ImageIndex, fiArchive);
  EXPECT_EQ(Lib().Folders.Top(0)->Item(1)->ImageIndex, fiFolder);
  EXPECT_EQ(v->ImageIndex, fiVolume);
  EXPECT_EQ(v->SelectedIndex, fiVolumeSelected);
}

// Names that differ only in case are two entries; the same name twice is one.
TEST_F(ModelTest, EntryNamesAreUniqueByteForByte) {
  auto v = AddVolume("V");
  TLibFolderItem* first = AddFile(v, "README.txt", 1);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(AddFile(v, "Readme.TXT", 2), nullptr);
  EXPECT_EQ(AddFile(v, "README.txt", 3), nullptr);
  EXPECT_EQ(v->Data()->Items.Count(), 2);
  EXPECT_EQ(v->Data()->KeptSize, 3);  // the refused entry counts nowhere
  EXPECT_EQ(v->Data()->Items.Find("README.txt"), first);
  EXPECT_EQ(v->Data()->Items.Find("Readme.TXT")->Size, 2);
  // No exact match: the first of the names equal without regard to case.
  EXPECT_EQ(v->Data()->Items.Find("readme.txt"), first);
  EXPECT_EQ(v->Data()->Items.Find("other"), nullptr);
}

TEST_F(ModelTest, EntriesSortWithoutRegardToCase) {
  auto v = AddVolume("V");
  for (const char* n : {"b", "Été", "A", "a", "étoile", "C", "_x"}) AddFile(v, n, 1);
  std::vector<std::string> names;
  for (const auto& i : v->Data()->Items) names.push_back(i->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"_x", "A", "a", "b", "C", "étoile", "Été"}));
}

TEST_F(ModelTest, RecountTotalsCountsArchivesAsFolders) {
  auto v = AddVolume("V");
  AddFile(v, "a.txt", 10);
  auto zip = AddFolder(v, "b.zip", 100);
  AddFile(zip, "m1", 3);
  AddFile(zip, "m2", 4);
  Lib().RecountTotals();
  EXPECT_EQ(Lib().VolumeCount, 1);
  EXPECT_EQ(Lib().FolderCount, 1);
  EXPECT_EQ(Lib().FileCount, 3);
  EXPECT_EQ(Lib().TotalSize, 17);
  EXPECT_TRUE(Lib().CountsValid);
}

TEST_F(ModelTest, KeptSizesGrowAndShrink) {
  auto v = AddVolume("V");
  auto a = AddFolder(v, "A");
  auto b = AddFolder(a, "B");
  AddFile(v, "top", 1);
  TLibFolderItem* mid = AddFile(a, "mid", 10);
  AddFile(b, "low", 100);
  EXPECT_EQ(v->Data()->KeptSize, 111);
  EXPECT_EQ(a->Data()->KeptSize, 10);
  EXPECT_EQ(b->Data()->KeptSize, 100);
  EXPECT_EQ(v->Data()->GetSize(), 111);
  EXPECT_EQ(a->Data()->GetSize(), 110);  // its files, and B through B's kept size
  EXPECT_EQ(a->Data()->GetFilesSize(), 10);

  Lib().DeleteItem(mid);
  EXPECT_EQ(a->Data()->KeptSize, 0);
  EXPECT_EQ(v->Data()->KeptSize, 101);
  EXPECT_EQ(a->Data()->Items.Find("mid"), nullptr);

  Lib().DeleteFolderNode(b);
  EXPECT_EQ(v->Data()->KeptSize, 1);
  EXPECT_EQ(a->Count(), 0);
}

TEST_F(ModelTest, TargetFolderOfAnEntry) {
  auto v = AddVolume("V");
  auto sub = AddFolder(v, "Sub");
  TLibFolderItem* entry = v->Data()->Items.Find("Sub");
  EXPECT_EQ(entry->GetTargetFolder(), sub->Data());
  TLibFolderItem* file = AddFile(v, "f", 1);
  EXPECT_EQ(file->GetTargetFolder(), v->Data());
  // A folder entry without a folder record of its own falls back to its folder.
  auto lone = std::make_unique<TLibFolderItem>();
  lone->Name = "Lone";
  lone->IsFolder = true;
  TLibFolderItem* l = Lib().AddItem(v->Data(), std::move(lone));
  EXPECT_EQ(l->GetTargetFolder(), v->Data());
}

TEST_F(ModelTest, PropagateToChildren) {
  auto v = AddVolume("V");
  auto a = AddFolder(v, "A");
  auto lone = std::make_unique<TLibFolderItem>();
  lone->Name = "NoRecord";
  lone->IsFolder = true;
  Lib().AddItem(a->Data(), std::move(lone));
  TLibFolderItem* kept = AddFile(a, "kept", 1);
  kept->Category = "Own";
  TLibFolderItem* blank = AddFile(a, "blank", 1);
  v->Data()->Category = "Music";
  v->Data()->Comments = "note";

  v->Data()->PropagateToChildren(false);
  EXPECT_EQ(a->Data()->Category, "Music");
  EXPECT_EQ(v->Data()->Items.Find("A")->Comments, "note");
  EXPECT_EQ(kept->Category, "Own");
  EXPECT_EQ(blank->Category, "Music");

  v->Data()->PropagateToChildren(true);
  EXPECT_EQ(kept->Category, "Music");
}

TEST_F(ModelTest, FindFolderNodeBySourceOrLibraryPath) {
  auto v = AddVolume("CD", "", "/media/cd/");
  auto a = AddFolder(v, "A");
  auto b = AddFolder(a, "B");
  auto w = AddVolume("W", "", "/mnt/w/");
  AddFolder(w, "A");
  EXPECT_EQ(Lib().FindFolderNode(v, "/media/cd/A/B/"), b);
  EXPECT_EQ(Lib().FindFolderNode(v, "CD\\A\\"), a);
  EXPECT_EQ(Lib().FindFolderNode(v, "/media/cd/"), v);
  EXPECT_EQ(Lib().FindFolderNode(v, "/media/cd/a/"), nullptr);  // paths are case-sensitive
  EXPECT_EQ(Lib().FindFolderNode(v, "W\\A\\"), nullptr);        // only below the start
  EXPECT_EQ(Lib().FindFolderNode(nullptr, "CD\\"), nullptr);
  EXPECT_EQ(Lib().FindNodeByText("A"), a);
  EXPECT_EQ(TLibObj::RootOf(b), v);
}

TEST_F(ModelTest, AbsoluteIndexFollowsPreOrder) {
  auto v = AddVolume("V");
  auto a = AddFolder(v, "A");
  auto c = AddFolder(a, "C");
  auto b = AddFolder(v, "B");
  auto w = AddVolume("W");
  EXPECT_EQ(v->AbsoluteIndex(), 0);
  EXPECT_EQ(a->AbsoluteIndex(), 1);
  EXPECT_EQ(c->AbsoluteIndex(), 2);
  EXPECT_EQ(b->AbsoluteIndex(), 3);
  EXPECT_EQ(w->AbsoluteIndex(), 4);
  AddFolder(a, "D");  // inserted in the middle of the pre-order
  EXPECT_EQ(b->AbsoluteIndex(), 4);
  Lib().DeleteFolderNode(a);
  EXPECT_EQ(b->AbsoluteIndex(), 1);
  EXPECT_EQ(Lib().Folders.Count(), 3u);
  EXPECT_EQ(v->Item(0), b);
  EXPECT_EQ(b->GetNextSibling(), nullptr);
}

TEST_F(ModelTest, LinkToPicksKindAndPictures) {
  auto v = AddVolume("V");
  auto folder = AddFolder(v, "F");
  auto zip = AddFolder(v, "a.zip");
  TLibFolderItem* file = AddFile(folder, "x.txt", 1);
  struct Case {
    TLibFolder* folder;
    TLibFolderItem* item;
    int32_t kind;
    int image, selected;
    std::string caption, path;
  } cases[] = {
      {v->Data(), nullptr, ckVolume, 1, 2, "V", "V\\"},
      {folder->Data(), nullptr, ckFolder, 3, 4, "F", "V\\F\\"},
      {zip->Data(), nullptr, ckArchive, 6, 6, "a.zip", "V\\a.zip\\"},
      {folder->Data(), file, ckFile, 5, 5, "x.txt", "V\\F\\x.txt"},
      // A folder entry dropped from the file list links its folder record.
      {v->Data(), v->Data()->Items.Find("F"), ckFolder, 3, 4, "F", "V\\F\\"},
  };
  for (const auto& c : cases) {
    auto item = std::make_unique<TLibColItem>("");
    TLibColItem* raw = item.get();
    TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(item));
    raw->LinkTo(c.folder, c.item, node);
    EXPECT_EQ(raw->Kind, c.kind) << c.caption;
    EXPECT_EQ(node->ImageIndex, c.image) << c.caption;
    EXPECT_EQ(node->SelectedIndex, c.selected) << c.caption;
    EXPECT_EQ(raw->Caption, c.caption);
    EXPECT_EQ(raw->Path, c.path);
    if (c.kind == ckFile)
      EXPECT_EQ(file->ColNode, node);
    else
      EXPECT_EQ(raw->Folder->ColNode, node);
  }
  auto memo = std::make_unique<TLibColItem>("m");
  TLibColItem* m = memo.get();
  TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(memo));
  m->AttachNode(node);
  EXPECT_EQ(m->ImageIndex, 0);
  EXPECT_EQ(node->ImageIndex, 0);
}

TEST_F(ModelTest, FreeingARecordTakesItsCollectionNodes) {
  auto v = AddVolume("V");
  auto f = AddFolder(v, "F");
  TLibFolderItem* file = AddFile(f, "x.txt", 1);
  auto link = [&](TLibFolder* folder, TLibFolderItem* item) {
    auto c = std::make_unique<TLibColItem>("");
    TLibColItem* raw = c.get();
    TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(c));
    raw->LinkTo(folder, item, node);
    return node;
  };
  link(f->Data(), nullptr);
  link(f->Data(), file);
  TColNode* keep = link(v->Data(), nullptr);
  ASSERT_EQ(Lib().Collections.Count(), 3u);

  Lib().DeleteFolderNode(f);
  ASSERT_EQ(Lib().Collections.Count(), 1u);
  EXPECT_EQ(Lib().Collections.Top(0), keep);

  // Freeing the collection entry leaves the volume without a link.
  Lib().DeleteCollectionNode(keep);
  EXPECT_EQ(v->Data()->ColNode, nullptr);
  EXPECT_EQ(Lib().Collections.Count(), 0u);
}

TEST_F(ModelTest, SecondLinkToTheSameFolderLosesItOnFree) {
  auto v = AddVolume("V");
  auto f = AddFolder(v, "F");
  std::vector<TLibColItem*> items;
  for (int i = 0; i < 2; ++i) {
    auto c = std::make_unique<TLibColItem>("");
    items.push_back(c.get());
    TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(c));
    items.back()->LinkTo(f->Data(), nullptr, node);
  }
  Lib().DeleteFolderNode(f);
  // The back-linked node went; the other one stays with its path only.
  ASSERT_EQ(Lib().Collections.Count(), 1u);
  EXPECT_EQ(Lib().Collections.Top(0)->Data()->Folder, nullptr);
  EXPECT_EQ(Lib().Collections.Top(0)->Data()->Path, "V\\F\\");
}

TEST_F(ModelTest, DeepTreesNeedNoRecursion) {
  auto node = AddVolume("V");
  for (int i = 0; i < 100000; ++i) {
    auto f = std::make_unique<TLibFolder>();
    f->Name = "d";
    f->IsFolder = 1;
    node = Lib().AddFolderRecord(node, std::move(f));
  }
  EXPECT_EQ(node->Level(), 100000);
  EXPECT_EQ(node->AbsoluteIndex(), 100000);
  Lib().Clear();
  EXPECT_EQ(Lib().Folders.Count(), 0u);
}

TEST_F(ModelTest, ResetLibrary) {
  AddVolume("V");
  g->ResetLibrary(true);
  EXPECT_TRUE(Lib().Modified);
  EXPECT_EQ(Lib().Folders.Count(), 0u);
  EXPECT_EQ(Lib().Version, "Tarnwex 2.3");
  g->ResetLibrary(false);
  EXPECT_FALSE(Lib().Modified);
}

}  // namespace
}  // namespace tw::test
