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
#include <QPlainTextEdit>
#include <QToolBar>
#include <QTreeView>

#include "base/Operation.h"
#include "base/TextUtils.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/Text.h"
#include "tests/ui/LibraryBuilder.h"
#include "tests/ui/WindowFixture.h"

using namespace tw;
using namespace tw::test;

namespace {

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
  void DeleteAsksWithTheNames_data();
  void DeleteAsksWithTheNames();
  void DeletingSiblingFoldersInTheTree();
  void KeysGoToTheFocusedControlsMenuFirst();
  void ReopenAndFavorites();
  void LayoutSurvivesARestart();
  void NewLibraryCountsAsModified();
  void BusyLibraryKeepsTheSelection();
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

// A volume "Many" whose folder holds the files f1.txt .. f<count>.txt.
QString WriteMany(TWindowFixture& f, int count) {
  TLibObj lib;
  TFolderNode* v = Volume(lib, "Many");
  for (int i = 1; i <= count; ++i) File(lib, v, "f" + std::to_string(i) + ".txt", i);
  lib.RecountTotals();
  TQuietOperation op;
  const QString file = f.Path("many.twl");
  lib.SaveLibrary(S(file), op);
  return file;
}

void MainWindowTest::DeleteAsksWithTheNames_data() {
  QTest::addColumn<int>("selected");
  QTest::addColumn<QString>("question");
  QTest::newRow("one") << 1 << "Delete f1.txt";
  QTest::newRow("three") << 3 << "Delete f1.txt;f2.txt;f3.txt;";
  QTest::newRow("five") << 5 << "Delete f1.txt;f2.txt;f3.txt;f4.txt;f5.txt;";
  QTest::newRow("seven") << 7 << "Delete f1.txt;...";
}

void MainWindowTest::DeleteAsksWithTheNames() {
  QFETCH(int, selected);
  QFETCH(QString, question);
  TWindowFixture f;
  f.Open(WriteMany(f, 8));
  TMainWindow& w = *f.window;
  w.SelectFolderNode(w.Library().Folders.Top(0));
  QAbstractItemModel* list = w.lvDetails->model();
  w.lvDetails->setFocus();
  QItemSelection rows(list->index(0, 0), list->index(selected - 1, 0));
  w.lvDetails->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  // Declined: nothing goes, the library still counts as modified.
  f.Answers = {TMsgAnswer::No};
  w.DeleteSelected();
  QCOMPARE(f.QuestionTexts(), std::vector<std::string>{S(question)});
  QCOMPARE(list->rowCount(), 8);
  QVERIFY(w.Library().Modified);
  w.lvDetails->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  w.DeleteSelected();
  QCOMPARE(list->rowCount(), 8 - selected);
  QCOMPARE(w.Library().Folders.Top(0)->Data()->Items.Count(), 8 - selected);
  QCOMPARE(w.sb->Text(0), QString("Files: %1").arg(8 - selected));
}

void MainWindowTest::DeletingSiblingFoldersInTheTree() {
  TWindowFixture f;
  TLibObj lib;
  TFolderNode* v = Volume(lib, "V");
  File(lib, Folder(lib, v, "x"), "in x.txt", 5);
  Folder(lib, v, "y");
  Folder(lib, v, "z");
  TQuietOperation op;
  lib.SaveLibrary(S(f.Path("xy.twl")), op);
  f.Open(f.Path("xy.twl"));
  TMainWindow& w = *f.window;
  QAbstractItemModel* tree = w.tvNodes->model();
  const QModelIndex volume = tree->index(0, 0);
  w.tvNodes->setFocus();
  w.tvNodes->selectionModel()->setCurrentIndex(tree->index(0, 0, volume), QItemSelectionModel::ClearAndSelect);
  w.tvNodes->selectionModel()->select(tree->index(1, 0, volume), QItemSelectionModel::Select);
  w.DeleteSelected();
  QCOMPARE(f.QuestionTexts(), std::vector<std::string>{"Delete x; y"});
  QCOMPARE(tree->rowCount(volume), 1);
  QCOMPARE(tree->index(0, 0, volume).data().toString(), QString("z"));
  // The entries went from the volume's list too.
  TLibFolder* folder = w.Library().Folders.Top(0)->Data();
  QCOMPARE(folder->Items.Count(), 1);
  QCOMPARE(QString::fromStdString(folder->Items[0]->Name), QString("z"));
}

void MainWindowTest::KeysGoToTheFocusedControlsMenuFirst() {
  TWindowFixture f;
  f.Open(WriteMany(f, 4));
  TMainWindow& w = *f.window;
  w.SelectFolderNode(w.Library().Folders.Top(0));
  // Ctrl+A in the list selects every row (the list's menu), not Add.
  w.lvDetails->setFocus();
  QTest::keyClick(w.lvDetails, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(w.lvDetails->selectionModel()->selectedRows().size(), 4);
  // Ctrl+D in the list deletes the rows (after the question).
  f.Answers = {TMsgAnswer::Yes};
  QTest::keyClick(w.lvDetails, Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(w.lvDetails->model()->rowCount(), 0);
  // Escape anywhere in the window starts the close query.
  f.Answers = {TMsgAnswer::No};
  QTest::keyClick(w.tvNodes, Qt::Key_Escape);
  QCOMPARE(f.QuestionTexts().back(), std::string("Exit?"));
  QVERIFY(w.isVisible());
}

void MainWindowTest::ReopenAndFavorites() {
  TWindowFixture f;
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.window->LoadFile(S(file), false, false, true);
  f.Wait();
  QMenu* reopen = f.window->Menu("miReopen");
  QCOMPARE(reopen->actions().size(), 1);
  QCOMPARE(reopen->actions()[0]->text(), "&1 " + file);
  QVERIFY(reopen->menuAction()->isEnabled());
  // A Reopen entry asks before loading, with the file name in quotes.
  f.Answers = {TMsgAnswer::Cancel};
  reopen->actions()[0]->trigger();
  f.Wait();
  QCOMPARE(f.Questions.size(), size_t(1));
  QVERIFY(QString::fromStdString(f.Questions[0].Text).contains("\"" + file + "\""));
  // A favorite of the same path: Add to Favorites refuses with its caption.
  f.g->FavoritesList.Add("My music=" + S(file));
  f.window->ApplyLoadedSettings();
  QMenu* favorites = f.window->Menu("miFavorites");
  QCOMPARE(favorites->actions().last()->text(), QString("My music"));
  f.window->Command("miAddFavorites")->trigger();
  QCOMPARE(f.Messages.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.Messages[0].first), QString("Already assigned as \"My music\""));
}

void MainWindowTest::LayoutSurvivesARestart() {
  TWindowFixture f;
  TMainWindow* w = f.window.get();
  w->setGeometry(40, 50, 900, 640);
  w->Command("miViewMessages")->trigger();
  w->Command("miViewToolbar")->trigger();
  w->SelectTab(2);
  QApplication::processEvents();
  w->Spt->setSizes({150, w->Spt->width() - 150});
  w->SpltCol->setSizes({360, w->SpltCol->width() - 360});
  w->lvDetails->setColumnWidth(2, 77);
  QApplication::processEvents();
  const int colWidth = w->Spt->sizes()[0];
  const int treeWidth = w->SpltCol->sizes()[0];
  QVERIFY(f.Restart());
  w = f.window.get();
  QApplication::processEvents();
  QCOMPARE(w->geometry().size(), QSize(900, 640));
  QVERIFY(w->Command("miViewMessages")->isChecked());
  QVERIFY(!w->Command("miViewToolbar")->isChecked());
  QVERIFY(w->panMessages->isVisible());
  QVERIFY(!w->tb->isVisible());
  QCOMPARE(w->tab->currentIndex(), 2);
  QVERIFY(std::abs(w->Spt->sizes()[0] - colWidth) <= 4);
  QVERIFY(std::abs(w->SpltCol->sizes()[0] - treeWidth) <= 4);
  QCOMPARE(w->lvDetails->columnWidth(2), 77);
}

void MainWindowTest::NewLibraryCountsAsModified() {
  TWindowFixture f;
  f.Answers = {TMsgAnswer::Yes};  // "Create New?"
  f.window->NewLibrary();
  QCOMPARE(f.QuestionTexts(), std::vector<std::string>{"Create New?"});
  QVERIFY(f.window->Library().Modified);
  QCOMPARE(f.window->tvNodes->model()->rowCount(), 0);
  // Exit asks both questions; No to saving closes.
  f.Questions.clear();
  f.Answers = {TMsgAnswer::Yes, TMsgAnswer::No};
  QVERIFY(f.window->close());
  QCOMPARE(f.QuestionTexts(), (std::vector<std::string>{"Exit?", "Save changes?"}));
}

void MainWindowTest::BusyLibraryKeepsTheSelection() {
  TWindowFixture f;
  const QString file = f.Path("sample.twl");
  WriteSample(S(file));
  f.Open(file);
  TMainWindow& w = *f.window;
  TFolderNode* discB = w.Library().Folders.Top(1);
  w.SelectFolderNode(discB->Item(0));  // Disc B\b
  w.tvNodes->expand(w.tvNodes->currentIndex().parent());
  // While an operation has the library busy the views show nothing; then
  // the same folder is selected and expanded again.
  bool sawEmpty = false;
  QVERIFY(w.RunBusy([](TOperation& op) { op.Log("working"); },
                    [&](const TOperationRunner::TOutcome&) {}));
  sawEmpty = w.tvNodes->model()->rowCount() == 0;
  f.Wait();
  QVERIFY(sawEmpty);
  QCOMPARE(w.sb_fp->Text(0), QString("[Disc B]\\b\\"));
  QVERIFY(w.tvNodes->isExpanded(w.tvNodes->model()->index(1, 0)));
  // The log line of the worker reached the messages pane.
  f.host.FlushLog();
  QVERIFY(w.msgs->toPlainText().contains("working"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
