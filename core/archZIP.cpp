#include "core/archZIP.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Error.h"
#include "base/FileInput.h"

namespace tw {

namespace {

constexpr uint32_t kLocalSig = 0x04034B50;     // PK\3\4
constexpr uint32_t kCentralSig = 0x02014B50;   // PK\1\2
constexpr uint32_t kEndSig = 0x06054B50;       // PK\5\6
constexpr uint32_t kZip64EndSig = 0x06064B50;  // PK\6\6
constexpr uint32_t kZip64LocSig = 0x07064B50;  // PK\6\7
constexpr uint32_t kDescriptorSig = 0x08074B50;  // PK\7\8

constexpr size_t kEndSize = 22;
constexpr size_t kMaxComment = 65535;
constexpr size_t kZip64LocSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalFixed = 26;  // after the signature
constexpr int64_t kExeStart = 14000;
constexpr uint32_t kScanLimit = 60000;
constexpr size_t kChunk = 64 * 1024;
constexpr uint32_t kMax32 = 0xFFFFFFFF;

bool HasExeExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return ext == ".EXE";
}

// The ZIP64 extended-information extra field (0x0001) within `extra`: each
// value is present only when its 32-bit field holds 0xFFFFFFFF (0xFFFF for
// the disk), in the order uncompressed size, compressed size, offset. With
// `both`, as in a local header, the two sizes are read when either is
// saturated and the field holds both.
void ApplyZip64Extra(const uint8_t* extra, size_t length, ZipDirEntry& e, bool both) {
  size_t q = 0;
  while (q + 4 <= length) {
    const uint16_t id = Le16(extra + q);
    const size_t size = Le16(extra + q + 2);
    if (size > length - q - 4) return;
    if (id == 0x0001) {
      const uint8_t* r = extra + q + 4;
      const uint8_t* end = r + size;
      const bool u = e.UncompressedSize == kMax32, c = e.CompressedSize == kMax32;
      if (both && (u || c) && size >= 16) {
        e.UncompressedSize = Le64(r);
        e.CompressedSize = Le64(r + 8);
        return;
      }
      if (u && end - r >= 8) {
        e.UncompressedSize = Le64(r);
        r += 8;
      }
      if (c && end - r >= 8) e.CompressedSize = Le64(r);
      return;
    }
    q += 4 + size;
  }
}

// The four bytes "PK\3\4" from pos on, read in chunks. Each position tried
// counts against the limit of the resynchronising search.
enum class TScan { Found, End, GaveUp };
TScan ScanForLocalHeader(const TFileInput& in, int64_t& pos, uint32_t& counter) {
  std::vector<uint8_t> buf(kChunk);
  for (;;) {
    const size_t n = in.ReadUpTo(pos, buf.data(), buf.size());
    if (n < 4) return TScan::End;
    for (size_t i = 0; i + 4 <= n; ++i) {
      if (++counter > kScanLimit) return TScan::GaveUp;
      if (buf[i] == 'P' && buf[i + 1] == 'K' && buf[i + 2] == 3 && buf[i + 3] == 4) {
        pos += static_cast<int64_t>(i) + 4;
        return TScan::Found;
      }
    }
    pos += static_cast<int64_t>(n) - 3;
  }
}

// The end of a member whose sizes follow its data (flag bit 3): the data
// descriptor whose compressed size matches the bytes before it, or the next
// header (with a descriptor without signature just before it, when its size
// matches). ZIP64 descriptors (8-byte sizes) are tried first when the local
// header announced ZIP64 sizes. Fills the sizes and CRC, returns the position
// after the member's data and descriptor; -1 when nothing follows.
int64_t FindDataEnd(const TFileInput& in, int64_t dataStart, ZipDirEntry& e, bool zip64) {
  std::vector<uint8_t> buf(kChunk);
  int64_t pos = dataStart;
  for (;;) {
    const size_t n = in.ReadUpTo(pos, buf.data(), buf.size());
    if (n < 4) return -1;
    for (size_t i = 0; i + 4 <= n; ++i) {
      if (buf[i] != 'P' || buf[i + 1] != 'K') continue;
      const uint32_t sig = Le32(&buf[i]);
      const int64_t q = pos + static_cast<int64_t>(i);
      const uint64_t length = static_cast<uint64_t>(q - dataStart);
      if (sig == kDescriptorSig) {
        uint8_t d[20];
        const size_t got = in.ReadUpTo(q + 4, d, sizeof d);
        for (int pass = 0; pass < 2; ++pass) {
          if ((pass == 0) == zip64) {
            if (got >= 20 && Le64(d + 4) == length) {
              e.Crc32 = Le32(d);
              e.CompressedSize = Le64(d + 4);
              e.UncompressedSize = Le64(d + 12);
              return q + 24;
            }
          } else if (got >= 12 && Le32(d + 4) == length) {
            e.Crc32 = Le32(d);
            e.CompressedSize = Le32(d + 4);
            e.UncompressedSize = Le32(d + 8);
            return q + 16;
          }
        }
      } else if (sig == kLocalSig || sig == kCentralSig || sig == kEndSig || sig == kZip64EndSig) {
        // A descriptor without signature: CRC and sizes just before the header.
        uint8_t d[20];
        for (int pass = 0; pass < 2; ++pass) {
          if ((pass == 0) == zip64) {
            if (length >= 20 && in.ReadAt(q - 20, d, 20) && Le64(d + 4) == length - 20) {
              e.Crc32 = Le32(d);
              e.CompressedSize = Le64(d + 4);
              e.UncompressedSize = Le64(d + 12);
              return q;
            }
          } else if (length >= 12 && in.ReadAt(q - 12, d, 12) && Le32(d + 4) == length - 12) {
            e.Crc32 = Le32(d);
            e.CompressedSize = Le32(d + 4);
            e.UncompressedSize = Le32(d + 8);
            return q;
          }
        }
        e.CompressedSize = length;
        if (e.Method == 0 && !(e.Flags & 1)) e.UncompressedSize = length;
        return q;
      }
    }
    pos += static_cast<int64_t>(n) - 3;
  }
}

// The fields a central header (from its offset 6) and a local header (after
// its signature) share, in the same order: "version needed" to the length of
// the extra field.
void ReadSharedFields(const uint8_t* p, ZipDirEntry& e) {
  e.VersionNeeded = Le16(p);
  e.Flags = Le16(p + 2);
  e.Method = Le16(p + 4);
  e.DosDateTime = Le32(p + 6);
  e.Crc32 = Le32(p + 10);
  e.CompressedSize = Le32(p + 14);
  e.UncompressedSize = Le32(p + 18);
  e.FileNameLength = Le16(p + 22);
  e.ExtraFieldLength = Le16(p + 24);
}

}  // namespace

