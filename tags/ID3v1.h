// The 128-byte ID3v1 / ID3v1.1 tag at the end of an audio file.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TID3v1 {
 public:
  bool Exists = false;    // the last 128 bytes start with "TAG"
  uint8_t VersionID = 1;  // 1 = ID3v1.0, 2 = ID3v1.1
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  uint8_t Track = 0;      // 0 when absent
  uint8_t GenreID = 255;  // 255 when absent

  void Reset();
  // False when the file is not a readable regular file of at least 128 bytes.
  bool ReadFromFile(const std::string& fileName);
  // Reads the tag from the last 128 bytes of `data`, same results as above.
  bool ReadFromBuffer(const char* data, size_t size);
  // The genre name of GenreID, empty text from 148 on.
  std::string Genre() const;
};

// The name of ID3v1 genre number `id`, empty text from 148 on.
std::string ID3v1GenreName(unsigned id);

}  // namespace tw
