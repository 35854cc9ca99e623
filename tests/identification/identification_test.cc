// Platform identification: "/etc/cd.ver" parsing order, quotes and
// truncation; the Pro rewrite; release files; fwkern.conf, SETUP and
// product.conf parsing including malformed and enormous files; and the
// size rules of tqm_filename.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tq_test.h"

namespace {

class IdentTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    unsetenv("FWDIR");
  }
  void TearDown() override {
    unsetenv("FWDIR");
    RegistryTest::TearDown();
  }
  std::string Sys(const char *p) const { return sysroot_ + p; }
  bool Exists(const char *p) const { return access(Sys(p).c_str(), F_OK) == 0; }
  void CdVer(const std::string &text) { tqtest::WriteFile(Sys("/etc/cd.ver"), text); }
  // FWDIR pointing at a fresh directory below the sysroot.
  std::string Fwdir() {
    std::string d = Sys("/opt/fw");
    setenv("FWDIR", d.c_str(), 1);
    return d;
  }

  // Runs TQPROD_ZudedazVer on buffers of exactly 37 and 34 bytes, with
  // guard bytes after them that must stay untouched.
  int Ver(std::string &major, std::string &minor) {
    char maj[37 + 8], min[34 + 8];
    memset(maj, '#', sizeof maj);
    memset(min, '#', sizeof min);
    int r = TQPROD_ZudedazVer(maj, min);
    EXPECT_EQ(std::string(8, '#'), std::string(maj + 37, 8));
    EXPECT_EQ(std::string(8, '#'), std::string(min + 34, 8));
    major = std::string(maj, strnlen(maj, 37));
    minor = std::string(min, strnlen(min, 34));
    return r;
  }
};

TEST_F(IdentTest, ZudedazVerDefaultsAndKeys) {
  std::string maj, min;
  EXPECT_EQ(0, Ver(maj, min));
  EXPECT_EQ("VXFP2", maj);
  EXPECT_EQ("E1", min);

  CdVer("CD_RELEASE='VX With Application Intelligence'\nCD_EDITION=3\n");
  EXPECT_EQ(1, Ver(maj, min));
  EXPECT_EQ("VX_AI", maj);
  EXPECT_EQ("E3", min);

  CdVer("CD_RELEASE=5\r\nCD_EDITION=7\r\nOTHER=1\nno equals sign\nCD_EDITION=\n");
  EXPECT_EQ(1, Ver(maj, min));
  EXPECT_EQ("VXFP5", maj);
  EXPECT_EQ("E7", min);  // an empty value changes nothing

  CdVer("CD_RELEASE=5\nDW_Major=R80\nDW_Minor=40\n");
  Ver(maj, min);
  EXPECT_EQ("R80", maj);
  EXPECT_EQ("40", min);
  CdVer("DW_Major=R80\nDW_Minor=40\nCD_RELEASE=6\nCD_EDITION=''\n");
  Ver(maj, min);
  EXPECT_EQ("VXFP6", maj);
  EXPECT_EQ("40", min);
}

