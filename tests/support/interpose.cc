#include "interpose.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>

#include "tqplatform.h"

namespace tqtest {
Platform g_platform;
void ResetPlatform() { g_platform = Platform(); }
}  // namespace tqtest

namespace {
template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}
}  // namespace

using tqtest::g_platform;

extern "C" {

TQAPI int ctxdb_is_bridge(unsigned ctx) {
  static auto real = Next<int (*)(unsigned)>("ctxdb_is_bridge");
  return g_platform.forced_bridge != tqtest::kNotForced ? g_platform.forced_bridge : real(ctx);
}

TQAPI int ctxdb_is_junction(unsigned ctx) {
  static auto real = Next<int (*)(unsigned)>("ctxdb_is_junction");
  return g_platform.forced_junction != tqtest::kNotForced ? g_platform.forced_junction : real(ctx);
}

TQAPI int tq_set_vs_env(unsigned ctx) {
  static auto real = Next<int (*)(unsigned)>("tq_set_vs_env");
  int n = static_cast<int>(g_platform.set_env_calls.size());
  g_platform.set_env_calls.push_back(ctx);
  if (g_platform.failing_env.count(ctx) != 0) return -1;
  if (g_platform.fail_env_from >= 0 && n >= g_platform.fail_env_from) return -1;
  return real(ctx);
}

TQAPI int TqkResetGlobalEntries(void) {
  static auto real = Next<int (*)(void)>("TqkResetGlobalEntries");
  int n = g_platform.reset_calls++;
  if (g_platform.fail_reset_from >= 0 && n >= g_platform.fail_reset_from) return -1;
  return real();
}

TQAPI int ctxdb_iterator_init(void) {
  static auto real = Next<int (*)(void)>("ctxdb_iterator_init");
  ++g_platform.iterator_inits;
  return g_platform.fail_iterator_init ? -1 : real();
}

TQAPI int ctxdb_get_instances_by_ctxid(unsigned ctx, unsigned *count, int flag) {
  static auto real = Next<int (*)(unsigned, unsigned *, int)>("ctxdb_get_instances_by_ctxid");
  return g_platform.fail_instances ? -1 : real(ctx, count, flag);
}

TQAPI int TqkRegDeleteKey(TQHKEY parent, const char *path) {
  static auto real = Next<int (*)(TQHKEY, const char *)>("TqkRegDeleteKey");
  return path && g_platform.refused_delete == path ? TQREG_E_ACCESS : real(parent, path);
}

TQAPI void error(int, int, const char *format, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_platform.errors.push_back(buf);
}

}  // extern "C"
