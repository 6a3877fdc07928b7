#include "exchange/Search.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_map>
#include <unordered_set>
#include <variant>

#include "base/CaseFold.h"
#include "base/DateTime.h"
#include "base/Error.h"
#include "base/IniFile.h"
#include "base/Messages.h"
#include "base/Operation.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"
#include "state/Globals.h"

namespace tw {
namespace {

// Names as keys of the duplicate groups, equal without regard to case. The
// views point at the entries' own names: a million lookups copy no name.
struct TFoldedHash {
  size_t operator()(std::string_view s) const {
    thread_local std::string folded;
    folded.clear();
    AppendFolded(folded, s);
    return std::hash<std::string_view>()(folded);
  }
};

struct TFoldedEqual {
  bool operator()(std::string_view a, std::string_view b) const { return SameText(a, b); }
};

// Whole-day part of a date value (Trunc: days before 1899-12-30 count backwards).
double Day(TDateTime d) { return std::trunc(d); }

// A total order on doubles (NaN first) for sorting damaged values safely.
int CompareNumber(double a, double b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

template <class T>
int CompareInt(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Sorts stably in the direction stored for the column, then flips it.
template <class Row, class Compare>
void SortRows(std::vector<Row>& rows, TSearchSortState& state, int column, Compare compare) {
  if (column < 0 || column >= kSearchColumnCount) return;
  const bool descending = state[column] == 1;
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return descending ? compare(b, a) < 0 : compare(a, b) < 0;
  });
  state[column] = state[column] == 2 ? 1 : 2;
}

int CompareRows(const TSearchRow& a, const TSearchRow& b, int column) {
  switch (column) {
    case scSize:
      return CompareInt(a.Size, b.Size);
    case scDate:
      return CompareNumber(a.Date, b.Date);
    case scDuplicates:
      return CompareInt(a.DupCount, b.DupCount);
    case scCategory:
      if (a.Item && b.Item) return CompareBytes(a.Item->Category, b.Item->Category);
      break;
    case scComments:
      if (a.Item && b.Item) return CompareBytes(a.Item->Comments, b.Item->Comments);
      break;
    default:
      break;
  }
  // The columns left are texts of the entry and its folders, in no unit.
  return CompareBytes(a.Column(column, TTextFormat{}), b.Column(column, TTextFormat{}));
}

bool IsTextColumn(int column) {
  return column == scName || column == scType || column == scVolume || column == scPath || column == scFullName ||
         column == scLocation;
}

// The nodes a run visits: the selected ones, each once in selection order,
// or every node of the tree in tree order.
template <class Node, class Tree>
std::vector<Node*> NodesToVisit(bool selectedOnly, const std::vector<Node*>& selection, const Tree& tree) {
  std::vector<Node*> nodes;
  if (selectedOnly) {
    std::unordered_set<Node*> seen;
    for (Node* n : selection)
      if (n && seen.insert(n).second) nodes.push_back(n);
  } else {
    nodes.reserve(tree.Count());
    tree.ForEach([&](Node* n) { nodes.push_back(n); });
  }
  return nodes;
}

// What one run knows: the prepared criteria, the message texts, the lists.
class TRun {
 public:
  TRun(TOperation& op, const TSearchSettings& settings, TLibObj& lib, const TSearchCriteria& c, TSearchResult& result)
      : op_(op), settings_(settings), lib_(lib), c_(c), r_(result) {
    // Step 2: with the Anywhere page active its text stands for the six
    // General texts; the caller's criteria stay as they were.
    const bool any = c.AnywhereActive;
    vol_ = TTextCriterion(any ? c.Anywhere : c.Volume, c.MatchCase);
    name_ = TTextCriterion(any ? c.Anywhere : c.Name, c.MatchCase);
    cat_ = TTextCriterion(any ? c.Anywhere : c.Category, c.MatchCase);
    com_ = TTextCriterion(any ? c.Anywhere : c.Comments, c.MatchCase);
    type_ = TTextCriterion(any ? c.Anywhere : c.Type, c.MatchCase);
    loc_ = TTextCriterion(any ? c.Anywhere : c.Location, c.MatchCase);
    caption_ = TTextCriterion(c.ColCaption, c.MatchCase);
    url_ = TTextCriterion(c.ColUrl, c.MatchCase);
    memo_ = TTextCriterion(c.ColMemo, c.MatchCase);
    searching_ = op.Texts().GetText("msgsFindSearching");
    updating_ = op.Texts().GetText("msgsUpdating");
  }

