// The Ogg Vorbis reader against real files and against small files built here
// byte by byte for the cases the real ones lack.
#include "tags/OggVorbis.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("tw_ogg_" + std::to_string(::getpid()) + "_" + name)).string();
}

void Save(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string Item(const std::string& text) { return Le32(static_cast<uint32_t>(text.size())) + text; }

// An Ogg Vorbis file as the reader sees it: the first page header with its
// one-entry segment table, the identification header, the comment header,
// padding, and a last page whose granule holds the sample count.
struct TOggWriter {
  uint8_t channels = 2;
  uint32_t rate = 44100;
  uint32_t nominal = 128000;
  std::string vendor = "test vendor";
  std::vector<std::string> items;
  size_t padding = 1000;    // bytes between the comment header and the last page
  uint32_t samples = 441000;
  bool lastPage = true;
  size_t trailer = 100;     // bytes after the last page's "OggS"

  std::string Bytes() const {
    std::string b = "OggS";
    b += std::string(23, '\0');
    b += '\x1e';
    b += std::string("\x01vorbis", 7) + Le32(0) + static_cast<char>(channels) + Le32(rate) + Le32(0) + Le32(nominal) +
         Le32(0) + '\xb8' + '\x01';
    b += std::string("\x03vorbis", 7) + Item(vendor) + Le32(static_cast<uint32_t>(items.size()));
    for (const auto& i : items) b += Item(i);
    b += std::string(padding, 'x');
    if (lastPage) {
      std::string page = "OggS";
      page += '\0';
      page += '\x04';
      page += Le32(samples) + Le32(0);
      page.resize(trailer, 'y');
      b += page;
    }
    return b;
  }
};

std::vector<std::string> Tags(const std::string& file) {
  TTagInfo tags;
  RunOGGHandler(file, tags);
  return tags.Tags;
}

class OggVorbisTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string f = TempFile(name);
    Save(f, bytes);
    files_.push_back(f);
    return f;
  }
  std::vector<std::string> files_;
};

struct TOggFixture {
  const char* File;
  uint32_t FileSize;
  uint16_t SampleRate;
  uint16_t BitRateNominal;
  uint32_t Samples;
  const char* Title;
  const char* Artist;
  const char* Album;
  uint8_t Track;
  const char* Date;
  const char* Genre;
  const char* Comment;
  int BitRate;
};

TEST_F(OggVorbisTest, SharedFixtures) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // Values from the bytes: the rate and nominal bit rate at offsets 40 and 48,
  // the comment items after 03 "vorbis", the granule of the last "OggS" found
  // by the tail windows. multipagecomment.ogg has one item of 60004 bytes that
  // runs over page boundaries, so the item after it is read from audio data
  // and ends the comments.
  const TOggFixture table[] = {
      {"empty.ogg", 4328, 44100, 112, 162496, "", "", "", 0, "", "", "", 9},
      {"multipagecomment.ogg", 135694, 44100, 112, 162496, "", "", "", 0, "", "", "", 295},
      {"multipage-setup.ogg", 76983, 44100, 160, 182080, "Burst", "UVERworld", "Timeless", 7, "2006", "JRock",
       "SRCL-6240", 149},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.File);
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadFromFile(kAudio + row.File));
    EXPECT_TRUE(ogg.Valid);
    EXPECT_EQ(ogg.FileSize, row.FileSize);
    EXPECT_EQ(ogg.ChannelModeID, 2);
    EXPECT_EQ(ogg.ChannelMode(), "Stereo");
    EXPECT_EQ(ogg.SampleRate, row.SampleRate);
    EXPECT_EQ(ogg.BitRateNominal, row.BitRateNominal);
    EXPECT_EQ(ogg.Samples, row.Samples);
    EXPECT_EQ(ogg.Title, row.Title);
    EXPECT_EQ(ogg.Artist, row.Artist);
    EXPECT_EQ(ogg.Album, row.Album);
    EXPECT_EQ(ogg.Track, row.Track);
    EXPECT_EQ(ogg.Date, row.Date);
    EXPECT_EQ(ogg.Genre, row.Genre);
    EXPECT_EQ(ogg.Comment, row.Comment);
    EXPECT_EQ(ogg.Vendor, "Xiph.Org libVorbis I 20050304");
    EXPECT_DOUBLE_EQ(ogg.Duration(), static_cast<double>(row.Samples) / row.SampleRate);
    EXPECT_EQ(ogg.BitRate(), row.BitRate);
  }
}

