// The WAV header reader against real files and against headers written here
// for the rates, channel counts and sizes the real ones lack.
#include "tags/WAV.h"

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

std::string Le(uint32_t v, int n) {
  std::string s(n, '\0');
  for (int i = 0; i < n; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

// The 44-byte PCM header followed by `extra` bytes of samples. Without
// `dataChunk` the chunk after "fmt " is a "junk" chunk reaching past the end.
struct TWavWriter {
  uint32_t riffSize = 1764036;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  std::string riff = "RIFF", wave = "WAVE", fmt = "fmt ";
  size_t extra = 16;
  bool dataChunk = true;

  std::string Bytes() const {
    std::string b = riff + Le(riffSize, 4) + wave + fmt + Le(16, 4) + Le(1, 2) + Le(channels, 2) + Le(rate, 4) +
                    Le(rate * channels * bits / 8, 4) + Le(channels * bits / 8, 2) + Le(bits, 2) +
                    (dataChunk ? "data" : "junk") + Le(riffSize - 36, 4);
    return b + std::string(extra, '\0');
  }
};

class WAVTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::string Write(const std::string& bytes) {
    std::string f = (std::filesystem::temp_directory_path() /
                     ("tw_wav_" + std::to_string(::getpid()) + "_" + std::to_string(files_.size()) + ".wav"))
                        .string();
    std::ofstream(f, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(f);
    return f;
  }
  std::vector<std::string> files_;
};

TEST_F(WAVTest, SharedFixtures) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // From the headers: RIFF size at 4, channels at 22, rate at 24, bits at 34;
  // the length from the "data" chunk, so the ID3 chunk after the samples of
  // the 44100 Hz file is no audio (ffprobe: 2.000000 s for both).
  const struct {
    const char* file;
    uint8_t channels;
    uint16_t rate;
    uint8_t bits;
    uint32_t fileSize;
    double duration;
  } table[] = {
      {"silence-2s-PCM-16000-08-notags.wav", 2, 16000, 8, 64044, 2.0},
      {"silence-2s-PCM-44100-16-ID3v23.wav", 2, 44100, 16, 353342, 2.0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(kAudio + row.file));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.ChannelModeID, row.channels);
    EXPECT_EQ(wav.ChannelMode(), "Stereo");
    EXPECT_EQ(wav.SampleRate, row.rate);
    EXPECT_EQ(wav.BitsPerSample, row.bits);
    EXPECT_EQ(wav.FileSize, row.fileSize);
    EXPECT_DOUBLE_EQ(wav.Duration(), row.duration);
  }
}

TEST_F(WAVTest, SharedFileHandlerWritesFieldsInOrder) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunWAVHandler(kAudio + "silence-2s-PCM-44100-16-ID3v23.wav", tags);
  const std::vector<std::string> expected = {"ChannelModeid=2", "ChannelModeName=Stereo", "SampleRateHZ=44100",
                                             "BitsPerSample=16", "DurationSec=2"};
  EXPECT_EQ(tags.Tags, expected);
}

