/* Registry service: a persistent, multi-process, Windows-style registry.
 *
 * Keys are backslash-separated paths relative to a parent handle; key and
 * value names compare without regard to case and keep the case they were
 * created with. Subkeys enumerate in case-insensitive name order, values in
 * creation order (replacing a value keeps its place); indices stay dense
 * after deletes. Deleting a key deletes its subtree.
 *
 * Storage: one SQLite database per virtual-system context in the directory
 * named by TQ_REGISTRY_DIR (default TQ_REGISTRY_DEFAULT_DIR). Every write is
 * one transaction; several processes may read and write at once.
 *
 * Durability: a write is on disk when it is acknowledged (SQLite WAL with
 * synchronous FULL). TQ_REGISTRY_SYNC=normal skips the flush at each commit:
 * faster, and a process crash still loses nothing, but a power loss may roll
 * back the last commits.
 *
 * Case folding touches ASCII letters only; subkey order compares names
 * byte by byte after folding A-Z to a-z (so "_x" sorts before "a").
 *
 * Paths: components are separated by backslashes; empty components
 * (leading, trailing or doubled backslashes) are ignored, so "" and "\\"
 * name the parent key itself. Value name "" is the key's default value.
 * Required pointer arguments that are NULL give TQREG_E_INVALID.
 *
 * Status results: 0 success; a non-zero TQREG_E* code otherwise.
 */
#ifndef TQPLATFORM_REGISTRY_H
#define TQPLATFORM_REGISTRY_H

#include <stdint.h>
#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Opaque 32-bit key handle from a process-wide table. */
typedef uint32_t TQHKEY;

/* Value of TQPRODIS_GetVarFromRegistry: 0 for absent, a number for a type 4
 * value (sign-extended from 32 bits), else a pointer to the stored text. */
typedef intptr_t TQREGVAR;

#define TQ_REGISTRY_DEFAULT_DIR "/var/lib/tqprod50/registry"

/* Value types. */
#define TQREG_SZ        1u
#define TQREG_EXPAND_SZ 2u  /* a string with %VARIABLES% (stored as given) */
#define TQREG_DWORD     4u
#define TQREG_MULTI_SZ  7u

/* Limits: refused with TQREG_E_LIMIT, never overflowed. */
#define TQREG_MAX_NAME   255u              /* one key-name component */
#define TQREG_MAX_VALUE_NAME 16383u        /* one value name */
#define TQREG_MAX_DATA   (1024u * 1024u)   /* bytes of value data */
#define TQREG_MAX_DEPTH  512u              /* key components below the root */

/* Status codes, one per cause (the Windows error numbers of the same
 * causes). The per-thread last error (below) says which database and why. */
#define TQREG_OK            0
#define TQREG_E_NOTFOUND    2   /* key or value absent, or index past the end */
#define TQREG_E_ACCESS      5   /* access denied: the database file or its
                                   directory is not writable */
#define TQREG_E_BADHANDLE   6   /* unknown, closed or deleted key handle */
#define TQREG_E_INVALID     87  /* NULL or malformed argument */
#define TQREG_E_DISKFULL    112 /* disk full, or the file-size limit reached */
#define TQREG_E_BUSY        170 /* another writer held the lock past the busy
                                   timeout */
#define TQREG_E_MOREDATA    234 /* buffer too small; size set to the need */
#define TQREG_E_TIMEOUT     258 /* a wait ended without the event */
#define TQREG_E_NOHISTORY   1168 /* the history a rollback needs was pruned,
                                    or changes were made with recording off */
#define TQREG_E_CORRUPT     1009 /* the file is not a registry database, or is
                                    corrupt */
#define TQREG_E_KEYDELETED  1018 /* a watched key was deleted */
#define TQREG_E_IO          1117 /* any other failure of the database */
#define TQREG_E_LIMIT       1450 /* a limit above was exceeded */

TQAPI TQHKEY TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(void);
/* Open and create write a new handle to *out (0 on failure); a path that
 * resolves to the root gives the root handle. Create makes every missing key
 * along the path in one transaction. At most about a million handles may be
 * open at once (TQREG_E_LIMIT beyond). */
TQAPI int TqkRegOpenKeyEx(TQHKEY parent, const char *path, unsigned options,
                          unsigned access, TQHKEY *out);
TQAPI int TqkRegOpenKey(TQHKEY parent, const char *subkey, TQHKEY *out);
TQAPI int TqkRegCreateKey(TQHKEY parent, const char *path, TQHKEY *out);
TQAPI int TqkRegCloseKey(TQHKEY key);
/* data may be NULL to ask for the size only; on TQREG_E_MOREDATA *size is
 * set to the byte count needed and nothing is written to data. */
TQAPI int TqkRegQueryValueEx(TQHKEY key, const char *name, unsigned *reserved,
                             unsigned *type, void *data, unsigned *size);
