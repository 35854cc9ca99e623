// The platform's file utilities, package path resolution and the archive
// assembly on generated media trees. Archives are listed with the system's
// tar; "gtar" is the project's wrapper (tools/gtar), put first on PATH.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "h2_media.h"

namespace tqtest {
namespace {

using Pair = std::pair<const char *, const char *>;

std::string Sh(const std::string &label, const std::string &command) { return label + " < /bin/sh -c \"" + command + "\" >"; }

std::string Capture(const std::string &command) {
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  char buf[4096];
  for (size_t n; p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  if (p != nullptr) pclose(p);
  return out;
}

// Every entry below dir ("link -> target" for links), sorted, each followed by a blank.
std::string Tree(const std::string &dir) {
  return Capture("cd '" + dir + "' && find . -mindepth 1 -printf '%p %l\\n' | LC_ALL=C sort | sed 's/ $//; s/ / -> /' | tr '\\n' ' '");
}

class Package : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    ASSERT_NE(nullptr, getenv("TQ_TEST_SOURCE_DIR"));
    gtar_ = std::string(getenv("TQ_TEST_SOURCE_DIR")) + "/../tools/gtar";
    ASSERT_NE(nullptr, getcwd(cwd_, sizeof cwd_));
    old_path_ = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    SetPath(gtar_);
    temp_ = sysroot_ + "/tmp", work_ = temp_ + "/dw_tmp";
    ASSERT_EQ(0, mkdir(temp_.c_str(), 0755));
  }
  void TearDown() override {
    ASSERT_EQ(0, chdir(cwd_));
    setenv("PATH", old_path_.c_str(), 1);
    MediaTest::TearDown();
  }
  void SetPath(const std::string &first) { setenv("PATH", (first + ":" + old_path_).c_str(), 1); }
  // The sorted members of an archive, each followed by a blank; or one member's text.
  std::string Tar(const std::string &archive, const std::string &member = "") {
    return Capture(member.empty() ? "tar -tzf '" + archive + "' | LC_ALL=C sort | tr '\\n' ' '"
                                  : "tar -xzOf '" + archive + "' '" + member + "'");
  }
  // A single medium whose contents list holds the product lines, searched.
  std::string Single(const std::string &lines) {
    std::string root = NewMedia("cd");
    Put(root, "DW/dw.txt", "VENDOR=Tarquel\nVERSION=R75\n" + lines);
    free(CDINFO_Search(root.c_str(), 1));
    return root;
  }
  void Scripts(const std::string &root) {  // hardened-OS installer scripts
    for (const char *f : {"linux/Actions/CheckPackage", "linux/other", "wrappers/unix/w.sh", "UnixInstallScript"})
      Put(root, f, std::string(f) + "\n");
  }
  // "<result> <package path> <CD asked for>" of a package path request.
  std::string Get(const std::string &root, const char *product, const char *sp, const char *os, int cont = 0) {
    strcpy(out_, "");
    strcpy(cd_, "-");
    int rc = CDINFO_GetPackagePath(root.c_str(), product, sp, os, cont, out_, cd_);
    return std::to_string(rc) + " " + out_ + " " + cd_;
  }

