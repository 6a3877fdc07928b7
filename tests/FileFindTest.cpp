#include "core/FileFind.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Error.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

// --- path helpers ---

TEST(FileFindMask, WildcardsWithoutRegardToCase) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"song.mp3", "*.MP3", true},
      {"SONG.Mp3", "*.mp3", true},
      {"song.mp3.txt", "*.mp3", false},
      {"README", "*.*", true},  // no dot, still every name
      {".hidden", "*.*", true},
      {".hidden", "*", true},
      {"a.b", "?.?", true},
      {"ab.b", "?.?", false},
      {"\xc3\xa9.txt", "?.TXT", true},        // "?" is one character, not one byte
      {"\xc3\x89T\xc3\xa9", "\xc3\xa9t*", true},  // folded beyond ASCII
      {"\xff.txt", "?.txt", true},            // one byte where the name is no UTF-8
      {"abcabd", "*abd", true},               // the star has to give back
      {"abc", "a*c*", true},
      {"abc", "a*d", false},
      {"", "", true},
      {"x", "", false},
      {"", "*", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

TEST(FileFindMask, ManyStarsDoNotBacktrackWithoutEnd) {
  std::string mask;
  for (int i = 0; i < 60; ++i) mask += "*a";
  mask += "b";
  // Exponential backtracking would never come back from this.
  EXPECT_FALSE(MatchesMask(std::string(20000, 'a'), mask));
  EXPECT_TRUE(MatchesMask(std::string(20000, 'a') + "b", mask));
}

TEST(FileFindSpec, SplitTakesTheDirectoryOfThePartBefore) {
  struct Case {
    const char* spec;
    std::vector<TSpecPart> parts;
  };
  const Case cases[] = {
      {"/a/*.MP3;*.WAV", {{"/a/", "*.MP3"}, {"/a/", "*.WAV"}}},
      {"/media/cd/MUSIC/*.*", {{"/media/cd/MUSIC/", "*.*"}}},
      {"/a/*.mp3;sub/*.ogg;*.wav", {{"/a/", "*.mp3"}, {"/a/sub/", "*.ogg"}, {"/a/sub/", "*.wav"}}},
      {"/a/*.mp3;/b/*.wav;*.ogg", {{"/a/", "*.mp3"}, {"/b/", "*.wav"}, {"/b/", "*.ogg"}}},
      {"/a/*.mp3;;*.wav;", {{"/a/", "*.mp3"}, {"/a/", "*.wav"}}},
      {"/", {{"/", ""}}},
      {"*.*", {{"", "*.*"}}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitSpec(c.spec), c.parts) << c.spec;
}

TEST(FileFindSpec, CutAt255BytesNeverInsideACharacter) {
  const std::string e = "\xc3\xa9";              // 2 bytes
  const std::string clef = "\xf0\x9d\x84\x9e";   // 4 bytes
  struct Case {
    std::string spec;
    size_t length;
  };
  const Case cases[] = {
      {std::string(255, 'a'), 255},
      {std::string(300, 'a'), 255},
      {std::string(254, 'a') + e, 254},                 // é would straddle the cut
      {std::string(253, 'a') + e + "zz", 255},          // é ends exactly at the cut
      {std::string(252, 'a') + clef, 252},
      {std::string(251, 'a') + clef + "z", 255},
      {std::string(254, 'a') + std::string(10, '\x80'), 255},  // no UTF-8: cut where it is
  };
  for (const auto& c : cases) {
    const std::string cut = CutSpec(c.spec);
    EXPECT_EQ(cut.size(), c.length) << c.spec.size();
    EXPECT_EQ(cut, c.spec.substr(0, cut.size()));
  }
}

// --- the walk ---

// Temporary trees, made and removed by each test.
class FileFindTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw_findXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = fs::canonical(pattern).string() + "/";
  }
  void TearDown() override {
    std::error_code ec;
    for (const auto& locked : locked_) fs::permissions(locked, fs::perms::owner_all, ec);
    fs::remove_all(root_, ec);
  }

  void Dir(const std::string& rel) { fs::create_directories(root_ + rel); }
  void File(const std::string& rel, size_t size = 0) { std::ofstream(root_ + rel, std::ios::binary) << std::string(size, 'x'); }

  // Every event as one line, in the order raised.
  void Record(TFileSearch& finder) {
    finder.OnDirectory = [this](const std::string& dir, const TSearchRec&) { events_.push_back("D " + Rel(dir)); };
    finder.OnFile = [this](const std::string& dir, const TSearchRec& rec) {
      events_.push_back("F " + Rel(dir) + rec.Name);
    };
    finder.OnUnreadable = [this](const std::string& path, const std::string& error) {
      EXPECT_FALSE(error.empty());
      events_.push_back("U " + Rel(path));
    };
    finder.OnDone = [this](TFileSearch& f) {
      EXPECT_TRUE(f.Busy);
      events_.push_back("done");
    };
  }
  std::string Rel(const std::string& path) const {
    return path.compare(0, root_.size(), root_) == 0 ? "~/" + path.substr(root_.size()) : path;
  }
  std::vector<std::string> RelResults(const TFileSearch& finder) const {
    std::vector<std::string> r;
    for (const auto& name : finder.Results) r.push_back(Rel(name));
    return r;
  }
  // Records by name from the OnFile events of one walk.
  std::vector<TSearchRec> Files(const std::string& spec) {
    TFileSearch finder;
    std::vector<TSearchRec> recs;
    finder.OnFile = [&](const std::string&, const TSearchRec& rec) { recs.push_back(rec); };
    finder.Start(root_ + spec, 0, false);
    return recs;
  }

  std::string root_;
  std::vector<std::string> events_;
  std::vector<std::string> locked_;
};

