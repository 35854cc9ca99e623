// The platform's error-logging environment, the library's forwarders to it
// and the registry environment entry.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tq_test.h"

namespace {

// Calls of TQPROD_SetReserved seen by the interposer below.
struct SetReservedCall {
  int count = 0;
  std::string product, subkey, name, data;
  int type = 0, versioned = 0;
};
SetReservedCall g_seen;
bool g_redirect = false;  // when set, the interposer stores under "Elsewhere"

}  // namespace

// Interposes the library's exported TQPROD_SetReserved: records each call
// and forwards it to the library's own definition.
extern "C" TQAPI int TQPROD_SetReserved(const char *product, const char *subkey,
                                        const char *valueName, int type, const char *data,
                                        int versioned) {
  using Fn = int (*)(const char *, const char *, const char *, int, const char *, int);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "TQPROD_SetReserved"));
  auto s = [](const char *p) { return std::string(p ? p : "(null)"); };
  g_seen = {g_seen.count + 1, s(product), s(subkey), s(valueName), s(data), type, versioned};
  if (real == nullptr) return -99;
  return real(product, g_redirect ? "Elsewhere" : subkey, valueName, type, data, versioned);
}

namespace {

constexpr const char kEnvKey[] = "TQShared\\6.0\\reserved\\Environment";

class ErrlogTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    TQPRODIS_error_logging_delall_env();
    g_seen = SetReservedCall();
    g_redirect = false;
  }
  void TearDown() override {
    TQPRODIS_error_logging_delall_env();
    RegistryTest::TearDown();
  }
  // Runs print() with stdout sent to a file; returns its result and output.
  std::pair<int, std::string> Printed(int (*print)(void)) {
    fflush(stdout);
    std::string file = regdir_ + "/print";
    int saved = dup(1);
    EXPECT_NE(nullptr, freopen(file.c_str(), "w", stdout));
    int n = print();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return {n, tqtest::ReadFile(file)};
  }
};

