#include "base/MountTable.h"
#include "base/TextUtils.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/DateTime.h"
#include "base/Error.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

// ---------------------------------------------------------------- dates

struct KnownDate {
  int y, m, d, h, n, s, ms;
  TDateTime value;
};

TEST(DateTime, KnownDatesEncodeAndDecode) {
  const KnownDate cases[] = {
      {1899, 12, 30, 0, 0, 0, 0, 0.0},       {1899, 12, 31, 0, 0, 0, 0, 1.0},
      {1900, 1, 1, 0, 0, 0, 0, 2.0},         {1900, 3, 1, 0, 0, 0, 0, 61.0},
      {1970, 1, 1, 0, 0, 0, 0, 25569.0},     {2000, 1, 1, 0, 0, 0, 0, 36526.0},
      {2000, 1, 1, 12, 0, 0, 0, 36526.5},    {2000, 1, 1, 18, 0, 0, 0, 36526.75},
      {1899, 12, 29, 6, 0, 0, 0, -1.25},     {1899, 12, 29, 0, 0, 0, 0, -1.0},
      {1, 1, 1, 0, 0, 0, 0, -693593.0},      {9999, 12, 31, 0, 0, 0, 0, 2958465.0},
      {2024, 2, 29, 0, 0, 0, 0, 45351.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d << " " << c.h << "h");
    EXPECT_DOUBLE_EQ(EncodeDateTime(c.y, c.m, c.d, c.h, c.n, c.s, c.ms), c.value);
    const TDateParts p = DecodeDateTime(c.value);
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.m);
    EXPECT_EQ(p.day, c.d);
    EXPECT_EQ(p.hour, c.h);
    EXPECT_EQ(p.minute, 0);
  }
}

TEST(DateTime, RoundTripsToTheMillisecond) {
  const TDateParts cases[] = {
      {2000, 1, 1, 0, 0, 0, 1},      {1999, 12, 31, 23, 59, 59, 999}, {1899, 12, 29, 13, 14, 15, 16},
      {1, 1, 1, 0, 0, 0, 0},         {9999, 12, 31, 23, 59, 59, 999}, {2038, 1, 19, 3, 14, 8, 500},
      {1600, 2, 29, 12, 30, 45, 250}, {1800, 6, 15, 7, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    const TDateParts p =
        DecodeDateTime(EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond));
    EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond),
              std::tie(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond));
  }
}

TEST(DateTime, DecodeRoundsUpToTheNextDay) {
  // Half a millisecond before midnight, on either side of the zero date.
  const double almost = (86400000.0 - 0.4) / 86400000.0;
  TDateParts p = DecodeDateTime(36526 + almost);
  EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour, p.millisecond), std::make_tuple(2000, 1, 2, 0, 0));
  p = DecodeDateTime(-1 - almost);
  EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour), std::make_tuple(1899, 12, 30, 0));
}

TEST(DateTime, RejectsFieldsOutOfRange) {
  const TDateParts bad[] = {
      {1900, 2, 29, 0, 0, 0, 0}, {2023, 2, 29, 0, 0, 0, 0}, {2000, 4, 31, 0, 0, 0, 0}, {2000, 13, 1, 0, 0, 0, 0},
      {2000, 0, 1, 0, 0, 0, 0},  {2000, 1, 0, 0, 0, 0, 0},  {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},
      {2000, 1, 1, 24, 0, 0, 0}, {2000, 1, 1, 0, 60, 0, 0}, {2000, 1, 1, 0, 0, 60, 0}, {2000, 1, 1, 0, 0, 0, 1000},
      {2000, 1, 1, -1, 0, 0, 0},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":"
                                    << c.minute << ":" << c.second << "." << c.millisecond);
    TDateTime out = 0;
    EXPECT_FALSE(TryEncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond, out));
    EXPECT_THROW(EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond), EError);
  }
  TDateTime out = 0;
  EXPECT_TRUE(TryEncodeDateTime(2000, 2, 29, 0, 0, 0, 0, out));
}

