#include "cli/CliHost.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "base/Utf8.h"
#include "state/Globals.h"

namespace tw {
namespace {

std::atomic<bool> interrupted{false};

// The first Ctrl+C stops the running operation; a second one ends the tool.
extern "C" void OnInterrupt(int) {
  if (interrupted.exchange(true)) ::_exit(130);
}

}  // namespace

TCliHost::TCliHost() : tty_(::isatty(STDERR_FILENO) != 0) {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
}

TCliHost::~TCliHost() { ClearProgressLine(); }

void TCliHost::ShowProgress(bool visible) {
  visible_ = visible;
  if (!visible) ClearProgressLine();
}

void TCliHost::SetProgressCaption(const std::string& caption) { caption_ = caption; }
void TCliHost::SetProgressRange(int32_t maximum) { max_ = maximum; }

void TCliHost::SetProgressPosition(int32_t position) {
  pos_ = position;
  DrawProgress();
}

void TCliHost::SetStatusText(TStatusBar bar, int panel, const std::string& text) {
  if (bar == TStatusBar::Main && panel == 1) {
    status_ = text;
    DrawProgress();
  } else if (bar == TStatusBar::Volumes && panel == 1) {
    volumeSize_ = text;
  }
}

std::string TCliHost::StatusText(TStatusBar bar, int panel) const {
  return bar == TStatusBar::Volumes && panel == 1 ? volumeSize_ : std::string();
}

void TCliHost::DrawProgress() {
  if (!tty_ || !visible_ || Quiet) return;
  std::string line = DisplayUtf8(caption_);
  if (max_ > 0) line += std::to_string(static_cast<int>(100.0 * pos_ / max_)) + "% ";
  line += DisplayUtf8(status_);
  if (line.size() > 78) line = line.substr(0, 75) + "...";
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void TCliHost::ClearProgressLine() {
  if (drawn_) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
  }
}

void TCliHost::AppendLog(const std::string& line) {
  ++LogLines;
  if (Quiet) return;
  ClearProgressLine();
  std::cerr << DisplayUtf8(line) << '\n';
}

TMsgAnswer TCliHost::Ask(const std::string& text, TMsgButtons buttons, TMsgKind) {
  bool okKind = buttons == TMsgButtons::OK || buttons == TMsgButtons::OKCancel;
  if (AnswerYes) return okKind ? TMsgAnswer::OK : TMsgAnswer::Yes;
  // A declined question says what was declined.
  ClearProgressLine();
  std::string shown;
  for (char c : text)
    if (c != '\r') shown += c;
  std::cerr << DisplayUtf8(shown) << " " << (okKind ? "Cancel" : "No") << '\n';
  return okKind ? TMsgAnswer::Cancel : TMsgAnswer::No;
}

void TCliHost::ShowMessage(const std::string& text, TMsgKind kind) {
  ClearProgressLine();
  if (kind == TMsgKind::Error) ErrorShown = true;
  std::cerr << (kind == TMsgKind::Error ? "error: " : "") << DisplayUtf8(text) << '\n';
}

void TCliHost::ProcessEvents() {
  if (IgnoreStop) return;
  if (interrupted.exchange(false) && globals_ && !globals_->ProcessStopped) {
    Interrupted = true;
    globals_->Stop();
  }
}

}  // namespace tw
