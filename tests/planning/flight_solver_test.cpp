// The in-flight correction solver: the trial velocity against Gibbs' method
// and known conics, the search against an independent fine scan of the
// family and against numerical propagation, and the traps the search must
// stay out of.
#include "planning/flight_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include "planning/family_scan.h"
#include "planning/guidance_scene.h"
#include "sim/world.h"

using namespace arvex;  // the module's own names

namespace {

using namespace twobody;

constexpr double kDegToRad = kPi / 180.0;

// --- Eval -------------------------------------------------------------

// Curtis, "Orbital Mechanics for Engineering Students", Example 5.1 (Gibbs'
// method): three positions of an Earth satellite [km], mu [km^3/s^2], and
// the velocity found at the middle one [km/s]. The book goes on to find the
// orbit's elements from r2 and v2: h = 56 190 km^2/s, e = 0.1, i = 60 deg.
const VECTOR3 kCurtisR1 = _V(-294.32, 4265.1, 5986.7);
const VECTOR3 kCurtisR2 = _V(-1365.5, 3637.6, 6346.8);
const VECTOR3 kCurtisR3 = _V(-2940.3, 2473.7, 6555.8);
const VECTOR3 kCurtisV2 = _V(-6.2174, -4.0122, 1.5990);
constexpr double kEarthMuKm = 398600.0;

TEST(EvalTest, ReproducesCurtisGibbsExample) {
  // The family's member runs through r1, a crossing point over r1 + r3 and
  // r3, and gives the velocity at r1. Take the crossing point where the
  // published orbit (through r2 with v2) crosses that ray, and the orbit's
  // velocity at r1 as the expected answer.
  const Conic orbit = ConicFromState(kCurtisR2, kCurtisV2, kEarthMuKm);
  const VECTOR3 expectedV1 = VelocityAt(orbit, TrueAnomaly(orbit, kCurtisR1));
  const VECTOR3 sum = kCurtisR1 + kCurtisR3;
  const double b = RadiusAt(orbit, TrueAnomaly(orbit, sum)) / length(sum);

  VECTOR3 v1 = _V(0, 0, 0);
  ASSERT_TRUE(Eval(b, kCurtisR1, kCurtisR3, kEarthMuKm, v1));
  // The book's figures carry five digits, so the three points lie on one
  // conic only to about 1e-4: under 1 m/s in a 7 km/s velocity.
  EXPECT_NEAR(length(v1 - expectedV1), 0.0, 1e-3);
  // The same orbit as the book's, seen from r1.
  const Conic found = ConicFromState(kCurtisR1, v1, kEarthMuKm);
  EXPECT_NEAR(std::sqrt(found.p * kEarthMuKm), 56190.0, 30.0);
  EXPECT_NEAR(found.e, 0.1, 2e-3);
  EXPECT_NEAR(std::acos(found.nHat.z) / kDegToRad, 60.0, 0.01);
}

// Conics of every shape, each seen from a point P towards a later point T
// less than half a turn on: Eval must give back the conic's own velocity at P
// for the b at which the conic crosses the ray through P + T.
struct KnownConic {
  const char* name;
  double e;
  double thetaP;  // true anomaly of P [deg]
  double thetaT;  // true anomaly of T [deg]
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const KnownConic& c, std::ostream* os) { *os << c.name; }

class EvalKnownConicTest : public ::testing::TestWithParam<KnownConic> {};

TEST_P(EvalKnownConicTest, GivesTheConicsVelocity) {
  const KnownConic& c = GetParam();
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> u(-1, 1);
  const VECTOR3 nHat = Unit(_V(u(rng), u(rng), u(rng)));
  const VECTOR3 pHat = Unit(crossp(nHat, _V(u(rng), u(rng), u(rng))));
  const Conic conic = ConicFromElements(kMoonMu, 1.9e6, c.e, pHat, nHat);
  const VECTOR3 P = PositionAt(conic, c.thetaP * kDegToRad);
  const VECTOR3 T = PositionAt(conic, c.thetaT * kDegToRad);
  const double b = RadiusAt(conic, TrueAnomaly(conic, P + T)) / length(P + T);
  const VECTOR3 expected = VelocityAt(conic, c.thetaP * kDegToRad);

  VECTOR3 v = _V(0, 0, 0);
  ASSERT_TRUE(Eval(b, P, T, kMoonMu, v));
  EXPECT_NEAR(length(v - expected) / length(expected), 0.0, 1e-9) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, EvalKnownConicTest,
                         ::testing::Values(KnownConic{"near circle", 0.001, 10, 60},
                                           KnownConic{"ellipse before periapsis", 0.3, -80, -10},
                                           KnownConic{"ellipse across periapsis", 0.3, -30, 40},
                                           KnownConic{"ellipse across apoapsis", 0.6, 150, 215},
                                           KnownConic{"long arc", 0.2, 10, 185},
                                           KnownConic{"parabola-like", 0.999, -60, 60},
                                           KnownConic{"hyperbola", 1.8, -50, 30}),
                         [](const ::testing::TestParamInfo<KnownConic>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// The vessel exactly at periapsis or apoapsis of random conics: the cosine
// of its true anomaly is +-1, and rounding may push it past; the answer must
// still be the conic's own velocity there. The sine taken from that cosine
// keeps only half its digits (the root of a rounding error), hence 1e-6.
TEST(EvalTest, AtPeriapsisAndApoapsisGivesTheConicsVelocity) {
  std::mt19937 rng(20261208u);
  std::uniform_real_distribution<double> u(0, 1);
  double worst = 0;  // relative velocity error
  for (int i = 0; i < 200; ++i) {
    const VECTOR3 nHat = Unit(_V(u(rng) - 0.5, u(rng) - 0.5, u(rng) - 0.5));
    const VECTOR3 pHat = Unit(crossp(nHat, _V(u(rng) - 0.5, u(rng) - 0.5, u(rng) - 0.5)));
    const Conic conic = ConicFromElements(kMoonMu, 1.8e6 + 2e5 * u(rng), 0.9 * u(rng), pHat, nHat);
    for (double thetaP : {0.0, kPi}) {
      const double thetaT = thetaP + (0.2 + 2.5 * u(rng));
      const VECTOR3 P = PositionAt(conic, thetaP), T = PositionAt(conic, thetaT);
      const double b = RadiusAt(conic, TrueAnomaly(conic, P + T)) / length(P + T);
      const VECTOR3 expected = VelocityAt(conic, thetaP);
      VECTOR3 v = _V(0, 0, 0);
      worst = Eval(b, P, T, kMoonMu, v) ? std::max(worst, length(v - expected) / length(expected))
                                        : std::numeric_limits<double>::infinity();
    }
  }
  EXPECT_LT(worst, 1e-6);
}

TEST(EvalTest, CircleThroughBothPointsHasCircularSpeed) {
  // P and T a quarter turn apart on a circle: M on the circle has
  // b = 1/sqrt(2); S vanishes (up to rounding) and with it the periapsis.
  const double r = 1.8e6;
  const VECTOR3 P = _V(r, 0, 0), T = _V(0, r, 0);
  VECTOR3 v = _V(0, 0, 0);
  ASSERT_TRUE(Eval(1 / std::sqrt(2.0), P, T, kMoonMu, v));
  EXPECT_NEAR(length(v - _V(0, std::sqrt(kMoonMu / r), 0)), 0.0, 1e-6);
}

TEST(EvalTest, CrossingPointOnTheChordHasNoVelocity) {
  const VECTOR3 P = _V(1.8e6, 0, 0), T = _V(1.7e6, 1e5, 0);
  VECTOR3 v = _V(7, 8, 9);
  EXPECT_FALSE(Eval(0.5, P, T, kMoonMu, v));
  EXPECT_EQ(v.x, 7.0);  // untouched
}

TEST(EvalTest, NoPlaneOverTheAimPointOrItsAntipode) {
  FlightGeometry geo;
  const VECTOR3 T = _V(1.0e6, 1.2e6, -0.4e6);
  EXPECT_FALSE(MakeFlightGeometry(T * 1.01, T, kMoonMu, geo));
  EXPECT_FALSE(MakeFlightGeometry(T * -1.0, T, kMoonMu, geo));
  EXPECT_FALSE(MakeFlightGeometry(T, T, kMoonMu, geo));
}

TEST(EvalTest, NeverHandsOutANonFiniteVelocity) {
  // Random geometries and parameters on both sides, close to the chord and
  // to zero included: an answer is either finite or refused.
  std::mt19937 rng(20260427u);
  std::uniform_real_distribution<double> u(-1, 1);
  int refused = 0, nonFinite = 0;
  for (int i = 0; i < 20000; ++i) {
    const VECTOR3 P = Unit(_V(u(rng), u(rng), u(rng))) * (kMoonRadius + 2e5 * (1 + u(rng)));
    const VECTOR3 T = Unit(_V(u(rng), u(rng), u(rng))) * (kMoonRadius + 5e3);
    const double bs[] = {4 * u(rng), 0.5 + 1e-12 * u(rng), 1e-12 * u(rng), -0.5 + 1e-9 * u(rng)};
    for (double b : bs) {
      VECTOR3 v = _V(0, 0, 0);
      if (!Eval(b, P, T, kMoonMu, v)) {
        ++refused;
      } else if (!isFinite(v)) {
        ++nonFinite;
      }
    }
  }
  EXPECT_EQ(nonFinite, 0);
  EXPECT_GT(refused, 0);  // the degenerate parameters were really met
}

// --- The search -------------------------------------------------------

// A vessel somewhere on a lunar hop: launched from a surface point on the
// symmetric ellipse to a target 3 to 30 degrees away, apoapsis 20 to 150 km
// up, a fraction of the way along, its velocity off the ellipse by up to
// dvMax. The aim point is 5 km above the target.
struct HopState {
  FlightGeometry geo;
  VECTOR3 V;           // [m/s]
  double floorHeight;  // [m] securityAlt 40 km while climbing, else 0
};

VECTOR3 RandomUnit(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  const double z = 2 * u(rng) - 1, phi = 2 * kPi * u(rng), r = std::sqrt(1 - z * z);
  return _V(r * std::cos(phi), r * std::sin(phi), z);
}

double FloorFor(const VECTOR3& P, const VECTOR3& V) { return dotp(P, V) > 0 ? 40000.0 : 0.0; }

HopState RandomHop(std::mt19937& rng, double dvMax) {
  std::uniform_real_distribution<double> u(0, 1);
  const VECTOR3 L = RandomUnit(rng);
  const VECTOR3 W = Unit(crossp(crossp(L, RandomUnit(rng)), L));
  const double hop = (3 + 27 * u(rng)) * kDegToRad;
  const double apoHeight = 20000 + 130000 * u(rng);
  const VECTOR3 launch = L * kMoonRadius;
  const VECTOR3 target = (L * std::cos(hop) + W * std::sin(hop)) * kMoonRadius;
  const Conic ellipse = HopEllipse(kMoonMu, kMoonRadius, apoHeight, launch, target);
  const double theta = TrueAnomaly(ellipse, launch) + (0.05 + 0.85 * u(rng)) * hop;
  HopState hs;
  const VECTOR3 P = PositionAt(ellipse, theta);
  hs.V = VelocityAt(ellipse, theta) + RandomUnit(rng) * (dvMax * u(rng));
  EXPECT_TRUE(MakeFlightGeometry(P, Unit(target) * (kMoonRadius + 5000), kMoonMu, hs.geo));
  hs.floorHeight = FloorFor(P, hs.V);
  return hs;
}

double NearSideMin(const FlightGeometry& geo, double floorHeight) {
  return std::max((kMoonRadius + floorHeight) / geo.s, kNearSideMinParam);
}

FlightSearchState ColdState() {
  return FlightSearchState{false, +1, 0.0, _V(0, 0, 0), 0.0, _V(0, 0, 0)};
}

// Within 1 %, or 0.5 m/s where the best is small, of the best member.
double Allowed(double best) { return std::max(0.01 * best, 0.5); }

TEST(SearchFamilyTest, AnswerCoastsThroughTheAimPoint) {
  // Every near-side member is a conic through T, so the answer, coasted as a
  // two-body orbit from P, must pass T to within rounding: the Gibbs vectors
  // are differences of positions of about 1.7e6 m, good to some 1e-9 m, and
  // the propagation's error control is 1e-9 relative. A few millimetres is
  // already a fault.
  std::mt19937 rng(122012203u);
  for (int i = 0; i < 12; ++i) {
    const HopState hs = RandomHop(rng, 80);
    FlightSearchState state = ColdState();
    ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state));
    ASSERT_EQ(state.searchDir, +1);
    EXPECT_LT(ClosestApproach(hs.geo.P, state.reqVel, kMoonMu, hs.geo.T, 4000), 0.005)
        << "case " << i;
  }
}

TEST(SearchFamilyTest, LaterCallsOnTheSameStateKeepTheAnswer) {
  // Every call solves afresh: a warm call on the state of the cold one
  // gives the same member, and the state says where it lies.
  std::mt19937 rng(7u);
  const HopState hs = RandomHop(rng, 30);
  FlightSearchState state = ColdState();
  ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state));
  EXPECT_TRUE(state.solverStarted);
  EXPECT_EQ(state.searchDir, +1);
  const VECTOR3 cold = state.reqVel;
  VECTOR3 atParam;
  ASSERT_TRUE(Eval(state.solverParam, hs.geo, atParam));
  EXPECT_LT(length(atParam - cold), 1e-6 * length(cold));
  for (int i = 0; i < 5; ++i) SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state);
  EXPECT_EQ(length(state.reqVel - cold), 0.0);
}

