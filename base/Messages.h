// The keyed table of every text the system shows. Each line is KEY=text;
// a text holding a double quote is stored wrapped in quotes with inner quotes
// doubled. A language file replaces texts by key.
#pragma once

#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

class TMessageTable {
 public:
  TMessageTable();

  // The text for a key (without regard to case); empty when unknown.
  std::string GetText(const std::string& key) const;
  void UpperCaseKeys();

  const std::vector<std::string>& Lines() const { return lines_; }
  // Replaces the text of an existing key; false when the key is unknown.
  bool SetText(const std::string& key, const std::string& storedText);

  // The built-in lines, in order, blank group separators included.
  static const std::vector<std::string>& BuiltIn();

 private:
  void Reindex();

  std::vector<std::string> lines_;
  std::unordered_map<std::string, size_t> index_;  // upper-case key -> first line
};

// The built-in table, whatever language is chosen.
const TMessageTable& BuiltInTable();
// The built-in text of a key.
std::string BuiltInText(const std::string& key);

// The text of an error in the table's language: an EError made from a key
// is made again from the table, any other error keeps its text.
std::string TextOf(const std::exception& e, const TMessageTable& texts);

}  // namespace tw
