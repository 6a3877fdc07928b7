#include "base/RegUtils.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace tw {
namespace {

const std::string R = kRegRoot;
const std::string kHeaderLine = "Tarnwex settings 1\n";

std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const std::string& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

struct TIdentity {
  ino_t inode = 0;
  timespec mtime{};
  bool operator==(const TIdentity& o) const {
    return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

TIdentity IdentityOf(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return {st.st_ino, st.st_mtim};
}

class RegStoreFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-reg-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
    file = dir + "/Tarnwex.reg";
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string dir, file;
};

// ---- kinds and defaults ----

using TReader = std::function<std::string(TRegStore&)>;

TReader AsBool(bool def) {
  return [def](TRegStore& s) { return s.ReadRegValue(R + "K", "v", def) ? "true" : "false"; };
}
TReader AsInt(int32_t def) {
  return [def](TRegStore& s) { return std::to_string(s.ReadRegValue(R + "K", "v", def)); };
}
TReader AsText(const char* def) {
  return [def](TRegStore& s) { return "'" + s.ReadRegValue(R + "K", "v", def) + "'"; };
}
TReader StrictInt() {
  return [](TRegStore& s) {
    auto v = s.TryReadInt(R + "K", "v");
    return v ? std::to_string(*v) : "none";
  };
}
TReader StrictBool() {
  return [](TRegStore& s) {
    auto v = s.TryReadBool(R + "K", "v");
    return v ? (*v ? "true" : "false") : "none";
  };
}
TReader StrictText() {
  return [](TRegStore& s) {
    auto v = s.TryReadString(R + "K", "v");
    return v ? "'" + *v + "'" : "none";
  };
}

struct TKindCase {
  const char* what;
  std::function<void(TRegStore&)> store;
  TReader read;
  std::string expected;
};

template <class T>
std::function<void(TRegStore&)> Stored(T value) {
  return [value](TRegStore& s) { s.WriteRegValue(R + "K", "v", value); };
}
// The key exists, the value does not.
void OtherValueOnly(TRegStore& s) { s.WriteRegValue(R + "K", "other", 1); }
// The key exists only as the parent of another.
void ParentOnly(TRegStore& s) { s.WriteRegValue(R + "K\\Child", "v", 1); }
void Nothing(TRegStore&) {}

TEST_F(RegStoreFile, ValuesReadAsTheKindOfTheirDefault) {
  const TKindCase cases[] = {
      {"boolean true", Stored(true), AsBool(false), "true"},
      {"boolean false", Stored(false), AsBool(true), "false"},
      {"integer 5 read as boolean", Stored(int32_t{5}), AsBool(false), "true"},
      {"integer 0 read as boolean", Stored(int32_t{0}), AsBool(true), "false"},
      {"boolean read as integer", Stored(true), AsInt(9), "1"},
      {"negative integer", Stored(int32_t{-7}), AsInt(0), "-7"},
      {"smallest integer", Stored(int32_t{INT32_MIN}), AsInt(0), std::to_string(INT32_MIN)},
      {"text", Stored(std::string("abc")), AsText("d"), "'abc'"},
      {"empty text", Stored(std::string()), AsText("d"), "''"},
      {"text read as boolean, default true", Stored(std::string("0")), AsBool(true), "true"},
      {"text read as boolean, default false", Stored(std::string("1")), AsBool(false), "false"},
      {"text read as integer", Stored(std::string("12")), AsInt(3), "3"},
      {"integer read as text", Stored(int32_t{12}), AsText("d"), "'d'"},
      {"missing text in an existing key", OtherValueOnly, AsText("d"), "''"},
      {"missing text in a key that is only a parent", ParentOnly, AsText("d"), "''"},
      {"missing boolean in an existing key", OtherValueOnly, AsBool(true), "true"},
      {"missing integer in an existing key", OtherValueOnly, AsInt(4), "4"},
      {"missing key, text", Nothing, AsText("d"), "'d'"},
      {"missing key, boolean", Nothing, AsBool(true), "true"},
      {"missing key, integer", Nothing, AsInt(4), "4"},
      {"strict: integer 2 as boolean", Stored(int32_t{2}), StrictBool(), "true"},
      {"strict: text as integer", Stored(std::string("5")), StrictInt(), "none"},
      {"strict: integer as text", Stored(int32_t{5}), StrictText(), "none"},
      {"strict: missing text in an existing key", OtherValueOnly, StrictText(), "none"},
      {"strict: missing key", Nothing, StrictInt(), "none"},
  };
  int n = 0;
  for (const auto& c : cases) {
    TRegStore memory("");
    c.store(memory);
    EXPECT_EQ(c.read(memory), c.expected) << c.what << " (in memory)";

    // The kind must survive the file as well.
    const std::string f = dir + "/kinds" + std::to_string(n++) + ".reg";
    {
      TRegStore writer(f);
      c.store(writer);
    }
    TRegStore reader(f);
    EXPECT_EQ(c.read(reader), c.expected) << c.what << " (from the file)";
  }
}

// ---- names and paths ----

TEST(RegStoreNames, CompareWithoutCaseAndKeepTheFirstSpelling) {
  TRegStore s("");
  s.WriteRegValue("\\Software\\Quenmoor\\Tarnwex\\Defaults", "Show Icons", true);
  s.WriteRegValue("\\SOFTWARE\\quenmoor\\TARNWEX\\defaults", "SHOW ICONS", false);
  EXPECT_FALSE(s.ReadRegValue("\\software\\QUENMOOR\\tarnwex\\DEFAULTS", "show icons", true));
  EXPECT_TRUE(s.RegKeyExists("\\SOFTWARE\\QUENMOOR"));
  EXPECT_EQ(s.Serialize(), kHeaderLine +
                               "\n[\\Software]\n"
                               "\n[\\Software\\Quenmoor]\n"
                               "\n[\\Software\\Quenmoor\\Tarnwex]\n"
                               "\n[\\Software\\Quenmoor\\Tarnwex\\Defaults]\n"
                               "\"Show Icons\"=dword:00000000\n");
}

TEST(RegStoreNames, PathSpellingsAddressTheSameKey) {
  TRegStore s("");
  s.WriteRegValue("\\a\\b", "v", int32_t{42});
  for (const char* path : {"a\\b", "\\a\\b", "a\\\\b\\", "\\\\a\\b\\\\", "A\\B"})
    EXPECT_EQ(s.ReadRegValue(path, "v", int32_t{0}), 42) << path;
  for (const char* root : {"", "\\", "\\\\"}) EXPECT_TRUE(s.RegKeyExists(root)) << root;
  EXPECT_FALSE(s.RegKeyExists("\\b"));
  EXPECT_FALSE(s.RegKeyExists("\\a\\b\\c"));
  TRegStore empty("");
  EXPECT_TRUE(empty.RegKeyExists("\\"));
}

// ---- the file format ----

TEST(RegStoreFormat, KeysInCreationOrderWithTheirValues) {
  TRegStore s("");
  s.WriteRegValue("\\b\\inner", "n", int32_t{-1});
  s.WriteRegValue("\\a", "Text", "x");
  s.WriteRegValue("\\b", "Flag", true);
  s.WriteRegValue("", "AtRoot", int32_t{10});
  const std::string expected = kHeaderLine +
                               "\n[\\]\n\"AtRoot\"=dword:0000000a\n"
                               "\n[\\b]\n\"Flag\"=dword:00000001\n"
                               "\n[\\b\\inner]\n\"n\"=dword:ffffffff\n"
                               "\n[\\a]\n\"Text\"=\"x\"\n";
  EXPECT_EQ(s.Serialize(), expected);

  TRegStore parsed("");
  ParseRegText(expected, parsed);
  EXPECT_EQ(parsed.Serialize(), expected);
  EXPECT_EQ(parsed.ReadRegValue("", "AtRoot", int32_t{0}), 10);
}

TEST_F(RegStoreFile, EscapedNamesAndTextsRoundTrip) {
  const std::pair<std::string, std::string> values[] = {
      {"quote\"d", "say \"hi\""},
      {"back\\slash", "C:\\dir\\"},
      {"cr\r", "a\rb\r"},
      {"lf\n", "line1\nline2\n"},
      {"all \\\"\r\n", "\\\"\r\n\\n\\r"},
      {"utf8 \xC3\xA4", "\xC3\xBC\xE2\x82\xAC"},
      {"latin1 \xE9", "\xFF\xFE raw \x80"},
      {"", "empty name"},
      {"nul", std::string("a\0b", 3)},
      {"only a backslash", "\\"},
  };
  {
    TRegStore s(file);
    for (const auto& [name, text] : values) s.WriteRegValue(R + "Escapes", name, text);
  }
  const std::string onDisk = ReadText(file);
  EXPECT_EQ(onDisk.find('\r'), std::string::npos) << "a CR must be written escaped";
  EXPECT_NE(onDisk.find("\"quote\\\"d\"=\"say \\\"hi\\\"\"\n"), std::string::npos);
  EXPECT_NE(onDisk.find("\"lf\\n\"=\"line1\\nline2\\n\"\n"), std::string::npos);

  TRegStore s(file);
  for (const auto& [name, text] : values) EXPECT_EQ(s.ReadRegValue(R + "Escapes", name, "default"), text) << name;
}

TEST_F(RegStoreFile, EmptyKeysSurvive) {
  {
    TRegStore s(file);
    s.WriteRegValue(R + "Pos\\frmMain\\LV\\0", "Width", int32_t{10});
    s.DeleteRegKey(R + "Pos\\frmMain\\LV\\0");
    s.WriteRegValue(R + "Other", "x", int32_t{1});
  }
  TRegStore s(file);
  EXPECT_TRUE(s.RegKeyExists(R + "Pos\\frmMain\\LV"));
  EXPECT_FALSE(s.RegKeyExists(R + "Pos\\frmMain\\LV\\0"));
  // An empty key still tells "missing text" from "missing key".
  EXPECT_EQ(s.ReadRegValue(R + "Pos\\frmMain\\LV", "Filename", "d"), "");
}

// ---- deleting ----

TEST_F(RegStoreFile, DeleteRemovesTheKeyWithEverythingBelowIt) {
  TRegStore s(file);
  s.WriteRegValue(R + "Pos\\frmMain", "Flags", int32_t{1});
  s.WriteRegValue(R + "Pos\\frmMain\\LV\\0", "Width", int32_t{100});
  s.WriteRegValue(R + "Pos\\frmMain\\TAB", "Flags", int32_t{2});
  s.WriteRegValue(R + "Pos\\frmSearch", "Flags", int32_t{3});
  s.WriteRegValue(R + "Defaults", "Sort", true);

  s.DeleteRegKey(R + "POS\\FRMMAIN\\");

  TRegStore reread(file);
  const std::pair<std::string, bool> expected[] = {
      {R + "Pos\\frmMain", false},       {R + "Pos\\frmMain\\LV", false}, {R + "Pos\\frmMain\\LV\\0", false},
      {R + "Pos\\frmMain\\TAB", false}, {R + "Pos", true},               {R + "Pos\\frmSearch", true},
      {R + "Defaults", true},
  };
  for (const auto& [key, exists] : expected) {
    EXPECT_EQ(s.RegKeyExists(key), exists) << key;
    EXPECT_EQ(reread.RegKeyExists(key), exists) << key << " (from the file)";
  }
  // Writing under a deleted key starts it anew, without its old values.
  s.WriteRegValue(R + "Pos\\frmMain", "ShowCmd", int32_t{1});
  EXPECT_EQ(s.ReadRegValue(R + "Pos\\frmMain", "Flags", int32_t{-5}), -5);
}

TEST_F(RegStoreFile, DeletingAMissingKeyOrTheRootChangesNothing) {
  TRegStore s(file);
  s.WriteRegValue(R + "Defaults", "Sort", true);
  const std::string before = ReadText(file);
  const TIdentity id = IdentityOf(file);
  s.DeleteRegKey(R + "Nowhere");
  s.DeleteRegKey(R + "Defaults\\Nowhere\\Deeper");
  s.DeleteRegKey("\\");
  s.DeleteRegKey("");
  EXPECT_EQ(ReadText(file), before);
  EXPECT_TRUE(IdentityOf(file) == id) << "the file must not be rewritten";
  EXPECT_TRUE(s.ReadRegValue(R + "Defaults", "Sort", false));
}

// ---- placements ----

const char* const kPlacementNames[] = {"Flags",   "ShowCmd",     "MinPosX",    "MinPosY",      "MaxPosX",
                                       "MaxPosY", "NormPosLeft", "NormPosTop", "NormPosRight", "NormPosBottom"};

TEST_F(RegStoreFile, PlacementRoundTrip) {
  const TPlacement p{2, 3, -1, -1, -32000, -32000, 10, 20, 810, 620};
  {
    TRegStore s(file);
    s.WritePlacement(R + "Pos\\frmMain", p);
  }
  TRegStore s(file);
  TPlacement got;
  ASSERT_TRUE(s.ReadPlacement(R + "pos\\FRMMAIN", got));
  EXPECT_EQ(got, p);
  for (const char* name : kPlacementNames) EXPECT_TRUE(s.TryReadInt(R + "Pos\\frmMain", name)) << name;
}

TEST(RegStorePlacement, AllTenOrNothing) {
  const TPlacement sentinel{7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  for (const char* spoiled : kPlacementNames) {
    for (bool asText : {false, true}) {
      TRegStore s("");
      for (const char* name : kPlacementNames) {
        if (name != spoiled)
          s.WriteRegValue("\\P", name, int32_t{1});
        else if (asText)
          s.WriteRegValue("\\P", name, "1");
      }
      TPlacement out = sentinel;
      EXPECT_FALSE(s.ReadPlacement("\\P", out)) << spoiled << (asText ? " as text" : " missing");
      EXPECT_EQ(out, sentinel) << spoiled;
    }
  }
  TRegStore empty("");
  TPlacement out = sentinel;
  EXPECT_FALSE(empty.ReadPlacement("\\P", out));
  EXPECT_EQ(out, sentinel);
}

// ---- sharing the file ----

TEST_F(RegStoreFile, TwoStoresOnOneFileSeeEachOthersWrites) {
  TRegStore a(file), b(file);
  a.WriteRegValue(R, "x", int32_t{1});
  EXPECT_EQ(b.ReadRegValue(R, "x", int32_t{0}), 1);
  b.WriteRegValue(R, "y", "from b");
  EXPECT_EQ(a.ReadRegValue(R, "y", ""), "from b");

  // Same size every time, in quick succession: only the content tells.
  for (int32_t i = 0; i < 200; ++i) {
    a.WriteRegValue(R, "n", 1000000 + i);
    if (i % 3 == 0) a.WriteRegValue(R, "n", 2000000 + i);
    const int32_t expected = i % 3 == 0 ? 2000000 + i : 1000000 + i;
    ASSERT_EQ(b.ReadRegValue(R, "n", int32_t{0}), expected) << i;
  }

  a.DeleteRegKey(R);
  EXPECT_FALSE(b.RegKeyExists(R));
}

// File times come from a coarse clock and freed inodes come back: a change
// can leave inode, size and time as they were. A fresh file is compared by
// content.
TEST_F(RegStoreFile, AChangeThatKeepsInodeSizeAndTimeIsSeen) {
  TRegStore a(file);
  a.WriteRegValue(R, "n", int32_t{1});
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  TRegStore b(file);
  ASSERT_EQ(b.ReadRegValue(R, "n", int32_t{0}), 1);

  std::string text = ReadText(file);
  const size_t at = text.find("dword:00000001");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 14, "dword:00000002");
  {
    std::fstream inPlace(file, std::ios::binary | std::ios::in | std::ios::out);
    inPlace.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  ASSERT_TRUE(IdentityOf(file) == (TIdentity{before.st_ino, before.st_mtim}));

  EXPECT_EQ(b.ReadRegValue(R, "n", int32_t{0}), 2);
}

TEST_F(RegStoreFile, AWriteDuringAnotherStoresBatchIsNotLost) {
  TRegStore a(file), b(file);
  a.WriteRegValue(R, "old", int32_t{1});
  {
    TRegStore::TBatch batch(a);
    a.WriteRegValue(R, "fromA", int32_t{1});
    b.WriteRegValue(R, "fromB", int32_t{2});
    b.DeleteRegKey(R + "Gone");
  }
  TRegStore c(file);
  EXPECT_EQ(c.ReadRegValue(R, "fromA", int32_t{0}), 1);
  EXPECT_EQ(c.ReadRegValue(R, "fromB", int32_t{0}), 2);
  EXPECT_EQ(c.ReadRegValue(R, "old", int32_t{0}), 1);
}

// ---- batches ----

TEST_F(RegStoreFile, ABatchWritesTheFileOnceWhenTheOutermostEnds) {
  TRegStore s(file);
  s.WriteRegValue(R, "before", int32_t{1});
  const std::string before = ReadText(file);
  const TIdentity id = IdentityOf(file);
  {
    TRegStore::TBatch outer(s);
    s.WriteRegValue(R, "a", int32_t{1});
    {
      TRegStore::TBatch inner(s);
      s.WriteRegValue(R, "b", int32_t{2});
    }
    s.WritePlacement(R + "Pos\\frmMain", TPlacement{});
    s.DeleteRegKey(R + "Pos\\frmMain");
    EXPECT_EQ(ReadText(file), before) << "written before the outermost batch ended";
    EXPECT_TRUE(IdentityOf(file) == id);
    EXPECT_EQ(s.ReadRegValue(R, "b", int32_t{0}), 2) << "the batch's own reads see its writes";
  }
  TRegStore reread(file);
  EXPECT_EQ(reread.ReadRegValue(R, "a", int32_t{0}), 1);
  EXPECT_EQ(reread.ReadRegValue(R, "b", int32_t{0}), 2);
  EXPECT_TRUE(reread.RegKeyExists(R + "Pos"));
  EXPECT_FALSE(reread.RegKeyExists(R + "Pos\\frmMain"));

  // A batch that changes nothing leaves the file alone.
  const TIdentity after = IdentityOf(file);
  {
    TRegStore::TBatch batch(s);
    s.WriteRegValue(R, "a", int32_t{1});
    s.WriteRegValue(R, "B", int32_t{2});
  }
  EXPECT_TRUE(IdentityOf(file) == after);
}

// ---- where the file is and what happens around it ----

TEST_F(RegStoreFile, DefaultFileFollowsTheEnvironment) {
  const char* names[] = {"TARNWEX_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i)
    if (const char* v = ::getenv(names[i])) saved[i] = v;

  struct TCase {
    const char* env[3];
    std::string expected;
  };
  const TCase cases[] = {
      {{"/c", "/x", "/h"}, "/c/Tarnwex.reg"},
      {{"/c/", nullptr, nullptr}, "/c/Tarnwex.reg"},
      {{"", "/x", "/h"}, "/x/Quenmoor/Tarnwex.reg"},
      {{nullptr, "/x/", "/h"}, "/x/Quenmoor/Tarnwex.reg"},
      {{nullptr, nullptr, "/h"}, "/h/.config/Quenmoor/Tarnwex.reg"},
      {{nullptr, "", "/h/"}, "/h/.config/Quenmoor/Tarnwex.reg"},
  };
  for (const auto& c : cases) {
    for (int i = 0; i < 3; ++i) c.env[i] ? ::setenv(names[i], c.env[i], 1) : ::unsetenv(names[i]);
    EXPECT_EQ(TRegStore::DefaultFile(), c.expected);
  }

  // Folders are made on the first write.
  ::setenv("TARNWEX_CONFIG_DIR", (dir + "/new/folder").c_str(), 1);
  {
    TRegStore s(TRegStore::DefaultFile());
    EXPECT_FALSE(fs::exists(dir + "/new")) << "nothing is touched before a write";
    s.WriteRegValue(R, "Version", "2.0 (Build: 50)");
  }
  EXPECT_TRUE(fs::is_regular_file(dir + "/new/folder/Tarnwex.reg"));

  for (int i = 0; i < 3; ++i) saved[i] ? ::setenv(names[i], saved[i]->c_str(), 1) : ::unsetenv(names[i]);
}

TEST_F(RegStoreFile, AFailedWriteIsSwallowedAndKeptInMemory) {
  WriteText(dir + "/blocker", "a file where a folder should be");
  TRegStore s(dir + "/blocker/sub/Tarnwex.reg");
  s.WriteRegValue(R, "x", int32_t{5});
  {
    TRegStore::TBatch batch(s);
    s.WriteRegValue(R, "y", "text");
  }
  EXPECT_EQ(s.ReadRegValue(R, "x", int32_t{0}), 5);
  EXPECT_EQ(s.ReadRegValue(R, "y", ""), "text");
}

TEST_F(RegStoreFile, ALeftoverTemporaryFileIsNeverReadAndIsReused) {
  WriteText(file + ".tmp", kHeaderLine + "\n[\\Leftover]\n\"x\"=dword:00000009\n");
  TRegStore s(file);
  EXPECT_FALSE(s.RegKeyExists("\\Leftover"));
  s.WriteRegValue(R, "y", int32_t{1});
  EXPECT_FALSE(fs::exists(file + ".tmp"));
  TRegStore reread(file);
  EXPECT_FALSE(reread.RegKeyExists("\\Leftover"));
  EXPECT_EQ(reread.ReadRegValue(R, "y", int32_t{0}), 1);
}

// ---- damaged files ----

// A store as the program writes it: nested keys, an empty key, escapes.
std::string RealStoreText(const std::string& file) {
  TRegStore s(file);
  TRegStore::TBatch batch(s);
  s.WriteRegValue(R, "Version", "2.0 (Build: 50)");
  s.WriteRegValue(R + "Defaults", "Sort", true);
  s.WriteRegValue(R + "Defaults", "Sizes", int32_t{2});
  s.WriteRegValue(R + "Defaults", "Favorites File", "/home/u/.local/share/Quenmoor/Tarnwex/Favorites.txt");
  s.WriteRegValue(R + "Defaults", "New Line", "\"\\\r\n;");
  s.WritePlacement(R + "Pos\\frmMain", TPlacement{0, 1, -1, -1, -1, -1, 10, 10, 800, 600});
  s.WriteRegValue(R + "Pos\\frmMain\\LV\\0", "Width", int32_t{200});
  s.DeleteRegKey(R + "Pos\\frmMain\\LV\\0");
  s.WriteRegValue(R + "Recent\\0", "Filename", "/media/\xC3\xA4/music.twl");
  s.WriteRegValue(R + "frmMain", "LVSortIndex", int32_t{3});
  return s.Serialize();
}

// What a store read from the first `n` bytes of `full` writes back: every
// complete line, without a blank line at the end.
std::string KeptFromCut(const std::string& full, size_t n) {
  std::string kept = full.substr(0, n);
  size_t lastEnd = kept.rfind('\n');
  kept.erase(lastEnd == std::string::npos ? 0 : lastEnd + 1);
  if (kept.empty()) return kHeaderLine;
  while (kept.size() >= 2 && kept.compare(kept.size() - 2, 2, "\n\n") == 0) kept.pop_back();
  return kept;
}

TEST_F(RegStoreFile, AFileCutShortKeepsEverythingBeforeTheCut) {
  const std::string full = RealStoreText(file);
  ASSERT_EQ(ReadText(file), full);
  const std::string cut = dir + "/cut.reg";
  for (size_t n = 0; n <= full.size(); ++n) {
    WriteText(cut, full.substr(0, n));
    TRegStore s(cut);
    ASSERT_EQ(s.Serialize(), KeptFromCut(full, n)) << "cut at " << n;
  }
}

std::string Garbage(unsigned seed) {
  std::mt19937 rng(seed);
  std::string g(2000, '\0');
  for (auto& c : g) c = static_cast<char>(rng());
  return g;
}

TEST_F(RegStoreFile, DamagedLinesEndTheReading) {
  const std::string h = kHeaderLine;
  const std::string sound = "[\\a]\n\"x\"=dword:00000005\n";
  const std::string after = "[\\b]\n\"y\"=dword:00000001\n";
  struct TCase {
    const char* what;
    std::string text;
    bool aExists;
    int32_t x;
    bool bExists;
  };
  const TCase cases[] = {
      {"sound", h + sound + after, true, 5, true},
      {"CR LF line ends", "Tarnwex settings 1\r\n\r\n[\\a]\r\n\"x\"=dword:00000005\r\n[\\b]\r\n", true, 5, true},
      {"upper-case hex digits", h + "[\\a]\n\"x\"=dword:0000000A\n" + after, true, 10, true},
      {"empty file", "", false, 77, false},
      {"binary garbage", Garbage(1), false, 77, false},
      {"another header", "REGEDIT4\n\n" + sound + after, false, 77, false},
      {"header cut short", "Tarnwex settings\n" + sound, false, 77, false},
      {"garbage after a sound part", h + sound + Garbage(2) + "\n" + after, true, 5, false},
      {"key line without ]", h + "[\\a\n" + sound + after, false, 77, false},
      {"value before any key", h + "\"x\"=dword:00000005\n" + sound + after, false, 77, false},
      {"bad hex digit", h + "[\\a]\n\"x\"=dword:0000000g\n" + after, true, 77, false},
      {"short dword", h + "[\\a]\n\"x\"=dword:5\n" + after, true, 77, false},
      {"long dword", h + "[\\a]\n\"x\"=dword:000000005\n" + after, true, 77, false},
      {"unknown kind", h + "[\\a]\n\"x\"=hex:05\n" + after, true, 77, false},
      {"junk after the value", h + "[\\a]\n\"x\"=dword:00000005 junk\n" + after, true, 77, false},
      {"unterminated text", h + "[\\a]\n\"x\"=\"abc\n" + after, true, 77, false},
      {"unknown escape", h + "[\\a]\n\"x\"=\"a\\tb\"\n" + after, true, 77, false},
      {"CR inside a line", h + "[\\a]\n\"x\"=\"a\rb\"\n" + after, true, 77, false},
      {"name not quoted", h + "[\\a]\nx=dword:00000005\n" + after, true, 77, false},
      {"last line without its end", h + sound + "[\\b]", true, 5, false},
  };
  for (const auto& c : cases) {
    WriteText(file, c.text);
    TRegStore s(file);
    EXPECT_EQ(s.RegKeyExists("\\a"), c.aExists) << c.what;
    EXPECT_EQ(s.ReadRegValue("\\a", "x", int32_t{77}), c.x) << c.what;
    EXPECT_EQ(s.RegKeyExists("\\b"), c.bExists) << c.what;
  }
}

TEST_F(RegStoreFile, TheNextWriteReplacesADamagedFileBySoundText) {
  WriteText(file, kHeaderLine + "[\\a]\n\"x\"=dword:00000005\n" + Garbage(3));
  TRegStore s(file);
  s.WriteRegValue("\\c", "z", int32_t{1});
  TRegStore reread(file);
  EXPECT_EQ(reread.Serialize(), ReadText(file)) << "the whole file must be sound again";
  EXPECT_EQ(reread.ReadRegValue("\\a", "x", int32_t{0}), 5);
  EXPECT_EQ(reread.ReadRegValue("\\c", "z", int32_t{0}), 1);
}

// ---- a write killed half-way ----

std::string BigText(int generation) {
  return std::string(300000, static_cast<char>('a' + generation % 26)) + std::to_string(generation);
}

void WriteGeneration(TRegStore& s, int generation) {
  TRegStore::TBatch batch(s);
  s.WriteRegValue("\\Big", "Text", BigText(generation));
  s.WriteRegValue("\\Big", "Generation", int32_t{generation});
}

TEST_F(RegStoreFile, SurvivesAKillInTheMiddleOfAWrite) {
  {
    TRegStore s(file);
    WriteGeneration(s, 0);
  }
  std::mt19937 rng(20240611);
  int last = 0;
  for (int round = 0; round < 30; ++round) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TRegStore s(file);
      for (int generation = last + 1;; ++generation) WriteGeneration(s, generation);
    }
    // Kill at a random moment once the child has written at least once.
    {
      TRegStore watch(file);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (watch.ReadRegValue("\\Big", "Generation", int32_t{-1}) == last &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 10000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    // Either the old or the new content, complete: it reads back as itself.
    const std::string text = ReadText(file);
    TRegStore check(file);
    ASSERT_EQ(check.Serialize(), text) << "round " << round;
    const int generation = check.ReadRegValue("\\Big", "Generation", int32_t{-1});
    ASSERT_GT(generation, last) << "round " << round;
    EXPECT_EQ(check.ReadRegValue("\\Big", "Text", ""), BigText(generation)) << "round " << round;
    last = generation;

    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "Tarnwex.reg" || name == "Tarnwex.reg.tmp") << name;
    }
  }
}

}  // namespace
}  // namespace tw
