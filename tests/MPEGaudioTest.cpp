#include "tags/MPEGaudio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
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

// Header codes as they are stored in the bits.
enum : uint8_t { kV25 = 0, kV2 = 2, kV1 = 3 };
enum : uint8_t { kL3 = 1, kL2 = 2, kL1 = 3 };
enum : uint8_t { kStereo = 0, kJoint = 1, kDual = 2, kMono = 3 };

struct THeaderBits {
  uint8_t Version = kV1;
  uint8_t Layer = kL3;
  uint8_t BitRateIdx = 9;  // 128 kbit/s for MPEG 1 Layer III
  uint8_t SampleRateIdx = 0;
  bool Padding = false;
  uint8_t Mode = kJoint;
  bool Crc = false;
  bool Copyright = false;
  bool Original = false;
  uint8_t Emphasis = 0;
};

std::string Header(const THeaderBits& h) {
  std::string s(4, '\0');
  s[0] = static_cast<char>(0xFF);
  s[1] = static_cast<char>(0xE0 | h.Version << 3 | h.Layer << 1 | (h.Crc ? 0 : 1));
  s[2] = static_cast<char>(h.BitRateIdx << 4 | h.SampleRateIdx << 2 | (h.Padding ? 2 : 0));
  s[3] = static_cast<char>(h.Mode << 6 | (h.Copyright ? 8 : 0) | (h.Original ? 4 : 0) | h.Emphasis);
  return s;
}

void Be32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
}

// Builds MPEG audio files byte by byte: an optional ID3v2 header, leading
// bytes, `count` equal frames with a filler body, trailing zeros up to a
// minimum length, an optional end signature and an optional ID3v1 tag.
class TMpegWriter {
 public:
  TMpegWriter(const THeaderBits& h, size_t frameSize, int count, char body = 0x55) {
    for (int i = 0; i < count; ++i) {
      std::string frame = Header(h);
      frame.resize(frameSize, body);
      frames_ += frame;
    }
  }
  // A Xing or VBRI header inside the first frame at `offset` from its start.
  TMpegWriter& Xing(size_t offset, uint32_t frames, uint32_t bytes, uint8_t scale, const std::string& vendor) {
    frames_.replace(offset, 4, "Xing");
    Be32(frames_, offset + 4, 0x0F);
    Be32(frames_, offset + 8, frames);
    Be32(frames_, offset + 12, bytes);
    frames_[offset + 119] = static_cast<char>(scale);
    frames_.replace(offset + 120, vendor.size(), vendor);
    return *this;
  }
  TMpegWriter& Vbri(size_t offset, uint32_t frames, uint32_t bytes, uint8_t scale) {
    frames_.replace(offset, 4, "VBRI");
    frames_[offset + 9] = static_cast<char>(scale);
    Be32(frames_, offset + 10, bytes);
    Be32(frames_, offset + 14, frames);
    return *this;
  }
  TMpegWriter& Lead(const std::string& bytes) {
    lead_ = bytes;
    return *this;
  }
  // An ID3v2.3 tag of `body` zero bytes (10 more with its header).
  TMpegWriter& ID3v2(uint32_t body) {
    id3v2_ = std::string("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0}) id3v2_ += static_cast<char>((body >> shift) & 0x7F);
    id3v2_.append(body, '\0');
    return *this;
  }
  TMpegWriter& MinLength(size_t n) {
    minLength_ = n;
    return *this;
  }
  // `text` placed so that it ends `gap` bytes before the ID3v1 tag (or the end).
  TMpegWriter& Signature(const std::string& text, size_t gap) {
    signature_ = text;
    gap_ = gap;
    return *this;
  }
  TMpegWriter& ID3v1(const std::string& title) {
    id3v1_ = "TAG" + title;
    id3v1_.resize(128, '\0');
    id3v1_[127] = static_cast<char>(0xFF);
    return *this;
  }
  std::string Bytes() const {
    std::string s = id3v2_ + lead_ + frames_;
    size_t tail = signature_.empty() ? 0 : signature_.size() + gap_;
    if (s.size() + tail < minLength_) s.resize(minLength_ - tail, '\0');
    if (!signature_.empty()) s += signature_ + std::string(gap_, '\0');
    return s + id3v1_;
  }

 private:
  std::string id3v2_, lead_, frames_, signature_, id3v1_;
  size_t gap_ = 0;
  size_t minLength_ = 4000;
};

class MPEGaudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-mpeg-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& bytes, const std::string& name = "t.mpg") {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir_;
};

std::string ValueOf(const TTagInfo& tags, const std::string& name) {
  int i = tags.IndexOfName(name);
  return i < 0 ? std::string("<absent>") : tags.Tags[i].substr(name.size() + 1);
}

