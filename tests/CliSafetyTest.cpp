// tarnwex-cli under the conditions that lose data or mislead: two writers at
// once, a save killed or stopped half way, inputs that are no files, a full
// disk, outputs named like inputs, crafted libraries. Run on the real binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/AtomicFile.h"
#include "base/DateTime.h"
#include "base/FileLock.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"

extern char** environ;

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// A running tarnwex-cli whose stderr can be read while it runs.
class TProcess {
 public:
  explicit TProcess(const std::vector<std::string>& args) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> all = {TARNWEX_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(::posix_spawn(&pid_, TARNWEX_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    err_ = pipeFds[0];
  }
  ~TProcess() {
    if (err_ >= 0) ::close(err_);
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  // Reads stderr until `text` appears or it ends; true when it appeared.
  bool WaitFor(const std::string& text) {
    char buf[4096];
    while (err.find(text) == std::string::npos) {
      const ssize_t n = ::read(err_, buf, sizeof buf);
      if (n <= 0) return false;
      err.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  // The exit status, -signal when killed; the rest of stderr is read.
  int Wait() {
    WaitFor(std::string(1, '\0'));  // to the end
    int st = 0;
    ::waitpid(pid_, &st, 0);
    waited_ = true;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
  }

  std::string err;

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  bool waited_ = false;
};

class CliSafetyTest : public TLibraryTest {
 protected:
  TRun Cli(const std::string& args) { return RunCli(args, Path("stderr.txt")); }

  // A folder of a few files to scan.
  std::string Medium(const std::string& name, int files = 3) {
    const std::string root = Path(name);
    fs::create_directories(root + "/sub");
    for (int i = 0; i < files; ++i) std::ofstream(root + "/sub/f" + std::to_string(i) + ".txt") << std::string(i, 'x');
    return root;
  }

  std::vector<std::string> Volumes(const std::string& lib) {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    OpenLibraryCommand(other, lib, false, false);
    std::vector<std::string> names;
    for (int i = 0; i < other.CurrentLibrary->Folders.TopCount(); ++i)
      names.push_back(other.CurrentLibrary->Folders.Top(i)->Data()->Name);
    std::sort(names.begin(), names.end());
    return names;
  }

  // A library of `volumes` volumes with `files` file entries each.
  std::string BigLibrary(const std::string& name, int volumes, int files) {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    TLibObj& lib = *other.CurrentLibrary;
    for (int v = 0; v < volumes; ++v) {
      auto vol = std::make_unique<TLibFolder>();
      vol->Name = "Disc " + std::to_string(v);
      TFolderNode* node = lib.AddFolderRecord(nullptr, std::move(vol));
      for (int f = 0; f < files; ++f) {
        auto item = std::make_unique<TLibFolderItem>();
        item->Name = "file " + std::to_string(f) + ".dat";
        item->Size = f;
        lib.AddItem(node->Data(), std::move(item));
      }
    }
    TQuietOperation quiet;
    lib.SaveLibrary(Path(name), quiet);
    return Path(name);
  }

  std::vector<std::string> Temporaries(const std::string& file) {
    std::vector<std::string> found;
    const std::string prefix = "." + fs::path(file).filename().string() + ".tarnwex-";
    for (const auto& e : fs::directory_iterator(fs::path(file).parent_path()))
      if (e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path().string());
    return found;
  }
};

TEST_F(CliSafetyTest, TwoWritersAtOnceLoseNoVolume) {
  const std::string lib = Path("lib.twl");
  const std::string a = Medium("a"), b = Medium("b");
  std::vector<std::string> expected;
  for (int round = 0; round < 10; ++round) {
    const std::string ta = "A" + std::to_string(round), tb = "B" + std::to_string(round);
    TProcess first({"add", lib, a, "--title", ta, "--allow-duplicate-serial"});
    TProcess second({"add", lib, b, "--title", tb, "--allow-duplicate-serial"});
    // Each either added its volume or said the library was busy.
    for (auto [p, title] : {std::pair{&first, ta}, std::pair{&second, tb}}) {
      const int status = p->Wait();
      if (status == 0)
        expected.push_back(title);
      else
        EXPECT_NE(p->err.find("is being changed by another program"), std::string::npos) << p->err;
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Volumes(lib), expected);
  EXPECT_GE(expected.size(), 10u);
}

TEST_F(CliSafetyTest, AWriterThatFindsTheLibraryLockedWaitsThenFails) {
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(Medium("a")) + " --title A -q").status, 0);
  const TFileStamp before = TFileStamp::Of(lib);
  TFileLock held(lib, lib, TFileLock::kDefaultWait);
  const TRun r = Cli("add " + Q(lib) + " " + Q(Medium("b")) + " --title B");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(lib + " is being changed by another program"), std::string::npos) << r.err;
  EXPECT_EQ(TFileStamp::Of(lib), before);
}

TEST_F(CliSafetyTest, AKilledSaveLeavesAWholeLibraryAndItsTemporariesGoNextTime) {
  const std::string big = BigLibrary("big.twl", 20, 15000);
  const std::string out = Path("out.twl");
  ASSERT_EQ(Cli("resave " + Q(big) + " " + Q(out)).status, 0);
  std::mt19937 random(7);
  int killed = 0;
  for (int round = 0; round < 8; ++round) {
    TProcess p({"resave", big, out, "--force"});
    ASSERT_TRUE(p.WaitFor("Saving"));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
    p.Signal(SIGKILL);
    killed += p.Wait() == -SIGKILL;
    // The file is the old one or the new one, never a part.
    EXPECT_EQ(Cli("info -q " + Q(out)).status, 0) << round;
  }
  EXPECT_GT(killed, 0);
  ASSERT_EQ(Cli("resave --force " + Q(big) + " " + Q(out) + " -q").status, 0);
  EXPECT_TRUE(Temporaries(out).empty()) << ::testing::PrintToString(Temporaries(out));
  EXPECT_FALSE(fs::exists(LockFileOf(out)));
}

TEST_F(CliSafetyTest, ACtrlCAfterTheWalkDoesNotThrowTheScanAway) {
  // A large library takes its time to save; the walk of a small folder is over at once.
  const std::string lib = BigLibrary("lib.twl", 20, 15000);
  TProcess p({"add", lib, Medium("a"), "--title", "New"});
  ASSERT_TRUE(p.WaitFor("Saving"));
  p.Signal(SIGINT);
  EXPECT_EQ(p.Wait(), 0) << p.err;
  EXPECT_EQ(p.err.find("Operation Canceled"), std::string::npos) << p.err;
  const auto volumes = Volumes(lib);
  EXPECT_NE(std::find(volumes.begin(), volumes.end(), "New"), volumes.end());
}

TEST_F(CliSafetyTest, InputsThatAreNoFilesAreRefusedAtOnce) {
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("new " + Q(lib)).status, 0);
  const std::string fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // `timeout` turns a read that blocks into a failure instead of a hang.
  const std::string t = "-k 5 20 ";
  const std::string cli = std::string("timeout ") + t + TARNWEX_CLI;
  auto run = [&](const std::string& args) {
    const int st = std::system((cli + " " + args + " >/dev/null 2>" + Q(Path("err.txt"))).c_str());
    return std::pair{WIFEXITED(st) ? WEXITSTATUS(st) : -1, ReadFile(Path("err.txt"))};
  };
  for (const std::string& args : {"info " + Q(fifo), "find " + Q(lib) + " --load-search " + Q(fifo),
                                  "import " + Q(lib) + " " + Q(fifo), "info " + Q(dir)}) {
    SCOPED_TRACE(args);
    const auto [status, err] = run(args);
    EXPECT_EQ(status, 1) << err;
    EXPECT_TRUE(err.find("not a file but") != std::string::npos) << err;
  }
}

TEST_F(CliSafetyTest, ASavedSearchThatCannotBeReadFailsBeforeTheLibraryIsTouched) {
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(Medium("a")) + " --title A -q").status, 0);
  const TFileStamp before = TFileStamp::Of(lib);
  std::ofstream(Path("other.ini")) << "[Other]\r\nfile=x\r\n";
  for (const std::string& search : {Path("missing.tws"), Path("other.ini")}) {
    const TRun r = Cli("find " + Q(lib) + " --load-search " + Q(search) + " --replace-category Gone");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(search), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_EQ(TFileStamp::Of(lib), before);
}

TEST_F(CliSafetyTest, NoCommandWritesItsOutputOverItsLibrary) {
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("add " + Q(lib) + " " + Q(Medium("a")) + " --title A -q").status, 0);
  fs::create_symlink("lib.twl", Path("alias.twl"));
  const TFileStamp before = TFileStamp::Of(lib);
  for (const std::string& args : {"export " + Q(lib) + " " + Q(lib), "export " + Q(lib) + " " + Q(Path("alias.twl")),
                                  "find " + Q(lib) + " --name x --save-search " + Q(lib),
                                  "import " + Q(lib) + " " + Q(lib)}) {
    SCOPED_TRACE(args);
    const TRun r = Cli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("itself"), std::string::npos) << r.err;
  }
  EXPECT_EQ(TFileStamp::Of(lib), before);
  EXPECT_EQ(Volumes(lib), std::vector<std::string>{"A"});
}

