// Scenario files: the built-ins load, and every wrong scenario is refused
// with a message that names the key at fault.
#include "app/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using lobarc::parseScenario;
using lobarc::ScenarioError;

const char* kGood = R"(body = "Moon"
[vessel]
base = "Apollo11"
mass_kg = 15000
main_thrust_n = 60000
hover_thrust_n = 0
[target]
lat_deg = -8.97
lng_deg = 15.5
security_alt_km = 30
alt_above_target_km = 2
)";

TEST(Scenario, EveryBuiltinLoads) {
  for (auto& b : lobarc::builtinScenarios()) {
    SCOPED_TRACE(b.name);
    lobarc::Scenario sc = lobarc::loadScenario(b.name);
    EXPECT_EQ(sc.name, b.name);
    EXPECT_GT(sc.body.radius_m, 0);
    EXPECT_GT(sc.vessel.mass_kg, 0);
  }
}

TEST(Scenario, GoodFileGivesItsValues) {
  lobarc::Scenario sc = parseScenario(kGood, "good.toml", "good");
  EXPECT_EQ(sc.body.name, "Moon");
  EXPECT_FALSE(sc.vessel.in_flight);
  EXPECT_NEAR(sc.vessel.lat_deg, 0.674, 0.01);  // the Apollo 11 site
  EXPECT_FALSE(sc.target.base.has_value());
  EXPECT_DOUBLE_EQ(sc.target.lat_deg, -8.97);
  EXPECT_DOUBLE_EQ(sc.target.security_alt_km, 30);
  EXPECT_DOUBLE_EQ(sc.target.alt_above_target_km, 2);
  EXPECT_EQ(sc.display.language, "en");
  EXPECT_DOUBLE_EQ(sc.display.refresh_s, 1.0);
  EXPECT_FALSE(sc.goal_max_corrections || sc.goal_max_dv_ratio);
}

TEST(Scenario, CustomBodyAndExtraBase) {
  lobarc::Scenario sc = parseScenario(R"(
[body]
name = "Rock"
radius_m = 500000
mass_kg = 1e21
rotation_period_s = 36000
[[base]]
name = "Home"
lat_deg = 10
lng_deg = 20
[vessel]
base = "Home"
mass_kg = 1000
main_thrust_n = 5000
hover_thrust_n = 0
[target]
lat_deg = 12
lng_deg = 25
)",
                                      "rock.toml", "rock");
  EXPECT_EQ(sc.body.name, "Rock");
  EXPECT_DOUBLE_EQ(sc.body.radius_m, 500000);
  ASSERT_EQ(sc.body.bases.size(), 1u);
  EXPECT_DOUBLE_EQ(sc.vessel.lat_deg, 10);
}

struct BadCase {
  const char* what;
  std::string from, to;  // replace the first `from` in kGood by `to`
  const char* key;       // the key the message must name
};

// The case as its test is named.
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.what; }

