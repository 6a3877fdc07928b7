#include "state/Globals.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "base/DateTime.h"
#include "base/Error.h"
#include "base/FileUtils.h"
#include "base/TextUtils.h"
#include "core/LibClasses.h"

namespace tw {
namespace {

TGlobalData* current = nullptr;

// $TARNWEX_DATA_DIR, else $XDG_DATA_HOME/Quenmoor/Tarnwex/, else
// ~/.local/share/Quenmoor/Tarnwex/.
std::string DefaultDataDir() {
  auto withSlash = [](std::string p) { return p.empty() || p.back() == '/' ? p : p + "/"; };
  if (const char* d = std::getenv("TARNWEX_DATA_DIR"); d && *d) return withSlash(d);
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return withSlash(x) + "Quenmoor/Tarnwex/";
  const char* home = std::getenv("HOME");
  return withSlash(home && *home ? home : ".") + ".local/share/Quenmoor/Tarnwex/";
}

// Elapsed seconds as hours, minutes and seconds in the user's long time format.
std::string FormatElapsed(double seconds) {
  long s = std::lround(std::max(0.0, seconds));
  std::tm tm{};
  tm.tm_hour = static_cast<int>((s / 3600) % 24);
  tm.tm_min = static_cast<int>((s / 60) % 60);
  tm.tm_sec = static_cast<int>(s % 60);
  char buf[64];
  size_t n = std::strftime(buf, sizeof buf, "%X", &tm);
  return std::string(buf, n);
}

}  // namespace

TGlobalData* GlobalData() { return current; }

std::string GetTextOrDefault(const std::string& key) {
  if (current) return current->GetText(key);
  static const TMessageTable builtIn;
  return builtIn.GetText(key);
}

TGlobalData::TGlobalData(THost& host, std::string programDir)
    : host_(host),
      programDir_(programDir.empty() ? DefaultDataDir() : std::move(programDir)),
      registry_(std::make_unique<TRegStore>(TRegStore::DefaultFile())) {
  programDir_ = AddSlash(programDir_);
  Handlers.SetDataFolder(programDir_);
  SetDefaults();
  CurrentLibrary = std::make_unique<TLibObj>(kLibraryVersion);
  ProcessStopped = true;
  AddingVolume = false;
  previous_ = current;
  current = this;
}

TGlobalData::~TGlobalData() {
  CurrentLibrary.reset();
  if (current == this) current = previous_;
}

void TGlobalData::SetDefaults() {
  FillDefaultListFiles();
  LanguageName.clear();
  SortVolumes = ShowIcons = DisableControls = ActionEndBeep = CheckSerial = true;
  FoldersOnly = false;
  MultiApps = LoadLast = SaveSettingsOnExit = true;
  SizeUnit = 0;
  SortColumn = 0;
  LocateMain = true;
  ConfirmDeleteFile = ConfirmDeleteFolder = ConfirmDeleteVolume = ConfirmDeleteCollection = true;
  ConfirmReplace = ConfirmNew = ConfirmSaveChanges = ConfirmExit = ConfirmReload = ConfirmClose = true;
  NewLineSeparator = ";";
  AddTagsToGlobals = AddLocationsToGlobals = AddCategoriesToGlobals = true;
  RecentLimit = 5;
  SortDirections.fill(0);
  AddDrive = 0;
  AddingVolume = false;
  AddCategory.clear();
  AddComments.clear();
  AddLocation.clear();
  ApplyToFolders = ApplyToFiles = DeleteMissing = false;
  ProgressStart = 0;
  ProgressScale = 1.0;
  ProcessStopped = true;
}

std::string TGlobalData::DefaultListFile(int kind) const {
  switch (kind) {
    case 0: return programDir_ + "Favorites.txt";
    case 1: return programDir_ + "Tags.txt";
    case 2: return programDir_ + "Locations.txt";
    case 3: return programDir_ + "Categories.txt";
    case 5: return "OriginalLanguage.bab";
    default: return {};
  }
}

void TGlobalData::FillDefaultListFiles() {
  if (FavoritesFile.empty()) FavoritesFile = DefaultListFile(0);
  if (TagsFile.empty()) TagsFile = DefaultListFile(1);
  if (LocationsFile.empty()) LocationsFile = DefaultListFile(2);
  if (CategoriesFile.empty()) CategoriesFile = DefaultListFile(3);
  if (ImagesFile.empty()) ImagesFile = DefaultListFile(4);
  BuiltInLanguageFile = DefaultListFile(5);
}

void TGlobalData::ResetLibrary(bool isNew) {
  CurrentLibrary.reset();
  CurrentLibrary = std::make_unique<TLibObj>(kLibraryVersion);
  CurrentLibrary->Modified = isNew;
}

// ------------------------------------------------------- messages and log

std::string TGlobalData::GetText(const std::string& key) const { return messages_.GetText(key); }

void TGlobalData::UpperCaseMessageKeys() { messages_.UpperCaseKeys(); }

void TGlobalData::AddMessage(const std::string& text) {
  try {
    host_.AppendLog(text);
  } catch (...) {
  }
}

TTextFormat TGlobalData::TextFormat() const {
  return {GetText("infoStrKB"), GetText("infoStrMB"), NewLineSeparator};
}

void TGlobalData::ShowStatus(const std::string& status, const std::string& logText, bool toLog) {
  try {
    host_.SetStatusText(TStatusBar::Main, 1, status);
    if (!toLog) return;
    if (!logText.empty())
      AddMessage(logText);
    else if (!status.empty())
      AddMessage(status);
  } catch (...) {
  }
}

// --------------------------------------------------------------- progress

void TGlobalData::BeginProgress(const std::string& caption, int64_t total) {
  try {
    SetProcessStopped(false);
    ProgressStart = NowDateTime();
    progressClock_ = std::chrono::steady_clock::now();
    ProgressScale = 1.0;
    host_.SetProgressCaption(caption + ": ");
    try {
      host_.SetProgressPosition(0);
      if (total > 0) {
        progressMax_ = total > 2147483647 ? 2147483647 : static_cast<int32_t>(total);
        if (total > 2147483647) ProgressScale = 2147483647.0 / static_cast<double>(total);
        host_.SetProgressRange(progressMax_);
      }
      host_.ShowProgress(true);
    } catch (...) {
    }
    host_.SetStatusText(TStatusBar::Main, 0, CurrentLibrary ? CurrentLibrary->FileName : std::string());
    lastPump_ = {};
    statusPending_ = false;
    pendingPosition_ = -1;
    ShowStatus(caption, std::string(), true);
  } catch (...) {
  }
}

bool TGlobalData::ProgressDue() const { return std::chrono::steady_clock::now() - lastPump_ >= PumpInterval; }

void TGlobalData::StepProgress(const std::string& status, int64_t position) {
  try {
    // A bar without a maximum never moves; one with a maximum stops there.
    if (position > 0 && progressMax_ > 0)
      pendingPosition_ = static_cast<int32_t>(
          std::min<double>(std::nearbyint(static_cast<double>(position) * ProgressScale), progressMax_));
    if (!status.empty()) {
      pendingStatus_ = status;
      statusPending_ = true;
    }
    if (ProgressDue()) PumpProgress();
  } catch (...) {
  }
}

void TGlobalData::PumpProgress() {
  if (pendingPosition_ >= 0) {
    try {
      host_.SetProgressPosition(pendingPosition_);
    } catch (...) {
    }
    pendingPosition_ = -1;
  }
  if (statusPending_) {
    ShowStatus(pendingStatus_, std::string(), false);
    statusPending_ = false;
  }
  host_.ProcessEvents();
  lastPump_ = std::chrono::steady_clock::now();
}

void TGlobalData::EndProgress(const std::string& text) {
  try {
    host_.SetProgressCaption(" ");
    host_.SetProgressPosition(0);
    host_.SetProgressRange(0);
    progressMax_ = 0;
    host_.ShowProgress(false);

    const TLibObj* lib = CurrentLibrary.get();
    host_.SetStatusText(TStatusBar::Main, 0, lib ? lib->FileName : std::string());
    host_.SetStatusText(TStatusBar::Volumes, 0,
                        Format(GetText("infoVol"), {std::to_string(lib ? lib->VolumeCount : 0)}));
    host_.SetStatusText(TStatusBar::Collections, 0,
                        Format(GetText("infoItems"), {std::to_string(lib ? lib->Collections.Count() : 0)}));
    host_.SetStatusText(TStatusBar::Collections, 1, host_.StatusText(TStatusBar::Volumes, 1));

    // The summary counts the library as it stands after the operation.
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - progressClock_).count();
    std::string summary =
        text + " " +
        Format(GetText("msgsInfo"), {std::to_string(lib ? lib->VolumeCount : 0), std::to_string(lib ? lib->FolderCount : 0),
                                     std::to_string(lib ? lib->FileCount : 0),
                                     FormatSize(SizeUnit, static_cast<double>(lib ? lib->TotalSize : 0), TextFormat()),
                                     FormatElapsed(elapsed)});
    ShowStatus(std::string(), summary, true);
    SetProcessStopped(true);
  } catch (...) {
  }
}

