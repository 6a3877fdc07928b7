// The volume tree, the file list and the information panel: what they show
// and the commands that act on them.
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

// --- volume tree and file list ---

TFolderNode* TMainWindow::SelectedFolderNode() const {
  const QModelIndex current = tvNodes->selectionModel()->currentIndex();
  if (current.isValid() && tvNodes->selectionModel()->isSelected(current)) return treeModel_->Node(current);
  const QModelIndexList rows = tvNodes->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : treeModel_->Node(rows.first());
}

std::vector<TFolderNode*> TMainWindow::SelectedFolderNodes() const {
  std::vector<TFolderNode*> nodes;
  for (const QModelIndex& index : tvNodes->selectionModel()->selectedRows()) nodes.push_back(treeModel_->Node(index));
  return nodes;
}

std::vector<TLibFolderItem*> TMainWindow::SelectedItems() const {
  std::vector<TLibFolderItem*> items;
  QModelIndexList rows = lvDetails->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& index : rows) items.push_back(listModel_->Item(index.row()));
  return items;
}

void TMainWindow::SelectFolderNode(TFolderNode* node) {
  const QModelIndex index = treeModel_->IndexOf(node);
  if (!index.isValid()) {
    tvNodes->selectionModel()->clearSelection();
    tvNodes->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    OnTreeSelectionChanged();
    return;
  }
  tvNodes->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  tvNodes->scrollTo(index);
}

void TMainWindow::OnTreeSelectionChanged() {
  // Only siblings are selected together.
  const QModelIndex current = tvNodes->selectionModel()->currentIndex();
  QItemSelection strays;
  for (const QModelIndex& index : tvNodes->selectionModel()->selectedRows())
    if (current.isValid() && index.parent() != current.parent()) strays.select(index, index);
  if (!strays.isEmpty()) {
    tvNodes->selectionModel()->select(strays, QItemSelectionModel::Deselect);
    return;
  }
  FillList();
}

void TMainWindow::FillList() {
  TFolderNode* node = SelectedFolderNode();
  TLibFolder* folder = node ? node->Data() : nullptr;
  if (!folder) {
    listModel_->SetFolder(nullptr);
    return;
  }
  listModel_->SetFolder(folder);
  if (Command("miAutoResizeColumns")->isChecked()) {
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) lvDetails->resizeColumnToContents(c);
  } else if (fitColumnsOnce_ && folder->Items.Count() > 0) {
    // Before any widths were kept, the first list shown widens the columns
    // its texts would not fit.
    fitColumnsOnce_ = false;
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) {
      const int kept = lvDetails->columnWidth(c);
      lvDetails->resizeColumnToContents(c);
      if (lvDetails->columnWidth(c) < kept) lvDetails->setColumnWidth(c, kept);
    }
  }
  const TTextFormat format = g_.TextFormat();
  auto size = [&](int64_t bytes) { return FormatSize(g_.SizeUnit, static_cast<double>(bytes), format); };
  TLibObj& lib = Library();
  sb_loc->SetText(0, Q(folder->GetVolume()->Location));
  sb_fp->SetText(0, Q(folder->GetDisplayPath()));
  sb->SetText(0, Q(Format(g_.GetText("infoFiles"), {std::to_string(folder->Items.Count())})));
  sb->SetText(1, Q(Format(g_.GetText("infoSize"), {size(folder->GetFilesSize())})));
  sb_main->SetText(0, Q(lib.FileName));
  sb_tree->SetText(0, Q(Format(g_.GetText("infoVol"), {std::to_string(lib.VolumeCount)})));
  sb_tree->SetText(1, Q(Format(g_.GetText("infoSize"), {size(folder->GetSize())})));
  sb_colL->SetText(0, Q(Format(g_.GetText("infoItems"), {std::to_string(lib.Collections.Count())})));
  sb_colL->SetText(1, sb_tree->Text(1));
  UpdateInfoPanel();
}

