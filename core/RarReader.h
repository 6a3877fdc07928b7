// Our own RAR header reader, answering the calls TRAR makes with the RAR
// library's documented interface: open (with a comment buffer), read the next member
// header, process the member (list mode: its data is skipped, never read),
// close, plus the volume and password callbacks.
//
// RAR 1.5-4.x and RAR 5 archives are read, also self-extracting ones (the
// marker is searched for in the first 4 MB) and multi-volume sets (the next
// volume is found beside the first: name.partN.rar or name.rar, name.r00 ...).
// Only headers are read; every read is bounded by the file's size whatever the
// archive's fields claim. Nothing is decrypted or decompressed: encrypted
// headers end the listing with ERAR_BAD_DATA after the password request, and
// a compressed archive comment is reported as no comment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class TFileInput;

namespace rar {

// Return codes, as the library documented them.
constexpr int ERAR_SUCCESS = 0;
constexpr int ERAR_END_ARCHIVE = 10;
constexpr int ERAR_NO_MEMORY = 11;
constexpr int ERAR_BAD_DATA = 12;
constexpr int ERAR_BAD_ARCHIVE = 13;
constexpr int ERAR_UNKNOWN_FORMAT = 14;
constexpr int ERAR_EOPEN = 15;
constexpr int ERAR_ECREATE = 16;
constexpr int ERAR_ECLOSE = 17;
constexpr int ERAR_EREAD = 18;
constexpr int ERAR_EWRITE = 19;
constexpr int ERAR_SMALL_BUF = 20;

constexpr int RAR_OM_LIST = 0;
constexpr int RAR_OM_EXTRACT = 1;

constexpr int RAR_SKIP = 0;
constexpr int RAR_TEST = 1;
constexpr int RAR_EXTRACT = 2;

// Callback messages and volume modes.
constexpr int UCM_CHANGEVOLUME = 0;
constexpr int UCM_NEEDPASSWORD = 2;
constexpr int RAR_VOL_ASK = 0;
constexpr int RAR_VOL_NOTIFY = 1;

// The interface version our reader reports in place of the DLL's.
constexpr int kReaderVersion = 1;

// Header flags as reported, the same for both formats.
constexpr uint32_t RHDF_SPLITBEFORE = 0x01;
constexpr uint32_t RHDF_SPLITAFTER = 0x02;
constexpr uint32_t RHDF_ENCRYPTED = 0x04;
constexpr uint32_t RHDF_COMMENT = 0x08;
// Bits 4..6: the dictionary code (0 = 64 KB ... 6 = 4 MB); 7 marks a directory.
constexpr uint32_t RHDF_WINDOWMASK = 0x70;
constexpr uint32_t RHDF_DIRECTORY = 0x70;
constexpr uint32_t RHDF_SOLID = 0x80;

// Host systems in RAR 4 numbering; RAR 5 Windows and Unix are mapped to them.
constexpr uint32_t kHostDos = 0;
constexpr uint32_t kHostOs2 = 1;
constexpr uint32_t kHostWindows = 2;
constexpr uint32_t kHostUnix = 3;
constexpr uint32_t kHostUnknown = 0xFF;

struct TRarHeader {
  // The volume file the header was read from.
  std::string ArcName;
  // UTF-8, "\" between directories whatever the archive stored.
  std::string FileName;
  uint32_t Flags = 0;
  uint64_t PackSize = 0;
  uint64_t UnpSize = 0;
  uint32_t HostOS = kHostUnknown;
  uint32_t FileCRC = 0;
  // RAR 4: the DOS date and time taken field by field; RAR 5: the mtime in
  // UTC. 0 when the stored time has no date.
  double FileTime = 0;
  // RAR 4: as stored (e.g. 29 for 2.9); RAR 5: 50 (70 for the RAR 7 method).
  uint32_t UnpVer = 0;
  // 0x30 store .. 0x35 best (RAR 5 methods 0..5 mapped the same way).
  uint32_t Method = 0;
  // Host attributes: DOS/Windows bits or a Unix mode.
  uint32_t FileAttr = 0;

  bool IsDirectory() const { return (Flags & RHDF_WINDOWMASK) == RHDF_DIRECTORY; }
};

// Returns -1 to cancel. UCM_CHANGEVOLUME: text is the next volume's name
// (the callback may change it in ask mode), mode RAR_VOL_ASK when it does
// not exist, RAR_VOL_NOTIFY when it is about to be opened. UCM_NEEDPASSWORD:
// the callback puts the password into text.
using TRarCallback = std::function<int(int message, std::string& text, int mode)>;

class TRarReader {
 public:
  TRarReader();
  ~TRarReader();
  TRarReader(const TRarReader&) = delete;
  TRarReader& operator=(const TRarReader&) = delete;

  // 0 or the error code. The comment is read into at most commentBufSize
  // bytes; CommentState() tells how: 0 none, 1 read, or an error code
  // (ERAR_BAD_DATA for a failed CRC, ERAR_SMALL_BUF when cut to the buffer).
  int Open(const std::string& arcName, int openMode, size_t commentBufSize);
  int CommentState() const { return commentState_; }
  const std::string& Comment() const { return comment_; }

  void SetCallback(TRarCallback callback) { callback_ = std::move(callback); }
  void SetPassword(const std::string& password) { password_ = password; }

  // 0 with the next member's header, ERAR_END_ARCHIVE after the last, or an
  // error code: ERAR_BAD_DATA for a damaged or truncated header (also for
  // encrypted headers), ERAR_EOPEN when a needed next volume is refused.
  int ReadHeader(TRarHeader& header);
  // Skips the member's data; a member continued in the next volume moves to
  // that volume (ERAR_EOPEN when it is missing or refused). ERAR_BAD_DATA when
  // the data reaches past the end of the file.
  int ProcessFile(int operation);
  int Close();

  bool IsOpen() const { return in_ != nullptr; }

 private:
  enum class TStep { Member, Skip, End };

  int OpenVolume(const std::string& name);
  int FindMarker();
  int ReadMain4();
  int ReadMain5();
  void ReadComment4();
  void ReadComment5();
  // A stored comment of `size` bytes at `at`, cut to the comment buffer and
  // checked against its CRC when there is one; false when it lies outside
  // the file or cannot be read.
  bool StoreComment(int64_t at, uint64_t size, std::optional<uint32_t> crc);
  int End(TStep& step, bool nextAnnounced);
  int Next4(TStep& step, TRarHeader& header);
  int Next5(TStep& step, TRarHeader& header);
  int NextVolume();
  void AskPassword();

  std::unique_ptr<TFileInput> in_;
  std::string volName_;
  int format_ = 0;  // 4 or 5
  int64_t pos_ = 0;
  size_t commentBufSize_ = 0;
  int commentState_ = 0;
  std::string comment_;
  TRarCallback callback_;
  std::string password_;
  bool encryptedHeaders_ = false;
  bool volume_ = false;
  bool newNumbering_ = false;
  bool moreVolumes_ = false;
  bool lastSplitAfter_ = false;
  bool ended_ = false;
  // The member last reported: where its data ends, whether it continues.
  bool haveMember_ = false;
  int64_t memberDataEnd_ = 0;
  bool memberSplitAfter_ = false;
};

// The name of the volume after `name`: name.part01.rar -> name.part02.rar
// (with newNumbering, keeping the digit count), name.rar -> name.r00 ->
// name.r01 ... -> name.r99 -> name.s00. Empty when no next name exists.
std::string NextVolumeName(const std::string& name, bool newNumbering);

}  // namespace rar
}  // namespace tw
