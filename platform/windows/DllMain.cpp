// The plug-in DLL's entry point. Linked into the plug-in module only.
//
// At load it records the module's handle (the settings file's default
// name and the dialogs' resources come from it). The plug-in object is
// created by the first export called and freed with the module's other
// objects when the host unloads the DLL; thread notifications are not
// needed and are turned off.
#include "platform/Module.h"
#include "platform/windows/WinApi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    velmaro::platform::SetModuleHandle(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
