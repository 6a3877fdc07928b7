// What the main window keeps between runs beside the options: the View menu
// marks, placements of the window and its panels, list column widths and the
// Reopen menu. The desktop program applies them; the store only keeps them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/RegUtils.h"

namespace tw {

// The settings stamp: any other stamp means a tree to throw away.
inline constexpr const char* kSettingsStamp = "2.0 (Build: 50)";

struct TViewMarks {
  bool Toolbar = true;
  bool StatusBar = true;
  bool Messages = false;
  bool InfoBar = true;
  bool AutoResizeColumns = false;
  int32_t Tab = 0;  // 0 collection, 1 volume, 2 mixed
};

struct TMainLayout {
  TViewMarks View;
  std::optional<TPlacement> Main;
  // The tree, file-list, messages and information panels.
  std::optional<TPlacement> TabPanel, ListPanel, MessagesPanel, InfoPanel;
  // Widths of the main file list's columns.
  std::vector<int32_t> ColumnWidths{200, 50, 50, 50, 50, 50};
  // The Reopen menu, most recent first.
  std::vector<std::string> Recent;
  // The window is to open at the centre of the screen (first start).
  bool Centered = false;
};

// Key paths of the main window's values.
std::string RegKey(const std::string& sub);  // the root followed by sub
std::string MainPlacementKey();

}  // namespace tw
