// Product bookkeeping: levels with their paths and texts, state values,
// dependent packages, hot fixes and plug-ins with their walks, settings,
// partner products and short path names. Values are written raw and read
// through the library, or the other way round.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "interpose.h"
#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;
using Value = std::array<std::string, 3>;  // product-relative key, name, text
constexpr const char *kNull = nullptr;

void Put(std::initializer_list<Value> values) {
  for (const Value &v : values) PutStr(K(v[0]), v[1], v[2]);
}
std::string Raw(const std::string &rel, const char *name) { return GetStr(K(rel), name); }

// Product "P" at version 6.0.
class BkTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    Put({{"P", "CurrentVersion", "6.0"}});
  }
};

// Current SP, previous SP, current MSP, previous MSP, previous version.
std::string Levels(const char *product) {
  std::string out;
  for (auto get : {TQPROD_GetCurrentServicePack, TQPROD_GetPrevServicePack, TQPROD_GetCurrentMSP,
                   TQPROD_GetPrevMSP, TQPROD_GetPreviousVersion})
    out += Str(get(product)) + " ";
  return out;
}

// Each level key holds the previous-level values with its own name as
// text, so every answer names the key it was read from.
TEST_F(BkTest, LevelValuesComeFromTheCurrentLevelKey) {
  for (std::string key : {"6.0", "6.0\\SP2", "6.0\\SP2\\MSP3", "6.0\\MSP3"})
    for (const char *name : {"PrevSP", "PrevMSP", "PrevVersion"}) Put({{"P\\" + key, name, key}});
  EXPECT_EQ("<null> 6.0 <null> 6.0 6.0 ", Levels("P"));
  Put({{"P\\6.0", "CurrentMSP", "3"}});  // without an SP there is no MSP key
  EXPECT_EQ("<null> 6.0 3 6.0 6.0 ", Levels("P"));
  Put({{"P\\6.0", "CurrentSP", "2"}});
  EXPECT_EQ("2 6.0\\SP2 <null> 6.0\\SP2 6.0 ", Levels("P"));
  Put({{"P\\6.0\\SP2", "CurrentMSP", "3"}});
  EXPECT_EQ("2 6.0\\SP2 3 6.0\\SP2\\MSP3 6.0 ", Levels("P"));
  // A set MSP is written where it is read.
  EXPECT_EQ((Strings{"0", "4"}), (Strings{std::to_string(TQPROD_SetCurrentMSP("P", "4")), Raw("P\\6.0\\SP2", "CurrentMSP")}));
  // A number under a level's name is no level; no product, none at all.
  PutNum(K("Q"), "CurrentVersion", 6);
  for (const char *product : {"Q", "Absent", "", kNull}) {
    EXPECT_EQ("<null> <null> <null> <null> <null> ", Levels(product)) << Str(product);
    EXPECT_EQ(-1, TQPROD_SetCurrentMSP(product, "1")) << Str(product);
  }
}

TEST_F(BkTest, PathOfEachLevel) {
  EXPECT_EQ("<null>", Take(TQPROD_GetPath("P", "sp")));
  Put({{"P\\6.0", "CurrentSP", "4"}});
  EXPECT_EQ((Strings{"<null>", "P\\6.0\\SP4"}), (Strings{Take(TQPROD_GetPath("P", "msp")), Take(TQPROD_GetPath("P", "sp"))}));
  Put({{"P\\6.0\\SP4", "CurrentMSP", "2"}});
  for (const char *sel : {"msp", "ve", "spx", kNull})  // anything but "ver" or "sp"
    EXPECT_EQ("P\\6.0\\SP4\\MSP2", Take(TQPROD_GetPath("P", sel))) << Str(sel);
  // The root-prefixed path must fit 1024 bytes: product\version of 1006
  // characters is a path, of 1007 none.
  for (size_t len : {1006u, 1007u}) {
    std::string product = std::string(250, 'a') + "\\" + std::string(250, 'b') + "\\" +
                          std::string(250, 'c') + "\\" + std::string(len - 755, 'd');
    Put({{product, "CurrentVersion", "1"}});
    EXPECT_EQ(len == 1006 ? product + "\\1" : "<null>",
              Take(TQPROD_GetPath(product.c_str(), "ver")));
  }
}

