// Files the library opens are close-on-exec: a program started meanwhile
// (from another thread, say) inherits none of them. Checked where each is
// closed: this program's fclose stands in for the C library's.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>

#include "raw.h"
#include "tq_test.h"

namespace {
int g_library_closes = 0;     // files closed by libtqprod50
int g_inheritable_closes = 0;  // ... of which without close-on-exec
}  // namespace

extern "C" TQAPI int fclose(FILE *f) {
  static auto real = reinterpret_cast<int (*)(FILE *)>(dlsym(RTLD_NEXT, "fclose"));
  Dl_info caller;
  if (f != nullptr && dladdr(__builtin_return_address(0), &caller) != 0 && caller.dli_fname &&
      strstr(caller.dli_fname, "libtqprod50") != nullptr) {
    ++g_library_closes;
    g_inheritable_closes += (fcntl(fileno(f), F_GETFD) & FD_CLOEXEC) == 0;
  }
  return real(f);
}

namespace {

class CloseOnExec : public tqtest::RegistryTest {};

TEST_F(CloseOnExec, EveryFileTheMaintenanceFunctionsOpen) {
  tqtest::PutStr("SOFTWARE\\Tarquel\\A", "v", "1");
  std::string file = sysroot_ + "/a.bak";
  ASSERT_EQ(0, TQPROD_BackupKey("A", file.c_str()));
  ASSERT_EQ(0, TQPROD_RestoreKey(file.c_str()));
  ASSERT_EQ(0, TQPROD_RestoreKeyWithType(file.c_str()));
  ASSERT_EQ(0, chdir(sysroot_.c_str()));
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  EXPECT_EQ(4, g_library_closes);
  EXPECT_EQ(0, g_inheritable_closes);
}

}  // namespace
