#include "tags/AACfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tags/TagClasses.h"
#include "tests/TempDirTest.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kAudio = fs::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "fixtures" / "audio";

// Writes big-endian bit fields, most significant bit first.
class TBitWriter {
 public:
  TBitWriter& Put(uint32_t value, unsigned count) {
    for (int i = int(count) - 1; i >= 0; --i) {
      if (bit_ % 8 == 0) bytes_ += '\0';
      if ((value >> i) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> (bit_ % 8)));
      ++bit_;
    }
    return *this;
  }
  std::string Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  unsigned bit_ = 0;
};

// An ADTS frame header: MPEG-2 (id 1) puts the frame length at bit 30,
// MPEG-4 (id 0) at bit 32 as the reader expects. The frame is padded to its length.
std::string AdtsFrame(bool mpeg2, unsigned profile, unsigned rateIndex, unsigned channels, unsigned length,
                      unsigned fullness) {
  TBitWriter w;
  w.Put(0xFFF, 12).Put(mpeg2 ? 1 : 0, 1).Put(0, 2).Put(1, 1).Put(profile, 2).Put(rateIndex, 4).Put(0, 1)
      .Put(channels, 3);
  w.Put(0, mpeg2 ? 4 : 6).Put(length, 13).Put(fullness, 11).Put(0, 2);
  std::string frame = w.Bytes();
  if (frame.size() < length) frame.resize(length, '\0');
  return frame;
}

// An ADIF header followed by zeros up to the file size.
std::string Adif(bool copyright, bool vbr, uint32_t bitRate, unsigned profile, unsigned rateIndex,
                 const std::vector<unsigned>& channelFields, size_t fileSize) {
  TBitWriter w;
  w.Put('A', 8).Put('D', 8).Put('I', 8).Put('F', 8).Put(copyright ? 1 : 0, 1);
  if (copyright) w.Put(0, 32).Put(0, 32).Put(0, 8);
  w.Put(0, 2).Put(vbr ? 1 : 0, 1).Put(bitRate, 23).Put(0, 4);
  if (!vbr) w.Put(0, 20);
  w.Put(0, 4).Put(profile, 2).Put(rateIndex, 4);
  w.Put(channelFields[0], 4).Put(channelFields[1], 4).Put(channelFields[2], 4).Put(channelFields[3], 2);
  std::string bytes = w.Bytes();
  bytes.resize(fileSize, '\0');
  return bytes;
}

class AACfileTest : public test::TTempDirTest {
 protected:
  std::string Write(const std::string& bytes, const std::string& name = "t.aac") {
    return TTempDirTest::Write(bytes, name);
  }
};

std::vector<std::string> HandlerTags(const std::string& file) {
  TTagInfo tags;
  RunAACHandler(file, tags);
  return tags.Tags;
}

TEST_F(AACfileTest, Fixtures) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // adif.aac: CBR at 128000 bit/s, profile bits 3, rate index 3, one front
  // channel. empty.aac: 160 MPEG-2 ADTS frames of LC stereo at 44100 Hz,
  // buffer fullness 7FF, 2577 bytes in all.
  EXPECT_EQ(HandlerTags((kAudio / "adif.aac").string()),
            (std::vector<std::string>{"MPEGVersionid=2", "SampleRateHZ=48000", "BitRateKBS=128000",
                                      "MPEGVersionName=MPEG-4", "Profileid=4", "ProfileName=AAC LTP", "Channels=1",
                                      "BitrateTypeid=1", "BitrateTypeName=CBR", "DurationSec=0.256"}));
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile((kAudio / "empty.aac").string()));
  EXPECT_EQ(aac.HeaderTypeID, 2);
  EXPECT_EQ(aac.MPEGVersionID, 1);
  EXPECT_EQ(aac.ProfileID, 2);
  EXPECT_EQ(aac.SampleRate, 44100u);
  EXPECT_EQ(aac.Channels, 2);
  EXPECT_EQ(aac.BitRateTypeID, 2);
  EXPECT_EQ(aac.FileSize, 2577u);
  EXPECT_EQ(aac.BitRate, 5549u);  // 44100 * 2577 * 8 / 1024 / 160 = 5548.9
  EXPECT_DOUBLE_EQ(aac.Duration(), 2577.0 * 8 / 5549);
}

TEST_F(AACfileTest, AdifHeaders) {
  struct {
    const char* Name;
    bool Copyright, Vbr;
    uint32_t BitRate;
    unsigned Profile, RateIndex;
    std::vector<unsigned> ChannelFields;
    size_t FileSize;
    int ProfileID;
    uint32_t SampleRate;
    int Channels;
    const char* Type;
    double Duration;
  } cases[] = {
      {"4 000 000 bytes at 128000 bit/s", false, false, 128000, 1, 4, {2, 0, 0, 0}, 4000000, 2, 44100, 2, "CBR", 250},
      {"copyright id skipped", true, false, 64000, 0, 3, {1, 1, 0, 1}, 8000, 1, 48000, 3, "CBR", 1},
      {"variable bit rate", false, true, 96000, 2, 11, {1, 2, 1, 3}, 12000, 3, 8000, 7, "VBR", 1},
      {"unused rate index", false, true, 8000, 3, 13, {0, 0, 0, 0}, 1000, 4, 0, 0, "VBR", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TAACfile aac;
    ASSERT_TRUE(aac.ReadFromFile(
        Write(Adif(c.Copyright, c.Vbr, c.BitRate, c.Profile, c.RateIndex, c.ChannelFields, c.FileSize))));
    EXPECT_EQ(aac.HeaderTypeID, 1);
    EXPECT_EQ(aac.MPEGVersionID, 2);
    EXPECT_EQ(aac.BitRate, c.BitRate);
    EXPECT_EQ(aac.ProfileID, c.ProfileID);
    EXPECT_EQ(aac.SampleRate, c.SampleRate);
    EXPECT_EQ(aac.Channels, c.Channels);
    EXPECT_EQ(aac.BitRateType(), c.Type);
    EXPECT_DOUBLE_EQ(aac.Duration(), c.Duration);
  }
}

TEST_F(AACfileTest, AdtsVariableBitRateIsWalkedToTheEnd) {
  std::string bytes;
  for (int i = 0; i < 10; ++i) bytes += AdtsFrame(false, 1, 3, 2, i % 2 ? 300 : 500, 0x7FF);
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.MPEGVersionID, 2);
  EXPECT_EQ(aac.MPEGVersion(), "MPEG-4");
  EXPECT_EQ(aac.ProfileID, 2);
  EXPECT_EQ(aac.SampleRate, 48000u);
  EXPECT_EQ(aac.Channels, 2);
  EXPECT_EQ(aac.BitRateType(), "VBR");
  EXPECT_EQ(aac.BitRate, 150000u);  // 48000 * 4000 * 8 / 1024 / 10
}

