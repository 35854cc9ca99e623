// History commands: history, checkpoint, checkpoints, diff, rollback.
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <memory>

#include "cli.h"
#include "output.h"
#include "registry_io.h"

namespace tqtool {
namespace {

struct Args {
  std::string key, since, process, name;
};

const char *OpName(int op) {
  switch (op) {
    case TQREG_OP_KEY_CREATED: return "create-key";
    case TQREG_OP_KEY_DELETED: return "delete-key";
    case TQREG_OP_VALUE_SET: return "set";
    case TQREG_OP_VALUE_DELETED: return "delete";
    case TQREG_OP_CHECKPOINT: return "checkpoint";
    case TQREG_OP_ROLLBACK: return "rollback";
    default: return "unrecorded";
  }
}

// "2026-12-06T04:41:56.123Z"
std::string TimeText(int64_t ms) {
  time_t secs = static_cast<time_t>(ms / 1000);
  struct tm tm;
  gmtime_r(&secs, &tm);
  char buf[48];
  snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
           tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000));
  return buf;
}

// --since: "2026-12-06", "2026-12-06T04:41[:56]" (UTC), or an age such as
// "90s", "15m", "2h", "3d". Milliseconds since 1970, or -1.
int64_t ParseSince(const std::string &text) {
  int n = 0;
  char unit = 0, extra = 0;
  if (sscanf(text.c_str(), "%d%c%c", &n, &unit, &extra) == 2 && n >= 0 && strchr("smhd", unit)) {
    const int64_t scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : 86400;
    return (static_cast<int64_t>(time(nullptr)) - n * scale) * 1000;
  }
  struct tm tm = {};
  const char *end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
  if (end == nullptr || *end) {
    tm = {};
    end = strptime(text.c_str(), "%Y-%m-%dT%H:%M", &tm);
  }
  if (end == nullptr || *end) {
    tm = {};
    end = strptime(text.c_str(), "%Y-%m-%d", &tm);
  }
  if (end == nullptr || *end) return -1;
  return static_cast<int64_t>(timegm(&tm)) * 1000;
}

bool Below(const std::string &path, const std::string &key) {
  if (key.empty()) return true;
  return path.size() >= key.size() && strncasecmp(path.c_str(), key.c_str(), key.size()) == 0 &&
         (path.size() == key.size() || path[key.size()] == '\\');
}

std::string Side(int has, unsigned type, const void *data, unsigned size) {
  if (!has) return "(absent)";
  Value v;
  v.type = type;
  v.data.assign(static_cast<const char *>(data), size);
  return FormatData(v);
}

void SideJson(Json &j, const char *field, int has, const std::string &name, unsigned type,
              const void *data, unsigned size) {
  j.Key(field);
  if (!has) {
    j.Null();
    return;
  }
  Value v;
  v.name = name;
  v.type = type;
  v.data.assign(static_cast<const char *>(data), size);
  ValueJson(j, v);
}

struct Listing {
  const Args *args;
  int64_t since;
  Json *json;           // --json: members of one array
  bool json_lines = false;  // --json, one document per change (watch)
  int64_t last = 0;     // the newest change looked at
};

int PrintChange(const TQREGCHANGE *c, void *ctx) {
  Listing &l = *static_cast<Listing *>(ctx);
  l.last = c->seq;
  const bool marker = c->op >= TQREG_OP_CHECKPOINT;
  if (c->time_ms < l.since || (!marker && !Below(c->path, l.args->key)) ||
      (!l.args->process.empty() && l.args->process != c->process))
    return 0;
  if (l.json || l.json_lines) {
    Json doc;
    Json &j = l.json ? *l.json : doc;
    j.BeginObject()
        .Field("seq", static_cast<long long>(c->seq))
        .Field("time", TimeText(c->time_ms))
        .Field("process", std::string(c->process))
        .Field("pid", static_cast<long long>(c->pid))
        .Field("uid", static_cast<long long>(c->uid))
        .Field("op", std::string(OpName(c->op)))
        .Field("key", std::string(c->path))
        .Field("name", std::string(c->name));
    SideJson(j, "old", c->has_old, c->name, c->old_type, c->old_data, c->old_size);
    SideJson(j, "new", c->has_new, c->name, c->new_type, c->new_data, c->new_size);
    j.EndObject();
    if (!l.json) doc.Print();
    return 0;
  }
  std::string line = TimeText(c->time_ms) + "  " + c->process + "[" + std::to_string(c->pid) +
                     "]  " + OpName(c->op);
  if (marker) {
    if (*c->name) line += std::string(" ") + c->name;
  } else {
    line += std::string("  ") + KeyLabel(c->path);
  }
  if (c->op == TQREG_OP_VALUE_SET || c->op == TQREG_OP_VALUE_DELETED) {
    line += std::string("  ") + (*c->name ? c->name : "(default)") + ": ";
    line += Side(c->has_old, c->old_type, c->old_data, c->old_size) + " -> " +
            Side(c->has_new, c->new_type, c->new_data, c->new_size);
  }
  printf("%s\n", Shown(line).c_str());
  return 0;
}

