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

TEST_F(DumpTest, EveryKeyGetsAHeaderAndValuesAsTheTextReaderGivesThem) {
  EXPECT_EQ(-1, TQPROD_DumpRegistry());  // no root key yet
  EXPECT_EQ("", Dump());
  PutStr("", "rootval", "not dumped");
  MakeKey(Abs("B"));
  const char multi[] = "first\0second\0";
  PutRaw(Abs("M"), "list", TQREG_MULTI_SZ, multi, sizeof multi);
  const char bin[] = {'a', 'b', '\0', 'c'};
  PutRaw(Abs("M"), "bin", 3, bin, sizeof bin);
  PutStr("M", "eq", "a=b");
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ("\nSOFTWARE\\Tarquel\\B\n\nSOFTWARE\\Tarquel\\M\n\tlist=first\n\tbin=ab\n\teq=a=b\n",
            Dump());
}

TEST_F(DumpTest, PrngSubtreesLeaveTheirMarkerAtAnyLevel) {
  PutStr("PRNG", "seed", "s");
  PutStr("PRNG\\below", "v", "hidden");
  PutNum("Q", "n", 0xFFFFFFFFu);
  PutStr("Q\\PRNG", "seed", "s");  // the last subkey of Q: the marker is followed by Z
  PutStr("Z", "v", "z");
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ("SOFTWARE\\Tarquel\\PRNG\nSOFTWARE\\Tarquel\\Q\n\tn=-1\n"
            "SOFTWARE\\Tarquel\\PRNG\nSOFTWARE\\Tarquel\\Z\n\tv=z\n",
            Dump());
  // With nothing after it, the marker ends the file without a line feed.
  ASSERT_EQ(0, TQPROD_DelKey("Z"));
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  std::string dump = Dump();
  EXPECT_EQ("\tn=-1\nSOFTWARE\\Tarquel\\PRNG", dump.substr(dump.size() - 27));
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

// ---- Report strings ---------------------------------------------------------

using ReportTest = tqtest::RegistryTest;

std::string Take(char *s) {
  std::string r = Str(s);
  free(s);
  return r;
}
std::string Products() { return Take(TQPROD_GetProductsString(1)); }
void Install(const char *name) { PutStr("products", name, "1"); }

TEST_F(ReportTest, RegistryStringListsTheRolesThatAreOn) {
  MakeKey(Abs("MRK"));
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(1)));
  PutNum("MRK", "FireWall", 1);
  PutNum("MRK", "Primary", 2);  // any non-zero number is on
  PutNum("MRK", "LogServer", 0);
  EXPECT_EQ("FireWall,Primary", Take(TQPROD_GetRegistryString(1)));
  for (const char *role : {"FWManagement", "HighAvailability", "LogServer"}) PutNum("MRK", role, 1);
  EXPECT_EQ("FWManagement,FireWall,HighAvailability,LogServer,Primary",
            Take(TQPROD_GetRegistryString(-7)));
}

TEST_F(ReportTest, ModeZeroReadsTheProductConfiguration) {
  unsetenv("FWDIR");
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(0)));
  std::string fwdir = sysroot_ + "/fw";
  setenv("FWDIR", fwdir.c_str(), 1);
  WriteFile(fwdir + "/conf/product.conf", "FireWall 1\nFWManagement=1\nQuellin 1\nHighAvailability 0\n");
  Install("Other");  // the registry is not consulted in mode 0
  EXPECT_EQ("FireWall,FWManagement", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("MRK,QLN", Take(TQPROD_GetProductsString(0)));
  WriteFile(fwdir + "/conf/product.conf", "FireWall 0\n");
  EXPECT_EQ("<null>", Take(TQPROD_GetRegistryString(0)));
  EXPECT_EQ("<null>", Take(TQPROD_GetProductsString(0)));
  unsetenv("FWDIR");
}

TEST_F(ReportTest, ProductsStringRenamesFiltersAndAddsObv) {
  EXPECT_EQ("<null>", Products());  // no installed-products key
  for (const char *p : {"OBV", "Reporting Module", "X"}) Install(p);
  EXPECT_EQ("obv,X", Products());
  PutNum("Reporting Module", "AnalyzerCorrelationUnit", 1);
  EXPECT_EQ("obv,Reporting Module,X", Products());

  ASSERT_EQ(0, TQPROD_DelKey("products"));
  for (const char *p : {"PXG", "Quellin VX", "Quellin VX2"}) Install(p);
  EXPECT_EQ("pxg,QLN,Quellin VX2", Products());

  // An installed obv is added to a non-empty list only.
  ASSERT_EQ(0, TQPROD_DelKey("products"));
  ASSERT_EQ(0, TQPROD_DelKey("Reporting Module"));
  PutStr("obv", "CurrentVersion", "R1");
  MakeKey(Abs("products"));
  EXPECT_EQ("<null>", Products());
  Install("Y");
  EXPECT_EQ("Y,obv", Products());
  Install("myobvtool");  // any "obv" in the text suppresses it, even inside another name
  EXPECT_EQ("Y,myobvtool", Products());
  ASSERT_EQ(0, TQPROD_DelKey("products"));
  Install("Reporting Module");  // a list of only a left-out name is empty
  EXPECT_EQ("<null>", Products());
}

TEST_F(ReportTest, ProductsStringKeepsWholeNamesWithin1023Characters) {
  std::string want;
  for (char c = 'a'; c < 'f'; ++c) {  // five names of 250: only four fit
    Install(std::string(250, c).c_str());
    if (c < 'e') want += (want.empty() ? "" : ",") + std::string(250, c);
  }
  EXPECT_EQ(want, Products());
}

}  // namespace
