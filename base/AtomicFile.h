// Replacing a file whole: the new content is written to a temporary file
// beside the target and renamed over it only when complete and on disk, so a
// failed, stopped or killed write leaves the old file as it was. Also the
// stamp that tells whether a file changed since it was read, and the link
// resolution that makes a write replace the file a link points to.
//
// Plain functions and one move-only object; usable from any thread, one
// object per thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// A file's identity and state at one moment: the same stamp later means
// nobody replaced or changed it in between.
struct TFileStamp {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  int64_t Size = 0;
  int64_t MTimeSec = 0;
  int64_t MTimeNsec = 0;

  static TFileStamp Of(const std::string& path);
  static TFileStamp OfDescriptor(int fd);
  bool operator==(const TFileStamp&) const = default;
};

// The path of the file `path` names after following symbolic links (at most
// 40), also when the last one points at a file that does not exist yet.
std::string ResolveLinks(const std::string& path);

// The folder of a path ("." for a bare name) and its last part.
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// The mode a new file gets from the process's umask, read without changing
// it (other threads may be creating files meanwhile).
mode_t NewFileMode();

// A replacement of `target` under construction. Temporary files are named
// ".<name>.tarnwex-XXXXXX" beside the target, so that the ones a killed
// writer left can be found again (RemoveStaleTemporaries).
class TAtomicFile {
 public:
  // Creates the temporary file; raises EError "errWriteFile" naming `shown`
  // (the name the user knows the target by) when it cannot.
  TAtomicFile(std::string target, std::string shown);
  ~TAtomicFile();  // removes the temporary file unless committed
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  const std::string& TempName() const { return temp_; }
  // Writes to the temporary file (for callers that write through the
  // descriptor themselves, TempName is the file to open).
  void Write(std::string_view bytes);
  // Flushes the temporary file to disk, gives it the target's mode (a new
  // target's from the umask), renames it over the target and flushes the
  // folder. Raises EError "errWriteFile" naming the target on failure.
  // Returns the stamp of the file now at the target.
  TFileStamp Commit();

 private:
  [[noreturn]] void Fail(int error) const;

  std::string target_;
  std::string shown_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
};

// The last steps of every replacement: gives the temporary file (open as
// `fd`) the target's mode (a new target's from the umask), flushes it to
// disk, renames it over the target and flushes the folder. The descriptor
// stays open. Returns 0, or the errno of the step that failed.
int ReplaceByTemporary(int fd, const std::string& temp, const std::string& target);

// Replaces `file` (the file a link there points to) by `bytes` at once.
// Raises EError "errWriteFile" naming `file` on failure.
void ReplaceFileContents(const std::string& file, std::string_view bytes);

// Removes the temporary files that writers of `target` left behind; call
// only while holding the target's lock, so no running writer owns one.
void RemoveStaleTemporaries(const std::string& target);

}  // namespace tw