TEST(SearchFamilyTest, FirstAnswerOfAColdSolveIsTheBestMember) {
  // The answer of the cold solve is shown at once (switch to flight mode,
  // replan): one call must already give the best member of the family, not
  // wherever 25 fixed-gain iterations of its first pass end (up to 26 times
  // the best's delta-v on such states).
  std::mt19937 rng(20261208u);
  double worst = 0;  // largest excess over the scan's best, relative
  for (double dvMax : {20.0, 80.0, 300.0}) {
    for (int i = 0; i < 25; ++i) {
      const HopState hs = RandomHop(rng, dvMax);
      FlightSearchState state = ColdState();
      ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state));
      const ScanResult best = ScanNearSide(hs.geo, hs.V, NearSideMin(hs.geo, hs.floorHeight));
      worst = std::max(worst, (length(state.reqVel - hs.V) - best.g) / best.g);
    }
  }
  EXPECT_LE(worst, 0.01);
}

// --- Against a dense scan on many bodies -----------------------------

struct BodyFigures {
  const char* name;
  double radius;  // [m]
  double mu;      // [m^3/s^2]
};
constexpr BodyFigures kBodies[] = {{"Moon", kMoonRadius, kMoonMu},
                                   {"Mercury", 2439700.0, 2.2032e13},
                                   {"Mars", 3389500.0, 4.2828e13}};

