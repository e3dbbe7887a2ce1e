// The flight's report: the landing and its phases appear only for a flight
// that went on to land, and the whole hop's delta-v is the sum of them.
#include "app/report.h"

#include <gtest/gtest.h>

namespace {

TEST(Report, LandingPhasesOnlyWithALanding) {
  lobarc::FlightResult r;
  r.propellant_counted = true;
  r.dv_launch_mps = 800;
  r.dv_correction_mps = 100;
  r.dv_total_mps = 900;
  r.dv_min_energy_mps = 700;
  for (const bool land : {false, true}) {
    r.land = land;
    r.dv_braking_mps = land ? 950 : 0;
    r.dv_landing_mps = land ? 60 : 0;
    const nlohmann::json j = lobarc::flightReport(r);
    EXPECT_EQ(j["landing"].is_null(), !land);
    EXPECT_TRUE(j["propellant"].contains("braking_kg"));
    EXPECT_EQ(lobarc::summary(r).find("braking") != std::string::npos, land);
    if (land) {
      EXPECT_DOUBLE_EQ(j["landing"]["dv_total_mps"].get<double>(), 1910);
      EXPECT_DOUBLE_EQ(j["landing"]["dv_min_energy_mps"].get<double>(), 1400);
    }
  }
}

}  // namespace
