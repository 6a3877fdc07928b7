// The WMA reader against real files and against ASF headers written here for
// the value types, limits and damage the real ones lack.
#include "tags/WMA.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tags/TagClasses.h"

namespace tw {
namespace {

const std::string kAudio =
    std::filesystem::path(__FILE__).parent_path().parent_path().string() + "/../shared/fixtures/audio/";

std::string Le(uint64_t v, int n) {
  std::string s(n, '\0');
  for (int i = 0; i < n; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

// GUIDs in their file layout, written out byte by byte.
const std::string kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kFileProps("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kStreamProps("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kContentDesc("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kExtContentDesc("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const std::string kOther(16, '\x5A');

// UTF-16LE of ASCII text, with the terminating zero ASF writes.
std::string Wide(const std::string& ascii, bool terminated = true) {
  std::string s;
  for (char c : ascii) s += std::string(1, c) + '\0';
  if (terminated) s += std::string(2, '\0');
  return s;
}

std::string Object(const std::string& guid, const std::string& body) {
  return guid + Le(24 + body.size(), 8) + body;
}

// Play duration (100 ns units, preroll included) at offset 64, preroll (ms)
// at 80, maximum bit rate at 100.
std::string FileProps(uint32_t maxBitRate, uint64_t playDuration = 0, uint64_t preroll = 0) {
  return Object(kFileProps, std::string(40, '\0') + Le(playDuration, 8) + std::string(8, '\0') + Le(preroll, 8) +
                                std::string(12, '\0') + Le(maxBitRate, 4));
}

std::string StreamProps(uint16_t channels, uint32_t rate, uint32_t byteRate) {
  return Object(kStreamProps, std::string(56, '\0') + Le(channels, 2) + Le(rate, 4) + Le(byteRate, 4) +
                                  std::string(8, '\0'));
}

std::string ContentDesc(const std::string& title, const std::string& author, const std::string& copyright,
                        const std::string& description, const std::string& rating) {
  std::string body;
  for (const auto* s : {&title, &author, &copyright, &description, &rating}) body += Le(s->size(), 2);
  return Object(kContentDesc, body + title + author + copyright + description + rating);
}

struct TDescriptor {
  std::string name;  // UTF-16LE bytes
  uint16_t type;
  std::string value;
};

std::string ExtContentDesc(const std::vector<TDescriptor>& descriptors) {
  std::string body = Le(descriptors.size(), 2);
  for (const auto& d : descriptors)
    body += Le(d.name.size(), 2) + d.name + Le(d.type, 2) + Le(d.value.size(), 2) + d.value;
  return Object(kExtContentDesc, body);
}

std::string Asf(const std::vector<std::string>& objects, size_t padTo = 0) {
  std::string body;
  for (const auto& o : objects) body += o;
  std::string b = kHeader + Le(30 + body.size(), 8) + Le(objects.size(), 4) + "\x01\x02" + body;
  if (b.size() < padTo) b.resize(padTo, '\0');
  return b;
}

std::vector<std::string> Plausible() {
  return {FileProps(128000), StreamProps(2, 44100, 16000)};
}

class WMATest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::string Write(const std::string& bytes) {
    std::string f = (std::filesystem::temp_directory_path() /
                     ("tw_wma_" + std::to_string(::getpid()) + "_" + std::to_string(files_.size()) + ".wma"))
                        .string();
    std::ofstream(f, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(f);
    return f;
  }
  std::vector<std::string> files_;
};

TEST_F(WMATest, SharedFixtures) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // From the objects: play duration less preroll and maximum bit rate in the
  // file properties, channels, rate and byte rate in the stream properties,
  // texts in the two descriptions. The durations are mutagen's; ffprobe
  // agrees on silence-1.wma (issue_29.wma is cut short after its header, so
  // ffprobe counts only the packets left). issue_29.wma has WM/TrackNumber
  // "6/15". silence-2.wma states a maximum bit rate of 576894, beyond the
  // plausible: it keeps its title but no stream values.
  const struct {
    const char* file;
    bool valid;
    uint32_t fileSize;
    uint8_t channels;
    uint32_t rate;
    double duration;
    uint32_t bitRate;
    std::u16string title, artist, album, year;
    int32_t track;
  } table[] = {
      {"issue_29.wma", true, 32000, 2, 44100, 40.613, 128, u"Se\u00f1or Flamingos Adieu", u"Kaizers Orchestra",
       u"Live at Vega", u"2006", 6},
      {"silence-1.wma", true, 35416, 2, 48000, 3.712, 64, u"test", u"", u"", u"", 0},
      {"silence-2.wma", false, 0, 0, 0, 0.0, 0, u"test", u"", u"", u"", 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(kAudio + row.file));
    EXPECT_EQ(wma.Valid, row.valid);
    EXPECT_EQ(wma.FileSize, row.fileSize);
    EXPECT_EQ(wma.ChannelModeID, row.channels);
    EXPECT_EQ(wma.SampleRate, row.rate);
    EXPECT_NEAR(wma.Duration, row.duration, 1e-9);
    EXPECT_EQ(wma.BitRate, row.bitRate);
    EXPECT_EQ(wma.Title, row.title);
    EXPECT_EQ(wma.Artist, row.artist);
    EXPECT_EQ(wma.Album, row.album);
    EXPECT_EQ(wma.Year, row.year);
    EXPECT_EQ(wma.Track, row.track);
    EXPECT_EQ(wma.Genre, u"");
    EXPECT_EQ(wma.Comment, u"");
  }
}

TEST_F(WMATest, SharedFileHandlerWritesFieldsInOrder) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunWMAHandler(kAudio + "issue_29.wma", tags);
  const std::vector<std::string> expected = {
      "Artist=Kaizers Orchestra", "Title=Se\xc3\xb1or Flamingos Adieu", "Album=Live at Vega", "Year=2006",
      "Track=6", "ChannelModeid=2", "ChannelModeName=Stereo", "SampleRateHZ=44100", "BitRateKBS=128",
      "DurationSec=40.613",
  };
  EXPECT_EQ(tags.Tags, expected);

  // Implausible stream values drop those values, never the texts.
  TTagInfo implausible;
  RunWMAHandler(kAudio + "silence-2.wma", implausible);
  EXPECT_EQ(implausible.Tags, (std::vector<std::string>{"Title=test", "ChannelModeName=Unknown"}));
}

TEST_F(WMATest, HundredSecondsAt128kbit) {
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromFile(Write(Asf(Plausible(), 1600000))));
  EXPECT_TRUE(wma.Valid);
  EXPECT_EQ(wma.FileSize, 1600000u);
  EXPECT_DOUBLE_EQ(wma.Duration, 100.0);
  EXPECT_EQ(wma.BitRate, 128u);
  EXPECT_EQ(wma.ChannelMode(), "Stereo");
}

TEST_F(WMATest, Plausibility) {
  const struct {
    const char* name;
    uint32_t maxBitRate;
    uint16_t channels;
    uint32_t rate, byteRate;
    bool valid;
    uint32_t bitRate;
  } table[] = {
      {"lowest", 1, 1, 8000, 1, true, 0},
      {"highest", 319999, 2, 96000, 39999, true, 319},
      {"byte rate 16000", 128000, 2, 44100, 16000, true, 128},
      {"byte rate 40000", 128000, 2, 44100, 40000, false, 0},
      {"byte rate 0", 128000, 2, 44100, 0, false, 0},
      {"maximum bit rate 0", 0, 2, 44100, 16000, false, 0},
      {"maximum bit rate 320000", 320000, 2, 44100, 16000, false, 0},
      {"no channels", 128000, 0, 44100, 16000, false, 0},
      {"three channels", 128000, 3, 44100, 16000, false, 0},
      {"rate 7999", 128000, 2, 7999, 16000, false, 0},
      {"rate 96001", 128000, 2, 96001, 16000, false, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(
        Write(Asf({FileProps(row.maxBitRate), StreamProps(row.channels, row.rate, row.byteRate)}))));
    EXPECT_EQ(wma.Valid, row.valid);
    EXPECT_EQ(wma.BitRate, row.bitRate);
    EXPECT_EQ(wma.ChannelModeID, row.valid ? row.channels : 0);
    EXPECT_EQ(wma.SampleRate, row.valid ? row.rate : 0);
  }
}

TEST_F(WMATest, NumberDescriptorsAreReadAndOtherTypesSkipped) {
  auto objects = Plausible();
  objects.push_back(ExtContentDesc({
      {Wide("WM/Track"), 3, Le(9, 4)},      // the older, zero-based name
      {Wide("WM/TrackNumber"), 3, Le(5, 4)},  // 32-bit number; wins over WM/Track
      {Wide("IsVBR"), 2, Le(1, 4)},         // boolean
      {Wide("WM/Picture"), 1, std::string(300, '\x7F')},  // bytes
      {Wide("WM/Genre"), 0, Wide("Jazz")},
      {Wide("WM/EncodingTime"), 4, Le(1, 8)},  // 64-bit number
      {Wide("WM/Year"), 0, Wide("1999")},      // mixed case matches
      {Wide("  wm/albumtitle "), 0, Wide(" Album ")},
      {Wide("WM/Description"), 0, Wide("note")},
      {Wide("WM/Track"), 5, Le(3, 2)},      // 16-bit number
  }));
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromFile(Write(Asf(objects))));
  EXPECT_EQ(wma.Track, 5);
  EXPECT_EQ(wma.Genre, u"Jazz");
  EXPECT_EQ(wma.Year, u"1999");
  EXPECT_EQ(wma.Album, u"Album");
  EXPECT_EQ(wma.Comment, u"note");

  // Numbers of each width, under the names current writers use.
  const struct {
    TDescriptor descriptor;
    int32_t track;
    std::u16string year;
  } table[] = {
      {{Wide("WM/TrackNumber"), 3, Le(7, 4)}, 7, u""},
      {{Wide("WM/TrackNumber"), 4, Le(12, 8)}, 12, u""},
      {{Wide("WM/TrackNumber"), 5, Le(3, 2)}, 3, u""},
      {{Wide("WM/TrackNumber"), 0, Wide("4/10")}, 4, u""},
      {{Wide("WM/Year"), 3, Le(2004, 4)}, 0, u"2004"},
  };
  for (const auto& row : table) {
    auto withOne = Plausible();
    withOne.push_back(ExtContentDesc({row.descriptor}));
    TWMAfile one;
    ASSERT_TRUE(one.ReadFromFile(Write(Asf(withOne))));
    EXPECT_EQ(one.Track, row.track);
    EXPECT_EQ(one.Year, row.year);
  }
}

TEST_F(WMATest, PlayDurationLessPrerollIsTheDuration) {
  const struct {
    uint64_t play, preroll;
    double duration;
  } table[] = {
      {406130000 + 31000000, 3100, 40.613},         // 43.713 s played, 3.1 s preroll
      {37120000, 0, 3.712},                         // no preroll
      {0, 3100, 1600000.0 * 8 / 128000},            // no play duration: size over the maximum rate
      {10000000, 3100, 1600000.0 * 8 / 128000},     // shorter than its preroll
  };
  for (const auto& row : table) {
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(
        Write(Asf({FileProps(128000, row.play, row.preroll), StreamProps(2, 44100, 16000)}, 1600000))));
    EXPECT_NEAR(wma.Duration, row.duration, 1e-9) << row.play;
  }
}

TEST_F(WMATest, TrackText) {
  const struct {
    std::string text;
    int32_t track;
  } table[] = {{" 7 ", 7}, {"12", 12}, {"6/15", 6}, {"x", 0}, {"-3", -3}, {"99999999999", 0}, {"", 0}};
  for (const auto& row : table) {
    auto objects = Plausible();
    objects.push_back(ExtContentDesc({{Wide("WM/TRACK"), 0, Wide(row.text)}}));
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(Write(Asf(objects))));
    EXPECT_EQ(wma.Track, row.track) << row.text;
  }
}

