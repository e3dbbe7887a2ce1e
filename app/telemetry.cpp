#include "telemetry.h"

#include <algorithm>
#include <cmath>

namespace lobarc {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;  // [rad per deg]

}  // namespace

double totalLevel(const sim::Vessel& v) {
  return std::max({v.level(THGROUP_MAIN), v.level(THGROUP_RETRO), v.level(THGROUP_HOVER)});
}

Telemetry::Telemetry(Session& session)
    : session_(session), start_(session.host().world().vessel(session.vessel()).position()) {}

void Telemetry::sample(double aimDistance_m, double displayDv_mps, const std::string& phase) {
  sim::Host& host = session_.host();
  sim::Vessel& v = host.world().vessel(session_.vessel());
  if (host.simTime() - lastRow_s_ < 0.99 && totalLevel(v) == 0) return;
  lastRow_s_ = host.simTime();
  double lng, lat, rad;
  v.equPos(lng, lat, rad);
  const sim::Vec3 a = v.horizonAirspeed();
  const sim::Vec3 p = v.position();
  // Range: the angle between the start and now, along the body's radius.
  const double c = p.dot(start_) / (p.norm() * start_.norm());
  const double range =
      std::acos(std::clamp(c, -1.0, 1.0)) * host.world().body(session_.bodyIndex()).radius();
  rows_.push_back({host.simTime(), lat / kDeg, lng / kDeg, v.altitude(), a.norm(), a.y(),
                   displayDv_mps, totalLevel(v), aimDistance_m, range, phase});
}

}  // namespace lobarc
