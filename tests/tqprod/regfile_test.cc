// .reg export and import: round trips in both formats, other writers' files,
// malformed files, the rollback of a failed import, and round trips through
// a real peer, Samba's `net registry` (with a private configuration, so that
// the machine's Samba state is never touched).
#include <stdlib.h>

#include "raw.h"
#include "tool_run.h"

using namespace tooltest;

namespace {

const std::string kV5 = "Windows Registry Editor Version 5.00\n\n";
const std::string kHklm = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel";

class RegFile : public ToolTest {
 protected:
  Result Import(const std::string &text) {
    tqtest::WriteFile(Path("in.reg"), text);
    return Tool({"import", Path("in.reg")});
  }
  // Samba's `net registry`, all its directories in samba/ (emptied first):
  // imports in.reg and exports the tree to out.reg. Its output on failure.
  ::testing::AssertionResult NetRoundTrip(const std::string &option = "") {
    tqtest::RemoveTree(Path("samba"));
    std::string conf = "[global]\n  log file = " + Path("samba/log") + "\n";
    for (const char *dir : {"private dir", "state directory", "lock directory", "cache directory",
                            "pid directory", "ncalrpc dir"})
      conf += std::string("  ") + dir + " = " + Path("samba") + "\n";
    tqtest::WriteFile(Path("samba/smb.conf"), conf);
    const std::string net = "net -s '" + Path("samba/smb.conf") + "' registry ";
    const std::string cmd = net + "import '" + Path("in.reg") + "' && " + net +
                            "export 'HKLM\\SOFTWARE\\Tarquel' '" + Path("out.reg") + "'" + option;
    if (system((cmd + " >'" + Path("net.out") + "' 2>&1").c_str()) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << cmd << ":\n" << tqtest::ReadFile(Path("net.out"));
  }
};

// Each format through tqprod alone and through Samba (which reads tqprod's
// file and writes its own): the same registry again.
TEST_F(RegFile, RoundTripsAloneAndThroughSamba) {
  // The example registry with values of every kind the formats carry.
  ASSERT_EQ(0, Tool({"demo-init"}).code);
  const std::string x = "SOFTWARE\\Tarquel\\X";
  ASSERT_EQ(0, Tool({"set", x, "we\"ird\\name", "string", "back\\slash \"q\"\ttab"}).code);
  ASSERT_EQ(0, Tool({"set", x, "", "string", "default"}).code);
  ASSERT_EQ(0, Tool({"set", x + "\\Y", "neg", "number", "-2"}).code);
  ASSERT_EQ(0, Tool({"set", x + "\\E\\D", "m", "multi-string", "a", "b"}).code);
  tqtest::PutRaw(x, "bin", 3, "\0\1\2\xff", 4);
  tqtest::PutRaw(x, "odd", 11, "\0\1\2", 3);
  for (const char *format : {"regedit4", "regedit5"}) {
    if (format[7] == '5') {  // Samba writes REGEDIT4 text in its DOS code page: ASCII only there
      ASSERT_EQ(0, Tool({"set", x, "we\"ird\\name", "string", "tab\there \xc3\xa9"}).code);
      ASSERT_EQ(0, Tool({"set", x + "\\E\\D", "m", "multi-string", "a", "\xc3\xa9"}).code);
    }
    ASSERT_EQ(0, Tool({"export", "SOFTWARE\\Tarquel", Path("in.reg"), "--format", format}).code);
    const std::string mine = tqtest::ReadFile(Path("in.reg"));
    for (const char *file : {"in.reg", "out.reg"}) {
      ASSERT_TRUE(file[0] == 'i' || NetRoundTrip(format[7] == '4' ? " regedit4" : ""));
      FreshRegistry();
      EXPECT_EQ(format, Tool({"import", Path(file), "--json"}).Json()["format"]);
      EXPECT_EQ(mine, Export(format)) << file;
    }
  }
  const std::string v5 = Export("regedit5");
  EXPECT_EQ(0u, v5.find(kV5 + kHklm + "]\n"));
  for (const char *line : {"\"neg\"=dword:fffffffe\n", "@=\"default\"\n", "\"odd\"=hex(b):00,01,02\n",
                           // multi-strings are UTF-16LE in version 5, 8-bit in REGEDIT4
                           "\"m\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n",
                           // control characters: hex(1); quotes and backslashes escaped
                           "\"we\\\"ird\\\\name\"=hex(1):74,00,61,00,62,00,09,00"})
    EXPECT_TRUE(Has(v5, line));
  EXPECT_TRUE(Has(Export("regedit4"), "\"m\"=hex(7):61,00,c3,a9,00,00\n"));
}

TEST_F(RegFile, ImportReadsWhatOtherWritersWrite) {
  // UTF-16LE with a byte-order mark and CRLF line ends, as Windows writes it;
  // HKLM abbreviation, continuation lines, comments, deletions.
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Old", "x", "string", "1"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Keep", "gone", "string", "1"}).code);
  const std::string text =
      std::string("Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n"
      "[HKLM\\SOFTWARE\\Tarquel\\Keep]\r\n\"gone\"=-\r\n\"s\"=\"\xe9t\xe9\"\r\n"
      "\"h\"=hex(2):41,00,\\\r\n   42,00,00,00\r\n\"d\"=dword:0000000A\r\n@=\"def\"\r\n\r\n") +
      "[-" + kHklm.substr(1) + "\\Old]\r\n[-" + kHklm.substr(1) + "\\NeverWas]\r\n";
  std::string utf16 = "\xff\xfe";  // Latin-1 text to UTF-16LE
  for (char c : text) utf16 += std::string(1, c) + '\0';
  ASSERT_EQ(0, Import(utf16).code);
  EXPECT_EQ(kV5 + kHklm + "]\n\n" + kHklm + "\\Keep]\n\"s\"=\"\xc3\xa9t\xc3\xa9\"\n"
            "\"h\"=hex(2):41,00,42,00,00,00\n\"d\"=dword:0000000a\n@=\"def\"\n\n",
            Export("regedit5"));
  EXPECT_EQ("AB\n", Tool({"get", "SOFTWARE\\Tarquel\\Keep", "h"}).out);  // type 2 is text
  // REGEDIT4 from standard input.
  EXPECT_EQ(0, Tool({"import", "-"}, "REGEDIT4\n\n" + kHklm + "\\R4]\n\"m\"=hex(7):61,00,62,00,00\n").code);
  EXPECT_EQ("a | b\n", Tool({"get", "SOFTWARE\\Tarquel\\R4", "m"}).out);
}

