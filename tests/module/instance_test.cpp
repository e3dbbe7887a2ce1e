// Display instances of the module's code, linked into the test, over their
// life: built and destroyed by the host, rebuilt with the pilot's
// parameters, reset, served by the per-step hook or not, and reset again
// when the focus vessel changes. The pilot acts through keys and dialogs;
// the instance's fields are read through its class.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "app/linked_module.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/world.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

namespace {

constexpr DWORD kKeyE = 18, kKeyR = 19, kKeyT = 20, kKeyP = 25, kKeyS = 31, kKeyL = 38, kKeyZ = 44,
                kKeyN = 49;

std::string Text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The lander stands at the Moon's first base (Apollo11) with the module
// attached as a library would be (library entry included).
class Instance : public ::testing::Test {
 protected:
  Instance() { hop.host.attachModule(lobarc::linkedModuleEntries(true), "ArvexMFD (linked)"); }

  ArvexMFD& mfd(int displayId) { return *static_cast<ArvexMFD*>(hop.host.display(displayId)); }
  const sim::Body& moon() { return hop.host.world().body(hop.body); }
  const sim::Base& base(const char* name) { return *moon().findBase(name); }

  // 10 km over the base the lander stands on, climbing gently.
  void Lift() { hop.lander().placeInFlight(hop.base->lat_rad, hop.base->lng_rad, 10000, 0, 0, 20); }
  // A target by latitude and longitude, typed into the dialogs [deg, module].
  void TypeTarget(int d, double latDeg, double lngDeg) {
    ASSERT_TRUE(hop.typeInto(d, kKeyL, Text(latDeg)));
    ASSERT_TRUE(hop.typeInto(d, kKeyN, Text(lngDeg)));
  }
  void TypeTargetAtBase(int d, const char* name) {
    TypeTarget(d, base(name).lat_rad * kDegPerRad, base(name).lng_rad * kDegPerRad);
  }
  // A second vessel, landed at Apollo17.
  std::size_t AddVessel(const sim::VesselSpec& spec) {
    sim::Vessel& v = hop.host.world().addVessel(hop.body, spec);
    v.landAt(base("Apollo17").lat_rad, base("Apollo17").lng_rad);
    return hop.host.world().vesselCount() - 1;
  }

