// FLAC: the stream properties from the STREAMINFO block at the file's start;
// the text values from the Vorbis comment block and the ID3 tags of the file.
#pragma once

#include <cstdint>
#include <string>

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/VorbisComment.h"

namespace tw {

class TFileInput;
class TTagInfo;

class TFLACfile {
 public:
  uint8_t Channels = 0;
  uint32_t SampleRate = 0;  // Hz
  uint8_t BitsPerSample = 0;
  int64_t FileLength = 0;  // bytes
  int64_t Samples = 0;     // only the low 32 bits of the 36-bit count
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  bool HasComments = false;  // a Vorbis comment block was found
  TVorbisComments Comments;

  void Reset();
  // True when the file starts with "fLaC"; false when it does not or
  // cannot be read as a regular file.
  bool ReadFromFile(const std::string& fileName);

  bool IsValid() const;
  double Duration() const;  // seconds, 0 unless IsValid

 private:
  void ReadComments(const TFileInput& in);
};

// The "FLAC" handler: ID3v1 copy, ID3v2 copy, the Vorbis comments (which
// win), then the stream values.
void RunFLACHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
