#include "web/autopilot.h"

namespace web {
namespace {

// [s] the step of the simulation once the hop is over: nothing more to do.
constexpr double kIdleStep_s = 0.1;

}  // namespace

Autopilot::Autopilot(lobarc::Cockpit& cockpit, const lobarc::Scenario& sc, bool french,
                     const lobarc::Referee& referee)
    : c_(cockpit), sc_(sc), fr_(french), referee_(referee) {}

Autopilot::~Autopilot() = default;

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
  hop_.reset();  // before the pilot it runs
  pilot_.reset();
  for (THGROUP_TYPE g : {THGROUP_MAIN, THGROUP_HOVER}) c_.throttle(g, 0);
  phase_ = Phase::kTakeOver;
}

double Autopilot::nextWait() {
  if (phase_ == Phase::kDone) return kIdleStep_s;
  if (!hop_) {
    pilot_.emplace(c_, sc_, fr_);
    hop_ = std::make_unique<lobarc::ActRun>(pilot_->fly());
  }
  // Past the closest approach the hop is over, even in the middle of a
  // correction, as in the program's flight.
  const bool inFlightMode = phase_ == Phase::kCoast || phase_ == Phase::kCorrect;
  if (inFlightMode && referee_.pastClosestApproach(c_.verticalSpeed(), c_.altitude())) {
    release();
    phase_ = Phase::kDone;
    return kIdleStep_s;
  }
  try {
    for (auto beat = hop_->next(); beat; beat = hop_->next()) {
      if (!beat->moment) return beat->wait_s;
      if (!at(*beat->moment)) break;
    }
  } catch (...) {
    release();
    throw;
  }
  hop_.reset();
  phase_ = Phase::kDone;
  return kIdleStep_s;
}

bool Autopilot::at(lobarc::Moment m) {
  using lobarc::Moment;
  switch (m) {
    case Moment::kTargetSet:
      phase_ = c_.groundContact() ? Phase::kPad : Phase::kSwitch;
      return true;
    case Moment::kLaunching:
      phase_ = Phase::kBurn;
      return true;
    case Moment::kMeco:
      phase_ = Phase::kClimb;
      return true;
    case Moment::kSwitched:
      phase_ = Phase::kSwitch;
      return true;
    case Moment::kSettled:
    case Moment::kCorrected:
      phase_ = Phase::kCoast;
      return true;
    case Moment::kCorrecting:
      phase_ = Phase::kCorrect;
      ++corrections_;
      return true;
    case Moment::kCoasting:
      return !c_.groundContact() &&
             !referee_.pastClosestApproach(c_.verticalSpeed(), c_.altitude());
    case Moment::kPlanRead:
    case Moment::kPage1:
    case Moment::kLooked:
      return true;
  }
  return true;
}

}  // namespace web
