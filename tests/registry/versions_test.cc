// Which version subkey versioned access reaches: effective version,
// "CurrentVersion" and the override; cached paths; reserved paths.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "tq_test.h"

namespace {

using tqtest::RegistryTest;

class VersionTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    SetMirrakEffectiveVersion(nullptr);
    SetPelloraEffectiveVersion(nullptr);
    ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "5.0", 0));
    ASSERT_EQ(0, TQPROD_SetValue("MRK\\5.0", "Where", 1, "current", 0));
    ASSERT_EQ(0, TQPROD_SetValue("MRK\\6.0", "Where", 1, "effective", 0));
    ASSERT_EQ(0, TQPROD_SetValue("MRK\\7.0", "Where", 1, "override", 0));
  }
  void TearDown() override {
    SetMirrakEffectiveVersion(nullptr);
    SetPelloraEffectiveVersion(nullptr);
    RegistryTest::TearDown();
  }
};

TEST_F(VersionTest, EffectiveVersionThenOverrideTakePrecedence) {
  EXPECT_STREQ("current", TQPROD_GetValue("MRK", "Where", 1));

  ASSERT_EQ(0, SetMirrakEffectiveVersion("6.0"));
  EXPECT_STREQ("effective", TQPROD_GetValue("MRK", "Where", 1));
  // The service's reader and the current version ignore the slot.
  EXPECT_STREQ("current",
               reinterpret_cast<const char *>(TQPRODIS_GetVarFromRegistry(
                   "SOFTWARE\\Tarquel\\MRK", "Where", 1)));
  EXPECT_STREQ("5.0", TQPROD_GetCurrentVersion("MRK"));

  ASSERT_EQ(0, TQPROD_OverideCurrentVersion("7.0"));
  EXPECT_STREQ("7.0", TQPROD_GetOverideVersion());
  EXPECT_STREQ("override", TQPROD_GetValue("MRK", "Where", 1));

  // The override reaches every product key, not just those with slots.
  ASSERT_EQ(0, TQPROD_SetValue("Other", "V", 1, "x", 1));
  EXPECT_STREQ("x", TQPROD_GetValue("Other\\7.0", "V", 0));

  unsetenv("OVER_WRITE_CURRENT_VER");
  ASSERT_EQ(0, SetMirrakEffectiveVersion(nullptr));
  char *got = GetMirrakEffectiveVersion();
  EXPECT_EQ(nullptr, got);
  EXPECT_STREQ("current", TQPROD_GetValue("MRK", "Where", 1));
}

TEST_F(VersionTest, SlotsMatchExactPathsOnly) {
  ASSERT_EQ(0, SetPelloraEffectiveVersion("P2"));
  char *copy = GetPelloraEffectiveVersion();
  ASSERT_NE(nullptr, copy);
  EXPECT_STREQ("P2", copy);
  free(copy);
  ASSERT_EQ(0, TQPROD_SetValue("Pellora", "V", 1, "x", 1));
  EXPECT_STREQ("x", TQPROD_GetValue("Pellora\\P2", "V", 0));
  // "pellora" differs in case: no slot, so the key itself (no CurrentVersion).
  ASSERT_EQ(0, TQPROD_SetValue("pellora", "W", 1, "y", 1));
  EXPECT_EQ(nullptr, TQPROD_GetValue("Pellora\\P2", "W", 0));
  EXPECT_STREQ("y", TQPROD_GetValue("Pellora", "W", 0));
}

TEST_F(VersionTest, RefusedOverrideKeepsThePreviousOne) {
  ASSERT_EQ(0, TQPROD_OverideCurrentVersion("7.0"));
  std::string huge(1100, 'v');
  EXPECT_EQ(-1, TQPROD_OverideCurrentVersion(huge.c_str()));
  EXPECT_EQ(-1, TQPROD_OverideCurrentVersion(nullptr));
  EXPECT_STREQ("7.0", TQPROD_GetOverideVersion());
  // The environment entry is the library's buffer: later calls show through.
  ASSERT_EQ(0, TQPROD_OverideCurrentVersion("8.0"));
  EXPECT_STREQ("8.0", getenv("OVER_WRITE_CURRENT_VER"));
}

TEST_F(VersionTest, CachedPathsAreStable) {
  char *a = TQPROD_GetRegMrkPath();
  EXPECT_EQ(a, TQPROD_GetRegMrkPath());
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK", a);
  EXPECT_STREQ("SOFTWARE\\Tarquel\\TQShared", TQPROD_GetRegTQSharedPath());
  EXPECT_EQ(TQPROD_GetRegTQSharedPath(), TQPROD_GetRegTQSharedPath());
}

TEST_F(VersionTest, CurrentVersionMustBeAString) {
  ASSERT_EQ(0, TQPROD_SetValue("NumProd", "CurrentVersion", 4, "5", 0));
  EXPECT_EQ(nullptr, TQPROD_GetCurrentVersion("NumProd"));
  EXPECT_EQ(nullptr, TQPROD_GetCurrentVersion("Missing"));
  // A versioned write then addresses the key itself.
  ASSERT_EQ(0, TQPROD_SetValue("NumProd", "V", 1, "x", 1));
  EXPECT_STREQ("x", TQPROD_GetValue("NumProd", "V", 0));
}

// Captures what a call prints on standard output.
template <typename F>
std::string CaptureStdout(F f) {
  fflush(stdout);
  int saved = dup(1);
  FILE *tmp = tmpfile();
  dup2(fileno(tmp), 1);
  f();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  rewind(tmp);
  char buf[256] = {0};
  size_t n = fread(buf, 1, sizeof buf - 1, tmp);
  fclose(tmp);
  return std::string(buf, n);
}

TEST_F(VersionTest, ReservedPathFallsBackWithAMessage) {
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK\\5.0\\reserved", TQPROD_GetReservedPath("MRK", 1));
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK\\reserved", TQPROD_GetReservedPath("MRK", 0));
  char *path = nullptr;
  std::string out = CaptureStdout([&] { path = TQPROD_GetReservedPath("NoVer", 1); });
  EXPECT_EQ("Can not get current version", out);
  EXPECT_STREQ("SOFTWARE\\Tarquel\\NoVer\\reserved", path);
}

}  // namespace
