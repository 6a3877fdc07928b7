// The about box "frmAbout": the product's name and version, the version of
// its library files, and credit lines that open their links. Owns its
// widgets. Window's thread only.
#pragma once

#include <QDialog>
#include <QLabel>

namespace tw {

// A label that shows one link, underlined while the pointer is over it,
// and opens it with the desktop's handler when clicked.
class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  TLinkLabel(const QString& text, const QString& link, QWidget* parent);
  const QString& Link() const { return link_; }
  bool Lit() const { return lit_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Show(bool lit);
  QString text_;
  QString link_;
  bool lit_ = false;
};

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent);

  QLabel* lblProduct = nullptr;
  QLabel* lblDBVersion = nullptr;
};

}  // namespace tw
