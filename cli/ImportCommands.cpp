// Importing delimited text into a library from the command line.
#include <iostream>

#include "base/Error.h"
#include "base/FileInput.h"
#include "base/TextUtils.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
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
  options.Fields = FieldList(a.Value("--fields", kExchangeFields));
  options.Separator = a.Value("--separator", kExchangeSeparator);
  options.TextQualifier = a.Value("--qualifier", "\"");

  // An input that cannot be read creates or changes no library.
  if (const TFileInput in(options.FileName); !in.Ok())
    throw EError(Format(g.GetText("errReadFolder"), {options.FileName, in.ErrorText()}));
  RefuseInputAsOutput(file, options.FileName);
  OpenForWriting(g, host, file, true);
  LoadHandlerTable(g);
  const TImportResult result = RunTextImport(g, options);
  if (result.Failed && result.Recorded == 0) return 1;
  SaveLibraryFile(g, host, file);
  if (result.Errors > 0) {
    std::cerr << Format(g.GetText("msgsImpRejected"), {std::to_string(result.Errors)}) << '\n';
    return 1;
  }
  return result.Failed ? 1 : 0;
}

}  // namespace

const TCommand kImportCommand = {
    "import",
    "usage: tarnwex-cli import LIB IN [--fields Volume,Path,Name,...] [--separator S] [--qualifier Q]\n"
    "  Records the lines of the delimited text file IN into LIB (created when missing) as volumes,\n"
    "  folders and files, and saves LIB. --fields names the columns in order, from Volume,\n"
    "  VolumeSerialNo, Path, Name, Size, Date, Category, Comments and Location (Volume, Path and\n"
    "  Name are always read; default: all nine in this order, as export writes them). --separator\n"
    "  is Tab (default, as export writes), Comma or the character to split at; --qualifier the\n"
    "  quote around fields (default \"). Lines that cannot be recorded are logged with the reason\n"
    "  and skipped; the last line then says how many. Exit status 1 when IN cannot be read (LIB\n"
    "  is then left as it was), when lines were rejected, or when Ctrl+C stops it.\n",
    {},
    {"--fields", "--separator", "--qualifier"},
    CmdImport};

}  // namespace tw::cli