void TZip::SetZipFilename(const std::string& fileName) {
  zipFilename_ = fileName;
  Read();
}

void TZip::Message(const std::string& text) {
  if (showMessages_ && OnMessage) OnMessage(text);
}

void TZip::Read() {
  entries_.clear();
  fromCentral_ = false;
  directoryError_.clear();
  std::string error;
  {
    // Missing, unreadable or not a regular file: nothing to list.
    TFileInput in(zipFilename_);
    if (in.Ok()) {
      if (ReadCentralDirectory(in)) {
        fromCentral_ = true;
        error = directoryError_;
      } else {
        error = WalkLocalHeaders(in);
      }
    }
  }  // the file is closed here
  if (OnDirUpdate) OnDirUpdate(*this);
  if (!error.empty()) throw EError(error);
}

// ---------------------------------------------------------------------------
// Central directory

bool TZip::ReadCentralDirectory(const TFileInput& in) {
  const int64_t size = in.Size();
  if (size < static_cast<int64_t>(kEndSize)) return false;
  const size_t tailLength = static_cast<size_t>(std::min<int64_t>(size, kEndSize + kMaxComment));
  const int64_t tailStart = size - static_cast<int64_t>(tailLength);
  std::vector<uint8_t> tail(tailLength);
  if (!in.ReadAt(tailStart, tail.data(), tailLength)) return false;

  // Records whose comment ends exactly at the end of the file first, then any
  // whose comment fits; the last one in the file first. A few attempts only.
  int attempts = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t p = tailLength - kEndSize + 1; p-- > 0;) {
      if (tail[p] != 'P' || Le32(&tail[p]) != kEndSig) continue;
      const size_t end = p + kEndSize + Le16(&tail[p + 20]);
      if (pass == 0 ? end != tailLength : end >= tailLength) continue;
      if (TryCentralDirectory(in, tail, tailStart, p)) return true;
      entries_.clear();
      if (++attempts >= 8) return false;
    }
  }
  return false;
}

