// A dialog's placement kept in the settings store under
// "\software\Quenmoor\Tarnwex\Pos\" + its component name. Window's thread
// only.
#pragma once

class QWidget;

namespace tw {

class TRegStore;

// Moves and sizes the window as it was last closed; nothing when the store
// holds no usable placement for it.
void RestoreDialogPlacement(QWidget& window, TRegStore& store);
void SaveDialogPlacement(const QWidget& window, TRegStore& store);

}  // namespace tw
