// The options dialog, the tag list editor, the pick list, the handler dialog
// and the about box, opened through the main window's commands where they
// have one.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <functional>
#include <map>

#include "base/RegUtils.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/WindowFixture.h"
#include "ui/AboutBox.h"
#include "ui/ExtensionEditor.h"
#include "ui/HandlersDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/PickList.h"
#include "ui/TagListEditor.h"
#include "ui/Text.h"

using namespace tw;
using namespace tw::test;

namespace {

// One option with the control that edits it, both read and written as
// text: a check box as "1" or "0", the size list as its position, a text
// box as its text.
struct TProbe {
  std::function<QString(TGlobalData&)> Get;
  std::function<void(TGlobalData&, const QString&)> Set;
};

TProbe Flag(bool TGlobalData::*option) {
  return {[option](TGlobalData& g) { return QString(g.*option ? "1" : "0"); },
          [option](TGlobalData& g, const QString& v) { g.*option = v == "1"; }};
}

TProbe Path(std::string TGlobalData::*option) {
  return {[option](TGlobalData& g) { return Q(g.*option); },
          [option](TGlobalData& g, const QString& v) { g.*option = S(v); }};
}

const std::map<QString, TProbe>& Probes() {
  static const std::map<QString, TProbe> probes = {
      {"cbSave", Flag(&TGlobalData::SaveSettingsOnExit)},
      {"cbOpen", Flag(&TGlobalData::LoadLast)},
      {"cbMulti", Flag(&TGlobalData::MultiApps)},
      {"cbAddLoc", Flag(&TGlobalData::AddLocationsToGlobals)},
      {"cbAddCat", Flag(&TGlobalData::AddCategoriesToGlobals)},
      {"cbAddTag", Flag(&TGlobalData::AddTagsToGlobals)},
      {"cbSer", Flag(&TGlobalData::CheckSerial)},
      {"cbFoldersOnly", Flag(&TGlobalData::FoldersOnly)},
      {"cbShow", Flag(&TGlobalData::ShowIcons)},
      {"cbSort", Flag(&TGlobalData::SortVolumes)},
      {"cbDisableCtrls", Flag(&TGlobalData::DisableControls)},
      {"cb_msg", Flag(&TGlobalData::ActionEndBeep)},
      {"cb_findLocate", Flag(&TGlobalData::LocateMain)},
      {"cb_confDelfile", Flag(&TGlobalData::ConfirmDeleteFile)},
      {"cb_confDelfolder", Flag(&TGlobalData::ConfirmDeleteFolder)},
      {"cb_confDelvol", Flag(&TGlobalData::ConfirmDeleteVolume)},
      {"cb_confSave", Flag(&TGlobalData::ConfirmSaveChanges)},
      {"cb_confExit", Flag(&TGlobalData::ConfirmExit)},
      {"cb_confNew", Flag(&TGlobalData::ConfirmNew)},
      {"cb_confRep", Flag(&TGlobalData::ConfirmReplace)},
      {"cb_confReload", Flag(&TGlobalData::ConfirmReload)},
      {"cb_confClose", Flag(&TGlobalData::ConfirmClose)},
      {"cb_confDelCol", Flag(&TGlobalData::ConfirmDeleteCollection)},
      {"cbK", {[](TGlobalData& g) { return QString::number(g.SizeUnit); },
               [](TGlobalData& g, const QString& v) { g.SizeUnit = static_cast<uint8_t>(v.toInt()); }}},
      {"edImg", Path(&TGlobalData::ImagesFile)},
      {"edFav", Path(&TGlobalData::FavoritesFile)},
      {"edLoc", Path(&TGlobalData::LocationsFile)},
      {"edCat", Path(&TGlobalData::CategoriesFile)},
      {"edTag", Path(&TGlobalData::TagsFile)},
  };
  return probes;
}

std::map<QString, QString> OptionValues(TGlobalData& g) {
  std::map<QString, QString> values;
  for (const auto& [name, probe] : Probes()) values[name] = probe.Get(g);
  values["NewLineSeparator"] = Q(g.NewLineSeparator);
  return values;
}

QString ControlValue(QWidget* control) {
  if (auto* box = qobject_cast<QCheckBox*>(control)) return box->isChecked() ? "1" : "0";
  if (auto* list = qobject_cast<QComboBox*>(control)) return QString::number(list->currentIndex());
  return qobject_cast<QLineEdit*>(control)->text();
}

void SetControl(QWidget* control, const QString& value) {
  if (auto* box = qobject_cast<QCheckBox*>(control)) box->setChecked(value == "1");
  else if (auto* list = qobject_cast<QComboBox*>(control)) list->setCurrentIndex(value.toInt());
  else qobject_cast<QLineEdit*>(control)->setText(value);
}

// The page that holds a control, as the tab's caption.
QString PageOf(TfrmOptions* d, QWidget* control) {
  for (int i = 0; i < d->pcOptions->count(); ++i)
    if (d->pcOptions->widget(i)->isAncestorOf(control)) return d->pcOptions->tabText(i);
  return {};
}

QStringList FavoriteCaptions(TMainWindow& w) {
  QStringList captions;
  const QList<QAction*> all = w.Menu("miFavorites")->actions();
  for (qsizetype i = 3; i < all.size(); ++i)
    if (!all[i]->isSeparator()) captions << all[i]->text();
  return captions;
}

QStringList Lines(const TSortedStrings& list) {
  QStringList lines;
  for (const std::string& line : list) lines << Q(line);
  return lines;
}

// Catches the links the desktop would open.
class TUrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> Opened;
 public slots:
  void Open(const QUrl& url) { Opened << url; }
};

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT
 private slots:
  void CommandsAreBound_data();
  void CommandsAreBound();
  void ControlsRoundTripTheirOptions_data();
  void ControlsRoundTripTheirOptions();
  void SeparatorConversions_data();
  void SeparatorConversions();
  void DefaultsThenCancelKeepsTheDefaults();
  void OkRebuildsFavoritesAndPictures();
  void HandlerDefaults_data();
  void HandlerDefaults();
  void TagListEditor_data();
  void TagListEditor();
  void PickListGivesTheCheckedNames();
  void AboutBoxTexts();
  void PlacementKept_data();
  void PlacementKept();
};

