#include "app/scenario.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kDeg;
using sim::kPi;

// A number as a person writes it: 10.5, -5, 10000.
std::string km(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

struct Builtin {
  const char* name;
  const char* description;
  const char* toml;
};

// The default first. Thrusts give a lift-off acceleration of about 2.5 g on
// each body; masses are those of a small lander. Propellant: the commonly
// published figures of the Apollo lunar module's engines (descent and ascent
// engines alike about 311 s of specific impulse, 311 s x 9.80665 m/s^2 =
// 3050 m/s of exhaust velocity; storable hypergolic propellants), with a
// tank about half the take-off mass, as the module's descent stage carried
// (8.2 t of its 15 t), which leaves each hop more than twice its need.
const Builtin kBuiltins[] = {
    {"moon-hop", "Moon: Apollo 11 site to Apollo 16 site (about 380 km), main and hover engines",
     R"(body = "Moon"
[vessel]
base = "Apollo11"
dry_mass_kg = 7000
propellant_kg = 8000
main_thrust_n = 60000
hover_thrust_n = 45000
isp_main_mps = 3050
isp_hover_mps = 3050
[target]
base = "Apollo16"
security_alt_km = 40
alt_above_target_km = 5
[goal]
miss_m = 200
max_corrections = 8
landing_m = 20
touchdown_mps = 1.5
max_dv_ratio = 1.6
)"},
    {"moon-hover", "Moon: Apollo 12 site to Apollo 14 site (about 180 km) on hover engines only",
     R"(body = "Moon"
[vessel]
base = "Apollo12"
dry_mass_kg = 6000
propellant_kg = 6000
main_thrust_n = 0
hover_thrust_n = 50000
isp_hover_mps = 3050
[target]
base = "Apollo14"
security_alt_km = 20
alt_above_target_km = 3
[goal]
miss_m = 200
max_corrections = 8
landing_m = 20
touchdown_mps = 1.5
max_dv_ratio = 1.6
)"},
    {"moon-dateline", "Moon: a hop eastward across the 180 degree meridian, target by coordinates",
     R"(body = "Moon"
[[base]]
name = "FarWest"
lat_deg = -1.0
lng_deg = 174.0
[vessel]
base = "FarWest"
dry_mass_kg = 7000
propellant_kg = 8000
main_thrust_n = 60000
hover_thrust_n = 45000
isp_main_mps = 3050
isp_hover_mps = 3050
[target]
lat_deg = 2.0
lng_deg = -176.0
security_alt_km = 30
alt_above_target_km = 5
[goal]
miss_m = 200
max_corrections = 8
landing_m = 20
touchdown_mps = 1.5
max_dv_ratio = 1.6
)"},
    {"moon-in-flight",
     "Moon: start in flight 15 km over Hadley, correct towards the Apollo 17 site",
     R"(body = "Moon"
[vessel]
lat_deg = 25.0
lng_deg = 6.0
altitude_m = 15000
vel_east_mps = 650
vel_north_mps = -40
vel_up_mps = 120
dry_mass_kg = 7000
propellant_kg = 8000
main_thrust_n = 60000
hover_thrust_n = 45000
isp_main_mps = 3050
isp_hover_mps = 3050
[target]
base = "Apollo17"
security_alt_km = 40
alt_above_target_km = 5
[goal]
miss_m = 200
max_corrections = 8
landing_m = 20
touchdown_mps = 1.5
)"},
    {"mars-hop", "Mars: Viking 1 site to Pathfinder site (about 870 km), main and hover engines",
     R"(body = "Mars"
[vessel]
base = "Viking1"
dry_mass_kg = 7000
propellant_kg = 13000
main_thrust_n = 200000
hover_thrust_n = 120000
isp_main_mps = 3050
isp_hover_mps = 3050
[target]
base = "Pathfinder"
security_alt_km = 40
alt_above_target_km = 5
[display]
language = "fr"
# Mars turns at up to 240 m/s on its equator, and the display aims at the
# target where it stands at each moment: the last sound correction, some 20 s
# before arrival, leaves a few kilometres of drift.
[goal]
miss_m = 5000
)"},
};

class Reader {
 public:
  Reader(const toml::table& root, std::string source) : root_(root), source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& key, const std::string& what,
                         const std::string& fix) const {
    throw ScenarioError(source_ + ": key '" + key + "': " + what + "; " + fix);
  }

  const toml::table* table(const std::string& key) const {
    const toml::node* n = root_.at_path(key).node();
    if (n == nullptr) return nullptr;
    if (!n->is_table()) fail(key, "is not a table", "write it as [" + key + "]");
    return n->as_table();
  }

  bool has(const std::string& key) const { return root_.at_path(key).node() != nullptr; }

  std::optional<double> number(const std::string& key) const {
    const toml::node* n = root_.at_path(key).node();
    if (n == nullptr) return std::nullopt;
    if (auto v = n->value<double>()) {
      if (!std::isfinite(*v)) fail(key, "is not a finite number", "give a plain number");
      return *v;
    }
    fail(key, "is not a number", "give a number such as 12.5");
  }
  double number(const std::string& key, double lo, double hi, const std::string& unit) const {
    auto v = number(key);
    if (!v) fail(key, "is missing", "add it (" + unit + ")");
    return inRange(key, *v, lo, hi, unit);
  }
  double inRange(const std::string& key, double v, double lo, double hi,
                 const std::string& unit) const {
    if (v < lo || v > hi) {
      std::ostringstream s;
      s << "value " << v << " is out of range";
      std::ostringstream f;
      f << "give a value from " << lo << " to " << hi << " " << unit;
      fail(key, s.str(), f.str());
    }
    return v;
  }
  std::optional<std::string> text(const std::string& key) const {
    const toml::node* n = root_.at_path(key).node();
    if (n == nullptr) return std::nullopt;
    if (auto v = n->value<std::string>()) return *v;
    fail(key, "is not a text", "write it in double quotes");
  }

  // Refuses keys that the scenario format does not know, so a typo does not
  // pass silently.
  void onlyKeys(const toml::table& t, const std::string& prefix,
                const std::set<std::string>& known) const {
    for (auto&& [k, v] : t) {
      (void)v;
      std::string key(k.str());
      if (!known.count(key)) {
        std::string list;
        for (auto& s : known) list += (list.empty() ? "" : ", ") + s;
        fail(prefix + key, "is not a scenario key", "use one of: " + list);
      }
    }
  }

  const std::string& source() const { return source_; }

 private:
  const toml::table& root_;
  std::string source_;
};

