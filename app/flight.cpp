#include "app/flight.h"

#include <chrono>
#include <cmath>
#include <iomanip>
#include <numbers>
#include <ostream>
#include <sstream>

#include "app/cockpit.h"
#include "app/lander.h"
#include "app/referee.h"
#include "app/report.h"

namespace lobarc {
namespace {

std::string fmtKm(double v) {
  std::ostringstream s;
  // No "-0.0" for a vessel a hair below the reference radius.
  s << std::fixed << std::setprecision(1) << (std::fabs(v) < 50 ? 0.0 : v / 1000);
  return s.str();
}

// What the hop spends, phase by phase.
enum Spend { kLaunch, kCorrections, kBraking, kLanding, kPhases };

// The delta-v of a step whose throttles stay put: thrust over mass
// integrated as the mass falls from m0 to m1 at the flow (the rocket
// equation, exact also when the tank runs dry within the step), or at a
// constant mass for groups that burn no propellant.
double burnDeltaV(double thrust_n, double flow_kgps, double m0, double m1, double dt) {
  if (thrust_n <= 0) return 0;
  if (flow_kgps <= 0 || m1 >= m0) return thrust_n / m0 * dt;
  return thrust_n / flow_kgps * std::log(m0 / m1);
}

// The tank ran dry: the flight ends there.
struct OutOfPropellant {};
// The scenario's time limit: the flight ends there too.
struct TimeUp {};
// The launch burn went on with the vessel still on the ground.
struct StuckOnGround {};

// The flow of propellant at the groups' throttles [kg/s], from the data
// sheet; none from groups that burn none or while the tank is empty.
double nominalFlow(const sim::Vessel& v) {
  if (v.propellant() <= 0) return 0;
  const sim::VesselSpec& s = v.spec();
  double flow = 0;
  for (auto [g, isp] :
       {std::pair{THGROUP_MAIN, s.isp_main_mps}, std::pair{THGROUP_RETRO, s.isp_retro_mps},
        std::pair{THGROUP_HOVER, s.isp_hover_mps}})
    if (isp > 0) flow += v.maxThrust(g) * v.level(g) / isp;
  return flow;
}

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
  // What the flight does when the pilot tells a moment; false ends the
  // pilot's part of the hop there.
  bool at(Moment m);
  bool coasting();  // the pilot coasts on: above the ground, before the closest approach
  bool pastAim();   // in flight mode, past the closest approach to the aim point
  void checkVessel();
  void checkLift(double pitchDeg);
  void warn(const std::string& what);
  void land();
  void judge();
  void judgeCosts();
  void judgeLanding();
  sim::Vessel& vessel() { return session_.host().world().vessel(session_.vessel()); }

