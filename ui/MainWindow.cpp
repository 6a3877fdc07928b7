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

namespace {

const QString kCatalogFilter = QStringLiteral("Catalogs (*.TWL *.twl);;All Files (*)");

// The path of a node from the top (captions joined), to find it again after
// the library was busy.
QStringList NodePath(TFolderNode* node) {
  QStringList path;
  for (; node; node = node->Parent()) path.prepend(Q(node->Text));
  return path;
}

TFolderNode* NodeAt(TLibObj& lib, const QStringList& path) {
  TFolderNode* found = nullptr;
  for (const QString& caption : path) {
    TFolderNode* next = nullptr;
    const int count = found ? found->Count() : lib.Folders.TopCount();
    for (int i = 0; i < count && !next; ++i) {
      TFolderNode* child = found ? found->Item(i) : lib.Folders.Top(i);
      if (Q(child->Text) == caption) next = child;
    }
    if (!next) return found;
    found = next;
  }
  return found;
}

}  // namespace

// --- the bars ---

TBar::TBar(const QString& name, int fields, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 1, 4, 1);
  layout->setSpacing(8);
  for (int i = 0; i < fields; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(name + QString::number(i));
    label->setMinimumWidth(10);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(label, 1);
    fields_.push_back(label);
    texts_.emplace_back();
  }
}

void TBar::SetText(int field, const QString& text) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return;
  texts_[static_cast<size_t>(field)] = text;
  Elide(field);
}

QString TBar::Text(int field) const {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return {};
  return texts_[static_cast<size_t>(field)];
}

void TBar::Elide(int field) {
  QLabel* label = fields_[static_cast<size_t>(field)];
  const QString& text = texts_[static_cast<size_t>(field)];
  const int width = label->width() > 20 ? label->width() : 400;
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, width));
  label->setToolTip(text);
}

void TBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (int i = 0; i < static_cast<int>(fields_.size()); ++i) Elide(i);
}

// --- construction ---

TMainWindow::TMainWindow(TGlobalData& g, TWindowHost& host)
    : g_(g), host_(host), pictures_(g), display_(g), views_(std::make_unique<TLibraryViews>()) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Tarnwex"));
  runner_ = std::make_unique<TOperationRunner>(display_, g_.Messages(), this);
  treeModel_ = new TFolderTreeModel(pictures_, this);
  listModel_ = new TFileListModel(g_, pictures_, this);
  views_->Add(treeModel_);
  views_->Add(listModel_);
  BuildActions();
  BuildVolumeCommands();
  BuildMenus();
  BuildToolbar();
  BuildRegions();
  BuildCollections();
  Connect();
  host_.Attach(this);
  treeModel_->SetLibrary(g_.CurrentLibrary.get());
  g_.CurrentLibrary->SetListener(views_.get());
  qApp->installEventFilter(this);
  resize(1000, 700);
}

TMainWindow::~TMainWindow() {
  qApp->removeEventFilter(this);
  if (runner_->Running()) {
    runner_->Stop();
    runner_->Wait();
  }
  if (g_.CurrentLibrary) g_.CurrentLibrary->SetListener(nullptr);
  host_.Attach(nullptr);
  // The views go before the pictures and models they read.
  delete takeCentralWidget();
}

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

