// The registry service: paths, case rules, order, deletion, handles,
// limits, the one-call reader and writer, and several processes on one
// registry (committed writes become visible, none is lost or torn, a write
// the disk refuses leaves nothing behind).
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;
using Reg = RegistryTest;

// Handle-level helpers; path-level access comes from raw.h.
TQHKEY Create(const std::string &path, TQHKEY parent = Root()) {
  TQHKEY h = 0;
  EXPECT_EQ(TQREG_OK, TqkRegCreateKey(parent, path.c_str(), &h)) << path;
  return h;
}

int SetBytes(TQHKEY h, const std::string &name, const std::string &data, unsigned type = 3) {
  return TqkRegSetValueEx(h, name.c_str(), 0, type, data.data(), unsigned(data.size()));
}

int SetStr(TQHKEY h, const std::string &name, const std::string &text) {
  return SetBytes(h, name, text + '\0', TQREG_SZ);
}

// Every byte of the value, or "<status>" when it cannot be read.
std::string Read(TQHKEY h, const std::string &name) {
  RawValue v = ReadRaw(h, name);
  return v.found ? v.data : "<" + std::to_string(v.status) + ">";
}

// A string value through the one-call reader, "<absent>" when there is none.
std::string Var(const std::string &key, const char *name, int versioned) {
  TQREGVAR v = TQPRODIS_GetVarFromRegistry(key.c_str(), name, versioned);
  return v ? reinterpret_cast<const char *>(v) : "<absent>";
}

TEST_F(Reg, KeysCompareWithoutCaseSortFoldedAndDeleteWithTheirSubtree) {
  // Another case and empty components reach the same key.
  PutStr("SOFTWARE\\Tarquel\\MRK\\R80", "x", "1");
  EXPECT_EQ("1", GetStr("\\software\\\\TARQUEL\\mrk\\r80\\", "X"));
  TQHKEY p = Create("P");
  // Names keep their first spelling; only ASCII letters fold, to lower
  // case, so "[" and "_" sort before every letter.
  for (const char *n : {"delta", "MiXeD\\x", "mixed\\y", "a1", "_u", "[x", "\xc3\xa9", "\xc3\x89"})
    MakeKey(std::string("P\\") + n);
  EXPECT_EQ(Strings({"[x", "_u", "a1", "delta", "MiXeD", "\xc3\x89", "\xc3\xa9"}), SubKeys("P"));
  // Deleted through another case; never the root; an enumerated name must
  // fit with its terminator.
  char buf[8];
  ASSERT_EQ((Ints{TQREG_OK, TQREG_E_NOTFOUND, TQREG_E_INVALID, TQREG_E_MOREDATA, TQREG_E_NOTFOUND}),
            (Ints{TqkRegDeleteKey(p, "MIXED"), TqkRegDeleteKey(Root(), "P\\mixed"), TqkRegDeleteKey(Root(), "\\"),
                  TqkRegEnumKey(p, 3, buf, 5), TqkRegEnumKey(p, 7, buf, sizeof buf)}));
  MakeKey("P\\mixed");  // re-created empty: nothing below survived
  EXPECT_EQ(Strings{}, SubKeys("P\\Mixed"));
  TqkRegCloseKey(p);
}

TEST_F(Reg, StaleAndClosedHandlesFailCleanlyAndAreNeverReused) {
  TQHKEY k = Create("S\\K"), below = Create("S\\K\\Below"), h = 0;
  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), "S\\K"));
  TQHKEY fresh = Create("S\\K");  // another key of the same name
  EXPECT_EQ("<6>", Read(k, "v"));
  // Closing a dead handle releases it, once; a reset keeps the data but
  // invalidates every handle.
  EXPECT_EQ((Ints{TQREG_E_BADHANDLE, TQREG_E_BADHANDLE, TQREG_OK, TQREG_E_BADHANDLE, TQREG_OK,
                  TQREG_E_BADHANDLE, 0}),
            (Ints{SetStr(k, "v", "2"), TqkRegCreateKey(below, "x", &h), TqkRegCloseKey(k),
                  TqkRegCloseKey(k), TqkResetGlobalEntries(), TqkRegCloseKey(fresh),
                  reset_reg_sic_cache()}));
  EXPECT_EQ(Strings({"K"}), SubKeys("s"));
  // Handles opened after a close never take over a live handle's key.
  TQHKEY x = Create("X"), y = Create("Y"), z = Create("Z");
  ASSERT_EQ(TQREG_OK, SetStr(x, "n", "x") | SetStr(y, "n", "y"));
  TqkRegCloseKey(z);
  TQHKEY w = Create("W");
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(z, "n", "z"));
  EXPECT_EQ(std::string("x\0y\0<2>", 7), Read(x, "n") + Read(y, "n") + Read(w, "n"));
  for (TQHKEY c : {x, y, w}) EXPECT_EQ(TQREG_OK, TqkRegCloseKey(c));
  // A slot reused until its generation comes round again: while it is free,
  // the first handle of its first generation stays dead.
  for (int i = 0; i < 2046; ++i) TqkRegCloseKey(Create("X"));
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(w, "n", "again"));
}

