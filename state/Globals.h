// The one program-wide state object: the open library, every option, the
// word lists, the handler table and the state of the running long operation.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "base/Operation.h"
#include "base/RegUtils.h"
#include "base/StringList.h"
#include "base/TextUtils.h"
#include "state/Host.h"
#include "state/Settings.h"
#include "state/WordLists.h"
#include "tags/HandlerClasses.h"

namespace tw {

class TLibObj;
using TDateTime = double;

// Image-list position of a file extension's picture.
struct TextObj {
  int32_t ImageIndex = 0;
};

class TGlobalData {
 public:
  TGlobalData(THost& host, std::string programDir = {});
  ~TGlobalData();
  TGlobalData(const TGlobalData&) = delete;
  TGlobalData& operator=(const TGlobalData&) = delete;

  // --- fields, in declared order ---
  std::string FavoritesFile;
  std::string TagsFile;
  std::string ImagesFile;
  std::string LocationsFile;
  std::string CategoriesFile;
  std::string BuiltInLanguageFile;
  std::string LanguageName;
  bool SortVolumes = true;
  bool ShowIcons = true;
  bool DisableControls = true;
  bool ActionEndBeep = true;
  bool CheckSerial = true;
  bool FoldersOnly = false;
  bool MultiApps = true;
  bool LoadLast = true;
  bool SaveSettingsOnExit = true;
  uint8_t SizeUnit = 0;
  uint8_t SortColumn = 0;
  bool LocateMain = true;
  bool ConfirmDeleteFile = true;
  bool ConfirmDeleteFolder = true;
  bool ConfirmDeleteVolume = true;
  bool ConfirmDeleteCollection = true;
  bool ConfirmReplace = true;
  bool ConfirmNew = true;
  bool ConfirmSaveChanges = true;
  bool ConfirmExit = true;
  bool ConfirmReload = true;
  bool ConfirmClose = true;
  std::string NewLineSeparator = ";";
  bool AddTagsToGlobals = true;
  bool AddLocationsToGlobals = true;
  bool AddCategoriesToGlobals = true;
  int32_t RecentLimit = 5;
  std::array<uint8_t, 6> SortDirections{};
  int32_t PrintZoom = 0;
  std::string PrintFontName;
  int32_t PrintFontSize = 0;
  int32_t PrintFontColor = 0;
  int32_t PrintFontCharSet = 0;
  std::array<bool, 4> PrintFontStyle{};
  std::unique_ptr<TLibObj> CurrentLibrary;
  TSortedStrings FavoritesList{TDuplicates::Error};
  TSortedStrings TagsList{TDuplicates::Error};
  TSortedStrings LocationsList{TDuplicates::Ignore};
  TSortedStrings CategoriesList{TDuplicates::Ignore};
  int32_t AddDrive = 0;
  bool AddingVolume = false;
  std::string AddCategory;
  std::string AddComments;
  std::string AddLocation;
  bool ApplyToFolders = false;
  bool ApplyToFiles = false;
  bool DeleteMissing = false;
  int32_t TreeWidth = 0;
  int32_t CollectionWidth = 0;
  int32_t LastTab = -1;
  THandlerList Handlers;
  bool FirstRun = false;
  TDateTime ProgressStart = 0;
  double ProgressScale = 1.0;
  std::vector<std::pair<std::string, TextObj>> IconCache;
  bool ProcessStopped = true;

  // The folder that holds the user's word lists and language files, with a
  // trailing "/".
  const std::string& ProgramDir() const { return programDir_; }
  THost& Host() const { return host_; }
  // The per-user settings store.
  TRegStore& Registry() { return *registry_; }
  // The main window's View marks, placements, column widths and Reopen menu.
  TMainLayout Layout;
  TMessageTable& Messages() { return messages_; }
  const TMessageTable& Messages() const { return messages_; }

  void SetDefaults();
  std::string DefaultListFile(int kind) const;
  void FillDefaultListFiles();
  void ResetLibrary(bool isNew);

