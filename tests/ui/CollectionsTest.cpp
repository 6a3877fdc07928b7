// The collections tree end to end: links dropped from the volume tree and
// the file list, moves inside the tree, the context menu's commands, rename
// in place, memo items through the memo editor, and the other views and the
// collections tree following each other. A model tester watches the tree
// throughout.
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <clocale>
#include <functional>
#include <memory>
#include <unordered_set>

#include "tests/ui/LibraryBuilder.h"
#include "tests/ui/WindowFixture.h"
#include "ui/CollectionTreeModel.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/MemoEditor.h"
#include "ui/Text.h"

using namespace tw;
using namespace tw::test;

namespace {

// "Disc A" (location "Shelf 1") with the folders b, c and the archive
// a.zip and the files x.txt, y.mp3; "Disc B" with z.txt.
void AddSample(TLibObj& lib) {
  TFolderNode* discA = Volume(lib, "Disc A", "Shelf 1");
  File(lib, Folder(lib, discA, "b"), "inner.txt", 1);
  File(lib, Folder(lib, discA, "a.zip"), "member.txt", 2);
  Folder(lib, discA, "c");
  File(lib, discA, "x.txt", 10);
  File(lib, discA, "y.mp3", 20);
  File(lib, Volume(lib, "Disc B"), "z.txt", 5);
  lib.RecountTotals();
}

// Collection nodes from a shape such as "A(a1(x),a2),B".
void Build(TLibObj& lib, const QString& shape) {
  TColNode* parent = nullptr;
  TColNode* last = nullptr;
  QString caption;
  auto flush = [&] {
    if (caption.isEmpty()) return;
    last = lib.AddCollectionRecord(parent, std::make_unique<TLibColItem>(S(caption)));
    last->Data()->AttachNode(last);
    caption.clear();
  };
  for (QChar ch : shape) {
    if (ch == '(') {
      flush();
      parent = last;
    } else if (ch == ')') {
      flush();
      last = parent;
      parent = parent->Parent();
    } else if (ch == ',') {
      flush();
    } else {
      caption += ch;
    }
  }
  flush();
}

// The tree as the view's model shows it, in the notation of Build.
QString Shape(const QAbstractItemModel* model, const QModelIndex& parent = {}) {
  QStringList parts;
  for (int row = 0; row < model->rowCount(parent); ++row) {
    const QModelIndex index = model->index(row, 0, parent);
    QString part = index.data().toString();
    if (model->rowCount(index) > 0) part += "(" + Shape(model, index) + ")";
    parts << part;
  }
  return parts.join(',');
}

TColNode* ColNode(TLibObj& lib, const QString& caption) {
  for (TColNode* n = lib.Collections.GetFirstNode(); n; n = n->GetNext())
    if (Q(n->Text) == caption) return n;
  return nullptr;
}

TFolderNode* FolderNode(TLibObj& lib, const QString& caption) {
  for (TFolderNode* n = lib.Folders.GetFirstNode(); n; n = n->GetNext())
    if (Q(n->Text) == caption) return n;
  return nullptr;
}

// Selects collection nodes by caption; the last one is the current one.
void SelectCollections(TMainWindow& w, const QStringList& captions) {
  auto* model = w.CollectionModel();
  QItemSelectionModel* selection = w.tvCol->selectionModel();
  selection->clearSelection();
  for (const QString& caption : captions)
    selection->setCurrentIndex(model->IndexOf(ColNode(w.Library(), caption)),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString SelectedCaption(TMainWindow& w) {
  TColNode* node = w.SelectedCollectionNode();
  return node ? Q(node->Text) : QString();
}

int ListRow(TMainWindow& w, const QString& name) {
  QAbstractItemModel* list = w.lvDetails->model();
  for (int row = 0; row < list->rowCount(); ++row)
    if (list->index(row, 0).data().toString() == name) return row;
  return -1;
}

// What dragging these volume-tree nodes or file-list rows would carry: the
// nodes or rows are selected in this order, the first one current.
std::unique_ptr<QMimeData> DragFromTree(TMainWindow& w, const QStringList& captions) {
  auto* tree = static_cast<TFolderTreeModel*>(w.tvNodes->model());
  QItemSelectionModel* selection = w.tvNodes->selectionModel();
  // The current node first: the tree keeps only its siblings selected.
  selection->setCurrentIndex(tree->IndexOf(FolderNode(w.Library(), captions.first())),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  for (const QString& caption : captions.mid(1))
    selection->select(tree->IndexOf(FolderNode(w.Library(), caption)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return std::unique_ptr<QMimeData>(tree->mimeData(selection->selectedIndexes()));
}

std::unique_ptr<QMimeData> DragFromList(TMainWindow& w, const QStringList& names) {
  w.SelectFolderNode(w.Library().Folders.Top(0));
  QAbstractItemModel* list = w.lvDetails->model();
  QItemSelectionModel* selection = w.lvDetails->selectionModel();
  selection->clearSelection();
  for (const QString& name : names)
    selection->select(list->index(ListRow(w, name), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return std::unique_ptr<QMimeData>(list->mimeData(selection->selectedIndexes()));
}

// Answers the memo editor once it shows: `fill` sets its fields, then OK
// or Cancel.
void AnswerMemo(TMainWindow& w, std::function<void(TfrmMemo&)> fill, bool ok) {
  QTimer::singleShot(10, [&w, fill, ok] {
    TfrmMemo* memo = w.MemoEditor();
    if (!memo || !memo->isVisible()) {
      AnswerMemo(w, fill, ok);  // not shown yet: look again
      return;
    }
    fill(*memo);
    if (ok) memo->accept();
    else memo->reject();
  });
}

void Activate(TMainWindow& w, QWidget* focus) {
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  focus->setFocus();
  QApplication::processEvents();
  QCOMPARE(QApplication::focusWidget(), focus);
}

// Links point at live records only, and their targets link back.
void ExpectSoundLinks(TLibObj& lib) {
  std::unordered_set<const void*> live;
  for (TFolderNode* n = lib.Folders.GetFirstNode(); n; n = n->GetNext()) {
    live.insert(n->Data());
    for (const auto& item : n->Data()->Items) live.insert(item.get());
  }
  for (TColNode* n = lib.Collections.GetFirstNode(); n; n = n->GetNext()) {
    const TLibColItem* c = n->Data();
    QVERIFY(!c->Folder || live.count(c->Folder));
    QVERIFY(!c->Item || live.count(c->Item));
    QCOMPARE(c->Node, n);
  }
  for (TFolderNode* n = lib.Folders.GetFirstNode(); n; n = n->GetNext()) {
    if (TColNode* col = n->Data()->ColNode) QCOMPARE(col->Data()->Folder, n->Data());
    for (const auto& item : n->Data()->Items)
      if (TColNode* col = item->ColNode) QCOMPARE(col->Data()->Item, item.get());
  }
}

}  // namespace

// Records the links the desktop is asked to open.
class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> Opened;
 public slots:
  void Open(const QUrl& url) { Opened << url; }
};

class CollectionsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void DropsMakeLinks_data();
  void DropsMakeLinks();
  void DropsWithForeignContentDoNothing();
  void MovesInsideTheTree_data();
  void MovesInsideTheTree();
  void Commands_data();
  void Commands();
  void RenameInPlaceSortsSiblings();
  void MemoItemsThroughTheMemoEditor();
  void OpenLinkFollowsTheItemsLink();
  void DeletedRecordsTakeTheirLinksAlong();
  void SelectionsFollowEachOther();
  void LoadedLinksShowAndFollow();
  void ANewLibraryEmptiesTheTree();
};

void CollectionsTest::initTestCase() {
  // Captions compare byte for byte here, whatever the machine's locale.
  std::setlocale(LC_COLLATE, "C");
}

void CollectionsTest::DropsMakeLinks_data() {
  QTest::addColumn<QString>("source");  // "tree" or "list"
  QTest::addColumn<QStringList>("dragged");
  QTest::addColumn<QString>("before");
  QTest::addColumn<QString>("target");  // empty: the drop is on empty space
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QString>("after");
  QTest::addColumn<QList<int>>("kinds");  // of the links, in tree order
  QTest::newRow("two sibling folders onto an item")
      << "tree" << QStringList{"c", "b"} << "Box,Other" << "Box" << true << "Box(b,c),Other" << QList<int>{1, 1};
  QTest::newRow("folder and archive between older children")
      << "tree" << QStringList{"a.zip", "c"} << "Box(b0,d0)" << "Box" << true << "Box(a.zip,b0,c,d0)"
      << QList<int>{3, 1};
  QTest::newRow("volumes onto empty space of an empty tree")
      << "tree" << QStringList{"Disc B", "Disc A"} << "" << "" << true << "New Collection(Disc A,Disc B)"
      << QList<int>{0, 0};
  QTest::newRow("volume onto empty space of a tree")
      << "tree" << QStringList{"Disc A"} << "Box" << "" << false << "Box" << QList<int>{};
  QTest::newRow("files onto an empty tree")
      << "list" << QStringList{"y.mp3", "x.txt"} << "" << "" << true << "New Collection(x.txt,y.mp3)"
      << QList<int>{2, 2};
  QTest::newRow("folder and archive entries onto a sub-item")
      << "list" << QStringList{"b", "a.zip"} << "Box(Inner)" << "Inner" << true << "Box(Inner(a.zip,b))"
      << QList<int>{3, 1};
  QTest::newRow("file onto empty space of a tree")
      << "list" << QStringList{"x.txt"} << "Box" << "" << false << "Box" << QList<int>{};
}

void CollectionsTest::DropsMakeLinks() {
  QFETCH(QString, source);
  QFETCH(QStringList, dragged);
  QFETCH(QString, before);
  QFETCH(QString, target);
  QFETCH(bool, accepted);
  QFETCH(QString, after);
  QFETCH(QList<int>, kinds);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  AddSample(lib);
  Build(lib, before);
  lib.Modified = false;
  std::unique_ptr<QMimeData> mime = source == "tree" ? DragFromTree(w, dragged) : DragFromList(w, dragged);
  TCollectionTreeModel* model = w.CollectionModel();
  const QModelIndex onto = target.isEmpty() ? QModelIndex() : model->IndexOf(ColNode(lib, target));
  QCOMPARE(model->canDropMimeData(mime.get(), Qt::CopyAction, -1, -1, onto), accepted);
  QCOMPARE(model->dropMimeData(mime.get(), Qt::CopyAction, -1, -1, onto), accepted);
  w.tvCol->expandAll();
  QCOMPARE(Shape(model), after);
  QCOMPARE(lib.Modified, accepted);
  if (!accepted) return;

  // Each link carries its target's kind, path and back-link.
  QList<int> linkKinds;
  for (TColNode* n = lib.Collections.GetFirstNode(); n; n = n->GetNext()) {
    const TLibColItem* c = n->Data();
    if (c->Kind == ckMemo) continue;
    linkKinds << c->Kind;
    if (c->Kind == ckFile) {
      QCOMPARE(c->Item->ColNode, n);
      QCOMPARE(c->Path, c->Item->GetItemPath());
    } else {
      QCOMPARE(c->Folder->ColNode, n);
      QCOMPARE(Q(c->Folder->Name), Q(c->Caption));
      QCOMPARE(c->Path, c->Folder->GetPath());
    }
  }
  QCOMPARE(linkKinds, kinds);
  // The target (the new top-level item on an empty tree) is selected.
  QCOMPARE(SelectedCaption(w), target.isEmpty() ? QString("New Collection") : target);
  // Of the dragged volume-tree nodes only the first stays selected.
  if (source == "tree") {
    QCOMPARE(w.SelectedFolderNodes().size(), size_t(1));
    QCOMPARE(Q(w.SelectedFolderNode()->Text), dragged.first());
  }
  QCOMPARE(w.sb_colL->Text(0), QString("Items: %1").arg(lib.Collections.Count()));
}

void CollectionsTest::DropsWithForeignContentDoNothing() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  AddSample(lib);
  // A node freed since the drag began, and a number that is no pointer of
  // this library at all (another program's drag).
  std::unique_ptr<QMimeData> stale = DragFromTree(w, {"c"});
  w.tvNodes->selectionModel()->clearSelection();
  lib.DeleteFolderNode(FolderNode(lib, "c"));
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << quintptr(0x10) << quintptr(~quintptr(0));
  QMimeData foreign;
  foreign.setData(kFoldersMime, bytes);
  foreign.setData(kEntriesMime, bytes);
  foreign.setData(kCollectionsMime, bytes);
  TCollectionTreeModel* model = w.CollectionModel();
  for (QMimeData* mime : {stale.get(), &foreign}) {
    QVERIFY(!model->dropMimeData(mime, Qt::CopyAction, -1, -1, {}));
    QCOMPARE(model->rowCount(), 0);
  }
  QCOMPARE(lib.Collections.Count(), size_t(0));

  // The tree refuses drags that come from outside the program's views.
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &foreign, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.tvCol->viewport(), &enter);
  QVERIFY(!enter.isAccepted());
}

void CollectionsTest::MovesInsideTheTree_data() {
  QTest::addColumn<QStringList>("selected");  // the last one is current
  QTest::addColumn<QString>("target");
  QTest::addColumn<bool>("moved");
  QTest::addColumn<QString>("after");
  QTest::newRow("onto another item") << QStringList{"a1"} << "B" << true << "A(a2),B(a1(x),b1)";
  QTest::newRow("onto empty space") << QStringList{"a2"} << "" << true << "a2,A(a1(x)),B(b1)";
  QTest::newRow("the focused one of several") << QStringList{"a1", "a2"} << "b1" << true << "A(a1(x)),B(b1(a2))";
  QTest::newRow("onto its own descendant") << QStringList{"A"} << "x" << false << "A(a1(x),a2),B(b1)";
  QTest::newRow("onto itself") << QStringList{"a1"} << "a1" << false << "A(a1(x),a2),B(b1)";
}

void CollectionsTest::MovesInsideTheTree() {
  QFETCH(QStringList, selected);
  QFETCH(QString, target);
  QFETCH(bool, moved);
  QFETCH(QString, after);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  Build(lib, "A(a1(x),a2),B(b1)");
  lib.Modified = false;
  SelectCollections(w, selected);
  TCollectionTreeModel* model = w.CollectionModel();
  std::unique_ptr<QMimeData> mime(model->mimeData(w.tvCol->selectionModel()->selectedIndexes()));
  const QModelIndex onto = target.isEmpty() ? QModelIndex() : model->IndexOf(ColNode(lib, target));
  QCOMPARE(model->dropMimeData(mime.get(), Qt::CopyAction, -1, -1, onto), moved);
  QCOMPARE(lib.Modified, moved);
  if (moved && onto.isValid()) QVERIFY(w.tvCol->isExpanded(onto));
  w.tvCol->expandAll();
  QCOMPARE(Shape(model), after);
  if (moved) {
    QCOMPARE(SelectedCaption(w), selected.last());
    // The moved subtree's levels follow its new place.
    for (TColNode* n = lib.Collections.GetFirstNode(); n; n = n->GetNext())
      QCOMPARE(n->Level(), n->Parent() ? n->Parent()->Level() + 1 : 0);
  }
}

void CollectionsTest::Commands_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QStringList>("selected");
  QTest::addColumn<bool>("confirm");
  QTest::addColumn<QList<int>>("answers");
  QTest::addColumn<QString>("after");
  QTest::addColumn<QString>("selectedAfter");
  QTest::addColumn<QStringList>("questions");
  using A = TMsgAnswer;
  const QString start = "A(a1),B";
  QTest::newRow("new collection, nothing selected")
      << "miColAdd" << QStringList{} << true << QList<int>{} << "A(a1),B,New Collection" << "" << QStringList{};
  QTest::newRow("new collection beside a sub-item")
      << "miColAdd" << QStringList{"a1"} << true << QList<int>{} << "A(a1,New Collection),B" << "a1" << QStringList{};
  QTest::newRow("new sub collection") << "miColAddSub" << QStringList{"A"} << true << QList<int>{}
                                      << "A(a1,New Collection),B" << "New Collection" << QStringList{};
  QTest::newRow("new sub collection, nothing selected")
      << "miColAddSub" << QStringList{} << true << QList<int>{} << "A(a1),B,New Collection" << "New Collection"
      << QStringList{};
  QTest::newRow("delete confirmed") << "miColDel" << QStringList{"A"} << true << QList<int>{int(A::Yes)} << "B"
                                    << "" << QStringList{"Delete A"};
  QTest::newRow("delete refused") << "miColDel" << QStringList{"A"} << true << QList<int>{int(A::No)} << start
                                  << "A" << QStringList{"Delete A"};
  QTest::newRow("delete unasked") << "miColDel" << QStringList{"a1"} << false << QList<int>{} << "A,B" << ""
                                  << QStringList{};
  QTest::newRow("delete several") << "miColDel" << QStringList{"A", "B"} << true << QList<int>{int(A::Yes)} << ""
                                  << "" << QStringList{"Delete A; B"};
  QTest::newRow("delete, nothing selected")
      << "miColDel" << QStringList{} << true << QList<int>{} << start << "" << QStringList{};
  // The window's Delete runs here while the tree has the focus.
  QTest::newRow("window's delete") << "miVDelete" << QStringList{"B"} << true << QList<int>{int(A::Yes)} << "A(a1)"
                                   << "" << QStringList{"Delete B"};
}

void CollectionsTest::Commands() {
  QFETCH(QString, command);
  QFETCH(QStringList, selected);
  QFETCH(bool, confirm);
  QFETCH(QList<int>, answers);
  QFETCH(QString, after);
  QFETCH(QString, selectedAfter);
  QFETCH(QStringList, questions);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  const QString start = "A(a1),B";
  Build(lib, start);
  lib.Modified = false;
  f.g->ConfirmDeleteCollection = confirm;
  for (int a : answers) f.Answers.push_back(static_cast<TMsgAnswer>(a));
  SelectCollections(w, selected);
  if (command == "miVDelete") Activate(w, w.tvCol);
  w.Command(command)->trigger();
  w.tvCol->expandAll();
  QCOMPARE(Shape(w.tvCol->model()), after);
  QCOMPARE(SelectedCaption(w), selectedAfter);
  QStringList asked;
  for (const std::string& text : f.QuestionTexts()) asked << Q(text);
  QCOMPARE(asked, questions);
  QCOMPARE(lib.Modified, after != start);
  QCOMPARE(static_cast<size_t>(w.CollectionModel()->rowCount()), static_cast<size_t>(lib.Collections.TopCount()));
}

void CollectionsTest::RenameInPlaceSortsSiblings() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  Build(lib, "m(c,d),n");
  lib.Modified = false;
  w.tvCol->expandAll();
  SelectCollections(w, {"d"});
  Activate(w, w.tvCol);
  auto rename = [&](const QString& text, Qt::Key finish) {
    QTest::keyClick(w.tvCol, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, finish);
    // The editor commits after it has seen the key.
    QApplication::processEvents();
  };
  // Cancelled editing changes nothing.
  rename("zz", Qt::Key_Escape);
  QCOMPARE(Shape(w.tvCol->model()), QString("m(c,d),n"));
  QVERIFY(!lib.Modified);
  QVERIFY(w.isVisible());  // Escape in the editor does not close the window
  // A new caption takes its place among the siblings.
  rename("b", Qt::Key_Return);
  QCOMPARE(Shape(w.tvCol->model()), QString("m(b,c),n"));
  QCOMPARE(ColNode(lib, "b")->Data()->Caption, std::string("b"));
  QVERIFY(lib.Modified);
  QCOMPARE(SelectedCaption(w), QString("b"));
  // Top-level nodes sort among themselves.
  SelectCollections(w, {"n"});
  w.Command("miColRen")->trigger();
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  QVERIFY(editor);
  editor->setText("a");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  QCOMPARE(Shape(w.tvCol->model()), QString("a,m(b,c)"));
}

void CollectionsTest::MemoItemsThroughTheMemoEditor() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  Build(lib, "A(m)");
  lib.Modified = false;
  SelectCollections(w, {"A"});
  // Cancelled: nothing is made.
  AnswerMemo(w, [](TfrmMemo& memo) { memo.edCaption->setText("lost"); }, false);
  w.Command("miColNewMemo")->trigger();
  QCOMPARE(lib.Collections.Count(), size_t(2));
  QVERIFY(!lib.Modified);

