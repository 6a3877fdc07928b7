// The readers open files by name: each input becomes the content of one
// in-memory file, reached through its /proc path.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw::fuzz {

// Replaces the in-memory file's content by the input and returns its path;
// empty when the file cannot be written.
inline std::string WriteInputFile(const uint8_t* data, size_t size) {
  static int fd = ::memfd_create("fuzz_input", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return {};
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return {};
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace tw::fuzz
