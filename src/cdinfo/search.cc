// The product search across media: a set of CDs is listed from its product
// index (ProdList), a single medium from its contents list (dw.txt). The
// two positions are shared by CDINFO_Search and CDINFO_SearchAll.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "cdinfo/cdinfo_internal.h"

namespace tq {
namespace cdinfo {
namespace {

int g_index_position = 1;  // 1-based next ProdList entry
int g_line_position = 0;   // qualifying contents-list lines delivered
char *g_search_all_slot = nullptr;

// Stores the three description-file paths of cd_path; false when the media
// root is missing or too long for the 400-byte globals (a cut path would
// name a different file).
bool FormMediaPaths(const char *cd_path, bool with_dvd) {
  if (cd_path == nullptr) return false;
  char pf[CDINFO_TEXT_SIZE], cf[CDINFO_TEXT_SIZE], df[CDINFO_TEXT_SIZE];
  if (!FormatInto(pf, sizeof pf, "%s/DW/Products.conf", cd_path) ||
      !FormatInto(cf, sizeof cf, "%s/DW/dw.txt", cd_path) ||
      !FormatInto(df, sizeof df, "%s/DW/tq_dvd.txt", cd_path)) {
    Trace("CDINFO_Search:: media path refused, too long: ", cd_path);
    return false;
  }
  CopyText(products_file, sizeof products_file, pf);
  // The forward-slash form is kept so that CDINFO_Verify after a
  // single-medium search finds the contents list on Linux.
  CopyText(DW_Curent_File, sizeof DW_Curent_File, cf);
  if (with_dvd) CopyText(dvd_file, sizeof dvd_file, df);
  return true;
}

void Replace(char **slot, char *value) {
  if (slot == nullptr) {
    free(value);
    return;
  }
  free(*slot);
  *slot = value;
}

}  // namespace

int IsMultipleCD() { return tqFileExist(products_file) ? 1 : 0; }

int IsDVD(const char *cd_path) {
  if (cd_path == nullptr ||
      !FormatInto(dvd_file, sizeof dvd_file, "%s/DW/tq_dvd.txt", cd_path)) {
    this_is_dvd = 0;
    return 0;
  }
  this_is_dvd = tqFileExist(dvd_file) ? 1 : 0;
  return this_is_dvd;
}

int New_File_Search(int restart, char **result) {
  if (restart) g_index_position = 1;
  Both("Enter:: CDINFO_New_File_Search");
  char buf[64];
  snprintf(buf, sizeof buf, "CDINFO_New_File_Search: counter <%d>", g_index_position);
  Trace("Buffer: ", buf);
  Trace(restart ? "CDINFO_New_File_Search: restart_flag=TRUE"
                : "CDINFO_New_File_Search: restart_flag=FALSE");
  int count = num_of_products_in_file;
  if (count > CDINFO_MAX_PRODUCTS) count = CDINFO_MAX_PRODUCTS;
  if (g_index_position < 1 || g_index_position > count) return 0;
  const ProductEntry &e = ProdList[g_index_position - 1];
  ++g_index_position;
  if (e.distributable == 1) {
    std::string product = std::string(VENDOR) + ";" + e.name + ";" + VERSION + ";" + SP + ";" + OS;
    Trace(product.c_str());
    char *copy = strdup(product.c_str());
    if (copy == nullptr) return 0;
    Replace(result, copy);
    return 1;
  }
  TraceF("The Product %s is not for Driftwell", e.name);
  return 0;
}

int Search(const char *cd_path, int restart, int keep_tagged, char **result) {
  if (restart) g_line_position = 0;
  Both("Enter:: Search");
  char buf[64];
  snprintf(buf, sizeof buf, "Search: counter <%d>", g_line_position);
  Trace("Buffer: ", buf);
  char path[kPathSize];
  if (cd_path == nullptr || !FormatInto(path, sizeof path, "%s/DW/dw.txt", cd_path)) {
    Trace("Search: The file 'dw_file' was not opened \"", "", "\"");
    return 8;
  }
  Trace("Search: cd_path <", cd_path, ">");
  Trace(restart ? "Search: restart_flag=TRUE" : "Search: restart_flag=FALSE");
  FILE *f = OpenMedia(path);
  if (f == nullptr) {
    Trace("Search: The file 'dw_file' was not opened \"", path, "\"");
    return 8;
  }
  char *found = nullptr;
  int count = 0;
  char line[kLineSize], copy[kLineSize];
  while (found == nullptr && fgets(line, sizeof line, f) != nullptr) {
    CopyText(copy, sizeof copy, line);
    if (IgnoreLine(line, keep_tagged) == 1) continue;
    char num[16];
    snprintf(num, sizeof num, "%d", count);
    Trace("Search: +++internal_counter1= <", num, ">");
    if (count < g_line_position) {
      Trace("Search: +++internal_counter2= <", num, ">");
      ++count;
      continue;
    }
    found = PrintLine(copy);
    Trace("Search: product=", found);
  }
  CloseMedia(f);
  ++g_line_position;
  Both("Exit:: Search");
  Replace(result, found);
  return 1;
}

int Search_Internal(const char *cd_path, int restart, int keep_tagged, char **result) {
  Trace("CDINFO_Search:: Enter");
  if (!FormMediaPaths(cd_path, true)) return 0;
  bool have_index = tqFileExist(products_file) != 0;
  if (have_index) {
    Trace("Search_Internal: Found the file <", products_file, ">");
    found_products_file = 1;
  } else {
    Trace("Search_Internal: couldn't find the file  <", products_file, ">");
    found_products_file = 0;
  }
  path_index = have_index ? 2 : 5;

  int details = 1;  // no call counts as "go on with the product list"
  if (have_index) {
    if (run_get_details != 0) details = Get_Details();
  } else {
    run_get_details = 1;
    details = Get_Details();
  }
  if (details != 0) {
    while (run_get_products == 1) {
      if (GetProductsFromFile() == 0) {
        TraceF("CDINFO_SearchAll:: returned from GetProductsFromFile %d, aborting", 0);
        return 0;
      }
      TraceF("CDINFO_SearchAll:: returned from GetProductsFromFile %d, continue", 1);
    }
    if (New_File_Search(restart, result) == 1) return 1;
    TraceF("CDINFO_SearchAll:: returned from GetProductsFromFile %d, aborting", 0);
    return 0;
  }
  FormMediaPaths(cd_path, false);
  return Search(cd_path, restart, keep_tagged, result) == 8 ? 8 : 1;
}

char *SearchOwned(const char *cd_path, int restart) {
  char *slot = nullptr;
  int rc = Search_Internal(cd_path, restart, 0, &slot);
  if (rc == 1) return slot;
  free(slot);
  return nullptr;
}

char *SearchAll(const char *cd_path, int restart) {
  int rc = Search_Internal(cd_path, restart, 1, &g_search_all_slot);
  return rc == 1 ? g_search_all_slot : nullptr;
}

int Verify(const char *cd_path, const char *product, const char *sp, const char *os) {
  Both("Enter: CDINFO_Verify");
  int verified = ::GetLine(cd_path, product, sp, os) != nullptr ? 1 : 0;
  Trace(verified ? "CDINFO_Verify: verify=TRUE" : "CDINFO_Verify: verify=FALSE");
  Both("Exit: CDINFO_Verify");
  return verified;
}

}  // namespace cdinfo
}  // namespace tq

