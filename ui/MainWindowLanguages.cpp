// The language commands of the main window (the Languages menu, Export
// Current Language, Load Original Language), the language applied at start,
// and the manual behind Help > Contents and F1.
#include <QAction>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

#include "base/Error.h"
#include "base/Messages.h"
#include "ui/AddVolumeDialog.h"
#include "ui/ExtensionEditor.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"
#include "ui/TextEditor.h"
#include "ui/Translator.h"
#include "ui/UpdateDialog.h"
#include "ui/WindowHost.h"

namespace tw {

void TMainWindow::BuildLanguageCommands() {
  translator_ = new TTranslator(g_, this);
  translator_->MakeWindows = [this] { MakeWindows(); };
  // What the program state hands the translator before the menu is filled.
  translator_->BuiltInFile = g_.BuiltInLanguageFile;
  for (const char* name : {"frmAbout", "frmRichEdit", "miLanguages", "miReopen"})
    translator_->SkipList.insert(QString::fromLatin1(name).toLower());
  translator_->BuildLanguageMenu(Menu("miLanguages"));
  // The bars and the information panel say their texts again in the new
  // language.
  connect(translator_, &TTranslator::Applied, this, [this] {
    if (!Idle()) return;
    FillList();
    UpdateCollectionBars();
  });

  const auto bind = [this](std::initializer_list<const char*> names, void (TMainWindow::*run)()) {
    for (const char* name : names) {
      const QString key = QString::fromLatin1(name);
      connect(Command(key), &QAction::triggered, this, [this, run] {
        if (Idle()) (this->*run)();
      });
      MakeAvailable(key);
    }
  };
  bind({"miExpLng"}, &TMainWindow::ExportLanguageCommand);
  bind({"miLoadOriginalLanguage"}, &TMainWindow::RestoreLanguageCommand);
  // Help opens while an operation runs, too.
  for (const char* name : {"miContents", "tbHelp"}) {
    const QString key = QString::fromLatin1(name);
    connect(Command(key), &QAction::triggered, this, [this] { ShowHelp(); });
    later_.remove(key);
    Command(key)->setEnabled(true);
  }
}

void TMainWindow::MakeWindows() {
  AddVolumeDialog().findChild<THandlerListView*>()->Editor();
  UpdateDialog().findChild<THandlerListView*>()->Editor();
  TextEditor();
  PropertiesDialog();
  OptionsDialog();
  TagsEditor();
  HandlersDialog();
  AboutBox();
  ExportDialog();
  ImportDialog();
}

void TMainWindow::LoadLanguage() {
  g_.UpperCaseMessageKeys();
  try {
    translator_->WriteBuiltInTexts();
  } catch (const std::exception& e) {
    // The program works on without the file; only Load Original Language
    // then relies on the texts it keeps.
    g_.AddMessage(TextOf(e, g_.Messages()));
  }
  translator_->SelectLanguage(g_.LanguageName);
}

void TMainWindow::ExportLanguageCommand() {
  QString file = QFileDialog::getSaveFileName(this, Command("miExpLng")->text().remove('&').remove(QLatin1String("..")),
                                              Q(translator_->UserFolder()), QStringLiteral("Language files (*.bab)"));
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".bab");
  try {
    translator_->ExportLanguage(S(file));
  } catch (const std::exception& e) {
    ShowError(Q(TextOf(e, g_.Messages())));
  }
}

void TMainWindow::RestoreLanguageCommand() { translator_->RestoreBuiltInTexts(); }

void TMainWindow::ShowHelp() {
  const QString page = translator_->HelpPage();
  if (!QFileInfo(page).isFile()) {
    ShowError(Q(Format(g_.GetText("errFNF"), {S(page)})));
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

}  // namespace tw
