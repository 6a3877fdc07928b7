#include "base/RegUtils.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <thread>
#include <utility>

#include "base/AtomicFile.h"
#include "base/CaseFold.h"

namespace tw {

struct TRegStore::TValue {
  std::string name;
  bool isText = false;
  uint32_t number = 0;
  std::string text;

  bool SameContent(const TValue& o) const {
    return isText == o.isText && (isText ? text == o.text : number == o.number);
  }
};

struct TRegStore::TKey {
  std::string name;
  std::vector<TValue> values;
  std::vector<std::unique_ptr<TKey>> keys;  // in the order they were created

  TKey* Child(std::string_view n) const {
    for (const auto& k : keys)
      if (SameTextAscii(k->name, n)) return k.get();
    return nullptr;
  }
  const TValue* Value(std::string_view n) const {
    for (const auto& v : values)
      if (SameTextAscii(v.name, n)) return &v;
    return nullptr;
  }
  TValue* Value(std::string_view n) { return const_cast<TValue*>(std::as_const(*this).Value(n)); }
  // The key below this one, made with its missing parents.
  TKey* Make(const std::vector<std::string>& path, bool* created = nullptr) {
    TKey* key = this;
    for (const auto& part : path) {
      TKey* child = key->Child(part);
      if (!child) {
        key->keys.push_back(std::make_unique<TKey>());
        child = key->keys.back().get();
        child->name = part;
        if (created) *created = true;
      }
      key = child;
    }
    return key;
  }
  // Sets a value, keeping the spelling of a name already there; false when
  // the value was already so.
  bool Set(const TValue& v) {
    TValue* old = Value(v.name);
    if (!old) {
      values.push_back(v);
      return true;
    }
    if (old->SameContent(v)) return false;
    std::string name = std::move(old->name);
    *old = v;
    old->name = std::move(name);
    return true;
  }
};

struct TRegStore::TOp {
  std::vector<std::string> path;
  bool deleteKey = false;
  TValue value;  // what a write sets
};

namespace {

constexpr std::string_view kHeader = "Tarnwex settings 1";
constexpr const char* kTempSuffix = ".tmp";
// As deep as the registry allows; also keeps the tree's recursion shallow.
constexpr size_t kMaxDepth = 512;
// A settings file is a few kilobytes; beyond this it is read as cut short.
constexpr size_t kMaxFileBytes = size_t{64} << 20;
// File times are taken from a coarse clock, and an inode freed by one
// rename can come back with the next: a file changed within this many
// seconds of being read is compared by content as well.
constexpr int64_t kRacySeconds = 2;

constexpr std::pair<const char*, int32_t TPlacement::*> kPlacementFields[] = {
    {"Flags", &TPlacement::Flags},
    {"ShowCmd", &TPlacement::ShowCmd},
    {"MinPosX", &TPlacement::MinPosX},
    {"MinPosY", &TPlacement::MinPosY},
    {"MaxPosX", &TPlacement::MaxPosX},
    {"MaxPosY", &TPlacement::MaxPosY},
    {"NormPosLeft", &TPlacement::NormPosLeft},
    {"NormPosTop", &TPlacement::NormPosTop},
    {"NormPosRight", &TPlacement::NormPosRight},
    {"NormPosBottom", &TPlacement::NormPosBottom},
};

// Parts of a key path; empty parts (a leading, doubled or trailing "\") are
// no parts.
std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  out += '"';
}

// A quoted text starting at line[pos]; false when it is not sound.
bool ReadQuoted(std::string_view line, size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  ++pos;
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= line.size()) return false;
    switch (line[pos++]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: return false;
    }
  }
  return false;
}

// Exactly eight hex digits: a shorter number is what a cut leaves behind.
bool ReadDword(std::string_view digits, uint32_t& out) {
  if (digits.size() != 8) return false;
  uint32_t v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  out = v;
  return true;
}

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The whole file (up to kMaxFileBytes); empty when it cannot be read.
bool ReadAll(int fd, std::string& out) {
  out.clear();
  char buf[65536];
  while (out.size() < kMaxFileBytes) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.clear();
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return true;
}

struct TFd {
  int fd;
  explicit TFd(int f) : fd(f) {}
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
};

