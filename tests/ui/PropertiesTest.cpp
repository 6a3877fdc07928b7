// The properties dialog end to end through the real window: which page the
// commands open, what the pages show for one or several records, what OK
// writes back (only the changed fields, Update Subitems with and without
// Overwrite, the common tags), a volume rename re-sorting the volumes, and
// the folder size workers, which must be stopped and joined whenever the
// dialog closes, also while they count.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "base/RegUtils.h"
#include "state/Settings.h"
#include "tests/ui/WindowFixture.h"
#include "ui/CollectionTreeModel.h"
#include "ui/FileListModel.h"
#include "ui/FolderSizes.h"
#include "ui/FolderTreeModel.h"
#include "ui/PickList.h"
#include "ui/PropertiesDialog.h"
#include "ui/Text.h"
#include "ui/TextEditor.h"

using namespace tw;
using namespace tw::test;

namespace {

// Runs `step` on the next modal window of type T that shows, once. The
// destructor gives up waiting, so that a window that never showed cannot
// catch one of a later case.
template <class T>
class TWhenShown {
 public:
  explicit TWhenShown(std::function<void(T*)> step) : timer_(new QTimer) {
    timer_->setInterval(5);
    QObject::connect(timer_.get(), &QTimer::timeout, [this, step] {
      auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
      if (!window || !window->isVisible()) return;
      timer_->stop();
      Shown = true;
      step(window);
      // A step that failed half way leaves its window open: close it.
      if (window->isVisible()) window->reject();
    });
    timer_->start();
  }
  bool Shown = false;

 private:
  std::unique_ptr<QTimer> timer_;
};

TFolderNode* Volume(TLibObj& lib, const std::string& name, const std::string& source) {
  auto v = std::make_unique<TLibFolder>();
  v->Name = name;
  v->SourcePath = source;
  return lib.AddFolderRecord(nullptr, std::move(v));
}

TFolderNode* Folder(TLibObj& lib, TFolderNode* parent, const std::string& name, int64_t entrySize = 0) {
  auto entry = std::make_unique<TLibFolderItem>();
  entry->Name = name;
  entry->IsFolder = true;
  entry->Size = entrySize;
  lib.AddItem(parent->Data(), std::move(entry));
  auto f = std::make_unique<TLibFolder>();
  f->Name = name;
  f->IsFolder = 1;
  return lib.AddFolderRecord(parent, std::move(f));
}

TLibFolderItem* File(TLibObj& lib, TFolderNode* folder, const std::string& name, int64_t size,
                     const std::string& comments = {}, std::vector<std::string> tags = {},
                     const std::string& category = {}) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = name;
  item->Size = size;
  item->Comments = comments;
  item->Category = category;
  item->TagInfo.Tags = std::move(tags);
  return lib.AddItem(folder->Data(), std::move(item));
}

// "Disc B" with z.txt (7 bytes); "Disc M" with the archive arc.zip (100
// bytes, members of 30 and 40), x.txt (5) and the folder music: a.mp3 (1,
// comments A, tags Artist X, Album P, Mood calm), b.mp3 (2, comments B,
// Artist X, Album Q), c.txt (3) and the folder deep with d.txt (4,
// category Old). The tag list captions Album, Artist and Genre; Mood has
// no caption.
void AddSample(TWindowFixture& f) {
  TLibObj& lib = f.window->Library();
  File(lib, Volume(lib, "Disc B", "/media/b/"), "z.txt", 7);
  TFolderNode* discM = Volume(lib, "Disc M", "/media/m/");
  TFolderNode* archive = Folder(lib, discM, "arc.zip", 100);
  File(lib, archive, "m1.txt", 30);
  File(lib, archive, "m2.txt", 40);
  TFolderNode* music = Folder(lib, discM, "music");
  File(lib, music, "a.mp3", 1, "A", {"Artist=X", "Album=P", "Mood=calm"});
  File(lib, music, "b.mp3", 2, "B", {"Artist=X", "Album=Q"});
  File(lib, music, "c.txt", 3);
  File(lib, Folder(lib, music, "deep"), "d.txt", 4, {}, {}, "Old");
  File(lib, discM, "x.txt", 5);
  lib.Modified = false;
  f.g->TagsList.Clear();
  for (const char* line : {"Album=Album", "Artist=Artist", "Genre=Genre"}) f.g->TagsList.Add(line);
  f.g->SizeUnit = 0;
}

