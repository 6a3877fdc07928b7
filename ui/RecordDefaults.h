// The fields both volume dialogs show for the records a walk adds: the
// category with its editor button, the comments, and whether they go to new
// folders and files too. Window's thread only; the widgets belong to the
// page they are made on.
#pragma once

#include <QString>

#include "base/StringList.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QIcon;
class QLineEdit;
class QToolButton;
class QWidget;

namespace tw {

class TGlobalData;

struct TRecordDefaults {
  QComboBox* Category = nullptr;  // "filecat"
  QToolButton* EditCategories = nullptr;  // "tbCat"
  QLineEdit* Comments = nullptr;  // "filecom"
  QCheckBox* AddToFolders = nullptr;  // "cbAddFolders"
  QCheckBox* AddToFiles = nullptr;  // "cbAddFiles"

  // Makes the fields as rows of `form` on `page`.
  static TRecordDefaults Build(QFormLayout* form, QWidget* page, const QIcon& editIcon);
  // The chosen values into the program state, for the walk.
  void Take(TGlobalData& g) const;
};

// Refills an editable pick list and keeps the text typed in it.
void RefillPickList(QComboBox* box, const TSortedStrings& list);

}  // namespace tw
