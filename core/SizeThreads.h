// The folder size workers of the properties dialog: each sums the file sizes
// of a branch of the folder tree on a thread of its own and reports the
// running total while the dialog stays responsive.
//
// Ownership: the owner holds the worker; Terminate() asks it to stop,
// WaitFor() blocks until the run has ended, and the destructor does both.
// The folder tree must not change while a worker runs (the walk reads it
// without locks). The workers hand over numbers only: whoever shows them
// formats them on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "core/LibClasses.h"

namespace tw {

class TFileSizeThread {
 public:
  // Called on the worker thread with the total. Calls are
  // throttled to one per kShowInterval while the run goes on, because each
  // one costs the desktop program a thread switch; the run always ends with
  // one call carrying the final total, also after Terminate().
  using TDisplay = std::function<void(int64_t total)>;
  // Called on the worker thread as its last act, after the final display.
  using TOnTerminate = std::function<void()>;

  static constexpr std::chrono::milliseconds kShowInterval{50};

  virtual ~TFileSizeThread();
  TFileSizeThread(const TFileSizeThread&) = delete;
  TFileSizeThread& operator=(const TFileSizeThread&) = delete;

  // Asks the run to stop; it does so at its next check, after the current file.
  void Terminate() { terminated_.store(true, std::memory_order_relaxed); }
  bool Terminated() const { return terminated_.load(std::memory_order_relaxed); }
  // Blocks until the run has ended; rethrows (once) an error the display
  // raised on the worker. Not for the worker's own callbacks: it would wait
  // for itself.
  void WaitFor();
  // The running total; the final one once WaitFor() has returned.
  int64_t Total() const { return total_.load(std::memory_order_relaxed); }

 protected:
  TFileSizeThread(TDisplay display, TOnTerminate onTerminate);

  // Starts the thread on Execute(); the most derived constructor calls it
  // last, so the run never sees a half-built object.
  void Start();
  // Stops and joins; every derived destructor calls it before its members go.
  void StopAndWait() noexcept;

  virtual void Execute() = 0;

  // Worker side: total += size (saturating), shown when the interval is due.
  void AddSize(int64_t size);
  // Worker side: hands the total to the display.
  void ShowSize();

 private:
  void Run() noexcept;

  TDisplay display_;
  TOnTerminate onTerminate_;
  std::atomic<bool> terminated_{false};
  std::atomic<int64_t> total_{0};
  std::chrono::steady_clock::time_point lastShown_{};
  std::exception_ptr error_;
  std::thread thread_;
};

class TFolderFileSizeThread final : public TFileSizeThread {
 public:
  // With a tree the whole tree is summed, else the branch of `start` (none:
  // nothing). Shows the total 0 and starts the run at once.
  TFolderFileSizeThread(TDisplay display, const TTree<TLibFolder>* tree, const TFolderNode* start,
                        TOnTerminate onTerminate = {});
  ~TFolderFileSizeThread() override;

 protected:
  void Execute() override;

 private:
  // Sums the files of the node's branch in tree order; false once termination
  // was asked.
  bool SumNode(const TFolderNode* node);

  const TTree<TLibFolder>* tree_;
  const TFolderNode* start_;
};

}  // namespace tw
