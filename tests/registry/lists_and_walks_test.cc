// Multi-values, walks with their cursors and codes, extension-library lists.
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "tq_test.h"

namespace {

using tqtest::RegistryTest;

struct Items {
  char buf[8][64];
  char *ptr[8];
  Items() {
    for (int i = 0; i < 8; ++i) ptr[i] = buf[i];
  }
};

TEST_F(RegistryTest, MultiValueEncodingAndBudget) {
  const char *three[] = {"one", "two", "three"};
  ASSERT_EQ(0, TQPROD_SetMultiValue("Prod", "L", 3, three, 0));
  EXPECT_STREQ("one^^two^^three^^", TQPROD_GetValue("Prod", "L", 0));

  Items items;
  int count = -7;
  EXPECT_EQ(0, TQPROD_GetMultiValue("Prod", "L", &count, items.ptr, 100, 0));
  ASSERT_EQ(3, count);
  EXPECT_STREQ("three", items.ptr[2]);
  // 3 + 3 exceeds 5: stops after the first item.
  EXPECT_EQ(-2, TQPROD_GetMultiValue("Prod", "L", &count, items.ptr, 5, 0));
  EXPECT_EQ(1, count);
  // A total equal to the budget is accepted.
  EXPECT_EQ(0, TQPROD_GetMultiValue("Prod", "L", &count, items.ptr, 11, 0));
  EXPECT_EQ(3, count);

  // Runs of "^" of any length separate; empty items vanish.
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "S", 1, "^a^b^^^c", 0));
  EXPECT_EQ(0, TQPROD_GetMultiValue("Prod", "S", &count, items.ptr, 100, 0));
  EXPECT_EQ(3, count);
  EXPECT_STREQ("c", items.ptr[2]);

  count = -7;
  EXPECT_EQ(-1, TQPROD_GetMultiValue("Prod", "Missing", &count, items.ptr, 100, 0));
  EXPECT_EQ(-7, count);

  ASSERT_EQ(0, TQPROD_SetMultiValue("Prod", "E", 0, nullptr, 0));
  EXPECT_STREQ("", TQPROD_GetValue("Prod", "E", 0));
}

TEST_F(RegistryTest, MultiValueMustFitItsBuffer) {
  std::string item(1020, 'x');  // 1020 + "^^" = 1022: fits
  const char *fits[] = {item.c_str()};
  EXPECT_EQ(0, TQPROD_SetMultiValue("Prod", "Big", 1, fits, 0));
  std::string longer(1022, 'y');  // 1024 with separators: refused
  const char *too_long[] = {longer.c_str()};
  EXPECT_EQ(-1, TQPROD_SetMultiValue("Prod", "Big", 1, too_long, 0));
  EXPECT_EQ(item + "^^", TQPROD_GetValue("Prod", "Big", 0));  // unchanged
  const char *with_null[] = {"a", nullptr};
  EXPECT_EQ(-1, TQPROD_SetMultiValue("Prod", "N", 2, with_null, 0));
}

TEST_F(RegistryTest, ReservedMultiValues) {
  const char *two[] = {"x", "y"};
  EXPECT_EQ(-1, TQPROD_SetResMultiValue("Prod", "Sub", "L", 2, two, 1));  // no version
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "CurrentVersion", 1, "1.0", 0));
  ASSERT_EQ(0, TQPROD_SetResMultiValue("Prod", "Sub", "L", 2, two, 1));
  EXPECT_STREQ("x^^y^^", TQPROD_GetValue("Prod\\1.0\\reserved\\Sub", "L", 0));
  Items items;
  int count = 0;
  EXPECT_EQ(0, TQPROD_GetResMultiValue("Prod", "Sub", "L", &count, items.ptr, 10, 1));
  EXPECT_EQ(2, count);
  ASSERT_EQ(0, TQPROD_SetResMultiValue("Prod", nullptr, "L", 1, two, 0));
  EXPECT_STREQ("x^^", TQPROD_GetValue("Prod\\reserved", "L", 0));
  EXPECT_EQ(0, TQPROD_DelKeyFromRes("Prod", "Sub", 1));
  EXPECT_EQ(-1, TQPROD_GetResMultiValue("Prod", "Sub", "L", &count, items.ptr, 10, 1));
  EXPECT_EQ(-2, TQPROD_DelKeyFromRes("NoVersion", nullptr, 1));
}

std::vector<std::string> WalkKeys(const char *product, int versioned, int *last) {
  std::vector<std::string> out;
  char name[200];
  int rc = TQPROD_GetEnumKey(product, name, versioned);
  while (rc == 0) {
    out.push_back(name);
    rc = TQPROD_GetEnumKey(nullptr, name, versioned);
  }
  *last = rc;
  return out;
}

