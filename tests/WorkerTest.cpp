// Operations on a worker thread, as the desktop program runs them: an add
// scans its volume apart and is stopped from another thread, while the
// window's thread keeps reading the rest of the library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/Operation.h"
#include "core/VolumeScan.h"
#include "state/Commands.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

// Counts the entries the walk reports and holds the worker at entry
// `pauseAt` until a stop was requested, so that the stop lands halfway
// whatever the machine's speed.
class TCountingSink : public TOperationSink {
 public:
  explicit TCountingSink(int pauseAt) : pauseAt_(pauseAt) {}
  void Attach(TOperation* op) { op_ = op; }
  void OnStep(const std::string& status, int64_t) override {
    if (status.empty()) return;
    const int n = ++steps;
    if (n == pauseAt_) {
      reached.store(true);
      while (!op_->StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void OnLog(const std::string& line) override { lines.push_back(line); }

  std::atomic<int> steps{0};
  std::atomic<bool> reached{false};
  std::vector<std::string> lines;  // worker only

 private:
  const int pauseAt_;
  TOperation* op_ = nullptr;
};

// Every record hangs where its links say, and the totals count what is there.
void ExpectConsistent(TLibObj& lib) {
  int64_t files = 0, folders = 0;
  for (TFolderNode* n = lib.Folders.GetFirstNode(); n; n = n->GetNext()) {
    TLibFolder* f = n->Data();
    EXPECT_EQ(f->Node, n);
    EXPECT_EQ(f->Parent, n->Parent() ? n->Parent()->Data() : nullptr);
    if (n->Parent()) {
      EXPECT_EQ(n->Parent()->Item(n->Index()), n);
    }
    for (int i = 0; i < f->Items.Count(); ++i) {
      TLibFolderItem* item = f->Items[i];
      EXPECT_EQ(item->Folder, f);
      EXPECT_EQ(f->Items.IndexOf(item), i);
      ++(item->IsFolder ? folders : files);
    }
  }
  lib.RecountTotals();
  EXPECT_EQ(lib.FileCount, files);
}

class WorkerTest : public TLibraryTest {
 protected:
  void SetUp() override {
    TLibraryTest::SetUp();
    g->Handlers.LoadDefaultHandlers(g->Registry());
    root = Path("medium/");
    for (int d = 0; d < kFolders; ++d)
      for (int f = 0; f < kFiles; ++f)
        MakeFile(root + "d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", f + 1);
    // Volumes the window keeps showing meanwhile.
    for (int v = 0; v < 3; ++v) {
      TFolderNode* vol = AddVolume("Shown " + std::to_string(v));
      for (int d = 0; d < 5; ++d) {
        TFolderNode* folder = AddFolder(vol, "folder " + std::to_string(d), 10);
        for (int f = 0; f < 20; ++f) AddFile(folder, "file " + std::to_string(f), f);
      }
    }
    Lib().RecountTotals();
  }

  static constexpr int kFolders = 20;
  static constexpr int kFiles = 25;
  std::string root;
};

TEST_F(WorkerTest, AddStoppedHalfwayFromAnotherThreadKeepsWhatWasRecorded) {
  TCountingSink sink(kFolders * kFiles / 2);
  TOperation op(sink, g->Messages());
  op.StepInterval = std::chrono::milliseconds(0);
  sink.Attach(&op);
  TAddVolumeRequest request{.Folder = root, .Title = "Scanned", .Handlers = HandlerSnapshot(*g)};
  TScanResult result;
  std::unique_ptr<TLibObj> scanned;

  std::thread worker([&] { scanned = ScanVolume(request, op, result); });
  // The stopping thread: the window's Stop button.
  std::thread stopper([&] {
    while (!sink.reached.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    op.RequestStop();
  });
  // The window's thread reads every other volume while the worker scans.
  int64_t reads = 0;
  while (!sink.reached.load() || reads == 0) {
    for (int v = 0; v < Lib().Folders.TopCount(); ++v) {
      TFolderNode* top = Lib().Folders.Top(v);
      for (TFolderNode* n = top; n && n != top->GetNextSkippingChildren(); n = n->GetNext())
        for (const auto& item : n->Data()->Items) reads += item->Size + static_cast<int64_t>(item->Name.size());
      reads += top->Data()->GetSize();
    }
  }
  stopper.join();
  worker.join();
  EXPECT_GT(reads, 0);

  // Spliced on the window's thread, with what the walk recorded.
  const int before = Lib().Folders.TopCount();
  TFolderNode* volume = SpliceVolume(Lib(), std::move(scanned), false);
  EXPECT_EQ(Lib().Folders.TopCount(), before + 1);
  EXPECT_EQ(volume->Data()->Name, "Scanned");
  int recorded = 0;
  for (TFolderNode* n = volume; n && n != volume->GetNextSkippingChildren(); n = n->GetNext())
    for (const auto& item : n->Data()->Items) recorded += !item->IsFolder;
  EXPECT_GT(recorded, 0);
  EXPECT_LT(recorded, kFolders * kFiles);
  ExpectConsistent(Lib());
  // A stop is no fault of any entry.
  for (const std::string& line : sink.lines) EXPECT_EQ(line.find("Unknown error"), std::string::npos) << line;
}

TEST_F(WorkerTest, AWholeAddOnAWorkerMatchesOneOnTheCallersThread) {
  TSilentSink sink;
  TOperation op(sink, g->Messages());
  TScanResult result;
  std::unique_ptr<TLibObj> scanned;
  std::thread worker([&] {
    scanned = ScanVolume({.Folder = root, .Title = "Worker", .Handlers = HandlerSnapshot(*g)}, op, result);
  });
  worker.join();
  TFolderNode* fromWorker = SpliceVolume(Lib(), std::move(scanned), false);
  TFolderNode* here = AddVolumeCommand(*g, {.Folder = root, .Title = "Here"});
  EXPECT_EQ(Dump(fromWorker).size(), Dump(here).size());
  EXPECT_EQ(fromWorker->Data()->KeptSize, here->Data()->KeptSize);
  ExpectConsistent(Lib());
}

}  // namespace
}  // namespace tw::test