TEST_F(Reg, AboutAMillionHandlesMayBeOpenAndRefusedCallsReleaseTheirs) {
  PutStr("SOFTWARE\\Tarquel\\Prod", "CurrentVersion", std::string(300, 'v'));
  std::vector<TQHKEY> held;
  TQHKEY h = 0;
  int rc;
  while ((rc = TqkRegOpenKeyEx(Root(), "SOFTWARE", 0, 0, &h)) == TQREG_OK) held.push_back(h);
  EXPECT_EQ(TQREG_E_LIMIT, rc);
  EXPECT_GE(held.size(), 1000000u);
  // One handle free: the library's versioned access fails (the version is
  // too long for a key name) and gives back the handle it opened.
  EXPECT_EQ((Ints{TQREG_OK, 0, -1}), (Ints{TqkRegCloseKey(held.back()), TQPROD_GetValue("Prod", "V", 1) != nullptr,
                                          TQPROD_SetValue("Prod", "V", 1, "x", 1)}));
  ASSERT_EQ(TQREG_OK, TqkRegOpenKeyEx(Root(), "SOFTWARE", 0, 0, &held.back()));
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegOpenKeyEx(Root(), "SOFTWARE", 0, 0, &h));
  for (TQHKEY k : held) TqkRegCloseKey(k);
}

TEST_F(Reg, NameDataAndDepthLimitsHoldAtTheBoundary) {
  std::string n255(255, 'k'), n256(256, 'k'), big(TQREG_MAX_DATA, '\0'), path = "d";
  // Value names, unlike key names, may have 16,383 characters; no NULL data.
  std::string v_max(TQREG_MAX_VALUE_NAME, 'v'), v_over(TQREG_MAX_VALUE_NAME + 1, 'v');
  TQHKEY h = 0, k = Create("L\\" + n255);
  EXPECT_EQ((Ints{TQREG_E_LIMIT, TQREG_E_LIMIT, TQREG_OK, TQREG_E_LIMIT, TQREG_OK, TQREG_E_LIMIT,
                  -1, TQREG_E_INVALID}),
            (Ints{TqkRegCreateKey(Root(), ("L\\" + n256).c_str(), &h),
                  TqkRegOpenKeyEx(Root(), ("L\\" + n256).c_str(), 0, 0, &h),
                  SetBytes(k, n255, big), SetBytes(k, n255, big + "y"), SetStr(k, v_max, "yes"),
                  SetStr(k, v_over, "no"), TQPRODIS_SetVarToRegistry("L", v_over.c_str(), 1, 0),
                  TqkRegSetValueEx(k, "v", 0, 1, nullptr, 2)}));
  EXPECT_EQ((Strings{"<1450>", big}), (Strings{Read(k, v_over), Read(k, n255)}));
  // Depth counts components below the root: 512 allowed, 513 refused, in
  // one path or relative to a deep handle; a refused path creates nothing.
  for (int i = 1; i < 511; ++i) path += "\\d";
  TQHKEY d512 = Create(path + "\\last");
  EXPECT_EQ((Ints{TQREG_E_LIMIT, TQREG_E_LIMIT}),
            (Ints{TqkRegCreateKey(d512, "over", &h), TqkRegCreateKey(Root(), (path + "\\a\\b").c_str(), &h)}));
  EXPECT_EQ(Strings({"last"}), SubKeys(path));
  TqkRegCloseKey(k);
  TqkRegCloseKey(d512);
}

TEST_F(Reg, ValuesKeepCreationOrderAndTheirBytesWhateverTheType) {
  TQHKEY k = Create("V");
  const struct {
    const char *name;
    unsigned type;
    std::string data;
  } rows[] = {{"zeta", 3, std::string("ab\0\xff", 4)}, {"Alpha", 0xdeadbeefu, "xyz"},
              {"mid", TQREG_SZ, ""}, {"", TQREG_MULTI_SZ, std::string("1\0002\0\0", 5)}};
  for (const auto &row : rows) ASSERT_EQ(TQREG_OK, SetBytes(k, row.name, row.data, row.type));
  for (const auto &row : rows) {
    RawValue v = ReadRaw(k, row.name);
    EXPECT_EQ(row.data + "/" + std::to_string(row.type), v.data + "/" + std::to_string(v.type)) << row.name;
  }
  // Replacing through another case keeps the place and the first spelling;
  // deleting keeps indices dense; a re-added name goes to the end.
  ASSERT_EQ(TQREG_OK, SetStr(k, "ALPHA", "new"));
  EXPECT_EQ(std::string("new\0<2>", 7), Read(k, "alpha") + Read(k, "alph"));
  ASSERT_EQ((Ints{TQREG_OK, TQREG_OK}), (Ints{TqkRegDeleteValue(k, "MID"), SetStr(k, "Mid", "again")}));
  EXPECT_EQ(Strings({"zeta", "Alpha", "", "Mid"}), ValueNames("V"));
  TqkRegCloseKey(k);
}

