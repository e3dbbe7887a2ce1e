// The launch burn as plain functions: the count of the velocity gained along
// the planned launch direction, the pitch law flown while the engines burn,
// and the pitch proposed before they are lit.
#pragma once

#include "host_sdk.h"

namespace arvex {

// One grounded simulation step, as the burn count sees it.
struct BurnStepInput {
  VECTOR3 relVel;          // [m/s] global frame, relative to the body, this step
  VECTOR3 relPos;          // [m] global frame, relative to the body centre
  VECTOR3 prevRelVel;      // [m/s] the sample taken at the step before
  bool prevRelVelFresh;    // that sample is from the grounded step just before
  bool groundContact;      // the vessel stands on the surface
  VECTOR3 launchVelocity;  // [m/s] global frame, the plan; zero when there is none
  double bodyMass;         // [kg]
  double dt;               // [s] the step's length
};

// The step's velocity gain along the planned direction [m/s] in gain; false
// (gain untouched) when the step is not counted: the previous sample is not
// from the grounded step just before, or there is no plan to count along.
bool BurnGainAlongPlan(const BurnStepInput& in, double& gain);

// The pitch law's gains and its memory between steps.
struct PitchGains {
  double pitchGainP;  // [deg/deg] proportional
  double pitchGainI;  // [1/s] integral
  double pitchGainD;  // [s] derivative
};
// The gains every display starts with.
inline constexpr PitchGains kPitchGains = {0.85, 0.14, 0.1};

// Empty when a display starts, and emptied again by assigning a fresh one.
struct PitchLawState {
  double pitchIntegral = 0;  // [deg s] of the error while inside the integral window
  double lastPitchCmd = 0;   // [deg] the command of the last run
  double prevPitchCmd = 0;   // [deg] the command of the run before
};

// The burn pitch command [deg], in (-80, 80] or exactly +-80: proportional-
// integral near launchAngle, proportional-derivative far from it, pitched up
// hard while descending. fpa and launchAngle [deg], dt [s]. For the hover
// engines the command is 90 deg lower. Updates state.
double BurnPitchLaw(double fpa, double launchAngle, bool useMainEngine, const PitchGains& gains,
                    double dt, PitchLawState& state);

// The pitch [deg] at which full thrust [N] and weight [N] together
// accelerate the vessel along launchAngle [deg]; straight up where the
// thrust cannot hold the weight's cross component. For the hover engines the
// proposal is 90 deg lower.
double LaunchPitchProposal(double thrust, double weight, double launchAngle, bool useMainEngine);

}  // namespace arvex
