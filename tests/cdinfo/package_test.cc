// Package path resolution and archive assembly on generated media trees.
// Archives are checked by listing them with the system's tar; "gtar" is the
// project's wrapper (tools/gtar), put first on PATH.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

std::string GtarDir() {
  if (const char *src = getenv("TQ_TEST_SOURCE_DIR")) return std::string(src) + "/../tools/gtar";
  std::string here = __FILE__;  // <source>/tests/cdinfo/package_test.cc
  return here.substr(0, here.rfind("/tests/")) + "/tools/gtar";
}

std::string Capture(const std::string &command) {
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

class Package : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    cwd_ = cwd;
    old_path_ = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    SetPath(GtarDir());
    ASSERT_EQ(0, mkdir((sysroot_ + "/tmp").c_str(), 0755));
    work_ = sysroot_ + "/tmp/dw_tmp";
  }
  void TearDown() override {
    ASSERT_EQ(0, chdir(cwd_.c_str()));
    setenv("PATH", old_path_.c_str(), 1);
    MediaTest::TearDown();
  }
  void SetPath(const std::string &first) {
    setenv("PATH", (first + ":" + old_path_).c_str(), 1);
  }
  // Sorted member names of a .tgz.
  std::vector<std::string> Members(const std::string &archive) {
    std::vector<std::string> m = Lines(Capture("tar -tzf '" + archive + "' 2>/dev/null"));
    std::sort(m.begin(), m.end());
    return m;
  }
  std::string Member(const std::string &archive, const std::string &name) {
    return Capture("tar -xzOf '" + archive + "' '" + name + "' 2>/dev/null");
  }
  bool Has(const std::vector<std::string> &m, const std::string &name) {
    return std::find(m.begin(), m.end(), name) != m.end();
  }
  // A single medium whose contents list holds the given product lines.
  std::string Single(const std::string &lines) {
    std::string root = NewMedia("cd");
    Put(root, "DW/dw.txt", "VENDOR=Tarquel\nVERSION=R75\n" + lines);
    return root;
  }
  // Hardened-OS installer scripts at a media root.
  void Scripts(const std::string &root, bool wrapper_conf) {
    Put(root, "linux/Actions/CheckPackage", "check\n");
    Put(root, "linux/other", "o\n");
    Put(root, "wrappers/unix/w.sh", "wrap\n");
    if (wrapper_conf) Put(root, "wrappers/Wrapper.conf", "conf\n");
    Put(root, "UnixInstallScript", "install\n");
  }
  int Get(const std::string &root, const char *product, const char *sp, const char *os,
          int cont = 0) {
    out_[0] = cd_[0] = '\0';
    strcpy(cd_, "unset");
    return CDINFO_GetPackagePath(root.c_str(), product, sp, os, cont, out_, cd_);
  }

  std::string cwd_, old_path_, work_;
  char out_[1024];
  char cd_[1024];
};

TEST_F(Package, ReadyArchiveIsReturnedAsIs) {
  std::string root = Single("Tarquel;Fw;R75;SP1;linux;/linux/fw;a;b;\n"
                            "Tarquel;Notes;R75;SP1;linux;/linux/notes;a;b;\n"
                            "Tarquel;Named;R75;SP1;linux;/linux/img.tgz;a;b;\n");
  Put(root, "linux/fw/image.tgz", "x");
  Put(root, "linux/notes/notes.tgz.txt", "x");
  Put(root, "linux/img.tgz/inner.tgz", "x");
  free(CDINFO_Search(root.c_str(), 1));
  int fds = tqtest::OpenFdCount();
  EXPECT_EQ(32, Get(root, "Fw", "SP1", "linux"));
  EXPECT_EQ(root + "/linux/fw/image.tgz", out_);
  EXPECT_EQ(32, Get(root, "Notes", "SP1", "linux"));
  EXPECT_EQ(root + "/linux/notes/notes.tgz.txt", out_);
  EXPECT_EQ(32, Get(root, "Named", "SP1", "linux"));
  EXPECT_EQ(root + "/linux/img.tgz", out_);
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  struct stat st;
  EXPECT_NE(0, lstat(work_.c_str(), &st));  // nothing assembled
  EXPECT_EQ(0, Get(root, "Absent", "SP1", "linux"));
  EXPECT_NE(std::string::npos, TraceText().find(" CDINFO_GetPackagePath:: input_path <NULL> \n"));
}

