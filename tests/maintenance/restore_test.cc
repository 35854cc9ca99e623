// The two backup-file readers: the record state machine, value-line
// parsing, and hostile files that must not reach outside the records' keys.
#include "tq_test.h"
#include "tree.h"

using namespace tqtest;

namespace {

class Restore : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    PutStr("SYSTEM\\Sentinel", "s", "outside");
    PutStr(kTarquel, "rootval", "root");
    PutStr(K("Other"), "v", "sibling");
  }
  // Writes text as a backup file and restores it with the chosen reader.
  int Run(const std::string &text, bool typed = false) {
    const std::string f = sysroot_ + "/in.bak";
    WriteFile(f, text);
    return typed ? TQPROD_RestoreKeyWithType(f.c_str()) : TQPROD_RestoreKey(f.c_str());
  }
  // The whole product registry; nothing outside it may change.
  std::string After() {
    EXPECT_EQ("outside", GetStr("SYSTEM\\Sentinel", "s"));
    return Tree(kTarquel);
  }
  const std::string untouched_ = ":\n  rootval=root\nOther:\n  v=sibling\n";
};

TEST_F(Restore, PlainReaderStateMachine) {
  PutStr(K("K"), "old", "deleted by the record");
  PutStr(K("Gone"), "v", "x");
  ASSERT_EQ(0, Run("stray=1\nnot a record\n"                  // before the first "#": ignored
                   "#\nK\n\teq=a=b\n\tempty=\n"               // cut at "="; an empty text: no value
                   "no equals sign here\n\ttab\tonly\n"       // no "=": ignored however it splits
                   "\t\tname==value\n\tsp=with space\n"       // runs of separators
                   "#\nGone\n"                                // no values: the key stays deleted
                   "#\n\n\tv=lost\n"                          // an empty key line selects nothing
                   "#\n#K2\n\ta=1\n"                          // after a head any line is the key name
                   "#x=5\nK3\n\tb=2\n"));                     // in a record: a value, then a new record
  EXPECT_EQ(":\n  rootval=root\n#K2:\n  a=1\n  #x=5\nK:\n  eq=a\n  name=value\n  sp=with space\n"
            "K3:\n  b=2\nOther:\n  v=sibling\n",
            After());
}

TEST_F(Restore, TypedReaderStoresTheGivenTypes) {
  ASSERT_EQ(0, Run("#\nT\n\t0\t4\tport=80\n\t0=1=name=abc\n\t-2147483648\t4\tneg=-3\n"
                   "\t0\t4\tmin=-2147483648\n\t0\t4\tshort\n\t0\t4=three\n"  // no "=", three fields: ignored
                   "\tx\t4\tbadnum=1\n"     // a field that is not a number: ignored
                   "\t0\t4x\tbadtype=1\n"   // ... nor is a number with a tail
                   "\t0\t2147483648\twide=1\n"  // ... nor one beyond an int (ILP32 too)
                   "\t0\t-1\tnegtype=1\n",  // a negative type: ignored
                   true));
  EXPECT_EQ(untouched_ + "T:\n  port#80\n  name=abc\n  neg#4294967293\n  min#2147483648\n", After());
}

TEST_F(Restore, KeyLinesThatCouldNameTheRootOrClimbAreRefused) {
  for (const char *key : {"\\", "\\\\", ".", "..", "..\\..\\SYSTEM\\Sentinel", "A\\..\\Other",
                          "\\Other", "Other\\", "Other\\\\x", "Other\\.", "Other\\.\\x"}) {
    for (bool typed : {false, true}) {
      ASSERT_EQ(0, Run(std::string("#\n") + key + "\n\tinjected=1\n\t0\t1\tinjected=1\n", typed));
      EXPECT_EQ(untouched_, After()) << key;
    }
  }
}

TEST_F(Restore, OverlongLinesAndZeroBytesAreRefusedWhole) {
  // 1022 characters and the line feed fit one piece; one more does not.
  const std::string fits(1022 - 6, 'v');  // "\tfits=" is 6 characters
  std::string text = "#\nK\n\tfits=" + fits + "\n\tlong=" + std::string(1023 - 6, 'v') + "\n";
  // What lies past the first piece must not start a record or a value.
  text += "\tcut=" + std::string(1023 - 5, 'a') + "#x=y\n\tafter=1\n";
  text += "#\n" + std::string(1200, 'K') + "\n\tlost=1\n";  // an overlong key line
  text += "#\nK2\n\tok=1\n" + std::string("\tbad=x\0y\n", 9);
  text += std::string("#\nOth\0er\n\tv=2\n", 14);                // a key line with a zero byte
  text += "#" + std::string(2000, '=') + "\nK3\n\tb=\x01\xff\x80\n";  // an overlong head heads
  ASSERT_EQ(0, Run(text));
  EXPECT_EQ(":\n  rootval=root\nK:\n  fits=" + fits + "\n  after=1\nK2:\n  ok=1\n"
            "K3:\n  b=\x01\xff\x80\nOther:\n  v=sibling\n",
            After());
}

TEST_F(Restore, CutFilesAndGarbage) {
  // A key line cut by the end of the file may be cut short: nothing is
  // deleted. A last value line without its line feed is restored.
  for (const char *cut : {"#\nOther", "#\n#", "#", ""}) ASSERT_EQ(0, Run(cut)) << cut;
  ASSERT_EQ(0, Run("#\nK\n\ta=1\n\tb=2"));
  EXPECT_EQ(":\n  rootval=root\nK:\n  a=1\n  b=2\nOther:\n  v=sibling\n", After());
  // Twenty files of pseudo-random garbage: nothing crashes, nothing outside
  // the product registry or in its root changes.
  std::string junk;
  for (uint32_t seed = 12345, i = 1; i <= 80000; ++i) {
    seed = seed * 1103515245u + 12345u;
    junk += (seed >> 8) % 7 ? static_cast<char>(seed >> 16) : "#\n\\=\t."[(seed >> 12) % 6];
    if (i % 4000 == 0) {
      EXPECT_EQ(0, Run(junk, i % 8000 == 0));
      junk.clear();
    }
  }
  EXPECT_EQ(std::vector<std::string>{"rootval"}, ValueNames(kTarquel));
  EXPECT_EQ("outside", GetStr("SYSTEM\\Sentinel", "s"));
}

}  // namespace
