// The in-flight correction solver's pieces, as plain functions on plain
// values so that they can be exercised without a host.
//
// The family of trial velocities: for a crossing parameter b, the crossing
// point is M = b (P + T), P the vessel and T the aim point, both from the body
// centre. For b > 1/2 the member is the velocity at P on the conic with a
// focus at the body centre that runs P -> M -> T the short way (Gibbs' method
// from three positions). The search looks for the member closest to the
// vessel's current velocity.
#pragma once

#include "host_sdk.h"

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

// The search state kept in the display instance between solves.
struct FlightSearchState {
  bool started;    // solverStarted: the cold solve (both passes) has been done
  int dir;         // searchDir: +1 near side, -1 far side
  double param;    // solverParam: crossing parameter b reached by the first pass
  VECTOR3 reqVel;  // [m/s] global frame; the last finite answer
};

// What one search did, for tests and benchmarks.
struct FlightSearchTrace {
  int nearIterations;  // iterations of the first pass
  int farIterations;   // iterations of the far-side pass, 0 when it did not run
  bool farSideRan;
  bool farSideWon;
  double nearDistance;  // [m/s] |first pass's answer - V|, infinite if none
  double farDistance;   // [m/s] |far-side pass's answer - V|, infinite if none or not run
  int evaluations;      // calls of Eval

  // Warm passes that a cold solve added to settle its answer, their
  // iterations, and whether it settled (rather than stopping on the bound).
  int settlingPasses;
  int settlingIterations;
  bool settled;
};

// One solve: the first pass from state.param (warm) or from the default
// start (cold), then, on a cold solve, the far-side pass, whose answer is
// taken only when strictly closer to V and leading to the aim point, and
// warm passes until they settle (at most 16). On the
// near side no step is taken to a b with a larger distance to V. V is the current
// velocity [m/s, global frame], bodyRadius [m], floorHeight [m] the lowest
// height above the radius allowed to the near-side crossing point. Returns
// false, with state untouched, when neither pass found a finite velocity.
bool SearchFamily(const FlightGeometry& geo, const VECTOR3& V, double bodyRadius,
                  double floorHeight, FlightSearchState& state, FlightSearchTrace* trace = nullptr);

// Lowest crossing parameter the near side may take: a hair above 1/2, where
// the crossing point would sit on the chord from P to T.
constexpr double kNearSideMinParam = 0.5 + 1e-9;
