// Buttons, keys and the input dialogs, driven through the simulated host as a
// pilot would: press a button or key, type into the box it opened.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "display/display_scene.h"
#include "support/case_name.h"

namespace {

using namespace displaytest;
using sim::InputBoxState;

// --- Labels and menus ------------------------------------------------------

TEST(ButtonLabels, AreTheTableInEitherLanguageAndNullOutsideIt) {
  const std::vector<std::string> labels = {"TGT", "LAT", "LON", "ALT", "ABV", "RST",
                                           "SWT", " ",   "ENG", " ",   " ",   "PG"};
  for (int language : {0, 1}) {
    Scene scene(SceneOptions().withLanguage(language));
    for (int bt = 0; bt < 12; ++bt) {
      const char* label = scene.mfd().ButtonLabel(bt);
      ASSERT_NE(label, nullptr) << "button " << bt;
      EXPECT_EQ(std::string(label), labels[bt]) << "button " << bt << ", language " << language;
    }
    EXPECT_EQ(scene.mfd().ButtonLabel(12), nullptr);
    EXPECT_EQ(scene.mfd().ButtonLabel(-1), nullptr);
  }
}

struct MenuLine {
  const char* english;
  const char* french;
  char selection;
};

TEST(ButtonMenu, HoldsTwelveLinesInTheChosenLanguage) {
  const MenuLine expected[12] = {
      {"Target", "Cible", 'T'},
      {"Latitude", "Latitude", 'L'},
      {"Longitude", "Longitude", 'N'},
      {"Security alt",
       "Alt de s\xE9"
       "curit\xE9",
       'Z'},
      {"Alt above target", "Alt de survol", 'B'},
      {"Reset", "Reset", 'R'},
      {"Switch", "Switch", 'S'},
      {"", "", 'W'},
      {"Choose engine", "Choix du moteur", 'E'},
      {"", "", 'W'},
      {"", "", 'W'},
      {"Page", "Page", 'P'},
  };
  for (int language : {0, 1}) {
    Scene scene(SceneOptions().withLanguage(language));
    const MFDBUTTONMENU* menu = nullptr;
    ASSERT_EQ(scene.mfd().ButtonMenu(&menu), 12);
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i < 12; ++i) {
      SCOPED_TRACE("language " + std::to_string(language) + ", button " + std::to_string(i));
      EXPECT_EQ(std::string(menu[i].line1),
                language == 0 ? expected[i].english : expected[i].french);
      // The entries are packed as the host reads them: copied out, never
      // bound by reference.
      const char* line2 = menu[i].line2;
      const char selection = menu[i].selchar;
      EXPECT_EQ(line2, nullptr);
      EXPECT_EQ(selection, expected[i].selection);
    }
  }
}

TEST(ButtonMenu, WithoutAPlaceForTheTableStillCountsTwelve) {
  Scene scene;
  EXPECT_EQ(scene.mfd().ButtonMenu(nullptr), 12);
}

// --- Input that does nothing --------------------------------------------------

TEST(BadInput, ButtonsOutsideTheRowReleasesAndUnknownKeysDoNothing) {
  Scene scene;
  ArvexMFD& mfd = scene.mfd();
  const std::vector<unsigned char> before = Snapshot(mfd);
  struct Case {
    const char* what;
    int button;
    int event;
  };
  const Case buttons[] = {{"button -1", -1, 1},      {"button 12", 12, 1},
                          {"button 1000", 1000, 1},  {"release of TGT", 0, 2},
                          {"no event on TGT", 0, 0}, {"blank button 7", 7, 1},
                          {"blank button 9", 9, 1},  {"blank button 10", 10, 1}};
  for (const Case& c : buttons) EXPECT_FALSE(mfd.ConsumeButton(c.button, c.event)) << c.what;
  for (DWORD key :
       {DWORD{0}, kKeyW, DWORD{21}, DWORD{33}, DWORD{57}, DWORD{255}, DWORD{0xFFFFFFFF}}) {
    EXPECT_FALSE(mfd.ConsumeKeyBuffered(key)) << "key " << key;
  }
  EXPECT_FALSE(scene.host().hasInputBox());
  EXPECT_EQ(Snapshot(mfd), before);
}

