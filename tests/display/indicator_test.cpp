// The burn direction indicator: frame, cross, rings and pens as the surface
// records them, and the "+" for directions whose place is known: straight
// ahead, behind, at right angles, and on each ring for any attitude.
#include "display/indicator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>
#include <vector>

#include "display/display_scene.h"
#include "sim/world.h"
#include "support/case_name.h"

using namespace arvex;  // the module's own names

namespace sim {

inline bool operator==(const sim::DrawnSegment& a, const sim::DrawnSegment& b) {
  return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1 && a.color == b.color;
}
inline bool operator==(const sim::DrawnEllipse& a, const sim::DrawnEllipse& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom &&
         a.color == b.color;
}
inline void PrintTo(const sim::DrawnSegment& s, std::ostream* os) {
  *os << "(" << s.x0 << "," << s.y0 << ")-(" << s.x1 << "," << s.y1 << ") 0x" << std::hex
      << s.color;
}
inline void PrintTo(const sim::DrawnEllipse& e, std::ostream* os) {
  *os << "[" << e.left << "," << e.top << "," << e.right << "," << e.bottom << "] 0x" << std::hex
      << e.color;
}

}  // namespace sim

namespace {

using namespace displaytest;

// Page 2/2 with a solution, the vessel 10 km over the Moon at
// rest relative to the body (so that reqVel - V is exactly the change asked
// for), holding the attitude R (columns: vessel axes, global frame).
struct IndicatorScene : Scene {
  explicit IndicatorScene(const SceneOptions& options = {}) : Scene(options) {
    const double radius = hop.host.world().body(hop.body).radius();
    hop.lander().setState({0, radius + 10e3, 0}, {0, 0, 0});
    ArvexMFD& m = mfd();
    m.inputs.flightMode = 1;
    m.inputs.flightPage = 1;
    m.flightSolValid = true;
    m.dvToGo = 50;
    attitude(sim::Mat3::Identity());
  }
  void attitude(const sim::Mat3& R) {
    hop.lander().setRotation(R);
    rotation = R;
  }
  // The vessel axis i (0 = x, 1 = y, 2 = z) in the global frame.
  VECTOR3 axis(int i) const { return _V(rotation(0, i), rotation(1, i), rotation(2, i)); }
  // Asks for a change of 50 m/s along u (global frame) and redraws.
  const sim::Surface& ask(const VECTOR3& u) {
    mfd().search.reqVel = relativeVelocity() + u * 50.0;
    return redraw();
  }
  sim::Mat3 rotation = sim::Mat3::Identity();
};

// The point the "+" is centred on (half a character height below the top
// of its cell), or (-1, -1) when no "+" was drawn.
std::pair<int, int> Marker(const sim::Surface& s) {
  for (const sim::DrawnText& t : s.texts()) {
    if (!t.title && t.bytes == "+") return {t.x, t.y + sim::fontCharHeight(s.height()) / 2};
  }
  return {-1, -1};
}

TEST(Indicator, DrawsTheFrameCrossAndRingsScaledWithTheHeight) {
  // Margin 8: frame columns 4 and 286, centre column 145. Rows 20, 120, 220
  // at 290 pixels high, twice that at 580.
  for (int k : {1, 2}) {
    IndicatorScene scene(SceneOptions().withHeight(290 * k));
    const int pensBefore = sim::livePenCount();
    const sim::Surface& s = scene.ask(scene.axis(2));
    const int top = 20 * k, centre = 120 * k, bottom = 220 * k;
    const std::vector<sim::DrawnSegment> frame = {
        {4, top, 286, top, kWhite},       {286, top, 286, bottom, kWhite},
        {286, bottom, 4, bottom, kWhite}, {4, bottom, 4, top, kWhite},
        {145, top, 145, bottom, kWhite},  {4, centre, 286, centre, kWhite}};
    // 5, 10 and 45 degrees: half-widths 5, 11, 48 and half-heights 8, 17, 70
    // at 290 pixels high (17, 34, 141 at 580).
    const int halfHeights[2][3] = {{8, 17, 70}, {17, 34, 141}};
    const int* ry = halfHeights[k - 1];
    const std::vector<sim::DrawnEllipse> rings = {
        {140, centre - ry[0], 150, centre + ry[0], kGreen},
        {134, centre - ry[1], 156, centre + ry[1], kWhite},
        {97, centre - ry[2], 193, centre + ry[2], kWhite}};
    EXPECT_EQ(s.segments(), frame) << "height " << 290 * k;
    EXPECT_EQ(s.ellipses(), rings) << "height " << 290 * k;
    // The frame pen lives for one redraw only.
    EXPECT_EQ(sim::livePenCount(), pensBefore) << "height " << 290 * k;
  }
}

TEST(Indicator, DrawsTheMarkerInLightCyanBeforeThePageTexts) {
  IndicatorScene scene;
  const sim::Surface& s = scene.ask(scene.axis(2));
  const std::vector<Row> rows = PageRows(s);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(),
            (Row{"+", 145, 120 - sim::fontCharHeight(290) / 2, kLightCyan, kCentred}));
}

