// Dependent packages, hot fixes and plug-ins: where each record is kept,
// the five walks with their cursors and result codes, and bad input.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bk.h"

namespace {

using tqtest::RegistryTest;

using bktest::Put;

using PackageTest = bktest::ProductTest;

TEST_F(PackageTest, DependentAtServicePackZeroOrNumbered) {
  ASSERT_EQ(0, TQPROD_SetDependent("P", "pkgA", "0"));
  EXPECT_STREQ("1", TQPROD_GetValue("P\\6.0\\DependentPkgs", "pkgA", 0));
  ASSERT_EQ(0, TQPROD_SetDependent("P", "pkgB", "2"));
  EXPECT_STREQ("1", TQPROD_GetValue("P\\6.0\\SP2\\DependentPkgs", "pkgB", 0));
  EXPECT_EQ(nullptr, TQPROD_GetValue("P\\6.0\\DependentPkgs", "pkgB", 0));

  ASSERT_EQ(0, TQPROD_SetDependentValue("P", "pkgC", "ver 3", nullptr));
  EXPECT_STREQ("ver 3", TQPROD_GetDependentValue("P", "0", "pkgC"));
  EXPECT_STREQ("ver 3", TQPROD_GetDependentValue("P", "x", "pkgC"));  // no number: no SP
  EXPECT_STREQ("1", TQPROD_GetDependentValue("P", "2", "pkgB"));

  EXPECT_EQ(0, TQPROD_CleanDependent("P", "pkgB", "2"));
  EXPECT_EQ(nullptr, TQPROD_GetDependentValue("P", "2", "pkgB"));
  EXPECT_NE(0, TQPROD_CleanDependent("P", "pkgB", "2"));  // already gone
  EXPECT_EQ(-1, TQPROD_CleanDependent("P", "pkgB", "7"));  // no such key

  for (const char *product : {"Absent", "", static_cast<const char *>(nullptr)}) {
    EXPECT_EQ(-1, TQPROD_SetDependent(product, "pkg", "0"));
    EXPECT_EQ(nullptr, TQPROD_GetDependentValue(product, "0", "pkg"));
    EXPECT_EQ(-1, TQPROD_CleanDependent(product, "pkg", "0"));
  }
  EXPECT_EQ(-1, TQPROD_SetDependent("P", nullptr, "0"));
  EXPECT_EQ(-1, TQPROD_SetDependentValue("P", "pkg", nullptr, "0"));
  EXPECT_EQ(nullptr, TQPROD_GetDependentValue("P", "0", nullptr));
}

TEST_F(PackageTest, MspDependentUsesCurrentSpWhenNoneIsGiven) {
  // No service pack given and none stored: nothing is written.
  EXPECT_EQ(-1, TQPROD_SetMSPDependentValue("P", "pkg", "v", "", "1"));
  EXPECT_EQ(-1, TQPROD_SetMSPDependentValue("P", "pkg", "v", nullptr, "1"));
  char name[200];
  EXPECT_EQ(-2, TQPROD_GetEnumKey("P\\6.0", name, 0));  // not even the version key

  Put("P\\6.0", "CurrentSP", "4");
  ASSERT_EQ(0, TQPROD_SetMSPDependentValue("P", "pkg", "v4", "", "1"));
  EXPECT_STREQ("v4", TQPROD_GetValue("P\\6.0\\SP4\\MSP1\\DependentPkgs", "pkg", 0));
  ASSERT_EQ(0, TQPROD_SetMSPDependentValue("P", "pkg", "v0", "0", "1"));
  EXPECT_STREQ("v0", TQPROD_GetValue("P\\6.0\\SP0\\MSP1\\DependentPkgs", "pkg", 0));
  EXPECT_STREQ("v4", TQPROD_GetMSPDependentValue("P", nullptr, "1", "pkg"));
  EXPECT_STREQ("v0", TQPROD_GetMSPDependentValue("P", "0", "1", "pkg"));

  EXPECT_EQ(-1, TQPROD_SetMSPDependentValue("P", "pkg", "v", "4", nullptr));
  EXPECT_EQ(nullptr, TQPROD_GetMSPDependentValue("P", "4", nullptr, "pkg"));
  EXPECT_EQ(-1, TQPROD_CleanMSPDependent("P", "pkg", "4", nullptr));
  EXPECT_EQ(0, TQPROD_CleanMSPDependent("P", "pkg", "", "1"));
  EXPECT_EQ(nullptr, TQPROD_GetMSPDependentValue("P", "", "1", "pkg"));
  EXPECT_EQ(-1, TQPROD_CleanMSPDependent("P", "pkg", "9", "9"));  // no key

  // An over-long service pack cannot name a key.
  std::string longSp(300, '1');
  EXPECT_EQ(-1, TQPROD_SetMSPDependentValue("P", "pkg", "v", longSp.c_str(), "1"));
  EXPECT_EQ(-1, TQPROD_SetDependent("P", "pkg", longSp.c_str()));
}

TEST_F(PackageTest, DependentWalksKeepTheirOwnCursors) {
  Put("P\\6.0\\SP2", "CurrentMSP", "1");
  ASSERT_EQ(0, TQPROD_SetDependent("P", "one", "2"));
  ASSERT_EQ(0, TQPROD_SetDependent("P", "two", "2"));
  ASSERT_EQ(0, TQPROD_SetMSPDependentValue("P", "m1", "x", "2", "1"));

  char name[500], mname[500];
  EXPECT_EQ(0, TQPROD_CheckDependent("P", "2", name));
  EXPECT_STREQ("one", name);
  EXPECT_EQ(0, TQPROD_CheckMSPDependent("P", "2", "1", mname));
  EXPECT_STREQ("m1", mname);
  EXPECT_EQ(0, TQPROD_CheckDependent(nullptr, "2", name));
  EXPECT_STREQ("two", name);
  EXPECT_EQ(-3, TQPROD_CheckMSPDependent(nullptr, "2", "1", mname));
  EXPECT_EQ(-3, TQPROD_CheckDependent(nullptr, "2", name));
  // A product restarts the walk.
  EXPECT_EQ(0, TQPROD_CheckDependent("P", "2", name));
  EXPECT_STREQ("one", name);

  EXPECT_EQ(-2, TQPROD_CheckDependent("P", "0", name));  // no DependentPkgs key
  EXPECT_EQ(-1, TQPROD_CheckDependent("Absent", "2", name));
  EXPECT_EQ(-1, TQPROD_CheckMSPDependent("P", "2", nullptr, mname));
  EXPECT_EQ(-1, TQPROD_CheckMSPDependent("P", "", "1", mname));  // no CurrentSP
  EXPECT_EQ(-2, TQPROD_CheckMSPDependent("P", "2", "8", mname));

  // A product name the cursor cannot hold leaves it naming nothing: the
  // walk then fails cleanly instead of continuing elsewhere.
  std::string longName(300, 'p');
  EXPECT_EQ(-1, TQPROD_CheckDependent(longName.c_str(), "2", name));
  EXPECT_EQ(-1, TQPROD_CheckDependent(nullptr, "2", name));
  EXPECT_EQ(-1, TQPROD_CheckMSPDependent(longName.c_str(), "2", "1", mname));
  EXPECT_EQ(-1, TQPROD_CheckMSPDependent(nullptr, "2", "1", mname));
}

class HotFixTest : public PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    // HF1: removable; HF2: no command; HF3: removable placeholder; HF4:
    // removable.
    for (const char *hf : {"HF1", "HF2", "HF3", "HF4"}) Put("P\\6.0\\hotfixes", hf, "");
    Put("P\\6.0\\HF1", "SilentUninstall", "rm hf1");
    Put("P\\6.0\\HF2", "Other", "x");
    Put("P\\6.0\\HF3", "SilentUninstall", "rm hf3");
    Put("P\\6.0\\HF3", "Dummy", "");
    Put("P\\6.0\\HF4", "SilentUninstall", "rm hf4");
  }

  template <typename Walk>
  std::vector<std::string> All(Walk walk) {
    std::vector<std::string> out;
    char name[500];
    int rc = walk("P", name);
    while (rc == 0) {
      out.push_back(name);
      rc = walk(nullptr, name);
    }
    EXPECT_EQ(-3, rc);
    return out;
  }
};

