// Interposed context-database answers: the library reaches the platform
// only through its exported symbols, so a program's own definition wins.
// Unless a test forces an answer, the call goes on to the platform.
#include <dlfcn.h>

#include "interpose.h"
#include "tqplatform.h"

namespace flagtest {
int g_forced_bridge = kNotForced;
int g_forced_junction = kNotForced;
}  // namespace flagtest

namespace {
template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" {

TQAPI int ctxdb_is_bridge(unsigned ctx) {
  if (flagtest::g_forced_bridge != flagtest::kNotForced) return flagtest::g_forced_bridge;
  static auto real = Next<int (*)(unsigned)>("ctxdb_is_bridge");
  return real(ctx);
}

TQAPI int ctxdb_is_junction(unsigned ctx) {
  if (flagtest::g_forced_junction != flagtest::kNotForced) return flagtest::g_forced_junction;
  static auto real = Next<int (*)(unsigned)>("ctxdb_is_junction");
  return real(ctx);
}

}  // extern "C"
