#include "app/report.h"

#include <plplot.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace lobarc {

double landedTotal(const FlightResult& r) {
  return r.dv_total_mps + r.dv_braking_mps + r.dv_landing_mps;
}

nlohmann::json flightReport(const FlightResult& r) {
  nlohmann::json j;
  j["scenario"] = r.scenario;
  j["outcome"] = r.outcome;
  j["success"] = r.success;
  j["goal_miss_m"] = r.goal_miss_m;
  j["miss_m"] = r.miss_m;
  j["closest_altitude_m"] = r.closest_alt_m;
  j["time_s"] = r.time_s;
  j["end_time_s"] = r.end_time_s;
  j["dv_launch_mps"] = r.dv_launch_mps;
  j["dv_correction_mps"] = r.dv_correction_mps;
  j["dv_total_mps"] = r.dv_total_mps;
  j["dv_min_energy_mps"] = r.dv_min_energy_mps;
  // No ratio for a start in flight: there is no ground hop to compare with.
  j["dv_ratio"] = r.dv_min_energy_mps > 0 ? nlohmann::json(r.dv_ratio) : nlohmann::json();
  j["dv_braking_mps"] = r.dv_braking_mps;
  j["dv_landing_mps"] = r.dv_landing_mps;
  if (r.propellant_counted) {
    j["propellant"] = {{"launch_kg", r.propellant_launch_kg},
                       {"correction_kg", r.propellant_correction_kg},
                       {"braking_kg", r.propellant_braking_kg},
                       {"landing_kg", r.propellant_landing_kg},
                       {"left_kg", r.propellant_left_kg}};
  } else {
    j["propellant"] = nullptr;
  }
  if (r.land) {
    j["landing"] = {{"touched_down", r.touched_down},
                    {"distance_m", r.landing_distance_m},
                    {"touchdown_speed_mps", r.touchdown_speed_mps},
                    {"time_s", r.landing_time_s},
                    {"goal_distance_m", r.goal_landing_m},
                    {"goal_touchdown_speed_mps", r.goal_touchdown_mps},
                    {"dv_total_mps", landedTotal(r)},
                    {"dv_min_energy_mps", 2 * r.dv_min_energy_mps}};
  } else {
    j["landing"] = nullptr;
  }
  j["corrections"] = r.corrections;
  j["goals_failed"] = r.goals_failed;
  j["target"] = {{"base", r.target_name.empty() ? nlohmann::json() : nlohmann::json(r.target_name)},
                 {"lat_deg", r.target_lat_deg},
                 {"lng_deg", r.target_lng_deg},
                 {"alt_above_target_m", r.alt_above_target_m}};
  if (r.plan.valid) {
    j["plan"] = {{"heading", r.plan.heading_deg},
                 {"launchAngle", r.plan.launchAngle_deg},
                 {"apoAltitude", r.plan.apoAltitude_km * 1000},
                 {"vTan", r.plan.vTan_mps},
                 {"launchSpeed", r.plan.launchSpeed_mps}};
  } else {
    j["plan"] = nullptr;
  }
  j["sim_seconds_per_wall_second"] = r.sim_seconds_per_wall_second;
  std::vector<std::string> pics;
  for (auto& p : r.pictures) pics.push_back(p.string());
  j["pictures"] = pics;
  if (!r.note.empty()) j["note"] = r.note;
  j["warnings"] = r.warnings;
  return j;
}

void writeTelemetryCsv(const FlightResult& r, const std::filesystem::path& file) {
  std::ofstream f(file);
  if (!f) throw std::runtime_error("cannot write " + file.string() + "; check the folder");
  f << "t_s,phase,lat_deg,lng_deg,alt_m,airspeed_mps,vertical_speed_mps,display_dv_mps,"
       "thrust_level,aim_distance_m,range_m\n";
  f << std::setprecision(10);
  for (auto& t : r.telemetry)
    f << t.t_s << ',' << t.phase << ',' << t.lat_deg << ',' << t.lng_deg << ',' << t.alt_m << ','
      << t.airspeed_mps << ',' << t.vvert_mps << ',' << t.display_dv_mps << ',' << t.thrust_level
      << ',' << t.aim_distance_m << ',' << t.range_m << '\n';
}