TEST_F(Package, AssemblyCopiesTheDirectoryOrItsContents) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/linux/pkg;a;b;\n");
  Put(root, "linux/pkg/f1", "one\n");
  Put(root, "linux/pkg/sub/f2", "two\n");
  free(CDINFO_Search(root.c_str(), 1));
  int fds = tqtest::OpenFdCount();
  for (const char *os : {"linux", "i386"}) {
    ASSERT_EQ(32, Get(root, "Pkg", "R1", os)) << os;
    std::string archive = work_ + "/Pkg_R1_" + os + ".tgz";
    EXPECT_EQ(archive, out_);
    std::vector<std::string> m = Members(archive);
    EXPECT_TRUE(Has(m, "./pkg/f1") && Has(m, "./pkg/sub/f2")) << os;
    EXPECT_EQ("two\n", Member(archive, "./pkg/sub/f2"));
  }
  for (const char *os : {"Linux", "x86"}) {
    ASSERT_EQ(32, Get(root, "Pkg", "R1", os)) << os;
    std::vector<std::string> m = Members(work_ + "/Pkg_R1_" + os + ".tgz");
    EXPECT_TRUE(Has(m, "./f1") && Has(m, "./sub/f2")) << os;
    EXPECT_FALSE(Has(m, "./pkg/f1"));
  }
  struct stat st;
  EXPECT_NE(0, lstat((work_ + "/tgz").c_str(), &st));  // staging removed
  EXPECT_EQ(fds, tqtest::OpenFdCount());
  // continue_flag 2 is a first call.
  EXPECT_EQ(32, Get(root, "Pkg", "R1", "linux", 2));
  EXPECT_NE(std::string::npos, TraceText().find(" CDINFO_GetPackagePath:: continue_flag=0 \n"));
}

TEST_F(Package, HardenedOsScriptsOnASingleMedium) {
  std::string root = Single("Tarquel;Zudedaz;R75;R1;linux;/linux/zud;a;b\n"
                            "Tarquel;Tagged;R75;R1;linux;/linux/tg;a;b;new_brnx;\n"
                            "Tarquel;Zudedaz-tgz;R75;R1;linux;/linux/zt;a;b;tgz;\n");
  Put(root, "linux/zud/z", "z\n");
  Put(root, "linux/tg/t", "t\n");
  Put(root, "linux/zt/img/t", "t\n");
  Scripts(root, false);
  ASSERT_NE(nullptr, CDINFO_SearchAll(root.c_str(), 1));  // library-owned
  ASSERT_EQ(32, Get(root, "Zudedaz", "R1", "linux"));
  std::vector<std::string> m = Members(out_);
  EXPECT_TRUE(Has(m, "./zud/z"));
  EXPECT_TRUE(Has(m, "./scripts/linux/Actions/CheckPackage"));
  EXPECT_TRUE(Has(m, "./scripts/linux/other"));
  EXPECT_TRUE(Has(m, "./scripts/wrappers/unix/w.sh"));
  EXPECT_TRUE(Has(m, "./scripts/UnixInstallScript"));
  EXPECT_EQ("check\n", Member(out_, "./scripts/CheckPackage"));
  EXPECT_NE(std::string::npos, TraceText().find(" CDINFO_GetPackagePath:: command < /bin/sh -c \"cp  "));

  // A line without "Zudedaz" tagged new_brnx gets the scripts; with
  // Wrapper.conf the whole wrappers directory is taken.
  Put(root, "wrappers/Wrapper.conf", "conf\n");
  ASSERT_EQ(32, Get(root, "Tagged", "R1", "linux"));
  m = Members(out_);
  EXPECT_TRUE(Has(m, "./tg/t"));
  EXPECT_TRUE(Has(m, "./scripts/wrappers/Wrapper.conf"));
  EXPECT_TRUE(Has(m, "./scripts/wrappers/unix/w.sh"));

  // A "Zudedaz" line whose tag is "tgz": the tag replaces new_brnx, no
  // scripts; the directory is never examined for an archive either.
  ASSERT_EQ(32, Get(root, "Zudedaz-tgz", "R1", "linux"));
  m = Members(out_);
  EXPECT_TRUE(Has(m, "./zt/img/t"));
  for (const std::string &name : m) EXPECT_EQ(std::string::npos, name.find("scripts")) << name;
}

