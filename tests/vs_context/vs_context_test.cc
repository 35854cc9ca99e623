// Virtual-system contexts: the context database, the context switch, the
// machine-state questions, and the operations across contexts, on real
// contexts that each have their own registry file.
#include <dlfcn.h>

#include "interpose.h"
#include "raw.h"
#include "tq_test.h"

static int g_cache_drops = 0;

// Counts the library's cache drops, then drops the cache.
extern "C" TQAPI int reset_reg_sic_cache(void) {
  static auto real = reinterpret_cast<int (*)(void)>(dlsym(RTLD_NEXT, "reset_reg_sic_cache"));
  ++g_cache_drops;
  return real();
}

namespace {

using namespace tqtest;
using Ids = std::vector<long long>;

// Every id of a walk of the context database, then how it ended: 0, or the
// failure.
Ids Walk() {
  Ids ids;
  unsigned id = 0;
  int rc = ctxdb_iterator_init();
  while (rc >= 0 && (rc = ctxdb_iterator_next(&id)) > 0) ids.push_back(id);
  ids.push_back(rc);
  ctxdb_iterator_free();
  return ids;
}

// {bridge, junction, instances} of ctx; instances is -1 when unreadable.
Ids Flags(unsigned ctx) {
  unsigned count = 0;
  int rc = ctxdb_get_instances_by_ctxid(ctx, &count, 1);
  return {ctxdb_is_bridge(ctx), ctxdb_is_junction(ctx), rc == 0 ? (long long)count : -1};
}

class VsContextTest : public RegistryTest {
 protected:
  void TearDown() override {
    ResetPlatform();
    Switch(0);
    RegistryTest::TearDown();
  }
  static void Switch(unsigned ctx) {
    ASSERT_EQ(0, tq_set_vs_env(ctx));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  // Runs fn in ctx and comes back to 0, leaving the recorded calls alone.
  static void InContext(unsigned ctx, const std::function<void()> &fn) {
    Platform saved = g_platform;
    Switch(ctx);
    fn();
    Switch(0);
    g_platform = saved;
  }
  static void SetIn(unsigned ctx, const char *product, const char *name, const char *text) {
    InContext(ctx, [&] { ASSERT_EQ(0, TQPROD_SetValue(product, name, 1, text, 1)); });
  }
  // Contexts 0 to 2 (IPv6 instances of 1 and 2), each with firewall version 6.0.
  static void MakeContexts(unsigned v6_of_1 = 0, unsigned v6_of_2 = 0) {
    ASSERT_EQ(0, tq_ctxdb_add(1, 0, 0, v6_of_1) | tq_ctxdb_add(2, 0, 0, v6_of_2));
    for (unsigned c : {0u, 1u, 2u}) SetIn(c, "MRK", "CurrentVersion", "6.0");
  }
  // The flag in contexts 0 to 2, versioned.
  static Strings Ipv6() {
    Strings out(3);
    for (unsigned c : {0u, 1u, 2u})
      InContext(c, [&] { out[c] = Str(TQPROD_GetValue("MRK", "FireWallIPv6", 1)); });
    return out;
  }
  // What call did: "<result> | <contexts selected> | <rebindings>/<cache
  // drops> | <messages>".
  static std::string Run(const std::function<int()> &call) {
    g_platform.set_env_calls.clear();
    g_platform.errors.clear();
    const int resets = g_platform.reset_calls, drops = g_cache_drops;
    std::string out = std::to_string(call()) + " |";
    for (unsigned c : g_platform.set_env_calls) out += " " + std::to_string(c);
    out += " | " + std::to_string(g_platform.reset_calls - resets) + "/" +
           std::to_string(g_cache_drops - drops) + " |";
    for (const std::string &e : g_platform.errors) out += " " + e + ".";
    return out;
  }
};

int AntiVirus() { return TQPROD_is_AntiVirus_enabled_on_TRIVA(); }

TEST_F(VsContextTest, ContextsAreAddedReplacedAndRemovedForEveryProcess) {
  EXPECT_EQ(Ids({0, 0}), Walk());  // a fresh machine has context 0 only
  EXPECT_EQ(0, tq_is_triva());
  ASSERT_EQ(0, tq_ctxdb_add(7, 1, 0, 3) | tq_ctxdb_add(2, 0, 1, 0));
  EXPECT_EQ(Ids({0, 2, 7, 0}), Walk());
  EXPECT_EQ(1, tq_is_triva());
  EXPECT_EQ(Ids({1, 0, 3}), Flags(7));
  unsigned id = 7;
  EXPECT_EQ(-1, ctxdb_get_instances_by_ctxid(7, &id, 0));
  // Adding again replaces; context 0 may carry flags but cannot be removed.
  ASSERT_EQ(0, tq_ctxdb_add(2, 1, 0, 9) | tq_ctxdb_add(0, 0, 1, 4));
  EXPECT_EQ(Ids({1, 0, 9}), Flags(2));
  EXPECT_EQ(Ids({0, 1, 4}), Flags(0));
  EXPECT_EQ(Ids({-1, 0, -1}), Ids({tq_ctxdb_remove(0), tq_ctxdb_remove(7), tq_ctxdb_remove(7)}));
  // The iterator needs init and walks the snapshot taken by it.
  ASSERT_EQ((Ints{-1, 0, -1, 0}),
            (Ints{ctxdb_iterator_next(&id), ctxdb_iterator_init(), ctxdb_iterator_next(nullptr), tq_ctxdb_remove(2)}));
  EXPECT_EQ(Ids({1, 1, 2, 0}),  // the third item: the id the second call gave
            Ids({ctxdb_iterator_next(&id), ctxdb_iterator_next(&id), id, ctxdb_iterator_next(&id)}));
  // Another process sees the same table; the largest id and count survive.
  EXPECT_EQ(0, Wait(Spawn([] { return tq_ctxdb_add(0xFFFFFFFFu, 0, 1, 0xFFFFFFFFu) != 0; })));
  EXPECT_EQ(Ids({0, 0xFFFFFFFFll, 0}), Walk());
  EXPECT_EQ(Ids({0, 1, 0xFFFFFFFFll}), Flags(0xFFFFFFFFu));
  // A switch reaches the context's own registry at the next reset; a
  // removed context cannot be selected.
  PutStr("SOFTWARE\\Probe", "Where", "main");
  ASSERT_EQ(0, tq_set_vs_env(0xFFFFFFFFu));
  EXPECT_EQ("main", GetStr("SOFTWARE\\Probe", "Where"));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_EQ("<absent>", GetStr("SOFTWARE\\Probe", "Where"));
  EXPECT_EQ(-1, tq_set_vs_env(7));
  // An unreadable database: no walk, no add, no switch but back to 0.
  WriteFile(regdir_ + "/contexts.db", std::string(64, 'x'));
  EXPECT_EQ(Ids({-1}), Walk());
  EXPECT_EQ(Ids({-1, -1}), Ids({tq_ctxdb_add(3, 0, 0, 0), tq_set_vs_env(0xFFFFFFFFu)}));
}

TEST_F(VsContextTest, SetEverywhereOnlyFromContextZeroAndOnlyWhereIPv6Runs) {
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "6.0", 0));
  EXPECT_EQ("0 | | 0/0 |", Run([] { return FwSetFireWallIPv6(7); }));  // no virtual systems
  EXPECT_EQ(0, g_platform.iterator_inits);
  MakeContexts(0, 3);
  EXPECT_EQ("0 | 2 0 | 2/2 |", Run([] { return FwSetFireWallIPv6(1); }));  // on: where IPv6 runs
  EXPECT_EQ(Strings({"1", "<null>", "1"}), Ipv6());
  Switch(1);
  EXPECT_EQ("-1 | | 0/0 | FwSetFireWallIPv6: operation is permitted only from context 0.",
            Run([] { return FwSetFireWallIPv6(0); }));
  Switch(0);
  EXPECT_EQ(0, FwSetFireWallIPv6(0));  // off: everywhere
  EXPECT_EQ(Strings({"0", "0", "0"}), Ipv6());
}

