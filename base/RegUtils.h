// The per-user settings store: a tree of keys holding typed values (boolean
// and integer as 32-bit numbers, text), kept in one text file in the style of
// a registry export. Key paths use "\" between their parts; a leading "\"
// starts at the root. Key and value names compare without regard to case.
// Every operation swallows its own errors: reads give the default, writes
// silently do nothing further.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// The root of everything the program keeps.
inline constexpr const char* kRegRoot = "\\software\\Quenmoor\\Tarnwex\\";

// A window's placement: the ten values kept for a window or a panel.
struct TPlacement {
  int32_t Flags = 0, ShowCmd = 0;
  int32_t MinPosX = 0, MinPosY = 0, MaxPosX = 0, MaxPosY = 0;
  int32_t NormPosLeft = 0, NormPosTop = 0, NormPosRight = 0, NormPosBottom = 0;
  bool operator==(const TPlacement&) const = default;
};

class TRegStore {
 public:
  // The store kept in `file`; an empty name keeps it in memory only. Nothing
  // is read before the first operation. A write goes through `file` + ".tmp"
  // in the same folder, renamed over the file; one left over by a crash is
  // never read as the store and is reused by the next write.
  explicit TRegStore(std::string file);
  ~TRegStore();
  TRegStore(const TRegStore&) = delete;
  TRegStore& operator=(const TRegStore&) = delete;

  // $TARNWEX_CONFIG_DIR/Tarnwex.reg, else $XDG_CONFIG_HOME/Quenmoor/Tarnwex.reg,
  // else ~/.config/Quenmoor/Tarnwex.reg.
  static std::string DefaultFile();
  const std::string& FileName() const { return file_; }

  // Reads give `def` when the key or value is missing or holds another kind;
  // a text value missing from a key that exists reads as empty text.
  bool ReadRegValue(const std::string& key, const std::string& name, bool def);
  int32_t ReadRegValue(const std::string& key, const std::string& name, int32_t def);
  std::string ReadRegValue(const std::string& key, const std::string& name, const std::string& def);
  std::string ReadRegValue(const std::string& key, const std::string& name, const char* def) {
    return ReadRegValue(key, name, std::string(def));
  }
  // Strict reads: nothing when the value is missing or of another kind.
  std::optional<bool> TryReadBool(const std::string& key, const std::string& name);
  std::optional<int32_t> TryReadInt(const std::string& key, const std::string& name);
  std::optional<std::string> TryReadString(const std::string& key, const std::string& name);

  // Writes create the key and its missing parents.
  void WriteRegValue(const std::string& key, const std::string& name, bool value);
  void WriteRegValue(const std::string& key, const std::string& name, int32_t value);
  void WriteRegValue(const std::string& key, const std::string& name, const std::string& value);
  void WriteRegValue(const std::string& key, const std::string& name, const char* value) {
    WriteRegValue(key, name, std::string(value));
  }
  bool RegKeyExists(const std::string& key);
  // The key with every key and value below it (the root itself stays).
  void DeleteRegKey(const std::string& key);

  // All ten values, or false and `out` unchanged.
  bool ReadPlacement(const std::string& key, TPlacement& out);
  void WritePlacement(const std::string& key, const TPlacement& p);

  // Writes inside a batch reach the file once, when the outermost batch ends.
  class TBatch {
   public:
    explicit TBatch(TRegStore& store);
    ~TBatch();
    TBatch(const TBatch&) = delete;
    TBatch& operator=(const TBatch&) = delete;

   private:
    TRegStore& store_;
  };

  // The whole store as text, in the file's format (tests and tools).
  std::string Serialize();

 private:
  struct TKey;
  struct TValue;
  // One change to the tree. Changes not yet in the file are kept, so that
  // they can be laid again over a file another program wrote meanwhile.
  struct TOp;
  // Identity and age of the file as last read or written.
  struct TDiskState {
    bool exists = false;
    uint64_t device = 0, inode = 0;
    int64_t size = -1, mtimeSec = 0, mtimeNsec = 0;
    bool operator==(const TDiskState&) const = default;
  };
  friend void ParseRegText(const std::string& text, TRegStore& into);

  static void ParseInto(const std::string& text, TKey& root);
  static std::string SerializeTree(const TKey& root);
  static bool ApplyTo(TKey& root, const TOp& op);
  // Of the open file `fd`, or of `path` when fd < 0.
  static TDiskState DiskStateOf(int fd, const std::string& path);

  void Refresh();      // re-reads the file when it changed on disk
  void Apply(TOp op);  // changes the tree, then the file
  void Changed();      // writes the file now, or at the end of the batch
  void WriteFile();
  void WriteLocked(int tempFd, const std::string& temp);
  const TKey* FindKey(const std::string& path) const;
  const TValue* FindValue(const std::string& key, const std::string& name, bool* keyExists = nullptr) const;

  std::string file_;
  std::unique_ptr<TKey> root_;
  std::vector<TOp> pending_;
  int batchDepth_ = 0;
  bool loaded_ = false;
  TDiskState disk_;
  std::string diskText_;
  int64_t seenAtSec_ = 0;  // when disk_ and diskText_ were taken
};

// Replaces the keys and values held in memory by those of store text: the
// keys and values before the first unsound line (see RegUtils.cpp) are kept.
// A store kept in a file reads it again once the file changes. Exposed for
// the fuzzer and the tests.
void ParseRegText(const std::string& text, TRegStore& into);

}  // namespace tw
