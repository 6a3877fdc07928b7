#include "base/StringList.h"

#include <algorithm>

#include "base/CaseFold.h"
#include "base/Error.h"

namespace tw {

bool TSortedStrings::Add(const std::string& s) {
  if (IndexOf(s) >= 0) {
    if (dups_ == TDuplicates::Error) throw EError("String list does not allow duplicates");
    return false;
  }
  auto pos = std::lower_bound(items_.begin(), items_.end(), s,
                              [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
  items_.insert(pos, s);
  return true;
}

int TSortedStrings::IndexOf(std::string_view s) const {
  // Entries equal without regard to case sit next to each other, first among
  // them the one whose folded form starts the run.
  auto pos = std::lower_bound(items_.begin(), items_.end(), s,
                              [](const std::string& a, std::string_view b) { return CompareText(a, b) < 0; });
  if (pos != items_.end() && CompareText(*pos, s) == 0) return static_cast<int>(pos - items_.begin());
  return -1;
}

}  // namespace tw