// TQPROD_GetAllPrevData into buffers that start as init.
std::string Prev(const char *product, const char *init = "") {
  char v[256], sp[256], msp[256];
  strcpy(v, init), strcpy(sp, init), strcpy(msp, init);
  EXPECT_EQ(0, TQPROD_GetAllPrevData(product, v, sp, msp));
  return std::string(v) + "/" + sp + "/" + msp;
}

// The previous level: the previous MSP at the current SP, else the previous
// (or current) SP with the MSP recorded under it, else the previous version
// with the current MSP. Each key's text is its own name.
TEST_F(BkTest, PreviousLevelAndItsText) {
  for (const char *key : {"P\\5.0", "P\\6.0", "P\\6.0\\SP3", "P\\6.0\\SP0\\MSP3",
                          "P\\6.0\\SP1\\MSP6", "P\\6.0\\SP3\\MSP1"})
    Put({{key, "VersionText", key}});
  const struct { std::vector<Value> puts; const char *prev, *text; } stages[] = {
      {{{"P\\6.0", "PrevVersion", "5.0"}}, "5.0//", "P\\5.0"},
      {{{"P\\6.0", "CurrentMSP", "2"}}, "5.0//2", "P\\5.0"},
      {{{"P\\6.0", "CurrentSP", "3"}}, "6.0/3/", "P\\6.0\\SP3"},
      // Previous SP "0": the version key, whatever MSP is recorded.
      {{{"P\\6.0\\SP3", "PrevSP", "0"}, {"P\\6.0\\SP0", "CurrentMSP", "3"}}, "6.0/0/3", "P\\6.0"},
      {{{"P\\6.0\\SP3", "PrevSP", "1"}, {"P\\6.0\\SP1", "CurrentMSP", "6"}}, "6.0/1/6",
       "P\\6.0\\SP1\\MSP6"},
      {{{"P\\6.0\\SP3", "PrevMSP", "1"}}, "6.0/3/1", "P\\6.0\\SP3\\MSP1"},
  };
  for (const auto &s : stages) {
    for (const Value &v : s.puts) Put({v});
    EXPECT_EQ(s.prev, Prev("P"));
    EXPECT_EQ(s.text, Str(TQPROD_GetPrevVerText("P"))) << s.prev;
  }
  EXPECT_EQ("keep/keep/keep", Prev("Absent", "keep"));  // buffers it cannot fill stay
}

// The current MSP is appended whatever service pack is given.
TEST_F(BkTest, VersionTextsOfTheLevelKeys) {
  for (const char *key : {"P\\6.0", "P\\6.0\\SP2", "P\\6.0\\MSP2", "P\\6.0\\SP2\\MSP2", "tqshared"})
    Put({{key, "VersionText", key}});
  Put({{"P\\6.0", "CurrentSP", "2"}, {"P\\6.0\\SP2", "CurrentMSP", "2"}});
  EXPECT_EQ((Strings{"P\\6.0", "tqshared", "P\\6.0\\SP2", "P\\6.0\\MSP2", "P\\6.0\\SP2\\MSP2"}),
            (Strings{Str(TQPROD_GetVerText("P")), Str(TQPROD_GetVerText(" ")),
                   Str(TQPROD_GetSPVerText("P", "2")), Str(TQPROD_GetMSPVerText("P", "x")),
                   Str(TQPROD_GetMSPVerText("P", "2"))}));
}

