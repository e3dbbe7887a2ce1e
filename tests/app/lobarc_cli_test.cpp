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

CliRun run(const std::string& args) {
  std::string cmd = std::string(LOBARC_EXE) + " " + args + " 2>/dev/null";
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