const std::vector<std::string>& TGlobalData::IdleCommands() {
  static const std::vector<std::string> names = {
      "tbOpen", "miOpen", "tbReload", "miReload", "miExpLng", "miAddFavorites", "miOrganizeFavorites",
      "tbOrgFavorites", "tbSave", "miSave", "miSaveAs", "tbNew", "miNew", "tbImport", "miImport", "pmTVImport",
      "tbAdd", "miVAdd", "pmTVAdd", "tbFind", "miFind", "miFSearch", "pmLVSearchBy", "tbCat", "miCategories", "tbLoc",
      "miLocations", "tbOptions", "miOptions", "tbRefresh", "miRefresh", "tbEdit", "miVProperties", "miFProperties",
      "pmLVProperties", "pmTVProperties", "miVExploreReal", "pmTVExploreReal", "miFOpenRealSource", "pmLVRealSource",
      "miClose", "tbUpdate", "miVUpdate", "pmTVUpdate", "tbDel", "miVDelete", "miFDelete", "pmTVDelete", "tbExport",
      "miExport", "miVExport", "pmTVExport"};
  return names;
}

void TGlobalData::SetProcessStopped(bool stopped) {
  try {
    // An operation that ends after the user's Stop says so; one that ends
    // twice over (an import and its closing steps) does not.
    if (stopped && ProcessStopped && stopRequested_) AddMessage(GetText("msgsStopped"));
    if (!stopped) stopRequested_ = false;
    ProcessStopped = stopped;
    host_.EnableCommands({"miVStopProcess", "tbStop"}, !stopped);
    if (DisableControls) host_.EnableViews(stopped);
    // The idle commands go as one list; the two menus that list entries
    // stay disabled while they are empty.
    std::vector<std::string> names = IdleCommands();
    std::vector<std::string> empty;
    for (const char* menu : {"miReopen", "miLanguages"})
      (stopped && host_.MenuEntryCount(menu) == 0 ? empty : names).push_back(menu);
    host_.EnableCommands(names, stopped);
    if (!empty.empty()) host_.EnableCommands(empty, false);
    if (stopped && ActionEndBeep) host_.Beep();
    host_.ProcessEvents();
  } catch (...) {
  }
}

