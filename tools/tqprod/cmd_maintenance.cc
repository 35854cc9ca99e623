// Maintenance commands over the library's copy, backup, restore and dump.
// Key names are relative to SOFTWARE\Tarquel, as the library takes them.
#include <limits.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "cli.h"
#include "json.h"
#include "tqprod50.h"

namespace tqtool {
namespace {

struct Args {
  std::string src, dst, key, file, dir;
  bool typed = false;
};

std::string Meaning(int rc) {
  switch (rc) {
    case -1: return "a key on the way cannot be opened";
    case -2: return "the tree is deeper than 100 levels";
    case -4: return "the file cannot be opened";
    default: return "error " + std::to_string(rc);
  }
}

// Keys of the subtree at path, the key itself included (0 when it does not
// exist); with holding_values, only those with a value: a copy creates no
// other.
unsigned CountKeys(TQHKEY parent, const std::string &path, bool holding_values) {
  TQHKEY h = 0;
  if (TqkRegOpenKeyEx(parent, path.c_str(), 0, 0, &h) != 0) return 0;
  char name[TQREG_MAX_NAME + 1];
  unsigned size = sizeof name;
  // A name too long for the buffer still says that a value is there.
  unsigned n = !holding_values ||
               TqkRegEnumValue(h, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                   TQREG_E_NOTFOUND;
  for (unsigned i = 0; TqkRegEnumKey(h, i, name, sizeof name) == 0; ++i)
    n += CountKeys(h, name, holding_values);
  TqkRegCloseKey(h);
  return n;
}

unsigned CountTarquelKeys(const std::string &key, bool holding_values) {
  std::string path = "SOFTWARE\\Tarquel";
  if (!key.empty() && key != ".") path += "\\" + key;
  return CountKeys(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), path, holding_values);
}

// Key records ("#" lines) written to a backup file so far, read as it grows.
class RecordCounter {
 public:
  explicit RecordCounter(const std::string &file) : file_(file) {}
  unsigned operator()() {
    FILE *f = fopen(file_.c_str(), "re");
    if (f == nullptr) return records_;
    fseek(f, offset_, SEEK_SET);
    char line[1024];
    while (fgets(line, sizeof line, f) != nullptr && strchr(line, '\n') != nullptr) {
      offset_ += static_cast<long>(strlen(line));
      records_ += strcmp(line, "#\n") == 0;
    }
    fclose(f);
    return records_;
  }

 private:
  std::string file_;
  long offset_ = 0;
  unsigned records_ = 0;
};

// Keys created by this process since the call.
std::function<unsigned()> KeysCreated() {
  unsigned long start = TqkRegCreatedKeyCount();
  return [start] { return static_cast<unsigned>(TqkRegCreatedKeyCount() - start); };
}

}  // namespace

void AddMaintenanceCommands(CLI::App &app, Context &ctx) {
  auto a = std::make_shared<Args>();
  CLI::App *copy = AddCommand(app, ctx, "copy", "Copy a key with its values and subkeys", [a, &ctx] {
    int rc = WithProgress("copying", ctx.json, [a] { return CountTarquelKeys(a->src, true); }, KeysCreated(),
                          [a] { return TQPROD_CopyKeyRecursive(a->src.c_str(), a->dst.c_str()); });
    return rc == 0 ? int(kOk) : Error("copy", a->src + " to " + a->dst + ": " + Meaning(rc));
  });
  CompleteAs(copy->add_option("SRC", a->src, "Source key, relative to SOFTWARE\\Tarquel"), Completes::kProductKey)
      ->required();
  CompleteAs(copy->add_option("DST", a->dst, "Destination key, relative to SOFTWARE\\Tarquel"),
             Completes::kProductKey)
      ->required();

  CLI::App *backup = AddCommand(app, ctx, "backup", "Write a key's subtree to a backup file", [a, &ctx] {
    // Written beside the target and renamed over it only when complete: a
    // failed backup leaves the previous one as it was.
    std::string tmp = a->file + ".XXXXXX";
    int fd = mkstemp(&tmp[0]);
    if (fd < 0) return Error("backup", "cannot write beside " + a->file + ": " + strerror(errno));
    struct stat st;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, stat(a->file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0666 & ~mask);
    close(fd);
    int rc = WithProgress("backing up", ctx.json, [a] { return CountTarquelKeys(a->key, false); },
                          RecordCounter(tmp),
                          [&] { return TQPROD_BackupKey(a->key.c_str(), tmp.c_str()); });
    if (rc == 0 && rename(tmp.c_str(), a->file.c_str()) != 0)
      rc = -4;
    if (rc != 0) {
      unlink(tmp.c_str());
      return Error("backup", a->key + " to " + a->file + ": " + Meaning(rc));
    }
    return int(kOk);
  });
  CompleteAs(backup->add_option("KEY", a->key, "Key relative to SOFTWARE\\Tarquel (\".\" for all of it)"),
             Completes::kProductKey)
      ->required();
  CompleteAs(backup->add_option("FILE", a->file, "Backup file (created or truncated)"), Completes::kFile)
      ->required();

  CLI::App *restore = AddCommand(app, ctx, "restore", "Restore the keys of a backup file", [a, &ctx] {
    if (access(a->file.c_str(), R_OK) != 0)
      return Error("restore", "cannot read " + a->file + ": " + strerror(errno));
    int rc = WithProgress("restoring", ctx.json, RecordCounter(a->file), KeysCreated(), [a] {
      return a->typed ? TQPROD_RestoreKeyWithType(a->file.c_str()) : TQPROD_RestoreKey(a->file.c_str());
    });
    return rc == 0 ? int(kOk) : Error("restore", a->file + ": " + Meaning(rc));
  });
  CompleteAs(restore->add_option("FILE", a->file, "Backup file"), Completes::kFile)->required();
  restore->add_flag("--typed", a->typed, "The file is in the typed format (value lines carry the type)");

  CLI::App *dump = AddCommand(app, ctx, "dump", "Write the product registry to RegDump and say where",
                              [a, &ctx] {
    if (!a->dir.empty() && chdir(a->dir.c_str()) != 0)
      return Error("dump", "cannot enter " + a->dir + ": " + strerror(errno));
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return Error("dump", std::string("cannot tell the current directory: ") + strerror(errno));
    std::string path = std::string(cwd) + "/RegDump";
    int rc = TQPROD_DumpRegistry();
    if (rc != 0) return Error("dump", path + ": " + Meaning(rc));
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("file", path).EndObject().Print();
    } else {
      printf("%s\n", path.c_str());
    }
    return int(kOk);
  });
  CompleteAs(dump->add_option("--dir", a->dir, "Directory to write RegDump in (default: the current one)"),
             Completes::kDirectory);
}

}  // namespace tqtool
