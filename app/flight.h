// A whole hop in the simulated host: the session (host, world, module,
// display), the pilot who flies it with the display alone, and the referee
// who measures the outcome.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ArvexPlan.h"
#include "scenario.h"
#include "sim/host.h"
#include "sim/temp_dir.h"

namespace lobarc {

// Where the module library is: an explicit path, $LOBARC_MODULE, next to the
// program (../modules/ArvexMFD.so), or where the build put it.
std::filesystem::path findModuleLibrary(const std::optional<std::filesystem::path>& explicitPath);

// The host with the scenario's world, the module loaded and one display open
// in the module's mode on the focus vessel.
class Session {
 public:
  Session(const Scenario& sc, const std::string& language, const std::filesystem::path& module);
  ~Session();
  sim::Host& host() { return *host_; }
  std::size_t vessel() const { return vessel_; }
  int display() const { return display_; }
  int bodyIndex() const { return body_; }
  // The display's plan and solution, through the module's exported door
  // (never given to the pilot).
  ArvexPlan plan() const;
  // The point altAboveTarget above the target, global frame, now.
  sim::Vec3 aimPoint(double altAbove_m) const;

 private:
  sim::TempDir config_;
  std::unique_ptr<sim::Host> host_;
  int body_ = 0;
  std::size_t vessel_ = 0;
  int module_ = 0;
  int display_ = -1;
  double tgtLat_ = 0, tgtLng_ = 0;  // [rad]
};

struct PlanShown {
  bool valid = false;
  double heading_deg = 0, launchAngle_deg = 0, apoAltitude_km = 0, vTan_mps = 0,
         launchSpeed_mps = 0;
};

struct TelemetryRow {
  double t_s, lat_deg, lng_deg, alt_m, airspeed_mps, vvert_mps, display_dv_mps, thrust_level,
      aim_distance_m, range_m;
  std::string phase;
};

struct FlightResult {
  std::string scenario;
  std::string outcome;  // "arrived", "missed", "timeout", "aborted"
  bool success = false;
  double goal_miss_m = 0;
  double miss_m = 0;             // closest distance to the aim point [m]
  double closest_alt_m = 0;      // altitude at closest approach [m]
  double time_s = 0;             // until the closest approach [m]
  double dv_launch_mps = 0;      // thrust delta-v until the switch to flight mode
  double dv_correction_mps = 0;  // thrust delta-v after it
  double dv_total_mps = 0;
  double dv_min_energy_mps = 0;  // launch speed of the minimum-energy ballistic hop
  int corrections = 0;
  std::string target_name;
  double target_lat_deg = 0, target_lng_deg = 0, alt_above_target_m = 0;
  PlanShown plan;
  double sim_seconds_per_wall_second = 0;
  std::vector<TelemetryRow> telemetry;
  std::vector<std::filesystem::path> pictures;
  std::string note;  // why a flight was aborted
};

struct FlightOptions {
  std::optional<std::filesystem::path> outDir;  // pictures and telemetry
  std::string language;                         // "" = the scenario's
  std::filesystem::path module;
  std::ostream* progress = nullptr;  // phase lines while flying
  std::string pictureFormat = "png";
  bool stopAfterPictures = false;  // render: stop once every page was drawn
};

FlightResult fly(const Scenario& sc, const FlightOptions& opt);

}  // namespace lobarc
