// Shared install-media state and the line readers of the description files
// "DW/Products.conf" (product index) and "DW/dw.txt" (contents list).
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cdinfo/cdinfo_internal.h"

extern "C" {
TQAPI char VENDOR[CDINFO_TEXT_SIZE] = "";
TQAPI char VERSION[CDINFO_TEXT_SIZE] = "";
TQAPI char SP[CDINFO_TEXT_SIZE] = "";
TQAPI char OS[CDINFO_TEXT_SIZE] = "";
TQAPI char CDNUM[CDINFO_TEXT_SIZE] = "";
TQAPI char products_file[CDINFO_TEXT_SIZE] = "";
TQAPI char DW_Curent_File[CDINFO_TEXT_SIZE] = "";
TQAPI char dvd_file[CDINFO_TEXT_SIZE] = "";
TQAPI ProductEntry ProdList[CDINFO_MAX_PRODUCTS] = {};
TQAPI int num_of_products_in_file = 0;
TQAPI int this_is_dvd = 0;
TQAPI int found_products_file = 0;
TQAPI int run_get_products = 1;
TQAPI int run_get_details = 1;
TQAPI int path_index = 2;
}

static_assert(sizeof(ProductEntry) == 1036, "ProductEntry layout is fixed");
static_assert(sizeof(ProdList) == 150 * 1036, "ProdList holds 150 entries");

