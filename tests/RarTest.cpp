// The RAR lister (TRAR over our header reader) against the real archives of
// the libarchive test corpus, checked against libarchive's own listing, and
// against archives written here byte by byte for the cases the corpus lacks.
#include "core/archRAR.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "core/RarReader.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "fixtures" / "archives";
const fs::path kRarDir = kFixtures / "rar";

#define REQUIRE_FIXTURES()                                                          \
  if (!fs::is_directory(kRarDir)) GTEST_SKIP() << "fixtures missing: " << kRarDir; \
  static_cast<void>(0)

// ---------------------------------------------------------------------------
// Writing archives

uint32_t Crc32(const std::string& s) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

std::string Le(uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
std::string L16(uint64_t v) { return Le(v, 2); }
std::string L32(uint64_t v) { return Le(v, 4); }

constexpr uint32_t kDos = 0x3E7454C9;  // 2011-03-20 10:38:18
const std::string kMarker4("Rar!\x1A\x07\x00", 7);
const std::string kMarker5("Rar!\x1A\x07\x01\x00", 8);

// RAR 4 block: HEAD_CRC, HEAD_TYPE, HEAD_FLAGS, HEAD_SIZE, then the fields.
std::string Block4(uint8_t type, uint16_t flags, const std::string& fields) {
  const std::string h = std::string(1, static_cast<char>(type)) + L16(flags) + L16(7 + fields.size()) + fields;
  return L16(Crc32(h) & 0xFFFF) + h;
}

std::string Main4(uint16_t flags = 0, const std::string& extra = {}) {
  return kMarker4 + Block4(0x73, flags, L16(0) + L32(0) + extra);
}
std::string End4() { return Block4(0x7B, 0x4000, ""); }

struct TFile4 {
  std::string name;  // the stored name field
  std::string data = "abc";
  uint16_t flags = 0;
  uint64_t unpSize = 3;
  uint8_t host = 2;
  uint32_t attr = 0x20;
  uint8_t method = 0x30;
  uint32_t crc = 0x0ABCDEF0;
  uint8_t type = 0x74;
};

std::string File4(const TFile4& f) {
  const bool large = f.flags & 0x100;
  const uint64_t pack = f.data.size();
  std::string fields = L32(pack & 0xFFFFFFFF) + L32(f.unpSize & 0xFFFFFFFF) + std::string(1, static_cast<char>(f.host)) +
                       L32(f.crc) + L32(kDos) + std::string(1, 29) + std::string(1, static_cast<char>(f.method)) +
                       L16(f.name.size()) + L32(f.attr);
  if (large) fields += L32(pack >> 32) + L32(f.unpSize >> 32);
  fields += f.name;
  return Block4(f.type, static_cast<uint16_t>(f.flags | 0x8000), fields) + f.data;
}

std::string V(uint64_t v) {
  std::string s;
  do {
    uint8_t b = v & 0x7F;
    v >>= 7;
    if (v) b |= 0x80;
    s += static_cast<char>(b);
  } while (v);
  return s;
}

// RAR 5 header: CRC32, size, type, flags, [extra size], [data size], fields, extra.
std::string Block5(uint64_t type, uint64_t flags, const std::string& fields, const std::string& extra = {},
                   const std::string* data = nullptr) {
  if (!extra.empty()) flags |= 0x01;
  if (data) flags |= 0x02;
  std::string inner = V(type) + V(flags);
  if (!extra.empty()) inner += V(extra.size());
  if (data) inner += V(data->size());
  inner += fields + extra;
  const std::string sized = V(inner.size()) + inner;
  return L32(Crc32(sized)) + sized + (data ? *data : std::string());
}

std::string Main5(uint64_t archiveFlags = 0) { return kMarker5 + Block5(1, 0, V(archiveFlags)); }
std::string End5(uint64_t endFlags = 0) { return Block5(5, 0, V(endFlags)); }

struct TFile5 {
  std::string name;
  std::string data = "abc";
  uint64_t unpSize = 3;
  uint64_t fileFlags = 0x04;  // CRC present
  uint64_t host = 0;
  uint64_t attr = 0x20;
  uint64_t compInfo = 0;
  uint32_t mtime = 0;
  std::string extra;
  uint64_t type = 2;
};

std::string File5(const TFile5& f) {
  std::string fields = V(f.fileFlags) + V(f.unpSize) + V(f.attr);
  if (f.fileFlags & 0x02) fields += L32(f.mtime);
  if (f.fileFlags & 0x04) fields += L32(Crc32(f.data));
  fields += V(f.compInfo) + V(f.host) + V(f.name.size()) + f.name;
  return Block5(f.type, 0, fields, f.extra, &f.data);
}

std::string ExtraRecord(uint64_t type, const std::string& body) {
  const std::string inner = V(type) + body;
  return V(inner.size()) + inner;
}

// A temporary folder, removed with everything in it.
struct TTempDir {
  fs::path path;
  TTempDir() {
    path = fs::temp_directory_path() /
           ("tarnwex_rar_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TTempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const fs::path file = path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    return file.string();
  }
};

// ---------------------------------------------------------------------------
// Listing

struct TRun {
  std::vector<TDFRARHeaderData> members;
  std::vector<std::pair<std::string, int>> errors;
  std::vector<int> statuses;
  std::vector<std::string> comments;
  std::vector<std::pair<std::string, int>> volumeRequests;
  std::string archivComment;
  int commentSize = 0;

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& m : members) names.push_back(m.FileName);
    return names;
  }
  std::vector<std::string> ErrorKeys() const {
    std::vector<std::string> keys;
    for (const auto& e : errors) keys.push_back(e.first);
    return keys;
  }
};

