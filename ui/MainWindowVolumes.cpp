// The Add volume and Update commands of the main window, and the word-list
// commands (Categories, Locations, Organize Favorites) with their editor.
#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "base/Error.h"
#include "base/FileUtils.h"
#include "base/Messages.h"
#include "state/Commands.h"
#include "state/WordLists.h"
#include "ui/AddVolumeDialog.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"
#include "ui/TextEditor.h"
#include "ui/UpdateDialog.h"
#include "ui/WindowHost.h"

namespace tw {
namespace {

// A volume scanned on the worker, handed to the window's thread.
struct TScannedVolume {
  std::unique_ptr<TLibObj> Library;
  TScanResult Result;
};

bool HasCollectionNode(const TLibObj& lib, const TColNode* wanted) {
  for (TColNode* node = lib.Collections.GetFirstNode(); node; node = node->GetNext())
    if (node == wanted) return true;
  return false;
}

// A link to the volume as the last child of the collection node, named
// after the volume.
void LinkVolume(TLibObj& lib, TColNode* collection, TFolderNode* volume) {
  auto item = std::make_unique<TLibColItem>(volume->Data()->Name);
  TLibColItem* link = item.get();
  TColNode* node = lib.AddCollectionRecord(collection, std::move(item));
  link->LinkTo(volume->Data(), nullptr, node);
  lib.Modified = true;
}

// The menu and toolbar text of a command without its access key.
QString Hint(const QAction* action) {
  QString text = action->toolTip();
  return text.remove(QLatin1Char('&'));
}

}  // namespace

void TMainWindow::BuildVolumeCommands() {
  const auto bind = [this](std::initializer_list<const char*> names, void (TMainWindow::*run)()) {
    for (const char* name : names) {
      const QString key = QString::fromLatin1(name);
      connect(Command(key), &QAction::triggered, this, [this, run] {
        if (Idle()) (this->*run)();
      });
      MakeAvailable(key);
    }
  };
  bind({"miCategories", "tbCat"}, &TMainWindow::EditCategories);
  bind({"miLocations", "tbLoc"}, &TMainWindow::EditLocations);
  bind({"miOrganizeFavorites", "tbOrgFavorites"}, &TMainWindow::OrganizeFavorites);
}

TAddVolumeDialog& TMainWindow::AddVolumeDialog() {
  if (!addDialog_) {
    addDialog_ = new TAddVolumeDialog(g_, pictures_, this);
    addDialog_->EditCategories = [this] { EditCategories(); };
    addDialog_->EditLocations = [this] { EditLocations(); };
  }
  return *addDialog_;
}

TUpdateDialog& TMainWindow::UpdateDialog() {
  if (!updateDialog_) {
    updateDialog_ = new TUpdateDialog(g_, pictures_, this);
    updateDialog_->EditCategories = [this] { EditCategories(); };
  }
  return *updateDialog_;
}

TTextEditor& TMainWindow::TextEditor() {
  if (!textEditor_) textEditor_ = new TTextEditor(g_.Registry(), this);
  return *textEditor_;
}

// --- add volume ---

void TMainWindow::AddVolumeCommand() {
  if (!Idle()) return;
  TAddVolumeDialog& dialog = AddVolumeDialog();
  if (dialog.Run(Library()) != QDialog::Accepted || dialog.Folder().empty()) {
    g_.AddingVolume = false;
    return;
  }
  TAddVolumeRequest request;
  request.Folder = dialog.Folder();
  request.Title = dialog.Title();
  request.Serial = dialog.Serial();
  request.Levels = dialog.Levels();
  request.FoldersOnly = g_.FoldersOnly;
  request.Category = g_.AddCategory;
  request.Comments = g_.AddComments;
  request.Location = g_.AddLocation;
  request.ApplyToFolders = g_.ApplyToFolders;
  request.ApplyToFiles = g_.ApplyToFiles;
  request.Handlers = HandlerSnapshot(g_);
  const std::string root = AddSlash(request.Folder);

  if (g_.CheckSerial) {
    const TSerialCheck check = Library().CheckSerialDuplicates(request.Serial, root, g_.Messages());
    if (!check.Unique && host_.Ask(check.Message, TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes) {
      if (check.FirstDuplicate) SelectFolderNode(check.FirstDuplicate);
      ShowError(Q(g_.GetText("infoCancel")));
      return;
    }
  }

  // A whole medium shows its used bytes as the end of the bar.
  const int64_t total = g_.AddDrive > 0 ? ScanTotal(root) : -1;
  StartAddVolume(request, total, dialog.Collection(), dialog.InsertAfter());
}

bool TMainWindow::StartAddVolume(const TAddVolumeRequest& request, int64_t total, TColNode* collection, bool again) {
  const std::string root = AddSlash(request.Folder);
  auto scanned = std::make_shared<TScannedVolume>();
  g_.AddingVolume = true;
  const bool started = RunDetached(
      [scanned, request, root, total](TOperation& op) {
        // The bracket closes on the window's thread once the volume is in
        // the library, so that its summary counts the volume.
        op.Begin(op.Text("msgsAdding", {root}), total);
        scanned->Library = ScanVolume(request, op, scanned->Result);
      },
      [this, scanned, collection, again](const TOperationRunner::TOutcome& outcome) {
        TLibObj& lib = Library();
        TFolderNode* volume = nullptr;
        // A stopped walk keeps what it recorded.
        if (scanned->Library) volume = SpliceVolume(lib, std::move(scanned->Library), g_.SortVolumes);
        MergeFoundNames(g_, scanned->Result.TagNames);
        if (volume && collection && HasCollectionNode(lib, collection)) LinkVolume(lib, collection, volume);
        g_.EndProgress(Format(g_.GetText("msgsAdded"), {lib.FileName}));
        g_.AddingVolume = false;
        if (volume) SelectFolderNode(volume);
        if (again && outcome.Error.empty() && !outcome.Canceled)
          QTimer::singleShot(0, this, [this] {
            if (Idle()) AddVolumeCommand();
          });
      });
  if (!started) g_.AddingVolume = false;
  return started;
}

// --- update ---

void TMainWindow::UpdateVolumeCommand() {
  if (!Idle() || QApplication::focusWidget() != tvNodes) return;
  TFolderNode* node = SelectedFolderNode();
  if (!node || !node->Data()) return;
  TLibObj& lib = Library();
  TUpdateDialog& dialog = UpdateDialog();
  // The folder on the medium that the selected record came from.
  const bool ok = dialog.Run(node->Data()->GetSourcePath()) == QDialog::Accepted;
  if (!ok || dialog.Folder().empty()) {
    g_.AddingVolume = false;
    lib.Modified = true;
    FillList();
    return;
  }
  const std::string root = AddSlash(dialog.Folder());
  TUpdateRequest request;
  if (dialog.RealSource()) request.Folder = root;
  request.Serial = dialog.Serial();
  request.Levels = dialog.Levels();
  request.DeleteMissing = g_.DeleteMissing;
  request.FoldersOnly = g_.FoldersOnly;
  request.Category = g_.AddCategory;
  request.Comments = g_.AddComments;
  request.ApplyToFolders = g_.ApplyToFolders;
  request.ApplyToFiles = g_.ApplyToFiles;
  request.Handlers = HandlerSnapshot(g_);
  // A walk of the real source logs this line itself.
  if (!dialog.RealSource()) g_.AddMessage(Format(g_.GetText("msgsUpdating"), {root}));
  g_.AddingVolume = true;
  auto result = std::make_shared<TScanResult>();
  const bool started = RunBusy(
      [lib = &lib, node, request, result](TOperation& op) { UpdateVolume(*lib, node, request, op, result.get()); },
      [this, result](const TOperationRunner::TOutcome&) {
        MergeFoundNames(g_, result->TagNames);
        g_.AddingVolume = false;
        Library().Modified = true;
        FillList();
        activateWindow();
        tvNodes->setFocus();
      });
  if (!started) g_.AddingVolume = false;
}

// --- word lists ---

void TMainWindow::EditWordList(TSortedStrings& list, const QString& hint, const std::string& file) {
  std::vector<std::string> lines = list.Items();
  if (!TextEditor().Edit(hint + " - " + Q(file), lines)) return;
  std::erase(lines, std::string());
  ReplaceList(list, lines);
}

void TMainWindow::EditCategories() { EditWordList(g_.CategoriesList, Hint(Command("tbCat")), g_.CategoriesFile); }

void TMainWindow::EditLocations() { EditWordList(g_.LocationsList, Hint(Command("tbLoc")), g_.LocationsFile); }

void TMainWindow::OrganizeFavorites() {
  if (g_.FavoritesFile.empty() || !QFileInfo::exists(Q(g_.FavoritesFile))) {
    if (host_.Ask(g_.GetText("confCreateFav"), TMsgButtons::OKCancel, TMsgKind::Confirmation) != TMsgAnswer::OK) return;
    if (g_.FavoritesFile.empty()) g_.FavoritesFile = g_.DefaultListFile(0);
    try {
      WriteListFile(g_.FavoritesFile, g_.FavoritesList.Items());
    } catch (const std::exception&) {
    }
  }
  std::vector<std::string> lines;
  try {
    lines = ReadListFile(g_.FavoritesFile);
  } catch (const std::exception& e) {
    // Editing an empty text in its place would empty the file on OK.
    ShowError(Q(TextOf(e, g_.Messages())));
    return;
  }
  const QString hint = Hint(Menu("miFavorites")->menuAction());
  if (!TextEditor().Edit(hint + " - " + Q(g_.FavoritesFile), lines)) return;
  std::erase(lines, std::string());
  ReplaceList(g_.FavoritesList, lines);
  try {
    WriteListFile(g_.FavoritesFile, g_.FavoritesList.Items());
  } catch (const std::exception&) {
  }
  RebuildFavoritesMenu();
}

}  // namespace tw
