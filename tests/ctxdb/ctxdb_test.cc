// The context database, the context switch and the machine-state questions.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string.h>

#include <set>
#include <vector>

#include "tq_test.h"

namespace {

class CtxdbTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(0, tq_set_vs_env(0));
    ASSERT_EQ(0, TqkResetGlobalEntries());
  }
  void TearDown() override {
    ctxdb_iterator_free();
    tq_set_vs_env(0);
    TqkResetGlobalEntries();
    RegistryTest::TearDown();
  }
  std::vector<unsigned> Walk() {
    std::vector<unsigned> ids;
    EXPECT_GE(ctxdb_iterator_init(), 0);
    unsigned id = 0;
    int rc;
    while ((rc = ctxdb_iterator_next(&id)) > 0) ids.push_back(id);
    EXPECT_EQ(0, rc);
    ctxdb_iterator_free();
    return ids;
  }
};

TEST_F(CtxdbTest, FreshMachineHasOnlyContextZero) {
  EXPECT_EQ(std::vector<unsigned>{0}, Walk());
  EXPECT_EQ(0, tq_is_triva());
  EXPECT_EQ(0u, tq_get_current_ctx_id());
  unsigned count = 99;
  EXPECT_EQ(0, ctxdb_get_instances_by_ctxid(0, &count, 1));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(0, ctxdb_is_bridge(0));
  EXPECT_EQ(0, ctxdb_is_junction(0));
  EXPECT_EQ(-1, ctxdb_is_bridge(5));
  EXPECT_EQ(-1, ctxdb_is_junction(5));
  EXPECT_NE(0, ctxdb_get_instances_by_ctxid(5, &count, 1));
  EXPECT_EQ(0u, count);
}

TEST_F(CtxdbTest, AddReplaceRemove) {
  ASSERT_EQ(0, tq_ctxdb_add(7, 1, 0, 3));
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 1, 0));
  EXPECT_EQ((std::vector<unsigned>{0, 2, 7}), Walk());
  EXPECT_NE(0, tq_is_triva());
  EXPECT_EQ(1, ctxdb_is_bridge(7));
  EXPECT_EQ(0, ctxdb_is_junction(7));
  EXPECT_EQ(0, ctxdb_is_bridge(2));
  EXPECT_EQ(1, ctxdb_is_junction(2));
  unsigned count = 0;
  EXPECT_EQ(0, ctxdb_get_instances_by_ctxid(7, &count, 1));
  EXPECT_EQ(3u, count);
  EXPECT_NE(0, ctxdb_get_instances_by_ctxid(7, nullptr, 1));
  EXPECT_NE(0, ctxdb_get_instances_by_ctxid(7, &count, 0));

  // Adding again replaces the entry.
  ASSERT_EQ(0, tq_ctxdb_add(7, 0, 1, 9));
  EXPECT_EQ(0, ctxdb_is_bridge(7));
  EXPECT_EQ(1, ctxdb_is_junction(7));
  EXPECT_EQ(0, ctxdb_get_instances_by_ctxid(7, &count, 1));
  EXPECT_EQ(9u, count);

  // Context 0 keeps existing; its entry can carry flags.
  EXPECT_EQ(-1, tq_ctxdb_remove(0));
  ASSERT_EQ(0, tq_ctxdb_add(0, 1, 0, 4));
  EXPECT_EQ(1, ctxdb_is_bridge(0));
  EXPECT_EQ(0, ctxdb_get_instances_by_ctxid(0, &count, 1));
  EXPECT_EQ(4u, count);

  EXPECT_EQ(0, tq_ctxdb_remove(7));
  EXPECT_EQ(-1, tq_ctxdb_remove(7));
  EXPECT_EQ(0, tq_ctxdb_remove(2));
  EXPECT_EQ(std::vector<unsigned>{0}, Walk());
  EXPECT_EQ(0, tq_is_triva());
}

TEST_F(CtxdbTest, LargestIdsSurvive) {
  ASSERT_EQ(0, tq_ctxdb_add(0xFFFFFFFFu, 0, 0, 0xFFFFFFFFu));
  EXPECT_EQ((std::vector<unsigned>{0, 0xFFFFFFFFu}), Walk());
  unsigned count = 0;
  EXPECT_EQ(0, ctxdb_get_instances_by_ctxid(0xFFFFFFFFu, &count, 1));
  EXPECT_EQ(0xFFFFFFFFu, count);
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
  TQHKEY k;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Probe", &k));
  const char main_text[] = "main";
  ASSERT_EQ(0, TqkRegSetValueEx(k, "Where", 0, 1, main_text, sizeof main_text));
  TqkRegCloseKey(k);

  EXPECT_EQ(-1, tq_set_vs_env(5));  // unknown: nothing changes
  EXPECT_EQ(0u, tq_get_current_ctx_id());

  ASSERT_EQ(0, tq_set_vs_env(4));
  EXPECT_EQ(4u, tq_get_current_ctx_id());
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_NE(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Probe", 0, 0, &k));
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Probe", &k));
  const char vs_text[] = "vs4";
  ASSERT_EQ(0, TqkRegSetValueEx(k, "Where", 0, 1, vs_text, sizeof vs_text));
  TqkRegCloseKey(k);

  ASSERT_EQ(0, tq_set_vs_env(0));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_STREQ("main", reinterpret_cast<const char *>(TQPRODIS_GetVarFromRegistry("SOFTWARE\\Probe", "Where", 0)));
  ASSERT_EQ(0, tq_set_vs_env(4));
  ASSERT_EQ(0, TqkResetGlobalEntries());
  EXPECT_STREQ("vs4", reinterpret_cast<const char *>(TQPRODIS_GetVarFromRegistry("SOFTWARE\\Probe", "Where", 0)));

  // A removed context can no longer be selected.
  ASSERT_EQ(0, tq_set_vs_env(0));
  ASSERT_EQ(0, tq_ctxdb_remove(4));
  EXPECT_EQ(-1, tq_set_vs_env(4));
}

TEST_F(CtxdbTest, OtherProcessesSeeTheSameContexts) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(tq_ctxdb_add(12, 1, 1, 2) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ((std::vector<unsigned>{0, 12}), Walk());
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
  // Independent of the registry and of contexts.
  ASSERT_EQ(0, tq_ctxdb_add(1, 0, 0, 0));
  EXPECT_EQ(1, IsVerdra());
}

}  // namespace
