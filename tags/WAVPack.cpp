#include "tags/WAVPack.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {

namespace {

constexpr size_t kRiffStart = 12;
constexpr size_t kChunkHeader = 8;
constexpr size_t kFormatSize = 16;
constexpr size_t kBlockHeader = 36;

// WavPack 4 and later: a block of 32 bytes of header, then metadata.
constexpr size_t kBlock4Header = 32;
constexpr uint32_t kFlagMono = 1u << 2;
constexpr uint32_t kFlagFloat = 1u << 7;
constexpr uint32_t kFlagDSD = 1u << 31;
constexpr uint8_t kMetaIdMask = 0x3F;
constexpr uint8_t kMetaOddSize = 0x40;
constexpr uint8_t kMetaLarge = 0x80;
constexpr uint8_t kMetaChannelInfo = 0x0D;
constexpr uint8_t kMetaDSDBlock = 0x0E;
constexpr uint8_t kMetaSampleRate = 0x27;  // an optional item: 0x20 | 7
constexpr uint32_t kUnknownSamples = 0xFFFFFFFF;
constexpr uint32_t kBlock4Rates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                       32000, 44100, 48000, 64000, 88200, 96000, 192000};

// Sequential reads of a regular file at a moving position; a failed read
// counts as the end of the file.
class TReader {
 public:
  explicit TReader(const std::string& fileName) : in_(fileName) {}
  bool Ok() const { return in_.Ok(); }
  const TFileInput& Input() const { return in_; }
  int64_t Size() const { return in_.Size(); }
  int64_t Pos() const { return pos_; }
  void Seek(int64_t pos) { pos_ = pos; }
  // Reads up to n bytes at the position and moves past them.
  size_t Read(uint8_t* buf, size_t n) {
    const size_t done = in_.ReadUpTo(pos_, buf, n);
    pos_ += static_cast<int64_t>(done);
    return done;
  }

 private:
  TFileInput in_;
  int64_t pos_ = 0;
};

}  // namespace

void TWAVPackfile::Reset() { *this = TWAVPackfile(); }

bool TWAVPackfile::ReadFromFile(const std::string& fileName) {
  Reset();
  ID3v2.ReadFromFile(fileName);
  ID3v1.ReadFromFile(fileName);
  APEtag.ReadFromFile(fileName);
  int64_t tagSize = ID3v1.Exists ? 128 : 0;
  if (ID3v2.Exists) tagSize += ID3v2.Size;
  if (APEtag.Exists) tagSize += APEtag.Size;

  TReader file(fileName);
  if (!file.Ok()) return false;
  const int64_t audioStart = ID3v2.Exists ? ID3v2.Size : 0;
  file.Seek(audioStart);
  uint8_t start[kRiffStart];
  if (file.Read(start, kRiffStart) < kRiffStart) return false;
  if (std::memcmp(start, "wvpk", 4) == 0) {
    ReadBlock4(file.Input(), audioStart, tagSize);
    return true;
  }
  if (std::memcmp(start, "RIFF", 4) != 0 || std::memcmp(start + 8, "WAVE", 4) != 0) return true;

  bool haveFormat = false;
  uint32_t bytesPerSecond = 0;
  while (file.Pos() < file.Size()) {
    uint8_t h[kChunkHeader];
    if (file.Read(h, kChunkHeader) < kChunkHeader) break;
    const uint32_t chunkSize = Le32(h + 4);  // unsigned: every chunk moves the position on
    if (chunkSize == 0) break;
    const int64_t p = file.Pos();
    if (std::memcmp(h, "fmt ", 4) == 0 && chunkSize >= kFormatSize) {
      uint8_t f[kFormatSize];
      if (file.Read(f, kFormatSize) < kFormatSize) break;
      Valid = true;
      FileSize = file.Size();
      FormatTag = Le16(f);
      Channels = Le16(f + 2);
      SampleRate = static_cast<int32_t>(Le32(f + 4));
      bytesPerSecond = Le32(f + 8);
      Bits = Le16(f + 14);
      BitRate = bytesPerSecond / 125.0;
      haveFormat = true;
      // The next chunk header is read right after these 16 bytes, even when
      // the chunk is longer.
    } else if (std::memcmp(h, "data", 4) == 0 && haveFormat) {
      uint8_t b[kBlockHeader] = {};  // missing bytes count as zero
      file.Read(b, kBlockHeader);
      if (std::memcmp(b, "wvpk", 4) == 0) {
        Valid = true;
        Version = Le16(b + 8);
        Channels = 2 - (Le16(b + 12) & 1);
        if (SampleRate > 0) {
          Duration = static_cast<double>(Le32(b + 16)) / SampleRate;
          if (Duration > 0) {
            const int64_t blockSize = static_cast<int32_t>(Le32(b + 4));
            BitRate = static_cast<double>(FileSize - tagSize - blockSize) * 8 / (Duration * 1000);
          }
        }
      } else {
        int64_t dataLength = chunkSize;
        if (file.Size() - file.Pos() < dataLength) dataLength = file.Size() - file.Pos();
        if (dataLength > 0 && bytesPerSecond > 0) Duration = static_cast<double>(dataLength) / bytesPerSecond;
      }
      break;
    } else {
      file.Seek(p + chunkSize);  // no padding to even sizes
    }
  }
  return true;
}

