// Views follow the library through its listener: a mirror of the trees and
// entry lists, built from the library before an operation and changed only
// by what the listener is told, must equal the library after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/LibraryListener.h"
#include "core/VolumeScan.h"
#include "exchange/Import.h"
#include "exchange/Search.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

struct TItemValues {
  std::string Name, Category, Comments;
  int64_t Size = 0;
  TDateTime Date = 0;
  bool IsFolder = false;
  std::vector<std::string> Tags;
  bool operator==(const TItemValues&) const = default;
};

struct TFolderValues {
  std::string Name, Serial, Category, Comments, Location, SourcePath;
  TDateTime Date = 0;
  bool operator==(const TFolderValues&) const = default;
};

TItemValues ValuesOf(const TLibFolderItem& i) {
  return {i.Name, i.Category, i.Comments, i.Size, i.Date, i.IsFolder, i.TagInfo.Tags};
}
TFolderValues ValuesOf(const TLibFolder& f) {
  return {f.Name, f.Serial, f.Category, f.Comments, f.Location, f.SourcePath, f.Date};
}

// The library as a view knows it. Reads the library only where the listener
// allows: rows that were just inserted, values that were just changed.
class TMirror : public TLibraryListener {
 public:
  explicit TMirror(TLibObj& lib) : lib_(lib) { Capture(); }

  void OnBusy(bool busy) override {
    busyCalls.push_back(busy);
    busy_ = busy;
  }
  void OnResetting() override { ++resets; }
  void OnReset() override { Capture(); }

  void OnInserting(const TLibraryChange& c) override {
    // The rows are still where the view has them; a load's block comes
    // after the fact.
    if (strictBefore) {
      EXPECT_EQ(Rows(c), LiveRows(c));
    }
  }
  void OnInserted(const TLibraryChange& c) override {
    ++inserts;
    auto live = LiveRows(c);
    ASSERT_LE(c.First + c.Count, static_cast<int>(live.size()));
    switch (c.Kind) {
      case TLibraryChange::TKind::Folders: {
        auto& rows = children_[c.Folder];
        ASSERT_LE(c.First, static_cast<int>(rows.size()));
        for (int i = 0; i < c.Count; ++i) {
          auto* node = static_cast<TFolderNode*>(live[c.First + i]);
          rows.insert(rows.begin() + c.First + i, node);
          CaptureSubtree(node);
        }
        break;
      }
      case TLibraryChange::TKind::Items: {
        auto& rows = items_[c.Folder];
        ASSERT_LE(c.First, static_cast<int>(rows.size()));
        for (int i = 0; i < c.Count; ++i) {
          auto* item = static_cast<TLibFolderItem*>(live[c.First + i]);
          rows.insert(rows.begin() + c.First + i, item);
          itemValues_[item] = ValuesOf(*item);
        }
        break;
      }
      case TLibraryChange::TKind::Collections: {
        auto& rows = collections_[c.Collection];
        ASSERT_LE(c.First, static_cast<int>(rows.size()));
        for (int i = 0; i < c.Count; ++i) {
          auto* node = static_cast<TColNode*>(live[c.First + i]);
          rows.insert(rows.begin() + c.First + i, node);
          CaptureCollections(node);
        }
        break;
      }
    }
  }
  void OnRemoving(const TLibraryChange& c) override {
    // What goes is what the view shows at those rows.
    auto mirror = Rows(c);
    auto live = LiveRows(c);
    ASSERT_EQ(mirror.size(), live.size());
    for (int i = c.First; i < c.First + c.Count; ++i) EXPECT_EQ(mirror[i], live[i]) << "row " << i;
  }
  void OnRemoved(const TLibraryChange& c) override {
    ++removals;
    auto erase = [&](auto& rows) {
      ASSERT_LE(c.First + c.Count, static_cast<int>(rows.size()));
      rows.erase(rows.begin() + c.First, rows.begin() + c.First + c.Count);
    };
    if (c.Kind == TLibraryChange::TKind::Folders) erase(children_[c.Folder]);
    if (c.Kind == TLibraryChange::TKind::Items) erase(items_[c.Folder]);
    if (c.Kind == TLibraryChange::TKind::Collections) erase(collections_[c.Collection]);
  }
  void OnReordered(const TLibraryChange& c) override {
    ASSERT_NE(c.Kind, TLibraryChange::TKind::Items);
    auto reorder = [&](auto& rows) {
      using TNode = std::remove_pointer_t<typename std::remove_reference_t<decltype(rows)>::value_type>;
      auto live = LiveRows(c);
      std::vector<void*> sortedMirror(rows.begin(), rows.end()), sortedLive = live;
      std::sort(sortedMirror.begin(), sortedMirror.end());
      std::sort(sortedLive.begin(), sortedLive.end());
      ASSERT_EQ(sortedMirror, sortedLive) << "a reorder only moves rows";
      rows.clear();
      for (void* p : live) rows.push_back(static_cast<TNode*>(p));
    };
    if (c.Kind == TLibraryChange::TKind::Folders) reorder(children_[c.Folder]);
    else reorder(collections_[c.Collection]);
  }
  void OnChanged(const TLibraryChange& c) override {
    ++changes;
    auto live = LiveRows(c);
    ASSERT_LE(c.First + c.Count, static_cast<int>(live.size()));
    for (int i = c.First; i < c.First + c.Count; ++i) {
      if (c.Kind == TLibraryChange::TKind::Items) {
        auto* item = static_cast<TLibFolderItem*>(live[i]);
        itemValues_[item] = ValuesOf(*item);
      } else if (c.Kind == TLibraryChange::TKind::Folders) {
        auto* node = static_cast<TFolderNode*>(live[i]);
        folderValues_[node] = ValuesOf(*node->Data());
      }
    }
  }

