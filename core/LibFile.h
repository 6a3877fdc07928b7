// The library file codec: little-endian fields, records in pre-order with
// their levels. Reading and writing go through a buffer; the bytes on disk are
// the format. A damaged file is reported with the byte offset of the damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/AtomicFile.h"

namespace tw {

class TLibObj;
class TLibFolder;
class TLibFolderItem;
class TLibColItem;

// Smallest encodings of each record, for checking counts against the bytes left.
inline constexpr int64_t kMinFolderRecord = 48;
inline constexpr int64_t kMinItemRecord22 = 29;
inline constexpr int64_t kMinItemRecord23 = 33;
inline constexpr int64_t kMinColRecord = 32;
inline constexpr int64_t kMinCategory = 4;
inline constexpr int32_t kMaxStringLength = 65536;  // what a reader accepts
inline constexpr int32_t kMaxValueLength = 65535;   // what a writer stores

// Raised for a file that no writer of the format produces.
class EDamagedFile : public std::exception {
 public:
  EDamagedFile(int64_t offset, std::string what) : offset_(offset), what_(std::move(what)) {}
  int64_t Offset() const { return offset_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int64_t offset_;
  std::string what_;
};

// Raised by the writer for a value it cannot store whole.
class EValueTooLong : public std::exception {
 public:
  EValueTooLong(std::string record, size_t length) : record_(std::move(record)), length_(length) {}
  const std::string& Record() const { return record_; }
  size_t Length() const { return length_; }
  const char* what() const noexcept override { return "value too long"; }

 private:
  std::string record_;
  size_t length_;
};

struct TCodecCounters {
  int64_t Folders = 0;
  int64_t Volumes = 0;
  int64_t Entries = 0;
  int64_t Collections = 0;
  int64_t Size = 0;
};

class TLibFile {
 public:
  enum class TMode { Create, Read };
  // Create: writes a new file (an existing one is emptied). Read: read-only,
  // regular files only. Raises EError naming `shownName` (the file's own name
  // when empty) with the system's reason when the file cannot be opened.
  TLibFile(const std::string& fileName, TMode mode, std::string shownName = {});
  ~TLibFile();
  TLibFile(const TLibFile&) = delete;
  TLibFile& operator=(const TLibFile&) = delete;

  // --- primitives ---
  void WriteStr(const std::string& s);
  void WriteInt32(int32_t v);
  void WriteInt64(int64_t v);
  void WriteDate(double v);
  void WriteByte(bool v);
  std::string ReadStr();
  // Every reader raises EDamagedFile when the file ends inside the field.
  void ReadInt32(int32_t& v);
  void ReadInt64(int64_t& v);
  void ReadDate(double& v);
  void ReadByte(bool& v);

  // --- records ---
  void WriteHeader(const TLibObj& lib);
  void ReadHeader(TLibObj& lib);
  void WriteFolder(const TLibFolder& f);
  void ReadFolder(TLibFolder& f);
  void WriteEntry(const TLibFolderItem& item);
  void ReadEntry22(TLibFolderItem& item);
  void ReadEntry23(TLibFolderItem& item);
  void WriteColItem(const TLibColItem& c);
  void ReadColItem(TLibColItem& c);

  // Writes what is buffered, flushes it to disk and closes the file; raises
  // EError when any write failed.
  void Commit();

  // The file read, as it was when opened.
  const TFileStamp& Stamp() const { return stamp_; }
  int64_t Position() const { return pos_; }
  int64_t FileSize() const { return size_; }
  int64_t Remaining() const { return size_ > pos_ ? size_ - pos_ : 0; }
  const TCodecCounters& Counters() const { return counters_; }
  // Names the record being written, for the value-too-long report.
  void SetRecordName(std::string name) { recordName_ = std::move(name); }

 private:
  void ReadRaw(void* dst, size_t n);
  void WriteRaw(const void* src, size_t n);
  void FlushBuffer();
  bool Fill();

  std::string fileName_;
  std::string shownName_;
  TMode mode_;
  TFileStamp stamp_;
  int fd_ = -1;
  std::vector<char> buf_;
  size_t bufPos_ = 0;  // read: next byte in buf_; write: bytes buffered
  size_t bufLen_ = 0;  // read: valid bytes in buf_
  int64_t pos_ = 0;
  int64_t size_ = 0;
  int writeErrno_ = 0;
  TCodecCounters counters_;
  std::string recordName_;
};

}  // namespace tw
