// The ZIP member lister against the real archives of the libarchive test
// corpus (checked against libarchive's own listing) and against archives
// written here byte by byte for the paths the real ones lack.
#include "core/archZIP.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/Error.h"
#include "tests/TestHost.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const std::string kFixtures =
    fs::path(__FILE__).parent_path().parent_path().string() + "/../shared/fixtures/archives/";
const std::string kNoEntries = "No valid zip entries found";

// ---------------------------------------------------------------------------
// Writing archives

std::string Le(uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
std::string L16(uint64_t v) { return Le(v, 2); }
std::string L32(uint64_t v) { return Le(v, 4); }
std::string L64(uint64_t v) { return Le(v, 8); }

constexpr uint32_t kDos = 0x3E7454C9;  // 2011-03-20 10:38:18

struct TMember {
  std::string name;
  std::string data;
  uint16_t flags = 0;
  uint32_t dos = kDos;
  uint32_t crc = 0x12345678;
  // Sizes after the data (flag bit 3): a descriptor with signature, or without.
  bool descriptor = false;
  bool descriptorSig = true;
};

// Stored members in file order, then (optionally) the central directory and
// its end record. Offsets count from the file's start plus `base`.
struct TZipWriter {
  std::string bytes;
  std::string central;
  uint16_t count = 0;

  explicit TZipWriter(std::string prefix = {}) : bytes(std::move(prefix)) {}

  static std::string Local(const TMember& m, bool sizesInHeader) {
    const uint64_t size = sizesInHeader ? m.data.size() : 0;
    return "PK\x03\x04" + L16(20) + L16(m.flags) + L16(0) + L32(m.dos) + L32(sizesInHeader ? m.crc : 0) +
           L32(size) + L32(size) + L16(m.name.size()) + L16(0) + m.name;
  }

  TZipWriter& Add(TMember m, int64_t base = 0) {
    if (m.descriptor) m.flags |= 8;
    const uint64_t offset = bytes.size() - base;
    bytes += Local(m, !m.descriptor) + m.data;
    if (m.descriptor)
      bytes += (m.descriptorSig ? std::string("PK\x07\x08") : std::string()) + L32(m.crc) + L32(m.data.size()) +
               L32(m.data.size());
    central += "PK\x01\x02" + L16(0x031E) + L16(20) + L16(m.flags) + L16(0) + L32(m.dos) + L32(m.crc) +
               L32(m.data.size()) + L32(m.data.size()) + L16(m.name.size()) + L16(0) + L16(0) + L16(0) + L16(0) +
               L32(0) + L32(offset) + m.name;
    ++count;
    return *this;
  }

  // The central directory and the end record; `base` is subtracted from the
  // stored offset (an archive whose offsets count from its own start).
  TZipWriter& Finish(int64_t base = 0, const std::string& comment = {}) {
    const uint64_t offset = bytes.size() - base;
    bytes += central + "PK\x05\x06" + L16(0) + L16(0) + L16(count) + L16(count) + L32(central.size()) +
             L32(offset) + L16(comment.size()) + comment;
    return *this;
  }

  void Save(const std::string& file) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
};

// ---------------------------------------------------------------------------
// Reading

struct TResult {
  std::vector<ZipDirEntry> entries;
  std::optional<std::string> error;
  int updates = 0;
  int entriesAtUpdate = -1;
  bool fromCentral = false;
  std::vector<std::string> messages;

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.FileName);
    return names;
  }
};

TResult List(const std::string& file, bool showMessages = true) {
  TZip zip;
  TResult r;
  zip.OnMessage = [&r](const std::string& text) { r.messages.push_back(text); };
  EXPECT_TRUE(zip.ShowMessages());  // set from creation
  zip.SetShowMessages(showMessages);
  zip.OnDirUpdate = [&r](TZip& z) {
    ++r.updates;
    r.entriesAtUpdate = z.Count();
  };
  try {
    zip.SetZipFilename(file);
  } catch (const EError& e) {
    r.error = e.what();
  }
  EXPECT_EQ(zip.ZipFilename(), file);
  r.entries = zip.Entries();
  r.fromCentral = zip.FromCentralDirectory();
  EXPECT_EQ(r.updates, 1) << file;
  EXPECT_EQ(r.entriesAtUpdate, static_cast<int>(r.entries.size())) << file;
  return r;
}

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarnwex-zip-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << bytes;
    return Path(name);
  }
  std::string dir;
};

// ---------------------------------------------------------------------------
// Real archives against libarchive's listing

struct TRef {
  std::string name;
  char type;
  uint64_t size;
  std::string mtime;
};