TRun List(const std::string& file, const std::function<void(TRAR&)>& setup = {}) {
  TRAR rar;
  TRun r;
  rar.FileName = file;
  rar.Mode = DFRAR_LIST;
  rar.OnFileProcessing = [&r](TRAR&, const TDFRARHeaderData& d, int status) {
    EXPECT_EQ(status, 0);
    r.members.push_back(d);
  };
  rar.OnError = [&r](TRAR&, const std::string& key, int code) { r.errors.emplace_back(key, code); };
  rar.OnRarStatus = [&r](TRAR&, const std::string&, int status) { r.statuses.push_back(status); };
  rar.OnComment = [&r](TRAR&, const std::string& c) { r.comments.push_back(c); };
  if (setup) setup(rar);
  rar.Run();
  r.archivComment = rar.ArchivComment();
  r.commentSize = rar.CommentSize();
  EXPECT_FALSE(r.statuses.empty());
  if (!r.statuses.empty()) { EXPECT_EQ(r.statuses.back(), RAR_AFTERCLOSE) << file; }
  return r;
}

TDateParts Parts(TDateTime t) {
  TDateParts p;
  EXPECT_TRUE(TryDecodeDateTime(t, p));
  return p;
}

// Days from 1970-01-01 (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t Seconds(const TDateParts& p) {
  return DaysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

int64_t Seconds(const std::string& text) {  // "YYYY-MM-DD HH:MM:SS"
  TDateParts p;
  std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour, &p.minute, &p.second);
  return Seconds(p);
}

// ---------------------------------------------------------------------------
// The fixtures against libarchive's listing

struct TRefRow {
  std::string name, type, mtime;
  uint64_t size = 0;
  bool encrypted = false;
};

std::map<std::string, std::vector<TRefRow>> ReadReference() {
  std::map<std::string, std::vector<TRefRow>> rows;
  std::ifstream in(kFixtures / "rar-libarchive.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) f.push_back(cell);
    if (f.size() < 6 || f[1].starts_with("#error")) continue;
    rows[f[0]].push_back({f[1], f[2], f[4], std::stoull(f[3]), f[5] == "1"});
  }
  return rows;
}

// The catalogue's name for libarchive's: backslashes, and without the ";n"
// libarchive appends for a file-version record.
std::string CatalogName(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  const size_t semi = name.rfind(';');
  if (semi != std::string::npos && semi + 1 < name.size() &&
      name.find_first_not_of("0123456789", semi + 1) == std::string::npos)
    name.erase(semi);
  return name;
}

