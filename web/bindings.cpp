// The playground's JavaScript face. Every call returns plain values or JSON
// text; a C++ exception never crosses into the page: it comes back as an
// {"error": ...} text instead.
#include <emscripten/bind.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "web/playground.h"

namespace {

std::unique_ptr<web::Playground> playground;

std::string errorText(const std::exception& e) {
  return nlohmann::json{{"error", e.what()}}.dump(-1, ' ', false,
                                                  nlohmann::json::error_handler_t::replace);
}

// Builds the session of a built-in scenario; "" on success, else the reason.
std::string load(const std::string& scenario, const std::string& language) {
  try {
    playground.reset();  // one host and one module at a time
    playground = std::make_unique<web::Playground>(scenario, language);
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

// Runs a call on the loaded playground; errors become {"error": ...}.
template <class F>
std::string guarded(F f) {
  if (!playground) return R"({"error":"no scenario is loaded"})";
  try {
    return f(*playground);
  } catch (const std::exception& e) {
    return errorText(e);
  }
}

template <class R, class F>
R guardedValue(R fallback, F f) {
  if (!playground) return fallback;
  try {
    return f(*playground);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

EMSCRIPTEN_BINDINGS(lobarc_playground) {
  using web::Playground;
  emscripten::function("scenarios", &web::scenarioList);
  emscripten::function("load", &load);
  emscripten::function(
      "displayList", +[] { return guarded([](Playground& p) { return p.displayList(); }); });
  emscripten::function(
      "buttonLabels", +[] { return guarded([](Playground& p) { return p.buttonLabels(); }); });
  emscripten::function(
      "dialog", +[] { return guarded([](Playground& p) { return p.dialog(); }); });
  emscripten::function(
      "instruments", +[] { return guarded([](Playground& p) { return p.instruments(); }); });
  emscripten::function(
      "status", +[] { return guarded([](Playground& p) { return p.status(); }); });
  emscripten::function(
      "track", +[] { return guarded([](Playground& p) { return p.track(); }); });
  emscripten::function(
      "pressButton",
      +[](int b) { return guardedValue(false, [b](Playground& p) { return p.pressButton(b); }); });
  emscripten::function(
      "pressKey",
      +[](int k) { return guardedValue(false, [k](Playground& p) { return p.pressKey(k); }); });
  emscripten::function(
      "typeInput", +[](std::string text) {
        return guardedValue(false, [&text](Playground& p) { return p.typeInput(text); });
      });
  emscripten::function(
      "cancelInput", +[] {
        guardedValue(0, [](Playground& p) {
          p.cancelInput();
          return 0;
        });
      });
  emscripten::function(
      "setAttitude", +[](double heading, double pitch) {
        guardedValue(0, [=](Playground& p) {
          p.setAttitude(heading, pitch);
          return 0;
        });
      });
  emscripten::function(
      "setThrottle", +[](std::string group, double level) {
        guardedValue(0, [&](Playground& p) {
          p.setThrottle(group, level);
          return 0;
        });
      });
  emscripten::function(
      "setAutopilot", +[](bool on) {
        guardedValue(0, [on](Playground& p) {
          p.setAutopilot(on);
          return 0;
        });
      });
  emscripten::function(
      "entryProblem", +[](std::string text) {
        return guardedValue(std::string(), [&text](Playground& p) { return p.entryProblem(text); });
      });
  emscripten::function(
      "setRates", +[](double pitch, double yaw, double roll) {
        guardedValue(0, [=](Playground& p) {
          p.setRates(pitch, yaw, roll);
          return 0;
        });
      });
  emscripten::function(
      "holdTowardMarker", +[](bool on) {
        guardedValue(0, [on](Playground& p) {
          p.holdTowardMarker(on);
          return 0;
        });
      });
  emscripten::function(
      "advance", +[](double simSeconds, double wallBudgetMs) {
        return guardedValue(0.0,
                            [=](Playground& p) { return p.advance(simSeconds, wallBudgetMs); });
      });
}
