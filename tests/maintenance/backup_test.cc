// Backup files: the writer's byte-exact records and the plain and typed
// restore readers, including hostile files.
#include "maint_test.h"

using namespace mtest;
using tqtest::ReadFile;
using tqtest::WriteFile;

namespace {

class BackupTest : public tqtest::RegistryTest {
 protected:
  std::string File(const char *name) const { return sysroot_ + "/" + name; }
  // Writes text as a backup file and restores it with the chosen reader.
  int Restore(const std::string &text, bool typed = false) {
    std::string f = File("in.bak");
    WriteFile(f, text);
    return typed ? TQPROD_RestoreKeyWithType(f.c_str()) : TQPROD_RestoreKey(f.c_str());
  }
};

TEST_F(BackupTest, RoundTripAndRestoreReplacesOnlyTheRecordedKeys) {
  PutStr("A\\x", "w", "abc");
  PutNum("A\\x", "n", 42);
  PutStr("A\\y", "keep", "1");
  std::string f = File("a.bak");
  ASSERT_EQ(0, TQPROD_BackupKey("A", f.c_str()));
  // The start key has no values: no record for it.
  EXPECT_EQ("#\nA\\x\n\tw=abc\n\tn=42\n#\nA\\y\n\tkeep=1\n", ReadFile(f));
  ASSERT_EQ(0, TQPROD_DelKey("A"));
  ASSERT_EQ(0, TQPROD_RestoreKey(f.c_str()));
  Raw n = GetRaw(Abs("A\\x"), "n");
  EXPECT_EQ(TQREG_SZ, n.type);  // every value comes back as a string
  EXPECT_EQ(std::string("42\0", 3), n.data);
  EXPECT_EQ("abc", Get("A\\x", "w"));
  EXPECT_EQ("1", Get("A\\y", "keep"));

  WriteFile(f, "#\nA\\x\n\tw=abc\n");
  PutStr("A\\x", "w", "changed");
  PutStr("A\\x", "extra", "gone after restore");
  PutStr("A\\x\\sub", "s", "gone too");
  PutStr("A\\y", "keep", "2");
  ASSERT_EQ(0, TQPROD_RestoreKey(f.c_str()));
  EXPECT_EQ("abc", Get("A\\x", "w"));
  EXPECT_EQ(1, ValueCount(Abs("A\\x")));
  EXPECT_FALSE(KeyExists(Abs("A\\x\\sub")));
  EXPECT_EQ("2", Get("A\\y", "keep"));
}

TEST_F(BackupTest, ValueTextsFollowTheTextReaderInWalkOrder) {
  PutNum("A", "all", 0xFFFFFFFFu);
  const char bin[] = {'a', 'b', '\0', 'c', 'd'};
  PutRaw(Abs("A"), "bin", 3, bin, sizeof bin);
  const char multi[] = "first\0second\0";
  PutRaw(Abs("A"), "list", TQREG_MULTI_SZ, multi, sizeof multi);
  PutStr("A", "eq", "a=b");
  PutStr("A", "nl", "line1\nline2");
  MakeKey(Abs("A\\empty"));
  PutStr("A\\PRNG", "seed", "s");
  PutStr("A\\z", "v", "after prng");
  std::string f = File("a.bak");
  ASSERT_EQ(0, TQPROD_BackupKey("A", f.c_str()));
  EXPECT_EQ("#\nA\n\tall=-1\n\tbin=ab\n\tlist=first\n\teq=a=b\n\tnl=line1\n"
            "#\nA\\empty\n#\nA\\z\n\tv=after prng\n",
            ReadFile(f));
}

TEST_F(BackupTest, TooDeepTreeEndsWithTheErrorTextAndRestoresWhatCameBefore) {
  PutStr("A", "top", "t");
  MakeChain("A", 101);
  std::string f = File("deep.bak");
  ASSERT_EQ(-2, TQPROD_BackupKey("A", f.c_str()));
  std::string text = ReadFile(f);
  const std::string tail = "\tlvl=100\n\n\nerror - registry to deep";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(tail, text.substr(text.size() - tail.size()));

  ASSERT_EQ(0, TQPROD_DelKey("A"));
  ASSERT_EQ(0, TQPROD_RestoreKey(f.c_str()));
  EXPECT_EQ("t", Get("A", "top"));
  EXPECT_EQ("100", Get(Chain("A", 100), "lvl"));
  EXPECT_FALSE(KeyExists(Abs(Chain("A", 101))));
}

TEST_F(BackupTest, UnopenableFilesAndMissingStartKey) {
  PutStr("A", "v", "1");
  std::string bad = sysroot_ + "/no/such/dir/a.bak";
  const std::string msg = "The file '" + bad + "' was not opened\n";
  testing::internal::CaptureStdout();
  EXPECT_EQ(-4, TQPROD_BackupKey("A", bad.c_str()));
  EXPECT_EQ(-4, TQPROD_RestoreKey(bad.c_str()));
  EXPECT_EQ(-4, TQPROD_RestoreKeyWithType(bad.c_str()));
  EXPECT_EQ(msg + msg + msg, testing::internal::GetCapturedStdout());
  // A missing start key: -1, the file exists and holds nothing.
  std::string f = File("m.bak");
  EXPECT_EQ(-1, TQPROD_BackupKey("Missing", f.c_str()));
  EXPECT_EQ("", ReadFile(f));
}

TEST_F(BackupTest, PlainRestoreLineParsingAndRecordStateMachine) {
  PutStr("K", "old", "deleted by the record");
  PutStr("Kept", "v", "untouched");
  PutStr("Gone", "v", "x");
  ASSERT_EQ(0, Restore("stray=1\nnot a record\n"   // before the first "#": ignored
                       "#\nK\n"
                       "\teq=a=b\n"                 // cut at the "="
                       "\tempty=\n"                 // nothing after "=": nothing written
                       "no equals sign here\n"      // ignored
                       "\t\tname==value\n"          // runs of separators
                       "\tsp=with space\n"
                       "#\nGone\n"        // a record without values leaves its key deleted
                       "#\n\n\tv=lost\n"  // an empty key line: nothing deleted, values ignored
                       "#\n#K2\n\ta=1\n"  // after a head any line is the key name
                       "#x=5\n"           // in a record: a value, then a new record
                       "K3\n\tb=2\n"));
  EXPECT_EQ("<null>", Get("K", "old"));
  EXPECT_EQ("a", Get("K", "eq"));
  EXPECT_EQ("<null>", Get("K", "empty"));
  EXPECT_EQ("value", Get("K", "name"));
  EXPECT_EQ("with space", Get("K", "sp"));
  EXPECT_EQ(3, ValueCount(Abs("K")));
  EXPECT_FALSE(GetRaw(Abs(""), "stray").found);
  EXPECT_FALSE(KeyExists(Abs("Gone")));
  EXPECT_EQ("untouched", Get("Kept", "v"));
  EXPECT_EQ("1", Get("#K2", "a"));
  EXPECT_EQ("5", Get("#K2", "#x"));
  EXPECT_EQ("2", Get("K3", "b"));
}

TEST_F(BackupTest, TypedRestoreStoresTheGivenTypes) {
  PutStr("T", "old", "x");
  ASSERT_EQ(0, Restore("#\nT\n"
                       "\t0\t4\tport=80\n"
                       "\t0=1=name=abc\n"
                       "\t7\t4\tneg=-3\n"
                       "\t0\t4\tshort\n"         // no "=": ignored
                       "\t0\t4=three\n"          // three fields: ignored
                       "\tx\t4\tbadnum=1\n"      // first field not a number: ignored
                       "\t0\tfour\tbadtype=1\n"  // type not a number: ignored
                       "\t0\t-1\tnegtype=1\n",   // negative type: ignored
                       true));
  EXPECT_EQ(TQREG_DWORD, GetRaw(Abs("T"), "port").type);
  EXPECT_EQ("80", Get("T", "port"));
  EXPECT_EQ(TQREG_SZ, GetRaw(Abs("T"), "name").type);
  EXPECT_EQ("abc", Get("T", "name"));
  EXPECT_EQ("-3", Get("T", "neg"));
  EXPECT_EQ(3, ValueCount(Abs("T")));
}

// ---- Hostile files -----------------------------------------------------------

class HostileRestoreTest : public BackupTest {
 protected:
  void SetUp() override {
    BackupTest::SetUp();
    if (HasFatalFailure()) return;
    PutRaw("SYSTEM\\Sentinel", "s", TQREG_SZ, "outside", 8);
    PutStr("", "rootval", "root");
    PutStr("Other", "v", "sibling");
  }
  void ExpectOutsideUntouched() {
    EXPECT_EQ("outside", std::string(GetRaw("SYSTEM\\Sentinel", "s").data.c_str()));
    EXPECT_EQ("root", std::string(GetRaw(Abs(""), "rootval").data.c_str()));
    EXPECT_EQ("sibling", Get("Other", "v"));
  }
};

TEST_F(HostileRestoreTest, KeyLinesThatCouldNameTheRootOrClimbAreRefused) {
  for (const char *key : {"\\", "\\\\", ".", "..", "..\\..\\SYSTEM\\Sentinel", "A\\..\\Other",
                          "\\Other", "Other\\", "Other\\\\x", "Other\\.", "Other\\.\\x"}) {
    SCOPED_TRACE(key);
    ASSERT_EQ(0, Restore(std::string("#\n") + key + "\n\tinjected=1\n"));
    ExpectOutsideUntouched();
    EXPECT_EQ(1, ValueCount(Abs("Other")));
  }
  for (const char *key : {"..", ".", "A"}) EXPECT_FALSE(KeyExists(Abs(key))) << key;
}

TEST_F(HostileRestoreTest, OverlongLinesAreRefusedWhole) {
  // 1022 characters and the line feed fit one piece; one more does not.
  const std::string fits(1022 - 6, 'v');  // "\tfits=" is 6 characters
  std::string text = "#\nK\n\tfits=" + fits + "\n\tlong=" + std::string(1023 - 6, 'v') + "\n";
  // What lies past the first piece must not start a record or a value.
  text += "\tcut=" + std::string(1023 - 5, 'a') + "#x=y\n\tafter=1\n";
  text += "#\n" + std::string(1200, 'K') + "\n\tlost=1\n";  // overlong key line
  text += "#\nK2\n\tok=1\n";
  // An overlong head line still ends the record.
  text += "#" + std::string(2000, '=') + "\nK3\n\tb=2\n";
  ASSERT_EQ(0, Restore(text));
  EXPECT_EQ(fits, Get("K", "fits"));
  EXPECT_EQ("1", Get("K", "after"));
  EXPECT_EQ(2, ValueCount(Abs("K")));
  EXPECT_EQ("1", Get("K2", "ok"));
  EXPECT_EQ(1, ValueCount(Abs("K2")));
  EXPECT_EQ("2", Get("K3", "b"));
  ExpectOutsideUntouched();
}

TEST_F(HostileRestoreTest, ZeroBytesAndBinaryDataDoNotReachTheRegistry) {
  std::string text = "#\nK\n\tgood=1\n";
  text += std::string("\tbad=x\0y\n", 9);
  text += std::string("#\nOth\0er\n\tv=2\n", 14);  // a key line with a zero byte
  text += "#\nK\n\tbin=\x01\xff\x80\n";            // 8-bit text is kept as it is
  ASSERT_EQ(0, Restore(text));
  EXPECT_EQ("\x01\xff\x80", Get("K", "bin"));
  EXPECT_EQ("<null>", Get("K", "bad"));
  ExpectOutsideUntouched();

  // Pseudo-random garbage: nothing crashes, nothing outside changes.
  uint32_t seed = 12345;
  for (int round = 0; round < 20; ++round) {
    std::string junk;
    for (int i = 0; i < 4000; ++i) {
      seed = seed * 1103515245u + 12345u;
      char c = static_cast<char>(seed >> 16);
      if ((seed >> 8) % 7 == 0) c = "#\n\\=\t."[(seed >> 12) % 6];
      junk.push_back(c);
    }
    EXPECT_EQ(0, Restore(junk, round % 2 == 1));
    ExpectOutsideUntouched();
  }
}

TEST_F(HostileRestoreTest, FileEndingInsideARecord) {
  // Cut inside the key line: the key may be cut short, so nothing is deleted.
  PutStr("Oth", "v", "still here");
  ASSERT_EQ(0, Restore("#\nOth"));
  EXPECT_EQ("still here", Get("Oth", "v"));
  for (const char *cut : {"#\n#", "#", ""}) ASSERT_EQ(0, Restore(cut)) << cut;
  // A last value line without its line feed is restored.
  ASSERT_EQ(0, Restore("#\nK\n\ta=1\n\tb=2"));
  EXPECT_EQ("1", Get("K", "a"));
  EXPECT_EQ("2", Get("K", "b"));
  ExpectOutsideUntouched();
}

}  // namespace
