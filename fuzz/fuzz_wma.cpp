// WMA files come from any medium: reading any bytes must end in a result,
// never in a crash, a hang or a read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/TagClasses.h"
#include "tags/WMA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TWMAfile wma;
  if (wma.ReadFromFile(path)) {
    (void)tw::WideToUtf8(wma.Title);
    (void)wma.ChannelMode();
  }
  tw::TTagInfo tags;
  tw::RunWMAHandler(path, tags);
  return 0;
}
