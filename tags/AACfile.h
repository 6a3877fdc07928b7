// AAC files in ADIF or ADTS form: stream values from the first header (ADIF)
// or from a walk over the frame headers (ADTS); the ID3 tags of the file
// supply the text values.
#pragma once

#include <cstdint>
#include <string>

#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace tw {

class TTagInfo;

class TAACfile {
 public:
  uint32_t FileSize = 0;
  uint8_t HeaderTypeID = 0;   // 0 unknown, 1 ADIF, 2 ADTS
  uint8_t MPEGVersionID = 0;  // 0 unknown, 1 MPEG-2, 2 MPEG-4
  uint8_t ProfileID = 0;
  uint8_t Channels = 0;
  uint32_t SampleRate = 0;    // Hz
  uint32_t BitRate = 0;       // bit/s
  uint8_t BitRateTypeID = 0;  // 0 unknown, 1 CBR, 2 VBR
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  TAPEtag APEtag;

  void ResetData();
  // False when a tag read fails or the file cannot be read; true otherwise,
  // with unknown values when no ADIF or ADTS header follows the ID3v2 tag.
  bool ReadFromFile(const std::string& fileName);

  std::string MPEGVersion() const;
  std::string Profile() const;
  std::string BitRateType() const;
  double Duration() const;  // seconds, 0 when the bit rate is unknown
};

// The "AAC" handler: ID3v1 copy, ID3v2 copy, then the stream values.
void RunAACHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
