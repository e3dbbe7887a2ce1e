// The module as the host loads it: the real ArvexMFD shared library, opened
// by path, its entry points found by name, seen only through the host. What
// construction makes of the host's values (size, language, first readings)
// is read from an instance's fields, on the same code linked into the test.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "app/linked_module.h"
#include "module/ArvexMFD.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "support/host_fixture.h"

using namespace arvex;  // the module's own names

namespace {

constexpr DWORD kKeyF = 0x21;

class Entry : public ::testing::Test {
 protected:
  testsupport::MoonHop hop;
};

// The module's code linked in and attached with its library entry, so that
// an instance's fields can be read through its class.
class Linked : public Entry {
 protected:
  void Attach() { hop.host.attachModule(lobarc::linkedModuleEntries(true), "ArvexMFD (linked)"); }
  ArvexMFD& mfd(int displayId) { return *static_cast<ArvexMFD*>(hop.host.display(displayId)); }
};

TEST_F(Entry, LoadRegistersTheModeOnKeyF) {
  hop.loadModule();
  const auto byName = hop.host.findMode("Lobarc Launch");
  ASSERT_TRUE(byName.has_value());
  EXPECT_EQ(hop.host.findModeByKey(kKeyF), byName);
}

// Both ring pens are the module's: created at load, deleted at unload.
TEST_F(Entry, UnloadDeletesBothPens) {
  const int before = sim::livePenCount();
  const int id = hop.loadModule();
  EXPECT_EQ(sim::livePenCount(), before + 2);
  hop.host.unloadModule(id);
  EXPECT_EQ(sim::livePenCount(), before);
  EXPECT_FALSE(hop.host.findMode("Lobarc Launch").has_value());
}

// A host that calls ExitModule itself before the library detach (which runs
// it again through the exit function found at attach) gets each resource
// released once.
TEST_F(Entry, ExitModuleThenDetachReleasesOnce) {
  const int before = sim::livePenCount();
  const int id = hop.loadModule();
  hop.host.moduleEntries(id).exitModule(hop.host.moduleInstance(id));
  EXPECT_EQ(sim::livePenCount(), before);
  EXPECT_FALSE(hop.host.findMode("Lobarc Launch").has_value());
  hop.host.unloadModule(id);
  EXPECT_EQ(sim::livePenCount(), before);
}

TEST_F(Entry, ReloadAfterUnloadWorksAgain) {
  hop.host.unloadModule(hop.loadModule());
  hop.loadModule();
  EXPECT_TRUE(hop.host.findMode("Lobarc Launch").has_value());
  EXPECT_GE(hop.openLaunchDisplay(), 0);
}

TEST_F(Entry, VersionIsTheBuildDateAndStaysTheSame) {
  const int id = hop.loadModule();
  const auto version = hop.host.moduleEntries(id).getModuleVersion;
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version(), 20060425);
  EXPECT_EQ(version(), 20060425);
}

// The host packs the size into the open message, width in the low half.
TEST_F(Linked, OpenMessageUnpacksWidthAndHeight) {
  Attach();
  const int d = hop.openLaunchDisplay(600, 300);
  EXPECT_EQ(mfd(d).width, 600u);
  EXPECT_EQ(mfd(d).height, 300u);
}

// The hook with no instance to work on must reach none; the first display
// then starts with the burn readings at zero.
TEST_F(Linked, PostStepBeforeAnyDisplayDoesNothing) {
  Attach();
  hop.lander().setLevel(THGROUP_MAIN, 1.0);
  hop.host.step(0.1);
  const int d = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(d).actualPitch, 0);
  EXPECT_EQ(mfd(d).flightPathAngle, 0);
  EXPECT_EQ(mfd(d).pitchCmd, 0);
}

// --- layout ----------------------------------------------------------------

struct LayoutCase {
  int width, height;
  int lineHeight, column2X;
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.width << " x " << c.height; }

class Layout : public Linked, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layout, FollowsTheSurfaceSize) {
  Attach();
  const int d = hop.openLaunchDisplay(GetParam().width, GetParam().height);
  EXPECT_EQ(mfd(d).lineHeight, GetParam().lineHeight);
  EXPECT_EQ(mfd(d).column2X, GetParam().column2X);
  EXPECT_EQ(mfd(d).marginX, 3);
}
INSTANTIATE_TEST_SUITE_P(Sizes, Layout,
                         ::testing::Values(LayoutCase{400, 300, 10, 200},
                                           LayoutCase{400, 250, 8, 200},
                                           LayoutCase{301, 400, 14, 150},
                                           LayoutCase{290, 290, 10, 145}, LayoutCase{1, 27, 0, 0}));

// --- language --------------------------------------------------------------

struct LanguageCase {
  const char* name;
  const char* file;  // contents of ArvexMFD.cfg; null: no file at all
  bool english;
};
void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class Language : public Linked, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(Language, ComesFromTheConfigurationFile) {
  if (GetParam().file != nullptr) hop.config.write("ArvexMFD.cfg", GetParam().file);
  Attach();
  const int d = hop.openLaunchDisplay();
  EXPECT_EQ(mfd(d).english, GetParam().english);
  EXPECT_EQ(hop.host.openFileCount(), 0u);  // the file was closed again
}
INSTANTIATE_TEST_SUITE_P(
    Files, Language,
    ::testing::Values(LanguageCase{"zero", "LANGUAGE = 0\n", true},
                      LanguageCase{"one", "LANGUAGE = 1\n", false},
                      LanguageCase{"minus_one", "LANGUAGE = -1\n", false},
                      LanguageCase{"absent_item", "OTHER = 1\n", true},
                      LanguageCase{"empty_file", "", true},
                      LanguageCase{"missing_file", nullptr, true},
                      LanguageCase{"not_a_number", "LANGUAGE = French\n", true},
                      LanguageCase{"binary", "\xff\xfe\x01 LANGUAGE \x80\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The file is read at every construction, so a change shows at the next
// display.
TEST_F(Linked, LanguageIsReadAgainForEachDisplay) {
  Attach();
  const int d = hop.openLaunchDisplay();
  EXPECT_TRUE(mfd(d).english);
  hop.writeLanguage(1);
  hop.host.rebuildDisplay(d);
  EXPECT_FALSE(mfd(d).english);
}

}  // namespace
