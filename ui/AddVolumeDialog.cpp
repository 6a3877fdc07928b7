#include "ui/AddVolumeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <limits>

#include "base/FileUtils.h"
#include "base/RegUtils.h"
#include "base/TextUtils.h"
#include "state/Globals.h"
#include "ui/ExtensionEditor.h"
#include "ui/Pictures.h"
#include "ui/RecordDefaults.h"
#include "ui/Text.h"

namespace tw {
namespace {

constexpr int kLevelRole = Qt::UserRole + 1;

std::string RememberKey() { return std::string(kRegRoot) + "frmNewVolume"; }

// Indents the entries of the collection picker by their tree level.
class TIndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem indented(option);
    indented.rect.adjust(Indent(option, index), 0, 0, 0);
    QStyledItemDelegate::paint(painter, indented, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += Indent(option, index);
    return size;
  }

 private:
  static int Indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
    return index.data(kLevelRole).toInt() * option.fontMetrics.height();
  }
};

// The picture of a collection node: by its item's kind, a memo item's own
// picture (the first when it has none), picture 0 without an item.
int CollectionPicture(const TColNode* node) {
  const TLibColItem* item = node->Data();
  if (!item) return 0;
  switch (item->Kind) {
    case ckVolume: return 1;
    case ckFolder: return 3;
    case ckFile: return 5;
    case ckArchive: return 6;
    default: return item->ImageIndex < 0 ? 0 : item->ImageIndex;
  }
}

QToolButton* ToolButton(const QString& name, const QString& hint, const QIcon& icon, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setIcon(icon);
  button->setText(hint);
  return button;
}

}  // namespace

TAddVolumeDialog::TAddVolumeDialog(TGlobalData& g, TPictures& pictures, QWidget* parent)
    : QDialog(parent), g_(g), pictures_(pictures) {
  setObjectName("frmNewVolume");
  setWindowTitle("New Volume");
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("pcPages");
  auto* volume = new QWidget(pages_);
  volume->setObjectName("tsVolume");
  BuildVolumePage(volume);
  pages_->addTab(volume, "&Volume");
  auto* properties = new QWidget(pages_);
  properties->setObjectName("tsProperties");
  BuildPropertiesPage(properties);
  pages_->addTab(properties, "&Properties");
  lv_Ext = new THandlerListView(g_.Handlers, pages_);
  pages_->addTab(lv_Ext, "&Handlers");
  layout->addWidget(pages_, 1);

  auto* row = new QHBoxLayout;
  cbNew = new QCheckBox("&Insert New Volume After", this);
  cbNew->setObjectName("cbNew");
  cbIncr = new QCheckBox("I&ncrement Volume Title", this);
  cbIncr->setObjectName("cbIncr");
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  auto* checks = new QVBoxLayout;
  checks->addWidget(cbNew);
  checks->addWidget(cbIncr);
  row->addLayout(checks);
  row->addStretch(1);
  row->addWidget(OKBtn);
  row->addWidget(CancelBtn);
  layout->addLayout(row);
  // Every page title stays readable, and paths get room.
  pages_->setUsesScrollButtons(false);
  resize(std::max(sizeHint().width(), 460), sizeHint().height());

  const auto key = [this](Qt::Key k, std::function<void()> run) {
    connect(new QShortcut(QKeySequence(k), this), &QShortcut::activated, this, std::move(run));
  };
  key(Qt::Key_F2, [this] { tbCat->click(); });
  key(Qt::Key_F3, [this] { tbLoc->click(); });
  key(Qt::Key_F4, [this] { Browse(); });
  key(Qt::Key_F6, [this] { OpenFolder(); });
}

void TAddVolumeDialog::BuildVolumePage(QWidget* page) {
  auto* form = new QFormLayout(page);
  edTitle = new QLineEdit(page);
  edTitle->setObjectName("edTitle");
  form->addRow("&Title:", edTitle);

  edFolder = new QLineEdit(page);
  edFolder->setObjectName("edFolder");
  btnBrowse = ToolButton("btnBrowse", "Browse (F4)", QIcon::fromTheme("folder-open", TPictures::Drawn("folder-open")), page);
  btnOpen = ToolButton("btnOpen", "Open (F6)", QIcon::fromTheme("document-open", TPictures::Drawn("folder")), page);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(edFolder, 1);
  folderRow->addWidget(btnBrowse);
  folderRow->addWidget(btnOpen);
  auto* folderLabel = new QLabel("&Folder:", page);
  folderLabel->setBuddy(edFolder);
  form->addRow(folderLabel, folderRow);

  cbDr = new QComboBox(page);
  cbDr->setObjectName("cbDr");
  form->addRow("&Volume:", cbDr);

  edser = new QLineEdit(page);
  edser->setObjectName("edser");
  edser->setReadOnly(true);
  form->addRow("&Serial:", edser);

  edLevels = new QSpinBox(page);
  edLevels->setObjectName("edLevels");
  edLevels->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  edLevels->setValue(0);
  form->addRow("&Levels:", edLevels);

  cbFoldersOnly = new QCheckBox("Folders &Only", page);
  cbFoldersOnly->setObjectName("cbFoldersOnly");
  form->addRow(cbFoldersOnly);

  connect(edFolder, &QLineEdit::textChanged, this, [this] { FolderChanged(); });
  // A pick by the user, also of the entry already shown.
  connect(cbDr, &QComboBox::activated, this, [this] { DriveChanged(); });
  connect(btnBrowse, &QToolButton::clicked, this, [this] { Browse(); });
  connect(btnOpen, &QToolButton::clicked, this, [this] { OpenFolder(); });
}

