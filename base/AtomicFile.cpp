#include "base/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "base/Error.h"

namespace tw {
namespace {

constexpr int kMaxLinks = 40;
constexpr std::string_view kTempMark = ".tarnwex-";

std::string TempPrefix(const std::string& target) {
  return "." + BaseNameOf(target) + std::string(kTempMark);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

TFileStamp TFileStamp::Of(const std::string& path) {
  struct stat st {};
  TFileStamp s;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.Exists = true;
  s.Device = st.st_dev;
  s.Inode = st.st_ino;
  s.Size = st.st_size;
  s.MTimeSec = st.st_mtim.tv_sec;
  s.MTimeNsec = st.st_mtim.tv_nsec;
  return s;
}

TFileStamp TFileStamp::OfDescriptor(int fd) {
  struct stat st {};
  TFileStamp s;
  if (::fstat(fd, &st) != 0) return s;
  s.Exists = true;
  s.Device = st.st_dev;
  s.Inode = st.st_ino;
  s.Size = st.st_size;
  s.MTimeSec = st.st_mtim.tv_sec;
  s.MTimeNsec = st.st_mtim.tv_nsec;
  return s;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n <= 0) return current;
    target.resize(static_cast<size_t>(n));
    current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
  }
  return current;
}

mode_t NewFileMode() {
  // /proc/self/status names the umask since Linux 4.7; the usual one otherwise.
  std::ifstream status("/proc/self/status");
  std::string line;
  mode_t mask = 022;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) {
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      break;
    }
  return 0666 & ~mask;
}

TAtomicFile::TAtomicFile(std::string target, std::string shown)
    : target_(std::move(target)), shown_(std::move(shown)) {
  temp_ = FolderOf(target_) + "/" + TempPrefix(target_) + "XXXXXX";
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) Fail(errno);
}

TAtomicFile::~TAtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_.c_str());
}

void TAtomicFile::Fail(int error) const {
  throw EError("errWriteFile", {shown_, std::strerror(error)});
}

void TAtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

int ReplaceByTemporary(int fd, const std::string& temp, const std::string& target) {
  // A temporary file is private; the target keeps its mode, a new one gets
  // the mode any new file of the user gets.
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return errno;
  if (::rename(temp.c_str(), target.c_str()) != 0) return errno;
  SyncFolder(FolderOf(target));
  return 0;
}

TFileStamp TAtomicFile::Commit() {
  if (const int error = ReplaceByTemporary(fd_, temp_, target_)) Fail(error);
  committed_ = true;
  const TFileStamp stamp = TFileStamp::OfDescriptor(fd_);
  // The content is on disk already: closing can lose nothing more.
  ::close(fd_);
  fd_ = -1;
  return stamp;
}

void ReplaceFileContents(const std::string& file, std::string_view bytes) {
  TAtomicFile out(ResolveLinks(file), file);
  out.Write(bytes);
  out.Commit();
}

void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = TempPrefix(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* d = ::readdir(dir)) {
    const std::string_view name = d->d_name;
    // The prefix and the six characters mkstemp adds, nothing else.
    if (name.size() == prefix.size() + 6 && name.substr(0, prefix.size()) == prefix)
      ::unlinkat(::dirfd(dir), d->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace tw
