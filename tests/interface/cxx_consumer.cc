// The public header compiled as C++ (-std=c++17 -pedantic -Wall -Wextra
// -Werror): every name stays extern "C", and the fixed sizes hold in this
// build's data model.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "tqprod50.h"

static_assert(sizeof(TQHKEY) == 4 && std::is_unsigned<TQHKEY>::value, "32-bit handles");
static_assert(sizeof(TQREGVAR) == sizeof(void *) && std::is_signed<TQREGVAR>::value,
              "TQREGVAR holds a pointer or a sign-extended number");
static_assert(sizeof(int) == 4, "int is 32 bits");
static_assert(sizeof(ProductEntry) == 1036, "ProductEntry is 1,036 bytes");
static_assert(sizeof(ProdList) == 150 * sizeof(ProductEntry), "ProdList has 150 entries");
static_assert(TQREG_MAX_DATA <= UINT32_MAX, "data sizes fit 32 bits");

// Flag setters store a 32-bit value: every row of the flag tables.
#ifdef TQPROD_FLAG_TABLE
#define TQ_CHECK_FLAG_SETTER(getter, setter, key, name, versioned)                       \
  static_assert(std::is_same<decltype(&setter), int (*)(unsigned)>::value &&              \
                    std::is_same<decltype(&getter), int (*)(void)>::value &&              \
                    sizeof(unsigned) == 4,                                               \
                #setter " takes a 32-bit value");
TQPROD_FLAG_TABLE(TQ_CHECK_FLAG_SETTER)
TQPROD_CACHED_FLAG_TABLE(TQ_CHECK_FLAG_SETTER)
#undef TQ_CHECK_FLAG_SETTER
#endif

// A C++ program calling through the header reaches the unmangled names,
// also through a pointer of C language linkage.
extern "C" {
typedef const char *(*GetValueFn)(const char *, const char *, int);
}

int main() {
  GetValueFn get_value = &TQPROD_GetValue;
  TQHKEY root = TqkRegGlobalEntry_HKEY_LOCAL_MACHINE();
  const char *mrk = TQPROD_GetRegMrkPath();
  int ok = get_value("CxxConsumer", "Absent", 0) == nullptr && mrk != nullptr &&
           std::strcmp(mrk, "SOFTWARE\\Tarquel\\MRK") == 0;
  std::printf("cxx_consumer: root handle %u, MRK path %s: %s\n", static_cast<unsigned>(root),
              mrk != nullptr ? mrk : "(null)", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
