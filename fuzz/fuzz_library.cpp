// Library files come from anywhere: loading, opening and merging any bytes
// must end in a loaded library or an error, never in a crash or a leak.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "core/LibClasses.h"
#include "fuzz/FuzzInput.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace {

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
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;

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