void OptionsTest::CommandsAreBound_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("window");
  for (const auto& [command, window] :
       {std::pair{"miOptions", "frmOptions"}, std::pair{"tbOptions", "frmOptions"}, std::pair{"miTags", "frmTags"},
        std::pair{"miHandlers", "frmHandlers"}, std::pair{"miAbout", "frmAbout"}, std::pair{"tbAbout", "frmAbout"}})
    QTest::newRow(command) << command << window;
}

void OptionsTest::CommandsAreBound() {
  QFETCH(QString, command);
  QFETCH(QString, window);
  TWindowFixture f;
  QAction* action = f.window->Command(command);
  QVERIFY(action->isEnabled());
  QVERIFY(!f.window->Unavailable(command));
  QString shown;
  WhenShown<QDialog>([&](QDialog* d) {
    shown = d->objectName();
    d->reject();
  });
  action->trigger();
  QCOMPARE(shown, window);
}

void OptionsTest::ControlsRoundTripTheirOptions_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("stored");  // set before the dialog opens
  QTest::addColumn<QString>("chosen");  // put into the control before OK
  const QString conf = "&Confirmations";
  struct TRow {
    const char* control;
    const char* page;
    const char* caption;
  };
  for (const TRow& row : std::initializer_list<TRow>{
           {"cbSave", "&General", "&Save Settings On Exit"},
           {"cbOpen", "&General", "&Open Last Library"},
           {"cbMulti", "&General", "&Allow Multiple Application Instances"},
           {"cbAddLoc", "&General", "Add &Location to Globals"},
           {"cbAddCat", "&General", "Add &Category to Globals"},
           {"cbAddTag", "&General", "Add &Tag to Globals"},
           {"cbSer", "New &Volumes", "&Check for duplicate Serials"},
           {"cbShow", "V&iew", "&Show Real File Icons"},
           {"cbSort", "V&iew", "&Alpha Sort Volumes"},
           {"cbDisableCtrls", "V&iew", "&Disable Visual Controls on Action"},
           {"cb_msg", "V&iew", "&Beep After Long Operations"},
           {"cb_findLocate", "&Find", "Focus Main Window on &Locate"},
           {"cb_confDelfile", "&Confirmations", "Confirm &File Deletion"},
           {"cb_confDelfolder", "&Confirmations", "Confirm F&older Deletion"},
           {"cb_confDelvol", "&Confirmations", "Confirm &Volume Deletion"},
           {"cb_confSave", "&Confirmations", "Confirm &Save Changes"},
           {"cb_confExit", "&Confirmations", "Confirm &Exit"},
           {"cb_confNew", "&Confirmations", "Confirm &New"},
           {"cb_confRep", "&Confirmations", "Confirm &Replace "},
           {"cb_confReload", "&Confirmations", "Confirm Re&load"},
           {"cb_confClose", "&Confirmations", "Confirm &Close"},
           {"cb_confDelCol", "&Confirmations", "Confirm &Collection Deletion"}})
    // Each of these is on by default: off, shown, switched on again.
    QTest::newRow(row.control) << row.control << row.page << row.caption << "0" << "1";
  QTest::newRow("cbFoldersOnly") << "cbFoldersOnly" << "New &Volumes" << "&Folders Only" << "1" << "0";
  QTest::newRow("cbK") << "cbK" << "V&iew" << "" << "2" << "1";
  QTest::newRow("edImg") << "edImg" << "V&iew" << "" << "/pics/set.ico" << "/pics/other.png";
  QTest::newRow("edFav") << "edFav" << "&Files" << "" << "/lists/fav.txt" << "/other/Favorites.txt";
  QTest::newRow("edLoc") << "edLoc" << "&Files" << "" << "/lists/loc.txt" << "/other/Locations.txt";
  QTest::newRow("edCat") << "edCat" << "&Files" << "" << "/lists/cat.txt" << "/other/Categories.txt";
  QTest::newRow("edTag") << "edTag" << "&Files" << "" << "/lists/tag.txt" << "/other/Tags.txt";
}