TEST_F(ErrlogTest, InitSetsThresholdAndEntriesAndRejectsBadArguments) {
  EXPECT_EQ(1, TQPRODIS_init_error_logging(3, 5, 0, 99));  // threshold only
  EXPECT_EQ(5, TQPRODIS_error_logging_get_env(3, 0, -7));
  EXPECT_EQ(2, TQPRODIS_init_error_logging(3, 2, 40, -123456));
  EXPECT_EQ(2, TQPRODIS_error_logging_get_env(3, 0, -7));
  EXPECT_EQ(-123456, TQPRODIS_error_logging_get_env(3, 40, -7));
  EXPECT_EQ(-7, TQPRODIS_error_logging_get_env(4, 40, -7));  // other module
  EXPECT_EQ(2, TQPRODIS_init_error_logging(3, 2, 40, 8));    // replaced
  EXPECT_EQ(8, TQPRODIS_error_logging_get_env(3, 40, 0));
  EXPECT_EQ(INT32_MIN, TQPRODIS_error_logging_get_env(3, INT32_MAX, INT32_MIN));

  EXPECT_EQ(-1, TQPRODIS_init_error_logging(-1, 3, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging(3, 8, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging(3, -1, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging_ex(3, 3, 5, 5, 4));
  EXPECT_EQ(2, TQPRODIS_error_logging_get_env(3, 0, -1));
  EXPECT_EQ(-1, TQPRODIS_error_logging_get_env(3, 5, -1));
}

TEST_F(ErrlogTest, ExFlagsClearAndKeep) {
  TQPRODIS_init_error_logging(1, 1, 10, 100);
  TQPRODIS_init_error_logging(1, 1, 11, 110);
  TQPRODIS_init_error_logging(2, 1, 10, 200);
  EXPECT_EQ(3, TQPRODIS_init_error_logging_ex(1, 4, 10, 999, 2));  // keep
  EXPECT_EQ(100, TQPRODIS_error_logging_get_env(1, 10, 0));
  EXPECT_EQ(4, TQPRODIS_error_logging_get_env(1, 0, 0));
  EXPECT_EQ(2, TQPRODIS_init_error_logging_ex(1, 0, 12, 120, 1));  // clear module 1
  EXPECT_EQ(-1, TQPRODIS_error_logging_get_env(1, 10, -1));
  EXPECT_EQ(120, TQPRODIS_error_logging_get_env(1, 12, -1));
  EXPECT_EQ(200, TQPRODIS_error_logging_get_env(2, 10, -1));  // untouched
}

TEST_F(ErrlogTest, WalkVisitsKeysOfOneModuleInRange) {
  for (int32_t k : {30, 10, 20, 40}) TQPRODIS_init_error_logging(6, 1, k, k * 2);
  TQPRODIS_init_error_logging(7, 1, 25, 0);
  std::vector<int32_t> keys;
  for (int32_t k = TQPRODIS_error_logging_get_first_env(6, 10, 30, -1); k != -1;
       k = TQPRODIS_error_logging_get_next_env(6, 10, 30, -1))
    keys.push_back(k);
  EXPECT_EQ((std::vector<int32_t>{10, 20, 30}), keys);
  // A next call with another range is not part of the walk.
  EXPECT_EQ(0, TQPRODIS_error_logging_get_first_env(6, 0, INT32_MAX, -1));
  EXPECT_EQ(-5, TQPRODIS_error_logging_get_next_env(6, 0, 5, -5));
  EXPECT_EQ(10, TQPRODIS_error_logging_get_next_env(6, 0, INT32_MAX, -5));
  TQPRODIS_error_logging_del_env(20);  // deleted during the walk: skipped
  EXPECT_EQ(30, TQPRODIS_error_logging_get_next_env(6, 0, INT32_MAX, -5));
  EXPECT_EQ(40, TQPRODIS_error_logging_get_next_env(6, 0, INT32_MAX, -5));
  EXPECT_EQ(-5, TQPRODIS_error_logging_get_next_env(6, 0, INT32_MAX, -5));
  EXPECT_EQ(-5, TQPRODIS_error_logging_get_next_env(6, 0, INT32_MAX, -5));
  EXPECT_EQ(-9, TQPRODIS_error_logging_get_first_env(6, 50, 40, -9));  // empty range
  EXPECT_EQ(-9, TQPRODIS_error_logging_get_first_env(99, INT32_MIN, INT32_MAX, -9));
}

TEST_F(ErrlogTest, DeleteAndPrint) {
  TQPRODIS_init_error_logging(1, 2, 5, 50);
  TQPRODIS_init_error_logging(3, 4, 5, -50);
  TQPRODIS_init_error_logging(3, 4, 6, 60);
  EXPECT_EQ(2, TQPRODIS_error_logging_del_env(5));
  EXPECT_EQ(0, TQPRODIS_error_logging_del_env(5));
  EXPECT_EQ(std::make_pair(3, std::string("module 1 key 0 value 2\nmodule 3 key 0 value 4\n"
                                          "module 3 key 6 value 60\n")),
            Printed(TQPRODIS_error_logging_print_env));
  EXPECT_EQ(3, TQPRODIS_error_logging_delall_env());
  EXPECT_EQ(0, TQPRODIS_error_logging_delall_env());
}

TEST_F(ErrlogTest, ForwardersPassArgumentsAndResultsThrough) {
  EXPECT_EQ(2, TQPROD_init_error_logging(11, 3, 500, -70000));
  EXPECT_EQ(-70000, TQPRODIS_error_logging_get_env(11, 500, 0));
  EXPECT_EQ(-1, TQPROD_init_error_logging(11, 9, 1, 1));  // failure result unchanged
  EXPECT_EQ(3, TQPROD_init_error_logging_ex(11, 6, 501, 7, 0));
  EXPECT_EQ(6, TQPRODIS_error_logging_get_env(11, 0, -1));
  EXPECT_EQ(3, TQPROD_init_error_logging_ex(11, 6, 501, 8, 2));  // flags reach the platform
  EXPECT_EQ(7, TQPROD_error_logging_get_env(11, 501, -1));
  EXPECT_EQ(-4, TQPROD_error_logging_get_env(12, 501, -4));
  EXPECT_EQ(500, TQPROD_error_logging_get_first_env(11, 1, 1000, -2));
  EXPECT_EQ(501, TQPROD_error_logging_get_next_env(11, 1, 1000, -2));
  EXPECT_EQ(-2, TQPROD_error_logging_get_next_env(11, 1, 1000, -2));
  EXPECT_EQ(1, TQPROD_error_logging_del_env(500));
  EXPECT_EQ(-3, TQPRODIS_error_logging_get_env(11, 500, -3));
  EXPECT_EQ(std::make_pair(2, std::string("module 11 key 0 value 6\nmodule 11 key 501 value 7\n")),
            Printed(TQPROD_error_logging_print_env));
  EXPECT_EQ(2, TQPROD_error_logging_delall_env());
  EXPECT_EQ(0, TQPROD_error_logging_delall_env());
}

TEST_F(ErrlogTest, SetEnvStoresUnderTheSharedComponentsVersion) {
  // Without a current version there is no versioned reserved key.
  EXPECT_EQ(-1, TQPROD_error_logging_set_env("A", "b"));
  EXPECT_EQ(nullptr, TQPROD_GetValue("tqshared\\reserved\\Environment", "A", 0));
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0));
  g_seen = SetReservedCall();
  EXPECT_EQ(0, TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "5"));
  EXPECT_EQ(1, g_seen.count);
  EXPECT_EQ("tqshared", g_seen.product);
  EXPECT_EQ("Environment", g_seen.subkey);
  EXPECT_EQ("TDERROR_ALL_ALL", g_seen.name);
  EXPECT_EQ("5", g_seen.data);
  EXPECT_EQ(1, g_seen.type);
  EXPECT_EQ(1, g_seen.versioned);
  unsigned type = 0, size = 0;
  ASSERT_NE(nullptr, TQPROD_GetValueWithRegType(kEnvKey, "TDERROR_ALL_ALL", 0, &type, &size));
  EXPECT_EQ(1u, type);
  EXPECT_STREQ("5", TQPROD_GetValue(kEnvKey, "TDERROR_ALL_ALL", 0));
  EXPECT_EQ(0, TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "1"));  // replaced
  EXPECT_STREQ("1", TQPROD_GetValue(kEnvKey, "TDERROR_ALL_ALL", 0));

  // NULL arguments go through TQPROD_SetReserved, never crash.
  (void)TQPROD_error_logging_set_env(nullptr, "v");
  (void)TQPROD_error_logging_set_env("N", nullptr);
  EXPECT_EQ(4, g_seen.count);

  // The interposed TQPROD_SetReserved decides where entries go.
  g_redirect = true;
  EXPECT_EQ(0, TQPROD_error_logging_set_env("OPT", "x"));
  EXPECT_EQ(nullptr, TQPROD_GetValue(kEnvKey, "OPT", 0));
  EXPECT_STREQ("x", TQPROD_GetValue("TQShared\\6.0\\reserved\\Elsewhere", "OPT", 0));
}

}  // namespace
