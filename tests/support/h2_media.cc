#include "h2_media.h"

#include <stdlib.h>
#include <string.h>

namespace tqtest {

void MediaTest::SetUp() {
  sysroot_ = MakeTempDir("cdroot");
  scratch_ = MakeTempDir("cdmedia");
  facility_log_ = scratch_ + "/facility.log";
  setenv("TQ_SYSROOT", sysroot_.c_str(), 1);
  setenv("TQ_TDERROR_LOG", facility_log_.c_str(), 1);
  // The process-wide install-media state back to its initial values.
  VENDOR[0] = VERSION[0] = SP[0] = OS[0] = CDNUM[0] = '\0';
  products_file[0] = DW_Curent_File[0] = dvd_file[0] = '\0';
  memset(ProdList, 0, sizeof ProdList);
  num_of_products_in_file = this_is_dvd = found_products_file = 0;
  run_get_products = run_get_details = 1;
  path_index = 2;
}

void MediaTest::TearDown() {
  unsetenv("TQ_TDERROR_LOG");
  RemoveTree(sysroot_);
  RemoveTree(scratch_);
}

std::string MediaTest::Put(const std::string &root, const std::string &rel,
                           const std::string &text) {
  WriteFile(root + "/" + rel, text);
  return root + "/" + rel;
}

std::string MediaTest::NewMedia(const std::string &name) {
  WriteFile(scratch_ + "/" + name + "/.keep", "");
  return scratch_ + "/" + name;
}

Strings ListAll(char *(*fn)(const char *, int), const std::string &root, int limit) {
  Strings out;
  for (int i = 0; i < limit; ++i) {
    char *r = fn(root.c_str(), i == 0);
    if (r == nullptr) break;
    out.push_back(r);
    if (fn == CDINFO_Search) free(r);
  }
  return out;
}

}  // namespace tqtest
