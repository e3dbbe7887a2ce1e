// The lobarc program as a user runs it: exit codes, the JSON report's
// fields, the plan of a hop, the pictures it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace {

struct CliRun {
  int code;
  std::string out;
};

// Standard output only, or with the error stream after it.
CliRun run(const std::string& args, bool withErrors = false) {
  std::string cmd = std::string(LOBARC_EXE) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
  CliRun r{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  std::array<char, 4096> buf;
  while (std::size_t n = fread(buf.data(), 1, buf.size(), p)) r.out.append(buf.data(), n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(LobarcCli, BadInputExitsWithTwo) {
  EXPECT_EQ(run("fly no-such-scenario").code, 2);
  EXPECT_EQ(run("fly --lang de").code, 2);
  EXPECT_EQ(run("plan --to 95,0").code, 2);
  EXPECT_EQ(run("plan --target Nowhere").code, 2);
  EXPECT_EQ(run("frobnicate").code, 2);
}

TEST(LobarcCli, HelpOnEverySubcommand) {
  for (const char* sub : {"fly", "plan", "render", "scenarios"}) {
    CliRun r = run(std::string(sub) + " --help");
    EXPECT_EQ(r.code, 0) << sub;
    EXPECT_NE(r.out.find("--help"), std::string::npos) << sub;
  }
}

TEST(LobarcCli, PlanOfTheDefaultHop) {
  CliRun r = run("plan --json");
  ASSERT_EQ(r.code, 0);
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["groundSolValid"], true);
  EXPECT_GT(j["launchSpeed"].get<double>(), 500);
  EXPECT_DOUBLE_EQ(j["dvRemaining"].get<double>(), j["launchSpeed"].get<double>());
  EXPECT_GE(j["apoAltitude"].get<double>(), 40000);
}

TEST(LobarcCli, PlanInFlightGivesVectorsInOneFrame) {
  CliRun r = run("plan moon-in-flight --json");
  ASSERT_EQ(r.code, 0);
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["flightSolValid"], true);
  for (const char* k : {"reqVel", "relPos", "relVel", "aimPoint"}) {
    ASSERT_TRUE(j[k].is_array()) << k;
    EXPECT_EQ(j[k].size(), 3u) << k;
  }
  // The aim point lies altAboveTarget above the body's surface.
  auto a = j["aimPoint"];
  double r2 = a[0].get<double>() * a[0].get<double>() + a[1].get<double>() * a[1].get<double>() +
              a[2].get<double>() * a[2].get<double>();
  EXPECT_NEAR(std::sqrt(r2), 1737400.0 + 5000.0, 2000.0);
}

TEST(LobarcCli, FlyReportHasItsFieldsAndPictures) {
  std::filesystem::path out = std::filesystem::temp_directory_path() / "lobarc-cli-test";
  std::filesystem::remove_all(out);
  CliRun r = run("fly moon-hover --json --out " + out.string());
  ASSERT_EQ(r.code, 0) << r.out;
  auto j = nlohmann::json::parse(r.out);
  for (const char* k : {"outcome", "miss_m", "time_s", "dv_launch_mps", "dv_correction_mps",
                        "dv_total_mps", "corrections", "target", "plan"})
    EXPECT_TRUE(j.contains(k)) << k;
  for (const char* k : {"heading", "launchAngle", "apoAltitude", "vTan", "launchSpeed"})
    EXPECT_TRUE(j["plan"].contains(k)) << k;
  EXPECT_EQ(j["outcome"], "arrived");
  EXPECT_NEAR(j["dv_total_mps"].get<double>(),
              j["dv_launch_mps"].get<double>() + j["dv_correction_mps"].get<double>(), 1e-6);
  for (const char* f : {"display-pad.png", "display-meco.png", "display-page1.png",
                        "display-page2-before.png", "display-page2-after.png",
                        "trajectory-profile.png", "trajectory-groundtrack.png", "telemetry.csv"})
    EXPECT_TRUE(std::filesystem::exists(out / f)) << f;
  std::filesystem::remove_all(out);
}

}  // namespace

namespace {

// A lander that carries enough for the hop but not for the landing: the
// tank runs dry while braking, its own outcome, exit 1.
TEST(LobarcCli, FlyLandReportsThePhasesAndRunsOutOfPropellant) {
  CliRun r = run("fly moon-hover --land --json");
  ASSERT_EQ(r.code, 0) << r.out;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "landed");
  for (const char* k : {"distance_m", "touchdown_speed_mps", "dv_total_mps", "dv_min_energy_mps"})
    EXPECT_TRUE(j["landing"].contains(k)) << k;
  for (const char* k : {"braking_kg", "landing_kg", "left_kg"})
    EXPECT_GT(j["propellant"][k].get<double>(), 0) << k;

  std::filesystem::path file = std::filesystem::temp_directory_path() / "lobarc-short-tank.toml";
  // The hover-only hop with less than half its tank.
  std::ofstream(file) << R"(body = "Moon"
vessel.base = "Apollo12"
vessel.main_thrust_n = 0
vessel.hover_thrust_n = 50000
vessel.dry_mass_kg = 6000
vessel.propellant_kg = 3000
vessel.isp_hover_mps = 3050
target = { base = "Apollo14", security_alt_km = 20, alt_above_target_km = 3 }
)";
  r = run("fly " + file.string() + " --land --json");
  std::filesystem::remove(file);
  EXPECT_EQ(r.code, 1);
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "out of propellant");
  EXPECT_EQ(j["propellant"]["left_kg"].get<double>(), 0);
  EXPECT_GT(j["propellant"]["braking_kg"].get<double>(), 0);  // it ran dry braking
}

}  // namespace

