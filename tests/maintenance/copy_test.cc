// Recursive key copy over the shared key-tree walk.
#include "maint_test.h"

using namespace mtest;
using tqtest::RegistryTest;

namespace {

TEST_F(RegistryTest, CopyReproducesEveryLevelAndConvertsOddTypes) {
  PutStr("A", "s", "text");
  PutNum("A", "all", 0xFFFFFFFFu);
  const char bin[] = {'a', 'b', '\0', 'c', 'd'};
  PutRaw(Abs("A"), "bin", 3, bin, sizeof bin);
  const char multi[] = "one\0two\0three\0";  // plus the literal's own final zero
  PutRaw(Abs("A"), "list", TQREG_MULTI_SZ, multi, sizeof multi);
  PutStr("A\\x", "xv", "one");
  PutNum("A\\x\\y", "yv", 3);
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));

  EXPECT_EQ("text", Get("B", "s"));
  EXPECT_EQ("one", Get("B\\x", "xv"));
  struct {
    const char *key, *name;
    unsigned type;
    std::string data;
  } want[] = {
      {"B\\x\\y", "yv", TQREG_DWORD, std::string("\3\0\0\0", 4)},  // numbers come back as numbers
      {"B", "all", TQREG_DWORD, std::string(4, '\xff')},
      {"B", "bin", TQREG_SZ, std::string("ab\0", 3)},
      {"B", "list", TQREG_MULTI_SZ, std::string(multi, sizeof multi)},
  };
  for (const auto &w : want) {
    Raw r = GetRaw(Abs(w.key), w.name);
    ASSERT_TRUE(r.found) << w.name;
    EXPECT_EQ(w.type, r.type) << w.name;
    EXPECT_EQ(w.data, r.data) << w.name;
  }
  EXPECT_EQ(4, ValueCount(Abs("B")));
  EXPECT_EQ(4, ValueCount(Abs("A")));  // the source is untouched
}

TEST_F(RegistryTest, CopyPassesOverPrngSubtreesButNotTheirSiblings) {
  PutStr("A\\AAA", "v", "1");
  PutStr("A\\PRNG", "seed", "secret");
  PutStr("A\\PRNG\\deep", "v", "2");
  PutStr("A\\Zed", "v", "3");
  PutStr("A\\Zed\\PRNG", "seed", "x");  // at any level
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));
  EXPECT_EQ("1", Get("B\\AAA", "v"));
  EXPECT_EQ("3", Get("B\\Zed", "v"));
  EXPECT_FALSE(KeyExists(Abs("B\\PRNG")));
  EXPECT_FALSE(KeyExists(Abs("B\\Zed\\PRNG")));
  PutStr("C\\Prng", "v", "5");  // only the exact name is passed over
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("C", "D"));
  EXPECT_EQ("5", Get("D\\Prng", "v"));
}

TEST_F(RegistryTest, CopyStopsBelowOneHundredLevelsWithMinusTwo) {
  PutStr("A", "top", "t");
  PutStr("A\\first", "v", "visited before the chain");
  MakeChain("A\\x", 100);  // x is level 1, the last k level 101
  EXPECT_EQ(-2, TQPROD_CopyKeyRecursive("A", "B"));
  EXPECT_EQ("t", Get("B", "top"));
  EXPECT_EQ("visited before the chain", Get("B\\first", "v"));
  EXPECT_EQ("99", Get(Chain("B\\x", 99), "lvl"));
  EXPECT_FALSE(KeyExists(Abs(Chain("B\\x", 100))));

  MakeChain("C\\x", 99);  // exactly 100 levels is fine
  EXPECT_EQ(0, TQPROD_CopyKeyRecursive("C", "D"));
  EXPECT_EQ("99", Get(Chain("D\\x", 99), "lvl"));
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
    // "AAA" sorts before "P", so the walk meets "P" again after writing it;
    // the copy itself is not visited.
    EXPECT_EQ(0, TQPROD_CopyKeyRecursive(start, "AAA"));
    EXPECT_EQ("1", Get("AAA\\P\\q", "v"));
    EXPECT_EQ("<null>", Get("AAA", "rootval"));
    EXPECT_FALSE(KeyExists(Abs("AAA\\AAA")));
  }
}

TEST_F(RegistryTest, CopyKeyValuesPassesThroughTheService) {
  PutStr("S", "a", "1");
  MakeKey(Abs("D"));
  TQHKEY s = Open(Abs("S")), d = Open(Abs("D"));
  ASSERT_TRUE(s && d);
  EXPECT_EQ(TQPRODIS_CopyKeyValues(s, d), TQPROD_CopyKeyValues(s, d));
  EXPECT_EQ("1", Get("D", "a"));
  EXPECT_EQ(TQPRODIS_CopyKeyValues(0xdead, d), TQPROD_CopyKeyValues(0xdead, d));
  TqkRegCloseKey(s);
  TqkRegCloseKey(d);
}

}  // namespace
