// The display instance's plan: RecomputePlan, the one entry that every change
// of plan goes through, and the members that gather the instance's fields,
// run the ground plan's functions (planning/ground_plan.h) and store the
// results.
#include <cmath>

#include "module/ArvexMFD.h"
#include "planning/ground_plan.h"

namespace arvex {

// Run by the constructor with restored parameters, by the target and security
// altitude entries and by the mode switch.
void ArvexMFD::RecomputePlan() {
  // Same place: a target exactly on the vessel's own position has no
  // plan; the comparison is of the degree values as entered, without
  // tolerance.
  if (tgtLatDeg == ownLatDeg && tgtLngDeg == ownLngDeg) {
    ResetSolution();
    return;
  }
  // Incomplete target: the target fields hold no place the pilot chose,
  // so a plan toward them would be a wrong result. Both solutions are marked
  // invalid and the rest is left as it is.
  if (!TargetComplete()) {
    groundSolValid = false;
    flightSolValid = false;
    return;
  }
  if (flightMode == 0) {
    // Grounded: the launch plan, and a fresh pre-burn pitch proposal for
    // it.
    launchPitchSet = false;
    ComputeGroundSolution();
    groundSolValid = ComputeHeading();
    launchVelocity = ComputeLaunchVelocity();
    ProposePitchNow();
  } else if (flightMode == 1) {
    // In flight: the solver starts its search over.
    RestartSearch();
    flightSolValid = SolveInFlight();
  }
}

// Fills apoAltitude, vTan, launchSpeed, launchAngle, and dvRemaining with the
// whole launch speed still to burn.
void ArvexMFD::ComputeGroundSolution() {
  const GroundPlanInput in{bodyRadius, bodyMass, surfaceGravity, securityAlt,
                           ownLat,     ownLng,   tgtLat,         tgtLng};
  const GroundEllipse plan = SolveGroundEllipse(in);
  apoAltitude = plan.apoAltitude;
  vTan = plan.vTan;
  launchSpeed = plan.launchSpeed;
  dvRemaining = launchSpeed;
  launchAngle = plan.launchAngle;
}

// Fills heading. Always true: a heading is always produced.
bool ArvexMFD::ComputeHeading() {
  heading = LaunchHeading(ownLat, ownLng, tgtLat, tgtLng);
  return true;
}

// The planned launch velocity [m/s], global frame: launchSpeed along the
// direction launchAngle above the local horizon, heading from north.
VECTOR3 ArvexMFD::ComputeLaunchVelocity() {
  return PlanetToGlobal(LaunchDirectionBodyFixed(launchAngle, heading, ownLat, ownLng)) *
         launchSpeed;
}

// A body-fixed vector of refBody in the global frame, at the body's current
// rotation.
VECTOR3 ArvexMFD::PlanetToGlobal(const VECTOR3& v) {
  // Identity until the host fills it, so a host that fills nothing turns
  // nothing.
  MATRIX3 m = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  oapiGetPlanetObliquityMatrix(refBody, &m);
  return BodyFixedToGlobal(v, m, oapiGetPlanetCurrentRotation(refBody));
}

// The point altAboveTarget above the target, body-fixed (y towards the north
// pole), in the global frame: where the in-flight solver aims and what the
// plan record exports.
VECTOR3 ArvexMFD::AimPoint() {
  const double r = altAboveTarget + bodyRadius;  // [m]
  const VECTOR3 aimBodyFixed = _V(r * std::cos(tgtLat) * std::cos(tgtLng), r * std::sin(tgtLat),
                                  r * std::cos(tgtLat) * std::sin(tgtLng));
  return PlanetToGlobal(aimBodyFixed);
}

}  // namespace arvex
