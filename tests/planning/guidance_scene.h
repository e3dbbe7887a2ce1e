// A scene for white-box tests of the per-step guidance: the module's code
// linked into the test, attached to a simulated host, one display open in
// the mode, and the display instance at hand.
#pragma once

#include <cmath>
#include <string>

#include "app/linked_module.h"
#include "lobarc/entry_points.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/world.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

namespace guidance {

inline VECTOR3 ToV(const sim::Vec3& v) { return _V(v.x(), v.y(), v.z()); }

// The lander of the standard scene, with retro thrusters as well.
inline testsupport::HopOptions LanderOptions(const std::string& body = "Moon",
                                             const std::string& base = "") {
  testsupport::HopOptions o;
  o.body = body;
  o.base = base;
  o.vessel = sim::VesselSpec{"Lander", 15000, 45000, 20000, 30000};
  return o;
}

struct Scene {
  explicit Scene(const testsupport::HopOptions& options = LanderOptions()) : hop(options) {
    hop.host.attachModule(lobarc::linkedModuleEntries(), "ArvexMFD (linked)");
    display = hop.openLaunchDisplay(400, 400);
  }

  ArvexMFD& mfd() { return *static_cast<ArvexMFD*>(hop.host.display(display)); }
  sim::Vessel& lander() { return hop.lander(); }
  const sim::Body& body() { return hop.host.world().body(hop.body); }

  // Holds the vessel's attitude to the local horizon; angles in the
  // module's degrees, so that they read back as the same numbers.
  void Attitude(double headingDeg, double pitchDeg) {
    lander().setHorizonAttitude(headingDeg / kDegPerRad, pitchDeg / kDegPerRad, 0);
  }

  // Target by latitude and longitude in the module's degrees, as the entry
  // handlers leave it, then a new plan.
  void Target(double latDeg, double lngDeg) {
    ArvexMFD& m = mfd();
    m.inputs.tgtLatDeg = latDeg;
    m.inputs.tgtLngDeg = lngDeg;
    m.tgtLat = latDeg / kDegPerRad;
    m.tgtLng = lngDeg / kDegPerRad;
    m.inputs.tgtLatSet = m.inputs.tgtLngSet = true;
    m.search.solverStarted = false;
    m.search.searchDir = +1;
    m.RecomputePlan();
  }

  // The aim point altAboveTarget above the target, global frame, now.
  VECTOR3 AimPoint() {
    ArvexMFD& m = mfd();
    return ToV(body().surfacePoint(m.tgtLat, m.tgtLng, body().radius() + m.inputs.altAboveTarget,
                                   hop.host.simTime()));
  }

  testsupport::MoonHop hop;
  int display = -1;
};

}  // namespace guidance
