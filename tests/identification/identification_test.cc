// Platform identification: cd.ver parsing, the Pro rewrite, release files,
// fwkern.conf, SETUP and product.conf parsing, and tqm_filename sizes.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "tq_test.h"

namespace {

using VerResult = std::tuple<int, std::string, std::string>;

class IdentTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override { RegistryTest::SetUp(); unsetenv("FWDIR"); }
  void TearDown() override { unsetenv("FWDIR"); RegistryTest::TearDown(); }
  std::string Sys(const char *p) const { return sysroot_ + p; }
  bool Exists(const char *p) const { return access(Sys(p).c_str(), F_OK) == 0; }
  void CdVer(const std::string &text) { tqtest::WriteFile(Sys("/etc/cd.ver"), text); }
  void Release(const char *text) { tqtest::WriteFile(Sys("/etc/tq-release"), text); }
  std::string Fwdir() {
    std::string d = Sys("/opt/fw");
    setenv("FWDIR", d.c_str(), 1);
    return d;
  }
  // TQPROD_ZudedazVer on buffers of exactly 37 and 34 bytes; guard bytes
  // after them must stay untouched.
  static VerResult Ver() {
    char maj[37 + 8], min[34 + 8];
    memset(maj, '#', sizeof maj);
    memset(min, '#', sizeof min);
    int r = TQPROD_ZudedazVer(maj, min);
    EXPECT_EQ(std::string(8, '#'), std::string(maj + 37, 8));
    EXPECT_EQ(std::string(8, '#'), std::string(min + 34, 8));
    return {r, std::string(maj, strnlen(maj, 37)), std::string(min, strnlen(min, 34))};
  }
  static std::string Config(char which) {
    char *p = TQPROD_GetConfigFrom41(which);
    std::string s = p ? p : "<null>";
    free(p);
    return s;
  }
};

