// Small files made by real encoders (ffmpeg, lame, flac, wavpack; tests/data),
// read by their handlers and held against what ffprobe 5.1 reports for the
// same files: sample rate, channels, duration, bit rate and tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tags/AACfile.h"
#include "tags/FLAC.h"
#include "tags/MPEGaudio.h"
#include "tags/OggVorbis.h"
#include "tags/TagClasses.h"
#include "tags/WAV.h"
#include "tags/WAVPack.h"
#include "tags/WMA.h"

namespace tw {
namespace {

const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "data";

using THandler = void (*)(const std::string&, TTagInfo&);

struct TProbed {
  const char* Name;
  const char* File;
  THandler Run;
  std::vector<std::string> Lines;  // tag lines the entry must carry
  double Duration;                 // ffprobe's duration, seconds
  double DurationTolerance;        // relative
  double BitRate = 0;              // ffprobe's bit rate in the handler's unit, 0: not compared
  double BitRateTolerance = 0;     // relative
};

std::map<std::string, std::string> Values(const std::vector<std::string>& lines) {
  std::map<std::string, std::string> values;
  for (const auto& line : lines) values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return values;
}

class ProbedFilesTest : public ::testing::TestWithParam<TProbed> {};

TEST_P(ProbedFilesTest, AgreesWithTheStreamProbe) {
  const TProbed& c = GetParam();
  TTagInfo tags;
  c.Run((kData / c.File).string(), tags);
  for (const auto& line : c.Lines)
    EXPECT_NE(std::find(tags.Tags.begin(), tags.Tags.end(), line), tags.Tags.end()) << line;
  const auto values = Values(tags.Tags);
  ASSERT_TRUE(values.count("DurationSec"));
  EXPECT_NEAR(std::stod(values.at("DurationSec")), c.Duration, c.Duration * c.DurationTolerance);
  if (c.BitRate > 0) {
    ASSERT_TRUE(values.count("BitRateKBS"));
    EXPECT_NEAR(std::stod(values.at("BitRateKBS")), c.BitRate, c.BitRate * c.BitRateTolerance);
  }
}

// Exact where the format states the value; within 2 % where it is measured
// (AAC frames) or rounded to whole kbit/s.
INSTANTIATE_TEST_SUITE_P(
    Encoders, ProbedFilesTest,
    ::testing::Values(
        // ADTS from ffmpeg's AAC encoder: 90 frames of variable length (fullness 7FF).
        TProbed{"AdtsVariableRate", "adts-lc-22050-mono.aac", RunAACHandler,
                {"SampleRateHZ=22050", "Channels=1", "ProfileName=AAC LC", "BitrateTypeName=VBR"}, 2.088914, 0.02,
                17590, 0.02},
        // WAVE_FORMAT_EXTENSIBLE (a 40-byte "fmt "), a LIST chunk before "data".
        TProbed{"WavExtensible96k", "pcm24-96000-extensible-list.wav", RunWAVHandler,
                {"SampleRateHZ=96000", "BitsPerSample=24", "ChannelModeid=1"}, 0.02, 1e-9},
        TProbed{"Vorbis96k", "vorbis-96000-mono.ogg", RunOGGHandler, {"SampleRateHZ=96000", "ChannelModeid=1"}, 0.5,
                1e-9, 80.336, 0.01},
        // LAME's constant-rate "Info" header: 23 frames of 1152 samples at 8000 Hz.
        TProbed{"LameInfoHeader", "lame-cbr-info-8000.mp3", RunMPGHandler,
                {"SampleRateHZ=8000", "TotalFrames=23", "MPEGVersionName=MPEG 2.5"}, 1.656, 1e-9, 25.043, 0.02},
        // Play duration less preroll; WM/TrackNumber and WM/AlbumTitle as ffmpeg writes them.
        TProbed{"WmaPlayDuration", "wmav2-22050-tags.wma", RunWMAHandler,
                {"Artist=Band", "Title=Song", "Album=Disc", "Genre=Rock", "Track=7", "SampleRateHZ=22050"}, 0.51,
                1e-9},
        // WavPack 4 blocks (version 0x410) with an APEv2 tag at the end.
        TProbed{"WavPackApeTag", "wavpack-8000-apev2.wv", RunWPAHandler,
                {"Artist=Band", "Title=Song", "Channels=1", "SampleRateHZ=8000", "BitsPerSample=16"}, 0.5, 1e-9},
        // Six channels from the channel-info item of the first block.
        TProbed{"WavPackSixChannels", "wavpack-44100-6ch.wv", RunWPAHandler, {"Channels=6", "SampleRateHZ=44100"},
                0.2, 1e-9},
        // A rate outside the table of the block flags, from the sample-rate item.
        TProbed{"WavPackCustomRate", "wavpack-7350-custom-rate.wv", RunWPAHandler, {"SampleRateHZ=7350"}, 0.2,
                1e-9},
        TProbed{"FlacVorbisComment", "flac-8000-vorbis-comment.flac", RunFLACHandler,
                {"Artist=Band", "Title=Song", "Album=Disc", "Year=1999", "Genre=Jazz", "Comments=Hi", "Track=3",
                 "SampleRateHZ=8000", "BitsPerSample=16"},
                0.5, 1e-9}),
    [](const ::testing::TestParamInfo<TProbed>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tw
