/* File utilities of the platform.
 *
 * Every path argument accepts backslashes as directory separators as well as
 * slashes ("/tmp\dw_tmp\tgz" names /tmp/dw_tmp/tgz). Boolean results are 1
 * for yes/success and 0 for no/failure; NULL paths give 0.
 *
 * Copies never follow a symbolic link found inside a source tree (it is
 * recreated as a link) and never write through a symbolic link at the
 * destination.
 */
#ifndef TQPLATFORM_FILES_H
#define TQPLATFORM_FILES_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* 1 when the path exists (a dangling symbolic link does not). */
TQAPI int tqFileExist(const char *path);
/* 1 when the path is a directory (or a symbolic link to one). */
TQAPI int tqIsDir(const char *path);
/* As tqIsDir; flags is reserved and must be 0. */
TQAPI int tqIsDirEx(const char *path, int flags);
/* Creates the directory and any missing parents (mode 0755 less umask).
 * 1 when the directory exists afterwards, 0 otherwise. */
TQAPI int tqDirCreate(const char *path);
/* Copies src (a directory tree or a single file) into the directory dst,
 * creating dst as needed: the copy is dst/<last component of src>.
 * overwrite 0 keeps files that already exist at the destination.
 * 1 on success, 0 when anything could not be copied. */
TQAPI int tqDirCopy(const char *src, const char *dst, int overwrite);
/* Copies the regular file src to dst; when dst is a directory the copy is
 * dst/<last component of src>. overwrite 0 fails on an existing target.
 * 1 on success, 0 on failure. */
TQAPI int tqFileCopy(const char *src, const char *dst, int overwrite);
/* Removes a file (not a directory). 1 when removed. */
TQAPI int tqFileRemove(const char *path);

/* Directory listing. FsDirOpen returns a handle or NULL; FsDirRead returns
 * the next entry name (valid until the next FsDirRead/FsDirClose on the same
 * handle; "." and ".." included) or NULL after the last; FsDirClose releases
 * the handle (NULL is accepted) and returns 0. */
typedef struct TqFsDir TqFsDir;
TQAPI TqFsDir *FsDirOpen(const char *path);
TQAPI const char *FsDirRead(TqFsDir *dir);
TQAPI int FsDirClose(TqFsDir *dir);

TQ_EXTERN_C_END

#endif
