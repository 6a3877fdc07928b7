// The main window end to end: a library opened, browsed, sorted, edited and
// closed through the real window.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTabBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>

#include "base/Operation.h"
#include "base/TextUtils.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/Text.h"
#include "tests/ui/WindowFixture.h"

using namespace tw;
using namespace tw::test;

namespace {

TFolderNode* Volume(TLibObj& lib, const std::string& name, const std::string& location = {}) {
  auto v = std::make_unique<TLibFolder>();
  v->Name = name;
  v->Location = location;
  return lib.AddFolderRecord(nullptr, std::move(v));
}

TFolderNode* Folder(TLibObj& lib, TFolderNode* parent, const std::string& name) {
  auto entry = std::make_unique<TLibFolderItem>();
  entry->Name = name;
  entry->IsFolder = true;
  lib.AddItem(parent->Data(), std::move(entry));
  auto f = std::make_unique<TLibFolder>();
  f->Name = name;
  f->IsFolder = 1;
  return lib.AddFolderRecord(parent, std::move(f));
}

TLibFolderItem* File(TLibObj& lib, TFolderNode* folder, const std::string& name, int64_t size, double date = 40000,
                     const std::string& category = {}) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = name;
  item->Size = size;
  item->Date = date;
  item->Category = category;
  return lib.AddItem(folder->Data(), std::move(item));
}

// Two volumes: "Disc B" (location "Shelf 2") with folders b and a.zip and
// files, "Disc A" with one file; the volumes sort by name when read.
void WriteSample(const std::string& file) {
  TLibObj lib;
  TFolderNode* discB = Volume(lib, "Disc B", "Shelf 2");
  TFolderNode* b = Folder(lib, discB, "b");
  File(lib, b, "inner.txt", 10);
  Folder(lib, discB, "a.zip");
  File(lib, discB, "c.txt", 300, 40100, "Docs");
  File(lib, discB, "d.mp3", 2000, 40050, "Music");
  TFolderNode* discA = Volume(lib, "Disc A");
  File(lib, discA, "only.txt", 5);
  lib.RecountTotals();
  TQuietOperation op;
  lib.SaveLibrary(file, op);
}

QStringList Column(QAbstractItemModel* model, int column) {
  QStringList texts;
  for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, column).data().toString();
  return texts;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void OpenFillsTreeListBarsAndInfo();
  void SortComparison_data();
  void SortComparison();
  void ColumnClicksFlipDirections();
  void CloseQuery_data();
  void CloseQuery();
  void MixedWidthsSurviveTabSwitches();
  void ModelsPassTheModelTester();
};

void MainWindowTest::OpenFillsTreeListBarsAndInfo() {
  TWindowFixture f;
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.Open(file);
  TMainWindow& w = *f.window;
  QAbstractItemModel* tree = w.tvNodes->model();
  QCOMPARE(tree->rowCount(), 2);
  QCOMPARE(tree->index(1, 0).data().toString(), QString("Disc B"));
  QCOMPARE(tree->rowCount(tree->index(1, 0)), 2);  // b and a.zip

  w.SelectFolderNode(w.Library().Folders.Top(1));
  QAbstractItemModel* list = w.lvDetails->model();
  // Folders first, the archive among the files, ascending by name.
  QCOMPARE(Column(list, 0), QStringList({"b", "a.zip", "c.txt", "d.mp3"}));
  QCOMPARE(Column(list, 1), QStringList({"", "", "txt", "mp3"}));
  QCOMPARE(list->index(2, 2).data().toString(), QString("300"));
  QCOMPARE(w.sb_fp->Text(0), QString("[Disc B]\\"));
  QCOMPARE(w.sb_loc->Text(0), QString("Shelf 2"));
  QCOMPARE(w.sb->Text(0), QString("Files: 4"));
  QCOMPARE(w.sb_tree->Text(0), QString("Volumes: 2"));
  QCOMPARE(w.sb_main->Text(0), file);

  // A row selected: its category, the folder's location, its comments.
  w.lvDetails->setFocus();
  w.lvDetails->setCurrentIndex(list->index(2, 0));
  QCOMPARE(w.infolblCat->text(), QString("Category: Docs"));
  QCOMPARE(w.infolblLoc->text(), QString("Location: Shelf 2"));
  // Open on a folder entry goes into that folder.
  w.lvDetails->setCurrentIndex(list->index(0, 0));
  w.OpenSelectedRow();
  QCOMPARE(w.sb_fp->Text(0), QString("[Disc B]\\b\\"));
  QCOMPARE(Column(list, 0), QStringList({"inner.txt"}));
}

