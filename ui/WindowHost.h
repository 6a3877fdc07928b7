// The host of the desktop program: progress, status bars, messages pane,
// questions and enabled commands go to the main window's widgets. Created
// before the program state (which needs a host) and attached to the window
// once it exists; until then it shows nothing and answers every question
// with its default.
//
// Used on the window's thread only.
#pragma once

#include <QStringList>
#include <QTimer>
#include <functional>

#include "state/Host.h"

namespace tw {

class TMainWindow;

class TWindowHost : public THost {
 public:
  TWindowHost();
  void Attach(TMainWindow* window);

  void ShowProgress(bool visible) override;
  void SetProgressCaption(const std::string& caption) override;
  void SetProgressRange(int32_t maximum) override;
  void SetProgressPosition(int32_t position) override;
  void SetStatusText(TStatusBar bar, int panel, const std::string& text) override;
  std::string StatusText(TStatusBar bar, int panel) const override;
  void AppendLog(const std::string& line) override;
  TMsgAnswer Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind) override;
  void ShowMessage(const std::string& text, TMsgKind kind) override;
  void ProcessEvents() override {}
  void EnableCommands(const std::vector<std::string>& names, bool enabled) override;
  void EnableViews(bool enabled) override;
  int MenuEntryCount(const std::string& menu) const override;
  void Beep() override;

  // Writes the log lines still waiting for the messages pane.
  void FlushLog();

  // The tests answer questions and see messages here instead of a modal box.
  std::function<TMsgAnswer(const std::string& text, TMsgButtons buttons, TMsgKind kind)> Answerer;
  std::function<void(const std::string& text, TMsgKind kind)> MessageSeen;
  bool Quiet = false;  // no beep

 private:
  TMainWindow* window_ = nullptr;
  QStringList pendingLog_;
  QTimer logTimer_;
};

}  // namespace tw
