// `tarnwex-cli add` over trees of 200,000 and 400,000 files, timed against
// `find -printf '%s %T@'` of the same tree in the same run: both read only the
// names, sizes and dates, so the scan should stay within a small factor of
// find, and twice the files should cost about twice the time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

#ifndef TARNWEX_CLI
#error "TARNWEX_CLI must name the tarnwex-cli binary"
#endif

namespace {

using namespace tw::bench;

constexpr double kFindRatioLimit = 2.0;  // add over find, first tree
constexpr double kGrowthLimit = 2.2;     // add of the large tree over the small one

constexpr int kBigFiles = 20000;         // files in each of the crowded folders
constexpr int64_t kMaxSize = 64 * 1024;  // sizes run 0..64 KB
constexpr int64_t kBaseTime = 1609459200;  // 2021-01-01 00:00:00 UTC

// Bumped whenever the trees change, so that older trees are made again.
const char* kStamp = "bench_scan tree 1";

const char* kUsage =
    "usage: bench_scan [DIR]   time tarnwex-cli add over DIR/scan-200k and DIR/scan-400k against find\n"
    "DIR defaults to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench; the trees are made when missing.\n";

// Half the files sit in a few folders of 20,000 (a camera dump, a mail
// spool); the other half spread thinly over folders two or three deep.
struct TTreeShape {
  std::string Name;
  int BigFolders = 0;
  int SmallFolders = 0;
  int SmallFiles = 0;

  int Files() const { return BigFolders * kBigFiles + SmallFiles; }
  int Folders() const { return BigFolders + SmallFolders; }
};

// No extension a handler claims (.mp3, .zip, ...): the figure is the walk and
// the recording, not tag or archive reading.
const char* const kExtensions[] = {".txt", ".dat", ".jpg", ".doc", ".bin", ".log", ".png", ".cfg"};

// Fixed but varied per file, so that every run makes the same tree.
uint64_t Mix(uint64_t i) {
  i += 0x9E3779B97F4A7C15ull;
  i = (i ^ (i >> 30)) * 0xBF58476D1CE4E5B9ull;
  i = (i ^ (i >> 27)) * 0x94D049BB133111EBull;
  return i ^ (i >> 31);
}

int64_t FileBytes(int64_t index) { return static_cast<int64_t>(Mix(static_cast<uint64_t>(index)) % (kMaxSize + 1)); }

timespec FileTime(int64_t index) {
  return {static_cast<time_t>(kBaseTime + static_cast<int64_t>(Mix(~static_cast<uint64_t>(index)) % (365 * 86400))),
          0};
}

class TTreeWriter {
 public:
  int64_t Files = 0;
  int64_t Bytes = 0;

  void Folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    folders_.push_back(path);
  }

  // A file of `count` in `folder`, empty but sized with ftruncate: sparse,
  // so the trees take inodes rather than disk space.
  void FilesIn(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      const int64_t index = Files++;
      char name[48];
      std::snprintf(name, sizeof name, "/file-%07" PRId64 "%s", index, kExtensions[index % 8]);
      const std::string path = folder + name;
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
      const int64_t size = FileBytes(index);
      const timespec t = FileTime(index);
      const timespec times[2] = {t, t};
      bool ok = ::ftruncate(fd, size) == 0 && ::futimens(fd, times) == 0;
      ok = ::close(fd) == 0 && ok;
      if (!ok) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
      Bytes += size;
    }
  }

  // Folder dates last, once no more entries change them.
  void DateFolders() {
    for (size_t i = 0; i < folders_.size(); ++i) {
      const timespec t = {static_cast<time_t>(kBaseTime + static_cast<int64_t>(i) * 60), 0};
      const timespec times[2] = {t, t};
      if (::utimensat(AT_FDCWD, folders_[i].c_str(), times, 0) != 0)
        throw std::runtime_error("cannot date " + folders_[i] + ": " + std::strerror(errno));
    }
  }

 private:
  std::vector<std::string> folders_;
};

