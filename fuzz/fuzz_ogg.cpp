// Ogg files come from any medium: reading any bytes must end in a result,
// never in a crash, a hang or a read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/OggVorbis.h"
#include "tags/TagClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TOggVorbis ogg;
  if (ogg.ReadFromFile(path)) {
    (void)ogg.Duration();
    (void)ogg.BitRate();
    (void)ogg.ChannelMode();
  }
  tw::TTagInfo tags;
  tw::RunOGGHandler(path, tags);
  return 0;
}