TEST_F(OggVorbisTest, SharedFileHandlerWritesFieldsInOrder) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const std::vector<std::string> expected = {
      "Artist=UVERworld",      "Title=Burst",          "Album=Timeless",     "Year=2006",
      "Genre=JRock",           "Comments=SRCL-6240",   "Track=7",            "ChannelModeid=2",
      "ChannelModeName=Stereo", "SampleRateHZ=44100",  "BitRateKBS=149",     "DurationSec=4.12879818594104",
      "Vendor=Xiph.Org libVorbis I 20050304",
  };
  EXPECT_EQ(Tags(kAudio + "multipage-setup.ogg"), expected);
}

TEST_F(OggVorbisTest, TenSecondsAt44100) {
  TOggWriter w;
  const std::string bytes = w.Bytes();
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("ten.ogg", bytes)));
  EXPECT_EQ(ogg.Samples, 441000u);
  EXPECT_EQ(ogg.BitRateNominal, 128);
  EXPECT_DOUBLE_EQ(ogg.Duration(), 10.0);
  EXPECT_EQ(ogg.BitRate(), static_cast<int>(std::nearbyint(bytes.size() / 10.0 / 125)));
  EXPECT_EQ(ogg.Vendor, "test vendor");
}

TEST_F(OggVorbisTest, RatesAboveSixteenBitsGiveTheirDuration) {
  // 88200, 96000 and 192000 Hz streams are as ordinary as 44100 Hz ones.
  for (const uint32_t rate : {88200u, 96000u, 192000u}) {
    SCOPED_TRACE(rate);
    TOggWriter w;
    w.rate = rate;
    const std::string bytes = w.Bytes();
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadFromFile(Write("hi.ogg", bytes)));
    EXPECT_EQ(ogg.SampleRate, rate);
    EXPECT_DOUBLE_EQ(ogg.Duration(), 441000.0 / rate);
    EXPECT_EQ(ogg.BitRate(), static_cast<int>(std::nearbyint(bytes.size() / (441000.0 / rate) / 125)));
    const auto tags = Tags(Write("hi-tags.ogg", bytes));
    EXPECT_NE(std::find(tags.begin(), tags.end(), "SampleRateHZ=" + std::to_string(rate)), tags.end());
  }
}

TEST_F(OggVorbisTest, RangeLimitsOfRateBitRateAndChannels) {
  struct {
    uint8_t channels;
    uint32_t rate;
    uint32_t nominal;
    uint8_t wantChannels;
    uint32_t wantRate;
    uint16_t wantNominal;
  } const table[] = {
      {1, 8000, 16000, 1, 8000, 16},       {2, 384000, 350999, 2, 384000, 350}, {3, 7999, 15999, 0, 0, 0},
      {0, 384001, 351000, 0, 0, 0},        {6, 22050, 0xFFFFFFFF, 0, 22050, 0},
  };
  for (const auto& row : table) {
    TOggWriter w;
    w.channels = row.channels;
    w.rate = row.rate;
    w.nominal = row.nominal;
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadFromFile(Write("limits.ogg", w.Bytes())));
    EXPECT_EQ(ogg.ChannelModeID, row.wantChannels) << row.rate;
    EXPECT_EQ(ogg.SampleRate, row.wantRate) << row.rate;
    EXPECT_EQ(ogg.BitRateNominal, row.wantNominal) << row.nominal;
  }
}

TEST_F(OggVorbisTest, LastPageBeyondTheTailWindowsGivesNominalDuration) {
  TOggWriter w;
  w.lastPage = false;
  w.padding = 20000;
  std::string bytes = w.Bytes();
  // "OggS" 12011 bytes before the end: out of reach of the 50 windows.
  std::string page = "OggS";
  page += std::string(2, '\0') + Le32(441000);
  bytes.replace(bytes.size() - 12011, page.size(), page);
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("far.ogg", bytes)));
  EXPECT_EQ(ogg.Samples, 0u);
  EXPECT_DOUBLE_EQ(ogg.Duration(), static_cast<double>(bytes.size()) / 128 / 2 / 125 * 2);

  // 12010 bytes before the end lies in the last window.
  bytes = w.Bytes();
  bytes.replace(bytes.size() - 12010, page.size(), page);
  ASSERT_TRUE(ogg.ReadFromFile(Write("near.ogg", bytes)));
  EXPECT_EQ(ogg.Samples, 441000u);
}

TEST_F(OggVorbisTest, TrackNumbers) {
  const struct {
    const char* item;
    uint8_t track;
  } table[] = {
      {"TRACKNUMBER=3/12", 3}, {"tracknumber=7", 7}, {"TrackNumber= 12 ", 12}, {"TRACKNUMBER=x1", 0},
      {"TRACKNUMBER=", 0},     {"TRACKNUMBER=300", 44}, {"TRACKNUMBER=/5", 0},  {"TRACKNUMBER=-1", 255},
  };
  for (const auto& row : table) {
    TOggWriter w;
    w.items = {row.item};
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadFromFile(Write("track.ogg", w.Bytes())));
    EXPECT_EQ(ogg.Track, row.track) << row.item;
  }
}