// The vessel's mass: either mass_kg alone, a mass that never changes (no
// propellant is counted), or dry_mass_kg with propellant_kg and the exhaust
// velocity of each engine group the vessel has.
void readVesselMass(const Reader& r, VesselSetup& v) {
  if (!r.has("vessel.dry_mass_kg")) {
    for (const char* k : {"vessel.propellant_kg", "vessel.isp_main_mps", "vessel.isp_hover_mps"})
      if (r.has(k)) r.fail(k, "needs vessel.dry_mass_kg", "add the dry mass, or remove it");
    v.mass_kg = r.number("vessel.mass_kg", 1, 1e9, "kg");
    return;
  }
  if (r.has("vessel.mass_kg"))
    r.fail("vessel.mass_kg", "cannot be combined with vessel.dry_mass_kg",
           "give mass_kg alone (constant mass) or dry_mass_kg with propellant_kg");
  v.mass_kg = r.number("vessel.dry_mass_kg", 1, 1e9, "kg");
  v.propellant_kg = r.number("vessel.propellant_kg", 0, 1e9, "kg");
  if (v.main_thrust_n > 0) v.isp_main_mps = r.number("vessel.isp_main_mps", 1, 1e6, "m/s");
  if (v.hover_thrust_n > 0) v.isp_hover_mps = r.number("vessel.isp_hover_mps", 1, 1e6, "m/s");
}

