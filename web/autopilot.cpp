#include "autopilot.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace web {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;
// The pilot's rhythm [s]: the burn is followed closely, the rest less so.
constexpr double kBurnStep = 0.05, kStep = 0.1, kFarStep = 1.0;
// Beyond this distance to the aim point [m] the coast runs in longer steps.
constexpr double kNearAim = 30000;
// The pilot's rule for the end of a correction burn, with the patience and
// the margins of a pilot that reads the display at every step (kStep).
constexpr lobarc::BurnDownRule kBurnRule{0.3, 30, 1.0};
constexpr int kMaxBurnSteps = 6000;  // 10 simulated minutes of kStep

}  // namespace

Autopilot::Autopilot(lobarc::Cockpit& cockpit, const lobarc::Scenario& sc, bool french)
    : c_(cockpit), sc_(sc), fr_(french), pilot_(cockpit, sc, french) {}

const char* Autopilot::name(Phase p) {
  switch (p) {
    case Phase::kTakeOver:
      return "take-over";
    case Phase::kPad:
      return "pad";
    case Phase::kBurn:
      return "burn";
    case Phase::kClimb:
      return "climb";
    case Phase::kSwitch:
      return "switch";
    case Phase::kPage:
      return "page";
    case Phase::kCoast:
      return "coast";
    case Phase::kCorrect:
      return "correct";
    case Phase::kDone:
      return "done";
  }
  return "?";
}

void Autopilot::release() {
  for (THGROUP_TYPE g : {THGROUP_MAIN, THGROUP_HOVER}) c_.throttle(g, 0);
  phase_ = Phase::kTakeOver;
}

double Autopilot::act(double simTime, double aimDistance_m, bool pastAim) {
  switch (phase_) {
    case Phase::kTakeOver:
      return takeOver();
    case Phase::kPad:
      return pad();
    case Phase::kBurn:
      return burn();
    case Phase::kClimb:
      return climb(simTime);
    case Phase::kSwitch:
      return switchMode();
    case Phase::kPage:
      return turnPage();
    case Phase::kCoast:
      return coast(simTime, aimDistance_m, pastAim);
    case Phase::kCorrect:
      return correct(simTime);
    case Phase::kDone:
      return kFarStep;
  }
  return kStep;
}

bool Autopilot::displayInFlight() {
  const sim::Surface& s = c_.look();
  return s.findText("Lobarc Launch MFD/Not") != nullptr ||
         s.findText("Lobarc Launch MFD/En vol") != nullptr;
}

// The common rows say "No Target" until a target is complete.
bool Autopilot::hasTarget() {
  c_.look();
  return !c_.shows(fr_ ? "Pas de cible" : "No Target");
}

void Autopilot::chooseEngine() {
  const lobarc::Engine e = pilot_.engine();
  main_ = e.main;
  engine_ = e.group;
}

// Page 2/2 as last drawn: the correction still needed, 0 for "MECO", none
// if the page shows neither.
std::optional<double> Autopilot::shownCorrection() {
  c_.look();
  if (auto v = c_.readNumber(" Dv : ")) return v;
  if (auto v = c_.readNumber("Dv : ")) return v;
  if (c_.shows("MECO")) return 0.0;
  return std::nullopt;
}

// Where does the hop stand? A visitor may have done any part of it by hand.
double Autopilot::takeOver() {
  if (c_.dialogOpen()) c_.cancelDialog();
  const bool inFlightDisplay = displayInFlight();
  // Page 2/2 hides the target rows: read them on page 1/2.
  if (inFlightDisplay && c_.shows("2/2")) c_.pressButton(lobarc::kBtnPage);
  if (c_.groundContact()) {
    if (inFlightDisplay) c_.pressButton(lobarc::kBtnSwitch);  // back on the ground
    if (!hasTarget()) pilot_.enterTarget();
    chooseEngine();
    phase_ = Phase::kPad;
    burnSteps_ = 0;
    padRedraws_ = c_.redraws();
    return kStep;
  }
  if (!inFlightDisplay) {
    // Airborne under the grounded page: a burn still counting down goes on.
    const lobarc::PlanShown plan = pilot_.readPlan();
    chooseEngine();
    if (plan.valid && plan.launchSpeed_mps > 0) {
      heading_ = plan.heading_deg * kDeg;
      phase_ = Phase::kBurn;
      return kBurnStep;
    }
    phase_ = Phase::kSwitch;
    return switchMode();
  }
  if (!hasTarget()) pilot_.enterTarget();
  chooseEngine();
  phase_ = Phase::kPage;
  pageTries_ = 0;
  return kStep;
}

