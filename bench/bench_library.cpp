// Saving and loading a library of a million file entries, timed against
// `cat` of the same file in the same run.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "base/Operation.h"
#include "bench/BenchSupport.h"
#include "bench/LibraryGenerator.h"
#include "core/LibClasses.h"
#include "core/LibFile.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace {

using namespace tw;
using namespace tw::bench;

constexpr double kSaveLimit = 0.7;   // seconds
constexpr double kLoadLimit = 1.0;   // seconds
constexpr double kMemoryLimit = 350; // MB after loading

const char* kUsage =
    "usage: bench_library [DIR]               time save and load of DIR/lib1m.twl against cat\n"
    "       bench_library generate DIR [FILES] make DIR/lib1m.twl (or lib<FILES>.twl) unless it is there\n"
    "       bench_library load FILE            load FILE and print the time and peak memory\n"
    "DIR defaults to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench.\n";

double MB(double bytes) { return bytes / 1e6; }

TLibraryShape ShapeFor(int files) {
  TLibraryShape shape;
  if (files != shape.Files) {
    shape.Folders = std::max(1, static_cast<int>(int64_t{shape.Folders} * files / shape.Files));
    shape.Volumes = std::min(shape.Volumes, shape.Folders);
    shape.Files = files;
  }
  return shape;
}

int Generate(const std::string& dir, int files) {
  MakeDirs(dir);
  TNullHost host;
  TGlobalData g(host, dir + "/");
  TLibraryShape shape = ShapeFor(files);
  std::string file = dir + "/" + LibraryFileName(shape);
  if (!EnsureLibrary(g, file, shape)) std::printf("reusing %s\n", file.c_str());
  std::fflush(stdout);
  std::_Exit(0);  // freeing a million entries would only cost time
}

// The child that a fresh process needs for the load figure.
int Load(const std::string& file) {
  TNullHost host;
  TGlobalData g(host, file.substr(0, file.rfind('/') + 1));
  double start = Now();
  TQuietOperation quiet;
  g.CurrentLibrary->LoadLibrary(file, false, quiet, g.SortVolumes);
  double seconds = Now() - start;
  std::printf("seconds %.6f peak_kb %lld files %d\n", seconds, static_cast<long long>(PeakRssKb()),
              g.CurrentLibrary->FileCount);
  std::fflush(stdout);
  std::_Exit(0);
}

struct TLoadFigures {
  double Seconds = 0;
  double PeakKb = 0;
  long Files = 0;
};

TLoadFigures LoadInChild(const std::string& file) {
  TChildResult r = RunChild({SelfPath(), "load", file}, true);
  TLoadFigures f;
  long long kb = 0;
  if (r.Status != 0 || std::sscanf(r.Output.c_str(), "seconds %lf peak_kb %lld files %ld", &f.Seconds, &kb, &f.Files) != 3)
    throw std::runtime_error("the loading child failed: " + r.Output);
  f.PeakKb = static_cast<double>(kb);
  return f;
}

int Run(const std::string& dir) {
  MakeDirs(dir);
  TNullHost host;
  TGlobalData g(host, dir + "/");
  TLibraryShape shape;
  std::string file = dir + "/" + LibraryFileName(shape);
  bool inMemory = EnsureLibrary(g, file, shape);
  double fileMb = MB(static_cast<double>(FileSize(file)));
  std::printf("library benchmark: %s, %.1f MB, %d volumes, %d folders, %d files; best of 3\n", file.c_str(), fileMb,
              shape.Volumes, shape.Folders, shape.Files);

  TReport report(CatSeconds(file));
  report.Reference("cat FILE > /dev/null");

  TLoadFigures best;
  best.Seconds = 1e9, best.PeakKb = 1e18;
  for (int i = 0; i < 3; ++i) {
    TLoadFigures f = LoadInChild(file);
    if (f.Files != shape.Files) throw std::runtime_error("the loaded library holds " + std::to_string(f.Files) + " files");
    best.Seconds = std::min(best.Seconds, f.Seconds);
    best.PeakKb = std::min(best.PeakKb, f.PeakKb);
  }
  report.Time("load: LoadLibrary in a fresh process", best.Seconds, kLoadLimit);
  report.Memory("memory: peak RSS after loading", MB(best.PeakKb * 1024), fileMb, kMemoryLimit);

  TLibObj& lib = *g.CurrentLibrary;
  TQuietOperation quiet;
  if (!inMemory) lib.LoadLibrary(file, false, quiet, g.SortVolumes);
  std::string out = dir + "/save-test.twl";
  double save = BestOf(3, [&] {
    ::unlink(out.c_str());
    double start = Now();
    lib.SaveLibrary(out, quiet);
    return Now() - start;
  });
  if (FileSize(out) != FileSize(file)) throw std::runtime_error("the saved library differs in size from " + file);
  ::unlink(out.c_str());
  report.Time("save: SaveLibrary to a fresh file", save, kSaveLimit);

  std::fflush(stdout);
  std::_Exit(report.Failed() ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command == "generate" && (argc == 3 || argc == 4))
      return Generate(argv[2], argc == 4 ? std::atoi(argv[3]) : TLibraryShape().Files);
    if (command == "load" && argc == 3) return Load(argv[2]);
    if (argc == 1) return Run(BenchDir());
    if (argc == 2 && command[0] != '-') return Run(argv[1]);
    std::fputs(kUsage, stderr);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_library: %s\n", e.what());
    return 1;
  }
}
