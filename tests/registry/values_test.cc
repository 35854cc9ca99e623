// Typed value access: text forms of numbers, type reports, number parsing,
// key creation on write, version subkeys, and bad input.
#include <string.h>

#include <string>

#include "../flags/raw.h"
#include "tq_test.h"

namespace {

using tqtest::RegistryTest;

// Reads straight from the service, bypassing the library.
using flagtest::Get;
using flagtest::KeyExists;

int32_t RawNumber(const char *key, const char *name) {
  unsigned type = 0;
  std::string data;
  EXPECT_TRUE(Get(key, name, type, data));
  EXPECT_EQ(4u, type);
  int32_t n = 0;
  if (data.size() == 4) memcpy(&n, data.data(), 4);
  return n;
}

TEST_F(RegistryTest, NumbersReadBackAsSignedDecimalText) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "All", 4, "-1", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "Text", 1, "hello", 0));
  EXPECT_STREQ("-1", TQPROD_GetValue("Prod", "All", 0));
  EXPECT_STREQ("hello", TQPROD_GetValue("Prod", "Text", 0));
  EXPECT_EQ(-1, RawNumber("SOFTWARE\\Tarquel\\Prod", "All"));

  unsigned type = 99, size = 99;
  EXPECT_STREQ("-1", TQPROD_GetValueWithRegType("Prod", "All", 0, &type, &size));
  EXPECT_EQ(4u, type);
  EXPECT_EQ(4u, size);
  EXPECT_STREQ("hello", TQPROD_GetValueWithRegType("Prod", "Text", 0, &type, &size));
  EXPECT_EQ(1u, type);
  EXPECT_EQ(6u, size);

  // A failed read leaves type and size untouched.
  type = 77;
  size = 88;
  EXPECT_EQ(nullptr, TQPROD_GetValueWithRegType("Prod", "Missing", 0, &type, &size));
  EXPECT_EQ(77u, type);
  EXPECT_EQ(88u, size);
}

TEST_F(RegistryTest, OtherTypesAreReportedAsStringAndMultiString) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "Multi", 7, "a", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "Odd", 3, "bin", 0));
  unsigned type = 0, size = 0;
  EXPECT_STREQ("a", TQPROD_GetValueWithRegType("Prod", "Multi", 0, &type, &size));
  EXPECT_EQ(7u, type);
  EXPECT_STREQ("bin", TQPROD_GetValueWithRegType("Prod", "Odd", 0, &type, &size));
  EXPECT_EQ(1u, type);
  unsigned raw_type = 0;
  std::string data;
  ASSERT_TRUE(Get("SOFTWARE\\Tarquel\\Prod", "Odd", raw_type, data));
  EXPECT_EQ(3u, raw_type);  // stored with the caller's type code
  EXPECT_EQ(std::string("bin", 4), data);
}

TEST_F(RegistryTest, NumberTextFollowsStrtolRulesOn32Bits) {
  const char *key = "SOFTWARE\\Tarquel\\Prod";
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "A", 4, "12abc", 0));
  EXPECT_EQ(12, RawNumber(key, "A"));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "B", 4, "abc", 0));
  EXPECT_EQ(0, RawNumber(key, "B"));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "C", 4, "  -42", 0));
  EXPECT_EQ(-42, RawNumber(key, "C"));
  // Out of range saturates as a 32-bit long does, on every platform.
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "D", 4, "99999999999", 0));
  EXPECT_EQ(INT32_MAX, RawNumber(key, "D"));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "E", 4, "-99999999999", 0));
  EXPECT_EQ(INT32_MIN, RawNumber(key, "E"));
}

TEST_F(RegistryTest, WriteCreatesMissingProductKeyAndVersionedWriteUsesKeyItself) {
  EXPECT_FALSE(KeyExists("SOFTWARE\\Tarquel\\NewProd"));
  ASSERT_EQ(0, TQPROD_SetValue("NewProd\\Sub", "V", 1, "x", 1));
  // No "CurrentVersion" on the new key: the value lands on the key itself.
  unsigned type = 0;
  std::string data;
  ASSERT_TRUE(Get("SOFTWARE\\Tarquel\\NewProd\\Sub", "V", type, data));
  EXPECT_EQ(std::string("x", 2), data);
  EXPECT_STREQ("x", TQPROD_GetValue("NewProd\\Sub", "V", 1));
}

TEST_F(RegistryTest, VersionedReadCreatesTheNamedVersionSubkey) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "CurrentVersion", 1, "6.1", 0));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Tarquel\\Prod\\6.1"));
  EXPECT_EQ(nullptr, TQPROD_GetValue("Prod", "Anything", 1));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Tarquel\\Prod\\6.1"));

  ASSERT_EQ(0, TQPROD_SetValue("Prod", "Level", 4, "3", 1));
  EXPECT_EQ(3, RawNumber("SOFTWARE\\Tarquel\\Prod\\6.1", "Level"));
}