  const Scenario& sc_;
  FlightOptions opt_;
  std::chrono::steady_clock::time_point wallStart_ = std::chrono::steady_clock::now();
  Session session_;
  Cockpit cockpit_;
  Pilot pilot_;
  Referee referee_;
  Lander lander_;
  Telemetry telemetry_;
  Engine engine_;
  FlightResult res_;
  std::string phase_ = "pad";
  double lastLog_s_ = -1e9;         // [s] simulation time of the last progress line
  Spend spend_ = kLaunch;           // the phase that pays for the thrust now
  double dv_[kPhases] = {};         // [m/s] thrust delta-v by phase
  double prop_[kPhases] = {};       // [kg] propellant by phase
  bool dry_ = false;                // the tank ran dry: the flight ended there
  double lift_ = 0;                 // thrust's upward part over the weight at launch
  double groundedUntil_s_ = 1e300;  // [s] a launch burn still on the ground then is given up
};

std::string languageOf(const Scenario& sc, const FlightOptions& opt) {
  return opt.language.empty() ? sc.display.language : opt.language;
}

Flight::Flight(const Scenario& sc, FlightOptions opt)
    : sc_(sc),
      opt_(std::move(opt)),
      session_(sc, languageOf(sc, opt_), opt_.module, opt_.aim_lead),
      cockpit_(session_.host(), session_.vessel(), session_.display(),
               opt_.refresh_s.value_or(sc.display.refresh_s)),
      pilot_(cockpit_, sc, languageOf(sc, opt_) == "fr"),
      referee_(session_, sc.target.alt_above_target_km * 1000),
      lander_(cockpit_, sc, [this](double dt) { advance(dt); }),
      telemetry_(session_) {
  res_.scenario = sc.name;
  res_.goal_miss_m = sc.goal_miss_m;
  res_.target_name = sc.target.base.value_or("");
  res_.target_lat_deg = sc.target.lat_deg;
  res_.target_lng_deg = sc.target.lng_deg;
  res_.alt_above_target_m = sc.target.alt_above_target_km * 1000;
  const sim::Body& b = session_.host().world().body(session_.bodyIndex());
  // The minimum-energy hop starts on the ground: no measure for a vessel
  // that starts in flight.
  res_.dv_min_energy_mps =
      sc.vessel.in_flight ? 0 : Referee::minimumEnergySpeed(sc, b.mu(), b.radius());
  res_.propellant_counted = sc.vessel.isp_main_mps > 0 || sc.vessel.isp_hover_mps > 0;
  res_.land = opt_.land;
  res_.goal_landing_m = sc.goal_landing_m;
  res_.goal_touchdown_mps = sc.goal_touchdown_mps;
}

// Time passes: the engines burn (their delta-v counted), the host steps, the
// referee and the recorder watch, and a progress line every 20 s.
void Flight::advance(double dt) {
  const double thrust = vessel().netThrust(), flow = nominalFlow(vessel());  // [N], [kg/s]
  const double m0 = vessel().mass();                                         // [kg]
  cockpit_.control(dt);
  session_.host().step(dt);
  dv_[spend_] += burnDeltaV(thrust, flow, m0, vessel().mass(), dt);
  prop_[spend_] += m0 - vessel().mass();
  if (res_.propellant_counted && vessel().propellant() <= 0) throw OutOfPropellant{};
  if (session_.host().simTime() >= sc_.max_time_s) throw TimeUp{};
  if (phase_ == "burn" && vessel().groundContact() && session_.host().simTime() > groundedUntil_s_)
    throw StuckOnGround{};
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
  try {
    flyPhases();
  } catch (const OutOfPropellant&) {
    cockpit_.throttle(THGROUP_MAIN, 0);
    cockpit_.throttle(THGROUP_HOVER, 0);
    dry_ = true;
    opt_.land ? judgeLanding() : judge();
  } catch (const StuckOnGround&) {
    cockpit_.throttle(THGROUP_MAIN, 0);
    cockpit_.throttle(THGROUP_HOVER, 0);
    judgeCosts();
    res_.outcome = "aborted";
    res_.success = false;
    std::ostringstream s;
    s << std::fixed << std::setprecision(2)
      << "the vessel did not leave the ground during the launch burn: at the proposed pitch the "
         "engine lifts only "
      << lift_ << " times its weight; give it more thrust";
    res_.note = s.str();
    say("end", "aborted: " + res_.note);
  } catch (const TimeUp&) {
    cockpit_.throttle(THGROUP_MAIN, 0);
    cockpit_.throttle(THGROUP_HOVER, 0);
    std::ostringstream s;
    s << "the flight reached its time limit, goal.max_time_s = " << sc_.max_time_s << " s"
      << (vessel().groundContact() && !sc_.vessel.in_flight && res_.time_s == 0
              ? ", still on the ground"
              : "");
    res_.note = s.str();
    opt_.land ? judgeLanding() : judge();
  }
  res_.end_time_s = session_.host().simTime();
  res_.telemetry = telemetry_.take();
  res_.pictures = opt_.pictures.files();
  return res_;
}

void Flight::flyPhases() {
  // The pilot flies; the flight lets time pass for it and watches.
  try {
    ActRun hop(pilot_.fly());
    for (auto beat = hop.next(); beat; beat = hop.next()) {
      if (!beat->moment) {
        advance(beat->wait_s);
        // Past the closest approach the hop is over, even in the middle of
        // a correction: what the display asks for then no longer helps.
        if (!opt_.land && pastAim()) break;
      } else if (!at(*beat->moment)) {
        break;
      }
    }
  } catch (const Aborted& e) {
    judgeCosts();
    res_.outcome = "aborted";
    res_.success = false;
    res_.note = e.what();
    return;
  }
  if (opt_.land) {
    land();
    judgeLanding();
  } else {
    judge();
  }
}

bool Flight::at(Moment m) {
  switch (m) {
    case Moment::kTargetSet:
      engine_ = pilot_.engineInUse();
      say("target", (sc_.target.base ? *sc_.target.base : std::string("coordinates")) +
                        ", engine " + (engine_.main ? "main" : "hover"));
      return true;
    case Moment::kPlanRead: {
      res_.plan = pilot_.plan();
      std::ostringstream s;
      s << "heading " << res_.plan.heading_deg << " deg, velocity vector "
        << res_.plan.launchAngle_deg << " deg, hMax " << res_.plan.apoAltitude_km << " km, DeltaV "
        << res_.plan.launchSpeed_mps << " m/s";
      say("plan", s.str());
      checkVessel();
      opt_.pictures.take("pad", cockpit_);
      return true;
    }
    case Moment::kLaunching:
      if (vessel().groundContact()) checkLift(pilot_.launchPitch());
      phase_ = "burn";
      say(phase_,
          "pitch " + std::to_string(std::lround(pilot_.launchPitch())) + " deg, full throttle");
      return true;
    case Moment::kMeco:
      say("meco",
          "engines off, speed " + std::to_string(std::lround(cockpit_.airspeed())) + " m/s");
      opt_.pictures.take("meco", cockpit_);
      phase_ = "climb";
      return true;
    case Moment::kSwitched:
      spend_ = kCorrections;
      phase_ = "coast";
      say("switch", "display in flight mode");
      return true;
    case Moment::kPage1:
      opt_.pictures.take("page1", cockpit_);
      return true;
    case Moment::kSettled: {
      std::ostringstream s;
      s << "answer settled: Dv " << std::fixed << std::setprecision(1) << pilot_.shownDv()
        << " m/s";
      say("settle", s.str());
      return session_.host().simTime() < sc_.max_time_s;
    }
    case Moment::kLooked:
      // The first look at the settled answer decides the first correction.
      if (pilot_.firstLook()) opt_.pictures.take("page2-before", cockpit_);
      if (opt_.pictures.complete()) return false;
      return !(opt_.land && lander_.timeToBrake());
    case Moment::kCorrecting: {
      phase_ = "correct";
      ++res_.corrections;
      std::ostringstream s;
      s << "correction " << res_.corrections << ": Dv " << std::fixed << std::setprecision(1)
        << pilot_.shownDv() << " m/s";
      say(phase_, s.str());
      return true;
    }
    case Moment::kCorrected:
      if (pilot_.firstLook()) opt_.pictures.take("page2-after", cockpit_);
      phase_ = "coast";
      return true;
    case Moment::kCoasting:
      return coasting() && session_.host().simTime() < sc_.max_time_s;
  }
  return true;
}

bool Flight::pastAim() {
  return (phase_ == "coast" || phase_ == "correct") &&
         referee_.pastClosestApproach(cockpit_.verticalSpeed(), vessel().altitude());
}

bool Flight::coasting() {
  return !vessel().groundContact() &&
         !referee_.pastClosestApproach(cockpit_.verticalSpeed(), vessel().altitude());
}

void Flight::warn(const std::string& what) {
  res_.warnings.push_back(what);
  say("warning", what);
}

// Before the launch burn: can the engine the display guides lift the
// vessel, and does the tank hold the plan's delta-v? A hop that cannot
// start is refused; one that may fall short is flown with a warning.
void Flight::checkVessel() {
  const sim::Body& b = session_.host().world().body(session_.bodyIndex());
  const double g = b.mu() / (b.radius() * b.radius());  // [m/s^2]
  const double weight = vessel().mass() * g;            // [N]
  const std::string key = engine_.main ? "vessel.main_thrust_n" : "vessel.hover_thrust_n";
  std::ostringstream s;
  s << std::fixed << std::setprecision(1);
  if (engine_.thrust_n <= weight) {
    s << sc_.source << ": the vessel cannot lift off: its " << (engine_.main ? "main" : "hover")
      << " engines, which the display guides, give " << engine_.thrust_n / 1000
      << " kN against a weight of " << weight / 1000 << " kN on " << b.name() << "; give " << key
      << " above " << weight / 1000 << " kN (twice that for a brisk launch)";
    throw ScenarioError(s.str());
  }
  const double isp = engine_.main ? sc_.vessel.isp_main_mps : sc_.vessel.isp_hover_mps;
  if (!res_.propellant_counted || isp <= 0) return;
  const double m0 = vessel().mass(), prop = vessel().propellant();  // [kg]
  const double dv = isp * std::log(m0 / std::max(1.0, m0 - prop));  // [m/s] the tank's
  const double need = res_.plan.launchSpeed_mps;                    // [m/s] the launch burn
  const double needKg = m0 * (1 - std::exp(-need / isp));           // [kg]
  if (dv < need) {
    s.precision(0);
    s << sc_.source << ": the tank holds " << prop << " kg, " << dv
      << " m/s of delta-v, and the launch burn alone needs " << need << " m/s (" << needKg
      << " kg); give vessel.propellant_kg of at least " << needKg * 1.3
      << " kg to leave room for the corrections";
    throw ScenarioError(s.str());
  }
  s.precision(0);
  if (opt_.land && dv < 2 * need)
    s << "the tank holds " << dv << " m/s of delta-v: enough for the hop (" << need
      << " m/s at launch) but likely not for braking and landing as well (about " << 2 * need
      << " m/s)";
  else if (dv < 1.2 * need)
    s << "the tank holds " << dv << " m/s of delta-v, little more than the launch burn's " << need
      << " m/s: the corrections may run it dry";
  if (!s.str().empty()) warn(s.str());
}

// At the launch attitude: what the engine lifts, its thrust's upward part
// against the weight. For a flat launch the display proposes a pitch that
// just holds the vessel up, and a vessel that barely lifts stays on the
// ground while its burn goes into the ground's friction.
void Flight::checkLift(double pitchDeg) {
  const sim::Body& b = session_.host().world().body(session_.bodyIndex());
  const double weight = vessel().mass() * b.mu() / (b.radius() * b.radius());  // [N]
  const double p = pitchDeg * std::numbers::pi / 180;
  // Main engines push along the nose, hover engines along the vessel's up.
  const double up = engine_.main ? std::sin(p) : std::cos(p);
  lift_ = engine_.thrust_n * up / weight;
  // Time enough for the whole launch burn at full thrust, twice over: a
  // vessel still on the ground then will not leave it.
  groundedUntil_s_ = session_.host().simTime() + 30 +
                     2 * res_.plan.launchSpeed_mps * vessel().mass() / engine_.thrust_n;
  if (lift_ < 1.5) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(2) << "at the proposed launch pitch of "
      << std::setprecision(0) << pitchDeg << " deg the engine lifts only " << std::setprecision(2)
      << lift_
      << " times the vessel's weight: it may not leave the ground, or only slowly and far from "
         "the plan";
    warn(s.str());
  }
}

