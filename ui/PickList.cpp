#include "ui/PickList.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Text.h"

namespace tw {

TfrmPickList::TfrmPickList(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPickList"));
  setWindowTitle(QStringLiteral("Pick List"));
  setSizeGripEnabled(true);
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
  resize(300, 340);
}

bool TfrmPickList::Pick(const std::vector<std::string>& names, std::vector<std::string>& checked) {
  SetNames(names);
  clbKeys->setFocus();
  if (exec() != QDialog::Accepted) return false;
  checked = CheckedNames();
  return true;
}

void TfrmPickList::SetNames(const std::vector<std::string>& names) {
  clbKeys->clear();
  for (const std::string& name : names) {
    auto* item = new QListWidgetItem(Q(name), clbKeys);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  if (clbKeys->count() > 0) clbKeys->setCurrentRow(0);
}

std::vector<std::string> TfrmPickList::CheckedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < clbKeys->count(); ++i)
    if (clbKeys->item(i)->checkState() == Qt::Checked) names.push_back(S(clbKeys->item(i)->text()));
  return names;
}

}  // namespace tw
