#include "ui/ImportDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/RegUtils.h"
#include "state/Globals.h"
#include "ui/DialogPlacement.h"
#include "ui/ExportDialog.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {
namespace {

std::string RememberKey() { return std::string(kRegRoot) + "frmImport"; }

// The columns every line needs to be recorded at all.
bool Required(const QString& name) { return name == "Volume" || name == "Path" || name == "Name"; }

}  // namespace

TfrmImport::TfrmImport(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName("frmImport");
  setWindowTitle("Import");
  auto* form = new QFormLayout;
  cbSep = MakeSeparatorBox(this);
  form->addRow("&Separator:", cbSep);
  cbTxtQ = MakeQualifierBox(this);
  form->addRow("&Text qualifier:", cbTxtQ);
  cbK = new QComboBox(this);
  cbK->setObjectName("cbK");
  cbK->addItems({"Bytes", "KB", "MB"});
  // Sizes are always read as bytes.
  cbK->setEnabled(false);
  form->addRow("Si&ze in:", cbK);
  std::vector<std::pair<std::string, bool>> fields;
  for (const TImportField& f : TImportOptions::DefaultImportFields()) fields.emplace_back(f.Name, f.Checked);
  const TFieldDialogFrame frame =
      BuildFieldDialog(this, "&Import filename:", "document-open", "lb", fields, form, [this] { Browse(); });
  edfile = frame.File;
  btnBrowse = frame.Browse;
  lb = frame.Fields;
  btnUp = frame.Up;
  btnDown = frame.Down;
  OKBtn = frame.OK;
  CancelBtn = frame.Cancel;
  connect(lb, &QListWidget::itemChanged, this, [this] { KeepRequiredChecked(); });
  connect(edfile, &QLineEdit::textChanged, this, [this] { OKBtn->setEnabled(!edfile->text().isEmpty()); });
  KeepRequiredChecked();
  OKBtn->setEnabled(false);
}

void TfrmImport::KeepRequiredChecked() {
  const QSignalBlocker quiet(lb);
  for (int i = 0; i < lb->count(); ++i)
    if (Required(lb->item(i)->text())) lb->item(i)->setCheckState(Qt::Checked);
}

int TfrmImport::Run() {
  RestoreDialogPlacement(*this, g_.Registry());
  ReadRemembered();
  edfile->setFocus();
  return exec();
}

void TfrmImport::Browse() {
  const QString file = QFileDialog::getOpenFileName(this, {}, edfile->text(), "All Files (*)");
  if (!file.isEmpty()) edfile->setText(file);
}

TImportOptions TfrmImport::Options() const {
  TImportOptions o;
  o.FileName = S(edfile->text());
  o.Fields.clear();
  for (const auto& [name, checked] : FieldListState(lb)) o.Fields.push_back({name, checked});
  o.Separator = S(cbSep->currentText());
  o.TextQualifier = S(cbTxtQ->currentText());
  o.SizeUnit = cbK->currentIndex();
  return o;
}

void TfrmImport::ReadRemembered() {
  TRegStore& store = g_.Registry();
  const std::string key = RememberKey();
  edfile->setText(Q(store.ReadRegValue(key, "File", S(edfile->text()))));
  cbSep->setEditText(Q(store.ReadRegValue(key, "Separator", S(cbSep->currentText()))));
  cbTxtQ->setEditText(Q(store.ReadRegValue(key, "Txt Separator", S(cbTxtQ->currentText()))));
  const int32_t unit = store.ReadRegValue(key, "Size", static_cast<int32_t>(cbK->currentIndex()));
  if (unit >= 0 && unit < cbK->count()) cbK->setCurrentIndex(unit);
  ReadFieldList(store, key, lb);
  KeepRequiredChecked();
  OKBtn->setEnabled(!edfile->text().isEmpty());
}

void TfrmImport::WriteRemembered() {
  TRegStore& store = g_.Registry();
  const TRegStore::TBatch batch(store);
  const std::string key = RememberKey();
  store.WriteRegValue(key, "File", S(edfile->text()));
  store.WriteRegValue(key, "Separator", S(cbSep->currentText()));
  store.WriteRegValue(key, "Txt Separator", S(cbTxtQ->currentText()));
  store.WriteRegValue(key, "Size", static_cast<int32_t>(cbK->currentIndex()));
  WriteFieldList(store, key, lb);
}

void TfrmImport::done(int result) {
  WriteRemembered();
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
