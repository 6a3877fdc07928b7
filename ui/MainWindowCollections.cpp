// The collections tree side of the main window: its view settings, its
// context menu and commands, drops from the other views, and how its
// selection and theirs follow each other.
#include <QAction>
#include <QDesktopServices>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <unordered_set>

#include "base/Error.h"
#include "base/TextUtils.h"
#include "ui/CollectionTreeModel.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/LibraryViews.h"
#include "ui/MainWindow.h"
#include "ui/MemoEditor.h"
#include "ui/Text.h"
#include "ui/WindowHost.h"

namespace tw {

namespace {

// Lets only drags from the program's own views over the collections tree:
// the pointers they carry mean nothing coming from anywhere else. Owns
// nothing; filters the tree's viewport on the window's thread.
class TOwnDragsOnly : public QObject {
 public:
  TOwnDragsOnly(std::vector<QObject*> sources, QObject* parent) : QObject(parent), sources_(std::move(sources)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
      return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (std::find(sources_.begin(), sources_.end(), drop->source()) != sources_.end()) return false;
    drop->ignore();
    return true;
  }

 private:
  std::vector<QObject*> sources_;
};

}  // namespace

void TMainWindow::BuildCollections() {
  colModel_ = new TCollectionTreeModel(pictures_, this);
  colModel_->Editable = [this] { return Idle(); };
  colModel_->SetLibrary(g_.CurrentLibrary.get());
  colModel_->DropHandler = [this](const QMimeData* data, TColNode* target) { return DropOnCollections(data, target); };
  views_->Add(colModel_);

  tvCol->setModel(colModel_);
  tvCol->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tvCol->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvCol->setAllColumnsShowFocus(true);
  tvCol->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  tvCol->setUniformRowHeights(true);
  tvCol->setDragEnabled(true);
  tvCol->setAcceptDrops(true);
  tvCol->setDragDropMode(QAbstractItemView::DragDrop);
  // A drop lands on the node under the pointer, never between two nodes.
  tvCol->setDragDropOverwriteMode(true);
  tvCol->setDefaultDropAction(Qt::CopyAction);
  tvCol->setContextMenuPolicy(Qt::CustomContextMenu);
  tvCol->viewport()->installEventFilter(new TOwnDragsOnly({tvNodes, lvDetails, lvIcons, tvCol}, this));

  frmMemo_ = new TfrmMemo(g_, this);

  auto idle = [this](void (TMainWindow::*command)()) {
    return [this, command] {
      if (Idle()) (this->*command)();
    };
  };
  MakeCommand("miColProp", "&Properties", {}, idle(&TMainWindow::CollectionProperties));
  MakeCommand("miColAdd", "New &Collection", {}, idle(&TMainWindow::NewCollection));
  MakeCommand("miColAddSub", "New &Sub Collection", {}, idle(&TMainWindow::NewSubCollection));
  MakeCommand("miColNewMemo", "New &Memo Item", {}, idle(&TMainWindow::NewMemoItem));
  MakeCommand("miColRen", "&Rename", "F2", idle(&TMainWindow::RenameCollectionItem));
  MakeCommand("miColDel", "&Delete", {}, idle(&TMainWindow::DeleteCollectionItems));
  MakeCommand("miColRun", "&Open Link", {}, [this] { OpenCollectionLink(); });
  MakeCommand("miColExpandOne", "Expand Node (One Level)", {}, [this] { ExpandCollectionNode(0); });
  MakeCommand("miColCollapseOne", "Collapse Node (One Level)", {}, [this] { ExpandCollectionNode(1); });
  MakeCommand("miColExpandAll", "Expand Node (All Levels)", {}, [this] { ExpandCollectionNode(2); });
  MakeCommand("miColCollapseAll", "Collapse Node (All Levels)", {}, [this] { ExpandCollectionNode(3); });

  auto* pmCol = new QMenu(this);
  pmCol->setObjectName("pmCol");
  menus_.insert("pmCol", pmCol);
  for (const char* name : {"miColProp", "miColAdd", "miColAddSub", "miColNewMemo", "miColRen", "miColDel", "miColRun"})
    pmCol->addAction(Command(QString::fromLatin1(name)));
  QMenu* node = pmCol->addMenu(QStringLiteral("Node"));
  node->setObjectName("Node2");
  node->menuAction()->setObjectName("Node2");
  menus_.insert("Node2", node);
  for (const char* name : {"miColExpandOne", "miColCollapseOne", "miColExpandAll", "miColCollapseAll"})
    node->addAction(Command(QString::fromLatin1(name)));
  connect(pmCol, &QMenu::aboutToShow, this, [this] {
    const TColNode* selected = SelectedCollectionNode();
    const TLibColItem* item = selected ? selected->Data() : nullptr;
    for (const char* name : {"miColAdd", "miColAddSub", "miColNewMemo", "miColRen", "miColDel"})
      Command(QString::fromLatin1(name))->setEnabled(Idle());
    Command("miColRun")->setEnabled(item && !item->Url.empty());
    Command("miColProp")->setEnabled(Idle());
  });
  contextMenus_.insert(tvCol, pmCol);

  connect(tvCol, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex at = tvCol->indexAt(pos);
    if (at.isValid())
      tvCol->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ShowContextMenu(Menu("pmCol"), tvCol, pos);
  });
  connect(tvCol->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnCollectionSelectionChanged(); });
}

