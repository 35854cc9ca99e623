// Install-media description files: the product index and its lines.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "tqprod50.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string file = tqfuzz::Scratch() + "/media/products.txt";
  tqfuzz::WriteInput(file, data, size);
  snprintf(products_file, sizeof products_file, "%s", file.c_str());
  num_of_products_in_file = 0;
  GetProductsFromFile();
  for (int i = 0; i < num_of_products_in_file && i < CDINFO_MAX_PRODUCTS; ++i) {
    SperateFileAndDir(i);
    IsProductModule(i);
  }
  char out[1024];
  ParseProductsFile(file.c_str(), "VENDOR", 1, out);
  std::string text(reinterpret_cast<const char *>(data), size);
  char line[400];
  snprintf(line, sizeof line, "%s", text.c_str());
  IsItProductLine(line);
  GetValueFromLine(line, 2);  // static result
  char copy[400];
  memcpy(copy, line, sizeof copy);
  free(PrintLine(copy));
  IgnoreLine(line, 1);
  return 0;
}