// The base's place in degrees; refuses an unknown name at key.
// The name becomes the base's own spelling.
std::pair<double, double> baseDegrees(const Reader& r, const std::string& key,
                                      const sim::BodySpec& body, std::string& name) {
  const sim::Base* b = findBase(body, name);
  if (b == nullptr)
    r.fail(key, "unknown base '" + name + "' on " + body.name, "use one of: " + baseList(body));
  name = b->name;
  return {b->lat_rad * 180 / kPi, b->lng_rad * 180 / kPi};
}

// The body: a built-in by name, or a [body] table.
void readBody(const Reader& r, const toml::table& root, Scenario& sc) {
  if (!r.has("body")) {
    r.fail("body", "is missing", "add body = \"Moon\" (or Earth, Mars) or a [body] table");
  }
  if (root["body"].is_string()) {
    std::string bodyName = *r.text("body");
    auto spec = findBody(bodyName);
    if (!spec)
      r.fail("body", "unknown body '" + bodyName + "'",
             "use one of: " + bodyList() + ", or a [body] table");
    sc.body = *spec;
  } else {
    const toml::table* t = r.table("body");
    r.onlyKeys(*t, "body.", {"name", "radius_m", "mass_kg", "rotation_period_s", "obliquity_deg"});
    sc.body.name = r.text("body.name").value_or("");
    if (sc.body.name.empty()) r.fail("body.name", "is missing or empty", "name the body");
    sc.body.radius_m = r.number("body.radius_m", 1000, 1e9, "m");
    sc.body.mass_kg = r.number("body.mass_kg", 1e15, 1e30, "kg");
    sc.body.rotation_period_s = r.number("body.rotation_period_s").value_or(0);
    if (sc.body.rotation_period_s != 0 && std::fabs(sc.body.rotation_period_s) < 600)
      r.fail("body.rotation_period_s", "is shorter than 600 s",
             "give 0 for no rotation or a period of at least 600 s");
    sc.body.obliquity_rad =
        r.inRange("body.obliquity_deg", r.number("body.obliquity_deg").value_or(0), -180, 180,
                  "deg") *
        kPi / 180;
  }
}

// Extra bases.
void readBases(const Reader& r, const toml::table& root, Scenario& sc) {
  if (const toml::node* n = root.get("base")) {
    const toml::array* arr = n->as_array();
    if (arr == nullptr) r.fail("base", "is not a list of tables", "write each as [[base]]");
    for (std::size_t i = 0; i < arr->size(); ++i) {
      const toml::table* bt = arr->get(i)->as_table();
      std::string key = "base[" + std::to_string(i) + "]";
      if (bt == nullptr) r.fail(key, "is not a table", "write it as [[base]]");
      toml::table wrap;
      wrap.insert("b", *bt);
      Reader br(wrap, r.source());
      br.onlyKeys(*bt, key + ".", {"name", "lat_deg", "lng_deg"});
      sim::Base b;
      auto nm = br.text("b.name");
      if (!nm || nm->empty()) r.fail(key + ".name", "is missing or empty", "name the base");
      if (nm->size() > 60 || nm->find(' ') != std::string::npos)
        r.fail(key + ".name", "is not a short one-word name",
               "use up to 60 characters without spaces (the pilot types it)");
      b.name = *nm;
      auto lat = br.number("b.lat_deg");
      auto lng = br.number("b.lng_deg");
      if (!lat) r.fail(key + ".lat_deg", "is missing", "add the latitude in degrees");
      if (!lng) r.fail(key + ".lng_deg", "is missing", "add the longitude in degrees");
      r.inRange(key + ".lat_deg", *lat, -90, 90, "deg");
      r.inRange(key + ".lng_deg", *lng, -180, 180, "deg");
      b.lat_rad = *lat * kPi / 180;
      b.lng_rad = *lng * kPi / 180;
      sc.body.bases.push_back(b);
    }
  }
}

