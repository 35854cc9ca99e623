/* Install-media information (CDINFO_): the trace log, the media description
 * files of an installation CD or DVD ("DW/Products.conf", "DW/dw.txt",
 * "DW/tq_dvd.txt"), the product search, attribute queries and package path
 * resolution with the hardened-OS archive assembly.
 *
 * All state is process-wide (the globals below) and unguarded: one caller
 * at a time. Return codes: 1 success, 0 failure, unless stated otherwise.
 *
 * Ownership of returned strings:
 *   - "malloc": the caller releases it with free().
 *   - "static": a library buffer valid until the next call of the same
 *     function; never free.
 *
 * Fixed paths ("/opt/TQInstLog", "/tmp") are prefixed with $TQ_SYSROOT.
 * The archive assembly runs "gtar" and "gzip" through "/bin/sh -c"; on
 * Debian, put the project's gtar wrapper (tools/gtar) on PATH.
 */
#ifndef TQPROD50_CDINFO_H
#define TQPROD50_CDINFO_H

#include <stdint.h>
#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* ---- Shared install-media state -------------------------------------- */

#define CDINFO_TEXT_SIZE 400     /* size of the text globals and of a media line */
#define CDINFO_MAX_PRODUCTS 150  /* entries of ProdList */
#define CDINFO_FIELD_SIZE 256    /* text fields of a ProductEntry */

typedef struct ProductEntry {
  char id[CDINFO_FIELD_SIZE];        /* field 0 */
  char name[CDINFO_FIELD_SIZE];      /* field 1 */
  char dir[CDINFO_FIELD_SIZE];       /* first two levels of field 2 */
  char file_name[CDINFO_FIELD_SIZE]; /* third level of field 2, or "NONE" */
  int32_t module;                    /* field 3 */
  int32_t cd_number;                 /* field 4 */
  int32_t distributable;             /* field 5 */
} ProductEntry;

#ifdef __cplusplus
static_assert(sizeof(ProductEntry) == 1036, "ProductEntry is 1,036 bytes");
#else
typedef char tq_product_entry_size_check[(sizeof(ProductEntry) == 1036) ? 1 : -1];
#endif

TQAPI extern char VENDOR[CDINFO_TEXT_SIZE];
TQAPI extern char VERSION[CDINFO_TEXT_SIZE];
TQAPI extern char SP[CDINFO_TEXT_SIZE];
TQAPI extern char OS[CDINFO_TEXT_SIZE];
TQAPI extern char CDNUM[CDINFO_TEXT_SIZE];
TQAPI extern char products_file[CDINFO_TEXT_SIZE];
TQAPI extern char DW_Curent_File[CDINFO_TEXT_SIZE];
TQAPI extern char dvd_file[CDINFO_TEXT_SIZE];
TQAPI extern ProductEntry ProdList[CDINFO_MAX_PRODUCTS];
TQAPI extern int num_of_products_in_file; /* initially 0 */
TQAPI extern int this_is_dvd;             /* initially 0 */
TQAPI extern int found_products_file;     /* initially 0 */
TQAPI extern int run_get_products;        /* initially 1 */
TQAPI extern int run_get_details;         /* initially 1 */
TQAPI extern int path_index;              /* initially 2 */

/* ---- Trace log ------------------------------------------------------- */

/* "/opt/TQInstLog/<file_name>" (malloc), creating the directory when
 * missing; NULL when file_name is NULL or the directory cannot be made. */
TQAPI char *CDINFO_CreateElgFilePath(const char *file_name);
/* Appends one record to /opt/TQInstLog/cdInfo.elg: the strings up to the
 * NULL pointer, copied verbatim and separated by blanks (at most 1,023
 * characters; longer records are cut). */
TQAPI void Debug(const char *first, ...);

/* ---- Description files and product lines ----------------------------- */

/* Field index of line (static, valid until the next call) or NULL. */
TQAPI char *GetValueFromLine(const char *line, int index);
TQAPI int IsItProductLine(const char *line);
/* 1 when the search skips this contents-list line; modifies line. */
TQAPI int IgnoreLine(char *line, int keep_tagged);
/* First five fields joined by ";" (malloc, 256 bytes); modifies line. */
TQAPI char *PrintLine(char *line);
/* Reads the product index header: 1 read, 30 same CDNUM again, 0 no file. */
TQAPI int Get_Details(void);
/* Loads ProdList from products_file: 1 read, 0 no file. */
TQAPI int GetProductsFromFile(void);
/* Field index of the first line with key and no "#", copied into out (a
 * buffer of at least 1,024 bytes). 1 found, 0 otherwise. */