TEST_F(Reg, TheOneCallReaderAndWriterFollowCurrentVersionAndEveryWrite) {
  const std::string mrk = "SOFTWARE\\Tarquel\\MRK";
  PutNum(mrk, "Num", 0xfffffffeu);
  PutStr(mrk, "Text", "hello");
  PutRaw(mrk, "raw", TQREG_SZ, "abc", 3);  // no terminator stored
  EXPECT_EQ(-2, TQPRODIS_GetVarFromRegistry("software\\tarquel\\mrk", "num", 0));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry(nullptr, "num", 0) |
                   TQPRODIS_GetVarFromRegistry(mrk.c_str(), nullptr, 0));
  EXPECT_EQ("hello abc <absent> hello", Var(mrk, "TEXT", 0) + " " + Var(mrk, "raw", 0) + " " +
                                             Var(mrk, "missing", 0) + " " + Var(mrk, "Text", 1));
  // Versioned: the subkey named by a string CurrentVersion; a missing one
  // reads as absent and is not created.
  for (const char *v : {"A", "B", "A"}) {
    PutStr(mrk, "CurrentVersion", v);
    EXPECT_EQ(0, TQPRODIS_SetVarToRegistry(mrk.c_str(), "Num", v[0], 1));
    EXPECT_EQ(v[0], TQPRODIS_GetVarFromRegistry(mrk.c_str(), "Num", 1)) << v;
  }
  EXPECT_EQ(Strings({"A", "B"}), SubKeys(mrk));
  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), (mrk + "\\A").c_str()));
  EXPECT_EQ("<absent>", Var(mrk, "Text", 1));
  PutNum(mrk, "CurrentVersion", 66);  // not a string: ignored
  EXPECT_EQ("hello", Var(mrk, "Text", 1));
  EXPECT_EQ(Strings({"B"}), SubKeys(mrk));
}

// A value that proves its own integrity: "<writer>:<seq>:" and a fill byte
// up to a length that depends on both.
std::string Pattern(int writer, int seq) {
  std::string s = std::to_string(writer) + ":" + std::to_string(seq) + ":";
  s.resize(64 + static_cast<size_t>((seq * 7919 + writer * 131) % 6000),
           static_cast<char>('a' + (writer * 7 + seq) % 26));
  return s;
}

// True when data is exactly Pattern(w, s) for the writer and seq it names.
bool Intact(const std::string &data) {
  int w = -1, s = -1;
  return sscanf(data.c_str(), "%d:%d:", &w, &s) == 2 && w >= 0 && s >= 0 && data == Pattern(w, s);
}

TEST_F(Reg, CommittedWritesAreSeenByTheOtherProcessOnItsNextCall) {
  const std::string mrk = "SOFTWARE\\Tarquel\\MRK";
  PutNum(mrk, "Flag", 1);
  PutStr(mrk, "CurrentVersion", "V1");
  // The writer is forked first (a fork drops this process's caches) and
  // waits until this process has read everything into them.
  int go[2];
  ASSERT_EQ(0, pipe(go));
  pid_t writer = Spawn([&] {
    char c;
    return read(go[0], &c, 1) != 1 || TQPRODIS_SetVarToRegistry(mrk.c_str(), "Flag", 2, 0) ||
           TQPRODIS_SetVarToRegistry((mrk + "\\Sub0").c_str(), "n", 1, 0) ||
           TqkRegDeleteKey(Root(), (mrk + "\\V1").c_str());
  });
  TQHKEY v1 = Create(mrk + "\\V1");
  ASSERT_EQ(TQREG_OK, SetStr(v1, "Flag", "3"));
  EXPECT_EQ((Strings{"1", "3"}), (Strings{std::to_string(TQPRODIS_GetVarFromRegistry(mrk.c_str(), "Flag", 0)), Var(mrk, "Flag", 1)}));
  EXPECT_EQ(Strings({"V1"}), SubKeys(mrk));
  ASSERT_EQ(1, write(go[1], "x", 1));
  ASSERT_EQ(0, Wait(writer));
  EXPECT_EQ((Strings{"2", "<absent>"}), (Strings{std::to_string(TQPRODIS_GetVarFromRegistry(mrk.c_str(), "Flag", 0)), Var(mrk, "Flag", 1)}));
  EXPECT_EQ(Strings({"Sub0"}), SubKeys(mrk));
  // A handle whose key another process deleted fails cleanly.
  EXPECT_EQ("<6>", Read(v1, "Flag"));
  EXPECT_EQ((Ints{TQREG_E_BADHANDLE, TQREG_OK}), (Ints{SetStr(v1, "x", "1"), TqkRegCloseKey(v1)}));
  close(go[0]);
  close(go[1]);
}