TQAPI int TqkRegSetValueEx(TQHKEY key, const char *name, unsigned reserved,
                           unsigned type, const void *data, unsigned size);
/* Name of the index-th subkey (case-insensitive name order), NUL-terminated
 * within capacity bytes; TQREG_E_MOREDATA when it does not fit. */
TQAPI int TqkRegEnumKey(TQHKEY key, unsigned index, char *name, unsigned capacity);
/* Name, type and data of the index-th value (creation order). *name_size and
 * *data_size are capacities on entry and byte counts on return (name without
 * its NUL). type, data and data_size may be NULL. When the name (with its
 * NUL) or the data does not fit: TQREG_E_MOREDATA, both sizes set to the
 * counts needed (name without NUL), nothing else written. */
TQAPI int TqkRegEnumValue(TQHKEY key, unsigned index, char *name,
                          unsigned *name_size, unsigned *reserved, unsigned *type,
                          void *data, unsigned *data_size);
/* Deletes the key at path (the parent's own key for "") with its subtree, in
 * one transaction; deleting the root gives TQREG_E_INVALID. */
TQAPI int TqkRegDeleteKey(TQHKEY parent, const char *path);
TQAPI int TqkRegDeleteValue(TQHKEY key, const char *name);
/* Rebinds the process to the registry of the current virtual-system context
 * (and re-reads TQ_REGISTRY_DIR); every open handle becomes invalid. */
TQAPI int TqkResetGlobalEntries(void);
TQAPI int reset_reg_sic_cache(void);

/* Write batches: the writes between TqkRegBeginBatch and the matching
 * TqkRegEndBatch are one transaction (one flush to disk), and other
 * processes see all of them or none. A batch belongs to the thread that
 * began it; calls from other threads wait for its end. Batches nest: an
 * inner batch joins the outer one, whose end alone commits. A write that
 * fails on its own (a limit, a bad handle) fails alone and the batch goes
 * on; a database failure loses the whole batch, and every later write and
 * the ends report TQREG_E_IO. TqkRegEndBatch(0) abandons the batch: the
 * outermost end then rolls it all back. An end without a begin gives
 * TQREG_E_INVALID; a batch never ended is rolled back when the process
 * exits. TqkResetGlobalEntries inside a batch rolls it back. */
TQAPI int TqkRegBeginBatch(void);
TQAPI int TqkRegEndBatch(int commit);
/* Keys this process has created so far, for progress displays. Takes no
 * lock: another thread may call it while a batch is open. */
TQAPI unsigned long TqkRegCreatedKeyCount(void);

/* The last error of the calling thread, as GetLastError on Windows: every
 * failing call of the registry service sets it, success leaves it as it was.
 * The text is one line naming the database and the cause, e.g.
 * "ctx0.db in /var/lib/tqprod50/registry: not writable (read-only file)";
 * it stays valid until the thread's next registry call. A caller that must
 * know whether a write whose result is not reported (TQPROD_SetValue)
 * succeeded sets the last error to 0, writes, and reads it back. Every
 * failed write is also logged through tderrorFunc. */
TQAPI int TqkRegGetLastError(void);
TQAPI void TqkRegSetLastError(int code);
TQAPI const char *TqkRegGetLastErrorText(void);

/* History. Every change is recorded in the same transaction as the change:
 * when, by which process, what, and the data before and after. Each
 * context's database keeps its own. TQ_REGISTRY_HISTORY=N keeps the last N
 * changes (100,000 by default); TQ_REGISTRY_HISTORY=off records nothing
 * (a marker then notes that changes went unrecorded). */
#define TQREG_OP_KEY_CREATED   1
#define TQREG_OP_KEY_DELETED   2  /* with its subtree */
#define TQREG_OP_VALUE_SET     3
#define TQREG_OP_VALUE_DELETED 4
#define TQREG_OP_CHECKPOINT    5  /* name is the checkpoint's */
#define TQREG_OP_ROLLBACK      6  /* name is the checkpoint rolled back to */
#define TQREG_OP_UNRECORDED    7  /* changes follow that were not recorded */

#define TQREG_MAX_CHECKPOINT_NAME 255u

typedef struct TQREGCHANGE {
  int64_t seq;        /* position in the history, increasing */
  int64_t time_ms;    /* UTC, milliseconds since 1970 */
  int pid;
  unsigned uid;
  const char *process; /* the writer's /proc/self/comm */
  int op;              /* TQREG_OP_* */
  const char *path;    /* key path below HKEY_LOCAL_MACHINE, case kept */
  const char *name;    /* value name (case kept) or checkpoint name; "" else */
  int has_old;         /* value set over an existing value, value deleted */
  unsigned old_type;
  const void *old_data;
  unsigned old_size;
  int has_new;         /* value set */
  unsigned new_type;
  const void *new_data;
  unsigned new_size;
} TQREGCHANGE;

