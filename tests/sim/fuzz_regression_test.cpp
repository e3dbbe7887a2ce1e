// Inputs the event fuzzer found that broke the simulated host itself.
//  - A vessel that thrusts while it holds a horizon attitude right over a
//    pole. There the horizon has no north, the held heading turns half round
//    as the vessel crosses the axis, and the thrust pushed it back and forth
//    faster than any integrator step could follow: Host::step threw (the
//    integrator gave up) or never returned.
//  - A vessel a hair from the body's centre. The first way of fading out the
//    horizontal thrust near the pole took the vertical as the position over
//    its length (infinite for a subnormal length), and the whole state
//    turned NaN; the vertical now comes from latitude and longitude.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "sim/world.h"

namespace {

constexpr double kPi = std::numbers::pi;

// Distance from the body's rotation axis [m].
double axisDistance(const sim::Body& body, const sim::Vessel& v, double t) {
  const sim::Vec3 b = body.toBodyFixed(v.position(), t);
  return std::hypot(b.x(), b.z());
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
  EXPECT_TRUE(std::isfinite(v.velocity().x()) && std::isfinite(v.velocity().y()) &&
              std::isfinite(v.velocity().z()));
}

// Passing through the centre at 80 km/s in steps of the smallest time
// there is: the field of the uniform sphere is all but zero there, so the
// vessel moves on a straight line at its speed.
TEST(FuzzRegression, VesselThroughTheCentreMovesOnAStraightLine) {
  sim::World world;
  const int mars = world.addBody(*sim::builtinBody("Mars"));
  sim::Vessel& v = world.addVessel(mars, {"Hoverer", 5000, 0, 0, 90000});
  const sim::Vec3 velocity{-79607.8, 79607.8, 79607.8};  // [m/s]
  v.setState({0, 0, 0}, velocity);
  const double dt = std::numeric_limits<double>::denorm_min();  // [s]
  for (int i = 0; i < 14; ++i) world.advance(dt);
  // Positions are subnormal too; their ratios to speed x time are not.
  const sim::Vec3 p = v.position();
  const double t = world.time();  // [s]
  EXPECT_NEAR(p.x() / (velocity.x() * t), 1.0, 1e-3);
  EXPECT_NEAR(p.y() / (velocity.y() * t), 1.0, 1e-3);
  EXPECT_NEAR(p.z() / (velocity.z() * t), 1.0, 1e-3);
  EXPECT_EQ(v.velocity().x(), velocity.x());
}

}  // namespace
