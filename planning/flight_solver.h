// The in-flight correction solver's pieces, as plain functions on plain
// values so that they can be exercised without a host.
//
// The family of trial velocities: for a crossing parameter b, the crossing
// point is M = b (P + T), P the vessel and T the aim point, both from the body
// centre. For b > 1/2 the member is the velocity at P on the conic with a
// focus at the body centre that runs P -> M -> T the short way (Gibbs' method
// from three positions). The search looks for the member closest to the
// vessel's current velocity.
//
// Every conic through P and T that runs the short way has, at P, the velocity
// x a + c / x for one x > 0 (x^2 is its semi-latus rectum): a along the chord
// from P to T, c along P (the hodograph of the two-point problem). So the
// search is a minimum of a function of one variable whose slope is a quartic
// in x, and is solved as such rather than stepped towards.
#pragma once

#include "host_sdk.h"

namespace arvex {

// One solve's fixed geometry, global frame relative to the body centre.
struct FlightGeometry {
  VECTOR3 P;    // [m] vessel position
  VECTOR3 T;    // [m] aim point above the target
  VECTOR3 n;    // unit normal P x T / |P x T|, the sense of the short way
  VECTOR3 nxP;  // n x P [m]: the transverse direction at P, times |P|
  double rP;    // |P| [m]
  double rT;    // |T| [m]
  double s;     // |P + T| [m]
  double mu;    // gravitational parameter of the body [m^3/s^2]
};

// Fills geo; false (geo unusable) when the vessel is over the aim point or
// its antipode, or any input is not finite: no plane, no family.
bool MakeFlightGeometry(const VECTOR3& P, const VECTOR3& T, double mu, FlightGeometry& geo);

// Trial velocity [m/s, global frame] at P for crossing parameter b. False,
// and v untouched, when this b gives no finite velocity (crossing point on
// the chord P-T, a conic with no positive semi-latus rectum, ...).
// Allocates nothing.
bool Eval(double b, const FlightGeometry& geo, VECTOR3& v);
// The same from the three raw inputs (any consistent units).
bool Eval(double b, const VECTOR3& P, const VECTOR3& T, double mu, VECTOR3& v);

// The search state kept in the display instance between solves. A fresh
// one is the state before any solve: assigning FlightSearchState{} resets
// the search and its answer.
struct FlightSearchState {
  bool solverStarted = false;    // a solve has been done since the last reset
  int searchDir = +1;            // the side of the family every answer lies on
  double solverParam = 0;        // crossing parameter b of the answer's member (a ratio)
  VECTOR3 reqVel = _V(0, 0, 0);  // [m/s] global frame; the last finite answer
  double timeOfFlight = 0;       // [s] from P to the aim point on the answer's conic
  VECTOR3 aim = _V(0, 0, 0);     // [m] global frame: the aim point of the answer
};

// What one solve did, for tests and benchmarks.
struct FlightSearchTrace {
  int evaluations;     // calls of Eval (the members at the two bounds)
  int rootIterations;  // steps of the root search on the slope of g
  int minima;          // local minima of g found between the bounds
  bool onBound;        // the answer is a bound's member (the floor, as a rule)
  int aimIterations;   // solves for a new aim point (1 when the aim is fixed)
  double distance;     // [m/s] |answer - V|
};

// The member closest to V among those whose crossing parameter lies between
// the bounds: b at least the floor's (R + floorHeight)/s and a hair above 1/2,
// at most the upper bound 400000/s + R. V is the current velocity [m/s,
// global frame], bodyRadius [m], floorHeight [m] the lowest height above the
// radius allowed to the crossing point. The answer does not depend on the
// state's earlier values: every call solves afresh, in closed form. Returns
// false, with state untouched, when no member has a finite velocity.
//
// Crossing parameters below zero (a crossing point behind the body) are not
// searched: the formulas give there, as everywhere, a velocity that moves
// from P the short way round; if its conic reaches the aim point at all it
// is one of the conics through P and T above, so it has a member on this
// side with the same velocity, or it crosses below the floor, which is not
// allowed. All the others miss the aim point.
bool SearchFamily(const FlightGeometry& geo, const VECTOR3& V, double bodyRadius,
                  double floorHeight, FlightSearchState& state, FlightSearchTrace* trace = nullptr);

// The target's motion with its turning body: the point T now is, a time t
// later, T turned by rate * t about axis (right-handed).
struct AimLead {
  VECTOR3 axis;  // unit vector, global frame
  double rate;   // [rad/s]
};

// Time of flight [s] from P to the aim point on the conic of P and velocity
// v, a member of geo's family. False when it is not finite.
bool TimeOfFlight(const FlightGeometry& geo, const VECTOR3& v, double& seconds);

// The aim point led by the body's rotation: the member closest to V among
// those that arrive where the target, T now, will be at their arrival. The
// aim and the member are settled together by a few solves, the first from
// the time of flight kept in state when it is warm. Returns false, with state
// untouched, when no solve found a member.
bool SearchFamilyLeading(const VECTOR3& P, const VECTOR3& T, double mu, const AimLead& lead,
                         const VECTOR3& V, double bodyRadius, double floorHeight,
                         FlightSearchState& state, FlightSearchTrace* trace = nullptr);

// The point T turned by the lead over t seconds.
VECTOR3 LedAimPoint(const VECTOR3& T, const AimLead& lead, double t);

// Lowest crossing parameter the near side may take: a hair above 1/2, where
// the crossing point would sit on the chord from P to T.
constexpr double kNearSideMinParam = 0.5 + 1e-9;

}  // namespace arvex