// ---- frame arithmetic per version and layer ----------------------------------

struct TLayerCase {
  const char* Name;
  THeaderBits Bits;
  int64_t SampleRate;
  int64_t BitRate;
  uint16_t Size;
  const char* Version;
  const char* Layer;
  int64_t Frames;  // 4000 bytes of file
};

class MPEGaudioLayerTest : public MPEGaudioTest, public ::testing::WithParamInterface<TLayerCase> {};

TEST_P(MPEGaudioLayerTest, DecodesHeaderAndCountsFrames) {
  const TLayerCase& c = GetParam();
  TMpegWriter w(c.Bits, c.Size, 2);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.Frame.Position, 0);
  EXPECT_EQ(m.Frame.Size, c.Size);
  EXPECT_EQ(m.SampleRate(), c.SampleRate);
  EXPECT_EQ(m.BitRate(), c.BitRate);
  EXPECT_EQ(m.Version(), c.Version);
  EXPECT_EQ(m.Layer(), c.Layer);
  EXPECT_EQ(m.FileLength, 4000);
  EXPECT_EQ(m.Frames(), c.Frames);
  EXPECT_DOUBLE_EQ(m.Duration(), 4000.0 * 8 / static_cast<double>(c.BitRate) / 1000);
  EXPECT_FALSE(m.VBR.Found);
}

THeaderBits Bits(uint8_t version, uint8_t layer, uint8_t rateIdx, uint8_t srIdx, bool padding = false) {
  THeaderBits h;
  h.Version = version;
  h.Layer = layer;
  h.BitRateIdx = rateIdx;
  h.SampleRateIdx = srIdx;
  h.Padding = padding;
  return h;
}

INSTANTIATE_TEST_SUITE_P(
    MPEG, MPEGaudioLayerTest,
    ::testing::Values(
        // 48 * 384000 / 44100 = 417.96
        TLayerCase{"V1L1", Bits(kV1, kL1, 12, 0), 44100, 384, 417, "MPEG 1", "Layer I", 9},
        // padding adds 4 bytes in Layer I
        TLayerCase{"V1L1Pad", Bits(kV1, kL1, 12, 0, true), 44100, 384, 421, "MPEG 1", "Layer I", 9},
        TLayerCase{"V1L2", Bits(kV1, kL2, 10, 1), 48000, 192, 576, "MPEG 1", "Layer II", 6},
        TLayerCase{"V1L3", Bits(kV1, kL3, 9, 0), 44100, 128, 417, "MPEG 1", "Layer III", 9},
        TLayerCase{"V1L3Pad", Bits(kV1, kL3, 9, 0, true), 44100, 128, 418, "MPEG 1", "Layer III", 9},
        TLayerCase{"V1L3At32k", Bits(kV1, kL3, 14, 2), 32000, 320, 1440, "MPEG 1", "Layer III", 2},
        // 48 * 64000 / 22050 = 139.3
        TLayerCase{"V2L1", Bits(kV2, kL1, 4, 0), 22050, 64, 139, "MPEG 2", "Layer I", 28},
        TLayerCase{"V2L2", Bits(kV2, kL2, 8, 1), 24000, 64, 384, "MPEG 2", "Layer II", 10},
        // 72 * 64000 / 22050 = 208.97
        TLayerCase{"V2L3", Bits(kV2, kL3, 8, 0), 22050, 64, 208, "MPEG 2", "Layer III", 19},
        TLayerCase{"V2L3Pad", Bits(kV2, kL3, 8, 0, true), 22050, 64, 209, "MPEG 2", "Layer III", 19},
        TLayerCase{"V25L1", Bits(kV25, kL1, 2, 0), 11025, 48, 208, "MPEG 2.5", "Layer I", 19},
        TLayerCase{"V25L2", Bits(kV25, kL2, 4, 1), 12000, 32, 384, "MPEG 2.5", "Layer II", 10},
        TLayerCase{"V25L3", Bits(kV25, kL3, 4, 2), 8000, 32, 288, "MPEG 2.5", "Layer III", 13}),
    [](const ::testing::TestParamInfo<TLayerCase>& info) { return std::string(info.param.Name); });

