// The ground launch plan and the entries that change it, white-box: the
// module's code is linked into this executable and attached to a simulated
// host, and the tests call the display instance's operations directly.
//
// The plan is checked against physics wherever it can be: the ellipse that
// apoAltitude and vTan describe must pass through both points with the
// planned launch angle as its flight-path angle, the launch velocity must
// point along heading and launchAngle in the local horizon of the launch
// point, a two-body coast along it must come down on the target, and the
// heading must agree with an independent geodesic solver.
#include "planning/ground_plan.h"

#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "app/linked_module.h"
#include "lobarc/entry_points.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "sim/world.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

namespace {

constexpr double kPi = 3.14159265358979323846;
// The module's degrees are radians times kDegPerRad, not 180/pi; a module
// angle times kToTrue is the same angle in true degrees.
constexpr double kTrueDegPerRad = 180.0 / kPi;
constexpr double kToTrue = kTrueDegPerRad / kDegPerRad;

VECTOR3 ToV(const sim::Vec3& v) { return _V(v.x(), v.y(), v.z()); }

// The Earth of the simulated host (mean radius 6371 km), a vessel standing
// on the equator at longitude 0, the module attached and a display open.
class GroundPlan : public ::testing::Test {
 protected:
  GroundPlan() : hop(Options()) {
    hop.lander().landAt(0, 0);
    moduleId = hop.host.attachModule(lobarc::linkedModuleEntries(), "ArvexMFD (linked)");
    display = hop.openLaunchDisplay(400, 400);
  }

  static testsupport::HopOptions Options() {
    testsupport::HopOptions o;
    o.body = "Earth";
    return o;
  }

  ArvexMFD& mfd() { return *static_cast<ArvexMFD*>(hop.host.display(display)); }
  const sim::Body& body() { return hop.host.world().body(hop.body); }

  // The launch point, in the module's degrees, written as a reading of the
  // vessel's position would leave it.
  void PlaceOwn(double latDeg, double lngDeg) {
    ArvexMFD& m = mfd();
    m.inputs.ownLatDeg = latDeg;
    m.inputs.ownLngDeg = lngDeg;
    m.ownLat = latDeg / kDegPerRad;
    m.ownLng = lngDeg / kDegPerRad;
  }

  // The target through the latitude and longitude entries, as typed.
  void EnterTarget(double latDeg, double lngDeg) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", latDeg);
    ASSERT_TRUE(mfd().SetTargetLatitude(text));
    std::snprintf(text, sizeof text, "%.17g", lngDeg);
    ASSERT_TRUE(mfd().SetTargetLongitude(text));
  }

  testsupport::MoonHop hop;
  int moduleId = 0;
  int display = -1;
};

// --- worked numbers --------------------------------------------------------

TEST_F(GroundPlan, TwentyDegreeHopEastUsesTheNaturalEllipse) {
  PlaceOwn(0, 0);
  EnterTarget(0, 20);
  const ArvexMFD& m = mfd();
  EXPECT_TRUE(m.plan.groundSolValid);
  EXPECT_NEAR(m.plan.apoAltitude / 1000, 460.6, 0.05);  // far above the 40 km floor
  EXPECT_NEAR(m.plan.launchAngle, 37.62, 0.005);
  // q is 0 within rounding: a right angle, in the module's slightly large
  // degrees.
  EXPECT_GT(m.plan.heading, 90);
  EXPECT_NEAR(m.plan.heading, 90 / kToTrue, 1e-6);
  EXPECT_EQ(m.plan.dvRemaining, m.plan.launchSpeed);
  // A fresh pre-burn proposal for the new plan, made at once (engines off).
  EXPECT_TRUE(m.launchPitchSet);
}

TEST_F(GroundPlan, OneDegreeHopTakesTheSecurityAltitudeExactly) {
  PlaceOwn(0, 0);
  EnterTarget(0, 1);
  EXPECT_TRUE(mfd().plan.groundSolValid);
  EXPECT_EQ(mfd().plan.apoAltitude, 40000.0);
}

