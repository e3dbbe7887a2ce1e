// The playground's autopilot is the program's pilot: a hop flown by both, at
// the scenario's refresh and in the pilot's own steps, makes the same
// corrections and passes the aim point as close, from the pad on either
// engine, on a fast-turning body and from a start in flight, at any time
// acceleration.
#include "web/playground.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/flight.h"
#include "app/linked_module.h"
#include "app/scenario.h"

namespace {

// Flies a scenario with the autopilot switched on first, the page asking for
// frameSimSeconds at a time with its budget of 12 ms of real time per frame.
nlohmann::json flyInPlayground(const std::string& scenario, const std::string& language,
                               double frameSimSeconds) {
  web::Playground playground(scenario, language);
  playground.setAutopilot(true);
  nlohmann::json status = nlohmann::json::parse(playground.status());
  // The hops last about a thousand simulated seconds.
  const int frames = static_cast<int>(3000 / frameSimSeconds);
  for (int frame = 0; frame < frames && !status["done"].get<bool>(); ++frame) {
    playground.advance(frameSimSeconds, 12.0);
    status = nlohmann::json::parse(playground.status());
    if (!status["note"].get<std::string>().empty()) break;
  }
  return status;
}

// At each time acceleration the page offers (1x, 10x, 100x: 60 frames a
// second), and in the long frames of a slow tab, every built-in hop.
TEST(Playground, FliesTheHopAsTheProgramsPilotDoes) {
  for (const char* name :
       {"moon-hop", "moon-hover", "moon-dateline", "moon-in-flight", "mars-hop"}) {
    const lobarc::Scenario sc = lobarc::loadScenario(name);
    lobarc::FlightOptions options;
    options.module = lobarc::linkedModule();
    const lobarc::FlightResult cli = lobarc::fly(sc, options);
    ASSERT_TRUE(cli.success) << name << ": " << cli.outcome;

    for (const double frame : {1.0 / 60, 10.0 / 60, 100.0 / 60, 10.0}) {
      const nlohmann::json web = flyInPlayground(name, sc.display.language, frame);
      const std::string at = std::string(name) + ", " + std::to_string(frame) + " s a frame";
      EXPECT_EQ(web["note"], "") << at;
      EXPECT_TRUE(web["done"].get<bool>()) << at;
      EXPECT_EQ(web["corrections"].get<int>(), cli.corrections) << at;
      EXPECT_DOUBLE_EQ(web["closest_m"].get<double>(), cli.miss_m) << at;
      EXPECT_DOUBLE_EQ(web["closest_t_s"].get<double>(), cli.time_s) << at;
    }
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