std::map<std::string, std::vector<TRef>> ReadReference(std::map<std::string, bool>& stopped) {
  std::map<std::string, std::vector<TRef>> refs;
  std::ifstream in(kFixtures + "zip-libarchive.tsv", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line.rfind("# ", 0) == 0) continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, '\t')) f.push_back(field);
    if (f.size() >= 2 && f[1].rfind("#error", 0) == 0) {
      stopped[f[0]] = true;
      refs[f[0]];
      continue;
    }
    if (f.size() < 6) continue;
    refs[f[0]].push_back({f[1], f[2][0], std::stoull(f[3]), f[4]});
  }
  return refs;
}

// The DOS fields taken one by one as a UTC time (timegm normalises date 0 to
// 1979-11-30 as libarchive's mktime does).
int64_t DosAsUtc(uint32_t dos) {
  std::tm tm{};
  const uint16_t d = dos >> 16, t = dos & 0xFFFF;
  tm.tm_year = 80 + (d >> 9);
  tm.tm_mon = ((d >> 5) & 15) - 1;
  tm.tm_mday = d & 31;
  tm.tm_hour = t >> 11;
  tm.tm_min = (t >> 5) & 63;
  tm.tm_sec = (t & 31) * 2;
  return ::timegm(&tm);
}

int64_t ParseUtc(const std::string& s) {
  std::tm tm{};
  std::istringstream in(s);
  in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
  return ::timegm(&tm);
}

enum class TPath { Central, Walk };

struct TFixture {
  std::string file;
  TPath path;
  // libarchive's mtime comes from the extended-timestamp field (true UTC)
  // where there is one, so it differs from the DOS fields (local time) by a
  // time-zone offset, and by a second where the DOS time rounded up.
  bool zoneOffset = false;
  std::vector<std::string> names;  // as stored, in order (empty: not checked here)
  std::vector<uint64_t> sizes;     // uncompressed, in order (empty: not checked here)
  std::string error;               // the EError raised, if any
  bool message = false;            // "No valid zip entries found" shown

  TFixture(std::string f, TPath p, bool zone = false, std::vector<std::string> n = {}, std::vector<uint64_t> s = {},
           std::string err = {}, bool msg = false)
      : file(std::move(f)), path(p), zoneOffset(zone), names(std::move(n)), sizes(std::move(s)),
        error(std::move(err)), message(msg) {}
};