bool TZip::TryCentralDirectory(const TFileInput& in, const std::vector<uint8_t>& tail, int64_t tailStart,
                               size_t eocd) {
  const int64_t size = in.Size();
  const uint8_t* r = &tail[eocd];
  const int64_t eocdPos = tailStart + static_cast<int64_t>(eocd);
  uint64_t total = Le16(r + 10);
  uint64_t cdSize = Le32(r + 12);
  uint64_t cdOffset = Le32(r + 16);
  int64_t cdEnd = eocdPos;  // where the central directory actually ends
  bool zip64 = false;

  // ZIP64: the locator just before the end record points at the ZIP64 end
  // record, which normally lies just before the locator.
  uint8_t loc[kZip64LocSize];
  const int64_t locPos = eocdPos - static_cast<int64_t>(kZip64LocSize);
  if (locPos >= 0 && in.ReadAt(locPos, loc, sizeof loc) && Le32(loc) == kZip64LocSig) {
    const uint64_t stored = Le64(loc + 8);
    const int64_t usual = locPos - static_cast<int64_t>(kZip64EndSize);
    uint8_t z[kZip64EndSize];
    int64_t zPos = -1;
    if (stored <= static_cast<uint64_t>(locPos) - kZip64EndSize && locPos >= static_cast<int64_t>(kZip64EndSize) &&
        in.ReadAt(static_cast<int64_t>(stored), z, sizeof z) && Le32(z) == kZip64EndSig)
      zPos = static_cast<int64_t>(stored);
    else if (usual >= 0 && in.ReadAt(usual, z, sizeof z) && Le32(z) == kZip64EndSig)
      zPos = usual;
    if (zPos >= 0) {
      total = Le64(z + 32);
      cdSize = Le64(z + 40);
      cdOffset = Le64(z + 48);
      cdEnd = zPos;
      zip64 = true;
    } else if (total == 0xFFFF || cdSize == kMax32 || cdOffset == kMax32) {
      return false;  // a ZIP64 archive whose ZIP64 end record cannot be found
    }
  }

  if (cdSize > static_cast<uint64_t>(cdEnd)) return false;

  // Where the stored offset says, else just before the end records (data
  // prepended to the archive shifts every offset by the same amount).
  std::vector<int64_t> starts;
  if (cdOffset <= static_cast<uint64_t>(cdEnd) - cdSize) starts.push_back(static_cast<int64_t>(cdOffset));
  const int64_t shifted = cdEnd - static_cast<int64_t>(cdSize);
  if (starts.empty() || starts[0] != shifted) starts.push_back(shifted);

  for (int64_t start : starts) {
    if (cdSize == 0) break;
    uint8_t sig[4];
    if (!in.ReadAt(start, sig, 4) || Le32(sig) != kCentralSig) continue;
    if (static_cast<uint64_t>(size - start) < cdSize) continue;
    std::vector<uint8_t> cd(static_cast<size_t>(cdSize));
    if (!in.ReadAt(start, cd.data(), cd.size())) continue;
    if (ReadCentralHeaders(cd)) break;
  }
  if (entries_.empty() && (cdSize > 0 || total > 0)) return false;

  // The count of the end record: 16 bits wrap past 65,535 entries in an
  // archive without ZIP64 records, which is no damage.
  const uint64_t read = entries_.size();
  const bool wrapped = !zip64 && read > 0xFFFF && (read & 0xFFFF) == total;
  if (read != total && !wrapped)
    directoryError_ = "Zip directory damaged: " + std::to_string(read) + " entries in " + std::to_string(cdSize) +
                      " bytes, the end record counts " + std::to_string(total);
  return true;
}