// Whatever fails on the way, the process ends in the context it started in
// (or says it could not), and every selection is followed by a rebinding.
TEST_F(VsContextTest, FailuresAcrossContextsAreReported) {
  MakeContexts(1, 1);
  SetIn(2, "MRK", "AVEnabled", "1");
  g_platform.fail_iterator_init = true;  // no walk: nothing selected
  EXPECT_EQ("-1 | | 0/0 | FwSetFireWallIPv6: failed to initialize ctxdb iterator.",
            Run([] { return FwSetFireWallIPv6(1); }));
  EXPECT_EQ("-1 | | 0/0 |", Run(AntiVirus));
  EXPECT_EQ(-1, TQPROD_is_blade_enabled_on_TRIVA(""));
  ResetPlatform();
  g_platform.fail_instances = true;  // the walk is ended
  EXPECT_EQ("-1 | | 0/0 | FwSetFireWallIPv6:[ERROR] failed to get the instances6 value of the "
            "ctxdb for vs 1.",
            Run([] { return FwSetFireWallIPv6(2); }));
  EXPECT_EQ(-1, ctxdb_iterator_next(nullptr));
  ResetPlatform();
  g_platform.failing_env = {2};  // context 2 cannot be entered: 1 keeps the value written before
  EXPECT_EQ("-1 | 1 0 2 0 | 3/3 | FwSetFireWallIPv6Ctx: failed to switch to context 2. "
            "FwSetFireWallIPv6:[ERROR] failed to set FireWallIPv6 on ctx 2.",
            Run([] { return FwSetFireWallIPv6(5); }));
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  // One context from another: written there, then back where it started.
  ResetPlatform();
  Switch(1);
  EXPECT_EQ("0 | 2 1 | 2/2 |", Run([] { return FwSetFireWallIPv6Ctx(0xFFFFFFFFu, 2); }));
  Switch(2);
  g_platform.failing_env = {2};  // the way back fails: the message names 0 whatever the start
  EXPECT_EQ("-1 | 0 2 | 2/2 | FwSetFireWallIPv6Ctx: failed to switch to context 0.",
            Run([] { return FwSetFireWallIPv6Ctx(1, 0); }));
  ResetPlatform();
  g_platform.fail_reset_from = 0;  // rebinding fails after the switch: nothing written
  EXPECT_EQ("-1 | 1 0 | 2/1 |", Run([] { return FwSetFireWallIPv6Ctx(6, 1); }));
  // A blade check: a context that cannot be entered midway gives -1.
  ResetPlatform();
  Switch(1);
  g_platform.failing_env = {2};
  EXPECT_EQ("-1 | 0 1 2 1 | 3/3 |", Run(AntiVirus));
  ResetPlatform();
  g_platform.fail_env_from = 3;  // the way back fails: the answer is kept, still rebound
  EXPECT_EQ("1 | 0 1 2 1 | 4/4 | TQPROD_is_blade_enabled_on_TRIVA: failed to switch to context 1.",
            Run(AntiVirus));
  ResetPlatform();
  g_platform.fail_reset_from = 3;  // rebinding fails on the way back (to 2): the cache is dropped anyway
  EXPECT_EQ("-1 | 0 1 2 2 | 4/4 |", Run(AntiVirus));
  ResetPlatform();
  Switch(0);
  EXPECT_EQ(Strings({"1", "5", "-1"}), Ipv6());
}

