#include "core/FileFind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"

namespace tw {

namespace {

// Length of the character at s[i]: its UTF-8 sequence, or one byte.
size_t CharLength(std::string_view s, size_t i) {
  uint32_t cp;
  const size_t n = DecodeUtf8(s, i, cp);
  return n == 0 ? 1 : n;
}

// Both sides folded. Backtracks to the last "*" only, so many stars cost
// name length times mask length at worst, never more.
bool MatchFolded(std::string_view name, std::string_view mask) {
  size_t ni = 0, mi = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (ni < name.size()) {
    if (mi < mask.size() && mask[mi] == '*') {
      starMask = ++mi;
      starName = ni;
    } else if (mi < mask.size() && mask[mi] == '?') {
      ni += CharLength(name, ni);
      ++mi;
    } else if (mi < mask.size() && mask[mi] == name[ni]) {
      ++ni;
      ++mi;
    } else if (starMask != std::string_view::npos) {
      starName += CharLength(name, starName);
      ni = starName;
      mi = starMask;
    } else {
      return false;
    }
  }
  while (mi < mask.size() && mask[mi] == '*') ++mi;
  return mi == mask.size();
}

bool MatchesAll(std::string_view mask) { return mask == "*" || mask == "*.*"; }

// One name below an open directory, never through a link.
int OpenDirAt(int dirFd, const char* name) {
  return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
}

// Descriptors the walk holds at most: the top directory's and the deepest
// ones. A tree may be nested far deeper than the process may open files.
constexpr size_t kMaxOpenDirs = 16;

TSearchRec RecordOf(std::string name, const struct stat& st) {
  TSearchRec rec;
  rec.Name = std::move(name);
  const mode_t mode = st.st_mode;
  if (S_ISDIR(mode)) rec.Attr |= faDirectory;
  if (S_ISLNK(mode)) rec.Attr |= faSymLink;
  if (S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode)) rec.Attr |= faDevice;
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) rec.Attr |= faReadOnly;
  if (!rec.Name.empty() && rec.Name[0] == '.') rec.Attr |= faHidden;
  if (S_ISREG(mode) || S_ISLNK(mode)) rec.Size = st.st_size;
  rec.MTime = st.st_mtim.tv_sec;
  rec.MTimeNsec = static_cast<int32_t>(st.st_mtim.tv_nsec);
  rec.Device = st.st_dev;
  return rec;
}

// The walk lists these only from the outside: their contents are the
// running system, not the medium.
bool IsSystemArea(std::string_view directory) {
  return directory == "/proc/" || directory == "/sys/" || directory == "/dev/";
}

std::string ErrorText(int error) { return std::strerror(error); }

// The mount a path belongs to. Devices alone cannot tell: a bind mount keeps
// its device, and a btrfs subvolume has a device of its own without being
// mounted. False where the kernel does not say.
bool MountIdOf(int dirFd, const char* name, int flags, uint64_t& id) {
#ifdef STATX_MNT_ID
  struct statx stx {};
  if (::statx(dirFd, name, flags | AT_NO_AUTOMOUNT, STATX_MNT_ID, &stx) != 0 || (stx.stx_mask & STATX_MNT_ID) == 0)
    return false;
  id = stx.stx_mnt_id;
  return true;
#else
  (void)dirFd, (void)name, (void)flags, (void)id;
  return false;
#endif
}

}  // namespace

std::string CutSpec(std::string_view spec, size_t limit) {
  if (spec.size() <= limit) return std::string(spec);
  // A sequence starting at most three bytes before the cut and running past
  // it goes entirely; bytes that are no UTF-8 are cut where they are.
  size_t cut = limit;
  for (size_t i = limit; i + 4 > limit && i > 0;) {
    --i;
    uint32_t cp;
    const size_t n = DecodeUtf8(spec, i, cp);
    if (n > 0) {
      if (i + n > limit) cut = i;
      break;
    }
  }
  return std::string(spec.substr(0, cut));
}