// A vessel anywhere from just after launch to just before arrival on a hop of
// 3 to 30 degrees on the body, off its ellipse by up to dvMax.
HopState RandomHopOn(std::mt19937& rng, const BodyFigures& body, double dvMax) {
  std::uniform_real_distribution<double> u(0, 1);
  const VECTOR3 L = RandomUnit(rng);
  const VECTOR3 W = Unit(crossp(crossp(L, RandomUnit(rng)), L));
  const double hop = (3 + 27 * u(rng)) * kDegToRad;
  const VECTOR3 target = (L * std::cos(hop) + W * std::sin(hop)) * body.radius;
  const Conic ellipse =
      HopEllipse(body.mu, body.radius, 20000 + 130000 * u(rng), L * body.radius, target);
  const double theta = TrueAnomaly(ellipse, L) + (0.03 + 0.94 * u(rng)) * hop;
  HopState hs;
  const VECTOR3 P = PositionAt(ellipse, theta);
  hs.V = VelocityAt(ellipse, theta) + RandomUnit(rng) * (dvMax * u(rng));
  EXPECT_TRUE(MakeFlightGeometry(P, Unit(target) * (body.radius + 5000), body.mu, hs.geo));
  hs.floorHeight = FloorFor(P, hs.V);
  return hs;
}

