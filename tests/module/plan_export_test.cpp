// The module's exported door for other add-ons, on the real library as the
// host loads it: found by name, given a display the host holds, it fills the
// plain record with what the display plans and shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "lobarc/ArvexPlan.h"
#include "planning/constants.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "support/host_fixture.h"

namespace {

constexpr DWORD kKeyT = 20;

// The factor the record's degrees are published with is the module's own.
static_assert(ARVEX_DEG_PER_RAD == arvex::kDegPerRad);

// Versions 1 and 2 are published: an add-on compiled against them reads
// every field at these offsets (a 64-bit build; the 32-bit one differs only
// by the pointer's size, from targetBase on).
#define LOBARC_AT(field, offset) static_assert(offsetof(ArvexPlan, field) == offset, #field)
static_assert(sizeof(void*) != 8 || (ARVEX_PLAN_V1_SIZE == 200 && ARVEX_PLAN_V2_SIZE == 324));
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
// clang-format off
LOBARC_AT(size, 0); LOBARC_AT(version, 4); LOBARC_AT(flightMode, 8); LOBARC_AT(targetComplete, 12);
LOBARC_AT(groundSolValid, 16); LOBARC_AT(heading, 24); LOBARC_AT(launchAngle, 32);
LOBARC_AT(apoAltitude, 40); LOBARC_AT(vTan, 48); LOBARC_AT(launchSpeed, 56);
LOBARC_AT(dvRemaining, 64); LOBARC_AT(pitchCmd, 72); LOBARC_AT(launchVelocity, 80);
LOBARC_AT(flightSolValid, 104); LOBARC_AT(reqVel, 112); LOBARC_AT(dvToGo, 136);
LOBARC_AT(aimPoint, 144); LOBARC_AT(tgtLatDeg, 168); LOBARC_AT(tgtLngDeg, 176);
LOBARC_AT(securityAlt, 184); LOBARC_AT(altAboveTarget, 192); LOBARC_AT(ownLatDeg, 200);
LOBARC_AT(ownLngDeg, 208); LOBARC_AT(ownLat, 216); LOBARC_AT(ownLng, 224); LOBARC_AT(tgtLat, 232);
LOBARC_AT(tgtLng, 240); LOBARC_AT(targetBase, 248); LOBARC_AT(tgtLatSet, 256);
LOBARC_AT(tgtLngSet, 260); LOBARC_AT(hasMain, 264); LOBARC_AT(hasHover, 268);
LOBARC_AT(useMainEngine, 272); LOBARC_AT(flightPage, 276); LOBARC_AT(surfaceGravity, 280);
LOBARC_AT(flightPathAngle, 288); LOBARC_AT(actualPitch, 296); LOBARC_AT(english, 304);
LOBARC_AT(width, 308); LOBARC_AT(height, 312); LOBARC_AT(lineHeight, 316);
LOBARC_AT(column2X, 320);
// clang-format on
#endif
#undef LOBARC_AT

class PlanExport : public ::testing::Test {
 protected:
  PlanExport() {
    const int id = hop.loadModule();
    get = reinterpret_cast<ArvexGetPlanFunc>(
        GetProcAddress(hop.host.moduleInstance(id), ARVEX_GET_PLAN_NAME));
  }
  const sim::Body& moon() { return hop.host.world().body(hop.body); }