TFolderNode* Node(TLibObj& lib, const QString& path) {
  TFolderNode* node = nullptr;
  for (const QString& caption : path.split('/')) {
    TFolderNode* next = nullptr;
    const int count = node ? node->Count() : lib.Folders.TopCount();
    for (int i = 0; i < count && !next; ++i) {
      TFolderNode* child = node ? node->Item(i) : lib.Folders.Top(i);
      if (Q(child->Text) == caption) next = child;
    }
    node = next;
  }
  return node;
}

TLibFolderItem* Entry(TLibObj& lib, const QString& path) {
  const int slash = path.lastIndexOf('/');
  TFolderNode* node = Node(lib, path.left(slash));
  return node ? node->Data()->Items.FindExact(S(path.mid(slash + 1))) : nullptr;
}

// Selects the rows of these names in the file list; the first is current.
void SelectRows(TMainWindow& w, const QStringList& names) {
  QItemSelectionModel* selection = w.lvDetails->selectionModel();
  selection->clearSelection();
  QAbstractItemModel* list = w.lvDetails->model();
  QModelIndex first;
  for (const QString& name : names)
    for (int row = 0; row < list->rowCount(); ++row)
      if (list->index(row, 0).data().toString() == name) {
        selection->select(list->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (!first.isValid()) first = list->index(row, 0);
      }
  if (first.isValid()) selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
}

QStringList Grid(const TfrmProperties* d) {
  QStringList lines;
  for (int row = 0; row < d->vle->rowCount(); ++row)
    lines << d->vle->item(row, 0)->text() + "=" + (d->vle->item(row, 1) ? d->vle->item(row, 1)->text() : QString());
  return lines;
}

QStringList Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& line : lines) out << Q(line);
  return out;
}

QString CurrentRowName(TMainWindow& w) {
  const QModelIndex current = w.lvDetails->selectionModel()->currentIndex();
  return current.isValid() ? current.siblingAtColumn(0).data().toString() : QString();
}

}  // namespace

class PropertiesTest : public QObject {
  Q_OBJECT
 private slots:
  void EntryRules_data();
  void EntryRules();
  void FilePage_data();
  void FilePage();
  void TagsPage_data();
  void TagsPage();
  void UpdateSubitems_data();
  void UpdateSubitems();
  void VolumeRenameResortsTheVolumes();
  void SizesCountedInTheBackground();
  void ClosingStopsTheSizeWorkers_data();
  void ClosingStopsTheSizeWorkers();
};

void PropertiesTest::EntryRules_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("node");      // selected volume-tree node
  QTest::addColumn<QStringList>("rows");  // selected file-list rows
  QTest::addColumn<QString>("focus");     // "list", "tree" or ""
  QTest::addColumn<int>("page");          // -1: no dialog
  QTest::addColumn<QString>("nodeAfter");
  QTest::addColumn<bool>("topEditable");
  const int none = -1;
  QTest::newRow("volume menu on a folder") << "miVProperties" << "Disc M/music" << QStringList{} << "" << int(TfrmProperties::pgFolder) << "Disc M/music" << true;
  QTest::newRow("tree menu on a volume") << "pmTVProperties" << "Disc M" << QStringList{} << "" << int(TfrmProperties::pgVolume) << "Disc M" << true;
  QTest::newRow("tree rule without a node") << "miVProperties" << "" << QStringList{} << "" << none << "" << true;
  QTest::newRow("files menu on a file") << "miFProperties" << "Disc M/music" << QStringList{"c.txt"} << "" << int(TfrmProperties::pgFile) << "Disc M/music" << true;
  QTest::newRow("file rule without a row") << "pmLVProperties" << "Disc M/music" << QStringList{} << "" << none << "Disc M/music" << true;
  QTest::newRow("toolbar on a file") << "tbEdit" << "Disc M/music" << QStringList{"a.mp3"} << "" << int(TfrmProperties::pgFile) << "Disc M/music" << true;
  QTest::newRow("open on a folder row navigates") << "pmLVOpen" << "Disc M/music" << QStringList{"deep"} << "" << none << "Disc M/music/deep" << true;
  QTest::newRow("toolbar on a folder row navigates") << "tbEdit" << "Disc M/music" << QStringList{"deep"} << "" << none << "Disc M/music/deep" << true;
  QTest::newRow("Alt+Enter in the list on a folder row") << "Alt+Return" << "Disc M/music" << QStringList{"deep"} << "list" << int(TfrmProperties::pgFile) << "Disc M/music" << true;
  QTest::newRow("Alt+Enter in the tree") << "Alt+Return" << "Disc M/music" << QStringList{"deep"} << "tree" << int(TfrmProperties::pgFolder) << "Disc M/music" << true;
  QTest::newRow("library menu") << "miLProperties" << "Disc M" << QStringList{"x.txt"} << "" << int(TfrmProperties::pgLibrary) << "Disc M" << false;
  QTest::newRow("collection link to a file") << "link:x.txt" << "" << QStringList{} << "" << int(TfrmProperties::pgFile) << "Disc M" << true;
  QTest::newRow("collection link to a folder") << "link:music" << "" << QStringList{} << "" << int(TfrmProperties::pgFolder) << "Disc M/music" << true;
}

