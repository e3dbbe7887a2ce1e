// Lobarc Launch: the one door through which programs and other add-ons read
// a display's plan, without knowing the module's class (ArvexPlan.h).
#include <cmath>
#include <cstring>

#include "ArvexMFD.h"
#include "ArvexPlan.h"

namespace arvex {
namespace {

void CopyVector(const VECTOR3& v, double out[3]) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}

// The version 1 fields, straight from the instance's own.
void FillVersion1(ArvexMFD& m, ArvexPlan& plan) {
  plan.flightMode = m.flightMode;
  plan.targetComplete = m.TargetComplete() ? 1 : 0;

  plan.groundSolValid = m.groundSolValid ? 1 : 0;
  plan.heading = m.heading;
  plan.launchAngle = m.launchAngle;
  plan.apoAltitude = m.apoAltitude;
  plan.vTan = m.vTan;
  plan.launchSpeed = m.launchSpeed;
  plan.dvRemaining = m.dvRemaining;
  plan.pitchCmd = m.pitchCmd;
  CopyVector(m.launchVelocity, plan.launchVelocity);

  plan.flightSolValid = m.flightSolValid ? 1 : 0;
  CopyVector(m.reqVel, plan.reqVel);
  plan.dvToGo = m.dvToGo;

  // The aim point as the in-flight solver places it: body-fixed over the
  // target, turned into the global frame at the body's rotation of now.
  const double r = m.altAboveTarget + m.bodyRadius;  // [m]
  const VECTOR3 aimBodyFixed =
      _V(r * std::cos(m.tgtLat) * std::cos(m.tgtLng), r * std::sin(m.tgtLat),
         r * std::cos(m.tgtLat) * std::sin(m.tgtLng));
  CopyVector(m.PlanetToGlobal(aimBodyFixed), plan.aimPoint);
  plan.tgtLatDeg = m.tgtLatDeg;
  plan.tgtLngDeg = m.tgtLngDeg;
  plan.securityAlt = m.securityAlt;
  plan.altAboveTarget = m.altAboveTarget;
}

}  // namespace

}  // namespace arvex

// Exported by name for add-ons; the record's layout is its only contract.
DLLCLBK int ArvexGetPlan(const void* display, ArvexPlan* plan) {
  if (plan == nullptr || plan->size < sizeof(ArvexPlan)) return 0;
  // Only an instance of this module's own class is read; any other display
  // the host holds is refused, not misread.
  using arvex::ArvexMFD;
  using arvex::moduleState;
  ArvexMFD* m = nullptr;
  if (display == nullptr) {
    // The display built last: the end of the list of live instances.
    for (ArvexMFD* i = moduleState.firstInstance; i != nullptr; i = i->nextInstance) m = i;
  } else {
    m = dynamic_cast<ArvexMFD*>(static_cast<MFD*>(const_cast<void*>(display)));
  }
  if (m == nullptr) return 0;
  const unsigned int size = plan->size;
  std::memset(plan, 0, sizeof(ArvexPlan));
  plan->size = size;
  plan->version = ARVEX_PLAN_VERSION;
  arvex::FillVersion1(*m, *plan);
  return 1;
}