const std::vector<TFixture>& Fixtures() {
  static const std::vector<TFixture> fixtures = {
      {"zip/test_compat_zip_1.zip", TPath::Central},
      {"zip/test_compat_zip_2.zip", TPath::Central},
      {"zip/test_compat_zip_3.zip", TPath::Central},
      {"zip/test_compat_zip_4.zip", TPath::Central, true},
      {"zip/test_compat_zip_5.zip", TPath::Central},
      {"zip/test_compat_zip_6.zip", TPath::Central},
      // Stored with a backslash; libarchive shows "arc/test".
      {"zip/test_compat_zip_8.zip", TPath::Central, false, {"arc\\test"}, {14}},
      {"zip/test_read_format_zip.zip", TPath::Central, true},
      // The central names carry OEM bytes; libarchive shows the names of the
      // Unicode path fields, or none where their checksum fails.
      {"zip/test_read_format_zip_7075_utf8_paths.zip", TPath::Central, false,
       {"File 1.txt", "File 2 - \x94.txt", "File 3 - \x84.txt", "File 4 - \x86.txt"}, {9, 9, 9, 9}},
      {"zip/test_read_format_zip_comment_stored_1.zip", TPath::Central, true},
      {"zip/test_read_format_zip_comment_stored_2.zip", TPath::Central, true},
      {"zip/test_read_format_zip_encryption_data.zip", TPath::Central},
      // The central directory is encrypted: the walk lists the masked local
      // names, then runs into the encrypted directory (libarchive: #error).
      {"zip/test_read_format_zip_encryption_header.zip", TPath::Walk, false, {"1", "2"}, {0, 0},
       "Error reading Zip File"},
      {"zip/test_read_format_zip_encryption_partially.zip", TPath::Central},
      // No end record: the walk finds the one member.
      {"zip/test_read_format_zip_extra_padding.zip", TPath::Walk, true, {"a"}, {2}},
      {"zip/test_read_format_zip_filename_cp866.zip", TPath::Central, true},
      {"zip/test_read_format_zip_filename_utf8_jp.zip", TPath::Central, true},
      {"zip/test_read_format_zip_filename_utf8_ru.zip", TPath::Central, true},
      {"zip/test_read_format_zip_high_compression.zip", TPath::Central, true},
      {"zip/test_read_format_zip_jar.jar", TPath::Central},
      {"zip/test_read_format_zip_length_at_end.zip", TPath::Central, true, {"hello.txt"}, {6}},
      {"zip/test_read_format_zip_mac_metadata.zip", TPath::Central, true},
      // 62 bytes, no end record, the one local header claims more data than
      // the file has: fallback scanning finds nothing more (libarchive lists
      // the header's claim, then stops with an error).
      {"zip/test_read_format_zip_malformed1.zip", TPath::Walk, false, {}, {}, "", true},
      // Directories stored without "/" ("def", "jkl"), marked by attributes.
      {"zip/test_read_format_zip_msdos.zip", TPath::Central, true, {"abc", "def", "def/foo", "ghi/", "jkl", "mno/"}},
      {"zip/test_read_format_zip_nested.zip", TPath::Central, true},
      {"zip/test_read_format_zip_nofiletype.zip", TPath::Central},
      {"zip/test_read_format_zip_padded1.zip", TPath::Central, true, {"file0", "file1"}, {6, 6}},
      {"zip/test_read_format_zip_padded2.zip", TPath::Central, true, {"file0", "file1"}, {6, 6}},
      {"zip/test_read_format_zip_padded3.zip", TPath::Central, true, {"file0", "file1"}, {6, 6}},
      {"zip/test_read_format_zip_pkware_unix.zip", TPath::Central},
      {"zip/test_read_format_zip_sfx", TPath::Central, true, {"file0", "build.sh"}, {0, 23}},
      {"zip/test_read_format_zip_size_exceeds_declared_stored.zip", TPath::Central, false, {"first", "second"},
       {10, 11}},
      // The symlink's size is its target's length ("file"); libarchive: 0.
      {"zip/test_read_format_zip_symlink.zip", TPath::Central, true, {"file", "symlink"}, {5, 4}},
      {"zip/test_read_format_zip_uncompressed_size_off_by_4gib.zip", TPath::Central, false, {"hello.txt"},
       {4294967301ULL}},
      {"zip/test_read_format_zip_ux.zip", TPath::Central, true},
      {"zip/test_read_format_zip_winzip_aes256_stored.zip", TPath::Central},
      // The traditional end record is all 0xFF: the ZIP64 one holds.
      {"zip/test_read_format_zip_with_invalid_traditional_eocd.zip", TPath::Central, false,
       {"test1.txt", "test2.txt"}, {0, 0}},
      {"zip/test_read_format_zip_zip64a.zip", TPath::Central, false, {"-"}, {6}},
      {"zip/test_read_format_zip_zip64b.zip", TPath::Central, false, {"-"}, {6}},
  };
  return fixtures;
}

TEST(ZipSharedFixtureTest, EveryFixtureIsInTheTable) {
  if (!fs::is_directory(kFixtures + "zip")) GTEST_SKIP() << "no fixtures at " << kFixtures;
  std::map<std::string, bool> known;
  for (const auto& f : Fixtures()) known[f.file] = true;
  for (const auto& entry : fs::directory_iterator(kFixtures + "zip"))
    EXPECT_TRUE(known.count("zip/" + entry.path().filename().string())) << entry.path();
}

TEST(ZipSharedFixtureTest, ListsAsLibarchiveThroughTheKnownDifferences) {
  if (!fs::is_directory(kFixtures + "zip")) GTEST_SKIP() << "no fixtures at " << kFixtures;
  std::map<std::string, bool> stopped;
  const auto refs = ReadReference(stopped);
  for (const auto& fx : Fixtures()) {
    SCOPED_TRACE(fx.file);
    const std::string base = fs::path(fx.file).filename().string();
    const TResult r = List(kFixtures + fx.file);
    EXPECT_EQ(r.fromCentral, fx.path == TPath::Central);
    EXPECT_EQ(r.error.value_or(""), fx.error);
    EXPECT_EQ(r.messages, fx.message ? std::vector<std::string>{kNoEntries} : std::vector<std::string>{});
    if (!fx.names.empty() || fx.message) {
      EXPECT_EQ(r.Names(), fx.names);
    }
    if (!fx.sizes.empty()) {
      std::vector<uint64_t> sizes;
      for (const auto& e : r.entries) sizes.push_back(e.UncompressedSize);
      EXPECT_EQ(sizes, fx.sizes);
    }
    ASSERT_TRUE(refs.count(base));
    const auto& ref = refs.at(base);
    if (stopped.count(base)) continue;  // libarchive stopped: compared by the table above
    ASSERT_EQ(r.entries.size(), ref.size());
    for (size_t i = 0; i < ref.size(); ++i) {
      const ZipDirEntry& e = r.entries[i];
      const TRef& x = ref[i];
      SCOPED_TRACE(x.name);
      EXPECT_EQ(e.FileNameLength, e.FileName.size());
      // Names: bytes as stored; libarchive turns "\" into "/", adds "/" to
      // directories marked only by attributes and gives up on some UTF-8
      // or takes the Unicode path field's name.
      if (x.name != "(null)" && base != "test_read_format_zip_7075_utf8_paths.zip") {
        std::string name = e.FileName;
        for (char& c : name)
          if (c == '\\') c = '/';
        if (x.type == 'd' && (name.empty() || name.back() != '/')) name += '/';
        EXPECT_EQ(name, x.name);
      }
      if (x.type == 'd') {
        EXPECT_EQ(e.UncompressedSize, 0u);
      }
      if (x.type != 'l') {
        EXPECT_EQ(e.UncompressedSize, x.size);
      }
      const int64_t diff = ParseUtc(x.mtime) - DosAsUtc(e.DosDateTime);
      if (!fx.zoneOffset) {
        EXPECT_EQ(diff, 0) << x.mtime;
      } else {
        const int64_t rest = ((diff % 900) + 900) % 900;
        EXPECT_TRUE(diff >= -14 * 3600 && diff <= 14 * 3600 && (rest <= 1 || rest >= 899)) << x.mtime << " " << diff;
      }
    }
  }
}

