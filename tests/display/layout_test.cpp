// The pages on displays of other sizes than the 290 x 290 of the worked
// layout: every text whole on the display and clear of every other text and
// of the indicator (frame, cross and rings), in both languages. Where a text
// lies is taken from the surface's font, as the PNG draws it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>

#include "display/display_scene.h"

namespace {

using namespace displaytest;

struct PageState {
  const char* name;
  bool flying;     // the vessel in flight, else on its pad
  bool indicator;  // drawn on this page
  std::function<void(Scene&)> setUp;
};

// A grounded plan with long values; in flight a solution and a change along
// the thrust axis.
void GroundedPlan(Scene& scene, double dvRemaining) {
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyT, "Apollo12"));
  ArvexMFD& mfd = scene.mfd();
  ASSERT_EQ(mfd.inputs.flightMode, 0);
  mfd.plan.groundSolValid = true;
  mfd.plan.heading = -173.2;
  mfd.plan.launchAngle = 44.6;
  mfd.flightPathAngle = -13.1;
  mfd.plan.apoAltitude = 152345.0;
  mfd.plan.vTan = 1432.6;
  mfd.plan.dvRemaining = dvRemaining;
  mfd.pitchCmd = 45.2;
  mfd.actualPitch = -12.7;
}
void InFlight(Scene& scene, int page, double dvToGo) {
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyT, "Apollo12"));
  ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyS));
  ArvexMFD& mfd = scene.mfd();
  ASSERT_EQ(mfd.inputs.flightMode, 1);
  mfd.inputs.flightPage = page;
  mfd.flightSolValid = true;
  mfd.dvToGo = dvToGo;
  mfd.search.reqVel = scene.relativeVelocity();
}

const PageState kPages[] = {
    {"grounded, burning", false, false, [](Scene& s) { GroundedPlan(s, 1234.4); }},
    {"grounded, MECO", false, false, [](Scene& s) { GroundedPlan(s, 0.0); }},
    {"page 1/2", true, false, [](Scene& s) { InFlight(s, 0, 1234.5); }},
    {"page 1/2, MECO", true, false, [](Scene& s) { InFlight(s, 0, 0.0); }},
    {"page 2/2", true, true, [](Scene& s) { InFlight(s, 1, 1234.5); }},
    {"page 2/2, MECO", true, true, [](Scene& s) { InFlight(s, 1, 0.0); }},
};

bool Overlap(const sim::TextBox& a, const sim::TextBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
std::string Describe(const sim::DrawnText& t, const sim::TextBox& b) {
  return "\"" + sim::cp1252ToUtf8(t.bytes) + "\" [" + std::to_string(b.left) + ", " +
         std::to_string(b.top) + ", " + std::to_string(b.right) + ", " + std::to_string(b.bottom) +
         "]";
}

class PageLayout : public ::testing::TestWithParam<std::tuple<std::pair<int, int>, int>> {};

TEST_P(PageLayout, KeepsEveryTextWholeAndClear) {
  const auto [size, language] = GetParam();
  const auto [width, height] = size;
  for (const PageState& page : kPages) {
    SceneOptions options = SceneOptions().withLanguage(language).withHeight(height);
    options.width = width;
    options.inFlight = page.flying;
    Scene scene(options);
    page.setUp(scene);
    const sim::Surface& s = scene.redraw();
    SCOPED_TRACE(page.name);
    // The indicator's extent: frame, cross and rings lie inside it.
    sim::TextBox indicator{1e9, 1e9, -1e9, -1e9};
    for (const sim::DrawnSegment& g : s.segments()) {
      indicator = {std::min({indicator.left, 1.0 * g.x0, 1.0 * g.x1}),
                   std::min({indicator.top, 1.0 * g.y0, 1.0 * g.y1}),
                   std::max({indicator.right, g.x0 + 1.0, g.x1 + 1.0}),
                   std::max({indicator.bottom, g.y0 + 1.0, g.y1 + 1.0})};
    }
    std::vector<std::pair<const sim::DrawnText*, sim::TextBox>> boxes;
    for (const sim::DrawnText& t : s.texts()) {
      if (t.bytes == "+") continue;  // the marker belongs on the indicator
      const sim::TextBox b = s.textInk(t);
      EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= width && b.bottom <= height)
          << Describe(t, b) << " is cut";
      EXPECT_FALSE(Overlap(b, indicator)) << Describe(t, b) << " runs into the indicator";
      for (const auto& [other, ob] : boxes) {
        EXPECT_FALSE(Overlap(b, ob)) << Describe(t, b) << " overlaps " << Describe(*other, ob);
      }
      boxes.emplace_back(&t, b);
    }
    EXPECT_EQ(s.segments().empty(), !page.indicator);
  }
}

// Square displays of the cockpits and virtual cockpits, and displays wider
// than high or somewhat narrower.
INSTANTIATE_TEST_SUITE_P(
    Sizes, PageLayout,
    ::testing::Combine(::testing::Values(std::pair{150, 150}, std::pair{200, 200},
                                         std::pair{256, 256}, std::pair{290, 290},
                                         std::pair{400, 400}, std::pair{600, 600},
                                         std::pair{1024, 1024}, std::pair{290, 150},
                                         std::pair{1024, 600}, std::pair{400, 290},
                                         std::pair{256, 290}, std::pair{600, 700}),
                       ::testing::Values(0, 1)));

}  // namespace
