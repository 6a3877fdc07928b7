#include "tests/TestHost.h"

#include <algorithm>

#include "state/Globals.h"

namespace tw {

TMsgAnswer TTestHost::Ask(const std::string& text, TMsgButtons buttons, TMsgKind) {
  Questions.push_back({text, buttons});
  if (!Answers.empty()) {
    TMsgAnswer a = Answers.front();
    Answers.pop_front();
    return a;
  }
  return buttons == TMsgButtons::OK || buttons == TMsgButtons::OKCancel ? TMsgAnswer::OK : TMsgAnswer::Yes;
}

void TTestHost::ProcessEvents() {
  ++Pumps;
  if (StopAtPump && Pumps == StopAtPump && Globals) Globals->Stop();
  if (OnPump) OnPump(Pumps);
}

int TTestHost::CountLog(const std::string& line) const {
  return static_cast<int>(std::count(Log.begin(), Log.end(), line));
}

}  // namespace tw