  // --- settings and word lists ---
  void LoadSettings();
  void SaveSettings();
  void LoadLayout();
  void SaveLayout();
  // At shut-down: the options when SaveSettingsOnExit is on, the layout always.
  void SaveOnExit();
  void LoadWordLists();
  void SaveWordLists();
  // The Favorites menu's entries after its fixed part.
  std::vector<TFavoriteEntry> BuildFavoritesMenu() const { return FavoriteEntries(FavoritesList); }
  // "Add to Favorites" for the open library.
  void AddFavorite();
  // After a library was opened or saved under a new name.
  void AddRecentFile(const std::string& fileName) { tw::AddRecentFile(Layout.Recent, fileName, RecentLimit); }

  // --- message table, log and progress ---
  std::string GetText(const std::string& key) const;
  // Unit names and line separator for the texts of sizes and comments.
  TTextFormat TextFormat() const;
  void UpperCaseMessageKeys();
  void AddMessage(const std::string& text);
  void ShowStatus(const std::string& status, const std::string& logText, bool toLog);
  void BeginProgress(const std::string& caption, int64_t total);
  void StepProgress(const std::string& status, int64_t position);
  void EndProgress(const std::string& text);
  void SetProcessStopped(bool stopped);
  // The main window's Stop command; it also asks the running operation to stop.
  void Stop();
  // The operation the Stop command reaches (TGlobalOperation sets it).
  TOperation* RunningOperation = nullptr;

  // Whether the next StepProgress hands its status to the host: callers skip
  // building status texts nobody would see.
  bool ProgressDue() const;

  // Lets pending user input through, at most once per PumpInterval: long
  // walks call it for every entry.
  void PumpEvents() {
    if (ProgressDue()) PumpProgress();
  }

  // Raises the "infoCancel" error when a stop was requested.
  void CancelCheck() const;

  // The commands that are enabled exactly while no long operation runs.
  static const std::vector<std::string>& IdleCommands();

  // Minimum time between two event pumps of StepProgress.
  std::chrono::milliseconds PumpInterval{15};

 private:
  void PumpProgress();

  THost& host_;
  std::string programDir_;
  std::unique_ptr<TRegStore> registry_;
  TMessageTable messages_;
  TGlobalData* previous_ = nullptr;
  // StepProgress throttling: the bar and status are handed to the host at
  // most once per PumpInterval.
  std::chrono::steady_clock::time_point lastPump_{};
  std::chrono::steady_clock::time_point progressClock_{};
  int32_t progressMax_ = 0;
  // The user asked to stop the running operation (cleared when one starts).
  bool stopRequested_ = false;
  int32_t pendingPosition_ = -1;
  std::string pendingStatus_;
  bool statusPending_ = false;
};

// The program's own progress display as an operation sink: the bracket,
// steps and log lines go to BeginProgress, StepProgress, EndProgress and
// AddMessage, statuses to the status bar, questions to the host. Used on the
// thread that owns the program state; an operation on a worker reaches it
// through a sink that hands each call over to that thread.
class TGlobalSink : public TOperationSink {
 public:
  explicit TGlobalSink(TGlobalData& g) : g_(g) {}

  void OnBegin(const std::string& caption, int64_t total) override;
  void OnStep(const std::string& status, int64_t position) override;
  void OnStatus(const std::string& status) override;
  void OnLog(const std::string& line) override;
  void OnEnd(const std::string& text) override;
  TMsgAnswer OnAsk(const std::string& text, TMsgButtons buttons, TMsgKind kind) override;

 private:
  TGlobalData& g_;
};

// An operation run on the caller's thread with the program's own progress
// display; the Stop command reaches its stop request. For the command-line
// tool and the tests, which run operations where they are called.
class TGlobalOperation : public TGlobalSink {
 public:
  explicit TGlobalOperation(TGlobalData& g);
  ~TGlobalOperation() override;
  TGlobalOperation(const TGlobalOperation&) = delete;
  TGlobalOperation& operator=(const TGlobalOperation&) = delete;

  TOperation& Op() { return op_; }
  operator TOperation&() { return op_; }

 private:
  TGlobalData& g_;
  TOperation op_;
  TOperation* previous_;
};

// The program-wide instance: the one created last that still lives.
TGlobalData* GlobalData();

// A message text from the program-wide table, or from the built-in one when
// no global state exists.
std::string GetTextOrDefault(const std::string& key);

}  // namespace tw
