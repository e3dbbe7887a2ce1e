#include "web/playground.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <numbers>

#include "app/linked_module.h"
#include "sim/units.h"

namespace web {
namespace {

using sim::kDeg;
// [s] a step of the simulation while the visitor flies, and the shortest.
constexpr double kManualStep_s = 0.1, kMinStep_s = 0.005;
// Samples of the hop: one a simulated second, at most this many (older
// samples are thinned to every other one when the record is full).
constexpr std::size_t kMaxTrack = 4000;
// A touchdown faster than this [m/s] breaks the lander: a crash.
constexpr double kCrash_mps = 5;

std::string hexColor(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

const char* alignName(UINT align) {
  if ((align & TA_CENTER) == TA_CENTER) return "center";
  if ((align & TA_CENTER) == TA_RIGHT) return "right";
  return "left";
}

// Typed text reaches the module in its code page: Latin-1 letters as single
// bytes, anything beyond (or broken UTF-8) as '?', which no base name holds.
std::string utf8ToCp1252(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const int extra = b < 0x80         ? 0
                      : (b >> 5) == 6  ? 1
                      : (b >> 4) == 14 ? 2
                      : (b >> 3) == 30 ? 3
                                       : -1;
    if (extra < 0 || i + extra >= utf8.size()) {
      out += '?';
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out += cp < 0x100 ? static_cast<char>(cp) : '?';
    i += extra + 1;
  }
  return out;
}

}  // namespace

std::string scenarioList() {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& b : lobarc::builtinScenarios())
    list.push_back({{"name", b.name},
                    {"description", b.description},
                    {"default", b.name == lobarc::defaultScenarioName()}});
  return list.dump();
}

Playground::Playground(const std::string& scenario, const std::string& language)
    : sc_(lobarc::loadScenario(scenario)),
      language_(language == "fr" ? "fr" : "en"),
      session_(sc_, language_, lobarc::linkedModule()),
      cockpit_(session_.host(), session_.vessel(), session_.display(), sc_.display.refresh_s),
      referee_(session_, sc_.target.alt_above_target_km * 1000),
      pilot_(cockpit_, sc_, language_ == "fr", referee_),
      startLat_(sc_.vessel.lat_deg * kDeg),
      startLng_(sc_.vessel.lng_deg * kDeg) {
  // Reads the "+" of page 2/2 for the visitor's hold toward it.
  eyes_ = std::make_unique<lobarc::Pilot>(cockpit_, sc_, language_ == "fr");
  airborne_ = !vessel().groundContact();
  // The display guides the main engine whenever there is one.
  markerMain_ = sc_.vessel.main_thrust_n > 0;
  record();
}

Playground::~Playground() = default;

std::string Playground::displayList() {
  const sim::Surface& s = host().redraw(session_.display());
  nlohmann::json texts = nlohmann::json::array(), segments = nlohmann::json::array(),
                 ellipses = nlohmann::json::array();
  for (const auto& t : s.texts())
    texts.push_back({{"x", t.x},
                     {"y", t.y},
                     {"text", sim::cp1252ToUtf8(t.bytes)},
                     {"color", hexColor(t.color)},
                     {"align", alignName(t.align)},
                     {"title", t.title}});
  for (const auto& l : s.segments())
    segments.push_back(
        {{"x0", l.x0}, {"y0", l.y0}, {"x1", l.x1}, {"y1", l.y1}, {"color", hexColor(l.color)}});
  for (const auto& e : s.ellipses())
    ellipses.push_back({{"left", e.left},
                        {"top", e.top},
                        {"right", e.right},
                        {"bottom", e.bottom},
                        {"color", hexColor(e.color)},
                        {"filled", e.filled}});
  return nlohmann::json{
      {"width", s.width()}, {"height", s.height()}, {"background", hexColor(sim::kBackgroundColor)},
      {"texts", texts},     {"segments", segments}, {"ellipses", ellipses}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Playground::buttonLabels() {
  nlohmann::json labels = nlohmann::json::array();
  for (int b = 0; b < 12; ++b)
    labels.push_back(sim::cp1252ToUtf8(host().buttonLabel(session_.display(), b)));
  return labels.dump();
}

bool Playground::pressButton(int button) { return host().pressButton(session_.display(), button); }

bool Playground::pressKey(int scanCode) {
  if (scanCode < 0 || scanCode > 255) return false;
  return host().pressKey(session_.display(), static_cast<DWORD>(scanCode));
}

std::string Playground::dialog() const {
  if (!cockpit_.dialogOpen()) return R"({"open":false})";
  const sim::Host& h = session_.host();
  return nlohmann::json{{"open", true}, {"title", sim::cp1252ToUtf8(h.inputBoxTitle())}}.dump(
      -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Playground::entryProblem(const std::string& utf8) const {
  if (!session_.host().hasInputBox()) return "";
  // The two altitude dialogs, told apart by their prompts as the visitor
  // reads them (Windows-1252, both languages), each with its lowest entry.
  static constexpr std::pair<const char*, double> kAltitudePrompts[] = {
      {"Enter security altitude (km):", 1.0},
      {"Choisir altitude de s\xE9"
       "curit\xE9 (km):",
       1.0},
      {"Enter altitude above target (km):", 0.0},
      {"Choisir altitude de survol (km):", 0.0},
  };
  const std::string title = session_.host().inputBoxTitle();
  for (auto [prompt, lowest] : kAltitudePrompts) {
    if (title == prompt && !lobarc::altitudeEntryProblem(utf8, lowest).empty())
      return nlohmann::json{{"lowest", lowest}, {"highest", lobarc::kMaxAltitudeKm}}.dump();
  }
  return "";
}

bool Playground::typeInput(const std::string& utf8) {
  if (!cockpit_.dialogOpen() || !entryProblem(utf8).empty()) return false;
  return cockpit_.type(utf8ToCp1252(utf8));
}

void Playground::cancelInput() { cockpit_.cancelDialog(); }

std::string Playground::instruments() const {
  const sim::Vessel& v = vessel();
  const sim::Vec3 air = v.horizonAirspeed();  // east, up, north
  double lng = 0, lat = 0, rad = 0;
  v.equPos(lng, lat, rad);
  nlohmann::json groups = nlohmann::json::object();
  for (auto [name, g] : {std::pair{"main", THGROUP_MAIN}, std::pair{"hover", THGROUP_HOVER}})
    if (v.hasGroup(g)) groups[name] = {{"level", v.level(g)}, {"max_thrust_n", v.maxThrust(g)}};
  return nlohmann::json{
      {"time_s", session_.host().simTime()},
      {"altitude_m", v.altitude()},
      {"vertical_speed_mps", air.y()},
      {"horizontal_speed_mps", std::hypot(air.x(), air.z())},
      {"pitch_deg", v.pitch() / kDeg},
      {"heading_deg", std::fmod(v.heading() / kDeg + 360, 360)},
      {"lat_deg", lat / kDeg},
      {"lng_deg", lng / kDeg},
      {"mass_kg", v.mass()},
      // A vessel whose engines burn nothing keeps its mass.
      {"propellant_kg", v.propellant()},
      {"propellant_counted", sc_.vessel.isp_main_mps > 0 || sc_.vessel.isp_hover_mps > 0},
      {"ground_contact", v.groundContact()},
      {"engines", groups}}
      .dump();
}

void Playground::setAttitude(double headingDeg, double pitchDeg) {
  if (!std::isfinite(headingDeg) || !std::isfinite(pitchDeg)) return;
  markerHold_ = false;
  rates_ = {};
  cockpit_.holdAttitude(headingDeg * kDeg, std::clamp(pitchDeg, -90.0, 90.0) * kDeg, 0);
}

void Playground::setRates(double pitchDegps, double yawDegps, double rollDegps) {
  for (double r : {pitchDegps, yawDegps, rollDegps})
    if (!std::isfinite(r)) return;
  const bool was = rates_ != std::array<double, 3>{};
  rates_ = {pitchDegps * kDeg, yawDegps * kDeg, rollDegps * kDeg};
  if (!was) {
    // The keys turn the vessel from where it points now.
    markerHold_ = false;
    hdg_ = cockpit_.heading();
    pit_ = cockpit_.pitch();
    bnk_ = cockpit_.bank();
    cockpit_.holdAttitude(hdg_, pit_, bnk_);
  }
}

void Playground::holdTowardMarker(bool on) {
  markerHold_ = on;
  rates_ = {};
  markerRedraw_ = 0;
}

void Playground::setThrottle(const std::string& group, double level) {
  if (!std::isfinite(level)) return;
  const THGROUP_TYPE g = group == "hover" ? THGROUP_HOVER : THGROUP_MAIN;
  cockpit_.throttle(g, std::clamp(level, 0.0, 1.0));
}

void Playground::setAutopilot(bool on) {
  if (on == pilotOn_) return;
  pilotOn_ = on;
  note_.clear();
  if (on) {
    markerHold_ = false;
    rates_ = {};
    if (ended_ == "handed-over") ended_.clear();
  }
  pilot_.release();
}

double Playground::advance(double simSeconds, double wallBudgetMs) {
  const auto start = std::chrono::steady_clock::now();
  auto elapsedMs = [&] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  // Landed or crashed: the clock stands still.
  if (ended_ == "landed" || ended_ == "crashed") return 0;
  double run = std::min(ahead_s_, simSeconds);
  ahead_s_ -= run;
  while (run < simSeconds - 1e-9 && elapsedMs() < wallBudgetMs) {
    double dt = std::clamp(simSeconds - run, kMinStep_s, kManualStep_s);
    if (pilotOn_) {
      try {
        dt = pilot_.nextWait();
      } catch (const std::exception& e) {
        note_ = e.what();
        pilotOn_ = false;
        continue;
      }
      if (pilot_.phase() == Autopilot::Phase::kDone) {
        // The display's job ends over the target: the vessel is the
        // visitor's, and the page stops the clock.
        pilotOn_ = false;
        ended_ = "handed-over";
        return run;
      }
    }
    step(dt);
    run += dt;
  }
  if (run > simSeconds) {
    ahead_s_ += run - simSeconds;
    run = simSeconds;
  }
  return run;
}

// As the program's flight steps: the attitude thrusters turn the vessel
// toward what the controls ask for, at their own rate, whoever sets the
// controls (visitor or autopilot); the referee watches every step.
void Playground::step(double dt) {
  if (ended_ == "landed" || ended_ == "crashed") return;
  flyByKeys(dt);
  // The attitude thrusters turn the vessel toward what the controls ask for,
  // at their own rate, whoever sets the controls (visitor or autopilot).
  cockpit_.control(dt);
  host().step(dt);
  cockpit_.afterStep();
  referee_.observe();
  record();
  watchGround();
}

// The visitor's rotation keys and the hold toward the marker.
void Playground::flyByKeys(double dt) {
  if (pilotOn_) return;
  if (rates_ != std::array<double, 3>{}) {
    pit_ = std::clamp(pit_ + rates_[0] * dt, -89.9 * kDeg, 89.9 * kDeg);
    hdg_ = std::fmod(hdg_ + rates_[1] * dt + 4 * std::numbers::pi, 2 * std::numbers::pi);
    bnk_ = std::remainder(bnk_ + rates_[2] * dt, 2 * std::numbers::pi);
    cockpit_.holdAttitude(hdg_, pit_, bnk_);
  }
  if (!markerHold_ || cockpit_.redraws() == markerRedraw_) return;
  // At each redraw: the engine from page 1/2 or the grounded page, the "+"
  // from page 2/2.
  markerRedraw_ = cockpit_.redraws();
  cockpit_.look();
  const bool fr = language_ == "fr";
  if (cockpit_.shows(fr ? "Moteur : Principal" : "Engine : Main")) markerMain_ = true;
  if (cockpit_.shows(fr ? "Moteur : Ventral" : "Engine : Hovers")) markerMain_ = false;
  if (!cockpit_.shows("2/2")) return;
  if (auto u = eyes_->burnDirection(markerMain_))
    cockpit_.pointAxis(markerMain_ ? sim::Vec3{0, 0, 1} : sim::Vec3{0, 1, 0}, *u);
}

// A touchdown after flight: landed, or crashed when too fast; the clock
// stops either way.
void Playground::watchGround() {
  const sim::Vessel& v = vessel();
  if (!v.groundContact()) {
    // Clear of a hop on the pad first.
    if (v.altitude() > 20) airborne_ = true;
    return;
  }
  if (!airborne_) return;
  airborne_ = false;
  impact_mps_ = v.touchdownSpeed();
  double lng = 0, lat = 0, rad = 0;
  v.equPos(lng, lat, rad);
  const double dLat = sc_.target.lat_deg * kDeg, dLng = sc_.target.lng_deg * kDeg;
  const double c =
      std::sin(lat) * std::sin(dLat) + std::cos(lat) * std::cos(dLat) * std::cos(dLng - lng);
  landing_m_ = std::acos(std::clamp(c, -1.0, 1.0)) * v.body().radius();
  ended_ = impact_mps_ > kCrash_mps ? "crashed" : "landed";
  pilotOn_ = false;
  for (THGROUP_TYPE g : {THGROUP_MAIN, THGROUP_HOVER}) cockpit_.throttle(g, 0);
}

const sim::Vessel& Playground::vessel() const {
  return session_.host().world().vessel(session_.vessel());
}

void Playground::record() {
  const sim::Vessel& v = vessel();
  const double t = host().simTime();
  if (t - lastSample_ < 1.0 && t >= lastSample_) return;
  lastSample_ = t;
  double lng = 0, lat = 0, rad = 0;
  v.equPos(lng, lat, rad);
  // Distance flown over the ground: the great-circle angle from the launch site.
  const double c = std::sin(startLat_) * std::sin(lat) +
                   std::cos(startLat_) * std::cos(lat) * std::cos(lng - startLng_);
  const double range = std::acos(std::clamp(c, -1.0, 1.0)) * v.body().radius();
  if (track_.size() >= kMaxTrack) {
    std::vector<TrackPoint> thinned;
    for (std::size_t i = 0; i < track_.size(); i += 2) thinned.push_back(track_[i]);
    track_ = std::move(thinned);
  }
  track_.push_back({t, range / 1000, v.altitude() / 1000, lat / kDeg, lng / kDeg});
}

std::string Playground::status() const {
  const double goal = sc_.goal_miss_m;
  const double best = referee_.closest();
  const double aim =
      referee_.distance() < 1e299
          ? referee_.distance()
          : (vessel().position() - session_.aimPoint(sc_.target.alt_above_target_km * 1000)).norm();
  return nlohmann::json{{"on", pilotOn_},
                        {"phase", Autopilot::name(pilot_.phase())},
                        {"note", note_},
                        {"corrections", pilot_.corrections()},
                        {"aim_distance_m", aim},
                        {"closest_m", best < 1e299 ? best : -1},
                        {"closest_t_s", referee_.closestTime()},
                        {"goal_m", goal},
                        {"arrived", best <= goal},
                        {"done", !ended_.empty()},
                        {"ended", ended_},
                        {"impact_mps", impact_mps_},
                        {"landing_m", landing_m_}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Playground::track() const {
  nlohmann::json points = nlohmann::json::array();
  for (const auto& p : track_)
    points.push_back({p.t_s, p.range_km, p.alt_km, p.lat_deg, p.lng_deg});
  const sim::Body& b = vessel().body();
  const double dLat = sc_.target.lat_deg * kDeg, dLng = sc_.target.lng_deg * kDeg;
  const double c = std::sin(startLat_) * std::sin(dLat) +
                   std::cos(startLat_) * std::cos(dLat) * std::cos(dLng - startLng_);
  return nlohmann::json{{"body", sc_.body.name},
                        {"launch",
                         {{"name", sc_.vessel.base.value_or("start")},
                          {"lat_deg", sc_.vessel.lat_deg},
                          {"lng_deg", sc_.vessel.lng_deg}}},
                        {"target",
                         {{"name", sc_.target.base.value_or("target")},
                          {"lat_deg", sc_.target.lat_deg},
                          {"lng_deg", sc_.target.lng_deg},
                          {"range_km", std::acos(std::clamp(c, -1.0, 1.0)) * b.radius() / 1000},
                          {"alt_above_km", sc_.target.alt_above_target_km}}},
                        {"points", points}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace web
