// The main window's commands: every action with its name, caption and key,
// the menus, the context menus and the toolbar.
#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QActionGroup>

#include "base/Error.h"
#include "base/FileUtils.h"
#include "core/FileFind.h"
#include "base/TextUtils.h"
#include "state/Commands.h"
#include "tags/TagClasses.h"
#include "ui/FileListModel.h"
#include "ui/FolderTreeModel.h"
#include "ui/LibraryViews.h"
#include "ui/Text.h"
#include "ui/WindowHost.h"

namespace tw {

QAction* TMainWindow::MakeCommand(const QString& name, const QString& caption, const QString& shortcut,
                                  std::function<void()> run) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) {
    action->setShortcut(QKeySequence(shortcut));
    // Shown in the menus; the window resolves keys itself (DispatchShortcut).
    action->setShortcutContext(Qt::WidgetShortcut);
  }
  if (name.startsWith(QLatin1String("tb"))) action->setToolTip(caption);
  const QIcon icon = pictures_.Command(name);
  if (!icon.isNull()) action->setIcon(icon);
  if (run) connect(action, &QAction::triggered, this, [run] { run(); });
  commands_.insert(name, action);
  return action;
}

void TMainWindow::BuildActions() {
  auto idle = [this](std::function<void()> f) {
    return [this, f] {
      if (Idle()) f();
    };
  };
  // Library
  MakeCommand("miNew", "&New", {}, idle([this] { NewLibrary(); }));
  MakeCommand("miOpen", "&Open..", "Ctrl+O", idle([this] { OpenLibrary(); }));
  MakeCommand("miReload", "Reload Current &Library", {}, idle([this] { ReloadLibrary(); }));
  MakeCommand("miLProperties", "&Properties..");
  MakeCommand("miSave", "&Save", "Ctrl+S", idle([this] { SaveLibrary(); }));
  MakeCommand("miSaveAs", "Save &as..", {}, idle([this] { SaveLibraryAs(); }));
  MakeCommand("miImpLibrabry", "&Library", {}, idle([this] { ImportLibrary(); }));
  MakeCommand("miImpText", "&Text File");
  MakeCommand("miExport", "&Export..");
  MakeCommand("miClose", "&Close Current Library", "Ctrl+F4", idle([this] { CloseLibrary(); }));
  MakeCommand("miExit", "E&xit", "Alt+F4", [this] { close(); });
  // Volume
  MakeCommand("miVProperties", "&Properties..", "Alt+Return");
  MakeCommand("miVAdd", "&Add", "Ctrl+A", idle([this] { AddVolumeCommand(); }));
  MakeCommand("miVUpdate", "&Update", "Ctrl+U", idle([this] { UpdateVolumeCommand(); }));
  MakeCommand("miVDelete", "&Delete", "Ctrl+Del", idle([this] { DeleteSelected(); }));
  MakeCommand("miVPrint", "&Print Cover", "Ctrl+P");
  MakeCommand("miVExport", "&Export..");
  MakeCommand("miVExploreReal", "Explore &Real Source", "Ctrl+Return", idle([this] { OpenRealSource(); }));
  MakeCommand("miVSearch", "Search", "Ctrl+Alt+S");
  MakeCommand("miVStopProcess", "&Stop Process", "Ctrl+C", [this] { StopOperation(); });
  // Files
  MakeCommand("miFProperties", "&Properties..", "Alt+Return");
  MakeCommand("miFDelete", "&Delete", "Ctrl+D", idle([this] { DeleteSelected(); }));
  MakeCommand("miFSelectAll", "Select &All", "Ctrl+A", [this] { SelectAllRows(); });
  MakeCommand("miFInvertSelection", "&Invert Selection", {}, [this] { InvertSelection(); });
  MakeCommand("miFOpenRealSource", "&Open Real Source", "Ctrl+Return", idle([this] { OpenRealSource(); }));
  MakeCommand("miFSearch", "&Search", "Ctrl+Alt+F");
  // View
  for (const auto& [name, caption, mark] :
       {std::tuple{"miViewToolbar", "&Toolbar", true}, std::tuple{"miViewStatusbar", "&Statusbar", true},
        std::tuple{"miViewMessages", "&Messages", false}, std::tuple{"miInfobar", "&Information Bar", true}}) {
    QAction* a = MakeCommand(name, caption, {}, [this] { ApplyViewMarks(); });
    a->setCheckable(true);
    a->setChecked(mark);
  }
  QAction* autoSize = MakeCommand("miAutoResizeColumns", "&Auto Resize Columns", {},
                                  [this] { SetAutoResizeColumns(Command("miAutoResizeColumns")->isChecked()); });
  autoSize->setCheckable(true);
  MakeCommand("miRefresh", "&Refresh", "F5", idle([this] { RefreshView(); }));
  // Favorites
  MakeCommand("miAddFavorites", "Add &to Favorites", {}, idle([this] {
                if (Library().FileName.empty()) return;
                try {
                  g_.AddFavorite();
                } catch (const std::exception& e) {
                  ShowError(Q(TextOf(e, g_.Messages())));
                }
                RebuildFavoritesMenu();
              }));
  MakeCommand("miOrganizeFavorites", "&Organize Favorites");
  // Tools
  MakeCommand("miFind", "&Find..", "Ctrl+F");
  MakeCommand("miCategories", "&Categories");
  MakeCommand("miLocations", "L&ocations");
  MakeCommand("miExpLng", "E&xport Current Language..");
  MakeCommand("miLoadOriginalLanguage", "Load Ori&ginal Language");
  MakeCommand("miTags", "&Tags");
  MakeCommand("miHandlers", "&Handlers");
  MakeCommand("miOptions", "&Options");
  // Help
  MakeCommand("miContents", "&Contents", "F1");
  MakeCommand("miAbout", "&About..");

  // File-list context menu
  MakeCommand("pmLVOpen", "&Open", "Return", idle([this] { OpenSelectedRow(); }));
  MakeCommand("pmLVProperties", "&Properties..", "Alt+Return");
  MakeCommand("pmLVDelete", "&Delete", "Ctrl+D", idle([this] { DeleteSelected(); }));
  MakeCommand("pmLVSelectAll", "Select &All", "Ctrl+A", [this] { SelectAllRows(); });
  MakeCommand("pmLVInvertSelection", "&Invert Selection", {}, [this] { InvertSelection(); });
  MakeCommand("pmLVRealSource", "Open &Real Source", "Ctrl+Return", idle([this] { OpenRealSource(); }));
  MakeCommand("pmLVSearchBy", "&Search", "Ctrl+Alt+F");
  MakeCommand("pmLVSearchDuplicates", "Search D&uplicates", "Ctrl+Alt+D");
  // Volume-tree context menu
  MakeCommand("pmTVProperties", "&Properties..", "Alt+Return");
  MakeCommand("pmTVAdd", "&Add", "Ctrl+A", idle([this] { AddVolumeCommand(); }));
  MakeCommand("pmTVUpdate", "&Update", "Ctrl+U", idle([this] { UpdateVolumeCommand(); }));
  MakeCommand("pmTVDelete", "&Delete", "Ctrl+Del", idle([this] { DeleteSelected(); }));
  MakeCommand("pmTVPrintCover", "Print &Cover", "Ctrl+P");
  MakeCommand("pmTVImportLib", "&Librabry", {}, idle([this] { ImportLibrary(); }));
  MakeCommand("pmTVImportText", "&Text File");
  MakeCommand("pmTVExport", "&Export..");
  MakeCommand("pmTVExploreReal", "Explore &Real Source", "Ctrl+Return", idle([this] { OpenRealSource(); }));
  MakeCommand("pmTvSearch", "&Search");
  MakeCommand("pmTVExpandOne", "Expand Node (&One Level)", {}, [this] { ExpandNode(0); });
  MakeCommand("pmTVCollapseOne", "Collapse Node (One &Level)", {}, [this] { ExpandNode(1); });
  MakeCommand("pmTVExpandAll", "Expand Node (&All Levels)", {}, [this] { ExpandNode(2); });
  MakeCommand("pmTVCollapseAll", "Collapse Node (All L&evels)", {}, [this] { ExpandNode(3); });

  // Toolbar buttons
  MakeCommand("tbNew", "New", {}, idle([this] { NewLibrary(); }));
  MakeCommand("tbOpen", "Open", {}, idle([this] { OpenLibrary(); }));
  MakeCommand("tbReload", "Reload Current Library", {}, idle([this] { ReloadLibrary(); }));
  MakeCommand("tbSave", "Save", {}, idle([this] { SaveLibrary(); }));
  MakeCommand("tbAdd", "Add Volume", {}, idle([this] { AddVolumeCommand(); }));
  MakeCommand("tbUpdate", "Update", {}, idle([this] { UpdateVolumeCommand(); }));
  MakeCommand("tbEdit", "Properties");
  MakeCommand("tbDel", "Delete Volume", {}, idle([this] { DeleteSelected(); }));
  MakeCommand("tbImport", "&Import");
  MakeCommand("tbExport", "Export");
  MakeCommand("tbFind", "Find");
  MakeCommand("tbPrint", "Print");
  MakeCommand("tbCat", "Categories");
  MakeCommand("tbLoc", "Locations");
  MakeCommand("tbOrgFavorites", "Organize Favorites");
  MakeCommand("tbOptions", "Options");
  MakeCommand("tbRefresh", "Refresh", {}, idle([this] { RefreshView(); }));
  MakeCommand("tbStop", "Stop", {}, [this] { StopOperation(); });
  MakeCommand("tbLng", "&Languages");
  MakeCommand("tbHelp", "Help");
  MakeCommand("tbAbout", "About");

  // The windows of these commands are not part of the program yet.
  for (const char* name :
       {"miLProperties", "miImpText", "miExport", "miVProperties", "miVPrint", "miVExport", "miVSearch",
        "miFProperties", "miFSearch", "miOrganizeFavorites", "miFind", "miCategories", "miLocations", "miExpLng",
        "miLoadOriginalLanguage", "miTags", "miHandlers", "miOptions", "miContents", "miAbout", "pmLVProperties",
        "pmLVSearchBy", "pmLVSearchDuplicates", "pmTVProperties", "pmTVPrintCover", "pmTVImportText", "pmTVExport",
        "pmTvSearch", "tbEdit", "tbExport", "tbFind", "tbPrint", "tbCat", "tbLoc", "tbOrgFavorites", "tbOptions",
        "tbHelp", "tbAbout"})
    later_.insert(QString::fromLatin1(name));
  for (const QString& name : later_) commands_.value(name)->setEnabled(false);
}

