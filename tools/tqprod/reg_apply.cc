#include "reg_apply.h"

#include <vector>

#include "cli.h"

namespace tqtool {
namespace {

struct Undo {
  enum Kind { kDeleteKey, kRestoreTree, kRestoreValue, kDeleteValue, kRestoreValues } kind;
  std::string key;
  Value value;
  KeyNode tree;
};

bool RunUndo(const Undo &u, std::string &why) {
  switch (u.kind) {
    case Undo::kDeleteKey: return DeleteKey(u.key, why);
    case Undo::kRestoreTree: return WriteTree(u.tree, why);
    case Undo::kRestoreValue: return WriteValue(u.key, u.value, why);
    case Undo::kDeleteValue: return DeleteValue(u.key, u.value.name, why);
    case Undo::kRestoreValues: {
      // Values keep their creation order: rewrite them all in the old order.
      std::vector<std::string> subkeys;
      std::vector<Value> now;
      if (!ListKey(u.key, subkeys, now, why)) return false;
      for (const Value &v : now)
        if (!DeleteValue(u.key, v.name, why)) return false;
      for (const Value &v : u.tree.values)
        if (!WriteValue(u.key, v, why)) return false;
      return true;
    }
  }
  return false;
}

// Records how to take back the creation of `key` (and of its missing parents).
void NoteCreation(const std::string &key, std::vector<Undo> &undo) {
  std::string missing = FirstMissingKey(key);
  if (!missing.empty()) undo.push_back({Undo::kDeleteKey, missing, Value(), KeyNode()});
}

bool Step(const RegOp &op, std::vector<Undo> &undo, ApplyStats &stats, std::string &why) {
  switch (op.kind) {
    case RegOp::kKey:
      NoteCreation(op.key, undo);
      if (!CreateKey(op.key, why)) return false;
      ++stats.keys;
      return true;
    case RegOp::kValue: {
      Value old;
      std::string ignored;
      if (!KeyExists(op.key)) NoteCreation(op.key, undo);
      else if (ReadValue(op.key, op.value.name, old, ignored))
        undo.push_back({Undo::kRestoreValue, op.key, old, KeyNode()});
      else undo.push_back({Undo::kDeleteValue, op.key, op.value, KeyNode()});
      if (!WriteValue(op.key, op.value, why)) return false;
      ++stats.values;
      return true;
    }
    case RegOp::kDeleteKey: {
      if (!op.key.empty() && !KeyExists(op.key)) return true;  // nothing to delete
      KeyNode snapshot;
      if (!op.key.empty() && !ReadTree(op.key, snapshot, why)) return false;
      if (!DeleteKey(op.key, why)) return false;
      undo.push_back({Undo::kRestoreTree, op.key, Value(), std::move(snapshot)});
      ++stats.deleted_keys;
      return true;
    }
    case RegOp::kDeleteValue: {
      Value old;
      std::string ignored;
      if (!ReadValue(op.key, op.value.name, old, ignored)) return true;  // already absent
      KeyNode values;
      std::vector<std::string> subkeys;
      if (!ListKey(op.key, subkeys, values.values, why)) return false;
      if (!DeleteValue(op.key, op.value.name, why)) return false;
      undo.push_back({Undo::kRestoreValues, op.key, Value(), std::move(values)});
      ++stats.deleted_values;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ApplyReg(const RegFile &file, ApplyStats &stats, std::string &why, bool &rolled_back) {
  std::vector<Undo> undo;
  Progress progress("importing");
  rolled_back = false;
  for (size_t i = 0; i < file.ops.size(); ++i) {
    if (i % 64 == 0) progress.Step(static_cast<unsigned>(i), static_cast<unsigned>(file.ops.size()));
    const RegOp &op = file.ops[i];
    std::string step_why;
    if (Step(op, undo, stats, step_why)) continue;
    why = "line " + std::to_string(op.line) + ": " + step_why;
    rolled_back = true;
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
      std::string undo_why;
      if (!RunUndo(*it, undo_why)) {
        rolled_back = false;
        why += "; undo failed too: " + undo_why;
      }
    }
    stats = ApplyStats();
    return false;
  }
  return true;
}

}  // namespace tqtool
