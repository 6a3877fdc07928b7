// PCM WAV: the fixed 44-byte RIFF/WAVE header; the duration follows from the
// RIFF size, not from the data chunk.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TWAVfile {
 public:
  bool Valid = false;
  uint8_t ChannelModeID = 0;  // the channel count, 1 or 2
  uint16_t SampleRate = 0;    // low 16 bits of the header's rate
  uint8_t BitsPerSample = 0;
  uint32_t FileSize = 0;      // RIFF size + 8

  void Reset();
  // False when the file cannot be read or is shorter than the header; true
  // otherwise, with the reset values when the header is not PCM WAVE.
  bool ReadFromFile(const std::string& fileName);

  std::string ChannelMode() const;
  double Duration() const;  // seconds
};

void RunWAVHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
