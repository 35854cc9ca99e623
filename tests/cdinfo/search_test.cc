// The product search: single media (contents list), sets of CDs (product
// index), the shared positions, verification and the DVD marker.
#include <string.h>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

using ProductSearch = MediaTest;

const char kContents[] =
    "VENDOR=Tarquel\n"
    "VERSION=R75\n"
    "# V;commented;R75;SP1;linux;/x/y\n"
    "Tarquel;Firewall;R75;SP1;linux;/linux/fw;a;b;\n"
    "Tarquel;Tagged;R75;SP1;linux;/linux/tg;a;b;tgz;\n"
    "Tarquel;Reporter;R75;SP1;linux;/linux/rep\n"
    "Tarquel;Gateway;R75;SP1;ipso;/ipso/gw;a;b;tq;more\n"
    "Tarquel;Console;R75;SP1;linux;/linux/con;a;b;new_brnx;\n";

TEST_F(ProductSearch, SingleMediumListsQualifyingLines) {
  std::string root = NewMedia("cd");
  Put(root, "DW/dw.txt", kContents);
  int fds = tqtest::OpenFdCount();
  std::vector<std::string> got = ListAll(CDINFO_Search, root);
  EXPECT_EQ((std::vector<std::string>{"Tarquel;Firewall;R75;SP1;linux",
                                      "Tarquel;Reporter;R75;SP1;linux",
                                      "Tarquel;Console;R75;SP1;linux"}),
            got);
  EXPECT_EQ(nullptr, CDINFO_Search(root.c_str(), 0));  // stays at the end
  EXPECT_EQ(5, path_index);
  EXPECT_EQ(0, found_products_file);
  EXPECT_EQ(root + "/DW/dw.txt", DW_Curent_File);

  std::vector<std::string> all = ListAll(CDINFO_SearchAll, root);
  EXPECT_EQ((std::vector<std::string>{"Tarquel;Firewall;R75;SP1;linux",
                                      "Tarquel;Tagged;R75;SP1;linux",
                                      "Tarquel;Reporter;R75;SP1;linux",
                                      "Tarquel;Gateway;R75;SP1;ipso",
                                      "Tarquel;Console;R75;SP1;linux"}),
            all);
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  EXPECT_NE(std::string::npos, FacilityText().find("CDINFO 4 0 Exit:: Search\n"));
}

TEST_F(ProductSearch, SearchAndSearchAllShareOnePosition) {
  std::string root = NewMedia("cd");
  Put(root, "DW/dw.txt", kContents);
  char *a = CDINFO_Search(root.c_str(), 1);
  ASSERT_NE(nullptr, a);
  EXPECT_STREQ("Tarquel;Firewall;R75;SP1;linux", a);
  free(a);
  // Position 1 of the tagged-inclusive listing.
  EXPECT_STREQ("Tarquel;Tagged;R75;SP1;linux", CDINFO_SearchAll(root.c_str(), 0));
  a = CDINFO_Search(root.c_str(), 0);  // position 2 without tagged lines
  EXPECT_STREQ("Tarquel;Console;R75;SP1;linux", a);
  free(a);
}