  testsupport::MoonHop hop;
};

TEST_F(Instance, FirstDisplayOnTheGroundStartsFromDefaults) {
  const ArvexMFD& m = mfd(hop.openLaunchDisplay());
  EXPECT_EQ(m.inputs.flightMode, 0);
  EXPECT_FALSE(m.inputs.tgtLatSet);
  EXPECT_FALSE(m.inputs.tgtLngSet);
  EXPECT_EQ(m.targetBase, nullptr);
  EXPECT_EQ(m.inputs.securityAlt, 40000);
  EXPECT_EQ(m.inputs.altAboveTarget, 5000);
  EXPECT_NEAR(m.inputs.ownLatDeg, hop.base->lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(m.inputs.ownLngDeg, hop.base->lng_rad * kDegPerRad, 1e-9);
  EXPECT_EQ(m.inputs.flightPage, 0);
  EXPECT_FALSE(m.plan.groundSolValid);
  EXPECT_FALSE(m.flightSolValid);
  EXPECT_TRUE(m.hasMain);
  EXPECT_TRUE(m.hasHover);
  EXPECT_TRUE(m.inputs.useMainEngine);
  EXPECT_EQ(m.pitchGains.pitchGainP, 0.85);
  EXPECT_EQ(m.pitchGains.pitchGainI, 0.14);
  EXPECT_EQ(m.pitchGains.pitchGainD, 0.1);
  EXPECT_NEAR(m.surfaceGravity, kGravConst * moon().mass() / (moon().radius() * moon().radius()),
              1e-12);
}

TEST_F(Instance, FirstDisplayInFlightStoresThePointBelow) {
  Lift();
  const ArvexMFD& m = mfd(hop.openLaunchDisplay());
  EXPECT_EQ(m.inputs.flightMode, 1);
  EXPECT_NEAR(m.inputs.ownLatDeg, hop.base->lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(m.inputs.ownLngDeg, hop.base->lng_rad * kDegPerRad, 1e-9);
}

// A base comes back as its coordinates, and the plan is computed again; the
// same vessel flying the same plan goes on counting its burn.
TEST_F(Instance, BaseTargetComesBackAsCoordinatesWithAFreshPlan) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  ASSERT_TRUE(mfd(d).plan.groundSolValid);
  const double latDeg = mfd(d).inputs.tgtLatDeg, lngDeg = mfd(d).inputs.tgtLngDeg;
  const double launchSpeed = mfd(d).plan.launchSpeed;
  hop.lander().setLevel(THGROUP_HOVER, 1.0);  // burn a little of the plan, upward
  for (int i = 0; i < 5; ++i) hop.host.step(0.1);
  hop.lander().setLevel(THGROUP_HOVER, 0.0);
  const double dvRemaining = mfd(d).plan.dvRemaining;
  ASSERT_LT(dvRemaining, launchSpeed);

  hop.host.rebuildDisplay(d);
  const ArvexMFD& m = mfd(d);
  EXPECT_EQ(m.targetBase, nullptr);
  EXPECT_TRUE(m.inputs.tgtLatSet);
  EXPECT_TRUE(m.inputs.tgtLngSet);
  EXPECT_EQ(m.inputs.tgtLatDeg, latDeg);
  EXPECT_EQ(m.inputs.tgtLngDeg, lngDeg);
  EXPECT_TRUE(m.plan.groundSolValid);
  EXPECT_NEAR(m.plan.launchSpeed, launchSpeed, 1e-9 * launchSpeed);
  EXPECT_EQ(m.plan.dvRemaining, dvRemaining);
}

// Orbiter's change of view or panel closes every display before it opens
// any: each display gets its own target and altitude back, not those of the
// display that closed last.
TEST_F(Instance, EveryDisplayKeepsItsOwnInputsThroughARebuildOfAll) {
  const int left = hop.openLaunchDisplay();
  const int right = hop.openLaunchDisplay();
  TypeTarget(left, -8.97, 15.50);
  TypeTarget(right, 20.19, 30.77);
  ASSERT_TRUE(hop.typeInto(right, kKeyZ, "70"));
  hop.host.rebuildAllDisplays();
  EXPECT_EQ(mfd(left).inputs.tgtLatDeg, -8.97);
  EXPECT_EQ(mfd(left).inputs.tgtLngDeg, 15.50);
  EXPECT_EQ(mfd(left).inputs.securityAlt, 40000);
  EXPECT_EQ(mfd(right).inputs.tgtLatDeg, 20.19);
  EXPECT_EQ(mfd(right).inputs.securityAlt, 70000);
  // Moved to another display, the mode still takes what the last one left.
  hop.host.closeDisplay(left);
  const int other = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(other).inputs.tgtLatDeg, -8.97);
}

TEST_F(Instance, InFlightPageAndDvToGoComeBack) {
  Lift();
  const int d = hop.openLaunchDisplay();
  TypeTargetAtBase(d, "Apollo16");
  hop.host.step(0.1);  // the hook finds the correction and its size
  ASSERT_TRUE(mfd(d).flightSolValid);
  ASSERT_TRUE(hop.host.pressKey(d, kKeyP));
  ASSERT_EQ(mfd(d).inputs.flightPage, 1);
  const double dvToGo = mfd(d).dvToGo;
  ASSERT_GT(dvToGo, 0);

  hop.host.rebuildDisplay(d);
  const ArvexMFD& m = mfd(d);
  EXPECT_EQ(m.inputs.flightMode, 1);
  EXPECT_EQ(m.inputs.flightPage, 1);
  EXPECT_TRUE(m.flightSolValid);
  EXPECT_EQ(m.dvToGo, dvToGo);
}

// The mode comes from the saved parameters; the launch point is where the
// vessel stands now, once it has landed elsewhere.
TEST_F(Instance, LandingBetweenDisplaysKeepsFlightModeButNotTheOldPosition) {
  Lift();
  const int first = hop.openLaunchDisplay();
  hop.host.closeDisplay(first);
  const sim::Base& other = base("Apollo17");
  hop.lander().landAt(other.lat_rad, other.lng_rad);

  const int d = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(d).inputs.flightMode, 1);
  EXPECT_NEAR(mfd(d).inputs.ownLatDeg, other.lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(mfd(d).inputs.ownLngDeg, other.lng_rad * kDegPerRad, 1e-9);
  ASSERT_TRUE(hop.host.pressKey(d, kKeyS));  // follows the ground contact
  EXPECT_EQ(mfd(d).inputs.flightMode, 0);
}

// A display rebuilt in flight (a panel change during the launch burn) goes
// on with the launch point of the plan being flown.
TEST_F(Instance, RebuildInFlightKeepsTheLaunchPoint) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  const double lat = mfd(d).inputs.ownLatDeg, lng = mfd(d).inputs.ownLngDeg;
  hop.lander().placeInFlight(hop.base->lat_rad + 0.01, hop.base->lng_rad, 3000, 0, 0, 50);
  hop.host.rebuildDisplay(d);
  EXPECT_EQ(mfd(d).inputs.ownLatDeg, lat);
  EXPECT_EQ(mfd(d).inputs.ownLngDeg, lng);
}

