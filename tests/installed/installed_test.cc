// Installed products: the enumeration cursor, installed marks in their
// stored forms, the product list's order, deduplication and budget, lists
// longer than the read limits, the copy between keys, the endpoint policy
// queries and the product check.
#include <string.h>

#include <string>
#include <vector>

#include "../flags/raw.h"
#include "tq_test.h"

namespace {

using tqtest::RegistryTest;

constexpr const char kRoot[] = "SOFTWARE\\Tarquel";
constexpr const char kProducts[] = "SOFTWARE\\Tarquel\\Products";

using flagtest::KeyExists;
using flagtest::Put;
using flagtest::PutText;

// Raw bytes of a value; "<absent>" when missing.
std::string Raw(const char *key, const char *name, unsigned *type = nullptr) {
  unsigned t = 0;
  std::string data;
  if (!flagtest::Get(key, name, t, data)) return "<absent>";
  if (type) *type = t;
  return data;
}

std::string MultiSz(const std::vector<std::string> &names) {
  std::string out;
  for (const auto &n : names) out += n + '\0';
  return out + '\0';
}

void PutList(const char *key, const char *name, const std::vector<std::string> &names) {
  std::string data = MultiSz(names);
  Put(key, name, 7, data.data(), static_cast<unsigned>(data.size()));
}

std::vector<std::string> ReadProductList() {
  char *list[300];
  int count = 300;
  EXPECT_EQ(0, TQKGetProductList(list, &count));
  return std::vector<std::string>(list, list + count);
}

std::vector<std::string> Names(const char *prefix, int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

TEST_F(RegistryTest, InstalledProductsEnumerationKeepsItsCursorAtTheEnd) {
  char name[500];
  EXPECT_EQ(-2, TQPROD_GetInstalledProducts(1, name));
  flagtest::MakeKey("SOFTWARE\\Tarquel\\products");  // one key with "Products"
  EXPECT_EQ(-3, TQPROD_GetInstalledProducts(1, name));

  PutText(kProducts, "Mirrak", "1");
  std::string big(100000, 'd');  // data never limits the enumeration
  Put(kProducts, "Pellora", 3, big.data(), static_cast<unsigned>(big.size()));
  ASSERT_EQ(0, TQPROD_GetInstalledProducts(1, name));
  EXPECT_STREQ("Mirrak", name);
  ASSERT_EQ(0, TQPROD_GetInstalledProducts(0, name));
  EXPECT_STREQ("Pellora", name);
  EXPECT_EQ(-3, TQPROD_GetInstalledProducts(0, name));
  // The cursor did not move: a value added now is the next one.
  PutText(kProducts, "Quellin", "0");
  ASSERT_EQ(0, TQPROD_GetInstalledProducts(0, name));
  EXPECT_STREQ("Quellin", name);
  ASSERT_EQ(0, TQPROD_GetInstalledProducts(1, name));
  EXPECT_STREQ("Mirrak", name);
}

TEST_F(RegistryTest, MarksReadInstalledUnlessExactlyZero) {
  EXPECT_EQ(0, TqkIsInstalledQuellin());
  PutText(kProducts, "Quellin", "00");
  EXPECT_EQ(1, TqkIsInstalledQuellin());
  PutText(kProducts, "Quellin", "false");
  EXPECT_EQ(1, TqkIsInstalledQuellin());
  PutText(kProducts, "Quellin", "0");
  EXPECT_EQ(0, TqkIsInstalledQuellin());
  Put(kProducts, "Quellin", 1, "0", 1);  // stored without its terminator
  EXPECT_EQ(0, TqkIsInstalledQuellin());
  uint32_t n = 0;
  Put(kProducts, "Pellora", 4, &n, 4);
  EXPECT_EQ(0, TqkIsInstalledPellora());
  n = 5;
  Put(kProducts, "Pellora", 4, &n, 4);
  EXPECT_EQ(1, TqkIsInstalledPellora());
  Put(kProducts, "LoadAgent", 3, "1", 2);  // other types never count
  EXPECT_EQ(0, TqkIsInstalledLoadAgent());
  Put(kProducts, "SessionAgent", 1, "", 0);  // size 0
  EXPECT_EQ(0, TqkIsInstalledSessionAgent());
  std::string longText(60, '1');  // does not fit the 40-byte read
  PutText(kProducts, "Compression", longText.c_str());
  EXPECT_EQ(0, TqkIsInstalledCompression());
  PutText(kProducts, "TQnexo", "1");
  EXPECT_EQ(1, NexoIsInstalled());
}

TEST_F(RegistryTest, SettingAMarkWritesTextOneAndNeedsTheKey) {
  EXPECT_EQ(-1, TqkSetInstalledFireWall());
  EXPECT_FALSE(KeyExists(kProducts));
  Put(kProducts, "Other", 1, "", 0);
  ASSERT_EQ(0, TqkSetInstalledFireWall());
  unsigned type = 0;
  EXPECT_EQ(std::string("1", 2), Raw(kProducts, "Mirrak", &type));
  EXPECT_EQ(1u, type);
  EXPECT_EQ(1, TqkIsInstalledFireWall());
  EXPECT_EQ(0, TqkSetInstalledLogConsolidatorEngine());
  EXPECT_EQ(std::string("1", 2), Raw(kProducts, "LogConsolidatorEngine"));
  EXPECT_EQ(0, TqkSetInstalledReportingServer());
  EXPECT_EQ(1, TqkIsInstalledReportingServer());
}

TEST_F(RegistryTest, AddingPutsTheNameFirstOnce) {
  EXPECT_EQ(-1, TQKAddProductList("Alpha"));  // no product-family root
  EXPECT_FALSE(KeyExists(kRoot));
  PutText(kRoot, "Dummy", "");
  ASSERT_EQ(0, TQKAddProductList("Alpha"));
  EXPECT_EQ(MultiSz({"Alpha"}), Raw(kRoot, "Products"));

  PutList(kRoot, "Products", {"Beta", "Alpha", "Gamma"});
  ASSERT_EQ(0, TQKAddProductList("Alpha"));
  unsigned type = 0;
  EXPECT_EQ(MultiSz({"Alpha", "Beta", "Gamma"}), Raw(kRoot, "Products", &type));
  EXPECT_EQ(7u, type);
  ASSERT_EQ(0, TQKAddProductList("alpha"));  // names compare exactly
  EXPECT_EQ((std::vector<std::string>{"alpha", "Alpha", "Beta", "Gamma"}), ReadProductList());

  EXPECT_EQ(-1, TQKAddProductList(""));
  EXPECT_EQ(-1, TQKAddProductList(nullptr));
  // A value of another type is replaced by the one-name list.
  PutText(kRoot, "Products", "Beta");
  ASSERT_EQ(0, TQKAddProductList("Delta"));
  EXPECT_EQ(MultiSz({"Delta"}), Raw(kRoot, "Products"));
}

TEST_F(RegistryTest, AddingRespectsTheBudgetAndNeverDropsNames) {
  PutText(kRoot, "Dummy", "");
  EXPECT_EQ(-1, TQKAddProductList(std::string(2037, 'n').c_str()));
  EXPECT_EQ("<absent>", Raw(kRoot, "Products"));
  ASSERT_EQ(0, TQKAddProductList(std::string(2036, 'n').c_str()));
  EXPECT_EQ(2038u, Raw(kRoot, "Products").size());

  // 150 names: more than a list read returns, all kept by an add.
  std::vector<std::string> many = Names("p", 150);
  PutList(kRoot, "Products", many);
  char *list[100];
  int count = 100;
  EXPECT_EQ(-1, TQKGetProductList(list, &count));
  EXPECT_EQ(100, count);
  ASSERT_EQ(0, TQKAddProductList("new"));
  many.insert(many.begin(), "new");
  EXPECT_EQ(MultiSz(many), Raw(kRoot, "Products"));

  // Stored names that no longer fit with the new one: refused, untouched.
  std::vector<std::string> full = Names(std::string(99, 'q').c_str(), 20);  // 2020 bytes
  PutList(kRoot, "Products", full);
  EXPECT_EQ(-1, TQKAddProductList("another-name"));
  EXPECT_EQ(MultiSz(full), Raw(kRoot, "Products"));
}

TEST_F(RegistryTest, ListReadsReportCapacityTypeAndEmptyLists) {
  char *list[4];
  int count = 4;
  EXPECT_EQ(-1, TQKGetProductList(list, &count));  // missing
  EXPECT_EQ(0, count);
  PutList(kRoot, "Products", {"One", "Two", "Three"});
  count = 2;
  EXPECT_EQ(-1, TQKGetProductList(list, &count));
  ASSERT_EQ(2, count);
  EXPECT_STREQ("One", list[0]);
  EXPECT_STREQ("Two", list[1]);
  count = 0;
  EXPECT_EQ(-1, TQKGetProductList(list, &count));
  Put(kRoot, "Products", 7, "\0", 1);
  count = 0;
  EXPECT_EQ(0, TQKGetProductList(list, &count));
  EXPECT_EQ(0, count);
  PutText(kRoot, "Products", "One");
  count = 4;
  EXPECT_EQ(-1, TQKGetProductList(list, &count));
  // Unterminated data stays within the value.
  Put(kRoot, "Products", 7, "abc", 3);
  count = 4;
  EXPECT_EQ(0, TQKGetProductList(list, &count));
  ASSERT_EQ(1, count);
  EXPECT_STREQ("abc", list[0]);
}

TEST_F(RegistryTest, CopyKeyCopiesAMultiStringInOrder) {
  PutList("SOFTWARE\\Tarquel\\Src\\Sub", "Names", {"one", "two", "three"});
  ASSERT_EQ(0, TQKAddProductListForCopyKey("Src\\Sub", "Dst\\Deep", "Names"));
  unsigned type = 0;
  EXPECT_EQ(MultiSz({"one", "two", "three"}),
            Raw("SOFTWARE\\Tarquel\\Dst\\Deep", "Names", &type));
  EXPECT_EQ(7u, type);
  char *list[8];
  int count = 8;
  ASSERT_EQ(0, TQKGetProductListForCopyKey(list, &count, "Dst\\Deep", "Names"));
  EXPECT_EQ(3, count);

  // 120 names are copied whole.
  std::vector<std::string> many = Names("n", 120);
  PutList("SOFTWARE\\Tarquel\\Src", "Many", many);
  ASSERT_EQ(0, TQKAddProductListForCopyKey("Src", "Dst", "Many"));
  EXPECT_EQ(MultiSz(many), Raw("SOFTWARE\\Tarquel\\Dst", "Many"));

  // More than the 2048-byte area: nothing created or written.
  PutList("SOFTWARE\\Tarquel\\Src", "Huge", Names(std::string(200, 'h').c_str(), 11));
  EXPECT_EQ(-1, TQKAddProductListForCopyKey("Src", "Elsewhere", "Huge"));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Tarquel\\Elsewhere"));
}

TEST_F(RegistryTest, CopyKeyOfAMissingSourcePrintsAndWritesAnEmptyValue) {
  PutText(kRoot, "Dummy", "");
  testing::internal::CaptureStdout();
  ASSERT_EQ(0, TQKAddProductListForCopyKey("Nowhere", "Dst", "Names"));
  EXPECT_EQ("path=Nowhere\nValue=Names\n", testing::internal::GetCapturedStdout());
  unsigned type = 0;
  EXPECT_EQ("", Raw("SOFTWARE\\Tarquel\\Dst", "Names", &type));
  EXPECT_EQ(7u, type);

  char *list[2];
  int count = 2;
  testing::internal::CaptureStdout();
  EXPECT_EQ(-1, TQKGetProductListForCopyKey(list, &count, "Nowhere", "V"));
  EXPECT_EQ("path=Nowhere\nValue=V\n", testing::internal::GetCapturedStdout());
  // A wrong type is no read failure: nothing printed.
  PutText("SOFTWARE\\Tarquel\\Dst", "Text", "x");
  testing::internal::CaptureStdout();
  EXPECT_EQ(-1, TQKGetProductListForCopyKey(list, &count, "Dst", "Text"));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(RegistryTest, EndpointPolicyQueries) {
  PutText("SOFTWARE\\Tarquel\\TQnexo", "CurrentVersion", "1");
  const char *key = "SOFTWARE\\Tarquel\\TQnexo\\1";
  EXPECT_EQ(0, NexoGetInstallationType());
  EXPECT_EQ(0, IsSymmetricDSConfigured());
  PutText(key, "Endpoint Security Server", "3");
  EXPECT_EQ(3, NexoGetInstallationType());
  EXPECT_EQ(0, NexoIsPolicyServer());  // equality, not a bit test
  EXPECT_EQ(1, NexoIsEps());
  EXPECT_EQ(0, NexoIsRhs());
  PutText(key, "Endpoint Security Server", " 1");
  EXPECT_EQ(1, NexoIsPolicyServer());
  PutText(key, "Endpoint Security Server", "6abc");
  EXPECT_EQ(1, NexoIsRhs());
  EXPECT_EQ(1, NexoIsEps());
  PutText(key, "Endpoint Security Server", "none");
  EXPECT_EQ(0, NexoGetInstallationType());

  uint32_t one = 1;
  Put(key, "SymmetricDSConfigured", 4, &one, 4);
  EXPECT_EQ(1, IsSymmetricDSConfigured());
  PutText(key, "SymmetricDSConfigured", "2");
  EXPECT_EQ(0, IsSymmetricDSConfigured());
  PutText(key, "SymmetricDSConfigured", "1");
  EXPECT_EQ(1, IsSymmetricDSConfigured());
}

TEST_F(RegistryTest, CheckProductStopsAtTheFirstMissingStep) {
  EXPECT_EQ(-1, TQPROD_CheckProduct("Prod"));
  EXPECT_EQ(-1, TQPROD_CheckProduct(nullptr));
  PutText("SOFTWARE\\Tarquel\\Prod", "CurrentVersion", "2");
  EXPECT_EQ(-2, TQPROD_CheckProduct("Prod"));
  PutText("SOFTWARE\\Tarquel\\Prod\\2", "ProdActive", "1");
  EXPECT_EQ(-2, TQPROD_CheckProduct("Prod"));
  PutText("SOFTWARE\\Tarquel\\Prod\\2", "IsConfigured", "1");
  EXPECT_EQ(0, TQPROD_CheckProduct("Prod"));
  PutText("SOFTWARE\\Tarquel\\Prod\\2", "ProdActive", "0");
  EXPECT_EQ(-3, TQPROD_CheckProduct("Prod"));
}

}  // namespace
