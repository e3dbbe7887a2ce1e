// Burn monitoring and pitch guidance: the pitch laws' worked numbers on the
// plain functions, then white-box through the simulated host thrust
// detection, the burn count against the thrust the vessel really felt, and
// the per-step hook's gate and modes.
#include "planning/burn_guidance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "planning/guidance_scene.h"

namespace {

using guidance::Scene;
using guidance::ToV;

constexpr double kDt = 0.1;  // [s] host step of these tests

// --- The burn pitch law -------------------------------------------------

struct BurnLawCase {
  const char* name;
  bool mainEngine;
  double launchAngle;       // [deg]
  double fpa;               // [deg] measured flight-path angle
  double integral;          // [deg s] before
  double prevCmd;           // [deg] the command before the last
  double lastCmd;           // [deg]
  double expectedCmd;       // [deg]
  double expectedIntegral;  // [deg s] after
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const BurnLawCase& c, std::ostream* os) { *os << c.name; }

class BurnLawTest : public ::testing::TestWithParam<BurnLawCase> {};

TEST_P(BurnLawTest, CommandsThePlannedPitch) {
  const BurnLawCase& c = GetParam();
  PitchLawState state{c.integral, c.lastCmd, c.prevCmd};
  const double cmd = BurnPitchLaw(c.fpa, c.launchAngle, c.mainEngine, kPitchGains, kDt, state);
  EXPECT_NEAR(cmd, c.expectedCmd, 1e-9);
  EXPECT_NEAR(state.pitchIntegral, c.expectedIntegral, 1e-9);
  EXPECT_EQ(state.prevPitchCmd, c.lastCmd);
  EXPECT_EQ(state.lastPitchCmd, cmd);
}

INSTANTIATE_TEST_SUITE_P(WorkedNumbers, BurnLawTest,
                         ::testing::Values(
                             // 40 + 0.85 x 5 + 0.14 x 0.5
                             BurnLawCase{"integral_window", true, 40, 35, 0, 0, 0, 44.32, 0.5},
                             // 40 + 25.5 - 5 = 60.5, cut by the 20 degree band; the integral resets
                             BurnLawCase{"derivative_band", true, 40, 10, 0.3, 40, 45, 60, 0},
                             // 10 - 17 = -7 is raised to the planned angle
                             BurnLawCase{"floor", true, 10, 30, 0, 12, 12, 10, 0},
                             // descending: 1.5 x launchAngle, the integral untouched
                             BurnLawCase{"descending", true, 40, -5, 2.5, 0, 0, 60, 2.5},
                             BurnLawCase{"descending_clamped", true, 60, -5, 0, 0, 0, 80, 0},
                             BurnLawCase{"descending_hover", false, 40, -5, 0, 0, 0, -30, 0},
                             // on the planned path with hover engines: 40 - 90
                             BurnLawCase{"hover_on_path", false, 40, 40, 0, 0, 0, -50, 0}),
                         [](const ::testing::TestParamInfo<BurnLawCase>& info) {
                           return std::string(info.param.name);
                         });

// --- The pre-burn proposal ---------------------------------------------

struct ProposalCase {
  const char* name;
  bool mainEngine;
  double launchAngle;  // [deg]
  double weightOverThrust;
  double expected;  // [deg]
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const ProposalCase& c, std::ostream* os) { *os << c.name; }

class ProposalTest : public ::testing::TestWithParam<ProposalCase> {};

TEST_P(ProposalTest, FullThrustAndWeightAlongThePlan) {
  const ProposalCase& c = GetParam();
  Scene scene;
  ArvexMFD& m = scene.mfd();
  m.inputs.useMainEngine = c.mainEngine;
  m.plan.launchAngle = c.launchAngle;
  m.launchPitchSet = false;
  const double thrust = scene.lander().maxThrust(c.mainEngine ? THGROUP_MAIN : THGROUP_HOVER);
  m.surfaceGravity = c.weightOverThrust * thrust / scene.lander().mass();

  m.UpdatePitchCommand(kDt, 0);
  EXPECT_NEAR(m.pitchCmd, c.expected, 0.005);
  EXPECT_TRUE(m.launchPitchSet);
}

INSTANTIATE_TEST_SUITE_P(WorkedNumbers, ProposalTest,
                         ::testing::Values(ProposalCase{"main", true, 40, 0.5, 62.52},
                                           ProposalCase{"hover", false, 40, 0.5, -27.48},
                                           ProposalCase{"too_weak", true, 10, 2, 90},
                                           ProposalCase{"too_weak_hover", false, 10, 2, 0}),
                         [](const ::testing::TestParamInfo<ProposalCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ProposalTest, PhysicsOfTheProposal) {
  // Full thrust at the proposed pitch plus the weight point along the
  // planned flight-path angle: checked over a spread of angles and ratios.
  const double thrust = 45000;  // [N]
  double worst = 0;
  for (double angle = 5; angle <= 85; angle += 10) {
    for (double ratio = 0.1; ratio < 1; ratio += 0.2) {
      const double pitch = LaunchPitchProposal(thrust, ratio * thrust, angle, true);
      const double theta = pitch / kDegPerRad, gamma = angle / kDegPerRad;
      // Net force in the vertical plane (horizontal, vertical) [N].
      const double fx = thrust * std::cos(theta), fy = thrust * std::sin(theta) - ratio * thrust;
      worst = std::max(worst, std::fabs(std::atan2(fy, fx) - gamma));
    }
  }
  EXPECT_LT(worst, 1e-9);
}

TEST(ProposalTest, MadeOncePerPlanWhileTheEnginesAreOff) {
  Scene scene;
  ArvexMFD& m = scene.mfd();
  m.plan.launchAngle = 40;
  m.launchPitchSet = true;
  m.pitchCmd = 12;
  m.UpdatePitchCommand(kDt, 0);
  EXPECT_EQ(m.pitchCmd, 12);
}

// --- Thrust detection ----------------------------------------------------

struct ThrustCase {
  const char* name;
  double main, retro, hover;  // throttle levels
  bool hasMain, hasHover;     // the instance's group flags
  bool thrusting;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const ThrustCase& c, std::ostream* os) { *os << c.name; }

class ThrustDetectionTest : public ::testing::TestWithParam<ThrustCase> {};

TEST_P(ThrustDetectionTest, BurnLawRunsOnlyWhileThrusting) {
  const ThrustCase& c = GetParam();
  Scene scene;
  ArvexMFD& m = scene.mfd();
  scene.Attitude(0, 0);
  m.plan.launchAngle = 40;
  m.launchPitchSet = true;
  m.pitchCmd = 123;  // stays unless the burn law runs
  m.hasMain = c.hasMain;
  m.hasHover = c.hasHover;
  scene.lander().setLevel(THGROUP_MAIN, c.main);
  scene.lander().setLevel(THGROUP_RETRO, c.retro);
  scene.lander().setLevel(THGROUP_HOVER, c.hover);
  // Too little thrust to lift off: the vessel stays on its pad.
  scene.hop.host.step(kDt);
  EXPECT_EQ(m.pitchCmd != 123, c.thrusting);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, ThrustDetectionTest,
    ::testing::Values(ThrustCase{"idle", 0, 0, 0, true, true, false},
                      ThrustCase{"main", 0.1, 0, 0, true, true, true},
                      ThrustCase{"type_1_alone", 0, 0.1, 0, true, true, true},
                      ThrustCase{"hover", 0, 0, 0.1, true, true, true},
                      ThrustCase{"type_1_without_main_group", 0, 0.1, 0, false, true, false},
                      ThrustCase{"hover_without_hover_group", 0, 0, 0.1, true, false, false}),
    [](const ::testing::TestParamInfo<ThrustCase>& info) { return std::string(info.param.name); });

// --- The burn count ------------------------------------------------------

// One step of the count on its own, 1 s long, 1000 km from the centre of a
// body of 7.35e22 kg (the Moon), with a plan pointing straight up. In the
// air the step's velocity change is the burn's plus gravity's pull; on the
// ground the surface holds the vessel against gravity. Either way only the
// burn is counted.
struct GainCase {
  const char* name;
  double burnUp;  // [m/s] the burn's velocity change in the step, straight up
  bool ground;    // standing on the surface
  bool fresh;     // the previous sample is from the step before
  bool plan;      // a plan to count along
  bool counted;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const GainCase& c, std::ostream* os) { *os << c.name; }

class BurnGainTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(BurnGainTest, CountsTheBurnAlongThePlanOnly) {
  const GainCase& c = GetParam();
  const double r = 1.0e6, mass = 7.35e22, dt = 1.0;                       // [m], [kg], [s]
  const double pull = c.ground ? 0.0 : kGravConst * mass / (r * r) * dt;  // [m/s]
  const BurnStepInput step{_V(0, c.burnUp - pull, 0),
                           _V(0, r, 0),
                           _V(0, 0, 0),
                           c.fresh,
                           c.ground,
                           c.plan ? _V(0, 1234, 0) : _V(0, 0, 0),
                           mass,
                           dt};
  double gain = -1;
  EXPECT_EQ(BurnGainAlongPlan(step, gain), c.counted);
  EXPECT_NEAR(gain, c.counted ? c.burnUp : -1, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BurnGainTest,
    ::testing::Values(GainCase{"falling", 0, false, true, true, true},
                      GainCase{"burning_in_the_air", 5, false, true, true, true},
                      GainCase{"burning_on_the_ground", 5, true, true, true, true},
                      GainCase{"stale_sample", 5, false, false, true, false},
                      GainCase{"no_plan", 5, false, true, false, false}),
    [](const ::testing::TestParamInfo<GainCase>& info) { return std::string(info.param.name); });

// A frame whose forward axis (the main engine's thrust) points along u.
sim::Mat3 FacingAlong(const VECTOR3& u) {
  const VECTOR3 f = u / length(u);
  const VECTOR3 helper = std::fabs(f.y) < 0.9 ? _V(0, 1, 0) : _V(1, 0, 0);
  const VECTOR3 right = crossp(helper, f) / length(crossp(helper, f));
  const VECTOR3 up = crossp(f, right);
  sim::Mat3 m;
  m << right.x, up.x, f.x, right.y, up.y, f.y, right.z, up.z, f.z;
  return m;
}

struct CountCase {
  const char* name;
  double along;   // component of the thrust direction along the plan
  double across;  // component at right angles to it
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class BurnCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(BurnCountTest, CountsTheThrustAlongThePlanOnly) {
  // A vessel high above the Moon in grounded planning mode burns 10 s at full
  // main thrust in a fixed direction; the count must change by exactly the
  // thrust's delta-v along the planned direction, whatever gravity did.
  const CountCase& c = GetParam();
  Scene scene;
  sim::Vessel& v = scene.lander();
  v.placeInFlight(0.2, 0.4, 100000, 300, 200, 50);
  ArvexMFD& m = scene.mfd();
  m.inputs.flightMode = 0;
  const VECTOR3 plan = _V(0.3, -0.5, 0.8) / length(_V(0.3, -0.5, 0.8));
  const VECTOR3 side = crossp(plan, _V(0, 0, 1)) / length(crossp(plan, _V(0, 0, 1)));
  m.plan.launchVelocity = plan * 1234.0;
  m.plan.dvRemaining = 1000;
  scene.hop.host.step(kDt);  // the first step takes a sample
  ASSERT_EQ(m.plan.dvRemaining, 1000);

  v.setRotation(FacingAlong(plan * c.along + side * c.across));
  v.setLevel(THGROUP_MAIN, 1);
  for (int i = 0; i < 100; ++i) scene.hop.host.step(kDt);
  const double thrustDv = v.maxThrust(THGROUP_MAIN) / v.mass() * 10.0;  // [m/s]
  EXPECT_NEAR(m.plan.dvRemaining, 1000 - c.along * thrustDv, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Directions, BurnCountTest,
                         ::testing::Values(CountCase{"along", 1, 0}, CountCase{"across", 0, 1},
                                           CountCase{"against", -1, 0},
                                           CountCase{"oblique", 0.6, 0.8}),
                         [](const ::testing::TestParamInfo<CountCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BurnCountTest, NoPlanNoCount) {
  // No plan yet: the launch velocity is the zero vector and gives no
  // direction to count along. The count must stay a number.
  Scene scene;
  ArvexMFD& m = scene.mfd();
  ASSERT_EQ(length(m.plan.launchVelocity), 0);
  scene.Attitude(0, 80);
  scene.lander().setLevel(THGROUP_MAIN, 1);
  for (int i = 0; i < 20; ++i) scene.hop.host.step(kDt);
  ASSERT_FALSE(scene.lander().groundContact());
  EXPECT_EQ(m.plan.dvRemaining, 0);
}

TEST(BurnCountTest, FirstStepOfANewDisplayOnlySamples) {
  // On the Earth's equator the pad moves at 465 m/s. A display opened there
  // and given a plan eastward must not count that speed as burnt.
  Scene scene(guidance::LanderOptions("Earth"));
  scene.lander().landAt(0, 0);
  scene.mfd().ResetFromVessel();  // the display reads the new pad
  scene.Target(0, 10);
  ArvexMFD& m = scene.mfd();
  const double planned = m.plan.dvRemaining;
  ASSERT_GT(planned, 0);
  for (int i = 0; i < 10; ++i) scene.hop.host.step(kDt);
  // Only the turn of the pad's velocity in one second counts: 465 m/s times
  // 7.3e-5 rad/s, projected on the plan.
  EXPECT_NEAR(m.plan.dvRemaining, planned, 0.05);
}

TEST(BurnCountTest, AFocusChangeTakesAFreshSample) {
  // Two pads a quarter of the Earth's equator apart move at 465 m/s in
  // directions at right angles. After the focus moves from one to the other,
  // the first grounded step must not count the difference of the two
  // vessels' velocities along the plan that was kept.
  Scene scene(guidance::LanderOptions("Earth"));
  scene.lander().landAt(0, 0);
  scene.mfd().ResetFromVessel();
  scene.Target(0, 10);
  for (int i = 0; i < 3; ++i) scene.hop.host.step(kDt);
  sim::World& world = scene.hop.host.world();
  world.addVessel(scene.hop.body, sim::VesselSpec{"Other", 15000, 45000, 0, 30000}).landAt(0, 1.5);
  scene.hop.host.setFocus(world.vesselCount() - 1);
  ArvexMFD& m = scene.mfd();
  ASSERT_EQ(m.plan.dvRemaining, 0);
  scene.hop.host.step(kDt);
  EXPECT_EQ(m.plan.dvRemaining, 0);
}

TEST(BurnCountTest, AStretchInFlightModeIsNotCountedAfterwards) {
  // Burning straight up from the pad; in the middle, ten steps in flight
  // mode. Back in grounded mode the first step takes a sample, so the burn
  // of the stretch is not counted, and counting resumes after it.
  Scene scene;
  scene.Target(2, 25);
  ArvexMFD& m = scene.mfd();
  scene.hop.host.step(kDt);
  scene.Attitude(0, 90);
  scene.lander().setLevel(THGROUP_MAIN, 1);
  for (int i = 0; i < 10; ++i) scene.hop.host.step(kDt);
  m.inputs.flightMode = 1;
  for (int i = 0; i < 10; ++i) scene.hop.host.step(kDt);
  const double before = m.plan.dvRemaining;
  m.inputs.flightMode = 0;
  scene.hop.host.step(kDt);
  EXPECT_EQ(m.plan.dvRemaining, before);
  scene.hop.host.step(kDt);
  EXPECT_LT(m.plan.dvRemaining, before);
}

TEST(BurnCountTest, LiftOffAlongThePlanReachesMecoAtTheEndOfTheBurn) {
  // From Apollo 11 to Apollo 17. The pilot sets the plan's heading and the
  // proposed pitch, burns at full thrust and cuts off once the thrust has
  // delivered the planned delta-v along the launch direction (summed here
  // from the vessel's own attitude, step by step). The count must reach zero
  // right then: within one step's delta-v (0.3 m/s).
  Scene scene;
  ASSERT_TRUE(scene.hop.typeInto(scene.display, 20, "Apollo17"));
  ArvexMFD& m = scene.mfd();
  ASSERT_TRUE(m.plan.groundSolValid);
  scene.hop.host.step(kDt);  // pre-burn proposal, first sample
  scene.Attitude(m.plan.heading, m.pitchCmd);
  const VECTOR3 plan = m.plan.launchVelocity / length(m.plan.launchVelocity);
  sim::Vessel& v = scene.lander();
  const double accel = v.maxThrust(THGROUP_MAIN) / v.mass();  // [m/s^2]

  v.setLevel(THGROUP_MAIN, 1);
  double delivered = 0;  // [m/s] thrust delta-v along the plan
  int steps = 0;
  while (delivered < m.plan.launchSpeed && steps < 10000) {
    const VECTOR3 before = ToV(v.rotation().col(2));
    scene.hop.host.step(kDt);
    const VECTOR3 after = ToV(v.rotation().col(2));
    delivered += accel * kDt * dotp((before + after) * 0.5, plan);
    ++steps;
  }
  v.setLevel(THGROUP_MAIN, 0);
  ASSERT_FALSE(v.groundContact());
  EXPECT_NEAR(m.plan.dvRemaining, m.plan.launchSpeed - delivered, accel * kDt * 0.05);
  EXPECT_LE(m.plan.dvRemaining, 0);
  EXPECT_GT(m.plan.dvRemaining, -accel * kDt);
}

// --- The hook's gate and modes -----------------------------------------

TEST(PostStepTest, GroundedStepRefreshesTheMeasuredAttitude) {
  Scene scene;
  scene.Attitude(30, 12);
  scene.hop.host.step(kDt);
  EXPECT_NEAR(scene.mfd().actualPitch, 12, 1e-9);
  EXPECT_NEAR(scene.mfd().flightPathAngle, 12, 1e-9);
}

TEST(PostStepTest, ClosedGateTouchesNothing) {
  Scene scene;
  ArvexMFD& m = scene.mfd();
  scene.Attitude(0, 12);
  moduleState.hooksEnabled = false;
  scene.hop.host.step(kDt);
  moduleState.hooksEnabled = true;
  EXPECT_EQ(m.actualPitch, 0);
}

struct ModeCase {
  const char* name;
  int flightMode;
  bool latSet, lngSet;
  bool solves;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class FlightModeGateTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(FlightModeGateTest, SolverRunsOnlyInFlightWithACompleteTarget) {
  const ModeCase& c = GetParam();
  Scene scene;
  scene.lander().placeInFlight(0.01, 0.41, 20000, 1000, 0, 20);
  ArvexMFD& m = scene.mfd();
  m.tgtLat = 0.0;
  m.tgtLng = 0.5;
  m.inputs.flightMode = c.flightMode;
  m.inputs.tgtLatSet = c.latSet;
  m.inputs.tgtLngSet = c.lngSet;
  m.actualPitch = 77;  // written only by a grounded step
  scene.hop.host.step(kDt);
  EXPECT_EQ(m.search.solverStarted, c.solves);
  EXPECT_EQ(m.dvToGo > 0, c.solves);
  EXPECT_EQ(m.actualPitch, 77);
}

INSTANTIATE_TEST_SUITE_P(Modes, FlightModeGateTest,
                         ::testing::Values(ModeCase{"complete", 1, true, true, true},
                                           ModeCase{"latitude_only", 1, true, false, false},
                                           ModeCase{"longitude_only", 1, false, true, false},
                                           ModeCase{"other_mode", 2, true, true, false}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
