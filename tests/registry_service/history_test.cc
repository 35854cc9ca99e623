// Change history: every change is recorded with its writer, and a rollback
// puts the registry back exactly as it was at a checkpoint, or refuses and
// changes nothing when the history it needs is gone.
#include <signal.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

// The whole registry as text: keys in enumeration order, values in
// creation order, names with their case, types and every byte.
void Dump(const std::string &key, std::string *out) {
  *out += "[" + key + "]\n";
  for (const std::string &name : ValueNames(key)) {
    RawValue v = GetRaw(key, name);
    *out += name + "=" + std::to_string(v.type) + ":" + v.data + "\n";
  }
  for (const std::string &sub : SubKeys(key)) Dump(key.empty() ? sub : key + "\\" + sub, out);
}

std::string Export() {
  std::string out;
  Dump("", &out);
  return out;
}

class HistoryTest : public RegistryTest {
 protected:
  void TearDown() override {
    unsetenv("TQ_REGISTRY_HISTORY");
    RegistryTest::TearDown();
  }
  static void Keep(const char *setting) {
    setenv("TQ_REGISTRY_HISTORY", setting, 1);
    ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  }
  std::string Where() const { return "ctx0.db in " + regdir_ + ": "; }
};

// Random changes through every writing entry point: keys created and
// deleted with their subtrees, names whose case changes, values of every
// type set, replaced, deleted and copied, and batches kept or abandoned.
class Mutator {
 public:
  explicit Mutator(unsigned seed) : rng_(seed) {}

  void Step() {
    const std::string key = Key(), other = Key();
    const TQHKEY h = OpenRaw(key), g = OpenRaw(other);  // 0 when missing
    TQHKEY made = 0;
    const int op = Pick(8);
    if (op == 0 && TqkRegCreateKey(Root(), key.c_str(), &made) == TQREG_OK) TqkRegCloseKey(made);
    // 1 deletes a subtree; 2 renames: deletes, then creates under another name
    if ((op == 1 || op == 2) && TqkRegDeleteKey(Root(), key.c_str()) == TQREG_OK && op == 2)
      Set(other);
    if (op == 3 && h) TqkRegDeleteValue(h, Name().c_str());
    if (op == 4) TQPRODIS_SetVarToRegistry(key.c_str(), Name().c_str(), rng_(), 0);
    if (op == 5 && h && g) TQPRODIS_CopyKeyValues(h, g);
    if (op == 6 && TqkRegBeginBatch() == TQREG_OK) {
      for (int i = Pick(5); i >= 0; --i) Set(Key());
      TqkRegEndBatch(Pick(2));
    }
    if (op == 7) Set(key);
    for (TQHKEY k : {h, g})
      if (k) TqkRegCloseKey(k);
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::string Name() {
    static const char *const kNames[] = {"alpha", "beta", "g", ""};
    std::string name = kNames[Pick(4)];
    for (char &c : name)
      if (Pick(3) == 0) c = static_cast<char>(c - 32);  // the case changes
    return name;
  }
  std::string Key() {
    std::string key = "SOFTWARE";
    for (int depth = Pick(3); depth >= 0; --depth) key += "\\" + (Name() + "k");
    return key;
  }
  void Set(const std::string &key) {
    static const unsigned kTypes[] = {TQREG_SZ, TQREG_EXPAND_SZ, TQREG_DWORD, TQREG_MULTI_SZ, 3};
    std::string data(static_cast<size_t>(Pick(6) * 61), '\0');  // up to 305 bytes
    for (char &c : data) c = static_cast<char>(rng_());
    TQHKEY h;
    if (TqkRegCreateKey(Root(), key.c_str(), &h) != TQREG_OK) return;
    TqkRegSetValueEx(h, Name().c_str(), 0, kTypes[Pick(5)], data.data(),
                     static_cast<unsigned>(data.size()));
    TqkRegCloseKey(h);
  }
  std::mt19937 rng_;
};

TEST_F(HistoryTest, RollbackRestoresTheExactRegistryAndCanItselfBeUndone) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Mutator m(seed);
    for (int i = 0; i < 60; ++i) m.Step();
    const std::string at_checkpoint = Export();
    ASSERT_EQ(TQREG_OK, TqkRegCheckpoint("before"));
    for (int i = 0; i < 300; ++i) m.Step();
    const std::string changed = Export();
    ASSERT_EQ(TQREG_OK, TqkRegCheckpoint("after"));

