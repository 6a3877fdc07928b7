// The export and import dialogs end to end through the real window: the
// dialog's choices against the request the command-line tool makes from its
// options, the remembered choices, and a volume exported and imported back
// into a new library.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>

#include "exchange/Export.h"
#include "state/Commands.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/WindowFixture.h"
#include "ui/ExportDialog.h"
#include "ui/ImportDialog.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"

using namespace tw;
using namespace tw::test;

namespace {

void WriteFile(const QString& path, int size) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  file.write(QByteArray(size, 'x'));
}

// A scanned volume "Small": a.txt, b,c.txt, sub/c.txt, sub/deep/d.txt.
TFolderNode* AddSmallVolume(TWindowFixture& f) {
  const QString root = f.Path("small");
  WriteFile(root + "/a.txt", 3);
  WriteFile(root + "/b,c.txt", 1536);
  WriteFile(root + "/sub/c.txt", 7);
  WriteFile(root + "/sub/deep/d.txt", 11);
  TAddVolumeRequest request;
  request.Folder = S(root);
  request.Title = "Small";
  TFolderNode* volume = AddVolumeCommand(*f.g, request);
  f.window->RefreshView();
  return volume;
}

// Checks the named fields in this order at the top of the list, moving
// them there with the Move Up button; the others are cleared.
void ChooseFields(QListWidget* list, QPushButton* up, const QStringList& names) {
  for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Unchecked);
  for (int k = 0; k < names.size(); ++k) {
    const auto found = list->findItems(names[k], Qt::MatchExactly);
    if (found.isEmpty()) qFatal("no field %s", qPrintable(names[k]));
    list->setCurrentRow(list->row(found.first()));
    while (list->currentRow() > k) up->click();
    list->item(k)->setCheckState(Qt::Checked);
  }
}

// The options the command-line tool makes of --fields and the switches.
TExportOptions CliOptions(const std::string& file, const QStringList& names, const QString& separator,
                          const QString& qualifier, int unit, int levels, const QStringList& flags) {
  TExportOptions o;
  o.FileName = file;
  std::vector<TExportField> rest = DefaultExportFields();
  o.Fields.clear();
  for (const QString& name : names) {
    auto it = std::find_if(rest.begin(), rest.end(), [&](const TExportField& f) { return f.Name == S(name); });
    o.Fields.push_back({it->Name, true});
    rest.erase(it);
  }
  o.Fields.insert(o.Fields.end(), rest.begin(), rest.end());
  o.Separator = S(separator);
  o.TextQualifier = S(qualifier);
  o.SizeUnit = unit;
  o.UseLevels = levels > 0;
  o.Levels = levels > 0 ? levels : 1;
  o.Indent = flags.contains("indent");
  o.Folders = flags.contains("folders");
  o.FolderTotals = flags.contains("totals");
  o.OnlyFolders = flags.contains("only-folders");
  o.Archives = flags.contains("archives");
  return o;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every folder path and every file entry as path, name and size.
QStringList Contents(const TLibObj& lib) {
  QStringList lines;
  for (TFolderNode* node = lib.Folders.GetFirstNode(); node; node = node->GetNext()) {
    lines << "folder " + Q(node->Data()->GetPath());
    for (const auto& item : node->Data()->Items)
      if (!item->IsFolder) lines << QString("file %1 %2").arg(Q(item->GetItemPath())).arg(item->Size);
  }
  lines.sort();
  return lines;
}

}  // namespace

class ExchangeDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void ExportChoicesMakeTheToolsRequest_data();
  void ExportChoicesMakeTheToolsRequest();
  void ExportChoicesAreRemembered();
  void ExportThenImportRoundTrips();
  void ExportRefusesTheLibraryFile();
};

