// Line readers of the description files: field splitting, line rules,
// the product index header and product list, hostile file contents.
#include <string.h>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

using MediaFiles = MediaTest;

TEST_F(MediaFiles, GetValueFromLineCountsOnlyNonEmptyFields) {
  const char *line = "a;;b;c\n";
  EXPECT_STREQ("a", GetValueFromLine(line, 0));
  EXPECT_STREQ("b", GetValueFromLine(line, 1));
  EXPECT_STREQ("c\n", GetValueFromLine(line, 2));
  EXPECT_EQ(nullptr, GetValueFromLine(line, 3));
  EXPECT_STREQ("a;;b;c\n", line);
  EXPECT_EQ(nullptr, GetValueFromLine("", 0));
  EXPECT_EQ(nullptr, GetValueFromLine(line, -1));
  // A line beyond 1,023 characters is examined on its first 1,023 only.
  std::string big(3000, 'q');
  const char *v = GetValueFromLine((big + ";tail").c_str(), 0);
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(1023u, strlen(v));
  EXPECT_NE(std::string::npos, TraceText().find(" token number 1 in line, is: b \n"));
}

TEST_F(MediaFiles, ProductLineAndIgnoreLineRules) {
  EXPECT_EQ(1, IsItProductLine("a;b\n"));
  EXPECT_EQ(0, IsItProductLine("a;b # c\n"));
  EXPECT_EQ(0, IsItProductLine("abc\n"));

  struct Case {
    const char *line;
    int keep_tagged;
    int expected;
  } cases[] = {
      {"x V;P;1;SP;linux;/a/b\n", 0, 1},        // first word of one character
      {"   #V;P;1;SP;linux;/a/b\n", 0, 1},      // comment after leading blanks
      {"V;P;1;SP;linux;/a/b;OS=linux\n", 0, 1}, // header key anywhere
      {"\n", 0, 1},                             // no word
      {"V;P;1;SP;linux;/a/b;f6;f7;tgz;\n", 0, 1},
      {"V;P;1;SP;linux;/a/b;f6;f7;tq;\n", 0, 1},
      {"V;P;1;SP;linux;/a/b;f6;f7;tgz;\n", 1, 0},
      {"V;P;1;SP;linux;/a/b;f6;f7;tgzx;\n", 0, 0},
      {"V;P;1;SP;linux;/a/b;f6;f7;tgz\n", 0, 0},  // the tag carries the newline
      {"V;P;1;SP;linux;/a/b\n", 0, 0},
  };
  for (const Case &c : cases) {
    char buf[400];
    strcpy(buf, c.line);
    EXPECT_EQ(c.expected, IgnoreLine(buf, c.keep_tagged)) << c.line << " keep=" << c.keep_tagged;
  }
  EXPECT_EQ(1, IgnoreLine(nullptr, 0));
  EXPECT_NE(std::string::npos, TraceText().find(" IgnoreLine: 4 true \n"));
  EXPECT_NE(std::string::npos, TraceText().find(" IgnoreLine: 5 true \n"));
}

TEST_F(MediaFiles, PrintLineAndGetTGZtag) {
  char nine[] = "V;P;R1;SP2;linux;/a/b;f6;f7;new_brnx;\n";
  char *p = PrintLine(nine);
  EXPECT_STREQ("V;P;R1;SP2;linux", p);
  free(p);
  char three[] = "V;P;R1";
  p = PrintLine(three);
  EXPECT_STREQ("V;P;R1;", p);
  free(p);
  char none[] = ";;;";
  p = PrintLine(none);
  EXPECT_STREQ("", p);
  free(p);
  std::string huge = std::string(300, 'v') + ";" + std::string(300, 'p') + ";";
  std::vector<char> hb(huge.begin(), huge.end());
  hb.push_back('\0');
  p = PrintLine(hb.data());
  EXPECT_EQ(255u, strlen(p));
  free(p);

  char tagged[] = "V;P;R1;SP2;linux;/a/b;f6;f7;new_brnx;\n";
  char *tag = GetTGZtag(tagged);
  EXPECT_STREQ("new_brnx", tag);
  free(tag);
  char last[] = "V;P;R1;SP2;linux;/a/b;f6;f7;new_brnx\n";
  tag = GetTGZtag(last);
  EXPECT_STREQ("new_brnx\n", tag);
  free(tag);
  char eight[] = "V;P;R1;SP2;linux;/a/b;f6;f7\n";
  EXPECT_EQ(nullptr, GetTGZtag(eight));
  EXPECT_NE(std::string::npos, FacilityText().find("CDINFO 4 0 Exit:: GetTGZtag with NULL\n"));
}

