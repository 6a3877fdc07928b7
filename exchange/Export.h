// The export: entries of the library written as lines of delimited text,
// from the whole library, from selected folder-tree nodes or from the
// matches of a search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/TextUtils.h"
#include "core/LibClasses.h"

namespace tw {

class TGlobalData;
class TOperation;

// One position of the field list: the field's name and whether it is written.
struct TExportField {
  std::string Name;
  bool Checked = false;
};

// The field list in its initial order, nothing checked.
std::vector<TExportField> DefaultExportFields();

// Swaps the field at `index` with its neighbour (`delta` -1 up, +1 down);
// returns the field's new index, or `index` when nothing moved (at an end,
// or no valid selection).
int MoveExportField(std::vector<TExportField>& fields, int index, int delta);

// The separator items of the dialog; any other text is used as it stands.
inline constexpr const char* kSepComma = "Comma";
inline constexpr const char* kSepTab = "Tab";
inline constexpr const char* kSepNewLine = "New Line";

// The text a separator choice stands for: "," for "Comma", a tab for "Tab",
// CR LF for "New Line", otherwise the choice itself.
std::string SeparatorText(const std::string& choice);

enum TExportSource { esLibrary = 0, esSelection = 1, esSearchResults = 2 };

// The export dialog's controls, one member each.
struct TExportOptions {
  std::string FileName;                                   // edfile
  std::vector<TExportField> Fields = DefaultExportFields();  // lbFields
  std::string Separator = kSepComma;                       // cbSep text
  std::string TextQualifier = "\"";                        // cbTxtQ text, blanks removed when used
  int SizeUnit = 0;                                        // cbK: 0 bytes, 1 KB, 2 MB
  bool UseLevels = false;                                  // cbLev
  int Levels = 1;                                          // seLev
  bool Indent = false;                                     // cbIndent
  bool Folders = false;                                    // cbFolders
  bool FolderTotals = false;                               // cbFldProp
  bool OnlyFolders = false;                                // cbOnlyFld
  bool Archives = false;                                   // cbArch
};

// What is exported: the source number and, for sources 1 and 2, the
// selected folder-tree nodes or the search window's matches in list order.
struct TExportSourceData {
  TExportSource Source = esLibrary;
  std::vector<TFolderNode*> Selection;
  std::vector<TLibFolderItem*> Results;
};

// One export. Reads the library only; runs on one thread, the operation's,
// while nobody changes the library.
class TExport {
 public:
  // The program's library, sizes in the program's texts.
  TExport(TGlobalData& g, TExportOptions options, TExportSourceData source = {});
  // Any library, with the texts sizes and lines are formatted with.
  TExport(const TLibObj& lib, const TTextFormat& format, TExportOptions options, TExportSourceData source = {});

  // Writes the file and logs "Exported: %s" or "Export failed: %s"; errors
  // never escape. The file appears only complete: a failed export leaves an
  // older file of the name untouched. A stop request cancels it. Opens a
  // progress bracket that the caller closes.
  bool Export(TOperation& op);
  // The same with the program's own progress display.
  bool Export();
  // The export command of the main window: Export, the library's totals
  // recounted and the progress closed with "Exported: " and the library's
  // file name.
  bool Run(TLibObj& lib, TOperation& op);
  // The same for the program's library, on the caller's thread; nothing
  // while another operation runs.
  bool Run();

  // The text of the error that ended the last Export; empty after success.
  const std::string& ErrorText() const { return error_; }

  // Whether the entry passes the filter of the options.
  bool Accepts(const TLibFolderItem& item) const;
  // The entry's line without its CR LF; empty when nothing is to be written.
  std::string EntryLine(const TLibFolderItem& item) const;
  // Appends the entry's line to the file being written.
  void WriteEntry(const TLibFolderItem& item);

  const TExportOptions& Options() const { return options_; }

 private:
  class TSink;

  void ExportLibrary();
  void ExportSelection();
  void ExportResults();
  void WriteNodeTree(TFolderNode* node);
  std::string FieldText(int field, const TLibFolderItem& item) const;
  const std::string& PathOf(const TLibFolder* folder) const;
  void Step(const std::string& status, int64_t position);
  void CheckStop() const;

  TGlobalData* g_ = nullptr;
  const TLibObj& lib_;
  TOperation* op_ = nullptr;
  TExportOptions options_;
  TExportSourceData source_;
  std::string separator_;
  TTextFormat format_;
  // The checked fields that are known, as indexes into the field names.
  std::vector<int> fields_;
  // The library path of the folder of the last entry: entries come folder by folder.
  mutable const TLibFolder* pathFolder_ = nullptr;
  mutable std::string path_;
  std::string error_;
  TSink* sink_ = nullptr;
};

// The level of the node of the entry's target folder: volumes are 0.
int ExportLevel(const TLibFolderItem& item);

}  // namespace tw
