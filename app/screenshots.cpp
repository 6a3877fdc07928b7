// tarnwex-screenshots OUTDIR LIBRARY: renders the main window on the given
// library into OUTDIR/*.png with whatever platform Qt runs on (make
// screenshots uses the offscreen one).
#include <QApplication>
#include <QDir>
#include <QDialog>
#include <QIcon>
#include <functional>
#include <QPalette>
#include <QStyle>
#include <QTabWidget>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "state/Commands.h"
#include "state/Globals.h"
#include "ui/AddVolumeDialog.h"
#include "ui/ExportDialog.h"
#include "ui/ImportDialog.h"
#include "ui/MainWindow.h"
#include "ui/Translator.h"
#include "ui/UpdateDialog.h"
#include "ui/QuietPlatform.h"
#include "ui/WindowHost.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget* widget, const QString& dir, const QString& name) {
  Settle();
  const QString file = dir + "/" + name + ".png";
  const bool ok = widget->grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

// Opens a modal window through `open` and saves it, one picture per page
// when it has pages, then closes it.
bool ShootModal(const QString& dir, const QString& name, const std::function<void()>& open) {
  bool ok = false;
  QTimer::singleShot(200, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    QTabWidget* pages = modal->findChild<QTabWidget*>();
    if (!pages || pages->count() < 2) {
      ok = Save(modal, dir, name);
    } else {
      ok = true;
      for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        ok = Save(modal, dir, QString("%1-page%2").arg(name).arg(i + 1)) && ok;
      }
      pages->setCurrentIndex(0);
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
  });
  open();
  if (!ok) std::printf("FAILED %s: no window opened\n", qPrintable(name));
  return ok;
}

