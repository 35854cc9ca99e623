// The one-call reader and writer, and the firewall directory lookup.
#include <stdlib.h>

#include "reg_helpers.h"

using namespace regtest;

namespace {

class RegVar : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    tqtest::RegistryTest::SetUp();
    unsetenv("FWDIR");
  }
  void TearDown() override {
    unsetenv("FWDIR");
    tqtest::RegistryTest::TearDown();
  }
  static const char *Str(TQREGVAR v) { return reinterpret_cast<const char *>(v); }
};

TEST_F(RegVar, UnversionedReadsTheKeyItself) {
  TQHKEY k = Create("SOFTWARE\\Tarquel\\MRK");
  ASSERT_EQ(TQREG_OK, SetNum(k, "Num", 17));
  ASSERT_EQ(TQREG_OK, SetNum(k, "Neg", 0xfffffffeu));
  ASSERT_EQ(TQREG_OK, SetStr(k, "Text", "hello"));
  EXPECT_EQ(17, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Num", 0));
  EXPECT_EQ(-2, TQPRODIS_GetVarFromRegistry("software\\tarquel\\mrk", "neg", 0));
  EXPECT_STREQ("hello", Str(TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "TEXT", 0)));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "missing", 0));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\Nope", "Num", 0));
  TqkRegCloseKey(k);
}

TEST_F(RegVar, VersionedReadsBelowCurrentVersionOrTheKeyWithoutOne) {
  TQHKEY k = Create("SOFTWARE\\Tarquel\\MRK");
  ASSERT_EQ(TQREG_OK, SetNum(k, "Flag", 1));
  // No CurrentVersion yet: the key itself.
  EXPECT_EQ(1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Flag", 1));

  TQHKEY v = Create("R80", k);
  ASSERT_EQ(TQREG_OK, SetNum(v, "Flag", 5));
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "r80"));
  EXPECT_EQ(5, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Flag", 1));
  EXPECT_EQ(1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Flag", 0));

  // CurrentVersion naming a missing subkey: absent, and nothing is created.
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "R99"));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Flag", 1));
  EXPECT_FALSE(Exists("SOFTWARE\\Tarquel\\MRK\\R99"));
  // A CurrentVersion that is not a string is ignored.
  ASSERT_EQ(TQREG_OK, SetNum(k, "CurrentVersion", 80));
  EXPECT_EQ(1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "Flag", 1));
  // Reading a missing key creates nothing either.
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\Ghost\\Sub", "Flag", 1));
  EXPECT_FALSE(Exists("SOFTWARE\\Tarquel\\Ghost"));
  TqkRegCloseKey(v);
  TqkRegCloseKey(k);
}

TEST_F(RegVar, StringsAreTerminatedAndLiveUntilTheNextCall) {
  TQHKEY k = Create("K");
  // Stored without a terminator, and a multi-string without its final one.
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k, "raw", 0, TQREG_SZ, "abc", 3));
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k, "multi", 0, TQREG_MULTI_SZ, "one\0two\0", 8));
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k, "other", 0, 3, "xy", 2));
  EXPECT_STREQ("abc", Str(TQPRODIS_GetVarFromRegistry("K", "raw", 0)));
  const char *m = Str(TQPRODIS_GetVarFromRegistry("K", "multi", 0));
  ASSERT_NE(nullptr, m);
  EXPECT_EQ(0, memcmp(m, "one\0two\0\0", 9));
  EXPECT_STREQ("xy", Str(TQPRODIS_GetVarFromRegistry("K", "other", 0)));

  // The result is a copy: the caller may read it after writes of its own
  // registry data and it reflects the value as read.
  const char *before = Str(TQPRODIS_GetVarFromRegistry("K", "raw", 0));
  std::string copy = before;
  ASSERT_EQ(TQREG_OK, SetStr(k, "raw", "changed"));
  EXPECT_EQ("abc", copy);
  EXPECT_STREQ("changed", Str(TQPRODIS_GetVarFromRegistry("K", "raw", 0)));
  TqkRegCloseKey(k);
}

TEST_F(RegVar, ReadsSeeEveryLocalWrite) {
  TQHKEY k = Create("SOFTWARE\\Tarquel\\MRK");
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "A"));
  TQHKEY a = Create("A", k), b = Create("B", k);
  ASSERT_EQ(TQREG_OK, SetNum(a, "F", 1));
  ASSERT_EQ(TQREG_OK, SetNum(b, "F", 2));
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "A"));
    EXPECT_EQ(1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "F", 1));
    ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "B"));
    EXPECT_EQ(2, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "F", 1));
  }
  ASSERT_EQ(TQREG_OK, TqkRegDeleteValue(b, "F"));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "F", 1));
  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(k, "B"));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "F", 1));
  TqkRegCloseKey(b);
  TqkRegCloseKey(a);
  TqkRegCloseKey(k);
}

TEST_F(RegVar, SetVarCreatesTheKeyAndHonoursCurrentVersion) {
  EXPECT_EQ(0, TQPRODIS_SetVarToRegistry("SOFTWARE\\Tarquel\\New", "N", 0xffffffffu, 1));
  EXPECT_EQ(-1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\New", "N", 0));
  std::string data;
  unsigned type = 0;
  TQHKEY k = 0;
  ASSERT_EQ(TQREG_OK, Open("SOFTWARE\\Tarquel\\New", &k));
  ASSERT_TRUE(Query(k, "N", &data, &type));
  EXPECT_EQ(TQREG_DWORD, type);
  EXPECT_EQ(4u, data.size());

  // With a CurrentVersion the versioned write goes to (and creates) it.
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "V2"));
  EXPECT_EQ(0, TQPRODIS_SetVarToRegistry("SOFTWARE\\Tarquel\\New", "N", 9, 1));
  EXPECT_TRUE(Exists("SOFTWARE\\Tarquel\\New\\V2"));
  EXPECT_EQ(9, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\New", "N", 1));
  EXPECT_EQ(-1, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\New", "N", 0));
  // Unversioned writes ignore it.
  EXPECT_EQ(0, TQPRODIS_SetVarToRegistry("SOFTWARE\\Tarquel\\New", "N", 3, 0));
  EXPECT_EQ(3, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\New", "N", 0));
  EXPECT_EQ(-1, TQPRODIS_SetVarToRegistry("SOFTWARE\\Tarquel\\New", std::string(TQREG_MAX_VALUE_NAME + 1, 'n').c_str(),
                                          1, 0));
  TqkRegCloseKey(k);
}

TEST_F(RegVar, FwdirComesFromTheRegistryElseTheEnvironment) {
  EXPECT_EQ(nullptr, GetFwdirFromRegistry());
  setenv("FWDIR", "/opt/env-fw", 1);
  EXPECT_STREQ("/opt/env-fw", GetFwdirFromRegistry());

  TQHKEY k = Create("SOFTWARE\\Tarquel\\MRK");
  TQHKEY v = Create("R81", k);
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "R81"));
  ASSERT_EQ(TQREG_OK, SetStr(k, "FWDIR", "/opt/unversioned"));
  // Only the current version's FWDIR counts.
  EXPECT_STREQ("/opt/env-fw", GetFwdirFromRegistry());
  ASSERT_EQ(TQREG_OK, SetStr(v, "FWDIR", "/opt/tq/fw1/R81"));
  EXPECT_STREQ("/opt/tq/fw1/R81", GetFwdirFromRegistry());
  unsetenv("FWDIR");
  EXPECT_STREQ("/opt/tq/fw1/R81", GetFwdirFromRegistry());
  TqkRegCloseKey(v);
  TqkRegCloseKey(k);
}

}  // namespace
