// Durability and faults: write batches (one transaction, all or nothing for
// every reader), flushes, and registries that are broken, unwritable or
// locked. Each failure has its code, a text naming the database and the
// cause, and (for writes) a line in the error log.
#include <signal.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "raw.h"
#include "trace_log.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

const std::string kKey = "SOFTWARE\\F";

class FaultTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    log_ = regdir_ + ".log";
    setenv("TQ_TDERROR_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TQ_TDERROR_LOG");
    unlink(log_.c_str());
    RegistryTest::TearDown();
  }
  std::string Where() const { return "ctx0.db in " + regdir_; }
  // A raw number write under kKey: its status.
  static int Write(const std::string &name, uint32_t n) {
    TQHKEY h = OpenRaw(kKey);
    int rc = h ? TQREG_OK : TqkRegCreateKey(Root(), kKey.c_str(), &h);
    if (rc != TQREG_OK) return rc;
    rc = TqkRegSetValueEx(h, name.c_str(), 0, TQREG_DWORD, &n, 4);
    TqkRegCloseKey(h);
    return rc;
  }
  // How many of "v0".."v<count-1>" another process (a fresh connection) sees.
  static int SeenElsewhere(int count) {
    return Wait(Spawn([count] {
      int seen = 0;
      for (int i = 0; i < count; ++i) seen += GetNum(kKey, "v" + std::to_string(i)) == i;
      return seen;
    }));
  }
  std::string log_;
};

TEST_F(FaultTest, BatchesNestAndOthersSeeAllOrNothing) {
  // The second begin joins the outer batch.
  ASSERT_EQ((Ints{TQREG_OK, TQREG_OK, TQREG_OK}), (Ints{Write("committed", 7), TqkRegBeginBatch(), TqkRegBeginBatch()}));
  for (int i = 0; i < 3; ++i) Write("v" + std::to_string(i), i);
  EXPECT_EQ(2, GetNum(kKey, "v2"));  // the batch's own thread reads its writes
  std::atomic<int64_t> seen_by_thread{-2};
  std::thread reader([&] { seen_by_thread = GetNum(kKey, "v0"); });
  usleep(100 * 1000);
  EXPECT_EQ(-2, seen_by_thread.load()) << "another thread read inside the batch";
  // Refused writes fail alone; an inner end commits nothing; a child forked
  // inside the batch reads through a connection of its own; an end without a
  // begin is refused.
  EXPECT_EQ((Ints{TQREG_E_LIMIT, TQREG_E_BADHANDLE, 0, 7, TQREG_OK, 0, TQREG_OK}),
            (Ints{Write(std::string(TQREG_MAX_VALUE_NAME + 1, 'n'), 1),
                  TqkRegSetValueEx(0x7ffff, "x", 0, TQREG_SZ, "", 1), SeenElsewhere(3),
                  Wait(Spawn([] { return static_cast<int>(GetNum(kKey, "committed")); })),
                  TqkRegEndBatch(1), SeenElsewhere(3), TqkRegEndBatch(1)}));
  reader.join();
  EXPECT_EQ((Ints{0, 3, TQREG_E_INVALID}),
            (Ints{static_cast<int>(seen_by_thread.load()), SeenElsewhere(3), TqkRegEndBatch(1)}));
  // An abandoned inner batch rolls the outer one back; so does a reset.
  for (bool reset : {false, true}) {
    ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
    Write("v0", 9);
    MakeKey(kKey + "\\Child");
    if (reset)
      EXPECT_EQ((Ints{TQREG_OK, TQREG_E_IO, TQREG_E_IO}),
                (Ints{TqkResetGlobalEntries(), Write("v1", 9), TqkRegEndBatch(1)}));
    else
      EXPECT_EQ((Ints{TQREG_OK, TQREG_OK, TQREG_OK}),
                (Ints{TqkRegBeginBatch(), TqkRegEndBatch(0), TqkRegEndBatch(1)}));
    EXPECT_EQ((Ints{0, 0}), (Ints{static_cast<int>(GetNum(kKey, "v0")), KeyExists(kKey + "\\Child")})) << reset;
  }
}