TEST_F(FileFindTree, DirectoryBeforeItsEntriesAndEntriesBeforeSubdirectories) {
  File("b.txt");
  Dir("A");
  File("A/x.mp3");
  Dir("c/sub");
  File("a.mp3");
  Dir("empty");
  TFileSearch finder;
  Record(finder);
  finder.Start(root_ + "*.*", 0, false);
  const std::vector<std::string> expected = {
      "D ~/",       "F ~/A",       "F ~/a.mp3", "F ~/b.txt", "F ~/c",       "F ~/empty",
      "D ~/A/",     "F ~/A/x.mp3", "D ~/c/",    "F ~/c/sub", "D ~/c/sub/", "D ~/empty/",
      "done"};
  EXPECT_EQ(events_, expected);
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/A", "~/a.mp3", "~/b.txt", "~/c", "~/empty",
                                                          "~/A/x.mp3", "~/c/sub"}));
  EXPECT_FALSE(finder.Busy);
}

TEST_F(FileFindTree, LevelsLimitTheDepth) {
  Dir("one/two/three");
  struct Case {
    int32_t levels;
    std::vector<std::string> directories;
  };
  const Case cases[] = {
      {1, {"D ~/"}},
      {2, {"D ~/", "D ~/one/"}},
      {3, {"D ~/", "D ~/one/", "D ~/one/two/"}},
      {0, {"D ~/", "D ~/one/", "D ~/one/two/", "D ~/one/two/three/"}},
  };
  for (const auto& c : cases) {
    TFileSearch finder;
    finder.OnDirectory = [this](const std::string& dir, const TSearchRec&) { events_.push_back("D " + Rel(dir)); };
    events_.clear();
    finder.Start(root_ + "*.*", c.levels, false);
    EXPECT_EQ(events_, c.directories) << c.levels;
  }
  // Without Recurse the top directory alone, whatever the levels.
  TFileSearch flat;
  flat.Recurse = false;
  int directories = 0;
  flat.OnDirectory = [&](const std::string&, const TSearchRec&) { ++directories; };
  flat.Start(root_ + "*.*", 0, false);
  EXPECT_EQ(directories, 1);
}

