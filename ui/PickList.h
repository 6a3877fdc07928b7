// The pick list "frmPickList": names with a check box each, to choose some
// of them (the properties dialog offers the tag captions through it). Owns
// its widgets. Window's thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace tw {

class TfrmPickList : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmPickList(QWidget* parent);

  // Shows the names, none checked; on OK `checked` takes the checked names
  // in list order and true is returned.
  bool Pick(const std::vector<std::string>& names, std::vector<std::string>& checked);

  void SetNames(const std::vector<std::string>& names);
  std::vector<std::string> CheckedNames() const;

  QListWidget* clbKeys = nullptr;
};

}  // namespace tw
