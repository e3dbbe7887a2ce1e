#include "app/lander.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::Vec3;

using sim::kDeg;
constexpr double kFrame_s = 0.1;  // [s] the autopilot acts every frame

// The approach (README, "Landing"). Braking begins once the deceleration it
// needs reaches kTakeOver of what the braking engine gives: the vessel
// turns to the braking attitude and lights the engine at kIgnite, which
// leaves the rest (and the mass it burns off) for what the estimate does
// not see: the turn, the curvature of the body, a lag in attitude.
constexpr double kTakeOver = 0.7;
constexpr double kIgnite = 0.8;
constexpr double kGate_m = 100;          // [m] over the target: braking ends, the descent begins
constexpr double kGateSpeed_mps = 5;     // [m/s] descending at the gate
constexpr double kTouchdown_mps = 1;     // [m/s] descending at touchdown
constexpr double kHoldRate_s = 0.2;      // [1/s] natural frequency of the hold over the target
constexpr double kVerticalGain_s = 1.0;  // [1/s] on the vertical speed's error
constexpr double kHoldMax_mps2 = 1.0;    // [m/s^2] horizontal acceleration in the descent
constexpr double kNear_m = 20;           // [m] close enough to hold over the target
constexpr double kSlow_mps = 1;          // [m/s] closing slowly enough to hold

// Horizontal: the constant-deceleration stop over the target, or a damped
// hold once there.
Vec3 horizontal(const Approach& a, double limit) {
  const Vec3 x{a.toTarget.x(), a.toTarget.y(), 0};
  const Vec3 v{a.velocity.x(), a.velocity.y(), 0};
  const double d = x.norm();
  const double closing = d > 0 ? v.dot(x) / d : 0;  // [m/s]
  Vec3 acc;
  if (d > kNear_m && closing > kSlow_mps) {
    // Time to go of the constant-deceleration stop; the command is the
    // energy-optimal one for it, which along the line is that deceleration
    // and across it takes out the sideways motion.
    const double t = 2 * d / closing;
    acc = 6 * x / (t * t) - 4 * v / t;
  } else {
    acc = kHoldRate_s * kHoldRate_s * x - 2 * kHoldRate_s * v;
  }
  if (acc.norm() > limit) acc *= limit / acc.norm();
  return acc;
}

// The vessel's forward and up axes in its local horizon (east, north, up),
// from its heading, pitch and bank.
void axes(double h, double p, double b, Vec3& forward, Vec3& up) {
  const double sh = std::sin(h), ch = std::cos(h), sp = std::sin(p), cp = std::cos(p);
  const double sb = std::sin(b), cb = std::cos(b);
  forward = {sh * cp, ch * cp, sp};
  up = sb * Vec3(ch, -sh, 0) + cb * Vec3(-sp * sh, -sp * ch, cp);
}

}  // namespace

Vec3 brakingAcceleration(const Approach& a, double g, double gate_m, double gateSpeed_mps) {
  Vec3 acc = horizontal(a, 1e9);
  const double h = a.height_m - gate_m;  // [m] still to fall to the gate
  const double vz = a.velocity.z();
  double up = g + kVerticalGain_s * (-gateSpeed_mps - vz);
  if (h > 1 && vz < -gateSpeed_mps) up = g + (vz * vz - gateSpeed_mps * gateSpeed_mps) / (2 * h);
  acc.z() = std::max(0.0, up);
  return acc;
}

Vec3 descentAcceleration(const Approach& a, double g, double gate_m, double gateSpeed_mps,
                         double touchdown_mps) {
  Vec3 acc = horizontal(a, kHoldMax_mps2);
  const double decel =
      (gateSpeed_mps * gateSpeed_mps - touchdown_mps * touchdown_mps) / (2 * gate_m);  // [m/s^2]
  const double h = std::max(0.0, a.height_m);
  const double wanted =
      -std::min(gateSpeed_mps, std::sqrt(touchdown_mps * touchdown_mps + 2 * decel * h));  // [m/s]
  const double feed = wanted > -gateSpeed_mps ? decel : 0.0;
  acc.z() = std::max(0.0, g + feed + kVerticalGain_s * (wanted - a.velocity.z()));
  return acc;
}

