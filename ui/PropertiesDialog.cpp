#include "ui/DialogPlacement.h"
#include "ui/PropertiesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <algorithm>

#include "base/FileUtils.h"
#include "base/TextUtils.h"
#include "state/Globals.h"
#include "state/Settings.h"
#include "tags/TagClasses.h"
#include "ui/FolderSizes.h"
#include "ui/PickList.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {

namespace {


// The size workers' fields.
enum TSizeField { sfLibrary, sfVolume, sfFolder };

// The tag name a grid row stands for (empty for a row added by caption).
constexpr int kTagNameRole = Qt::UserRole + 1;

QLineEdit* Field(const char* name, QWidget* parent, bool readOnly) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(readOnly);
  return field;
}

QComboBox* PickField(const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(16);
  return box;
}

QToolButton* Button(const QString& name, const QString& hint, const QIcon& icon, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setText(hint);
  button->setIcon(icon);
  return button;
}

// A row of the form with a label whose access key reaches the field.
void AddRow(QFormLayout* form, const QString& caption, QWidget* buddy, QWidget* row = nullptr) {
  auto* label = new QLabel(caption, form->parentWidget());
  label->setBuddy(buddy);
  form->addRow(label, row ? row : buddy);
}

// Refills an editable pick list and keeps the text shown in it.
void Refill(QComboBox* box, const TSortedStrings& list) {
  const QString text = box->currentText();
  box->clear();
  for (const std::string& entry : list) box->addItem(Q(entry));
  box->setEditText(text);
}

// The text of a date; none for the value 0.
QString DateText(TDateTime date) { return date == 0 ? QString() : Q(FormatDate(date)); }

// The value all records share, or empty once two differ.
struct TCommon {
  std::string Value;
  bool Set = false;
  bool Differs = false;
  void Add(const std::string& value) {
    if (!Set) {
      Value = value;
      Set = true;
    } else if (!Differs && value != Value) {
      Differs = true;
      Value.clear();
    }
  }
};

struct TCommonDate {
  TDateTime Value = 0;
  bool Set = false;
  void Add(TDateTime value) {
    if (!Set) {
      Value = value;
      Set = true;
    } else if (value != Value) {
      Value = 0;
    }
  }
};

}  // namespace

TfrmProperties::TfrmProperties(TGlobalData& g, TPictures& pictures, QWidget* parent)
    : QDialog(parent), g_(g), pictures_(pictures) {
  setObjectName(QStringLiteral("frmProperties"));
  setWindowTitle(QStringLiteral("Properties"));
  setSizeGripEnabled(true);
  sizes_ = new TFolderSizes([this](int field, int64_t total) { ShowSize(field, total); }, this);
  // Made with the dialog, so that the language files reach its texts too.
  pickList_ = new TfrmPickList(this);

  pcProperties = new QTabWidget(this);
  pcProperties->setObjectName(QStringLiteral("pcProperties"));
  pcProperties->setUsesScrollButtons(false);
  // Paths and names get room.
  pcProperties->setMinimumWidth(440);
  pages_[pgLibrary] = BuildLibraryPage();
  pages_[pgVolume] = BuildVolumePage();
  pages_[pgFolder] = BuildFolderPage();
  pages_[pgFile] = BuildFilePage();
  pages_[pgTags] = BuildTagsPage();
  const char* captions[] = {"&Library", "&Volume", "&Folder", "F&ile", "&Tags"};
  for (int page = pgLibrary; page <= pgTags; ++page) pcProperties->addTab(pages_[page], QString::fromLatin1(captions[page]));

  OKBtn = new QPushButton(QStringLiteral("O&K"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("C&ancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  btnRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
  btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRefresh);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pcProperties, 1);
  layout->addLayout(buttons);

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnRefresh, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F2), this), &QShortcut::activated, this, [this] {
    if (EditCategories) EditCategories();
    RefillCategories();
  });
  connect(new QShortcut(QKeySequence(Qt::Key_F4), this), &QShortcut::activated, this, [this] {
    if (EditLocations) EditLocations();
    RefillLocations();
  });
  resize(std::max(sizeHint().width(), 480), sizeHint().height());
}

TfrmProperties::~TfrmProperties() { StopSizeWorkers(); }

// --- pages ---

