// `lobarc plan`: the module's plan for a scenario without flying.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "app/scenario.h"

namespace lobarc {

struct PlanOverrides {
  std::optional<std::string> body;                    // built-in body name
  std::optional<std::pair<double, double>> from;      // vessel lat, lng [deg]
  std::optional<std::pair<double, double>> to;        // target lat, lng [deg]
  std::optional<std::string> target;                  // target base
  std::optional<double> securityAlt_km, altAbove_km;  // [km]
};

// Applies command-line overrides to a scenario; throws ScenarioError.
void applyOverrides(Scenario& sc, const PlanOverrides& ov);

// Enters the scenario's target on the display and reports what the module
// computed: the ground plan, or for a vessel in flight the required
// velocity, with the vessel's state and the aim point in the same frame.
nlohmann::json planScenario(const Scenario& sc, const std::filesystem::path& module);
std::string planText(const nlohmann::json& plan);

}  // namespace lobarc
