/* Error-logging pass-through.
 *
 * The eight TQPROD_ forwarders hand their 32-bit arguments, in order, to the
 * platform's function of the same name with the TQPRODIS_ prefix
 * (tqplatform/logging.h, which says what they mean) and return its result
 * unchanged. They call the exported platform symbols, so a program that
 * interposes one of them is reached through the forwarder too.
 */
#ifndef TQPROD50_LOGGING_H
#define TQPROD50_LOGGING_H

#include <stdint.h>

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

TQAPI int32_t TQPROD_init_error_logging(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
TQAPI int32_t TQPROD_init_error_logging_ex(int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                           int32_t a5);
TQAPI int32_t TQPROD_error_logging_get_env(int32_t a1, int32_t a2, int32_t a3);
TQAPI int32_t TQPROD_error_logging_get_first_env(int32_t a1, int32_t a2, int32_t a3,
                                                 int32_t a4);
TQAPI int32_t TQPROD_error_logging_get_next_env(int32_t a1, int32_t a2, int32_t a3,
                                                int32_t a4);
TQAPI int32_t TQPROD_error_logging_del_env(int32_t a1);
TQAPI int32_t TQPROD_error_logging_delall_env(void);
TQAPI int32_t TQPROD_error_logging_print_env(void);

/* Stores the environment entry name=value as the string value name of
 * SOFTWARE\Tarquel\tqshared\<current version>\reserved\Environment, through
 * the exported TQPROD_SetReserved. 0 on success, -1 when it cannot be
 * written. */
TQAPI int TQPROD_error_logging_set_env(const char *name, const char *value);

TQ_EXTERN_C_END

#endif
