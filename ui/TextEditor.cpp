#include "ui/DialogPlacement.h"
#include "ui/TextEditor.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/Error.h"
#include "base/RegUtils.h"
#include "base/TextUtils.h"
#include "state/WordLists.h"
#include "ui/Text.h"

namespace tw {
namespace {


}  // namespace

TTextEditor::TTextEditor(TRegStore& store, QWidget* parent) : QDialog(parent), store_(store) {
  setObjectName("frmTextEdit");
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QToolBar(this);
  bar->setObjectName("tbText");
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addAction("Load", this, [this] { LoadClicked(); })->setObjectName("tbLoad");
  bar->addAction("Save", this, [this] { SaveClicked(); })->setObjectName("tbSave");
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("Memo");
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  ok->setObjectName("OKBtn");
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("CancelBtn");
  // The help button has no page to show.
  QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
  help->setObjectName("HelpBtn");
  help->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(bar);
  layout->addWidget(memo_, 1);
  layout->addWidget(buttons);
  resize(420, 360);
}

bool TTextEditor::Edit(const QString& caption, std::vector<std::string>& lines) {
  setWindowTitle(caption);
  SetText(Q(JoinList(lines, "\n")));
  RestorePlacement();
  memo_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  lines = SplitLines(S(Text()));
  return true;
}

QString TTextEditor::Text() const { return memo_->toPlainText(); }
void TTextEditor::SetText(const QString& text) { memo_->setPlainText(text); }

void TTextEditor::LoadFile(const std::string& file) { SetText(Q(JoinList(ReadListFile(file), "\n"))); }

void TTextEditor::SaveFile(const std::string& file) const { WriteListFile(file, SplitLines(S(Text()))); }

void TTextEditor::LoadClicked() {
  const QString file = QFileDialog::getOpenFileName(this, windowTitle());
  if (file.isEmpty()) return;
  try {
    LoadFile(S(file));
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
  }
}

void TTextEditor::SaveClicked() {
  // The save dialog asks before it replaces a file.
  const QString file = QFileDialog::getSaveFileName(this, windowTitle());
  if (file.isEmpty()) return;
  try {
    SaveFile(S(file));
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
  }
}

void TTextEditor::RestorePlacement() { RestoreDialogPlacement(*this, store_); }

void TTextEditor::done(int result) {
  SaveDialogPlacement(*this, store_);
  QDialog::done(result);
}

}  // namespace tw
