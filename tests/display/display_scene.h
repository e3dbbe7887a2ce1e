// The display tests' scene: the module linked into this executable, attached
// to a MoonHop's host, with one display open in the mode "Lobarc Launch".
// The instance is reached as an ArvexMFD so that a test can set up a state
// (a solution, a page, a vessel in flight) directly.
#pragma once

#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/linked_module.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

// The module's entry points, linked in from arvex_static.
extern "C" {
BOOL DllMain(HINSTANCE hModule, DWORD reason, LPVOID reserved);
void InitModule(HINSTANCE hModule);
void ExitModule(HINSTANCE hModule);
int GetModuleVersion();
void opcPostStep(double simt, double simdt, double mjd);
void opcFocusChanged(OBJHANDLE newFocus, OBJHANDLE oldFocus);
}

namespace displaytest {

constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kYellow = 0x00FFFF;
constexpr COLORREF kTeal = 0x969600;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kLightCyan = 0xE6E600;
constexpr UINT kLeft = TA_LEFT | TA_TOP;
constexpr UINT kCentred = 6;

// Scan codes of the keys the display consumes.
constexpr DWORD kKeyE = 18, kKeyR = 19, kKeyT = 20, kKeyP = 25, kKeyS = 31, kKeyL = 38, kKeyZ = 44,
                kKeyB = 48, kKeyN = 49, kKeyW = 17;

struct SceneOptions {
  int language = 0;       // LANGUAGE item of ArvexMFD.cfg
  int width = 290;        // [pixel]
  int height = 290;       // [pixel]
  bool inFlight = false;  // lift the vessel 10 km over its base before the display opens
  testsupport::HopOptions hop;

  SceneOptions& withLanguage(int n) {
    language = n;
    return *this;
  }
  SceneOptions& withHeight(int pixels) {
    height = pixels;
    return *this;
  }
  SceneOptions& flying() {
    inFlight = true;
    return *this;
  }
  SceneOptions& withHop(const testsupport::HopOptions& options) {
    hop = options;
    return *this;
  }
};

struct Scene {
  explicit Scene(const SceneOptions& options = {}) : hop(options.hop) {
    hop.writeLanguage(options.language);
    sim::ModuleEntries entries = lobarc::linkedModuleEntries(true);
    hop.host.attachModule(entries, "ArvexMFD");
    if (options.inFlight) {
      hop.lander().placeInFlight(hop.base->lat_rad, hop.base->lng_rad, 10e3, 0, 300, 20);
    }
    display = hop.openLaunchDisplay(options.width, options.height);
  }

  sim::Host& host() { return hop.host; }
  ArvexMFD& mfd() { return *static_cast<ArvexMFD*>(hop.host.display(display)); }
  sim::Surface& redraw() { return hop.host.redraw(display); }
  VESSEL& vessel() { return *hop.host.vesselInterface(hop.vesselHandle()); }

  // The vessel's velocity relative to the body [m/s], global frame.
  VECTOR3 relativeVelocity() {
    VECTOR3 v;
    vessel().GetRelativeVel(hop.bodyHandle(), v);
    return v;
  }

  testsupport::MoonHop hop;
  int display = -1;
};

// One drawn text, as the tests compare them.
struct Row {
  std::string bytes;
  int x = 0, y = 0;
  COLORREF color = 0;
  UINT align = 0;
  bool operator==(const Row& o) const {
    return std::tie(bytes, x, y, color, align) == std::tie(o.bytes, o.x, o.y, o.color, o.align);
  }
};
inline std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{\"" << sim::cp1252ToUtf8(r.bytes) << "\" x=" << r.x << " y=" << r.y << std::hex
            << " colour=0x" << r.color << std::dec << " align=" << r.align << "}";
}

// Every text of the redraw except the title, in drawing order.
inline std::vector<Row> PageRows(const sim::Surface& s) {
  std::vector<Row> rows;
  for (const sim::DrawnText& t : s.texts()) {
    if (!t.title) rows.push_back({t.bytes, t.x, t.y, t.color, t.align});
  }
  return rows;
}

inline std::string TitleOf(const sim::Surface& s) {
  for (const sim::DrawnText& t : s.texts()) {
    if (t.title) return t.bytes;
  }
  return {};
}

// The text drawn at (x, y), or null.
inline const sim::DrawnText* TextAt(const sim::Surface& s, int x, int y) {
  for (const sim::DrawnText& t : s.texts()) {
    if (!t.title && t.x == x && t.y == y) return &t;
  }
  return nullptr;
}

// The instance's bytes, to show that an input changed nothing at all.
inline std::vector<unsigned char> Snapshot(const ArvexMFD& mfd) {
  std::vector<unsigned char> bytes(sizeof(ArvexMFD));
  std::memcpy(bytes.data(), static_cast<const void*>(&mfd), sizeof(ArvexMFD));
  return bytes;
}

}  // namespace displaytest
