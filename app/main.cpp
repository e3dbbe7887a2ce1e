// lobarc: flies, plans and draws hops with the Lobarc Launch display in the
// simulated host.
//
// Exit codes: 0 success, 1 the flight failed its goal (or ran out of
// propellant), 2 bad input (a vessel that cannot do the hop among it), 3 an
// output folder or file that cannot be written.
#include <CLI/CLI.hpp>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/flight.h"
#include "app/planner.h"
#include "app/report.h"
#include "app/scenario.h"
#include "app/serve.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitBadInput = 2, kExitCannotWrite = 3;

// An output folder that cannot be made or written to.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes the folder and writes a file in it, before anything flies, so that a
// wrong --out is said at once and in a person's words.
void prepareOutput(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const auto probe = dir / ".lobarc-write-test";
  if (!ec) {
    std::ofstream f(probe);
    if (!f) ec = std::make_error_code(std::errc::permission_denied);
  }
  std::error_code ignored;
  std::filesystem::remove(probe, ignored);
  if (ec || !std::filesystem::is_directory(dir))
    throw OutputError("--out " + dir.string() + ": cannot write there (" +
                      (ec ? ec.message() : std::string("not a folder")) +
                      "); give a folder you can write to");
}

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

lobarc::Scenario scenarioOf(const std::string& s) {
  return lobarc::loadScenario(s.empty() ? lobarc::defaultScenarioName() : s);
}

// --- the commands: their options, then what each does ------------------------

using ModulePath = std::optional<std::filesystem::path>;  // --module, if given

struct FlyCommand {
  std::string scenario;
  std::optional<std::string> out;
  bool json = false;
  std::string lang;
  std::optional<double> refresh;  // [s]
  bool land = false;
  bool aimLead = false;
};

struct PlanCommand {
  std::string scenario;
  bool json = false;
  std::optional<std::string> body, from, to, target;
  std::optional<double> securityAlt, altAbove;  // [km]
};

struct RenderCommand {
  std::string scenario;
  std::string out = "lobarc-pages";
  std::string format = "png";
  std::string lang;
};

int runFly(const FlyCommand& c, const ModulePath& module) {
  lobarc::Scenario sc = scenarioOf(c.scenario);
  lobarc::FlightOptions opt;
  opt.module = lobarc::findModuleLibrary(module);
  opt.language = c.lang;
  opt.refresh_s = c.refresh;
  opt.land = c.land;
  opt.aim_lead = c.aimLead;
  if (c.out) {
    prepareOutput(*c.out);
    opt.pictures = lobarc::Pictures::everyMoment(*c.out, "png");
  }
  opt.progress = c.json ? &std::cerr : &std::cout;
  if (!c.json)
    std::cout << "Flying " << sc.name << (sc.description.empty() ? "" : " (" + sc.description + ")")
              << "\n";
  lobarc::FlightResult r = lobarc::fly(sc, std::move(opt));
  if (c.out) {
    lobarc::writeTelemetryCsv(r, std::filesystem::path(*c.out) / "telemetry.csv");
    for (auto& p : lobarc::plotTrajectory(r, sc, *c.out)) r.pictures.push_back(p);
  }
  if (c.json)
    std::cout << lobarc::flightReport(r).dump(2) << std::endl;
  else
    std::cout << lobarc::summary(r);
  return r.success ? kExitOk : kExitFailed;
}

int runPlan(const PlanCommand& c, const ModulePath& module) {
  lobarc::Scenario sc = scenarioOf(c.scenario);
  lobarc::PlanOverrides ov;
  ov.body = c.body;
  if (c.from) ov.from = parseLatLng(*c.from, "--from");
  if (c.to) ov.to = parseLatLng(*c.to, "--to");
  ov.target = c.target;
  ov.securityAlt_km = c.securityAlt;
  ov.altAbove_km = c.altAbove;
  lobarc::applyOverrides(sc, ov);
  auto p = lobarc::planScenario(sc, lobarc::findModuleLibrary(module));
  if (c.json)
    std::cout << p.dump(2) << std::endl;
  else
    std::cout << lobarc::planText(p);
  return kExitOk;
}

int runRender(const RenderCommand& c, const ModulePath& module) {
  lobarc::Scenario sc = scenarioOf(c.scenario);
  lobarc::FlightOptions opt;
  opt.module = lobarc::findModuleLibrary(module);
  opt.language = c.lang;
  prepareOutput(c.out);
  const auto [files, why] = lobarc::renderPages(sc, std::move(opt), c.out, c.format);
  for (auto& f : files) std::cout << f.string() << "\n";
  // A start in flight has no grounded page.
  if (sc.vessel.in_flight)
    std::cerr << "lobarc render: " << sc.name
              << " starts in flight, so there is no grounded page; drew the two in-flight pages\n";
  const std::size_t wanted = sc.vessel.in_flight ? 2 : 3;
  if (files.size() == wanted) return kExitOk;
  std::cerr << "lobarc render: drew " << files.size() << " of the " << wanted
            << " pages: the flight ended before the others could be seen (" << why << ")\n";
  return kExitFailed;
}

struct ServeCommand {
  int port = 8080;
  std::optional<std::string> dir;  // the built page, default build-web/site
};

