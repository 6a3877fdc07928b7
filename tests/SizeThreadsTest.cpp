// The folder size workers: what they count, how they report, how they stop.
#include "core/SizeThreads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/TextUtils.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

struct TCall {
  int64_t Total;
  std::thread::id Thread;
};

// What a worker reported, in order; "end" marks the end callback.
struct TRecorder {
  std::mutex Lock;
  std::vector<TCall> Calls;
  std::vector<std::string> Events;

  TFileSizeThread::TDisplay Display() {
    return [this](int64_t total) {
      std::lock_guard<std::mutex> l(Lock);
      Calls.push_back({total, std::this_thread::get_id()});
      Events.push_back("show");
    };
  }
  TFileSizeThread::TOnTerminate End() {
    return [this] {
      std::lock_guard<std::mutex> l(Lock);
      Events.push_back("end");
    };
  }
};

// Holds the worker inside its first display call until Open().
class TGate {
 public:
  TFileSizeThread::TDisplay Display(TRecorder& rec) {
    return [this, show = rec.Display()](int64_t total) {
      if (!entered_) {
        entered_ = true;
        inside_.set_value();
        std::unique_lock<std::mutex> l(lock_);
        cv_.wait(l, [this] { return open_; });
      }
      show(total);
    };
  }
  // True once the worker waits in the gate (generous bound, never a timing claim).
  bool WaitInside() { return inside_.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready; }
  void Open() {
    {
      std::lock_guard<std::mutex> l(lock_);
      open_ = true;
    }
    cv_.notify_all();
  }

 private:
  bool entered_ = false;  // worker side only
  std::promise<void> inside_;
  std::mutex lock_;
  std::condition_variable cv_;
  bool open_ = false;
};

class SizeThreadsTest : public TLibraryTest {
 protected:
  // Vol A: a loose file, a folder of 1+2+3 with a subfolder of 4, a folder
  // holding only the archive a.zip (members 30 and 40), and a folder of
  // archive files and a look-alike. Vol B: nested folders.
  void SetUp() override {
    TLibraryTest::SetUp();
    volA = AddVolume("Vol A");
    AddFile(volA, "top.bin", 5);
    music = AddFolder(volA, "Music", 999);
    for (int64_t size : {1, 2, 3}) AddFile(music, "f" + std::to_string(size), size);
    live = AddFolder(music, "Live", 777);
    AddFile(live, "g", 4);
    onlyArchive = AddFolder(volA, "Only");
    TFolderNode* zip = AddFolder(onlyArchive, "a.zip", 100);
    AddFile(zip, "m1", 30);
    AddFile(zip, "m2", 40);
    mixed = AddFolder(volA, "Mixed");
    AddFile(mixed, "b.RAR", 500);
    AddFile(mixed, "c.Zip", 600);
    AddFile(mixed, "d.rar", 700);
    AddFile(mixed, "notes.zipx", 7);
    volB = AddVolume("Vol B");
    AddFile(volB, "x", 1000);
    TFolderNode* deep = AddFolder(AddFolder(volB, "one"), "two");
    AddFile(deep, "y", 2000);
  }

  // Runs a worker to its end and returns the final total.
  int64_t Sum(const TTree<TLibFolder>* tree, const TFolderNode* start, TRecorder& rec) {
    TFolderFileSizeThread worker(rec.Display(), tree, start, rec.End());
    worker.WaitFor();
    return worker.Total();
  }

  TFolderNode *volA, *music, *live, *onlyArchive, *mixed, *volB;
};