bool SameFile(int fd, const std::string& path) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens and locks the temporary file. Another writer may rename the file
// away between our open and our lock: then we hold the settings file itself
// and must start again. A writer that keeps the lock too long makes this
// write fail rather than hang the program.
int LockTemp(const std::string& temp) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(5);
  while (steady_clock::now() < deadline) {
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return -1;
    bool locked = false;
    while (steady_clock::now() < deadline) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        locked = true;
        break;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        locked = true;  // no locks on this file system: do without
        break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    if (locked && SameFile(fd, temp)) return fd;
    ::close(fd);
  }
  return -1;
}

}  // namespace

// ---- the text format ----

// Reading goes line by line; a line ends with "\n", one "\r" before it is
// dropped. Sound lines are:
//   - the first line, which is exactly the header;
//   - blank lines (spaces and tabs only);
//   - "[path]": a key, created with its parents ("[\]" is the root);
//   - "\"name\"=dword:" and eight hex digits, or "\"name\"=\"text\"", after a
//     key line; name and text escape only \\ \" \r \n.
// The first line that is not sound ends the reading, keeping what came
// before it. Unsound are: a last line without its "\n" (the file was cut
// short, and a cut can leave a line that looks whole), a "\r" inside a line,
// a key line without its "]" or deeper than kMaxDepth, a value before any
// key, an unknown escape, an unterminated text, a dword of other than eight
// hex digits, any other kind of value, and anything after the value.
void TRegStore::ParseInto(const std::string& text, TKey& root) {
  std::string_view all(text);
  TKey* key = nullptr;
  bool header = true;
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find('\n', pos);
    if (end == std::string_view::npos) return;
    std::string_view line = all.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\r') != std::string_view::npos) return;
    if (header) {
      if (line != kHeader) return;
      header = false;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']') return;
      const std::vector<std::string> path = SplitKeyPath(line.substr(1, line.size() - 2));
      if (path.size() > kMaxDepth) return;
      key = root.Make(path);
      continue;
    }
    if (!key || line.front() != '"') return;
    TValue v;
    size_t at = 0;
    if (!ReadQuoted(line, at, v.name) || at >= line.size() || line[at] != '=') return;
    std::string_view rest = line.substr(at + 1);
    constexpr std::string_view kDword = "dword:";
    if (rest.substr(0, kDword.size()) == kDword) {
      if (!ReadDword(rest.substr(kDword.size()), v.number)) return;
    } else {
      size_t q = 0;
      if (!ReadQuoted(rest, q, v.text) || q != rest.size()) return;
      v.isText = true;
    }
    key->Set(v);
  }
}

std::string TRegStore::SerializeTree(const TKey& root) {
  std::string out(kHeader);
  out += '\n';
  auto values = [&out](const TKey& k) {
    for (const auto& v : k.values) {
      AppendQuoted(out, v.name);
      out += '=';
      if (v.isText) {
        AppendQuoted(out, v.text);
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number));
        out += buf;
      }
      out += '\n';
    }
  };
  // Pre-order; the depth is bounded by kMaxDepth.
  auto keys = [&](const TKey& k, const std::string& path, auto& self) -> void {
    for (const auto& c : k.keys) {
      std::string p = path + "\\" + c->name;
      out += "\n[" + p + "]\n";
      values(*c);
      self(*c, p, self);
    }
  };
  if (!root.values.empty()) {
    out += "\n[\\]\n";
    values(root);
  }
  keys(root, "", keys);
  return out;
}

bool TRegStore::ApplyTo(TKey& root, const TOp& op) {
  if (op.deleteKey) {
    if (op.path.empty()) return false;  // the root stays, as in the registry
    TKey* parent = &root;
    for (size_t i = 0; i + 1 < op.path.size() && parent; ++i) parent = parent->Child(op.path[i]);
    if (!parent) return false;
    for (auto it = parent->keys.begin(); it != parent->keys.end(); ++it) {
      if (SameTextAscii((*it)->name, op.path.back())) {
        parent->keys.erase(it);
        return true;
      }
    }
    return false;
  }
  // A key line cannot carry a line break, and the depth is bounded.
  if (op.path.size() > kMaxDepth) return false;
  for (const auto& part : op.path)
    if (part.find_first_of("\r\n") != std::string::npos) return false;
  bool created = false;
  TKey* key = root.Make(op.path, &created);
  return key->Set(op.value) || created;
}