QWidget* TfrmProperties::CommentRow(QLineEdit* field, int page) {
  auto* row = new QWidget(field->parentWidget());
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  field->setParent(row);
  layout->addWidget(field, 1);
  static const char* names[] = {"tbLibCom", "tbVolCom", "tbCatCom", "tbFileCom"};
  QToolButton* edit = Button(QString::fromLatin1(names[page]), QStringLiteral("Edit Comments"),
                             QIcon::fromTheme(QStringLiteral("accessories-text-editor"), pictures_.Command("tbEdit")), row);
  layout->addWidget(edit);
  connect(edit, &QToolButton::clicked, this, [this, field, page] { EditComments(field, page); });
  return row;
}

QWidget* TfrmProperties::CategoryRow(QComboBox* field) {
  auto* row = new QWidget(field->parentWidget());
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  field->setParent(row);
  layout->addWidget(field, 1);
  QToolButton* edit = Button(field->objectName() + QStringLiteral("Edit"), QStringLiteral("Edit Categories (F2)"),
                             pictures_.Command("tbCat"), row);
  layout->addWidget(edit);
  connect(edit, &QToolButton::clicked, this, [this] {
    if (EditCategories) EditCategories();
    RefillCategories();
  });
  return row;
}

QWidget* TfrmProperties::BuildLibraryPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("tsLibrary"));
  auto* form = new QFormLayout(page);
  libfile = Field("libfile", page, true);
  libdate = Field("libdate", page, true);
  libsize = Field("libsize", page, true);
  LibCat = PickField("LibCat", page);
  libCom = Field("libCom", page, false);
  form->addRow(QStringLiteral("File:"), libfile);
  form->addRow(QStringLiteral("Date:"), libdate);
  form->addRow(QStringLiteral("Size:"), libsize);
  AddRow(form, QStringLiteral("&Category:"), LibCat, CategoryRow(LibCat));
  AddRow(form, QStringLiteral("Com&ments:"), libCom, CommentRow(libCom, pgLibrary));
  infoV = Field("infoV", page, true);
  infoF = Field("infoF", page, true);
  infoFi = Field("infoFi", page, true);
  infoFis = Field("infoFis", page, true);
  form->addRow(QStringLiteral("Volumes:"), infoV);
  form->addRow(QStringLiteral("Folders:"), infoF);
  form->addRow(QStringLiteral("Files:"), infoFi);
  form->addRow(QStringLiteral("Size:"), infoFis);
  return page;
}

QWidget* TfrmProperties::BuildVolumePage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("tsVolume"));
  auto* form = new QFormLayout(page);
  volCaption = Field("volCaption", page, false);
  volpath = Field("volpath", page, true);
  voldate = Field("voldate", page, true);
  volsize = Field("volsize", page, true);
  volser = Field("volser", page, true);
  volCat = PickField("volCat", page);
  volcom = Field("volcom", page, false);
  volLoc = PickField("volLoc", page);
  volDrive = Field("volDrive", page, true);
  AddRow(form, QStringLiteral("Cap&tion:"), volCaption);
  form->addRow(QStringLiteral("Fullpath:"), volpath);
  form->addRow(QStringLiteral("Date:"), voldate);
  form->addRow(QStringLiteral("Size:"), volsize);
  AddRow(form, QStringLiteral("&Serial:"), volser);
  AddRow(form, QStringLiteral("&Category:"), volCat, CategoryRow(volCat));
  AddRow(form, QStringLiteral("Com&ments:"), volcom, CommentRow(volcom, pgVolume));

  auto* locRow = new QWidget(page);
  auto* locLayout = new QHBoxLayout(locRow);
  locLayout->setContentsMargins(0, 0, 0, 0);
  volLoc->setParent(locRow);
  locLayout->addWidget(volLoc, 1);
  tbLoc = Button(QStringLiteral("tbLoc"), QStringLiteral("Edit Locations (F4)"), pictures_.Command("tbLoc"), locRow);
  locLayout->addWidget(tbLoc);
  AddRow(form, QStringLiteral("&Location:"), volLoc, locRow);

  auto* driveRow = new QWidget(page);
  auto* driveLayout = new QHBoxLayout(driveRow);
  driveLayout->setContentsMargins(0, 0, 0, 0);
  volDrive->setParent(driveRow);
  driveLayout->addWidget(volDrive, 1);
  tbEditDrive = Button(QStringLiteral("tbEditDrive"), QStringLiteral("Edit Drive (Lock/Unlock)"),
                       QIcon::fromTheme(QStringLiteral("changes-allow"), pictures_.Command("tbEdit")), driveRow);
  tbEditDrive->setCheckable(true);
  driveLayout->addWidget(tbEditDrive);
  AddRow(form, QStringLiteral("&Drive:"), volDrive, driveRow);

  cb_rec_vol = new QCheckBox(QStringLiteral("&Update Subitems"), page);
  cb_rec_vol->setObjectName(QStringLiteral("cb_rec_vol"));
  cb_rec_volow = new QCheckBox(QStringLiteral("&Overwrite"), page);
  cb_rec_volow->setObjectName(QStringLiteral("cb_rec_volow"));
  form->addRow(cb_rec_vol);
  form->addRow(cb_rec_volow);

  connect(tbLoc, &QToolButton::clicked, this, [this] {
    if (EditLocations) EditLocations();
    RefillLocations();
  });
  connect(tbEditDrive, &QToolButton::toggled, this, [this](bool down) { volDrive->setReadOnly(!down); });
  connect(cb_rec_vol, &QCheckBox::toggled, cb_rec_volow, &QWidget::setEnabled);
  return page;
}

