// Defines the identifiers declared by the generated interface headers.
#include <initguid.h>

#include "quorlin_h.h"
