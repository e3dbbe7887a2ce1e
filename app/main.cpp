// lobarc: flies, plans and draws hops with the Lobarc Launch display in the
// simulated host.
//
// Exit codes: 0 success, 1 the flight failed its goal, 2 bad input.
#include <CLI/CLI.hpp>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

#include "flight.h"
#include "planner.h"
#include "report.h"
#include "scenario.h"
#include "serve.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitBadInput = 2;

// "LAT,LNG" in degrees.
std::pair<double, double> parseLatLng(const std::string& text, const std::string& option) {
  std::istringstream s(text);
  double lat = 0, lng = 0;
  char comma = 0;
  if (!(s >> lat >> comma >> lng) || comma != ',' || !s.eof() || !std::isfinite(lat) ||
      !std::isfinite(lng) || lat < -90 || lat > 90 || lng < -180 || lng > 180)
    throw lobarc::ScenarioError(option + " '" + text +
                                "': give LAT,LNG in degrees, latitude -90..90 and longitude "
                                "-180..180, e.g. " +
                                option + " 8.97,15.5");
  return {lat, lng};
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "lobarc: flies ballistic hops with the Lobarc Launch display in a simulated Orbiter host.\n"
      "SCENARIO is a TOML file or a built-in name (see 'lobarc scenarios'); without one the "
      "default hop on the Moon is used."};
  app.require_subcommand(1);
  std::optional<std::string> modulePath;
  app.add_option("--module", modulePath, "path of the module library ArvexMFD.so");

  // fly
  auto* fly = app.add_subcommand("fly", "fly a whole hop with a pilot who uses only the display");
  std::string flyScenario;
  std::optional<std::string> flyOut;
  bool flyJson = false;
  std::string flyLang;
  fly->add_option("SCENARIO", flyScenario, "TOML file or built-in scenario name");
  fly->add_option("--out", flyOut, "folder for display pictures, trajectory plots and telemetry");
  fly->add_flag("--json", flyJson, "print one JSON report on standard output");
  fly->add_option("--lang", flyLang, "display language")->check(CLI::IsMember({"en", "fr"}));

  // plan
  auto* plan = app.add_subcommand("plan", "the module's plan for a scenario, without flying");
  std::string planScenario;
  bool planJson = false;
  std::optional<std::string> body, from, to, target;
  std::optional<double> securityAlt, altAbove;
  plan->add_option("SCENARIO", planScenario, "TOML file or built-in scenario name");
  plan->add_option("--body", body, "built-in body: Moon, Earth or Mars");
  plan->add_option("--from", from, "vessel position LAT,LNG [deg] (on the ground)");
  auto* toOpt = plan->add_option("--to", to, "target position LAT,LNG [deg]");
  plan->add_option("--target", target, "target base by name")->excludes(toOpt);
  plan->add_option("--security-alt", securityAlt, "security altitude [km, whole]");
  plan->add_option("--alt-above", altAbove, "altitude above the target [km, whole]");
  plan->add_flag("--json", planJson, "print the plan as JSON");

  // render
  auto* render = app.add_subcommand("render", "draw the three display pages as pictures");
  std::string renderScenario, renderOut = "lobarc-pages", renderFormat = "png", renderLang;
  render->add_option("SCENARIO", renderScenario, "TOML file or built-in scenario name");
  render->add_option("--out", renderOut, "folder for the pictures")->capture_default_str();
  render->add_option("--format", renderFormat, "picture format")
      ->check(CLI::IsMember({"png", "svg"}));
  render->add_option("--lang", renderLang, "display language")->check(CLI::IsMember({"en", "fr"}));

  auto* scenarios = app.add_subcommand("scenarios", "list the built-in scenarios");

  // serve
  auto* serve = app.add_subcommand("serve", "serve the browser playground on 127.0.0.1 only");
  int servePort = 8080;
  std::optional<std::string> serveDir;
  serve->add_option("--port", servePort, "TCP port, 0 for any free one")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();
  serve->add_option("--dir", serveDir, "folder of the built page (default: build-web/site)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitBadInput;
  }

  try {
    auto scenarioOf = [](const std::string& s) {
      return lobarc::loadScenario(s.empty() ? lobarc::defaultScenarioName() : s);
    };
    std::optional<std::filesystem::path> explicitModule;
    if (modulePath) explicitModule = *modulePath;

    if (*scenarios) {
      for (auto& b : lobarc::builtinScenarios())
        std::cout << (b.name == lobarc::defaultScenarioName() ? "* " : "  ") << b.name << "  "
                  << b.description << "\n";
      std::cout << "(* the default)\n";
      return kExitOk;
    }

    if (*serve) {
      try {
        std::optional<std::filesystem::path> dir;
        if (serveDir) dir = *serveDir;
        lobarc::serveFolder(lobarc::findWebFolder(dir), servePort, std::cout);
      } catch (const std::runtime_error& e) {
        std::cerr << "lobarc serve: " << e.what() << "\n";
        return kExitBadInput;
      }
      return kExitOk;
    }

    if (*fly) {
      lobarc::Scenario sc = scenarioOf(flyScenario);
      lobarc::FlightOptions opt;
      opt.module = lobarc::findModuleLibrary(explicitModule);
      opt.language = flyLang;
      if (flyOut) opt.outDir = *flyOut;
      opt.progress = flyJson ? &std::cerr : &std::cout;
      if (!flyJson) std::cout << "Flying " << sc.name << " (" << sc.description << ")\n";
      lobarc::FlightResult r = lobarc::fly(sc, opt);
      if (flyOut) {
        lobarc::writeTelemetryCsv(r, std::filesystem::path(*flyOut) / "telemetry.csv");
        for (auto& p : lobarc::plotTrajectory(r, sc, *flyOut)) r.pictures.push_back(p);
      }
      if (flyJson)
        std::cout << lobarc::flightReport(r).dump(2) << std::endl;
      else
        std::cout << lobarc::summary(r);
      return r.success ? kExitOk : kExitFailed;
    }

    if (*plan) {
      lobarc::Scenario sc = scenarioOf(planScenario);
      lobarc::PlanOverrides ov;
      ov.body = body;
      if (from) ov.from = parseLatLng(*from, "--from");
      if (to) ov.to = parseLatLng(*to, "--to");
      ov.target = target;
      ov.securityAlt_km = securityAlt;
      ov.altAbove_km = altAbove;
      lobarc::applyOverrides(sc, ov);
      auto p = lobarc::planScenario(sc, lobarc::findModuleLibrary(explicitModule));
      if (planJson)
        std::cout << p.dump(2) << std::endl;
      else
        std::cout << lobarc::planText(p);
      return kExitOk;
    }

    if (*render) {
      lobarc::Scenario sc = scenarioOf(renderScenario);
      lobarc::FlightOptions opt;
      opt.module = lobarc::findModuleLibrary(explicitModule);
      opt.language = renderLang;
      opt.outDir = renderOut;
      opt.pictureFormat = renderFormat;
      opt.stopAfterPictures = true;
      lobarc::FlightResult r = lobarc::fly(sc, opt);
      // Keep the three pages under their own names; drop the other phases.
      const std::pair<const char*, const char*> pages[] = {
          {"display-pad", "page-grounded"},
          {"display-page1", "page-flight-1"},
          {"display-page2-before", "page-flight-2"}};
      int written = 0;
      for (auto& p : r.pictures) {
        std::string stem = p.stem().string();
        bool kept = false;
        for (auto& [from, to] : pages) {
          if (stem == from) {
            auto dest = p.parent_path() / (std::string(to) + p.extension().string());
            std::filesystem::rename(p, dest);
            std::cout << dest.string() << "\n";
            ++written;
            kept = true;
          }
        }
        if (!kept) std::filesystem::remove(p);
      }
      return written == 3 ? kExitOk : kExitFailed;
    }
  } catch (const lobarc::ScenarioError& e) {
    std::cerr << "lobarc: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const sim::HostError& e) {
    std::cerr << "lobarc: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const std::exception& e) {
    std::cerr << "lobarc: " << e.what() << "\n";
    return kExitFailed;
  }
  return kExitOk;
}