  // The editor starts empty, without a picture, offering the collection
  // pictures; what it holds on OK becomes the new item, the last child of
  // the selected node.
  bool clearedWhenShown = false;
  AnswerMemo(w, [&](TfrmMemo& memo) {
    clearedWhenShown = memo.edCaption->text().isEmpty() && memo.ed_url->text().isEmpty() &&
                       memo.memo->toPlainText().isEmpty() && memo.cbpic->currentIndex() == -1 &&
                       memo.cbpic->count() == w.Pictures().CollectionCount();
    memo.edCaption->setText("note");
    memo.ed_url->setText("https://example.org/x");
    memo.memo->setPlainText("one\ntwo");
    memo.SetPicture(3);
  }, true);
  w.Command("miColNewMemo")->trigger();
  QVERIFY(clearedWhenShown);
  w.tvCol->expandAll();
  QCOMPARE(Shape(w.tvCol->model()), QString("A(m,note)"));
  TColNode* node = ColNode(lib, "note");
  QCOMPARE(node->Data()->Kind, int(ckMemo));
  QCOMPARE(node->Data()->Url, std::string("https://example.org/x"));
  QCOMPARE(node->Data()->Memo, std::string("one\ntwo"));
  QCOMPARE(node->Data()->ImageIndex, 3);
  QCOMPARE(node->ImageIndex, 3);
  QCOMPARE(SelectedCaption(w), QString("note"));
  QVERIFY(lib.Modified);

