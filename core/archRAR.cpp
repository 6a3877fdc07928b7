#include "core/archRAR.h"

#include <cstdio>

#include "core/RarReader.h"

namespace tw {

namespace {

constexpr size_t kCommentBuffer = 64 * 1024;

// Unix permission bit for the owner's write access.
constexpr uint32_t kUnixOwnerWrite = 0200;

std::string HostName(uint32_t host) {
  switch (host) {
    case rar::kHostDos: return "DOS";
    case rar::kHostOs2: return "IBM OS/2";
    case rar::kHostWindows: return "Windows";
    case rar::kHostUnix: return "Unix";
    default: return {};
  }
}

std::string MethodName(uint32_t method) {
  switch (method) {
    case 0x30: return "store";
    case 0x31: return "fastest";
    case 0x32: return "fast";
    case 0x33: return "normal";
    case 0x34: return "good";
    case 0x35: return "best";
    default: return std::to_string(method);
  }
}

std::string Hex(uint32_t value) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%X", value);
  return buf;
}

// ProcessFile's codes 12 to 19 each have their message.
std::string ProcessErrorKey(int code) { return "txtRarMSG" + std::to_string(code - 7); }

// The keys for codes the open itself returns.
std::string OpenErrorKey(int code) {
  if (code == rar::ERAR_NO_MEMORY) return "txtRarMSG14";
  if (code == rar::ERAR_SMALL_BUF) return "txtRarMSG16";
  if (code >= rar::ERAR_BAD_DATA && code <= rar::ERAR_EWRITE) return ProcessErrorKey(code);
  return "txtRarMSG6";
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ApplyAttributes(const rar::TRarHeader& h, TDFRARHeaderData& d) {
  const uint32_t a = h.FileAttr;
  if (h.HostOS == rar::kHostUnix) {
    // A Unix mode has none of the DOS bits: what can be said is said.
    d.Directory = h.IsDirectory();
    d.ReadOnly = !(a & kUnixOwnerWrite);
    d.Hidden = BaseName(d.FileName).starts_with('.');
    d.Normal = !d.Directory && !d.ReadOnly && !d.Hidden;
    return;
  }
  d.ReadOnly = a & (1u << 0);
  d.Hidden = a & (1u << 1);
  d.System = a & (1u << 2);
  d.Directory = (a & (1u << 4)) || h.IsDirectory();
  d.Archive = a & (1u << 5);
  d.Normal = a & (1u << 7);
  d.Temporary = a & (1u << 8);
  d.Compressed = a & (1u << 11);
  d.Offline = a & (1u << 12);
}

}  // namespace

int TRAR::DllVersion() const { return rar::kReaderVersion; }

TDFRARHeaderData TRAR::MakeRecord(const rar::TRarHeader& h) {
  TDFRARHeaderData d;
  d.ArchiveName = h.ArcName;
  d.FileName = h.FileName;
  d.ContinuedFromPrev = h.Flags & rar::RHDF_SPLITBEFORE;
  d.ContinuedOnNext = h.Flags & rar::RHDF_SPLITAFTER;
  d.Encrypted = h.Flags & rar::RHDF_ENCRYPTED;
  d.WindowAll = (h.Flags & 0x70) == 0x70;
  d.Window = ((h.Flags >> 4) & 7) << 16;
  d.PackedSize = h.PackSize;
  d.UnpackedSize = h.UnpSize;
  d.HostOS = HostName(h.HostOS);
  d.CRC = Hex(h.FileCRC);
  d.FileTime = h.FileTime;
  d.VersionMajor = static_cast<int>(h.UnpVer / 10);
  d.VersionMinor = static_cast<int>(h.UnpVer % 10);
  d.Method = MethodName(h.Method);
  ApplyAttributes(h, d);
  return d;
}

void TRAR::Error(const std::string& key, int code) {
  if (OnError) OnError(*this, key, code);
}

void TRAR::Status(int status) {
  if (OnRarStatus) OnRarStatus(*this, FileName, status);
}

int TRAR::Callback(int message, std::string& text, int mode) {
  if (StopProcessing) return -1;
  if (message == rar::UCM_CHANGEVOLUME) {
    if (mode == rar::RAR_VOL_NOTIFY) return 1;
    // PromptForVolumn has no prompt to show here: without the event, cancel.
    const bool go = OnVolChange && OnVolChange(*this, text, mode);
    return go && !StopProcessing ? 1 : -1;
  }
  if (message == rar::UCM_NEEDPASSWORD) {
    Status(RAR_ONPASSWORD);
    std::string password = Password;
    if (OnPassword) OnPassword(*this, password);
    if (password.empty() || StopProcessing) {
      Error("txtRarMSG2", 0);
      return -1;
    }
    text = password;
    return 1;
  }
  return 1;
}

void TRAR::Run() {
  StopProcessing = false;
  archivComment_.clear();
  if (Mode != DFRAR_LIST) {
    // Nothing is ever extracted by the catalogue.
    Error("txtRarMSG9", rar::ERAR_ECREATE);
    Status(RAR_AFTERCLOSE);
    return;
  }

  rar::TRarReader reader;
  Status(RAR_ONBEFOREOPEN);
  const int opened = reader.Open(FileName, rar::RAR_OM_LIST, kCommentBuffer);
  Status(RAR_ONOPEN);
  if (opened != rar::ERAR_SUCCESS) {
    Error(OpenErrorKey(opened), opened);
    Status(RAR_AFTERCLOSE);
    return;
  }
  switch (reader.CommentState()) {
    case 0: break;
    case 1:
      archivComment_ = reader.Comment();
      if (OnComment) OnComment(*this, archivComment_);
      break;
    case rar::ERAR_NO_MEMORY: Error("txtRarMSG14", rar::ERAR_NO_MEMORY); break;
    case rar::ERAR_BAD_DATA: Error("txtRarMSG5", rar::ERAR_BAD_DATA); break;
    case rar::ERAR_UNKNOWN_FORMAT: Error("txtRarMSG7", rar::ERAR_UNKNOWN_FORMAT); break;
    case rar::ERAR_SMALL_BUF: Error("txtRarMSG16", rar::ERAR_SMALL_BUF); break;
    default: break;
  }

  reader.SetCallback([this](int message, std::string& text, int mode) { return Callback(message, text, mode); });
  if (!Password.empty()) reader.SetPassword(Password);

  while (!StopProcessing) {
    rar::TRarHeader header;
    const int read = reader.ReadHeader(header);
    if (read == rar::ERAR_END_ARCHIVE) break;
    if (read == rar::ERAR_BAD_DATA) {
      Error("txtRarMSG17", rar::ERAR_BAD_DATA);
      break;
    }
    if (read != rar::ERAR_SUCCESS) break;
    if (OnFileProcessing) OnFileProcessing(*this, MakeRecord(header), 0);
    if (StopProcessing) break;
    const int processed = reader.ProcessFile(rar::RAR_TEST);
    if (processed >= rar::ERAR_BAD_DATA && processed <= rar::ERAR_EWRITE) {
      Error(ProcessErrorKey(processed), processed);
      break;
    }
    if (processed != rar::ERAR_SUCCESS) break;
  }

  if (reader.Close() == rar::ERAR_ECLOSE) Error("txtRarMSG1", rar::ERAR_ECLOSE);
  Status(RAR_AFTERCLOSE);
}

}  // namespace tw
