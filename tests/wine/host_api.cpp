// What orbiter.exe exports to a module, as far as this module imports it:
// the oapi functions, the VESSEL and MFD members and the library glue,
// answered from the scripted world. Built with OAPI_IMPLEMENTATION, so the
// SDK's OAPIFUNC exports them from the executable.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "wine/scripted_world.h"

OAPIFUNC void InitLib(HINSTANCE hModule);
OAPIFUNC int Date2Int(char* date);

namespace testhost {
namespace {
char bodyTag, vesselTag, groupTags[3];  // addresses serve as handles
std::string bodyName = pagescript::kBodyName;
std::string vesselName = pagescript::kVesselName;
}  // namespace

World& world() {
  static World w;
  return w;
}
OBJHANDLE bodyHandle() { return &bodyTag; }
OBJHANDLE vesselHandle() { return &vesselTag; }
VESSEL* vesselInterface() {
  static VESSEL v(vesselHandle());
  return &v;
}
}  // namespace testhost

class Instrument_User {
 public:
  static void Set(MFD* mfd, DWORD cw, DWORD ch) {
    mfd->cw = cw;
    mfd->ch = ch;
  }
};
BOOL testhost::ListedTextOut(HDC dc, int x, int y, const char* text, int n, bool title) {
  world().drawn.push_back(
      {x, y, std::string(text, n > 0 ? n : 0), GetTextColor(dc), GetTextAlign(dc), title});
  return world().drawTexts ? TextOutA(dc, x, y, text, n) : TRUE;
}
void testhost::SetCharSize(MFD* mfd, DWORD cw, DWORD ch) { Instrument_User::Set(mfd, cw, ch); }

using testhost::world;

// --- Library glue: Orbiter's InitLib runs the module's InitModule. ----------
void InitLib(HINSTANCE hModule) {
  auto init = reinterpret_cast<void (*)(HINSTANCE)>(
      reinterpret_cast<void (*)()>(GetProcAddress(hModule, "InitModule")));
  if (init != nullptr) init(hModule);
}

int Date2Int(char* date) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char month[4] = {0};
  int day = 0, year = 0;
  if (date == nullptr || std::sscanf(date, "%3s %d %d", month, &day, &year) != 3) return 0;
  for (int m = 0; m < 12; ++m) {
    if (std::strcmp(month, months[m]) == 0) return year * 10000 + (m + 1) * 100 + day;
  }
  return 0;
}

// --- VESSEL -------------------------------------------------------------------

// Two results are "const OBJHANDLE", as in the SDK: the qualifier is part of
// the name Orbiter.exe exports them under (vessel_api.h).
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
VESSEL::VESSEL(OBJHANDLE hVessel, int) : hObj(hVessel) {}
VESSEL::~VESSEL() {}
const OBJHANDLE VESSEL::GetHandle() const { return hObj; }
char* VESSEL::GetName() const { return testhost::vesselName.data(); }
double VESSEL::GetMass() const { return pagescript::kVesselMass; }
void VESSEL::GetGlobalPos(VECTOR3& pos) const { pos = world().vessel.pos; }
void VESSEL::GetGlobalVel(VECTOR3& vel) const { vel = world().vessel.vel; }
void VESSEL::GetRelativePos(OBJHANDLE, VECTOR3& pos) const { pos = world().vessel.pos; }
void VESSEL::GetRelativeVel(OBJHANDLE, VECTOR3& vel) const { vel = world().vessel.vel; }
bool VESSEL::GroundContact() const { return world().vessel.contact; }
const OBJHANDLE VESSEL::GetSurfaceRef() const { return testhost::bodyHandle(); }
double VESSEL::GetAltitude() const { return length(world().vessel.pos) - world().radius; }

namespace {
// Radial (up), east and north unit vectors at the vessel; y is the pole.
void Horizon(VECTOR3& up, VECTOR3& east, VECTOR3& north) {
  up = unit(world().vessel.pos);
  east = unit(crossp(up, _V(0, 1, 0)));
  if (dotp(east, _V(0, 0, 1)) * world().vessel.pos.x < 0) east = -east;
  north = crossp(east, up);
  if (north.y < 0) north = -north;
}
VECTOR3 Column(int c) {
  const MATRIX3& R = world().vessel.rot;
  return _V(R.data[c], R.data[3 + c], R.data[6 + c]);
}
}  // namespace

