// The user's word lists (favorites, tag captions, locations, categories) in
// their text files, and the favorites and recent-files menus as plain lists.
#pragma once

#include <string>
#include <vector>

#include "base/StringList.h"

namespace tw {

// Lines of a list file: one entry a line, blank lines skipped. Raises EError
// when the file cannot be read.
std::vector<std::string> ReadListFile(const std::string& file);
// Writes the entries, each followed by CR LF, replacing the file at once
// (its folder is created when missing). Raises EError on failure.
void WriteListFile(const std::string& file, const std::vector<std::string>& lines);
// Replaces a file by the text at once: a temporary file beside it, flushed
// and renamed over it. Raises EError on failure.
void WriteTextFile(const std::string& file, const std::string& text);

// Replaces the list by the lines given; lines the list refuses as duplicates
// are left out.
void ReplaceList(TSortedStrings& list, const std::vector<std::string>& lines);

// One entry of the Favorites menu: the favorite's name and its library path.
struct TFavoriteEntry {
  std::string Caption;
  std::string Hint;
};
// The entries after the menu's fixed part, in list order; the path is the
// value of the first line with the entry's name.
std::vector<TFavoriteEntry> FavoriteEntries(const TSortedStrings& favorites);

// The Reopen menu: file paths, most recent first.
void AddRecentFile(std::vector<std::string>& recent, const std::string& fileName, int limit);
// "&" + position from 1 + " " + path.
std::string RecentCaption(int index, const std::string& path);

}  // namespace tw