void TMainWindow::AttachCollections() { colModel_->SetLibrary(g_.CurrentLibrary.get()); }

void TMainWindow::DetachCollections() { colModel_->SetLibrary(nullptr); }

// --- selection ---

TColNode* TMainWindow::SelectedCollectionNode() const {
  const QModelIndex current = tvCol->selectionModel()->currentIndex();
  if (current.isValid() && tvCol->selectionModel()->isSelected(current)) return colModel_->Node(current);
  const QModelIndexList rows = tvCol->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : colModel_->Node(rows.first());
}

std::vector<TColNode*> TMainWindow::SelectedCollectionNodes() const {
  std::unordered_set<TColNode*> selected;
  for (const QModelIndex& index : tvCol->selectionModel()->selectedRows())
    if (TColNode* node = colModel_->Node(index)) selected.insert(node);
  std::vector<TColNode*> nodes;
  // A node below another selected one goes with that one.
  for (TColNode* node : selected) {
    bool below = false;
    for (TColNode* p = node->Parent(); p && !below; p = p->Parent()) below = selected.count(p) > 0;
    if (!below) nodes.push_back(node);
  }
  std::sort(nodes.begin(), nodes.end(), [](TColNode* a, TColNode* b) { return a->AbsoluteIndex() < b->AbsoluteIndex(); });
  return nodes;
}

void TMainWindow::SelectCollectionNode(TColNode* node) {
  if (followingCollections_) return;
  const QModelIndex index = colModel_->IndexOf(node);
  if (!index.isValid()) return;
  QItemSelectionModel* selection = tvCol->selectionModel();
  if (selection->currentIndex() == index && selection->selectedRows() == QModelIndexList{index}) return;
  selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tvCol->scrollTo(index);
}

