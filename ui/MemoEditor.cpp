#include "ui/DialogPlacement.h"
#include "ui/MemoEditor.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/LibClasses.h"
#include "state/Globals.h"
#include "state/Settings.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {

namespace {


}  // namespace

TfrmMemo::TfrmMemo(TGlobalData& g, QWidget* parent) : QDialog(parent), g_(g) {
  setObjectName(QStringLiteral("frmMemo"));
  setWindowTitle(QStringLiteral("Memo"));
  setModal(true);

  edCaption = new QLineEdit(this);
  edCaption->setObjectName(QStringLiteral("edCaption"));
  cbpic = new QComboBox(this);
  cbpic->setObjectName(QStringLiteral("cbpic"));
  cbpic->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* captionRow = new QHBoxLayout;
  captionRow->addWidget(edCaption, 1);
  captionRow->addWidget(cbpic);

  ed_url = new QLineEdit(this);
  ed_url->setObjectName(QStringLiteral("ed_url"));
  tbStart = new QToolButton(this);
  tbStart->setObjectName(QStringLiteral("tbStart"));
  tbStart->setToolTip(QStringLiteral("Start (F4)"));
  tbStart->setIcon(QIcon::fromTheme(QStringLiteral("go-jump"), style()->standardIcon(QStyle::SP_ArrowRight)));
  // The hint names F4; the key does what it says.
  tbStart->setShortcut(QKeySequence(Qt::Key_F4));
  connect(tbStart, &QToolButton::clicked, this, [this] { OpenLink(); });
  auto* urlRow = new QHBoxLayout;
  urlRow->addWidget(ed_url, 1);
  urlRow->addWidget(tbStart);

  memo = new QPlainTextEdit(this);
  memo->setObjectName(QStringLiteral("memo"));
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  auto* form = new QFormLayout;
  auto* captionLabel = new QLabel(QStringLiteral("&Caption:"), this);
  captionLabel->setBuddy(edCaption);
  form->addRow(captionLabel, captionRow);
  form->addRow(new QLabel(QStringLiteral("URL:"), this), urlRow);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("Notes:"), this));
  layout->addWidget(memo, 1);
  layout->addWidget(buttons);
  resize(420, 320);
}

void TfrmMemo::Clear(const TPictures& pictures) {
  edCaption->clear();
  ed_url->clear();
  memo->clear();
  cbpic->clear();
  for (int i = 0; i < pictures.CollectionCount(); ++i) cbpic->addItem(pictures.Collection(i), QString());
  cbpic->setCurrentIndex(-1);
}

void TfrmMemo::SetPicture(int index) { cbpic->setCurrentIndex(index >= 0 && index < cbpic->count() ? index : -1); }

void TfrmMemo::Store(TLibColItem& item) const {
  item.Caption = S(edCaption->text());
  item.Url = S(ed_url->text());
  item.Memo = S(memo->toPlainText());
  item.ImageIndex = cbpic->currentIndex();
}

void TfrmMemo::OpenLink() {
  // Opened by the desktop; a link that cannot be opened fails silently.
  const QString link = ed_url->text().trimmed();
  if (!link.isEmpty()) QDesktopServices::openUrl(QUrl::fromUserInput(link));
}

void TfrmMemo::showEvent(QShowEvent* event) {
  RestoreDialogPlacement(*this, g_.Registry());
  QDialog::showEvent(event);
}

void TfrmMemo::done(int result) {
  SaveDialogPlacement(*this, g_.Registry());
  QDialog::done(result);
}

}  // namespace tw
