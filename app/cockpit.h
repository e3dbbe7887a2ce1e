// What a pilot in the cockpit has: the display (buttons, keys, its dialogs,
// and what it shows when it was last redrawn), the vessel's own instruments
// and its controls. Nothing else of the simulation or of the module is
// reachable from here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/host.h"

namespace lobarc {

// How fast the attitude thrusters turn the vessel: a lander's reaction
// control. The Apollo lunar module's jets (445 N each, about 1.7 m from the
// centre of mass) gave the whole vehicle a few degrees per second squared;
// its hand controller asked for up to 20 deg/s, pilots flew far below that.
struct AttitudeLimits {
  double maxRate_rad_s = 0.17453292519943295;    // [rad/s] 10 deg/s
  double maxAccel_rad_s2 = 0.05235987755982989;  // [rad/s^2] 3 deg/s^2
};

class Cockpit {
 public:
  // refresh_s: the display's redraw interval in simulated time (Orbiter's
  // default is 1 s in the 2016 edition, 0.5 s in 2024).
  Cockpit(sim::Host& host, std::size_t vessel, int displayId, double refresh_s = 1.0,
          AttitudeLimits limits = {});

  // --- the display ---------------------------------------------------------
  bool pressButton(int button);
  bool pressKey(DWORD key);
  bool dialogOpen() const;
  bool type(const std::string& text);  // into the open dialog; true when accepted
  void cancelDialog();
  // What the display shows: its last redraw (the host redraws it on its own
  // schedule, as time passes).
  const sim::Surface& look();
  const sim::Surface& lastLook() const;
  // After every time step: notes the attitude indicator's reading when the
  // host has just redrawn the display.
  void afterStep();
  std::uint64_t redraws() const;   // how many times the display was drawn
  double refreshInterval() const;  // [s] simulated
  // The number that follows a text starting with prefix, on the last look.
  std::optional<double> readNumber(const std::string& prefix) const;
  bool shows(const std::string& prefix) const;
  // Where the last look drew a text exactly equal to text, if anywhere.
  std::optional<std::pair<int, int>> positionOf(const std::string& text) const;
  // The middle of that text's ink on the display, as the eye finds it [pixel].
  std::optional<std::pair<double, double>> inkCentreOf(const std::string& text) const;
  int displayWidth() const;
  int displayHeight() const;

  // --- the vessel's instruments ---------------------------------------------
  double altitude() const;                      // [m] above the body radius
  double verticalSpeed() const;                 // [m/s]
  double airspeed() const;                      // [m/s] relative to the surface
  double pitch() const;                         // [rad]
  double heading() const;                       // [rad]
  double bank() const;                          // [rad] right wing down positive
  void equPos(double& lng, double& lat) const;  // longitude and latitude [rad]
  // Velocity relative to the surface in the local horizon: east, north, up [m/s].
  sim::Vec3 groundVelocity() const;
  bool groundContact() const;
  double propellant() const;                   // [kg] the fuel gauge
  double mass() const;                         // [kg]
  double maxThrust(THGROUP_TYPE group) const;  // [N], from the vessel's data sheet
  double level(THGROUP_TYPE group) const;      // throttle setting, 0..1

  // --- the vessel's controls ------------------------------------------------
  // The attitude thrusters turn the vessel towards the commanded attitude
  // within the limits above, one time step after another (control()).
  // Attitude held relative to the local horizon [rad].
  void holdAttitude(double heading, double pitch, double bank);
  // Turns body axis `axis` onto `toward`, both in the vessel frame as it stood
  // at the display's last redraw (the attitude indicator's reading then),
  // and holds that attitude fixed in space.
  void pointAxis(const sim::Vec3& axis, const sim::Vec3& toward);
  double attitudeError() const;  // [rad] still to turn
  void throttle(THGROUP_TYPE group, double level);
  // The attitude thrusters at work for the next dt [s] of simulated time.
  void control(double dt);

 private:
  sim::Mat3 commanded() const;  // the attitude to reach, vessel -> global

  sim::Host& host_;
  std::size_t vessel_;
  int display_;
  AttitudeLimits limits_;
  const sim::Surface* last_ = nullptr;
  std::uint64_t seenRedraws_ = 0;               // redraws noted by afterStep
  sim::Mat3 atRedraw_ = sim::Mat3::Identity();  // the vessel's attitude at the last redraw
  bool horizonHold_ = false;                 // the command is a horizon attitude, else a fixed one
  double hdg_ = 0, pit_ = 0, bnk_ = 0;       // [rad] commanded horizon attitude
  sim::Mat3 fixed_ = sim::Mat3::Identity();  // commanded fixed attitude
  bool commanding_ = false;                  // an attitude has been commanded
  double rate_ = 0;                          // [rad/s] turning rate now
};

}  // namespace lobarc