// The vessel.
void readVessel(const Reader& r, Scenario& sc) {
  const toml::table* vt = r.table("vessel");
  if (vt == nullptr) r.fail("vessel", "is missing", "add a [vessel] table");
  r.onlyKeys(*vt, "vessel.",
             {"base", "lat_deg", "lng_deg", "altitude_m", "vel_east_mps", "vel_north_mps",
              "vel_up_mps", "mass_kg", "dry_mass_kg", "propellant_kg", "main_thrust_n",
              "hover_thrust_n", "isp_main_mps", "isp_hover_mps"});
  VesselSetup& v = sc.vessel;
  v.base = r.text("vessel.base");
  v.in_flight = r.has("vessel.altitude_m");
  if (v.base) {
    if (v.in_flight)
      r.fail("vessel.base", "cannot be combined with vessel.altitude_m",
             "use base for a start on the ground, or lat_deg/lng_deg/altitude_m in flight");
    std::tie(v.lat_deg, v.lng_deg) = baseDegrees(r, "vessel.base", sc.body, *v.base);
  } else {
    v.lat_deg = r.number("vessel.lat_deg", -90, 90, "deg");
    v.lng_deg = r.number("vessel.lng_deg", -180, 180, "deg");
  }
  if (v.in_flight) {
    v.altitude_m = r.number("vessel.altitude_m", 1, 2e6, "m");
    v.vel_east_mps = r.inRange("vessel.vel_east_mps", r.number("vessel.vel_east_mps").value_or(0),
                               -2e4, 2e4, "m/s");
    v.vel_north_mps = r.inRange("vessel.vel_north_mps",
                                r.number("vessel.vel_north_mps").value_or(0), -2e4, 2e4, "m/s");
    v.vel_up_mps =
        r.inRange("vessel.vel_up_mps", r.number("vessel.vel_up_mps").value_or(0), -2e4, 2e4, "m/s");
  } else {
    for (const char* k : {"vessel.vel_east_mps", "vessel.vel_north_mps", "vessel.vel_up_mps"})
      if (r.has(k))
        r.fail(k, "is only for a start in flight", "add vessel.altitude_m or remove it");
  }
  v.main_thrust_n = r.number("vessel.main_thrust_n", 0, 1e10, "N");
  v.hover_thrust_n = r.number("vessel.hover_thrust_n", 0, 1e10, "N");
  if (v.main_thrust_n == 0 && v.hover_thrust_n == 0)
    r.fail("vessel.main_thrust_n", "and vessel.hover_thrust_n are both 0",
           "give the vessel main or hover engines");
  readVesselMass(r, v);
}

// The target.
void readTarget(const Reader& r, Scenario& sc) {
  const toml::table* tt = r.table("target");
  if (tt == nullptr) r.fail("target", "is missing", "add a [target] table");
  r.onlyKeys(*tt, "target.",
             {"base", "lat_deg", "lng_deg", "security_alt_km", "alt_above_target_km"});
  TargetSetup& t = sc.target;
  t.base = r.text("target.base");
  if (t.base) {
    if (r.has("target.lat_deg") || r.has("target.lng_deg"))
      r.fail("target.base", "cannot be combined with target.lat_deg/lng_deg",
             "choose the target by base or by coordinates");
    std::tie(t.lat_deg, t.lng_deg) = baseDegrees(r, "target.base", sc.body, *t.base);
  } else {
    if (!r.has("target.lat_deg") && !r.has("target.lng_deg"))
      r.fail("target.base", "is missing", "add target.base or target.lat_deg and target.lng_deg");
    t.lat_deg = r.number("target.lat_deg", -90, 90, "deg");
    t.lng_deg = r.number("target.lng_deg", -180, 180, "deg");
  }
  t.security_alt_km = r.number("target.security_alt_km").value_or(40);
  if (auto fix = altitudeProblem(t.security_alt_km, 1); !fix.empty())
    r.fail("target.security_alt_km", "value " + km(t.security_alt_km) + " is not usable", fix);
  t.alt_above_target_km = r.number("target.alt_above_target_km").value_or(5);
  if (auto fix = altitudeProblem(t.alt_above_target_km, 0); !fix.empty())
    r.fail("target.alt_above_target_km", "value " + km(t.alt_above_target_km) + " is not usable",
           fix);
}

