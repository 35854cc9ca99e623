/* Error reporting of the platform. */
#ifndef TQPLATFORM_LOGGING_H
#define TQPLATFORM_LOGGING_H

#include <stdint.h>

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Formats the message and writes it, prefixed with the program name, as one
 * line on standard error. Unlike the C library's error(3) it always returns,
 * whatever status is given. The library reaches this definition even when
 * the C library's error(3) comes first in symbol lookup. */
TQAPI void error(int status, int errnum, const char *format, ...);

/* Error-logging facility: appends "topic level value text" as one line to the
 * file named by TQ_TDERROR_LOG when it is set; otherwise discards it.
 * Returns 0. */
TQAPI int tderrorFunc(const char *topic, int level, int value, const char *text);

/* Error-logging environment: a per-process table of numeric settings. Each
 * entry belongs to a module (>= 0) and maps a 32-bit key to a 32-bit value;
 * key 0 of a module holds its logging threshold (0..7). The table is kept in
 * memory for the life of the process; nothing is stored on disk. Every
 * argument and result is a 32-bit integer. */

/* Sets module's threshold to level and, when key is not 0, the entry key of
 * the module to value (added or replaced). Returns the module's number of
 * entries afterwards (the threshold counted), or -1 when module is negative
 * or level outside 0..7 (nothing changed). */
TQAPI int32_t TQPRODIS_init_error_logging(int32_t module, int32_t level, int32_t key,
                                          int32_t value);
/* As above with flags: 1 first removes every entry of the module, 2 keeps
 * the value of an entry that already exists. Other bits give -1. */
TQAPI int32_t TQPRODIS_init_error_logging_ex(int32_t module, int32_t level, int32_t key,
                                             int32_t value, int32_t flags);
/* The value of the module's entry key, or dflt when there is none. */
TQAPI int32_t TQPRODIS_error_logging_get_env(int32_t module, int32_t key, int32_t dflt);
/* Walk over the keys of a module within [min_key, max_key] in ascending
 * order. get_first starts the walk and returns the first key; get_next,
 * given the same module and range, returns the key after the last one
 * returned. Both return end_mark when no key is left (or, for get_next, when
 * no walk with that module and range is running). Entries added or deleted
 * during a walk are seen or skipped by their key. */
TQAPI int32_t TQPRODIS_error_logging_get_first_env(int32_t module, int32_t min_key,
                                                   int32_t max_key, int32_t end_mark);
TQAPI int32_t TQPRODIS_error_logging_get_next_env(int32_t module, int32_t min_key,
                                                  int32_t max_key, int32_t end_mark);
/* Removes the entry key from every module; returns how many were removed. */
TQAPI int32_t TQPRODIS_error_logging_del_env(int32_t key);
/* Removes every entry; returns how many were removed. */
TQAPI int32_t TQPRODIS_error_logging_delall_env(void);
/* Writes "module M key K value V", one line per entry in module and key
 * order, on standard output; returns the number of lines. */
TQAPI int32_t TQPRODIS_error_logging_print_env(void);

TQ_EXTERN_C_END

#endif
