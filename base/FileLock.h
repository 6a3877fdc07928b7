// A writer's hold on a file: an advisory lock (flock) on a hidden lock file
// beside it, ".<name>.lock". Every writer of libraries and exports takes it
// before it reads what it will replace and keeps it until the replacement is
// done, so two writers never work from the same old content. The lock file
// is removed when the hold ends.
//
// Owned by one thread at a time; the lock belongs to the open descriptor, so
// two holds in one process exclude each other too.
#pragma once

#include <chrono>
#include <string>

namespace tw {

class TFileLock {
 public:
  // Locks `target` (links already resolved), waiting up to `wait` for another
  // writer. Raises EError "errFileLocked" naming `shown` when the other
  // writer keeps it longer, "errWriteFile" when no lock file can be made.
  TFileLock(const std::string& target, const std::string& shown, std::chrono::milliseconds wait);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  const std::string& Target() const { return target_; }

  // How long writers wait for each other by default.
  static constexpr std::chrono::milliseconds kDefaultWait{5000};

 private:
  std::string target_;
  std::string lockFile_;
  int fd_ = -1;
};

// The lock file of a target.
std::string LockFileOf(const std::string& target);

}  // namespace tw
