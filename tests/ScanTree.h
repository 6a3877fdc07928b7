// Folder trees on disk for the scan and update tests, and a compact dump of
// what a scan recorded.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/LibClasses.h"

namespace tw::test {

// A file of `size` bytes whose last-write time is `mtime` seconds after 1970 (UTC).
inline void MakeFile(const std::string& path, int64_t size, int64_t mtime = 1000000000) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << std::string(static_cast<size_t>(size), 'x');
  struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline void MakeDir(const std::string& path, int64_t mtime = 1000000000) {
  std::filesystem::create_directories(path);
  struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// `levels` folders named `name`, each in the one before, below `dir`, and a
// file `leaf` of one byte in the deepest. Made one level at a time: the
// paths soon outgrow what one system call takes. False when that fails.
inline bool MakeChain(const std::string& dir, const std::string& name, int levels, const std::string& leaf) {
  std::filesystem::create_directories(dir);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; fd >= 0 && i < levels; ++i) {
    const int next =
        ::mkdirat(fd, name.c_str(), 0755) == 0 ? ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    ::close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  const int file = ::openat(fd, leaf.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  const bool written = file >= 0 && ::write(file, "x", 1) == 1;
  if (file >= 0) ::close(file);
  ::close(fd);
  return written;
}

// One line per entry in tree order: "D " or "F " with the library path and
// the size of file entries; folder records are the "D" lines whose entries
// follow with a longer path.
inline std::vector<std::string> Dump(TFolderNode* volume) {
  std::vector<std::string> lines;
  TFolderNode* end = volume->GetNextSkippingChildren();
  for (TFolderNode* n = volume; n != end; n = n->GetNext())
    for (const auto& item : n->Data()->Items)
      lines.push_back(item->IsFolder ? "D " + item->GetItemPath()
                                     : "F " + item->GetItemPath() + " " + std::to_string(item->Size));
  return lines;
}

// The library paths of the folder records below (and with) the volume.
inline std::vector<std::string> FolderRecords(TFolderNode* volume) {
  std::vector<std::string> paths;
  TFolderNode* end = volume->GetNextSkippingChildren();
  for (TFolderNode* n = volume; n != end; n = n->GetNext()) paths.push_back(n->Data()->GetPath());
  return paths;
}

}  // namespace tw::test
