// Read-path cost of the registry service against plain SQLite.
//
// The registry is populated with a few thousand keys shaped like the
// product registry (products, version keys, service packs, flags). The
// reference is one raw SQLite point query (prepared statement, primary-key
// lookup of one value row) on a separate connection to the same database
// file; a flag getter (a versioned TQPRODIS_GetVarFromRegistry of a number)
// should cost no more than that.
//
//   registry_service_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "tqprod50.h"

namespace {

constexpr int kProducts = 40;
constexpr int kSubkeysPerVersion = 60;
constexpr int kFlags = 80;
constexpr int kWideChildren = 1000;

std::string g_dir;
std::string g_db;

TQHKEY Root() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

void SetNum(TQHKEY h, const char *name, uint32_t n) {
  TqkRegSetValueEx(h, name, 0, TQREG_DWORD, &n, 4);
}

void SetStr(TQHKEY h, const char *name, const char *s) {
  TqkRegSetValueEx(h, name, 0, TQREG_SZ, s, static_cast<unsigned>(strlen(s) + 1));
}

// About 40 * (2 + 60) + 1000 keys: a few thousand.
void Populate() {
  char name[64];
  for (int p = 0; p < kProducts; ++p) {
    std::string prod = p == 0 ? "SOFTWARE\\Tarquel\\MRK"
                              : "SOFTWARE\\Tarquel\\Prod" + std::to_string(p);
    TQHKEY pk = 0, vk = 0;
    TqkRegCreateKey(Root(), prod.c_str(), &pk);
    SetStr(pk, "CurrentVersion", "R80.40");
    TqkRegCreateKey(pk, "R80.40", &vk);
    for (int f = 0; f < kFlags; ++f) {
      snprintf(name, sizeof name, "Flag%03d", f);
      SetNum(vk, name, static_cast<uint32_t>(f & 1));
    }
    SetNum(vk, "HighAvailability", 1);
    SetStr(vk, "FWDIR", "/opt/tq/fw1/R80.40");
    for (int s = 0; s < kSubkeysPerVersion; ++s) {
      TQHKEY sk = 0;
      snprintf(name, sizeof name, "Sub%03d", s);
      TqkRegCreateKey(vk, name, &sk);
      SetNum(sk, "Value", static_cast<uint32_t>(s));
      TqkRegCloseKey(sk);
    }
    TqkRegCloseKey(vk);
    TqkRegCloseKey(pk);
  }
  TQHKEY wide = 0;
  TqkRegCreateKey(Root(), "SOFTWARE\\Tarquel\\Wide", &wide);
  for (int c = 0; c < kWideChildren; ++c) {
    TQHKEY ck = 0;
    snprintf(name, sizeof name, "Child%04d", c);
    TqkRegCreateKey(wide, name, &ck);
    TqkRegCloseKey(ck);
  }
  TqkRegCloseKey(wide);
}

// Id of SOFTWARE\Tarquel\MRK\R80.40, straight from the tables.
sqlite3_int64 MrkVersionKeyId(sqlite3 *db) {
  sqlite3_stmt *find = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT v.id FROM keys s JOIN keys t ON t.parent = s.id JOIN keys m ON"
                     " m.parent = t.id JOIN keys v ON v.parent = m.id WHERE s.parent = 1 AND"
                     " s.name = 'SOFTWARE' AND t.name = 'Tarquel' AND m.name = 'MRK' AND"
                     " v.name = 'R80.40'",
                     -1, &find, nullptr);
  sqlite3_int64 key = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
  sqlite3_finalize(find);
  return key;
}

void BM_GetVarVersionedFlag(benchmark::State &state) {
  for (auto _ : state) {
    TQREGVAR v = TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "HighAvailability", 1);
    benchmark::DoNotOptimize(v);
    if (v != 1) state.SkipWithError("wrong flag value");
  }
}
BENCHMARK(BM_GetVarVersionedFlag);

