// File names relative to the firewall management directory.
#include <stdio.h>
#include <string.h>

#include "tqprod50.h"

extern "C" {

// Every form is checked against size before anything is written: buf
// receives the whole name and its terminator, or nothing.
TQAPI char *tqm_filename(const char *dir, const char *file, char *buf, unsigned size) {
  if (buf == nullptr || file == nullptr) return nullptr;
  const size_t fileLen = strlen(file);
  if (is_path(file) || dir == nullptr || strcmp(dir, ".") == 0) {
    if (size <= fileLen) return nullptr;
    memcpy(buf, file, fileLen + 1);
    return buf;
  }
  const size_t dirLen = strlen(dir);
  if (is_path(dir)) {
    if (size <= dirLen + fileLen + 1) return nullptr;
    snprintf(buf, size, "%s%c%s", dir, '/', file);
    return buf;
  }
  const char *tqm = TQPROD_GetTqmDir();
  if (tqm == nullptr) return nullptr;
  const size_t tqmLen = strlen(tqm);
  if (size <= tqmLen + dirLen + fileLen + 2) return nullptr;
  snprintf(buf, size, "%s%c%s%c%s", tqm, '/', dir, '/', file);
  return buf;
}

}  // extern "C"