TEST_F(IdentTest, ZudedazVerCutsValuesAndSurvivesBadFiles) {
  std::string maj, min, v(100, 'v');
  CdVer("CD_RELEASE=" + v + "\nCD_EDITION=" + v + "\n");
  Ver(maj, min);
  EXPECT_EQ("VXFP" + v.substr(0, 32), maj);
  EXPECT_EQ("E" + v.substr(0, 32), min);
  CdVer("DW_Major=" + v + "\nDW_Minor=" + v + "\n");
  Ver(maj, min);
  EXPECT_EQ(v.substr(0, 32), maj);
  EXPECT_EQ(v.substr(0, 32), min);

  // The tail of an over-long line is not a line of its own.
  CdVer(std::string(300, 'x') + "DW_Major=tail\n" + std::string(5000, '=') + "\n");
  EXPECT_EQ(1, Ver(maj, min));
  EXPECT_EQ("VXFP2", maj);
  std::string binary;
  for (int i = 0; i < 20000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  CdVer(binary);
  EXPECT_EQ(1, Ver(maj, min));
  EXPECT_LE(maj.size(), 36u);
  EXPECT_LE(min.size(), 33u);
}

TEST_F(IdentTest, SetZudedazProRewritesKeepingOrderAndPermissions) {
  EXPECT_EQ(-1, TQPROD_SetZudedazPro(1));
  EXPECT_FALSE(Exists("/etc/cd.ver"));
  EXPECT_FALSE(Exists("/etc/cd.ver.mod"));

  std::string longLine = "LONG=" + std::string(300, 'l');
  CdVer("A=1\nBXPRO=0\n\nB=2\n" + longLine + "\nBXPRO=1\nC=3");
  ASSERT_EQ(0, chmod(Sys("/etc/cd.ver").c_str(), 0664));
  ASSERT_EQ(0, TQPROD_SetZudedazPro(7));
  EXPECT_EQ("A=1\nB=2\n" + longLine + "\nC=3\nBXPRO=1\n",
            tqtest::ReadFile(Sys("/etc/cd.ver")));
  struct stat st;
  ASSERT_EQ(0, stat(Sys("/etc/cd.ver").c_str(), &st));
  EXPECT_EQ(0664u, st.st_mode & 07777);  // not narrowed by the umask
  EXPECT_FALSE(Exists("/etc/cd.ver.mod"));

  ASSERT_EQ(0, TQPROD_SetZudedazPro(0));
  EXPECT_EQ("A=1\nB=2\n" + longLine + "\nC=3\nBXPRO=0\n",
            tqtest::ReadFile(Sys("/etc/cd.ver")));
  std::string maj, min;
  EXPECT_EQ(1, Ver(maj, min));
}

TEST_F(IdentTest, SetZudedazProNeverWritesThroughALink) {
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

  tqtest::WriteFile(Sys("/etc/tq-release"), "Zudedaz Pro release R80.40\n");
  EXPECT_NE(0, TQPROD_IsZudedaz());
  EXPECT_STREQ("Zudedaz Pro", TqOsName());
  EXPECT_EQ(1, TQPROD_IsZudedazPro());
  tqtest::WriteFile(Sys("/etc/tq-release"), "ID=zud\nNAME=\"Zudedaz Pro\"\n");
  EXPECT_EQ(1, TQPROD_IsZudedazPro());
  tqtest::WriteFile(Sys("/etc/tq-release"), "Zudedaz release R80.40\n");
  EXPECT_STREQ("Zudedaz", TqOsName());
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
  tqtest::WriteFile(Sys("/etc/tq-release"), "Zudedaz Professional\n");
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
  tqtest::WriteFile(Sys("/etc/tq-release"), "\n\n");
  EXPECT_EQ(nullptr, TqOsName());
  EXPECT_EQ(0, TQPROD_IsZudedazPro());
}

TEST_F(IdentTest, CrossbeamXTakesTheLastMatchingLine) {
  EXPECT_EQ(0, TQPROD_IsCrossbeamX());  // FWDIR unset
  std::string fw = Fwdir();
  EXPECT_EQ(0, TQPROD_IsCrossbeamX());  // no file
  tqtest::WriteFile(fw + "/boot/modules/fwkern.conf",
                    "fw_is_running_on_cbs=1\nother=5\n fw_is_running_on_cbs=9\n"
                    "fw_is_running_on_cbs=x\n" + std::string(100, 'p') +
                    "fw_is_running_on_cbs=4\nfw_is_running_on_cbs=3\n");
  EXPECT_EQ(3, TQPROD_IsCrossbeamX());
  tqtest::WriteFile(fw + "/boot/modules/fwkern.conf",
                    "fw_is_running_on_cbs=2\nfw_is_running_on_cbs=99999999999999\n");
  EXPECT_EQ(2147483647, TQPROD_IsCrossbeamX());
}

TEST_F(IdentTest, DisklessLinesInSetupAndCdVer) {
  EXPECT_EQ(0, TQPROD_IsDiskless());
  EXPECT_EQ(0, TQPROD_IsPureDiskless());
  tqtest::WriteFile(Sys("/etc/sysconfig/SETUP"),
                    " DISKLESS=1\nDISKLESS=0\n" + std::string(2000, 'z') + "DISKLESS=1\n");
  EXPECT_EQ(0, TQPROD_IsDiskless());
  tqtest::WriteFile(Sys("/etc/sysconfig/SETUP"), "A=b\nDISKLESS=12\n");
  EXPECT_EQ(1, TQPROD_IsDiskless());
  EXPECT_EQ(0, TQPROD_IsPureDiskless());
  CdVer("CD_RELEASE=5\nDISKLESS=1");
  EXPECT_EQ(1, TQPROD_IsPureDiskless());
}

TEST_F(IdentTest, ConfigFrom41ProductsAndComponents) {
  EXPECT_EQ(nullptr, TQPROD_GetConfigFrom41('p'));
  std::string conf = Fwdir() + "/conf/product.conf";
  EXPECT_EQ(nullptr, TQPROD_GetConfigFrom41('p'));
  tqtest::WriteFile(conf, "FireWall 0\n");
  EXPECT_EQ(nullptr, TQPROD_GetConfigFrom41('p'));
  EXPECT_EQ(nullptr, TQPROD_GetConfigFrom41('c'));

  tqtest::WriteFile(conf,
                    "# FireWall 1\nFireWall 1\nFWManagement=1\r\nQuellin\t1\n"
                    "HighAvailability 1\nQLManagement 1\nFWManagement 2\n"
                    "HighAvailability 0\nFireWall abc\nFireWall\n");
  char *p = TQPROD_GetConfigFrom41('p');
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("MRK,QLN", p);
  free(p);
  char *c = TQPROD_GetConfigFrom41('c');
  ASSERT_NE(nullptr, c);
  EXPECT_STREQ("FireWall,FWManagement,HighAvailability,FWManagement", c);
  free(c);
}

TEST_F(IdentTest, ConfigFrom41KeepsWholeEntriesWithinItsArea) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += i % 2 ? "HighAvailability=1\n" : "FireWall 1\n";
  text += std::string(100000, 'L') + "\n";  // and one enormous line
  tqtest::WriteFile(Fwdir() + "/conf/product.conf", text);
  char *c = TQPROD_GetConfigFrom41('c');
  ASSERT_NE(nullptr, c);
  std::string list(c);
  free(c);
  EXPECT_LE(list.size(), 535u);
  EXPECT_GT(list.size(), 500u);
  EXPECT_EQ(0u, list.find("FireWall,HighAvailability,FireWall"));
  std::string last = list.substr(list.rfind(',') + 1);
  EXPECT_TRUE(last == "FireWall" || last == "HighAvailability") << last;
  char *p = TQPROD_GetConfigFrom41('p');
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("MRK", p);
  free(p);
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