TEST_F(CliSafetyTest, AFullDiskNamesTheLibraryAndKeepsTheOldFile) {
  const std::string big = BigLibrary("big.twl", 2, 2000);
  const std::string out = Path("out.twl");
  ASSERT_EQ(Cli("new " + Q(out)).status, 0);
  const std::string before = ReadFile(out);
  // A file size limit of 8 KB stands for the full disk; the signal it sends is ignored.
  const std::string cmd = "bash -c \"trap '' XFSZ; ulimit -f 8; " + std::string(TARNWEX_CLI) + " resave --force " +
                          Q(big) + " " + Q(out) + "\" 2>" + Q(Path("err.txt"));
  const int st = std::system(cmd.c_str());
  EXPECT_EQ(WIFEXITED(st) ? WEXITSTATUS(st) : -1, 1);
  const std::string err = ReadFile(Path("err.txt"));
  EXPECT_NE(err.find("Cannot write " + out + ": File too large"), std::string::npos) << err;
  EXPECT_EQ(err.find(".tarnwex-"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(out), before);
  EXPECT_TRUE(Temporaries(out).empty());
}

TEST_F(CliSafetyTest, ASettingsWriteThatFailsIsReported) {
  std::ofstream(Path("not-a-folder")) << "x";
  ::setenv("TARNWEX_CONFIG_DIR", (Path("not-a-folder") + "/config").c_str(), 1);
  const TRun r = Cli("handlers --disable MP3");
  ::setenv("TARNWEX_CONFIG_DIR", (dir + "/config").c_str(), 1);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("did not reach the settings file"), std::string::npos) << r.err;
}