// A burn straight along the thrust axis shows the "+" on the cross, at every
// redraw and whatever alignment the page before left: the middle of its ink
// on the middle of the cross's pixel, within a pixel across and within a
// quarter of the character height up or down (fonts set their "+" at
// heights that differ by a fifth of that height).
TEST(Indicator, CentresTheMarkerOnTheCrossAtEveryRedraw) {
  const double upOrDown = 0.25 * sim::fontCharHeight(290);
  for (int language : {0, 1}) {
    IndicatorScene scene(SceneOptions().withLanguage(language));
    scene.mfd().inputs.flightPage = 0;  // left-aligned rows first
    scene.redraw();
    scene.mfd().inputs.flightPage = 1;
    for (int redraw = 1; redraw <= 3; ++redraw) {
      const sim::Surface& s = scene.ask(scene.axis(2));
      const sim::DrawnText* plus = s.findText("+");
      ASSERT_NE(plus, nullptr);
      const sim::TextBox ink = s.textInk(*plus);
      EXPECT_NEAR(0.5 * (ink.left + ink.right), 145.5, 1.0)
          << "language " << language << ", redraw " << redraw;
      EXPECT_NEAR(0.5 * (ink.top + ink.bottom), 120.5, upOrDown)
          << "language " << language << ", redraw " << redraw;
    }
  }
}

struct MarkerCase {
  const char* what;
  bool mainEngine;
  VECTOR3 u;  // in vessel axes; zero: no change needed
  int x, y;   // [pixel]
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.what; }

class MarkerPlace : public ::testing::TestWithParam<MarkerCase> {};