TEST_F(AACfileTest, AdtsConstantBitRateStopsAfterOneFrame) {
  // Every frame after the first is ignored, even one with other values.
  std::string bytes = AdtsFrame(true, 0, 4, 1, 400, 0x123) + AdtsFrame(true, 3, 11, 6, 100, 0x7FF);
  bytes.resize(4000, '\0');
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.MPEGVersionID, 1);
  EXPECT_EQ(aac.Profile(), "AAC Main");
  EXPECT_EQ(aac.SampleRate, 44100u);
  EXPECT_EQ(aac.Channels, 1);
  EXPECT_EQ(aac.BitRateType(), "CBR");
  EXPECT_EQ(aac.BitRate, 137812u);  // 44100 * 400 * 8 / 1024 = 137812.5, rounded to even
  EXPECT_DOUBLE_EQ(aac.Duration(), 4000.0 * 8 / 137812);
}

TEST_F(AACfileTest, AdtsWalkCountsTheFrameThatLostSync) {
  // Two frames, then bytes without sync: the third pass counts a frame that is not one.
  std::string bytes = AdtsFrame(true, 1, 4, 2, 512, 0x7FF) + AdtsFrame(true, 1, 4, 2, 512, 0x7FF);
  bytes.resize(2048, '\x11');
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.BitRate, 117600u);  // 44100 * 1024 * 8 / 1024 / 3
}

TEST_F(AACfileTest, AdtsFrameOfLengthZeroEndsTheWalk) {
  std::string bytes = AdtsFrame(true, 1, 4, 2, 0, 0x7FF);
  bytes.resize(2048, '\0');
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.BitRateType(), "VBR");
  EXPECT_EQ(aac.BitRate, 0u);
  EXPECT_EQ(aac.Duration(), 0);
}

TEST_F(AACfileTest, HeaderFollowsTheID3v2TagAndTagsAreCopied) {
  std::string id3v2 = std::string("ID3\x03\x00\x00\x00\x00\x00\x15", 10) + "TIT2" +
                      std::string("\x00\x00\x00\x0B\x00\x00\x00", 7) + "Two title" + std::string(1, '\0');
  std::string id3v1(128, '\0');
  id3v1.replace(0, 3, "TAG");
  id3v1.replace(3, 5, "Title");
  id3v1.replace(33, 6, "Artist");
  id3v1[127] = '\xFF';
  // The walk also counts the ID3v1 tag as a fifth frame that lost sync.
  std::string bytes = id3v2;
  for (int i = 0; i < 4; ++i) bytes += AdtsFrame(false, 1, 4, 2, 256, 0x7FF);
  bytes += id3v1;
  EXPECT_EQ(HandlerTags(Write(bytes)),
            (std::vector<std::string>{"Artist=Artist", "Title=Two title", "MPEGVersionid=2", "SampleRateHZ=44100",
                                      "BitRateKBS=70560", "MPEGVersionName=MPEG-4", "Profileid=2",
                                      "ProfileName=AAC LC", "Channels=2", "BitrateTypeid=2", "BitrateTypeName=VBR",
                                      "DurationSec=" + FloatToTagText((bytes.size() - 31) * 8.0 / 70560)}));
}

TEST_F(AACfileTest, OtherFilesGiveUnknownValuesOrNothing) {
  // No header after the tag: the read succeeds with unknown values.
  TAACfile unknown;
  ASSERT_TRUE(unknown.ReadFromFile(Write(std::string(500, 'x'))));
  EXPECT_EQ(unknown.HeaderTypeID, 0);
  EXPECT_EQ(HandlerTags(Write(std::string(500, 'x'))),
            (std::vector<std::string>{"MPEGVersionName=Unknown", "ProfileName=Unknown", "BitrateTypeName=Unknown"}));
  // Shorter than an ID3v1 tag: the tag read fails and so does the file.
  EXPECT_FALSE(unknown.ReadFromFile(Write(AdtsFrame(true, 1, 4, 2, 100, 0x7FF))));
  EXPECT_TRUE(HandlerTags(Write(AdtsFrame(true, 1, 4, 2, 100, 0x7FF))).empty());
  EXPECT_FALSE(unknown.ReadFromFile(dir_ + "/missing.aac"));
  ASSERT_EQ(::mkfifo((dir_ + "/pipe.aac").c_str(), 0600), 0);
  EXPECT_FALSE(unknown.ReadFromFile(dir_ + "/pipe.aac"));
}

}  // namespace
}  // namespace tw
