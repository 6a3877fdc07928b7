// Search, duplicates, export and import on the library of a million file
// entries, each timed beside the time of loading that library in the same run.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/LibraryGenerator.h"
#include "core/LibClasses.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "exchange/Search.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace {

using namespace tw;
using namespace tw::bench;

constexpr double kNameSearchLimit = 0.3;  // seconds
constexpr double kAllRowsLimit = 1.5;
constexpr double kDuplicatesLimit = 2.0;
constexpr double kExportLimit = 1.5;
constexpr double kImportLimit = 5.0;

// A name text that about 1% of the generated entries contain.
constexpr const char* kOnePercentName = "2011";

const char* kUsage =
    "usage: bench_exchange [DIR]   time find, dupes, export and import on DIR/lib1m.twl\n"
    "DIR defaults to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench; the library is made when missing.\n";

struct TSearchFigures {
  double Seconds = 0;
  size_t Rows = 0;
  size_t Duplicates = 0;
};

TSearchFigures TimeSearch(TGlobalData& g, const TSearchCriteria& c) {
  TSearchFigures f;
  f.Seconds = BestOf(3, [&] {
    TSearch search(g, *g.CurrentLibrary);
    const double start = Now();
    TSearchResult r = search.Run(c);
    const double seconds = Now() - start;
    if (r.Error) throw std::runtime_error("the search failed: " + *r.Error);
    f.Rows = r.Rows.size();
    f.Duplicates = r.Duplicates.size();
    return seconds;
  });
  return f;
}

bool Wanted(const char* phase) {
  const char* only = std::getenv("PROFILE_ONLY");
  return !only || std::string(only) == phase;
}

int Run(const std::string& dir) {
  MakeDirs(dir);
  TNullHost host;
  TGlobalData g(host, dir + "/");
  const TLibraryShape shape;
  const std::string file = dir + "/" + LibraryFileName(shape);
  EnsureLibrary(g, file, shape);

  // The reference: loading the library, best of 3 (the last load stays).
  const double load = BestOf(3, [&] {
    g.ResetLibrary(true);
    const double start = Now();
    g.CurrentLibrary->LoadLibrary(file, false);
    return Now() - start;
  });
  TLibObj& lib = *g.CurrentLibrary;
  std::printf("exchange benchmark: %s, %d files, %d folders; best of 3\n", file.c_str(), lib.FileCount,
              lib.FolderCount);
  TReport report(load, "load");
  report.Reference("load: LoadLibrary");

  if (Wanted("find")) {
  TSearchCriteria name;
  name.Name = kOnePercentName;
  TSearchFigures f = TimeSearch(g, name);
  std::printf("  (name search '%s': %zu rows)\n", kOnePercentName, f.Rows);
  report.Time("find: name matching about 1%", f.Seconds, kNameSearchLimit);

  f = TimeSearch(g, TSearchCriteria{});
  std::printf("  (all rows: %zu)\n", f.Rows);
  report.Time("find: every criterion empty", f.Seconds, kAllRowsLimit);
  }
  if (Wanted("dupes")) {

  TSearchCriteria dupes;
  dupes.FindDuplicates = true;
  TSearchFigures f = TimeSearch(g, dupes);
  std::printf("  (duplicates over %zu matches: %zu rows)\n", f.Rows, f.Duplicates);
  report.Time("dupes: over every entry", f.Seconds, kDuplicatesLimit);
  }

  if (!Wanted("export") && !Wanted("import")) std::_Exit(0);
  const std::string text = dir + "/export-test.txt";
  TExportOptions options;
  options.FileName = text;
  options.Fields.clear();
  for (const char* field : {"Volume", "Path", "Name", "Size", "Date"}) options.Fields.push_back({field, true});
  const double exported = BestOf(3, [&] {
    TExport exporter(g, options);
    const double start = Now();
    if (!exporter.Export()) throw std::runtime_error("the export failed: " + exporter.ErrorText());
    return Now() - start;
  });
  std::printf("  (export: %.1f MB)\n", static_cast<double>(FileSize(text)) / 1e6);
  report.Time("export: whole library, five fields", exported, kExportLimit);

  if (!Wanted("import")) std::_Exit(0);
  TImportOptions in;
  in.FileName = text;
  for (TImportField& field : in.Fields)
    field.Checked = field.Name == "Volume" || field.Name == "Path" || field.Name == "Name" || field.Name == "Size" ||
                    field.Name == "Date";
  TImportResult imported;
  const double import = BestOf(1, [&] {
    g.ResetLibrary(true);
    const double start = Now();
    imported = RunTextImport(g, in);
    return Now() - start;
  });
  ::unlink(text.c_str());
  if (imported.Failed || imported.Errors) throw std::runtime_error("the import failed: " + imported.Error);
  std::printf("  (import: %d lines, %d files)\n", imported.Lines, g.CurrentLibrary->FileCount);
  report.Time("import: that export into a new library", import, kImportLimit);

  std::fflush(stdout);
  std::_Exit(report.Failed() ? 1 : 0);  // freeing a million entries would only cost time
}

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv, "bench_exchange", kUsage, Run); }