void TMainWindow::BuildRegions() {
  auto* central = new QWidget(this);
  central->setObjectName("panMain");
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  spltMsgs = new QSplitter(Qt::Vertical, central);
  spltMsgs->setObjectName("spltMsgs");
  SpltCol = new QSplitter(Qt::Horizontal, spltMsgs);
  SpltCol->setObjectName("SpltCol");

  auto panel = [](const QString& name, QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return w;
  };

  // Left pane: the tabs over the two trees, the information panel below.
  panTree = panel("panTree", SpltCol);
  tab = new QTabBar(panTree);
  tab->setObjectName("tab");
  tab->addTab("&Collection");
  tab->addTab("&Volume");
  tab->addTab("&Mixed");
  tab->setExpanding(false);
  panTree->layout()->addWidget(tab);
  spltInfo = new QSplitter(Qt::Vertical, panTree);
  spltInfo->setObjectName("spltInfo");
  panTree->layout()->addWidget(spltInfo);
  Spt = new QSplitter(Qt::Horizontal, spltInfo);
  Spt->setObjectName("Spt");
  Spt->setChildrenCollapsible(false);

  panCol = panel("panCol", Spt);
  panCol->setMinimumWidth(100);
  sb_colH = new TBar("sb_colH", 1, panCol);
  tvCol = new QTreeView(panCol);
  tvCol->setObjectName("tvCol");
  tvCol->setHeaderHidden(true);
  sb_colL = new TBar("sb_colL", 2, panCol);
  panCol->layout()->addWidget(sb_colH);
  panCol->layout()->addWidget(tvCol);
  panCol->layout()->addWidget(sb_colL);

  panTV = panel("panTV", Spt);
  panTV->setMinimumWidth(100);
  sb_loc = new TBar("sb_loc", 1, panTV);
  tvNodes = new QTreeView(panTV);
  tvNodes->setObjectName("tvNodes");
  tvNodes->setHeaderHidden(true);
  tvNodes->setModel(treeModel_);
  tvNodes->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tvNodes->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvNodes->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  tvNodes->setDragEnabled(true);
  tvNodes->setDragDropMode(QAbstractItemView::DragOnly);
  tvNodes->setContextMenuPolicy(Qt::CustomContextMenu);
  tvNodes->setUniformRowHeights(true);
  sb_tree = new TBar("sb_tree", 2, panTV);
  panTV->layout()->addWidget(sb_loc);
  panTV->layout()->addWidget(tvNodes);
  panTV->layout()->addWidget(sb_tree);

  panInfo = panel("panInfo", spltInfo);
  pcInfo = new QTabWidget(panInfo);
  pcInfo->setObjectName("pcInfo");
  auto* general = new QWidget(pcInfo);
  general->setObjectName("tsGeneral");
  auto* gl = new QVBoxLayout(general);
  gl->setContentsMargins(4, 4, 4, 4);
  infolblCat = new QLabel(general);
  infolblCat->setObjectName("infolblCat");
  infolblLoc = new QLabel(general);
  infolblLoc->setObjectName("infolblLoc");
  infomemo = new QTextEdit(general);
  infomemo->setObjectName("infomemo");
  infomemo->setReadOnly(true);
  gl->addWidget(infolblCat);
  gl->addWidget(infolblLoc);
  gl->addWidget(infomemo, 1);
  pcInfo->addTab(general, "&General");
  infovle = new QTableWidget(0, 2, pcInfo);
  infovle->setObjectName("infovle");
  infovle->setHorizontalHeaderLabels({"Key", "Value"});
  infovle->setEditTriggers(QAbstractItemView::NoEditTriggers);
  infovle->setSelectionBehavior(QAbstractItemView::SelectRows);
  infovle->verticalHeader()->hide();
  infovle->verticalHeader()->setDefaultSectionSize(infovle->fontMetrics().height() + 6);
  infovle->horizontalHeader()->setStretchLastSection(true);
  pcInfo->addTab(infovle, "&Tags");
  panInfo->layout()->addWidget(pcInfo);
  spltInfo->setStretchFactor(0, 3);
  spltInfo->setStretchFactor(1, 1);

  // Right pane: the file list between its bars.
  panLV = panel("panLV", SpltCol);
  sb_fp = new TBar("sb_fp", 1, panLV);
  lv = new QStackedWidget(panLV);
  lv->setObjectName("lv");
  lvDetails = new QTreeView(lv);
  lvDetails->setObjectName("lvDetails");
  lvDetails->setRootIsDecorated(false);
  lvDetails->setItemsExpandable(false);
  lvDetails->setUniformRowHeights(true);
  lvDetails->setModel(listModel_);
  lvIcons = new QListView(lv);
  lvIcons->setObjectName("lvIcons");
  lvIcons->setModel(listModel_);
  lvIcons->setSelectionModel(lvDetails->selectionModel());
  lvIcons->setUniformItemSizes(true);
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lvDetails), static_cast<QAbstractItemView*>(lvIcons)}) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
  }
  lvDetails->header()->setSectionsClickable(true);
  lvDetails->header()->setSortIndicatorShown(false);
  lvDetails->header()->setStretchLastSection(false);
  lv->addWidget(lvDetails);
  lv->addWidget(lvIcons);
  sb = new TBar("sb", 2, panLV);
  panLV->layout()->addWidget(sb_fp);
  panLV->layout()->addWidget(lv);
  panLV->layout()->addWidget(sb);
  SpltCol->setStretchFactor(0, 0);
  SpltCol->setStretchFactor(1, 1);
  SpltCol->setSizes({420, 680});

  panMessages = panel("panMessages", spltMsgs);
  msgs = new QPlainTextEdit(panMessages);
  msgs->setObjectName("msgs");
  msgs->setReadOnly(true);
  msgs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  panMessages->layout()->addWidget(msgs);
  spltMsgs->setStretchFactor(0, 4);
  spltMsgs->setStretchFactor(1, 1);
  column->addWidget(spltMsgs, 1);

  infoPan = new QWidget(central);
  infoPan->setObjectName("infoPan");
  auto* pl = new QHBoxLayout(infoPan);
  pl->setContentsMargins(4, 2, 4, 2);
  lblPB = new QLabel("Loading:", infoPan);
  lblPB->setObjectName("lblPB");
  pb = new QProgressBar(infoPan);
  pb->setObjectName("pb");
  pb->setTextVisible(false);
  pl->addWidget(lblPB);
  pl->addWidget(pb, 1);
  infoPan->hide();
  column->addWidget(infoPan);

  sb_main = new TBar("sb_main", 2, central);
  column->addWidget(sb_main);
  setCentralWidget(central);

  contextMenus_.insert(lvDetails, Menu("pmLv"));
  contextMenus_.insert(lvIcons, Menu("pmLv"));
  contextMenus_.insert(tvNodes, Menu("pmTv"));
  SetAutoResizeColumns(false);
}

QAbstractItemView* TMainWindow::ListView() const {
  return lv->currentWidget() == lvIcons ? static_cast<QAbstractItemView*>(lvIcons)
                                        : static_cast<QAbstractItemView*>(lvDetails);
}

void TMainWindow::Connect() {
  connect(tab, &QTabBar::currentChanged, this, [this](int) { LayoutTab(); });
  connect(Spt, &QSplitter::splitterMoved, this, [this] {
    const QList<int> sizes = Spt->sizes();
    if (tab->currentIndex() == 2 && sizes.size() == 2) {
      g_.CollectionWidth = sizes[0];
      g_.TreeWidth = sizes[1];
    }
  });
  connect(tvNodes->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnTreeSelectionChanged(); });
  connect(tvNodes, &QTreeView::clicked, this, [this] {
    TFolderNode* node = SelectedFolderNode();
    if (node && node->Data() && node->Data()->ColNode) SelectCollectionNode(node->Data()->ColNode);
  });
  connect(lvDetails->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { OnListCurrentChanged(); });
  connect(lvDetails->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnListCurrentChanged(); });
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lvDetails), static_cast<QAbstractItemView*>(lvIcons)}) {
    connect(view, &QAbstractItemView::doubleClicked, this, [this] {
      if (Idle()) OpenSelectedRow();
    });
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& pos) { ShowContextMenu(Menu("pmLv"), view, pos); });
  }
  connect(tvNodes, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex at = tvNodes->indexAt(pos);
    if (at.isValid()) tvNodes->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    ShowContextMenu(Menu("pmTv"), tvNodes, pos);
  });
  connect(lvDetails->header(), &QHeaderView::sectionClicked, this, [this](int column) { ArrangeBy(column); });
  connect(treeModel_, &TFolderTreeModel::VolumeRenamed, this,
          [this](TFolderNode* node, const QString& text) { RenameVolume(node, text); });
  connect(listModel_, &TFileListModel::FolderRemoved, this, [this] { FillList(); });
}