TEST(MPEGaudioTables, BitRatesAndSampleRates) {
  EXPECT_EQ(MPEGBitRate(kV1, kL1, 14), 448);
  EXPECT_EQ(MPEGBitRate(kV1, kL2, 14), 384);
  EXPECT_EQ(MPEGBitRate(kV1, kL3, 1), 32);
  EXPECT_EQ(MPEGBitRate(kV2, kL1, 14), 256);
  EXPECT_EQ(MPEGBitRate(kV2, kL2, 1), 8);
  EXPECT_EQ(MPEGBitRate(kV25, kL3, 14), 160);
  EXPECT_EQ(MPEGBitRate(kV1, kL3, 0), 0);   // free format
  EXPECT_EQ(MPEGBitRate(kV1, kL3, 15), 0);  // reserved
  EXPECT_EQ(MPEGBitRate(1, kL3, 9), 0);     // reserved version
  EXPECT_EQ(MPEGBitRate(kV1, 0, 9), 0);     // reserved layer
  EXPECT_EQ(MPEGSampleRate(kV25, 2), 8000);
  EXPECT_EQ(MPEGSampleRate(kV2, 1), 24000);
  EXPECT_EQ(MPEGSampleRate(kV1, 2), 32000);
  EXPECT_EQ(MPEGSampleRate(kV1, 3), 0);
  EXPECT_EQ(MPEGSampleRate(1, 0), 0);
}

struct THeaderTestCase {
  const char* Name;
  std::string Bytes;
  bool IsHeader;
};

class MPEGaudioHeaderTest : public ::testing::TestWithParam<THeaderTestCase> {};

TEST_P(MPEGaudioHeaderTest, AcceptsOnlyValidHeaders) {
  const auto& c = GetParam();
  EXPECT_EQ(IsFrameHeader(reinterpret_cast<const uint8_t*>(c.Bytes.data())), c.IsHeader);
}

INSTANTIATE_TEST_SUITE_P(MPEG, MPEGaudioHeaderTest,
                         ::testing::Values(THeaderTestCase{"Valid", "\xFF\xFB\x90\x64", true},
                                           THeaderTestCase{"NoSync", "\xFE\xFB\x90\x64", false},
                                           THeaderTestCase{"LowSecondByte", "\xFF\xDB\x90\x64", false},
                                           THeaderTestCase{"ReservedVersion", "\xFF\xEB\x90\x64", false},
                                           THeaderTestCase{"ReservedLayer", "\xFF\xF9\x90\x64", false},
                                           THeaderTestCase{"BitRate15", "\xFF\xFB\xF0\x64", false},
                                           THeaderTestCase{"FreeFormat", std::string("\xFF\xFB\x00\x64", 4), false},
                                           THeaderTestCase{"BitRateLow", "\xFF\xFB\x0C\x64", false},
                                           THeaderTestCase{"SampleRate3", "\xFF\xFB\x9C\x64", false},
                                           THeaderTestCase{"Emphasis2", "\xFF\xFB\x90\x66", false},
                                           THeaderTestCase{"Emphasis3", "\xFF\xFB\x90\x67", true}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- frame decoding and search --------------------------------------------------

TEST_F(MPEGaudioTest, DecodesEveryHeaderField) {
  THeaderBits h = Bits(kV1, kL3, 9, 0, true);
  h.Mode = kDual;
  h.Crc = true;
  h.Copyright = true;
  h.Original = true;
  h.Emphasis = 3;
  std::string head = Header(h);
  head[2] = static_cast<char>(head[2] | 1);  // private bit
  head[3] = static_cast<char>(head[3] | 0x20);  // mode extension 2
  TMpegWriter w(h, 418, 2);
  std::string bytes = w.Bytes();
  bytes.replace(0, 4, head);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(bytes)));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.Frame.VersionID, 3);
  EXPECT_EQ(m.Frame.LayerID, 1);
  EXPECT_TRUE(m.Frame.ProtectionBit);
  EXPECT_EQ(m.Frame.BitRateID, 9);
  EXPECT_EQ(m.Frame.SampleRateID, 0);
  EXPECT_TRUE(m.Frame.PaddingBit);
  EXPECT_TRUE(m.Frame.PrivateBit);
  EXPECT_EQ(m.Frame.ModeID, 2);
  EXPECT_EQ(m.Frame.ModeExtensionID, 2);
  EXPECT_TRUE(m.Frame.CopyrightBit);
  EXPECT_TRUE(m.Frame.OriginalBit);
  EXPECT_EQ(m.Frame.EmphasisID, 3);
  EXPECT_EQ(m.Frame.Data[0], 0xFF);
  EXPECT_EQ(m.Frame.Data[3], static_cast<uint8_t>(head[3]));
  EXPECT_FALSE(m.Frame.Xing);  // the body is not zero
  EXPECT_EQ(m.ChannelMode(), "Dual Channel");
  EXPECT_EQ(m.Emphasis(), "CCIT J.17");
}