ScanResult BestMember(const HopState& hs, double radius) {
  return ScanNearSide(hs.geo, hs.V,
                      std::max((radius + hs.floorHeight) / hs.geo.s, kNearSideMinParam));
}

// The answer is the best member: no further from V than the scan's best, to
// rounding (the scan itself stops a hair short of the minimum).
bool AtBest(double g, const ScanResult& best) { return g <= best.g * (1 + 1e-6) + 1e-6; }

TEST(SearchFamilyTest, EveryAnswerIsTheBestMemberOnThreeBodies) {
  // 2040 states, climbing and descending, the floor binding and the best
  // member just above the chord among them: the answer of a cold call, and
  // that of the next call one second of coasting later.
  std::mt19937 rng(20261209u);
  const double dvMax[] = {30, 80, 200};
  std::printf("  body     states climbing on-floor near-chord  cold-misses warm-misses\n");
  int misses = 0;
  for (const BodyFigures& body : kBodies) {
    int states = 0, climbing = 0, onFloor = 0, nearChord = 0, coldMisses = 0, warmMisses = 0;
    for (int i = 0; i < 680; ++i) {
      HopState hs = RandomHopOn(rng, body, dvMax[i % 3]);
      const ScanResult best = BestMember(hs, body.radius);
      FlightSearchState state = ColdState();
      const bool found = SearchFamily(hs.geo, hs.V, body.radius, hs.floorHeight, state);
      ++states;
      climbing += hs.floorHeight > 0;
      onFloor += best.b == std::max((body.radius + hs.floorHeight) / hs.geo.s, kNearSideMinParam);
      nearChord += best.b < 0.501;
      coldMisses += !found || !AtBest(length(state.reqVel - hs.V), best);

      VECTOR3 P = hs.geo.P, V = hs.V;
      Propagate(P, V, body.mu, 1.0);
      if (!MakeFlightGeometry(P, hs.geo.T, body.mu, hs.geo)) continue;
      hs.V = V;
      hs.floorHeight = FloorFor(P, V);
      const bool warmFound = SearchFamily(hs.geo, hs.V, body.radius, hs.floorHeight, state);
      warmMisses += !warmFound || !AtBest(length(state.reqVel - hs.V), BestMember(hs, body.radius));
    }
    std::printf("  %-8s %6d %8d %8d %10d %12d %11d\n", body.name, states, climbing, onFloor,
                nearChord, coldMisses, warmMisses);
    misses += coldMisses + warmMisses;
  }
  EXPECT_EQ(misses, 0);
}

// Two lunar states, descending some 24 km up, with the best member just above
// the chord, on which an earlier search stopped at 700-900 m/s where the best
// member needs 33 and 15 m/s, and stayed there call after call.
struct StuckCase {
  const char* name;
  VECTOR3 P, V, T;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const StuckCase& c, std::ostream* os) { *os << c.name; }

