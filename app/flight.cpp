#include "flight.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "cockpit.h"
#include "pilot.h"

namespace lobarc {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

double norm(const sim::Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
sim::Vec3 sub(const sim::Vec3& a, const sim::Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

std::string fmtKm(double v) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(1) << v / 1000;
  return s.str();
}

}  // namespace

// --- module library ------------------------------------

std::filesystem::path findModuleLibrary(const std::optional<std::filesystem::path>& explicitPath) {
  namespace fs = std::filesystem;
  if (explicitPath) {
    if (!fs::exists(*explicitPath))
      throw sim::HostError("module library " + explicitPath->string() +
                           " does not exist; build it (cmake --build build) or fix --module");
    return *explicitPath;
  }
  if (const char* env = std::getenv("LOBARC_MODULE"); env && *env) {
    if (fs::exists(env)) return env;
    throw sim::HostError(std::string("LOBARC_MODULE names ") + env +
                         ", which does not exist; unset it or point it at ArvexMFD.so");
  }
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path p = self.parent_path().parent_path() / "modules" / "ArvexMFD.so";
    if (fs::exists(p)) return p;
  }
#ifdef LOBARC_MODULE_PATH
  if (fs::exists(LOBARC_MODULE_PATH)) return LOBARC_MODULE_PATH;
#endif
  throw sim::HostError(
      "cannot find the module library ArvexMFD.so; build it (cmake --build build) or give "
      "--module PATH");
}

// --- session -----------------------------------------------------------------

Session::Session(const Scenario& sc, const std::string& language,
                 const std::filesystem::path& module) {
  {
    std::ofstream cfg(config_.path() / "ArvexMFD.cfg");
    cfg << "; written by lobarc for this flight\nLANGUAGE = " << (language == "fr" ? 1 : 0) << "\n";
  }
  host_ = std::make_unique<sim::Host>();
  host_->setConfigDir(config_.path());
  body_ = host_->world().addBody(sc.body);
  sim::VesselSpec vs;
  vs.name = "Lander";
  vs.mass_kg = sc.vessel.mass_kg;
  vs.main_thrust_n = sc.vessel.main_thrust_n;
  vs.hover_thrust_n = sc.vessel.hover_thrust_n;
  sim::Vessel& v = host_->world().addVessel(body_, vs);
  vessel_ = host_->world().vesselCount() - 1;
  if (sc.vessel.in_flight) {
    v.placeInFlight(sc.vessel.lat_deg * kDeg, sc.vessel.lng_deg * kDeg, sc.vessel.altitude_m,
                    sc.vessel.vel_east_mps, sc.vessel.vel_north_mps, sc.vessel.vel_up_mps);
  } else {
    v.landAt(sc.vessel.lat_deg * kDeg, sc.vessel.lng_deg * kDeg);
  }
  tgtLat_ = sc.target.lat_deg * kDeg;
  tgtLng_ = sc.target.lng_deg * kDeg;
  host_->setFocus(vessel_);
  module_ = host_->loadModule(module);
  display_ = host_->openDisplay("Lobarc Launch", sc.display.width, sc.display.height);
  if (display_ < 0)
    throw sim::HostError("the module did not open its display; check the module library");
}

Session::~Session() = default;

ArvexPlan Session::plan() const {
  const auto get = reinterpret_cast<ArvexGetPlanFunc>(
      GetProcAddress(host_->moduleInstance(module_), ARVEX_GET_PLAN_NAME));
  if (get == nullptr)
    throw sim::HostError(std::string("the module library exports no ") + ARVEX_GET_PLAN_NAME +
                         "; rebuild it (cmake --build build) or give --module PATH");
  ArvexPlan p{};
  p.size = sizeof p;
  if (get(host_->display(display_), &p) == 0)
    throw sim::HostError("the module did not report the plan of its display");
  return p;
}

sim::Vec3 Session::aimPoint(double altAbove_m) const {
  const sim::Body& b = host_->world().body(body_);
  return b.surfacePoint(tgtLat_, tgtLng_, b.radius() + altAbove_m, host_->simTime());
}

// --- the flight ----------------------------------------------------------------

namespace {

double thrustAcceleration(sim::Host& h, std::size_t vi) {
  sim::Vessel& v = h.world().vessel(vi);
  double f = 0;
  for (THGROUP_TYPE g : {THGROUP_MAIN, THGROUP_RETRO, THGROUP_HOVER})
    f += v.maxThrust(g) * v.level(g);
  return f / v.mass();
}

double totalLevel(sim::Host& h, std::size_t vi) {
  sim::Vessel& v = h.world().vessel(vi);
  return std::max({v.level(THGROUP_MAIN), v.level(THGROUP_RETRO), v.level(THGROUP_HOVER)});
}

}  // namespace

