// tarnwex-cli add, update and archive as a user runs them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/LibClasses.h"
#include "tests/ByteWriter.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

const fs::path kZips = fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "fixtures" / "archives" / "zip";

class CliScanTest : public TLibraryTest {
 protected:
  TRun Cli(const std::string& args, const std::string& prefix = "") {
    return RunCli(args, Path("stderr.txt"), prefix);
  }

  // The library file as the program loads it.
  std::vector<std::string> Volume(const std::string& lib, int index = 0) {
    Lib().Clear();
    LoadLibraryNow(*g, lib, false);
    return Dump(Lib().Folders.Top(index));
  }
};

TEST_F(CliScanTest, AddCreatesTheLibraryAndAppendsVolumes) {
  const std::string medium = Path("medium");
  MakeFile(medium + "/a.txt", 3);
  MakeFile(medium + "/sub/b.txt", 4);
  const std::string lib = Path("lib.twl");

  TRun r = Cli("add " + Q(lib) + " " + Q(medium) + " --title 'CD 1' --category Rock --apply-files");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Adding " + medium + "/"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Added " + lib), std::string::npos) << r.err;
  EXPECT_EQ(Volume(lib), (std::vector<std::string>{"F CD 1\\a.txt 3", "D CD 1\\sub", "F CD 1\\sub\\b.txt 4"}));
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->SourcePath, medium + "/");
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Items.FindExact("a.txt")->Category, "Rock");

  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(medium) + " --title 'CD 2' --levels 1 -q").status, 0);
  Volume(lib);
  ASSERT_EQ(Lib().Folders.TopCount(), 2);
  EXPECT_EQ(Volume(lib, 1), (std::vector<std::string>{"F CD 2\\a.txt 3", "D CD 2\\sub"}));

  EXPECT_EQ(Cli("add " + Q(lib) + " " + Q(Path("nowhere"))).status, 1);
  EXPECT_EQ(Cli("add " + Q(lib) + " " + Q(medium) + " --levels x").status, 2);
  EXPECT_EQ(Cli("add " + Q(lib)).status, 2);
}

TEST_F(CliScanTest, UpdateWithAndWithoutTheMedium) {
  const std::string medium = Path("medium");
  MakeFile(medium + "/a.txt", 3);
  MakeFile(medium + "/old.txt", 9);
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(medium) + " --title V -q").status, 0);

  fs::remove(medium + "/old.txt");
  MakeFile(medium + "/new/n.txt", 1);
  TRun r = Cli("update " + Q(lib) + " 'V\\' " + Q(medium) + " --delete-missing");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Deleted: 1 files"), std::string::npos) << r.err;
  EXPECT_EQ(Volume(lib), (std::vector<std::string>{"F V\\a.txt 3", "D V\\new", "F V\\new\\n.txt 1"}));

  ASSERT_EQ(Cli("update " + Q(lib) + " 'V\\new' --category Keep --apply-files -q").status, 0);
  Volume(lib);
  TLibFolder* fresh = Lib().Folders.Top(0)->Data()->ChildFolder("new");
  EXPECT_EQ(fresh->Category, "Keep");
  EXPECT_EQ(fresh->Items.FindExact("n.txt")->Category, "Keep");

  EXPECT_EQ(Cli("update " + Q(lib) + " 'W\\' " + Q(medium)).status, 1);
  EXPECT_EQ(Cli("update " + Q(lib) + " 'V\\' --delete-missing").status, 2);
}

std::string LastLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);
}

// Whether `prefix` (nothing, or another user) can list the folder.
bool CanList(const std::string& prefix, const std::string& folder) {
  return std::system((prefix + "ls " + Q(folder) + " >/dev/null 2>&1").c_str()) == 0;
}

// Folders of mode 000, unreadable to a user, and for root to another user.
class CliUnreadableTest : public CliScanTest {
 protected:
  void TearDown() override {
    std::error_code ec;
    for (const auto& folder : locked_) fs::permissions(folder, fs::perms::owner_all, ec);
    CliScanTest::TearDown();
  }

  // What runs the tool as a user who cannot read a locked folder: nothing
  // for a user; for root, another user, who may then read and write
  // everything here else. Empty when neither is possible.
  std::optional<std::string> LockedOutUser() {
    if (::geteuid() != 0) return "";
    const std::string other = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (std::system(("chmod -R a+rwX " + Q(dir)).c_str()) != 0 || !CanList(other, dir)) return std::nullopt;
    return other;
  }
  void Lock(const std::string& folder) {
    fs::permissions(folder, fs::perms::none);
    locked_.push_back(folder);
  }