// "PluginActive" reads as its number, the others as 0 or 1; text that is
// no number reads 0 and numbers saturate at the 32-bit limits.
TEST_F(BkTest, StateValues) {
  const struct { const char *text; int number, flag; } rows[] = {
      {"-7", -7, 1}, {"0", 0, 0}, {"yes", 0, 0}, {"99999999999", INT32_MAX, 1}};
  for (const auto &r : rows) {
    for (const char *v : {"PluginActive", "ProdActive", "IsConfigured"})
      Put({{"P\\6.0", v, r.text}});
    EXPECT_EQ((Ints{r.number, r.flag, r.flag}), (Ints{TQPROD_IsPluginActive("P"),
              TQPROD_IsProdActive("P"), TQPROD_IsConfigured("P")})) << r.text;
  }
  Put({{"tqshared", "CurrentVersion", "R1"}});
  EXPECT_EQ((Ints{0, 0, 0, 0, 1, -1, -1, 0, 0}),
            (Ints{TQPROD_SetProdActive("P", -8), TQPROD_SetConfigured("P"),
                  TQPROD_SetPluginActive("P", 42), TQPROD_SetExpress(2), TQPROD_IsExpress(),
                  TQPROD_SetProdActive("", 1), TQPROD_SetConfigured(nullptr),
                  TQPROD_IsProdActive(""), TQPROD_IsPluginActive(nullptr)}));
  EXPECT_EQ("-8 1 1 2", Raw("P\\6.0", "ProdActive") + " " + Raw("P\\6.0", "IsConfigured") + " " +
                            Raw("P\\6.0", "PluginActive") + " " + Raw("TQShared\\R1", "Express"));
}

TEST_F(BkTest, DependentPackagesAtTheirLevel) {
  Put({{"P\\6.0", "CurrentSP", "4"}, {"Q", "CurrentVersion", "1"}});
  EXPECT_EQ((Ints{0, 0, 0, -1, -1, -1, -1}),
            (Ints{TQPROD_SetDependent("P", "a", "x"),  // no number: no SP
                  TQPROD_SetDependent("P", "b", "2"),
                  TQPROD_SetMSPDependentValue("P", "c", "vc", "", "1"),  // the current SP
                  TQPROD_SetDependent(nullptr, "k", "0"), TQPROD_SetDependent("P", nullptr, "0"),
                  TQPROD_SetMSPDependentValue("P", "k", "v", "4", nullptr),
                  TQPROD_SetMSPDependentValue("Q", "k", "v", "", "1")}));  // no current SP
  const std::string sp2 = "P\\6.0\\SP2\\DependentPkgs", msp = "P\\6.0\\SP4\\MSP1\\DependentPkgs";
  EXPECT_EQ("1 1 vc", Raw("P\\6.0\\DependentPkgs", "a") + " " + Raw(sp2, "b") + " " +
                          Raw(msp, "c"));
  Put({{"P\\6.0\\SP4\\MSP3\\DependentPkgs", "g", "vg"}});
  EXPECT_EQ((Strings{"1", "vg"}), (Strings{Str(TQPROD_GetDependentValue("P", "2", "b")),
                                       Str(TQPROD_GetMSPDependentValue("P", nullptr, "3", "g"))}));
  EXPECT_EQ((Ints{0, 0, -1}),
            (Ints{TQPROD_CleanDependent("P", "b", "2"), TQPROD_CleanMSPDependent("P", "c", "", "1"),
                  TQPROD_CleanDependent("P", "b", "7")}));
  EXPECT_EQ("<absent> <absent>", Raw(sp2, "b") + " " + Raw(msp, "c"));
}

// Every name of a walk until its end, which must be -3.
template <typename Step>
Strings Walk(Step step) {
  Strings out;
  char name[500];
  int rc = step(1, name);
  for (; rc == 0; rc = step(0, name)) out.push_back(name);
  EXPECT_EQ(-3, rc);
  return out;
}

