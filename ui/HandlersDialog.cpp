#include "ui/HandlersDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "state/Globals.h"
#include "ui/DialogPlacement.h"
#include "ui/ExtensionEditor.h"

namespace tw {

TfrmHandlers::TfrmHandlers(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName(QStringLiteral("frmHandlers"));
  setWindowTitle(QStringLiteral("Handlers"));
  setSizeGripEnabled(true);
  lv_ext = new THandlerListView(g_.Handlers, this);
  lv_ext->setObjectName(QStringLiteral("lv_ext"));
  auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), lv_ext);
  f2->setContext(Qt::WidgetShortcut);
  connect(f2, &QShortcut::activated, this, [this] {
    if (QTreeWidgetItem* item = lv_ext->currentItem()) lv_ext->EditRow(lv_ext->indexOfTopLevelItem(item));
  });

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("CancelBtn"));
  // The help button has no page to show.
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  help->setObjectName(QStringLiteral("HelpBtn"));
  help->setEnabled(false);
  btnDefaults = buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
  btnDefaults->setObjectName(QStringLiteral("btnDefaults"));
  btnDefaults->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(btnDefaults, &QPushButton::clicked, this, [this] { LoadDefaults(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lv_ext, 1);
  layout->addWidget(buttons);
  resize(560, 420);
}

int TfrmHandlers::Run() {
  lv_ext->Fill();
  FitList();
  if (lv_ext->topLevelItemCount() > 0) lv_ext->setCurrentItem(lv_ext->topLevelItem(0));
  RestoreDialogPlacement(*this, g_.Registry());
  lv_ext->setFocus();
  return exec();
}

void TfrmHandlers::LoadDefaults() {
  g_.Handlers.LoadDefaultHandlers(g_.Registry());
  lv_ext->Fill();
  FitList();
}

void TfrmHandlers::FitList() {
  // Room for every column's text and for every row of the table.
  const QFontMetrics metrics = lv_ext->fontMetrics();
  int extensions = lv_ext->header()->sectionSizeHint(2);
  for (int row = 0; row < lv_ext->topLevelItemCount(); ++row)
    extensions = std::max(extensions, metrics.horizontalAdvance(lv_ext->topLevelItem(row)->text(2)));
  const int margins = 2 * lv_ext->frameWidth() + lv_ext->verticalScrollBar()->sizeHint().width();
  const int width = margins + lv_ext->columnWidth(0) + lv_ext->columnWidth(1) + extensions + 4 * metrics.averageCharWidth();
  const int rowHeight = std::max(metrics.height(), style()->pixelMetric(QStyle::PM_IndicatorHeight)) + 4;
  const int rows = std::max(lv_ext->topLevelItemCount(), 1);
  lv_ext->setMinimumSize(width, 2 * lv_ext->frameWidth() + lv_ext->header()->sizeHint().height() + rows * rowHeight);
}

void TfrmHandlers::done(int result) {
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