TEST_F(GroundPlan, SecurityAltitudeAboveTheNaturalApoapsisIsTheApoapsis) {
  PlaceOwn(0, 0);
  ASSERT_TRUE(mfd().SetSecurityAltitude("500"));
  EnterTarget(0, 20);
  EXPECT_EQ(mfd().plan.apoAltitude, 500000.0);
}

TEST_F(GroundPlan, MirroredTargetGivesTheSameEllipseAndTheMirroredHeading) {
  PlaceOwn(0, 0);
  EnterTarget(0, 20);
  const double apo = mfd().plan.apoAltitude, angle = mfd().plan.launchAngle,
               speed = mfd().plan.launchSpeed;
  const double heading = mfd().plan.heading;
  EnterTarget(0, -20);
  EXPECT_DOUBLE_EQ(mfd().plan.apoAltitude, apo);
  EXPECT_DOUBLE_EQ(mfd().plan.launchAngle, angle);
  EXPECT_DOUBLE_EQ(mfd().plan.launchSpeed, speed);
  EXPECT_DOUBLE_EQ(mfd().plan.heading, 360 - heading);
}

struct MeridianCase {
  double tgtLatDeg;
  double heading;
};
void PrintTo(const MeridianCase& c, std::ostream* os) { *os << "target latitude " << c.tgtLatDeg; }
class SameMeridian : public GroundPlan, public ::testing::WithParamInterface<MeridianCase> {};

TEST_P(SameMeridian, HeadingIsDueNorthOrSouthExactly) {
  PlaceOwn(0, 0);
  EnterTarget(GetParam().tgtLatDeg, 0);
  EXPECT_TRUE(mfd().plan.groundSolValid);
  EXPECT_EQ(mfd().plan.heading, GetParam().heading);
}
INSTANTIATE_TEST_SUITE_P(NorthAndSouth, SameMeridian,
                         ::testing::Values(MeridianCase{20, 0}, MeridianCase{-20, 180},
                                           MeridianCase{89.5, 0}, MeridianCase{-90, 180}));

TEST_F(GroundPlan, TargetOnTheVesselClearsThePlan) {
  PlaceOwn(0, 0);
  EnterTarget(0, 20);
  ASSERT_TRUE(mfd().plan.groundSolValid);
  EnterTarget(0, 0);
  const ArvexMFD& m = mfd();
  EXPECT_FALSE(m.plan.groundSolValid);
  EXPECT_EQ(m.plan.heading, 0);
  EXPECT_EQ(m.plan.launchAngle, 0);
  EXPECT_EQ(m.plan.launchSpeed, 0);
  EXPECT_EQ(m.plan.dvRemaining, 0);
  EXPECT_EQ(m.plan.vTan, 0);
  EXPECT_EQ(m.plan.apoAltitude, 0);
}

TEST_F(GroundPlan, TargetALastDigitAwayGetsANearlyVerticalPlan) {
  PlaceOwn(12.5, 45.25);
  EnterTarget(std::nextafter(12.5, 90.0), 45.25);
  const ArvexMFD& m = mfd();
  EXPECT_TRUE(m.plan.groundSolValid);
  EXPECT_EQ(m.plan.apoAltitude, m.inputs.securityAlt);
  EXPECT_GT(m.plan.launchAngle, 89.9);
  EXPECT_LT(m.plan.launchAngle, 90.01);
  EXPECT_TRUE(std::isfinite(m.plan.heading));
  EXPECT_TRUE(isFinite(m.plan.launchVelocity));
}

// The east/west choice goes the short way across the +-180 meridian.
TEST_F(GroundPlan, HopAcrossTheDateLineHeadsEast) {
  PlaceOwn(0, 170);
  EnterTarget(0, -170);
  const ArvexMFD& m = mfd();
  EXPECT_NEAR(m.plan.heading, 90 / kToTrue, 1e-6);
  // The short arc of 340 module degrees the other way: 20 degrees, give or
  // take what the module's factor makes of 340.
  EXPECT_NEAR(m.plan.apoAltitude / 1000, 460.6, 0.1);
}