// The landing pilot takes over from the coast: braking, then the descent.
void Flight::land() {
  spend_ = kBraking;
  phase_ = "braking";
  say(phase_, "the landing pilot takes over");
  lander_.brake();
  spend_ = kLanding;
  phase_ = "landing";
  say(phase_,
      "over the target at " + std::to_string(std::lround(vessel().altitude())) + " m, descending");
  lander_.descend();
}

// What the hop cost, phase by phase, and the referee's closest approach.
void Flight::judgeCosts() {
  res_.miss_m = referee_.closest();
  res_.time_s = referee_.closestTime();
  res_.closest_alt_m = referee_.closestAltitude();
  res_.dv_launch_mps = dv_[kLaunch];
  res_.dv_correction_mps = dv_[kCorrections];
  res_.dv_braking_mps = dv_[kBraking];
  res_.dv_landing_mps = dv_[kLanding];
  res_.dv_total_mps = dv_[kLaunch] + dv_[kCorrections];
  res_.propellant_launch_kg = prop_[kLaunch];
  res_.propellant_correction_kg = prop_[kCorrections];
  res_.propellant_braking_kg = prop_[kBraking];
  res_.propellant_landing_kg = prop_[kLanding];
  res_.propellant_left_kg = vessel().propellant();
  res_.dv_ratio = res_.dv_min_energy_mps > 0 ? res_.dv_total_mps / res_.dv_min_energy_mps : 0;
  const bool arrived = res_.miss_m <= sc_.goal_miss_m;
  res_.outcome = dry_ ? "out of propellant"
                      : Referee::outcome(arrived, session_.host().simTime(), sc_.max_time_s);
  if (!arrived) res_.goals_failed.push_back("miss_m");
  if (sc_.goal_max_corrections && res_.corrections > *sc_.goal_max_corrections)
    res_.goals_failed.push_back("max_corrections");
  if (sc_.goal_max_dv_ratio && res_.dv_ratio > *sc_.goal_max_dv_ratio)
    res_.goals_failed.push_back("max_dv_ratio");
  res_.success = res_.goals_failed.empty() && res_.outcome == "arrived";
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
  res_.sim_seconds_per_wall_second = wall > 0 ? session_.host().simTime() / wall : 0;
}

