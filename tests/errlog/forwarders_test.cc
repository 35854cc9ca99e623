// The library's error-logging forwarders and the registry environment entry.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

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
  ++g_seen.count;
  g_seen.product = product ? product : "(null)";
  g_seen.subkey = subkey ? subkey : "(null)";
  g_seen.name = valueName ? valueName : "(null)";
  g_seen.data = data ? data : "(null)";
  g_seen.type = type;
  g_seen.versioned = versioned;
  if (real == nullptr) return -99;
  return real(product, g_redirect ? "Elsewhere" : subkey, valueName, type, data, versioned);
}

namespace {

class ForwardersTest : public tqtest::RegistryTest {
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
};

TEST_F(ForwardersTest, ArgumentsAndResultsPassThroughInOrder) {
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

  fflush(stdout);
  std::string file = regdir_ + "/print";
  int saved = dup(1);
  ASSERT_NE(nullptr, freopen(file.c_str(), "w", stdout));
  int printed = TQPROD_error_logging_print_env();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  EXPECT_EQ(2, printed);
  EXPECT_EQ("module 11 key 0 value 6\nmodule 11 key 501 value 7\n", tqtest::ReadFile(file));

  EXPECT_EQ(2, TQPROD_error_logging_delall_env());
  EXPECT_EQ(0, TQPROD_error_logging_delall_env());
}

TEST_F(ForwardersTest, SetEnvStoresUnderTheSharedComponentsVersion) {
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0));
  EXPECT_EQ(0, TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "5"));
  EXPECT_EQ(1, g_seen.count);
  EXPECT_EQ("tqshared", g_seen.product);
  EXPECT_EQ("Environment", g_seen.subkey);
  EXPECT_EQ("TDERROR_ALL_ALL", g_seen.name);
  EXPECT_EQ("5", g_seen.data);
  EXPECT_EQ(1, g_seen.type);
  EXPECT_EQ(1, g_seen.versioned);
  EXPECT_STREQ("5", TQPROD_GetValue("TQShared\\6.0\\reserved\\Environment", "TDERROR_ALL_ALL", 0));
  unsigned type = 0, size = 0;
  ASSERT_NE(nullptr, TQPROD_GetValueWithRegType("TQShared\\6.0\\reserved\\Environment",
                                                "TDERROR_ALL_ALL", 0, &type, &size));
  EXPECT_EQ(1u, type);
  // Replacing keeps one value.
  EXPECT_EQ(0, TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "1"));
  EXPECT_STREQ("1", TQPROD_GetValue("TQShared\\6.0\\reserved\\Environment", "TDERROR_ALL_ALL", 0));
}

TEST_F(ForwardersTest, InterposedSetReservedDecidesWhereEntriesGo) {
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0));
  g_redirect = true;
  EXPECT_EQ(0, TQPROD_error_logging_set_env("OPT", "x"));
  EXPECT_EQ(nullptr, TQPROD_GetValue("TQShared\\6.0\\reserved\\Environment", "OPT", 0));
  EXPECT_STREQ("x", TQPROD_GetValue("TQShared\\6.0\\reserved\\Elsewhere", "OPT", 0));
}

TEST_F(ForwardersTest, SetEnvWithoutCurrentVersionOrWithBadNames) {
  // Without a current version there is no versioned reserved key.
  EXPECT_EQ(-1, TQPROD_error_logging_set_env("A", "b"));
  EXPECT_EQ(nullptr, TQPROD_GetValue("tqshared\\reserved\\Environment", "A", 0));
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0));
  // NULL arguments fail or succeed through TQPROD_SetReserved, never crash.
  (void)TQPROD_error_logging_set_env(nullptr, "v");
  (void)TQPROD_error_logging_set_env("N", nullptr);
  EXPECT_EQ(3, g_seen.count);
}

}  // namespace
