// The import dialog "frmImport": the file to read, which fields its columns
// hold and in which order, separator and qualifier. Volume, Path and Name
// stay checked. Its control values are remembered in the settings store
// when it closes and read back when it is shown. Owns its widgets; window's
// thread only.
#pragma once

#include <QDialog>

#include "exchange/Import.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace tw {

class TGlobalData;

class TfrmImport : public QDialog {
  Q_OBJECT
 public:
  TfrmImport(TGlobalData& g, QWidget* parent);

  // Reads the remembered values and shows the dialog modally;
  // QDialog::Accepted for OK.
  int Run();
  // The request the controls make now.
  TImportOptions Options() const;

  QLineEdit* edfile = nullptr;
  QToolButton* btnBrowse = nullptr;
  QListWidget* lb = nullptr;
  QPushButton* btnUp = nullptr;
  QPushButton* btnDown = nullptr;
  QComboBox* cbSep = nullptr;
  QComboBox* cbTxtQ = nullptr;
  QComboBox* cbK = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 protected:
  void done(int result) override;

 private:
  void Browse();
  void ReadRemembered();
  void WriteRemembered();
  void KeepRequiredChecked();

  TGlobalData& g_;
};

}  // namespace tw