// Every real archive read by the local-header walk alone (its end records
// made unrecognisable) gives the same members as its central directory, where
// the local headers hold the same.
TEST_F(ZipTest, SharedFixturesLocalWalkAgreesWithTheCentralDirectory) {
  if (!fs::is_directory(kFixtures + "zip")) GTEST_SKIP() << "no fixtures at " << kFixtures;
  for (const auto& fx : Fixtures()) {
    if (fx.path != TPath::Central) continue;
    SCOPED_TRACE(fx.file);
    std::ifstream in(kFixtures + fx.file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::string& sig : {std::string("PK\x05\x06"), std::string("PK\x06\x06")})
      for (size_t p = bytes.find(sig); p != std::string::npos; p = bytes.find(sig, p + 1)) bytes[p + 3] = 0;
    const std::string base = fs::path(fx.file).filename().string();
    const TResult walk = List(Write(base, bytes));
    const TResult central = List(kFixtures + fx.file);
    EXPECT_FALSE(walk.fromCentral);
    if (base == "test_compat_zip_2.zip") {
      // Six bytes between the members: read as signatures four at a time,
      // the walk loses its step and ends at the end of the file.
      EXPECT_EQ(walk.Names(), std::vector<std::string>{"file1"});
      EXPECT_EQ(walk.error.value_or(""), "Error reading Zip File");
      continue;
    }
    EXPECT_FALSE(walk.error) << *walk.error;
    ASSERT_EQ(walk.entries.size(), central.entries.size());
    for (size_t i = 0; i < walk.entries.size(); ++i) {
      // The local names of this one are plain ASCII; the central ones carry
      // the raw bytes its Unicode path fields replace.
      if (base != "test_read_format_zip_7075_utf8_paths.zip") {
        EXPECT_EQ(walk.entries[i].FileName, central.entries[i].FileName);
      }
      EXPECT_EQ(walk.entries[i].UncompressedSize, central.entries[i].UncompressedSize) << i;
      EXPECT_EQ(walk.entries[i].CompressedSize, central.entries[i].CompressedSize) << i;
      EXPECT_EQ(walk.entries[i].DosDateTime, central.entries[i].DosDateTime) << i;
      EXPECT_EQ(walk.entries[i].Method, central.entries[i].Method) << i;
    }
  }
}

TEST(ZipSharedFixtureTest, AgreesWithZipinfoWhereInstalled) {
  if (!fs::is_directory(kFixtures + "zip")) GTEST_SKIP() << "no fixtures at " << kFixtures;
  if (::access("/usr/bin/zipinfo", X_OK) != 0) GTEST_SKIP() << "zipinfo not installed";
  for (const std::string name : {"test_compat_zip_5.zip", "test_read_format_zip_sfx", "test_read_format_zip_zip64a.zip",
                                 "test_read_format_zip_filename_utf8_jp.zip"}) {
    SCOPED_TRACE(name);
    const std::string file = kFixtures + "zip/" + name;
    // "zipinfo -1" prints the names as stored, one per line.
    FILE* p = ::popen(("/usr/bin/zipinfo -1 '" + file + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    std::vector<std::string> names;
    std::stringstream ss(out);
    for (std::string line; std::getline(ss, line);) names.push_back(line);
    EXPECT_EQ(List(file).Names(), names);
  }
}

// ---------------------------------------------------------------------------
// Written archives

TEST_F(ZipTest, TwoStoredMembersThenTheCentralDirectory) {
  TZipWriter w;
  w.Add({"a.txt", "hello"}).Add({"docs/readme.txt", std::string(300, 'r'), 0, 0x41667BBC}).Finish();
  const TResult r = List(Write("two.zip", w.bytes));
  EXPECT_TRUE(r.fromCentral);
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.messages.empty());
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].FileName, "a.txt");
  EXPECT_EQ(r.entries[0].UncompressedSize, 5u);
  EXPECT_EQ(r.entries[0].CompressedSize, 5u);
  EXPECT_EQ(r.entries[0].DosDateTime, kDos);
  EXPECT_EQ(r.entries[0].DosDate(), kDos >> 16);
  EXPECT_EQ(r.entries[0].DosTime(), kDos & 0xFFFF);
  EXPECT_EQ(r.entries[0].Crc32, 0x12345678u);
  EXPECT_EQ(r.entries[0].VersionNeeded, 20);
  EXPECT_EQ(r.entries[1].FileName, "docs/readme.txt");  // kept whole, "/" as stored
  EXPECT_EQ(r.entries[1].UncompressedSize, 300u);
  EXPECT_EQ(r.entries[1].DosDateTime, 0x41667BBCu);
}

