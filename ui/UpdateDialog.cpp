#include "ui/UpdateDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "state/Globals.h"
#include "ui/ExtensionEditor.h"
#include "ui/Pictures.h"
#include "ui/RecordDefaults.h"
#include "ui/Text.h"

namespace tw {

TUpdateDialog::TUpdateDialog(TGlobalData& g, TPictures& pictures, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName("frmUpdate");
  setWindowTitle("Update");
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("pcPages");

  auto* properties = new QWidget(pages_);
  properties->setObjectName("tsProperties");
  auto* form = new QFormLayout(properties);
  const TRecordDefaults defaults = TRecordDefaults::Build(form, properties, pictures.Command("tbCat"));
  filecat = defaults.Category;
  tbCat = defaults.EditCategories;
  filecom = defaults.Comments;
  cbAddFolders = defaults.AddToFolders;
  cbAddFiles = defaults.AddToFiles;
  pages_->addTab(properties, "&Properties");

  auto* source = new QWidget(pages_);
  source->setObjectName("tsSource");
  auto* sourceForm = new QFormLayout(source);
  edFolder = new QLineEdit(source);
  edFolder->setObjectName("edFolder");
  edFolder->setReadOnly(true);
  SpeedButton1 = new QToolButton(source);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setToolTip("Browse (F4)");
  SpeedButton1->setText("Browse (F4)");
  SpeedButton1->setIcon(QIcon::fromTheme("folder-open", TPictures::Drawn("folder-open")));
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(edFolder, 1);
  folderRow->addWidget(SpeedButton1);
  auto* folderLabel = new QLabel("&Folder:", source);
  folderLabel->setBuddy(edFolder);
  sourceForm->addRow(folderLabel, folderRow);
  edser = new QLineEdit(source);
  edser->setObjectName("edser");
  edser->setReadOnly(true);
  sourceForm->addRow("&Serial:", edser);
  edLevels = new QSpinBox(source);
  edLevels->setObjectName("edLevels");
  edLevels->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  edLevels->setValue(0);
  sourceForm->addRow("&Levels:", edLevels);
  cbReal = new QCheckBox("Use &Real Source", source);
  cbReal->setObjectName("cbReal");
  QFont bold = cbReal->font();
  bold.setBold(true);
  cbReal->setFont(bold);
  sourceForm->addRow(cbReal);
  cbDel = new QCheckBox("&Delete not found", source);
  cbDel->setObjectName("cbDel");
  sourceForm->addRow(cbDel);
  cbFoldersOnly = new QCheckBox("Folders &Only", source);
  cbFoldersOnly->setObjectName("cbFoldersOnly");
  sourceForm->addRow(cbFoldersOnly);
  pages_->addTab(source, "From &Source");

  lv_Ext = new THandlerListView(g_.Handlers, pages_);
  pages_->addTab(lv_Ext, "&Handlers");
  layout->addWidget(pages_, 1);

  auto* row = new QHBoxLayout;
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  row->addStretch(1);
  row->addWidget(OKBtn);
  row->addWidget(CancelBtn);
  layout->addLayout(row);
  // Every page title stays readable, and paths get room.
  pages_->setUsesScrollButtons(false);
  resize(std::max(sizeHint().width(), 460), sizeHint().height());

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(cbReal, &QCheckBox::toggled, this, [this] { RealSourceToggled(); });
  connect(edFolder, &QLineEdit::textChanged, this, [this] { FolderChanged(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { Browse(); });
  connect(tbCat, &QToolButton::clicked, this, [this] {
    if (EditCategories) EditCategories();
    FillCategories();
  });
  connect(new QShortcut(QKeySequence(Qt::Key_F2), this), &QShortcut::activated, this, [this] { tbCat->click(); });
  // F4 browses also while the button is off.
  connect(new QShortcut(QKeySequence(Qt::Key_F4), this), &QShortcut::activated, this, [this] { Browse(); });
}

int TUpdateDialog::Run(const std::string& folder) {
  folder_.clear();
  pages_->setCurrentIndex(0);
  g_.AddCategory.clear();
  g_.AddComments.clear();
  g_.ApplyToFolders = false;
  g_.ApplyToFiles = false;
  edFolder->setText(Q(folder));
  filecat->setEditText({});
  filecom->clear();
  cbAddFolders->setChecked(false);
  cbAddFiles->setChecked(false);
  cbDel->setChecked(false);
  cbReal->setChecked(false);
  cbFoldersOnly->setChecked(g_.FoldersOnly);
  FillCategories();
  filecat->setEditText({});
  RealSourceToggled();
  lv_Ext->Fill();
  filecat->setFocus();
  return exec();
}

void TUpdateDialog::RealSourceToggled() {
  const bool real = cbReal->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(edFolder), static_cast<QWidget*>(SpeedButton1),
                     static_cast<QWidget*>(cbDel), static_cast<QWidget*>(edser)})
    w->setEnabled(real);
  FolderChanged();
}

void TUpdateDialog::FolderChanged() { edser->setText(Q(Media.SerialOf(S(edFolder->text())))); }

void TUpdateDialog::Browse() {
  const QString folder = QFileDialog::getExistingDirectory(this, windowTitle(), edFolder->text());
  if (!folder.isEmpty()) edFolder->setText(folder);
}

void TUpdateDialog::FillCategories() { RefillPickList(filecat, g_.CategoriesList); }

void TUpdateDialog::done(int result) {
  if (result == QDialog::Accepted) {
    folder_ = S(edFolder->text());
    TRecordDefaults{filecat, tbCat, filecom, cbAddFolders, cbAddFiles}.Take(g_);
    g_.DeleteMissing = cbDel->isChecked();
    g_.FoldersOnly = cbFoldersOnly->isChecked();
  }
  QDialog::done(result);
}

std::string TUpdateDialog::Serial() const { return S(edser->text()); }
int32_t TUpdateDialog::Levels() const { return edLevels->value(); }
bool TUpdateDialog::RealSource() const { return cbReal->isChecked(); }

}  // namespace tw