TEST_F(MPEGaudioTest, SkipsHeaderWithoutSuccessor) {
  // A lone header at 0 whose successor (417 on) lies inside the real frames.
  TMpegWriter w(Bits(kV1, kL3, 9, 0), 417, 3);
  w.Lead(Header(Bits(kV1, kL3, 9, 0)) + std::string(6, 'x'));
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.Frame.Position, 10);
  EXPECT_EQ(m.Frames(), (4000 - 10) / 417);
}

TEST_F(MPEGaudioTest, SearchStopsAfterPosition1729) {
  for (size_t lead : {1729u, 1730u}) {
    TMpegWriter w(Bits(kV1, kL3, 9, 0), 417, 2);
    w.Lead(std::string(lead, '\0'));
    TMPEGaudio m;
    ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes()))) << lead;
    EXPECT_EQ(m.Frame.Found, lead == 1729) << lead;
    EXPECT_EQ(m.Frame.Position, lead == 1729 ? 1729 : 0) << lead;
  }
}

TEST_F(MPEGaudioTest, SuccessorBeyondWindowIsNoHeader) {
  // 384 kbit/s Layer II at 32000 Hz: 1728 bytes, so a frame at 1729 has its
  // successor at 3457, whose four bytes would end past the window.
  TMpegWriter w(Bits(kV1, kL2, 14, 2), 1728, 2);
  w.Lead(std::string(1729, '\0'));
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  EXPECT_FALSE(m.Frame.Found);
  EXPECT_EQ(m.Layer(), "Layer ?");
}

TEST_F(MPEGaudioTest, FindsFrameInTheMiddleWindow) {
  // No frame in the first 3458 bytes; the middle window starts at 8000 / 2.
  TMpegWriter w(Bits(kV1, kL3, 9, 0), 417, 3);
  w.Lead(std::string(4000, '\0')).MinLength(8000);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.Frame.Position, 0);  // within the middle window
  EXPECT_EQ(m.Frames(), 8000 / 417);
  EXPECT_DOUBLE_EQ(m.Duration(), 8000.0 * 8 / 128 / 1000);
}

TEST_F(MPEGaudioTest, ShortFirstWindowSkipsMiddleSearch) {
  // 3457 bytes: the first read is short, so the middle is never searched.
  TMpegWriter w(Bits(kV1, kL3, 9, 0), 417, 3);
  w.Lead(std::string(1800, '\0')).MinLength(3457);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  EXPECT_FALSE(m.Frame.Found);
}

TEST_F(MPEGaudioTest, ID3v2SizeMovesTheWindow) {
  TMpegWriter w(Bits(kV1, kL3, 9, 0), 417, 2);
  w.ID3v2(990).MinLength(5000);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.ID3v2.Size, 1000);
  EXPECT_EQ(m.Frame.Position, 0);
  EXPECT_EQ(m.Frames(), (5000 - 1000) / 417);
  EXPECT_DOUBLE_EQ(m.Duration(), 4000.0 * 8 / 128 / 1000);
}

// ---- VBR headers ---------------------------------------------------------------

struct TVbrCase {
  const char* Name;
  THeaderBits Bits;
  uint16_t FrameSize;
  bool Vbri;
  size_t Offset;  // of the VBR header from the frame start
  uint32_t Frames;
  uint32_t Bytes;
  std::string Vendor;
  bool Found;
  int64_t BitRate;
  int64_t TotalFrames;
  double Duration;
  uint8_t EncoderID;
  const char* Encoder;
};

class MPEGaudioVbrTest : public MPEGaudioTest, public ::testing::WithParamInterface<TVbrCase> {};

TEST_P(MPEGaudioVbrTest, ReadsVbrHeader) {
  const TVbrCase& c = GetParam();
  TMpegWriter w(c.Bits, c.FrameSize, 2);
  if (c.Vbri)
    w.Vbri(c.Offset, c.Frames, c.Bytes, 77);
  else
    w.Xing(c.Offset, c.Frames, c.Bytes, 77, c.Vendor);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.VBR.Found, c.Found);
  if (c.Found) {
    EXPECT_EQ(m.VBR.ID, c.Vbri ? "VBRI" : "Xing");
    EXPECT_EQ(m.VBR.Frames, static_cast<int32_t>(c.Frames));
    EXPECT_EQ(m.VBR.Bytes, static_cast<int32_t>(c.Bytes));
    EXPECT_EQ(m.VBR.Scale, 77);
  }
  EXPECT_EQ(m.BitRate(), c.BitRate);
  EXPECT_EQ(m.Frames(), c.TotalFrames);
  EXPECT_DOUBLE_EQ(m.Duration(), c.Duration);
  EXPECT_EQ(m.EncoderID(), c.EncoderID);
  EXPECT_EQ(m.Encoder(), c.Encoder);
}

