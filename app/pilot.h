// The pilot model: acts only as a person in the cockpit can, through the
// Cockpit (display buttons and dialogs, what the display shows, the vessel's
// instruments and controls), with a person's limits: it sees the display
// only as the display is redrawn, acts a reaction time after it has read
// it, and sets the throttle in steps. It reads the display and decides;
// whoever drives it (the program's flight, the browser's playground) only
// lets time pass for it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "app/cockpit.h"
#include "app/pilot_act.h"
#include "app/scenario.h"

namespace lobarc {

// Buttons of the display, as the pilot learns them from its labels.
constexpr int kBtnTarget = 0, kBtnLat = 1, kBtnLng = 2, kBtnSecurity = 3, kBtnAbove = 4,
              kBtnSwitch = 6, kBtnPage = 11;

// The launch plan as the grounded page shows it.
struct PlanShown {
  bool valid = false;
  double heading_deg = 0;      // [deg] launch heading
  double launchAngle_deg = 0;  // [deg] elevation of the launch velocity
  double apoAltitude_km = 0;   // [km] hMax
  double vTan_mps = 0;         // [m/s] horizontal speed at apoapsis
  double launchSpeed_mps = 0;  // [m/s] the delta-v to burn
};

// The engine the display guides, as the pilot flies it.
struct Engine {
  bool main = true;  // main engine, else hover
  THGROUP_TYPE group = THGROUP_MAIN;
  sim::Vec3 axis = sim::Vec3::UnitZ();  // thrust axis, vessel frame
  double thrust_n = 0;                  // [N] from the vessel's data sheet
};

// What a person brings to the cockpit.
struct PersonLimits {
  double reaction_s = 0.7;     // [s] from reading the display to moving a control
  double throttleStep = 0.05;  // throttle settings are whole multiples of this
};

// What the pilot reads on page 2/2 at one redraw.
struct CorrectionShown {
  double dv_mps = 0;                // [m/s] the correction asked for, 0 for "MECO"
  std::optional<sim::Vec3> toward;  // where the "+" says to burn, vessel frame
};

// What the pilot weighs when deciding, at one redraw of page 2/2, whether to
// start a correction burn.
struct CorrectionCue {
  double dv_mps = 0;           // [m/s] the correction the display asks for
  double timeToArrival_s = 0;  // [s] the pilot's estimate, from the instruments
  double sinceLastBurn_s = 0;  // [s] since the last correction ended
  bool first = false;          // no correction flown since cut-off
  bool climbing = false;       // vertical speed upwards
};
// The pilot's rule (see the README): a first correction soon after cut-off,
// then only when the answer has grown past a threshold that shrinks as
// arrival nears, never in the last seconds, never right after a burn.
bool shouldCorrect(const CorrectionCue& cue);

// When a correction burn is over, from the answers the display shows during
// it: little is left, or burning on no longer brings the answer down (the
// solution moves under the burn), or it has grown well past its best (the
// burn points wrong). The patience counts readings taken while burning.
struct BurnDownRule {
  double done_mps = 0.2;       // [m/s] the answer counts as flown below this
  int patience = 5;            // readings while burning without progress
  double regress_mps = 1e300;  // [m/s] above the best answer: over
};

class BurnDown {
 public:
  explicit BurnDown(BurnDownRule rule, double start_mps = 1e300)
      : rule_(rule), best_mps_(start_mps) {}
  // Takes the answer shown at one reading [m/s], and whether the engine
  // burnt up to it; true when the burn is over.
  bool over(double dv_mps, bool burning);

 private:
  BurnDownRule rule_;
  double best_mps_;  // [m/s] the smallest answer seen so far
  int stale_ = 0;    // readings while burning since the last progress
};

// The hop cannot go on (no plan on the pad, the vessel never left the
// ground); what() says why.
class Aborted : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Pilot {
 public:
  Pilot(Cockpit& c, const Scenario& sc, bool french, PersonLimits limits = {});

  // --- the whole hop ---------------------------------------------------------
  // Flies the hop from wherever it stands (a visitor may have done any part
  // of it by hand): the target unless the display has one, the launch from
  // the pad or a launch burn still counting down, the display to flight
  // mode and page 2/2, then corrections while coasting, telling every step
  // (Moment) as it goes. It coasts on until its driver ends it, which alone
  // sees where the aim point is. Throws Aborted when the hop cannot go on,
  // std::runtime_error when the display refuses an entry.
  Act<> fly();
  // What fly() found out, for its driver.
  const Engine& engineInUse() const { return engine_; }
  const PlanShown& plan() const { return plan_; }
  double launchPitch() const { return launchPitch_; }  // [deg]
  bool firstLook() const { return first_; }  // the look at page 2/2 that decides the first burn