  void Collections();
  void Folders();
  void UpdateDuplicateCounts();
  void FinishDuplicateCounts();

 private:
  // The per-record part of the tests and columns.
  struct TRecord {
    TLibFolder* Folder = nullptr;
    TLibFolder* Volume = nullptr;
    bool VolumeOk = true, LocationOk = true;
  };
  struct TDupGroup {
    int32_t Count = 0;
    TLibFolderItem* First = nullptr;
  };

  void Visit(const TRecord& record, TLibFolderItem& item);
  bool Matches(const TRecord& record, const TLibFolderItem& item) const;
  void AddRow(int list, TLibFolderItem& item, const TRecord& record);
  void AddCollectionRow(TColNode* node);
  void ScanDuplicates(TLibFolderItem& item, const TRecord& record);
  void Status(const std::string& text, const std::string& value) {
    if (op_.StepDue()) op_.Step(Format(text, {value}), 0);
  }

  TOperation& op_;
  const TSearchSettings& settings_;
  TLibObj& lib_;
  const TSearchCriteria& c_;
  TSearchResult& r_;
  TTextCriterion vol_, name_, cat_, com_, type_, loc_, caption_, url_, memo_;
  std::string searching_, updating_;
  // Duplicate scan: one group per folded name; the group of each slv row.
  std::unordered_map<std::string_view, TDupGroup, TFoldedHash, TFoldedEqual> groups_;
  std::vector<TDupGroup*> rowGroups_;
};

void TRun::Collections() {
  for (TColNode* node : NodesToVisit(c_.SelectedOnly, c_.SelectedCollections, lib_.Collections)) {
    const TLibColItem* item = node->Data();
    static const std::string none;
    if (caption_.ContainedIn(node->Text) && url_.ContainedIn(item ? item->Url : none) &&
        memo_.ContainedIn(item ? item->Memo : none))
      AddCollectionRow(node);
    Status(searching_, node->Text);
    op_.CheckStop();
  }
}

void TRun::Folders() {
  // In the walk of the whole tree every folder follows its volume, so the
  // volume is known without walking up from each folder: a library may nest
  // very deeply.
  TLibFolder* volume = nullptr;
  for (TFolderNode* node : NodesToVisit(c_.SelectedOnly, c_.SelectedFolders, lib_.Folders)) {
    TLibFolder* folder = node->Data();
    if (!folder) continue;
    if (node->IsTopLevel())
      volume = folder;
    else if (c_.SelectedOnly || !volume)
      volume = folder->GetVolume();
    if (folder->Items.Empty()) continue;
    TRecord record;
    record.Folder = folder;
    record.Volume = volume;
    record.VolumeOk = vol_.ContainedIn(record.Volume->Name);
    record.LocationOk = loc_.ContainedIn(record.Volume->Location);
    for (const auto& item : folder->Items) Visit(record, *item);
  }
}

void TRun::Visit(const TRecord& record, TLibFolderItem& item) {
  op_.CheckStop();
  if (c_.FoldersOnly && !item.IsFolder) return;
  const bool match = Matches(record, item);
  if (op_.StepDue()) op_.Step(Format(searching_, {record.Folder->GetPath() + item.Name}), 0);
  if (!match) return;
  AddRow(0, item, record);
  if (c_.FindDuplicates) ScanDuplicates(item, record);
}

bool TRun::Matches(const TRecord& record, const TLibFolderItem& item) const {
  const TLibFolder& folder = *record.Folder;
  auto name = [&] { return name_.ContainedIn(item.Name); };
  auto category = [&] { return cat_.Equals(item.Category.empty() ? folder.Category : item.Category); };
  auto comments = [&] { return com_.ContainedIn(item.Comments.empty() ? folder.Comments : item.Comments); };
  auto type = [&] { return type_.Empty() || type_.ContainedIn(item.GetExtension()); };
  auto date = [&] {
    if (!c_.Date1Use) return true;
    const double day = Day(item.Date);
    if (!c_.Date2Use) return day == Day(c_.Date1);
    return Day(c_.Date1) <= day && Day(c_.Date2) >= day;
  };
  auto size = [&] {
    if (!c_.SizeUse) return true;
    const double converted = ScaleSize(c_.SizeUnit, static_cast<double>(item.Size));
    const double value = c_.SizeValue;
    switch (c_.SizeSign) {
      case ssEqual: return converted == value;
      case ssGreater: return converted > value;
      case ssLess: return converted < value;
      default: return false;
    }
  };
  if (c_.AnywhereActive)
    return (record.VolumeOk || name() || category() || comments() || type() || record.LocationOk) && date() &&
           size();
  return record.VolumeOk && record.LocationOk && name() && category() && comments() && type() && date() && size();
}

void TRun::AddRow(int list, TLibFolderItem& item, const TRecord& record) {
  if (list == 0) item.DupCount = 1;
  TSearchRow row;
  row.Item = &item;
  row.Picture = item.IsArchive() ? kRowArchivePicture : item.IsFolder ? kRowFolderPicture : kRowFileTypePicture;
  row.Size = item.Size;
  row.Date = item.Date;
  row.Category = item.Category;
  row.Comments = item.Comments;
  row.SizeUnit = settings_.SizeUnit;
  (list == 0 ? r_.Rows : r_.Duplicates).push_back(std::move(row));

  TSearchCounters& n = r_.Counters[list];
  if (record.Volume != n.LastVolume) ++n.Volumes;
  n.LastVolume = record.Volume;
  ++(item.IsFolder ? n.Folders : n.Files);
  n.Size = AddSizes(n.Size, item.Size);

  // Replace: the row keeps showing the values from before.
  bool replaced = false;
  if (c_.ReplaceCategory && item.Category != c_.NewCategory) {
    item.Category = c_.NewCategory;
    replaced = true;
  }
  if (c_.ReplaceComments && item.Comments != c_.NewComments) {
    item.Comments = c_.NewComments;
    replaced = true;
  }
  if (replaced) {
    lib_.Modified = true;
    lib_.ReportItemChanged(&item);
  }

  if (TColNode* link = item.ColNode ? item.ColNode : record.Volume->ColNode) AddCollectionRow(link);
}

void TRun::AddCollectionRow(TColNode* node) {
  r_.Collections.push_back({node, node->Text, node->ImageIndex});
  ++r_.Counters[0].Collections;
  ++r_.Counters[1].Collections;
}

// A new match E is looked up among all earlier rows of slv; every earlier
// row of the same name and E gain one each, and whoever reaches 2 gets a
// Duplicates row (the earlier entry first). All members of a name group thus
// share the group's size: the group counts, and the members' DupCount is
// written when the walk ends (FinishDuplicateCounts), the new entry's at once.
void TRun::ScanDuplicates(TLibFolderItem& item, const TRecord& record) {
  TDupGroup& group = groups_[item.Name];
  rowGroups_.push_back(&group);
  if (group.Count == 0) {
    group.Count = 1;
    group.First = &item;
    return;
  }
  if (group.Count == 1) {
    // The first entry of the name is reached the second time: its row
    // comes first. Its record is the one of its own folder.
    TLibFolderItem& first = *group.First;
    TRecord firstRecord;
    const TRecord* use = &record;
    if (first.Folder && first.Folder != record.Folder) {
      firstRecord.Folder = first.Folder;
      firstRecord.Volume = first.Folder->GetVolume();
      use = &firstRecord;
    }
    first.DupCount = 2;
    AddRow(1, first, *use);
  }
  ++group.Count;
  item.DupCount = group.Count;
  AddRow(1, item, record);
}

void TRun::FinishDuplicateCounts() {
  for (size_t i = 0; i < rowGroups_.size() && i < r_.Rows.size(); ++i)
    r_.Rows[i].Item->DupCount = rowGroups_[i]->Count;
}

void TRun::UpdateDuplicateCounts() {
  for (TSearchRow& row : r_.Duplicates) {
    row.DupCount = row.Item->DupCount;
    if (op_.StepDue()) Status(updating_, row.Column(scLocation, settings_.Format));
    op_.CheckStop();
  }
}

std::string DigitsOnly(std::string_view s, size_t n) {
  if (s.size() != n) return {};
  for (char c : s)
    if (c < '0' || c > '9') return {};
  return std::string(s);
}

// The user's short date format (the date part of FormatDate), read back.
std::optional<TDateTime> ParseShortDate(const std::string& text) {
  std::tm tm{};
  if (!ParseUserDate(text, "%x", tm)) return std::nullopt;
  TDateTime d;
  if (!TryEncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 0, 0, 0, 0, d)) return std::nullopt;
  return d;
}

std::string SingleLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

constexpr const char* kSection = "Search";

}  // namespace

