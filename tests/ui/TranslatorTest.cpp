// The translator through the main window: the built-in texts written out, a
// language made from them and chosen in the Languages menu, Load Original
// Language, the language kept across a restart, the shipped German file, and
// the manual page a language names.
#include <set>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>
#include <fstream>
#include <regex>

#include "base/CaseFold.h"
#include "state/Language.h"
#include "tests/ui/WindowFixture.h"
#include "ui/AddVolumeDialog.h"
#include "ui/Text.h"
#include "ui/Translator.h"

namespace tw::test {
namespace {

std::vector<std::string> ReadLines(const QString& file) { return TLanguageFile::Load(S(file)).Lines(); }

void WriteBytes(const QString& file, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(file).path());
  QFile out(file);
  QVERIFY(out.open(QIODevice::WriteOnly));
  out.write(bytes);
}

QAction* MenuEntry(TMainWindow& w, const QString& caption) {
  for (QAction* a : w.Menu("miLanguages")->actions())
    if (a->text() == caption) return a;
  return nullptr;
}

QStringList MenuCaptions(TMainWindow& w) {
  QStringList captions;
  for (QAction* a : w.Menu("miLanguages")->actions()) captions << a->text();
  return captions;
}

// The label of a dialog's field.
QLabel* LabelOf(QWidget* dialog, const char* field) {
  for (QLabel* label : dialog->findChildren<QLabel*>())
    if (label->buddy() && label->buddy()->objectName() == QLatin1String(field)) return label;
  qFatal("no label for %s", field);
}

// The texts the test changes, as the window shows them now.
QStringList Shown(TWindowFixture& f) {
  TMainWindow& w = *f.window;
  auto* pages = w.pcInfo;
  return {w.Command("miNew")->text(),
          w.Menu("miLibrary")->title(),
          w.lblPB->text(),
          w.lvDetails->model()->headerData(2, Qt::Horizontal).toString(),
          w.tab->tabText(1),
          pages->tabText(pages->indexOf(pages->findChild<QWidget*>("tsGeneral"))),
          w.Command("tbSave")->toolTip(),
          w.AddVolumeDialog().findChild<QCheckBox*>("cbNew")->text(),
          w.AddVolumeDialog().windowTitle(),
          LabelOf(&w.AddVolumeDialog(), "edTitle")->text(),
          Q(f.g->GetText("infoCancel")),
          Q(f.g->GetText("confLoad"))};
}

int Placeholders(const std::string& text) {
  int n = 0;
  for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + 2)) ++n;
  return n;
}

}  // namespace

class TranslatorTest : public QObject {
  Q_OBJECT
 private slots:
  void exportedTextsMakeALanguage();
  void shippedGermanTranslatesEveryText();
  void helpPages_data();
  void helpPages();
};

