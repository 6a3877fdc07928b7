// Library file commands: new, info, ls, resave, merge.
#include <sys/stat.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/DateTime.h"
#include "base/Error.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/LibClasses.h"
#include "state/Commands.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

using nlohmann::json;

void Expect(const TArgs& a, size_t min, size_t max) {
  size_t n = a.Positional().size();
  if (n < min) throw EUsage("missing arguments");
  if (n > max) throw EUsage("too many arguments");
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A file a command would replace needs --force.
void RefuseExisting(const TArgs& a, const std::string& file) {
  if (Exists(file) && !a.Has("--force")) throw EError(file + " exists; use --force to replace it");
}

struct TVolumeTotals {
  int64_t Folders = 0, Files = 0, Size = 0;
};

TVolumeTotals CountVolume(TFolderNode* volume) {
  TVolumeTotals t;
  TFolderNode* end = volume->GetNextSkippingChildren();
  for (TFolderNode* n = volume; n != end; n = n->GetNext())
    for (const auto& item : n->Data()->Items) {
      if (item->IsFolder) {
        ++t.Folders;
      } else {
        ++t.Files;
        t.Size = AddSizes(t.Size, item->Size);
      }
    }
  return t;
}

json VolumeJson(TFolderNode* node) {
  const TLibFolder& v = *node->Data();
  TVolumeTotals t = CountVolume(node);
  return {{"name", Text(v.Name)},         {"serial", Text(v.Serial)},   {"location", Text(v.Location)},
          {"sourcePath", Text(v.SourcePath)}, {"category", Text(v.Category)}, {"comments", Text(v.Comments)},
          {"date", JsonDate(v.Date)},     {"folders", t.Folders},       {"files", t.Files},
          {"size", t.Size}};
}

void PrintVolumeLine(TFolderNode* node) {
  const TLibFolder& v = *node->Data();
  TVolumeTotals t = CountVolume(node);
  std::cout << Field(v.Name) << '\t' << Field(v.Serial) << '\t' << Field(v.Location) << '\t' << Field(v.SourcePath)
            << '\t' << Field(v.Category) << '\t' << t.Folders << " folders\t" << t.Files << " files\t" << t.Size
            << " bytes\n";
}

int CmdNew(TGlobalData& g, TCliHost& host, const TArgs& a) {
  Expect(a, 1, 1);
  const std::string& file = a.Positional()[0];
  RefuseExisting(a, file);
  g.CurrentLibrary->LockForWriting(file);
  SaveLibraryFile(g, host, file);
  return 0;
}

int CmdInfo(TGlobalData& g, TCliHost& host, const TArgs& a) {
  Expect(a, 1, 1);
  TLibObj& lib = OpenForReading(g, host, a.Positional()[0]);
  lib.RecountTotals();
  if (a.Has("--json")) {
    json vols = json::array();
    for (int i = 0; i < lib.Folders.TopCount(); ++i) vols.push_back(VolumeJson(lib.Folders.Top(i)));
    json cats = json::array();
    for (const auto& c : lib.Categories) cats.push_back(Text(c));
    PrintJson({{"file", lib.FileName},
               {"version", Text(lib.Version)},
               {"comments", Text(lib.Comments)},
               {"category", Text(lib.Category)},
               {"folderRecords", lib.Folders.Count()},
               {"collectionRecords", lib.Collections.Count()},
               {"categories", cats},
               {"modified", lib.Modified},
               {"statistics",
                {{"volumes", lib.VolumeCount},
                 {"folders", lib.FolderCount},
                 {"files", lib.FileCount},
                 {"totalSize", lib.TotalSize}}},
               {"volumes", vols}});
    return 0;
  }
  std::cout << "File:        " << lib.FileName << "\n"
            << "Version:     " << Text(lib.Version) << (lib.Modified ? " (converted on the next save)" : "") << "\n"
            << "Comments:    " << Text(JoinLines(lib.Comments, g.NewLineSeparator)) << "\n"
            << "Category:    " << Text(lib.Category) << "\n"
            << "Records:     " << lib.Folders.Count() << " folder, " << lib.Collections.Count() << " collection, "
            << lib.Categories.Count() << " categories\n"
            << "Volumes:     " << lib.VolumeCount << "\n"
            << "Folders:     " << lib.FolderCount << "\n"
            << "Files:       " << lib.FileCount << "\n"
            << "Total size:  " << lib.TotalSize << " bytes (" << FormatSize(2, double(lib.TotalSize), g.TextFormat()) << ")\n";
  for (int i = 0; i < lib.Folders.TopCount(); ++i) PrintVolumeLine(lib.Folders.Top(i));
  return 0;
}


int CmdLs(TGlobalData& g, TCliHost& host, const TArgs& a) {
  Expect(a, 1, 2);
  TLibObj& lib = OpenForReading(g, host, a.Positional()[0]);
  bool asJson = a.Has("--json");
  if (a.Positional().size() == 1) {
    json vols = json::array();
    for (int i = 0; i < lib.Folders.TopCount(); ++i) {
      if (asJson)
        vols.push_back(VolumeJson(lib.Folders.Top(i)));
      else
        PrintVolumeLine(lib.Folders.Top(i));
    }
    if (asJson) PrintJson(vols);
    return 0;
  }
  TFolderNode* node = RequireLibraryPath(lib, a.Positional()[1]);
  json items = json::array();
  for (const auto& item : node->Data()->Items) {
    if (asJson) {
      json tags = json::array();
      for (const auto& t : item->TagInfo.Tags) tags.push_back(Text(t));
      items.push_back({{"name", Text(item->Name)},
                       {"folder", item->IsFolder},
                       {"size", item->Size},
                       {"date", JsonDate(item->Date)},
                       {"category", Text(item->Category)},
                       {"comments", Text(item->Comments)},
                       {"tags", tags}});
      continue;
    }
    std::cout << (item->IsFolder ? 'D' : 'F') << '\t' << item->Size << '\t' << HumanDate(item->Date) << '\t'
              << Field(item->Name) << '\t' << Field(item->Category) << '\t' << Field(JoinLines(item->Comments, g.NewLineSeparator))
              << '\n';
    for (const auto& t : item->TagInfo.Tags) std::cout << "\t\t" << Field(t) << '\n';
  }
  if (asJson) PrintJson(items);
  return 0;
}

int CmdResave(TGlobalData& g, TCliHost& host, const TArgs& a) {
  Expect(a, 2, 2);
  const std::string& out = a.Positional()[1];
  RefuseExisting(a, out);
  g.CurrentLibrary->LockForWriting(out);
  OpenForReading(g, host, a.Positional()[0]);
  SaveLibraryFile(g, host, out);
  return 0;
}

int CmdMerge(TGlobalData& g, TCliHost& host, const TArgs& a) {
  Expect(a, 2, SIZE_MAX);
  OpenForWriting(g, host, a.Positional()[0], false);
  for (size_t i = 1; i < a.Positional().size(); ++i) {
    OpenLibraryCommand(g, a.Positional()[i], true, true);
    if (host.ErrorShown) throw EReported{};
  }
  SaveLibraryFile(g, host, a.Positional()[0]);
  return 0;
}

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"new", "usage: tarnwex-cli new LIB [--force]\n  Creates an empty library file; --force replaces an existing file.\n",
       {"--force"}, {}, CmdNew},
      {"info",
       "usage: tarnwex-cli info LIB [--json]\n  Prints the header fields, the statistics and one line per volume.\n",
       {"--json"}, {}, CmdInfo},
      {"ls",
       "usage: tarnwex-cli ls LIB [PATH] [--json]\n"
       "  Without PATH: the volumes. With a library path such as 'CD 1\\Music\\': that folder's items\n"
       "  (kind D/F, size, date, name, category, comments; tag lines indented below).\n",
       {"--json"}, {}, CmdLs},
      {"resave",
       "usage: tarnwex-cli resave LIB OUT [--force]\n  Opens LIB and saves it as OUT; --force replaces an existing OUT.\n",
       {"--force"}, {}, CmdResave},
      {"merge",
       "usage: tarnwex-cli merge LIB OTHER...\n  Imports each OTHER library into LIB, then saves LIB.\n", {}, {},
       CmdMerge},
  };
  return commands;
}

}  // namespace

TFolderNode* FindLibraryPath(const TLibObj& lib, std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  for (int i = 0; i < lib.Folders.TopCount(); ++i) {
    TFolderNode* start = lib.Folders.Top(i);
    const std::string volumePath = start->Data()->GetPath();
    if (path.compare(0, volumePath.size(), volumePath) != 0) continue;
    TFolderNode* end = start->GetNextSkippingChildren();
    for (TFolderNode* n = start; n != end; n = n->GetNext())
      if (n->Data()->GetPath() == path) return n;
  }
  return nullptr;
}

const TCommand* FindCommand(const std::string& name) {
  for (const auto& c : Commands())
    if (c.Name == name) return &c;
  for (const TCommand* c : {&kHandlersCommand, &kTagsCommand, &kAddCommand, &kUpdateCommand, &kArchiveCommand,
                            &kDuCommand, &kFindCommand, &kDupesCommand, &kExportCommand, &kImportCommand})
    if (name == c->Name) return c;
  return nullptr;
}

}  // namespace tw::cli