class StuckStateTest : public ::testing::TestWithParam<StuckCase> {};

TEST_P(StuckStateTest, ColdAndWarmCallsGiveTheBestMember) {
  const StuckCase& c = GetParam();
  HopState hs;
  ASSERT_TRUE(MakeFlightGeometry(c.P, c.T, kMoonMu, hs.geo));
  hs.V = c.V;
  hs.floorHeight = FloorFor(c.P, c.V);
  ASSERT_EQ(hs.floorHeight, 0.0);
  const ScanResult best = BestMember(hs, kMoonRadius);
  ASSERT_LT(best.b, 0.503);
  FlightSearchState state = ColdState();
  double worst = 0;  // largest excess over the best member [m/s]
  for (int call = 0; call < 31; ++call) {
    ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, 0, state));
    worst = std::max(worst, length(state.reqVel - hs.V) - best.g);
  }
  EXPECT_LE(worst, 1e-6 * best.g + 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Regressions, StuckStateTest,
    ::testing::Values(StuckCase{"best_33_m_s",
                                _V(1464664.1775669076, 452658.91911891248, 866177.89009543927),
                                _V(196.93862038003783, -243.20924297387279, -307.3599323883206),
                                _V(1483905.3247279292, 414245.85333917994, 813869.22796933027)},
                      StuckCase{"best_15_m_s",
                                _V(564425.91138538101, 1052400.834373103, -1296533.3699718718),
                                _V(-5.0272094769133702, -448.38960149218258, -154.99741546736036),
                                _V(562082.27224157494, 1005469.7818864018, -1307307.0782892057)}),
    [](const ::testing::TestParamInfo<StuckCase>& info) { return std::string(info.param.name); });

// Coasting along a trajectory, one warm call per second as the host would
// make them: the answer stays with the best member that a fine scan finds at
// every step, and it moves between steps no more than the best member does.
struct CoastCase {
  const char* name;
  unsigned seed;
  bool onTarget;  // the coast itself leads through the aim point
};

// Printed by name, so that the tests' names stay the same from build to build.
void PrintTo(const CoastCase& c, std::ostream* os) { *os << c.name; }

class CoastTrackingTest : public ::testing::TestWithParam<CoastCase> {};

TEST_P(CoastTrackingTest, AnswerFollowsTheBestMember) {
  const CoastCase& c = GetParam();
  std::mt19937 rng(c.seed);
  HopState hs = RandomHop(rng, 40);
  VECTOR3 P = hs.geo.P, V = hs.V;
  const VECTOR3 T = hs.geo.T;
  if (c.onTarget) {
    // Put the vessel on the member through T that a correction burn would
    // have chosen: g has a sharp minimum at zero from then on.
    V = ScanNearSide(hs.geo, V, NearSideMin(hs.geo, hs.floorHeight)).member;
  }
  FlightSearchState state = ColdState();
  // Settle on the first position, as the calls before this stretch would.
  for (int i = 0; i < 5; ++i) SearchFamily(hs.geo, V, kMoonRadius, FloorFor(P, V), state);

  double worstExcess = 0, worstJump = 0;
  VECTOR3 lastAnswer = state.reqVel, lastBest = _V(0, 0, 0);
  for (int step = 0; step < 120; ++step) {
    Propagate(P, V, kMoonMu, 1.0);
    if (length(P) < kMoonRadius + 6000) break;  // down near the aim point
    FlightGeometry geo;
    ASSERT_TRUE(MakeFlightGeometry(P, T, kMoonMu, geo));
    const double floorHeight = FloorFor(P, V);
    ASSERT_TRUE(SearchFamily(geo, V, kMoonRadius, floorHeight, state));
    const ScanResult best = ScanNearSide(geo, V, NearSideMin(geo, floorHeight));
    const double g = length(state.reqVel - V);
    worstExcess = std::max(worstExcess, g - best.g - Allowed(best.g));
    if (step > 0) {
      const double jump = length(state.reqVel - lastAnswer);
      const double explained = length(best.member - lastBest);
      worstJump = std::max(worstJump, jump - explained);
    }
    lastAnswer = state.reqVel;
    lastBest = best.member;
  }
  EXPECT_LE(worstExcess, 0.0) << "dvToGo above the best member's by more than 1 % / 0.5 m/s";
  // The best member itself moves smoothly; the answer may add at most the
  // 1 m/s that the search's stopping rule leaves open around it.
  EXPECT_LE(worstJump, 1.0) << "answer jumped further than the best member moved";
}

