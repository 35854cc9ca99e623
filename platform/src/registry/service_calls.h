// The call frames of the registry service: every entry point runs its
// operation inside one of these (lock, open, transaction, cache upkeep).
#pragma once

#include "registry/service.h"

namespace tq {
namespace platform {
namespace reg {

template <typename Op>
int Service::ReadCall(Op op) {
  auto lock = Enter();
  int rc = EnsureOpen(false);
  if (rc != TQREG_OK) return rc;
  try {
    if (!batch_txn_) Sync();  // inside a batch the write lock is ours
    for (;;) {
      try {
        rc = op();
        break;
      } catch (const Restart &) {
        // The cache is empty and the snapshot is open: run once more.
      }
    }
    FinishRead();
    return rc;
  } catch (const DbError &e) {
    return Failed(e);
  }
}

template <typename Op>
int Service::WriteCall(Op op) {
  auto lock = Enter();
  int rc = OpenForWrite();
  if (rc != TQREG_OK) return rc;
  // A batch whose transaction failed writes nothing more until its end.
  if (batch_depth_ > 0 && !batch_txn_) return TQREG_E_IO;
  const bool batched = batch_txn_;
  try {
    const int64_t changes_before = store_.TotalChanges();
    if (!batched) {
      store_.BeginImmediate();
      in_txn_ = true;
      journal_.NewTransaction();
      TakeSnapshotVersion();
    }
    dirty_values_.clear();
    keys_created_ = keys_deleted_ = false;
    rc = op();
    if (batched) {
      // Every operation refuses before it changes anything, so a refused
      // write fails alone and the batch goes on. Should one ever fail after
      // a change, the batch cannot be trusted: it is lost as a whole.
      if (rc != TQREG_OK && store_.TotalChanges() != changes_before) Abort();
    } else {
      if (rc == TQREG_OK)
        store_.Commit();
      else
        store_.Rollback();
      in_txn_ = false;
    }
    // Our own commit does not move data_version, so the cache stays: drop
    // just what this write changed (everything after a subtree delete), so
    // walks that write as they go keep their cached lists. A refused write
    // changed nothing, and what it looked up is still true.
    if (rc == TQREG_OK && !keys_deleted_)
      ApplyLocalWrite();
    else if (rc == TQREG_OK || store_.TotalChanges() != changes_before)
      ClearCache();
    return rc;
  } catch (const DbError &e) {
    return Failed(e);
  } catch (const Restart &) {  // not expected inside a write transaction
    Abort();
    return TQREG_E_IO;
  }
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
