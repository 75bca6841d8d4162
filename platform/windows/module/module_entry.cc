// The shipping DLL's entry routine. The plugin starts no threads and keeps no
// per-thread state, so it asks not to be called for every thread.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
