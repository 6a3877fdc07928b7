// Saved search files come from anywhere: loading any bytes either refuses the
// file with a message or gives criteria that save and load back unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Error.h"
#include "exchange/Search.h"
#include "fuzz/FuzzInput.h"

namespace {

const std::string& SavedFile() {
  static const std::string file = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "fuzz_search-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    return tmpl + "/saved.tws";
  }();
  return file;
}

bool SameSavedFields(const tw::TSearchCriteria& a, const tw::TSearchCriteria& b) {
  return a.Name == b.Name && a.Type == b.Type && a.Category == b.Category && a.Comments == b.Comments &&
         a.Date1Use == b.Date1Use && a.Date2Use == b.Date2Use && a.SizeUse == b.SizeUse &&
         a.SizeSign == b.SizeSign && a.SizeUnit == b.SizeUnit && a.SizeValue == b.SizeValue &&
         a.Location == b.Location && a.Anywhere == b.Anywhere && a.ColCaption == b.ColCaption &&
         a.ColUrl == b.ColUrl && a.ColMemo == b.ColMemo && a.MatchCase == b.MatchCase;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  tw::TSearchCriteria loaded;
  try {
    tw::LoadSearch(loaded, path);
  } catch (const tw::EError&) {
    return 0;  // not a saved search: refused with a message
  }
  if (loaded.SizeSign < 0 || loaded.SizeSign > 2 || loaded.SizeUnit < 0 || loaded.SizeUnit > 2 ||
      loaded.SizeValue < 0)
    std::abort();
  tw::SaveSearch(loaded, SavedFile());
  tw::TSearchCriteria again;
  tw::LoadSearch(again, SavedFile());
  if (!SameSavedFields(loaded, again)) std::abort();
  if (tw::SearchDateText(again.Date1) != tw::SearchDateText(loaded.Date1)) std::abort();
  return 0;
}