THeaderBits Mono(THeaderBits h) {
  h.Mode = kMono;
  return h;
}

INSTANTIATE_TEST_SUITE_P(
    MPEG, MPEGaudioVbrTest,
    ::testing::Values(
        // (400000 / 1000) * 44100 / 144 / 1000 = 122.5, rounded to even
        TVbrCase{"XingLame", Bits(kV1, kL3, 9, 0), 417, false, 36, 1000, 400000, "LAME3.93", true, 122, 1000,
                 144.0 * 1000 * 8 / 44100, 3, "LAME 3.93"},
        // The audio bytes over the duration: 427000 * 44100 / 144 / 1000 / 1000 = 130.77; the first
        // frame's padding byte is not taken off every frame.
        TVbrCase{"XingPadding", Bits(kV1, kL3, 9, 0, true), 418, false, 36, 1000, 427000, "LAMEabcd", true, 131,
                 1000, 144.0 * 1000 * 8 / 44100, 3, "LAME"},
        TVbrCase{"XingGogo", Bits(kV1, kL3, 9, 0), 417, false, 36, 10, 4170, "GOGO1.0 ", true, 128, 10,
                 144.0 * 10 * 8 / 44100, 5, "GoGo"},
        TVbrCase{"XingMpge", Bits(kV1, kL3, 9, 0), 417, false, 36, 10, 4170, "MPGE1.0 ", true, 128, 10,
                 144.0 * 10 * 8 / 44100, 5, "GoGo"},
        TVbrCase{"XingOther", Bits(kV1, kL3, 9, 0), 417, false, 36, 10, 4170, "Foo 3.93", true, 128, 10,
                 144.0 * 10 * 8 / 44100, 1, "Xing"},
        // zero frames: header bit rate, frames 0, size-based duration
        TVbrCase{"XingZeroFrames", Bits(kV1, kL3, 9, 0), 417, false, 36, 0, 4170, "LAME3.93", true, 128, 0,
                 4000.0 * 8 / 128 / 1000, 3, "LAME 3.93"},
        TVbrCase{"XingMonoV1", Mono(Bits(kV1, kL3, 9, 0)), 417, false, 21, 10, 4170, "", true, 128, 10,
                 144.0 * 10 * 8 / 44100, 1, "Xing"},
        // (2080 / 10) * 22050 / 72 / 1000 = 63.7
        TVbrCase{"XingV2", Bits(kV2, kL3, 8, 0), 208, false, 21, 10, 2080, "", true, 64, 10,
                 72.0 * 10 * 8 / 22050, 1, "Xing"},
        TVbrCase{"XingMonoV2", Mono(Bits(kV2, kL3, 8, 0)), 208, false, 13, 10, 2080, "", true, 64, 10,
                 72.0 * 10 * 8 / 22050, 1, "Xing"},
        TVbrCase{"XingMonoV25", Mono(Bits(kV25, kL3, 4, 2)), 288, false, 13, 10, 2880, "", true, 32, 10,
                 72.0 * 10 * 8 / 8000, 1, "Xing"},
        // at the stereo offset in a mono frame: not seen
        TVbrCase{"XingMisplaced", Mono(Bits(kV1, kL3, 9, 0)), 417, false, 36, 10, 4170, "", false, 128,
                 4000 / 417, 4000.0 * 8 / 128 / 1000, 2, "FhG"},
        // (16000 / 50) * 44100 / 144 / 1000 = 98
        TVbrCase{"Vbri", Bits(kV1, kL3, 9, 0), 417, true, 36, 50, 16000, "", true, 98, 50, 144.0 * 50 * 8 / 44100, 2,
                 "FhG"},
        TVbrCase{"VbriZeroFrames", Bits(kV1, kL3, 9, 0), 417, true, 36, 0, 16000, "", true, 128, 0,
                 4000.0 * 8 / 128 / 1000, 2, "FhG"}),
    [](const ::testing::TestParamInfo<TVbrCase>& info) { return std::string(info.param.Name); });

// ---- encoder guess without a VBR header ------------------------------------------

struct TEncoderCase {
  const char* Name;
  THeaderBits Bits;
  char Body;
  std::string Signature;
  size_t Gap;
  bool WithID3v1;
  uint8_t EncoderID;
  const char* Encoder;
};

class MPEGaudioEncoderTest : public MPEGaudioTest, public ::testing::WithParamInterface<TEncoderCase> {};

