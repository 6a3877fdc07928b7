#include "base/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "base/AtomicFile.h"
#include "base/Error.h"

namespace tw {
namespace {

// Whether fd is still the file at path: a holder removes the lock file when
// it is done, and whoever locked the removed one must start again.
bool StillAt(int fd, const std::string& path) {
  struct stat a {}, b {};
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string LockFileOf(const std::string& target) {
  return FolderOf(target) + "/." + BaseNameOf(target) + ".lock";
}

TFileLock::TFileLock(const std::string& target, const std::string& shown, std::chrono::milliseconds wait)
    : target_(target), lockFile_(LockFileOf(target)) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + wait;
  for (;;) {
    const int fd = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw EError("errWriteFile", {shown, std::strerror(errno)});
    bool locked = false;
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        locked = true;
        break;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) break;  // no locks on this file system
      if (steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (locked && StillAt(fd, lockFile_)) {
      fd_ = fd;
      return;
    }
    const int error = errno;
    ::close(fd);
    if (!locked && error != EWOULDBLOCK && error != EINTR) {
      // A file system without locks: writers cannot exclude each other
      // there; the stamp check of the save still refuses a lost update.
      return;
    }
    if (steady_clock::now() >= deadline) throw EError("errFileLocked", {shown});
  }
}

TFileLock::~TFileLock() {
  if (fd_ < 0) return;
  // Removed while still locked: a writer waiting on it finds it gone and
  // starts again on a new lock file.
  ::unlink(lockFile_.c_str());
  ::close(fd_);
}

}  // namespace tw
