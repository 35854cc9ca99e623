// The library's registry access: values as text, reported types, number
// parsing, version subkeys, deletes and bad input; multi-values, walks with
// their cursors and codes, extension-library lists, fixed-key readers and
// the cached key paths.
#include <stdlib.h>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;
const std::string kProd = "SOFTWARE\\Tarquel\\Prod";

std::string Text(const char *path, const char *name, int versioned) {
  return Str(TQPROD_GetValue(path, name, versioned));
}

TEST_F(RegistryTest, ValuesReadBackAsTextWithTheirReportedType) {
  const struct {
    const char *name, *data;
    int type;
    const char *text;
    unsigned reported_type, size;
  } rows[] = {{"All", "-1", 4, "-1", 4, 4},        {"Text", "hello", 1, "hello", 1, 6},
              {"Multi", "a", 7, "a", 7, 2},        {"Odd", "bin", 3, "bin", 1, 4},
              {"Digits", "12abc", 4, "12", 4, 4},  {"None", "abc", 4, "0", 4, 4},
              {"Signed", "  -42", 4, "-42", 4, 4}, {"Huge", "99999999999", 4, "2147483647", 4, 4}};
  for (const auto &row : rows) {
    ASSERT_EQ(0, TQPROD_SetValue("Prod", row.name, row.type, row.data, 0)) << row.name;
    unsigned type = 0, size = 0;
    std::string text = Text("Prod", row.name, 0);
    text += "|" + Str(TQPROD_GetValueWithRegType("Prod", row.name, 0, &type, &size));
    EXPECT_EQ(std::string(row.text) + "|" + row.text, text) << row.name;
    EXPECT_EQ(std::make_pair(row.reported_type, row.size), std::make_pair(type, size)) << row.name;
  }
  EXPECT_EQ(3u, GetRaw(kProd, "Odd").type);  // stored with the caller's code
  // A value filling the 4096-byte buffer is cut to keep its terminator; a
  // failed read leaves type and size alone.
  PutRaw(kProd, "Full", TQREG_SZ, std::string(4096, 'f').data(), 4096);
  EXPECT_EQ(std::string(4095, 'f'), Text("Prod", "Full", 0));
  unsigned type = 77, size = 88;
  EXPECT_EQ(nullptr, TQPROD_GetValueWithRegType("Prod", "Missing", 0, &type, &size));
  EXPECT_EQ(std::make_pair(77u, 88u), std::make_pair(type, size));
}

TEST_F(RegistryTest, VersionedAccessUsesTheChosenVersionSubkeyAndCreatesIt) {
  // A new key has no CurrentVersion: versioned writes reach the key itself.
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "V", 1, "x", 1));
  EXPECT_EQ("x", GetStr("SOFTWARE\\Tarquel\\MRK", "V"));
  EXPECT_EQ((Strings{"0", "<null>"}), (Strings{std::to_string(TQPROD_SetValue("MRK", "CurrentVersion", 1, "5.0", 0)), Text("MRK", "Where", 1)}));
  EXPECT_EQ(Strings{"5.0"}, SubKeys("SOFTWARE\\Tarquel\\MRK"));
  for (const char *v : {"5.0", "6.0", "7.0"})
    ASSERT_EQ(0, TQPROD_SetValue((std::string("MRK\\") + v).c_str(), "Where", 1, v, 0));
  // The effective version wins over CurrentVersion, the override over both:
  // each change's result, then where a versioned read goes.
  auto then = [](int rc) { return std::to_string(rc) + " " + Text("MRK", "Where", 1); };
  EXPECT_EQ((Strings{"0 5.0", "0 6.0", "0 7.0", "0 5.0"}),
            (Strings{then(0), then(SetMirrakEffectiveVersion("6.0")),
                     then(TQPROD_OverideCurrentVersion("7.0")),
                     then((unsetenv("OVER_WRITE_CURRENT_VER"), SetMirrakEffectiveVersion(nullptr)))}));
  // A CurrentVersion that is not a string names no version.
  ASSERT_EQ((Ints{0, 0}), (Ints{TQPROD_SetValue("NumProd", "CurrentVersion", 4, "5", 0), TQPROD_SetValue("NumProd", "V", 1, "x", 1)}));
  EXPECT_EQ("x", Text("NumProd", "V", 0));
}

