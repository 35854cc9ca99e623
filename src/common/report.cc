#include "common/report.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "tqplatform.h"

namespace tq {
namespace {

// Base address of the object that defines addr, or null.
const void *ObjectBase(const void *addr) {
  Dl_info info;
  if (addr == nullptr || dladdr(addr, &info) == 0) return nullptr;
  return info.dli_fbase;
}

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

// The C library's error(3), located through a function only libc defines.
const void *LibcBase() { return ObjectBase(reinterpret_cast<void *>(&fopen)); }

// Fallback that never exits: the message as one line on standard error.
void StderrError(int, int, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  vfprintf(stderr, format, ap);
  va_end(ap);
  fputc('\n', stderr);
}

ErrorFn Resolve() {
  // The address of error as the dynamic linker bound it for us: the
  // program's own definition when it has one (the reference also makes the
  // linker export that definition), else the first library that has one.
  ErrorFn global = &::error;
  if (ObjectBase(reinterpret_cast<void *>(global)) != LibcBase()) return global;
  if (ErrorFn platform = PlatformError()) {
    if (ObjectBase(reinterpret_cast<void *>(platform)) != LibcBase()) return platform;
  }
  return StderrError;
}

}  // namespace

ErrorFn ResolveErrorFunction() {
  static ErrorFn fn = Resolve();
  return fn;
}

}  // namespace tq
