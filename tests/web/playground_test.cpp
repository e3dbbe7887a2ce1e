// The playground's autopilot is the program's pilot: a hop flown by both, at
// the scenario's refresh and in the pilot's own steps, makes the same
// corrections and passes the aim point as close, from the pad on either
// engine and from a start in flight.
#include "playground.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/linked_module.h"
#include "flight.h"
#include "scenario.h"

namespace {

nlohmann::json flyInPlayground(const std::string& scenario, const std::string& language) {
  web::Playground playground(scenario, language);
  playground.setAutopilot(true);
  nlohmann::json status = nlohmann::json::parse(playground.status());
  // Pages ask for a simulated while at a time; the hops last a few thousand s.
  for (int frame = 0; frame < 2000 && !status["done"].get<bool>(); ++frame) {
    playground.advance(10.0, 1e9);
    status = nlohmann::json::parse(playground.status());
    if (!status["note"].get<std::string>().empty()) break;
  }
  return status;
}

TEST(Playground, FliesTheHopAsTheProgramsPilotDoes) {
  for (const char* name : {"moon-hop", "moon-hover", "moon-in-flight"}) {
    const lobarc::Scenario sc = lobarc::loadScenario(name);
    lobarc::FlightOptions options;
    options.module = lobarc::linkedModule();
    const lobarc::FlightResult cli = lobarc::fly(sc, options);
    ASSERT_TRUE(cli.success) << name << ": " << cli.outcome;

    const nlohmann::json web = flyInPlayground(name, sc.display.language);
    EXPECT_EQ(web["note"], "") << name;
    EXPECT_TRUE(web["done"].get<bool>()) << name;
    EXPECT_EQ(web["corrections"].get<int>(), cli.corrections) << name;
    EXPECT_DOUBLE_EQ(web["closest_m"].get<double>(), cli.miss_m) << name;
    EXPECT_DOUBLE_EQ(web["closest_t_s"].get<double>(), cli.time_s) << name;
  }
}

}  // namespace
