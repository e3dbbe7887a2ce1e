// Scenarios of the lobarc program: a body, a vessel, a target and a display,
// read from TOML (a file, or one of the built-in texts).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/world.h"

namespace lobarc {

// A scenario that cannot be used. The message names the file, the key and
// the fix.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct VesselSetup {
  std::optional<std::string> base;  // on the ground at a base, or:
  double lat_deg = 0, lng_deg = 0;  // [deg]
  bool in_flight = false;
  double altitude_m = 0;                                       // [m] in flight only
  double vel_east_mps = 0, vel_north_mps = 0, vel_up_mps = 0;  // [m/s] relative to the surface
  double mass_kg = 0;        // [kg] dry with propellant_kg, else the constant mass
  double propellant_kg = 0;  // [kg] at the start
  double isp_main_mps = 0;   // exhaust velocities [m/s]; 0: the group burns no propellant
  double isp_hover_mps = 0;
  double main_thrust_n = 0;   // [N], 0: no main engines
  double hover_thrust_n = 0;  // [N], 0: no hover engines
};

struct TargetSetup {
  std::optional<std::string> base;  // a base by name, or:
  double lat_deg = 0, lng_deg = 0;  // [deg]
  double security_alt_km = 40;      // [km], whole kilometres (the dialog takes integers)
  double alt_above_target_km = 5;   // [km]
};

struct DisplaySetup {
  std::string language = "en";    // "en" or "fr"
  int width = 290, height = 290;  // [pixel]
  double refresh_s = 1.0;         // [s] redraw interval in simulated time (Orbiter 2016's default)
};

struct Scenario {
  std::string name;         // built-in name or file stem
  std::string source;       // file path or "built-in"
  std::string description;  // one line
  sim::BodySpec body;
  VesselSetup vessel;
  TargetSetup target;
  DisplaySetup display;
  double goal_miss_m = 2000;  // [m] the hop arrives when the closest approach is within this
  double max_time_s = 7200;   // [s] the flight is given up after this
  std::optional<int> goal_max_corrections;  // at most this many correction burns
  std::optional<double> goal_max_dv_ratio;  // total delta-v over the minimum-energy hop's
  // With a landing (fly --land): touchdown within this distance of the
  // target and no faster than this.
  double goal_landing_m = 100;    // [m]
  double goal_touchdown_mps = 2;  // [m/s]
};

struct BuiltinInfo {
  std::string name;
  std::string description;
};

// The built-in scenarios; the first is the default.
std::vector<BuiltinInfo> builtinScenarios();
std::string defaultScenarioName();

// A base of the body by name, or null; and the names, for messages. Names
// match whatever their case, as the host's base lookup (and so the display's
// target dialog) matches them.
const sim::Base* findBase(const sim::BodySpec& body, const std::string& name);
std::string baseList(const sim::BodySpec& body);
// A built-in body by name, whatever its case; and the names, for messages.
std::optional<sim::BodySpec> findBody(const std::string& name);
std::string bodyList();

// The one rule for the security altitude (lowest 1) and the altitude above
// the target (lowest 0) wherever they are given: whole kilometres from
// lowest to kMaxAltitudeKm. The display reads "30.5" as 30; a scenario, an
// option and the playground's dialog refuse it instead, so what is flown is
// what was typed. Returns what is wrong with the value, or "" when it is
// sound.
constexpr double kMaxAltitudeKm = 10000;
std::string altitudeProblem(double km, double lowest_km);
// The same for a text as typed: a plain number, nothing else.
std::string altitudeEntryProblem(const std::string& text, double lowest_km);
// Refuses a hop that means nothing: a vessel on the ground whose target is
// the launch point. source names the scenario for the message.
void checkHop(const Scenario& sc);

// Loads a built-in scenario by name, or a TOML file by path. Throws
// ScenarioError.
Scenario loadScenario(const std::string& nameOrPath);
Scenario parseScenario(const std::string& tomlText, const std::string& source,
                       const std::string& name);

// Adds the scenario's vessel ("Lander") to the world on body bodyIndex,
// landed or in flight as the scenario places it; returns its index.
std::size_t addScenarioVessel(sim::World& world, int bodyIndex, const Scenario& sc);

}  // namespace lobarc
