#include "tags/OptimFROG.h"

#include <cstdio>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {
namespace {

constexpr std::array<int, 11> kBitsBySampleType = {8, 8, 16, 16, 24, 24, 32, 32, -32, -32, -32};

}  // namespace

void TOptimFrog::ResetData() { *this = TOptimFrog(); }

uint32_t TOptimFrog::Length() const { return Le32(&Header[8]); }
uint16_t TOptimFrog::HighLength() const { return Le16(&Header[12]); }
uint8_t TOptimFrog::SampleType() const { return Header[14]; }
uint8_t TOptimFrog::ChannelModeCode() const { return Header[15]; }
uint32_t TOptimFrog::SampleRate() const { return Le32(&Header[16]); }
uint16_t TOptimFrog::EncoderCode() const { return Le16(&Header[20]); }

bool TOptimFrog::ReadFromFile(const std::string& fileName) {
  ResetData();
  ID3v1.ReadFromFile(fileName);
  ID3v2.ReadFromFile(fileName);
  APEtag.ReadFromFile(fileName);
  TFileInput file(fileName);
  if (!file.Ok()) throw EError(fileName + ": " + file.ErrorText());
  FileLength = file.Size();
  file.ReadUpTo(ID3v2.Size, Header.data(), Header.size());
  return std::memcmp(Header.data(), "OFR ", 4) == 0;
}

std::string TOptimFrog::EncoderVersion() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.3f", ((EncoderCode() >> 4) + 4500) / 1000.0);
  return buf;
}

int TOptimFrog::BitsPerSample() const {
  return SampleType() < kBitsBySampleType.size() ? kBitsBySampleType[SampleType()] : 0;
}

std::string TOptimFrog::ChannelMode() const {
  switch (ChannelModeCode()) {
    case 0: return "Mono";
    case 1: return "Stereo";
    default: return "";
  }
}

int64_t TOptimFrog::Samples() const {
  // A 32-bit shift takes its count modulo 32, as the stored files were
  // written with.
  const unsigned shift = ChannelModeCode() & 31u;
  return int64_t(Length() >> shift) + int64_t(uint32_t(HighLength()) >> shift) * (int64_t(1) << 32);
}

double TOptimFrog::Duration() const {
  return SampleRate() > 0 ? double(Samples()) / SampleRate() : 0.0;
}

void RunOFRHandler(const std::string& file, TTagInfo& tags) {
  TOptimFrog ofr;
  if (!ofr.ReadFromFile(file)) return;
  if (ofr.ID3v1.Exists) CopyID3v1(ofr.ID3v1, tags);
  if (ofr.ID3v2.Exists) CopyID3v2(ofr.ID3v2, tags);
  tags.AddTag("EncoderVersion", ofr.EncoderVersion());
  tags.AddTag("BitsPerSample", static_cast<int64_t>(ofr.BitsPerSample()));
  tags.AddTag("ChannelModeName", ofr.ChannelMode());
  tags.AddTag("Samples", ofr.Samples());
  tags.AddTag("DurationSec", ofr.Duration());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(ofr.SampleRate()));
}

}  // namespace tw
