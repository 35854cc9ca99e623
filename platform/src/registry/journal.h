// The registry's change history: one row per change in the table history,
// written by the registry service inside the transaction of the change, and
// named checkpoints that a rollback returns to.
//
// A deleted key's row carries its whole subtree (keys, values, and each
// value's place in the creation order) so that an undo can put it back as
// it was. With recording off (TQ_REGISTRY_HISTORY=off) nothing is recorded,
// but every transaction that changes something leaves an "unrecorded" marker
// unless the newest row already is one, so that a rollback across such a
// stretch can see that it lacks the history it needs.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "registry/store.h"

namespace tq {
namespace platform {
namespace reg {

struct Change {
  int64_t seq = 0;
  int64_t time_ms = 0;
  int pid = 0;
  uint32_t uid = 0;
  std::string process;
  int op = 0;  // TQREG_OP_*
  std::string path;
  std::string name;
  bool has_old = false;
  uint32_t old_type = 0;
  std::string old_data;  // a deleted key: its subtree (below)
  int64_t old_seq = 0;   // a deleted value: its place in the creation order
  bool has_new = false;
  uint32_t new_type = 0;
  std::string new_data;
};

// One key or value of a deleted subtree, in the order they are put back:
// each key before its subkeys, each value after its key.
struct SubtreeEntry {
  bool is_key = false;
  std::string path;  // keys: below the deleted key, "" for itself
  ValueRow value;
};

std::string EncodeSubtree(const std::vector<SubtreeEntry> &entries);
// False when blob is not a subtree as EncodeSubtree writes it.
bool DecodeSubtree(const std::string &blob, std::vector<SubtreeEntry> *out);

class Journal {
 public:
  // Reads TQ_REGISTRY_HISTORY: a number of changes to keep, "off" or 0 for
  // none; 100,000 when unset or not a number.
  void Configure();
  bool recording() const { return keep_ > 0; }
  // The next change starts a new transaction: the writer is looked up again.
  void NewTransaction() {
    who_known_ = false;
    unrecorded_noted_ = false;
  }

  // Records c (time, process, user and position filled in here); with
  // recording off, notes that changes go unrecorded.
  void Record(Store &store, Change &c);

  // Position of the checkpoint's row, or 0 when there is no such checkpoint.
  int64_t CheckpointSeq(Store &store, const std::string &name);
  void SetCheckpoint(Store &store, const std::string &name, int64_t seq, int64_t time_ms);
  // Why a rollback to the checkpoint at seq cannot be done, or "".
  std::string MissingHistory(Store &store, int64_t seq);
  // The newest row's position, 0 when the history is empty.
  int64_t Newest(Store &store);
  // Up to limit changes after position after, oldest first.
  void Load(Store &store, int64_t after, size_t limit, std::vector<Change> *out);
  struct Checkpoint {
    std::string name;
    int64_t seq;
    int64_t time_ms;
    bool usable;
  };
  void LoadCheckpoints(Store &store, std::vector<Checkpoint> *out);

 private:
  void LearnWriter();
  void Insert(Store &store, Change &c);
  void Prune(Store &store, int64_t newest);

  int64_t keep_ = 100000;
  bool who_known_ = false;
  bool unrecorded_noted_ = false;
  int pid_ = 0;
  uint32_t uid_ = 0;
  std::string process_;
};

}  // namespace reg
}  // namespace platform
}  // namespace tq