TEST_F(ZipTest, NoLocalHeaderShowsTheMessageAndListsNothing) {
  const TResult r = List(Write("none.zip", std::string(5000, 'P') + "PK\x03" + std::string(100, 'K')));
  EXPECT_TRUE(r.entries.empty());
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.messages, std::vector<std::string>{kNoEntries});
  // With the flag clear: no box.
  EXPECT_TRUE(List(Path("none.zip"), false).messages.empty());
  // No host: no box and no crash.
  TZip zip;
  zip.SetZipFilename(Path("none.zip"));
  EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipTest, TheSearchGivesUpAfter60000Bytes) {
  TZipWriter w(std::string(60001, 'x'));
  w.Add({"late.txt", "data"});
  w.bytes += "PK\x01\x02" + std::string(30, 'z');
  const TResult r = List(Write("far.zip", w.bytes));
  EXPECT_TRUE(r.entries.empty());
  EXPECT_EQ(r.messages, std::vector<std::string>{kNoEntries});
  // Within the limit it is found.
  TZipWriter near(std::string(59990, 'x'));
  near.Add({"late.txt", "data"});
  near.bytes += "PK\x01\x02" + std::string(30, 'z');
  EXPECT_EQ(List(Write("near.zip", near.bytes)).Names(), std::vector<std::string>{"late.txt"});
}

TEST_F(ZipTest, EmptyFile) {
  const TResult r = List(Write("empty.zip", ""));
  EXPECT_TRUE(r.entries.empty());
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.messages, std::vector<std::string>{kNoEntries});
}

TEST_F(ZipTest, MissingFileRaisesTheEventWithAnEmptyList) {
  const TResult r = List(Path("missing.zip"));
  EXPECT_TRUE(r.entries.empty());
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.updates, 1);
}

TEST_F(ZipTest, AFifoIsNotOpenedBlocking) {
  ASSERT_EQ(::mkfifo(Path("pipe.zip").c_str(), 0600), 0);
  const TResult r = List(Path("pipe.zip"));
  EXPECT_TRUE(r.entries.empty());
  EXPECT_FALSE(r.error);
}

TEST_F(ZipTest, RereadingEmptiesTheList) {
  TZipWriter w;
  w.Add({"a", "1"}).Add({"b", "2"}).Finish();
  TZip zip;
  zip.SetZipFilename(Write("x.zip", w.bytes));
  EXPECT_EQ(zip.Count(), 2);
  zip.SetZipFilename(Path("gone.zip"));
  EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipTest, EmptyCentralDirectoryListsNothingWithoutTheMessage) {
  TZipWriter w;
  w.Finish();
  ASSERT_EQ(w.bytes.size(), 22u);
  const TResult r = List(Write("empty-cd.zip", w.bytes));
  EXPECT_TRUE(r.fromCentral);
  EXPECT_TRUE(r.entries.empty());
  EXPECT_TRUE(r.messages.empty());
  EXPECT_FALSE(r.error);
}

TEST_F(ZipTest, EndRecordWithACommentIsFound) {
  TZipWriter w;
  w.Add({"a", "1"}).Finish(0, std::string(65535, 'c'));
  const TResult r = List(Write("comment.zip", w.bytes));
  EXPECT_TRUE(r.fromCentral);
  EXPECT_EQ(r.Names(), std::vector<std::string>{"a"});
}

