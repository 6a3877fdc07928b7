// The FLAC reader against real files and against headers written here for the
// channel counts, sizes, long counts and damaged starts the real ones lack.
#include "tags/FLAC.h"

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

// "fLaC", the STREAMINFO block header and its 34 bytes, then `extra` bytes.
struct TFlacWriter {
  uint32_t rate = 44100;      // 20 bits
  unsigned channels = 2;      // 1..8
  unsigned bits = 16;         // 1..32
  uint64_t samples = 441000;  // 36 bits
  std::string magic = "fLaC";
  size_t extra = 16;
  // Metadata blocks after STREAMINFO (type, data); the last one is flagged.
  std::vector<std::pair<uint8_t, std::string>> blocks;

  std::string Bytes() const {
    std::string b = magic;
    b += blocks.empty() ? std::string("\x80\x00\x00\x22", 4)   // last block, STREAMINFO, 34 bytes
                        : std::string("\x00\x00\x00\x22", 4);
    b += std::string("\x10\x00\x10\x00", 4);  // block sizes 4096
    b += std::string(6, '\0');                // frame sizes unknown
    b += static_cast<char>(rate >> 12);
    b += static_cast<char>(rate >> 4);
    b += static_cast<char>((rate & 0x0F) << 4 | ((channels - 1) & 7) << 1 | ((bits - 1) >> 4 & 1));
    b += static_cast<char>(((bits - 1) & 0x0F) << 4 | (samples >> 32 & 0x0F));
    for (int s = 24; s >= 0; s -= 8) b += static_cast<char>(samples >> s);
    b += std::string(16, '\x5A');  // MD5
    for (size_t i = 0; i < blocks.size(); ++i) {
      const auto& [type, data] = blocks[i];
      b += static_cast<char>(type | (i + 1 == blocks.size() ? 0x80 : 0));
      for (int s = 16; s >= 0; s -= 8) b += static_cast<char>(data.size() >> s);
      b += data;
    }
    return b + std::string(extra, '\0');
  }
};

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A Vorbis comment block: vendor, count, then "NAME=value" items.
std::string VorbisComments(const std::vector<std::string>& items) {
  std::string b = Le32(6) + "vendor" + Le32(static_cast<uint32_t>(items.size()));
  for (const auto& item : items) b += Le32(static_cast<uint32_t>(item.size())) + item;
  return b;
}

std::string Padded(const std::string& s, size_t n) { return (s + std::string(n, '\0')).substr(0, n); }

// An ID3v1.1 tag.
std::string ID3v1Tag(const std::string& title, const std::string& artist, uint8_t track, uint8_t genre) {
  return "TAG" + Padded(title, 30) + Padded(artist, 30) + Padded("Album", 30) + "1999" + Padded("", 28) +
         std::string(1, '\0') + static_cast<char>(track) + static_cast<char>(genre);
}

// An ID3v2.3 tag with one TIT2 frame.
std::string ID3v2Tag(const std::string& title) {
  const std::string text = std::string(1, '\0') + title;
  std::string frame = "TIT2" + std::string(3, '\0') + static_cast<char>(text.size()) + std::string(2, '\0') + text;
  return std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + static_cast<char>(frame.size()) + frame;
}

class FLACTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::string Write(const std::string& bytes) {
    std::string f = (std::filesystem::temp_directory_path() /
                     ("tw_flac_" + std::to_string(::getpid()) + "_" + std::to_string(files_.size()) + ".flac"))
                        .string();
    std::ofstream(f, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(f);
    return f;
  }
  std::vector<std::string> files_;
};

TEST_F(FLACTest, SharedFixtures) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  // Bytes 18-25 of all three: 0a c4 42 f0 then the count; no ID3 tags.
  const struct {
    const char* file;
    int64_t length;
    int64_t samples;
  } table[] = {
      {"silence-44-s.flac", 50904, 0x00027AC0},
      {"no-tags.flac", 4692, 0x00027AC0},
      {"variable-block.flac", 10240, 0x00B01678},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    TFLACfile flac;
    ASSERT_TRUE(flac.ReadFromFile(kAudio + row.file));
    EXPECT_EQ(flac.Channels, 2);
    EXPECT_EQ(flac.SampleRate, 44100u);
    EXPECT_EQ(flac.BitsPerSample, 16);
    EXPECT_EQ(flac.FileLength, row.length);
    EXPECT_EQ(flac.Samples, row.samples);
    EXPECT_TRUE(flac.IsValid());
    EXPECT_DOUBLE_EQ(flac.Duration(), static_cast<double>(row.samples) / 44100);
    EXPECT_FALSE(flac.ID3v1.Exists);
    EXPECT_FALSE(flac.ID3v2.Exists);
  }
}

