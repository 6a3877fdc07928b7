#include "ui/OptionsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

#include "state/Globals.h"
#include "ui/DialogPlacement.h"
#include "ui/Text.h"

namespace tw {
namespace {

// A check box with the option it edits, in page order.
struct TCheckOption {
  int Page;
  const char* Name;
  const char* Caption;
  bool TGlobalData::*Option;
};

const std::array<TCheckOption, 23> kChecks = {{
    {0, "cbSave", "&Save Settings On Exit", &TGlobalData::SaveSettingsOnExit},
    {0, "cbOpen", "&Open Last Library", &TGlobalData::LoadLast},
    {0, "cbMulti", "&Allow Multiple Application Instances", &TGlobalData::MultiApps},
    {0, "cbAddLoc", "Add &Location to Globals", &TGlobalData::AddLocationsToGlobals},
    {0, "cbAddCat", "Add &Category to Globals", &TGlobalData::AddCategoriesToGlobals},
    {0, "cbAddTag", "Add &Tag to Globals", &TGlobalData::AddTagsToGlobals},
    {1, "cbSer", "&Check for duplicate Serials", &TGlobalData::CheckSerial},
    {1, "cbFoldersOnly", "&Folders Only", &TGlobalData::FoldersOnly},
    {2, "cbShow", "&Show Real File Icons", &TGlobalData::ShowIcons},
    {2, "cbSort", "&Alpha Sort Volumes", &TGlobalData::SortVolumes},
    {2, "cbDisableCtrls", "&Disable Visual Controls on Action", &TGlobalData::DisableControls},
    {2, "cb_msg", "&Beep After Long Operations", &TGlobalData::ActionEndBeep},
    {3, "cb_findLocate", "Focus Main Window on &Locate", &TGlobalData::LocateMain},
    {4, "cb_confDelfile", "Confirm &File Deletion", &TGlobalData::ConfirmDeleteFile},
    {4, "cb_confDelfolder", "Confirm F&older Deletion", &TGlobalData::ConfirmDeleteFolder},
    {4, "cb_confDelvol", "Confirm &Volume Deletion", &TGlobalData::ConfirmDeleteVolume},
    {4, "cb_confSave", "Confirm &Save Changes", &TGlobalData::ConfirmSaveChanges},
    {4, "cb_confExit", "Confirm &Exit", &TGlobalData::ConfirmExit},
    {4, "cb_confNew", "Confirm &New", &TGlobalData::ConfirmNew},
    {4, "cb_confRep", "Confirm &Replace ", &TGlobalData::ConfirmReplace},
    {4, "cb_confReload", "Confirm Re&load", &TGlobalData::ConfirmReload},
    {4, "cb_confClose", "Confirm &Close", &TGlobalData::ConfirmClose},
    {4, "cb_confDelCol", "Confirm &Collection Deletion", &TGlobalData::ConfirmDeleteCollection},
}};

// The text boxes by their browse numbers, with the option each edits.
struct TFileOption {
  const char* Edit;
  const char* Button;
  const char* Caption;
  std::string TGlobalData::*Option;
};

const std::array<TFileOption, 5> kFiles = {{
    {"edImg", "btnBrowse0", "Images File:", &TGlobalData::ImagesFile},
    {"edFav", "btnBrowse1", "F&avorites File", &TGlobalData::FavoritesFile},
    {"edLoc", "btnBrowse2", "&Locations File", &TGlobalData::LocationsFile},
    {"edCat", "btnBrowse3", "&Categories File", &TGlobalData::CategoriesFile},
    {"edTag", "btnBrowse4", "&Tags File", &TGlobalData::TagsFile},
}};

// The separator box's entries and the separators they stand for.
const std::array<std::pair<const char*, const char*>, 5> kSeparators = {{
    {";", ";"}, {",", ","}, {"-", "-"}, {"Tab", "\t"}, {"New Line", "\r\n"}}};

// Linux names are case-sensitive: both spellings of the extension, and
// every file (not only names with a dot) under "All Files".
const QString kTextFilter = QStringLiteral("Text Files (*.TXT *.txt);;All Files (*)");

}  // namespace

TfrmOptions::TfrmOptions(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));

  pcOptions = new QTabWidget(this);
  pcOptions->setObjectName(QStringLiteral("pcOptions"));
  // Every page's caption in full: the dialog is as wide as its tabs.
  pcOptions->setUsesScrollButtons(false);
  pcOptions->setElideMode(Qt::ElideNone);
  const std::array<std::pair<const char*, const char*>, 6> pages = {{{"tsGeneral", "&General"},
                                                                     {"tsNewVolumes", "New &Volumes"},
                                                                     {"tsView", "V&iew"},
                                                                     {"tsFind", "&Find"},
                                                                     {"tsConfirmations", "&Confirmations"},
                                                                     {"tsFiles", "&Files"}}};
  std::array<QVBoxLayout*, 6> columns{};
  for (size_t i = 0; i < pages.size(); ++i) {
    QWidget* page = BuildPage(QString::fromLatin1(pages[i].first), QString::fromLatin1(pages[i].second));
    columns[i] = static_cast<QVBoxLayout*>(page->layout());
  }
  for (const TCheckOption& check : kChecks) {
    auto* box = new QCheckBox(QString::fromLatin1(check.Caption), pcOptions->widget(check.Page));
    box->setObjectName(QString::fromLatin1(check.Name));
    columns[static_cast<size_t>(check.Page)]->addWidget(box);
  }

  auto browseButton = [this](int number, QWidget* page) {
    auto* button = new QToolButton(page);
    button->setObjectName(QString::fromLatin1(kFiles[static_cast<size_t>(number)].Button));
    button->setText(QStringLiteral("..."));
    button->setToolTip(QStringLiteral("Browse (F4)"));
    connect(button, &QToolButton::clicked, this, [this, number] {
      FileBox(number)->setFocus();
      Browse(number);
    });
    return button;
  };
  auto fileBox = [](int number, QWidget* page) {
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QString::fromLatin1(kFiles[static_cast<size_t>(number)].Edit));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 40);
    return edit;
  };

  // The view page's lists and the images file below its check boxes.
  QWidget* view = pcOptions->widget(2);
  auto* viewForm = new QGridLayout;
  cbK = new QComboBox(view);
  cbK->setObjectName(QStringLiteral("cbK"));
  cbK->addItems({QStringLiteral("Bytes"), QStringLiteral("KB"), QStringLiteral("MB")});
  auto* sizeLabel = new QLabel(QStringLiteral("&Filesize in:"), view);
  sizeLabel->setObjectName(QStringLiteral("lblK"));
  sizeLabel->setBuddy(cbK);
  cbSep = new QComboBox(view);
  cbSep->setObjectName(QStringLiteral("cbSep"));
  cbSep->setEditable(true);
  // Typed text stays as typed: no completion, no new entries.
  cbSep->setCompleter(nullptr);
  cbSep->setInsertPolicy(QComboBox::NoInsert);
  for (const auto& [caption, separator] : kSeparators) cbSep->addItem(QString::fromLatin1(caption));
  auto* sepLabel = new QLabel(QStringLiteral("&Comment New Line: "), view);
  sepLabel->setObjectName(QStringLiteral("lblSep"));
  sepLabel->setBuddy(cbSep);
  edImg = fileBox(0, view);
  auto* imgLabel = new QLabel(QString::fromLatin1(kFiles[0].Caption), view);
  imgLabel->setObjectName(QStringLiteral("lblImg"));
  imgLabel->setBuddy(edImg);
  viewForm->addWidget(sizeLabel, 0, 0);
  viewForm->addWidget(cbK, 0, 1);
  viewForm->addWidget(sepLabel, 1, 0);
  viewForm->addWidget(cbSep, 1, 1);
  viewForm->addWidget(imgLabel, 2, 0);
  auto* imgRow = new QHBoxLayout;
  imgRow->addWidget(edImg, 1);
  imgRow->addWidget(browseButton(0, view));
  viewForm->addLayout(imgRow, 2, 1);
  viewForm->setColumnStretch(1, 1);
  columns[2]->addLayout(viewForm);

  // The files page: a label above each text box and its browse button.
  QWidget* files = pcOptions->widget(5);
  std::array<QLineEdit*, 5> boxes{edImg};
  for (int number = 1; number < 5; ++number) {
    QLineEdit* edit = fileBox(number, files);
    auto* label = new QLabel(QString::fromLatin1(kFiles[static_cast<size_t>(number)].Caption), files);
    label->setObjectName(QStringLiteral("lbl") + edit->objectName().mid(2));
    label->setBuddy(edit);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(browseButton(number, files));
    columns[5]->addWidget(label);
    columns[5]->addLayout(row);
    boxes[static_cast<size_t>(number)] = edit;
  }
  edFav = boxes[1];
  edLoc = boxes[2];
  edCat = boxes[3];
  edTag = boxes[4];
  for (QVBoxLayout* column : columns) column->addStretch(1);

  auto* buttons = new QDialogButtonBox(this);
  OKBtn = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  // The help button has no page to show.
  HelpBtn = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  HelpBtn->setObjectName(QStringLiteral("HelpBtn"));
  HelpBtn->setEnabled(false);
  btnReset = buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
  btnReset->setObjectName(QStringLiteral("btnReset"));
  btnReset->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(btnReset, &QPushButton::clicked, this, [this] { ResetToDefaults(); });

  auto* f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
  f4->setContext(Qt::WindowShortcut);
  connect(f4, &QShortcut::activated, this, [this] { BrowseFocused(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pcOptions, 1);
  layout->addWidget(buttons);
}

QWidget* TfrmOptions::BuildPage(const QString& name, const QString& caption) {
  auto* page = new QWidget(pcOptions);
  page->setObjectName(name);
  new QVBoxLayout(page);
  pcOptions->addTab(page, caption);
  return page;
}

QLineEdit* TfrmOptions::FileBox(int number) const {
  switch (number) {
    case 0: return edImg;
    case 1: return edFav;
    case 2: return edLoc;
    case 3: return edCat;
    case 4: return edTag;
    default: return nullptr;
  }
}

int TfrmOptions::Run() {
  RestoreDialogPlacement(*this, g_.Registry());
  pcOptions->setCurrentIndex(0);
  LoadControls();
  OKBtn->setFocus();
  const int result = exec();
  if (result == QDialog::Accepted) StoreControls();
  return result;
}

int TfrmOptions::SeparatorEntry(const std::string& separator) {
  for (size_t i = 0; i < kSeparators.size(); ++i)
    if (separator == kSeparators[i].second) return static_cast<int>(i);
  return -1;
}

std::string TfrmOptions::EntrySeparator(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kSeparators.size())) return {};
  return kSeparators[static_cast<size_t>(entry)].second;
}

