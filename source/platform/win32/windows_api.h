// windows_api.h - <windows.h> as the layer includes it: without the min and
// max macros and the rarely used parts, so that the layer's names stay clear
// of the Windows headers' macros.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
