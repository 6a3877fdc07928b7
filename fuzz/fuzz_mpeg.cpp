// MPEG audio files come from anywhere: reading any bytes must end in a result,
// never in a read outside a buffer, a crash or a leak.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "tags/MPEGaudio.h"
#include "tags/TagClasses.h"

namespace {

// One in-memory file for the whole run, reached through its /proc path.
int InputFile() {
  static int fd = ::memfd_create("fuzz_mpeg", MFD_CLOEXEC);
  return fd;
}

bool WriteInput(const uint8_t* data, size_t size) {
  int fd = InputFile();
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return false;
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(InputFile());
  tw::TMPEGaudio reader;
  reader.ReadFromFile(path);
  tw::TTagInfo tags;
  tw::RunMPGHandler(path, tags);
  return 0;
}
