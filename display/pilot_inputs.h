// What the pilot has set up on a display: the target, the two altitudes, the
// launch point, the mode, the page and the engine. The pages show it as it
// is, the display instance plans from it, and the module keeps one copy for
// the next display instance, so the three share this one record.
#pragma once

namespace arvex {

// Defaults of the pilot's altitudes.
inline constexpr double kDefaultSecurityAlt = 40000.0;    // [m]
inline constexpr double kDefaultAltAboveTarget = 5000.0;  // [m]

// A fresh record is a display that knows nothing yet: no target, the default
// altitudes, grounded planning on page 1/2.
struct PilotInputs {
  bool tgtLatSet = false;                    // a target latitude was entered (or a base chosen)
  bool tgtLngSet = false;                    // a target longitude was entered (or a base chosen)
  double securityAlt = kDefaultSecurityAlt;  // [m] lowest apoapsis altitude of the plan
  double altAboveTarget = kDefaultAltAboveTarget;  // [m] height of the in-flight aim point
  double ownLatDeg = 0;                            // [deg, module factor] launch point
  double ownLngDeg = 0;                            // [deg, module factor]
  double tgtLatDeg = 0;                            // [deg, module factor] target
  double tgtLngDeg = 0;                            // [deg, module factor]
  int flightMode = 0;                              // 0 grounded planning, 1 in-flight correction
  int flightPage = 0;                              // 0 = page 1/2, 1 = page 2/2
  bool useMainEngine = false;                      // main engine chosen, else hover
};

}  // namespace arvex
