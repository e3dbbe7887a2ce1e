// Lobarc Launch: the library's face to the host. The entry points that the
// host finds by name, the registration of the display mode, the message
// procedure that builds display instances, the focus hook and the gate of
// the per-step hook.
#include <new>

#include "lobarc/entry_points.h"
#include "module/ArvexMFD.h"

namespace arvex {

// The one copy of the module-level state: static storage, so all of it is
// zero (false, null) when the library is loaded.
ModuleState moduleState;

namespace {

// The mode's name and selection key: 0x21 is F in the host's key numbering
// (PC keyboard scan codes).
// Not const: the SDK's mode record takes a char*; the host copies it.
char kModeName[] = "Lobarc Launch";
constexpr DWORD kModeKey = 0x21;

// The build date whose Date2Int is the module's version.
char kBuildDate[] = "Apr 25 2006";

// modeId is whatever the host returned, so it cannot tell by itself whether
// the mode is still registered. ExitModule may run twice (the host calls it,
// then the library detach calls it again through exitHook); this flag keeps
// the second run from withdrawing a mode that is no longer ours.
bool modeRegistered = false;

// The exit function is looked up by name, as Orbiter's glue does; older
// modules name it opcDLLExit.
void (*FindExitHook(HINSTANCE hModule))(HINSTANCE) {
  FARPROC exitFunction = GetProcAddress(hModule, "ExitModule");
  if (exitFunction == nullptr) exitFunction = GetProcAddress(hModule, "opcDLLExit");
  // Through void (*)(), the type that stands for any function: FARPROC
  // itself has another signature on Windows.
  return reinterpret_cast<void (*)(HINSTANCE)>(reinterpret_cast<void (*)()>(exitFunction));
}

// A display of the mode after a focus change: everything it knew belonged to
// the old vessel, so it starts over on the new focus vessel.
void ResetForNewFocus(ArvexMFD* instance) {
  VESSEL* vessel = moduleState.focusVessel;
  // The main engine is chosen whenever there is one.
  instance->hasMain = vessel->GetThrusterGroupHandle(THGROUP_MAIN) != nullptr;
  instance->inputs.useMainEngine = instance->hasMain;
  instance->hasHover = vessel->GetThrusterGroupHandle(THGROUP_HOVER) != nullptr;
  // Target, altitudes, plan, search and pitch proposal belonged to the old
  // vessel: start from defaults on the new one, on page 1/2.
  instance->ResetFromVessel();
  instance->inputs.flightPage = 0;
  // A new vessel in flight leaves no launch point of its own: the
  // position kept is the old vessel's, or one passed over in flight. The
  // switch to grounded planning reads where the vessel stands then.
  if (instance->inputs.flightMode == 1) instance->positionStale = true;
}

}  // namespace

// Message procedure of the mode; the host calls it for the mode's display
// events. Hidden like everything but the exports. The result carries an
// instance address, so it is pointer sized: an int would cut the address on
// a 64-bit host.
//
// Orbiter takes the answer to the open message as the display and uses it
// unchecked, so a 0 there would crash it. 0 is kept in three places only:
// - other messages: Orbiter uses no answer as a display but the one to the
//   open message (a 0 to its extended open message makes it send this one);
// - no vessel at all, neither in focus nor named by the message: Orbiter
//   opens a display only in a vessel's cockpit, names that vessel, and gives
//   every vessel an interface;
// - a failed allocation: no instance can exist then. Orbiter builds its own
//   display object just before this message, and the drawing surface after
//   it, with allocations that end the program rather than return null: a
//   heap too full for the few hundred bytes of an instance leaves Orbiter no
//   way on, with or without this 0.
MsgProcResult MsgProc(UINT msg, UINT mfd, WPARAM wparam, LPARAM lparam) {
  if (msg != OAPI_MSG_MFD_OPENED) return 0;
  // Every query of an instance goes to the focus vessel; while the module
  // has none, the display is built on the vessel that the message names.
  VESSEL* vessel = reinterpret_cast<VESSEL*>(lparam);
  if (oapiGetFocusInterface() == nullptr && vessel == nullptr) return 0;
  // The display size comes packed: width in the low 16 bits, height in the
  // high 16 bits of the first parameter.
  const DWORD width = LOWORD(wparam);
  const DWORD height = HIWORD(wparam);
  // The host owns the instance from here on. No exceptions in the module.
  // The display index names the display, so that each keeps its own inputs
  // through a rebuild of them all.
  ArvexMFD* instance = new (std::nothrow) ArvexMFD(width, height, vessel, mfd, true);
  return reinterpret_cast<MsgProcResult>(instance);
}

// Library entry: the platform calls it at attach and detach.
DLLCLBK BOOL WINAPI DllMain(HINSTANCE hModule, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      InitLib(hModule);
      moduleState.exitHook = FindExitHook(hModule);
      break;
    case DLL_PROCESS_DETACH:
      // ExitModule is safe to run again if the host already called it.
      if (moduleState.exitHook != nullptr) moduleState.exitHook(hModule);
      break;
    default:
      break;
  }
  return TRUE;
}