void PropertiesTest::EntryRules() {
  QFETCH(QString, command);
  QFETCH(QString, node);
  QFETCH(QStringList, rows);
  QFETCH(QString, focus);
  QFETCH(int, page);
  QFETCH(QString, nodeAfter);
  QFETCH(bool, topEditable);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  AddSample(f);
  TLibObj& lib = w.Library();
  lib.FileName = S(f.Path("lib.twl"));
  QFile(f.Path("lib.twl")).open(QIODevice::WriteOnly);
  if (command.startsWith("link:")) {
    // A link dropped from the list or the tree, selected in the collections tree.
    TFolderNode* discM = Node(lib, "Disc M");
    auto item = std::make_unique<TLibColItem>("link");
    TLibColItem* link = item.get();
    TColNode* colNode = lib.AddCollectionRecord(nullptr, std::move(item));
    if (command == "link:x.txt") link->LinkTo(discM->Data(), Entry(lib, "Disc M/x.txt"), colNode);
    else link->LinkTo(Node(lib, "Disc M/music")->Data(), nullptr, colNode);
    w.CollectionModel()->SetLibrary(&lib);
    w.SelectTab(2);
    w.tvCol->selectionModel()->setCurrentIndex(w.CollectionModel()->IndexOf(colNode),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    command = "miColProp";
  } else {
    w.SelectFolderNode(node.isEmpty() ? nullptr : Node(lib, node));
    SelectRows(w, rows);
  }
  const QString currentBefore = CurrentRowName(w);
  if (focus == "list") w.ListView()->setFocus();
  if (focus == "tree") w.tvNodes->setFocus();

  int shownPage = -1;
  bool editable[3] = {};
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    shownPage = d->pcProperties->currentIndex();
    for (int p = 0; p < 3; ++p) editable[p] = d->pcProperties->widget(p)->isEnabled();
    QVERIFY(d->pcProperties->widget(TfrmProperties::pgFile)->isEnabled());
    d->OKBtn->click();
  });
  if (command.startsWith("Alt+")) QVERIFY(w.DispatchShortcut(QKeySequence(command)));
  else w.Command(command)->trigger();
  QApplication::processEvents();

  QCOMPARE(shownPage, page);
  QCOMPARE(Q(w.SelectedFolderNode() ? w.SelectedFolderNode()->Data()->GetPath() : std::string()),
           nodeAfter.isEmpty() ? QString() : nodeAfter.replace('/', '\\') + "\\");
  if (page < 0) return;
  for (bool e : editable) QCOMPARE(e, topEditable);
  // Nothing changed: the library stays unmodified; the row stays current.
  QVERIFY(!lib.Modified);
  if (page == TfrmProperties::pgFile && !currentBefore.isEmpty()) QCOMPARE(CurrentRowName(w), currentBefore);
  QVERIFY(f.g->Registry().RegKeyExists(RegKey("Pos\\frmProperties")));
}

