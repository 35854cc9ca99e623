#include "registry/store.h"

#include <errno.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <string.h>
#include <unistd.h>

#include "common/dirs.h"
#include "tqplatform/registry.h"

namespace tq {
namespace platform {
namespace reg {

namespace {

// How long a writer waits for another process's write transaction:
// TQ_REGISTRY_BUSY_MS milliseconds, 10 s by default.
int BusyTimeoutMs() {
  const char *text = getenv("TQ_REGISTRY_BUSY_MS");
  long ms = text && *text ? strtol(text, nullptr, 10) : 10000;
  return ms > 0 && ms <= 3600000 ? static_cast<int>(ms) : 10000;
}

const char *const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " depth INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, name);"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " seq INTEGER NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, name)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS vals_by_seq ON vals(key, seq);"
    "INSERT OR IGNORE INTO keys(id, parent, name, depth) VALUES(1, 0, '', 0);"
    "CREATE TABLE IF NOT EXISTS history("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time INTEGER NOT NULL,"
    " pid INTEGER NOT NULL,"
    " process TEXT NOT NULL,"
    " uid INTEGER NOT NULL,"
    " op INTEGER NOT NULL,"
    " path TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " old_type INTEGER,"
    " old_data BLOB,"
    " old_seq INTEGER,"
    " new_type INTEGER,"
    " new_data BLOB);"
    "CREATE TABLE IF NOT EXISTS checkpoints("
    " name TEXT PRIMARY KEY,"
    " seq INTEGER NOT NULL,"
    " time INTEGER NOT NULL);"
    "PRAGMA user_version = 2;";

constexpr int kSchemaVersion = 2;

// The subtree of ?1, found through keys_by_parent.
#define TQ_SUBTREE \
  "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL " \
  "SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "

const char *const kSql[] = {
    "PRAGMA data_version",
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "SELECT depth FROM keys WHERE id = ?1",
    "SELECT id FROM keys WHERE parent = ?1 AND name = ?2",
    "SELECT id, name FROM keys WHERE parent = ?1 ORDER BY name",
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 ORDER BY seq",
    "INSERT INTO keys(parent, name, depth) VALUES(?1, ?2, ?3)",
    "INSERT INTO vals(key, name, seq, type, data) VALUES(?1, ?2,"
    " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE key = ?1), ?3, ?4)"
    " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND name = ?2",
    TQ_SUBTREE "DELETE FROM vals WHERE key IN sub",
    TQ_SUBTREE "DELETE FROM keys WHERE id IN sub",
    "INSERT INTO vals(key, name, seq, type, data) VALUES(?1, ?2, ?3, ?4, ?5)",
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 AND name = ?2",
    "SELECT parent, name FROM keys WHERE id = ?1",
    "INSERT INTO vals(key, name, seq, type, data) VALUES(?1, ?2,"
    " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE key = ?1), ?3, ?4)"
    " ON CONFLICT(key, name) DO NOTHING",
    "WITH RECURSIVE sub(id, parent, name) AS (SELECT id, parent, name FROM keys WHERE id = ?1"
    " UNION ALL SELECT k.id, k.parent, k.name FROM keys k JOIN sub ON k.parent = sub.id)"
    " SELECT id, parent, name FROM sub",
    TQ_SUBTREE "SELECT key, name, type, data, seq FROM vals WHERE key IN sub ORDER BY key, seq",
};
static_assert(sizeof(kSql) / sizeof(kSql[0]) == 19, "one SQL text per statement id");

}  // namespace

// WAL with FULL sync: every commit reaches the disk before it is
// acknowledged. TQ_REGISTRY_SYNC=normal skips that flush: a process crash
// still loses nothing, but a power loss may roll back the last commits.
bool DurableCommits() {
  const char *mode = getenv("TQ_REGISTRY_SYNC");
  return mode == nullptr || strcmp(mode, "normal") != 0;
}

StmtScope::~StmtScope() {
  sqlite3_reset(st_);
  sqlite3_clear_bindings(st_);
}

std::string ColumnText(sqlite3_stmt *st, int col) {
  const void *p = sqlite3_column_blob(st, col);
  int n = sqlite3_column_bytes(st, col);
  return p && n > 0 ? std::string(static_cast<const char *>(p), static_cast<size_t>(n))
                    : std::string();
}

Store::~Store() { Close(); }

int StatusOfSqlite(int sqlite_rc, int sys_errno, std::string *cause) {
  switch (sqlite_rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      *cause = "busy: another process held the write lock past the busy timeout";
      return TQREG_E_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      *cause = "not writable";
      return TQREG_E_ACCESS;
    case SQLITE_FULL:
      *cause = "disk full";
      return TQREG_E_DISKFULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      *cause = "not a registry database, or corrupt";
      return TQREG_E_CORRUPT;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
      if (sys_errno == ENOSPC) {
        *cause = "disk full";
        return TQREG_E_DISKFULL;
      }
      if (sys_errno == EFBIG) {
        *cause = "disk full (file-size limit reached)";
        return TQREG_E_DISKFULL;
      }
      if (sys_errno == EACCES || sys_errno == EPERM || sys_errno == EROFS) {
        *cause = std::string("not writable (") + strerror(sys_errno) + ")";
        return TQREG_E_ACCESS;
      }
      break;
    default:
      break;
  }
  *cause = std::string("I/O error (") + sqlite3_errstr(sqlite_rc) +
           (sys_errno ? std::string(": ") + strerror(sys_errno) : std::string()) + ")";
  return TQREG_E_IO;
}

// A write that failed without saying why: the file-size limit or a full
// file system, when either is the case now; else "".
std::string Store::OutOfRoom() const {
  struct rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    for (const char *suffix : {"", "-wal"}) {
      struct stat st;
      // Within a page of the limit: the next page written would cross it.
      if (stat((file_ + suffix).c_str(), &st) == 0 &&
          static_cast<rlim_t>(st.st_size) + 65536 >= limit.rlim_cur)
        return "disk full (file-size limit reached)";
    }
  }
  struct statvfs fs;
  std::string dir = file_.substr(0, file_.rfind('/') + 1);
  if (statvfs(dir.c_str(), &fs) == 0 && fs.f_bavail == 0) return "disk full";
  return "";
}

void Store::Fail(const char *what) {
  int rc = db_ ? sqlite3_extended_errcode(db_) : SQLITE_ERROR;
  std::string cause;
  int code = StatusOfSqlite(rc, db_ ? sqlite3_system_errno(db_) : 0, &cause);
  if (code == TQREG_E_IO && (rc & 0xff) == SQLITE_IOERR) {
    std::string room = OutOfRoom();
    if (!room.empty()) code = TQREG_E_DISKFULL, cause = room;
  }
  (void)what;
  throw DbError(code, cause);
}

void Store::Exec(const char *sql) {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Fail(sql);
}

// Why path cannot be written, or "" when it can (or does not exist).
static std::string NotWritable(const std::string &path, const char *what) {
  if (access(path.c_str(), W_OK) == 0 || errno == ENOENT) return "";
  return std::string("read-only ") + what;
}

void Store::Open(const std::string &dir, const std::string &file, bool create) {
  Close();
  file_ = file;
  // A registry that does not exist yet reads as empty: an in-memory
  // database with the schema stands in, and nothing is created on disk
  // until the first write.
  bool missing = access(file.c_str(), F_OK) != 0;
  if (missing && errno != ENOENT) {
    int e = errno;
    throw DbError(e == EACCES ? TQREG_E_ACCESS : TQREG_E_IO,
                  std::string("cannot be reached (") + strerror(e) + ")");
  }
  placeholder_ = missing && !create;
  if (missing && create && !MakeDirs(dir)) {
    int e = errno;
    throw DbError(e == EACCES || e == EROFS ? TQREG_E_ACCESS : TQREG_E_IO,
                  "cannot create the directory (" + std::string(strerror(e)) + ")");
  }
  // An existing registry that this process may not write is still read.
  read_only_.clear();
  if (!missing) {
    read_only_ = NotWritable(file, "file");
    if (read_only_.empty()) read_only_ = NotWritable(dir, "directory");
  }
  int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI |
              (read_only_.empty() ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                  : SQLITE_OPEN_READONLY);
  std::string name = placeholder_ ? ":memory:" : "file:" + file;
  try {
    Connect(name, flags);
  } catch (const DbError &) {
    // A read-only directory where no write-ahead log was left behind: the
    // file alone holds everything, and is read as it is (SQLite cannot set
    // up its shared index there).
    struct stat wal;
    if (read_only_.empty() || (stat((file + "-wal").c_str(), &wal) == 0 && wal.st_size > 0))
      throw;
    Connect(name + "?immutable=1", flags);
  }
}

void Store::Connect(const std::string &name, int flags) {
  Close();
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  try {
    if (rc != SQLITE_OK) Fail("open");
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, BusyTimeoutMs());
    // Switching to WAL needs a moment of exclusive access; another process
    // opening the same new file at once may hold it. Nothing else is worth
    // a retry.
    for (int attempt = 0; !placeholder_ && read_only_.empty(); ++attempt) {
      try {
        Exec("PRAGMA journal_mode = WAL");
        break;
      } catch (const DbError &e) {
        if (e.code() != TQREG_E_BUSY || attempt >= 50) throw;
        usleep(20000);
      }
    }
    Exec(DurableCommits() ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
    // Room for a whole batch's pages: a smaller page cache spills and
    // rewrites the same pages to the WAL many times over.
    Exec("PRAGMA cache_size = -32768");
    InitSchema();
  } catch (const DbError &) {
    Close();
    throw;
  }
}

// Schema version of the file; a file that is not a database fails here.
int Store::UserVersion() {
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &st, nullptr) != SQLITE_OK)
    Fail("user_version");
  int rc = sqlite3_step(st);
  int version = rc == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  if (rc != SQLITE_ROW) Fail("user_version");
  return version;
}