  std::string gtar_, old_path_, temp_, work_;
  char cwd_[4096], out_[1024], cd_[1024];
};

TEST_F(Package, FileUtilitiesNeverFollowOrWriteThroughLinks) {
  std::string src = scratch_ + "/src", f = scratch_ + "/f", a = src + "/tree/a";
  WriteFile(a, "a\n");
  WriteFile(src + "/tree/sub/b", "b\n");
  // A relative directory is made with its parents.
  ASSERT_EQ((Ints{0, 0, 1}), (Ints{symlink("/etc/passwd", (src + "/tree/link").c_str()), chdir(scratch_.c_str()), tqDirCreate("dst\\deep")}));
  int fds = OpenFdCount();
  EXPECT_EQ(1, tqDirCopy((src + "\\tree").c_str(), "dst\\deep\\", 1));
  EXPECT_EQ("./tree ./tree/a ./tree/link -> /etc/passwd ./tree/sub ./tree/sub/b ", Tree(scratch_ + "/dst/deep"));
  // A file copied into a directory keeps its name; overwrite 0 keeps or
  // refuses what is there, a link included.
  EXPECT_EQ(1, tqDirCopy(a.c_str(), "f", 1));
  WriteFile(f + "/a", "kept\n");
  ASSERT_EQ(0, symlink((scratch_ + "/victim").c_str(), (f + "/trap").c_str()));
  EXPECT_EQ((Ints{1, 0, 0, 1}), (Ints{tqDirCopy(a.c_str(), "f", 0), tqFileCopy(a.c_str(), "f/a", 0), tqFileCopy(a.c_str(), "f/trap", 0),
                                       tqFileCopy(a.c_str(), "f/b", 0)}));
  EXPECT_EQ("./a ./b ./trap -> " + scratch_ + "/victim ", Tree(f));
  EXPECT_EQ("kept\na\n", ReadFile(f + "/a") + ReadFile(f + "/b"));
  // overwrite 1 replaces a file, and a link rather than its target.
  EXPECT_EQ(2, tqFileCopy(a.c_str(), "f/a", 1) + tqFileCopy(a.c_str(), "f/trap", 1));
  EXPECT_EQ("./a ./b ./trap ", Tree(f));
  EXPECT_EQ("a\na\n", ReadFile(f + "/a") + ReadFile(f + "/trap"));
  // A removed file is gone; a directory is not removed.
  EXPECT_EQ((Ints{0, 1, 0, 0}), (Ints{tqFileExist((scratch_ + "/victim").c_str()), tqFileRemove("f\\a"), tqFileExist("f/a"), tqFileRemove("f")}));
  for (const char *bad : {static_cast<const char *>(nullptr), ""})
    EXPECT_EQ("0000", std::to_string(tqFileExist(bad)) + std::to_string(tqDirCreate(bad)) +
                          std::to_string(tqDirCopy(bad, "f", 1)) + std::to_string(tqFileRemove(bad)));
  EXPECT_EQ((Ints{0, 0, 0}), (Ints{tqDirCopy((src + "/.").c_str(), "f", 1), tqFileCopy((src + "/tree").c_str(), "g", 1),
                                  tqFileExist("g")}));  // a directory is no file, and nothing is made of it
  // A link that cannot be replaced fails the copy: no one removes entries of
  // an immutable directory, root included.
  ASSERT_EQ((Ints{1, 1, 0, 1}), (Ints{tqDirCreate("ln\\t"), tqDirCreate("imm"), symlink("x", "ln/t/l"), tqDirCopy("ln/t", "imm", 1)}));
  int attr = FS_IMMUTABLE_FL, dfd = open("imm/t", O_RDONLY | O_DIRECTORY);
  if (ioctl(dfd, FS_IOC_SETFLAGS, &attr) == 0) {  // where the file system has the flag
    EXPECT_EQ(0, tqDirCopy("ln/t", "imm", 1));
    attr = 0;
    EXPECT_EQ(0, ioctl(dfd, FS_IOC_SETFLAGS, &attr));
  }
  close(dfd);
  EXPECT_EQ(fds, OpenFdCount());
  // A failed write fails the copy: in a child, writes beyond 4 KiB fail with EFBIG.
  WriteFile(scratch_ + "/big", std::string(200000, 'b'));
  EXPECT_EQ(0, Wait(Spawn([] {
              struct rlimit small;
              signal(SIGXFSZ, SIG_IGN);
              return getrlimit(RLIMIT_FSIZE, &small) != 0 || (small.rlim_cur = 4096, setrlimit(RLIMIT_FSIZE, &small) != 0) ||
                     tqFileCopy("big", "copy", 1) != 0;
            })));
}

TEST_F(Package, ArchiveOnTheMediumIsReturnedAsIs) {
  std::string root = Single("Tarquel;Fw;R75;SP1;linux;/linux/fw;a;b;\nTarquel;Notes;R75;SP1;linux;/linux/notes;a;b;\n"
                            "Tarquel;Named;R75;SP1;linux;/linux/img.tgz;a;b;\nTarquel;Plain;R75;SP1;linux;/linux/plain;\n"
                            "Tarquel;Gone;R75;SP1;linux;/linux/gone;\nTarquel;Zudedaz;R75;SP1;linux;/linux/fw;\n");
  for (const char *f : {"fw/image.tgz", "notes/notes.tgz.txt", "img.tgz/inner.tgz", "plain/readme"}) Put(root, std::string("linux/") + f, "x");
  int fds = OpenFdCount();
  for (auto p : {Pair{"Fw", "fw/image.tgz"}, Pair{"Notes", "notes/notes.tgz.txt"}, Pair{"Named", "img.tgz"}})
    EXPECT_EQ("32 " + root + "/linux/" + p.second + " -", Get(root, p.first, "SP1", "linux"));
  EXPECT_EQ(0, tqFileExist(work_.c_str()));  // nothing assembled
  // The lookup, record by record; a Zudedaz product is never an archive.
  const std::string fw = root + "/linux/fw", returned = "IsArch: path file returnd:  ";
  struct Row { const char *product, *dir; int rc; const char *file; Strings tail; } rows[] = {
              {"Fw", "fw", 1, "image.tgz",
               {"CDINFO_IsTgz::Tgz file found:  image.tgz", "Exit CDINFO_IsTgz out_file_name= image.tgz", returned + fw + " / image.tgz"}},
              {"Plain", "plain", 0, nullptr, {"CDINFO_IsTgz:: No Tgz file found. End of CDINFO_IsTgz", returned + root + "/linux/plain /"}},
              {"Gone", "gone", -1, nullptr, {returned + root + "/linux/gone /", "IsArch: Error opening directory:  " + root + "/linux/gone ."}},
              {"Zudedaz", "fw", 0, nullptr, {returned + fw + " /"}}};
  for (const Row &r : rows) {
    ClearTraceLog(sysroot_);
    char *file = nullptr;
    EXPECT_EQ(r.rc, IsArch(root.c_str(), r.product, "SP1", "linux", &file)) << r.product;
    EXPECT_EQ(Str(r.file), Take(file)) << r.product;
    bool zud = r.product[0] == 'Z';
    std::string dir = root + "/linux/" + r.dir;
    Strings want = {zud ? "IsArch: Found Zudedaz in path: " : "IsArch: Did not find Zudedaz in path: ",
                    "Exit:: PrintPath ( /linux/" + std::string(r.dir) + " )", "Debug:: package_path= " + dir, "Enter: CDINFO_IsTgz",
                    "CDINFO_IsTgz::path Before convert=  " + dir, "CDINFO_IsTgz::path After convert=  " + dir,
                    std::string("CDINFO_IsTgz:: brnx_flag == ") + (zud ? "1, product is BRNX" : "0, product is not BRNX")};
    want.insert(want.end(), r.tail.begin(), r.tail.end());
    EXPECT_EQ(want, TraceRecords(sysroot_, {"IsArch", "Exit:: PrintPath", "Debug::", "Enter: CDINFO_IsTgz", "CDINFO_IsTgz", "Exit CDINFO"}));
  }
  // Without a place for the name the archive is still found; a missing or
  // too long directory name is refused before anything is read.
  ClearTraceLog(sysroot_);
  EXPECT_EQ(1, IsArch(root.c_str(), "Fw", "SP1", "linux", nullptr));
  EXPECT_EQ((Strings{returned + fw + " /"}), TraceRecords(sysroot_, {"IsArch: path"}));
  ClearTraceLog(sysroot_);
  EXPECT_EQ(-2, CDINFO_IsTgz(nullptr, nullptr, 0) + CDINFO_IsTgz(std::string(1100, 'd').c_str(), nullptr, 0));
  EXPECT_EQ((Strings{"Enter: CDINFO_IsTgz", "Enter: CDINFO_IsTgz"}), TraceRecords(sysroot_));
  EXPECT_EQ(fds, OpenFdCount());
}

TEST_F(Package, AssemblyPacksTheDirectoryOrItsContents) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/p/pkg;a;b;\nTarquel;Zudedaz;R75;R1;linux;/p/zud;a;b\n"
                            "Tarquel;Tagged;R75;R1;linux;/p/tg;a;b;new_brnx;\nTarquel;Zudedaz-tgz;R75;R1;linux;/p/zt;a;b;tgz;\n");
  for (const char *f : {"p/pkg/f1", "p/pkg/sub/f2", "p/zud/z", "p/tg/t", "p/zt/img/t"}) Put(root, f, "x\n");
  // A gtar that fails once: its command is run a second time.
  std::string fake = scratch_ + "/fakebin", marker = scratch_ + "/failed-once";
  Put(fake, "gtar", "#!/bin/sh\nif [ ! -e '" + marker + "' ]; then : > '" + marker + "'; exit 1; fi\nexec '" + gtar_ + "/gtar' \"$@\"\n");
  ASSERT_EQ(0, chmod((fake + "/gtar").c_str(), 0755));
  SetPath(fake + ":" + gtar_);
  int fds = OpenFdCount();
  ClearTraceLog(sysroot_);
  ASSERT_EQ("32 " + work_ + "/Pkg_R1_linux.tgz -", Get(root, "Pkg", "R1", "linux"));
  const std::string cp = "CDINFO_GetPackagePath:: command", cbc = "ContinueBrnxCase::", archive = work_ + "/Pkg_R1_linux.tgz";
  const std::string gtar = "gtar -cf tqimage.tar . --exclude=tqimage.tar --remove-files", fail = cbc + " failed to run command";
  EXPECT_EQ((Strings{"GetPackagePath::BeforeConvertSlesh: path= " + root + "/p/pkg", Sh(cp, "mkdir " + work_), Sh(cp, "mkdir " + work_ + "/tgz"), Sh(cp, "rm -rf " + work_ + "/tgz/*"),
                     Sh(cp, "mkdir " + work_ + "/tgz/"), Sh(cp, "cp -r " + root + "/p/pkg " + work_ + "/tgz"),
                     cbc + " Changing directory to dw_tmp\\tgz directory and creating gtar", Sh(cbc + " command", gtar),
                     Sh(fail, gtar) + ", try to search for gtar under Actions.", Sh(cbc + " command", gtar), cbc + " Creating gzip ",
                     Sh(cbc + " command", "gzip tqimage.tar"), Sh(cbc + " move command", "mv -f tgz/tqimage.tar.gz Pkg_R1_linux.tgz"),
                     Sh(cbc + " remove dir command", "rm -rf " + work_ + "/tgz/DW"), Sh(cbc + " remove dir command", "rm -rf " + work_ + "/tgz"),
                     cbc + "temp_path= " + temp_, cbc + "path= " + archive, "Terminate:: CDINFO_GetPackagePath with " + archive + " "}),
            TraceRecords(sysroot_, {"GetPackagePath::Before", cp, cbc, "Terminate::"}));
  // "i386" and "linux" take the directory, other systems its contents;
  // continue_flag 2 is a first call as well.
  for (auto r : {Pair{"linux", "./ ./pkg/ ./pkg/f1 ./pkg/sub/ ./pkg/sub/f2 "}, Pair{"i386", "./ ./pkg/ ./pkg/f1 ./pkg/sub/ ./pkg/sub/f2 "},
                 Pair{"Linux", "./ ./f1 ./sub/ ./sub/f2 "}, Pair{"x86", "./ ./f1 ./sub/ ./sub/f2 "}}) {
    ASSERT_EQ("32 " + work_ + "/Pkg_R1_" + r.first + ".tgz -", Get(root, "Pkg", "R1", r.first, r.first[0] == 'i' ? 2 : 0));
    EXPECT_EQ(r.second, Tar(out_)) << r.first;
  }
  EXPECT_EQ((Ints{0, fds}), (Ints{tqFileExist((work_ + "/tgz").c_str()), OpenFdCount()}));  // staging removed, no file left open
  // Hardened-OS products get the installer scripts; with Wrapper.conf the
  // whole wrappers directory is taken. A "tgz" tag replaces "new_brnx".
  Scripts(root);
  const std::string scripts = "./ ./scripts/ ./scripts/CheckPackage ./scripts/UnixInstallScript ./scripts/linux/ ./scripts/linux/Actions/ "
                              "./scripts/linux/Actions/CheckPackage ./scripts/linux/other ./scripts/wrappers/ ";
  ASSERT_EQ("32 " + work_ + "/Zudedaz_R1_linux.tgz -", Get(root, "Zudedaz", "R1", "linux"));
  EXPECT_EQ(scripts + "./scripts/wrappers/unix/ ./scripts/wrappers/unix/w.sh ./zud/ ./zud/z ", Tar(out_));
  EXPECT_EQ("linux/Actions/CheckPackage\n", Tar(out_, "./scripts/CheckPackage"));
  Put(root, "wrappers/Wrapper.conf", "conf\n");
  ASSERT_EQ("32 " + work_ + "/Tagged_R1_linux.tgz -", Get(root, "Tagged", "R1", "linux"));
  EXPECT_EQ(scripts + "./scripts/wrappers/Wrapper.conf ./scripts/wrappers/unix/ ./scripts/wrappers/unix/w.sh ./tg/ ./tg/t ", Tar(out_));
  ASSERT_EQ("32 " + work_ + "/Zudedaz-tgz_R1_linux.tgz -", Get(root, "Zudedaz-tgz", "R1", "linux"));
  EXPECT_EQ("./ ./zt/ ./zt/img/ ./zt/img/t ", Tar(out_));
  // A gtar that always fails: no archive.
  Put(fake, "gtar", "#!/bin/sh\nexit 1\n");
  ClearTraceLog(sysroot_);
  EXPECT_EQ("0  -", Get(root, "Pkg", "R1", "linux"));
  EXPECT_EQ((Strings{Sh(fail, gtar) + ", try to search for gtar under Actions.", Sh(fail, gtar) + " exiting."}), TraceRecords(sysroot_, {fail}));
}

