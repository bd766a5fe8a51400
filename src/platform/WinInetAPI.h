// The WinINet, heap and module functions the component calls. MinGW's
// <wininet.h> declares all WinINet entry points used; this header is the one
// place that pulls them in, so that the classes depend on it alone.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>
