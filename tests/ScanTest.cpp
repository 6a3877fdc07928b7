// Scanning folder trees into volumes: structure, entries, sizes, dates, the
// add parameters, limits, odd files and Stop.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Error.h"
#include "core/VolumeScan.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

const fs::path kArchives = fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "fixtures" / "archives";
const fs::path kZips = kArchives / "zip";

std::string Le(uint32_t v, int n) {
  std::string s(n, '\0');
  for (int i = 0; i < n; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A stored ZIP archive of empty members (a name ending in "/" is a folder
// entry), with its central directory.
std::string StoredZip(const std::vector<std::string>& names) {
  std::string local, central;
  for (const auto& name : names) {
    const std::string fields = Le(20, 2) + Le(0, 2) + Le(0, 2) + Le(0x378C8210, 4) + Le(0, 4) + Le(0, 4) + Le(0, 4) +
                               Le(static_cast<uint32_t>(name.size()), 2) + Le(0, 2);
    central += "PK\x01\x02" + Le(20, 2) + fields + Le(0, 2) + Le(0, 2) + Le(0, 2) + Le(0, 4) +
               Le(static_cast<uint32_t>(local.size()), 4) + name;
    local += "PK\x03\x04" + fields + name;
  }
  const auto count = static_cast<uint32_t>(names.size());
  return local + central + "PK\x05\x06" + Le(0, 4) + Le(count, 2) + Le(count, 2) +
         Le(static_cast<uint32_t>(central.size()), 4) + Le(static_cast<uint32_t>(local.size()), 4) + Le(0, 2);
}

int CountLogPrefix(const TTestHost& host, const std::string& prefix) {
  int n = 0;
  for (const auto& line : host.Log) n += line.rfind(prefix, 0) == 0;
  return n;
}

class ScanTest : public TLibraryTest {
 protected:
  void SetUp() override {
    TLibraryTest::SetUp();
    g->Handlers.LoadDefaultHandlers(g->Registry());
    root = Path("medium/");
    fs::create_directories(root);
  }

  TFolderNode* Add(TAddVolumeRequest r = {}) {
    if (r.Folder.empty()) r.Folder = root;
    return AddVolumeCommand(*g, r);
  }

  TLibFolderItem* Item(const std::string& libraryPath) {
    auto slash = libraryPath.rfind('\\');
    TFolderNode* folder = Lib().FindFolderNode(Lib().Folders.GetFirstNode(), libraryPath.substr(0, slash + 1));
    return folder ? folder->Data()->Items.FindExact(libraryPath.substr(slash + 1)) : nullptr;
  }

  std::string root;
};

TEST_F(ScanTest, TreeBecomesVolumeWithFoldersEntriesAndSizes) {
  MakeFile(root + "a.txt", 3, 1262304000);  // 2010-01-01 00:00:00 UTC
  MakeFile(root + "sub/b.bin", 5);
  MakeFile(root + "sub/inner/c.bin", 7);
  MakeDir(root + "empty");
  MakeFile(root + "deep/x/y/z/d.bin", 11);
  g->CurrentLibrary->FileName = "lib.twl";

  TFolderNode* v = Add({.Title = ""});
  EXPECT_EQ(v->Data()->Name, "medium");
  EXPECT_EQ(v->Data()->SourcePath, root);
  EXPECT_EQ(v->Data()->IsFolder, 0);
  EXPECT_EQ(Dump(v), (std::vector<std::string>{
                         "F medium\\a.txt 3", "D medium\\deep", "D medium\\empty", "D medium\\sub",
                         "D medium\\deep\\x", "D medium\\deep\\x\\y", "D medium\\deep\\x\\y\\z",
                         "F medium\\deep\\x\\y\\z\\d.bin 11", "F medium\\sub\\b.bin 5", "D medium\\sub\\inner",
                         "F medium\\sub\\inner\\c.bin 7"}));
  EXPECT_EQ(FolderRecords(v),
            (std::vector<std::string>{"medium\\", "medium\\deep\\", "medium\\deep\\x\\", "medium\\deep\\x\\y\\",
                                      "medium\\deep\\x\\y\\z\\", "medium\\empty\\", "medium\\sub\\",
                                      "medium\\sub\\inner\\"}));
  EXPECT_EQ(Item("medium\\a.txt")->Date, EncodeDateTime(2010, 1, 1, 0, 0, 0, 0));
  EXPECT_TRUE(Item("medium\\a.txt")->Found);
  // A new folder record has no date of its own: its entry carries it.
  TFolderNode* empty = Lib().FindFolderNode(v, "medium\\empty\\");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Data()->Date, 0);
  EXPECT_EQ(v->Data()->Items.FindExact("empty")->Date, UnixToDateTimeUtc(1000000000, 0));
  EXPECT_EQ(empty->Data()->Parent, v->Data());
  EXPECT_EQ(v->Data()->KeptSize, 3 + 5 + 7 + 11);
  EXPECT_EQ(Lib().FindFolderNode(v, "medium\\sub\\")->Data()->KeptSize, 5);

  EXPECT_TRUE(Lib().Modified);
  EXPECT_EQ(Lib().VolumeCount, 1);
  EXPECT_EQ(Lib().FileCount, 4);
  EXPECT_EQ(Lib().FolderCount, 7);
  EXPECT_EQ(Lib().TotalSize, 26);
  EXPECT_EQ(host.CountLog("Adding " + root), 1);
  EXPECT_EQ(CountLogPrefix(host, "Added lib.twl "), 1) << ::testing::PrintToString(host.Log);
  EXPECT_FALSE(g->AddingVolume);
}

TEST_F(ScanTest, TitleLocationAndDefaults) {
  MakeFile(root + "f.txt", 1);
  MakeFile(root + "sub/g.txt", 2);
  struct {
    const char* Name;
    bool ToFolders, ToFiles;
    const char *FileCategory, *FolderEntryCategory, *FolderCategory;
  } cases[] = {
      {"volume only", false, false, "", "", ""},
      {"files", false, true, "Music", "", ""},
      {"folders", true, false, "", "Music", "Music"},
      {"both", true, true, "Music", "Music", "Music"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFolderNode* v = Add({.Title = c.Name, .Category = "Music", .Comments = "Note", .Location = "Shelf",
                          .ApplyToFolders = c.ToFolders, .ApplyToFiles = c.ToFiles});
    TLibFolder* vol = v->Data();
    EXPECT_EQ(vol->Name, c.Name);
    EXPECT_EQ(vol->Category, "Music");
    EXPECT_EQ(vol->Comments, "Note");
    EXPECT_EQ(vol->Location, "Shelf");
    EXPECT_EQ(vol->Items.FindExact("f.txt")->Category, c.FileCategory);
    EXPECT_EQ(vol->Items.FindExact("sub")->Category, c.FolderEntryCategory);
    TLibFolder* sub = vol->ChildFolder("sub");
    EXPECT_EQ(sub->Category, c.FolderCategory);
    EXPECT_EQ(sub->Items.FindExact("g.txt")->Category, c.FileCategory);
    EXPECT_EQ(sub->Items.FindExact("g.txt")->Comments, std::string(c.FileCategory).empty() ? "" : "Note");
  }
}

TEST_F(ScanTest, LevelsAndFoldersOnly) {
  MakeFile(root + "top.txt", 1);
  MakeFile(root + "a/one.txt", 2);
  MakeFile(root + "a/b/two.txt", 3);
  struct {
    const char* Name;
    int32_t Levels;
    bool FoldersOnly;
    std::vector<std::string> Lines;
    std::vector<std::string> Records;
  } cases[] = {
      {"levels 1", 1, false, {"D L\\a", "F L\\top.txt 1"}, {"L\\"}},
      {"levels 2", 2, false, {"D L\\a", "F L\\top.txt 1", "D L\\a\\b", "F L\\a\\one.txt 2"}, {"L\\", "L\\a\\"}},
      {"no limit",
       0,
       false,
       {"D L\\a", "F L\\top.txt 1", "D L\\a\\b", "F L\\a\\one.txt 2", "F L\\a\\b\\two.txt 3"},
       {"L\\", "L\\a\\", "L\\a\\b\\"}},
      {"folders only", 0, true, {"D L\\a", "D L\\a\\b"}, {"L\\", "L\\a\\", "L\\a\\b\\"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Lib().Clear();
    TFolderNode* v = Add({.Title = "L", .Levels = c.Levels, .FoldersOnly = c.FoldersOnly});
    EXPECT_EQ(Dump(v), c.Lines);
    EXPECT_EQ(FolderRecords(v), c.Records);
  }
}

TEST_F(ScanTest, OddEntriesAreRecordedWithoutFollowingOrBlocking) {
  MakeFile(root + "song.mp3", 4);
  fs::create_directory_symlink("..", root + "loop");  // a link back to its parent
  ASSERT_EQ(::mkfifo((root + "x.mp3").c_str(), 0600), 0);
  MakeFile(root + "Readme.TXT", 1);
  MakeFile(root + "README.txt", 2);
  const std::string latin1 = std::string("caf\xE9.txt");
  MakeFile(root + latin1, 3);
  MakeDir(root + "locked");
  MakeFile(root + "locked/hidden.txt", 5);
  ::chmod((root + "locked").c_str(), 0);

  TFolderNode* v = Add({.Title = "V"});
  ::chmod((root + "locked").c_str(), 0700);
  TLibFolder* vol = v->Data();
  // The link is a file entry with its own size; nothing below it was walked.
  TLibFolderItem* loop = vol->Items.FindExact("loop");
  ASSERT_NE(loop, nullptr);
  EXPECT_FALSE(loop->IsFolder);
  EXPECT_EQ(loop->Size, 2);
  EXPECT_EQ(vol->ChildFolder("loop"), nullptr);
  ASSERT_NE(vol->Items.FindExact("x.mp3"), nullptr);
  EXPECT_EQ(vol->Items.FindExact("x.mp3")->Size, 0);
  EXPECT_TRUE(vol->Items.FindExact("x.mp3")->TagInfo.Tags.empty());
  EXPECT_EQ(vol->Items.FindExact("Readme.TXT")->Size, 1);
  EXPECT_EQ(vol->Items.FindExact("README.txt")->Size, 2);
  EXPECT_EQ(vol->Items.FindExact(latin1)->Size, 3);
  if (::geteuid() != 0) {
    // Its entry stays; nothing below it is known.
    EXPECT_TRUE(vol->Items.FindExact("locked")->IsFolder);
    EXPECT_EQ(vol->ChildFolder("locked"), nullptr);
    EXPECT_EQ(CountLogPrefix(host, "Cannot read " + root + "locked"), 1) << ::testing::PrintToString(host.Log);
  }
  EXPECT_EQ(CountLogPrefix(host, "Added "), 1);
}

TEST_F(ScanTest, FolderDeeperThanAFinderSpecificationIsScannedWhole) {
  std::string deep = root;
  while (deep.size() < 300) deep += "a-rather-long-folder-name/";
  MakeFile(deep + "f.txt", 6);
  TFolderNode* v = Add({.Folder = deep, .Title = "Deep"});
  EXPECT_EQ(v->Data()->SourcePath, deep);
  EXPECT_EQ(Dump(v), (std::vector<std::string>{"F Deep\\f.txt 6"}));
}

TEST_F(ScanTest, MissingParentFoldersAreMadeFromTheTopDown) {
  Lib().NewVolume(root, "V", "");
  Lib().AddFolderPath(root + "a/b/c/", 0);
  EXPECT_EQ(FolderRecords(Lib().CurVolumeNode),
            (std::vector<std::string>{"V\\", "V\\a\\", "V\\a\\b\\", "V\\a\\b\\c\\"}));
  EXPECT_EQ(Lib().CurFolderNode->Data()->GetPath(), "V\\a\\b\\c\\");
  // A folder outside the volume goes to the volume itself.
  Lib().AddFolderPath("/elsewhere/x/", 0);
  EXPECT_EQ(Lib().CurFolderNode->Data()->GetPath(), "V\\x\\");
}

TEST_F(ScanTest, StopKeepsWhatWasRecorded) {
  for (int i = 0; i < 20; ++i) MakeFile(root + "f" + std::to_string(100 + i), 1);
  host.StopAtPump = host.Pumps + 8;
  TFolderNode* v = Add({.Title = "V"});
  const int recorded = v->Data()->Items.Count();
  EXPECT_GT(recorded, 0);
  EXPECT_LT(recorded, 20);
  // The entry in hand when Stop came is no error; the command still ends as usual.
  EXPECT_EQ(CountLogPrefix(host, "Unknown error: "), 0) << ::testing::PrintToString(host.Log);
  EXPECT_EQ(CountLogPrefix(host, "Added "), 1);
  EXPECT_TRUE(Lib().Modified);
  EXPECT_EQ(v->Data()->KeptSize, recorded);
}

TEST_F(ScanTest, DuplicateSerialAsksAndCanCancel) {
  MakeFile(root + "f.txt", 1);
  Add({.Title = "First", .Serial = "1234ABCD"});
  host.Answers = {TMsgAnswer::No};
  EXPECT_THROW(Add({.Title = "Second", .Serial = "1234ABCD"}), EError);
  ASSERT_EQ(host.Questions.size(), 1u);
  EXPECT_NE(host.Questions[0].Text.find("First"), std::string::npos);
  EXPECT_EQ(Lib().Folders.TopCount(), 1);
  EXPECT_FALSE(g->AddingVolume);
  host.Answers = {TMsgAnswer::Yes};
  Add({.Title = "Second", .Serial = "1234ABCD"});
  EXPECT_EQ(Lib().Folders.TopCount(), 2);
  // With the check off nobody is asked.
  g->CheckSerial = false;
  Add({.Title = "Third", .Serial = "1234ABCD"});
  EXPECT_EQ(host.Questions.size(), 2u);
  EXPECT_EQ(Lib().Folders.TopCount(), 3);
}

TEST_F(ScanTest, SharedZipArchivesBecomeArchiveFolders) {
  if (!fs::is_directory(kArchives)) GTEST_SKIP() << "shared archive fixtures not found at " << kArchives;
  MakeFile(root + "sub/plain.txt", 10);
  fs::copy_file(kZips / "test_compat_zip_1.zip", root + "sub/x.zip");
  const int64_t zipSize = static_cast<int64_t>(fs::file_size(root + "sub/x.zip"));
  MakeFile(root + "broken.zip", 50);

  TFolderNode* v = Add({.Title = "V"});
  TLibFolder* sub = v->Data()->ChildFolder("sub");
  TLibFolderItem* zip = sub->Items.FindExact("x.zip");
  ASSERT_NE(zip, nullptr);
  EXPECT_TRUE(zip->IsFolder);
  EXPECT_EQ(zip->Size, zipSize);
  TLibFolder* archive = sub->ChildFolder("x.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_TRUE(archive->IsArchiveFolder());
  // Members by their whole paths inside the archive, at their uncompressed sizes.
  ASSERT_NE(archive->Items.FindExact("META-INF\\MANIFEST.MF"), nullptr);
  EXPECT_EQ(archive->Items.FindExact("META-INF\\MANIFEST.MF")->Size, 113);
  EXPECT_EQ(archive->Items.FindExact("tmp.class")->Size, 118);
  EXPECT_EQ(archive->Items.FindExact("tmp.class")->Date, EncodeDateTime(2007, 12, 3, 16, 32, 16, 0));
  // The folder counts the archive's folder instead of the archive's bytes.
  EXPECT_EQ(sub->GetSize(), 10 + archive->KeptSize);
  EXPECT_EQ(v->Data()->KeptSize, 10 + zipSize + 50);

  // An archive that cannot be read is logged, and the walk goes on without
  // waiting for anybody to close a message.
  EXPECT_TRUE(v->Data()->Items.FindExact("broken.zip")->IsFolder);
  EXPECT_TRUE(host.Messages.empty());
  EXPECT_EQ(CountLogPrefix(host, "Zip error: " + root + "broken.zip: No valid zip entries found"), 1)
      << ::testing::PrintToString(host.Log);
  EXPECT_NE(sub->Items.FindExact("plain.txt"), nullptr);
}

TEST_F(ScanTest, ZipMembersKeepTheirPathsInsideTheArchive) {
  // Two members of one name in different folders are two entries; folder
  // entries of the archive are no members.
  std::ofstream(root + "docs.zip", std::ios::binary)
      << StoredZip({"a/", "a/readme.txt", "b/readme.txt", "top.txt", "a/deep/x.txt"});
  TFolderNode* v = Add({.Title = "V"});
  TLibFolder* archive = v->Data()->ChildFolder("docs.zip");
  ASSERT_NE(archive, nullptr);
  std::vector<std::string> names;
  for (const auto& item : archive->Items) names.push_back(item->Name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a\\deep\\x.txt", "a\\readme.txt", "b\\readme.txt", "top.txt"}));
  EXPECT_EQ(archive->Items.FindExact("b\\readme.txt")->Date, EncodeDateTime(2007, 12, 12, 16, 16, 32, 0));

  // A directory whose count disagrees keeps every member, and the log line
  // names the archive.
  std::string damaged = StoredZip({"one.txt", "two.txt"});
  damaged.replace(damaged.size() - 14, 4, Le(3, 2) + Le(3, 2));
  std::ofstream(root + "count.zip", std::ios::binary) << damaged;
  TFolderNode* w = Add({.Title = "W"});
  EXPECT_EQ(w->Data()->ChildFolder("count.zip")->Items.Count(), 2);
  EXPECT_EQ(CountLogPrefix(host, "Zip error: " + root + "count.zip: Zip directory damaged: 2 entries"), 1);
}

TEST_F(ScanTest, SharedRarArchivesBecomeArchiveFoldersWithMemberPaths) {
  if (!fs::is_directory(kArchives)) GTEST_SKIP() << "shared archive fixtures not found at " << kArchives;
  fs::copy_file(kArchives / "rar" / "test_read_format_rar.rar", root + "a.rar");
  fs::copy_file(kArchives / "rar" / "test_read_format_rar5_multiple_files.rar", root + "b.RAR");
  MakeFile(root + "junk.rar", 64);
  MakeFile(root + "z.txt", 1);

  TFolderNode* v = Add({.Title = "V"});
  TLibFolder* a = v->Data()->ChildFolder("a.rar");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(v->Data()->Items.FindExact("a.rar")->IsFolder);
  // Members keep their paths inside the archive, with "\\" between folders;
  // directory headers name no file of their own.
  std::vector<std::string> names;
  for (const auto& item : a->Items) names.push_back(item->Name + " " + std::to_string(item->Size));
  EXPECT_EQ(names, (std::vector<std::string>{"test.txt 20", "testdir\\test.txt 20", "testlink 8"}));
  EXPECT_EQ(a->Items.FindExact("test.txt")->Date, EncodeDateTime(2011, 6, 26, 14, 53, 46, 0));
  TLibFolder* b = v->Data()->ChildFolder("b.RAR");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Items.Count(), 4);
  EXPECT_EQ(b->Items.FindExact("test1.bin")->Size, 4096);
  // RAR 5 keeps Unix time to the nanosecond: the same second in UTC.
  EXPECT_NEAR(b->Items.FindExact("test1.bin")->Date, EncodeDateTime(2018, 9, 27, 4, 41, 11, 500), 0.5 / 86400);

  // An archive that cannot be read is logged with the reader's message; the walk goes on.
  EXPECT_EQ(CountLogPrefix(host, "RAR error: "), 1) << ::testing::PrintToString(host.Log);
  EXPECT_TRUE(v->Data()->Items.FindExact("junk.rar")->IsFolder);
  EXPECT_NE(v->Data()->Items.FindExact("z.txt"), nullptr);
}

}  // namespace
}  // namespace tw::test
