// Keys: paths, case rules, enumeration, deletion, handles and limits.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "reg_helpers.h"

using namespace regtest;

namespace {

class RegKeys : public tqtest::RegistryTest {};

TEST_F(RegKeys, CreateMakesEveryKeyAlongThePathAndOpensExisting) {
  TQHKEY a = Create("SOFTWARE\\Tarquel\\MRK\\R80");
  ASSERT_NE(0u, a);
  EXPECT_TRUE(Exists("SOFTWARE"));
  EXPECT_TRUE(Exists("SOFTWARE\\Tarquel"));
  EXPECT_TRUE(Exists("SOFTWARE\\Tarquel\\MRK"));
  ASSERT_EQ(TQREG_OK, SetStr(a, "x", "1"));
  // Creating it again opens the same key, with its values.
  TQHKEY b = Create("software\\TARQUEL\\mrk\\r80");
  std::string data;
  EXPECT_TRUE(Query(b, "X", &data));
  EXPECT_EQ(std::string("1\0", 2), data);
  // Relative to an open handle.
  TQHKEY sub = Create("SP1\\MSP2", b);
  EXPECT_TRUE(Exists("SOFTWARE\\Tarquel\\MRK\\R80\\sp1\\msp2"));
  // Only one SOFTWARE key exists, whatever case later calls used.
  EXPECT_EQ(Strings({"SOFTWARE"}), SubKeys(Root()));
  for (TQHKEY h : {a, b, sub}) EXPECT_EQ(TQREG_OK, TqkRegCloseKey(h));
}

TEST_F(RegKeys, OpenOfMissingKeyFails) {
  Create("A\\B");
  TQHKEY h = 123;
  EXPECT_EQ(TQREG_E_NOTFOUND, Open("A\\C", &h));
  EXPECT_EQ(0u, h);
  EXPECT_EQ(TQREG_E_NOTFOUND, Open("A\\B\\C", &h));
  EXPECT_EQ(TQREG_E_NOTFOUND, Open("X\\B", &h));
  // Opening never creates.
  EXPECT_EQ(TQREG_E_NOTFOUND, Open("A\\C", &h));
  EXPECT_EQ(Strings({"B"}), [] {
    TQHKEY k = 0;
    Open("A", &k);
    Strings s = SubKeys(k);
    TqkRegCloseKey(k);
    return s;
  }());
}

TEST_F(RegKeys, EmptyPathComponentsAreIgnored) {
  TQHKEY h = Create("\\A\\\\B\\");
  ASSERT_NE(0u, h);
  EXPECT_TRUE(Exists("A\\B"));
  EXPECT_TRUE(Exists("\\\\A\\B\\\\"));
  TQHKEY a = 0;
  ASSERT_EQ(TQREG_OK, Open("A", &a));
  EXPECT_EQ(Strings({"B"}), SubKeys(a));
  // "" names the key itself.
  TQHKEY same = 0;
  ASSERT_EQ(TQREG_OK, Open("", &same, a));
  EXPECT_EQ(Strings({"B"}), SubKeys(same));
  TQHKEY root = 0;
  ASSERT_EQ(TQREG_OK, Open("\\", &root));
  EXPECT_EQ(Root(), root);
  TqkRegCloseKey(h);
  TqkRegCloseKey(a);
  TqkRegCloseKey(same);
}

TEST_F(RegKeys, NamesCompareWithoutCaseAndKeepTheirFirstCase) {
  TQHKEY p = Create("P");
  TqkRegCloseKey(Create("MiXeD", p));
  TqkRegCloseKey(Create("MIXED", p));
  TqkRegCloseKey(Create("mixed\\Child", p));
  EXPECT_EQ(Strings({"MiXeD"}), SubKeys(p));
  TQHKEY m = 0;
  ASSERT_EQ(TQREG_OK, Open("p\\mIxEd", &m));
  EXPECT_EQ(Strings({"Child"}), SubKeys(m));
  // Only ASCII letters fold: these two bytes differ.
  TqkRegCloseKey(Create("\xc3\xa9", p));
  TqkRegCloseKey(Create("\xc3\x89", p));
  EXPECT_EQ(3u, SubKeys(p).size());
  TqkRegCloseKey(m);
  TqkRegCloseKey(p);
}

TEST_F(RegKeys, SubkeysEnumerateInCaseInsensitiveOrderAndStayDense) {
  TQHKEY p = Create("P");
  for (const char *n : {"delta", "Alpha", "charlie", "BRAVO", "echo", "a1", "A0"})
    TqkRegCloseKey(Create(n, p));
  EXPECT_EQ(Strings({"A0", "a1", "Alpha", "BRAVO", "charlie", "delta", "echo"}), SubKeys(p));
  // Folding is to lower case: '_' (0x5F) sorts before every letter.
  TQHKEY q = Create("Q");
  for (const char *n : {"b", "_u", "A", "[x"}) TqkRegCloseKey(Create(n, q));
  EXPECT_EQ(Strings({"[x", "_u", "A", "b"}), SubKeys(q));
  TqkRegCloseKey(q);

  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(p, "alpha"));
  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), "P\\Echo"));
  EXPECT_EQ(Strings({"A0", "a1", "BRAVO", "charlie", "delta"}), SubKeys(p));
  char name[16];
  EXPECT_EQ(TQREG_OK, TqkRegEnumKey(p, 4, name, sizeof name));
  EXPECT_STREQ("delta", name);
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegEnumKey(p, 5, name, sizeof name));
  // A key added later takes its sorted place.
  TqkRegCloseKey(Create("Bz", p));
  EXPECT_EQ(Strings({"A0", "a1", "BRAVO", "Bz", "charlie", "delta"}), SubKeys(p));
  TqkRegCloseKey(p);
}