bool IsRar4(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(2 * 1024 * 1024, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const size_t at = head.find("Rar!\x1A\x07");
  return at != std::string::npos && at + 6 < head.size() && head[at + 6] == 0;
}

struct TFixtureCase {
  std::string file;
  // The error keys the run ends with, in order.
  std::vector<std::string> errors;
  // Compared member by member with libarchive's listing.
  bool compare;
  // Members listed when not compared.
  size_t members = 0;
};

const std::vector<TFixtureCase>& FixtureCases() {
  static const std::vector<TFixtureCase> cases = {
      {"test_read_format_rar.rar", {}, true},
      {"test_read_format_rar4_encrypted.rar", {}, true},
      {"test_read_format_rar4_encrypted_filenames.rar", {"txtRarMSG2", "txtRarMSG17"}, false, 0},
      {"test_read_format_rar5_block_size_is_too_small.rar", {"txtRarMSG5"}, false, 0},
      // A member continued in a volume that does not exist.
      {"test_read_format_rar5_bytes_remaining_underflow.rar", {"txtRarMSG8"}, true},
      {"test_read_format_rar5_compressed.rar", {}, true},
      {"test_read_format_rar5_dirdata.rar", {"txtRarMSG5"}, false, 0},
      {"test_read_format_rar5_encrypted.rar", {}, true},
      {"test_read_format_rar5_encrypted_filenames.rar", {"txtRarMSG2", "txtRarMSG17"}, false, 0},
      {"test_read_format_rar5_extra_field_version.rar", {}, true},
      {"test_read_format_rar5_fileattr.rar", {}, true},
      {"test_read_format_rar5_hardlink.rar", {}, true},
      {"test_read_format_rar5_main_block_extra_bytes.rar", {}, false, 1},
      {"test_read_format_rar5_multiarchive.part01.rar", {}, true},
      {"test_read_format_rar5_multiple_files.rar", {}, true},
      {"test_read_format_rar5_only_crypt_exfld.rar", {}, true},
      {"test_read_format_rar5_owner.rar", {}, true},
      {"test_read_format_rar5_owner_name_toolong.rar", {"txtRarMSG17"}, false, 1},
      {"test_read_format_rar5_sfx.exe", {}, true},
      {"test_read_format_rar5_skip_block_extra_bytes.rar", {}, false, 1},
      {"test_read_format_rar5_stored.rar", {}, true},
      {"test_read_format_rar5_stored_manyfiles.rar", {}, true},
      {"test_read_format_rar5_symlink.rar", {}, true},
      {"test_read_format_rar5_unicode.rar", {}, true},
      {"test_read_format_rar5_unsupported_exfld.rar", {}, true},
      {"test_read_format_rar5_win32.rar", {}, true},
      {"test_read_format_rar_compress_normal.rar", {}, true},
      {"test_read_format_rar_encryption_data.rar", {}, true},
      {"test_read_format_rar_encryption_header.rar", {"txtRarMSG2", "txtRarMSG17"}, false, 0},
      {"test_read_format_rar_endarc_huge.rar", {"txtRarMSG6"}, false, 0},
      // The member's data runs past the end of the file.
      {"test_read_format_rar_invalid1.rar", {"txtRarMSG5"}, true},
      {"test_read_format_rar_multivolume.part0001.rar", {}, true},
      {"test_read_format_rar_newsub_huge.rar", {"txtRarMSG6"}, false, 0},
      {"test_read_format_rar_noeof.rar", {}, true},
      {"test_read_format_rar_sfx.exe", {}, true},
      {"test_read_format_rar_subblock.rar", {}, true},
      {"test_read_format_rar_symlink_huge.rar", {"txtRarMSG6"}, false, 0},
      {"test_read_format_rar_unicode.rar", {}, true},
      {"test_read_format_rar_windows.rar", {}, true},
  };
  return cases;
}

// Members libarchive lists with size 0 (hard links) whose headers state the size.
const std::map<std::string, uint64_t> kStoredSizes = {
    {"hardlink.txt", 5},
    {"\xE2\x92\xBD\xE2\x93\x90\xE2\x93\xA1\xE2\x93\x93 \xE2\x93\x81\xE2\x93\x98\xE2\x93\x9D\xE2\x93\x9A.txt", 13},
};

bool IsFirstVolume(const std::string& name) {
  return name.find(".part") == std::string::npos || name.find(".part01.") != std::string::npos ||
         name.find(".part0001.") != std::string::npos;
}

TEST(RarSharedFixtures, EveryArchiveInTheFolderIsListedAndInTheTable) {
  REQUIRE_FIXTURES();
  std::set<std::string> known;
  for (const auto& c : FixtureCases()) known.insert(c.file);
  for (const auto& entry : fs::directory_iterator(kRarDir)) {
    const std::string name = entry.path().filename().string();
    // Later volumes started on their own: no crash, a proper end.
    List(entry.path().string());
    if (IsFirstVolume(name)) { EXPECT_TRUE(known.count(name)) << name << " has no case"; }
  }
}

class RarSharedFixture : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(RarSharedFixture, ListsAsLibarchiveDoesWithinTheCatalogRules) {
  REQUIRE_FIXTURES();
  const TFixtureCase& c = GetParam();
  const std::string file = (kRarDir / c.file).string();
  ASSERT_TRUE(fs::exists(file)) << file;
  const TRun r = List(file);
  EXPECT_EQ(r.ErrorKeys(), c.errors);
  if (!c.compare) {
    EXPECT_EQ(r.members.size(), c.members);
    return;
  }

  // A member continued from an earlier volume is reported again by each
  // volume; libarchive's listing of the set names it once.
  std::vector<TDFRARHeaderData> ours;
  for (const auto& m : r.members)
    if (!m.ContinuedFromPrev) ours.push_back(m);
  std::vector<TRefRow> ref;
  const auto rows = ReadReference();
  std::set<std::string> seen;
  const bool isSet = c.file.find(".part0") != std::string::npos;
  for (const auto& [refFile, list] : rows) {
    const bool sameSet = refFile == c.file || (isSet &&
                                               refFile.substr(0, refFile.find(".part")) ==
                                                   c.file.substr(0, c.file.find(".part")));
    if (!sameSet) continue;
    for (const auto& row : list)
      if (!isSet || seen.insert(row.name).second) ref.push_back(row);
  }
  ASSERT_EQ(ours.size(), ref.size()) << c.file;
  const bool dosTimes = IsRar4(file);
  for (size_t i = 0; i < ref.size(); ++i) {
    const TDFRARHeaderData& m = ours[i];
    const TRefRow& row = ref[i];
    SCOPED_TRACE(c.file + ": " + row.name);
    // libarchive could not convert some RAR 4 names at all.
    if (row.name != "(null)") { EXPECT_EQ(m.FileName, CatalogName(row.name)); }
    EXPECT_EQ(m.Directory, row.type == "d");
    if (row.type == "f") {
      const auto stored = kStoredSizes.find(row.name);
      EXPECT_EQ(m.UnpackedSize, stored != kStoredSizes.end() ? stored->second : row.size);
    }
    if (row.type == "d") { EXPECT_EQ(m.UnpackedSize, 0u); }
    if (row.encrypted) { EXPECT_TRUE(m.Encrypted); }
    if (row.mtime != "-") {
      const int64_t diff = Seconds(row.mtime) - Seconds(Parts(m.FileTime));
      // DOS times keep even seconds; libarchive takes the exact time.
      if (dosTimes) {
        EXPECT_TRUE(diff == 0 || diff == 1) << row.mtime << " diff " << diff;
      } else {
        EXPECT_EQ(diff, 0) << row.mtime;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rar, RarSharedFixture, ::testing::ValuesIn(FixtureCases()),
                         [](const ::testing::TestParamInfo<TFixtureCase>& info) {
                           std::string n = info.param.file.substr(std::string("test_read_format_").size());
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(RarSharedFixtures, EncryptedDataMembersAreListedWithTheirFlag) {
  REQUIRE_FIXTURES();
  const TRun r4 = List((kRarDir / "test_read_format_rar4_encrypted.rar").string());
  const TRun r5 = List((kRarDir / "test_read_format_rar5_encrypted.rar").string());
  for (const TRun* r : {&r4, &r5}) {
    ASSERT_EQ(r->Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_TRUE(r->errors.empty());
    const std::vector<bool> encrypted = {false, true, false, true};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(r->members[i].Encrypted, encrypted[i]) << i;
  }
}

TEST(RarSharedFixtures, EncryptedHeadersAskForThePasswordThenFail) {
  REQUIRE_FIXTURES();
  for (const char* name : {"test_read_format_rar_encryption_header.rar", "test_read_format_rar5_encrypted_filenames.rar"}) {
    int asked = 0;
    const TRun r = List((kRarDir / name).string(), [&asked](TRAR& rar) {
      rar.OnPassword = [&asked](TRAR&, std::string&) { ++asked; };
    });
    EXPECT_EQ(asked, 1) << name;
    EXPECT_TRUE(r.members.empty());
    ASSERT_EQ(r.errors.size(), 2u);
    EXPECT_EQ(r.errors[0], (std::pair<std::string, int>{"txtRarMSG2", 0}));
    EXPECT_EQ(r.errors[1], (std::pair<std::string, int>{"txtRarMSG17", 12}));
    EXPECT_NE(std::find(r.statuses.begin(), r.statuses.end(), RAR_ONPASSWORD), r.statuses.end());
  }
}

TEST(RarSharedFixtures, AGivenPasswordIsNotMissingButTheHeadersStayUnreadable) {
  REQUIRE_FIXTURES();
  const TRun r = List((kRarDir / "test_read_format_rar_encryption_header.rar").string(),
                      [](TRAR& rar) { rar.OnPassword = [](TRAR&, std::string& p) { p = "secret"; }; });
  EXPECT_EQ(r.ErrorKeys(), std::vector<std::string>{"txtRarMSG17"});
  EXPECT_TRUE(r.members.empty());
}

TEST(RarSharedFixtures, MultiVolumeSetsReportEachVolumesPart) {
  REQUIRE_FIXTURES();
  const TRun r = List((kRarDir / "test_read_format_rar_multivolume.part0001.rar").string());
  ASSERT_GE(r.members.size(), 4u);
  const std::string big = "ppmd_lzss_conversion_test.txt";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.members[i].FileName, big);
    EXPECT_EQ(r.members[i].UnpackedSize, 241647978u);
    EXPECT_EQ(fs::path(r.members[i].ArchiveName).filename(),
              "test_read_format_rar_multivolume.part000" + std::to_string(i + 1) + ".rar");
    EXPECT_EQ(r.members[i].ContinuedFromPrev, i > 0);
    EXPECT_EQ(r.members[i].ContinuedOnNext, i < 2);
  }
  EXPECT_EQ(fs::path(r.members.back().ArchiveName).filename(), "test_read_format_rar_multivolume.part0004.rar");
}

TEST(RarSharedFixtures, UnicodeNamesBecomeUtf8) {
  REQUIRE_FIXTURES();
  const TRun r = List((kRarDir / "test_read_format_rar_unicode.rar").string());
  ASSERT_EQ(r.members.size(), 6u);
  EXPECT_EQ(r.members[0].FileName,
            "\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88\\\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA9"
            "\xE3\x83\xAB\xE3\x83\x80\\\xE6\x96\xB0\xE8\xA6\x8F\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 "
            "\xE3\x83\x89\xE3\x82\xAD\xE3\x83\xA5\xE3\x83\xA1\xE3\x83\xB3\xE3\x83\x88.txt");  // 表だよ\新しいフォルダ\新規テキスト ドキュメント.txt
  EXPECT_TRUE(r.members[3].Directory);
  const TRun r5 = List((kRarDir / "test_read_format_rar5_unicode.rar").string());
  ASSERT_FALSE(r5.members.empty());
  EXPECT_EQ(r5.members[0].FileName, "\xF0\x9F\x91\x8B\xF0\x9F\x8C\x8E.txt");  // 👋🌎.txt
}

TEST(RarSharedFixtures, WindowsAttributesAreMapped) {
  REQUIRE_FIXTURES();
  const TRun r = List((kRarDir / "test_read_format_rar5_fileattr.rar").string());
  ASSERT_EQ(r.members.size(), 8u);
  struct TWant {
    bool readOnly, hidden, system, directory;
  };
  const std::vector<TWant> want = {{true, false, false, false}, {false, true, false, false},
                                   {false, false, true, false}, {true, true, false, false},
                                   {true, false, false, true},  {false, true, false, true},
                                   {false, false, true, true},  {true, true, false, true}};
  for (size_t i = 0; i < want.size(); ++i) {
    const auto& m = r.members[i];
    SCOPED_TRACE(m.FileName);
    EXPECT_EQ(m.ReadOnly, want[i].readOnly);
    EXPECT_EQ(m.Hidden, want[i].hidden);
    EXPECT_EQ(m.System, want[i].system);
    EXPECT_EQ(m.Directory, want[i].directory);
    EXPECT_EQ(m.WindowAll, want[i].directory);
    EXPECT_EQ(m.HostOS, "Windows");
  }
}

TEST(RarSharedFixtures, SfxArchivesFindTheirMarker) {
  REQUIRE_FIXTURES();
  const TRun r = List((kRarDir / "test_read_format_rar_sfx.exe").string());
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"test.txt", "testshortcut.lnk", "testdir\\test.txt", "testdir",
                                                 "testemptydir"}));
  EXPECT_TRUE(r.errors.empty());
}

// ---------------------------------------------------------------------------
// Written archives

TEST(RarListing, MembersInArchiveOrderThenTheClose) {
  TTempDir dir;
  for (int format : {4, 5}) {
    std::string bytes = format == 4 ? Main4() : Main5();
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
      bytes += format == 4 ? File4({.name = name}) : File5({.name = name});
    bytes += format == 4 ? End4() : End5();
    const TRun r = List(dir.Write("three" + std::to_string(format) + ".rar", bytes));
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"one.txt", "two.txt", "three.txt"})) << format;
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.statuses, (std::vector<int>{RAR_ONBEFOREOPEN, RAR_ONOPEN, RAR_AFTERCLOSE}));
    EXPECT_EQ(r.members[0].Method, "store");
    EXPECT_EQ(r.members[0].UnpackedSize, 3u);
    EXPECT_EQ(r.members[0].PackedSize, 3u);
  }
}

