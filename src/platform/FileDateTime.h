// The system's file-time conversions used for the time texts of listings
// (FileTimeToLocalFileTime, FileTimeToSystemTime), declared by <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