namespace tq {
namespace cdinfo {

int SplitFields(char *s, const char *delims, char **out, int max) {
  if (s == nullptr) return 0;
  char *save = nullptr;
  int n = 0;
  for (char *tok = strtok_r(s, delims, &save); tok != nullptr && n < max;
       tok = strtok_r(nullptr, delims, &save))
    out[n++] = tok;
  return n;
}

bool CopyText(char *dst, size_t size, const char *src) {
  if (size == 0) return false;
  if (src == nullptr) src = "";
  size_t n = strlen(src);
  bool fits = n < size;
  if (!fits) n = size - 1;
  memcpy(dst, src, n);
  dst[n] = '\0';
  return fits;
}

bool FormatInto(char *dst, size_t size, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = vsnprintf(dst, size, format, ap);
  va_end(ap);
  if (n < 0 || static_cast<size_t>(n) >= size) {
    if (size > 0) dst[0] = '\0';
    return false;
  }
  return true;
}

FILE *OpenMedia(const char *path) {
  if (path == nullptr || *path == '\0') return nullptr;
  return fopen(path, "re");
}

void CloseMedia(FILE *f) {
  if (f != nullptr && fclose(f) != 0) printf("The file 'data' was not closed\n");
}

void HeaderValue(const char *line, const char *delims, char *out, size_t size) {
  char copy[kPathSize];
  CopyText(copy, sizeof copy, line);
  char *pieces[2] = {nullptr, nullptr};
  int n = SplitFields(copy, delims, pieces, 2);
  CopyText(out, size, n == 2 ? pieces[1] : "");
}

namespace {

const char *const kHeaderKeys[] = {"VENDOR=", "VERSION=", "SP=", "CDNUM=", "OS="};

bool HasHeaderKey(const char *line) {
  for (const char *key : kHeaderKeys)
    if (strstr(line, key) != nullptr) return true;
  return false;
}

// Decimal field: blanks skipped, stops at the first non-digit, no digits 0;
// clamped to the 32-bit range.
int32_t DecimalField(const char *s) {
  if (s == nullptr) return 0;
  errno = 0;
  long long v = strtoll(s, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The product-index value of a header line: the first word of the text
// between the first "=" and the next "=".
void IndexHeaderValue(const char *line, char *out, size_t size) {
  char value[kPathSize];
  HeaderValue(line, "=", value, sizeof value);
  char *word[1] = {nullptr};
  SplitFields(value, " \t\n", word, 1);
  CopyText(out, size, word[0] ? word[0] : "");
}

char *HeaderGlobal(int key) {
  switch (key) {
    case 0: return VENDOR;
    case 1: return VERSION;
    case 2: return SP;
    case 3: return CDNUM;
    default: return OS;
  }
}

}  // namespace

char *GetValueFromLine(const char *line, int index) {
  static char copy[kPathSize];
  Trace("save_line=", line);
  CopyText(copy, sizeof copy, line);
  char *save = nullptr;
  char *tok = strtok_r(copy, ";", &save);
  TraceF("token number 0 in line, is: %s", Nz(tok));
  for (int n = 1; n <= index && tok != nullptr; ++n) {
    tok = strtok_r(nullptr, ";", &save);
    TraceF("token number %d in line, is: %s", n, Nz(tok));
  }
  if (index < 0) tok = nullptr;
  TraceF("returing token is : %s", Nz(tok));
  return tok;
}

int IsItProductLine(const char *line) {
  Trace("IsItProductLine: Enter");
  if (line == nullptr || strchr(line, '#') != nullptr) {
    Trace("IsItProductLine: Not a product line");
    return 0;
  }
  if (strchr(line, ';') != nullptr) {
    Trace("IsItProductLine: This is a product line");
    return 1;
  }
  Trace("IsItProductLine: Not a product line");
  return 0;
}

char *GetTGZtag(char *line) {
  Both("Enter:: GetTGZtag");
  char *fields[9];
  int n = SplitFields(line, ";", fields, 9);
  if (n == 9) {
    char *copy = strdup(fields[8]);
    if (copy != nullptr) {
      Trace("Exit:: GetTGZtag: result= ", copy);
      return copy;
    }
  }
  Both("Exit:: GetTGZtag with NULL");
  return nullptr;
}

int IgnoreLine(char *line, int keep_tagged) {
  Both("Enter:: IgnoreLine");
  if (line == nullptr || HasHeaderKey(line)) return 1;
  char copy[kPathSize];
  CopyText(copy, sizeof copy, line);
  char *save = nullptr;
  char *word = strtok_r(line, " \t\n", &save);
  Trace("IgnoreLine: token=", word ? word : "");
  if (word == nullptr || strlen(word) <= 1) {
    Trace("IgnoreLine: 4 true");
    return 1;
  }
  if (word[0] == '#') {
    Trace("IgnoreLine: 5 true");
    return 1;
  }
  Trace("IgnoreLine: 6 false");
  char *tag = GetTGZtag(copy);
  bool skip = keep_tagged == 0 && tag != nullptr &&
              (strcmp(tag, "tq") == 0 || strcmp(tag, "tgz") == 0);
  free(tag);
  return skip ? 1 : 0;
}

char *PrintLine(char *line) {
  Both("Enter:: PrintLine");
  Trace("PrintLine: line=", line);
  char *out = static_cast<char *>(calloc(256, 1));
  if (out == nullptr) return nullptr;
  char *fields[5];
  int n = SplitFields(line, ";", fields, 5);
  size_t len = 0;
  for (int i = 0; i < n; ++i) {
    int w = snprintf(out + len, 256 - len, i < 4 ? "%s;" : "%s", fields[i]);
    if (w < 0 || static_cast<size_t>(w) >= 256 - len) {  // cut at 255 characters
      len = 255;
      break;
    }
    len += static_cast<size_t>(w);
  }
  Trace("PrintLine: package=", out);
  Trace("Exit:: PrintLine");
  Facility("Exit:: PrintLine");
  return out;
}

int Get_Details() {
  Trace("Get_Details:: Enter");
  FILE *f = OpenMedia(products_file);
  if (f == nullptr) {
    Trace("CDINFO_New_File_Search: The file 'Products.conf' was not opened\"", products_file,
          "\"");
    Trace("Get_Details:: Leave");
    return 0;
  }
  char line[kLineSize];
  int taken = 0;
  while (taken < 5 && fgets(line, sizeof line, f) != nullptr) {
    Trace("Get_Details: line=", line);
    for (int k = 0; k < 5; ++k) {
      if (strstr(line, kHeaderKeys[k]) == nullptr) continue;
      char value[CDINFO_TEXT_SIZE];
      IndexHeaderValue(line, value, sizeof value);
      if (k == 3 && strcmp(value, CDNUM) == 0) {
        // The same CD as the one read last: nothing more is read.
        Trace("Get_Details:: CDNUM=", value);
        CloseMedia(f);
        return 30;
      }
      CopyText(HeaderGlobal(k), CDINFO_TEXT_SIZE, value);
      char label[32];
      snprintf(label, sizeof label, "Get_Details:: %s", kHeaderKeys[k]);
      Trace(label, value);
      ++taken;
      break;
    }
  }
  CloseMedia(f);
  Trace("Get_Details:: Leave");
  run_get_details = 0;
  return 1;
}

int SperateFileAndDir(int index) {
  if (index < 0 || index >= CDINFO_MAX_PRODUCTS) return 1;
  ProductEntry &e = ProdList[index];
  char full[kPathSize];
  CopyText(full, sizeof full, e.dir);
  TraceF("SperateFileAndDir:: the full directory is %s", full);
  char *pieces[3] = {nullptr, nullptr, nullptr};
  int n = SplitFields(full, "/", pieces, 3);
  char joined[kPathSize];
  if (n >= 2)
    snprintf(joined, sizeof joined, "%s/%s", pieces[0], pieces[1]);
  else
    CopyText(joined, sizeof joined, n == 1 ? pieces[0] : "");
  CopyText(e.dir, sizeof e.dir, joined);
  CopyText(e.file_name, sizeof e.file_name, n == 3 ? pieces[2] : "NONE");
  TraceF("SperateFileAndDir:: the directory is %s and the file name is %s", e.dir, e.file_name);
  return 1;
}

int GetProductsFromFile() {
  Trace("Enter GetProductsFromFile");
  FILE *f = OpenMedia(products_file);
  if (f == nullptr) {
    Trace("GetProductsFromFile: The file 'Products.conf' was not opened\"", products_file, "\"");
    Trace("GetProductsFromFile:: Leave With Error");
    return 0;
  }
  if (num_of_products_in_file < 0 || num_of_products_in_file > CDINFO_MAX_PRODUCTS)
    num_of_products_in_file = 0;
  char line[kLineSize];
  int slot = 0;  // every call fills the list from its first entry
  while (fgets(line, sizeof line, f) != nullptr) {
    Trace("GetProductsFromFile:: line= ", line);
    if (!IsItProductLine(line)) continue;
    if (slot >= CDINFO_MAX_PRODUCTS || num_of_products_in_file >= CDINFO_MAX_PRODUCTS)
      continue;  // lines beyond the 150th are neither stored nor counted
    char copy[kLineSize];
    CopyText(copy, sizeof copy, line);
    char *fields[6] = {};
    SplitFields(copy, ";", fields, 6);
    ProductEntry &e = ProdList[slot];
    CopyText(e.id, sizeof e.id, fields[0]);
    CopyText(e.name, sizeof e.name, fields[1]);
    CopyText(e.dir, sizeof e.dir, fields[2]);
    SperateFileAndDir(slot);
    e.module = DecimalField(fields[3]);
    e.cd_number = DecimalField(fields[4]);
    e.distributable = DecimalField(fields[5]);
    char entry[1536];
    snprintf(entry, sizeof entry, "%s;%s;%s;%d;%d;%d", e.id, e.name, e.dir, e.module,
             e.cd_number, e.distributable);
    Trace("GetProductsFromFile:: Found the prodct ", entry);
    ++slot;
    ++num_of_products_in_file;
  }
  TraceF("there are total %d products in this file", num_of_products_in_file);
  Trace("GetProductsFromFile:: Leave With Success");
  CloseMedia(f);
  run_get_products = 0;
  return 1;
}

int ParseProductsFile(const char *path, const char *key, int index, char *out) {
  Trace("Enter ParseProductsFile");
  FILE *f = OpenMedia(path);
  if (f == nullptr) {
    TraceF(" Failed to open configuration file for read - %s", Nz(path));
    return 0;
  }
  if (key == nullptr || out == nullptr || index < 0) {
    CloseMedia(f);
    return 0;
  }
  char line[kPathSize];
  for (;;) {
    if (fgets(line, sizeof line, f) == nullptr) {
      if (ferror(f)) {
        Trace("  Error in read from file");
      } else {
        Trace("  End of file");
        Trace("Exit CDINFO_ParseProductsFile");
      }
      CloseMedia(f);
      return 0;
    }
    if (strstr(line, key) == nullptr || strchr(line, '#') != nullptr) continue;
    Trace("before for");
    char *save = nullptr;
    char *tok = strtok_r(line, ";", &save);
    for (int n = 1; n <= index && tok != nullptr; ++n) {
      tok = strtok_r(nullptr, ";", &save);
      TraceF("token number %d in line, is: %s", n, Nz(tok));
    }
    Trace("Finish for");
    CloseMedia(f);
    if (tok == nullptr) return 0;  // the line has no such field
    CopyText(out, kPathSize, tok);
    Trace("AFTER strcpy");
    return 1;
  }
}

int IsProductModule(int index) {
  if (index < 0 || index >= CDINFO_MAX_PRODUCTS) return 0;
  return ProdList[index].module == 1 ? 1 : 0;
}

}  // namespace cdinfo
}  // namespace tq


extern "C" TQAPI char *GetValueFromLine(const char *line, int index) {
  return tq::cdinfo::GetValueFromLine(line, index);
}
extern "C" TQAPI int IsItProductLine(const char *line) { return tq::cdinfo::IsItProductLine(line); }
extern "C" TQAPI int IgnoreLine(char *line, int keep_tagged) {
  return tq::cdinfo::IgnoreLine(line, keep_tagged);
}
extern "C" TQAPI char *PrintLine(char *line) { return tq::cdinfo::PrintLine(line); }
extern "C" TQAPI int Get_Details(void) { return tq::cdinfo::Get_Details(); }
extern "C" TQAPI int GetProductsFromFile(void) { return tq::cdinfo::GetProductsFromFile(); }
extern "C" TQAPI int ParseProductsFile(const char *path, const char *key, int index, char *out) {
  return tq::cdinfo::ParseProductsFile(path, key, index, out);
}
extern "C" TQAPI char *GetTGZtag(char *line) { return tq::cdinfo::GetTGZtag(line); }
extern "C" TQAPI int SperateFileAndDir(int index) { return tq::cdinfo::SperateFileAndDir(index); }
extern "C" TQAPI int IsProductModule(int index) { return tq::cdinfo::IsProductModule(index); }