// Hot fixes whose own key has a removal command and, for the second walk,
// no placeholder mark ("Dummy").
TEST_F(BkTest, HotFixWalksAndRemovalCommands) {
  for (const char *hf : {"HF1", "HF2", "HF3", "HF4", ""}) Put({{"P\\6.0\\hotfixes", hf, ""}});
  for (std::string hf : {"HF1", "HF3", "HF4"}) Put({{"P\\6.0\\" + hf, "SilentUninstall", "rm"}});
  Put({{"P\\6.0\\HF2", "Other", "x"}, {"P\\6.0\\HF3", "Dummy", ""}, {"Q", "CurrentVersion", "1"}});
  ASSERT_EQ(0, TQPROD_SetHFSilentUninstall("P", "HFA_3", "rm hfa3"));
  EXPECT_EQ("rm hfa3", Raw("P\\6.0\\hotfix_HFA_3", "SilentUninstall"));
  EXPECT_EQ((Strings{"HF1", "HF3", "HF4"}),
            Walk([](int r, char *n) { return TQPROD_GetHotFixes(r ? "P" : nullptr, n); }));
  EXPECT_EQ((Strings{"HF1", "HF4"}), Walk([](int r, char *n) {
              return TQPROD_GetHotFixesWithoutDummy(r ? "P" : nullptr, n);
            }));
  // Absent product (kept by the cursor), no hotfixes key, names longer
  // than the 50-byte cursor; the product level's command needs an MSP.
  char a[500];
  EXPECT_EQ((Ints{-1, -1, -2, -1, -1}),
            (Ints{TQPROD_GetHotFixes("Absent", a), TQPROD_GetHotFixes(nullptr, a),
                  TQPROD_GetHotFixesWithoutDummy("Q", a),
                  TQPROD_GetHotFixes(std::string(50, 'P').c_str(), a),
                  TQPROD_SetSilentUninstall("P", "u")}));
}

// The last hot fix's bookkeeping values are kept in <version>\HotFixes\LastInfo,
// the firewall's previous minor version in the key named by its last hot fix.
TEST_F(BkTest, HotFixBookkeepingValues) {
  EXPECT_EQ(-1, TQPROD_SetPrevMinorVersion("m4"));  // no firewall version
  Put({{"MRK", "CurrentVersion", "R80"}});
  EXPECT_EQ("<null>", Str(TQPROD_GetPrevMinorVersion()));
  EXPECT_EQ((Ints{-1, 0, 0, 0, 0}),  // no last hot fix yet, then each value
            (Ints{TQPROD_SetPrevMinorVersion("m4"), TQPROD_SetLastHFAIndex("P", "7"),
                  TQPROD_SetLastHFARegName("MRK", "HFA_5"), TQPROD_SetLastMinorVersion("m5"),
                  TQPROD_SetPrevMinorVersion("m4")}));
  const std::string info = "\\HotFixes\\LastInfo";
  EXPECT_EQ("7 HFA_5 m5 m4", Raw("P\\6.0" + info, "LastHFAIndex") + " " +
                                 Raw("MRK\\R80" + info, "LastHFARegName") + " " +
                                 Raw("MRK\\R80" + info, "LastMinorVersion") + " " +
                                 Raw("MRK\\R80\\HFA_5", "PrevMinorVersion"));
  EXPECT_EQ((Strings{"7", "HFA_5", "m5", "m4"}),
            (Strings{Str(TQPROD_GetLastHFAIndex("P")), Str(TQPROD_GetLastHFARegName("MRK")),
                   Str(TQPROD_GetLastMinorVersion()), Str(TQPROD_GetPrevMinorVersion())}));
}

// Entries of SOFTWARE\Tarquel\products: only "PI..." entries whose
// "PIActive" is exactly "True" or "1" are named; the others give "".
TEST_F(BkTest, PlugInWalks) {
  char name[500] = "stale";
  EXPECT_EQ(-2, TQPROD_GetInstalledPlugInsByMinorVersion(1, name));
  EXPECT_STREQ("", name);
  const char *rows[][2] = {{"MRK", "True"}, {"PIone", "True"}, {"PItwo", "true"},
                           {"PIthree", "1 "}, {"PIfour", "1"}, {"PIseven", "True"}};
  for (auto &r : rows)
    Put({{"products", r[0], ""}, {std::string(r[0]) + "\\1.0", "PIActive", r[1]},
         {r[0], "CurrentVersion", "1.0"}});
  Put({{"PIone\\1.0", "MinorVersion", "3"}, {"PIseven\\1.0", "MinorVersion", "4"}});
  EXPECT_EQ((Strings{"", "PIone", "", "", "PIfour", "PIseven"}), Walk(TQPROD_GetInstalledPlugIns));
  EXPECT_EQ((Strings{"", "", "", "", "", "PIseven"}),
            Walk([](int r, char *n) { return TQPROD_GetInstalledPlugInsByVer(r, n, "4"); }));
}