TEST(DateTime, DecodeRejectsValuesWithoutADate) {
  for (double v : {std::nan(""), HUGE_VAL, -HUGE_VAL, 2958466.0, -693594.5, 1e12}) {
    SCOPED_TRACE(v);
    TDateParts p;
    EXPECT_FALSE(TryDecodeDateTime(v, p));
    EXPECT_THROW(DecodeDateTime(v), EError);
  }
}

TEST(DateTime, UnixTimesTakeTheUtcFields) {
  struct Case {
    std::time_t sec;
    long nsec;
    TDateTime expected;
  };
  const Case cases[] = {
      {0, 0, 25569.0},
      {946684800, 0, 36526.0},
      {946728000, 0, 36526.5},
      {-86400, 0, 25568.0},
      {-2209161600, 0, 0.0},  // 1899-12-30
      {946684800, 999999999, 36526.0 + 999.0 / 86400000.0},  // nanoseconds truncated
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sec);
    EXPECT_NEAR(UnixToDateTimeUtc(c.sec, c.nsec), c.expected, 1e-10);
  }
  TDateTime out = 0;
  EXPECT_FALSE(TryUnixToDateTimeUtc(253402300800, 0, out));  // 10000-01-01
  EXPECT_FALSE(TryUnixToDateTimeUtc(0, -1, out));
  EXPECT_FALSE(TryUnixToDateTimeUtc(0, 1000000000, out));
  EXPECT_THROW(UnixToDateTimeUtc(253402300800, 0), EError);
}

TEST(DateTime, NowIsTheLocalTimeOfToday) {
  const TDateTime utc = UnixToDateTimeUtc(std::time(nullptr), 0);
  const TDateTime now = NowDateTime();
  // No time zone is more than 14 hours away from UTC.
  EXPECT_NEAR(now, utc, 15.0 / 24);
  TDateParts p;
  EXPECT_TRUE(TryDecodeDateTime(now, p));
}

TEST(FormatDate, ShortDateAndLongTimeOfTheLocale) {
  // The C locale's short date has a two-digit year: ISO dates keep the century.
  const std::locale& c = std::locale::classic();
  EXPECT_TRUE(ShortDateHasTwoDigitYear(c));
  EXPECT_EQ(FormatDate(36526.0, c), "2000-01-01");  // midnight: no time part
  EXPECT_EQ(FormatDate(EncodeDateTime(2021, 7, 4, 13, 5, 9, 0), c), "2021-07-04 13:05:09");
  EXPECT_EQ(FormatDate(0.0, c), "1899-12-30");
  EXPECT_EQ(FormatDate(-1.25, c), "1899-12-29 06:00:00");
  // One millisecond past midnight is a time, though it shows as 00:00:00.
  EXPECT_EQ(FormatDate(EncodeDateTime(2000, 1, 1, 0, 0, 0, 1), c), "2000-01-01 00:00:00");
  EXPECT_EQ(IsoDateTime(EncodeDateTime(2026, 12, 11, 10, 20, 30, 0)), "2026-12-11T10:20:30");
  EXPECT_EQ(IsoDateTime(std::nan("")), "");
  EXPECT_EQ(FormatDate(std::nan(""), c), "");
  EXPECT_EQ(FormatDate(1e12, c), "");
  // Without a locale given, the C library formats in the user's locale: the
  // same text as the stream.
  for (double d : {36526.0, EncodeDateTime(2021, 7, 4, 13, 5, 9, 0), 0.0, -1.25, std::nan(""), 1e12})
    EXPECT_EQ(FormatDate(d), FormatDate(d, UserLocale())) << d;
  // A locale that writes centuries keeps its own short date.
  try {
    const std::locale german("de_DE.UTF-8");
    EXPECT_FALSE(ShortDateHasTwoDigitYear(german));
    EXPECT_EQ(FormatDate(EncodeDateTime(2021, 7, 4, 13, 5, 9, 0), german), "04.07.2021 13:05:09");
  } catch (const std::runtime_error&) {
    // No German locale on this machine.
  }
}

