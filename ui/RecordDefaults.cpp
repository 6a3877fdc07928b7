#include "ui/RecordDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "state/Globals.h"
#include "ui/Text.h"

namespace tw {

TRecordDefaults TRecordDefaults::Build(QFormLayout* form, QWidget* page, const QIcon& editIcon) {
  TRecordDefaults d;
  d.Category = new QComboBox(page);
  d.Category->setObjectName("filecat");
  d.Category->setEditable(true);
  d.Category->setInsertPolicy(QComboBox::NoInsert);
  d.EditCategories = new QToolButton(page);
  d.EditCategories->setObjectName("tbCat");
  d.EditCategories->setToolTip("Edit Categories (F2)");
  d.EditCategories->setText("Edit Categories (F2)");
  d.EditCategories->setIcon(editIcon);
  auto* catRow = new QHBoxLayout;
  catRow->addWidget(d.Category, 1);
  catRow->addWidget(d.EditCategories);
  auto* catLabel = new QLabel("&Category:", page);
  catLabel->setBuddy(d.Category);
  form->addRow(catLabel, catRow);
  d.Comments = new QLineEdit(page);
  d.Comments->setObjectName("filecom");
  form->addRow("Com&ments:", d.Comments);
  d.AddToFolders = new QCheckBox("&Add to Folders", page);
  d.AddToFolders->setObjectName("cbAddFolders");
  form->addRow(d.AddToFolders);
  d.AddToFiles = new QCheckBox("Add to &Files", page);
  d.AddToFiles->setObjectName("cbAddFiles");
  form->addRow(d.AddToFiles);
  return d;
}

void TRecordDefaults::Take(TGlobalData& g) const {
  g.AddCategory = S(Category->currentText());
  g.AddComments = S(Comments->text());
  g.ApplyToFolders = AddToFolders->isChecked();
  g.ApplyToFiles = AddToFiles->isChecked();
}

void RefillPickList(QComboBox* box, const TSortedStrings& list) {
  const QString text = box->currentText();
  box->clear();
  for (const std::string& entry : list) box->addItem(Q(entry));
  box->setEditText(text);
}

}  // namespace tw
