#include "tags/WAV.h"

#include <cstring>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"

namespace tw {

namespace {

constexpr size_t kHeaderSize = 44;
constexpr int64_t kFirstChunk = 12;  // after "RIFF", its size and "WAVE"
constexpr int kMaxChunks = 1024;
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;  // written by recorders that stream

// The size of the "data" chunk, wherever it lies among the chunks after the
// "WAVE" identifier (format headers of any length, lists, cue points); -1
// when there is none. A length the writer left unknown runs to the end of
// the file.
int64_t DataChunkSize(const TFileInput& in) {
  int64_t pos = kFirstChunk;
  for (int i = 0; i < kMaxChunks; ++i) {
    uint8_t h[8];
    if (!in.ReadAt(pos, h, sizeof h)) return -1;
    const uint32_t size = Le32(h + 4);
    pos += 8;
    if (std::memcmp(h, "data", 4) == 0) return size == kUnknownLength ? in.Size() - pos : size;
    pos += size + (size & 1);  // chunks are padded to even sizes
  }
  return -1;
}

}  // namespace

void TWAVfile::Reset() { *this = TWAVfile(); }

bool TWAVfile::ReadFromFile(const std::string& fileName) {
  Reset();
  TFileInput in(fileName);
  uint8_t h[kHeaderSize];
  if (!in.Ok() || !in.ReadAt(0, h, kHeaderSize)) return false;
  const uint16_t channels = Le16(h + 22);
  if (std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0 && std::memcmp(h + 12, "fmt ", 4) == 0 &&
      (channels == 1 || channels == 2)) {
    Valid = true;
    ChannelModeID = static_cast<uint8_t>(channels);
    SampleRate = Le32(h + 24);
    BitsPerSample = static_cast<uint8_t>(Le16(h + 34));
    FileSize = Le32(h + 4) + 8u;  // wraps in 32 bits like the field
    DataSize = DataChunkSize(in);
  }
  return true;
}

std::string TWAVfile::ChannelMode() const {
  static const char* const kNames[] = {"Unknown", "Mono", "Stereo"};
  return kNames[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TWAVfile::Duration() const {
  if (!Valid || SampleRate == 0 || BitsPerSample == 0 || ChannelModeID == 0) return 0;
  // Without a data chunk the RIFF size tells; signed: a RIFF size below 36
  // gives a negative length, as the header says.
  const int64_t bytes = DataSize >= 0 ? DataSize : static_cast<int64_t>(FileSize) - 44;
  const double bits = static_cast<double>(bytes * 8);
  return bits / SampleRate / BitsPerSample / ChannelModeID;
}

void RunWAVHandler(const std::string& file, TTagInfo& tags) {
  TWAVfile wav;
  if (!wav.ReadFromFile(file)) return;
  tags.AddTag("ChannelModeid", static_cast<int64_t>(wav.ChannelModeID));
  tags.AddTag("ChannelModeName", wav.ChannelMode());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(wav.SampleRate));
  tags.AddTag("BitsPerSample", static_cast<int64_t>(wav.BitsPerSample));
  tags.AddTag("DurationSec", wav.Duration());
}

}  // namespace tw
