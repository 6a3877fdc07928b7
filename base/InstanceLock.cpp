#include "base/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tw {

std::string TInstanceLock::RuntimeFolder() {
  if (const char* d = std::getenv("XDG_RUNTIME_DIR"); d && *d) return d;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnwex-" + std::to_string(getuid());
  // A folder only the user may enter: nobody else can take the lock away.
  if (mkdir(folder.c_str(), 0700) != 0) {
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  }
  return folder;
}

TInstanceLock::TInstanceLock(const std::string& name, const std::string& folder) {
  const std::string dir = folder.empty() ? RuntimeFolder() : folder;
  if (dir.empty()) return;
  file_ = dir + "/" + name;
  const int fd = open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    elsewhere_ = errno == EWOULDBLOCK;
    close(fd);
    return;
  }
  fd_ = fd;
}

TInstanceLock::~TInstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace tw
