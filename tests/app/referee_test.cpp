// The referee's judgement figures: the minimum-energy launch speed that no
// ballistic hop beats, and the outcome of a flight.
#include "app/referee.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

lobarc::Scenario Hop(double fromLat, double fromLng, double toLat, double toLng) {
  lobarc::Scenario sc;
  sc.vessel.lat_deg = fromLat;
  sc.vessel.lng_deg = fromLng;
  sc.target.lat_deg = toLat;
  sc.target.lng_deg = toLng;
  return sc;
}

// A hop to the antipode is half an orbit skimming the surface: the circular
// speed sqrt(mu / R). No distance needs no speed, and the speed grows with
// the distance in between.
TEST(Referee, MinimumEnergySpeedRunsFromRestToCircularSpeed) {
  const double mu = 4.9048695e12, radius = 1737400;  // the Moon [m^3/s^2], [m]
  using lobarc::Referee;
  EXPECT_NEAR(Referee::minimumEnergySpeed(Hop(0, 0, 0, 180), mu, radius), std::sqrt(mu / radius),
              1e-6);
  EXPECT_EQ(Referee::minimumEnergySpeed(Hop(10, 20, 10, 20), mu, radius), 0);
  EXPECT_LT(Referee::minimumEnergySpeed(Hop(0, 0, 0, 10), mu, radius),
            Referee::minimumEnergySpeed(Hop(0, 0, 30, 0), mu, radius));
}

TEST(Referee, OutcomeIsTimeoutFirstThenArrivedOrMissed) {
  EXPECT_EQ(lobarc::Referee::outcome(true, 7200, 7200), "timeout");
  EXPECT_EQ(lobarc::Referee::outcome(true, 700, 7200), "arrived");
  EXPECT_EQ(lobarc::Referee::outcome(false, 700, 7200), "missed");
}

}  // namespace