QWidget* TfrmProperties::BuildFolderPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("tsFolder"));
  auto* form = new QFormLayout(page);
  catcaption = Field("catcaption", page, true);
  catpath = Field("catpath", page, true);
  catDate = Field("catDate", page, true);
  catSize = Field("catSize", page, true);
  catcat = PickField("catcat", page);
  catcom = Field("catcom", page, false);
  AddRow(form, QStringLiteral("Cap&tion:"), catcaption);
  form->addRow(QStringLiteral("Fullpath:"), catpath);
  form->addRow(QStringLiteral("Date:"), catDate);
  form->addRow(QStringLiteral("Size:"), catSize);
  AddRow(form, QStringLiteral("&Category:"), catcat, CategoryRow(catcat));
  AddRow(form, QStringLiteral("Com&ments:"), catcom, CommentRow(catcom, pgFolder));
  cb_rec_fol = new QCheckBox(QStringLiteral("&Update Subitems"), page);
  cb_rec_fol->setObjectName(QStringLiteral("cb_rec_fol"));
  cb_rec_folow = new QCheckBox(QStringLiteral("&Overwrite"), page);
  cb_rec_folow->setObjectName(QStringLiteral("cb_rec_folow"));
  form->addRow(cb_rec_fol);
  form->addRow(cb_rec_folow);
  connect(cb_rec_fol, &QCheckBox::toggled, cb_rec_folow, &QWidget::setEnabled);
  return page;
}

QWidget* TfrmProperties::BuildFilePage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("tsFile"));
  auto* form = new QFormLayout(page);
  filecaption = Field("filecaption", page, true);
  filepath = Field("filepath", page, true);
  filedate = Field("filedate", page, true);
  filesize = Field("filesize", page, true);
  filecat = PickField("filecat", page);
  filecom = Field("filecom", page, false);
  AddRow(form, QStringLiteral("Cap&tion:"), filecaption);
  form->addRow(QStringLiteral("Fullpath:"), filepath);
  form->addRow(QStringLiteral("Date:"), filedate);
  form->addRow(QStringLiteral("Size:"), filesize);
  AddRow(form, QStringLiteral("&Category:"), filecat, CategoryRow(filecat));
  AddRow(form, QStringLiteral("Com&ments:"), filecom, CommentRow(filecom, pgFile));
  return page;
}