// ----------------------------------------------------------- the helper

TTextCriterion::TTextCriterion(const std::string& text, bool matchCase)
    : text_(matchCase ? text : FoldCase(text)), matchCase_(matchCase) {}

namespace {

// A text stored in another code page is found by what it is shown as: a
// Latin-1 "caf\xE9" by "café".
std::string Shown(std::string_view value) {
  return IsValidUtf8(value) ? std::string(value) : DisplayUtf8(value);
}

}  // namespace

bool TTextCriterion::ContainedIn(std::string_view value) const {
  if (text_.empty()) return true;
  if (IsAscii(value)) {
    if (matchCase_) return value.find(text_) != std::string_view::npos;
    return std::search(value.begin(), value.end(), text_.begin(), text_.end(),
                       [](char v, char t) { return FoldAsciiByte(v) == t; }) != value.end();
  }
  if (matchCase_) return Shown(value).find(text_) != std::string::npos;
  return FoldCase(Shown(value)).find(text_) != std::string::npos;
}

bool TTextCriterion::Equals(std::string_view value) const {
  if (text_.empty()) return true;
  if (IsAscii(value)) {
    if (matchCase_) return value == text_;
    return value.size() == text_.size() &&
           std::equal(value.begin(), value.end(), text_.begin(), [](char v, char t) { return FoldAsciiByte(v) == t; });
  }
  if (matchCase_) return Shown(value) == text_;
  return FoldCase(Shown(value)) == text_;
}