// Where a > R the launch angle is the ellipse's flight-path angle at
// launch (the closed form for a < R would give 1.58 deg for this hop).
TEST_F(GroundPlan, HighSecurityAltitudeOnANearAntipodalHopGivesTheFlightPathAngle) {
  PlaceOwn(0, 0);
  ASSERT_TRUE(mfd().SetSecurityAltitude("1000"));
  EnterTarget(0, 170);
  EXPECT_EQ(mfd().plan.apoAltitude, 1.0e6);
  EXPECT_NEAR(mfd().plan.launchAngle, 8.42, 0.005);
}

// A course cosine with no value still gives a finite heading. Vessel
// at 10/0, target typed a hair east or west of it: the law of cosines rounds
// above 1, so the central angle has no value; the heading falls back to the
// course from its spherical components, due east or due west here, scaled
// like every other heading.
struct HairCase {
  double tgtLngDeg;
  double heading;
};
void PrintTo(const HairCase& c, std::ostream* os) { *os << "target longitude " << c.tgtLngDeg; }

class HairApart : public GroundPlan, public ::testing::WithParamInterface<HairCase> {};

TEST_P(HairApart, CourseCosineWithoutValueFallsBackToTheSphericalCourse) {
  PlaceOwn(10, 0);
  EnterTarget(10, GetParam().tgtLngDeg);
  const ArvexMFD& m = mfd();
  ASSERT_GT(std::sin(m.ownLat) * std::sin(m.tgtLat) +
                std::cos(m.ownLng - m.tgtLng) * std::cos(m.ownLat) * std::cos(m.tgtLat),
            1.0);
  EXPECT_TRUE(m.plan.groundSolValid);
  // Whether the cosine rounds just above 1 or to exactly 1 here depends on
  // the last bit of the library's cosine; either way the heading is finite
  // and due east or west within the law of cosines' own rounding.
  EXPECT_NEAR(m.plan.heading, GetParam().heading, 1e-2);
}
INSTANTIATE_TEST_SUITE_P(EastAndWest, HairApart,
                         ::testing::Values(HairCase{1e-7, 90 / kToTrue},
                                           HairCase{-1e-7, 360 - 90 / kToTrue}));

// Both points on the pole with different longitudes: every direction is
// south; the heading is some finite azimuth.
TEST(GroundPlanFunctions, BothPointsOnThePoleGiveAFiniteHeading) {
  const double heading = LaunchHeading(kPi / 2, 0, kPi / 2, 1.0);
  EXPECT_TRUE(std::isfinite(heading));
  EXPECT_GE(heading, 0);
  EXPECT_LE(heading, 360);
  // The Earth's radius [m], mass [kg] and surface gravity [m/s^2].
  const GroundEllipse plan =
      SolveGroundEllipse({6371e3, 5.972e24, 9.82, 40000, kPi / 2, 0, kPi / 2, 1.0});
  EXPECT_TRUE(isFinite(LaunchDirectionBodyFixed(plan.launchAngle, heading, kPi / 2, 0)));
}

// Without a complete target there is no plan, in either mode.
TEST_F(GroundPlan, NoTargetMeansNoPlan) {
  PlaceOwn(10, 10);  // so that the empty target is not the vessel's position
  mfd().RecomputePlan();
  EXPECT_FALSE(mfd().plan.groundSolValid);
}

TEST_F(GroundPlan, LatitudeAloneMeansNoPlan) {
  PlaceOwn(10, 10);
  ASSERT_TRUE(mfd().SetTargetLatitude("20"));
  mfd().RecomputePlan();
  EXPECT_FALSE(mfd().plan.groundSolValid);
}

// In flight 1000 km from latitude 0, longitude 0, where the solver would
// find a way to the empty target's zeros.
TEST_F(GroundPlan, NoTargetInFlightMeansNoSolution) {
  hop.lander().placeInFlight(0.1, 0.1, 20000, 0, 0, 0);
  PlaceOwn(10, 10);
  mfd().inputs.flightMode = 1;
  mfd().RecomputePlan();
  EXPECT_FALSE(mfd().flightSolValid);
}

// --- the plan against physics ---------------------------------------------

