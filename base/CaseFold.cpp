#include "base/CaseFold.h"

#include "base/Utf8.h"

#include <algorithm>
#include <cstdint>

namespace tw {
namespace {

struct CaseFoldPair {
  uint32_t from;
  uint32_t to;
};
#include "CaseFoldTable.inc"

uint32_t FoldCodePoint(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  auto it = std::lower_bound(std::begin(kCaseFoldTable), std::end(kCaseFoldTable), cp,
                             [](const CaseFoldPair& p, uint32_t v) { return p.from < v; });
  return (it != std::end(kCaseFoldTable) && it->from == cp) ? it->to : cp;
}

inline unsigned char UpperByte(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string FoldCase(std::string_view s) {
  std::string out;
  AppendFolded(out, s);
  return out;
}

void AppendFolded(std::string& out, std::string_view s) {
  if (IsAscii(s)) {
    for (char c : s) out += FoldAsciiByte(c);
    return;
  }
  out.reserve(out.size() + s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    size_t len = DecodeUtf8(s, i, cp);
    if (len == 0) {  // not UTF-8: the byte folds as ASCII, i.e. stays
      out += s[i++];
      continue;
    }
    AppendUtf8(out, FoldCodePoint(cp));
    i += len;
  }
}

int CompareText(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      int d = int(FoldAsciiByte(a[i])) - int(FoldAsciiByte(b[i]));
      if (d) return Sign(d);
    }
    return Sign(int(a.size() > b.size()) - int(a.size() < b.size()));
  }
  return Sign(FoldCase(a).compare(FoldCase(b)));
}

int CompareNames(std::string_view a, std::string_view b) {
  int c = CompareText(a, b);
  return c ? c : Sign(a.compare(b));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && IsAscii(a) && IsAscii(b)) return SameTextAscii(a, b);
  return CompareText(a, b) == 0;
}

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(UpperByte(c));
  return r;
}

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = FoldAsciiByte(c);
  return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAsciiByte(a[i]) != FoldAsciiByte(b[i])) return false;
  return true;
}

}  // namespace tw
