// The simulated host's services as a module meets them: handles, the
// configuration folder, input boxes, displays, module loading and the frames
// behind a vessel standing on a turning body.
#include "sim/host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/host_fixture.h"

// The SDK takes names and titles as char*; the host only reads them.
static char* Text(const char* s) { return const_cast<char*>(s); }

namespace {

using sim::Host;
using sim::HostError;
using sim::Surface;
using testsupport::MoonHop;
using testsupport::TempDir;

// --- a display mode defined here ------------------------------------------

constexpr DWORD kOpenBoxKey = 20;     // T
constexpr DWORD kInvalidateKey = 23;  // I

// The device context as a redraw finds it.
struct DcState {
  COLORREF text = 0;
  UINT align = 0;
  int bkMode = 0;
  HGDIOBJ brush = nullptr, pen = nullptr;
  bool operator==(const DcState&) const = default;
};
DcState StateOf(HDC hDC) {
  DcState s{GetTextColor(hDC), GetTextAlign(hDC), GetBkMode(hDC)};
  s.brush = SelectObject(hDC, GetStockObject(NULL_BRUSH));
  SelectObject(hDC, s.brush);
  s.pen = SelectObject(hDC, GetStockObject(NULL_PEN));
  SelectObject(hDC, s.pen);
  return s;
}

// What the test mode's instances and callbacks saw.
struct ModeLog {
  int built = 0, destroyed = 0;
  UINT lastDisplayIndex = 0;
  UINT buildOn = OAPI_MSG_MFD_OPENED;            // the message that builds an instance (0: none)
  std::vector<UINT> messages;                    // received by the message procedure
  std::vector<std::pair<UINT, UINT>> addressed;  // (message, display index), in order
  std::vector<DcState> entryStates;              // at the start of every Update
  bool accept = false;                           // the input box callback accepts
  std::vector<std::pair<int, int>> buttonEvents;
  std::function<void()> onButton;     // run at every button event, if set
  std::vector<std::string> received;  // texts that reached a callback
  // RecallStatus, StoreStatus, the closing message and the destructor, in order.
  std::vector<std::string> lifecycle;
};
ModeLog modeLog;

class TestMfd : public MFD {
 public:
  TestMfd(DWORD w, DWORD h, VESSEL* vessel) : MFD(w, h, vessel) { ++modeLog.built; }
  ~TestMfd() override {
    ++modeLog.destroyed;
    modeLog.lifecycle.push_back("destroyed");
  }
  void RecallStatus() override { modeLog.lifecycle.push_back("recall"); }
  void StoreStatus() const override { modeLog.lifecycle.push_back("store"); }
  DWORD width() const { return W; }
  DWORD height() const { return H; }
  VESSEL* vessel() const { return pV; }

  void Update(HDC hDC) override {
    modeLog.entryStates.push_back(StateOf(hDC));
    SetTextAlign(hDC, TA_CENTER);
    Title(hDC, "Test page");
    TextOutA(hDC, 50, 40, "after", 5);
    // Left behind: the next redraw must not find any of it.
    SetBkMode(hDC, OPAQUE);
    SelectObject(hDC, GetStockObject(WHITE_BRUSH));
    SelectObject(hDC, GetStockObject(WHITE_PEN));
  }
  bool ConsumeKeyBuffered(DWORD key) override {
    if (key == kInvalidateKey) InvalidateDisplay();
    if (key != kOpenBoxKey) return false;
    oapiOpenInputBox(Text("Value:"), &TestMfd::OnInput, nullptr, 20, this);
    return true;
  }
  bool ConsumeButton(int bt, int event) override {
    modeLog.buttonEvents.emplace_back(bt, event);
    if (modeLog.onButton) modeLog.onButton();
    return bt == 0;
  }
  char* ButtonLabel(int bt) override { return bt == 0 ? label_ : nullptr; }

 private:
  // Touches no instance: the box may outlive the display that opened it.
  static bool OnInput(void*, char* str, void*) {
    modeLog.received.emplace_back(str);
    return modeLog.accept;
  }
  char label_[4] = "VAL";
};

OAPI_MSGTYPE TestMsgProc(UINT msg, UINT mfd, WPARAM wparam, LPARAM lparam) {
  modeLog.lastDisplayIndex = mfd;
  modeLog.messages.push_back(msg);
  modeLog.addressed.emplace_back(msg, mfd);
  if (msg == OAPI_MSG_MFD_CLOSED) modeLog.lifecycle.push_back("closed");
  if (msg != modeLog.buildOn) return 0;
  DWORD w = LOWORD(wparam), h = HIWORD(wparam);
  if (msg == OAPI_MSG_MFD_OPENEDEX) {
    const auto* open = reinterpret_cast<const MFDMODEOPENSPEC*>(wparam);
    w = open->w;
    h = open->h;
  }
  return reinterpret_cast<OAPI_MSGTYPE>(new TestMfd(w, h, reinterpret_cast<VESSEL*>(lparam)));
}

// A mode that overrides nothing but Update.
class PlainMfd : public MFD {
 public:
  using MFD::MFD;
  void Update(HDC) override {}
};
OAPI_MSGTYPE PlainMsgProc(UINT msg, UINT, WPARAM wparam, LPARAM lparam) {
  if (msg != OAPI_MSG_MFD_OPENED) return 0;
  return reinterpret_cast<OAPI_MSGTYPE>(
      new PlainMfd(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<VESSEL*>(lparam)));
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    modeLog = ModeLog{};
    MFDMODESPEC spec{Text("Test Mode"), 0x30, TestMsgProc};
    mode = hop.host.registerMode(spec);
  }
  TestMfd* instance(int display) { return dynamic_cast<TestMfd*>(hop.host.display(display)); }

  MoonHop hop;
  int mode = 0;
};

// --- handles ------------------------------------------------------------------

TEST(HostHandles, WithoutAHostEveryCallFailsCleanly) {
  ASSERT_EQ(Host::current(), nullptr);
  int dummy = 0;
  OBJHANDLE bogus = &dummy;
  EXPECT_EQ(oapiGetFocusObject(), nullptr);
  EXPECT_EQ(oapiGetFocusInterface(), nullptr);
  EXPECT_EQ(oapiGetVesselInterface(bogus), nullptr);
  EXPECT_EQ(oapiGetMass(bogus), 0.0);
  EXPECT_EQ(oapiGetSize(bogus), 0.0);
  EXPECT_EQ(oapiGetBaseByName(bogus, const_cast<char*>("Apollo11")), nullptr);
  EXPECT_EQ(oapiGetPlanetCurrentRotation(bogus), 0.0);
  EXPECT_EQ(oapiOpenFile("ArvexMFD.cfg", FILE_IN, CONFIG), nullptr);
  MFDMODESPEC spec{Text("Orphan"), 1, TestMsgProc};
  EXPECT_EQ(oapiRegisterMFDMode(spec), 0);
  EXPECT_FALSE(oapiUnregisterMFDMode(1));
  VESSEL v(bogus);
  EXPECT_EQ(v.GetMass(), 0.0);
  EXPECT_STREQ(v.GetName(), "");
  EXPECT_EQ(v.GetSurfaceRef(), nullptr);
}