TEST_F(MediaFiles, SperateFileAndDirSplitsPackageLocation) {
  struct Case {
    const char *dir, *want_dir, *want_file;
  } cases[] = {
      {"linux/pkg/image.tgz", "linux/pkg", "image.tgz"},
      {"linux/pkg", "linux/pkg", "NONE"},
      {"/a//b/c/d", "a/b", "c"},
      {"single", "single", "NONE"},
      {"", "", "NONE"},
  };
  for (const Case &c : cases) {
    strcpy(ProdList[7].dir, c.dir);
    EXPECT_EQ(1, SperateFileAndDir(7));
    EXPECT_STREQ(c.want_dir, ProdList[7].dir);
    EXPECT_STREQ(c.want_file, ProdList[7].file_name);
  }
  EXPECT_EQ(1, SperateFileAndDir(150));  // out of range: nothing touched
  EXPECT_EQ(1, SperateFileAndDir(-1));
  ProdList[3].module = 1;
  EXPECT_EQ(1, IsProductModule(3));
  EXPECT_EQ(0, IsProductModule(4));
  EXPECT_EQ(0, IsProductModule(5000));
}

TEST_F(MediaFiles, GetDetailsReadsFiveKeysAndDetectsTheSameCD) {
  std::string root = NewMedia("cd1");
  std::string pf = Put(root, "DW/Products.conf",
                       "# header\n"
                       "VENDOR=Tarquel extra\n"
                       "VERSION=R75 second word\n"
                       "unrelated line\n"
                       "SP=HFA_10\n"
                       "CDNUM=1\n"
                       "OS=linux\n"
                       "VENDOR=Sixth\n");
  strcpy(products_file, pf.c_str());
  int fds = tqtest::OpenFdCount();
  EXPECT_EQ(1, Get_Details());
  EXPECT_STREQ("Tarquel", VENDOR);
  EXPECT_STREQ("R75", VERSION);
  EXPECT_STREQ("HFA_10", SP);
  EXPECT_STREQ("1", CDNUM);
  EXPECT_STREQ("linux", OS);
  EXPECT_EQ(0, run_get_details);
  EXPECT_EQ(std::string::npos, TraceText().find("Sixth"));  // sixth key line not read
  EXPECT_NE(std::string::npos, TraceText().find(" Get_Details:: VERSION= R75 \n"));

  // The same CD again: result 30, run_get_details untouched.
  run_get_details = 1;
  EXPECT_EQ(30, Get_Details());
  EXPECT_EQ(1, run_get_details);
  EXPECT_EQ(fds, tqtest::OpenFdCount());

  // Keys without values and a missing file.
  Put(root, "DW/Products.conf", "VENDOR=\nVERSION\nSP==\nCDNUM=2\n");
  EXPECT_EQ(1, Get_Details());
  EXPECT_STREQ("", VENDOR);
  EXPECT_STREQ("", SP);
  EXPECT_STREQ("2", CDNUM);
  strcpy(products_file, (root + "/DW/none.conf").c_str());
  EXPECT_EQ(0, Get_Details());
  EXPECT_NE(std::string::npos,
            TraceText().find(" CDINFO_New_File_Search: The file 'Products.conf' was not opened\" " +
                             root + "/DW/none.conf \" \n"));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(MediaFiles, GetProductsFromFileLoadsTheIndex) {
  std::string root = NewMedia("cd1");
  std::string pf = Put(root, "DW/Products.conf",
                       "VENDOR=T\n"
                       "# c;d;e\n"
                       "FW1;Firewall;linux/fw/image.tgz;0;1;1\n"
                       "MOD;Module;linux/mod;1;2;x\n"
                       "ODD;;Odd;;a/b;zz;  7junk\n");
  strcpy(products_file, pf.c_str());
  int fds = tqtest::OpenFdCount();
  ASSERT_EQ(1, GetProductsFromFile());
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  ASSERT_EQ(3, num_of_products_in_file);
  EXPECT_EQ(0, run_get_products);
  EXPECT_STREQ("FW1", ProdList[0].id);
  EXPECT_STREQ("Firewall", ProdList[0].name);
  EXPECT_STREQ("linux/fw", ProdList[0].dir);
  EXPECT_STREQ("image.tgz", ProdList[0].file_name);
  EXPECT_EQ(0, ProdList[0].module);
  EXPECT_EQ(1, ProdList[0].cd_number);
  EXPECT_EQ(1, ProdList[0].distributable);
  EXPECT_STREQ("NONE", ProdList[1].file_name);
  EXPECT_EQ(1, ProdList[1].module);
  EXPECT_EQ(0, ProdList[1].distributable);  // not a number
  EXPECT_STREQ("Odd", ProdList[2].name);     // adjacent separators count as one
  EXPECT_EQ(0, ProdList[2].module);
  EXPECT_EQ(7, ProdList[2].cd_number);       // blanks skipped, stops at junk
  EXPECT_NE(std::string::npos,
            TraceText().find(" GetProductsFromFile:: Found the prodct  FW1;Firewall;linux/fw;0;1;1 \n"));
  EXPECT_NE(std::string::npos, TraceText().find(" there are total 3 products in this file \n"));

  strcpy(products_file, (root + "/missing").c_str());
  EXPECT_EQ(0, GetProductsFromFile());
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(MediaFiles, HostileProductIndexIsBounded) {
  std::string root = NewMedia("cd1");
  std::string text = "VENDOR=T\n";
  text += std::string(260, 'I') + ";" + std::string(120, 'N') + ";d1/d2;1;1;1\n";
  text += std::string(5000, 'L') + "\n";        // long line read in pieces
  text += std::string("bin\0ary;x;y;1;1;1\n", 18);  // NUL inside a line
  for (int i = 0; i < 200; ++i) text += "P" + std::to_string(i) + ";Name;a/b;0;1;1\n";
  std::string pf = Put(root, "DW/Products.conf", text);
  strcpy(products_file, pf.c_str());
  int fds = tqtest::OpenFdCount();
  ASSERT_EQ(1, GetProductsFromFile());
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  EXPECT_EQ(150, num_of_products_in_file);
  EXPECT_EQ(255u, strlen(ProdList[0].id));
  EXPECT_EQ(120u, strlen(ProdList[0].name));
  EXPECT_STREQ("d1/d2", ProdList[0].dir);
  EXPECT_STREQ("P148", ProdList[149].id);  // the long and the NUL lines hold no product
  // A second load in the same process adds nothing past 150.
  ASSERT_EQ(1, GetProductsFromFile());
  EXPECT_EQ(150, num_of_products_in_file);
}

TEST_F(MediaFiles, ParseProductsFileFindsTheCDNumber) {
  std::string root = NewMedia("cd1");
  std::string pf = Put(root, "DW/Products.conf",
                       "VENDOR=T\n"
                       "# FW1;commented;x;0;9;1\n"
                       "FW1;Fire%swall;linux/fw;0;3;1\n");
  char out[1024] = "unchanged";
  int fds = tqtest::OpenFdCount();
  EXPECT_EQ(1, ParseProductsFile(pf.c_str(), "FW1", 4, out));
  EXPECT_STREQ("3", out);
  EXPECT_EQ(1, ParseProductsFile(pf.c_str(), "FW1", 1, out));
  EXPECT_STREQ("Fire%swall", out);
  strcpy(out, "unchanged");
  EXPECT_EQ(0, ParseProductsFile(pf.c_str(), "NOPE", 4, out));
  EXPECT_EQ(0, ParseProductsFile(pf.c_str(), "FW1", 9, out));
  EXPECT_EQ(0, ParseProductsFile((root + "/x").c_str(), "FW1", 4, out));
  EXPECT_EQ(0, ParseProductsFile(pf.c_str(), nullptr, 4, out));
  EXPECT_STREQ("unchanged", out);
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

}  // namespace
}  // namespace cdtest