INSTANTIATE_TEST_SUITE_P(
    Coasts, CoastTrackingTest,
    ::testing::Values(CoastCase{"on_target_a", 11u, true}, CoastCase{"on_target_b", 12u, true},
                      CoastCase{"on_target_c", 13u, true}, CoastCase{"off_target_a", 11u, false},
                      CoastCase{"off_target_b", 12u, false}, CoastCase{"off_target_c", 13u, false}),
    [](const ::testing::TestParamInfo<CoastCase>& info) { return std::string(info.param.name); });

// --- The traps the search must stay out of ----------------------------

// The first fixed-seed hop state that shows what a test needs.
template <class Wanted>
HopState FindHop(unsigned seed, double dvMax, Wanted wanted) {
  std::mt19937 rng(seed);
  for (int i = 0; i < 1000; ++i) {
    const HopState hs = RandomHop(rng, dvMax);
    if (wanted(hs)) return hs;
  }
  ADD_FAILURE() << "no such hop state";
  return RandomHop(rng, dvMax);
}

TEST(SearchTrapsTest, LeavesTheFloorItSitsOn) {
  // A climbing vessel whose best member crosses well above the floor, and a
  // search that a clamp has left exactly on the floor. The perturbed
  // parameter is clamped onto b itself there; the difference quotient must
  // then be taken on the other side, or the search never leaves the floor.
  const HopState hs = FindHop(31u, 20, [](const HopState& h) {
    const double bMin = NearSideMin(h.geo, h.floorHeight);
    return h.floorHeight > 0 && ScanNearSide(h.geo, h.V, bMin).b > bMin + 0.002;
  });
  const double bMin = NearSideMin(hs.geo, hs.floorHeight);
  const ScanResult best = ScanNearSide(hs.geo, hs.V, bMin);
  FlightSearchState state{true, +1, bMin, _V(0, 0, 0), 0.0, _V(0, 0, 0)};
  for (int call = 0; call < 6; ++call)
    ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state));
  EXPECT_GT(state.solverParam, bMin);
  EXPECT_LE(length(state.reqVel - hs.V), best.g + Allowed(best.g));
}

TEST(SearchTrapsTest, StaysAboveTheChordLateInAHop) {
  // Descending, 8 km up and 10 km short of the aim point 5 km above the
  // target: the body radius over s is below 1/2, so the floor alone would let
  // the search below b = 1/2, where the crossing point lies under the chord
  // from P to T and the family's conics run the other way. A vessel moving
  // at 2.4 km/s exactly as one of those conics (crossing point some 4 km
  // under the chord) would draw the search across; the answer must still be
  // a conic that leads straight to T.
  const VECTOR3 T = _V(0, 0, kMoonRadius + 5000);
  const double angle = 10000.0 / kMoonRadius;
  const VECTOR3 P = _V(std::sin(angle), 0, std::cos(angle)) * (kMoonRadius + 8000);
  FlightGeometry geo;
  ASSERT_TRUE(MakeFlightGeometry(P, T, kMoonMu, geo));
  ASSERT_LT(kMoonRadius / geo.s, 0.4987);
  VECTOR3 V;
  ASSERT_TRUE(Eval(0.4987, geo, V));

  FlightSearchState state = ColdState();
  for (int call = 0; call < 12; ++call) ASSERT_TRUE(SearchFamily(geo, V, kMoonRadius, 0, state));
  EXPECT_GT(state.solverParam, 0.5);
  EXPECT_LT(ClosestApproach(P, state.reqVel, kMoonMu, T, 100), 0.005);
}

TEST(SearchTrapsTest, FarSideCandidateCloserThanTheAnswerIsNotTaken) {
  // A crossing point behind the body gives, on such a state, a candidate
  // closer to the current velocity than the answer. Its conic misses the aim
  // point by kilometres; the answer stays with a conic through it.
  const auto closerBehind = [](const HopState& h, double g) {
    for (double b = -0.501; b > -3; b *= 1.01) {
      VECTOR3 v;
      if (Eval(b, h.geo, v) && length(v - h.V) < g) return v;
    }
    return _V(0, 0, 0);
  };
  const HopState hs = FindHop(122012203u, 80, [&](const HopState& h) {
    FlightSearchState probe = ColdState();
    SearchFamily(h.geo, h.V, kMoonRadius, h.floorHeight, probe);
    return length(closerBehind(h, length(probe.reqVel - h.V))) > 0;
  });
  FlightSearchState state = ColdState();
  ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, state));
  const VECTOR3 behind = closerBehind(hs, length(state.reqVel - hs.V));
  EXPECT_GT(ClosestApproach(hs.geo.P, behind, kMoonMu, hs.geo.T, 4000), 1000.0);
  EXPECT_EQ(state.searchDir, +1);
  EXPECT_LT(ClosestApproach(hs.geo.P, state.reqVel, kMoonMu, hs.geo.T, 4000), 0.005);
}