TEST_F(SizeThreadsTest, CountsFilesAndArchiveMembersButNotArchivesOrFolderEntries) {
  const struct {
    const char* name;
    bool wholeTree;
    TFolderNode* start;
    int64_t expected;
  } cases[] = {
      {"folder with a subfolder", false, music, 10},
      {"leaf folder", false, live, 4},
      {"folder of one archive", false, onlyArchive, 70},
      {"archive files in any case", false, mixed, 7},
      {"volume", false, volA, 5 + 10 + 70 + 7},
      {"volume with nested folders", false, volB, 3000},
      {"whole tree", true, nullptr, 92 + 3000},
      {"whole tree wins over a start node", true, live, 92 + 3000},
      {"nothing given", false, nullptr, 0},
  };
  for (const auto& c : cases) {
    TRecorder rec;
    EXPECT_EQ(Sum(c.wholeTree ? &Lib().Folders : nullptr, c.start, rec), c.expected) << c.name;
    ASSERT_FALSE(rec.Calls.empty()) << c.name;
    EXPECT_EQ(rec.Calls.back().Total, c.expected) << c.name;
  }
}

TEST_F(SizeThreadsTest, ReportsOnTheWorkerFromZeroToTheFinalTotalThenEnds) {
  // Numbers only: the worker formats nothing and reads no option.
  TRecorder rec;
  EXPECT_EQ(Sum(&Lib().Folders, nullptr, rec), 3092);
  ASSERT_GE(rec.Calls.size(), 2u);
  EXPECT_EQ(rec.Calls.front().Total, 0);
  EXPECT_EQ(rec.Calls.back().Total, 3092);
  for (size_t i = 1; i < rec.Calls.size(); ++i) EXPECT_GE(rec.Calls[i].Total, rec.Calls[i - 1].Total);
  for (const auto& c : rec.Calls) EXPECT_NE(c.Thread, std::this_thread::get_id());
  EXPECT_EQ(rec.Events.back(), "end");
  EXPECT_EQ(std::count(rec.Events.begin(), rec.Events.end(), "end"), 1);
}

TEST_F(SizeThreadsTest, TerminatedWorkerStopsBeforeTheNextFileAndStillReports) {
  TRecorder rec;
  TGate gate;
  std::promise<void> ended;
  TFolderFileSizeThread worker(gate.Display(rec), &Lib().Folders, nullptr, [&] {
    rec.End()();
    ended.set_value();
  });
  ASSERT_TRUE(gate.WaitInside());  // held in the first report, before any file
  worker.Terminate();
  gate.Open();
  ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
  worker.WaitFor();
  EXPECT_TRUE(worker.Terminated());
  // At most the file in hand when the request came: top.bin.
  EXPECT_LE(worker.Total(), 5);
  ASSERT_GE(rec.Calls.size(), 2u);
  EXPECT_EQ(rec.Calls.back().Total, worker.Total());
  EXPECT_EQ(rec.Events.back(), "end");
}

TEST_F(SizeThreadsTest, DestroyingARunningWorkerWaitsForItsEnd) {
  // Enough files that the run is still going when the owner lets go.
  TFolderNode* big = AddVolume("Big");
  for (int i = 0; i < 2000; ++i) AddFile(big, "f" + std::to_string(100000 + i), 1);
  for (int round = 0; round < 20; ++round) {
    TRecorder rec;
    auto worker = std::make_unique<TFolderFileSizeThread>(rec.Display(), &Lib().Folders, nullptr, rec.End());
    worker.reset();
    // The end callback is the run's last act, so the owner saw it happen.
    ASSERT_FALSE(rec.Events.empty());
    EXPECT_EQ(rec.Events.back(), "end");
  }
}

TEST_F(SizeThreadsTest, ADisplayErrorEndsTheRunAndReachesWaitFor) {
  TRecorder rec;
  TFolderFileSizeThread worker([](int64_t) { throw std::runtime_error("display gone"); }, nullptr,
                               volA, rec.End());
  EXPECT_THROW(worker.WaitFor(), std::runtime_error);
  EXPECT_EQ(rec.Events, std::vector<std::string>{"end"});
  EXPECT_NO_THROW(worker.WaitFor());  // reported once
}

TEST_F(SizeThreadsTest, TotalsSaturateInsteadOfOverflowing) {
  TFolderNode* huge = AddVolume("Huge");
  AddFile(huge, "a", INT64_MAX - 1);
  AddFile(huge, "b", 2);
  TRecorder rec;
  EXPECT_EQ(Sum(nullptr, huge, rec), INT64_MAX);
}

}  // namespace
}  // namespace tw::test
