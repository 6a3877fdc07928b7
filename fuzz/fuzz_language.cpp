// Language files of any bytes: reading never fails, every line is valid
// UTF-8 without line ends, a key found maps to a text of its line, and what
// is written reads back as the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Utf8.h"
#include "state/Language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const tw::TLanguageFile file = tw::TLanguageFile::Parse(bytes);
  for (const std::string& line : file.Lines()) {
    if (!tw::IsValidUtf8(line) || line.find_first_of("\r\n") != std::string::npos) std::abort();
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const auto text = file.Find(line.substr(0, eq));
    if (!text) std::abort();
  }
  (void)file.MenuName();
  (void)file.HelpFile();
  const tw::TLanguageFile again = tw::TLanguageFile::Parse(tw::LanguageText(file.Lines()));
  // An empty last line has no end of its own to be read back by.
  std::vector<std::string> lines = file.Lines();
  if (again.Lines() != lines) std::abort();
  return 0;
}
