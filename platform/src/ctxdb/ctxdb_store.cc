#include "ctxdb/ctxdb_store.h"

#include <errno.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "common/dirs.h"
#include "tqplatform.h"

namespace tq {
namespace platform {
namespace ctxdb {
namespace {

constexpr int kBusyTimeoutMs = 10000;

std::string Directory() {
  const char *dir = getenv("TQ_REGISTRY_DIR");
  std::string d = dir && *dir ? dir : TQ_REGISTRY_DEFAULT_DIR;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  return d;
}

// An open database connection that closes itself.
class Db {
 public:
  ~Db() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
  }
  // Read-only: a missing file is reported through *missing, not as failure.
  bool OpenForRead(bool *missing) {
    *missing = false;
    std::string path = DatabasePath();
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      *missing = errno == ENOENT;
      return *missing;
    }
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      return false;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return true;
  }
  bool OpenForWrite() {
    if (!MakeDirs(Directory())) return false;
    if (sqlite3_open_v2(DatabasePath().c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
      return false;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return Exec("CREATE TABLE IF NOT EXISTS contexts ("
                " id INTEGER PRIMARY KEY,"
                " bridge INTEGER NOT NULL,"
                " junction INTEGER NOT NULL,"
                " instances6 INTEGER NOT NULL)");
  }
  bool Exec(const char *sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // 1 when the table exists (a reader may find an empty file), 0 when not,
  // -1 when the file is no readable database.
  int HasTable() {
    sqlite3_stmt *st = nullptr;
    int found = -1;
    if (sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='contexts'",
                           -1, &st, nullptr) == SQLITE_OK) {
      int rc = sqlite3_step(st);
      found = rc == SQLITE_ROW ? 1 : rc == SQLITE_DONE ? 0 : -1;
    }
    sqlite3_finalize(st);
    return found;
  }
  sqlite3 *get() const { return db_; }

 private:
  sqlite3 *db_ = nullptr;
};

Entry RowToEntry(sqlite3_stmt *st) {
  Entry e;
  e.id = static_cast<uint32_t>(sqlite3_column_int64(st, 0));
  e.bridge = sqlite3_column_int64(st, 1) != 0;
  e.junction = sqlite3_column_int64(st, 2) != 0;
  e.instances6 = static_cast<uint32_t>(sqlite3_column_int64(st, 3));
  return e;
}

}  // namespace

std::string DatabasePath() { return Directory() + "/contexts.db"; }

bool LoadAll(std::vector<Entry> *out) {
  out->clear();
  Entry main_ctx;  // context 0 unless the file records its flags
  Db db;
  bool missing = false;
  if (!db.OpenForRead(&missing)) return false;
  std::vector<Entry> rows;
  int table = missing ? 0 : db.HasTable();
  if (table < 0) return false;
  if (table == 1) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "SELECT id, bridge, junction, instances6 FROM contexts ORDER BY id",
                           -1, &st, nullptr) != SQLITE_OK)
      return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) rows.push_back(RowToEntry(st));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return false;
  }
  if (rows.empty() || rows.front().id != 0) out->push_back(main_ctx);
  out->insert(out->end(), rows.begin(), rows.end());
  return true;
}

int Lookup(uint32_t id, Entry *out) {
  Db db;
  bool missing = false;
  if (!db.OpenForRead(&missing)) return -1;
  Entry e;
  e.id = id;
  int found = id == 0 ? 1 : 0;
  int table = missing ? 0 : db.HasTable();
  if (table < 0) return -1;
  if (table == 1) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "SELECT id, bridge, junction, instances6 FROM contexts WHERE id = ?",
                           -1, &st, nullptr) != SQLITE_OK)
      return -1;
    sqlite3_bind_int64(st, 1, id);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      e = RowToEntry(st);
      found = 1;
    } else if (rc != SQLITE_DONE) {
      found = -1;
    }
    sqlite3_finalize(st);
  }
  if (found == 1 && out != nullptr) *out = e;
  return found;
}

bool Put(const Entry &e) {
  Db db;
  if (!db.OpenForWrite()) return false;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         "INSERT OR REPLACE INTO contexts (id, bridge, junction, instances6)"
                         " VALUES (?, ?, ?, ?)",
                         -1, &st, nullptr) != SQLITE_OK)
    return false;
  sqlite3_bind_int64(st, 1, e.id);
  sqlite3_bind_int(st, 2, e.bridge ? 1 : 0);
  sqlite3_bind_int(st, 3, e.junction ? 1 : 0);
  sqlite3_bind_int64(st, 4, e.instances6);
  bool ok = sqlite3_step(st) == SQLITE_DONE;
  sqlite3_finalize(st);
  return ok;
}

int Remove(uint32_t id) {
  Db db;
  if (!db.OpenForWrite()) return -1;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db.get(), "DELETE FROM contexts WHERE id = ?", -1, &st, nullptr) !=
      SQLITE_OK)
    return -1;
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return -1;
  return sqlite3_changes(db.get()) > 0 ? 1 : 0;
}

}  // namespace ctxdb
}  // namespace platform
}  // namespace tq