TEST(RarListing, StopProcessingEndsTheRun) {
  TTempDir dir;
  const std::string file =
      dir.Write("stop.rar", Main4() + File4({.name = "a"}) + File4({.name = "b"}) + End4());
  const TRun r = List(file, [](TRAR& rar) {
    rar.OnFileProcessing = [](TRAR& self, const TDFRARHeaderData&, int) { self.StopProcessing = true; };
  });
  EXPECT_EQ(r.statuses.back(), RAR_AFTERCLOSE);
  TRAR rar;
  int seen = 0;
  rar.FileName = file;
  rar.OnFileProcessing = [&seen](TRAR& self, const TDFRARHeaderData&, int) {
    ++seen;
    self.StopProcessing = true;
  };
  rar.Run();
  EXPECT_EQ(seen, 1);
  rar.Run();  // a new run starts again
  EXPECT_EQ(seen, 2);
}

TEST(RarListing, ExtractModeIsRefused) {
  TTempDir dir;
  const std::string file = dir.Write("x.rar", Main4() + File4({.name = "a"}) + End4());
  const TRun r = List(file, [](TRAR& rar) { rar.Mode = DFRAR_EXTRACT; });
  EXPECT_TRUE(r.members.empty());
  EXPECT_EQ(r.errors, (std::vector<std::pair<std::string, int>>{{"txtRarMSG9", 16}}));
}