void TMainWindow::UpdateInfoPanel() {
  try {
    const std::vector<TLibFolderItem*> items = SelectedItems();
    TLibFolderItem* item = nullptr;
    const QModelIndex current = lvDetails->selectionModel()->currentIndex();
    if (current.isValid() && lvDetails->selectionModel()->isSelected(current)) item = listModel_->Item(current.row());
    else if (!items.empty()) item = items.front();
    if (item) {
      infolblCat->setText(Q(Format(g_.GetText("InfoCat"), {item->Category})));
      infolblLoc->setText(Q(Format(g_.GetText("InfoLoc"), {item->Folder ? item->Folder->Location : std::string()})));
      infomemo->setPlainText(Q(item->Comments));
      std::vector<std::string> display;
      TTagInfo::TagsToCaptions(item->TagInfo.Tags, display, g_.TagsList.Items());
      infovle->setRowCount(0);
      infovle->setRowCount(static_cast<int>(display.size()));
      for (int row = 0; row < static_cast<int>(display.size()); ++row) {
        const std::string& line = display[static_cast<size_t>(row)];
        const size_t eq = line.find('=');
        // A tag whose name has no caption in the tag list shows its name.
        std::string key = line.substr(0, eq);
        if (key.empty()) {
          const std::string& tag = item->TagInfo.Tags[static_cast<size_t>(row)];
          key = tag.substr(0, tag.find('='));
        }
        infovle->setItem(row, 0, new QTableWidgetItem(Q(key)));
        infovle->setItem(row, 1, new QTableWidgetItem(eq == std::string::npos ? QString() : Q(line.substr(eq + 1))));
      }
      return;
    }
    if (TFolderNode* node = SelectedFolderNode(); node && node->Data()) {
      const TLibFolder* folder = node->Data();
      infolblCat->setText(Q(Format(g_.GetText("InfoCat"), {folder->Category})));
      infolblLoc->setText(Q(Format(g_.GetText("InfoLoc"), {folder->Location})));
      infomemo->setPlainText(Q(folder->Comments));
    }
  } catch (...) {
    infolblCat->clear();
    infolblLoc->clear();
    infomemo->clear();
    infovle->setRowCount(0);
  }
}

void TMainWindow::OnListCurrentChanged() {
  const QModelIndex current = lvDetails->selectionModel()->currentIndex();
  if (current.isValid() && lvDetails->selectionModel()->isSelected(current)) {
    TLibFolderItem* item = listModel_->Item(current.row());
    if (item->ColNode) SelectCollectionNode(item->ColNode);
  }
  UpdateInfoPanel();
}

void TMainWindow::OpenSelectedRow() {
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (items.empty()) return;
  const QModelIndex current = lvDetails->selectionModel()->currentIndex();
  TLibFolderItem* item = current.isValid() && lvDetails->selectionModel()->isSelected(current)
                             ? listModel_->Item(current.row())
                             : items.front();
  if (item->IsFolder) {
    TLibFolder* folder = item->Folder;
    if (!folder || !folder->Node) return;
    const std::string path = folder->GetPath() + item->Name + "\\";
    TFolderNode* found = Library().FindFolderNode(TLibObj::RootOf(folder->Node), path);
    if (found) SelectFolderNode(found);
    return;
  }
  FileProperties(false);
}

void TMainWindow::DeleteSelected() {
  TLibObj& lib = Library();
  QWidget* focus = QApplication::focusWidget();
  if (focus == tvCol) {
    DeleteCollectionItems();
    return;
  }
  const std::vector<TFolderNode*> nodes = SelectedFolderNodes();
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (nodes.empty() && items.empty()) return;
  if (focus == tvNodes && !nodes.empty()) {
    std::vector<std::string> captions;
    for (TFolderNode* n : nodes) captions.push_back(n->Text);
    const std::string names = JoinList(captions, "; ");
    TFolderNode* focused = SelectedFolderNode();
    const bool ask = focused && ((focused->Parent() && g_.ConfirmDeleteFolder) || (!focused->Parent() && g_.ConfirmDeleteVolume));
    if (!ask || host_.Ask(Format(g_.GetText("confDelete"), {names}), TMsgButtons::YesNo, TMsgKind::Confirmation) ==
                    TMsgAnswer::Yes) {
      const std::string status = Format(g_.GetText("msgsFree"), {names});
      g_.ShowStatus(status, status, true);
      for (TFolderNode* n : nodes) {
        TLibFolder* folder = n->Data();
        folder->DeletePending = true;
        if (folder->Parent)
          if (TLibFolderItem* entry = folder->Parent->Items.Find(n->Text)) lib.DeleteItem(entry);
      }
      tvNodes->selectionModel()->clearSelection();
      for (TFolderNode* n : nodes) lib.DeleteFolderNode(n);
      listModel_->SetFolder(nullptr);
      g_.AddMessage(Format(g_.GetText("msgsNodeDel"), {names}));
    }
  } else if (focus == ListView() && !items.empty()) {
    std::string names;
    if (items.size() == 1) names = items.front()->Name;
    else if (items.size() <= 5)
      for (TLibFolderItem* item : items) names += item->Name + ";";
    else names = items.front()->Name + ";...";
    if (!g_.ConfirmDeleteFile ||
        host_.Ask(Format(g_.GetText("confDelete"), {names}), TMsgButtons::YesNo, TMsgKind::Confirmation) ==
            TMsgAnswer::Yes) {
      TLibFolder* folder = listModel_->Folder();
      std::vector<std::string> captions;
      for (TLibFolderItem* item : items) captions.push_back(item->Name);
      lvDetails->selectionModel()->clearSelection();
      for (const std::string& caption : captions) {
        TLibFolderItem* entry = folder->Items.Find(caption);
        if (!entry) continue;
        if (entry->IsFolder)
          if (TLibFolder* target = entry->GetTargetFolder()) target->DeletePending = true;
        lib.DeleteItem(entry);
      }
      if (TFolderNode* node = folder->Node)
        for (int i = node->Count() - 1; i >= 0; --i)
          if (node->Item(i)->Data()->DeletePending) lib.DeleteFolderNode(node->Item(i));
      FillList();
    }
  }
  lib.Modified = true;
}

