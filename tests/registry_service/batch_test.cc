// Write batches: one transaction for many writes, all or nothing for every
// reader, nesting, writes that fail alone, and the batch's owner thread.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "raw.h"
#include "trace_log.h"
#include "tq_test.h"

namespace {

using tqtest::GetNum;
using tqtest::PutNum;

const std::string kKey = "SOFTWARE\\Batch";

// What another process (a child forked now, with its own connection) reads:
// the number of "vN" values present under kKey for N in [0, count).
int SeenByOtherProcess(int count) {
  pid_t pid = fork();
  if (pid == 0) {
    int seen = 0;
    for (int i = 0; i < count; ++i) seen += GetNum(kKey, "v" + std::to_string(i)) == i;
    _exit(seen);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BatchTest : public tqtest::RegistryTest {};

TEST_F(BatchTest, OtherProcessesSeeAllOfABatchOrNone) {
  tqtest::MakeKey(kKey);
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());  // nested: joins the outer batch
  for (int i = 0; i < 3; ++i) PutNum(kKey, "v" + std::to_string(i), i);
  EXPECT_EQ(3, GetNum(kKey, "v2") + 1);  // the batch's own thread reads its writes
  EXPECT_EQ(0, SeenByOtherProcess(3));
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(1));
  EXPECT_EQ(0, SeenByOtherProcess(3)) << "an inner end must not commit";
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(1));
  EXPECT_EQ(3, SeenByOtherProcess(3));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegEndBatch(1)) << "an end without a begin";
}

TEST_F(BatchTest, AbandonedBatchRollsBackEverything) {
  tqtest::MakeKey(kKey);
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  PutNum(kKey, "v0", 0);
  tqtest::MakeKey(kKey + "\\Child");
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(0));  // the inner end abandons ...
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(1));  // ... so the outer end rolls back
  EXPECT_EQ(-1, GetNum(kKey, "v0"));
  EXPECT_FALSE(tqtest::KeyExists(kKey + "\\Child"));
  PutNum(kKey, "v1", 1);  // writes go on one by one afterwards
  EXPECT_EQ(2, SeenByOtherProcess(2) + 1);
}

TEST_F(BatchTest, AWriteThatFailsOnItsOwnFailsAlone) {
  tqtest::MakeKey(kKey);
  TQHKEY h = tqtest::OpenRaw(kKey);
  ASSERT_NE(0u, h);
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  uint32_t n = 0;
  EXPECT_EQ(TQREG_OK, TqkRegSetValueEx(h, "v0", 0, TQREG_DWORD, &n, 4));
  std::string too_long(TQREG_MAX_VALUE_NAME + 1, 'x');
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegSetValueEx(h, too_long.c_str(), 0, TQREG_DWORD, &n, 4));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegSetValueEx(h + 1, "v9", 0, TQREG_DWORD, &n, 4));
  TQHKEY sub = 0;
  EXPECT_EQ(TQREG_OK, TqkRegCreateKey(h, "Sub", &sub));
  EXPECT_EQ(TQREG_OK, TqkRegDeleteKey(h, "Sub"));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegSetValueEx(sub, "v1", 0, TQREG_DWORD, &n, 4));
  n = 1;
  EXPECT_EQ(TQREG_OK, TqkRegSetValueEx(h, "v1", 0, TQREG_DWORD, &n, 4));
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(1));
  EXPECT_EQ(2, SeenByOtherProcess(2));
  TqkRegCloseKey(sub);
  TqkRegCloseKey(h);
}

TEST_F(BatchTest, OtherThreadsWaitForTheEnd) {
  tqtest::MakeKey(kKey);
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  PutNum(kKey, "v0", 0);
  std::atomic<int64_t> read_by_thread{-2};
  std::thread reader([&] { read_by_thread = GetNum(kKey, "v0"); });
  usleep(100 * 1000);
  EXPECT_EQ(-2, read_by_thread.load()) << "the thread read inside another thread's batch";
  PutNum(kKey, "v0", 7);
  EXPECT_EQ(TQREG_OK, TqkRegEndBatch(1));
  reader.join();
  EXPECT_EQ(7, read_by_thread.load());
}

TEST_F(BatchTest, ResetInsideABatchRollsItBack) {
  tqtest::MakeKey(kKey);
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  PutNum(kKey, "v0", 0);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  uint32_t n = 1;
  EXPECT_EQ(TQREG_E_IO, TqkRegSetValueEx(tqtest::Root(), "v1", 0, TQREG_DWORD, &n, 4));
  EXPECT_EQ(TQREG_E_IO, TqkRegEndBatch(1));
  EXPECT_EQ(-1, GetNum(kKey, "v0"));
  PutNum(kKey, "v1", 1);
  EXPECT_EQ(1, GetNum(kKey, "v1"));
}

// A writer killed in the middle of a batch leaves nothing of it behind.
TEST_F(BatchTest, ACrashInsideABatchLeavesNothing) {
  tqtest::MakeKey(kKey);
  for (int round = 0; round < 5; ++round) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t pid = fork();
    if (pid == 0) {
      close(ready[0]);
      if (TqkRegBeginBatch() != TQREG_OK) _exit(1);
      for (int i = 0; i < 200 * (round + 1); ++i) PutNum(kKey, "v" + std::to_string(i), i);
      char c = 1;
      if (write(ready[1], &c, 1) != 1) _exit(1);
      for (int i = 0;; ++i) PutNum(kKey, "w" + std::to_string(i % 50000), i);
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    close(ready[0]);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(0, SeenByOtherProcess(200));
    EXPECT_EQ(-1, GetNum(kKey, "w0"));
    EXPECT_EQ(-1, GetNum(kKey, "v0"));
  }
  PutNum(kKey, "v0", 0);
  EXPECT_EQ(1, SeenByOtherProcess(1));
}

}  // namespace

namespace {

// Flushes to disk (fsync, fdatasync) made by `tqprod set`, counted by strace;
// -1 when strace is not there.
int FlushesOfOneSet(const std::string &regdir, const char *sync_mode) {
  static int value = 0;  // a new value each time, so that each set writes
  if (system("command -v strace >/dev/null 2>&1") != 0) return -1;
  const char *tool = getenv("TQ_TOOL");
  const char *emulator = getenv("TQ_TEST_EMULATOR");
  std::string log = regdir + "/strace.log";
  std::string cmd = std::string("env ") + (sync_mode ? "TQ_REGISTRY_SYNC=" : "-u ") +
                    (sync_mode ? sync_mode : "TQ_REGISTRY_SYNC") + " TQ_REGISTRY_DIR=" + regdir +
                    " strace -f -qq -e trace=fsync,fdatasync -o " + log + " " +
                    (emulator ? emulator : "") + " " + tool +
                    " set 'SOFTWARE\\D' v number " + std::to_string(++value) + " >/dev/null 2>&1";
  if (system(cmd.c_str()) != 0) return -2;
  int n = 0;
  for (const std::string &line : tqtest::Lines(tqtest::ReadFile(log)))
    n += line.find("sync(") != std::string::npos;
  return n;
}

TEST_F(BatchTest, AnAcknowledgedWriteIsFlushedUnlessSyncIsNormal) {
  ASSERT_EQ(0, FlushesOfOneSet(regdir_, "normal") < 0 ? -1 : 0);  // creates the registry
  int durable = FlushesOfOneSet(regdir_, nullptr);
  if (durable == -1) GTEST_SKIP() << "strace is not installed";
  EXPECT_GE(durable, 1);
  EXPECT_EQ(0, FlushesOfOneSet(regdir_, "normal"));
}

}  // namespace
