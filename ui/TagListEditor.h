// The tag list editor "frmTags": the global tag list as a grid of tag names
// and the captions shown for them. Names are added and deleted, captions
// edited in place; Load and Save read and write list files. Keeps its
// placement in the settings store. Owns its widgets; the program state is
// the caller's. Window's thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QAction;
class QTableWidget;

namespace tw {

class TGlobalData;
class TSortedStrings;

class TfrmTags : public QDialog {
  Q_OBJECT
 public:
  TfrmTags(TGlobalData& g, QWidget* parent);

  // Shows the list's lines (name=caption) in the grid; on OK the list takes
  // the grid's lines and true is returned. OK is refused while two lines are
  // equal: the list stays as it was until the grid is put right or the
  // dialog is cancelled.
  bool Edit(TSortedStrings& list);

  // The grid's lines, name=caption, in grid order; and the grid from lines.
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);

  // Asks for a tag name and appends it with itself as caption (Add, F3).
  void AddKey();
  // Removes the current row, when there is one (Delete, F4).
  void DeleteRow();

  QTableWidget* vle = nullptr;

 protected:
  void done(int result) override;

 private:
  void LoadClicked();
  void SaveClicked();
  void AppendRow(const QString& key, const QString& caption);
  // The grid's lines as the list they will become; false (the error shown,
  // the offending row current) when the list refuses one of them.
  bool BuildList(TSortedStrings& out);

  TGlobalData& g_;
  TSortedStrings* editing_ = nullptr;
};

}  // namespace tw
