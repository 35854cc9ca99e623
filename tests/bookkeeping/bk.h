// Shared helpers for the bookkeeping tests.
#pragma once

#include "tq_test.h"

namespace bktest {

inline void Put(const char *path, const char *name, const char *value) {
  ASSERT_EQ(0, TQPROD_SetValue(path, name, 1, value, 0)) << path << " " << name;
}

// Product "P" with current version 6.0.
class ProductTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    Put("P", "CurrentVersion", "6.0");
  }
};

}  // namespace bktest