class BadScenario : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadScenario, IsRefusedNamingTheKeyAndFile) {
  const BadCase& c = GetParam();
  std::string text = kGood;
  auto at = text.find(c.from);
  ASSERT_NE(at, std::string::npos) << c.from;
  text.replace(at, c.from.size(), c.to);
  try {
    parseScenario(text, "bad.toml", "bad");
    FAIL() << "accepted: " << c.what;
  } catch (const ScenarioError& e) {
    std::string msg = e.what();
    EXPECT_NE(msg.find("bad.toml"), std::string::npos) << msg;
    EXPECT_NE(msg.find(std::string("'") + c.key + "'"), std::string::npos) << msg;
    EXPECT_NE(msg.find(';'), std::string::npos) << "no fix given: " << msg;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, BadScenario,
    ::testing::Values(
        BadCase{"unknown body", "body = \"Moon\"", "body = \"Pluto\"", "body"},
        BadCase{"no body", "body = \"Moon\"", "", "body"},
        BadCase{"unknown vessel base", "base = \"Apollo11\"", "base = \"Apollo99\"", "vessel.base"},
        BadCase{"mass missing", "mass_kg = 15000\n", "", "vessel.mass_kg"},
        BadCase{"mass not a number", "mass_kg = 15000", "mass_kg = \"heavy\"", "vessel.mass_kg"},
        BadCase{"negative thrust", "main_thrust_n = 60000", "main_thrust_n = -1",
                "vessel.main_thrust_n"},
        BadCase{"no engines", "main_thrust_n = 60000", "main_thrust_n = 0", "vessel.main_thrust_n"},
        BadCase{"latitude out of range", "lat_deg = -8.97", "lat_deg = -91", "target.lat_deg"},
        BadCase{"longitude missing", "lng_deg = 15.5\n", "", "target.lng_deg"},
        BadCase{"security altitude zero", "security_alt_km = 30", "security_alt_km = 0",
                "target.security_alt_km"},
        BadCase{"security altitude not whole", "security_alt_km = 30", "security_alt_km = 2.5",
                "target.security_alt_km"},
        BadCase{"typo in a key", "alt_above_target_km", "alt_above_target",
                "target.alt_above_target"},
        BadCase{"unknown language", "[target]", "[display]\nlanguage = \"de\"\n[target]",
                "display.language"},
        BadCase{"velocity on the ground", "mass_kg = 15000", "mass_kg = 15000\nvel_up_mps = 3",
                "vessel.vel_up_mps"},
        BadCase{"no target", "[target]", "[targets]", "targets"},
        BadCase{"constant and dry mass both", "mass_kg = 15000",
                "mass_kg = 15000\ndry_mass_kg = 7000\npropellant_kg = 8000", "vessel.mass_kg"},
        BadCase{"propellant without a dry mass", "mass_kg = 15000",
                "mass_kg = 15000\npropellant_kg = 8000", "vessel.propellant_kg"},
        BadCase{"engine without exhaust velocity", "mass_kg = 15000",
                "dry_mass_kg = 7000\npropellant_kg = 8000", "vessel.isp_main_mps"},
        BadCase{"display never redrawn", "[target]", "[display]\nrefresh_s = 0\n[target]",
                "display.refresh_s"},
        BadCase{"negative correction budget", "[target]", "[goal]\nmax_corrections = -1\n[target]",
                "goal.max_corrections"},
        BadCase{"touchdown goal of no speed", "[target]", "[goal]\ntouchdown_mps = 0\n[target]",
                "goal.touchdown_mps"}));

TEST(Scenario, MalformedTomlNamesFileAndLine) {
  try {
    parseScenario("body = \"Moon\"\n[vessel\nmass_kg = 1\n", "broken.toml", "broken");
    FAIL() << "accepted a malformed file";
  } catch (const ScenarioError& e) {
    std::string msg = e.what();
    EXPECT_NE(msg.find("broken.toml"), std::string::npos) << msg;
    EXPECT_NE(msg.find("line 2"), std::string::npos) << msg;
  }
}

TEST(Scenario, MissingFileIsRefused) {
  EXPECT_THROW(lobarc::loadScenario("/nonexistent/hop.toml"), ScenarioError);
}

}  // namespace

// The vessel stands where the scenario puts it, or flies there at its
// altitude, carrying the scenario's tank.
TEST(Scenario, VesselIsPlacedAsWritten) {
  constexpr double kDeg = 3.14159265358979323846 / 180;
  for (const char* name : {"moon-hop", "moon-in-flight"}) {
    SCOPED_TRACE(name);
    const lobarc::Scenario sc = lobarc::loadScenario(name);
    sim::World world;
    const int body = world.addBody(sc.body);
    const sim::Vessel& v = world.vessel(lobarc::addScenarioVessel(world, body, sc));
    double lng = 0, lat = 0, radius = 0;
    v.equPos(lng, lat, radius);
    EXPECT_NEAR(lat / kDeg, sc.vessel.lat_deg, 1e-9);
    EXPECT_NEAR(lng / kDeg, sc.vessel.lng_deg, 1e-9);
    EXPECT_NEAR(v.altitude(), sc.vessel.in_flight ? sc.vessel.altitude_m : 0, 1e-3);
    EXPECT_EQ(v.groundContact(), !sc.vessel.in_flight);
    EXPECT_DOUBLE_EQ(v.propellant(), sc.vessel.propellant_kg);
  }
}