// A program on the medium never runs in place of gtar, even with the current
// directory on PATH, and dot-files left in the staging directory by an
// earlier run are not packed.
TEST_F(Package, MediumProgramsAndLeftoversStayOutOfTheArchive) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/p/pkg;a;b;\n"), marker = scratch_ + "/medium-gtar-ran";
  Put(root, "p/pkg/gtar", "#!/bin/sh\n: > '" + marker + "'\n");
  ASSERT_EQ(0, chmod((root + "/p/pkg/gtar").c_str(), 0755));
  Put(root, "p/pkg/f1", "x\n");
  Put(work_ + "/tgz", ".left-over", "old\n");
  setenv("PATH", ("::.:" + gtar_ + ":" + old_path_).c_str(), 1);
  ASSERT_EQ("32 " + work_ + "/Pkg_R1_x86.tgz -", Get(root, "Pkg", "R1", "x86"));
  EXPECT_EQ("0 ./ ./f1 ./gtar ", std::to_string(tqFileExist(marker.c_str())) + " " + Tar(out_));
}

TEST_F(Package, SetOfCDsEndsWithTheCompleteArchive) {
  std::string index = "VENDOR=Tarquel\nVERSION=R75\nSP=R1\nCDNUM=0\nOS=linux\nZUD;Zudedaz;/linux/zud;0;1;1\nFAR;Faraway;/linux/far;0;3;1\n"
                      "M2;Mod2;/modules/m2/m2.tgz;1;2;0\nM3;Mod3;/modules/m3;1;3;0\nM1;Mod1;/modules/m1/gone.tgz;1;1;0\n";
  std::string mount = scratch_ + "/media", cd[4];
  for (int n = 1; n <= 3; ++n) {
    cd[n] = NewMedia("cd" + std::to_string(n));
    index[index.find("CDNUM=") + 6] = static_cast<char>('0' + n);
    Put(cd[n], "DW/Products.conf", index);
  }
  Scripts(cd[1]);
  for (const char *f : {"1linux/zud/zfile", "2modules/m2/m2.tgz", "3modules/m3/m3file", "3linux/far/f"}) Put(cd[f[0] - '0'], f + 1, f);
  // Mounting moves a CD's tree to the media root.
  auto mount_cd = [&](int n) { return RemoveTree(mount), rename(cd[n].c_str(), mount.c_str()); };
  ASSERT_EQ((Ints{0, 0}), (Ints{mount_cd(1), CDINFO_IsDVD(mount.c_str())}));
  int fds = OpenFdCount();
  // The search lists products for distribution; the others give NULL.
  EXPECT_EQ((Strings{"Tarquel;Zudedaz;R75;R1;linux", "Tarquel;Faraway;R75;R1;linux"}), ListAll(CDINFO_Search, mount));
  EXPECT_EQ((Strings{"The Product Mod2 is not for Driftwell"}), TraceRecords(sysroot_, {"The Product"}));
  char *slot = nullptr;  // the index walk ends at the first entry not for distribution
  EXPECT_EQ((Ints{1, 1, 0}), (Ints{New_File_Search(1, &slot), New_File_Search(0, &slot), New_File_Search(0, &slot)}));
  free(slot);
  EXPECT_STREQ("Tarquel;Zudedaz;R75;R1;linux", CDINFO_SearchAll(mount.c_str(), 1));  // the index is loaded once
  EXPECT_EQ("2 1 1 5", std::to_string(path_index) + " " + std::to_string(found_products_file) + " " + std::to_string(IsMultipleCD()) +
                           " " + std::to_string(num_of_products_in_file));
  EXPECT_EQ(1, CDINFO_Verify(mount.c_str(), "Mod2", "R1", "linux"));  // looked up in the index
  EXPECT_EQ("31  3", Get(mount, "Faraway", "R1", "linux"));  // a product on another CD
  // The hardened-OS product: scripts from CD 1, modules wait for CD 2.
  ClearTraceLog(sysroot_);
  ASSERT_EQ("30  2", Get(mount, "Zudedaz", "R1", "linux"));
  std::string from = "copied from " + mount, to = " to " + temp_ + "\\dw_tmp\\tgz\\scripts";
  std::replace(from.begin(), from.end(), '/', '\\');
  EXPECT_EQ((Strings{from + "\\wrappers\\unix" + to + "\\wrappers\\ with result=1", from + "\\UnixInstallScript" + to + " with result=1",
                     from + "\\linux\\Actions\\CheckPackage" + to + "\\CheckPackage with result=1",
                     from + "\\linux\\Actions" + to + "\\linux\\ with result=1"}),
            TraceRecords(sysroot_, {"copied from"}));
  EXPECT_EQ("30  -", Get(mount, "Zudedaz", "R1", "linux", 1));  // the same CD again
  ASSERT_EQ((Strings{"0", "30  3", "0"}), (Strings{std::to_string(mount_cd(2)), Get(mount, "Zudedaz", "R1", "linux", 1), std::to_string(mount_cd(3))}));
  // A continuation refuses a work directory writable by others, and a system
  // root with shell characters; the CD is asked for again.
  EXPECT_EQ((Strings{"0", "0  -", "0"}),
            (Strings{std::to_string(chmod(work_.c_str(), 0777)), Get(mount, "Zudedaz", "R1", "linux", 1), std::to_string(chmod(work_.c_str(), 0755))}));
  setenv("TQ_SYSROOT", (sysroot_ + ";x").c_str(), 1);
  EXPECT_EQ("0  -", (strcpy(CDNUM, "2"), Get(mount, "Zudedaz", "R1", "linux", 1)));
  setenv("TQ_SYSROOT", sysroot_.c_str(), 1);
  strcpy(CDNUM, "2");
  ASSERT_EQ("32 " + work_ + "/Zudedaz_R1_linux.tgz -", Get(mount, "Zudedaz", "R1", "linux", 1));
  EXPECT_EQ(fds, OpenFdCount());
  // Of the linux directory only its Actions on a set.
  EXPECT_EQ("./ ./scripts/ ./scripts/CheckPackage ./scripts/UnixInstallScript ./scripts/linux/ ./scripts/linux/Actions/ "
            "./scripts/linux/Actions/CheckPackage ./scripts/modules/ ./scripts/modules/m2/ ./scripts/modules/m2/m2.tgz "
            "./scripts/modules/m3/ ./scripts/modules/m3/m3file ./scripts/wrappers/ ./scripts/wrappers/unix/ "
            "./scripts/wrappers/unix/w.sh ./zud/ ./zud/zfile ",
            Tar(out_));
  EXPECT_EQ("2modules/m2/m2.tgz", Tar(out_, "./scripts/modules/m2/m2.tgz"));
}

