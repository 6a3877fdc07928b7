// The commands of tarnwex-cli.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cli/Args.h"

namespace tw {
class TGlobalData;
class TCliHost;
class TLibObj;
template <typename T>
class TTreeNode;
class TLibFolder;
struct TSearchCriteria;
struct TSearchResult;
class TSearch;
}  // namespace tw

namespace tw::cli {

struct TCommand {
  std::string Name;
  std::string Help;
  std::set<std::string> Flags;
  std::set<std::string> Options;
  std::function<int(TGlobalData&, TCliHost&, const TArgs&)> Run;
};

const TCommand* FindCommand(const std::string& name);

// An error the host has shown already: the tool ends with status 1.
struct EReported {};

// Commands defined beside the library commands.
extern const TCommand kHandlersCommand;
extern const TCommand kTagsCommand;
extern const TCommand kAddCommand;
extern const TCommand kUpdateCommand;
extern const TCommand kArchiveCommand;
extern const TCommand kDuCommand;
extern const TCommand kFindCommand;
extern const TCommand kDupesCommand;
extern const TCommand kExportCommand;
extern const TCommand kImportCommand;

// The volume or folder at a library path such as "CD 1\Music\" (the last
// "\" may be left out); nullptr when there is none.
TTreeNode<TLibFolder>* FindLibraryPath(const TLibObj& lib, std::string path);
// The same, or EError naming the path, with the library's path it differs
// from only by "/" for "\" or by letter case when there is one.
TTreeNode<TLibFolder>* RequireLibraryPath(const TLibObj& lib, const std::string& path);

// Opens a library only to read it.
TLibObj& OpenForReading(TGlobalData& g, TCliHost& host, const std::string& file);
// Takes the writer's lock on the library, then opens it; with `create` a
// missing file is a new, empty library to be saved there.
TLibObj& OpenForWriting(TGlobalData& g, TCliHost& host, const std::string& file, bool create);
// Saves the library; a Ctrl+C no longer stops anything once this starts.
void SaveLibraryFile(TGlobalData& g, TCliHost& host, const std::string& file);
// Raises EError when `output` is the file `input` (links followed).
void RefuseInputAsOutput(const std::string& output, const std::string& input);

// The criteria of find's options (--selected is resolved once the library is
// open); writes --save-search.
TSearchCriteria ParseSearchCriteria(const TArgs& a, bool dupes);
void SelectSearchNodes(TSearchCriteria& c, const TLibObj& lib, const TArgs& a);
// The --sort columns in the order given, and the sorts applied to a result.
std::vector<int> SortColumns(const TArgs& a);
void SortResult(TSearch& search, TSearchResult& result, bool collections, const std::vector<int>& columns);
// The flags and options of the search criteria.
const std::set<std::string>& SearchFlags();
const std::set<std::string>& SearchOptions();
std::set<std::string> With(std::set<std::string> a, const std::set<std::string>& b);

// What export writes and import reads when no --fields and --separator are
// given: the same, so that an export imports back as it was.
inline constexpr const char* kExchangeFields = "Volume,VolumeSerialNo,Path,Name,Size,Date,Category,Comments,Location";
inline constexpr const char* kExchangeSeparator = "Tab";

// The handler table of the settings store; the defaults when it is damaged.
void LoadHandlerTable(TGlobalData& g);

}  // namespace tw::cli
