// The update dialog "frmUpdate": new defaults for a volume or folder and the
// records below it, or a new walk of its real source, and the handler
// switches. Remembers nothing between runs but the level count. Owns its
// widgets; window's thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "ui/MediaList.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace tw {

class TGlobalData;
class TPictures;
class THandlerListView;

class TUpdateDialog : public QDialog {
  Q_OBJECT
 public:
  TUpdateDialog(TGlobalData& g, TPictures& pictures, QWidget* parent);

  // Shows the dialog for the folder on the medium given; QDialog::Accepted
  // for OK.
  int Run(const std::string& folder);

  // --- the choices of the last OK ---
  const std::string& Folder() const { return folder_; }
  std::string Serial() const;
  int32_t Levels() const;
  bool RealSource() const;

  TMediaSource Media;
  std::function<void()> EditCategories;

 protected:
  void done(int result) override;

 private:
  void RealSourceToggled();
  void FolderChanged();
  void Browse();
  void FillCategories();

  TGlobalData& g_;
  QTabWidget* pages_ = nullptr;
  QComboBox* filecat = nullptr;
  QToolButton* tbCat = nullptr;
  QLineEdit* filecom = nullptr;
  QCheckBox* cbAddFolders = nullptr;
  QCheckBox* cbAddFiles = nullptr;
  QLineEdit* edFolder = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QLineEdit* edser = nullptr;
  QSpinBox* edLevels = nullptr;
  QCheckBox* cbReal = nullptr;
  QCheckBox* cbDel = nullptr;
  QCheckBox* cbFoldersOnly = nullptr;
  THandlerListView* lv_Ext = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  std::string folder_;
};

}  // namespace tw