// Moves the media tree of a CD to the mount point (the media root).
void Mount(const std::string &cd, const std::string &mount) {
  tqtest::RemoveTree(mount);
  ASSERT_EQ(0, rename(cd.c_str(), mount.c_str()));
}

TEST_F(Package, MultiCDFlowEndsWithTheCompleteArchive) {
  const std::string index =
      "VENDOR=Tarquel\nVERSION=R75\nSP=R1\nCDNUM=%d\nOS=linux\n"
      "ZUD;Zudedaz;/linux/zud;0;1;1\n"
      "FAR;Faraway;/linux/far;0;3;1\n"
      "M2;Mod2;/modules/m2/m2.tgz;1;2;0\n"
      "M3;Mod3;/modules/m3;1;3;0\n"
      "M1;Mod1;/modules/m1/gone.tgz;1;1;0\n";
  auto header = [&](int n) {
    std::string t = index;
    t.replace(t.find("%d"), 2, std::to_string(n));
    return t;
  };
  std::string mount = scratch_ + "/media";
  std::string cd1 = NewMedia("cd1"), cd2 = NewMedia("cd2"), cd3 = NewMedia("cd3");
  Put(cd1, "DW/Products.conf", header(1));
  Put(cd1, "linux/zud/zfile", "z\n");
  Scripts(cd1, false);
  Put(cd2, "DW/Products.conf", header(2));
  Put(cd2, "modules/m2/m2.tgz", "m2\n");
  Put(cd3, "DW/Products.conf", header(3));
  Put(cd3, "modules/m3/m3file", "m3\n");
  Put(cd3, "linux/far/f", "f\n");

  Mount(cd1, mount);
  EXPECT_EQ(0, CDINFO_IsDVD(mount.c_str()));
  char *first = CDINFO_Search(mount.c_str(), 1);
  ASSERT_NE(nullptr, first);
  free(first);
  int fds = tqtest::OpenFdCount();

  // A product on another CD.
  EXPECT_EQ(31, Get(mount, "Faraway", "R1", "linux"));
  EXPECT_STREQ("3", cd_);
  // The hardened-OS product: scripts from CD 1, modules wait for CD 2.
  ASSERT_EQ(30, Get(mount, "Zudedaz", "R1", "linux"));
  EXPECT_STREQ("2", cd_);
  // The same CD again.
  EXPECT_EQ(30, Get(mount, "Zudedaz", "R1", "linux", 1));
  EXPECT_STREQ("unset", cd_);
  Mount(cd2, mount);
  ASSERT_EQ(30, Get(mount, "Zudedaz", "R1", "linux", 1));
  EXPECT_STREQ("3", cd_);
  Mount(cd3, mount);
  ASSERT_EQ(32, Get(mount, "Zudedaz", "R1", "linux", 1));
  std::string archive = work_ + "/Zudedaz_R1_linux.tgz";
  EXPECT_EQ(archive, out_);
  EXPECT_EQ(fds, tqtest::OpenFdCount());

  std::vector<std::string> m = Members(archive);
  for (const char *name : {"./zud/zfile", "./scripts/CheckPackage", "./scripts/UnixInstallScript",
                           "./scripts/linux/Actions/CheckPackage", "./scripts/wrappers/unix/w.sh",
                           "./scripts/modules/m2/m2.tgz", "./scripts/modules/m3/m3file"})
    EXPECT_TRUE(Has(m, name)) << name;
  EXPECT_EQ("m2\n", Member(archive, "./scripts/modules/m2/m2.tgz"));
  EXPECT_FALSE(Has(m, "./scripts/linux/other"));  // only linux/Actions on a set
}

