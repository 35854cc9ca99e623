// The key-tree walk and its three users: recursive copy, backup writer and
// registry dump. Tests run in their system root (the dump goes to ./RegDump).
// Files the library opens are close-on-exec, so that a program started
// meanwhile (from another thread, say) inherits none of them: checked where
// each is closed, by this program's fclose standing in for the C library's.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tq_test.h"
#include "tree.h"

namespace {
int g_library_closes = 0;      // files closed by libtqprod50
int g_inheritable_closes = 0;  // ... of which without close-on-exec
}  // namespace

extern "C" TQAPI int fclose(FILE *f) {
  static auto real = reinterpret_cast<int (*)(FILE *)>(dlsym(RTLD_NEXT, "fclose"));
  Dl_info caller;
  if (f != nullptr && dladdr(__builtin_return_address(0), &caller) != 0 && caller.dli_fname &&
      strstr(caller.dli_fname, "libtqprod50") != nullptr) {
    ++g_library_closes;
    g_inheritable_closes += (fcntl(fileno(f), F_GETFD) & FD_CLOEXEC) == 0;
  }
  return real(f);
}

using namespace tqtest;
using namespace std::string_literals;

namespace {


std::string ChainKey(std::string base, int levels) {
  while (levels-- > 0) base += "\\k";
  return base;
}
::testing::AssertionResult EndsWith(const std::string &text, const std::string &tail) {
  if (text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "does not end with \"" << tail << "\":\n" << text;
}

class Walk : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(0, chdir(sysroot_.c_str()));
  }
  void TearDown() override {
    EXPECT_EQ(0, chdir("/"));
    RegistryTest::TearDown();
  }
  // Values of every type, in A and two levels below, and PRNG subtrees.
  void Fill() {
    PutNum(K("A"), "all", 0xFFFFFFFFu);
    PutRaw(K("A"), "bin", 3, "ab\0cd", 5);
    PutRaw(K("A"), "list", TQREG_MULTI_SZ, "one\0two\0", 9);
    PutStr(K("A"), "eq", "a=b");
    PutStr(K("A"), "nl", "line1\nline2");
    PutStr(K("A\\PRNG"), "seed", "secret");
    PutStr(K("A\\x\\Prng"), "v", "only the exact name is passed over");
    PutNum(K("A\\x\\y"), "n", 3);
    MakeKey(K("A\\x\\y\\empty"));
    PutStr(K("A\\Zed"), "w", "0042");
    PutStr(K("A\\Zed\\PRNG"), "seed", "at any level");
  }
};

TEST_F(Walk, CopyReproducesTheTreeConvertingOddTypesAndPassingOverPrng) {
  Fill();
  ASSERT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));
  EXPECT_EQ(":\n  all#4294967295\n  bin=ab\n  list@7:one\0two\0\0\n  eq=a=b\n  nl=line1\nline2\n"
            "x:\nx\\Prng:\n  v=only the exact name is passed over\nx\\y:\n  n#3\nZed:\n  w=0042\n"s,
            Tree(K("B")));
  // The root's subtree without its own values; the copy it writes ("0copy"
  // sorts first) is not visited.
  PutStr(kTarquel, "rootval", "r");
  for (const char *root : {"", "."}) {
    TQPROD_DelKey("0copy");
    EXPECT_EQ(0, TQPROD_CopyKeyRecursive(root, "0copy")) << root;
    EXPECT_EQ(":\n" + Tree(K("B"), "A") + Tree(K("B"), "B"), Tree(K("0copy"))) << root;
  }
}

