// The landing pilot: its braking and descent laws bring a point mass under
// surface gravity to the gate over the target and down to a soft touchdown
// there; and what it reads from the instruments is where the vessel is.
#include "app/lander.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/session.h"

namespace {

using lobarc::Approach;
using sim::Vec3;

constexpr double kG = 1.62;       // [m/s^2] the Moon's surface gravity
constexpr double kGate = 100;     // [m]
constexpr double kGateSpeed = 5;  // [m/s]
constexpr double kTouchdown = 1;  // [m/s]

// Flies the law on flat ground in steps of dt until the vessel is at height
// `until` (or an hour has passed).
template <class Law>
Approach follow(Approach a, Law law, double until, double dt = 0.01) {
  for (double t = 0; t < 3600 && a.height_m > until; t += dt) {
    const Vec3 acc = law(a) - Vec3(0, 0, kG);
    a.velocity += acc * dt;
    const Vec3 step = a.velocity * dt;
    a.toTarget -= Vec3(step.x(), step.y(), 0);
    a.height_m += step.z();
  }
  return a;
}

TEST(Lander, BrakesToTheGateAndDescendsToASoftTouchdownOverTheTarget) {
  struct Case {
    Vec3 toTarget, velocity;
    double height;
  };
  const Case cases[] = {
      {{0, 60000, 0}, {0, 600, -300}, 40000},        // head on, falling fast
      {{30000, 30000, 0}, {380, 420, -150}, 20000},  // a little across the line
      {{-5000, 0, 0}, {-150, 20, 0}, 3000},          // slow and level
  };
  const auto braking = [](const Approach& a) {
    return lobarc::brakingAcceleration(a, kG, kGate, kGateSpeed);
  };
  const auto descent = [](const Approach& a) {
    return lobarc::descentAcceleration(a, kG, kGate, kGateSpeed, kTouchdown);
  };
  for (const Case& c : cases) {
    Approach a{c.toTarget, c.velocity, c.height};
    a = follow(a, braking, kGate);
    EXPECT_LT(a.toTarget.norm(), 50) << c.height;
    EXPECT_NEAR(a.velocity.z(), -kGateSpeed, 0.5) << c.height;
    EXPECT_LT(std::hypot(a.velocity.x(), a.velocity.y()), 2) << c.height;
    a = follow(a, descent, 0);
    EXPECT_LT(a.toTarget.norm(), 1) << c.height;
    EXPECT_NEAR(a.velocity.norm(), kTouchdown, 0.1) << c.height;
  }
}

// Placed in flight north of the target, moving east, south and down: the
// lander reads the way to the target and the velocity over the ground.
TEST(Lander, ReadsTheApproachFromTheInstruments) {
  const lobarc::Scenario sc = lobarc::parseScenario(R"(body = "Moon"
[vessel]
lat_deg = 0.1
lng_deg = 20.0
altitude_m = 2000
vel_east_mps = 10
vel_north_mps = -20
vel_up_mps = -5
mass_kg = 8000
main_thrust_n = 60000
hover_thrust_n = 45000
[target]
lat_deg = 0.0
lng_deg = 20.0
)",
                                                    "test", "north-of-target");
  lobarc::Session session(sc, "en", LOBARC_MODULE_PATH);
  lobarc::Cockpit cockpit(session.host(), session.vessel(), session.display());
  lobarc::Lander lander(cockpit, sc, [](double) {});
  const Approach a = lander.approach();
  const double south = 1737400 * 0.1 * 3.14159265358979323846 / 180;  // [m] along the meridian
  EXPECT_NEAR(a.toTarget.x(), 0, 1e-3);
  EXPECT_NEAR(a.toTarget.y(), -south, 1e-3);
  EXPECT_NEAR((a.velocity - Vec3(10, -20, -5)).norm(), 0, 1e-9);
  EXPECT_NEAR(a.height_m, 2000, 1e-6);
}

// Braking is flown on the braking engine (the main one when there is one),
// so the take-over is measured against it, whatever the descent engine
// gives. 2 km over the target and falling at 40 m/s, braking needs about
// 2 m/s^2: a quarter of what 60 kN give 8 t, more than 10 kN give.
TEST(Lander, TakesOverWhenTheBrakingEngineNeedsIt) {
  struct Case {
    const char* main_n;
    const char* hover_n;
    bool takeOver;
  };
  for (const Case& c : {Case{"60000", "10000", false}, Case{"10000", "60000", true}}) {
    const lobarc::Scenario sc = lobarc::parseScenario(std::string(R"(body = "Moon"
[vessel]
lat_deg = 0.0
lng_deg = 20.0
altitude_m = 2000
vel_up_mps = -40
mass_kg = 8000
main_thrust_n = )") + c.main_n + "\nhover_thrust_n = " + c.hover_n +
                                                          R"(
[target]
lat_deg = 0.0
lng_deg = 20.0
)",
                                                      "test", "over-the-target");
    lobarc::Session session(sc, "en", LOBARC_MODULE_PATH);
    lobarc::Cockpit cockpit(session.host(), session.vessel(), session.display());
    const lobarc::Lander lander(cockpit, sc, [](double) {});
    EXPECT_EQ(lander.timeToBrake(), c.takeOver) << "main " << c.main_n << " N";
  }
}

}  // namespace
