#include "ui/AboutBox.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <string>

#include "core/LibClasses.h"
#include "state/Settings.h"
#include "ui/Text.h"

namespace tw {
namespace {

// What this build is made with.
struct TCredit {
  const char* Text;
  const char* Link;
};
const std::array<TCredit, 4> kCredits = {{
    {"Qt 6 Widgets", "https://www.qt.io/"},
    {"Unicode Character Database (case folding)", "https://www.unicode.org/ucd/"},
    {"JSON for Modern C++", "https://github.com/nlohmann/json"},
    {"Adwaita icon theme", "https://gitlab.gnome.org/GNOME/adwaita-icon-theme"},
}};

// "2.3" of the library format's tag "Tarnwex 2.3".
QString LibraryFormatNumber() {
  const std::string tag = kLibraryVersion;
  return Q(tag.substr(tag.rfind(' ') + 1));
}

}  // namespace

TLinkLabel::TLinkLabel(const QString& text, const QString& link, QWidget* parent)
    : QLabel(parent), text_(text), link_(link) {
  setTextFormat(Qt::RichText);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  setOpenExternalLinks(false);
  setCursor(Qt::PointingHandCursor);
  setToolTip(link);
  connect(this, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
  Show(false);
}

void TLinkLabel::Show(bool lit) {
  lit_ = lit;
  // In the palette's link colour; underlined while the pointer is on it.
  setText(QStringLiteral("<a href=\"%1\" style=\"text-decoration:%2\">%3</a>")
              .arg(link_.toHtmlEscaped(), lit ? QStringLiteral("underline") : QStringLiteral("none"),
                   text_.toHtmlEscaped()));
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
  Show(true);
  QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
  Show(false);
  QLabel::leaveEvent(event);
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("Credits:"));
  auto* layout = new QVBoxLayout(this);

  lblProduct = new QLabel(QStringLiteral("Tarnwex") + " " + Q(kSettingsStamp), this);
  lblProduct->setObjectName(QStringLiteral("lblProduct"));
  QFont big = lblProduct->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  lblProduct->setFont(big);
  lblDBVersion = new QLabel(QStringLiteral("DB Version") + " " + LibraryFormatNumber(), this);
  lblDBVersion->setObjectName(QStringLiteral("lblDBVersion"));
  layout->addWidget(lblProduct);
  layout->addWidget(lblDBVersion);
  layout->addSpacing(lblDBVersion->fontMetrics().height());

  for (size_t i = 0; i < kCredits.size(); ++i) {
    auto* link = new TLinkLabel(QString::fromUtf8(kCredits[i].Text), QString::fromLatin1(kCredits[i].Link), this);
    link->setObjectName(QStringLiteral("lblCredit%1").arg(i));
    layout->addWidget(link);
  }
  layout->addStretch(1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tw
