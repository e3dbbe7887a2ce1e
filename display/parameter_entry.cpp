// Lobarc Launch: the values the pilot types into the input dialogs. Each
// handler returns true to accept the text (the dialog closes) or false to
// refuse it (the dialog stays open); a refused entry changes no field.
#include <cmath>
#include <cstdlib>

#include "ArvexMFD.h"

namespace arvex {

namespace {

// Largest altitude a dialog takes [km]: far beyond any hop, and its value in
// metres (1e9) stays well inside an int.
constexpr long kMaxEntryAltitudeKm = 1000000;

// A decimal number with the meaning of atof (leading number, a text that is
// no number gives 0) but defined for every text; false for a value that is
// not a finite number ("nan", "inf", "1e999").
bool ParseDegrees(const char* text, double& value) {
  if (text == nullptr) return false;
  const double x = std::strtod(text, nullptr);
  if (!std::isfinite(x)) return false;
  value = x;
  return true;
}

// A whole number of kilometres with the meaning of atoi (optional white
// space, an optional sign, the leading digits; a text that is no number
// gives 0, "12.7" gives 12) but without overflow: false when the magnitude
// exceeds kMaxEntryAltitudeKm, however many digits follow.
bool ParseKilometres(const char* text, long& value) {
  if (text == nullptr) return false;
  const char* p = text;
  // White space as the C locale knows it; bytes above 127 are not.
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kMaxEntryAltitudeKm) return false;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

// Target dialog: a surface base of the reference body, by its exact name.
bool ArvexMFD::SetTargetByName(const char* text) {
  if (text == nullptr) return false;
  // The host only reads the name, whatever its signature says.
  OBJHANDLE base = oapiGetBaseByName(refBody, const_cast<char*>(text));
  if (base == nullptr) return false;
  targetBase = base;
  tgtLatSet = true;
  tgtLngSet = true;
  double radius = 0;  // not kept
  oapiGetBaseEquPos(base, &tgtLng, &tgtLat, &radius);
  // A new target: the in-flight solver searches from the start.
  solverStarted = false;
  searchDir = +1;
  tgtLatDeg = tgtLat * kDegPerRad;
  tgtLngDeg = tgtLng * kDegPerRad;
  RecomputePlan();
  return true;
}

// Latitude dialog [deg], -90 to 90 with both ends. A latitude drops the base
// but keeps the longitude, so the plan follows at once when that is there.
bool ArvexMFD::SetTargetLatitude(const char* text) {
  double x = 0;
  if (!ParseDegrees(text, x) || x < -90 || x > 90) return false;
  tgtLatDeg = x;
  targetBase = nullptr;
  tgtLatSet = true;
  solverStarted = false;
  searchDir = +1;
  tgtLat = x / kDegPerRad;
  if (tgtLngSet) RecomputePlan();
  return true;
}

// Longitude dialog [deg], -180 to 180 with both ends.
bool ArvexMFD::SetTargetLongitude(const char* text) {
  double x = 0;
  if (!ParseDegrees(text, x) || x < -180 || x > 180) return false;
  tgtLngDeg = x;
  tgtLngSet = true;
  targetBase = nullptr;
  solverStarted = false;
  searchDir = +1;
  tgtLng = x / kDegPerRad;
  if (tgtLatSet) RecomputePlan();
  return true;
}

// Security altitude dialog [km, whole]: at least 1 km.
bool ArvexMFD::SetSecurityAltitude(const char* text) {
  long n = 0;
  if (!ParseKilometres(text, n) || n < 1) return false;
  securityAlt = static_cast<double>(n) * 1000;
  if (TargetComplete()) RecomputePlan();
  return true;
}

// Altitude above target dialog [km, whole]: 0 or more. The in-flight solver
// picks it up at its next run, so nothing is recomputed here.
bool ArvexMFD::SetAltitudeAboveTarget(const char* text) {
  long n = 0;
  if (!ParseKilometres(text, n) || n < 0) return false;
  altAboveTarget = static_cast<double>(n) * 1000;
  return true;
}

}  // namespace arvex
