// Several processes on one registry: visibility of committed writes and
// no lost or torn values under concurrent writers and readers.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "reg_helpers.h"

using namespace regtest;

namespace {

class RegProcesses : public tqtest::RegistryTest {};

// Runs body in a forked child; returns its exit status (0 = success).
template <typename F>
pid_t Spawn(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A value that proves its own integrity: "<writer>:<seq>:<len>:" followed by
// a fill byte up to len bytes in total.
std::string Pattern(int writer, int seq) {
  size_t len = 64 + static_cast<size_t>((seq * 7919 + writer * 131) % 6000);
  std::string head = std::to_string(writer) + ":" + std::to_string(seq) + ":" +
                     std::to_string(len) + ":";
  std::string s = head;
  s.append(len - head.size(), static_cast<char>('a' + (writer * 7 + seq) % 26));
  return s;
}

// True when data is exactly Pattern(w, s) for the writer and seq it names.
bool Intact(const std::string &data, int *writer = nullptr, int *seq = nullptr) {
  int w = -1, s = -1;
  size_t len = 0;
  if (sscanf(data.c_str(), "%d:%d:%zu:", &w, &s, &len) != 3) return false;
  if (w < 0 || s < 0 || data != Pattern(w, s)) return false;
  if (writer) *writer = w;
  if (seq) *seq = s;
  return true;
}

bool SetBytes(TQHKEY h, const std::string &name, const std::string &data) {
  return TqkRegSetValueEx(h, name.c_str(), 0, 3, data.data(),
                          static_cast<unsigned>(data.size())) == TQREG_OK;
}

TEST_F(RegProcesses, CommittedWritesAreSeenByTheOtherProcessOnItsNextCall) {
  TQHKEY k = Create("SOFTWARE\\Tarquel\\MRK");
  ASSERT_EQ(TQREG_OK, SetNum(k, "Flag", 1));
  ASSERT_EQ(TQREG_OK, SetStr(k, "CurrentVersion", "V1"));
  TqkRegCloseKey(Create("V1", k));
  TqkRegCloseKey(Create("Sub1", k));
  const char *mrk = "SOFTWARE\\Tarquel\\MRK";
  Peer peer([mrk](int step) {
    TQHKEY c = 0;
    if (TqkRegOpenKey(Root(), mrk, &c) != TQREG_OK) return false;
    bool ok = false;
    switch (step) {
      case 1: ok = SetNum(c, "Flag", 2) == TQREG_OK; break;
      case 2: ok = TQPRODIS_SetVarToRegistry(mrk, "Flag", 3, 1) == 0; break;
      case 3: ok = TqkRegCloseKey(Create("Sub0", c)) == TQREG_OK; break;
      case 4: ok = SetStr(c, "CurrentVersion", "Sub0") == TQREG_OK; break;
      case 5: ok = TqkRegDeleteKey(c, "V1") == TQREG_OK; break;
    }
    TqkRegCloseKey(c);
    return ok;
  });
  // Every step follows reads that filled this process's caches.
  EXPECT_EQ(1, TQPRODIS_GetVarFromRegistry(mrk, "Flag", 0));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry(mrk, "Flag", 1));
  EXPECT_EQ(Strings({"Sub1", "V1"}), SubKeys(k));
  ASSERT_TRUE(peer.Step(1));
  EXPECT_EQ(2, TQPRODIS_GetVarFromRegistry(mrk, "Flag", 0));
  ASSERT_TRUE(peer.Step(2));
  EXPECT_EQ(3, TQPRODIS_GetVarFromRegistry(mrk, "Flag", 1));
  ASSERT_TRUE(peer.Step(3));
  EXPECT_EQ(Strings({"Sub0", "Sub1", "V1"}), SubKeys(k));
  ASSERT_TRUE(peer.Step(4));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry(mrk, "Flag", 1));
  TQHKEY v1 = 0;
  ASSERT_EQ(TQREG_OK, Open("V1", &v1, k));
  ASSERT_TRUE(peer.Step(5));
  EXPECT_EQ(TQREG_E_BADHANDLE, SetNum(v1, "x", 1));
  EXPECT_EQ(Strings({"Sub0", "Sub1"}), SubKeys(k));
  TqkRegCloseKey(v1);
  TqkRegCloseKey(k);
}

