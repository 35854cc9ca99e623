// The install-media trace log, the description files' line readers, the
// product search and the attribute queries.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "h2_media.h"

namespace tqtest {
namespace {

using Media = MediaTest;

TEST_F(Media, TraceRecordsAreVerbatimAndCut) {
  EXPECT_EQ(nullptr, CDINFO_CreateElgFilePath(nullptr));
  std::string big(5000, 'x');
  Debug("only", nullptr);  // the first record creates the directory
  Debug("label", "value with %s and %d", nullptr);
  Debug("a", "", "c", nullptr);
  Debug("head", big.c_str(), big.c_str(), nullptr);
  EXPECT_EQ((Strings{"only", "label value with %s and %d", "a  c"}), TraceRecords(sysroot_, {"only", "label", "a "}));
  // The message part, " \n" included, never exceeds 1,023 bytes.
  std::string last = Lines(ReadFile(TracePath())).back();
  EXPECT_EQ(" head " + std::string(1015, 'x') + " ", last.substr(last.find("]\t\t") + 3));
  struct stat st;
  ASSERT_EQ(0, stat(TracePath().c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & 022) << "log must not be writable by others";
  EXPECT_EQ(sysroot_ + "/opt/TQInstLog/x.elg", Take(CDINFO_CreateElgFilePath("x.elg")));
}

TEST_F(Media, UnwritableTraceLogOnlyPrints) {
  WriteFile(sysroot_ + "/opt", "a file where the log directory should be");
  EXPECT_EQ(nullptr, CDINFO_CreateElgFilePath("cdInfo.elg"));
  testing::internal::CaptureStdout();
  Debug("lost", nullptr);
  EXPECT_EQ("The file 'ElgFilePath' was not opened ()\n", testing::internal::GetCapturedStdout());
  // A symbolic link planted at the log's name is not followed.
  RemoveTree(sysroot_ + "/opt");
  ASSERT_EQ((Ints{1, 0}), (Ints{tqDirCreate((sysroot_ + "/opt/TQInstLog").c_str()), symlink((scratch_ + "/victim").c_str(), TracePath().c_str())}));
  int fds = OpenFdCount();
  testing::internal::CaptureStdout();
  Debug("attack", nullptr);
  EXPECT_EQ("The file 'ElgFilePath' was not opened (" + TracePath() + ")\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ((Ints{0, fds}), (Ints{tqFileExist((scratch_ + "/victim").c_str()), OpenFdCount()}));
}

TEST_F(Media, FieldsOfALine) {
  for (auto r : {std::make_pair(0, "a"), std::make_pair(2, "c\n"), std::make_pair(3, "<null>"), std::make_pair(-1, "<null>")})
    EXPECT_EQ(r.second, Str(GetValueFromLine("a;;b;c\n", r.first))) << r.first;
  EXPECT_EQ(1023u, strlen(GetValueFromLine((std::string(3000, 'q') + ";t").c_str(), 0)));  // the first 1,023 only
  ClearTraceLog(sysroot_);
  EXPECT_STREQ("b", GetValueFromLine("a;;b;c", 1));
  EXPECT_EQ((Strings{"save_line= a;;b;c", "token number 0 in line, is: a", "token number 1 in line, is: b", "returing token is : b"}),
            TraceRecords(sysroot_));
  // PrintLine joins the first five fields (cut at 255 characters); the
  // archive tag is field 8 of nine.
  std::string huge = std::string(300, 'v') + ";" + std::string(300, 'p') + ";", cut(255, 'v');
  const char *rows[][3] = {{"V;P;R1;SP2;linux;/a/b;f6;f7;new_brnx;\n", "V;P;R1;SP2;linux", "new_brnx"},
                           {"V;P;R1;SP2;linux;/a/b;f6;f7\n", "V;P;R1;SP2;linux", "<null>"},
                           {"V;P;R1", "V;P;R1;", "<null>"}, {huge.c_str(), cut.c_str(), "<null>"}};
  for (auto &r : rows) {
    std::string a = r[0], b = r[0];
    std::string printed = Take(PrintLine(&a[0]));
    EXPECT_EQ(std::string(r[1]) + "|" + r[2], printed + "|" + Take(GetTGZtag(&b[0]))) << r[0];
  }
  ClearTraceLog(sysroot_);
  std::string tagged = "V;P;R1;SP2;linux;/a/b;f6;f7;tag;";
  EXPECT_EQ("tag", Take(GetTGZtag(&tagged[0])));
  EXPECT_EQ((Strings{"Enter:: GetTGZtag", "Exit:: GetTGZtag: result=  tag"}), TraceRecords(sysroot_));
}

TEST_F(Media, ProductIndex) {
  std::string text = "# header\nVENDOR=Tarquel extra\nVERSION=R75 second word\nunrelated\nSP=HFA_10\nCDNUM=1\nOS=linux\nVENDOR=Sixth\n"
                     "# FW1;commented;x;0;9;1\nFW1;Fire%swall;linux/fw/image.tgz;0;3;1\nMOD;Module;linux/mod;1;2;x\n"
                     "ODD;;Odd;;a/b;zz;  7junk\n" + std::string(260, 'I') + ";" + std::string(120, 'N') + ";d1/d2;1;1;1\n" +
                     std::string(5000, 'L') + "\n" + std::string("bin\0ary;x;y;1;1;1\n", 18);
  for (int i = 0; i < 200; ++i) text += "P" + std::to_string(i) + ";Name;a/b;0;1;1\n";
  std::string pf = Put(NewMedia("cd1"), "DW/Products.conf", text);
  strcpy(products_file, pf.c_str());
  int fds = OpenFdCount();
  EXPECT_EQ(1, Get_Details());
  EXPECT_EQ((Strings{"Tarquel", "R75", "HFA_10", "1", "linux", "0"}),
            (Strings{VENDOR, VERSION, SP, CDNUM, OS, std::to_string(run_get_details)}));
  // The same CD again: result 30, nothing after the CDNUM line is read.
  run_get_details = 1;
  EXPECT_EQ((Ints{30, 1}), (Ints{Get_Details(), run_get_details}));
  Strings first = {"Get_Details:: Enter", "Get_Details:: VENDOR= Tarquel", "Get_Details:: VERSION= R75", "Get_Details:: SP= HFA_10",
                   "Get_Details:: CDNUM= 1"}, want = first;
  want.insert(want.end(), {"Get_Details:: OS= linux", "Get_Details:: Leave"});
  want.insert(want.end(), first.begin(), first.end());
  EXPECT_EQ(want, TraceRecords(sysroot_, {"Get_Details::"}));
  // The product list: adjacent separators count as one, numbers skip blanks
  // and stop at junk, fields are cut at 255 characters, at most 150 entries
  // are kept, also over two loads (the long and the NUL lines hold none).
  ASSERT_EQ((Ints{1, 1, 150}), (Ints{GetProductsFromFile(), GetProductsFromFile(), num_of_products_in_file}));
  Strings got;
  for (int i : {0, 1, 2, 3, 149}) {
    const ProductEntry &e = ProdList[i];
    got.push_back(std::string(e.id).substr(0, 5) + ";" + std::to_string(strlen(e.id)) + ";" + std::to_string(strlen(e.name)) + ";" +
                  e.dir + ";" + e.file_name + ";" + std::to_string(e.module * 100 + e.cd_number * 10 + e.distributable));
  }
  EXPECT_EQ((Strings{"FW1;3;10;linux/fw;image.tgz;31", "MOD;3;6;linux/mod;NONE;120", "ODD;3;3;a/b;NONE;70",
                     "IIIII;255;120;d1/d2;NONE;111", "P145;4;4;a/b;NONE;11"}),
            got);
  EXPECT_EQ(Strings(2, "there are total 150 products in this file"), TraceRecords(sysroot_, {"there are"}));
  // A field of the first matching line without "#".
  char out[1024] = "";
  std::string fields;
  for (int i : {0, 1, 4}) fields += std::to_string(ParseProductsFile(pf.c_str(), "FW1", i, out)) + out + ";";
  EXPECT_EQ("1FW1;1Fire%swall;13;", fields);
  EXPECT_EQ("00000", std::to_string(ParseProductsFile(pf.c_str(), "NOPE", 4, out)) + std::to_string(ParseProductsFile(pf.c_str(), "FW1", 9, out)) +
                         std::to_string(ParseProductsFile("/none", "FW1", 4, out)) + std::to_string(ParseProductsFile(pf.c_str(), nullptr, 4, out)) +
                         std::to_string(ParseProductsFile(pf.c_str(), "FW1", -1, out)));
  EXPECT_STREQ("3", out);
  // A missing file.
  strcpy(products_file, (pf + ".none").c_str());
  ClearTraceLog(sysroot_);
  EXPECT_EQ((Ints{0, 0}), (Ints{Get_Details(), GetProductsFromFile()}));
  std::string not_opened = " The file 'Products.conf' was not opened\" " + pf + ".none \"";
  EXPECT_EQ((Strings{"Get_Details:: Enter", "CDINFO_New_File_Search:" + not_opened, "Get_Details:: Leave", "Enter GetProductsFromFile",
                     "GetProductsFromFile:" + not_opened, "GetProductsFromFile:: Leave With Error"}),
            TraceRecords(sysroot_));
  EXPECT_EQ(fds, OpenFdCount());
}

// Skipped: comments (after blanks too), lines whose first word has one
// character, lines with a header key, empty lines; without tagged lines also
// those tagged "tgz" or "tq" in field 8 (not "tgzx", not "tgz" with the newline).
const char kContents[] =
    "VENDOR=Tarquel\nVERSION=R75\n  # V;commented;R75;SP1;linux;/x/y\nTarquel;Firewall;R75;SP1;linux;/linux/fw;a;b;\n"
    "x Tarquel;One;R75;SP1;linux;/a\nTarquel;Key;R75;SP1;linux;/a;OS=linux\n\nTarquel;Tagged;R75;SP1;linux;/linux/tg;a;b;tgz;\n"
    "Tarquel;Reporter;R75;SP1;linux;/linux/rep;a;b;tgzx;\nTarquel;Gateway;R75;SP1;ipso;/ipso/gw;a;b;tq;more\n"
    "Tarquel;Console;R75;SP1;linux;/linux/con;a;b;tgz\n";

TEST_F(Media, SingleMediumSearchAndVerify) {
  std::string root = NewMedia("cd");
  Put(root, "DW/dw.txt", kContents);
  int fds = OpenFdCount();
  EXPECT_EQ(0, CDINFO_Verify(root.c_str(), "Firewall", "SP1", "linux"));  // no medium searched yet
  EXPECT_EQ((Strings{"Tarquel;Firewall;R75;SP1;linux", "Tarquel;Reporter;R75;SP1;linux", "Tarquel;Console;R75;SP1;linux"}),
            ListAll(CDINFO_Search, root));
  EXPECT_EQ(nullptr, CDINFO_Search(root.c_str(), 0));  // stays at the end
  EXPECT_EQ("5 0 " + root + "/DW/dw.txt", std::to_string(path_index) + " " + std::to_string(found_products_file) + " " + DW_Curent_File);
  EXPECT_EQ((Strings{"Tarquel;Firewall;R75;SP1;linux", "Tarquel;Tagged;R75;SP1;linux", "Tarquel;Reporter;R75;SP1;linux",
                     "Tarquel;Gateway;R75;SP1;ipso", "Tarquel;Console;R75;SP1;linux"}),
            ListAll(CDINFO_SearchAll, root));
  EXPECT_EQ(1, IgnoreLine(nullptr, 0));
  // One shared position: 1 of the tagged-inclusive listing, then 2 without.
  free(CDINFO_Search(root.c_str(), 1));
  EXPECT_EQ((Strings{"Tarquel;Tagged;R75;SP1;linux", "Tarquel;Console;R75;SP1;linux"}),
            (Strings{Str(CDINFO_SearchAll(root.c_str(), 0)), Take(CDINFO_Search(root.c_str(), 0))}));
  // The product is the name between separators, in the searched file.
  EXPECT_STREQ("Tarquel;Firewall;R75;SP1;linux;/linux/fw;a;b;\n", GetLine(root.c_str(), "Firewall", "SP9", "x"));
  for (const char *product : {"Firewall", "Tarquel", "Fire", static_cast<const char *>(nullptr)})
    EXPECT_EQ(product && strcmp(product, "Firewall") == 0, CDINFO_Verify(root.c_str(), product, "SP1", "linux"));
  EXPECT_EQ(nullptr, GetLine(root.c_str(), std::string(2000, 'n').c_str(), "SP1", "linux"));
  Put(root, "DW/dw.txt", "VENDOR=T\nTarquel;Firewall;R75;SP1;linux;/linux/fw\n");  // no version line
  EXPECT_EQ(0, CDINFO_Verify(root.c_str(), "Firewall", "SP1", "linux"));
  Strings verify;
  for (const char *v : {"FALSE", "TRUE", "FALSE", "FALSE", "FALSE", "FALSE"})
    verify.insert(verify.end(), {"Enter: CDINFO_Verify", std::string("CDINFO_Verify: verify=") + v, "Exit: CDINFO_Verify"});
  EXPECT_EQ(verify, TraceRecords(sysroot_, {"Enter: CDINFO_Verify", "CDINFO_Verify", "Exit: CDINFO_Verify"}));
  EXPECT_EQ((Strings{"GetLine: vendor or version not found"}), TraceRecords(sysroot_, {"GetLine: vendor or"}));
  EXPECT_EQ(fds, OpenFdCount());
}

TEST_F(Media, UnreadableMediaGiveNull) {
  std::string root = NewMedia("empty");
  EXPECT_EQ((Strings{"<null>", "<null>"}), (Strings{Str(CDINFO_SearchAll(nullptr, 1)), Take(CDINFO_Search(std::string(600, 'r').c_str(), 1))}));
  char *slot = nullptr;
  EXPECT_EQ((Strings{"8", "<null>"}), (Strings{std::to_string(Search_Internal(root.c_str(), 1, 0, &slot)), Str(slot)}));
  // An index that is a directory: read as empty, nothing to deliver.
  WriteFile(root + "/DW/Products.conf/x", "");
  EXPECT_EQ(0, Search_Internal(root.c_str(), 1, 0, &slot));
  EXPECT_EQ((Strings{"Search: The file 'dw_file' was not opened \" " + root + "/DW/dw.txt \"",
                     "CDINFO_SearchAll:: returned from GetProductsFromFile 1, continue",
                     "CDINFO_SearchAll:: returned from GetProductsFromFile 0, aborting"}),
            TraceRecords(sysroot_, {"Search: The file", "CDINFO_SearchAll"}));
}

TEST_F(Media, VendorVersionAndServicePack) {
  const char *rows[][2] = {{"VENDOR=Tarquel Ltd\nVERSION=VX\nSP=FP4\n", "Tarquel Ltd|VX_AI|FP4"}, {"VENDOR=T\nVERSION=VX\nSP=FP3\n", "T|VX|FP3"},
                           {"VENDOR=T\nVERSION=VX2\nSP=HFA 10\n", "T|VX2|HFA 10"}, {"VENDOR=T\nV;P;1;xSP=ab=cd;linux\n", "T|-|ab"},
                           {"VENDOR=\n", "|-|-"},  // "-": a missing key leaves its pointer
                           {"VENDOR=Old\nVERSION=VX\nVENDOR=New\nSP=FP4\n", "New|VX_AI|FP4"}};
  std::string root = NewMedia("cd");
  int fds = OpenFdCount();
  for (auto &r : rows) {
    ClearTraceLog(sysroot_);
    Put(root, "DW/dw.txt", r[0]);
    char untouched[] = "-";
    char *vendor = nullptr, *version = untouched, *sp = untouched;
    EXPECT_EQ(1, CDINFO_GetCdAttrib(root.c_str(), &vendor, &version)) << r[0];
    EXPECT_EQ(std::string(r[1]).back() != '-', CDINFO_GetCdSP(root.c_str(), &sp)) << r[0];
    EXPECT_EQ(r[1], Str(vendor) + "|" + version + "|" + sp) << r[0];
    for (char *p : {vendor, version, sp})
      if (p != untouched) free(p);
  }
  // The last row: every header line as it is read, then the answer.
  const std::string attrib = "CDINFO_GetCdAttrib: ", sp = "CDINFO_GetCdSP: ";
  EXPECT_EQ((Strings{"Enter: CDINFO_GetCdAttrib", attrib + "cd_path < " + root + " >", attrib + "before while", attrib + "vendor < Old >",
                     attrib + "version < VX >", attrib + "vendor < New >", attrib + "sp < FP4 >", attrib + "vendor < New >",
                     attrib + "version < VX_AI >", "Exit: CDINFO_GetCdAttrib", "Enter: CDINFO_GetCdSP", sp + "cd_path < " + root + " >",
                     sp + "before while", sp + "vendor < FP4 >"}),
            TraceRecords(sysroot_));
  ClearTraceLog(sysroot_);
  char *a = nullptr, *b = nullptr;
  EXPECT_EQ("00", std::to_string(CDINFO_GetCdAttrib((root + "/none").c_str(), &a, &b)) +
                      std::to_string(CDINFO_GetCdAttrib(root.c_str(), nullptr, nullptr)));
  // No medium, no path, no place for the answer: nothing is read.
  EXPECT_EQ(0, CDINFO_GetCdSP((root + "/none").c_str(), &a) + CDINFO_GetCdSP(nullptr, &a) + CDINFO_GetCdSP(root.c_str(), nullptr));
  const std::string not_opened = sp + "The file 'dw_file' was not opened \" ";
  EXPECT_EQ((Strings{sp + "cd_path < " + root + "/none >", not_opened + root + "/none/DW/dw.txt \"", sp + "cd_path < (null) >",
                     not_opened + " \"", sp + "cd_path < " + root + " >", not_opened + root + "/DW/dw.txt \""}),
            TraceRecords(sysroot_, {"CDINFO_GetCdSP"}));
  EXPECT_EQ(fds, OpenFdCount());
}

}  // namespace
}  // namespace tqtest
