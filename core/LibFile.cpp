#include "core/LibFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "base/TextUtils.h"
#include "core/LibClasses.h"

namespace tw {
namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string SystemReason(int err) { return std::strerror(err); }


}  // namespace

TLibFile::TLibFile(const std::string& fileName, TMode mode, std::string shownName)
    : fileName_(fileName), shownName_(shownName.empty() ? fileName : std::move(shownName)), mode_(mode) {
  // Read: never blocks on a FIFO or device named like a library.
  if (mode == TMode::Create)
    fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  else
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) throw EError(shownName_ + ": " + SystemReason(errno));
  size_t bufferSize = kBufferSize;
  if (mode == TMode::Read) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      const std::string kind = FileKindName(st.st_mode);
      ::close(fd_);
      fd_ = -1;
      throw EError("errReadFolder", {shownName_, "not a file but " + kind});
    }
    size_ = st.st_size;
    stamp_ = TFileStamp::OfDescriptor(fd_);
    // A small file needs no large buffer (most opens read a header only).
    if (size_ < static_cast<int64_t>(kBufferSize)) bufferSize = std::max<size_t>(size_, 64);
  }
  buf_.resize(bufferSize);
}

TLibFile::~TLibFile() {
  if (fd_ >= 0) {
    if (mode_ == TMode::Create) FlushBuffer();
    ::close(fd_);
  }
}

// ----------------------------------------------------------------- reading

