// The oapi... functions and class VESSEL, as a module calls them. Each one
// acts on the current host and resolves its handles there; without a host,
// or given a null, stale or foreign handle, it fails cleanly: null handles,
// zeros, false, empty names. No exception crosses into module code.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/host_internal.h"

using sim::Host;

namespace {

// The host's C-style types at the edge: the world's vectors and matrices are
// Eigen's, the module's are the SDK's (MATRIX3 row major).
VECTOR3 toVector3(const sim::Vec3& v) { return _V(v.x(), v.y(), v.z()); }
void toMatrix3(const sim::Mat3& m, MATRIX3& out) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out.data[3 * i + j] = m(i, j);
}

const VECTOR3 kZero = {{0, 0, 0}};

// Runs f on the current host, or answers `fail` without one or when the
// host throws.
template <class R, class F>
R onHost(R fail, F f) {
  Host* host = Host::current();
  if (host == nullptr) return fail;
  try {
    return f(*host);
  } catch (...) {
    return fail;
  }
}

bool equalsIgnoringAsciiCase(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The engine types and thruster group types that the world models share
// their numbers (main 0, retro 1, hover 2).
bool isWorldGroup(int type) {
  return type == THGROUP_MAIN || type == THGROUP_RETRO || type == THGROUP_HOVER;
}

// Global position and velocity of a reference object: a body sits at rest
// at the origin of the global frame, a vessel where it is.
bool referenceState(const Host& host, OBJHANDLE ref, sim::Vec3& pos, sim::Vec3& vel) {
  if (host.bodyOf(ref) != nullptr) {
    pos = sim::Vec3::Zero();
    vel = sim::Vec3::Zero();
    return true;
  }
  if (const sim::Vessel* v = host.vesselOf(ref)) {
    pos = v->position();
    vel = v->velocity();
    return true;
  }
  return false;
}

}  // namespace

// --- VESSEL -----------------------------------------------------------------

// Two results are "const OBJHANDLE", as in the SDK: the qualifier is part of
// the name Orbiter.exe exports them under (vessel_api.h).
#pragma GCC diagnostic ignored "-Wignored-qualifiers"

VESSEL::VESSEL(OBJHANDLE hVessel, int) : hObj(hVessel) {}
VESSEL::~VESSEL() = default;

const OBJHANDLE VESSEL::GetHandle() const { return hObj; }

char* VESSEL::GetName() const {
  static char empty[] = "";
  return onHost<char*>(empty, [this](Host& host) -> char* {
    const sim::Vessel* v = host.vesselOf(hObj);
    return v != nullptr ? const_cast<char*>(v->spec().name.c_str()) : empty;
  });
}

const OBJHANDLE VESSEL::GetSurfaceRef() const {
  return onHost<OBJHANDLE>(nullptr, [this](Host& host) -> OBJHANDLE {
    const sim::Vessel* v = host.vesselOf(hObj);
    return v != nullptr ? host.bodyHandle(v->bodyIndex()) : nullptr;
  });
}

OBJHANDLE VESSEL::GetEquPos(double& longitude, double& latitude, double& radius) const {
  longitude = latitude = radius = 0;
  return onHost<OBJHANDLE>(nullptr, [&](Host& host) -> OBJHANDLE {
    const sim::Vessel* v = host.vesselOf(hObj);
    if (v == nullptr) return nullptr;
    v->equPos(longitude, latitude, radius);
    return host.bodyHandle(v->bodyIndex());
  });
}

bool VESSEL::GroundContact() const {
  return onHost(false, [this](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    return v != nullptr && v->groundContact();
  });
}

void VESSEL::GetGlobalPos(VECTOR3& pos) const {
  pos = onHost(kZero, [this](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    return v != nullptr ? toVector3(v->position()) : kZero;
  });
}

void VESSEL::GetGlobalVel(VECTOR3& vel) const {
  vel = onHost(kZero, [this](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    return v != nullptr ? toVector3(v->velocity()) : kZero;
  });
}

void VESSEL::GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const {
  pos = onHost(kZero, [&](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    sim::Vec3 refPos, refVel;
    if (v == nullptr || !referenceState(host, hRef, refPos, refVel)) return kZero;
    return toVector3(v->position() - refPos);
  });
}

