#include "tags/AACfile.h"

#include <array>
#include <cmath>
#include <cstring>
#include <exception>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {
namespace {

constexpr std::array<const char*, 3> kVersions = {"Unknown", "MPEG-2", "MPEG-4"};
constexpr std::array<const char*, 5> kProfiles = {"Unknown", "AAC Main", "AAC LC", "AAC SSR", "AAC LTP"};
constexpr std::array<const char*, 3> kBitRateTypes = {"Unknown", "CBR", "VBR"};
// The sampling frequencies of MPEG-4 audio by index; 12 to 15 are unused.
constexpr std::array<uint32_t, 16> kSampleRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                                   16000, 12000, 11025, 8000,  0,     0,     0,     0};

enum : uint8_t { kUnknown = 0, kADIF = 1, kADTS = 2 };
enum : uint8_t { kCBR = 1, kVBR = 2 };

// Bit fields of the file: count bits (at most 25) at a bit position, taken
// from the big-endian 32-bit word at the position's byte. Bytes past the end
// of the file count as zero. A window of the file keeps a frame walk to one
// read per few dozen frames.
class TBitReader {
 public:
  explicit TBitReader(const TFileInput& file) : file_(file) {}

  uint32_t Bits(int64_t position, unsigned count) {
    const int64_t byte = position / 8;
    if (start_ < 0 || byte < start_ || byte + 4 > start_ + int64_t(kWindow)) Fill(byte);
    const unsigned char* p = window_.data() + (byte - start_);
    const uint32_t word = Be32(p);
    return (word << (position % 8)) >> (32 - count);
  }

 private:
  static constexpr size_t kWindow = 16 * 1024;

  void Fill(int64_t byte) {
    window_.fill(0);
    file_.ReadUpTo(byte, window_.data(), kWindow);
    start_ = byte;
  }

  const TFileInput& file_;
  std::array<unsigned char, kWindow> window_{};
  int64_t start_ = -1;
};

// The channels of an ADIF program configuration whose object type starts at
// bit p: every front, side and back element is one channel or, when it is a
// channel pair, two; every LFE element is one.
uint8_t AdifChannels(TBitReader& bits, int64_t p) {
  const uint32_t front = bits.Bits(p + 6, 4), side = bits.Bits(p + 10, 4), back = bits.Bits(p + 14, 4);
  const uint32_t lfe = bits.Bits(p + 18, 2);
  int64_t q = p + 27;                   // after the data and coupling element counts
  if (bits.Bits(q++, 1)) q += 4;        // mono mixdown
  if (bits.Bits(q++, 1)) q += 4;        // stereo mixdown
  if (bits.Bits(q++, 1)) q += 3;        // matrix mixdown
  uint32_t channels = lfe;
  for (uint32_t i = 0; i < front + side + back; ++i, q += 5) channels += 1 + bits.Bits(q, 1);
  return static_cast<uint8_t>(channels);
}

// The ADTS frame walk: every frame header in a row from the start of the
// stream, its 13-bit length at bit 30 and the buffer fullness after it. The
// first frame gives the stream values and, by its fullness, the rate type
// (7FF: variable); the bit rate is measured over all frames of either type,
// since one frame of a constant rate stream is not its rate.
void WalkAdts(TBitReader& bits, int64_t start, TAACfile& aac) {
  int64_t frames = 0, total = 0;
  while (start + total < int64_t(aac.FileSize)) {
    const int64_t p = (start + total) * 8;
    if (bits.Bits(p, 12) != 0xFFF) break;
    if (frames == 0) {
      aac.MPEGVersionID = bits.Bits(p + 12, 1) == 0 ? 2 : 1;
      aac.ProfileID = static_cast<uint8_t>(bits.Bits(p + 16, 2) + 1);
      aac.SampleRate = kSampleRates[bits.Bits(p + 18, 4)];
      aac.Channels = static_cast<uint8_t>(bits.Bits(p + 23, 3));
      aac.BitRateTypeID = bits.Bits(p + 43, 11) == 0x7FF ? kVBR : kCBR;
    }
    const uint32_t frameLength = bits.Bits(p + 30, 13);
    // A zero length would revisit the same header forever.
    if (frameLength == 0) break;
    ++frames;
    total += frameLength;
  }
  if (frames > 0)
    aac.BitRate = static_cast<uint32_t>(std::nearbyint(aac.SampleRate * (double(total) * 8 / 1024 / double(frames))));
}

}  // namespace

