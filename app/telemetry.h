// The flight recorder: one row a second while coasting, one every step while
// an engine burns.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"

namespace lobarc {

struct TelemetryRow {
  double t_s;             // [s] simulation time
  double lat_deg;         // [deg]
  double lng_deg;         // [deg]
  double alt_m;           // [m] above the body's radius
  double airspeed_mps;    // [m/s] relative to the surface
  double vvert_mps;       // [m/s] vertical speed, up positive
  double display_dv_mps;  // [m/s] the delta-v the display showed last
  double thrust_level;    // highest throttle of the vessel's groups, 0..1
  double aim_distance_m;  // [m] from the aim point
  double range_m;         // [m] great-circle distance from the start
  std::string phase;      // the flight's phase: "pad", "burn", "coast", ...
};

class Telemetry {
 public:
  explicit Telemetry(Session& session);
  // Records a row unless the last one is less than a second old and no
  // engine burns.
  void sample(double aimDistance_m, double displayDv_mps, const std::string& phase);
  const std::vector<TelemetryRow>& rows() const { return rows_; }
  std::vector<TelemetryRow> take() { return std::move(rows_); }

 private:
  Session& session_;
  double startLat_deg_ = 0;  // [deg] where the vessel started, on the body
  double startLng_deg_ = 0;  // [deg]
  double lastRow_s_ = -1e9;  // [s] simulation time of the last row
  std::vector<TelemetryRow> rows_;
};

// Highest throttle of the vessel's main, retro and hover groups, 0..1.
double totalLevel(const sim::Vessel& v);

}  // namespace lobarc
