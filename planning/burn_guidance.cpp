// The launch burn's count and pitch law (see burn_guidance.h).
#include "planning/burn_guidance.h"

#include <algorithm>
#include <cmath>

#include "planning/constants.h"

namespace arvex {

namespace {

// Burn pitch law [deg].
constexpr double kIntegralWindow = 10.0;  // proportional-integral inside, -derivative outside
constexpr double kBand = 20.0;            // the command stays this close to launchAngle
constexpr double kNegativePathFactor = 1.5;
constexpr double kPitchLimit = 80.0;
constexpr double kHoverOffset = 90.0;  // hover engines push along the vessel's vertical axis
constexpr double kVerticalProposal = 90.0;

}  // namespace

bool BurnGainAlongPlan(const BurnStepInput& in, double& gain) {
  // 1 - What gravity takes from the velocity in one step, sign reversed.
  const double rLength = length(in.relPos);
  const VECTOR3 gravityTerm =
      rLength > 0 ? in.relPos * (kGravConst * in.bodyMass / (rLength * rLength * rLength)) * in.dt
                  : _V(0, 0, 0);

  // 2 - The step's velocity change. A sample that is not from the grounded
  // step just before (a new instance, a new vessel, a stretch in flight
  // mode) would count everything since then.
  if (!in.prevRelVelFresh) return false;
  VECTOR3 dv = in.relVel - in.prevRelVel;

  // 3 - In the air, gravity's share is not the burn's.
  if (!in.groundContact) dv = dv + gravityTerm;

  // 4 - The share along the planned launch direction; with no plan yet there
  // is no direction to count along.
  const double planSpeed = length(in.launchVelocity);
  if (!(planSpeed > 0)) return false;
  gain = dotp(dv, in.launchVelocity) / planSpeed;
  return true;
}

double BurnPitchLaw(double fpa, double launchAngle, bool useMainEngine, const PitchGains& gains,
                    double dt, PitchLawState& state) {
  double cmd;
  if (fpa < 0) {
    // 1 - Descending: pitch well up, straight to the hover offset and clamp.
    cmd = kNegativePathFactor * launchAngle;
  } else {
    // 2 - The law. The derivative works on the change of the command between
    // its last two runs, older minus newer.
    const double err = launchAngle - fpa;
    if (std::fabs(err) < kIntegralWindow) {
      state.pitchIntegral += err * dt;
      cmd = launchAngle + gains.pitchGainP * err + gains.pitchGainI * state.pitchIntegral;
    } else {
      cmd = launchAngle + gains.pitchGainP * err +
            gains.pitchGainD * (state.prevPitchCmd - state.lastPitchCmd) / dt;
      state.pitchIntegral = 0;
    }
    // 3 - Band around the planned angle.
    if (std::fabs(cmd - launchAngle) > kBand) {
      cmd = launchAngle > cmd ? launchAngle - kBand : launchAngle + kBand;
    }
    // 4 - Floor: a command below the horizon falls back to the plan.
    if (cmd < 0) cmd = launchAngle;
  }

  // 5 - Hover offset.
  if (!useMainEngine) cmd -= kHoverOffset;

  // 6 - Clamp; a command that is not a number goes to the upper limit.
  if (!(cmd < kPitchLimit)) {
    cmd = kPitchLimit;
  } else if (!(cmd > -kPitchLimit)) {
    cmd = -kPitchLimit;
  }

  // 7 - Memory for the derivative of the next run.
  state.prevPitchCmd = state.lastPitchCmd;
  state.lastPitchCmd = cmd;
  return cmd;
}

double LaunchPitchProposal(double thrust, double weight, double launchAngle, bool useMainEngine) {
  const double gamma = launchAngle / kDegPerRad;  // [rad]

  // theta = gamma + asin((W/F) cos gamma). Where the thrust cannot hold the
  // weight's cross component (D < 0, also no thrust at all) the proposal is
  // straight up; a D that is not a number (no thrust and no weight) is taken
  // the same way.
  const double d = 1 - std::cos(gamma) * (weight * weight * std::cos(gamma)) / (thrust * thrust);
  double theta = kVerticalProposal;
  if (d >= 0) {
    const double cosTheta =
        std::clamp((std::sqrt(d) - std::sin(gamma) * weight / thrust) * std::cos(gamma), -1.0, 1.0);
    theta = std::acos(cosTheta) * kDegPerRad;
  }
  return useMainEngine ? theta : theta - kHoverOffset;
}

}  // namespace arvex