TEST_P(MPEGaudioEncoderTest, GuessesEncoder) {
  const TEncoderCase& c = GetParam();
  TMpegWriter w(c.Bits, MPEGFrameLength([&] {
                  FrameHeader f;
                  f.VersionID = c.Bits.Version;
                  f.LayerID = c.Bits.Layer;
                  f.BitRateID = c.Bits.BitRateIdx;
                  f.SampleRateID = c.Bits.SampleRateIdx;
                  f.PaddingBit = c.Bits.Padding;
                  return f;
                }()),
                2, c.Body);
  if (!c.Signature.empty()) w.Signature(c.Signature, c.Gap);
  if (c.WithID3v1) w.ID3v1("Song");
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  ASSERT_TRUE(m.Frame.Found);
  EXPECT_EQ(m.EncoderID(), c.EncoderID);
  EXPECT_EQ(m.Encoder(), c.Encoder);
}

THeaderBits With(THeaderBits h, uint8_t mode, bool crc, bool copyright, bool original, uint8_t rateIdx = 9) {
  h.Mode = mode;
  h.Crc = crc;
  h.Copyright = copyright;
  h.Original = original;
  h.BitRateIdx = rateIdx;
  return h;
}

const THeaderBits kV1L3 = Bits(kV1, kL3, 9, 0);

INSTANTIATE_TEST_SUITE_P(
    MPEG, MPEGaudioEncoderTest,
    ::testing::Values(
        TEncoderCase{"Plain", With(kV1L3, kJoint, false, false, false), 0x55, "", 0, false, 2, "FhG"},
        TEncoderCase{"OriginalCrc", With(kV1L3, kJoint, true, false, true), 0x55, "", 0, false, 3, "LAME"},
        TEncoderCase{"StereoLowRate", With(kV1L3, kStereo, true, false, true, 10), 0x55, "", 0, false, 4, "Blade"},
        TEncoderCase{"StereoHighRate", With(kV1L3, kStereo, false, false, false, 11), 0x55, "", 0, false, 2, "FhG"},
        TEncoderCase{"CopyrightOriginal", With(kV1L3, kStereo, false, true, true), 0x55, "", 0, false, 1, "Xing"},
        TEncoderCase{"ZeroBodyOriginal", With(kV1L3, kJoint, true, false, true), 0, "", 0, false, 1, "Xing"},
        TEncoderCase{"ZeroBodyCopy", With(kV1L3, kJoint, false, false, false), 0, "", 0, false, 2, "FhG"},
        TEncoderCase{"DualCrc", With(kV1L3, kDual, true, false, true), 0, "", 0, false, 6, "Shine"},
        TEncoderCase{"LameVersion", With(kV1L3, kDual, true, false, true), 0x55, "LAME3.93", 0, false, 3,
                     "LAME 3.93"},
        TEncoderCase{"LameLetters", kV1L3, 0x55, "LAMEabcd", 100, false, 3, "LAME"},
        TEncoderCase{"LameBeforeID3v1", kV1L3, 0x55, "LAME3.96", 20, true, 3, "LAME 3.96"},
        // the scan reaches 2 * 417 bytes back from 8 bytes before the end
        TEncoderCase{"LameAtScanLimit", kV1L3, 0x55, "LAME3.90", 834, false, 3, "LAME 3.90"},
        TEncoderCase{"LameBeyondScan", kV1L3, 0x55, "LAME3.90", 835, false, 2, "FhG"},
        TEncoderCase{"Gogo", kV1L3, 0x55, "GOGO", 4, false, 5, "GoGo"}),
    [](const ::testing::TestParamInfo<TEncoderCase>& info) { return std::string(info.param.Name); });

TEST_F(MPEGaudioTest, LameSignatureKeepsEightCharacters) {
  TMpegWriter w(kV1L3, 417, 2);
  w.Signature("LAME3.93xyz", 0);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(Write(w.Bytes())));
  EXPECT_EQ(m.VendorID, "LAME3.93");
}

// ---- failures and the handler -------------------------------------------------------

TEST_F(MPEGaudioTest, FailsOnShortFilesAndNonFiles) {
  TMPEGaudio m;
  EXPECT_FALSE(m.ReadFromFile(Write(std::string(127, '\0'))));
  EXPECT_FALSE(m.ReadFromFile(dir_));
  EXPECT_FALSE(m.ReadFromFile(dir_ + "/missing.mp3"));
}

TEST_F(MPEGaudioTest, ConstantRateFileTooShortForEndWindowFails) {
  // With an ID3v1 tag the end window starts at FileLength - 3586.
  TMpegWriter w(kV1L3, 417, 2);
  w.MinLength(3500 - 128).ID3v1("Song");
  const std::string path = Write(w.Bytes());
  TMPEGaudio m;
  EXPECT_FALSE(m.ReadFromFile(path));
  TTagInfo tags;
  RunMPGHandler(path, tags);
  EXPECT_TRUE(tags.Tags.empty());

  TMpegWriter w2(kV1L3, 417, 2);
  w2.MinLength(3457);
  EXPECT_FALSE(m.ReadFromFile(Write(w2.Bytes())));
  TMpegWriter w3(kV1L3, 417, 2);
  w3.MinLength(3458);
  EXPECT_TRUE(m.ReadFromFile(Write(w3.Bytes())));
}

