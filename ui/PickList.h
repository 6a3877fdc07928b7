// The pick list "frmPickList": names with a check box each, of which the
// caller reads the checked ones after OK. Created once and reused; owns its
// widgets; window's thread only.
#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace tw {

class TfrmPickList : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmPickList(QWidget* parent = nullptr);

  // Offers the names, none checked; true on OK with the checked names in
  // their list order.
  bool Pick(const QStringList& names, QStringList& checked);

  QListWidget* clbKeys = nullptr;
};

}  // namespace tw
