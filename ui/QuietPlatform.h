// Drops the offscreen platform's notes that say nothing about the program
// (no size hints, no runtime folder) from the output of the tools that run
// the windows without a display: benchmarks, screenshots.
#pragma once

#include <QtGlobal>

namespace tw {

inline void QuietOffscreenNotes() {
  static QtMessageHandler previous = nullptr;
  previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints")) || text.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
    if (previous) previous(type, context, text);
  });
}

}  // namespace tw