TEST_F(WAVTest, HeaderCases) {
  const auto stereo = TWavWriter{};
  auto mono8 = stereo;
  mono8.channels = 1, mono8.bits = 8, mono8.rate = 8000, mono8.riffSize = 8036;
  auto six = stereo;
  six.channels = 6;
  auto hiRate = stereo;
  hiRate.rate = 96000;
  auto compressed = stereo;
  compressed.bits = 0;
  // Without a data chunk the RIFF size gives the length.
  auto noData = stereo;
  noData.dataChunk = false;
  auto wrapped = noData;
  wrapped.riffSize = 0xFFFFFFFC;  // + 8 wraps to 4 in 32 bits
  auto tiny = noData;
  tiny.riffSize = 20;             // 28 bytes by the header: a negative length
  auto noRiff = stereo;
  noRiff.riff = "RIFX";
  auto noWave = stereo;
  noWave.wave = "AVI ";
  auto noFmt = stereo;
  noFmt.fmt = "LIST";

  const struct {
    const char* name;
    TWavWriter w;
    bool valid;
    uint8_t channels;
    uint32_t rate;
    uint8_t bits;
    uint32_t fileSize;
    double duration;
  } table[] = {
      {"10 s stereo", stereo, true, 2, 44100, 16, 1764044, 10.0},
      {"1 s mono 8-bit", mono8, true, 1, 8000, 8, 8044, 1.0},
      {"six channels", six, false, 0, 0, 0, 0, 0.0},
      {"96000 Hz is a 32-bit rate", hiRate, true, 2, 96000, 16, 1764044, 1764000.0 * 8 / 96000 / 16 / 2},
      {"no data chunk", noData, true, 2, 44100, 16, 1764044, 10.0},
      {"0 bits per sample", compressed, true, 2, 44100, 0, 1764044, 0.0},
      {"RIFF size wraps", wrapped, true, 2, 44100, 16, 4, -40.0 * 8 / 44100 / 16 / 2},
      {"RIFF size below the header", tiny, true, 2, 44100, 16, 28, -16.0 * 8 / 44100 / 16 / 2},
      {"not RIFF", noRiff, false, 0, 0, 0, 0, 0.0},
      {"not WAVE", noWave, false, 0, 0, 0, 0, 0.0},
      {"no fmt chunk first", noFmt, false, 0, 0, 0, 0, 0.0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(Write(row.w.Bytes())));
    EXPECT_EQ(wav.Valid, row.valid);
    EXPECT_EQ(wav.ChannelModeID, row.channels);
    EXPECT_EQ(wav.SampleRate, row.rate);
    EXPECT_EQ(wav.BitsPerSample, row.bits);
    EXPECT_EQ(wav.FileSize, row.fileSize);
    EXPECT_DOUBLE_EQ(wav.Duration(), row.duration);
  }
}

TEST_F(WAVTest, DataChunkWhereverItLies) {
  // 8000 Hz mono 16-bit: 16000 bytes a second. The chunks between "fmt " and
  // "data" vary; an odd-sized chunk is followed by its pad byte.
  const std::string format = "fmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) + Le(16000, 4) + Le(2, 2) +
                             Le(16, 2);
  const std::string extensible = "fmt " + Le(40, 4) + Le(0xFFFE, 2) + Le(1, 2) + Le(8000, 4) + Le(16000, 4) +
                                 Le(2, 2) + Le(16, 2) + Le(22, 2) + std::string(22, '\x01');
  const std::string list = "LIST" + Le(5, 4) + "INFOx" + std::string(1, '\0');
  const struct {
    const char* name;
    std::string chunks;
    size_t samples;
    double duration;
  } table[] = {
      {"after an extensible format header", extensible + "data" + Le(8000, 4), 8000, 0.5},
      {"after a list of odd size", format + list + "data" + Le(4000, 4), 4000, 0.25},
      {"length left unknown runs to the end", format + "data" + Le(0xFFFFFFFF, 4), 3200, 0.2},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const std::string body = "WAVE" + row.chunks + std::string(row.samples, '\0');
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(Write("RIFF" + Le(static_cast<uint32_t>(body.size()), 4) + body)));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.SampleRate, 8000u);
    EXPECT_DOUBLE_EQ(wav.Duration(), row.duration);
  }
}

TEST_F(WAVTest, UnknownChannelsStillNameTheMode) {
  auto w = TWavWriter{};
  w.channels = 6;
  TTagInfo tags;
  RunWAVHandler(Write(w.Bytes()), tags);
  EXPECT_EQ(tags.Tags, std::vector<std::string>{"ChannelModeName=Unknown"});
}

TEST_F(WAVTest, ShortMissingAndIrregularFiles) {
  const std::string bytes = TWavWriter{}.Bytes();
  TWAVfile wav;
  EXPECT_FALSE(wav.ReadFromFile(Write(bytes.substr(0, 43))));
  EXPECT_TRUE(wav.ReadFromFile(Write(bytes.substr(0, 44))));
  EXPECT_TRUE(wav.Valid);
  EXPECT_FALSE(wav.ReadFromFile("/nonexistent/file.wav"));
  EXPECT_FALSE(wav.Valid);  // reset before the failed read

  const std::string fifo = (std::filesystem::temp_directory_path() / ("tw_wav_fifo_" + std::to_string(::getpid())))
                               .string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  EXPECT_FALSE(wav.ReadFromFile(fifo));

  TTagInfo tags;
  RunWAVHandler(Write(bytes.substr(0, 43)), tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