TEST_F(RegFile, MalformedFilesNameTheLineAndChangeNothing) {
  ASSERT_EQ(0, Tool({"demo-init"}).code);
  const std::string before = Export("regedit5");
  const std::string head = kV5 + kHklm + "\\MRK]\n\"ok\"=\"1\"\n";
  const struct {
    std::string text, expect;
  } cases[] = {
      {head + "\"a\"=\"bad \\q escape\"\n", "line 5: bad escape \\q"},
      {head + std::string("\"a\0b\"=\"x\"\n", 11), "line 5: NUL character in a key"},
      {head + "\"a\"=hex:01,zz\n", "line 5: wrong hex byte"},
      {head + "\"a\"=dword:123456789\n", "line 5: a dword takes 1 to 8 hex digits"},
      {head + "\"a\"=\"no end\n", "line 5: unterminated quoted text"},
      {head + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", "line 5: key line without closing ']'"},
      {head + "\"a\"=qword:1\n", "line 5: unknown value type"},
      {head + "[HKEY_CURRENT_USER\\S]\n", "line 5: key \"HKEY_CURRENT_USER\\S\" is outside HKEY_LOCAL_MACHINE"},
      {head + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", "line 5: key HKEY_LOCAL_MACHINE\\A\\\\B has an empty component"},
      {"REGEDIT5\n", "line 1: not a .reg file"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"1\"\n", "line 2: value before the first key"},
  };
  for (const auto &c : cases) {
    Result r = Import(c.text);
    EXPECT_EQ(2, r.code) << c.expect;
    EXPECT_TRUE(Has(r.err, c.expect));
  }
  EXPECT_EQ(1, Tool({"import", Path("missing.reg")}).code);
  // Changes of every kind, then a line the registry refuses at write time.
  Result r = Import(kV5 + kHklm + "\\MRK\\5.0]\n\"HighAvailability\"=dword:00000000\n"
                    "\"VersionText\"=-\n\"New\"=\"n\"\n\n" + kHklm + "\\Brand\\New\\Key]\n\"v\"=\"1\"\n\n"
                    "[-" + kHklm.substr(1) + "\\MRK\\5.0\\SP4]\n\n[-HKEY_LOCAL_MACHINE]\n");
  EXPECT_EQ(1, r.code);
  EXPECT_TRUE(Has(r.err, "line 13: refusing to delete HKEY_LOCAL_MACHINE"));
  EXPECT_TRUE(Has(r.err, "nothing was changed"));
  EXPECT_EQ(before, Export("regedit5"));
}

}  // namespace
