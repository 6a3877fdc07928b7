#include "base/FileInput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

std::string FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "no regular file";
}

TFileInput::TFileInput(const std::string& fileName) {
  fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) error_ = errno;
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) != 0) {
    error_ = errno;
    ::close(fd_);
    fd_ = -1;
  } else if (fd_ >= 0 && !S_ISREG(st.st_mode)) {
    kind_ = FileKindName(st.st_mode);
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

std::string TFileInput::ErrorText() const { return kind_.empty() ? std::strerror(error_) : "not a file but " + kind_; }

bool ReadWholeFile(const TFileInput& in, std::string& text) {
  if (!in.Ok()) return false;
  text.assign(static_cast<size_t>(in.Size()), '\0');
  text.resize(in.ReadUpTo(0, text.data(), text.size()));
  return true;
}

}  // namespace tw
