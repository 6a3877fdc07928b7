// The folder size workers of the properties dialog with the hand-over of
// their running totals to the window's thread. Each worker writes its newest
// total into a slot of its own under the slot's lock; a timer on the
// window's thread takes the fresh totals about 30 times a second and hands
// them to Show. Nothing else crosses between the threads (besides starting
// and joining them), so a race checker sees every hand-over, and no worker
// ever waits for the window's thread: stopping cannot block itself.
//
// Owns the workers. Start, Stop, Running and the destructor are called on
// the window's thread; the folder tree must not change from Start until Stop
// has returned.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/SizeThreads.h"

namespace tw {

class TFolderSizes : public QObject {
 public:
  // Receives (field, total) on the window's thread.
  using TShow = std::function<void(int field, int64_t total)>;

  explicit TFolderSizes(TShow show, QObject* parent = nullptr);
  ~TFolderSizes() override;

  // A worker over the whole tree (tree given) or the branch of `start`,
  // whose totals go to `field`. False when its thread could not start.
  bool Start(int field, const TTree<TLibFolder>* tree, const TFolderNode* start);
  // Asks every worker to stop, waits until each has ended and drops the
  // totals not yet shown.
  void Stop();
  // Workers whose run has not ended yet.
  int Running() const;
  // Hands over the fresh totals now (the timer does it on its own).
  void Drain();

  // Called on a worker's thread after each hand-over; taken at Start.
  // The tests slow the workers down with it.
  std::function<void()> AfterHandOver;

 private:
  struct TSlot {
    std::mutex Mutex;
    int64_t Total = 0;
    bool Fresh = false;
    std::atomic<bool> Ended{false};
  };
  struct TWorker {
    int Field = 0;
    std::shared_ptr<TSlot> Slot;
    std::unique_ptr<TFolderFileSizeThread> Thread;
  };

  TShow show_;
  std::vector<TWorker> workers_;
  QTimer timer_;
};

}  // namespace tw
