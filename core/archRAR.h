// Lists the members of a RAR archive for the scan. It drives our built-in
// header reader (core/RarReader) through the RAR library's open / read
// header / process / close sequence, and reports
// each member to OnFileProcessing. Only the list mode exists and nothing is
// ever prompted for: errors go to OnError as message-table keys
// ("txtRarMSG1" ...) with the library's return code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/DateTime.h"

namespace tw {

constexpr int DFRAR_EXTRACT = 0;
constexpr int DFRAR_LIST = 1;

// OnRarStatus states.
constexpr int RAR_ONOPEN = 0;
constexpr int RAR_ONBEFOREOPEN = 1;
constexpr int RAR_AFTERCLOSE = 2;
constexpr int RAR_ONPASSWORD = 3;

// One member as reported to OnFileProcessing.
struct TDFRARHeaderData {
  std::string ArchiveName;
  // "\" between directories.
  std::string FileName;
  bool ContinuedOnNext = false;
  bool ContinuedFromPrev = false;
  bool Encrypted = false;
  // The dictionary code is 7: a directory.
  bool WindowAll = false;
  uint32_t Window = 0;
  uint64_t PackedSize = 0;
  uint64_t UnpackedSize = 0;
  std::string HostOS;
  // Hexadecimal, upper case, without leading zeros.
  std::string CRC;
  TDateTime FileTime = 0;
  int VersionMajor = 0;
  int VersionMinor = 0;
  std::string Method;
  bool Archive = false;
  bool Compressed = false;
  bool Directory = false;
  bool Hidden = false;
  bool Normal = false;
  bool Offline = false;
  bool ReadOnly = false;
  bool System = false;
  bool Temporary = false;
};

namespace rar {
struct TRarHeader;
}

class TRAR {
 public:
  using TFileProcessingEvent = std::function<void(TRAR&, const TDFRARHeaderData&, int status)>;
  using TErrorEvent = std::function<void(TRAR&, const std::string& messageKey, int code)>;
  using TCommentEvent = std::function<void(TRAR&, const std::string& comment)>;
  using TPasswordEvent = std::function<void(TRAR&, std::string& password)>;
  using TVolChangeEvent = std::function<bool(TRAR&, const std::string& archiveName, int mode)>;
  using TRarStatusEvent = std::function<void(TRAR&, const std::string& message, int status)>;

  std::string FileName;
  int Mode = DFRAR_LIST;
  std::string Password;
  bool PromptForPass = false;
  bool PromptForVolumn = false;
  // Set by an event to end the run after the current call.
  bool StopProcessing = false;

  const std::string& ArchivComment() const { return archivComment_; }
  int CommentSize() const { return static_cast<int>(archivComment_.size()); }
  int DllVersion() const;

  TFileProcessingEvent OnFileProcessing;
  TErrorEvent OnError;
  TCommentEvent OnComment;
  TPasswordEvent OnPassword;
  TVolChangeEvent OnVolChange;
  TRarStatusEvent OnRarStatus;

  // Lists FileName's members (Mode must be DFRAR_LIST; extraction is refused
  // with "txtRarMSG9").
  void Run();

  // The record of one header, as OnFileProcessing gets it.
  static TDFRARHeaderData MakeRecord(const rar::TRarHeader& header);

 private:
  int Callback(int message, std::string& text, int mode);
  void Error(const std::string& key, int code);
  void Status(int status);

  std::string archivComment_;
};

}  // namespace tw