std::vector<TSpecPart> SplitSpec(std::string_view spec) {
  std::vector<TSpecPart> parts;
  std::string directory;
  bool first = true;
  size_t start = 0;
  while (start <= spec.size()) {
    const size_t end = std::min(spec.find(';', start), spec.size());
    const std::string_view part = spec.substr(start, end - start);
    start = end + 1;
    if (part.empty()) {
      first = false;
      continue;
    }
    const std::string full = first || part.front() == '/' ? std::string(part) : directory + std::string(part);
    first = false;
    const size_t slash = full.rfind('/');
    const size_t split = slash == std::string::npos ? 0 : slash + 1;
    directory = full.substr(0, split);
    parts.push_back({directory, full.substr(split)});
  }
  return parts;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (MatchesAll(mask)) return true;
  return MatchFolded(FoldCase(name), FoldCase(mask));
}

// --- the walk ---

struct TFileSearch::TEntry {
  TSearchRec Rec;
  int Error = 0;  // fstatat failed: reported, then skipped
};

// Closes its descriptor when the walk leaves the directory, also by an
// exception from a listener.
class TFileSearch::TDirFd {
 public:
  TDirFd() = default;
  explicit TDirFd(int fd) : fd_(fd) {}
  TDirFd(TDirFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TDirFd& operator=(TDirFd&& other) noexcept {
    Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  ~TDirFd() { Reset(); }
  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

void TFileSearch::Reset() {
  Recurse = true;
  Aborted = false;
  CollectNames = true;
  Busy = false;
  NoDuplicates = true;
  Results.clear();
  collected_.clear();
  Spec.clear();
  SpecLimit = kMaxSpecLength;
  Levels = 0;
  FoldersOnly = false;
}

void TFileSearch::Start(const std::string& spec, int32_t levels, bool foldersOnly) {
  if (Busy) throw EError("The file finder is already running.");
  Spec = CutSpec(spec, SpecLimit);
  Levels = levels;
  FoldersOnly = foldersOnly;
  Aborted = false;
  Busy = true;
  Results.clear();
  collected_.clear();
  struct TBusyGuard {
    bool& busy;
    ~TBusyGuard() { busy = false; }
  } guard{Busy};

  for (const auto& part : SplitSpec(Spec)) {
    // An abort ends the whole walk, not only the part it happened in.
    if (Aborted) break;
    mask_ = part.Mask;
    std::string path = part.Directory;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    TSearchRec top;
    const size_t slash = path.size() > 1 ? path.rfind('/') : std::string::npos;
    top.Name = slash == std::string::npos ? (path == "/" ? "" : path) : path.substr(slash + 1);
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0) top = RecordOf(top.Name, st);

    TDirFd dir(part.Directory.empty()
                   ? -1
                   : ::open(part.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (dir.Get() < 0) {
      Unreadable(part.Directory, part.Directory.empty() ? ENOENT : errno);
      continue;
    }
    if (::fstat(dir.Get(), &st) != 0) {
      Unreadable(part.Directory, errno);
      continue;
    }
    rootDevice_ = st.st_dev;
    hasRootMount_ = MountIdOf(dir.Get(), "", AT_EMPTY_PATH, rootMount_);
    path_ = part.Directory;
    Walk(std::move(dir), st, top);
  }
  if (OnDone) OnDone(*this);
}

bool TFileSearch::ReadEntries(int fd, const std::string& directory, std::vector<TEntry>& entries) {
  // The stream gets its own descriptor: closing it must leave fd open for
  // the *at() calls of the subdirectories.
  const int streamFd = ::dup(fd);
  DIR* dir = streamFd < 0 ? nullptr : ::fdopendir(streamFd);
  if (dir == nullptr) {
    const int error = errno;
    if (streamFd >= 0) ::close(streamFd);
    Unreadable(directory, error);
    return false;
  }
  int readError = 0;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir);
    if (d == nullptr) {
      readError = errno;
      break;
    }
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    TEntry entry;
    struct stat st {};
    if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      entry.Rec = RecordOf(std::string(name), st);
    } else {
      entry.Rec.Name = name;
      entry.Error = errno;
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  // The entries read before the failure are still worth recording.
  if (readError != 0) Unreadable(directory, readError);
  // The catalogue keeps entries in this order: each insert becomes an append.
  std::sort(entries.begin(), entries.end(),
            [](const TEntry& a, const TEntry& b) { return CompareNames(a.Rec.Name, b.Rec.Name) < 0; });
  return true;
}

// One directory of a walk: its entries, and how far the walk has gone
// through them.
struct TFileSearch::TFrame {
  size_t PathLength = 0;  // of path_ while the walk is in this directory
  std::vector<TEntry> Entries;
  size_t Next = 0;
  TDirFd Dir;  // closed while deeper directories hold the descriptors
  dev_t Device = 0;  // the directory as first opened: a reopened one must match
  ino_t Inode = 0;
  int Lost = 0;  // could not be reopened: the rest of its subdirectories are unreadable
};

// Each directory is reported, then its entries, then its subdirectories are
// walked in the order of its entries. The frames stand for the directories
// being walked, from the top one down; nothing here recurses, so the depth
// of a tree costs memory only.
void TFileSearch::Walk(TDirFd top, const struct stat& st, const TSearchRec& record) {
  TStack stack;
  firstOpen_ = 1;
  if (!Enter(stack, std::move(top), st, record)) return;
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (Aborted || frame.Next == frame.Entries.size()) {
      Leave(stack);
      if (!stack.empty()) Idle();
      continue;
    }
    // Stays valid while Descend pushes frames: a moved vector keeps its buffer.
    const TSearchRec& entry = frame.Entries[frame.Next].Rec;
    const bool unread = frame.Entries[frame.Next].Error != 0;
    ++frame.Next;
    Idle();
    const bool descend = Recurse && (Levels == 0 || static_cast<int64_t>(stack.size()) < Levels);
    if (descend && !unread && entry.IsDirectory()) Descend(stack, entry);
  }
}

// Lists the directory at path_ and makes it the deepest frame. False when
// it cannot be listed.
bool TFileSearch::Enter(TStack& stack, TDirFd dir, const struct stat& st, const TSearchRec& record) {
  // The new descriptor takes the place of the shallowest one below the top.
  if (stack.size() + 1 - firstOpen_ >= kMaxOpenDirs) stack[firstOpen_++].Dir.Reset();
  TFrame frame;
  if (!ReadEntries(dir.Get(), path_, frame.Entries)) return false;
  ListDir(path_, record, frame.Entries);
  frame.PathLength = path_.size();
  frame.Dir = std::move(dir);
  frame.Device = st.st_dev;
  frame.Inode = st.st_ino;
  stack.push_back(std::move(frame));
  return true;
}

void TFileSearch::Leave(TStack& stack) {
  stack.pop_back();
  if (stack.empty()) return;
  path_.resize(stack.back().PathLength);
  firstOpen_ = std::min(firstOpen_, stack.size());
}

void TFileSearch::Descend(TStack& stack, const TSearchRec& record) {
  const size_t parentLength = path_.size();
  path_.append(record.Name).push_back('/');
  TDirFd dir(OpenSubdirectory(stack, record));
  // Something else may have been mounted there since the listing.
  struct stat st {};
  if (dir.Get() >= 0 && ::fstat(dir.Get(), &st) != 0) {
    Unreadable(path_, errno);
  } else if (dir.Get() >= 0 && OnRootFileSystem(dir.Get(), "", AT_EMPTY_PATH, st.st_dev)) {
    if (Enter(stack, std::move(dir), st, record)) return;
    Idle();
  }
  path_.resize(parentLength);
}

// The subdirectory at path_ of the deepest frame, opened; -1 when it is not
// to be entered (a mount point, the system's own trees) or cannot be,
// which is reported.
int TFileSearch::OpenSubdirectory(TStack& stack, const TSearchRec& record) {
  if (IsSystemArea(path_)) return -1;
  TFrame& frame = stack.back();
  if (frame.Dir.Get() < 0 && frame.Lost == 0) frame.Lost = Reopen(stack);
  if (frame.Lost != 0) {
    Unreadable(path_, frame.Lost);
    return -1;
  }
  if (!OnRootFileSystem(frame.Dir.Get(), record.Name.c_str(), AT_SYMLINK_NOFOLLOW, record.Device)) return -1;
  const int fd = OpenDirAt(frame.Dir.Get(), record.Name.c_str());
  if (fd < 0) Unreadable(path_, errno);
  return fd;
}

// Opens the closed directories from the top one down to the deepest frame
// again, one name at a time, and keeps the deepest ones open. Each must
// still be the directory the walk first entered: one moved or replaced
// since is not walked again. Returns 0 or the error.
int TFileSearch::Reopen(TStack& stack) {
  const size_t deepest = stack.size() - 1;
  const size_t keepFrom = deepest + 2 > kMaxOpenDirs ? deepest + 2 - kMaxOpenDirs : 1;
  for (size_t i = 1; i <= deepest; ++i) {
    TFrame& parent = stack[i - 1];
    TFrame& frame = stack[i];
    const std::string name = path_.substr(parent.PathLength, frame.PathLength - parent.PathLength - 1);
    TDirFd dir(OpenDirAt(parent.Dir.Get(), name.c_str()));
    struct stat st {};
    int error = dir.Get() < 0 || ::fstat(dir.Get(), &st) != 0 ? errno : 0;
    // Another directory now: reported as a stale handle, the error a
    // network file system gives for a directory it lost.
    if (error == 0 && (st.st_dev != frame.Device || st.st_ino != frame.Inode)) error = ESTALE;
    if (error != 0) {
      for (size_t j = keepFrom; j < i; ++j) stack[j].Dir.Reset();
      return error;
    }
    frame.Dir = std::move(dir);
    if (i > 1 && i - 1 < keepFrom) parent.Dir.Reset();
  }
  firstOpen_ = keepFrom;
  return 0;
}

bool TFileSearch::OnRootFileSystem(int dirFd, const char* name, int flags, dev_t device) const {
  uint64_t id;
  if (hasRootMount_ && MountIdOf(dirFd, name, flags, id)) return id == rootMount_;
  return device == rootDevice_;
}

void TFileSearch::Unreadable(const std::string& path, int error) const {
  if (OnUnreadable) OnUnreadable(path, ErrorText(error));
}

void TFileSearch::ListDir(const std::string& directory, const TSearchRec& record,
                          const std::vector<TEntry>& entries) {
  if (OnDirectory) OnDirectory(directory, record);
  const bool all = MatchesAll(mask_);
  const std::string foldedMask = all ? std::string() : FoldCase(mask_);
  for (const auto& entry : entries) {
    if (Aborted) break;
    if (entry.Error != 0) {
      Unreadable(directory + entry.Rec.Name, entry.Error);
    } else if (all || MatchFolded(FoldCase(entry.Rec.Name), foldedMask)) {
      if (OnFile && (!FoldersOnly || entry.Rec.IsDirectory())) OnFile(directory, entry.Rec);
      if (CollectNames) AddResult(directory + entry.Rec.Name);
    }
    Idle();
  }
}

void TFileSearch::AddResult(std::string name) {
  const bool added = collected_.insert(name).second;
  if (added || !NoDuplicates) Results.push_back(std::move(name));
}

// --- mounted media ---

namespace {

bool IsUnder(std::string_view path, std::string_view area) {
  return path == area || (path.size() > area.size() && path.substr(0, area.size()) == area && path[area.size()] == '/');
}

std::string ReadWholeFile(const std::string& fileName, bool& ok) {
  std::ifstream in(fileName, std::ios::binary);
  ok = static_cast<bool>(in);
  return ok ? std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()} : std::string();
}

}  // namespace

// Pseudo file systems hold the running system's state, never files of a
// medium. The system's own areas (/proc, /sys, /dev, /run) hold the same
// kind, except the removable media the desktop mounts below /run/media.
// Snap packages are images the package manager mounts below /snap. Memory
// file systems count only where a user mounted one as a medium.
bool IsUserMount(const TMountEntry& mount) {
  static const std::vector<std::string_view> pseudo = {
      "proc",       "sysfs",     "cgroup",   "cgroup2",     "devpts",          "devtmpfs",    "securityfs",
      "debugfs",    "tracefs",   "configfs", "pstore",      "bpf",             "mqueue",      "hugetlbfs",
      "fusectl",    "autofs",    "nsfs",     "binfmt_misc", "efivarfs",        "rpc_pipefs",  "selinuxfs",
      "nfsd",       "fuse.gvfsd-fuse",       "fuse.portal", "fuse.lxcfs",      "fuse.snapfuse"};
  const std::string_view point = mount.MountPoint;
  if (point.empty() || point.front() != '/') return false;
  if (std::find(pseudo.begin(), pseudo.end(), mount.Type) != pseudo.end()) return false;
  if (IsUnder(point, "/proc") || IsUnder(point, "/sys") || IsUnder(point, "/dev") || IsUnder(point, "/snap"))
    return false;
  const bool removable = IsUnder(point, "/run/media") && point != "/run/media";
  if (IsUnder(point, "/run") && !removable) return false;
  if (mount.Type == "tmpfs" || mount.Type == "ramfs")
    return removable || (IsUnder(point, "/media") && point != "/media") || (IsUnder(point, "/mnt") && point != "/mnt");
  return true;
}

std::vector<TDriveInfo> ListDrives() { return ListDrives("/proc/self/mountinfo", "/dev/disk"); }

std::vector<TDriveInfo> ListDrives(const std::string& mountInfoFile, const std::string& diskDir) {
  bool ok;
  const auto mounts = ParseMountInfo(ReadWholeFile(mountInfoFile, ok));
  std::map<std::string, size_t> latest;
  for (size_t i = 0; i < mounts.size(); ++i) latest[mounts[i].MountPoint] = i;
  std::vector<TDriveInfo> drives;
  for (size_t i = 0; i < mounts.size(); ++i) {
    const auto& mount = mounts[i];
    if (latest[mount.MountPoint] != i || !IsUserMount(mount)) continue;
    // Files bound over files (a container's /etc/hosts) are no media.
    struct stat st {};
    if (::stat(mount.MountPoint.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    TDriveInfo drive;
    drive.RootPath = mount.MountPoint.back() == '/' ? mount.MountPoint : mount.MountPoint + "/";
    drive.Label = GetVolumeInfo(drive.RootPath, kVolumeLabel, mountInfoFile, diskDir);
    drive.Serial = GetVolumeInfo(drive.RootPath, kVolumeSerial, mountInfoFile, diskDir);
    drives.push_back(std::move(drive));
  }
  return drives;
}

int64_t ScanTotal(const std::string& path) { return ScanTotal(path, "/proc/self/mountinfo"); }

int64_t ScanTotal(const std::string& path, const std::string& mountInfoFile) {
  std::error_code ec;
  const std::string folder = std::filesystem::canonical(path, ec).string();
  if (ec) return -1;
  bool ok;
  const auto mounts = ParseMountInfo(ReadWholeFile(mountInfoFile, ok));
  if (std::none_of(mounts.begin(), mounts.end(), [&](const TMountEntry& m) { return m.MountPoint == folder; }))
    return -1;
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
  return static_cast<int64_t>((vfs.f_blocks - vfs.f_bfree) * vfs.f_frsize);
}

}  // namespace tw