// The display.
void readDisplay(const Reader& r, Scenario& sc) {
  if (const toml::table* dt = r.table("display")) {
    r.onlyKeys(*dt, "display.", {"language", "width", "height", "refresh_s"});
    sc.display.language = r.text("display.language").value_or("en");
    if (sc.display.language != "en" && sc.display.language != "fr")
      r.fail("display.language", "unknown language '" + sc.display.language + "'",
             "use \"en\" or \"fr\"");
    sc.display.width = static_cast<int>(
        r.inRange("display.width", r.number("display.width").value_or(290), 120, 4000, "pixels"));
    sc.display.height = static_cast<int>(
        r.inRange("display.height", r.number("display.height").value_or(290), 120, 4000, "pixels"));
    sc.display.refresh_s =
        r.inRange("display.refresh_s", r.number("display.refresh_s").value_or(1.0), 0.01, 10, "s");
  }
}

// The goal.
void readGoal(const Reader& r, Scenario& sc) {
  if (const toml::table* gt = r.table("goal")) {
    r.onlyKeys(
        *gt, "goal.",
        {"miss_m", "max_time_s", "max_corrections", "max_dv_ratio", "landing_m", "touchdown_mps"});
    sc.goal_miss_m = r.inRange("goal.miss_m", r.number("goal.miss_m").value_or(2000), 1, 1e7, "m");
    sc.max_time_s =
        r.inRange("goal.max_time_s", r.number("goal.max_time_s").value_or(7200), 10, 1e6, "s");
    if (auto n = r.number("goal.max_corrections"))
      sc.goal_max_corrections =
          static_cast<int>(r.inRange("goal.max_corrections", *n, 0, 1000, ""));
    if (auto x = r.number("goal.max_dv_ratio")) {
      // The ratio compares with a hop launched from the ground.
      if (sc.vessel.in_flight)
        r.fail("goal.max_dv_ratio", "is only for a start on the ground",
               "remove it, or start the vessel on the ground");
      sc.goal_max_dv_ratio = r.inRange("goal.max_dv_ratio", *x, 1, 100, "");
    }
    sc.goal_landing_m =
        r.inRange("goal.landing_m", r.number("goal.landing_m").value_or(100), 1, 1e7, "m");
    sc.goal_touchdown_mps = r.inRange("goal.touchdown_mps",
                                      r.number("goal.touchdown_mps").value_or(2), 0.1, 1000, "m/s");
  }
}

}  // namespace

std::string baseList(const sim::BodySpec& b) {
  std::string s;
  for (auto& base : b.bases) s += (s.empty() ? "" : ", ") + base.name;
  return s.empty() ? "(none)" : s;
}

namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const sim::Base* findBase(const sim::BodySpec& b, const std::string& name) {
  for (auto& base : b.bases)
    if (sameName(base.name, name)) return &base;
  return nullptr;
}

std::optional<sim::BodySpec> findBody(const std::string& name) {
  for (auto& n : sim::builtinBodyNames())
    if (sameName(n, name)) return sim::builtinBody(n);
  return std::nullopt;
}

std::string bodyList() {
  std::string names;
  for (auto& n : sim::builtinBodyNames()) names += (names.empty() ? "" : ", ") + n;
  return names;
}

std::string altitudeProblem(double v, double lowest_km) {
  if (std::isfinite(v) && v >= lowest_km && v <= kMaxAltitudeKm && v == std::floor(v)) return "";
  return "give whole kilometres from " + km(lowest_km) + " to " + km(kMaxAltitudeKm);
}

std::string altitudeEntryProblem(const std::string& text, double lowest_km) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  while (end != nullptr && *end == ' ') ++end;
  if (end == begin || *end != '\0') return "not a number: " + altitudeProblem(-1, lowest_km);
  return altitudeProblem(v, lowest_km);
}

