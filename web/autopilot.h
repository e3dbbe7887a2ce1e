// The lobarc pilot model flying step by step: between two simulation steps it
// acts once, as a person in the cockpit would (looks at the display, presses
// its buttons, types into its dialogs, turns the vessel, moves the
// throttles), and says how long it lets the simulation run before it acts
// again. It can take over at any moment: its first act reads where the hop
// stands from the display and the instruments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cockpit.h"
#include "pilot.h"
#include "scenario.h"

namespace web {

class Autopilot {
 public:
  enum class Phase { kTakeOver, kPad, kBurn, kClimb, kSwitch, kPage, kCoast, kCorrect, kDone };

  Autopilot(lobarc::Cockpit& cockpit, const lobarc::Scenario& sc, bool french);

  // Acts once and returns the longest step [s] before the next act.
  // aimDistance_m (the host's distance to the aim point) only picks a coarser
  // step far from the target; pastAim tells that the closest approach is
  // behind. Throws std::runtime_error when the display refuses an entry or
  // shows no plan.
  double act(double simTime, double aimDistance_m, bool pastAim);
  Phase phase() const { return phase_; }
  static const char* name(Phase p);
  int corrections() const { return corrections_; }
  // Engines off; the next act starts again from the state it finds.
  void release();

 private:
  double takeOver();
  double pad();
  double burn();
  double climb(double simTime);
  double switchMode();
  double turnPage();
  double coast(double simTime, double aimDistance_m, bool pastAim);
  double correct(double simTime);
  void chooseEngine();
  bool displayInFlight();
  bool hasTarget();
  std::optional<double> shownCorrection();

  lobarc::Cockpit& c_;
  const lobarc::Scenario& sc_;
  bool fr_;
  lobarc::Pilot pilot_;
  Phase phase_ = Phase::kTakeOver;
  bool main_ = true;
  THGROUP_TYPE engine_ = THGROUP_MAIN;
  double heading_ = 0;      // [rad] of the plan
  double airborneAt_ = -1;  // [s] when the climb left the ground
  int pageTries_ = 0;
  bool firstCorrection_ = true;
  double lastBurnEnd_ = -1e9;             // [s] when the last correction ended
  std::optional<lobarc::BurnDown> burn_;  // watches the correction being flown
  int burnSteps_ = 0;
  int corrections_ = 0;
  std::uint64_t padRedraws_ = 0;  // redraws when the target was entered on the pad
  int unanswered_ = 0;            // coast readings of page 2/2 without an answer
};

}  // namespace web