  std::vector<std::string> locked_;
};

TEST_F(CliUnreadableTest, FolderKeepsItsRecordsThroughUpdate) {
  const std::string medium = Path("medium");
  MakeFile(medium + "/keep.txt", 3);
  MakeFile(medium + "/gone.txt", 5);
  MakeFile(medium + "/locked/inner.txt", 7);
  MakeFile(medium + "/locked/deeper/d.txt", 1);
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(medium) + " --title V -q").status, 0);
  ASSERT_EQ(Cli("update " + Q(lib) + " 'V\\locked\\' --comments Mine --apply-folders --apply-files -q").status, 0);

  const auto user = LockedOutUser();
  if (!user) GTEST_SKIP() << "running as root, and setpriv cannot run a command as uid 65534";
  fs::remove(medium + "/gone.txt");
  const std::string locked = medium + "/locked";
  Lock(locked);
  if (CanList(*user, locked)) GTEST_SKIP() << "a folder of mode 000 is readable here";

  TRun r = Cli("update " + Q(lib) + " 'V\\' " + Q(medium) + " --delete-missing", *user);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Cannot read " + locked + "/: Permission denied"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Deleted: 1 files"), std::string::npos) << r.err;
  EXPECT_EQ(LastLine(r.err), "1 folders or files could not be read: " + locked + "/") << r.err;
  // Everything below the folder stays, with its comments; the readable
  // rest is brought up to date.
  EXPECT_EQ(Volume(lib), (std::vector<std::string>{"F V\\keep.txt 3", "D V\\locked", "D V\\locked\\deeper",
                                                   "F V\\locked\\inner.txt 7", "F V\\locked\\deeper\\d.txt 1"}));
  TLibFolder* kept = Lib().Folders.Top(0)->Data()->ChildFolder("locked");
  EXPECT_EQ(kept->Items.FindExact("inner.txt")->Comments, "Mine");
  EXPECT_EQ(kept->ChildFolder("deeper")->Comments, "Mine");
}

TEST_F(CliUnreadableTest, ManyAreNamedOnTheLastLineUpToTen) {
  const std::string medium = Path("medium");
  MakeFile(medium + "/a.txt", 1);
  const auto user = LockedOutUser();
  if (!user) GTEST_SKIP() << "running as root, and setpriv cannot run a command as uid 65534";
  std::string named = "12 folders or files could not be read: ";
  for (int i = 10; i < 22; ++i) {
    const std::string folder = medium + "/l" + std::to_string(i);
    MakeDir(folder);
    Lock(folder);
    if (i < 20) named += folder + "/, ";
  }
  if (CanList(*user, locked_[0])) GTEST_SKIP() << "a folder of mode 000 is readable here";
  TRun r = Cli("add " + Q(Path("lib.twl")) + " " + Q(medium) + " -q", *user);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(LastLine(r.err), named + "...") << r.err;
  // What could be read is saved all the same.
  EXPECT_EQ(Volume(Path("lib.twl")).size(), 13u);
}

// Each level of a tree nested deeper than the process may open files.
TEST_F(CliScanTest, DeepTreeIsRecordedWholeUnderALowDescriptorLimit) {
  const std::string medium = Path("medium");
  ASSERT_TRUE(MakeChain(medium, "d", 3000, "leaf.txt"));
  const std::string lib = Path("lib.twl");
  const std::string limit = "ulimit -n 256 && ";
  auto recordsEveryLevel = [&] {
    Volume(lib);
    EXPECT_EQ(Lib().Folders.Count(), 3001u);
    TFolderNode* deepest = Lib().Folders.GetFirstNode();
    while (deepest->Count() > 0) deepest = deepest->Item(0);
    EXPECT_EQ(deepest->Level(), 3000);
    EXPECT_NE(deepest->Data()->Items.FindExact("leaf.txt"), nullptr);
  };
  TRun r = Cli("add " + Q(lib) + " " + Q(medium) + " --title V -q", limit);
  ASSERT_EQ(r.status, 0) << r.err;
  recordsEveryLevel();
  r = Cli("update " + Q(lib) + " 'V\\' " + Q(medium) + " --delete-missing", limit);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Deleted: 0 files"), std::string::npos) << r.err;
  recordsEveryLevel();
}

