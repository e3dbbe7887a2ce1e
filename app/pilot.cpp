#include "app/pilot.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kDeg;
constexpr double kFrame_s = 0.1;  // [s] one frame of the simulation

// The correction rules (README, "The pilot"): the display's answer must
// have settled before the first burn; later ones only when the answer has
// grown past a threshold that shrinks as arrival nears, never in the last
// seconds, and never while climbing for a rise the climb itself explains.
constexpr double kSettled_mps = 0.5;          // [m/s] two readings this close agree
constexpr double kSettledShare = 0.02;        // ... or within this share of each other
constexpr double kFirstMin_mps = 0.5;         // [m/s] smaller first corrections are skipped
constexpr double kThresholdPerS = 0.02;       // [m/s per s of flight left]
constexpr double kThresholdMin_mps = 0.5;     // [m/s]
constexpr double kThresholdMax_mps = 5.0;     // [m/s]
constexpr double kClimbThreshold_mps = 20.0;  // [m/s] while climbing
constexpr double kTooLate_s = 15;             // [s] before arrival: no more burns
constexpr double kBetweenBurns_s = 10;        // [s] at least, from the end of the last
// A correction burn: on target when the "+" is within this angle of the
// centre; done when the display shows less than this.
constexpr double kAimed_rad = 3 * kDeg;
constexpr double kDone_mps = 0.2;
// [m/s] less than the best answer so far: the burn is bringing it down.
constexpr double kProgress_mps = 0.05;

}  // namespace

Pilot::Pilot(Cockpit& c, const Scenario& sc, bool french, PersonLimits limits)
    : c_(c), sc_(sc), fr_(french), limits_(limits) {}

Act<> Pilot::pause(double seconds) {
  while (seconds > 1e-9) {
    const double dt = std::min(kFrame_s, seconds);
    burned_ = burned_ || c_.level(THGROUP_MAIN) > 0 || c_.level(THGROUP_HOVER) > 0;
    co_await letPass(dt);
    t_s_ += dt;
    seconds -= dt;
  }
}

Act<> Pilot::nextRedraw() {
  const std::uint64_t seen = c_.redraws();
  for (int i = 0; i < 100000 && c_.redraws() == seen; ++i) co_await pause(kFrame_s);
  c_.look();
}

// Where does the hop stand? A visitor may have done any part of it by hand.
Act<> Pilot::fly() {
  if (c_.dialogOpen()) c_.cancelDialog();
  c_.look();
  bool flightMode = inFlightMode();
  // Page 2/2 hides the target rows: they are read on page 1/2.
  if (flightMode && c_.shows("2/2")) c_.pressButton(kBtnPage);
  if (flightMode && c_.groundContact()) {
    c_.pressButton(kBtnSwitch);  // back on the ground
    flightMode = false;
  }
  if (!hasTarget()) enterTarget();
  engine_ = engine();
  co_await tell(Moment::kTargetSet);
  if (c_.groundContact()) {
    co_await launch();
  } else if (!flightMode) {
    // Airborne under the grounded page: a launch burn still counting down
    // goes on.
    plan_ = co_await readPlan();
    if (plan_.valid && plan_.launchSpeed_mps > 0) {
      co_await tell(Moment::kLaunching);
      co_await burnToMeco(plan_, engine_);
      co_await tell(Moment::kMeco);
    }
  }
  co_await enterFlightMode();
  co_await coastAndCorrect();
}

// On the pad: read the plan and the pre-burn pitch (the proposal appears
// after a redraw), turn, burn to MECO, then climb out.
Act<> Pilot::launch() {
  plan_ = co_await readPlan();
  if (!plan_.valid) throw Aborted("the display shows no launch plan");
  co_await tell(Moment::kPlanRead);
  launchPitch_ = co_await takeLaunchAttitude(plan_);
  co_await tell(Moment::kLaunching);
  co_await burnToMeco(plan_, engine_);
  co_await tell(Moment::kMeco);
  co_await climbOut();
  if (c_.groundContact()) throw Aborted("the vessel did not leave the ground");
}