TEST_F(RegistryTest, KeyWalksAndTheirCodes) {
  ASSERT_EQ(0, TQPROD_SetValue("Beta", "CurrentVersion", 1, "1.0", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Beta\\1.0\\hotfixes", "x", 1, "1", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Beta\\1.0\\SP1", "x", 1, "1", 0));
  ASSERT_EQ(0, TQPROD_SetValue("alpha", "x", 1, "1", 0));

  int last = 0;
  EXPECT_EQ((std::vector<std::string>{"alpha", "Beta"}), WalkKeys("TQROOT", 1, &last));
  EXPECT_EQ(-3, last);
  EXPECT_EQ((std::vector<std::string>{"alpha", "Beta"}), WalkKeys(".", 0, &last));
  EXPECT_EQ((std::vector<std::string>{"hotfixes", "SP1"}), WalkKeys("Beta", 1, &last));
  EXPECT_EQ((std::vector<std::string>{"1.0"}), WalkKeys("Beta", 0, &last));

  char name[200];
  EXPECT_EQ(-1, TQPROD_GetEnumKey("alpha", name, 1));
  EXPECT_EQ(-2, TQPROD_GetEnumKey("Missing", name, 0));
  // A new product restarts the cursor in the middle of a walk.
  ASSERT_EQ(0, TQPROD_GetEnumKey("TQROOT", name, 0));
  ASSERT_EQ(0, TQPROD_GetEnumKey("TQROOT", name, 0));
  EXPECT_STREQ("alpha", name);
  // Other walks keep their own cursors.
  char vname[500];
  ASSERT_EQ(0, TQPROD_GetKeyValues("Beta", vname, 0));
  ASSERT_EQ(0, TQPROD_GetEnumKey(nullptr, name, 0));
  EXPECT_STREQ("Beta", name);
  EXPECT_EQ(-3, TQPROD_GetEnumKey(nullptr, name, 0));
  // Over-long product names are refused.
  std::string huge(300, 'p');
  EXPECT_EQ(-2, TQPROD_GetEnumKey(huge.c_str(), name, 0));
  EXPECT_EQ(-2, TQPROD_GetEnumKey(nullptr, name, 0));
}

TEST_F(RegistryTest, ValueWalksIncludeLargeValues) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "first", 1, "1", 0));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "big", 1, std::string(2000, 'b').c_str(), 0));
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "last", 4, "3", 0));
  std::vector<std::string> names;
  char name[500];
  for (int rc = TQPROD_GetKeyValues("Prod", name, 0); rc == 0;
       rc = TQPROD_GetKeyValues(nullptr, name, 0))
    names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"first", "big", "last"}), names);

  ASSERT_EQ(0, TQPROD_SetValue("Prod\\reserved\\Env", "A", 1, "1", 0));
  ASSERT_EQ(0, TQPROD_GetResKeyValues("Prod", "Env", name, 0));
  EXPECT_STREQ("A", name);
  EXPECT_EQ(-3, TQPROD_GetResKeyValues(nullptr, "Env", name, 0));
  EXPECT_EQ(-1, TQPROD_GetResKeyValues("Prod", "Env", name, 1));
  EXPECT_EQ(0, TQPROD_GetEnumKeyFromRes("Prod", nullptr, name, 0));
  EXPECT_STREQ("Env", name);
  EXPECT_EQ(-3, TQPROD_GetEnumKeyFromRes(nullptr, nullptr, name, 0));
}

bool WriteMulti(const char *name, const std::string &packed) {
  TQHKEY h;
  if (TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Tarquel\\Extension DLLs",
                      &h) != 0)
    return false;
  int rc = TqkRegSetValueEx(h, name, 0, 7, packed.data(), static_cast<unsigned>(packed.size()));
  TqkRegCloseKey(h);
  return rc == 0;
}

TEST_F(RegistryTest, ExtensionListsAtTheirBoundaries) {
  ASSERT_TRUE(WriteMulti("Kernel", std::string("a.so\0b.so\0c.so\0\0", 16)));
  char *list[4] = {nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(3, GetDllsList("Kernel", list, 3));
  EXPECT_STREQ("c.so", list[2]);
  EXPECT_EQ(0, FreeDllsList(list, 3));
  // One slot short: -1 and nothing left allocated (the sanitizer build
  // reports any leak).
  EXPECT_EQ(-1, GetDllsList("Kernel", list, 2));
  EXPECT_EQ(-1, GetDllsList("Kernel", list, 0));
  EXPECT_EQ(0, GetDllsList("Missing", list, 3));
  ASSERT_TRUE(WriteMulti("Empty", std::string("\0\0", 2)));
  EXPECT_EQ(0, GetDllsList("Empty", list, 3));
  // A number stored under the name is no list.
  TQHKEY h;
  ASSERT_EQ(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(),
                               "SOFTWARE\\Tarquel\\Extension DLLs", 0, 0, &h));
  uint32_t n = 5;
  ASSERT_EQ(0, TqkRegSetValueEx(h, "Num", 0, 4, &n, 4));
  TqkRegCloseKey(h);
  EXPECT_EQ(0, GetDllsList("Num", list, 3));
}

}  // namespace
