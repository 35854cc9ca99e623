// Configuration files the library reads: product.conf of an old release,
// /etc/cd.ver and the setup file.
#include <stdlib.h>

#include "fuzz_support.h"
#include "tqprod50.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string &root = tqfuzz::Scratch();
  setenv("FWDIR", root.c_str(), 1);
  tqfuzz::WriteInput(root + "/conf/product.conf", data, size);
  free(TQPROD_GetConfigFrom41('p'));
  free(TQPROD_GetConfigFrom41('x'));
  tqfuzz::WriteInput(root + "/etc/cd.ver", data, size);
  tqfuzz::WriteInput(root + "/etc/sysconfig/SETUP", data, size);
  char major[37], minor[34];
  TQPROD_ZudedazVer(major, minor);
  TQPROD_IsPureDiskless();
  TQPROD_IsDiskless();
  return 0;
}