// The first block of a WavPack 4 file: the format from its flags and from
// the channel and sample rate items of its metadata, the length from its
// sample count.
void TWAVPackfile::ReadBlock4(const TFileInput& in, int64_t at, int64_t tagSize) {
  uint8_t h[kBlock4Header];
  if (!in.ReadAt(at, h, sizeof h)) return;
  const uint32_t blockSize = Le32(h + 4) + 8;  // the size field counts from after itself
  const uint32_t flags = Le32(h + 24);
  Valid = true;
  FileSize = in.Size();
  Version = Le16(h + 8);
  FormatTag = (flags & kFlagFloat) ? 3 : 1;
  Channels = (flags & kFlagMono) ? 1 : 2;
  Bits = static_cast<int32_t>(((flags & 3) + 1) * 8 - ((flags >> 13) & 0x1F));
  const uint32_t rateIndex = (flags >> 23) & 0x0F;
  SampleRate = rateIndex < 15 ? static_cast<int32_t>(kBlock4Rates[rateIndex]) : 0;

  // Metadata items: an id byte, a size in 16-bit words (three bytes for a
  // large item), the data. A DSD stream counts its samples at its table
  // rate times 2 to the power its DSD item starts with.
  int dsdShift = 0;
  const int64_t end = std::min<int64_t>(at + blockSize, in.Size());
  for (int64_t pos = at + static_cast<int64_t>(kBlock4Header); pos + 2 <= end;) {
    uint8_t m[4] = {};
    if (!in.ReadAt(pos, m, 2)) break;
    const bool large = m[0] & kMetaLarge;
    if (large && !in.ReadAt(pos, m, 4)) break;
    const int64_t words = large ? Le24(m + 1) : m[1];
    const int64_t dataAt = pos + (large ? 4 : 2);
    const int64_t length = words * 2 - ((m[0] & kMetaOddSize) ? 1 : 0);
    uint8_t d[4] = {};
    const size_t got = length > 0 ? in.ReadUpTo(dataAt, d, static_cast<size_t>(std::min<int64_t>(length, 4))) : 0;
    const uint8_t id = m[0] & kMetaIdMask;
    if (id == kMetaChannelInfo && got >= 1 && d[0] > 0) Channels = d[0];
    if (id == kMetaSampleRate && got >= 3) SampleRate = Le24(d);
    if (id == kMetaDSDBlock && got >= 1 && d[0] < 8) dsdShift = d[0];
    pos = dataAt + words * 2;
  }
  if (flags & kFlagDSD) SampleRate <<= dsdShift;

  const uint32_t samples = Le32(h + 12);
  if (samples == kUnknownSamples || SampleRate <= 0) return;
  const uint64_t total = samples + (uint64_t{h[11]} << 32);  // 40 bits from version 5
  Duration = static_cast<double>(total) / SampleRate;
  if (Duration > 0) BitRate = static_cast<double>(FileSize - tagSize) * 8 / (Duration * 1000);
}

void RunWPAHandler(const std::string& file, TTagInfo& tags) {
  TWAVPackfile wv;
  if (!wv.ReadFromFile(file)) return;
  // The tags supply the text values, each only when it was found; the APE
  // tag current encoders write wins.
  if (wv.ID3v1.Exists) CopyID3v1(wv.ID3v1, tags);
  if (wv.APEtag.Exists) CopyAPEtag(wv.APEtag, tags);
  tags.AddTag("Channels", int64_t{wv.Channels});
  tags.AddTag("SampleRateHZ", int64_t{wv.SampleRate});
  tags.AddTag("BitsPerSample", int64_t{wv.Bits});
  tags.AddTag("DurationSec", wv.Duration);
}

}  // namespace tw
