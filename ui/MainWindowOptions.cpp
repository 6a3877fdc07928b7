// The Options, Tags, Handlers and About commands of the main window and
// their dialogs.
#include <QAction>
#include <QTreeView>

#include "ui/AboutBox.h"
#include "ui/HandlersDialog.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/TagListEditor.h"

namespace tw {

void TMainWindow::BuildOptionsCommands() {
  const auto bind = [this](std::initializer_list<const char*> names, void (TMainWindow::*run)()) {
    for (const char* name : names) {
      const QString key = QString::fromLatin1(name);
      connect(Command(key), &QAction::triggered, this, [this, run] {
        if (Idle()) (this->*run)();
      });
      MakeAvailable(key);
    }
  };
  bind({"miOptions", "tbOptions"}, &TMainWindow::EditOptions);
  bind({"miTags"}, &TMainWindow::EditTags);
  bind({"miHandlers"}, &TMainWindow::EditHandlers);
  bind({"miAbout", "tbAbout"}, &TMainWindow::ShowAbout);
}

TfrmOptions& TMainWindow::OptionsDialog() {
  if (!optionsDialog_) optionsDialog_ = new TfrmOptions(g_, this);
  return *optionsDialog_;
}

TfrmTags& TMainWindow::TagsEditor() {
  if (!tagsEditor_) tagsEditor_ = new TfrmTags(g_, this);
  return *tagsEditor_;
}

TfrmHandlers& TMainWindow::HandlersDialog() {
  if (!handlersDialog_) handlersDialog_ = new TfrmHandlers(g_, this);
  return *handlersDialog_;
}

TfrmAbout& TMainWindow::AboutBox() {
  if (!aboutBox_) aboutBox_ = new TfrmAbout(this);
  return *aboutBox_;
}

void TMainWindow::EditOptions() {
  if (OptionsDialog().Run() != QDialog::Accepted) return;
  // The word lists stay as loaded: a new favorites file is written at the
  // next save, and the menu is built from the favorites in memory.
  RebuildFavoritesMenu();
  pictures_.LoadCollectionImages();
  tvCol->viewport()->update();
}

void TMainWindow::EditTags() {
  // The information panel shows tags under their captions.
  if (TagsEditor().Edit(g_.TagsList)) UpdateInfoPanel();
}

void TMainWindow::EditHandlers() { HandlersDialog().Run(); }

void TMainWindow::ShowAbout() { AboutBox().exec(); }

}  // namespace tw