void TfrmOptions::LoadControls() {
  for (const TCheckOption& check : kChecks)
    findChild<QCheckBox*>(QString::fromLatin1(check.Name))->setChecked(g_.*check.Option);
  cbK->setCurrentIndex(g_.SizeUnit < cbK->count() ? g_.SizeUnit : 0);
  for (int number = 0; number < 5; ++number)
    FileBox(number)->setText(Q(g_.*kFiles[static_cast<size_t>(number)].Option));
  const int entry = SeparatorEntry(g_.NewLineSeparator);
  cbSep->setCurrentIndex(entry);
  if (entry < 0) cbSep->setEditText(Q(g_.NewLineSeparator));
}

void TfrmOptions::StoreControls() {
  for (const TCheckOption& check : kChecks)
    g_.*check.Option = findChild<QCheckBox*>(QString::fromLatin1(check.Name))->isChecked();
  g_.SizeUnit = static_cast<uint8_t>(std::max(cbK->currentIndex(), 0));
  for (int number = 1; number <= 4; ++number)
    g_.*kFiles[static_cast<size_t>(number)].Option = S(FileBox(number)->text());
  g_.ImagesFile = S(edImg->text());
  // An entry's caption stands for its separator; anything else was typed.
  const QString text = cbSep->currentText();
  const int entry = cbSep->findText(text, Qt::MatchExactly);
  g_.NewLineSeparator = entry >= 0 ? EntrySeparator(entry) : S(text);
}

void TfrmOptions::ResetToDefaults() {
  g_.SetDefaults();
  LoadControls();
}

void TfrmOptions::Browse(int number) {
  QLineEdit* box = FileBox(number);
  if (!box) return;
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(kTextFilter);
  const QString current = box->text();
  if (!current.isEmpty()) {
    const QFileInfo info(current);
    if (info.dir().exists()) dialog.setDirectory(info.dir());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  box->setText(dialog.selectedFiles().first());
}

void TfrmOptions::BrowseFocused() {
  QWidget* focus = QApplication::focusWidget();
  for (int number = 0; number < 5; ++number)
    if (focus && focus == FileBox(number)) {
      Browse(number);
      return;
    }
}

void TfrmOptions::done(int result) {
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
