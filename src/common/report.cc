#include "common/report.h"

#include <dlfcn.h>
#include <link.h>
#include <stdint.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "tqplatform.h"

namespace tq {
namespace {

// The platform library's own "error", looked up in the object that defines
// the registry service, whatever the global lookup order.
ErrorFn PlatformError() {
  Dl_info info;
  void *anchor = reinterpret_cast<void *>(&TqkRegCloseKey);
  if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  void *self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (self == nullptr) return nullptr;
  void *sym = dlsym(self, "error");
  dlclose(self);  // RTLD_NOLOAD only took a reference
  return reinterpret_cast<ErrorFn>(sym);
}

// True when addr lies in the main program's own loaded segments (the first
// object dl_iterate_phdr reports).
bool InMainProgram(const void *addr) {
  struct Query {
    uintptr_t addr;
    bool found;
  } q = {reinterpret_cast<uintptr_t>(addr), false};
  dl_iterate_phdr(
      [](struct dl_phdr_info *info, size_t, void *data) -> int {
        Query *q = static_cast<Query *>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr) &ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD) continue;
          uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
          if (q->addr >= begin && q->addr < begin + ph.p_memsz) q->found = true;
        }
        return 1;  // only the first object: the main program
      },
      &q);
  return q.found;
}

// Fallback that never exits: the message as one line on standard error.
void StderrError(int, int, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  vfprintf(stderr, format, ap);
  va_end(ap);
  fputc('\n', stderr);
}

ErrorFn Resolve() {
  // The address of error as the dynamic linker bound it for us (the
  // reference also makes the linker export a program's own definition).
  // Only the program's own definition is taken: anything else that comes
  // first in lookup (the C library, a sanitizer runtime wrapping it) may be
  // the exiting error(3).
  ErrorFn global = &::error;
  if (InMainProgram(reinterpret_cast<void *>(global))) return global;
  if (ErrorFn platform = PlatformError()) return platform;
  return StderrError;
}

}  // namespace

ErrorFn ResolveErrorFunction() {
  static ErrorFn fn = Resolve();
  return fn;
}

}  // namespace tq