int runServe(const ServeCommand& c) {
  try {
    std::optional<std::filesystem::path> dir;
    if (c.dir) dir = *c.dir;
    lobarc::serveFolder(lobarc::findWebFolder(dir), c.port, std::cout);
  } catch (const std::runtime_error& e) {
    std::cerr << "lobarc serve: " << e.what() << "\n";
    return kExitBadInput;
  }
  return kExitOk;
}

int runScenarios() {
  for (auto& b : lobarc::builtinScenarios())
    std::cout << (b.name == lobarc::defaultScenarioName() ? "* " : "  ") << b.name << "  "
              << b.description << "\n";
  std::cout << "(* the default)\n";
  return kExitOk;
}

CLI::App* addFly(CLI::App& app, FlyCommand& c) {
  auto* fly = app.add_subcommand("fly", "fly a whole hop with a pilot who uses only the display");
  fly->add_option("SCENARIO", c.scenario, "TOML file or built-in scenario name");
  fly->add_option("--out", c.out, "folder for display pictures, trajectory plots and telemetry");
  fly->add_flag("--json", c.json, "print one JSON report on standard output");
  fly->add_option("--lang", c.lang, "display language")->check(CLI::IsMember({"en", "fr"}));
  fly->add_option("--refresh", c.refresh, "display redraw interval in simulated seconds")
      ->check(CLI::Range(0.01, 10.0));
  fly->add_flag("--land", c.land,
                "go on to a touchdown at the target with the program's own braking-and-descent "
                "pilot (landing is not the display's job); the report gives the landing distance, "
                "the touchdown speed and what braking and landing cost");
  fly->add_flag("--aim-lead", c.aimLead,
                "the display aims where the target will be when its conic arrives, the body "
                "having turned (AIM_LEAD = 1 in ArvexMFD.cfg); by default where it is now");
  return fly;
}

CLI::App* addPlan(CLI::App& app, PlanCommand& c) {
  auto* plan = app.add_subcommand("plan", "the module's plan for a scenario, without flying");
  plan->add_option("SCENARIO", c.scenario, "TOML file or built-in scenario name");
  plan->add_option("--body", c.body, "built-in body: Moon, Earth or Mars");
  plan->add_option("--from", c.from, "vessel position LAT,LNG [deg] (on the ground)");
  auto* toOpt = plan->add_option("--to", c.to, "target position LAT,LNG [deg]");
  plan->add_option("--target", c.target, "target base by name")->excludes(toOpt);
  plan->add_option("--security-alt", c.securityAlt, "security altitude [km, whole]");
  plan->add_option("--alt-above", c.altAbove, "altitude above the target [km, whole]");
  plan->add_flag("--json", c.json, "print the plan as JSON");
  return plan;
}

CLI::App* addRender(CLI::App& app, RenderCommand& c) {
  auto* render = app.add_subcommand("render", "draw the three display pages as pictures");
  render->add_option("SCENARIO", c.scenario, "TOML file or built-in scenario name");
  render->add_option("--out", c.out, "folder for the pictures")->capture_default_str();
  render->add_option("--format", c.format, "picture format")->check(CLI::IsMember({"png", "svg"}));
  render->add_option("--lang", c.lang, "display language")->check(CLI::IsMember({"en", "fr"}));
  return render;
}

CLI::App* addServe(CLI::App& app, ServeCommand& c) {
  auto* serve = app.add_subcommand("serve", "serve the browser playground on 127.0.0.1 only");
  serve->add_option("--port", c.port, "TCP port, 0 for any free one")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();
  serve->add_option("--dir", c.dir, "folder of the built page (default: build-web/site)");
  return serve;
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
  FlyCommand flyCmd;
  PlanCommand planCmd;
  RenderCommand renderCmd;
  CLI::App* fly = addFly(app, flyCmd);
  CLI::App* plan = addPlan(app, planCmd);
  CLI::App* render = addRender(app, renderCmd);
  CLI::App* scenarios = app.add_subcommand("scenarios", "list the built-in scenarios");
  ServeCommand serveCmd;
  CLI::App* serve = addServe(app, serveCmd);
  // A word that is no command is said as such, not as a missing one.
  bool known = argc < 2 || argv[1][0] == '-';
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    known = known || sub->get_name() == argv[1];
  if (!known) {
    std::cerr << "lobarc: unknown command '" << argv[1]
              << "'; use one of: fly, plan, render, scenarios, serve (see lobarc --help)\n";
    return kExitBadInput;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitOk : kExitBadInput;
  }

  try {
    if (*scenarios) return runScenarios();
    if (*serve) return runServe(serveCmd);
    ModulePath module;
    if (modulePath) module = *modulePath;
    if (*fly) return runFly(flyCmd, module);
    if (*plan) return runPlan(planCmd, module);
    if (*render) return runRender(renderCmd, module);
  } catch (const OutputError& e) {
    std::cerr << "lobarc: " << e.what() << "\n";
    return kExitCannotWrite;
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << "lobarc: cannot write " << e.path1().string() << ": " << e.code().message()
              << "; check the folder given with --out\n";
    return kExitCannotWrite;
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