TEST_F(ZipTest, LongNamesAreKeptWhole) {
  const std::string name = "dir/" + std::string(296, 'n');
  ASSERT_EQ(name.size(), 300u);
  TZipWriter w;
  w.Add({name, "x"}).Finish();
  EXPECT_EQ(List(Write("long.zip", w.bytes)).Names(), std::vector<std::string>{name});
  // And in the local walk (no end record).
  TZipWriter walk;
  walk.Add({name, "x"});
  walk.bytes += walk.central;
  const TResult r = List(Write("long-walk.zip", walk.bytes));
  EXPECT_FALSE(r.fromCentral);
  EXPECT_EQ(r.Names(), std::vector<std::string>{name});
  EXPECT_EQ(r.entries[0].FileNameLength, 300);
}

TEST_F(ZipTest, NamesAreBytesAsStored) {
  const std::string cp866 = "\x8f\xe0\xa8\xa2\xa5\xe2.txt";
  TZipWriter w;
  w.Add({cp866, "x"}).Finish();
  EXPECT_EQ(List(Write("oem.zip", w.bytes)).Names(), std::vector<std::string>{cp866});
}

TEST_F(ZipTest, SelfExtractorWithOffsetsFromTheArchiveStart) {
  const std::string stub(20000, 's');
  TZipWriter w(stub);
  w.Add({"one", "1111"}, stub.size()).Add({"two", "22"}, stub.size()).Finish(stub.size());
  for (const std::string name : {"rel.exe", "rel.zip"}) {
    const TResult r = List(Write(name, w.bytes));
    EXPECT_TRUE(r.fromCentral) << name;
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"one", "two"})) << name;
  }
}

TEST_F(ZipTest, ExeWhoseArchiveStartsAfterByte14000) {
  const std::string stub(15000, 's');
  TZipWriter w(stub);
  w.Add({"one", "1111"}).Add({"two", "22"}).Finish();
  TResult r = List(Write("setup.EXE", w.bytes));
  EXPECT_TRUE(r.fromCentral);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"one", "two"}));
  // Without the end record: the walk from byte 14000 finds them too.
  TZipWriter walk(stub);
  walk.Add({"one", "1111"}).Add({"two", "22"});
  walk.bytes += walk.central;
  r = List(Write("setup.Exe", walk.bytes));
  EXPECT_FALSE(r.fromCentral);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(ZipTest, ExeWithoutCentralDirectoryIsWalkedFromByte14000) {
  TZipWriter w(std::string(100, 's'));
  w.Add({"early.txt", std::string(20000, 'e')}).Add({"late.txt", "late"});
  w.bytes += w.central;  // central headers, but no end record
  const TResult exe = List(Write("sfx.exe", w.bytes));
  EXPECT_FALSE(exe.fromCentral);
  EXPECT_EQ(exe.Names(), std::vector<std::string>{"late.txt"});
  EXPECT_FALSE(exe.error);
  const TResult zip = List(Write("sfx.zip", w.bytes));
  EXPECT_EQ(zip.Names(), (std::vector<std::string>{"early.txt", "late.txt"}));
  // An .exe shorter than 14000 bytes: nothing to find.
  TZipWriter small;
  small.Add({"a", "1"}).Add({"b", "2"});
  small.bytes += small.central;
  const TResult tiny = List(Write("tiny.exe", small.bytes));
  EXPECT_TRUE(tiny.entries.empty());
  EXPECT_EQ(tiny.messages, std::vector<std::string>{kNoEntries});
}

TEST_F(ZipTest, DataDescriptorsInTheLocalWalk) {
  TZipWriter w;
  TMember a{"a.bin", "PK data with PK\x07\x08 inside"};
  a.descriptor = true;
  a.crc = 0xCAFEBABE;
  TMember b{"b.bin", std::string(70000, 'b')};  // longer than one read chunk
  b.descriptor = true;
  b.descriptorSig = false;
  TMember dir{"dir/", ""};
  dir.descriptor = true;
  w.Add(a).Add(b).Add(dir).Add({"c.txt", "ccc"});
  w.bytes += w.central;  // no end record: the walk
  const TResult r = List(Write("dd.zip", w.bytes));
  EXPECT_FALSE(r.fromCentral);
  EXPECT_FALSE(r.error) << *r.error;
  ASSERT_EQ(r.Names(), (std::vector<std::string>{"a.bin", "b.bin", "dir/", "c.txt"}));
  EXPECT_EQ(r.entries[0].UncompressedSize, a.data.size());
  EXPECT_EQ(r.entries[0].CompressedSize, a.data.size());
  EXPECT_EQ(r.entries[0].Crc32, 0xCAFEBABEu);
  EXPECT_EQ(r.entries[1].UncompressedSize, 70000u);
  EXPECT_EQ(r.entries[2].UncompressedSize, 0u);
  EXPECT_EQ(r.entries[3].UncompressedSize, 3u);
  // With the end record the central directory gives the same.
  w.bytes.clear();
  TZipWriter full;
  full.Add(a).Add(b).Add(dir).Add({"c.txt", "ccc"}).Finish();
  const TResult c = List(Write("dd-cd.zip", full.bytes));
  EXPECT_TRUE(c.fromCentral);
  EXPECT_EQ(c.Names(), r.Names());
}