void TAddVolumeDialog::BuildPropertiesPage(QWidget* page) {
  auto* form = new QFormLayout(page);
  const TRecordDefaults defaults = TRecordDefaults::Build(form, page, pictures_.Command("tbCat"));
  filecat = defaults.Category;
  tbCat = defaults.EditCategories;
  filecom = defaults.Comments;
  cbAddFolders = defaults.AddToFolders;
  cbAddFiles = defaults.AddToFiles;

  volLoc = new QComboBox(page);
  volLoc->setObjectName("volLoc");
  volLoc->setEditable(true);
  volLoc->setInsertPolicy(QComboBox::NoInsert);
  tbLoc = ToolButton("tbLoc", "Edit Locations (F3)", pictures_.Command("tbLoc"), page);
  auto* locRow = new QHBoxLayout;
  locRow->addWidget(volLoc, 1);
  locRow->addWidget(tbLoc);
  auto* locLabel = new QLabel("&Location:", page);
  locLabel->setBuddy(volLoc);
  form->addRow(locLabel, locRow);

  combo = new QComboBox(page);
  combo->setObjectName("combo");
  combo->setItemDelegate(new TIndentDelegate(combo));
  form->addRow("C&ollection:", combo);

  connect(tbCat, &QToolButton::clicked, this, [this] {
    if (EditCategories) EditCategories();
    FillCategories();
  });
  connect(tbLoc, &QToolButton::clicked, this, [this] {
    if (EditLocations) EditLocations();
    FillLocations();
  });
}

int TAddVolumeDialog::Run(TLibObj& lib) {
  if (cbIncr->isChecked()) edTitle->setText(Q(IncrementTitle(lastTitle_)));
  pages_->setCurrentIndex(0);
  FillCollections(lib);
  FillCategories();
  FillLocations();
  folder_.clear();
  if (!cbIncr->isChecked()) {
    lastTitle_.clear();
    edTitle->clear();
  }
  g_.AddCategory.clear();
  g_.AddComments.clear();
  g_.ApplyToFolders = false;
  g_.ApplyToFiles = false;
  FillDrives();
  ReadRemembered();
  // The title and serial follow the folder even when its text stayed.
  FolderChanged();
  lv_Ext->Fill();
  if (edFolder->text().isEmpty() || S(edFolder->text()) == DrivePath()) DriveChanged();
  edTitle->setFocus();
  return exec();
}

void TAddVolumeDialog::FillDrives() {
  cbDr->clear();
  drives_.clear();
  const QIcon icon = QIcon::fromTheme("drive-harddisk", pictures_.Tree(TPictures::TreeVolume));
  const std::string root = AddSlash(root_);
  for (TDriveInfo& drive : Media.Drives()) {
    if (AddSlash(drive.RootPath).compare(0, root.size(), root) != 0) continue;
    const QString text = drive.Label.empty() ? Q(drive.RootPath) : QString("%1  [%2]").arg(Q(drive.RootPath), Q(drive.Label));
    cbDr->addItem(icon, text);
    drives_.push_back(std::move(drive));
  }
  cbDr->setCurrentIndex(drives_.empty() ? -1 : 0);
}

void TAddVolumeDialog::PointDrivePicker(const std::string& folder) {
  const int drive = DriveHolding(drives_, folder);
  if (drive >= 0) cbDr->setCurrentIndex(drive);
}

std::string TAddVolumeDialog::DrivePath() const {
  const int i = cbDr->currentIndex();
  return i >= 0 && i < static_cast<int>(drives_.size()) ? drives_[static_cast<size_t>(i)].RootPath : std::string();
}

void TAddVolumeDialog::FillCollections(TLibObj& lib) {
  combo->clear();
  collections_.clear();
  combo->addItem(QString());
  for (TColNode* node = lib.Collections.GetFirstNode(); node; node = node->GetNext()) {
    const int picture = CollectionPicture(node);
    const QIcon icon = picture < pictures_.CollectionCount() ? pictures_.Collection(picture) : QIcon();
    combo->addItem(icon, Q(node->Text));
    combo->setItemData(combo->count() - 1, node->Level(), kLevelRole);
    collections_.push_back(node);
  }
  combo->setCurrentIndex(0);
}

void TAddVolumeDialog::FillCategories() { RefillPickList(filecat, g_.CategoriesList); }
void TAddVolumeDialog::FillLocations() { RefillPickList(volLoc, g_.LocationsList); }

