// The context database, the context switch and the machine-state questions.
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tq_test.h"

namespace {

using Ids = std::vector<unsigned>;

class CtxdbTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    Switch(0);
  }
  void TearDown() override {
    ctxdb_iterator_free();
    tq_set_vs_env(0);
    TqkResetGlobalEntries();
    RegistryTest::TearDown();
  }
  static void Switch(unsigned ctx) {
    ASSERT_EQ(0, tq_set_vs_env(ctx));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  static Ids Walk() {
    Ids ids;
    EXPECT_GE(ctxdb_iterator_init(), 0);
    unsigned id = 0;
    int rc;
    while ((rc = ctxdb_iterator_next(&id)) > 0) ids.push_back(id);
    EXPECT_EQ(0, rc);
    ctxdb_iterator_free();
    return ids;
  }
  // {bridge, junction, instances} of ctx; instances is -1 when unreadable.
  static std::vector<long long> Flags(unsigned ctx) {
    unsigned count = 0;
    int rc = ctxdb_get_instances_by_ctxid(ctx, &count, 1);
    return {ctxdb_is_bridge(ctx), ctxdb_is_junction(ctx), rc == 0 ? (long long)count : -1};
  }
  static void SetKey(const char *path, const char *name, const char *text,
                     unsigned type = TQREG_SZ) {
    TQHKEY k;
    ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), path, &k));
    ASSERT_EQ(0, TqkRegSetValueEx(k, name, 0, type, text, (unsigned)strlen(text) + 1));
    TqkRegCloseKey(k);
  }
  static const char *Get(const char *path, const char *name) {
    return reinterpret_cast<const char *>(TQPRODIS_GetVarFromRegistry(path, name, 0));
  }
};

TEST_F(CtxdbTest, AddReplaceRemove) {
  EXPECT_EQ(Ids{0}, Walk());  // a fresh machine has context 0 only
  EXPECT_EQ(0, tq_is_triva());
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  EXPECT_EQ((std::vector<long long>{0, 0, 0}), Flags(0));
  EXPECT_EQ((std::vector<long long>{-1, -1, -1}), Flags(5));

  ASSERT_EQ(0, tq_ctxdb_add(7, 1, 0, 3));
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 1, 0));
  EXPECT_EQ((Ids{0, 2, 7}), Walk());
  EXPECT_NE(0, tq_is_triva());
  EXPECT_EQ((std::vector<long long>{1, 0, 3}), Flags(7));
  EXPECT_EQ((std::vector<long long>{0, 1, 0}), Flags(2));
  unsigned count = 0;
  EXPECT_NE(0, ctxdb_get_instances_by_ctxid(7, nullptr, 1));
  EXPECT_NE(0, ctxdb_get_instances_by_ctxid(7, &count, 0));
  ASSERT_EQ(0, tq_ctxdb_add(7, 0, 1, 9));  // adding again replaces
  EXPECT_EQ((std::vector<long long>{0, 1, 9}), Flags(7));

  // Context 0 keeps existing; its entry can carry flags.
  EXPECT_EQ(-1, tq_ctxdb_remove(0));
  ASSERT_EQ(0, tq_ctxdb_add(0, 1, 0, 4));
  EXPECT_EQ((std::vector<long long>{1, 0, 4}), Flags(0));
  EXPECT_EQ(0, tq_ctxdb_remove(7));
  EXPECT_EQ(-1, tq_ctxdb_remove(7));
  EXPECT_EQ(0, tq_ctxdb_remove(2));
  EXPECT_EQ(Ids{0}, Walk());
  EXPECT_EQ(0, tq_is_triva());

  // The largest ids and counts survive.
  ASSERT_EQ(0, tq_ctxdb_add(0xFFFFFFFFu, 0, 0, 0xFFFFFFFFu));
  EXPECT_EQ((Ids{0, 0xFFFFFFFFu}), Walk());
  EXPECT_EQ((std::vector<long long>{0, 0, 0xFFFFFFFFll}), Flags(0xFFFFFFFFu));
}

