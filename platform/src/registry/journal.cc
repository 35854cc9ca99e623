#include "registry/journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "tqplatform/registry.h"

namespace tq {
namespace platform {
namespace reg {

namespace {

const char kInsert[] =
    "INSERT INTO history(time, pid, process, uid, op, path, name, old_type, old_data, old_seq,"
    " new_type, new_data) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)";
const char kNewest[] = "SELECT COALESCE(MAX(seq), 0) FROM history";
const char kNewestOp[] = "SELECT op FROM history ORDER BY seq DESC LIMIT 1";
const char kPrune[] =
    "DELETE FROM history WHERE seq IN"
    " (SELECT seq FROM history WHERE seq <= ?1 ORDER BY seq LIMIT 64)";
const char kCheckpoint[] = "SELECT seq FROM checkpoints WHERE name = ?1";
const char kSetCheckpoint[] =
    "INSERT INTO checkpoints(name, seq, time) VALUES(?1, ?2, ?3)"
    " ON CONFLICT(name) DO UPDATE SET seq = excluded.seq, time = excluded.time";
const char kHasRow[] = "SELECT 1 FROM history WHERE seq = ?1";
const char kUnrecordedAfter[] = "SELECT 1 FROM history WHERE seq > ?1 AND op = 7 LIMIT 1";
const char kLoad[] =
    "SELECT seq, time, pid, process, uid, op, path, name, old_type, old_data, old_seq,"
    " new_type, new_data FROM history WHERE seq > ?1 ORDER BY seq LIMIT ?2";
const char kCheckpoints[] =
    "SELECT c.name, c.seq, c.time, EXISTS(SELECT 1 FROM history h WHERE h.seq = c.seq) AND"
    " NOT EXISTS(SELECT 1 FROM history h WHERE h.seq > c.seq AND h.op = 7)"
    " FROM checkpoints c ORDER BY c.seq";

// Prunes every this many rows, up to 64 rows at a time: pruning keeps pace
// with recording four times over, and no write pays for a long delete.
constexpr int64_t kPruneEvery = 16;

void PutU32(std::string *out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void PutU64(std::string *out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void PutBytes(std::string *out, const std::string &s) {
  PutU32(out, static_cast<uint32_t>(s.size()));
  out->append(s);
}

// Reads from a blob, refusing to run past its end.
struct Reader {
  const std::string &s;
  size_t pos = 0;
  bool ok = true;

  uint64_t Num(int bytes) {
    if (!ok || s.size() - pos < static_cast<size_t>(bytes)) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
      v |= static_cast<uint64_t>(static_cast<unsigned char>(s[pos + i])) << (8 * i);
    pos += static_cast<size_t>(bytes);
    return v;
  }
  std::string Bytes() {
    size_t n = static_cast<size_t>(Num(4));
    if (!ok || s.size() - pos < n) {
      ok = false;
      return std::string();
    }
    std::string out = s.substr(pos, n);
    pos += n;
    return out;
  }
};

void BindBytes(sqlite3_stmt *st, int col, const std::string &s) {
  sqlite3_bind_blob(st, col, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
}

int64_t NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

std::string EncodeSubtree(const std::vector<SubtreeEntry> &entries) {
  std::string out;
  for (const SubtreeEntry &e : entries) {
    if (e.is_key) {
      out.push_back('K');
      PutBytes(&out, e.path);
    } else {
      out.push_back('V');
      PutBytes(&out, e.value.name);
      PutU32(&out, e.value.type);
      PutU64(&out, static_cast<uint64_t>(e.value.seq));
      PutBytes(&out, e.value.data);
    }
  }
  return out;
}

bool DecodeSubtree(const std::string &blob, std::vector<SubtreeEntry> *out) {
  out->clear();
  Reader r{blob};
  while (r.ok && r.pos < blob.size()) {
    SubtreeEntry e;
    char tag = blob[r.pos++];
    if (tag == 'K') {
      e.is_key = true;
      e.path = r.Bytes();
    } else if (tag == 'V' && !out->empty()) {
      e.value.name = r.Bytes();
      e.value.type = static_cast<uint32_t>(r.Num(4));
      e.value.seq = static_cast<int64_t>(r.Num(8));
      e.value.data = r.Bytes();
    } else {
      return false;
    }
    out->push_back(std::move(e));
  }
  // The deleted key itself comes first.
  return r.ok && !out->empty() && (*out)[0].is_key && (*out)[0].path.empty();
}

void Journal::Configure() {
  const char *text = getenv("TQ_REGISTRY_HISTORY");
  keep_ = 100000;
  if (text == nullptr || *text == '\0') return;
  if (strcmp(text, "off") == 0) {
    keep_ = 0;
    return;
  }
  char *end = nullptr;
  long long n = strtoll(text, &end, 10);
  if (*end == '\0' && n >= 0) keep_ = n;
}

void Journal::LearnWriter() {
  pid_ = static_cast<int>(getpid());
  uid_ = static_cast<uint32_t>(getuid());
  process_.clear();
  int fd = open("/proc/self/comm", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char buf[64];
    ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    if (n > 0) process_.assign(buf, static_cast<size_t>(n));
  }
  while (!process_.empty() && process_.back() == '\n') process_.pop_back();
  who_known_ = true;
}

void Journal::Record(Store &store, Change &c) {
  if (recording()) {
    Insert(store, c);
    if (c.seq % kPruneEvery == 0) Prune(store, c.seq);
    return;
  }
  if (unrecorded_noted_) return;
  unrecorded_noted_ = true;
  sqlite3_stmt *st = store.Prepared(kNewestOp);
  {
    StmtScope scope(st);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) store.Fail("history");
    if (rc == SQLITE_ROW && sqlite3_column_int(st, 0) == TQREG_OP_UNRECORDED) return;
  }
  Change marker;
  marker.op = TQREG_OP_UNRECORDED;
  Insert(store, marker);
}

void Journal::Insert(Store &store, Change &c) {
  if (!who_known_) LearnWriter();
  c.time_ms = NowMs();
  c.pid = pid_;
  c.uid = uid_;
  c.process = process_;
  sqlite3_stmt *st = store.Prepared(kInsert);
  sqlite3_bind_int64(st, 1, c.time_ms);
  sqlite3_bind_int64(st, 2, c.pid);
  BindBytes(st, 3, c.process);
  sqlite3_bind_int64(st, 4, c.uid);
  sqlite3_bind_int64(st, 5, c.op);
  BindBytes(st, 6, c.path);
  BindBytes(st, 7, c.name);
  if (c.has_old) {
    sqlite3_bind_int64(st, 8, c.old_type);
    BindBytes(st, 9, c.old_data);
    sqlite3_bind_int64(st, 10, c.old_seq);
  } else if (c.op == TQREG_OP_KEY_DELETED) {
    BindBytes(st, 9, c.old_data);
  }
  if (c.has_new) {
    sqlite3_bind_int64(st, 11, c.new_type);
    BindBytes(st, 12, c.new_data);
  }
  store.Run(st);
  c.seq = sqlite3_last_insert_rowid(store.db());
}

void Journal::Prune(Store &store, int64_t newest) {
  if (newest <= keep_) return;
  sqlite3_stmt *st = store.Prepared(kPrune);
  sqlite3_bind_int64(st, 1, newest - keep_);
  store.Run(st);
}

int64_t Journal::CheckpointSeq(Store &store, const std::string &name) {
  sqlite3_stmt *st = store.Prepared(kCheckpoint);
  StmtScope scope(st);
  BindBytes(st, 1, name);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return sqlite3_column_int64(st, 0);
  if (rc != SQLITE_DONE) store.Fail("checkpoint");
  return 0;
}

void Journal::SetCheckpoint(Store &store, const std::string &name, int64_t seq,
                            int64_t time_ms) {
  sqlite3_stmt *st = store.Prepared(kSetCheckpoint);
  BindBytes(st, 1, name);
  sqlite3_bind_int64(st, 2, seq);
  sqlite3_bind_int64(st, 3, time_ms);
  store.Run(st);
}

std::string Journal::MissingHistory(Store &store, int64_t seq) {
  // Rows are pruned oldest first: while the checkpoint's own row is there,
  // so is everything after it.
  for (const char *sql : {kHasRow, kUnrecordedAfter}) {
    sqlite3_stmt *st = store.Prepared(sql);
    StmtScope scope(st);
    sqlite3_bind_int64(st, 1, seq);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) store.Fail("history");
    if (sql == kHasRow && rc != SQLITE_ROW)
      return "the history since it was pruned (TQ_REGISTRY_HISTORY keeps the last " +
             std::to_string(keep_) + " changes)";
    if (sql == kUnrecordedAfter && rc == SQLITE_ROW)
      return "changes were made since with history recording off";
  }
  return "";
}

int64_t Journal::Newest(Store &store) {
  sqlite3_stmt *st = store.Prepared(kNewest);
  StmtScope scope(st);
  if (sqlite3_step(st) != SQLITE_ROW) store.Fail("history");
  return sqlite3_column_int64(st, 0);
}

void Journal::Load(Store &store, int64_t after, size_t limit, std::vector<Change> *out) {
  sqlite3_stmt *st = store.Prepared(kLoad);
  StmtScope scope(st);
  sqlite3_bind_int64(st, 1, after);
  sqlite3_bind_int64(st, 2, static_cast<int64_t>(limit));
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    Change c;
    c.seq = sqlite3_column_int64(st, 0);
    c.time_ms = sqlite3_column_int64(st, 1);
    c.pid = sqlite3_column_int(st, 2);
    c.process = ColumnText(st, 3);
    c.uid = static_cast<uint32_t>(sqlite3_column_int64(st, 4));
    c.op = sqlite3_column_int(st, 5);
    c.path = ColumnText(st, 6);
    c.name = ColumnText(st, 7);
    c.has_old = sqlite3_column_type(st, 8) != SQLITE_NULL;
    c.old_type = static_cast<uint32_t>(sqlite3_column_int64(st, 8));
    c.old_data = ColumnText(st, 9);
    c.old_seq = sqlite3_column_int64(st, 10);
    c.has_new = sqlite3_column_type(st, 11) != SQLITE_NULL;
    c.new_type = static_cast<uint32_t>(sqlite3_column_int64(st, 11));
    c.new_data = ColumnText(st, 12);
    out->push_back(std::move(c));
  }
  if (rc != SQLITE_DONE) store.Fail("history");
}

void Journal::LoadCheckpoints(Store &store, std::vector<Checkpoint> *out) {
  sqlite3_stmt *st = store.Prepared(kCheckpoints);
  StmtScope scope(st);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    out->push_back(Checkpoint{ColumnText(st, 0), sqlite3_column_int64(st, 1),
                              sqlite3_column_int64(st, 2), sqlite3_column_int(st, 3) != 0});
  if (rc != SQLITE_DONE) store.Fail("checkpoints");
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
