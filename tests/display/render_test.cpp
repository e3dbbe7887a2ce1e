// Pictures of the pages: the module draws on the host's surface, the surface
// renders PNG, and the pixels are read back to see that what should be on
// the picture is there in its colour.
//
// RenderPages also serves to make pictures of the three pages by hand: run
//   LOBARC_RENDER_DIR=/some/folder display_tests --gtest_filter='RenderPages.*'
// and the folder receives grounded.png, flight_page1.png and
// flight_page2_fr.png.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "display/display_scene.h"

using namespace arvex;  // the module's own names

namespace {

using namespace displaytest;

// The grounded page: on Apollo11 with a plan to Apollo12 (English).
// The two in-flight pages: flying 10 km over Apollo11 towards a point 4
// degrees east, with the in-flight solution after a few steps: page 1/2 in
// English, page 2/2 in French.
void RenderPages(const std::filesystem::path& folder) {
  {
    Scene scene;
    ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyT, "Apollo12"));
    ASSERT_TRUE(scene.mfd().plan.groundSolValid);
    scene.redraw().renderPng(folder / "grounded.png");
  }
  for (int language : {0, 1}) {
    Scene scene(SceneOptions().withLanguage(language));
    const sim::Base& base = *scene.hop.base;
    scene.hop.lander().placeInFlight(base.lat_rad, base.lng_rad, 10e3, 250, 0, 40);
    scene.hop.lander().setHorizonAttitude(1.5, 0.3, 0.0);
    ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyS));
    ASSERT_EQ(scene.mfd().inputs.flightMode, 1);
    ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyL, "1"));
    ASSERT_TRUE(scene.hop.typeInto(scene.display, kKeyN, "27"));
    for (int i = 0; i < 5; ++i) scene.host().step(0.1);
    ASSERT_TRUE(scene.mfd().flightSolValid);
    if (language == 0) {
      scene.redraw().renderPng(folder / "flight_page1.png");
    } else {
      ASSERT_TRUE(scene.host().pressKey(scene.display, kKeyP));
      ASSERT_EQ(scene.mfd().inputs.flightPage, 1);
      scene.redraw().renderPng(folder / "flight_page2_fr.png");
    }
  }
}

TEST(RenderPages, WritesTheThreePagesAsPictures) {
  testsupport::TempDir temp;
  const char* chosen = std::getenv("LOBARC_RENDER_DIR");
  const std::filesystem::path folder = chosen != nullptr ? chosen : temp.path();
  RenderPages(folder);
  for (const char* name : {"grounded.png", "flight_page1.png", "flight_page2_fr.png"}) {
    const std::filesystem::path file = folder / name;
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_GT(std::filesystem::file_size(file), 1000u) << file;
  }
}

// A PNG read back into memory.
class Picture {
 public:
  explicit Picture(const std::filesystem::path& file)
      : image_(cairo_image_surface_create_from_png(file.c_str()), cairo_surface_destroy) {
    cairo_surface_flush(image_.get());
  }
  bool ok() const { return cairo_surface_status(image_.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(image_.get()); }
  int height() const { return cairo_image_surface_get_height(image_.get()); }
  // 0x00RRGGBB of the pixel at (x, y).
  std::uint32_t rgb(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(image_.get()) +
                               y * cairo_image_surface_get_stride(image_.get());
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0x00FFFFFFu;
  }
  // Whether some pixel within `reach` of (x, y) passes the test.
  template <class Test>
  bool near(int x, int y, int reach, Test test) const {
    for (int j = y - reach; j <= y + reach; ++j) {
      for (int i = x - reach; i <= x + reach; ++i) {
        if (i >= 0 && j >= 0 && i < width() && j < height() && test(rgb(i, j))) return true;
      }
    }
    return false;
  }

 private:
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> image_;
};

int Red(std::uint32_t c) { return (c >> 16) & 0xFF; }
int Green(std::uint32_t c) { return (c >> 8) & 0xFF; }
int Blue(std::uint32_t c) { return c & 0xFF; }

// Light cyan text, antialiased against a dark background: no red, green and
// blue alike.
bool LooksLightCyan(std::uint32_t c) {
  return Red(c) < 60 && Green(c) > 120 && std::abs(Green(c) - Blue(c)) < 30;
}

TEST(RenderPages, PageTwoShowsRingsAndMarkerInTheirColoursWhereTheyBelong) {
  Scene scene(SceneOptions().flying());
  const double radius = scene.hop.host.world().body(scene.hop.body).radius();
  scene.hop.lander().setState({0, radius + 10e3, 0}, {0, 0, 0});
  scene.hop.lander().setRotation(sim::Mat3::Identity());
  ArvexMFD& mfd = scene.mfd();
  mfd.inputs.flightMode = 1;
  mfd.inputs.flightPage = 1;
  mfd.flightSolValid = true;
  mfd.dvToGo = 50;
  // Ahead, somewhat right and up: between the 10 and 45 degree rings, up
  // and to the right of the centre, clear of the cross.
  mfd.search.reqVel = _V(0.6, 0.4, 1.0) * 40.0;
  const sim::Surface& s = scene.redraw();
  const sim::DrawnText* marker = s.findText("+");
  ASSERT_NE(marker, nullptr);

  testsupport::TempDir temp;
  const std::filesystem::path file = temp.path() / "page2.png";
  s.renderPng(file);
  const Picture picture(file);
  ASSERT_TRUE(picture.ok());
  ASSERT_EQ(picture.width(), 290);
  ASSERT_EQ(picture.height(), 290);

  const auto white = [](std::uint32_t c) { return c == 0xFFFFFFu; };
  const auto green = [](std::uint32_t c) { return c == 0x00FF00u; };
  // Frame corner and the 45 degree ring's upper left (centre 145, 120;
  // outline half-axes 47.5 and 69.5).
  EXPECT_TRUE(picture.near(4, 20, 0, white));
  EXPECT_TRUE(picture.near(111, 71, 2, white));
  // The 5 degree ring's upper left, in green (half-axes 4.5 and 7.5).
  EXPECT_TRUE(picture.near(142, 115, 1, green));
  // The "+" up and to the right of the centre, in light cyan, and nowhere
  // near the centre.
  EXPECT_GT(marker->x, 150);
  EXPECT_LT(marker->y, 110);
  EXPECT_TRUE(picture.near(marker->x + 5, marker->y + 7, 6, LooksLightCyan));
  EXPECT_FALSE(picture.near(145, 120, 12, LooksLightCyan));
  // Empty inside of the frame stays dark.
  const std::uint32_t empty = picture.rgb(60, 160);
  EXPECT_LT(Red(empty) + Green(empty) + Blue(empty), 150);
}

}  // namespace
