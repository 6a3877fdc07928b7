// The Add volume and Update commands of the main window.
#include "ui/MainWindow.h"

namespace tw {

void TMainWindow::AddVolumeCommand() {}
void TMainWindow::UpdateVolumeCommand() {}

}  // namespace tw
