// The main window: the open library in its three views (collections tree,
// volume tree with the file list, information panel), every command as
// menus, toolbar, context menus and keys, and the progress of the long
// operation that runs on the worker.
//
// Owns its widgets, models and the operation runner; the program state and
// its host are the caller's and outlive the window. Used on the window's
// thread only; the library is read here only while no operation has it busy.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <functional>
#include <memory>
#include <vector>

#include "core/LibClasses.h"
#include "core/VolumeScan.h"
#include "exchange/Export.h"
#include "state/Globals.h"
#include "ui/OperationRunner.h"
#include "ui/Pictures.h"

class QAction;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QTabBar;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QToolBar;
class QTreeView;
class QTableView;
class QStackedWidget;
class QAbstractItemView;
class QMimeData;

namespace tw {

class TfrmOptions;
class TfrmTags;
class TfrmPickList;
class TfrmHandlers;
class TfrmAbout;
class TFolderTreeModel;
class TFileListModel;
class TCollectionTreeModel;
class TWindowHost;
class TLibraryViews;
class TBar;
class TfrmMemo;
class TAddVolumeDialog;
class TUpdateDialog;
class TTextEditor;
class TfrmProperties;
class TfrmExport;
class TfrmImport;

class TTranslator;

class TMainWindow : public QMainWindow {
  Q_OBJECT
 public:
  TMainWindow(TGlobalData& g, TWindowHost& host);
  ~TMainWindow() override;

  TGlobalData& Globals() { return g_; }
  TLibObj& Library() { return *g_.CurrentLibrary; }
  TPictures& Pictures() { return pictures_; }
  TOperationRunner& Runner() { return *runner_; }

  // A command by its object name ("miNew", "tbAdd", "pmLVDelete").
  QAction* Command(const QString& name) const { return commands_.value(name); }
  const QHash<QString, QAction*>& Commands() const { return commands_; }
  QMenu* Menu(const QString& name) const { return menus_.value(name); }

  // Start-up steps of the window after the program state is loaded: the
  // favorites menu, the collection pictures, the layout, the view marks.
  void ApplyLoadedSettings();
  // The start library: the first argument, else the last library when the
  // options say so; errors are ignored.
  void OpenStartLibrary(const QString& argument);

  // --- library commands (also run by the tests) ---
  void NewLibrary();
  // Open.. (empty file: the open dialog), or a Reopen entry.
  void OpenLibrary(const QString& file = {}, bool reopen = false);
  void ReloadLibrary();
  void SaveLibrary();
  void SaveLibraryAs(const QString& file = {});
  void CloseLibrary();
  void ImportLibrary(const QString& file = {});
  // Loads a library file on the worker (merge: as an import), asking first
  // when `confirm`; `addRecent` puts it on the Reopen menu once loaded.
  void LoadFile(const std::string& file, bool merge, bool confirm, bool addRecent);
  void StopOperation();
  void ApplyViewMarks();
  void SelectTab(int tab);

  // --- volume tree, file list, information panel ---
  // Selects a node of the volume tree (none: clears the selection); the list
  // and bars follow.
  void SelectFolderNode(TFolderNode* node);
  TFolderNode* SelectedFolderNode() const;
  std::vector<TFolderNode*> SelectedFolderNodes() const;
  std::vector<TLibFolderItem*> SelectedItems() const;
  void FillList();
  void UpdateInfoPanel();
  void DeleteSelected();
  void RefreshView();
  void OpenRealSource();
  void OpenSelectedRow();
  void SelectAllRows();
  void InvertSelection();
  void SetViewStyle(int style);  // 0 large icons, 1 small icons, 2 list, 3 details
  void ArrangeBy(int column);
  void ExpandNode(int how);      // 0 one level, 1 collapse one, 2 all levels, 3 collapse all
  void RenameVolume(TFolderNode* node, const QString& text);
  void SetAutoResizeColumns(bool on);

  // --- add and update (the dialogs of the volume commands) ---
  void AddVolumeCommand();
  void UpdateVolumeCommand();
  // Scans a new volume on the worker, apart from the library, and splices it
  // in when the scan ends (also after Stop, with what was recorded); the
  // other volumes stay browsable meanwhile. False when an operation runs.
  // `total` is the end of the progress bar (none: unknown); the new volume
  // gets a link below `collection` when given, and `again` opens the dialog
  // for the next volume once this one is in.
  bool StartAddVolume(const TAddVolumeRequest& request, int64_t total = -1, TColNode* collection = nullptr,
                      bool again = false);

  // --- collections tree ---
  TCollectionTreeModel* CollectionModel() const { return colModel_; }
  void SelectCollectionNode(TColNode* node);
  void DeleteCollectionItems();

