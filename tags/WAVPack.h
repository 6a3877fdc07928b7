// WavPack files. Up to version 3: a RIFF/WAVE file whose "data" chunk starts
// with a "wvpk" block; the format comes from the "fmt " chunk, the length
// from that block. From version 4 the file is a row of "wvpk" blocks whose
// first one gives format and length. The tags tell how much of the file is
// not audio; an APEv2 tag at the end carries the texts.
#pragma once

#include <cstdint>
#include <string>

#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace tw {

class TFileInput;
class TTagInfo;

class TWAVPackfile {
 public:
  int64_t FileSize = 0;
  bool Valid = false;
  // Signed 32-bit: a rate of 2^31 or more reads as negative and gives no length.
  int32_t FormatTag = 0;
  int32_t Version = 0;
  int32_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t Bits = 0;
  double BitRate = 0;   // kbit/s
  double Duration = 0;  // seconds
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  TAPEtag APEtag;

  void Reset();
  // False when the file is not a readable regular file or has fewer than 12
  // bytes where the audio starts; true otherwise, also when it is neither
  // form, so that the tag values of such a file still count.
  bool ReadFromFile(const std::string& fileName);

 private:
  void ReadBlock4(const TFileInput& in, int64_t at, int64_t tagSize);
};

// The "WPA" handler: the ID3v1 copy, the APE copy, "Channels", "SampleRateHZ",
// "BitsPerSample", "DurationSec". The third field keeps the bits value it has
// always carried but under the name the WAV and FLAC handlers use for it, not
// "BitRateKBS"; `BitRate` stays unused.
void RunWPAHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