// ----------------------------------------------------------- the search

const std::array<const char*, kSearchColumnCount>& SearchColumnCaptions() {
  static const std::array<const char*, kSearchColumnCount> captions = {
      "Name", "Type", "Volume", "Path", "Size", "Date", "Category", "Comments", "Duplicates", "Full filename",
      "Location"};
  return captions;
}

TSearch::TSearch(TGlobalData& globals, TLibObj& library)
    : TSearch(library, {globals.SizeUnit, globals.ConfirmReplace, globals.TextFormat()}) {
  g_ = &globals;
}

TSearch::TSearch(TLibObj& library, TSearchSettings settings) : lib_(library), settings_(std::move(settings)) {}

TSearchResult TSearch::Run(const TSearchCriteria& criteria, TOperation& op) {
  TSearchResult result;
  result.DuplicatesVisible = criteria.FindDuplicates;
  // Steps 2 and 3: the effective texts are prepared by the run; the result
  // starts empty.
  TRun run(op, settings_, lib_, criteria, result);
  // Step 4.
  if (settings_.ConfirmReplace && (criteria.ReplaceCategory || criteria.ReplaceComments) &&
      op.Ask(op.Text("confFindReplace"), TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes) {
    result.Generation = lib_.Generation();
    return result;
  }
  result.Searched = true;
  // A replace changes entries: views wait until it is done.
  std::optional<TLibObj::TBusyScope> busy;
  if (criteria.ReplaceCategory || criteria.ReplaceComments) busy.emplace(lib_);
  try {
    if (criteria.CollectionsActive) {
      run.Collections();  // step 5
    } else {
      try {
        run.Folders();  // step 6
      } catch (...) {
        run.FinishDuplicateCounts();
        throw;
      }
      run.FinishDuplicateCounts();
      if (criteria.FindDuplicates) run.UpdateDuplicateCounts();  // step 7
    }
  } catch (const ECanceled& e) {
    result.Error = TextOf(e, op.Texts());
    result.Canceled = true;
  } catch (const std::exception& e) {
    result.Error = TextOf(e, op.Texts());
  }
  result.Generation = lib_.Generation();
  // Step 9: the window shows CounterTexts of result.Shown().
  op.Show(ResultsText(op.Texts(), result.Shown()));
  return result;
}

TSearchResult TSearch::Run(const TSearchCriteria& criteria) {
  // The settings as they are now.
  settings_ = {g_->SizeUnit, g_->ConfirmReplace, g_->TextFormat()};
  // Steps 1 and 8.
  g_->ProcessStopped = false;
  TSearchResult result;
  {
    TGlobalOperation run(*g_);
    result = Run(criteria, run);
  }
  g_->ProcessStopped = true;
  return result;
}

void TSearch::Sort(std::vector<TSearchRow>& rows, int column) {
  if (!IsTextColumn(column)) {
    SortRows(rows, SortState, column,
             [column](const TSearchRow& a, const TSearchRow& b) { return CompareRows(a, b, column); });
    return;
  }
  // Texts made from folders are made once per row, not once per comparison.
  struct TKeyed {
    std::string Key;
    size_t Index;
  };
  std::vector<TKeyed> keyed;
  keyed.reserve(rows.size());
  const TTextFormat format = g_ ? g_->TextFormat() : settings_.Format;
  for (size_t i = 0; i < rows.size(); ++i) keyed.push_back({rows[i].Column(column, format), i});
  SortRows(keyed, SortState, column, [](const TKeyed& a, const TKeyed& b) { return CompareBytes(a.Key, b.Key); });
  std::vector<TSearchRow> sorted;
  sorted.reserve(rows.size());
  for (const TKeyed& k : keyed) sorted.push_back(std::move(rows[k.Index]));
  rows = std::move(sorted);
}

std::string TSearchRow::Column(int column, const TTextFormat& format) const {
  const TLibFolder* volume = Item ? Item->GetVolume() : nullptr;
  auto path = [&] { return Item && Item->Folder ? Item->Folder->GetPath() : std::string(); };
  switch (column) {
    case scName:
      return Item ? Item->Name : std::string();
    case scType:
      return Item ? Item->GetExtension() : std::string();
    case scVolume:
      return volume ? volume->Name : std::string();
    case scPath:
      return path();
    case scSize:
      return FormatSize(SizeUnit, static_cast<double>(Size), format);
    case scDate:
      return Date == 0 ? std::string() : FormatDate(Date);
    case scCategory:
      return Category;
    case scComments:
      return JoinLines(Comments, format.NewLineSeparator);
    case scDuplicates:
      return DupCount > 0 ? std::to_string(DupCount) : std::string();
    case scFullName:
      return path() + (Item ? Item->Name : std::string());
    case scLocation:
      return volume ? volume->Location : std::string();
    default:
      return {};
  }
}

std::array<std::string, kSearchColumnCount> TSearchRow::Columns(const TTextFormat& format) const {
  std::array<std::string, kSearchColumnCount> columns;
  for (int i = 0; i < kSearchColumnCount; ++i) columns[i] = Column(i, format);
  return columns;
}

void TSearch::Sort(std::vector<TCollectionRow>& rows, int column) {
  SortRows(rows, SortState, column,
           [](const TCollectionRow& a, const TCollectionRow& b) { return CompareBytes(a.Caption, b.Caption); });
}

std::array<std::string, 5> CounterTexts(const TGlobalData& g, const TSearchCounters& n) {
  return {Format(g.GetText("infoVol"), {std::to_string(n.Volumes)}),
          Format(g.GetText("infoFol"), {std::to_string(n.Folders)}),
          Format(g.GetText("infoFiles"), {std::to_string(n.Files)}),
          Format(g.GetText("infoCol"), {std::to_string(n.Collections)}),
          Format(g.GetText("infoSize"), {FormatSize(g.SizeUnit, static_cast<double>(n.Size), g.TextFormat())})};
}

std::string ResultsText(const TMessageTable& texts, const TSearchCounters& n) {
  return Format(texts.GetText("infoFindResults"), {std::to_string(int64_t{n.Folders} + n.Files)});
}

std::string ResultsText(const TGlobalData& g, const TSearchCounters& n) { return ResultsText(g.Messages(), n); }

// ----------------------------------------------------------- .TWS files

std::string SearchDateText(TDateTime date) {
  TDateParts p;
  if (!TryDecodeDateTime(Day(date), p)) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  return buf;
}

std::optional<TDateTime> ParseSearchDate(const std::string& text) {
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    const std::string y = DigitsOnly(std::string_view(text).substr(0, 4), 4);
    const std::string m = DigitsOnly(std::string_view(text).substr(5, 2), 2);
    const std::string d = DigitsOnly(std::string_view(text).substr(8, 2), 2);
    TDateTime result;
    if (!y.empty() && !m.empty() && !d.empty() &&
        TryEncodeDateTime(std::stoi(y), std::stoi(m), std::stoi(d), 0, 0, 0, 0, result))
      return result;
    return std::nullopt;
  }
  return ParseShortDate(text);
}

