#include "ui/FolderSizes.h"

#include <system_error>

namespace tw {

namespace {
// About 30 updates a second reach the window.
constexpr int kDrainMs = 33;
}  // namespace

TFolderSizes::TFolderSizes(TShow show, QObject* parent) : QObject(parent), show_(std::move(show)) {
  timer_.setInterval(kDrainMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Drain(); });
}

TFolderSizes::~TFolderSizes() { Stop(); }

bool TFolderSizes::Start(int field, const TTree<TLibFolder>* tree, const TFolderNode* start) {
  auto slot = std::make_shared<TSlot>();
  std::function<void()> after = AfterHandOver;
  auto display = [slot, after](int64_t total) {
    {
      std::lock_guard lock(slot->Mutex);
      slot->Total = total;
      slot->Fresh = true;
    }
    if (after) after();
  };
  auto ended = [slot] { slot->Ended.store(true); };
  try {
    auto thread = std::make_unique<TFolderFileSizeThread>(display, tree, start, ended);
    workers_.push_back({field, slot, std::move(thread)});
  } catch (const std::system_error&) {
    return false;
  }
  timer_.start();
  return true;
}

void TFolderSizes::Stop() {
  timer_.stop();
  for (TWorker& worker : workers_) worker.Thread->Terminate();
  for (TWorker& worker : workers_) {
    try {
      worker.Thread->WaitFor();
    } catch (...) {
      // A failed display leaves its field as it was.
    }
  }
  workers_.clear();
}

int TFolderSizes::Running() const {
  int running = 0;
  for (const TWorker& worker : workers_)
    if (!worker.Slot->Ended.load()) ++running;
  return running;
}

void TFolderSizes::Drain() {
  bool running = false;
  for (TWorker& worker : workers_) {
    // Read before the total: a worker that has ended handed over its last one.
    const bool ended = worker.Slot->Ended.load();
    running = running || !ended;
    int64_t total = 0;
    bool fresh = false;
    {
      std::lock_guard lock(worker.Slot->Mutex);
      fresh = std::exchange(worker.Slot->Fresh, false);
      total = worker.Slot->Total;
    }
    if (fresh && show_) show_(worker.Field, total);
  }
  if (!running) timer_.stop();
}

}  // namespace tw
