// What the fuzzer reads of a display instance: the plan record the module
// exports to every add-on, compared field by field and bit for bit (so that a
// NaN equals itself and -0 differs from +0). The fuzzer knows nothing of the
// module's class.
#pragma once

#include <cstring>

#include "lobarc/ArvexPlan.h"
#include "lobarc/entry_points.h"

namespace fuzz {

// Every field of the record past its size and version, in declaration
// order, but the display's own (flightPage, english, width, height,
// lineHeight, column2X): what a display shows is read from its drawn page.
// clang-format off
#define LOBARC_PLAN_FIELDS(X)                                                                      \
  X(flightMode) X(targetComplete) X(groundSolValid) X(heading) X(launchAngle) X(apoAltitude)       \
  X(vTan) X(launchSpeed) X(dvRemaining) X(pitchCmd) X(launchVelocity) X(flightSolValid) X(reqVel)  \
  X(dvToGo) X(aimPoint) X(tgtLatDeg) X(tgtLngDeg) X(securityAlt) X(altAboveTarget) X(ownLatDeg)    \
  X(ownLngDeg) X(ownLat) X(ownLng) X(tgtLat) X(tgtLng) X(targetBase) X(tgtLatSet) X(tgtLngSet)     \
  X(hasMain) X(hasHover) X(useMainEngine) X(surfaceGravity) X(flightPathAngle) X(actualPitch)      \
  X(aimLead)
// clang-format on

// Reads the record of a display as any add-on does; false when the module
// refuses the display or fills an older version.
inline bool readPlan(const MFD* display, ArvexPlan& plan) {
  std::memset(&plan, 0, sizeof plan);
  plan.size = sizeof plan;
  return ArvexGetPlan(display, &plan) == 1 && plan.version == ARVEX_PLAN_VERSION;
}

// Name of the first field that differs, or null when all are equal bit for bit.
inline const char* firstDifference(const ArvexPlan& a, const ArvexPlan& b) {
#define LOBARC_COMPARE(name) \
  if (std::memcmp(&a.name, &b.name, sizeof a.name) != 0) return #name;
  LOBARC_PLAN_FIELDS(LOBARC_COMPARE)
#undef LOBARC_COMPARE
  return nullptr;
}

// Bitwise equality of two values of one type.
template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace fuzz
