// The ZIP member lister on arbitrary files. The first input byte chooses
// whether the file is read under its own name or through a symlink named
// x.exe (the self-extractor path that starts the local-header walk at byte
// 14000) and whether messages are shown (no host: nothing is shown anyway).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Error.h"
#include "core/archZIP.h"
#include "fuzz/FuzzInput.h"

namespace {

std::string exeDir;
std::string exeLink;

void RemoveExeLink() {
  if (!exeLink.empty()) ::unlink(exeLink.c_str());
  if (!exeDir.empty()) ::rmdir(exeDir.c_str());
}

// A symlink named x.exe in a temporary folder to the in-memory input file,
// made once; empty when it cannot be made.
const std::string& ExeLink(const std::string& target) {
  static bool tried = false;
  if (!tried) {
    tried = true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_zip.XXXXXX";
    if (::mkdtemp(pattern.data())) {
      exeDir = pattern;
      std::string link = exeDir + "/x.exe";
      if (::symlink(target.c_str(), link.c_str()) == 0) exeLink = link;
      std::atexit(RemoveExeLink);
    }
  }
  return exeLink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;
  const uint8_t mode = size > 0 ? data[0] : 0;
  const std::string& link = ExeLink(path);
  tw::TZip zip;
  zip.SetShowMessages((mode & 2) != 0);
  bool updated = false;
  zip.OnDirUpdate = [&updated](tw::TZip&) { updated = true; };
  try {
    zip.SetZipFilename((mode & 1) && !link.empty() ? link : path);
  } catch (const tw::EError&) {
  }
  // Every name is a distinct run of input bytes; the event is always raised.
  uint64_t names = 0;
  for (const auto& e : zip.Entries()) names += e.FileName.size();
  if (!updated || names > size) std::abort();
  return 0;
}
