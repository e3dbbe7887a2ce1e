// The flight recorder keeps one row a second while the vessel coasts or
// stands, and every step while an engine burns; its range is measured over
// the turning surface from where the vessel started.
#include "app/telemetry.h"

#include <gtest/gtest.h>

namespace {

TEST(Telemetry, OneRowASecondUnlessAnEngineBurns) {
  const lobarc::Scenario sc = lobarc::loadScenario("moon-hop");
  lobarc::Session session{sc, "en", LOBARC_MODULE_PATH};
  lobarc::Telemetry telemetry{session};
  sim::Vessel& v = session.host().world().vessel(session.vessel());
  v.setHorizonAttitude(0, 3.14159265358979323846 / 2, 0);  // nose up: the burn climbs
  const double dt = 0.1;                                   // [s] a frame
  struct Case {
    double throttle;     // main engine level, 0..1
    std::size_t frames;  // sampled once each
    std::size_t rows;    // rows they leave
  };
  for (const Case c : {Case{0, 50, 5}, Case{1, 20, 20}}) {
    v.setLevel(THGROUP_MAIN, c.throttle);
    const std::size_t before = telemetry.rows().size();
    for (std::size_t i = 0; i < c.frames; ++i) {
      session.host().step(dt);
      telemetry.sample(0, 0, c.throttle > 0 ? "burn" : "pad");
    }
    EXPECT_EQ(telemetry.rows().size() - before, c.rows) << "throttle " << c.throttle;
  }
  // Standing on the pad, and climbing straight up from it, the vessel goes
  // nowhere over the ground, however far the body turns it meanwhile.
  EXPECT_NEAR(telemetry.rows().at(4).range_m, 0, 1e-6);
  EXPECT_GT(telemetry.rows().back().alt_m, 1);
  EXPECT_LT(telemetry.rows().back().range_m, 0.01);
}

}  // namespace
