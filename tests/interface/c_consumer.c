/* A C99 user of the public header: compiled with -std=c99 -pedantic -Wall
 * -Wextra -Werror, linked against both libraries and run. It checks at
 * compile time the sizes the interface fixes, in C and in this build's data
 * model, and at run time one round trip through each library with a number
 * that has all 32 bits set. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tqprod50.h"

#define TQ_C_ASSERT(name, cond) typedef char tq_check_##name[(cond) ? 1 : -1]

TQ_C_ASSERT(hkey_is_32_bits, sizeof(TQHKEY) == 4);
TQ_C_ASSERT(hkey_is_unsigned, (TQHKEY)-1 > 0);
TQ_C_ASSERT(regvar_holds_a_pointer, sizeof(TQREGVAR) == sizeof(void *));
TQ_C_ASSERT(regvar_is_signed, (TQREGVAR)-1 < 0);
TQ_C_ASSERT(int_is_32_bits, sizeof(int) == 4);
TQ_C_ASSERT(product_entry_size, sizeof(ProductEntry) == 1036);
TQ_C_ASSERT(prodlist_size, sizeof(ProdList) == 150 * 1036);
TQ_C_ASSERT(text_globals_size, sizeof(VENDOR) == 400 && sizeof(dvd_file) == 400);
TQ_C_ASSERT(type_codes, TQREG_SZ == 1 && TQREG_DWORD == 4 && TQREG_MULTI_SZ == 7);
TQ_C_ASSERT(data_limit_fits_32_bits, TQREG_MAX_DATA <= UINT32_MAX);

static int failures = 0;

static void expect(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "c_consumer: FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  TQHKEY root = TqkRegGlobalEntry_HKEY_LOCAL_MACHINE();
  TQHKEY key = 0;
  uint32_t all_bits = 0xFFFFFFFFu;
  unsigned type = 0, size = sizeof all_bits;
  uint32_t back = 0;
  const char *text;

  expect(TqkRegCreateKey(root, "SOFTWARE\\Tarquel\\CConsumer", &key) == TQREG_OK,
         "TqkRegCreateKey");
  expect(TqkRegSetValueEx(key, "AllBits", 0, TQREG_DWORD, &all_bits, sizeof all_bits) ==
             TQREG_OK,
         "TqkRegSetValueEx");
  expect(TqkRegQueryValueEx(key, "AllBits", NULL, &type, &back, &size) == TQREG_OK &&
             type == TQREG_DWORD && size == 4 && back == all_bits,
         "TqkRegQueryValueEx returns the 32-bit number");
  expect(TqkRegCloseKey(key) == TQREG_OK, "TqkRegCloseKey");

  /* The library's text of a number with all bits set is "%d" of a 32-bit
   * int, in both data models. */
  text = TQPROD_GetValue("CConsumer", "AllBits", 0);
  expect(text != NULL && strcmp(text, "-1") == 0, "TQPROD_GetValue gives \"-1\"");

  expect(TQPROD_SetValue("CConsumer", "Text", TQREG_SZ, "from C", 0) == 0, "TQPROD_SetValue");
  text = TQPROD_GetValue("CConsumer", "Text", 0);
  expect(text != NULL && strcmp(text, "from C") == 0, "TQPROD_GetValue reads it back");

  if (failures == 0) printf("c_consumer: all checks passed (%u-bit)\n", (unsigned)(8 * sizeof(void *)));
  return failures == 0 ? 0 : 1;
}
