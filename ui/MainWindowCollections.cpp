// The collections tree side of the main window.
#include <QTreeView>

#include "ui/MainWindow.h"

namespace tw {

void TMainWindow::BuildCollections() {}
void TMainWindow::AttachCollections() {}
void TMainWindow::SelectCollectionNode(TColNode*) {}
void TMainWindow::DeleteCollectionItems() {}

}  // namespace tw
