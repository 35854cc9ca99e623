/* Reaches the library's reporting path (a failed copy of the cached firewall
 * key path, forced by this program's own strdup) and checks that the process
 * survives it. Built three ways: linked only against libtqprod50; with the C
 * library ahead of it in the link order; and with an error() of its own,
 * which must receive the library's message. Exit 0 when all holds. */
#define _GNU_SOURCE
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tqprod50.h"

static int fail_strdup;

/* Interposes the C library's strdup for the library's calls. */
char *strdup(const char *s) {
  char *p = fail_strdup ? NULL : malloc(strlen(s) + 1);
  return p ? strcpy(p, s) : NULL;
}

#ifdef OWN_ERROR
static char seen[256];

void error(int status, int errnum, const char *format, ...) {
  va_list ap;
  int n = snprintf(seen, sizeof seen, "%d %d ", status, errnum);
  va_start(ap, format);
  vsnprintf(seen + n, sizeof seen - n, format, ap);
  va_end(ap);
}
#endif

int main(void) {
  fail_strdup = 1;
  const char *failed = TQPROD_GetRegMrkPath();
  fail_strdup = 0;
  /* The forced failure gives NULL; the next call tries again and succeeds. */
  const char *path = TQPROD_GetRegMrkPath();
  if (failed != NULL || path == NULL || strcmp(path, "SOFTWARE\\Tarquel\\MRK") != 0) {
    fprintf(stderr, "expected NULL, then the path\n");
    return 1;
  }
#ifdef OWN_ERROR
  if (strcmp(seen, "1 -1 TQPROD_GetRegMrkPath: cannot strdup SOFTWARE\\Tarquel\\MRK") != 0) {
    fprintf(stderr, "own error() got '%s'\n", seen);
    return 1;
  }
#endif
  return 0;
}