struct Hop {
  double ownLatDeg, ownLngDeg, tgtLatDeg, tgtLngDeg;
  const char* securityKm;
};
void PrintTo(const Hop& h, std::ostream* os) {
  *os << h.ownLatDeg << "/" << h.ownLngDeg << " to " << h.tgtLatDeg << "/" << h.tgtLngDeg << ", hs "
      << h.securityKm << " km";
}

class PlanPhysics : public GroundPlan {
 protected:
  // Every check for one hop; each quantity its own EXPECT.
  void CheckHop(const Hop& c) {
    SCOPED_TRACE(::testing::Message()
                 << "own " << c.ownLatDeg << "/" << c.ownLngDeg << " target " << c.tgtLatDeg << "/"
                 << c.tgtLngDeg << " hs " << c.securityKm << " km");
    PlaceOwn(c.ownLatDeg, c.ownLngDeg);
    ASSERT_TRUE(mfd().SetSecurityAltitude(c.securityKm));
    EnterTarget(c.tgtLatDeg, c.tgtLngDeg);
    const ArvexMFD& m = mfd();
    ASSERT_TRUE(m.plan.groundSolValid);
    const sim::Body& b = body();
    const double t = hop.host.world().time();
    const double R = b.radius(), mu = b.mu();

    // Launch point and target on the surface, global frame, from the host's
    // own geometry.
    const VECTOR3 launch = ToV(b.surfacePoint(m.ownLat, m.ownLng, R, t));
    const VECTOR3 target = ToV(b.surfacePoint(m.tgtLat, m.tgtLng, R, t));
    const double alpha = 0.5 * std::acos(dotp(launch, target) / (R * R));

    // 1. The ellipse of apoAltitude and vTan (apoapsis radius and speed)
    //    passes through radius R at alpha either side of its apoapsis, and
    //    its flight-path angle there is launchAngle.
    const double ra = R + m.plan.apoAltitude;
    const double a = 1 / (2 / ra - m.plan.vTan * m.plan.vTan / mu);
    const double e = ra / a - 1;
    EXPECT_NEAR(a * (1 - e * e) / (1 - e * std::cos(alpha)), R, 1e-6 * R);
    EXPECT_NEAR(std::atan(e * std::sin(alpha) / (1 - e * std::cos(alpha))) * kDegPerRad,
                m.plan.launchAngle, 1e-6);

    // 2. The launch velocity: launchSpeed long, launchAngle above the local
    //    horizon, heading from north through east.
    sim::Vec3 up3, north3, east3;
    b.localFrame(b.surfacePoint(m.ownLat, m.ownLng, R, t), t, up3, north3, east3);
    const VECTOR3 up = ToV(up3), north = ToV(north3), east = ToV(east3);
    const VECTOR3 dir = m.plan.launchVelocity / length(m.plan.launchVelocity);
    EXPECT_NEAR(length(m.plan.launchVelocity), m.plan.launchSpeed, 1e-9 * m.plan.launchSpeed);
    EXPECT_NEAR(std::asin(dotp(dir, up)) * kDegPerRad, m.plan.launchAngle, 1e-6);
    // The module turns heading back into radians with its own factor, so
    // the azimuth it flies is heading / 57.2964 [rad], taken round the
    // circle.
    const double azimuth = std::atan2(dotp(dir, east), dotp(dir, north));
    EXPECT_NEAR(std::remainder(azimuth - m.plan.heading / kDegPerRad, 2 * kPi), 0, 1e-9);

    // 3. A coast from the launch point along that direction comes down on
    //    the target. The speed is the ellipse's own speed at radius R: the
    //    plan's launchSpeed, margin aside, is a flat-gravity estimate that
    //    would overshoot. The touchdown may lie beside the target by what
    //    the azimuth flown misses the great-circle course by: the module's
    //    factor and its short pi/2 cost the heading up to some 1e-4 rad
    //    (west of north 360 / 57.2964 alone falls 6.9e-5 rad short of 2 pi).
    const VECTOR3 toTarget = target - up * dotp(target, up);
    const double course = std::atan2(dotp(toTarget, east), dotp(toTarget, north));
    const double courseError = std::fabs(std::remainder(azimuth - course, 2 * kPi));  // [rad]
    EXPECT_LT(courseError, 2e-4);
    const double speed = std::sqrt(mu * (2 / R - 1 / a));
    EXPECT_LT(length(Touchdown(launch, dir * speed, mu, R) - target),
              5.0 + R * courseError * std::sin(2 * alpha));

    // 4. The launch speed, its 2 % margin aside, is the energy balance of a
    //    climb to apoAltitude against the surface gravity that still leaves
    //    vTan at the top.
    const double g0 = kGravConst * b.mass() / (R * R);
    const double v0 = m.plan.launchSpeed / 1.02;
    EXPECT_NEAR(0.5 * v0 * v0, 0.5 * m.plan.vTan * m.plan.vTan + g0 * m.plan.apoAltitude,
                1e-9 * v0 * v0);
  }