void OptionsTest::ControlsRoundTripTheirOptions() {
  QFETCH(QString, control);
  QFETCH(QString, page);
  QFETCH(QString, caption);
  QFETCH(QString, stored);
  QFETCH(QString, chosen);
  TWindowFixture f;
  TGlobalData& g = *f.g;
  const TProbe& probe = Probes().at(control);
  probe.Set(g, stored);
  std::map<QString, QString> expected = OptionValues(g);
  expected[control] = chosen;

  QString shown, shownPage, shownCaption;
  bool othersAsStored = true;
  WhenShown<TfrmOptions>([&](TfrmOptions* d) {
    QWidget* widget = Child<QWidget>(d, control);
    shown = ControlValue(widget);
    shownPage = PageOf(d, widget);
    if (auto* box = qobject_cast<QCheckBox*>(widget)) shownCaption = box->text();
    // Every other control shows its option too.
    for (const auto& [name, other] : Probes())
      if (name != control) othersAsStored = othersAsStored && ControlValue(Child<QWidget>(d, name)) == other.Get(g);
    SetControl(widget, chosen);
    d->OKBtn->click();
  });
  f.window->Command("miOptions")->trigger();
  QCOMPARE(shown, stored);
  QCOMPARE(shownPage, page);
  if (!caption.isEmpty()) QCOMPARE(shownCaption, caption);
  QVERIFY(othersAsStored);
  // The control's option changed, and no other.
  QCOMPARE(OptionValues(g), expected);

  // Cancel leaves the options as they are.
  WhenShown<TfrmOptions>([&](TfrmOptions* d) {
    SetControl(Child<QWidget>(d, control), stored);
    d->CancelBtn->click();
  });
  f.window->Command("tbOptions")->trigger();
  QCOMPARE(OptionValues(g), expected);
}

void OptionsTest::SeparatorConversions_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<int>("shownEntry");   // -1: shown as typed text
  QTest::addColumn<QString>("shownText");
  QTest::addColumn<int>("choose");       // an entry, or -1 to type `typed`
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("after");
  QTest::addColumn<int>("reopenEntry");
  QTest::addColumn<QString>("reopenText");
  QTest::newRow("Tab chosen") << ";" << 0 << ";" << 3 << "" << "\t" << 3 << "Tab";
  QTest::newRow("New Line chosen") << "\t" << 3 << "Tab" << 4 << "" << "\r\n" << 4 << "New Line";
  QTest::newRow("comma chosen") << "\r\n" << 4 << "New Line" << 1 << "" << "," << 1 << ",";
  QTest::newRow("dash chosen") << "," << 1 << "," << 2 << "" << "-" << 2 << "-";
  QTest::newRow("bar typed with blanks") << ";" << 0 << ";" << -1 << " | " << " | " << -1 << " | ";
  QTest::newRow("entry caption typed") << " | " << -1 << " | " << -1 << "Tab" << "\t" << 3 << "Tab";
  QTest::newRow("other separator kept") << "//" << -1 << "//" << -1 << "//" << "//" << -1 << "//";
}

