// INI text of any bytes: parsing never fails, and what it writes reads back
// as the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tw::TIniFile ini;
  ini.Parse(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& s : ini.Sections())
    for (const auto& k : ini.Keys(s)) (void)ini.ReadInteger(s, k, 0);
  std::string text = ini.Text();
  tw::TIniFile again;
  again.Parse(text);
  if (again.Text() != text) std::abort();
  return 0;
}