void TMainWindow::ShowContextMenu(QMenu* menu, QAbstractItemView* view, const QPoint& pos) {
  if (menu) menu->popup(view->viewport()->mapToGlobal(pos));
}

// --- operations on the worker ---

bool TMainWindow::Idle() const { return !runner_->Running(); }
bool TMainWindow::OperationRunning() const { return runner_->Running(); }

bool TMainWindow::RunDetached(TWork work, TDone done) { return StartWork(std::move(work), std::move(done), true); }

bool TMainWindow::StartWork(TWork work, TDone done, bool browsable) {
  if (runner_->Running()) return false;
  // Work that leaves the library alone (a detached scan, a save) lets the
  // user go on browsing it; only the commands go off.
  browsable_ = browsable;
  // Commands go off at once, not when the worker's first report arrives.
  g_.SetProcessStopped(false);
  const bool started = runner_->Start(std::move(work), [this, done = std::move(done)](const TOperationRunner::TOutcome& outcome) {
    g_.RunningOperation = nullptr;
    browsable_ = false;
    host_.FlushLog();
    if (!g_.ProcessStopped) g_.SetProcessStopped(true);
    if (done) done(outcome);
    if (!outcome.Error.empty()) ShowError(Q(outcome.Error));
  });
  g_.RunningOperation = runner_->Operation();
  return started;
}

bool TMainWindow::RunBusy(TWork work, TDone done) {
  if (runner_->Running()) return false;
  // Where the user was, to find it again in what the operation leaves.
  QStringList selected = NodePath(SelectedFolderNode());
  QList<QStringList> expanded;
  std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
    for (int row = 0; row < treeModel_->rowCount(parent); ++row) {
      const QModelIndex child = treeModel_->index(row, 0, parent);
      if (tvNodes->isExpanded(child)) {
        expanded.append(NodePath(treeModel_->Node(child)));
        walk(child);
      }
    }
  };
  walk({});
  TLibObj* lib = g_.CurrentLibrary.get();
  lib->BeginBusy();
  return StartWork(std::move(work), [this, lib, done = std::move(done), selected, expanded](const TOperationRunner::TOutcome& outcome) {
    lib->EndBusy();
    for (const QStringList& path : expanded)
      if (TFolderNode* node = NodeAt(*lib, path); node && NodePath(node) == path)
        tvNodes->expand(treeModel_->IndexOf(node));
    if (done) done(outcome);
    if (!SelectedFolderNode() && !selected.isEmpty()) SelectFolderNode(NodeAt(*lib, selected));
  }, false);
}

void TMainWindow::StopOperation() {
  if (!runner_->Running()) return;
  g_.Stop();
}

void TMainWindow::ShowError(const QString& text) {
  host_.ShowMessage(S(text), TMsgKind::Error);
}

// --- library commands ---

void TMainWindow::ClearViews(bool collections) {
  TLibObj* old = g_.CurrentLibrary.get();
  if (old) old->SetListener(nullptr);
  treeModel_->SetLibrary(nullptr);
  listModel_->SetFolder(nullptr);
  DetachCollections();
  (void)collections;
}

void TMainWindow::NewLibrary() {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmNew && host_.Ask(g_.GetText("confCreate"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  ClearViews(true);
  g_.ResetLibrary(true);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb, sb_colL}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc, sb_colH}) bar->SetText(0, {});
}

void TMainWindow::AttachLibrary() {
  g_.CurrentLibrary->SetListener(views_.get());
  treeModel_->SetLibrary(g_.CurrentLibrary.get());
  listModel_->SetFolder(nullptr);
  AttachCollections();
}

void TMainWindow::CloseLibrary() {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmClose && host_.Ask(g_.GetText("confClose"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  ClearViews(true);
  g_.ResetLibrary(true);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb, sb_colL}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc, sb_colH}) bar->SetText(0, {});
}

void TMainWindow::LoadFile(const std::string& file, bool merge, bool confirm, bool addRecent) {
  if (confirm) {
    const std::string question = Format(g_.GetText(merge ? "confImport" : "confLoad"), {file});
    if (host_.Ask(question, TMsgButtons::OKCancel, TMsgKind::Confirmation) != TMsgAnswer::OK) return;
  }
  if (!TLibObj::LibraryFileExists(file)) {
    host_.ShowMessage(Format(g_.GetText("errFNF"), {file}), TMsgKind::Error);
    return;
  }
  const bool sortVolumes = g_.SortVolumes;
  RunBusy([lib = g_.CurrentLibrary.get(), file, merge, sortVolumes](TOperation& op) {
    lib->OpenLibrary(file, merge, op, sortVolumes);
  },
  [this, file, merge, addRecent](const TOperationRunner::TOutcome& outcome) {
    // Also what a stopped load read.
    MergeLibraryLists(g_, Library());
    AfterLoad(outcome, file, merge);
    if (outcome.Error.empty() && !outcome.Canceled && addRecent) {
      g_.AddRecentFile(file);
      RebuildReopenMenu();
    }
  });
}

void TMainWindow::AfterLoad(const TOperationRunner::TOutcome&, const std::string&, bool merge) {
  sb_main->SetText(0, Q(Library().FileName));
  sb_tree->SetText(0, Q(Format(g_.GetText("infoVol"), {std::to_string(Library().VolumeCount)})));
  TLibObj& lib = Library();
  TFolderNode* select = lib.CurVolumeNode && !merge ? lib.Folders.GetFirstNode() : lib.CurVolumeNode;
  if (!SelectedFolderNode()) SelectFolderNode(select ? select : lib.Folders.GetFirstNode());
  if (merge) tvNodes->setFocus();
}

void TMainWindow::OpenLibrary(const QString& file, bool reopen) {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  QString path = file;
  if (!reopen) {
    path = QFileDialog::getOpenFileName(this, {}, {}, kCatalogFilter);
    if (path.isEmpty()) return;
  }
  LoadFile(S(path), false, reopen, true);
}

