// How the commands reach their library files: readers open, writers lock
// first and save last, outputs never land on inputs, and a library path that
// is not found comes with the one that would be.
#include <sys/stat.h>

#include "base/AtomicFile.h"
#include "base/CaseFold.h"
#include "base/Error.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "state/Commands.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A path of the library that the given one names but for its separators or
// letter case; empty when there is none.
std::string NearestLibraryPath(const TLibObj& lib, std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  if (path.empty() || path.back() != '\\') path += '\\';
  if (TFolderNode* exact = FindLibraryPath(lib, path)) return exact->Data()->GetPath();
  std::string found;
  lib.Folders.ForEach([&](TFolderNode* n) {
    if (found.empty() && SameText(n->Data()->GetPath(), path)) found = n->Data()->GetPath();
  });
  return found;
}

}  // namespace

TLibObj& OpenForReading(TGlobalData& g, TCliHost& host, const std::string& file) {
  OpenLibraryCommand(g, file, false, false);
  if (host.ErrorShown) throw EReported{};  // "File not found" was shown
  return *g.CurrentLibrary;
}

TLibObj& OpenForWriting(TGlobalData& g, TCliHost& host, const std::string& file, bool create) {
  TLibObj& lib = *g.CurrentLibrary;
  lib.LockForWriting(file);
  if (create && !Exists(file)) {
    lib.StartNewFile(file);
    return lib;
  }
  return OpenForReading(g, host, file);
}

void SaveLibraryFile(TGlobalData& g, TCliHost& host, const std::string& file) {
  // The work a Ctrl+C could stop is done: from here on it would only lose it.
  host.IgnoreStop = true;
  SaveLibraryCommand(g, file);
  host.IgnoreStop = false;
  if (host.ErrorShown) throw EReported{};
}

void RefuseInputAsOutput(const std::string& output, const std::string& input) {
  const TFileStamp in = TFileStamp::Of(input), out = TFileStamp::Of(output);
  if (in.Exists && out.Exists && in.Device == out.Device && in.Inode == out.Inode)
    throw EError(output + " is the library " + input + " itself; give another file to write");
}

TFolderNode* RequireLibraryPath(const TLibObj& lib, const std::string& path) {
  if (TFolderNode* node = FindLibraryPath(lib, path)) return node;
  const std::string nearest = NearestLibraryPath(lib, path);
  throw EError("No such folder in the library: " + path + (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)"));
}

}  // namespace tw::cli
