// Runs one long operation at a time on a worker thread while the window
// stays responsive.
//
// The worker reports through a sink that queues every call for the window's
// thread: steps are merged (only the newest position and status count), log
// lines go over in batches, and a timer on the window's thread drains the
// queue about 30 times a second, in the order the calls were made. A
// question waits on the worker until the window's thread has answered it
// with a modal box. Stop only sets the operation's stop request. Nothing
// crosses between the threads but through the sink's own lock (and the
// worker's start and join), so a race checker sees every hand-over.
//
// Thread contract: Start, Running, Stop and the destructor are called on
// the window's thread; the work function runs on the worker; the done
// function runs on the window's thread after the worker has ended. The
// window must not read records the work may change until done runs.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Operation.h"

namespace tw {

class TMessageTable;

class TOperationRunner : public QObject {
  Q_OBJECT
 public:
  // `display` receives the calls on the window's thread.
  TOperationRunner(TOperationSink& display, const TMessageTable& texts, QObject* parent = nullptr);
  ~TOperationRunner() override;

  using TWork = std::function<void(TOperation&)>;
  // What ended the work: nothing (it ran to its end or stopped quietly),
  // a cancel, or the text of an error.
  struct TOutcome {
    bool Canceled = false;
    std::string Error;
  };
  using TDone = std::function<void(const TOutcome&)>;

  // False when an operation is running already.
  bool Start(TWork work, TDone done);
  bool Running() const { return running_; }
  // The running operation (the Stop command sets its request), or none.
  TOperation* Operation() const { return op_.get(); }
  void Stop();
  // Runs the event loop until the running operation has ended.
  void Wait();

 signals:
  void Finished();

 private:
  class TQueuedSink;
  void Drain();
  void Finish();

  TOperationSink& display_;
  const TMessageTable& texts_;
  std::unique_ptr<TQueuedSink> sink_;
  std::unique_ptr<TOperation> op_;
  std::thread worker_;
  TDone done_;
  TOutcome outcome_;
  bool running_ = false;
  bool draining_ = false;
  QTimer drainTimer_;
};

}  // namespace tw