void TMainWindow::ReloadLibrary() {
  if (Library().FileName.empty()) return;
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  if (g_.ConfirmReload &&
      host_.Ask(g_.GetText("confReload"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return;
  const std::string file = Library().FileName;
  ClearViews(false);
  g_.ResetLibrary(false);
  AttachLibrary();
  sb_main->SetText(0, Q(Library().FileName));
  for (TBar* bar : {sb_tree, sb}) {
    bar->SetText(0, {});
    bar->SetText(1, {});
  }
  for (TBar* bar : {sb_fp, sb_loc}) bar->SetText(0, {});
  LoadFile(file, false, false, false);
}

bool TMainWindow::SaveTo(const std::string& file) {
  // Saving only reads the records; the commands are off meanwhile, so
  // nothing changes them.
  bool ok = false;
  const bool started = RunDetached([lib = g_.CurrentLibrary.get(), file](TOperation& op) { lib->SaveLibrary(file, op); },
                                   [this, &ok](const TOperationRunner::TOutcome& outcome) {
                                     ok = outcome.Error.empty() && !outcome.Canceled;
                                     sb_main->SetText(0, Q(Library().FileName));
                                   });
  if (!started) return false;
  runner_->Wait();
  return ok;
}

void TMainWindow::SaveLibrary() {
  if (!Library().FileName.empty()) SaveTo(Library().FileName);
  else SaveLibraryAs();
}

void TMainWindow::SaveLibraryAs(const QString& file) {
  QString path = file;
  if (path.isEmpty()) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kCatalogFilter);
    dialog.setDefaultSuffix("TWL");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    path = dialog.selectedFiles().first();
  }
  if (SaveTo(S(path))) {
    g_.AddRecentFile(S(path));
    RebuildReopenMenu();
  }
}

void TMainWindow::ImportLibrary(const QString& file) {
  if (AskSaveChanges(g_, [this] { SaveLibrary(); }) == TMsgAnswer::Cancel) return;
  QString path = file;
  if (path.isEmpty()) path = QFileDialog::getOpenFileName(this, {}, {}, kCatalogFilter);
  if (path.isEmpty()) return;
  LoadFile(S(path), true, true, false);
}

void TMainWindow::OpenStartLibrary(const QString& argument) {
  // The last library's name comes with the settings; the library object
  // itself starts without one.
  const std::string last = std::exchange(Library().FileName, std::string());
  std::string file = S(argument);
  if (file.empty() || !TLibObj::LibraryFileExists(file)) file = g_.LoadLast ? last : std::string();
  if (file.empty() || !TLibObj::LibraryFileExists(file)) return;
  // Failures at start are not shown; what was read stays.
  const bool sortVolumes = g_.SortVolumes;
  RunBusy([lib = g_.CurrentLibrary.get(), file, sortVolumes](TOperation& op) {
    try {
      lib->OpenLibrary(file, false, op, sortVolumes);
    } catch (const ECanceled&) {
      throw;
    } catch (const std::exception&) {
    }
  },
          [this, file](const TOperationRunner::TOutcome& outcome) {
            MergeLibraryLists(g_, Library());
            AfterLoad(outcome, file, false);
          });
}

// --- favorites and recent files ---

void TMainWindow::RebuildReopenMenu() {
  QMenu* menu = Menu("miReopen");
  menu->clear();
  int i = 0;
  for (const std::string& file : g_.Layout.Recent) {
    QAction* a = menu->addAction(QString("&%1 %2").arg(++i).arg(Q(file)));
    a->setObjectName(QString("miReopen%1").arg(i));
    const QString path = Q(file);
    connect(a, &QAction::triggered, this, [this, path] {
      if (Idle()) OpenLibrary(path, true);
    });
  }
  menu->menuAction()->setEnabled(!menu->actions().isEmpty() && g_.ProcessStopped);
}

void TMainWindow::RebuildFavoritesMenu() {
  QMenu* menu = Menu("miFavorites");
  const QList<QAction*> all = menu->actions();
  for (qsizetype i = 3; i < all.size(); ++i) {
    menu->removeAction(all[i]);
    all[i]->deleteLater();
  }
  const std::vector<TFavoriteEntry> entries = g_.BuildFavoritesMenu();
  if (!entries.empty()) menu->addSeparator();
  for (const TFavoriteEntry& entry : entries) {
    QAction* a = menu->addAction(Q(entry.Caption));
    a->setToolTip(Q(entry.Hint));
    const QString path = Q(entry.Hint);
    if (path.isEmpty()) continue;
    connect(a, &QAction::triggered, this, [this, path] {
      if (Idle()) OpenLibrary(path, true);
    });
  }
}

void TMainWindow::ApplyLoadedSettings() {
  RebuildFavoritesMenu();
  pictures_.LoadCollectionImages();
  g_.LoadLayout();
  RebuildReopenMenu();
  RestoreWindowLayout();
  ApplyViewMarks();
}

// --- view marks, tabs, layout ---

void TMainWindow::ApplyViewMarks() {
  panMessages->hide();
  sb_main->hide();
  const bool stopEnabled = !g_.ProcessStopped;
  Command("miVStopProcess")->setEnabled(stopEnabled);
  Command("tbStop")->setEnabled(stopEnabled);
  tb->setVisible(Command("miViewToolbar")->isChecked());
  sb_main->setVisible(Command("miViewStatusbar")->isChecked());
  panInfo->setVisible(Command("miInfobar")->isChecked());
  if (Command("miViewMessages")->isChecked()) {
    panMessages->show();
    msgs->show();
    host_.FlushLog();
  }
  Menu("miReopen")->menuAction()->setEnabled(!Menu("miReopen")->actions().isEmpty() && g_.ProcessStopped);
  Menu("miLanguages")->menuAction()->setEnabled(!Menu("miLanguages")->actions().isEmpty() && g_.ProcessStopped);
  Command("tbLng")->setEnabled(!Menu("miLanguages")->actions().isEmpty() && g_.ProcessStopped &&
                               !Unavailable("tbLng"));
}

void TMainWindow::SelectTab(int index) { tab->setCurrentIndex(index); LayoutTab(); }

void TMainWindow::LayoutTab() {
  const int current = tab->currentIndex();
  if (g_.LastTab == 2 && lastTabShown_ == 2 && current != 2) {
    const QList<int> sizes = Spt->sizes();
    if (panCol->isVisible() && panTV->isVisible() && sizes.size() == 2) {
      g_.CollectionWidth = sizes[0];
      g_.TreeWidth = sizes[1];
    }
  }
  switch (current) {
    case 0:
      panCol->show();
      panTV->hide();
      break;
    case 1:
      panCol->hide();
      panTV->show();
      break;
    default: {
      panCol->show();
      panTV->show();
      const int total = std::max(Spt->width(), 200);
      const int colWidth = g_.CollectionWidth > 0 ? g_.CollectionWidth : total / 2;
      const QSignalBlocker quiet(Spt);
      Spt->setSizes({colWidth, std::max(100, total - colWidth)});
      break;
    }
  }
  g_.LastTab = current;
  lastTabShown_ = current;
}

void TMainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // The current tab's layout again: the mixed view keeps the collection
  // panel's width and gives the rest to the volume panel.
  if (tab && tab->currentIndex() == 2) LayoutTab();
}

