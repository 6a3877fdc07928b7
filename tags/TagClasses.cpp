#include "tags/TagClasses.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "base/CaseFold.h"
#include "base/StringList.h"

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

  if (GlobalTags) {
    for (const auto& line : *GlobalTags)
      if (SameText(std::string_view(line).substr(0, line.find('=')), name)) return;
    GlobalTags->Add(name + "=" + name);
  }
}

void TTagInfo::AddTag(const std::string& name, int64_t value) { AddTag(name, std::to_string(value)); }

std::string FloatToTagText(double value) {
  if (!std::isfinite(value)) return {};
  if (value == 0) value = 0;  // -0 reads as 0 and is dropped like it
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string text(buf);
  // snprintf follows LC_NUMERIC; make the separator the user's one explicitly.
  const char* point = std::localeconv()->decimal_point;
  std::string sep = point && *point ? point : ".";
  if (sep != ".") {
    size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, sep);
  }
  return text;
}

void TTagInfo::AddTag(const std::string& name, double value) { AddTag(name, FloatToTagText(value)); }

namespace {

std::string_view NameOf(std::string_view line) { return line.substr(0, line.find('=')); }
std::string_view ValueOf(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}
// First line named `name` without regard to case, -1 when absent.
int FindName(const std::vector<std::string>& list, std::string_view name) {
  for (size_t i = 0; i < list.size(); ++i)
    if (SameText(NameOf(list[i]), name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

void TTagInfo::IntersectTags(const std::vector<std::string>& source, std::vector<std::string>& common) {
  if (common.empty()) {
    common = source;
    return;
  }
  std::vector<std::string> kept;
  for (const auto& line : common) {
    int i = FindName(source, NameOf(line));
    if (i >= 0 && ValueOf(source[i]) == ValueOf(line)) kept.push_back(line);
  }
  common = std::move(kept);
}

void TTagInfo::ApplyTags(const std::vector<std::string>& edited, std::vector<std::string>& target) {
  for (const auto& line : edited) {
    std::string_view value = ValueOf(line);
    if (value.empty() || value == "0") continue;
    int i = FindName(target, NameOf(line));
    if (i >= 0)
      target[i] = std::string(NameOf(target[i])) + "=" + std::string(value);
    else
      target.push_back(line);
  }
}

void TTagInfo::TagsToCaptions(const std::vector<std::string>& tags, std::vector<std::string>& display,
                              const std::vector<std::string>& globals) {
  display.clear();
  for (const auto& line : tags) {
    int g = FindName(globals, NameOf(line));
    std::string caption = g >= 0 ? std::string(ValueOf(globals[g])) : std::string();
    display.push_back(caption + "=" + std::string(ValueOf(line)));
  }
}

void TTagInfo::CaptionsToTags(const std::vector<std::string>& display, std::vector<std::string>& tags,
                              const std::vector<std::string>& globals) {
  tags.clear();
  std::vector<std::string> byCaption;
  SwapNamesAndValues(globals, byCaption);
  for (const auto& line : display) {
    int g = FindName(byCaption, NameOf(line));
    std::string name = g >= 0 ? std::string(ValueOf(byCaption[g])) : std::string();
    tags.push_back(name + "=" + std::string(ValueOf(line)));
  }
}

void TTagInfo::TagCaptions(const std::vector<std::string>& globals, std::vector<std::string>& out) {
  out.clear();
  for (const auto& line : globals) out.emplace_back(ValueOf(line));
}

void TTagInfo::SwapNamesAndValues(const std::vector<std::string>& list, std::vector<std::string>& out) {
  out.clear();
  for (const auto& line : list) out.push_back(std::string(ValueOf(line)) + "=" + std::string(NameOf(line)));
}

}  // namespace tw