TEST_F(RegistryTest, DeletesAndBadInputReturnTheirCodes) {
  ASSERT_EQ(0, TQPROD_SetValue("Prod", "V", 1, "x", 0));
  EXPECT_EQ((Ints{-2, 0, TQREG_E_NOTFOUND, -1}),  // -2: no current version
            (Ints{TQPROD_DelValue("Prod", "V", 1), TQPROD_DelValue("Prod", "V", 0),
                  TQPROD_DelValue("Prod", "V", 0), TQPROD_DelValue("NoSuchProd", "V", 0)}));
  EXPECT_EQ((Ints{0, 0, 0}), (Ints{TQPROD_SetValue("Prod", "CurrentVersion", 1, "2.0", 0), TQPROD_SetValue("Prod", "W", 1, "y", 1),
                                    TQPROD_DelValue("Prod", "W", 1)}));
  EXPECT_EQ(Strings{}, ValueNames(kProd + "\\2.0"));
  // Bad arguments and names beyond the limits are refused, not cut.
  std::string huge = "k", n300(300, 'n');  // huge: a path of 1254 characters, each name fits
  for (int i = 0; i < 5; ++i) huge += "\\" + std::string(250, 'k');
  for (int rc : {TQPROD_SetValue(nullptr, "v", 1, "x", 0), TQPROD_SetValue("P", nullptr, 1, "x", 0),
                 TQPROD_SetValue("P", "v", 4, nullptr, 0), TQPROD_DelValue(nullptr, "v", 0),
                 TQPROD_SetValue(huge.c_str(), "v", 1, "x", 0), TQPROD_DelKey(nullptr),
                 TQPROD_SetValue(n300.c_str(), "v", 1, "x", 0), TQPROD_DelKey(""),
                 FwSetParam(nullptr, 1), TQPROD_OverideCurrentVersion(huge.c_str())})
    EXPECT_EQ(-1, rc);
  EXPECT_EQ((Strings{"<null>", "<null>"}), (Strings{Str(TQPROD_GetValue(huge.c_str(), "v", 1)), Str(TQPROD_GetReservedPath(huge.c_str(), 0))}));
  EXPECT_EQ(Strings{"Prod"}, SubKeys("SOFTWARE\\Tarquel"));  // "" deleted nothing
  EXPECT_EQ((Strings{"0", "0"}), (Strings{std::to_string(TQPROD_DelKey("Prod")), std::to_string(SubKeys("SOFTWARE\\Tarquel").size())}));
}

// Items of a multi-value read, or "<result> <count>" when it fails.
Strings Multi(const char *path, int max_total, int buffers = 8) {
  static char buf[8][64];
  char *ptr[9] = {};
  for (int i = 0; i < buffers; ++i) ptr[i] = buf[i];
  int count = -7, rc = TQPROD_GetMultiValue(path, "L", &count, ptr, max_total, 0);
  if (rc != 0) return {std::to_string(rc) + " " + std::to_string(count)};
  return Strings(ptr, ptr + count);
}