// Failure of a history call: the platform's text names the database and why.
int Failed(const char *what, int rc) {
  const char *text = TqkRegGetLastErrorText();
  return Error(what, TqkRegGetLastError() == rc && *text ? text : StatusText(rc));
}

// Every key and value of a tree, by folded path, for comparing two states.
void Flatten(const KeyNode &node, std::map<std::string, std::string> *out) {
  auto fold = [](std::string s) {
    for (char &c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return s;
  };
  (*out)[fold(node.path)] = KeyLabel(node.path) + "\\";
  for (const Value &v : node.values)
    (*out)[fold(node.path) + '\0' + fold(v.name)] = KeyLabel(node.path) + "  " + ValueLine(v);
  for (const KeyNode &child : node.children) Flatten(child, out);
}

// What changed since the checkpoint: the registry now against the registry
// rolled back inside a batch that is then abandoned, so nothing is written.
int Diff(const std::string &name) {
  KeyNode now, then;
  std::string why;
  if (!ReadTree("", now, why)) return Error("diff", why);
  int rc = TqkRegBeginBatch();
  if (rc != TQREG_OK) return Failed("diff", rc);
  rc = TqkRegRollback(name.c_str());
  bool read = rc == TQREG_OK && ReadTree("", then, why);
  TqkRegEndBatch(0);
  if (rc != TQREG_OK) return Failed("diff", rc);
  if (!read) return Error("diff", why);
  std::map<std::string, std::string> before, after;
  Flatten(then, &before);
  Flatten(now, &after);
  for (auto b = before.begin(), a = after.begin(); b != before.end() || a != after.end();) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      printf("- %s\n", Shown((b++)->second).c_str());
    } else if (b == before.end() || a->first < b->first) {
      printf("+ %s\n", Shown((a++)->second).c_str());
    } else {
      if (a->second != b->second) {
        printf("- %s\n", Shown(b->second).c_str());
        printf("+ %s\n", Shown(a->second).c_str());
      }
      ++a, ++b;
    }
  }
  return kOk;
}

// Prints each change below key as it is committed, until the timeout
// (seconds, < 0 for none) or SIGINT/SIGTERM.
int Watch(const Args &args, double timeout, bool json) {
  std::string key, why;
  if (!NormalizeKey(args.key, key, why)) return Error("watch", why, kUsage);
  TQHKEY h = 0;
  int rc = TqkRegOpenKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), &h);
  if (rc != TQREG_OK) return Error("watch", "key " + KeyLabel(key) + ": " + StatusText(rc));
  // A signal ends the watch from a thread of its own, between two lines.
  static std::mutex output;
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  std::thread([stop] {
    int sig;
    sigwait(&stop, &sig);
    std::lock_guard<std::mutex> lock(output);
    fflush(stdout);
    _exit(kOk);
  }).detach();

  Args filter = args;
  filter.key = key;
  Listing listing{&filter, 0, nullptr};
  listing.json_lines = json;
  listing.last = TqkRegHistoryPosition();
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long long>(timeout * 1000));
  for (;;) {
    long long left = timeout < 0 ? 3600000
                                 : std::chrono::duration_cast<std::chrono::milliseconds>(
                                       deadline - std::chrono::steady_clock::now())
                                       .count();
    if (left <= 0) return kOk;
    rc = TqkRegNotifyChangeKeyValue(h, 1, TQREG_NOTIFY_NAME | TQREG_NOTIFY_VALUE,
                                    static_cast<unsigned>(left));
    if (rc == TQREG_E_TIMEOUT) continue;
    if (rc != TQREG_OK && rc != TQREG_E_KEYDELETED) return Failed("watch", rc);
    {
      std::lock_guard<std::mutex> lock(output);
      int hr = TqkRegHistory(listing.last, PrintChange, &listing);
      fflush(stdout);
      if (hr != TQREG_OK) return Failed("watch", hr);
    }
    if (rc == TQREG_E_KEYDELETED) return Error("watch", KeyLabel(key) + ": the key was deleted");
  }
}

}  // namespace

