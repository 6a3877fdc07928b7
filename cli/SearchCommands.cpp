// find and dupes: the search window's Start Search from the command line.
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/Utf8.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/LibClasses.h"
#include "exchange/Search.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

using nlohmann::json;

// A day given as YYYY-MM-DD.
TDateTime ParseDay(const std::string& option, const std::string& text) {
  auto day = text.size() == 10 && text[4] == '-' && text[7] == '-' ? ParseSearchDate(text) : std::nullopt;
  if (!day) throw EUsage(option + " takes a day as YYYY-MM-DD, not '" + text + "'");
  return *day;
}

// "OP N UNIT" in one value, blanks allowed between the parts: OP is =, > or <
// (default =), N a whole number 0 to 2147483647, UNIT Bytes, KB or MB
// (default Bytes; case ignored).
void ParseSize(const std::string& text, TSearchCriteria& c) {
  size_t i = 0;
  auto blanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  blanks();
  c.SizeSign = ssEqual;
  if (i < text.size() && (text[i] == '=' || text[i] == '>' || text[i] == '<')) {
    c.SizeSign = text[i] == '=' ? ssEqual : text[i] == '>' ? ssGreater : ssLess;
    ++i;
  }
  blanks();
  size_t start = i;
  int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 2147483647) value = value * 10 + (text[i++] - '0');
  if (i == start || value > 2147483647)
    throw EUsage("--size takes OP N UNIT such as '>1KB' (OP =, > or <; N 0 to 2147483647; UNIT Bytes, KB or MB)");
  blanks();
  const std::string unit = text.substr(i);
  if (unit.empty() || SameTextAscii(unit, "Bytes") || SameTextAscii(unit, "B"))
    c.SizeUnit = suBytes;
  else if (SameTextAscii(unit, "KB"))
    c.SizeUnit = suKB;
  else if (SameTextAscii(unit, "MB"))
    c.SizeUnit = suMB;
  else
    throw EUsage("unknown size unit '" + unit + "' (Bytes, KB or MB)");
  c.SizeUse = true;
  c.SizeValue = static_cast<int32_t>(value);
}

// A column caption (case ignored) or index.
int ParseColumn(const std::string& text) {
  const auto& captions = SearchColumnCaptions();
  for (int i = 0; i < kSearchColumnCount; ++i)
    if (SameTextAscii(text, captions[i]) || text == std::to_string(i)) return i;
  throw EUsage("unknown column '" + text + "' (a caption such as Name or Size, or 0 to 10)");
}

// A collection node by its captions from the top, joined with "\".
TColNode* FindCollectionPath(const TLibObj& lib, std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  TColNode* found = nullptr;
  lib.Collections.ForEach([&](TColNode* n) {
    if (found) return;
    std::string full = n->Text;
    for (TColNode* p = n->Parent(); p; p = p->Parent()) full = p->Text + "\\" + full;
    if (full == path) found = n;
  });
  return found;
}

// Texts as the columns show them; size, date and count as values for programs.
json RowJson(const TSearchRow& row, const TTextFormat& format) {
  static const char* const keys[kSearchColumnCount] = {"name",     "type",       "volume",     "path",
                                                       "size",     "date",       "category",   "comments",
                                                       "duplicates", "fullFilename", "location"};
  json j;
  for (int i = 0; i < kSearchColumnCount; ++i) j[keys[i]] = Text(row.Column(i, format));
  j["size"] = row.Size;
  j["date"] = JsonDate(row.Date);
  j["duplicates"] = row.DupCount;
  j["folder"] = row.Item && row.Item->IsFolder;
  return j;
}

}  // namespace

