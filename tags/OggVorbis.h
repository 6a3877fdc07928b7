// Ogg Vorbis: stream properties from the identification header, the Vorbis
// comments near the start and the sample count from the last pages. Reads
// fixed places and small windows only; the page structure is not walked.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TOggVorbis {
 public:
  bool Valid = false;
  uint32_t FileSize = 0;
  uint8_t ChannelModeID = 0;  // 0 unknown, 1 mono, 2 stereo
  uint32_t SampleRate = 0;    // Hz
  uint16_t BitRateNominal = 0;  // kbit/s
  uint32_t Samples = 0;
  std::string Title;
  std::string Artist;
  std::string Album;
  uint8_t Track = 0;
  std::string Date;
  std::string Genre;
  std::string Comment;
  std::string Vendor;

  void Reset();
  // False when the file cannot be read or holds less than the header needs;
  // true with the reset values when the Vorbis signature is missing.
  bool ReadFromFile(const std::string& fileName);

  std::string ChannelMode() const;
  double Duration() const;  // seconds
  int BitRate() const;      // kbit/s over the whole file
};

void RunOGGHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