// Writers killed at random points: every acknowledged write is there, a
// batch is all or nothing, and the database file stays intact.
TEST_F(FaultTest, KilledWritersLoseNoAcknowledgedWrite) {
  unsigned seed = 7;
  for (int round = 0; round < 30; ++round) {
    const bool batch = round % 3 == 2;  // killed with its batch still open
    const std::string prefix = "r" + std::to_string(round) + "_";
    int acks[2];
    ASSERT_EQ(0, pipe(acks));
    pid_t pid = Spawn([&] {
      if (batch && TqkRegBeginBatch() != TQREG_OK) return 1;
      for (int i = 0;; ++i) {
        if (Write(prefix + std::to_string(i), i) != TQREG_OK) return 2;
        if ((!batch || i == 300) && write(acks[1], &i, sizeof i) != sizeof i) return 3;
      }
    });
    close(acks[1]);
    int i = -1, last = -1, stop = batch ? 0 : static_cast<int>(rand_r(&seed) % 300);
    while (last < stop && read(acks[0], &i, sizeof i) == sizeof i) last = i;
    kill(pid, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, Wait(pid));
    while (read(acks[0], &i, sizeof i) == sizeof i) last = i;  // sent before the kill
    close(acks[0]);
    EXPECT_EQ(batch ? -1 : 0, GetNum(kKey, prefix + "0")) << "half a batch, or a lost write";
    for (int k = 0; !batch && k <= last; ++k) {
      ASSERT_EQ(k, GetNum(kKey, prefix + std::to_string(k)));
    }
  }
  std::string check = "sqlite3 " + regdir_ + "/ctx0.db 'pragma integrity_check' > " + regdir_ + "/ic";
  EXPECT_TRUE(system(check.c_str()) != 0 || ReadFile(regdir_ + "/ic") == "ok\n");
}