void Store::InitSchema() {
  int version = UserVersion();
  if (version == kSchemaVersion) return;  // the usual case: no write lock needed
  if (version > kSchemaVersion)
    throw DbError(TQREG_E_CORRUPT, "a registry database of a newer format");
  // A version 1 file that cannot be written is read as it is (it has no
  // history yet).
  if (version == 1 && !read_only_.empty()) return;
  Exec("BEGIN IMMEDIATE");
  try {
    // Another process may have created the schema meanwhile.
    version = UserVersion();
    if (version > kSchemaVersion)
      throw DbError(TQREG_E_CORRUPT, "a registry database of a newer format");
    if (version < kSchemaVersion) Exec(kSchema);
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

// Statements are prepared on first use: a short-lived process that reads
// one value prepares only what that read needs.
sqlite3_stmt *Store::Stmt(StmtId id) {
  if (stmts_[id] == nullptr &&
      sqlite3_prepare_v3(db_, kSql[id], -1, SQLITE_PREPARE_PERSISTENT, &stmts_[id], nullptr) !=
          SQLITE_OK)
    Fail(kSql[id]);
  return stmts_[id];
}

sqlite3_stmt *Store::Prepared(const char *sql) {
  for (const auto &p : prepared_)
    if (p.first == sql) return p.second;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
    Fail(sql);
  prepared_.emplace_back(sql, st);
  return st;
}

void Store::Close() {
  wal_hdr_ = nullptr;
  wal_hdr_tried_ = false;
  wal_hdr_valid_ = false;
  for (auto &st : stmts_) {
    if (st) sqlite3_finalize(st);
    st = nullptr;
  }
  for (auto &p : prepared_) sqlite3_finalize(p.second);
  prepared_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Store::Run(sqlite3_stmt *st) {
  StmtScope scope(st);
  int rc = sqlite3_step(st);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(sqlite3_sql(st));
}

int64_t Store::DataVersion() {
  sqlite3_stmt *st = Stmt(kDataVersion);
  StmtScope scope(st);
  if (sqlite3_step(st) != SQLITE_ROW) Fail("data_version");
  return sqlite3_column_int64(st, 0);
}

bool Store::WalUnchanged() {
  if (wal_hdr_ == nullptr) {
    if (wal_hdr_tried_ || db_ == nullptr) return false;
    wal_hdr_tried_ = true;
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
        file->pMethods->xShmMap == nullptr)
      return false;
    // Region 0 is mapped once the connection has read in WAL mode; the
    // mapping lives as long as the connection.
    void volatile *region = nullptr;
    if (file->pMethods->xShmMap(file, 0, 32768, 0, &region) != SQLITE_OK || region == nullptr)
      return false;
    wal_hdr_ = static_cast<const volatile uint32_t *>(region);
  }
  uint32_t now[12];
  const volatile uint32_t *word = wal_hdr_;
  for (uint32_t &w : now) w = *word++;
  // The header must be read before whatever the caller does next.
  __atomic_thread_fence(__ATOMIC_SEQ_CST);
  // Word 0 is the format version 3007000; byte 12 is isInit.
  bool usable = now[0] == 3007000u && (reinterpret_cast<const unsigned char *>(now)[12] == 1);
  bool same = usable && wal_hdr_valid_ && memcmp(now, wal_hdr_seen_, sizeof now) == 0;
  memcpy(wal_hdr_seen_, now, sizeof now);
  wal_hdr_valid_ = usable;
  return same;
}

void Store::Begin() { Run(Stmt(kBegin)); }
void Store::BeginImmediate() { Run(Stmt(kBeginImmediate)); }
void Store::Commit() { Run(Stmt(kCommit)); }

int64_t Store::TotalChanges() const { return sqlite3_total_changes64(db_); }

void Store::Abandon() noexcept {
  // Kept reachable on purpose: the connection belongs to the parent process.
  static std::vector<sqlite3 *> abandoned;
  if (db_) abandoned.push_back(db_);
  db_ = nullptr;
  for (auto &st : stmts_) st = nullptr;
  prepared_.clear();
  wal_hdr_ = nullptr;
  wal_hdr_tried_ = false;
  wal_hdr_valid_ = false;
}

void Store::Rollback() noexcept {
  if (!db_ || sqlite3_get_autocommit(db_)) return;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int Store::KeyDepth(int64_t id) {
  sqlite3_stmt *st = Stmt(kKeyDepth);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return sqlite3_column_int(st, 0);
  if (rc != SQLITE_DONE) Fail("key lookup");
  return -1;
}

int64_t Store::FindChild(int64_t parent, const char *name, size_t len) {
  sqlite3_stmt *st = Stmt(kFindChild);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, parent);
  sqlite3_bind_text(st, 2, name, static_cast<int>(len), SQLITE_STATIC);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return sqlite3_column_int64(st, 0);
  if (rc != SQLITE_DONE) Fail("child lookup");
  return 0;
}

void Store::LoadChildren(int64_t id, std::vector<ChildRow> *out) {
  out->clear();
  sqlite3_stmt *st = Stmt(kChildren);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, id);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    out->push_back(ChildRow{ColumnText(st, 1), sqlite3_column_int64(st, 0)});
  if (rc != SQLITE_DONE) Fail("subkey list");
}

void Store::LoadValues(int64_t id, std::vector<ValueRow> *out) {
  out->clear();
  sqlite3_stmt *st = Stmt(kValues);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, id);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    out->push_back(ValueRow{ColumnText(st, 0), static_cast<uint32_t>(sqlite3_column_int64(st, 1)),
                            ColumnText(st, 2), sqlite3_column_int64(st, 3)});
  if (rc != SQLITE_DONE) Fail("value list");
}