void PropertiesTest::FilePage_data() {
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("category");  // "-": left as shown
  QTest::addColumn<QString>("comments");  // "-": left as shown; "\n" in it: through the text editor
  QTest::addColumn<QString>("shownComments");
  QTest::addColumn<QString>("shownPath");
  QTest::addColumn<QStringList>("categories");  // of the rows afterwards
  QTest::addColumn<QStringList>("commentsAfter");
  QTest::addColumn<bool>("changed");
  QTest::addColumn<bool>("library");  // through the library's properties: the list is not filled again
  QTest::newRow("comments A and B, OK untouched") << QStringList{"a.mp3", "b.mp3"} << "-" << "-" << ""
      << "Disc M\\music\\a.mp3; Disc M\\music\\b.mp3" << QStringList{"", ""} << QStringList{"A", "B"} << true << false;
  QTest::newRow("only the category of three files") << QStringList{"a.mp3", "b.mp3", "c.txt"} << "Jazz" << "-" << ""
      << "Disc M\\music\\a.mp3; Disc M\\music\\b.mp3; Disc M\\music\\c.txt" << QStringList{"Jazz", "Jazz", "Jazz"}
      << QStringList{"A", "B", ""} << true << false;
  QTest::newRow("library properties, a file's category") << QStringList{"c.txt"} << "Text" << "-" << ""
      << "Disc M\\music\\c.txt" << QStringList{"Text"} << QStringList{""} << true << true;
  QTest::newRow("one file, nothing differs") << QStringList{"a.mp3"} << "-" << "-" << "A" << "Disc M\\music\\a.mp3"
      << QStringList{""} << QStringList{"A"} << false << false;
  QTest::newRow("comments through the editor") << QStringList{"a.mp3"} << "-" << "one\ntwo" << "A"
      << "Disc M\\music\\a.mp3" << QStringList{""} << QStringList{"one\ntwo"} << true << false;
  QTest::newRow("a folder entry and its folder") << QStringList{"deep"} << "Deep" << "below" << ""
      << "Disc M\\music\\deep" << QStringList{"Deep"} << QStringList{"below"} << true << false;
}

void PropertiesTest::FilePage() {
  QFETCH(QStringList, rows);
  QFETCH(QString, category);
  QFETCH(QString, comments);
  QFETCH(QString, shownComments);
  QFETCH(QString, shownPath);
  QFETCH(QStringList, categories);
  QFETCH(QStringList, commentsAfter);
  QFETCH(bool, changed);
  QFETCH(bool, library);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.lvDetails->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  AddSample(f);
  TLibObj& lib = w.Library();
  w.SelectFolderNode(Node(lib, "Disc M/music"));
  SelectRows(w, rows);

  QString editorTitle;
  QSignalSpy repainted(w.lvDetails->model(), &QAbstractItemModel::dataChanged);
  QSignalSpy refilled(w.lvDetails->model(), &QAbstractItemModel::modelReset);
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    QCOMPARE(d->pcProperties->currentIndex(), int(library ? TfrmProperties::pgLibrary : TfrmProperties::pgFile));
    d->pcProperties->setCurrentIndex(TfrmProperties::pgFile);
    QCOMPARE(d->filecom->text(), shownComments);
    QCOMPARE(d->filepath->text(), shownPath);
    QCOMPARE(d->filecaption->text(), rows.join("; "));
    if (category != "-") d->filecat->setEditText(category);
    if (comments.contains('\n')) {
      TWhenShown<TTextEditor> editor([&](TTextEditor* e) {
        editorTitle = e->windowTitle();
        e->SetText(comments);
        e->accept();
      });
      d->findChild<QToolButton*>("tbFileCom")->click();
    } else if (comments != "-") {
      d->filecom->setText(comments);
    }
    d->OKBtn->click();
  });
  w.Command(library ? "miLProperties" : "pmLVProperties")->trigger();
  QVERIFY(answer.Shown);
  // The list is filled again, or its rows repaint what changed.
  if (library) QVERIFY(refilled.isEmpty() && !repainted.isEmpty());
  else QCOMPARE(refilled.count(), 1);

  for (int i = 0; i < rows.size(); ++i) {
    const TLibFolderItem* item = Entry(lib, "Disc M/music/" + rows[i]);
    QCOMPARE(Q(item->Category), categories[i]);
    QCOMPARE(Q(item->Comments), commentsAfter[i]);
    // The list shows what the entry holds now.
    const int row = static_cast<TFileListModel*>(w.lvDetails->model())->RowOf(item);
    QCOMPARE(w.lvDetails->model()->index(row, TFileListModel::ColCategory).data().toString(), categories[i]);
  }
  if (comments.contains('\n')) QCOMPARE(editorTitle, QString("Edit Comments - a.mp3"));
  if (rows == QStringList{"deep"}) {
    // The folder the entry stands for takes the same fields.
    const TLibFolder* deep = Node(lib, "Disc M/music/deep")->Data();
    QCOMPARE(Q(deep->Category), categories[0]);
    QCOMPARE(Q(deep->Comments), commentsAfter[0]);
  }
  QCOMPARE(lib.Modified, changed);
  // The row that was current is current again.
  QCOMPARE(CurrentRowName(w), rows[0]);
}