extern "C" TQAPI char *CDINFO_Search(const char *cd_path, int restart) {
  return tq::cdinfo::SearchOwned(cd_path, restart);
}
extern "C" TQAPI char *CDINFO_SearchAll(const char *cd_path, int restart) {
  return tq::cdinfo::SearchAll(cd_path, restart);
}
extern "C" TQAPI int CDINFO_Verify(const char *cd_path, const char *product, const char *sp,
                                   const char *os) {
  return tq::cdinfo::Verify(cd_path, product, sp, os);
}
extern "C" TQAPI int CDINFO_IsDVD(const char *cd_path) { return tq::cdinfo::IsDVD(cd_path); }
extern "C" TQAPI int IsMultipleCD(void) { return tq::cdinfo::IsMultipleCD(); }
extern "C" TQAPI int Search_Internal(const char *cd_path, int restart, int keep_tagged,
                                     char **result) {
  return tq::cdinfo::Search_Internal(cd_path, restart, keep_tagged, result);
}
extern "C" TQAPI int New_File_Search(int restart, char **result) {
  return tq::cdinfo::New_File_Search(restart, result);
}
extern "C" TQAPI int Search(const char *cd_path, int restart, int keep_tagged, char **result) {
  return tq::cdinfo::Search(cd_path, restart, keep_tagged, result);
}
