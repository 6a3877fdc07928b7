#include "tags/HandlerClasses.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/FileUtils.h"
#include "base/RegUtils.h"
#include "base/TextUtils.h"
#include "tags/AACfile.h"
#include "tags/APEtag.h"
#include "tags/CDAtrack.h"
#include "tags/FLAC.h"
#include "tags/MPEGaudio.h"
#include "tags/OggVorbis.h"
#include "tags/OptimFROG.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"
#include "tags/TwinVQ.h"
#include "tags/WAV.h"
#include "tags/WAVPack.h"
#include "tags/WMA.h"

namespace tw {

namespace {

std::string ExtKey() { return std::string(kRegRoot) + "Ext\\"; }
std::string HandlerKey(int i) { return ExtKey() + std::to_string(i); }

bool ReadRequiredBool(TRegStore& store, const std::string& key, const char* name) {
  std::optional<bool> value = store.TryReadBool(key, name);
  if (!value) throw EError(Format("Handler key %s has no boolean value \"%s\"", {key, name}));
  return *value;
}

std::shared_ptr<THandler> ReadHandler(TRegStore& store, const std::string& key) {
  auto h = std::make_shared<THandler>();
  h->Title = store.ReadRegValue(key, "Title", "");
  h->Description = store.ReadRegValue(key, "Description", "");
  h->String = store.ReadRegValue(key, "String", "");
  h->Active = ReadRequiredBool(store, key, "Active");
  h->Internal = ReadRequiredBool(store, key, "Internal");
  h->ExternalDLL = store.ReadRegValue(key, "ExternalDLL", "");
  h->Help = store.ReadRegValue(key, "Help", "");
  h->Editable = ReadRequiredBool(store, key, "Editable");
  for (const auto& ext : SplitLines(store.ReadRegValue(key, "Extensions", "")))
    if (!ext.empty()) h->Extensions.Add(ext);  // a blank line is no extension
  return h;
}

void WriteHandler(TRegStore& store, const std::string& key, const THandler& h) {
  std::string extensions;
  for (const auto& ext : h.Extensions) extensions += ext + "\r\n";
  store.WriteRegValue(key, "Title", h.Title);
  store.WriteRegValue(key, "Description", h.Description);
  store.WriteRegValue(key, "String", h.String);
  store.WriteRegValue(key, "Active", h.Active);
  store.WriteRegValue(key, "Internal", h.Internal);
  store.WriteRegValue(key, "ExternalDLL", h.ExternalDLL);
  store.WriteRegValue(key, "Help", h.Help);
  store.WriteRegValue(key, "Editable", h.Editable);
  store.WriteRegValue(key, "Extensions", extensions);
}

TSortedStrings SortedExtensions(const std::vector<std::string>& extensions) {
  TSortedStrings list(TDuplicates::Ignore);
  for (const auto& ext : extensions) list.Add(ext);
  return list;
}

bool IsRegularFile(const std::string& fileName) {
  // Never opens the file, so a FIFO cannot block us; a symbolic link is
  // catalogued as itself and never followed to what it points at.
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::symlink_status(fileName, ec));
}

}  // namespace

std::vector<TTagReaderEntry> DefaultTagReaders(const std::string& dataFolder) {
  // Later handlers overwrite the tags of earlier ones, so the order matters.
  const std::string database = dataFolder.empty() ? std::string() : dataFolder + "cdplayer.ini";
  auto cda = [database](const std::string& file, TTagInfo& tags) { RunCDAHandler(file, tags, database); };
  return {
      {"MP3", RunMP3Handler}, {"MPG", RunMPGHandler},   {"WMA", RunWMAHandler}, {"WPA", RunWPAHandler},
      {"WAV", RunWAVHandler}, {"OGG", RunOGGHandler},   {"APE", RunAPEHandler}, {"VQF", RunVQFHandler},
      {"AAC", RunAACHandler}, {"FLAC", RunFLACHandler}, {"OFR", RunOFRHandler}, {"CDA", cda},
  };
}

std::string HandlerExtension(std::string_view fileName) {
  std::string name = StripToLastSlash(fileName);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : UpperAscii(std::string_view(name).substr(dot));
}

THandlerList::THandlerList() : readers_(DefaultTagReaders()) {}

int THandlerList::IndexOf(std::string_view title) const {
  // Titles equal without regard to case are refused, so the first folded
  // match is the only one.
  auto pos = std::lower_bound(items_.begin(), items_.end(), title, [](const auto& h, std::string_view t) {
    return CompareText(h->Title, t) < 0;
  });
  if (pos != items_.end() && CompareText((*pos)->Title, title) == 0) return static_cast<int>(pos - items_.begin());
  return -1;
}

std::shared_ptr<THandler> THandlerList::Find(std::string_view title) const {
  int i = IndexOf(title);
  return i < 0 ? nullptr : items_[i];
}

void THandlerList::Add(std::shared_ptr<THandler> handler) {
  if (IndexOf(handler->Title) >= 0) throw EError(Format("Duplicate handler \"%s\"", {handler->Title}));
  auto pos = std::lower_bound(items_.begin(), items_.end(), handler->Title, [](const auto& h, const std::string& t) {
    return CompareNames(h->Title, t) < 0;
  });
  items_.insert(pos, std::move(handler));
}

THandler& THandlerList::AddDefExt(const std::string& name, const std::string& description,
                                  const std::string& stringValue, const std::string& help,
                                  const std::vector<std::string>& extensions, bool editable) {
  auto h = std::make_shared<THandler>();
  h->Title = name;
  h->Description = description;
  h->String = stringValue;
  h->Help = help;
  h->Extensions = SortedExtensions(extensions);
  h->Active = true;
  h->Internal = true;
  h->Editable = editable;
  THandler& added = *h;
  Add(std::move(h));
  return added;
}