TEST_F(FileFindTree, MaskListsAndDuplicates) {
  File("a.mp3");
  File("b.WAV");
  File("c.txt");
  Dir("sub.txt");
  File("sub.txt/d.MP3");
  TFileSearch finder;
  finder.Start(root_ + "*.mp3;*.wav", 0, false);
  // The mask selects what is reported; every subdirectory is still entered.
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a.mp3", "~/sub.txt/d.MP3", "~/b.WAV"}));

  finder.Start(root_ + "*.mp3;*.MP3", 0, false);
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a.mp3", "~/sub.txt/d.MP3"}));

  finder.NoDuplicates = false;
  finder.Start(root_ + "*.mp3;*.MP3", 1, false);
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a.mp3", "~/a.mp3"}));

  finder.CollectNames = false;
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_TRUE(finder.Results.empty());
}

TEST_F(FileFindTree, FoldersOnlyReportsDirectoriesButCollectsEverything) {
  File("a.mp3");
  Dir("b");
  File("b/c.mp3");
  TFileSearch finder;
  Record(finder);
  finder.Start(root_ + "*.*", 0, true);
  EXPECT_EQ(events_, (std::vector<std::string>{"D ~/", "F ~/b", "D ~/b/", "done"}));
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a.mp3", "~/b", "~/b/c.mp3"}));
  EXPECT_TRUE(finder.FoldersOnly);
}

TEST_F(FileFindTree, AbortFromOnFileStopsAfterThatEntry) {
  for (const char* name : {"a", "b", "c"}) File(name);
  Dir("d");
  File("d/e");
  TFileSearch finder;
  Record(finder);
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    EXPECT_TRUE(finder.Busy);
    events_.push_back("F " + Rel(dir) + rec.Name);
    if (rec.Name == "b") finder.Aborted = true;
  };
  // The second part must not start either.
  finder.Start(root_ + "*.*;*.*", 0, false);
  EXPECT_EQ(events_, (std::vector<std::string>{"D ~/", "F ~/a", "F ~/b", "done"}));
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a", "~/b"}));
  EXPECT_TRUE(finder.Aborted);
  EXPECT_FALSE(finder.Busy);

  // A new walk starts unaborted.
  finder.OnFile = nullptr;
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_FALSE(finder.Aborted);
  EXPECT_EQ(finder.Results.size(), 5u);
}

TEST_F(FileFindTree, LinksFifosAndDirectoriesAsRecorded) {
  Dir("loop");
  fs::create_symlink("..", root_ + "loop/up");
  ASSERT_EQ(mkfifo((root_ + "x.mp3").c_str(), 0644), 0);
  File("song.mp3", 1234);
  const timespec times[2] = {{1600000000, 0}, {1600000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, (root_ + "song.mp3").c_str(), times, 0), 0);
  {
    const int fd = open((root_ + "big.iso").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (int64_t{5} << 30) + 7), 0);  // sparse
    close(fd);
  }
  TFileSearch finder;
  std::vector<TSearchRec> recs;
  std::vector<std::string> directories;
  finder.OnFile = [&](const std::string&, const TSearchRec& rec) { recs.push_back(rec); };
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec& rec) {
    directories.push_back(Rel(dir));
    EXPECT_TRUE(rec.IsDirectory()) << dir;
    EXPECT_EQ(rec.Size, 0);
  };
  finder.Start(root_ + "*.*", 0, false);
  // The link is not followed: no endless descent through loop/up.
  EXPECT_EQ(directories, (std::vector<std::string>{"~/", "~/loop/"}));
  auto find = [&](const std::string& name) {
    auto it = std::find_if(recs.begin(), recs.end(), [&](const TSearchRec& r) { return r.Name == name; });
    EXPECT_NE(it, recs.end()) << name;
    return it == recs.end() ? TSearchRec{} : *it;
  };
  const TSearchRec up = find("up");
  EXPECT_FALSE(up.IsDirectory());
  EXPECT_TRUE(up.Attr & faSymLink);
  EXPECT_EQ(up.Size, 2);  // the link's own size: ".."

  const TSearchRec fifo = find("x.mp3");
  EXPECT_EQ(fifo.Size, 0);
  EXPECT_TRUE(fifo.Attr & faDevice);
  EXPECT_FALSE(fifo.IsDirectory());

  const TSearchRec song = find("song.mp3");
  EXPECT_EQ(song.Size, 1234);
  EXPECT_EQ(song.MTime, 1600000000);
  EXPECT_EQ(song.MTimeNsec, 123456789);
  EXPECT_EQ(song.Attr & (faDirectory | faSymLink | faDevice), 0u);

  const TSearchRec big = find("big.iso");
  EXPECT_EQ(big.SizeHigh(), 1u);
  EXPECT_EQ(big.SizeLow(), (1u << 30) + 7);

  const TSearchRec loop = find("loop");
  EXPECT_TRUE(loop.IsDirectory());
  EXPECT_EQ(loop.Size, 0);
}

