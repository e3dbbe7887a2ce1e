// The simulated world: frames of a turning body, vessel attitude, placement,
// and the physics of flight, lift-off and touchdown.
#include "sim/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <ostream>
#include <random>
#include <string>

namespace {

using sim::Mat3;
using sim::Vec3;

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

double dot(const Vec3& a, const Vec3& b) { return a.dot(b); }
double norm(const Vec3& a) { return a.norm(); }
Vec3 unit(const Vec3& a) { return a.normalized(); }
Vec3 cross(const Vec3& a, const Vec3& b) { return a.cross(b); }
Vec3 column(const Mat3& m, int i) { return m.col(i); }
Vec3 mul(const Mat3& m, const Vec3& v) { return m * v; }
double det(const Mat3& m) { return m.determinant(); }
// Largest deviation of m^T m from the identity.
double orthoError(const Mat3& m) {
  return (m.transpose() * m - Mat3::Identity()).cwiseAbs().maxCoeff();
}
double angleDiff(double a, double b) { return std::remainder(a - b, 2 * kPi); }

// A tilted, turning test body with the Moon's size and mass.
sim::BodySpec tiltedMoon(double period_s = 2360592.0) {
  sim::BodySpec s = *sim::builtinBody("Moon");
  s.obliquity_rad = 0.4;
  s.rotation_at_epoch_rad = 0.7;
  s.rotation_period_s = period_s;
  return s;
}

// Directions of growing latitude and longitude, found from the surface
// point itself, independently of the body's own local frame.
void gradientFrame(const sim::Body& b, double lat, double lng, double t, Vec3& north, Vec3& east) {
  const double d = 1e-6;
  const double r = b.radius();
  north = unit(b.surfacePoint(lat + d, lng, r, t) - b.surfacePoint(lat - d, lng, r, t));
  east = unit(b.surfacePoint(lat, lng + d, r, t) - b.surfacePoint(lat, lng - d, r, t));
}

// --- Body frames ----------------------------------------------------------

TEST(BodyFrames, TurnRoundTripsAndKeepsLengths) {
  const sim::Body moon(tiltedMoon());
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> coord(-2e6, 2e6), time(-1e7, 1e7);
  for (int i = 0; i < 200; ++i) {
    const Vec3 v{coord(rng), coord(rng), coord(rng)};
    const double t = time(rng);
    const Vec3 g = moon.toGlobal(v, t);
    EXPECT_NEAR(norm(g), norm(v), 1e-9 * norm(v));
    EXPECT_NEAR(norm(moon.toBodyFixed(g, t) - v), 0.0, 1e-9 * norm(v));
  }
}

TEST(BodyFrames, ObliquityMatrixTiltsThePoleByTheObliquity) {
  const sim::Body moon(tiltedMoon());
  const Mat3 m = moon.obliquityMatrix();
  EXPECT_NEAR(det(m), 1.0, 1e-15);
  EXPECT_LT(orthoError(m), 1e-15);
  const Vec3 pole = mul(m, Vec3{0, 1, 0});
  EXPECT_NEAR(std::acos(pole.y()), 0.4, 1e-12);
  // The pole stays put while the body turns.
  EXPECT_NEAR(norm(moon.surfacePoint(kPi / 2, 0, 1, 0) - moon.surfacePoint(kPi / 2, 1, 1, 5e5)),
              0.0, 1e-12);
}

TEST(BodyFrames, RotationAngleStaysInRangeAndRepeatsEachPeriod) {
  const sim::Body moon(tiltedMoon(1000.0));
  for (double t : {-1e9, -1000.0, -1e-12, 0.0, 1e-12, 249.9, 999.999999, 1e9 + 0.5}) {
    const double a = moon.rotationAngle(t);
    EXPECT_GE(a, 0.0) << "t = " << t;
    EXPECT_LT(a, 2 * kPi) << "t = " << t;
    EXPECT_NEAR(angleDiff(moon.rotationAngle(t + 1000.0), a), 0.0, 1e-6) << "t = " << t;
  }
  EXPECT_DOUBLE_EQ(moon.rotationAngle(250.0), 0.7 + kPi / 2);
  const sim::Body still(tiltedMoon(0.0));
  EXPECT_DOUBLE_EQ(still.rotationAngle(12345.0), 0.7);
}

TEST(BodyFrames, SurfaceTurnsEastward) {
  const double period = 86400.0;
  const sim::Body body(tiltedMoon(period));
  const double lat = 0.3, t0 = 1234.0;
  // A quarter turn later the point at longitude 0 stands where +90 deg was.
  const Vec3 later = body.surfacePoint(lat, 0, body.radius(), t0 + period / 4);
  const Vec3 eastOfIt = body.surfacePoint(lat, kPi / 2, body.radius(), t0);
  EXPECT_NEAR(norm(later - eastOfIt), 0.0, 1e-6);
  // Its velocity points east with the speed of the turn.
  Vec3 up, north, east;
  const Vec3 p = body.surfacePoint(lat, 0, body.radius(), t0);
  body.localFrame(p, t0, up, north, east);
  const Vec3 v = body.surfaceVelocity(p, t0);
  EXPECT_NEAR(dot(v, east), 2 * kPi / period * body.radius() * std::cos(lat), 1e-9);
  EXPECT_NEAR(dot(v, north), 0.0, 1e-9);
  EXPECT_NEAR(dot(v, up), 0.0, 1e-9);
}

TEST(BodyFrames, SurfaceVelocityIsTheRateOfChangeOfAFixedPoint) {
  const sim::Body body(tiltedMoon(5000.0));
  std::mt19937 rng(7u);
  std::uniform_real_distribution<double> lat(-1.5, 1.5), lng(-kPi, kPi), time(0, 1e5);
  for (int i = 0; i < 50; ++i) {
    const double la = lat(rng), ln = lng(rng), t = time(rng), h = 1e-2;
    const Vec3 rate = (body.surfacePoint(la, ln, body.radius(), t + h) -
                       body.surfacePoint(la, ln, body.radius(), t - h)) *
                      (1 / (2 * h));
    const Vec3 v = body.surfaceVelocity(body.surfacePoint(la, ln, body.radius(), t), t);
    EXPECT_NEAR(norm(v - rate), 0.0, 1e-7 * norm(v));
  }
}

TEST(BodyFrames, LocalFrameFollowsLatitudeAndLongitude) {
  const sim::Body body(tiltedMoon());
  std::mt19937 rng(11u);
  std::uniform_real_distribution<double> lat(-1.5, 1.5), lng(-kPi, kPi), time(0, 1e7);
  for (int i = 0; i < 50; ++i) {
    const double la = lat(rng), ln = lng(rng), t = time(rng);
    const Vec3 p = body.surfacePoint(la, ln, body.radius(), t);
    Vec3 up, north, east, gNorth, gEast;
    body.localFrame(p, t, up, north, east);
    gradientFrame(body, la, ln, t, gNorth, gEast);
    EXPECT_NEAR(norm(up - unit(p)), 0.0, 1e-12);
    EXPECT_NEAR(norm(north - gNorth), 0.0, 1e-8);
    EXPECT_NEAR(norm(east - gEast), 0.0, 1e-8);
  }
}

// --- Vessel attitude ------------------------------------------------------

struct Scene {
  explicit Scene(sim::BodySpec spec, sim::VesselSpec vs = {"Test", 10000, 0, 0, 0}) {
    body = world.addBody(std::move(spec));
    vessel = &world.addVessel(body, vs);
  }
  const sim::Body& b() const { return world.body(body); }
  sim::World world;
  int body = -1;
  sim::Vessel* vessel = nullptr;
};

TEST(VesselAttitude, LevelFacingNorthHasRightWingEast) {
  Scene s(tiltedMoon());
  std::mt19937 rng(3u);
  std::uniform_real_distribution<double> lat(-1.5, 1.5), lng(-kPi, kPi);
  for (int i = 0; i < 20; ++i) {
    const double la = lat(rng), ln = lng(rng);
    s.world.advance(3600);
    s.vessel->landAt(la, ln);
    const Mat3 r = s.vessel->rotation();
    Vec3 north, east;
    gradientFrame(s.b(), la, ln, s.world.time(), north, east);
    EXPECT_NEAR(det(r), 1.0, 1e-12);
    EXPECT_NEAR(norm(column(r, 0) - east), 0.0, 1e-8);
    EXPECT_NEAR(norm(column(r, 1) - unit(s.vessel->position())), 0.0, 1e-12);
    EXPECT_NEAR(norm(column(r, 2) - north), 0.0, 1e-8);
  }
}

TEST(VesselAttitude, HeadingPitchBankRoundTrip) {
  Scene s(tiltedMoon());
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> lat(-1.4, 1.4), lng(-kPi, kPi), hdg(0, 2 * kPi),
      pitch(-1.4, 1.4), bank(-3.0, 3.0);
  for (int i = 0; i < 200; ++i) {
    s.vessel->placeInFlight(lat(rng), lng(rng), 5000, 10, 20, 30);
    const double h = hdg(rng), p = pitch(rng), b = bank(rng);
    s.vessel->setHorizonAttitude(h, p, b);
    const Mat3 r = s.vessel->rotation();
    EXPECT_NEAR(det(r), 1.0, 1e-12);
    EXPECT_LT(orthoError(r), 1e-12);
    EXPECT_NEAR(angleDiff(s.vessel->heading(), h), 0.0, 1e-9);
    EXPECT_NEAR(s.vessel->pitch(), p, 1e-9);
    EXPECT_NEAR(angleDiff(s.vessel->bank(), b), 0.0, 1e-9);
  }
}

TEST(VesselAttitude, BankPutsTheRightWingDown) {
  Scene s(tiltedMoon());
  s.vessel->placeInFlight(0.2, 0.3, 1000, 0, 0, 0);
  s.vessel->setHorizonAttitude(0.5, 0.1, 0.3);
  EXPECT_LT(dot(column(s.vessel->rotation(), 0), unit(s.vessel->position())), 0.0);
}

TEST(VesselAttitude, HorizonAttitudeIsHeldAlongTheFlight) {
  Scene s(tiltedMoon());
  const double v = std::sqrt(s.b().mu() / (s.b().radius() + 1e5));
  s.vessel->placeInFlight(0.1, 0.2, 1e5, v, 0, 0);
  s.vessel->setHorizonAttitude(1.2, 0.3, -0.4);
  const Vec3 start = s.vessel->position();
  for (int i = 0; i < 600; ++i) s.world.advance(1.0);
  ASSERT_GT(norm(s.vessel->position() - start), 5e5);
  EXPECT_NEAR(s.vessel->heading(), 1.2, 1e-9);
  EXPECT_NEAR(s.vessel->pitch(), 0.3, 1e-9);
  EXPECT_NEAR(s.vessel->bank(), -0.4, 1e-9);
}

TEST(VesselAttitude, FixedGlobalAttitudeIsKept) {
  Scene s(tiltedMoon());
  s.vessel->placeInFlight(0.1, 0.2, 1e5, 1600, 0, 0);
  s.vessel->setHorizonAttitude(0.4, 0.2, 0.1);
  const Mat3 fixed = s.vessel->rotation();
  s.vessel->setRotation(fixed);
  for (int i = 0; i < 100; ++i) s.world.advance(1.0);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(s.vessel->rotation()(i / 3, i % 3), fixed(i / 3, i % 3)) << "element " << i;
}

// --- Airspeed ---------------------------------------------------------------

TEST(Airspeed, PitchMinusAoaIsTheFlightPathAngle) {
  // Earth turns fast enough that inertial velocity would give other angles.
  Scene s(*sim::builtinBody("Earth"));
  std::mt19937 rng(5u);
  std::uniform_real_distribution<double> lat(-1.2, 1.2), lng(-kPi, kPi), speed(-300, 300),
      pitch(-1.0, 1.0);
  for (int i = 0; i < 100; ++i) {
    const double vE = speed(rng), vN = speed(rng), vU = speed(rng);
    s.vessel->placeInFlight(lat(rng), lng(rng), 2000, vE, vN, vU);
    s.vessel->setHorizonAttitude(std::atan2(vE, vN), pitch(rng), 0);
    const double gamma = std::atan2(vU, std::hypot(vE, vN));
    EXPECT_NEAR(angleDiff(s.vessel->pitch() - s.vessel->aoa(), gamma), 0.0, 1e-9);
  }
}

TEST(Airspeed, PitchMinusAoaIsTheFlightPathAngleInAPoweredClimb) {
  // Due east from the equator the airspeed stays in the heading's plane.
  Scene s(*sim::builtinBody("Earth"), {"Climber", 10000, 300000, 0, 0});
  s.vessel->landAt(0, 0.5);
  s.vessel->setHorizonAttitude(kPi / 2, 60 * kDeg, 0);
  s.vessel->setLevel(THGROUP_MAIN, 1.0);
  EXPECT_EQ(s.vessel->aoa(), 0.0);  // standing still in the air
  for (int i = 0; i < 30; ++i) {
    s.world.advance(1.0);
    ASSERT_FALSE(s.vessel->groundContact());
    const Vec3 air = s.vessel->horizonAirspeed();
    const double gamma = std::atan2(air.y(), std::hypot(air.x(), air.z()));
    EXPECT_NEAR(s.vessel->pitch() - s.vessel->aoa(), gamma, 1e-9) << "after " << i + 1 << " s";
  }
}

TEST(Airspeed, HorizonAirspeedIsRelativeToTheSurfaceWithVerticalSpeedInY) {
  Scene s(*sim::builtinBody("Earth"));
  std::mt19937 rng(9u);
  std::uniform_real_distribution<double> lat(-1.5, 1.5), lng(-kPi, kPi), speed(-3000, 3000);
  for (int i = 0; i < 100; ++i) {
    const double vE = speed(rng), vN = speed(rng), vU = speed(rng);
    s.vessel->placeInFlight(lat(rng), lng(rng), 1e4, vE, vN, vU);
    const Vec3 air = s.vessel->horizonAirspeed();
    const Vec3 p = s.vessel->position();
    EXPECT_NEAR(air.y(), dot(s.vessel->velocity(), p) / norm(p), 1e-9);
    EXPECT_NEAR(air.x(), vE, 1e-9);
    EXPECT_NEAR(air.z(), vN, 1e-9);
  }
  s.vessel->landAt(0.1, 0.1);
  EXPECT_EQ(norm(s.vessel->horizonAirspeed()), 0.0);
}

// --- Placement and the turning surface -------------------------------------

TEST(Placement, LandedVesselTurnsWithTheSurface) {
  for (const std::string name : {"Moon", "Earth"}) {
    Scene s(*sim::builtinBody(name));
    const sim::Base& base = s.b().spec().bases.at(0);
    s.vessel->landAt(base.lat_rad, base.lng_rad);
    for (int hour = 1; hour <= 10; ++hour) {
      for (int i = 0; i < 60; ++i) s.world.advance(60.0);
      const double t = s.world.time();
      const Vec3 expected = s.b().surfacePoint(base.lat_rad, base.lng_rad, s.b().radius(), t);
      EXPECT_TRUE(s.vessel->groundContact()) << name << ", hour " << hour;
      EXPECT_NEAR(norm(s.vessel->position() - expected), 0.0, 1e-6) << name << ", hour " << hour;
      EXPECT_NEAR(norm(s.vessel->velocity() - s.b().surfaceVelocity(expected, t)), 0.0, 1e-9)
          << name << ", hour " << hour;
    }
    // The body has really turned meanwhile (0.15 rad for the Moon).
    EXPECT_GT(norm(s.vessel->position() -
                   s.b().surfacePoint(base.lat_rad, base.lng_rad, s.b().radius(), 0)),
              1e5)
        << name;
  }
}

TEST(Placement, EquPosRoundTrips) {
  Scene s(tiltedMoon(20000.0));
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> lat(-kPi / 2, kPi / 2), lng(-kPi, kPi), alt(0, 1e5),
      wait(0, 5e4);
  for (int i = 0; i < 200; ++i) {
    const double la = lat(rng), ln = lng(rng), h = alt(rng);
    s.world.advance(wait(rng));
    if (i % 2 == 0) {
      s.vessel->landAt(la, ln);
    } else {
      s.vessel->placeInFlight(la, ln, h, 0, 0, 0);
    }
    double gotLng = 0, gotLat = 0, gotRadius = 0;
    s.vessel->equPos(gotLng, gotLat, gotRadius);
    EXPECT_NEAR(gotLat, la, 1e-12);
    EXPECT_NEAR(gotLng, ln, 1e-12);
    EXPECT_NEAR(gotRadius, s.b().radius() + (i % 2 == 0 ? 0 : h), 1e-6);
  }
}

TEST(Placement, EquPosLongitudeIsInMinusPiToPi) {
  Scene s(tiltedMoon(0.0));
  for (double ln : {-kPi, kPi, 3 * kPi / 2, -3 * kPi / 2}) {
    s.vessel->landAt(0.2, ln);
    double gotLng = 0, gotLat = 0, gotRadius = 0;
    s.vessel->equPos(gotLng, gotLat, gotRadius);
    EXPECT_GT(gotLng, -kPi) << "lng " << ln;
    EXPECT_LE(gotLng, kPi) << "lng " << ln;
    EXPECT_NEAR(angleDiff(gotLng, ln), 0.0, 1e-12) << "lng " << ln;
  }
}

// --- Thrust ----------------------------------------------------------------

struct GroupCase {
  THGROUP_TYPE group;
  Vec3 axis;  // vessel frame
};
void PrintTo(const GroupCase& c, std::ostream* os) { *os << "group " << c.group; }

class ThrustGroups : public testing::TestWithParam<GroupCase> {};

TEST_P(ThrustGroups, PushAlongTheirAxis) {
  // A massless body: no gravity, only thrust.
  sim::BodySpec empty = tiltedMoon();
  empty.mass_kg = 0;
  Scene s(empty, {"Test", 2000, 4000, 3000, 1000});
  // An arbitrary proper attitude.
  s.vessel->placeInFlight(0.3, 0.4, 1e6, 0, 0, 0);
  s.vessel->setHorizonAttitude(0.7, 0.5, 1.1);
  const Mat3 r = s.vessel->rotation();
  s.vessel->setRotation(r);
  s.vessel->setState(s.vessel->position(), {0, 0, 0});
  s.vessel->setLevel(GetParam().group, 0.5);
  s.world.advance(10.0);
  const double accel = s.vessel->maxThrust(GetParam().group) * 0.5 / 2000;  // [m/s^2]
  const Vec3 expected = mul(r, GetParam().axis) * (accel * 10.0);
  EXPECT_NEAR(norm(s.vessel->velocity() - expected), 0.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(World, ThrustGroups,
                         testing::Values(GroupCase{THGROUP_MAIN, {0, 0, 1}},
                                         GroupCase{THGROUP_RETRO, {0, 0, -1}},
                                         GroupCase{THGROUP_HOVER, {0, 1, 0}}));

// Far from any mass, a burn's delta-v is the rocket equation's, and a tank
// run dry leaves the dry mass coasting.
TEST(Propellant, BurnDeliversTheRocketEquationsDeltaVAndStopsWhenEmpty) {
  sim::BodySpec empty = tiltedMoon();
  empty.mass_kg = 0;
  sim::VesselSpec lander{"Test", 2000, 45000, 0, 16000, 8000, 3050, 0, 2900};
  Scene s(empty, lander);
  s.vessel->placeInFlight(0.3, 0.4, 1e6, 0, 0, 0);
  s.vessel->setRotation(s.vessel->rotation());
  s.vessel->setState(s.vessel->position(), {0, 0, 0});
  s.vessel->setLevel(THGROUP_MAIN, 1.0);
  s.world.advance(100.0);  // burns 45000 / 3050 * 100 = 1475 kg
  const double m1 = s.vessel->mass();
  EXPECT_NEAR(m1, 10000 - 45000.0 / 3050 * 100, 1e-6);
  const double dv = 3050 * std::log(10000 / m1);
  EXPECT_NEAR(norm(s.vessel->velocity()) / dv, 1.0, 1e-6);

  // On to empty and past it, in steps that straddle the moment it runs dry.
  for (int i = 0; i < 10; ++i) s.world.advance(97.0);
  EXPECT_EQ(s.vessel->propellant(), 0.0);
  EXPECT_EQ(s.vessel->mass(), 2000.0);
  const double full = 3050 * std::log(10000 / 2000.0);
  EXPECT_NEAR(norm(s.vessel->velocity()) / full, 1.0, 1e-6);
  const Vec3 coasting = s.vessel->velocity();
  s.world.advance(50.0);
  EXPECT_NEAR(norm(s.vessel->velocity() - coasting), 0.0, 1e-9);
}

// Engines too weak to lift the vessel still drain the tank, and only down to
// empty: the mass never falls below the dry mass.
TEST(Propellant, GroundedBurnBelowLiftoffStopsAtAnEmptyTank) {
  sim::VesselSpec lander{"Test", 2000, 0, 0, 3000, 50, 0, 0, 2900};
  Scene s(*sim::builtinBody("Moon"), lander);
  s.vessel->landAt(10 * kDeg, 20 * kDeg);
  s.vessel->setLevel(THGROUP_HOVER, 1.0);              // 3000 N against about 3300 N of weight
  for (int i = 0; i < 10; ++i) s.world.advance(10.0);  // 3000 / 2900 * 100 = 103 kg wanted
  EXPECT_TRUE(s.vessel->groundContact());
  EXPECT_EQ(s.vessel->propellant(), 0.0);
  EXPECT_EQ(s.vessel->mass(), 2000.0);
}

// A step across the moment the tank runs dry goes on from that moment: one
// long step and many short ones fly the same path in gravity.
TEST(Propellant, StepAcrossTheEmptyTankMatchesShortSteps) {
  sim::VesselSpec lander{"Test", 2000, 16000, 0, 0, 400, 3050, 0, 0};
  const auto flown = [&](double step_s, int steps) {
    auto s = std::make_unique<Scene>(*sim::builtinBody("Moon"), lander);
    s->vessel->placeInFlight(0.3, 0.4, 2e6, 800, 0, 0);
    s->vessel->setRotation(s->vessel->rotation());
    s->vessel->setLevel(THGROUP_MAIN, 1.0);  // dry after 400 * 3050 / 16000 = 76 s
    for (int i = 0; i < steps; ++i) s->world.advance(step_s);
    return s;
  };
  const auto once = flown(600.0, 1);
  const auto often = flown(1.0, 600);
  EXPECT_EQ(once->vessel->propellant(), 0.0);
  EXPECT_LT(norm(once->vessel->position() - often->vessel->position()), 1.0);
  EXPECT_LT(norm(once->vessel->velocity() - often->vessel->velocity()), 1e-3);
}

TEST(Thrust, LevelsAreClampedAndAbsentGroupsStayOff) {
  Scene s(tiltedMoon(), {"Test", 2000, 4000, 0, 1000});
  s.vessel->setLevel(THGROUP_MAIN, 1.7);
  EXPECT_EQ(s.vessel->level(THGROUP_MAIN), 1.0);
  s.vessel->setLevel(THGROUP_HOVER, -0.2);
  EXPECT_EQ(s.vessel->level(THGROUP_HOVER), 0.0);
  EXPECT_FALSE(s.vessel->hasGroup(THGROUP_RETRO));
  s.vessel->setLevel(THGROUP_RETRO, 1.0);
  EXPECT_EQ(s.vessel->level(THGROUP_RETRO), 0.0);
}

// --- Free flight -------------------------------------------------------------

struct OrbitCase {
  const char* name;
  double periapsisAlt_m, apoapsisAlt_m;
  double hostStep_s;
};
void PrintTo(const OrbitCase& c, std::ostream* os) { *os << c.name; }

class FreeOrbit : public testing::TestWithParam<OrbitCase> {};

TEST_P(FreeOrbit, KeepsEnergyAndAngularMomentumOverOneRevolution) {
  Scene s(*sim::builtinBody("Moon"));
  const double mu = s.b().mu(), radius = s.b().radius();
  const double rp = radius + GetParam().periapsisAlt_m, ra = radius + GetParam().apoapsisAlt_m;
  const double a = (rp + ra) / 2;
  const double vp = std::sqrt(mu * (2 / rp - 1 / a));
  // Periapsis on a tilted plane.
  const Vec3 radial{std::cos(0.3), std::sin(0.3), 0}, along{-std::sin(0.3), std::cos(0.3), 0};
  s.vessel->setState(radial * rp, (along * 0.6 + Vec3{0, 0, 0.8}) * vp);
  auto energy = [&] {
    return dot(s.vessel->velocity(), s.vessel->velocity()) / 2 - mu / norm(s.vessel->position());
  };
  const double e0 = energy();
  const Vec3 h0 = cross(s.vessel->position(), s.vessel->velocity());
  const Vec3 p0 = s.vessel->position();
  const double period = 2 * kPi * std::sqrt(a * a * a / mu);
  const double step = GetParam().hostStep_s;
  const int steps = static_cast<int>(period / step);
  for (int i = 0; i < steps; ++i) s.world.advance(step);
  s.world.advance(period - s.world.time());
  ASSERT_FALSE(s.vessel->groundContact());
  EXPECT_NEAR(energy(), e0, 1e-9 * std::abs(e0));
  EXPECT_NEAR(norm(cross(s.vessel->position(), s.vessel->velocity()) - h0), 0.0, 1e-9 * norm(h0));
  // Kepler's period brings it back to where it started.
  EXPECT_NEAR(norm(s.vessel->position() - p0), 0.0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(World, FreeOrbit,
                         testing::Values(OrbitCase{"circular", 100e3, 100e3, 1.0},
                                         OrbitCase{"elliptic", 15e3, 2000e3, 1.0},
                                         OrbitCase{"ellipticLongSteps", 15e3, 2000e3, 600.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Lift-off and touchdown ----------------------------------------------------

struct LiftoffCase {
  const char* name;
  THGROUP_TYPE group;
  double pitch_rad;   // attitude on the pad
  double upFraction;  // thrust along the local up over the weight
  bool lifts;
};
void PrintTo(const LiftoffCase& c, std::ostream* os) { *os << c.name; }

class Liftoff : public testing::TestWithParam<LiftoffCase> {};

TEST_P(Liftoff, HappensOnlyWhenThrustAlongUpBeatsTheWeight) {
  const LiftoffCase& c = GetParam();
  Scene s(*sim::builtinBody("Moon"), {"Test", 10000, 40000, 0, 40000});
  s.vessel->landAt(40 * kDeg, 10 * kDeg);
  s.vessel->setHorizonAttitude(0, c.pitch_rad, 0);
  const double weight = 10000 * s.b().mu() / (s.b().radius() * s.b().radius());
  const double along = c.group == THGROUP_HOVER ? std::cos(c.pitch_rad) : std::sin(c.pitch_rad);
  s.vessel->setLevel(c.group, c.upFraction * weight / (40000 * along));
  for (int i = 0; i < 20; ++i) s.world.advance(1.0);
  EXPECT_EQ(!s.vessel->groundContact(), c.lifts);
  if (c.lifts) {
    EXPECT_GT(s.vessel->altitude(), 0.0);
  } else {
    // Not even a slide along the ground.
    const Vec3 spot = s.b().surfacePoint(40 * kDeg, 10 * kDeg, s.b().radius(), s.world.time());
    EXPECT_NEAR(norm(s.vessel->position() - spot), 0.0, 1e-6);
  }
}

INSTANTIATE_TEST_SUITE_P(
    World, Liftoff,
    testing::Values(LiftoffCase{"hoverJustBelow", THGROUP_HOVER, 0, 0.999, false},
                    LiftoffCase{"hoverJustAbove", THGROUP_HOVER, 0, 1.001, true},
                    // Main engine at 30 deg: twice the weight in all, not enough upwards.
                    LiftoffCase{"mainPitchedJustBelow", THGROUP_MAIN, 30 * kDeg, 0.999, false},
                    LiftoffCase{"mainPitchedJustAbove", THGROUP_MAIN, 30 * kDeg, 1.001, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A ballistic hop from the surface of a non-turning Moon, north along the
// meridian of longitude 0. The conic gives where and when it comes down.
struct HopCase {
  const char* name;
  double vNorth_mps, vUp_mps;
  double hostStep_s;
};
void PrintTo(const HopCase& c, std::ostream* os) { *os << c.name; }

class Hop : public testing::TestWithParam<HopCase> {};

TEST_P(Hop, LandsWhereAndWhenTheConicSays) {
  const HopCase& c = GetParam();
  sim::BodySpec still = *sim::builtinBody("Moon");
  still.rotation_period_s = 0;
  Scene s(still);
  const double mu = s.b().mu(), radius = s.b().radius();
  // 1 - the conic through the launch point.
  const double v2 = c.vNorth_mps * c.vNorth_mps + c.vUp_mps * c.vUp_mps;
  const double a = 1 / (2 / radius - v2 / mu);  // semi-major axis [m]
  const double n = std::sqrt(mu / (a * a * a));
  double range = 0, timeOfFlight = 0;
  if (c.vNorth_mps == 0) {
    // Radial ellipse: r = a (1 - cos E), t = (E - sin E) / n.
    const double e0 = std::acos(1 - radius / a);
    timeOfFlight = 2 * (kPi - e0 + std::sin(e0)) / n;
  } else {
    const double h = radius * c.vNorth_mps;
    const double p = h * h / mu;
    const double ecc = std::sqrt(1 - p / a);
    const double nu0 = std::acos((p / radius - 1) / ecc);  // climbing: 0 < nu0 < pi
    const double e0 = 2 * std::atan(std::sqrt((1 - ecc) / (1 + ecc)) * std::tan(nu0 / 2));
    range = 2 * (kPi - nu0);
    timeOfFlight = 2 * (kPi - (e0 - ecc * std::sin(e0))) / n;
  }
  // 2 - fly to just before the touchdown in host steps.
  s.vessel->placeInFlight(0.1, 0, 0, 0, c.vNorth_mps, c.vUp_mps);
  const double early = timeOfFlight - 1e-3;
  while (s.world.time() + c.hostStep_s < early) s.world.advance(c.hostStep_s);
  s.world.advance(early - s.world.time());
  ASSERT_FALSE(s.vessel->groundContact());
  EXPECT_GT(s.vessel->altitude(), 0.0);
  // 3 - the next two milliseconds bring it down.
  s.world.advance(2e-3);
  ASSERT_TRUE(s.vessel->groundContact());
  double lng = 0, lat = 0, r = 0;
  s.vessel->equPos(lng, lat, r);
  EXPECT_NEAR(lat, 0.1 + range, 1e-9);
  EXPECT_NEAR(lng, 0.0, 1e-9);
  EXPECT_NEAR(r, radius, 1e-6);
  EXPECT_NEAR(s.vessel->touchdownSpeed(), std::sqrt(v2), 1e-6);
  EXPECT_EQ(norm(s.vessel->velocity()), 0.0);
}

INSTANTIATE_TEST_SUITE_P(World, Hop,
                         testing::Values(HopCase{"vertical", 0, 400, 1.0},
                                         HopCase{"verticalOneLongStep", 0, 400, 1e4},
                                         HopCase{"northward", 1200, 600, 1.0},
                                         HopCase{"northwardOneLongStep", 1200, 600, 1e4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Touchdown, FallOnTheTurningMoonLandsWithTheImpactAirspeedAndLiftsOffAgain) {
  Scene s(*sim::builtinBody("Moon"), {"Test", 10000, 0, 0, 40000});
  s.vessel->placeInFlight(0.3, 1.0, 1000, 0, 0, 0);
  const double mu = s.b().mu(), radius = s.b().radius();
  const double impact = std::sqrt(2 * mu * (1 / radius - 1 / (radius + 1000)));
  for (int i = 0; i < 100; ++i) s.world.advance(1.0);
  ASSERT_TRUE(s.vessel->groundContact());
  // The turn of the Moon changes the impact by less than 1e-5 relative.
  EXPECT_NEAR(s.vessel->touchdownSpeed(), impact, 1e-5 * impact);
  double lng = 0, lat = 0, r = 0;
  s.vessel->equPos(lng, lat, r);
  EXPECT_NEAR(lat, 0.3, 1e-6);
  EXPECT_NEAR(lng, 1.0, 1e-6);
  const double t = s.world.time();
  EXPECT_NEAR(norm(s.vessel->velocity() - s.b().surfaceVelocity(s.vessel->position(), t)), 0.0,
              1e-12);
  s.vessel->setLevel(THGROUP_HOVER, 1.0);
  s.world.advance(1.0);
  EXPECT_FALSE(s.vessel->groundContact());
}

TEST(Robustness, VesselAtTheCentreGivesFiniteAnswers) {
  Scene s(tiltedMoon(), {"Test", 1000, 1000, 1000, 1000});
  for (const Vec3& vel : {Vec3{0, 0, 0}, Vec3{0, 0, -10}}) {
    s.vessel->setState({0, 0, 0}, vel);
    s.vessel->setLevel(THGROUP_MAIN, 1.0);
    s.world.advance(1.0);
    double lng = 0, lat = 0, r = 0;
    s.vessel->equPos(lng, lat, r);
    const Vec3 air = s.vessel->horizonAirspeed();
    for (double q : {lng, lat, r, air.x(), air.y(), air.z(), s.vessel->pitch(), s.vessel->heading(),
                     s.vessel->bank(), s.vessel->aoa(), s.vessel->altitude(),
                     norm(s.vessel->position()), norm(s.vessel->velocity())}) {
      EXPECT_TRUE(std::isfinite(q));
    }
  }
}

// --- World and built-in bodies ----------------------------------------------

TEST(World, KeepsBodiesAndVesselsAndTheClock) {
  sim::World world;
  const int moon = world.addBody(*sim::builtinBody("Moon"));
  const int mars = world.addBody(*sim::builtinBody("Mars"));
  EXPECT_EQ(world.bodyIndex("Mars"), mars);
  EXPECT_EQ(world.bodyIndex("Moon"), moon);
  EXPECT_EQ(world.bodyIndex("Pluto"), -1);
  sim::Vessel& first = world.addVessel(moon, {});
  for (int i = 0; i < 50; ++i) world.addVessel(mars, {});
  EXPECT_EQ(&world.vessel(0), &first);
  world.advance(2.5);
  world.advance(0.0);
  EXPECT_EQ(world.time(), 2.5);
  EXPECT_THROW(world.advance(-1.0), std::invalid_argument);
  EXPECT_THROW(world.addVessel(7, {}), std::out_of_range);
}

struct BuiltinCase {
  const char* name;
  double surfaceGravity_mps2;  // published
  double siderealDay_h;        // published
  double tilt_deg;
};
void PrintTo(const BuiltinCase& c, std::ostream* os) { *os << c.name; }

class Builtin : public testing::TestWithParam<BuiltinCase> {};

TEST_P(Builtin, HasItsPublishedGravityDayTiltAndTypableBases) {
  const auto spec = sim::builtinBody(GetParam().name);
  ASSERT_TRUE(spec.has_value());
  const sim::Body body(*spec);
  EXPECT_NEAR(body.mu() / (body.radius() * body.radius()), GetParam().surfaceGravity_mps2,
              0.02 * GetParam().surfaceGravity_mps2);
  EXPECT_NEAR(spec->rotation_period_s / 3600, GetParam().siderealDay_h, 1e-3);
  EXPECT_NEAR(spec->obliquity_rad / kDeg, GetParam().tilt_deg, 0.01);
  EXPECT_GE(spec->bases.size(), 4u);
  for (const sim::Base& b : body.spec().bases) {
    EXPECT_EQ(b.name.find(' '), std::string::npos) << b.name;
    EXPECT_LE(std::abs(b.lat_rad), kPi / 2) << b.name;
    EXPECT_LE(std::abs(b.lng_rad), kPi) << b.name;
    EXPECT_EQ(body.findBase(b.name), &b) << b.name;
  }
}

INSTANTIATE_TEST_SUITE_P(World, Builtin,
                         testing::Values(BuiltinCase{"Moon", 1.62, 655.72, 1.5424},
                                         BuiltinCase{"Earth", 9.80, 23.9345, 23.44},
                                         BuiltinCase{"Mars", 3.71, 24.6229, 25.19}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Builtin, ApolloSitesAndNames) {
  EXPECT_EQ(sim::builtinBodyNames(), (std::vector<std::string>{"Moon", "Earth", "Mars"}));
  EXPECT_FALSE(sim::builtinBody("Vulcan").has_value());
  const sim::Body moon(*sim::builtinBody("Moon"));
  for (const char* site :
       {"Apollo11", "Apollo12", "Apollo14", "Apollo15", "Apollo16", "Apollo17"}) {
    EXPECT_NE(moon.findBase(site), nullptr) << site;
  }
  EXPECT_EQ(moon.findBase("apollo11"), nullptr);
  // Tranquility Base, 0.674 N 23.473 E.
  EXPECT_NEAR(moon.findBase("Apollo11")->lat_rad / kDeg, 0.674, 1e-3);
  EXPECT_NEAR(moon.findBase("Apollo11")->lng_rad / kDeg, 23.473, 1e-3);
}

}  // namespace
