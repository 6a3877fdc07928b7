// Importing delimited text into a library from the command line.
#include <sys/stat.h>

#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "core/TextUtils.h"
#include "exchange/Import.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

// The dialog's list with the named fields checked in the given order, the
// others after them unchecked.
std::vector<TImportField> FieldList(const std::string& names) {
  std::vector<TImportField> fields;
  TStringParser parser(',', "");
  parser.Parse(names);
  const std::vector<TImportField> known = TImportOptions::DefaultImportFields();
  for (const std::string& name : parser.Tokens()) {
    std::string field = Trim(name);
    auto same = [&](const TImportField& f) { return f.Name == field; };
    if (std::none_of(known.begin(), known.end(), same)) throw EUsage("unknown field " + field);
    if (std::any_of(fields.begin(), fields.end(), same)) throw EUsage("field " + field + " given twice");
    fields.push_back({field, true});
  }
  for (const TImportField& f : known)
    if (std::none_of(fields.begin(), fields.end(), [&](const TImportField& c) { return c.Name == f.Name; }))
      fields.push_back({f.Name, false});
  return fields;
}

int CmdImport(TGlobalData& g, TCliHost& host, const TArgs& a) {
  if (a.Positional().size() < 2) throw EUsage("missing arguments");
  if (a.Positional().size() > 2) throw EUsage("too many arguments");
  const std::string& file = a.Positional()[0];
  TImportOptions options;
  options.FileName = a.Positional()[1];
  options.Fields = FieldList(a.Value("--fields", "Volume,Path,Name"));
  options.Separator = a.Value("--separator", "Comma");
  options.TextQualifier = a.Value("--qualifier", "\"");

  struct stat st {};
  if (::stat(file.c_str(), &st) == 0) {
    g.CurrentLibrary->OpenLibrary(file, false, false);
    if (host.ErrorShown) throw EReported{};
  } else {
    g.CurrentLibrary->FileName = file;
  }
  LoadHandlerTable(g);
  const TImportResult result = RunTextImport(g, options);
  TLibObj& lib = *g.CurrentLibrary;
  lib.SaveLibrary(file);
  if (host.ErrorShown) throw EReported{};
  return result.Failed ? 1 : 0;
}

}  // namespace

const TCommand kImportCommand = {
    "import",
    "usage: tarnwex-cli import LIB IN [--fields Volume,Path,Name,...] [--separator S] [--qualifier Q]\n"
    "  Records the lines of the delimited text file IN into LIB (created when missing) as volumes,\n"
    "  folders and files, and saves LIB. --fields names the columns in order, from Volume,\n"
    "  VolumeSerialNo, Path, Name, Size, Date, Category, Comments and Location (Volume, Path and\n"
    "  Name are always read; default Volume,Path,Name). --separator is Comma (default), Tab or the\n"
    "  character to split at; --qualifier the quote around fields (default \"). Lines that cannot be\n"
    "  recorded are logged and skipped. Exit status 1 when the file cannot be read or Ctrl+C stops it.\n",
    {},
    {"--fields", "--separator", "--qualifier"},
    CmdImport};

}  // namespace tw::cli
