// Values: order, replacement, types, sizes and limits.
#include "reg_helpers.h"

using namespace regtest;

namespace {

class RegValues : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    tqtest::RegistryTest::SetUp();
    k_ = Create("V");
    ASSERT_NE(0u, k_);
  }
  void TearDown() override {
    TqkRegCloseKey(k_);
    tqtest::RegistryTest::TearDown();
  }
  TQHKEY k_ = 0;
};

TEST_F(RegValues, ValuesKeepCreationOrderAndReplacementKeepsItsPlace) {
  for (const char *n : {"zeta", "Alpha", "mid", "beta"}) ASSERT_EQ(TQREG_OK, SetStr(k_, n, n));
  EXPECT_EQ(Strings({"zeta", "Alpha", "mid", "beta"}), ValueNames(k_));

  // Replacing through another case keeps place and first spelling; the
  // type may change.
  ASSERT_EQ(TQREG_OK, SetNum(k_, "ALPHA", 7));
  EXPECT_EQ(Strings({"zeta", "Alpha", "mid", "beta"}), ValueNames(k_));
  std::string data;
  unsigned type = 0;
  ASSERT_TRUE(Query(k_, "alpha", &data, &type));
  EXPECT_EQ(TQREG_DWORD, type);
  EXPECT_EQ(4u, data.size());

  // Deleting keeps indices dense; a re-added name goes to the end.
  ASSERT_EQ(TQREG_OK, TqkRegDeleteValue(k_, "MID"));
  EXPECT_EQ(Strings({"zeta", "Alpha", "beta"}), ValueNames(k_));
  ASSERT_EQ(TQREG_OK, SetStr(k_, "Mid", "again"));
  EXPECT_EQ(Strings({"zeta", "Alpha", "beta", "Mid"}), ValueNames(k_));
  ASSERT_EQ(TQREG_OK, TqkRegDeleteValue(k_, "zeta"));
  ASSERT_EQ(TQREG_OK, SetStr(k_, "new", "x"));
  EXPECT_EQ(Strings({"Alpha", "beta", "Mid", "new"}), ValueNames(k_));
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegDeleteValue(k_, "zeta"));
}

TEST_F(RegValues, EmptyNameIsTheDefaultValue) {
  ASSERT_EQ(TQREG_OK, SetStr(k_, "", "default"));
  ASSERT_EQ(TQREG_OK, SetStr(k_, "named", "n"));
  std::string data;
  ASSERT_TRUE(Query(k_, "", &data));
  EXPECT_EQ(std::string("default\0", 8), data);
  EXPECT_EQ(Strings({"", "named"}), ValueNames(k_));
  EXPECT_EQ(TQREG_OK, TqkRegDeleteValue(k_, ""));
  EXPECT_FALSE(Query(k_, "", &data));
}

TEST_F(RegValues, AnyTypeIsStoredAsOpaqueBytes) {
  const unsigned char bin[] = {'a', 'b', 0, 'c', 'd', 0xff, 0};
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k_, "bin", 0, 3, bin, sizeof bin));
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k_, "odd", 0, 0xdeadbeefu, "xyz", 3));
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k_, "empty", 0, TQREG_SZ, nullptr, 0));
  const char multi[] = "one\0two\0";
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k_, "multi", 0, TQREG_MULTI_SZ, multi, sizeof multi));

  std::string data;
  unsigned type = 0;
  ASSERT_TRUE(Query(k_, "bin", &data, &type));
  EXPECT_EQ(3u, type);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(bin), sizeof bin), data);
  ASSERT_TRUE(Query(k_, "odd", &data, &type));
  EXPECT_EQ(0xdeadbeefu, type);
  EXPECT_EQ("xyz", data);
  ASSERT_TRUE(Query(k_, "empty", &data, &type));
  EXPECT_EQ(TQREG_SZ, type);
  EXPECT_EQ(0u, data.size());
  ASSERT_TRUE(Query(k_, "multi", &data, &type));
  EXPECT_EQ(TQREG_MULTI_SZ, type);
  EXPECT_EQ(std::string(multi, sizeof multi), data);
}

