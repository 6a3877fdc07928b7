#include "tags/TagClasses.h"

#include <cstdio>

#include "core/CaseFold.h"
#include "core/StringList.h"
#include "state/Globals.h"

namespace tw {

int TTagInfo::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < Tags.size(); ++i) {
    std::string_view line = Tags[i];
    if (SameText(line.substr(0, line.find('=')), name)) return static_cast<int>(i);
  }
  return -1;
}

void TTagInfo::AddTag(const std::string& name, const std::string& value) {
  std::string text = value.substr(0, value.find('\0'));
  if (text.empty() || text == "0") return;
  int i = IndexOfName(name);
  if (i >= 0)
    Tags[i] = Tags[i].substr(0, Tags[i].find('=') + 1) + text;
  else
    Tags.push_back(name + "=" + text);

  TGlobalData* g = GlobalData();
  if (GlobalTags && g && g->AddTagsToGlobals) {
    for (const auto& line : *GlobalTags)
      if (SameText(std::string_view(line).substr(0, line.find('=')), name)) return;
    GlobalTags->Add(name + "=" + name);
  }
}

void TTagInfo::AddTag(const std::string& name, int64_t value) { AddTag(name, std::to_string(value)); }

void TTagInfo::AddTag(const std::string& name, double value) {
  // Shortest general form with up to 15 significant digits.
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  AddTag(name, std::string(buf));
}

}  // namespace tw
