// Attribute queries of a medium and the product-line lookup.
#include <string.h>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

using Attributes = MediaTest;

TEST_F(Attributes, ReleaseNamingRuleAndInnerBlanks) {
  struct Case {
    const char *text;
    const char *vendor, *version;
  } cases[] = {
      {"VENDOR=Tarquel Ltd\nVERSION=VX\nSP=FP4\n", "Tarquel Ltd", "VX_AI"},
      {"VENDOR=T\nVERSION=VX\nSP=FP3\n", "T", "VX"},
      {"VENDOR=T\nVERSION=VX\n", "T", "VX"},
      {"VENDOR=T\nVERSION=VX2\nSP=FP4\n", "T", "VX2"},
      {"VENDOR=Old\nVERSION=VX\nVENDOR=New\nSP=FP4\n", "New", "VX_AI"},
  };
  std::string root = NewMedia("cd");
  int fds = tqtest::OpenFdCount();
  for (const Case &c : cases) {
    Put(root, "DW/dw.txt", c.text);
    char *vendor = nullptr, *version = nullptr;
    ASSERT_EQ(1, CDINFO_GetCdAttrib(root.c_str(), &vendor, &version)) << c.text;
    EXPECT_STREQ(c.vendor, vendor);
    EXPECT_STREQ(c.version, version);
    free(vendor);
    free(version);
  }
  // A key the file lacks leaves its pointer untouched.
  Put(root, "DW/dw.txt", "VENDOR=\n");
  char keep[] = "keep";
  char *vendor = nullptr, *version = keep;
  EXPECT_EQ(1, CDINFO_GetCdAttrib(root.c_str(), &vendor, &version));
  EXPECT_STREQ("", vendor);
  EXPECT_EQ(keep, version);
  free(vendor);
  EXPECT_EQ(0, CDINFO_GetCdAttrib((root + "/none").c_str(), &vendor, &version));
  EXPECT_EQ(0, CDINFO_GetCdAttrib(root.c_str(), nullptr, nullptr));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(Attributes, ServicePackOfTheMedium) {
  std::string root = NewMedia("cd");
  int fds = tqtest::OpenFdCount();
  Put(root, "DW/dw.txt", "VENDOR=T\nSP=HFA 10\n");
  char *sp = nullptr;
  ASSERT_EQ(1, CDINFO_GetCdSP(root.c_str(), &sp));
  EXPECT_STREQ("HFA 10", sp);
  free(sp);
  Put(root, "DW/dw.txt", "VENDOR=T\nV;P;1;xSP=ab=cd;linux\n");
  ASSERT_EQ(1, CDINFO_GetCdSP(root.c_str(), &sp));
  EXPECT_STREQ("ab", sp);
  free(sp);
  Put(root, "DW/dw.txt", "VENDOR=T\n");
  char keep[] = "keep";
  sp = keep;
  EXPECT_EQ(0, CDINFO_GetCdSP(root.c_str(), &sp));
  EXPECT_EQ(keep, sp);
  EXPECT_EQ(0, CDINFO_GetCdSP((root + "/none").c_str(), &sp));
  EXPECT_EQ(0, CDINFO_GetCdSP(nullptr, &sp));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  EXPECT_NE(std::string::npos, FacilityText().find("CDINFO 4 0 Exit:: CDINFO_GetCdSP\n"));
}

TEST_F(Attributes, GetLineMatchesTheProductBetweenSeparators) {
  std::string root = NewMedia("cd");
  std::string list = Put(root, "DW/dw.txt",
                         "VENDOR=T\nVERSION=R1\n"
                         "Lonely;first;field;only\n"
                         "T;Firewall;R1;SP1;linux;/linux/fw\n"
                         "T;Firewall;R1;SP2;linux;/linux/fw2\n");
  EXPECT_EQ(nullptr, GetLine(root.c_str(), "Firewall", "SP1", "linux"));  // nothing recorded
  strcpy(DW_Curent_File, list.c_str());
  int fds = tqtest::OpenFdCount();
  const char *line = GetLine(root.c_str(), "Firewall", "SP9", "x");
  EXPECT_STREQ("T;Firewall;R1;SP1;linux;/linux/fw\n", line);
  EXPECT_EQ(nullptr, GetLine(root.c_str(), "Lonely", nullptr, nullptr));
  EXPECT_EQ(nullptr, GetLine(root.c_str(), "Fire", "SP1", "linux"));
  std::string longname(2000, 'n');
  EXPECT_EQ(nullptr, GetLine(root.c_str(), longname.c_str(), "SP1", "linux"));
  // A vendor line without a version line: no product line is looked at.
  Put(root, "DW/dw.txt", "VENDOR=T\nT;Firewall;R1;SP1;linux;/linux/fw\n");
  EXPECT_EQ(nullptr, GetLine(root.c_str(), "Firewall", "SP1", "linux"));
  EXPECT_NE(std::string::npos, TraceText().find(" GetLine: vendor or version not found \n"));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(Attributes, GetLineUsesTheIndexOfASet) {
  std::string root = NewMedia("cd1");
  std::string pf = Put(root, "DW/Products.conf",
                       "VENDOR=T\nVERSION=R1\nA;ProdA;linux/a;0;1;1\n");
  strcpy(products_file, pf.c_str());
  EXPECT_STREQ("A;ProdA;linux/a;0;1;1\n", GetLine(root.c_str(), "ProdA", "", ""));
}

}  // namespace
}  // namespace cdtest