TEST_F(Instance, ResetValuesSurviveARebuild) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyZ, "70"));
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo15"));
  ASSERT_TRUE(hop.host.pressKey(d, kKeyR));
  hop.host.rebuildDisplay(d);
  const ArvexMFD& m = mfd(d);
  EXPECT_FALSE(m.inputs.tgtLatSet);
  EXPECT_FALSE(m.inputs.tgtLngSet);
  EXPECT_EQ(m.inputs.securityAlt, 40000);
  EXPECT_EQ(m.inputs.altAboveTarget, 5000);
  EXPECT_FALSE(m.plan.groundSolValid);
}

// The reset key clears the whole plan, its launch direction included: a
// burn after it has no plan to be counted along, and the count stays at 0.
TEST_F(Instance, ResetLeavesNoPlanToCountABurnAlong) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  ASSERT_TRUE(hop.host.pressKey(d, kKeyR));
  hop.lander().setLevel(THGROUP_HOVER, 1.0);
  for (int i = 0; i < 5; ++i) hop.host.step(0.1);
  EXPECT_EQ(mfd(d).plan.dvRemaining, 0);
}

// A target typed onto the vessel's own position: the plan is cleared, and
// once more at the rebuild, which also leaves nothing for a further display.
TEST_F(Instance, RestoredTargetOnTheVesselClearsThePlanAndTheSavedParameters) {
  const int d = hop.openLaunchDisplay();
  TypeTarget(d, mfd(d).inputs.ownLatDeg, mfd(d).inputs.ownLngDeg);
  EXPECT_FALSE(mfd(d).plan.groundSolValid);
  hop.host.rebuildDisplay(d);
  EXPECT_TRUE(mfd(d).inputs.tgtLatSet);  // restored, with no plan
  EXPECT_FALSE(mfd(d).plan.groundSolValid);
  const int second = hop.openLaunchDisplay();  // nothing saved: defaults
  EXPECT_FALSE(mfd(second).inputs.tgtLatSet);
  EXPECT_FALSE(mfd(second).inputs.tgtLngSet);
}

// Over the antipode of the target the plane of the hop is undefined: within
// a degree of it no correction is computed, so the display keeps the one it
// showed as the vessel flew in, and a display opened there shows none until
// the vessel is past.
TEST_F(Instance, NearTheTargetsAntipodeTheCorrectionShownStands) {
  const double mu = kGravConst * moon().mass();
  const double r = moon().radius() + 10000;
  const double tgtLngDeg = 30.0, antipodeLng = tgtLngDeg / kDegPerRad - 3.14159265358979;
  const double step = 0.05, speed = std::sqrt(mu / r);  // [s], [m/s] a low circular orbit
  const auto distance = [&](double deg) { return deg / 57.29578 * r; };
  for (const double startDeg : {-2.0, 0.0}) {  // flying in; opened over the antipode
    SCOPED_TRACE(startDeg);
    hop.lander().placeInFlight(0, antipodeLng + startDeg / 57.29578, 10000, speed, 0, 0);
    const int d = hop.openLaunchDisplay();
    TypeTarget(d, 0, tgtLngDeg);
    EXPECT_EQ(mfd(d).flightSolValid, startDeg < -1.0);
    double entry = -1;  // the correction shown as the vessel entered the band
    for (double x = distance(startDeg); x < distance(1.5); x += speed * step) {
      hop.host.step(step);
      if (!mfd(d).flightSolValid) continue;
      if (std::abs(x) < distance(0.95)) {
        if (entry < 0) entry = mfd(d).dvToGo;
        ASSERT_NEAR(mfd(d).dvToGo, entry, 5.0) << "at " << x / r * 57.29578 << " deg";
      }
    }
    EXPECT_TRUE(mfd(d).flightSolValid);  // found again past the band
    hop.host.closeDisplay(d);
  }
}

// --- the gate of the per-step hook -------------------------------------------

// In flight with a target the hook refreshes dvToGo after every step, on
// every open display (a cockpit's left and right), each with its own
// target; closing one leaves the others served.
TEST_F(Instance, EveryOpenDisplayIsServedUntilItCloses) {
  Lift();
  const int first = hop.openLaunchDisplay();
  const int second = hop.openLaunchDisplay();
  const int third = hop.openLaunchDisplay();
  TypeTargetAtBase(first, "Apollo16");
  TypeTargetAtBase(second, "Apollo17");
  TypeTargetAtBase(third, "Apollo16");
  hop.host.closeDisplay(third);
  mfd(first).dvToGo = mfd(second).dvToGo = -1;
  hop.host.step(0.1);
  EXPECT_GT(mfd(first).dvToGo, 0);
  EXPECT_GT(mfd(second).dvToGo, 0);
  EXPECT_NE(mfd(first).dvToGo, mfd(second).dvToGo);

  hop.host.closeDisplay(first);
  mfd(second).dvToGo = -1;
  hop.host.step(0.1);
  EXPECT_GT(mfd(second).dvToGo, 0);
}