// ---------------------------------------------------------------- sizes

TEST(FormatSize, UnitsAndGrouping) {
  struct Case {
    int unit;
    double size;
    const char* expected;
  };
  const Case cases[] = {
      {0, 1234567, "1 234 567"}, {0, 0, "0"},          {0, 1023.5, "1 023.50"},
      {1, 2048, "2 KB"},         {1, 1536, "1.50 KB"}, {1, 1075, "1.04 KB"},
      {1, 0, "0 KB"},            {2, 1.5 * 1048576, "1.50 MB"},
      {2, 1048576.0 * 1500, "1 500 MB"}, {3, 100, ""}, {-1, 100, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.unit << " " << c.size);
    EXPECT_EQ(FormatSize(c.unit, c.size, TTextFormat{}), c.expected);
  }
}

TEST(FormatSize, UnitNamesComeFromTheMessageTable) {
  TNullHost host;
  TGlobalData global(host);
  ASSERT_TRUE(global.Messages().SetText("infoStrKB", "Ko"));
  ASSERT_TRUE(global.Messages().SetText("infoStrMB", "Mo"));
  EXPECT_EQ(FormatSize(1, 2048, global.TextFormat()), "2 Ko");
  EXPECT_EQ(FormatSize(2, 3 * 1048576.0, global.TextFormat()), "3 Mo");
}

TEST(ScaleSize, DividesByTheUnit) {
  EXPECT_DOUBLE_EQ(ScaleSize(0, 3072), 3072);
  EXPECT_DOUBLE_EQ(ScaleSize(1, 3072), 3);
  EXPECT_DOUBLE_EQ(ScaleSize(2, 3145728), 3);
  EXPECT_DOUBLE_EQ(ScaleSize(7, 3072), 3072);
}

// ---------------------------------------------------------------- names