TEST_F(Package, CopyFileToTmpDirAsksForTheLowestLaterCD) {
  std::string cd = NewMedia("cd");
  std::string scripts = work_ + "/tgz/scripts";
  EXPECT_EQ(32, CopyFileToTmpDir(cd.c_str(), (sysroot_ + "/tmp").c_str()));  // empty list
  auto entry = [](int i, const char *name, const char *dir, const char *file, int module, int cdn) {
    strcpy(ProdList[i].name, name);
    strcpy(ProdList[i].dir, dir);
    strcpy(ProdList[i].file_name, file);
    ProdList[i].module = module;
    ProdList[i].cd_number = cdn;
  };
  strcpy(CDNUM, "1");
  entry(0, "Three", "mods/three", "t.tgz", 1, 3);
  entry(1, "Two", "mods/two", "NONE", 1, 2);
  entry(2, "NotModule", "mods/nm", "n.tgz", 0, 2);
  entry(3, "Here", "mods/here", "h.tgz", 1, 1);
  entry(4, "Escape", "../../esc", "e.tgz", 1, 1);
  num_of_products_in_file = 5;
  Put(cd, "mods/here/h.tgz", "fresh\n");
  Put(cd, "../esc/e.tgz", "outside\n");
  std::string temp = sysroot_ + "/tmp";
  EXPECT_EQ(2, CopyFileToTmpDir(cd.c_str(), temp.c_str()));
  EXPECT_EQ("fresh\n", tqtest::ReadFile(scripts + "/mods/here/h.tgz"));
  struct stat st;
  EXPECT_NE(0, stat((work_ + "/esc").c_str(), &st));
  EXPECT_NE(std::string::npos, TraceText().find("refused package location of Escape"));
  // Already present: not copied again.
  tqtest::WriteFile(scripts + "/mods/here/h.tgz", "kept\n");
  strcpy(CDNUM, "3");  // modules on CD 2 and 3 now lie at or below the current CD
  EXPECT_EQ(32, CopyFileToTmpDir(cd.c_str(), temp.c_str()));
  EXPECT_EQ("kept\n", tqtest::ReadFile(scripts + "/mods/here/h.tgz"));
}

TEST_F(Package, PathHelpers) {
  char p[64];
  struct Case {
    const char *in;
    int dvd;
    const char *out;
  } cases[] = {
      {"cd\\lvl1\\lvl2", 0, "cd"},  {"cd\\lvl1\\lvl2", 1, "cd\\lvl1"},
      {"cd\\lvl1", 0, "cd\\lvl1"},  {"plain/path", 0, "plain/path"},
  };
  for (const Case &c : cases) {
    strcpy(p, c.in);
    this_is_dvd = c.dvd;
    EXPECT_EQ(1, ChompOrgInputPath(p));
    EXPECT_STREQ(c.out, p) << c.in << " dvd=" << c.dvd;
  }
  this_is_dvd = 0;
  char dst[64];
  EXPECT_EQ(1, SetWinSlashes("/a/b/c", dst));
  EXPECT_STREQ("\\a\\b\\c", dst);
  strcpy(p, "x/y");
  EXPECT_EQ(1, SetWinSlashes(p, p));
  EXPECT_STREQ("x\\y", p);

  char line[] = "a;b;;c;d;e;f\n";
  path_index = 5;
  char *f = PrintPath(line);
  EXPECT_STREQ("f\n", f);
  free(f);
  char shortline[] = "a;b";
  EXPECT_EQ(nullptr, PrintPath(shortline));
  path_index = 6;
  char wide[] = "a;b;c;d;e;f;g";
  EXPECT_EQ(nullptr, PrintPath(wide));
}

TEST_F(Package, GtarFailingOnceIsRetried) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/linux/pkg;a;b;\n");
  Put(root, "linux/pkg/f1", "one\n");
  free(CDINFO_Search(root.c_str(), 1));
  std::string fake = scratch_ + "/fakebin";
  std::string marker = scratch_ + "/failed-once";
  Put(fake, "gtar",
      "#!/bin/sh\nif [ ! -e '" + marker + "' ]; then : > '" + marker + "'; exit 1; fi\n"
      "exec '" + GtarDir() + "/gtar' \"$@\"\n");
  chmod((fake + "/gtar").c_str(), 0755);
  SetPath(fake + ":" + GtarDir());
  ASSERT_EQ(32, Get(root, "Pkg", "R1", "linux"));
  EXPECT_TRUE(Has(Members(out_), "./pkg/f1"));
  EXPECT_NE(std::string::npos, TraceText().find(", try to search for gtar under Actions."));

  // Failing every time: result 0.
  Put(fake, "gtar", "#!/bin/sh\nexit 1\n");
  EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux"));
  EXPECT_NE(std::string::npos, TraceText().find("> exiting. \n"));
}

