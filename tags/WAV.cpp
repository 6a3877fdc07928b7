#include "tags/WAV.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "tags/TagClasses.h"

namespace tw {

namespace {

constexpr size_t kHeaderSize = 44;

// Reads the start of a regular file; anything else (FIFO, device) is refused
// without blocking. False unless all n bytes came.
bool ReadHead(const std::string& fileName, unsigned char* buf, size_t n) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  size_t done = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    while (done < n) {
      ssize_t r = ::pread(fd, buf + done, n - done, static_cast<off_t>(done));
      if (r <= 0) break;
      done += static_cast<size_t>(r);
    }
  }
  ::close(fd);
  return done == n;
}

uint32_t LeU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint16_t LeU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

void TWAVfile::Reset() { *this = TWAVfile(); }

bool TWAVfile::ReadFromFile(const std::string& fileName) {
  Reset();
  unsigned char h[kHeaderSize];
  if (!ReadHead(fileName, h, kHeaderSize)) return false;
  const uint16_t channels = LeU16(h + 22);
  if (std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0 && std::memcmp(h + 12, "fmt ", 4) == 0 &&
      (channels == 1 || channels == 2)) {
    Valid = true;
    ChannelModeID = static_cast<uint8_t>(channels);
    SampleRate = static_cast<uint16_t>(LeU32(h + 24));
    BitsPerSample = static_cast<uint8_t>(LeU16(h + 34));
    FileSize = LeU32(h + 4) + 8u;  // wraps in 32 bits like the field
  }
  return true;
}

std::string TWAVfile::ChannelMode() const {
  static const char* const kNames[] = {"Unknown", "Mono", "Stereo"};
  return kNames[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TWAVfile::Duration() const {
  if (!Valid || SampleRate == 0 || BitsPerSample == 0 || ChannelModeID == 0) return 0;
  // Signed: a RIFF size below 36 gives a negative length, as the header says.
  const double bits = static_cast<double>((static_cast<int64_t>(FileSize) - 44) * 8);
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
