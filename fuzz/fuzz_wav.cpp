// WAV files come from any medium: reading any bytes must end in a result,
// never in a crash or a read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/TagClasses.h"
#include "tags/WAV.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TWAVfile wav;
  if (wav.ReadFromFile(path)) {
    (void)wav.Duration();
    (void)wav.ChannelMode();
  }
  tw::TTagInfo tags;
  tw::RunWAVHandler(path, tags);
  return 0;
}
