#include "tags/FLAC.h"

#include <cstring>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {

namespace {

constexpr size_t kHeadSize = 42;
constexpr uint8_t kVorbisCommentBlock = 4;
constexpr int kMaxBlocks = 1024;

}  // namespace

void TFLACfile::Reset() { *this = TFLACfile(); }

bool TFLACfile::ReadFromFile(const std::string& fileName) {
  Reset();
  ID3v1.ReadFromFile(fileName);
  ID3v2.ReadFromFile(fileName);
  TFileInput in(fileName);
  if (!in.Ok()) return false;
  uint8_t h[kHeadSize] = {};  // bytes past the end count as zero
  in.ReadUpTo(0, h, kHeadSize);
  FileLength = in.Size();
  if (std::memcmp(h, "fLaC", 4) != 0) return false;
  SampleRate = static_cast<uint32_t>(h[18]) << 12 | static_cast<uint32_t>(h[19]) << 4 | h[20] >> 4;
  Channels = static_cast<uint8_t>(((h[20] >> 1) & 0x07) + 1);
  BitsPerSample = static_cast<uint8_t>(((h[20] & 0x01) << 4 | h[21] >> 4) + 1);
  // The top four bits of the count (low nibble of byte 21) are dropped.
  Samples = static_cast<int64_t>(Be32(h + 22));
  ReadComments(in);
  return true;
}

// The metadata blocks after the signature, up to the last one: the Vorbis
// comment block carries the file's tags.
void TFLACfile::ReadComments(const TFileInput& in) {
  int64_t pos = 4;
  for (int i = 0; i < kMaxBlocks; ++i) {
    uint8_t b[4];
    if (!in.ReadAt(pos, b, sizeof b)) return;
    const uint32_t length = Be24(b + 1);
    if ((b[0] & 0x7F) == kVorbisCommentBlock) {
      Comments = ReadVorbisComments(in, pos + 4);
      HasComments = true;
      return;
    }
    if (b[0] & 0x80) return;  // the last block
    pos += 4 + length;
  }
}

bool TFLACfile::IsValid() const { return Channels > 0 && SampleRate > 0 && BitsPerSample > 0 && Samples > 0; }

double TFLACfile::Duration() const {
  return IsValid() ? static_cast<double>(Samples) / static_cast<double>(SampleRate) : 0.0;
}

void RunFLACHandler(const std::string& file, TTagInfo& tags) {
  TFLACfile flac;
  if (!flac.ReadFromFile(file)) return;
  // The copies add only what the tag readers found.
  if (flac.ID3v1.Exists) CopyID3v1(flac.ID3v1, tags);
  if (flac.ID3v2.Exists) CopyID3v2(flac.ID3v2, tags);
  if (flac.HasComments) CopyVorbisComments(flac.Comments, tags);
  tags.AddTag("Channels", static_cast<int64_t>(flac.Channels));
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(flac.SampleRate));
  tags.AddTag("BitsPerSample", static_cast<int64_t>(flac.BitsPerSample));
  tags.AddTag("Samples ", flac.Samples);
  tags.AddTag("DurationSec", flac.Duration());
}

}  // namespace tw