  // Properties fill the editor from the item; OK stores the edit, and the
  // new caption sorts among the siblings.
  QString shownCaption, shownUrl, shownNotes;
  int shownPicture = -2;
  AnswerMemo(w, [&](TfrmMemo& memo) {
    shownCaption = memo.edCaption->text();
    shownUrl = memo.ed_url->text();
    shownNotes = memo.memo->toPlainText();
    shownPicture = memo.cbpic->currentIndex();
    memo.edCaption->setText("alpha");
    memo.SetPicture(-1);
  }, true);
  w.Command("miColProp")->trigger();
  QCOMPARE(shownCaption, QString("note"));
  QCOMPARE(shownUrl, QString("https://example.org/x"));
  QCOMPARE(shownNotes, QString("one\ntwo"));
  QCOMPARE(shownPicture, 3);
  QCOMPARE(Shape(w.tvCol->model()), QString("A(alpha,m)"));
  // No picture chosen shows the first.
  QCOMPARE(node->Data()->ImageIndex, 0);
  // Cancel leaves the item as it is.
  AnswerMemo(w, [](TfrmMemo& memo) { memo.edCaption->setText("zzz"); }, false);
  w.Command("miColProp")->trigger();
  QCOMPARE(node->Data()->Caption, std::string("alpha"));
  // The editor's placement is kept.
  QVERIFY(f.g->Registry().RegKeyExists(RegKey("Pos\\frmMemo")));
}