namespace {

// One PLplot stream per picture, closed even when drawing fails.
class PlotStream {
 public:
  PlotStream(const std::filesystem::path& file, const char* device) {
    plsdev(device);
    plsfnam(file.string().c_str());
    plsetopt("geometry", "900x600");
    plscolbg(255, 255, 255);
    plinit();
    plscol0(1, 0, 0, 0);
    plscol0(2, 0, 110, 200);
    plscol0(3, 200, 40, 40);
    plscol0(4, 0, 150, 60);
  }
  ~PlotStream() { plend(); }
};

}  // namespace

std::vector<std::filesystem::path> plotTrajectory(const FlightResult& r, const Scenario& sc,
                                                  const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  if (r.telemetry.size() < 2) return files;
  std::vector<double> range, alt, lat, lng;
  for (auto& t : r.telemetry) {
    range.push_back(t.range_m / 1000);
    alt.push_back(t.alt_m / 1000);
    lat.push_back(t.lat_deg);
    lng.push_back(t.lng_deg);
  }
  const int n = static_cast<int>(range.size());
  {
    auto file = dir / "trajectory-profile.png";
    PlotStream s(file, "pngcairo");
    double xmax = *std::max_element(range.begin(), range.end()) * 1.05 + 1;
    double ymax = *std::max_element(alt.begin(), alt.end()) * 1.1 + 1;
    plcol0(1);
    plenv(0, xmax, 0, ymax, 0, 0);
    std::string title = "Hop " + sc.name + ": altitude over distance flown";
    pllab("distance flown over the ground [km]", "altitude [km]", title.c_str());
    plcol0(2);
    plwidth(2);
    plline(n, range.data(), alt.data());
    files.push_back(file);
  }
  {
    auto file = dir / "trajectory-groundtrack.png";
    PlotStream s(file, "pngcairo");
    double lo0 = std::min({*std::min_element(lng.begin(), lng.end()), sc.target.lng_deg});
    double lo1 = std::max({*std::max_element(lng.begin(), lng.end()), sc.target.lng_deg});
    double la0 = std::min({*std::min_element(lat.begin(), lat.end()), sc.target.lat_deg});
    double la1 = std::max({*std::max_element(lat.begin(), lat.end()), sc.target.lat_deg});
    // Longitudes that cross the 180 degree meridian are drawn unwrapped.
    std::vector<double> lngU = lng;
    for (std::size_t i = 1; i < lngU.size(); ++i) {
      while (lngU[i] - lngU[i - 1] > 180) lngU[i] -= 360;
      while (lngU[i] - lngU[i - 1] < -180) lngU[i] += 360;
    }
    double tgtLng = sc.target.lng_deg;
    while (tgtLng - lngU.back() > 180) tgtLng -= 360;
    while (tgtLng - lngU.back() < -180) tgtLng += 360;
    lo0 = std::min({*std::min_element(lngU.begin(), lngU.end()), tgtLng});
    lo1 = std::max({*std::max_element(lngU.begin(), lngU.end()), tgtLng});
    double pad = std::max({lo1 - lo0, la1 - la0}) * 0.15 + 0.2;
    plcol0(1);
    plenv(lo0 - pad, lo1 + pad, la0 - pad, la1 + pad, 1, 0);
    std::string title = "Ground track on " + sc.body.name;
    pllab("longitude [deg]", "latitude [deg]", title.c_str());
    plcol0(2);
    plwidth(2);
    plline(n, lngU.data(), lat.data());
    double sx = lngU.front(), sy = lat.front();
    double tx = tgtLng, ty = sc.target.lat_deg;
    plcol0(4);
    plpoin(1, &sx, &sy, 17);
    std::string from = sc.vessel.base.value_or("start");
    plptex(sx, sy + pad * 0.3, 1, 0, 0.5, from.c_str());
    plcol0(3);
    plpoin(1, &tx, &ty, 17);
    std::string to = sc.target.base.value_or("target");
    plptex(tx, ty + pad * 0.3, 1, 0, 0.5, to.c_str());
    files.push_back(file);
  }
  return files;
}

