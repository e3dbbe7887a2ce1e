// What a flight leaves behind: the JSON report, the telemetry CSV and the
// trajectory pictures.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "app/flight.h"

namespace lobarc {

// Delta-v of the whole hop with its landing: launch, corrections, braking
// and landing [m/s].
double landedTotal(const FlightResult& r);
nlohmann::json flightReport(const FlightResult& r);
void writeTelemetryCsv(const FlightResult& r, const std::filesystem::path& file);
// Altitude over distance flown, and the ground track with both ends marked,
// drawn with PLplot. Returns the files written.
std::vector<std::filesystem::path> plotTrajectory(const FlightResult& r, const Scenario& sc,
                                                  const std::filesystem::path& dir);
// A distance as a reader takes it in: metres below 10 km, then kilometres.
std::string distance(double m);

std::string summary(const FlightResult& r);

}  // namespace lobarc
