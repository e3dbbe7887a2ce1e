// libFuzzer target: the fuzzer's bytes become a sequence of host events that
// drive the module's code through the simulated host (load, unload,
// displays of any size, buttons, keys, typed text, answers to dialogs whose
// display is gone, focus changes, also to nothing or to objects that are
// not vessels, time steps, vessel states anywhere). After
// every event the invariants below are checked; a violated one traps, so
// libFuzzer reports it with the input that led there.
//
// Invariants:
//  1. no text on any redrawn page contains "nan" or "inf" (any case);
//  2. a redraw leaves the number of live pens where it found it, and an
//     unloaded module leaves none of its pens behind;
//  3. a refused dialog entry changes nothing in any instance's plan record,
//     and an answer that reaches a dialog whose instance is gone (or that
//     was answered already) is taken without effect;
//  4. what one instance saved is what the next one restores (its launch
//     point only to the vessel that saved it, still in flight; its engine
//     only to a vessel that has that engine; its burn count only to that
//     vessel on the same plan; a display rebuilt with the others its own),
//     and the first instance after a load (or after a reset or a focus
//     change, which rebuilds every display) starts from the defaults;
//  5. what a display draws follows its size and the configuration file,
//     read from the drawn page as a pilot sees it: the title names the
//     mode in the language the instance was built with; on a display with
//     room for the layout every other text starts on the display and no
//     two share a place; the page number stands in the right column; a
//     restored or fresh instance shows the page it should;
//  6. the host raises no error but the ones its callers are told about
//     (display sizes out of range), and its world keeps every vessel's
//     state finite.
//
// The instances are read only through the plan record the module exports
// to every add-on (ArvexGetPlan), as another add-on would read them, and
// through the pages they draw.
//
// Replay a finding: build/fuzz/event_fuzzer <file>.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/linked_module.h"
#include "fuzz/fuzz_scene.h"
#include "fuzz/plan_probe.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "sim/units.h"

