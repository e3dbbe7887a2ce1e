// Inputs the event fuzzer found that broke the simulated host itself: a
// vessel that thrusts while it holds a horizon attitude right over a pole.
// There the horizon has no north, the held heading turns half round as the
// vessel crosses the axis, and the thrust pushed it back and forth faster
// than any integrator step could follow: Host::step threw (the integrator
// gave up) or never returned.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sim/world.h"

namespace {

constexpr double kPi = std::numbers::pi;

// Distance from the body's rotation axis [m].
double axisDistance(const sim::Body& body, const sim::Vessel& v, double t) {
  const sim::Vec3 b = body.toBodyFixed(v.position(), t);
  return std::hypot(b.x, b.z);
}

// 1 km over the Moon's south pole, retro thrusters at full thrust pushing
// along the horizon: the horizontal push has no direction on the axis, so
// the vessel falls straight down as in free fall.
TEST(FuzzRegression, RetroThrustOverThePoleFallsFreely) {
  sim::World world;
  const int moon = world.addBody(*sim::builtinBody("Moon"));
  sim::Vessel& v = world.addVessel(moon, {"Tug", 100, 500, 500, 500});
  v.placeInFlight(-kPi / 2, kPi, 1000, 0, 0, 0);
  v.setLevel(THGROUP_RETRO, 1);
  const sim::Body& body = world.body(moon);
  const double r0 = body.radius() + 1000;  // [m]
  const double g = body.mu() / (r0 * r0);  // [m/s^2]
  const double t = 20;                     // [s]
  for (int i = 0; i < 1000; ++i) world.advance(t / 1000);
  EXPECT_FALSE(v.groundContact());
  EXPECT_LT(axisDistance(body, v, world.time()), 1.0);
  EXPECT_NEAR(v.altitude(), 1000 - 0.5 * g * t * t, 0.5);
}

// The fuzzer's hang: a tug standing on the pole of a body without mass (so
// that any thrust lifts it off), retro thrust on, two long host steps.
TEST(FuzzRegression, LongStepsOfATugOnThePoleOfAMasslessBodyEnd) {
  sim::World world;
  sim::BodySpec pebble;
  pebble.name = "Pebble";
  pebble.radius_m = 1000;
  pebble.mass_kg = 0;
  pebble.rotation_period_s = 60;
  const int body = world.addBody(pebble);
  sim::Vessel& v = world.addVessel(body, {"Tug", 100, 500, 500, 500});
  v.landAt(-kPi / 2, kPi);
  v.setLevel(THGROUP_RETRO, 1);
  world.advance(292.969);
  world.advance(292.969);
  EXPECT_LT(axisDistance(world.body(body), v, world.time()), 1.0);
  EXPECT_TRUE(std::isfinite(v.velocity().x) && std::isfinite(v.velocity().y) &&
              std::isfinite(v.velocity().z));
}

}  // namespace
