// export: lines of delimited text from the library or from some of its folders.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "base/Error.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "exchange/Export.h"
#include "exchange/Search.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The named fields checked in the given order, the others after them unchecked.
std::vector<TExportField> ParseFields(const std::string& list) {
  std::vector<TExportField> all = DefaultExportFields();
  std::vector<TExportField> chosen;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = list.substr(start, comma - start);
    start = comma + 1;
    auto it = std::find_if(all.begin(), all.end(), [&](const TExportField& f) { return f.Name == name; });
    if (it == all.end()) throw EUsage("unknown field '" + name + "'");
    chosen.push_back({it->Name, true});
    all.erase(it);
  }
  chosen.insert(chosen.end(), all.begin(), all.end());
  return chosen;
}

int ParseUnit(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "bytes") return 0;
  if (n == "kb") return 1;
  if (n == "mb") return 2;
  throw EUsage("unknown unit " + name + " (Bytes, KB or MB)");
}

int ParseLevels(const std::string& text) {
  size_t used = 0;
  int n = 0;
  try {
    n = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || n < 1 || n > 999) throw EUsage("--levels takes a number from 1 to 999");
  return n;
}

TExportOptions ParseOptions(const TArgs& a, const std::string& out) {
  TExportOptions o;
  o.FileName = out;
  o.Fields = ParseFields(a.Value("--fields", kExchangeFields));
  o.Separator = a.Value("--separator", kExchangeSeparator);
  o.TextQualifier = a.Value("--qualifier", "\"");
  o.SizeUnit = ParseUnit(a.Value("--unit", "Bytes"));
  if (!a.Values("--levels").empty()) {
    o.UseLevels = true;
    o.Levels = ParseLevels(a.Value("--levels"));
  }
  o.Indent = a.Has("--indent");
  o.Folders = a.Has("--folders");
  o.FolderTotals = a.Has("--totals");
  o.OnlyFolders = a.Has("--only-folders");
  o.Archives = a.Has("--archives");
  if ((o.FolderTotals || o.OnlyFolders) && !o.Folders) throw EUsage("--totals and --only-folders need --folders");
  return o;
}

TExportSourceData ParseSource(const TLibObj& lib, const std::vector<std::string>& sources) {
  TExportSourceData s;
  if (sources.empty() || (sources.size() == 1 && sources[0] == "library")) return s;
  s.Source = esSelection;
  for (const auto& path : sources) {
    if (path == "library") throw EUsage("--source library cannot be combined with paths");
    s.Selection.push_back(RequireLibraryPath(lib, path));
  }
  return s;
}

bool HasSearchCriteria(const TArgs& a) {
  for (const auto& f : SearchFlags())
    if (a.Has(f)) return true;
  for (const auto& o : SearchOptions())
    if (!a.Values(o).empty()) return true;
  return false;
}

// The search window's matches (its match list, also in duplicate mode), in
// list order after the sorts.
TExportSourceData SearchSource(TGlobalData& g, TLibObj& lib, const TArgs& a, TSearchCriteria c,
                               const std::vector<int>& sorts) {
  SelectSearchNodes(c, lib, a);
  TSearch search(g, lib);
  TSearchResult result = search.Run(c);
  if (result.Error) throw EError(*result.Error);
  // The sorts act on the match list whichever list the window shows.
  result.DuplicatesVisible = false;
  SortResult(search, result, false, sorts);
  TExportSourceData s;
  s.Source = esSearchResults;
  for (const TSearchRow& row : result.Rows) s.Results.push_back(row.Item);
  return s;
}

int CmdExport(TGlobalData& g, TCliHost& host, const TArgs& a) {
  const auto& pos = a.Positional();
  if (pos.size() < 2) throw EUsage("missing arguments");
  if (pos.size() > 2) throw EUsage("too many arguments");
  RefuseInputAsOutput(pos[1], pos[0]);
  if (!a.Value("--save-search").empty()) RefuseInputAsOutput(a.Value("--save-search"), pos[0]);
  TExportOptions options = ParseOptions(a, pos[1]);
  const bool fromSearch = a.Has("--from-search");
  TSearchCriteria criteria;
  std::vector<int> sorts;
  if (fromSearch) {
    if (!a.Values("--source").empty()) throw EUsage("--from-search and --source are two sources: give one");
    if (a.Has("--collections")) throw EUsage("collection rows cannot be exported");
    if (!a.Values("--replace-category").empty() || !a.Values("--replace-comments").empty())
      throw EUsage("export does not replace: run find with the replace options first");
    sorts = SortColumns(a);
    criteria = ParseSearchCriteria(a, false);
  } else if (HasSearchCriteria(a)) {
    throw EUsage("search criteria need --from-search before them");
  }

  TLibObj& lib = OpenForReading(g, host, pos[0]);
  TExportSourceData source =
      fromSearch ? SearchSource(g, lib, a, std::move(criteria), sorts) : ParseSource(lib, a.Values("--source"));
  TExport exporter(g, std::move(options), std::move(source));
  if (!exporter.Run()) throw EError(exporter.ErrorText());
  return 0;
}

}  // namespace

const TCommand kExportCommand = {
    "export",
    "usage: tarnwex-cli export LIB OUT [--source library|PATH]... [--fields Name,Size,...]\n"
    "         [--separator Comma|Tab|'New Line'|TEXT] [--qualifier Q] [--unit Bytes|KB|MB]\n"
    "         [--levels N] [--indent] [--folders [--totals] [--only-folders]] [--archives]\n"
    "         [--from-search CRITERIA...]\n"
    "  Writes entries of LIB as lines of delimited text (CR LF) into OUT, which is replaced only\n"
    "  when the export succeeds.\n"
    "  --source: the whole library (default), or a volume or folder such as 'CD 1\\Music\\' written\n"
    "    depth-first; repeat it for several, they are written in the order given.\n"
    "  --fields: the fields written, in this order, from Volume, VolumeSerialNo, Path, Name, Size,\n"
    "    Date, Category, Comments, Location, Type, FilePath (default: the first nine, the fields\n"
    "    import reads by default, so that an export imports back as it was).\n"
    "  --separator: Tab (default, as import reads), Comma, 'New Line' (CR LF) or any other text\n"
    "    as it stands.\n"
    "  OUT must not be LIB itself.\n"
    "  --qualifier: encloses Volume, Category, Comments and Location (default \", may be '').\n"
    "  --unit: of the Size field (default Bytes). --levels N: only entries down to depth N (1-999).\n"
    "  --indent: deeper entries start with one separator per level below the first.\n"
    "  --folders: folder entries get lines; --totals gives them their folder's total size,\n"
    "    --only-folders leaves files out. Without --folders, archive members are left out, or\n"
    "    with --archives written instead of the archive and folder entries.\n"
    "  --from-search: the matches of a search instead, in the order find lists them; the\n"
    "    criteria that follow are find's (tarnwex-cli find --help), --sort included; with\n"
    "    --dupes all matches are written, not only the duplicates.\n",
    With({"--indent", "--folders", "--totals", "--only-folders", "--archives", "--from-search"}, SearchFlags()),
    With({"--source", "--fields", "--separator", "--qualifier", "--unit", "--levels"}, SearchOptions()),
    CmdExport};

}  // namespace tw::cli
