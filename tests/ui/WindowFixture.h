// The desktop program's windows under test: a main window over its own
// program state, with settings and word lists in a temporary folder, and a
// host whose questions are answered from a script instead of a modal box.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "state/Globals.h"
#include "ui/MainWindow.h"
#include "ui/QuietPlatform.h"
#include "ui/WindowHost.h"

namespace tw::test {

class TWindowFixture {
 public:
  struct TQuestion {
    std::string Text;
    TMsgButtons Buttons;
    TMsgKind Kind;
  };

  TWindowFixture() {
    QuietOffscreenNotes();
    qputenv("TARNWEX_CONFIG_DIR", dir.filePath("config").toUtf8());
    qputenv("TARNWEX_DATA_DIR", dir.filePath("data").toUtf8());
    host.Quiet = true;
    host.Answerer = [this](const std::string& text, TMsgButtons buttons, TMsgKind kind) {
      Questions.push_back({text, buttons, kind});
      if (!Answers.empty()) {
        const TMsgAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
      }
      return buttons == TMsgButtons::OK || buttons == TMsgButtons::OKCancel ? TMsgAnswer::OK : TMsgAnswer::Yes;
    };
    host.MessageSeen = [this](const std::string& text, TMsgKind kind) { Messages.push_back({text, kind}); };
    Start();
  }
  // The program's start: settings, window, layout.
  void Start() {
    g = std::make_unique<TGlobalData>(host);
    g->LoadSettings();
    window = std::make_unique<TMainWindow>(*g, host);
    window->ApplyLoadedSettings();
    if (!g->Layout.Main) window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
  }
  // Closes the window as the user does (close query, settings and layout
  // saved) and starts the program again over the same settings.
  bool Restart() {
    if (!window->close()) return false;
    window.reset();
    g.reset();
    Start();
    return true;
  }
  ~TWindowFixture() {
    // Leave without the close query.
    window->Library().Modified = false;
    window.reset();
  }

  // Opens a library file (Open.. without its dialog) and waits for the load.
  void Open(const QString& file) {
    window->OpenLibrary(file, true);
    Wait();
    Questions.clear();
  }
  void Wait() {
    window->Runner().Wait();
    QApplication::processEvents();
  }
  // A file path in the fixture's folder.
  QString Path(const QString& name) const { return dir.filePath(name); }
  // The questions asked so far, as their texts.
  std::vector<std::string> QuestionTexts() const {
    std::vector<std::string> texts;
    for (const auto& q : Questions) texts.push_back(q.Text);
    return texts;
  }

  QTemporaryDir dir;
  TWindowHost host;
  std::unique_ptr<TGlobalData> g;
  std::unique_ptr<TMainWindow> window;
  std::deque<TMsgAnswer> Answers;
  std::vector<TQuestion> Questions;
  std::vector<std::pair<std::string, TMsgKind>> Messages;
};

}  // namespace tw::test
