// Error-logging pass-through: each forwarder calls the platform's exported
// function (through the dynamic symbol, so interposition reaches it) with
// its arguments unchanged and returns the result unchanged.
#include "tqprod50.h"

extern "C" {

TQAPI int32_t TQPROD_init_error_logging(int32_t a1, int32_t a2, int32_t a3, int32_t a4) {
  return TQPRODIS_init_error_logging(a1, a2, a3, a4);
}

TQAPI int32_t TQPROD_init_error_logging_ex(int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                           int32_t a5) {
  return TQPRODIS_init_error_logging_ex(a1, a2, a3, a4, a5);
}

TQAPI int32_t TQPROD_error_logging_get_env(int32_t a1, int32_t a2, int32_t a3) {
  return TQPRODIS_error_logging_get_env(a1, a2, a3);
}

TQAPI int32_t TQPROD_error_logging_get_first_env(int32_t a1, int32_t a2, int32_t a3,
                                                 int32_t a4) {
  return TQPRODIS_error_logging_get_first_env(a1, a2, a3, a4);
}

TQAPI int32_t TQPROD_error_logging_get_next_env(int32_t a1, int32_t a2, int32_t a3,
                                                int32_t a4) {
  return TQPRODIS_error_logging_get_next_env(a1, a2, a3, a4);
}

TQAPI int32_t TQPROD_error_logging_del_env(int32_t a1) {
  return TQPRODIS_error_logging_del_env(a1);
}

TQAPI int32_t TQPROD_error_logging_delall_env(void) { return TQPRODIS_error_logging_delall_env(); }

TQAPI int32_t TQPROD_error_logging_print_env(void) { return TQPRODIS_error_logging_print_env(); }

// The entry goes through the exported TQPROD_SetReserved so that a program
// interposing it also decides where environment entries are kept.
TQAPI int TQPROD_error_logging_set_env(const char *name, const char *value) {
  return TQPROD_SetReserved("tqshared", "Environment", name, 1, value, 1);
}

}  // extern "C"
