#include "ui/ExtensionEditor.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/Text.h"

namespace tw {

// --- the extension editor ---

TExtensionEditor::TExtensionEditor(QWidget* parent) : QDialog(parent) {
  setObjectName("frmFileExtProp");
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QToolBar(this);
  bar->setObjectName("tbExt");
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* add = bar->addAction("Add", this, [this] { AddExtension(); });
  add->setObjectName("tbAdd");
  add->setShortcut(Qt::Key_F3);
  add->setShortcutContext(Qt::WindowShortcut);
  QAction* del = bar->addAction("Delete", this, [this] { DeleteExtension(); });
  del->setObjectName("tbDelete");
  del->setShortcut(Qt::Key_F4);
  del->setShortcutContext(Qt::WindowShortcut);
  // Actions reach their keys only when a widget of the window holds them.
  addAction(add);
  addAction(del);
  list_ = new QListWidget(this);
  list_->setObjectName("lb_FileExt");
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("CancelBtn");
  // The help button has no page to show.
  QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
  help->setObjectName("HelpBtn");
  help->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(bar);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
}

bool TExtensionEditor::Edit(const QString& caption, std::vector<std::string>& extensions) {
  setWindowTitle(caption);
  list_->clear();
  for (const std::string& ext : extensions) list_->addItem(Q(ext));
  if (list_->count() > 0) list_->setCurrentRow(0);
  if (exec() != QDialog::Accepted) return false;
  extensions.clear();
  for (const QString& ext : Extensions()) extensions.push_back(S(ext));
  return true;
}

void TExtensionEditor::AddExtension() {
  bool ok = false;
  QString text = QInputDialog::getText(this, windowTitle(), windowTitle(), QLineEdit::Normal, {}, &ok);
  if (!ok || text.isEmpty()) return;
  if (!text.startsWith('.')) text.prepend('.');
  list_->addItem(text.toUpper());
  list_->setCurrentRow(list_->count() - 1);
}

void TExtensionEditor::DeleteExtension() {
  const int row = list_->currentRow();
  if (row < 0 || list_->count() <= 1) return;
  delete list_->takeItem(row);
}

QStringList TExtensionEditor::Extensions() const {
  QStringList texts;
  for (int i = 0; i < list_->count(); ++i) texts << list_->item(i)->text();
  return texts;
}

// --- the handler list ---

THandlerListView::THandlerListView(THandlerList& handlers, QWidget* parent) : QTreeWidget(parent), handlers_(handlers) {
  setObjectName("lv_Ext");
  setColumnCount(3);
  setHeaderLabels({"Handler", "Description", "File Extensions"});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemChanged, this, &THandlerListView::RowChanged);
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { EditRow(indexOfTopLevelItem(item)); });
}

void THandlerListView::Fill() {
  filling_ = true;
  clear();
  handlers_.LoadView(rows_);
  for (const THandlerRow& row : rows_) {
    auto* item = new QTreeWidgetItem(this, {Q(row.Caption), Q(row.Description), Q(row.ExtensionsText)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, row.Checked ? Qt::Checked : Qt::Unchecked);
    const QString tip = Q(handlers_.GetInfoTip(row, {}));
    for (int c = 0; c < 3; ++c) item->setToolTip(c, tip);
  }
  for (int c = 0; c < 2; ++c) resizeColumnToContents(c);
  filling_ = false;
}

void THandlerListView::RowChanged(QTreeWidgetItem* item, int column) {
  const int row = indexOfTopLevelItem(item);
  if (filling_ || column != 0 || row < 0 || row >= static_cast<int>(rows_.size())) return;
  THandlerRow& r = rows_[static_cast<size_t>(row)];
  const bool checked = item->checkState(0) == Qt::Checked;
  if (r.Checked == checked) return;
  r.Checked = checked;
  handlers_.Check(r);
}

void THandlerListView::EditRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  THandlerRow& r = rows_[static_cast<size_t>(row)];
  const TExtEditor editor = [this](const std::string& caption, std::vector<std::string>& extensions) {
    return Editor().Edit(Q(caption), extensions);
  };
  if (handlers_.EditExt(r, editor)) {
    filling_ = true;
    topLevelItem(row)->setText(2, Q(r.ExtensionsText));
    filling_ = false;
  }
}

TExtensionEditor& THandlerListView::Editor() {
  if (!editor_) editor_ = new TExtensionEditor(this);
  return *editor_;
}

}  // namespace tw