TEST_F(RegKeys, EnumKeyNeedsRoomForTheTerminator) {
  TQHKEY p = Create("P");
  TqkRegCloseKey(Create("abcde", p));
  char buf[8];
  memset(buf, 'z', sizeof buf);
  EXPECT_EQ(TQREG_E_MOREDATA, TqkRegEnumKey(p, 0, buf, 5));
  EXPECT_EQ('z', buf[0]);
  EXPECT_EQ(TQREG_OK, TqkRegEnumKey(p, 0, buf, 6));
  EXPECT_STREQ("abcde", buf);
  EXPECT_EQ(TQREG_E_MOREDATA, TqkRegEnumKey(p, 0, buf, 0));
  TqkRegCloseKey(p);
}

TEST_F(RegKeys, DeleteRemovesTheWholeSubtreeAndNothingElse) {
  TQHKEY leaf = Create("T\\A\\B\\C");
  ASSERT_EQ(TQREG_OK, SetStr(leaf, "v", "deep"));
  TqkRegCloseKey(leaf);
  TQHKEY a = Create("T\\A");
  ASSERT_EQ(TQREG_OK, SetStr(a, "v", "a"));
  TqkRegCloseKey(Create("T\\A2\\X"));
  TqkRegCloseKey(a);

  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), "t\\a"));
  EXPECT_FALSE(Exists("T\\A"));
  EXPECT_FALSE(Exists("T\\A\\B\\C"));
  EXPECT_TRUE(Exists("T\\A2\\X"));
  // Re-creating gives an empty key: no values or subkeys survive.
  TQHKEY again = Create("T\\A");
  std::string data;
  EXPECT_FALSE(Query(again, "v", &data));
  EXPECT_TRUE(SubKeys(again).empty());
  TqkRegCloseKey(again);

  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegDeleteKey(Root(), "T\\missing"));
  EXPECT_EQ(TQREG_E_NOTFOUND, TqkRegDeleteKey(Root(), "missing\\x"));
}

TEST_F(RegKeys, TheRootCannotBeDeletedOrClosedAway) {
  TqkRegCloseKey(Create("K"));
  EXPECT_NE(TQREG_OK, TqkRegDeleteKey(Root(), ""));
  EXPECT_NE(TQREG_OK, TqkRegDeleteKey(Root(), "\\"));
  TQHKEY r = 0;
  ASSERT_EQ(TQREG_OK, Open("", &r));
  EXPECT_NE(TQREG_OK, TqkRegDeleteKey(r, ""));
  EXPECT_EQ(TQREG_OK, TqkRegCloseKey(Root()));
  EXPECT_EQ(TQREG_OK, TqkRegCloseKey(Root()));
  EXPECT_TRUE(Exists("K"));
  EXPECT_EQ(Root(), TqkRegGlobalEntry_HKEY_LOCAL_MACHINE());
}

