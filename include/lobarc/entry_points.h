// Lobarc Launch: the functions the host reaches by name, and the mode's
// message procedure that it reaches through the registered mode record.
// Declared here for code linked together with the module (the white-box
// tests); the host itself finds the exported ones by name.
#pragma once

#include "host_sdk.h"
#include "lobarc/ArvexPlan.h"

DLLCLBK BOOL WINAPI DllMain(HINSTANCE hModule, DWORD reason, LPVOID reserved);
DLLCLBK void InitModule(HINSTANCE hModule);
DLLCLBK void ExitModule(HINSTANCE hModule);
DLLCLBK int GetModuleVersion();
DLLCLBK void opcFocusChanged(OBJHANDLE hGainsFocus, OBJHANDLE hLosesFocus);
DLLCLBK void opcPostStep(double simt, double simdt, double mjd);
// The plan export (ArvexPlan.h): what programs and other add-ons may read.
DLLCLBK int ArvexGetPlan(const void* display, ArvexPlan* plan);

// Message procedure of the mode: message 1 builds a display instance (width
// in the low 16 bits of wparam, height in the high 16 bits) and returns its
// address; every other message returns 0. Not exported.
namespace arvex {
MsgProcResult MsgProc(UINT msg, UINT mfd, WPARAM wparam, LPARAM lparam);
}  // namespace arvex
