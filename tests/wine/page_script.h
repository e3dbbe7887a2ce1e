// One session at the display, written down once for both test hosts: the
// Windows test host (real GDI, under Wine) and the simulated host (Cairo)
// play it step by step, so that they draw the same pages and their drawings
// can be compared text by text.
//
// The world: one airless body that does not turn, its body-fixed frame the
// global frame (x to latitude 0 / longitude 0, y to the north pole, z to
// longitude +90 deg), and one vessel whose state is set outright. The hosts
// call the module's per-step hook themselves and never move the vessel, so
// the module reads exactly the states written here.
//
// Plain data with no host header, so that MinGW and the Linux compiler both
// take it as it is.
#pragma once

#include <cstddef>

namespace pagescript {

inline constexpr const char* kBodyName = "Moon";
inline constexpr double kBodyRadius = 1737400.0;  // [m]
inline constexpr double kBodyMass = 7.3477e22;    // [kg]
inline constexpr const char* kVesselName = "Lander";
inline constexpr double kVesselMass = 12000.0;  // [kg], no propellant to burn
inline constexpr double kMainThrust = 60000.0;  // [N]; no retro group
inline constexpr double kHoverThrust = 40000.0;
inline constexpr double kStep = 0.1;  // [s] between two per-step calls

struct Vec {
  double x, y, z;
};
// The vessel's axes in the global frame: the columns of its rotation matrix.
struct Axes {
  Vec right, up, forward;
};
struct State {
  double altitude;  // [m] above the point at latitude 0, longitude 0
  Vec vel;          // [m/s] global frame
  Axes axes;
  bool contact;      // standing on the ground
  double mainLevel;  // throttle of the main group, 0..1
};

// Upright on the pad: up is radial (+x), forward is north (+y).
inline constexpr Axes kUpright{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
inline constexpr State kOnPad{0, {0, 0, 0}, kUpright, true, 0};
// After the burn: lifted, at speed, still seen as grounded by the display.
inline constexpr State kBurning{3000, {900, 0, 900}, kUpright, false, 1};
inline constexpr State kAfterBurn{3000, {900, 0, 900}, kUpright, false, 0};
// In flight at 10 km, nose east, west, and up (the correction behind, and above).
inline constexpr State kNoseEast{10000, {300, 20, 0}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, false, 0};
inline constexpr State kNoseWest{10000, {300, 20, 0}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, false, 0};
inline constexpr State kNoseUp{10000, {300, 20, 0}, {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}}, false, 0};

enum class Op {
  Place,    // set the vessel's state
  Open,     // open a display in the mode (OPENEDEX, then OPENED)
  Button,   // press and release a button as an external display window does
  Answer,   // type the text into the open input box
  Key,      // a buffered key (scan code)
  Steps,    // n calls of the per-step hook, kStep apart
  Draw,     // redraw and keep the page under this name
  Refocus,  // the focus hook with the same vessel (Orbiter rebuilds displays)
  Close,    // close the display
};
struct Action {
  Op op;
  State state{};
  int n = 0;                   // button, key or number of steps
  const char* text = nullptr;  // answer or page name
};

inline constexpr Action Place(const State& s) { return {Op::Place, s}; }
inline constexpr Action Do(Op op, int n = 0) { return {op, {}, n}; }
inline constexpr Action Text(Op op, const char* text) { return {op, {}, 0, text}; }

// The pages of one display, from opening it on the pad: a target typed as
// latitude 2 deg N and longitude 5 deg E, the plan, the burn, then the
// in-flight pages. Page 2/2 is reached by its key (Shift-P reaches the
// display as the scan code of P).
inline constexpr Action kPages[] = {
    Place(kOnPad),
    Do(Op::Open),
    Do(Op::Button, 1),
    Text(Op::Answer, "2"),
    Do(Op::Button, 2),
    Text(Op::Answer, "5"),
    Do(Op::Steps, 3),
    Text(Op::Draw, "grounded"),
    Place(kBurning),
    Do(Op::Steps, 1),
    Place(kAfterBurn),
    Do(Op::Steps, 1),
    Text(Op::Draw, "after-burn"),
    Place(kNoseEast),
    Do(Op::Button, 6),
    Do(Op::Steps, 5),
    Text(Op::Draw, "flight-1"),
    Do(Op::Key, 0x19),
    Text(Op::Draw, "flight-2"),
    Place(kNoseWest),
    Do(Op::Steps, 2),
    Text(Op::Draw, "flight-2-behind"),
    Place(kNoseUp),
    Do(Op::Steps, 2),
    Text(Op::Draw, "flight-2-up"),
};
// Leaving: the pilot switches vessel with the display open, standing on the
// pad (so the next display starts grounded); then the display is closed.
inline constexpr Action kLeave[] = {Place(kOnPad), Do(Op::Refocus), Do(Op::Close)};

// The sessions, in order, with the module loaded throughout (what one
// display leaves for the next carries over): each language at each size the
// layout test covers, so that every whole-pixel advance GDI gives (4 px a
// character at 150 high up to 28 at 1024) is held against the simulated
// surface's, and the longest texts (French) are seen on the narrowest
// displays.
struct Session {
  int language;  // LANGUAGE in ArvexMFD.cfg
  int w, h;      // [pixel]
  const char* tag;
};
inline constexpr Session kSessions[] = {
    {0, 290, 290, "en-290"},     {0, 256, 256, "en-256"},     {0, 150, 150, "en-150"},
    {0, 200, 200, "en-200"},     {0, 400, 400, "en-400"},     {0, 600, 600, "en-600"},
    {0, 1024, 1024, "en-1024"},  {0, 290, 150, "en-290x150"}, {0, 1024, 600, "en-1024x600"},
    {0, 400, 290, "en-400x290"}, {0, 256, 290, "en-256x290"}, {0, 600, 700, "en-600x700"},
    {1, 290, 290, "fr-290"},     {1, 256, 256, "fr-256"},     {1, 150, 150, "fr-150"},
    {1, 200, 200, "fr-200"},     {1, 400, 400, "fr-400"},     {1, 600, 600, "fr-600"},
    {1, 1024, 1024, "fr-1024"},  {1, 290, 150, "fr-290x150"}, {1, 1024, 600, "fr-1024x600"},
    {1, 400, 290, "fr-400x290"}, {1, 256, 290, "fr-256x290"}, {1, 600, 700, "fr-600x700"},
};

}  // namespace pagescript
