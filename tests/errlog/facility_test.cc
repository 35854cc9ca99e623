// The platform's error-logging environment.
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tq_test.h"

namespace {

class FacilityTest : public ::testing::Test {
 protected:
  void SetUp() override { TQPRODIS_error_logging_delall_env(); }
  void TearDown() override { TQPRODIS_error_logging_delall_env(); }
};

TEST_F(FacilityTest, InitSetsThresholdAndEntries) {
  EXPECT_EQ(1, TQPRODIS_init_error_logging(3, 5, 0, 99));  // threshold only
  EXPECT_EQ(5, TQPRODIS_error_logging_get_env(3, 0, -7));
  EXPECT_EQ(2, TQPRODIS_init_error_logging(3, 2, 40, -123456));
  EXPECT_EQ(2, TQPRODIS_error_logging_get_env(3, 0, -7));
  EXPECT_EQ(-123456, TQPRODIS_error_logging_get_env(3, 40, -7));
  EXPECT_EQ(-7, TQPRODIS_error_logging_get_env(4, 40, -7));  // other module
  EXPECT_EQ(2, TQPRODIS_init_error_logging(3, 2, 40, 8));    // replaced
  EXPECT_EQ(8, TQPRODIS_error_logging_get_env(3, 40, 0));
  EXPECT_EQ(INT32_MIN, TQPRODIS_error_logging_get_env(3, INT32_MAX, INT32_MIN));
}

TEST_F(FacilityTest, InvalidArgumentsChangeNothing) {
  ASSERT_EQ(1, TQPRODIS_init_error_logging(1, 3, 0, 0));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging(-1, 3, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging(1, 8, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging(1, -1, 5, 5));
  EXPECT_EQ(-1, TQPRODIS_init_error_logging_ex(1, 3, 5, 5, 4));
  EXPECT_EQ(3, TQPRODIS_error_logging_get_env(1, 0, -1));
  EXPECT_EQ(-1, TQPRODIS_error_logging_get_env(1, 5, -1));
}

TEST_F(FacilityTest, ExFlagsClearAndKeep) {
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

TEST_F(FacilityTest, WalkVisitsKeysOfOneModuleInRange) {
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

TEST_F(FacilityTest, DeleteAndPrint) {
  TQPRODIS_init_error_logging(1, 2, 5, 50);
  TQPRODIS_init_error_logging(3, 4, 5, -50);
  TQPRODIS_init_error_logging(3, 4, 6, 60);
  EXPECT_EQ(2, TQPRODIS_error_logging_del_env(5));
  EXPECT_EQ(0, TQPRODIS_error_logging_del_env(5));

  fflush(stdout);
  std::string dir = tqtest::MakeTempDir("errlog");
  std::string file = dir + "/out";
  int saved = dup(1);
  ASSERT_NE(nullptr, freopen(file.c_str(), "w", stdout));
  int printed = TQPRODIS_error_logging_print_env();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  EXPECT_EQ(3, printed);
  EXPECT_EQ("module 1 key 0 value 2\nmodule 3 key 0 value 4\nmodule 3 key 6 value 60\n",
            tqtest::ReadFile(file));
  EXPECT_EQ(3, TQPRODIS_error_logging_delall_env());
  EXPECT_EQ(0, TQPRODIS_error_logging_delall_env());
  tqtest::RemoveTree(dir);
}

}  // namespace