TEST_F(Walk, BackupAndDumpWriteKeysInWalkOrderAndRestoreReplacesThem) {
  const int closes = g_library_closes, inheritable = g_inheritable_closes;
  PutStr(kTarquel, "rootval", "not dumped");
  Fill();
  PutStr(K("PRNG\\below"), "v", "hidden");
  ASSERT_EQ(0, TQPROD_DumpRegistry());
  auto head = [](const char *key) { return "\nSOFTWARE\\Tarquel\\" + std::string(key) + "\n"; };
  const std::string prng = "SOFTWARE\\Tarquel\\PRNG";  // no line feed of its own
  EXPECT_EQ(head("A") + "\tall=-1\n\tbin=ab\n\tlist=one\n\teq=a=b\n\tnl=line1\nline2\n" + prng + head("A\\x") +
                head("A\\x\\Prng") + "\tv=only the exact name is passed over\n" + head("A\\x\\y") + "\tn=3\n" +
                head("A\\x\\y\\empty") + head("A\\Zed") + "\tw=0042\n" + prng + prng,
            ReadFile("RegDump"));
  ASSERT_EQ((Ints{0, 0}), (Ints{TQPROD_DelKey("PRNG"), TQPROD_BackupKey("A", "a.bak")}));
  EXPECT_EQ("#\nA\n\tall=-1\n\tbin=ab\n\tlist=one\n\teq=a=b\n\tnl=line1\n#\nA\\x\n#\nA\\x\\Prng\n"
            "\tv=only the exact name is passed over\n#\nA\\x\\y\n\tn=3\n#\nA\\x\\y\\empty\n#\nA\\Zed\n"
            "\tw=0042\n",
            ReadFile("a.bak"));
  ASSERT_EQ(0, TQPROD_RestoreKey("a.bak"));
  // Every value comes back as a string, the text cut at its first "=";
  // records without values leave no key.
  EXPECT_EQ(":\n  all=-1\n  bin=ab\n  list=one\n  eq=a\n  nl=line1\nx:\nx\\Prng:\n"
            "  v=only the exact name is passed over\nx\\y:\n  n=3\nZed:\n  w=0042\n",
            Tree(K("A")));
  // A start key without values gets no record: restoring refills only below it.
  PutStr(K("A\\x\\y"), "extra", "gone after restore");
  PutStr(K("A\\x\\y\\sub"), "s", "gone too");
  ASSERT_EQ(0, TQPROD_BackupKey("A\\x", "x.bak"));
  EXPECT_EQ(0u, ReadFile("x.bak").find("#\nA\\x\\Prng\n"));
  PutStr(K("A\\x"), "kept", "not in the file");
  PutStr(K("A\\x\\y"), "extra", "changed");
  PutStr(K("A\\x\\y\\sub\\deeper"), "d", "gone after restore");
  ASSERT_EQ(0, TQPROD_RestoreKey("x.bak"));
  EXPECT_EQ(":\n  kept=not in the file\nPrng:\n  v=only the exact name is passed over\ny:\n  n=3\n"
            "  extra=gone after restore\ny\\sub:\n  s=gone too\n",
            Tree(K("A\\x")));
  // Every file these functions opened was close-on-exec.
  ASSERT_EQ(0, TQPROD_RestoreKeyWithType("x.bak"));
  EXPECT_EQ(std::make_pair(6, 0), std::make_pair(g_library_closes - closes,
                                                 g_inheritable_closes - inheritable));
}

