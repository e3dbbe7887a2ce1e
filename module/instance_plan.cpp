// The display instance's plan: RecomputePlan, the one entry that every change
// of plan goes through, and the turn of body-fixed points into the global
// frame that the plan and the in-flight aim point share
// (planning/ground_plan.h computes both).
#include <cmath>

#include "module/ArvexMFD.h"
#include "planning/ground_plan.h"

namespace arvex {

namespace {

// The body's turn from its own frame into the global one at this moment:
// identity until the host fills it, so a host that fills nothing turns
// nothing.
struct PlanetTurn {
  MATRIX3 obliquity = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  double rotation = 0;  // [rad]
};

PlanetTurn TurnOf(OBJHANDLE body) {
  PlanetTurn turn;
  oapiGetPlanetObliquityMatrix(body, &turn.obliquity);
  turn.rotation = oapiGetPlanetCurrentRotation(body);
  return turn;
}

}  // namespace

// Run by the constructor with restored parameters, by the target and security
// altitude entries and by the mode switch.
void ArvexMFD::RecomputePlan() {
  // A target exactly on the vessel's own position has no plan; the
  // comparison is of the degree values as entered, without tolerance.
  if (inputs.tgtLatDeg == inputs.ownLatDeg && inputs.tgtLngDeg == inputs.ownLngDeg) {
    ResetSolution();
    return;
  }
  // The target fields of an incomplete target hold no place the pilot
  // chose, so a plan toward them would be a wrong result. Both solutions
  // are marked invalid and the rest is left as it is.
  if (!TargetComplete()) {
    plan.groundSolValid = false;
    flightSolValid = false;
    return;
  }
  if (inputs.flightMode == 0) {
    // A new plan gets its own pre-burn pitch proposal.
    launchPitchSet = false;
    const GroundPlanInput in{bodyRadius, bodyMass, surfaceGravity, inputs.securityAlt,
                             ownLat,     ownLng,   tgtLat,         tgtLng};
    const PlanetTurn turn = TurnOf(refBody);
    plan = PlanGroundLaunch(in, turn.obliquity, turn.rotation);
    ProposePitchNow();
  } else if (inputs.flightMode == 1) {
    RestartSearch();
    flightSolValid = SolveInFlight();
  }
}

// A body-fixed vector of refBody in the global frame, at the body's current
// rotation.
VECTOR3 ArvexMFD::PlanetToGlobal(const VECTOR3& v) {
  const PlanetTurn turn = TurnOf(refBody);
  return BodyFixedToGlobal(v, turn.obliquity, turn.rotation);
}

// The point altAboveTarget above the target, body-fixed (y towards the north
// pole), in the global frame: where the in-flight solver aims and what the
// plan record exports.
VECTOR3 ArvexMFD::AimPoint() {
  const double r = inputs.altAboveTarget + bodyRadius;  // [m]
  const VECTOR3 aimBodyFixed = _V(r * std::cos(tgtLat) * std::cos(tgtLng), r * std::sin(tgtLat),
                                  r * std::cos(tgtLat) * std::sin(tgtLng));
  return PlanetToGlobal(aimBodyFixed);
}

}  // namespace arvex