double Autopilot::pad() {
  // The plan is read from a redraw made after the target was entered. Under
  // time acceleration the host redraws only so many times per second of
  // real time, so that may be many steps later.
  ++burnSteps_;
  if (burnSteps_ < 5 || (c_.redraws() <= padRedraws_ && burnSteps_ < 6000)) return kStep;
  lobarc::PlanShown plan = pilot_.readPlan();
  if (!plan.valid) throw std::runtime_error("the display shows no launch plan");
  heading_ = plan.heading_deg * kDeg;
  const double pitchDeg = pilot_.proposedPitch().value_or(plan.launchAngle_deg);
  c_.holdAttitude(heading_, pitchDeg * kDeg, 0);
  c_.throttle(engine_, 1);
  phase_ = Phase::kBurn;
  return kBurnStep;
}

double Autopilot::burn() {
  c_.look();
  if (c_.shows("MECO")) {
    c_.throttle(engine_, 0);
    phase_ = Phase::kClimb;
    airborneAt_ = -1;
    burnSteps_ = 0;
    return kStep;
  }
  if (auto p = c_.readNumber("Pitch : ")) c_.holdAttitude(heading_, *p * kDeg, 0);
  if (auto dv = c_.readNumber("DeltaV : ")) {
    // Ease off for the last metres per second so the cut-off is clean.
    const double level = std::clamp(*dv * c_.mass() / (c_.maxThrust(engine_) * 0.5), 0.05, 1.0);
    c_.throttle(engine_, level);
  }
  return kBurnStep;
}

double Autopilot::climb(double simTime) {
  if (c_.groundContact()) {
    if (++burnSteps_ > 600) throw std::runtime_error("the vessel did not leave the ground");
    return kStep;
  }
  if (airborneAt_ < 0) {
    airborneAt_ = simTime;
    return kFarStep;  // clear of the ground before the display is switched
  }
  phase_ = Phase::kSwitch;
  return switchMode();
}

double Autopilot::switchMode() {
  if (!displayInFlight()) {
    c_.pressButton(lobarc::kBtnSwitch);
    if (!displayInFlight()) return kStep;  // still touching: try after a step
    if (hasTarget())
      pilot_.enterAltitudeAbove();
    else
      pilot_.enterTarget();  // airborne: with the altitude above the target
  }
  phase_ = Phase::kPage;
  pageTries_ = 0;
  return kStep;
}

double Autopilot::turnPage() {
  c_.look();
  if (!c_.shows("2/2")) {
    c_.pressButton(lobarc::kBtnPage);
    c_.look();
  }
  if (c_.shows("2/2")) {
    phase_ = Phase::kCoast;
    return kStep;
  }
  // No solution yet: the page stays; try again after a step.
  if (++pageTries_ > 50) throw std::runtime_error("the display never offered page 2/2");
  return kStep;
}

double Autopilot::coast(double simTime, double aimDistance_m, bool pastAim) {
  if (pastAim || c_.groundContact()) {
    phase_ = Phase::kDone;
    return kFarStep;
  }
  c_.look();
  if (!c_.shows("2/2")) {
    // Someone turned the page: back to 2/2, where the "+" is.
    phase_ = Phase::kPage;
    pageTries_ = 0;
    return kStep;
  }
  const auto dv = shownCorrection();
  // Page 2/2 without an answer for a while: the target is gone (a reset
  // keeps the page): enter it again, with the altitude above it.
  unanswered_ = dv ? 0 : unanswered_ + 1;
  if (unanswered_ > 20) {
    unanswered_ = 0;
    pilot_.enterTarget();
    return kStep;
  }
  if (dv) {
    const lobarc::CorrectionCue cue{
        *dv, pilot_.timeToArrival(sc_.target.alt_above_target_km * 1000), simTime - lastBurnEnd_,
        firstCorrection_, c_.verticalSpeed() > 0};
    if (lobarc::shouldCorrect(cue)) {
      phase_ = Phase::kCorrect;
      ++corrections_;
      burn_.emplace(kBurnRule, *dv);
      burnSteps_ = 0;
      return correct(simTime);
    }
  }
  return aimDistance_m < kNearAim ? kStep : kFarStep;
}

// Points the thrust axis at the "+" and burns the correction down.
double Autopilot::correct(double simTime) {
  const auto u = pilot_.burnDirection(main_);
  const auto now = shownCorrection();
  const bool finished = !u || !now || !burn_ || burn_->over(*now, c_.level(engine_) > 0) ||
                        ++burnSteps_ > kMaxBurnSteps;
  if (finished) {
    c_.throttle(engine_, 0);
    firstCorrection_ = false;
    lastBurnEnd_ = simTime;
    phase_ = Phase::kCoast;
    return kStep;
  }
  const sim::Vec3 axis = main_ ? sim::Vec3{0, 0, 1} : sim::Vec3{0, 1, 0};
  c_.pointAxis(axis, *u);
  const double left = c_.attitudeError();
  double level = 0;
  if (left < 2 * kDeg)
    level = std::clamp(*now * c_.mass() / (c_.maxThrust(engine_) * 2.0), 0.01, 1.0);
  c_.throttle(engine_, level);
  return kStep;
}

}  // namespace web