void TMainWindow::OnCollectionSelectionChanged() {
  if (droppingOnCollections_) return;
  // Only siblings are selected together.
  QItemSelectionModel* selection = tvCol->selectionModel();
  const QModelIndex current = selection->currentIndex();
  QItemSelection strays;
  for (const QModelIndex& index : selection->selectedRows())
    if (current.isValid() && index.parent() != current.parent()) strays.select(index, index);
  if (!strays.isEmpty()) {
    selection->select(strays, QItemSelectionModel::Deselect);
    return;
  }
  TColNode* node = SelectedCollectionNode();
  if (TLibColItem* item = node ? node->Data() : nullptr) {
    QScopedValueRollback following(followingCollections_, true);
    // What the other views show already stays as it is: a selection of
    // several volume-tree nodes or rows that holds the target is kept.
    if (item->Folder && item->Folder->Node &&
        (SelectedFolderNode() != item->Folder->Node || listModel_->Folder() != item->Folder))
      SelectFolderNode(item->Folder->Node);
    if (item->Item) {
      QItemSelectionModel* rows = lvDetails->selectionModel();
      const int row = listModel_->RowOf(item->Item);
      const QModelIndex at = row >= 0 ? listModel_->index(row, 0) : QModelIndex();
      if (!at.isValid()) {
        rows->clearSelection();
      } else if (!rows->isSelected(at)) {
        rows->clearSelection();
        rows->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ListView()->scrollTo(at);
      }
    }
  }
  UpdateCollectionBars();
}

void TMainWindow::UpdateCollectionBars() {
  // An operation is changing the library: the bars keep their texts.
  if (colModel_->Busy()) return;
  sb_colH->SetText(0, sb_loc->Text(0));
  sb_colL->SetText(0, Q(Format(g_.GetText("infoItems"), {std::to_string(Library().Collections.Count())})));
  sb_colL->SetText(1, sb_tree->Text(1));
}

// --- commands ---

void TMainWindow::NewCollection() {
  TColNode* selected = SelectedCollectionNode();
  colModel_->Add(selected ? selected->Parent() : nullptr, std::make_unique<TLibColItem>(g_.GetText("infoDefNewCol")));
  UpdateCollectionBars();
}

void TMainWindow::NewSubCollection() {
  TColNode* node = colModel_->Add(SelectedCollectionNode(), std::make_unique<TLibColItem>(g_.GetText("infoDefNewCol")));
  SelectCollectionNode(node);
  UpdateCollectionBars();
}

void TMainWindow::NewMemoItem() {
  frmMemo_->Clear(pictures_);
  if (frmMemo_->exec() != QDialog::Accepted) return;
  auto item = std::make_unique<TLibColItem>(g_.GetText("infoDefNewMemo"));
  frmMemo_->Store(*item);
  TColNode* node = colModel_->Add(SelectedCollectionNode(), std::move(item));
  SelectCollectionNode(node);
  UpdateCollectionBars();
}

void TMainWindow::CollectionProperties() {
  TColNode* node = SelectedCollectionNode();
  TLibColItem* item = node ? node->Data() : nullptr;
  if (!item) return;
  switch (item->Kind) {
    case ckVolume:
    case ckFolder:
    case ckArchive:
      if (item->Folder && item->Folder->Node) SelectFolderNode(item->Folder->Node);
      tvNodes->setFocus();
      TreeProperties();
      return;
    case ckFile:
      // On the row that following the selection selected.
      ListView()->setFocus();
      FileProperties(false);
      return;
    default:
      break;
  }
  frmMemo_->Clear(pictures_);
  frmMemo_->ed_url->setText(Q(item->Url));
  frmMemo_->edCaption->setText(Q(item->Caption));
  frmMemo_->memo->setPlainText(Q(item->Memo));
  frmMemo_->SetPicture(item->ImageIndex);
  if (frmMemo_->exec() != QDialog::Accepted) return;
  frmMemo_->Store(*item);
  colModel_->ItemEdited(node);
}

void TMainWindow::RenameCollectionItem() {
  const QModelIndex index = colModel_->IndexOf(SelectedCollectionNode());
  if (index.isValid()) tvCol->edit(index);
}

void TMainWindow::DeleteCollectionItems() {
  const std::vector<TColNode*> nodes = SelectedCollectionNodes();
  if (nodes.empty()) return;
  if (g_.ConfirmDeleteCollection) {
    std::vector<std::string> captions;
    for (TColNode* node : nodes) captions.push_back(node->Text);
    if (host_.Ask(Format(g_.GetText("confDelete"), {JoinList(captions, "; ")}), TMsgButtons::YesNo,
                  TMsgKind::Confirmation) != TMsgAnswer::Yes)
      return;
  }
  for (TColNode* node : nodes) colModel_->Delete(node);
  UpdateCollectionBars();
}

