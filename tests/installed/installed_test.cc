// Installed products: the installed marks row by row from the header's
// table and as the enumeration sees them; the product list (order,
// duplicates, budget, more names than a read returns) and its copy between
// keys; the product check.
#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

constexpr const char kProducts[] = "SOFTWARE\\Tarquel\\Products";

std::string MultiSz(const Strings &names) {
  std::string out;
  for (const auto &n : names) out += n + '\0';
  return out + '\0';
}
void PutList(const std::string &key, const char *name, const Strings &names) {
  std::string data = MultiSz(names);
  PutRaw(key, name, 7, data.data(), static_cast<unsigned>(data.size()));
}
// The stored multi-string, or "<absent>" when missing or of another type.
std::string RawList(const std::string &key, const char *name) {
  RawValue v = GetRaw(key, name);
  return v.found && v.type == 7 ? v.data : "<absent>";
}
Strings Numbered(const std::string &prefix, int n) {
  Strings out;
  for (int i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

struct Mark { const char *name; int (*is)(void); int (*set)(void); const char *value; };
#define TQ_MARK(check, set, mark) {#check, check, set, mark},
const Mark kMarks[] = {TQPROD_INSTALLED_MARK_TABLE(TQ_MARK)};
#undef TQ_MARK

TEST_F(RegistryTest, EachMarkReadsAndWritesItsOwnValue) {
  char name[500];
  EXPECT_EQ(-2, TQPROD_GetInstalledProducts(1, name));
  for (const Mark &m : kMarks) EXPECT_EQ(-1, m.set()) << m.name;  // no key, not created
  EXPECT_FALSE(KeyExists(kProducts));
  for (const Mark &m : kMarks) {
    SCOPED_TRACE(m.name);
    std::string seen;
    for (const char *text : {"0", "1", ""}) {  // "": a value of no bytes
      PutRaw(kProducts, m.value, 1, text, static_cast<unsigned>(*text ? 2 : 0));
      seen += std::to_string(m.is());
    }
    EXPECT_EQ("010", seen);
    ASSERT_EQ(0, m.set());
    EXPECT_EQ(std::string("1", 2), GetRaw(kProducts, m.value).data);
    // The enumeration names it, and keeps its cursor at the end for it.
    EXPECT_EQ("0 " + std::string(m.value), std::to_string(TQPROD_GetInstalledProducts(0, name)) + " " + name);
  }
  PutRaw(kProducts, "TQnexo", 3, std::string(100000, '1').data(), 100000);
  // Other types never count; the enumeration names it whatever the value's size.
  EXPECT_EQ((Ints{0, 0, -3}),
            (Ints{NexoIsInstalled(), TQPROD_GetInstalledProducts(0, name), TQPROD_GetInstalledProducts(0, name)}));
}

TEST_F(RegistryTest, AddingPutsTheNameFirstOnceWithinTheBudget) {
  EXPECT_EQ(-1, TQKAddProductList("Alpha"));  // no product-family root
  PutList(kTarquel, "Products", {"Beta", "Alpha", "Gamma"});
  EXPECT_EQ((Ints{0, 0, -1}),  // names compare exactly; no empty name
            (Ints{TQKAddProductList("Alpha"), TQKAddProductList("alpha"), TQKAddProductList("")}));
  EXPECT_EQ(MultiSz({"alpha", "Alpha", "Beta", "Gamma"}), RawList(kTarquel, "Products"));
  PutStr(kTarquel, "Products", "Beta");  // another type is replaced by the one-name list
  EXPECT_EQ((Ints{-1, 0}), (Ints{TQKAddProductList(std::string(2037, 'n').c_str()),  // 2039 bytes
                                 TQKAddProductList(std::string(2036, 'n').c_str())}));
  EXPECT_EQ(MultiSz({std::string(2036, 'n')}), RawList(kTarquel, "Products"));
  // More names than a read returns are all kept; names that no longer fit
  // with the new one refuse it and stay untouched.
  Strings many = Numbered("p", 150);
  PutList(kTarquel, "Products", many);
  ASSERT_EQ(0, TQKAddProductList("new"));
  many.insert(many.begin(), "new");
  EXPECT_EQ(MultiSz(many), RawList(kTarquel, "Products"));
  Strings full = Numbered(std::string(99, 'q'), 20);  // 2020 bytes
  PutList(kTarquel, "Products", full);
  EXPECT_EQ(-1, TQKAddProductList("another-name"));
  EXPECT_EQ(MultiSz(full), RawList(kTarquel, "Products"));
}

TEST_F(RegistryTest, CopyKeyCopiesAMultiStringWhole) {
  Strings many = Numbered("n", 120);  // more names than a list read returns
  PutList(K("Src\\Sub"), "Names", many);
  ASSERT_EQ(0, TQKAddProductListForCopyKey("Src\\Sub", "Dst\\Deep", "Names"));
  EXPECT_EQ(MultiSz(many), RawList(K("Dst\\Deep"), "Names"));
  char *list[2];
  int count = 2;
  PutList(K("Dst"), "Two", {"a", "b"});
  ASSERT_EQ(0, TQKGetProductListForCopyKey(list, &count, "Dst", "Two"));
  EXPECT_EQ("2 a b", std::to_string(count) + " " + list[0] + " " + list[1]);
  PutList(K("Src"), "Huge", Numbered(std::string(200, 'h'), 11));  // over 2048 bytes
  // Refused, and nothing created.
  EXPECT_EQ((Ints{-1, 0}), (Ints{TQKAddProductListForCopyKey("Src", "Elsewhere", "Huge"), KeyExists(K("Elsewhere"))}));
  // A missing source is printed and copied as an empty value.
  testing::internal::CaptureStdout();
  ASSERT_EQ(0, TQKAddProductListForCopyKey("Nowhere", "Dst", "Names"));
  EXPECT_EQ(-1, TQKGetProductListForCopyKey(list, &count, "Nowhere", "V"));
  EXPECT_EQ("path=Nowhere\nValue=Names\npath=Nowhere\nValue=V\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ("", RawList(K("Dst"), "Names"));
}

// The product check stops at the first missing step.
TEST_F(RegistryTest, CheckProduct) {
  EXPECT_EQ(-1, TQPROD_CheckProduct("Prod"));
  PutStr(K("Prod"), "CurrentVersion", "2");
  PutStr(K("Prod\\2"), "ProdActive", "0");
  EXPECT_EQ(-2, TQPROD_CheckProduct("Prod"));
  PutStr(K("Prod\\2"), "IsConfigured", "1");
  EXPECT_EQ(-3, TQPROD_CheckProduct("Prod"));
  PutStr(K("Prod\\2"), "ProdActive", "1");
  EXPECT_EQ(0, TQPROD_CheckProduct("Prod"));
}

}  // namespace