void TranslatorTest::exportedTextsMakeALanguage() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  w.LoadLanguage();
  const QString user = Q(w.Translator().UserFolder());
  const std::vector<std::string> builtIn = ReadLines(user + "OriginalLanguage.bab");
  const QStringList original = Shown(f);

  const QString exported = f.dir.filePath("export.bab");
  w.Translator().ExportLanguage(S(exported));
  std::vector<std::string> lines = ReadLines(exported);
  QCOMPARE(lines, builtIn);
  QVERIFY(!TLanguageFile::Load(S(exported)).Offered());
  // The window's components come before its caption; a separator never
  // shows; the components of a skipped one are left out, the menu itself not.
  const auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  QVERIFY(at("frmMain.miNew=&New") < at("frmMain.frmMain=Tarnwex"));
  QVERIFY(at("frmMain.frmMain=Tarnwex") < static_cast<long>(lines.size()));
  QVERIFY(at("frmMain.miLanguages=&Languages") < static_cast<long>(lines.size()));
  for (const auto& line : lines) QVERIFY2(line.find("=-") == std::string::npos || line.find("=-") + 2 < line.size(), line.c_str());

  // A translator's edit of the exported file.
  const std::map<std::string, std::string> changes = {
      {"frmMain.miNew", "&Nuovo"}, {"frmMain.miLibrary", "&Biblioteca"}, {"frmMain.lblPB", "Caricamento:"},
      {"frmMain.lvDetails.2", "Dimensione"}, {"frmMain.tab.1", "&Volume (it)"}, {"frmMain.tsGeneral", "&Generale"},
      {"frmMain.tbSave", "Salva"}, {"frmNewVolume.cbNew", "&Inserisci dopo"},
      {"frmNewVolume.frmNewVolume", "Nuovo volume"}, {"frmNewVolume.edTitle.Label", "&Titolo:"}, {"INFOCANCEL", "Operazione annullata"},
      {"CONFLOAD", "\"Caricare \"\"%s\"\"?\""}};
  std::vector<std::string> italian = {"menuname:Italiano", "helpfile:index.html"};
  size_t changed = 0;
  for (const auto& line : lines) {
    const std::string key = line.substr(0, line.find('='));
    const auto change = changes.find(key);
    if (change != changes.end()) ++changed;
    italian.push_back(change == changes.end() ? line : key + "=" + change->second);
  }
  QCOMPARE(changed, changes.size());
  italian.push_back("frmLate.lblLate=Tardi");
  WriteLanguageFile(S(user + "Italiano.bab"), italian);
  // Not offered without its first line; read as Windows-1252 when not UTF-8;
  // the user's copy of a shipped file wins.
  WriteBytes(user + "Plain.bab", "frmMain.miNew=Plain\r\n");
  WriteBytes(user + "Latin.bab", "menuname:Fran\xE7" "ais\r\nfrmMain.miOpen=&Ouvrir\xA0\xE0\r\n");
  WriteBytes(user + "Deutsch.bab", "menuname:Deutsch (eigene)\r\nfrmMain.miNew=&Eigenes Neu\r\n");

  QVERIFY(f.Restart());
  TMainWindow& v = *f.window;
  v.LoadLanguage();
  const QStringList captions = MenuCaptions(v);
  QVERIFY(captions.contains("Italiano"));
  QVERIFY(captions.contains(QString::fromUtf8("Fran\xC3\xA7" "ais")));
  QVERIFY(captions.contains("Deutsch (eigene)"));
  QCOMPARE(captions.filter("Deutsch").size(), 1);
  QVERIFY(!captions.contains("Plain"));
  QVERIFY(v.Command("tbLng")->isEnabled());

  MenuEntry(v, "Italiano")->trigger();
  QCOMPARE(Shown(f), (QStringList{"&Nuovo", "&Biblioteca", QString::fromUtf8("Caricamento:"), "Dimensione",
                                  "&Volume (it)", "&Generale", "Salva", "&Inserisci dopo", "Nuovo volume", "&Titolo:",
                                  "Operazione annullata", "Caricare \"%s\"?"}));
  QCOMPARE(f.g->LanguageName, std::string("Italiano"));
  QCOMPARE(v.Translator().HelpPage(), Q(InstalledFolder("manual")) + "index.html");
  // A window made after the language was chosen gets it when it shows.
  auto* late = new QDialog(&v);
  late->setObjectName("frmLate");
  auto* label = new QLabel("Late", late);
  label->setObjectName("lblLate");
  late->show();
  QCOMPARE(label->text(), QString("Tardi"));
  delete late;

  v.Command("miLoadOriginalLanguage")->trigger();
  QCOMPARE(Shown(f), original);
  QCOMPARE(f.g->LanguageName, std::string("OriginalLanguage.bab"));

  MenuEntry(v, QString::fromUtf8("Fran\xC3\xA7" "ais"))->trigger();
  QCOMPARE(v.Command("miOpen")->text(), QString::fromUtf8("&Ouvrir\xC2\xA0\xC3\xA0"));
  QCOMPARE(v.Command("miNew")->text(), QString("&New"));

  // The language chosen last is the one of the next start.
  MenuEntry(v, "Italiano")->trigger();
  QVERIFY(f.Restart());
  f.window->LoadLanguage();
  QCOMPARE(f.window->Command("miNew")->text(), QString("&Nuovo"));
  // The built-in texts are written before the language is applied.
  QCOMPARE(ReadLines(user + "OriginalLanguage.bab"), builtIn);
}

