// Registry maintenance at scale: copy, backup, restore and dump of trees of
// 1,000, 10,000 and 100,000 keys with three values each. The cost must grow
// linearly: the "us_per_key" counter should stay flat across sizes (10x the
// keys at most 12x the time).
//
// Two shapes: "tree" (every key has up to 10 subkeys, like the product
// registry) and "wide" (all keys below one parent, which stresses
// enumeration by a large index). Backup and dump only read and are timed
// with a warm read cache; copy and restore write as they walk, and a write
// drops only the cached entries it changed.
//
// The yardstick of copy and restore is RawBulkInsert: the same keys and
// values inserted into a plain SQLite database (same WAL and sync mode as
// the registry: FULL unless TQ_REGISTRY_SYNC=normal) in one transaction.
//
//   maintenance_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "tqprod50.h"

namespace {

enum Shape { kTree = 0, kWide = 1 };

std::string g_top;  // temporary directory of the whole run
std::string g_bound;

TQHKEY Root() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

const char *SourceName(Shape shape) { return shape == kTree ? "Bench\\Tree" : "Bench\\Wide"; }

std::string Dir(Shape shape, int keys) {
  return g_top + "/" + (shape == kTree ? "tree" : "wide") + std::to_string(keys);
}

// Relative path (below the source key) of key i, 1 <= i < keys.
std::string KeyPath(Shape shape, int i, std::vector<std::string> &paths) {
  if (shape == kWide) {
    char name[16];
    snprintf(name, sizeof name, "c%06d", i);
    return name;
  }
  int parent = (i - 1) / 10;
  std::string name = "k" + std::to_string((i - 1) % 10);
  return parent == 0 ? name : paths[parent] + "\\" + name;
}

void Fill(TQHKEY h, int i) {
  char text[64];
  snprintf(text, sizeof text, "Product %d", i);
  TqkRegSetValueEx(h, "Name", 0, TQREG_SZ, text, static_cast<unsigned>(strlen(text) + 1));
  uint32_t n = static_cast<uint32_t>(i);
  TqkRegSetValueEx(h, "Num", 0, TQREG_DWORD, &n, 4);
  snprintf(text, sizeof text, "/opt/tq/product%d", i);
  TqkRegSetValueEx(h, "Dir", 0, TQREG_SZ, text, static_cast<unsigned>(strlen(text) + 1));
}

// Binds the process to the registry of (shape, keys), building it and its
// backup file on first use.
bool Use(Shape shape, int keys) {
  std::string dir = Dir(shape, keys);
  if (g_bound == dir) return true;
  bool fresh = access(dir.c_str(), F_OK) != 0;
  if (fresh) {
    std::string cmd = "mkdir -p '" + dir + "'";
    if (system(cmd.c_str()) != 0) return false;
  }
  setenv("TQ_REGISTRY_DIR", dir.c_str(), 1);
  if (TqkResetGlobalEntries() != 0) return false;
  g_bound = dir;
  if (!fresh) return true;
  std::string base = std::string("SOFTWARE\\Tarquel\\") + SourceName(shape);
  std::vector<std::string> paths(static_cast<size_t>(keys));
  TqkRegBatchScope batch;
  for (int i = 0; i < keys; ++i) {
    if (i > 0) paths[i] = KeyPath(shape, i, paths);
    std::string abs = i == 0 ? base : base + "\\" + paths[i];
    TQHKEY h = 0;
    if (TqkRegCreateKey(Root(), abs.c_str(), &h) != 0) return false;
    Fill(h, i);
    TqkRegCloseKey(h);
  }
  if (batch.End() != TQREG_OK) return false;
  std::string file = dir + "/backup.txt";
  return TQPROD_BackupKey(SourceName(shape), file.c_str()) == 0;
}

void PerKey(benchmark::State &state, int keys) {
  state.counters["keys"] = keys;
  state.counters["us_per_key"] = benchmark::Counter(
      static_cast<double>(keys) * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Copy(benchmark::State &state, Shape shape, int keys) {
  if (!Use(shape, keys)) return state.SkipWithError("setup failed");
  for (auto _ : state) {
    if (TQPROD_CopyKeyRecursive(SourceName(shape), "Bench\\Dst") != 0)
      state.SkipWithError("copy failed");
    state.PauseTiming();
    TQPROD_DelKey("Bench\\Dst");
    state.ResumeTiming();
  }
  PerKey(state, keys);
}

void BM_Backup(benchmark::State &state, Shape shape, int keys) {
  if (!Use(shape, keys)) return state.SkipWithError("setup failed");
  std::string file = Dir(shape, keys) + "/out.txt";
  // One untimed pass fills the service's read cache, so every size is timed
  // in the same (warm) state whatever its iteration count.
  TQPROD_BackupKey(SourceName(shape), file.c_str());
  for (auto _ : state) {
    if (TQPROD_BackupKey(SourceName(shape), file.c_str()) != 0)
      state.SkipWithError("backup failed");
  }
  PerKey(state, keys);
}

void BM_Restore(benchmark::State &state, Shape shape, int keys) {
  if (!Use(shape, keys)) return state.SkipWithError("setup failed");
  std::string file = Dir(shape, keys) + "/backup.txt";
  for (auto _ : state) {
    if (TQPROD_RestoreKey(file.c_str()) != 0) state.SkipWithError("restore failed");
  }
  PerKey(state, keys);
}

void BM_Dump(benchmark::State &state, Shape shape, int keys) {
  if (!Use(shape, keys)) return state.SkipWithError("setup failed");
  if (chdir(Dir(shape, keys).c_str()) != 0) return state.SkipWithError("chdir failed");
  TQPROD_DumpRegistry();  // untimed warm-up, as for the backup
  for (auto _ : state) {
    if (TQPROD_DumpRegistry() != 0) state.SkipWithError("dump failed");
  }
  PerKey(state, keys);
}

bool Exec(sqlite3 *db, const char *sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The same rows as a copy writes (keys with their three values), in the
// registry's own tables and indexes, inserted with prepared statements in
// one transaction.
void BM_RawBulkInsert(benchmark::State &state, Shape shape, int keys) {
  std::string file = Dir(shape, keys) + "-raw.db";
  unlink(file.c_str());
  sqlite3 *db = nullptr;
  sqlite3_open(file.c_str(), &db);
  const char *sync = getenv("TQ_REGISTRY_SYNC");
  bool ok = Exec(db, "PRAGMA journal_mode = WAL") &&
            Exec(db, sync && strcmp(sync, "normal") == 0 ? "PRAGMA synchronous = NORMAL"
                                                          : "PRAGMA synchronous = FULL") &&
            Exec(db, "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER,"
                     " name TEXT COLLATE NOCASE, depth INTEGER);"
                     "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, name);"
                     "CREATE TABLE vals(key INTEGER, name TEXT COLLATE NOCASE, seq INTEGER,"
                     " type INTEGER, data BLOB, PRIMARY KEY(key, name)) WITHOUT ROWID;"
                     "CREATE INDEX vals_by_seq ON vals(key, seq)");
  sqlite3_stmt *key_st = nullptr, *val_st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO keys(id, parent, name, depth) VALUES(?1, ?2, ?3, 0)", -1,
                     &key_st, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO vals VALUES(?1, ?2, ?5, ?3, ?4)", -1, &val_st, nullptr);
  if (!ok || !key_st || !val_st) return state.SkipWithError("raw setup failed");
  auto value = [&](int key, const char *name, int type, const void *data, int size) {
    sqlite3_bind_int(val_st, 5, type == 4 ? 2 : name[0] == 'N' ? 1 : 3);  // creation order
    sqlite3_bind_int(val_st, 1, key);
    sqlite3_bind_text(val_st, 2, name, -1, SQLITE_STATIC);
    sqlite3_bind_int(val_st, 3, type);
    sqlite3_bind_blob(val_st, 4, data, size, SQLITE_TRANSIENT);
    if (sqlite3_step(val_st) != SQLITE_DONE) state.SkipWithError("raw insert failed");
    sqlite3_reset(val_st);
  };
  char text[64];
  for (auto _ : state) {
    Exec(db, "BEGIN");
    for (int i = 0; i < keys; ++i) {
      int parent = shape == kWide ? 0 : (i - 1) / 10;
      snprintf(text, sizeof text, "k%d", i);
      sqlite3_bind_int(key_st, 1, i + 1);
      sqlite3_bind_int(key_st, 2, i == 0 ? -1 : parent + 1);
      sqlite3_bind_text(key_st, 3, text, -1, SQLITE_TRANSIENT);
      if (sqlite3_step(key_st) != SQLITE_DONE) state.SkipWithError("raw insert failed");
      sqlite3_reset(key_st);
      snprintf(text, sizeof text, "Product %d", i);
      value(i + 1, "Name", 1, text, static_cast<int>(strlen(text) + 1));
      uint32_t n = static_cast<uint32_t>(i);
      value(i + 1, "Num", 4, &n, 4);
      snprintf(text, sizeof text, "/opt/tq/product%d", i);
      value(i + 1, "Dir", 1, text, static_cast<int>(strlen(text) + 1));
    }
    if (!Exec(db, "COMMIT")) state.SkipWithError("raw commit failed");
    state.PauseTiming();
    Exec(db, "DELETE FROM vals; DELETE FROM keys");
    state.ResumeTiming();
  }
  sqlite3_finalize(key_st);
  sqlite3_finalize(val_st);
  sqlite3_close(db);
  PerKey(state, keys);
}

using BenchFn = void (*)(benchmark::State &, Shape, int);

void Register(const char *name, BenchFn fn, Shape shape) {
  // Fewer iterations for the large trees: one pass of 100,000 keys takes
  // seconds.
  const std::pair<int, int> sizes[] = {{1000, 10}, {10000, 3}, {100000, 1}};
  for (auto [keys, iterations] : sizes) {
    std::string full = std::string(name) + (shape == kTree ? "/tree/" : "/wide/") +
                       std::to_string(keys);
    benchmark::RegisterBenchmark(full.c_str(), fn, shape, keys)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations)
        ->UseRealTime();
  }
}

}  // namespace

int main(int argc, char **argv) {
  char templ[] = "/tmp/tq-maintbench-XXXXXX";
  if (mkdtemp(templ) == nullptr) return 1;
  g_top = templ;
  // The registry dir of each size is bound before its first benchmark runs.
  for (Shape shape : {kTree, kWide}) {
    Register("RawBulkInsert", BM_RawBulkInsert, shape);
    Register("Copy", BM_Copy, shape);
    Register("Backup", BM_Backup, shape);
    Register("Restore", BM_Restore, shape);
    Register("Dump", BM_Dump, shape);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (chdir("/") != 0) return 1;
  TqkResetGlobalEntries();
  std::string cmd = "rm -rf '" + g_top + "'";
  return system(cmd.c_str()) == 0 ? 0 : 1;
}