void ParseRegText(const std::string& text, TRegStore& into) {
  try {
    auto root = std::make_unique<TRegStore::TKey>();
    TRegStore::ParseInto(text, *root);
    into.root_ = std::move(root);
  } catch (...) {
    // Out of memory: the store keeps what it had.
  }
}

// ---- the file ----

TRegStore::TRegStore(std::string file) : file_(std::move(file)), root_(std::make_unique<TKey>()) {}

TRegStore::~TRegStore() = default;

std::string TRegStore::DefaultFile() {
  auto withSlash = [](std::string p) { return p.empty() || p.back() == '/' ? p : p + "/"; };
  if (const char* d = std::getenv("TARNWEX_CONFIG_DIR"); d && *d) return withSlash(d) + "Tarnwex.reg";
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return withSlash(x) + "Quenmoor/Tarnwex.reg";
  const char* home = std::getenv("HOME");
  return withSlash(home && *home ? home : ".") + ".config/Quenmoor/Tarnwex.reg";
}

TRegStore::TDiskState TRegStore::DiskStateOf(int fd, const std::string& path) {
  TDiskState s;
  struct stat st;
  int r = fd >= 0 ? ::fstat(fd, &st) : ::stat(path.c_str(), &st);
  if (r != 0 || !S_ISREG(st.st_mode)) return s;
  s.exists = true;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<int64_t>(st.st_size);
  s.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
  s.mtimeNsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return s;
}

void TRegStore::Refresh() {
  if (file_.empty()) return;
  if (loaded_) {
    const TDiskState now = DiskStateOf(-1, file_);
    const bool racy = now.exists && now.mtimeSec + kRacySeconds >= seenAtSec_;
    if (now == disk_ && !racy) return;
  }
  const int64_t seenAt = NowSeconds();
  std::string text;
  TDiskState state;
  TFd fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.fd >= 0) {
    state = DiskStateOf(fd.fd, file_);  // the identity of what is read, not of what was stat'ed
    if (!state.exists || !ReadAll(fd.fd, text)) state = TDiskState{};
  }
  const bool same = loaded_ && text == diskText_;
  disk_ = state;
  seenAtSec_ = seenAt;
  loaded_ = true;
  if (same) return;
  auto root = std::make_unique<TKey>();
  ParseInto(text, *root);
  for (const auto& op : pending_) ApplyTo(*root, op);
  root_ = std::move(root);
  diskText_ = std::move(text);
}

void TRegStore::Apply(TOp op) {
  if (!ApplyTo(*root_, op)) return;
  if (file_.empty()) return;
  pending_.push_back(std::move(op));
  Changed();
}

void TRegStore::Changed() {
  if (batchDepth_ == 0) WriteFile();
}

void TRegStore::WriteFile() {
  if (file_.empty() || pending_.empty()) return;
  try {
    std::error_code ec;
    auto dir = std::filesystem::path(file_).parent_path();
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    const std::string temp = file_ + kTempSuffix;
    TFd fd(LockTemp(temp));  // closing it releases the lock
    if (fd.fd >= 0) WriteLocked(fd.fd, temp);
  } catch (...) {
    // The tree keeps the change; the next write tries again.
  }
}

// Holding the lock: takes in what another program wrote since our last look,
// then replaces the file by the tree.
void TRegStore::WriteLocked(int fd, const std::string& temp) {
  Refresh();
  const std::string text = SerializeTree(*root_);
  if (::ftruncate(fd, 0) != 0 || !WriteAll(fd, text) || ReplaceByTemporary(fd, temp, file_) != 0) {
    ::unlink(temp.c_str());
    return;
  }
  disk_ = DiskStateOf(fd, file_);
  diskText_ = text;
  seenAtSec_ = NowSeconds();
  loaded_ = true;
  pending_.clear();
}

// ---- operations ----

