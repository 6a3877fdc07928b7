#include "tags/ID3v2.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Utf8.h"
#include "tags/ID3v1.h"

namespace tw {

namespace {

constexpr size_t kHeaderSize = 10;
constexpr size_t kFooterSize = 10;
constexpr size_t kFrameKeep = 500;  // bytes of a frame that are ever read

// Text slots by frame: slot number, 2.3/2.4 ID, 2.2 ID.
struct TKnownFrame {
  int slot;
  const char* id34;
  const char* id22;
};
constexpr TKnownFrame kFrames[] = {
    {1, "TIT2", "TT2"},  {2, "TPE1", "TP1"},  {3, "TALB", "TAL"},  {4, "TRCK", "TRK"},
    {5, "TYER", "TYE"},  {6, "TCON", "TCO"},  {7, "COMM", "COM"},  {13, "TDRC", "TOR"},
    {14, "TOPE", "TOA"}, {15, "TIT1", "TT1"}, {16, "TOAL", "TOT"},
};
constexpr int kSlots = 17;

// Bytes of the tag by absolute position, bounded by their own length.
class TTagBytes {
 public:
  virtual ~TTagBytes() = default;
  virtual uint64_t Length() const = 0;
  // Copies up to n bytes from pos; returns how many were copied.
  virtual size_t Read(uint64_t pos, unsigned char* out, size_t n) const = 0;
};

class TFileBytes : public TTagBytes {
 public:
  TFileBytes(int fd, uint64_t length) : fd_(fd), length_(length) {}
  uint64_t Length() const override { return length_; }
  size_t Read(uint64_t pos, unsigned char* out, size_t n) const override {
    if (pos >= length_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, length_ - pos));
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(pos + done));
      if (r <= 0) break;
      done += static_cast<size_t>(r);
    }
    return done;
  }

 private:
  int fd_;
  uint64_t length_;
};

class TMemoryBytes : public TTagBytes {
 public:
  explicit TMemoryBytes(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  uint64_t Length() const override { return bytes_.size(); }
  size_t Read(uint64_t pos, unsigned char* out, size_t n) const override {
    if (pos >= bytes_.size()) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, bytes_.size() - pos));
    std::memcpy(out, bytes_.data() + pos, n);
    return n;
  }

 private:
  std::vector<unsigned char> bytes_;
};

// Undoes unsynchronisation: every FF 00 pair stands for FF.
std::vector<unsigned char> RemoveUnsync(const unsigned char* p, size_t n) {
  std::vector<unsigned char> out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(p[i]);
    if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0) ++i;
  }
  return out;
}

