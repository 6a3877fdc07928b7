// The command-line tool's host: log lines and messages on stderr, progress
// on stderr only when it is a terminal, Ctrl+C as the Stop command.
#pragma once

#include "state/Host.h"

namespace tw {

class TGlobalData;

class TCliHost : public THost {
 public:
  TCliHost();
  ~TCliHost() override;

  void Attach(TGlobalData* globals) { globals_ = globals; }
  bool Quiet = false;
  // Answer to every question; the user asked for the command.
  bool AnswerYes = true;
  // An error box was shown (an operation that reports instead of raising).
  bool ErrorShown = false;
  // Log lines written so far.
  size_t LogLines = 0;
  // Ctrl+C stopped an operation.
  bool Interrupted = false;
  // Ctrl+C stops nothing now (a save of finished work runs).
  bool IgnoreStop = false;

  void ShowProgress(bool visible) override;
  void SetProgressCaption(const std::string& caption) override;
  void SetProgressRange(int32_t maximum) override;
  void SetProgressPosition(int32_t position) override;
  void SetStatusText(TStatusBar bar, int panel, const std::string& text) override;
  std::string StatusText(TStatusBar bar, int panel) const override;
  void AppendLog(const std::string& line) override;
  TMsgAnswer Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind) override;
  void ShowMessage(const std::string& text, TMsgKind kind) override;
  void ProcessEvents() override;
  void EnableCommands(const std::vector<std::string>&, bool) override {}
  void EnableViews(bool) override {}
  int MenuEntryCount(const std::string&) const override { return 0; }
  void Beep() override {}

 private:
  void DrawProgress();
  void ClearProgressLine();

  TGlobalData* globals_ = nullptr;
  bool tty_ = false;
  bool visible_ = false;
  bool drawn_ = false;
  std::string caption_;
  std::string status_;
  int32_t max_ = 0;
  int32_t pos_ = 0;
  std::string volumeSize_;
};

}  // namespace tw
