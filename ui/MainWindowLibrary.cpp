// The main window's library commands and the long operations on the worker:
// new, open, reload, save, close, import a library, the start library, the
// Favorites and Reopen menus.
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

namespace {

const QString kCatalogFilter = QStringLiteral("Catalogs (*.TWL *.twl);;All Files (*)");

// The path of a node from the top (captions joined), to find it again after
// the library was busy.
QStringList NodePath(TFolderNode* node) {
  QStringList path;
  for (; node; node = node->Parent()) path.prepend(Q(node->Text));
  return path;
}

TFolderNode* NodeAt(TLibObj& lib, const QStringList& path) {
  TFolderNode* found = nullptr;
  for (const QString& caption : path) {
    TFolderNode* next = nullptr;
    const int count = found ? found->Count() : lib.Folders.TopCount();
    for (int i = 0; i < count && !next; ++i) {
      TFolderNode* child = found ? found->Item(i) : lib.Folders.Top(i);
      if (Q(child->Text) == caption) next = child;
    }
    if (!next) return found;
    found = next;
  }
  return found;
}

}  // namespace

// --- operations on the worker ---

bool TMainWindow::Idle() const { return !runner_->Running(); }
bool TMainWindow::OperationRunning() const { return runner_->Running(); }

bool TMainWindow::RunDetached(TWork work, TDone done) { return StartWork(std::move(work), std::move(done), true); }

bool TMainWindow::StartWork(TWork work, TDone done, bool browsable) {
  if (runner_->Running()) return false;
  // Work that leaves the library alone (a detached scan, a save) lets the
  // user go on browsing it; only the commands go off.
  browsable_ = browsable;
  // Commands go off at once, not when the worker's first report arrives.
  g_.SetProcessStopped(false);
  const bool started = runner_->Start(std::move(work), [this, done = std::move(done)](const TOperationRunner::TOutcome& outcome) {
    g_.RunningOperation = nullptr;
    browsable_ = false;
    host_.FlushLog();
    if (!g_.ProcessStopped) g_.SetProcessStopped(true);
    if (done) done(outcome);
    if (!outcome.Error.empty()) ShowError(Q(outcome.Error));
  });
  g_.RunningOperation = runner_->Operation();
  return started;
}

bool TMainWindow::RunBusy(TWork work, TDone done) {
  if (runner_->Running()) return false;
  // Where the user was, to find it again in what the operation leaves.
  QStringList selected = NodePath(SelectedFolderNode());
  QList<QStringList> expanded;
  std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
    for (int row = 0; row < treeModel_->rowCount(parent); ++row) {
      const QModelIndex child = treeModel_->index(row, 0, parent);
      if (tvNodes->isExpanded(child)) {
        expanded.append(NodePath(treeModel_->Node(child)));
        walk(child);
      }
    }
  };
  walk({});
  TLibObj* lib = g_.CurrentLibrary.get();
  lib->BeginBusy();
  return StartWork(std::move(work), [this, lib, done = std::move(done), selected, expanded](const TOperationRunner::TOutcome& outcome) {
    lib->EndBusy();
    for (const QStringList& path : expanded)
      if (TFolderNode* node = NodeAt(*lib, path); node && NodePath(node) == path)
        tvNodes->expand(treeModel_->IndexOf(node));
    if (done) done(outcome);
    if (!SelectedFolderNode() && !selected.isEmpty()) SelectFolderNode(NodeAt(*lib, selected));
  }, false);
}

void TMainWindow::StopOperation() {
  if (!runner_->Running()) return;
  g_.Stop();
}

void TMainWindow::ShowError(const QString& text) {
  host_.ShowMessage(S(text), TMsgKind::Error);
}

// --- library commands ---

void TMainWindow::ClearViews(bool collections) {
  TLibObj* old = g_.CurrentLibrary.get();
  if (old) old->SetListener(nullptr);
  treeModel_->SetLibrary(nullptr);
  listModel_->SetFolder(nullptr);
  DetachCollections();
  (void)collections;
}

void TMainWindow::NewLibrary() {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmNew && host_.Ask(g_.GetText("confCreate"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  ClearViews(true);
  g_.ResetLibrary(true);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb, sb_colL}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc, sb_colH}) bar->SetText(0, {});
}

void TMainWindow::AttachLibrary() {
  g_.CurrentLibrary->SetListener(views_.get());
  treeModel_->SetLibrary(g_.CurrentLibrary.get());
  listModel_->SetFolder(nullptr);
  AttachCollections();
}

void TMainWindow::CloseLibrary() {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmClose && host_.Ask(g_.GetText("confClose"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  ClearViews(true);
  g_.ResetLibrary(true);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb, sb_colL}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc, sb_colH}) bar->SetText(0, {});
}

void TMainWindow::LoadFile(const std::string& file, bool merge, bool confirm, bool addRecent) {
  if (confirm) {
    const std::string question = Format(g_.GetText(merge ? "confImport" : "confLoad"), {file});
    if (host_.Ask(question, TMsgButtons::OKCancel, TMsgKind::Confirmation) != TMsgAnswer::OK) return;
  }
  if (!TLibObj::LibraryFileExists(file)) {
    host_.ShowMessage(Format(g_.GetText("errFNF"), {file}), TMsgKind::Error);
    return;
  }
  const bool sortVolumes = g_.SortVolumes;
  RunBusy([lib = g_.CurrentLibrary.get(), file, merge, sortVolumes](TOperation& op) {
    lib->OpenLibrary(file, merge, op, sortVolumes);
  },
  [this, file, merge, addRecent](const TOperationRunner::TOutcome& outcome) {
    // Also what a stopped load read.
    MergeLibraryLists(g_, Library());
    AfterLoad(outcome, file, merge);
    if (outcome.Error.empty() && !outcome.Canceled && addRecent) {
      g_.AddRecentFile(file);
      RebuildReopenMenu();
    }
  });
}

