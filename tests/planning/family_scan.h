// A fine scan of the solver's family of trial velocities, for its tests:
// it shares nothing with the solver's own search but the family itself.
#pragma once

#include <cmath>
#include <limits>

#include "planning/flight_solver.h"
#include "sim/two_body.h"

using namespace arvex;  // the module's own names

namespace twobody {

// g(b) = |Eval(b) - V|, infinite where the family has no member.
inline double FamilyDistance(const FlightGeometry& geo, const VECTOR3& V, double b,
                             VECTOR3* member = nullptr) {
  VECTOR3 v;
  if (!Eval(b, geo, v)) return std::numeric_limits<double>::infinity();
  if (member != nullptr) *member = v;
  return length(v - V);
}

struct ScanResult {
  double b;        // best crossing parameter found
  double g;        // its distance to V [m/s]
  VECTOR3 member;  // its velocity [m/s]
};

// The best near-side member at or above bMin: a logarithmic grid in b - bMin
// up to bMin + 3, then a golden-section refinement between the grid
// neighbours of the best grid point.
inline ScanResult ScanNearSide(const FlightGeometry& geo, const VECTOR3& V, double bMin) {
  constexpr int kGrid = 6000;
  auto bAt = [&](int i) { return i == 0 ? bMin : bMin + std::pow(10.0, -11.0 + 11.5 * i / kGrid); };
  int bestIndex = 0;
  double bestG = FamilyDistance(geo, V, bAt(0));
  for (int i = 1; i <= kGrid; ++i) {
    const double g = FamilyDistance(geo, V, bAt(i));
    if (g < bestG) bestG = g, bestIndex = i;
  }
  double a = bAt(std::max(0, bestIndex - 1)), c = bAt(std::min(kGrid, bestIndex + 1));
  for (int i = 0; i < 200; ++i) {
    const double m1 = a + (c - a) * 0.381966, m2 = c - (c - a) * 0.381966;
    if (FamilyDistance(geo, V, m1) < FamilyDistance(geo, V, m2))
      c = m2;
    else
      a = m1;
  }
  ScanResult result{bAt(bestIndex), bestG, _V(0, 0, 0)};
  const double bRefined = 0.5 * (a + c);
  const double gRefined = FamilyDistance(geo, V, bRefined);
  if (gRefined < result.g) result = {bRefined, gRefined, _V(0, 0, 0)};
  FamilyDistance(geo, V, result.b, &result.member);
  return result;
}

}  // namespace twobody
