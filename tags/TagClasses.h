// The tag lines of a file entry: Name=Value, in the order names were first
// added; no stored value is empty or "0".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

class TSortedStrings;

class TTagInfo {
 public:
  explicit TTagInfo(TSortedStrings* globalTags = nullptr) : GlobalTags(globalTags) {}

  std::vector<std::string> Tags;
  TSortedStrings* GlobalTags;  // the caption list, not owned; may be absent

  void AddTag(const std::string& name, const std::string& value);
  void AddTag(const std::string& name, int64_t value);
  void AddTag(const std::string& name, double value);

  // Index of the line named `name` (without regard to case), -1 when absent.
  int IndexOfName(const std::string& name) const;
};

}  // namespace tw