// The local walk's errors, raised after OnDirUpdate with the records so far.
TEST_F(ZipTest, ErrorReadingZipFileWhenTheSignatureIsShort) {
  TZipWriter w;
  w.Add({"a", "1"});
  w.bytes += std::string(22, 'x');  // five unknown "signatures", then two bytes
  const TResult r = List(Write("short.zip", w.bytes));
  EXPECT_EQ(r.Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(r.error.value_or(""), "Error reading Zip File");
  EXPECT_EQ(r.entriesAtUpdate, 1);
}

TEST_F(ZipTest, Error2WhenTheSecondHeaderIsShort) {
  TZipWriter w;
  w.Add({"a", "1"});
  w.bytes += "PK\x03\x04" + std::string(18, '\0');
  const TResult r = List(Write("e2.zip", w.bytes));
  EXPECT_EQ(r.Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(r.error.value_or(""), "Error 2 reading Zip file");
  EXPECT_EQ(r.entriesAtUpdate, 1);
  // A short first header: back to scanning, which finds nothing more.
  const TResult first = List(Write("e2first.zip", "PK\x03\x04" + std::string(10, '\0')));
  EXPECT_TRUE(first.entries.empty());
  EXPECT_FALSE(first.error);
  EXPECT_EQ(first.messages, std::vector<std::string>{kNoEntries});
}

TEST_F(ZipTest, Error3OrQuietStopWhenDataRunsPastTheEnd) {
  TZipWriter w;
  w.Add({"a", "1"}).Add({"b", std::string(100, 'b')});
  w.bytes.resize(w.bytes.size() - 50);  // b's data runs past the end
  w.bytes += std::string(22, 'x');
  const std::string file = Write("e3.zip", w.bytes);
  const TResult shown = List(file, true);
  EXPECT_EQ(shown.Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(shown.error.value_or(""), "Error 3 reading Zip file");
  EXPECT_EQ(shown.entriesAtUpdate, 1);
  const TResult quiet = List(file, false);
  EXPECT_EQ(quiet.Names(), std::vector<std::string>{"a"});
  EXPECT_FALSE(quiet.error);
  EXPECT_TRUE(quiet.messages.empty());
  // The first member too long: back to scanning, which finds the next header
  // inside the claimed data.
  TZipWriter first;
  TMember big{"big", std::string(40, 'z')};
  first.bytes = TZipWriter::Local(big, true);
  first.bytes.replace(18, 4, L32(1000000));  // compressed size
  first.Add({"inner", "x"});
  first.bytes += first.central;
  EXPECT_EQ(List(Write("e3first.zip", first.bytes)).Names(), std::vector<std::string>{"inner"});
}

TEST_F(ZipTest, UnknownSignaturesAreSkippedFourBytesAtATime) {
  TZipWriter w;
  w.Add({"a", "1"});
  w.bytes += "JUNKPK\x07\x08";
  w.Add({"b", "2"});
  w.bytes += w.central;
  const TResult r = List(Write("skip.zip", w.bytes));
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(r.error);
}

TEST_F(ZipTest, BrokenCentralDirectoryFallsBackToTheWalk) {
  TZipWriter w;
  w.Add({"a", "1"}).Add({"b", "2"}).Finish();
  std::string bytes = w.bytes;
  bytes.replace(bytes.size() - 6, 4, L32(3));  // CD offset wrong, and not "before the end record" either
  bytes.replace(bytes.size() - 10, 4, L32(1000));  // CD size beyond it
  const TResult r = List(Write("broken.zip", bytes));
  EXPECT_FALSE(r.fromCentral);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"a", "b"}));
}

// The directory is read until its size is used up; its entry count is checked
// afterwards. A 16-bit count that wrapped past 65,535 entries is no damage;
// any other disagreement is reported with every entry kept.
TEST_F(ZipTest, TheDirectorySizeDecidesAndTheCountIsChecked) {
  TZipWriter w;
  w.Add({"a", "1"}).Add({"b", "2"}).Finish();
  const auto withCount = [&](uint16_t count) {
    std::string bytes = w.bytes;
    bytes.replace(bytes.size() - 12, 2, L16(count));
    bytes.replace(bytes.size() - 14, 2, L16(count));
    return bytes;
  };
  const struct {
    const char* name;
    uint16_t count;
  } table[] = {{"a count no directory of this size can hold", 60000}, {"a count too small", 1}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const TResult r = List(Write("count.zip", withCount(row.count)));
    EXPECT_TRUE(r.fromCentral);
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.error.value_or(""), "Zip directory damaged: 2 entries in " + std::to_string(w.central.size()) +
                                        " bytes, the end record counts " + std::to_string(row.count));
  }

  // 65,537 members without ZIP64 records: the count reads 1.
  TZipWriter many;
  for (int i = 0; i < 65537; ++i) many.Add({"m" + std::to_string(i), ""});
  many.Finish();
  const TResult wrapped = List(Write("wrapped.zip", many.bytes));
  EXPECT_TRUE(wrapped.fromCentral);
  EXPECT_FALSE(wrapped.error);
  ASSERT_EQ(wrapped.entries.size(), 65537u);
  EXPECT_EQ(wrapped.entries.back().FileName, "m65536");
}