// On a 290 x 290 display (frame margin 8), the vessel at rest relative to
// the body and its axes the global axes, a change of 50 m/s along u.
TEST_P(MarkerPlace, IsWhereTheDirectionLies) {
  const MarkerCase& c = GetParam();
  IndicatorInput in{};
  in.width = in.height = 290;
  in.frameMargin = 8;
  in.vesselKnown = true;
  in.reqVel = c.u * 50.0;
  in.relVel = _V(0, 0, 0);
  in.rotation = MATRIX3{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  in.useMainEngine = c.mainEngine;
  const IndicatorGeometry g = LayOutIndicator(in);
  ASSERT_TRUE(g.markerShown);
  EXPECT_EQ(std::make_pair(g.markerX, g.markerY), std::make_pair(c.x, c.y));
}

const double kTilt = 1.0 / std::sqrt(1.25);  // |(1, 0.5)| = sqrt(1.25)

INSTANTIATE_TEST_SUITE_P(
    WorkedDirections, MarkerPlace,
    ::testing::Values(
        MarkerCase{"main, along the thrust axis", true, _V(0, 0, 1), 145, 120},
        MarkerCase{"main, straight behind: left edge of the inner width", true, _V(0, 0, -1), 8,
                   120},
        MarkerCase{"main, nothing left to correct: centre", true, _V(0, 0, 0), 145, 120},
        MarkerCase{"main, right angles to the right: (W - 2m)/4 per unit", true, _V(1, 0, 0), 213,
                   120},
        MarkerCase{"main, right angles upwards: top of the frame", true, _V(0, 1, 0), 145, 20},
        MarkerCase{"main, behind and to the right: mirrored outwards", true,
                   _V(0.5 * kTilt, 0, -kTilt), 251, 120},
        MarkerCase{"main, behind and to the left", true, _V(-0.5 * kTilt, 0, -kTilt), 38, 120},
        MarkerCase{"hover, along the thrust axis", false, _V(0, 1, 0), 145, 120},
        MarkerCase{"hover, straight behind", false, _V(0, -1, 0), 8, 120},
        MarkerCase{"hover, nothing left to correct", false, _V(0, 0, 0), 145, 120},
        MarkerCase{"hover, towards the nose: bottom of the frame", false, _V(0, 0, 1), 145, 220},
        MarkerCase{"hover, to the right: left of the centre", false, _V(1, 0, 0), 76, 120}),
    [](const auto& info) { return testsupport::CaseName(info.param.what); });

// A rotation (vessel -> global, columns the vessel axes) from a random unit
// quaternion.
sim::Mat3 RandomRotation(std::mt19937& rng) {
  std::normal_distribution<double> n(0.0, 1.0);
  double w = n(rng), x = n(rng), y = n(rng), z = n(rng);
  const double l = std::sqrt(w * w + x * x + y * y + z * z);
  w /= l, x /= l, y /= l, z /= l;
  sim::Mat3 m;
  m << 1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y),  //
      2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x),   //
      2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y);
  return m;
}

// For any attitude and any direction at a ring's angle from the thrust axis,
// the "+" lies on that ring as drawn: the rings and the marker share scales.
TEST(Indicator, PutsADirectionAtARingsAngleOnThatRing) {
  std::mt19937 rng(122012203u);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  const double ringDeg[3] = {5, 10, 45};
  for (bool mainEngine : {true, false}) {
    IndicatorScene scene(SceneOptions().withHeight(mainEngine ? 290 : 580));
    scene.mfd().inputs.useMainEngine = mainEngine;
    for (int trial = 0; trial < 40; ++trial) {
      scene.attitude(RandomRotation(rng));
      const VECTOR3 w = scene.axis(mainEngine ? 2 : 1);
      VECTOR3 p = _V(uniform(rng), uniform(rng), uniform(rng));
      p = p - w * dotp(p, w);
      p = p / length(p);
      const int ring = trial % 3;
      const double angle = ringDeg[ring] / 57.29577951308232;
      const sim::Surface& s = scene.ask(w * std::cos(angle) + p * std::sin(angle));
      const sim::DrawnEllipse& e = s.ellipses().at(ring);
      const auto [mx, my] = Marker(s);
      // Centre of the marker's pixel against the drawn ring; both are floored.
      const double rx = 0.5 * (e.right - e.left), ry = 0.5 * (e.bottom - e.top);
      const double dx = mx + 0.5 - 0.5 * (e.left + e.right);
      const double dy = my + 0.5 - 0.5 * (e.top + e.bottom);
      const double rho = std::hypot(dx / rx, dy / ry);
      EXPECT_NEAR(rho, 1.0, 1.5 / std::min(rx, ry))
          << (mainEngine ? "main" : "hover") << ", trial " << trial << ", ring " << ringDeg[ring];
    }
  }
}

TEST(Indicator, DrawsNoMarkerForAChangeThatIsNotANumber) {
  IndicatorScene scene;
  scene.mfd().search.reqVel = _V(std::nan(""), 0, 0);
  const sim::Surface& s = scene.redraw();
  EXPECT_EQ(Marker(s), std::make_pair(-1, -1));
  EXPECT_EQ(s.ellipses().size(), 3u);
}

}  // namespace
