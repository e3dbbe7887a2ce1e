// The playground behind the browser page: the program's own session of a
// built-in scenario (its world, the module linked in and attached behind its
// usual entry points, one display open on the focus vessel), the vessel's
// instruments and controls, the program's referee, a record of the hop, and
// the program's pilot model as an autopilot.
//
// Everything here is plain C++ (no browser types): the bindings turn it into
// JavaScript calls, and the page only draws what it returns and forwards
// input.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/cockpit.h"
#include "app/pilot.h"
#include "app/referee.h"
#include "app/scenario.h"
#include "app/session.h"
#include "web/autopilot.h"

namespace web {

// One sample of the hop, for the altitude over distance and the ground track.
struct TrackPoint {
  double t_s, range_km, alt_km, lat_deg, lng_deg;
};

class Playground {
 public:
  // Loads a built-in scenario (throws lobarc::ScenarioError for an unknown
  // name) with the display's texts in "en" or "fr".
  Playground(const std::string& scenario, const std::string& language);
  ~Playground();
  Playground(const Playground&) = delete;
  Playground& operator=(const Playground&) = delete;

  // --- the display, as JSON texts for the page ------------------------------
  // Redraws the display and returns its display list: size, texts (UTF-8,
  // colour as #rrggbb, alignment, title flag), segments and ellipses.
  std::string displayList();
  std::string buttonLabels();  // the twelve labels, "" for a null label
  bool pressButton(int button);
  bool pressKey(int scanCode);
  // The open input dialog: {"open":false} or {"open":true,"title":...}.
  std::string dialog() const;
  // Types into the open dialog; true when the module accepted (the dialog
  // closed), false when it refused (the dialog stays open) or none is open.
  bool typeInput(const std::string& utf8);
  void cancelInput();
  // What is wrong with an entry for the open dialog, as JSON: "" when the
  // entry may go to the display, else {"lowest":..,"highest":..} for an
  // altitude that is not whole kilometres in that range (the rule of
  // scenarios and the command line; the display alone would read "30.5" as
  // 30 km).
  std::string entryProblem(const std::string& utf8) const;

  // --- the vessel ---------------------------------------------------------------
  std::string instruments() const;
  void setAttitude(double headingDeg, double pitchDeg);
  void setThrottle(const std::string& group, double level);  // "main", "hover"
  // Flying by keys: the attitude turns at these rates [deg per simulated
  // second] while they are not 0 (pitch up, yaw right, roll right), as the
  // keyboard's rotation keys turn a vessel; all 0 holds the attitude then.
  void setRates(double pitchDegps, double yawDegps, double rollDegps);
  // Turns the guided engine's thrust axis toward the "+" of page 2/2 as it
  // is drawn, and keeps it there at every redraw, until switched off (or
  // another control is used).
  void holdTowardMarker(bool on);

  // --- time -----------------------------------------------------------------------
  // Runs the simulation on by simSeconds, but never for more than
  // wallBudgetMs of real time: what does not fit is dropped, so the page
  // stays responsive at any warp. While the autopilot flies, the steps are
  // the pilot's own, whole, as the program's flight runs them: a step that
  // goes past simSeconds is taken out of the next call. Returns the
  // simulated seconds run for this call.
  double advance(double simSeconds, double wallBudgetMs);

  // --- the autopilot and the record of the hop -----------------------------
  void setAutopilot(bool on);
  bool autopilot() const { return pilotOn_; }
  // The display's job ends over the target: past the closest approach the
  // autopilot hands the vessel over (status "handed-over") and the page
  // stops the clock; landing is the visitor's.
  // {"on":..,"phase":..,"note":..,"closest_m":..,"goal_m":..,"arrived":..,
  //  "ended":"" | "handed-over" | "landed" | "crashed","impact_mps":..,
  //  "landing_m":..,...}. Once landed or crashed the clock stands still.
  std::string status() const;
  // Launch site, target and the samples so far.
  std::string track() const;

 private:
  void step(double dt);
  void flyByKeys(double dt);
  void watchGround();
  void record();
  sim::Host& host() { return session_.host(); }
  const sim::Vessel& vessel() const;

  lobarc::Scenario sc_;
  std::string language_;
  lobarc::Session session_;
  lobarc::Cockpit cockpit_;
  lobarc::Referee referee_;
  Autopilot pilot_;
  bool pilotOn_ = false;
  double ahead_s_ = 0;                   // [s] run past what the page asked for so far
  std::string note_;                     // why the autopilot gave up, if it did
  std::unique_ptr<lobarc::Pilot> eyes_;  // reads the "+" for the visitor's hold
  // How the flight ended: "", "handed-over", "landed", "crashed".
  std::string ended_;
  double impact_mps_ = 0, landing_m_ = 0;  // at the touchdown
  bool airborne_ = false;                  // has left the ground
  // Flying by keys.
  std::array<double, 3> rates_{};       // [rad/s] pitch, yaw, roll
  double hdg_ = 0, pit_ = 0, bnk_ = 0;  // [rad] the attitude the keys hold
  bool markerHold_ = false, markerMain_ = true;
  std::uint64_t markerRedraw_ = 0;

  std::vector<TrackPoint> track_;
  double lastSample_ = -1e9;
  double startLat_ = 0, startLng_ = 0;  // [rad]
};

// The built-in scenarios as JSON: [{"name","description","default"}].
std::string scenarioList();

}  // namespace web