  // Where a coast from (r, v) first comes back down to radius R [m, global].
  static VECTOR3 Touchdown(const VECTOR3& r0, const VECTOR3& v0, double mu, double R) {
    using State = std::array<double, 6>;
    namespace ode = boost::numeric::odeint;
    auto gravity = [mu](const State& x, State& dxdt, double) {
      const double r2 = x[0] * x[0] + x[1] * x[1] + x[2] * x[2];
      const double f = -mu / (r2 * std::sqrt(r2));
      dxdt = {x[3], x[4], x[5], f * x[0], f * x[1], f * x[2]};
    };
    auto stepper = ode::make_dense_output(1e-10, 1e-12, ode::runge_kutta_dopri5<State>());
    stepper.initialize(State{r0.x, r0.y, r0.z, v0.x, v0.y, v0.z}, 0.0, 1.0);
    State x;
    auto radiusAt = [&](double time) {
      stepper.calc_state(time, x);
      return std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    };
    // Leave the launch point first, then find the step that crosses R going
    // down and bisect it.
    while (stepper.current_time() < 60) stepper.do_step(gravity);
    for (int i = 0; i < 100000; ++i) {
      stepper.do_step(gravity);
      double lo = stepper.previous_time(), hi = stepper.current_time();
      if (radiusAt(hi) >= R) continue;
      for (int k = 0; k < 100; ++k) {
        const double mid = 0.5 * (lo + hi);
        (radiusAt(mid) >= R ? lo : hi) = mid;
      }
      radiusAt(hi);
      return _V(x[0], x[1], x[2]);
    }
    return _V(0, 0, 0);
  }
};

class PlanPhysicsCase : public PlanPhysics, public ::testing::WithParamInterface<Hop> {};