    // Inside an abandoned batch the rollback is seen by this process only.
    ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
    ASSERT_EQ(TQREG_OK, TqkRegRollback("before"));
    EXPECT_EQ(at_checkpoint, Export());
    ASSERT_EQ(TQREG_OK, TqkRegEndBatch(0));
    EXPECT_EQ(changed, Export());

    ASSERT_EQ(TQREG_OK, TqkRegRollback("before")) << TqkRegGetLastErrorText();
    EXPECT_EQ(at_checkpoint, Export());
    ASSERT_EQ(TQREG_OK, TqkRegRollback("after")) << TqkRegGetLastErrorText();
    EXPECT_EQ(changed, Export());
  }
  // A reset lets go of every statement, so the database's files close with it.
  const int fds = OpenFdCount();
  for (const char *name : {"r1", "r2", "r3"}) ASSERT_EQ(TQREG_OK, (TqkResetGlobalEntries(), TqkRegCheckpoint(name)));
  EXPECT_EQ(fds, OpenFdCount());
}

std::string Bytes(int has, unsigned type, const void *data, unsigned size) {
  if (!has) return "-";
  return std::to_string(type) + ":" + std::string(static_cast<const char *>(data), size);
}

// The history after a position: one line per change, and its writer.
struct Listed {
  std::vector<std::string> lines, writers;
  std::vector<int64_t> seqs, times;
};

Listed List(int64_t after = 0) {
  Listed out;
  EXPECT_EQ(TQREG_OK, TqkRegHistory(after, [](const TQREGCHANGE *c, void *ctx) {
    Listed *o = static_cast<Listed *>(ctx);
    o->lines.push_back(std::to_string(c->op) + " " + c->path + " [" + c->name + "] " +
                       Bytes(c->has_old, c->old_type, c->old_data, c->old_size) + " " +
                       Bytes(c->has_new, c->new_type, c->new_data, c->new_size));
    o->writers.push_back(std::string(c->process) + "[" + std::to_string(c->pid) + "] uid " +
                         std::to_string(c->uid));
    o->seqs.push_back(c->seq);
    o->times.push_back(c->time_ms);
    return 0;
  }, &out));
  return out;
}

TEST_F(HistoryTest, EachChangeIsRecordedWithItsWriter) {
  const int64_t start = static_cast<int64_t>(time(nullptr)) * 1000;
  // A watch begun while there is no history yet sees the first changes too.
  EXPECT_EQ(TQREG_E_TIMEOUT, TqkRegNotifyChangeKeyValue(Root(), 1, TQREG_NOTIFY_VALUE, 0));
  pid_t pid = Spawn([] {
    prctl(PR_SET_NAME, "hist-writer");
    TQHKEY h;
    uint32_t n = 7;
    int rc = TqkRegCreateKey(Root(), "SOFTWARE\\H\\Sub", &h);
    rc |= TqkRegSetValueEx(h, "Num", 0, TQREG_DWORD, &n, 4);
    rc |= TqkRegSetValueEx(h, "NUM", 0, TQREG_SZ, "x", 2);
    rc |= TqkRegDeleteValue(h, "num");
    rc |= TqkRegSetValueEx(h, "v", 0, TQREG_SZ, "y", 2);
    rc |= TqkRegDeleteKey(Root(), "software\\h");
    return rc;
  });
  ASSERT_EQ(0, Wait(pid));
  EXPECT_EQ(TQREG_OK, TqkRegNotifyChangeKeyValue(Root(), 1, TQREG_NOTIFY_VALUE, 0));
  const std::string num("\x07\0\0\0", 4), nul(1, '\0');
  Listed all = List();
  EXPECT_EQ((std::vector<std::string>{
                "1 SOFTWARE [] - -", "1 SOFTWARE\\H [] - -", "1 SOFTWARE\\H\\Sub [] - -",
                "3 SOFTWARE\\H\\Sub [Num] - 4:" + num,
                "3 SOFTWARE\\H\\Sub [Num] 4:" + num + " 1:x" + nul,
                "4 SOFTWARE\\H\\Sub [Num] 1:x" + nul + " -", "3 SOFTWARE\\H\\Sub [v] - 1:y" + nul,
                "2 SOFTWARE\\H [] - -"}),
            all.lines);
  const std::string writer =
      "hist-writer[" + std::to_string(pid) + "] uid " + std::to_string(getuid());
  EXPECT_EQ(Strings(8, writer), all.writers);
  ASSERT_EQ(8u, all.seqs.size());
  EXPECT_LE(start, all.times.front());
  EXPECT_GE(static_cast<int64_t>(time(nullptr) + 1) * 1000, all.times.back());
  // Positions increase, and a listing can go on from any of them.
  EXPECT_TRUE(std::is_sorted(all.seqs.begin(), all.seqs.end()));
  EXPECT_EQ(std::vector<std::string>{"2 SOFTWARE\\H [] - -"}, List(all.seqs[6]).lines);
}