void VESSEL::GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const {
  vel = onHost(kZero, [&](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    sim::Vec3 refPos, refVel;
    if (v == nullptr || !referenceState(host, hRef, refPos, refVel)) return kZero;
    return toVector3(v->velocity() - refVel);
  });
}

bool VESSEL::GetHorizonAirspeedVector(VECTOR3& v) const {
  v = kZero;
  return onHost(false, [&](Host& host) {
    const sim::Vessel* vessel = host.vesselOf(hObj);
    if (vessel == nullptr) return false;
    v = toVector3(vessel->horizonAirspeed());
    return true;
  });
}

void VESSEL::GetRotationMatrix(MATRIX3& R) const {
  std::fill(std::begin(R.data), std::end(R.data), 0.0);
  onHost(false, [&](Host& host) {
    const sim::Vessel* v = host.vesselOf(hObj);
    if (v == nullptr) return false;
    toMatrix3(v->rotation(), R);
    return true;
  });
}

namespace {
// A scalar query of the vessel behind h; 0 for a stale handle.
template <class F>
double vesselScalar(OBJHANDLE h, F f) {
  return onHost(0.0, [&](Host& host) {
    const sim::Vessel* v = host.vesselOf(h);
    return v != nullptr ? f(*v) : 0.0;
  });
}
}  // namespace

double VESSEL::GetPitch() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.pitch(); });
}
double VESSEL::GetBank() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.bank(); });
}
double VESSEL::GetYaw() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.heading(); });
}
double VESSEL::GetAOA() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.aoa(); });
}
double VESSEL::GetAltitude() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.altitude(); });
}
double VESSEL::GetMass() const {
  return vesselScalar(hObj, [](const sim::Vessel& v) { return v.mass(); });
}

double VESSEL::GetMaxThrust(ENGINETYPE eng) const {
  if (!isWorldGroup(eng)) return 0;  // attitude thrusters are not modelled
  return vesselScalar(
      hObj, [eng](const sim::Vessel& v) { return v.maxThrust(static_cast<THGROUP_TYPE>(eng)); });
}

THGROUP_HANDLE VESSEL::GetThrusterGroupHandle(THGROUP_TYPE thg) const {
  return onHost<THGROUP_HANDLE>(nullptr, [&](Host& host) -> THGROUP_HANDLE {
    const auto index = host.vesselIndexOf(hObj);
    return index ? host.thrusterGroupHandle(*index, thg) : nullptr;
  });
}

double VESSEL::GetThrusterGroupLevel(THGROUP_TYPE thg) const {
  if (!isWorldGroup(thg)) return 0;
  return vesselScalar(hObj, [thg](const sim::Vessel& v) { return v.level(thg); });
}

void VESSEL::SetThrusterGroupLevel(THGROUP_TYPE thg, double level) const {
  if (!isWorldGroup(thg) || std::isnan(level)) return;
  onHost(false, [&](Host& host) {
    sim::Vessel* v = host.vesselOf(hObj);
    if (v == nullptr || !v->hasGroup(thg)) return false;
    v->setLevel(thg, std::clamp(level, 0.0, 1.0));
    return true;
  });
}

// --- oapi... functions ----------------------------------------------------------

int oapiRegisterMFDMode(MFDMODESPEC& spec) {
  return onHost(0, [&](Host& host) { return host.registerMode(spec); });
}

bool oapiUnregisterMFDMode(int mode) {
  return onHost(false, [&](Host& host) { return host.unregisterMode(mode); });
}

FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root) {
  return onHost<FILEHANDLE>(nullptr, [&](Host& host) { return host.openFile(fname, mode, root); });
}

void oapiCloseFile(FILEHANDLE f, FileAccessMode) {
  onHost(false, [&](Host& host) {
    host.closeFile(f);
    return true;
  });
}

bool oapiReadItem_int(FILEHANDLE f, char* item, int& val) {
  return onHost(false, [&](Host& host) { return host.readItemInt(f, item, val); });
}