void checkHop(const Scenario& sc) {
  if (sc.vessel.in_flight) return;
  // The ground distance on the body's sphere (haversine form).
  const double la1 = sc.vessel.lat_deg * kDeg, la2 = sc.target.lat_deg * kDeg;
  const double s1 = std::sin((la2 - la1) / 2);
  const double s2 = std::sin((sc.target.lng_deg - sc.vessel.lng_deg) * kDeg / 2);
  const double d_m =
      2 * sc.body.radius_m *
      std::asin(std::min(1.0, std::sqrt(s1 * s1 + std::cos(la1) * std::cos(la2) * s2 * s2)));
  // Closer than this a ballistic hop is a jump straight up and down, which
  // the display does not plan.
  constexpr double kShortestHop_m = 1000;
  if (d_m < kShortestHop_m)
    throw ScenarioError(sc.source + ": the target is " + std::to_string(std::lround(d_m)) +
                        " m from the vessel, which stands on the ground; a hop needs a target at "
                        "least 1 km away: give another target");
}

std::vector<BuiltinInfo> builtinScenarios() {
  std::vector<BuiltinInfo> out;
  for (auto& b : kBuiltins) out.push_back({b.name, b.description});
  return out;
}

std::string defaultScenarioName() { return kBuiltins[0].name; }

Scenario parseScenario(const std::string& tomlText, const std::string& source,
                       const std::string& name) {
  toml::table root;
  try {
    root = toml::parse(tomlText, source);
  } catch (const toml::parse_error& e) {
    std::ostringstream s;
    s << source << ": not a valid TOML file (line " << e.source().begin.line << ", column "
      << e.source().begin.column << "): " << e.description()
      << "; fix the syntax (see the README's scenario keys)";
    throw ScenarioError(s.str());
  }
  Reader r(root, source);
  r.onlyKeys(root, "", {"body", "base", "vessel", "target", "display", "description", "goal"});

  Scenario sc;
  sc.name = name;
  sc.source = source;
  sc.description = r.text("description").value_or("");

  readBody(r, root, sc);
  readBases(r, root, sc);
  readVessel(r, sc);
  readTarget(r, sc);
  readDisplay(r, sc);
  readGoal(r, sc);
  checkHop(sc);
  return sc;
}

Scenario loadScenario(const std::string& nameOrPath) {
  for (auto& b : kBuiltins) {
    if (nameOrPath == b.name) {
      Scenario sc = parseScenario(b.toml, std::string("built-in scenario ") + b.name, b.name);
      sc.source = "built-in";
      if (sc.description.empty()) sc.description = b.description;
      return sc;
    }
  }
  std::filesystem::path p(nameOrPath);
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::string names;
    for (auto& b : kBuiltins) names += (names.empty() ? "" : ", ") + std::string(b.name);
    throw ScenarioError(nameOrPath +
                        ": no such scenario file or built-in scenario; give a TOML "
                        "file path or one of: " +
                        names);
  }
  std::stringstream ss;
  ss << in.rdbuf();
  return parseScenario(ss.str(), p.string(), p.stem().string());
}

std::size_t addScenarioVessel(sim::World& world, int bodyIndex, const Scenario& sc) {
  const VesselSetup& setup = sc.vessel;
  sim::VesselSpec vs;
  vs.name = "Lander";
  vs.mass_kg = setup.mass_kg;
  vs.main_thrust_n = setup.main_thrust_n;
  vs.hover_thrust_n = setup.hover_thrust_n;
  vs.propellant_kg = setup.propellant_kg;
  vs.isp_main_mps = setup.isp_main_mps;
  vs.isp_hover_mps = setup.isp_hover_mps;
  sim::Vessel& v = world.addVessel(bodyIndex, vs);
  const double lat = setup.lat_deg * kDeg, lng = setup.lng_deg * kDeg;  // [rad]
  if (setup.in_flight) {
    v.placeInFlight(lat, lng, setup.altitude_m, setup.vel_east_mps, setup.vel_north_mps,
                    setup.vel_up_mps);
  } else {
    v.landAt(lat, lng);
  }
  return world.vesselCount() - 1;
}

}  // namespace lobarc
