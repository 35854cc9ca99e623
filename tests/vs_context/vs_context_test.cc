// Operations across virtual-system contexts, on real contexts that each
// have their own registry file.
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "interpose.h"
#include "tq_test.h"

namespace {

using tqtest::g_platform;
using Strings = std::vector<std::string>;
using Calls = std::vector<unsigned>;

class VsContextTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override { RegistryTest::SetUp(); tqtest::ResetPlatform(); Switch(0); }
  void TearDown() override { tqtest::ResetPlatform(); Switch(0); RegistryTest::TearDown(); }

  static void Switch(unsigned ctx) {
    ASSERT_EQ(0, tq_set_vs_env(ctx));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  // Runs fn with the process in ctx, then returns to context 0, leaving the
  // recorded platform calls as they were.
  static void InContext(unsigned ctx, const std::function<void()> &fn) {
    tqtest::Platform saved = g_platform;
    Switch(ctx);
    fn();
    Switch(0);
    g_platform = saved;
  }
  // Adds the contexts, each with a firewall product of version "6.0".
  static void MakeContexts(std::initializer_list<std::pair<unsigned, unsigned>> ids_and_v6) {
    for (auto [id, v6] : ids_and_v6) {
      if (id != 0) {
        ASSERT_EQ(0, tq_ctxdb_add(id, 0, 0, v6));
      }
      InContext(id, [] { ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "6.0", 0)); });
    }
  }
  // The versioned text of product/name in ctx, or "<none>".
  static std::string ValueIn(unsigned ctx, const char *product, const char *name) {
    std::string out;
    InContext(ctx, [&] {
      const char *v = TQPROD_GetValue(product, name, 1);
      out = v ? v : "<none>";
    });
    return out;
  }
  static std::string Ipv6(unsigned ctx) { return ValueIn(ctx, "MRK", "FireWallIPv6"); }
  static void SetIn(unsigned ctx, const char *product, const char *name, const char *text,
                    int type = 1) {
    InContext(ctx, [&] { ASSERT_EQ(0, TQPROD_SetValue(product, name, type, text, 1)); });
  }
  static Strings ErrorsAndClear() {
    auto e = g_platform.errors;
    g_platform.errors.clear();
    return e;
  }
};

TEST_F(VsContextTest, SwitchingOnReachesOnlyContextsWithIPv6Instances) {
  MakeContexts({{0, 0}, {1, 0}, {2, 3}});
  EXPECT_EQ(0, FwSetFireWallIPv6(1));
  EXPECT_EQ((Strings{"1", "<none>", "1"}), (Strings{Ipv6(0), Ipv6(1), Ipv6(2)}));
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  EXPECT_EQ(Strings{}, g_platform.errors);
  // Written under each context's own current version.
  EXPECT_EQ("1", ValueIn(2, "MRK\\6.0", "FireWallIPv6"));

  // Switching off reaches every context, with or without instances.
  EXPECT_EQ(0, FwSetFireWallIPv6(0));
  for (unsigned c : {0u, 1u, 2u}) EXPECT_EQ("0", Ipv6(c)) << c;
}

TEST_F(VsContextTest, OnlyFromContextZeroAndWithoutWalkWhenAlone) {
  MakeContexts({{0, 0}});
  EXPECT_EQ(0, FwSetFireWallIPv6(7));  // no virtual systems: no walk
  EXPECT_EQ("7", Ipv6(0));
  EXPECT_EQ(0, g_platform.iterator_inits);

  MakeContexts({{3, 1}});
  Switch(3);
  g_platform.set_env_calls.clear();
  EXPECT_EQ(-1, FwSetFireWallIPv6(1));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6: operation is permitted only from context 0"},
            ErrorsAndClear());
  EXPECT_EQ(Calls{}, g_platform.set_env_calls);
  EXPECT_EQ(3u, tq_get_current_ctx_id());
  Switch(0);
  EXPECT_EQ((Strings{"7", "<none>"}), (Strings{Ipv6(0), Ipv6(3)}));

  // A missing firewall key is a failure of the write, and nothing else runs.
  int inits = g_platform.iterator_inits;
  ASSERT_EQ(0, TQPROD_DelKey("MRK"));
  EXPECT_EQ(-1, FwSetFireWallIPv6(1));
  EXPECT_EQ(inits, g_platform.iterator_inits);
}