TEST_F(Instance, PostStepAfterTheLastDisplayClosedDoesNothing) {
  Lift();
  const int d = hop.openLaunchDisplay();
  TypeTargetAtBase(d, "Apollo16");
  hop.host.closeDisplay(d);
  hop.host.step(0.1);  // must not reach the destroyed instance
  const int next = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(next).inputs.flightMode, 1);  // the module still works afterwards
}

// --- focus changes ---------------------------------------------------------

struct VesselCase {
  const char* name;
  sim::VesselSpec spec;
  bool hasMain, hasHover;
};
void PrintTo(const VesselCase& c, std::ostream* os) { *os << c.name; }

class FocusChange : public Instance, public ::testing::WithParamInterface<VesselCase> {};

TEST_P(FocusChange, TakesTheNewVesselsEnginesAndStartsFromDefaults) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyZ, "70"));
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  mfd(d).inputs.altAboveTarget = 9000;
  mfd(d).inputs.flightPage = 1;

  hop.host.setFocus(AddVessel(GetParam().spec));
  const ArvexMFD& m = mfd(d);
  EXPECT_EQ(m.hasMain, GetParam().hasMain);
  EXPECT_EQ(m.inputs.useMainEngine, GetParam().hasMain);
  EXPECT_EQ(m.hasHover, GetParam().hasHover);
  EXPECT_EQ(m.inputs.flightPage, 0);
  EXPECT_EQ(m.targetBase, nullptr);
  EXPECT_FALSE(m.inputs.tgtLatSet);
  EXPECT_FALSE(m.inputs.tgtLngSet);
  EXPECT_EQ(m.inputs.securityAlt, 40000);
  EXPECT_EQ(m.inputs.altAboveTarget, 5000);
  EXPECT_FALSE(m.plan.groundSolValid);
  EXPECT_NEAR(m.inputs.ownLatDeg, base("Apollo17").lat_rad * kDegPerRad, 1e-9);
}
INSTANTIATE_TEST_SUITE_P(
    Vessels, FocusChange,
    ::testing::Values(
        VesselCase{"main_only", sim::VesselSpec{"Tug", 8000, 30000, 0, 0}, true, false},
        VesselCase{"hover_only", sim::VesselSpec{"Hopper", 5000, 0, 0, 12000}, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// After a focus change nothing is left to restore: a display opened beside
// the reset one reads the new vessel afresh.
TEST_F(FocusChange, LeavesNothingSavedForTheNextDisplay) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  hop.host.setFocus(AddVessel(sim::VesselSpec{"Tug", 8000, 30000, 0, 0}));
  const int second = hop.openLaunchDisplay();
  EXPECT_FALSE(mfd(second).inputs.tgtLatSet);
  EXPECT_NEAR(mfd(second).inputs.ownLatDeg, base("Apollo17").lat_rad * kDegPerRad, 1e-9);
}

TEST_F(FocusChange, WithoutAPreviousVesselLeavesTheDisplayAlone) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyZ, "70"));
  const std::size_t tug = AddVessel(sim::VesselSpec{"Tug", 8000, 30000, 0, 0});
  const auto focusChanged = hop.host.moduleEntries(hop.host.loadedModules().front()).focusChanged;
  focusChanged(hop.host.vesselHandle(tug), nullptr);
  EXPECT_EQ(mfd(d).inputs.securityAlt, 70000);
  EXPECT_TRUE(mfd(d).hasHover);  // still the lander's engines
}

// With no display in the mode the change is only recorded: the next display
// restores the target and altitudes, and plans from where the new vessel
// stands.
TEST_F(FocusChange, WithoutADisplayRestoresThePlanFromTheNewVessel) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyZ, "70"));
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  hop.host.closeDisplay(d);
  hop.host.setFocus(AddVessel(sim::VesselSpec{"Tug", 8000, 30000, 0, 0}));
  const int next = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(next).inputs.securityAlt, 70000);
  EXPECT_TRUE(mfd(next).plan.groundSolValid);
  EXPECT_EQ(mfd(next).plan.dvRemaining, mfd(next).plan.launchSpeed);  // another vessel's count
  EXPECT_FALSE(mfd(next).hasHover);
  EXPECT_NEAR(mfd(next).inputs.ownLatDeg, base("Apollo17").lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(mfd(next).inputs.ownLngDeg, base("Apollo17").lng_rad * kDegPerRad, 1e-9);
}

