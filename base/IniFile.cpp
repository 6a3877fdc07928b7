#include "base/IniFile.h"

#include <charconv>

#include "base/AtomicFile.h"
#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "base/TextUtils.h"

namespace tw {
namespace {

std::string TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

}  // namespace

TIniFile::TIniFile(const std::string& file) {
  std::string text;
  if (ReadWholeFile(TFileInput(file), text)) Parse(text);
}

TIniFile TIniFile::Load(const std::string& file) {
  const TFileInput in(file);
  std::string text;
  if (!ReadWholeFile(in, text)) throw EError("errReadFolder", {file, in.ErrorText()});
  TIniFile ini;
  ini.Parse(text);
  return ini;
}

void TIniFile::Parse(const std::string& text) {
  sections_.clear();
  TSection* current = nullptr;
  for (const auto& raw : SplitLines(text)) {
    std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      auto close = line.find(']');
      if (close == std::string::npos) continue;
      current = &Get(TrimBlanks(std::string_view(line).substr(1, close - 1)));
      continue;
    }
    auto eq = line.find('=');
    if (eq == std::string::npos || !current) continue;
    std::string key = TrimBlanks(std::string_view(line).substr(0, eq));
    if (key.empty()) continue;
    std::string value = TrimBlanks(std::string_view(line).substr(eq + 1));
    bool found = false;
    for (auto& [k, v] : current->Values)
      if (SameTextAscii(k, key)) {
        found = true;  // the first occurrence wins, as a lookup would find it
        break;
      }
    if (!found) current->Values.emplace_back(key, value);
  }
}

std::string TIniFile::Text() const {
  std::string out;
  for (const auto& s : sections_) {
    out += "[" + s.Name + "]\r\n";
    for (const auto& [k, v] : s.Values) out += k + "=" + v + "\r\n";
    out += "\r\n";
  }
  return out;
}

void TIniFile::Save(const std::string& file) const {
  ReplaceFileContents(file, Text());
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
  for (const auto& s : sections_)
    if (SameTextAscii(s.Name, section)) return &s;
  return nullptr;
}

TIniFile::TSection& TIniFile::Get(const std::string& section) {
  for (auto& s : sections_)
    if (SameTextAscii(s.Name, section)) return s;
  sections_.push_back({section, {}});
  return sections_.back();
}

bool TIniFile::SectionExists(const std::string& section) const { return Find(section) != nullptr; }

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  const TSection* s = Find(section);
  if (!s) return false;
  for (const auto& [k, v] : s->Values)
    if (SameTextAscii(k, key)) return true;
  return false;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  if (const TSection* s = Find(section))
    for (const auto& [k, v] : s->Values)
      if (SameTextAscii(k, key)) return v;
  return def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  std::string v = ReadString(section, key, std::string());
  int32_t n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  return v.empty() || ec != std::errc() || end != v.data() + v.size() ? def : n;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  TSection& s = Get(section);
  for (auto& [k, v] : s.Values)
    if (SameTextAscii(k, key)) {
      v = value;
      return;
    }
  s.Values.emplace_back(key, value);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it)
    if (SameTextAscii(it->Name, section)) {
      sections_.erase(it);
      return;
    }
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const auto& s : sections_) names.push_back(s.Name);
  return names;
}

std::vector<std::string> TIniFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  if (const TSection* s = Find(section))
    for (const auto& [k, v] : s->Values) keys.push_back(k);
  return keys;
}

}  // namespace tw
