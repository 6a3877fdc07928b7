// The properties commands of the main window: the library's, the volume
// tree's and the file list's, each opening the properties dialog on its
// page, and what the window does after the dialog's OK.
#include <QAction>
#include <QItemSelectionModel>
#include <QTreeView>

#include "ui/FileListModel.h"
#include "ui/MainWindow.h"
#include "ui/PropertiesDialog.h"
#include "ui/TextEditor.h"

namespace tw {

void TMainWindow::BuildPropertiesCommands() {
  const auto bind = [this](std::initializer_list<const char*> names, std::function<void()> run) {
    for (const char* name : names) {
      const QString key = QString::fromLatin1(name);
      connect(Command(key), &QAction::triggered, this, [this, run] {
        if (Idle()) run();
      });
      MakeAvailable(key);
    }
  };
  bind({"miLProperties"}, [this] { LibraryProperties(); });
  bind({"miVProperties", "pmTVProperties"}, [this] { TreeProperties(); });
  bind({"miFProperties", "pmLVProperties"}, [this] { FileProperties(false); });
  bind({"tbEdit"}, [this] { FileProperties(true); });
}

TfrmProperties& TMainWindow::PropertiesDialog() {
  if (!propertiesDialog_) {
    propertiesDialog_ = new TfrmProperties(g_, pictures_, this);
    propertiesDialog_->EditCategories = [this] { EditCategories(); };
    propertiesDialog_->EditLocations = [this] { EditLocations(); };
    propertiesDialog_->EditText = [this](const QString& caption, std::vector<std::string>& lines) {
      return TextEditor().Edit(caption, lines);
    };
  }
  return *propertiesDialog_;
}

void TMainWindow::FileProperties(bool open) {
  if (SelectedItems().empty()) return;
  QItemSelectionModel* rows = lvDetails->selectionModel();
  const QModelIndex current = rows->currentIndex();
  int row = -1;
  if (current.isValid() && rows->isSelected(current)) {
    row = current.row();
  } else {
    for (const QModelIndex& index : rows->selectedRows())
      if (row < 0 || index.row() < row) row = index.row();
  }
  if (open && listModel_->Item(row)->IsFolder) {
    OpenSelectedRow();
    return;
  }
  ShowProperties(TfrmProperties::pgFile, false, row);
}

void TMainWindow::TreeProperties() {
  TFolderNode* node = SelectedFolderNode();
  if (!node) return;
  ShowProperties(node->Parent() ? TfrmProperties::pgFolder : TfrmProperties::pgVolume, false, -1);
}

void TMainWindow::LibraryProperties() { ShowProperties(TfrmProperties::pgLibrary, true, -1); }

void TMainWindow::ShowProperties(int page, bool libraryOnly, int row) {
  TfrmProperties& dialog = PropertiesDialog();
  TfrmProperties::TSelection selection;
  selection.Items = SelectedItems();
  selection.Nodes = SelectedFolderNodes();
  selection.Current = SelectedFolderNode();
  if (dialog.Run(Library(), selection, static_cast<TfrmProperties::TPage>(page), libraryOnly) != QDialog::Accepted)
    return;
  if (dialog.Changed()) Library().Modified = true;
  if (libraryOnly || !SelectedFolderNode()) {
    // The rows repainted themselves; the panel shows the row's new values.
    UpdateInfoPanel();
    return;
  }
  FillList();
  if (row >= 0 && row < listModel_->rowCount())
    lvDetails->selectionModel()->setCurrentIndex(listModel_->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace tw
