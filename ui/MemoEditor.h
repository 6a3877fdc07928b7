// The memo editor: caption with a picture, a link and notes of one memo item
// of the collections tree. Created once and reused: the caller clears it,
// fills its fields, shows it modally and stores it into the item after OK.
// Its placement is kept in the settings store between showings.
//
// Owns its widgets only. Used on the window's thread only.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace tw {

class TGlobalData;
class TLibColItem;
class TPictures;

class TfrmMemo : public QDialog {
  Q_OBJECT
 public:
  TfrmMemo(TGlobalData& g, QWidget* parent = nullptr);

  // Empty caption, link and notes, no picture; the picture picker offers
  // the collection pictures as they are now.
  void Clear(const TPictures& pictures);
  // Picture `index` of the picker, none for an index it does not offer.
  void SetPicture(int index);
  // The dialog's values into the item: caption, link, notes and picture
  // (-1 for none).
  void Store(TLibColItem& item) const;

  QLineEdit* edCaption = nullptr;
  QComboBox* cbpic = nullptr;
  QLineEdit* ed_url = nullptr;
  QToolButton* tbStart = nullptr;
  QPlainTextEdit* memo = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void OpenLink();
  TGlobalData& g_;
};

}  // namespace tw
