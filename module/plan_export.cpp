// Lobarc Launch: the one door through which programs and other add-ons read
// a display's plan, without knowing the module's class (ArvexPlan.h).
#include <cmath>
#include <cstring>

#include "lobarc/ArvexPlan.h"
#include "module/ArvexMFD.h"

namespace arvex {
namespace {

void CopyVector(const VECTOR3& v, double out[3]) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}

// The version 1 fields: the plan, the in-flight solution and the target.
void FillVersion1(ArvexMFD& m, ArvexPlan& plan) {
  const PilotInputs& in = m.inputs;
  const GroundPlan& ground = m.plan;
  plan.flightMode = in.flightMode;
  plan.targetComplete = m.TargetComplete() ? 1 : 0;

  plan.groundSolValid = ground.groundSolValid ? 1 : 0;
  plan.heading = ground.heading;
  plan.launchAngle = ground.launchAngle;
  plan.apoAltitude = ground.apoAltitude;
  plan.vTan = ground.vTan;
  plan.launchSpeed = ground.launchSpeed;
  plan.dvRemaining = ground.dvRemaining;
  plan.pitchCmd = m.pitchCmd;
  CopyVector(ground.launchVelocity, plan.launchVelocity);

  plan.flightSolValid = m.flightSolValid ? 1 : 0;
  CopyVector(m.search.reqVel, plan.reqVel);
  plan.dvToGo = m.dvToGo;

  // The aim point as the in-flight solver places it, at the body's rotation
  // of now.
  CopyVector(m.AimPoint(), plan.aimPoint);
  plan.tgtLatDeg = in.tgtLatDeg;
  plan.tgtLngDeg = in.tgtLngDeg;
  plan.securityAlt = in.securityAlt;
  plan.altAboveTarget = in.altAboveTarget;
}

// The version 2 fields: the launch point, the entries, the engine, the display.
void FillVersion2(ArvexMFD& m, ArvexPlan& plan) {
  const PilotInputs& in = m.inputs;
  plan.ownLatDeg = in.ownLatDeg;
  plan.ownLngDeg = in.ownLngDeg;
  plan.ownLat = m.ownLat;
  plan.ownLng = m.ownLng;
  plan.tgtLat = m.tgtLat;
  plan.tgtLng = m.tgtLng;
  plan.targetBase = m.targetBase;
  plan.tgtLatSet = in.tgtLatSet ? 1 : 0;
  plan.tgtLngSet = in.tgtLngSet ? 1 : 0;
  plan.hasMain = m.hasMain ? 1 : 0;
  plan.hasHover = m.hasHover ? 1 : 0;
  plan.useMainEngine = in.useMainEngine ? 1 : 0;
  plan.flightPage = in.flightPage;
  plan.surfaceGravity = m.surfaceGravity;
  plan.flightPathAngle = m.flightPathAngle;
  plan.actualPitch = m.actualPitch;
  plan.english = m.english ? 1 : 0;
  plan.width = static_cast<int>(m.width);
  plan.height = static_cast<int>(m.height);
  plan.lineHeight = m.lineHeight;
  plan.column2X = m.column2X;
}

// The version 3 field: the aim.
void FillVersion3(ArvexMFD& m, ArvexPlan& plan) { plan.aimLead = m.aimLead ? 1 : 0; }

}  // namespace

}  // namespace arvex

// Exported by name for add-ons; the record's layout is its only contract.
DLLCLBK int ArvexGetPlan(const void* display, ArvexPlan* plan) {
  if (plan == nullptr || plan->size < ARVEX_PLAN_V1_SIZE) return 0;
  // Only an instance of this module's own class is read; any other display
  // the host holds is refused, not misread.
  using arvex::ArvexMFD;
  using arvex::moduleState;
  ArvexMFD* m = nullptr;
  if (display == nullptr) {
    // The display built last: the end of the list of live instances.
    for (ArvexMFD* i = moduleState.firstInstance; i != nullptr; i = i->nextInstance) m = i;
  } else {
    // Compared by address with the live instances, never dereferenced
    // first: a display of another module, or one already closed, is no
    // entry of the list.
    for (ArvexMFD* i = moduleState.firstInstance; i != nullptr; i = i->nextInstance) {
      if (static_cast<const MFD*>(i) == display) m = i;
    }
  }
  if (m == nullptr) return 0;
  // Filled in a full record of our own and copied out up to the caller's
  // size, so that a caller built with an older, smaller record keeps the
  // memory past its end.
  const unsigned int size = plan->size;
  ArvexPlan full;
  std::memset(&full, 0, sizeof full);
  full.size = size;
  full.version = size >= sizeof(ArvexPlan)    ? ARVEX_PLAN_VERSION
                 : size >= ARVEX_PLAN_V2_SIZE ? 2
                                              : 1;
  arvex::FillVersion1(*m, full);
  arvex::FillVersion2(*m, full);
  arvex::FillVersion3(*m, full);
  std::memcpy(plan, &full, size < sizeof full ? size : sizeof full);
  return 1;
}
