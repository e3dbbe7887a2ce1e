// A whole hop in the simulated host: the session, the pilot who flies it
// with the display alone, the referee who measures the outcome, the flight
// recorder and the pictures, put together phase by phase.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/pictures.h"
#include "app/pilot.h"
#include "app/scenario.h"
#include "app/session.h"
#include "app/telemetry.h"

namespace lobarc {

struct FlightResult {
  std::string scenario;
  // "arrived", "missed", "timeout", "aborted", "out of propellant"; with a
  // landing "landed" instead of "arrived"
  std::string outcome;
  bool success = false;
  double goal_miss_m = 0;               // [m] the scenario's goal
  double miss_m = 0;                    // [m] closest distance to the aim point
  double closest_alt_m = 0;             // [m] altitude at closest approach
  double time_s = 0;                    // [s] until the closest approach
  double end_time_s = 0;                // [s] simulation time when the flight ended
  double dv_launch_mps = 0;             // [m/s] thrust delta-v until the switch to flight mode
  double dv_correction_mps = 0;         // [m/s] thrust delta-v after it
  double dv_total_mps = 0;              // [m/s] launch and corrections
  double dv_min_energy_mps = 0;         // [m/s] launch speed of the minimum-energy ballistic hop
  double dv_ratio = 0;                  // total over the minimum-energy figure
  bool propellant_counted = false;      // the vessel burns propellant (else a constant mass)
  double propellant_launch_kg = 0;      // [kg] burnt until the switch to flight mode
  double propellant_correction_kg = 0;  // [kg] after it
  double propellant_left_kg = 0;        // [kg] in the tank at the end
  // With a landing: braking from the coast down to the gate over the
  // target, then the descent to touchdown.
  bool land = false;
  double dv_braking_mps = 0;         // [m/s]
  double dv_landing_mps = 0;         // [m/s]
  double propellant_braking_kg = 0;  // [kg]
  double propellant_landing_kg = 0;  // [kg]
  bool touched_down = false;         // the vessel stands on the ground at the end
  double landing_distance_m = 0;     // [m] over the ground from the target
  double touchdown_speed_mps = 0;    // [m/s] relative to the ground
  double landing_time_s = 0;         // [s] simulation time at the end of the flight
  double goal_landing_m = 0;         // [m] the scenario's goals
  double goal_touchdown_mps = 0;     // [m/s]
  int corrections = 0;
  std::vector<std::string> goals_failed;  // the scenario's goals the hop did not meet
  std::string target_name;                // the target base, "" for coordinates
  double target_lat_deg = 0;              // [deg]
  double target_lng_deg = 0;              // [deg]
  double alt_above_target_m = 0;          // [m] height of the aim point over the target
  PlanShown plan;
  double sim_seconds_per_wall_second = 0;
  std::vector<TelemetryRow> telemetry;
  std::vector<std::filesystem::path> pictures;
  std::string note;                   // why a flight was aborted or stopped
  std::vector<std::string> warnings;  // what makes the hop doubtful, found before it flew
};

struct FlightOptions {
  std::string language;              // "" = the scenario's
  std::optional<double> refresh_s;   // [s] the display's redraw interval; none = the scenario's
  ModuleSource module;               // the library by path, or linked in
  std::ostream* progress = nullptr;  // phase lines while flying
  Pictures pictures;                 // none unless set; the flight stops once `complete`
  bool land = false;                 // on to a touchdown at the target (the program's own pilot)
  bool aim_lead = false;             // AIM_LEAD = 1 in the module's configuration file
};

// Flies the hop, never past the scenario's max_time_s. Throws ScenarioError,
// before anything flies, for a vessel that cannot do the hop at all: its
// engine cannot lift it, or its tank holds less than the launch burn.
FlightResult fly(const Scenario& sc, FlightOptions opt);

// The display pages of the scenario's hop (grounded, in flight 1/2 and 2/2),
// flown just as far as needed; returns the files written.
// A start in flight has no grounded page. With fewer pictures than pages,
// the second value says how the flight ended.
struct PagesDrawn {
  std::vector<std::filesystem::path> files;
  std::string ending;  // the outcome, and the note if there is one
};
PagesDrawn renderPages(const Scenario& sc, FlightOptions opt, const std::filesystem::path& dir,
                       const std::string& format);

}  // namespace lobarc