int64_t Store::InsertKey(int64_t parent, const char *name, size_t len, int depth) {
  sqlite3_stmt *st = Stmt(kInsertKey);
  sqlite3_bind_int64(st, 1, parent);
  sqlite3_bind_text(st, 2, name, static_cast<int>(len), SQLITE_STATIC);
  sqlite3_bind_int(st, 3, depth);
  Run(st);
  return sqlite3_last_insert_rowid(db_);
}

void Store::BindValue(sqlite3_stmt *st, int64_t key, const char *name, size_t len,
                      uint32_t type, const void *data, size_t size) {
  sqlite3_bind_int64(st, 1, key);
  sqlite3_bind_text(st, 2, name, static_cast<int>(len), SQLITE_STATIC);
  sqlite3_bind_int64(st, 3, type);
  // A zero-length blob must still be a blob, not NULL.
  static const char kEmpty = 0;
  sqlite3_bind_blob(st, 4, size ? data : &kEmpty, static_cast<int>(size), SQLITE_STATIC);
}

void Store::UpsertValue(int64_t key, const char *name, size_t len, uint32_t type,
                        const void *data, size_t size) {
  sqlite3_stmt *st = Stmt(kUpsertValue);
  BindValue(st, key, name, len, type, data, size);
  Run(st);
}