// The node of a path of captions from the top, or none.
tw::TFolderNode* FindNode(tw::TMainWindow& window, const std::vector<std::string>& path) {
  tw::TLibObj& lib = window.Library();
  tw::TFolderNode* node = nullptr;
  for (const std::string& caption : path) {
    tw::TFolderNode* next = nullptr;
    const int count = node ? node->Count() : lib.Folders.TopCount();
    for (int i = 0; i < count && !next; ++i) {
      tw::TFolderNode* child = node ? node->Item(i) : lib.Folders.Top(i);
      if (child->Text == caption) next = child;
    }
    if (!next) return nullptr;
    node = next;
  }
  return node;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tw::QuietOffscreenNotes();
  QApplication::setApplicationDisplayName(QStringLiteral("Tarnwex"));
  QIcon::setThemeName(QStringLiteral("Adwaita"));
  QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
  if (argc < 3) {
    std::fprintf(stderr, "usage: tarnwex-screenshots OUTDIR LIBRARY\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  tw::TWindowHost host;
  host.Quiet = true;
  tw::TGlobalData g(host);
  g.LoadSettings();
  tw::TMainWindow window(g, host);
  window.ApplyLoadedSettings();
  window.resize(1100, 720);
  window.show();
  window.OpenStartLibrary(QString::fromLocal8Bit(argv[2]));
  window.Runner().Wait();
  Settle();
  // The first volume opened one level, its first folder selected.
  window.SelectTab(1);
  const QModelIndex first = window.tvNodes->model()->index(0, 0);
  window.tvNodes->expand(first);
  const QModelIndex folder = window.tvNodes->model()->index(0, 0, first);
  if (folder.isValid()) window.tvNodes->setCurrentIndex(folder);
  bool ok = true;
  const char* styles[] = {"large-icons", "small-icons", "list", "details"};
  for (int style = 0; style < 4; ++style) {
    window.SetViewStyle(style);
    ok = Save(&window, dir, QString("main-volume-%1").arg(styles[style])) && ok;
  }
  // An album, its first track selected, its tags shown.
  if (tw::TFolderNode* album = FindNode(window, {"Music CD", "Maple Avenue", "Paper Boats"})) {
    window.SelectFolderNode(album);
    window.tvNodes->expand(window.tvNodes->currentIndex().parent());
    window.lvDetails->setCurrentIndex(window.lvDetails->model()->index(0, 0));
    window.pcInfo->setCurrentIndex(1);
    ok = Save(&window, dir, "main-album-tags") && ok;
    window.pcInfo->setCurrentIndex(0);
  }
  window.Command("miViewMessages")->setChecked(true);
  window.ApplyViewMarks();
  window.SelectTab(0);
  window.tvCol->expandAll();
  ok = Save(&window, dir, "main-collection") && ok;
  window.SelectTab(2);
  ok = Save(&window, dir, "main-mixed") && ok;
  // The dialogs, each page of them, as they open over the window.
  window.SelectTab(1);
  window.Command("miViewMessages")->setChecked(false);
  window.ApplyViewMarks();
  ok = ShootModal(dir, "add-volume", [&] { window.AddVolumeDialog().Run(window.Library()); }) && ok;
  if (tw::TFolderNode* music = FindNode(window, {"Music CD"})) {
    window.SelectFolderNode(music);
    ok = ShootModal(dir, "update", [&] { window.UpdateDialog().Run(music->Data()->GetSourcePath()); }) && ok;
  }
  // The categories the demo's volumes carry, as the user keeps them.
  for (int i = 0; i < window.Library().Folders.TopCount(); ++i)
    if (const std::string& category = window.Library().Folders.Top(i)->Data()->Category; !category.empty())
      g.CategoriesList.Add(category);
  ok = ShootModal(dir, "categories-editor", [&] { window.EditCategories(); }) && ok;
  // The properties of an album's tracks, every page: the tags they share,
  // the album folder, its volume and the library with their sizes.
  if (tw::TFolderNode* album = FindNode(window, {"Music CD", "Maple Avenue", "Paper Boats"})) {
    window.SelectFolderNode(album);
    QAbstractItemModel* rows = window.lvDetails->model();
    for (int row = 0; row < rows->rowCount(); ++row)
      if (rows->index(row, 0).data().toString().endsWith(QLatin1String(".mp3")))
        window.lvDetails->selectionModel()->select(rows->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ok = ShootModal(dir, "properties", [&] { window.FileProperties(false); }) && ok;
  }
  ok = ShootModal(dir, "options", [&] { window.EditOptions(); }) && ok;
  // The tag names of the demo's files, as a scan with "Add Tag to Globals"
  // gathers them.
  tw::TSortedStrings tagNames;
  for (tw::TFolderNode* node = window.Library().Folders.GetFirstNode(); node; node = node->GetNext())
    for (const auto& item : node->Data()->Items)
      for (const std::string& tag : item->TagInfo.Tags) tagNames.Add(tag.substr(0, tag.find('=')));
  tw::MergeFoundNames(g, tagNames);
  ok = ShootModal(dir, "tags-editor", [&] { window.EditTags(); }) && ok;
  ok = ShootModal(dir, "handlers", [&] { window.EditHandlers(); }) && ok;
  ok = ShootModal(dir, "about", [&] { window.ShowAbout(); }) && ok;
  ok = ShootModal(dir, "export", [&] { window.ExportDialog().Run(tw::esLibrary); }) && ok;
  ok = ShootModal(dir, "import", [&] { window.ImportDialog().Run(); }) && ok;
  // A dark palette: nothing may keep light colours of its own.
  QApplication::setStyle(QStringLiteral("Fusion"));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 32));
  dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::Button, QColor(55, 55, 58));
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Highlight, QColor(60, 110, 180));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  QApplication::setPalette(dark);
  window.SelectTab(2);
  ok = Save(&window, dir, "main-mixed-dark") && ok;
  // The window in German, in the style's own colours again.
  QApplication::setPalette(QApplication::style()->standardPalette());
  window.SelectTab(1);
  window.Command("miViewMessages")->setChecked(true);
  window.ApplyViewMarks();
  if (window.Translator().SelectLanguage("Deutsch")) {
    ok = Save(&window, dir, "main-german") && ok;
    ok = ShootModal(dir, "add-volume-german", [&] { window.AddVolumeDialog().Run(window.Library()); }) && ok;
  } else {
    ok = false;
  }
  return ok ? 0 : 1;
}
