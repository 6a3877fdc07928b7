#include "tags/TwinVQ.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tags/TagClasses.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kAudio = fs::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "fixtures" / "audio";

void Be32(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Builds TwinVQ files byte by byte: the 40-byte header with its COMM chunk,
// then text chunks, then whatever follows.
class TVqfWriter {
 public:
  TVqfWriter(uint32_t channelMode, uint32_t bitRate, uint32_t rateCode, uint32_t headerSize = 0) {
    bytes_ = "TWIN97012000";
    Be32(bytes_, headerSize);
    bytes_ += "COMM";
    Be32(bytes_, 16);
    Be32(bytes_, channelMode);
    Be32(bytes_, bitRate);
    Be32(bytes_, rateCode);
    Be32(bytes_, 0);  // security level
  }
  TVqfWriter& Chunk(const std::string& id, const std::string& data) {
    return RawChunk(id, static_cast<uint32_t>(data.size()), data);
  }
  TVqfWriter& RawChunk(const std::string& id, uint32_t size, const std::string& data) {
    bytes_ += id;
    Be32(bytes_, size);
    bytes_ += data;
    return *this;
  }
  TVqfWriter& Raw(const std::string& data) {
    bytes_ += data;
    return *this;
  }
  // Pads with a DATA chunk up to the given file size.
  TVqfWriter& PadTo(size_t size) {
    bytes_ += "DATA";
    bytes_.resize(size, '\0');
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class TwinVQTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-vqf-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& bytes, const std::string& name = "t.vqf") {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir_;
};

TEST_F(TwinVQTest, HeaderValues) {
  struct {
    const char* Name;
    uint32_t ChannelMode, BitRate, RateCode, HeaderSize;
    size_t FileSize;
    int ChannelModeID, ExpectedBitRate, SampleRate;
    uint32_t ExpectedFileSize;
    double Duration;
    const char* ModeName;
  } cases[] = {
      {"22 kHz at 20 kbit/s", 0, 20, 22, 0, 100020, 1, 20, 22050, 100020, 40.0, "Mono"},
      {"stereo 44 kHz", 1, 48, 44, 0, 6020, 2, 48, 44100, 6020, 1.0, "Stereo"},
      {"11 kHz", 0, 8, 11, 0, 1020, 1, 8, 11025, 1020, 1.0, "Mono"},
      {"other rates are code x 1000", 0, 10, 8, 0, 1270, 1, 10, 8000, 1270, 1.0, "Mono"},
      {"sample rate kept in 16 bits", 0, 10, 96, 0, 1270, 1, 10, 30464, 1270, 1.0, "Mono"},
      {"unknown channel mode", 2, 10, 22, 0, 1270, 0, 10, 22050, 1270, 1.0, "Unknown"},
      {"only the low 16 bits count", 0x00010001, 0x00FF0010, 0x00070016, 0, 2020, 2, 16, 22050, 2020, 1.0, "Stereo"},
      {"bit rate kept in 8 bits", 0, 260, 22, 0, 520, 1, 4, 22050, 520, 1.0, "Mono"},
      {"no bit rate, no duration", 0, 0, 22, 0, 520, 1, 0, 22050, 520, 0.0, "Mono"},
      {"header size subtracted", 0, 2, 22, 230, 500, 1, 2, 22050, 500, 1.0, "Mono"},
      {"header size beyond the file", 0, 2, 22, 520, 250, 1, 2, 22050, 250, 1.16, "Mono"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTwinVQ vqf;
    ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(c.ChannelMode, c.BitRate, c.RateCode, c.HeaderSize)
                                           .PadTo(c.FileSize)
                                           .Bytes())));
    EXPECT_TRUE(vqf.Valid);
    EXPECT_EQ(vqf.ChannelModeID, c.ChannelModeID);
    EXPECT_EQ(vqf.ChannelMode(), c.ModeName);
    EXPECT_EQ(vqf.BitRate, c.ExpectedBitRate);
    EXPECT_EQ(vqf.SampleRate, c.SampleRate);
    EXPECT_EQ(vqf.FileSize, c.ExpectedFileSize);
    EXPECT_DOUBLE_EQ(vqf.Duration, c.Duration);
  }
}

TEST_F(TwinVQTest, TextChunksFillTheirSlots) {
  TTwinVQ vqf;
  ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(1, 20, 22)
                                         .Chunk("NAME", "Song")
                                         .Chunk("DSIZ", "\x00\x00\x10\x00")
                                         .Chunk("COMT", "A comment")
                                         .Chunk("AUTH", "Someone")
                                         .Chunk("(c) ", "2001 Quenmoor")
                                         .Chunk("FILE", "song.wav")
                                         .PadTo(400)
                                         .Bytes())));
  EXPECT_EQ(vqf.Title, "Song");
  EXPECT_EQ(vqf.Comment, "A comment");
  EXPECT_EQ(vqf.Author, "Someone");
  EXPECT_EQ(vqf.Copyright, "2001 Quenmoor");
  EXPECT_EQ(vqf.SourceName, "song.wav");
}

TEST_F(TwinVQTest, LongChunkKeeps250BytesAndTheNextChunkIsRead) {
  std::string name(300, 'n');
  name.replace(249, 2, "XY");
  TTwinVQ vqf;
  ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22).Chunk("NAME", name).Chunk("AUTH", "Next").Bytes())));
  ASSERT_EQ(vqf.Title.size(), 250u);
  EXPECT_EQ(vqf.Title.back(), 'X');
  EXPECT_EQ(vqf.Author, "Next");
}

