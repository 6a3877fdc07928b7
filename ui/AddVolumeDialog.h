// The add-volume dialog "frmNewVolume": the folder or mounted medium to
// scan, the new volume's title, the defaults its records get, the collection
// that links to it and the handler switches. Its control values are
// remembered in the settings store; the choices of the last OK stay readable
// until the next showing. Owns its widgets; window's thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "core/LibClasses.h"
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

class TAddVolumeDialog : public QDialog {
  Q_OBJECT
 public:
  TAddVolumeDialog(TGlobalData& g, TPictures& pictures, QWidget* parent);

  // Fills the dialog for `lib` and shows it modally; QDialog::Accepted for OK.
  int Run(TLibObj& lib);

  // --- the choices of the last OK ---
  const std::string& Folder() const { return folder_; }
  const std::string& Title() const { return lastTitle_; }
  std::string Serial() const;
  int32_t Levels() const;
  // The collection to link the new volume under; none for the empty entry.
  TColNode* Collection() const;
  bool InsertAfter() const;
  bool IncrementTitles() const;

  // The drive picker's current medium root; empty when none is picked.
  std::string DrivePath() const;

  // Where the drive picker and the serial come from.
  TMediaSource Media;
  // The word-list editors of the window (F2, F3).
  std::function<void()> EditCategories;
  std::function<void()> EditLocations;

 protected:
  void done(int result) override;

 private:
  void BuildVolumePage(QWidget* page);
  void BuildPropertiesPage(QWidget* page);
  void FillDrives();
  void PointDrivePicker(const std::string& folder);
  void FillCollections(TLibObj& lib);
  void FillCategories();
  void FillLocations();
  void ReadRemembered();
  void WriteRemembered();
  void DriveChanged();
  void FolderChanged();
  void Browse();
  void OpenFolder();
  void TakeChoices();

  TGlobalData& g_;
  TPictures& pictures_;
  QTabWidget* pages_ = nullptr;
  QLineEdit* edTitle = nullptr;
  QLineEdit* edFolder = nullptr;
  QComboBox* cbDr = nullptr;
  QToolButton* btnBrowse = nullptr;
  QToolButton* btnOpen = nullptr;
  QLineEdit* edser = nullptr;
  QSpinBox* edLevels = nullptr;
  QCheckBox* cbFoldersOnly = nullptr;
  QComboBox* filecat = nullptr;
  QToolButton* tbCat = nullptr;
  QLineEdit* filecom = nullptr;
  QCheckBox* cbAddFolders = nullptr;
  QCheckBox* cbAddFiles = nullptr;
  QComboBox* volLoc = nullptr;
  QToolButton* tbLoc = nullptr;
  QComboBox* combo = nullptr;
  THandlerListView* lv_Ext = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QCheckBox* cbNew = nullptr;
  QCheckBox* cbIncr = nullptr;

  std::vector<TDriveInfo> drives_;
  // Only media mounted at or below this root are offered.
  std::string root_ = "/";
  // Collection picker entries after the empty first one.
  std::vector<TColNode*> collections_;
  std::string folder_;
  std::string lastTitle_;
};

}  // namespace tw
