#include "base/Operation.h"

#include "base/Error.h"
#include "base/Messages.h"

namespace tw {

TMsgAnswer TOperationSink::OnAsk(const std::string&, TMsgButtons buttons, TMsgKind) {
  return buttons == TMsgButtons::OK || buttons == TMsgButtons::OKCancel ? TMsgAnswer::OK : TMsgAnswer::Yes;
}

TOperation::TOperation(TOperationSink& sink, const TMessageTable& texts) : sink_(sink), texts_(texts) {}

TQuietOperation::TQuietOperation() : TOperation(static_cast<TSilentSink&>(*this), BuiltInTable()) {}

void TOperation::CheckStop() const {
  if (StopRequested()) throw ECanceled("infoCancel", {});
}

std::string TOperation::Text(const std::string& key, std::initializer_list<std::string> values) const {
  return Format(texts_.GetText(key), values);
}

void TOperation::Begin(const std::string& caption, int64_t total) {
  lastStep_ = {};
  pendingStatus_.clear();
  pendingPosition_ = -1;
  sink_.OnBegin(caption, total);
}

bool TOperation::StepDue() const { return std::chrono::steady_clock::now() - lastStep_ >= StepInterval; }

void TOperation::Step(const std::string& status, int64_t position) {
  if (!status.empty()) pendingStatus_ = status;
  if (position >= 0) pendingPosition_ = position;
  if (!StepDue()) return;
  lastStep_ = std::chrono::steady_clock::now();
  sink_.OnStep(pendingStatus_, pendingPosition_);
  pendingStatus_.clear();
  pendingPosition_ = -1;
}

void TOperation::Show(const std::string& status) {
  if (!status.empty()) sink_.OnStatus(status);
}

void TOperation::Log(const std::string& line) { sink_.OnLog(line); }

void TOperation::End(const std::string& text) { sink_.OnEnd(text); }

TMsgAnswer TOperation::Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind) {
  return sink_.OnAsk(text, buttons, kind);
}

}  // namespace tw