void Flight::judge() {
  judgeCosts();
  std::ostringstream s;
  s << res_.outcome << ": closest approach " << distance(res_.miss_m)
    << " from the aim point at t = " << std::fixed << std::setprecision(0) << res_.time_s << " s";
  say("end", s.str());
}

// With a landing the goals are where and how fast it touched down; the
// closest approach to the aim point is not one (the landing pilot leaves
// the ballistic path before it), the hop's own costs still are.
void Flight::judgeLanding() {
  judgeCosts();
  std::erase(res_.goals_failed, std::string("miss_m"));
  res_.touched_down = vessel().groundContact();
  res_.landing_distance_m = referee_.groundDistanceToTarget();
  res_.touchdown_speed_mps = vessel().touchdownSpeed();
  res_.landing_time_s = session_.host().simTime();
  res_.outcome = res_.touched_down ? "landed" : "missed";
  if (!res_.touched_down || res_.landing_distance_m > sc_.goal_landing_m)
    res_.goals_failed.push_back("landing_m");
  if (!res_.touched_down || res_.touchdown_speed_mps > sc_.goal_touchdown_mps)
    res_.goals_failed.push_back("touchdown_mps");
  if (session_.host().simTime() >= sc_.max_time_s) res_.outcome = "timeout";
  if (dry_) res_.outcome = "out of propellant";
  res_.success = res_.goals_failed.empty() && res_.outcome == "landed";
  std::ostringstream s;
  s << std::fixed << std::setprecision(1) << res_.outcome << ": " << res_.landing_distance_m
    << " m from the target at " << res_.touchdown_speed_mps << " m/s";
  say("end", s.str());
}

}  // namespace

FlightResult fly(const Scenario& sc, FlightOptions opt) {
  Flight flight(sc, std::move(opt));
  return flight.run();
}

PagesDrawn renderPages(const Scenario& sc, FlightOptions opt, const std::filesystem::path& dir,
                       const std::string& format) {
  opt.pictures = Pictures::pages(dir, format, !sc.vessel.in_flight);
  FlightResult r = fly(sc, std::move(opt));
  return {r.pictures, r.outcome + (r.note.empty() ? "" : ": " + r.note)};
}

}  // namespace lobarc
