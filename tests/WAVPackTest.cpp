// The WavPack reader against real files (all WavPack 4) and against blocks and
// RIFF files written here in both forms.
#include "tags/WAVPack.h"

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

std::string Chunk(const std::string& id, uint32_t size, const std::string& body) { return id + Le(size, 4) + body; }

// A "fmt " chunk of 16 bytes (or `size` when given, padded with zeros).
std::string Fmt(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t size = 16, uint16_t tag = 1) {
  const uint32_t bps = rate * channels * bits / 8;
  std::string body = Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(bps, 4) + Le(channels * bits / 8, 2) + Le(bits, 2);
  body.resize(size, '\0');
  return Chunk("fmt ", size, body);
}

// The 36-byte "wvpk" block header followed by `payload` bytes.
std::string Block(uint32_t blockSize, uint16_t version, uint16_t flags, uint32_t samples, size_t payload = 64) {
  return "wvpk" + Le(blockSize, 4) + Le(version, 2) + Le(16, 1) + Le(0, 1) + Le(flags, 2) + Le(0, 2) + Le(samples, 4) +
         std::string(16, '\x11') + std::string(payload, '\x22');
}

// A metadata item of a WavPack 4 block: id, size in 16-bit words, the data
// padded to even length (the odd-size bit says so).
std::string Item(uint8_t id, const std::string& data) {
  const bool odd = data.size() % 2;
  const std::string even = odd ? data + '\0' : data;
  return std::string(1, static_cast<char>(id | (odd ? 0x40 : 0))) + static_cast<char>(even.size() / 2) + even;
}

// A WavPack 4 block: the 32-byte header (flags: bytes per sample - 1 in bits
// 0-1, mono bit 2, shift in bits 13-17, rate index in bits 23-26), its items,
// then some audio bytes.
std::string Block4(uint32_t flags, uint32_t samples, const std::string& items = "", uint8_t samplesHigh = 0) {
  const std::string body = items + std::string(64, '\x22');
  return "wvpk" + Le(24 + body.size(), 4) + Le(0x410, 2) + Le(0, 1) + Le(samplesHigh, 1) + Le(samples, 4) +
         Le(0, 4) + Le(samples, 4) + Le(flags, 4) + Le(0, 4) + body;
}

constexpr uint32_t Rate(uint32_t index) { return index << 23; }

std::string Riff(const std::string& chunks) { return "RIFF" + Le(4 + chunks.size(), 4) + "WAVE" + chunks; }

std::string Padded(const std::string& s, size_t n) { return (s + std::string(n, '\0')).substr(0, n); }

std::string ID3v1Tag(const std::string& title, const std::string& artist) {
  return "TAG" + Padded(title, 30) + Padded(artist, 30) + Padded("", 30) + "2001" + Padded("", 28) +
         std::string(1, '\0') + "\x05" + "\x08";  // track 5, genre 8 "Jazz"
}

// An ID3v2.3 tag with one TIT2 frame: 10 + 10 + 1 + title bytes.
std::string ID3v2Tag(const std::string& title) {
  const std::string text = std::string(1, '\0') + title;
  std::string frame = "TIT2" + std::string(3, '\0') + static_cast<char>(text.size()) + std::string(2, '\0') + text;
  return std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + static_cast<char>(frame.size()) + frame;
}

// An APE 2 footer without items: 32 bytes, Size 32.
std::string APEFooter() { return "APETAGEX" + Le(2000, 4) + Le(32, 4) + Le(0, 4) + Le(0, 4) + std::string(8, '\0'); }

// An APE 2 tag of one item and its footer.
std::string ApeTag(const std::string& key, const std::string& value) {
  const std::string item = Le(value.size(), 4) + Le(0, 4) + key + '\0' + value;
  return item + "APETAGEX" + Le(2000, 4) + Le(item.size() + 32, 4) + Le(1, 4) + Le(0, 4) + std::string(8, '\0');
}

class WAVPackTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::string Write(const std::string& bytes) {
    std::string f = (std::filesystem::temp_directory_path() /
                     ("tw_wv_" + std::to_string(::getpid()) + "_" + std::to_string(files_.size()) + ".wv"))
                        .string();
    std::ofstream(f, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(f);
    return f;
  }
  std::vector<std::string> files_;
};

TEST_F(WAVPackTest, SharedFixturesAreWavPack4) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // All three start with "wvpk". silence-44-s.wv ends in an APE 2 tag whose
  // footer says 333; no_length.wv leaves its sample count unknown; dsd.wv is
  // DSD at four times its table rate. ffprobe: 44100 Hz 3.684717 s, 44100 Hz
  // no duration, 352800 Hz 0.01 s, all stereo.
  const struct {
    const char* file;
    int32_t version, rate, bits;
    double duration;
    bool ape;
    uint32_t apeSize;
  } table[] = {
      {"silence-44-s.wv", 0x403, 44100, 16, 162496.0 / 44100, true, 333},
      {"no_length.wv", 0x407, 44100, 16, 0, false, 0},
      {"dsd.wv", 0x410, 352800, 8, 0.01, false, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    TWAVPackfile wv;
    ASSERT_TRUE(wv.ReadFromFile(kAudio + row.file));
    EXPECT_TRUE(wv.Valid);
    EXPECT_EQ(wv.FileSize, static_cast<int64_t>(std::filesystem::file_size(kAudio + row.file)));
    EXPECT_EQ(wv.Version, row.version);
    EXPECT_EQ(wv.Channels, 2);
    EXPECT_EQ(wv.SampleRate, row.rate);
    EXPECT_EQ(wv.Bits, row.bits);
    EXPECT_NEAR(wv.Duration, row.duration, 1e-9);
    EXPECT_FALSE(wv.ID3v1.Exists);
    EXPECT_FALSE(wv.ID3v2.Exists);
    EXPECT_EQ(wv.APEtag.Exists, row.ape);
    EXPECT_EQ(wv.APEtag.Size, row.apeSize);
  }
  // The APE tag gives the texts as the APE handler would (its "Date" item is
  // no key of that handler).
  TTagInfo tags;
  RunWPAHandler(kAudio + "silence-44-s.wv", tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"Artist=piman", "Title=Silence", "Album=Quod Libet Test Data",
                                                  "Genre=Silence", "Track=2", "Channels=2", "SampleRateHZ=44100",
                                                  "BitsPerSample=16", "DurationSec=3.68471655328798"}));
}