void BM_GetVarVersionedString(benchmark::State &state) {
  for (auto _ : state) {
    TQREGVAR v = TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\Prod7", "FWDIR", 1);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_GetVarVersionedString);

// The library's typed read: OpenProductKey picks the version, the value is
// formatted as decimal text.
void BM_TqprodGetValueVersioned(benchmark::State &state) {
  for (auto _ : state) {
    const char *v = TQPROD_GetValue("MRK", "HighAvailability", 1);
    benchmark::DoNotOptimize(v);
    if (v == nullptr || strcmp(v, "1") != 0) state.SkipWithError("wrong value text");
  }
}
BENCHMARK(BM_TqprodGetValueVersioned);

// The reference: one prepared primary-key lookup of a value row.
void BM_RawSqlitePointQuery(benchmark::State &state) {
  sqlite3 *db = nullptr;
  sqlite3_open_v2(g_db.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_busy_timeout(db, 10000);
  sqlite3_stmt *st = nullptr;
  sqlite3_int64 key = MrkVersionKeyId(db);
  sqlite3_prepare_v3(db, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2", -1,
                     SQLITE_PREPARE_PERSISTENT, &st, nullptr);
  if (key == 0 || st == nullptr) state.SkipWithError("setup failed");
  for (auto _ : state) {
    sqlite3_bind_int64(st, 1, key);
    sqlite3_bind_text(st, 2, "HighAvailability", -1, SQLITE_STATIC);
    int n = -1;
    if (sqlite3_step(st) == SQLITE_ROW) {
      const void *p = sqlite3_column_blob(st, 1);
      if (p && sqlite3_column_bytes(st, 1) == 4) memcpy(&n, p, 4);
    }
    sqlite3_reset(st);
    benchmark::DoNotOptimize(n);
    if (n != 1) state.SkipWithError("wrong raw value");
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}
BENCHMARK(BM_RawSqlitePointQuery);

// The library's flag getter and setter (versioned firewall flag).
void BM_FlagRead_FwIsHighAvail(benchmark::State &state) {
  for (auto _ : state) {
    int v = FwIsHighAvail();
    benchmark::DoNotOptimize(v);
    if (v != 1) state.SkipWithError("wrong flag value");
  }
}
BENCHMARK(BM_FlagRead_FwIsHighAvail);

// Each write changes the value, so every iteration commits (and, unless
// TQ_REGISTRY_SYNC=normal, flushes).
void BM_FlagWrite_FwSetHighAvail(benchmark::State &state) {
  unsigned n = 0;
  for (auto _ : state) {
    n = n == 2 ? 3 : 2;
    if (FwSetHighAvail(n) != 0) state.SkipWithError("flag write failed");
  }
  FwSetHighAvail(1);
}
BENCHMARK(BM_FlagWrite_FwSetHighAvail)->UseRealTime();

// The yardstick of a write: one autocommit UPDATE of one row, in the same
// WAL and sync mode as the registry.
void BM_RawSingleRowWrite(benchmark::State &state) {
  sqlite3 *db = nullptr;
  sqlite3_open_v2(g_db.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_busy_timeout(db, 10000);
  const char *sync = getenv("TQ_REGISTRY_SYNC");
  sqlite3_exec(db, sync && strcmp(sync, "normal") == 0 ? "PRAGMA synchronous = NORMAL"
                                                       : "PRAGMA synchronous = FULL",
               nullptr, nullptr, nullptr);
  sqlite3_stmt *st = nullptr;
  sqlite3_prepare_v2(db, "UPDATE vals SET data = ?2 WHERE key = ?1 AND name = 'Flag000'", -1,
                     &st, nullptr);
  sqlite3_int64 key = MrkVersionKeyId(db);
  int32_t n = 0;
  for (auto _ : state) {
    n = n == 2 ? 3 : 2;
    sqlite3_bind_int64(st, 1, key);
    sqlite3_bind_blob(st, 2, &n, 4, SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("raw write failed");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}
BENCHMARK(BM_RawSingleRowWrite)->UseRealTime();

void BM_OpenKeyByPath(benchmark::State &state) {
  for (auto _ : state) {
    TQHKEY h = 0;
    if (TqkRegOpenKeyEx(Root(), "SOFTWARE\\Tarquel\\Prod12\\R80.40\\Sub042", 0, 0, &h) != 0)
      state.SkipWithError("open failed");
    TqkRegCloseKey(h);
  }
}
BENCHMARK(BM_OpenKeyByPath);

// Cost per call must not grow with the index.
void BM_EnumKeyAtIndex(benchmark::State &state) {
  TQHKEY wide = 0;
  TqkRegOpenKeyEx(Root(), "SOFTWARE\\Tarquel\\Wide", 0, 0, &wide);
  unsigned index = static_cast<unsigned>(state.range(0));
  char name[200];
  for (auto _ : state) {
    if (TqkRegEnumKey(wide, index, name, sizeof name) != 0) state.SkipWithError("enum failed");
    benchmark::DoNotOptimize(name);
  }
  TqkRegCloseKey(wide);
}
BENCHMARK(BM_EnumKeyAtIndex)->Arg(0)->Arg(kWideChildren / 2)->Arg(kWideChildren - 1);

// Worst case of the cache: another connection changes the flag before
// every read (untimed), so each read notices the commit, drops the cache
// and reloads what it needs; the value read must be the new one.
void BM_GetVarAfterForeignWrite(benchmark::State &state) {
  sqlite3 *db = nullptr;
  sqlite3_open_v2(g_db.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_busy_timeout(db, 10000);
  sqlite3_stmt *st = nullptr;
  sqlite3_prepare_v2(db, "UPDATE vals SET data = ?2 WHERE key = ?1 AND name = 'HighAvailability'",
                     -1, &st, nullptr);
  sqlite3_int64 key = MrkVersionKeyId(db);
  int32_t n = 1;
  for (auto _ : state) {
    state.PauseTiming();
    n = n == 1 ? 2 : 1;
    sqlite3_bind_int64(st, 1, key);
    sqlite3_bind_blob(st, 2, &n, 4, SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_DONE || sqlite3_changes(db) != 1)
      state.SkipWithError("foreign write failed");
    sqlite3_reset(st);
    state.ResumeTiming();
    TQREGVAR v = TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "HighAvailability", 1);
    if (v != n) state.SkipWithError("stale value read");
  }
  n = 1;
  sqlite3_bind_int64(st, 1, key);
  sqlite3_bind_blob(st, 2, &n, 4, SQLITE_TRANSIENT);
  sqlite3_step(st);
  sqlite3_finalize(st);
  sqlite3_close(db);
}
BENCHMARK(BM_GetVarAfterForeignWrite);

}  // namespace

int main(int argc, char **argv) {
  char templ[] = "/tmp/tq-regbench-XXXXXX";
  if (mkdtemp(templ) == nullptr) return 1;
  g_dir = templ;
  g_db = g_dir + "/ctx0.db";
  setenv("TQ_REGISTRY_DIR", g_dir.c_str(), 1);
  if (TqkResetGlobalEntries() != 0) return 1;
  Populate();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  TqkResetGlobalEntries();
  std::string cmd = "rm -rf '" + g_dir + "'";
  return system(cmd.c_str()) == 0 ? 0 : 1;
}
