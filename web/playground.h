// The playground behind the browser page: one simulated host with a built-in
// scenario's world, the module linked in and attached behind its usual entry
// points, one display open on the focus vessel, the vessel's instruments and
// controls, a record of the hop, and the pilot model as an autopilot.
//
// Everything here is plain C++ (no browser types): the bindings turn it into
// JavaScript calls, and the page only draws what it returns and forwards
// input.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "autopilot.h"
#include "cockpit.h"
#include "scenario.h"
#include "sim/host.h"
#include "sim/temp_dir.h"

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

  // --- the vessel ---------------------------------------------------------------
  std::string instruments() const;
  void setAttitude(double headingDeg, double pitchDeg);
  void setThrottle(const std::string& group, double level);  // "main", "hover"

  // --- time -----------------------------------------------------------------------
  // Runs the simulation on by simSeconds, in the pilot's steps when the
  // autopilot flies, but never for more than wallBudgetMs of real time: what
  // does not fit is dropped, so the page stays responsive at any warp.
  // Returns the simulated seconds actually run.
  double advance(double simSeconds, double wallBudgetMs);

  // --- the autopilot and the record of the hop -----------------------------
  void setAutopilot(bool on);
  bool autopilot() const { return pilotOn_; }
  // {"on":..,"phase":..,"note":..,"closest_m":..,"goal_m":..,"arrived":..,...}
  std::string status() const;
  // Launch site, target and the samples so far.
  std::string track() const;

 private:
  void step(double dt);
  void referee();
  bool pastAim() const;
  void record();

  lobarc::Scenario sc_;
  std::string language_;
  sim::TempDir config_;
  std::unique_ptr<sim::Host> host_;
  int body_ = 0;
  std::size_t vessel_ = 0;
  int display_ = -1;
  std::unique_ptr<lobarc::Cockpit> cockpit_;
  std::unique_ptr<Autopilot> pilot_;
  bool pilotOn_ = false;
  std::string note_;  // why the autopilot gave up, if it did

  // Referee: closest approach to the point above the target, moving with the body.
  double best_ = 1e300, bestT_ = 0, prevD_ = 1e300;
  std::array<double, 3> prevRel_{};
  bool havePrev_ = false;
  int growing_ = 0;
  std::vector<TrackPoint> track_;
  double lastSample_ = -1e9;
  double startLat_ = 0, startLng_ = 0;  // [rad]
};

// The built-in scenarios as JSON: [{"name","description","default"}].
std::string scenarioList();

}  // namespace web