TEST_F(CliScanTest, SharedArchivesListMembersAsRecorded) {
  if (!fs::is_directory(kZips)) GTEST_SKIP() << "shared archive fixtures not found at " << kZips;
  TRun r = Cli("archive " + Q((kZips / "test_compat_zip_1.zip").string()));
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(Cli("archive --json " + Q((kZips / "test_compat_zip_1.zip").string())).out);
  ASSERT_EQ(j["members"].size(), 2u);
  EXPECT_EQ(j["members"][0]["name"], "META-INF\\MANIFEST.MF");
  EXPECT_EQ(j["members"][0]["size"], 113);
  EXPECT_EQ(j["members"][1]["name"], "tmp.class");
  EXPECT_EQ(r.out.rfind("META-INF\\MANIFEST.MF\t113\t", 0), 0u) << r.out;

  // RAR members keep their folders; a self-extracting one is found by its marker.
  const fs::path rars = kZips / ".." / "rar";
  TRun rar = Cli("archive " + Q((rars / "test_read_format_rar.rar").string()));
  ASSERT_EQ(rar.status, 0) << rar.err;
  EXPECT_NE(rar.out.find("testdir\\test.txt\t20\t"), std::string::npos) << rar.out;
  // --json also gives every header record, directories included.
  nlohmann::json headers =
      nlohmann::json::parse(Cli("archive --json " + Q((rars / "test_read_format_rar.rar").string())).out)["headers"];
  ASSERT_EQ(headers.size(), 5u);
  EXPECT_EQ(headers[0]["fileName"], "test.txt");
  EXPECT_EQ(headers[0]["hostOS"], "Unix");
  EXPECT_EQ(headers[0]["crc"], "BEC8A242");
  EXPECT_EQ(headers[3]["attributes"], "D");
  TRun locked = Cli("archive " + Q((rars / "test_read_format_rar_encryption_header.rar").string()));
  EXPECT_EQ(locked.status, 1);
  // The error names the archive.
  EXPECT_NE(locked.err.find("RAR error: " + (rars / "test_read_format_rar_encryption_header.rar").string() +
                            ": No Password!"),
            std::string::npos)
      << locked.err;
  TRun sfx = Cli("archive --json " + Q((rars / "test_read_format_rar_sfx.exe").string()));
  ASSERT_EQ(sfx.status, 0) << sfx.err;
  EXPECT_GT(nlohmann::json::parse(sfx.out)["members"].size(), 0u);

  MakeFile(Path("junk.zip"), 100);
  TRun junk = Cli("archive " + Q(Path("junk.zip")));
  EXPECT_EQ(junk.status, 1);
  EXPECT_NE(junk.err.find("No valid zip entries found"), std::string::npos) << junk.err;
  EXPECT_EQ(Cli("archive " + Q(Path("missing.zip"))).status, 1);
}

TEST_F(CliScanTest, CtrlCStopsTheScanAndSavesWhatWasRecorded) {
  const std::string medium = Path("medium");
  for (int d = 0; d < 20; ++d)
    for (int f = 0; f < 1000; ++f) MakeFile(medium + "/d" + std::to_string(d) + "/f" + std::to_string(f), 1);
  const std::string lib = Path("lib.twl");

  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(err[1], STDERR_FILENO);
    ::close(err[0]);
    ::execl(TARNWEX_CLI, TARNWEX_CLI, "add", lib.c_str(), medium.c_str(), "--title", "V", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  // Stop as soon as the scan has begun.
  std::string seen;
  char buf[256];
  ssize_t n;
  while (seen.find("Adding") == std::string::npos && (n = ::read(err[0], buf, sizeof buf)) > 0) seen.append(buf, n);
  ::kill(pid, SIGINT);
  while ((n = ::read(err[0], buf, sizeof buf)) > 0) seen.append(buf, n);
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << seen;
  EXPECT_EQ(WEXITSTATUS(status), 1) << seen;
  EXPECT_NE(seen.find("Added " + lib), std::string::npos) << seen;
  // The stop blames no file.
  EXPECT_EQ(seen.find("Unknown error"), std::string::npos) << seen;
  // The library holds the volume with what was recorded before the stop.
  LoadLibraryNow(*g, lib, false);
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  Lib().RecountTotals();
  EXPECT_LT(Lib().FileCount, 20000);
}

}  // namespace
}  // namespace tw::test
