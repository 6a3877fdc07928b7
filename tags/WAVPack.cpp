#include "tags/WAVPack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {

namespace {

constexpr size_t kRiffStart = 12;
constexpr size_t kChunkHeader = 8;
constexpr size_t kFormatSize = 16;
constexpr size_t kBlockHeader = 36;

uint32_t LeU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint16_t LeU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Sequential reads of a regular file; anything else is refused without
// blocking. A failed read counts as the end of the file.
class TReader {
 public:
  ~TReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open(const std::string& fileName) {
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size_ = static_cast<int64_t>(st.st_size);
    return true;
  }
  int64_t Size() const { return size_; }
  int64_t Pos() const { return pos_; }
  void Seek(int64_t pos) { pos_ = pos; }
  // Reads up to n bytes at the position and moves past them.
  size_t Read(unsigned char* buf, size_t n) {
    size_t done = 0;
    while (done < n && pos_ < size_) {
      const ssize_t r = ::pread(fd_, buf + done, n - done, static_cast<off_t>(pos_));
      if (r <= 0) break;
      done += static_cast<size_t>(r);
      pos_ += r;
    }
    return done;
  }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
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

  TReader file;
  if (!file.Open(fileName)) return false;
  file.Seek(ID3v2.Exists ? ID3v2.Size : 0);
  unsigned char start[kRiffStart];
  if (file.Read(start, kRiffStart) < kRiffStart) return false;
  if (std::memcmp(start, "RIFF", 4) != 0 || std::memcmp(start + 8, "WAVE", 4) != 0) return true;

  bool haveFormat = false;
  uint32_t bytesPerSecond = 0;
  while (file.Pos() < file.Size()) {
    unsigned char h[kChunkHeader];
    if (file.Read(h, kChunkHeader) < kChunkHeader) break;
    const uint32_t chunkSize = LeU32(h + 4);  // unsigned: every chunk moves the position on
    if (chunkSize == 0) break;
    const int64_t p = file.Pos();
    if (std::memcmp(h, "fmt ", 4) == 0 && chunkSize >= kFormatSize) {
      unsigned char f[kFormatSize];
      if (file.Read(f, kFormatSize) < kFormatSize) break;
      Valid = true;
      FileSize = file.Size();
      FormatTag = LeU16(f);
      Channels = LeU16(f + 2);
      SampleRate = static_cast<int32_t>(LeU32(f + 4));
      bytesPerSecond = LeU32(f + 8);
      Bits = LeU16(f + 14);
      BitRate = bytesPerSecond / 125.0;
      haveFormat = true;
      // The next chunk header is read right after these 16 bytes, even when
      // the chunk is longer.
    } else if (std::memcmp(h, "data", 4) == 0 && haveFormat) {
      unsigned char b[kBlockHeader] = {};  // missing bytes count as zero
      file.Read(b, kBlockHeader);
      if (std::memcmp(b, "wvpk", 4) == 0) {
        Valid = true;
        Version = LeU16(b + 8);
        Channels = 2 - (LeU16(b + 12) & 1);
        if (SampleRate > 0) {
          Duration = static_cast<double>(LeU32(b + 16)) / SampleRate;
          if (Duration > 0) {
            const int64_t blockSize = static_cast<int32_t>(LeU32(b + 4));
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

void RunWPAHandler(const std::string& file, TTagInfo& tags) {
  TWAVPackfile wv;
  if (!wv.ReadFromFile(file)) return;
  // Only the ID3v1 tag supplies text values, and only when it was found.
  if (wv.ID3v1.Exists) CopyID3v1(wv.ID3v1, tags);
  tags.AddTag("Channels", int64_t{wv.Channels});
  tags.AddTag("SampleRateHZ", int64_t{wv.SampleRate});
  tags.AddTag("BitsPerSample", int64_t{wv.Bits});
  tags.AddTag("DurationSec", wv.Duration);
}

}  // namespace tw
