// Reading the values typed into the input dialogs (see parameter_entry.h).
#include "display/parameter_entry.h"

#include <cmath>
#include <cstdlib>

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

// Degrees in [-limit, limit], both ends included.
bool ReadDegreesWithin(const char* text, double limit, double& value) {
  double x = 0;
  if (!ParseDegrees(text, x) || x < -limit || x > limit) return false;
  value = x;
  return true;
}

// Whole kilometres of at least minimumKm, as metres.
bool ReadKilometresFrom(const char* text, long minimumKm, double& metres) {
  long n = 0;
  if (!ParseKilometres(text, n) || n < minimumKm) return false;
  metres = static_cast<double>(n) * 1000;
  return true;
}

}  // namespace

bool ReadLatitudeEntry(const char* text, double& latDeg) {
  return ReadDegreesWithin(text, 90, latDeg);
}

bool ReadLongitudeEntry(const char* text, double& lngDeg) {
  return ReadDegreesWithin(text, 180, lngDeg);
}

bool ReadSecurityAltitudeEntry(const char* text, double& altitude) {
  return ReadKilometresFrom(text, 1, altitude);
}

bool ReadAltitudeAboveTargetEntry(const char* text, double& altitude) {
  return ReadKilometresFrom(text, 0, altitude);
}

}  // namespace arvex