void THandlerList::LoadDefaultHandlers(TRegStore& store) {
  if (store.RegKeyExists(ExtKey())) store.DeleteRegKey(ExtKey());
  Clear();
  AddDefExt("RAR", "RAR Archive", "", "", {".RAR"}, false);
  AddDefExt("ZIP", "ZIP Archive", "", "", {".ZIP"}, false);
  AddDefExt("MP3", "MP3 File", "", "", {".MP3"}, true);
  AddDefExt("WAV", "WAV File", "", "", {".WAV"}, true);
  AddDefExt("WPA", "WAV Pack File", "", "", {".WV"}, true);
  AddDefExt("WMA", "WMA File", "", "", {".WMA"}, true);
  AddDefExt("MPG", "MPG File", "", "", {".MPG", ".MPEG", ".MPA", ".MP1", ".MP2"}, true);
  AddDefExt("OGG", "OGG File", "", "", {".OGG"}, true);
  AddDefExt("CDA", "CD Audio Track", "", "", {".CDA"}, true);
  AddDefExt("MPP", "MPG Plus File", "", "", {".MP+", ".MPC"}, true);
  AddDefExt("APE", "APE File", "", "", {".APE", ".MAC"}, true);
  AddDefExt("VQF", "TwinVQ File", "", "", {".VQF"}, true);
  AddDefExt("AAC", "AAC File", "", "", {".AAC"}, true);
  AddDefExt("FLAC", "FLAC File", "", "", {".FLAC"}, true);
  AddDefExt("OFR", "OptimFROG File", "", "", {".OFS", ".OFR"}, true);
}

void THandlerList::LoadFromRegistry(TRegStore& store) {
  if (!store.RegKeyExists(ExtKey())) {
    LoadDefaultHandlers(store);
    return;
  }
  // Built aside so that a damaged table leaves the current one in place.
  THandlerList loaded;
  for (int i = 0; store.RegKeyExists(HandlerKey(i)); ++i) loaded.Add(ReadHandler(store, HandlerKey(i)));
  items_ = std::move(loaded.items_);
}

void THandlerList::SaveToRegistry(TRegStore& store) const {
  TRegStore::TBatch batch(store);
  for (int i = 0; i < Count(); ++i) WriteHandler(store, HandlerKey(i), *items_[i]);
}

bool THandlerList::isFileInHander(std::string_view name, std::string_view fileName) const {
  auto h = Find(name);
  return h && h->Active && h->Extensions.Contains(HandlerExtension(fileName));
}

bool THandlerList::ClaimsExtension(std::string_view name, std::string_view extension) const {
  auto h = Find(name);
  return h && h->Active && h->Extensions.Contains(extension);
}

bool THandlerList::isExtHandlerActive(std::string_view name) const {
  auto h = Find(name);
  return h && h->Active;
}

bool THandlerList::isFileExtActive(std::string_view ext) const {
  for (const auto& h : items_)
    if (h->Extensions.Contains(ext)) return h->Active;
  return false;
}

THandlerList THandlerList::Clone() const {
  THandlerList copy;
  copy.readers_ = readers_;
  for (const auto& h : items_) copy.items_.push_back(std::make_shared<THandler>(*h));
  return copy;
}

void THandlerList::SetDataFolder(const std::string& folder) {
  for (auto& reader : readers_)
    if (reader.Title == "CDA") reader = DefaultTagReaders(folder).back();
}

void THandlerList::ProcessFile(const std::string& fileName, TTagInfo& tags, TSortedStrings* tagNames) const {
  // The file is looked at only when a handler claims it: most files of a
  // medium have no reader, and a scan calls this for every one.
  std::optional<bool> regular;
  const std::string extension = HandlerExtension(fileName);
  for (const auto& reader : readers_) {
    if (!reader.Read || !ClaimsExtension(reader.Title, extension)) continue;
    if (!regular) regular = IsRegularFile(fileName);
    if (!*regular) return;
    // The names go where the caller collects them for this run only.
    struct TNames {
      TTagInfo& Tags;
      TSortedStrings* Kept;
      ~TNames() { Tags.GlobalTags = Kept; }
    } names{tags, std::exchange(tags.GlobalTags, tagNames)};
    reader.Read(fileName, tags);
  }
}

void THandlerList::LoadView(std::vector<THandlerRow>& view) const {
  view.clear();
  for (const auto& h : items_)
    view.push_back({h->Title, h->Active, h->Description, JoinList(h->Extensions.Items(), " "), h->String, h});
}

void THandlerList::Check(THandlerRow& row) {
  if (!row.Handler) return;
  row.Handler->Active = row.Checked;
  // The row may come from a table that has since been replaced.
  if (auto current = Find(row.Caption)) current->Active = row.Checked;
}

std::string THandlerList::GetInfoTip(const THandlerRow& row, std::string current) const {
  return row.Handler ? row.Handler->Help : current;
}

bool THandlerList::EditExt(THandlerRow& row, const TExtEditor& editor) {
  if (!row.Handler) return false;
  std::vector<std::string> edited = row.Handler->Extensions.Items();
  if (!editor(row.Handler->Description, edited)) return false;
  TSortedStrings extensions = SortedExtensions(edited);
  row.Handler->Extensions = extensions;
  row.ExtensionsText = JoinList(extensions.Items(), " ");
  if (auto current = Find(row.Caption)) current->Extensions = extensions;
  return true;
}

}  // namespace tw
