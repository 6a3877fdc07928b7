// Language files: a "menuname:" line, a "helpfile:" line, then KEY=text
// lines that replace the texts of the windows and of the message table.
// Read as UTF-8 (Windows-1252 when the bytes are not UTF-8), written as
// UTF-8 with CR LF. Also where the program finds them: the folder it was
// installed with and the user's own folder, whose copy of a file wins.
//
// Plain values and functions, usable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw {

class TLanguageFile {
 public:
  TLanguageFile() = default;
  // Any bytes: never fails. Leading UTF-8 byte order marks are dropped.
  static TLanguageFile Parse(std::string_view bytes);
  // Raises EError "errFNF" when the file cannot be read.
  static TLanguageFile Load(const std::string& path);

  const std::vector<std::string>& Lines() const { return lines_; }
  // The first line starts with "menuname:".
  bool Offered() const;
  // The rest of the first line after "menuname:"; empty when not offered.
  std::string MenuName() const;
  // The rest of the second line when it starts with "helpfile:", else empty.
  std::string HelpFile() const;
  // The text of the first line whose part before its first "=" is `key`
  // without regard to case.
  std::optional<std::string> Find(std::string_view key) const;
  // The language's text for `key`, or `def` when it has none or an empty one.
  std::string Translate(const std::string& def, std::string_view key) const;

 private:
  std::vector<std::string> lines_;
  std::unordered_map<std::string, size_t> index_;  // folded key -> first line
};

// The lines as a language file: UTF-8, every line ending with CR LF.
std::string LanguageText(const std::vector<std::string>& lines);
// Replaces `path` by the lines at once, creating its folder when missing;
// raises EError "errWriteFile" on failure.
void WriteLanguageFile(const std::string& path, const std::vector<std::string>& lines);

// A language file found in one of the folders.
struct TLanguageEntry {
  std::string Path;
  std::string FileName;
  // The file's first line ("menuname:Deutsch"); empty when unreadable.
  std::string FirstLine;
  bool Offered() const;
  std::string MenuName() const;
};

// The files ending in ".bab" of the folders, sorted by name; a file of a
// later folder replaces one of the same name in an earlier folder.
std::vector<TLanguageEntry> ListLanguageFiles(const std::vector<std::string>& folders);

// The entry a language name selects: the first offered one whose first line
// holds the name (its first "&" removed) anywhere, case-sensitive. None for
// an empty name or when no first line holds it.
const TLanguageEntry* FindLanguage(const std::vector<TLanguageEntry>& entries, std::string name);

// The folders that ship with the program, with a trailing "/": below the
// installed data folder (<prefix>/share/tarnwex/), or the source tree's own
// folders for a program run from its build tree. `what` is "languages" or
// "manual".
std::string InstalledFolder(const std::string& what);

}  // namespace tw
