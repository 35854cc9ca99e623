#include "registry/service.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <sys/stat.h>

#include <set>

#include "registry/context_binding.h"
#include "registry/last_error.h"
#include "registry/service_calls.h"

namespace tq {
namespace platform {
namespace reg {

namespace {

// Handle layout: bits 0-19 slot index + 1, bits 20-30 slot generation
// (1..0x7FF). Bit 31 stays clear, so no handle equals kRootHandle.
constexpr uint32_t kIndexBits = 20;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kGenMax = 0x7FF;

// The read cache is dropped when it grows past this many bytes.
// Enough to keep a registry of 100,000 keys with a few values each warm;
// past it the cache starts over.
constexpr size_t kCacheLimit = 256u << 20;

inline char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

void FoldInto(const char *s, size_t n, std::string *out) {
  out->resize(n);
  for (size_t i = 0; i < n; ++i) (*out)[i] = Fold(s[i]);
}

bool NameTooLong(const char *name, size_t *len) {
  *len = strnlen(name, TQREG_MAX_VALUE_NAME + 1);
  return *len > TQREG_MAX_VALUE_NAME;
}

void AtforkPrepare() { Service::Instance().BeforeFork(); }
void AtforkParent() { Service::Instance().AfterFork(); }
void AtforkChild() { Service::Instance().AfterForkChild(); }

}  // namespace

Service &Service::Instance() {
  // Never destroyed: other libraries' exit handlers may still call in.
  static Service *instance = [] {
    Service *s = new Service();
    pthread_atfork(AtforkPrepare, AtforkParent, AtforkChild);
    return s;
  }();
  return *instance;
}

Service::Service() {
  folded_.reserve(256);
  key_buf_.reserve(256);
  name_buf_.reserve(256);
  var_buf_.reserve(256);
}

namespace {

// What a failed open depends on: the file and its directory as they are now.
std::string FileState(const std::string &file, const std::string &dir) {
  std::string out;
  for (const std::string *p : {&file, &dir}) {
    struct stat st;
    if (stat(p->c_str(), &st) != 0) {
      out += "missing;";
      continue;
    }
    out += std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_mode) + ";";
  }
  return out;
}

// "ctx0.db in DIR", kept for the life of the process: failures of any
// thread point at it.
const char *Intern(const std::string &text) {
  static std::mutex mu;
  static std::set<std::string> strings;
  std::lock_guard<std::mutex> lock(mu);
  return strings.insert(text).first->c_str();
}

}  // namespace

int Service::Failed(const DbError &e) {
  Abort();
  SetLastError(e.code(), std::string(where_.load()) + ": " + e.what());
  return e.code();
}

int Service::Refuse(int code) {
  // A database failure already left its own text.
  bool database = code == TQREG_E_ACCESS || code == TQREG_E_DISKFULL || code == TQREG_E_BUSY ||
                  code == TQREG_E_CORRUPT || code == TQREG_E_IO || code == TQREG_E_NOHISTORY;
  if (code != TQREG_OK && !(database && LastError() == code))
    SetLastErrorCode(code, where_.load());
  return code;
}

// The registry opened (or created) for a write; a read-only one refuses it.
int Service::OpenForWrite() {
  int rc = EnsureOpen(true);
  if (rc != TQREG_OK || store_.read_only().empty()) return rc;
  SetLastError(TQREG_E_ACCESS,
               std::string(where_.load()) + ": not writable (" + store_.read_only() + ")");
  return TQREG_E_ACCESS;
}

// Reads open an existing registry or stand in an empty one; the first write
// creates it. A stand-in is replaced as soon as the file exists, a read-only
// registry as soon as it can be written. A registry that failed to open is
// tried again only once its file or directory has changed: a broken
// registry fails every call at once, with the same code and text.
int Service::EnsureOpen(bool for_write) {
  if (store_.is_open()) {
    if (store_.placeholder()) {
      if (!for_write && access(store_file_.c_str(), F_OK) != 0) return TQREG_OK;
    } else if (!store_.read_only().empty() && for_write) {
      if (access(store_file_.c_str(), W_OK) != 0 || access(store_dir_.c_str(), W_OK) != 0)
        return TQREG_OK;  // still read-only: the write is refused by the caller
    } else {
      return TQREG_OK;
    }
  }
  const char *dir = getenv("TQ_REGISTRY_DIR");
  std::string d = dir && *dir ? dir : TQ_REGISTRY_DEFAULT_DIR;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  std::string base = "ctx" + std::to_string(CurrentContext()) + ".db";
  std::string file = d + "/" + base;
  if (open_failure_code_ != TQREG_OK && file == store_file_ &&
      FileState(file, d) == open_failure_state_) {
    SetLastError(open_failure_code_, open_failure_text_);
    return open_failure_code_;
  }
  store_file_ = file;
  store_dir_ = d;
  where_ = Intern(base + " in " + d);
  ClearCache();
  data_version_ = -1;
  in_txn_ = false;
  open_failure_code_ = TQREG_OK;
  try {
    store_.Open(d, store_file_, for_write);
  } catch (const DbError &e) {
    open_failure_code_ = e.code();
    open_failure_text_ = std::string(where_.load()) + ": " + e.what();
    open_failure_state_ = FileState(file, d);
    SetLastError(open_failure_code_, open_failure_text_);
    return open_failure_code_;
  }
  journal_.Configure();
  return TQREG_OK;
}

void Service::Sync() {
  if (cache_bytes_ > kCacheLimit) ClearCache();
  // Nothing committed anywhere since the last check: data_version cannot
  // have moved, and the query (a read transaction) is skipped.
  if (store_.WalUnchanged()) return;
  int64_t v = store_.DataVersion();
  if (v != data_version_) {
    ClearCache();
    data_version_ = v;
  }
}

void Service::EnsureSnapshot() {
  if (in_txn_) return;
  store_.Begin();
  in_txn_ = true;
  int64_t v = store_.DataVersion();
  if (v != data_version_) {
    data_version_ = v;
    ClearCache();
    throw Restart{};
  }
}

// The write lock is ours: bring the cache up to this snapshot.
void Service::TakeSnapshotVersion() {
  int64_t v = store_.DataVersion();
  if (v != data_version_) {
    ClearCache();
    data_version_ = v;
  }
}

void Service::FinishRead() {
  if (!in_txn_ || batch_txn_) return;
  in_txn_ = false;
  store_.Commit();
}

void Service::Abort() noexcept {
  // Inside a batch the whole batch is lost; its end reports the failure.
  batch_txn_ = false;
  store_.Rollback();
  store_.ForgetWalHeader();
  in_txn_ = false;
  ClearCache();
  data_version_ = -1;
}

void Service::ClearCache() {
  key_paths_.clear();
  vars_.clear();
  nodes_.clear();
  paths_.clear();
  negatives_.clear();
  cache_bytes_ = 0;
}

void Service::ApplyLocalWrite() {
  vars_.clear();
  for (int64_t id : dirty_values_) {
    auto it = nodes_.find(id);
    if (it == nodes_.end()) continue;
    it->second.values_loaded = false;
    it->second.values.clear();
    it->second.value_index.clear();
  }
  dirty_values_.clear();
  if (keys_created_) {
    for (const std::string &path : negatives_) paths_.erase(path);
    negatives_.clear();
  }
}

// ---- Handles ---------------------------------------------------------------

int Service::ResolveHandle(TQHKEY h, int64_t *id, int *depth) {
  if (h == kRootHandle) {
    *id = kRootKeyId;
    *depth = 0;
    return TQREG_OK;
  }
  const Slot *s = SlotOf(h);
  if (s == nullptr) return TQREG_E_BADHANDLE;
  *id = s->key;
  *depth = s->depth;
  if (nodes_.count(s->key)) return TQREG_OK;  // seen in this cache generation
  EnsureSnapshot();
  int d = store_.KeyDepth(s->key);
  if (d < 0) return TQREG_E_BADHANDLE;  // deleted, here or elsewhere
  NodeFor(s->key, d);
  return TQREG_OK;
}

Service::Slot *Service::SlotOf(TQHKEY h) {
  uint32_t idx = h & kIndexMask;
  if (idx == 0 || idx > slots_.size()) return nullptr;
  Slot &s = slots_[idx - 1];
  return s.used && s.gen == (h >> kIndexBits) ? &s : nullptr;
}

int Service::AllocHandle(int64_t id, int depth, std::string path, TQHKEY *out) {
  if (id == kRootKeyId) {
    *out = kRootHandle;
    return TQREG_OK;
  }
  uint32_t idx;
  if (!free_slots_.empty()) {
    idx = free_slots_.back();
    free_slots_.pop_back();
  } else {
    if (slots_.size() >= kIndexMask) return TQREG_E_LIMIT;
    slots_.emplace_back();
    idx = static_cast<uint32_t>(slots_.size() - 1);
  }
  Slot &s = slots_[idx];
  s.key = id;
  s.depth = depth;
  s.path = std::move(path);
  s.watch = Watch();
  s.used = true;
  *out = (s.gen << kIndexBits) | (idx + 1);
  return TQREG_OK;
}

void Service::InvalidateHandles() {
  free_slots_.clear();
  for (uint32_t i = 0; i < slots_.size(); ++i) {
    Slot &s = slots_[i];
    if (s.used) {
      s.used = false;
      s.gen = s.gen % kGenMax + 1;
    }
    free_slots_.push_back(i);
  }
}

// ---- Paths and cache -------------------------------------------------------

// Splits path into comps_ and writes the case-folded path (components joined
// by one backslash) into folded_. Empty components (leading, trailing or
// doubled backslashes) are skipped, so "" and "\" name the base key itself.
int Service::ParsePath(const char *path, int base_depth) {
  comps_.clear();
  folded_.clear();
  const char *p = path;
  while (*p) {
    if (*p == '\\') {
      ++p;
      continue;
    }
    const char *start = p;
    if (!folded_.empty()) folded_.push_back('\\');
    while (*p && *p != '\\') folded_.push_back(Fold(*p++));
    size_t len = static_cast<size_t>(p - start);
    if (len > TQREG_MAX_NAME) return TQREG_E_LIMIT;
    comps_.push_back(Component{start, len, folded_.size()});
    if (static_cast<size_t>(base_depth) + comps_.size() > TQREG_MAX_DEPTH) return TQREG_E_LIMIT;
  }
  return TQREG_OK;
}

// key_buf_ = the parent id's bytes followed by the first folded_len bytes of folded_.
void Service::PathKey(int64_t parent, size_t folded_len) {
  key_buf_.assign(reinterpret_cast<const char *>(&parent), sizeof parent);
  key_buf_.append(folded_, 0, folded_len);
}

Service::Node &Service::NodeFor(int64_t id, int depth) {
  auto it = nodes_.find(id);
  if (it != nodes_.end()) return it->second;
  Node &n = nodes_[id];
  n.depth = depth;
  cache_bytes_ += sizeof(Node) + 32;
  return n;
}

int64_t Service::LookupChild(int64_t parent, const Component &c, size_t folded_begin) {
  key_buf_.assign(reinterpret_cast<const char *>(&parent), sizeof parent);
  key_buf_.append(folded_, folded_begin, c.folded_end - folded_begin);
  auto it = paths_.find(key_buf_);
  if (it != paths_.end()) return it->second;
  EnsureSnapshot();
  int64_t id = store_.FindChild(parent, c.name, c.len);
  paths_[key_buf_] = id;
  cache_bytes_ += key_buf_.size() + 48;
  if (id == 0) negatives_.push_back(key_buf_);
  return id;
}

int Service::Resolve(int64_t parent, int parent_depth, const char *path, int64_t *id,
                     int *depth) {
  int rc = ParsePath(path, parent_depth);
  if (rc != TQREG_OK) return rc;
  const int n = static_cast<int>(comps_.size());
  if (n == 0) {
    *id = parent;
    *depth = parent_depth;
    return TQREG_OK;
  }
  PathKey(parent, folded_.size());
  auto it = paths_.find(key_buf_);
  if (it != paths_.end()) {
    if (it->second == 0) return TQREG_E_NOTFOUND;
    *id = it->second;
    *depth = parent_depth + n;
    return TQREG_OK;
  }
  if (n == 1) {
    int64_t child = LookupChild(parent, comps_[0], 0);
    if (child == 0) return TQREG_E_NOTFOUND;
    NodeFor(child, parent_depth + 1);
    *id = child;
    *depth = parent_depth + 1;
    return TQREG_OK;
  }
  std::string full = key_buf_;
  int64_t cur = parent;
  size_t begin = 0;
  for (int i = 0; i < n; ++i) {
    int64_t child = LookupChild(cur, comps_[i], begin);
    begin = comps_[i].folded_end + 1;
    if (child == 0) {
      paths_[full] = 0;
      cache_bytes_ += full.size() + 48;
      negatives_.push_back(full);
      return TQREG_E_NOTFOUND;
    }
    NodeFor(child, parent_depth + i + 1);
    cur = child;
  }
  paths_[full] = cur;
  cache_bytes_ += full.size() + 48;
  *id = cur;
  *depth = parent_depth + n;
  return TQREG_OK;
}

// Inside a write transaction: opens or creates every key along path.
int Service::CreatePath(int64_t parent, int parent_depth, const char *path, int64_t *id,
                        int *depth) {
  int rc = ParsePath(path, parent_depth);
  if (rc != TQREG_OK) return rc;
  int64_t cur = parent;
  int d = parent_depth;
  size_t begin = 0;
  for (const Component &c : comps_) {
    int64_t child = LookupChild(cur, c, begin);  // leaves the component's key in key_buf_
    begin = c.folded_end + 1;
    if (child == 0) {
      AddKey(cur, c.name, c.len, d + 1, &child);
      paths_[key_buf_] = child;
      auto pit = nodes_.find(cur);
      if (pit != nodes_.end()) {
        pit->second.children_loaded = false;
        pit->second.children.clear();
      }
    }
    ++d;
    NodeFor(child, d);
    cur = child;
  }
  *id = cur;
  *depth = d;
  return TQREG_OK;
}

Service::Node &Service::Values(int64_t id, int depth) {
  Node &n = NodeFor(id, depth);
  if (n.values_loaded) return n;
  EnsureSnapshot();
  store_.LoadValues(id, &n.values);
  n.value_index.clear();
  for (uint32_t i = 0; i < n.values.size(); ++i) {
    const ValueRow &v = n.values[i];
    FoldInto(v.name.data(), v.name.size(), &name_buf_);
    n.value_index.emplace(name_buf_, i);
    cache_bytes_ += 2 * v.name.size() + v.data.size() + 96;
  }
  n.values_loaded = true;
  return n;
}

Service::Node &Service::Children(int64_t id, int depth) {
  Node &n = NodeFor(id, depth);
  if (n.children_loaded) return n;
  EnsureSnapshot();
  store_.LoadChildren(id, &n.children);
  for (const ChildRow &c : n.children) {
    FoldInto(c.name.data(), c.name.size(), &name_buf_);
    key_buf_.assign(reinterpret_cast<const char *>(&id), sizeof id);
    key_buf_ += name_buf_;
    paths_[key_buf_] = c.id;
    NodeFor(c.id, depth + 1);
    cache_bytes_ += 2 * c.name.size() + 128;
  }
  n.children_loaded = true;
  return n;
}

const ValueRow *Service::FindValue(Node &node, const char *name, size_t len) {
  FoldInto(name, len, &name_buf_);
  auto it = node.value_index.find(name_buf_);
  return it == node.value_index.end() ? nullptr : &node.values[it->second];
}

bool Service::ReadVar(const char *key_path, const char *value_name, int versioned,
                      const ValueRow **out) {
  int64_t id;
  int depth;
  size_t name_len;
  if (NameTooLong(value_name, &name_len)) return false;
  if (Resolve(kRootKeyId, 0, key_path, &id, &depth) != TQREG_OK) return false;
  if (versioned) {
    Node &key = Values(id, depth);
    const ValueRow *cv = FindValue(key, "CurrentVersion", 14);
    if (cv != nullptr && cv->type == TQREG_SZ) {
      // The version names a subkey; a missing one means nothing to read.
      std::string version(cv->data.data(), strnlen(cv->data.data(), cv->data.size()));
      if (Resolve(id, depth, version.c_str(), &id, &depth) != TQREG_OK) return false;
    }
  }
  *out = FindValue(Values(id, depth), value_name, name_len);
  return *out != nullptr;
}

// ---- Operations ------------------------------------------------------------

// The handle is bound under the same lock as the lookup that found its key,
// or, when the lock had to be let go in between, only if no reset moved the
// process to another registry meanwhile (the key id would name a key of the
// wrong database).
int Service::OpenKey(TQHKEY parent, const char *path, TQHKEY *out) {
  return BindKey<false>(parent, path, out);
}

int Service::CreateKey(TQHKEY parent, const char *path, TQHKEY *out) {
  return BindKey<true>(parent, path, out);
}

template <bool kCreate>
int Service::BindKey(TQHKEY parent, const char *path, TQHKEY *out) {
  if (out == nullptr || path == nullptr) return TQREG_E_INVALID;
  *out = 0;
  for (int attempt = 0;; ++attempt) {
    int64_t id = 0;
    int depth = 0;
    uint64_t generation = 0;
    std::string full;
    auto op = [&] {
      generation = reset_generation_;
      int64_t pid;
      int pdepth;
      int r = ResolveHandle(parent, &pid, &pdepth);
      if (r != TQREG_OK) return r;
      full = JoinKeyPath(parent, path);
      return kCreate ? CreatePath(pid, pdepth, path, &id, &depth)
                     : Resolve(pid, pdepth, path, &id, &depth);
    };
    int rc = kCreate ? WriteCall(op) : ReadCall(op);
    if (rc != TQREG_OK) return rc;
    auto lock = Enter();
    if (generation == reset_generation_) return AllocHandle(id, depth, std::move(full), out);
    // An open is tried once more; a key just created belongs to the old
    // registry, so its handle is refused.
    if (kCreate || attempt > 0) return TQREG_E_BADHANDLE;
  }
}

std::string Service::JoinKeyPath(TQHKEY parent, const char *path) {
  std::string out = parent == kRootHandle ? std::string() : slots_[(parent & kIndexMask) - 1].path;
  while (*path == '\\') ++path;
  if (!out.empty() && *path) out += '\\';
  out += path;
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string Service::KeyPathOf(TQHKEY key) {
  auto lock = Enter();
  if (key == kRootHandle) return std::string();
  const Slot *s = SlotOf(key);
  return s ? s->path : "(invalid handle)";
}

int Service::CloseKey(TQHKEY key) {
  auto lock = Enter();
  if (key == kRootHandle) return TQREG_OK;
  Slot *s = SlotOf(key);
  if (s == nullptr) return TQREG_E_BADHANDLE;
  // Closing a handle of a deleted key still releases it.
  s->used = false;
  s->gen = s->gen % kGenMax + 1;
  free_slots_.push_back(static_cast<uint32_t>(s - slots_.data()));
  return TQREG_OK;
}

int Service::QueryValue(TQHKEY key, const char *name, unsigned *type, void *data,
                        unsigned *size) {
  if (name == nullptr || (data != nullptr && size == nullptr)) return TQREG_E_INVALID;
  size_t len;
  if (NameTooLong(name, &len)) return TQREG_E_LIMIT;
  return ReadCall([&] {
    int64_t id;
    int depth;
    int r = ResolveHandle(key, &id, &depth);
    if (r != TQREG_OK) return r;
    const ValueRow *v = FindValue(Values(id, depth), name, len);
    if (v == nullptr) return TQREG_E_NOTFOUND;
    unsigned need = static_cast<unsigned>(v->data.size());
    if (data != nullptr && *size < need) {
      *size = need;
      return TQREG_E_MOREDATA;
    }
    if (data != nullptr && need) memcpy(data, v->data.data(), need);
    if (size != nullptr) *size = need;
    if (type != nullptr) *type = v->type;
    return TQREG_OK;
  });
}

int Service::SetValue(TQHKEY key, const char *name, unsigned type, const void *data,
                      unsigned size) {
  if (name == nullptr || (data == nullptr && size != 0)) return TQREG_E_INVALID;
  size_t len;
  if (NameTooLong(name, &len) || size > TQREG_MAX_DATA) return TQREG_E_LIMIT;
  return WriteCall([&] {
    int64_t id;
    int depth;
    int r = ResolveHandle(key, &id, &depth);
    if (r != TQREG_OK) return r;
    PutValue(id, name, len, type, data, size);
    return TQREG_OK;
  });
}

int Service::EnumKey(TQHKEY key, unsigned index, char *name, unsigned capacity) {
  if (name == nullptr) return TQREG_E_INVALID;
  return ReadCall([&] {
    int64_t id;
    int depth;
    int r = ResolveHandle(key, &id, &depth);
    if (r != TQREG_OK) return r;
    const Node &n = Children(id, depth);
    if (index >= n.children.size()) return TQREG_E_NOTFOUND;
    const std::string &child = n.children[index].name;
    if (child.size() + 1 > capacity) return TQREG_E_MOREDATA;
    memcpy(name, child.c_str(), child.size() + 1);
    return TQREG_OK;
  });
}

int Service::EnumValue(TQHKEY key, unsigned index, char *name, unsigned *name_size,
                       unsigned *type, void *data, unsigned *data_size) {
  if (name == nullptr || name_size == nullptr || (data != nullptr && data_size == nullptr))
    return TQREG_E_INVALID;
  return ReadCall([&] {
    int64_t id;
    int depth;
    int r = ResolveHandle(key, &id, &depth);
    if (r != TQREG_OK) return r;
    const Node &n = Values(id, depth);
    if (index >= n.values.size()) return TQREG_E_NOTFOUND;
    const ValueRow &v = n.values[index];
    unsigned name_len = static_cast<unsigned>(v.name.size());
    unsigned need = static_cast<unsigned>(v.data.size());
    bool short_name = name_len + 1 > *name_size;
    bool short_data = data != nullptr && need > *data_size;
    if (short_name || short_data) {
      *name_size = name_len;
      if (data_size != nullptr) *data_size = need;
      return TQREG_E_MOREDATA;
    }
    memcpy(name, v.name.c_str(), name_len + 1);
    *name_size = name_len;
    if (type != nullptr) *type = v.type;
    if (data != nullptr && need) memcpy(data, v.data.data(), need);
    if (data_size != nullptr) *data_size = need;
    return TQREG_OK;
  });
}

int Service::DeleteKey(TQHKEY parent, const char *path) {
  if (path == nullptr) return TQREG_E_INVALID;
  return WriteCall([&] {
    int64_t pid, id;
    int pdepth, depth;
    int r = ResolveHandle(parent, &pid, &pdepth);
    if (r != TQREG_OK) return r;
    r = Resolve(pid, pdepth, path, &id, &depth);
    if (r != TQREG_OK) return r;
    if (id == kRootKeyId) return TQREG_E_INVALID;
    RemoveKey(id);
    return TQREG_OK;
  });
}

int Service::DeleteValue(TQHKEY key, const char *name) {
  if (name == nullptr) return TQREG_E_INVALID;
  size_t len;
  if (NameTooLong(name, &len)) return TQREG_E_LIMIT;
  return WriteCall([&] {
    int64_t id;
    int depth;
    int r = ResolveHandle(key, &id, &depth);
    if (r != TQREG_OK) return r;
    return RemoveValue(id, name, len) ? TQREG_OK : TQREG_E_NOTFOUND;
  });
}

int Service::Reset() {
  auto lock = Enter();
  ++reset_generation_;
  root_watch_ = Watch();
  batch_txn_ = false;  // an open batch is rolled back with the connection
  store_.Close();  // the reopen empties the cache
  InvalidateHandles();
  return EnsureOpen(false);
}

int Service::DropCache() {
  auto lock = Enter();
  ClearCache();
  return 0;
}

TQREGVAR Service::GetVar(const char *key_path, const char *value_name, int versioned) {
  if (key_path == nullptr || value_name == nullptr) return 0;
  TQREGVAR result = 0;
  ReadCall([&] {
    // Memo of whole one-call reads (the hot path of every flag getter): one
    // hash lookup instead of resolving the path and the version each time.
    // Emptied with the cache and by every local write.
    var_key_.assign(1, versioned ? 'v' : '-');
    var_key_.append(key_path);
    var_key_.push_back('\0');
    var_key_.append(value_name);
    auto it = vars_.find(var_key_);
    if (it == vars_.end()) {
      VarMemo memo;
      const ValueRow *v;
      if (ReadVar(key_path, value_name, versioned, &v)) {
        memo.found = true;
        memo.type = v->type;
        memo.data.assign(v->data);
        // Two terminators: ends a string and a multi-string alike.
        memo.data.append(2, '\0');
      }
      cache_bytes_ += var_key_.size() + memo.data.size() + 96;
      it = vars_.emplace(var_key_, std::move(memo)).first;
    }
    const VarMemo &m = it->second;
    result = 0;
    if (!m.found) return TQREG_OK;
    if (m.type == TQREG_DWORD) {
      uint32_t n = 0;
      memcpy(&n, m.data.data(), m.data.size() - 2 < 4 ? m.data.size() - 2 : 4);
      result = static_cast<TQREGVAR>(static_cast<int32_t>(n));
    } else {
      result = reinterpret_cast<TQREGVAR>(m.data.data());
    }
    return TQREG_OK;
  });
  return result;
}

int Service::SetVar(const char *key_path, const char *value_name, uint32_t value,
                    int versioned) {
  if (key_path == nullptr || value_name == nullptr) return Refuse(TQREG_E_INVALID), -1;
  size_t len;
  if (NameTooLong(value_name, &len)) return Refuse(TQREG_E_LIMIT), -1;
  int rc = WriteCall([&] {
    int64_t id;
    int depth;
    int r = CreatePath(kRootKeyId, 0, key_path, &id, &depth);
    if (r != TQREG_OK) return r;
    if (versioned) {
      const ValueRow *cv = FindValue(Values(id, depth), "CurrentVersion", 14);
      if (cv != nullptr && cv->type == TQREG_SZ) {
        std::string version(cv->data.data(), strnlen(cv->data.data(), cv->data.size()));
        r = CreatePath(id, depth, version.c_str(), &id, &depth);
        if (r != TQREG_OK) return r;
      }
    }
    PutValue(id, value_name, len, TQREG_DWORD, &value, sizeof value);
    return TQREG_OK;
  });
  return Refuse(rc) == TQREG_OK ? 0 : -1;
}

int Service::CopyValues(TQHKEY src, TQHKEY dst) {
  int rc = WriteCall([&] {
    int64_t sid, did;
    int sdepth, ddepth;
    int r = ResolveHandle(src, &sid, &sdepth);
    if (r != TQREG_OK) return r;
    r = ResolveHandle(dst, &did, &ddepth);
    if (r != TQREG_OK) return r;
    if (sid == did) return TQREG_OK;
    for (const ValueRow &v : Values(sid, sdepth).values)
      PutValue(did, v.name.data(), v.name.size(), v.type, v.data.data(), v.data.size());
    return TQREG_OK;
  });
  return Refuse(rc) == TQREG_OK ? 0 : -1;
}

const char *Service::GetFwdir() {
  const char *result = nullptr;
  ReadCall([&] {
    result = nullptr;
    const ValueRow *v;
    if (ReadVar("SOFTWARE\\Tarquel\\MRK", "FWDIR", 1, &v) && v->type != TQREG_DWORD) {
      var_buf_.assign(v->data);
      var_buf_.append(2, '\0');
      result = var_buf_.c_str();
    }
    return TQREG_OK;
  });
  return result ? result : getenv("FWDIR");
}

void Service::BeforeFork() {
  mu_.lock();
  if (batch_txn_) return;  // the batch goes on in the parent after the fork
  // Reopened by the next call, which also empties the cache.
  store_.Close();
}

void Service::AfterFork() { mu_.unlock(); }

void Service::AfterForkChild() {
  if (batch_txn_) {
    // The connection is in the parent's batch: the child starts afresh.
    store_.Abandon();
    ClearCache();
    data_version_ = -1;
    in_txn_ = false;
    batch_txn_ = false;
  }
  batch_depth_ = 0;
  batch_owner_ = std::thread::id();
  mu_.unlock();
}

// ---- Batches ---------------------------------------------------------------

std::unique_lock<std::mutex> Service::Enter() {
  std::unique_lock<std::mutex> lock(mu_);
  batch_cv_.wait(lock, [this] {
    return batch_depth_ == 0 || batch_owner_ == std::this_thread::get_id();
  });
  return lock;
}

int Service::BeginBatch() {
  auto lock = Enter();
  if (batch_depth_ > 0) {
    ++batch_depth_;  // joins the outer batch
    return TQREG_OK;
  }
  int rc = OpenForWrite();
  if (rc != TQREG_OK) return rc;
  try {
    store_.BeginImmediate();
    in_txn_ = true;
    journal_.NewTransaction();
    TakeSnapshotVersion();
  } catch (const DbError &e) {
    return Failed(e);
  }
  batch_depth_ = 1;
  batch_txn_ = true;
  batch_abandoned_ = false;
  batch_owner_ = std::this_thread::get_id();
  return TQREG_OK;
}

int Service::EndBatch(bool commit) {
  auto lock = Enter();
  if (batch_depth_ == 0) return TQREG_E_INVALID;
  if (!commit) batch_abandoned_ = true;
  const bool failed = !batch_txn_;  // the transaction was lost on the way
  if (--batch_depth_ > 0) return failed ? TQREG_E_IO : TQREG_OK;
  int rc = failed ? TQREG_E_IO : TQREG_OK;
  if (batch_txn_) {
    batch_txn_ = false;
    if (batch_abandoned_) {
      store_.Rollback();
      in_txn_ = false;
      ClearCache();
    } else {
      try {
        store_.Commit();
        in_txn_ = false;
      } catch (const DbError &e) {
        rc = Failed(e);
      }
    }
  }
  batch_owner_ = std::thread::id();
  batch_cv_.notify_all();
  return rc;
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