TEST_F(RegistryTest, DataFromRegistryReportsNeededSizeFailures) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "Long", 1, std::string(100, 'x').c_str(), 0));
  char small[10];
  unsigned type = 0, size = sizeof small;
  EXPECT_EQ(-1, TQPROD_GetDataFromRegistry("SOFTWARE\\Tarquel\\Prod", "Long", &type, small,
                                           &size, 0));
  char big[200];
  size = sizeof big;
  EXPECT_EQ(0, TQPROD_GetDataFromRegistry("SOFTWARE\\Tarquel\\Prod", "Long", &type, big,
                                          &size, 0));
  EXPECT_EQ(101u, size);
  EXPECT_EQ(-1, TQPROD_GetDataFromRegistry("SOFTWARE\\Tarquel\\Nope", "Long", &type, big,
                                           &size, 0));
}

TEST_F(RegistryTest, BadInputFailsWithoutCrashing) {
  std::string huge(1100, 'k');
  EXPECT_EQ(nullptr, TQPROD_GetValue(nullptr, "v", 0));
  EXPECT_EQ(nullptr, TQPROD_GetValue("Prod", nullptr, 1));
  EXPECT_EQ(nullptr, TQPROD_GetValue(huge.c_str(), "v", 1));
  EXPECT_EQ(-1, TQPROD_SetValue(nullptr, "v", 1, "x", 0));
  EXPECT_EQ(-1, TQPROD_SetValue("Prod", nullptr, 1, "x", 0));
  EXPECT_EQ(-1, TQPROD_SetValue("Prod", "v", 4, nullptr, 0));
  EXPECT_EQ(-1, TQPROD_SetValue(huge.c_str(), "v", 1, "x", 0));
  // Names beyond the registry's limits are refused, not cut.
  std::string long_name(300, 'n');
  EXPECT_EQ(-1, TQPROD_SetValue(long_name.c_str(), "v", 1, "x", 0));
  EXPECT_EQ(-1, TQPROD_GetDataFromRegistry(nullptr, "v", nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(-1, TQPROD_DelValue(nullptr, "v", 0));
  EXPECT_EQ(-1, TQPROD_DelKey(nullptr));
  EXPECT_EQ(-1, FwSetParam(nullptr, 1));
  EXPECT_EQ(0, fwregistry_readparam(nullptr));
  EXPECT_EQ(nullptr, TQPROD_GetCurrentVersion(nullptr));
  EXPECT_EQ(nullptr, TQPROD_GetReservedPath(nullptr, 0));
  EXPECT_EQ(nullptr, TQPROD_GetReservedPath(huge.c_str(), 0));
}

TEST_F(RegistryTest, DeletesAndTheirCodes) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "V", 1, "x", 0));
  // Versioned delete without a current version: -2, registry untouched.
  EXPECT_EQ(-2, TQPROD_DelValue("Prod", "V", 1));
  EXPECT_STREQ("x", TQPROD_GetValue("Prod", "V", 0));
  EXPECT_EQ(0, TQPROD_DelValue("Prod", "V", 0));
  EXPECT_EQ(nullptr, TQPROD_GetValue("Prod", "V", 0));
  EXPECT_NE(0, TQPROD_DelValue("Prod", "V", 0));  // service's not-found
  EXPECT_EQ(-1, TQPROD_DelValue("NoSuchProd", "V", 0));

  ASSERT_EQ(0, TQPROD_SetValue("Prod", "CurrentVersion", 1, "2.0", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "W", 1, "y", 1));
  EXPECT_EQ(0, TQPROD_DelValue("Prod", "W", 1));

  // An empty path would be the family root: refused.
  EXPECT_EQ(-1, TQPROD_DelKey(""));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Tarquel\\Prod"));
  EXPECT_EQ(0, TQPROD_DelKey("Prod"));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Tarquel\\Prod"));
}

TEST_F(RegistryTest, FixedKeyReadersAndFwSetParam) {
  // FwSetParam does not create the firewall key.
  EXPECT_EQ(-1, FwSetParam("Param", 5));
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "5.0", 0));
  EXPECT_EQ(0, FwSetParam("Param", 5));
  EXPECT_EQ(5, RawNumber("SOFTWARE\\Tarquel\\MRK\\5.0", "Param"));
  EXPECT_EQ(5, FwGetParam("Param"));
  EXPECT_EQ(5, fwregistry_readparam("Param"));
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "EventLogServer", 1, "logger", 1));
  TQREGVAR v = FwGetEventLogServer();
  ASSERT_NE(0, v);
  EXPECT_STREQ("logger", reinterpret_cast<const char *>(v));
  EXPECT_EQ(0, FwGetParam("Absent"));

  ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "CurrentVersion", 1, "R1", 0));
  ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "FWDIR", 1, "/opt/mds", 1));
  EXPECT_STREQ("/opt/mds", reinterpret_cast<const char *>(GetMdsFwdirFromRegistry()));
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "FWDIR", 1, "/opt/fw", 1));
  EXPECT_STREQ("/opt/fw", TQPROD_GetFwdir());
}

}  // namespace
