// The context database's C interface, the context switch and the machine
// questions that go with virtual systems.
#include <sys/stat.h>

#include <vector>

#include "ctxdb/ctxdb_store.h"
#include "registry/context_binding.h"
#include "common/sysroot.h"
#include "tqplatform.h"

namespace tq {
namespace platform {
namespace ctxdb {
namespace {

// The process-wide walk of ctxdb_iterator_*: a snapshot of the ids taken by
// init, so that changes made during the walk do not disturb it.
struct Walk {
  bool active = false;
  std::vector<uint32_t> ids;
  size_t next = 0;
};
Walk g_walk;

bool FileExists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int FlagOf(uint32_t ctx, bool Entry::*flag) {
  Entry e;
  int found = Lookup(ctx, &e);
  if (found != 1) return -1;
  return e.*flag ? 1 : 0;
}

}  // namespace
}  // namespace ctxdb
}  // namespace platform
}  // namespace tq

using tq::platform::ctxdb::Entry;
namespace cdb = tq::platform::ctxdb;

extern "C" {

TQAPI int tq_ctxdb_add(unsigned ctx, int is_bridge, int is_junction, unsigned instances6) {
  Entry e;
  e.id = ctx;
  e.bridge = is_bridge != 0;
  e.junction = is_junction != 0;
  e.instances6 = instances6;
  return cdb::Put(e) ? 0 : -1;
}

TQAPI int tq_ctxdb_remove(unsigned ctx) {
  if (ctx == 0) return -1;
  return cdb::Remove(ctx) == 1 ? 0 : -1;
}

TQAPI int ctxdb_iterator_init(void) {
  std::vector<Entry> all;
  if (!cdb::LoadAll(&all)) return -1;
  cdb::g_walk.ids.clear();
  for (const Entry &e : all) cdb::g_walk.ids.push_back(e.id);
  cdb::g_walk.next = 0;
  cdb::g_walk.active = true;
  return 0;
}

TQAPI int ctxdb_iterator_next(unsigned *ctx) {
  if (!cdb::g_walk.active || ctx == nullptr) return -1;
  if (cdb::g_walk.next >= cdb::g_walk.ids.size()) return 0;
  *ctx = cdb::g_walk.ids[cdb::g_walk.next++];
  return 1;
}

TQAPI void ctxdb_iterator_free(void) {
  cdb::g_walk.active = false;
  cdb::g_walk.ids.clear();
  cdb::g_walk.next = 0;
}

TQAPI int ctxdb_get_instances_by_ctxid(unsigned ctx, unsigned *count, int flag) {
  if (count == nullptr || flag != 1) return -1;
  Entry e;
  if (cdb::Lookup(ctx, &e) != 1) return -1;
  *count = e.instances6;
  return 0;
}

TQAPI int ctxdb_is_bridge(unsigned ctx) { return cdb::FlagOf(ctx, &Entry::bridge); }

TQAPI int ctxdb_is_junction(unsigned ctx) { return cdb::FlagOf(ctx, &Entry::junction); }

TQAPI int tq_set_vs_env(unsigned ctx) {
  // The main system is always there to return to, even when the database
  // cannot be read.
  if (ctx != 0 && cdb::Lookup(ctx, nullptr) != 1) return -1;
  tq::platform::SetCurrentContext(ctx);
  return 0;
}

TQAPI unsigned tq_get_current_ctx_id(void) { return tq::platform::CurrentContext(); }

TQAPI int tq_is_triva(void) {
  std::vector<Entry> all;
  if (!cdb::LoadAll(&all)) return 0;
  for (const Entry &e : all)
    if (e.id != 0) return 1;
  return 0;
}

TQAPI int tq_is_usermode(void) {
  return cdb::FileExists(tq::SysPath("/etc/tqplatform/usermode")) ? 1 : 0;
}

TQAPI int IsVerdra(void) {
  return cdb::FileExists(tq::SysPath("/etc/tqplatform/verdra")) ? 1 : 0;
}

}  // extern "C"
