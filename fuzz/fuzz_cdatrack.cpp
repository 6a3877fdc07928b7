// CD track files and the CD player database come from anywhere: the first 44
// bytes of the input are the track file, the rest the database.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/CDAtrack.h"

namespace {

std::string WriteDatabase(const uint8_t* data, size_t size) {
  static int fd = ::memfd_create("fuzz_database", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return {};
  if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return {};
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t trackSize = size < 44 ? size : 44;
  const std::string track = tw::fuzz::WriteInputFile(data, trackSize);
  const std::string database = WriteDatabase(data + trackSize, size - trackSize);
  if (track.empty() || database.empty()) return 0;
  tw::TCDAtrack reader(database);
  reader.ReadFromFile(track);
  return 0;
}