TEST_F(Reg, ConcurrentWritersLoseNothingAndReadersSeeNoTornValue) {
  constexpr int kPerWriter = 150;
  TQHKEY k = Create("Conc");
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    // Each writer (through the handle it inherited) writes a value of its
    // own, one both overwrite, and a key of its own.
    writers[w] = Spawn([w, k] {
      for (int i = 0; i < kPerWriter; ++i) {
        std::string tag = std::to_string(w) + "_" + std::to_string(i);
        if (SetBytes(k, "w" + tag, Pattern(w, i)) || SetBytes(k, "shared", Pattern(w, i)) ||
            TQPRODIS_SetVarToRegistry(("Conc\\Keys\\k" + tag).c_str(), "n", i, 0) ||
            !Intact(Read(k, "shared")))
          return 1;
      }
      return 0;
    });
  }
  // Meanwhile this process reads: every value it sees is whole.
  int torn = 0, status[2] = {-1, -1};
  while (status[0] < 0 || status[1] < 0) {
    for (const std::string &name : ValueNames("Conc")) torn += !Intact(Read(k, name));
    for (int i = 0; i < 2; ++i)
      if (status[i] < 0) waitpid(writers[i], &status[i], WNOHANG);
  }
  EXPECT_EQ((Ints{0, 0, 0}), (Ints{status[0], status[1], torn})) << "both writers' statuses, then torn reads";
  // Afterwards every value and key of both writers is there, complete.
  EXPECT_EQ(2u * kPerWriter + 1, ValueNames("Conc").size());
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kPerWriter; ++i) {
      std::string tag = std::to_string(w) + "_" + std::to_string(i);
      EXPECT_EQ(Pattern(w, i), Read(k, "w" + tag)) << tag;
      EXPECT_EQ(i, TQPRODIS_GetVarFromRegistry(("Conc\\Keys\\k" + tag).c_str(), "n", 0)) << tag;
    }
  }
  TqkRegCloseKey(k);
}

TEST_F(Reg, ProcessesCreatingANewRegistryAtOnceShareOneSchema) {
  setenv("TQ_REGISTRY_DIR", (regdir_ + "/fresh/dir").c_str(), 1);
  pid_t kids[3];
  for (int i = 0; i < 3; ++i) {
    kids[i] = Spawn([i] {
      std::string path = "SOFTWARE\\Tarquel\\P" + std::to_string(i);
      return TqkResetGlobalEntries() != TQREG_OK ||
             TQPRODIS_SetVarToRegistry(path.c_str(), "n", i + 1, 0) != 0;
    });
  }
  for (pid_t pid : kids) EXPECT_EQ(0, Wait(pid));
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_EQ(Strings({"P0", "P1", "P2"}), SubKeys("SOFTWARE\\Tarquel"));
}

TEST_F(Reg, AWriteTheDiskRefusesLeavesNothingAndTheNextWriteWorks) {
  TQHKEY k = Create("Full");
  ASSERT_EQ(TQREG_OK, SetStr(k, "before", "b"));
  // In a child (with the handle it inherited) whose files may not grow
  // past 256 KiB, a 1 MiB value cannot be committed.
  pid_t pid = Spawn([k] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit old, tight;
    getrlimit(RLIMIT_FSIZE, &old);
    tight = old;
    tight.rlim_cur = 256 << 10;
    std::string big(TQREG_MAX_DATA, 'b');
    TQHKEY sub = 0;
    if (TqkRegCreateKey(k, "New\\Sub", &sub) != TQREG_OK) return 1;
    setrlimit(RLIMIT_FSIZE, &tight);
    int rc = SetBytes(sub, "big", big);
    setrlimit(RLIMIT_FSIZE, &old);
    if (rc != TQREG_E_DISKFULL || !strstr(TqkRegGetLastErrorText(), ": disk full (file-size limit")) return 2;
    // Nothing of the refused write is there, and the service works on.
    if (Read(k, "before") != std::string("b\0", 2) || Read(sub, "big") != "<2>") return 3;
    if (SetStr(k, "after", "a") != TQREG_OK || SetBytes(k, "big", big) != TQREG_OK) return 4;
    return Read(k, "big") == big ? 0 : 5;
  });
  EXPECT_EQ(0, Wait(pid));
  EXPECT_EQ(Strings({"before", "after", "big"}), ValueNames("Full"));
  TqkRegCloseKey(k);
}

}  // namespace