void OptionsTest::SeparatorConversions() {
  QFETCH(QString, before);
  QFETCH(int, shownEntry);
  QFETCH(QString, shownText);
  QFETCH(int, choose);
  QFETCH(QString, typed);
  QFETCH(QString, after);
  QFETCH(int, reopenEntry);
  QFETCH(QString, reopenText);
  TWindowFixture f;
  f.g->NewLineSeparator = S(before);
  int entry = -2, entryAgain = -2;
  QString text, textAgain;
  WhenShownInTurn<TfrmOptions>({[&](TfrmOptions* d) {
                                  entry = d->cbSep->currentIndex();
                                  text = d->cbSep->currentText();
                                  if (choose >= 0) {
                                    d->cbSep->setCurrentIndex(choose);
                                  } else {
                                    d->cbSep->lineEdit()->selectAll();
                                    QTest::keyClicks(d->cbSep->lineEdit(), typed);
                                  }
                                  d->OKBtn->click();
                                },
                                [&](TfrmOptions* d) {
                                  entryAgain = d->cbSep->currentIndex();
                                  textAgain = d->cbSep->currentText();
                                  d->CancelBtn->click();
                                }});
  f.window->EditOptions();
  QCOMPARE(entry, shownEntry);
  QCOMPARE(text, shownText);
  QCOMPARE(Q(f.g->NewLineSeparator), after);
  f.window->EditOptions();
  QCOMPARE(entryAgain, reopenEntry);
  QCOMPARE(textAgain, reopenText);
  QCOMPARE(Q(f.g->NewLineSeparator), after);
}

void OptionsTest::DefaultsThenCancelKeepsTheDefaults() {
  TWindowFixture f;
  TGlobalData& g = *f.g;
  g.ConfirmExit = false;
  g.ConfirmDeleteCollection = false;
  g.SizeUnit = 2;
  g.FoldersOnly = true;
  g.NewLineSeparator = " | ";
  g.LanguageName = "Deutsch";
  g.PrintFontName = "Serif";
  g.FavoritesFile = "/lists/fav.txt";
  bool shownDefaults = false;
  WhenShown<TfrmOptions>([&](TfrmOptions* d) {
    QCOMPARE(d->cbK->currentIndex(), 2);
    Child<QCheckBox>(d, "cbSave")->setChecked(false);  // an edit the reset overrides
    d->btnReset->click();
    shownDefaults = Child<QCheckBox>(d, "cb_confExit")->isChecked() && d->cbK->currentIndex() == 0 &&
                    !Child<QCheckBox>(d, "cbFoldersOnly")->isChecked() && Child<QCheckBox>(d, "cbSave")->isChecked() &&
                    d->cbSep->currentIndex() == 0 && d->edFav->text() == "/lists/fav.txt";
    d->CancelBtn->click();
  });
  f.window->EditOptions();
  QVERIFY(shownDefaults);
  QVERIFY(g.ConfirmExit);
  QVERIFY(g.ConfirmDeleteCollection);
  QCOMPARE(g.SizeUnit, uint8_t(0));
  QVERIFY(!g.FoldersOnly);
  QCOMPARE(g.NewLineSeparator, std::string(";"));
  QVERIFY(g.LanguageName.empty());
  // Neither the print settings nor the list files set already.
  QCOMPARE(g.PrintFontName, std::string("Serif"));
  QCOMPARE(g.FavoritesFile, std::string("/lists/fav.txt"));
}

