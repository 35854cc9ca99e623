/* Platform identification: the hardened operating system and its Pro
 * edition, Crossbeam chassis, diskless machines, the components enabled in
 * the firewall's product.conf, and file names under the firewall management
 * directory. Fixed system files are read below $TQ_SYSROOT; the firewall's
 * own files are found through the FWDIR environment variable. Missing files
 * and an unset FWDIR give the negative answer; nothing is printed.
 */
#ifndef TQPROD50_IDENTIFICATION_H
#define TQPROD50_IDENTIFICATION_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* Version names from "/etc/cd.ver" ("CD_RELEASE", "CD_EDITION", "DW_Major",
 * "DW_Minor", later lines win). major must hold 37 bytes, minor 34; both are
 * always filled (defaults "VXFP2" and "E1"). 1 file read, 0 file missing. */
TQAPI int TQPROD_ZudedazVer(char *major, char *minor);
/* Rewrites "/etc/cd.ver" with "BXPRO=1" (pro non-zero) or "BXPRO=0" as its
 * last line, dropping old "BXPRO=" lines and empty lines. The new file is
 * written completely, synced and renamed over the old one, keeping its
 * permissions. 0, or -1 when the file cannot be read or the new one cannot
 * be created or written (the original is then left as it was). */
TQAPI int TQPROD_SetZudedazPro(int pro);
/* 1 on the hardened operating system whose name is exactly "Zudedaz Pro". */
TQAPI int TQPROD_IsZudedazPro(void);
/* Non-zero when "/etc/tq-release" / "/etc/crossbeam-release" exists. */
TQAPI int TQPROD_IsZudedaz(void);
TQAPI int TQPROD_IsCrossBeamPlatform(void);
/* Value of the last "fw_is_running_on_cbs=<n>" line of
 * $FWDIR/boot/modules/fwkern.conf, else 0. */
TQAPI int TQPROD_IsCrossbeamX(void);
/* 1 when a line of "/etc/sysconfig/SETUP" / "/etc/cd.ver" begins with
 * "DISKLESS=1", else 0. */
TQAPI int TQPROD_IsDiskless(void);
TQAPI int TQPROD_IsPureDiskless(void);
/* Comma-separated list from $FWDIR/conf/product.conf (malloc: the caller
 * frees it), or NULL when nothing applies. Mode 'p': product keys ("MRK",
 * "QLN", each once); any other mode: the enabled components in file order.
 * The list is at most 535 characters: entries that would not fit are left
 * out whole. */
TQAPI char *TQPROD_GetConfigFrom41(char mode);
/* Composes the name of file relative to dir into buf (size bytes): file
 * itself when it is a path or dir is NULL or "."; "dir/file" when dir is a
 * path; else "<management directory>/dir/file". Returns buf, or NULL when
 * buf or file is NULL, the directory is not registered or the result does
 * not fit. */
TQAPI char *tqm_filename(const char *dir, const char *file, char *buf, unsigned size);

TQ_EXTERN_C_END

#endif