  // Compares the mirror with the library; every difference is a failure.
  void ExpectSameAsLibrary() {
    std::vector<TFolderNode*> pending;
    auto compareChildren = [&](TFolderNode* parent) {
      std::vector<TFolderNode*> live;
      const int count = parent ? parent->Count() : lib_.Folders.TopCount();
      for (int i = 0; i < count; ++i) live.push_back(parent ? parent->Item(i) : lib_.Folders.Top(i));
      EXPECT_EQ(children_[parent], live) << "children of " << (parent ? parent->Data()->GetPath() : "the library");
      for (TFolderNode* n : live) pending.push_back(n);
    };
    compareChildren(nullptr);
    while (!pending.empty()) {
      TFolderNode* n = pending.back();
      pending.pop_back();
      const std::string path = n->Data()->GetPath();
      const TFolderValues& known = folderValues_[n];
      const TFolderValues now = ValuesOf(*n->Data());
      EXPECT_TRUE(known == now) << "values of " << path << ": " << known.SourcePath << " " << known.Serial << " "
                                << known.Date << " / " << now.SourcePath << " " << now.Serial << " " << now.Date;
      std::vector<TLibFolderItem*> live;
      for (const auto& item : n->Data()->Items) live.push_back(item.get());
      EXPECT_EQ(items_[n], live) << "entries of " << path;
      for (TLibFolderItem* item : live)
        EXPECT_TRUE(itemValues_[item] == ValuesOf(*item)) << "values of " << item->GetItemPath();
      compareChildren(n);
    }
    std::vector<TColNode*> pendingCol;
    auto compareCollections = [&](TColNode* parent) {
      std::vector<TColNode*> live;
      const int count = parent ? parent->Count() : lib_.Collections.TopCount();
      for (int i = 0; i < count; ++i) live.push_back(parent ? parent->Item(i) : lib_.Collections.Top(i));
      EXPECT_EQ(collections_[parent], live);
      for (TColNode* n : live) pendingCol.push_back(n);
    };
    compareCollections(nullptr);
    while (!pendingCol.empty()) {
      TColNode* n = pendingCol.back();
      pendingCol.pop_back();
      compareCollections(n);
    }
  }

  std::vector<bool> busyCalls;
  int inserts = 0, removals = 0, changes = 0, resets = 0;
  bool strictBefore = true;

