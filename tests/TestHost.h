// The tests' host: records everything shown and answers questions from a
// script. It can press Stop at a chosen event pump.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "state/Host.h"

namespace tw {

class TGlobalData;

class TTestHost : public THost {
 public:
  struct TQuestion {
    std::string Text;
    TMsgButtons Buttons;
  };

  // Answers given in order; when they run out, OK or Yes.
  std::deque<TMsgAnswer> Answers;
  std::vector<TQuestion> Questions;
  std::vector<std::pair<std::string, TMsgKind>> Messages;
  std::vector<std::string> Log;
  std::map<std::pair<int, int>, std::string> Status;
  std::map<std::string, bool> Commands;
  std::map<std::string, int> MenuEntries;
  bool ViewsEnabled = true;
  bool ProgressVisible = false;
  std::string ProgressCaption;
  int32_t ProgressMax = 0;
  int32_t ProgressPos = 0;
  std::vector<int32_t> Positions;
  int Pumps = 0;
  int Beeps = 0;
  int EnableCalls = 0;
  // Presses the Stop command at this pump (1-based); 0 never.
  int StopAtPump = 0;
  TGlobalData* Globals = nullptr;
  // Runs at every pump, after the Stop check.
  std::function<void(int)> OnPump;

  void ShowProgress(bool visible) override { ProgressVisible = visible; }
  void SetProgressCaption(const std::string& caption) override { ProgressCaption = caption; }
  void SetProgressRange(int32_t maximum) override { ProgressMax = maximum; }
  void SetProgressPosition(int32_t position) override {
    ProgressPos = position;
    Positions.push_back(position);
  }
  void SetStatusText(TStatusBar bar, int panel, const std::string& text) override {
    Status[{static_cast<int>(bar), panel}] = text;
  }
  std::string StatusText(TStatusBar bar, int panel) const override {
    auto it = Status.find({static_cast<int>(bar), panel});
    return it == Status.end() ? std::string() : it->second;
  }
  void AppendLog(const std::string& line) override { Log.push_back(line); }
  TMsgAnswer Ask(const std::string& text, TMsgButtons buttons, TMsgKind) override;
  void ShowMessage(const std::string& text, TMsgKind kind) override { Messages.emplace_back(text, kind); }
  void ProcessEvents() override;
  void EnableCommands(const std::vector<std::string>& names, bool enabled) override {
    ++EnableCalls;
    for (const auto& n : names) Commands[n] = enabled;
  }
  void EnableViews(bool enabled) override { ViewsEnabled = enabled; }
  int MenuEntryCount(const std::string& menu) const override {
    auto it = MenuEntries.find(menu);
    return it == MenuEntries.end() ? 0 : it->second;
  }
  void Beep() override { ++Beeps; }

  int CountLog(const std::string& line) const;
};

}  // namespace tw
