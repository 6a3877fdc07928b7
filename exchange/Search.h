// The search engine of the search window as plain logic: the
// criteria mirror the window's controls, a run walks the folder tree (or the
// collection tree) as the window does and hands back its three result lists
// with their counters; sorting by column, the saved search file (".TWS") and
// the result status texts live here too. The window and tarnwex-cli only
// show what a run returns.
//
// How it differs from a window that searches for itself:
// - Errors: Run never raises. A stop request ("Operation Canceled") or any
//   other failure ends the walk; the closing steps still run (the rows found
//   so far stay, the counters are computed, ProcessStopped becomes true) and
//   the text is returned in TSearchResult::Error for the caller to show.
// - The rows point at entries of the library: they are good while the
//   library's generation is the one the result carries (IsCurrent).
// - "Without regard to case" folds both sides with FoldCase (Unicode simple
//   case folding, the platform's rule) instead of upper-casing them; each
//   criterion is folded once per run.
// - A replace that changes an entry's category or comments marks the library
//   modified, so the change is saved.
// - The window's Stop button is the caller's: Run sets ProcessStopped only.
// - A date of 0 ("no date") shows as an empty Date cell.
// - A selected node listed twice is visited once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/TextUtils.h"
#include "core/LibClasses.h"

namespace tw {

class TGlobalData;
class TOperation;

enum TSizeSign : int32_t { ssEqual = 0, ssGreater = 1, ssLess = 2 };
enum TSizeUnitIndex : int32_t { suBytes = 0, suKB = 1, suMB = 2 };

// The window's controls, one field each.
struct TSearchCriteria {
  // General page.
  std::string Name;      // edSearch
  std::string Category;  // cbCat
  std::string Comments;  // edCom
  std::string Type;      // edType
  std::string Volume;    // edVol
  std::string Location;  // edLoc
  // Advanced page. Date2 counts only while Date1Use is checked too.
  bool Date1Use = false;  // cbDate1
  TDateTime Date1 = 0;    // edDate1
  bool Date2Use = false;  // cbDate2
  TDateTime Date2 = 0;    // edDate2
  bool SizeUse = false;          // cbSize
  int32_t SizeSign = ssEqual;    // cbSign: 0 "=", 1 ">", 2 "<"
  int32_t SizeUnit = suBytes;    // cbK: 0 Bytes, 1 KB, 2 MB
  int32_t SizeValue = 0;         // edSize, 0 to 2147483647
  // Replace page.
  bool ReplaceCategory = false;  // cbrepcat
  std::string NewCategory;       // edrepCat
  bool ReplaceComments = false;  // cbrepcom
  std::string NewComments;       // edrepCom
  // Anywhere page: active page flag and edAny.
  bool AnywhereActive = false;
  std::string Anywhere;
  // Collections page: active page flag, edcolCaption, edcolUrl, edcolCom.
  bool CollectionsActive = false;
  std::string ColCaption;
  std::string ColUrl;
  std::string ColMemo;
  // Options page.
  bool SelectedOnly = false;  // cbSel
  // The selection of the main window's trees, used with SelectedOnly: folder
  // nodes for a folder search, collection nodes for a collection search.
  std::vector<TFolderNode*> SelectedFolders;
  std::vector<TColNode*> SelectedCollections;
  bool MatchCase = false;       // cbCase
  bool FindDuplicates = false;  // cbDup
  bool FoldersOnly = false;     // cbFoldersOnly
};

// Column indexes of slv and slvdup.
enum TSearchColumn : int {
  scName = 0,
  scType = 1,
  scVolume = 2,
  scPath = 3,
  scSize = 4,
  scDate = 5,
  scCategory = 6,
  scComments = 7,
  scDuplicates = 8,
  scFullName = 9,
  scLocation = 10,
};
inline constexpr int kSearchColumnCount = 11;
// The column captions, in column order.
const std::array<const char*, kSearchColumnCount>& SearchColumnCaptions();

// Row picture: an archive, another folder entry, or a file whose picture is
// the file-type picture of its full library path (the view looks it up).
inline constexpr int kRowArchivePicture = 1;
inline constexpr int kRowFolderPicture = 0;
inline constexpr int kRowFileTypePicture = -1;

// A row of slv or slvdup. It keeps what the columns need and makes their
// texts when asked: a list of a million rows stays small and quick to fill,
// and a view formats only the rows it shows.
struct TSearchRow {
  TLibFolderItem* Item = nullptr;
  int Picture = kRowFileTypePicture;
  // The entry's size and date when the row was added, and the count shown in
  // the Duplicates column (0 while the cell is empty).
  int64_t Size = 0;
  TDateTime Date = 0;
  int32_t DupCount = 0;
  // The entry's own category and comments when the row was added: a replace
  // changes the entry, the row keeps showing the values from before.
  std::string Category;
  std::string Comments;
  // The size unit of the settings when the row was added.
  int32_t SizeUnit = 0;

