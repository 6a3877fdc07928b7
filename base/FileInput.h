// A file a tag reader reads: regular files only, opened without blocking so
// a FIFO or device named like an audio file is refused at once. Reads are
// bounded by the file's size, whatever the file's own fields claim.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

// "a folder", "a FIFO", "a socket", "a device": what a file of this mode is,
// for messages about files that are not regular.
std::string FileKindName(mode_t mode);

class TFileInput {
 public:
  explicit TFileInput(const std::string& fileName);
  ~TFileInput();
  TFileInput(const TFileInput&) = delete;
  TFileInput& operator=(const TFileInput&) = delete;

  bool Ok() const { return fd_ >= 0; }
  // Why the file could not be opened as a regular file: the system's reason,
  // or what the file is instead ("a folder", "a FIFO", ...).
  std::string ErrorText() const;
  // The system's error number; 0 for a file that is no regular file.
  int ErrorCode() const { return error_; }
  int64_t Size() const { return size_; }
  // Up to n bytes at offset; the count actually read.
  size_t ReadUpTo(int64_t offset, void* buf, size_t n) const;
  // Exactly n bytes at offset, all within the file.
  bool ReadAt(int64_t offset, void* buf, size_t n) const;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  int error_ = 0;
  std::string kind_;  // what a file that is no regular file is
};

// The whole of a regular file, read without blocking on a FIFO or device;
// false with `in` telling why when it cannot be read.
bool ReadWholeFile(const TFileInput& in, std::string& text);

}  // namespace tw