TEST_F(HistoryTest, RollbackRefusesWithoutTheHistoryItNeedsAndChangesNothing) {
  EXPECT_EQ((Ints{TQREG_E_INVALID, TQREG_E_INVALID, TQREG_E_LIMIT}),
            (Ints{TqkRegCheckpoint(""), TqkRegRollback(nullptr), TqkRegRollback(std::string(256, 'c').c_str())}));
  EXPECT_EQ(Where() + "checkpoint name longer than 255 characters", TqkRegGetLastErrorText());
  EXPECT_EQ((Ints{TQREG_OK, TQREG_E_NOTFOUND}), (Ints{TqkRegCheckpoint(std::string(255, 'c').c_str()), TqkRegRollback("nope")}));
  EXPECT_EQ(Where() + "no checkpoint named \"nope\"", TqkRegGetLastErrorText());

  // Pruned: only the last five changes are kept.
  Keep("5");
  ASSERT_EQ(TQREG_OK, TqkRegCheckpoint("old"));
  for (uint32_t i = 0; i < 40; ++i) PutNum("SOFTWARE\\P", "v" + std::to_string(i % 7), i);
  std::string before = Export();
  EXPECT_EQ(TQREG_E_NOHISTORY, TqkRegRollback("old"));
  EXPECT_EQ(Where() +
                "cannot roll back to checkpoint \"old\": the history since it was pruned "
                "(TQ_REGISTRY_HISTORY keeps the last 5 changes)",
            TqkRegGetLastErrorText());
  EXPECT_EQ(before, Export());
  EXPECT_GE(5u + 16u, List().lines.size());

  // Unrecorded: a stretch of writes with recording off.
  Keep("100");
  ASSERT_EQ(TQREG_OK, TqkRegCheckpoint("gap"));
  PutNum("SOFTWARE\\P", "recorded", 1);
  Keep("off");
  EXPECT_EQ(TQREG_E_NOHISTORY, TqkRegCheckpoint("x"));
  PutNum("SOFTWARE\\P", "unrecorded", 1);
  PutNum("SOFTWARE\\P", "unrecorded2", 1);
  Keep("100");
  PutNum("SOFTWARE\\P", "recorded", 2);
  before = Export();
  EXPECT_EQ(TQREG_E_NOHISTORY, TqkRegRollback("gap"));
  EXPECT_EQ(Where() +
                "cannot roll back to checkpoint \"gap\": changes were made since with history "
                "recording off",
            TqkRegGetLastErrorText());
  EXPECT_EQ(before, Export());
  // One marker for the whole unrecorded stretch.
  std::vector<std::string> tail = List().lines;
  EXPECT_EQ(1, std::count(tail.begin(), tail.end(), "7  [] - -"));

  std::string list;
  ASSERT_EQ(TQREG_OK, TqkRegCheckpoints([](const char *name, int64_t, int64_t, int usable, void *ctx) {
    *static_cast<std::string *>(ctx) += std::string(name).substr(0, 8) + (usable ? "+ " : "- ");
    return 0;
  }, &list));
  EXPECT_EQ("cccccccc- old- gap- ", list);
}

// A rollback killed at any point leaves the registry as before it began.
TEST_F(HistoryTest, AKilledRollbackLeavesTheRegistryAsBefore) {
  unsigned seed = 3;
  for (int round = 0; round < 6; ++round) {
    const std::string at_checkpoint = Export();
    ASSERT_EQ(TQREG_OK, TqkRegCheckpoint("cp"));
    ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
    for (uint32_t i = 0; i < 1500; ++i)
      PutNum("SOFTWARE\\K\\" + std::to_string(i % 40), "v" + std::to_string(i), i);
    ASSERT_EQ(TQREG_OK, TqkRegEndBatch(1));
    const std::string changed = Export();
    pid_t pid = Spawn([] { return TqkRegRollback("cp"); });
    usleep(rand_r(&seed) % 40000);
    kill(pid, SIGKILL);
    int status = Wait(pid);
    const std::string now = Export();
    EXPECT_TRUE(now == at_checkpoint || (status != 0 && now == changed))
        << "round " << round << ", child status " << status;
  }
}

}  // namespace