TEST_F(FileFindTree, NamesKeptByteForByte) {
  const std::vector<std::string> names = {"a.mp3", "A.mp3", "\xff\xfe.mp3", "caf\xe9.mp3"};
  for (const auto& name : names) File(name);
  TFileSearch finder;
  finder.Start(root_ + "*.MP3", 0, false);
  // Two names differing only in case are two entries; bytes are never
  // re-encoded.
  EXPECT_EQ(RelResults(finder),
            (std::vector<std::string>{"~/A.mp3", "~/a.mp3", "~/caf\xe9.mp3", "~/\xff\xfe.mp3"}));
}

TEST_F(FileFindTree, DeepNesting) {
  std::string path;
  for (int i = 0; i < 200; ++i) path += "d/";
  Dir(path);
  File(path + "leaf");
  TFileSearch finder;
  int directories = 0;
  std::string deepest;
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec&) {
    ++directories;
    deepest = dir;
  };
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_EQ(directories, 201);
  EXPECT_EQ(deepest, root_ + path);
  ASSERT_FALSE(finder.Results.empty());
  EXPECT_EQ(finder.Results.back(), root_ + path + "leaf");
}

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST_F(FileFindTree, DescriptorsStayFewHoweverDeepTheTree) {
  std::string path;
  for (int i = 0; i < 300; ++i) path += "d/";
  Dir(path);
  File(path + "leaf");
  const size_t before = OpenDescriptors();
  size_t deepest = 0;
  int directories = 0;
  TFileSearch finder;
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec&) {
    ++directories;
    if (dir == root_ + path) deepest = OpenDescriptors();
  };
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_EQ(directories, 301);
  // A handful of directories, not one per level.
  EXPECT_GT(deepest, before);
  EXPECT_LE(deepest, before + 20);
  EXPECT_EQ(OpenDescriptors(), before);
  ASSERT_FALSE(finder.Results.empty());
  EXPECT_EQ(finder.Results.back(), root_ + path + "leaf");
}