 private:
  void Capture() {
    children_.clear();
    items_.clear();
    collections_.clear();
    for (int i = 0; i < lib_.Folders.TopCount(); ++i) {
      children_[nullptr].push_back(lib_.Folders.Top(i));
      CaptureSubtree(lib_.Folders.Top(i));
    }
    for (int i = 0; i < lib_.Collections.TopCount(); ++i) {
      collections_[nullptr].push_back(lib_.Collections.Top(i));
      CaptureCollections(lib_.Collections.Top(i));
    }
  }
  void CaptureSubtree(TFolderNode* top) {
    TFolderNode* end = top->GetNextSkippingChildren();
    for (TFolderNode* n = top; n != end; n = n->GetNext()) {
      folderValues_[n] = ValuesOf(*n->Data());
      auto& rows = children_[n];
      rows.clear();
      for (int i = 0; i < n->Count(); ++i) rows.push_back(n->Item(i));
      auto& entries = items_[n];
      entries.clear();
      for (const auto& item : n->Data()->Items) {
        entries.push_back(item.get());
        itemValues_[item.get()] = ValuesOf(*item);
      }
    }
  }
  void CaptureCollections(TColNode* top) {
    TColNode* end = top->GetNextSkippingChildren();
    for (TColNode* n = top; n != end; n = n->GetNext()) {
      auto& rows = collections_[n];
      rows.clear();
      for (int i = 0; i < n->Count(); ++i) rows.push_back(n->Item(i));
    }
  }
  std::vector<void*> Rows(const TLibraryChange& c) {
    std::vector<void*> rows;
    if (c.Kind == TLibraryChange::TKind::Folders)
      for (auto* n : children_[c.Folder]) rows.push_back(n);
    if (c.Kind == TLibraryChange::TKind::Items)
      for (auto* i : items_[c.Folder]) rows.push_back(i);
    if (c.Kind == TLibraryChange::TKind::Collections)
      for (auto* n : collections_[c.Collection]) rows.push_back(n);
    return rows;
  }
  std::vector<void*> LiveRows(const TLibraryChange& c) const {
    std::vector<void*> rows;
    if (c.Kind == TLibraryChange::TKind::Folders) {
      const int count = c.Folder ? c.Folder->Count() : lib_.Folders.TopCount();
      for (int i = 0; i < count; ++i) rows.push_back(c.Folder ? c.Folder->Item(i) : lib_.Folders.Top(i));
    } else if (c.Kind == TLibraryChange::TKind::Items) {
      for (const auto& item : c.Folder->Data()->Items) rows.push_back(item.get());
    } else {
      const int count = c.Collection ? c.Collection->Count() : lib_.Collections.TopCount();
      for (int i = 0; i < count; ++i) rows.push_back(c.Collection ? c.Collection->Item(i) : lib_.Collections.Top(i));
    }
    return rows;
  }

  TLibObj& lib_;
  bool busy_ = false;
  std::map<TFolderNode*, std::vector<TFolderNode*>> children_;
  std::map<TFolderNode*, std::vector<TLibFolderItem*>> items_;
  std::map<TColNode*, std::vector<TColNode*>> collections_;
  std::map<TFolderNode*, TFolderValues> folderValues_;
  std::map<TLibFolderItem*, TItemValues> itemValues_;
};

class ListenerTest : public TLibraryTest {
 protected:
  void SetUp() override {
    TLibraryTest::SetUp();
    g->Handlers.LoadDefaultHandlers(g->Registry());
    root = Path("medium/");
    MakeFile(root + "keep.txt", 3);
    MakeFile(root + "gone.txt", 5);
    MakeFile(root + "sub/inner.txt", 7);
    MakeFile(root + "sub/deeper/leaf.txt", 11);
    MakeFile(root + "old/a.txt", 1);
    volume = AddVolumeCommand(*g, {.Folder = root, .Title = "V"});
    // Another volume and a collection item that links into the first.
    TFolderNode* other = AddVolume("Other");
    AddFile(AddFolder(other, "docs"), "readme.txt", 40);
    auto link = std::make_unique<TLibColItem>("keep");
    TLibColItem* raw = link.get();
    TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(link));
    raw->LinkTo(volume->Data(), volume->Data()->Items.FindExact("keep.txt"), node);
  }

  // Runs `operation` with a mirror listening and compares it afterwards.
  template <class F>
  void Followed(F operation, bool strictBefore = true) {
    mirror = std::make_unique<TMirror>(Lib());
    mirror->strictBefore = strictBefore;
    Lib().SetListener(mirror.get());
    operation();
    Lib().SetListener(nullptr);
    mirror->ExpectSameAsLibrary();
  }

  std::string root;
  TFolderNode* volume = nullptr;
  std::unique_ptr<TMirror> mirror;
};

