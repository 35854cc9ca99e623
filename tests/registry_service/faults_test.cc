// Faults of the storage: broken and unwritable registries, a full disk, a
// lock held too long. Each fails with its own code, a one-line text naming
// the database and the cause, and (for writes) a line in the error log.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "raw.h"
#include "tq_test.h"

namespace {

using tqtest::GetNum;
using tqtest::PutNum;

class FaultTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    log_ = regdir_ + "/../" + regdir_.substr(regdir_.rfind('/') + 1) + ".log";
    setenv("TQ_TDERROR_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TQ_TDERROR_LOG");
    unlink(log_.c_str());
    RegistryTest::TearDown();
  }
  std::string Where() const { return "ctx0.db in " + regdir_; }
  // A raw number write through the service: its status.
  static int Write(const char *name, uint32_t n) {
    TQHKEY h = tqtest::OpenRaw("SOFTWARE\\F");
    int rc = h ? TQREG_OK : TqkRegCreateKey(tqtest::Root(), "SOFTWARE\\F", &h);
    if (rc != TQREG_OK) return rc;
    rc = TqkRegSetValueEx(h, name, 0, TQREG_DWORD, &n, 4);
    TqkRegCloseKey(h);
    return rc;
  }
  std::string log_;
};

// Runs fn in a child process; its exit status (fn's result).
template <typename Fn>
int InChild(Fn fn) {
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(FaultTest, LastErrorIsPerThreadSetByFailuresAndKeptBySuccess) {
  TqkRegSetLastError(0);
  TQHKEY h = 0;
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegOpenKeyEx(tqtest::Root(), "SOFTWARE\\None", 0, 0, &h));
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegGetLastError());
  EXPECT_EQ(Where() + ": not found", TqkRegGetLastErrorText());
  EXPECT_EQ(TQREG_OK, Write("v", 1));
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegGetLastError()) << "success cleared the last error";
  std::thread other([] {
    EXPECT_EQ(0, TqkRegGetLastError());
    EXPECT_EQ(TQREG_E_INVALID, TqkRegOpenKeyEx(tqtest::Root(), nullptr, 0, 0, nullptr));
    EXPECT_EQ(TQREG_E_INVALID, TqkRegGetLastError());
  });
  other.join();
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegGetLastError());
  TqkRegSetLastError(0);
  EXPECT_EQ(TQREG_E_LIMIT, Write(std::string(TQREG_MAX_VALUE_NAME + 1, 'n').c_str(), 1));
  EXPECT_EQ(TQREG_OK, Write(std::string(TQREG_MAX_VALUE_NAME, 'n').c_str(), 1));
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegGetLastError());
  EXPECT_NE(std::string::npos, tqtest::ReadFile(log_).find(
                                   "REGISTRY 1 1450 write failed: " + Where() +
                                   ": a size or depth limit was exceeded; key \"SOFTWARE\\F\"; value \"nnn"));
}

TEST_F(FaultTest, ReadsNeverCreateARegistry) {
  std::string dir = regdir_ + "/new/reg";
  setenv("TQ_REGISTRY_DIR", dir.c_str(), 1);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_EQ(-1, GetNum("SOFTWARE\\F", "v"));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\F", "v", 1));
  EXPECT_NE(0, access((regdir_ + "/new").c_str(), F_OK));
  EXPECT_EQ(TQREG_OK, Write("v", 5));
  EXPECT_EQ(5, GetNum("SOFTWARE\\F", "v"));
  EXPECT_EQ(0, access((dir + "/ctx0.db").c_str(), F_OK));
  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
}

TEST_F(FaultTest, BrokenDatabaseFailsFastWithItsCauseUntilTheFileChanges) {
  std::string db = regdir_ + "/ctx0.db";
  for (const std::string &content : {std::string(5000, 'g'), std::string("SQLite format 3")}) {
    SCOPED_TRACE(content.substr(0, 15));
    setenv("TQ_REGISTRY_DIR", (regdir_ + "/elsewhere").c_str(), 1);
    ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());  // lets go of the database
    unlink((db + "-wal").c_str());
    unlink((db + "-shm").c_str());
    tqtest::WriteFile(db, content);
    setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
    ASSERT_EQ(TQREG_E_CORRUPT, TqkResetGlobalEntries());
    timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\F", "v", 0));
      EXPECT_EQ(TQREG_E_CORRUPT, Write("v", 1));
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    // No retry loop: the old behaviour took a second per call.
    EXPECT_LT(t1.tv_sec - t0.tv_sec, 5);
    EXPECT_EQ(Where() + ": not a registry database, or corrupt",
              std::string(TqkRegGetLastErrorText()));
  }
  unlink(db.c_str());
  EXPECT_EQ(TQREG_OK, Write("v", 7)) << "a replaced file is tried again";
  EXPECT_EQ(7, GetNum("SOFTWARE\\F", "v"));
}

