// The library file format, checked against files built byte by byte.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/LibFile.h"
#include "tests/ByteWriter.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

class LibFileTest : public TLibraryTest {
 protected:
  // Loads bytes as a library file; returns the error text, empty on success.
  std::string LoadBytes(const TByteWriter& w, bool merge = false) {
    std::string file = Path("in.twl");
    w.Save(file);
    try {
      LoadLibraryNow(*g, file, merge);
    } catch (const std::exception& e) {
      return e.what();
    }
    return {};
  }
  std::string SaveBytes() {
    std::string file = Path("out.twl");
    SaveLibraryCommand(*g, file);
    return ReadFile(file);
  }
  static std::string Bytes(const TByteWriter& w) { return std::string(w.bytes.begin(), w.bytes.end()); }
};

TEST_F(LibFileTest, EmptyLibraryIsThirtyFiveBytes) {
  std::string bytes = SaveBytes();
  const char expected[] = "\x0b\0\0\0Tarnwex 2.3\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0";
  ASSERT_EQ(bytes.size(), 35u);
  EXPECT_EQ(bytes, std::string(expected, 35));
}

TEST_F(LibFileTest, WritesEveryFieldInOrder) {
  auto vol = AddVolume("CD 1", "1234ABCD", "/media/cd/");
  vol->Data()->Date = 40000.5;
  vol->Data()->Category = "Music";
  vol->Data()->Comments = "two\r\nlines";
  vol->Data()->Location = "Shelf";
  auto sub = AddFolder(vol, "Rock");
  TLibFolderItem* song = AddFile(sub, "a.mp3", 5000000000LL, 39000.25);
  song->Category = "c";
  song->Comments = "m";
  song->TagInfo.Tags = {"Artist=X", "Title=Y"};
  Lib().Comments = "lib";
  Lib().Category = "cat";
  Lib().Categories.Add("Zeta");
  Lib().Categories.Add("alpha");
  auto memo = std::make_unique<TLibColItem>("Note");
  memo->Memo = "text";
  memo->Url = "http://x";
  memo->ImageIndex = 3;
  TColNode* memoNode = Lib().AddCollectionRecord(nullptr, std::move(memo));
  auto link = std::make_unique<TLibColItem>("");
  TLibColItem* linkItem = link.get();
  TColNode* linkNode = Lib().AddCollectionRecord(memoNode, std::move(link));
  linkItem->LinkTo(sub->Data(), song, linkNode);

  TByteWriter w;
  w.Header("Tarnwex 2.3", "lib", 2, 2, "cat", 2)
      .Folder("CD 1", 40000.5, "Music", "two\r\nlines", "Shelf", 0, 0, 1, 0, "1234ABCD", "/media/cd/")
      .Entry23("Rock", 0, 0, "", "", true, "")
      .Folder("Rock", 1, 1, 1, 1)
      .Entry23("a.mp3", 39000.25, 5000000000LL, "c", "m", false, "Artist=X\r\nTitle=Y\r\n")
      .Col("Note", -1, 0, "text", "http://x", -1, "", 3)
      .Col("a.mp3", 2, 1, "", "", 1, "CD 1\\Rock\\a.mp3", -1)
      .Str("alpha")
      .Str("Zeta");
  EXPECT_EQ(SaveBytes(), Bytes(w));
}