TEST_F(OggVorbisTest, LongItemKeepsItsFirst250BytesAndTheNextIsRead) {
  TOggWriter w;
  w.items = {"TITLE=" + std::string(294, 'a'), "ARTIST=after"};
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("long.ogg", w.Bytes())));
  EXPECT_EQ(ogg.Title, std::string(244, 'a'));
  EXPECT_EQ(ogg.Artist, "after");
}

TEST_F(OggVorbisTest, CommentTextDecoding) {
  const struct {
    std::string item;
    std::string comment;
  } table[] = {
      {"COMMENT=caf\xc3\xa9", "caf\xc3\xa9"},                 // two-byte sequence kept
      {"COMMENT=a\xe2\x82\xac" "b", "a\xe2\x82\xac" "b"},     // three-byte sequence kept
      {"COMMENT=ab\xff" "cd", "ab"},                          // malformed: cut there
      {"COMMENT=ok\xf0\x9f\x98\x80" "x", "ok"},               // four-byte sequences are not decoded
      {std::string("COMMENT=ze\0ro", 13), "ze"},              // kept text ends at a zero byte
  };
  for (const auto& row : table) {
    TOggWriter w;
    w.items = {row.item};
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadFromFile(Write("utf8.ogg", w.Bytes())));
    EXPECT_EQ(ogg.Comment, row.comment);
  }
}

TEST_F(OggVorbisTest, LaterItemReplacesEarlierAndBareItemFillsEmptyVendor) {
  TOggWriter w;
  w.vendor = "";
  w.items = {"GENRE=Rock", "bare item", "genre=Jazz", "second bare", "UNKNOWN=x"};
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("items.ogg", w.Bytes())));
  EXPECT_EQ(ogg.Genre, "Jazz");
  EXPECT_EQ(ogg.Vendor, "bare item");
}

TEST_F(OggVorbisTest, TruncatedCommentsKeepWhatWasRead) {
  TOggWriter w;
  w.items = {"ALBUM=first"};
  w.padding = 0;
  w.lastPage = false;
  std::string bytes = w.Bytes();
  bytes += Le32(1000) + "TITLE=cut short";  // claims more than the file holds
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("cut.ogg", bytes)));
  EXPECT_EQ(ogg.Album, "first");
  EXPECT_EQ(ogg.Title, "");
}

TEST_F(OggVorbisTest, ShortMissingAndForeignFiles) {
  TOggVorbis ogg;
  TOggWriter w;
  const std::string bytes = w.Bytes();
  EXPECT_FALSE(ogg.ReadFromFile(Write("short.ogg", bytes.substr(0, 57))));
  EXPECT_TRUE(ogg.ReadFromFile(Write("exact.ogg", bytes.substr(0, 58))));
  EXPECT_TRUE(ogg.Valid);
  EXPECT_FALSE(ogg.ReadFromFile(TempFile("does-not-exist.ogg")));

  // No signature: a successful read with nothing in it but the mode name.
  std::string foreign = bytes;
  foreign[29] = 'X';
  ASSERT_TRUE(ogg.ReadFromFile(Write("foreign.ogg", foreign)));
  EXPECT_FALSE(ogg.Valid);
  EXPECT_EQ(ogg.FileSize, 0u);
  EXPECT_EQ(ogg.Vendor, "");
  EXPECT_EQ(Tags(Write("foreign2.ogg", foreign)), std::vector<std::string>{"ChannelModeName=Unknown"});
}

TEST_F(OggVorbisTest, OnlyRegularFilesAreOpened) {
  const std::string fifo = TempFile("fifo.ogg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  TOggVorbis ogg;
  EXPECT_FALSE(ogg.ReadFromFile(fifo));  // returns at once instead of waiting for a writer
  EXPECT_FALSE(ogg.ReadFromFile(std::filesystem::temp_directory_path().string()));
}

TEST_F(OggVorbisTest, ReadResetsPreviousValues) {
  TOggWriter w;
  w.items = {"TITLE=one"};
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromFile(Write("one.ogg", w.Bytes())));
  ASSERT_EQ(ogg.Title, "one");
  EXPECT_FALSE(ogg.ReadFromFile(Write("tiny.ogg", "OggS")));
  EXPECT_EQ(ogg.Title, "");
  EXPECT_EQ(ogg.Samples, 0u);
}

}  // namespace
}  // namespace tw
