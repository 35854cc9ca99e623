#pragma once

#include "tqplatform.h"

namespace tqtool {

struct DemoValue {
  const char *key;
  const char *name;
  unsigned type;
  const char *data;  // text; numbers as decimal; multi-strings NUL-separated
};

extern const DemoValue kDemoRegistry[];
extern const unsigned kDemoRegistrySize;

}  // namespace tqtool