TEST_F(Walk, EveryUserStopsBelowOneHundredLevelsAndReleasesItsFile) {
  const int fds = OpenFdCount();
  for (int i = 1; i <= 100; ++i) PutNum(K(ChainKey("A", i)), "lvl", static_cast<uint32_t>(i));
  PutNum(K(ChainKey("A", 99) + "\\j"), "lvl", 100);  // a sibling at the deepest level
  EXPECT_EQ(0, TQPROD_CopyKeyRecursive("A", "B"));
  EXPECT_EQ(Tree(K("A")), Tree(K("B")));
  EXPECT_EQ(0, TQPROD_BackupKey("A", "a.bak"));
  EXPECT_TRUE(EndsWith(ReadFile("a.bak"), "#\n" + ChainKey("A", 100) + "\n\tlvl=100\n"));
  EXPECT_EQ(-2, TQPROD_DumpRegistry());  // 101 levels below the root
  EXPECT_TRUE(EndsWith(ReadFile("RegDump"), "\tlvl=99\n\n\nerror - registry to deep"));

  PutNum(K(ChainKey("A", 101)), "lvl", 101);
  EXPECT_EQ((Ints{-2, -2}), (Ints{TQPROD_CopyKeyRecursive("A", "C"), TQPROD_BackupKey("A", "deep.bak")}));
  EXPECT_EQ(Tree(K("B")), Tree(K("C")));  // copied up to the limit
  EXPECT_TRUE(EndsWith(ReadFile("deep.bak"), "\tlvl=100\n\n\nerror - registry to deep"));
  // The error text holds no record: restoring the file brings back the rest.
  ASSERT_EQ((Ints{0, 0}), (Ints{TQPROD_DelKey("A"), TQPROD_RestoreKey("deep.bak")}));
  EXPECT_EQ("100 0", GetStr(K(ChainKey("A", 100)), "lvl") + " " + std::to_string(KeyExists(K(ChainKey("A", 101)))));
  // A path beyond 1024 bytes ends the walk with -1.
  std::string longer = "L";
  for (int i = 0; i < 6; ++i) longer += "\\" + std::string(190, 'l');
  PutNum(K(longer), "n", 1);
  EXPECT_EQ((Ints{-1, fds}), (Ints{TQPROD_CopyKeyRecursive("L", "M"), OpenFdCount()}));
}

TEST_F(Walk, MissingKeysAndUnopenableFiles) {
  const int fds = OpenFdCount();
  EXPECT_EQ((Ints{-1, 0}), (Ints{TQPROD_DumpRegistry(), unlink("RegDump")}));  // no root key yet; the file is made
  MakeKey(K("E\\inner"));  // no value anywhere: nothing is written
  EXPECT_EQ((Ints{-1, -1, -1, 0, -1, -1}),
            (Ints{TQPROD_CopyKeyRecursive("Missing", "B"), TQPROD_CopyKeyRecursive(nullptr, "B"),
                  TQPROD_CopyKeyRecursive("A", nullptr), TQPROD_CopyKeyRecursive("E", "F"),
                  TQPROD_BackupKey("Missing", "m.bak"), TQPROD_BackupKey(nullptr, "n.bak")}));
  EXPECT_EQ(":\nE:\nE\\inner:\n", Tree(kTarquel));
  EXPECT_EQ("0 -1 ", std::to_string(access("m.bak", F_OK)) + " " + std::to_string(access("n.bak", F_OK)) + " " + ReadFile("m.bak"));  // m.bak created, empty
  ASSERT_EQ(0, mkdir("RegDump", 0755));  // fopen for writing fails on a directory
  testing::internal::CaptureStdout();
  EXPECT_EQ((Ints{-4, -4, -4, -4}),
            (Ints{TQPROD_BackupKey("E", "no/such/dir/a.bak"), TQPROD_RestoreKey("no/such/dir/a.bak"),
                  TQPROD_RestoreKeyWithType(nullptr), TQPROD_DumpRegistry()}));
  // A symbolic link planted at the name is not followed.
  ASSERT_EQ(0, rmdir("RegDump"));
  WriteFile("victim", "kept");
  ASSERT_EQ(0, symlink("victim", "RegDump"));
  EXPECT_EQ((Strings{"-4", "kept"}), (Strings{std::to_string(TQPROD_DumpRegistry()), ReadFile("victim")}));
  EXPECT_EQ(
      "The file 'no/such/dir/a.bak' was not opened\nThe file 'no/such/dir/a.bak' was not opened\n"
      "The file '(null)' was not opened\nThe file 'RegDump' was not opened\n"
      "The file 'RegDump' was not opened\n",
      testing::internal::GetCapturedStdout());
  EXPECT_EQ(fds, OpenFdCount());
}

}  // namespace