namespace {

// The keys of the saved search file in the order they are written, each
// with its criterion (and the largest value a number may take).
using TSearchField = std::variant<std::string TSearchCriteria::*, bool TSearchCriteria::*, int32_t TSearchCriteria::*,
                                  TDateTime TSearchCriteria::*>;
struct TSearchKey {
  const char* Key;
  TSearchField Field;
  int32_t Max = 0;
};

const TSearchKey kSearchKeys[] = {
    {"File", &TSearchCriteria::Name},
    {"Type", &TSearchCriteria::Type},
    {"Cat", &TSearchCriteria::Category},
    {"Comments", &TSearchCriteria::Comments},
    {"Date1use", &TSearchCriteria::Date1Use},
    {"Date1", &TSearchCriteria::Date1},
    {"Date2use", &TSearchCriteria::Date2Use},
    {"Date2", &TSearchCriteria::Date2},
    {"SizeUse", &TSearchCriteria::SizeUse},
    {"SizeSign", &TSearchCriteria::SizeSign, 2},
    {"SizeRnd", &TSearchCriteria::SizeUnit, 2},
    {"SizeVal", &TSearchCriteria::SizeValue, 2147483647},
    {"Location", &TSearchCriteria::Location},
    {"Anywhere", &TSearchCriteria::Anywhere},
    {"Col Caption", &TSearchCriteria::ColCaption},
    {"Col URL", &TSearchCriteria::ColUrl},
    {"Col Comments", &TSearchCriteria::ColMemo},
    {"Option Match Case", &TSearchCriteria::MatchCase},
};

}  // namespace