TEST_F(LibFileTest, RebuildsTreesFromLevels) {
  // Volume V with folders A and B, A holding C; then a second volume W.
  TByteWriter w;
  w.Header("Tarnwex 2.3", "", 5, 4, "", 0)
      .Folder("V", 0, 0, 2, 0)
      .Entry23("A", 0, 0, "", "", true, "")
      .Entry23("B", 0, 0, "", "", true, "")
      .Folder("A", 1, 1, 1, 1)
      .Entry23("C", 0, 0, "", "", true, "")
      .Folder("C", 2, 1, 0, 2)
      .Folder("B", 1, 1, 0, 3)
      .Folder("W", 0, 0, 0, 4)
      .Col("r", -1, 0, "", "", -1, "", 0)
      .Col("r1", -1, 1, "", "", -1, "", 0)
      .Col("r11", -1, 2, "", "", -1, "", 0)
      .Col("s", -1, 0, "", "", -1, "", 0);
  g->SortVolumes = false;
  ASSERT_EQ(LoadBytes(w), "");
  auto& f = Lib().Folders;
  ASSERT_EQ(f.TopCount(), 2);
  TFolderNode* v = f.Top(0);
  ASSERT_EQ(v->Count(), 2);
  EXPECT_EQ(v->Item(0)->Text, "A");
  EXPECT_EQ(v->Item(1)->Text, "B");
  ASSERT_EQ(v->Item(0)->Count(), 1);
  EXPECT_EQ(v->Item(0)->Item(0)->Data()->GetPath(), "V\\A\\C\\");
  EXPECT_EQ(v->Item(1)->Data()->Parent, v->Data());
  EXPECT_EQ(f.Top(1)->Text, "W");
  auto& c = Lib().Collections;
  ASSERT_EQ(c.TopCount(), 2);
  EXPECT_EQ(c.Top(0)->Item(0)->Item(0)->Text, "r11");
  EXPECT_EQ(c.Top(1)->Text, "s");
  EXPECT_FALSE(Lib().Modified);
  // Written back, the same bytes.
  EXPECT_EQ(SaveBytes(), Bytes(w));
}

TEST_F(LibFileTest, ReadsVersion22AndConvertsOnSave) {
  TByteWriter w;
  w.Header("Tarnwex 2.2", "old", 1, 0, "", 0)
      .Folder("V", 0, 0, 2, 0)
      .Entry22("a.txt", 36526.5, 10, "k", "", false)
      .Entry22("b.txt", 0, 20, "", "", false);
  ASSERT_EQ(LoadBytes(w), "");
  TLibFolder* v = Lib().Folders.Top(0)->Data();
  ASSERT_EQ(v->Items.Count(), 2);
  EXPECT_TRUE(v->Items[0]->TagInfo.Tags.empty());
  EXPECT_EQ(v->Items[0]->Date, 36526.5);
  EXPECT_EQ(v->Items[1]->Size, 20);
  EXPECT_TRUE(Lib().Modified);

  TByteWriter expected;
  expected.Header("Tarnwex 2.3", "old", 1, 0, "", 0)
      .Folder("V", 0, 0, 2, 0)
      .Entry23("a.txt", 36526.5, 10, "k", "", false, "")
      .Entry23("b.txt", 0, 20, "", "", false, "");
  EXPECT_EQ(SaveBytes(), Bytes(expected));
}

