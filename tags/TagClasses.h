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
  // Where the names of added tags go (the caption list, or the names a scan
  // collects for it), not owned; absent when names are not collected.
  TSortedStrings* GlobalTags;

  void AddTag(const std::string& name, const std::string& value);
  void AddTag(const std::string& name, int64_t value);
  void AddTag(const std::string& name, double value);

  // Index of the line named `name` (without regard to case), -1 when absent.
  int IndexOfName(const std::string& name) const;

  // Operations of the tag dialogs on plain Name=Value lists; `globals` is the
  // caption list (Name=Caption lines).
  static void IntersectTags(const std::vector<std::string>& source, std::vector<std::string>& common);
  static void ApplyTags(const std::vector<std::string>& edited, std::vector<std::string>& target);
  static void TagsToCaptions(const std::vector<std::string>& tags, std::vector<std::string>& display,
                             const std::vector<std::string>& globals);
  static void CaptionsToTags(const std::vector<std::string>& display, std::vector<std::string>& tags,
                             const std::vector<std::string>& globals);
  static void TagCaptions(const std::vector<std::string>& globals, std::vector<std::string>& out);
  static void SwapNamesAndValues(const std::vector<std::string>& list, std::vector<std::string>& out);
};

// The text of a duration or position: shortest general form, up to 15
// significant digits, the user's decimal separator; empty when not finite.
std::string FloatToTagText(double value);

}  // namespace tw
