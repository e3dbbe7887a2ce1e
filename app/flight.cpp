#include "flight.h"

#include <chrono>
#include <cmath>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "cockpit.h"
#include "referee.h"

namespace lobarc {
namespace {

std::string fmtKm(double v) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(1) << v / 1000;
  return s.str();
}

// Thrust acceleration of the vessel's groups at their levels [m/s^2]; a
// group whose tank is empty gives none.
double thrustAcceleration(const sim::Vessel& v) { return v.netThrust() / v.mass(); }

// One hop, phase by phase. The pilot decides; the flight lets time pass for
// it (every step watched by the referee and the recorder) and says what
// happens.
class Flight {
 public:
  Flight(const Scenario& sc, FlightOptions opt);
  FlightResult run();

 private:
  void flyPhases();
  void advance(double dt);
  void say(const std::string& phase, const std::string& what);
  void logProgress(double aimDistance_m);
  bool launch();  // pad to airborne; false: aborted, res_.note says why
  void enterFlightMode();
  void coastAndCorrect();
  void correct(double dv, bool first);
  void judge();
  sim::Vessel& vessel() { return session_.host().world().vessel(session_.vessel()); }

  const Scenario& sc_;
  FlightOptions opt_;
  std::chrono::steady_clock::time_point wallStart_ = std::chrono::steady_clock::now();
  Session session_;
  Cockpit cockpit_;
  Pilot pilot_;
  Referee referee_;
  Telemetry telemetry_;
  Engine engine_;
  FlightResult res_;
  std::string phase_ = "pad";
  double lastLog_s_ = -1e9;  // [s] simulation time of the last progress line
  double dvLaunch_ = 0;      // [m/s] thrust delta-v before the switch to flight mode
  double dvCorr_ = 0;        // [m/s] after it
  double propLaunch_ = 0;    // [kg] propellant burnt before the switch to flight mode
  double propCorr_ = 0;      // [kg] after it
  bool switched_ = false;    // the display is in flight mode
};

std::string languageOf(const Scenario& sc, const FlightOptions& opt) {
  return opt.language.empty() ? sc.display.language : opt.language;
}

Flight::Flight(const Scenario& sc, FlightOptions opt)
    : sc_(sc),
      opt_(std::move(opt)),
      session_(sc, languageOf(sc, opt_), opt_.module),
      cockpit_(session_.host(), session_.vessel(), session_.display(),
               opt_.refresh_s.value_or(sc.display.refresh_s)),
      pilot_(cockpit_, sc, languageOf(sc, opt_) == "fr", [this](double dt) { advance(dt); }),
      referee_(session_, sc.target.alt_above_target_km * 1000),
      telemetry_(session_) {
  res_.scenario = sc.name;
  res_.goal_miss_m = sc.goal_miss_m;
  res_.target_name = sc.target.base.value_or("");
  res_.target_lat_deg = sc.target.lat_deg;
  res_.target_lng_deg = sc.target.lng_deg;
  res_.alt_above_target_m = sc.target.alt_above_target_km * 1000;
  const sim::Body& b = session_.host().world().body(session_.bodyIndex());
  res_.dv_min_energy_mps = Referee::minimumEnergySpeed(sc, b.mu(), b.radius());
}

// Time passes: the engines burn (their delta-v counted), the host steps, the
// referee and the recorder watch, and a progress line every 20 s.
void Flight::advance(double dt) {
  (switched_ ? dvCorr_ : dvLaunch_) += thrustAcceleration(vessel()) * dt;
  const double tank = vessel().propellant();  // [kg]
  cockpit_.control(dt);
  session_.host().step(dt);
  (switched_ ? propCorr_ : propLaunch_) += tank - vessel().propellant();
  cockpit_.afterStep();
  const double d = referee_.observe();
  telemetry_.sample(d, pilot_.shownDv(), phase_);
  logProgress(d);
}

void Flight::logProgress(double aimDistance_m) {
  const double t = session_.host().simTime();
  if (t - lastLog_s_ < 20 && t >= lastLog_s_) return;
  lastLog_s_ = t;
  std::ostringstream s;
  s << "alt " << std::setw(6) << fmtKm(vessel().altitude()) << " km  speed " << std::setw(5)
    << std::lround(cockpit_.airspeed()) << " m/s  Dv " << std::setw(7) << std::fixed
    << std::setprecision(1) << pilot_.shownDv() << " m/s  aim " << std::setw(7)
    << fmtKm(aimDistance_m) << " km";
  say(phase_, s.str());
}

void Flight::say(const std::string& phase, const std::string& what) {
  if (opt_.progress == nullptr) return;
  *opt_.progress << "[" << std::setw(7) << std::fixed << std::setprecision(1)
                 << session_.host().simTime() << " s] " << std::left << std::setw(11) << phase
                 << std::right << what << std::endl;
}

FlightResult Flight::run() {
  flyPhases();
  res_.telemetry = telemetry_.take();
  res_.pictures = opt_.pictures.files();
  return res_;
}

void Flight::flyPhases() {
  // Target and engine: chosen on the display, read back from it.
  pilot_.enterTarget();
  engine_ = pilot_.engine();
  say("target", (sc_.target.base ? *sc_.target.base : std::string("coordinates")) + ", engine " +
                    (engine_.main ? "main" : "hover"));
  if (cockpit_.groundContact() && !launch()) return;
  if (cockpit_.groundContact()) {
    res_.outcome = "aborted";
    res_.note = "the vessel did not leave the ground";
    return;
  }
  enterFlightMode();
  coastAndCorrect();
  judge();
}

// On the pad: read the plan and the pre-burn pitch (the proposal appears
// after a step), turn, burn to MECO, then climb out.
bool Flight::launch() {
  res_.plan = pilot_.readPlan();
  if (!res_.plan.valid) {
    res_.outcome = "aborted";
    res_.note = "the display shows no launch plan";
    return false;
  }
  std::ostringstream s;
  s << "heading " << res_.plan.heading_deg << " deg, velocity vector " << res_.plan.launchAngle_deg
    << " deg, hMax " << res_.plan.apoAltitude_km << " km, DeltaV " << res_.plan.launchSpeed_mps
    << " m/s";
  say("plan", s.str());
  opt_.pictures.take("pad", cockpit_);
  const double pitchDeg = pilot_.takeLaunchAttitude(res_.plan);
  phase_ = "burn";
  say(phase_, "pitch " + std::to_string(std::lround(pitchDeg)) + " deg, full throttle");
  pilot_.burnToMeco(res_.plan, engine_);
  say("meco", "engines off, speed " + std::to_string(std::lround(cockpit_.airspeed())) + " m/s");
  opt_.pictures.take("meco", cockpit_);
  phase_ = "climb";
  pilot_.climbOut();
  return true;
}

// Airborne: the display to flight mode, then page 2/2.
void Flight::enterFlightMode() {
  pilot_.switchToFlightMode();
  switched_ = true;
  phase_ = "coast";
  say("switch", "display in flight mode");
  pilot_.nextRedraw();
  opt_.pictures.take("page1", cockpit_);
  pilot_.turnToPage2();
  pilot_.waitForSettledAnswer();
  std::ostringstream s;
  s << "answer settled: Dv " << std::fixed << std::setprecision(1) << pilot_.shownDv() << " m/s";
  say("settle", s.str());
}

// Corrections and coast until the closest approach (or the ground, or the
// scenario's time limit).
void Flight::coastAndCorrect() {
  bool first = true;
  while (session_.host().simTime() < sc_.max_time_s) {
    // The first look at the settled answer decides the first correction.
    const auto dv = pilot_.correctionToFly(first, res_.alt_above_target_m);
    if (first) opt_.pictures.take("page2-before", cockpit_);
    if (opt_.pictures.complete()) return;
    if (dv) correct(*dv, first);
    first = false;
    if (vessel().groundContact()) break;
    if (referee_.pastClosestApproach(cockpit_.verticalSpeed(), vessel().altitude())) break;
  }
}

void Flight::correct(double dv, bool first) {
  phase_ = "correct";
  ++res_.corrections;
  std::ostringstream s;
  s << "correction " << res_.corrections << ": Dv " << std::fixed << std::setprecision(1) << dv
    << " m/s";
  say(phase_, s.str());
  pilot_.burnCorrection(engine_);
  if (first) opt_.pictures.take("page2-after", cockpit_);
  phase_ = "coast";
}

void Flight::judge() {
  res_.miss_m = referee_.closest();
  res_.time_s = referee_.closestTime();
  res_.closest_alt_m = referee_.closestAltitude();
  res_.dv_launch_mps = dvLaunch_;
  res_.dv_correction_mps = dvCorr_;
  res_.dv_total_mps = dvLaunch_ + dvCorr_;
  res_.propellant_counted = sc_.vessel.isp_main_mps > 0 || sc_.vessel.isp_hover_mps > 0;
  res_.propellant_launch_kg = propLaunch_;
  res_.propellant_correction_kg = propCorr_;
  res_.propellant_left_kg = vessel().propellant();
  res_.dv_ratio = res_.dv_min_energy_mps > 0 ? res_.dv_total_mps / res_.dv_min_energy_mps : 0;
  const bool arrived = res_.miss_m <= sc_.goal_miss_m;
  res_.outcome = Referee::outcome(arrived, session_.host().simTime(), sc_.max_time_s);
  if (!arrived) res_.goals_failed.push_back("miss_m");
  if (sc_.goal_max_corrections && res_.corrections > *sc_.goal_max_corrections)
    res_.goals_failed.push_back("max_corrections");
  if (sc_.goal_max_dv_ratio && res_.dv_ratio > *sc_.goal_max_dv_ratio)
    res_.goals_failed.push_back("max_dv_ratio");
  res_.success = res_.goals_failed.empty() && res_.outcome == "arrived";
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
  res_.sim_seconds_per_wall_second = wall > 0 ? session_.host().simTime() / wall : 0;
  std::ostringstream s;
  s << res_.outcome << ": closest approach " << std::fixed << std::setprecision(0) << res_.miss_m
    << " m from the aim point at t = " << res_.time_s << " s";
  say("end", s.str());
}

}  // namespace

FlightResult fly(const Scenario& sc, FlightOptions opt) {
  Flight flight(sc, std::move(opt));
  return flight.run();
}

std::vector<std::filesystem::path> renderPages(const Scenario& sc, FlightOptions opt,
                                               const std::filesystem::path& dir,
                                               const std::string& format) {
  opt.pictures = Pictures::pages(dir, format);
  return fly(sc, std::move(opt)).pictures;
}

}  // namespace lobarc
