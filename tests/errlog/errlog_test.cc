// The platform's error-logging environment and reporting functions, the
// library's forwarders to them, and the registry environment entry.
#include <errno.h>
#include <string.h>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

// Through the library's forwarders, which hand everything to the
// platform's functions of the same name and return their results.
TEST(Errlog, EntriesAreSetReadWalkedPrintedAndDeleted) {
  EXPECT_EQ((Ints{1, 2}),  // the threshold only, then with a key
            (Ints{TQPROD_init_error_logging(3, 5, 0, 99), TQPROD_init_error_logging(3, 2, 40, -123456)}));
  const int32_t bad[][5] = {{-1, 3, 5, 5, 0}, {3, 8, 5, 5, 0}, {3, -1, 5, 5, 0}, {3, 3, 5, 5, 4}};
  for (auto &b : bad) EXPECT_EQ(-1, TQPROD_init_error_logging_ex(b[0], b[1], b[2], b[3], b[4]));
  // Mode 2 keeps the existing value, mode 1 clears the module first.
  EXPECT_EQ((Ints{2, -123456, -7}), (Ints{TQPROD_init_error_logging_ex(3, 4, 40, 8, 2),
                                          TQPROD_error_logging_get_env(3, 40, -7),
                                          TQPROD_error_logging_get_env(4, 40, -7)}));
  for (int32_t k : {30, 10, 20}) TQPROD_init_error_logging(6, 1, k, k * 2);
  EXPECT_EQ((Ints{2, -1}), (Ints{TQPROD_init_error_logging_ex(3, 0, 12, 120, 1),
                                 TQPROD_error_logging_get_env(3, 40, -1)}));
  // A walk over one module's keys in a range; a next call with another
  // module or range is not part of it; deleted keys are skipped; an empty
  // range gives the default.
  EXPECT_EQ((Ints{10, -5, -5, -5, 1, 30, -5, -9}),
            (Ints{TQPROD_error_logging_get_first_env(6, 10, 30, -5),
                  TQPROD_error_logging_get_next_env(7, 10, 30, -5),
                  TQPROD_error_logging_get_next_env(6, 11, 30, -5),
                  TQPROD_error_logging_get_next_env(6, 10, 31, -5), TQPROD_error_logging_del_env(20),
                  TQPROD_error_logging_get_next_env(6, 10, 30, -5),
                  TQPROD_error_logging_get_next_env(6, 10, 30, -5),
                  TQPROD_error_logging_get_first_env(6, 40, 31, -9)}));
  testing::internal::CaptureStdout();
  EXPECT_EQ(5, TQPROD_error_logging_print_env());
  EXPECT_EQ("module 3 key 0 value 0\nmodule 3 key 12 value 120\nmodule 6 key 0 value 1\n"
            "module 6 key 10 value 20\nmodule 6 key 30 value 60\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ((Ints{5, 0}), (Ints{TQPROD_error_logging_delall_env(), TQPROD_error_logging_delall_env()}));
}

TEST(Errlog, ReportsAreOneLineEachAndNeverEndTheProcess) {
  // error() writes "<program>: <message>[: <errno text>][ (status N)]".
  testing::internal::CaptureStderr();
  error(0, -1, "plain %d", 7);
  error(2, ENOENT, "with errno");
  EXPECT_EQ("test_errlog: plain 7\ntest_errlog: with errno: " + std::string(strerror(ENOENT)) +
                " (status 2)\n",
            testing::internal::GetCapturedStderr());
  // tderrorFunc appends "topic level value text" lines to its log when set.
  std::string dir = MakeTempDir("tderror"), log = dir + "/tderror.log";
  EXPECT_EQ(0, tderrorFunc("T", 4, 0, "dropped"));
  setenv("TQ_TDERROR_LOG", log.c_str(), 1);
  EXPECT_EQ((Ints{0, 0, 0}), (Ints{tderrorFunc("CDINFO", 4, 0, "Enter:: Tag"),
                                   tderrorFunc("CDINFO", 4, 0, "Exit::\n"), tderrorFunc(nullptr, 1, -2, "")}));
  unsetenv("TQ_TDERROR_LOG");
  EXPECT_EQ("CDINFO 4 0 Enter:: Tag\nCDINFO 4 0 Exit::\n(null) 1 -2 \n", ReadFile(log));
  RemoveTree(dir);
}

TEST_F(RegistryTest, SetEnvStoresUnderTheSharedComponentsVersion) {
  // Refused while there is no current version yet; the second value replaces the first.
  ASSERT_EQ((Ints{-1, 0, 0, 0}),
            (Ints{TQPROD_error_logging_set_env("A", "b"), TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0),
                  TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "5"), TQPROD_error_logging_set_env("TDERROR_ALL_ALL", "1")}));
  RawValue v = GetRaw("SOFTWARE\\Tarquel\\TQShared\\6.0\\reserved\\Environment", "TDERROR_ALL_ALL");
  EXPECT_EQ(std::string("1", 2) + " 1", v.data + " " + std::to_string(v.type));
}

}  // namespace