TEST_F(RegProcesses, ConcurrentWritersLoseNothingAndReadersSeeNoTornValue) {
  constexpr int kWriters = 2;
  constexpr int kPerWriter = 150;
  TQHKEY k = Create("Conc");
  ASSERT_NE(0u, k);

  pid_t writers[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    writers[w] = Spawn([w] {
      TQHKEY h = 0;
      if (TqkRegOpenKey(Root(), "Conc", &h) != TQREG_OK) return false;
      for (int i = 0; i < kPerWriter; ++i) {
        // Own distinct value, a shared one both overwrite, and a key each.
        if (!SetBytes(h, "w" + std::to_string(w) + "_" + std::to_string(i), Pattern(w, i)))
          return false;
        if (!SetBytes(h, "shared", Pattern(w, i))) return false;
        std::string sub = "k" + std::to_string(w) + "_" + std::to_string(i);
        if (TQPRODIS_SetVarToRegistry(("Conc\\Keys\\" + sub).c_str(), "n", i, 0) != 0)
          return false;
        // Read back the other writer's shared value while it writes.
        std::string data;
        if (Query(h, "shared", &data) && !Intact(data)) return false;
      }
      return TqkRegCloseKey(h) == TQREG_OK;
    });
    ASSERT_GT(writers[w], 0);
  }

  // Meanwhile this process reads: every value it sees must be whole, and a
  // writer's sequence in the shared value never goes backwards.
  int torn = 0, reads = 0;
  int last_seq[kWriters] = {-1, -1};
  int exit_code[kWriters] = {-1, -1};
  for (int round = 0; round < 400; ++round) {
    std::string data;
    int w, s;
    if (Query(k, "shared", &data)) {
      ++reads;
      if (!Intact(data, &w, &s)) {
        ++torn;
      } else {
        EXPECT_LE(last_seq[w], s);
        last_seq[w] = s;
      }
    }
    for (const std::string &name : ValueNames(k)) {
      if (Query(k, name, &data) && !Intact(data)) ++torn;
    }
    bool all_done = true;
    for (int i = 0; i < kWriters; ++i) {
      int status;
      if (exit_code[i] < 0 && waitpid(writers[i], &status, WNOHANG) == writers[i])
        exit_code[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      all_done = all_done && exit_code[i] >= 0;
    }
    if (all_done) break;
  }
  for (int i = 0; i < kWriters; ++i) {
    if (exit_code[i] < 0) exit_code[i] = Wait(writers[i]);
    EXPECT_EQ(0, exit_code[i]) << "writer " << i;
  }
  EXPECT_EQ(0, torn) << "of " << reads << " reads";

  // Afterwards every value of both writers is there, complete.
  Strings names = ValueNames(k);
  EXPECT_EQ(static_cast<size_t>(kWriters * kPerWriter + 1), names.size());
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kPerWriter; ++i) {
      std::string data;
      std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
      ASSERT_TRUE(Query(k, name, &data)) << name;
      EXPECT_EQ(Pattern(w, i), data) << name;
      EXPECT_EQ(i, TQPRODIS_GetVarFromRegistry(
                       ("Conc\\Keys\\k" + std::to_string(w) + "_" + std::to_string(i)).c_str(),
                       "n", 0));
    }
  }
  std::string shared;
  ASSERT_TRUE(Query(k, "shared", &shared));
  int w, s;
  ASSERT_TRUE(Intact(shared, &w, &s));
  EXPECT_EQ(kPerWriter - 1, s);
  TQHKEY keys = 0;
  ASSERT_EQ(TQREG_OK, Open("Conc\\Keys", &keys));
  EXPECT_EQ(static_cast<size_t>(kWriters * kPerWriter), SubKeys(keys).size());
  TqkRegCloseKey(keys);
  TqkRegCloseKey(k);
}

TEST_F(RegProcesses, ProcessesCreatingANewRegistryAtOnceShareOneSchema) {
  std::string fresh = regdir_ + "/fresh/dir";
  setenv("TQ_REGISTRY_DIR", fresh.c_str(), 1);
  pid_t kids[3];
  for (int i = 0; i < 3; ++i) {
    kids[i] = Spawn([i] {
      if (TqkResetGlobalEntries() != TQREG_OK) return false;
      std::string path = "SOFTWARE\\Tarquel\\P" + std::to_string(i);
      return TQPRODIS_SetVarToRegistry(path.c_str(), "n", i + 1, 0) == 0;
    });
  }
  for (pid_t pid : kids) EXPECT_EQ(0, Wait(pid));
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(i + 1, TQPRODIS_GetVarFromRegistry(
                         ("SOFTWARE\\Tarquel\\P" + std::to_string(i)).c_str(), "n", 0));
  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
}

}  // namespace