void ExchangeDialogsTest::ExportChoicesMakeTheToolsRequest_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QStringList>("fields");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("qualifier");
  QTest::addColumn<int>("unit");
  QTest::addColumn<int>("levels");
  QTest::addColumn<QStringList>("flags");
  QTest::newRow("name and size in KB") << "miExport" << QStringList{"Name", "Size"} << "Comma" << "\"" << 1 << 0
                                       << QStringList{};
  QTest::newRow("reordered, tab, apostrophe")
      << "miExport" << QStringList{"FilePath", "Volume", "Size", "Comments", "Type"} << "Tab" << "'" << 0 << 0
      << QStringList{};
  QTest::newRow("folders with totals, indented, two levels")
      << "miExport" << QStringList{"Path", "Name", "Size"} << ";" << "" << 2 << 2
      << QStringList{"indent", "folders", "totals"};
  QTest::newRow("only folders, new line") << "miExport" << QStringList{"Name", "Location"} << "New Line" << "\"" << 0
                                          << 0 << QStringList{"folders", "only-folders"};
  QTest::newRow("selected folder from the toolbar")
      << "tbExport" << QStringList{"Volume", "Path", "Name"} << "Comma" << "\"" << 0 << 0 << QStringList{"archives"};
  QTest::newRow("selected folder from the tree's menu")
      << "pmTVExport" << QStringList{"Name", "Date"} << " | " << "\"" << 0 << 1 << QStringList{"indent"};
}

void ExchangeDialogsTest::ExportChoicesMakeTheToolsRequest() {
  QFETCH(QString, command);
  QFETCH(QStringList, fields);
  QFETCH(QString, separator);
  QFETCH(QString, qualifier);
  QFETCH(int, unit);
  QFETCH(int, levels);
  QFETCH(QStringList, flags);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TFolderNode* volume = AddSmallVolume(f);
  QVERIFY(volume);
  TFolderNode* sub = volume->Count() > 0 ? volume->Item(0) : nullptr;
  QVERIFY(sub);
  const bool selection = command != "miExport";
  if (selection) w.SelectFolderNode(sub);
  QVERIFY(w.Command(command)->isEnabled());

  const QString out = f.Path("dialog.txt");
  WhenShown<TfrmExport>([&](TfrmExport* d) {
    QCOMPARE(d->windowTitle(), Q(f.g->GetText(selection ? "expCaptVol" : "expCaptLib")));
    d->edfile->setText(out);
    ChooseFields(d->lbFields, d->btnUp, fields);
    d->cbSep->setEditText(separator);
    d->cbTxtQ->setEditText(qualifier);
    d->cbK->setCurrentIndex(unit);
    d->cbLev->setChecked(levels > 0);
    if (levels > 0) d->seLev->setValue(levels);
    d->cbIndent->setChecked(flags.contains("indent"));
    d->cbFolders->setChecked(flags.contains("folders"));
    d->cbFldProp->setChecked(flags.contains("totals"));
    d->cbOnlyFld->setChecked(flags.contains("only-folders"));
    d->cbArch->setChecked(flags.contains("archives"));
    d->OKBtn->click();
  });
  w.Command(command)->trigger();
  f.Wait();
  f.host.FlushLog();
  QVERIFY(w.Command(command)->isEnabled());

  const QString expected = f.Path("tool.txt");
  TExportSourceData source;
  if (selection) source = {esSelection, {sub}, {}};
  TExport tool(*f.g, CliOptions(S(expected), fields, separator, qualifier, unit, levels, flags), source);
  QVERIFY(tool.Export());
  f.g->EndProgress({});
  const QByteArray written = ReadAll(out);
  QCOMPARE(written, ReadAll(expected));
  // The request wrote something worth comparing.
  QVERIFY(written.size() > 2);
}

