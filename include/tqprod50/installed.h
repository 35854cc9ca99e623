/* Installed products: the installed-products enumeration, the installed
 * marks, the ordered product list and a few single-product queries.
 *
 * The installed marks are values under "SOFTWARE\Tarquel\Products" named
 * after the product; a mark reads as installed when it is a string other
 * than exactly "0" or a non-zero number. Table row: X(check, set, mark name).
 */
#ifndef TQPROD50_INSTALLED_H
#define TQPROD50_INSTALLED_H

#include "tqplatform.h"

#define TQPROD_INSTALLED_MARK_TABLE(X)                                                       \
  X(TqkIsInstalledFireWall, TqkSetInstalledFireWall, "Mirrak")                               \
  X(TqkIsInstalledQuellin, TqkSetInstalledQuellin, "Quellin")                                \
  X(TqkIsInstalledCompression, TqkSetInstalledCompression, "Compression")                    \
  X(TqkIsInstalledPellora, TqkSetInstalledPellora, "Pellora")                                \
  X(TqkIsInstalledSessionAgent, TqkSetInstalledSessionAgent, "SessionAgent")                 \
  X(TqkIsInstalledLoadAgent, TqkSetInstalledLoadAgent, "LoadAgent")                          \
  X(TqkIsInstalledReportingServer, TqkSetInstalledReportingServer, "ReportingServer")        \
  X(TqkIsInstalledLogConsolidatorEngine, TqkSetInstalledLogConsolidatorEngine,               \
    "LogConsolidatorEngine")

TQ_EXTERN_C_BEGIN

/* Names of the values of "SOFTWARE\Tarquel\products", one per call. A
 * non-zero restart starts from the first. name must hold 500 bytes.
 * 0 name written; -2 key cannot be opened; -3 no further value. */
TQAPI int TQPROD_GetInstalledProducts(int restart, char *name);

/* Check: 1 installed, 0 not. Set: writes the mark "1"; 0 when it reads as
 * installed afterwards, else -1. */
#define TQPROD_DECLARE_MARK_(check, set, mark) \
  TQAPI int check(void);                       \
  TQAPI int set(void);
TQPROD_INSTALLED_MARK_TABLE(TQPROD_DECLARE_MARK_)
#undef TQPROD_DECLARE_MARK_
/* Mark "TQnexo"; no setter. */
TQAPI int NexoIsInstalled(void);

/* The product list: multi-string "Products" under "SOFTWARE\Tarquel", the
 * most recently added name first.
 * *count holds the capacity of list on entry and the number of names stored
 * on return. The pointers point into a static 8192-byte buffer, valid until
 * the next call of the same function (never free). 0 all names returned;
 * -1 value missing or not a multi-string, or more names than the capacity
 * (then *count names are valid). */
TQAPI int TQKGetProductList(char **list, int *count);
/* The same for valueName of "SOFTWARE\Tarquel\<subkey>" (its own static
 * buffer); a failed read prints "path=..." and "Value=..." lines on
 * standard output. */
TQAPI int TQKGetProductListForCopyKey(char **list, int *count, const char *subkey,
                                      const char *valueName);
/* Puts name at the head of the product list, dropping its other
 * occurrences. The list (names with their zero bytes and the final zero
 * byte) must fit 2038 bytes. Lists of any number of names are kept whole.
 * 0, or -1 (NULL or empty name, no room, key missing): nothing written. */
TQAPI int TQKAddProductList(const char *name);
/* Copies the multi-string valueName from "SOFTWARE\Tarquel\<srcSubkey>" to
 * "SOFTWARE\Tarquel\<dstSubkey>", creating the destination key. A missing
 * or non-multi-string source writes an empty value. A source list longer
 * than 2048 bytes (names, their zero bytes and the final one) is refused
 * with -1 and nothing is created or written. 0, or -1. */
TQAPI int TQKAddProductListForCopyKey(const char *srcSubkey, const char *dstSubkey,
                                      const char *valueName);

/* Endpoint policy product (key "TQnexo", current version). */
TQAPI int NexoGetInstallationType(void); /* leading decimal number, 0 if none */
TQAPI int NexoIsRhs(void);               /* bit value 4 */
TQAPI int NexoIsEps(void);               /* bit value 2 */
TQAPI int NexoIsPolicyServer(void);      /* type exactly 1 */
TQAPI int IsSymmetricDSConfigured(void); /* "SymmetricDSConfigured" is 1 */

/* 0 when the product has a current version and is configured and active;
 * -1 no current version, -2 not configured, -3 not active. */
TQAPI int TQPROD_CheckProduct(const char *product);

TQ_EXTERN_C_END

#endif
