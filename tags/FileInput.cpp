#include "tags/FileInput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

TFileInput::TFileInput(const std::string& fileName) {
  fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) error_ = errno;
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    ::close(fd_);
    fd_ = -1;
  }
  if (fd_ >= 0) size_ = st.st_size;
}

TFileInput::~TFileInput() {
  if (fd_ >= 0) ::close(fd_);
}

size_t TFileInput::ReadUpTo(int64_t offset, void* buf, size_t n) const {
  if (fd_ < 0 || offset < 0) return 0;
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  return done;
}

bool TFileInput::ReadAt(int64_t offset, void* buf, size_t n) const {
  if (offset < 0 || offset > size_ || static_cast<uint64_t>(size_ - offset) < n) return false;
  return ReadUpTo(offset, buf, n) == n;
}

std::string TFileInput::ErrorText() const { return error_ == ENODEV ? "not a regular file" : std::strerror(error_); }

}  // namespace tw