// Getter, setter (or none), versioned key and value of each fixed setting.
const struct { const char *(*get)(void); int (*set)(const char *); const char *key, *value; }
kSettings[] = {
    {TQPROD_GetTqmDir, nullptr, "MRK\\R75", "TQMDIR"},
    {TQPROD_GetQldir, nullptr, "QLN\\Q1", "PRODDIR"},
    {TQPROD_GetTqdir, nullptr, "tqshared\\R1", "TQDIR"},
    {TQPROD_GetCrldpName, TQPROD_SetCrldpName, "MRK\\R75", "crldp_name"},
    {TQPROD_GetFipsPath, TQPROD_SetFipsPath, "MRK\\R75", "FIPS_PATH"},
    {TQPROD_GetAuxIf, TQPROD_SetAuxIf, "MRK\\R75\\reserved\\ZANDOR", "Aux"},
    {TQPROD_GetDMZIf, TQPROD_SetDMZIf, "MRK\\R75\\reserved\\ZANDOR", "DMZ"},
    {TQPROD_GetInternalIf, TQPROD_SetInternalIf, "MRK\\R75\\reserved\\ZANDOR", "Internal"},
    {TQPROD_GetExternalIf, TQPROD_SetExternalIf, "MRK\\R75\\reserved\\ZANDOR", "External"},
};

TEST_F(BkTest, SettingsLiveUnderTheProductsCurrentVersion) {
  // The shared directory and the interface assignments need a current version.
  Put({{"tqshared", "TQDIR", "/unversioned"}});
  EXPECT_EQ("<null>", Str(TQPROD_GetTqdir()));
  EXPECT_EQ(-1, TQPROD_SetAuxIf("eth9"));
  Put({{"MRK", "CurrentVersion", "R75"}, {"QLN", "CurrentVersion", "Q1"},
       {"tqshared", "CurrentVersion", "R1"}, {"Reporting Module", "CurrentVersion", "R1"}});
  for (const auto &s : kSettings) {
    Put({{s.key, s.value, std::string("raw ") + s.value}});
    EXPECT_EQ(std::string("raw ") + s.value, Str(s.get())) << s.value;
    if (!s.set) continue;
    ASSERT_EQ(0, s.set(s.value)) << s.value;
    EXPECT_EQ(s.value, Raw(s.key, s.value));
  }
  EXPECT_EQ(-1, TQPROD_SetReserved("", "S", "N", 1, "x", 0));  // reserved values need a product
  // Auto-start values: decimal text, -1 when missing.
  EXPECT_EQ((Ints{-1, -1, 0, 0, -12, 7}),
            (Ints{TQPROD_GetMRKAutoStart(), TQPROD_GetRTAutoStart(), TQPROD_SetMRKAutoStart(-12),
                  TQPROD_SetRTAutoStart(7), TQPROD_GetMRKAutoStart(), TQPROD_GetRTAutoStart()}));
  EXPECT_EQ("-12 7", Raw("MRK\\R75", "AutoStart") + " " + Raw("Reporting Module\\R1", "AutoStart"));
}