TEST_F(CliSafetyTest, ImportOfAnUnreadableFileCreatesNoLibraryAndStopsNothing) {
  const std::string lib = Path("lib.twl");
  EXPECT_EQ(Cli("import " + Q(lib) + " " + Q(Path("missing.txt"))).status, 1);
  EXPECT_FALSE(fs::exists(lib));
  std::ofstream(Path("in.txt")) << "CD\t\\\t\tf.txt\t7\n";
  const TRun r = Cli("import " + Q(lib) + " " + Q(Path("in.txt")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("Stopped by user."), std::string::npos) << r.err;
  // The summary counts what was imported.
  EXPECT_NE(r.err.find("Imported: " + Path("in.txt") + " Volumes: 1 Folders: 0 Files: 1"), std::string::npos) << r.err;
}

TEST_F(CliSafetyTest, CommandLineConventions) {
  const std::string lib = Path("lib.twl");
  EXPECT_EQ(Cli("--version").out.rfind("tarnwex-cli 2.0 (Build: 50), library files Tarnwex 2.3\n", 0), 0u);
  ASSERT_EQ(Cli("-q add " + Q(lib) + " " + Q(Medium("Music")) + " --title 'CD 1'").status, 0);
  // A usage error: its line and where to read more, not the whole help.
  TRun usage = Cli("ls");
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err, "tarnwex-cli ls: missing arguments\nsee tarnwex-cli ls --help\n");
  // resave replaces only with --force.
  ASSERT_EQ(Cli("new " + Q(Path("other.twl"))).status, 0);
  EXPECT_EQ(Cli("resave " + Q(lib) + " " + Q(Path("other.twl"))).status, 1);
  EXPECT_EQ(Cli("resave --force " + Q(lib) + " " + Q(Path("other.twl"))).status, 0);
  // tags of what is no file.
  TRun tags = Cli("tags " + Q(Path("missing.mp3")) + " " + Q(dir));
  EXPECT_EQ(tags.status, 1);
  EXPECT_NE(tags.err.find("missing.mp3: No such file or directory"), std::string::npos) << tags.err;
  EXPECT_NE(tags.err.find(dir + ": not a file but a folder"), std::string::npos) << tags.err;
  // A path written with "/" or in another case gets a hint.
  for (const char* path : {"CD 1/sub", "cd 1\\SUB\\"}) {
    TRun ls = Cli("ls " + Q(lib) + " " + Q(path));
    EXPECT_EQ(ls.status, 1);
    EXPECT_NE(ls.err.find("did you mean 'CD 1\\sub\\'?"), std::string::npos) << ls.err;
  }
}

TEST_F(CliSafetyTest, TabSeparatedFieldsStayOnTheirLine) {
  const std::string medium = Path("m");
  fs::create_directories(medium);
  std::ofstream(medium + "/tab\there") << "x";
  std::ofstream(medium + "/line\nbreak") << "x";
  const std::string lib = Path("lib.twl");
  ASSERT_EQ(Cli("-q add " + Q(lib) + " " + Q(medium) + " --title V").status, 0);
  const TRun ls = Cli("ls -q " + Q(lib) + " 'V\\'");
  EXPECT_NE(ls.out.find("\tline\\nbreak\t"), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("\ttab\\there\t"), std::string::npos) << ls.out;
  EXPECT_EQ(std::count(ls.out.begin(), ls.out.end(), '\n'), 2);
  const TRun find = Cli("find -q " + Q(lib) + " --name a");
  EXPECT_EQ(std::count(find.out.begin(), find.out.end(), '\n'), 2) << find.out;
}

