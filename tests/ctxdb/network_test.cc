// Multi-domain server identity from the main system's registry.
#include "tq_test.h"

namespace {

class NetworkTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(0, tq_set_vs_env(0));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  void TearDown() override {
    tq_set_vs_env(0);
    TqkResetGlobalEntries();
    RegistryTest::TearDown();
  }
  void SetVersion(const char *text, unsigned type = TQREG_SZ) {
    TQHKEY k;
    ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(),
                                 "SOFTWARE\\Tarquel\\OSTRIVA", &k));
    ASSERT_EQ(0, TqkRegSetValueEx(k, "CurrentVersion", 0, type, text,
                                  static_cast<unsigned>(strlen(text) + 1)));
    TqkRegCloseKey(k);
  }
};

TEST_F(NetworkTest, ServerWhenTheMultiDomainProductHasACurrentVersion) {
  EXPECT_EQ(0, is_virtual_local_address());
  TQHKEY k;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(),
                               "SOFTWARE\\Tarquel\\OSTRIVA", &k));
  TqkRegCloseKey(k);
  EXPECT_EQ(0, is_virtual_local_address());  // key without a version
  SetVersion("");
  EXPECT_EQ(0, is_virtual_local_address());
  SetVersion("R80", 7);  // wrong type
  EXPECT_EQ(0, is_virtual_local_address());
  SetVersion("R80");
  EXPECT_EQ(1, is_virtual_local_address());
}

TEST_F(NetworkTest, NeverInsideAVirtualSystem) {
  SetVersion("R80");
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 0, 0));
  ASSERT_EQ(0, tq_set_vs_env(2));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  SetVersion("R80");  // even with the key in the virtual system's registry
  EXPECT_EQ(0, is_virtual_local_address());
  ASSERT_EQ(0, tq_set_vs_env(0));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_EQ(1, is_virtual_local_address());
}

}  // namespace