TEST(HostHandles, StaleHandlesFromADestroyedHostResolveToNothing) {
  OBJHANDLE oldBody = nullptr, oldVessel = nullptr, oldBase = nullptr;
  {
    MoonHop first;
    oldBody = first.bodyHandle();
    oldVessel = first.vesselHandle();
    oldBase = oapiGetBaseByName(oldBody, const_cast<char*>(first.base->name.c_str()));
    ASSERT_NE(oldBase, nullptr);
  }
  MoonHop second;  // the same scene, built again
  EXPECT_NE(second.bodyHandle(), oldBody);
  EXPECT_NE(second.vesselHandle(), oldVessel);
  EXPECT_EQ(second.host.bodyOf(oldBody), nullptr);
  EXPECT_EQ(second.host.vesselOf(oldVessel), nullptr);
  EXPECT_EQ(second.host.baseOf(oldBase), nullptr);
  EXPECT_EQ(oapiGetMass(oldBody), 0.0);
  EXPECT_EQ(oapiGetVesselInterface(oldVessel), nullptr);
  EXPECT_EQ(oapiGetBaseByName(oldBody, const_cast<char*>(second.base->name.c_str())), nullptr);

  VESSEL stale(oldVessel);
  double lng = 1, lat = 1, rad = 1;
  EXPECT_FALSE(stale.GetEquPos(lng, lat, rad));
  EXPECT_EQ(rad, 0.0);
  EXPECT_FALSE(stale.GroundContact());
  EXPECT_EQ(stale.GetThrusterGroupHandle(THGROUP_MAIN), nullptr);
  VECTOR3 pos = _V(1, 1, 1);
  stale.GetRelativePos(second.bodyHandle(), pos);
  EXPECT_EQ(pos.x, 0.0);
  // A live vessel measured against a stale reference gives nothing either.
  VESSEL* live = oapiGetVesselInterface(second.vesselHandle());
  ASSERT_NE(live, nullptr);
  pos = _V(1, 1, 1);
  live->GetRelativePos(oldBody, pos);
  EXPECT_EQ(pos.x, 0.0);
}

TEST(HostHandles, AHandleOfOneKindIsNotAnotherKind) {
  MoonHop hop;
  const OBJHANDLE base =
      oapiGetBaseByName(hop.bodyHandle(), const_cast<char*>(hop.base->name.c_str()));
  EXPECT_EQ(oapiGetBaseByName(hop.vesselHandle(), const_cast<char*>(hop.base->name.c_str())),
            nullptr);
  EXPECT_EQ(oapiGetSize(base), 0.0);
  EXPECT_EQ(oapiGetVesselInterface(hop.bodyHandle()), nullptr);
  EXPECT_EQ(oapiGetPlanetCurrentRotation(hop.vesselHandle()), 0.0);
  MATRIX3 m;
  oapiGetPlanetObliquityMatrix(base, &m);
  EXPECT_EQ(m.m11, 0.0);
  double lng = 5;
  oapiGetBaseEquPos(hop.bodyHandle(), &lng, nullptr, nullptr);
  EXPECT_EQ(lng, 0.0);
}

TEST(HostHandles, TheNewestHostIsCurrentWhateverOrderHostsEndIn) {
  Host a;
  auto b = std::make_unique<Host>();
  auto c = std::make_unique<Host>();
  EXPECT_EQ(Host::current(), c.get());
  b.reset();
  EXPECT_EQ(Host::current(), c.get());
  c.reset();
  EXPECT_EQ(Host::current(), &a);
}

TEST(HostHandles, ObjectNamesAreCutToTheBufferWithTheirTerminator) {
  MoonHop hop;
  struct Case {
    int n;
    const char* expected;
  };
  for (const Case& c :
       {Case{1, ""}, Case{2, "M"}, Case{4, "Moo"}, Case{5, "Moon"}, Case{64, "Moon"}}) {
    SCOPED_TRACE(c.n);
    std::string buffer(80, '#');
    oapiGetObjectName(hop.bodyHandle(), buffer.data(), c.n);
    EXPECT_STREQ(buffer.c_str(), c.expected);
    EXPECT_EQ(buffer[static_cast<std::size_t>(c.n)], '#');  // nothing written past n
  }
  char untouched[4] = "abc";
  oapiGetObjectName(hop.bodyHandle(), untouched, 0);
  EXPECT_STREQ(untouched, "abc");
  oapiGetObjectName(hop.bodyHandle(), untouched, -3);
  EXPECT_STREQ(untouched, "abc");

  char name[32];
  oapiGetObjectName(hop.vesselHandle(), name, sizeof name);
  EXPECT_STREQ(name, "Lander");
  oapiGetObjectName(oapiGetBaseByName(hop.bodyHandle(), const_cast<char*>("Apollo17")), name,
                    sizeof name);
  EXPECT_STREQ(name, "Apollo17");
  oapiGetObjectName(nullptr, name, sizeof name);
  EXPECT_STREQ(name, "");
}

TEST(HostHandles, BasesAreFoundOnTheirBodyWithoutRegardToAsciiCase) {
  MoonHop hop;
  const int earth = hop.host.world().addBody(*sim::builtinBody("Earth"));
  const OBJHANDLE moon = hop.bodyHandle();
  const OBJHANDLE exact = oapiGetBaseByName(moon, const_cast<char*>("Apollo15"));
  ASSERT_NE(exact, nullptr);
  EXPECT_EQ(oapiGetBaseByName(moon, const_cast<char*>("aPOLLO15")), exact);
  EXPECT_EQ(oapiGetBaseByName(moon, const_cast<char*>("Apollo 15")), nullptr);
  EXPECT_EQ(oapiGetBaseByName(moon, const_cast<char*>("")), nullptr);
  EXPECT_EQ(oapiGetBaseByName(moon, nullptr), nullptr);
  EXPECT_EQ(oapiGetBaseByName(nullptr, const_cast<char*>("Apollo15")), nullptr);
  EXPECT_EQ(oapiGetBaseByName(hop.host.bodyHandle(earth), const_cast<char*>("Apollo15")), nullptr);

  const sim::Base* base = hop.host.world().body(hop.body).findBase("Apollo15");
  double lng = 0, lat = 0, rad = 0;
  oapiGetBaseEquPos(exact, &lng, &lat, &rad);
  EXPECT_DOUBLE_EQ(lng, base->lng_rad);
  EXPECT_DOUBLE_EQ(lat, base->lat_rad);
  EXPECT_DOUBLE_EQ(rad, oapiGetSize(moon));
  double latOnly = 0;
  oapiGetBaseEquPos(exact, nullptr, &latOnly, nullptr);
  EXPECT_DOUBLE_EQ(latOnly, base->lat_rad);
}