void oapiOpenInputBox(char* title, bool (*Clbk)(void*, char*, void*), char*, int, void* usrdata) {
  onHost(0, [&](Host& host) { return host.openInputBox(title, Clbk, usrdata); });
}

OBJHANDLE oapiGetFocusObject() {
  return onHost<OBJHANDLE>(nullptr, [](Host& host) { return host.focusHandle(); });
}

VESSEL* oapiGetFocusInterface() {
  return onHost<VESSEL*>(nullptr,
                         [](Host& host) { return host.vesselInterface(host.focusHandle()); });
}

VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel) {
  return onHost<VESSEL*>(nullptr, [&](Host& host) { return host.vesselInterface(hVessel); });
}

double oapiGetMass(OBJHANDLE hObj) {
  return onHost(0.0, [&](Host& host) {
    if (const sim::Body* b = host.bodyOf(hObj)) return b->mass();
    if (const sim::Vessel* v = host.vesselOf(hObj)) return v->mass();
    return 0.0;
  });
}

double oapiGetSize(OBJHANDLE hObj) {
  return onHost(0.0, [&](Host& host) {
    const sim::Body* b = host.bodyOf(hObj);
    return b != nullptr ? b->radius() : 0.0;  // vessels have no modelled size
  });
}

void oapiGetObjectName(OBJHANDLE hObj, char* name, int n) {
  if (name == nullptr || n <= 0) return;
  const std::string text = onHost(std::string(), [&](Host& host) -> std::string {
    if (const sim::Body* b = host.bodyOf(hObj)) return b->name();
    if (const sim::Vessel* v = host.vesselOf(hObj)) return v->spec().name;
    if (const sim::Base* base = host.baseOf(hObj)) return base->name;
    return "";
  });
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n) - 1);
  std::memcpy(name, text.data(), count);
  name[count] = '\0';
}

OBJHANDLE oapiGetBaseByName(OBJHANDLE hPlanet, char* name) {
  if (name == nullptr) return nullptr;
  return onHost<OBJHANDLE>(nullptr, [&](Host& host) -> OBJHANDLE {
    const auto body = host.bodyIndexOf(hPlanet);
    if (!body) return nullptr;
    const auto& bases = host.world().body(*body).spec().bases;
    for (std::size_t i = 0; i < bases.size(); ++i) {
      if (equalsIgnoringAsciiCase(bases[i].name, name)) return host.baseHandle(*body, i);
    }
    return nullptr;
  });
}

void oapiGetBaseEquPos(OBJHANDLE hBase, double* lng, double* lat, double* rad) {
  double values[3] = {0, 0, 0};  // longitude [rad], latitude [rad], radius [m]
  onHost(false, [&](Host& host) {
    const sim::Body* body = nullptr;
    const sim::Base* base = host.baseOf(hBase, &body);
    if (base == nullptr) return false;
    values[0] = base->lng_rad;
    values[1] = base->lat_rad;
    values[2] = body->radius();
    return true;
  });
  if (lng != nullptr) *lng = values[0];
  if (lat != nullptr) *lat = values[1];
  if (rad != nullptr) *rad = values[2];
}

void oapiGetPlanetObliquityMatrix(OBJHANDLE hPlanet, MATRIX3* mat) {
  if (mat == nullptr) return;
  std::fill(std::begin(mat->data), std::end(mat->data), 0.0);
  onHost(false, [&](Host& host) {
    const sim::Body* b = host.bodyOf(hPlanet);
    if (b == nullptr) return false;
    toMatrix3(b->obliquityMatrix(), *mat);
    return true;
  });
}

double oapiGetPlanetPeriod(OBJHANDLE hPlanet) {
  return onHost(0.0, [&](Host& host) {
    const sim::Body* b = host.bodyOf(hPlanet);
    return b != nullptr ? b->spec().rotation_period_s : 0.0;
  });
}

double oapiGetPlanetCurrentRotation(OBJHANDLE hPlanet) {
  return onHost(0.0, [&](Host& host) {
    const sim::Body* b = host.bodyOf(hPlanet);
    return b != nullptr ? b->rotationAngle(host.simTime()) : 0.0;
  });
}