TEST_F(MPEGaudioTest, NoFrameResetsTagsButSucceeds) {
  std::string bytes(4000, '\0');
  bytes += "TAGSong";
  bytes.resize(4128, '\0');
  const std::string path = Write(bytes);
  TMPEGaudio m;
  ASSERT_TRUE(m.ReadFromFile(path));
  EXPECT_FALSE(m.ID3v1.Exists);
  EXPECT_EQ(m.Frame.ModeID, 4);
  EXPECT_EQ(m.Version(), "MPEG ?");
  EXPECT_EQ(m.Layer(), "Layer ?");
  EXPECT_EQ(m.Emphasis(), "Unknown");
  EXPECT_EQ(m.Encoder(), "Unknown");
  TTagInfo tags;
  RunMPGHandler(path, tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"MPEGLayerName=Layer ?", "MPEGVersionName=MPEG ?",
                                                 "ChannelModeName=Unknown", "EmphasisName=Unknown",
                                                 "EncoderName=Unknown"}));
}

TEST_F(MPEGaudioTest, SharedFileHandlerWritesFieldsInOrder) {
  THeaderBits h = Bits(kV1, kL3, 9, 0);
  h.Mode = kMono;
  h.Emphasis = 1;
  TMpegWriter w(h, 417, 2);
  w.Signature("LAME3.93", 0).ID3v1("Song");
  TTagInfo tags;
  RunMPGHandler(Write(w.Bytes()), tags);
  // 4000 + 128 bytes: 4128 / 417 frames, 4128 * 8 / 128000 seconds
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{
                           "Title=Song", "MPEGLayerName=Layer III", "MPEGVersionName=MPEG 1", "SampleRateHZ=44100",
                           "BitRateKBS=128", "ChannelModeName=Mono", "EmphasisName=50/15 ms", "TotalFrames=9",
                           "DurationSec=" + FloatToTagText(4128.0 * 8 / 128 / 1000), "Encoderid=3",
                           "EncoderName=LAME 3.93"}));
}

// ---- shared fixtures ---------------------------------------------------------

struct TFixtureCase {
  const char* File;
  bool Result;
  bool Found;
  int32_t ID3v2Size;
  int32_t Position;
  uint16_t Size;
  const char* Version;
  const char* Layer;
  int64_t SampleRate;
  int64_t BitRate;
  const char* Mode;
  const char* VbrID;
  int64_t Frames;
  double Duration;
  uint8_t EncoderID;
  const char* Encoder;
};

// Values worked out from the bytes (xxd) with the header tables and formulas.
const TFixtureCase kFixtures[] = {
    // CBR 32 kbit/s joint stereo, no VBR header at offset 36: 8208 / 104 frames
    {"xing.mp3", true, true, 0, 0, 104, "MPEG 1", "Layer III", 44100, 32, "Joint Stereo", "", 78, 8208.0 * 8 / 32000,
     2, "FhG"},
    // VBRI: 8506 frames, 6478737 bytes; ID3v2 of 997 + 10
    {"vbri.mp3", true, true, 1007, 0, 522, "MPEG 1", "Layer III", 44100, 233, "Stereo", "VBRI", 8506,
     144.0 * 8506 * 8 / 44100, 2, "FhG"},
    // Xing: 4 frames, 2086 bytes, "LAME3.99"
    {"lame.mp3", true, true, 0, 0, 417, "MPEG 1", "Layer III", 44100, 160, "Joint Stereo", "Xing", 4,
     144.0 * 4 * 8 / 44100, 3, "LAME 3.99"},
    // Xing with 0 frames: header rate and size-based duration
    {"bad-xing.mp3", true, true, 1582, 0, 156, "MPEG 1", "Layer III", 44100, 48, "Joint Stereo", "Xing", 0,
     (4096.0 - 1582) * 8 / 48000, 1, "Xing"},
    {"silence-44-s.mp3", true, true, 1314, 0, 104, "MPEG 1", "Layer III", 44100, 32, "Joint Stereo", "", 144,
     (16384.0 - 1314) * 8 / 32000, 2, "FhG"},
    // Xing at 21: 157 frames, 8568 bytes, "LAME3.98"
    {"silence-44-s-mpeg2.mp3", true, true, 0, 0, 192, "MPEG 2", "Layer III", 24000, 18, "Joint Stereo", "Xing", 157,
     72.0 * 157 * 8 / 24000, 3, "LAME 3.98"},
    // Xing at 21: 80 frames, 4464 bytes, "LAME3.98"
    {"silence-44-s-mpeg25.mp3", true, true, 0, 0, 192, "MPEG 2.5", "Layer III", 12000, 9, "Joint Stereo", "Xing", 80,
     72.0 * 80 * 8 / 12000, 3, "LAME 3.98"},
    {"silence-44-s-v1.mp3", true, true, 0, 0, 104, "MPEG 1", "Layer III", 44100, 32, "Joint Stereo", "", 144,
     15070.0 * 8 / 32000, 2, "FhG"},
    // 522 bytes after a 2147-byte ID3v2.2 tag, none of them a frame
    {"too-short.mp3", true, false, 0, 0, 0, "MPEG ?", "Layer ?", 0, 0, "Unknown", "", 0, 0, 0, "Unknown"},
    {"emptyfile.mp3", false, false, 0, 0, 0, "MPEG ?", "Layer ?", 0, 0, "Unknown", "", 0, 0, 0, "Unknown"},
    // Xing: 4 frames, 2504 bytes, "LAME3.10"
    {"no-tags.mp3", true, true, 0, 0, 417, "MPEG 1", "Layer III", 44100, 192, "Joint Stereo", "Xing", 4,
     144.0 * 4 * 8 / 44100, 3, "LAME 3.10"},
    {"id3v1v2-combined.mp3", true, true, 2225, 0, 522, "MPEG 1", "Layer III", 44100, 160, "Joint Stereo", "", 5,
     (5248.0 - 2225) * 8 / 160000, 2, "FhG"},
};