TEST(HostHandles, ThrusterGroupsExistOnlyWhereTheVesselHasThem) {
  MoonHop hop;  // main 45 kN and hover 30 kN, no retro
  VESSEL* v = oapiGetFocusInterface();
  ASSERT_NE(v, nullptr);
  EXPECT_NE(v->GetThrusterGroupHandle(THGROUP_MAIN), nullptr);
  EXPECT_NE(v->GetThrusterGroupHandle(THGROUP_HOVER), nullptr);
  EXPECT_NE(v->GetThrusterGroupHandle(THGROUP_MAIN), v->GetThrusterGroupHandle(THGROUP_HOVER));
  EXPECT_EQ(v->GetThrusterGroupHandle(THGROUP_RETRO), nullptr);
  EXPECT_EQ(v->GetThrusterGroupHandle(THGROUP_USER), nullptr);
  EXPECT_DOUBLE_EQ(v->GetMaxThrust(ENGINE_MAIN), 45000.0);
  EXPECT_DOUBLE_EQ(v->GetMaxThrust(ENGINE_HOVER), 30000.0);
  EXPECT_DOUBLE_EQ(v->GetMaxThrust(ENGINE_RETRO), 0.0);

  v->SetThrusterGroupLevel(THGROUP_HOVER, 0.25);
  EXPECT_DOUBLE_EQ(v->GetThrusterGroupLevel(THGROUP_HOVER), 0.25);
  v->SetThrusterGroupLevel(THGROUP_MAIN, 7.0);
  EXPECT_DOUBLE_EQ(v->GetThrusterGroupLevel(THGROUP_MAIN), 1.0);
  v->SetThrusterGroupLevel(THGROUP_MAIN, std::nan(""));
  EXPECT_DOUBLE_EQ(v->GetThrusterGroupLevel(THGROUP_MAIN), 1.0);
  v->SetThrusterGroupLevel(THGROUP_RETRO, 1.0);
  EXPECT_DOUBLE_EQ(v->GetThrusterGroupLevel(THGROUP_RETRO), 0.0);
  EXPECT_EQ(oapiGetFocusObject(), hop.vesselHandle());
  EXPECT_EQ(oapiGetVesselInterface(hop.vesselHandle()), v);
  EXPECT_EQ(v->GetSurfaceRef(), hop.bodyHandle());
  EXPECT_STREQ(v->GetName(), "Lander");
  EXPECT_DOUBLE_EQ(v->GetMass(), 15000.0);
  EXPECT_DOUBLE_EQ(oapiGetMass(hop.vesselHandle()), 15000.0);
}

// --- configuration files ---------------------------------------------------------

struct IntCase {
  const char* text;
  bool accepted;
  int value;  // when accepted
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ConfigIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ConfigIntTest, OnlyAWholeIntegerInRangeIsRead) {
  MoonHop hop;
  hop.config.write("ArvexMFD.cfg", std::string("LANGUAGE = ") + GetParam().text + "\n");
  FILEHANDLE f = oapiOpenFile("ArvexMFD.cfg", FILE_IN, CONFIG);
  ASSERT_NE(f, nullptr);
  int value = 12345;
  EXPECT_EQ(oapiReadItem_int(f, Text("LANGUAGE"), value), GetParam().accepted);
  EXPECT_EQ(value, GetParam().accepted ? GetParam().value : 12345);
  oapiCloseFile(f, FILE_IN);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConfigIntTest,
    ::testing::Values(IntCase{"1", true, 1}, IntCase{"0", true, 0}, IntCase{"  -42  ", true, -42},
                      IntCase{"+7", true, 7}, IntCase{"2147483647", true, 2147483647},
                      IntCase{"-2147483648", true, -2147483647 - 1},
                      IntCase{"2147483648", false, 0}, IntCase{"99999999999999999999", false, 0},
                      IntCase{"1.5", false, 0}, IntCase{"1abc", false, 0}, IntCase{"abc", false, 0},
                      IntCase{"", false, 0}, IntCase{"0x10", false, 0}, IntCase{"+-1", false, 0},
                      IntCase{"1 2", false, 0}, IntCase{"3 ; French", true, 3}));

TEST(HostConfig, ItemsAreReadInOrbitersLineSyntax) {
  MoonHop hop;
  hop.config.write("Mixed.cfg",
                   "; LANGUAGE = 9 (a comment, not an item)\r\n"
                   "Language=2\r\n"
                   "LANGUAGE = 5\r\n"
                   "  Other Item =  -3 ; trailing comment\n"
                   "NoEqualsSign 4\n");
  FILEHANDLE f = oapiOpenFile("Mixed.cfg", FILE_IN, CONFIG);
  ASSERT_NE(f, nullptr);
  int language = 0, other = 0, absent = 77;
  EXPECT_TRUE(oapiReadItem_int(f, Text("LANGUAGE"), language));
  EXPECT_EQ(language, 2);  // the first line naming an item wins
  EXPECT_TRUE(oapiReadItem_int(f, Text("other item"), other));
  EXPECT_EQ(other, -3);
  EXPECT_FALSE(oapiReadItem_int(f, Text("NoEqualsSign"), absent));
  EXPECT_FALSE(oapiReadItem_int(f, Text("MISSING"), absent));
  EXPECT_FALSE(oapiReadItem_int(f, nullptr, absent));
  EXPECT_EQ(absent, 77);
  oapiCloseFile(f, FILE_IN);
  EXPECT_EQ(hop.host.openFileCount(), 0u);
  EXPECT_FALSE(oapiReadItem_int(f, Text("LANGUAGE"), absent));  // closed
  EXPECT_EQ(absent, 77);
}

