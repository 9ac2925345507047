// load.cpp - the library's load entry on Windows.
//
// The library has no per-thread work, so it asks not to be told of threads
// starting and ending; all other state starts from its static initial
// values. Only the DLL has this entry: programs linked against the static
// library never reference it.
#include "platform/win32/windows_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
