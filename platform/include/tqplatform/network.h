/* Network identity of the machine. */
#ifndef TQPLATFORM_NETWORK_H
#define TQPLATFORM_NETWORK_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Non-zero when this machine answers as a multi-domain management server,
 * decided afresh on every call from the registry of the main system: the
 * process works in context 0 (tq_get_current_ctx_id) and the multi-domain
 * product key "SOFTWARE\Tarquel\OSTRIVA" holds a non-empty string
 * "CurrentVersion", i.e. the product is installed. A process inside a
 * virtual system always gets 0: virtual systems never host that product.
 * 1 or 0; a registry failure gives 0. */
TQAPI int is_virtual_local_address(void);

TQ_EXTERN_C_END

#endif
