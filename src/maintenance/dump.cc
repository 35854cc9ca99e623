// The registry dump: the key-tree walk from "SOFTWARE\Tarquel" writing every
// key's full path and values to "RegDump" in the current directory.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "maintenance/key_tree_walk.h"
#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kDumpFile[] = "RegDump";

class DumpAction : public WalkAction {
 public:
  explicit DumpAction(FILE *out) : out_(out) {}

  // The root gets no header and its values are not dumped.
  void AtStart(const WalkedKey &) override {}

  void AfterDescent(const WalkedKey &key) override {
    fprintf(out_, "\n%s\\%s\n", kRoot, key.relative);
    ForEachValueName(key.relative, [&](const char *name) {
      const char *text = TQPROD_GetValue(key.relative, name, 0);
      if (text != nullptr) fprintf(out_, "\t%s=%s\n", name, text);
    });
  }

  // Stands for the skipped subtree wherever it occurs; the next header's
  // line feed ends its line.
  void PassingPrng() override { fputs("SOFTWARE\\Tarquel\\PRNG", out_); }

  void TooDeep() override { fputs("\n\nerror - registry to deep", out_); }

 private:
  FILE *out_;
};

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_DumpRegistry(void) {
  // A symbolic link planted at the name is refused, not followed.
  int fd = open(kDumpFile, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
  FILE *out = fd < 0 ? nullptr : fdopen(fd, "w");
  if (out == nullptr && fd >= 0) close(fd);
  if (out == nullptr) {
    printf("The file '%s' was not opened\n", kDumpFile);
    fflush(stdout);
    return -4;
  }
  DumpAction action(out);
  int rc = WalkKeyTree("", action);
  fclose(out);
  return rc;
}

}  // extern "C"