TEST(RarListing, SeparatorsBecomeBackslashesAndNamesStayWhole) {
  TTempDir dir;
  for (const std::string stored : {"docs/a.txt", "docs\\a.txt"}) {
    const TRun r4 = List(dir.Write("n4.rar", Main4() + File4({.name = stored}) + End4()));
    const TRun r5 = List(dir.Write("n5.rar", Main5() + File5({.name = stored}) + End5()));
    EXPECT_EQ(r4.Names(), std::vector<std::string>{"docs\\a.txt"}) << stored;
    EXPECT_EQ(r5.Names(), std::vector<std::string>{"docs\\a.txt"}) << stored;
  }
}

// The RAR 3 Unicode name field: the 8-bit name, a zero, then the high byte
// and flag bytes each announcing four characters (2 bits each).
TEST(RarListing, EncodedUnicodeNamesAreDecoded) {
  struct TCase {
    std::string label;
    std::string field;
    std::string want;
  };
  // "Ä€b": U+00C4 as one byte (type 0), U+20AC as two bytes (type 2),
  // 'b' with the high byte 0 (type 1).
  const std::string explicitChars = std::string("A?b\0", 4) + std::string(1, '\0') +
                                    std::string(1, static_cast<char>(0x00 << 6 | 0x2 << 4 | 0x1 << 2)) + "\xC4" +
                                    "\xAC\x20" + "b";
  // "xyzz": a run of three characters copied from the 8-bit name (type 3,
  // length 1 + 2), then 'z' as one byte (type 0).
  const std::string copied = std::string("xyz\0", 4) + std::string(1, '\0') +
                             std::string(1, static_cast<char>(0x3 << 6 | 0x0 << 4)) + std::string(1, '\x01') +
                             "z";
  const std::vector<TCase> cases = {
      {"explicit", explicitChars, "\xC3\x84\xE2\x82\xAC" "b"},
      {"copied run", copied, "xyzz"},
      {"no zero: UTF-8", "\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    const TRun r = List(dir.Write("u.rar", Main4() + File4({.name = c.field, .flags = 0x200}) + End4()));
    EXPECT_EQ(r.Names(), std::vector<std::string>{c.want}) << c.label;
  }
}

TEST(RarListing, UnixAndWindowsTimesGiveTheSameUtcFields) {
  constexpr uint64_t kUnix = 1614834367;  // 2021-03-04 05:06:07 UTC
  const uint64_t fileTime = (kUnix + 11644473600ull) * 10000000ull;
  const std::string unixTime = ExtraRecord(0x03, V(0x03) + L32(kUnix));
  const std::string unixNs = ExtraRecord(0x03, V(0x13) + L32(kUnix) + L32(250000000));
  const std::string winTime = ExtraRecord(0x03, V(0x02) + Le(fileTime, 8));
  TTempDir dir;
  const TRun r = List(dir.Write("t.rar", Main5() + File5({.name = "u", .extra = unixTime}) +
                                             File5({.name = "n", .extra = unixNs}) +
                                             File5({.name = "w", .extra = winTime}) +
                                             File5({.name = "h", .fileFlags = 0x06, .mtime = kUnix}) + End5()));
  ASSERT_EQ(r.members.size(), 4u);
  for (const auto& m : r.members) {
    const TDateParts p = Parts(m.FileTime);
    EXPECT_EQ(std::vector<int>({p.year, p.month, p.day, p.hour, p.minute, p.second}),
              std::vector<int>({2021, 3, 4, 5, 6, 7}))
        << m.FileName;
  }
  EXPECT_EQ(r.members[0].FileTime, r.members[2].FileTime);
  EXPECT_EQ(Parts(r.members[1].FileTime).millisecond, 250);
}

TEST(RarListing, DosTimesAreTakenFieldByField) {
  TTempDir dir;
  const TRun r = List(dir.Write("d.rar", Main4() + File4({.name = "a"}) + End4()));
  ASSERT_EQ(r.members.size(), 1u);
  const TDateParts p = Parts(r.members[0].FileTime);
  EXPECT_EQ(std::vector<int>({p.year, p.month, p.day, p.hour, p.minute, p.second}),
            std::vector<int>({2011, 3, 20, 10, 38, 18}));
}

TEST(RarListing, SizesBeyondFourGiBAreKeptWhole) {
  constexpr uint64_t kBig = 5ull * 1024 * 1024 * 1024 + 7;
  TTempDir dir;
  const TRun r4 = List(dir.Write("l4.rar", Main4() + File4({.name = "big", .flags = 0x100, .unpSize = kBig}) + End4()));
  const TRun r5 = List(dir.Write("l5.rar", Main5() + File5({.name = "big", .unpSize = kBig}) + End5()));
  for (const TRun* r : {&r4, &r5}) {
    ASSERT_EQ(r->members.size(), 1u);
    EXPECT_EQ(r->members[0].UnpackedSize, kBig);
    EXPECT_EQ(r->members[0].PackedSize, 3u);
    EXPECT_TRUE(r->errors.empty());
  }
}

TEST(RarListing, StoredCommentsAreReadWithoutDisturbingTheListing) {
  const std::string text = "A comment\r\nline two";
  // The RAR 3 "CMT" subheader and the RAR 5 "CMT" service header.
  const std::string cmt4 = File4({.name = "CMT", .data = text, .unpSize = text.size(), .crc = Crc32(text), .type = 0x7A});
  const std::string cmt5 = File5({.name = "CMT", .data = text, .unpSize = text.size(), .type = 3});
  // The old comment inside the main header (flag 0x02).
  const std::string old = Block4(0x75, 0, L16(text.size()) + std::string(1, 15) + "\x30" +
                                              L16(Crc32(text) & 0xFFFF) + text);
  struct TCase {
    std::string label, bytes;
  };
  const std::vector<TCase> cases = {
      {"rar4 subheader", Main4() + cmt4 + File4({.name = "a"}) + File4({.name = "b"}) + End4()},
      {"rar4 old comment", Main4(0x02, old) + File4({.name = "a"}) + File4({.name = "b"}) + End4()},
      {"rar5 service", Main5() + cmt5 + File5({.name = "a"}) + File5({.name = "b"}) + End5()},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    const TRun r = List(dir.Write("c.rar", c.bytes));
    SCOPED_TRACE(c.label);
    EXPECT_EQ(r.archivComment, text);
    EXPECT_EQ(r.commentSize, static_cast<int>(text.size()));
    EXPECT_EQ(r.comments, std::vector<std::string>{text});
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(r.errors.empty());
  }
}

TEST(RarListing, CompressedAndDamagedCommentsAreNoComment) {
  const std::string text = "packed";
  struct TCase {
    std::string label, bytes;
    std::vector<std::string> errors;
  };
  const std::vector<TCase> cases = {
      {"compressed", Main4() + File4({.name = "CMT", .data = text, .unpSize = 20, .method = 0x33, .type = 0x7A}) +
                         File4({.name = "a"}) + End4(),
       {}},
      {"rar5 compressed", Main5() + File5({.name = "CMT", .data = text, .unpSize = 20, .compInfo = 3 << 7, .type = 3}) +
                              File5({.name = "a"}) + End5(),
       {}},
      {"bad crc", Main4() + File4({.name = "CMT", .data = text, .unpSize = text.size(), .crc = 1, .type = 0x7A}) +
                      File4({.name = "a"}) + End4(),
       {"txtRarMSG5"}},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    const TRun r = List(dir.Write("c.rar", c.bytes));
    SCOPED_TRACE(c.label);
    EXPECT_TRUE(r.archivComment.empty());
    EXPECT_TRUE(r.comments.empty());
    EXPECT_EQ(r.Names(), std::vector<std::string>{"a"});
    EXPECT_EQ(r.ErrorKeys(), c.errors);
  }
}

TEST(RarListing, SubblocksAndServiceHeadersAreNeverMembers) {
  TTempDir dir;
  const std::string sub = Block4(0x77, 0x8000, L32(4) + "xx") + "data";
  const std::string acl5 = File5({.name = "ACL", .data = "acl!", .unpSize = 4, .type = 3});
  const std::string av = File4({.name = "STM", .data = "stream", .unpSize = 6, .type = 0x7A});
  const TRun r4 = List(dir.Write("s4.rar", Main4() + File4({.name = "a"}) + sub + av + File4({.name = "b"}) + End4()));
  const TRun r5 = List(dir.Write("s5.rar", Main5() + File5({.name = "a"}) + acl5 + File5({.name = "b"}) + End5()));
  for (const TRun* r : {&r4, &r5}) {
    EXPECT_EQ(r->Names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(r->errors.empty());
  }
}

TEST(RarListing, SfxStubsBeforeTheMarkerAreSkipped) {
  TTempDir dir;
  const std::string stub = "MZ" + std::string(70000, 'x') + "Rar!\x1A\x07" + "junk";  // a false marker first
  const TRun r4 = List(dir.Write("s4.exe", stub + Main4() + File4({.name = "a"}) + End4()));
  const TRun r5 = List(dir.Write("s5.exe", stub + Main5() + File5({.name = "a"}) + End5()));
  EXPECT_EQ(r4.Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(r5.Names(), std::vector<std::string>{"a"});
}

TEST(RarListing, RecordFieldsFollowTheHeader) {
  TTempDir dir;
  const TRun r = List(dir.Write(
      "f.rar", Main4() + File4({.name = "a", .flags = 0x04 | 0x40, .host = 3, .attr = 0100444, .method = 0x35, .crc = 0x00ABC}) +
                   File4({.name = "b", .host = 0, .attr = 0x27, .method = 0x39, .crc = 0}) +
                   File4({.name = ".dot", .host = 9, .attr = 0x10, .method = 0x31}) + End4()));
  ASSERT_EQ(r.members.size(), 3u);
  const auto& a = r.members[0];
  EXPECT_TRUE(a.Encrypted);
  EXPECT_EQ(a.HostOS, "Unix");
  EXPECT_EQ(a.CRC, "ABC");
  EXPECT_EQ(a.Method, "best");
  EXPECT_EQ(a.VersionMajor, 2);
  EXPECT_EQ(a.VersionMinor, 9);
  EXPECT_EQ(a.Window, 2u << 16);  // dictionary code 2 (0x40 in the header)
  EXPECT_FALSE(a.WindowAll);
  EXPECT_TRUE(a.ReadOnly);
  EXPECT_FALSE(a.Directory);
  const auto& b = r.members[1];
  EXPECT_EQ(b.HostOS, "DOS");
  EXPECT_EQ(b.CRC, "0");
  EXPECT_EQ(b.Method, "57");
  EXPECT_TRUE(b.ReadOnly && b.Hidden && b.System && b.Archive);
  EXPECT_FALSE(b.Directory || b.Normal);
  const auto& c = r.members[2];
  EXPECT_EQ(c.HostOS, "");
  EXPECT_EQ(c.Method, "fastest");
  EXPECT_TRUE(c.Directory);
}

TEST(RarListing, RarDirectoriesAreReportedWithTheirFlag) {
  TTempDir dir;
  const TRun r4 = List(dir.Write("d4.rar", Main4() + File4({.name = "dir", .data = "", .flags = 0xE0, .unpSize = 0, .host = 3, .attr = 040755}) + End4()));
  const TRun r5 = List(dir.Write("d5.rar", Main5() + File5({.name = "dir", .data = "", .unpSize = 0, .fileFlags = 0x01, .host = 1, .attr = 040755}) + End5()));
  for (const TRun* r : {&r4, &r5}) {
    ASSERT_EQ(r->members.size(), 1u);
    EXPECT_TRUE(r->members[0].Directory);
    EXPECT_TRUE(r->members[0].WindowAll);
    EXPECT_EQ(r->members[0].Window, 7u << 16);
    EXPECT_EQ(r->members[0].HostOS, "Unix");
    EXPECT_FALSE(r->members[0].ReadOnly);
  }
}

// Damage after the first member: the run ends with the documented key and
// keeps what was read.
TEST(RarListing, DamagedArchivesKeepTheMembersReadBefore) {
  const std::string first4 = Main4() + File4({.name = "first"});
  const std::string second4 = File4({.name = "second"});
  const std::string first5 = Main5() + File5({.name = "first"});
  const std::string second5 = File5({.name = "second"});
  std::string badCrc4 = second4;
  badCrc4[0] ^= 1;
  std::string badCrc5 = second5;
  badCrc5[0] ^= 1;
  struct TCase {
    std::string label, bytes;
    std::vector<std::pair<std::string, int>> errors;
  };
  const std::vector<TCase> cases = {
      {"rar4 header crc", first4 + badCrc4 + End4(), {{"txtRarMSG17", 12}}},
      {"rar4 cut in a header", first4 + second4.substr(0, 20), {{"txtRarMSG17", 12}}},
      {"rar4 cut in the base", first4 + second4.substr(0, 4), {{"txtRarMSG17", 12}}},
      {"rar4 head size too small", first4 + std::string("\0\0\x74\0\0\x03\0", 7), {{"txtRarMSG17", 12}}},
      // Older writers left the end block out; RAR 5 always writes one.
      {"rar4 no end block", first4, {}},
      {"rar5 header crc", first5 + badCrc5 + End5(), {{"txtRarMSG17", 12}}},
      {"rar5 cut in a header", first5 + second5.substr(0, 9), {{"txtRarMSG17", 12}}},
      {"rar5 no end header", first5, {{"txtRarMSG17", 12}}},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    const TRun r = List(dir.Write("bad.rar", c.bytes));
    SCOPED_TRACE(c.label);
    EXPECT_EQ(r.Names(), std::vector<std::string>{"first"});
    EXPECT_EQ(r.errors, c.errors);
  }
  // Data that runs past the end: the member is reported, then the skip fails.
  const std::string whole = Main4() + File4({.name = "first", .data = "abcdef"});
  const TRun cut = List(dir.Write("cut.rar", whole.substr(0, whole.size() - 3)));
  EXPECT_EQ(cut.Names(), std::vector<std::string>{"first"});
  EXPECT_EQ(cut.errors, (std::vector<std::pair<std::string, int>>{{"txtRarMSG5", 12}}));
}

TEST(RarListing, WhatIsNoArchiveFailsTheOpen) {
  struct TCase {
    std::string label, bytes;
    std::vector<std::pair<std::string, int>> errors;
  };
  const std::vector<TCase> cases = {
      {"empty", "", {{"txtRarMSG6", 13}}},
      {"text", "just some text", {{"txtRarMSG6", 13}}},
      {"marker only", kMarker4, {{"txtRarMSG6", 13}}},
      {"unknown version", std::string("Rar!\x1A\x07\x02\x00", 8) + std::string(30, '\0'), {{"txtRarMSG7", 14}}},
      {"rar5 main crc", kMarker5 + std::string("\0\0\0\0\x03\x01\0\0", 8), {{"txtRarMSG5", 12}}},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    const TRun r = List(dir.Write("no.rar", c.bytes));
    SCOPED_TRACE(c.label);
    EXPECT_TRUE(r.members.empty());
    EXPECT_EQ(r.errors, c.errors);
  }
  const TRun missing = List((dir.path / "missing.rar").string());
  EXPECT_EQ(missing.errors, (std::vector<std::pair<std::string, int>>{{"txtRarMSG8", 15}}));
  const TRun folder = List(dir.path.string());
  EXPECT_EQ(folder.errors, (std::vector<std::pair<std::string, int>>{{"txtRarMSG8", 15}}));
}

// ---------------------------------------------------------------------------
// Volumes

TEST(RarVolumes, NextVolumeNames) {
  struct TCase {
    std::string name;
    bool newNumbering;
    std::string want;
  };
  const std::vector<TCase> cases = {
      {"/a/set.part1.rar", true, "/a/set.part2.rar"},
      {"/a/set.part01.rar", true, "/a/set.part02.rar"},
      {"/a/set.part09.rar", true, "/a/set.part10.rar"},
      {"/a/set.part0001.rar", true, "/a/set.part0002.rar"},
      {"/a/set.part99.rar", true, "/a/set.part100.rar"},
      {"/a/SET.PART1.RAR", true, "/a/SET.PART2.RAR"},
      {"/a/set.part1.exe", true, "/a/set.part2.rar"},
      {"/a/set.rar", true, "/a/set.r00"},
      {"/a/set.part1.rar", false, "/a/set.part1.r00"},
      {"/a/set.rar", false, "/a/set.r00"},
      {"/a/set.r00", false, "/a/set.r01"},
      {"/a/set.r09", false, "/a/set.r10"},
      {"/a/set.r99", false, "/a/set.s00"},
      {"/a/set.exe", false, ""},
      {"/proc/self/fd/3", true, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(rar::NextVolumeName(c.name, c.newNumbering), c.want) << c.name;
}

TEST(RarVolumes, OldNamingIsFollowed) {
  TTempDir dir;
  // Main header flag 0x01: a volume; the member continues (0x02) in set.r00.
  dir.Write("set.rar", Main4(0x01) + File4({.name = "big", .flags = 0x02, .unpSize = 6}) +
                           Block4(0x7B, 0x4001, ""));
  dir.Write("set.r00", Main4(0x01) + File4({.name = "big", .flags = 0x01, .unpSize = 6}) +
                           File4({.name = "after"}) + End4());
  std::vector<std::pair<std::string, int>> requests;
  const TRun r = List((dir.path / "set.rar").string(), [&requests](TRAR& rar) {
    rar.OnVolChange = [&requests](TRAR&, const std::string& name, int mode) {
      requests.emplace_back(name, mode);
      return true;
    };
  });
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"big", "big", "after"}));
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(requests.empty());  // the next volume was there: nothing to ask
  EXPECT_EQ(fs::path(r.members[1].ArchiveName).filename(), "set.r00");
}

TEST(RarVolumes, SharedFilesAMissingNextVolumeEndsAfterThePresentOnes) {
  REQUIRE_FIXTURES();
  struct TCase {
    std::vector<std::string> copied;
    size_t members;
    std::string asked;
  };
  const std::vector<TCase> cases = {
      {{"test_read_format_rar_multivolume.part0001.rar", "test_read_format_rar_multivolume.part0002.rar"}, 2,
       "test_read_format_rar_multivolume.part0003.rar"},
      {{"test_read_format_rar5_multiarchive.part01.rar"}, 1, "test_read_format_rar5_multiarchive.part02.rar"},
  };
  for (const auto& c : cases) {
    for (bool withEvent : {false, true}) {
      TTempDir dir;
      for (const auto& f : c.copied) fs::copy_file(kRarDir / f, dir.path / f);
      std::vector<std::pair<std::string, int>> requests;
      const TRun r = List((dir.path / c.copied[0]).string(), [&](TRAR& rar) {
        if (withEvent)
          rar.OnVolChange = [&requests](TRAR&, const std::string& name, int mode) {
            requests.emplace_back(name, mode);
            return false;
          };
      });
      SCOPED_TRACE(c.copied[0]);
      ASSERT_EQ(r.members.size(), c.members);
      EXPECT_TRUE(r.members.back().ContinuedOnNext);
      EXPECT_EQ(r.errors, (std::vector<std::pair<std::string, int>>{{"txtRarMSG8", 15}}));
      if (withEvent) {
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(fs::path(requests[0].first).filename(), c.asked);
        EXPECT_EQ(requests[0].second, rar::RAR_VOL_ASK);
      }
    }
  }
}

}  // namespace
}  // namespace tw
