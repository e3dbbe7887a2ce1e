// A tiny module library for the host's loader tests. It behaves like an
// Orbiter add-on built with the SDK glue: its library entry finds its exit
// function by name at attach and runs it at detach; InitModule registers one
// display mode. It records what the host called, in order, and exports a few
// extra functions through which the tests read that record.
#include <string>

#include "mfd_api.h"
#include "vessel_api.h"

// Library glue that the SDK's headers leave undeclared.
OAPIFUNC int Date2Int(char* date);

namespace {

using Sink = void (*)(const char* event);

std::string eventLog;            // every event since the library was loaded, ';' after each
Sink sink = nullptr;             // the test's recorder, once it has set one
int initCount = 0;               // InitModule calls since the library was loaded
int stepCount = 0;               // opcPostStep calls
double lastStep[3] = {0, 0, 0};  // simt [s], simdt [s], mjd [days] of the last step
int modeId = 0;
HINSTANCE instance = nullptr;
void (*exitHook)(HINSTANCE) = nullptr;  // found by name at attach

void record(const char* event) {
  eventLog += event;
  eventLog += ';';
  if (sink != nullptr) sink(event);
}

class FakeMFD : public MFD {
 public:
  FakeMFD(DWORD w, DWORD h, VESSEL* vessel) : MFD(w, h, vessel) { record("mfd-built"); }
  ~FakeMFD() override { record("mfd-destroyed"); }
  void Update(HDC hDC) override { Title(hDC, "Fake"); }
};

OAPI_MSGTYPE MsgProc(UINT msg, UINT, WPARAM wparam, LPARAM lparam) {
  if (msg != OAPI_MSG_MFD_OPENED) return 0;
  return reinterpret_cast<OAPI_MSGTYPE>(
      new FakeMFD(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<VESSEL*>(lparam)));
}

}  // namespace

DLLCLBK BOOL DllMain(HINSTANCE h, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    record("attach");
    instance = h;
    exitHook = reinterpret_cast<void (*)(HINSTANCE)>(GetProcAddress(h, "ExitModule"));
  } else if (reason == DLL_PROCESS_DETACH) {
    record("detach");
    if (exitHook != nullptr) exitHook(h);
  }
  return TRUE;
}

DLLCLBK void InitModule(HINSTANCE) {
  record("init");
  ++initCount;
  static char name[] = "Fake Mode";
  MFDMODESPEC spec{name, 0x22, MsgProc};
  modeId = oapiRegisterMFDMode(spec);
}

DLLCLBK void ExitModule(HINSTANCE) {
  record("exit");
  oapiUnregisterMFDMode(modeId);
}

DLLCLBK int GetModuleVersion() {
  static char date[] = "Apr 25 2006";
  return Date2Int(date);
}

DLLCLBK void opcPostStep(double simt, double simdt, double mjd) {
  ++stepCount;
  lastStep[0] = simt;
  lastStep[1] = simdt;
  lastStep[2] = mjd;
}

DLLCLBK void opcFocusChanged(OBJHANDLE, OBJHANDLE) { record("focus"); }

// --- read by the tests ----------------------------------------------------
DLLCLBK const char* FakeLog() { return eventLog.c_str(); }
DLLCLBK int FakeInitCount() { return initCount; }
DLLCLBK int FakeStepCount() { return stepCount; }
DLLCLBK const double* FakeLastStep() { return lastStep; }
DLLCLBK HINSTANCE FakeInstance() { return instance; }
DLLCLBK void FakeSetSink(Sink s) { sink = s; }