void WriteTree(const std::string& root, const TTreeShape& shape) {
  TTreeWriter w;
  w.Folder(root);
  char name[32];
  for (int b = 0; b < shape.BigFolders; ++b) {
    std::snprintf(name, sizeof name, "/big-%02d", b);
    w.Folder(root + name);
    w.FilesIn(root + name, kBigFiles);
  }
  // Groups of one top folder, 20 below it and 4 below every other one of
  // those; each folder gets its even share of the files.
  int made = 0;
  auto folder = [&](const std::string& path) {
    w.Folder(path);
    const int64_t from = int64_t{made} * shape.SmallFiles / shape.SmallFolders;
    const int64_t to = int64_t{made + 1} * shape.SmallFiles / shape.SmallFolders;
    ++made;
    w.FilesIn(path, static_cast<int>(to - from));
  };
  for (int g = 0; made < shape.SmallFolders; ++g) {
    std::snprintf(name, sizeof name, "/group-%04d", g);
    const std::string top = root + name;
    folder(top);
    for (int s = 0; s < 20 && made < shape.SmallFolders; ++s) {
      std::snprintf(name, sizeof name, "/sub-%02d", s);
      const std::string mid = top + name;
      folder(mid);
      for (int t = 0; s % 2 == 0 && t < 4 && made < shape.SmallFolders; ++t) {
        std::snprintf(name, sizeof name, "/leaf-%d", t);
        folder(mid + name);
      }
    }
  }
  w.DateFolders();
  if (w.Files != shape.Files()) throw std::runtime_error("made " + std::to_string(w.Files) + " files");
}

// The sum of the sizes a tree of `shape` carries, for checking the library.
int64_t TreeBytes(const TTreeShape& shape) {
  int64_t bytes = 0;
  for (int64_t i = 0; i < shape.Files(); ++i) bytes += FileBytes(i);
  return bytes;
}

std::string ShapeStamp(const TTreeShape& shape) {
  return std::string(kStamp) + ": " + std::to_string(shape.Files()) + " files, " + std::to_string(shape.BigFolders) +
         " x " + std::to_string(kBigFiles) + " + " + std::to_string(shape.SmallFolders) + " folders";
}

// The marker sits beside the tree, not in it, so that it is no entry of the
// scan; it is written last, so its presence means the tree is complete.
void EnsureTree(const std::string& dir, const TTreeShape& shape) {
  const std::string root = dir + "/" + shape.Name;
  const std::string marker = root + ".complete";
  {
    std::ifstream in(marker);
    std::string stamp;
    if (std::getline(in, stamp) && stamp == ShapeStamp(shape)) return;
  }
  std::printf("generating %s ...\n", root.c_str());
  std::fflush(stdout);
  const double start = Now();
  ::unlink(marker.c_str());
  std::filesystem::remove_all(root);
  WriteTree(root, shape);
  std::ofstream out(marker);
  out << ShapeStamp(shape) << '\n';
  out.close();
  if (!out) throw std::runtime_error("cannot write " + marker);
  std::printf("generated in %.1f s\n", Now() - start);
}

double TimeFind(const std::string& root) {
  TChildResult r = RunChild({"find", root, "-printf", "%s %T@\n"}, false);
  if (r.Status != 0) throw std::runtime_error("find " + root + " failed");
  return r.Seconds;
}

// A new library each time: the scan, the recording and the save.
double TimeAdd(const std::string& lib, const std::string& root) {
  if (::unlink(lib.c_str()) != 0 && errno != ENOENT) throw std::runtime_error("cannot delete " + lib);
  TChildResult r = RunChild({TARNWEX_CLI, "add", lib, root, "-q"}, false);
  if (r.Status != 0) throw std::runtime_error("tarnwex-cli add " + lib + " " + root + " failed");
  return r.Seconds;
}