// Called by the host once, after it has loaded the library.
DLLCLBK void InitModule(HINSTANCE /*hModule*/) {
  // Register the mode; its identifier is taken as it comes.
  MFDMODESPEC spec;
  spec.name = kModeName;
  spec.key = kModeKey;
  spec.msgproc = MsgProc;
  moduleState.modeId = oapiRegisterMFDMode(spec);
  modeRegistered = true;
  // Saved parameters: no instance has left any yet, nor has any
  // display.
  moduleState.savedValid = false;
  ForgetDisplayRecords();
  // Pens: the direction indicator's ring pens live as long as the
  // module. A pen still held from an earlier InitModule is kept, not leaked.
  if (moduleState.greenPen == nullptr)
    moduleState.greenPen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
  if (moduleState.whitePen == nullptr) {
    moduleState.whitePen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  }
}

// Called by the host before it unloads the library, and again by the
// library detach through exitHook: each step happens once, a second run finds
// nothing left to do.
DLLCLBK void ExitModule(HINSTANCE /*hModule*/) {
  // Pens: both belong to the module; delete each once.
  if (moduleState.greenPen != nullptr) {
    DeleteObject(moduleState.greenPen);
    moduleState.greenPen = nullptr;
  }
  if (moduleState.whitePen != nullptr) {
    DeleteObject(moduleState.whitePen);
    moduleState.whitePen = nullptr;
  }
  // Withdraw the mode; its result is not used.
  if (modeRegistered) {
    oapiUnregisterMFDMode(moduleState.modeId);
    modeRegistered = false;
  }
}

// Called by the host to learn the module's version. Date2Int runs until it
// gives a non-zero value, which is then kept.
DLLCLBK int GetModuleVersion() {
  if (moduleState.moduleVersion == 0) moduleState.moduleVersion = Date2Int(kBuildDate);
  return moduleState.moduleVersion;
}

// Called by the host when the pilot switches to another vessel.
DLLCLBK void opcFocusChanged(OBJHANDLE hGainsFocus, OBJHANDLE hLosesFocus) {
  // Every vessel query goes to the new focus vessel from now on.
  moduleState.focusVessel = oapiGetVesselInterface(hGainsFocus);
  // Nothing more at the first focus of a session. A focus on no vessel
  // at all leaves the open displays as they are rather than querying
  // nothing.
  if (hLosesFocus == nullptr || moduleState.focusVessel == nullptr) return;
  // Every open display showed the old vessel's plan, and what each
  // display kept for its next instance was planned for the old vessel too.
  if (moduleState.firstInstance != nullptr) ForgetDisplayRecords();
  for (ArvexMFD* instance = moduleState.firstInstance; instance != nullptr;
       instance = instance->nextInstance) {
    ResetForNewFocus(instance);
  }
}

// Called by the host after every time step. The gate: work only on
// completely built instances, every open display with its own count and
// solution.
DLLCLBK void opcPostStep(double /*simt*/, double simdt, double /*mjd*/) {
  if (!moduleState.hooksEnabled) return;
  for (ArvexMFD* instance = moduleState.firstInstance; instance != nullptr;
       instance = instance->nextInstance) {
    instance->PostStep(simdt);
  }
}

}  // namespace arvex
