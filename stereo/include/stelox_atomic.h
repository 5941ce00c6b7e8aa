/*
 * stelox_atomic.h - atomic reference counters of libstelox.
 *
 * The pixel buffers of the library count their users with these two calls.
 * Both use a locked read-modify-write instruction, so any number of threads may
 * call them on one counter at once. A null counter is ignored.
 */
#ifndef STELOX_ATOMIC_H
#define STELOX_ATOMIC_H

#include <stdint.h>

#include "stelox.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Adds 1 to *counter. */
STELOX_API void atomic_incr(int32_t* counter);

/* Subtracts 1 from *counter; returns 1 when the counter then reads 0, else 0.
 * Of several threads releasing one counter, exactly one sees 1. */
STELOX_API int atomic_decr(int32_t* counter);

#ifdef __cplusplus
}
#endif

#endif