bool Store::DeleteValue(int64_t key, const char *name, size_t len) {
  sqlite3_stmt *st = Stmt(kDeleteValue);
  sqlite3_bind_int64(st, 1, key);
  sqlite3_bind_text(st, 2, name, static_cast<int>(len), SQLITE_STATIC);
  Run(st);
  return sqlite3_changes(db_) > 0;
}

void Store::DeleteSubtree(int64_t id) {
  sqlite3_stmt *st = Stmt(kDeleteSubtreeValues);
  sqlite3_bind_int64(st, 1, id);
  Run(st);
  st = Stmt(kDeleteSubtreeKeys);
  sqlite3_bind_int64(st, 1, id);
  Run(st);
}

void Store::InsertValueAt(int64_t key, const std::string &name, int64_t seq, uint32_t type,
                          const std::string &data) {
  sqlite3_stmt *st = Stmt(kInsertValueAt);
  sqlite3_bind_int64(st, 1, key);
  sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
  sqlite3_bind_int64(st, 3, seq);
  sqlite3_bind_int64(st, 4, type);
  sqlite3_bind_blob(st, 5, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
  Run(st);
}

bool Store::InsertValueIfNew(int64_t key, const char *name, size_t len, uint32_t type,
                             const void *data, size_t size) {
  sqlite3_stmt *st = Stmt(kInsertValueIfNew);
  BindValue(st, key, name, len, type, data, size);
  Run(st);
  return sqlite3_changes(db_) > 0;
}

void Store::LoadSubtree(int64_t id, std::vector<SubtreeKey> *keys,
                        std::vector<std::pair<int64_t, ValueRow>> *values) {
  sqlite3_stmt *st = Stmt(kSubtreeKeys);
  {
    StmtScope scope(st);
    sqlite3_bind_int64(st, 1, id);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
      keys->push_back(SubtreeKey{sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
                                 ColumnText(st, 2)});
    if (rc != SQLITE_DONE) Fail("subtree");
  }
  st = Stmt(kSubtreeValues);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, id);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    values->emplace_back(sqlite3_column_int64(st, 0),
                         ValueRow{ColumnText(st, 1),
                                  static_cast<uint32_t>(sqlite3_column_int64(st, 2)),
                                  ColumnText(st, 3), sqlite3_column_int64(st, 4)});
  if (rc != SQLITE_DONE) Fail("subtree values");
}

bool Store::FindValue(int64_t key, const char *name, size_t len, ValueRow *out) {
  sqlite3_stmt *st = Stmt(kFindValue);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, key);
  sqlite3_bind_text(st, 2, name, static_cast<int>(len), SQLITE_STATIC);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) Fail("value lookup");
  *out = ValueRow{ColumnText(st, 0), static_cast<uint32_t>(sqlite3_column_int64(st, 1)),
                  ColumnText(st, 2), sqlite3_column_int64(st, 3)};
  return true;
}

bool Store::KeyRow(int64_t id, int64_t *parent, std::string *name) {
  sqlite3_stmt *st = Stmt(kKeyRow);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) Fail("key lookup");
  *parent = sqlite3_column_int64(st, 0);
  *name = ColumnText(st, 1);
  return true;
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
