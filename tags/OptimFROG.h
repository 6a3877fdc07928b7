// OptimFROG (".OFR", ".OFS") files: the stream values of the 23-byte header
// after the ID3v2 tag; the ID3 tags of the file supply the text values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace tw {

class TTagInfo;

class TOptimFrog {
 public:
  static constexpr size_t kHeaderSize = 23;

  int64_t FileLength = 0;
  std::array<unsigned char, kHeaderSize> Header{};  // little-endian fields, see the accessors
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  TAPEtag APEtag;

  void ResetData();
  // True when the header starts with "OFR ". A file that cannot be opened
  // raises EError, which the scan reports for the file.
  bool ReadFromFile(const std::string& fileName);

  uint32_t Length() const;
  uint16_t HighLength() const;
  uint8_t SampleType() const;
  uint8_t ChannelModeCode() const;
  uint32_t SampleRate() const;
  uint16_t EncoderCode() const;

  std::string EncoderVersion() const;  // "4.520" for the encoder code 0140 hex
  int BitsPerSample() const;           // negative for floating-point samples, 0 when unknown
  std::string ChannelMode() const;     // "Mono", "Stereo" or empty
  int64_t Samples() const;
  double Duration() const;
};

// The "OFR" handler: ID3v1 copy, ID3v2 copy, then the stream values.
void RunOFRHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