TEST_F(Package, ModulesAreCopiedAndTheLowestLaterCDIsAsked) {
  std::string cd = NewMedia("cd"), scripts = work_ + "/tgz/scripts";
  EXPECT_EQ(32, CopyFileToTmpDir(cd.c_str(), temp_.c_str()));  // empty list
  const char *entries[][4] = {{"Three", "mods/three", "t.tgz", "13"}, {"Two", "mods/two", "NONE", "12"}, {"NotModule", "mods/nm", "n.tgz", "02"},
                              {"Here", "mods/here", "h.tgz", "11"}, {"Escape", "../../esc", "e.tgz", "11"},
                              {"EscapeFile", "mods/here", "../../../../outside.tgz", "11"}, {"Whole", "mods/whole", "NONE", "11"}};
  for (int i = 0; i < 7; ++i) {
    ProductEntry &e = ProdList[i];
    strcpy(e.name, entries[i][0]), strcpy(e.dir, entries[i][1]), strcpy(e.file_name, entries[i][2]);
    e.module = entries[i][3][0] - '0', e.cd_number = entries[i][3][1] - '0';
  }
  strcpy(CDNUM, "1");
  num_of_products_in_file = 1;  // a list of one entry is examined too
  EXPECT_EQ(3, CopyFileToTmpDir(cd.c_str(), temp_.c_str()));
  num_of_products_in_file = 7;
  for (const char *f : {"mods/here/h.tgz", "mods/whole/w", "../esc/e.tgz", "../outside.tgz"}) Put(cd, f, f);
  ClearTraceLog(sysroot_);
  EXPECT_EQ(2, CopyFileToTmpDir(cd.c_str(), temp_.c_str()));
  EXPECT_EQ("./mods ./mods/here ./mods/here/h.tgz ./mods/whole ./mods/whole/w ", Tree(scripts));
  EXPECT_EQ((Strings{"CopyFileToTmpDir:: refused package location of Escape : ../../esc e.tgz",
                     "CopyFileToTmpDir:: refused package location of EscapeFile : mods/here ../../../../outside.tgz"}),
            TraceRecords(sysroot_, {"CopyFileToTmpDir:: refused"}));
  // Already present: not copied again; modules on CD 2 and 3 lie at or
  // below the current CD now.
  WriteFile(scripts + "/mods/here/h.tgz", "kept\n");
  strcpy(CDNUM, "3");
  EXPECT_EQ((Strings{"32", "kept\n"}), (Strings{std::to_string(CopyFileToTmpDir(cd.c_str(), temp_.c_str())), ReadFile(scripts + "/mods/here/h.tgz")}));
}