void TMainWindow::MakeAvailable(const QString& name) {
  later_.remove(name);
  if (QAction* action = Command(name)) action->setEnabled(g_.ProcessStopped);
}

void TMainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu");
  auto menu = [this](QMenu* parent, const QString& name, const QString& caption) {
    QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    menus_.insert(name, m);
    return m;
  };
  auto add = [this](QMenu* m, const char* name) { m->addAction(Command(QString::fromLatin1(name))); };

  QMenu* lib = menu(nullptr, "miLibrary", "&Library");
  add(lib, "miNew");
  add(lib, "miOpen");
  add(lib, "miReload");
  menu(lib, "miReopen", "&Reopen Library");
  lib->addSeparator();
  add(lib, "miLProperties");
  lib->addSeparator();
  add(lib, "miSave");
  add(lib, "miSaveAs");
  lib->addSeparator();
  QMenu* import = menu(lib, "miImport", "&Import");
  add(import, "miImpLibrabry");
  add(import, "miImpText");
  add(lib, "miExport");
  lib->addSeparator();
  add(lib, "miClose");
  lib->addSeparator();
  add(lib, "miExit");

  QMenu* vol = menu(nullptr, "miVolume", "Volume");
  for (const char* n : {"miVProperties", "miVAdd", "miVUpdate", "miVDelete", "miVPrint", "miVExport",
                        "miVExploreReal", "miVSearch"})
    add(vol, n);
  vol->addSeparator();
  add(vol, "miVStopProcess");

  QMenu* files = menu(nullptr, "miFiles", "&Files");
  for (const char* n : {"miFProperties", "miFDelete", "miFSelectAll", "miFInvertSelection"}) add(files, n);
  files->addSeparator();
  // The view and arrange submenus of the Files menu and of the list's
  // context menu are kept in step: each pair shares one checked group.
  auto styleMenus = [&](QMenu* parent, const QString& viewName, const QString& arrangeName, const QString& prefix,
                        const QString& arrangeCaption) {
    QMenu* view = menu(parent, viewName, "&View");
    auto* group = new QActionGroup(this);
    const QStringList styles{"Lar&ge Icons", "S&mall Icons", "&List", "&Details"};
    for (int i = 0; i < styles.size(); ++i) {
      QAction* a = MakeCommand(prefix + "View" + QString::number(i), styles[i], {}, [this, i] { SetViewStyle(i); });
      a->setCheckable(true);
      a->setChecked(i == 3);
      group->addAction(a);
      view->addAction(a);
    }
    QMenu* arrange = menu(parent, arrangeName, arrangeCaption);
    auto* sortGroup = new QActionGroup(this);
    const QStringList columns{"&Name", "&Type", "&Size", "&Date", "&Category", "C&omments"};
    for (int i = 0; i < columns.size(); ++i) {
      QAction* a = MakeCommand(prefix + "Arrange" + QString::number(i), columns[i], {}, [this, i] { ArrangeBy(i); });
      a->setCheckable(true);
      a->setChecked(i == 0);
      sortGroup->addAction(a);
      arrange->addAction(a);
    }
  };
  styleMenus(files, "miFView", "miFArrangeIcons", "miF", "Arrange &Icons");
  files->addSeparator();
  add(files, "miFOpenRealSource");
  add(files, "miFSearch");
  connect(files, &QMenu::aboutToShow, this, [this] {
    const bool row = !SelectedItems().empty() && Idle();
    for (const char* n : {"miFProperties", "miFDelete", "miFOpenRealSource", "miFSearch"})
      if (!Unavailable(QString::fromLatin1(n))) Command(QString::fromLatin1(n))->setEnabled(row);
  });

  QMenu* view = menu(nullptr, "miView", "&View");
  for (const char* n : {"miViewToolbar", "miViewStatusbar", "miViewMessages", "miInfobar", "miAutoResizeColumns"})
    add(view, n);
  view->addSeparator();
  add(view, "miRefresh");

  QMenu* fav = menu(nullptr, "miFavorites", "F&avorites");
  add(fav, "miAddFavorites");
  add(fav, "miOrganizeFavorites");
  fav->addSeparator()->setObjectName("sepFav");

  QMenu* tools = menu(nullptr, "miTools", "&Tools");
  add(tools, "miFind");
  tools->addSeparator();
  add(tools, "miCategories");
  add(tools, "miLocations");
  tools->addSeparator();
  add(tools, "miExpLng");
  add(tools, "miLoadOriginalLanguage");
  menu(tools, "miLanguages", "&Languages");
  tools->addSeparator();
  add(tools, "miTags");
  add(tools, "miHandlers");
  add(tools, "miOptions");

  QMenu* help = menu(nullptr, "miHelp", "&Help");
  add(help, "miContents");
  add(help, "miAbout");

  // Context menus
  QMenu* pmLv = new QMenu(this);
  pmLv->setObjectName("pmLv");
  menus_.insert("pmLv", pmLv);
  for (const char* n : {"pmLVOpen", "pmLVProperties", "pmLVDelete", "pmLVSelectAll", "pmLVInvertSelection"})
    add(pmLv, n);
  pmLv->addSeparator();
  styleMenus(pmLv, "pmLVView", "pmLVArrangeIcons", "pmLV", "Arrange I&cons");
  pmLv->addSeparator();
  for (const char* n : {"pmLVRealSource", "pmLVSearchBy", "pmLVSearchDuplicates"}) add(pmLv, n);
  connect(pmLv, &QMenu::aboutToShow, this, [this] {
    const bool row = !SelectedItems().empty() && Idle();
    for (const char* n :
         {"pmLVOpen", "pmLVProperties", "pmLVDelete", "pmLVRealSource", "pmLVSearchBy", "pmLVSearchDuplicates"})
      if (!Unavailable(QString::fromLatin1(n))) Command(QString::fromLatin1(n))->setEnabled(row);
  });

  QMenu* pmTv = new QMenu(this);
  pmTv->setObjectName("pmTv");
  menus_.insert("pmTv", pmTv);
  for (const char* n : {"pmTVProperties", "pmTVAdd", "pmTVUpdate", "pmTVDelete", "pmTVPrintCover"}) add(pmTv, n);
  QMenu* tvImport = menu(pmTv, "pmTVImport", "&Import");
  add(tvImport, "pmTVImportLib");
  add(tvImport, "pmTVImportText");
  add(pmTv, "pmTVExport");
  add(pmTv, "pmTVExploreReal");
  QMenu* node = menu(pmTv, "pmTVNode", "&Node");
  for (const char* n : {"pmTVExpandOne", "pmTVCollapseOne", "pmTVExpandAll", "pmTVCollapseAll"}) add(node, n);
  add(pmTv, "pmTvSearch");
}