// --- close query ---

bool TMainWindow::CloseQuery() {
  if (runner_->Running() || !g_.ProcessStopped) {
    host_.Ask(g_.GetText("errStop"), TMsgButtons::OK, TMsgKind::Error);
    return false;
  }
  if (!Library().Modified) return true;
  if (g_.ConfirmExit && host_.Ask(g_.GetText("confExit"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    return false;
  if (!g_.ConfirmSaveChanges) {
    SaveLibrary();
    return true;
  }
  switch (host_.Ask(g_.GetText("confSave"), TMsgButtons::YesNoCancel, TMsgKind::Confirmation)) {
    case TMsgAnswer::Yes:
      SaveLibrary();
      return true;
    case TMsgAnswer::No: return true;
    default: return false;
  }
}

void TMainWindow::closeEvent(QCloseEvent* event) {
  if (!CloseQuery()) {
    event->ignore();
    return;
  }
  SaveWindowLayout();
  g_.SaveOnExit();
  event->accept();
}

// --- keys ---

bool TMainWindow::DispatchShortcut(const QKeySequence& key) {
  auto tryMenu = [&](QMenu* menu, auto& self) -> bool {
    for (QAction* a : menu->actions()) {
      if (a->menu()) {
        if (self(a->menu(), self)) return true;
        continue;
      }
      if (!a->shortcut().isEmpty() && a->shortcut().matches(key) == QKeySequence::ExactMatch) {
        if (!a->isEnabled()) return false;
        a->trigger();
        return true;
      }
    }
    return false;
  };
  // The focused control's context menu first, then its parents'.
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    if (QMenu* menu = contextMenus_.value(w)) {
      for (QAction* a : menu->actions()) {
        if (a->menu() || a->shortcut().isEmpty()) continue;
        if (a->shortcut().matches(key) == QKeySequence::ExactMatch) {
          // The menu's opening rule decides what is enabled.
          emit menu->aboutToShow();
          if (a->isEnabled()) a->trigger();
          return true;
        }
      }
    }
  }
  for (QAction* top : menuBar()->actions()) {
    if (!top->menu()) continue;
    emit top->menu()->aboutToShow();
    if (tryMenu(top->menu(), tryMenu)) return true;
  }
  return false;
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Spt && event->type() == QEvent::Resize && tab->currentIndex() == 2) {
    // After the splitter has spread its new width: the collection panel
    // keeps its own.
    QMetaObject::invokeMethod(this, [this] { if (tab->currentIndex() == 2) LayoutTab(); }, Qt::QueuedConnection);
    return false;
  }
  if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this || QApplication::activeModalWidget()) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  // An editor open in a tree keeps its keys.
  if (qobject_cast<QLineEdit*>(QApplication::focusWidget()) &&
      QApplication::focusWidget()->parentWidget() && QApplication::focusWidget()->parentWidget()->parentWidget() &&
      qobject_cast<QAbstractItemView*>(QApplication::focusWidget()->parentWidget()->parentWidget()))
    return false;
  if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
    close();
    return true;
  }
  if (key->key() == Qt::Key_F2 && QApplication::focusWidget() == tvNodes) {
    TFolderNode* node = SelectedFolderNode();
    if (node && node->IsTopLevel() && Idle()) tvNodes->edit(tvNodes->currentIndex());
    return true;
  }
  const int k = key->key();
  if (k == Qt::Key_Control || k == Qt::Key_Shift || k == Qt::Key_Alt || k == Qt::Key_Meta) return false;
  const QKeySequence sequence(key->keyCombination());
  return DispatchShortcut(sequence);
}

// --- volume tree and file list ---

TFolderNode* TMainWindow::SelectedFolderNode() const {
  const QModelIndex current = tvNodes->selectionModel()->currentIndex();
  if (current.isValid() && tvNodes->selectionModel()->isSelected(current)) return treeModel_->Node(current);
  const QModelIndexList rows = tvNodes->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : treeModel_->Node(rows.first());
}

std::vector<TFolderNode*> TMainWindow::SelectedFolderNodes() const {
  std::vector<TFolderNode*> nodes;
  for (const QModelIndex& index : tvNodes->selectionModel()->selectedRows()) nodes.push_back(treeModel_->Node(index));
  return nodes;
}

std::vector<TLibFolderItem*> TMainWindow::SelectedItems() const {
  std::vector<TLibFolderItem*> items;
  QModelIndexList rows = lvDetails->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& index : rows) items.push_back(listModel_->Item(index.row()));
  return items;
}

void TMainWindow::SelectFolderNode(TFolderNode* node) {
  const QModelIndex index = treeModel_->IndexOf(node);
  if (!index.isValid()) {
    tvNodes->selectionModel()->clearSelection();
    tvNodes->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    OnTreeSelectionChanged();
    return;
  }
  tvNodes->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  tvNodes->scrollTo(index);
}

