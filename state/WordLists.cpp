#include "state/WordLists.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/TextUtils.h"
#include "base/Error.h"
#include "state/Globals.h"

namespace tw {
namespace {

std::string Reason() { return std::strerror(errno); }

void MakeFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
    ::mkdir(file.substr(0, slash).c_str(), 0777);
}

}  // namespace

std::vector<std::string> ReadListFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw EError(file + ": " + Reason());
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines = SplitLines(text.str());
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
  std::string temp = file + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) throw EError(Format(GetTextOrDefault("errWriteFile"), {file, Reason()}));
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  int err = errno;
  ::close(fd);
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp.c_str(), 0666 & ~mask);
  if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
    if (ok) err = errno;
    ::unlink(temp.c_str());
    throw EError(Format(GetTextOrDefault("errWriteFile"), {file, std::strerror(err)}));
  }
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
