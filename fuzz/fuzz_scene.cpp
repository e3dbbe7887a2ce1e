#include "fuzz/fuzz_scene.h"

#include <cmath>
#include <stdexcept>

#include "sim/units.h"

namespace fuzz {

namespace {

using sim::kPi;

// Bases a pilot can pick by name where the geometry is at its worst: both
// poles, both sides of the +-180 deg meridian, and the point where latitude
// and longitude are 0.
void addEdgeBases(sim::BodySpec& body) {
  body.bases.push_back({"North", kPi / 2, 0});
  body.bases.push_back({"South", -kPi / 2, kPi});
  body.bases.push_back({"Dateline", 0, kPi});
  body.bases.push_back({"Westline", 0.25, -kPi});
  body.bases.push_back({"Origin", 0, 0});
}

sim::BodySpec builtin(const char* name) {
  auto spec = sim::builtinBody(name);
  if (!spec) throw std::logic_error(std::string("fuzz scene: no built-in body ") + name);
  addEdgeBases(*spec);
  return *spec;
}

}  // namespace

void buildScene(sim::Host& host) {
  sim::World& world = host.world();
  const int moon = world.addBody(builtin("Moon"));
  const int mars = world.addBody(builtin("Mars"));

  // A pebble without mass that turns once a minute: no gravity at all, and
  // a surface that moves fast for its size.
  sim::BodySpec pebble;
  pebble.name = "Pebble";
  pebble.radius_m = 1000;
  pebble.mass_kg = 0;
  pebble.rotation_period_s = 60;
  addEdgeBases(pebble);
  const int tiny = world.addBody(pebble);

  // A giant that does not turn, tilted on its side, turning backwards.
  sim::BodySpec giant;
  giant.name = "Giant";
  giant.radius_m = 7.0e7;
  giant.mass_kg = 1.9e27;
  giant.rotation_period_s = -36000;
  giant.obliquity_rad = kPi / 2;
  addEdgeBases(giant);
  const int big = world.addBody(giant);

  // Every combination of the thruster groups the display asks about.
  world.addVessel(moon, {"Lander", 15000, 45000, 0, 30000}).landAt(0.0117, 0.4097);
  world.addVessel(moon, {"Hopper", 8000, 30000, 0, 0}).landAt(kPi / 2, 0);
  world.addVessel(mars, {"Hoverer", 5000, 0, 0, 90000}).landAt(0.33, -0.58);
  world.addVessel(moon, {"Glider", 2000, 0, 0, 0}).placeInFlight(0.1, kPi, 100000, 1600, 0, 0);
  world.addVessel(tiny, {"Tug", 100, 500, 500, 500}).landAt(0, kPi);
  world.addVessel(big, {"Probe", 1000, 1.0e6, 0, 0}).placeInFlight(-0.3, 2.0, 1.0e6, 0, 0, 100);
  host.setFocus(0);
}

}  // namespace fuzz
