// Backup files as the restores read them, plain and typed.
#include "fuzz_support.h"
#include "tqprod50.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string file = tqfuzz::Scratch() + "/backup.txt";
  tqfuzz::WriteInput(file, data, size);
  TQPROD_RestoreKey(file.c_str());
  TQPROD_RestoreKeyWithType(file.c_str());
  return 0;
}