void MainWindowTest::SortComparison_data() {
  QTest::addColumn<int>("column");
  QTest::addColumn<int>("direction");
  QTest::addColumn<QStringList>("order");
  QTest::newRow("name ascending") << 0 << 2 << QStringList{"b", "a.zip", "c.txt", "d.mp3"};
  QTest::newRow("name descending") << 0 << 1 << QStringList{"d.mp3", "c.txt", "a.zip", "b"};
  // Folder entries have no type; equal keys keep the order of Items (by name).
  QTest::newRow("type ascending") << 1 << 2 << QStringList{"a.zip", "b", "d.mp3", "c.txt"};
  QTest::newRow("size descending") << 2 << 1 << QStringList{"d.mp3", "c.txt", "a.zip", "b"};
  QTest::newRow("date ascending") << 3 << 2 << QStringList{"b", "a.zip", "d.mp3", "c.txt"};
  QTest::newRow("category descending") << 4 << 1 << QStringList{"d.mp3", "c.txt", "a.zip", "b"};
}

void MainWindowTest::SortComparison() {
  QFETCH(int, column);
  QFETCH(int, direction);
  QFETCH(QStringList, order);
  TLibObj lib;
  TFolderNode* v = Volume(lib, "V");
  Folder(lib, v, "b")->Data();
  Folder(lib, v, "a.zip");
  File(lib, v, "c.txt", 300, 40100, "Docs");
  File(lib, v, "d.mp3", 2000, 40050, "Music");
  v->Data()->Items.Find("b")->Date = 10;
  v->Data()->Items.Find("a.zip")->Date = 20;
  std::vector<TLibFolderItem*> rows;
  for (const auto& item : v->Data()->Items) rows.push_back(item.get());
  std::stable_sort(rows.begin(), rows.end(), [&](const TLibFolderItem* a, const TLibFolderItem* b) {
    return CompareRows(*a, *b, column, direction, ";") < 0;
  });
  QStringList names;
  for (const TLibFolderItem* item : rows) names << Q(item->Name);
  // Equal keys (b and a.zip have no size) keep their order.
  QCOMPARE(names, order);
  // The comparison is antisymmetric and 0 only for equal keys.
  for (const TLibFolderItem* a : rows)
    for (const TLibFolderItem* b : rows) QCOMPARE(CompareRows(*a, *b, column, direction, ";"), -CompareRows(*b, *a, column, direction, ";"));
}

void MainWindowTest::ColumnClicksFlipDirections() {
  TWindowFixture f;
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.Open(file);
  TMainWindow& w = *f.window;
  w.SelectFolderNode(w.Library().Folders.Top(1));
  QAbstractItemModel* list = w.lvDetails->model();
  // The first click on Size sorts largest first, the second smallest first.
  w.lvDetails->header()->sectionClicked(2);
  QCOMPARE(Column(list, 0).first(), QString("d.mp3"));
  w.lvDetails->header()->sectionClicked(2);
  QCOMPARE(Column(list, 0).last(), QString("d.mp3"));
  // Name starts ascending, so its first click sorts descending.
  w.lvDetails->header()->sectionClicked(0);
  QCOMPARE(Column(list, 0), QStringList({"d.mp3", "c.txt", "a.zip", "b"}));
  QCOMPARE(f.g->SortColumn, 0);
  QVERIFY(w.Command("miFArrange0")->isChecked());
  QVERIFY(w.Command("pmLVArrange0")->isChecked());
}