// Writes stop at the first failure (-1 to -4); a delete takes the partner
// and ALTEX along when it empties them, and restarts the key walk.
TEST_F(BkTest, PartnerProducts) {
  ASSERT_EQ(0, TQPROD_SetALTEXProdDir("Acme", "A", "3", "0", "url filter", "/opt/f"));
  EXPECT_EQ("url filter /opt/f",
            Raw("ALTEX\\Acme\\A", "INFO") + " " + Raw("ALTEX\\Acme\\A", "PRODDIR"));
  EXPECT_EQ((Ints{-2, -3, -4, -1, -1, 0}),
            (Ints{TQPROD_SetALTEXProd("Acme", "B", "1", nullptr, "i"),
                  TQPROD_SetALTEXProd("Acme", "B", "1", "1", nullptr),
                  TQPROD_SetALTEXProdDir("Acme", "B", "1", "1", "i", nullptr),
                  TQPROD_SetALTEXProd("", "Y", "1", "1", "i"),
                  TQPROD_SetALTEXProd("Acme", "", "1", "1", "i"),
                  TQPROD_SetALTEXProd("Zeta", "Z", "1", "0", "z")}));
  // After a walk is begun, a delete restarts it with its own walk, which it
  // leaves at its end.
  char name[200];
  EXPECT_EQ((Ints{-1, -1, -1, 0, 0, 0, -3}),
            (Ints{TQPROD_DelALTEXProd("Nobody", "A"), TQPROD_DelALTEXProd("Acme", ""),
                  TQPROD_DelALTEXProd("", "Acme"), TQPROD_DelALTEXProd("Acme", "A"), TQPROD_GetEnumKey("TQROOT", name, 0),
                  TQPROD_DelALTEXProd("Acme", "B"), TQPROD_GetEnumKey(nullptr, name, 0)}));
  EXPECT_EQ((Strings{"Zeta"}), SubKeys(K("ALTEX")));  // the emptied partner went
  EXPECT_EQ(0, TQPROD_DelALTEXProd("Zeta", "Z"));
  EXPECT_EQ((Strings{"P"}), SubKeys(kTarquel));  // ALTEX went too
  // An emptied key the registry refuses to delete: -2 for the partner, -3
  // for ALTEX; the refused key stays.
  for (const char *key : {"ALTEX\\Acme", "ALTEX"}) {
    ASSERT_EQ(0, TQPROD_SetALTEXProd("Acme", "A", "1", "0", "i"));
    g_platform.refused_delete = K(key);
    EXPECT_EQ(key[5] ? -2 : -3, TQPROD_DelALTEXProd("Acme", "A")) << key;
    g_platform.refused_delete.clear();
    EXPECT_TRUE(KeyExists(K(key)) && SubKeys(K(key)).empty()) << key;
  }
}

// Short form of path (the same file under its plainest name); "<rc>" and
// the first byte of the buffer when there is none.
std::string Short(const std::string &path, int capacity = 512) {
  char buf[512];
  memset(buf, 'X', sizeof buf);
  int n = tqGetShortPathName(path.c_str(), buf, capacity);
  if (n <= 0) return "<" + std::to_string(n) + ">" + buf[0];
  EXPECT_EQ(static_cast<size_t>(n), strnlen(buf, sizeof buf));
  return buf;
}

TEST_F(BkTest, ShortPathNamesAndTheShortProductDirectory) {
  const std::string b = sysroot_;
  for (const char *dir : {"/a", "/a/b", "/a/c"}) ASSERT_EQ(0, mkdir((b + dir).c_str(), 0755));
  ASSERT_EQ(0, symlink((b + "/a/b").c_str(), (b + "/link").c_str()));
  const std::pair<std::string, std::string> rows[] = {
      {b + "//a/./b/", b + "/a/b"}, {b + "\\a\\b\\..\\b", b + "/a/b"}, {"/../..", "/"},
      {b + "/link/../c", b + "/a/c"},  // link/.. is a/, not b/
      {b + "/missing", "<0>X"}, {"", "<-1>X"}};
  for (const auto &[path, want] : rows) EXPECT_EQ(want, Short(path)) << path;
  EXPECT_EQ(b + "/a/b", Short(b + "/a/./b", static_cast<int>(b.size()) + 5));  // just fits
  EXPECT_EQ("<0>X", Short(b + "/a/./b", static_cast<int>(b.size()) + 4));  // nothing written
  Put({{"P\\6.0", "PRODDIR", b + "//./a/"}});
  EXPECT_EQ((Strings{b + "/a", "<null>"}), (Strings{Take(TQPROD_GetShortProdDir("P")), Take(TQPROD_GetShortProdDir(nullptr))}));
}

}  // namespace