void TMainWindow::OnTreeSelectionChanged() {
  // Only siblings are selected together.
  const QModelIndex current = tvNodes->selectionModel()->currentIndex();
  QItemSelection strays;
  for (const QModelIndex& index : tvNodes->selectionModel()->selectedRows())
    if (current.isValid() && index.parent() != current.parent()) strays.select(index, index);
  if (!strays.isEmpty()) {
    tvNodes->selectionModel()->select(strays, QItemSelectionModel::Deselect);
    return;
  }
  FillList();
}

void TMainWindow::FillList() {
  TFolderNode* node = SelectedFolderNode();
  TLibFolder* folder = node ? node->Data() : nullptr;
  if (!folder) {
    listModel_->SetFolder(nullptr);
    return;
  }
  listModel_->SetFolder(folder);
  if (Command("miAutoResizeColumns")->isChecked()) {
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) lvDetails->resizeColumnToContents(c);
  } else if (fitColumnsOnce_ && folder->Items.Count() > 0) {
    // Before any widths were kept, the first list shown widens the columns
    // its texts would not fit.
    fitColumnsOnce_ = false;
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) {
      const int kept = lvDetails->columnWidth(c);
      lvDetails->resizeColumnToContents(c);
      if (lvDetails->columnWidth(c) < kept) lvDetails->setColumnWidth(c, kept);
    }
  }
  const TTextFormat format = g_.TextFormat();
  auto size = [&](int64_t bytes) { return FormatSize(g_.SizeUnit, static_cast<double>(bytes), format); };
  TLibObj& lib = Library();
  sb_loc->SetText(0, Q(folder->GetVolume()->Location));
  sb_fp->SetText(0, Q(folder->GetDisplayPath()));
  sb->SetText(0, Q(Format(g_.GetText("infoFiles"), {std::to_string(folder->Items.Count())})));
  sb->SetText(1, Q(Format(g_.GetText("infoSize"), {size(folder->GetFilesSize())})));
  sb_main->SetText(0, Q(lib.FileName));
  sb_tree->SetText(0, Q(Format(g_.GetText("infoVol"), {std::to_string(lib.VolumeCount)})));
  sb_tree->SetText(1, Q(Format(g_.GetText("infoSize"), {size(folder->GetSize())})));
  sb_colL->SetText(0, Q(Format(g_.GetText("infoItems"), {std::to_string(lib.Collections.Count())})));
  sb_colL->SetText(1, sb_tree->Text(1));
  UpdateInfoPanel();
}

void TMainWindow::UpdateInfoPanel() {
  try {
    const std::vector<TLibFolderItem*> items = SelectedItems();
    TLibFolderItem* item = nullptr;
    const QModelIndex current = lvDetails->selectionModel()->currentIndex();
    if (current.isValid() && lvDetails->selectionModel()->isSelected(current)) item = listModel_->Item(current.row());
    else if (!items.empty()) item = items.front();
    if (item) {
      infolblCat->setText(Q(Format(g_.GetText("InfoCat"), {item->Category})));
      infolblLoc->setText(Q(Format(g_.GetText("InfoLoc"), {item->Folder ? item->Folder->Location : std::string()})));
      infomemo->setPlainText(Q(item->Comments));
      std::vector<std::string> display;
      TTagInfo::TagsToCaptions(item->TagInfo.Tags, display, g_.TagsList.Items());
      infovle->setRowCount(0);
      infovle->setRowCount(static_cast<int>(display.size()));
      for (int row = 0; row < static_cast<int>(display.size()); ++row) {
        const std::string& line = display[static_cast<size_t>(row)];
        const size_t eq = line.find('=');
        // A tag whose name has no caption in the tag list shows its name.
        std::string key = line.substr(0, eq);
        if (key.empty()) {
          const std::string& tag = item->TagInfo.Tags[static_cast<size_t>(row)];
          key = tag.substr(0, tag.find('='));
        }
        infovle->setItem(row, 0, new QTableWidgetItem(Q(key)));
        infovle->setItem(row, 1, new QTableWidgetItem(eq == std::string::npos ? QString() : Q(line.substr(eq + 1))));
      }
      return;
    }
    if (TFolderNode* node = SelectedFolderNode(); node && node->Data()) {
      const TLibFolder* folder = node->Data();
      infolblCat->setText(Q(Format(g_.GetText("InfoCat"), {folder->Category})));
      infolblLoc->setText(Q(Format(g_.GetText("InfoLoc"), {folder->Location})));
      infomemo->setPlainText(Q(folder->Comments));
    }
  } catch (...) {
    infolblCat->clear();
    infolblLoc->clear();
    infomemo->clear();
    infovle->setRowCount(0);
  }
}

void TMainWindow::OnListCurrentChanged() {
  const QModelIndex current = lvDetails->selectionModel()->currentIndex();
  if (current.isValid() && lvDetails->selectionModel()->isSelected(current)) {
    TLibFolderItem* item = listModel_->Item(current.row());
    if (item->ColNode) SelectCollectionNode(item->ColNode);
  }
  UpdateInfoPanel();
}

void TMainWindow::OpenSelectedRow() {
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (items.empty()) return;
  const QModelIndex current = lvDetails->selectionModel()->currentIndex();
  TLibFolderItem* item = current.isValid() && lvDetails->selectionModel()->isSelected(current)
                             ? listModel_->Item(current.row())
                             : items.front();
  if (item->IsFolder) {
    TLibFolder* folder = item->Folder;
    if (!folder || !folder->Node) return;
    const std::string path = folder->GetPath() + item->Name + "\\";
    TFolderNode* found = Library().FindFolderNode(TLibObj::RootOf(folder->Node), path);
    if (found) SelectFolderNode(found);
    return;
  }
  // The properties dialog's file page opens here once that dialog exists.
  if (QAction* properties = Command("pmLVProperties"); properties && !Unavailable("pmLVProperties")) properties->trigger();
}

