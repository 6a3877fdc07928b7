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

TFieldDialogFrame BuildFieldDialog(QDialog* dialog, const QString& fileCaption, const char* browseIcon,
                                   const QString& listName, const std::vector<std::pair<std::string, bool>>& fields,
                                   QLayout* options, const std::function<void()>& browse) {
  TFieldDialogFrame f;
  auto* layout = new QVBoxLayout(dialog);
  auto* fileRow = new QHBoxLayout;
  f.File = new QLineEdit(dialog);
  f.File->setObjectName("edfile");
  f.Browse = new QToolButton(dialog);
  f.Browse->setObjectName("btnBrowse");
  f.Browse->setToolTip("Browse (F4)");
  f.Browse->setText("Browse (F4)");
  f.Browse->setIcon(QIcon::fromTheme(QString::fromLatin1(browseIcon), TPictures::Drawn("folder-open")));
  auto* fileLabel = new QLabel(fileCaption, dialog);
  fileLabel->setObjectName("lblFile");
  fileLabel->setBuddy(f.File);
  fileRow->addWidget(f.File, 1);
  fileRow->addWidget(f.Browse);
  layout->addWidget(fileLabel);
  layout->addLayout(fileRow);

  auto* middle = new QHBoxLayout;
  f.Fields = new QListWidget(dialog);
  f.Fields->setObjectName(listName);
  FillFieldList(f.Fields, fields);
  auto* moves = new QVBoxLayout;
  f.Up = new QPushButton("Move Up", dialog);
  f.Up->setObjectName("btnUp");
  f.Down = new QPushButton("Move Down", dialog);
  f.Down->setObjectName("btnDown");
  moves->addWidget(f.Up);
  moves->addWidget(f.Down);
  moves->addStretch(1);
  middle->addWidget(f.Fields, 1);
  middle->addLayout(moves);
  middle->addLayout(options);
  layout->addLayout(middle, 1);

  auto* buttons = new QHBoxLayout;
  f.OK = new QPushButton("OK", dialog);
  f.OK->setObjectName("OKBtn");
  f.OK->setDefault(true);
  f.Cancel = new QPushButton("Cancel", dialog);
  f.Cancel->setObjectName("CancelBtn");
  buttons->addStretch(1);
  buttons->addWidget(f.OK);
  buttons->addWidget(f.Cancel);
  layout->addLayout(buttons);

  // Keys move through the file row, the fields and the moves first, then
  // the options (made before the frame), then OK and Cancel.
  QWidget::setTabOrder(f.File, f.Browse);
  QWidget::setTabOrder(f.Browse, f.Fields);
  QWidget::setTabOrder(f.Fields, f.Up);
  QWidget::setTabOrder(f.Up, f.Down);
  QWidget* last = f.Down;
  for (QWidget* option : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (option->parentWidget() == dialog && option->focusPolicy() != Qt::NoFocus && option != f.File &&
        option != f.Browse && option != f.Fields && option != f.Up && option != f.Down && option != f.OK &&
        option != f.Cancel) {
      QWidget::setTabOrder(last, option);
      last = option;
    }
  QWidget::setTabOrder(last, f.OK);
  QWidget::setTabOrder(f.OK, f.Cancel);
  f.File->setFocus();

  QObject::connect(f.OK, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(f.Cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(f.Browse, &QToolButton::clicked, dialog, browse);
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_F4), dialog), &QShortcut::activated, dialog, browse);
  QListWidget* list = f.Fields;
  QObject::connect(f.Up, &QPushButton::clicked, dialog, [list] { MoveCurrentField(list, -1); });
  QObject::connect(f.Down, &QPushButton::clicked, dialog, [list] { MoveCurrentField(list, 1); });
  return f;
}

TfrmExport::TfrmExport(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName("frmExport");
  setWindowTitle(Q(g_.GetText("expCaptLib")));
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
  std::vector<std::pair<std::string, bool>> fields;
  for (const TExportField& f : DefaultExportFields()) fields.emplace_back(f.Name, f.Checked);
  const TFieldDialogFrame frame =
      BuildFieldDialog(this, "&Export filename:", "document-save-as", "lbFields", fields, form, [this] { Browse(); });
  edfile = frame.File;
  btnBrowse = frame.Browse;
  lbFields = frame.Fields;
  btnUp = frame.Up;
  btnDown = frame.Down;
  OKBtn = frame.OK;
  CancelBtn = frame.Cancel;
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
