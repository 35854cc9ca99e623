// Version, service-pack and minor-service-pack levels: which key each level
// value is read from, the level path, the whole previous level, the display
// texts and the hot-fix bookkeeping values.
#include <stdlib.h>
#include <string.h>

#include <array>
#include <string>
#include <vector>

#include "bk.h"

namespace {

using bktest::Put;

std::string Str(const char *s) { return s ? s : "(null)"; }

using LevelTest = bktest::ProductTest;

TEST_F(LevelTest, WithCurrentSpLevelValuesComeFromTheSpKey) {
  Put("P\\6.0", "CurrentSP", "2");
  // Decoys on the version key must not be read.
  Put("P\\6.0", "CurrentMSP", "wrong");
  Put("P\\6.0", "PrevSP", "wrong");
  Put("P\\6.0", "PrevMSP", "wrong");
  Put("P\\6.0\\SP2", "PrevSP", "1");
  Put("P\\6.0\\SP2", "PrevMSP", "4");

  EXPECT_STREQ("2", TQPROD_GetCurrentServicePack("P"));
  EXPECT_STREQ("1", TQPROD_GetPrevServicePack("P"));
  // No current MSP: both MSP values live on the SP key.
  EXPECT_EQ(nullptr, TQPROD_GetCurrentMSP("P"));
  EXPECT_STREQ("4", TQPROD_GetPrevMSP("P"));

  // With a current MSP, "PrevMSP" moves down to the MSP key.
  Put("P\\6.0\\SP2", "CurrentMSP", "3");
  Put("P\\6.0\\SP2\\MSP3", "PrevMSP", "2");
  EXPECT_STREQ("3", TQPROD_GetCurrentMSP("P"));
  EXPECT_STREQ("2", TQPROD_GetPrevMSP("P"));
}

TEST_F(LevelTest, WithoutCurrentSpLevelValuesComeFromTheVersionKey) {
  Put("P\\6.0", "CurrentMSP", "5");
  Put("P\\6.0", "PrevSP", "1");
  Put("P\\6.0", "PrevMSP", "7");
  Put("P\\6.0", "PrevVersion", "5.0");
  Put("P\\6.0\\MSP5", "PrevMSP", "wrong");  // no SP, so no MSP key either

  EXPECT_EQ(nullptr, TQPROD_GetCurrentServicePack("P"));
  EXPECT_STREQ("5", TQPROD_GetCurrentMSP("P"));
  EXPECT_STREQ("1", TQPROD_GetPrevServicePack("P"));
  EXPECT_STREQ("7", TQPROD_GetPrevMSP("P"));
  EXPECT_STREQ("5.0", TQPROD_GetPreviousVersion("P"));
}

TEST_F(LevelTest, MissingVersionOrForeignTypesGiveNoLevel) {
  for (const char *product : {"Absent", "", static_cast<const char *>(nullptr)}) {
    EXPECT_EQ(nullptr, TQPROD_GetCurrentServicePack(product));
    EXPECT_EQ(nullptr, TQPROD_GetPreviousVersion(product));
    EXPECT_EQ(nullptr, TQPROD_GetPrevServicePack(product));
    EXPECT_EQ(nullptr, TQPROD_GetCurrentMSP(product));
    EXPECT_EQ(nullptr, TQPROD_GetPrevMSP(product));
    EXPECT_EQ(-1, TQPROD_SetCurrentMSP(product, "1"));
    EXPECT_EQ(nullptr, TQPROD_GetPath(product, "ver"));
  }
  // A number stored under a level's name is no level (and never a pointer).
  ASSERT_EQ(0, TQPROD_SetValue("P\\6.0", "CurrentSP", 4, "2", 0));
  ASSERT_EQ(0, TQPROD_SetValue("P\\6.0", "PrevVersion", 4, "5", 0));
  EXPECT_EQ(nullptr, TQPROD_GetCurrentServicePack("P"));
  EXPECT_EQ(nullptr, TQPROD_GetPreviousVersion("P"));
  ASSERT_EQ(0, TQPROD_SetValue("Q", "CurrentVersion", 4, "6", 0));
  EXPECT_EQ(nullptr, TQPROD_GetCurrentServicePack("Q"));
  EXPECT_EQ(nullptr, TQPROD_GetPath("Q", "ver"));
}

TEST_F(LevelTest, SetCurrentMspWritesWhereItIsRead) {
  ASSERT_EQ(0, TQPROD_SetCurrentMSP("P", "1"));
  EXPECT_STREQ("1", TQPROD_GetValue("P\\6.0", "CurrentMSP", 0));
  Put("P\\6.0", "CurrentSP", "3");
  ASSERT_EQ(0, TQPROD_SetCurrentMSP("P", "2"));
  EXPECT_STREQ("2", TQPROD_GetValue("P\\6.0\\SP3", "CurrentMSP", 0));
  EXPECT_STREQ("2", TQPROD_GetCurrentMSP("P"));
  EXPECT_EQ(-1, TQPROD_SetCurrentMSP("P", nullptr));
}

TEST_F(LevelTest, PathSelectorsAndOwnership) {
  char *ver = TQPROD_GetPath("P", "ver");
  ASSERT_NE(nullptr, ver);
  EXPECT_STREQ("P\\6.0", ver);
  free(ver);
  EXPECT_EQ(nullptr, TQPROD_GetPath("P", "sp"));  // no CurrentSP
  EXPECT_EQ(nullptr, TQPROD_GetPath("P", "msp"));

  Put("P\\6.0", "CurrentSP", "4");
  Put("P\\6.0\\SP4", "CurrentMSP", "2");
  char *sp = TQPROD_GetPath("P", "sp");
  char *sp2 = TQPROD_GetPath("P", "sp");
  ASSERT_NE(nullptr, sp);
  ASSERT_NE(nullptr, sp2);
  EXPECT_STREQ("P\\6.0\\SP4", sp);
  EXPECT_NE(sp, sp2);  // a fresh allocation each time
  free(sp);
  free(sp2);

  // Anything but exactly "ver" or "sp" selects the MSP level.
  for (const char *sel : {"msp", "", "v", "ve", "vers", "s", "spx", "SP", "x",
                          static_cast<const char *>(nullptr)}) {
    char *p = TQPROD_GetPath("P", sel);
    EXPECT_EQ("P\\6.0\\SP4\\MSP2", Str(p)) << (sel ? sel : "NULL");
    free(p);
  }
}

TEST_F(LevelTest, AllPrevDataFollowsThePreviousLevel) {
  // Each row is its own product: values under <product>\6.0<suffix>, then
  // the expected previous version, service pack and MSP.
  struct Row {
    std::vector<std::array<const char *, 3>> puts;
    const char *v, *sp, *msp;
  } rows[] = {
      // A previous MSP keeps the current version and SP; PrevSP is not consulted.
      {{{"", "CurrentSP", "2"}, {"\\SP2", "PrevMSP", "1"}, {"\\SP2", "PrevSP", "1"}},
       "6.0", "2", "1"},
      // A previous SP takes the MSP recorded under it.
      {{{"", "CurrentSP", "3"}, {"\\SP3", "PrevSP", "1"}, {"\\SP1", "CurrentMSP", "6"}},
       "6.0", "1", "6"},
      // A current SP without a previous one still reads its (missing) MSP;
      // PrevVersion is not reached.
      {{{"", "CurrentSP", "3"}, {"", "PrevVersion", "5.0"}}, "6.0", "3", ""},
      // No SP: the previous version.
      {{{"", "PrevVersion", "5.0"}, {"", "CurrentMSP", "2"}}, "5.0", "", "2"},
  };
  int n = 0;
  for (auto &r : rows) {
    std::string prod = "R" + std::to_string(n++);
    Put(prod.c_str(), "CurrentVersion", "6.0");
    for (auto &p : r.puts) Put((prod + "\\6.0" + p[0]).c_str(), p[1], p[2]);
    char v[256] = "", sp[256] = "", msp[256] = "";
    EXPECT_EQ(0, TQPROD_GetAllPrevData(prod.c_str(), v, sp, msp));
    EXPECT_STREQ(r.v, v) << prod;
    EXPECT_STREQ(r.sp, sp) << prod;
    EXPECT_STREQ(r.msp, msp) << prod;
  }

  // Buffers it cannot fill are left as they were.
  char v[256] = "keep", sp[256] = "keep", msp[256] = "keep";
  EXPECT_EQ(0, TQPROD_GetAllPrevData("Absent", v, sp, msp));
  EXPECT_STREQ("keep", v);
  EXPECT_STREQ("keep", sp);
  EXPECT_STREQ("keep", msp);
  EXPECT_EQ(0, TQPROD_GetAllPrevData(nullptr, v, sp, msp));
  EXPECT_EQ(0, TQPROD_GetAllPrevData("P", nullptr, nullptr, nullptr));
}

TEST_F(LevelTest, VersionTextsPickTheLevelKey) {
  Put("P\\6.0", "VersionText", "six");
  Put("P\\6.0\\SP2", "VersionText", "six sp2");
  Put("P\\6.0\\MSP2", "VersionText", "six msp2");
  Put("P\\6.0\\SP2\\MSP2", "VersionText", "six sp2 msp2");

  EXPECT_STREQ("six", TQPROD_GetVerText("P"));
  EXPECT_STREQ("six", TQPROD_GetSPVerText("P", "0"));
  EXPECT_STREQ("six", TQPROD_GetSPVerText("P", nullptr));
  EXPECT_STREQ("six", TQPROD_GetSPVerText("P", "abc"));
  EXPECT_STREQ("six sp2", TQPROD_GetSPVerText("P", "2"));
  EXPECT_STREQ("six", TQPROD_GetMSPVerText("P", "0"));  // no current MSP yet

  // The current MSP is appended whatever service pack is given.
  Put("P\\6.0", "CurrentSP", "2");
  Put("P\\6.0\\SP2", "CurrentMSP", "2");
  EXPECT_STREQ("six msp2", TQPROD_GetMSPVerText("P", "0"));
  EXPECT_STREQ("six sp2 msp2", TQPROD_GetMSPVerText("P", "2"));

  EXPECT_EQ(nullptr, TQPROD_GetSPVerText("Absent", "2"));
  EXPECT_EQ(nullptr, TQPROD_GetMSPVerText(nullptr, "2"));
}

TEST_F(LevelTest, VerTextDefaultsToSharedComponents) {
  Put("tqshared", "CurrentVersion", "R1");
  Put("tqshared\\R1", "VersionText", "shared");
  EXPECT_STREQ("shared", TQPROD_GetVerText(nullptr));
  EXPECT_STREQ("shared", TQPROD_GetVerText(""));
  EXPECT_STREQ("shared", TQPROD_GetVerText(" "));
  // Without a current version the product key itself is read.
  Put("NoVer", "VersionText", "plain");
  EXPECT_STREQ("plain", TQPROD_GetVerText("NoVer"));
}

TEST_F(LevelTest, PrevVerTextFollowsThePreviousLevel) {
  EXPECT_EQ(nullptr, TQPROD_GetPrevVerText("Absent"));
  EXPECT_EQ(nullptr, TQPROD_GetPrevVerText(nullptr));

  // Previous SP "0" with previous MSP 3: the version key's text.
  Put("P\\6.0", "CurrentSP", "2");
  Put("P\\6.0\\SP2", "PrevSP", "0");
  Put("P\\6.0\\SP0", "CurrentMSP", "3");
  Put("P\\6.0", "VersionText", "six");
  Put("P\\6.0\\SP0\\MSP3", "VersionText", "wrong");
  EXPECT_STREQ("six", TQPROD_GetPrevVerText("P"));

  // Previous SP 1 with MSP 3 recorded under it.
  Put("P\\6.0\\SP2", "PrevSP", "1");
  Put("P\\6.0\\SP1", "CurrentMSP", "3");
  Put("P\\6.0\\SP1\\MSP3", "VersionText", "six sp1 msp3");
  EXPECT_STREQ("six sp1 msp3", TQPROD_GetPrevVerText("P"));
  Put("P\\6.0\\SP1", "CurrentMSP", "0");
  Put("P\\6.0\\SP1", "VersionText", "six sp1");
  EXPECT_STREQ("six sp1", TQPROD_GetPrevVerText("P"));
}

TEST_F(LevelTest, PrevVerTextTakesLevelsLongerThanNineCharacters) {
  const std::string ver = "R80.40.1234567890";
  const std::string sp = "12345678901";
  const std::string msp = "00000000000000000000042";
  Put("L", "CurrentVersion", ver.c_str());
  Put(("L\\" + ver).c_str(), "CurrentSP", sp.c_str());
  Put(("L\\" + ver + "\\SP" + sp).c_str(), "PrevMSP", msp.c_str());
  Put(("L\\" + ver + "\\SP" + sp + "\\MSP" + msp).c_str(), "VersionText", "long");
  EXPECT_STREQ("long", TQPROD_GetPrevVerText("L"));

  // A version that cannot name a key is no level: nothing is copied.
  const std::string huge(600, '9');
  Put("H", "CurrentVersion", huge.c_str());
  EXPECT_EQ(nullptr, TQPROD_GetPrevVerText("H"));
  char v[256] = "", s[256] = "", m[256] = "";
  EXPECT_EQ(0, TQPROD_GetAllPrevData("H", v, s, m));
  EXPECT_STREQ("", v);
  EXPECT_EQ(nullptr, TQPROD_GetPath("H", "ver"));
}

TEST_F(LevelTest, HotFixBookkeepingAndMinorVersions) {
  ASSERT_EQ(0, TQPROD_SetLastHFAIndex("P", "17"));
  ASSERT_EQ(0, TQPROD_SetLastHFARegName("P", "HFA_17"));
  EXPECT_STREQ("17", TQPROD_GetValue("P\\6.0\\HotFixes\\LastInfo", "LastHFAIndex", 0));
  EXPECT_STREQ("17", TQPROD_GetLastHFAIndex("P"));
  EXPECT_STREQ("HFA_17", TQPROD_GetLastHFARegName("P"));
  EXPECT_EQ(-1, TQPROD_SetLastHFAIndex("Absent", "1"));
  EXPECT_EQ(nullptr, TQPROD_GetLastHFARegName(nullptr));

  // Firewall minor versions: nothing without a current version.
  EXPECT_EQ(-1, TQPROD_SetLastMinorVersion("3"));
  EXPECT_EQ(nullptr, TQPROD_GetLastMinorVersion());
  Put("MRK", "CurrentVersion", "R75");
  ASSERT_EQ(0, TQPROD_SetLastMinorVersion("3"));
  EXPECT_STREQ("3", TQPROD_GetValue("MRK\\R75\\HotFixes\\LastInfo", "LastMinorVersion", 0));
  EXPECT_STREQ("3", TQPROD_GetLastMinorVersion());

  // The previous minor version needs LastHFARegName first.
  EXPECT_EQ(-1, TQPROD_SetPrevMinorVersion("2"));
  EXPECT_EQ(nullptr, TQPROD_GetPrevMinorVersion());
  char name[200];
  EXPECT_EQ(0, TQPROD_GetEnumKey("MRK\\R75", name, 0));
  EXPECT_STREQ("HotFixes", name);
  EXPECT_EQ(-3, TQPROD_GetEnumKey(nullptr, name, 0));  // nothing written

  ASSERT_EQ(0, TQPROD_SetLastHFARegName("MRK", "HFA_9"));
  ASSERT_EQ(0, TQPROD_SetPrevMinorVersion("2"));
  EXPECT_STREQ("2", TQPROD_GetValue("MRK\\R75\\HFA_9", "PrevMinorVersion", 0));
  EXPECT_STREQ("2", TQPROD_GetPrevMinorVersion());
}

TEST_F(LevelTest, IsTQSharedFollowsItsCurrentVersion) {
  EXPECT_EQ(0, TQPROD_IsTQShared());
  Put("TQShared", "CurrentVersion", "R1");
  EXPECT_EQ(1, TQPROD_IsTQShared());
}

}  // namespace
