// The registry service behind the Tqk* entry points: the handle table, the
// in-process read cache and the operations, over one Store at a time.
//
// Read cache. Per database connection the service keeps
//   - paths: (parent key id, case-folded relative path) -> key id, 0 when
//     the key is absent; single components double as the child lookup;
//   - nodes: key id -> depth, the sorted subkey list and the values in
//     creation order with a folded-name index, each loaded on first use.
// Invalidation: every call first checks for commits by other connections:
// when the WAL-index header in shared memory is byte for byte as at the last
// check nothing was committed anywhere and the check ends there (no lock, no
// system call); otherwise PRAGMA data_version decides, and a change drops
// the whole cache. Every local
// write drops it too (our own commits do not move data_version). A call
// that misses the cache opens a read snapshot and checks data_version once
// more inside it, so one call never mixes two states of the database.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string>
#include <unordered_map>
#include <vector>

#include "registry/journal.h"
#include "registry/store.h"
#include "tqplatform/registry.h"

namespace tq {
namespace platform {
namespace reg {

// The fixed handle of HKEY_LOCAL_MACHINE; never allocated, never closed.
constexpr TQHKEY kRootHandle = 0x80000002u;

class Service {
 public:
  static Service &Instance();

  int OpenKey(TQHKEY parent, const char *path, TQHKEY *out);
  int CreateKey(TQHKEY parent, const char *path, TQHKEY *out);
  int CloseKey(TQHKEY key);
  int QueryValue(TQHKEY key, const char *name, unsigned *type, void *data, unsigned *size);
  int SetValue(TQHKEY key, const char *name, unsigned type, const void *data, unsigned size);
  int EnumKey(TQHKEY key, unsigned index, char *name, unsigned capacity);
  int EnumValue(TQHKEY key, unsigned index, char *name, unsigned *name_size, unsigned *type,
                void *data, unsigned *data_size);
  int DeleteKey(TQHKEY parent, const char *path);
  int DeleteValue(TQHKEY key, const char *name);
  int Reset();
  int DropCache();
  // The key path of a handle, for messages.
  std::string KeyPathOf(TQHKEY key);
  // Keys this process has created (rolled-back ones included); lock-free.
  unsigned long CreatedKeyCount() const { return keys_created_count_.load(std::memory_order_relaxed); }
  // Notes a failing status as the thread's last error (a database failure
  // keeps the text it already left); returns code. The exported entry points
  // call it for every status they return.
  int Refuse(int code);

  // Write batches (TqkRegBeginBatch): one transaction for many writes.
  int BeginBatch();
  int EndBatch(bool commit);

  // History (journal.h).
  int Checkpoint(const char *name);
  int Rollback(const char *name);
  int History(int64_t after_seq, TQREGCHANGEFN fn, void *ctx);
  int Checkpoints(TQREGCHECKPOINTFN fn, void *ctx);
  int64_t HistoryPosition();
  // Change notification (notifier.h).
  int Notify(TQHKEY key, int watch_subtree, unsigned filter, unsigned timeout_ms);

  TQREGVAR GetVar(const char *key_path, const char *value_name, int versioned);
  int SetVar(const char *key_path, const char *value_name, uint32_t value, int versioned);
  int CopyValues(TQHKEY src, TQHKEY dst);
  const char *GetFwdir();

  // fork(): the connection is closed before and reopened lazily after, in
  // parent and child alike, so no SQLite state crosses a fork.
  void BeforeFork();
  void AfterFork();
  void AfterForkChild();

 private:
  struct Node {
    int depth = 0;
    bool children_loaded = false;
    std::vector<ChildRow> children;
    bool values_loaded = false;
    std::vector<ValueRow> values;
    std::unordered_map<std::string, uint32_t> value_index;  // folded name -> position
  };
  // A handle's place in the history for change notification.
  struct Watch {
    int64_t pos = -1;         // the last change looked at; -1 before the first wait
    std::string folded_path;  // the key's stored path, case-folded
  };
  struct Slot {
    int64_t key = 0;
    int depth = 0;
    uint32_t gen = 1;
    bool used = false;
    std::string path;  // below the root, as given when opened
    Watch watch;
  };
  struct Component {
    const char *name;  // as given (case kept)
    size_t len;
    size_t folded_end;  // end of this component in the folded path
  };
  struct VarMemo {
    bool found = false;
    uint32_t type = 0;
    std::string data;  // the value's bytes and two NULs
  };
  // Thrown when a read finds the cache stale at the start of its snapshot;
  // the cache is then empty and the call runs again inside the snapshot.
  struct Restart {};

  Service();

  // Takes mu_, waiting while another thread's batch is open.
  std::unique_lock<std::mutex> Enter();

  // Call frames: take the lock, open/sync, run op, end the transaction.
  template <typename Op>
  int ReadCall(Op op);
  template <typename Op>
  int WriteCall(Op op);
  int EnsureOpen(bool for_write);
  int OpenForWrite();
  // A database failure: the transaction is rolled back, the thread's last
  // error set; returns the failure's code.
  int Failed(const DbError &e);

