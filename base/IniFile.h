// INI files (saved searches, the CD player database): "[section]" lines and
// "key=value" lines. Section and key names compare without regard to case;
// keys keep the order they were first written in. Written with CR LF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class TIniFile {
 public:
  TIniFile() = default;
  // Reads the file; a missing or unreadable file (or one that is no regular
  // file) gives an empty one.
  explicit TIniFile(const std::string& file);
  // Reads the file; raises EError naming it when it cannot be read.
  static TIniFile Load(const std::string& file);

  // Lines that are neither a section, a key nor blank (comments starting
  // with ";" or "#" too) are ignored; keys before the first section are dropped.
  void Parse(const std::string& text);
  std::string Text() const;
  // Replaces the file at once; raises EError on failure.
  void Save(const std::string& file) const;

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // A value that is not a whole decimal number gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  // "1" is true, "0" false; anything else reads as an integer, not 0 being true.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  void EraseSection(const std::string& section);

  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;

 private:
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Values;
  };
  const TSection* Find(const std::string& section) const;
  TSection& Get(const std::string& section);

  std::vector<TSection> sections_;
};

}  // namespace tw