TEST_F(CtxdbTest, IteratorIsASnapshotAndNeedsInit) {
  unsigned id = 0;
  EXPECT_LT(ctxdb_iterator_next(&id), 0);  // no walk started
  ASSERT_EQ(0, tq_ctxdb_add(1, 0, 0, 0));
  ASSERT_GE(ctxdb_iterator_init(), 0);
  EXPECT_LT(ctxdb_iterator_next(nullptr), 0);
  ASSERT_EQ(1, ctxdb_iterator_next(&id));
  EXPECT_EQ(0u, id);
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 0, 0));  // not part of the running walk
  ASSERT_EQ(1, ctxdb_iterator_next(&id));
  EXPECT_EQ(1u, id);
  EXPECT_EQ(0, ctxdb_iterator_next(&id));
  EXPECT_EQ(0, ctxdb_iterator_next(&id));
  ctxdb_iterator_free();
  EXPECT_LT(ctxdb_iterator_next(&id), 0);
}

TEST_F(CtxdbTest, UnreadableDatabaseFailsCleanly) {
  tqtest::WriteFile(regdir_ + "/contexts.db", "this is not a database, just some text padding it out");
  EXPECT_LT(ctxdb_iterator_init(), 0);
  EXPECT_EQ(-1, tq_set_vs_env(3));
  EXPECT_EQ(0, tq_set_vs_env(0));  // the way back always works
  EXPECT_EQ(-1, tq_ctxdb_add(3, 0, 0, 0));
  EXPECT_EQ(0, tq_is_triva());
}

TEST_F(CtxdbTest, SwitchBindsTheRegistryToTheContextsOwnFile) {
  ASSERT_EQ(0, tq_ctxdb_add(4, 0, 0, 1));
  SetKey("SOFTWARE\\Probe", "Where", "main");
  EXPECT_EQ(-1, tq_set_vs_env(5));  // unknown: nothing changes
  EXPECT_EQ(0u, tq_get_current_ctx_id());

  Switch(4);
  EXPECT_EQ(4u, tq_get_current_ctx_id());
  EXPECT_EQ(nullptr, Get("SOFTWARE\\Probe", "Where"));
  SetKey("SOFTWARE\\Probe", "Where", "vs4");
  Switch(0);
  EXPECT_STREQ("main", Get("SOFTWARE\\Probe", "Where"));
  Switch(4);
  EXPECT_STREQ("vs4", Get("SOFTWARE\\Probe", "Where"));

  // A removed context can no longer be selected.
  Switch(0);
  ASSERT_EQ(0, tq_ctxdb_remove(4));
  EXPECT_EQ(-1, tq_set_vs_env(4));
}

TEST_F(CtxdbTest, OtherProcessesSeeTheSameContexts) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(tq_ctxdb_add(12, 1, 1, 2) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ((Ids{0, 12}), Walk());
  EXPECT_EQ(1, ctxdb_is_junction(12));
}

TEST_F(CtxdbTest, MachineStateComesFromMarkerFiles) {
  EXPECT_EQ(0, tq_is_usermode());
  EXPECT_EQ(0, IsVerdra());
  tqtest::WriteFile(sysroot_ + "/etc/tqplatform/usermode", "");
  EXPECT_EQ(1, tq_is_usermode());
  EXPECT_EQ(0, IsVerdra());
  tqtest::WriteFile(sysroot_ + "/etc/tqplatform/verdra", "");
  EXPECT_EQ(1, IsVerdra());
  unlink((sysroot_ + "/etc/tqplatform/usermode").c_str());
  EXPECT_EQ(0, tq_is_usermode());
  ASSERT_EQ(0, tq_ctxdb_add(1, 0, 0, 0));  // independent of contexts
  EXPECT_EQ(1, IsVerdra());
}

// A multi-domain server when the product has a string current version in
// the main system's registry, never inside a virtual system.
TEST_F(CtxdbTest, VirtualLocalAddressNeedsAServerVersionInContextZero) {
  const char kKey[] = "SOFTWARE\\Tarquel\\OSTRIVA";
  EXPECT_EQ(0, is_virtual_local_address());
  TQHKEY k;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kKey, &k));
  TqkRegCloseKey(k);
  EXPECT_EQ(0, is_virtual_local_address());  // key without a version
  SetKey(kKey, "CurrentVersion", "");
  EXPECT_EQ(0, is_virtual_local_address());
  SetKey(kKey, "CurrentVersion", "R80", 7);  // wrong type
  EXPECT_EQ(0, is_virtual_local_address());
  SetKey(kKey, "CurrentVersion", "R80");
  EXPECT_EQ(1, is_virtual_local_address());

  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 0, 0));
  Switch(2);
  SetKey(kKey, "CurrentVersion", "R80");
  EXPECT_EQ(0, is_virtual_local_address());
  Switch(0);
  EXPECT_EQ(1, is_virtual_local_address());
}

}  // namespace
