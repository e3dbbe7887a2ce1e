// What a pilot in the cockpit has: the display (buttons, keys, its dialogs,
// and what it shows), the vessel's own instruments and its controls.
// Nothing else of the simulation or of the module is reachable from here.
#pragma once

#include <optional>
#include <string>

#include "sim/host.h"

namespace lobarc {

class Cockpit {
 public:
  Cockpit(sim::Host& host, std::size_t vessel, int displayId);

  // --- the display ---------------------------------------------------------
  bool pressButton(int button);
  bool pressKey(DWORD key);
  bool dialogOpen() const;
  bool type(const std::string& text);  // into the open dialog; true when accepted
  void cancelDialog();
  // What the display shows: its last redraw (the host redraws it on its own
  // schedule, as time passes).
  const sim::Surface& look();
  std::uint64_t redraws() const;  // how many times it has been redrawn
  const sim::Surface& lastLook() const;
  // The number that follows a text starting with prefix, on the last look.
  std::optional<double> readNumber(const std::string& prefix) const;
  bool shows(const std::string& prefix) const;
  // Where the last look drew a text exactly equal to text, if anywhere.
  std::optional<std::pair<int, int>> positionOf(const std::string& text) const;
  int displayWidth() const;
  int displayHeight() const;

  // --- the vessel's instruments ---------------------------------------------
  double altitude() const;       // [m] above the body radius
  double verticalSpeed() const;  // [m/s]
  double airspeed() const;       // [m/s] relative to the surface
  double pitch() const;          // [rad]
  double heading() const;        // [rad]
  bool groundContact() const;
  double mass() const;                         // [kg]
  double maxThrust(THGROUP_TYPE group) const;  // [N], from the vessel's data sheet

  // --- the vessel's controls ------------------------------------------------
  // Attitude held relative to the local horizon [rad].
  void holdAttitude(double heading, double pitch, double bank);
  // Turns the vessel so that its body axis `axis` (vessel frame) moves onto
  // direction `toward` (vessel frame), by at most maxAngle [rad]; the new
  // attitude is then held fixed in space. Returns the angle left [rad].
  double turnAxisToward(const sim::Vec3& axis, const sim::Vec3& toward, double maxAngle);
  void throttle(THGROUP_TYPE group, double level);

 private:
  sim::Host& host_;
  std::size_t vessel_;
  int display_;
  const sim::Surface* last_ = nullptr;
};

}  // namespace lobarc
