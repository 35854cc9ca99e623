/* Virtual-system contexts: the context database and the context switch.
 *
 * The database lists the machine's virtual systems (context 0, the main
 * system, always exists), each with its bridge and junction flags and its
 * count of IPv6 instances, stored persistently beside the registry (in
 * TQ_REGISTRY_DIR). A process starts in context 0.
 */
#ifndef TQPLATFORM_CTXDB_H
#define TQPLATFORM_CTXDB_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Administration: add or replace a context's entry; remove one (never 0).
 * 0 on success, -1 on failure. */
TQAPI int tq_ctxdb_add(unsigned ctx, int is_bridge, int is_junction, unsigned instances6);
TQAPI int tq_ctxdb_remove(unsigned ctx);

/* Walk over every context id, 0 included. init: negative on failure.
 * next: positive with *ctx stored, 0 after the last, negative on failure.
 * free: ends the walk. */
TQAPI int ctxdb_iterator_init(void);
TQAPI int ctxdb_iterator_next(unsigned *ctx);
TQAPI void ctxdb_iterator_free(void);

/* 0 with *count stored, non-zero on failure (unknown context). */
TQAPI int ctxdb_get_instances_by_ctxid(unsigned ctx, unsigned *count, int flag);
/* 1 when the context is a bridge / junction, 0 when not, -1 unknown. */
TQAPI int ctxdb_is_bridge(unsigned ctx);
TQAPI int ctxdb_is_junction(unsigned ctx);

/* Context switch: select a context (0, or -1 for an unknown one); the next
 * TqkResetGlobalEntries() binds the registry to it. */
TQAPI int tq_set_vs_env(unsigned ctx);
TQAPI unsigned tq_get_current_ctx_id(void);

/* Non-zero when a context other than 0 exists. */
TQAPI int tq_is_triva(void);
/* Non-zero when the firewall runs in user mode. */
TQAPI int tq_is_usermode(void);
/* Non-zero on a virtual-systems capable platform edition. */
TQAPI int IsVerdra(void);

TQ_EXTERN_C_END

#endif
