// One database per virtual-system context, chosen at TqkResetGlobalEntries.
#include <sys/stat.h>

#include "reg_helpers.h"

using namespace regtest;

namespace {

class RegContexts : public tqtest::RegistryTest {
 protected:
  void TearDown() override {
    tq_set_vs_env(0);
    TqkResetGlobalEntries();
    tqtest::RegistryTest::TearDown();
  }
  bool FileThere(const std::string &name) {
    struct stat st;
    return stat((regdir_ + "/" + name).c_str(), &st) == 0;
  }
};

TEST_F(RegContexts, EachContextHasItsOwnFileAndHandlesDoNotCrossOver) {
  ASSERT_EQ(0, tq_ctxdb_add(3, 0, 0, 0));
  TQHKEY main_key = Create("SOFTWARE\\Tarquel\\MRK");
  ASSERT_EQ(TQREG_OK, SetNum(main_key, "Where", 0));

  ASSERT_EQ(0, tq_set_vs_env(3));
  // The switch takes effect at the reset, not before.
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Where", 0));
  EXPECT_TRUE(Exists("SOFTWARE\\Tarquel\\MRK"));
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_FALSE(Exists("SOFTWARE\\Tarquel\\MRK"));
  EXPECT_FALSE(FileThere("ctx3.db")) << "a read created the registry";
  EXPECT_EQ(TQREG_E_BADHANDLE, SetNum(main_key, "Where", 99));
  EXPECT_EQ(0, TQPRODIS_SetVarToRegistry("SOFTWARE\\Tarquel\\MRK", "Where", 3, 1));
  EXPECT_TRUE(FileThere("ctx3.db"));
  EXPECT_EQ(3, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Where", 1));

  ASSERT_EQ(0, tq_set_vs_env(0));
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Where", 1));
  TQHKEY again = 0;
  ASSERT_EQ(TQREG_OK, Open("SOFTWARE\\Tarquel\\MRK", &again));
  unsigned n = 1, size = 4;
  ASSERT_EQ(TQREG_OK, TqkRegQueryValueEx(again, "Where", nullptr, nullptr, &n, &size));
  EXPECT_EQ(0u, n);
  TqkRegCloseKey(again);
}

}  // namespace
