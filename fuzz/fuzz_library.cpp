// Library files come from anywhere: loading, opening and merging any bytes
// must end in a loaded library or an error, never in a crash or a leak.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "core/LibClasses.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace {

// One in-memory file for the whole run, reached through its /proc path.
int InputFile() {
  static int fd = ::memfd_create("fuzz_library", MFD_CLOEXEC);
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

template <class F>
void Try(F&& f) {
  try {
    f();
  } catch (const std::exception&) {
    // A damaged file is reported as an error: the expected outcome.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(InputFile());

  tw::TNullHost host;
  tw::TGlobalData g(host, "/nonexistent/");
  tw::TLibObj& lib = *g.CurrentLibrary;
  Try([&] { lib.LoadLibrary(path, false); });
  // Merging the same file again exercises the index offsets of collection links.
  Try([&] { lib.OpenLibrary(path, true, true); });
  lib.RecountTotals();

  g.ResetLibrary(false);
  Try([&] { g.CurrentLibrary->OpenLibrary(path, false, false); });
  return 0;
}
