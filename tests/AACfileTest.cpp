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

// An ADTS frame header of either version: the frame length sits at bit 30,
// the buffer fullness after it. The frame is padded to its length.
std::string AdtsFrame(bool mpeg2, unsigned profile, unsigned rateIndex, unsigned channels, unsigned length,
                      unsigned fullness) {
  TBitWriter w;
  w.Put(0xFFF, 12).Put(mpeg2 ? 1 : 0, 1).Put(0, 2).Put(1, 1).Put(profile, 2).Put(rateIndex, 4).Put(0, 1)
      .Put(channels, 3);
  w.Put(0, 4).Put(length, 13).Put(fullness, 11).Put(0, 2);
  std::string frame = w.Bytes();
  if (frame.size() < length) frame.resize(length, '\0');
  return frame;
}

// One element of an ADIF program configuration: a single channel, or a
// channel pair when `pair`.
struct TElement {
  bool pair = false;
};

// An ADIF header with one program configuration followed by zeros up to the
// file size: front, side and back elements, then LFE elements.
std::string Adif(bool copyright, bool vbr, uint32_t bitRate, unsigned profile, unsigned rateIndex,
                 const std::vector<std::vector<TElement>>& elements, unsigned lfe, size_t fileSize,
                 bool mixdowns = false) {
  TBitWriter w;
  w.Put('A', 8).Put('D', 8).Put('I', 8).Put('F', 8).Put(copyright ? 1 : 0, 1);
  if (copyright) w.Put(0, 32).Put(0, 32).Put(0, 8);
  w.Put(0, 2).Put(vbr ? 1 : 0, 1).Put(bitRate, 23).Put(0, 4);
  if (!vbr) w.Put(0, 20);
  w.Put(0, 4).Put(profile, 2).Put(rateIndex, 4);
  for (const auto& group : elements) w.Put(static_cast<uint32_t>(group.size()), 4);
  w.Put(lfe, 2).Put(0, 3).Put(0, 4);  // no data or coupling elements
  for (int i = 0; i < 3; ++i) {
    w.Put(mixdowns ? 1 : 0, 1);
    if (mixdowns) w.Put(0xF, i == 2 ? 3 : 4);
  }
  for (const auto& group : elements)
    for (const auto& e : group) w.Put(e.pair ? 1 : 0, 1).Put(0xA, 4);
  for (unsigned i = 0; i < lfe; ++i) w.Put(0x5, 4);
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

TEST_F(AACfileTest, SharedFixtures) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // adif.aac: CBR at 128000 bit/s, profile bits 3, rate index 3, one front
  // element that is a channel pair. empty.aac: 159 MPEG-2 ADTS frames of LC
  // stereo at 44100 Hz, buffer fullness 7FF, 2577 bytes in all; ffprobe:
  // 3.654023 s at 5642 bit/s.
  EXPECT_EQ(HandlerTags((kAudio / "adif.aac").string()),
            (std::vector<std::string>{"MPEGVersionid=2", "SampleRateHZ=48000", "BitRateKBS=128000",
                                      "MPEGVersionName=MPEG-4", "Profileid=4", "ProfileName=AAC LTP", "Channels=2",
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
  EXPECT_NEAR(aac.BitRate, 5642, 5642 * 0.02);
  EXPECT_NEAR(aac.Duration(), 3.654023, 3.654023 * 0.02);
}

TEST_F(AACfileTest, AdifHeaders) {
  const std::vector<TElement> one(1), two(2);
  struct {
    const char* Name;
    bool Copyright, Vbr;
    uint32_t BitRate;
    unsigned Profile, RateIndex;
    std::vector<std::vector<TElement>> Elements;
    unsigned Lfe;
    bool Mixdowns;
    size_t FileSize;
    int ProfileID;
    uint32_t SampleRate;
    int Channels;
    const char* Type;
    double Duration;
  } cases[] = {
      {"4 000 000 bytes at 128000 bit/s", false, false, 128000, 1, 4, {two, {}, {}}, 0, false, 4000000, 2, 44100, 2,
       "CBR", 250},
      {"copyright id skipped", true, false, 64000, 0, 3, {one, one, {}}, 1, false, 8000, 1, 48000, 3, "CBR", 1},
      {"variable bit rate", false, true, 96000, 2, 11, {one, two, one}, 3, false, 12000, 3, 8000, 7, "VBR", 1},
      {"unused rate index", false, true, 8000, 3, 13, {{}, {}, {}}, 0, false, 1000, 4, 0, 0, "VBR", 1},
      {"a channel pair is two channels", false, false, 128000, 1, 4, {{TElement{true}}, {}, {}}, 0, false, 16000, 2,
       44100, 2, "CBR", 1},
      {"5.1: centre, front pair, back pair, LFE", false, false, 384000, 1, 3,
       {{TElement{false}, TElement{true}}, {}, {TElement{true}}}, 1, false, 48000, 2, 48000, 6, "CBR", 1},
      {"mixdown fields before the elements", false, true, 128000, 1, 4, {{TElement{true}}, {TElement{true}}, {}}, 0,
       true, 16000, 2, 44100, 4, "VBR", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TAACfile aac;
    ASSERT_TRUE(aac.ReadFromFile(
        Write(Adif(c.Copyright, c.Vbr, c.BitRate, c.Profile, c.RateIndex, c.Elements, c.Lfe, c.FileSize, c.Mixdowns))));
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
  EXPECT_DOUBLE_EQ(aac.Duration(), 10 * 1024 / 48000.0);
}

TEST_F(AACfileTest, AdtsConstantBitRateIsMeasuredOverAllFrames) {
  // An encoder's first frame is short; the stream values come from it, the
  // rate from all frames.
  std::string bytes = AdtsFrame(true, 0, 4, 1, 200, 0x123);
  for (int i = 0; i < 9; ++i) bytes += AdtsFrame(true, 3, 11, 6, 400, 0x0F0);
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.MPEGVersionID, 1);
  EXPECT_EQ(aac.Profile(), "AAC Main");
  EXPECT_EQ(aac.SampleRate, 44100u);
  EXPECT_EQ(aac.Channels, 1);
  EXPECT_EQ(aac.BitRateType(), "CBR");
  EXPECT_EQ(aac.BitRate, 130922u);  // 44100 * 3800 * 8 / 1024 / 10 = 130921.9
  EXPECT_NEAR(aac.Duration(), 10 * 1024 / 44100.0, 1e-6);
}

TEST_F(AACfileTest, AdtsWalkEndsWhereSyncIsLost) {
  // Two frames, then bytes without sync: two frames are counted, not three.
  std::string bytes = AdtsFrame(true, 1, 4, 2, 512, 0x7FF) + AdtsFrame(true, 1, 4, 2, 512, 0x7FF);
  bytes.resize(2048, '\x11');
  TAACfile aac;
  ASSERT_TRUE(aac.ReadFromFile(Write(bytes)));
  EXPECT_EQ(aac.BitRate, 176400u);  // 44100 * 1024 * 8 / 1024 / 2
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
  // The walk stops at the ID3v1 tag, which has no sync.
  std::string bytes = id3v2;
  for (int i = 0; i < 4; ++i) bytes += AdtsFrame(false, 1, 4, 2, 256, 0x7FF);
  bytes += id3v1;
  EXPECT_EQ(HandlerTags(Write(bytes)),
            (std::vector<std::string>{"Artist=Artist", "Title=Two title", "MPEGVersionid=2", "SampleRateHZ=44100",
                                      "BitRateKBS=88200", "MPEGVersionName=MPEG-4", "Profileid=2",
                                      "ProfileName=AAC LC", "Channels=2", "BitrateTypeid=2", "BitrateTypeName=VBR",
                                      "DurationSec=" + FloatToTagText((bytes.size() - 31) * 8.0 / 88200)}));
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
