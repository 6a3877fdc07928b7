// The one way the catalog reaches the user: the desktop program, the
// command-line tool and the tests each implement it. Everything here may be
// called often; implementations keep it cheap and must not throw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Operation.h"

namespace tw {

// The three status bars of the main window.
enum class TStatusBar { Main, Volumes, Collections };

class THost {
 public:
  virtual ~THost() = default;

  // Progress area: a caption label and a bar from 0 to a maximum.
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgressCaption(const std::string& caption) = 0;
  virtual void SetProgressRange(int32_t maximum) = 0;
  virtual void SetProgressPosition(int32_t position) = 0;

  virtual void SetStatusText(TStatusBar bar, int panel, const std::string& text) = 0;
  virtual std::string StatusText(TStatusBar bar, int panel) const = 0;

  // One line of the messages pane.
  virtual void AppendLog(const std::string& line) = 0;

  virtual TMsgAnswer Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind) = 0;
  virtual void ShowMessage(const std::string& text, TMsgKind kind) = 0;

  // Lets pending user input through; this is where a Stop request arrives.
  virtual void ProcessEvents() = 0;

  // Enables or disables the named commands of the main window.
  virtual void EnableCommands(const std::vector<std::string>& names, bool enabled) = 0;
  // The file list and both trees.
  virtual void EnableViews(bool enabled) = 0;
  // Number of entries of a menu that lists entries ("miReopen", "miLanguages").
  virtual int MenuEntryCount(const std::string& menu) const = 0;

  virtual void Beep() = 0;
};

// A host that shows nothing and answers every question affirmatively.
class TNullHost : public THost {
 public:
  void ShowProgress(bool) override {}
  void SetProgressCaption(const std::string&) override {}
  void SetProgressRange(int32_t) override {}
  void SetProgressPosition(int32_t) override {}
  void SetStatusText(TStatusBar, int, const std::string&) override {}
  std::string StatusText(TStatusBar, int) const override { return {}; }
  void AppendLog(const std::string&) override {}
  TMsgAnswer Ask(const std::string&, TMsgButtons buttons, TMsgKind) override {
    return buttons == TMsgButtons::OK || buttons == TMsgButtons::OKCancel ? TMsgAnswer::OK : TMsgAnswer::Yes;
  }
  void ShowMessage(const std::string&, TMsgKind) override {}
  void ProcessEvents() override {}
  void EnableCommands(const std::vector<std::string>&, bool) override {}
  void EnableViews(bool) override {}
  int MenuEntryCount(const std::string&) const override { return 0; }
  void Beep() override {}
};

}  // namespace tw