// Airborne: the display to flight mode, then page 2/2 and its answer
// settled. A switch the display did not take (still touching the ground)
// is tried again at the next redraw.
Act<> Pilot::enterFlightMode() {
  switchToFlightMode();
  co_await tell(Moment::kSwitched);
  co_await nextRedraw();
  for (int i = 0; i < 50 && !inFlightMode(); ++i) {
    switchToFlightMode();
    co_await nextRedraw();
  }
  co_await tell(Moment::kPage1);
  co_await turnToPage2();
  co_await waitForSettledAnswer();
  co_await tell(Moment::kSettled);
}

// Looks at page 2/2 at every redraw and corrects when the rules say so.
Act<> Pilot::coastAndCorrect() {
  first_ = true;
  for (;;) {
    const std::optional<double> dv =
        co_await correctionToFly(first_, sc_.target.alt_above_target_km * 1000);
    co_await tell(Moment::kLooked);
    if (dv) {
      co_await tell(Moment::kCorrecting);
      co_await burnCorrection(engine_);
      co_await tell(Moment::kCorrected);
    }
    first_ = false;
    co_await tell(Moment::kCoasting);
  }
}

bool Pilot::inFlightMode() const {
  return c_.lastLook().findText("Lobarc Launch MFD/Not") != nullptr ||
         c_.lastLook().findText("Lobarc Launch MFD/En vol") != nullptr;
}

bool Pilot::hasTarget() const { return !c_.shows(fr_ ? "Pas de cible" : "No Target"); }

double Pilot::setting(double level) const {
  if (level <= 0) return 0;
  const double steps = std::max(1.0, std::round(level / limits_.throttleStep));
  return std::min(1.0, steps * limits_.throttleStep);
}

double Pilot::acceleration(const Engine& e, double level) const {
  return e.thrust_n * level / c_.mass();
}

double Pilot::burnLevel(double left_mps, const Engine& e, double& cutAfter_s) const {
  // While the pilot reacts the engine keeps its setting; what is left then
  // is burnt at a level that takes about two of the display's intervals,
  // and cut on the pilot's count when it ends within the next one. An
  // answer that grows by itself (the target turning with its body) is
  // burnt against at the rate it grows.
  cutAfter_s = -1;
  const double growth = std::max(0.0, growth_);  // [m/s per s]
  const double now = acceleration(e, c_.level(e.group));
  const double afterReaction = left_mps + (growth - now) * limits_.reaction_s;
  if (afterReaction <= 0) {
    cutAfter_s = 0;
    return 0;
  }
  const double cycle = c_.refreshInterval() + limits_.reaction_s;  // [s]
  const double level = setting((afterReaction / (2 * cycle) + growth) / acceleration(e, 1.0));
  const double closing = acceleration(e, level) - growth;  // [m/s^2]
  if (closing > 0 && afterReaction < closing * cycle) cutAfter_s = afterReaction / closing;
  return level;
}

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

Act<PlanShown> Pilot::readPlan() {
  co_await nextRedraw();
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
  co_return p;
}

Act<std::optional<double>> Pilot::proposedPitch() {
  co_await nextRedraw();
  co_return c_.readNumber("Pitch : ");
}

Act<double> Pilot::takeLaunchAttitude(PlanShown plan) {
  const std::optional<double> proposed = co_await proposedPitch();
  const double pitchDeg = proposed.value_or(plan.launchAngle_deg);
  c_.holdAttitude(plan.heading_deg * kDeg, pitchDeg * kDeg, 0);
  for (int i = 0; i < 1200 && c_.attitudeError() > 0.5 * kDeg; ++i) co_await pause(kFrame_s);
  co_return pitchDeg;
}