// The central headers of a whole directory, until its bytes are used up.
// False when one of them is damaged or runs past the directory's end.
bool TZip::ReadCentralHeaders(const std::vector<uint8_t>& cd) {
  entries_.clear();
  for (size_t p = 0; p < cd.size();) {
    if (cd.size() - p < kCentralSize || Le32(&cd[p]) != kCentralSig) {
      entries_.clear();
      return false;
    }
    const uint8_t* h = &cd[p];
    const size_t nameLength = Le16(h + 28), extraLength = Le16(h + 30), commentLength = Le16(h + 32);
    if (cd.size() - p - kCentralSize < nameLength + extraLength + commentLength) {
      entries_.clear();
      return false;
    }
    ZipDirEntry e;
    ReadSharedFields(h + 6, e);
    e.FileName.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLength);
    ApplyZip64Extra(h + kCentralSize + nameLength, extraLength, e, false);
    entries_.push_back(std::move(e));
    p += kCentralSize + nameLength + extraLength + commentLength;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Local-header walk

std::string TZip::WalkLocalHeaders(const TFileInput& in) {
  const int64_t size = in.Size();
  int64_t pos = HasExeExtension(zipFilename_) ? kExeStart : 0;
  uint32_t counter = 0;
  bool synchronised = false;

  for (;;) {
    uint32_t sig;
    if (!synchronised) {
      if (ScanForLocalHeader(in, pos, counter) != TScan::Found) {
        Message("No valid zip entries found");
        return {};
      }
      synchronised = true;
      sig = kLocalSig;
    } else {
      uint8_t b[4];
      if (!in.ReadAt(pos, b, 4)) return "Error reading Zip File";
      pos += 4;
      sig = Le32(b);
    }
    if (sig == kCentralSig || sig == kEndSig) return {};
    if (sig != kLocalSig) continue;  // skipped: the next four bytes are read as a signature

    // (1) The fixed fields and the name.
    uint8_t h[kLocalFixed];
    ZipDirEntry e;
    bool ok = in.ReadAt(pos, h, sizeof h);
    if (ok) {
      ReadSharedFields(h, e);
      e.FileName.resize(e.FileNameLength);
      ok = in.ReadAt(pos + static_cast<int64_t>(kLocalFixed), e.FileName.data(), e.FileNameLength);
    }
    if (!ok) {
      if (!entries_.empty()) return "Error 2 reading Zip file";
      synchronised = false;
      continue;
    }
    pos += static_cast<int64_t>(kLocalFixed) + e.FileNameLength;

    // ZIP64 sizes from the extra field, when it lies within the file.
    const bool zip64 = e.CompressedSize == kMax32 || e.UncompressedSize == kMax32;
    if (e.ExtraFieldLength > 0 && zip64) {
      std::vector<uint8_t> extra(e.ExtraFieldLength);
      if (in.ReadAt(pos, extra.data(), extra.size())) ApplyZip64Extra(extra.data(), extra.size(), e, true);
    }
    // Sizes after the data: find where the data ends.
    const bool trailing = (e.Flags & 8) && e.CompressedSize == 0;

    // (2) The member must end before the smallest end record (for sizes
    // after the data: a data end must be found).
    const int64_t room = size - static_cast<int64_t>(kEndSize) - pos - e.ExtraFieldLength;
    int64_t dataEnd = -1;
    if (trailing && room >= 0) dataEnd = FindDataEnd(in, pos + e.ExtraFieldLength, e, zip64);
    if (room < 0 || e.CompressedSize > static_cast<uint64_t>(room) || (trailing && dataEnd < 0)) {
      if (!entries_.empty()) {
        if (!showMessages_) return {};
        return "Error 3 reading Zip file";
      }
      synchronised = false;
      continue;
    }
    // (3) The extra field.
    pos += e.ExtraFieldLength;
    if (pos > size) return "Error 4 reading Zip file";
    // (4) The data.
    if (trailing) {
      pos = dataEnd;
    } else {
      pos += static_cast<int64_t>(e.CompressedSize);
      if (pos > size) return "Error 5 reading Zip file";
    }
    // (5)
    entries_.push_back(std::move(e));
  }
}

}  // namespace tw
