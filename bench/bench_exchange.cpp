// Search, duplicates, export and import on the library of a million file
// entries, each timed beside the time of loading that library in the same run.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "base/Operation.h"
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
// The five fields of the export, read back by the import.
constexpr const char* kExchangeFields[] = {"Volume", "Path", "Name", "Size", "Date"};

const char* kUsage =
    "usage: bench_exchange [DIR]   time find, dupes, export and import on DIR/lib1m.twl\n"
    "DIR defaults to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench; the library is made when missing.\n"
    "TARNWEX_BENCH_ONLY=find|dupes|export|import times one part.\n";

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

// TARNWEX_BENCH_ONLY=find|dupes|export|import times one part (import
// includes the export it reads); for profiling.
bool Wanted(const char* part) {
  const char* only = std::getenv("TARNWEX_BENCH_ONLY");
  if (!only || !*only) return true;
  return std::string(only) == part || (std::string(only) == "import" && std::string(part) == "export");
}

void TimeFind(TGlobalData& g, TReport& report) {
  TSearchCriteria name;
  name.Name = kOnePercentName;
  TSearchFigures f = TimeSearch(g, name);
  std::printf("  (name search '%s': %zu rows)\n", kOnePercentName, f.Rows);
  report.Time("find: name matching about 1%", f.Seconds, kNameSearchLimit);

  f = TimeSearch(g, TSearchCriteria{});
  std::printf("  (all rows: %zu)\n", f.Rows);
  report.Time("find: every criterion empty", f.Seconds, kAllRowsLimit);
}

void TimeDupes(TGlobalData& g, TReport& report) {
  TSearchCriteria dupes;
  dupes.FindDuplicates = true;
  const TSearchFigures f = TimeSearch(g, dupes);
  std::printf("  (duplicates over %zu matches: %zu rows)\n", f.Rows, f.Duplicates);
  report.Time("dupes: over every entry", f.Seconds, kDuplicatesLimit);
}

// Returns the number of lines written.
int64_t TimeExport(TGlobalData& g, TReport& report, const std::string& text) {
  TExportOptions options;
  options.FileName = text;
  options.Fields.clear();
  for (const char* field : kExchangeFields) options.Fields.push_back({field, true});
  const double seconds = BestOf(3, [&] {
    TExport exporter(g, options);
    const double start = Now();
    if (!exporter.Export()) throw std::runtime_error("the export failed: " + exporter.ErrorText());
    return Now() - start;
  });
  std::ifstream in(text, std::ios::binary);
  const int64_t lines = std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
  std::printf("  (export: %lld lines, %.1f MB)\n", static_cast<long long>(lines),
              static_cast<double>(FileSize(text)) / 1e6);
  report.Time("export: whole library, five fields", seconds, kExportLimit);
  return lines;
}

void TimeImport(TGlobalData& g, TReport& report, const std::string& text, int64_t lines) {
  TImportOptions in;
  in.FileName = text;
  for (TImportField& field : in.Fields)
    field.Checked = std::find(std::begin(kExchangeFields), std::end(kExchangeFields), field.Name) !=
                    std::end(kExchangeFields);
  TImportResult imported;
  const double seconds = BestOf(2, [&] {
    g.ResetLibrary(true);
    const double start = Now();
    imported = RunTextImport(g, in);
    return Now() - start;
  });
  if (imported.Failed || imported.Errors || imported.Lines != lines)
    throw std::runtime_error("the import recorded " + std::to_string(imported.Lines) + " of " +
                             std::to_string(lines) + " lines: " + imported.Error);
  std::printf("  (import: %d lines, %d files, %d folders)\n", imported.Lines, g.CurrentLibrary->FileCount,
              g.CurrentLibrary->FolderCount);
  report.Time("import: that export into a new library", seconds, kImportLimit);
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
    TQuietOperation quiet;
    g.CurrentLibrary->LoadLibrary(file, false, quiet, g.SortVolumes);
    return Now() - start;
  });
  const TLibObj& lib = *g.CurrentLibrary;
  std::printf("exchange benchmark: %s, %d files, %d folders; best of 3 (import: of 2)\n", file.c_str(),
              lib.FileCount, lib.FolderCount);
  TReport report(load, "load");
  report.Reference("load: LoadLibrary");

  if (Wanted("find")) TimeFind(g, report);
  if (Wanted("dupes")) TimeDupes(g, report);
  if (Wanted("export")) {
    const std::string text = dir + "/export-test.txt";
    const int64_t lines = TimeExport(g, report, text);
    if (Wanted("import")) TimeImport(g, report, text, lines);
    ::unlink(text.c_str());
  }

  std::fflush(stdout);
  std::_Exit(report.Failed() ? 1 : 0);  // freeing a million entries would only cost time
}

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv, "bench_exchange", kUsage, Run); }