QWidget* TfrmProperties::BuildTagsPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("tsTags"));
  auto* layout = new QVBoxLayout(page);
  auto* bar = new QToolBar(page);
  bar->setObjectName(QStringLiteral("tbTags"));
  // The words carry the buttons where the icon theme has no pictures.
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  QAction* add = bar->addAction(QIcon::fromTheme(QStringLiteral("list-add")), QStringLiteral("Add"));
  add->setObjectName(QStringLiteral("tbAdd"));
  add->setToolTip(QStringLiteral("Add"));
  QAction* del = bar->addAction(QIcon::fromTheme(QStringLiteral("list-remove")), QStringLiteral("Delete"));
  del->setObjectName(QStringLiteral("tbDelete"));
  del->setToolTip(QStringLiteral("Delete"));
  vle = new QTableWidget(0, 2, page);
  vle->setObjectName(QStringLiteral("vle"));
  vle->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
  vle->verticalHeader()->hide();
  vle->verticalHeader()->setDefaultSectionSize(vle->fontMetrics().height() + 8);
  vle->horizontalHeader()->setStretchLastSection(true);
  vle->setSelectionBehavior(QAbstractItemView::SelectRows);
  vle->setSelectionMode(QAbstractItemView::SingleSelection);
  vle->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  layout->addWidget(bar);
  layout->addWidget(vle, 1);
  connect(add, &QAction::triggered, this, [this] { AddTags(); });
  connect(del, &QAction::triggered, this, [this] { DeleteTag(); });
  return page;
}

// --- filling ---

int TfrmProperties::Run(TLibObj& lib, const TSelection& selection, TPage page, bool libraryOnly) {
  StopSizeWorkers();
  lib_ = &lib;
  selection_ = selection;
  Reset();
  for (int p = pgLibrary; p <= pgFolder; ++p) pages_[p]->setEnabled(true);
  pcProperties->setCurrentIndex(pgLibrary);
  FillLibrary();
  if (!selection_.Items.empty()) FillFiles();
  if (!selection_.Nodes.empty()) FillFolders();
  if (volume_) FillVolume();
  FillTags();
  // Long paths and lists show their beginning.
  for (QLineEdit* field : findChildren<QLineEdit*>()) field->setCursorPosition(0);
  TakeSnapshot();
  StartSizeWorkers();
  if (libraryOnly)
    for (int p = pgLibrary; p <= pgFolder; ++p) pages_[p]->setEnabled(false);
  pcProperties->setCurrentIndex(page);
  changed_ = false;
  return exec();
}

void TfrmProperties::Reset() {
  volume_ = nullptr;
  libraryFilled_ = false;
  tbEditDrive->setChecked(false);
  volDrive->setReadOnly(true);
  for (QComboBox* box : {LibCat, volCat, catcat, filecat}) {
    box->setEditText({});
    Refill(box, g_.CategoriesList);
  }
  volLoc->setEditText({});
  Refill(volLoc, g_.LocationsList);
  for (QLineEdit* field : findChildren<QLineEdit*>())
    if (!qobject_cast<QComboBox*>(field->parentWidget())) field->clear();
  snapshot_.clear();
  commonTags_.clear();
  vle->setRowCount(0);
  cb_rec_volow->setEnabled(cb_rec_vol->isChecked());
  cb_rec_folow->setEnabled(cb_rec_fol->isChecked());
}

void TfrmProperties::FillLibrary() {
  TLibObj& lib = *lib_;
  if (lib.FileName.empty()) return;
  libraryFilled_ = true;
  if (!lib.CountsValid) lib.RecountTotals();
  libfile->setText(Q(lib.FileName));
  struct stat st {};
  if (::stat(lib.FileName.c_str(), &st) == 0) {
    libdate->setText(DateText(FileTimeToDate(st.st_mtim)));
    libsize->setText(Q(FormatSize(g_.SizeUnit, static_cast<double>(st.st_size), g_.TextFormat())));
  }
  LibCat->setEditText(Q(lib.Category));
  libCom->setText(Q(lib.Comments));
  ShowCounts();
  infoFis->setText(QString::number(lib.TotalSize));
}

void TfrmProperties::ShowCounts() {
  infoV->setText(QString::number(lib_->VolumeCount));
  infoF->setText(QString::number(lib_->FolderCount));
  infoFi->setText(QString::number(lib_->FileCount));
}

void TfrmProperties::FillFiles() {
  std::vector<std::string> names, paths;
  int64_t size = 0;
  TCommonDate date;
  TCommon comments, category;
  bool first = true;
  for (const TLibFolderItem* item : selection_.Items) {
    names.push_back(item->Name);
    paths.push_back(item->GetItemPath());
    size = AddSizes(size, item->Size);
    date.Add(item->Date);
    comments.Add(item->Comments);
    category.Add(item->Category);
    // Tags every row has: once two rows share none, a later row cannot
    // bring any back.
    if (first) commonTags_ = item->TagInfo.Tags;
    else if (!commonTags_.empty()) TTagInfo::IntersectTags(item->TagInfo.Tags, commonTags_);
    first = false;
  }
  filecaption->setText(Q(JoinList(names, "; ")));
  filepath->setText(Q(JoinList(paths, "; ")));
  filesize->setText(Q(FormatSize(g_.SizeUnit, static_cast<double>(size), g_.TextFormat())));
  filedate->setText(DateText(date.Value));
  filecom->setText(Q(comments.Value));
  filecat->setEditText(Q(category.Value));
}