TEST_P(PlanPhysicsCase, EllipseDirectionAndCoastAgree) { CheckHop(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Hops, PlanPhysicsCase,
                         ::testing::Values(Hop{0, 0, 0, 20, "40"},     // the worked natural ellipse
                                           Hop{0, 0, 0, 1, "40"},      // security ellipse, a < R
                                           Hop{0, 0, 0, 170, "1000"},  // security ellipse, a > R
                                           Hop{0, 170, 0, -170, "40"},  // across the date line
                                           Hop{-30, 100, 40, -120,
                                               "40"},  // across the date line, northward
                                           Hop{28.6, -80.6, 45.9, 63.3, "40"},
                                           Hop{-30, 10, 60, -170, "2000"}));  // over the north pole

// Fixed-seed random hops over the sphere and a range of security altitudes.
TEST_F(PlanPhysics, RandomHopsAgreeWithTwoBodyMotion) {
  std::mt19937 rng(20060425u);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> securityKm(1, 1500);
  for (int i = 0; i < 40; ++i) {
    // Uniform over the sphere, away from the poles where latitudes and
    // longitudes lose their meaning.
    const double ownLat = std::asin(0.98 * unit(rng)) * kDegPerRad;
    const double tgtLat = std::asin(0.98 * unit(rng)) * kDegPerRad;
    const double ownLng = 180 * unit(rng), tgtLng = 180 * unit(rng);
    const std::string hs = std::to_string(securityKm(rng));
    CheckHop(Hop{ownLat, ownLng, tgtLat, tgtLng, hs.c_str()});
  }
}

// The heading against GeographicLib's initial azimuth on a sphere. The
// module's heading is acos(q) * 57.2964 east of north, or 360 minus that
// west of it, so the azimuth is scaled the same way before comparing.
TEST(GroundPlanFunctions, HeadingAgreesWithGeodesicAzimuthOnASphere) {
  const GeographicLib::Geodesic sphere(6371e3, 0);  // [m] any radius: only angles are compared
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  int compared = 0;
  while (compared < 500) {
    const double lat1 = std::asin(unit(rng)), lng1 = kPi * unit(rng);
    const double lat2 = std::asin(unit(rng)), lng2 = kPi * unit(rng);
    double s12, azi1, azi2;
    const double arc =
        sphere.Inverse(lat1 * kTrueDegPerRad, lng1 * kTrueDegPerRad, lat2 * kTrueDegPerRad,
                       lng2 * kTrueDegPerRad, s12, azi1, azi2);
    // Near-antipodal pairs have no well-defined course.
    if (arc < 1 || arc > 179) continue;
    const double heading = LaunchHeading(lat1, lng1, lat2, lng2);
    if (azi1 < 0) azi1 += 360;
    const double expected = azi1 <= 180 ? azi1 / kToTrue : 360 - (360 - azi1) / kToTrue;
    // The module's short pi/2 (1.57079633, 3.2e-9 above) moves q by up to
    // about 2 * 3.2e-9 / (cos lat1 sin d), and acos turns that into a
    // course error divided by sin(course): a tolerance from that bound.
    const double sinCourse = std::fabs(std::sin(azi1 / kTrueDegPerRad));
    const double tolerance =
        1e-9 + 2 * 6.4e-9 * kDegPerRad /
                   (std::cos(lat1) * std::sin(arc / kTrueDegPerRad) * std::max(sinCourse, 1e-6));
    EXPECT_NEAR(heading, expected, tolerance)
        << "from " << lat1 << "/" << lng1 << " to " << lat2 << "/" << lng2 << " rad";
    ++compared;
  }
}

// --- the input handlers ----------------------------------------------------

// A refused entry changes no field: the whole instance and the whole module
// state are compared byte for byte.
class Entry : public GroundPlan {
 protected:
  struct Snapshot {
    std::vector<unsigned char> instance, module;
  };
  Snapshot Take() {
    Snapshot s;
    const auto* p = reinterpret_cast<const unsigned char*>(&mfd());
    s.instance.assign(p, p + sizeof(ArvexMFD));
    const auto* q = reinterpret_cast<const unsigned char*>(&moduleState);
    s.module.assign(q, q + sizeof(ModuleState));
    return s;
  }
  void ExpectUnchanged(const Snapshot& before) {
    const Snapshot after = Take();
    EXPECT_TRUE(before.instance == after.instance) << "an instance field changed";
    EXPECT_TRUE(before.module == after.module) << "the module state changed";
  }
};

enum class Field { kLatitude, kLongitude, kSecurity, kAbove };

struct EntryCase {
  Field field;
  const char* text;
  bool accepted;
  double stored;  // degrees or metres, when accepted
};
void PrintTo(const EntryCase& c, std::ostream* os) {
  static const char* const kNames[] = {"latitude", "longitude", "security", "above"};
  *os << kNames[static_cast<int>(c.field)] << " \"" << c.text << "\"";
}

class EntryTable : public Entry, public ::testing::WithParamInterface<EntryCase> {
 protected:
  bool Enter(Field f, const char* text) {
    switch (f) {
      case Field::kLatitude:
        return mfd().SetTargetLatitude(text);
      case Field::kLongitude:
        return mfd().SetTargetLongitude(text);
      case Field::kSecurity:
        return mfd().SetSecurityAltitude(text);
      case Field::kAbove:
        return mfd().SetAltitudeAboveTarget(text);
    }
    return false;
  }
  double Stored(Field f) {
    switch (f) {
      case Field::kLatitude:
        return mfd().inputs.tgtLatDeg;
      case Field::kLongitude:
        return mfd().inputs.tgtLngDeg;
      case Field::kSecurity:
        return mfd().inputs.securityAlt;
      case Field::kAbove:
        return mfd().inputs.altAboveTarget;
    }
    return 0;
  }
};

TEST_P(EntryTable, AcceptsOrRefusesAsATypedValue) {
  const EntryCase& c = GetParam();
  // Fields away from every value a case stores, so a change shows.
  mfd().inputs.tgtLatDeg = mfd().inputs.tgtLngDeg = 33;
  mfd().inputs.securityAlt = mfd().inputs.altAboveTarget = 33000;
  const Snapshot before = Take();
  const bool accepted = Enter(c.field, c.text);
  EXPECT_EQ(accepted, c.accepted);
  if (c.accepted) {
    EXPECT_EQ(Stored(c.field), c.stored);
  } else {
    ExpectUnchanged(before);
  }
}

// Every handler once accepting and once refusing: the full table of texts
// is in the readers' own test (tests/display/parameter_entry_test.cpp).
INSTANTIATE_TEST_SUITE_P(Dialogs, EntryTable,
                         ::testing::Values(EntryCase{Field::kLatitude, "  12.5xyz", true, 12.5},
                                           EntryCase{Field::kLatitude, "90.01", false, 0},
                                           EntryCase{Field::kLongitude, "-180", true, -180},
                                           EntryCase{Field::kLongitude, "NaN", false, 0},
                                           EntryCase{Field::kSecurity, " +12", true, 12000},
                                           EntryCase{Field::kSecurity, "1000001", false, 0},
                                           EntryCase{Field::kAbove, "12.7", true, 12000},
                                           EntryCase{Field::kAbove, "-1", false, 0}));

TEST_F(Entry, NullTextIsRefusedByEveryHandler) {
  const Snapshot before = Take();
  EXPECT_FALSE(mfd().SetTargetByName(nullptr));
  EXPECT_FALSE(mfd().SetTargetLatitude(nullptr));
  EXPECT_FALSE(mfd().SetTargetLongitude(nullptr));
  EXPECT_FALSE(mfd().SetSecurityAltitude(nullptr));
  EXPECT_FALSE(mfd().SetAltitudeAboveTarget(nullptr));
  ExpectUnchanged(before);
}

class UnknownBase : public Entry, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnknownBase, IsRefusedAndChangesNothing) {
  const Snapshot before = Take();
  EXPECT_FALSE(mfd().SetTargetByName(GetParam().c_str()));
  ExpectUnchanged(before);
}
INSTANTIATE_TEST_SUITE_P(Names, UnknownBase,
                         ::testing::Values("", "Kouro", "Kourou ", "\xff\xfe\xe9",
                                           std::string(5000, 'K')));