void TMainWindow::BuildToolbar() {
  tb = addToolBar(QStringLiteral("Toolbar"));
  tb->setObjectName("tb");
  tb->setMovable(false);
  tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const std::vector<std::vector<const char*>> groups = {
      {"tbNew"}, {"tbOpen", "tbReload", "tbSave"}, {"tbAdd", "tbUpdate"}, {"tbEdit", "tbDel"}, {"tbImport"},
      {"tbExport"}, {"tbFind"}, {"tbPrint"}, {"tbCat", "tbLoc", "tbOrgFavorites"}, {"tbOptions"},
      {"tbRefresh", "tbStop"}, {"tbLng"}, {"tbHelp", "tbAbout"}};
  for (size_t i = 0; i < groups.size(); ++i) {
    if (i) tb->addSeparator();
    for (const char* name : groups[i]) {
      QAction* a = Command(QString::fromLatin1(name));
      tb->addAction(a);
    }
  }
  // Import and Languages drop down their menus.
  for (const auto& [button, menuName] : {std::pair{"tbImport", "miImport"}, std::pair{"tbLng", "miLanguages"}}) {
    QAction* a = Command(QString::fromLatin1(button));
    a->setMenu(Menu(QString::fromLatin1(menuName)));
    if (auto* tool = qobject_cast<QToolButton*>(tb->widgetForAction(a))) {
      tool->setPopupMode(QToolButton::InstantPopup);
      tool->setObjectName(QString::fromLatin1(button));
    }
  }
  for (QAction* a : tb->actions())
    if (auto* tool = qobject_cast<QToolButton*>(tb->widgetForAction(a)))
      if (tool->objectName().isEmpty()) tool->setObjectName(a->objectName() + "Button");
}

}  // namespace tw