TEST_F(HotFixTest, WalksSkipEntriesWithoutCommandAndPlaceholders) {
  EXPECT_EQ((std::vector<std::string>{"HF1", "HF3", "HF4"}), All(TQPROD_GetHotFixes));
  EXPECT_EQ((std::vector<std::string>{"HF1", "HF4"}), All(TQPROD_GetHotFixesWithoutDummy));

  // Interleaved, each walk keeps its own place.
  char a[500], b[500];
  ASSERT_EQ(0, TQPROD_GetHotFixes("P", a));
  ASSERT_EQ(0, TQPROD_GetHotFixesWithoutDummy("P", b));
  ASSERT_EQ(0, TQPROD_GetHotFixesWithoutDummy(nullptr, b));
  ASSERT_EQ(0, TQPROD_GetHotFixes(nullptr, a));
  EXPECT_STREQ("HF3", a);
  EXPECT_STREQ("HF4", b);
}

TEST_F(HotFixTest, WalkFailures) {
  char name[500];
  EXPECT_EQ(-1, TQPROD_GetHotFixes("Absent", name));
  EXPECT_EQ(-1, TQPROD_GetHotFixes(nullptr, name));  // still names Absent
  Put("Q", "CurrentVersion", "1.0");
  EXPECT_EQ(-2, TQPROD_GetHotFixesWithoutDummy("Q", name));  // no hotfixes key
  // Names longer than the 50-byte cursor are refused, not cut.
  std::string longName(50, 'P');
  EXPECT_EQ(-1, TQPROD_GetHotFixes(longName.c_str(), name));
  EXPECT_EQ(-1, TQPROD_GetHotFixes(nullptr, name));
  EXPECT_EQ(-1, TQPROD_GetHotFixesWithoutDummy("P", nullptr));
}