void PropertiesTest::TagsPage_data() {
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QStringList>("shown");  // the grid: caption=value
  QTest::addColumn<QString>("edit");       // caption=value written into the grid
  QTest::addColumn<QString>("add");        // caption checked in the pick list
  QTest::addColumn<QStringList>("tagsA");  // a.mp3's tags afterwards
  QTest::addColumn<QStringList>("tagsB");
  QTest::addColumn<bool>("changed");
  const QStringList a{"Artist=X", "Album=P", "Mood=calm"}, b{"Artist=X", "Album=Q"};
  QTest::newRow("common tag edited, empty new tag not written")
      << QStringList{"a.mp3", "b.mp3"} << QStringList{"Artist=X"} << "Artist=Y" << "Genre"
      << QStringList{"Artist=Y", "Album=P", "Mood=calm"} << QStringList{"Artist=Y", "Album=Q"} << true;
  QTest::newRow("new tag with a value") << QStringList{"b.mp3"} << QStringList{"Artist=X", "Album=Q"} << "Genre=Pop"
      << "Genre" << a << QStringList{"Artist=X", "Album=Q", "Genre=Pop"} << true;
  QTest::newRow("a tag without caption stays as it is") << QStringList{"a.mp3"}
      << QStringList{"Artist=X", "Album=P", "Mood=calm"} << "" << "" << a << b << false;
  QTest::newRow("a tag without caption edited") << QStringList{"a.mp3"}
      << QStringList{"Artist=X", "Album=P", "Mood=calm"} << "Mood=sad" << "" << QStringList{"Artist=X", "Album=P", "Mood=sad"} << b << true;
  QTest::newRow("a row without tags first shares none") << QStringList{"deep", "a.mp3"} << QStringList{} << "" << ""
      << a << b << true;
}

void PropertiesTest::TagsPage() {
  QFETCH(QStringList, rows);
  QFETCH(QStringList, shown);
  QFETCH(QString, edit);
  QFETCH(QString, add);
  QFETCH(QStringList, tagsA);
  QFETCH(QStringList, tagsB);
  QFETCH(bool, changed);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  AddSample(f);
  TLibObj& lib = w.Library();
  w.SelectFolderNode(Node(lib, "Disc M/music"));
  SelectRows(w, rows);
  QStringList grid;
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    grid = Grid(d);
    d->pcProperties->setCurrentIndex(TfrmProperties::pgTags);
    if (!add.isEmpty()) {
      TWhenShown<TfrmPickList> pick([&](TfrmPickList* p) {
        QCOMPARE(p->clbKeys->count(), 3);
        for (int i = 0; i < p->clbKeys->count(); ++i)
          if (p->clbKeys->item(i)->text() == add) p->clbKeys->item(i)->setCheckState(Qt::Checked);
        p->accept();
      });
      d->findChild<QAction*>("tbAdd")->trigger();
      QVERIFY(pick.Shown);
    }
    if (!edit.isEmpty()) {
      const QString key = edit.section('=', 0, 0);
      for (int row = 0; row < d->vle->rowCount(); ++row)
        if (d->vle->item(row, 0)->text() == key) d->vle->item(row, 1)->setText(edit.section('=', 1));
    }
    d->OKBtn->click();
  });
  w.Command("pmLVProperties")->trigger();
  QVERIFY(answer.Shown);
  QCOMPARE(grid, shown);
  QCOMPARE(Lines(Entry(lib, "Disc M/music/a.mp3")->TagInfo.Tags), tagsA);
  QCOMPARE(Lines(Entry(lib, "Disc M/music/b.mp3")->TagInfo.Tags), tagsB);
  QCOMPARE(lib.Modified, changed);
}