TEST_F(RegValues, QueryReportsTheNeedWhenTheBufferIsShort) {
  ASSERT_EQ(TQREG_OK, SetStr(k_, "s", "hello"));  // 6 bytes
  char buf[16];
  memset(buf, '#', sizeof buf);
  unsigned size = 5, type = 0;
  EXPECT_EQ(TQREG_E_MOREDATA, TqkRegQueryValueEx(k_, "s", nullptr, &type, buf, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ('#', buf[0]);  // nothing written
  // Size-only query.
  size = 0;
  EXPECT_EQ(TQREG_OK, TqkRegQueryValueEx(k_, "s", nullptr, &type, nullptr, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(TQREG_SZ, type);
  // Exactly enough.
  size = 6;
  EXPECT_EQ(TQREG_OK, TqkRegQueryValueEx(k_, "s", nullptr, nullptr, buf, &size));
  EXPECT_STREQ("hello", buf);
  EXPECT_EQ('#', buf[6]);
  // A missing value leaves the size alone.
  size = 9;
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegQueryValueEx(k_, "nope", nullptr, nullptr, buf, &size));
  EXPECT_EQ(9u, size);
}

TEST_F(RegValues, EnumValueReportsNamesTypesAndSizes) {
  ASSERT_EQ(TQREG_OK, SetStr(k_, "first", "abc"));
  ASSERT_EQ(TQREG_OK, SetNum(k_, "second", 0xffffffffu));
  char name[32], data[32];
  unsigned nsize = sizeof name, dsize = sizeof data, type = 0;
  ASSERT_EQ(TQREG_OK, TqkRegEnumValue(k_, 1, name, &nsize, nullptr, &type, data, &dsize));
  EXPECT_STREQ("second", name);
  EXPECT_EQ(6u, nsize);
  EXPECT_EQ(TQREG_DWORD, type);
  EXPECT_EQ(4u, dsize);
  EXPECT_EQ(0xffffffffu, *reinterpret_cast<uint32_t *>(data));

  // Name buffer one short (no room for the terminator).
  nsize = 5;
  dsize = sizeof data;
  memset(name, '#', sizeof name);
  EXPECT_EQ(TQREG_E_MOREDATA, TqkRegEnumValue(k_, 0, name, &nsize, nullptr, &type, data, &dsize));
  EXPECT_EQ('#', name[0]);
  EXPECT_EQ(5u, nsize);
  // Data buffer short: the need is reported.
  nsize = sizeof name;
  dsize = 3;
  EXPECT_EQ(TQREG_E_MOREDATA, TqkRegEnumValue(k_, 0, name, &nsize, nullptr, &type, data, &dsize));
  EXPECT_EQ(4u, dsize);
  // Without a data buffer only the size comes back.
  nsize = 6;
  dsize = 0;
  ASSERT_EQ(TQREG_OK, TqkRegEnumValue(k_, 0, name, &nsize, nullptr, &type, nullptr, &dsize));
  EXPECT_STREQ("first", name);
  EXPECT_EQ(5u, nsize);
  EXPECT_EQ(4u, dsize);
  EXPECT_EQ(TQREG_E_NOTFOUND,
            TqkRegEnumValue(k_, 2, name, &nsize, nullptr, &type, nullptr, nullptr));
}

TEST_F(RegValues, DataAndNameLimitsHoldAtTheBoundary) {
  std::string big(TQREG_MAX_DATA, 'x');
  big[12345] = '\0';
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(k_, "big", 0, 3, big.data(), TQREG_MAX_DATA));
  std::string over(TQREG_MAX_DATA + 1, 'y');
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegSetValueEx(k_, "big", 0, 3, over.data(), TQREG_MAX_DATA + 1));
  std::string data;
  ASSERT_TRUE(Query(k_, "big", &data));
  EXPECT_EQ(big, data);  // untouched by the refused write

  std::string n255(TQREG_MAX_VALUE_NAME, 'v'), n256(TQREG_MAX_VALUE_NAME + 1, 'v');
  EXPECT_EQ(TQREG_OK, SetStr(k_, n255, "ok"));
  EXPECT_EQ(TQREG_E_LIMIT, SetStr(k_, n256, "no"));
  EXPECT_EQ(Strings({"big", n255}), ValueNames(k_));
  unsigned size = 0;
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegQueryValueEx(k_, n256.c_str(), nullptr, nullptr, nullptr, &size));
}

TEST_F(RegValues, CopyKeyValuesCopiesEveryValueIntoTheDestination) {
  TQHKEY src = Create("Src");
  TQHKEY dst = Create("Dst");
  ASSERT_EQ(TQREG_OK, SetStr(src, "a", "1"));
  ASSERT_EQ(TQREG_OK, SetNum(src, "b", 2));
  ASSERT_EQ(TQREG_OK, TqkRegSetValueEx(src, "c", 0, 3, "\x01\x00\x02", 3));
  ASSERT_EQ(TQREG_OK, SetStr(dst, "B", "old"));
  ASSERT_EQ(TQREG_OK, SetStr(dst, "keep", "k"));

  EXPECT_EQ(0, TQPRODIS_CopyKeyValues(src, dst));
  EXPECT_EQ(Strings({"B", "keep", "a", "c"}), ValueNames(dst));
  std::string data;
  unsigned type;
  ASSERT_TRUE(Query(dst, "b", &data, &type));
  EXPECT_EQ(TQREG_DWORD, type);
  EXPECT_EQ(2u, *reinterpret_cast<const uint32_t *>(data.data()));
  ASSERT_TRUE(Query(dst, "c", &data, &type));
  EXPECT_EQ(std::string("\x01\x00\x02", 3), data);
  EXPECT_EQ(0, TQPRODIS_CopyKeyValues(src, src));
  EXPECT_EQ(-1, TQPRODIS_CopyKeyValues(src, 0));
  EXPECT_EQ(-1, TQPRODIS_CopyKeyValues(0x777, dst));
  TqkRegCloseKey(src);
  TqkRegCloseKey(dst);
}

}  // namespace