// An existing registry this process may not write is read; writes fail with
// 5 and a log line. Run as an unprivileged user (root writes anywhere).
TEST_F(FaultTest, UnwritableRegistryIsReadAndRefusesWrites) {
  ASSERT_EQ(TQREG_OK, Write("v", 3));
  tqtest::WriteFile(log_, "");
  chmod(log_.c_str(), 0666);
  for (const char *what : {"directory", "file"}) {
    SCOPED_TRACE(what);
    bool file = std::string(what) == "file";  // else the directory is the cause
    chmod(regdir_.c_str(), file ? 0777 : 0555);
    chmod((regdir_ + "/ctx0.db").c_str(), file ? 0444 : 0666);
    int rc = InChild([&] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 90;
      if (TqkResetGlobalEntries() != TQREG_OK) return fprintf(stderr, "%s\n", TqkRegGetLastErrorText()), 91;
      if (GetNum("SOFTWARE\\F", "v") != 3) return 92;
      if (Write("v", 4) != TQREG_E_ACCESS) return 93;
      std::string want = Where() + ": not writable (read-only " + what + ")";
      if (want != TqkRegGetLastErrorText()) return 94;
      if (tqtest::ReadFile(log_).find(want + "; key \"SOFTWARE\\F\"; value \"v\"") ==
          std::string::npos)
        return 95;
      return GetNum("SOFTWARE\\F", "v") == 3 ? 0 : 96;
    });
    EXPECT_EQ(0, rc);
  }
  chmod(regdir_.c_str(), 0755);
  chmod((regdir_ + "/ctx0.db").c_str(), 0644);
  EXPECT_EQ(3, GetNum("SOFTWARE\\F", "v"));
}

TEST_F(FaultTest, FileSizeLimitIsADiskFull) {
  ASSERT_EQ(TQREG_OK, Write("small", 1));
  int rc = InChild([] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {256 * 1024, 256 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 90;
    TQHKEY h = 0;
    if (TqkRegCreateKey(tqtest::Root(), "SOFTWARE\\F", &h) != TQREG_OK) return 91;
    std::string big(900 * 1024, 'b');
    int r = TqkRegSetValueEx(h, "big", 0, TQREG_SZ, big.data(), static_cast<unsigned>(big.size()));
    if (r != TQREG_E_DISKFULL) return fprintf(stderr, "%d %s\n", r, TqkRegGetLastErrorText()), 92;
    return strstr(TqkRegGetLastErrorText(), "disk full") ? 0 : 93;
  });
  EXPECT_EQ(0, rc);
  EXPECT_FALSE(tqtest::GetRaw("SOFTWARE\\F", "big").found);
  EXPECT_EQ(1, GetNum("SOFTWARE\\F", "small"));
}

TEST_F(FaultTest, ALockHeldPastTheBusyTimeoutIsBusy) {
  ASSERT_EQ(TQREG_OK, Write("v", 1));
  int ready[2], release[2];
  ASSERT_EQ(0, pipe(ready));
  ASSERT_EQ(0, pipe(release));
  pid_t pid = fork();
  if (pid == 0) {  // holds the write lock until told to let go
    char c = 0;
    if (TqkRegBeginBatch() != TQREG_OK || Write("held", 1) != TQREG_OK) _exit(1);
    if (write(ready[1], &c, 1) != 1 || read(release[0], &c, 1) != 1) _exit(1);
    _exit(TqkRegEndBatch(0));
  }
  char c = 0;
  ASSERT_EQ(1, read(ready[0], &c, 1));
  setenv("TQ_REGISTRY_BUSY_MS", "200", 1);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_EQ(1, GetNum("SOFTWARE\\F", "v")) << "a reader is not blocked by the writer";
  EXPECT_EQ(TQREG_E_BUSY, Write("v", 2));
  EXPECT_EQ(Where() + ": busy: another process held the write lock past the busy timeout",
            std::string(TqkRegGetLastErrorText()));
  ASSERT_EQ(1, write(release[1], &c, 1));
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(TQREG_OK, Write("v", 2));
  unsetenv("TQ_REGISTRY_BUSY_MS");
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

// A reset in another thread between the lookup of a key and the making of
// its handle must never leave a handle on a key id of the other database.
TEST_F(FaultTest, HandlesNeverCrossAResetInAnotherThread) {
  std::string second = regdir_ + "/second";
  for (int ctx = 1; ctx >= 0; --ctx) {  // the same ids name different keys
    if (ctx == 1) setenv("TQ_REGISTRY_DIR", second.c_str(), 1);
    ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
    for (int i = 0; i < 20; ++i) PutNum("K" + std::to_string(i) + (ctx ? "b" : "a"), "ctx", ctx);
    setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
  }
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  std::atomic<bool> stop{false};
  std::atomic<int> crossed{0};
  std::thread opener([&] {
    char name[16];
    for (int n = 0; !stop; ++n) {
      snprintf(name, sizeof name, "K%da", n % 20);
      TQHKEY h = 0;
      if (TqkRegOpenKeyEx(tqtest::Root(), name, 0, 0, &h) != TQREG_OK) continue;
      uint32_t v = 0;
      unsigned size = 4, type = 0;
      if (TqkRegQueryValueEx(h, "ctx", nullptr, &type, &v, &size) == TQREG_OK && v != 0) ++crossed;
      TqkRegCloseKey(h);
    }
  });
  for (int i = 0; i < 300; ++i) TqkResetGlobalEntries();
  stop = true;
  opener.join();
  EXPECT_EQ(0, crossed.load());
}

}  // namespace
