// Cataloguing from the command line: add a volume, update one.
#include <sys/stat.h>

#include <iostream>

#include "base/Error.h"
#include "base/FileUtils.h"
#include "base/MountTable.h"
#include "base/TextUtils.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "core/VolumeScan.h"
#include "state/Commands.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An absolute folder with one trailing "/", as the walk reports paths.
std::string SourceFolder(const std::string& folder) {
  if (!IsDirectory(folder)) throw EError(folder + ": no such folder");
  char* real = ::realpath(folder.c_str(), nullptr);
  if (!real) throw EError(folder + ": no such folder");
  const std::string path = AddSlash(real);
  std::free(real);
  return path;
}

int32_t Levels(const TArgs& a) {
  const std::string text = a.Value("--levels", "0");
  try {
    size_t used = 0;
    long v = std::stol(text, &used);
    if (used == text.size() && v >= INT32_MIN && v <= INT32_MAX) return static_cast<int32_t>(v);
  } catch (const std::exception&) {
  }
  throw EUsage("--levels needs a whole number");
}

// The first few paths; a long list would hide the line's point.
std::string ShortList(const std::vector<std::string>& paths) {
  constexpr size_t kShown = 10;
  std::string list;
  for (size_t i = 0; i < paths.size() && i < kShown; ++i) list += (i == 0 ? "" : ", ") + paths[i];
  if (paths.size() > kShown) list += ", ...";
  return list;
}

// A stopped walk keeps what it recorded, as does one that could not read
// everything: the library is saved and the tool says so through its exit
// status, and by naming what it could not read last.
int Finish(TGlobalData& g, TCliHost& host, const std::string& file, const std::vector<std::string>& unreadable) {
  SaveLibraryFile(g, host, file);
  if (unreadable.empty()) return host.Interrupted ? 1 : 0;
  const std::string count = std::to_string(unreadable.size());
  host.ShowMessage(Format(g.GetText("errNotRead"), {count, ShortList(unreadable)}), TMsgKind::Warning);
  return 1;
}

// The options add and update share.
template <class TRequest>
void ReadSharedOptions(const TArgs& a, TRequest& request) {
  request.Levels = Levels(a);
  request.FoldersOnly = a.Has("--folders-only");
  request.Category = a.Value("--category");
  request.Comments = a.Value("--comments");
  request.ApplyToFolders = a.Has("--apply-folders");
  request.ApplyToFiles = a.Has("--apply-files");
}

int CmdAdd(TGlobalData& g, TCliHost& host, const TArgs& a) {
  if (a.Positional().size() < 2) throw EUsage("missing arguments");
  if (a.Positional().size() > 2) throw EUsage("too many arguments");
  const std::string& file = a.Positional()[0];
  TAddVolumeRequest request;
  request.Folder = SourceFolder(a.Positional()[1]);
  request.Title = a.Value("--title");
  request.Location = a.Value("--location");
  ReadSharedOptions(a, request);
  request.Serial = GetVolumeInfo(request.Folder, kVolumeSerial);

  OpenForWriting(g, host, file, true);
  LoadHandlerTable(g);
  host.AnswerYes = a.Has("--allow-duplicate-serial");
  TScanResult result;
  AddVolumeCommand(g, request, &result);  // a declined duplicate serial ends here, saving nothing
  host.AnswerYes = true;
  return Finish(g, host, file, result.Unreadable);
}


int CmdUpdate(TGlobalData& g, TCliHost& host, const TArgs& a) {
  if (a.Positional().size() < 2) throw EUsage("missing arguments");
  if (a.Positional().size() > 3) throw EUsage("too many arguments");
  const std::string& file = a.Positional()[0];
  TUpdateRequest request;
  if (a.Positional().size() == 3) {
    request.Folder = SourceFolder(a.Positional()[2]);
    request.Serial = GetVolumeInfo(request.Folder, kVolumeSerial);
  } else if (a.Has("--delete-missing") || a.Has("--folders-only") || !a.Value("--levels").empty()) {
    throw EUsage("--delete-missing, --levels and --folders-only need FOLDER");
  }
  request.DeleteMissing = a.Has("--delete-missing");
  ReadSharedOptions(a, request);

  TLibObj& lib = OpenForWriting(g, host, file, false);
  TFolderNode* selected = RequireLibraryPath(lib, a.Positional()[1]);
  LoadHandlerTable(g);
  TScanResult result;
  UpdateVolumeCommand(g, selected, request, &result);
  return Finish(g, host, file, result.Unreadable);
}

}  // namespace

const TCommand kAddCommand = {
    "add",
    "usage: tarnwex-cli add LIB FOLDER [--title T] [--levels N] [--category C] [--comments X] [--location L]\n"
    "                       [--apply-folders] [--apply-files] [--folders-only] [--allow-duplicate-serial]\n"
    "  Scans FOLDER into a new volume of LIB (created when missing) and saves LIB. Category and\n"
    "  comments go to the volume, and with --apply-folders / --apply-files to new folders / files.\n"
    "  --levels limits the depth (0: no limit). A volume of the same serial and folder is added\n"
    "  again only with --allow-duplicate-serial. Ctrl+C stops the scan: what was recorded is saved\n"
    "  and the exit status is 1. Folders that cannot be read are logged and skipped; LIB is saved,\n"
    "  the last line names them and the exit status is 1.\n",
    {"--apply-folders", "--apply-files", "--folders-only", "--allow-duplicate-serial"},
    {"--title", "--levels", "--category", "--comments", "--location"},
    CmdAdd};

const TCommand kUpdateCommand = {
    "update",
    "usage: tarnwex-cli update LIB PATH [FOLDER] [--delete-missing] [--levels N] [--folders-only]\n"
    "                          [--category C] [--comments X] [--apply-folders] [--apply-files]\n"
    "  Brings the volume or folder at the library path PATH (such as 'CD 1\\Music\\') up to date\n"
    "  from FOLDER on the medium, and saves LIB. --delete-missing removes entries not found again.\n"
    "  Without FOLDER, category and comments are handed down the branch only. Ctrl+C stops the\n"
    "  walk: what was recorded is saved and the exit status is 1. A folder that cannot be read keeps\n"
    "  every entry recorded below it, also with --delete-missing; LIB is saved, the last line names\n"
    "  the folders and the exit status is 1.\n",
    {"--delete-missing", "--apply-folders", "--apply-files", "--folders-only"},
    {"--levels", "--category", "--comments"},
    CmdUpdate};

}  // namespace tw::cli