TEST_F(ListenerTest, AddSplicesTheNewVolumeInOneInsert) {
  MakeFile(Path("disc2/x/y.txt"), 2);
  Followed([&] { AddVolumeCommand(*g, {.Folder = Path("disc2"), .Title = "A new one"}); });
  EXPECT_EQ(mirror->inserts, 1);
  EXPECT_EQ(Lib().Folders.TopCount(), 3);
  // Nothing changed in place: no busy period.
  EXPECT_TRUE(mirror->busyCalls.empty());
}

TEST_F(ListenerTest, UpdateWithDeleteMissingReportsEveryChange) {
  fs::remove(root + "gone.txt");
  fs::remove_all(root + "old");
  MakeFile(root + "keep.txt", 30, 1100000000);
  MakeFile(root + "new.txt", 4);
  MakeFile(root + "sub/deeper/more/m.txt", 6);
  MakeFile(root + "fresh/f.txt", 8);
  Followed([&] {
    UpdateVolumeCommand(*g, volume, {.Folder = root, .DeleteMissing = true, .Category = "C", .ApplyToFiles = true});
  });
  EXPECT_GT(mirror->inserts, 0);
  EXPECT_GT(mirror->removals, 0);
  EXPECT_GT(mirror->changes, 0);
  EXPECT_EQ(mirror->busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(volume->Data()->Items.FindExact("keep.txt")->Size, 30);
}

TEST_F(ListenerTest, HandingDownCategoryReportsTheChangedRows) {
  Followed([&] {
    UpdateVolumeCommand(*g, volume, {.Category = "Backup", .Comments = "c", .ApplyToFolders = true, .ApplyToFiles = true});
  });
  EXPECT_GT(mirror->changes, 0);
}

TEST_F(ListenerTest, ImportReportsItsVolumesFoldersAndEntries) {
  const std::string text = Path("in.txt");
  std::ofstream(text) << "V,\\sub\\,added.txt,5,,Cat\nNew,\\a\\b\\,c.txt,6,,Other\nNew,,d.txt,7\n";
  TImportOptions o;
  o.FileName = text;
  o.Fields = {{"Volume", true}, {"Path", true}, {"Name", true}, {"Size", true}, {"Date", true}, {"Category", true}};
  Followed([&] { RunTextImport(*g, o); });
  EXPECT_GT(mirror->inserts, 0);
  EXPECT_EQ(mirror->busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(ListenerTest, MergeReportsTheAppendedVolumesAndCollectionsAsBlocks) {
  const std::string other = Path("other.twl");
  {
    TTestHost h;
    TGlobalData o(h, dir + "/");
    TLibObj& lib = *o.CurrentLibrary;
    auto v = std::make_unique<TLibFolder>();
    v->Name = "Merged";
    TFolderNode* node = lib.AddFolderRecord(nullptr, std::move(v));
    auto item = std::make_unique<TLibFolderItem>();
    item->Name = "m.txt";
    lib.AddItem(node->Data(), std::move(item));
    lib.AddCollectionRecord(nullptr, std::make_unique<TLibColItem>("memo"));
    SaveLibraryCommand(o, other);
  }
  Followed([&] { OpenLibraryCommand(*g, other, true, false); }, false);
  EXPECT_EQ(mirror->inserts, 2);
  EXPECT_EQ(mirror->busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(ListenerTest, ReplacingLoadResetsAndSearchReplaceChangesRows) {
  const std::string file = Path("lib.twl");
  SaveLibraryCommand(*g, file);
  Followed([&] { OpenLibraryCommand(*g, file, false, false); });
  EXPECT_EQ(mirror->resets, 1);

  Followed([&] {
    TSearch(*g, Lib()).Run({.Name = "txt", .ReplaceComments = true, .NewComments = "found"});
  });
  EXPECT_GT(mirror->changes, 0);
  EXPECT_EQ(mirror->busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(ListenerTest, DeletingReportsRemovalsAndCountsAGeneration) {
  TSearchResult found = TSearch(*g, Lib()).Run({.Name = "inner"});
  ASSERT_EQ(found.Rows.size(), 1u);
  EXPECT_TRUE(found.IsCurrent(Lib()));
  Followed([&] {
    Lib().DeleteFolderNode(Lib().FindFolderNode(volume, "V\\sub\\"));
    Lib().DeleteItem(volume->Data()->Items.FindExact("sub"));
    Lib().DeleteItem(volume->Data()->Items.FindExact("gone.txt"));
  });
  EXPECT_EQ(mirror->removals, 3);
  // The rows found before point at freed entries now: the result says so.
  EXPECT_FALSE(found.IsCurrent(Lib()));
}

// A deleted entry leaves no collection item pointing at it: the one it
// links back to goes, any other loses its link.
TEST_F(ListenerTest, DeletingAnEntryUnlinksEveryCollectionItemPointingAtIt) {
  TLibFolderItem* keep = volume->Data()->Items.FindExact("keep.txt");
  auto second = std::make_unique<TLibColItem>("also keep");
  TLibColItem* other = second.get();
  TColNode* node = Lib().AddCollectionRecord(nullptr, std::move(second));
  other->Node = node;
  other->Item = keep;  // points at the entry without being its own link
  other->Folder = volume->Data();
  ASSERT_NE(keep->ColNode, nullptr);
  Followed([&] { Lib().DeleteItem(keep); });
  EXPECT_EQ(Lib().Collections.TopCount(), 1);
  EXPECT_EQ(Lib().Collections.Top(0)->Data(), other);
  EXPECT_EQ(other->Item, nullptr);
  // The library saves and loads back without the entry.
  const std::string file = Path("after.twl");
  SaveLibraryCommand(*g, file);
  OpenLibraryCommand(*g, file, false, false);
  EXPECT_EQ(Lib().Collections.TopCount(), 1);
}

// Collection nodes moved and sorted in place: the views follow the rows,
// the moved subtree keeps its shape and its levels follow the new place.
TEST_F(ListenerTest, CollectionMovesAndSortsReportTheirRows) {
  auto add = [&](TColNode* parent, const std::string& caption) {
    TColNode* node = Lib().AddCollectionRecord(parent, std::make_unique<TLibColItem>(caption));
    node->Data()->AttachNode(node);
    return node;
  };
  TColNode* a = add(nullptr, "c");
  TColNode* a1 = add(a, "b");
  TColNode* a1x = add(a1, "x");
  TColNode* b = add(nullptr, "a");
  Followed([&] {
    // Into its own subtree: refused.
    EXPECT_FALSE(Lib().MoveCollectionNode(a, a1x));
    EXPECT_FALSE(Lib().MoveCollectionNode(a, a));
    EXPECT_TRUE(Lib().MoveCollectionNode(a1, b));
    EXPECT_TRUE(Lib().MoveCollectionNode(b, nullptr));
    Lib().SortCollectionSiblings(a);
  });
  EXPECT_EQ(mirror->removals, 2);
  EXPECT_EQ(mirror->inserts, 2);
  ASSERT_EQ(Lib().Collections.TopCount(), 3);
  EXPECT_EQ(Lib().Collections.Top(0), b);
  EXPECT_EQ(Lib().Collections.Top(1), a);
  EXPECT_EQ(Lib().Collections.Top(2)->Text, "keep.txt");
  ASSERT_EQ(b->Count(), 1);
  EXPECT_EQ(b->Item(0), a1);
  EXPECT_EQ(a1->Item(0), a1x);
  EXPECT_EQ(a1x->Level(), 2);
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(Lib().Collections.Count(), 5u);
  // Pre-order positions follow the moves.
  EXPECT_EQ(a1x->AbsoluteIndex(), 2);
  // A caption change is reported where the node is now.
  Followed([&] { Lib().ReportCollectionChanged(a1x); });
  EXPECT_EQ(mirror->changes, 1);
}

// A folder entry keeps its record: sizes follow it without a search by
// name, also after the record is deleted and another of the name appears.
TEST_F(ListenerTest, FolderEntriesStandForTheirRecords) {
  TLibFolderItem* sub = volume->Data()->Items.FindExact("sub");
  TFolderNode* subNode = Lib().FindFolderNode(volume, "V\\sub\\");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->Target, subNode->Data());
  EXPECT_EQ(sub->GetTargetFolder(), subNode->Data());
  Lib().DeleteFolderNode(subNode);
  EXPECT_EQ(sub->Target, nullptr);
  EXPECT_EQ(sub->GetTargetFolder(), volume->Data());
  auto again = std::make_unique<TLibFolder>();
  again->Name = "sub";
  again->IsFolder = 1;
  TFolderNode* added = Lib().AddFolderRecord(volume, std::move(again));
  EXPECT_EQ(sub->GetTargetFolder(), added->Data());
  EXPECT_EQ(added->Index(), volume->Count() - 1);
}

}  // namespace
}  // namespace tw::test