TEST_F(WMATest, ContentDescriptionAndLaterObjectsWin) {
  auto objects = Plausible();
  objects.push_back(ContentDesc(Wide("First"), Wide("Author"), Wide("(c)"), Wide("Desc"), Wide("R")));
  objects.push_back(ExtContentDesc({{Wide("WM/Title"), 0, Wide("Second")}}));
  objects.push_back(StreamProps(1, 22050, 8000));  // the last stream properties count
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromFile(Write(Asf(objects))));
  EXPECT_EQ(wma.Title, u"Second");
  EXPECT_EQ(wma.Artist, u"Author");
  EXPECT_EQ(wma.Comment, u"Desc");
  EXPECT_EQ(wma.ChannelModeID, 1);
  EXPECT_EQ(wma.ChannelMode(), "Mono");
  EXPECT_EQ(wma.SampleRate, 22050u);
  EXPECT_EQ(wma.BitRate, 64u);
}

TEST_F(WMATest, LongAndOddStrings) {
  auto objects = Plausible();
  std::string title;
  for (int i = 0; i < 300; ++i) title += std::string(1, static_cast<char>('a' + i % 26)) + '\0';  // 600 bytes
  // A 5-byte author keeps two characters; the odd byte is skipped and the
  // description after it is read in step.
  objects.push_back(ContentDesc(title, std::string("A\0b\0c", 5), "", Wide("after"), ""));
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromFile(Write(Asf(objects))));
  ASSERT_EQ(wma.Title.size(), 250u);
  EXPECT_EQ(wma.Title.substr(0, 3), u"abc");
  EXPECT_EQ(wma.Title[249], u'a' + 249 % 26);
  EXPECT_EQ(wma.Artist, u"Ab");
  EXPECT_EQ(wma.Comment, u"after");
}