void TfrmProperties::FillFolders() {
  std::vector<TFolderNode*>& nodes = selection_.Nodes;
  std::sort(nodes.begin(), nodes.end(), [](TFolderNode* a, TFolderNode* b) { return a->Index() < b->Index(); });
  if (!selection_.Current) selection_.Current = nodes.front();
  volume_ = TLibObj::RootOf(selection_.Current);
  std::vector<std::string> names;
  TCommonDate date;
  TCommon comments, category;
  for (const TFolderNode* node : nodes) {
    const TLibFolder* folder = node->Data();
    names.push_back(folder->Name);
    date.Add(folder->Date);
    comments.Add(folder->Comments);
    category.Add(folder->Category);
  }
  const TLibFolder* last = nodes.back()->Data();
  catcaption->setText(Q(JoinList(names, "; ")));
  catpath->setText(Q(last->Parent ? last->Parent->GetPath() : volume_->Data()->GetPath()));
  catDate->setText(DateText(date.Value));
  catcom->setText(Q(comments.Value));
  catcat->setEditText(Q(category.Value));
}

void TfrmProperties::FillVolume() {
  const TLibFolder* volume = volume_->Data();
  volser->setText(Q(volume->Serial));
  volCaption->setText(Q(volume->Name));
  voldate->setText(DateText(volume->Date));
  volcom->setText(Q(volume->Comments));
  volCat->setEditText(Q(volume->Category));
  volpath->setText(Q(volume->GetPath()));
  volLoc->setEditText(Q(volume->Location));
  volDrive->setText(Q(volume->SourcePath));
}

void TfrmProperties::FillTags() {
  std::vector<std::string> display;
  TTagInfo::TagsToCaptions(commonTags_, display, g_.TagsList.Items());
  vle->setRowCount(static_cast<int>(display.size()));
  for (int row = 0; row < static_cast<int>(display.size()); ++row) {
    const std::string& line = display[static_cast<size_t>(row)];
    const std::string& tag = commonTags_[static_cast<size_t>(row)];
    const size_t eq = line.find('=');
    const std::string name = tag.substr(0, tag.find('='));
    // A tag without a caption in the tag list shows its name.
    std::string caption = line.substr(0, eq);
    if (caption.empty()) caption = name;
    auto* key = new QTableWidgetItem(Q(caption));
    key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    key->setData(kTagNameRole, Q(name));
    vle->setItem(row, 0, key);
    vle->setItem(row, 1, new QTableWidgetItem(eq == std::string::npos ? QString() : Q(line.substr(eq + 1))));
  }
}

QString TfrmProperties::Text(const QWidget* field) {
  if (const auto* box = qobject_cast<const QComboBox*>(field)) return box->currentText();
  if (const auto* edit = qobject_cast<const QLineEdit*>(field)) return edit->text();
  return {};
}

void TfrmProperties::TakeSnapshot() {
  snapshot_.clear();
  for (const QWidget* field : std::initializer_list<const QWidget*>{LibCat, libCom, volCaption, volcom, volCat, volLoc,
                                                                   volDrive, catcom, catcat, filecom, filecat})
    snapshot_[field] = Text(field);
}

bool TfrmProperties::Marked(const QWidget* field) const {
  const auto it = snapshot_.find(field);
  return it != snapshot_.end() && it->second != Text(field);
}

// --- size workers ---

void TfrmProperties::StartSizeWorkers() {
  if (selection_.Nodes.empty()) return;
  // Without a file name the library page shows no counts, its total
  // included. A worker that cannot start leaves its field empty.
  if (libraryFilled_) sizes_->Start(sfLibrary, &lib_->Folders, nullptr);
  sizes_->Start(sfVolume, nullptr, volume_);
  sizes_->Start(sfFolder, nullptr, selection_.Current);
}

void TfrmProperties::StopSizeWorkers() {
  if (sizes_) sizes_->Stop();
}

