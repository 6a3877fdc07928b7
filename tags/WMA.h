// Windows Media Audio: the objects of the ASF header give the maximum bit
// rate, the audio format and the descriptive texts; duration and bit rate
// follow from them.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TWMAfile {
 public:
  bool Valid = false;
  uint32_t FileSize = 0;
  uint8_t ChannelModeID = 0;  // 0 unknown, 1 mono, 2 stereo
  uint32_t SampleRate = 0;    // Hz
  double Duration = 0;        // seconds
  uint32_t BitRate = 0;       // kbit/s
  std::u16string Title;
  std::u16string Artist;
  std::u16string Album;
  int32_t Track = 0;
  std::u16string Year;
  std::u16string Genre;
  std::u16string Comment;

  void Reset();
  // False when the file cannot be opened or a read runs past its end; true
  // otherwise. The texts are kept whatever the stream values are; those stay
  // reset (and Valid false) when they are not plausible WMA.
  bool ReadFromFile(const std::string& fileName);

  std::string ChannelMode() const;
};

// UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const std::u16string& text);

void RunWMAHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
