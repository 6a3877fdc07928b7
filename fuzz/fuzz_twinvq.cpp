// TwinVQ files come from anywhere: reading any bytes must end in a result,
// never in a read outside a buffer, a crash or a leak.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/TagClasses.h"
#include "tags/TwinVQ.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TTwinVQ reader;
  reader.ReadFromFile(path);
  tw::TTagInfo tags;
  tw::RunVQFHandler(path, tags);
  return 0;
}
