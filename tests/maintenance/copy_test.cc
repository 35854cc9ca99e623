// Recursive key copy over the shared key-tree walk.
#include "maint_test.h"

using namespace mtest;
using tqtest::RegistryTest;

namespace {

TEST_F(RegistryTest, CopyReproducesValuesAndSubkeysAtEveryLevel) {
  PutStr("A", "s", "text");
  PutNum("A", "n", 7);
  PutStr("A\\x", "xv", "one");
  PutNum("A\\x\\y", "yv", 3);

  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));

  EXPECT_EQ("text", Str(TQPROD_GetValue("B", "s", 0)));
  EXPECT_EQ("7", Str(TQPROD_GetValue("B", "n", 0)));
  EXPECT_EQ("one", Str(TQPROD_GetValue("B\\x", "xv", 0)));
  Raw y = GetRaw(Abs("B\\x\\y"), "yv");
  ASSERT_TRUE(y.found);
  EXPECT_EQ(TQREG_DWORD, y.type);  // numbers travel as text and come back as numbers
  EXPECT_EQ(2, ValueCount(Abs("B")));
  // The source is untouched.
  EXPECT_EQ(2, ValueCount(Abs("A")));
}

TEST_F(RegistryTest, CopyConvertsOddTypesAndKeepsAllBitsNumbers) {
  PutNum("A", "all", 0xFFFFFFFFu);
  const char bin[] = {'a', 'b', '\0', 'c', 'd'};
  PutRaw(Abs("A"), "bin", 3, bin, sizeof bin);
  const char multi[] = "one\0two\0three\0";  // plus the literal's own final zero
  PutRaw(Abs("A"), "list", TQREG_MULTI_SZ, multi, sizeof multi);

  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));

  Raw all = GetRaw(Abs("B"), "all");
  ASSERT_TRUE(all.found);
  EXPECT_EQ(TQREG_DWORD, all.type);
  EXPECT_EQ(std::string(4, '\xff'), all.data);

  Raw b = GetRaw(Abs("B"), "bin");
  ASSERT_TRUE(b.found);
  EXPECT_EQ(TQREG_SZ, b.type);
  EXPECT_EQ(std::string("ab\0", 3), b.data);

  Raw l = GetRaw(Abs("B"), "list");
  ASSERT_TRUE(l.found);
  EXPECT_EQ(TQREG_MULTI_SZ, l.type);
  EXPECT_EQ(std::string(multi, sizeof multi), l.data);
}

TEST_F(RegistryTest, CopyPassesOverPrngSubtreesButNotTheirSiblings) {
  PutStr("A\\AAA", "v", "1");
  PutStr("A\\PRNG", "seed", "secret");
  PutStr("A\\PRNG\\deep", "v", "2");
  PutStr("A\\Zed", "v", "3");
  PutStr("A\\Zed\\PRNG", "seed", "x");  // at any level
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));

  EXPECT_EQ("1", Str(TQPROD_GetValue("B\\AAA", "v", 0)));
  EXPECT_EQ("3", Str(TQPROD_GetValue("B\\Zed", "v", 0)));
  EXPECT_FALSE(KeyExists(Abs("B\\PRNG")));
  EXPECT_FALSE(KeyExists(Abs("B\\Zed\\PRNG")));

  // Only the exact name is passed over.
  PutStr("C\\Prng", "v", "5");
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("C", "D"));
  EXPECT_EQ("5", Str(TQPROD_GetValue("D\\Prng", "v", 0)));
}

TEST_F(RegistryTest, CopyStopsBelowOneHundredLevelsWithMinusTwo) {
  PutStr("A", "top", "t");
  PutStr("A\\first", "v", "visited before the chain");
  MakeChain("A\\x", 100);  // x is level 1, the last k level 101
  std::string level100 = "B\\x";
  for (int i = 1; i <= 99; ++i) level100 += "\\k";

  EXPECT_EQ(-2, TQPROD_CopyKeyRecursive("A", "B"));

  EXPECT_EQ("t", Str(TQPROD_GetValue("B", "top", 0)));
  EXPECT_EQ("visited before the chain", Str(TQPROD_GetValue("B\\first", "v", 0)));
  EXPECT_EQ("99", Get(level100, "lvl"));
  EXPECT_FALSE(KeyExists(Abs(level100 + "\\k")));

  // Exactly 100 levels is fine.
  MakeChain("C\\x", 99);
  EXPECT_EQ(0, TQPROD_CopyKeyRecursive("C", "D"));
  EXPECT_EQ("99", Get("D" + level100.substr(1), "lvl"));
}

TEST_F(RegistryTest, CopyOfMissingOrEmptyTreesWritesNothing) {
  EXPECT_EQ(-1, TQPROD_CopyKeyRecursive("Missing", "B"));
  EXPECT_FALSE(KeyExists(Abs("B")));
  EXPECT_EQ(-1, TQPROD_CopyKeyRecursive(nullptr, "B"));
  EXPECT_EQ(-1, TQPROD_CopyKeyRecursive("A", nullptr));

  MakeKey(Abs("E\\inner"));
  EXPECT_EQ(0, TQPROD_CopyKeyRecursive("E", "F"));
  EXPECT_FALSE(KeyExists(Abs("F")));
}

TEST_F(RegistryTest, CopyOfTheRootCopiesItsSubtreeNotItsOwnValues) {
  PutStr("", "rootval", "r");
  PutStr("P\\q", "v", "1");
  for (const char *start : {"", "."}) {
    SCOPED_TRACE(start);
    TQPROD_DelKey("AAA");
    // "AAA" sorts before "P": it appears at index 0 once written, so the walk
    // meets "P" a second time and copies it again; the copy is not visited.
    EXPECT_EQ(0, TQPROD_CopyKeyRecursive(start, "AAA"));
    EXPECT_EQ("1", Str(TQPROD_GetValue("AAA\\P\\q", "v", 0)));
    EXPECT_EQ(nullptr, TQPROD_GetValue("AAA", "rootval", 0));
    EXPECT_FALSE(KeyExists(Abs("AAA\\AAA")));
  }
}

TEST_F(RegistryTest, CopyKeyValuesPassesThroughTheService) {
  PutStr("S", "a", "1");
  MakeKey(Abs("D"));
  TQHKEY s = 0, d = 0;
  ASSERT_EQ(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), Abs("S").c_str(), 0, 0, &s));
  ASSERT_EQ(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), Abs("D").c_str(), 0, 0, &d));
  EXPECT_EQ(TQPRODIS_CopyKeyValues(s, d), TQPROD_CopyKeyValues(s, d));
  EXPECT_EQ("1", Str(TQPROD_GetValue("D", "a", 0)));
  EXPECT_EQ(TQPRODIS_CopyKeyValues(0xdead, d), TQPROD_CopyKeyValues(0xdead, d));
  TqkRegCloseKey(s);
  TqkRegCloseKey(d);
}

}  // namespace
