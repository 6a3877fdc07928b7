// The handler dialog "frmHandlers": the program's handler table as a list
// whose check boxes switch handlers and whose rows open the extension
// editor (double click, F2). Every change, "Defaults" included, acts on the
// table at once; OK and Cancel only close the dialog. Keeps its placement in
// the settings store. Owns its widgets; the program state is the caller's.
// Window's thread only.
#pragma once

#include <QDialog>

class QPushButton;

namespace tw {

class TGlobalData;
class THandlerListView;

class TfrmHandlers : public QDialog {
  Q_OBJECT
 public:
  TfrmHandlers(TGlobalData& g, QWidget* parent);

  // Fills the list from the table and shows the dialog.
  int Run();
  // The built-in table replaces the program's one (and the stored one), and
  // the list shows it.
  void LoadDefaults();

  THandlerListView* lv_ext = nullptr;
  QPushButton* btnDefaults = nullptr;

 protected:
  void done(int result) override;

 private:
  void FitList();

  TGlobalData& g_;
};

}  // namespace tw