/* Calls fn for every recorded change after position after_seq, oldest
 * first; fn returns non-zero to stop. The strings and data are valid during
 * the call only. */
typedef int (*TQREGCHANGEFN)(const TQREGCHANGE *change, void *ctx);
TQAPI int TqkRegHistory(int64_t after_seq, TQREGCHANGEFN fn, void *ctx);

/* Records a named point in the history; a checkpoint of the same name is
 * replaced. Names are 1 to 255 characters, compared exactly. Refused with
 * TQREG_E_NOHISTORY while recording is off. */
TQAPI int TqkRegCheckpoint(const char *name);
/* Undoes every change made since the checkpoint, newest first, in one
 * transaction (or inside the caller's batch): the registry is then exactly
 * as it was at the checkpoint. The undo is recorded like any change, so it
 * can itself be rolled back. An unknown name gives TQREG_E_NOTFOUND; history
 * pruned past the checkpoint, or changes made since with recording off,
 * give TQREG_E_NOHISTORY and change nothing. */
TQAPI int TqkRegRollback(const char *name);
/* Calls fn for each checkpoint, oldest first: its name, history position and
 * time; usable is 0 when the history since it was pruned or not recorded. */
typedef int (*TQREGCHECKPOINTFN)(const char *name, int64_t seq, int64_t time_ms, int usable,
                                 void *ctx);
TQAPI int TqkRegCheckpoints(TQREGCHECKPOINTFN fn, void *ctx);

/* The newest position in the history (0 when it is empty). */
TQAPI int64_t TqkRegHistoryPosition(void);

/* Change notification, as RegNotifyChangeKeyValue: waits until a change
 * that matches filter is committed, by any process (this one included), to
 * the key of the handle (and with watch_subtree to its subtree). Name
 * changes are subkeys created or deleted; value changes are values set or
 * deleted. The first wait on a handle starts from the history as it is
 * then; every later wait goes on from the change that ended the previous
 * one, so nothing committed between two waits is lost. Returns 0 on a
 * change, TQREG_E_TIMEOUT when none came within timeout_ms (0: look once),
 * TQREG_E_KEYDELETED when the key itself was deleted, TQREG_E_BADHANDLE for
 * an unknown handle, TQREG_E_INVALID for an empty or unknown filter, and
 * TQREG_E_IO when the registry file is deleted or replaced meanwhile. The
 * wait sleeps on inotify (one descriptor per process, not per handle). It
 * learns what changed from the history; a writer with recording off is
 * seen as a change of everything. */
#define TQREG_NOTIFY_NAME  0x1u
#define TQREG_NOTIFY_VALUE 0x4u
TQAPI int TqkRegNotifyChangeKeyValue(TQHKEY key, int watch_subtree, unsigned filter,
                                     unsigned timeout_ms);

/* One-call reader; versioned 1 reads below the key's "CurrentVersion"
 * subkey. Strings stay valid until the next call into the service. */
TQAPI TQREGVAR TQPRODIS_GetVarFromRegistry(const char *key_path,
                                           const char *value_name, int versioned);
/* Writes a type 4 value, creating the key (and version subkey) as needed.
 * 0 on success, -1 on failure. */
TQAPI int TQPRODIS_SetVarToRegistry(const char *key_path, const char *value_name,
                                    uint32_t value, int versioned);
/* Copies every value of the key with handle src into the key with handle dst.
 * 0 on success, -1 on a bad handle or a failed write. */
TQAPI int TQPRODIS_CopyKeyValues(uint32_t src, uint32_t dst);
/* The firewall directory: "FWDIR" under the firewall key's current version,
 * else the FWDIR environment variable, else NULL. */
TQAPI const char *GetFwdirFromRegistry(void);

TQ_EXTERN_C_END

#ifdef __cplusplus
/* A batch for the scope of a block: begins when constructed, commits when
 * the block ends, or rolls back after Abandon(). When the batch could not
 * begin, the writes go on one transaction each. */
class TqkRegBatchScope {
 public:
  TqkRegBatchScope() : active_(TqkRegBeginBatch() == TQREG_OK) {}
  ~TqkRegBatchScope() { End(); }
  TqkRegBatchScope(const TqkRegBatchScope &) = delete;
  TqkRegBatchScope &operator=(const TqkRegBatchScope &) = delete;
  void Abandon() { commit_ = 0; }
  /* Ends the batch now; its status (TQREG_OK once committed). */
  int End() {
    if (!active_) return TQREG_OK;
    active_ = false;
    return TqkRegEndBatch(commit_);
  }

 private:
  bool active_;
  int commit_ = 1;
};
#endif

#endif
