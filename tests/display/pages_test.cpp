// The display pages as the host's surface records them: every text with its
// bytes, place, colour and alignment, on the 290 x 290 surface whose layout
// is worked out by hand (line height 10, half step 15, right column at 145).
#include "display/pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "display/display_scene.h"
#include "support/case_name.h"

namespace {

using namespace displaytest;

const char* const kSecurity[2] = {"Security Alt: 40.0 km",
                                  "Alt de s\xE9"
                                  "curit\xE9: 40.0 km"};
const char* const kAltAbove[2] = {"Alt above target: 5.0 km", "Alt survol cible: 5.0 km"};
const char* const kEngineMain[2] = {"Engine : Main", "Moteur : Principal"};
const char* const kTargetHeader[2] = {"Target", "Cible"};
const char* const kNoTarget[2] = {"No Target", "Pas de cible"};

// A grounded instance standing at 0.674 N, 23.473 E with the base Apollo12 as
// its target and a plan with round numbers.
void SetUpGroundedPlan(Scene& scene) {
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyT, "Apollo12"));
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.ownLatDeg = 0.674;
  mfd.inputs.ownLngDeg = 23.473;
  mfd.inputs.tgtLatDeg = -3.012;
  mfd.inputs.tgtLngDeg = -23.422;
  mfd.plan.groundSolValid = true;
  mfd.plan.heading = -73.2;
  mfd.plan.launchAngle = 44.6;
  mfd.flightPathAngle = 3.1;
  mfd.plan.apoAltitude = 52345.0;
  mfd.plan.vTan = 1432.6;
  mfd.plan.dvRemaining = 1234.4;
  mfd.pitchCmd = 45.2;
  mfd.actualPitch = 12.7;
}

class GroundedPage : public ::testing::TestWithParam<int> {};

TEST_P(GroundedPage, DrawsTheWorkedLayoutByteForByte) {
  const int fr = GetParam();
  Scene scene(SceneOptions().withLanguage(fr));
  SetUpGroundedPlan(scene);
  const sim::Surface& s = scene.redraw();

  const std::vector<Row> expected = {
      {"Position", 3, 30, kGreen, kLeft},
      {kTargetHeader[fr], 145, 30, kYellow, kLeft},
      {"Moon", 3, 45, kGreen, kLeft},
      {"Apollo12", 145, 45, kYellow, kLeft},
      {"Lat:+0.67", 3, 60, kGreen, kLeft},
      {"Lat:-3.01", 145, 60, kYellow, kLeft},
      {"Lng:+23.47", 3, 75, kGreen, kLeft},
      {"Lng:-23.42", 145, 75, kYellow, kLeft},
      {kSecurity[fr], 3, 105, kGreen, kLeft},
      {kEngineMain[fr], 3, 125, kGreen, kLeft},
      {fr ? "Direction : -73\xB0" : "Heading : -73\xB0", 3, 155, kTeal, kLeft},
      {fr ? "Vecteur vitesse : +45\xB0 (+3\xB0)" : "Velocity Vector : +45\xB0 (+3\xB0)", 3, 175,
       kTeal, kLeft},
      {"hMax : 52.3 km", 3, 195, kTeal, kLeft},
      {"vTan : 1433 m/s", 3, 215, kTeal, kLeft},
      {"DeltaV : 1234 m/s", 3, 245, kWhite, kLeft},
      {"Pitch : 45\xB0 (13\xB0)", 3, 265, kWhite, kLeft},
  };
  EXPECT_EQ(PageRows(s), expected);
  EXPECT_EQ(TitleOf(s), fr ? "Lobarc Launch MFD/Au sol" : "Lobarc Launch MFD/Grounded");
}

INSTANTIATE_TEST_SUITE_P(Languages, GroundedPage, ::testing::Values(0, 1));

// At the end of the count the pitch line gives way to "MECO", three lines
// down and 10 pixels left of the centre.
TEST(GroundedPage, ShowsMecoOnceTheCountIsDone) {
  for (double dv : {0.0, -3.2}) {
    Scene scene;
    SetUpGroundedPlan(scene);
    scene.mfd().plan.dvRemaining = dv;
    std::vector<Row> rows = PageRows(scene.redraw());
    ASSERT_GE(rows.size(), 2u);
    const std::vector<Row> tail(rows.end() - 2, rows.end());
    const std::vector<Row> expected = {
        {dv == 0.0 ? "DeltaV : 0 m/s" : "DeltaV : -3 m/s", 3, 245, kWhite, kLeft},
        {"MECO", 135, 275, kWhite, kLeft}};
    EXPECT_EQ(tail, expected) << "dvRemaining " << dv;
  }
}

