// Media attribute queries (service pack, vendor and version of a medium)
// and the product-line lookup in the current description file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cdinfo/cdinfo_internal.h"

namespace tq {
namespace cdinfo {
namespace {

// A medium whose version is exactly "VX" and service pack exactly "FP4" is
// the "VX_AI" release.
bool IsAiRelease(const char *version, const char *sp) {
  return version != nullptr && sp != nullptr && strcmp(version, "VX") == 0 &&
         strcmp(sp, "FP4") == 0;
}

// Contents-list header value: up to the next "=" or newline, blanks kept.
void ListValue(const char *line, char *out, size_t size) { HeaderValue(line, "=\n", out, size); }

void ReplaceCopy(char **slot, const char *value) {
  char *copy = strdup(value);
  if (copy == nullptr) return;
  free(*slot);
  *slot = copy;
}

}  // namespace

int GetCdSP(const char *cd_path, char **sp) {
  Both("Enter: CDINFO_GetCdSP");
  char path[kPathSize];
  bool formed = cd_path != nullptr && FormatInto(path, sizeof path, "%s/DW/dw.txt", cd_path);
  Trace("CDINFO_GetCdSP: cd_path <", cd_path, ">");
  FILE *f = formed && sp != nullptr ? OpenMedia(path) : nullptr;
  if (f == nullptr) {
    Trace("CDINFO_GetCdSP: The file 'dw_file' was not opened \"", formed ? path : "", "\"");
    return 0;
  }
  Trace("CDINFO_GetCdSP: before while");
  char line[kLineSize];
  while (fgets(line, sizeof line, f) != nullptr) {
    if (strstr(line, "SP=") == nullptr) continue;
    char value[kLineSize];
    ListValue(line, value, sizeof value);
    char *copy = strdup(value);
    if (copy == nullptr) break;
    *sp = copy;
    Trace("CDINFO_GetCdSP: vendor <", value, ">");
    CloseMedia(f);
    return 1;
  }
  Both("Exit:: CDINFO_GetCdSP");
  CloseMedia(f);
  return 0;
}

int GetCdAttrib(const char *cd_path, char **vendor, char **version) {
  char path[kPathSize];
  bool formed = cd_path != nullptr && FormatInto(path, sizeof path, "%s/DW/dw.txt", cd_path);
  Both("Enter: CDINFO_GetCdAttrib");
  Trace("CDINFO_GetCdAttrib: cd_path <", cd_path, ">");
  FILE *f = formed && vendor != nullptr && version != nullptr ? OpenMedia(path) : nullptr;
  if (f == nullptr) {
    Trace("CDINFO_GetCdAttrib: The file 'dw_file' was not opened \"", formed ? path : "", "\"");
    return 0;
  }
  Trace("CDINFO_GetCdAttrib: before while");
  char *found_vendor = nullptr, *found_version = nullptr, *found_sp = nullptr;
  char line[kLineSize], value[kLineSize];
  while (fgets(line, sizeof line, f) != nullptr) {
    if (strstr(line, "VENDOR=") != nullptr) {
      ListValue(line, value, sizeof value);
      ReplaceCopy(&found_vendor, value);
      Trace("CDINFO_GetCdAttrib: vendor <", value, ">");
    } else if (strstr(line, "VERSION=") != nullptr) {
      ListValue(line, value, sizeof value);
      ReplaceCopy(&found_version, value);
      Trace("CDINFO_GetCdAttrib: version <", value, ">");
    } else if (strstr(line, "SP=") != nullptr) {
      ListValue(line, value, sizeof value);
      ReplaceCopy(&found_sp, value);
      Trace("CDINFO_GetCdAttrib: sp <", value, ">");
    }
  }
  if (IsAiRelease(found_version, found_sp)) ReplaceCopy(&found_version, "VX_AI");
  Trace("CDINFO_GetCdAttrib: vendor <", found_vendor, ">");
  Trace("CDINFO_GetCdAttrib: version <", found_version, ">");
  Both("Exit: CDINFO_GetCdAttrib");
  CloseMedia(f);
  free(found_sp);
  if (found_vendor != nullptr) *vendor = found_vendor;
  if (found_version != nullptr) *version = found_version;
  return 1;
}

char *GetLine(const char *cd_path, const char *product, const char *sp, const char *os) {
  static char found[kLineSize];
  found[0] = '\0';
  Facility("Enter: GetLine");
  Trace("Enter::GetLine");
  Trace("GetLine: cd_path <", cd_path, ">");
  const char *file = (::IsMultipleCD() || (this_is_dvd == 1 && found_products_file == 1))
                         ? products_file
                         : DW_Curent_File;
  FILE *f = OpenMedia(file);
  if (f == nullptr) {
    Trace("GetLine: The file '%s' was not opened \"", file, "\"");
    return nullptr;
  }
  char line[kLineSize];
  char vendor[kLineSize] = "", version[kLineSize] = "", local_sp[kLineSize] = "";
  int header_lines = 0;
  while (fgets(line, sizeof line, f) != nullptr) {
    if (strstr(line, "VENDOR=") != nullptr) {
      ListValue(line, vendor, sizeof vendor);
      ++header_lines;
    } else if (strstr(line, "VERSION=") != nullptr) {
      ListValue(line, version, sizeof version);
      ++header_lines;
    } else if (strstr(line, "SP=") != nullptr) {
      ListValue(line, local_sp, sizeof local_sp);
      Trace("GetLine: local_sp <", local_sp, ">");
    }
  }
  if (IsAiRelease(version, local_sp)) CopyText(version, sizeof version, "VX_AI");
  if (header_lines != 2) {
    Trace("GetLine: vendor or version not found");
    CloseMedia(f);
    return nullptr;
  }
  Trace("GetLine: vendor <", vendor, ">");
  Trace("GetLine: product <", product, ">");
  Trace("GetLine: version <", version, ">");
  Trace("GetLine: sp <", sp, ">");
  Trace("GetLine: os <", os, ">");
  char key[kLineSize];
  if (product == nullptr || !FormatInto(key, sizeof key, ";%s;", product)) {
    // No line of at most 399 characters can hold a longer key.
    CloseMedia(f);
    Both("Exit: GetLine");
    return nullptr;
  }
  Trace("GetLine: prod <", key, ">");
  rewind(f);
  while (fgets(line, sizeof line, f) != nullptr) {
    if (strstr(line, key) == nullptr) continue;
    CopyText(found, sizeof found, line);
    Trace("GetLine: path=", line);
    break;
  }
  CloseMedia(f);
  Trace("GetLine: path <", found, ">");
  Trace("Exit: GetLine");
  Facility("Exit: GetLine");
  return found[0] != '\0' ? found : nullptr;
}

}  // namespace cdinfo
}  // namespace tq

extern "C" TQAPI int CDINFO_GetCdSP(const char *cd_path, char **sp) {
  return tq::cdinfo::GetCdSP(cd_path, sp);
}
extern "C" TQAPI int CDINFO_GetCdAttrib(const char *cd_path, char **vendor, char **version) {
  return tq::cdinfo::GetCdAttrib(cd_path, vendor, version);
}
extern "C" TQAPI char *GetLine(const char *cd_path, const char *product, const char *sp,
                               const char *os) {
  return tq::cdinfo::GetLine(cd_path, product, sp, os);
}
