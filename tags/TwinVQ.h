// TwinVQ (".VQF") files: the stream values of the 40-byte header and the
// text chunks that follow it.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TTwinVQ {
 public:
  bool Valid = false;
  uint8_t ChannelModeID = 0;  // 0 unknown, 1 mono, 2 stereo
  uint8_t BitRate = 0;        // kbit/s
  uint16_t SampleRate = 0;    // Hz
  uint32_t FileSize = 0;
  double Duration = 0;        // seconds
  std::string Title;
  std::string Comment;
  std::string Author;
  std::string Copyright;
  std::string SourceName;     // the original file name

  void ResetData();
  // False when fewer than 40 bytes can be read; true otherwise, with reset
  // values when the signature is missing.
  bool ReadFromFile(const std::string& fileName);
  // "Unknown", "Mono" or "Stereo".
  std::string ChannelMode() const;
};

// The "VQF" handler: stream values and texts into the tag record.
void RunVQFHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
