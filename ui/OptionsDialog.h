// The options dialog "frmOptions": one control per user option of the
// program state, on six pages. The options change on OK only, except that
// "Defaults" resets them at once. Owns its widgets; the program state is the
// caller's. Window's thread only.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tw {

class TGlobalData;

class TfrmOptions : public QDialog {
  Q_OBJECT
 public:
  TfrmOptions(TGlobalData& g, QWidget* parent);

  // Shows the first page with the options as they are now; on OK the options
  // take the controls' values. Returns the dialog's result.
  int Run();

  // The controls from the options, and back.
  void LoadControls();
  void StoreControls();
  // The "Defaults" button: the options get their defaults at once.
  void ResetToDefaults();
  // The open dialog for text box `number` (0 images, 1 favorites, 2
  // locations, 3 categories, 4 tags); a chosen file replaces its text.
  void Browse(int number);

  // The separator as the separator box shows it: the entry's position, or
  // -1 for a separator shown as typed text.
  static int SeparatorEntry(const std::string& separator);
  // The separator an entry stands for; -1 and any unknown position: none.
  static std::string EntrySeparator(int entry);

  QTabWidget* pcOptions = nullptr;
  QComboBox* cbK = nullptr;
  QComboBox* cbSep = nullptr;
  QLineEdit* edImg = nullptr;
  QLineEdit* edFav = nullptr;
  QLineEdit* edLoc = nullptr;
  QLineEdit* edCat = nullptr;
  QLineEdit* edTag = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* HelpBtn = nullptr;
  QPushButton* btnReset = nullptr;

 protected:
  void done(int result) override;

 private:
  QWidget* BuildPage(const QString& name, const QString& caption);
  QLineEdit* FileBox(int number) const;
  void BrowseFocused();

  TGlobalData& g_;
};

}  // namespace tw