TEST(GroundedPage, EndsAfterTheEngineWithoutASolution) {
  Scene scene;
  SetUpGroundedPlan(scene);
  scene.mfd().plan.groundSolValid = false;
  const std::vector<Row> rows = PageRows(scene.redraw());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), (Row{"Engine : Main", 3, 125, kGreen, kLeft}));
}

struct TargetCase {
  const char* what;
  bool base, latSet, lngSet;
  const char* rowA;  // nullptr: "No Target" in the language
  const char* rowB;  // nullptr: nothing drawn
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.what; }

class TargetRows : public ::testing::TestWithParam<TargetCase> {};

// The right column says which coordinates the pilot has given.
TEST_P(TargetRows, ShowWhatHasBeenEntered) {
  const TargetCase& c = GetParam();
  for (int fr : {0, 1}) {
    Scene scene(SceneOptions().withLanguage(fr));
    ArvexMFD& mfd = scene.mfd();
    mfd.targetBase = c.base ? scene.host().baseHandle(scene.hop.body, 1) : nullptr;
    mfd.inputs.tgtLatSet = c.latSet;
    mfd.inputs.tgtLngSet = c.lngSet;
    mfd.inputs.tgtLatDeg = 12.3456;
    mfd.inputs.tgtLngDeg = -98.7654;
    const sim::Surface& s = scene.redraw();
    SCOPED_TRACE(std::string(c.what) + (fr ? ", French" : ", English"));
    const sim::DrawnText* a = TextAt(s, 145, 60);
    const sim::DrawnText* b = TextAt(s, 145, 75);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->bytes, c.rowA ? c.rowA : kNoTarget[fr]);
    if (c.rowB) {
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->bytes, c.rowB);
    } else {
      EXPECT_EQ(b, nullptr);
    }
    // The own longitude keeps its place one and a half steps below.
    ASSERT_NE(TextAt(s, 3, 75), nullptr);
    EXPECT_EQ(TextAt(s, 3, 75)->bytes.substr(0, 4), "Lng:");
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, TargetRows,
    ::testing::Values(TargetCase{"base", true, true, true, "Lat:+12.35", "Lng:-98.77"},
                      TargetCase{"both coordinates", false, true, true, "Lat:+12.35", "Lng:-98.77"},
                      TargetCase{"latitude only", false, true, false, nullptr, "Lat:+12.35"},
                      TargetCase{"longitude only", false, false, true, nullptr, "Lng:-98.77"},
                      TargetCase{"nothing", false, false, false, nullptr, nullptr}),
    [](const auto& info) { return testsupport::CaseName(info.param.what); });

// --- In flight --------------------------------------------------------------------

class FirstPage : public ::testing::TestWithParam<int> {};

TEST_P(FirstPage, DrawsTheWorkedLayoutAndGivesBackTheSurfaceSettings) {
  const int fr = GetParam();
  Scene scene(SceneOptions().withLanguage(fr).flying());
  scene.hop.lander().placeInFlight(10.0 / 57.29577951308232, -20.0 / 57.29577951308232, 8e3, 0, 0,
                                   0);
  ArvexMFD& mfd = scene.mfd();
  ASSERT_EQ(mfd.inputs.flightMode, 1);
  mfd.flightSolValid = true;
  mfd.dvToGo = 123.4;
  const sim::Surface& s = scene.redraw();

  const std::vector<Row> expected = {
      {"Position", 3, 30, kGreen, kLeft},
      {kTargetHeader[fr], 145, 30, kYellow, kLeft},
      {"Moon", 3, 45, kGreen, kLeft},
      {"Moon", 145, 45, kYellow, kLeft},
      {"Lat:+10.00", 3, 60, kGreen, kLeft},
      {kNoTarget[fr], 145, 60, kYellow, kLeft},
      {"Lng:-20.00", 3, 75, kGreen, kLeft},
      {kSecurity[fr], 3, 105, kGreen, kLeft},
      {kAltAbove[fr], 3, 125, kGreen, kLeft},
      {kEngineMain[fr], 3, 145, kGreen, kLeft},
      {"Dv : 123.4 m/s", 145, 200, kWhite, kCentred},
      {"1/2", 145, 270, kWhite, kCentred},
  };
  EXPECT_EQ(PageRows(s), expected);
  EXPECT_EQ(TitleOf(s), fr ? "Lobarc Launch MFD/En vol" : "Lobarc Launch MFD/Not Grounded");
  EXPECT_EQ(s.textAlign, kLeft);
  EXPECT_EQ(s.textColor, kGreen);
}

