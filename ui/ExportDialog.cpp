#include "ui/ExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QToolButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "base/RegUtils.h"
#include "state/Globals.h"
#include "ui/DialogPlacement.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {
namespace {

std::string RememberKey() { return std::string(kRegRoot) + "frmExport"; }

}  // namespace

void FillFieldList(QListWidget* list, const std::vector<std::pair<std::string, bool>>& fields) {
  const QSignalBlocker quiet(list);
  list->clear();
  for (const auto& [name, checked] : fields) {
    auto* item = new QListWidgetItem(Q(name), list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  }
}

std::vector<std::pair<std::string, bool>> FieldListState(const QListWidget* list) {
  std::vector<std::pair<std::string, bool>> fields;
  for (int i = 0; i < list->count(); ++i)
    fields.emplace_back(S(list->item(i)->text()), list->item(i)->checkState() == Qt::Checked);
  return fields;
}

void MoveCurrentField(QListWidget* list, int delta) {
  const int row = list->currentRow();
  const int to = row + delta;
  if (row < 0 || to < 0 || to >= list->count()) return;
  auto fields = FieldListState(list);
  std::swap(fields[static_cast<size_t>(row)], fields[static_cast<size_t>(to)]);
  FillFieldList(list, fields);
  list->setCurrentRow(to);
}

void ReadFieldList(TRegStore& store, const std::string& key, QListWidget* list) {
  // Each position defaults to the field the list shows there now.
  const auto shown = FieldListState(list);
  auto rest = shown;
  std::vector<std::pair<std::string, bool>> ordered;
  for (size_t i = 0; i < shown.size(); ++i) {
    const std::string at = key + "\\Fields\\" + std::to_string(i);
    const std::string name = store.ReadRegValue(at, "Name", shown[i].first);
    auto it = std::find_if(rest.begin(), rest.end(), [&](const auto& f) { return f.first == name; });
    if (it == rest.end()) continue;  // an unknown or repeated name keeps the field where it comes
    ordered.emplace_back(it->first, store.ReadRegValue(at, "Checked", it->second));
    rest.erase(it);
  }
  ordered.insert(ordered.end(), rest.begin(), rest.end());
  FillFieldList(list, ordered);
}

void WriteFieldList(TRegStore& store, const std::string& key, const QListWidget* list) {
  const auto fields = FieldListState(list);
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string at = key + "\\Fields\\" + std::to_string(i);
    store.WriteRegValue(at, "Name", fields[i].first);
    store.WriteRegValue(at, "Checked", fields[i].second);
  }
}

QComboBox* MakeSeparatorBox(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName("cbSep");
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems({kSepComma, kSepTab, kSepNewLine});
  box->setCurrentIndex(0);
  return box;
}

QComboBox* MakeQualifierBox(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName("cbTxtQ");
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems({"\"", "'"});
  box->setCurrentIndex(0);
  return box;
}

TfrmExport::TfrmExport(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName("frmExport");
  setWindowTitle(Q(g_.GetText("expCaptLib")));
  auto* layout = new QVBoxLayout(this);

  auto* fileRow = new QHBoxLayout;
  edfile = new QLineEdit(this);
  edfile->setObjectName("edfile");
  btnBrowse = new QToolButton(this);
  btnBrowse->setObjectName("btnBrowse");
  btnBrowse->setToolTip("Browse (F4)");
  btnBrowse->setText("Browse (F4)");
  btnBrowse->setIcon(QIcon::fromTheme("document-save-as", TPictures::Drawn("folder-open")));
  auto* fileLabel = new QLabel("&Export filename:", this);
  fileLabel->setObjectName("lblFile");
  fileLabel->setBuddy(edfile);
  fileRow->addWidget(edfile, 1);
  fileRow->addWidget(btnBrowse);
  layout->addWidget(fileLabel);
  layout->addLayout(fileRow);

  auto* middle = new QHBoxLayout;
  lbFields = new QListWidget(this);
  lbFields->setObjectName("lbFields");
  std::vector<std::pair<std::string, bool>> fields;
  for (const TExportField& f : DefaultExportFields()) fields.emplace_back(f.Name, f.Checked);
  FillFieldList(lbFields, fields);
  auto* moves = new QVBoxLayout;
  btnUp = new QPushButton("Move Up", this);
  btnUp->setObjectName("btnUp");
  btnDown = new QPushButton("Move Down", this);
  btnDown->setObjectName("btnDown");
  moves->addWidget(btnUp);
  moves->addWidget(btnDown);
  moves->addStretch(1);
  middle->addWidget(lbFields, 1);
  middle->addLayout(moves);

  auto* form = new QFormLayout;
  cbSep = MakeSeparatorBox(this);
  form->addRow("&Separator:", cbSep);
  cbTxtQ = MakeQualifierBox(this);
  form->addRow("&Text qualifier:", cbTxtQ);
  cbK = new QComboBox(this);
  cbK->setObjectName("cbK");
  cbK->addItems({"Bytes", "KB", "MB"});
  form->addRow("Si&ze in:", cbK);
  cbLev = new QCheckBox("&Level:", this);
  cbLev->setObjectName("cbLev");
  seLev = new QSpinBox(this);
  seLev->setObjectName("seLev");
  seLev->setRange(1, 999);
  seLev->setValue(1);
  form->addRow(cbLev, seLev);
  cbIndent = new QCheckBox("&Indent subitems", this);
  cbIndent->setObjectName("cbIndent");
  form->addRow(cbIndent);
  cbFolders = new QCheckBox("E&xport Folders as line", this);
  cbFolders->setObjectName("cbFolders");
  form->addRow(cbFolders);
  cbFldProp = new QCheckBox("Show &Total Properties", this);
  cbFldProp->setObjectName("cbFldProp");
  cbOnlyFld = new QCheckBox("&Only Foders", this);
  cbOnlyFld->setObjectName("cbOnlyFld");
  // The two folder options sit below the switch that enables them.
  auto* folderOptions = new QVBoxLayout;
  folderOptions->setContentsMargins(style()->pixelMetric(QStyle::PM_IndicatorWidth), 0, 0, 0);
  folderOptions->addWidget(cbFldProp);
  folderOptions->addWidget(cbOnlyFld);
  form->addRow(folderOptions);
  cbArch = new QCheckBox("&Archives contents", this);
  cbArch->setObjectName("cbArch");
  form->addRow(cbArch);
  middle->addLayout(form);
  layout->addLayout(middle, 1);

  auto* buttons = new QHBoxLayout;
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnBrowse, &QToolButton::clicked, this, [this] { Browse(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F4), this), &QShortcut::activated, this, [this] { Browse(); });
  connect(btnUp, &QPushButton::clicked, this, [this] { MoveCurrentField(lbFields, -1); });
  connect(btnDown, &QPushButton::clicked, this, [this] { MoveCurrentField(lbFields, 1); });
  connect(edfile, &QLineEdit::textChanged, this, [this] { FollowControls(); });
  connect(cbFolders, &QCheckBox::toggled, this, [this] { FollowControls(); });
  FollowControls();
}

