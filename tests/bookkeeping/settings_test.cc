// Per-product settings: directories and names, the short product directory,
// auto-start values, reserved values, interface assignments and partner
// products with the pruning delete.
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "bk.h"

namespace {

using tqtest::RegistryTest;

using bktest::Put;

// Subkeys of a product-relative key, comma-separated; "(none)" when the key
// cannot be opened.
std::string Subkeys(const char *path) {
  char name[200];
  int rc = TQPROD_GetEnumKey(path, name, 0);
  if (rc == -2) return "(none)";
  std::string out;
  while (rc == 0) {
    if (!out.empty()) out += ",";
    out += name;
    rc = TQPROD_GetEnumKey(nullptr, name, 0);
  }
  return out;
}

TEST_F(RegistryTest, NamedDirectoriesAndSettings) {
  Put("MRK", "CurrentVersion", "R75");
  Put("QLN", "CurrentVersion", "Q1");
  Put("MRK\\R75", "TQMDIR", "/opt/tqm");
  Put("QLN\\Q1", "PRODDIR", "/opt/qln");
  Put("FW", "CurrentVersion", "6.0");
  Put("FW\\6.0", "PRODDIR", "/opt/fw");
  EXPECT_STREQ("/opt/tqm", TQPROD_GetTqmDir());
  EXPECT_STREQ("/opt/qln", TQPROD_GetQldir());
  EXPECT_STREQ("/opt/fw", TQPROD_GetProdDir("FW"));
  EXPECT_EQ(nullptr, TQPROD_GetProdDir(nullptr));
  EXPECT_EQ(nullptr, TQPROD_GetProdDir(""));
  EXPECT_EQ(nullptr, TQPROD_GetCrldpName());

  ASSERT_EQ(0, TQPROD_SetCrldpName("crl.example"));
  ASSERT_EQ(0, TQPROD_SetFipsPath("/opt/fips"));
  EXPECT_STREQ("crl.example", TQPROD_GetValue("MRK\\R75", "crldp_name", 0));
  EXPECT_STREQ("/opt/fips", TQPROD_GetValue("MRK\\R75", "FIPS_PATH", 0));
  EXPECT_STREQ("crl.example", TQPROD_GetCrldpName());
  EXPECT_STREQ("/opt/fips", TQPROD_GetFipsPath());
  EXPECT_EQ(-1, TQPROD_SetFipsPath(nullptr));

  // The shared components' directory needs a current version.
  Put("tqshared", "TQDIR", "/unversioned");
  EXPECT_EQ(nullptr, TQPROD_GetTqdir());
  Put("TQShared", "CurrentVersion", "R1");
  Put("tqshared\\R1", "TQDIR", "/opt/tqshared");
  EXPECT_STREQ("/opt/tqshared", TQPROD_GetTqdir());
}

TEST_F(RegistryTest, AutoStartMissingZeroAndSet) {
  Put("MRK", "CurrentVersion", "R75");
  EXPECT_EQ(-1, TQPROD_GetMRKAutoStart());
  Put("MRK\\R75", "AutoStart", "0");
  EXPECT_EQ(0, TQPROD_GetMRKAutoStart());
  ASSERT_EQ(0, TQPROD_SetMRKAutoStart(-12));
  EXPECT_STREQ("-12", TQPROD_GetValue("MRK\\R75", "AutoStart", 0));
  EXPECT_EQ(-12, TQPROD_GetMRKAutoStart());

  EXPECT_EQ(-1, TQPROD_GetRTAutoStart());
  ASSERT_EQ(0, TQPROD_SetRTAutoStart(1));
  EXPECT_STREQ("1", TQPROD_GetValue("Reporting Module", "AutoStart", 0));
  EXPECT_EQ(1, TQPROD_GetRTAutoStart());
  EXPECT_EQ(-12, TQPROD_GetMRKAutoStart());
}

TEST_F(RegistryTest, ShortProductDirectoryIsAFreshCopy) {
  std::string dir = sysroot_ + "/opt/tq prod";
  ASSERT_EQ(0, mkdir((sysroot_ + "/opt").c_str(), 0755));
  ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
  Put("FW", "CurrentVersion", "6.0");
  Put("FW\\6.0", "PRODDIR", (sysroot_ + "//opt/./tq prod/").c_str());

  char *a = TQPROD_GetShortProdDir("FW");
  char *b = TQPROD_GetShortProdDir("FW");
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(dir, a);
  EXPECT_NE(a, b);
  free(a);
  free(b);

  EXPECT_EQ(nullptr, TQPROD_GetShortProdDir("Absent"));
  EXPECT_EQ(nullptr, TQPROD_GetShortProdDir(nullptr));
  Put("FW\\6.0", "PRODDIR", (sysroot_ + "/missing").c_str());
  EXPECT_EQ(nullptr, TQPROD_GetShortProdDir("FW"));
  // A short form longer than the 250-byte buffer is refused.
  std::string deep = sysroot_;
  for (int i = 0; deep.size() < 300; ++i) {
    deep += "/level_" + std::to_string(i);
    ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
  }
  Put("FW\\6.0", "PRODDIR", deep.c_str());
  EXPECT_EQ(nullptr, TQPROD_GetShortProdDir("FW"));
}

TEST_F(RegistryTest, ReservedValuesVersionedAndNot) {
  EXPECT_EQ(-1, TQPROD_SetReserved("FW", "Sub", "V", 1, "x", 1));  // no version
  EXPECT_EQ(nullptr, TQPROD_GetReserved("FW", "Sub", "V", 1));
  ASSERT_EQ(0, TQPROD_SetReserved("FW", nullptr, "Top", 1, "plain", 0));
  EXPECT_STREQ("plain", TQPROD_GetValue("FW\\reserved", "Top", 0));
  EXPECT_STREQ("plain", TQPROD_GetReserved("FW", nullptr, "Top", 0));

  Put("FW", "CurrentVersion", "6.0");
  ASSERT_EQ(0, TQPROD_SetReserved("FW", "Environment", "N", 4, "12abc", 1));
  unsigned type = 0, size = 0;
  EXPECT_STREQ("12", TQPROD_GetValueWithRegType("FW\\6.0\\reserved\\Environment", "N", 0,
                                                &type, &size));
  EXPECT_EQ(4u, type);
  EXPECT_STREQ("12", TQPROD_GetReserved("FW", "Environment", "N", 1));
  EXPECT_EQ(nullptr, TQPROD_GetReserved("FW", "Environment", "N", 0));

  EXPECT_EQ(-1, TQPROD_SetReserved(nullptr, "S", "N", 1, "x", 0));
  EXPECT_EQ(-1, TQPROD_SetReserved("", "S", "N", 1, "x", 0));
  EXPECT_EQ(-1, TQPROD_SetReserved("FW", "S", "N", 1, nullptr, 0));
  EXPECT_EQ(nullptr, TQPROD_GetReserved(nullptr, "S", "N", 0));
}

TEST_F(RegistryTest, InterfaceAssignmentsLiveUnderZandor) {
  EXPECT_EQ(-1, TQPROD_SetAuxIf("eth9"));  // MRK has no current version
  Put("MRK", "CurrentVersion", "R75");
  struct {
    int (*set)(const char *);
    const char *(*get)(void);
    const char *value, *name;
  } rows[] = {{TQPROD_SetAuxIf, TQPROD_GetAuxIf, "Aux", "eth3"},
              {TQPROD_SetDMZIf, TQPROD_GetDMZIf, "DMZ", "eth2"},
              {TQPROD_SetInternalIf, TQPROD_GetInternalIf, "Internal", "eth1"},
              {TQPROD_SetExternalIf, TQPROD_GetExternalIf, "External", "eth0"}};
  for (auto &r : rows) EXPECT_EQ(nullptr, r.get()) << r.value;
  for (auto &r : rows) ASSERT_EQ(0, r.set(r.name)) << r.value;
  for (auto &r : rows) {
    EXPECT_STREQ(r.name, r.get()) << r.value;
    EXPECT_STREQ(r.name, TQPROD_GetValue("MRK\\R75\\reserved\\ZANDOR", r.value, 0));
  }
}

TEST_F(RegistryTest, PartnerProductWritesCreateThePathAndReportTheFailedStep) {
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "Scanner", "2", "1", "virus scanner"));
  EXPECT_STREQ("2", TQPROD_GetValue("ALTEX\\Acme\\Scanner", "MajorVersion", 0));
  EXPECT_STREQ("1", TQPROD_GetValue("ALTEX\\Acme\\Scanner", "MinorVersion", 0));
  EXPECT_STREQ("virus scanner", TQPROD_GetValue("ALTEX\\Acme\\Scanner", "INFO", 0));
  ASSERT_EQ(0, TQPROD_SetALTEXProdDir("Acme", "Filter", "3", "0", "url filter", "/opt/f"));
  EXPECT_STREQ("/opt/f", TQPROD_GetValue("ALTEX\\Acme\\Filter", "PRODDIR", 0));

  EXPECT_EQ(-1, TQPROD_SetALTEXProd("Acme", "X", nullptr, "1", "i"));
  EXPECT_EQ(-2, TQPROD_SetALTEXProd("Acme", "X", "1", nullptr, "i"));
  EXPECT_EQ(-3, TQPROD_SetALTEXProd("Acme", "X", "1", "1", nullptr));
  EXPECT_EQ(-4, TQPROD_SetALTEXProdDir("Acme", "X", "1", "1", "i", nullptr));
  EXPECT_EQ(-1, TQPROD_SetALTEXProd(nullptr, "X", "1", "1", "i"));
  EXPECT_EQ(-1, TQPROD_SetALTEXProd("Acme", "", "1", "1", "i"));
}