// A folder whose descriptor was given up for deeper ones is opened again
// for its later subdirectories, and only when it is still the same folder.
TEST_F(FileFindTree, FolderLeftForADeepSubtreeIsReopened) {
  std::string chain;
  for (int i = 0; i < 20; ++i) chain += "d/";
  struct Case {
    bool replaced;
    std::vector<std::string> afterChain;
  };
  const Case cases[] = {
      {false, {"D ~/n/b/", "F ~/n/b/x", "D ~/n/c/", "D ~/z/", "done"}},
      // Moved away while the walk was below it: a new n/ is not the one listed.
      {true, {"U ~/n/b/", "U ~/n/c/", "D ~/z/", "done"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(root_ + "n");
    fs::remove_all(root_ + "moved");
    Dir("n/a/" + chain);
    Dir("n/b");
    File("n/b/x");
    Dir("n/c");
    Dir("z");
    std::vector<std::string> expected = {"D ~/",    "F ~/n",   "F ~/z",   "D ~/n/", "F ~/n/a",
                                         "F ~/n/b", "F ~/n/c", "D ~/n/a/"};
    std::string dir = "~/n/a/";
    for (int i = 0; i < 20; ++i) {
      expected.push_back("F " + dir + "d");
      dir += "d/";
      expected.push_back("D " + dir);
    }
    expected.insert(expected.end(), c.afterChain.begin(), c.afterChain.end());

    TFileSearch finder;
    Record(finder);
    events_.clear();
    auto record = finder.OnDirectory;
    finder.OnDirectory = [&](const std::string& directory, const TSearchRec& rec) {
      record(directory, rec);
      if (c.replaced && directory == root_ + "n/a/" + chain) {
        fs::rename(root_ + "n", root_ + "moved");
        Dir("n/b");
        File("n/b/x");
      }
    };
    finder.Start(root_ + "*.*", 0, false);
    EXPECT_EQ(events_, expected) << c.replaced;
  }
}

TEST_F(FileFindTree, UnreadableFolderIsReportedAndSkipped) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Dir("a");
  Dir("b");
  File("b/x");
  ASSERT_EQ(chmod((root_ + "a").c_str(), 0), 0);
  locked_.push_back(root_ + "a");
  TFileSearch finder;
  Record(finder);
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_EQ(events_, (std::vector<std::string>{"D ~/", "F ~/a", "F ~/b", "U ~/a/", "D ~/b/", "F ~/b/x", "done"}));
}

TEST_F(FileFindTree, FolderGoneBeforeItIsEnteredIsReportedAndSkipped) {
  Dir("a");
  Dir("b");
  File("b/x");
  TFileSearch finder;
  Record(finder);
  auto record = finder.OnFile;
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    record(dir, rec);
    if (rec.Name == "b") fs::remove(root_ + "a");
  };
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_EQ(events_, (std::vector<std::string>{"D ~/", "F ~/a", "F ~/b", "U ~/a/", "D ~/b/", "F ~/b/x", "done"}));
}

TEST_F(FileFindTree, MissingTopFolderStillEndsTheWalk) {
  TFileSearch finder;
  Record(finder);
  finder.Start(root_ + "missing/*.*", 0, false);
  EXPECT_EQ(events_, (std::vector<std::string>{"U ~/missing/", "done"}));
  EXPECT_FALSE(finder.Busy);
}

TEST_F(FileFindTree, TopRecordAndSpecCut) {
  Dir("top");
  TFileSearch finder;
  TSearchRec top;
  finder.OnDirectory = [&](const std::string&, const TSearchRec& rec) { top = rec; };
  finder.Start(root_ + "top/*.*", 0, false);
  EXPECT_EQ(top.Name, "top");
  EXPECT_TRUE(top.IsDirectory());
  EXPECT_GT(top.MTime, 0);

  finder.Start(root_ + std::string(300, 'x'), 0, false);
  EXPECT_EQ(finder.Spec.size(), kMaxSpecLength);
}

TEST_F(FileFindTree, NoSecondWalkFromAListener) {
  File("a");
  TFileSearch finder;
  bool threw = false;
  finder.OnFile = [&](const std::string&, const TSearchRec&) {
    try {
      finder.Start(root_ + "*.*", 0, false);
    } catch (const EError&) {
      threw = true;
    }
  };
  finder.Start(root_ + "*.*", 0, false);
  EXPECT_TRUE(threw);
  EXPECT_FALSE(finder.Busy);
  EXPECT_EQ(RelResults(finder), (std::vector<std::string>{"~/a"}));

  // A listener's exception ends the walk, and the finder can walk again.
  finder.OnFile = [](const std::string&, const TSearchRec&) { throw EError("stop"); };
  EXPECT_THROW(finder.Start(root_ + "*.*", 0, false), EError);
  EXPECT_FALSE(finder.Busy);
}

