// PCM WAV: the format from the fixed 44-byte RIFF/WAVE header, the duration
// from the size of the "data" chunk wherever it lies.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TWAVfile {
 public:
  bool Valid = false;
  uint8_t ChannelModeID = 0;  // the channel count, 1 or 2
  uint32_t SampleRate = 0;    // Hz
  uint8_t BitsPerSample = 0;
  uint32_t FileSize = 0;      // RIFF size + 8
  int64_t DataSize = -1;      // bytes of the "data" chunk; -1 when there is none

  void Reset();
  // False when the file cannot be read or is shorter than the header; true
  // otherwise, with the reset values when the header is not PCM WAVE.
  bool ReadFromFile(const std::string& fileName);

  std::string ChannelMode() const;
  double Duration() const;  // seconds
};

void RunWAVHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
