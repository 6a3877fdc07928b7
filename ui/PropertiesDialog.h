// The properties dialog "frmProperties": the library, the volume and the
// folders selected in the volume tree, the rows selected in the file list
// and the tags those rows have in common, each on a page of its own. Only
// the fields the user changed are written back on OK; Changed() then says
// whether anything differed, so that the caller marks the library modified.
// While it shows, folder size workers count the sizes of the library, the
// volume and the folder (TFolderSizes); closing stops them and waits for
// them before anything is written.
//
// Created once and reused; keeps only its Update Subitems and Overwrite
// boxes and its placement (settings store) between showings. Owns its
// widgets and the workers; the records are the library's. Window's thread
// only.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/LibClasses.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QWidget;

namespace tw {

class TGlobalData;
class TPictures;
class TFolderSizes;
class TfrmPickList;

class TfrmProperties : public QDialog {
  Q_OBJECT
 public:
  enum TPage { pgLibrary, pgVolume, pgFolder, pgFile, pgTags };

  // What the dialog shows besides the library: the file-list rows in list
  // order and the volume-tree nodes (siblings) in tree order.
  struct TSelection {
    std::vector<TLibFolderItem*> Items;
    std::vector<TFolderNode*> Nodes;
    // The selected node among them (none: the first); its branch and its
    // volume are summed.
    TFolderNode* Current = nullptr;
  };

  TfrmProperties(TGlobalData& g, TPictures& pictures, QWidget* parent);
  ~TfrmProperties() override;

  // Fills the dialog and shows it modally on `page`; `libraryOnly` shows the
  // library, volume and folder pages without letting them be edited. The
  // changes are applied before an Accepted result returns.
  int Run(TLibObj& lib, const TSelection& selection, TPage page, bool libraryOnly = false);
  // Whether the last OK found a record that differed from the dialog.
  bool Changed() const { return changed_; }
  // Size workers whose count has not ended.
  int RunningSizeWorkers() const;
  TFolderSizes& Sizes() { return *sizes_; }

  // The window's editors: the word lists (the dialog refills its pick lists
  // afterwards) and the text editor (caption, lines; true on OK).
  std::function<void()> EditCategories;
  std::function<void()> EditLocations;
  std::function<bool(const QString& caption, std::vector<std::string>& lines)> EditText;

  // --- the pages' fields, by their component names ---
  QTabWidget* pcProperties = nullptr;
  QLineEdit *libfile = nullptr, *libdate = nullptr, *libsize = nullptr;
  QComboBox* LibCat = nullptr;
  QLineEdit* libCom = nullptr;
  QLineEdit *infoV = nullptr, *infoF = nullptr, *infoFi = nullptr, *infoFis = nullptr;
  QLineEdit* volCaption = nullptr;
  QLineEdit *volpath = nullptr, *voldate = nullptr, *volsize = nullptr, *volser = nullptr;
  QComboBox* volCat = nullptr;
  QLineEdit* volcom = nullptr;
  QComboBox* volLoc = nullptr;
  QLineEdit* volDrive = nullptr;
  QToolButton* tbLoc = nullptr;
  QToolButton* tbEditDrive = nullptr;
  QCheckBox *cb_rec_vol = nullptr, *cb_rec_volow = nullptr;
  QLineEdit *catcaption = nullptr, *catpath = nullptr, *catDate = nullptr, *catSize = nullptr;
  QComboBox* catcat = nullptr;
  QLineEdit* catcom = nullptr;
  QCheckBox *cb_rec_fol = nullptr, *cb_rec_folow = nullptr;
  QLineEdit *filecaption = nullptr, *filepath = nullptr, *filedate = nullptr, *filesize = nullptr;
  QComboBox* filecat = nullptr;
  QLineEdit* filecom = nullptr;
  QTableWidget* vle = nullptr;
  QPushButton *OKBtn = nullptr, *CancelBtn = nullptr, *btnRefresh = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  QWidget* BuildLibraryPage();
  QWidget* BuildVolumePage();
  QWidget* BuildFolderPage();
  QWidget* BuildFilePage();
  QWidget* BuildTagsPage();
  // The "Edit Comments" and "Edit Categories (F2)" buttons of a page.
  QWidget* CommentRow(QLineEdit* field, int page);
  QWidget* CategoryRow(QComboBox* field);

  void Reset();
  void FillLibrary();
  void FillFiles();
  void FillFolders();
  void FillVolume();
  void FillTags();
  void TakeSnapshot();
  void StartSizeWorkers();
  void StopSizeWorkers();
  void ShowSize(int field, int64_t total);
  void Apply();
  void ApplyFiles(const std::vector<std::string>& tags);
  void ApplyFolders();
  void ApplyVolume();

  void EditComments(QLineEdit* field, int page);
  void RefillCategories();
  void RefillLocations();
  void Refresh();
  void AddTags();
  void DeleteTag();
  void ShowCounts();
  // The grid's rows back as tag lines.
  std::vector<std::string> GridTags() const;

  // Whether the field's text differs from its snapshot.
  bool Marked(const QWidget* field) const;
  static QString Text(const QWidget* field);

  TGlobalData& g_;
  TPictures& pictures_;
  TFolderSizes* sizes_ = nullptr;
  TfrmPickList* pickList_ = nullptr;
  QWidget* pages_[5] = {};

  // --- the showing now ---
  TLibObj* lib_ = nullptr;
  TSelection selection_;
  TFolderNode* volume_ = nullptr;
  bool libraryFilled_ = false;
  std::map<const QWidget*, QString> snapshot_;
  // The common tags as shown (tag names of the grid's rows kept beside it).
  std::vector<std::string> commonTags_;
  bool changed_ = false;
};

}  // namespace tw
