// Virtual-system contexts: the context database, the context switch, the
// machine-state questions, and the operations across contexts, on real
// contexts that each have their own registry file.
#include <dlfcn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

using tqtest::g_platform;
using Strings = std::vector<std::string>;
using Calls = std::vector<unsigned>;
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

class VsContextTest : public tqtest::RegistryTest {
 protected:
  void TearDown() override {
    tqtest::ResetPlatform();
    Switch(0);
    RegistryTest::TearDown();
  }
  static void Switch(unsigned ctx) {
    ASSERT_EQ(0, tq_set_vs_env(ctx));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  // Runs fn in ctx and comes back to 0, leaving the recorded calls alone.
  static void InContext(unsigned ctx, const std::function<void()> &fn) {
    tqtest::Platform saved = g_platform;
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
      InContext(c, [&] {
        const char *v = TQPROD_GetValue("MRK", "FireWallIPv6", 1);
        out[c] = v ? v : "<none>";
      });
    return out;
  }
  // Starts recording platform calls, messages, rebindings and cache drops.
  void Begin() {
    g_platform.set_env_calls.clear();
    g_platform.errors.clear();
    resets_ = g_platform.reset_calls;
    drops_ = g_cache_drops;
  }
  // {rebindings, cache drops} since Begin().
  std::pair<int, int> Rebinds() const {
    return {g_platform.reset_calls - resets_, g_cache_drops - drops_};
  }
  int resets_ = 0, drops_ = 0;
};

TEST_F(VsContextTest, ContextsAreAddedReplacedAndRemovedForEveryProcess) {
  EXPECT_EQ(Ids({0, 0}), Walk());  // a fresh machine has context 0 only
  EXPECT_EQ(0, tq_is_triva());
  ASSERT_EQ(0, tq_ctxdb_add(7, 1, 0, 3));
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 1, 0));
  EXPECT_EQ(Ids({0, 2, 7, 0}), Walk());
  EXPECT_EQ(1, tq_is_triva());
  EXPECT_EQ(Ids({1, 0, 3}), Flags(7));
  unsigned id = 7;
  EXPECT_EQ(-1, ctxdb_get_instances_by_ctxid(7, &id, 0));
  ASSERT_EQ(0, tq_ctxdb_add(2, 1, 0, 9));  // adding again replaces
  ASSERT_EQ(0, tq_ctxdb_add(0, 0, 1, 4));  // context 0 may carry flags
  EXPECT_EQ(Ids({1, 0, 9}), Flags(2));
  EXPECT_EQ(Ids({0, 1, 4}), Flags(0));
  EXPECT_EQ(-1, tq_ctxdb_remove(0));  // but cannot be removed
  EXPECT_EQ(0, tq_ctxdb_remove(7));
  EXPECT_EQ(-1, tq_ctxdb_remove(7));
  // The iterator needs init and walks the snapshot taken by it.
  EXPECT_EQ(-1, ctxdb_iterator_next(&id));
  ASSERT_EQ(0, ctxdb_iterator_init());
  EXPECT_EQ(-1, ctxdb_iterator_next(nullptr));
  ASSERT_EQ(0, tq_ctxdb_remove(2));
  EXPECT_EQ(1, ctxdb_iterator_next(&id));
  EXPECT_EQ(1, ctxdb_iterator_next(&id));
  EXPECT_EQ(2u, id);
  EXPECT_EQ(0, ctxdb_iterator_next(&id));
  // Another process sees the same table; the largest id and count survive.
  pid_t pid = fork();
  if (pid == 0) _exit(tq_ctxdb_add(0xFFFFFFFFu, 0, 1, 0xFFFFFFFFu) == 0 ? 0 : 1);
  int status = -1;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_EQ(0, status);
  EXPECT_EQ(Ids({0, 0xFFFFFFFFll, 0}), Walk());
  EXPECT_EQ(Ids({0, 1, 0xFFFFFFFFll}), Flags(0xFFFFFFFFu));
  // A switch reaches the context's own registry at the next reset; a
  // removed context cannot be selected.
  tqtest::PutStr("SOFTWARE\\Probe", "Where", "main");
  ASSERT_EQ(0, tq_set_vs_env(0xFFFFFFFFu));
  EXPECT_EQ("main", tqtest::GetStr("SOFTWARE\\Probe", "Where"));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_EQ("<absent>", tqtest::GetStr("SOFTWARE\\Probe", "Where"));
  EXPECT_EQ(-1, tq_set_vs_env(7));
  // An unreadable database: no walk, no add, no switch but back to 0.
  tqtest::WriteFile(regdir_ + "/contexts.db", std::string(64, 'x'));
  EXPECT_EQ(Ids({-1}), Walk());
  EXPECT_EQ(-1, tq_ctxdb_add(3, 0, 0, 0));
  EXPECT_EQ(-1, tq_set_vs_env(0xFFFFFFFFu));
}

