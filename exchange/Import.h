// The text import: delimited lines, one per file entry, recorded into the
// open library as volumes, folders and files with the scanner's recording
// operations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"

namespace tw {

class TGlobalData;
class TLibObj;
class TOperation;
class TLibFolder;
template <typename T>
class TTreeNode;
class TStringParser;

// One field of the column list: its name and whether the file holds it.
struct TImportField {
  std::string Name;
  bool Checked = false;
};

// The import dialog's choices, in the order of its controls.
struct TImportOptions {
  // edfile
  std::string FileName;
  // lb: the k-th checked field is the k-th column. Volume, Path and Name
  // count as checked whatever the list says.
  std::vector<TImportField> Fields = DefaultImportFields();
  // cbSep: "Comma", "Tab", "New Line" or typed text.
  std::string Separator = "Comma";
  // cbTxtQ: used trimmed; empty means fields are never quoted.
  std::string TextQualifier = "\"";
  // cbK: kept for the dialog only; sizes are always bytes.
  int SizeUnit = 0;

  static std::vector<TImportField> DefaultImportFields();
};

// One parsed line.
struct TImportObj {
  std::string FolderKey;
  std::string FullKey;
  std::string Name;
  std::string Volume;
  std::string Path;
  std::string Location;
  std::string Serial;
  TDateTime Date = 0;
  int64_t Size = 0;
  std::string Category;
  std::string Comments;
};

// What a run did, for callers that report it (the command-line tool).
struct TImportResult {
  bool Failed = false;
  // The error that ended the run early.
  std::string Error;
  int Lines = 0;
  int Recorded = 0;
  int Errors = 0;
  // Categories and locations the lines brought that the library lacked.
  std::vector<std::string> NewCategories;
  std::vector<std::string> NewLocations;
};

// The separator character of a separator choice: "," for "Comma", a tab for
// "Tab", CR for "New Line" (so a line is one field), else the typed text's
// first character ('\0' when empty).
char ImportDelimiter(std::string_view separator);

// Size text as bytes, blanks ignored; 0 when it is no whole number that fits.
int64_t ParseImportSize(std::string_view text);
// Short date with or without the long time of the locale; 0 when the text
// is no such date.
TDateTime ParseImportDate(std::string_view text);

// One import run. Used on the operation's thread only; the library is
// changed by nobody else meanwhile.
class TTextImport {
 public:
  explicit TTextImport(TImportOptions options);

  // The 1-based column of a field among the checked ones; 0 when unchecked.
  int ColumnOf(std::string_view field) const;
  TImportObj ParseLine(std::string_view line) const;
  // The same with a parser kept for many lines.
  TImportObj ParseLine(TStringParser& parser, std::string_view line) const;
  // Reads the file and records its lines into `lib`. Never throws: a
  // failed or stopped run is logged and reported in the result, with the
  // lines recorded until then kept.
  TImportResult Import(TLibObj& lib, TOperation& op);

  const std::vector<std::string>& CheckedFields() const { return checked_; }

 private:
  std::vector<TImportObj> ReadObjects(const std::string& text, TOperation& op) const;
  void RecordObject(TLibObj& lib, const TImportObj& obj, TImportResult& result);
  void StartVolume(TLibObj& lib, const TImportObj& obj);
  void BuildFolderChain(TLibObj& lib, const TImportObj& obj);
  void ApplyColumns(TLibObj& lib, const TImportObj& obj, TImportResult& result);

  TImportOptions options_;
  char delimiter_;
  std::vector<std::string> checked_;
  // ColumnOf of each field, worked out once.
  struct {
    int Volume, Serial, Path, Name, Size, Date, Category, Comments, Location;
  } columns_{};
  // The run being recorded: its volume and the last folder chain built.
  TTreeNode<TLibFolder>* runVolume_ = nullptr;
  bool inRun_ = false;
  bool haveChain_ = false;
  std::string prevVolume_, prevPath_;
  std::string folderSource_;
  // The last path whose parts were found fit to be folder names.
  std::string checkedPath_;
};

// The Import text command: the import, then the totals, the volume order,
// the "Added" summary, the modified mark and the cleared adding flag; the
// new categories and locations go into the global lists as the options
// say. Returns the run's result; the caller selects the current volume.
TImportResult RunTextImport(TGlobalData& globals, const TImportOptions& options, TOperation& op);
// The same on the caller's thread with the program's own progress display.
TImportResult RunTextImport(TGlobalData& globals, const TImportOptions& options);

}  // namespace tw