  testsupport::MoonHop hop;
  ArvexGetPlanFunc get = nullptr;
  ArvexPlan plan{};
};

double Length(const double (&v)[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// On the pad with a base as target: the record holds the plan the page shows.
TEST_F(PlanExport, GroundedPlanIsWhatThePageShows) {
  ASSERT_NE(get, nullptr);
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  plan.size = sizeof plan;
  ASSERT_EQ(get(hop.host.display(d), &plan), 1);
  EXPECT_EQ(plan.version, static_cast<unsigned>(ARVEX_PLAN_VERSION));
  EXPECT_EQ(plan.flightMode, 0);
  EXPECT_EQ(plan.targetComplete, 1);
  EXPECT_EQ(plan.groundSolValid, 1);
  EXPECT_EQ(plan.dvRemaining, plan.launchSpeed);  // nothing burnt yet
  EXPECT_NEAR(Length(plan.launchVelocity), plan.launchSpeed, 1e-6 * plan.launchSpeed);
  // The aim point lies altAboveTarget over the surface.
  EXPECT_NEAR(Length(plan.aimPoint), moon().radius() + plan.altAboveTarget, 1e-3);
  const sim::DrawnText* shown = hop.host.redraw(d).findText("Heading : ");
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(std::strtod(shown->bytes.c_str() + 10, nullptr), std::round(plan.heading));
}

// In flight, with no display named: the one built last answers.
TEST_F(PlanExport, NoDisplayNamedMeansTheOneBuiltLast) {
  ASSERT_NE(get, nullptr);
  hop.lander().placeInFlight(hop.base->lat_rad, hop.base->lng_rad, 15000, 0, 0, 50);
  hop.openLaunchDisplay();
  const int last = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(last, kKeyT, "Apollo16"));
  hop.host.step(0.1);
  plan.size = sizeof plan;
  ASSERT_EQ(get(nullptr, &plan), 1);
  EXPECT_EQ(plan.flightMode, 1);
  EXPECT_EQ(plan.flightSolValid, 1);
  EXPECT_GT(Length(plan.reqVel), 0);
}

// What the door refuses, leaving the record as it was.
TEST_F(PlanExport, RefusesWhatItCannotAnswer) {
  ASSERT_NE(get, nullptr);
  plan.size = sizeof plan;
  EXPECT_EQ(get(nullptr, &plan), 0);  // no display open
  const int d = hop.openLaunchDisplay();
  EXPECT_EQ(get(hop.host.display(d), nullptr), 0);
  plan.size = ARVEX_PLAN_V1_SIZE - 1;  // a record older than version 1
  EXPECT_EQ(get(hop.host.display(d), &plan), 0);
  EXPECT_EQ(plan.version, 0u);
  // Something that is no display of this module: refused, not read.
  plan.size = sizeof plan;
  const long long notADisplay[8] = {};
  EXPECT_EQ(get(notADisplay, &plan), 0);
}

// An add-on built with version 1 gets version 1, every field of it as a
// newer caller gets it, and the memory past its record stays as it was.
TEST_F(PlanExport, VersionOneCallerKeepsWhatLiesPastItsRecord) {
  ASSERT_NE(get, nullptr);
  const int d = hop.openLaunchDisplay();
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  std::memset(&plan, 0xA5, sizeof plan);
  plan.size = ARVEX_PLAN_V1_SIZE;
  ASSERT_EQ(get(hop.host.display(d), &plan), 1);
  EXPECT_EQ(plan.version, 1u);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&plan);
  EXPECT_EQ(std::count(bytes + ARVEX_PLAN_V1_SIZE, bytes + sizeof plan, 0xA5),
            static_cast<long>(sizeof plan - ARVEX_PLAN_V1_SIZE));
  ArvexPlan newest{};
  newest.size = sizeof newest;
  ASSERT_EQ(get(hop.host.display(d), &newest), 1);
  const std::size_t first = offsetof(ArvexPlan, flightMode);
  EXPECT_EQ(std::memcmp(bytes + first, reinterpret_cast<const unsigned char*>(&newest) + first,
                        ARVEX_PLAN_V1_SIZE - first),
            0);
}

// Version 2: the launch point is the point under the vessel, the target the
// base's, and the display's size and language what the host gave it.
TEST_F(PlanExport, VersionTwoHoldsLaunchPointEntriesAndDisplay) {
  ASSERT_NE(get, nullptr);
  const int d = hop.openLaunchDisplay(300, 280);
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo16"));
  std::memset(&plan, 0xA5, sizeof plan);
  plan.size = ARVEX_PLAN_V2_SIZE;
  ASSERT_EQ(get(hop.host.display(d), &plan), 1);
  EXPECT_EQ(plan.version, 2u);
  EXPECT_EQ(std::memcmp(&plan.aimLead, "\xA5\xA5\xA5\xA5", 4), 0);  // past its size
  double lng = 0, lat = 0, radius = 0;
  hop.lander().equPos(lng, lat, radius);
  EXPECT_EQ(plan.ownLat, lat);
  EXPECT_EQ(plan.ownLngDeg, lng * ARVEX_DEG_PER_RAD);
  EXPECT_EQ(plan.tgtLat, plan.tgtLatDeg / ARVEX_DEG_PER_RAD);
  EXPECT_NE(plan.targetBase, nullptr);
  EXPECT_EQ(plan.tgtLatSet + plan.tgtLngSet, 2);
  EXPECT_EQ(plan.useMainEngine, plan.hasMain);
  EXPECT_NEAR(plan.surfaceGravity, 1.62, 0.01);  // the Moon's [m/s^2]
  EXPECT_EQ(plan.english, 1);
  EXPECT_EQ(plan.width, 300);
  EXPECT_EQ(plan.height, 280);
  EXPECT_EQ(plan.lineHeight, 280 / 28);
  EXPECT_EQ(plan.column2X, 300 / 2);
}

// Version 3: the aim in use, as the configuration file chose it when the
// display was built: where the target is now unless AIM_LEAD says otherwise.
TEST_F(PlanExport, VersionThreeSaysWhichAim) {
  ASSERT_NE(get, nullptr);
  plan.size = sizeof plan;
  ASSERT_EQ(get(hop.host.display(hop.openLaunchDisplay()), &plan), 1);
  EXPECT_EQ(plan.version, 3u);
  EXPECT_EQ(plan.aimLead, 0);
  hop.config.write("ArvexMFD.cfg", "LANGUAGE = 0\nAIM_LEAD = 1\n");
  ASSERT_EQ(get(hop.host.display(hop.openLaunchDisplay()), &plan), 1);
  EXPECT_EQ(plan.aimLead, 1);
}

}  // namespace