// --- Dialogs: prompts, ranges and parses ----------------------------------------

struct DialogCase {
  int button;
  DWORD key;
  const char* english;
  const char* french;
};

TEST(Dialogs, ButtonAndKeyOpenTheSamePromptInEitherLanguage) {
  const DialogCase cases[] = {
      {0, kKeyT, "Select Target :", "Choix de la destination :"},
      {1, kKeyL, "Enter latitude :", "Choisir latitude :"},
      {2, kKeyN, "Enter longitude :", "Choisir longitude :"},
      {3, kKeyZ, "Enter security altitude (km):",
       "Choisir altitude de s\xE9"
       "curit\xE9 (km):"},
      {4, kKeyB, "Enter altitude above target (km):", "Choisir altitude de survol (km):"},
  };
  for (int language : {0, 1}) {
    Scene scene(SceneOptions().withLanguage(language).flying());  // B needs the in-flight mode
    for (const DialogCase& c : cases) {
      const std::string prompt = language == 0 ? c.english : c.french;
      EXPECT_TRUE(scene.host().pressButton(scene.display, c.button));
      EXPECT_EQ(scene.host().inputBoxTitle(), prompt) << "button " << c.button;
      scene.host().cancelInputBox();
      EXPECT_TRUE(scene.host().pressKey(scene.display, c.key));
      EXPECT_EQ(scene.host().inputBoxTitle(), prompt) << "key " << c.key;
      scene.host().cancelInputBox();
    }
  }
}

TEST(Dialogs, AltitudeAboveTargetIsNotAskedOnTheGround) {
  Scene scene;
  EXPECT_TRUE(scene.host().pressKey(scene.display, kKeyB));
  EXPECT_FALSE(scene.host().hasInputBox());
}

struct Entry {
  DWORD key;
  const char* text;
  bool accepted;
  double stored;  // the field's value after an accepted entry
};

// The case as its test is named: the field's key and the text typed.
void PrintTo(const Entry& e, std::ostream* os) {
  const char* field = e.key == kKeyL   ? "latitude"
                      : e.key == kKeyN ? "longitude"
                      : e.key == kKeyZ ? "security"
                                       : "above";
  *os << field << " \"" << e.text << "\"";
}

double FieldOf(ArvexMFD& mfd, DWORD key) {
  switch (key) {
    case kKeyL:
      return mfd.inputs.tgtLatDeg;
    case kKeyN:
      return mfd.inputs.tgtLngDeg;
    case kKeyZ:
      return mfd.inputs.securityAlt;
    default:
      return mfd.inputs.altAboveTarget;
  }
}

class DialogEntry : public ::testing::TestWithParam<Entry> {};

