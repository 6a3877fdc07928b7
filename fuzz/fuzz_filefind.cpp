// The finder's path helpers on arbitrary bytes: the 255 cut, the split of
// mask lists and the mask matcher, with the properties the walk relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Utf8.h"
#include "core/FileFind.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string cut = tw::CutSpec(input);
  Check(cut.size() <= tw::kMaxSpecLength);
  Check(input.substr(0, cut.size()) == cut);
  if (input.size() <= tw::kMaxSpecLength) Check(cut.size() == input.size());
  // Valid UTF-8 stays valid, and at most one character is lost to the cut.
  if (tw::IsValidUtf8(input)) Check(tw::IsValidUtf8(cut));
  if (input.size() > tw::kMaxSpecLength) Check(cut.size() + 3 >= tw::kMaxSpecLength);

  for (const auto& part : tw::SplitSpec(cut)) {
    Check(part.Directory.empty() || part.Directory.back() == '/');
    Check(part.Mask.find('/') == std::string::npos);
    Check(part.Mask.find(';') == std::string::npos);
    Check(!part.Directory.empty() || !part.Mask.empty());
  }

  // First line a name, the rest a mask: every mask matches itself once its
  // wildcards are read as literals, "*" matches everything.
  const size_t newline = input.find('\n');
  const std::string_view name = input.substr(0, newline);
  const std::string_view mask = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  const bool matched = tw::MatchesMask(name, mask);
  Check(tw::MatchesMask(name, "*"));
  Check(tw::MatchesMask(name, "*.*"));
  if (name.find_first_of("*?") == std::string_view::npos) Check(tw::MatchesMask(name, name));
  // A star added at the end never loses a match ("*.*" alone is the one
  // mask that also matches names without a dot).
  if (matched && mask != "*.*") Check(tw::MatchesMask(name, std::string(mask) + "*"));
  return 0;
}
