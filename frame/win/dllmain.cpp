#include <windows.h>

// Nothing to set up or tear down: the only global state is constructed and
// destroyed by the runtime around this routine.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)module;
  (void)reason;
  (void)reserved;
  return TRUE;
}
