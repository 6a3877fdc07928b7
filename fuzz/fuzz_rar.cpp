// The RAR lister on arbitrary files. The input's size chooses whether the
// file is read under its own name or as the first of a two-volume set (two
// symlinks, v.part1.rar and v.part2.rar, to the same input, so the volume
// change is walked too), whether a password is given and how a volume
// request is answered.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Utf8.h"
#include "core/archRAR.h"
#include "fuzz/FuzzInput.h"

namespace {

std::string setDir;

void RemoveSet() {
  if (setDir.empty()) return;
  ::unlink((setDir + "/v.part1.rar").c_str());
  ::unlink((setDir + "/v.part2.rar").c_str());
  ::rmdir(setDir.c_str());
}

// The first volume's name; empty when the links cannot be made.
const std::string& VolumeSet(const std::string& target) {
  static std::string first;
  static bool tried = false;
  if (!tried) {
    tried = true;
    char pattern[] = "/tmp/fuzz_rar_XXXXXX";
    if (::mkdtemp(pattern)) {
      setDir = pattern;
      std::atexit(RemoveSet);
      if (::symlink(target.c_str(), (setDir + "/v.part1.rar").c_str()) == 0 &&
          ::symlink(target.c_str(), (setDir + "/v.part2.rar").c_str()) == 0)
        first = setDir + "/v.part1.rar";
    }
  }
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  const size_t mode = size % 8;
  const std::string& set = VolumeSet(path);

  tw::TRAR rar;
  rar.FileName = (mode & 1) && !set.empty() ? set : path;
  rar.Mode = tw::DFRAR_LIST;
  if (mode & 2) rar.Password = "pw";
  size_t members = 0, afterClose = 0, statuses = 0;
  bool badName = false;
  rar.OnFileProcessing = [&](tw::TRAR&, const tw::TDFRARHeaderData& d, int) {
    ++members;
    if (!tw::IsValidUtf8(d.FileName) || d.FileName.find('/') != std::string::npos) badName = true;
  };
  rar.OnError = [](tw::TRAR&, const std::string&, int) {};
  rar.OnComment = [&](tw::TRAR& self, const std::string& c) {
    if (c.size() > 64 * 1024 || static_cast<int>(c.size()) != self.CommentSize()) std::abort();
  };
  rar.OnPassword = [](tw::TRAR&, std::string&) {};
  if (mode & 4) rar.OnVolChange = [](tw::TRAR&, const std::string&, int) { return true; };
  rar.OnRarStatus = [&](tw::TRAR&, const std::string&, int status) {
    ++statuses;
    if (status == tw::RAR_AFTERCLOSE) ++afterClose;
  };
  rar.Run();
  // Every member takes at least a header's worth of input per volume read.
  const size_t volumes = (mode & 1) && !set.empty() ? 2 : 1;
  if (afterClose != 1 || badName || members * 7 > size * volumes) std::abort();
  return 0;
}