void AddHistoryCommands(CLI::App &app, Context &ctx) {
  auto a = std::make_shared<Args>();

  CLI::App *history = AddCommand(app, ctx, "history", "List the recorded changes, oldest first",
                                 [a, &ctx] {
    std::string key, why;
    if (!a->key.empty() && !NormalizeKey(a->key, key, why)) return Error("history", why, kUsage);
    int64_t since = a->since.empty() ? 0 : ParseSince(a->since);
    if (since < 0) return Error("history", "not a time: \"" + a->since + "\"", kUsage);
    Args filter = *a;
    filter.key = key;
    Json j;
    Listing listing{&filter, since, ctx.json ? &j : nullptr};
    if (ctx.json) j.BeginArray();
    int rc = TqkRegHistory(0, PrintChange, &listing);
    if (rc != TQREG_OK) return Failed("history", rc);
    if (ctx.json) j.EndArray().Print();
    return int(kOk);
  });
  CompleteAs(history->add_option("KEY", a->key, "Only changes at or below this key"),
             Completes::kKey);
  history->add_option("--since", a->since,
                      "Only changes since TIME: 2026-12-06[T04:41[:56]] (UTC), or an age: 90s, "
                      "15m, 2h, 3d");
  history->add_option("--process", a->process, "Only changes made by processes of this name");

  CLI::App *checkpoint = AddCommand(app, ctx, "checkpoint", "Record a named point in the history",
                                    [a] {
    int rc = TqkRegCheckpoint(a->name.c_str());
    return rc == TQREG_OK ? int(kOk) : Failed("checkpoint", rc);
  });
  checkpoint->add_option("NAME", a->name, "Checkpoint name (a new one replaces an old one)")
      ->required();

  AddCommand(app, ctx, "checkpoints", "List the checkpoints, oldest first", [&ctx] {
    Json j;
    struct Out {
      Json *json;
    } out{ctx.json ? &j : nullptr};
    if (ctx.json) j.BeginArray();
    int rc = TqkRegCheckpoints([](const char *name, int64_t seq, int64_t time_ms, int usable,
                                  void *p) {
      Json *json = static_cast<Out *>(p)->json;
      if (json) {
        json->BeginObject().Field("name", std::string(name)).Field("seq", static_cast<long long>(seq))
            .Field("time", TimeText(time_ms)).FieldBool("usable", usable != 0).EndObject();
      } else {
        printf("%s\n", Shown(std::string(name) + "  " + TimeText(time_ms) + "  change " +
                             std::to_string(seq) + (usable ? "" : "  (history incomplete)"))
                           .c_str());
      }
      return 0;
    }, &out);
    if (rc != TQREG_OK) return Failed("checkpoints", rc);
    if (ctx.json) j.EndArray().Print();
    return int(kOk);
  });

  CLI::App *diff = AddCommand(app, ctx, "diff", "Show what changed since a checkpoint",
                              [a] { return Diff(a->name); });
  diff->add_option("NAME", a->name, "Checkpoint name")->required();

  CLI::App *rollback = AddCommand(app, ctx, "rollback",
                                  "Undo every change made since a checkpoint", [a] {
    int rc = TqkRegRollback(a->name.c_str());
    return rc == TQREG_OK ? int(kOk) : Failed("rollback", rc);
  });
  rollback->add_option("NAME", a->name, "Checkpoint name")->required();

  auto timeout = std::make_shared<double>(-1);
  CLI::App *watch = AddCommand(app, ctx, "watch",
                               "Print each change below a key as it is committed",
                               [a, timeout, &ctx] { return Watch(*a, *timeout, ctx.json); });
  CompleteAs(watch->add_option("KEY", a->key, "Key to watch, with its subtree"), Completes::kKey)
      ->required();
  watch->add_option("--timeout", *timeout, "Stop after this many seconds (default: never)")
      ->check(CLI::NonNegativeNumber);
}

}  // namespace tqtool