void TfrmExport::FollowControls() {
  OKBtn->setEnabled(!edfile->text().isEmpty());
  cbFldProp->setEnabled(cbFolders->isChecked());
  cbOnlyFld->setEnabled(cbFolders->isChecked());
}

int TfrmExport::Run(TExportSource source) {
  static const char* const captions[] = {"expCaptLib", "expCaptVol", "expCaptRes"};
  setWindowTitle(Q(g_.GetText(captions[source])));
  RestoreDialogPlacement(*this, g_.Registry());
  ReadRemembered();
  edfile->setFocus();
  return exec();
}

void TfrmExport::Browse() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter("All Files (*)");
  dialog.setDefaultSuffix("TWS");
  if (!edfile->text().isEmpty()) dialog.selectFile(edfile->text());
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    edfile->setText(dialog.selectedFiles().constFirst());
}

TExportOptions TfrmExport::Options() const {
  TExportOptions o;
  o.FileName = S(edfile->text());
  o.Fields.clear();
  for (const auto& [name, checked] : FieldListState(lbFields)) o.Fields.push_back({name, checked});
  o.Separator = S(cbSep->currentText());
  o.TextQualifier = S(cbTxtQ->currentText());
  o.SizeUnit = cbK->currentIndex();
  o.UseLevels = cbLev->isChecked();
  o.Levels = seLev->value();
  o.Indent = cbIndent->isChecked();
  o.Folders = cbFolders->isChecked();
  o.FolderTotals = cbFldProp->isChecked();
  o.OnlyFolders = cbOnlyFld->isChecked();
  o.Archives = cbArch->isChecked();
  return o;
}

void TfrmExport::ReadRemembered() {
  TRegStore& store = g_.Registry();
  const std::string key = RememberKey();
  edfile->setText(Q(store.ReadRegValue(key, "File", S(edfile->text()))));
  cbSep->setEditText(Q(store.ReadRegValue(key, "Separator", S(cbSep->currentText()))));
  cbTxtQ->setEditText(Q(store.ReadRegValue(key, "Txt Separator", S(cbTxtQ->currentText()))));
  const int32_t unit = store.ReadRegValue(key, "Size", static_cast<int32_t>(cbK->currentIndex()));
  if (unit >= 0 && unit < cbK->count()) cbK->setCurrentIndex(unit);
  cbLev->setChecked(store.ReadRegValue(key, "Levels Use", cbLev->isChecked()));
  seLev->setValue(store.ReadRegValue(key, "Levels", static_cast<int32_t>(seLev->value())));
  cbArch->setChecked(store.ReadRegValue(key, "Archives as file", cbArch->isChecked()));
  cbFolders->setChecked(store.ReadRegValue(key, "Folders", cbFolders->isChecked()));
  cbOnlyFld->setChecked(store.ReadRegValue(key, "Folders Only", cbOnlyFld->isChecked()));
  cbFldProp->setChecked(store.ReadRegValue(key, "Folders Totals", cbFldProp->isChecked()));
  cbIndent->setChecked(store.ReadRegValue(key, "Indent", cbIndent->isChecked()));
  ReadFieldList(store, key, lbFields);
  FollowControls();
}

void TfrmExport::WriteRemembered() {
  TRegStore& store = g_.Registry();
  const TRegStore::TBatch batch(store);
  const std::string key = RememberKey();
  store.WriteRegValue(key, "File", S(edfile->text()));
  store.WriteRegValue(key, "Separator", S(cbSep->currentText()));
  store.WriteRegValue(key, "Txt Separator", S(cbTxtQ->currentText()));
  store.WriteRegValue(key, "Size", static_cast<int32_t>(cbK->currentIndex()));
  store.WriteRegValue(key, "Levels Use", cbLev->isChecked());
  store.WriteRegValue(key, "Levels", static_cast<int32_t>(seLev->value()));
  store.WriteRegValue(key, "Archives as file", cbArch->isChecked());
  store.WriteRegValue(key, "Folders", cbFolders->isChecked());
  store.WriteRegValue(key, "Folders Only", cbOnlyFld->isChecked());
  store.WriteRegValue(key, "Folders Totals", cbFldProp->isChecked());
  store.WriteRegValue(key, "Indent", cbIndent->isChecked());
  WriteFieldList(store, key, lbFields);
}

void TfrmExport::done(int result) {
  WriteRemembered();
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