void MainWindowTest::CloseQuery_data() {
  QTest::addColumn<bool>("modified");
  QTest::addColumn<bool>("confirmExit");
  QTest::addColumn<bool>("confirmSave");
  QTest::addColumn<QList<int>>("answers");  // TMsgAnswer values, in order
  QTest::addColumn<int>("questions");
  QTest::addColumn<bool>("closes");
  QTest::addColumn<bool>("saved");
  using A = TMsgAnswer;
  QTest::newRow("unmodified") << false << true << true << QList<int>{} << 0 << true << false;
  QTest::newRow("exit no") << true << true << true << QList<int>{int(A::No)} << 1 << false << false;
  QTest::newRow("save yes") << true << true << true << QList<int>{int(A::Yes), int(A::Yes)} << 2 << true << true;
  QTest::newRow("save no") << true << true << true << QList<int>{int(A::Yes), int(A::No)} << 2 << true << false;
  QTest::newRow("save cancel") << true << true << true << QList<int>{int(A::Yes), int(A::Cancel)} << 2 << false << false;
  QTest::newRow("no exit question") << true << false << true << QList<int>{int(A::No)} << 1 << true << false;
  QTest::newRow("saved unasked") << true << true << false << QList<int>{int(A::Yes)} << 1 << true << true;
}

void MainWindowTest::CloseQuery() {
  QFETCH(bool, modified);
  QFETCH(bool, confirmExit);
  QFETCH(bool, confirmSave);
  QFETCH(QList<int>, answers);
  QFETCH(int, questions);
  QFETCH(bool, closes);
  QFETCH(bool, saved);
  TWindowFixture f;
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.Open(file);
  f.g->ConfirmExit = confirmExit;
  f.g->ConfirmSaveChanges = confirmSave;
  TLibObj& lib = f.window->Library();
  if (modified) {
    lib.Folders.Top(1)->Data()->Comments = "changed";
    lib.Modified = true;
  }
  for (int a : answers) f.Answers.push_back(static_cast<TMsgAnswer>(a));
  const bool closed = f.window->close();
  QCOMPARE(closed, closes);
  QCOMPARE(static_cast<int>(f.Questions.size()), questions);
  if (questions > 0) QCOMPARE(QString::fromStdString(f.Questions[0].Text), confirmExit ? QString("Exit?") : QString("Save changes?"));
  // What is on disk tells whether the library was saved.
  TLibObj reread;
  TQuietOperation op;
  reread.LoadLibrary(S(file), false, op, false);
  QCOMPARE(reread.Folders.Top(1)->Data()->Comments == "changed", saved);
}

void MainWindowTest::MixedWidthsSurviveTabSwitches() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  w.SelectTab(2);
  QApplication::processEvents();
  QVERIFY(w.panCol->isVisible() && w.panTV->isVisible());
  w.Spt->setSizes({130, w.Spt->width() - 130});
  QApplication::processEvents();
  const int colWidth = w.Spt->sizes()[0];
  QVERIFY(std::abs(colWidth - 130) <= 4);
  w.SelectTab(1);
  QApplication::processEvents();
  QVERIFY(!w.panCol->isVisible() && w.panTV->isVisible());
  w.SelectTab(0);
  QVERIFY(w.panCol->isVisible() && !w.panTV->isVisible());
  w.SelectTab(2);
  QApplication::processEvents();
  QCOMPARE(f.g->CollectionWidth, colWidth);
  QVERIFY(std::abs(w.Spt->sizes()[0] - colWidth) <= 4);
}

void MainWindowTest::ModelsPassTheModelTester() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester treeTester(w.tvNodes->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  QAbstractItemModelTester listTester(w.lvDetails->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.Open(file);
  w.SelectFolderNode(w.Library().Folders.Top(1));
  w.ArrangeBy(2);
  // Delete a folder-entry row: its node goes with it.
  w.lvDetails->setFocus();
  QAbstractItemModel* list = w.lvDetails->model();
  const int row = Column(list, 0).indexOf("b");
  w.lvDetails->selectionModel()->select(list->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  w.DeleteSelected();
  QCOMPARE(w.tvNodes->model()->rowCount(w.tvNodes->model()->index(1, 0)), 1);
  QVERIFY(!Column(list, 0).contains("b"));
  // Rename the first volume: the volumes follow their captions.
  w.RenameVolume(w.Library().Folders.Top(0), "Disc C");
  QCOMPARE(w.tvNodes->model()->index(0, 0).data().toString(), QString("Disc B"));
  QCOMPARE(w.tvNodes->model()->index(1, 0).data().toString(), QString("Disc C"));
  QVERIFY(w.Library().Modified);
  f.Open(file);  // a reload over it
  QCOMPARE(w.tvNodes->model()->rowCount(), 2);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