namespace {

using sim::kPi;
constexpr double kDegPerRad = ARVEX_DEG_PER_RAD;  // [deg/rad] the module's factor
constexpr int kMaxEvents = 400;                   // per input
constexpr int kMaxDisplays = 6;                   // open at once
constexpr int kMaxStepRepeats = 16;
constexpr double kMaxStep_s = 1000.0;  // [s]
// Simulated time one input may ask for in all. Long flights are the soak
// test's; here they would only make inputs slow (every vessel is integrated
// to 1e-13: some 2,000 simulated s per second in this build with three
// vessels), and an input that outlasts libFuzzer's timeout is reported as a
// finding.
constexpr double kMaxSimulated_s = 5000.0;  // [s]
constexpr int kMaxTextLength = 400;         // typed text [bytes]
constexpr int kMaxSurfaceSide = 32767;      // the host's largest display side [pixel]

std::atomic<unsigned long long> g_events{0};
std::atomic<unsigned long long> g_inputs{0};
std::atomic<unsigned long long> g_stalls{0};  // inputs ended by the world's integrator
std::filesystem::path g_configDir;

[[noreturn]] void violated(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("\n*** event_fuzzer: invariant violated: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputs("\n", stderr);
  va_end(args);
  __builtin_trap();
}

// LOBARC_FUZZ_TRACE=1 prints every event, to read what a finding did.
bool g_trace = false;
// LOBARC_FUZZ_FINITE=1 also traps when a number of an instance's plan
// record turns into NaN or infinity (a search aid: the pages hide such
// values).
bool g_finite = false;

void trace(const char* format, ...) {
  if (!g_trace) return;
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  std::fputs("\n", stderr);
  va_end(args);
}

void printCount() {
  std::fprintf(stderr, "event_fuzzer: %llu events in %llu inputs (%llu ended by the world)\n",
               g_events.load(), g_inputs.load(), g_stalls.load());
}

// The titles a display shows, by language (English, French) and mode
// (grounded, in flight), as the pilot reads them.
constexpr const char* kTitles[2][2] = {
    {"Lobarc Launch MFD/Grounded", "Lobarc Launch MFD/Not Grounded"},
    {"Lobarc Launch MFD/Au sol", "Lobarc Launch MFD/En vol"}};
// The smallest display [pixel] with room for the pages' layout: below 29
// pixels of height its rows (laid out 10 apart on a display 290 high) fall
// together, below 20 of width the grounded MECO (10 pixels left of the
// centre) starts left of the display.
constexpr int kLaidOutWidth = 20, kLaidOutHeight = 29;

// The page a display shows in flight, read from its page number: 1 for
// "2/2", 0 for "1/2" or none.
int shownPage(const sim::Surface& s) {
  for (const sim::DrawnText& t : s.texts()) {
    if (!t.title && t.bytes == "2/2") return 1;
  }
  return 0;
}

bool containsNanOrInf(const std::string& bytes) {
  std::string lower(bytes);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

// What the module keeps from a destroyed instance, read from its plan record
// just before its destruction.
struct SavedFields {
  bool tgtLatSet, tgtLngSet;
  double securityAlt, altAboveTarget, ownLatDeg, ownLngDeg, tgtLatDeg, tgtLngDeg;
  double dvRemaining;  // valid when flightMode is 0
  int flightMode;
  int flightPage;  // valid when flightMode is 1: the page it showed
  double dvToGo;   // valid when flightMode is 1
  bool useMainEngine;
  std::optional<std::size_t> vessel;  // the module's focus vessel when it saved
  bool groundSolValid;                // a grounded plan existed
};

SavedFields savedFrom(const ArvexPlan& m, int page, std::optional<std::size_t> vessel) {
  return {m.tgtLatSet != 0,
          m.tgtLngSet != 0,
          m.securityAlt,
          m.altAboveTarget,
          m.ownLatDeg,
          m.ownLngDeg,
          m.tgtLatDeg,
          m.tgtLngDeg,
          m.dvRemaining,
          m.flightMode,
          page,
          m.dvToGo,
          m.useMainEngine != 0,
          vessel,
          m.groundSolValid != 0};
}

bool samePosition(const ArvexPlan& m) {
  return m.tgtLatDeg == m.ownLatDeg && m.tgtLngDeg == m.ownLngDeg;
}

// What the next instance built should start from.
enum class Expect {
  kUnknown,   // some event may or may not have cleared the saved parameters
  kDefaults,  // nothing saved: defaults and the vessel's own position
  kRestore,   // the parameters of the instance destroyed last
};

// The simulated world refused to advance (its own limit, not the module's).
struct WorldStalled {};

struct TrackedBox {
  sim::InputBoxState box;
  int instanceSerial;  // serial of the instance that opened it, 0 if none
  int loadSerial;      // which load of the module opened it
  bool answered;       // its callback accepted an answer
};

class Harness {
 public:
  explicit Harness(FuzzedDataProvider& fdp) : fdp_(fdp) {
    std::error_code ec;
    std::filesystem::remove(g_configDir / "ArvexMFD.cfg", ec);
    host_.setConfigDir(g_configDir);
    fuzz::buildScene(host_);
    penBaseline_ = sim::livePenCount();
  }

  void run() {
    load();
    for (int n = 0; n < kMaxEvents && fdp_.remaining_bytes() > 0; ++n) {
      try {
        if (event()) ++g_events;
      } catch (const WorldStalled&) {
        ++g_stalls;
        return;  // the simulated world cannot go on; nothing of the module's
      }
      checkPages();
    }
  }

  // Pens after the host (and with it the module) is gone.
  int penBaseline() const { return penBaseline_; }

 private:
  FuzzedDataProvider& fdp_;
  sim::Host host_;
  int penBaseline_ = 0;
  double simulated_s_ = 0;  // [s] stepped so far in this input
  int moduleId_ = 0;        // 0: not loaded
  int loadSerial_ = 0;
  int nextSerial_ = 1;
  std::map<int, int> serialOf_;  // open display -> serial of its instance
  // The module's own focus vessel: the host's at every construction and
  // focus change, none after a focus on something that is not a vessel.
  std::optional<std::size_t> moduleFocus_;
  std::optional<int> language_;  // LANGUAGE item as written, if any
  // What each open display's drawing is held to: its language, fixed when
  // its instance was built, and the page its next drawing must show.
  struct Shown {
    bool english;
    std::optional<int> page;
  };
  std::map<int, Shown> shown_;
  Expect expect_ = Expect::kDefaults;
  SavedFields shadow_{};
  // What each display's last instance left, and in which run of closings
  // (closings with no construction between them): a display built in the
  // latest run takes its own back.
  struct OwnRecord {
    SavedFields fields;
    int run;
  };
  std::map<int, OwnRecord> own_;
  int closeRun_ = 0;
  bool runOpen_ = false;
  std::vector<TrackedBox> boxes_;
  int lastBoxId_ = 0;
  // Vessels holding an attitude matrix far from a rotation, and vessels whose
  // state has not been set afresh since they held one.
  std::set<const sim::Vessel*> wildAttitude_, wildState_;

  // --- helpers ----------------------------------------------------------

  // The plan record of an open display of the mode.
  ArvexPlan plan(int displayId) const {
    ArvexPlan p;
    if (!fuzz::readPlan(host_.display(displayId), p)) {
      violated("the module refused the plan record of its display %d", displayId);
    }
    return p;
  }

  std::vector<int> displays() const { return host_.openDisplays(); }

  std::optional<int> pickDisplay() {
    const auto ids = displays();
    if (ids.empty()) return std::nullopt;
    return ids[fdp_.ConsumeIntegralInRange<std::size_t>(0, ids.size() - 1)];
  }

  // Any live instance's record, to aim vessel states and texts at its numbers.
  std::optional<ArvexPlan> pickInstance() {
    const auto id = pickDisplay();
    if (!id) return std::nullopt;
    return plan(*id);
  }

  std::map<int, ArvexPlan> snapshots() const {
    std::map<int, ArvexPlan> all;
    for (int id : displays()) all.emplace(id, plan(id));
    return all;
  }

  void expectUnchanged(const std::map<int, ArvexPlan>& before, const char* what) {
    for (const auto& [id, snap] : before) {
      if (!host_.isOpen(id)) violated("%s closed display %d", what, id);
      if (const char* field = fuzz::firstDifference(snap, plan(id))) {
        violated("%s changed field %s of display %d", what, field, id);
      }
    }
  }

  sim::Vessel& focusVessel() { return host_.world().vessel(*host_.focus()); }

  // --- instance life -------------------------------------------------------

  // The page a display shows, read from its latest drawing (every display is
  // redrawn after every event).
  int pageShown(int displayId) { return shownPage(host_.surface(displayId)); }

  void instanceDestroyed(int displayId, const ArvexPlan& mfd) {
    shadow_ = savedFrom(mfd, pageShown(displayId), moduleFocus_);
    expect_ = Expect::kRestore;
    if (!runOpen_) ++closeRun_;
    runOpen_ = true;
    own_[displayId] = {shadow_, closeRun_};
    serialOf_.erase(displayId);
    shown_.erase(displayId);
  }

  void instanceBuilt(int displayId) {
    const ArvexPlan m = plan(displayId);
    serialOf_[displayId] = nextSerial_++;
    moduleFocus_ = host_.focus();
    expectDrawing(displayId);
    runOpen_ = false;
    const auto own = own_.find(displayId);
    if (own != own_.end() && own->second.run == closeRun_) {
      checkRestored(displayId, m, own->second.fields);
      if (m.tgtLatSet != 0 && m.tgtLngSet != 0 && samePosition(m)) expect_ = Expect::kDefaults;
    } else if (expect_ == Expect::kRestore) {
      checkRestored(displayId, m, shadow_);
      // A restored target on the restored position clears the saved state.
      if (m.tgtLatSet != 0 && m.tgtLngSet != 0 && samePosition(m)) expect_ = Expect::kDefaults;
    } else if (expect_ == Expect::kDefaults) {
      checkDefaults(m);
    }
  }

  // A new instance speaks the language the configuration file gives now
  // (English for 0, absent or unreadable) and starts on its first page
  // unless it restores another.
  void expectDrawing(int displayId, int page = 0) {
    shown_[displayId] = {!language_ || *language_ == 0, page};
  }

  // What a redrawn display shows, against what its instance must show.
  void checkDrawing(int id, const sim::Surface& s, const ArvexPlan& m) {
    const auto expected = shown_.find(id);
    if (expected == shown_.end()) violated("display %d was never built", id);
    const char* title = kTitles[expected->second.english ? 0 : 1][m.flightMode == 1 ? 1 : 0];
    const sim::DrawnText* drawnTitle = nullptr;
    const sim::DrawnText* pageNumber = nullptr;
    std::set<std::pair<int, int>> places;
    for (const sim::DrawnText& t : s.texts()) {
      if (t.title) {
        drawnTitle = &t;
        continue;
      }
      if (t.bytes == "1/2" || t.bytes == "2/2") pageNumber = &t;
      if (s.width() < kLaidOutWidth || s.height() < kLaidOutHeight) continue;
      if (t.x < 0 || t.x >= s.width() || t.y < 0 || t.y >= s.height()) {
        violated("display %d (%d x %d): \"%s\" starts at %d, %d, off the display", id, s.width(),
                 s.height(), t.bytes.c_str(), t.x, t.y);
      }
      if (!places.insert({t.x, t.y}).second) {
        violated("display %d (%d x %d): \"%s\" drawn over another text at %d, %d", id, s.width(),
                 s.height(), t.bytes.c_str(), t.x, t.y);
      }
    }
    if (drawnTitle == nullptr || drawnTitle->bytes != title) {
      violated("display %d: title \"%s\", expected \"%s\"", id,
               drawnTitle ? drawnTitle->bytes.c_str() : "(none)", title);
    }
    // Page 1/2 shows its number with a solution only; 2/2 always.
    if (m.flightMode == 1 && (m.flightSolValid != 0 || shownPage(s) == 1) &&
        (pageNumber == nullptr || pageNumber->x != s.width() / 2)) {
      violated("display %d (%d x %d): in flight without its page number in the right column", id,
               s.width(), s.height());
    }
    if (expected->second.page) {
      if (shownPage(s) != *expected->second.page) {
        violated("display %d shows page %d, expected %d", id, shownPage(s) + 1,
                 *expected->second.page + 1);
      }
      expected->second.page.reset();
    }
  }

  void checkRestored(int displayId, const ArvexPlan& m, const SavedFields& s) {
    using fuzz::sameBits;
    // The engine where the vessel has it, else the one the vessel has.
    const bool engine =
        (s.useMainEngine ? m.hasMain : m.hasHover) != 0 ? s.useMainEngine : m.hasMain != 0;
    const bool same =
        (m.tgtLatSet != 0) == s.tgtLatSet && (m.tgtLngSet != 0) == s.tgtLngSet &&
        sameBits(m.securityAlt, s.securityAlt) && sameBits(m.altAboveTarget, s.altAboveTarget) &&
        sameBits(m.tgtLatDeg, s.tgtLatDeg) && sameBits(m.tgtLngDeg, s.tgtLngDeg) &&
        m.flightMode == s.flightMode && (m.useMainEngine != 0) == engine && m.targetBase == nullptr;
    if (!same) violated("the new instance did not restore the saved target, altitudes or mode");
    const bool radians = sameBits(m.tgtLat, s.tgtLatDeg / kDegPerRad) &&
                         sameBits(m.tgtLng, s.tgtLngDeg / kDegPerRad);
    if (!radians) violated("restored radians are not the saved degrees over the module factor");
    // The launch point: kept for the vessel that saved it while it flies,
    // otherwise where the focus vessel is now.
    sim::Vessel& v = focusVessel();
    if (s.vessel == host_.focus() && !v.groundContact()) {
      if (!sameBits(m.ownLatDeg, s.ownLatDeg) || !sameBits(m.ownLngDeg, s.ownLngDeg) ||
          !sameBits(m.ownLat, s.ownLatDeg / kDegPerRad) ||
          !sameBits(m.ownLng, s.ownLngDeg / kDegPerRad)) {
        violated("the vessel that saved its launch point, in flight, did not get it back");
      }
    } else if (!atVessel(m, v)) {
      violated("a restored instance does not plan from where its vessel is");
    }
    if (s.flightMode == 1) {
      if (!sameBits(m.dvToGo, s.dvToGo)) {
        violated("restored dvToGo %g, saved dvToGo %g", m.dvToGo, s.dvToGo);
      }
      expectDrawing(displayId, s.flightPage);
    } else if (s.flightMode == 0) {
      double expected = s.dvRemaining;
      if (m.tgtLatSet != 0 && m.tgtLngSet != 0) expected = samePosition(m) ? 0.0 : m.launchSpeed;
      // The same vessel on the same plan goes on counting.
      const bool samePlan = m.flightMode == 0 && m.groundSolValid != 0 && s.groundSolValid &&
                            s.vessel == host_.focus() && sameBits(m.ownLatDeg, s.ownLatDeg) &&
                            sameBits(m.ownLngDeg, s.ownLngDeg) && !samePosition(m);
      if (samePlan) expected = s.dvRemaining;
      if (!sameBits(m.dvRemaining, expected)) {
        violated("restored grounded dvRemaining %g (expected %g)", m.dvRemaining, expected);
      }
    }
  }

  // The instance's launch point is the point under the vessel.
  static bool atVessel(const ArvexPlan& m, sim::Vessel& v) {
    double lng = 0, lat = 0, radius = 0;
    v.equPos(lng, lat, radius);
    return fuzz::sameBits(m.ownLat, lat) && fuzz::sameBits(m.ownLng, lng) &&
           fuzz::sameBits(m.ownLatDeg, lat * kDegPerRad) &&
           fuzz::sameBits(m.ownLngDeg, lng * kDegPerRad);
  }

  void checkDefaults(const ArvexPlan& m) {
    sim::Vessel& v = focusVessel();
    const bool ok =
        m.tgtLatSet == 0 && m.tgtLngSet == 0 && m.targetBase == nullptr && m.securityAlt == 40000 &&
        m.altAboveTarget == 5000 && m.tgtLatDeg == 0 && m.tgtLngDeg == 0 && atVessel(m, v) &&
        m.flightMode == (v.groundContact() ? 0 : 1) &&
        m.hasMain == (v.hasGroup(THGROUP_MAIN) ? 1 : 0) && m.useMainEngine == m.hasMain &&
        m.hasHover == (v.hasGroup(THGROUP_HOVER) ? 1 : 0) && m.groundSolValid == 0 &&
        m.flightSolValid == 0 && m.dvRemaining == 0;
    if (!ok) violated("the first instance after a load or reset did not start from defaults");
  }

  // An event that may have run a recompute: one on the vessel's own
  // position clears the saved parameters.
  void mayHaveRecomputed() {
    for (int id : displays()) {
      if (samePosition(plan(id))) expect_ = Expect::kUnknown;
    }
  }

  // --- invariants after every event --------------------------------------

  // The burn law's integral and the solver's parameter are not in the
  // record; a NaN in them reaches pitchCmd and reqVel, which are.
  void checkFinite(int id, const ArvexPlan& m) {
    const double values[] = {m.surfaceGravity,    m.heading,          m.launchAngle,
                             m.launchSpeed,       m.dvRemaining,      m.vTan,
                             m.apoAltitude,       m.dvToGo,           m.flightPathAngle,
                             m.actualPitch,       m.pitchCmd,         m.reqVel[0],
                             m.reqVel[1],         m.reqVel[2],        m.launchVelocity[0],
                             m.launchVelocity[1], m.launchVelocity[2]};
    for (std::size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
      if (!std::isfinite(values[i])) violated("display %d: value %zu is %g", id, i, values[i]);
    }
  }

  // The host's own side: a world given finite states keeps them finite.
  void checkWorld() {
    sim::World& w = host_.world();
    for (std::size_t i = 0; i < w.vesselCount(); ++i) {
      // An attitude "matrix" with entries near the largest double turns any
      // thrust into infinity: garbage in, not the world's fault.
      if (wildState_.count(&w.vessel(i)) != 0) continue;
      const sim::Vec3 p = w.vessel(i).position(), v = w.vessel(i).velocity();
      if (!(p.allFinite() && v.allFinite())) {
        violated("the world's state of %s is not finite", w.vessel(i).spec().name.c_str());
      }
    }
  }

  void checkPages() {
    checkWorld();
    for (int id : displays()) {
      const ArvexPlan m = plan(id);
      if (g_finite) checkFinite(id, m);
      const int pens = sim::livePenCount();
      const sim::Surface& surface = host_.redraw(id);
      if (sim::livePenCount() != pens) {
        violated("redraw of display %d left %d live pens, found %d", id, sim::livePenCount(), pens);
      }
      for (const sim::DrawnText& t : surface.texts()) {
        if (containsNanOrInf(t.bytes)) violated("display %d shows \"%s\"", id, t.bytes.c_str());
      }
      checkDrawing(id, surface, m);
    }
  }

  // New boxes belong to the display whose key opened them.
  void trackNewBoxes() {
    if (!host_.hasInputBox()) return;
    const sim::InputBoxState& b = *host_.inputBox();
    if (b.id <= lastBoxId_) return;
    lastBoxId_ = b.id;
    const auto it = serialOf_.find(b.displayId);
    boxes_.push_back({b, it == serialOf_.end() ? 0 : it->second, loadSerial_, false});
  }

  bool boxIsOpen(int boxId) const { return host_.hasInputBox() && host_.inputBox()->id == boxId; }

  bool instanceLives(int serial) const {
    for (const auto& [id, s] : serialOf_) {
      if (s == serial) return true;
    }
    return false;
  }

  // --- text and numbers ------------------------------------------------------

  std::string formatNumber(double x) {
    static const char* const kFormats[] = {"%.17g", "%g", "%f", "%.3f", "%a", "%e"};
    char buffer[512];
    const char* format = kFormats[fdp_.ConsumeIntegralInRange<int>(0, 5)];
    std::snprintf(buffer, sizeof buffer, format, x);
    return buffer;
  }

  // A number the module may meet as an entry: its own position, a target,
  // their antipodes, the range ends and one step past them.
  double interestingNumber() {
    const std::optional<ArvexPlan> m = pickInstance();
    const double ownLat = m ? m->ownLatDeg : 0, ownLng = m ? m->ownLngDeg : 0;
    const double tgtLat = m ? m->tgtLatDeg : 0, tgtLng = m ? m->tgtLngDeg : 0;
    const double values[] = {ownLat,
                             ownLng,
                             -ownLat,
                             ownLng > 0 ? ownLng - 180 : ownLng + 180,
                             tgtLat,
                             tgtLng,
                             90,
                             -90,
                             180,
                             -180,
                             std::nextafter(90.0, 100.0),
                             std::nextafter(-180.0, -200.0),
                             kPi / 2 * kDegPerRad,
                             kPi * kDegPerRad,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             1e6,
                             1e6 + 1};
    constexpr std::size_t n = sizeof values / sizeof values[0];
    return values[fdp_.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
  }

  std::string typedText() {
    static const char* const kWords[] = {
        "",           " ",          "0",           "-0",
        "+0",         "90",         "-90",         "90.01",
        "-90.01",     "180",        "-180",        "180.5",
        "-180.5",     "1e308",      "-1e308",      "1e999",
        "-1e999",     "nan",        "NaN(0x1)",    "-nan",
        "inf",        "-INF",       "infinity",    "0x1p-1074",
        "4.9e-324",   "12.7",       "2.9",         " \t40",
        "40km",       "1000000",    "1000001",     "-1",
        "2147483647", "2147483648", "-2147483649", "99999999999999999999999999999",
        "Apollo11",   "apollo11",   "APOLLO17",    "North",
        "South",      "Dateline",   "Westline",    "Origin",
        "Olympus",    "Canaveral",  "Apollo11 ",   "\xE9",
        "+-1",        "--1",        "1e",          ".",
        "0.",         "1,5",        "\x80\xFF"};
    constexpr std::size_t n = sizeof kWords / sizeof kWords[0];
    switch (fdp_.ConsumeIntegralInRange<int>(0, 4)) {
      case 0:
        return kWords[fdp_.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
      case 1:
        return fdp_.ConsumeRandomLengthString(kMaxTextLength);
      case 2:
        return formatNumber(interestingNumber());
      case 3:
        return formatNumber(fdp_.ConsumeFloatingPoint<double>());
      default: {
        std::string word = kWords[fdp_.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
        return word + fdp_.ConsumeRandomLengthString(kMaxTextLength);
      }
    }
  }

  // A place on the focus vessel's body [rad]: anywhere, a pole, the
  // +-180 deg meridian, exactly over an instance's target or its antipode,
  // an instance's own stored position, a base, or any finite pair.
  void pickPlace(const sim::Vessel& v, double& lat, double& lng) {
    const std::optional<ArvexPlan> m = pickInstance();
    const int where = fdp_.ConsumeIntegralInRange<int>(0, 7);
    if (m) {
      trace("  place %d; instance: own %.17g %.17g, target %.17g %.17g", where, m->ownLat,
            m->ownLng, m->tgtLat, m->tgtLng);
    }
    switch (where) {
      case 0:
        lat = fdp_.ConsumeFloatingPointInRange(-kPi / 2, kPi / 2);
        lng = fdp_.ConsumeFloatingPointInRange(-kPi, kPi);
        break;
      case 1: {
        const double pole = fdp_.ConsumeBool() ? kPi / 2 : 90 / kDegPerRad;
        lat = fdp_.ConsumeBool() ? pole : -pole;
        lng = fdp_.ConsumeFloatingPointInRange(-kPi, kPi);
        break;
      }
      case 2: {
        const double edge = fdp_.ConsumeBool() ? kPi : 180 / kDegPerRad;
        lat = fdp_.ConsumeFloatingPointInRange(-kPi / 2, kPi / 2);
        lng = fdp_.ConsumeBool() ? edge : -edge;
        break;
      }
      case 3:
        lat = m ? m->tgtLat : 0;
        lng = m ? m->tgtLng : 0;
        break;
      case 4:
        lat = m ? -m->tgtLat : 0;
        lng = m ? (m->tgtLng > 0 ? m->tgtLng - kPi : m->tgtLng + kPi) : kPi;
        break;
      case 5:
        lat = m ? m->ownLat : 0;
        lng = m ? m->ownLng : 0;
        break;
      case 6: {
        const auto& bases = v.body().spec().bases;
        const auto& b = bases[fdp_.ConsumeIntegralInRange<std::size_t>(0, bases.size() - 1)];
        lat = b.lat_rad;
        lng = b.lng_rad;
        break;
      }
      default:
        lat = fdp_.ConsumeFloatingPoint<double>();
        lng = fdp_.ConsumeFloatingPoint<double>();
        break;
    }
    // An instance fed by a vessel in a wild attitude may hold NaN; the world
    // takes finite places only.
    if (!std::isfinite(lat) || !std::isfinite(lng)) lat = lng = 0;
  }

  sim::Vessel& pickVessel() {
    sim::World& w = host_.world();
    return w.vessel(fdp_.ConsumeIntegralInRange<std::size_t>(0, w.vesselCount() - 1));
  }

  // --- events ----------------------------------------------------------------

  enum Op {
    kLoad,
    kUnload,
    kOpen,
    kClose,
    kRebuild,
    kRebuildAll,
    kButton,
    kKey,
    kTypeNewest,
    kAnswerBox,
    kCancelBox,
    kLateAnswer,
    kForgedAnswer,
    kFocus,
    kStep,
    kLand,
    kFly,
    kSetState,
    kAttitude,
    kThrottle,
    kLanguage,
    kOpCount
  };

  // One event; false if it found nothing to act on.
  bool event() {
    switch (fdp_.ConsumeIntegralInRange<int>(0, kOpCount - 1)) {
      case kLoad:
        return load();
      case kUnload:
        return unload();
      case kOpen:
        return open();
      case kClose:
        return close();
      case kRebuild:
        return rebuild();
      case kRebuildAll:
        return rebuildAll();
      case kButton:
        return button();
      case kKey:
        return key();
      case kTypeNewest:
        return typeNewest();
      case kAnswerBox:
        return answerBox();
      case kCancelBox:
        if (!host_.hasInputBox()) return false;
        trace("cancel the newest box");
        host_.cancelInputBox();
        return true;
      case kLateAnswer:
        return lateAnswer();
      case kForgedAnswer:
        return forgedAnswer();
      case kFocus:
        return focus();
      case kStep:
        return step();
      case kLand: {
        sim::Vessel& v = pickVessel();
        double lat = 0, lng = 0;
        pickPlace(v, lat, lng);
        trace("land %s at %.17g %.17g", v.spec().name.c_str(), lat, lng);
        v.landAt(lat, lng);
        wildAttitude_.erase(&v);  // landing levels the attitude too
        wildState_.erase(&v);
        return true;
      }
      case kFly:
        return fly();
      case kSetState:
        return setState();
      case kAttitude:
        return attitude();
      case kThrottle: {
        sim::Vessel& v = pickVessel();
        const auto group = static_cast<THGROUP_TYPE>(fdp_.ConsumeIntegralInRange<int>(0, 2));
        double level = fdp_.ConsumeFloatingPoint<double>();
        if (fdp_.ConsumeBool()) level = fdp_.ConsumeProbability<double>();
        trace("throttle %s group %d level %g", v.spec().name.c_str(), group, level);
        v.setLevel(group, level);
        return true;
      }
      default:
        return writeLanguage();
    }
  }

  bool load() {
    if (moduleId_ != 0) return false;
    const int pens = sim::livePenCount();
    // The module's code is linked in, so that libFuzzer sees its coverage;
    // it is attached with its library entry, as a loaded library is. Its
    // state is not zeroed again at the next load, which the module must cope
    // with too.
    moduleId_ = host_.attachModule(lobarc::linkedModuleEntries(true), "ArvexMFD");
    trace("load");
    ++loadSerial_;
    if (pens != penBaseline_) violated("pens before load %d, baseline %d", pens, penBaseline_);
    // The version is the build date's integer, the same at every call.
    const auto version = host_.moduleEntries(moduleId_).getModuleVersion;
    if (version == nullptr || version() != 20060425 || version() != 20060425) {
      violated("GetModuleVersion is missing or not the build date's 20060425");
    }
    // A fresh load has no saved parameters, for no display.
    expect_ = Expect::kDefaults;
    own_.clear();
    return true;
  }

  bool unload() {
    if (moduleId_ == 0) return false;
    for (int id : displays()) {
      instanceDestroyed(id, plan(id));  // the last one is what the module saves
    }
    trace("unload");
    host_.unloadModule(moduleId_);
    moduleId_ = 0;
    serialOf_.clear();
    shown_.clear();
    if (!displays().empty()) violated("displays left open after the unload");
    if (sim::livePenCount() != penBaseline_) {
      violated("%d pens left after the unload (baseline %d)", sim::livePenCount(), penBaseline_);
    }
    return true;
  }

  int displaySide() {
    switch (fdp_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        return fdp_.ConsumeIntegral<std::uint16_t>();
      case 1:
        return fdp_.ConsumeIntegralInRange<int>(0, 64);
      case 2:
        return fdp_.ConsumeBool() ? 32767 : 65535;
      default:
        return fdp_.ConsumeIntegralInRange<int>(100, 1200);
    }
  }

  static bool inRange(int side) { return side >= 1 && side <= kMaxSurfaceSide; }

  bool open() {
    if (moduleId_ == 0 || static_cast<int>(displays().size()) >= kMaxDisplays) return false;
    const int width = displaySide();
    const int height = displaySide();
    int id = -1;
    trace("open %d x %d", width, height);
    try {
      id = host_.openDisplay("Lobarc Launch", width, height);
    } catch (const sim::HostError&) {
      // The only refusal the host announces: a side outside 1 .. the
      // drawing surface's largest.
      if (inRange(width) && inRange(height)) throw;
      return true;
    }
    if (id < 0) violated("the module refused a %d x %d display", width, height);
    instanceBuilt(id);
    return true;
  }

  bool close() {
    const auto id = pickDisplay();
    if (!id) return false;
    trace("close display %d", *id);
    instanceDestroyed(*id, plan(*id));
    host_.closeDisplay(*id);
    return true;
  }

  bool rebuild() {
    const auto id = pickDisplay();
    if (!id) return false;
    trace("rebuild display %d", *id);
    instanceDestroyed(*id, plan(*id));
    host_.rebuildDisplay(*id);
    if (!host_.isOpen(*id)) violated("the module refused to rebuild display %d", *id);
    instanceBuilt(*id);
    return true;
  }

  // A change of view or panel: every display closes, then every one opens.
  bool rebuildAll() {
    if (displays().empty()) return false;
    trace("rebuild every display");
    const std::vector<int> ids = displays();
    for (int id : ids) instanceDestroyed(id, plan(id));
    host_.rebuildAllDisplays();
    for (int id : ids) {
      if (!host_.isOpen(id)) violated("the module refused to rebuild display %d", id);
      instanceBuilt(id);
    }
    return true;
  }

  // Bookkeeping after a key of display `id` ran its action.
  void keyRan(int id, DWORD key) {
    trackNewBoxes();
    if (key == 19) {
      // The reset clears the saved parameters; with no vessel in the
      // module's focus it does nothing.
      if (moduleFocus_) expect_ = Expect::kDefaults;
    } else if (key == 31) {
      mayHaveRecomputed();
    }
    (void)id;
  }

  bool button() {
    const auto id = pickDisplay();
    if (!id) return false;
    const int bt =
        fdp_.ConsumeBool() ? fdp_.ConsumeIntegralInRange<int>(-1, 12) : fdp_.ConsumeIntegral<int>();
    const int ev =
        fdp_.ConsumeBool() ? fdp_.ConsumeIntegralInRange<int>(0, 3) : fdp_.ConsumeIntegral<int>();
    static constexpr DWORD kKeys[12] = {20, 38, 49, 44, 48, 19, 31, 17, 18, 17, 17, 25};
    host_.buttonLabel(*id, bt);
    const MFDBUTTONMENU* menu = nullptr;
    // Through the host's own view of the display, as the host asks it.
    if (host_.display(*id)->ButtonMenu(fdp_.ConsumeBool() ? &menu : nullptr) != 12) {
      violated("ButtonMenu did not report 12 buttons");
    }
    trace("button %d event %d on display %d", bt, ev, *id);
    host_.buttonEvent(*id, bt, ev);
    if ((ev & 1) != 0 && bt >= 0 && bt < 12) keyRan(*id, kKeys[bt]);
    return true;
  }

  bool key() {
    const auto id = pickDisplay();
    if (!id) return false;
    static constexpr DWORD kKeys[] = {17, 18, 19, 20, 25, 31, 38, 44, 48, 49, 0, 33};
    const DWORD k = fdp_.ConsumeBool() ? kKeys[fdp_.ConsumeIntegralInRange<std::size_t>(0, 11)]
                                       : fdp_.ConsumeIntegral<std::uint32_t>();
    trace("key %u on display %d", k, *id);
    host_.pressKey(*id, k);
    keyRan(*id, k);
    return true;
  }

  // An answer that the module took: the entry may have recomputed the plan.
  void answered(int boxId) {
    for (TrackedBox& t : boxes_) {
      if (t.box.id == boxId) t.answered = true;
    }
    mayHaveRecomputed();
  }

  // Typed into the open box, which may have outlived its display: then the
  // answer is taken and changes nothing.
  bool typeNewest() {
    if (!host_.hasInputBox()) return false;
    const int boxId = host_.inputBox()->id;
    const std::string text = typedText();
    trace("type \"%s\" into box %d", text.c_str(), boxId);
    const auto before = snapshots();
    bool orphan = false;
    for (const TrackedBox& t : boxes_) {
      if (t.box.id == boxId && t.instanceSerial != 0 && t.loadSerial == loadSerial_ &&
          !instanceLives(t.instanceSerial))
        orphan = true;
    }
    const bool accepted = host_.typeInput(text);
    if (orphan) {
      if (!accepted) violated("an answer to box %d, whose display is gone, was refused", boxId);
      expectUnchanged(before, "an answer to a box whose display is gone");
    } else if (accepted) {
      answered(boxId);
    } else {
      expectUnchanged(before, "a refused entry");
    }
    return true;
  }

  // Calls a box's callback the way the host does, with a writable copy.
  bool callBack(const sim::InputBoxState& box, const std::string& text, void* usrdata) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    void* identity = reinterpret_cast<void*>(static_cast<std::uintptr_t>(box.id));
    return box.callback(identity, buffer.data(), usrdata);
  }

  // An answer to the open box through its callback, as the host gives it.
  bool answerBox() {
    if (!host_.hasInputBox()) return false;
    const sim::InputBoxState box = *host_.inputBox();
    const std::string text = typedText();
    trace("answer \"%s\" to box %d", text.c_str(), box.id);
    const auto before = snapshots();
    if (callBack(box, text, box.usrdata)) {
      answered(box.id);
    } else {
      expectUnchanged(before, "a refused entry");
    }
    return true;
  }

  // An answer that arrives after its instance was destroyed, or after the
  // box was answered already: taken, and without effect.
  bool lateAnswer() {
    std::vector<const TrackedBox*> late;
    for (const TrackedBox& t : boxes_) {
      if (t.loadSerial != loadSerial_ || moduleId_ == 0) continue;
      if (t.answered || !instanceLives(t.instanceSerial)) late.push_back(&t);
    }
    if (late.empty()) return false;
    const TrackedBox& t = *late[fdp_.ConsumeIntegralInRange<std::size_t>(0, late.size() - 1)];
    if (boxIsOpen(t.box.id) && !t.answered) return false;  // still the host's to answer
    const std::string text = typedText();
    trace("late answer \"%s\" to box %d", text.c_str(), t.box.id);
    const auto before = snapshots();
    if (!callBack(t.box, text, t.box.usrdata)) {
      violated("a late answer to box %d was refused", t.box.id);
    }
    expectUnchanged(before, "a late answer");
    return true;
  }

  // A callback of the module called with user data it never issued (or
  // issued to someone else): whatever it does, a refusal changes nothing.
  bool forgedAnswer() {
    if (moduleId_ == 0) return false;
    std::vector<const TrackedBox*> ours;
    for (const TrackedBox& t : boxes_) {
      if (t.loadSerial == loadSerial_) ours.push_back(&t);
    }
    if (ours.empty()) return false;
    const TrackedBox& t = *ours[fdp_.ConsumeIntegralInRange<std::size_t>(0, ours.size() - 1)];
    void* usrdata = reinterpret_cast<void*>(fdp_.ConsumeIntegral<std::uintptr_t>());
    const std::string text = typedText();
    trace("forged answer \"%s\" with user data %p", text.c_str(), usrdata);
    const auto before = snapshots();
    if (callBack(t.box, text, usrdata)) {
      mayHaveRecomputed();
    } else {
      expectUnchanged(before, "a refused forged answer");
    }
    return true;
  }

  // A focus change: to any vessel through the host, or, as a host might
  // send it, to nothing, a body or a base (objects without a vessel
  // interface) straight to the module's hook.
  bool focus() {
    const std::size_t count = host_.world().vesselCount();
    const std::size_t index = fdp_.ConsumeIntegralInRange<std::size_t>(0, count + 2);
    if (index >= count) return focusNonVessel(index - count);
    const bool change = host_.focus() != index;
    trace("focus vessel %zu", index);
    // A change rebuilds every display before the module hears of it.
    std::vector<int> rebuilt;
    if (change) {
      rebuilt = displays();
      for (int id : rebuilt) instanceDestroyed(id, plan(id));
    }
    host_.setFocus(index);
    if (change && moduleId_ != 0) {
      moduleFocus_ = index;
      // A new focus resets every open instance, saved parameters too, and
      // what every display kept.
      if (!rebuilt.empty()) {
        expect_ = Expect::kDefaults;
        own_.clear();
      }
      for (int id : rebuilt) {
        if (!host_.isOpen(id)) violated("the module refused to rebuild display %d", id);
        serialOf_[id] = nextSerial_++;
        runOpen_ = false;
        expectDrawing(id);
        checkDefaults(plan(id));
      }
    }
    return true;
  }

  bool focusNonVessel(std::size_t kind) {
    if (moduleId_ == 0) return false;
    const auto focusChanged = host_.moduleEntries(moduleId_).focusChanged;
    if (focusChanged == nullptr) return false;
    OBJHANDLE object = nullptr;
    const int body =
        fdp_.ConsumeIntegralInRange<int>(0, static_cast<int>(host_.world().bodyCount()) - 1);
    if (kind == 1) object = host_.bodyHandle(body);
    if (kind == 2) object = host_.baseHandle(body, 0);
    const OBJHANDLE previous = fdp_.ConsumeBool() ? host_.focusHandle() : nullptr;
    trace("focus on %s (no vessel), previous %p",
          kind == 0   ? "nothing"
          : kind == 1 ? "a body"
                      : "a base",
          previous);
    const auto before = snapshots();
    focusChanged(object, previous);
    moduleFocus_.reset();
    // No vessel to read: every open display stays as it was.
    expectUnchanged(before, "a focus on no vessel");
    return true;
  }

  bool step() {
    static constexpr double kSteps[] = {
        std::numeric_limits<double>::denorm_min(), 1e-9, 1e-3, 0.02, 0.1, 1, 10, 100, kMaxStep_s};
    double dt = fdp_.ConsumeBool() ? kSteps[fdp_.ConsumeIntegralInRange<std::size_t>(0, 8)]
                                   : fdp_.ConsumeFloatingPointInRange<double>(0, kMaxStep_s);
    if (!(dt > 0)) dt = std::numeric_limits<double>::denorm_min();
    const int repeats = fdp_.ConsumeIntegralInRange<int>(1, kMaxStepRepeats);
    trace("step %g s x %d", dt, repeats);
    for (int i = 0; i < repeats && simulated_s_ + dt <= kMaxSimulated_s; ++i) {
      simulated_s_ += dt;
      try {
        host_.step(dt);
      } catch (const std::runtime_error& e) {
        // The world's integrator gives up on some states (a vessel thrusting
        // while it holds a horizon attitude right over a pole, where the
        // horizon turns under it); the host then throws before any hook runs.
        if (std::string(e.what()).rfind("Vessel::advance", 0) == 0) throw WorldStalled{};
        throw;
      }
    }
    return true;
  }

  bool fly() {
    sim::Vessel& v = pickVessel();
    const double R = v.body().radius();
    double lat = 0, lng = 0;
    pickPlace(v, lat, lng);
    double altitude = 0;
    switch (fdp_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        altitude = fdp_.ConsumeFloatingPointInRange(-R, 10 * R);
        break;
      case 1: {
        const std::optional<ArvexPlan> m = pickInstance();
        altitude = m ? m->altAboveTarget : 5000;  // exactly the aim point
        break;
      }
      case 2:
        altitude = 0;
        break;
      default:
        altitude = fdp_.ConsumeFloatingPointInRange(0.0, 1e5);
        break;
    }
    double east = 0, north = 0, up = 0;
    if (fdp_.ConsumeBool()) {
      east = fdp_.ConsumeFloatingPointInRange(-2e4, 2e4);
      north = fdp_.ConsumeFloatingPointInRange(-2e4, 2e4);
      up = fdp_.ConsumeFloatingPointInRange(-2e4, 2e4);
    } else if (R + altitude > 0) {
      east = std::sqrt(v.body().mu() / (R + altitude));  // a circular orbit
    }
    trace("fly %s at %.17g %.17g altitude %.17g velocity %g %g %g", v.spec().name.c_str(), lat, lng,
          altitude, east, north, up);
    v.placeInFlight(lat, lng, altitude, east, north, up);
    if (wildAttitude_.count(&v) == 0) wildState_.erase(&v);  // a new, finite state
    return true;
  }

  bool setState() {
    sim::Vessel& v = pickVessel();
    const double span = 20 * v.body().radius();  // [m]
    sim::Vec3 pos = sim::Vec3::Zero();           // [m] the body's centre unless drawn
    sim::Vec3 vel;                               // [m/s]
    if (fdp_.ConsumeBool()) {
      pos = {fdp_.ConsumeFloatingPointInRange(-span, span),
             fdp_.ConsumeFloatingPointInRange(-span, span),
             fdp_.ConsumeFloatingPointInRange(-span, span)};
    }  // else the body's centre
    vel = {fdp_.ConsumeFloatingPointInRange(-1e5, 1e5), fdp_.ConsumeFloatingPointInRange(-1e5, 1e5),
           fdp_.ConsumeFloatingPointInRange(-1e5, 1e5)};
    trace("state of %s: %g %g %g, %g %g %g", v.spec().name.c_str(), pos.x(), pos.y(), pos.z(),
          vel.x(), vel.y(), vel.z());
    v.setState(pos, vel);
    if (wildAttitude_.count(&v) == 0) wildState_.erase(&v);  // a new, finite state
    return true;
  }

  bool attitude() {
    sim::Vessel& v = pickVessel();
    if (fdp_.ConsumeBool()) {
      const double heading = fdp_.ConsumeFloatingPointInRange(-10.0, 10.0);
      const double pitch = fdp_.ConsumeFloatingPointInRange(-10.0, 10.0);
      const double bank = fdp_.ConsumeFloatingPointInRange(-10.0, 10.0);
      trace("attitude of %s: heading %g pitch %g bank %g", v.spec().name.c_str(), heading, pitch,
            bank);
      v.setHorizonAttitude(heading, pitch, bank);
      wildAttitude_.erase(&v);
    } else {
      // Any finite matrix, rotation or not.
      sim::Mat3 m;
      // Wild entries make the host's own attitude angles NaN, which the
      // finite-value search aid would take for the module's.
      const bool wild = fdp_.ConsumeBool() && !g_finite;
      for (int e = 0; e < 9; ++e) {  // row by row
        m(e / 3, e % 3) = wild ? fdp_.ConsumeFloatingPoint<double>()
                               : fdp_.ConsumeFloatingPointInRange(-1.0, 1.0);
      }
      trace("rotation of %s: %g %g %g / %g %g %g / %g %g %g", v.spec().name.c_str(), m(0, 0),
            m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), m(2, 0), m(2, 1), m(2, 2));
      v.setRotation(m);
      if (wild) {
        wildAttitude_.insert(&v);
        wildState_.insert(&v);
      } else {
        wildAttitude_.erase(&v);
      }
    }
    return true;
  }

  bool writeLanguage() {
    std::error_code ec;
    const auto file = g_configDir / "ArvexMFD.cfg";
    switch (fdp_.ConsumeIntegralInRange<int>(0, 2)) {
      case 0:
        trace("no configuration file");
        std::filesystem::remove(file, ec);
        language_.reset();
        break;
      case 1: {
        const int n = fdp_.ConsumeBool() ? fdp_.ConsumeIntegralInRange<int>(-1, 2)
                                         : fdp_.ConsumeIntegral<int>();
        std::ofstream(file) << "LANGUAGE = " << n << "\n";
        language_ = n;
        trace("LANGUAGE = %d", n);
        break;
      }
      default:
        // Not an integer: the host's reader does not take it.
        std::ofstream(file) << "LANGUAGE = x" << fdp_.ConsumeRandomLengthString(20) << "\n";
        language_.reset();
        break;
    }
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* traceEnv = std::getenv("LOBARC_FUZZ_TRACE");
  g_trace = traceEnv != nullptr && *traceEnv != '\0' && *traceEnv != '0';
  const char* finiteEnv = std::getenv("LOBARC_FUZZ_FINITE");
  g_finite = finiteEnv != nullptr && *finiteEnv != '\0' && *finiteEnv != '0';
  g_configDir = std::filesystem::temp_directory_path() /
                ("lobarc-fuzz-" + std::to_string(static_cast<long>(getpid())));
  std::filesystem::create_directories(g_configDir);
  std::atexit([] {
    printCount();
    std::error_code ec;
    std::filesystem::remove_all(g_configDir, ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  int baseline = 0;
  try {
    Harness harness(fdp);
    baseline = harness.penBaseline();
    harness.run();
  } catch (const std::exception& e) {
    violated("unexpected exception: %s", e.what());
  }
  if (sim::livePenCount() != baseline) {
    violated("%d pens left after the host ended (baseline %d)", sim::livePenCount(), baseline);
  }
  ++g_inputs;
  return 0;
}
