// The two report strings: roles of the firewall and installed products.
#include "raw.h"
#include "tq_test.h"

using namespace tqtest;

namespace {

using Report = RegistryTest;

TEST_F(Report, RegistryStringListsTheRolesThatAreOnInTableOrder) {
  const char *roles[] = {"FWManagement", "FireWall", "HighAvailability", "LogServer", "Primary"};
  MakeKey(K("MRK"));
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(1)));
  for (const char *role : roles) {
    PutNum(K("MRK"), role, 2);  // any non-zero number is on
    EXPECT_EQ(role, Take(TQPROD_GetRegistryString(-7)));
    PutNum(K("MRK"), role, 0);
  }
  for (int i = 4; i >= 0; --i) PutNum(K("MRK"), roles[i], 1);
  EXPECT_EQ("FWManagement,FireWall,HighAvailability,LogServer,Primary",
            Take(TQPROD_GetRegistryString(1)));
}

TEST_F(Report, ProductsStringRenamesFiltersAndAddsObv) {
  const struct {
    std::vector<std::string> installed;  // in enumeration order
    bool obv_current, correlation_unit;
    const char *want;
  } rows[] = {
      {{"OBV", "PXG", "Quellin VX", "Quellin VX2", "X"}, false, false, "obv,pxg,QLN,Quellin VX2,X"},
      {{"Reporting Module", "X"}, false, true, "Reporting Module,X"},
      {{"Y"}, true, false, "Y,obv"},
      {{"Y", "myobvtool"}, true, false, "Y,myobvtool"},  // "obv" anywhere in the text
      {{}, true, false, "<null>"},
      {{"Reporting Module"}, true, false, "<null>"},
      {{"A", "Reporting Module", "X"}, false, false, "A,X"},
  };
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(1)));  // no installed-products key
  for (const auto &row : rows) {
    for (const char *key : {"products", "obv", "Reporting Module"}) TQPROD_DelKey(key);
    MakeKey(K("products"));
    for (const std::string &p : row.installed) PutStr(K("products"), p, "1");
    if (row.obv_current) PutStr(K("obv"), "CurrentVersion", "R1");
    if (row.correlation_unit) PutNum(K("Reporting Module"), "AnalyzerCorrelationUnit", 1);
    EXPECT_EQ(row.want, Take(TQPROD_GetProductsString(1))) << testing::PrintToString(row.installed);
  }
  // Whole names within 1023 characters, nothing after the first that does
  // not fit: four names of 250 take 1003, a fifth of 19 fits, of 20 not.
  const std::string four = std::string(250, 'a') + "," + std::string(250, 'b') + "," +
                           std::string(250, 'c') + "," + std::string(250, 'd');
  for (size_t last : {20u, 19u}) {
    ASSERT_EQ(0, TQPROD_DelKey("products"));
    for (char c : std::string("abcd")) PutStr(K("products"), std::string(250, c), "1");
    PutStr(K("products"), std::string(last, 'e'), "1");
    PutStr(K("products"), "zz", "1");
    EXPECT_EQ(last == 19 ? four + "," + std::string(19, 'e') : four, Take(TQPROD_GetProductsString(1)));
  }
}

// Mode 0 copies the product configuration's lists; the registry is not
// consulted.
TEST_F(Report, ModeZeroCopiesTheProductConfigurationLines) {
  setenv("FWDIR", sysroot_.c_str(), 1);
  PutNum(K("MRK"), "Primary", 1);
  PutStr(K("products"), "X", "1");
  EXPECT_EQ("<null> <null>", Take(TQPROD_GetRegistryString(0)) + " " + Take(TQPROD_GetProductsString(0)));
  WriteFile(sysroot_ + "/conf/product.conf", "FireWall 1\nFWManagement=1\nQuellin 1\nHighAvailability 0\n");
  EXPECT_EQ("FireWall,FWManagement MRK,QLN",
            Take(TQPROD_GetRegistryString(0)) + " " + Take(TQPROD_GetProductsString(0)));
  unsetenv("FWDIR");
}

}  // namespace