TEST(FileNames, IsArchiveName) {
  const std::pair<const char*, bool> cases[] = {
      {"backup.Zip", true}, {"zip", false},        {"a.RAR", true},          {"a.rar.txt", false},
      {"a.zipx", false},    {"a.ZI", false},       {"dir.zip/readme", false}, {"", false},
      {".zip", true},       {"music/x.rar", true},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(IsArchiveName(name), expected) << name;
}

TEST(FileNames, HasExtension) {
  const std::vector<std::string> audio = {".MP3", ".ogg"};
  EXPECT_TRUE(HasExtension("song.mp3", audio));
  EXPECT_TRUE(HasExtension("song.OGG", audio));
  EXPECT_FALSE(HasExtension("song.flac", audio));
  EXPECT_FALSE(HasExtension("mp3", audio));
  EXPECT_FALSE(HasExtension("song.mp3", {"MP3"}));  // the dot belongs to the entry
  EXPECT_FALSE(HasExtension("song.mp3", {}));
}

// ---------------------------------------------------------------- volumes

TEST(VolumeInfo, SerialFromUuid) {
  const std::pair<const char*, const char*> cases[] = {
      {"1234-ABCD", "1234ABCD"},                              // FAT
      {"1234-abcd", "1234ABCD"},                              //
      {"0123456789ABCDEF", "89ABCDEF"},                       // NTFS: the last 8
      {"f81d4fae-7dec-11d0-a765-00a0c91e6bf6", "F81D4FAE"},  // ext4: the first 8
      {"2023-01-15-12-34-56-00", "12345600"},                 // ISO 9660: 16 digits, the last 8
      {"ABC", "00000ABC"},                                    //
      {"", ""},
  };
  for (const auto& [uuid, serial] : cases) EXPECT_EQ(SerialFromUuid(uuid), serial) << uuid;
}

TEST(VolumeInfo, Unescaping) {
  EXPECT_EQ(UnescapeMountField(R"(/media/my\040disk)"), "/media/my disk");
  EXPECT_EQ(UnescapeMountField(R"(a\134b\011c)"), "a\\b\tc");
  EXPECT_EQ(UnescapeMountField(R"(a\04)"), R"(a\04)");
  EXPECT_EQ(UnescapeMountField(R"(a\089)"), R"(a\089)");
  EXPECT_EQ(UnescapeLinkName(R"(My\x20Disk)"), "My Disk");
  EXPECT_EQ(UnescapeLinkName(R"(A\x2fB\x2F)"), "A/B/");
  EXPECT_EQ(UnescapeLinkName(R"(bad\xZZ)"), R"(bad\xZZ)");
  EXPECT_EQ(UnescapeLinkName(R"(end\x2)"), R"(end\x2)");
}

TEST(VolumeInfo, MountSourceTakesTheLongestMountPoint) {
  const std::string mounts =
      "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
      "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "40 28 8:1 / /media rw shared:1 - vfat /dev/sdb1 rw\n"
      "41 40 8:17 / /media/cd rw shared:2 master:1 - iso9660 /dev/sr0 ro\n"
      "42 40 8:33 / /media/my\\040disk rw - vfat /dev/sdc1 rw\n"
      "43 41 8:49 / /media/cd rw - udf /dev/sr1 ro\n"
      "broken line\n";
  const std::pair<const char*, const char*> cases[] = {
      {"/", "/dev/vda"},
      {"/home/user", "/dev/vda"},
      {"/media", "/dev/sdb1"},
      {"/media/cd", "/dev/sr1"},  // the later of two mounts on one point
      {"/media/cd/MUSIC/a.mp3", "/dev/sr1"},
      {"/media/cdrom", "/dev/sdb1"},  // a prefix that is no whole component
      {"/media/my disk/x", "/dev/sdc1"},
      {"/procfs", "/dev/vda"},
  };
  for (const auto& [path, source] : cases) EXPECT_EQ(MountSourceOf(mounts, path), source) << path;
  EXPECT_EQ(MountSourceOf("40 28 8:1 / /media rw - vfat /dev/sdb1 rw\n", "/home"), "");
}

class VolumeTree : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw_volumeXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = fs::canonical(pattern);
    for (const char* dir : {"dev", "disk/by-uuid", "disk/by-label", "mnt/my media/sub", "mnt/my mediax"})
      fs::create_directories(root_ / dir);
    std::ofstream(root_ / "dev/sdy1").put('x');
    std::ofstream(root_ / "dev/sdz1").put('x');
    fs::create_symlink("../../dev/sdz1", root_ / "disk/by-uuid/1234-ABCD");
    fs::create_symlink("../../dev/sdy1", root_ / "disk/by-uuid/0123456789ABCDEF");
    fs::create_symlink("../../dev/sdz1", root_ / R"(disk/by-label/My\x20Disk)");
    const std::string r = root_.string();
    std::ofstream(root_ / "mountinfo") << "28 1 254:0 / / rw - ext4 /dev/nonexistent rw\n"
                                       << "90 28 8:1 / " << r << "/mnt rw shared:1 - vfat " << r << "/dev/sdy1 rw\n"
                                       << "91 90 8:17 / " << r << "/mnt/my\\040media rw shared:2 - vfat " << r
                                       << "/dev/sdz1 rw\n";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Info(const fs::path& path, int what) {
    return GetVolumeInfo(path.string(), what, (root_ / "mountinfo").string(), (root_ / "disk").string());
  }

  fs::path root_;
};

TEST_F(VolumeTree, LabelAndSerialOfTheMediumThatHoldsTheFolder) {
  EXPECT_EQ(Info(root_ / "mnt/my media/sub", kVolumeSerial), "1234ABCD");
  EXPECT_EQ(Info(root_ / "mnt/my media/sub", kVolumeLabel), "My Disk");
  EXPECT_EQ(Info(root_ / "mnt/my media/../my media/", kVolumeSerial), "1234ABCD");
  EXPECT_EQ(Info(root_ / "mnt/my mediax", kVolumeSerial), "89ABCDEF");
  EXPECT_EQ(Info(root_ / "mnt/my mediax", kVolumeLabel), "");  // no label link
  EXPECT_EQ(Info(root_ / "dev", kVolumeSerial), "");            // device without links
  EXPECT_EQ(Info(root_ / "mnt/missing", kVolumeSerial), "");
  EXPECT_EQ(GetVolumeInfo((root_ / "mnt").string(), kVolumeSerial, (root_ / "nothing").string(),
                          (root_ / "disk").string()),
            "");
}

