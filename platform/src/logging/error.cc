// The platform's error reporting: error() and tderrorFunc().
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tqplatform.h"

extern "C" {
extern char *program_invocation_short_name;
}

// Unlike error(3) of the C library this never exits: the family's library
// reports failures through it and carries on.
extern "C" TQAPI void error(int status, int errnum, const char *format, ...) {
  fflush(stdout);
  fprintf(stderr, "%s: ", program_invocation_short_name ? program_invocation_short_name : "tq");
  if (format != nullptr) {
    va_list ap;
    va_start(ap, format);
    vfprintf(stderr, format, ap);
    va_end(ap);
  }
  // Positive codes are errno values; the family passes -1 for "no errno".
  if (errnum > 0) fprintf(stderr, ": %s", strerror(errnum));
  if (status != 0) fprintf(stderr, " (status %d)", status);
  fputc('\n', stderr);
  fflush(stderr);
}

extern "C" TQAPI int tderrorFunc(const char *topic, int level, int value, const char *text) {
  const char *path = getenv("TQ_TDERROR_LOG");
  if (path == nullptr || *path == '\0') return 0;
  FILE *f = fopen(path, "ae");
  if (f == nullptr) return 0;
  fprintf(f, "%s %d %d %s", topic ? topic : "(null)", level, value, text ? text : "(null)");
  size_t n = text ? strlen(text) : 0;
  if (n == 0 || text[n - 1] != '\n') fputc('\n', f);
  fclose(f);
  return 0;
}
