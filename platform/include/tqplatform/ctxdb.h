/* Virtual-system contexts: the context database and the context switch.
 *
 * The database lists the machine's virtual systems (context 0, the main
 * system, always exists), each with its bridge and junction flags and its
 * count of IPv6 instances. It is the SQLite file "contexts.db" beside the
 * per-context registry files in TQ_REGISTRY_DIR (default
 * TQ_REGISTRY_DEFAULT_DIR); every call reads it afresh, so other processes'
 * changes are seen at once. Without the file only context 0 exists, with
 * both flags 0 and no IPv6 instances.
 *
 * A process starts in context 0. Removing a context leaves its registry
 * file in place.
 */
#ifndef TQPLATFORM_CTXDB_H
#define TQPLATFORM_CTXDB_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Administration: add or replace a context's entry; remove one (never 0).
 * 0 on success, -1 on failure. */
TQAPI int tq_ctxdb_add(unsigned ctx, int is_bridge, int is_junction, unsigned instances6);
TQAPI int tq_ctxdb_remove(unsigned ctx);

/* Walk over every context id in ascending order, 0 included. init takes a
 * snapshot of the ids (restarting any walk in progress); negative on
 * failure. next: positive with *ctx stored, 0 after the last, negative on
 * failure (no walk started, NULL ctx). free: ends the walk. */
TQAPI int ctxdb_iterator_init(void);
TQAPI int ctxdb_iterator_next(unsigned *ctx);
TQAPI void ctxdb_iterator_free(void);

/* 0 with *count stored, non-zero on failure (unknown context, NULL count).
 * flag 1 asks for the IPv6 instance count, the only count kept; any other
 * flag fails. */
TQAPI int ctxdb_get_instances_by_ctxid(unsigned ctx, unsigned *count, int flag);
/* 1 when the context is a bridge / junction, 0 when not, -1 unknown. */
TQAPI int ctxdb_is_bridge(unsigned ctx);
TQAPI int ctxdb_is_junction(unsigned ctx);

/* Context switch: select a context (0 on success, -1 for an unknown one,
 * which leaves the current context unchanged); the next
 * TqkResetGlobalEntries() binds the registry to that context's own file.
 * tq_get_current_ctx_id reports the context last selected. */
TQAPI int tq_set_vs_env(unsigned ctx);
TQAPI unsigned tq_get_current_ctx_id(void);

/* Non-zero when a context other than 0 exists. */
TQAPI int tq_is_triva(void);
/* Machine state, read afresh on every call from marker files under the
 * system root ($TQ_SYSROOT, empty by default):
 *   tq_is_usermode: 1 when "/etc/tqplatform/usermode" exists, the firewall
 *     then runs in user mode; else 0.
 *   IsVerdra: 1 when "/etc/tqplatform/verdra" exists, marking the
 *     virtual-systems capable platform edition; else 0.
 * Neither reads the registry. */
TQAPI int tq_is_usermode(void);
TQAPI int IsVerdra(void);

TQ_EXTERN_C_END

#endif