void TMainWindow::DeleteSelected() {
  TLibObj& lib = Library();
  QWidget* focus = QApplication::focusWidget();
  if (focus == tvCol) {
    DeleteCollectionItems();
    return;
  }
  const std::vector<TFolderNode*> nodes = SelectedFolderNodes();
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (nodes.empty() && items.empty()) return;
  if (focus == tvNodes && !nodes.empty()) {
    std::vector<std::string> captions;
    for (TFolderNode* n : nodes) captions.push_back(n->Text);
    const std::string names = JoinList(captions, "; ");
    TFolderNode* focused = SelectedFolderNode();
    const bool ask = focused && ((focused->Parent() && g_.ConfirmDeleteFolder) || (!focused->Parent() && g_.ConfirmDeleteVolume));
    if (!ask || host_.Ask(Format(g_.GetText("confDelete"), {names}), TMsgButtons::YesNo, TMsgKind::Confirmation) ==
                    TMsgAnswer::Yes) {
      const std::string status = Format(g_.GetText("msgsFree"), {names});
      g_.ShowStatus(status, status, true);
      for (TFolderNode* n : nodes) {
        TLibFolder* folder = n->Data();
        folder->DeletePending = true;
        if (folder->Parent)
          if (TLibFolderItem* entry = folder->Parent->Items.Find(n->Text)) lib.DeleteItem(entry);
      }
      tvNodes->selectionModel()->clearSelection();
      for (TFolderNode* n : nodes) lib.DeleteFolderNode(n);
      listModel_->SetFolder(nullptr);
      g_.AddMessage(Format(g_.GetText("msgsNodeDel"), {names}));
    }
  } else if (focus == ListView() && !items.empty()) {
    std::string names;
    if (items.size() == 1) names = items.front()->Name;
    else if (items.size() <= 5)
      for (TLibFolderItem* item : items) names += item->Name + ";";
    else names = items.front()->Name + ";...";
    if (!g_.ConfirmDeleteFile ||
        host_.Ask(Format(g_.GetText("confDelete"), {names}), TMsgButtons::YesNo, TMsgKind::Confirmation) ==
            TMsgAnswer::Yes) {
      TLibFolder* folder = listModel_->Folder();
      std::vector<std::string> captions;
      for (TLibFolderItem* item : items) captions.push_back(item->Name);
      lvDetails->selectionModel()->clearSelection();
      for (const std::string& caption : captions) {
        TLibFolderItem* entry = folder->Items.Find(caption);
        if (!entry) continue;
        if (entry->IsFolder)
          if (TLibFolder* target = entry->GetTargetFolder()) target->DeletePending = true;
        lib.DeleteItem(entry);
      }
      if (TFolderNode* node = folder->Node)
        for (int i = node->Count() - 1; i >= 0; --i)
          if (node->Item(i)->Data()->DeletePending) lib.DeleteFolderNode(node->Item(i));
      FillList();
    }
  }
  lib.Modified = true;
}

void TMainWindow::RefreshView() {
  TFolderNode* node = SelectedFolderNode();
  if (node) {
    const std::string status = Format(g_.GetText("msgsRefreshing"), {node->Text});
    g_.ShowStatus(status, status, true);
  }
  tvNodes->viewport()->update();
  ListView()->viewport()->update();
  if (node) {
    FillList();
    g_.AddMessage(Format(g_.GetText("msgsRefreshed"), {node->Text}));
  }
}

void TMainWindow::OpenRealSource() {
  QWidget* focus = QApplication::focusWidget();
  std::string path;
  const std::vector<TLibFolderItem*> items = SelectedItems();
  if (focus == ListView() && !items.empty()) path = items.front()->GetItemSourcePath();
  else if (focus == tvNodes && SelectedFolderNode()) path = SelectedFolderNode()->Data()->GetSourcePath();
  else return;
  // The desktop's default handler; a failure is not reported.
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
}

void TMainWindow::SelectAllRows() {
  if (QApplication::focusWidget() != ListView()) return;
  ListView()->selectAll();
}

void TMainWindow::InvertSelection() {
  QItemSelection all(listModel_->index(0, 0), listModel_->index(listModel_->rowCount() - 1, TFileListModel::ColumnCount - 1));
  if (listModel_->rowCount() == 0) return;
  lvDetails->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TMainWindow::SetViewStyle(int style) {
  ViewStyle = style;
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "View" + QString::number(style))) a->setChecked(true);
  const bool hadFocus = ListView()->hasFocus();
  if (style == 3) {
    lv->setCurrentWidget(lvDetails);
  } else {
    lvIcons->setViewMode(style == 0 ? QListView::IconMode : QListView::ListMode);
    lvIcons->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
    lvIcons->setWrapping(true);
    lvIcons->setResizeMode(QListView::Adjust);
    const int extent = style == 0 ? QWidget::style()->pixelMetric(QStyle::PM_LargeIconSize) : QWidget::style()->pixelMetric(QStyle::PM_SmallIconSize);
    lvIcons->setIconSize(QSize(extent, extent));
    if (style == 0) lvIcons->setGridSize(QSize(extent * 3, extent * 2 + fontMetrics().height() * 2));
    else lvIcons->setGridSize({});
    lv->setCurrentWidget(lvIcons);
  }
  if (hadFocus) ListView()->setFocus();
}

void TMainWindow::ArrangeBy(int column) {
  listModel_->ClickColumn(column);
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "Arrange" + QString::number(column))) a->setChecked(true);
}

void TMainWindow::ExpandNode(int how) {
  const QModelIndex index = tvNodes->selectionModel()->currentIndex();
  if (!index.isValid()) return;
  switch (how) {
    case 0: tvNodes->expand(index); break;
    case 1: tvNodes->collapse(index); break;
    case 2: tvNodes->expandRecursively(index); break;
    default: {
      std::function<void(const QModelIndex&)> collapse = [&](const QModelIndex& parent) {
        for (int row = 0; row < treeModel_->rowCount(parent); ++row) collapse(treeModel_->index(row, 0, parent));
        tvNodes->collapse(parent);
      };
      collapse(index);
    }
  }
}