void PropertiesTest::UpdateSubitems_data() {
  QTest::addColumn<bool>("update");
  QTest::addColumn<bool>("overwrite");
  QTest::addColumn<QString>("deepFile");   // d.txt's category afterwards
  QTest::addColumn<QString>("emptyFile");  // c.txt's
  QTest::addColumn<QString>("deepFolder");
  QTest::newRow("update and overwrite") << true << true << "Rock" << "Rock" << "Rock";
  QTest::newRow("update fills empty ones") << true << false << "Old" << "Rock" << "Rock";
  QTest::newRow("no update") << false << false << "Old" << "" << "";
}

void PropertiesTest::UpdateSubitems() {
  QFETCH(bool, update);
  QFETCH(bool, overwrite);
  QFETCH(QString, deepFile);
  QFETCH(QString, emptyFile);
  QFETCH(QString, deepFolder);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  AddSample(f);
  TLibObj& lib = w.Library();
  w.SelectFolderNode(Node(lib, "Disc M/music"));
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    QCOMPARE(d->pcProperties->currentIndex(), int(TfrmProperties::pgFolder));
    QCOMPARE(d->catpath->text(), QString("Disc M\\"));
    d->cb_rec_fol->setChecked(update);
    QCOMPARE(d->cb_rec_folow->isEnabled(), update);
    d->cb_rec_folow->setChecked(overwrite);
    d->catcat->setEditText("Rock");
    d->OKBtn->click();
  });
  w.TreeProperties();
  QVERIFY(answer.Shown);
  QCOMPARE(Q(Node(lib, "Disc M/music")->Data()->Category), QString("Rock"));
  // The parent's entry for the folder takes the new category too.
  QCOMPARE(Q(Entry(lib, "Disc M/music")->Category), QString("Rock"));
  QCOMPARE(Q(Entry(lib, "Disc M/music/deep/d.txt")->Category), deepFile);
  QCOMPARE(Q(Entry(lib, "Disc M/music/c.txt")->Category), emptyFile);
  QCOMPARE(Q(Node(lib, "Disc M/music/deep")->Data()->Category), deepFolder);
  QCOMPARE(Q(Entry(lib, "Disc M/music/a.mp3")->Comments), QString(update && overwrite ? "" : "A"));
  QVERIFY(lib.Modified);
  // The boxes keep their state for the next showing.
  TWhenShown<TfrmProperties> again([&](TfrmProperties* d) {
    QCOMPARE(d->cb_rec_fol->isChecked(), update);
    QCOMPARE(d->cb_rec_folow->isChecked(), overwrite);
    QCOMPARE(d->cb_rec_folow->isEnabled(), update);
    QCOMPARE(d->catcat->currentText(), QString("Rock"));
    d->CancelBtn->click();
  });
  w.TreeProperties();
  QVERIFY(again.Shown);
}