TEST(SearchTrapsTest, NoFiniteAnswerLeavesTheStateAlone) {
  // A body whose gravity gives no real conic speed anywhere: nothing is
  // found, and the last answer stays as it was.
  FlightGeometry geo;
  ASSERT_TRUE(MakeFlightGeometry(_V(1.8e6, 0, 0), _V(1.7e6, 2e5, 0), -kMoonMu, geo));
  FlightSearchState state{true, +1, 0.6, _V(1, 2, 3), 0.0, _V(0, 0, 0)};
  EXPECT_FALSE(SearchFamily(geo, _V(0, 1000, 0), kMoonRadius, 0, state));
  EXPECT_EQ(state.solverParam, 0.6);
  EXPECT_EQ(state.reqVel.y, 2.0);
  EXPECT_TRUE(state.solverStarted);
}

// --- Through the host ---------------------------------------------------

TEST(InFlightHostTest, DvToGoFollowsTheVesselStepAfterStep) {
  // A lander coasting over the Moon 170 km short of its target, ten host
  // steps a second for a minute. After a few steps to settle, dvToGo stays
  // with the best member of the family at every step, and the required
  // velocity moves no more than the best member does.
  guidance::Scene scene;
  sim::Vessel& vessel = scene.lander();
  vessel.placeInFlight(0.02, 0.40, 25000, 900, 30, 40);
  ArvexMFD& m = scene.mfd();
  m.inputs.flightMode = 1;  // as the switch key leaves it
  scene.Target(0.0, 0.50 * kDegPerRad);
  ASSERT_TRUE(m.flightSolValid);
  const double mu = kGravConst * m.bodyMass;

  double worstExcess = -1e9, worstJump = -1e9, lastDvToGo = m.dvToGo;
  VECTOR3 lastAnswer = m.search.reqVel, lastBest = _V(0, 0, 0);
  for (int step = 0; step < 600; ++step) {
    scene.hop.host.step(0.1);
    const VECTOR3 P = guidance::ToV(vessel.position()), V = guidance::ToV(vessel.velocity());
    FlightGeometry geo;
    ASSERT_TRUE(MakeFlightGeometry(P, scene.AimPoint(), mu, geo));
    const double floorHeight = vessel.horizonAirspeed().y() > 0 ? m.inputs.securityAlt : 0;
    const ScanResult best =
        ScanNearSide(geo, V, std::max((m.bodyRadius + floorHeight) / geo.s, kNearSideMinParam));
    ASSERT_TRUE(std::isfinite(m.dvToGo));
    if (step >= 10) {
      worstExcess = std::max(worstExcess, m.dvToGo - best.g - Allowed(best.g));
      worstJump = std::max(worstJump,
                           length(m.search.reqVel - lastAnswer) - length(best.member - lastBest));
    }
    lastAnswer = m.search.reqVel;
    lastBest = best.member;
    lastDvToGo = m.dvToGo;
  }
  EXPECT_LE(worstExcess, 0.0);
  EXPECT_LE(worstJump, 1.0);
  EXPECT_GT(lastDvToGo, 0.0);
}

TEST(InFlightHostTest, ReplanRunsTheColdSolveAndClaimsOnlyWhatItFound) {
  guidance::Scene scene;
  sim::Vessel& vessel = scene.lander();
  vessel.placeInFlight(0.02, 0.40, 25000, 900, 30, 40);
  ArvexMFD& m = scene.mfd();
  m.inputs.flightMode = 1;
  scene.Target(0.0, 0.50 * kDegPerRad);
  EXPECT_TRUE(m.search.solverStarted);
  EXPECT_EQ(m.search.searchDir, +1);
  EXPECT_TRUE(m.flightSolValid);
  const VECTOR3 answer = m.search.reqVel;

  // Now exactly over the aim point, twice as far from the centre: there is
  // no plane for the hop. The replan says so, and nothing that is not a
  // number reaches the display's fields, step after step.
  const double rTgt = m.bodyRadius + m.inputs.altAboveTarget;
  const VECTOR3 aim =
      m.PlanetToGlobal(_V(rTgt * std::cos(m.tgtLat) * std::cos(m.tgtLng), rTgt * std::sin(m.tgtLat),
                          rTgt * std::cos(m.tgtLat) * std::sin(m.tgtLng)));
  vessel.setState({2 * aim.x, 2 * aim.y, 2 * aim.z}, {0, 0, 0});
  m.RecomputePlan();
  EXPECT_FALSE(m.flightSolValid);
  EXPECT_EQ(length(m.search.reqVel - answer), 0.0);  // the last answer is kept
  scene.hop.host.step(0.1);
  EXPECT_TRUE(isFinite(m.search.reqVel));
  EXPECT_TRUE(std::isfinite(m.dvToGo));
  EXPECT_TRUE(std::isfinite(m.search.solverParam));
}

// --- The aim that leads the body's rotation ------------------------------