TSearchCriteria ParseSearchCriteria(const TArgs& a, bool dupes) {
  TSearchCriteria c;
  if (!a.Value("--load-search").empty()) LoadSearch(c, a.Value("--load-search"));
  auto text = [&](const char* option, std::string& field) {
    if (!a.Values(option).empty()) field = a.Value(option);
  };
  text("--name", c.Name);
  text("--type", c.Type);
  text("--volume", c.Volume);
  text("--location", c.Location);
  text("--category", c.Category);
  text("--comments", c.Comments);
  if (!a.Values("--anywhere").empty()) {
    c.AnywhereActive = true;
    c.Anywhere = a.Value("--anywhere");
  }
  c.CollectionsActive = a.Has("--collections");
  text("--caption", c.ColCaption);
  text("--url", c.ColUrl);
  text("--memo", c.ColMemo);
  if (c.AnywhereActive && c.CollectionsActive) throw EUsage("--anywhere and --collections are two pages: give one");
  if (!c.CollectionsActive && (a.Values("--caption").size() + a.Values("--url").size() + a.Values("--memo").size()))
    throw EUsage("--caption, --url and --memo need --collections");
  if (!a.Values("--date").empty()) {
    c.Date1Use = true;
    c.Date1 = ParseDay("--date", a.Value("--date"));
  }
  if (!a.Values("--between").empty()) {
    if (!c.Date1Use) throw EUsage("--between needs --date");
    c.Date2Use = true;
    c.Date2 = ParseDay("--between", a.Value("--between"));
  }
  if (!a.Values("--size").empty()) ParseSize(a.Value("--size"), c);
  if (a.Has("--match-case")) c.MatchCase = true;
  c.FoldersOnly = a.Has("--folders-only");
  c.FindDuplicates = dupes || a.Has("--dupes");
  if (!a.Values("--replace-category").empty()) {
    c.ReplaceCategory = true;
    c.NewCategory = a.Value("--replace-category");
  }
  if (!a.Values("--replace-comments").empty()) {
    c.ReplaceComments = true;
    c.NewComments = a.Value("--replace-comments");
  }
  if (!a.Value("--save-search").empty()) SaveSearch(c, a.Value("--save-search"));
  return c;
}

void SelectSearchNodes(TSearchCriteria& c, const TLibObj& lib, const TArgs& a) {
  c.SelectedOnly = !a.Values("--selected").empty();
  for (const auto& path : a.Values("--selected")) {
    if (c.CollectionsActive) {
      TColNode* node = FindCollectionPath(lib, path);
      if (!node) throw EError("No such collection in the library: " + path);
      c.SelectedCollections.push_back(node);
    } else {
      c.SelectedFolders.push_back(RequireLibraryPath(lib, path));
    }
  }
}

std::vector<int> SortColumns(const TArgs& a) {
  std::vector<int> sorts;
  for (const auto& s : a.Values("--sort")) sorts.push_back(ParseColumn(s));
  return sorts;
}

void SortResult(TSearch& search, TSearchResult& result, bool collections, const std::vector<int>& columns) {
  for (int column : columns) {
    if (collections)
      search.Sort(result.Collections, column);
    else
      search.Sort(result.Visible(), column);
  }
}