TEST(HostConfig, FilesOutsideTheConfigurationFolderDoNotOpen) {
  TempDir outer;
  std::filesystem::create_directory(outer.path() / "config");
  outer.write("secret.cfg", "LANGUAGE = 1\n");
  outer.write("config/ArvexMFD.cfg", "LANGUAGE = 1\n");
  Host host;
  EXPECT_EQ(oapiOpenFile("ArvexMFD.cfg", FILE_IN, CONFIG), nullptr);  // no folder set yet
  host.setConfigDir(outer.path() / "config");

  FILEHANDLE inside = oapiOpenFile("ArvexMFD.cfg", FILE_IN, CONFIG);
  EXPECT_NE(inside, nullptr);
  oapiCloseFile(inside, FILE_IN);
  EXPECT_EQ(oapiOpenFile("Missing.cfg", FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile("../secret.cfg", FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile("..\\secret.cfg", FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile((outer.path() / "secret.cfg").c_str(), FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile("", FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile(nullptr, FILE_IN, CONFIG), nullptr);
  EXPECT_EQ(oapiOpenFile("ArvexMFD.cfg", FILE_OUT, CONFIG), nullptr);  // nothing is written
  EXPECT_EQ(oapiOpenFile("ArvexMFD.cfg", FILE_IN, SCENARIOS), nullptr);
  EXPECT_EQ(host.openFileCount(), 0u);
}

// --- input boxes ----------------------------------------------------------------

TEST_F(HostTest, ARefusedTextKeepsTheBoxOpenAndAnAcceptedOneClosesIt) {
  const int d = hop.host.openDisplay(mode, 300, 300);
  ASSERT_TRUE(hop.host.pressKey(d, kOpenBoxKey));
  ASSERT_TRUE(hop.host.hasInputBox());
  EXPECT_EQ(hop.host.inputBoxTitle(), "Value:");
  EXPECT_EQ(hop.host.inputBox()->displayId, d);

  modeLog.accept = false;
  EXPECT_FALSE(hop.host.typeInput("nope"));
  EXPECT_TRUE(hop.host.hasInputBox());
  modeLog.accept = true;
  EXPECT_TRUE(hop.host.typeInput("yes"));
  EXPECT_FALSE(hop.host.hasInputBox());
  EXPECT_EQ(modeLog.received, (std::vector<std::string>{"nope", "yes"}));
  EXPECT_THROW(hop.host.typeInput("nobody listens"), HostError);
}

TEST_F(HostTest, TypedTextReachesTheCallbackByteForByte) {
  std::string everyByte;
  for (int i = 0; i < 20000; ++i) everyByte.push_back(static_cast<char>(1 + i % 255));
  const std::vector<std::string> texts = {"", "Caf\xE9 40\xB0", everyByte,
                                          std::string(1 << 16, 'x')};
  const int d = hop.host.openDisplay(mode, 300, 300);
  modeLog.accept = true;
  for (const auto& text : texts) {
    hop.host.pressKey(d, kOpenBoxKey);
    EXPECT_TRUE(hop.host.typeInput(text));
  }
  EXPECT_EQ(modeLog.received, texts);
}

// One box at a time, as in Orbiter: opening a box replaces the open one,
// whoever opened it, and the replaced box never answers.
TEST_F(HostTest, OpeningABoxReplacesTheOpenOne) {
  const int d = hop.host.openDisplay(mode, 300, 300);
  hop.host.pressKey(d, kOpenBoxKey);
  const int first = hop.host.inputBox()->id;
  hop.host.pressKey(d, kOpenBoxKey);
  ASSERT_TRUE(hop.host.hasInputBox());
  EXPECT_NE(hop.host.inputBox()->id, first);
  oapiOpenInputBox(
      Text("Not from a display"), [](void*, char*, void*) { return true; }, nullptr, 20, nullptr);
  EXPECT_EQ(hop.host.inputBox()->displayId, -1);
  EXPECT_TRUE(hop.host.typeInput("to the last"));
  EXPECT_FALSE(hop.host.hasInputBox());
  EXPECT_TRUE(modeLog.received.empty());
}

// A box outlives the display that opened it, through a close and through a
// rebuild of every display, as Orbiter's does: its callback still comes.
TEST_F(HostTest, ABoxOutlivesItsDisplay) {
  const int keep = hop.host.openDisplay(mode, 300, 300);
  const int gone = hop.host.openDisplay(mode, 300, 300);
  hop.host.pressKey(gone, kOpenBoxKey);
  hop.host.closeDisplay(gone);
  hop.host.rebuildAllDisplays();
  ASSERT_TRUE(hop.host.hasInputBox());
  EXPECT_EQ(hop.host.inputBox()->displayId, gone);
  modeLog.accept = true;
  EXPECT_TRUE(hop.host.typeInput("late"));
  EXPECT_EQ(modeLog.received, std::vector<std::string>{"late"});
  EXPECT_TRUE(hop.host.isOpen(keep));
}

// --- displays -----------------------------------------------------------------------

TEST_F(HostTest, OpeningSendsTheSizeAndTheFocusVessel) {
  const int d = hop.host.openDisplay("Test Mode", 600, 300);
  ASSERT_GE(d, 0);
  TestMfd* mfd = instance(d);
  ASSERT_NE(mfd, nullptr);
  EXPECT_EQ(mfd->width(), 600u);
  EXPECT_EQ(mfd->height(), 300u);
  EXPECT_EQ(mfd->vessel(), hop.host.vesselInterface(hop.vesselHandle()));
  EXPECT_EQ(modeLog.lastDisplayIndex, static_cast<UINT>(d));

  const int extreme = hop.host.openDisplay(mode, sim::kMaxDisplaySize, 1);
  EXPECT_EQ(instance(extreme)->width(), static_cast<DWORD>(sim::kMaxDisplaySize));
  EXPECT_EQ(instance(extreme)->height(), 1u);
  EXPECT_EQ(hop.host.surface(extreme).width(), sim::kMaxDisplaySize);
}

TEST_F(HostTest, OpeningTriesTheExtendedMessageFirstAndANullInstanceIsAModuleFault) {
  struct Case {
    UINT buildOn;
    std::vector<UINT> messages;
    bool opens;
  };
  const Case cases[] = {
      {OAPI_MSG_MFD_OPENEDEX, {OAPI_MSG_MFD_OPENEDEX, OAPI_MSG_MFD_CLOSED}, true},
      {OAPI_MSG_MFD_OPENED,
       {OAPI_MSG_MFD_OPENEDEX, OAPI_MSG_MFD_OPENED, OAPI_MSG_MFD_CLOSED},
       true},
      {0, {OAPI_MSG_MFD_OPENEDEX, OAPI_MSG_MFD_OPENED}, false},
  };
  for (const Case& c : cases) {
    modeLog = ModeLog{};
    modeLog.buildOn = c.buildOn;
    if (c.opens) {
      const int d = hop.host.openDisplay(mode, 320, 200);
      EXPECT_EQ(instance(d)->width(), 320u);
      EXPECT_EQ(instance(d)->height(), 200u);
      hop.host.closeDisplay(d);
    } else {
      EXPECT_THROW(hop.host.openDisplay(mode, 320, 200), HostError);
      EXPECT_TRUE(hop.host.openDisplays().empty());
    }
    EXPECT_EQ(modeLog.messages, c.messages);
  }
}

TEST_F(HostTest, OpeningRecallsTheStatusAndClosingStoresItBeforeTheClosingMessage) {
  const int d = hop.host.openDisplay(mode, 300, 200);
  EXPECT_EQ(modeLog.lifecycle, std::vector<std::string>{"recall"});
  hop.host.closeDisplay(d);
  EXPECT_EQ(modeLog.lifecycle,
            (std::vector<std::string>{"recall", "store", "closed", "destroyed"}));
  EXPECT_EQ(modeLog.lastDisplayIndex, static_cast<UINT>(d));
}

TEST_F(HostTest, TheGlassCockpitFramesEveryRedrawInGreenAndOtherPanesDoNot) {
  const int d = hop.host.openDisplay(mode, 300, 200);
  for (bool glass : {true, false}) {
    hop.host.setGlassCockpit(glass);
    const Surface& s = hop.host.redraw(d);
    ASSERT_EQ(s.rectangles().size(), glass ? 1u : 0u);
    if (glass) {
      const sim::DrawnRectangle& frame = s.rectangles()[0];
      EXPECT_EQ(std::vector<int>({frame.left, frame.top, frame.right, frame.bottom}),
                std::vector<int>({0, 0, 300, 200}));
      EXPECT_EQ(frame.color, sim::kDisplayGreen);
      EXPECT_FALSE(frame.filled);
    }
    // Drawn before the mode's Update, which finds the context as before.
    EXPECT_EQ(modeLog.entryStates.back().pen, sim::displayPen());
    EXPECT_EQ(modeLog.entryStates.back().brush, GetStockObject(NULL_BRUSH));
  }
}

TEST_F(HostTest, MisuseIsReportedWithAnError) {
  EXPECT_THROW(hop.host.openDisplay(mode + 100, 300, 300), HostError);
  EXPECT_THROW(hop.host.openDisplay("No Such Mode", 300, 300), HostError);
  EXPECT_THROW(hop.host.openDisplay(mode, 0, 300), HostError);
  EXPECT_THROW(hop.host.openDisplay(mode, 300, sim::kMaxDisplaySize + 1), HostError);
  EXPECT_THROW(hop.host.closeDisplay(42), HostError);
  EXPECT_THROW(hop.host.redraw(42), HostError);
  EXPECT_THROW(hop.host.pressKey(42, 1), HostError);
  EXPECT_THROW(hop.host.setFocus(99), HostError);
  EXPECT_THROW(hop.host.step(-1), HostError);
  EXPECT_THROW(hop.host.step(std::nan("")), HostError);
  Host bare;  // no vessel, so no focus
  bare.registerMode(MFDMODESPEC{Text("Test Mode"), 0x30, TestMsgProc});
  EXPECT_THROW(bare.openDisplay("Test Mode", 300, 300), HostError);
  EXPECT_EQ(modeLog.built, 0);
}

TEST_F(HostTest, ClosingAndRebuildingDestroyTheInstanceThroughItsDestructor) {
  const int d = hop.host.openDisplay(mode, 300, 200);
  Surface& before = hop.host.surface(d);
  hop.host.rebuildDisplay(d);
  EXPECT_EQ(modeLog.built, 2);
  EXPECT_EQ(modeLog.destroyed, 1);
  EXPECT_TRUE(hop.host.isOpen(d));
  EXPECT_EQ(&hop.host.surface(d), &before);  // the display keeps its surface
  EXPECT_EQ(instance(d)->height(), 200u);
  hop.host.closeDisplay(d);
  EXPECT_EQ(modeLog.destroyed, 2);
  EXPECT_FALSE(hop.host.isOpen(d));
  EXPECT_EQ(hop.host.display(d), nullptr);
}

// A change of view or panel, as Orbiter makes it: every display closes, then
// every display opens again, each in its mode and size, in display order.
TEST_F(HostTest, RebuildingEveryDisplayClosesAllBeforeOpeningAny) {
  const int a = hop.host.openDisplay(mode, 300, 200);
  const int b = hop.host.openDisplay(mode, 200, 100);
  Surface& surfaceA = hop.host.surface(a);
  modeLog.addressed.clear();
  hop.host.rebuildAllDisplays();
  const UINT ia = static_cast<UINT>(a), ib = static_cast<UINT>(b);
  const std::vector<std::pair<UINT, UINT>> expected = {
      {OAPI_MSG_MFD_CLOSED, ia}, {OAPI_MSG_MFD_CLOSED, ib},   {OAPI_MSG_MFD_OPENEDEX, ia},
      {OAPI_MSG_MFD_OPENED, ia}, {OAPI_MSG_MFD_OPENEDEX, ib}, {OAPI_MSG_MFD_OPENED, ib}};
  EXPECT_EQ(modeLog.addressed, expected);
  EXPECT_EQ(modeLog.destroyed, 2);
  EXPECT_EQ(instance(a)->height(), 200u);
  EXPECT_EQ(instance(b)->width(), 200u);
  EXPECT_EQ(&hop.host.surface(a), &surfaceA);
}

// In the glass cockpit Orbiter's pane redraws its displays and only then
// hands the held button its event; an external window's event comes first.
TEST_F(HostTest, TheGlassCockpitRedrawsBeforeTheHeldButtonsEvent) {
  const int d = hop.host.openDisplay(mode, 300, 300);
  for (const auto style : {sim::ButtonStyle::GlassCockpit, sim::ButtonStyle::ExternalWindow}) {
    hop.host.setButtonStyle(style);
    hop.host.holdButton(d, 1);
    hop.host.invalidateDisplay(hop.host.display(d));
    modeLog.buttonEvents.clear();
    const std::size_t redrawsBefore = modeLog.entryStates.size();
    std::size_t redrawsAtEvent = 0;
    modeLog.onButton = [&] { redrawsAtEvent = modeLog.entryStates.size(); };
    hop.host.step(0.1);
    modeLog.onButton = nullptr;
    ASSERT_EQ(modeLog.buttonEvents.size(), 1u);
    hop.host.releaseButton(d);
    const bool glass = style == sim::ButtonStyle::GlassCockpit;
    EXPECT_EQ(redrawsAtEvent, redrawsBefore + (glass ? 1 : 0));
  }
}

TEST_F(HostTest, ButtonsArriveAsTheGlassCockpitOrAnExternalWindowSendsThem) {
  using Events = std::vector<std::pair<int, int>>;
  struct Case {
    sim::ButtonStyle style;
    Events click, held;  // a click on 0; button 1 held over two steps
  };
  const Case cases[] = {
      {sim::ButtonStyle::GlassCockpit, {{0, 0x11}}, {{1, 0x11}, {1, 0x10}, {1, 0x10}}},
      {sim::ButtonStyle::ExternalWindow,
       {{0, 0x01}, {0, 0x04}},
       {{1, 0x01}, {1, 0x10}, {1, 0x10}, {1, 0x04}}},
  };
  const int d = hop.host.openDisplay(mode, 300, 300);
  for (const Case& c : cases) {
    hop.host.setButtonStyle(c.style);
    modeLog.buttonEvents.clear();
    EXPECT_TRUE(hop.host.pressButton(d, 0));
    EXPECT_EQ(modeLog.buttonEvents, c.click);
    modeLog.buttonEvents.clear();
    EXPECT_FALSE(hop.host.holdButton(d, 1));
    hop.host.step(0.1);
    hop.host.step(0.1);
    hop.host.releaseButton(d);
    hop.host.step(0.1);
    EXPECT_EQ(modeLog.buttonEvents, c.held);
  }
  EXPECT_EQ(hop.host.buttonLabel(d, 0), "VAL");
  EXPECT_EQ(hop.host.buttonLabel(d, 1), "");
}

TEST_F(HostTest, EveryRedrawStartsFromAFreshContextWithOrbitersSettings) {
  const int d = hop.host.openDisplay(mode, 300, 300);
  const DcState expected{RGB(0, 255, 0), TA_LEFT | TA_TOP, TRANSPARENT, GetStockObject(NULL_BRUSH),
                         sim::displayPen()};
  for (int frame = 0; frame < 2; ++frame) {
    Surface& s = hop.host.redraw(d);
    EXPECT_EQ(modeLog.entryStates.back(), expected) << "redraw " << frame;
    ASSERT_EQ(s.texts().size(), 2u) << "the surface starts empty";
    // The title: at (cw/2, 0) in grey, with the mode's alignment, and the
    // grey stays for the text after it.
    const sim::DrawnText& title = s.texts()[0];
    EXPECT_TRUE(title.title);
    EXPECT_EQ(title.bytes, "Test page");
    EXPECT_EQ(title.x, s.charWidth() / 2);
    EXPECT_EQ(title.y, 0);
    EXPECT_EQ(title.align, static_cast<UINT>(TA_CENTER));
    EXPECT_EQ(s.texts()[1].color, sim::kTitleColor);
    EXPECT_FALSE(s.texts()[1].title);
  }
  // Nothing to draw on, or nothing to draw: nothing happens.
  const std::size_t drawn = hop.host.surface(d).texts().size();
  instance(d)->Title(nullptr, "ignored");
  instance(d)->Title(hop.host.surface(d).hdc(), nullptr);
  EXPECT_EQ(hop.host.surface(d).texts().size(), drawn);
}

// Redraws in a run of steps: due by the interval in simulated time, at most
// ten a second in real time, and not after input unless the mode asks.
TEST_F(HostTest, DisplaysAreRedrawnAtTheRefreshInterval) {
  struct Case {
    double interval, timeAcceleration, dt;
    int steps;
    std::uint64_t redraws;
  };
  const Case cases[] = {
      {sim::kRefreshInterval2024, 1, 0.125, 16, 4},   // at 0.125, 0.625, 1.125, 1.625 s
      {sim::kRefreshInterval2016, 1, 0.125, 16, 2},   // at 0.125, 1.125 s
      {sim::kRefreshInterval2024, 128, 1.0, 100, 8},  // 0.1 s real: every 13th step
  };
  for (const Case& c : cases) {
    hop.host.setRefreshInterval(c.interval);
    hop.host.setTimeAcceleration(c.timeAcceleration);
    const int d = hop.host.openDisplay(mode, 300, 300);
    for (int i = 0; i < c.steps; ++i) hop.host.step(c.dt);
    EXPECT_EQ(hop.host.redrawCount(d), c.redraws) << "interval " << c.interval;
    hop.host.closeDisplay(d);
  }
  hop.host.setTimeAcceleration(1);
  const int d = hop.host.openDisplay(mode, 300, 300);
  hop.host.step(0.125);
  hop.host.pressButton(d, 0);
  hop.host.step(0.125);
  EXPECT_EQ(hop.host.redrawCount(d), 1u) << "a consumed button redraws nothing";
  hop.host.pressKey(d, kInvalidateKey);
  hop.host.step(0.125);
  EXPECT_EQ(hop.host.redrawCount(d), 2u) << "an invalidated display is redrawn at the next step";
  EXPECT_THROW(hop.host.setRefreshInterval(0), HostError);
}

TEST(HostDisplays, TheBaseClassRefusesEverything) {
  MoonHop hop;
  const int d =
      hop.host.openDisplay(hop.host.registerMode({Text("Plain"), 1, PlainMsgProc}), 100, 100);
  MFD* mfd = hop.host.display(d);
  EXPECT_FALSE(hop.host.pressButton(d, 0));
  EXPECT_FALSE(hop.host.pressKey(d, kOpenBoxKey));
  EXPECT_FALSE(mfd->ConsumeKeyImmediate(nullptr));
  EXPECT_EQ(mfd->ButtonLabel(0), nullptr);
  const MFDBUTTONMENU* menu = reinterpret_cast<const MFDBUTTONMENU*>(&hop);
  EXPECT_EQ(mfd->ButtonMenu(&menu), 0);
  EXPECT_EQ(menu, nullptr);
  EXPECT_TRUE(hop.host.redraw(d).texts().empty());
}

// --- modules ------------------------------------------------------------------

// What the entry points below were called with, in order.
std::vector<std::string> events;
std::vector<std::pair<OBJHANDLE, OBJHANDLE>> focusCalls;  // (new, previous)
std::vector<std::vector<double>> stepCalls;               // (simt, simdt, mjd)
void (*chainedExit)(HINSTANCE) = nullptr;

template <int N>
void initN(HINSTANCE) {
  events.push_back("init" + std::to_string(N));
}
template <int N>
void exitN(HINSTANCE) {
  events.push_back("exit" + std::to_string(N));
}
// A library entry like the SDK glue's: it finds the exit function by name at
// attach and runs it at detach.
BOOL chainingDllMain(HINSTANCE h, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    events.push_back("attach");
    chainedExit = reinterpret_cast<void (*)(HINSTANCE)>(GetProcAddress(h, "ExitModule"));
  } else if (reason == DLL_PROCESS_DETACH) {
    events.push_back("detach");
    if (chainedExit != nullptr) chainedExit(h);
  }
  return TRUE;
}
BOOL refusingDllMain(HINSTANCE, DWORD reason, LPVOID) {
  events.push_back(reason == DLL_PROCESS_ATTACH ? "attach" : "detach");
  return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}
void initRegisteringMode(HINSTANCE) {
  MFDMODESPEC spec{Text("Attached Mode"), 0x31, TestMsgProc};
  oapiRegisterMFDMode(spec);
}
void initOpeningBox(HINSTANCE) {
  oapiOpenInputBox(
      Text("From the module"), [](void*, char*, void*) { return true; }, nullptr, 20, nullptr);
}
std::vector<int> builtAtFocus;  // instances of the test mode built when each call came
void recordFocus(OBJHANDLE now, OBJHANDLE previous) {
  focusCalls.emplace_back(now, previous);
  builtAtFocus.push_back(modeLog.built);
}
void recordStep(double simt, double simdt, double mjd) { stepCalls.push_back({simt, simdt, mjd}); }

class ModuleTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    events.clear();
    focusCalls.clear();
    stepCalls.clear();
    chainedExit = nullptr;
  }
};

TEST_F(ModuleTest, TheExitRunsOnceWithOrWithoutALibraryEntry) {
  const int glued = hop.host.attachModule({chainingDllMain, initN<1>, exitN<1>}, "glued");
  EXPECT_EQ(events, (std::vector<std::string>{"attach", "init1"}));
  hop.host.unloadModule(glued);
  EXPECT_EQ(events, (std::vector<std::string>{"attach", "init1", "detach", "exit1"}));

  events.clear();
  const int bare = hop.host.attachModule({nullptr, initN<2>, exitN<2>}, "bare");
  hop.host.unloadModule(bare);
  EXPECT_EQ(events, (std::vector<std::string>{"init2", "exit2"}));
  EXPECT_TRUE(hop.host.loadedModules().empty());
  EXPECT_THROW(hop.host.unloadModule(bare), HostError);
}

TEST_F(ModuleTest, ARefusedAttachLoadsNothing) {
  EXPECT_THROW(hop.host.attachModule({refusingDllMain, initN<3>, exitN<3>}, "refusing"), HostError);
  EXPECT_EQ(events, (std::vector<std::string>{"attach", "detach"}));
  EXPECT_TRUE(hop.host.loadedModules().empty());
}

TEST_F(ModuleTest, TheHostUnloadsModulesNewestFirst) {
  {
    Host host;
    host.attachModule({nullptr, initN<1>, exitN<1>}, "first");
    host.attachModule({nullptr, initN<2>, exitN<2>}, "second");
  }
  EXPECT_EQ(events, (std::vector<std::string>{"init1", "init2", "exit2", "exit1"}));
}

TEST_F(ModuleTest, GetProcAddressFindsTheEntriesByTheirExportedNames) {
  const int id = hop.host.attachModule({nullptr, initN<1>, exitN<1>}, "named");
  const HINSTANCE h = hop.host.moduleInstance(id);
  EXPECT_EQ(GetProcAddress(h, "InitModule"), reinterpret_cast<FARPROC>(&initN<1>));
  EXPECT_EQ(GetProcAddress(h, "ExitModule"), reinterpret_cast<FARPROC>(&exitN<1>));
  EXPECT_EQ(GetProcAddress(h, "opcPostStep"), nullptr);
  EXPECT_EQ(GetProcAddress(h, "Unknown"), nullptr);
  EXPECT_EQ(GetProcAddress(h, nullptr), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "InitModule"), nullptr);
  hop.host.unloadModule(id);
  EXPECT_EQ(GetProcAddress(h, "InitModule"), nullptr);  // stale
}

TEST_F(ModuleTest, UnloadingTakesTheModulesModesDisplaysAndBoxesWithIt) {
  const int id = hop.host.attachModule({nullptr, initRegisteringMode, nullptr}, "modes");
  const auto attached = hop.host.findMode("Attached Mode");
  ASSERT_TRUE(attached.has_value());
  EXPECT_EQ(hop.host.modeOwner(*attached), id);
  EXPECT_EQ(hop.host.modeOwner(mode), 0);  // registered by the test, outside any module
  const int inModule = hop.host.openDisplay(*attached, 200, 200);
  const int inTest = hop.host.openDisplay(mode, 200, 200);
  const int boxes = hop.host.attachModule({nullptr, initOpeningBox, nullptr}, "boxes");
  ASSERT_TRUE(hop.host.hasInputBox());
  EXPECT_EQ(hop.host.inputBox()->moduleId, boxes);

  hop.host.unloadModule(id);
  EXPECT_FALSE(hop.host.isOpen(inModule));
  EXPECT_TRUE(hop.host.isOpen(inTest));
  EXPECT_FALSE(hop.host.findMode("Attached Mode").has_value());
  EXPECT_EQ(modeLog.destroyed, 1);
  hop.host.unloadModule(boxes);
  EXPECT_FALSE(hop.host.hasInputBox());
}

TEST_F(ModuleTest, ModuleCodeReachesTheHostThatCalledIt) {
  Host other;  // constructed last, so current
  ASSERT_EQ(Host::current(), &other);
  hop.host.attachModule({nullptr, initRegisteringMode, nullptr}, "modes");
  EXPECT_TRUE(hop.host.findMode("Attached Mode").has_value());
  EXPECT_FALSE(other.findMode("Attached Mode").has_value());
  EXPECT_EQ(Host::current(), &other);
}

TEST_F(ModuleTest, FocusChangesTellEveryModuleTheNewAndThePreviousVessel) {
  Host host;
  const int body = host.world().addBody(*sim::builtinBody("Moon"));
  host.world().addVessel(body, {});
  host.world().addVessel(body, {});
  host.attachModule({nullptr, nullptr, nullptr, nullptr, nullptr, recordFocus}, "focus");
  host.setFocus(0);
  host.setFocus(1);
  host.setFocus(1);  // no change, no call
  host.setFocus(0);
  const OBJHANDLE v0 = host.vesselHandle(0), v1 = host.vesselHandle(1);
  const std::vector<std::pair<OBJHANDLE, OBJHANDLE>> expected = {{v0, nullptr}, {v1, v0}, {v0, v1}};
  EXPECT_EQ(focusCalls, expected);
}

// As Orbiter's: the displays are rebuilt for the new vessel before any module
// hears of the change.
TEST_F(ModuleTest, AFocusChangeRebuildsEveryDisplayBeforeTheModuleHearsOfIt) {
  hop.host.world().addVessel(hop.body, {});
  hop.host.attachModule({nullptr, nullptr, nullptr, nullptr, nullptr, recordFocus}, "focus");
  hop.host.openDisplay(mode, 300, 300);
  hop.host.openDisplay(mode, 300, 300);
  builtAtFocus.clear();
  hop.host.setFocus(1);
  EXPECT_EQ(builtAtFocus, std::vector<int>{4});
  EXPECT_EQ(modeLog.destroyed, 2);
}

TEST_F(ModuleTest, EachStepAdvancesTheWorldThenCallsThePostStepHook) {
  hop.host.attachModule({nullptr, nullptr, nullptr, nullptr, recordStep, nullptr}, "steps");
  hop.host.step(10);
  hop.host.step(86400 - 10);
  ASSERT_EQ(stepCalls.size(), 2u);
  EXPECT_EQ(stepCalls[0], (std::vector<double>{10, 10, 51544.5 + 10.0 / 86400}));
  EXPECT_EQ(stepCalls[1], (std::vector<double>{86400, 86390, 51545.5}));
  EXPECT_DOUBLE_EQ(hop.host.simTime(), 86400.0);
}

#if defined(LOBARC_FAKE_MODULE_PATH)

// The fake module's own exports, through which a test reads its state.
struct FakeModule {
  explicit FakeModule(HINSTANCE h)
      : log(reinterpret_cast<const char* (*)()>(GetProcAddress(h, "FakeLog"))),
        initCount(reinterpret_cast<int (*)()>(GetProcAddress(h, "FakeInitCount"))),
        stepCount(reinterpret_cast<int (*)()>(GetProcAddress(h, "FakeStepCount"))),
        lastStep(reinterpret_cast<const double* (*)()>(GetProcAddress(h, "FakeLastStep"))),
        instance(reinterpret_cast<HINSTANCE (*)()>(GetProcAddress(h, "FakeInstance"))),
        setSink(
            reinterpret_cast<void (*)(void (*)(const char*))>(GetProcAddress(h, "FakeSetSink"))) {}
  bool complete() const { return log && initCount && stepCount && lastStep && instance && setSink; }
  const char* (*log)();
  int (*initCount)();
  int (*stepCount)();
  const double* (*lastStep)();
  HINSTANCE (*instance)();
  void (*setSink)(void (*)(const char*));
};

void recordEvent(const char* event) { events.emplace_back(event); }

TEST_F(ModuleTest, ALibraryLoadsWithItsEntryRunAndItsExportsFoundByName) {
  const int id = hop.host.loadModule(LOBARC_FAKE_MODULE_PATH);
  const HINSTANCE h = hop.host.moduleInstance(id);
  FakeModule fake(h);
  ASSERT_TRUE(fake.complete());
  EXPECT_STREQ(fake.log(), "attach;init;");
  EXPECT_EQ(fake.instance(), h);  // the library entry got the module's own handle
  const sim::ModuleEntries& e = hop.host.moduleEntries(id);
  EXPECT_NE(e.dllMain, nullptr);
  EXPECT_NE(e.exitModule, nullptr);
  EXPECT_NE(e.postStep, nullptr);
  EXPECT_NE(e.focusChanged, nullptr);
  ASSERT_NE(e.getModuleVersion, nullptr);
  EXPECT_EQ(e.getModuleVersion(), 20060425);
  EXPECT_EQ(GetProcAddress(h, "InitModule"), reinterpret_cast<FARPROC>(e.initModule));
  // Only the module's own exports: not its hidden functions, not what the
  // libraries it links against export.
  EXPECT_EQ(GetProcAddress(h, "MsgProc"), nullptr);
  EXPECT_EQ(GetProcAddress(h, "oapiRegisterMFDMode"), nullptr);
  EXPECT_EQ(GetProcAddress(h, "malloc"), nullptr);
  const auto fakeMode = hop.host.findMode("Fake Mode");
  ASSERT_TRUE(fakeMode.has_value());
  EXPECT_EQ(hop.host.modeOwner(*fakeMode), id);
}

TEST_F(ModuleTest, UnloadingClosesTheModulesDisplaysBeforeItsDetach) {
  const int id = hop.host.loadModule(LOBARC_FAKE_MODULE_PATH);
  const HINSTANCE h = hop.host.moduleInstance(id);
  const int d = hop.host.openDisplay("Fake Mode", 256, 256);
  ASSERT_GE(d, 0);
  EXPECT_TRUE(hop.host.redraw(d).texts().front().title);
  FakeModule(h).setSink(recordEvent);
  hop.host.unloadModule(id);
  EXPECT_EQ(events, (std::vector<std::string>{"mfd-destroyed", "detach", "exit"}));
  EXPECT_FALSE(hop.host.isOpen(d));
  EXPECT_FALSE(hop.host.findMode("Fake Mode").has_value());
  EXPECT_EQ(GetProcAddress(h, "FakeLog"), nullptr);
}

TEST_F(ModuleTest, LoadingAgainAfterAnUnloadStartsFromFreshState) {
  const int first = hop.host.loadModule(LOBARC_FAKE_MODULE_PATH);
  const HINSTANCE h1 = hop.host.moduleInstance(first);
  for (int i = 0; i < 3; ++i) hop.host.step(2.5);
  FakeModule before(h1);
  EXPECT_EQ(before.stepCount(), 3);
  EXPECT_EQ(before.lastStep()[0], 7.5);
  EXPECT_EQ(before.lastStep()[1], 2.5);
  EXPECT_EQ(before.lastStep()[2], 51544.5 + 7.5 / 86400);
  hop.host.unloadModule(first);

  const int second = hop.host.loadModule(LOBARC_FAKE_MODULE_PATH);
  const HINSTANCE h2 = hop.host.moduleInstance(second);
  EXPECT_NE(second, first);
  EXPECT_NE(h2, h1);
  FakeModule after(h2);
  ASSERT_TRUE(after.complete());
  EXPECT_EQ(after.initCount(), 1);
  EXPECT_EQ(after.stepCount(), 0);
  EXPECT_STREQ(after.log(), "attach;init;");
}

TEST_F(ModuleTest, ALibraryThatCannotBeLoadedIsReportedClearly) {
  try {
    hop.host.loadModule("/nonexistent/NoSuchModule.so");
    ADD_FAILURE() << "a missing library loaded";
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/NoSuchModule.so"), std::string::npos);
  }
  hop.config.write("NotALibrary.so", "plain text\n");
  EXPECT_THROW(hop.host.loadModule(hop.config.path() / "NotALibrary.so"), HostError);

  const int id = hop.host.loadModule(LOBARC_FAKE_MODULE_PATH);
  EXPECT_THROW(hop.host.loadModule(LOBARC_FAKE_MODULE_PATH), HostError);
  EXPECT_EQ(hop.host.loadedModules(), std::vector<int>{id});
  EXPECT_STREQ(FakeModule(hop.host.moduleInstance(id)).log(), "attach;init;");
}

#endif  // LOBARC_FAKE_MODULE_PATH

// --- a vessel standing on a turning body ------------------------------------------

// The body-fixed point at (lat, lng, radius), turned about y by the body's
// current rotation and multiplied by its obliquity matrix, computed here
// from the two oapi answers alone.
VECTOR3 turnedBodyFixedPoint(OBJHANDLE body, double lat, double lng, double radius) {
  MATRIX3 m;
  oapiGetPlanetObliquityMatrix(body, &m);
  const double r = oapiGetPlanetCurrentRotation(body);
  const double x = radius * std::cos(lat) * std::cos(lng);
  const double y = radius * std::sin(lat);
  const double z = radius * std::cos(lat) * std::sin(lng);
  const double ux = x * std::cos(r) - z * std::sin(r);
  const double uz = x * std::sin(r) + z * std::cos(r);
  return _V(m.m11 * ux + m.m12 * y + m.m13 * uz, m.m21 * ux + m.m22 * y + m.m23 * uz,
            m.m31 * ux + m.m32 * y + m.m33 * uz);
}

double distance(const VECTOR3& a, const VECTOR3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                   (a.z - b.z) * (a.z - b.z));
}

class StandingVesselTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StandingVesselTest, StaysOnTheTurnedBodyFixedPointOfItsBaseForHours) {
  testsupport::HopOptions options;
  options.body = GetParam();
  MoonHop hop(options);
  const OBJHANDLE body = hop.bodyHandle();
  const OBJHANDLE base = oapiGetBaseByName(body, const_cast<char*>(hop.base->name.c_str()));
  double baseLng = 0, baseLat = 0, radius = 0;
  oapiGetBaseEquPos(base, &baseLng, &baseLat, &radius);
  VESSEL* v = oapiGetFocusInterface();
  ASSERT_NE(v, nullptr);

  VECTOR3 start;
  v->GetRelativePos(body, start);
  double elapsed_s = 0;
  for (double hours : {0.0, 1.0, 3.0, 7.5}) {
    SCOPED_TRACE(hours);
    for (; elapsed_s < hours * 3600; elapsed_s += 60) hop.host.step(60);
    VECTOR3 pos, global;
    v->GetRelativePos(body, pos);
    v->GetGlobalPos(global);
    const VECTOR3 expected = turnedBodyFixedPoint(body, baseLat, baseLng, radius);
    EXPECT_LT(distance(pos, expected), 1e-6 * radius);
    EXPECT_EQ(distance(pos, global), 0.0);  // the body sits at the global origin
    EXPECT_TRUE(v->GroundContact());

    double lng = 0, lat = 0, rad = 0;
    EXPECT_TRUE(v->GetEquPos(lng, lat, rad));
    EXPECT_NEAR(std::remainder(lng - baseLng, 2 * M_PI), 0.0, 1e-9);
    EXPECT_NEAR(lat, baseLat, 1e-9);
    EXPECT_NEAR(rad, radius, 1e-6 * radius);
  }
  // The surface really turned under it.
  VECTOR3 end;
  v->GetRelativePos(body, end);
  EXPECT_GT(distance(start, end), 1000.0);
}