int TfrmProperties::RunningSizeWorkers() const { return sizes_->Running(); }

void TfrmProperties::ShowSize(int field, int64_t total) {
  QLineEdit* target = field == sfLibrary ? infoFis : field == sfVolume ? volsize : catSize;
  target->setText(Q(FormatSize(g_.SizeUnit, static_cast<double>(total), g_.TextFormat())));
}

// --- commands of the dialog ---

void TfrmProperties::EditComments(QLineEdit* field, int page) {
  if (!EditText) return;
  const QLineEdit* captions[] = {libfile, volCaption, catcaption, filecaption};
  const QString title = QStringLiteral("Edit Comments - ") + captions[page]->text();
  const std::string text = S(field->text());
  std::vector<std::string> lines = SplitLines(text);
  if (!EditText(title, lines)) return;
  // Comments keep the line breaks they came with.
  field->setText(Q(JoinList(lines, text.find("\r\n") != std::string::npos ? "\r\n" : "\n")));
}

void TfrmProperties::RefillCategories() {
  for (QComboBox* box : {LibCat, volCat, catcat, filecat}) Refill(box, g_.CategoriesList);
}

void TfrmProperties::RefillLocations() { Refill(volLoc, g_.LocationsList); }

void TfrmProperties::Refresh() {
  if (!lib_) return;
  lib_->RecountTotals();
  if (libraryFilled_) ShowCounts();
}

void TfrmProperties::AddTags() {
  std::vector<std::string> captions;
  TTagInfo::TagCaptions(g_.TagsList.Items(), captions);
  QStringList names;
  for (const std::string& caption : captions) names << Q(caption);
  QStringList checked;
  if (!pickList_->Pick(names, checked)) return;
  for (const QString& caption : checked) {
    bool present = false;
    for (int row = 0; row < vle->rowCount() && !present; ++row) present = vle->item(row, 0)->text() == caption;
    if (present) continue;
    const int row = vle->rowCount();
    vle->insertRow(row);
    auto* key = new QTableWidgetItem(caption);
    key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    vle->setItem(row, 0, key);
    vle->setItem(row, 1, new QTableWidgetItem(QString()));
  }
}

void TfrmProperties::DeleteTag() {
  const int row = vle->currentRow();
  if (row >= 0 && row < vle->rowCount()) vle->removeRow(row);
}

std::vector<std::string> TfrmProperties::GridTags() const {
  std::vector<std::string> display;
  for (int row = 0; row < vle->rowCount(); ++row)
    display.push_back(S(vle->item(row, 0)->text()) + "=" + S(vle->item(row, 1) ? vle->item(row, 1)->text() : QString()));
  std::vector<std::string> tags;
  TTagInfo::CaptionsToTags(display, tags, g_.TagsList.Items());
  // A row that came from a tag keeps that tag's name, also when its
  // caption is missing from the tag list or shared by another tag; a row
  // whose caption names no tag is left out.
  std::vector<std::string> named;
  for (int row = 0; row < vle->rowCount(); ++row) {
    std::string& line = tags[static_cast<size_t>(row)];
    const std::string kept = S(vle->item(row, 0)->data(kTagNameRole).toString());
    if (!kept.empty()) line = kept + line.substr(line.find('='));
    if (line.find('=') > 0) named.push_back(line);
  }
  return named;
}

// --- closing and applying ---

void TfrmProperties::showEvent(QShowEvent* event) {
  RestoreDialogPlacement(*this, g_.Registry());
  QDialog::showEvent(event);
}

void TfrmProperties::done(int result) {
  SaveDialogPlacement(*this, g_.Registry());
  // The workers read the records the changes below write.
  StopSizeWorkers();
  if (result == QDialog::Accepted && lib_) Apply();
  QDialog::done(result);
}

void TfrmProperties::Apply() {
  changed_ = false;
  const std::vector<std::string> tags = GridTags();
  TLibObj& lib = *lib_;
  // A page shown without being editable changes nothing.
  if (libraryFilled_ && pages_[pgLibrary]->isEnabled()) {
    const std::string comments = S(libCom->text()), category = S(LibCat->currentText());
    if (lib.Comments != comments || lib.Category != category) changed_ = true;
    if (Marked(libCom)) lib.Comments = comments;
    if (Marked(LibCat)) lib.Category = category;
  }
  if (!selection_.Items.empty()) ApplyFiles(tags);
  if (!selection_.Nodes.empty() && pages_[pgFolder]->isEnabled()) ApplyFolders();
  if (volume_ && pages_[pgVolume]->isEnabled()) ApplyVolume();
}

