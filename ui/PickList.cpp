#include "ui/PickList.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw {

TfrmPickList::TfrmPickList(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPickList"));
  setWindowTitle(QStringLiteral("Pick List"));
  clbKeys = new QListWidget(this);
  clbKeys->setObjectName(QStringLiteral("clbKeys"));
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("CancelBtn"));
  // The help button has no page to show.
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  help->setObjectName(QStringLiteral("HelpBtn"));
  help->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(clbKeys, 1);
  layout->addWidget(buttons);
  resize(280, 340);
}

bool TfrmPickList::Pick(const QStringList& names, QStringList& checked) {
  clbKeys->clear();
  for (const QString& name : names) {
    auto* item = new QListWidgetItem(name, clbKeys);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  if (clbKeys->count() > 0) clbKeys->setCurrentRow(0);
  if (exec() != QDialog::Accepted) return false;
  checked.clear();
  for (int row = 0; row < clbKeys->count(); ++row)
    if (clbKeys->item(row)->checkState() == Qt::Checked) checked << clbKeys->item(row)->text();
  return true;
}

}  // namespace tw