bool TLibFile::Fill() {
  bufPos_ = bufLen_ = 0;
  for (;;) {
    ssize_t n = ::read(fd_, buf_.data(), buf_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bufLen_ = static_cast<size_t>(n);
    return true;
  }
}

void TLibFile::ReadRaw(void* dst, size_t n) {
  auto* out = static_cast<char*>(dst);
  while (n > 0) {
    if (bufPos_ == bufLen_ && !Fill()) throw EDamagedFile(pos_, "the file ends inside a record");
    size_t take = std::min(n, bufLen_ - bufPos_);
    std::memcpy(out, buf_.data() + bufPos_, take);
    bufPos_ += take, out += take, n -= take, pos_ += static_cast<int64_t>(take);
  }
}

void TLibFile::ReadInt32(int32_t& v) {
  unsigned char b[4];
  ReadRaw(b, 4);
  v = static_cast<int32_t>(Le32(b));
}

void TLibFile::ReadInt64(int64_t& v) {
  unsigned char b[8];
  ReadRaw(b, 8);
  v = static_cast<int64_t>(Le64(b));
}

void TLibFile::ReadDate(double& v) {
  unsigned char b[8];
  ReadRaw(b, 8);
  v = std::bit_cast<double>(Le64(b));
}

void TLibFile::ReadByte(bool& v) {
  unsigned char b;
  ReadRaw(&b, 1);
  v = b != 0;
}

std::string TLibFile::ReadStr() {
  int64_t at = pos_;
  unsigned char b[4];
  ReadRaw(b, 4);
  int32_t n = static_cast<int32_t>(Le32(b));
  if (n < 0 || n > kMaxStringLength)
    throw EDamagedFile(at, "a text length of " + std::to_string(n) + " bytes");
  if (n > Remaining()) throw EDamagedFile(at, "a text of " + std::to_string(n) + " bytes past the end of the file");
  std::string s(static_cast<size_t>(n), '\0');
  ReadRaw(s.data(), s.size());
  // The value ends at its first NUL, as the writer stores it.
  s.resize(std::strlen(s.c_str()));
  return s;
}

// ----------------------------------------------------------------- writing

void TLibFile::FlushBuffer() {
  size_t done = 0;
  while (done < bufPos_) {
    ssize_t n = ::write(fd_, buf_.data() + done, bufPos_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!writeErrno_) writeErrno_ = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  bufPos_ = 0;
}

void TLibFile::WriteRaw(const void* src, size_t n) {
  const auto* in = static_cast<const char*>(src);
  while (n > 0) {
    if (bufPos_ == buf_.size()) FlushBuffer();
    size_t take = std::min(n, buf_.size() - bufPos_);
    std::memcpy(buf_.data() + bufPos_, in, take);
    bufPos_ += take, in += take, n -= take, pos_ += static_cast<int64_t>(take);
  }
}

void TLibFile::WriteInt32(int32_t v) {
  unsigned char b[4];
  PutLe(v, b);
  WriteRaw(b, 4);
}

void TLibFile::WriteInt64(int64_t v) {
  unsigned char b[8];
  PutLe(v, b);
  WriteRaw(b, 8);
}

void TLibFile::WriteDate(double v) {
  unsigned char b[8];
  PutLe(std::bit_cast<uint64_t>(v), b);
  WriteRaw(b, 8);
}

void TLibFile::WriteByte(bool v) {
  unsigned char b = v ? 1 : 0;
  WriteRaw(&b, 1);
}

void TLibFile::WriteStr(const std::string& s) {
  if (s.size() > static_cast<size_t>(kMaxValueLength)) throw EValueTooLong(recordName_, s.size());
  WriteInt32(static_cast<int32_t>(s.size()));
  // Bytes after a NUL are stored as zeros: the value ends at its first NUL.
  size_t text = std::strlen(s.c_str());
  WriteRaw(s.data(), text);
  static const char zeros[64] = {};
  for (size_t left = s.size() - text; left > 0;) {
    size_t take = std::min(left, sizeof zeros);
    WriteRaw(zeros, take);
    left -= take;
  }
}

void TLibFile::Commit() {
  FlushBuffer();
  if (!writeErrno_ && ::fsync(fd_) != 0) writeErrno_ = errno;
  if (::close(fd_) != 0 && !writeErrno_) writeErrno_ = errno;
  fd_ = -1;
  if (writeErrno_) throw EError("errWriteFile", {shownName_, SystemReason(writeErrno_)});
}

// ----------------------------------------------------------------- records

void TLibFile::WriteHeader(const TLibObj& lib) {
  SetRecordName("library header");
  WriteStr(lib.Version);
  WriteStr(lib.Comments);
  WriteInt32(lib.FolderRecordCount);
  WriteInt32(lib.CollectionRecordCount);
  WriteStr(lib.Category);
  WriteInt32(lib.CategoryCount);
}

void TLibFile::ReadHeader(TLibObj& lib) {
  lib.Version = ReadStr();
  lib.Comments = ReadStr();
  ReadInt32(lib.FolderRecordCount);
  ReadInt32(lib.CollectionRecordCount);
  lib.Category = ReadStr();
  ReadInt32(lib.CategoryCount);
}

void TLibFile::WriteFolder(const TLibFolder& f) {
  WriteStr(f.Name);
  WriteDate(f.Date);
  WriteStr(f.Category);
  WriteStr(f.Comments);
  WriteStr(f.Location);
  WriteInt32(f.Level);
  WriteInt32(f.IsFolder);
  WriteInt32(f.Items.Count());
  WriteInt32(f.AbsIndex);
  WriteStr(f.Serial);
  WriteStr(f.SourcePath);
  ++counters_.Folders;
  if (f.IsFolder == 0) ++counters_.Volumes;
}

void TLibFile::ReadFolder(TLibFolder& f) {
  f.Name = ReadStr();
  ReadDate(f.Date);
  f.Category = ReadStr();
  f.Comments = ReadStr();
  f.Location = ReadStr();
  ReadInt32(f.Level);
  ReadInt32(f.IsFolder);
  ReadInt32(f.ItemCount);
  ReadInt32(f.AbsIndex);
  f.Serial = ReadStr();
  f.SourcePath = ReadStr();
  ++counters_.Folders;
  if (f.IsFolder == 0) ++counters_.Volumes;
}

void TLibFile::WriteEntry(const TLibFolderItem& item) {
  WriteStr(item.Name);
  WriteDate(item.Date);
  WriteInt64(item.Size);
  WriteStr(item.Category);
  WriteStr(item.Comments);
  WriteByte(item.IsFolder);
  size_t length = 0;
  for (const auto& line : item.TagInfo.Tags) length += line.size() + 2;
  std::string tags;
  tags.reserve(length);
  for (const auto& line : item.TagInfo.Tags) tags.append(line).append("\r\n");
  WriteStr(tags);
  ++counters_.Entries;
  counters_.Size = AddSizes(counters_.Size, item.Size);
}

void TLibFile::ReadEntry22(TLibFolderItem& item) {
  item.Name = ReadStr();
  ReadDate(item.Date);
  ReadInt64(item.Size);
  item.Category = ReadStr();
  item.Comments = ReadStr();
  ReadByte(item.IsFolder);
  ++counters_.Entries;
  counters_.Size = AddSizes(counters_.Size, item.Size);
}

void TLibFile::ReadEntry23(TLibFolderItem& item) {
  ReadEntry22(item);
  std::string tags = ReadStr();
  if (!tags.empty()) {
    item.TagInfo.Tags = SplitLines(tags);
    item.TagInfo.Tags.shrink_to_fit();  // a million entries: spare capacity adds up
  }
}

void TLibFile::WriteColItem(const TLibColItem& c) {
  WriteStr(c.Caption);
  WriteInt32(c.Kind);
  WriteInt32(c.Level);
  WriteStr(c.Memo);
  WriteStr(c.Url);
  WriteInt32(c.FolderIndex);
  WriteStr(c.Path);
  WriteInt32(c.ImageIndex);
  ++counters_.Collections;
}

void TLibFile::ReadColItem(TLibColItem& c) {
  c.Caption = ReadStr();
  ReadInt32(c.Kind);
  ReadInt32(c.Level);
  c.Memo = ReadStr();
  c.Url = ReadStr();
  ReadInt32(c.FolderIndex);
  c.Path = ReadStr();
  ReadInt32(c.ImageIndex);
  ++counters_.Collections;
}

}  // namespace tw
