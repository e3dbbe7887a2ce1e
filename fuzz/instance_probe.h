// What the fuzzer reads of a display instance: a field-by-field copy of an
// ArvexMFD, compared bit for bit (so that a NaN equals itself and -0 differs
// from +0), and the part of it that one instance leaves for the next.
#pragma once

#include <cstdio>
#include <cstring>

#include "ArvexMFD.h"

using namespace arvex;  // the module's own names

namespace fuzz {

// Every field of the instance, in declaration order.
#define LOBARC_INSTANCE_FIELDS(X)                                                                \
  X(tgtLatSet)                                                                                   \
  X(tgtLngSet) X(pitchGainP) X(pitchGainI) X(pitchGainD) X(pitchIntegral) X(lastPitchCmd)        \
      X(prevPitchCmd) X(refBody) X(bodyRadius) X(bodyMass) X(surfaceGravity) X(heading)          \
          X(launchAngle) X(launchSpeed) X(dvRemaining) X(vTan) X(apoAltitude) X(launchVelocity)  \
              X(groundSolValid) X(reqVel) X(dvToGo) X(flightSolValid) X(flightPage)              \
                  X(solverStarted) X(searchDir) X(solverParam) X(flightPathAngle) X(actualPitch) \
                      X(pitchCmd) X(launchPitchSet) X(prevRelVel) X(hasMain) X(hasHover)         \
                          X(useMainEngine) X(flightMode) X(width) X(height) X(lineHeight)        \
                              X(cursorY) X(column2X) X(marginX) X(frameMargin) X(english)        \
                                  X(targetBase) X(securityAlt) X(ownLatDeg) X(ownLngDeg)         \
                                      X(tgtLatDeg) X(tgtLngDeg) X(tgtLat) X(ownLat) X(tgtLng)    \
                                          X(ownLng) X(altAboveTarget) X(relPos) X(prevRelVelFresh)

struct InstanceSnapshot {
#define LOBARC_DECLARE(name) decltype(ArvexMFD::name) name;
  LOBARC_INSTANCE_FIELDS(LOBARC_DECLARE)
#undef LOBARC_DECLARE
};

inline InstanceSnapshot snapshotOf(const ArvexMFD& mfd) {
  InstanceSnapshot s;
#define LOBARC_COPY(name) std::memcpy(&s.name, &mfd.name, sizeof s.name);
  LOBARC_INSTANCE_FIELDS(LOBARC_COPY)
#undef LOBARC_COPY
  return s;
}

// Name of the first field that differs, or null when all are equal bit for bit.
inline const char* firstDifference(const InstanceSnapshot& a, const InstanceSnapshot& b) {
#define LOBARC_COMPARE(name) \
  if (std::memcmp(&a.name, &b.name, sizeof a.name) != 0) return #name;
  LOBARC_INSTANCE_FIELDS(LOBARC_COMPARE)
#undef LOBARC_COMPARE
  return nullptr;
}

// Bitwise equality of two values of one type.
template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace fuzz
