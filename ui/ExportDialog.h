// The export dialog "frmExport": the target file, the fields written and
// their order, separator, qualifier, size unit and the filters of the
// export. Its control values are remembered in the settings store when it
// closes and read back when it is shown. Also the field-list helpers the
// import dialog shares. Owns its widgets; window's thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "exchange/Export.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QToolButton;
class QLayout;

namespace tw {

class TGlobalData;
class TRegStore;

// A checkable list of field names, in the given order.
void FillFieldList(QListWidget* list, const std::vector<std::pair<std::string, bool>>& fields);
std::vector<std::pair<std::string, bool>> FieldListState(const QListWidget* list);
// Swaps the current field with its neighbour; nothing at an end or without
// a current field.
void MoveCurrentField(QListWidget* list, int delta);
// The list's order and checks under `key` + "\Fields\" + position, the
// list's current state being the default.
void ReadFieldList(TRegStore& store, const std::string& key, QListWidget* list);
void WriteFieldList(TRegStore& store, const std::string& key, const QListWidget* list);
// The separator picker and the qualifier picker shared by both dialogs.
QComboBox* MakeSeparatorBox(QWidget* parent);
QComboBox* MakeQualifierBox(QWidget* parent);

// The frame both dialogs share: the file row (caption, "edfile", the
// browse button "btnBrowse" and F4), the field list with "Move Up" and
// "Move Down" beside it, then the dialog's own options, and the OK and
// Cancel row. Wires the moves, the buttons and browsing. The options are
// made before the frame; OK and Cancel come after them in the tab order.
struct TFieldDialogFrame {
  QLineEdit* File = nullptr;
  QToolButton* Browse = nullptr;
  QListWidget* Fields = nullptr;
  QPushButton* Up = nullptr;
  QPushButton* Down = nullptr;
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;
};
TFieldDialogFrame BuildFieldDialog(QDialog* dialog, const QString& fileCaption, const char* browseIcon,
                                   const QString& listName, const std::vector<std::pair<std::string, bool>>& fields,
                                   QLayout* options, const std::function<void()>& browse);

class TfrmExport : public QDialog {
  Q_OBJECT
 public:
  TfrmExport(TGlobalData& g, QWidget* parent);

  // Reads the remembered values, captions the dialog for the source and
  // shows it modally; QDialog::Accepted for OK.
  int Run(TExportSource source);
  // The request the controls make now.
  TExportOptions Options() const;

  QLineEdit* edfile = nullptr;
  QToolButton* btnBrowse = nullptr;
  QListWidget* lbFields = nullptr;
  QPushButton* btnUp = nullptr;
  QPushButton* btnDown = nullptr;
  QComboBox* cbSep = nullptr;
  QComboBox* cbTxtQ = nullptr;
  QComboBox* cbK = nullptr;
  QCheckBox* cbLev = nullptr;
  QSpinBox* seLev = nullptr;
  QCheckBox* cbIndent = nullptr;
  QCheckBox* cbFolders = nullptr;
  QCheckBox* cbFldProp = nullptr;
  QCheckBox* cbOnlyFld = nullptr;
  QCheckBox* cbArch = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 protected:
  void done(int result) override;

 private:
  void Browse();
  void ReadRemembered();
  void WriteRemembered();
  void FollowControls();

  TGlobalData& g_;
};

}  // namespace tw
