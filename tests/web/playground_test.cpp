// The playground's autopilot is the program's pilot: a hop flown by both, at
// the scenario's refresh and in the pilot's own steps, makes the same
// corrections and passes the aim point as close, from the pad on either
// engine and from a start in flight.
#include "web/playground.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/flight.h"
#include "app/linked_module.h"
#include "app/scenario.h"

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

// The playground tells the two altitude dialogs apart by the prompts the
// display shows, in either language: the security altitude takes whole
// kilometres from 1, the altitude above the target (asked in flight) from 0.
TEST(Playground, GuardsEachAltitudeDialogByItsPrompt) {
  constexpr int kKeyZ = 44, kKeyB = 48;  // the display's two altitude keys
  for (const char* language : {"en", "fr"}) {
    web::Playground playground("moon-in-flight", language);
    ASSERT_TRUE(playground.pressKey(kKeyZ)) << language;
    EXPECT_EQ(playground.entryProblem("0"), R"({"highest":10000.0,"lowest":1.0})") << language;
    EXPECT_EQ(playground.entryProblem("3"), "") << language;
    playground.cancelInput();
    ASSERT_TRUE(playground.pressKey(kKeyB)) << language;
    EXPECT_EQ(playground.entryProblem("0"), "") << language;
    EXPECT_EQ(playground.entryProblem("0.5"), R"({"highest":10000.0,"lowest":0.0})") << language;
  }
}

}  // namespace