TEST(FileFindReset, RestoresTheDefaults) {
  TFileSearch finder;
  finder.Recurse = false;
  finder.Aborted = true;
  finder.CollectNames = false;
  finder.NoDuplicates = false;
  finder.Results = {"x"};
  finder.Levels = 3;
  finder.FoldersOnly = true;
  finder.Reset();
  EXPECT_TRUE(finder.Recurse);
  EXPECT_FALSE(finder.Aborted);
  EXPECT_TRUE(finder.CollectNames);
  EXPECT_TRUE(finder.NoDuplicates);
  EXPECT_FALSE(finder.Busy);
  EXPECT_TRUE(finder.Results.empty());
  EXPECT_EQ(finder.Levels, 0);
  EXPECT_FALSE(finder.FoldersOnly);
}

// The system's own trees and other mounts are listed from the outside only.
TEST(FileFindSystem, StaysOnTheRootFileSystem) {
  TFileSearch finder;
  finder.CollectNames = false;
  std::vector<std::string> directories;
  std::vector<std::string> listed;
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec&) { directories.push_back(dir); };
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    if (rec.IsDirectory()) listed.push_back(dir + rec.Name + "/");
  };
  finder.Start("/*.*", 2, false);
  ASSERT_NE(std::find(listed.begin(), listed.end(), "/proc/"), listed.end());
  for (const char* area : {"/proc/", "/sys/", "/dev/"})
    EXPECT_EQ(std::find(directories.begin(), directories.end(), area), directories.end()) << area;

  // Inside /dev: pts, shm, mqueue are mounts of their own on most systems.
  struct stat devStat {};
  ASSERT_EQ(stat("/dev", &devStat), 0);
  directories.clear();
  int mounts = 0;
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    if (!rec.IsDirectory() || rec.Device == devStat.st_dev) return;
    ++mounts;
    listed.push_back(dir + rec.Name + "/");
  };
  listed.clear();
  finder.Start("/dev/*.*", 0, false);
  if (mounts == 0) GTEST_SKIP() << "no mount below /dev";
  for (const auto& mount : listed)
    EXPECT_EQ(std::find(directories.begin(), directories.end(), mount), directories.end()) << mount;
}

// --- mounted media ---

TEST(FileFindMounts, ParseMountTable) {
  const auto mounts = ParseMountInfo(
      "36 35 98:0 /mnt1 /mnt/my\\040disk rw,noatime master:1 shared:2 - ext3 /dev/root rw,errors=continue\n"
      "garbage line\n"
      "37 35 98:0 / /x rw - ext4\n"
      "38 35 0:5 / /proc rw - proc proc rw\n");
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].Root, "/mnt1");
  EXPECT_EQ(mounts[0].MountPoint, "/mnt/my disk");
  EXPECT_EQ(mounts[0].Type, "ext3");
  EXPECT_EQ(mounts[0].Source, "/dev/root");
  EXPECT_EQ(mounts[1].Type, "proc");
}

