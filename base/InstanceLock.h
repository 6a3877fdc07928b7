// The single-instance test of the desktop program: a lock on a file named
// after the program in the user's runtime folder ($XDG_RUNTIME_DIR, else a
// folder of the user's own below the temporary folder). The lock is held
// until the object goes (or the process ends, however it ends).
//
// Used on one thread.
#pragma once

#include <string>

namespace tw {

class TInstanceLock {
 public:
  // Tries to take the lock named `name`; Held() tells whether it was taken.
  explicit TInstanceLock(const std::string& name, const std::string& folder = {});
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  bool Held() const { return fd_ >= 0; }
  // Another process holds the lock (not merely: no lock could be made).
  bool HeldElsewhere() const { return elsewhere_; }
  const std::string& File() const { return file_; }

  // The runtime folder the lock lives in.
  static std::string RuntimeFolder();

 private:
  std::string file_;
  int fd_ = -1;
  bool elsewhere_ = false;
};

}  // namespace tw
