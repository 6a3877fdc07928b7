// The text editor "frmTextEdit": a plain multi-line text under a caption
// the caller gives, with Load and Save to any file. The word lists
// (categories, locations, favorites) are edited in it. Keeps its placement
// in the settings store. Owns its widgets; window's thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace tw {

class TRegStore;

class TTextEditor : public QDialog {
  Q_OBJECT
 public:
  TTextEditor(TRegStore& store, QWidget* parent);

  // Shows the lines under the caption; on OK `lines` takes the edited text's
  // lines and true is returned.
  bool Edit(const QString& caption, std::vector<std::string>& lines);

  QString Text() const;
  void SetText(const QString& text);
  // The text's lines from a file, and into one (CR LF); raise EError.
  void LoadFile(const std::string& file);
  void SaveFile(const std::string& file) const;

 protected:
  void done(int result) override;

 private:
  void LoadClicked();
  void SaveClicked();
  void RestorePlacement();

  TRegStore& store_;
  QPlainTextEdit* memo_ = nullptr;
};

}  // namespace tw