uint32_t SyncSafe(const unsigned char* p) {
  return (uint32_t{p[0]} & 0x7F) << 21 | (uint32_t{p[1]} & 0x7F) << 14 | (uint32_t{p[2]} & 0x7F) << 7 |
         (uint32_t{p[3]} & 0x7F);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

// Text of a slot's data: the encoding byte first, then the text.
std::string SlotText(const std::string& data) {
  if (data.empty()) return {};
  auto enc = static_cast<unsigned char>(data[0]);
  std::string text;
  if (enc == 1 || enc == 2) {
    // UTF-16: little-endian pairs for encoding 1 unless its byte-order mark
    // says big-endian (FE FF), big-endian for encoding 2.
    bool bigEndian = enc == 2;
    size_t start = 1;
    if (enc == 1 && data.size() >= 3 && static_cast<unsigned char>(data[1]) == 0xFE &&
        static_cast<unsigned char>(data[2]) == 0xFF) {
      bigEndian = true;
      start = 3;
    }
    uint32_t high = 0;  // pending high surrogate
    for (size_t i = start; i + 1 < data.size(); i += 2) {
      auto a = static_cast<unsigned char>(data[i]), b = static_cast<unsigned char>(data[i + 1]);
      unsigned lo = bigEndian ? b : a, hi = bigEndian ? a : b;
      uint32_t ch = hi << 8 | lo;
      if (ch == 0) break;
      if (lo == 0xFF) continue;  // drops the byte-order mark
      if (ch >= 0xD800 && ch <= 0xDBFF) {
        if (high) AppendUtf8(text, 0xFFFD);
        high = ch;
        continue;
      }
      if (ch >= 0xDC00 && ch <= 0xDFFF) {
        AppendUtf8(text, high ? 0x10000 + ((high - 0xD800) << 10) + (ch - 0xDC00) : 0xFFFD);
        high = 0;
        continue;
      }
      if (high) AppendUtf8(text, 0xFFFD);
      high = 0;
      AppendUtf8(text, ch);
    }
    if (high) AppendUtf8(text, 0xFFFD);
  } else {
    text = data;  // the encoding byte goes with the trim
  }
  text = Trim(text);
  text.resize(std::min(text.size(), text.find('\0')));
  return Trim(text);
}

// Comment data: encoding, three language characters, a description ended by
// its terminator, then the text.
std::string CommentText(const std::string& data) {
  if (data.empty()) return {};
  char enc = data[0];
  std::string_view rest = data.size() > 4 ? std::string_view(data).substr(4) : std::string_view();
  if (enc == 1 || enc == 2) {
    size_t k = 0;
    while (k + 1 < rest.size() && !(rest[k] == 0 && rest[k + 1] == 0)) k += 2;
    rest = k + 1 < rest.size() ? rest.substr(k + 2) : rest.substr(std::min<size_t>(2, rest.size()));
  } else {
    size_t k = rest.find('\0');
    if (k != std::string_view::npos) rest = rest.substr(k + 1);
  }
  return SlotText(std::string(1, enc) + std::string(rest));
}

// The number before the first "/", 0 when that is no decimal integer.
uint16_t TrackNumber(const std::string& text) {
  std::string_view s = std::string_view(text).substr(0, text.find('/'));
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t{INT_MAX} + 1) return 0;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return 0;
  return static_cast<uint16_t>(v);  // kept as a 16-bit field: wraps like the stored number
}

// The first n characters of UTF-8 text; a byte that is not UTF-8 counts as one.
std::string FirstChars(const std::string& s, size_t n) {
  size_t i = 0;
  for (size_t c = 0; c < n && i < s.size(); ++c) {
    uint32_t cp;
    size_t len = DecodeUtf8(s, i, cp);
    i += len ? len : 1;
  }
  return s.substr(0, i);
}

// Four characters a 2.3 or 2.4 frame ID is made of: a capital first, then
// capitals and digits.
bool IsFrameID(const unsigned char* p) {
  auto capitalOrDigit = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  return p[0] >= 'A' && p[0] <= 'Z' && capitalOrDigit(p[1]) && capitalOrDigit(p[2]) && capitalOrDigit(p[3]);
}

// The genre text: a number of the ID3v1 list alone, "(17)" or "17", is that
// genre's name; otherwise everything up to and including the last ")" goes,
// so "(17)Rock" gives Rock.
std::string GenreText(std::string genre) {
  std::string_view number = genre;
  if (number.size() > 2 && number.front() == '(' && number.back() == ')') number = number.substr(1, number.size() - 2);
  if (!number.empty() && number.size() <= 3 &&
      std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::string name = ID3v1GenreName(static_cast<unsigned>(std::stoi(std::string(number))));
    if (!name.empty()) return name;
  }
  const size_t paren = genre.rfind(')');
  if (paren != std::string::npos) genre.erase(0, paren + 1);
  return genre;
}

struct TWalk {
  std::array<std::string, kSlots> slots;
};

