// The test host's world: one airless body at rest and one vessel whose state
// the test script sets outright (on the pad, after the burn, in flight). The
// host functions answer from here.
#pragma once

#include <string>
#include <vector>

#include "OrbiterAPI.h"
#include "mfd_api.h"
#include "vessel_api.h"
#include "wine/page_script.h"

namespace testhost {

struct VesselState {
  VECTOR3 pos;        // [m] global = body-fixed (the body does not turn)
  VECTOR3 vel;        // [m/s]
  MATRIX3 rot;        // vessel frame -> global
  bool contact;       // on the ground
  double mainLevel;   // 0..1
  double hoverLevel;  // 0..1
};

struct InputBox {
  bool open = false;
  std::string title;
  bool (*callback)(void*, char*, void*) = nullptr;
  void* usrdata = nullptr;
};

// A text as the module (or MFD::Title) drew it, with the device context's
// colour and alignment at that moment.
struct DrawnText {
  int x, y;
  std::string bytes;
  COLORREF colour;
  UINT align;
  bool title;
};

struct World {
  double radius = pagescript::kBodyRadius;  // [m]
  double mass = pagescript::kBodyMass;      // [kg]
  VesselState vessel{};
  MFDMODESPEC mode{};  // the one registered mode (copied, name too)
  std::string modeName;
  int modeId = 0;         // 0: none registered
  std::string configDir;  // folder of CONFIG files, ending in a backslash
  InputBox box;
  int openFiles = 0;
  std::vector<DrawnText> drawn;  // since the list was last cleared
  bool drawTexts = true;         // false: texts are listed, not drawn
};

World& world();
OBJHANDLE bodyHandle();
OBJHANDLE vesselHandle();
VESSEL* vesselInterface();

// TextOutA as the test host sees it: listed in world().drawn, then drawn
// unless world().drawTexts is false.
BOOL ListedTextOut(HDC dc, int x, int y, const char* text, int n, bool title);

// Sets the character size Orbiter measures from font 0 after MsgProc.
void SetCharSize(MFD* mfd, DWORD cw, DWORD ch);

}  // namespace testhost