namespace lead {

VECTOR3 ToV(const sim::Vec3& v) { return _V(v.x(), v.y(), v.z()); }

// The body's turn as the display reads it from the host: about the body's
// tilted y axis, by minus 2 pi per period in the right-handed sense.
AimLead TurnOf(const sim::Body& body) {
  return AimLead{ToV(body.obliquityMatrix() * sim::Vec3::UnitY()),
                 -2 * kPi / body.spec().rotation_period_s};
}

// A fast-spinning airless body of the Earth's size: its surface moves at
// 1.85 km/s at the equator.
sim::BodySpec FastSpinner() {
  sim::BodySpec spec;
  spec.name = "Spinner";
  spec.radius_m = 6371000;
  spec.mass_kg = 5.972e24;
  spec.rotation_period_s = 6 * 3600;
  spec.obliquity_rad = 0.4;
  spec.rotation_at_epoch_rad = 1.1;
  return spec;
}

struct LeadCase {
  const char* name;
  sim::BodySpec body;
};

void PrintTo(const LeadCase& c, std::ostream* os) { *os << c.name; }

class AimLeadTest : public ::testing::TestWithParam<LeadCase> {};

TEST_P(AimLeadTest, MemberCoastsToWhereTheTargetIsAtArrival) {
  // Mid-hop states towards a target 5 km over the surface: the member that
  // the lead returns, coasted in two-body motion for its time of flight,
  // is where the host puts the target at that moment; and so is the next
  // call's, one second of coasting later, warm from the first.
  const sim::Body body(GetParam().body);
  const double R = body.radius(), mu = body.mu();
  const AimLead turn = TurnOf(body);
  std::mt19937 rng(20261210u);
  std::uniform_real_distribution<double> u(0, 1);
  double worst = 0;  // [m]
  int aimSolves = 0;
  for (int i = 0; i < 20; ++i) {
    const double lat = (u(rng) - 0.5) * 2.4, lng = (u(rng) - 0.5) * 2 * kPi;
    const VECTOR3 L =
        ToV(body.surfacePoint(lat + (u(rng) - 0.5) * 0.6, lng - 0.05 - 0.4 * u(rng), R, 0));
    const VECTOR3 target = ToV(body.surfacePoint(lat, lng, R, 0));
    const Conic ellipse = HopEllipse(mu, R, 30000 + 100000 * u(rng), L, target);
    const double hop = std::acos(dotp(Unit(L), Unit(target)));
    const double theta = TrueAnomaly(ellipse, L) + (0.1 + 0.7 * u(rng)) * hop;
    VECTOR3 P = PositionAt(ellipse, theta);
    VECTOR3 V = VelocityAt(ellipse, theta) + RandomUnit(rng) * (80 * u(rng));
    FlightSearchState state = ColdState();
    for (double now : {0.0, 1.0}) {
      if (now > 0) Propagate(P, V, mu, 1.0);
      const VECTOR3 T = ToV(body.surfacePoint(lat, lng, R + 5000, now));
      FlightSearchTrace trace{};
      ASSERT_TRUE(SearchFamilyLeading(P, T, mu, turn, V, R, FloorFor(P, V), state, &trace));
      aimSolves = std::max(aimSolves, trace.aimIterations);
      VECTOR3 r = P, v = state.reqVel;
      Propagate(r, v, mu, state.timeOfFlight);
      const VECTOR3 there = ToV(body.surfacePoint(lat, lng, R + 5000, now + state.timeOfFlight));
      worst = std::max(worst, length(r - there));
    }
  }
  EXPECT_LT(worst, 1.0) << "worst miss of the target's place at arrival [m]";
  EXPECT_LE(aimSolves, 6);
}

INSTANTIATE_TEST_SUITE_P(Bodies, AimLeadTest,
                         ::testing::Values(LeadCase{"Moon", *sim::builtinBody("Moon")},
                                           LeadCase{"Mars", *sim::builtinBody("Mars")},
                                           LeadCase{"FastSpinner", FastSpinner()}),
                         [](const ::testing::TestParamInfo<LeadCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(AimLeadTest, WithoutTurnItIsTheFixedAim) {
  // A body that does not turn: the lead gives the fixed aim's answer.
  std::mt19937 rng(5u);
  const HopState hs = RandomHop(rng, 50);
  FlightSearchState fixed = ColdState(), led = ColdState();
  ASSERT_TRUE(SearchFamily(hs.geo, hs.V, kMoonRadius, hs.floorHeight, fixed));
  ASSERT_TRUE(SearchFamilyLeading(hs.geo.P, hs.geo.T, kMoonMu, AimLead{_V(0, 1, 0), 0.0}, hs.V,
                                  kMoonRadius, hs.floorHeight, led));
  EXPECT_EQ(length(led.reqVel - fixed.reqVel), 0.0);
}

}  // namespace lead

}  // namespace