  // The text of one column; Name, Type, Volume, Path, Full filename and
  // Location are read from the entry and its folders.
  std::string Column(int column, const TTextFormat& format) const;
  std::array<std::string, kSearchColumnCount> Columns(const TTextFormat& format) const;
};

// A row of lvCol.
struct TCollectionRow {
  TColNode* Node = nullptr;
  std::string Caption;
  int Picture = -1;
};

// The counters of one list (0 slv, 1 slvdup).
struct TSearchCounters {
  const TLibFolder* LastVolume = nullptr;
  int32_t Volumes = 0;
  int32_t Folders = 0;
  int32_t Files = 0;
  int32_t Collections = 0;
  int64_t Size = 0;
};

struct TSearchResult {
  std::vector<TSearchRow> Rows;             // slv
  std::vector<TSearchRow> Duplicates;       // slvdup
  std::vector<TCollectionRow> Collections;  // lvCol
  std::array<TSearchCounters, 2> Counters{};
  // Which list the window shows: slvdup when duplicates were searched.
  bool DuplicatesVisible = false;
  // False when the replace question was answered No: nothing was searched.
  bool Searched = false;
  // "Operation Canceled" after Stop, or the text of another failure.
  std::optional<std::string> Error;
  bool Canceled = false;
  // The library's generation at the end of the run.
  uint64_t Generation = 0;

  // Whether the rows still point at live entries: nothing was removed from
  // the library since the run.
  bool IsCurrent(const TLibObj& lib) const { return lib.Generation() == Generation; }

  // The list index of step 9 (1 in duplicate mode) and its counters.
  int CounterIndex() const { return DuplicatesVisible ? 1 : 0; }
  const TSearchCounters& Shown() const { return Counters[CounterIndex()]; }
  std::vector<TSearchRow>& Visible() { return DuplicatesVisible ? Duplicates : Rows; }
  const std::vector<TSearchRow>& Visible() const { return DuplicatesVisible ? Duplicates : Rows; }
};

// The comparison helper with the criterion prepared once: as it is with
// Match Case, folded otherwise.
class TTextCriterion {
 public:
  TTextCriterion() = default;
  TTextCriterion(const std::string& text, bool matchCase);
  bool Empty() const { return text_.empty(); }
  // The criterion occurs in the value; an empty criterion always matches.
  bool ContainedIn(std::string_view value) const;
  // The whole value equals the criterion; an empty criterion always matches.
  bool Equals(std::string_view value) const;

 private:
  std::string text_;
  bool matchCase_ = false;
};

// Sort state of the three lists: one byte per column, 2 ascending, 1 descending.
using TSearchSortState = std::array<uint8_t, kSearchColumnCount>;
inline TSearchSortState InitialSortState() {
  TSearchSortState s;
  s.fill(2);
  return s;
}

// The settings a search reads, taken when it is made.
struct TSearchSettings {
  int32_t SizeUnit = 0;
  bool ConfirmReplace = true;
  TTextFormat Format;
};

// One search window's engine. Run reads the library (and changes entries
// when replacing) on the operation's thread while nobody else changes or,
// for a replace, reads it; Sort runs on the window's thread.
class TSearch {
 public:
  // The program's library and settings.
  TSearch(TGlobalData& globals, TLibObj& library);
  TSearch(TLibObj& library, TSearchSettings settings);

  // Start Search, from clearing the lists to the counters. Never raises (see
  // above). The replace question goes to the operation; the result text is
  // its closing status.
  TSearchResult Run(const TSearchCriteria& criteria, TOperation& op);
  // The same on the caller's thread with the program's progress and its
  // settings as they are now: the operation runs with ProcessStopped clear.
  TSearchResult Run(const TSearchCriteria& criteria);

  // Column click: sorts by the column in its stored direction, then flips it.
  void Sort(std::vector<TSearchRow>& rows, int column);
  void Sort(std::vector<TCollectionRow>& rows, int column);
  TSearchSortState SortState = InitialSortState();

 private:
  TGlobalData* g_ = nullptr;
  TLibObj& lib_;
  TSearchSettings settings_;
};

// The five panels of the window's result status bar (volumes, folders,
// files, collections, size in the settings' size unit) and the main status
// bar's "Results" text.
std::array<std::string, 5> CounterTexts(const TGlobalData& globals, const TSearchCounters& counters);
std::string ResultsText(const TMessageTable& texts, const TSearchCounters& counters);
std::string ResultsText(const TGlobalData& globals, const TSearchCounters& counters);

// The saved search file: section "Search", keys in their fixed order,
// booleans "1"/"0", dates as ISO "YYYY-MM-DD" (the day only). Loading also
// takes a date in the user's short date format; a missing or unreadable key
// leaves its criterion as it was, but a file that cannot be read or has no
// "Search" section raises EError naming it. Saving raises EError when the
// file cannot be written.
inline constexpr const char* kSearchFileExtension = ".TWS";
inline constexpr const char* kSearchFileFilter = "Catalog Search (*.TWS)|*.TWS|All Files (*.*)|*.*";
void SaveSearch(const TSearchCriteria& criteria, const std::string& file);
void LoadSearch(TSearchCriteria& criteria, const std::string& file);
// The day of a date as "YYYY-MM-DD", and back; nullopt for another text.
std::string SearchDateText(TDateTime date);
std::optional<TDateTime> ParseSearchDate(const std::string& text);

}  // namespace tw