INSTANTIATE_TEST_SUITE_P(Languages, FirstPage, ::testing::Values(0, 1));

TEST(FirstPage, FollowsTheVesselsPositionAtEveryRedraw) {
  Scene scene(SceneOptions().flying());
  scene.hop.lander().placeInFlight(-45.0 / 57.29577951308232, 120.0 / 57.29577951308232, 8e3, 0, 0,
                                   0);
  const sim::Surface& s = scene.redraw();
  EXPECT_EQ(TextAt(s, 3, 60)->bytes, "Lat:-45.00");
  EXPECT_EQ(TextAt(s, 3, 75)->bytes, "Lng:+120.00");
}

TEST(FirstPage, ShowsMecoOrNothingBelowTheRows) {
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  mfd.flightSolValid = true;
  mfd.dvToGo = 0.0;
  std::vector<Row> rows = PageRows(scene.redraw());
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[rows.size() - 2], (Row{"MECO", 145, 200, kWhite, kCentred}));

  mfd.flightSolValid = false;
  rows = PageRows(scene.redraw());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().bytes, "Engine : Main");
}

class SecondPage : public ::testing::TestWithParam<int> {};

TEST_P(SecondPage, DrawsTheDeltaVAndTheClosingWordsBelowTheIndicator) {
  const int fr = GetParam();
  Scene scene(SceneOptions().withLanguage(fr).flying());
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightPage = 1;
  mfd.flightSolValid = true;
  mfd.dvToGo = 123.4;
  mfd.search.reqVel = scene.relativeVelocity();
  std::vector<Row> rows = PageRows(scene.redraw());
  ASSERT_FALSE(rows.empty());
  rows.erase(rows.begin());  // the marker, checked with the indicator
  // At 290 pixels the French words (38 characters of the host's font) are
  // wider than the display, so they take two lines.
  const std::vector<Row> expected =
      fr ? std::vector<Row>{{" Dv : 123.4 m/s", 145, 225, kWhite, kCentred},
                            {"RududadOzede. vous", 145, 240, kWhite, kCentred},
                            {"souhaite un bon vol", 145, 255, kWhite, kCentred},
                            {"2/2", 145, 270, kWhite, kCentred}}
         : std::vector<Row>{{" Dv : 123.4 m/s", 145, 230, kWhite, kCentred},
                            {"VeltrixCorp. wishes you a nice burn", 145, 245, kWhite, kCentred},
                            {"2/2", 145, 270, kWhite, kCentred}};
  EXPECT_EQ(rows, expected);
}

INSTANTIATE_TEST_SUITE_P(Languages, SecondPage, ::testing::Values(0, 1));

// On a display narrower than the closing words they take two lines, broken
// at the space nearest their middle, and the block moves up so that the
// second line keeps a half step above the page number.
TEST(SecondPage, BreaksClosingWordsTooWideForTheDisplay) {
  SceneOptions options = SceneOptions().withLanguage(1).flying().withHeight(150);
  options.width = 150;
  Scene scene(options);
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightPage = 1;
  mfd.flightSolValid = true;
  mfd.dvToGo = 123.4;
  mfd.search.reqVel = scene.relativeVelocity();
  std::vector<Row> rows = PageRows(scene.redraw());
  ASSERT_EQ(rows.size(), 5u);
  rows.erase(rows.begin());  // the marker
  // Rows 225, 240, 255 and 270 of the 290-pixel layout.
  const std::vector<Row> expected = {
      {" Dv : 123.4 m/s", 75, 116, kWhite, kCentred},
      {"RududadOzede. vous", 75, 124, kWhite, kCentred},
      {"souhaite un bon vol", 75, 131, kWhite, kCentred},
      {"2/2", 75, 139, kWhite, kCentred},
  };
  EXPECT_EQ(rows, expected);
}

TEST(SecondPage, ShowsMecoAtTheEndOfTheCorrection) {
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightPage = 1;
  mfd.flightSolValid = true;
  mfd.dvToGo = 0.0;
  mfd.search.reqVel = scene.relativeVelocity();
  std::vector<Row> rows = PageRows(scene.redraw());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], (Row{"MECO", 145, 245, kWhite, kCentred}));
}

