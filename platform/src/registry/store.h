// SQLite storage of one registry database (one virtual-system context).
//
// Schema (user_version 2):
//   keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent, name COLLATE NOCASE, depth)
//     unique index (parent, name): child lookup and case-insensitive
//     enumeration order in one B-tree. The root is id 1, parent 0, depth 0.
//     AUTOINCREMENT: ids of deleted keys are never handed out again, so a
//     key id held by a handle can only ever name that one key.
//   vals(key, name COLLATE NOCASE, seq, type, data BLOB) WITHOUT ROWID,
//     primary key (key, name); index (key, seq) gives creation order. A
//     replaced value keeps its seq, so it keeps its place.
//   history(seq INTEGER PRIMARY KEY AUTOINCREMENT, time, pid, process, uid,
//     op, path, name, old_type, old_data, old_seq, new_type, new_data): one
//     row per change, written in the change's own transaction (journal.h).
//   checkpoints(name PRIMARY KEY, seq, time): named history positions.
// A version 1 file gets the history tables when first opened for writing.
//
// Every failing SQLite call throws DbError; the service turns it into
// TQREG_E_IO after rolling back.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tq {
namespace platform {
namespace reg {

// A failure of the database: the service's status code for its cause
// (TQREG_E_ACCESS, _DISKFULL, _BUSY, _CORRUPT or _IO) and a short text.
class DbError : public std::runtime_error {
 public:
  DbError(int code, const std::string &what) : std::runtime_error(what), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// The status code and cause of an SQLite result (with the system's errno of
// the failing call).
int StatusOfSqlite(int sqlite_rc, int sys_errno, std::string *cause);

constexpr int64_t kRootKeyId = 1;

// Resets a statement (and drops its bindings) when the scope ends.
class StmtScope {
 public:
  explicit StmtScope(sqlite3_stmt *st) : st_(st) {}
  ~StmtScope();
  StmtScope(const StmtScope &) = delete;
  StmtScope &operator=(const StmtScope &) = delete;

 private:
  sqlite3_stmt *st_;
};

// Column col of the current row as bytes ("" for NULL).
std::string ColumnText(sqlite3_stmt *st, int col);

// False when TQ_REGISTRY_SYNC=normal trades the flush at every commit for
// speed.
bool DurableCommits();

struct ChildRow {
  std::string name;
  int64_t id;
};

struct ValueRow {
  std::string name;
  uint32_t type;
  std::string data;
  int64_t seq;  // creation order within the key
};

class Store {
 public:
  Store() = default;
  ~Store();
  Store(const Store &) = delete;
  Store &operator=(const Store &) = delete;

  // Opens the database at file; with create, makes the directory, the file
  // and the schema as needed. Without create a missing file is stood in for
  // by an empty in-memory registry (a placeholder). A file or directory that
  // is not writable is opened read-only. Throws DbError on failure; the
  // store is then closed.
  void Open(const std::string &dir, const std::string &file, bool create);
  // True when the open store is the stand-in for a registry not yet created.
  bool placeholder() const { return placeholder_; }
  // Why the open store cannot be written ("read-only file", ...); empty
  // when it can.
  const std::string &read_only() const { return read_only_; }
  // Finalises the statements and closes the connection.
  void Close();
  bool is_open() const { return db_ != nullptr; }
  sqlite3 *db() const { return db_; }

  // PRAGMA data_version: changes when another connection commits.
  int64_t DataVersion();
  // True when the WAL-index header in shared memory is exactly as at the
  // previous call, i.e. no connection has committed since; it then saves
  // the header as now. Reading it takes no lock and no system call, so a
  // caller can skip DataVersion() when nothing moved. False whenever it
  // cannot tell (shared memory not mapped, unknown format).
  bool WalUnchanged();
  // Makes the next WalUnchanged() answer false.
  void ForgetWalHeader() { wal_hdr_valid_ = false; }
  void Begin();           // deferred: a read snapshot from the first read
  void BeginImmediate();  // takes the write lock now
  void Commit();
  void Rollback() noexcept;
  // Rows inserted, updated or deleted by this connection so far.
  int64_t TotalChanges() const;
  // In a child process after fork(): forgets the parent's connection without
  // touching it (the parent may be in the middle of a transaction).
  void Abandon() noexcept;