// tqprod set flushes to disk before it returns, unless TQ_REGISTRY_SYNC=normal.
TEST_F(FaultTest, AnAcknowledgedWriteIsFlushed) {
  if (system("command -v strace >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
  const char *emulator = getenv("TQ_TEST_EMULATOR");
  auto flushes = [&](const char *env, int value) {
    std::string log = regdir_ + "/strace.log";
    // (LeakSanitizer cannot trace a process that strace traces.)
    std::string cmd = std::string("env ") + env + " ASAN_OPTIONS=detect_leaks=0 TQ_REGISTRY_DIR=" + regdir_ +
                      " strace -f -qq -e trace=fsync,fdatasync -o " + log + " " +
                      (emulator ? emulator : "") + " " + getenv("TQ_TOOL") +
                      " set 'SOFTWARE\\D' v number " + std::to_string(value) + " >/dev/null 2>&1";
    if (system(cmd.c_str()) != 0) return -1;
    int n = 0;
    for (const std::string &line : Lines(ReadFile(log))) n += line.find("sync(") != std::string::npos;
    return n;
  };
  EXPECT_GE(flushes("-u TQ_REGISTRY_SYNC", 1), 1);
  EXPECT_EQ(0, flushes("TQ_REGISTRY_SYNC=normal", 2));
}

TEST_F(FaultTest, LastErrorIsPerThreadAndFailedWritesAreLogged) {
  TqkRegSetLastError(0);
  EXPECT_EQ(0, OpenRaw("SOFTWARE\\None"));
  EXPECT_EQ(Where() + ": not found", std::string(TqkRegGetLastErrorText()));
  // A success leaves the last error; another thread has its own.
  EXPECT_EQ((Ints{TQREG_E_NOTFOUND, TQREG_OK, TQREG_E_NOTFOUND}),
            (Ints{TqkRegGetLastError(), Write("v", 1), TqkRegGetLastError()}));
  std::thread([] {
    EXPECT_EQ((Ints{0, TQREG_E_INVALID, TQREG_E_INVALID}),
              (Ints{TqkRegGetLastError(), TqkRegOpenKeyEx(Root(), nullptr, 0, 0, nullptr),
                    TqkRegGetLastError()}));
  }).join();
  EXPECT_EQ((Ints{TQREG_E_NOTFOUND, TQREG_E_LIMIT, TQREG_OK}),
            (Ints{TqkRegGetLastError(), Write(std::string(TQREG_MAX_VALUE_NAME + 1, 'n'), 1),
                  Write(std::string(TQREG_MAX_VALUE_NAME, 'n'), 1)}));
  EXPECT_NE(std::string::npos, ReadFile(log_).find("REGISTRY 1 1450 write failed: " + Where() +
                                                   ": a size or depth limit was exceeded; key \"" +
                                                   kKey + "\"; value \"nnn"));
}

TEST_F(FaultTest, ReadsNeverCreateARegistry) {
  std::string dir = regdir_ + "/new/reg";
  setenv("TQ_REGISTRY_DIR", dir.c_str(), 1);
  // Reads find nothing and make no directory; the first write makes it.
  ASSERT_EQ((Ints{TQREG_OK, -1, 0, -1, TQREG_OK, 0}),
            (Ints{TqkResetGlobalEntries(), static_cast<int>(GetNum(kKey, "v")),
                  static_cast<int>(TQPRODIS_GetVarFromRegistry(kKey.c_str(), "v", 1)), access((regdir_ + "/new").c_str(), F_OK),
                  Write("v", 5), access((dir + "/ctx0.db").c_str(), F_OK)}));
  // A directory that cannot be made (below a dangling link): its cause.
  ASSERT_EQ(0, symlink((regdir_ + "/nowhere").c_str(), (regdir_ + "/link").c_str()));
  setenv("TQ_REGISTRY_DIR", (regdir_ + "/link/reg").c_str(), 1);
  ASSERT_EQ((Ints{TQREG_OK, TQREG_E_IO}), (Ints{TqkResetGlobalEntries(), Write("v", 5)}));
  EXPECT_EQ("ctx0.db in " + regdir_ +
                "/link/reg: cannot create the directory (No such file or directory)",
            std::string(TqkRegGetLastErrorText()));
  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
}

TEST_F(FaultTest, BrokenDatabaseFailsFastWithItsCauseUntilTheFileChanges) {
  std::string db = regdir_ + "/ctx0.db";
  for (const std::string &content : {std::string(5000, 'g'), std::string("SQLite format 3")}) {
    setenv("TQ_REGISTRY_DIR", (regdir_ + "/elsewhere").c_str(), 1);
    ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());  // lets go of the database
    for (const char *suffix : {"-wal", "-shm"}) unlink((db + suffix).c_str());
    WriteFile(db, content);
    setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
    ASSERT_EQ(TQREG_E_CORRUPT, TqkResetGlobalEntries());
    time_t start = time(nullptr);
    for (int i = 0; i < 20; ++i)
      EXPECT_EQ((Ints{0, TQREG_E_CORRUPT}),
                (Ints{static_cast<int>(TQPRODIS_GetVarFromRegistry(kKey.c_str(), "v", 0)), Write("v", 1)}));
    EXPECT_LT(time(nullptr) - start, 5) << "retried: the old code took a second per call";
    EXPECT_EQ(Where() + ": not a registry database, or corrupt", std::string(TqkRegGetLastErrorText()));
  }
  unlink(db.c_str());
  EXPECT_EQ((Ints{TQREG_OK, 7}), (Ints{Write("v", 7), static_cast<int>(GetNum(kKey, "v"))})) << "a replaced file is tried again";
}

// An existing registry this process may not write is read; writes fail
// with 5 and a log line. Runs as an unprivileged user (root writes anywhere).
TEST_F(FaultTest, UnwritableRegistryIsReadAndRefusesWrites) {
  ASSERT_EQ(TQREG_OK, Write("v", 3));
  WriteFile(log_, "");
  chmod(log_.c_str(), 0666);
  for (std::string what : {"directory", "file"}) {
    chmod(regdir_.c_str(), what == "file" ? 0777 : 0555);
    chmod((regdir_ + "/ctx0.db").c_str(), what == "file" ? 0444 : 0666);
    std::string want = Where() + ": not writable (read-only " + what + ")";
    EXPECT_EQ(0, Wait(Spawn([&] {
                if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 90;
                if (TqkResetGlobalEntries() != TQREG_OK || GetNum(kKey, "v") != 3) return 91;
                if (Write("v", 4) != TQREG_E_ACCESS || want != TqkRegGetLastErrorText()) return 92;
                return ReadFile(log_).find(want + "; key \"" + kKey + "\"; value \"v\"") ==
                               std::string::npos ? 93 : 0;
              })))
        << what;
  }
  chmod(regdir_.c_str(), 0755);
  chmod((regdir_ + "/ctx0.db").c_str(), 0644);
  EXPECT_EQ(3, GetNum(kKey, "v"));
}

TEST_F(FaultTest, ALockHeldPastTheBusyTimeoutIsBusy) {
  ASSERT_EQ(TQREG_OK, Write("v", 1));
  int ready[2], release[2];
  ASSERT_EQ((Ints{0, 0}), (Ints{pipe(ready), pipe(release)}));
  pid_t pid = Spawn([&] {  // holds the write lock until told to let go
    char c = 0;
    if (TqkRegBeginBatch() != TQREG_OK || Write("held", 1) != TQREG_OK) return 1;
    if (write(ready[1], &c, 1) != 1 || read(release[0], &c, 1) != 1) return 1;
    return TqkRegEndBatch(0);
  });
  char c = 0;
  ASSERT_EQ(1, read(ready[0], &c, 1));
  setenv("TQ_REGISTRY_BUSY_MS", "200", 1);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  // A reader does not wait for the writer; a writer gives up.
  EXPECT_EQ((Ints{1, TQREG_E_BUSY}), (Ints{static_cast<int>(GetNum(kKey, "v")), Write("v", 2)}));
  EXPECT_EQ(Where() + ": busy: another process held the write lock past the busy timeout",
            std::string(TqkRegGetLastErrorText()));
  ASSERT_EQ(1, write(release[1], &c, 1));
  EXPECT_EQ(0, Wait(pid));
  EXPECT_EQ(TQREG_OK, Write("v", 2));
  unsetenv("TQ_REGISTRY_BUSY_MS");
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

// A reset in another thread between the lookup of a key and the making of
// its handle must never leave a handle on a key id of the other database.
TEST_F(FaultTest, HandlesNeverCrossAResetInAnotherThread) {
  for (int ctx = 1; ctx >= 0; --ctx) {  // the same ids name different keys
    setenv("TQ_REGISTRY_DIR", (ctx ? regdir_ + "/second" : regdir_).c_str(), 1);
    ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
    for (int i = 0; i < 20; ++i) PutNum("K" + std::to_string(i) + (ctx ? "b" : "a"), "ctx", ctx);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> crossed{0};
  std::thread opener([&] {
    for (int n = 0; !stop; ++n) {
      TQHKEY h = OpenRaw("K" + std::to_string(n % 20) + "a");
      uint32_t v = 0;
      unsigned size = 4;
      if (h && TqkRegQueryValueEx(h, "ctx", nullptr, nullptr, &v, &size) == TQREG_OK && v) ++crossed;
      TqkRegCloseKey(h);
    }
  });
  for (int i = 0; i < 300; ++i) TqkResetGlobalEntries();
  stop = true;
  opener.join();
  EXPECT_EQ(0, crossed.load());
}

}  // namespace