  // --- entering the hop --------------------------------------------------
  // Chooses the target and the altitudes through the display's dialogs.
  void enterTarget();
  void enterAltitudeAbove();
  // The engine the display says it guides.
  Engine engine();

  // --- the launch --------------------------------------------------------
  Act<PlanShown> readPlan();
  Act<std::optional<double>> proposedPitch();
  // Turns to the heading shown and the proposed pitch and waits until the
  // vessel is there; returns the pitch [deg].
  Act<double> takeLaunchAttitude(PlanShown plan);
  // Full throttle, following the pitch proposal and easing off for the last
  // metres per second, until the display shows "MECO" or the count says the
  // burn is done; engines off.
  Act<> burnToMeco(PlanShown plan, Engine e);
  // Waits (at most a minute) until the vessel has left the ground.
  Act<> climbOut();

  // --- in flight -----------------------------------------------------------
  // Switches the display to its in-flight mode, unless it is there already,
  // and enters what flight mode asks for.
  void switchToFlightMode();
  // Turns to page 2/2, offered only with a solution.
  Act<> turnToPage2();
  // Watches the display's answer until two redraws in a row agree (at most
  // half a minute).
  Act<> waitForSettledAnswer();
  // Page 2/2 at its next redraw.
  Act<std::optional<CorrectionShown>> readCorrection(bool mainEngine);
  // The correction the pilot decides to fly at this redraw, if any (see the
  // README for the rules).
  Act<std::optional<double>> correctionToFly(bool first, double aimAltitude_m);
  // Points the thrust axis at the "+" and burns the correction down, until
  // the display shows little left or burning on no longer brings it down.
  Act<> burnCorrection(Engine e);
  // Where the "+" says the burn must point, as a unit vector in the vessel
  // frame, decoded from its place in the indicator as drawn.
  std::optional<sim::Vec3> burnDirection(bool mainEngine);
  // The pilot's estimate of the time left before the aim altitude, from the
  // altitude and vertical speed and the body's surface gravity [s].
  double timeToArrival(double aimAltitude_m) const;

  // Lets time pass in frames of the simulation.
  Act<> pause(double seconds);
  // Waits for the display's next redraw and looks at it.
  Act<> nextRedraw();

  // The delta-v the display showed at the pilot's last reading [m/s].
  double shownDv() const { return shownDv_; }

  void dialog(int button, const std::string& text);

 private:
  Act<> launch();
  Act<> enterFlightMode();
  Act<> coastAndCorrect();
  // The display's title says flight mode (either language).
  bool inFlightMode() const;
  // The common rows say "No Target" until a target is complete.
  bool hasTarget() const;
  std::string headingPrefix() const { return fr_ ? "Direction : " : "Heading : "; }
  std::string vvPrefix() const { return fr_ ? "Vecteur vitesse : " : "Velocity Vector : "; }
  static std::string number(double v);
  // A throttle setting the pilot can make: a whole number of steps, at least
  // one unless off.
  double setting(double level) const;
  // The throttle for the next interval and, when the count reaches zero
  // within it, the time after which to cut [s].
  double burnLevel(double left_mps, const Engine& e, double& cutAfter_s) const;
  double acceleration(const Engine& e, double level) const;  // [m/s^2]

  Cockpit& c_;
  const Scenario& sc_;
  bool fr_;
  PersonLimits limits_;
  Engine engine_;             // the engine the display guides, once fly() chose it
  PlanShown plan_;            // the launch plan as read on the pad
  double launchPitch_ = 0;    // [deg] the pitch the launch burn began at
  bool first_ = true;         // the coming look at page 2/2 decides the first burn
  double shownDv_ = 0;        // [m/s]
  double lastCorr_s_ = -1e9;  // [s] when the last correction ended
  double lastDv_ = 0;         // [m/s] the correction shown at the last reading
  double dvAt_s_ = 1e300;     // [s] when it was read
  double growth_ = 0;         // [m/s per s] how fast the answer grew with the engine off
  bool burned_ = true;        // an engine burnt since the last reading
  double t_s_ = 0;            // [s] the pilot's clock: time let pass so far
};

}  // namespace lobarc
