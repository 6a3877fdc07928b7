#include "base/Messages.h"

#include "base/CaseFold.h"
#include "base/Error.h"

namespace tw {

const std::vector<std::string>& TMessageTable::BuiltIn() {
  static const std::vector<std::string> lines = {
    "MLStringList=translation",
    "infoRun=Application already running!",
    "infoOldDB=Previous database version detected. File will be Converted!",
    "infoDefNewMemo=Memo",
    "infoItems=Items: %s",
    "infoDefNewFile=New File",
    "infoDefNewFol=New Folder",
    "infoDefNewCol=New Collection",
    "infoCancel=Operation Canceled",
    "infoCom=Comments: %s",
    "InfoCat=Category: %s",
    "InfoLoc=Location: %s",
    "infoVol=Volumes: %s",
    "infoSize=Size: %s",
    "infoFiles=Files: %s",
    "infoFol=Folders: %s",
    "infoFindResults=Results: %s",
    "infoCol=Collections: %s",
    "infoStrKB=KB",
    "infoStrMB=MB",
    "",
    "errAssigned=\"Already assigned as \"\"%s\"\"\"",
    "errStop=Stop current process first.",
    "errFNF=File not found: %s",
    "errUnknownFile=Unknown File Version!",
    "errWrongFile=Wrong file version!",
    "errFileEmpty=File name not specified.",
    "errDamagedFile=Damaged library file %s at byte %s: %s",
    "errValueTooLong=Cannot save %s: a text of %s bytes is longer than 65535 bytes",
    "errWriteFile=Cannot write %s: %s",
    "errNoSearch=%s is no saved search: it has no [Search] section",
    "errFileLocked=%s is being changed by another program; try again when it has finished",
    "errFileChanged=%s was changed by another program after it was read; it was not replaced",
    "errReadFolder=Cannot read %s: %s",
    "errNotRead=%s folders or files could not be read: %s",
    "errUpdateSource=Cannot update %s from %s: the folder's own path below its volume must end the real source",
    "",
    "expCaptRes=Export Search Results",
    "expCaptVol=Export Volume/Folder",
    "expCaptLib=Export Library",
    "",
    "confFindReplace=Replace found items?",
    "confContinue=Continue?",
    "confSerDup=\"Found Volumes with Serial \"\"%s\"\":\"",
    "confCreateFav=Create Favorites File?",
    "confClose=Close Current Library?",
    "confLoad=\"Load Library \"\"%s\"\" ?\"",
    "confImport=\"Import Library \"\"%s\"\" ?\"",
    "confReplace=\"Replace existing \"\"%s\"\" ?\"",
    "confReload=Reload Current Library?",
    "confSave=Save changes?",
    "confExit=Exit?",
    "confAddFav=\"Add \"\"%s\"\" to favorites?\"",
    "confCreate=Create New?",
    "confDelete=Delete %s",
    "",
    "msgsMp3err=Mp3 extract error: %s : %s",
    "msgsAdded=Added %s",
    "msgsLoaded=Loaded %s",
    "msgsLoading=Loading %s",
    "msgsLoadingCat=Loading Categories.. %s",
    "msgsLoadingCol=Loading Collections.. %s",
    "msgsSaved=Saved %s",
    "msgsSavingCat=Saving Categories.. %s",
    "msgsSavingCol=Saving Collections.. %s",
    "msgsSaving=Saving %s",
    "msgsRefreshed=Refreshed %s",
    "msgsRefreshing=Refreshing.. %s",
    "msgsUpdated=Updated %s",
    "msgsDeleted=Deleted: %s files",
    "msgsDeleting=Deleting non existings.. %s",
    "msgsStopped=Stopped by user.",
    "msgsZipMsg=Zip msg: %s : %s",
    "msgsChecking=Checking.. %s",
    "msgsAnalyzed=Analyzed: %s files",
    "msgsAnalyzing=Analyzing.. %s",
    "msgsNodeDel=Node deleted: %s",
    "msgsFree=Free data.. %s",
    "msgsAdding=Adding %s",
    "msgsInfo=Volumes: %s Folders: %s Files: %s Size: %s Time: %s",
    "msgsZipErr=Zip error: %s",
    "msgsUpdating=Updating.. %s",
    "msgsFindSearching=Searching.. %s",
    "msgsExporting=Exporting.. %s",
    "msgsExported=Exported: %s",
    "msgsExportFailed=Export failed: %s",
    "msgsRarErr=RAR error: %s",
    "msgsFileErr=Unknown error: %s",
    "msgsImporting=Importing.. %s",
    "msgsImported=Imported: %s",
    "msgsImportFailed=Import failed: %s",
    "msgsImpErr=Import Error %s",
    "msgsImpColumns=Line %s has %s columns; the import reads the first %s",
    "msgsImpRejected=%s lines rejected",
    "errImpNul=%s holds a NUL byte",
    "errImpLong=%s is %s bytes long, longer than 65535 bytes",
    "errImpName=%s is no file or folder name",
    "",
    "txtRarMSG1=Error on close",
    "txtRarMSG2=No Password!",
    "txtRarMSG3=Used Pass is: ",
    "txtRarMSG4=UnRar.Dll not loaded",
    "txtRarMSG5=corrupt data",
    "txtRarMSG6=Bad Archive",
    "txtRarMSG7=unknown format",
    "txtRarMSG8=Volumn-Error",
    "txtRarMSG9=error on create file",
    "txtRarMSG10=error on closing file",
    "txtRarMSG11=read error",
    "txtRarMSG12=write error",
    "txtRarMSG14=no memory",
    "txtRarMSG16=buffer to small",
    "txtRarMSG17=File Haeder corrupt",
    "txtRarVOLDLGCAPTION=Next Archive: ...",
    "txtRarPASSDLGCAPTION=Password: ...",
    "txtRarCANCELCAPTION=Cancel",
    "txtRarOKCAPTION=Ok",
    "",
    "txtzipmsg1=No valid zip entries found",
    "txtzipmsg2=Error reading Zip File",
    "txtzipmsg3=Error 2 reading Zip file",
    "txtzipmsg4=Error 3 reading Zip file",
    "txtzipmsg5=Error 4 reading Zip file",
    "txtzipmsg6=Error 5 reading Zip file",
    "txtzipmsg7=Enter Password",
    "txtzipmsg8=Confirm Password",
    "txtzipmsg9=Error - passwords do NOT match. Password ignored",
    "txtzipmsg10=Enter Password",
    "txtzipmsg11=UNZ DLL Loaded",
    "txtzipmsg12=UnzDllExec function not found in UNZDLL.DLL",
    "txtzipmsg13=GetZipDllVersion function not found in UNZDLL.DLL",
    "txtzipmsg14=UNZDLL.DLL not found",
  };
  return lines;
}

TMessageTable::TMessageTable() : lines_(BuiltIn()) { Reindex(); }

void TMessageTable::Reindex() {
  index_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto eq = lines_[i].find('=');
    if (eq == std::string::npos) continue;
    index_.emplace(UpperAscii(lines_[i].substr(0, eq)), i);  // first line wins
  }
}

