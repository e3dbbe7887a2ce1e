// Independent two-body tools for checking and measuring the guidance (its
// tests and benchmarks): conic elements from a state, points and velocities
// on a conic, numerical propagation, symmetric hop ellipses. They share
// nothing with the module but the host's vector type.
#pragma once

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <limits>

#include "OrbiterAPI.h"
#include "sim/units.h"

namespace twobody {

using sim::kPi;

// The Moon as the simulated host describes it is not needed here: any body
// will do, these are round lunar figures.
constexpr double kMoonRadius = 1737400.0;  // [m]
constexpr double kMoonMu = 4.9028e12;      // [m^3/s^2]

inline VECTOR3 Unit(const VECTOR3& a) { return a / length(a); }

// A conic with a focus at the origin, in perifocal unit vectors.
struct Conic {
  double mu;     // [m^3/s^2]
  double p;      // semi-latus rectum [m]
  double e;      // eccentricity
  VECTOR3 pHat;  // towards periapsis
  VECTOR3 qHat;  // 90 degrees ahead in the sense of motion
  VECTOR3 nHat;  // angular momentum direction
};

// Elements from a position and velocity (not for e = 0 exactly).
inline Conic ConicFromState(const VECTOR3& r, const VECTOR3& v, double mu) {
  const VECTOR3 h = crossp(r, v);
  const VECTOR3 eVec = crossp(v, h) / mu - r / length(r);
  Conic c;
  c.mu = mu;
  c.p = dotp(h, h) / mu;
  c.e = length(eVec);
  c.nHat = Unit(h);
  c.pHat = eVec / c.e;
  c.qHat = crossp(c.nHat, c.pHat);
  return c;
}

// Conic from its elements and orientation.
inline Conic ConicFromElements(double mu, double p, double e, const VECTOR3& pHat,
                               const VECTOR3& nHat) {
  return Conic{mu, p, e, pHat, crossp(nHat, pHat), nHat};
}

// True anomaly of a direction in the conic's plane [rad], in (-pi, pi].
inline double TrueAnomaly(const Conic& c, const VECTOR3& direction) {
  return std::atan2(dotp(direction, c.qHat), dotp(direction, c.pHat));
}
inline double RadiusAt(const Conic& c, double theta) { return c.p / (1 + c.e * std::cos(theta)); }
inline VECTOR3 PositionAt(const Conic& c, double theta) {
  return (c.pHat * std::cos(theta) + c.qHat * std::sin(theta)) * RadiusAt(c, theta);
}
inline VECTOR3 VelocityAt(const Conic& c, double theta) {
  return (c.pHat * -std::sin(theta) + c.qHat * (c.e + std::cos(theta))) * std::sqrt(c.mu / c.p);
}

// The symmetric hop ellipse between two points at radius R that lie the
// half angle alpha on either side of its apoapsis, with the apoapsis H above
// R. The plane and sense are those of launch -> target.
inline Conic HopEllipse(double mu, double R, double H, const VECTOR3& launch,
                        const VECTOR3& target) {
  const VECTOR3 nHat = Unit(crossp(launch, target));
  const double cosAlpha = dotp(Unit(launch), Unit(target + launch));
  const double e = H / (R + H - R * cosAlpha);
  const double p = (R + H) * (1 - e);
  // Periapsis opposite the midpoint of the arc.
  return ConicFromElements(mu, p, e, Unit(launch + target) * -1.0, nHat);
}

// Two-body motion, integrated numerically with a tight error control.
using State = std::array<double, 6>;
struct Gravity {
  double mu;
  void operator()(const State& x, State& dxdt, double) const {
    const double r2 = x[0] * x[0] + x[1] * x[1] + x[2] * x[2];
    const double f = -mu / (r2 * std::sqrt(r2));
    dxdt = {x[3], x[4], x[5], f * x[0], f * x[1], f * x[2]};
  }
};

inline State ToState(const VECTOR3& r, const VECTOR3& v) { return {r.x, r.y, r.z, v.x, v.y, v.z}; }
inline VECTOR3 PosOf(const State& x) { return _V(x[0], x[1], x[2]); }
inline VECTOR3 VelOf(const State& x) { return _V(x[3], x[4], x[5]); }

// Advances (r, v) by dt [s].
inline void Propagate(VECTOR3& r, VECTOR3& v, double mu, double dt) {
  namespace ode = boost::numeric::odeint;
  State x = ToState(r, v);
  ode::integrate_adaptive(ode::make_controlled(1e-9, 1e-13, ode::runge_kutta_dopri5<State>()),
                          Gravity{mu}, x, 0.0, dt, dt / 16);
  r = PosOf(x);
  v = VelOf(x);
}

// Closest distance [m] between the coasting trajectory from (r, v) and the
// point, over at most tMax seconds.
inline double ClosestApproach(const VECTOR3& r, const VECTOR3& v, double mu, const VECTOR3& point,
                              double tMax) {
  namespace ode = boost::numeric::odeint;
  auto stepper = ode::make_dense_output(1e-9, 1e-13, ode::runge_kutta_dopri5<State>());
  stepper.initialize(ToState(r, v), 0.0, 1.0);
  State x;
  auto distanceAt = [&](double t) {
    stepper.calc_state(t, x);
    return length(PosOf(x) - point);
  };
  double best = length(r - point);
  while (stepper.current_time() < tMax) {
    stepper.do_step(Gravity{mu});
    double lo = stepper.previous_time(), hi = stepper.current_time();
    // Sample the step, then close in on its smallest distance.
    constexpr int kSamples = 16;
    int bestIndex = 0;
    double stepBest = std::numeric_limits<double>::infinity();
    for (int i = 0; i <= kSamples; ++i) {
      const double d = distanceAt(lo + (hi - lo) * i / kSamples);
      if (d < stepBest) stepBest = d, bestIndex = i;
    }
    double a = lo + (hi - lo) * std::max(0, bestIndex - 1) / kSamples;
    double b = lo + (hi - lo) * std::min(kSamples, bestIndex + 1) / kSamples;
    for (int i = 0; i < 80; ++i) {
      const double m1 = a + (b - a) * 0.381966, m2 = b - (b - a) * 0.381966;
      if (distanceAt(m1) < distanceAt(m2))
        b = m2;
      else
        a = m1;
    }
    best = std::min({best, stepBest, distanceAt(0.5 * (a + b))});
  }
  return best;
}

}  // namespace twobody