void CollectionsTest::OpenLinkFollowsTheItemsLink() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  AddSample(lib);
  Build(lib, "memo,empty");
  ColNode(lib, "memo")->Data()->Url = "https://example.org/memo";
  std::unique_ptr<QMimeData> mime = DragFromList(w, {"x.txt"});
  w.CollectionModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, -1, w.CollectionModel()->IndexOf(ColNode(lib, "empty")));
  TUrlRecorder recorder;
  QDesktopServices::setUrlHandler("https", &recorder, "Open");
  QMenu* menu = w.Menu("pmCol");
  struct TCase {
    QString Selected;
    bool Enabled;
  };
  for (const TCase& c : {TCase{"memo", true}, TCase{"empty", false}, TCase{"x.txt", false}, TCase{"", false}}) {
    SelectCollections(w, c.Selected.isEmpty() ? QStringList{} : QStringList{c.Selected});
    emit menu->aboutToShow();
    QCOMPARE(w.Command("miColRun")->isEnabled(), c.Enabled);
  }
  SelectCollections(w, {"memo"});
  emit menu->aboutToShow();
  w.Command("miColRun")->trigger();
  QDesktopServices::unsetUrlHandler("https");
  QCOMPARE(recorder.Opened, QList<QUrl>{QUrl("https://example.org/memo")});
  // A file link's properties are the properties dialog's, a memo item's
  // the memo editor's.
  SelectCollections(w, {"x.txt"});
  emit menu->aboutToShow();
  QVERIFY(w.Command("miColProp")->isEnabled());
  SelectCollections(w, {"memo"});
  emit menu->aboutToShow();
  QVERIFY(w.Command("miColProp")->isEnabled());
}

