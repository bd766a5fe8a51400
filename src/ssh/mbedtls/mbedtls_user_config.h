/* libssh2 keeps one global random generator: mbedTLS must lock it, with Win32 primitives. */
#ifndef QUORLIN_MBEDTLS_USER_CONFIG_H
#define QUORLIN_MBEDTLS_USER_CONFIG_H

#define MBEDTLS_THREADING_C
#define MBEDTLS_THREADING_ALT

#endif
