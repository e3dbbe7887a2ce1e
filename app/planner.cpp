#include "app/planner.h"

#include <cmath>
#include <sstream>

#include "app/cockpit.h"
#include "app/pilot.h"
#include "app/session.h"
#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kPi;

nlohmann::json vec(const double (&v)[3]) { return nlohmann::json::array({v[0], v[1], v[2]}); }
nlohmann::json vec(const sim::Vec3& v) { return nlohmann::json::array({v.x(), v.y(), v.z()}); }

}  // namespace

void applyOverrides(Scenario& sc, const PlanOverrides& ov) {
  if (ov.body) {
    auto spec = findBody(*ov.body);
    if (!spec)
      throw ScenarioError("--body '" + *ov.body + "': unknown body; use one of: " + bodyList());
    // Keep the scenario's own extra bases only if they were on a custom body.
    sc.body = *spec;
    if (sc.vessel.base && !ov.from && !findBase(sc.body, *sc.vessel.base))
      throw ScenarioError("--body " + *ov.body + ": the scenario's vessel base '" +
                          *sc.vessel.base + "' is not on it; give --from LAT,LNG");
    if (sc.target.base && !ov.to && !ov.target && !findBase(sc.body, *sc.target.base))
      throw ScenarioError("--body " + *ov.body + ": the scenario's target base '" +
                          *sc.target.base + "' is not on it; give --to or --target");
  }
  if (ov.from) {
    sc.vessel.base.reset();
    sc.vessel.lat_deg = ov.from->first;
    sc.vessel.lng_deg = ov.from->second;
  }
  if (ov.to) {
    sc.target.base.reset();
    sc.target.lat_deg = ov.to->first;
    sc.target.lng_deg = ov.to->second;
  }
  if (ov.target) {
    const sim::Base* b = findBase(sc.body, *ov.target);
    if (b == nullptr)
      throw ScenarioError("--target '" + *ov.target + "': no such base on " + sc.body.name +
                          "; use one of: " + baseList(sc.body));
    sc.target.base = b->name;
    sc.target.lat_deg = b->lat_rad * 180 / kPi;
    sc.target.lng_deg = b->lng_rad * 180 / kPi;
  }
  auto wholeKm = [](double v, const char* opt, double lo) {
    if (auto fix = altitudeProblem(v, lo); !fix.empty()) {
      std::ostringstream s;
      s << opt << " " << v << ": " << fix;
      throw ScenarioError(s.str());
    }
    return v;
  };
  if (ov.securityAlt_km)
    sc.target.security_alt_km = wholeKm(*ov.securityAlt_km, "--security-alt", 1);
  if (ov.altAbove_km) sc.target.alt_above_target_km = wholeKm(*ov.altAbove_km, "--alt-above", 0);
  if (ov.body || ov.from || ov.to || ov.target) {
    // No longer the scenario's hop, only its vessel ("Plan for moon-hop's
    // vessel on Mars").
    sc.name += "'s vessel";
    sc.source = "the command line";
  }
  checkHop(sc);
}

nlohmann::json planScenario(const Scenario& sc, const std::filesystem::path& module) {
  Session session(sc, sc.display.language, module);
  Cockpit cockpit(session.host(), session.vessel(), session.display());
  Pilot pilot(cockpit, sc, sc.display.language == "fr");
  pilot.enterTarget();
  ArvexPlan m = session.plan();
  nlohmann::json j;
  j["scenario"] = sc.name;
  j["body"] = sc.body.name;
  j["flightMode"] = m.flightMode;
  if (m.flightMode == 0) {
    j["heading"] = m.heading;
    j["launchAngle"] = m.launchAngle;
    j["apoAltitude"] = m.apoAltitude;
    j["vTan"] = m.vTan;
    j["launchSpeed"] = m.launchSpeed;
    j["dvRemaining"] = m.dvRemaining;
    j["groundSolValid"] = m.groundSolValid != 0;
    j["launchVelocity"] = vec(m.launchVelocity);
  } else {
    // The switch key recomputes without changing the mode of a vessel in
    // flight, so the solver answers for the altitude above the target too.
    cockpit.pressButton(kBtnSwitch);
    m = session.plan();
    sim::Vessel& v = session.host().world().vessel(session.vessel());
    const double dv = (v.velocity() - sim::Vec3(m.reqVel[0], m.reqVel[1], m.reqVel[2])).norm();
    j["reqVel"] = vec(m.reqVel);
    j["dvToGo"] = dv;
    j["flightSolValid"] = m.flightSolValid != 0;
    j["relPos"] = vec(v.position());
    j["relVel"] = vec(v.velocity());
    // The aim point as the solver places it, at this moment.
    j["aimPoint"] = vec(m.aimPoint);
  }
  j["target"] = {{"lat_deg", m.tgtLatDeg}, {"lng_deg", m.tgtLngDeg}};
  j["securityAlt"] = m.securityAlt;
  // On the ground the display takes the altitude above the target only
  // once airborne, and its ground plan does not depend on it: what is shown
  // is what the pilot will enter then.
  j["altAboveTarget"] = m.flightMode == 0 ? sc.target.alt_above_target_km * 1000 : m.altAboveTarget;
  return j;
}

std::string planText(const nlohmann::json& p) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(2);
  s << "Plan for " << p["scenario"].get<std::string>() << " on " << p["body"].get<std::string>()
    << "\n";
  if (p["flightMode"] == 0) {
    s << "  groundSolValid " << p["groundSolValid"] << "\n  heading     "
      << p["heading"].get<double>() << " deg\n  launchAngle " << p["launchAngle"].get<double>()
      << " deg\n  apoAltitude " << p["apoAltitude"].get<double>() / 1000 << " km\n  vTan        "
      << p["vTan"].get<double>() << " m/s\n  launchSpeed " << p["launchSpeed"].get<double>()
      << " m/s\n  dvRemaining " << p["dvRemaining"].get<double>() << " m/s\n  altAboveTarget "
      << p["altAboveTarget"].get<double>() / 1000 << " km (entered once airborne)\n";
  } else {
    s << "  flightSolValid " << p["flightSolValid"] << "\n  dvToGo " << p["dvToGo"].get<double>()
      << " m/s\n  reqVel " << p["reqVel"].dump() << " m/s\n  relPos " << p["relPos"].dump()
      << " m\n  relVel " << p["relVel"].dump() << " m/s\n  aimPoint " << p["aimPoint"].dump()
      << " m\n";
  }
  return s.str();
}

}  // namespace lobarc
