#include "reg_apply.h"

#include "cli.h"

namespace tqtool {
namespace {

bool Step(const RegOp &op, ApplyStats &stats, std::string &why) {
  switch (op.kind) {
    case RegOp::kKey:
      if (!CreateKey(op.key, why)) return false;
      ++stats.keys;
      return true;
    case RegOp::kValue: {
      if (!WriteValue(op.key, op.value, why)) return false;
      ++stats.values;
      return true;
    }
    case RegOp::kDeleteKey: {
      if (!op.key.empty() && !KeyExists(op.key)) return true;  // nothing to delete
      if (!DeleteKey(op.key, why)) return false;
      ++stats.deleted_keys;
      return true;
    }
    case RegOp::kDeleteValue: {
      Value old;
      std::string ignored;
      if (!ReadValue(op.key, op.value.name, old, ignored)) return true;  // already absent
      if (!DeleteValue(op.key, op.value.name, why)) return false;
      ++stats.deleted_values;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ApplyReg(const RegFile &file, ApplyStats &stats, std::string &why, bool &rolled_back,
              bool quiet) {
  rolled_back = false;
  // The whole file is one transaction: one flush to disk, other processes
  // see all of it or none, and a file that fails midway leaves nothing.
  int rc = TqkRegBeginBatch();
  if (rc != TQREG_OK) {
    why = "cannot start a transaction (error " + std::to_string(rc) + ")";
    return false;
  }
  Progress progress("importing", quiet);
  unsigned keys = 0, keys_done = 0;
  for (const RegOp &op : file.ops) keys += op.kind == RegOp::kKey;
  for (size_t i = 0; i < file.ops.size(); ++i) {
    keys_done += file.ops[i].kind == RegOp::kKey;
    if (i % 64 == 0) progress.Step(keys_done, keys);
    const RegOp &op = file.ops[i];
    std::string step_why;
    if (Step(op, stats, step_why)) continue;
    why = "line " + std::to_string(op.line) + ": " + step_why;
    stats = ApplyStats();
    rc = TqkRegEndBatch(0);
    rolled_back = rc == TQREG_OK;
    if (!rolled_back) why += "; rolling back failed too (error " + std::to_string(rc) + ")";
    return false;
  }
  rc = TqkRegEndBatch(1);
  if (rc != TQREG_OK) {
    // A failed commit leaves nothing of the transaction behind.
    why = "commit failed (error " + std::to_string(rc) + ")";
    stats = ApplyStats();
    rolled_back = true;
    return false;
  }
  return true;
}

}  // namespace tqtool
