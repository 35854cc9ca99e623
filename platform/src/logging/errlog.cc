// The error-logging environment: a per-process table of numeric settings.
//
// Every entry belongs to a module (the program part that logs) and maps a
// 32-bit key to a 32-bit value; key 0 of a module holds its logging
// threshold. The table lives in process memory only: a program builds it
// with the init calls, reads it back, walks it, prints it and deletes from
// it. Arguments and results are 32-bit integers so that the interface means
// the same under ILP32 and LP64.
#include <stdint.h>
#include <stdio.h>

#include <map>
#include <utility>

#include "tqplatform.h"

namespace tq {
namespace platform {
namespace errlog {
namespace {

constexpr int32_t kMaxLevel = 7;
constexpr int32_t kLevelKey = 0;
// init_ex flags.
constexpr int32_t kClearModule = 1;
constexpr int32_t kKeepExisting = 2;

using Key = std::pair<int32_t, int32_t>;  // module, key

struct Walk {
  bool active = false;
  int32_t module = 0, min_key = 0, max_key = 0;
  int32_t last = 0;
};

std::map<Key, int32_t> g_env;
Walk g_walk;

int32_t CountModule(int32_t module) {
  int32_t n = 0;
  for (auto it = g_env.lower_bound({module, INT32_MIN});
       it != g_env.end() && it->first.first == module; ++it)
    ++n;
  return n;
}

int32_t Init(int32_t module, int32_t level, int32_t key, int32_t value, int32_t flags) {
  if (module < 0 || level < 0 || level > kMaxLevel) return -1;
  if ((flags & ~(kClearModule | kKeepExisting)) != 0) return -1;
  if (flags & kClearModule) {
    g_env.erase(g_env.lower_bound({module, INT32_MIN}),
                g_env.upper_bound({module, INT32_MAX}));
  }
  g_env[{module, kLevelKey}] = level;
  if (key != kLevelKey) {
    auto it = g_env.find({module, key});
    if (it == g_env.end())
      g_env.emplace(Key{module, key}, value);
    else if (!(flags & kKeepExisting))
      it->second = value;
  }
  return CountModule(module);
}

// Smallest key of the module in [lo, hi] that is above `after` (or any key
// from lo when first is set); false when there is none.
bool NextKey(int32_t module, int32_t lo, int32_t hi, bool first, int32_t after, int32_t *out) {
  if (lo > hi) return false;
  std::map<Key, int32_t>::iterator it;
  if (first) {
    it = g_env.lower_bound({module, lo});
  } else {
    if (after >= hi) return false;
    it = g_env.upper_bound({module, after});
  }
  if (it == g_env.end() || it->first.first != module || it->first.second > hi) return false;
  *out = it->first.second;
  return true;
}

}  // namespace
}  // namespace errlog
}  // namespace platform
}  // namespace tq

namespace el = tq::platform::errlog;

extern "C" {

TQAPI int32_t TQPRODIS_init_error_logging(int32_t module, int32_t level, int32_t key,
                                          int32_t value) {
  return el::Init(module, level, key, value, 0);
}

TQAPI int32_t TQPRODIS_init_error_logging_ex(int32_t module, int32_t level, int32_t key,
                                             int32_t value, int32_t flags) {
  return el::Init(module, level, key, value, flags);
}

TQAPI int32_t TQPRODIS_error_logging_get_env(int32_t module, int32_t key, int32_t dflt) {
  auto it = el::g_env.find({module, key});
  return it == el::g_env.end() ? dflt : it->second;
}

TQAPI int32_t TQPRODIS_error_logging_get_first_env(int32_t module, int32_t min_key,
                                                   int32_t max_key, int32_t end_mark) {
  int32_t key;
  if (!el::NextKey(module, min_key, max_key, true, 0, &key)) {
    el::g_walk.active = false;
    return end_mark;
  }
  el::g_walk = el::Walk{true, module, min_key, max_key, key};
  return key;
}

TQAPI int32_t TQPRODIS_error_logging_get_next_env(int32_t module, int32_t min_key,
                                                  int32_t max_key, int32_t end_mark) {
  el::Walk &w = el::g_walk;
  if (!w.active || w.module != module || w.min_key != min_key || w.max_key != max_key)
    return end_mark;
  int32_t key;
  if (!el::NextKey(module, min_key, max_key, false, w.last, &key)) {
    w.active = false;
    return end_mark;
  }
  w.last = key;
  return key;
}

TQAPI int32_t TQPRODIS_error_logging_del_env(int32_t key) {
  int32_t removed = 0;
  for (auto it = el::g_env.begin(); it != el::g_env.end();) {
    if (it->first.second == key) {
      it = el::g_env.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  return removed;
}

TQAPI int32_t TQPRODIS_error_logging_delall_env(void) {
  int32_t removed = static_cast<int32_t>(el::g_env.size());
  el::g_env.clear();
  el::g_walk.active = false;
  return removed;
}

TQAPI int32_t TQPRODIS_error_logging_print_env(void) {
  int32_t printed = 0;
  for (const auto &e : el::g_env) {
    printf("module %d key %d value %d\n", e.first.first, e.first.second, e.second);
    ++printed;
  }
  fflush(stdout);
  return printed;
}

}  // extern "C"