Lander::Lander(Cockpit& c, const Scenario& sc, Wait wait)
    : c_(c),
      sc_(sc),
      wait_(std::move(wait)),
      g_(sim::Body(sc.body).mu() / (sc.body.radius_m * sc.body.radius_m)),
      tgtLat_(sc.target.lat_deg * kDeg),
      tgtLng_(sc.target.lng_deg * kDeg),
      brake_(c.maxThrust(THGROUP_MAIN) > 0 ? THGROUP_MAIN : THGROUP_HOVER),
      descent_(c.maxThrust(THGROUP_HOVER) > 0 ? THGROUP_HOVER : THGROUP_MAIN) {}

Approach Lander::approach() const {
  const GeographicLib::Geodesic sphere(sc_.body.radius_m, 0);
  double lng = 0, lat = 0, dist = 0, azi1 = 0, azi2 = 0;
  c_.equPos(lng, lat);
  sphere.Inverse(lat / kDeg, lng / kDeg, tgtLat_ / kDeg, tgtLng_ / kDeg, dist, azi1, azi2);
  Approach a;
  a.toTarget = {dist * std::sin(azi1 * kDeg), dist * std::cos(azi1 * kDeg), 0};
  a.velocity = c_.groundVelocity();
  a.height_m = c_.altitude();
  return a;
}

double Lander::brakingNeed() const {
  const Vec3 acc = brakingAcceleration(approach(), g_, kGate_m, kGateSpeed_mps);
  return acc.norm() * c_.mass() / c_.maxThrust(brake_);
}

bool Lander::timeToBrake() const { return c_.verticalSpeed() < 0 && brakingNeed() >= kTakeOver; }

void Lander::thrustAlong(THGROUP_TYPE steer, const Vec3& accel) {
  const double n = accel.norm();
  if (n > 0) {
    const Vec3 d = accel / n;
    const double horiz = std::hypot(d.x(), d.y());
    if (steer == THGROUP_MAIN) {
      // The nose along the acceleration; the heading kept while it points
      // almost straight up, where the heading has no meaning.
      if (horiz > 0.1) heading_ = std::atan2(d.x(), d.y());
      c_.holdAttitude(heading_, std::asin(std::clamp(d.z(), -1.0, 1.0)), 0);
    } else {
      // The up axis along it: pitched back along the heading and banked
      // across it.
      const Vec3 level{std::sin(heading_), std::cos(heading_), 0};
      const Vec3 right{std::cos(heading_), -std::sin(heading_), 0};
      const double bank = std::asin(std::clamp(d.dot(right), -1.0, 1.0));
      c_.holdAttitude(heading_, std::atan2(-d.dot(level), d.z()), bank);
    }
  }
  engines(accel);
}

void Lander::engines(const Vec3& accel) {
  // Each engine gives the part of the acceleration along its axis as the
  // vessel points now (read from the attitude indicator), none against it.
  Vec3 forward, up;
  axes(c_.heading(), c_.pitch(), c_.bank(), forward, up);
  const double m = c_.mass();
  for (auto [group, axis] : {std::pair{THGROUP_MAIN, forward}, std::pair{THGROUP_HOVER, up}}) {
    const double f = c_.maxThrust(group);
    if (f > 0) c_.throttle(group, std::clamp(accel.dot(axis) * m / f, 0.0, 1.0));
  }
}

void Lander::allOff() {
  c_.throttle(THGROUP_MAIN, 0);
  c_.throttle(THGROUP_HOVER, 0);
}

void Lander::brake() {
  const Approach start = approach();
  heading_ = std::atan2(start.velocity.x(), start.velocity.y());  // along the flight
  bool lit = false;
  for (int i = 0; i < 40000 && !c_.groundContact(); ++i) {
    const Approach a = approach();
    if (a.height_m <= kGate_m) break;
    const Vec3 acc = brakingAcceleration(a, g_, kGate_m, kGateSpeed_mps);
    lit = lit || acc.norm() * c_.mass() >= kIgnite * c_.maxThrust(brake_);
    thrustAlong(brake_, acc);
    if (!lit) allOff();  // turning to the braking attitude, engines still off
    wait_(kFrame_s);
  }
}

void Lander::descend() {
  for (int i = 0; i < 20000 && !c_.groundContact(); ++i) {
    const Vec3 acc = descentAcceleration(approach(), g_, kGate_m, kGateSpeed_mps, kTouchdown_mps);
    thrustAlong(descent_, acc);
    wait_(kFrame_s);
  }
  allOff();
}

}  // namespace lobarc