namespace {

// The comments and category of a record from the fields that were changed;
// true when the record differed from the fields.
template <class R>
bool Take(R& record, const std::string& comments, bool commentsMarked, const std::string& category,
          bool categoryMarked) {
  const bool differs = record.Comments != comments || record.Category != category;
  if (commentsMarked) record.Comments = comments;
  if (categoryMarked) record.Category = category;
  return differs;
}

// Tells the views about every record of the branch below `node`.
void ReportBranch(TLibObj& lib, TFolderNode* node) {
  const TFolderNode* end = node->GetNextSkippingChildren();
  for (TFolderNode* n = node; n != end; n = n->GetNext()) {
    if (n != node) lib.ReportFolderChanged(n);
    for (const auto& item : n->Data()->Items) lib.ReportItemChanged(item.get());
  }
}

}  // namespace

void TfrmProperties::ApplyFiles(const std::vector<std::string>& tags) {
  TLibObj& lib = *lib_;
  const std::string comments = S(filecom->text()), category = S(filecat->currentText());
  const bool commentsMarked = Marked(filecom), categoryMarked = Marked(filecat);
  for (TLibFolderItem* item : selection_.Items) {
    if (item->IsFolder && item->Folder && item->Folder->Node) {
      TFolderNode* found = lib.FindFolderNode(TLibObj::RootOf(item->Folder->Node), item->GetItemPath() + "\\");
      if (found) {
        changed_ = Take(*found->Data(), comments, commentsMarked, category, categoryMarked) || changed_;
        lib.ReportFolderChanged(found);
      }
    }
    changed_ = Take(*item, comments, commentsMarked, category, categoryMarked) || changed_;
    // An edited tag is a change the library must be saved for.
    const std::vector<std::string> before = item->TagInfo.Tags;
    TTagInfo::ApplyTags(tags, item->TagInfo.Tags);
    if (item->TagInfo.Tags != before) changed_ = true;
    lib.ReportItemChanged(item);
  }
}

void TfrmProperties::ApplyFolders() {
  TLibObj& lib = *lib_;
  const std::string comments = S(catcom->text()), category = S(catcat->currentText());
  const bool commentsMarked = Marked(catcom), categoryMarked = Marked(catcat);
  for (TFolderNode* node : selection_.Nodes) {
    TLibFolder* folder = node->Data();
    changed_ = Take(*folder, comments, commentsMarked, category, categoryMarked) || changed_;
    lib.ReportFolderChanged(node);
    if (cb_rec_fol->isChecked()) {
      folder->PropagateToChildren(cb_rec_folow->isChecked());
      ReportBranch(lib, node);
    }
    if (folder->Parent)
      if (TLibFolderItem* entry = folder->Parent->Items.Find(folder->Name)) {
        Take(*entry, comments, commentsMarked, category, categoryMarked);
        lib.ReportItemChanged(entry);
      }
  }
}

void TfrmProperties::ApplyVolume() {
  TLibObj& lib = *lib_;
  TLibFolder* volume = volume_->Data();
  const std::string caption = S(volCaption->text());
  const bool renamed = volume_->Text != caption;
  volume_->Text = caption;
  const std::string location = S(volLoc->currentText()), drive = S(volDrive->text());
  const std::string comments = S(volcom->text()), category = S(volCat->currentText());
  if (volume->Name != caption || volume->Location != location || volume->SourcePath != drive) changed_ = true;
  changed_ = Take(*volume, comments, Marked(volcom), category, Marked(volCat)) || changed_;
  if (Marked(volCaption)) volume->Name = caption;
  if (Marked(volLoc)) volume->Location = location;
  if (Marked(volDrive)) volume->SourcePath = drive;
  lib.ReportFolderChanged(volume_);
  if (cb_rec_vol->isChecked()) {
    volume->PropagateToChildren(cb_rec_volow->isChecked());
    ReportBranch(lib, volume_);
  }
  // A caption change sorts the volumes by caption, whatever the option says.
  if (renamed) lib.SortVolumes();
}

}  // namespace tw