TEST_F(CliSafetyTest, ExportThenImportWithoutOptionsRoundTrips) {
  const std::string medium = Medium("Disc");
  std::ofstream(medium + "/a, b.txt") << "comma";
  std::ofstream(medium + "/sub/deeper.bin") << std::string(3000, 'z');
  const std::string lib = Path("lib.twl"), copy = Path("copy.twl");
  ASSERT_EQ(Cli("-q add " + Q(lib) + " " + Q(medium) + " --title 'Disc 1' --category Music --apply-files").status, 0);
  ASSERT_EQ(Cli("-q export " + Q(lib) + " " + Q(Path("out.txt"))).status, 0);
  ASSERT_EQ(Cli("-q import " + Q(copy) + " " + Q(Path("out.txt"))).status, 0);
  ASSERT_EQ(Cli("-q export " + Q(copy) + " " + Q(Path("again.txt"))).status, 0);
  EXPECT_EQ(ReadFile(Path("again.txt")), ReadFile(Path("out.txt")));
  // Too many columns for the fields named is said on the first such line.
  const TRun r = Cli("import " + Q(Path("third.twl")) + " " + Q(Path("out.txt")) + " --fields Volume,Path,Name");
  EXPECT_NE(r.err.find("Line 1 has 9 columns; the import reads the first 3"), std::string::npos) << r.err;
}

TEST_F(CliSafetyTest, JsonIsForProgramsAndNamesAreFoundAsShown) {
  const std::string lib = Path("lib.twl");
  {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    auto vol = std::make_unique<TLibFolder>();
    vol->Name = "V";
    TFolderNode* v = other.CurrentLibrary->AddFolderRecord(nullptr, std::move(vol));
    auto item = std::make_unique<TLibFolderItem>();
    item->Name = "caf\xE9.txt";  // written on Windows in Windows-1252
    item->Size = 1234567;
    item->Date = EncodeDateTime(2026, 12, 11, 10, 20, 30, 0);
    other.CurrentLibrary->AddItem(v->Data(), std::move(item));
    SaveLibraryCommand(other, lib);
  }
  const auto ls = nlohmann::json::parse(Cli("ls -q --json " + Q(lib) + " V").out);
  EXPECT_EQ(ls[0]["date"], "2026-12-11T10:20:30");
  EXPECT_EQ(ls[0]["size"], 1234567);
  const auto found = nlohmann::json::parse(Cli("find -q --json " + Q(lib) + " --name 'CAFÉ'").out);
  ASSERT_EQ(found["rows"].size(), 1u);
  EXPECT_EQ(found["rows"][0]["name"], "caf\xC3\xA9.txt");
  EXPECT_EQ(found["rows"][0]["size"], 1234567);
  EXPECT_EQ(found["rows"][0]["date"], "2026-12-11T10:20:30");
}

// Folders nested 100,000 deep: every command that walks the library costs
// in proportion to its size, not to the square of its depth.
TEST_F(CliSafetyTest, DeeplyNestedLibrariesAreSearchedAndExported) {
  const std::string lib = Path("deep.twl");
  {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    TLibObj& l = *other.CurrentLibrary;
    auto vol = std::make_unique<TLibFolder>();
    vol->Name = "V";
    TFolderNode* node = l.AddFolderRecord(nullptr, std::move(vol));
    for (int depth = 0; depth < 100000; ++depth) {
      auto entry = std::make_unique<TLibFolderItem>();
      entry->Name = "d";
      entry->IsFolder = true;
      l.AddItem(node->Data(), std::move(entry));
      auto folder = std::make_unique<TLibFolder>();
      folder->Name = "d";
      folder->IsFolder = 1;
      node = l.AddFolderRecord(node, std::move(folder));
    }
    auto leaf = std::make_unique<TLibFolderItem>();
    leaf->Name = "leaf.txt";
    l.AddItem(node->Data(), std::move(leaf));
    TQuietOperation quiet;
    l.SaveLibrary(lib, quiet);
  }
  const std::string cli = std::string("timeout -k 5 300 ") + TARNWEX_CLI;
  auto run = [&](const std::string& args) {
    const int st = std::system((cli + " -q " + args + " >" + Q(Path("out.txt")) + " 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  EXPECT_EQ(run("find " + Q(lib) + " --name leaf"), 0) << ReadFile(Path("out.txt")).substr(0, 500);
  EXPECT_EQ(run("export " + Q(lib) + " " + Q(Path("deep.txt")) + " --fields Name"), 0);
  EXPECT_NE(ReadFile(Path("deep.txt")).find("leaf.txt"), std::string::npos);
}

}  // namespace
}  // namespace tw::test
