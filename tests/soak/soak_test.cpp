// Soak: a million host steps of an in-flight display and a million of a
// grounded one, through the module's code linked in (so that every number
// the instance keeps can be watched through its class). The module must neither
// grow the heap nor let a value turn into NaN or infinity however long the
// session lasts. The in-flight vessel circles the Moon, so the solver also
// passes over the target and its antipode again and again; the grounded
// vessel idles, then burns below lift-off thrust, so the burn count and the
// pitch law run all along.
//
// Labelled "slow" (about 10 s here, 40 s under the sanitizers). Under the
// address sanitizer the heap is the sanitizer's own (the allocator's
// count reads nothing, and freed blocks wait in its quarantine, hundreds of
// megabytes of resident set), so there only the values are watched; the
// sanitizer's leak check stands in for the memory figures.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/linked_module.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

namespace {

constexpr long kSteps = 1000000;
constexpr long kWarmUpSteps = 20000;     // before the first memory sample
constexpr long kRedrawEvery = 10000;     // steps between page checks
constexpr DWORD kKeyT = 20, kKeyP = 25;  // target by name, page

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizerHeap = true;
#else
constexpr bool kSanitizerHeap = false;
#endif
#else
constexpr bool kSanitizerHeap = false;
#endif

// Heap in use [bytes], as the allocator counts it.
std::size_t heapInUse() { return mallinfo2().uordblks; }

// Resident set [bytes].
std::size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

bool finite(const VECTOR3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Every number the instance keeps that a step may write.
std::string firstNonFinite(const ArvexMFD& m) {
  const struct {
    const char* name;
    double value;
  } scalars[] = {{"pitchIntegral", m.pitchLaw.pitchIntegral},
                 {"lastPitchCmd", m.pitchLaw.lastPitchCmd},
                 {"prevPitchCmd", m.pitchLaw.prevPitchCmd},
                 {"dvRemaining", m.plan.dvRemaining},
                 {"dvToGo", m.dvToGo},
                 {"solverParam", m.search.solverParam},
                 {"flightPathAngle", m.flightPathAngle},
                 {"actualPitch", m.actualPitch},
                 {"pitchCmd", m.pitchCmd},
                 {"heading", m.plan.heading},
                 {"launchAngle", m.plan.launchAngle},
                 {"launchSpeed", m.plan.launchSpeed}};
  for (const auto& s : scalars) {
    if (!std::isfinite(s.value)) return s.name;
  }
  if (!finite(m.search.reqVel)) return "reqVel";
  if (!finite(m.prevRelVel)) return "prevRelVel";
  if (!finite(m.relPos)) return "relPos";
  if (!finite(m.plan.launchVelocity)) return "launchVelocity";
  return "";
}

bool showsNanOrInf(const sim::Surface& surface) {
  for (const sim::DrawnText& t : surface.texts()) {
    std::string lower;
    for (char c : t.bytes) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos) {
      return true;
    }
  }
  return false;
}

class Soak : public ::testing::Test {
 protected:
  Soak() { hop.host.attachModule(lobarc::linkedModuleEntries(true), "ArvexMFD (linked)"); }
  ArvexMFD& mfd(int displayId) { return *static_cast<ArvexMFD*>(hop.host.display(displayId)); }

  // Steps the host `steps` times; every step the instance's numbers stay
  // finite, every kRedrawEvery steps the page shows no NaN or infinity, and
  // the heap after the warm-up is the heap at the end.
  void Run(int display, double dt, long steps) {
    std::size_t heapAfterWarmUp = 0, residentAfterWarmUp = 0;
    const int pens = sim::livePenCount();
    for (long i = 0; i < steps; ++i) {
      if (i == kWarmUpSteps) {
        heapAfterWarmUp = heapInUse();
        residentAfterWarmUp = residentBytes();
      }
      hop.host.step(dt);
      const std::string bad = firstNonFinite(mfd(display));
      ASSERT_EQ(bad, "") << "after step " << i;
      if (i % kRedrawEvery == 0) {
        ASSERT_FALSE(showsNanOrInf(hop.host.redraw(display))) << "after step " << i;
      }
    }
    std::printf("  %ld steps of %g s: heap %zu -> %zu bytes, resident %zu -> %zu kB\n", steps, dt,
                heapAfterWarmUp, heapInUse(), residentAfterWarmUp / 1024, residentBytes() / 1024);
    EXPECT_EQ(sim::livePenCount(), pens);
    if (kSanitizerHeap) return;  // not the program's heap: see the top of the file
    // A leak of one small block per step would be 16 MB here; the allowance
    // covers the allocator's own bookkeeping.
    EXPECT_LE(heapInUse(), heapAfterWarmUp + 64 * 1024);
    EXPECT_LE(residentBytes(), residentAfterWarmUp + 8 * 1024 * 1024);
  }

  testsupport::MoonHop hop;
};

TEST_F(Soak, MillionStepsInFlight) {
  // A circular orbit 100 km up over the lander's base, eastward.
  const double r = hop.host.world().body(hop.body).radius() + 100000;    // [m]
  const double v = std::sqrt(hop.host.world().body(hop.body).mu() / r);  // [m/s]
  hop.lander().placeInFlight(hop.base->lat_rad, hop.base->lng_rad, 100000, v, 0, 0);
  const int d = hop.openLaunchDisplay(290, 290);
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo17"));
  ASSERT_EQ(mfd(d).inputs.flightMode, 1);
  ASSERT_TRUE(mfd(d).flightSolValid);
  hop.host.pressKey(d, kKeyP);  // page 2/2: the indicator is drawn too
  ASSERT_EQ(mfd(d).inputs.flightPage, 1);

  Run(d, 0.1, kSteps);  // 1e5 s: some fourteen orbits

  EXPECT_FALSE(hop.lander().groundContact());
  EXPECT_GT(mfd(d).dvToGo, 0);
}

TEST_F(Soak, MillionStepsOnTheGround) {
  const int d = hop.openLaunchDisplay(290, 290);
  ASSERT_TRUE(hop.typeInto(d, kKeyT, "Apollo17"));
  ASSERT_TRUE(mfd(d).plan.groundSolValid);
  // Idle for the first half, then the main engine at a third of its thrust,
  // pushing along the horizon: the burn is counted but never lifts off.
  for (int half = 0; half < 2; ++half) {
    if (half == 1) hop.lander().setLevel(THGROUP_MAIN, 0.3);
    Run(d, 0.02, kSteps / 2);
  }
  EXPECT_TRUE(hop.lander().groundContact());
  EXPECT_EQ(mfd(d).inputs.flightMode, 0);
}

}  // namespace
