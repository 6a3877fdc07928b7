#include "tags/OptimFROG.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Error.h"
#include "tags/TagClasses.h"
#include "tests/TempDirTest.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kAudio = fs::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "fixtures" / "audio";

void Le(std::string& s, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string OfrHeader(uint32_t length, uint16_t highLength, uint8_t sampleType, uint8_t channelMode,
                      uint32_t sampleRate, uint16_t encoder) {
  std::string h = "OFR ";
  Le(h, 15, 4);
  Le(h, length, 4);
  Le(h, highLength, 2);
  Le(h, sampleType, 1);
  Le(h, channelMode, 1);
  Le(h, sampleRate, 4);
  Le(h, encoder, 2);
  Le(h, 10, 1);  // compression
  return h;
}

class OptimFROGTest : public test::TTempDirTest {
 protected:
  std::string Write(const std::string& bytes, const std::string& name = "t.ofr") {
    return TTempDirTest::Write(bytes, name);
  }
};

std::vector<std::string> HandlerTags(const std::string& file) {
  TTagInfo tags;
  RunOFRHandler(file, tags);
  return tags.Tags;
}

TEST_F(OptimFROGTest, SharedFixtures) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // Both files: 16-bit stereo at 44100 Hz. The empty ones hold 324992
  // sample values and encoder code 0140 hex; the silent ones 176400 and 2582 hex.
  struct {
    const char* File;
    std::vector<std::string> Tags;
  } cases[] = {
      {"empty.ofr",
       {"EncoderVersion=4.520", "BitsPerSample=16", "ChannelModeName=Stereo", "Samples=162496",
        "DurationSec=" + FloatToTagText(162496.0 / 44100), "SampleRateHZ=44100"}},
      {"empty.ofs",
       {"EncoderVersion=4.520", "BitsPerSample=16", "ChannelModeName=Stereo", "Samples=162496",
        "DurationSec=" + FloatToTagText(162496.0 / 44100), "SampleRateHZ=44100"}},
      {"silence-2s-44100-16.ofr",
       {"EncoderVersion=5.100", "BitsPerSample=16", "ChannelModeName=Stereo", "Samples=88200", "DurationSec=2",
        "SampleRateHZ=44100"}},
      {"silence-2s-44100-16.ofs",
       {"EncoderVersion=5.100", "BitsPerSample=16", "ChannelModeName=Stereo", "Samples=88200", "DurationSec=2",
        "SampleRateHZ=44100"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    EXPECT_EQ(HandlerTags((kAudio / c.File).string()), c.Tags);
  }
}

TEST_F(OptimFROGTest, HeaderValues) {
  struct {
    const char* Name;
    uint32_t Length;
    uint16_t HighLength;
    uint8_t SampleType, ChannelMode;
    uint32_t SampleRate;
    uint16_t Encoder;
    int64_t Samples;
    double Duration;
    int Bits;
    const char* Mode;
    const char* Version;
  } cases[] = {
      {"stereo, ten seconds", 882000, 0, 2, 1, 44100, 0x0140, 441000, 10, 16, "Stereo", "4.520"},
      {"mono keeps the length", 96000, 0, 0, 0, 48000, 0x0000, 96000, 2, 8, "Mono", "4.500"},
      {"high length", 0, 1, 5, 0, 1 << 16, 0x0FF0, int64_t(1) << 32, 65536, 24, "Mono", "4.755"},
      {"high length of a stereo file", 2, 3, 7, 1, 0, 0xFFFF, 1 + (int64_t(1) << 32), 0, 32, "Stereo", "8.595"},
      {"floating-point samples", 100, 0, 9, 1, 50, 0x0140, 50, 1, -32, "Stereo", "4.520"},
      {"unknown sample type and mode", 100, 0, 11, 2, 25, 0x0140, 25, 1, 0, "", "4.520"},
      {"shift counts modulo 32", 100, 0, 1, 33, 50, 0x0140, 50, 1, 8, "", "4.520"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOptimFrog ofr;
    ASSERT_TRUE(ofr.ReadFromFile(
        Write(OfrHeader(c.Length, c.HighLength, c.SampleType, c.ChannelMode, c.SampleRate, c.Encoder) + "data")));
    EXPECT_EQ(ofr.Samples(), c.Samples);
    EXPECT_DOUBLE_EQ(ofr.Duration(), c.Duration);
    EXPECT_EQ(ofr.BitsPerSample(), c.Bits);
    EXPECT_EQ(ofr.ChannelMode(), c.Mode);
    EXPECT_EQ(ofr.EncoderVersion(), c.Version);
    EXPECT_EQ(ofr.FileLength, 27);
  }
}

TEST_F(OptimFROGTest, HeaderFollowsTheID3v2TagAndEmptyValuesAreSkipped) {
  std::string id3v2 = std::string("ID3\x03\x00\x00\x00\x00\x00\x0F", 10) + "TPE1" +
                      std::string("\x00\x00\x00\x05\x00\x00\x00", 7) + "Band";
  EXPECT_EQ(HandlerTags(Write(id3v2 + OfrHeader(0, 0, 12, 4, 0, 0x0140))),
            (std::vector<std::string>{"Artist=Band", "EncoderVersion=4.520"}));
}

TEST_F(OptimFROGTest, FilesWithoutTheSignatureOrUnreadable) {
  TOptimFrog ofr;
  EXPECT_FALSE(ofr.ReadFromFile(Write("OFR")));
  EXPECT_FALSE(ofr.ReadFromFile(Write(std::string(200, 'x'))));
  EXPECT_TRUE(HandlerTags(Write(std::string(200, 'x'))).empty());
  // A file that cannot be opened is an error for the scan to report.
  EXPECT_THROW(ofr.ReadFromFile(dir_ + "/missing.ofr"), EError);
  ASSERT_EQ(::mkfifo((dir_ + "/pipe.ofr").c_str(), 0600), 0);
  EXPECT_THROW(ofr.ReadFromFile(dir_ + "/pipe.ofr"), EError);
}

}  // namespace
}  // namespace tw