TEST_F(VsContextTest, MachineStateComesFromMarkerFilesAndTheMainRegistry) {
  tqtest::WriteFile(sysroot_ + "/etc/tqplatform/usermode", "");
  EXPECT_EQ(Ids({1, 0}), Ids({tq_is_usermode(), IsVerdra()}));
  // A multi-domain server: a non-empty string CurrentVersion of the
  // product in the main system's registry, never inside a virtual system.
  const char kKey[] = "SOFTWARE\\Tarquel\\OSTRIVA";
  tqtest::MakeKey(kKey);
  EXPECT_EQ(0, is_virtual_local_address());
  for (auto [type, text, want] : std::initializer_list<std::tuple<unsigned, const char *, int>>{
           {1, "", 0}, {7, "R80", 0}, {1, "R80", 1}}) {
    tqtest::PutRaw(kKey, "CurrentVersion", type, text, static_cast<unsigned>(strlen(text) + 1));
    EXPECT_EQ(want, is_virtual_local_address()) << type << " " << text;
  }
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 0, 0));
  ASSERT_EQ(0, tq_set_vs_env(2));
  EXPECT_EQ(0, is_virtual_local_address());  // still the main registry's version
}

TEST_F(VsContextTest, SetEverywhereOnlyFromContextZeroAndOnlyWhereIPv6Runs) {
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "6.0", 0));
  EXPECT_EQ(0, FwSetFireWallIPv6(7));  // no virtual systems: no walk
  EXPECT_EQ(0, g_platform.iterator_inits);
  MakeContexts(0, 3);
  Begin();
  EXPECT_EQ(0, FwSetFireWallIPv6(1));  // on: only where IPv6 instances run
  EXPECT_EQ(Calls({2, 0}), g_platform.set_env_calls);
  EXPECT_EQ(std::make_pair(2, 2), Rebinds());
  EXPECT_EQ(Strings({"1", "<none>", "1"}), Ipv6());
  Switch(1);
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6(0));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6: operation is permitted only from context 0"},
            g_platform.errors);
  EXPECT_EQ(Calls{}, g_platform.set_env_calls);
  Switch(0);
  EXPECT_EQ(0, FwSetFireWallIPv6(0));  // off: everywhere
  EXPECT_EQ(Strings({"0", "0", "0"}), Ipv6());
}

TEST_F(VsContextTest, SetEverywhereReportsFailuresAcrossContexts) {
  MakeContexts(1, 1);
  g_platform.fail_iterator_init = true;
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6(1));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6: failed to initialize ctxdb iterator"}, g_platform.errors);
  g_platform.fail_iterator_init = false;
  g_platform.fail_instances = true;
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6(2));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6:[ERROR] failed to get the instances6 value of the ctxdb "
                    "for vs 1"},
            g_platform.errors);
  EXPECT_EQ(-1, ctxdb_iterator_next(nullptr));  // the walk was ended
  g_platform.fail_instances = false;
  // Context 2 cannot be entered: 1 keeps the value written before.
  g_platform.failing_env = {2};
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6(5));
  EXPECT_EQ(Strings({"FwSetFireWallIPv6Ctx: failed to switch to context 2",
                     "FwSetFireWallIPv6:[ERROR] failed to set FireWallIPv6 on ctx 2"}),
            g_platform.errors);
  g_platform.failing_env.clear();
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  EXPECT_EQ(Strings({"5", "5", "<none>"}), Ipv6());
}