TEST(FileFindMounts, WhichMountsAUserWouldPick) {
  struct Case {
    const char* point;
    const char* type;
    bool pick;
  };
  const Case cases[] = {
      {"/", "ext4", true},
      {"/", "overlay", true},
      {"/home", "btrfs", true},
      {"/media/user/CD", "iso9660", true},
      {"/run/media/user/USB", "vfat", true},
      {"/mnt/ram", "tmpfs", true},
      {"/proc", "proc", false},
      {"/sys/fs/cgroup", "cgroup2", false},
      {"/dev/pts", "devpts", false},
      {"/dev/shm", "tmpfs", false},
      {"/run/user/1000", "tmpfs", false},
      {"/run/lock", "tmpfs", false},
      {"/run/media", "tmpfs", false},
      {"/tmp", "tmpfs", false},
      {"/snap/core/123", "squashfs", false},
      {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", false},
      {"/proc/sys/fs/binfmt_misc", "binfmt_misc", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsUserMount({"/", c.point, c.type, "src"}), c.pick) << c.point;
}

class FileFindDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw_drivesXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = fs::canonical(pattern).string();
    for (const char* dir : {"dev", "disk/by-uuid", "disk/by-label", "media/my disk", "over", "mnt/plain"})
      fs::create_directories(root_ + "/" + dir);
    std::ofstream(root_ + "/dev/sdz1").put('x');
    std::ofstream(root_ + "/hosts").put('x');
    fs::create_symlink("../../dev/sdz1", root_ + "/disk/by-uuid/1234-ABCD");
    fs::create_symlink("../../dev/sdz1", root_ + R"(/disk/by-label/My\x20Disk)");
    const std::string r = root_;
    std::ofstream(root_ + "/mountinfo")
        << "21 1 8:1 / / rw - ext4 /dev/nonexistent rw\n"
        << "22 21 0:5 / /proc rw - proc proc rw\n"
        << "24 21 0:7 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        << "26 21 8:17 / " << r << "/media/my\\040disk rw shared:2 - vfat " << r << "/dev/sdz1 rw\n"
        << "27 21 0:9 / " << r << "/gone rw - ext4 /dev/sdq rw\n"
        << "28 21 0:10 /etc/hosts " << r << "/hosts rw - ext4 /dev/sdq rw\n"
        << "30 21 8:33 / " << r << "/over rw - ext4 /dev/sdx rw\n"
        << "31 30 0:11 / " << r << "/over rw - proc proc rw\n"
        << "32 21 8:34 / " << r << "/mnt/plain rw - ext4 /dev/sdw rw\n";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string root_;
};

TEST_F(FileFindDrives, ListsPickableMountsWithLabelAndSerial) {
  const auto drives = ListDrives(root_ + "/mountinfo", root_ + "/disk");
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_EQ(drives[0].RootPath, "/");
  EXPECT_EQ(drives[1].RootPath, root_ + "/media/my disk/");
  EXPECT_EQ(drives[1].Label, "My Disk");
  EXPECT_EQ(drives[1].Serial, "1234ABCD");
  EXPECT_EQ(drives[2].RootPath, root_ + "/mnt/plain/");
  EXPECT_EQ(drives[2].Label, "");
  EXPECT_EQ(drives[2].Serial, "");
  EXPECT_TRUE(ListDrives(root_ + "/missing", root_ + "/disk").empty());
}

TEST_F(FileFindDrives, ScanTotalOnlyForMountPoints) {
  const std::string table = root_ + "/mountinfo";
  // Used space moves while others write; only known against unknown is stable.
  EXPECT_GE(ScanTotal(root_ + "/media/my disk", table), 0);
  EXPECT_GE(ScanTotal(root_ + "/media/my disk/", table), 0);
  EXPECT_GT(ScanTotal("/", table), 0);
  EXPECT_EQ(ScanTotal(root_ + "/dev", table), -1);
  EXPECT_EQ(ScanTotal(root_ + "/missing", table), -1);
  EXPECT_EQ(ScanTotal("/", root_ + "/missing"), -1);
}

TEST(FileFindSystemDrives, RootsEndWithASlashAndSkipSystemAreas) {
  for (const auto& drive : ListDrives()) {
    ASSERT_FALSE(drive.RootPath.empty());
    EXPECT_EQ(drive.RootPath.back(), '/');
    for (const char* area : {"/proc/", "/sys/", "/dev/"})
      EXPECT_NE(drive.RootPath.compare(0, std::string(area).size(), area), 0) << drive.RootPath;
  }
}

}  // namespace
}  // namespace tw
