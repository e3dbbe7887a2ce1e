// What a flight counts: the delta-v of each phase is the one the rocket
// equation gives for the propellant that phase burnt, and the propellant
// burnt and left adds up to what the tank held.
#include "app/flight.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Flight, EachPhaseDeltaVFollowsTheRocketEquation) {
  for (const char* name : {"moon-hop", "moon-hover"}) {
    const lobarc::Scenario sc = lobarc::loadScenario(name);
    lobarc::FlightOptions opt;
    opt.module = LOBARC_MODULE_PATH;
    opt.land = true;
    const lobarc::FlightResult r = lobarc::fly(sc, opt);
    ASSERT_EQ(r.outcome, "landed") << name;
    const double ve = 3050;  // [m/s] every engine of the built-in landers
    struct Phase {
      double dv, burnt;
      bool oneEngine;  // braking and landing may burn both engines at once
    };
    const Phase phases[] = {{r.dv_launch_mps, r.propellant_launch_kg, true},
                            {r.dv_correction_mps, r.propellant_correction_kg, true},
                            {r.dv_braking_mps, r.propellant_braking_kg, false},
                            {r.dv_landing_mps, r.propellant_landing_kg, false}};
    double mass = sc.vessel.mass_kg + sc.vessel.propellant_kg;  // [kg]
    for (const Phase& p : phases) {
      const double rocket = ve * std::log(mass / (mass - p.burnt));  // [m/s]
      if (p.oneEngine) {
        EXPECT_NEAR(p.dv, rocket, 1e-6 * rocket) << name;
      } else {
        // Two engines at right angles give less than the sum of their thrusts.
        EXPECT_LE(p.dv, rocket * (1 + 1e-9)) << name;
        EXPECT_GT(p.dv, 0.9 * rocket) << name;
      }
      mass -= p.burnt;
    }
    EXPECT_NEAR(mass, sc.vessel.mass_kg + r.propellant_left_kg, 1e-6) << name;
  }
}

}  // namespace
