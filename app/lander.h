// The landing pilot: the program's own, not the display's (the display plans
// and corrects a ballistic hop to a point above the target; landing is
// outside its job). It takes over from the hop's pilot when a suicide-burn
// estimate says that braking must begin, brakes at a constant deceleration
// to a gate above the target, and descends at a constant deceleration to a
// soft touchdown. It uses only what a pilot has: the vessel's instruments
// (latitude, longitude, altitude, velocity over the ground, attitude, mass,
// the engines' data sheet) and the target's known coordinates. It flies
// every frame, as an autopilot does, and turns the vessel within the
// attitude thrusters' limits.
#pragma once

#include <functional>

#include "app/cockpit.h"
#include "app/scenario.h"

namespace lobarc {

// Where the vessel stands relative to the target, in its local horizon.
struct Approach {
  sim::Vec3 toTarget = sim::Vec3::Zero();  // [m] east, north over the ground to the target; up 0
  sim::Vec3 velocity = sim::Vec3::Zero();  // [m/s] east, north, up relative to the ground
  double height_m = 0;                     // [m] above the target's ground
};

// The thrust acceleration (east, north, up) [m/s^2] that stops the
// horizontal motion over the target and slows the descent to gateSpeed at
// gate height, each at the constant deceleration that ends there, under
// surface gravity g; horizontally the constant-deceleration stop, which
// also takes out a motion across the line to the target.
sim::Vec3 brakingAcceleration(const Approach& a, double g, double gate_m, double gateSpeed_mps);

// Below the gate: holds the vessel over the target and descends at a
// constant deceleration from the gate to the touchdown speed.
sim::Vec3 descentAcceleration(const Approach& a, double g, double gate_m, double gateSpeed_mps,
                              double touchdown_mps);

class Lander {
 public:
  using Wait = std::function<void(double dt_s)>;
  Lander(Cockpit& c, const Scenario& sc, Wait wait);

  // While coasting: true once the braking must begin (descending, and the
  // deceleration it needs is a large share of what its engine gives).
  bool timeToBrake() const;
  // Turns to the braking attitude, lights the engine when the estimate says
  // so and brakes down to the gate over the target.
  void brake();
  // From the gate to the touchdown; engines off on ground contact.
  void descend();

  Approach approach() const;

 private:
  // The share of the braking engine's acceleration that braking needs now.
  double brakingNeed() const;
  // Turns the given engine's axis along the acceleration and sets the
  // throttles so that each engine gives its part of it along its axis as
  // the vessel points now.
  void thrustAlong(THGROUP_TYPE steer, const sim::Vec3& accel);
  void engines(const sim::Vec3& accel);
  void allOff();

  Cockpit& c_;
  const Scenario& sc_;
  Wait wait_;
  double g_ = 0;          // [m/s^2] the body's surface gravity
  double tgtLat_ = 0;     // [rad]
  double tgtLng_ = 0;     // [rad]
  THGROUP_TYPE brake_;    // the engine that brakes: the main, else hover
  THGROUP_TYPE descent_;  // the engine that descends: hover, else the main
  double heading_ = 0;    // [rad] the heading held while steering the hover axis
};

}  // namespace lobarc
