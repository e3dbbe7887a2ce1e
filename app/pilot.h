// The pilot model: acts only as a person in the cockpit can, through the
// Cockpit (display buttons and dialogs, what the display shows, the vessel's
// instruments and controls).
#pragma once

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "cockpit.h"
#include "flight.h"
#include "scenario.h"

namespace lobarc {

// Buttons of the display, as the pilot learns them from its labels.
constexpr int kBtnTarget = 0, kBtnLat = 1, kBtnLng = 2, kBtnSecurity = 3, kBtnAbove = 4,
              kBtnSwitch = 6, kBtnPage = 11;

// The pilot: flies with the display, the instruments and the controls only.
class Pilot {
 public:
  Pilot(Cockpit& c, const Scenario& sc, bool french) : c_(c), sc_(sc), fr_(french) {}

  // Chooses the target and the altitudes through the display's dialogs.
  void enterTarget() {
    c_.look();
    if (sc_.target.base) {
      dialog(kBtnTarget, *sc_.target.base);
    } else {
      dialog(kBtnLat, number(sc_.target.lat_deg));
      dialog(kBtnLng, number(sc_.target.lng_deg));
    }
    dialog(kBtnSecurity, std::to_string(static_cast<long>(sc_.target.security_alt_km)));
    // The altitude above the target can only be entered in flight mode.
    if (!c_.groundContact())
      dialog(kBtnAbove, std::to_string(static_cast<long>(sc_.target.alt_above_target_km)));
  }

  void enterAltitudeAbove() {
    dialog(kBtnAbove, std::to_string(static_cast<long>(sc_.target.alt_above_target_km)));
  }

  // The engine the display says it guides.
  bool mainEngine() {
    c_.look();
    return c_.shows(fr_ ? "Moteur : Principal" : "Engine : Main");
  }

  std::string headingPrefix() const { return fr_ ? "Direction : " : "Heading : "; }
  std::string vvPrefix() const { return fr_ ? "Vecteur vitesse : " : "Velocity Vector : "; }

  PlanShown readPlan() {
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

  std::optional<double> proposedPitch() {
    c_.look();
    return c_.readNumber("Pitch : ");
  }

  // Page 2/2: the correction still needed, 0 for "MECO", none if not shown.
  std::optional<double> correction() {
    c_.look();
    if (auto v = c_.readNumber(" Dv : ")) return *v;
    if (auto v = c_.readNumber("Dv : ")) return *v;
    if (c_.shows("MECO")) return 0.0;
    return std::nullopt;
  }

  // Where the "+" says the burn must point, as a unit vector in the vessel
  // frame, decoded from its place in the indicator's frame.
  std::optional<sim::Vec3> burnDirection(bool mainEngine) {
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

  void dialog(int button, const std::string& text) {
    c_.pressButton(button);
    if (!c_.dialogOpen())
      throw std::runtime_error("the display did not open its dialog for button " +
                               std::to_string(button));
    if (!c_.type(text)) {
      c_.cancelDialog();
      throw std::runtime_error("the display refused the entry '" + text + "'");
    }
  }

 private:
  static std::string number(double v) {
    std::ostringstream s;
    s << std::setprecision(10) << v;
    return s.str();
  }
  Cockpit& c_;
  const Scenario& sc_;
  bool fr_;
};

}  // namespace lobarc
