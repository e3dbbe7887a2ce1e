// Burn monitoring and pitch guidance: after every simulation step, count the
// launch burn down along the planned direction and propose a pitch (grounded
// mode), or keep the in-flight correction current (flight mode).
#include <algorithm>
#include <cmath>

#include "ArvexMFD.h"
#include "vector_ops.h"

namespace arvex {

namespace {

// Thruster group types polled for thrust: main, the group polled with it
// (type 1), and hover.
constexpr THGROUP_TYPE kGroupMain = THGROUP_MAIN;
constexpr THGROUP_TYPE kGroupWithMain = THGROUP_RETRO;
constexpr THGROUP_TYPE kGroupHover = THGROUP_HOVER;

// Burn pitch law [deg].
constexpr double kIntegralWindow = 10.0;  // proportional-integral inside, -derivative outside
constexpr double kBand = 20.0;            // the command stays this close to launchAngle
constexpr double kNegativePathFactor = 1.5;
constexpr double kPitchLimit = 80.0;
constexpr double kHoverOffset = 90.0;  // hover engines push along the vessel's vertical axis
constexpr double kVerticalProposal = 90.0;

}  // namespace

// Body of opcPostStep past its gate; dt is the host's step [s].
void ArvexMFD::PostStep(double dt) {
  VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return;

  // 1. Thrust detection, exact comparison with idle.
  double level0 = 0, level1 = 0, level2 = 0;
  if (hasMain) {
    level0 = vessel->GetThrusterGroupLevel(kGroupMain);
    level1 = vessel->GetThrusterGroupLevel(kGroupWithMain);
  }
  if (hasHover) level2 = vessel->GetThrusterGroupLevel(kGroupHover);
  const double thrusting = (level0 != 0 || level1 != 0 || level2 != 0) ? 1.0 : 0.0;

  // 2. Velocity relative to the body, global frame [m/s].
  VECTOR3 v = _V(0, 0, 0);
  vessel->GetRelativeVel(refBody, v);

  if (flightMode == 0) {
    // 3.1 What gravity takes from the velocity in one step, sign reversed.
    VECTOR3 r = _V(0, 0, 0);
    vessel->GetRelativePos(refBody, r);
    const double rLength = length(r);
    const VECTOR3 gravityTerm =
        rLength > 0 ? r * (kGravConst * bodyMass / (rLength * rLength * rLength)) * dt
                    : _V(0, 0, 0);

    // 3.2 The step's velocity change. A sample that is not from the grounded
    // step just before (a new instance, a new vessel, a stretch in flight
    // mode) would count everything since then: only take the sample.
    const bool counted = prevRelVelFresh;
    VECTOR3 dv = v - prevRelVel;
    prevRelVel = v;
    prevRelVelFresh = true;

    // 3.3 In the air, gravity's share is not the burn's.
    if (!vessel->GroundContact()) dv = dv + gravityTerm;
    if (counted) {
      // 3.4 The share along the planned launch direction; with no plan yet
      // there is no direction to count along.
      const double planSpeed = length(launchVelocity);
      if (planSpeed > 0) dvRemaining -= dotp(dv, launchVelocity) / planSpeed;
    }

    // 3.5 Measured attitude [deg].
    const double pitch = vessel->GetPitch();
    actualPitch = pitch * kDegPerRad;
    flightPathAngle = (pitch - vessel->GetAOA()) * kDegPerRad;

    // 3.6
    UpdatePitchCommand(dt, thrusting);
    return;
  }

  // Any step outside grounded mode leaves prevRelVel behind.
  prevRelVelFresh = false;

  // 4. In flight with a complete target: the correction still needed, from
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
  // 1.
  if (thrusting != 0) {
    pitchCmd = BurnPitchCommand(dt);
    return;
  }
  // 2.
  if (launchPitchSet) return;

  // 3.1 Thrust [N], weight [N], planned flight-path angle [rad].
  VESSEL* vessel = moduleState.focusVessel;
  const double thrust = vessel->GetMaxThrust(useMainEngine ? ENGINE_MAIN : ENGINE_HOVER);
  const double weight = vessel->GetMass() * surfaceGravity;
  const double gamma = launchAngle / kDegPerRad;

  // 3.2-3.3 theta = gamma + asin((W/F) cos gamma). Where the thrust cannot
  // hold the weight's cross component (D < 0, also no thrust at all) the
  // proposal is straight up; a D that is not a number (no thrust and no
  // weight) is taken the same way.
  const double d = 1 - std::cos(gamma) * (weight * weight * std::cos(gamma)) / (thrust * thrust);
  double theta = kVerticalProposal;
  if (d >= 0) {
    const double cosTheta =
        std::clamp((std::sqrt(d) - std::sin(gamma) * weight / thrust) * std::cos(gamma), -1.0, 1.0);
    theta = std::acos(cosTheta) * kDegPerRad;
  }

  // 3.4-3.5
  pitchCmd = useMainEngine ? theta : theta - kHoverOffset;
  launchPitchSet = true;
}

// The burn pitch law [deg]: proportional-integral near launchAngle,
// proportional-derivative far from it.
double ArvexMFD::BurnPitchCommand(double dt) {
  // 1. Measured flight-path angle.
  VESSEL* vessel = moduleState.focusVessel;
  const double fpa = vessel->GetPitch() * kDegPerRad - vessel->GetAOA() * kDegPerRad;

  double cmd;
  if (fpa < 0) {
    // 2. Descending: pitch well up, straight to the hover offset and clamp.
    cmd = kNegativePathFactor * launchAngle;
  } else {
    // 3. The law. The derivative works on the change of the command between
    // its last two runs, older minus newer.
    const double err = launchAngle - fpa;
    if (std::fabs(err) < kIntegralWindow) {
      pitchIntegral += err * dt;
      cmd = launchAngle + pitchGainP * err + pitchGainI * pitchIntegral;
    } else {
      cmd = launchAngle + pitchGainP * err + pitchGainD * (prevPitchCmd - lastPitchCmd) / dt;
      pitchIntegral = 0;
    }
    // 4. Band around the planned angle.
    if (std::fabs(cmd - launchAngle) > kBand) {
      cmd = launchAngle > cmd ? launchAngle - kBand : launchAngle + kBand;
    }
    // 5. Floor.
    if (cmd < 0) cmd = launchAngle;
  }

  // 6. Hover offset.
  if (!useMainEngine) cmd -= kHoverOffset;

  // 7. Clamp; a command that is not a number goes to the upper limit.
  if (!(cmd < kPitchLimit)) {
    cmd = kPitchLimit;
  } else if (!(cmd > -kPitchLimit)) {
    cmd = -kPitchLimit;
  }

  // 8.
  prevPitchCmd = lastPitchCmd;
  lastPitchCmd = cmd;
  return cmd;
}

}  // namespace arvex