void TAACfile::ResetData() { *this = TAACfile(); }

std::string TAACfile::MPEGVersion() const {
  return MPEGVersionID < kVersions.size() ? kVersions[MPEGVersionID] : kVersions[0];
}

std::string TAACfile::Profile() const {
  return ProfileID < kProfiles.size() ? kProfiles[ProfileID] : kProfiles[0];
}

std::string TAACfile::BitRateType() const {
  return BitRateTypeID < kBitRateTypes.size() ? kBitRateTypes[BitRateTypeID] : kBitRateTypes[0];
}

double TAACfile::Duration() const {
  if (BitRate == 0) return 0;
  return (double(FileSize) - double(ID3v2.Size)) * 8 / BitRate;
}

bool TAACfile::ReadFromFile(const std::string& fileName) {
  ResetData();
  if (!ID3v2.ReadFromFile(fileName) || !ID3v1.ReadFromFile(fileName) || !APEtag.ReadFromFile(fileName))
    return false;
  try {
    TFileInput file(fileName);
    if (!file.Ok()) return false;
    FileSize = static_cast<uint32_t>(file.Size());
    const int64_t start = ID3v2.Size;
    TBitReader bits(file);

    unsigned char head[4] = {};
    file.ReadUpTo(start, head, sizeof head);
    if (std::memcmp(head, "ADIF", 4) == 0)
      HeaderTypeID = kADIF;
    else if (head[0] == 0xFF && (head[1] & 0xF0) == 0xF0)
      HeaderTypeID = kADTS;

    if (HeaderTypeID == kADIF) {
      int64_t p = start * 8 + 32;
      p += bits.Bits(p, 1) == 0 ? 3 : 75;  // copyright id present
      BitRateTypeID = bits.Bits(p, 1) == 0 ? kCBR : kVBR;
      BitRate = bits.Bits(p + 1, 23);
      p += BitRateTypeID == kCBR ? 52 : 32;
      MPEGVersionID = 2;
      ProfileID = static_cast<uint8_t>(bits.Bits(p, 2) + 1);
      SampleRate = kSampleRates[bits.Bits(p + 2, 4)];
      Channels = AdifChannels(bits, p);
    } else if (HeaderTypeID == kADTS) {
      WalkAdts(bits, start, *this);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void RunAACHandler(const std::string& file, TTagInfo& tags) {
  TAACfile aac;
  if (!aac.ReadFromFile(file)) return;
  if (aac.ID3v1.Exists) CopyID3v1(aac.ID3v1, tags);
  if (aac.ID3v2.Exists) CopyID3v2(aac.ID3v2, tags);
  tags.AddTag("MPEGVersionid", static_cast<int64_t>(aac.MPEGVersionID));
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(aac.SampleRate));
  tags.AddTag("BitRateKBS", static_cast<int64_t>(aac.BitRate));  // bit/s, as this handler always stored it
  tags.AddTag("MPEGVersionName", aac.MPEGVersion());
  tags.AddTag("Profileid", static_cast<int64_t>(aac.ProfileID));
  tags.AddTag("ProfileName", aac.Profile());
  tags.AddTag("Channels", static_cast<int64_t>(aac.Channels));
  tags.AddTag("BitrateTypeid", static_cast<int64_t>(aac.BitRateTypeID));
  tags.AddTag("BitrateTypeName", aac.BitRateType());
  tags.AddTag("DurationSec", aac.Duration());
}

}  // namespace tw
