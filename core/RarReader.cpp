#include "core/RarReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>

#include "base/ByteOrder.h"
#include "base/DateTime.h"
#include "base/FileInput.h"
#include "base/Utf8.h"

namespace tw::rar {

namespace {

constexpr uint8_t kMarker4[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr uint8_t kMarker5[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr int64_t kSfxLimit = 4 * 1024 * 1024;
constexpr size_t kSearchChunk = 64 * 1024;
// RAR 5 headers are never larger than this; a bigger size is damage.
constexpr uint64_t kMaxHeader5 = 2 * 1024 * 1024;

// RAR 4 block types and flags.
constexpr uint8_t kMainHead = 0x73;
constexpr uint8_t kFileHead = 0x74;
constexpr uint8_t kCommHead = 0x75;
constexpr uint8_t kNewSubHead = 0x7A;
constexpr uint8_t kEndHead = 0x7B;
constexpr uint16_t kLongBlock = 0x8000;
constexpr uint16_t kMhdVolume = 0x0001;
constexpr uint16_t kMhdComment = 0x0002;
constexpr uint16_t kMhdNewNumbering = 0x0010;
constexpr uint16_t kMhdPassword = 0x0080;
constexpr uint16_t kMhdEncryptVer = 0x0200;
constexpr uint16_t kLhdSplitBefore = 0x0001;
constexpr uint16_t kLhdSplitAfter = 0x0002;
constexpr uint16_t kLhdPassword = 0x0004;
constexpr uint16_t kLhdComment = 0x0008;
constexpr uint16_t kLhdSolid = 0x0010;
constexpr uint16_t kLhdDirectory = 0x00E0;
constexpr uint16_t kLhdLarge = 0x0100;
constexpr uint16_t kLhdUnicode = 0x0200;
constexpr uint16_t kEarcNextVolume = 0x0001;
constexpr size_t kBase4 = 7;
constexpr size_t kMain4 = 13;
constexpr size_t kFile4 = 32;

// RAR 5 header types and flags.
constexpr uint64_t kHead5Main = 1;
constexpr uint64_t kHead5File = 2;
constexpr uint64_t kHead5Service = 3;
constexpr uint64_t kHead5Crypt = 4;
constexpr uint64_t kHead5End = 5;
constexpr uint64_t kHfl5Extra = 0x01;
constexpr uint64_t kHfl5Data = 0x02;
constexpr uint64_t kHfl5SplitBefore = 0x08;
constexpr uint64_t kHfl5SplitAfter = 0x10;
constexpr uint64_t kMhfl5Volume = 0x01;
constexpr uint64_t kMhfl5VolNumber = 0x02;
constexpr uint64_t kFfl5Directory = 0x01;
constexpr uint64_t kFfl5UnixTime = 0x02;
constexpr uint64_t kFfl5Crc = 0x04;
constexpr uint64_t kExtra5Crypt = 0x01;
constexpr uint64_t kExtra5Time = 0x03;
constexpr uint64_t kEhfl5NextVolume = 0x01;

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

uint32_t Crc32(const uint8_t* p, size_t n) {
  const auto& t = CrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = t[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Reads the fields of a RAR 5 header one after the other; any read past the
// end leaves the cursor failed and returns 0.
struct TCursor {
  const uint8_t* p = nullptr;
  size_t n = 0;
  size_t i = 0;
  bool ok = true;

  size_t Left() const { return n - i; }
  uint64_t Vint() {
    uint64_t v = 0;
    for (int shift = 0; shift < 70; shift += 7) {
      if (i >= n) break;
      const uint8_t b = p[i++];
      if (shift < 64) v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    ok = false;
    return 0;
  }
  uint32_t U32() {
    if (Left() < 4) return Fail();
    const uint32_t v = Le32(p + i);
    i += 4;
    return v;
  }
  uint64_t U64() {
    if (Left() < 8) return Fail();
    const uint64_t v = Le64(p + i);
    i += 8;
    return v;
  }
  bool Skip(uint64_t count) {
    if (count > Left()) return Fail() != 0;
    i += static_cast<size_t>(count);
    return true;
  }
  uint32_t Fail() {
    ok = false;
    i = n;
    return 0;
  }
};

double DosToDateTime(uint32_t dos) {
  const uint32_t date = dos >> 16, time = dos & 0xFFFF;
  TDateTime result = 0;
  if (!TryEncodeDateTime(static_cast<int>(1980 + (date >> 9)), static_cast<int>((date >> 5) & 0x0F),
                         static_cast<int>(date & 0x1F), static_cast<int>(time >> 11),
                         static_cast<int>((time >> 5) & 0x3F), static_cast<int>((time & 0x1F) * 2), 0, result))
    return 0;
  return result;
}

double UnixToDateTime(int64_t seconds, long nanoseconds) {
  TDateTime result = 0;
  if (!TryUnixToDateTimeUtc(static_cast<std::time_t>(seconds), nanoseconds, result)) return 0;
  return result;
}

// Windows FILETIME: 100 ns units since 1601-01-01.
double FileTimeToDateTime(uint64_t ft) {
  constexpr int64_t kEpochDiff = 11644473600;  // seconds from 1601 to 1970
  const int64_t seconds = static_cast<int64_t>(ft / 10000000) - kEpochDiff;
  return UnixToDateTime(seconds, static_cast<long>(ft % 10000000) * 100);
}

// Keeps a name valid UTF-8: bytes that are not are taken as Windows-1252.
std::string ToUtf8(std::string_view s) { return DisplayUtf8(s); }

std::string BackslashPath(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

void AppendUtf16(std::string& out, const std::vector<uint16_t>& wide) {
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t cp = wide[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
}

// The RAR 3 Unicode name: "name\0" then the encoded UTF-16 text, which refers
// back to the 8-bit name for runs of plain bytes. Empty when it is damaged.
std::string DecodeUnicodeName(const uint8_t* field, size_t size) {
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(field, 0, size));
  const size_t nameLen = static_cast<size_t>(zero - field);
  const uint8_t* enc = zero + 1;
  const size_t encSize = size - nameLen - 1;
  if (encSize == 0) return {};
  // A name never decodes to more characters than a header can hold.
  constexpr size_t kMaxChars = 0x10000;
  std::vector<uint16_t> wide;
  const uint16_t high = static_cast<uint16_t>(enc[0] << 8);
  size_t e = 1;
  unsigned flags = 0;
  int flagBits = 0;
  while (e < encSize && wide.size() < kMaxChars) {
    if (flagBits == 0) {
      flags = enc[e++];
      flagBits = 8;
      if (e >= encSize) break;
    }
    switch ((flags >> 6) & 3) {
      case 0:
        wide.push_back(enc[e++]);
        break;
      case 1:
        wide.push_back(static_cast<uint16_t>(high | enc[e++]));
        break;
      case 2:
        if (e + 1 >= encSize) return {};
        wide.push_back(static_cast<uint16_t>(enc[e] | enc[e + 1] << 8));
        e += 2;
        break;
      default: {
        size_t length = enc[e++];
        if (length & 0x80) {
          if (e >= encSize) return {};
          const uint8_t correction = enc[e++];
          for (length = (length & 0x7F) + 2; length > 0 && wide.size() < nameLen; --length)
            wide.push_back(static_cast<uint16_t>(high | ((field[wide.size()] + correction) & 0xFF)));
        } else {
          for (length += 2; length > 0 && wide.size() < nameLen; --length) wide.push_back(field[wide.size()]);
        }
        break;
      }
    }
    flags = (flags << 2) & 0xFF;
    flagBits -= 2;
  }
  std::string out;
  AppendUtf16(out, wide);
  return out;
}

// A RAR 4 file name field: 8-bit, UTF-8 (Unicode flag without the zero), or
// 8-bit plus the encoded Unicode name.
std::string Name4(const uint8_t* field, size_t size, bool unicode) {
  const std::string_view raw(reinterpret_cast<const char*>(field), size);
  if (unicode) {
    const void* zero = std::memchr(field, 0, size);
    if (!zero) return ToUtf8(raw);
    std::string decoded = DecodeUnicodeName(field, size);
    if (!decoded.empty()) return decoded;
    return ToUtf8(raw.substr(0, static_cast<size_t>(static_cast<const uint8_t*>(zero) - field)));
  }
  const size_t end = raw.find('\0');
  return ToUtf8(raw.substr(0, end));
}

// The bytes of a stored comment, cut to the buffer.
int TakeComment(std::string& comment, const uint8_t* data, size_t size, size_t bufSize) {
  if (size > bufSize) {
    comment.assign(reinterpret_cast<const char*>(data), bufSize);
    return ERAR_SMALL_BUF;
  }
  comment.assign(reinterpret_cast<const char*>(data), size);
  return 1;
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "0099" -> "0100"; false when every digit was 9 and would need one more.
bool IncrementDigits(std::string& s, size_t first, size_t last) {
  for (size_t i = last; i-- > first;) {
    if (s[i] != '9') {
      ++s[i];
      return true;
    }
    s[i] = '0';
  }
  return false;
}

bool RegularFileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string NextVolumeName(const std::string& name, bool newNumbering) {
  if (newNumbering && (EndsWithNoCase(name, ".rar") || EndsWithNoCase(name, ".exe"))) {
    // name.partN.rar: the digits just before the extension.
    size_t digitsEnd = name.size() - 4, digitsStart = digitsEnd;
    while (digitsStart > 0 && IsDigit(name[digitsStart - 1])) --digitsStart;
    if (digitsStart < digitsEnd && digitsStart >= 5 && EndsWithNoCase(name.substr(0, digitsStart), ".part")) {
      std::string next = name.substr(0, digitsEnd);
      if (!IncrementDigits(next, digitsStart, digitsEnd)) next.insert(digitsStart, "1");
      return next + (EndsWithNoCase(name, ".exe") ? ".rar" : name.substr(name.size() - 4));
    }
  }
  if (EndsWithNoCase(name, ".rar")) {
    std::string next = name;
    next[next.size() - 2] = '0';
    next[next.size() - 1] = '0';
    return next;
  }
  // name.r00 ... name.r99, name.s00 ...
  if (name.size() >= 4 && name[name.size() - 4] == '.' && IsDigit(name[name.size() - 2]) &&
      IsDigit(name[name.size() - 1])) {
    std::string next = name;
    if (!IncrementDigits(next, next.size() - 2, next.size())) {
      char& letter = next[next.size() - 3];
      if (letter == 'z' || letter == 'Z' || !std::isalpha(static_cast<unsigned char>(letter))) return {};
      ++letter;
    }
    return next;
  }
  return {};
}

TRarReader::TRarReader() = default;
TRarReader::~TRarReader() = default;

int TRarReader::Open(const std::string& arcName, int openMode, size_t commentBufSize) {
  (void)openMode;  // headers are all we read, whatever the mode
  Close();
  commentBufSize_ = commentBufSize;
  commentState_ = 0;
  comment_.clear();
  const int result = OpenVolume(arcName);
  if (result != ERAR_SUCCESS) {
    in_.reset();
    return result;
  }
  if (!encryptedHeaders_) {
    if (format_ == 4)
      ReadComment4();
    else
      ReadComment5();
  }
  return ERAR_SUCCESS;
}

int TRarReader::Close() {
  in_.reset();
  volName_.clear();
  format_ = 0;
  pos_ = 0;
  encryptedHeaders_ = volume_ = newNumbering_ = moreVolumes_ = lastSplitAfter_ = ended_ = false;
  haveMember_ = memberSplitAfter_ = false;
  return ERAR_SUCCESS;
}

int TRarReader::OpenVolume(const std::string& name) {
  in_ = std::make_unique<TFileInput>(name);
  if (!in_->Ok()) return ERAR_EOPEN;
  volName_ = name;
  encryptedHeaders_ = moreVolumes_ = lastSplitAfter_ = ended_ = false;
  haveMember_ = memberSplitAfter_ = false;
  const int found = FindMarker();
  if (found != ERAR_SUCCESS) return found;
  return format_ == 4 ? ReadMain4() : ReadMain5();
}

// The marker at the start, else (self-extracting archives) the first one in
// the first megabytes whose next header looks like a main header.
int TRarReader::FindMarker() {
  const int64_t limit = std::min<int64_t>(in_->Size(), kSfxLimit);
  std::vector<uint8_t> buf(kSearchChunk + sizeof kMarker5);
  bool sawOtherVersion = false;
  for (int64_t at = 0; at < limit; at += static_cast<int64_t>(kSearchChunk)) {
    const size_t n = in_->ReadUpTo(at, buf.data(), buf.size());
    for (size_t i = 0; i + 7 <= n && at + static_cast<int64_t>(i) < limit; ++i) {
      if (buf[i] != 'R' || std::memcmp(&buf[i], kMarker4, 6) != 0) continue;
      const int64_t start = at + static_cast<int64_t>(i);
      if (buf[i + 6] == 0x00) {
        uint8_t h[kBase4];
        if (!in_->ReadAt(start + 7, h, sizeof h) || h[2] != kMainHead) continue;
        format_ = 4;
        pos_ = start + 7;
        return ERAR_SUCCESS;
      }
      if (buf[i + 6] == 0x01 && i + 8 <= n && buf[i + 7] == 0x00) {
        format_ = 5;
        pos_ = start + 8;
        return ERAR_SUCCESS;
      }
      if (start == 0) sawOtherVersion = true;
    }
  }
  return sawOtherVersion ? ERAR_UNKNOWN_FORMAT : ERAR_BAD_ARCHIVE;
}

// ---------------------------------------------------------------------------
// RAR 1.5-4.x

namespace {

struct TBlock4 {
  std::vector<uint8_t> raw;  // the whole header, HEAD_SIZE bytes
  uint8_t type = 0;
  uint16_t flags = 0;
  int64_t next = 0;  // the next header: after the header and its data
  uint64_t dataSize = 0;
};

bool HeaderCrcOk(const std::vector<uint8_t>& raw, size_t coveredSize) {
  return (Crc32(raw.data() + 2, coveredSize - 2) & 0xFFFF) == Le16(raw.data());
}

// ERAR_END_ARCHIVE at the end of the file, ERAR_BAD_DATA for a truncated or
// impossible header.
int ReadBlock4(const TFileInput& in, int64_t pos, TBlock4& b) {
  uint8_t base[kBase4];
  const size_t got = in.ReadUpTo(pos, base, sizeof base);
  if (got == 0) return ERAR_END_ARCHIVE;
  if (got < kBase4) return ERAR_BAD_DATA;
  b.type = base[2];
  b.flags = Le16(base + 3);
  const size_t headSize = Le16(base + 5);
  if (headSize < kBase4) return ERAR_BAD_DATA;
  b.raw.resize(headSize);
  if (!in.ReadAt(pos, b.raw.data(), headSize)) return ERAR_BAD_DATA;
  b.dataSize = 0;
  if (b.type == kFileHead || b.type == kNewSubHead) {
    if (headSize < kFile4) return ERAR_BAD_DATA;
    b.dataSize = Le32(b.raw.data() + 7);
    if ((b.flags & kLhdLarge) && headSize >= kFile4 + 8)
      b.dataSize |= static_cast<uint64_t>(Le32(b.raw.data() + kFile4)) << 32;
  } else if ((b.flags & kLongBlock) && headSize >= kBase4 + 4) {
    b.dataSize = Le32(b.raw.data() + 7);
  }
  const uint64_t room = static_cast<uint64_t>(std::numeric_limits<int64_t>::max() - pos) - headSize;
  if (b.dataSize > room) return ERAR_BAD_DATA;
  b.next = pos + static_cast<int64_t>(headSize) + static_cast<int64_t>(b.dataSize);
  return ERAR_SUCCESS;
}

// The old comment block (inside the main header or right after it): read
// when stored, no comment when compressed.
int OldComment(const uint8_t* p, size_t size, size_t bufSize, std::string& comment) {
  constexpr size_t kCommFixed = 13;
  if (size < kCommFixed || p[2] != kCommHead) return 0;
  const size_t headSize = std::min<size_t>(Le16(p + 5), size);
  if (headSize < kCommFixed) return 0;
  const size_t unpSize = Le16(p + 7);
  const uint8_t method = p[10];
  if (method != 0x30 || headSize - kCommFixed < unpSize) return 0;
  const uint8_t* text = p + kCommFixed;
  if ((Crc32(text, unpSize) & 0xFFFF) != Le16(p + 11)) return ERAR_BAD_DATA;
  return TakeComment(comment, text, unpSize, bufSize);
}

}  // namespace

int TRarReader::ReadMain4() {
  TBlock4 b;
  const int r = ReadBlock4(*in_, pos_, b);
  if (r != ERAR_SUCCESS || b.type != kMainHead || b.raw.size() < kMain4) return ERAR_BAD_ARCHIVE;
  // Old archives cover only the fixed fields with the CRC.
  if (!HeaderCrcOk(b.raw, b.raw.size()) && !HeaderCrcOk(b.raw, kMain4)) return ERAR_BAD_DATA;
  volume_ = b.flags & kMhdVolume;
  newNumbering_ = b.flags & kMhdNewNumbering;
  encryptedHeaders_ = b.flags & kMhdPassword;
  pos_ = b.next;
  if ((b.flags & kMhdComment) && !encryptedHeaders_) {
    const size_t at = kMain4 + ((b.flags & kMhdEncryptVer) ? 1 : 0);
    if (b.raw.size() > at) {
      std::string text;
      const int state = OldComment(b.raw.data() + at, b.raw.size() - at, commentBufSize_, text);
      if (state != 0 && commentState_ == 0) {
        commentState_ = state;
        comment_ = std::move(text);
      }
    }
  }
  return ERAR_SUCCESS;
}

// A comment block or "CMT" subheader right after the main header. Only the
// first volume's comment is read; damage here is left to ReadHeader.
void TRarReader::ReadComment4() {
  if (commentState_ != 0) return;
  TBlock4 b;
  if (ReadBlock4(*in_, pos_, b) != ERAR_SUCCESS) return;
  if (b.type == kCommHead) {
    std::string text;
    commentState_ = OldComment(b.raw.data(), b.raw.size(), commentBufSize_, text);
    comment_ = std::move(text);
    if (commentState_ != 0) pos_ = b.next;
    return;
  }
  if (b.type != kNewSubHead || !HeaderCrcOk(b.raw, b.raw.size())) return;
  const size_t nameAt = kFile4 + ((b.flags & kLhdLarge) ? 8 : 0);
  const size_t nameSize = Le16(b.raw.data() + 26);
  if (nameAt + nameSize > b.raw.size() || nameSize != 3 || std::memcmp(b.raw.data() + nameAt, "CMT", 3) != 0) return;
  const uint8_t method = b.raw[25];
  uint64_t unpSize = Le32(b.raw.data() + 11);
  if ((b.flags & kLhdLarge) && b.raw.size() >= kFile4 + 8)
    unpSize |= static_cast<uint64_t>(Le32(b.raw.data() + kFile4 + 4)) << 32;
  if (method != 0x30 || unpSize != b.dataSize || (b.flags & kLhdPassword)) return;  // compressed: no comment
  const int64_t dataAt = pos_ + static_cast<int64_t>(b.raw.size());
  if (StoreComment(dataAt, b.dataSize, Le32(b.raw.data() + 16))) pos_ = b.next;
}

bool TRarReader::StoreComment(int64_t at, uint64_t size, std::optional<uint32_t> crc) {
  if (size > static_cast<uint64_t>(in_->Size() - at)) return false;
  const size_t take = static_cast<size_t>(std::min<uint64_t>(size, commentBufSize_));
  std::vector<uint8_t> data(take);
  if (!in_->ReadAt(at, data.data(), take)) return false;
  if (take == size && crc && Crc32(data.data(), take) != *crc) {
    commentState_ = ERAR_BAD_DATA;
  } else {
    commentState_ = take < size ? ERAR_SMALL_BUF : 1;
    comment_.assign(data.begin(), data.end());
  }
  return true;
}

// The end of a volume: another follows when the end header announces it or
// the last member continues.
int TRarReader::End(TStep& step, bool nextAnnounced) {
  step = TStep::End;
  moreVolumes_ = nextAnnounced || (volume_ && lastSplitAfter_);
  return ERAR_SUCCESS;
}

int TRarReader::Next4(TStep& step, TRarHeader& h) {
  TBlock4 b;
  const int r = ReadBlock4(*in_, pos_, b);
  if (r == ERAR_END_ARCHIVE) return End(step, false);
  if (r != ERAR_SUCCESS) return r;
  if (b.type == kEndHead) return End(step, b.flags & kEarcNextVolume);
  if (b.type == kFileHead || b.type == kNewSubHead) {
    if (!HeaderCrcOk(b.raw, b.raw.size())) return ERAR_BAD_DATA;
  }
  if (b.type != kFileHead) {
    // Comments, subblocks, new subheaders, recovery and signature blocks.
    pos_ = b.next;
    step = TStep::Skip;
    return ERAR_SUCCESS;
  }
  const uint8_t* p = b.raw.data();
  const bool large = b.flags & kLhdLarge;
  const size_t nameAt = kFile4 + (large ? 8 : 0);
  const size_t nameSize = Le16(p + 26);
  if (nameAt > b.raw.size() || nameSize > b.raw.size() - nameAt) return ERAR_BAD_DATA;
  h = TRarHeader{};
  h.ArcName = volName_;
  h.FileName = BackslashPath(Name4(p + nameAt, nameSize, b.flags & kLhdUnicode));
  h.PackSize = b.dataSize;
  h.UnpSize = Le32(p + 11);
  if (large) h.UnpSize |= static_cast<uint64_t>(Le32(p + kFile4 + 4)) << 32;
  h.HostOS = p[15];
  h.FileCRC = Le32(p + 16);
  h.FileTime = DosToDateTime(Le32(p + 20));
  h.UnpVer = p[24];
  h.Method = p[25];
  h.FileAttr = Le32(p + 28);
  h.Flags = (b.flags & (kLhdSplitBefore | kLhdSplitAfter | kLhdPassword | kLhdComment)) |
            ((b.flags & kLhdDirectory) >> 1) | ((b.flags & kLhdSolid) ? RHDF_SOLID : 0);
  lastSplitAfter_ = b.flags & kLhdSplitAfter;
  haveMember_ = true;
  memberSplitAfter_ = lastSplitAfter_;
  memberDataEnd_ = b.next;
  pos_ = b.next;
  step = TStep::Member;
  return ERAR_SUCCESS;
}

// ---------------------------------------------------------------------------
// RAR 5

namespace {

struct TBlock5 {
  std::vector<uint8_t> raw;  // from the CRC to the end of the header
  uint64_t type = 0;
  uint64_t flags = 0;
  uint64_t dataSize = 0;
  TCursor body;   // the type-specific fields
  TCursor extra;  // the extra area
  int64_t dataAt = 0;
  int64_t next = 0;
};

int ReadBlock5(const TFileInput& in, int64_t pos, TBlock5& b) {
  uint8_t start[7];
  const size_t got = in.ReadUpTo(pos, start, sizeof start);
  if (got == 0) return ERAR_END_ARCHIVE;
  TCursor c{start, got, 4};
  if (got < 5) return ERAR_BAD_DATA;
  const uint64_t size = c.Vint();
  if (!c.ok || size == 0 || size > kMaxHeader5) return ERAR_BAD_DATA;
  const size_t total = c.i + static_cast<size_t>(size);
  b.raw.resize(total);
  if (!in.ReadAt(pos, b.raw.data(), total)) return ERAR_BAD_DATA;
  if (Crc32(b.raw.data() + 4, total - 4) != Le32(b.raw.data())) return ERAR_BAD_DATA;
  TCursor h{b.raw.data(), total, c.i};
  b.type = h.Vint();
  b.flags = h.Vint();
  const uint64_t extraSize = (b.flags & kHfl5Extra) ? h.Vint() : 0;
  b.dataSize = (b.flags & kHfl5Data) ? h.Vint() : 0;
  if (!h.ok || extraSize > h.Left()) return ERAR_BAD_DATA;
  const size_t extraAt = total - static_cast<size_t>(extraSize);
  b.body = TCursor{b.raw.data(), extraAt, h.i};
  b.extra = TCursor{b.raw.data(), total, extraAt};
  b.dataAt = pos + static_cast<int64_t>(total);
  if (b.dataSize > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() - b.dataAt)) return ERAR_BAD_DATA;
  b.next = b.dataAt + static_cast<int64_t>(b.dataSize);
  return ERAR_SUCCESS;
}

// The fields of a file or service header.
struct TFile5 {
  uint64_t fileFlags = 0;
  uint64_t unpSize = 0;
  uint64_t attributes = 0;
  uint32_t mtime = 0;
  uint32_t crc = 0;
  uint64_t compInfo = 0;
  uint64_t hostOs = 0;
  std::string name;
};

bool ParseFile5(TCursor c, TFile5& f) {
  f.fileFlags = c.Vint();
  f.unpSize = c.Vint();
  f.attributes = c.Vint();
  if (f.fileFlags & kFfl5UnixTime) f.mtime = c.U32();
  if (f.fileFlags & kFfl5Crc) f.crc = c.U32();
  f.compInfo = c.Vint();
  f.hostOs = c.Vint();
  const uint64_t nameSize = c.Vint();
  if (!c.ok || nameSize > c.Left()) return false;
  f.name.assign(reinterpret_cast<const char*>(c.p + c.i), static_cast<size_t>(nameSize));
  return true;
}

// The file time record: Unix seconds (with optional nanoseconds after all
// the times) or Windows FILETIME; only the mtime is taken.
void ApplyTime5(TCursor c, TRarHeader& h) {
  const uint64_t flags = c.Vint();
  const bool unix = flags & 0x01;
  if (!(flags & 0x02) || !c.ok) return;
  if (!unix) {
    const uint64_t ft = c.U64();
    if (c.ok) h.FileTime = FileTimeToDateTime(ft);
    return;
  }
  const uint32_t seconds = c.U32();
  if (!c.ok) return;
  long ns = 0;
  if (flags & 0x10) {
    const int others = ((flags & 0x04) ? 1 : 0) + ((flags & 0x08) ? 1 : 0);
    if (c.Skip(4u * static_cast<unsigned>(others))) {
      const uint32_t v = c.U32();
      if (c.ok && v < 1000000000u) ns = static_cast<long>(v);
    }
  }
  h.FileTime = UnixToDateTime(seconds, ns);
}

void ApplyExtra5(TCursor c, TRarHeader& h) {
  while (c.ok && c.Left() > 0) {
    const uint64_t size = c.Vint();
    if (!c.ok || size == 0 || size > c.Left()) return;
    TCursor record{c.p, c.i + static_cast<size_t>(size), c.i};
    c.i += static_cast<size_t>(size);
    const uint64_t type = record.Vint();
    if (!record.ok) return;
    if (type == kExtra5Crypt) h.Flags |= RHDF_ENCRYPTED;
    if (type == kExtra5Time) ApplyTime5(record, h);
  }
}

uint32_t HostOs5(uint64_t host) {
  if (host == 0) return kHostWindows;
  if (host == 1) return kHostUnix;
  return kHostUnknown;
}

}  // namespace

int TRarReader::ReadMain5() {
  TBlock5 b;
  const int r = ReadBlock5(*in_, pos_, b);
  if (r == ERAR_END_ARCHIVE) return ERAR_BAD_ARCHIVE;
  if (r != ERAR_SUCCESS) return r;
  if (b.type == kHead5Crypt) {
    encryptedHeaders_ = true;
    pos_ = b.next;
    return ERAR_SUCCESS;
  }
  if (b.type != kHead5Main) return ERAR_BAD_ARCHIVE;
  const uint64_t flags = b.body.Vint();
  volume_ = flags & kMhfl5Volume;
  if (flags & kMhfl5VolNumber) b.body.Vint();
  newNumbering_ = true;
  pos_ = b.next;
  return ERAR_SUCCESS;
}

void TRarReader::ReadComment5() {
  if (commentState_ != 0) return;
  TBlock5 b;
  if (ReadBlock5(*in_, pos_, b) != ERAR_SUCCESS || b.type != kHead5Service) return;
  TFile5 f;
  if (!ParseFile5(b.body, f) || f.name != "CMT") return;
  TRarHeader probe;
  ApplyExtra5(b.extra, probe);
  const uint64_t method = (f.compInfo >> 7) & 7;
  if (method != 0 || (probe.Flags & RHDF_ENCRYPTED) || f.unpSize != b.dataSize) return;  // compressed: no comment
  const std::optional<uint32_t> crc = (f.fileFlags & kFfl5Crc) ? std::optional<uint32_t>(f.crc) : std::nullopt;
  if (StoreComment(b.dataAt, b.dataSize, crc)) pos_ = b.next;
}

int TRarReader::Next5(TStep& step, TRarHeader& h) {
  TBlock5 b;
  const int r = ReadBlock5(*in_, pos_, b);
  // Every RAR 5 writer ends a volume with its end header: a volume that
  // stops without one was cut short.
  if (r == ERAR_END_ARCHIVE) return ERAR_BAD_DATA;
  if (r != ERAR_SUCCESS) return r;
  if (b.type == kHead5End) return End(step, b.body.Vint() & kEhfl5NextVolume);
  if (b.type != kHead5File) {
    // Service headers (comment, ACL, streams, quick open, recovery) and
    // anything unknown: skipped with their data.
    pos_ = b.next;
    step = TStep::Skip;
    return ERAR_SUCCESS;
  }
  TFile5 f;
  if (!ParseFile5(b.body, f)) return ERAR_BAD_DATA;
  h = TRarHeader{};
  h.ArcName = volName_;
  h.FileName = BackslashPath(ToUtf8(f.name));
  h.PackSize = b.dataSize;
  h.UnpSize = f.unpSize;
  h.HostOS = HostOs5(f.hostOs);
  h.FileCRC = f.crc;
  if (f.fileFlags & kFfl5UnixTime) h.FileTime = UnixToDateTime(f.mtime, 0);
  h.UnpVer = (f.compInfo & 0x3F) == 0 ? 50 : 70;
  h.Method = 0x30 + static_cast<uint32_t>((f.compInfo >> 7) & 7);
  h.FileAttr = static_cast<uint32_t>(f.attributes);
  if (b.flags & kHfl5SplitBefore) h.Flags |= RHDF_SPLITBEFORE;
  if (b.flags & kHfl5SplitAfter) h.Flags |= RHDF_SPLITAFTER;
  if (f.compInfo & 0x40) h.Flags |= RHDF_SOLID;
  // The RAR 5 dictionary (128 KB << n) on the RAR 4 scale (64 KB << code).
  const uint32_t dictionary = static_cast<uint32_t>(std::min<uint64_t>(((f.compInfo >> 10) & 0x0F) + 1, 6));
  h.Flags |= (f.fileFlags & kFfl5Directory) ? RHDF_DIRECTORY : dictionary << 4;
  ApplyExtra5(b.extra, h);
  lastSplitAfter_ = b.flags & kHfl5SplitAfter;
  haveMember_ = true;
  memberSplitAfter_ = lastSplitAfter_;
  memberDataEnd_ = b.next;
  pos_ = b.next;
  step = TStep::Member;
  return ERAR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Both formats

void TRarReader::AskPassword() {
  std::string password = password_;
  if (password.empty() && callback_) callback_(UCM_NEEDPASSWORD, password, 0);
}

int TRarReader::ReadHeader(TRarHeader& header) {
  if (!in_) return ERAR_BAD_ARCHIVE;
  if (ended_) return ERAR_END_ARCHIVE;
  haveMember_ = false;
  if (encryptedHeaders_) {
    // We have no decryption: the password is asked for as the library did,
    // then the headers count as unreadable.
    AskPassword();
    ended_ = true;
    return ERAR_BAD_DATA;
  }
  for (;;) {
    TStep step = TStep::Skip;
    const int r = format_ == 4 ? Next4(step, header) : Next5(step, header);
    if (r != ERAR_SUCCESS) return r;
    if (step == TStep::Member) return ERAR_SUCCESS;
    if (step == TStep::End) {
      if (!moreVolumes_) {
        ended_ = true;
        return ERAR_END_ARCHIVE;
      }
      const int v = NextVolume();
      if (v != ERAR_SUCCESS) {
        ended_ = true;
        return v;
      }
    }
  }
}

int TRarReader::ProcessFile(int operation) {
  (void)operation;  // list mode: test and skip both pass over the data
  if (!in_ || !haveMember_) return ERAR_BAD_DATA;
  haveMember_ = false;
  if (memberDataEnd_ > in_->Size()) return ERAR_BAD_DATA;
  if (!memberSplitAfter_) return ERAR_SUCCESS;
  // The member goes on in the next volume: continue there.
  return NextVolume();
}

int TRarReader::NextVolume() {
  std::string next = NextVolumeName(volName_, newNumbering_);
  if (next.empty() || !RegularFileExists(next)) {
    if (!callback_ || callback_(UCM_CHANGEVOLUME, next, RAR_VOL_ASK) == -1) return ERAR_EOPEN;
    // A name the callback could not make exist is a refusal too: no loop.
    if (next.empty() || !RegularFileExists(next)) return ERAR_EOPEN;
  }
  if (callback_ && callback_(UCM_CHANGEVOLUME, next, RAR_VOL_NOTIFY) == -1) return ERAR_EOPEN;
  return OpenVolume(next);
}

}  // namespace tw::rar
