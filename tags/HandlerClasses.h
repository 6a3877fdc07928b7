// The handler table: named, switchable rules that give files with certain
// extensions extra treatment while a volume is scanned. Archives (RAR, ZIP)
// are expanded by the scanner itself; the audio handlers run tag readers
// through ProcessFile. The table lives in the settings store below "Ext\".
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/StringList.h"

namespace tw {

class TRegStore;
class TTagInfo;

class THandler {
 public:
  std::string Title;
  TSortedStrings Extensions{TDuplicates::Ignore};  // with the leading dot
  std::string Description;
  std::string String;
  bool Active = false;
  bool Internal = false;    // kept in the store, consulted by nothing
  std::string ExternalDLL;  // kept in the store, consulted by nothing
  std::string Help;
  bool Editable = false;    // kept in the store, the extension editor ignores it
};

// A reader fills the tag record from one file; it catches its own errors.
using TTagReader = std::function<void(const std::string& file, TTagInfo& tags)>;

struct TTagReaderEntry {
  std::string Title;  // the handler whose switch and extensions decide
  TTagReader Read;    // absent: the handler has nothing to run
};

// The handlers ProcessFile consults, in the order they run; the CD track
// reader looks for its database in the data folder given.
std::vector<TTagReaderEntry> DefaultTagReaders(const std::string& dataFolder = {});

// One row of a handler list view.
struct THandlerRow {
  std::string Caption;
  bool Checked = false;
  std::string Description;
  std::string ExtensionsText;  // the extensions joined by single spaces
  std::string String;
  std::shared_ptr<THandler> Handler;  // keeps a handler of an older table alive
};

// The extension editor: edits the list in place, true for OK.
using TExtEditor = std::function<bool(const std::string& caption, std::vector<std::string>& extensions)>;

// The extension of the last path component (after the last "/"), from its
// last "." on, in upper case; empty when there is none.
std::string HandlerExtension(std::string_view fileName);

// Sorted by title without regard to case; a duplicate title is an error.
class THandlerList {
 public:
  THandlerList();

  int Count() const { return static_cast<int>(items_.size()); }
  const std::shared_ptr<THandler>& Item(int i) const { return items_[i]; }
  // A copy whose handlers are copies too: a scan reads it while the user may
  // change the program's table.
  THandlerList Clone() const;
  // Binary search by title; -1 or null when absent.
  int IndexOf(std::string_view title) const;
  std::shared_ptr<THandler> Find(std::string_view title) const;
  void Add(std::shared_ptr<THandler> handler);
  void Clear() { items_.clear(); }

  // Wipes the stored table and installs the built-in one.
  void LoadDefaultHandlers(TRegStore& store);
  THandler& AddDefExt(const std::string& name, const std::string& description, const std::string& stringValue,
                      const std::string& help, const std::vector<std::string>& extensions, bool editable);
  // A subkey lacking a boolean value or repeating a title raises EError and
  // leaves the list as it was.
  void LoadFromRegistry(TRegStore& store);
  void SaveToRegistry(TRegStore& store) const;

  bool isFileInHander(std::string_view name, std::string_view fileName) const;
  // The same for an extension as HandlerExtension gives it.
  bool ClaimsExtension(std::string_view name, std::string_view extension) const;
  bool isExtHandlerActive(std::string_view name) const;
  bool isFileExtActive(std::string_view ext) const;
  // Runs the readers of every matching handler over a regular file into its
  // tag record; the names of the tags added go to `tagNames` when given.
  void ProcessFile(const std::string& fileName, TTagInfo& tags, TSortedStrings* tagNames) const;
  // This list's reader table, a copy of DefaultTagReaders().
  std::vector<TTagReaderEntry>& Readers() { return readers_; }
  // The user's data folder (with a trailing "/"), where the CD track reader
  // finds its database.
  void SetDataFolder(const std::string& folder);

  // --- list views ---
  void LoadView(std::vector<THandlerRow>& view) const;
  // The row's check state into its handler and the one under its caption.
  void Check(THandlerRow& row);
  std::string GetInfoTip(const THandlerRow& row, std::string current) const;
  // True when the editor answered OK and the extensions were replaced.
  bool EditExt(THandlerRow& row, const TExtEditor& editor);

 private:
  std::vector<std::shared_ptr<THandler>> items_;
  std::vector<TTagReaderEntry> readers_;
};

}  // namespace tw
