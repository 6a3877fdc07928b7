#include "tags/FLAC.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {

namespace {

constexpr size_t kHeadSize = 42;

// Reads up to n bytes from the start of a regular file into buf (the rest
// stays as it was) and gives the file's size; anything but a regular file
// is refused without blocking.
bool ReadHead(const std::string& fileName, unsigned char* buf, size_t n, int64_t& fileSize) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    fileSize = static_cast<int64_t>(st.st_size);
    size_t done = 0;
    while (done < n) {
      const ssize_t r = ::pread(fd, buf + done, n - done, static_cast<off_t>(done));
      if (r < 0) ok = false;
      if (r <= 0) break;
      done += static_cast<size_t>(r);
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

void TFLACfile::Reset() { *this = TFLACfile(); }

bool TFLACfile::ReadFromFile(const std::string& fileName) {
  Reset();
  ID3v1.ReadFromFile(fileName);
  ID3v2.ReadFromFile(fileName);
  unsigned char h[kHeadSize] = {};  // bytes past the end count as zero
  int64_t size = 0;
  if (!ReadHead(fileName, h, kHeadSize, size)) return false;
  FileLength = size;
  if (std::memcmp(h, "fLaC", 4) != 0) return false;
  SampleRate = static_cast<uint32_t>(h[18]) << 12 | static_cast<uint32_t>(h[19]) << 4 | h[20] >> 4;
  Channels = static_cast<uint8_t>(((h[20] >> 1) & 0x07) + 1);
  BitsPerSample = static_cast<uint8_t>(((h[20] & 0x01) << 4 | h[21] >> 4) + 1);
  // The top four bits of the count (low nibble of byte 21) are dropped.
  Samples = static_cast<int64_t>(static_cast<uint32_t>(h[22]) << 24 | static_cast<uint32_t>(h[23]) << 16 |
                                 static_cast<uint32_t>(h[24]) << 8 | h[25]);
  return true;
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
  tags.AddTag("Channels", static_cast<int64_t>(flac.Channels));
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(flac.SampleRate));
  tags.AddTag("BitsPerSample", static_cast<int64_t>(flac.BitsPerSample));
  tags.AddTag("Samples ", flac.Samples);
  tags.AddTag("DurationSec", flac.Duration());
}

}  // namespace tw