TEST_P(StandingVesselTest, MovesWithTheVelocityOfTheTurningSurface) {
  testsupport::HopOptions options;
  options.body = GetParam();
  MoonHop hop(options);
  VESSEL* v = oapiGetFocusInterface();
  const OBJHANDLE body = hop.bodyHandle();
  VECTOR3 before, after, vel;
  v->GetRelativePos(body, before);
  hop.host.step(0.5);
  v->GetRelativeVel(body, vel);
  hop.host.step(0.5);
  v->GetRelativePos(body, after);
  // The chord over one second against the velocity at its middle: a central
  // difference, whose error on a circle is far below a millimetre per second.
  const VECTOR3 chord = _V(after.x - before.x, after.y - before.y, after.z - before.z);
  EXPECT_LT(distance(chord, vel), 1e-4);
  EXPECT_GT(distance(chord, _V(0, 0, 0)), 1.0);  // every body here turns over 1 m/s at its bases
  VECTOR3 airspeed;
  v->GetHorizonAirspeedVector(airspeed);
  EXPECT_NEAR(
      std::sqrt(airspeed.x * airspeed.x + airspeed.y * airspeed.y + airspeed.z * airspeed.z), 0.0,
      1e-9);
}

INSTANTIATE_TEST_SUITE_P(Bodies, StandingVesselTest, ::testing::Values("Moon", "Earth", "Mars"));

}  // namespace