// Focus on a vessel in flight, which then lands: the switch to grounded
// planning plans from where it stands, not from a point of another vessel
// or one it passed over.
TEST_F(FocusChange, ThenLandingTheSwitchPlansFromWhereTheVesselStands) {
  hop.openLaunchDisplay();
  const std::size_t tug = AddVessel(sim::VesselSpec{"Tug", 8000, 30000, 0, 0});
  const sim::Base& over = base("Apollo15");
  hop.host.world().vessel(tug).placeInFlight(over.lat_rad, over.lng_rad, 5000, 0, 0, 0);
  hop.host.setFocus(tug);
  const sim::Base& pad = base("Apollo17");
  hop.host.world().vessel(tug).landAt(pad.lat_rad, pad.lng_rad);
  const int d = hop.host.openDisplays().front();
  TypeTargetAtBase(d, "Apollo16");
  ASSERT_TRUE(hop.host.pressKey(d, kKeyS));
  ASSERT_EQ(mfd(d).inputs.flightMode, 0);
  EXPECT_NEAR(mfd(d).inputs.ownLatDeg, pad.lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(mfd(d).inputs.ownLngDeg, pad.lng_rad * kDegPerRad, 1e-9);
  EXPECT_TRUE(mfd(d).plan.groundSolValid);
}

// An engine choice comes back only to a vessel that has that engine;
// otherwise the display takes the one the vessel has.
struct EngineCase {
  const char* name;
  bool chooseHover;  // ENG pressed on the lander (main and hover)
  sim::VesselSpec next;
  bool useMainEngine;
};
void PrintTo(const EngineCase& c, std::ostream* os) { *os << c.name; }

class RestoredEngine : public Instance, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(RestoredEngine, FollowsTheEnginesOfTheVessel) {
  const int d = hop.openLaunchDisplay();
  if (GetParam().chooseHover) {
    ASSERT_TRUE(hop.host.pressKey(d, kKeyE));
  }
  hop.host.closeDisplay(d);
  hop.host.setFocus(AddVessel(GetParam().next));
  EXPECT_EQ(mfd(hop.openLaunchDisplay()).inputs.useMainEngine, GetParam().useMainEngine);
}
INSTANTIATE_TEST_SUITE_P(
    Vessels, RestoredEngine,
    ::testing::Values(
        EngineCase{"hover_to_main_only", true, sim::VesselSpec{"Tug", 8000, 30000, 0, 0}, true},
        EngineCase{"main_to_hover_only", false, sim::VesselSpec{"Hopper", 5000, 0, 0, 12000},
                   false},
        EngineCase{"hover_to_both", true, sim::VesselSpec{"Twin", 8000, 30000, 0, 9000}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The host may focus an object without a vessel interface (or nothing): the
// displays stay as they are, and the reset key, which would read the vessel,
// does nothing.
TEST_F(FocusChange, ToAnObjectWithoutAVesselLeavesTheDisplayAndItsReset) {
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  const auto focusChanged = hop.host.moduleEntries(hop.host.loadedModules().front()).focusChanged;
  for (OBJHANDLE object : {hop.bodyHandle(), OBJHANDLE{nullptr}}) {
    focusChanged(object, hop.vesselHandle());
    EXPECT_TRUE(hop.host.pressKey(d, kKeyR));
    EXPECT_TRUE(mfd(d).plan.groundSolValid);
    hop.host.step(0.1);
  }
}

}  // namespace

namespace {

// Paused, the host runs no step: the pitch a new plan (or the other engine)
// shows must already be the one for it, as one step later.
TEST_F(Instance, PitchProposalBelongsToThePlanWithoutAStep) {
  const int d = hop.openLaunchDisplay();
  hop.host.step(0.1);  // a proposal for the display's first state
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  const double paused = mfd(d).pitchCmd;
  hop.host.step(0.1);
  EXPECT_NEAR(paused, mfd(d).pitchCmd, 1e-6) << "a new target";

  ASSERT_TRUE(hop.host.pressKey(d, kKeyE));
  const double pausedOther = mfd(d).pitchCmd;
  hop.host.step(0.1);
  EXPECT_NEAR(pausedOther, mfd(d).pitchCmd, 1e-6) << "the other engine";
  EXPECT_GT(std::fabs(pausedOther - paused), 10) << "each engine has its own proposal";
}

}  // namespace
