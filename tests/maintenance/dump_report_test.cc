// The registry dump and the two report strings.
#include <stdlib.h>
#include <sys/stat.h>

#include "maint_test.h"

using namespace mtest;
using tqtest::ReadFile;
using tqtest::WriteFile;

namespace {

// Runs each test in its own working directory: the dump goes to ./RegDump.
class DumpTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    old_cwd_ = cwd;
    ASSERT_EQ(0, chdir(sysroot_.c_str()));
  }
  void TearDown() override {
    EXPECT_EQ(0, chdir(old_cwd_.c_str()));
    RegistryTest::TearDown();
  }
  std::string Dump() { return ReadFile(sysroot_ + "/RegDump"); }

  std::string old_cwd_;
};

TEST_F(DumpTest, EveryKeyGetsAHeaderAfterAnEmptyLine) {
  PutStr("", "rootval", "not dumped");
  PutStr("A", "v", "1");
  MakeKey(Abs("B"));
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ("\nSOFTWARE\\Tarquel\\A\n\tv=1\n\nSOFTWARE\\Tarquel\\B\n", Dump());
}

TEST_F(DumpTest, PrngSubtreesLeaveTheirMarkerAtAnyLevel) {
  PutStr("PRNG", "seed", "s");
  PutStr("PRNG\\below", "v", "hidden");
  PutNum("Q", "n", 0xFFFFFFFFu);
  PutStr("Q\\PRNG", "seed", "s");  // the last subkey of Q: the marker is followed by Z
  PutStr("Z", "v", "z");
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ(
      "SOFTWARE\\Tarquel\\PRNG\nSOFTWARE\\Tarquel\\Q\n\tn=-1\n"
      "SOFTWARE\\Tarquel\\PRNG\nSOFTWARE\\Tarquel\\Z\n\tv=z\n",
      Dump());

  // With nothing after it, the marker ends the file without a line feed.
  ASSERT_EQ(0, TQPROD_DelKey("Z"));
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  std::string dump = Dump();
  EXPECT_EQ("\tn=-1\nSOFTWARE\\Tarquel\\PRNG", dump.substr(dump.size() - 27));
}

TEST_F(DumpTest, ValuesAppearAsTheTextReaderGivesThem) {
  const char multi[] = "first\0second\0";
  PutRaw(Abs("M"), "list", TQREG_MULTI_SZ, multi, sizeof multi);
  const char bin[] = {'a', 'b', '\0', 'c'};
  PutRaw(Abs("M"), "bin", 3, bin, sizeof bin);
  PutStr("M", "eq", "a=b");
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ("\nSOFTWARE\\Tarquel\\M\n\tlist=first\n\tbin=ab\n\teq=a=b\n", Dump());
}

TEST_F(DumpTest, DepthErrorAndUnopenableFile) {
  MakeChain("A", 100);  // A is level 1 below the root, its last k level 101
  ASSERT_EQ(-2, TQPROD_DumpRegistry());
  std::string dump = Dump();
  const std::string tail = "\tlvl=99\n\n\nerror - registry to deep";
  ASSERT_GE(dump.size(), tail.size());
  EXPECT_EQ(tail, dump.substr(dump.size() - tail.size()));
  EXPECT_EQ(std::string::npos, dump.find("lvl=100"));

  ASSERT_EQ(0, unlink("RegDump"));
  ASSERT_EQ(0, mkdir("RegDump", 0755));  // fopen for writing fails on a directory
  testing::internal::CaptureStdout();
  EXPECT_EQ(-4, TQPROD_DumpRegistry());
  EXPECT_EQ("The file 'RegDump' was not opened\n", testing::internal::GetCapturedStdout());
  rmdir("RegDump");
}

TEST_F(DumpTest, MissingRootIsAKeyThatCannotBeOpened) {
  EXPECT_EQ(-1, TQPROD_DumpRegistry());
  EXPECT_EQ("", Dump());
}

// ---- Report strings ---------------------------------------------------------

using ReportTest = tqtest::RegistryTest;

std::string Take(char *s) {
  std::string r = s ? s : "<null>";
  free(s);
  return r;
}

void Install(const char *name) { PutStr("products", name, "1"); }

TEST_F(ReportTest, RegistryStringListsTheRolesThatAreOn) {
  MakeKey(Abs("MRK"));
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(1)));
  PutNum("MRK", "FireWall", 1);
  PutNum("MRK", "Primary", 2);  // any non-zero number is on
  PutNum("MRK", "LogServer", 0);
  EXPECT_EQ("FireWall,Primary", Take(TQPROD_GetRegistryString(1)));
  PutNum("MRK", "FWManagement", 1);
  PutNum("MRK", "HighAvailability", 1);
  PutNum("MRK", "LogServer", 1);
  EXPECT_EQ("FWManagement,FireWall,HighAvailability,LogServer,Primary",
            Take(TQPROD_GetRegistryString(-7)));
}

TEST_F(ReportTest, ModeZeroReadsTheProductConfiguration) {
  unsetenv("FWDIR");
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(0)));

  std::string fwdir = sysroot_ + "/fw";
  setenv("FWDIR", fwdir.c_str(), 1);
  WriteFile(fwdir + "/conf/product.conf",
            "FireWall 1\nFWManagement=1\nQuellin 1\nHighAvailability 0\n");
  Install("Other");  // the registry is not consulted in mode 0
  EXPECT_EQ("FireWall,FWManagement", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("MRK,QLN", Take(TQPROD_GetProductsString(0)));

  WriteFile(fwdir + "/conf/product.conf", "FireWall 0\n");
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(0)));
  unsetenv("FWDIR");
}

TEST_F(ReportTest, ProductsStringRenamesAndFiltersInstalledNames) {
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(1)));  // no installed-products key
  Install("OBV");
  Install("Reporting Module");
  Install("X");
  EXPECT_EQ("obv,X", Take(TQPROD_GetProductsString(1)));

  PutNum("Reporting Module", "AnalyzerCorrelationUnit", 1);
  EXPECT_EQ("obv,Reporting Module,X", Take(TQPROD_GetProductsString(1)));

  ASSERT_EQ(0, TQPROD_DelKey("products"));
  Install("PXG");
  Install("Quellin VX");
  Install("Quellin VX2");
  EXPECT_EQ("pxg,QLN,Quellin VX2", Take(TQPROD_GetProductsString(1)));
}

TEST_F(ReportTest, ObvIsAddedOnlyToANonEmptyList) {
  PutStr("obv", "CurrentVersion", "R1");
  MakeKey(Abs("products"));
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(1)));
  Install("Y");
  EXPECT_EQ("Y,obv", Take(TQPROD_GetProductsString(1)));
  // Any "obv" in the text suppresses it, even inside another name.
  Install("myobvtool");
  EXPECT_EQ("Y,myobvtool", Take(TQPROD_GetProductsString(1)));
  // A list of only a left-out name is empty.
  ASSERT_EQ(0, TQPROD_DelKey("products"));
  Install("Reporting Module");
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(1)));
}

TEST_F(ReportTest, ProductsStringStopsAtItsCompositionArea) {
  // Five names of 250 characters: four fit 1023 characters, the fifth
  // would not; the text keeps whole names only.
  std::vector<std::string> names;
  for (char c = 'a'; c < 'f'; ++c) {
    names.push_back(std::string(250, c));
    Install(names.back().c_str());
  }
  std::string text = Take(TQPROD_GetProductsString(1));
  EXPECT_EQ(names[0] + "," + names[1] + "," + names[2] + "," + names[3], text);
}

}  // namespace