FlightResult fly(const Scenario& sc, const FlightOptions& opt) {
  namespace fs = std::filesystem;
  const auto wallStart = std::chrono::steady_clock::now();
  const std::string lang = opt.language.empty() ? sc.display.language : opt.language;
  const bool french = lang == "fr";
  Session session(sc, lang, opt.module);
  sim::Host& host = session.host();
  Cockpit cockpit(host, session.vessel(), session.display());
  Pilot pilot(cockpit, sc, french);
  std::ostream* out = opt.progress;

  FlightResult res;
  res.scenario = sc.name;
  res.goal_miss_m = sc.goal_miss_m;
  res.target_name = sc.target.base.value_or("");
  res.target_lat_deg = sc.target.lat_deg;
  res.target_lng_deg = sc.target.lng_deg;
  res.alt_above_target_m = sc.target.alt_above_target_km * 1000;
  {
    // Launch speed of the minimum-energy ballistic hop between the two
    // points on a sphere at rest: v^2 = (mu/R) 2 sin(a) / (1 + sin(a)),
    // with a half the central angle.
    const sim::Body& b = host.world().body(session.bodyIndex());
    double la1 = sc.vessel.lat_deg * kDeg, lo1 = sc.vessel.lng_deg * kDeg;
    double la2 = sc.target.lat_deg * kDeg, lo2 = sc.target.lng_deg * kDeg;
    double s1 = std::sin((la2 - la1) / 2), s2 = std::sin((lo2 - lo1) / 2);
    double a = std::asin(std::sqrt(s1 * s1 + std::cos(la1) * std::cos(la2) * s2 * s2));
    res.dv_min_energy_mps = std::sqrt(b.mu() / b.radius() * 2 * std::sin(a) / (1 + std::sin(a)));
  }

  if (opt.outDir) fs::create_directories(*opt.outDir);
  auto picture = [&](const std::string& name) {
    if (!opt.outDir) return;
    fs::path p = *opt.outDir / ("display-" + name + "." + opt.pictureFormat);
    const sim::Surface& s = cockpit.look();
    if (opt.pictureFormat == "svg")
      s.renderSvg(p);
    else
      s.renderPng(p);
    res.pictures.push_back(p);
  };
  auto say = [&](const std::string& phase, const std::string& what) {
    if (out == nullptr) return;
    *out << "[" << std::setw(7) << std::fixed << std::setprecision(1) << host.simTime() << " s] "
         << std::left << std::setw(11) << phase << std::right << what << std::endl;
  };

  // The referee: closest approach to the aim point, moving with the body,
  // between samples by the straight segment between them.
  double best = 1e300, bestT = 0, bestAlt = 0, prevD = 1e300;
  sim::Vec3 prevRel{};
  bool havePrev = false;
  int growing = 0;
  const sim::Vec3 startPos = host.world().vessel(session.vessel()).position();
  auto referee = [&]() {
    sim::Vessel& v = host.world().vessel(session.vessel());
    sim::Vec3 rel = sub(v.position(), session.aimPoint(res.alt_above_target_m));
    double d = norm(rel);
    if (havePrev) {
      sim::Vec3 dr = sub(rel, prevRel);
      double dd = dr.x * dr.x + dr.y * dr.y + dr.z * dr.z;
      double s = dd > 0 ? -(prevRel.x * dr.x + prevRel.y * dr.y + prevRel.z * dr.z) / dd : 0;
      s = std::clamp(s, 0.0, 1.0);
      sim::Vec3 p{prevRel.x + s * dr.x, prevRel.y + s * dr.y, prevRel.z + s * dr.z};
      double dm = norm(p);
      if (dm < best) {
        best = dm;
        bestT = host.simTime();
        bestAlt = v.altitude();
      }
    }
    if (d < best) {
      best = d;
      bestT = host.simTime();
      bestAlt = v.altitude();
    }
    growing = d > prevD ? growing + 1 : 0;
    prevD = d;
    prevRel = rel;
    havePrev = true;
    return d;
  };

  double lastDisplayDv = 0;
  std::string phase = "pad";
  double lastLog = -1e9, lastTelemetry = -1e9;
  auto record = [&](double aimD) {
    sim::Vessel& v = host.world().vessel(session.vessel());
    if (host.simTime() - lastTelemetry < 0.99 && totalLevel(host, session.vessel()) == 0) return;
    lastTelemetry = host.simTime();
    double lng, lat, rad;
    v.equPos(lng, lat, rad);
    sim::Vec3 a = v.horizonAirspeed();
    sim::Vec3 p = v.position();
    double c =
        (p.x * startPos.x + p.y * startPos.y + p.z * startPos.z) / (norm(p) * norm(startPos));
    double range =
        std::acos(std::clamp(c, -1.0, 1.0)) * host.world().body(session.bodyIndex()).radius();
    res.telemetry.push_back({host.simTime(), lat / kDeg, lng / kDeg, v.altitude(), norm(a), a.y,
                             lastDisplayDv, totalLevel(host, session.vessel()), aimD, range,
                             phase});
  };
  double dvLaunch = 0, dvCorr = 0;
  bool switched = false;
  auto advance = [&](double dt) {
    double acc = thrustAcceleration(host, session.vessel());
    (switched ? dvCorr : dvLaunch) += acc * dt;
    host.step(dt);
    double d = referee();
    record(d);
    if (host.simTime() - lastLog >= 20 || host.simTime() < lastLog) {
      lastLog = host.simTime();
      std::ostringstream s;
      s << "alt " << std::setw(6) << fmtKm(host.world().vessel(session.vessel()).altitude())
        << " km  speed " << std::setw(5) << std::lround(cockpit.airspeed()) << " m/s  Dv "
        << std::setw(7) << std::fixed << std::setprecision(1) << lastDisplayDv << " m/s  aim "
        << std::setw(7) << fmtKm(d) << " km";
      say(phase, s.str());
    }
  };

  // 1 - Choose the target on the display.
  pilot.enterTarget();
  const bool main = pilot.mainEngine();
  const THGROUP_TYPE engine = main ? THGROUP_MAIN : THGROUP_HOVER;
  const sim::Vec3 thrustAxis = main ? sim::Vec3{0, 0, 1} : sim::Vec3{0, 1, 0};
  const double thrust = cockpit.maxThrust(engine);
  say("target", (sc.target.base ? *sc.target.base : std::string("coordinates")) + ", engine " +
                    (main ? "main" : "hover"));

  // 2 - On the pad: read the plan and the pre-burn pitch, turn, burn to MECO.
  if (cockpit.groundContact()) {
    for (int i = 0; i < 5; ++i) advance(0.1);  // the proposal appears after a step
    res.plan = pilot.readPlan();
    if (!res.plan.valid) {
      res.outcome = "aborted";
      res.note = "the display shows no launch plan";
      return res;
    }
    {
      std::ostringstream s;
      s << "heading " << res.plan.heading_deg << " deg, velocity vector "
        << res.plan.launchAngle_deg << " deg, hMax " << res.plan.apoAltitude_km << " km, DeltaV "
        << res.plan.launchSpeed_mps << " m/s";
      say("plan", s.str());
    }
    picture("pad");
    const double hdg = res.plan.heading_deg * kDeg;
    double pitchDeg = pilot.proposedPitch().value_or(res.plan.launchAngle_deg);
    cockpit.holdAttitude(hdg, pitchDeg * kDeg, 0);
    phase = "burn";
    say(phase, "pitch " + std::to_string(std::lround(pitchDeg)) + " deg, full throttle");
    cockpit.throttle(engine, 1);
    bool meco = false;
    for (int i = 0; i < 20000 && !meco; ++i) {
      advance(0.05);
      cockpit.look();
      if (cockpit.shows("MECO")) {
        meco = true;
        break;
      }
      if (auto p = cockpit.readNumber("Pitch : ")) cockpit.holdAttitude(hdg, *p * kDeg, 0);
      if (auto dv = cockpit.readNumber("DeltaV : ")) {
        lastDisplayDv = *dv;
        // Ease off for the last metres per second so the cut-off is clean.
        double level = std::clamp(*dv * cockpit.mass() / (thrust * 0.5), 0.05, 1.0);
        cockpit.throttle(engine, level);
      }
    }
    cockpit.throttle(engine, 0);
    lastDisplayDv = 0;
    say("meco", "engines off, speed " + std::to_string(std::lround(cockpit.airspeed())) + " m/s");
    picture("meco");
    // 3 - Airborne: switch the display to flight mode.
    phase = "climb";
    for (int i = 0; i < 600 && cockpit.groundContact(); ++i) advance(0.1);
    advance(1.0);
  }
  if (cockpit.groundContact()) {
    res.outcome = "aborted";
    res.note = "the vessel did not leave the ground";
    return res;
  }
  cockpit.look();
  if (!cockpit.shows("1/2") && !cockpit.shows("2/2") &&
      cockpit.lastLook().findText("Lobarc Launch MFD/Not") == nullptr &&
      cockpit.lastLook().findText("Lobarc Launch MFD/En vol") == nullptr) {
    cockpit.pressButton(kBtnSwitch);
    if (!sc.vessel.in_flight) pilot.enterAltitudeAbove();
  }
  switched = true;
  phase = "coast";
  say("switch", "display in flight mode");
  advance(0.1);
  picture("page1");
  // Turn to page 2/2 (only offered with a solution).
  for (int i = 0; i < 50; ++i) {
    cockpit.pressButton(kBtnPage);
    cockpit.look();
    if (cockpit.shows("2/2")) break;
    advance(0.1);  // no solution yet: the page stays; try again after a step
  }

  // 4 - Corrections and coast until the closest approach.
  bool firstCorrection = true;
  double nextCheck = host.simTime();
  while (host.simTime() < sc.max_time_s) {
    auto dv = pilot.correction();
    if (dv) lastDisplayDv = *dv;
    const double dist = prevD;  // the host's step size only, never the pilot's
    // Late in the descent a correction can no longer be flown soundly: the
    // pilot stops correcting below the aim altitude plus a margin.
    // The pilot's estimate of the time left before the aim altitude.
    const double vz = cockpit.verticalSpeed();
    const double tGo = vz < 0 ? (cockpit.altitude() - res.alt_above_target_m) / -vz : 1e9;
    const bool late = tGo < 20;
    const double threshold = firstCorrection ? 0.5 : std::max(2.0, 0.005 * cockpit.airspeed());
    if (dv && *dv > threshold && !late && host.simTime() >= nextCheck) {
      // Point the thrust axis at the "+", then burn the correction down.
      if (firstCorrection) picture("page2-before");
      phase = "correct";
      ++res.corrections;
      {
        std::ostringstream s;
        s << "correction " << res.corrections << ": Dv " << std::fixed << std::setprecision(1)
          << *dv << " m/s";
        say(phase, s.str());
      }
      double minDv = *dv;
      int stale = 0;  // steps without a better Dv
      for (int i = 0; i < 6000; ++i) {
        auto u = pilot.burnDirection(main);
        auto now = pilot.correction();
        if (!u || !now) break;
        lastDisplayDv = *now;
        // Done when the display shows little left, or when burning on no
        // longer brings it down (the solution moves under the burn).
        if (*now < 0.3 || *now > minDv + 1.0 || stale > 30) break;
        if (*now < minDv - 0.05) {
          minDv = *now;
          stale = 0;
        } else {
          ++stale;
        }
        double left = cockpit.turnAxisToward(thrustAxis, *u, 20 * kDeg * 0.1);
        double level = 0;
        if (left < 2 * kDeg) level = std::clamp(*now * cockpit.mass() / (thrust * 2.0), 0.01, 1.0);
        cockpit.throttle(engine, level);
        advance(0.1);
      }
      cockpit.throttle(engine, 0);
      if (firstCorrection) picture("page2-after");
      firstCorrection = false;
      phase = "coast";
      nextCheck = host.simTime() + 5;
      continue;
    }
    const double dt = dist < 30000 ? 0.1 : 1.0;
    advance(dt);
    if (host.world().vessel(session.vessel()).groundContact()) break;
    // Past the closest approach: moving away for a while, below the aim.
    if (growing > 20 && cockpit.verticalSpeed() < 0 && best < 1e299 &&
        host.world().vessel(session.vessel()).altitude() < res.alt_above_target_m + 20000)
      break;
    if (opt.stopAfterPictures && !firstCorrection) break;
  }

  res.miss_m = best;
  res.time_s = bestT;
  res.closest_alt_m = bestAlt;
  res.dv_launch_mps = dvLaunch;
  res.dv_correction_mps = dvCorr;
  res.dv_total_mps = dvLaunch + dvCorr;
  res.success = best <= sc.goal_miss_m;
  if (host.simTime() >= sc.max_time_s)
    res.outcome = "timeout";
  else
    res.outcome = res.success ? "arrived" : "missed";
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  res.sim_seconds_per_wall_second = wall > 0 ? host.simTime() / wall : 0;
  {
    std::ostringstream s;
    s << res.outcome << ": closest approach " << std::fixed << std::setprecision(0) << best
      << " m from the aim point at t = " << bestT << " s";
    say("end", s.str());
  }
  return res;
}

}  // namespace lobarc
