// MPEG audio streams (MPEG 1, 2, 2.5, Layers I-III): the first valid frame
// header, the Xing / VBRI headers, an encoder guess, and both ID3 tags.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace tw {

class TTagInfo;

// The decoded frame header; all zero when nothing was decoded.
struct FrameHeader {
  bool Found = false;
  int32_t Position = 0;  // within the search window
  uint16_t Size = 0;     // frame length in bytes
  bool Xing = false;     // the six bytes after the header are all zero
  std::array<uint8_t, 4> Data{};
  uint8_t VersionID = 0;  // 0 = 2.5, 1 = reserved, 2 = MPEG 2, 3 = MPEG 1
  uint8_t LayerID = 0;    // 0 = reserved, 1 = III, 2 = II, 3 = I
  bool ProtectionBit = false;  // the frame carries a CRC
  uint16_t BitRateID = 0;
  uint16_t SampleRateID = 0;
  bool PaddingBit = false;
  bool PrivateBit = false;
  uint8_t ModeID = 0;  // 0 stereo, 1 joint, 2 dual, 3 mono, 4 unknown
  uint8_t ModeExtensionID = 0;
  bool CopyrightBit = false;
  bool OriginalBit = false;
  uint8_t EmphasisID = 0;
};

// The variable-bit-rate header; all zero when absent.
struct VBRData {
  bool Found = false;
  std::string ID;  // "Xing", "Info" (a Xing header of a constant-rate file) or "VBRI"
  int32_t Frames = 0;
  int32_t Bytes = 0;
  uint8_t Scale = 0;
  std::string VendorID;  // 8 raw characters, Xing and Info headers only
};

class TMPEGaudio {
 public:
  static constexpr size_t kWindowSize = 3458;

  int32_t FileLength = 0;
  std::string VendorID;  // encoder signature found at the end of the file
  VBRData VBR;
  FrameHeader Frame;
  TID3v1 ID3v1;
  TID3v2 ID3v2;

  TMPEGaudio() { Reset(); }
  void Reset();
  // False when a tag read fails or a window read is impossible; true otherwise,
  // with a reset reader when no frame was found.
  bool ReadFromFile(const std::string& fileName);

  // The frame search over one window (exposed for tests).
  void FindFrame(const uint8_t* window);
  // The end-of-file signature scan over one window, given the frame length.
  void FindVendorID(const uint8_t* window, uint16_t frameLength);

  std::string Version() const;
  std::string Layer() const;
  int64_t SampleRate() const;  // Hz
  int64_t BitRate() const;     // kbit/s
  std::string ChannelMode() const;
  std::string Emphasis() const;
  int64_t Frames() const;
  double Duration() const;  // seconds
  uint8_t EncoderID() const;
  std::string Encoder() const;
};

// Header arithmetic shared by the reader and its tests.
bool IsFrameHeader(const uint8_t* b);
int64_t MPEGBitRate(uint8_t versionID, uint8_t layerID, uint16_t bitRateID);  // kbit/s
int64_t MPEGSampleRate(uint8_t versionID, uint16_t sampleRateID);            // Hz
int64_t MPEGCoefficient(uint8_t versionID, uint8_t layerID);                 // 0 for a reserved layer
uint16_t MPEGFrameLength(const FrameHeader& frame);

// The "MPG" handler: ID3v2 copy, ID3v1 copy, then the stream values.
void RunMPGHandler(const std::string& file, TTagInfo& tags);

}  // namespace tw