namespace {

// A scenario file for one case; removed with the case.
struct ScenarioFile {
  std::filesystem::path path;
  explicit ScenarioFile(const std::string& name, const std::string& toml)
      : path(std::filesystem::temp_directory_path() / (name + ".toml")) {
    std::ofstream(path) << toml;
  }
  ~ScenarioFile() { std::filesystem::remove(path); }
};

const char* kMoonVessel = R"(body = "Moon"
target = { base = "Apollo16" }
)";

// What a new user gets wrong, each refused (or flown) with one clear line
// and its exit code, before any long flight.
TEST(LobarcCli, RefusesNonsenseBeforeItFlies) {
  struct Case {
    const char* what;
    std::string vessel;  // [vessel] keys for a scenario file, "" for none
    std::string args;    // after the file, if any
    int code;
    const char* says;
  } cases[] = {
      {"cannot lift off",
       "base = \"Apollo11\"\nmass_kg = 15000\nmain_thrust_n = 10000\n"
       "hover_thrust_n = 0\n",
       "fly", 2, "cannot lift off"},
      {"tank short of the launch burn",
       "base = \"Apollo11\"\ndry_mass_kg = 7000\npropellant_kg = 300\nmain_thrust_n = 60000\n"
       "hover_thrust_n = 0\nisp_main_mps = 3050\n",
       "fly", 2, "the launch burn alone needs"},
      {"target at the launch point",
       "base = \"Apollo16\"\nmass_kg = 15000\nmain_thrust_n = 60000\nhover_thrust_n = 0\n", "fly",
       2, "at least 1 km away"},
      {"flat launch that stays on the ground",
       "base = \"Apollo11\"\nmass_kg = 15000\nmain_thrust_n = 60000\nhover_thrust_n = 0\n"
       "[target]\nlat_deg = -0.67\nlng_deg = -156.53\n",
       "fly", 1, "did not leave the ground during the launch burn"},
      {"unknown command", "", "bogus", 2, "unknown command 'bogus'"},
      {"fractional security altitude", "", "plan --security-alt 10.5", 2,
       "--security-alt 10.5: give whole kilometres from 1 to 10000"},
      {"negative security altitude", "", "plan --security-alt -5", 2, "--security-alt -5:"},
      {"unwritable --out", "", "fly --out /proc/lobarc-no", 3, "cannot write there"},
      {"base in any case", "", "plan --target apollo16", 0, "Plan for moon-hop's vessel on Moon"},
      {"overridden places", "", "plan --body mars --from 10,10 --to 12,12", 0,
       "Plan for moon-hop's vessel on Mars"},
      {"in-flight render", "",
       "render moon-in-flight --out " +
           (std::filesystem::temp_directory_path() / "lobarc-r").string(),
       0, "no grounded page"},
  };
  for (const Case& c : cases) {
    std::string args = c.args;
    std::unique_ptr<ScenarioFile> file;
    if (!c.vessel.empty()) {
      std::string toml = "body = \"Moon\"\n";
      // A [target] table given with the vessel replaces the default one.
      if (c.vessel.find("[target]") == std::string::npos) toml = kMoonVessel;
      file = std::make_unique<ScenarioFile>("lobarc-case", toml + "[vessel]\n" + c.vessel);
      args = c.args + " " + file->path.string();
    }
    CliRun r = run(args, true);
    EXPECT_EQ(r.code, c.code) << c.what << ": " << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.what << ": " << r.out;
    EXPECT_EQ(r.out.find("-0.0 km"), std::string::npos) << c.what;
  }
  std::filesystem::remove_all(std::filesystem::temp_directory_path() / "lobarc-r");
}

// The time limit holds even while the launch burn is still on, and the
// altitude above the target the plan shows is the one the flight enters.
TEST(LobarcCli, TimeLimitAndAltitudeAboveTarget) {
  ScenarioFile file("lobarc-short-time", std::string(kMoonVessel) +
                                             "[vessel]\nbase = \"Apollo11\"\nmass_kg = 15000\n"
                                             "main_thrust_n = 60000\nhover_thrust_n = 0\n"
                                             "[goal]\nmax_time_s = 60\n");
  CliRun r = run("fly --json " + file.path.string());
  EXPECT_EQ(r.code, 1);
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "timeout");
  EXPECT_LE(j["end_time_s"].get<double>(), 61);

  for (auto [args, metres] : {std::pair{"plan moon-hover --json", 3000.0},
                              std::pair{"plan --alt-above 1000 --json", 1e6}}) {
    r = run(args);
    ASSERT_EQ(r.code, 0) << args;
    EXPECT_EQ(nlohmann::json::parse(r.out)["altAboveTarget"].get<double>(), metres) << args;
  }
}

// A start in flight has no minimum-energy hop to compare with; a scenario
// without a description is flown without an empty "()".
TEST(LobarcCli, InFlightStartHasNoRatio) {
  CliRun r = run("fly moon-in-flight --json");
  auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["dv_ratio"].is_null());
  ScenarioFile file("lobarc-no-description",
                    std::string(kMoonVessel) +
                        "[vessel]\nbase = \"Apollo11\"\nmass_kg = 15000\nmain_thrust_n = 60000\n"
                        "hover_thrust_n = 0\n[goal]\nmax_time_s = 10\n");
  r = run("fly " + file.path.string());
  EXPECT_NE(r.out.find("Flying lobarc-no-description\n"), std::string::npos) << r.out;
}

}  // namespace
