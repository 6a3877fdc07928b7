// One long operation (load, save, add, update, merge, search, duplicates,
// export, import) and whoever started it meet here: the stop request, the
// progress bracket, status and log lines, and the questions the operation
// must ask while it runs.
//
// Thread contract:
// - The operation runs on one thread, its operation thread. Only that thread
//   calls Begin, Step, StepDue, Show, Log, End, Ask and CheckStop, and reads
//   Texts.
// - RequestStop and StopRequested may be called from any thread at any time;
//   the request is an atomic flag the operation tests between entries.
// - The sink's calls come on the operation thread. OnBegin, OnStep, OnStatus,
//   OnLog and OnEnd must not block: a window hands them to its own thread (about 30
//   updates a second are plenty; Step calls are throttled here already).
//   OnAsk may wait for the user: the operation waits for the answer.
// - The message table must not change while the operation runs.
//
// A TOperation is owned by whoever starts the operation and outlives it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace tw {

class TMessageTable;

enum class TMsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class TMsgAnswer { OK, Cancel, Yes, No };
enum class TMsgKind { Information, Warning, Error, Confirmation };

// Where an operation reports to; every call has a default that ignores it.
class TOperationSink {
 public:
  virtual ~TOperationSink() = default;
  // A progress bracket starts: its caption (empty: the operation shows no
  // bar) and the position of its end (0 or less: unknown).
  virtual void OnBegin(const std::string& /*caption*/, int64_t /*total*/) {}
  // The current item (empty: unchanged) and the position (negative:
  // unchanged). Throttled: at most once per step interval.
  virtual void OnStep(const std::string& /*status*/, int64_t /*position*/) {}
  // A status the user must see, such as a failure or a result count.
  virtual void OnStatus(const std::string& /*status*/) {}
  virtual void OnLog(const std::string& /*line*/) {}
  // The bracket ends, with its closing line (empty: none).
  virtual void OnEnd(const std::string& /*text*/) {}
  // Yes or OK unless the sink answers otherwise.
  virtual TMsgAnswer OnAsk(const std::string& text, TMsgButtons buttons, TMsgKind kind);
};

class TOperation {
 public:
  TOperation(TOperationSink& sink, const TMessageTable& texts);
  TOperation(const TOperation&) = delete;
  TOperation& operator=(const TOperation&) = delete;

  // --- any thread ---
  void RequestStop() noexcept { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const noexcept { return stop_.load(std::memory_order_relaxed); }

  // --- the operation thread ---
  // Raises ECanceled ("Operation Canceled") once a stop was requested.
  void CheckStop() const;
  const TMessageTable& Texts() const { return texts_; }
  // The text of a key with its values.
  std::string Text(const std::string& key, std::initializer_list<std::string> values = {}) const;

  void Begin(const std::string& caption, int64_t total);
  // Hands status and position to the sink when the step interval is due.
  void Step(const std::string& status, int64_t position);
  // Whether the next Step reaches the sink: callers skip building status
  // texts nobody would see.
  bool StepDue() const;
  // A status the user must see (a failure): handed over at once.
  void Show(const std::string& status);
  void Log(const std::string& line);
  void End(const std::string& text);
  TMsgAnswer Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind);

  // Minimum time between two Step calls that reach the sink.
  std::chrono::milliseconds StepInterval{15};

 private:
  TOperationSink& sink_;
  const TMessageTable& texts_;
  std::atomic<bool> stop_{false};
  std::chrono::steady_clock::time_point lastStep_{};
  std::string pendingStatus_;
  int64_t pendingPosition_ = -1;
};

// A progress bracket that ends on every way out of its scope, errors and
// stops included: with the closing text given to Close, or with none.
class TProgressScope {
 public:
  TProgressScope(TOperation& op, const std::string& caption, int64_t total) : op_(op) { op_.Begin(caption, total); }
  ~TProgressScope() {
    if (open_) op_.End(std::string());
  }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;

  void Close(const std::string& text) {
    open_ = false;
    op_.End(text);
  }

 private:
  TOperation& op_;
  bool open_ = true;
};

// A sink that shows nothing and answers every question affirmatively.
class TSilentSink : public TOperationSink {};

// An operation nobody watches, in the built-in texts: for tools that
// build, load or save libraries without a display.
class TQuietOperation : private TSilentSink, public TOperation {
 public:
  TQuietOperation();
};

}  // namespace tw