TEST_F(Package, ScriptsOfADvdAndPathHelpers) {
  std::string dvd = NewMedia("dvd"), longer(1010, 'm');
  Scripts(dvd);
  WriteFile(work_ + "/tgz/scripts/linux", "a file in the way\n");
  Put(dvd, "DW/tq_dvd.txt", "");  // a DVD: the media root is used as it is
  EXPECT_EQ((Strings{"1", dvd + "/DW/tq_dvd.txt"}), (Strings{std::to_string(CDINFO_IsDVD(dvd.c_str())), dvd_file}));
  EXPECT_EQ((Strings{"32", "./Actions ./Actions/CheckPackage "}),
            (Strings{std::to_string(CDINFO_BrnxCaseForMultipleCD(&dvd[0], temp_.c_str(), 0)), Tree(work_ + "/tgz/scripts/linux")}));
  EXPECT_EQ(0, CDINFO_BrnxCaseForMultipleCD(&longer[0], temp_.c_str(), 0) + CDINFO_BrnxCaseForMultipleCD(nullptr, temp_.c_str(), 0));
  EXPECT_EQ((Strings{"Found linux file. Its full path is: " + temp_ + "\\dw_tmp\\tgz\\scripts\\linux",
                     "CDINFO_BrnxCaseForMultipleCD:: refused long path"}),
            TraceRecords(sysroot_, {"Found linux", "Failed to remove", "linux directory", "CDINFO_BrnxCaseForMultipleCD:: refused"}));
  // A DVD path loses its last level only.
  char path[] = "cd\\lvl1\\lvl2";
  EXPECT_EQ((Strings{"1", "cd\\lvl1"}), (Strings{std::to_string(ChompOrgInputPath(path)), path}));
  // PrintPath gives field path_index (0 to 5) or NULL, and tells the facility.
  char one[] = "a;b;;c;d;e;f", wide[] = "a;b;c;d;e;f;g";
  WriteFile(facility_log_, "");
  path_index = 5;
  EXPECT_EQ("f", Take(PrintPath(one)));
  path_index = 6;
  EXPECT_EQ(nullptr, PrintPath(wide));
  EXPECT_EQ("Enter:: PrintPath|Exit:: PrintPath (f)|Enter:: PrintPath|Exit:: PrintPath (NULL)|",
            Capture("sed 's/^CDINFO 4 0 //' '" + facility_log_ + "' | tr '\\n' '|'"));
  EXPECT_EQ((Ints{0, 0}), (Ints{CDINFO_IsDVD(nullptr), this_is_dvd}));
}

