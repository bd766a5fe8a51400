// The interfaces generated from the IDL, for the classes to implement.
#pragma once

#include "../platform/WinInetAPI.h"
#include <oaidl.h>

#include "quorlin_h.h"