void PropertiesTest::VolumeRenameResortsTheVolumes() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvNodes->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  AddSample(f);
  TLibObj& lib = w.Library();
  f.g->SortVolumes = false;
  TFolderNode* discM = Node(lib, "Disc M");
  w.SelectFolderNode(discM);
  // The workers are still counting when OK writes: it waits for them.
  w.PropertiesDialog().Sizes().AfterHandOver = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    QCOMPARE(d->pcProperties->currentIndex(), int(TfrmProperties::pgVolume));
    QCOMPARE(d->volDrive->text(), QString("/media/m/"));
    QVERIFY(d->volDrive->isReadOnly());
    d->tbEditDrive->setChecked(true);
    QVERIFY(!d->volDrive->isReadOnly());
    d->volCaption->setText("Disc A");
    d->volLoc->setEditText("Shelf 2");
    QVERIFY(d->RunningSizeWorkers() > 0);
    d->OKBtn->click();
    QCOMPARE(d->RunningSizeWorkers(), 0);
  });
  w.TreeProperties();
  QVERIFY(answer.Shown);
  QAbstractItemModel* tree = w.tvNodes->model();
  QCOMPARE(tree->index(0, 0).data().toString(), QString("Disc A"));
  QCOMPARE(tree->index(1, 0).data().toString(), QString("Disc B"));
  QCOMPARE(discM->Data()->Name, std::string("Disc A"));
  QCOMPARE(discM->Data()->Location, std::string("Shelf 2"));
  QCOMPARE(w.SelectedFolderNode(), discM);
  QCOMPARE(w.sb_loc->Text(0), QString("Shelf 2"));
  QVERIFY(lib.Modified);
}

void PropertiesTest::SizesCountedInTheBackground() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  AddSample(f);
  TLibObj& lib = w.Library();
  lib.FileName = S(f.Path("lib.twl"));
  {
    QFile file(f.Path("lib.twl"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1234, 'x'));
  }
  w.SelectFolderNode(Node(lib, "Disc M/music"));
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    // Archive members count, archive files and folder entries do not.
    QTRY_COMPARE(d->catSize->text(), QString("10"));
    QTRY_COMPARE(d->volsize->text(), QString("85"));
    QTRY_COMPARE(d->infoFis->text(), QString("92"));
    QTRY_COMPARE(d->RunningSizeWorkers(), 0);
    QCOMPARE(d->libsize->text(), Q(FormatSize(0, 1234, f.g->TextFormat())));
    QCOMPARE(d->infoV->text(), QString("2"));
    QCOMPARE(d->infoF->text(), QString("3"));
    QCOMPARE(d->infoFi->text(), QString("8"));
    // Refresh counts again, the byte count stays.
    TFolderNode* discB = Node(lib, "Disc B");
    File(lib, discB, "new.txt", 1);
    d->btnRefresh->click();
    QCOMPARE(d->infoFi->text(), QString("9"));
    QCOMPARE(d->infoFis->text(), QString("92"));
    d->CancelBtn->click();
  });
  w.TreeProperties();
  QVERIFY(answer.Shown);
}

void PropertiesTest::ClosingStopsTheSizeWorkers_data() {
  QTest::addColumn<QString>("close");
  QTest::newRow("OK") << "ok";
  QTest::newRow("Cancel") << "cancel";
  QTest::newRow("window closed") << "close";
}

void PropertiesTest::ClosingStopsTheSizeWorkers() {
  QFETCH(QString, close);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  AddSample(f);
  TLibObj& lib = w.Library();
  lib.FileName = S(f.Path("lib.twl"));
  QFile(f.Path("lib.twl")).open(QIODevice::WriteOnly);
  w.SelectFolderNode(Node(lib, "Disc M/music"));
  TfrmProperties& dialog = w.PropertiesDialog();
  // Each hand-over keeps its worker a good while: they count when the
  // dialog closes.
  dialog.Sizes().AfterHandOver = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
  int runningWhenClosed = 0;
  TWhenShown<TfrmProperties> answer([&](TfrmProperties* d) {
    runningWhenClosed = d->RunningSizeWorkers();
    d->catcat->setEditText("Counted");
    if (close == "ok") d->OKBtn->click();
    else if (close == "cancel") d->CancelBtn->click();
    else d->close();
  });
  w.TreeProperties();
  QVERIFY(answer.Shown);
  QVERIFY(runningWhenClosed > 0);
  QCOMPARE(dialog.RunningSizeWorkers(), 0);
  QCOMPARE(Q(Node(lib, "Disc M/music")->Data()->Category), QString(close == "ok" ? "Counted" : ""));
  // A folder size still counting when the dialog closed is not shown later.
  const QString shown = dialog.catSize->text();
  QTest::qWait(100);
  QCOMPARE(dialog.catSize->text(), shown);
}

QTEST_MAIN(PropertiesTest)
#include "PropertiesTest.moc"