TEST_F(RegKeys, HandlesOfDeletedKeysFailCleanly) {
  TQHKEY k = Create("S\\K");
  TQHKEY below = Create("S\\K\\Below");
  ASSERT_EQ(TQREG_OK, SetStr(k, "v", "1"));
  ASSERT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), "S\\K"));

  std::string data;
  char name[64];
  unsigned n = sizeof name;
  TQHKEY h = 0;
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegQueryValueEx(k, "v", nullptr, nullptr, nullptr, &n));
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(k, "v", "2"));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegEnumKey(k, 0, name, sizeof name));
  EXPECT_EQ(TQREG_E_BADHANDLE,
            TqkRegEnumValue(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegCreateKey(below, "x", &h));
  EXPECT_EQ(TQREG_E_BADHANDLE, Open("", &h, below));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegDeleteValue(k, "v"));

  // A new key of the same name is a different key: the old handle stays dead.
  TQHKEY fresh = Create("S\\K");
  ASSERT_EQ(TQREG_OK, SetStr(fresh, "v", "new"));
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(k, "v", "old"));
  EXPECT_TRUE(Query(fresh, "v", &data));
  EXPECT_EQ(std::string("new\0", 4), data);

  // Closing a dead handle releases it; closing twice does not.
  EXPECT_EQ(TQREG_OK, TqkRegCloseKey(k));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegCloseKey(k));
  EXPECT_EQ(TQREG_OK, TqkRegCloseKey(below));
  // A closed handle whose slot was reused does not reach the new key.
  TQHKEY other = Create("S\\Other");
  EXPECT_NE(k, other);
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(k, "v", "x"));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegCloseKey(0));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegCloseKey(0x12345));
  TqkRegCloseKey(fresh);
  TqkRegCloseKey(other);
}

TEST_F(RegKeys, HandleOfKeyDeletedByAnotherProcessFails) {
  TQHKEY k = Create("Shared\\Victim");
  ASSERT_EQ(TQREG_OK, SetStr(k, "v", "1"));
  Peer peer([](int) { return TqkRegDeleteKey(Root(), "Shared\\Victim") == TQREG_OK; });
  std::string data;
  ASSERT_TRUE(Query(k, "v", &data));  // the key is now cached in this process
  ASSERT_TRUE(peer.Step(1));
  unsigned n = 0;
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegQueryValueEx(k, "v", nullptr, nullptr, nullptr, &n));
  EXPECT_EQ(TQREG_E_BADHANDLE, SetStr(k, "v", "back"));
  EXPECT_FALSE(Exists("Shared\\Victim"));
  EXPECT_EQ(TQREG_OK, TqkRegCloseKey(k));
}

TEST_F(RegKeys, HandlesSurviveForkAndWorkInTheChild) {
  TQHKEY k = Create("Inherited");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(SetStr(k, "child", "yes") == TQREG_OK ? 0 : 1);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string data;
  EXPECT_TRUE(Query(k, "child", &data));
  TqkRegCloseKey(k);
}

TEST_F(RegKeys, NameAndDepthLimitsHoldAtTheBoundary) {
  std::string n255(255, 'k'), n256(256, 'k');
  TQHKEY h = 0;
  ASSERT_EQ(TQREG_OK, TqkRegCreateKey(Root(), ("L\\" + n255).c_str(), &h));
  TqkRegCloseKey(h);
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegCreateKey(Root(), ("L\\" + n256).c_str(), &h));
  EXPECT_EQ(TQREG_E_LIMIT, Open("L\\" + n256, &h));
  EXPECT_TRUE(Exists("L\\" + n255));
  TQHKEY l = 0;
  ASSERT_EQ(TQREG_OK, Open("L", &l));
  EXPECT_EQ(Strings({n255}), SubKeys(l));  // the refused key left nothing

  // Depth counts components below the root: 512 allowed, 513 refused,
  // whether in one path or relative to a deep handle.
  std::string path;
  for (int i = 0; i < 511; ++i) path += (i ? "\\" : "") + std::string("d");
  TQHKEY d511 = 0;
  ASSERT_EQ(TQREG_OK, TqkRegCreateKey(Root(), path.c_str(), &d511));
  TQHKEY d512 = 0;
  EXPECT_EQ(TQREG_OK, TqkRegCreateKey(d511, "last", &d512));
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegCreateKey(d512, "over", &h));
  EXPECT_EQ(TQREG_E_LIMIT, TqkRegCreateKey(Root(), (path + "\\a\\b").c_str(), &h));
  EXPECT_TRUE(Exists(path + "\\last"));
  EXPECT_FALSE(Exists(path + "\\a"));  // a refused path creates nothing
  EXPECT_TRUE(SubKeys(d512).empty());
  // The whole chain goes in one delete.
  EXPECT_EQ(TQREG_OK, TqkRegDeleteKey(Root(), "d"));
  EXPECT_FALSE(Exists("d"));
  for (TQHKEY k : {l, d511, d512}) TqkRegCloseKey(k);
}

