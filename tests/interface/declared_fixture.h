/* Fixture of the header reader: declarations in the shapes the public
 * headers use (and a few they may come to use). TQAPI int in_comment(void);
 */
#ifndef DECLARED_FIXTURE_H
#define DECLARED_FIXTURE_H
#define TQAPI_NOT_A_DECLARATION(x) TQAPI int from_macro(x);
#include "tqplatform/export.h"
#include "declared_fixture_other.h" /* its names are not this header's */

TQ_EXTERN_C_BEGIN

typedef struct Fixture {
  char name[16]; /* TQAPI int in_struct_comment; */
  int value;
} Fixture;

TQAPI int plain_function(void);
TQAPI char *pointer_result(const char *a,
                           int b);
TQAPI const char *
    name_on_next_line(void);
TQAPI extern char text_array[400];
TQAPI extern Fixture table_array[2 * 75];
TQAPI extern int first_int, second_int;
TQAPI extern int (*function_pointer)(int);
TQAPI __attribute__((format(printf, 1, 2))) void with_attribute(const char *f, ...);
TQAPI void after_attribute(const char *f, ...) __attribute__((nonnull(1)));
int not_exported(void); // TQAPI int in_line_comment(void);
static inline int helper(void) { return 0; }
TQAPI unsigned long long wide_result(void); TQAPI int same_line(void);

#define FIXTURE_TABLE(X) \
  X(table_getter, table_setter) \
  X(other_getter, other_setter)
#define DECLARE_PAIR(get, set) TQAPI int get(void); TQAPI int set(unsigned v);
FIXTURE_TABLE(DECLARE_PAIR)
#undef DECLARE_PAIR

TQ_EXTERN_C_END

#endif
