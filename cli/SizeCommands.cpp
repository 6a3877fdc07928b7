// du: the sizes the properties dialog shows, summed by the same workers.
#include <cstdint>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/Utf8.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/LibClasses.h"
#include "core/SizeThreads.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

using nlohmann::json;

const char* const kUnitNames[] = {"bytes", "kb", "mb"};

int ParseUnit(const std::string& name) {
  for (int i = 0; i < 3; ++i)
    if (name == kUnitNames[i]) return i;
  throw EUsage("unknown unit " + name + " (bytes, kb or mb)");
}

// One sum on its worker.
class TSum {
 public:
  TSum(const TTree<TLibFolder>* tree, const TFolderNode* start)
      : worker_(std::make_unique<TFolderFileSizeThread>(nullptr, tree, start)) {}

  void Wait() { worker_->WaitFor(); }
  // After Wait(): the join orders the worker's last write before this read.
  int64_t Size() const { return worker_->Total(); }

 private:
  std::unique_ptr<TFolderFileSizeThread> worker_;
};


// One printed size.
struct TRow {
  std::string Kind, Name;
  int64_t Size;
  std::string Text;
};

TRow Row(std::string kind, const std::string& name, TSum& s, int unit, const TTextFormat& format) {
  s.Wait();
  return {std::move(kind), DisplayUtf8(name), s.Size(), FormatSize(unit, static_cast<double>(s.Size()), format)};
}

void Print(const TLibObj& lib, int unit, const std::vector<TRow>& rows, bool asJson) {
  if (!asJson) {
    for (const auto& r : rows) std::cout << r.Kind << '\t' << r.Size << '\t' << r.Text << '\t' << Field(r.Name) << '\n';
    return;
  }
  json out = {{"file", lib.FileName}, {"unit", kUnitNames[unit]}, {"volumes", json::array()}};
  for (const auto& r : rows) {
    json j = {{"size", r.Size}, {"text", r.Text}};
    if (r.Kind == "volume") {
      j["name"] = r.Name;
      // Without PATH every volume is listed, with PATH only its own.
      out["volumes"].push_back(std::move(j));
    } else if (r.Kind == "folder") {
      j["path"] = r.Name;
      out["folder"] = std::move(j);
    } else {
      out["library"] = std::move(j);
    }
  }
  PrintJson(out);
}

int CmdDu(TGlobalData& g, TCliHost& host, const TArgs& a) {
  const auto& pos = a.Positional();
  if (pos.empty()) throw EUsage("missing arguments");
  if (pos.size() > 2) throw EUsage("too many arguments");
  const int unit = ParseUnit(a.Value("--unit", "bytes"));

  TLibObj& lib = OpenForReading(g, host, pos[0]);
  const TTextFormat format = g.TextFormat();
  std::vector<TRow> rows;

  if (pos.size() == 1) {
    // The library total beside one volume at a time: two threads at most.
    TSum total(&lib.Folders, nullptr);
    std::vector<TRow> volumes;
    for (int i = 0; i < lib.Folders.TopCount(); ++i) {
      TSum s(nullptr, lib.Folders.Top(i));
      volumes.push_back(Row("volume", lib.Folders.Top(i)->Data()->Name, s, unit, format));
    }
    rows.push_back(Row("library", lib.FileName, total, unit, format));
    rows.insert(rows.end(), volumes.begin(), volumes.end());
  } else {
    TFolderNode* folder = RequireLibraryPath(lib, pos[1]);
    TFolderNode* volume = TLibObj::RootOf(folder);
    // As the properties dialog: three workers at once.
    TSum total(&lib.Folders, nullptr), vol(nullptr, volume), dir(nullptr, folder);
    rows.push_back(Row("library", lib.FileName, total, unit, format));
    rows.push_back(Row("volume", volume->Data()->Name, vol, unit, format));
    rows.push_back(Row("folder", folder->Data()->GetPath(), dir, unit, format));
  }
  Print(lib, unit, rows, a.Has("--json"));
  return 0;
}

}  // namespace

const TCommand kDuCommand = {
    "du",
    "usage: tarnwex-cli du LIB [PATH] [--json] [--unit bytes|kb|mb]\n"
    "  Sums the file sizes as the properties dialog does: archive files and folder entries are\n"
    "  left out, archive members counted. Without PATH: the library total and each volume. With a\n"
    "  library path such as 'CD 1\\Music\\': the library, the volume of PATH and PATH itself.\n"
    "  One line each: KIND (library, volume, folder), size in bytes, the size as text in --unit\n"
    "  (default bytes), then the library file, volume name or library path; tab-separated.\n"
    "  --json: {file, unit, library: {size, text}, volumes: [{name, size, text}], and with PATH\n"
    "  folder: {path, size, text}}; with PATH, volumes holds only the volume of PATH.\n",
    {"--json"},
    {"--unit"},
    CmdDu};

}  // namespace tw::cli
