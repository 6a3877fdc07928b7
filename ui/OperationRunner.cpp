#include "ui/OperationRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <condition_variable>
#include <optional>

#include "base/Error.h"
#include "base/Messages.h"

namespace tw {

namespace {
// About 30 updates a second reach the window.
constexpr int kDrainMs = 33;
}  // namespace

// Collects the worker's calls for the window's thread.
class TOperationRunner::TQueuedSink : public TOperationSink {
 public:
  explicit TQueuedSink(TOperationRunner& runner) : runner_(runner) {}

  enum class TKind { Begin, Step, Status, Log, End };
  struct TCall {
    TKind Kind;
    std::string Text;
    int64_t Number = -1;
  };

  void OnBegin(const std::string& caption, int64_t total) override { Push({TKind::Begin, caption, total}); }
  void OnStep(const std::string& status, int64_t position) override {
    std::lock_guard lock(mutex_);
    if (!calls_.empty() && calls_.back().Kind == TKind::Step) {
      TCall& last = calls_.back();
      if (!status.empty()) last.Text = status;
      if (position >= 0) last.Number = position;
      return;
    }
    calls_.push_back({TKind::Step, status, position});
  }
  void OnStatus(const std::string& status) override { Push({TKind::Status, status}); }
  void OnLog(const std::string& line) override { Push({TKind::Log, line}); }
  void OnEnd(const std::string& text) override { Push({TKind::End, text}); }
  // The window's thread answers at its next drain; the worker waits.
  TMsgAnswer OnAsk(const std::string& text, TMsgButtons buttons, TMsgKind kind) override {
    std::unique_lock lock(mutex_);
    question_ = TQuestion{text, buttons, kind};
    answered_.wait(lock, [&] { return question_->Answer.has_value(); });
    const TMsgAnswer answer = *question_->Answer;
    question_.reset();
    return answer;
  }

  // The worker's last word: how the work ended.
  void Finish(TOutcome outcome) {
    std::lock_guard lock(mutex_);
    outcome_ = std::move(outcome);
  }
  std::optional<TOutcome> Finished() {
    std::lock_guard lock(mutex_);
    return outcome_;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    outcome_.reset();
    calls_.clear();
  }

  struct TQuestion {
    std::string Text;
    TMsgButtons Buttons;
    TMsgKind Kind;
    std::optional<TMsgAnswer> Answer;
  };
  // The question waiting for an answer, if any (a copy).
  std::optional<TQuestion> Pending() {
    std::lock_guard lock(mutex_);
    if (question_ && !question_->Answer) return question_;
    return std::nullopt;
  }
  void Answer(TMsgAnswer answer) {
    {
      std::lock_guard lock(mutex_);
      if (question_) question_->Answer = answer;
    }
    answered_.notify_all();
  }

  std::vector<TCall> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  void Push(TCall call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }

  TOperationRunner& runner_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<TCall> calls_;
  std::optional<TQuestion> question_;
  std::optional<TOutcome> outcome_;
};

TOperationRunner::TOperationRunner(TOperationSink& display, const TMessageTable& texts, QObject* parent)
    : QObject(parent), display_(display), texts_(texts), sink_(std::make_unique<TQueuedSink>(*this)) {
  drainTimer_.setInterval(kDrainMs);
  connect(&drainTimer_, &QTimer::timeout, this, &TOperationRunner::Drain);
}

TOperationRunner::~TOperationRunner() {
  if (running_) {
    Stop();
    Wait();
  }
  if (worker_.joinable()) worker_.join();
}

bool TOperationRunner::Start(TWork work, TDone done) {
  if (running_) return false;
  if (worker_.joinable()) worker_.join();
  running_ = true;
  done_ = std::move(done);
  outcome_ = {};
  op_ = std::make_unique<TOperation>(*sink_, texts_);
  op_->StepInterval = std::chrono::milliseconds(kDrainMs);
  drainTimer_.start();
  sink_->Reset();
  // Everything the worker hands over goes through the sink's own lock, and
  // the window's thread takes it on its drain timer.
  worker_ = std::thread([this, work = std::move(work)] {
    TOutcome outcome;
    try {
      work(*op_);
    } catch (const ECanceled&) {
      outcome.Canceled = true;
    } catch (const std::exception& e) {
      outcome.Error = TextOf(e, texts_);
    }
    sink_->Finish(std::move(outcome));
  });
  return true;
}

void TOperationRunner::Stop() {
  if (op_) op_->RequestStop();
}

void TOperationRunner::Wait() {
  if (!running_) return;
  QEventLoop loop;
  connect(this, &TOperationRunner::Finished, &loop, &QEventLoop::quit);
  loop.exec();
}

void TOperationRunner::Drain() {
  if (draining_) return;  // a question's box runs the event loop
  draining_ = true;
  for (const auto& call : sink_->Take()) {
    switch (call.Kind) {
      case TQueuedSink::TKind::Begin: display_.OnBegin(call.Text, call.Number); break;
      case TQueuedSink::TKind::Step: display_.OnStep(call.Text, call.Number); break;
      case TQueuedSink::TKind::Status: display_.OnStatus(call.Text); break;
      case TQueuedSink::TKind::Log: display_.OnLog(call.Text); break;
      case TQueuedSink::TKind::End: display_.OnEnd(call.Text); break;
    }
  }
  if (auto question = sink_->Pending()) sink_->Answer(display_.OnAsk(question->Text, question->Buttons, question->Kind));
  draining_ = false;
  if (running_) {
    if (auto outcome = sink_->Finished()) {
      outcome_ = *outcome;
      Finish();
    }
  }
}

void TOperationRunner::Finish() {
  worker_.join();
  drainTimer_.stop();
  running_ = false;
  Drain();
  // The done function may start the next operation.
  std::unique_ptr<TOperation> ended = std::move(op_);
  TDone done = std::move(done_);
  done_ = nullptr;
  if (done) done(outcome_);
  emit Finished();
}

}  // namespace tw
