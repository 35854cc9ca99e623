// The registry service's recorded changes, checkpoints and rollback. Every
// change to keys and values goes through the four functions below, which
// write the change and its history row in the same transaction.
#include <string.h>

#include <algorithm>
#include <unordered_map>

#include "registry/last_error.h"
#include "registry/service_calls.h"

namespace tq {
namespace platform {
namespace reg {

namespace {

// Changes read per query while a rollback or a history listing pages on.
constexpr size_t kPage = 512;

[[noreturn]] void Mismatch(const std::string &path) {
  throw DbError(TQREG_E_CORRUPT, "the registry does not match its history at \"" + path + "\"");
}

}  // namespace

int Service::Note(int code, const std::string &text) {
  std::string where = where_.load();
  SetLastError(code, where.empty() ? text : where + ": " + text);
  return code;
}

const std::string &Service::StoredPath(int64_t id) {
  auto it = key_paths_.find(id);
  if (it != key_paths_.end()) return it->second;
  std::string path;
  if (id != kRootKeyId) {
    int64_t parent;
    std::string name;
    if (!store_.KeyRow(id, &parent, &name)) Mismatch("key #" + std::to_string(id));
    path = StoredPath(parent);
    if (!path.empty()) path += '\\';
    path += name;
  }
  return key_paths_.emplace(id, std::move(path)).first->second;
}

int64_t Service::StoredKey(const std::string &path) {
  int64_t id = kRootKeyId;
  size_t begin = 0;
  while (id != 0 && begin < path.size()) {
    size_t end = path.find('\\', begin);
    if (end == std::string::npos) end = path.size();
    id = store_.FindChild(id, path.data() + begin, end - begin);
    begin = end + 1;
  }
  return id;
}

void Service::AddKey(int64_t parent, const char *name, size_t len, int depth, int64_t *id) {
  *id = store_.InsertKey(parent, name, len, depth);
  keys_created_count_.fetch_add(1, std::memory_order_relaxed);
  keys_created_ = true;
  Change c;
  c.op = TQREG_OP_KEY_CREATED;
  if (journal_.recording()) {
    c.path = StoredPath(parent);
    if (!c.path.empty()) c.path += '\\';
    c.path.append(name, len);
    key_paths_.emplace(*id, c.path);
  }
  journal_.Record(store_, c);
}

void Service::PutValue(int64_t id, const char *name, size_t len, uint32_t type, const void *data,
                       size_t size) {
  dirty_values_.push_back(id);
  Change c;
  if (!journal_.recording()) {
    store_.UpsertValue(id, name, len, type, data, size);
    journal_.Record(store_, c);
    return;
  }
  c.op = TQREG_OP_VALUE_SET;
  c.path = StoredPath(id);
  c.has_new = true;
  c.new_type = type;
  if (size) c.new_data.assign(static_cast<const char *>(data), size);
  // A new value (the common case of bulk writes) needs no lookup first.
  if (store_.InsertValueIfNew(id, name, len, type, data, size)) {
    c.name.assign(name, len);
  } else {
    ValueRow old;
    if (!store_.FindValue(id, name, len, &old)) Mismatch(c.path + " : " + std::string(name, len));
    c.has_old = true;
    c.name = std::move(old.name);  // a replaced value keeps its name's case
    c.old_type = old.type;
    c.old_data = std::move(old.data);
    c.old_seq = old.seq;
    store_.UpsertValue(id, name, len, type, data, size);
  }
  journal_.Record(store_, c);
}

bool Service::RemoveValue(int64_t id, const char *name, size_t len) {
  dirty_values_.push_back(id);
  Change c;
  if (journal_.recording()) {
    ValueRow old;
    if (!store_.FindValue(id, name, len, &old)) return false;
    c.op = TQREG_OP_VALUE_DELETED;
    c.path = StoredPath(id);
    c.has_old = true;
    c.name = std::move(old.name);
    c.old_type = old.type;
    c.old_data = std::move(old.data);
    c.old_seq = old.seq;
  }
  if (!store_.DeleteValue(id, name, len)) return false;
  journal_.Record(store_, c);
  return true;
}

void Service::CollectSubtree(int64_t id, std::vector<SubtreeEntry> *out) {
  std::vector<Store::SubtreeKey> keys;
  std::vector<std::pair<int64_t, ValueRow>> values;
  store_.LoadSubtree(id, &keys, &values);
  // Each key comes after its parent; its path below id follows from the
  // parent's.
  std::unordered_map<int64_t, std::string> paths;
  std::unordered_map<int64_t, size_t> first_value;
  for (size_t i = values.size(); i-- > 0;) first_value[values[i].first] = i;
  for (const Store::SubtreeKey &k : keys) {
    SubtreeEntry key;
    key.is_key = true;
    if (k.id != id) {
      const std::string &parent = paths[k.parent];
      key.path = parent.empty() ? k.name : parent + "\\" + k.name;
    }
    paths[k.id] = key.path;
    out->push_back(std::move(key));
    auto v = first_value.find(k.id);
    for (size_t i = v == first_value.end() ? values.size() : v->second;
         i < values.size() && values[i].first == k.id; ++i) {
      SubtreeEntry e;
      e.value = std::move(values[i].second);
      out->push_back(std::move(e));
    }
  }
}

void Service::RemoveKey(int64_t id) {
  keys_deleted_ = true;
  Change c;
  if (journal_.recording()) {
    c.op = TQREG_OP_KEY_DELETED;
    c.path = StoredPath(id);
    std::vector<SubtreeEntry> subtree;
    CollectSubtree(id, &subtree);
    c.old_data = EncodeSubtree(subtree);
  }
  store_.DeleteSubtree(id);
  journal_.Record(store_, c);
}

void Service::Undo(const Change &c) {
  switch (c.op) {
    case TQREG_OP_KEY_CREATED: {
      int64_t id = StoredKey(c.path);
      if (id == 0 || id == kRootKeyId) Mismatch(c.path);
      RemoveKey(id);
      return;
    }
    case TQREG_OP_KEY_DELETED: {
      std::vector<SubtreeEntry> entries;
      if (!DecodeSubtree(c.old_data, &entries))
        throw DbError(TQREG_E_CORRUPT, "a history row of key \"" + c.path + "\" is damaged");
      size_t cut = c.path.rfind('\\');
      int64_t parent = StoredKey(cut == std::string::npos ? "" : c.path.substr(0, cut));
      if (parent == 0 || StoredKey(c.path) != 0) Mismatch(c.path);
      const int base = store_.KeyDepth(parent) + 1;
      std::unordered_map<std::string, int64_t> ids;  // path below the key -> id
      int64_t cur = 0;
      for (const SubtreeEntry &e : entries) {
        if (!e.is_key) {
          store_.InsertValueAt(cur, e.value.name, e.value.seq, e.value.type, e.value.data);
          Change set;
          set.op = TQREG_OP_VALUE_SET;
          set.path = StoredPath(cur);
          set.name = e.value.name;
          set.has_new = true;
          set.new_type = e.value.type;
          set.new_data = e.value.data;
          journal_.Record(store_, set);
          continue;
        }
        int64_t at = parent;
        std::string name = c.path.substr(cut == std::string::npos ? 0 : cut + 1);
        int depth = base;
        if (!e.path.empty()) {
          size_t sep = e.path.rfind('\\');
          auto it = ids.find(sep == std::string::npos ? "" : e.path.substr(0, sep));
          if (it == ids.end()) Mismatch(c.path + "\\" + e.path);
          at = it->second;
          name = e.path.substr(sep == std::string::npos ? 0 : sep + 1);
          depth = base + 1 + static_cast<int>(std::count(e.path.begin(), e.path.end(), '\\'));
        }
        AddKey(at, name.data(), name.size(), depth, &cur);
        ids[e.path] = cur;
      }
      return;
    }
    case TQREG_OP_VALUE_SET:
    case TQREG_OP_VALUE_DELETED: {
      int64_t id = StoredKey(c.path);
      if (id == 0) Mismatch(c.path);
      if (c.op == TQREG_OP_VALUE_SET && c.has_old) {
        PutValue(id, c.name.data(), c.name.size(), c.old_type, c.old_data.data(),
                 c.old_data.size());
      } else if (c.op == TQREG_OP_VALUE_SET) {
        if (!RemoveValue(id, c.name.data(), c.name.size())) Mismatch(c.path + " : " + c.name);
      } else {
        ValueRow present;
        if (store_.FindValue(id, c.name.data(), c.name.size(), &present))
          Mismatch(c.path + " : " + c.name);
        store_.InsertValueAt(id, c.name, c.old_seq, c.old_type, c.old_data);
        Change set;
        set.op = TQREG_OP_VALUE_SET;
        set.path = c.path;
        set.name = c.name;
        set.has_new = true;
        set.new_type = c.old_type;
        set.new_data = c.old_data;
        journal_.Record(store_, set);
        dirty_values_.push_back(id);
      }
      return;
    }
    default:
      return;  // checkpoints and other markers change nothing
  }
}

int Service::CheckName(const char *name) {
  if (name == nullptr || *name == '\0')
    return Note(TQREG_E_INVALID, "a checkpoint needs a name");
  if (strnlen(name, TQREG_MAX_CHECKPOINT_NAME + 1) > TQREG_MAX_CHECKPOINT_NAME)
    return Note(TQREG_E_LIMIT, "checkpoint name longer than 255 characters");
  return TQREG_OK;
}

int Service::Checkpoint(const char *name) {
  int rc = CheckName(name);
  if (rc != TQREG_OK) return rc;
  bool noted = false;
  rc = WriteCall([&] {
    if (!journal_.recording()) {
      noted = true;
      return Note(TQREG_E_NOHISTORY,
                  "history recording is off (TQ_REGISTRY_HISTORY=off): no checkpoint taken");
    }
    Change marker;
    marker.op = TQREG_OP_CHECKPOINT;
    marker.name = name;
    journal_.Record(store_, marker);
    journal_.SetCheckpoint(store_, name, marker.seq, marker.time_ms);
    return TQREG_OK;
  });
  if (rc != TQREG_OK && !noted) Refuse(rc);
  return rc;
}

int Service::Rollback(const char *name) {
  int rc = CheckName(name);
  if (rc != TQREG_OK) return rc;
  const std::string checkpoint = name;
  bool noted = false;
  rc = WriteCall([&] {
    int64_t seq = journal_.CheckpointSeq(store_, checkpoint);
    if (seq == 0) {
      noted = true;
      return Note(TQREG_E_NOTFOUND, "no checkpoint named \"" + checkpoint + "\"");
    }
    std::string missing = journal_.MissingHistory(store_, seq);
    if (!missing.empty()) {
      noted = true;
      return Note(TQREG_E_NOHISTORY,
                  "cannot roll back to checkpoint \"" + checkpoint + "\": " + missing);
    }
    // Everything to undo is read first: the undo adds rows of its own.
    std::vector<Change> changes;
    for (size_t got = kPage; got == kPage;) {
      size_t before = changes.size();
      journal_.Load(store_, before ? changes.back().seq : seq, kPage, &changes);
      got = changes.size() - before;
    }
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) Undo(*it);
    Change marker;
    marker.op = TQREG_OP_ROLLBACK;
    marker.name = checkpoint;
    journal_.Record(store_, marker);
    keys_deleted_ = true;  // the whole cache goes
    return TQREG_OK;
  });
  if (rc != TQREG_OK && !noted) Refuse(rc);
  return rc;
}

int Service::History(int64_t after_seq, TQREGCHANGEFN fn, void *ctx) {
  if (fn == nullptr) return Refuse(TQREG_E_INVALID);
  std::vector<Change> page;
  for (int64_t pos = after_seq;;) {
    int rc = ReadCall([&] {
      page.clear();
      journal_.Load(store_, pos, kPage, &page);
      return TQREG_OK;
    });
    if (rc != TQREG_OK) return Refuse(rc);
    for (const Change &c : page) {
      bool value = c.op == TQREG_OP_VALUE_SET || c.op == TQREG_OP_VALUE_DELETED;
      TQREGCHANGE out = {c.seq,
                         c.time_ms,
                         c.pid,
                         c.uid,
                         c.process.c_str(),
                         c.op,
                         c.path.c_str(),
                         c.name.c_str(),
                         value && c.has_old,
                         c.old_type,
                         c.old_data.data(),
                         static_cast<unsigned>(c.old_data.size()),
                         c.has_new,
                         c.new_type,
                         c.new_data.data(),
                         static_cast<unsigned>(c.new_data.size())};
      if (!value) out.old_size = 0;
      if (fn(&out, ctx) != 0) return TQREG_OK;
      pos = c.seq;
    }
    if (page.size() < kPage) return TQREG_OK;
  }
}

int Service::Checkpoints(TQREGCHECKPOINTFN fn, void *ctx) {
  if (fn == nullptr) return Refuse(TQREG_E_INVALID);
  std::vector<Journal::Checkpoint> list;
  int rc = ReadCall([&] {
    list.clear();
    journal_.LoadCheckpoints(store_, &list);
    return TQREG_OK;
  });
  if (rc != TQREG_OK) return Refuse(rc);
  for (const Journal::Checkpoint &c : list)
    if (fn(c.name.c_str(), c.seq, c.time_ms, c.usable ? 1 : 0, ctx) != 0) break;
  return TQREG_OK;
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
