/* A program built against an installed libtqprod50, once through
 * find_package(tqprod50) and once through pkg-config: it writes a value
 * through the library and reads it back. TQ_REGISTRY_DIR names a fresh
 * registry. */
#include <stdio.h>
#include <string.h>

#include <tqprod50.h>

int main(void) {
  const char *text;
  if (TQPROD_SetValue("Consumer", "Greeting", TQREG_SZ, "installed", 0) != 0) {
    fprintf(stderr, "consumer: TQPROD_SetValue failed\n");
    return 1;
  }
  text = TQPROD_GetValue("Consumer", "Greeting", 0);
  if (text == NULL || strcmp(text, "installed") != 0) {
    fprintf(stderr, "consumer: read back \"%s\"\n", text ? text : "(null)");
    return 1;
  }
  printf("consumer: round trip through the installed library ok\n");
  return 0;
}