TEST(SecondPage, WithoutASolutionShowsOnlyThePageNumberInTheSettingsTheTitleLeft) {
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightPage = 1;
  mfd.flightSolValid = false;
  const sim::Surface& drawn = scene.redraw();
  // Nothing before it sets a colour or an alignment: the title's grey and
  // the fresh context's left alignment.
  EXPECT_EQ(PageRows(drawn), (std::vector<Row>{{"2/2", 145, 270, sim::kTitleColor, kLeft}}));
  EXPECT_TRUE(drawn.segments().empty());
  EXPECT_TRUE(drawn.ellipses().empty());
}

// --- Surface state left by an earlier page, and values out of range ---------------

// Page 2/2 leaves centred alignment on the surface, which this host keeps;
// the next page must look exactly as if it were drawn on a fresh surface.
std::vector<Row> PageOneAfter(bool pageTwoFirst, int mode) {
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  mfd.flightSolValid = true;
  mfd.dvToGo = 42.0;
  mfd.search.reqVel = scene.relativeVelocity();
  if (pageTwoFirst) {
    mfd.inputs.flightPage = 1;
    scene.redraw();
    EXPECT_EQ(scene.host().surface(scene.display).textAlign, kCentred);
  }
  mfd.inputs.flightPage = 0;
  mfd.inputs.flightMode = mode;
  return PageRows(scene.redraw());
}

TEST(LeftAlignedRows, StayLeftAlignedAfterPageTwo) {
  for (int mode : {0, 1}) {
    EXPECT_EQ(PageOneAfter(true, mode), PageOneAfter(false, mode)) << "flight mode " << mode;
  }
}

// No value can make a line longer than its 100-byte buffer holds: the
// grounded page's layout with the largest values there are.
TEST(Formatting, KeepsEveryLineInsideItsBuffer) {
  const double huge = std::numeric_limits<double>::max();
  PageInput in{};
  in.width = in.height = 290;
  in.marginX = 3;
  in.column2X = 145;
  in.charWidth = 7;
  in.english = true;
  in.ownKnown = true;
  in.targetBaseSet = in.inputs.tgtLatSet = in.inputs.tgtLngSet = true;
  in.inputs.securityAlt = huge;
  in.groundSolValid = true;
  in.heading = -huge;
  in.launchAngle = huge;
  in.flightPathAngle = huge;
  in.apoAltitude = huge;
  in.vTan = huge;
  in.dvRemaining = huge;
  in.pitchCmd = -huge;
  in.actualPitch = huge;
  static PageLayout layout;  // some 6 kB: off the test's stack
  LayOutPage(in, layout);
  const PageOp* security = nullptr;
  for (int i = 0; i < layout.count; ++i) {
    const PageOp& op = layout.ops[i];
    if (op.kind != PageOpKind::kText) continue;
    const std::string bytes(op.text, static_cast<size_t>(op.length));
    EXPECT_LE(bytes.size(), 99u) << bytes.substr(0, 20);
    if (bytes.starts_with("Security Alt: 1797")) security = &op;
  }
  ASSERT_NE(security, nullptr);
  EXPECT_EQ(security->length, 99);
}

bool ShowsNonNumber(const sim::Surface& s) {
  for (const sim::DrawnText& t : s.texts()) {
    std::string lower = t.bytes;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// A value that is not a number is left out; in particular a count that is
// not a number never claims "MECO".
TEST(Formatting, NeverShowsNotANumber) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  {
    Scene scene;
    SetUpGroundedPlan(scene);
    ArvexMFD& mfd = scene.mfd();
    mfd.inputs.securityAlt = inf;
    mfd.plan.heading = nan;
    mfd.plan.launchAngle = nan;
    mfd.plan.apoAltitude = -inf;
    mfd.plan.vTan = nan;
    mfd.plan.dvRemaining = nan;
    mfd.inputs.tgtLatDeg = nan;
    mfd.inputs.ownLngDeg = inf;
    const sim::Surface& s = scene.redraw();
    EXPECT_FALSE(ShowsNonNumber(s));
    EXPECT_EQ(s.findText("MECO"), nullptr);
  }
  for (int page : {0, 1}) {
    Scene scene(SceneOptions().flying());
    ArvexMFD& mfd = scene.mfd();
    mfd.inputs.flightPage = page;
    mfd.flightSolValid = true;
    mfd.dvToGo = nan;
    mfd.inputs.altAboveTarget = nan;
    mfd.search.reqVel = _V(nan, 0, 0);
    const sim::Surface& s = scene.redraw();
    EXPECT_FALSE(ShowsNonNumber(s)) << "page " << page;
    EXPECT_EQ(s.findText("MECO"), nullptr) << "page " << page;
  }
}

}  // namespace
