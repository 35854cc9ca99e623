/* Multi-domain customer context.
 *
 * On a multi-domain management server (is_virtual_local_address) a process
 * is the server itself when its "FWDIR" equals "MDSDIR", and a customer's
 * management when "FWDIR" names a directory below the server's
 * ".../customers/<name>/". Failures are reported through the platform's
 * error() with a level, the code -1 and the message.
 */
#ifndef TQPROD50_CUSTOMER_H
#define TQPROD50_CUSTOMER_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* 1 on a multi-domain server when "FWDIR" equals "MDSDIR", else 0. Each
 * variable is kept once found, for the rest of the process. */
TQAPI int is_mds(void);
/* 1 on a multi-domain server when get_cust_name finds a customer, else 0. */
TQAPI int is_cma(void);
/* The customer name from "FWDIR" (malloc; the caller frees it), or NULL. */
TQAPI char *get_cust_name(void);
/* The customer's directory "<server FWDIR>/customers/<name>" (at most 511
 * characters), owned by the library and valid until
 * TQPROD_ResetRegCmaCache; NULL when the process is no customer's
 * management or the server directory is not registered. */
TQAPI const char *TQPROD_GetCmaDir(void);
/* Releases the cached firewall key path, customer directory and customer
 * name; the next use works them out again. */
TQAPI void TQPROD_ResetRegCmaCache(void);
/* "CustomerName" of the firewall product (static buffer of 1,024 bytes,
 * kept once found), or NULL. */
TQAPI const char *get_customer_name(void);
/* 1 when the value name of the key (a path below the product root) is
 * stored per customer, 0 when the whole server shares it. */
TQAPI int is_cma_unique(const char *key, const char *name);

TQ_EXTERN_C_END

#endif