Act<> Pilot::burnToMeco(PlanShown plan, Engine e) {
  const double hdg = plan.heading_deg * kDeg;
  co_await pause(limits_.reaction_s);
  c_.throttle(e.group, 1);
  for (int i = 0; i < 20000; ++i) {
    co_await nextRedraw();
    if (c_.shows("MECO")) {
      co_await pause(limits_.reaction_s);
      break;
    }
    const auto pitch = c_.readNumber("Pitch : ");
    const auto dv = c_.readNumber("DeltaV : ");
    if (dv) shownDv_ = *dv;
    double cutAfter = -1;
    const double level = dv ? burnLevel(*dv, e, cutAfter) : 1.0;
    co_await pause(limits_.reaction_s);
    if (pitch) c_.holdAttitude(hdg, *pitch * kDeg, 0);
    c_.throttle(e.group, level);
    if (cutAfter >= 0) {
      co_await pause(cutAfter);
      break;
    }
  }
  c_.throttle(e.group, 0);
  shownDv_ = 0;
}

Act<> Pilot::climbOut() {
  for (int i = 0; i < 600 && c_.groundContact(); ++i) co_await pause(kFrame_s);
  co_await pause(1.0);
}

void Pilot::switchToFlightMode() {
  c_.look();
  if (c_.shows("1/2") || c_.shows("2/2") || inFlightMode()) return;
  c_.pressButton(kBtnSwitch);
  // Flight mode asks for the altitude above the target; a target entered
  // airborne comes with it.
  if (hasTarget())
    enterAltitudeAbove();
  else
    enterTarget();
}

Act<> Pilot::turnToPage2() {
  // The page button does nothing until there is a solution; what it did is
  // seen at the next redraw.
  for (int i = 0; i < 50; ++i) {
    co_await nextRedraw();
    if (c_.shows("2/2")) co_return;
    c_.pressButton(kBtnPage);
  }
}

Act<> Pilot::waitForSettledAnswer() {
  std::optional<double> previous;
  const double until = t_s_ + 30;  // [s]
  while (t_s_ < until) {
    const std::optional<CorrectionShown> now = co_await readCorrection(true);
    if (!now) continue;
    shownDv_ = now->dv_mps;
    if (previous &&
        std::fabs(now->dv_mps - *previous) <= std::max(kSettled_mps, kSettledShare * now->dv_mps))
      co_return;
    previous = now->dv_mps;
  }
}

Act<std::optional<CorrectionShown>> Pilot::readCorrection(bool mainEngine) {
  co_await nextRedraw();
  CorrectionShown s;
  if (auto v = c_.readNumber(" Dv : ")) {
    s.dv_mps = *v;
  } else if (auto v2 = c_.readNumber("Dv : ")) {
    s.dv_mps = *v2;
  } else if (!c_.shows("MECO")) {
    co_return std::nullopt;
  }
  s.toward = burnDirection(mainEngine);
  // How fast the answer grows by itself, from two readings with the
  // engine off all the while between them.
  if (!burned_ && t_s_ > dvAt_s_) growth_ = (s.dv_mps - lastDv_) / (t_s_ - dvAt_s_);
  lastDv_ = s.dv_mps;
  dvAt_s_ = t_s_;
  burned_ = false;
  co_return s;
}

double Pilot::timeToArrival(double aimAltitude_m) const {
  const double g = sim::Body(sc_.body).mu() / (sc_.body.radius_m * sc_.body.radius_m);
  const double vz = c_.verticalSpeed();
  const double h = std::max(0.0, c_.altitude() - aimAltitude_m);  // [m] above the aim
  // Up to the top and down again, or down from here, under surface gravity.
  return (vz + std::sqrt(vz * vz + 2 * g * h)) / g;
}

bool shouldCorrect(const CorrectionCue& cue) {
  if (cue.timeToArrival_s < kTooLate_s) return false;
  if (cue.first) return cue.dv_mps > kFirstMin_mps;
  if (cue.sinceLastBurn_s < kBetweenBurns_s) return false;
  const double threshold = cue.climbing
                               ? kClimbThreshold_mps
                               : std::clamp(kThresholdPerS * cue.timeToArrival_s, kThresholdMin_mps,
                                            kThresholdMax_mps);  // [m/s]
  return cue.dv_mps > threshold;
}

