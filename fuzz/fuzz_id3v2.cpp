// Any file start must read as an ID3v2 tag or as none, without a crash or a
// read outside the file, whatever its sizes say.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/ID3v2.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_id3v2: %s\n", what);
  std::abort();
}

bool Clean(const std::string& s) {
  return s.find('\0') == std::string::npos &&
         (s.empty() || (static_cast<unsigned char>(s.front()) > 32 && static_cast<unsigned char>(s.back()) > 32));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;

  tw::TID3v2 t;
  bool read = t.ReadFromFile(path);
  Check(read == (size >= 10), "result does not follow the file size");
  Check(t.Size >= 0 && static_cast<size_t>(t.Size) <= size, "tag size beyond the file");
  if (!t.Exists) Check(t.Size == 0 && t.VersionID == 0 && t.Title.empty() && t.Comment.empty(), "values without a tag");
  if (t.Size == 0 || t.VersionID < 2 || t.VersionID > 4)
    Check(t.Title.empty() && t.Artist.empty() && t.Album.empty() && t.TrackString.empty() && t.Year.empty() &&
              t.Genre.empty() && t.Comment.empty(),
          "frames read from a tag that has none to read");
  Check(Clean(t.Title) && Clean(t.Artist) && Clean(t.Album) && Clean(t.TrackString) && Clean(t.Comment),
        "a text holds a zero or is not trimmed");
  // Year and genre are cut out of a trimmed text and may end or start in a blank.
  Check(t.Year.find('\0') == std::string::npos && t.Genre.find('\0') == std::string::npos, "a text holds a zero");
  Check(t.Genre.find(')') == std::string::npos, "genre keeps a parenthesis");
  // 500 kept bytes give at most 3 UTF-8 bytes per UTF-16 unit.
  Check(t.Title.size() <= 750 && t.Comment.size() <= 750, "a text longer than its frame could give");
  return 0;
}