void OptionsTest::OkRebuildsFavoritesAndPictures() {
  TWindowFixture f;
  TGlobalData& g = *f.g;
  // Another favorites file, and a strip of three square pictures.
  const QString otherFavorites = f.Path("other/Favorites.txt");
  QDir().mkpath(f.Path("other"));
  QFile file(otherFavorites);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("Elsewhere=/lib/elsewhere.twl\r\n");
  file.close();
  QImage strip(48, 16, QImage::Format_ARGB32);
  strip.fill(Qt::transparent);
  QPainter(&strip).fillRect(0, 0, 48, 16, QColor(0, 0, 0, 128));
  const QString images = f.Path("pictures.png");
  QVERIFY(strip.save(images));
  QVERIFY(f.window->Pictures().CollectionCount() != 3);

  // The favorites file in use, in a folder of its own.
  QDir().mkpath(f.Path("lists"));
  g.FavoritesFile = S(f.Path("lists/Favorites.txt"));
  QFile(f.Path("lists/Favorites.txt")).open(QIODevice::WriteOnly);
  // A favorite reached the list but not the menu yet.
  g.FavoritesList.Add("Music=/lib/music.twl");
  QVERIFY(!FavoriteCaptions(*f.window).contains("Music"));

  bool browsedFromCheckBox = false;
  QString startedWith;
  WhenShownInTurn<QFileDialog>({[&](QFileDialog* d) {
                                  // The dialog opens in the folder of the box's file (its
                                  // selection fills in later, as the folder is listed).
                                  startedWith = d->directory().absolutePath();
                                  d->selectFile(otherFavorites);
                                  static_cast<QDialog*>(d)->accept();
                                }});
  WhenShown<TfrmOptions>([&](TfrmOptions* d) {
    d->pcOptions->setCurrentIndex(0);
    QCheckBox* save = Child<QCheckBox>(d, "cbSave");
    save->setFocus();
    QTest::keyClick(save, Qt::Key_F4);
    browsedFromCheckBox = d->edFav->text() != Q(g.FavoritesFile);
    d->pcOptions->setCurrentIndex(5);
    d->edFav->setFocus();
    QTest::keyClick(d->edFav, Qt::Key_F4);
    d->edImg->setText(images);
    d->OKBtn->click();
  });
  f.window->EditOptions();
  QVERIFY(!browsedFromCheckBox);
  QCOMPARE(startedWith, f.Path("lists"));
  QCOMPARE(Q(g.FavoritesFile), otherFavorites);
  // The menu comes from the favorites in memory, not from the new file.
  QCOMPARE(FavoriteCaptions(*f.window), QStringList{"Music"});
  QCOMPARE(Lines(g.FavoritesList), QStringList{"Music=/lib/music.twl"});
  QCOMPARE(f.window->Pictures().CollectionCount(), 3);
}

void OptionsTest::HandlerDefaults_data() {
  QTest::addColumn<QString>("button");
  QTest::newRow("OK") << "OKBtn";
  QTest::newRow("Cancel") << "CancelBtn";
}

void OptionsTest::HandlerDefaults() {
  QFETCH(QString, button);
  TWindowFixture f;
  THandlerList& handlers = f.g->Handlers;
  handlers.Find("MP3")->Active = false;
  handlers.Find("OGG")->Extensions.Add(".OGA");
  handlers.SaveToRegistry(f.g->Registry());
  const std::string extKey = std::string(kRegRoot) + "Ext";
  QVERIFY(f.g->Registry().RegKeyExists(extKey));

  bool mp3ShownOff = false, zipOffAtOnce = false, allChecked = false, storedGone = false;
  QStringList titles;
  WhenShown<TfrmHandlers>([&](TfrmHandlers* d) {
    QTreeWidget* list = Child<QTreeWidget>(d, "lv_ext");
    mp3ShownOff = list->findItems("MP3", Qt::MatchExactly, 0).value(0)->checkState(0) == Qt::Unchecked;
    list->findItems("ZIP", Qt::MatchExactly, 0).value(0)->setCheckState(0, Qt::Unchecked);
    zipOffAtOnce = !handlers.Find("ZIP")->Active;
    Child<QPushButton>(d, "btnDefaults")->click();
    allChecked = list->topLevelItemCount() == 15;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      titles << list->topLevelItem(i)->text(0);
      allChecked = allChecked && list->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
    storedGone = !f.g->Registry().RegKeyExists(extKey);
    Child<QPushButton>(d, button)->click();
  });
  f.window->Command("miHandlers")->trigger();
  QVERIFY(mp3ShownOff);
  QVERIFY(zipOffAtOnce);
  QVERIFY(allChecked);
  QCOMPARE(titles, (QStringList{"AAC", "APE", "CDA", "FLAC", "MP3", "MPG", "MPP", "OFR", "OGG", "RAR", "VQF", "WAV",
                                "WMA", "WPA", "ZIP"}));
  QVERIFY(storedGone);
  // Closing undoes nothing: the table keeps its defaults.
  QCOMPARE(handlers.Count(), 15);
  QVERIFY(handlers.Find("MP3")->Active);
  QVERIFY(handlers.Find("ZIP")->Active);
  QCOMPARE(handlers.Find("OGG")->Extensions.Items(), std::vector<std::string>{".OGG"});

  // F2 edits the extensions of the current row.
  QString editorCaption;
  WhenShown<TExtensionEditor>([&](TExtensionEditor* d) {
    editorCaption = d->windowTitle();
    d->reject();
  });
  WhenShown<TfrmHandlers>([&](TfrmHandlers* d) {
    d->lv_ext->setCurrentItem(d->lv_ext->findItems("APE", Qt::MatchExactly).value(0));
    QTest::keyClick(d->lv_ext, Qt::Key_F2);
    d->reject();
  });
  f.window->EditHandlers();
  QCOMPARE(editorCaption, QString("APE File"));
}