TEST_F(RegistryTest, MultiValuesEncodeWithSeparatorsAndMustFitTheirBuffers) {
  const char *three[] = {"one", "two", "three"}, *with_null[] = {"a", nullptr};
  ASSERT_EQ(0, TQPROD_SetMultiValue("Prod", "L", 3, three, 0));
  EXPECT_STREQ("one^^two^^three^^", TQPROD_GetValue("Prod", "L", 0));
  EXPECT_EQ(Strings({"one", "two", "three"}), Multi("Prod", 11));  // budget met exactly
  EXPECT_EQ(Strings({"-2 1"}), Multi("Prod", 5));                  // 3 + 3 exceeds 5
  EXPECT_EQ(Strings({"-1 2"}), Multi("Prod", 100, 2));             // no third buffer
  EXPECT_EQ(Strings({"-1 -7"}), Multi("Missing", 100));
  ASSERT_EQ(0, TQPROD_SetValue("Runs", "L", 1, "^a^b^^^c", 0));  // any run of "^" separates
  EXPECT_EQ(Strings({"a", "b", "c"}), Multi("Runs", 100));
  // The text must fit 1023 characters; a refused list changes nothing.
  std::string fits(1020, 'x'), too_long(1022, 'y');
  const char *one[] = {fits.c_str()}, *over[] = {too_long.c_str()};
  EXPECT_EQ((Ints{0, -1, -1, -1}), (Ints{TQPROD_SetMultiValue("Prod", "L", 1, one, 0),
                                         TQPROD_SetMultiValue("Prod", "L", 1, over, 0),
                                         TQPROD_SetMultiValue("Prod", "L", 2, with_null, 0),
                                         TQPROD_SetMultiValue("Prod", "L", 1, nullptr, 0)}));
  EXPECT_EQ(fits + "^^", TQPROD_GetValue("Prod", "L", 0));
  // The reserved forms, below the current version when versioned.
  EXPECT_EQ(-1, TQPROD_SetResMultiValue("Prod", "Sub", "L", 3, three, 1));
  ASSERT_EQ((Ints{0, 0}), (Ints{TQPROD_SetValue("Prod", "CurrentVersion", 1, "1.0", 0), TQPROD_SetResMultiValue("Prod", "Sub", "L", 3, three, 1)}));
  EXPECT_EQ(Strings({"one", "two", "three"}), Multi("Prod\\1.0\\reserved\\Sub", 100));
  EXPECT_EQ(-2, TQPROD_DelKeyFromRes("NoVersion", nullptr, 1));
}

enum Kind { kKeys, kResKeys, kValues, kResValues };

// Entries of a walk (the reserved forms in subkey "Env" for values) and,
// last, the code that ended it.
Strings Walk(Kind kind, const char *product, int versioned) {
  Strings out;
  char name[500];
  for (const char *p = product;; p = nullptr) {
    int rc = kind == kKeys      ? TQPROD_GetEnumKey(p, name, versioned)
             : kind == kResKeys ? TQPROD_GetEnumKeyFromRes(p, nullptr, name, versioned)
             : kind == kValues  ? TQPROD_GetKeyValues(p, name, versioned)
                                : TQPROD_GetResKeyValues(p, "Env", name, versioned);
    out.push_back(rc == 0 ? name : std::to_string(rc));
    if (rc != 0) return out;
  }
}

TEST_F(RegistryTest, WalksReturnEntriesThenTheirEndCodes) {
  ASSERT_EQ((Ints{0, 0, 0, 0, 0}), (Ints{TQPROD_SetValue("Beta", "CurrentVersion", 1, "1.0", 0), TQPROD_SetValue("Beta\\1.0\\SP1", "x", 1, "1", 0),
                                        TQPROD_SetValue("Beta\\1.0\\reserved\\Env", "A", 1, "1", 0), TQPROD_SetValue("alpha", "first", 1, "1", 0),
                                        TQPROD_SetValue("alpha", "big", 1, std::string(2000, 'b').c_str(), 0)}));
  const struct { Kind kind; const char *product; int versioned; Strings want; } rows[] = {
      {kKeys, "TQROOT", 1, {"alpha", "Beta", "-3"}}, {kKeys, "Beta", 1, {"reserved", "SP1", "-3"}},
      {kKeys, "Beta", 0, {"1.0", "-3"}},            {kKeys, "alpha", 1, {"-1"}},
      {kKeys, "Missing", 0, {"-2"}},                {kValues, "alpha", 0, {"first", "big", "-3"}},
      {kResKeys, "Beta", 1, {"Env", "-3"}},         {kResValues, "Beta", 1, {"A", "-3"}},
      {kResValues, "alpha", 1, {"-1"}},             {kValues, "Missing", 0, {"-2"}}};
  for (const auto &r : rows) EXPECT_EQ(r.want, Walk(r.kind, r.product, r.versioned)) << r.product;
  // Each walk keeps its own cursor.
  char name[500];
  ASSERT_EQ((Ints{0, 0, 0}), (Ints{TQPROD_GetEnumKey(".", name, 0), TQPROD_GetKeyValues("alpha", name, 0), TQPROD_GetEnumKey(nullptr, name, 0)}));
  EXPECT_STREQ("Beta", name);
  EXPECT_EQ(-2, TQPROD_GetKeyValues("alpha", nullptr, 0));
}