void TMainWindow::RefreshView() {
  TFolderNode* node = SelectedFolderNode();
  if (node) {
    const std::string status = Format(g_.GetText("msgsRefreshing"), {node->Text});
    g_.ShowStatus(status, status, true);
  }
  tvNodes->viewport()->update();
  ListView()->viewport()->update();
  if (node) {
    FillList();
    g_.AddMessage(Format(g_.GetText("msgsRefreshed"), {node->Text}));
  }
}

void TMainWindow::OpenRealSource() {
  QWidget* focus = QApplication::focusWidget();
  std::string path;
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (focus == ListView() && !items.empty()) path = items.front()->GetItemSourcePath();
  else if (focus == tvNodes && SelectedFolderNode()) path = SelectedFolderNode()->Data()->GetSourcePath();
  else return;
  // The desktop's default handler; a failure is not reported.
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
}

void TMainWindow::SelectAllRows() {
  if (QApplication::focusWidget() != ListView()) return;
  ListView()->selectAll();
}

void TMainWindow::InvertSelection() {
  QItemSelection all(listModel_->index(0, 0), listModel_->index(listModel_->rowCount() - 1, TFileListModel::ColumnCount - 1));
  if (listModel_->rowCount() == 0) return;
  lvDetails->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TMainWindow::SetViewStyle(int style) {
  ViewStyle = style;
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "View" + QString::number(style))) a->setChecked(true);
  const bool hadFocus = ListView()->hasFocus();
  if (style == 3) {
    lv->setCurrentWidget(lvDetails);
  } else {
    lvIcons->setViewMode(style == 0 ? QListView::IconMode : QListView::ListMode);
    lvIcons->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
    lvIcons->setWrapping(true);
    lvIcons->setResizeMode(QListView::Adjust);
    const int extent = style == 0 ? QWidget::style()->pixelMetric(QStyle::PM_LargeIconSize) : QWidget::style()->pixelMetric(QStyle::PM_SmallIconSize);
    lvIcons->setIconSize(QSize(extent, extent));
    // Large icons wrap their names over up to three lines below the picture.
    lvIcons->setWordWrap(style == 0);
    // Each name gets the width it needs (a uniform size is taken from one
    // item and cuts the longer names).
    lvIcons->setUniformItemSizes(false);
    lvIcons->setTextElideMode(Qt::ElideMiddle);
    if (style == 0) lvIcons->setGridSize(QSize(fontMetrics().averageCharWidth() * 16, extent + fontMetrics().height() * 3 + 8));
    else lvIcons->setGridSize({});
    lv->setCurrentWidget(lvIcons);
  }
  if (hadFocus) ListView()->setFocus();
}

void TMainWindow::ArrangeBy(int column) {
  listModel_->ClickColumn(column);
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "Arrange" + QString::number(column))) a->setChecked(true);
}

void TMainWindow::ExpandNode(int how) {
  const QModelIndex index = tvNodes->selectionModel()->currentIndex();
  if (!index.isValid()) return;
  switch (how) {
    case 0: tvNodes->expand(index); break;
    case 1: tvNodes->collapse(index); break;
    case 2: tvNodes->expandRecursively(index); break;
    default: {
      std::function<void(const QModelIndex&)> collapse = [&](const QModelIndex& parent) {
        for (int row = 0; row < treeModel_->rowCount(parent); ++row) collapse(treeModel_->index(row, 0, parent));
        tvNodes->collapse(parent);
      };
      collapse(index);
    }
  }
}

void TMainWindow::RenameVolume(TFolderNode* node, const QString& text) {
  if (!Idle() || !node || !node->IsTopLevel()) return;
  TLibObj& lib = Library();
  node->Data()->Name = S(text);
  node->Text = S(text);
  lib.ReportFolderChanged(node);
  // A caption change sorts the node's siblings by caption, whatever the
  // option says.
  lib.SortVolumes();
  lib.Modified = true;
  SelectFolderNode(node);
}

void TMainWindow::SetAutoResizeColumns(bool on) {
  if (on) {
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) lvDetails->resizeColumnToContents(c);
    return;
  }
  ReadColumnWidths();
}

void TMainWindow::ReadColumnWidths() {
  for (int c = 0; c < TFileListModel::ColumnCount; ++c) {
    const size_t i = static_cast<size_t>(c);
    int width = i < g_.Layout.ColumnWidths.size() && g_.Layout.ColumnWidths[i] > 0 ? g_.Layout.ColumnWidths[i] : (c ? 50 : 200);
    lvDetails->setColumnWidth(c, width);
  }
}

}  // namespace tw