void OptionsTest::TagListEditor_data() {
  QTest::addColumn<QString>("typed");     // the key added with F3
  QTest::addColumn<QString>("caption");   // its caption edited in place (empty: left)
  QTest::addColumn<bool>("deleteFirst");  // F4 on the first row before OK
  QTest::addColumn<bool>("refused");      // OK refused, the new row deleted, OK again
  QTest::addColumn<QStringList>("after");
  const QStringList before{"Artist=Interpret", "Title=Titel"};
  QTest::newRow("key added") << "Genre" << "" << false << false
                             << QStringList{"Artist=Interpret", "Genre=Genre", "Title=Titel"};
  QTest::newRow("caption edited in place") << "Genre" << "Musikstil" << false << false
                                           << QStringList{"Artist=Interpret", "Genre=Musikstil", "Title=Titel"};
  QTest::newRow("row deleted") << "" << "" << true << false << QStringList{"Title=Titel"};
  QTest::newRow("equal line refused") << "title" << "TITEL" << false << true << before;
}

void OptionsTest::TagListEditor() {
  QFETCH(QString, typed);
  QFETCH(QString, caption);
  QFETCH(bool, deleteFirst);
  QFETCH(bool, refused);
  QFETCH(QStringList, after);
  TWindowFixture f;
  TGlobalData& g = *f.g;
  g.TagsList.Clear();
  g.TagsList.Add("Title=Titel");
  g.TagsList.Add("Artist=Interpret");
  const QStringList before = Lines(g.TagsList);

  QStringList shown, added;
  bool keyFixed = false, stayedOpen = false, listKept = false;
  WhenShown<TfrmTags>([&](TfrmTags* d) {
    shown = [&] {
      QStringList rows;
      for (int r = 0; r < d->vle->rowCount(); ++r) rows << d->vle->item(r, 0)->text() + "=" + d->vle->item(r, 1)->text();
      return rows;
    }();
    if (!typed.isEmpty()) {
      WhenShown<QInputDialog>([&](QInputDialog* input) {
        added << input->windowTitle() << input->labelText() << input->textValue();
        input->setTextValue(typed);
        input->accept();
      });
      QTest::keyClick(d->vle, Qt::Key_F3);
      const int last = d->vle->rowCount() - 1;
      keyFixed = !(d->vle->item(last, 0)->flags() & Qt::ItemIsEditable);
      if (!caption.isEmpty()) d->vle->item(last, 1)->setText(caption);
    }
    if (deleteFirst) {
      d->vle->setCurrentCell(0, 0);
      QTest::keyClick(d->vle, Qt::Key_F4);
    }
    Child<QPushButton>(d, "OKBtn")->click();
    if (refused) {
      stayedOpen = d->isVisible();
      listKept = Lines(g.TagsList) == before;
      // The refused row is the current one. (The offscreen platform gives
      // the activation back only when asked.)
      QApplication::setActiveWindow(d);
      QTest::keyClick(d->vle, Qt::Key_F4);
      Child<QPushButton>(d, "OKBtn")->click();
    }
  });
  f.window->Command("miTags")->trigger();
  QCOMPARE(shown, before);
  if (!typed.isEmpty()) {
    QCOMPARE(added, (QStringList{"Add", "Key", ""}));
    QVERIFY(keyFixed);
  }
  if (refused) {
    QVERIFY(stayedOpen);
    QVERIFY(listKept);
    QCOMPARE(f.Messages.size(), size_t(1));
    QCOMPARE(f.Messages[0].second, TMsgKind::Error);
    QVERIFY(Q(f.Messages[0].first).contains("title=TITEL"));
  } else {
    QVERIFY(f.Messages.empty());
  }
  QCOMPARE(Lines(g.TagsList), after);

  // Cancel takes nothing back.
  WhenShown<TfrmTags>([&](TfrmTags* d) {
    d->vle->setRowCount(0);
    Child<QPushButton>(d, "CancelBtn")->click();
  });
  f.window->EditTags();
  QCOMPARE(Lines(g.TagsList), after);
}