TEST_F(HotFixTest, RemovalCommands) {
  ASSERT_EQ(0, TQPROD_SetHFSilentUninstall("P", "HFA_3", "rm -r hfa3"));
  EXPECT_STREQ("rm -r hfa3", TQPROD_GetValue("P\\6.0\\hotfix_HFA_3", "SilentUninstall", 0));
  EXPECT_STREQ("rm -r hfa3", TQPROD_GetHFSilentUninstall("P", "HFA_3"));
  EXPECT_EQ(-1, TQPROD_SetHFSilentUninstall("Absent", "HFA_3", "x"));
  EXPECT_EQ(nullptr, TQPROD_GetHFSilentUninstall("P", nullptr));

  // The product level's command needs a current MSP.
  Put("P\\6.0", "CurrentSP", "2");
  EXPECT_EQ(-1, TQPROD_SetSilentUninstall("P", "uninstall msp"));
  EXPECT_EQ(nullptr, TQPROD_GetSilentUninstall("P"));
  char name[200];
  EXPECT_EQ(-2, TQPROD_GetEnumKey("P\\6.0\\SP2", name, 0));  // nothing created

  Put("P\\6.0\\SP2", "CurrentMSP", "1");
  ASSERT_EQ(0, TQPROD_SetSilentUninstall("P", "uninstall msp"));
  EXPECT_STREQ("uninstall msp", TQPROD_GetValue("P\\6.0\\SP2\\MSP1", "SilentUninstall", 0));
  EXPECT_STREQ("uninstall msp", TQPROD_GetSilentUninstall("P"));
}

class PlugInTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    struct {
      const char *name, *active;
    } rows[] = {{"MRK", "True"},   {"PIone", "True"},  {"PItwo", "true"},
                {"PIthree", "1 "}, {"PIfour", "1"},    {"PIfive", nullptr},
                {"XPIsix", "1"},   {"PIseven", "True"}};
    for (auto &r : rows) {
      Put("products", r.name, "");
      Put(r.name, "CurrentVersion", "1.0");
      if (r.active) Put((std::string(r.name) + "\\1.0").c_str(), "PIActive", r.active);
    }
    Put("PIone\\1.0", "MinorVersion", "3");
    Put("PIseven\\1.0", "MinorVersion", "4");
  }

  // Every name of one walk, empty names included, until the end.
  template <typename Step>
  std::vector<std::string> Walk(Step step) {
    std::vector<std::string> out;
    char name[500];
    int rc = step(1, name);
    while (rc == 0) {
      out.push_back(name);
      rc = step(0, name);
    }
    EXPECT_EQ(-3, rc);
    return out;
  }
};

TEST_F(PlugInTest, OnlyExactActivityTextsCount) {
  EXPECT_EQ((std::vector<std::string>{"", "PIone", "", "", "PIfour", "", "", "PIseven"}),
            Walk(TQPROD_GetInstalledPlugIns));
  char name[500];
  EXPECT_EQ(-3, TQPROD_GetInstalledPlugIns(0, name));  // stays at the end
  EXPECT_EQ(0, TQPROD_GetInstalledPlugIns(1, name));   // restart
  EXPECT_STREQ("", name);
}

TEST_F(PlugInTest, MinorVersionFilters) {
  EXPECT_EQ((std::vector<std::string>{"", "PIone", "", "", "", "", "", "PIseven"}),
            Walk(TQPROD_GetInstalledPlugInsByMinorVersion));
  EXPECT_EQ((std::vector<std::string>{"", "", "", "", "", "", "", "PIseven"}),
            Walk([](int r, char *n) { return TQPROD_GetInstalledPlugInsByVer(r, n, "4"); }));
  EXPECT_EQ((std::vector<std::string>(8, "")),
            Walk([](int r, char *n) { return TQPROD_GetInstalledPlugInsByVer(r, n, nullptr); }));
}

TEST_F(RegistryTest, PlugInWalkWithoutProductsKey) {
  char name[500] = "stale";
  EXPECT_EQ(-2, TQPROD_GetInstalledPlugIns(1, name));
  EXPECT_EQ(-2, TQPROD_GetInstalledPlugInsByMinorVersion(1, name));
  EXPECT_STREQ("", name);
}

}  // namespace