TEST_F(TwinVQTest, ChunkReadingStops) {
  struct {
    const char* Name;
    std::string Tail;
  } cases[] = {
      {"at DATA", TVqfWriter(0, 1, 1).Chunk("DATA", "xx").Chunk("AUTH", "late").Bytes().substr(40)},
      {"at an identifier byte below 32", TVqfWriter(0, 1, 1).Chunk("AU\x1FH", "").Chunk("AUTH", "late").Bytes().substr(40)},
      {"at a chunk cut by the file end", TVqfWriter(0, 1, 1).RawChunk("AUTH", 100, "late").Bytes().substr(40)},
      {"at a cut chunk header", "AUTH\x00\x00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTwinVQ vqf;
    ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22).Chunk("NAME", "early").Raw(c.Tail).Bytes())));
    EXPECT_TRUE(vqf.Valid);
    EXPECT_EQ(vqf.Title, "early");
    EXPECT_EQ(vqf.Author, "");
  }
}

TEST_F(TwinVQTest, ChunkTextEndsAtZeroAndSizeUsesLow16Bits) {
  TTwinVQ vqf;
  ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22)
                                         .RawChunk("NAME", 0x00010005, std::string("ab\0cd", 5))
                                         .Chunk("COMT", "after")
                                         .Bytes())));
  EXPECT_EQ(vqf.Title, "ab");
  EXPECT_EQ(vqf.Comment, "after");
}

TEST_F(TwinVQTest, LaterChunkWithTheSameIdentifierWins) {
  TTwinVQ vqf;
  ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22).Chunk("FILE", "a.wav").Chunk("FILE", "b.wav").Bytes())));
  EXPECT_EQ(vqf.SourceName, "b.wav");
}

TEST_F(TwinVQTest, HandlerWritesTheFieldsInOrder) {
  TTagInfo tags;
  RunVQFHandler(Write(TVqfWriter(1, 20, 22)
                          .Chunk("FILE", "orig.wav")
                          .Chunk("(c) ", "C")
                          .Chunk("COMT", "M")
                          .Chunk("NAME", "T")
                          .Chunk("AUTH", "A")
                          .PadTo(100020)
                          .Bytes()),
                tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"Artist=A", "Title=T", "Comments=M", "Copyright=C", "ChannelModeid=2",
                                                 "ChannelModeName=Stereo", "SampleRateHZ=22050", "BitRateKBS=20",
                                                 "DurationSec=40", "OriginalFilename=orig.wav"}));
}

// A file without the signature reads successfully with reset values, so the
// copy runs and only the name of the unknown channel mode is stored.
TEST_F(TwinVQTest, HandlerOnAFileWithoutSignature) {
  TTagInfo tags;
  RunVQFHandler(Write(std::string(64, 'x')), tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"ChannelModeName=Unknown"}));
}

TEST_F(TwinVQTest, HandlerWritesNothingWhenTheReadFails) {
  TTagInfo tags;
  RunVQFHandler(Write(std::string(39, 'x')), tags);
  RunVQFHandler(dir_, tags);
  EXPECT_TRUE(tags.Tags.empty());
}

TEST_F(TwinVQTest, ShortOrIrregularFilesFail) {
  TTwinVQ vqf;
  EXPECT_FALSE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22).Bytes().substr(0, 39))));
  EXPECT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(0, 20, 22).Bytes())));
  EXPECT_TRUE(vqf.Valid);
  EXPECT_FALSE(vqf.ReadFromFile(dir_));
  EXPECT_FALSE(vqf.ReadFromFile(dir_ + "/missing.vqf"));
}

TEST_F(TwinVQTest, ReadResetsThePreviousValues) {
  TTwinVQ vqf;
  ASSERT_TRUE(vqf.ReadFromFile(Write(TVqfWriter(1, 20, 22).Chunk("NAME", "T").PadTo(500).Bytes())));
  ASSERT_TRUE(vqf.ReadFromFile(Write(std::string(40, 'T'), "other.vqf")));
  EXPECT_FALSE(vqf.Valid);
  EXPECT_EQ(vqf.ChannelModeID, 0);
  EXPECT_EQ(vqf.BitRate, 0);
  EXPECT_EQ(vqf.SampleRate, 0);
  EXPECT_EQ(vqf.FileSize, 0u);
  EXPECT_EQ(vqf.Duration, 0.0);
  EXPECT_EQ(vqf.Title, "");
}

// No shared file is a TwinVQ file: each reads without a signature, and the
// empty one is too short.
TEST_F(TwinVQTest, SharedFixturesHaveNoSignature) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const struct {
    const char* File;
    bool Result;
  } cases[] = {{"click.mpc", true},      {"sv8_header.mpc", true},        {"mac-396.ape", true},
               {"silence-44-s.mp3", true}, {"oldtag.apev2", true},        {"emptyfile.mp3", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TTwinVQ vqf;
    EXPECT_EQ(vqf.ReadFromFile((kAudio / c.File).string()), c.Result);
    EXPECT_FALSE(vqf.Valid);
    EXPECT_EQ(vqf.FileSize, 0u);
    EXPECT_EQ(vqf.Title, "");
  }
}

}  // namespace
}  // namespace tw