void SaveSearch(const TSearchCriteria& c, const std::string& file) {
  TIniFile ini(file);
  ini.EraseSection(kSection);
  for (const TSearchKey& k : kSearchKeys) {
    std::visit(
        [&](auto field) {
          using T = std::remove_reference_t<decltype(c.*field)>;
          if constexpr (std::is_same_v<T, const std::string>)
            ini.WriteString(kSection, k.Key, SingleLine(c.*field));
          else if constexpr (std::is_same_v<T, const bool>)
            ini.WriteBool(kSection, k.Key, c.*field);
          else if constexpr (std::is_same_v<T, const int32_t>)
            ini.WriteInteger(kSection, k.Key, c.*field);
          else
            ini.WriteString(kSection, k.Key, SearchDateText(c.*field));
        },
        k.Field);
  }
  ini.Save(file);
}

void LoadSearch(TSearchCriteria& c, const std::string& file) {
  // A file that is no saved search must not turn into a search of everything.
  const TIniFile ini = TIniFile::Load(file);
  if (!ini.SectionExists(kSection))
    throw EError("errNoSearch", {file});
  for (const TSearchKey& k : kSearchKeys) {
    std::visit(
        [&](auto field) {
          using T = std::remove_reference_t<decltype(c.*field)>;
          if constexpr (std::is_same_v<T, std::string>) {
            c.*field = ini.ReadString(kSection, k.Key, c.*field);
          } else if constexpr (std::is_same_v<T, bool>) {
            c.*field = ini.ReadBool(kSection, k.Key, c.*field);
          } else if constexpr (std::is_same_v<T, int32_t>) {
            const int32_t v = ini.ReadInteger(kSection, k.Key, c.*field);
            if (v >= 0 && v <= k.Max) c.*field = v;
          } else if (ini.ValueExists(kSection, k.Key)) {
            if (auto d = ParseSearchDate(ini.ReadString(kSection, k.Key, std::string()))) c.*field = *d;
          }
        },
        k.Field);
  }
}

}  // namespace tw
