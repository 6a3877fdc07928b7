// The volume dialogs end to end through the real window: adding a volume
// (and stopping one halfway), the duplicate-serial question, updating from
// the medium, and the word lists through the text editor.
#include <QStackedWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <functional>
#include <thread>

#include "base/RegUtils.h"
#include "state/Commands.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/WindowFixture.h"
#include "ui/AddVolumeDialog.h"
#include "ui/ExtensionEditor.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"
#include "ui/TextEditor.h"
#include "ui/UpdateDialog.h"

using namespace tw;
using namespace tw::test;

namespace {

void WriteFile(const QString& path, int size) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  file.write(QByteArray(size, 'x'));
}

// root/a.txt, root/b.txt, root/sub/c.txt, root/sub/deep/d.txt: 4 files of
// 26 bytes in all.
QString SmallTree(TWindowFixture& f, const QString& name) {
  const QString root = f.Path(name);
  WriteFile(root + "/a.txt", 3);
  WriteFile(root + "/b.txt", 5);
  WriteFile(root + "/sub/c.txt", 7);
  WriteFile(root + "/sub/deep/d.txt", 11);
  return root;
}

// One medium at the fixture's folder ("MUSIC", serial) behind another one.
TMediaSource FakeMedia(TWindowFixture& f, const std::string& serial) {
  const std::string root = S(f.dir.path()) + "/";
  TMediaSource media;
  media.Drives = [root, serial] {
    return std::vector<TDriveInfo>{{"/media/other/", "OTHER", "00000001"}, {root, "MUSIC", serial}};
  };
  media.VolumeInfo = [root, serial](const std::string& path, int what) {
    if (path.compare(0, root.size(), root) != 0) return std::string();
    return what == kVolumeSerial ? serial : std::string("MUSIC");
  };
  return media;
}

// The add dialog's answer: the folder typed, then OK.
void AddThroughDialog(TWindowFixture& f, const QString& folder, const QString& title = {}) {
  WhenShown<TAddVolumeDialog>([folder, title](TAddVolumeDialog* d) {
    Child<QLineEdit>(d, "edFolder")->setText(folder);
    if (!title.isEmpty()) Child<QLineEdit>(d, "edTitle")->setText(title);
    Child<QPushButton>(d, "OKBtn")->click();
  });
  f.window->AddVolumeCommand();
  f.Wait();
}

QStringList ListNames(TMainWindow& w) {
  QStringList names;
  QAbstractItemModel* list = w.lvDetails->model();
  for (int row = 0; row < list->rowCount(); ++row) names << list->index(row, 0).data().toString();
  names.sort();
  return names;
}

QString Log(TWindowFixture& f) {
  f.host.FlushLog();
  return f.window->msgs->toPlainText();
}

// Counts what the folder records below `node` hold.
void CountRecords(TFolderNode* node, int& files, int& folders, int64_t& size) {
  for (const auto& item : node->Data()->Items) {
    if (item->IsFolder) ++folders;
    else {
      ++files;
      size += item->Size;
    }
  }
  for (int i = 0; i < node->Count(); ++i) CountRecords(node->Item(i), files, folders, size);
}

// Rows of the volume tree below `index`, recursively.
int TreeRows(QAbstractItemModel* model, const QModelIndex& index) {
  int rows = model->rowCount(index);
  for (int r = 0; r < model->rowCount(index); ++r) rows += TreeRows(model, model->index(r, 0, index));
  return rows;
}

int SubtreeNodes(TFolderNode* node) {
  int count = node->Count();
  for (int i = 0; i < node->Count(); ++i) count += SubtreeNodes(node->Item(i));
  return count;
}

}  // namespace

class VolumeDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void AddRecordsTreeListCountsAndRemembers_data();
  void AddRecordsTreeListCountsAndRemembers();
  void DrivePickerFillsFolderTitleSerial_data();
  void DrivePickerFillsFolderTitleSerial();
  void InsertNewVolumeAfterRepeatsUntilCancel();
  void StopHalfwayKeepsWhatWasRecorded();
  void DuplicateSerialQuestion_data();
  void DuplicateSerialQuestion();
  void UpdateFromTheMedium_data();
  void UpdateFromTheMedium();
  void CategoriesThroughTheTextEditor_data();
  void CategoriesThroughTheTextEditor();
  void OrganizeFavorites_data();
  void OrganizeFavorites();
  void HandlerListEditsTheProgramTable_data();
  void HandlerListEditsTheProgramTable();
};