TEST_F(Entry, LatitudeAloneDoesNotPlanAndTheLongitudeThenDoes) {
  PlaceOwn(0, 0);
  ASSERT_TRUE(mfd().SetTargetLatitude("10"));
  ASSERT_TRUE(mfd().SetSecurityAltitude("60"));
  EXPECT_EQ(mfd().inputs.securityAlt, 60000);
  EXPECT_FALSE(mfd().plan.groundSolValid);
  ASSERT_TRUE(mfd().SetTargetLongitude("10"));
  EXPECT_TRUE(mfd().plan.groundSolValid);
}

TEST_F(Entry, LatitudeAfterABaseKeepsTheBaseLongitudeAndPlans) {
  PlaceOwn(0, 0);
  ASSERT_TRUE(mfd().SetTargetByName("Kourou"));
  const double baseLng = mfd().inputs.tgtLngDeg;
  ASSERT_TRUE(mfd().SetTargetLatitude("-10"));
  EXPECT_EQ(mfd().targetBase, nullptr);
  EXPECT_EQ(mfd().inputs.tgtLngDeg, baseLng);
  EXPECT_TRUE(mfd().plan.groundSolValid);
}

// The module's turn of body-fixed vectors into the global frame against the
// host's own, on the tilted Earth hours into the day, where neither the
// rotation angle nor the obliquity is zero.
TEST_F(GroundPlan, PlanetToGlobalIsTheHostsBodyFixedToGlobalTurn) {
  for (int i = 0; i < 10; ++i) hop.host.step(1000);
  const double t = hop.host.world().time();
  ASSERT_GT(std::fabs(std::sin(body().rotationAngle(t))), 0.1);
  const double points[][2] = {{0, 0}, {0.5, 1.0}, {-1.2, -2.5}, {1.5, 3.0}, {-0.3, 2.2}};
  double worst = 0;  // [m]
  for (const auto& p : points) {
    const double r = body().radius();
    const VECTOR3 bodyFixed = _V(r * std::cos(p[0]) * std::cos(p[1]), r * std::sin(p[0]),
                                 r * std::cos(p[0]) * std::sin(p[1]));
    const VECTOR3 host = ToV(body().surfacePoint(p[0], p[1], r, t));
    worst = std::max(worst, length(mfd().PlanetToGlobal(bodyFixed) - host));
  }
  EXPECT_LT(worst, 1e-6);
}