TEST(VolumeInfo, SystemRootGivesEightHexDigitsOrNothing) {
  const std::string serial = GetVolumeInfo("/", kVolumeSerial);
  if (!serial.empty()) {
    EXPECT_EQ(serial.size(), 8u);
    EXPECT_EQ(serial.find_first_not_of("0123456789ABCDEF"), std::string::npos) << serial;
  }
  EXPECT_EQ(GetVolumeInfo("/no/such/folder/here", kVolumeSerial), "");
  EXPECT_EQ(GetVolumeInfo("/no/such/folder/here", kVolumeLabel), "");
}

// ---------------------------------------------------------------- lists

TEST(AddUnique, AddsWhereMissing) {
  TSortedStrings first, second;
  AddUnique(first, &second, "");
  EXPECT_TRUE(first.Empty());
  EXPECT_TRUE(second.Empty());

  AddUnique(first, &second, "Rock");
  EXPECT_EQ(first.Items(), std::vector<std::string>{"Rock"});
  EXPECT_EQ(second.Items(), std::vector<std::string>{"Rock"});

  TSortedStrings other;
  AddUnique(first, &other, "rock");  // present in the first list, missing in the other
  EXPECT_EQ(first.Items(), std::vector<std::string>{"Rock"});
  EXPECT_EQ(other.Items(), std::vector<std::string>{"rock"});

  AddUnique(first, nullptr, "Jazz");
  EXPECT_EQ(first.Items(), (std::vector<std::string>{"Jazz", "Rock"}));
}

TEST(AddUnique, NeverTriggersTheDuplicateErrorOfStrictLists) {
  TSortedStrings strict(TDuplicates::Error), second(TDuplicates::Error);
  AddUnique(strict, &second, "Jazz");
  EXPECT_NO_THROW(AddUnique(strict, &second, "JAZZ"));
  EXPECT_EQ(strict.Count(), 1);
  EXPECT_EQ(second.Count(), 1);
}

TEST(TextRoutines, RemoveBlanksAndTrim) {
  EXPECT_EQ(RemoveBlanks(" 1 234  567 "), "1234567");
  EXPECT_EQ(RemoveBlanks("a\tb"), "a\tb");
  EXPECT_EQ(Trim(" \t\"x y\"\r\n "), "\"x y\"");
  EXPECT_EQ(Trim("   "), "");
}

TEST(TextRoutines, IncrementTitle) {
  const std::pair<const char*, const char*> cases[] = {
      {"CD 009", "CD 010"}, {"CD 99", "CD 100"}, {"Backup", "Backup1"}, {"7", "71"},
      {"", ""},             {"Disc 09", "Disc 10"}, {"A0", "A1"},       {"12", "13"},
      {"99", "910"},        {"CD 00", "CD 01"},  {"Vol 1a", "Vol 1a1"},
      {"X99999999999999999999", "X100000000000000000000"},
  };
  for (const auto& [title, expected] : cases) EXPECT_EQ(IncrementTitle(title), expected) << title;
}

TEST(TextRoutines, JoinList) {
  EXPECT_EQ(JoinList({}, ";"), "");
  EXPECT_EQ(JoinList({"a"}, ";"), "a");
  EXPECT_EQ(JoinList({"a", "", "c"}, ", "), "a, , c");
}

TEST(TextRoutines, SplitLines) {
  using Lines = std::vector<std::string>;
  const std::pair<const char*, Lines> cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n", {"a"}},
      {"a\r\n", {"a"}},
      {"a\n\n", {"a", ""}},
      {"\n", {""}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines) << testing::PrintToString(text);
}