void CollectionsTest::DeletedRecordsTakeTheirLinksAlong() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  AddSample(lib);
  Build(lib, "Box,Memo");
  TCollectionTreeModel* model = w.CollectionModel();
  auto drop = [&](std::unique_ptr<QMimeData> mime) {
    QVERIFY(model->dropMimeData(mime.get(), Qt::CopyAction, -1, -1, model->IndexOf(ColNode(lib, "Box"))));
  };
  drop(DragFromTree(w, {"b", "c"}));
  // The add-volume dialog's collection picker links the same way.
  DragFromTree(w, {"Disc B"});
  w.LinkVolumeTreeSelection(ColNode(lib, "Box"));
  drop(DragFromList(w, {"x.txt", "y.mp3"}));
  // A second link to x.txt: the entry links back to the newer one only.
  drop(DragFromList(w, {"x.txt"}));
  w.tvCol->expandAll();
  QCOMPARE(Shape(model), QString("Box(Disc B,b,c,x.txt,x.txt,y.mp3),Memo"));
  ExpectSoundLinks(lib);

  // A folder deleted in the volume tree takes its link along.
  DragFromTree(w, {"b"});
  Activate(w, w.tvNodes);
  w.DeleteSelected();
  QCOMPARE(Shape(model), QString("Box(Disc B,c,x.txt,x.txt,y.mp3),Memo"));
  ExpectSoundLinks(lib);
  // A file deleted in the list takes the link it links back to; the other
  // link to it stays, linked to nothing.
  DragFromList(w, {"x.txt"});
  Activate(w, w.lvDetails);
  w.DeleteSelected();
  QCOMPARE(Shape(model), QString("Box(Disc B,c,x.txt,y.mp3),Memo"));
  QCOMPARE(ColNode(lib, "x.txt")->Data()->Item, nullptr);
  ExpectSoundLinks(lib);
  // A volume goes with the links into it.
  DragFromTree(w, {"Disc A"});
  Activate(w, w.tvNodes);
  w.DeleteSelected();
  QCOMPARE(Shape(model), QString("Box(Disc B,x.txt),Memo"));
  QCOMPARE(ColNode(lib, "x.txt")->Data()->Folder, nullptr);
  ExpectSoundLinks(lib);
  // Deleting a link clears its target's back-link.
  TLibFolder* discB = FolderNode(lib, "Disc B")->Data();
  QVERIFY(discB->ColNode);
  SelectCollections(w, {"Disc B"});
  f.g->ConfirmDeleteCollection = false;
  w.DeleteCollectionItems();
  QCOMPARE(discB->ColNode, nullptr);
  ExpectSoundLinks(lib);
}

