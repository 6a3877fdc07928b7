// What the main window remembers between runs: the View marks, the column
// widths, the placements of the window and its panels.
#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QActionGroup>

#include "base/Error.h"
#include "base/FileUtils.h"
#include "core/FileFind.h"
#include "base/TextUtils.h"
#include "state/Commands.h"
#include "tags/TagClasses.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/LibraryViews.h"
#include "ui/Text.h"
#include "ui/WindowHost.h"

namespace tw {

void TMainWindow::SaveWindowLayout() {
  g_.Layout.View.Toolbar = Command("miViewToolbar")->isChecked();
  g_.Layout.View.StatusBar = Command("miViewStatusbar")->isChecked();
  g_.Layout.View.Messages = Command("miViewMessages")->isChecked();
  g_.Layout.View.InfoBar = Command("miInfobar")->isChecked();
  g_.Layout.View.AutoResizeColumns = Command("miAutoResizeColumns")->isChecked();
  g_.Layout.View.Tab = tab->currentIndex();
  if (tab->currentIndex() == 2) {
    const QList<int> sizes = Spt->sizes();
    if (sizes.size() == 2) {
      g_.CollectionWidth = sizes[0];
      g_.TreeWidth = sizes[1];
    }
  }
  if (!Command("miAutoResizeColumns")->isChecked()) {
    g_.Layout.ColumnWidths.resize(TFileListModel::ColumnCount);
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) g_.Layout.ColumnWidths[static_cast<size_t>(c)] = lvDetails->columnWidth(c);
  }
  SavePlacements();
}

void TMainWindow::RestoreWindowLayout() {
  Command("miViewToolbar")->setChecked(g_.Layout.View.Toolbar);
  Command("miViewStatusbar")->setChecked(g_.Layout.View.StatusBar);
  Command("miViewMessages")->setChecked(g_.Layout.View.Messages);
  Command("miInfobar")->setChecked(g_.Layout.View.InfoBar);
  Command("miAutoResizeColumns")->setChecked(g_.Layout.View.AutoResizeColumns);
  RestorePlacements();
  ReadColumnWidths();
  fitColumnsOnce_ = !g_.Registry().RegKeyExists(RegKey("Pos\\frmMain\\LV\\0"));
  g_.SortDirections[0] = 2;
  listModel_->SortRows();
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "Arrange" + QString::number(g_.SortColumn < 6 ? g_.SortColumn : 0))) a->setChecked(true);
  g_.LastTab = -1;
  tab->setCurrentIndex(std::clamp(g_.Layout.View.Tab, 0, 2));
  LayoutTab();
}


// --- placements ---
// A placement keeps a window's normal rectangle (left, top, right, bottom)
// and whether it is maximized (show command 3, else 1); a panel keeps its
// rectangle inside the window, which gives the splitters their sizes back.

namespace {
TPlacement PlacementOf(const QRect& r, bool maximized) {
  TPlacement p;
  p.ShowCmd = maximized ? 3 : 1;
  p.MinPosX = p.MinPosY = p.MaxPosX = p.MaxPosY = -1;
  p.NormPosLeft = r.left();
  p.NormPosTop = r.top();
  p.NormPosRight = r.left() + r.width();
  p.NormPosBottom = r.top() + r.height();
  return p;
}
int Width(const TPlacement& p) { return p.NormPosRight - p.NormPosLeft; }
int Height(const TPlacement& p) { return p.NormPosBottom - p.NormPosTop; }
}  // namespace

void TMainWindow::SavePlacements() {
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  g_.Layout.Main = PlacementOf(normal, isMaximized());
  g_.Layout.TabPanel = PlacementOf(panTree->geometry(), false);
  g_.Layout.ListPanel = PlacementOf(panLV->geometry(), false);
  if (panMessages->isVisible()) g_.Layout.MessagesPanel = PlacementOf(panMessages->geometry(), false);
  if (panInfo->isVisible()) g_.Layout.InfoPanel = PlacementOf(panInfo->geometry(), false);
}

void TMainWindow::RestorePlacements() {
  if (const auto& main = g_.Layout.Main; main && Width(*main) > 0 && Height(*main) > 0) {
    setGeometry(main->NormPosLeft, main->NormPosTop, Width(*main), Height(*main));
    if (main->ShowCmd == 3) setWindowState(windowState() | Qt::WindowMaximized);
  }
  if (const auto& tree = g_.Layout.TabPanel; tree && Width(*tree) > 0) {
    const int total = std::max(SpltCol->width(), width());
    SpltCol->setSizes({Width(*tree), std::max(100, total - Width(*tree))});
  }
  if (const auto& messages = g_.Layout.MessagesPanel; messages && Height(*messages) > 0) {
    const int total = std::max(spltMsgs->height(), height() / 2);
    spltMsgs->setSizes({std::max(100, total - Height(*messages)), Height(*messages)});
  }
  if (const auto& info = g_.Layout.InfoPanel; info && Height(*info) > 0) {
    const int total = std::max(spltInfo->height(), height() / 2);
    spltInfo->setSizes({std::max(100, total - Height(*info)), Height(*info)});
  }
}

}  // namespace tw
