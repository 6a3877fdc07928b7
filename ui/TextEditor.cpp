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

std::string PlacementKey() { return std::string(kRegRoot) + "Pos\\frmTextEdit"; }

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

void TTextEditor::RestorePlacement() {
  TPlacement p;
  if (!store_.ReadPlacement(PlacementKey(), p)) return;
  const int width = p.NormPosRight - p.NormPosLeft;
  const int height = p.NormPosBottom - p.NormPosTop;
  if (width > 0 && height > 0) setGeometry(p.NormPosLeft, p.NormPosTop, width, height);
}

void TTextEditor::done(int result) {
  const QRect r = geometry();
  TPlacement p;
  p.ShowCmd = 1;
  p.MinPosX = p.MinPosY = p.MaxPosX = p.MaxPosY = -1;
  p.NormPosLeft = r.left();
  p.NormPosTop = r.top();
  p.NormPosRight = r.left() + r.width();
  p.NormPosBottom = r.top() + r.height();
  store_.WritePlacement(PlacementKey(), p);
  QDialog::done(result);
}

}  // namespace tw