TEST_F(VsContextTest, FailuresAcrossContextsAreReported) {
  MakeContexts({{0, 0}, {1, 1}, {2, 1}});

  g_platform.fail_iterator_init = true;
  EXPECT_EQ(-1, FwSetFireWallIPv6(1));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6: failed to initialize ctxdb iterator"}, ErrorsAndClear());
  EXPECT_EQ("1", Ipv6(0));  // context 0 came first
  g_platform.fail_iterator_init = false;

  g_platform.fail_instances = true;
  EXPECT_EQ(-1, FwSetFireWallIPv6(1));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6:[ERROR] failed to get the instances6 value of the ctxdb "
                    "for vs 1"},
            ErrorsAndClear());
  g_platform.fail_instances = false;
  EXPECT_LT(ctxdb_iterator_next(nullptr), 0);  // the walk was ended

  // Context 2 cannot be entered: 1 keeps the value written before.
  g_platform.failing_env = {2};
  EXPECT_EQ(-1, FwSetFireWallIPv6(5));
  EXPECT_EQ((Strings{"FwSetFireWallIPv6Ctx: failed to switch to context 2",
                     "FwSetFireWallIPv6:[ERROR] failed to set FireWallIPv6 on ctx 2"}),
            ErrorsAndClear());
  g_platform.failing_env.clear();
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  EXPECT_EQ((Strings{"5", "5", "<none>"}), (Strings{Ipv6(0), Ipv6(1), Ipv6(2)}));
}

TEST_F(VsContextTest, CtxFormWritesOneContextAndReturns) {
  MakeContexts({{0, 0}, {1, 0}, {2, 0}});
  EXPECT_EQ(0, FwSetFireWallIPv6Ctx(4, 2));
  EXPECT_EQ((Strings{"<none>", "<none>", "4"}), (Strings{Ipv6(0), Ipv6(1), Ipv6(2)}));
  EXPECT_EQ(0u, tq_get_current_ctx_id());

  // From another context it returns there, not to 0.
  Switch(1);
  EXPECT_EQ(0, FwSetFireWallIPv6Ctx(0xFFFFFFFFu, 2));
  EXPECT_EQ(1u, tq_get_current_ctx_id());
  Switch(0);
  EXPECT_EQ("-1", Ipv6(2));
  EXPECT_EQ(Strings{}, g_platform.errors);
}