TEST(TextRoutines, JoinLinesPutsTheSeparatorBetweenLines) {
  EXPECT_EQ(JoinLines("first\r\nsecond", ";"), "first;second");
  EXPECT_EQ(JoinLines("first\nsecond\n", ";"), "first;second");
  EXPECT_EQ(JoinLines("one", ";"), "one");
  EXPECT_EQ(JoinLines("", ";"), "");
  EXPECT_EQ(JoinLines("first\rsecond\r\nthird", " | "), "first | second | third");
}

TEST(TextRoutines, TheProgramStateGivesItsSeparatorOption) {
  TNullHost host;
  TGlobalData global(host);
  EXPECT_EQ(global.TextFormat().NewLineSeparator, ";");
  global.NewLineSeparator = " | ";
  EXPECT_EQ(global.TextFormat().NewLineSeparator, " | ");
  EXPECT_EQ(global.TextFormat().KB, "KB");
}

// ---------------------------------------------------------------- quoting

TEST(Quoting, Enquote) {
  EXPECT_EQ(Enquote("a b", " \" "), "\"a b\"");
  EXPECT_EQ(Enquote("a", "'"), "'a'");
  EXPECT_EQ(Enquote("a", "  "), "a");
}

TEST(Quoting, StripQuote) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"", ""},     {"\"a\"", "a"}, {"\"a", "a"},        {"a\"", "a"},   {"a", "a"},
      {"", ""},       {"\"\"", ""},   {"\"\"\"", "\""},    {"'a'", "'a'"}, {"a\"b", "a\"b"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(StripQuote(text, '"'), expected) << text;
}

TEST(StringParser, SplitsAtDelimitersOutsideQuotes) {
  TStringParser parser(';', "\"");
  parser.Parse("a;\"b;c\";;d;");
  EXPECT_EQ(parser.Tokens(), (std::vector<std::string>{"a", "b;c", "", "d"}));
  EXPECT_EQ(parser.Count(), 4);
  EXPECT_EQ(parser.GetToken(1), "a");
  EXPECT_EQ(parser.GetToken(2), "b;c");
  EXPECT_EQ(parser.GetToken(3), "");
  EXPECT_EQ(parser.GetToken(4), "d");
  EXPECT_EQ(parser.GetToken(5), "");
  EXPECT_EQ(parser.GetToken(0), "");
  EXPECT_EQ(parser.GetToken(-1), "");
}

TEST(StringParser, CasesTable) {
  using Tokens = std::vector<std::string>;
  struct Case {
    char delimiter;
    const char* quote;
    const char* text;
    Tokens tokens;
  };
  const Case cases[] = {
      {',', "\"", "", {}},
      {',', "\"", ",", {""}},
      {',', "\"", ",,", {"", ""}},
      {',', "\"", ",a", {"", "a"}},
      {',', "\"", "a\"b\"c,d", {"a\"b\"c", "d"}},     // inner quotes stay
      {',', "\"", "\"a,b", {"a,b"}},                  // an unclosed quote runs to the end
      {',', "\"", "\"\"\"x\"\"\"", {"\"\"x\"\""}},    // one quote stripped at each end
      {',', " ' ", "'a,b','c'", {"a,b", "c"}},        // the quote is trimmed
      {',', "", "\"a,b\"", {"\"a", "b\""}},           // no quote
      {'\t', "\"", "x\t\"y\tz\"\t", {"x", "y\tz"}},
      {'\\', "", "CD1\\Music\\Rock\\", {"CD1", "Music", "Rock"}},
  };
  for (const auto& c : cases) {
    TStringParser parser(c.delimiter, c.quote);
    parser.Parse(c.text);
    EXPECT_EQ(parser.Tokens(), c.tokens) << testing::PrintToString(c.text);
  }
}

TEST(StringParser, StoresTheQuoteTrimmedAndRestartsOnEachParse) {
  TStringParser parser(';', "  \"  ");
  EXPECT_EQ(parser.Quote(), "\"");
  parser.Parse("a;b;c");
  parser.Parse("d");
  EXPECT_EQ(parser.Tokens(), std::vector<std::string>{"d"});
}

// ---------------------------------------------------------------- opening

}  // namespace
}  // namespace tw
