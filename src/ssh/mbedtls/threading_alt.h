/* mbedTLS's mutex under MBEDTLS_THREADING_ALT: a slim lock, which all zero
   bytes already make (the SSH library copies keys into zeroed memory without
   making their mutex). windef.h and winbase.h, not windows.h, so Winsock may
   come later. */
#ifndef QUORLIN_MBEDTLS_THREADING_ALT_H
#define QUORLIN_MBEDTLS_THREADING_ALT_H

#include <windef.h>
#include <winbase.h>

typedef struct mbedtls_threading_mutex_t {
    SRWLOCK lock;
} mbedtls_threading_mutex_t;

#endif