// An accepted entry stores its value and closes the box; a refused one leaves
// every field of the instance as it was and the box open for another try.
TEST_P(DialogEntry, StoresOrRefusesAsTyped) {
  const Entry& e = GetParam();
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  const std::vector<unsigned char> before = Snapshot(mfd);
  const bool accepted = scene.hop.typeInto(scene.display, e.key, e.text);
  EXPECT_EQ(accepted, e.accepted);
  EXPECT_EQ(scene.host().hasInputBox(), !e.accepted);
  if (e.accepted) {
    EXPECT_EQ(FieldOf(mfd, e.key), e.stored);
  } else {
    EXPECT_EQ(Snapshot(mfd), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RangesAndParses, DialogEntry,
    ::testing::Values(
        // Latitude: both ends inclusive; letters read as 0; not-a-number refused.
        Entry{kKeyL, "90", true, 90}, Entry{kKeyL, "-90", true, -90},
        Entry{kKeyL, "90.01", false, 0}, Entry{kKeyL, "-90.5", false, 0},
        Entry{kKeyL, "abc", true, 0}, Entry{kKeyL, "12.5xyz", true, 12.5},
        Entry{kKeyL, "nan", false, 0}, Entry{kKeyL, "-inf", false, 0},
        Entry{kKeyL, "1e999", false, 0},
        // Longitude: -180 to 180 inclusive.
        Entry{kKeyN, "-180", true, -180}, Entry{kKeyN, "180", true, 180},
        Entry{kKeyN, "180.5", false, 0}, Entry{kKeyN, "NAN", false, 0},
        // Security altitude: whole kilometres, at least 1.
        Entry{kKeyZ, "2.9", true, 2000}, Entry{kKeyZ, "1", true, 1000}, Entry{kKeyZ, "0", false, 0},
        Entry{kKeyZ, "letters", false, 0}, Entry{kKeyZ, "-5", false, 0},
        Entry{kKeyZ, "99999999999999999999999", false, 0},
        // Altitude above target: 0 accepted, letters read as 0.
        Entry{kKeyB, "0", true, 0}, Entry{kKeyB, "letters", true, 0}, Entry{kKeyB, "7", true, 7000},
        Entry{kKeyB, "-1", false, 0}, Entry{kKeyB, "4294967297", false, 0}));

TEST(Dialogs, ABaseIsLookedUpByItsExactName) {
  Scene scene;
  ArvexMFD& mfd = scene.mfd();
  const std::vector<unsigned char> before = Snapshot(mfd);
  for (const char* unknown : {"Apollo11 ", "Apollo 11", "", "\xE9\xFF\x01", "Nowhere"}) {
    EXPECT_FALSE(scene.hop.typeInto(scene.display, kKeyT, unknown)) << unknown;
    scene.host().cancelInputBox();
  }
  EXPECT_EQ(Snapshot(mfd), before);

  const sim::Base& target = scene.hop.host.world().body(scene.hop.body).spec().bases.at(1);
  EXPECT_TRUE(scene.hop.typeInto(scene.display, kKeyT, target.name));
  EXPECT_EQ(mfd.targetBase, scene.host().baseHandle(scene.hop.body, 1));
  EXPECT_NEAR(mfd.inputs.tgtLatDeg, target.lat_rad * kDegPerRad, 1e-9);
  EXPECT_NEAR(mfd.inputs.tgtLngDeg, target.lng_rad * kDegPerRad, 1e-9);
  EXPECT_TRUE(mfd.plan.groundSolValid);
}

// A plan needs both coordinates: the security altitude alone does not make one.
TEST(Dialogs, RecomputeWaitsForACompleteTarget) {
  Scene scene;
  ArvexMFD& mfd = scene.mfd();
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyL, "3"));
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyZ, "60"));
  EXPECT_EQ(mfd.inputs.securityAlt, 60000);
  EXPECT_FALSE(mfd.plan.groundSolValid);
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyN, "30"));
  EXPECT_TRUE(mfd.plan.groundSolValid);
}

// --- Dialogs that outlive their display ------------------------------------------

// Calls an input box's callback directly, as a host that keeps the box open
// after its display is gone would.
bool Answer(const InputBoxState& box, std::string text) {
  return box.callback(nullptr, text.data(), box.usrdata);
}

TEST(DialogLifetime, AnAnswerAfterTheDisplayIsGoneReachesNoInstance) {
  Scene scene;
  ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyL));
  const InputBoxState box = *scene.host().inputBox();
  scene.host().closeDisplay(scene.display);
  // A new instance may well take the old one's memory.
  scene.display = scene.hop.openLaunchDisplay(290, 290);
  const std::vector<unsigned char> before = Snapshot(scene.mfd());

  // The box outlives its display, as Orbiter's does; the answer closes it
  // without effect (sanitizers would see a dangling instance here).
  ASSERT_TRUE(scene.host().hasInputBox());
  EXPECT_EQ(scene.host().inputBox()->id, box.id);
  EXPECT_TRUE(scene.host().typeInput("45"));
  EXPECT_EQ(Snapshot(scene.mfd()), before);
}