class MPEGaudioSharedFixtureTest : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(MPEGaudioSharedFixtureTest, ReadsSharedFile) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const TFixtureCase& c = GetParam();
  TMPEGaudio m;
  EXPECT_EQ(m.ReadFromFile((kAudio / c.File).string()), c.Result);
  EXPECT_EQ(m.Frame.Found, c.Found);
  EXPECT_EQ(m.ID3v2.Size, c.ID3v2Size);
  EXPECT_EQ(m.Frame.Position, c.Position);
  EXPECT_EQ(m.Frame.Size, c.Size);
  EXPECT_EQ(m.Version(), c.Version);
  EXPECT_EQ(m.Layer(), c.Layer);
  EXPECT_EQ(m.SampleRate(), c.SampleRate);
  EXPECT_EQ(m.BitRate(), c.BitRate);
  EXPECT_EQ(m.ChannelMode(), c.Mode);
  EXPECT_EQ(m.Emphasis(), c.Found ? "None" : "Unknown");
  EXPECT_EQ(m.VBR.ID, c.VbrID);
  EXPECT_EQ(m.Frames(), c.Frames);
  EXPECT_DOUBLE_EQ(m.Duration(), c.Duration);
  EXPECT_EQ(m.EncoderID(), c.EncoderID);
  EXPECT_EQ(m.Encoder(), c.Encoder);
}

INSTANTIATE_TEST_SUITE_P(MPEG, MPEGaudioSharedFixtureTest, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<TFixtureCase>& info) {
                           std::string name = info.param.File;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(MPEGaudioSharedFixtures, HandlerCopiesID3v2ThenID3v1ThenStream) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunMPGHandler((kAudio / "id3v1v2-combined.mp3").string(), tags);
  // ID3v2 gives 2004, ID3v1 gives 1337 and wins; the title line comes first.
  EXPECT_EQ(tags.Tags.at(0).rfind("Artist=", 0), 0u);
  EXPECT_EQ(ValueOf(tags, "Title"), "cosmic american");
  EXPECT_EQ(ValueOf(tags, "Year"), "1337");
  EXPECT_EQ(ValueOf(tags, "Comments"), "v1 comment");
  EXPECT_EQ(ValueOf(tags, "Track"), "3");
  ASSERT_GE(tags.Tags.size(), 10u);
  const std::vector<std::string> stream(tags.Tags.end() - 10, tags.Tags.end());
  EXPECT_EQ(stream, (std::vector<std::string>{"MPEGLayerName=Layer III", "MPEGVersionName=MPEG 1",
                                              "SampleRateHZ=44100", "BitRateKBS=160", "ChannelModeName=Joint Stereo",
                                              "EmphasisName=None", "TotalFrames=5", "DurationSec=0.15115",
                                              "Encoderid=2", "EncoderName=FhG"}));
}

TEST(MPEGaudioSharedFixtures, HandlerStoresNothingForEmptyFile) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunMPGHandler((kAudio / "emptyfile.mp3").string(), tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
