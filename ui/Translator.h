// The translator: puts the texts of a language file into every window and
// into the message table, fills the Languages menu with the language files
// it finds, writes the current texts out as a language file and restores the
// built-in ones.
//
// Texts are addressed by "window.component" keys made of object names:
// labels, check boxes, menu items (actions in menus and menus) and tab pages
// by their text (a label without a name by its field's name and ".Label"), tool buttons (actions only on tool bars, free tool buttons)
// by their hint, windows by their title; list views add ".n" for column n,
// tab bars ".n" for tab n. The message table's lines keep their own keys.
//
// Owns its language list and the loaded language; the program state and the
// windows are the caller's. Used on the windows' thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "state/Language.h"

class QMenu;
class QWidget;

namespace tw {

class TGlobalData;

class TTranslator : public QObject {
  Q_OBJECT
 public:
  TTranslator(TGlobalData& g, QWidget* mainWindow);
  ~TTranslator() override;

  // The languages folder of the user's data folder, with a trailing "/".
  std::string UserFolder() const;
  // The folders searched for language files, the user's last (it wins).
  std::vector<std::string> Folders() const;

  // Name under which the built-in texts are written into the user's folder.
  std::string BuiltInFile;
  // Menu entries get the picture of a ".ico" file beside their language file.
  bool ShowIcons = true;
  // Components whose own components are left out when texts are written out.
  QSet<QString> SkipList;
  // The language last applied (a menu caption, a stored name, or BuiltInFile).
  std::string CurrentLanguage;
  // The manual page of the loaded language; empty: the default page.
  QString HelpFile;
  // The manual's contents page.
  QString DefaultHelpFile;
  QString HelpPage() const { return HelpFile.isEmpty() ? DefaultHelpFile : HelpFile; }

  // Fills `menu` with one entry per offered language file; the list stays
  // for SelectLanguage.
  void BuildLanguageMenu(QMenu* menu);
  // Applies the language file `name` selects; false and nothing changes when
  // it selects none.
  bool SelectLanguage(const std::string& name);
  // Applies the built-in texts written at start.
  void RestoreBuiltInTexts();
  // Writes the current texts into the user's folder under BuiltInFile;
  // raises EError when it cannot.
  void WriteBuiltInTexts();
  // Writes the current texts to `file`; raises EError when it cannot.
  void ExportLanguage(const std::string& file);
  // The current texts of every window and of the message table, as lines of
  // a language file.
  std::vector<std::string> CollectTexts() const;
  // Puts the loaded language into every window and the message table.
  void Apply();
  // Runs before texts are collected: makes the windows made on demand.
  std::function<void()> MakeWindows;

  const std::vector<TLanguageEntry>& Entries() const { return entries_; }
  // The text of `key` in the loaded language, or `def`.
  QString Translate(const QString& def, const QString& key) const;

 signals:
  // A language was put into the windows and the message table: texts made
  // from messages earlier are due again.
  void Applied();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load(TLanguageFile file);
  // The windows in creation order: the main window, the windows it owns, then
  // the other named windows.
  QList<QWidget*> Windows() const;
  void TranslateWindow(QWidget* window);
  void TranslateMessages();

  TGlobalData& g_;
  QPointer<QWidget> main_;
  TLanguageFile strings_;
  std::vector<TLanguageEntry> entries_;
  // The texts as written at start: Load Original Language falls back on them
  // when that file cannot be read.
  std::vector<std::string> builtIn_;
  // Counts the applications of a language: a window that has not seen the
  // last one gets it when it is first shown.
  int generation_ = 0;
};

}  // namespace tw