  // Depth of key id, or -1 when it does not exist.
  int KeyDepth(int64_t id);
  // Id of the child of parent named name (any case), or 0.
  int64_t FindChild(int64_t parent, const char *name, size_t len);
  // Children of id in case-insensitive name order.
  void LoadChildren(int64_t id, std::vector<ChildRow> *out);
  // Values of id in creation order.
  void LoadValues(int64_t id, std::vector<ValueRow> *out);
  int64_t InsertKey(int64_t parent, const char *name, size_t len, int depth);
  void UpsertValue(int64_t key, const char *name, size_t len, uint32_t type, const void *data,
                   size_t size);
  // True when a value was deleted.
  bool DeleteValue(int64_t key, const char *name, size_t len);
  // Deletes the key id, its values and its whole subtree.
  void DeleteSubtree(int64_t id);
  // Inserts a new value at the end of the creation order; false (and
  // nothing written) when the key already has a value of that name.
  bool InsertValueIfNew(int64_t key, const char *name, size_t len, uint32_t type,
                        const void *data, size_t size);
  // The keys of id's subtree (id first, each after its parent) and their
  // values (by key, in creation order), in two queries.
  struct SubtreeKey {
    int64_t id;
    int64_t parent;
    std::string name;
  };
  void LoadSubtree(int64_t id, std::vector<SubtreeKey> *keys,
                   std::vector<std::pair<int64_t, ValueRow>> *values);
  // Inserts a value at a given place in the creation order (an undo).
  void InsertValueAt(int64_t key, const std::string &name, int64_t seq, uint32_t type,
                     const std::string &data);
  // The stored value of key named name (any case); false when absent.
  bool FindValue(int64_t key, const char *name, size_t len, ValueRow *out);
  // Parent id and stored name of key id; false when it does not exist.
  bool KeyRow(int64_t id, int64_t *parent, std::string *name);

  // Other statements, prepared once per connection and kept by their SQL
  // text's address (sql must be a string literal).
  sqlite3_stmt *Prepared(const char *sql);
  // Steps a statement that returns no rows, then resets it.
  void Run(sqlite3_stmt *st);
  // Throws the DbError of the connection's last failure.
  [[noreturn]] void Fail(const char *what);

 private:
  enum StmtId {
    kDataVersion,
    kBegin,
    kBeginImmediate,
    kCommit,
    kKeyDepth,
    kFindChild,
    kChildren,
    kValues,
    kInsertKey,
    kUpsertValue,
    kDeleteValue,
    kDeleteSubtreeValues,
    kDeleteSubtreeKeys,
    kInsertValueAt,
    kFindValue,
    kKeyRow,
    kInsertValueIfNew,
    kSubtreeKeys,
    kSubtreeValues,
    kStmtCount
  };

  void Exec(const char *sql);
  // Opens name with flags and readies the connection; throws DbError.
  void Connect(const std::string &name, int flags);
  void InitSchema();
  int UserVersion();
  sqlite3_stmt *Stmt(StmtId id);
  // Binds ?1 key, ?2 name, ?3 type and ?4 data of a value statement.
  static void BindValue(sqlite3_stmt *st, int64_t key, const char *name, size_t len,
                        uint32_t type, const void *data, size_t size);
  std::string OutOfRoom() const;

  sqlite3 *db_ = nullptr;
  std::string file_;
  bool placeholder_ = false;
  std::string read_only_;
  sqlite3_stmt *stmts_[kStmtCount] = {};
  std::vector<std::pair<const char *, sqlite3_stmt *>> prepared_;
  // First copy of the WAL-index header (12 words, see SQLite's WAL format)
  // in the connection's shared-memory mapping, and its last seen content.
  const volatile uint32_t *wal_hdr_ = nullptr;
  bool wal_hdr_tried_ = false;
  bool wal_hdr_valid_ = false;
  uint32_t wal_hdr_seen_[12] = {};
};

}  // namespace reg
}  // namespace platform
}  // namespace tq