std::string distance(double m) {
  std::ostringstream s;
  s << std::fixed;
  if (std::abs(m) < 10000)
    s << std::setprecision(0) << m << " m";
  else
    s << std::setprecision(1) << m / 1000 << " km";
  return s.str();
}

std::string summary(const FlightResult& r) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(0);
  s << "Scenario " << r.scenario << ": " << r.outcome;
  if (!r.note.empty()) s << " (" << r.note << ")";
  for (auto& g : r.goals_failed) s << ", goal " << g << " not met";
  s << "\n";
  for (auto& w : r.warnings) s << "  warning: " << w << "\n";
  s << "  closest approach " << distance(r.miss_m) << " from the aim point (goal "
    << distance(r.goal_miss_m) << (r.land ? " without --land" : "") << "), at "
    << distance(r.closest_alt_m) << " altitude, t = " << r.time_s << " s\n";
  if (r.land && r.touched_down)
    s << std::setprecision(1) << "  landing: touched down " << distance(r.landing_distance_m)
      << " from the target (goal " << distance(r.goal_landing_m) << ") at " << r.touchdown_speed_mps
      << " m/s (goal " << r.goal_touchdown_mps << " m/s), t = " << std::setprecision(0)
      << r.landing_time_s << " s\n";
  else if (r.land)
    s << "  landing: not down, " << distance(r.landing_distance_m)
      << " from the target at the end, t = " << r.landing_time_s << " s\n";
  if (r.plan.valid)
    s << "  plan shown: heading " << r.plan.heading_deg << " deg, velocity vector "
      << r.plan.launchAngle_deg << " deg, hMax " << std::setprecision(1) << r.plan.apoAltitude_km
      << std::setprecision(0) << " km, vTan " << r.plan.vTan_mps << " m/s, DeltaV "
      << r.plan.launchSpeed_mps << " m/s\n";
  s << "  delta-v: launch " << r.dv_launch_mps << " m/s + corrections " << r.dv_correction_mps
    << " m/s (" << r.corrections << ") = " << r.dv_total_mps << " m/s";
  if (r.dv_min_energy_mps > 0)
    s << "; minimum-energy hop needs " << r.dv_min_energy_mps << " m/s at launch (ratio "
      << std::setprecision(2) << r.dv_ratio << ")";
  else
    s << "; started in flight, so no minimum-energy hop to compare with";
  s << "\n";
  if (r.land) {
    s << std::setprecision(0) << "  with the landing: + braking " << r.dv_braking_mps
      << " m/s + landing " << r.dv_landing_mps << " m/s = " << landedTotal(r) << " m/s";
    if (r.dv_min_energy_mps > 0)
      s << "; the minimum-energy hop launched and stopped needs " << 2 * r.dv_min_energy_mps
        << " m/s";
    s << "\n";
  }
  if (r.propellant_counted) {
    s << std::setprecision(0) << "  propellant: launch " << r.propellant_launch_kg
      << " kg + corrections " << r.propellant_correction_kg << " kg";
    if (r.land)
      s << " + braking " << r.propellant_braking_kg << " kg + landing " << r.propellant_landing_kg
        << " kg";
    s << ", " << r.propellant_left_kg << " kg left\n";
  }
  s << std::setprecision(0) << "  simulated " << r.sim_seconds_per_wall_second
    << " s per second of wall time\n";
  return s.str();
}

}  // namespace lobarc
