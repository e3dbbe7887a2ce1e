// What the pilot has set up on a display: the target, the two altitudes, the
// launch point, the mode, the page and the engine. The pages show it as it
// is, the display instance plans from it, and the module keeps one copy for
// the next display instance, so the three share this one record.
#pragma once

namespace arvex {

// Defaults of the pilot's altitudes.
inline constexpr double kDefaultSecurityAlt = 40000.0;    // [m]
inline constexpr double kDefaultAltAboveTarget = 5000.0;  // [m]

// No member initialisers: the module keeps a copy in its static state, which
// must stay zero at load, with no code run to set it up. A display starts
// from kFreshInputs.
struct PilotInputs {
  bool tgtLatSet;         // a target latitude was entered (or a base chosen)
  bool tgtLngSet;         // a target longitude was entered (or a base chosen)
  double securityAlt;     // [m] lowest apoapsis altitude of the plan
  double altAboveTarget;  // [m] height of the in-flight aim point
  double ownLatDeg;       // [deg, module factor] launch point
  double ownLngDeg;       // [deg, module factor]
  double tgtLatDeg;       // [deg, module factor] target
  double tgtLngDeg;       // [deg, module factor]
  int flightMode;         // 0 grounded planning, 1 in-flight correction
  int flightPage;         // 0 = page 1/2, 1 = page 2/2
  bool useMainEngine;     // main engine chosen, else hover
};

// A display that knows nothing yet: no target, the default altitudes,
// grounded planning on page 1/2.
inline constexpr PilotInputs kFreshInputs = {
    false, false, kDefaultSecurityAlt, kDefaultAltAboveTarget, 0, 0, 0, 0, 0, 0, false};

}  // namespace arvex