// What `info --json` says the library holds must be the whole tree.
void CheckLibrary(const std::string& lib, const TTreeShape& shape) {
  TChildResult r = RunChild({TARNWEX_CLI, "info", lib, "--json", "-q"}, true);
  if (r.Status != 0) throw std::runtime_error("tarnwex-cli info " + lib + " failed");
  const nlohmann::json stats = nlohmann::json::parse(r.Output).at("statistics");
  const int64_t files = stats.at("files").get<int64_t>();
  const int64_t folders = stats.at("folders").get<int64_t>();
  const int64_t bytes = stats.at("totalSize").get<int64_t>();
  const int64_t volumes = stats.at("volumes").get<int64_t>();
  if (volumes != 1 || files != shape.Files() || folders != shape.Folders() || bytes != TreeBytes(shape))
    throw std::runtime_error(lib + " holds " + std::to_string(volumes) + " volumes, " + std::to_string(folders) +
                             " folders, " + std::to_string(files) + " files, " + std::to_string(bytes) +
                             " bytes; expected 1, " + std::to_string(shape.Folders()) + ", " +
                             std::to_string(shape.Files()) + ", " + std::to_string(TreeBytes(shape)));
  std::printf("  library: %" PRId64 " volume, %" PRId64 " folders, %" PRId64 " files, %" PRId64 " bytes: as generated\n",
              volumes, folders, files, bytes);
}

struct TTimes {
  double Find = 0;
  double Add = 0;
};

// One warm-up of each so that both start from a hot page cache, then the
// best of 3 of each.
TTimes TimeTree(const std::string& dir, const TTreeShape& shape) {
  const std::string root = dir + "/" + shape.Name;
  const std::string lib = dir + "/" + shape.Name + ".twl";
  TimeFind(root);
  TimeAdd(lib, root);
  TTimes t;
  t.Find = BestOf(3, [&] { return TimeFind(root); });
  t.Add = BestOf(3, [&] { return TimeAdd(lib, root); });
  std::printf("%s: %d files in %d folders (%d of %d files)\n", root.c_str(), shape.Files(), shape.Folders(),
              shape.BigFolders, kBigFiles);
  std::printf("  %-44s %9.3f s\n", "find TREE -printf '%s %T@\\n' > /dev/null", t.Find);
  std::printf("  %-44s %9.3f s  %8.0f files/s\n", "tarnwex-cli add LIB TREE -q (new library)", t.Add,
              shape.Files() / t.Add);
  CheckLibrary(lib, shape);
  ::unlink(lib.c_str());
  return t;
}

bool Verdict(const char* what, double ratio, double limit) {
  const bool pass = ratio <= limit;
  std::printf("  %-44s %9.2f    limit %5.2f  %s\n", what, ratio, limit, pass ? "PASS" : "FAIL");
  std::fflush(stdout);
  return pass;
}

int Run(const std::string& dir) {
  MakeDirs(dir);
  const TTreeShape small{"scan-200k", 5, 19995, 100000};
  const TTreeShape large{"scan-400k", 10, 39990, 200000};
  EnsureTree(dir, small);
  EnsureTree(dir, large);
  std::printf("scan benchmark: tarnwex-cli add against find over the same tree; best of 3 after a warm-up\n");

  bool pass = true;
  const TTimes a = TimeTree(dir, small);
  pass = Verdict("add / find", a.Add / a.Find, kFindRatioLimit) && pass;
  const TTimes b = TimeTree(dir, large);
  std::printf("  %-44s %9.2f    (for information)\n", "add / find", b.Add / b.Find);
  std::printf("  %-44s %9.2f    (for information)\n", "find growth: find(400k) / find(200k)", b.Find / a.Find);
  pass = Verdict("add growth: add(400k) / add(200k)", b.Add / a.Add, kGrowthLimit) && pass;
  return pass ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return tw::bench::BenchMain(argc, argv, "bench_scan", kUsage, Run); }
