// The ID3v2 tag (versions 2.2, 2.3, 2.4) at the start of an audio file: its
// size, which tells where the audio starts, and seven text values.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TID3v2 {
 public:
  bool Exists = false;    // the file starts with "ID3"
  uint8_t VersionID = 0;  // major version byte of the header
  int32_t Size = 0;       // whole tag with header and footer; 0 when absent or larger than the file
  std::string Title;
  std::string Artist;
  std::string Album;
  uint16_t Track = 0;
  std::string TrackString;
  std::string Year;
  std::string Genre;
  std::string Comment;

  void Reset();
  // False when the file is not a readable regular file of at least 10 bytes.
  bool ReadFromFile(const std::string& fileName);
};

}  // namespace tw
