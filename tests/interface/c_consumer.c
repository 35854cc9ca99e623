/* A C99 user of the public header (-std=c99 -pedantic, warnings as errors):
 * the sizes the interface fixes, checked at compile time in this build's
 * data model, and a number with all 32 bits set written through the
 * platform library and read through the product library. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tqprod50.h"

#define TQ_C_ASSERT(name, cond) typedef char tq_check_##name[(cond) ? 1 : -1]
TQ_C_ASSERT(hkey_is_32_unsigned_bits, sizeof(TQHKEY) == 4 && (TQHKEY)-1 > 0);
TQ_C_ASSERT(regvar_is_a_signed_pointer, sizeof(TQREGVAR) == sizeof(void *) && (TQREGVAR)-1 < 0);
TQ_C_ASSERT(int_is_32_bits, sizeof(int) == 4);
TQ_C_ASSERT(product_list_sizes, sizeof(ProductEntry) == 1036 && sizeof(ProdList) == 150 * 1036);
TQ_C_ASSERT(text_globals_size, sizeof(VENDOR) == 400 && sizeof(dvd_file) == 400);
TQ_C_ASSERT(type_codes, TQREG_SZ == 1 && TQREG_DWORD == 4 && TQREG_MULTI_SZ == 7);
TQ_C_ASSERT(data_limit_fits_32_bits, TQREG_MAX_DATA <= UINT32_MAX);

int main(void) {
  TQHKEY key = 0;
  uint32_t all_bits = 0xFFFFFFFFu, back = 0;
  unsigned type = 0, size = sizeof back;
  const char *text;
  int ok = TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Tarquel\\C", &key) ==
               TQREG_OK &&
           TqkRegSetValueEx(key, "AllBits", 0, TQREG_DWORD, &all_bits, 4) == TQREG_OK &&
           TqkRegQueryValueEx(key, "AllBits", NULL, &type, &back, &size) == TQREG_OK &&
           type == TQREG_DWORD && size == 4 && back == all_bits && TqkRegCloseKey(key) == TQREG_OK;
  /* The library's text of that number is "%d" of a 32-bit int in both data models. */
  text = TQPROD_GetValue("C", "AllBits", 0);
  ok = ok && text != NULL && strcmp(text, "-1") == 0;
  printf("c_consumer (%u-bit): %s\n", (unsigned)(8 * sizeof(void *)), ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
