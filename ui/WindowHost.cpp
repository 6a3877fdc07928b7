#include "ui/WindowHost.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTreeView>
#include <QStackedWidget>

#include "ui/MainWindow.h"
#include "ui/Text.h"

namespace tw {

TWindowHost::TWindowHost() {
  // The messages pane takes its lines in batches.
  logTimer_.setSingleShot(true);
  logTimer_.setInterval(50);
  QObject::connect(&logTimer_, &QTimer::timeout, [this] { FlushLog(); });
}

void TWindowHost::Attach(TMainWindow* window) { window_ = window; }

void TWindowHost::ShowProgress(bool visible) {
  if (window_) window_->infoPan->setVisible(visible);
}

void TWindowHost::SetProgressCaption(const std::string& caption) {
  if (window_) window_->lblPB->setText(Q(caption));
}

void TWindowHost::SetProgressRange(int32_t maximum) {
  if (window_) window_->pb->setRange(0, maximum > 0 ? maximum : 0);
}

void TWindowHost::SetProgressPosition(int32_t position) {
  if (window_ && window_->pb->maximum() > 0) window_->pb->setValue(std::min(position, window_->pb->maximum()));
}

namespace {
TBar* BarOf(TMainWindow* w, TStatusBar bar) {
  switch (bar) {
    case TStatusBar::Main: return w->sb_main;
    case TStatusBar::Volumes: return w->sb_tree;
    case TStatusBar::Collections: return w->sb_colL;
  }
  return nullptr;
}
}  // namespace

void TWindowHost::SetStatusText(TStatusBar bar, int panel, const std::string& text) {
  if (!window_) return;
  if (TBar* b = BarOf(window_, bar)) b->SetText(panel, Q(text));
}

std::string TWindowHost::StatusText(TStatusBar bar, int panel) const {
  if (!window_) return {};
  TBar* b = BarOf(window_, bar);
  return b ? S(b->Text(panel)) : std::string();
}

void TWindowHost::AppendLog(const std::string& line) {
  pendingLog_.append(Q(line));
  if (!logTimer_.isActive()) logTimer_.start();
}

void TWindowHost::FlushLog() {
  if (!window_ || pendingLog_.isEmpty()) return;
  window_->msgs->appendPlainText(pendingLog_.join(QLatin1Char('\n')));
  pendingLog_.clear();
  QScrollBar* bar = window_->msgs->verticalScrollBar();
  bar->setValue(bar->maximum());
}

TMsgAnswer TWindowHost::Ask(const std::string& text, TMsgButtons buttons, TMsgKind kind) {
  FlushLog();
  if (Answerer) return Answerer(text, buttons, kind);
  QMessageBox::StandardButtons shown;
  switch (buttons) {
    case TMsgButtons::OK: shown = QMessageBox::Ok; break;
    case TMsgButtons::OKCancel: shown = QMessageBox::Ok | QMessageBox::Cancel; break;
    case TMsgButtons::YesNo: shown = QMessageBox::Yes | QMessageBox::No; break;
    case TMsgButtons::YesNoCancel: shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox::Icon icon = QMessageBox::Question;
  if (kind == TMsgKind::Information) icon = QMessageBox::Information;
  if (kind == TMsgKind::Warning) icon = QMessageBox::Warning;
  if (kind == TMsgKind::Error) icon = QMessageBox::Critical;
  QMessageBox box(icon, QApplication::applicationDisplayName(), Q(text), shown, window_);
  switch (box.exec()) {
    case QMessageBox::Ok: return TMsgAnswer::OK;
    case QMessageBox::Yes: return TMsgAnswer::Yes;
    case QMessageBox::No: return TMsgAnswer::No;
    default: return TMsgAnswer::Cancel;
  }
}

void TWindowHost::ShowMessage(const std::string& text, TMsgKind kind) {
  FlushLog();
  if (MessageSeen) {
    MessageSeen(text, kind);
    return;
  }
  if (Answerer) {
    Answerer(text, TMsgButtons::OK, kind);
    return;
  }
  QMessageBox::Icon icon = kind == TMsgKind::Error     ? QMessageBox::Critical
                           : kind == TMsgKind::Warning ? QMessageBox::Warning
                                                       : QMessageBox::Information;
  QMessageBox box(icon, QApplication::applicationDisplayName(), Q(text), QMessageBox::Ok, window_);
  box.exec();
}

void TWindowHost::EnableCommands(const std::vector<std::string>& names, bool enabled) {
  if (!window_) return;
  for (const auto& name : names) {
    const QString key = Q(name);
    if (window_->Unavailable(key)) continue;
    if (QAction* action = window_->Command(key)) action->setEnabled(enabled);
    else if (QMenu* menu = window_->Menu(key)) menu->menuAction()->setEnabled(enabled);
  }
}

void TWindowHost::EnableViews(bool enabled) {
  if (!window_ || (!enabled && window_->ViewsStayEnabled())) return;
  window_->tvNodes->setEnabled(enabled);
  window_->tvCol->setEnabled(enabled);
  window_->lv->setEnabled(enabled);
}

int TWindowHost::MenuEntryCount(const std::string& menu) const {
  if (!window_) return 0;
  QMenu* m = window_->Menu(Q(menu));
  return m ? static_cast<int>(m->actions().size()) : 0;
}

void TWindowHost::Beep() {
  if (!Quiet) QApplication::beep();
}

}  // namespace tw
