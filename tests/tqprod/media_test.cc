// media info, list and package, with the multi-CD dialogue driven by --cd.
#include <stdlib.h>

#include "tool_run.h"

using tooltest::Has;
using tooltest::ParseJson;
using tooltest::Tool;

namespace {

class Media : public tooltest::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    // The archive assembly runs gtar; the project's wrapper stands in for it.
    old_path_ = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    const char *src = getenv("TQ_TEST_SOURCE_DIR");
    ASSERT_NE(nullptr, src);
    setenv("PATH", (std::string(src) + "/../tools/gtar:" + old_path_).c_str(), 1);
    tqtest::WriteFile(sysroot_ + "/tmp/.keep", "");
    const std::string index =
        "VENDOR=Tarquel\nVERSION=R75\nSP=R1\nCDNUM=%d\nOS=linux\n"
        "ZUD;Zudedaz;/linux/zud;0;1;1\n"
        "FAR;Faraway;/linux/far;0;3;1\n"
        "M2;Mod2;/modules/m2/m2.tgz;1;2;0\n"
        "M3;Mod3;/modules/m3;1;3;0\n";
    for (int n = 1; n <= 3; ++n) {
      std::string t = index;
      t.replace(t.find("%d"), 2, std::to_string(n));
      tqtest::WriteFile(Cd(n) + "/DW/Products.conf", t);
    }
    tqtest::WriteFile(Cd(1) + "/linux/zud/zfile", "z\n");
    tqtest::WriteFile(Cd(1) + "/linux/Actions/CheckPackage", "check\n");
    tqtest::WriteFile(Cd(1) + "/wrappers/unix/w.sh", "wrap\n");
    tqtest::WriteFile(Cd(1) + "/UnixInstallScript", "install\n");
    tqtest::WriteFile(Cd(2) + "/modules/m2/m2.tgz", "m2\n");
    tqtest::WriteFile(Cd(3) + "/modules/m3/m3file", "m3\n");
    tqtest::WriteFile(Cd(3) + "/linux/far/f", "f\n");
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    ToolTest::TearDown();
  }
  std::string Cd(int n) const { return Path("cd" + std::to_string(n)); }
  std::string old_path_;
};

TEST_F(Media, InfoAndList) {
  nlohmann::json info = ParseJson(Tool({"media", "info", Cd(2), "--json"}));
  EXPECT_EQ("Tarquel", info["vendor"]);
  EXPECT_EQ("R1", info["sp"]);
  EXPECT_TRUE(info["multiple_cd"].get<bool>());
  EXPECT_EQ("2", info["cd"]);
  nlohmann::json list = ParseJson(Tool({"media", "list", Cd(1), "--json"}));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("Zudedaz", list[0]["product"]);
  EXPECT_EQ("Faraway", list[1]["product"]);
  tooltest::Run r = Tool({"media", "list", Path("nowhere")});
  EXPECT_EQ(1, r.code);
  EXPECT_TRUE(Has(r.err, "no readable DW directory"));
}

TEST_F(Media, MultiCdDialogueWithCdOptions) {
  // Without the CDs it names the one it needs (not a terminal: no prompt).
  tooltest::Run r = Tool({"media", "package", Cd(1), "Zudedaz", "R1", "linux"});
  EXPECT_EQ(1, r.code);
  EXPECT_TRUE(Has(r.err, "CD 2 is needed: give --cd 2=PATH"));

  r = Tool({"media", "package", Cd(1), "Zudedaz", "R1", "linux", "--cd", "2=" + Cd(2), "--cd",
            "3=" + Cd(3), "--json"});
  ASSERT_EQ(0, r.code) << r.err;
  nlohmann::json j = ParseJson(r);
  std::string archive = j["package"];
  EXPECT_EQ(sysroot_ + "/tmp/dw_tmp/Zudedaz_R1_linux.tgz", archive);
  EXPECT_EQ((std::vector<std::string>{"2", "3"}), j["cds_asked"].get<std::vector<std::string>>());
  std::string members;
  FILE *p = popen(("tar -tzf '" + archive + "'").c_str(), "r");
  ASSERT_NE(nullptr, p);
  char buf[256];
  while (fgets(buf, sizeof buf, p)) members += buf;
  pclose(p);
  for (const char *m : {"./zud/zfile", "./scripts/modules/m2/m2.tgz", "./scripts/modules/m3/m3file"})
    EXPECT_TRUE(Has(members, m));

  // A product that lies on another CD: the tool starts over on that CD.
  r = Tool({"media", "package", Cd(1), "Faraway", "R1", "linux", "--cd", "3=" + Cd(3)});
  ASSERT_EQ(0, r.code) << r.err;
  EXPECT_EQ(sysroot_ + "/tmp/dw_tmp/Faraway_R1_linux.tgz\n", r.out);

  EXPECT_EQ(2, Tool({"media", "package", Cd(1), "Zudedaz", "R1", "linux", "--cd", "2"}).code);
  EXPECT_EQ(1, Tool({"media", "package", Cd(1), "Nothing", "R1", "linux"}).code);
}

}  // namespace