void OptionsTest::PickListGivesTheCheckedNames() {
  TWindowFixture f;
  TfrmPickList pick(f.window.get());
  QCOMPARE(pick.objectName(), QString("frmPickList"));
  QCOMPARE(pick.windowTitle(), QString("Pick List"));
  const QStringList names{"Album", "Artist", "Title"};
  QStringList checked{"left as it was"};
  bool startedUnchecked = false;
  WhenShownInTurn<TfrmPickList>({[](TfrmPickList* d) {
                                   d->clbKeys->item(2)->setCheckState(Qt::Checked);
                                   d->clbKeys->item(1)->setCheckState(Qt::Checked);
                                   Child<QPushButton>(d, "OKBtn")->click();
                                 },
                                 [&](TfrmPickList* d) {
                                   // A new showing starts with nothing checked.
                                   startedUnchecked = d->clbKeys->item(1)->checkState() == Qt::Unchecked &&
                                                      d->clbKeys->item(2)->checkState() == Qt::Unchecked;
                                   d->clbKeys->item(0)->setCheckState(Qt::Checked);
                                   Child<QPushButton>(d, "CancelBtn")->click();
                                 }});
  QVERIFY(pick.Pick(names, checked));
  QCOMPARE(checked, QStringList({"Artist", "Title"}));
  // Cancel leaves the caller's list alone.
  QVERIFY(!pick.Pick(names, checked));
  QVERIFY(startedUnchecked);
  QCOMPARE(checked, QStringList({"Artist", "Title"}));
}

void OptionsTest::AboutBoxTexts() {
  TWindowFixture f;
  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  QString title, product, database, href;
  bool lit = false, closedByEscape = false;
  WhenShown<TfrmAbout>([&](TfrmAbout* d) {
    title = d->windowTitle();
    product = d->lblProduct->text();
    database = d->lblDBVersion->text();
    auto* link = Child<TLinkLabel>(d, "lblCredit0");
    href = link->Link();
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    lit = link->Lit() && link->text().contains("underline");
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->fontMetrics().averageCharWidth(), link->height() / 2));
    QTest::keyClick(d, Qt::Key_Escape);
    closedByEscape = !d->isVisible();
  });
  f.window->Command("tbAbout")->trigger();
  QDesktopServices::unsetUrlHandler("https");
  QCOMPARE(title, QString("Credits:"));
  QCOMPARE(product, QString("Tarnwex 2.0 (Build: 50)"));
  QCOMPARE(database, QString("DB Version 2.3"));
  QVERIFY(lit);
  QCOMPARE(catcher.Opened, QList<QUrl>{QUrl(href)});
  QVERIFY(closedByEscape);
}

void OptionsTest::PlacementKept_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("window");
  QTest::newRow("options") << "miOptions" << "frmOptions";
  QTest::newRow("tags") << "miTags" << "frmTags";
  QTest::newRow("handlers") << "miHandlers" << "frmHandlers";
}

void OptionsTest::PlacementKept() {
  QFETCH(QString, command);
  QFETCH(QString, window);
  TWindowFixture f;
  const QRect placed(90, 70, 720, 560);
  QRect reopened;
  WhenShownInTurn<QDialog>({[&](QDialog* d) {
                              d->setGeometry(placed);
                              d->reject();
                            },
                            [&](QDialog* d) {
                              reopened = d->geometry();
                              d->reject();
                            }});
  f.window->Command(command)->trigger();
  TPlacement stored;
  QVERIFY(f.g->Registry().ReadPlacement(std::string(kRegRoot) + "Pos\\" + S(window), stored));
  QCOMPARE(QRect(QPoint(stored.NormPosLeft, stored.NormPosTop), QPoint(stored.NormPosRight - 1, stored.NormPosBottom - 1)),
           placed);
  f.window->Command(command)->trigger();
  QCOMPARE(reopened, placed);
}

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