void WalkFrames(const TTagBytes& bytes, uint8_t version, uint8_t flags, uint64_t limit, TWalk& walk) {
  uint64_t pos = kHeaderSize;
  if (version >= 3 && (flags & 0x40)) {
    unsigned char ext[4];
    if (bytes.Read(pos, ext, 4) != 4) return;
    // 2.3 counts the size field apart, 2.4 counts it in (and codes it 7-bit).
    const uint64_t skip = version == 3 ? 4 + uint64_t{Be32(ext)} : uint64_t{SyncSafe(ext)};
    // Writers that set the flag without writing the header put a frame
    // there; a size that does not fit the tag is no header either.
    if (!IsFrameID(ext) && pos + skip < limit) pos += skip;
  }
  const size_t headerLen = version == 2 ? 6 : 10;
  const size_t idLen = version == 2 ? 3 : 4;
  while (pos < limit && pos < bytes.Length()) {
    unsigned char h[10];
    if (bytes.Read(pos, h, headerLen) != headerLen) return;
    if (h[0] < 'A' || h[0] > 'Z') return;
    uint64_t size = version == 2 ? Be24(h + 3) : Be32(h + 4);
    uint64_t dataStart = pos + headerLen;
    pos = dataStart + size;

    if (version >= 3 && (h[9] & 0x80)) continue;  // compressed
    std::string_view id(reinterpret_cast<const char*>(h), idLen);
    const TKnownFrame* known = nullptr;
    for (const auto& f : kFrames)
      if (id == (version == 2 ? f.id22 : f.id34)) known = &f;
    if (!known) continue;

    unsigned char raw[kFrameKeep] = {};
    size_t got = bytes.Read(dataStart, raw, static_cast<size_t>(std::min<uint64_t>(size, kFrameKeep)));
    std::string data(kFrameKeep, '\0');
    if (version == 4 && (h[9] & 0x02)) {
      // A 2.4 frame of its own unsynchronisation; a data length indicator precedes the data.
      size_t skip = (h[9] & 0x01) ? std::min<size_t>(4, got) : 0;
      auto clean = RemoveUnsync(raw + skip, got - skip);
      std::copy(clean.begin(), clean.end(), data.begin());
    } else {
      std::copy(raw, raw + got, data.begin());
    }
    if (static_cast<unsigned char>(data[0]) <= 3) walk.slots[known->slot] = std::move(data);
  }
}

}  // namespace

void TID3v2::Reset() { *this = TID3v2(); }

bool TID3v2::ReadFromFile(const std::string& fileName) {
  Reset();
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  const auto fileSize = static_cast<uint64_t>(st.st_size);
  TFileBytes file(fd, fileSize);
  unsigned char h[kHeaderSize];
  if (file.Read(0, h, kHeaderSize) != kHeaderSize) {
    ::close(fd);
    return false;
  }
  if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') {
    ::close(fd);
    return true;
  }
  Exists = true;
  VersionID = h[3];
  // Raw bytes in the 7-bit places, as the size has always been computed.
  uint64_t size = uint64_t{h[6]} * (1u << 21) + uint64_t{h[7]} * (1u << 14) + uint64_t{h[8]} * (1u << 7) + h[9] +
                  kHeaderSize + ((h[5] & 0x10) ? kFooterSize : 0);
  Size = size > fileSize ? 0 : static_cast<int32_t>(size);

  TWalk walk;
  if ((VersionID == 2 || VersionID == 3 || VersionID == 4) && Size > 0) {
    if (VersionID == 3 && (h[5] & 0x80)) {
      // Unsynchronised 2.3 tag: read it whole (it fits in the file) and undo it.
      std::vector<unsigned char> raw(static_cast<size_t>(Size));
      size_t got = file.Read(0, raw.data(), raw.size());
      std::vector<unsigned char> clean(raw.begin(), raw.begin() + std::min(got, kHeaderSize));
      if (got > kHeaderSize) {
        auto body = RemoveUnsync(raw.data() + kHeaderSize, got - kHeaderSize);
        clean.insert(clean.end(), body.begin(), body.end());
      }
      TMemoryBytes memory(std::move(clean));
      WalkFrames(memory, VersionID, h[5], memory.Length(), walk);
    } else {
      WalkFrames(file, VersionID, h[5], static_cast<uint64_t>(Size), walk);
    }
  }
  ::close(fd);

  auto text = [&](int slot) { return SlotText(walk.slots[slot]); };
  Title = text(1).empty() ? text(15) : text(1);
  Artist = text(2).empty() ? text(14) : text(2);
  Album = text(3).empty() ? text(16) : text(3);
  TrackString = text(4);
  Track = TrackNumber(TrackString);
  Year = text(5).empty() ? FirstChars(text(13), 4) : text(5);
  Genre = GenreText(text(6));
  Comment = CommentText(walk.slots[7]);
  return true;
}

}  // namespace tw
