// Cached Zandor flags. The cache lives for the whole process, so each case
// runs in a fresh process of its own (death-test style "threadsafe"
// re-runs the test binary) and reports its findings through its exit code.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace flagtest;

class ZandorTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RegistryTest::SetUp();
  }
};

// Collects mismatches inside the child process.
struct Checks {
  std::string failures;
  void Eq(long long want, long long got, const char *what) {
    if (want != got)
      failures += std::string(what) + ": want " + std::to_string(want) + " got " +
                  std::to_string(got) + "\n";
  }
  [[noreturn]] void Finish() {
    fputs(failures.c_str(), stderr);
    fflush(stderr);
    _exit(failures.empty() ? 0 : 1);
  }
};

// Runs the body in a child process with a Checks c; passes when c found nothing.
#define IN_CHILD(...) \
  EXPECT_EXIT({ Checks c; __VA_ARGS__ c.Finish(); }, ::testing::ExitedWithCode(0), "")

TEST_F(ZandorTest, FirstAnswerIsKeptAcrossRegistryChanges) {
  IN_CHILD(
    MakeVersionedProducts();
    PutNumber(kMrkV, "ZandorModule", 1);
    c.Eq(1, FwIsZandorModule(), "first read");
    PutNumber(kMrkV, "ZandorModule", 0);
    c.Eq(1, FwIsZandorModule(), "cached after change");
    // A successful set replaces the cached answer without a read.
    PutNumber(kMrkV, "ZandorModule", 1);
    c.Eq(0, FwSetZandorModule(0), "set 0");
    PutNumber(kMrkV, "ZandorModule", 1);
    c.Eq(0, FwIsZandorModule(), "after set 0");
  );
}

TEST_F(ZandorTest, SetStoresTheNumberAndCachesOne) {
  IN_CHILD(
    MakeVersionedProducts();
    c.Eq(0, FwSetZandorCO(2), "set 2");
    c.Eq(2, GetNumber(kMrkV, "ZandorCO"), "stored");
    PutNumber(kMrkV, "ZandorCO", 0);
    c.Eq(1, FwIsZandorCO(), "cached");
  );
}

TEST_F(ZandorTest, FailedSetKeepsTheCache) {
  IN_CHILD(
    c.Eq(0, FwIsZandorManagement(), "missing key reads 0");
    c.Eq(-1, FwSetZandorManagement(1), "set without key");
    c.Eq(0, KeyExists(kMrk), "key created");
    MakeVersionedProducts();
    PutNumber(kMrkV, "ZandorManagement", 1);
    c.Eq(0, FwIsZandorManagement(), "still cached 0");
  );
}

}  // namespace