TEST_F(VsContextTest, FeatureChecksStopAtTheFirstContextWhoseTextIsExactlyOne) {
  MakeContexts();
  const struct {
    int (*fn)(void);
    const char *name;
  } forms[] = {{TQPROD_is_ZMAIL_enabled_on_TRIVA, "ZMAILEnabled"},
               {TQPROD_is_AntiVirus_enabled_on_TRIVA, "AVEnabled"},
               {TQPROD_is_AntiBot_enabled_on_TRIVA, "ABOTEnabled"},
               {TQPROD_is_URLF_enabled_on_TRIVA, "APPIUFEnabled"},
               {TQPROD_is_APPI_enabled_on_TRIVA, "APPIEnabled"}};
  for (const char *text : {"01", "1 ", "true"}) {
    SetIn(1, "MRK", "AVEnabled", text);
    EXPECT_EQ(0, AntiVirus()) << text;
  }
  for (const auto &f : forms) {
    InContext(2, [&] { ASSERT_EQ(0, TQPROD_SetValue("MRK", f.name, 4, "1", 1)); });
    for (const auto &g : forms) EXPECT_EQ(&f == &g, g.fn()) << f.name << " asks " << g.name;
    InContext(2, [&] { ASSERT_EQ(0, TQPROD_DelValue("MRK", f.name, 1)); });
  }
  SetIn(1, "MRK", "AVEnabled", "1");
  SetIn(2, "MRK", "AVEnabled", "1");
  Switch(2);
  EXPECT_EQ("1 | 0 1 2 | 3/3 |", Run([] { return TQPROD_is_blade_enabled_on_TRIVA("AVEnabled"); }));
  EXPECT_STREQ("1", TQPROD_GetValue("MRK", "AVEnabled", 1));  // context 2's registry again
  // Either of APPI and URLF; RMX asks its own product.
  EXPECT_EQ(0, TQPROD_is_APPI_or_URLF_enabled_on_TRIVA());
  SetIn(2, "MRK", "APPIUFEnabled", "1");
  EXPECT_EQ(1, TQPROD_is_APPI_or_URLF_enabled_on_TRIVA());
  SetIn(1, "MRK", "isXlnkRunning", "1");
  EXPECT_EQ(0, TQPROD_is_RMX_enabled_on_TRIVA());
  SetIn(1, "XLNK", "isXlnkRunning", "1");
  EXPECT_EQ(1, TQPROD_is_RMX_enabled_on_TRIVA());
  EXPECT_EQ(0u, tq_get_current_ctx_id());
}

}  // namespace