void TGlobalData::Stop() {
  stopRequested_ = true;
  if (RunningOperation) RunningOperation->RequestStop();
  ProcessStopped = true;
  SetProcessStopped(true);
}

void TGlobalData::CancelCheck() const {
  if (ProcessStopped) throw ECanceled(GetText("infoCancel"));
}

}  // namespace tw

namespace tw {

TGlobalOperation::TGlobalOperation(TGlobalData& g)
    : TGlobalSink(g), g_(g), op_(*this, g.Messages()), previous_(std::exchange(g.RunningOperation, &op_)) {
  op_.StepInterval = g.PumpInterval;
}

TGlobalOperation::~TGlobalOperation() { g_.RunningOperation = previous_; }

void TGlobalSink::OnBegin(const std::string& caption, int64_t total) {
  // Without a caption the operation runs without the progress panel.
  if (!caption.empty()) {
    g_.BeginProgress(caption, total);
    return;
  }
  g_.ProgressStart = NowDateTime();
  g_.SetProcessStopped(false);
}

void TGlobalSink::OnStep(const std::string& status, int64_t position) { g_.StepProgress(status, position); }

void TGlobalSink::OnStatus(const std::string& status) { g_.ShowStatus(status, std::string(), false); }

void TGlobalSink::OnLog(const std::string& line) { g_.AddMessage(line); }

void TGlobalSink::OnEnd(const std::string& text) { g_.EndProgress(text); }

TMsgAnswer TGlobalSink::OnAsk(const std::string& text, TMsgButtons buttons, TMsgKind kind) {
  return g_.Host().Ask(text, buttons, kind);
}

}  // namespace tw