TEST_F(LibFileTest, TagTextSplitsAtEveryLineBreak) {
  struct Case {
    std::string stored;
    std::vector<std::string> lines;
  } cases[] = {
      {"Artist=X\r\nTitle=Y\r\n", {"Artist=X", "Title=Y"}},
      {"Artist=X\rTitle=Y", {"Artist=X", "Title=Y"}},
      {"Artist=X\nTitle=Y\n", {"Artist=X", "Title=Y"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    TByteWriter w;
    w.Header("Tarnwex 2.3", "", 1, 0, "", 0).Folder("V", 0, 0, 1, 0).Entry23("f", 0, 1, "", "", false, c.stored);
    ASSERT_EQ(LoadBytes(w), "");
    EXPECT_EQ(Lib().Folders.Top(0)->Data()->Items[0]->TagInfo.Tags, c.lines) << c.stored;
  }
}

TEST_F(LibFileTest, LongestValueRoundTripsAndLongerIsRefused) {
  auto vol = AddVolume("V");
  vol->Data()->Comments = std::string(65535, 'x');
  std::string file = Path("lib.twl");
  SaveLibraryCommand(*g, file);
  OpenLibraryCommand(*g, file, false, false);
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Comments, std::string(65535, 'x'));

  // One byte more: the save refuses, names the record and keeps the old file.
  std::string before = ReadFile(file);
  TLibFolderItem* item = AddFile(Lib().Folders.Top(0), "big.txt", 1);
  item->Comments = std::string(65536, 'y');
  Lib().Modified = true;
  try {
    SaveLibraryCommand(*g, file);
    FAIL() << "saved a value longer than 65535 bytes";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("V\\big.txt"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("65536"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_TRUE(Lib().Modified);
}

TEST_F(LibFileTest, ValueEndsAtItsFirstNul) {
  auto vol = AddVolume("V");
  vol->Data()->Comments = std::string("ab\0cd", 5);
  std::string bytes = SaveBytes();
  // Length 5 is stored, the bytes after the NUL as zeros.
  TByteWriter w;
  w.Str("V").Date(0).Str("").Int32(5);
  std::string prefix = Bytes(TByteWriter().Header("Tarnwex 2.3", "", 1, 0, "", 0)) + Bytes(w);
  ASSERT_EQ(bytes.substr(0, prefix.size()), prefix);
  EXPECT_EQ(bytes.substr(prefix.size(), 5), std::string("ab\0\0\0", 5));
  OpenLibraryCommand(*g, Path("out.twl"), false, false);
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Comments, "ab");
}

// A damaged file is refused with the offset of the damage; what was read
// before it stays in the library.
TEST_F(LibFileTest, DamagedFilesNameTheOffset) {
  auto head = [](int32_t folders) { return TByteWriter().Header("Tarnwex 2.3", "", folders, 0, "", 0); };
  const int64_t afterHeader = 35;
  struct Case {
    const char* what;
    TByteWriter file;
    int64_t offset;
    int volumesKept;
  } cases[] = {
      {"negative text length", head(1).Int32(-1), afterHeader, 0},
      {"text length over 65536", head(1).Int32(65537).Str(std::string(100, 'x')), afterHeader, 0},
      {"text past the end", head(2).Folder("V", 0, 0, 0, 0).Int32(1000).Str(std::string(60, 'x')), afterHeader + 49,
       1},
      {"first record a folder", head(1).Folder("F", 0, 1, 0, 0), afterHeader, 0},
      {"level jump", head(2).Folder("V", 0, 0, 0, 0).Folder("F", 2, 1, 0, 1), afterHeader + 49, 1},
      {"negative level", head(3).Folder("V", 0, 0, 0, 0).Folder("F", 1, 1, 0, 1).Folder("G", -1, 1, 0, 2),
       afterHeader + 98, 1},
      {"unknown record kind", head(1).Folder("V", 0, 7, 0, 0), afterHeader, 0},
      {"more folders than bytes", head(1000000).Folder("V", 0, 0, 0, 0), afterHeader + 49, 1},
      {"more entries than bytes", head(1).Folder("V", 0, 0, 2000000000, 0).Entry23("a", 0, 1, "", "", false, ""),
       afterHeader + 49 + 34, 1},
      {"negative entry count", head(1).Folder("V", 0, 0, -5, 0), afterHeader, 1},
      {"cut inside a record", head(1).Folder("V", 0, 0, 1, 0).Str(std::string(30, 'n')), afterHeader + 49 + 34, 1},
  };
  for (auto& c : cases) {
    g->SortVolumes = false;
    std::string error = LoadBytes(c.file);
    EXPECT_NE(error.find("at byte " + std::to_string(c.offset)), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(Lib().Folders.TopCount(), c.volumesKept) << c.what;
  }
}

TEST_F(LibFileTest, HugeSizesSaturateInsteadOfOverflowing) {
  const int64_t huge = INT64_MAX - 10;
  TByteWriter w;
  w.Header("Tarnwex 2.3", "", 2, 0, "", 0)
      .Folder("V", 0, 0, 2, 0)
      .Entry23("a", 0, huge, "", "", false, "")
      .Entry23("b", 0, huge, "", "", false, "")
      .Folder("W", 0, 0, 1, 1)
      .Entry23("c", 0, -5, "", "", false, "");
  ASSERT_EQ(LoadBytes(w), "");
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->KeptSize, INT64_MAX);
  Lib().RecountTotals();
  EXPECT_EQ(Lib().TotalSize, INT64_MAX - 5);
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->GetFilesSize(), INT64_MAX);
}

TEST_F(LibFileTest, TruncatedFileKeepsWhatWasRead) {
  auto vol = AddVolume("V");
  char name[8];
  for (int i = 0; i < 100; ++i) {
    std::snprintf(name, sizeof name, "f%03d", i);
    AddFile(vol, name, i);
  }
  AddVolume("W");
  std::string bytes = SaveBytes();
  TByteWriter cut;  // 50 whole entries of 37 bytes and part of the next
  cut.bytes.assign(bytes.begin(), bytes.begin() + 35 + 49 + 50 * 37 + 10);
  std::string error = LoadBytes(cut);
  EXPECT_NE(error.find("Damaged library file"), std::string::npos) << error;
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Items.Count(), 50);
}

}  // namespace
}  // namespace tw::test