TEST_F(RegistryTest, PartnerProductDeletePrunesEmptiedKeys) {
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "A", "1", "0", "a"));
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "B", "1", "0", "b"));
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Zeta", "Z", "1", "0", "z"));
  Put("Other", "Keep", "1");

  // One of two products: the partner and ALTEX stay.
  EXPECT_EQ(0, TQPROD_DelALTEXProd("Acme", "A"));
  EXPECT_EQ("B", Subkeys("ALTEX\\Acme"));
  // The last product of a partner: the partner goes, ALTEX stays.
  EXPECT_EQ(0, TQPROD_DelALTEXProd("Acme", "B"));
  EXPECT_EQ("Zeta", Subkeys("ALTEX"));
  // The last product of the last partner: ALTEX goes too.
  EXPECT_EQ(0, TQPROD_DelALTEXProd("Zeta", "Z"));
  EXPECT_EQ("(none)", Subkeys("ALTEX"));
  EXPECT_STREQ("1", TQPROD_GetValue("Other", "Keep", 0));

  EXPECT_EQ(-1, TQPROD_DelALTEXProd("Nobody", "A"));
  EXPECT_EQ(-1, TQPROD_DelALTEXProd("Acme", nullptr));
  // An empty name must never reach the partner key or ALTEX itself.
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "C", "1", "0", "c"));
  EXPECT_EQ(-1, TQPROD_DelALTEXProd("Acme", ""));
  EXPECT_EQ(-1, TQPROD_DelALTEXProd("", "Acme"));
  EXPECT_EQ("C", Subkeys("ALTEX\\Acme"));
}

TEST_F(RegistryTest, PartnerProductDeleteRestartsTheKeyWalk) {
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "A", "1", "0", "a"));
  ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "B", "1", "0", "b"));
  Put("P1", "x", "1");
  Put("P2", "x", "1");
  char name[200];
  ASSERT_EQ(0, TQPROD_GetEnumKey("TQROOT", name, 0));
  ASSERT_EQ(0, TQPROD_DelALTEXProd("Acme", "A"));
  // The cursor now belongs to the delete's last walk (over ALTEX, at 1).
  EXPECT_EQ(-3, TQPROD_GetEnumKey(nullptr, name, 0));
}

}  // namespace