void TranslatorTest::shippedGermanTranslatesEveryText() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  w.LoadLanguage();
  const std::vector<std::string> builtIn = ReadLines(Q(w.Translator().UserFolder()) + "OriginalLanguage.bab");
  const TLanguageFile german = TLanguageFile::Load(InstalledFolder("languages") + "Deutsch.bab");
  QCOMPARE(german.MenuName(), std::string("Deutsch"));
  // Every key missing or with other placeholders, named at once.
  std::string missing, placeholders;
  for (const auto& line : builtIn) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const auto text = german.Find(key);
    if (!text || text->empty()) missing += "\n  " + line;
    else if (Placeholders(*text) != Placeholders(line.substr(eq + 1))) placeholders += " " + key;
  }
  QVERIFY2(missing.empty(), ("no German text for:" + missing).c_str());
  // And no German text for a key the program does not have (a misspelt
  // name would never show).
  std::set<std::string> keys;
  for (const auto& line : builtIn) keys.insert(UpperAscii(line.substr(0, line.find('='))));
  std::string unknown;
  for (const auto& line : german.Lines()) {
    const auto eq = line.find('=');
    if (eq == std::string::npos || line.rfind("menuname:", 0) == 0 || line.rfind("helpfile:", 0) == 0) continue;
    if (!keys.count(UpperAscii(line.substr(0, eq)))) unknown += "\n  " + line;
  }
  QVERIFY2(unknown.empty(), ("German text for no key:" + unknown).c_str());
  QVERIFY2(placeholders.empty(), ("other placeholders in:" + placeholders).c_str());
  QVERIFY(MenuEntry(w, "Deutsch"));
  MenuEntry(w, "Deutsch")->trigger();
  QCOMPARE(w.Command("miNew")->text(), QString("&Neu"));
  QCOMPARE(Q(f.g->GetText("infoCancel")), QString("Vorgang abgebrochen"));
  // Texts holding quotes come out of the table whole.
  QVERIFY(!Q(f.g->GetText("confLoad")).startsWith('"'));
  QVERIFY(Q(f.g->GetText("confLoad")).contains("%s"));
}

void TranslatorTest::helpPages_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QString>("page");
  const QString manual = Q(InstalledFolder("manual"));
  QTest::newRow("none") << QByteArray("x=y") << manual + "index.html";
  QTest::newRow("page") << QByteArray("helpfile:cli.html") << manual + "cli.html";
  QTest::newRow("out of the manual") << QByteArray("helpfile:../../etc/passwd.html") << manual + "index.html";
  QTest::newRow("absolute") << QByteArray("helpfile:/tmp/x.html") << manual + "index.html";
  QTest::newRow("no page") << QByteArray("helpfile:run.sh") << manual + "index.html";
}

void TranslatorTest::helpPages() {
  QFETCH(QByteArray, line);
  QFETCH(QString, page);
  TWindowFixture f;
  WriteBytes(f.dir.filePath("data/languages/Help.bab"), "menuname:Helpful\r\n" + line + "\r\n");
  QVERIFY(f.Restart());
  TMainWindow& w = *f.window;
  w.LoadLanguage();
  QVERIFY(QFileInfo(w.Translator().HelpPage()).isFile());
  MenuEntry(w, "Helpful")->trigger();
  QCOMPARE(w.Translator().HelpPage(), page);
  QVERIFY(QFileInfo(page).isFile());
  QVERIFY(w.Command("miContents")->isEnabled());
}

}  // namespace tw::test

QTEST_MAIN(tw::test::TranslatorTest)
#include "TranslatorTest.moc"