const TRegStore::TKey* TRegStore::FindKey(const std::string& path) const {
  const TKey* key = root_.get();
  for (const auto& part : SplitKeyPath(path)) {
    key = key->Child(part);
    if (!key) return nullptr;
  }
  return key;
}

const TRegStore::TValue* TRegStore::FindValue(const std::string& key, const std::string& name,
                                              bool* keyExists) const {
  const TKey* k = FindKey(key);
  if (keyExists) *keyExists = k != nullptr;
  return k ? k->Value(name) : nullptr;
}

bool TRegStore::ReadRegValue(const std::string& key, const std::string& name, bool def) {
  return TryReadBool(key, name).value_or(def);
}

int32_t TRegStore::ReadRegValue(const std::string& key, const std::string& name, int32_t def) {
  return TryReadInt(key, name).value_or(def);
}

std::string TRegStore::ReadRegValue(const std::string& key, const std::string& name, const std::string& def) {
  try {
    Refresh();
    bool keyExists = false;
    const TValue* v = FindValue(key, name, &keyExists);
    if (!keyExists) return def;
    if (!v) return {};
    return v->isText ? v->text : def;
  } catch (...) {
    return def;
  }
}

std::optional<bool> TRegStore::TryReadBool(const std::string& key, const std::string& name) {
  std::optional<int32_t> n = TryReadInt(key, name);
  if (!n) return std::nullopt;
  return *n != 0;
}

std::optional<int32_t> TRegStore::TryReadInt(const std::string& key, const std::string& name) {
  try {
    Refresh();
    const TValue* v = FindValue(key, name);
    if (!v || v->isText) return std::nullopt;
    return static_cast<int32_t>(v->number);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> TRegStore::TryReadString(const std::string& key, const std::string& name) {
  try {
    Refresh();
    const TValue* v = FindValue(key, name);
    if (!v || !v->isText) return std::nullopt;
    return v->text;
  } catch (...) {
    return std::nullopt;
  }
}

void TRegStore::WriteRegValue(const std::string& key, const std::string& name, bool value) {
  WriteRegValue(key, name, static_cast<int32_t>(value ? 1 : 0));
}

void TRegStore::WriteRegValue(const std::string& key, const std::string& name, int32_t value) {
  try {
    Refresh();
    TOp op{SplitKeyPath(key), false, {name, false, static_cast<uint32_t>(value), {}}};
    Apply(std::move(op));
  } catch (...) {
  }
}

void TRegStore::WriteRegValue(const std::string& key, const std::string& name, const std::string& value) {
  try {
    Refresh();
    TOp op{SplitKeyPath(key), false, {name, true, 0, value}};
    Apply(std::move(op));
  } catch (...) {
  }
}

bool TRegStore::RegKeyExists(const std::string& key) {
  try {
    Refresh();
    return FindKey(key) != nullptr;
  } catch (...) {
    return false;
  }
}

void TRegStore::DeleteRegKey(const std::string& key) {
  try {
    Refresh();
    TOp op{SplitKeyPath(key), true, {}};
    Apply(std::move(op));
  } catch (...) {
  }
}

bool TRegStore::ReadPlacement(const std::string& key, TPlacement& out) {
  try {
    Refresh();
    const TKey* k = FindKey(key);
    if (!k) return false;
    TPlacement p = out;
    for (const auto& [name, field] : kPlacementFields) {
      const TValue* v = k->Value(name);
      if (!v || v->isText) return false;
      p.*field = static_cast<int32_t>(v->number);
    }
    out = p;
    return true;
  } catch (...) {
    return false;
  }
}

void TRegStore::WritePlacement(const std::string& key, const TPlacement& p) {
  TBatch batch(*this);
  for (const auto& [name, field] : kPlacementFields) WriteRegValue(key, name, p.*field);
}

std::string TRegStore::Serialize() {
  try {
    Refresh();
    return SerializeTree(*root_);
  } catch (...) {
    return std::string(kHeader) + "\n";
  }
}

TRegStore::TBatch::TBatch(TRegStore& store) : store_(store) { ++store_.batchDepth_; }

TRegStore::TBatch::~TBatch() {
  if (--store_.batchDepth_ == 0) store_.WriteFile();
}

}  // namespace tw