Act<std::optional<double>> Pilot::correctionToFly(bool first, double aimAltitude_m) {
  const std::optional<CorrectionShown> shown = co_await readCorrection(true);
  if (!shown) co_return std::nullopt;
  shownDv_ = shown->dv_mps;
  const CorrectionCue cue{shown->dv_mps, timeToArrival(aimAltitude_m), t_s_ - lastCorr_s_, first,
                          c_.verticalSpeed() > 0};
  if (!shouldCorrect(cue)) co_return std::nullopt;
  co_return shown->dv_mps;
}

bool BurnDown::over(double dv_mps, bool burning) {
  if (dv_mps < rule_.done_mps || stale_ > rule_.patience) return true;
  if (dv_mps > best_mps_ + rule_.regress_mps) return true;
  if (burning) stale_ = dv_mps < best_mps_ - kProgress_mps ? 0 : stale_ + 1;
  best_mps_ = std::min(best_mps_, dv_mps);
  return false;
}

Act<> Pilot::burnCorrection(Engine e) {
  BurnDown watch(BurnDownRule{kDone_mps, 5});
  for (int i = 0; i < 600; ++i) {
    const std::optional<CorrectionShown> shown = co_await readCorrection(e.main);
    if (!shown || !shown->toward) break;
    const double dv = shown->dv_mps;
    shownDv_ = dv;
    if (watch.over(dv, c_.level(e.group) > 0)) break;
    const sim::Vec3 u = *shown->toward;
    const double off = std::acos(std::clamp(u.normalized().dot(e.axis), -1.0, 1.0));  // [rad]
    double cutAfter = -1;
    const double level = off < kAimed_rad ? burnLevel(dv, e, cutAfter) : 0.0;
    co_await pause(limits_.reaction_s);
    c_.pointAxis(e.axis, u);
    c_.throttle(e.group, level);
    if (cutAfter >= 0) {
      co_await pause(cutAfter);
      c_.throttle(e.group, 0);
    }
  }
  c_.throttle(e.group, 0);
  lastCorr_s_ = t_s_;
}

std::optional<sim::Vec3> Pilot::burnDirection(bool mainEngine) {
  // The "+" (the middle of its ink) is read against the indicator as drawn:
  // the centre of its rings, and the 45 degree ring (the largest), whose
  // half-axes are the marker's travel for a direction 45 degrees off the
  // thrust axis.
  const sim::Surface& s = c_.lastLook();
  auto pos = c_.inkCentreOf("+");
  if (!pos || s.ellipses().empty()) return std::nullopt;
  const sim::DrawnEllipse& ring = *std::max_element(
      s.ellipses().begin(), s.ellipses().end(),
      [](const auto& a, const auto& b) { return a.right - a.left < b.right - b.left; });
  const double cx = 0.5 * (ring.left + ring.right), cy = 0.5 * (ring.top + ring.bottom);
  const double unitX = 0.5 * (ring.right - ring.left) / std::sin(45 * kDeg);  // [pixel]
  const double unitY = 0.5 * (ring.bottom - ring.top) / std::sin(45 * kDeg);  // [pixel]
  if (!(unitX > 0 && unitY > 0)) return std::nullopt;
  const double d = (pos->first - cx) / unitX;
  const double Y = std::clamp((pos->second - cy) / unitY, -1.0, 1.0);
  // Further out than the 90 degree circle the horizontal scale folds back
  // from the edge: the direction lies behind the thrust axis.
  const bool behind = std::fabs(d) > 1;
  const double side = std::clamp(behind ? (d > 0 ? 2 - d : -2 - d) : d, -1.0, 1.0);
  const double along = (behind ? -1 : 1) * std::sqrt(std::max(0.0, 1 - side * side - Y * Y));
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