void TMainWindow::AfterLoad(const TOperationRunner::TOutcome&, const std::string&, bool merge) {
  sb_main->SetText(0, Q(Library().FileName));
  sb_tree->SetText(0, Q(Format(g_.GetText("infoVol"), {std::to_string(Library().VolumeCount)})));
  TLibObj& lib = Library();
  TFolderNode* select = lib.CurVolumeNode && !merge ? lib.Folders.GetFirstNode() : lib.CurVolumeNode;
  if (!SelectedFolderNode()) SelectFolderNode(select ? select : lib.Folders.GetFirstNode());
  if (merge) tvNodes->setFocus();
}

void TMainWindow::OpenLibrary(const QString& file, bool reopen) {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  QString path = file;
  if (!reopen) {
    path = QFileDialog::getOpenFileName(this, {}, {}, kCatalogFilter);
    if (path.isEmpty()) return;
  }
  LoadFile(S(path), false, reopen, true);
}

void TMainWindow::ReloadLibrary() {
  if (Library().FileName.empty()) return;
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmReload &&
      host_.Ask(g_.GetText("confReload"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  const std::string file = Library().FileName;
  ClearViews(false);
  g_.ResetLibrary(false);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc}) bar->SetText(0, {});
  LoadFile(file, false, false, false);
}

bool TMainWindow::SaveTo(const std::string& file) {
  // Saving only reads the records; the commands are off meanwhile, so
  // nothing changes them.
  bool ok = false;
  const bool started = RunDetached([lib = g_.CurrentLibrary.get(), file](TOperation& op) { lib->SaveLibrary(file, op); },
                                   [this, &ok](const TOperationRunner::TOutcome& outcome) {
                                     ok = outcome.Error.empty() && !outcome.Canceled;
                                     sb_main->SetText(0, Q(Library().FileName));
                                   });
  if (!started) return false;
  runner_->Wait();
  return ok;
}

void TMainWindow::SaveLibrary() {
  if (!Library().FileName.empty()) SaveTo(Library().FileName);
  else SaveLibraryAs();
}

void TMainWindow::SaveLibraryAs(const QString& file) {
  QString path = file;
  if (path.isEmpty()) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kCatalogFilter);
    dialog.setDefaultSuffix("TWL");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    path = dialog.selectedFiles().first();
  }
  if (SaveTo(S(path))) {
    g_.AddRecentFile(S(path));
    RebuildReopenMenu();
  }
}

void TMainWindow::ImportLibrary(const QString& file) {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  QString path = file;
  if (path.isEmpty()) path = QFileDialog::getOpenFileName(this, {}, {}, kCatalogFilter);
  if (path.isEmpty()) return;
  LoadFile(S(path), true, true, false);
}

void TMainWindow::OpenStartLibrary(const QString& argument) {
  // The last library's name comes with the settings; the library object
  // itself starts without one.
  const std::string last = std::exchange(Library().FileName, std::string());
  std::string file = S(argument);
  if (file.empty() || !TLibObj::LibraryFileExists(file)) file = g_.LoadLast ? last : std::string();
  if (file.empty() || !TLibObj::LibraryFileExists(file)) return;
  // Failures at start are not shown; what was read stays.
  const bool sortVolumes = g_.SortVolumes;
  RunBusy([lib = g_.CurrentLibrary.get(), file, sortVolumes](TOperation& op) {
    try {
      lib->OpenLibrary(file, false, op, sortVolumes);
    } catch (const ECanceled&) {
      throw;
    } catch (const std::exception&) {
    }
  },
          [this, file](const TOperationRunner::TOutcome& outcome) {
            MergeLibraryLists(g_, Library());
            AfterLoad(outcome, file, false);
          });
}

// --- favorites and recent files ---

void TMainWindow::RebuildReopenMenu() {
  QMenu* menu = Menu("miReopen");
  menu->clear();
  int i = 0;
  for (const std::string& file : g_.Layout.Recent) {
    QAction* a = menu->addAction(QString("&%1 %2").arg(++i).arg(Q(file)));
    a->setObjectName(QString("miReopen%1").arg(i));
    const QString path = Q(file);
    connect(a, &QAction::triggered, this, [this, path] {
      if (Idle()) OpenLibrary(path, true);
    });
  }
  menu->menuAction()->setEnabled(!menu->actions().isEmpty() && g_.ProcessStopped);
}

void TMainWindow::RebuildFavoritesMenu() {
  QMenu* menu = Menu("miFavorites");
  const QList<QAction*> all = menu->actions();
  for (qsizetype i = 3; i < all.size(); ++i) {
    menu->removeAction(all[i]);
    all[i]->deleteLater();
  }
  const std::vector<TFavoriteEntry> entries = g_.BuildFavoritesMenu();
  if (!entries.empty()) menu->addSeparator();
  for (const TFavoriteEntry& entry : entries) {
    QAction* a = menu->addAction(Q(entry.Caption));
    a->setToolTip(Q(entry.Hint));
    const QString path = Q(entry.Hint);
    if (path.isEmpty()) continue;
    connect(a, &QAction::triggered, this, [this, path] {
      if (Idle()) OpenLibrary(path, true);
    });
  }
}

void TMainWindow::ApplyLoadedSettings() {
  RebuildFavoritesMenu();
  pictures_.LoadCollectionImages();
  g_.LoadLayout();
  RebuildReopenMenu();
  RestoreWindowLayout();
  ApplyViewMarks();
}

}  // namespace tw