// ZIP64: sizes above 4 GiB in the central directory, with the ZIP64 end
// record and its locator; no member data is needed to list the members.
TEST_F(ZipTest, Zip64SizesInTheCentralDirectory) {
  const uint64_t big = 5ULL << 30, packed = (4ULL << 30) + 17;
  const std::string stub = "stub";
  std::string b = stub;
  const uint64_t local = b.size();
  const std::string name = "huge.bin";
  b += "PK\x03\x04" + L16(45) + L16(0) + L16(8) + L32(kDos) + L32(0xABCDEF01) + L32(0xFFFFFFFF) + L32(0xFFFFFFFF) +
       L16(name.size()) + L16(20) + name + L16(1) + L16(16) + L64(big) + L64(packed);
  const uint64_t cdStart = b.size();
  std::string cd = "PK\x01\x02" + L16(0x032D) + L16(45) + L16(0) + L16(8) + L32(kDos) + L32(0xABCDEF01) +
                   L32(0xFFFFFFFF) + L32(0xFFFFFFFF) + L16(name.size()) + L16(28) + L16(0) + L16(0) + L16(0) +
                   L32(0) + L32(0xFFFFFFFF) + name + L16(1) + L16(24) + L64(big) + L64(packed) + L64(local);
  const std::string small = "small";
  cd += "PK\x01\x02" + L16(0x032D) + L16(20) + L16(0) + L16(0) + L32(kDos) + L32(0) + L32(3) + L32(3) +
        L16(small.size()) + L16(0) + L16(0) + L16(0) + L16(0) + L32(0) + L32(local) + small;
  b += cd;
  const uint64_t z64 = b.size();
  b += "PK\x06\x06" + L64(44) + L16(45) + L16(45) + L32(0) + L32(0) + L64(2) + L64(2) + L64(cd.size()) + L64(cdStart);
  b += "PK\x06\x07" + L32(0) + L64(z64) + L32(1);
  b += "PK\x05\x06" + L16(0) + L16(0) + L16(0xFFFF) + L16(0xFFFF) + L32(0xFFFFFFFF) + L32(0xFFFFFFFF) + L16(0);
  TResult r = List(Write("z64.zip", b));
  EXPECT_TRUE(r.fromCentral);
  ASSERT_EQ(r.Names(), (std::vector<std::string>{"huge.bin", "small"}));
  EXPECT_EQ(r.entries[0].UncompressedSize, big);
  EXPECT_EQ(r.entries[0].CompressedSize, packed);
  EXPECT_EQ(r.entries[0].Crc32, 0xABCDEF01u);
  EXPECT_EQ(r.entries[0].Method, 8);
  EXPECT_EQ(r.entries[1].UncompressedSize, 3u);

  // Prepended data shifts every stored offset, the ZIP64 ones included.
  r = List(Write("z64.exe", std::string(16000, 'p') + b));
  EXPECT_TRUE(r.fromCentral);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"huge.bin", "small"}));
  EXPECT_EQ(r.entries[0].UncompressedSize, big);
}

TEST_F(ZipTest, Zip64LocalSizesInTheWalk) {
  const std::string name = "z.bin";
  std::string b = "PK\x03\x04" + L16(45) + L16(0) + L16(0) + L32(kDos) + L32(0) + L32(0xFFFFFFFF) +
                  L32(0xFFFFFFFF) + L16(name.size()) + L16(20) + name + L16(1) + L16(16) + L64(9) + L64(4) + "data";
  b += "PK\x01\x02" + std::string(40, '\0');
  const TResult r = List(Write("z64walk.zip", b));
  EXPECT_FALSE(r.fromCentral);
  ASSERT_EQ(r.Names(), std::vector<std::string>{"z.bin"});
  EXPECT_EQ(r.entries[0].UncompressedSize, 9u);
  EXPECT_EQ(r.entries[0].CompressedSize, 4u);
}

}  // namespace
}  // namespace tw