TEST_F(VsContextTest, CtxFormFailures) {
  MakeContexts({{0, 0}, {2, 0}});
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(1, 9));  // unknown context
  EXPECT_EQ(Strings{"FwSetFireWallIPv6Ctx: failed to switch to context 9"}, ErrorsAndClear());
  EXPECT_EQ(0u, tq_get_current_ctx_id());

  // The way back fails: the message names context 0 whatever the start.
  Switch(2);
  g_platform.set_env_calls.clear();
  g_platform.failing_env = {2};
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(1, 0));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6Ctx: failed to switch to context 0"}, ErrorsAndClear());
  EXPECT_EQ((Calls{0, 2}), g_platform.set_env_calls);
  g_platform.failing_env.clear();
  Switch(0);
  EXPECT_EQ("1", Ipv6(0));  // the write itself happened

  // Rebinding the registry fails after the switch: nothing written, -1.
  int before = g_platform.reset_calls;
  g_platform.fail_reset_from = before;
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(6, 2));
  g_platform.fail_reset_from = -1;
  EXPECT_EQ(before + 2, g_platform.reset_calls);  // there, and back again
  EXPECT_EQ(Strings{}, ErrorsAndClear());
  EXPECT_EQ("<none>", Ipv6(2));

  // Missing firewall key in the target: -1 from the write, back in 0.
  InContext(2, [] { ASSERT_EQ(0, TQPROD_DelKey("MRK")); });
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(1, 2));
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  EXPECT_EQ(Strings{}, ErrorsAndClear());
  InContext(2, [] { EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\MRK", "CurrentVersion", 0)); });
}

TEST_F(VsContextTest, BladeCheckStopsAtFirstEnabledContext) {
  MakeContexts({{0, 0}, {1, 0}, {2, 0}});
  SetIn(1, "MRK", "AVEnabled", "1");
  SetIn(2, "MRK", "AVEnabled", "1");
  Switch(2);
  g_platform.set_env_calls.clear();
  EXPECT_EQ(1, TQPROD_is_blade_enabled_on_TRIVA("AVEnabled"));
  EXPECT_EQ((Calls{0, 1, 2}), g_platform.set_env_calls);  // 0, 1, then back
  EXPECT_EQ(2u, tq_get_current_ctx_id());
  // The registry really is context 2's again.
  EXPECT_STREQ("1", TQPROD_GetValue("MRK", "AVEnabled", 1));
  Switch(0);
  EXPECT_EQ(0, TQPROD_is_blade_enabled_on_TRIVA("ABOTEnabled"));
  EXPECT_EQ(0u, tq_get_current_ctx_id());
}

TEST_F(VsContextTest, OnlyTheExactTextOneCounts) {
  MakeContexts({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  const char *texts[] = {"01", "1 ", "true"};
  for (unsigned c : {0u, 1u, 2u}) SetIn(c, "MRK", "ZMAILEnabled", texts[c]);
  SetIn(3, "MRK", "ZMAILEnabled", "2", 4);
  EXPECT_EQ(0, TQPROD_is_ZMAIL_enabled_on_TRIVA());
  SetIn(3, "MRK", "ZMAILEnabled", "1", 4);  // the number 1 reads as "1"
  EXPECT_EQ(1, TQPROD_is_ZMAIL_enabled_on_TRIVA());
}

TEST_F(VsContextTest, FixedNameFormsAskTheirOwnValue) {
  MakeContexts({{0, 0}, {1, 0}});
  struct Form {
    int (*fn)(void);
    const char *name;
  };
  const Form forms[] = {{TQPROD_is_ZMAIL_enabled_on_TRIVA, "ZMAILEnabled"},
                        {TQPROD_is_AntiVirus_enabled_on_TRIVA, "AVEnabled"},
                        {TQPROD_is_AntiBot_enabled_on_TRIVA, "ABOTEnabled"},
                        {TQPROD_is_URLF_enabled_on_TRIVA, "APPIUFEnabled"},
                        {TQPROD_is_APPI_enabled_on_TRIVA, "APPIEnabled"}};
  for (const Form &f : forms) EXPECT_EQ(0, f.fn()) << f.name;
  for (const Form &f : forms) {
    SetIn(1, "MRK", f.name, "1");
    for (const Form &g : forms) EXPECT_EQ(&f == &g ? 1 : 0, g.fn()) << f.name << " " << g.name;
    SetIn(1, "MRK", f.name, "0");
  }
}

TEST_F(VsContextTest, AppiOrUrlfAndRmx) {
  MakeContexts({{0, 0}, {1, 0}, {2, 0}});
  for (unsigned c : {0u, 1u, 2u}) {
    SetIn(c, "MRK", "APPIEnabled", "0");
    InContext(c, [] { ASSERT_EQ(0, TQPROD_SetValue("XLNK", "CurrentVersion", 1, "2.1", 0)); });
  }
  EXPECT_EQ(0, TQPROD_is_APPI_or_URLF_enabled_on_TRIVA());
  SetIn(2, "MRK", "APPIUFEnabled", "1");
  EXPECT_EQ(1, TQPROD_is_APPI_or_URLF_enabled_on_TRIVA());

  EXPECT_EQ(0, TQPROD_is_RMX_enabled_on_TRIVA());
  SetIn(1, "MRK", "isXlnkRunning", "1");  // wrong product
  EXPECT_EQ(0, TQPROD_is_RMX_enabled_on_TRIVA());
  SetIn(1, "XLNK", "isXlnkRunning", "1");
  EXPECT_EQ(1, TQPROD_is_RMX_enabled_on_TRIVA());
  EXPECT_EQ(0u, tq_get_current_ctx_id());
}

TEST_F(VsContextTest, FeatureCheckFailures) {
  MakeContexts({{0, 0}, {1, 0}, {2, 0}});
  SetIn(2, "MRK", "AVEnabled", "1");

  g_platform.set_env_calls.clear();
  EXPECT_EQ(-1, TQPROD_is_blade_enabled_on_TRIVA(""));
  EXPECT_EQ(-1, TQPROD_is_blade_enabled_on_TRIVA(nullptr));
  EXPECT_EQ(Calls{}, g_platform.set_env_calls);
  EXPECT_EQ(0, g_platform.iterator_inits);

  g_platform.fail_iterator_init = true;
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  g_platform.fail_iterator_init = false;
  EXPECT_EQ(Calls{}, g_platform.set_env_calls);

  // A context that cannot be entered midway: -1, and back in the start.
  Switch(1);
  g_platform.set_env_calls.clear();
  g_platform.failing_env = {2};
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  EXPECT_EQ((Calls{0, 1, 2, 1}), g_platform.set_env_calls);
  EXPECT_EQ(1u, tq_get_current_ctx_id());
  EXPECT_EQ(Strings{}, ErrorsAndClear());

  // The way back fails: reported with the start id, the answer is kept.
  g_platform.failing_env.clear();
  Switch(1);
  g_platform.set_env_calls.clear();
  g_platform.fail_env_from = 3;  // visits 0, 1, 2 work; the way back fails
  EXPECT_EQ(1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  g_platform.fail_env_from = -1;
  EXPECT_EQ((Calls{0, 1, 2, 1}), g_platform.set_env_calls);
  EXPECT_EQ(Strings{"TQPROD_is_blade_enabled_on_TRIVA: failed to switch to context 1"},
            ErrorsAndClear());

  // Rebinding fails on the way back: -1.
  Switch(0);
  g_platform.fail_reset_from = g_platform.reset_calls + 3;  // 0, 1, 2 work; the way back fails
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  g_platform.fail_reset_from = -1;
  Switch(0);
}

}  // namespace
