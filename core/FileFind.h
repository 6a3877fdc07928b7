// The file finder: walks a directory tree and reports each directory before
// its entries, and each entry that matches a file mask. The scan drives it.
// Also the list of mounted media a user would pick, and their used space.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/MountTable.h"

namespace tw {

// Attribute flags of a find record. The values are those of the old DOS and
// Windows attributes, so catalogues written on either system read alike.
enum : uint32_t {
  faReadOnly = 0x01,   // nobody may write (no write bit set)
  faHidden = 0x02,     // the name starts with "."
  faDirectory = 0x10,
  faDevice = 0x40,     // FIFO, socket, character or block device
  faSymLink = 0x400,   // the link itself; never followed
};

struct TSearchRec {
  std::string Name;
  uint32_t Attr = 0;
  // 0 for directories, FIFOs, sockets and devices; a link's own size.
  int64_t Size = 0;
  // Last write, UTC, as the file system reports it.
  int64_t MTime = 0;
  int32_t MTimeNsec = 0;
  dev_t Device = 0;

  uint32_t SizeHigh() const { return static_cast<uint32_t>(static_cast<uint64_t>(Size) >> 32); }
  uint32_t SizeLow() const { return static_cast<uint32_t>(static_cast<uint64_t>(Size) & 0xFFFFFFFFu); }
  bool IsDirectory() const { return (Attr & faDirectory) != 0; }
};

// One walk of a search specification: a directory (ending with "/") and the
// file mask applied to its entries.
struct TSpecPart {
  std::string Directory;
  std::string Mask;
  bool operator==(const TSpecPart&) const = default;
};

inline constexpr size_t kMaxSpecLength = 255;

// At most `limit` bytes, never ending inside a UTF-8 sequence.
std::string CutSpec(std::string_view spec, size_t limit = kMaxSpecLength);
// Parts separated by ";": a part without a directory takes the directory of
// the part before it; an absolute part stands for itself; empty parts drop.
std::vector<TSpecPart> SplitSpec(std::string_view spec);
// "*" and "?" wildcards, without regard to case; "*.*" matches every name.
// "?" stands for one character (one byte where the name is not UTF-8).
bool MatchesMask(std::string_view name, std::string_view mask);

class TFileSearch {
 public:
  using TFileEvent = std::function<void(const std::string& directory, const TSearchRec& rec)>;
  using TDoneEvent = std::function<void(TFileSearch& finder)>;
  using TUnreadableEvent = std::function<void(const std::string& path, const std::string& error)>;

  // Restores every field to its value after creation and empties Results;
  // the event handlers stay assigned.
  void Reset();
  // Runs a whole walk and returns when it is over. Throws EError when a walk
  // is already running (a listener calling back into the finder).
  void Start(const std::string& spec, int32_t levels, bool foldersOnly);

  bool Recurse = true;
  bool Aborted = false;
  bool CollectNames = true;
  bool Busy = false;
  bool NoDuplicates = true;
  // Full names of the matches in the order found.
  std::vector<std::string> Results;
  // One matching entry.
  TFileEvent OnFile;
  // A directory is about to be listed; not raised for one that cannot be.
  TFileEvent OnDirectory;
  TDoneEvent OnDone;
  // A folder that cannot be entered or listed, or an entry whose record
  // cannot be read: skipped, and the walk goes on. A folder's path ends
  // with "/", an entry's does not.
  TUnreadableEvent OnUnreadable;
  // Lets the user interface process pending events; called very often, the
  // handler throttles.
  std::function<void()> OnIdle;
  std::string Spec;
  // Start cuts Spec to this many bytes. A scan lifts the
  // limit: a folder on Linux may lie much deeper than 255 bytes.
  size_t SpecLimit = kMaxSpecLength;
  int32_t Levels = 0;  // 0 = unlimited; 1 = the top directory only
  bool FoldersOnly = false;

 private:
  struct TEntry;
  struct TFrame;
  class TDirFd;
  using TStack = std::vector<TFrame>;
  void Walk(TDirFd top, const struct stat& st, const TSearchRec& record);
  bool Enter(TStack& stack, TDirFd dir, const struct stat& st, const TSearchRec& record);
  void Leave(TStack& stack);
  void Descend(TStack& stack, const TSearchRec& record);
  int OpenSubdirectory(TStack& stack, const TSearchRec& record);
  int Reopen(TStack& stack);
  void ListDir(const std::string& directory, const TSearchRec& record, const std::vector<TEntry>& entries);
  bool ReadEntries(int fd, const std::string& directory, std::vector<TEntry>& entries);
  bool OnRootFileSystem(int dirFd, const char* name, int flags, dev_t device) const;
  void Unreadable(const std::string& path, int error) const;
  void AddResult(std::string name);
  void Idle() const {
    if (OnIdle) OnIdle();
  }

  std::string mask_;
  // The path of the directory the walk is in, ending with "/".
  std::string path_;
  // Frames from this index to the deepest hold open descriptors, as does
  // the first frame; the ones between were closed to keep within the limit.
  size_t firstOpen_ = 1;
  dev_t rootDevice_ = 0;
  bool hasRootMount_ = false;
  uint64_t rootMount_ = 0;
  std::unordered_set<std::string> collected_;
};

// --- mounted media ---

// A mount a user would pick as a medium: neither a pseudo file system nor a
// system area (see FileFind.cpp for the rules).
bool IsUserMount(const TMountEntry& mount);

struct TDriveInfo {
  std::string RootPath;  // ends with "/"
  std::string Label;
  std::string Serial;
};

// The mounted media a user would pick, in mount order; a mount point mounted
// over counts once, as its latest mount.
std::vector<TDriveInfo> ListDrives();
// The same from another mount table and device-link folder.
std::vector<TDriveInfo> ListDrives(const std::string& mountInfoFile, const std::string& diskDir);

// Used bytes of the file system mounted at path; -1 when path is no mount
// point or its file system cannot be asked.
int64_t ScanTotal(const std::string& path);
int64_t ScanTotal(const std::string& path, const std::string& mountInfoFile);

}  // namespace tw
