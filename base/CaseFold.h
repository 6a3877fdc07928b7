// Comparison "without regard to case": Unicode simple case folding for valid
// UTF-8, ASCII folding for any other byte. Sorted name lists order by folded
// bytes, then by raw bytes, so two names differing only in case both fit.
#pragma once

#include <string>
#include <string_view>

namespace tw {

std::string FoldCase(std::string_view s);
// FoldCase's text appended to `out`: no string of its own per text.
void AppendFolded(std::string& out, std::string_view s);
bool IsAscii(std::string_view s);
inline char FoldAsciiByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// <0, 0, >0 on the folded forms only.
int CompareText(std::string_view a, std::string_view b);
// Folded forms first, raw bytes to break ties: a total order for name lists.
int CompareNames(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace tw
