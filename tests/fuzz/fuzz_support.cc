#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace tqfuzz {

const std::string &Scratch() {
  static const std::string dir = [] {
    char templ[] = "/tmp/tq-fuzz-XXXXXX";
    std::string d = mkdtemp(templ) ? templ : "/tmp";
    setenv("TQ_REGISTRY_DIR", (d + "/reg").c_str(), 1);
    setenv("TQ_SYSROOT", d.c_str(), 1);
    setenv("TQ_REGISTRY_SYNC", "normal", 1);
    return d;
  }();
  return dir;
}

void WriteInput(const std::string &path, const uint8_t *data, size_t size) {
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1))
    mkdir(path.substr(0, pos).c_str(), 0755);
  FILE *f = fopen(path.c_str(), "wbe");
  if (f == nullptr) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

}  // namespace tqfuzz