std::string TMessageTable::GetText(const std::string& key) const {
  try {
    auto it = index_.find(UpperAscii(key));
    if (it == index_.end()) return {};
    const std::string& line = lines_[it->second];
    std::string text = line.substr(line.find('=') + 1);
    if (text.find('"') == std::string::npos) return text;
    // A wrapped text: drop the outer characters, then one of each "" pair.
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      out += text[i];
      if (text[i] == '"')
        while (i + 1 < text.size() && text[i + 1] == '"') ++i;
    }
    return out;
  } catch (...) {
    return {};
  }
}

void TMessageTable::UpperCaseKeys() {
  for (auto& line : lines_) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    line = UpperAscii(line.substr(0, eq)) + line.substr(eq);
  }
  Reindex();
}

bool TMessageTable::SetText(const std::string& key, const std::string& storedText) {
  auto it = index_.find(UpperAscii(key));
  if (it == index_.end()) return false;
  std::string& line = lines_[it->second];
  line = line.substr(0, line.find('=') + 1) + storedText;
  return true;
}

std::string Format(const std::string& text, std::initializer_list<std::string> values) {
  return Format(text, std::vector<std::string>(values));
}

std::string Format(const std::string& text, const std::vector<std::string>& values) {
  std::string out;
  out.reserve(text.size() + 32);
  auto next = values.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == 's') {
        if (next != values.end()) out += *next++;
        ++i;
        continue;
      }
      if (text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace tw

namespace tw {

const TMessageTable& BuiltInTable() {
  static const TMessageTable builtIn;
  return builtIn;
}

std::string BuiltInText(const std::string& key) { return BuiltInTable().GetText(key); }

EError::EError(std::string key, std::vector<std::string> values)
    : std::runtime_error(Format(BuiltInText(key), values)), key_(std::move(key)), values_(std::move(values)) {}

std::string TextOf(const std::exception& e, const TMessageTable& texts) {
  const auto* error = dynamic_cast<const EError*>(&e);
  if (!error || error->Key().empty()) return e.what();
  return Format(texts.GetText(error->Key()), error->Values());
}

}  // namespace tw