// Functions, not globals: other commands' tables are built from them while
// the program starts.
std::set<std::string> With(std::set<std::string> a, const std::set<std::string>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

const std::set<std::string>& SearchFlags() {
  static const std::set<std::string> flags = {"--match-case", "--folders-only", "--dupes", "--collections"};
  return flags;
}

const std::set<std::string>& SearchOptions() {
  static const std::set<std::string> options = {
      "--name",    "--type",    "--volume", "--location", "--category", "--comments",    "--anywhere",
      "--date",    "--between", "--size",   "--selected", "--caption",  "--url",         "--memo",
      "--sort",    "--replace-category",    "--replace-comments",       "--save-search", "--load-search"};
  return options;
}

namespace {

int RunFind(TGlobalData& g, TCliHost& host, const TArgs& a, bool dupes) {
  const auto& pos = a.Positional();
  if (pos.empty()) throw EUsage("missing arguments");
  if (pos.size() > 1) throw EUsage("too many arguments");
  const std::string& file = pos[0];

  // The sort columns are checked before a search is saved; a saved search
  // that cannot be read fails before the library is touched.
  const std::vector<int> sorts = SortColumns(a);
  if (!a.Value("--save-search").empty()) RefuseInputAsOutput(a.Value("--save-search"), file);
  TSearchCriteria c = ParseSearchCriteria(a, dupes);
  const bool replaces = c.ReplaceCategory || c.ReplaceComments;
  TLibObj& lib = replaces ? OpenForWriting(g, host, file, false) : OpenForReading(g, host, file);
  SelectSearchNodes(c, lib, a);

  // The replace question is answered yes: the user asked for the replace.
  host.AnswerYes = true;
  const bool wasModified = lib.Modified;
  lib.Modified = false;
  TSearch search(g, lib);
  TSearchResult result = search.Run(c);
  const bool replaced = lib.Modified;
  lib.Modified = wasModified || replaced;

  SortResult(search, result, c.CollectionsActive, sorts);

  const TSearchCounters& shown = result.Shown();
  if (a.Has("--json")) {
    json rows = json::array();
    for (const auto& row : result.Visible()) rows.push_back(RowJson(row, g.TextFormat()));
    json cols = json::array();
    for (const auto& row : result.Collections) cols.push_back(Text(row.Caption));
    json out = {{"file", file},
                {"rows", rows},
                {"collections", cols},
                {"counters",
                 {{"volumes", shown.Volumes},
                  {"folders", shown.Folders},
                  {"files", shown.Files},
                  {"collections", shown.Collections},
                  {"size", shown.Size}}}};
    if (result.Error) out["error"] = Text(*result.Error);
    PrintJson(out);
  } else if (c.CollectionsActive) {
    for (const auto& row : result.Collections) std::cout << Field(row.Caption) << '\n';
  } else {
    for (const auto& row : result.Visible()) {
      for (int i = 0; i < kSearchColumnCount; ++i) std::cout << (i ? "\t" : "") << Field(row.Column(i, g.TextFormat()));
      std::cout << '\n';
    }
  }
  std::cout.flush();

  if (result.Searched) {
    const auto panels = CounterTexts(g, shown);
    for (size_t i = 0; i < panels.size(); ++i) std::cerr << (i ? "\t" : "") << Text(panels[i]);
    std::cerr << '\n' << Text(ResultsText(g, shown)) << '\n';
  }
  // Entries already replaced stay replaced, also after Stop.
  if (replaced) SaveLibraryFile(g, host, file);
  if (result.Error) {
    std::cerr << "error: " << Text(*result.Error) << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

const TCommand kFindCommand = {
    "find",
    "usage: tarnwex-cli find LIB [--name T] [--type T] [--volume T] [--location T] [--category T]\n"
    "                        [--comments T] [--anywhere T] [--date D [--between D2]] [--size OP N UNIT]\n"
    "                        [--selected PATH]... [--match-case] [--folders-only] [--dupes]\n"
    "                        [--collections [--caption T] [--url T] [--memo T]] [--sort COLUMN]...\n"
    "                        [--replace-category T] [--replace-comments T] [--save-search F.TWS]\n"
    "                        [--load-search F.TWS] [--json]\n"
    "  Searches the library as the search window does. Names, types, volumes, locations and\n"
    "  comments match when they contain the text, the category when it equals it (an entry\n"
    "  without one takes its folder's); case is ignored unless --match-case. --anywhere tries one\n"
    "  text against all six. --date YYYY-MM-DD matches that day, with --between YYYY-MM-DD the\n"
    "  days from --date to it. --size OP N UNIT as words or one value: '>' 1 KB, '>1KB', '= 1024'\n"
    "  (OP =, > or <, default =; UNIT Bytes, KB or MB, default Bytes). --selected (repeatable)\n"
    "  searches only the entries directly in those library folders ('CD 1\\Music\\'). --dupes lists\n"
    "  the entries whose name occurs more than once among the matches, with their count.\n"
    "  --collections searches the collection items by caption, URL and memo; --selected then\n"
    "  names collections by their captions from the top joined with '\\'. --sort (repeatable)\n"
    "  sorts by a column caption or index 0-10; sorting the same column again reverses it.\n"
    "  --replace-category and --replace-comments overwrite those of every match and save LIB.\n"
    "  --load-search reads a saved search first (the other options override it); --save-search\n"
    "  writes the criteria.\n"
    "  Prints one line per row, the eleven columns (Name, Type, Volume, Path, Size, Date,\n"
    "  Category, Comments, Duplicates, Full filename, Location) tab-separated, or with\n"
    "  --collections the collection captions; --json: {file, rows, collections, counters}.\n"
    "  The counters go to stderr. Ctrl+C stops the search: the rows found so far are printed\n"
    "  and the exit status is 1.\n",
    With(SearchFlags(), {"--json"}),
    SearchOptions(),
    [](TGlobalData& g, TCliHost& host, const TArgs& a) { return RunFind(g, host, a, false); }};

const TCommand kDupesCommand = {
    "dupes",
    "usage: tarnwex-cli dupes LIB [criteria]\n"
    "  find --dupes: the matches whose name occurs more than once among all matches (case\n"
    "  ignored), in the order each reached its second occurrence, with the count in the\n"
    "  Duplicates column. Takes the criteria and options of find (tarnwex-cli find --help).\n",
    With(SearchFlags(), {"--json"}),
    SearchOptions(),
    [](TGlobalData& g, TCliHost& host, const TArgs& a) { return RunFind(g, host, a, true); }};

}  // namespace tw::cli
