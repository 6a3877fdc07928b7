// The desktop program under load, on the offscreen platform, each figure
// beside a reference measured in the same run:
// - opening the million-entry library until the tree and the first folder's
//   list are painted, against `tarnwex-cli info` on the same file;
// - selecting a folder of 100,000 entries and sorting it by size;
// - adding the 200,000-file tree of bench_scan through the window against
//   `tarnwex-cli add`, with the longest gap between two turns of the event
//   loop meanwhile;
// - the window's peak memory against the command-line tool's peak.
// Each window figure is taken in a fresh process of this program.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/LibraryGenerator.h"
#include "core/VolumeScan.h"
#include "state/Commands.h"
#include "state/Globals.h"
#include "ui/MainWindow.h"
#include "ui/QuietPlatform.h"
#include "ui/WindowHost.h"

#ifndef TARNWEX_CLI
#error "TARNWEX_CLI must name the tarnwex-cli binary"
#endif

namespace {

using namespace tw;
using namespace tw::bench;

constexpr double kOpenRatioLimit = 1.5;
constexpr double kSelectLimit = 0.2;
constexpr double kSortLimit = 0.3;
constexpr double kAddRatioLimit = 1.25;
constexpr double kGapLimitMs = 50;
constexpr double kExtraMemoryMb = 150;
constexpr int kWideFiles = 100000;

const char* kUsage =
    "usage: bench_window [DIR]   time the desktop program over DIR/lib1m.twl, a folder of 100,000 entries\n"
    "                            and DIR/scan-200k (made by bench_scan) against tarnwex-cli\n";

// A window over its own settings in the bench folder, quiet.
struct TWindow {
  explicit TWindow(const std::string& dir) : g(host, dir + "/") {
    host.Quiet = true;
    host.MessageSeen = [](const std::string&, TMsgKind) {};
    host.Answerer = [](const std::string&, TMsgButtons b, TMsgKind) {
      return b == TMsgButtons::OK || b == TMsgButtons::OKCancel ? TMsgAnswer::OK : TMsgAnswer::Yes;
    };
    window = std::make_unique<TMainWindow>(g, host);
    window->ApplyLoadedSettings();
    window->resize(1200, 800);
    window->show();
    QApplication::processEvents();
  }
  void Paint() {
    QApplication::processEvents();
    window->tvNodes->viewport()->repaint();
    window->ListView()->viewport()->repaint();
  }
  TWindowHost host;
  TGlobalData g;
  std::unique_ptr<TMainWindow> window;
};

void Print(const char* key, double value) { std::printf("%s %.6f\n", key, value); }

// Child: open LIB in the window until the tree and the first folder's list
// are painted.
int ChildOpen(const std::string& dir, const std::string& file) {
  const double start = Now();
  TWindow w(dir);
  w.window->OpenStartLibrary(QString::fromStdString(file));
  w.window->Runner().Wait();
  TFolderNode* first = w.g.CurrentLibrary->Folders.GetFirstNode();
  if (!first || first->Count() == 0) throw std::runtime_error("no folder to show in " + file);
  w.window->SelectFolderNode(first->Item(0));
  w.Paint();
  Print("seconds", Now() - start);
  Print("peak_kb", static_cast<double>(PeakRssKb()));
  std::fflush(stdout);
  std::_Exit(0);
}

// Child: open the wide library, then select its crowded folder and sort it.
int ChildWide(const std::string& dir, const std::string& file) {
  TWindow w(dir);
  w.window->OpenStartLibrary(QString::fromStdString(file));
  w.window->Runner().Wait();
  TFolderNode* folder = w.g.CurrentLibrary->Folders.Top(0)->Item(0);
  w.Paint();
  double start = Now();
  w.window->SelectFolderNode(folder);
  w.Paint();
  Print("select", Now() - start);
  if (w.window->lvDetails->model()->rowCount() != kWideFiles) throw std::runtime_error("the list does not show every entry");
  start = Now();
  w.window->ArrangeBy(2);
  w.Paint();
  Print("sort", Now() - start);
  std::fflush(stdout);
  std::_Exit(0);
}

// Child: add TREE through the window while a timer measures the turns of
// the event loop.
int ChildAdd(const std::string& dir, const std::string& tree) {
  TWindow w(dir);
  QElapsedTimer clock;
  clock.start();
  qint64 last = clock.elapsed(), longest = 0;
  QTimer tick;
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  const double start = Now();
  TAddVolumeRequest request;
  request.Folder = tree;
  request.Title = "Bench";
  request.Handlers = HandlerSnapshot(w.g);
  w.window->StartAddVolume(request);
  last = clock.elapsed();
  tick.start();
  w.window->Runner().Wait();
  tick.stop();
  const double seconds = Now() - start;
  if (w.g.CurrentLibrary->Folders.TopCount() != 1) throw std::runtime_error("the volume was not added");
  Print("seconds", seconds);
  Print("gap_ms", static_cast<double>(longest));
  std::fflush(stdout);
  std::_Exit(0);
}

// A library of one volume with one folder of 100,000 file entries.
std::string EnsureWide(const std::string& dir) {
  const std::string file = dir + "/wide100k.twl";
  if (FileExists(file)) return file;
  TLibObj lib;
  auto volume = std::make_unique<TLibFolder>();
  volume->Name = "Wide";
  TFolderNode* v = lib.AddFolderRecord(nullptr, std::move(volume));
  auto entry = std::make_unique<TLibFolderItem>();
  entry->Name = "Crowded";
  entry->IsFolder = true;
  lib.AddItem(v->Data(), std::move(entry));
  auto crowded = std::make_unique<TLibFolder>();
  crowded->Name = "Crowded";
  crowded->IsFolder = 1;
  TFolderNode* folder = lib.AddFolderRecord(v, std::move(crowded));
  for (int i = 0; i < kWideFiles; ++i) {
    auto item = std::make_unique<TLibFolderItem>();
    char name[48];
    std::snprintf(name, sizeof name, "IMG_%06d.%s", (i * 7919) % 1000003, i % 3 ? "jpg" : "raw");
    item->Name = name;
    item->Size = (static_cast<int64_t>(i) * 104729) % 9000000;
    item->Date = 44000 + (i % 5000) * 0.37;
    lib.AddItem(folder->Data(), std::move(item));
  }
  lib.RecountTotals();
  TQuietOperation op;
  lib.SaveLibrary(file + ".tmp", op);
  if (std::rename((file + ".tmp").c_str(), file.c_str()) != 0) throw std::runtime_error("cannot write " + file);
  return file;
}

double Value(const std::string& output, const std::string& key) {
  const size_t at = output.find(key + " ");
  if (at == std::string::npos) throw std::runtime_error("the child did not report " + key + ":\n" + output);
  return std::atof(output.c_str() + at + key.size() + 1);
}

std::string Child(const std::vector<std::string>& args) {
  std::vector<std::string> argv{SelfPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  TChildResult r = RunChild(argv, true);
  if (r.Status != 0) throw std::runtime_error("bench_window " + args.front() + " failed:\n" + r.Output);
  return r.Output;
}

int Run(const std::string& dir) {
  MakeDirs(dir);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 1);
  setenv("TARNWEX_CONFIG_DIR", (dir + "/window-config").c_str(), 1);
  setenv("TARNWEX_DATA_DIR", (dir + "/window-data").c_str(), 1);
  const TLibraryShape shape;
  const std::string lib = dir + "/" + LibraryFileName(shape);
  {
    TNullHost host;
    TGlobalData g(host, dir + "/");
    EnsureLibrary(g, lib, shape);
  }
  std::printf("window benchmark (offscreen): %s; best of 3\n", lib.c_str());

  // Opening, and memory.
  RunChild({TARNWEX_CLI, "info", lib, "-q"}, false);
  double infoSeconds = 1e9, infoPeakKb = 0;
  for (int i = 0; i < 3; ++i) {
    TChildResult r = RunChild({TARNWEX_CLI, "info", lib, "-q"}, false);
    if (r.Status != 0) throw std::runtime_error("tarnwex-cli info failed");
    infoSeconds = std::min(infoSeconds, r.Seconds);
    infoPeakKb = std::max(infoPeakKb, static_cast<double>(r.MaxRssKb));
  }
  double openSeconds = 1e9, openPeakKb = 0;
  for (int i = 0; i < 3; ++i) {
    const std::string out = Child({"child-open", dir, lib});
    openSeconds = std::min(openSeconds, Value(out, "seconds"));
    openPeakKb = std::max(openPeakKb, Value(out, "peak_kb"));
  }
  TReport open(infoSeconds, "info");
  std::printf("  %-40s %9.3f s\n", "tarnwex-cli info LIB -q", infoSeconds);
  open.Time("open: library in the window, painted", openSeconds, kOpenRatioLimit * infoSeconds);
  std::printf("  %-40s %9.1f MB\n", "memory: tarnwex-cli info peak RSS", infoPeakKb / 1024);
  const bool memoryPass = openPeakKb / 1024 <= infoPeakKb / 1024 + kExtraMemoryMb;
  std::printf("  %-40s %9.1f MB  +%6.1f MB     limit +%5.0f MB   %s\n", "memory: window peak RSS", openPeakKb / 1024,
              (openPeakKb - infoPeakKb) / 1024, kExtraMemoryMb, memoryPass ? "PASS" : "FAIL");

  // A crowded folder.
  const std::string wide = EnsureWide(dir);
  double select = 1e9, sort = 1e9;
  for (int i = 0; i < 3; ++i) {
    const std::string out = Child({"child-wide", dir, wide});
    select = std::min(select, Value(out, "select"));
    sort = std::min(sort, Value(out, "sort"));
  }
  TReport list(infoSeconds, "info");
  list.Time("list: select a folder of 100,000 entries", select, kSelectLimit);
  list.Time("list: sort it by size", sort, kSortLimit);

  // Adding through the window.
  const std::string tree = dir + "/scan-200k";
  bool addFailed = false;
  if (!FileExists(tree)) {
    std::printf("  %s is missing: run bench_scan first (make bench runs it before this one)\n", tree.c_str());
    addFailed = true;
  } else {
    const std::string cliLib = dir + "/window-add.twl";
    auto cliAdd = [&] {
      std::remove(cliLib.c_str());
      TChildResult r = RunChild({TARNWEX_CLI, "add", cliLib, tree, "-q"}, false);
      if (r.Status != 0) throw std::runtime_error("tarnwex-cli add failed");
      return r.Seconds;
    };
    cliAdd();
    const double cli = BestOf(3, cliAdd);
    std::remove(cliLib.c_str());
    double add = 1e9, gap = 0;
    for (int i = 0; i < 3; ++i) {
      const std::string out = Child({"child-add", dir, tree});
      const double seconds = Value(out, "seconds");
      if (seconds < add) {
        add = seconds;
      }
      gap = std::max(gap, Value(out, "gap_ms"));
    }
    TReport scan(cli, "add");
    std::printf("  %-40s %9.3f s\n", "tarnwex-cli add LIB scan-200k -q", cli);
    scan.Time("add: scan-200k through the window", add, kAddRatioLimit * cli);
    const bool gapPass = gap <= kGapLimitMs;
    std::printf("  %-40s %9.0f ms                limit %5.0f ms  %s\n", "add: longest event-loop gap (worst run)", gap, kGapLimitMs,
                gapPass ? "PASS" : "FAIL");
    addFailed = scan.Failed() || !gapPass;
  }
  return open.Failed() || !memoryPass || list.Failed() || addFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]).rfind("child-", 0) == 0) {
    if (argc != 4) return 2;
    QApplication app(argc, argv);
    tw::QuietOffscreenNotes();
    const std::string mode = argv[1];
    try {
      if (mode == "child-open") return ChildOpen(argv[2], argv[3]);
      if (mode == "child-wide") return ChildWide(argv[2], argv[3]);
      if (mode == "child-add") return ChildAdd(argv[2], argv[3]);
    } catch (const std::exception& e) {
      std::printf("error: %s\n", e.what());
      return 1;
    }
    return 2;
  }
  return BenchMain(argc, argv, "bench_window", kUsage, Run);
}