TEST_F(WMATest, WideTextBecomesUtf8) {
  EXPECT_EQ(WideToUtf8(u"caf\u00e9 \u20ac"), "caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xf0\x9f\x98\x80");        // a surrogate pair
  EXPECT_EQ(WideToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xef\xbf\xbd" "x");  // unpaired
}

TEST_F(WMATest, DamagedAndForeignFiles) {
  TWMAfile wma;
  // Not ASF: a successful read with nothing in it.
  EXPECT_TRUE(wma.ReadFromFile(Write(std::string(64, 'x'))));
  EXPECT_FALSE(wma.Valid);
  // Shorter than a GUID.
  EXPECT_FALSE(wma.ReadFromFile(Write(kHeader.substr(0, 15))));
  EXPECT_FALSE(wma.ReadFromFile("/nonexistent/file.wma"));

  // An object count beyond the objects present reads past the end.
  std::string truncated = Asf(Plausible());
  truncated.replace(24, 4, Le(3, 4));
  EXPECT_FALSE(wma.ReadFromFile(Write(truncated)));
  EXPECT_FALSE(wma.Valid);

  // A string whose length runs past the end.
  auto objects = Plausible();
  std::string cut = Asf(objects) + kExtContentDesc + Le(100, 8) + Le(1, 2) + Le(200, 2) + "W\0";
  cut.replace(24, 4, Le(3, 4));
  EXPECT_FALSE(wma.ReadFromFile(Write(cut)));

  // A zero-sized object with a huge object count ends at once.
  std::string zero = Asf(Plausible()) + kOther + Le(0, 8);
  zero.replace(24, 4, Le(0xFFFFFFFF, 4));
  EXPECT_TRUE(wma.ReadFromFile(Write(zero)));
  EXPECT_TRUE(wma.Valid);

  const std::string fifo = (std::filesystem::temp_directory_path() / ("tw_wma_fifo_" + std::to_string(::getpid())))
                               .string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  EXPECT_FALSE(wma.ReadFromFile(fifo));

  TTagInfo tags;
  RunWMAHandler(Write(truncated), tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
