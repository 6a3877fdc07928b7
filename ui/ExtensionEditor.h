// The extension editor (a handler's file extensions) and the handler list
// of the volume dialogs that opens it.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "tags/HandlerClasses.h"

class QAction;
class QListWidget;

namespace tw {

// Edits a list of file extensions: each added one gets a leading "." and is
// upper-cased; the last one cannot be deleted. Owns its widgets; window's
// thread only.
class TExtensionEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TExtensionEditor(QWidget* parent);

  // Shows the list under the caption; on OK the list takes the edited
  // entries and true is returned.
  bool Edit(const QString& caption, std::vector<std::string>& extensions);

  // Asks for an extension and appends it (the Add button, F3).
  void AddExtension();
  // Removes the selected entry unless it is the only one (Delete, F4).
  void DeleteExtension();
  QStringList Extensions() const;

 private:
  QListWidget* list_ = nullptr;
};

// The handler list "lv_Ext": one row per handler of the program's table
// with its switch, description and extensions. Checking a row switches its
// handler, a double click edits its extensions; both act on the program's
// table at once. Owns its rows and its extension editor; window's thread
// only.
class THandlerListView : public QTreeWidget {
  Q_OBJECT
 public:
  THandlerListView(THandlerList& handlers, QWidget* parent);

  // Rows again from the handler table.
  void Fill();
  // Edits the extensions of row `row` (a double click).
  void EditRow(int row);
  TExtensionEditor& Editor();

 private:
  void RowChanged(QTreeWidgetItem* item, int column);

  THandlerList& handlers_;
  std::vector<THandlerRow> rows_;
  TExtensionEditor* editor_ = nullptr;
  bool filling_ = false;
};

}  // namespace tw
