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
  if (fail_strdup) return NULL;
  size_t n = strlen(s) + 1;
  char *p = malloc(n);
  if (p) memcpy(p, s, n);
  return p;
}

#ifdef OWN_ERROR
static int seen_status = 99, seen_errnum = 99;
static char seen_text[256];

void error(int status, int errnum, const char *format, ...) {
  va_list ap;
  seen_status = status;
  seen_errnum = errnum;
  va_start(ap, format);
  vsnprintf(seen_text, sizeof seen_text, format, ap);
  va_end(ap);
}
#endif

int main(void) {
  fail_strdup = 1;
  char *path = TQPROD_GetRegMrkPath();
  fail_strdup = 0;
  if (path != NULL) {
    fprintf(stderr, "expected the forced copy failure to return NULL\n");
    return 1;
  }
  /* The next call tries again and succeeds. */
  path = TQPROD_GetRegMrkPath();
  if (path == NULL || strcmp(path, "SOFTWARE\\Tarquel\\MRK") != 0) {
    fprintf(stderr, "expected the path on the second call\n");
    return 1;
  }
#ifdef OWN_ERROR
  if (seen_status != 1 || seen_errnum != -1 ||
      strcmp(seen_text, "TQPROD_GetRegMrkPath: cannot strdup SOFTWARE\\Tarquel\\MRK") != 0) {
    fprintf(stderr, "own error() got status %d errnum %d text '%s'\n", seen_status,
            seen_errnum, seen_text);
    return 1;
  }
#endif
  printf("survived the library's error report\n");
  return 0;
}