TEST_F(RegistryTest, ExtensionListsAtTheirBoundaries) {
  const std::string key = "SOFTWARE\\Tarquel\\Extension DLLs";
  PutRaw(key, "Kernel", 7, "a.so\0b.so\0c.so\0\0", 16);
  PutRaw(key, "Empty", 7, "\0\0", 2);
  PutNum(key, "Num", 5);  // a number is no list
  char *list[4] = {};
  ASSERT_EQ(3, GetDllsList("Kernel", list, 3));
  EXPECT_EQ(Strings({"a.so", "b.so", "c.so", "0"}), Strings({list[0], list[1], list[2], std::to_string(FreeDllsList(list, 3))}));
  // One slot short: -1 and nothing left allocated (the sanitizer build
  // reports any leak).
  EXPECT_EQ((Ints{-1, -1, 0, 0, 0}),
            (Ints{GetDllsList("Kernel", list, 2), GetDllsList("Kernel", list, 0),
                  GetDllsList("Missing", list, 3), GetDllsList("Empty", list, 3),
                  GetDllsList("Num", list, 3)}));
}

TEST_F(RegistryTest, FixedKeyReadersCachedPathsAndReservedPaths) {
  EXPECT_EQ(-1, FwSetParam("Param", 5));  // the firewall key is not created
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "5.0", 0));
  EXPECT_EQ((std::vector<int64_t>{0, 5}), (std::vector<int64_t>{FwSetParam("Param", 5), GetNum("SOFTWARE\\Tarquel\\MRK\\5.0", "Param")}));
  for (auto reader : {FwGetParam, fwregistry_readparam, GetDllPathFromRegistry})
    EXPECT_EQ((std::vector<TQREGVAR>{5, 0, 0}),
              (std::vector<TQREGVAR>{reader("Param"), reader("Absent"), reader(nullptr)}));
  ASSERT_EQ((Ints{0, 0}), (Ints{TQPROD_SetValue("MRK", "EventLogServer", 1, "logger", 1), TQPROD_SetValue("MRK", "FWDIR", 1, "/opt/fw", 1)}));
  EXPECT_EQ("logger /opt/fw", Str(reinterpret_cast<const char *>(FwGetEventLogServer())) + " " +
                                  TQPROD_GetFwdir());
  // The cached key paths are made once.
  char *mrk = TQPROD_GetRegMrkPath();
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK", mrk);
  EXPECT_EQ(mrk, TQPROD_GetRegMrkPath());
  // Reserved paths; without a current version a message and the plain one.
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK\\5.0\\reserved", TQPROD_GetReservedPath("MRK", 1));
  testing::internal::CaptureStdout();
  EXPECT_STREQ("SOFTWARE\\Tarquel\\NoVer\\reserved", TQPROD_GetReservedPath("NoVer", 1));
  EXPECT_EQ("Can not get current version", testing::internal::GetCapturedStdout());
}

}  // namespace
