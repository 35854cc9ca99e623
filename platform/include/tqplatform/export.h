/* Shared declaration helpers of the platform and library headers. */
#ifndef TQPLATFORM_EXPORT_H
#define TQPLATFORM_EXPORT_H

#if defined(__GNUC__)
#define TQAPI __attribute__((visibility("default")))
#else
#define TQAPI
#endif

#ifdef __cplusplus
#define TQ_EXTERN_C_BEGIN extern "C" {
#define TQ_EXTERN_C_END }
#else
#define TQ_EXTERN_C_BEGIN
#define TQ_EXTERN_C_END
#endif

#endif