TEST_F(RegKeys, NullArgumentsAreRefused) {
  TQHKEY h = 0;
  char buf[8];
  unsigned n = 8;
  EXPECT_EQ(TQREG_E_INVALID, TqkRegOpenKeyEx(Root(), nullptr, 0, 0, &h));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegOpenKeyEx(Root(), "A", 0, 0, nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegOpenKey(Root(), nullptr, &h));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegCreateKey(Root(), nullptr, &h));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegCreateKey(Root(), "A", nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegDeleteKey(Root(), nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegEnumKey(Root(), 0, nullptr, 8));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegEnumValue(Root(), 0, nullptr, &n, nullptr, nullptr, nullptr,
                                             nullptr));
  EXPECT_EQ(TQREG_E_INVALID,
            TqkRegEnumValue(Root(), 0, buf, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegEnumValue(Root(), 0, buf, &n, nullptr, nullptr, buf, nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegQueryValueEx(Root(), nullptr, nullptr, nullptr, buf, &n));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegQueryValueEx(Root(), "v", nullptr, nullptr, buf, nullptr));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegSetValueEx(Root(), nullptr, 0, 1, "x", 2));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegSetValueEx(Root(), "v", 0, 1, nullptr, 2));
  EXPECT_EQ(TQREG_E_INVALID, TqkRegDeleteValue(Root(), nullptr));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry(nullptr, "v", 0));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("A", nullptr, 1));
  EXPECT_EQ(-1, TQPRODIS_SetVarToRegistry(nullptr, "v", 1, 0));
  EXPECT_EQ(-1, TQPRODIS_SetVarToRegistry("A", nullptr, 1, 0));
  EXPECT_TRUE(SubKeys(Root()).empty());
}

TEST_F(RegKeys, ResetKeepsDataButInvalidatesHandles) {
  TQHKEY k = Create("Persist\\Me");
  ASSERT_EQ(TQREG_OK, SetNum(k, "n", 42));
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_EQ(TQREG_E_BADHANDLE, SetNum(k, "n", 1));
  EXPECT_EQ(TQREG_E_BADHANDLE, TqkRegCloseKey(k));
  EXPECT_EQ(42, TQPRODIS_GetVarFromRegistry("PERSIST\\ME", "N", 0));
  EXPECT_EQ(0, reset_reg_sic_cache());
  EXPECT_EQ(42, TQPRODIS_GetVarFromRegistry("Persist\\Me", "n", 0));
  // The data is in <dir>/ctx0.db.
  struct stat st;
  EXPECT_EQ(0, stat((regdir_ + "/ctx0.db").c_str(), &st));
}

TEST_F(RegKeys, EachRegistryDirectoryIsItsOwnRegistry) {
  TqkRegCloseKey(Create("OnlyInFirst"));
  std::string second = tqtest::MakeTempDir("reg2");
  std::string nested = second + "/not/yet/there";
  setenv("TQ_REGISTRY_DIR", nested.c_str(), 1);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_FALSE(Exists("OnlyInFirst"));
  TqkRegCloseKey(Create("OnlyInSecond"));
  struct stat st;
  EXPECT_EQ(0, stat((nested + "/ctx0.db").c_str(), &st));

  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
  ASSERT_EQ(TQREG_OK, TqkResetGlobalEntries());
  EXPECT_TRUE(Exists("OnlyInFirst"));
  EXPECT_FALSE(Exists("OnlyInSecond"));
  tqtest::RemoveTree(second);
}

TEST_F(RegKeys, UnusableDirectoryGivesIoErrorsNotCrashes) {
  std::string file = regdir_ + "/plainfile";
  tqtest::WriteFile(file, "x");
  setenv("TQ_REGISTRY_DIR", (file + "/sub").c_str(), 1);
  EXPECT_EQ(TQREG_E_IO, TqkResetGlobalEntries());
  TQHKEY h = 0;
  EXPECT_EQ(TQREG_E_IO, TqkRegCreateKey(Root(), "A", &h));
  EXPECT_EQ(0, TQPRODIS_GetVarFromRegistry("A", "v", 0));
  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
  EXPECT_EQ(TQREG_OK, TqkResetGlobalEntries());
}

}  // namespace
