// Settings files are edited by hand and cut short by crashes: any bytes must
// read as a store without a crash, and what a store writes must read back as
// the same store, before and after changes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/RegUtils.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_settings: %s\n", what);
  std::abort();
}

// The store's text, parsed again, must write the same text.
void CheckReadsBack(const std::string& text) {
  tw::TRegStore again("");
  tw::ParseRegText(text, again);
  Check(again.Serialize() == text, "a written store reads back differently");
}

std::string Slice(const std::string& s, size_t from, size_t count) {
  return from < s.size() ? s.substr(from, count) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string r = tw::kRegRoot;
  tw::TRegStore store("");
  tw::ParseRegText(input, store);

  store.ReadRegValue(r, "Version", "");
  store.ReadRegValue(r + "Defaults", "Sort", true);
  store.ReadRegValue(r + "Defaults", "Sizes", int32_t{0});
  store.TryReadString(r + "Recent\\0", "Filename");
  tw::TPlacement placement;
  store.ReadPlacement(r + "Pos\\frmMain", placement);
  store.RegKeyExists(r + "Ext\\0");
  CheckReadsBack(store.Serialize());

  // Names, texts and key paths taken from the input itself.
  const std::string key = r + "Fuzz\\" + Slice(input, 0, 12);
  const std::string name = Slice(input, 12, 12);
  const std::string text = Slice(input, 24, 64);
  store.WriteRegValue(key, name, text);
  store.WriteRegValue(key, name + "#", int32_t(size));
  store.DeleteRegKey(r + "Defaults");
  const bool keyFits = key.find_first_of("\r\n") == std::string::npos;
  Check(store.ReadRegValue(key, name, "\x01 default") == (keyFits ? text : "\x01 default"),
        "a written text reads back differently");
  Check(store.ReadRegValue(key, name + "#", int32_t{-1}) == (keyFits ? int32_t(size) : -1),
        "a written integer reads back differently");
  Check(!store.RegKeyExists(r + "Defaults"), "a deleted key is still there");
  CheckReadsBack(store.Serialize());
  return 0;
}
