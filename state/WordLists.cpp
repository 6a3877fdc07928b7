#include "state/WordLists.h"

#include <sys/stat.h>

#include <algorithm>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "base/TextUtils.h"

namespace tw {
namespace {

void MakeFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
    ::mkdir(file.substr(0, slash).c_str(), 0777);
}

}  // namespace

std::vector<std::string> ReadListFile(const std::string& file) {
  const TFileInput in(file);
  std::string text;
  if (!ReadWholeFile(in, text)) throw EError(file + ": " + in.ErrorText());
  std::vector<std::string> lines = SplitLines(text);
  lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
  return lines;
}

void WriteListFile(const std::string& file, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text.append(line).append("\r\n");
  WriteTextFile(file, text);
}

void WriteTextFile(const std::string& file, const std::string& text) {
  MakeFolders(file);
  ReplaceFileContents(file, text);
}

void ReplaceList(TSortedStrings& list, const std::vector<std::string>& lines) {
  list.Clear();
  for (const auto& line : lines) {
    if (list.Contains(line)) continue;
    list.Add(line);
  }
}

std::vector<TFavoriteEntry> FavoriteEntries(const TSortedStrings& favorites) {
  std::vector<TFavoriteEntry> entries;
  for (const auto& line : favorites) {
    std::string name = line.substr(0, line.find('='));
    // The path of the first line with this name.
    std::string hint;
    for (const auto& other : favorites) {
      auto eq = other.find('=');
      if (other.substr(0, eq) == name) {
        hint = eq == std::string::npos ? std::string() : other.substr(eq + 1);
        break;
      }
    }
    entries.push_back({name, hint});
  }
  return entries;
}

void AddRecentFile(std::vector<std::string>& recent, const std::string& fileName, int limit) {
  auto found = std::find(recent.rbegin(), recent.rend(), fileName);  // the last one counts
  if (found == recent.rend()) {
    if (!recent.empty() && static_cast<int>(recent.size()) >= limit) recent.pop_back();
  } else {
    recent.erase(std::next(found).base());
  }
  recent.insert(recent.begin(), fileName);
}

std::string RecentCaption(int index, const std::string& path) { return "&" + std::to_string(index + 1) + " " + path; }

}  // namespace tw