// --- entry points that only linked code can reach ----------------------------

TEST_F(GroundPlan, MessagesOtherThanOpenBuildNothing) {
  ArvexMFD* first = moduleState.firstInstance;
  for (UINT msg : {0u, 2u, 3u, 0xFFFFFFFFu}) {
    EXPECT_EQ(MsgProc(msg, 0, MAKELONG(600, 300), 0), 0) << "message " << msg;
  }
  EXPECT_EQ(moduleState.firstInstance, first);
  EXPECT_EQ(first->nextInstance, nullptr);
}

// Without a focus vessel the display is built on the vessel that the open
// message names; with no vessel at all there is nothing to build on.
TEST(MsgProcWithoutFocus, BuildsOnTheVesselOfTheMessage) {
  sim::Host host;
  EXPECT_EQ(MsgProc(OAPI_MSG_MFD_OPENED, 0, MAKELONG(600, 300), 0), 0);
  const int moon = host.world().addBody(*sim::builtinBody("Moon"));
  host.world().addVessel(moon, sim::VesselSpec{"Lander", 15000, 45000, 0, 30000}).landAt(0.1, 0.2);
  VESSEL* named = host.vesselInterface(host.vesselHandle(0));
  const OAPI_MSGTYPE result =
      MsgProc(OAPI_MSG_MFD_OPENED, 0, MAKELONG(600, 300), reinterpret_cast<LPARAM>(named));
  ASSERT_NE(result, 0);
  auto* instance = reinterpret_cast<ArvexMFD*>(result);
  EXPECT_EQ(moduleState.focusVessel, named);
  EXPECT_NEAR(instance->ownLat, 0.1, 1e-12);
  delete instance;
}

TEST_F(GroundPlan, OpenMessageUnpacksTheSize) {
  const OAPI_MSGTYPE result = MsgProc(OAPI_MSG_MFD_OPENED, 0, MAKELONG(600, 300), 0);
  ASSERT_NE(result, 0);
  auto* instance = reinterpret_cast<ArvexMFD*>(result);
  EXPECT_EQ(instance->width, 600u);
  EXPECT_EQ(instance->height, 300u);
  EXPECT_EQ(moduleState.firstInstance->nextInstance, instance);
  delete instance;  // this test plays the host, which owns what MsgProc returns
  EXPECT_EQ(moduleState.firstInstance->nextInstance, nullptr);
}

// ExitModule runs from the host and again from the library detach; the
// second run must delete nothing and withdraw nothing.
TEST_F(GroundPlan, ExitModuleTwiceReleasesEachResourceOnce) {
  hop.host.closeDisplay(display);
  const int pensBefore = sim::livePenCount();
  ASSERT_NE(moduleState.greenPen, nullptr);
  ASSERT_NE(moduleState.whitePen, nullptr);
  ExitModule(nullptr);
  EXPECT_EQ(sim::livePenCount(), pensBefore - 2);
  EXPECT_FALSE(hop.host.findMode("Lobarc Launch").has_value());
  ExitModule(nullptr);
  EXPECT_EQ(sim::livePenCount(), pensBefore - 2);
  EXPECT_EQ(moduleState.greenPen, nullptr);
  EXPECT_EQ(moduleState.whitePen, nullptr);
}

}  // namespace