TEST_F(ProductSearch, SetOfCDsSkipsProductsNotForDistribution) {
  std::string root = NewMedia("cd1");
  Put(root, "DW/Products.conf",
      "VENDOR=Tarquel\nVERSION=R75\nSP=SP2\nCDNUM=1\nOS=linux\n"
      "A;ProdA;linux/a;0;1;1\n"
      "B;ProdB;linux/b;0;1;0\n"
      "C;ProdC;linux/c;0;2;1\n");
  int fds = tqtest::OpenFdCount();
  char *r = CDINFO_Search(root.c_str(), 1);
  ASSERT_NE(nullptr, r);
  EXPECT_STREQ("Tarquel;ProdA;R75;SP2;linux", r);
  free(r);
  EXPECT_EQ(nullptr, CDINFO_Search(root.c_str(), 0));
  r = CDINFO_Search(root.c_str(), 0);
  ASSERT_NE(nullptr, r);
  EXPECT_STREQ("Tarquel;ProdC;R75;SP2;linux", r);
  free(r);
  EXPECT_EQ(nullptr, CDINFO_Search(root.c_str(), 0));
  EXPECT_EQ(2, path_index);
  EXPECT_EQ(1, found_products_file);
  EXPECT_NE(std::string::npos, TraceText().find(" The Product ProdB is not for Driftwell \n"));
  // SearchAll restarts the same list; the index is loaded once.
  EXPECT_STREQ("Tarquel;ProdA;R75;SP2;linux", CDINFO_SearchAll(root.c_str(), 1));
  EXPECT_EQ(3, num_of_products_in_file);
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(ProductSearch, UnreadableMediaGiveNull) {
  std::string root = NewMedia("empty");
  EXPECT_EQ(nullptr, CDINFO_Search(root.c_str(), 1));
  EXPECT_EQ(nullptr, CDINFO_SearchAll(root.c_str(), 1));
  EXPECT_EQ(nullptr, CDINFO_Search(nullptr, 1));
  std::string longroot(600, 'r');
  EXPECT_EQ(nullptr, CDINFO_Search(longroot.c_str(), 1));
  char *slot = nullptr;
  EXPECT_EQ(8, Search_Internal(root.c_str(), 1, 0, &slot));
  EXPECT_EQ(nullptr, slot);
  EXPECT_NE(std::string::npos,
            TraceText().find(" Search: The file 'dw_file' was not opened \" " + root +
                             "/DW/dw.txt \" \n"));
  // An index that exists but cannot be read as a file.
  std::string bad = NewMedia("bad");
  tqtest::WriteFile(bad + "/DW/Products.conf/x", "");
  Put(bad, "DW/dw.txt", kContents);
  char *r = CDINFO_Search(bad.c_str(), 1);
  EXPECT_EQ(nullptr, r);
  EXPECT_NE(std::string::npos,
            TraceText().find(" CDINFO_SearchAll:: returned from GetProductsFromFile 0, aborting \n"));
}

TEST_F(ProductSearch, VerifyUsesTheLastSearchedMedium) {
  std::string root = NewMedia("cd");
  Put(root, "DW/dw.txt", kContents);
  EXPECT_EQ(0, CDINFO_Verify(root.c_str(), "Firewall", "SP1", "linux"));  // no search yet
  char *r = CDINFO_Search(root.c_str(), 1);
  free(r);
  EXPECT_EQ(1, CDINFO_Verify(root.c_str(), "Firewall", "SP1", "linux"));
  EXPECT_EQ(0, CDINFO_Verify(root.c_str(), "Tarquel", "SP1", "linux"));  // first field only
  EXPECT_EQ(0, CDINFO_Verify(root.c_str(), nullptr, nullptr, nullptr));
  EXPECT_NE(std::string::npos, FacilityText().find("CDINFO 4 0 Exit: CDINFO_Verify\n"));
}

TEST_F(ProductSearch, DvdMarker) {
  std::string root = NewMedia("dvd");
  EXPECT_EQ(0, CDINFO_IsDVD(root.c_str()));
  EXPECT_EQ(0, this_is_dvd);
  Put(root, "DW/tq_dvd.txt", "");
  EXPECT_EQ(1, CDINFO_IsDVD(root.c_str()));
  EXPECT_EQ(1, this_is_dvd);
  EXPECT_EQ(root + "/DW/tq_dvd.txt", dvd_file);
  EXPECT_EQ(0, CDINFO_IsDVD(nullptr));
  EXPECT_EQ(0, this_is_dvd);
  strcpy(products_file, (root + "/DW/Products.conf").c_str());
  EXPECT_EQ(0, IsMultipleCD());
  Put(root, "DW/Products.conf", "VENDOR=x\n");
  EXPECT_EQ(1, IsMultipleCD());
}

}  // namespace
}  // namespace cdtest
