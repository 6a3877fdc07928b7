#include "base/FileUtils.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "base/TextUtils.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

using TextCase = std::pair<const char*, const char*>;

TEST(FormatNumber, GroupsAndHundredths) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1 000"},
      {1536.0 / 1024, "1.50"},
      {1075.0 / 1024, "1.04"},
      {1.5, "1.50"},
      {1.0498, "1.04"},
      {2.003, "2"},
      {1234567, "1 234 567"},
      {100000, "100 000"},
      {0.05, "0.05"},
      {1e15, "1 000 000 000 000 000"},
      {9.1e18, "9 100 000 000 000 000 000"},
      {9223372036854775807.0, "9 223 372 036 854 775 808"},
      {-1234.5, "-1 234.50"},
      {-0.001, "0"},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(FormatNumber(x), expected) << x;
}

class FileTimes : public testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    // Far from UTC, so that a conversion to local time would show.
    setenv("TZ", "XYZ-9", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(FileTimes, TakenFieldByFieldWithoutTimeZone) {
  struct Case {
    struct timespec time;
    TDateTime expected;
  };
  const Case cases[] = {
      {{0, 0}, 25569.0},
      {{946684800, 0}, 36526.0},
      {{946684800 + 3600, 250000000}, 36526.0 + (3600000 + 250) / 86400000.0},
      {{946684799, 999999999}, 36525.0 + 86399999 / 86400000.0},
  };
  for (const auto& c : cases) EXPECT_NEAR(FileTimeToDate(c.time), c.expected, 1e-10) << c.time.tv_sec;
}

TEST_F(FileTimes, NowWhenTheTimeHasNoDate) {
  const struct timespec beyond = {253402300800, 0};  // 10000-01-01
  const TDateTime before = NowDateTime();
  const TDateTime converted = FileTimeToDate(beyond);
  const TDateTime after = NowDateTime();
  EXPECT_GE(converted, before);
  EXPECT_LE(converted, after);
}

TEST(MakeInt64, HighTimesTwoToThe32PlusUnsignedLow) {
  struct Case {
    uint32_t high, low;
    int64_t expected;
  };
  const Case cases[] = {
      {0, 0, 0},
      {0, 0xFFFFFFFFu, 4294967295LL},
      {1, 0, 4294967296LL},
      {1, 5, 4294967301LL},
      {0x7FFFFFFFu, 0xFFFFFFFFu, std::numeric_limits<int64_t>::max()},
      {0xFFFFFFFFu, 0xFFFFFFFFu, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeInt64(c.high, c.low), c.expected) << c.high << " " << c.low;
}

TEST(NameParts, FileExtensionAndStripToLastSlash) {
  const TextCase extensions[] = {
      {"a.mp3", ".mp3"}, {"a.tar.GZ", ".GZ"}, {"readme", ""},     {".bashrc", ".bashrc"},
      {"a.", "."},       {"dir.d/file", ""},  {"dir.d\\file", ""}, {"", ""},
  };
  for (const auto& [name, ext] : extensions) EXPECT_EQ(FileExtension(name), ext) << name;

  const TextCase stripped[] = {{"a/b/c.txt", "c.txt"}, {"c.txt", "c.txt"}, {"a/", ""}, {"a\\b", "a\\b"}, {"", ""}};
  for (const auto& [text, expected] : stripped) EXPECT_EQ(StripToLastSlash(text), expected) << text;
}

TEST(LibraryPaths, ParentPath) {
  const TextCase cases[] = {
      {"CD1\\Music\\Rock\\", "CD1\\Music\\"}, {"CD1\\Music\\", "CD1\\"}, {"CD1\\Music", "CD1\\"},
      {"CD1\\", ""},                          {"CD1", ""},               {"\\", ""},
      {"", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(ParentPath(path), expected) << path;
}

TEST(LibraryPaths, LastComponent) {
  const TextCase cases[] = {
      {"CD1\\Music\\", "Music"}, {"CD1\\Music", "Music"}, {"Music", "Music"}, {"E:\\", ""},
      {"E:MUSIC", "MUSIC"},      {"a\\\\", ""},           {"", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(LastComponent(path), expected) << path;
}

TEST(LibraryPaths, BackslashUpkeep) {
  EXPECT_EQ(AddBackslash(""), "\\");
  EXPECT_EQ(AddBackslash("CD1"), "CD1\\");
  EXPECT_EQ(AddBackslash("CD1\\"), "CD1\\");
  EXPECT_EQ(AddBackslashIfAny(""), "");
  EXPECT_EQ(AddBackslashIfAny("CD1"), "CD1\\");
  EXPECT_EQ(AddBackslashIfAny("CD1\\"), "CD1\\");
  EXPECT_EQ(RemoveLeadingBackslash("\\\\a"), "\\a");
  EXPECT_EQ(RemoveLeadingBackslash("a\\"), "a\\");
  EXPECT_EQ(RemoveLeadingBackslash(""), "");
}

TEST(LibraryPaths, DrivePart) {
  const TextCase cases[] = {
      {"E:\\MUSIC", "E:\\"}, {"E:", "E:\\"}, {"E:\\", "E:\\"}, {"MUSIC", ""}, {"", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(DrivePart(path), expected) << path;
}

TEST(LibraryPaths, JoinPath) {
  struct Case {
    const char *a, *b, *c, *expected;
  };
  const Case cases[] = {
      {"CD1", "\\Music\\", "a.mp3", "CD1\\Music\\a.mp3"},
      {"CD1", "", "", "CD1\\"},
      {"", "", "a.mp3", "a.mp3"},
      {"CD1\\", "Music", "\\\\\\a.mp3", "CD1\\Music\\\\a.mp3"},  // at most two leading "\" go
      {"CD1", "\\\\x", "", "CD1\\\\x\\"},                        // only one leading "\" of b goes
      {"Cd1", "Mixed Case", "A.Mp3", "Cd1\\Mixed Case\\A.Mp3"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.a, c.b, c.c), c.expected) << c.a << "|" << c.b << "|" << c.c;
}

TEST(SourcePaths, SlashUpkeep) {
  EXPECT_EQ(AddSlash(""), "/");
  EXPECT_EQ(AddSlash("/media/cd"), "/media/cd/");
  EXPECT_EQ(AddSlash("/media/cd/"), "/media/cd/");
  EXPECT_EQ(AddSlashIfAny(""), "");
  EXPECT_EQ(AddSlashIfAny("MUSIC"), "MUSIC/");
  EXPECT_EQ(RemoveLeadingSlash("//a"), "/a");
  // A backslash is an ordinary character in a source path.
  EXPECT_EQ(AddSlash("a\\"), "a\\/");
}

TEST(SourcePaths, ParentAndLastComponent) {
  const TextCase parents[] = {
      {"/media/cd/MUSIC/", "/media/cd/"}, {"/media/cd/MUSIC", "/media/cd/"}, {"/media/", "/"}, {"/", ""}, {"", ""},
  };
  for (const auto& [path, expected] : parents) EXPECT_EQ(ParentSourcePath(path), expected) << path;

  const TextCase lasts[] = {
      {"/media/cd/MUSIC/", "MUSIC"}, {"/media/cd/Music", "Music"}, {"/", ""}, {"a:b/", "a:b"}, {"x\\y/", "x\\y"},
  };
  for (const auto& [path, expected] : lasts) EXPECT_EQ(LastSourceComponent(path), expected) << path;
}

TEST(SourcePaths, JoinSourcePath) {
  EXPECT_EQ(JoinSourcePath("/media/cd", "/MUSIC/", "a.mp3"), "/media/cd/MUSIC/a.mp3");
  EXPECT_EQ(JoinSourcePath("/media/cd/", "", ""), "/media/cd/");
  EXPECT_EQ(JoinSourcePath("/", "", "x"), "/x");
  EXPECT_EQ(JoinSourcePath("/Media", "Cd", "//A.MP3"), "/Media/Cd/A.MP3");
}

// A stand-in for xdg-open first in PATH that records its working folder and
// arguments.
class ShellOpener : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw_shellXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = fs::canonical(pattern);
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "docs");
    std::ofstream(dir_ / "docs/my file.txt") << "x";
    std::ofstream(dir_ / "docs/-dash") << "x";
    const fs::path script = dir_ / "bin/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$(pwd -P)\" \"$#\" \"$1\" > '" << (dir_ / "out.tmp").string()
                          << "' && /bin/mv '" << (dir_ / "out.tmp").string() << "' '" << (dir_ / "out").string()
                          << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    const char* path = getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    setenv("PATH", (dir_ / "bin").c_str(), 1);
    oldCwd_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    setenv("PATH", oldPath_.c_str(), 1);
    fs::remove_all(dir_);
  }

  // Working folder, argument count and first argument of the call.
  std::vector<std::string> WaitForCall() {
    for (int i = 0; i < 250 && !fs::exists(dir_ / "out"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(dir_ / "out");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
  fs::path oldCwd_;
  std::string oldPath_;
};

TEST_F(ShellOpener, ShellOpenRunsTheHandlerInTheFilesFolder) {
  const std::string file = (dir_ / "docs/my file.txt").string();
  EXPECT_FALSE(ShellOpen(file));
  EXPECT_EQ(WaitForCall(), (std::vector<std::string>{(dir_ / "docs").string(), "1", file}));
}

TEST_F(ShellOpener, ShellOpenMakesARelativeNameAbsolute) {
  fs::current_path(dir_);
  EXPECT_FALSE(ShellOpen("docs/-dash"));
  EXPECT_EQ(WaitForCall(), (std::vector<std::string>{(dir_ / "docs").string(), "1", (dir_ / "docs/-dash").string()}));
}

TEST_F(ShellOpener, ALeadingDashIsNoOption) {
  fs::current_path(dir_ / "docs");
  EXPECT_TRUE(OpenWithDefaultHandler("-dash"));
  const auto call = WaitForCall();
  ASSERT_EQ(call.size(), 3u);
  EXPECT_EQ(call[2], "./-dash");
}

TEST_F(ShellOpener, ShellOpenFailures) {
  EXPECT_TRUE(ShellOpen((dir_ / "docs/missing.txt").string()));
  EXPECT_TRUE(ShellOpen(""));
  setenv("PATH", (dir_ / "docs").c_str(), 1);  // no handler there
  EXPECT_TRUE(ShellOpen((dir_ / "docs/my file.txt").string()));
  EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(ShellOpener, OpenUrlPassesTheAddressAsOneArgument) {
  const std::string address = "https://example.org/a b?x=1&y=$(touch gotcha);z";
  ASSERT_TRUE(OpenUrl(address));
  const auto call = WaitForCall();
  ASSERT_EQ(call.size(), 3u);
  EXPECT_EQ(call[1], "1");
  EXPECT_EQ(call[2], address);
}

TEST_F(ShellOpener, OpenUrlRefusesAnEmptyAddressOrAMissingHandler) {
  EXPECT_FALSE(OpenUrl(""));
  setenv("PATH", (dir_ / "nothing").c_str(), 1);
  EXPECT_FALSE(OpenUrl("https://example.org/"));
}

}  // namespace
}  // namespace tw
