// The display instance after every simulation step: the burn count and the
// pitch proposal while grounded, the in-flight correction otherwise. These
// members read the focus vessel, run the planning functions
// (planning/burn_guidance.h, planning/flight_solver.h) and store the results.
#include <cmath>

#include "module/ArvexMFD.h"
#include "planning/burn_guidance.h"
#include "planning/flight_solver.h"

namespace arvex {

namespace {

// Thruster group types polled for thrust: main, the group polled with it
// (type 1), and hover.
constexpr THGROUP_TYPE kGroupMain = THGROUP_MAIN;
constexpr THGROUP_TYPE kGroupWithMain = THGROUP_RETRO;
constexpr THGROUP_TYPE kGroupHover = THGROUP_HOVER;

// One turn [rad], as the module writes it.
constexpr double kTwoPiTurn = 6.28318530717958;

// How a body-fixed point of body moves in the global frame: the body
// turns its points about its own y axis (tilted by the obliquity matrix) by
// the rotation angle, which grows by 2 pi per period; in the right-handed
// sense about that axis the rate is negative.
AimLead BodyTurn(OBJHANDLE body) {
  MATRIX3 m = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  oapiGetPlanetObliquityMatrix(body, &m);
  const double period = oapiGetPlanetPeriod(body);  // [s]
  const double rate = period != 0 && std::isfinite(period) ? -kTwoPiTurn / period : 0.0;
  return AimLead{mul(m, _V(0, 1, 0)), rate};
}

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

  // Thrust detection.
  const double thrusting = Thrusting();

  // Velocity relative to the body, global frame [m/s].
  VECTOR3 v = _V(0, 0, 0);
  vessel->GetRelativeVel(refBody, v);

  if (inputs.flightMode == 0) {
    // Grounded: count the burn along the plan, then take this step's
    // velocity as the sample the next step counts from.
    VECTOR3 r = _V(0, 0, 0);
    vessel->GetRelativePos(refBody, r);
    const BurnStepInput step{
        v,        r, prevRelVel, prevRelVelFresh, vessel->GroundContact(), plan.launchVelocity,
        bodyMass, dt};
    double gain = 0;
    if (BurnGainAlongPlan(step, gain)) plan.dvRemaining -= gain;
    prevRelVel = v;
    prevRelVelFresh = true;

    // Measured attitude [deg].
    const double pitch = vessel->GetPitch();
    actualPitch = pitch * kDegPerRad;
    flightPathAngle = (pitch - vessel->GetAOA()) * kDegPerRad;

    // The pitch to fly.
    UpdatePitchCommand(dt, thrusting);
    return;
  }

  // Any step outside grounded mode leaves prevRelVel behind.
  prevRelVelFresh = false;

  // In flight with a complete target: the correction still needed, from
  // the velocity read before the solver ran.
  if (inputs.flightMode == 1 && inputs.tgtLatSet && inputs.tgtLngSet) {
    const bool wasInBand = inAntipodeBand;
    if (SolveInFlight() && wasInBand) flightSolValid = true;
    const double correction = length(v - search.reqVel);
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
  const double thrust =
      vessel->GetMaxThrust(inputs.useMainEngine ? ENGINE_MAIN : ENGINE_HOVER);  // [N]
  const double weight = vessel->GetMass() * surfaceGravity;                     // [N]
  pitchCmd = LaunchPitchProposal(thrust, weight, plan.launchAngle, inputs.useMainEngine);
  launchPitchSet = true;
}

// The burn pitch law [deg] on the measured flight-path angle.
double ArvexMFD::BurnPitchCommand(double dt) {
  VESSEL* vessel = moduleState.focusVessel;
  const double fpa = vessel->GetPitch() * kDegPerRad - vessel->GetAOA() * kDegPerRad;  // [deg]
  const double cmd =
      BurnPitchLaw(fpa, plan.launchAngle, inputs.useMainEngine, pitchGains, dt, pitchLaw);
  return cmd;
}

namespace {

// Near the antipode of the aim point every plane through the vessel and the
// aim point is a hop of the same length, so the plane the family is built in
// is set by the last fraction of a degree of the vessel's position, and its
// members no longer come near the conic that gets there: the corrections it
// gives climb past escape speed though the vessel's own plane reaches the
// target with the one found a degree before. Inside this band [rad] no
// correction is computed.
constexpr double kAntipodeBand = 1.0 / kDegPerRad;

bool NearAntipode(const VECTOR3& P, const VECTOR3& T) {
  const double lengths = length(P) * length(T);
  return lengths > 0 && dotp(P, T) < -std::cos(kAntipodeBand) * lengths;
}

}  // namespace

// Runs after every change of plan in flight mode and after every simulation
// step. Returns false, leaving the search and its answer as they were, when
// it finds no finite velocity (vessel over the aim point or its antipode), or
// when the vessel is near the antipode: the correction shown stands until it
// has passed, and the search starts afresh behind it, where the short way to
// the target has turned round.
bool ArvexMFD::SolveInFlight() {
  VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return false;

  const VECTOR3 T = AimPoint();

  // Position and velocity relative to the body, global frame.
  vessel->GetRelativePos(refBody, relPos);
  VECTOR3 V = _V(0, 0, 0);
  vessel->GetRelativeVel(refBody, V);

  // A climbing vessel keeps its crossing point above the security
  // altitude.
  VECTOR3 airspeed = _V(0, 0, 0);  // horizon frame: x east, y up, z north [m/s]
  vessel->GetHorizonAirspeedVector(airspeed);
  const double floorHeight = airspeed.y > 0 ? inputs.securityAlt : 0.0;

  inAntipodeBand = NearAntipode(relPos, T);
  if (inAntipodeBand) {
    RestartSearch();
    return false;
  }

  // The geometry of the hop, then the search from the kept state: to
  // where the target is now, or, with the lead, to where it will be when
  // the conic arrives.
  const double mu = kGravConst * bodyMass;
  if (!isFinite(V)) return false;
  if (aimLead) {
    return SearchFamilyLeading(relPos, T, mu, BodyTurn(refBody), V, bodyRadius, floorHeight,
                               search);
  }
  FlightGeometry geo;
  return MakeFlightGeometry(relPos, T, mu, geo) &&
         SearchFamily(geo, V, bodyRadius, floorHeight, search);
}

// The answer found last stays: it is shown until the search finds another.
void ArvexMFD::RestartSearch() {
  search.solverStarted = false;
  search.searchDir = +1;
}

}  // namespace arvex