TEST_F(VsContextTest, SetInOneContextWritesThereAndReturns) {
  MakeContexts();
  Switch(1);
  Begin();
  EXPECT_EQ(0, FwSetFireWallIPv6Ctx(0xFFFFFFFFu, 2));
  EXPECT_EQ(Calls({2, 1}), g_platform.set_env_calls);  // back where it started
  EXPECT_EQ(std::make_pair(2, 2), Rebinds());
  // The way back fails: the message names context 0 whatever the start.
  Switch(2);
  g_platform.failing_env = {2};
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(1, 0));
  EXPECT_EQ(Strings{"FwSetFireWallIPv6Ctx: failed to switch to context 0"}, g_platform.errors);
  EXPECT_EQ(Calls({0, 2}), g_platform.set_env_calls);
  g_platform.failing_env.clear();
  // Rebinding fails after the switch: nothing written; back and rebound.
  g_platform.fail_reset_from = g_platform.reset_calls;
  Begin();
  EXPECT_EQ(-1, FwSetFireWallIPv6Ctx(6, 1));
  g_platform.fail_reset_from = -1;
  EXPECT_EQ(std::make_pair(2, 1), Rebinds());
  EXPECT_EQ(Strings{}, g_platform.errors);
  Switch(0);
  EXPECT_EQ(Strings({"1", "<none>", "-1"}), Ipv6());
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
    EXPECT_EQ(0, TQPROD_is_AntiVirus_enabled_on_TRIVA()) << text;
  }
  for (const auto &f : forms) {
    InContext(2, [&] { ASSERT_EQ(0, TQPROD_SetValue("MRK", f.name, 4, "1", 1)); });
    for (const auto &g : forms) EXPECT_EQ(&f == &g, g.fn()) << f.name << " asks " << g.name;
    InContext(2, [&] { ASSERT_EQ(0, TQPROD_DelValue("MRK", f.name, 1)); });
  }
  SetIn(1, "MRK", "AVEnabled", "1");
  SetIn(2, "MRK", "AVEnabled", "1");
  Switch(2);
  Begin();
  EXPECT_EQ(1, TQPROD_is_blade_enabled_on_TRIVA("AVEnabled"));
  EXPECT_EQ(Calls({0, 1, 2}), g_platform.set_env_calls);  // 0, 1, then back
  EXPECT_EQ(std::make_pair(3, 3), Rebinds());
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

TEST_F(VsContextTest, FeatureCheckFailures) {
  MakeContexts();
  SetIn(2, "MRK", "AVEnabled", "1");
  g_platform.fail_iterator_init = true;
  Begin();
  EXPECT_EQ(-1, TQPROD_is_blade_enabled_on_TRIVA(""));
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  EXPECT_EQ(Calls{}, g_platform.set_env_calls);
  g_platform.fail_iterator_init = false;
  // A context that cannot be entered midway: -1, and back in the start.
  Switch(1);
  g_platform.failing_env = {2};
  Begin();
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  EXPECT_EQ(Calls({0, 1, 2, 1}), g_platform.set_env_calls);
  EXPECT_EQ(std::make_pair(3, 3), Rebinds());
  // The way back fails: reported with the start id, the answer is kept.
  g_platform.failing_env.clear();
  g_platform.fail_env_from = 3;
  Begin();
  EXPECT_EQ(1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  g_platform.fail_env_from = -1;
  EXPECT_EQ(Strings{"TQPROD_is_blade_enabled_on_TRIVA: failed to switch to context 1"},
            g_platform.errors);
  // Rebinding fails on the way back: -1, and the cache is dropped anyway.
  g_platform.fail_reset_from = g_platform.reset_calls + 3;
  Begin();
  EXPECT_EQ(-1, TQPROD_is_AntiVirus_enabled_on_TRIVA());
  g_platform.fail_reset_from = -1;
  EXPECT_EQ(std::make_pair(4, 4), Rebinds());
}

}  // namespace