void CollectionsTest::SelectionsFollowEachOther() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  AddSample(lib);
  Build(lib, "Box,Other");
  TCollectionTreeModel* model = w.CollectionModel();
  const QModelIndex box = model->IndexOf(ColNode(lib, "Box"));
  model->dropMimeData(DragFromList(w, {"x.txt", "y.mp3"}).get(), Qt::CopyAction, -1, -1, box);
  model->dropMimeData(DragFromTree(w, {"b"}).get(), Qt::CopyAction, -1, -1, box);
  TColNode* firstLink = ColNode(lib, "x.txt");
  // A second link to x.txt, which the entry links back to from now on.
  model->dropMimeData(DragFromList(w, {"x.txt"}).get(), Qt::CopyAction, -1, -1, model->IndexOf(ColNode(lib, "Other")));
  QVERIFY(firstLink->Data()->Item->ColNode != firstLink);
  w.SelectFolderNode(lib.Folders.Top(1));
  QCOMPARE(Q(w.SelectedFolderNode()->Text), QString("Disc B"));

  // A file link: its folder in the volume tree, its row in the list.
  SelectCollections(w, {"y.mp3"});
  QCOMPARE(Q(w.SelectedFolderNode()->Text), QString("Disc A"));
  QCOMPARE(w.SelectedItems().size(), size_t(1));
  QCOMPARE(Q(w.SelectedItems().front()->Name), QString("y.mp3"));
  QCOMPARE(w.sb_colH->Text(0), QString("Shelf 1"));
  QCOMPARE(w.sb_colL->Text(0), QString("Items: 6"));
  QCOMPARE(w.sb_colL->Text(1), w.sb_tree->Text(1));
  QVERIFY(!w.sb_colL->Text(1).isEmpty());

  // A list row whose entry is linked selects its link.
  QAbstractItemModel* list = w.lvDetails->model();
  w.lvDetails->selectionModel()->setCurrentIndex(list->index(ListRow(w, "x.txt"), 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QCOMPARE(SelectedCaption(w), QString("x.txt"));
  // Selecting all rows keeps them all selected.
  SelectCollections(w, {"Box"});
  w.lvDetails->selectAll();
  QCOMPARE(SelectedCaption(w), QString("x.txt"));
  QCOMPARE(static_cast<int>(w.SelectedItems().size()), list->rowCount());

  // The other views follow a link without leading the tree elsewhere,
  // though the entry links back to another link.
  w.tvCol->expandAll();
  w.lvDetails->selectionModel()->clearSelection();
  w.tvCol->selectionModel()->setCurrentIndex(model->IndexOf(firstLink),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QCOMPARE(w.SelectedCollectionNode(), firstLink);
  QCOMPARE(Q(w.SelectedItems().front()->Name), QString("x.txt"));

  // A click on a linked volume-tree node selects its link.
  w.SelectTab(2);
  QApplication::processEvents();
  SelectCollections(w, {"Box"});
  const QModelIndex b = static_cast<TFolderTreeModel*>(w.tvNodes->model())->IndexOf(FolderNode(lib, "b"));
  w.tvNodes->scrollTo(b);
  QTest::mouseClick(w.tvNodes->viewport(), Qt::LeftButton, {}, w.tvNodes->visualRect(b).center());
  QCOMPARE(SelectedCaption(w), QString("b"));
  QCOMPARE(Q(w.SelectedFolderNode()->Text), QString("b"));
}

void CollectionsTest::LoadedLinksShowAndFollow() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  TLibObj& lib = w.Library();
  AddSample(lib);
  Build(lib, "Box");
  TCollectionTreeModel* model = w.CollectionModel();
  model->dropMimeData(DragFromList(w, {"x.txt"}).get(), Qt::CopyAction, -1, -1, model->IndexOf(ColNode(lib, "Box")));
  model->dropMimeData(DragFromTree(w, {"b"}).get(), Qt::CopyAction, -1, -1, model->IndexOf(ColNode(lib, "Box")));
  const QString file = f.Path("links.twl");
  w.SaveLibraryAs(file);
  w.Library().Modified = false;
  w.NewLibrary();
  QCOMPARE(model->rowCount(), 0);
  w.Library().Modified = false;
  // Loaded (the library busy meanwhile) and loaded again.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 0) {
      f.Open(file);
    } else {
      w.ReloadLibrary();
      f.Wait();
    }
    w.tvCol->expandAll();
    QCOMPARE(Shape(model), QString("Box(b,x.txt)"));
    SelectCollections(w, {"x.txt"});
    QCOMPARE(w.SelectedItems().size(), size_t(1));
    QCOMPARE(Q(w.SelectedItems().front()->Name), QString("x.txt"));
    QCOMPARE(w.SelectedItems().front()->ColNode, w.SelectedCollectionNode());
  }
}

void CollectionsTest::ANewLibraryEmptiesTheTree() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  QAbstractItemModelTester tester(w.tvCol->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  Build(w.Library(), "A(a1),B");
  w.tvCol->expandAll();
  SelectCollections(w, {"a1"});
  w.Library().Modified = false;
  w.NewLibrary();
  QCOMPARE(w.tvCol->model()->rowCount(), 0);
  QCOMPARE(w.SelectedCollectionNode(), nullptr);
  // The commands work on the new library.
  w.Command("miColAddSub")->trigger();
  QCOMPARE(Shape(w.tvCol->model()), QString("New Collection"));
  QCOMPARE(w.Library().Collections.Count(), size_t(1));
}

QTEST_MAIN(CollectionsTest)
#include "CollectionsTest.moc"