void TMainWindow::RenameVolume(TFolderNode* node, const QString& text) {
  if (!Idle() || !node || !node->IsTopLevel()) return;
  TLibObj& lib = Library();
  node->Data()->Name = S(text);
  node->Text = S(text);
  lib.ReportFolderChanged(node);
  // A caption change sorts the node's siblings by caption, whatever the
  // option says.
  lib.SortVolumes();
  lib.Modified = true;
  SelectFolderNode(node);
}

void TMainWindow::SetAutoResizeColumns(bool on) {
  if (on) {
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) lvDetails->resizeColumnToContents(c);
    return;
  }
  ReadColumnWidths();
}

void TMainWindow::ReadColumnWidths() {
  for (int c = 0; c < TFileListModel::ColumnCount; ++c) {
    const size_t i = static_cast<size_t>(c);
    int width = i < g_.Layout.ColumnWidths.size() && g_.Layout.ColumnWidths[i] > 0 ? g_.Layout.ColumnWidths[i] : (c ? 50 : 200);
    lvDetails->setColumnWidth(c, width);
  }
}

void TMainWindow::SaveWindowLayout() {
  g_.Layout.View.Toolbar = Command("miViewToolbar")->isChecked();
  g_.Layout.View.StatusBar = Command("miViewStatusbar")->isChecked();
  g_.Layout.View.Messages = Command("miViewMessages")->isChecked();
  g_.Layout.View.InfoBar = Command("miInfobar")->isChecked();
  g_.Layout.View.AutoResizeColumns = Command("miAutoResizeColumns")->isChecked();
  g_.Layout.View.Tab = tab->currentIndex();
  if (tab->currentIndex() == 2) {
    const QList<int> sizes = Spt->sizes();
    if (sizes.size() == 2) {
      g_.CollectionWidth = sizes[0];
      g_.TreeWidth = sizes[1];
    }
  }
  if (!Command("miAutoResizeColumns")->isChecked()) {
    g_.Layout.ColumnWidths.resize(TFileListModel::ColumnCount);
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) g_.Layout.ColumnWidths[static_cast<size_t>(c)] = lvDetails->columnWidth(c);
  }
  SavePlacements();
}

void TMainWindow::RestoreWindowLayout() {
  Command("miViewToolbar")->setChecked(g_.Layout.View.Toolbar);
  Command("miViewStatusbar")->setChecked(g_.Layout.View.StatusBar);
  Command("miViewMessages")->setChecked(g_.Layout.View.Messages);
  Command("miInfobar")->setChecked(g_.Layout.View.InfoBar);
  Command("miAutoResizeColumns")->setChecked(g_.Layout.View.AutoResizeColumns);
  RestorePlacements();
  ReadColumnWidths();
  fitColumnsOnce_ = !g_.Registry().RegKeyExists(RegKey("Pos\\frmMain\\LV\\0"));
  g_.SortDirections[0] = 2;
  listModel_->SortRows();
  for (const QString& prefix : {QStringLiteral("miF"), QStringLiteral("pmLV")})
    if (QAction* a = Command(prefix + "Arrange" + QString::number(g_.SortColumn < 6 ? g_.SortColumn : 0))) a->setChecked(true);
  g_.LastTab = -1;
  tab->setCurrentIndex(std::clamp(g_.Layout.View.Tab, 0, 2));
  LayoutTab();
}


// --- placements ---
// A placement keeps a window's normal rectangle (left, top, right, bottom)
// and whether it is maximized (show command 3, else 1); a panel keeps its
// rectangle inside the window, which gives the splitters their sizes back.

namespace {
TPlacement PlacementOf(const QRect& r, bool maximized) {
  TPlacement p;
  p.ShowCmd = maximized ? 3 : 1;
  p.MinPosX = p.MinPosY = p.MaxPosX = p.MaxPosY = -1;
  p.NormPosLeft = r.left();
  p.NormPosTop = r.top();
  p.NormPosRight = r.left() + r.width();
  p.NormPosBottom = r.top() + r.height();
  return p;
}
int Width(const TPlacement& p) { return p.NormPosRight - p.NormPosLeft; }
int Height(const TPlacement& p) { return p.NormPosBottom - p.NormPosTop; }
}  // namespace

void TMainWindow::SavePlacements() {
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  g_.Layout.Main = PlacementOf(normal, isMaximized());
  g_.Layout.TabPanel = PlacementOf(panTree->geometry(), false);
  g_.Layout.ListPanel = PlacementOf(panLV->geometry(), false);
  if (panMessages->isVisible()) g_.Layout.MessagesPanel = PlacementOf(panMessages->geometry(), false);
  if (panInfo->isVisible()) g_.Layout.InfoPanel = PlacementOf(panInfo->geometry(), false);
}

void TMainWindow::RestorePlacements() {
  if (const auto& main = g_.Layout.Main; main && Width(*main) > 0 && Height(*main) > 0) {
    setGeometry(main->NormPosLeft, main->NormPosTop, Width(*main), Height(*main));
    if (main->ShowCmd == 3) setWindowState(windowState() | Qt::WindowMaximized);
  }
  if (const auto& tree = g_.Layout.TabPanel; tree && Width(*tree) > 0) {
    const int total = std::max(SpltCol->width(), width());
    SpltCol->setSizes({Width(*tree), std::max(100, total - Width(*tree))});
  }
  if (const auto& messages = g_.Layout.MessagesPanel; messages && Height(*messages) > 0) {
    const int total = std::max(spltMsgs->height(), height() / 2);
    spltMsgs->setSizes({std::max(100, total - Height(*messages)), Height(*messages)});
  }
  if (const auto& info = g_.Layout.InfoPanel; info && Height(*info) > 0) {
    const int total = std::max(spltInfo->height(), height() / 2);
    spltInfo->setSizes({std::max(100, total - Height(*info)), Height(*info)});
  }
}

}  // namespace tw