  // Runs `work` on the worker with the library busy (the views show it so
  // and read nothing); `done` runs on the window's thread afterwards.
  // False when an operation runs already.
  using TWork = TOperationRunner::TWork;
  using TDone = TOperationRunner::TDone;
  bool RunBusy(TWork work, TDone done);
  // Runs `work` on the worker without making the library busy: the work
  // must not touch the library (an add scans a volume of its own).
  bool RunDetached(TWork work, TDone done);
  bool OperationRunning() const;
  // The views stay usable during the running operation (it leaves the
  // library alone), whatever the option to disable them says.
  bool ViewsStayEnabled() const { return browsable_; }

  // Shows an error the way the window shows every failed command.
  void ShowError(const QString& text);

  // Refuses commands while an operation runs.
  bool Idle() const;

  // A key is first tried on the context menu of the focused control and its
  // parents, then on the menu bar in menu order.
  bool DispatchShortcut(const QKeySequence& key);

  // Commands whose windows are not part of the program yet: they stay
  // disabled whatever the operation state.
  bool Unavailable(const QString& name) const { return later_.contains(name); }
  void MakeAvailable(const QString& name);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TWindowHost;
  void BuildActions();
  void BuildMenus();
  void BuildToolbar();
  void BuildRegions();
  void BuildCollections();
  void Connect();
  QAction* MakeCommand(const QString& name, const QString& caption, const QString& shortcut = {},
                       std::function<void()> run = {});
  void RebuildFavoritesMenu();
  void RebuildReopenMenu();
  void ClearViews(bool collections);
  void AttachLibrary();
  // The collections model follows the library now current.
  void AttachCollections();
  bool SaveTo(const std::string& file);
  void LayoutTab();
  bool CloseQuery();
  void OnTreeSelectionChanged();
  void OnListCurrentChanged();
  void AfterLoad(const TOperationRunner::TOutcome& outcome, const std::string& file, bool merge);
  void ShowContextMenu(QMenu* menu, QAbstractItemView* view, const QPoint& pos);
  void ReadColumnWidths();
  void SaveWindowLayout();
  void SavePlacements();
  void RestorePlacements();
  void RestoreWindowLayout();

  TGlobalData& g_;
  TWindowHost& host_;
  TPictures pictures_;
  TGlobalSink display_;
  std::unique_ptr<TOperationRunner> runner_;
  std::unique_ptr<TLibraryViews> views_;
  TFolderTreeModel* treeModel_ = nullptr;
  TFileListModel* listModel_ = nullptr;
  TCollectionTreeModel* colModel_ = nullptr;

  QHash<QString, QAction*> commands_;
  QHash<QString, QMenu*> menus_;
  QSet<QString> later_;
  // Context menus by the widget they belong to.
  QHash<QWidget*, QMenu*> contextMenus_;

 public:
  // The regions, by their component names.
  QToolBar* tb = nullptr;
  QWidget* panTree = nullptr;
  QTabBar* tab = nullptr;
  QSplitter* Spt = nullptr;
  QSplitter* spltInfo = nullptr;
  QWidget* panCol = nullptr;
  QWidget* panTV = nullptr;
  QWidget* panLV = nullptr;
  QSplitter* SpltCol = nullptr;
  QSplitter* spltMsgs = nullptr;
  QWidget* panMessages = nullptr;
  QPlainTextEdit* msgs = nullptr;
  QWidget* infoPan = nullptr;
  QLabel* lblPB = nullptr;
  QProgressBar* pb = nullptr;
  TBar* sb_main = nullptr;
  TBar* sb_loc = nullptr;
  TBar* sb_tree = nullptr;
  TBar* sb_fp = nullptr;
  TBar* sb = nullptr;
  TBar* sb_colH = nullptr;
  TBar* sb_colL = nullptr;
  QTreeView* tvNodes = nullptr;
  QTreeView* tvCol = nullptr;
  // The file list: one model, the details view (report) and the icon view
  // (large icons, small icons, list).
  QStackedWidget* lv = nullptr;
  QTreeView* lvDetails = nullptr;
  QListView* lvIcons = nullptr;
  QWidget* panInfo = nullptr;
  QTabWidget* pcInfo = nullptr;
  QLabel* infolblCat = nullptr;
  QLabel* infolblLoc = nullptr;
  QTextEdit* infomemo = nullptr;
  QTableWidget* infovle = nullptr;
  int ViewStyle = 3;
  // The file list's view that shows the rows now.
  QAbstractItemView* ListView() const;

 private:
  bool StartWork(TWork work, TDone done, bool browsable);
  bool browsable_ = false;
  int lastTabShown_ = -1;
  bool fitColumnsOnce_ = false;
  QString startFile_;

  // --- collections tree: commands, drops and following the other views
  // (MainWindowCollections.cpp) ---
 public:
  TColNode* SelectedCollectionNode() const;
  // The selected collection nodes, none of them below another.
  std::vector<TColNode*> SelectedCollectionNodes() const;
  void NewCollection();
  void NewSubCollection();
  void NewMemoItem();
  void CollectionProperties();
  void RenameCollectionItem();
  void OpenCollectionLink();
  void ExpandCollectionNode(int how);  // as ExpandNode
  // One link below `parent` per selected volume-tree node (the add-volume
  // dialog's collection picker).
  void LinkVolumeTreeSelection(TColNode* parent);
  TfrmMemo* MemoEditor() const { return frmMemo_; }

