// The C consumer compiled as C++17 (-pedantic, warnings as errors): the
// header's names keep C linkage (else the link fails), its sizes hold, and,
// what only C++ can check, every flag setter takes a 32-bit value.
#include <type_traits>

#include "c_consumer.c"

#define TQ_CHECK_FLAG(getter, setter, ...)                                       \
  static_assert(std::is_same<decltype(&setter), int (*)(unsigned)>::value &&    \
                    std::is_same<decltype(&getter), int (*)(void)>::value,      \
                #setter " takes a 32-bit value");
TQPROD_FLAG_TABLE(TQ_CHECK_FLAG)
TQPROD_CACHED_FLAG_TABLE(TQ_CHECK_FLAG)
static_assert(sizeof(unsigned) == 4, "unsigned is 32 bits");