void VolumeDialogsTest::AddRecordsTreeListCountsAndRemembers_data() {
  QTest::addColumn<int>("levels");
  QTest::addColumn<bool>("foldersOnly");
  QTest::addColumn<QStringList>("rootRows");
  QTest::addColumn<int>("files");
  QTest::addColumn<int>("folders");
  QTest::addColumn<int>("nodes");  // folder records below the volume
  QTest::newRow("whole tree") << 0 << false << QStringList{"a.txt", "b.txt", "sub"} << 4 << 2 << 2;
  QTest::newRow("top level only") << 1 << false << QStringList{"a.txt", "b.txt", "sub"} << 2 << 1 << 0;
  QTest::newRow("folders only") << 0 << true << QStringList{"sub"} << 0 << 2 << 2;
}

void VolumeDialogsTest::AddRecordsTreeListCountsAndRemembers() {
  QFETCH(int, levels);
  QFETCH(bool, foldersOnly);
  QFETCH(QStringList, rootRows);
  QFETCH(int, files);
  QFETCH(int, folders);
  QFETCH(int, nodes);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  lib.AddCollectionRecord(nullptr, std::make_unique<TLibColItem>("Music"));
  const QString tree = SmallTree(f, "tree");
  w.AddVolumeDialog().Media = FakeMedia(f, "");

  WhenShown<TAddVolumeDialog>([&](TAddVolumeDialog* d) {
    Child<QLineEdit>(d, "edFolder")->setText(tree);
    Child<QSpinBox>(d, "edLevels")->setValue(levels);
    Child<QCheckBox>(d, "cbFoldersOnly")->setChecked(foldersOnly);
    Child<QComboBox>(d, "filecat")->setEditText("Audio");
    Child<QLineEdit>(d, "filecom")->setText("from the test");
    Child<QCheckBox>(d, "cbAddFiles")->setChecked(true);
    Child<QComboBox>(d, "volLoc")->setEditText("Shelf 9");
    Child<QComboBox>(d, "combo")->setCurrentIndex(1);
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.AddVolumeCommand();
  f.Wait();

  // The volume, titled with the folder typed, in the tree and selected.
  QCOMPARE(lib.Folders.TopCount(), 1);
  TFolderNode* volume = lib.Folders.Top(0);
  TLibFolder* v = volume->Data();
  QCOMPARE(Q(v->Name), tree);
  QCOMPARE(Q(v->SourcePath), tree + "/");
  QCOMPARE(Q(v->Location), QString("Shelf 9"));
  QCOMPARE(Q(v->Category), QString("Audio"));
  QAbstractItemModel* treeModel = w.tvNodes->model();
  QCOMPARE(treeModel->rowCount(), 1);
  QCOMPARE(treeModel->index(0, 0).data().toString(), tree);
  QCOMPARE(TreeRows(treeModel, treeModel->index(0, 0)), nodes);
  QCOMPARE(SubtreeNodes(volume), nodes);
  QCOMPARE(w.SelectedFolderNode(), volume);
  QCOMPARE(ListNames(w), rootRows);
  // Counts of the library and its bars.
  QCOMPARE(lib.FileCount, files);
  QCOMPARE(lib.FolderCount, folders);
  int counted = 0, countedFolders = 0;
  int64_t size = 0;
  CountRecords(volume, counted, countedFolders, size);
  QCOMPARE(counted, files);
  QCOMPARE(lib.TotalSize, size);
  QCOMPARE(w.sb_tree->Text(0), QString("Volumes: 1"));
  QVERIFY(lib.Modified);
  QVERIFY(Log(f).contains("Added "));
  for (const auto& item : v->Items)
    QCOMPARE(Q(item->Category), item->IsFolder ? QString() : QString("Audio"));
  // The picked collection links to the volume under its title.
  TColNode* music = lib.Collections.Top(0);
  QCOMPARE(music->Count(), 1);
  QCOMPARE(music->Item(0)->Data()->Kind, static_cast<int32_t>(ckVolume));
  QCOMPARE(Q(music->Item(0)->Text), tree);
  QCOMPARE(v->ColNode, music->Item(0));
  QCOMPARE(f.g->FoldersOnly, foldersOnly);

  // Remembered in the settings store ...
  TRegStore& store = f.g->Registry();
  const std::string key = std::string(kRegRoot) + "frmNewVolume";
  QCOMPARE(Q(store.ReadRegValue(key, "Folder", "")), tree);
  QCOMPARE(Q(store.ReadRegValue(key, "DefCat", "")), QString("Audio"));
  QCOMPARE(store.ReadRegValue(key, "Levels", -1), levels);
  QCOMPARE(store.ReadRegValue(key, "Add to files", false), true);
  QCOMPARE(store.ReadRegValue(key, "Collection", -1), 1);
  // ... and shown again; a folder typed before Cancel is kept as well.
  bool shown = false;
  WhenShown<TAddVolumeDialog>([&](TAddVolumeDialog* d) {
    shown = true;
    QCOMPARE(Child<QLineEdit>(d, "edFolder")->text(), tree);
    QCOMPARE(Child<QLineEdit>(d, "edTitle")->text(), tree);
    QCOMPARE(Child<QComboBox>(d, "filecat")->currentText(), QString("Audio"));
    QCOMPARE(Child<QSpinBox>(d, "edLevels")->value(), levels);
    QCOMPARE(Child<QComboBox>(d, "combo")->currentIndex(), 1);
    Child<QLineEdit>(d, "edFolder")->setText(tree + "/sub");
    Child<QPushButton>(d, "CancelBtn")->click();
  });
  w.AddVolumeCommand();
  f.Wait();
  QVERIFY(shown);
  QCOMPARE(lib.Folders.TopCount(), 1);
  QCOMPARE(Q(store.ReadRegValue(key, "Folder", "")), tree + "/sub");
}

void VolumeDialogsTest::DrivePickerFillsFolderTitleSerial_data() {
  QTest::addColumn<bool>("increment");
  QTest::addColumn<QString>("shownTitle");   // "" stands for the folder
  QTest::addColumn<QString>("pickedTitle");
  QTest::newRow("label becomes the title") << false << QString() << QString("MUSIC");
  QTest::newRow("incremented title stays") << true << QString("CD 008") << QString("CD 008");
}

void VolumeDialogsTest::DrivePickerFillsFolderTitleSerial() {
  QFETCH(bool, increment);
  QFETCH(QString, shownTitle);
  QFETCH(QString, pickedTitle);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  const QString tree = SmallTree(f, "tree");
  w.AddVolumeDialog().Media = FakeMedia(f, "1234ABCD");
  WhenShown<TAddVolumeDialog>([&](TAddVolumeDialog* d) {
    Child<QCheckBox>(d, "cbIncr")->setChecked(increment);
    Child<QLineEdit>(d, "edFolder")->setText(tree);
    Child<QLineEdit>(d, "edTitle")->setText("CD 007");
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.AddVolumeCommand();
  f.Wait();
  QCOMPARE(f.g->AddDrive, -1);
  QCOMPARE(lib.Folders.TopCount(), 1);

  const QString medium = f.dir.path() + "/";
  bool shown = false;
  WhenShown<TAddVolumeDialog>([&](TAddVolumeDialog* d) {
    shown = true;
    auto* title = Child<QLineEdit>(d, "edTitle");
    QCOMPARE(title->text(), shownTitle.isEmpty() ? tree : shownTitle);
    // Picking the medium: its root, its label unless titles count up, its serial.
    auto* drives = Child<QComboBox>(d, "cbDr");
    drives->setCurrentIndex(1);
    emit drives->activated(1);
    QCOMPARE(Child<QLineEdit>(d, "edFolder")->text(), medium);
    QCOMPARE(title->text(), pickedTitle);
    QCOMPARE(Child<QLineEdit>(d, "edser")->text(), QString("1234ABCD"));
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.AddVolumeCommand();
  f.Wait();
  QVERIFY(shown);
  // The whole medium: its place in the media list.
  QCOMPARE(f.g->AddDrive, 2);
  QCOMPARE(lib.Folders.TopCount(), 2);
  TLibFolder* added = w.SelectedFolderNode()->Data();
  QCOMPARE(Q(added->Name), pickedTitle);
  QCOMPARE(Q(added->SourcePath), medium);
  QCOMPARE(Q(added->Serial), QString("1234ABCD"));
}

void VolumeDialogsTest::InsertNewVolumeAfterRepeatsUntilCancel() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  const QString first = SmallTree(f, "first");
  const QString second = SmallTree(f, "second");
  w.AddVolumeDialog().Media = FakeMedia(f, "");
  int shown = 0;
  const auto add = [&](const QString& folder) {
    return [&shown, folder](TAddVolumeDialog* d) {
      ++shown;
      Child<QCheckBox>(d, "cbNew")->setChecked(true);
      Child<QLineEdit>(d, "edFolder")->setText(folder);
      Child<QPushButton>(d, "OKBtn")->click();
    };
  };
  // Each OK opens the dialog again once its volume is in; Cancel ends.
  WhenShownInTurn<TAddVolumeDialog>({add(first), add(second), [&](TAddVolumeDialog* d) {
                                       ++shown;
                                       Child<QPushButton>(d, "CancelBtn")->click();
                                     }});
  w.AddVolumeCommand();
  QTRY_COMPARE(shown, 3);
  f.Wait();
  QTest::qWait(50);
  QCOMPARE(shown, 3);
  QVERIFY(!w.OperationRunning());
  TLibObj& lib = w.Library();
  QCOMPARE(lib.Folders.TopCount(), 2);
  QCOMPARE(Q(lib.Folders.Top(0)->Text), first);
  QCOMPARE(Q(lib.Folders.Top(1)->Text), second);
}

void VolumeDialogsTest::StopHalfwayKeepsWhatWasRecorded() {
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  // The option to disable the views during long operations is on: a scan
  // apart from the library leaves them usable anyway.
  f.g->DisableControls = true;
  // A small volume to browse while the big one is added.
  TAddVolumeRequest small;
  small.Folder = S(SmallTree(f, "small"));
  small.Title = "Small";
  AddVolumeCommand(*f.g, small);
  QCOMPARE(lib.Folders.TopCount(), 1);

  constexpr int kFolders = 20, kFilesEach = 30;
  const QString big = f.Path("big");
  for (int d = 0; d < kFolders; ++d)
    for (int i = 0; i < kFilesEach; ++i) WriteFile(QString("%1/d%2/f%3.mp3").arg(big).arg(d).arg(i), 1);
  // Each audio file takes its time to read.
  f.g->Handlers.Readers().push_back(
      {"MP3", [](const std::string&, TTagInfo&) { std::this_thread::sleep_for(std::chrono::milliseconds(3)); }});

  WhenShown<TAddVolumeDialog>([&](TAddVolumeDialog* d) {
    Child<QLineEdit>(d, "edFolder")->setText(big);
    Child<QLineEdit>(d, "edTitle")->setText("Big");
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.AddVolumeCommand();
  QVERIFY(w.OperationRunning());
  QTRY_VERIFY_WITH_TIMEOUT(w.infoPan->isVisible(), 5000);
  QVERIFY(!w.Command("miVAdd")->isEnabled());
  QVERIFY(w.tvNodes->isEnabled() && w.lv->isEnabled());
  // The other volumes stay browsable meanwhile; the new one is not there yet.
  w.SelectFolderNode(lib.Folders.Top(0));
  QCOMPARE(ListNames(w), QStringList({"a.txt", "b.txt", "sub"}));
  QCOMPARE(w.tvNodes->model()->rowCount(), 1);
  // Stop once the walk shows entries of the big tree.
  QTRY_VERIFY_WITH_TIMEOUT(w.sb_main->Text(1).contains(big + "/d"), 5000);
  QTest::qWait(100);
  QVERIFY(w.OperationRunning());
  w.StopOperation();
  f.Wait();

  QCOMPARE(lib.Folders.TopCount(), 2);
  TFolderNode* volume = w.SelectedFolderNode();
  QVERIFY(volume);
  QCOMPARE(Q(volume->Text), QString("Big"));
  int files = 0, folders = 0;
  int64_t size = 0;
  CountRecords(volume, files, folders, size);
  QVERIFY2(files > 0 && files < kFolders * kFilesEach, qPrintable(QString::number(files)));
  // The library counts what its records hold; the tree shows every record.
  int allFiles = 0, allFolders = 0;
  int64_t allSize = 0;
  for (int i = 0; i < lib.Folders.TopCount(); ++i) CountRecords(lib.Folders.Top(i), allFiles, allFolders, allSize);
  QCOMPARE(lib.FileCount, allFiles);
  QCOMPARE(lib.FolderCount, allFolders);
  QCOMPARE(lib.TotalSize, allSize);
  QCOMPARE(lib.VolumeCount, 2);
  QAbstractItemModel* tree = w.tvNodes->model();
  const int row = volume->Index();
  QCOMPARE(TreeRows(tree, tree->index(row, 0)), SubtreeNodes(volume));
  const QString log = Log(f);
  QVERIFY(log.contains("Stopped by user."));
  QVERIFY(log.contains("Added "));
  QVERIFY(lib.Modified);
  QVERIFY(!f.g->AddingVolume);
  QVERIFY(w.Command("miVAdd")->isEnabled());
  QVERIFY(!w.infoPan->isVisible());
}

void VolumeDialogsTest::DuplicateSerialQuestion_data() {
  QTest::addColumn<bool>("checkSerial");
  QTest::addColumn<int>("answer");
  QTest::addColumn<int>("questions");
  QTest::addColumn<int>("volumes");
  QTest::newRow("continue") << true << int(TMsgAnswer::Yes) << 1 << 2;
  QTest::newRow("decline") << true << int(TMsgAnswer::No) << 1 << 1;
  QTest::newRow("not checked") << false << int(TMsgAnswer::No) << 0 << 2;
}

void VolumeDialogsTest::DuplicateSerialQuestion() {
  QFETCH(bool, checkSerial);
  QFETCH(int, answer);
  QFETCH(int, questions);
  QFETCH(int, volumes);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  f.g->CheckSerial = checkSerial;
  const QString tree = SmallTree(f, "tree");
  w.AddVolumeDialog().Media = FakeMedia(f, "CAFE0001");
  AddThroughDialog(f, tree, "First");
  QCOMPARE(lib.Folders.TopCount(), 1);
  QVERIFY(f.Questions.empty());
  w.SelectFolderNode(nullptr);

  f.Answers.push_back(static_cast<TMsgAnswer>(answer));
  AddThroughDialog(f, tree, "Second");
  QCOMPARE(static_cast<int>(f.Questions.size()), questions);
  if (questions) {
    const QString question = Q(f.Questions[0].Text);
    QVERIFY2(question.contains("CAFE0001") && question.contains("First") && question.contains("Continue?"),
             qPrintable(question));
    QCOMPARE(f.Questions[0].Buttons, TMsgButtons::YesNo);
  }
  QCOMPARE(lib.Folders.TopCount(), volumes);
  if (volumes == 1) {
    // Declined: the volume met is selected and the command ends canceled.
    QCOMPARE(w.SelectedFolderNode(), lib.Folders.Top(0));
    QCOMPARE(f.Messages.size(), size_t(1));
    QCOMPARE(Q(f.Messages[0].first), QString("Operation Canceled"));
    QVERIFY(!w.OperationRunning());
  } else {
    QCOMPARE(Q(w.SelectedFolderNode()->Text), QString("Second"));
  }
}

void VolumeDialogsTest::UpdateFromTheMedium_data() {
  QTest::addColumn<bool>("focusTree");
  QTest::addColumn<bool>("real");
  QTest::addColumn<bool>("deleteMissing");
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("keptCategory");
  QTest::newRow("delete not found") << true << true << true << QStringList{"keep.txt", "new.txt", "sub"} << "Audio";
  QTest::newRow("keep not found") << true << true << false << QStringList{"gone.txt", "keep.txt", "new.txt", "sub"}
                                  << "Audio";
  QTest::newRow("defaults only") << true << false << true << QStringList{"gone.txt", "keep.txt", "sub"} << "Audio";
  QTest::newRow("tree without focus") << false << true << true << QStringList{"gone.txt", "keep.txt", "sub"} << "";
}

void VolumeDialogsTest::UpdateFromTheMedium() {
  QFETCH(bool, focusTree);
  QFETCH(bool, real);
  QFETCH(bool, deleteMissing);
  QFETCH(QStringList, rows);
  QFETCH(QString, keptCategory);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  TLibObj& lib = w.Library();
  const QString tree = f.Path("tree");
  WriteFile(tree + "/keep.txt", 4);
  WriteFile(tree + "/gone.txt", 6);
  WriteFile(tree + "/sub/x.txt", 8);
  TAddVolumeRequest request;
  request.Folder = S(tree);
  request.Title = "Disc";
  AddVolumeCommand(*f.g, request);
  lib.Modified = false;
  QVERIFY(QFile::remove(tree + "/gone.txt"));
  WriteFile(tree + "/new.txt", 2);

  TFolderNode* volume = lib.Folders.Top(0);
  w.SelectTab(1);
  w.SelectFolderNode(volume);
  (focusTree ? static_cast<QWidget*>(w.tvNodes) : static_cast<QWidget*>(w.lvDetails))->setFocus();
  QTRY_VERIFY(QApplication::focusWidget() == (focusTree ? static_cast<QWidget*>(w.tvNodes) : w.lvDetails));
  bool shown = false;
  WhenShown<TUpdateDialog>([&](TUpdateDialog* d) {
    shown = true;
    auto* folder = Child<QLineEdit>(d, "edFolder");
    QCOMPARE(folder->text(), tree + "/");
    QVERIFY(!folder->isEnabled());
    Child<QCheckBox>(d, "cbReal")->setChecked(real);
    QCOMPARE(folder->isEnabled(), real);
    Child<QCheckBox>(d, "cbDel")->setChecked(deleteMissing);
    Child<QComboBox>(d, "filecat")->setEditText("Audio");
    Child<QCheckBox>(d, "cbAddFiles")->setChecked(true);
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.UpdateVolumeCommand();
  f.Wait();
  QCOMPARE(shown, focusTree);

  QCOMPARE(w.SelectedFolderNode(), volume);
  QCOMPARE(ListNames(w), rows);
  QStringList recorded;
  for (const auto& item : volume->Data()->Items) recorded << Q(item->Name);
  recorded.sort();
  QCOMPARE(recorded, rows);
  QCOMPARE(Q(volume->Data()->Items.Find("keep.txt")->Category), keptCategory);
  QCOMPARE(lib.Modified, focusTree);
  int files = 0, folders = 0;
  int64_t size = 0;
  CountRecords(volume, files, folders, size);
  if (focusTree) QCOMPARE(lib.FileCount, files);
  if (focusTree && real) QCOMPARE(Q(volume->Data()->Items.Find("new.txt")->Category), QString("Audio"));
  QCOMPARE(Log(f).contains("Deleted: 1 files"), focusTree && real && deleteMissing);
  if (focusTree) QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.tvNodes));
}

void VolumeDialogsTest::CategoriesThroughTheTextEditor_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("accept");
  QTest::addColumn<QStringList>("result");
  QTest::newRow("OK sorts and drops duplicates") << "Rock\npop\nrock\n\nJazz" << true << QStringList{"Jazz", "pop", "Rock"};
  QTest::newRow("Cancel changes nothing") << "Rock\nJazz" << false << QStringList{"Old", "Older"};
}

void VolumeDialogsTest::CategoriesThroughTheTextEditor() {
  QFETCH(QString, typed);
  QFETCH(bool, accept);
  QFETCH(QStringList, result);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  f.g->CategoriesFile = S(f.Path("lists/Categories.txt"));
  f.g->CategoriesList.Clear();
  f.g->CategoriesList.Add("Older");
  f.g->CategoriesList.Add("Old");
  QVERIFY(w.Command("miCategories")->isEnabled());
  QVERIFY(w.Command("tbCat")->isEnabled());
  bool shown = false;
  WhenShown<TTextEditor>([&](TTextEditor* d) {
    shown = true;
    QCOMPARE(d->objectName(), QString("frmTextEdit"));
    QCOMPARE(d->windowTitle(), "Categories - " + f.Path("lists/Categories.txt"));
    auto* memo = Child<QPlainTextEdit>(d, "Memo");
    QCOMPARE(memo->toPlainText(), QString("Old\nOlder"));
    memo->setPlainText(typed);
    Child<QPushButton>(d, accept ? "OKBtn" : "CancelBtn")->click();
  });
  w.Command("miCategories")->trigger();
  QVERIFY(shown);
  QStringList list;
  for (const std::string& c : f.g->CategoriesList) list << Q(c);
  QCOMPARE(list, result);
  // The file waits for the settings to be saved.
  QVERIFY(!QFileInfo::exists(f.Path("lists/Categories.txt")));
  // The editor keeps its placement.
  TPlacement placement;
  QVERIFY(f.g->Registry().ReadPlacement(std::string(kRegRoot) + "Pos\\frmTextEdit", placement));
}

void VolumeDialogsTest::OrganizeFavorites_data() {
  QTest::addColumn<bool>("create");
  QTest::newRow("file created and edited") << true;
  QTest::newRow("creation declined") << false;
}

void VolumeDialogsTest::OrganizeFavorites() {
  QFETCH(bool, create);
  TWindowFixture f;
  TMainWindow& w = *f.window;
  const QString file = f.Path("favs/Favorites.txt");
  f.g->FavoritesFile = S(file);
  f.g->FavoritesList.Clear();
  f.g->FavoritesList.Add("Music=/lib/music.twl");
  f.Answers.push_back(create ? TMsgAnswer::OK : TMsgAnswer::Cancel);
  bool shown = false;
  WhenShown<TTextEditor>([&](TTextEditor* d) {
    shown = true;
    QCOMPARE(d->windowTitle(), "Favorites - " + file);
    auto* memo = Child<QPlainTextEdit>(d, "Memo");
    QCOMPARE(memo->toPlainText(), QString("Music=/lib/music.twl"));
    memo->setPlainText("Work=/lib/work.twl\nMusic=/lib/music.twl");
    Child<QPushButton>(d, "OKBtn")->click();
  });
  w.Command("tbOrgFavorites")->trigger();
  QCOMPARE(f.QuestionTexts(), std::vector<std::string>{"Create Favorites File?"});
  QCOMPARE(shown, create);
  QCOMPARE(QFileInfo::exists(file), create);
  QStringList entries;
  const QList<QAction*> actions = w.Menu("miFavorites")->actions();
  for (qsizetype i = 3; i < actions.size(); ++i)
    if (!actions[i]->isSeparator()) entries << actions[i]->text();
  if (!create) {
    QCOMPARE(f.g->FavoritesList.Count(), 1);
    return;
  }
  QFile written(file);
  QVERIFY(written.open(QIODevice::ReadOnly));
  QCOMPARE(written.readAll(), QByteArray("Music=/lib/music.twl\r\nWork=/lib/work.twl\r\n"));
  QCOMPARE(entries, QStringList({"Music", "Work"}));
}

void VolumeDialogsTest::HandlerListEditsTheProgramTable_data() {
  QTest::addColumn<QString>("handler");
  QTest::addColumn<QString>("typed");  // empty: Delete instead of Add
  QTest::addColumn<QString>("extensions");
  QTest::newRow("add without dot") << "MP3" << "mp3x" << ".MP3 .MP3X";
  QTest::newRow("add with dot") << "OGG" << ".oga" << ".OGA .OGG";
  QTest::newRow("delete one of several") << "APE" << "" << ".MAC";
  QTest::newRow("last one stays") << "WAV" << "" << ".WAV";
}

void VolumeDialogsTest::HandlerListEditsTheProgramTable() {
  QFETCH(QString, handler);
  QFETCH(QString, typed);
  QFETCH(QString, extensions);
  TWindowFixture f;
  THandlerList& handlers = f.g->Handlers;
  THandlerListView view(handlers, f.window.get());
  view.Fill();
  const QList<QTreeWidgetItem*> found = view.findItems(handler, Qt::MatchExactly, 0);
  QCOMPARE(found.size(), 1);
  QTreeWidgetItem* item = found.first();
  // The check box switches the handler of the program's table.
  QVERIFY(handlers.Find(S(handler))->Active);
  item->setCheckState(0, Qt::Unchecked);
  QVERIFY(!handlers.Find(S(handler))->Active);

  WhenShown<TExtensionEditor>([&](TExtensionEditor* d) {
    QCOMPARE(d->windowTitle(), Q(handlers.Find(S(handler))->Description));
    if (typed.isEmpty()) {
      d->findChild<QListWidget*>("lb_FileExt")->setCurrentRow(0);
      d->findChild<QAction*>("tbDelete")->trigger();
    } else {
      WhenShown<QInputDialog>([&](QInputDialog* input) {
        QCOMPARE(input->labelText(), d->windowTitle());
        input->setTextValue(typed);
        input->accept();
      });
      d->findChild<QAction*>("tbAdd")->trigger();
    }
    Child<QPushButton>(d, "OKBtn")->click();
  });
  view.EditRow(view.indexOfTopLevelItem(item));
  QStringList list;
  for (const std::string& ext : handlers.Find(S(handler))->Extensions) list << Q(ext);
  QCOMPARE(list.join(' '), extensions);
  QCOMPARE(item->text(2), extensions);
}

QTEST_MAIN(VolumeDialogsTest)
#include "VolumeDialogsTest.moc"
