// .reg export and import through tqprod alone: round trips in both formats,
// malformed files, and the rollback of an import that fails midway.
#include "tool_run.h"

using tooltest::Has;
using tooltest::ParseJson;
using tooltest::Tool;

namespace {

class RegFile : public tooltest::ToolTest {
 protected:
  // A registry with every kind of value the formats carry.
  void Fill() {
    ASSERT_EQ(0, Tool({"demo-init"}).code);
    const char *x = "SOFTWARE\\Tarquel\\X";
    ASSERT_EQ(0, Tool({"set", x, "we\"ird\\name", "string", "tab\there \xc3\xa9"}).code);
    ASSERT_EQ(0, Tool({"set", x, "", "string", "default"}).code);
    ASSERT_EQ(0, Tool({"set", x, "neg", "number", "-2"}).code);
    ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\X\\Empty\\Deep", "m", "multi-string", "a", "\xc3\xa9"}).code);
    TQHKEY k;
    ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), x, &k));
    const char bin[] = {0, 1, 2, '\xff'};
    ASSERT_EQ(0, TqkRegSetValueEx(k, "bin", 0, 3, bin, 4));
    ASSERT_EQ(0, TqkRegSetValueEx(k, "odd", 0, 11, bin, 3));
    TqkRegCloseKey(k);
  }
};

TEST_F(RegFile, RoundTripThroughTqprodAloneInBothFormats) {
  Fill();
  for (const char *format : {"regedit5", "regedit4"}) {
    std::string first = Export(format);
    ASSERT_EQ(0, Tool({"export", "SOFTWARE\\Tarquel", Path("a.reg"), "--format", format}).code);
    EXPECT_EQ(first, tqtest::ReadFile(Path("a.reg")));
    FreshRegistry();
    tooltest::Run imp = Tool({"import", Path("a.reg"), "--json"});
    ASSERT_EQ(0, imp.code) << imp.err;
    EXPECT_EQ(format, ParseJson(imp)["format"]);
    EXPECT_EQ(first, Export(format)) << format;
  }
  std::string v5 = Export("regedit5");
  EXPECT_EQ(0u, v5.find("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel]\n"));
  EXPECT_TRUE(Has(v5, "\"neg\"=dword:fffffffe\n"));
  EXPECT_TRUE(Has(v5, "@=\"default\"\n"));
  EXPECT_TRUE(Has(v5, "\"bin\"=hex:00,01,02,ff\n"));
  EXPECT_TRUE(Has(v5, "\"odd\"=hex(b):00,01,02\n"));
  // Multi-strings are UTF-16LE in version 5, 8-bit in REGEDIT4.
  EXPECT_TRUE(Has(v5, "\"m\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"));
  EXPECT_TRUE(Has(Export("regedit4"), "\"m\"=hex(7):61,00,c3,a9,00,00\n"));
  // Text with control characters goes as hex(1), quotes and backslashes escaped.
  EXPECT_TRUE(Has(v5, "\"we\\\"ird\\\\name\"=hex(1):74,00,61,00,62,00,09,00"));
}

TEST_F(RegFile, ImportReadsWhatOtherWritersWrite) {
  // UTF-16LE with a byte-order mark and CRLF line ends, as Windows writes it;
  // HKLM abbreviation, continuation lines, comments, deletions.
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Old", "x", "string", "1"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Keep", "gone", "string", "1"}).code);
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n"
      "[HKLM\\SOFTWARE\\Tarquel\\Keep]\r\n\"gone\"=-\r\n\"s\"=\"\xc3\xa9t\xc3\xa9\"\r\n"
      "\"h\"=hex(2):41,00,\\\r\n   42,00,00,00\r\n"
      "\"d\"=dword:0000000A\r\n@=\"def\"\r\n\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\Old]\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\NeverWas]\r\n";
  std::string utf16 = "\xff\xfe";
  // The text is ASCII but for the two-byte é: convert it to UTF-16LE.
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned cp = static_cast<unsigned char>(text[i]);
    if (cp == 0xc3) cp = 0xc0 | (static_cast<unsigned char>(text[++i]) & 0x3f);
    utf16.push_back(static_cast<char>(cp & 0xff));
    utf16.push_back(static_cast<char>(cp >> 8));
  }
  tqtest::WriteFile(Path("w.reg"), utf16);
  tooltest::Run r = Tool({"import", Path("w.reg")});
  ASSERT_EQ(0, r.code) << r.err;
  const char *k = "SOFTWARE\\Tarquel\\Keep";
  EXPECT_EQ(1, Tool({"get", k, "gone"}).code);
  EXPECT_EQ("\xc3\xa9t\xc3\xa9\n", Tool({"get", k, "s"}).out);
  EXPECT_EQ("414200\n", Tool({"get", k, "h"}).out);  // type 2, 8-bit text as stored
  EXPECT_EQ("10\n", Tool({"get", k, "d"}).out);
  EXPECT_EQ("def\n", Tool({"get", k, ""}).out);
  EXPECT_EQ(1, Tool({"ls", "SOFTWARE\\Tarquel\\Old"}).code);

  // REGEDIT4 from standard input.
  r = Tool({"import", "-"}, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\R4]\n"
                            "\"m\"=hex(7):61,00,62,00,00\n");
  ASSERT_EQ(0, r.code) << r.err;
  EXPECT_EQ("a | b\n", Tool({"get", "SOFTWARE\\Tarquel\\R4", "m"}).out);
}

