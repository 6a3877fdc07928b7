// FLAC files come from any medium: reading any bytes must end in a result,
// never in a crash or a read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/FLAC.h"
#include "tags/TagClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TFLACfile flac;
  if (flac.ReadFromFile(path)) {
    (void)flac.IsValid();
    (void)flac.Duration();
  }
  tw::TTagInfo tags;
  tw::RunFLACHandler(path, tags);
  return 0;
}
