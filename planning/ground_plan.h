// The ground launch plan as plain functions: one ballistic ellipse about the
// body's centre through the launch point and the target, its apoapsis above
// the middle of the great-circle arc and never below the security altitude;
// the heading and launch angle that fly it, and its launch direction.
//
// Angles are radians inside the computations; heading and launch angle are
// degrees with the module's factor kDegPerRad.
#pragma once

#include "host_sdk.h"
#include "planning/constants.h"

namespace arvex {

// What the ellipse is planned from.
struct GroundPlanInput {
  double bodyRadius;      // [m]
  double bodyMass;        // [kg]
  double surfaceGravity;  // [m/s^2]
  double securityAlt;     // [m] lowest apoapsis height allowed
  double ownLat;          // [rad] launch point
  double ownLng;          // [rad]
  double tgtLat;          // [rad] target
  double tgtLng;          // [rad]
};

// The ellipse of the plan and the numbers the pilot flies it by.
struct GroundEllipse {
  double apoAltitude;  // [m] above bodyRadius
  double vTan;         // [m/s] speed at apoapsis
  double launchSpeed;  // [m/s] with its 2 % margin
  double launchAngle;  // [deg, module factor] elevation of the launch velocity
};

GroundEllipse SolveGroundEllipse(const GroundPlanInput& in);

// A display's plan, as the grounded page shows it and the burn counts it
// down. A fresh one is no plan: assigning GroundPlan{} clears every value.
struct GroundPlan {
  double heading = 0;      // [deg, module factor] launch azimuth from north through east
  double launchAngle = 0;  // [deg, module factor] elevation of the launch velocity
  double launchSpeed = 0;  // [m/s] with its 2 % margin
  double dvRemaining = 0;  // [m/s] still to burn along the plan
  double vTan = 0;         // [m/s] speed at apoapsis
  double apoAltitude = 0;  // [m] above bodyRadius
  VECTOR3 launchVelocity = _V(0, 0, 0);  // [m/s] global frame
  bool groundSolValid = false;           // the values above are a plan
};

// The whole plan: the ellipse, the heading and the launch velocity, turned
// into the global frame by the body's obliquity matrix and its rotation
// [rad] at this moment. Nothing is burnt yet: dvRemaining is the whole
// launch speed. Always valid: a heading is always produced.
GroundPlan PlanGroundLaunch(const GroundPlanInput& in, const MATRIX3& obliquity, double rotation);

// The launch azimuth [deg, module factor] from north through east, in
// [0, 360]: always a finite number for finite inputs [rad].
double LaunchHeading(double ownLat, double ownLng, double tgtLat, double tgtLng);

// Unit launch direction in the body-fixed frame (x to latitude 0 longitude
// 0, y to the north pole): launchAngle [deg] above the local horizon,
// heading [deg] from north, at the launch point [rad].
VECTOR3 LaunchDirectionBodyFixed(double launchAngle, double heading, double ownLat, double ownLng);

// A body-fixed vector in the global frame: turned by the body's rotation
// [rad] about its axis, then by its obliquity matrix.
VECTOR3 BodyFixedToGlobal(const VECTOR3& v, const MATRIX3& obliquity, double rotation);

}  // namespace arvex
