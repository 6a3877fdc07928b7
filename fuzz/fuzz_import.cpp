// Import files come from anywhere: any bytes, with any column choice, must
// end in recorded entries or logged errors, never in a crash, and every
// recorded file must sit at the path its line named.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/LibClasses.h"
#include "exchange/Import.h"
#include "fuzz/FuzzInput.h"
#include "state/Globals.h"
#include "state/Host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the columns and the separator.
  const uint8_t columns = data[0], choice = data[1];
  data += 2, size -= 2;
  const std::string path = tw::fuzz::WriteInputFile(data, size);
  if (path.empty()) return 0;

  tw::TNullHost host;
  tw::TGlobalData g(host, "/nonexistent/");
  tw::TImportOptions options;
  options.FileName = path;
  for (size_t i = 0; i < options.Fields.size(); ++i)
    if (columns & (1u << (i % 8))) options.Fields[i].Checked = true;
  if (columns & 0x80) std::swap(options.Fields[0], options.Fields[3]);
  static const char* const kSeparators[] = {"Comma", "Tab", "New Line", ";", "", "\\"};
  options.Separator = kSeparators[choice % 6];
  options.TextQualifier = (choice & 0x40) ? "'" : (choice & 0x80) ? "" : "\"";

  const tw::TImportResult result = tw::RunTextImport(g, options);
  if (result.Failed || result.Recorded + result.Errors != result.Lines) std::abort();
  tw::TLibObj& lib = *g.CurrentLibrary;
  if (lib.FileCount > result.Recorded) std::abort();
  // A parsed line's folder lies below its volume.
  tw::TTextImport importer(g, options);
  const tw::TImportObj obj = importer.ParseLine(std::string(reinterpret_cast<const char*>(data), size));
  if (obj.FullKey.compare(0, obj.FolderKey.size(), obj.FolderKey) != 0) std::abort();
  return 0;
}