double VESSEL::GetPitch() const {
  VECTOR3 up, east, north;
  Horizon(up, east, north);
  return std::asin(dotp(Column(2), up));
}
double VESSEL::GetBank() const { return 0.0; }
double VESSEL::GetYaw() const { return 0.0; }
OBJHANDLE VESSEL::GetEquPos(double& longitude, double& latitude, double& radius) const {
  const VECTOR3& p = world().vessel.pos;
  radius = length(p);
  latitude = std::asin(p.y / radius);
  longitude = std::atan2(p.z, p.x);
  return testhost::bodyHandle();
}
bool VESSEL::GetHorizonAirspeedVector(VECTOR3& v) const {
  VECTOR3 up, east, north;
  Horizon(up, east, north);
  const VECTOR3& vel = world().vessel.vel;
  v = _V(dotp(vel, east), dotp(vel, up), dotp(vel, north));
  return true;
}
double VESSEL::GetAOA() const {
  const VECTOR3 local = tmul(world().vessel.rot, world().vessel.vel);
  return length(local) > 0 ? -std::atan2(local.y, local.z) : 0.0;
}
THGROUP_HANDLE VESSEL::GetThrusterGroupHandle(THGROUP_TYPE thgt) const {
  return thgt == THGROUP_MAIN || thgt == THGROUP_HOVER ? &testhost::groupTags[thgt] : nullptr;
}
void VESSEL::SetThrusterGroupLevel(THGROUP_TYPE thgt, double level) const {
  if (thgt == THGROUP_MAIN) world().vessel.mainLevel = level;
  if (thgt == THGROUP_HOVER) world().vessel.hoverLevel = level;
}
double VESSEL::GetThrusterGroupLevel(THGROUP_TYPE thgt) const {
  if (thgt == THGROUP_MAIN) return world().vessel.mainLevel;
  if (thgt == THGROUP_HOVER) return world().vessel.hoverLevel;
  return 0.0;
}
void VESSEL::GetRotationMatrix(MATRIX3& R) const { R = world().vessel.rot; }
double VESSEL::GetMaxThrust(ENGINETYPE eng) const {
  return eng == ENGINE_MAIN    ? pagescript::kMainThrust
         : eng == ENGINE_HOVER ? pagescript::kHoverThrust
                               : 0.0;
}

// --- MFD: Orbiter's Title uses the current font and alignment, in grey. -------
MFD::MFD(DWORD w, DWORD h, VESSEL* vessel) : W(w), H(h), cw(0), ch(0), pV(vessel), instr(nullptr) {}
MFD::~MFD() {}
void MFD::InvalidateDisplay() {}
void MFD::InvalidateButtons() {}
void MFD::Title(HDC hDC, const char* title) const {
  SetTextColor(hDC, RGB(224, 224, 224));
  testhost::ListedTextOut(hDC, cw / 2, 0, title, static_cast<int>(std::strlen(title)), true);
}
bool MFD::ConsumeKeyBuffered(DWORD) { return false; }
bool MFD::ConsumeKeyImmediate(char*) { return false; }
bool MFD::ConsumeButton(int, int) { return false; }
char* MFD::ButtonLabel(int) { return nullptr; }
int MFD::ButtonMenu(const MFDBUTTONMENU**) const { return 0; }
void MFD::WriteStatus(FILEHANDLE) const {}
void MFD::ReadStatus(FILEHANDLE) {}
void MFD::StoreStatus() const {}
void MFD::RecallStatus() {}

// --- oapi functions -----------------------------------------------------------
int oapiRegisterMFDMode(MFDMODESPEC& spec) {
  world().modeName = spec.name != nullptr ? spec.name : "";
  world().mode = spec;
  world().mode.name = world().modeName.data();
  world().modeId = 11;  // Orbiter's first user mode
  return world().modeId;
}
bool oapiUnregisterMFDMode(int mode) {
  if (mode != world().modeId || mode == 0) return false;
  world().modeId = 0;
  return true;
}

// A file is a FILE* opened from the config folder; FILE_IN never fails.
FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root) {
  if (mode != FILE_IN || root != CONFIG) return nullptr;
  ++world().openFiles;
  FILE* f = std::fopen((world().configDir + fname).c_str(), "r");
  return f != nullptr ? static_cast<FILEHANDLE>(f) : static_cast<FILEHANDLE>(&world());
}
void oapiCloseFile(FILEHANDLE file, FileAccessMode) {
  --world().openFiles;
  if (file != &world()) std::fclose(static_cast<FILE*>(file));
}
bool oapiReadItem_int(FILEHANDLE f, char* item, int& i) {
  if (f == &world() || f == nullptr) return false;
  FILE* file = static_cast<FILE*>(f);
  std::rewind(file);
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    char name[512];
    int value = 0;
    if (std::sscanf(line, " %511[^= ] = %d", name, &value) == 2 && _stricmp(name, item) == 0) {
      i = value;
      return true;
    }
  }
  return false;
}

void oapiOpenInputBox(char* title, bool (*Clbk)(void*, char*, void*), char*, int, void* usrdata) {
  world().box = testhost::InputBox{true, title != nullptr ? title : "", Clbk, usrdata};
}

OBJHANDLE oapiGetFocusObject() { return testhost::vesselHandle(); }
VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel) {
  return hVessel == testhost::vesselHandle() ? testhost::vesselInterface() : nullptr;
}
VESSEL* oapiGetFocusInterface() { return testhost::vesselInterface(); }
double oapiGetSize(OBJHANDLE hObj) { return hObj == testhost::bodyHandle() ? world().radius : 0; }
double oapiGetMass(OBJHANDLE hObj) { return hObj == testhost::bodyHandle() ? world().mass : 0; }
void oapiGetObjectName(OBJHANDLE hObj, char* name, int n) {
  const char* text = hObj == testhost::bodyHandle() ? testhost::bodyName.c_str() : "";
  std::strncpy(name, text, n);  // as Orbiter: not terminated when too long
}
OBJHANDLE oapiGetBaseByName(OBJHANDLE, char*) { return nullptr; }
void oapiGetBaseEquPos(OBJHANDLE, double* lng, double* lat, double* rad) {
  *lng = *lat = 0;
  if (rad != nullptr) *rad = world().radius;
}
void oapiGetPlanetObliquityMatrix(OBJHANDLE, MATRIX3* mat) {
  *mat = MATRIX3{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
}
double oapiGetPlanetCurrentRotation(OBJHANDLE) { return 0.0; }
double oapiGetPlanetPeriod(OBJHANDLE) { return 0.0; }
