// Change notification: a waiter wakes for a matching change committed by
// any process, sleeps through everything else, and never hangs on bad input.
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

constexpr unsigned kName = TQREG_NOTIFY_NAME, kValue = TQREG_NOTIFY_VALUE;

int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

void DeleteValue(const std::string &key, const char *name) {
  TQHKEY h = OpenRaw(key);
  EXPECT_EQ(TQREG_OK, TqkRegDeleteValue(h, name));
  TqkRegCloseKey(h);
}

class NotifyTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    MakeKey("SOFTWARE\\W\\Sub");
    MakeKey("SOFTWARE\\Wx");
  }
  // A handle of key whose watch starts now.
  static TQHKEY Watched(const std::string &key) {
    TQHKEY h = OpenRaw(key);
    EXPECT_EQ(TQREG_E_TIMEOUT, TqkRegNotifyChangeKeyValue(h, 1, kName | kValue, 0));
    return h;
  }
};

TEST_F(NotifyTest, OnlyMatchingChangesEndAWait) {
  const struct {
    const char *watch;
    int subtree;
    unsigned filter;
    std::function<void()> change;
    int expected;
  } rows[] = {
      {"SOFTWARE\\W", 0, kValue, [] { PutNum("SOFTWARE\\W", "v", 1); }, TQREG_OK},
      {"SOFTWARE\\W", 0, kValue, [] { PutNum("SOFTWARE\\W\\Sub", "v", 1); }, TQREG_E_TIMEOUT},
      {"SOFTWARE\\W", 1, kValue, [] { PutNum("software\\w\\SUB", "v", 2); }, TQREG_OK},
      {"SOFTWARE\\W", 1, kValue, [] { PutNum("SOFTWARE\\Wx", "v", 1); }, TQREG_E_TIMEOUT},
      {"SOFTWARE\\W", 0, kName, [] { PutNum("SOFTWARE\\W", "n", 1); }, TQREG_E_TIMEOUT},
      {"SOFTWARE\\W", 0, kName, [] { MakeKey("SOFTWARE\\W\\New"); }, TQREG_OK},
      {"SOFTWARE\\W", 0, kName, [] { MakeKey("SOFTWARE\\W\\Sub\\Deep"); }, TQREG_E_TIMEOUT},
      {"SOFTWARE\\W", 1, kName, [] { MakeKey("SOFTWARE\\W\\Sub\\Deeper"); }, TQREG_OK},
      {"SOFTWARE\\W", 0, kName, [] { TqkRegDeleteKey(Root(), "SOFTWARE\\W\\New"); }, TQREG_OK},
      {"SOFTWARE\\W", 0, kValue, [] { DeleteValue("SOFTWARE\\W", "v"); }, TQREG_OK},
      {"SOFTWARE\\W\\Sub", 0, kValue, [] { TqkRegDeleteKey(Root(), "SOFTWARE\\W"); },
       TQREG_E_KEYDELETED},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE("row " + std::to_string(&row - rows));
    TQHKEY h = Watched(row.watch);
    row.change();
    EXPECT_EQ(row.expected, TqkRegNotifyChangeKeyValue(h, row.subtree, row.filter, 50));
    TqkRegCloseKey(h);
  }
}

TEST_F(NotifyTest, AnotherProcessWakesTheWaiterAtOnceAndOnlyInsideTheKey) {
  // A sibling whose name starts with the key's is outside even a subtree.
  const bool emulated = getenv("TQ_TEST_EMULATOR") && *getenv("TQ_TEST_EMULATOR");
  TQHKEY h = Watched("SOFTWARE\\W");
  int times[2];
  ASSERT_EQ(0, pipe(times));
  pid_t pid = Spawn([&] {
    usleep(150000);
    PutNum("SOFTWARE\\Wx", "outside", 1);
    usleep(300000);
    PutNum("SOFTWARE\\W", "inside", 1);
    int64_t at = WallMs();
    return write(times[1], &at, sizeof at) == sizeof at ? 0 : 1;
  });
  EXPECT_EQ((Ints{TQREG_E_TIMEOUT, TQREG_OK}),
            (Ints{TqkRegNotifyChangeKeyValue(h, 1, kValue, 350), TqkRegNotifyChangeKeyValue(h, 1, kValue, 5000)}));
  int64_t woke = WallMs(), written = 0;
  ASSERT_EQ(static_cast<ssize_t>(sizeof written), read(times[0], &written, sizeof written));
  EXPECT_LT(woke - written, emulated ? 1000 : 100);
  EXPECT_EQ(0, Wait(pid));
  close(times[0]);
  close(times[1]);
  TqkRegCloseKey(h);
}

TEST_F(NotifyTest, ChangesBetweenWaitsAreNotLostAndBadInputFailsAtOnce) {
  TQHKEY h = Watched("SOFTWARE\\W");
  PutNum("SOFTWARE\\W", "a", 1);
  PutNum("SOFTWARE\\Wx", "elsewhere", 1);
  PutNum("SOFTWARE\\W", "b", 1);
  EXPECT_EQ((Ints{TQREG_OK, TQREG_OK, TQREG_E_TIMEOUT, TQREG_E_INVALID, TQREG_E_INVALID, TQREG_E_BADHANDLE}),
            (Ints{TqkRegNotifyChangeKeyValue(h, 0, kValue, 0), TqkRegNotifyChangeKeyValue(h, 0, kValue, 0),
                  TqkRegNotifyChangeKeyValue(h, 0, kValue, 0), TqkRegNotifyChangeKeyValue(h, 0, 0, 10000),
                  TqkRegNotifyChangeKeyValue(h, 0, kValue | 2, 10000),
                  TqkRegNotifyChangeKeyValue(0, 0, kValue, 10000)}));
  TqkRegCloseKey(h);
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegNotifyChangeKeyValue(h, 0, kValue, 10000));
}

TEST_F(NotifyTest, WaitersShareOneDescriptor) {
  // A thousand handles, forty of them waiting at once: one descriptor.
  std::vector<TQHKEY> handles(1000);
  for (TQHKEY &k : handles) k = Watched("SOFTWARE\\W\\Sub");
  const int fds = OpenFdCount();
  std::vector<std::thread> waiters;
  Ints results(40, -1);
  for (int i = 0; i < 40; ++i)
    waiters.emplace_back([&, i] {
      results[i] = TqkRegNotifyChangeKeyValue(handles[i * 25], 0, kValue, 5000);
    });
  usleep(200000);
  EXPECT_GE(fds + 1, OpenFdCount());
  PutNum("SOFTWARE\\W\\Sub", "go", 1);
  for (std::thread &t : waiters) t.join();
  EXPECT_EQ(Ints(40, TQREG_OK), results);
  for (TQHKEY k : handles) TqkRegCloseKey(k);
}

TEST_F(NotifyTest, AWaiterWhoseRegistryFileGoesAwayFails) {
  TQHKEY h = Watched("SOFTWARE\\W");
  std::thread remover([this] {
    usleep(200000);
    unlink((regdir_ + "/ctx0.db").c_str());
  });
  EXPECT_EQ(TQREG_E_IO, TqkRegNotifyChangeKeyValue(h, 1, kValue, 10000));
  EXPECT_EQ("ctx0.db in " + regdir_ + ": the registry file was deleted or replaced while waiting",
            TqkRegGetLastErrorText());
  remover.join();
  TqkRegCloseKey(h);
}

}  // namespace
