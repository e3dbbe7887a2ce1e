// The pilot's limits as the vessel and the display impose them: the display
// is seen only as it is redrawn, and the attitude thrusters turn the vessel
// no faster than their stated rate and acceleration.
#include "app/pilot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/cockpit.h"
#include "app/scenario.h"
#include "app/session.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

struct Scene {
  lobarc::Scenario sc = lobarc::loadScenario("moon-hop");
  lobarc::Session session{sc, "en", LOBARC_MODULE_PATH};
  lobarc::Cockpit cockpit{session.host(), session.vessel(), session.display(), 0.5};
  // One frame of the simulation as the flight runs it [s].
  void frame(double dt = 0.1) {
    cockpit.control(dt);
    session.host().step(dt);
    cockpit.afterStep();
  }
};

TEST(Cockpit, DisplaySeenOnlyAtItsRefreshInterval) {
  Scene s;
  s.cockpit.look();
  const int first = s.cockpit.redraws();
  for (int i = 0; i < 100; ++i) s.frame();  // 10 s
  // Never more often than the interval; a redraw may fall a frame late.
  const auto n = s.cockpit.redraws() - first;
  EXPECT_LE(n, 20u);
  EXPECT_GE(n, 16u);
}

TEST(Cockpit, TurnsWithinTheAttitudeThrustersLimits) {
  Scene s;
  s.cockpit.look();
  // From level, nose north, to the nose straight up: a quarter turn.
  s.cockpit.holdAttitude(0, 90 * kDeg, 0);
  const double rate = 10 * kDeg, accel = 3 * kDeg;         // the stated limits
  const double fastest = 90 * kDeg / rate + rate / accel;  // [s] speed up, cruise, stop
  double t = 0;
  while (s.cockpit.attitudeError() > 1e-6 && t < 60) {
    s.frame();
    t += 0.1;
  }
  EXPECT_GE(t, fastest - 0.1);
  EXPECT_LT(t, fastest + 1.0);
  EXPECT_NEAR(s.cockpit.pitch(), 90 * kDeg, 1e-6);
}

// When the pilot starts a correction: the first soon after cut-off; later
// ones only past a threshold that shrinks as arrival nears, a large one
// while climbing, none in the last seconds nor right after a burn.
TEST(Pilot, StartsACorrectionOnlyWhenItIsWorthIt) {
  struct Case {
    lobarc::CorrectionCue cue;
    bool start;
  };
  const Case cases[] = {
      {{1.0, 300, 1e9, true, true}, true},     // first, even while climbing
      {{0.3, 300, 1e9, true, false}, false},   // first, but too small to bother
      {{1.0, 10, 1e9, true, false}, false},    // too late for any burn
      {{3.0, 300, 1e9, false, false}, false},  // far out the threshold is 5 m/s
      {{6.0, 300, 1e9, false, false}, true},
      {{1.0, 40, 1e9, false, false}, true},    // near arrival the threshold shrinks
      {{10.0, 300, 1e9, false, true}, false},  // a rise the climb itself explains
      {{25.0, 300, 1e9, false, true}, true},
      {{6.0, 300, 5, false, false}, false},  // right after the last burn
  };
  for (const Case& c : cases)
    EXPECT_EQ(lobarc::shouldCorrect(c.cue), c.start)
        << c.cue.dv_mps << " m/s, " << c.cue.timeToArrival_s << " s out";
}

// When a correction burn ends, over a sequence of readings: the answer flown
// down; burning that stops bringing it down; a turn with the engine off,
// which is not counted against the burn; an answer that runs away; one that
// creeps down again after having been lower.
TEST(Pilot, EndsACorrectionBurnWhenItNoLongerPays) {
  struct Case {
    const char* what;
    std::vector<double> shown;  // [m/s] one answer per reading, engine on
    bool engineOn;
    int overAt;  // index of the reading that ends the burn, -1: none
  };
  const lobarc::BurnDownRule rule{0.2, 2, 1.0};
  const Case cases[] = {
      {"flown down", {5.0, 3.0, 1.0, 0.1}, true, 3},
      {"stuck", {5.0, 4.99, 4.98, 4.97, 4.96}, true, 4},
      {"turning, engine off", {5.0, 5.0, 5.0, 5.0, 5.0}, false, -1},
      {"running away", {5.0, 4.0, 5.5}, true, 2},
      // Creeping down from above its best: measured against the best, not
      // the last reading, it makes no progress.
      {"creeping down again", {5.0, 4.0, 4.8, 4.7, 4.6, 4.5}, true, 5},
  };
  for (const Case& c : cases) {
    lobarc::BurnDown watch(rule);
    int overAt = -1;
    for (std::size_t i = 0; i < c.shown.size() && overAt < 0; ++i)
      if (watch.over(c.shown[i], c.engineOn)) overAt = static_cast<int>(i);
    EXPECT_EQ(overAt, c.overAt) << c.what;
  }
}

}  // namespace
