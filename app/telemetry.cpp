#include "app/telemetry.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kDeg;

}  // namespace

double totalLevel(const sim::Vessel& v) {
  return std::max({v.level(THGROUP_MAIN), v.level(THGROUP_RETRO), v.level(THGROUP_HOVER)});
}

Telemetry::Telemetry(Session& session) : session_(session) {
  double lng, lat, rad;
  session.host().world().vessel(session.vessel()).equPos(lng, lat, rad);
  startLat_deg_ = lat / kDeg;
  startLng_deg_ = lng / kDeg;
}

void Telemetry::sample(double aimDistance_m, double displayDv_mps, const std::string& phase) {
  sim::Host& host = session_.host();
  sim::Vessel& v = host.world().vessel(session_.vessel());
  if (host.simTime() - lastRow_s_ < 0.99 && totalLevel(v) == 0) return;
  lastRow_s_ = host.simTime();
  double lng, lat, rad;
  v.equPos(lng, lat, rad);
  const sim::Vec3 a = v.horizonAirspeed();
  // Range over the turning surface, not through space: a vessel standing on
  // the pad has gone nowhere however far the body has turned it.
  const GeographicLib::Geodesic sphere(host.world().body(session_.bodyIndex()).radius(), 0);
  double range = 0;  // [m]
  sphere.Inverse(startLat_deg_, startLng_deg_, lat / kDeg, lng / kDeg, range);
  rows_.push_back({host.simTime(), lat / kDeg, lng / kDeg, v.altitude(), a.norm(), a.y(),
                   displayDv_mps, totalLevel(v), aimDistance_m, range, phase});
}

}  // namespace lobarc