TEST(DialogLifetime, AnAcceptedAnswerUsesUpItsTicket) {
  Scene scene;
  ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyL));
  const InputBoxState box = *scene.host().inputBox();
  ASSERT_TRUE(scene.host().typeInput("10"));
  EXPECT_TRUE(Answer(box, "20"));
  EXPECT_EQ(scene.mfd().inputs.tgtLatDeg, 10);
}

TEST(DialogLifetime, ANullTextIsRefusedAndTheBoxStillAnswers) {
  Scene scene;
  ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyZ));
  const InputBoxState box = *scene.host().inputBox();
  const std::vector<unsigned char> before = Snapshot(scene.mfd());
  EXPECT_FALSE(box.callback(nullptr, nullptr, box.usrdata));
  EXPECT_EQ(Snapshot(scene.mfd()), before);
  EXPECT_TRUE(Answer(box, "12"));
  EXPECT_EQ(scene.mfd().inputs.securityAlt, 12000);
}

TEST(DialogLifetime, UserDataThatNamesNoTicketReachesNoInstance) {
  Scene scene;
  ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyL));
  const InputBoxState box = *scene.host().inputBox();
  const std::vector<unsigned char> before = Snapshot(scene.mfd());
  std::string text = "45";
  for (void* forged :
       {static_cast<void*>(nullptr), static_cast<void*>(&scene.mfd()),
        reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(box.usrdata) + 64)}) {
    box.callback(nullptr, text.data(), forged);
  }
  EXPECT_EQ(Snapshot(scene.mfd()), before);
}

// Boxes the pilot never answers hold their tickets; once all are taken the
// oldest is given to the newest box, and the oldest box goes dead.
TEST(DialogLifetime, WhenEveryTicketIsTakenTheOldestBoxGoesDead) {
  Scene scene;
  // The host keeps one box and replaces it; the module cannot tell that a
  // replaced box will never answer, so each keeps its ticket.
  std::vector<InputBoxState> boxes;
  for (int i = 0; i <= kMaxDialogTickets; ++i) {
    ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyL));
    boxes.push_back(*scene.host().inputBox());
  }
  ASSERT_EQ(boxes.size(), static_cast<std::size_t>(kMaxDialogTickets + 1));
  EXPECT_TRUE(Answer(boxes.front(), "11"));
  EXPECT_FALSE(scene.mfd().inputs.tgtLatSet);
  EXPECT_TRUE(Answer(boxes[1], "22"));
  EXPECT_EQ(scene.mfd().inputs.tgtLatDeg, 22);
  EXPECT_TRUE(Answer(boxes.back(), "33"));
  EXPECT_EQ(scene.mfd().inputs.tgtLatDeg, 33);
}

// --- Keys ---------------------------------------------------------------------------

TEST(EngineKey, TogglesOnlyWithBothEngineGroups) {
  {
    Scene scene;
    ArvexMFD& mfd = scene.mfd();
    mfd.launchPitchSet = true;
    ASSERT_TRUE(mfd.inputs.useMainEngine);
    EXPECT_TRUE(scene.host().pressButton(scene.display, 8));
    EXPECT_FALSE(mfd.inputs.useMainEngine);
    // The proposal for the other engine, made at once with the engines off.
    EXPECT_TRUE(mfd.launchPitchSet);
    EXPECT_TRUE(scene.host().pressKey(scene.display, kKeyE));
    EXPECT_TRUE(mfd.inputs.useMainEngine);
  }
  {
    testsupport::HopOptions mainOnly;
    mainOnly.vessel = sim::VesselSpec{"Hopper", 15000, 45000, 0, 0};
    Scene scene(SceneOptions().withHop(mainOnly));
    const std::vector<unsigned char> before = Snapshot(scene.mfd());
    EXPECT_TRUE(scene.host().pressKey(scene.display, kKeyE));
    EXPECT_EQ(Snapshot(scene.mfd()), before);
  }
}