TEST_F(WAVPackTest, Block4Cases) {
  const std::string channelInfo = Item(0x0D, std::string("\x06\x3F\x00", 3));
  const std::string largeItem = std::string("\xA1\x02\x00\x00", 4) + std::string(4, 'R');  // RIFF header, 2 words
  const struct {
    const char* name;
    std::string bytes;
    int32_t channels, rate, bits, formatTag;
    double duration;
  } table[] = {
      {"stereo 16-bit 44100 Hz", Block4(1 | Rate(9), 441000), 2, 44100, 16, 1, 10.0},
      {"mono 24-bit 48000 Hz", Block4(2 | 4 | Rate(10), 48000), 1, 48000, 24, 1, 1.0},
      {"20 bits in 3 bytes", Block4(2 | 4u << 13 | Rate(9), 44100), 2, 44100, 20, 1, 1.0},
      {"float samples", Block4(3 | 1u << 7 | Rate(13), 96000), 2, 96000, 32, 3, 1.0},
      {"unknown length", Block4(1 | Rate(9), 0xFFFFFFFF), 2, 44100, 16, 1, 0.0},
      {"40-bit count", Block4(1 | Rate(14), 0, "", 1), 2, 192000, 16, 1, 4294967296.0 / 192000},
      {"channel info item", Block4(1 | Rate(9), 44100, channelInfo), 6, 44100, 16, 1, 1.0},
      {"rate of its own item", Block4(1 | 4 | Rate(15), 7350, Item(0x27, Le(7350, 3))), 1, 7350, 16, 1, 1.0},
      {"large item skipped", Block4(1 | Rate(9), 44100, largeItem + channelInfo), 6, 44100, 16, 1, 1.0},
      {"DSD at four times the table rate", Block4(1u << 31 | Rate(12), 352800, Item(0x0E, std::string("\x02\x00", 2))),
       2, 352800, 8, 1, 1.0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TWAVPackfile wv;
    ASSERT_TRUE(wv.ReadFromFile(Write(row.bytes)));
    EXPECT_TRUE(wv.Valid);
    EXPECT_EQ(wv.Version, 0x410);
    EXPECT_EQ(wv.Channels, row.channels);
    EXPECT_EQ(wv.SampleRate, row.rate);
    EXPECT_EQ(wv.Bits, row.bits);
    EXPECT_EQ(wv.FormatTag, row.formatTag);
    EXPECT_DOUBLE_EQ(wv.Duration, row.duration);
    EXPECT_DOUBLE_EQ(wv.BitRate, row.duration > 0 ? row.bytes.size() * 8 / (row.duration * 1000) : 0.0);
  }
}

TEST_F(WAVPackTest, ChunkCases) {
  const std::string fmt = Fmt(2, 44100, 16);
  const std::string stereo = Riff(fmt + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string id3v2 = ID3v2Tag("Front");  // 26 bytes
  const std::string tail = APEFooter() + ID3v1Tag("Song", "Band");
  const std::string tagged = id3v2 + stereo + tail;
  const std::string pcm = Riff(fmt + Chunk("data", 176400, std::string(176400, '\0')));
  const std::string pcmMore =
      Riff(fmt + Chunk("data", 176400, std::string(176400, '\0')) + Chunk("LIST", 92, std::string(92, 'x')));
  const std::string cutPcm = Riff(fmt + Chunk("data", 176400, std::string(100, '\0')));
  const std::string tinyPcm = Riff(fmt + Chunk("data", 176400, std::string(10, '\0')));
  const std::string fmt18 = Riff(Fmt(2, 44100, 16, 18) + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string shortFmt =
      Riff(Chunk("fmt ", 14, std::string(14, '\x7F')) + Fmt(1, 22050, 8) + Chunk("data", 100, Block(992, 2, 1, 22050)));
  const std::string oddJunk = Riff(Chunk("JUNK", 3, "abc") + fmt + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string dataFirst = Riff(Chunk("data", 4, "wvpk") + fmt + Chunk("data", 100, Block(992, 3, 0, 88200)));
  const std::string zeroChunk = Riff(Chunk("JUNK", 0, "") + fmt + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string noData = Riff(fmt);
  const std::string rate0 = Riff(Fmt(2, 0, 16) + Chunk("data", 100, Block(992, 3, 1, 441000)));
  const std::string count0 = Riff(fmt + Chunk("data", 100, Block(992, 3, 0, 0)));
  const std::string negBlock = Riff(fmt + Chunk("data", 100, Block(0xFFFFFFFF, 3, 0, 441000)));
  const std::string hugeRate = Riff(Fmt(2, 0x80000000u, 16) + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string cutFmt = Riff(fmt).substr(0, 12 + 8 + 10);

  const double fullPcm = 1411.2;  // 176400 bytes per second / 125
  const struct {
    const char* name;
    std::string bytes;
    bool valid;
    int32_t version, channels, rate, bits;
    int64_t fileSize;
    double bitRate, duration;
  } table[] = {
      {"stereo block", stereo, true, 3, 2, 44100, 16, int64_t(stereo.size()),
       double(int64_t(stereo.size()) - 992) * 8 / 10000, 10.0},
      {"tags around the file", tagged, true, 3, 2, 44100, 16, int64_t(tagged.size()),
       double(int64_t(tagged.size()) - (128 + 26 + 32) - 992) * 8 / 10000, 10.0},
      // The bytes left are counted after the 36 read for a block header.
      {"PCM data ending the file", pcm, true, 0, 2, 44100, 16, int64_t(pcm.size()), fullPcm, 176364.0 / 176400},
      {"PCM data with a chunk after it", pcmMore, true, 0, 2, 44100, 16, int64_t(pcmMore.size()), fullPcm, 1.0},
      {"PCM data cut short", cutPcm, true, 0, 2, 44100, 16, int64_t(cutPcm.size()), fullPcm, 64.0 / 176400},
      {"PCM data shorter than a block header", tinyPcm, true, 0, 2, 44100, 16, int64_t(tinyPcm.size()), fullPcm, 0.0},
      {"fmt of 18 bytes misleads the walk", fmt18, true, 0, 2, 44100, 16, int64_t(fmt18.size()), fullPcm, 0.0},
      {"short fmt skipped, mono flag", shortFmt, true, 2, 1, 22050, 8, int64_t(shortFmt.size()),
       double(int64_t(shortFmt.size()) - 992) * 8 / 1000, 1.0},
      {"odd chunk size, no padding", oddJunk, true, 3, 2, 44100, 16, int64_t(oddJunk.size()),
       double(int64_t(oddJunk.size()) - 992) * 8 / 10000, 10.0},
      {"data before fmt is skipped", dataFirst, true, 3, 2, 44100, 16, int64_t(dataFirst.size()),
       double(int64_t(dataFirst.size()) - 992) * 8 / 2000, 2.0},
      {"chunk size 0 stops", zeroChunk, false, 0, 0, 0, 0, 0, 0.0, 0.0},
      {"no data chunk", noData, true, 0, 2, 44100, 16, int64_t(noData.size()), fullPcm, 0.0},
      {"rate 0", rate0, true, 3, 1, 0, 16, int64_t(rate0.size()), 0.0, 0.0},
      {"count 0", count0, true, 3, 2, 44100, 16, int64_t(count0.size()), fullPcm, 0.0},
      {"block size is signed", negBlock, true, 3, 2, 44100, 16, int64_t(negBlock.size()),
       double(int64_t(negBlock.size()) + 1) * 8 / 10000, 10.0},
      {"rate of 2^31 is negative", hugeRate, true, 3, 2, INT32_MIN, 16, int64_t(hugeRate.size()),
       double(uint32_t(0x80000000u * 4)) / 125, 0.0},
      {"fmt cut short", cutFmt, false, 0, 0, 0, 0, 0, 0.0, 0.0},
      {"RIFX", "RIFX" + stereo.substr(4), false, 0, 0, 0, 0, 0, 0.0, 0.0},
      {"not WAVE", stereo.substr(0, 8) + "AVI " + stereo.substr(12), false, 0, 0, 0, 0, 0, 0.0, 0.0},
      {"only the RIFF start", stereo.substr(0, 12), false, 0, 0, 0, 0, 0, 0.0, 0.0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TWAVPackfile wv;
    ASSERT_TRUE(wv.ReadFromFile(Write(row.bytes)));
    EXPECT_EQ(wv.Valid, row.valid);
    EXPECT_EQ(wv.Version, row.version);
    EXPECT_EQ(wv.Channels, row.channels);
    EXPECT_EQ(wv.SampleRate, row.rate);
    EXPECT_EQ(wv.Bits, row.bits);
    EXPECT_EQ(wv.FormatTag, row.valid ? 1 : 0);
    EXPECT_EQ(wv.FileSize, row.fileSize);
    EXPECT_DOUBLE_EQ(wv.BitRate, row.bitRate);
    EXPECT_DOUBLE_EQ(wv.Duration, row.duration);
  }
}

TEST_F(WAVPackTest, TagReadersAndTagSize) {
  const std::string bytes = ID3v2Tag("Front") + Riff(Fmt(2, 44100, 16) + Chunk("data", 100, Block(992, 3, 0, 441000))) +
                            APEFooter() + ID3v1Tag("Song", "Band");
  TWAVPackfile wv;
  ASSERT_TRUE(wv.ReadFromFile(Write(bytes)));
  EXPECT_TRUE(wv.ID3v2.Exists);
  EXPECT_EQ(wv.ID3v2.Size, 26);
  EXPECT_EQ(wv.ID3v2.Title, "Front");
  EXPECT_TRUE(wv.ID3v1.Exists);
  EXPECT_EQ(wv.ID3v1.Title, "Song");
  EXPECT_TRUE(wv.APEtag.Exists);
  EXPECT_EQ(wv.APEtag.Size, 32u);
  EXPECT_TRUE(wv.Valid);
}

TEST_F(WAVPackTest, HandlerCases) {
  const std::string stereo = Riff(Fmt(2, 44100, 16) + Chunk("data", 100, Block(992, 3, 0, 441000)));
  const std::string v1 = ID3v1Tag("Song", "Band");
  const std::vector<std::string> v1Fields = {"Artist=Band", "Title=Song", "Year=2001", "Genre=Jazz", "Track=5"};
  const std::vector<std::string> streamFields = {"Channels=2", "SampleRateHZ=44100", "BitsPerSample=16",
                                                 "DurationSec=10"};
  std::vector<std::string> both = v1Fields;
  both.insert(both.end(), streamFields.begin(), streamFields.end());
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
  } table[] = {
      {"stream only", stereo, streamFields},
      {"ID3v1 first; the ID3v2 title is not copied", ID3v2Tag("Front") + stereo + APEFooter() + v1, both},
      {"WavPack 4 with its ID3v1 values", Block4(1 | Rate(9), 441000) + v1, both},
      {"WavPack 4: the APE tag wins", Block4(1 | Rate(9), 441000) + ApeTag("Title", "Ape song") + v1,
       {"Artist=Band", "Title=Ape song", "Year=2001", "Genre=Jazz", "Track=5", "Channels=2", "SampleRateHZ=44100",
        "BitsPerSample=16", "DurationSec=10"}},
      {"too short", stereo.substr(0, 11), {}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TTagInfo tags;
    RunWPAHandler(Write(row.bytes), tags);
    EXPECT_EQ(tags.Tags, row.expected);
  }
}

TEST_F(WAVPackTest, ShortMissingAndIrregularFiles) {
  const std::string stereo = Riff(Fmt(2, 44100, 16) + Chunk("data", 100, Block(992, 3, 0, 441000)));
  TWAVPackfile wv;
  ASSERT_TRUE(wv.ReadFromFile(Write(stereo)));
  EXPECT_FALSE(wv.ReadFromFile(Write(stereo.substr(0, 11))));
  EXPECT_FALSE(wv.ReadFromFile(Write("")));
  EXPECT_FALSE(wv.ReadFromFile("/nonexistent/file.wv"));
  EXPECT_FALSE(wv.Valid);  // reset before the failed read
  EXPECT_EQ(wv.Duration, 0.0);
  EXPECT_FALSE(wv.ReadFromFile(std::filesystem::temp_directory_path().string()));
  // An ID3v2 tag that fills the file leaves nothing of the RIFF start.
  EXPECT_FALSE(wv.ReadFromFile(Write(ID3v2Tag("Front"))));
  EXPECT_TRUE(wv.ID3v2.Exists);

  const std::string fifo =
      (std::filesystem::temp_directory_path() / ("tw_wv_fifo_" + std::to_string(::getpid()))).string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  EXPECT_FALSE(wv.ReadFromFile(fifo));  // refused, never blocks
  TTagInfo tags;
  RunWPAHandler(fifo, tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