void TAddVolumeDialog::ReadRemembered() {
  TRegStore& store = g_.Registry();
  const std::string key = RememberKey();
  const std::string root = store.ReadRegValue(key, "Root", root_);
  if (!root.empty() && root != root_) {
    root_ = root;
    FillDrives();
  }
  edFolder->setText(Q(store.ReadRegValue(key, "Folder", S(edFolder->text()))));
  if (!edFolder->text().isEmpty()) PointDrivePicker(S(edFolder->text()));
  filecat->setEditText(Q(store.ReadRegValue(key, "DefCat", S(filecat->currentText()))));
  filecom->setText(Q(store.ReadRegValue(key, "DefCom", S(filecom->text()))));
  edLevels->setValue(store.ReadRegValue(key, "Levels", static_cast<int32_t>(edLevels->value())));
  cbAddFolders->setChecked(store.ReadRegValue(key, "Add to folders", cbAddFolders->isChecked()));
  cbAddFiles->setChecked(store.ReadRegValue(key, "Add to files", cbAddFiles->isChecked()));
  cbNew->setChecked(store.ReadRegValue(key, "Repeat", cbNew->isChecked()));
  cbIncr->setChecked(store.ReadRegValue(key, "Increment", cbIncr->isChecked()));
  const int32_t collection = store.ReadRegValue(key, "Collection", static_cast<int32_t>(combo->currentIndex()));
  if (collection >= 0 && collection < combo->count()) combo->setCurrentIndex(collection);
  cbFoldersOnly->setChecked(g_.FoldersOnly);
}

void TAddVolumeDialog::WriteRemembered() {
  TRegStore& store = g_.Registry();
  const TRegStore::TBatch batch(store);
  const std::string key = RememberKey();
  store.WriteRegValue(key, "Root", root_);
  store.WriteRegValue(key, "Folder", S(edFolder->text()));
  store.WriteRegValue(key, "DefCat", S(filecat->currentText()));
  store.WriteRegValue(key, "DefCom", S(filecom->text()));
  store.WriteRegValue(key, "Levels", static_cast<int32_t>(edLevels->value()));
  store.WriteRegValue(key, "Add to folders", cbAddFolders->isChecked());
  store.WriteRegValue(key, "Add to files", cbAddFiles->isChecked());
  store.WriteRegValue(key, "Repeat", cbNew->isChecked());
  store.WriteRegValue(key, "Increment", cbIncr->isChecked());
  store.WriteRegValue(key, "Collection", static_cast<int32_t>(combo->currentIndex()));
}

void TAddVolumeDialog::DriveChanged() {
  const int i = cbDr->currentIndex();
  if (i < 0 || i >= static_cast<int>(drives_.size())) return;
  const TDriveInfo drive = drives_[static_cast<size_t>(i)];
  edFolder->setText(Q(drive.RootPath));
  // A medium without a label keeps its path as the title.
  if (!cbIncr->isChecked() && !drive.Label.empty()) edTitle->setText(Q(drive.Label));
  edser->setText(Q(Media.SerialOf(drive.RootPath)));
}

void TAddVolumeDialog::FolderChanged() {
  const std::string folder = S(edFolder->text());
  if (folder.empty()) return;
  if (!cbIncr->isChecked()) edTitle->setText(edFolder->text());
  edser->setText(Q(Media.SerialOf(folder)));
}

void TAddVolumeDialog::Browse() {
  const QString folder = QFileDialog::getExistingDirectory(this, windowTitle(), edFolder->text());
  if (!folder.isEmpty()) edFolder->setText(folder);
}

void TAddVolumeDialog::OpenFolder() {
  if (!edFolder->text().isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(edFolder->text()));
}

void TAddVolumeDialog::TakeChoices() {
  folder_ = S(edFolder->text());
  lastTitle_ = S(edTitle->text());
  TRecordDefaults{filecat, tbCat, filecom, cbAddFolders, cbAddFiles}.Take(g_);
  g_.AddLocation = S(volLoc->currentText());
  g_.FoldersOnly = cbFoldersOnly->isChecked();
  // The medium's position in the drive picker (from 1) when the whole
  // medium is added.
  g_.AddDrive = -1;
  const std::string drive = DrivePath();
  if (!folder_.empty() && !drive.empty() && AddSlash(folder_) == AddSlash(drive)) g_.AddDrive = cbDr->currentIndex() + 1;
}

void TAddVolumeDialog::done(int result) {
  if (result == QDialog::Accepted) TakeChoices();
  WriteRemembered();
  QDialog::done(result);
}

std::string TAddVolumeDialog::Serial() const { return S(edser->text()); }
int32_t TAddVolumeDialog::Levels() const { return edLevels->value(); }
bool TAddVolumeDialog::InsertAfter() const { return cbNew->isChecked(); }
bool TAddVolumeDialog::IncrementTitles() const { return cbIncr->isChecked(); }

TColNode* TAddVolumeDialog::Collection() const {
  const int i = combo->currentIndex();
  return i >= 1 && i <= static_cast<int>(collections_.size()) ? collections_[static_cast<size_t>(i - 1)] : nullptr;
}

}  // namespace tw
