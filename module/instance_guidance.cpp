// The display instance after every simulation step: the burn count and the
// pitch proposal while grounded, the in-flight correction otherwise. These
// members read the focus vessel, run the planning functions
// (planning/burn_guidance.h, planning/flight_solver.h) and store the results.
#include <cmath>

#include "ArvexMFD.h"
#include "burn_guidance.h"
#include "flight_solver.h"
#include "vector_ops.h"

namespace arvex {

namespace {

// Thruster group types polled for thrust: main, the group polled with it
// (type 1), and hover.
constexpr THGROUP_TYPE kGroupMain = THGROUP_MAIN;
constexpr THGROUP_TYPE kGroupWithMain = THGROUP_RETRO;
constexpr THGROUP_TYPE kGroupHover = THGROUP_HOVER;

}  // namespace

// 1 if any polled group of the focus vessel is off idle (compared exactly),
// else 0.
double ArvexMFD::Thrusting() const {
  VESSEL* vessel = moduleState.focusVessel;
  double level0 = 0, level1 = 0, level2 = 0;
  if (hasMain) {
    level0 = vessel->GetThrusterGroupLevel(kGroupMain);
    level1 = vessel->GetThrusterGroupLevel(kGroupWithMain);
  }
  if (hasHover) level2 = vessel->GetThrusterGroupLevel(kGroupHover);
  return (level0 != 0 || level1 != 0 || level2 != 0) ? 1.0 : 0.0;
}

// A new plan or engine with the engines off: the pre-burn proposal at once.
// The host calls opcPostStep only while the simulation runs, so with the
// proposal left to the next step a pilot who plans while paused would read
// the pitch of the previous plan (or of none) under the new plan.
void ArvexMFD::ProposePitchNow() {
  if (moduleState.focusVessel == nullptr || launchPitchSet || Thrusting() != 0) return;
  UpdatePitchCommand(0, 0);
}

// Body of opcPostStep past its gate; dt is the host's step [s].
void ArvexMFD::PostStep(double dt) {
  VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return;

  // 1 - Thrust detection.
  const double thrusting = Thrusting();

  // 2 - Velocity relative to the body, global frame [m/s].
  VECTOR3 v = _V(0, 0, 0);
  vessel->GetRelativeVel(refBody, v);

  if (flightMode == 0) {
    // 3 - Grounded: count the burn along the plan, then take this step's
    // velocity as the sample the next step counts from.
    VECTOR3 r = _V(0, 0, 0);
    vessel->GetRelativePos(refBody, r);
    const BurnStepInput step{
        v, r, prevRelVel, prevRelVelFresh, vessel->GroundContact(), launchVelocity, bodyMass, dt};
    double gain = 0;
    if (BurnGainAlongPlan(step, gain)) dvRemaining -= gain;
    prevRelVel = v;
    prevRelVelFresh = true;

    // 4 - Measured attitude [deg].
    const double pitch = vessel->GetPitch();
    actualPitch = pitch * kDegPerRad;
    flightPathAngle = (pitch - vessel->GetAOA()) * kDegPerRad;

    // 5 - The pitch to fly.
    UpdatePitchCommand(dt, thrusting);
    return;
  }

  // Any step outside grounded mode leaves prevRelVel behind.
  prevRelVelFresh = false;

  // 6 - In flight with a complete target: the correction still needed, from
  // the velocity read before the solver ran.
  if (flightMode == 1 && tgtLatSet && tgtLngSet) {
    SolveInFlight();
    const double correction = length(v - reqVel);
    if (std::isfinite(correction)) dvToGo = correction;
  }
}

// The pitch proposal: the burn law while thrust is on, otherwise once per plan
// and engine the pitch at which full thrust and weight together accelerate
// the vessel along launchAngle.
void ArvexMFD::UpdatePitchCommand(double dt, double thrusting) {
  if (thrusting != 0) {
    pitchCmd = BurnPitchCommand(dt);
    return;
  }
  // Engines off: the proposal stands until the plan or the engine changes.
  if (launchPitchSet) return;

  VESSEL* vessel = moduleState.focusVessel;
  const double thrust = vessel->GetMaxThrust(useMainEngine ? ENGINE_MAIN : ENGINE_HOVER);  // [N]
  const double weight = vessel->GetMass() * surfaceGravity;                                // [N]
  pitchCmd = LaunchPitchProposal(thrust, weight, launchAngle, useMainEngine);
  launchPitchSet = true;
}

// The burn pitch law [deg] on the measured flight-path angle.
double ArvexMFD::BurnPitchCommand(double dt) {
  VESSEL* vessel = moduleState.focusVessel;
  const double fpa = vessel->GetPitch() * kDegPerRad - vessel->GetAOA() * kDegPerRad;  // [deg]
  PitchLawState state{pitchIntegral, lastPitchCmd, prevPitchCmd};
  const double cmd = BurnPitchLaw(fpa, launchAngle, useMainEngine,
                                  PitchGains{pitchGainP, pitchGainI, pitchGainD}, dt, state);
  pitchIntegral = state.integral;
  lastPitchCmd = state.lastCmd;
  prevPitchCmd = state.prevCmd;
  return cmd;
}

// Runs after every change of plan in flight mode and after every simulation
// step. Returns false, leaving reqVel and the search state as they were, when
// it finds no finite velocity (vessel over the aim point or its antipode).
bool ArvexMFD::SolveInFlight() {
  VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return false;

  // 1 - The aim point altAboveTarget above the target, body-fixed (y towards
  // the north pole), then in the global frame.
  const double rTgt = altAboveTarget + bodyRadius;
  const VECTOR3 aimBodyFixed =
      _V(rTgt * std::cos(tgtLat) * std::cos(tgtLng), rTgt * std::sin(tgtLat),
         rTgt * std::cos(tgtLat) * std::sin(tgtLng));
  const VECTOR3 T = PlanetToGlobal(aimBodyFixed);

  // 2 - Position and velocity relative to the body, global frame.
  vessel->GetRelativePos(refBody, relPos);
  VECTOR3 V = _V(0, 0, 0);
  vessel->GetRelativeVel(refBody, V);

  // 3 - A climbing vessel keeps its crossing point above the security
  // altitude.
  VECTOR3 airspeed = _V(0, 0, 0);  // horizon frame: x east, y up, z north [m/s]
  vessel->GetHorizonAirspeedVector(airspeed);
  const double floorHeight = airspeed.y > 0 ? securityAlt : 0.0;

  // 4 - The geometry of the hop, then the search from the kept state.
  FlightGeometry geo;
  if (!isFinite(V) || !MakeFlightGeometry(relPos, T, kGravConst * bodyMass, geo)) return false;
  FlightSearchState state{solverStarted, searchDir, solverParam, reqVel};
  if (!SearchFamily(geo, V, bodyRadius, floorHeight, state)) return false;
  solverStarted = state.started;
  searchDir = state.dir;
  solverParam = state.param;
  reqVel = state.reqVel;
  return true;
}

}  // namespace arvex