TQAPI int ParseProductsFile(const char *path, const char *key, int index, char *out);
/* Field 8 of line (malloc) or NULL; modifies line. */
TQAPI char *GetTGZtag(char *line);
TQAPI int SperateFileAndDir(int index);
TQAPI int IsProductModule(int index);

/* ---- Product search -------------------------------------------------- */

/* Next product "vendor;name;version;sp;os" (malloc) or NULL. */
TQAPI char *CDINFO_Search(const char *cd_path, int restart);
/* As CDINFO_Search, tagged lines included; the library owns the result,
 * valid until the next CDINFO_SearchAll. */
TQAPI char *CDINFO_SearchAll(const char *cd_path, int restart);
TQAPI int CDINFO_Verify(const char *cd_path, const char *product, const char *sp,
                        const char *os);
TQAPI int CDINFO_IsDVD(const char *cd_path);
TQAPI int IsMultipleCD(void);
/* 1 delivered (*result malloc, replaced on the next call), 0 none, 8 no
 * contents list. */
TQAPI int Search_Internal(const char *cd_path, int restart, int keep_tagged, char **result);
TQAPI int New_File_Search(int restart, char **result);
TQAPI int Search(const char *cd_path, int restart, int keep_tagged, char **result);

/* ---- Attribute queries ----------------------------------------------- */

/* *sp = service pack of the medium (malloc). 1 found, 0 otherwise. */
TQAPI int CDINFO_GetCdSP(const char *cd_path, char **sp);
/* *vendor, *version (malloc; untouched when absent). 1 read, 0 no file. */
TQAPI int CDINFO_GetCdAttrib(const char *cd_path, char **vendor, char **version);
/* Line of the current description file holding ";product;" (static) or
 * NULL. */
TQAPI char *GetLine(const char *cd_path, const char *product, const char *sp,
                    const char *os);

/* ---- Package path resolution ----------------------------------------- */

/* 0 no package, 30 insert CD new_cd_num, 31 product on CD new_cd_num,
 * 32 package path in out_path. out_path and new_cd_num: >= 1,024 bytes. */
TQAPI int CDINFO_GetPackagePath(const char *cd_path, const char *product, const char *sp,
                                const char *os, int continue_flag, char *out_path,
                                char *new_cd_num);
TQAPI int CDINFO_GetPackagePath_Internal(const char *cd_path, const char *product,
                                         const char *sp, const char *os, char *new_cd_num,
                                         int continue_flag, char *out_path);
/* Package path (static, 1,024 bytes) or NULL; cd_path may be shortened. */
TQAPI char *GetPackagePath(char *cd_path, const char *product, const char *sp,
                           const char *os);
/* Field path_index of line (malloc) or NULL; modifies line. */
TQAPI char *PrintPath(char *line);
/* 1 archive found (*out_file_name malloc), 0 none, -1 unreadable dir. */
TQAPI int IsArch(const char *cd_path, const char *product, const char *sp, const char *os,
                 char **out_file_name);
TQAPI int CDINFO_IsTgz(const char *path, char **out_file_name, int brnx_flag);

/* ---- Hardened-OS archive assembly ------------------------------------ */

TQAPI int CDINFO_BrnxCase(const char *input_path, const char *temp_path);
/* 32, a CD number still needed, or 0 when refused. */
TQAPI int CDINFO_BrnxCaseForMultipleCD(char *input_path, const char *temp_path,
                                       int continue_flag);
TQAPI int ChompOrgInputPath(char *path);
TQAPI int CopyFileToTmpDir(const char *drive_path, const char *temp_path);
/* dst: at least strlen(src) + 1 bytes; may be src. */
TQAPI int SetWinSlashes(const char *src, char *dst);
TQAPI int ContinueBrnxCase(const char *cd_path, const char *product, const char *sp,
                           const char *os, char *out_path);

TQ_EXTERN_C_END

#endif