TEST_F(FLACTest, SharedFileHandlerWritesFieldsInOrder) {
  if (!std::filesystem::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunFLACHandler(kAudio + "silence-44-s.flac", tags);
  // The Vorbis comments as ffprobe lists them; of the two ARTIST items the
  // later one counts, as in Ogg files.
  const std::vector<std::string> expected = {"Artist=jzig", "Title=Silence", "Album=Quod Libet Test Data",
                                             "Year=2004", "Genre=Silence", "Track=2", "Channels=2",
                                             "SampleRateHZ=44100", "BitsPerSample=16", "Samples =162496",
                                             "DurationSec=3.68471655328798"};
  EXPECT_EQ(tags.Tags, expected);
}

TEST_F(FLACTest, HeaderCases) {
  const auto tenSeconds = TFlacWriter{};
  auto mono8 = tenSeconds;
  mono8.channels = 1, mono8.bits = 8, mono8.rate = 8000, mono8.samples = 4000;
  auto widest = tenSeconds;
  widest.channels = 8, widest.bits = 32, widest.rate = 0xFFFFF, widest.samples = 0xFFFFFFFF;
  auto oddBits = tenSeconds;
  oddBits.bits = 17, oddBits.rate = 96000, oddBits.samples = 96000 * 3;
  auto long36 = tenSeconds;
  long36.samples = (uint64_t{1} << 32) + 441000;  // the top bits are dropped
  auto exact32 = tenSeconds;
  exact32.samples = uint64_t{1} << 32;  // modulo 2^32 is 0
  auto unknown = tenSeconds;
  unknown.samples = 0;
  auto noRate = tenSeconds;
  noRate.rate = 0;
  auto lower = tenSeconds;
  lower.magic = "flac";

  const struct {
    const char* name;
    TFlacWriter w;
    bool read;
    uint8_t channels;
    uint32_t rate;
    uint8_t bits;
    int64_t samples;
    bool valid;
    double duration;
  } table[] = {
      {"10 s stereo", tenSeconds, true, 2, 44100, 16, 441000, true, 10.0},
      {"mono 8-bit", mono8, true, 1, 8000, 8, 4000, true, 0.5},
      {"widest fields", widest, true, 8, 1048575, 32, 4294967295, true, 4294967295.0 / 1048575},
      {"bits across the byte border", oddBits, true, 2, 96000, 17, 288000, true, 3.0},
      {"36-bit count", long36, true, 2, 44100, 16, 441000, true, 10.0},
      {"count of 2^32", exact32, true, 2, 44100, 16, 0, false, 0.0},
      {"unknown length", unknown, true, 2, 44100, 16, 0, false, 0.0},
      {"rate 0", noRate, true, 2, 0, 16, 441000, false, 0.0},
      {"signature case matters", lower, false, 0, 0, 0, 0, false, 0.0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const std::string bytes = row.w.Bytes();
    TFLACfile flac;
    EXPECT_EQ(flac.ReadFromFile(Write(bytes)), row.read);
    EXPECT_EQ(flac.FileLength, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(flac.Channels, row.channels);
    EXPECT_EQ(flac.SampleRate, row.rate);
    EXPECT_EQ(flac.BitsPerSample, row.bits);
    EXPECT_EQ(flac.Samples, row.samples);
    EXPECT_EQ(flac.IsValid(), row.valid);
    EXPECT_DOUBLE_EQ(flac.Duration(), row.duration);
  }
}

TEST_F(FLACTest, ShortFilesReadMissingBytesAsZero) {
  const std::string full = TFlacWriter{}.Bytes();
  const struct {
    size_t length;
    bool read;
    uint8_t channels;
    uint32_t rate;
    uint8_t bits;
    int64_t samples;
  } table[] = {
      {0, false, 0, 0, 0, 0},
      {3, false, 0, 0, 0, 0},
      {4, true, 1, 0, 1, 0},                 // fields of zero bytes: count - 1 = 0
      {20, true, 1, 0xAC4 << 4, 1, 0},       // rate lacks its low nibble
      {24, true, 2, 44100, 16, 0x00060000},  // 441000 = 0x0006BAA8, two bytes in
      {41, true, 2, 44100, 16, 441000},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.length);
    TFLACfile flac;
    EXPECT_EQ(flac.ReadFromFile(Write(full.substr(0, row.length))), row.read);
    EXPECT_EQ(flac.FileLength, static_cast<int64_t>(row.length));
    EXPECT_EQ(flac.Channels, row.channels);
    EXPECT_EQ(flac.SampleRate, row.rate);
    EXPECT_EQ(flac.BitsPerSample, row.bits);
    EXPECT_EQ(flac.Samples, row.samples);
  }
}

TEST_F(FLACTest, HandlerCases) {
  const std::string stream = TFlacWriter{}.Bytes();
  auto unknown = TFlacWriter{};
  unknown.samples = 0;
  const std::vector<std::string> streamFields = {"Channels=2", "SampleRateHZ=44100", "BitsPerSample=16",
                                                 "Samples =441000", "DurationSec=10"};
  // Padding first, then the comments; names in any letter case.
  auto commented = TFlacWriter{};
  commented.blocks = {{1, std::string(10, '\0')},
                      {4, VorbisComments({"artist=Vorbis band", "ALBUM=Vorbis album", "DATE=2010", "TRACKNUMBER=4/9",
                                          "GENRE=Jazz", "COMMENT=Live"})}};
  auto afterLast = TFlacWriter{};
  afterLast.extra = 0;
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
  } table[] = {
      {"stream only", stream, streamFields},
      {"ID3v1 at the end",
       stream + ID3v1Tag("Song", "Band", 7, 17),
       {"Artist=Band", "Title=Song", "Album=Album", "Year=1999", "Genre=Rock", "Track=7", "Channels=2",
        "SampleRateHZ=44100", "BitsPerSample=16", "Samples =441000", "DurationSec=10"}},
      {"unknown length stores no count or duration",
       unknown.Bytes(),
       {"Channels=2", "SampleRateHZ=44100", "BitsPerSample=16"}},
      {"Vorbis comments win over ID3v1", commented.Bytes() + ID3v1Tag("Song", "Band", 7, 17),
       {"Artist=Vorbis band", "Title=Song", "Album=Vorbis album", "Year=2010", "Genre=Jazz", "Track=4",
        "Comments=Live", "Channels=2", "SampleRateHZ=44100", "BitsPerSample=16", "Samples =441000",
        "DurationSec=10"}},
      {"a comment block after the last block is not one",
       afterLast.Bytes() + std::string("\x04\x00\x00\x13", 4) + VorbisComments({"TITLE=x"}), streamFields},
      {"ID3v2 in front hides the signature", ID3v2Tag("Song") + stream, {}},
      {"not FLAC, even with an ID3v1 tag", "OggS" + stream.substr(4) + ID3v1Tag("Song", "Band", 7, 17), {}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TTagInfo tags;
    RunFLACHandler(Write(row.bytes), tags);
    EXPECT_EQ(tags.Tags, row.expected);
  }
}

TEST_F(FLACTest, TagReadersComeWithTheStream) {
  TFLACfile flac;
  ASSERT_TRUE(flac.ReadFromFile(Write(TFlacWriter{}.Bytes() + ID3v1Tag("Song", "Band", 3, 0))));
  EXPECT_TRUE(flac.ID3v1.Exists);
  EXPECT_EQ(flac.ID3v1.Title, "Song");
  EXPECT_EQ(flac.ID3v1.Track, 3);
  EXPECT_FALSE(flac.ID3v2.Exists);

  // The ID3v2 reader sees the tag even though the stream read fails.
  EXPECT_FALSE(flac.ReadFromFile(Write(ID3v2Tag("Front") + TFlacWriter{}.Bytes())));
  EXPECT_TRUE(flac.ID3v2.Exists);
  EXPECT_EQ(flac.ID3v2.Title, "Front");
  EXPECT_EQ(flac.Channels, 0);
}

TEST_F(FLACTest, MissingAndIrregularFiles) {
  TFLACfile flac;
  ASSERT_TRUE(flac.ReadFromFile(Write(TFlacWriter{}.Bytes())));
  EXPECT_FALSE(flac.ReadFromFile("/nonexistent/file.flac"));
  EXPECT_EQ(flac.Channels, 0);  // reset before the failed read
  EXPECT_EQ(flac.FileLength, 0);
  EXPECT_FALSE(flac.ReadFromFile(std::filesystem::temp_directory_path().string()));

  const std::string fifo =
      (std::filesystem::temp_directory_path() / ("tw_flac_fifo_" + std::to_string(::getpid()))).string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  EXPECT_FALSE(flac.ReadFromFile(fifo));  // refused, never blocks
  TTagInfo tags;
  RunFLACHandler(fifo, tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
