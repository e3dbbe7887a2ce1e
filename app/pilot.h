// The pilot model: acts only as a person in the cockpit can, through the
// Cockpit (display buttons and dialogs, what the display shows, the vessel's
// instruments and controls). It reads the display and decides; the flight
// only lets time pass for it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cockpit.h"
#include "scenario.h"

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

class Pilot {
 public:
  // Lets time pass while the pilot acts: steps the host by dt [s].
  using Wait = std::function<void(double dt_s)>;
  Pilot(Cockpit& c, const Scenario& sc, bool french, Wait wait = {});

  // --- entering the hop --------------------------------------------------
  // Chooses the target and the altitudes through the display's dialogs.
  void enterTarget();
  void enterAltitudeAbove();
  // The engine the display says it guides.
  Engine engine();

  // --- the launch --------------------------------------------------------
  PlanShown readPlan();
  std::optional<double> proposedPitch();
  // Turns to the heading shown and the proposed pitch; returns the pitch [deg].
  double takeLaunchAttitude(const PlanShown& plan);
  // Full throttle, following the pitch proposal and easing off for the last
  // metres per second, until the display shows "MECO"; engines off.
  void burnToMeco(const PlanShown& plan, const Engine& e);
  // Waits (at most a minute) until the vessel has left the ground.
  void climbOut();

  // --- in flight -----------------------------------------------------------
  // Switches the display to its in-flight mode, unless it is there already.
  void switchToFlightMode();
  // Turns to page 2/2, offered only with a solution: tries again after a
  // step while there is none yet.
  void turnToPage2();
  // Page 2/2: the correction still needed, 0 for "MECO", none if not shown.
  std::optional<double> correction();
  // The correction the pilot decides to fly now, if any: big enough to be
  // worth it, not too late in the descent, and not too soon after the last.
  std::optional<double> correctionToFly(bool first, double aimAltitude_m, double now_s,
                                        double nextCheck_s);
  // Points the thrust axis at the "+" and burns the correction down, until
  // the display shows little left or burning on no longer brings it down.
  void burnCorrection(double dv_mps, const Engine& e);
  // Where the "+" says the burn must point, as a unit vector in the vessel
  // frame, decoded from its place in the indicator's frame.
  std::optional<sim::Vec3> burnDirection(bool mainEngine);

  // The delta-v the display showed at the pilot's last reading [m/s].
  double shownDv() const { return shownDv_; }

  void dialog(int button, const std::string& text);

 private:
  std::string headingPrefix() const { return fr_ ? "Direction : " : "Heading : "; }
  std::string vvPrefix() const { return fr_ ? "Vecteur vitesse : " : "Velocity Vector : "; }
  static std::string number(double v);

  Cockpit& c_;
  const Scenario& sc_;
  bool fr_;
  Wait wait_;
  double shownDv_ = 0;  // [m/s]
};

}  // namespace lobarc
