#include "pilot.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <stdexcept>

namespace lobarc {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;  // [rad per deg]

}  // namespace

Pilot::Pilot(Cockpit& c, const Scenario& sc, bool french, Wait wait)
    : c_(c), sc_(sc), fr_(french), wait_(std::move(wait)) {}

void Pilot::enterTarget() {
  c_.look();
  if (sc_.target.base) {
    dialog(kBtnTarget, *sc_.target.base);
  } else {
    dialog(kBtnLat, number(sc_.target.lat_deg));
    dialog(kBtnLng, number(sc_.target.lng_deg));
  }
  dialog(kBtnSecurity, std::to_string(static_cast<long>(sc_.target.security_alt_km)));
  // The altitude above the target can only be entered in flight mode.
  if (!c_.groundContact()) enterAltitudeAbove();
}

void Pilot::enterAltitudeAbove() {
  dialog(kBtnAbove, std::to_string(static_cast<long>(sc_.target.alt_above_target_km)));
}

Engine Pilot::engine() {
  c_.look();
  Engine e;
  e.main = c_.shows(fr_ ? "Moteur : Principal" : "Engine : Main");
  e.group = e.main ? THGROUP_MAIN : THGROUP_HOVER;
  e.axis = e.main ? sim::Vec3{0, 0, 1} : sim::Vec3{0, 1, 0};
  e.thrust_n = c_.maxThrust(e.group);
  return e;
}

PlanShown Pilot::readPlan() {
  c_.look();
  PlanShown p;
  auto h = c_.readNumber(headingPrefix());
  auto a = c_.readNumber(vvPrefix());
  auto hm = c_.readNumber("hMax : ");
  auto vt = c_.readNumber("vTan : ");
  auto dv = c_.readNumber("DeltaV : ");
  p.valid = h && a && hm && vt && dv;
  if (p.valid) {
    p.heading_deg = *h;
    p.launchAngle_deg = *a;
    p.apoAltitude_km = *hm;
    p.vTan_mps = *vt;
    p.launchSpeed_mps = *dv;
  }
  return p;
}

std::optional<double> Pilot::proposedPitch() {
  c_.look();
  return c_.readNumber("Pitch : ");
}

double Pilot::takeLaunchAttitude(const PlanShown& plan) {
  const double pitchDeg = proposedPitch().value_or(plan.launchAngle_deg);
  c_.holdAttitude(plan.heading_deg * kDeg, pitchDeg * kDeg, 0);
  return pitchDeg;
}

void Pilot::burnToMeco(const PlanShown& plan, const Engine& e) {
  const double hdg = plan.heading_deg * kDeg;
  c_.throttle(e.group, 1);
  for (int i = 0; i < 20000; ++i) {
    wait_(0.05);
    c_.look();
    if (c_.shows("MECO")) break;
    if (auto p = c_.readNumber("Pitch : ")) c_.holdAttitude(hdg, *p * kDeg, 0);
    if (auto dv = c_.readNumber("DeltaV : ")) {
      shownDv_ = *dv;
      // Ease off for the last metres per second so the cut-off is clean.
      c_.throttle(e.group, std::clamp(*dv * c_.mass() / (e.thrust_n * 0.5), 0.05, 1.0));
    }
  }
  c_.throttle(e.group, 0);
  shownDv_ = 0;
}

void Pilot::climbOut() {
  for (int i = 0; i < 600 && c_.groundContact(); ++i) wait_(0.1);
  wait_(1.0);
}

void Pilot::switchToFlightMode() {
  c_.look();
  const bool inFlightMode = c_.shows("1/2") || c_.shows("2/2") ||
                            c_.lastLook().findText("Lobarc Launch MFD/Not") != nullptr ||
                            c_.lastLook().findText("Lobarc Launch MFD/En vol") != nullptr;
  if (inFlightMode) return;
  c_.pressButton(kBtnSwitch);
  if (!sc_.vessel.in_flight) enterAltitudeAbove();
}

void Pilot::turnToPage2() {
  for (int i = 0; i < 50; ++i) {
    c_.pressButton(kBtnPage);
    c_.look();
    if (c_.shows("2/2")) break;
    wait_(0.1);
  }
}

