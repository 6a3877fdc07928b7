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
  BuildPropertiesCommands();
  BuildOptionsCommands();
  BuildExchangeCommands();
  BuildMenus();
  BuildToolbar();
  BuildRegions();
  BuildCollections();
  BuildLanguageCommands();
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
  lvIcons->setUniformItemSizes(false);
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

}  // namespace tw