  void Sync();
  void EnsureSnapshot();
  void TakeSnapshotVersion();
  void FinishRead();
  void Abort() noexcept;
  void ClearCache();
  // After a committed local write: drops only what the write changed.
  void ApplyLocalWrite();

  // Recorded changes: each writes the change and its history row.
  void PutValue(int64_t id, const char *name, size_t len, uint32_t type, const void *data,
                size_t size);
  bool RemoveValue(int64_t id, const char *name, size_t len);
  void RemoveKey(int64_t id);
  void AddKey(int64_t parent, const char *name, size_t len, int depth, int64_t *id);
  // The key path of id as stored (case kept), and the reverse; 0 when absent.
  const std::string &StoredPath(int64_t id);
  int64_t StoredKey(const std::string &path);
  // The subtree of id, as a deleted key's history row keeps it.
  void CollectSubtree(int64_t id, std::vector<SubtreeEntry> *out);
  // Applies the inverse of a recorded change.
  void Undo(const Change &c);
  // Looks through the history after the handle's watch position for a
  // change that matches; TQREG_E_TIMEOUT when there is none yet.
  int CheckWatch(TQHKEY key, bool subtree, unsigned filter);
  // Validates a checkpoint name; sets the last error when it is refused.
  int CheckName(const char *name);
  // Sets the thread's last error to code and text; returns code.
  int Note(int code, const std::string &text);

  // Handle table.
  int ResolveHandle(TQHKEY h, int64_t *id, int *depth);
  // The slot of a handle (not the root's); nullptr when unknown or closed.
  Slot *SlotOf(TQHKEY h);
  int AllocHandle(int64_t id, int depth, std::string path, TQHKEY *out);
  // Open (kCreate false) or create a key and bind a handle to it.
  template <bool kCreate>
  int BindKey(TQHKEY parent, const char *path, TQHKEY *out);
  // The key path of a handle below the root (for error texts).
  std::string JoinKeyPath(TQHKEY parent, const char *path);
  void InvalidateHandles();

  // Cache-backed lookups.
  int ParsePath(const char *path, int base_depth);
  void PathKey(int64_t parent, size_t folded_len);
  Node &NodeFor(int64_t id, int depth);
  int Resolve(int64_t parent, int parent_depth, const char *path, int64_t *id, int *depth);
  int64_t LookupChild(int64_t parent, const Component &c, size_t folded_begin);
  int CreatePath(int64_t parent, int parent_depth, const char *path, int64_t *id, int *depth);
  Node &Values(int64_t id, int depth);
  Node &Children(int64_t id, int depth);
  const ValueRow *FindValue(Node &node, const char *name, size_t len);
  // The value name under key_path (its CurrentVersion subkey when
  // versioned); false when absent. Never creates anything.
  bool ReadVar(const char *key_path, const char *value_name, int versioned,
               const ValueRow **out);

  std::mutex mu_;
  Store store_;
  Journal journal_;
  // Stored key paths by key id (a key id never names another key, except
  // after a rolled-back transaction: emptied with the cache).
  std::unordered_map<int64_t, std::string> key_paths_;
  std::string store_file_;  // the database file of the current context
  std::string store_dir_;
  std::atomic<const char *> where_{""};  // "ctx0.db in DIR", for error texts
  // The last failed open, and the state of the file and directory then.
  int open_failure_code_ = TQREG_OK;
  std::string open_failure_text_;
  std::string open_failure_state_;
  int64_t data_version_ = -1;
  bool in_txn_ = false;

  // The open batch: nesting depth, owner, and whether its transaction is
  // still open (false after a database failure inside it).
  std::condition_variable batch_cv_;
  int batch_depth_ = 0;
  bool batch_txn_ = false;
  bool batch_abandoned_ = false;
  std::thread::id batch_owner_;

  std::unordered_map<int64_t, Node> nodes_;
  std::unordered_map<std::string, int64_t> paths_;
  size_t cache_bytes_ = 0;
  // One-call reads (GetVar) by versioned flag, key path and value name.
  std::unordered_map<std::string, VarMemo> vars_;
  // Paths remembered as missing (values 0 in paths_): dropped when a key is
  // created, since any of them may exist now.
  std::vector<std::string> negatives_;
  // What the write call in progress changed.
  std::vector<int64_t> dirty_values_;
  bool keys_created_ = false;
  bool keys_deleted_ = false;

  std::atomic<unsigned long> keys_created_count_{0};
  std::vector<Slot> slots_;
  Watch root_watch_;
  uint64_t reset_generation_ = 0;  // counts Reset() calls
  std::vector<uint32_t> free_slots_;

  // Scratch buffers reused by every call.
  std::vector<Component> comps_;
  std::string folded_;
  std::string key_buf_;
  std::string name_buf_;
  std::string var_buf_;  // result of GetFwdir
  std::string var_key_;
};

}  // namespace reg
}  // namespace platform
}  // namespace tq