void ExchangeDialogsTest::ExportChoicesAreRemembered() {
  TWindowFixture f;
  const QString out = f.Path("kept.txt");
  WhenShown<TfrmExport>([&](TfrmExport* d) {
    d->edfile->setText(out);
    ChooseFields(d->lbFields, d->btnUp, {"Size", "Name"});
    d->cbSep->setEditText("Tab");
    d->cbK->setCurrentIndex(2);
    d->cbLev->setChecked(true);
    d->seLev->setValue(7);
    d->cbFolders->setChecked(true);
    d->cbOnlyFld->setChecked(true);
    d->CancelBtn->click();
  });
  QVERIFY(!f.window->ExportCommand(esLibrary));
  QVERIFY(f.Restart());

  TExportOptions seen;
  WhenShown<TfrmExport>([&](TfrmExport* d) {
    QVERIFY(d->OKBtn->isEnabled());
    QVERIFY(d->cbOnlyFld->isEnabled());
    seen = d->Options();
    d->CancelBtn->click();
  });
  f.window->ExportCommand(esLibrary);
  QCOMPARE(Q(seen.FileName), out);
  QCOMPARE(Q(seen.Fields[0].Name + seen.Fields[1].Name + seen.Fields[2].Name), QString("SizeNameVolume"));
  QVERIFY(seen.Fields[0].Checked && seen.Fields[1].Checked && !seen.Fields[2].Checked);
  QCOMPARE(Q(seen.Separator), QString("Tab"));
  QCOMPARE(seen.SizeUnit, 2);
  QVERIFY(seen.UseLevels);
  QCOMPARE(seen.Levels, 7);
  QVERIFY(seen.Folders && seen.OnlyFolders && !seen.FolderTotals);
}

void ExchangeDialogsTest::ExportThenImportRoundTrips() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QVERIFY(AddSmallVolume(f));
  const QStringList before = Contents(w.Library());
  const QString out = f.Path("round.txt");
  const QStringList nine = {"Volume", "VolumeSerialNo", "Path", "Name", "Size", "Date", "Category", "Comments",
                            "Location"};
  WhenShown<TfrmExport>([&](TfrmExport* d) {
    d->edfile->setText(out);
    ChooseFields(d->lbFields, d->btnUp, nine);
    // Names are written unqualified: a comma in one needs another separator.
    d->cbSep->setEditText("Tab");
    d->cbK->setCurrentIndex(0);
    d->cbLev->setChecked(false);
    d->cbFolders->setChecked(false);
    d->cbArch->setChecked(false);
    d->cbIndent->setChecked(false);
    d->OKBtn->click();
  });
  w.Command("miExport")->trigger();
  f.Wait();
  QVERIFY(QFileInfo(out).size() > 0);

  w.Library().Modified = false;
  w.NewLibrary();
  QCOMPARE(w.Library().Folders.TopCount(), 0);
  WhenShown<TfrmImport>([&](TfrmImport* d) {
    QVERIFY(!d->cbK->isEnabled());
    d->edfile->setText(out);
    ChooseFields(d->lb, d->btnUp, nine);
    // Volume, Path and Name cannot be left out.
    d->lb->item(0)->setCheckState(Qt::Unchecked);
    QCOMPARE(d->lb->item(0)->checkState(), Qt::Checked);
    d->cbSep->setEditText("Tab");
    d->cbTxtQ->setEditText("\"");
    d->OKBtn->click();
  });
  QVERIFY(w.Command("miImpText")->isEnabled());
  w.Command("miImpText")->trigger();
  f.Wait();

  TLibObj& lib = w.Library();
  QCOMPARE(Contents(lib), before);
  QVERIFY(lib.Modified);
  QVERIFY(lib.CurVolumeNode);
  QCOMPARE(w.SelectedFolderNode(), lib.CurVolumeNode);
  QCOMPARE(Q(lib.CurVolumeNode->Text), QString("Small"));
}

void ExchangeDialogsTest::ExportRefusesTheLibraryFile() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QVERIFY(AddSmallVolume(f));
  const QString file = f.Path("lib.tlb");
  w.SaveLibraryAs(file);
  f.Wait();
  const QByteArray saved = ReadAll(file);
  QVERIFY(saved.size() > 0);
  WhenShown<TfrmExport>([&](TfrmExport* d) {
    d->edfile->setText(file);
    ChooseFields(d->lbFields, d->btnUp, {"Name"});
    d->OKBtn->click();
  });
  QVERIFY(!w.ExportCommand(esLibrary));
  f.Wait();
  QCOMPARE(ReadAll(file), saved);
}

QTEST_MAIN(ExchangeDialogsTest)
#include "ExchangeDialogsTest.moc"
