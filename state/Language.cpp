#include "state/Language.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "base/Utf8.h"

namespace tw {
namespace {

constexpr std::string_view kMenuName = "menuname:";
constexpr std::string_view kHelpFile = "helpfile:";
// Larger files are no language files; they are not read into memory.
constexpr int64_t kMaxFileSize = 16 << 20;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Lines end with CR LF, CR or LF; a last line without an end counts.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool ReadLanguageBytes(const std::string& path, std::string& bytes) {
  TFileInput in(path);
  if (!in.Ok() || in.Size() > kMaxFileSize) return false;
  return ReadWholeFile(in, bytes);
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutablePath() {
  std::string buf(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  return n > 0 ? buf.substr(0, static_cast<size_t>(n)) : std::string();
}

}  // namespace

TLanguageFile TLanguageFile::Parse(std::string_view bytes) {
  // Byte order marks some editors put first are no text (a file edited twice
  // may have two).
  while (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
  TLanguageFile file;
  file.lines_ = SplitLines(DisplayUtf8(bytes));
  for (size_t i = 0; i < file.lines_.size(); ++i) {
    const auto eq = file.lines_[i].find('=');
    if (eq == std::string::npos) continue;
    file.index_.emplace(FoldCase(std::string_view(file.lines_[i]).substr(0, eq)), i);
  }
  return file;
}

TLanguageFile TLanguageFile::Load(const std::string& path) {
  std::string bytes;
  if (!ReadLanguageBytes(path, bytes)) throw EError("errFNF", {path});
  return Parse(bytes);
}

bool TLanguageFile::Offered() const { return !lines_.empty() && StartsWith(lines_[0], kMenuName); }

std::string TLanguageFile::MenuName() const { return Offered() ? lines_[0].substr(kMenuName.size()) : std::string(); }

std::string TLanguageFile::HelpFile() const {
  if (lines_.size() < 2 || !StartsWith(lines_[1], kHelpFile)) return {};
  return lines_[1].substr(kHelpFile.size());
}

std::optional<std::string> TLanguageFile::Find(std::string_view key) const {
  const auto it = index_.find(FoldCase(key));
  if (it == index_.end()) return std::nullopt;
  const std::string& line = lines_[it->second];
  return line.substr(line.find('=') + 1);
}

std::string TLanguageFile::Translate(const std::string& def, std::string_view key) const {
  std::optional<std::string> text = Find(key);
  return text && !text->empty() ? *text : def;
}

std::string LanguageText(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void WriteLanguageFile(const std::string& path, const std::vector<std::string>& lines) {
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) {
    // Every missing folder on the way, as the user's data folder may be new.
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
      const std::string part = folder.substr(0, slash);
      if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
        throw EError("errWriteFile", {path, std::strerror(errno)});
      if (slash == std::string::npos) break;
    }
  }
  ReplaceFileContents(path, LanguageText(lines));
}

bool TLanguageEntry::Offered() const { return StartsWith(FirstLine, kMenuName); }

std::string TLanguageEntry::MenuName() const {
  return Offered() ? FirstLine.substr(kMenuName.size()) : std::string();
}

std::vector<TLanguageEntry> ListLanguageFiles(const std::vector<std::string>& folders) {
  std::vector<TLanguageEntry> entries;
  for (const std::string& raw : folders) {
    if (raw.empty()) continue;
    const std::string folder = WithSlash(raw);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* d = ::readdir(dir)) {
      const std::string name = d->d_name;
      if (name.size() <= 4 || LowerAscii(name.substr(name.size() - 4)) != ".bab") continue;
      TLanguageEntry entry{folder + name, name, {}};
      std::string bytes;
      if (ReadLanguageBytes(entry.Path, bytes)) {
        const TLanguageFile file = TLanguageFile::Parse(bytes);
        if (!file.Lines().empty()) entry.FirstLine = file.Lines().front();
      } else {
        // Unreadable: not offered, but it still hides another folder's copy.
        entry.FirstLine.clear();
      }
      auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.FileName == name; });
      if (same != entries.end())
        *same = std::move(entry);
      else
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return CompareNames(a.FileName, b.FileName) < 0; });
  return entries;
}

const TLanguageEntry* FindLanguage(const std::vector<TLanguageEntry>& entries, std::string name) {
  if (const auto amp = name.find('&'); amp != std::string::npos) name.erase(amp, 1);
  // Every first line holds the empty text: an empty name selects nothing.
  if (name.empty()) return nullptr;
  for (const auto& entry : entries)
    if (entry.Offered() && entry.FirstLine.find(name) != std::string::npos) return &entry;
  return nullptr;
}

std::string InstalledFolder(const std::string& what) {
  const std::string exe = ExecutablePath();
  if (!exe.empty()) {
    // An installed program reads its prefix's, wherever the prefix was moved.
    const std::string installed = WithSlash(FolderOf(FolderOf(exe))) + "share/tarnwex/" + what + "/";
    if (IsFolder(installed)) return installed;
    // A program of the build tree reads the source tree's folders.
    if (StartsWith(exe, WithSlash(TARNWEX_BINARY_DIR)))
      return WithSlash(TARNWEX_SOURCE_DIR) + (what == "manual" ? "doc/manual/" : what + "/");
  }
  return WithSlash(TARNWEX_INSTALL_DATADIR) + what + "/";
}

}  // namespace tw
