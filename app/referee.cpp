#include "app/referee.h"

#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kDeg;

}  // namespace

Referee::Referee(Session& session, double aimAltitude_m)
    : session_(session), aimAltitude_m_(aimAltitude_m) {}

double Referee::observe() {
  sim::Vessel& v = session_.host().world().vessel(session_.vessel());
  const sim::Vec3 rel = v.position() - session_.aimPoint(aimAltitude_m_);
  const double d = rel.norm();
  if (havePrev_) {
    // Closest point of the segment from the last observation to this one.
    const sim::Vec3 dr = rel - prevRel_;
    const double dd = dr.squaredNorm();
    const double s = dd > 0 ? std::clamp(-prevRel_.dot(dr) / dd, 0.0, 1.0) : 0;
    keepIfCloser((prevRel_ + s * dr).norm());
  }
  keepIfCloser(d);
  receding_ = d > lastDistance_ ? receding_ + 1 : 0;
  lastDistance_ = d;
  prevRel_ = rel;
  havePrev_ = true;
  return d;
}

void Referee::keepIfCloser(double d) {
  if (d >= best_) return;
  best_ = d;
  bestTime_ = session_.host().simTime();
  bestAlt_ = session_.host().world().vessel(session_.vessel()).altitude();
}

double Referee::groundDistanceToTarget() const {
  const sim::Vessel& v = session_.host().world().vessel(session_.vessel());
  return (v.position() - session_.aimPoint(0)).norm();
}

bool Referee::pastClosestApproach(double verticalSpeed_mps, double altitude_m) const {
  return receding_ > 20 && verticalSpeed_mps < 0 && best_ < 1e299 &&
         altitude_m < aimAltitude_m_ + 20000;
}

std::string Referee::outcome(bool success, double simTime_s, double maxTime_s) {
  if (simTime_s >= maxTime_s) return "timeout";
  return success ? "arrived" : "missed";
}

double Referee::minimumEnergySpeed(const Scenario& sc, double mu, double radius_m) {
  // v^2 = (mu/R) 2 sin(a) / (1 + sin(a)), with a half the central angle
  // (haversine form, sound for short hops too).
  const double la1 = sc.vessel.lat_deg * kDeg, lo1 = sc.vessel.lng_deg * kDeg;
  const double la2 = sc.target.lat_deg * kDeg, lo2 = sc.target.lng_deg * kDeg;
  const double s1 = std::sin((la2 - la1) / 2), s2 = std::sin((lo2 - lo1) / 2);
  const double a = std::asin(std::sqrt(s1 * s1 + std::cos(la1) * std::cos(la2) * s2 * s2));
  return std::sqrt(mu / radius_m * 2 * std::sin(a) / (1 + std::sin(a)));
}

}  // namespace lobarc
