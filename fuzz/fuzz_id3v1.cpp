// Any file end must read as an ID3v1 tag or as none, without a crash, and the
// file read must agree with the read of the same bytes in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "tags/ID3v1.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_id3v1: %s\n", what);
  std::abort();
}

bool Trimmed(const std::string& s, size_t max) {
  return s.size() <= max && s.find('\0') == std::string::npos &&
         (s.empty() || static_cast<unsigned char>(s.back()) > 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;

  tw::TID3v1 file;
  bool read = file.ReadFromFile(path);
  Check(read == (size >= 128), "result does not follow the file size");
  tw::TID3v1 memory;
  memory.ReadFromBuffer(reinterpret_cast<const char*>(data), size);
  Check(file.Exists == memory.Exists && file.Title == memory.Title && file.Artist == memory.Artist &&
            file.Album == memory.Album && file.Year == memory.Year && file.Comment == memory.Comment &&
            file.Track == memory.Track && file.GenreID == memory.GenreID && file.VersionID == memory.VersionID,
        "file and memory reads differ");
  Check(Trimmed(file.Title, 30) && Trimmed(file.Artist, 30) && Trimmed(file.Album, 30) && Trimmed(file.Year, 4) &&
            Trimmed(file.Comment, 30),
        "a text is too long, holds a zero or ends in a blank");
  if (!file.Exists)
    Check(file.Title.empty() && file.GenreID == 255 && file.Track == 0 && file.Genre().empty(),
          "values without a tag");
  if (file.VersionID == 1) Check(file.Track == 0, "ID3v1.0 with a track");
  Check(file.Comment.size() <= (file.VersionID == 2 ? 28u : 30u), "comment longer than its version allows");
  return 0;
}