TEST_F(Package, RefusedValuesAndWorkDirectories) {
  std::string root = Single("Tarquel;Pkg;R75;R1;linux;/linux/pkg;a;b;\n"
                            "Tarquel;Evil;R75;R1;linux;/linux/$(touch${IFS}pwned);a;b;\nTarquel;Up;R75;R1;linux;/../../etc;\n");
  Put(root, "linux/pkg/f1", "one\n");
  for (const char *v : {"a'b", "a\"b", "a;b", "a&b", "a|b", "a$b", "a`b", "a\nb", "a<b", "a>b", "a*b", "a?b", "-rf", "a b", "a\\b"})
    EXPECT_EQ("0  -|0  -|0  -|0  -", Get(root, v, "R1", "linux") + "|" + Get(root, "Pkg", v, "linux") + "|" + Get(root, "Pkg", "R1", v) + "|" +
                                         Get(root + "/" + v, "Pkg", "R1", "linux")) << v;
  // A refused request ends at its first refused value.
  const std::string value = "CDINFO_GetPackagePath:: refused value of ", dir = "CDINFO_GetPackagePath:: refused work directory < ";
  const char *rows[][3] = {{"a;b", "R1", "product (shell characters): < a;b >"}, {nullptr, "R1", "product : <NULL>"},
                           {"Pkg", "a/b", "sp (path in archive name): < a/b >"}, {"Pkg", "..", "sp (path in archive name): < .. >"},
                           {"Pkg", "x..y", "sp (path in archive name): < x..y >"}};
  for (auto &r : rows) {
    ClearTraceLog(sysroot_);
    EXPECT_EQ("0  -", Get(root, r[0], r[1], "linux"));
    EXPECT_EQ((Strings{"CDINFO_GetPackagePath:: cd_path= " + root, value + r[2]}), TraceRecords(sysroot_));
  }
  EXPECT_EQ((Ints{0, 0, 0}), (Ints{ContinueBrnxCase(nullptr, "a/b", "R1", "linux", out_), ContinueBrnxCase(nullptr, "Pkg", "R1", "linux", nullptr),
                                    CDINFO_GetPackagePath(root.c_str(), "Pkg", "R1", "linux", 0, nullptr, cd_)}));
  EXPECT_EQ("0  -", Get(root, std::string(1100, 'p').c_str(), "R1", "linux"));  // too long for the buffers
  // A continuation CD without its files, or with a path too long for them.
  EXPECT_EQ("0  - 0  -", Get(scratch_, "Pkg", "R1", "linux", 1) + " " +
                             Get(scratch_ + "/" + std::string(1000, 'c'), "Pkg", "R1", "linux", 1));
  // Values from the medium.
  ClearTraceLog(sysroot_);
  EXPECT_EQ((Strings{"0  -", "0  -"}), (Strings{Get(root, "Evil", "R1", "linux"), Get(root, "Up", "R1", "linux")}));
  EXPECT_EQ(0, tqFileExist("pwned") + tqFileExist(work_.c_str()));  // nothing was run
  // Work directories that are links, writable by others or not ours.
  std::string elsewhere = scratch_ + "/elsewhere";
  Put(elsewhere, "tgz/keep", "keep\n");
  ASSERT_EQ(0, symlink(elsewhere.c_str(), work_.c_str()));
  EXPECT_EQ((Strings{"0  -", "0  -"}), (Strings{Get(root, "Pkg", "R1", "linux"), Get(root, "Pkg", "R1", "linux", 1)}));
  ASSERT_EQ(0, unlink(work_.c_str()));
  ASSERT_EQ(0, mkdir(work_.c_str(), 0755));
  ASSERT_EQ(0, symlink((elsewhere + "/tgz").c_str(), (work_ + "/tgz").c_str()));
  EXPECT_EQ((Strings{"0  -", "0"}), (Strings{Get(root, "Pkg", "R1", "linux"), std::to_string(ContinueBrnxCase(nullptr, "Pkg", "R1", "linux", out_))}));
  ASSERT_EQ(0, unlink((work_ + "/tgz").c_str()));
  ASSERT_EQ(0, chmod(work_.c_str(), 0777));
  EXPECT_EQ("0  -", Get(root, "Pkg", "R1", "linux"));
  ASSERT_EQ(0, chmod(work_.c_str(), 0755));
  Strings want = {value + "package path (shell characters): < " + root + "/linux/$(touch${IFS}pwned) >",
                  value + "package path (leaves the medium): < " + root + "/../../etc >", dir + work_ + " >: is a symbolic link",
                  dir + work_ + "/tgz >: is a symbolic link", dir + work_ + "/tgz >: is a symbolic link", dir + work_ + " >: is writable by others"};
  if (geteuid() == 0) {
    ASSERT_EQ(0, chown(work_.c_str(), 65534, 65534));
    EXPECT_EQ("0  -", Get(root, "Pkg", "R1", "linux"));
    ASSERT_EQ(0, chown(work_.c_str(), 0, 0));
    want.push_back(dir + work_ + " >: belongs to another user");
  }
  EXPECT_EQ(want, TraceRecords(sysroot_, {"CDINFO_GetPackagePath:: refused"}));
  EXPECT_EQ("./keep ", Tree(elsewhere + "/tgz"));
}

}  // namespace
}  // namespace tqtest