TEST_F(RegFile, MalformedFilesNameTheLineAndChangeNothing) {
  ASSERT_EQ(0, Tool({"demo-init"}).code);
  std::string before = Export("regedit5");
  const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\MRK]\n\"ok\"=\"1\"\n";
  struct Case {
    std::string body, expect;
  } cases[] = {
      {"\"a\"=\"bad \\q escape\"\n", "line 5: bad escape \\q"},
      {"\"a\"=hex:01,zz\n", "line 5: wrong hex byte"},
      {"\"a\"=hex:0123\n", "line 5: wrong hex byte"},
      {"\"a\"=dword:123456789\n", "line 5: a dword takes 1 to 8 hex digits"},
      {"\"a\"=\"no end\n", "line 5: unterminated quoted text"},
      {"[HKEY_LOCAL_MACHINE\\SOFTWARE\n", "line 5: key line without closing ']'"},
      {"\"a\"=hex:01,\\\n", "line 5: hex data continued past the end of the value"},
      {"\"a\"=qword:1\n", "line 5: unknown value type"},
      {"\"a\"=hex(zz):01\n", "line 5: unknown value type"},
      {"\"a\"=hex(4):01,02\n", "line 5: hex(4) takes exactly 4 bytes"},
      {"[HKEY_CURRENT_USER\\Software]\n", "line 5: key \"HKEY_CURRENT_USER\\Software\" is outside HKEY_LOCAL_MACHINE"},
      {"[HKEY_LOCAL_MACHINE\\A\\\\B]\n", "line 5: key HKEY_LOCAL_MACHINE\\A\\\\B has an empty component"},
      {"garbage\n", "line 5: not a key, a value or a comment"},
      {"\"a\"\n", "line 5: missing '='"},
  };
  for (const Case &c : cases) {
    tooltest::Run r = ImportText(head + c.body);
    EXPECT_EQ(2, r.code) << c.body;
    EXPECT_TRUE(Has(r.err, c.expect)) << c.body;
  }
  tooltest::Run r = ImportText("REGEDIT5\n");
  EXPECT_EQ(2, r.code);
  EXPECT_TRUE(Has(r.err, "line 1: not a .reg file"));
  r = ImportText("Windows Registry Editor Version 5.00\n\"a\"=\"1\"\n");
  EXPECT_TRUE(Has(r.err, "line 2: value before the first key"));
  EXPECT_EQ(1, Tool({"import", Path("missing.reg")}).code);
  EXPECT_EQ(before, Export("regedit5"));
}

TEST_F(RegFile, ImportFailingMidwayIsUndone) {
  ASSERT_EQ(0, Tool({"demo-init"}).code);
  std::string before = Export("regedit5");
  // Changes of every kind, then a line the registry refuses at write time.
  std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\MRK\\5.0]\n"
      "\"HighAvailability\"=dword:00000000\n"   // replaced
      "\"VersionText\"=-\n"                     // deleted
      "\"New\"=\"n\"\n\n"                        // added
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\Brand\\New\\Key]\n\"v\"=\"1\"\n\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\MRK\\5.0\\SP4]\n\n"
      "[-HKEY_LOCAL_MACHINE]\n";
  tooltest::Run r = ImportText(text);
  EXPECT_EQ(1, r.code);
  EXPECT_TRUE(Has(r.err, "line 13: refusing to delete HKEY_LOCAL_MACHINE"));
  EXPECT_TRUE(Has(r.err, "nothing was changed"));
  EXPECT_EQ(before, Export("regedit5"));
  EXPECT_EQ(1, Tool({"ls", "SOFTWARE\\Tarquel\\Brand"}).code);
}

}  // namespace