 private:
  bool DropOnCollections(const QMimeData* data, TColNode* target);
  void OnCollectionSelectionChanged();
  void UpdateCollectionBars();
  // The collections tree lets go of the library about to be replaced.
  void DetachCollections();
  TfrmMemo* frmMemo_ = nullptr;
  // A drop onto the collections tree is being made: its selection changes
  // are not followed meanwhile.
  bool droppingOnCollections_ = false;
  // The collections tree's selection is being followed by the other views:
  // they do not lead it back meanwhile.
  bool followingCollections_ = false;

  // --- volume dialogs and word-list editors (MainWindowVolumes.cpp) ---
 public:
  // The dialogs, created on first use and kept.
  TAddVolumeDialog& AddVolumeDialog();
  TUpdateDialog& UpdateDialog();
  TTextEditor& TextEditor();
  // The Categories, Locations and Organize Favorites commands.
  void EditCategories();
  void EditLocations();
  void OrganizeFavorites();

 private:
  // Binds the commands of these dialogs and editors.
  void BuildVolumeCommands();
  // A word list through the text editor, under the command's hint and file.
  void EditWordList(TSortedStrings& list, const QString& hint, const std::string& file);
  TAddVolumeDialog* addDialog_ = nullptr;
  TUpdateDialog* updateDialog_ = nullptr;
  TTextEditor* textEditor_ = nullptr;

  // --- properties dialog (MainWindowProperties.cpp) ---
 public:
  // The dialog, created on first use and kept.
  TfrmProperties& PropertiesDialog();
  // The file page for the selected rows. With `open` (the toolbar's
  // Properties, a double click, Open) a folder entry's folder is entered
  // instead.
  void FileProperties(bool open);
  // The volume or folder page for the selected volume-tree nodes.
  void TreeProperties();
  // The library page, the library's records not editable.
  void LibraryProperties();

 private:
  void BuildPropertiesCommands();
  // Shows the dialog on `page` for the selection; after OK the list is
  // filled again (with the row `row` selected again when not -1) and the
  // library is marked modified when something differed.
  void ShowProperties(int page, bool libraryOnly, int row);
  TfrmProperties* propertiesDialog_ = nullptr;

  // --- options, tags, handlers, about box (MainWindowOptions.cpp) ---
 public:
  // The dialogs, created on first use and kept.
  TfrmOptions& OptionsDialog();
  TfrmTags& TagsEditor();
  TfrmHandlers& HandlersDialog();
  TfrmAbout& AboutBox();
  // The Options command: on OK the favorites menu and the collection
  // pictures follow the new options.
  void EditOptions();
  // The Tags command: the global tag list through the tag list editor.
  void EditTags();
  void EditHandlers();
  void ShowAbout();

 private:
  // Binds the commands of these dialogs.
  void BuildOptionsCommands();
  TfrmOptions* optionsDialog_ = nullptr;
  TfrmTags* tagsEditor_ = nullptr;
  TfrmHandlers* handlersDialog_ = nullptr;
  TfrmAbout* aboutBox_ = nullptr;

  // --- export and import text (MainWindowExchange.cpp) ---
 public:
  // The dialogs, created on first use and kept.
  TfrmExport& ExportDialog();
  TfrmImport& ImportDialog();
  // Export: the dialog for the source, then the export on the worker, the
  // totals and "Exported". False when it did not start.
  bool ExportCommand(TExportSource source);
  // Import text: the dialog, then the import on the worker with the
  // library busy, and the current volume selected.
  bool ImportTextCommand();

 private:
  void BuildExchangeCommands();
  TfrmExport* exportDialog_ = nullptr;
  TfrmImport* importDialog_ = nullptr;

  // --- languages and help (MainWindowLanguages.cpp) ---
 public:
  TTranslator& Translator() { return *translator_; }
  // At start, once every window exists: writes the built-in texts out and
  // applies the language the settings name.
  void LoadLanguage();
  // Makes every window the program makes on demand, so that the translator
  // reaches all texts.
  void MakeWindows();
  // Export Current Language..: the texts to a file the user picks.
  void ExportLanguageCommand();
  // Load Original Language: the built-in texts again.
  void RestoreLanguageCommand();
  // Help > Contents: the manual page of the language in the browser.
  void ShowHelp();

 private:
  // The translator, the Languages menu and the language and help commands.
  void BuildLanguageCommands();
  TTranslator* translator_ = nullptr;
};

// A bar of one or two fields; a field's text is shortened in the middle to
// the field's width.
class TBar : public QWidget {
  Q_OBJECT
 public:
  TBar(const QString& name, int fields, QWidget* parent);
  void SetText(int field, const QString& text);
  QString Text(int field) const;
  QLabel* Field(int field) const { return fields_[static_cast<size_t>(field)]; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide(int field);
  std::vector<QLabel*> fields_;
  std::vector<QString> texts_;
};

}  // namespace tw