struct PageCase {
  int flightMode;
  bool flightSolValid;
  int pageBefore;
  int pageAfter;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const PageCase& c, std::ostream* os) {
  *os << "mode " << c.flightMode << (c.flightSolValid ? ", solved" : ", unsolved") << ", page "
      << c.pageBefore << " to " << c.pageAfter;
}

class PageKey : public ::testing::TestWithParam<PageCase> {};

// Page 2/2 needs a solution to show; going back needs nothing; on the ground
// there are no pages to turn.
TEST_P(PageKey, TurnsOnlyInFlightAndOnlyToASolution) {
  const PageCase& c = GetParam();
  Scene scene;
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightMode = c.flightMode;
  mfd.flightSolValid = c.flightSolValid;
  mfd.inputs.flightPage = c.pageBefore;
  EXPECT_TRUE(scene.host().pressButton(scene.display, 11));
  EXPECT_EQ(mfd.inputs.flightPage, c.pageAfter);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageKey,
                         ::testing::Values(PageCase{1, false, 0, 0}, PageCase{1, true, 0, 1},
                                           PageCase{1, true, 1, 0}, PageCase{1, false, 1, 0},
                                           PageCase{0, true, 0, 0}));

struct SwitchCase {
  const char* what;
  bool vesselFlying;
  int modeBefore;
  int modeAfter;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.what; }

class SwitchKey : public ::testing::TestWithParam<SwitchCase> {};

// The mode is no free toggle: it follows the vessel's ground contact.
TEST_P(SwitchKey, FollowsGroundContact) {
  const SwitchCase& c = GetParam();
  Scene scene;
  if (c.vesselFlying) {
    scene.hop.lander().placeInFlight(scene.hop.base->lat_rad, scene.hop.base->lng_rad, 5e3, 0, 0,
                                     10);
  }
  scene.mfd().inputs.flightMode = c.modeBefore;
  EXPECT_TRUE(scene.host().pressButton(scene.display, 6));
  EXPECT_EQ(scene.mfd().inputs.flightMode, c.modeAfter);
}

INSTANTIATE_TEST_SUITE_P(Modes, SwitchKey,
                         ::testing::Values(SwitchCase{"grounded, on the ground", false, 0, 0},
                                           SwitchCase{"grounded, flying", true, 0, 1},
                                           SwitchCase{"in flight, landed", false, 1, 0},
                                           SwitchCase{"in flight, flying", true, 1, 1}),
                         [](const auto& info) { return testsupport::CaseName(info.param.what); });

TEST(SwitchKey, RecomputesEvenWhenTheModeStays) {
  Scene scene;
  ArvexMFD& mfd = scene.mfd();
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyL, "5"));
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyN, "30"));
  mfd.plan.groundSolValid = false;
  EXPECT_TRUE(scene.host().pressKey(scene.display, kKeyS));
  EXPECT_EQ(mfd.inputs.flightMode, 0);
  EXPECT_TRUE(mfd.plan.groundSolValid);
}

TEST(ResetKey, ClearsTheTargetAndAltitudesButKeepsThePage) {
  Scene scene(SceneOptions().flying());
  ArvexMFD& mfd = scene.mfd();
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyL, "5"));
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyZ, "70"));
  ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyB, "9"));
  mfd.inputs.flightPage = 1;
  EXPECT_TRUE(scene.host().pressButton(scene.display, 5));
  EXPECT_FALSE(mfd.inputs.tgtLatSet);
  EXPECT_EQ(mfd.inputs.securityAlt, 40000);
  EXPECT_EQ(mfd.inputs.altAboveTarget, 5000);
  EXPECT_EQ(mfd.inputs.flightPage, 1);
  EXPECT_TRUE(moduleState.hooksEnabled);
}

}  // namespace