void TMainWindow::OpenCollectionLink() {
  const TColNode* node = SelectedCollectionNode();
  const TLibColItem* item = node ? node->Data() : nullptr;
  if (!item || item->Url.empty()) return;
  // Opened by the desktop; a link that cannot be opened fails silently.
  QDesktopServices::openUrl(QUrl::fromUserInput(Q(item->Url)));
}

void TMainWindow::ExpandCollectionNode(int how) {
  const QModelIndex index = colModel_->IndexOf(SelectedCollectionNode());
  if (!index.isValid()) return;
  switch (how) {
    case 0: tvCol->expand(index); break;
    case 1: tvCol->collapse(index); break;
    case 2: tvCol->expandRecursively(index); break;
    default: {
      std::function<void(const QModelIndex&)> collapse = [&](const QModelIndex& parent) {
        for (int row = 0; row < colModel_->rowCount(parent); ++row) collapse(colModel_->index(row, 0, parent));
        tvCol->collapse(parent);
      };
      collapse(index);
    }
  }
}

void TMainWindow::LinkVolumeTreeSelection(TColNode* parent) {
  for (TFolderNode* node : SelectedFolderNodes())
    colModel_->AddLink(parent, g_.GetText("infoDefNewFol"), node->Data(), nullptr);
}

// --- drops ---

bool TMainWindow::DropOnCollections(const QMimeData* data, TColNode* target) {
  if (!Idle()) return false;
  QScopedValueRollback dropping(droppingOnCollections_, true);
  TLibObj& lib = Library();

  if (data->hasFormat(QString::fromLatin1(kCollectionsMime))) {
    const std::vector<TColNode*> dragged = colModel_->DraggedCollections(data);
    if (dragged.empty()) return false;
    // The focused node moves, even when several are selected.
    TColNode* node = SelectedCollectionNode();
    if (std::find(dragged.begin(), dragged.end(), node) == dragged.end()) node = dragged.front();
    if (!colModel_->Move(node, target)) return false;
    if (target) tvCol->expand(colModel_->IndexOf(target));
    SelectCollectionNode(node);
    UpdateCollectionBars();
    return true;
  }

  const std::vector<TFolderNode*> folders = colModel_->DraggedFolders(data);
  std::vector<TLibFolderItem*> entries = folders.empty() ? colModel_->DraggedEntries(data) : std::vector<TLibFolderItem*>();
  if (folders.empty() && entries.empty()) return false;
  // Links go onto a node, or start the tree.
  if (!target && lib.Collections.TopCount() > 0) return false;
  if (!target) target = colModel_->Add(nullptr, std::make_unique<TLibColItem>(g_.GetText("infoDefNewCol")));
  if (!folders.empty()) {
    for (TFolderNode* node : folders) colModel_->AddLink(target, g_.GetText("infoDefNewFol"), node->Data(), nullptr);
    if (TFolderNode* primary = SelectedFolderNode())
      tvNodes->selectionModel()->select(treeModel_->IndexOf(primary),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    // In the list's row order; entries the list does not show come last.
    std::vector<std::pair<int, TLibFolderItem*>> rows;
    for (TLibFolderItem* entry : entries) {
      const int row = listModel_->RowOf(entry);
      rows.emplace_back(row < 0 ? listModel_->rowCount() : row, entry);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [row, entry] : rows) colModel_->AddLink(target, g_.GetText("infoDefNewFile"), entry->Folder, entry);
  }
  SelectCollectionNode(target);
  lib.Modified = true;
  UpdateCollectionBars();
  return true;
}

}  // namespace tw
