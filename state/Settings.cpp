// Options, word lists and the main window's layout between runs.
#include "state/Settings.h"

#include <variant>

#include "base/Error.h"
#include "core/LibClasses.h"
#include "state/Globals.h"

namespace tw {

std::string RegKey(const std::string& sub) { return std::string(kRegRoot) + sub; }
std::string MainPlacementKey() { return RegKey("Pos\\frmMain"); }

namespace {

using TField = std::variant<bool*, int32_t*, uint8_t*, std::string*>;

struct TSetting {
  const char* Key;  // below the root
  std::string Name;
  TField Field;
};

// Every option value, in the order SaveSettings writes them. The stamp and
// the last library are handled apart.
std::vector<TSetting> OptionTable(TGlobalData& g) {
  TViewMarks& v = g.Layout.View;
  std::vector<TSetting> t = {
      {"Defaults", "Sort", &g.SortVolumes},
      {"Defaults", "Show Icons", &g.ShowIcons},
      {"Defaults", "Multi Apps", &g.MultiApps},
      {"Defaults", "Load Last", &g.LoadLast},
      {"Defaults", "Save settings", &g.SaveSettingsOnExit},
      {"Defaults", "Sizes", &g.SizeUnit},
      {"Defaults", "Last Library", &g.CurrentLibrary->FileName},
      {"Defaults", "Disable Controls", &g.DisableControls},
      {"Defaults", "Action End Beep", &g.ActionEndBeep},
      {"Defaults", "Favorites File", &g.FavoritesFile},
      {"Defaults", "Tags File", &g.TagsFile},
      {"Defaults", "Images File", &g.ImagesFile},
      {"Defaults", "Location File", &g.LocationsFile},
      {"Defaults", "Categories File", &g.CategoriesFile},
      {"Defaults", "New Line", &g.NewLineSeparator},
      {"Defaults", "Check Serial", &g.CheckSerial},
      {"Defaults", "Add2Globals Tags", &g.AddTagsToGlobals},
      {"Defaults", "Add2Globals Locs", &g.AddLocationsToGlobals},
      {"Defaults", "Add2Globals Cats", &g.AddCategoriesToGlobals},
      {"Confirm", "Confirm Delete file", &g.ConfirmDeleteFile},
      {"Confirm", "Confirm Delete folder", &g.ConfirmDeleteFolder},
      {"Confirm", "Confirm Delete volume", &g.ConfirmDeleteVolume},
      {"Confirm", "Confirm Delete collection", &g.ConfirmDeleteCollection},
      {"Confirm", "Confirm Replace", &g.ConfirmReplace},
      {"Confirm", "Confirm New", &g.ConfirmNew},
      {"Confirm", "Confirm Save changes", &g.ConfirmSaveChanges},
      {"Confirm", "Confirm Exit", &g.ConfirmExit},
      {"Confirm", "Confirm Reload", &g.ConfirmReload},
      {"Confirm", "Confirm Close", &g.ConfirmClose},
      {"Find", "Locate Main", &g.LocateMain},
      {"View", "Toolbar", &v.Toolbar},
      {"View", "StatusBar", &v.StatusBar},
      {"View", "Messages", &v.Messages},
      {"View", "InfoBar", &v.InfoBar},
      {"View", "View", &v.Tab},
      {"View", "Language", &g.LanguageName},
      {"View", "Auto Resize Columns", &v.AutoResizeColumns},
      {"Print", "Zoom", &g.PrintZoom},
      {"Print", "Font", &g.PrintFontName},
      {"Print", "FontSize", &g.PrintFontSize},
      {"Print", "FontColor", &g.PrintFontColor},
      {"Print", "FontCharSet", &g.PrintFontCharSet},
  };
  for (int n = 0; n < 4; ++n) t.push_back({"Print", "FontStyle" + std::to_string(n + 1), &g.PrintFontStyle[n]});
  return t;
}

// Reads a value into its field, the field's current value as the default.
void Read(TRegStore& r, const TSetting& s) {
  std::string key = RegKey(s.Key);
  std::visit(
      [&](auto* field) {
        using T = std::remove_pointer_t<decltype(field)>;
        if constexpr (std::is_same_v<T, uint8_t>)
          *field = static_cast<uint8_t>(r.ReadRegValue(key, s.Name, static_cast<int32_t>(*field)));
        else
          *field = r.ReadRegValue(key, s.Name, *field);
      },
      s.Field);
}

void Write(TRegStore& r, const TSetting& s) {
  std::string key = RegKey(s.Key);
  std::visit(
      [&](auto* field) {
        using T = std::remove_pointer_t<decltype(field)>;
        if constexpr (std::is_same_v<T, uint8_t>)
          r.WriteRegValue(key, s.Name, static_cast<int32_t>(*field));
        else
          r.WriteRegValue(key, s.Name, *field);
      },
      s.Field);
}

struct TListFile {
  TSortedStrings* List;
  std::string* File;
};

std::vector<TListFile> ListFiles(TGlobalData& g) {
  return {{&g.FavoritesList, &g.FavoritesFile},
          {&g.TagsList, &g.TagsFile},
          {&g.LocationsList, &g.LocationsFile},
          {&g.CategoriesList, &g.CategoriesFile}};
}

std::string PanelKey(const char* panel) { return MainPlacementKey() + "\\" + panel; }

std::vector<std::pair<const char*, std::optional<TPlacement>*>> Panels(TMainLayout& l) {
  return {{"TAB", &l.TabPanel}, {"LV", &l.ListPanel}, {"Msg", &l.MessagesPanel}, {"Info", &l.InfoPanel}};
}

}  // namespace

void TGlobalData::LoadSettings() {
  TRegStore& r = Registry();
  SetDefaults();
  FillDefaultListFiles();
  bool handlersRead = true;
  try {
    Handlers.LoadFromRegistry(r);
  } catch (...) {
    handlersRead = false;
  }
  if (!handlersRead) {
    // A damaged handler table: the defaults replace it and the stored
    // options are not read.
    Handlers.LoadDefaultHandlers(r);
  } else {
    std::string stamp = r.ReadRegValue(kRegRoot, "Version", std::string());
    FirstRun = stamp.empty();
    if (stamp != kSettingsStamp) {
      r.DeleteRegKey(kRegRoot);
    } else {
      TPlacement main;
      if (r.ReadPlacement(MainPlacementKey(), main)) Layout.Main = main;
      for (const auto& s : OptionTable(*this)) Read(r, s);
    }
  }
  LoadWordLists();
}

void TGlobalData::SaveSettings() {
  TRegStore& r = Registry();
  TRegStore::TBatch batch(r);
  r.WriteRegValue(kRegRoot, "Version", std::string(kSettingsStamp));
  for (const auto& s : OptionTable(*this)) Write(r, s);
  SaveWordLists();
  if (Layout.Main) r.WritePlacement(MainPlacementKey(), *Layout.Main);
  Handlers.SaveToRegistry(r);
}

void TGlobalData::LoadLayout() {
  try {
    TRegStore& r = Registry();
    Layout.Centered = FirstRun;
    TreeWidth = r.ReadRegValue(MainPlacementKey(), "TV", TreeWidth);
    CollectionWidth = r.ReadRegValue(MainPlacementKey(), "Collection", CollectionWidth);
    LastTab = -1;
    for (auto& [name, panel] : Panels(Layout)) {
      TPlacement p;
      if (r.ReadPlacement(PanelKey(name), p)) *panel = p;
    }
    for (size_t i = 0; i < Layout.ColumnWidths.size(); ++i)
      Layout.ColumnWidths[i] = r.ReadRegValue(PanelKey("LV") + "\\" + std::to_string(i), "Width", Layout.ColumnWidths[i]);
    Layout.Recent.clear();
    for (int i = 0; i < RecentLimit; ++i) {
      std::string file = r.ReadRegValue(RegKey("Recent\\" + std::to_string(i)), "Filename", std::string());
      if (!file.empty()) Layout.Recent.push_back(file);
    }
    SortColumn = static_cast<uint8_t>(r.ReadRegValue(RegKey("frmMain"), "LVSortIndex", static_cast<int32_t>(SortColumn)));
    SortDirections[0] = 2;
  } catch (...) {
  }
}

void TGlobalData::SaveLayout() {
  try {
    TRegStore& r = Registry();
    TRegStore::TBatch batch(r);
    r.WriteRegValue(MainPlacementKey(), "TV", TreeWidth);
    r.WriteRegValue(MainPlacementKey(), "Collection", CollectionWidth);
    for (auto& [name, panel] : Panels(Layout))
      if (*panel) r.WritePlacement(PanelKey(name), **panel);
    if (!Layout.View.AutoResizeColumns)
      for (size_t i = 0; i < Layout.ColumnWidths.size(); ++i)
        if (Layout.ColumnWidths[i] > 0)
          r.WriteRegValue(PanelKey("LV") + "\\" + std::to_string(i), "Width", Layout.ColumnWidths[i]);
    for (size_t i = 0; i < Layout.Recent.size(); ++i)
      r.WriteRegValue(RegKey("Recent\\" + std::to_string(i)), "Filename", Layout.Recent[i]);
    r.WriteRegValue(RegKey("frmMain"), "LVSortIndex", static_cast<int32_t>(SortColumn));
  } catch (...) {
  }
}

void TGlobalData::SaveOnExit() {
  if (SaveSettingsOnExit) SaveSettings();
  SaveLayout();
}

void TGlobalData::LoadWordLists() {
  for (auto& [list, file] : ListFiles(*this)) {
    if (file->empty()) continue;
    list->Clear();
    // A missing or unreadable list file leaves its list empty.
    try {
      ReplaceList(*list, ReadListFile(*file));
    } catch (const std::exception&) {
    }
  }
}

void TGlobalData::SaveWordLists() {
  for (auto& [list, file] : ListFiles(*this))
    if (!file->empty()) WriteListFile(*file, list->Items());
}

void TGlobalData::AddFavorite() {
  const std::string& file = CurrentLibrary->FileName;
  if (file.empty()) return;
  for (const auto& entry : BuildFavoritesMenu())
    if (entry.Hint == file) throw EError(Format(GetText("errAssigned"), {entry.Caption}));
  if (host_.Ask(Format(GetText("confAddFav"), {file}), TMsgButtons::OKCancel, TMsgKind::Confirmation) !=
      TMsgAnswer::OK)
    return;
  FavoritesList.Add(file + "=" + file);
  WriteListFile(FavoritesFile, FavoritesList.Items());
}

}  // namespace tw