std::optional<double> Pilot::correction() {
  c_.look();
  if (auto v = c_.readNumber(" Dv : ")) return *v;
  if (auto v = c_.readNumber("Dv : ")) return *v;
  if (c_.shows("MECO")) return 0.0;
  return std::nullopt;
}

std::optional<double> Pilot::correctionToFly(bool first, double aimAltitude_m, double now_s,
                                             double nextCheck_s) {
  const auto dv = correction();
  if (!dv) return std::nullopt;
  shownDv_ = *dv;
  // Late in the descent a correction can no longer be flown soundly: the
  // pilot's estimate of the time left before the aim altitude must leave
  // some margin.
  const double vz = c_.verticalSpeed();
  const double tGo = vz < 0 ? (c_.altitude() - aimAltitude_m) / -vz : 1e9;  // [s]
  const bool late = tGo < 20;
  // The first correction takes out the launch's errors whatever their size;
  // later ones only when worth a burn at this speed.
  const double threshold = first ? 0.5 : std::max(2.0, 0.005 * c_.airspeed());  // [m/s]
  if (*dv > threshold && !late && now_s >= nextCheck_s) return dv;
  return std::nullopt;
}

void Pilot::burnCorrection(double dv_mps, const Engine& e) {
  double minDv = dv_mps;
  int stale = 0;  // steps without a better Dv
  for (int i = 0; i < 6000; ++i) {
    auto u = burnDirection(e.main);
    auto now = correction();
    if (!u || !now) break;
    shownDv_ = *now;
    // Done when the display shows little left, or when burning on no longer
    // brings it down (the solution moves under the burn).
    if (*now < 0.3 || *now > minDv + 1.0 || stale > 30) break;
    if (*now < minDv - 0.05) {
      minDv = *now;
      stale = 0;
    } else {
      ++stale;
    }
    // Turn at most 2 degrees a step; burn only once pointed within 2 degrees.
    const double left = c_.turnAxisToward(e.axis, *u, 20 * kDeg * 0.1);
    double level = 0;
    if (left < 2 * kDeg) level = std::clamp(*now * c_.mass() / (e.thrust_n * 2.0), 0.01, 1.0);
    c_.throttle(e.group, level);
    wait_(0.1);
  }
  c_.throttle(e.group, 0);
}

std::optional<sim::Vec3> Pilot::burnDirection(bool mainEngine) {
  auto pos = c_.positionOf("+");
  if (!pos) return std::nullopt;
  const double W = c_.displayWidth();
  const double m = std::floor(0.03 * W);
  // Centre of the marker's pixel, back to the indicator's X and Y.
  double X = (pos->first + 0.5 - m) / (0.5 * (W - 2 * m)) - 1;
  double Y = (pos->second + 0.5 - 20) / 100.0 - 1;
  X = std::clamp(X, -1.0, 1.0);
  Y = std::clamp(Y, -1.0, 1.0);
  // |X| > 1/2 only happens for a direction behind the thrust axis, where
  // the horizontal scale folds back from the edge.
  bool behind = std::fabs(X) > 0.5;
  double hx = !behind ? X : (X > 0 ? 1 - X : -1 - X);
  double side = 2 * hx;  // along the reference-to-x axis
  double rest = std::max(0.0, 1 - side * side - Y * Y);
  double along = (behind ? -1 : 1) * std::sqrt(rest);
  if (mainEngine) return sim::Vec3{side, -Y, along};  // x right, y up, z thrust
  return sim::Vec3{-side, along, Y};                  // hover: thrust along +y
}

void Pilot::dialog(int button, const std::string& text) {
  c_.pressButton(button);
  if (!c_.dialogOpen())
    throw std::runtime_error("the display did not open its dialog for button " +
                             std::to_string(button));
  if (!c_.type(text)) {
    c_.cancelDialog();
    throw std::runtime_error("the display refused the entry '" + text + "'");
  }
}

std::string Pilot::number(double v) {
  std::ostringstream s;
  s << std::setprecision(10) << v;
  return s.str();
}

}  // namespace lobarc
