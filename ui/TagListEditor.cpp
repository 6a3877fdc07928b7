#include "ui/TagListEditor.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Messages.h"
#include "base/StringList.h"
#include "state/Globals.h"
#include "state/WordLists.h"
#include "ui/DialogPlacement.h"
#include "ui/Text.h"

namespace tw {

TfrmTags::TfrmTags(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName(QStringLiteral("frmTags"));
  setWindowTitle(QStringLiteral("Tags"));
  setSizeGripEnabled(true);

  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("tbTags"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addAction(QStringLiteral("Load"), this, [this] { LoadClicked(); })->setObjectName(QStringLiteral("tbLoad"));
  bar->addAction(QStringLiteral("Save"), this, [this] { SaveClicked(); })->setObjectName(QStringLiteral("tbSave"));
  QAction* add = bar->addAction(QStringLiteral("Add"), this, [this] { AddKey(); });
  add->setObjectName(QStringLiteral("tbAdd"));
  add->setShortcut(Qt::Key_F3);
  add->setShortcutContext(Qt::WindowShortcut);
  QAction* del = bar->addAction(QStringLiteral("Delete"), this, [this] { DeleteRow(); });
  del->setObjectName(QStringLiteral("tbDelete"));
  del->setShortcut(Qt::Key_F4);
  del->setShortcutContext(Qt::WindowShortcut);
  // The help has no page to show.
  QAction* barHelp = bar->addAction(QStringLiteral("Help"));
  barHelp->setObjectName(QStringLiteral("tbHelp"));
  barHelp->setEnabled(false);
  // Actions reach their keys only when a widget of the window holds them.
  addAction(add);
  addAction(del);

  vle = new QTableWidget(0, 2, this);
  vle->setObjectName(QStringLiteral("vle"));
  vle->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Caption")});
  vle->verticalHeader()->hide();
  vle->verticalHeader()->setDefaultSectionSize(vle->fontMetrics().height() + 6);
  vle->horizontalHeader()->setStretchLastSection(true);
  vle->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
  vle->setSelectionMode(QAbstractItemView::SingleSelection);
  vle->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);

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
  layout->addWidget(bar);
  layout->addWidget(vle, 1);
  layout->addWidget(buttons);
  resize(420, 380);
}

bool TfrmTags::Edit(TSortedStrings& list) {
  SetLines(list.Items());
  RestoreDialogPlacement(*this, g_.Registry());
  vle->setFocus();
  editing_ = &list;
  const bool ok = exec() == QDialog::Accepted;
  editing_ = nullptr;
  return ok;
}

void TfrmTags::AppendRow(const QString& key, const QString& caption) {
  const int row = vle->rowCount();
  vle->insertRow(row);
  auto* keyItem = new QTableWidgetItem(key);
  // Names are added and deleted, never edited.
  keyItem->setFlags(keyItem->flags() & ~Qt::ItemIsEditable);
  vle->setItem(row, 0, keyItem);
  vle->setItem(row, 1, new QTableWidgetItem(caption));
}

void TfrmTags::SetLines(const std::vector<std::string>& lines) {
  vle->setRowCount(0);
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    const std::string key = line.substr(0, eq);
    const std::string caption = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    AppendRow(Q(key), Q(caption));
  }
  if (vle->rowCount() > 0) vle->setCurrentCell(0, 1);
  // Wide enough for the names and captions, within reason.
  vle->resizeColumnToContents(0);
  vle->resizeColumnToContents(1);
  const int width = 2 * vle->frameWidth() + 2 * vle->fontMetrics().averageCharWidth() +
                    vle->verticalScrollBar()->sizeHint().width() + vle->columnWidth(0) +
                    vle->columnWidth(1);
  vle->setMinimumWidth(std::min(width, 80 * vle->fontMetrics().averageCharWidth()));
}

std::vector<std::string> TfrmTags::Lines() const {
  std::vector<std::string> lines;
  for (int row = 0; row < vle->rowCount(); ++row) {
    const QTableWidgetItem* caption = vle->item(row, 1);
    lines.push_back(S(vle->item(row, 0)->text()) + "=" + (caption ? S(caption->text()) : std::string()));
  }
  return lines;
}

void TfrmTags::AddKey() {
  bool ok = false;
  const QString key = QInputDialog::getText(this, QStringLiteral("Add"), vle->horizontalHeaderItem(0)->text(),
                                            QLineEdit::Normal, {}, &ok);
  if (!ok || key.isEmpty()) return;
  AppendRow(key, key);
  vle->setCurrentCell(vle->rowCount() - 1, 1);
}

void TfrmTags::DeleteRow() {
  const int row = vle->currentRow();
  if (row >= 0 && row < vle->rowCount()) vle->removeRow(row);
}

void TfrmTags::LoadClicked() {
  const QString file = QFileDialog::getOpenFileName(this, windowTitle());
  if (file.isEmpty()) return;
  try {
    SetLines(ReadListFile(S(file)));
  } catch (const std::exception& e) {
    g_.Host().ShowMessage(TextOf(e, g_.Messages()), TMsgKind::Error);
  }
}

void TfrmTags::SaveClicked() {
  // The save dialog asks before it replaces a file.
  const QString file = QFileDialog::getSaveFileName(this, windowTitle());
  if (file.isEmpty()) return;
  try {
    WriteListFile(S(file), Lines());
  } catch (const std::exception& e) {
    g_.Host().ShowMessage(TextOf(e, g_.Messages()), TMsgKind::Error);
  }
}

bool TfrmTags::BuildList(TSortedStrings& out) {
  const std::vector<std::string> lines = Lines();
  for (size_t row = 0; row < lines.size(); ++row) {
    try {
      out.Add(lines[row]);
    } catch (const std::exception& e) {
      vle->setCurrentCell(static_cast<int>(row), 1);
      g_.Host().ShowMessage(TextOf(e, g_.Messages()) + ": " + lines[row], TMsgKind::Error);
      return false;
    }
  }
  return true;
}

void TfrmTags::done(int result) {
  if (result == QDialog::Accepted && editing_) {
    // The whole table or nothing: a refused line must not leave the list
    // cut short at that line.
    TSortedStrings edited(TDuplicates::Error);
    if (!BuildList(edited)) return;
    *editing_ = std::move(edited);
  }
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
