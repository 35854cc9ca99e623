// Product state values: how each getter reads its text and what each setter
// writes, under the product's current version.
#include "tq_test.h"

namespace {

using tqtest::RegistryTest;

class StateTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(0, TQPROD_SetValue("FW", "CurrentVersion", 1, "6.0", 0));
  }
};

TEST_F(StateTest, FlagsReadOneForAnyNonZeroNumber) {
  EXPECT_EQ(0, TQPROD_IsProdActive("FW"));  // missing
  EXPECT_EQ(0, TQPROD_IsConfigured("FW"));
  // No product names nothing.
  EXPECT_EQ(0, TQPROD_IsProdActive(nullptr));
  EXPECT_EQ(0, TQPROD_IsConfigured(""));
  EXPECT_EQ(0, TQPROD_IsPluginActive(nullptr));
  EXPECT_EQ(-1, TQPROD_SetProdActive(nullptr, 1));
  EXPECT_EQ(-1, TQPROD_SetConfigured(""));
  EXPECT_EQ(-1, TQPROD_SetPluginActive(nullptr, 1));

  ASSERT_EQ(0, TQPROD_SetProdActive("FW", -7));
  EXPECT_STREQ("-7", TQPROD_GetValue("FW\\6.0", "ProdActive", 0));
  EXPECT_EQ(1, TQPROD_IsProdActive("FW"));
  ASSERT_EQ(0, TQPROD_SetProdActive("FW", 0));
  EXPECT_EQ(0, TQPROD_IsProdActive("FW"));

  ASSERT_EQ(0, TQPROD_SetConfigured("FW"));
  EXPECT_STREQ("1", TQPROD_GetValue("FW\\6.0", "IsConfigured", 0));
  EXPECT_EQ(1, TQPROD_IsConfigured("FW"));

  // Text that is no number reads as 0; a number value reads by its value.
  ASSERT_EQ(0, TQPROD_SetValue("FW", "ProdActive", 1, "yes", 1));
  EXPECT_EQ(0, TQPROD_IsProdActive("FW"));
  ASSERT_EQ(0, TQPROD_SetValue("FW", "ProdActive", 4, "3", 1));
  EXPECT_EQ(1, TQPROD_IsProdActive("FW"));
}

TEST_F(StateTest, PluginActiveIsTheNumberItself) {
  EXPECT_EQ(0, TQPROD_IsPluginActive("FW"));
  ASSERT_EQ(0, TQPROD_SetValue("FW", "PluginActive", 1, "5", 1));
  EXPECT_EQ(5, TQPROD_IsPluginActive("FW"));
  ASSERT_EQ(0, TQPROD_SetPluginActive("FW", 42));
  EXPECT_STREQ("1", TQPROD_GetValue("FW\\6.0", "PluginActive", 0));
  ASSERT_EQ(0, TQPROD_SetPluginActive("FW", 0));
  EXPECT_STREQ("0", TQPROD_GetValue("FW\\6.0", "PluginActive", 0));
}

TEST_F(StateTest, ExpressLivesUnderSharedComponents) {
  ASSERT_EQ(0, TQPROD_SetValue("tqshared", "CurrentVersion", 1, "R1", 0));
  EXPECT_EQ(0, TQPROD_IsExpress());
  ASSERT_EQ(0, TQPROD_SetExpress(2));
  EXPECT_STREQ("2", TQPROD_GetValue("TQShared\\R1", "Express", 0));
  EXPECT_EQ(1, TQPROD_IsExpress());
}

}  // namespace