TEST_F(IdentTest, ZudedazVerDefaultsKeysAndCuts) {
  EXPECT_EQ(VerResult(0, "VXFP2", "E1"), Ver());
  CdVer("CD_RELEASE='VX With Application Intelligence'\nCD_EDITION=3\n");
  EXPECT_EQ(VerResult(1, "VX_AI", "E3"), Ver());
  // An empty value changes nothing; junk lines are ignored.
  CdVer("CD_RELEASE=5\r\nCD_EDITION=7\r\nOTHER=1\nno equals sign\nCD_EDITION=\n");
  EXPECT_EQ(VerResult(1, "VXFP5", "E7"), Ver());
  CdVer("CD_RELEASE=5\nDW_Major=R80\nDW_Minor=40\n");
  EXPECT_EQ(VerResult(1, "R80", "40"), Ver());
  CdVer("DW_Major=R80\nDW_Minor=40\nCD_RELEASE=6\nCD_EDITION=''\n");
  EXPECT_EQ(VerResult(1, "VXFP6", "40"), Ver());

  std::string v(100, 'v');
  CdVer("CD_RELEASE=" + v + "\nCD_EDITION=" + v + "\n");
  EXPECT_EQ(VerResult(1, "VXFP" + v.substr(0, 32), "E" + v.substr(0, 32)), Ver());
  CdVer("DW_Major=" + v + "\nDW_Minor=" + v + "\n");
  EXPECT_EQ(VerResult(1, v.substr(0, 32), v.substr(0, 32)), Ver());
  // The tail of an over-long line is not a line of its own.
  CdVer(std::string(300, 'x') + "DW_Major=tail\n" + std::string(5000, '=') + "\n");
  EXPECT_EQ(VerResult(1, "VXFP2", "E1"), Ver());
  std::string binary;
  for (int i = 0; i < 20000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  CdVer(binary);
  auto [rc, maj, min] = Ver();
  EXPECT_EQ(1, rc);
  EXPECT_LE(maj.size(), 36u);
  EXPECT_LE(min.size(), 33u);
}

TEST_F(IdentTest, SetZudedazProRewritesKeepingOrderAndPermissions) {
  EXPECT_EQ(-1, TQPROD_SetZudedazPro(1));
  EXPECT_FALSE(Exists("/etc/cd.ver"));
  EXPECT_FALSE(Exists("/etc/cd.ver.mod"));

  std::string keep = "A=1\nB=2\nLONG=" + std::string(300, 'l') + "\nC=3\n";
  CdVer("A=1\nBXPRO=0\n\nB=2\nLONG=" + std::string(300, 'l') + "\nBXPRO=1\nC=3");
  ASSERT_EQ(0, chmod(Sys("/etc/cd.ver").c_str(), 0664));
  ASSERT_EQ(0, TQPROD_SetZudedazPro(7));
  EXPECT_EQ(keep + "BXPRO=1\n", tqtest::ReadFile(Sys("/etc/cd.ver")));
  struct stat st;
  ASSERT_EQ(0, stat(Sys("/etc/cd.ver").c_str(), &st));
  EXPECT_EQ(0664u, st.st_mode & 07777);  // not narrowed by the umask
  EXPECT_FALSE(Exists("/etc/cd.ver.mod"));
  ASSERT_EQ(0, TQPROD_SetZudedazPro(0));
  EXPECT_EQ(keep + "BXPRO=0\n", tqtest::ReadFile(Sys("/etc/cd.ver")));
  EXPECT_EQ(1, std::get<0>(Ver()));

  // Never writes through a link at the temporary name.
  CdVer("A=1\n");
  std::string victim = Sys("/victim");
  tqtest::WriteFile(victim, "keep\n");
  ASSERT_EQ(0, symlink(victim.c_str(), Sys("/etc/cd.ver.mod").c_str()));
  EXPECT_EQ(-1, TQPROD_SetZudedazPro(1));
  EXPECT_EQ("keep\n", tqtest::ReadFile(victim));
  EXPECT_EQ("A=1\n", tqtest::ReadFile(Sys("/etc/cd.ver")));
}

TEST_F(IdentTest, ReleaseFilesAndTheProEdition) {
  EXPECT_EQ(0, TQPROD_IsZudedaz());
  EXPECT_EQ(0, TQPROD_IsCrossBeamPlatform());
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
  EXPECT_EQ(nullptr, TqOsName());
  tqtest::WriteFile(Sys("/etc/crossbeam-release"), "");
  EXPECT_NE(0, TQPROD_IsCrossBeamPlatform());

  Release("Zudedaz Pro release R80.40\n");
  EXPECT_NE(0, TQPROD_IsZudedaz());
  EXPECT_STREQ("Zudedaz Pro", TqOsName());
  EXPECT_EQ(1, TQPROD_IsZudedazPro());
  Release("ID=zud\nNAME=\"Zudedaz Pro\"\n");
  EXPECT_EQ(1, TQPROD_IsZudedazPro());
  Release("Zudedaz release R80.40\n");
  EXPECT_STREQ("Zudedaz", TqOsName());
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
  Release("Zudedaz Professional\n");
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
  Release("\n\n");
  EXPECT_EQ(nullptr, TqOsName());
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
}

TEST_F(IdentTest, CrossbeamXAndDisklessTakeTheLastMatchingLine) {
  EXPECT_EQ(0, TQPROD_IsCrossbeamX());  // FWDIR unset
  std::string conf = Fwdir() + "/boot/modules/fwkern.conf";
  EXPECT_EQ(0, TQPROD_IsCrossbeamX());  // no file
  tqtest::WriteFile(conf, "fw_is_running_on_cbs=1\nother=5\n fw_is_running_on_cbs=9\n"
                          "fw_is_running_on_cbs=x\n" + std::string(100, 'p') +
                              "fw_is_running_on_cbs=4\nfw_is_running_on_cbs=3\n");
  EXPECT_EQ(3, TQPROD_IsCrossbeamX());
  tqtest::WriteFile(conf, "fw_is_running_on_cbs=2\nfw_is_running_on_cbs=99999999999999\n");
  EXPECT_EQ(2147483647, TQPROD_IsCrossbeamX());

  EXPECT_EQ(0, TQPROD_IsDiskless());
  EXPECT_EQ(0, TQPROD_IsPureDiskless());
  std::string setup = Sys("/etc/sysconfig/SETUP");
  tqtest::WriteFile(setup, " DISKLESS=1\nDISKLESS=0\n" + std::string(2000, 'z') + "DISKLESS=1\n");
  EXPECT_EQ(0, TQPROD_IsDiskless());
  tqtest::WriteFile(setup, "A=b\nDISKLESS=12\n");
  EXPECT_EQ(1, TQPROD_IsDiskless());
  EXPECT_EQ(0, TQPROD_IsPureDiskless());
  CdVer("CD_RELEASE=5\nDISKLESS=1");
  EXPECT_EQ(1, TQPROD_IsPureDiskless());
}

TEST_F(IdentTest, ConfigFrom41ProductsAndComponents) {
  EXPECT_EQ("<null>", Config('p'));
  std::string conf = Fwdir() + "/conf/product.conf";
  EXPECT_EQ("<null>", Config('p'));
  tqtest::WriteFile(conf, "FireWall 0\n");
  EXPECT_EQ("<null>", Config('p'));
  EXPECT_EQ("<null>", Config('c'));
  tqtest::WriteFile(conf, "# FireWall 1\nFireWall 1\nFWManagement=1\r\nQuellin\t1\n"
                          "HighAvailability 1\nQLManagement 1\nFWManagement 2\n"
                          "HighAvailability 0\nFireWall abc\nFireWall\n");
  EXPECT_EQ("MRK,QLN", Config('p'));
  EXPECT_EQ("FireWall,FWManagement,HighAvailability,FWManagement", Config('c'));

  // Only whole entries within the bounded area; one enormous line is harmless.
  std::string text;
  for (int i = 0; i < 20000; ++i) text += i % 2 ? "HighAvailability=1\n" : "FireWall 1\n";
  tqtest::WriteFile(conf, text + std::string(100000, 'L') + "\n");
  std::string list = Config('c');
  EXPECT_LE(list.size(), 535u);
  EXPECT_GT(list.size(), 500u);
  EXPECT_EQ(0u, list.find("FireWall,HighAvailability,FireWall"));
  std::string last = list.substr(list.rfind(',') + 1);
  EXPECT_TRUE(last == "FireWall" || last == "HighAvailability") << last;
  EXPECT_EQ("MRK", Config('p'));
}

TEST_F(IdentTest, TqmFilenameSizeRules) {
  char buf[64];
  EXPECT_EQ(nullptr, tqm_filename("d", "f", nullptr, 10));
  EXPECT_EQ(nullptr, tqm_filename("d", nullptr, buf, sizeof buf));
  EXPECT_EQ(buf, tqm_filename(".", "file", buf, sizeof buf));
  EXPECT_STREQ("file", buf);
  EXPECT_EQ(buf, tqm_filename(nullptr, "/abs/file", buf, 10));
  EXPECT_STREQ("/abs/file", buf);
  EXPECT_EQ(nullptr, tqm_filename(nullptr, "/abs/file", buf, 9));

  // Sizes 0 and 1 write nothing, except the empty name that fits size 1.
  memset(buf, '#', sizeof buf);
  EXPECT_EQ(nullptr, tqm_filename(".", "f", buf, 0));
  EXPECT_EQ(nullptr, tqm_filename(".", "f", buf, 1));
  EXPECT_EQ(nullptr, tqm_filename("/d", "f", buf, 1));
  EXPECT_EQ(nullptr, tqm_filename("d", "f", buf, 0));
  EXPECT_EQ('#', buf[0]);
  EXPECT_EQ(buf, tqm_filename(".", "", buf, 1));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(nullptr, tqm_filename("/etc/fw", "f.conf", buf, 14));
  EXPECT_EQ(buf, tqm_filename("/etc/fw", "f.conf", buf, 15));
  EXPECT_STREQ("/etc/fw/f.conf", buf);

  // A relative directory lies under the registered management directory.
  EXPECT_EQ(nullptr, tqm_filename("conf", "x", buf, sizeof buf));
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "R80", 0));
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "TQMDIR", 1, "/opt/tqm", 1));
  EXPECT_EQ(nullptr, tqm_filename("conf", "x", buf, 15));
  EXPECT_EQ(buf, tqm_filename("conf", "x", buf, 16));
  EXPECT_STREQ("/opt/tqm/conf/x", buf);
}

}  // namespace