TEST_F(Package, ShellMeaningfulValuesAreRefused) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/linux/pkg;a;b;\n"
                            "Tarquel;Evil;R75;R1;linux;/linux/$(touch${IFS}pwned);a;b;\n"
                            "Tarquel;Up;R75;R1;linux;/../../etc;a;b;\n");
  Put(root, "linux/pkg/f1", "one\n");
  free(CDINFO_Search(root.c_str(), 1));
  const char *bad[] = {"a'b", "a\"b", "a;b", "a&b", "a|b", "a$b", "a`b", "a\nb", "a<b",
                       "a>b", "a*b", "a?b", "-rf", "a b", "a\\b"};
  for (const char *v : bad) {
    EXPECT_EQ(0, Get(root, v, "R1", "linux")) << v;
    EXPECT_EQ(0, Get(root, "Pkg", v, "linux")) << v;
    EXPECT_EQ(0, Get(root, "Pkg", "R1", v)) << v;
    EXPECT_EQ(0, Get(root + "/" + v, "Pkg", "R1", "linux")) << v;
  }
  EXPECT_NE(std::string::npos, TraceText().find(" refused value of product (shell characters): < a;b > \n"));
  for (const char *v : {"a/b", "..", "x..y"}) {
    EXPECT_EQ(0, Get(root, "Pkg", v, "linux")) << v;
  }
  EXPECT_NE(std::string::npos, TraceText().find("(path in archive name)"));
  // Values from the medium.
  EXPECT_EQ(0, Get(root, "Evil", "R1", "linux"));
  EXPECT_NE(std::string::npos, TraceText().find("refused value of package path"));
  EXPECT_EQ(0, Get(root, "Up", "R1", "linux"));
  struct stat st;
  EXPECT_NE(0, stat("pwned", &st));
  EXPECT_NE(0, lstat(work_.c_str(), &st));  // nothing was run
  // Too long for the 1,024-byte buffers.
  EXPECT_EQ(0, Get(root, std::string(1100, 'p').c_str(), "R1", "linux"));
  EXPECT_EQ(0, CDINFO_GetPackagePath(root.c_str(), "Pkg", "R1", "linux", 0, nullptr, cd_));
}

TEST_F(Package, UnsafeWorkDirectoryIsRefused) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/linux/pkg;a;b;\n");
  Put(root, "linux/pkg/f1", "one\n");
  free(CDINFO_Search(root.c_str(), 1));
  std::string elsewhere = scratch_ + "/elsewhere";
  Put(elsewhere, "tgz/keep", "keep\n");
  ASSERT_EQ(0, symlink(elsewhere.c_str(), work_.c_str()));
  EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux"));
  EXPECT_EQ("keep\n", tqtest::ReadFile(elsewhere + "/tgz/keep"));
  EXPECT_NE(std::string::npos, TraceText().find(">: is a symbolic link \n"));
  ASSERT_EQ(0, unlink(work_.c_str()));

  // A staging directory planted as a link inside our work directory.
  ASSERT_EQ(0, mkdir(work_.c_str(), 0755));
  ASSERT_EQ(0, symlink((elsewhere + "/tgz").c_str(), (work_ + "/tgz").c_str()));
  EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux"));
  EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux", 1));
  char out[1024];
  EXPECT_EQ(0, ContinueBrnxCase(nullptr, "Pkg", "R1", "linux", out));
  EXPECT_EQ("keep\n", tqtest::ReadFile(elsewhere + "/tgz/keep"));
  ASSERT_EQ(0, unlink((work_ + "/tgz").c_str()));

  // Writable by others, or owned by someone else.
  ASSERT_EQ(0, chmod(work_.c_str(), 0777));
  EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux"));
  ASSERT_EQ(0, chmod(work_.c_str(), 0755));
  if (geteuid() == 0) {
    ASSERT_EQ(0, chown(work_.c_str(), 65534, 65534));
    EXPECT_EQ(0, Get(root, "Pkg", "R1", "linux"));
    EXPECT_NE(std::string::npos, TraceText().find("belongs to another user"));
    ASSERT_EQ(0, chown(work_.c_str(), 0, 0));
  }
  EXPECT_EQ(32, Get(root, "Pkg", "R1", "linux"));
}

}  // namespace
}  // namespace cdtest
