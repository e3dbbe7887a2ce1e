// The drawing surface: GDI's handle and selection rules, what the display
// list records, the Windows-1252 conversion, and the pictures it renders.
#include "sim/surface.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using sim::Surface;

constexpr COLORREF kGreen = 0x0000FF00;
constexpr COLORREF kYellow = 0x0000FFFF;
constexpr COLORREF kWhite = 0x00FFFFFF;
constexpr COLORREF kTeal = 0x00969600;

// A file under the test's temporary folder, removed when the test ends.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name)
      : path_(std::filesystem::path(::testing::TempDir()) /
              ("surface_" + std::to_string(::getpid()) + "_" + name)) {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A rendered PNG read back through Cairo.
class Picture {
 public:
  explicit Picture(const std::filesystem::path& file)
      : image_(cairo_image_surface_create_from_png(file.c_str()), cairo_surface_destroy) {}
  bool ok() const { return cairo_surface_status(image_.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(image_.get()); }
  int height() const { return cairo_image_surface_get_height(image_.get()); }
  COLORREF at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(image_.get()) +
                               y * cairo_image_surface_get_stride(image_.get());
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Pixels of exactly this colour inside [x0, x1) x [y0, y1).
  std::vector<POINT> find(COLORREF color, int x0, int y0, int x1, int y1) const {
    std::vector<POINT> out;
    for (int y = std::max(0, y0); y < std::min(height(), y1); ++y) {
      for (int x = std::max(0, x0); x < std::min(width(), x1); ++x) {
        if (at(x, y) == color) out.push_back(POINT{x, y});
      }
    }
    return out;
  }

 private:
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> image_;
};

std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// --- Pens: counting, selection and deletion follow GDI ---------------------

TEST(SurfacePens, CreatedPensAreCountedUntilDeleted) {
  const int before = sim::livePenCount();
  HPEN green = CreatePen(PS_SOLID, 1, kGreen);
  HPEN white = CreatePen(PS_SOLID, 1, kWhite);
  ASSERT_NE(green, nullptr);
  ASSERT_NE(white, nullptr);
  EXPECT_NE(green, white);
  EXPECT_EQ(sim::livePenCount(), before + 2);
  EXPECT_EQ(sim::penColor(green), kGreen);

  EXPECT_EQ(DeleteObject(green), TRUE);
  EXPECT_EQ(sim::livePenCount(), before + 1);
  EXPECT_EQ(sim::penColor(green), CLR_INVALID);
  EXPECT_EQ(DeleteObject(green), FALSE) << "a deleted pen is a stale handle";
  EXPECT_EQ(DeleteObject(white), TRUE);
  EXPECT_EQ(sim::livePenCount(), before);
}

TEST(SurfacePens, HandlesAreNeverReused) {
  HPEN first = CreatePen(PS_SOLID, 1, kGreen);
  ASSERT_EQ(DeleteObject(first), TRUE);
  HPEN second = CreatePen(PS_SOLID, 1, kGreen);
  EXPECT_NE(second, first);
  EXPECT_EQ(DeleteObject(first), FALSE);
  EXPECT_EQ(DeleteObject(second), TRUE);
}

TEST(SurfacePens, UnknownStyleMakesNoPen) {
  const int before = sim::livePenCount();
  EXPECT_EQ(CreatePen(42, 1, kGreen), nullptr);
  EXPECT_EQ(CreatePen(-1, 1, kGreen), nullptr);
  EXPECT_EQ(sim::livePenCount(), before);
}

TEST(SurfacePens, SelectReturnsThePreviousPenStartingWithTheBlackStockPen) {
  Surface surface(290, 290);
  HPEN green = CreatePen(PS_SOLID, 1, kGreen);
  HPEN white = CreatePen(PS_SOLID, 1, kWhite);

  EXPECT_EQ(SelectObject(surface.hdc(), green), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(surface.hdc(), white), green);
  EXPECT_EQ(SelectObject(surface.hdc(), sim::stockPen()), white);

  EXPECT_EQ(DeleteObject(green), TRUE);
  EXPECT_EQ(DeleteObject(white), TRUE);
}

TEST(SurfacePens, DeletingASelectedPenIsRefused) {
  const int before = sim::livePenCount();
  HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
  {
    Surface surface(100, 100);
    Surface other(100, 100);
    HGDIOBJ previous = SelectObject(surface.hdc(), pen);
    EXPECT_EQ(DeleteObject(pen), FALSE);
    EXPECT_EQ(sim::livePenCount(), before + 1);
    EXPECT_EQ(sim::penColor(pen), kGreen) << "the refused pen still draws";

    SelectObject(surface.hdc(), previous);
    SelectObject(other.hdc(), pen);
    EXPECT_EQ(DeleteObject(pen), FALSE) << "selected into another surface";
  }
  // The surface that held it is gone, so nothing holds the pen any more.
  EXPECT_EQ(DeleteObject(pen), TRUE);
  EXPECT_EQ(sim::livePenCount(), before);
}

TEST(SurfacePens, StockPenIsNeverCountedNorDeleted) {
  const int before = sim::livePenCount();
  Surface surface(100, 100);
  EXPECT_EQ(sim::livePenCount(), before);
  EXPECT_EQ(DeleteObject(sim::stockPen()), TRUE);
  EXPECT_EQ(sim::penColor(sim::stockPen()), kWhite);
  EXPECT_EQ(SelectObject(surface.hdc(), sim::stockPen()), GetStockObject(BLACK_PEN));
  EXPECT_EQ(sim::livePenCount(), before);
}

// --- Null, stale and unknown handles fail as GDI fails ---------------------

struct BadHandle {
  const char* name;
  HDC (*make)();
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const BadHandle& c, std::ostream* os) { *os << c.name; }

HDC staleHdc() {
  HDC hdc;
  {
    Surface gone(10, 10);
    hdc = gone.hdc();
  }
  return hdc;
}
HDC nullHdc() { return nullptr; }
HDC madeUpHdc() { return reinterpret_cast<HDC>(std::uintptr_t{0x12345}); }
HDC penAsHdc() {
  // Leaks one pen on purpose: it must stay a live pen handle.
  static HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
  return reinterpret_cast<HDC>(pen);
}

class SurfaceBadHdc : public ::testing::TestWithParam<BadHandle> {};

TEST_P(SurfaceBadHdc, EveryCallFailsCleanly) {
  const HDC hdc = GetParam().make();
  HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
  POINT p{7, 8};
  EXPECT_EQ(SelectObject(hdc, pen), nullptr);
  EXPECT_EQ(MoveToEx(hdc, 1, 2, &p), FALSE);
  EXPECT_EQ(p.x, 7) << "the POINT is left alone";
  EXPECT_EQ(LineTo(hdc, 3, 4), FALSE);
  EXPECT_EQ(Ellipse(hdc, 0, 0, 5, 5), FALSE);
  EXPECT_EQ(TextOutA(hdc, 0, 0, "abc", 3), FALSE);
  EXPECT_EQ(SetTextColor(hdc, kGreen), CLR_INVALID);
  EXPECT_EQ(GetTextColor(hdc), CLR_INVALID);
  EXPECT_EQ(SetTextAlign(hdc, TA_CENTER), GDI_ERROR);
  EXPECT_EQ(GetTextAlign(hdc), GDI_ERROR);
  EXPECT_EQ(Rectangle(hdc, 0, 0, 5, 5), FALSE);
  EXPECT_EQ(SetBkMode(hdc, TRANSPARENT), 0);
  EXPECT_EQ(GetBkMode(hdc), 0);
  EXPECT_EQ(sim::surfaceFromHdc(hdc), nullptr);
  EXPECT_EQ(DeleteObject(pen), TRUE) << "a failed select did not hold the pen";
}

INSTANTIATE_TEST_SUITE_P(Handles, SurfaceBadHdc,
                         ::testing::Values(BadHandle{"Null", nullHdc}, BadHandle{"Stale", staleHdc},
                                           BadHandle{"MadeUp", madeUpHdc},
                                           BadHandle{"PenHandle", penAsHdc}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SurfaceHandles, ANewSurfaceNeverGetsAnOldHdc) {
  const HDC old = staleHdc();
  Surface fresh(10, 10);
  EXPECT_NE(fresh.hdc(), old);
  EXPECT_EQ(sim::surfaceFromHdc(fresh.hdc()), &fresh);
}

TEST(SurfaceHandles, ObjectsThatAreNotPensAreRefused) {
  Surface surface(10, 10);
  EXPECT_EQ(SelectObject(surface.hdc(), nullptr), nullptr);
  EXPECT_EQ(SelectObject(surface.hdc(), reinterpret_cast<HGDIOBJ>(surface.hdc())), nullptr);
  EXPECT_EQ(DeleteObject(nullptr), FALSE);
  EXPECT_EQ(DeleteObject(reinterpret_cast<HGDIOBJ>(surface.hdc())), FALSE);
  EXPECT_EQ(sim::surfaceFromHdc(surface.hdc()), &surface) << "the surface survives";
  EXPECT_EQ(sim::penColor(nullptr), CLR_INVALID);
}

TEST(SurfaceHandles, SidesOutOfRangeAreRefused) {
  EXPECT_THROW(Surface(0, 100), std::invalid_argument);
  EXPECT_THROW(Surface(100, -5), std::invalid_argument);
  EXPECT_THROW(Surface(40000, 100), std::invalid_argument);
}

// --- What the display list records -----------------------------------------

TEST(SurfaceDrawing, LinesFollowTheCurrentPositionInThePenColour) {
  Surface surface(290, 290);
  HPEN green = CreatePen(PS_SOLID, 1, kGreen);
  HGDIOBJ previous = SelectObject(surface.hdc(), green);
  POINT before{-1, -1};
  EXPECT_EQ(MoveToEx(surface.hdc(), 4, 20, &before), TRUE);
  EXPECT_EQ(before.x, 0);
  EXPECT_EQ(before.y, 0);
  EXPECT_EQ(LineTo(surface.hdc(), 286, 20), TRUE);
  SelectObject(surface.hdc(), previous);
  EXPECT_EQ(LineTo(surface.hdc(), 286, 220), TRUE);

  ASSERT_EQ(surface.segments().size(), 2u);
  const sim::DrawnSegment& a = surface.segments()[0];
  const sim::DrawnSegment& b = surface.segments()[1];
  EXPECT_EQ((std::vector<int>{a.x0, a.y0, a.x1, a.y1}), (std::vector<int>{4, 20, 286, 20}));
  EXPECT_EQ(a.color, kGreen);
  EXPECT_EQ((std::vector<int>{b.x0, b.y0, b.x1, b.y1}), (std::vector<int>{286, 20, 286, 220}));
  EXPECT_EQ(b.color, 0u) << "drawn with the black stock pen again";

  MoveToEx(surface.hdc(), 0, 0, &before);
  EXPECT_EQ(before.x, 286);
  EXPECT_EQ(before.y, 220);
  EXPECT_EQ(DeleteObject(green), TRUE);
}

// Ellipse and Rectangle fill with the selected brush and outline with the
// selected pen, and leave the current position alone.
TEST(SurfaceDrawing, FiguresFillWithTheBrushAndOutlineWithThePen) {
  struct Case {
    int brush, pen;  // stock objects; -1: a solid teal brush
    bool drawn, filled, outlined;
    COLORREF fill;
  };
  const Case cases[] = {
      {WHITE_BRUSH, BLACK_PEN, true, true, true, kWhite},  // a fresh context
      {NULL_BRUSH, WHITE_PEN, true, false, true, 0},
      {-1, NULL_PEN, true, true, false, kTeal},
      {NULL_BRUSH, NULL_PEN, false, false, false, 0},
  };
  for (const Case& c : cases) {
    Surface surface(290, 290);
    HBRUSH teal = CreateSolidBrush(kTeal);
    SelectObject(surface.hdc(), c.brush < 0 ? teal : GetStockObject(c.brush));
    SelectObject(surface.hdc(), GetStockObject(c.pen));
    MoveToEx(surface.hdc(), 9, 9, nullptr);
    EXPECT_EQ(Ellipse(surface.hdc(), 140, 112, 150, 128), TRUE);
    EXPECT_EQ(Rectangle(surface.hdc(), 10, 20, 30, 40), TRUE);
    ASSERT_EQ(surface.ellipses().size(), c.drawn ? 1u : 0u) << "brush " << c.brush;
    ASSERT_EQ(surface.rectangles().size(), c.drawn ? 1u : 0u);
    POINT p{};
    MoveToEx(surface.hdc(), 0, 0, &p);
    EXPECT_EQ(p.x, 9);
    SelectObject(surface.hdc(), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(DeleteObject(teal), TRUE);
    if (!c.drawn) continue;
    const sim::DrawnEllipse rectangle = surface.rectangles()[0];
    for (const sim::DrawnEllipse& e : {surface.ellipses()[0], rectangle}) {
      EXPECT_EQ(e.filled, c.filled) << "brush " << c.brush;
      EXPECT_EQ(e.outlined, c.outlined);
      EXPECT_EQ(e.fill, c.fill);
    }
  }
}

TEST(SurfaceDrawing, NullPenDrawsNothingButStillMoves) {
  Surface surface(100, 100);
  HPEN none = CreatePen(PS_NULL, 1, kGreen);
  HGDIOBJ previous = SelectObject(surface.hdc(), none);
  SelectObject(surface.hdc(), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(LineTo(surface.hdc(), 50, 50), TRUE);
  EXPECT_EQ(Ellipse(surface.hdc(), 0, 0, 10, 10), TRUE);
  EXPECT_TRUE(surface.segments().empty());
  EXPECT_TRUE(surface.ellipses().empty());
  POINT p{};
  MoveToEx(surface.hdc(), 0, 0, &p);
  EXPECT_EQ(p.x, 50);
  SelectObject(surface.hdc(), previous);
  EXPECT_EQ(DeleteObject(none), TRUE);
}

TEST(SurfaceDrawing, TextKeepsItsBytesColourAndAlignment) {
  Surface surface(290, 290);
  // "Alt de sécurité: 40.0 km" and a degree sign, as the French page writes them.
  const std::string french =
      "Alt de s\xE9"
      "curit\xE9: 40.0 km \xB0\x80\x81";
  SetTextColor(surface.hdc(), kTeal);
  SetTextAlign(surface.hdc(), TA_CENTER);
  EXPECT_EQ(TextOutA(surface.hdc(), 145, 30, french.c_str(), static_cast<int>(french.size())),
            TRUE);

  ASSERT_EQ(surface.texts().size(), 1u);
  const sim::DrawnText& t = surface.texts()[0];
  EXPECT_EQ(t.bytes, french);
  EXPECT_EQ(t.x, 145);
  EXPECT_EQ(t.y, 30);
  EXPECT_EQ(t.color, kTeal);
  EXPECT_EQ(t.align, static_cast<UINT>(TA_CENTER));
  EXPECT_FALSE(t.title);
  EXPECT_EQ(surface.findText("Alt de s"), &t);
  EXPECT_EQ(surface.findText("Alt above"), nullptr);
}

TEST(SurfaceDrawing, TextLengthIsHonouredButNeverReadsPastTheTerminator) {
  Surface surface(290, 290);
  char buffer[100] = {};  // the module's zeroed line buffer
  std::snprintf(buffer, sizeof buffer, "DeltaV : %.0f m/s", 1234.0);
  EXPECT_EQ(TextOutA(surface.hdc(), 3, 0, buffer, 6), TRUE);
  EXPECT_EQ(TextOutA(surface.hdc(), 3, 0, buffer, 100), TRUE);
  const char unterminated[4] = {'M', 'E', 'C', 'O'};
  EXPECT_EQ(TextOutA(surface.hdc(), 3, 0, unterminated, 4), TRUE);

  ASSERT_EQ(surface.texts().size(), 3u);
  EXPECT_EQ(surface.texts()[0].bytes, "DeltaV");
  EXPECT_EQ(surface.texts()[1].bytes, "DeltaV : 1234 m/s");
  EXPECT_EQ(surface.texts()[2].bytes, "MECO");
}

TEST(SurfaceDrawing, EmptyNullAndNegativeTextsRecordNothing) {
  Surface surface(290, 290);
  EXPECT_EQ(TextOutA(surface.hdc(), 0, 0, "abc", 0), TRUE);
  EXPECT_EQ(TextOutA(surface.hdc(), 0, 0, "abc", -1), FALSE);
  EXPECT_EQ(TextOutA(surface.hdc(), 0, 0, nullptr, 3), FALSE);
  EXPECT_TRUE(surface.texts().empty());
}

TEST(SurfaceDrawing, TextSettingsReturnThePreviousValue) {
  Surface surface(290, 290);
  EXPECT_EQ(GetTextColor(surface.hdc()), 0u);
  EXPECT_EQ(GetTextAlign(surface.hdc()), static_cast<UINT>(TA_LEFT | TA_TOP));
  EXPECT_EQ(SetTextColor(surface.hdc(), kGreen), 0u);
  EXPECT_EQ(SetTextColor(surface.hdc(), kYellow), kGreen);
  EXPECT_EQ(GetTextColor(surface.hdc()), kYellow);
  EXPECT_EQ(SetTextAlign(surface.hdc(), TA_CENTER), static_cast<UINT>(TA_LEFT));
  EXPECT_EQ(SetTextAlign(surface.hdc(), TA_LEFT), static_cast<UINT>(TA_CENTER));
  EXPECT_EQ(GetTextAlign(surface.hdc()), static_cast<UINT>(TA_LEFT));
}

TEST(SurfaceDrawing, BeginFrameClearsTheSurfaceAndStartsAFreshContext) {
  Surface surface(290, 290);
  HPEN green = CreatePen(PS_SOLID, 1, kGreen);
  SelectObject(surface.hdc(), green);
  SelectObject(surface.hdc(), GetStockObject(NULL_BRUSH));
  SetTextColor(surface.hdc(), kYellow);
  SetTextAlign(surface.hdc(), TA_CENTER);
  SetBkMode(surface.hdc(), TRANSPARENT);
  MoveToEx(surface.hdc(), 10, 10, nullptr);
  LineTo(surface.hdc(), 20, 30);
  Ellipse(surface.hdc(), 0, 0, 4, 4);
  TextOutA(surface.hdc(), 145, 270, "2/2", 3);

  surface.beginFrame();
  EXPECT_TRUE(surface.texts().empty());
  EXPECT_TRUE(surface.segments().empty());
  EXPECT_TRUE(surface.ellipses().empty());
  // GDI's defaults: black text on an opaque white background, left/top.
  EXPECT_EQ(GetTextColor(surface.hdc()), 0u);
  EXPECT_EQ(GetTextAlign(surface.hdc()), static_cast<UINT>(TA_LEFT | TA_TOP));
  EXPECT_EQ(GetBkMode(surface.hdc()), OPAQUE);
  EXPECT_EQ(SelectObject(surface.hdc(), GetStockObject(NULL_BRUSH)), GetStockObject(WHITE_BRUSH));

  LineTo(surface.hdc(), 40, 30);
  ASSERT_EQ(surface.segments().size(), 1u);
  EXPECT_EQ(surface.segments()[0].x0, 0) << "starts from the origin";
  EXPECT_EQ(surface.segments()[0].color, 0u) << "the black stock pen";
  EXPECT_EQ(DeleteObject(green), TRUE) << "no longer selected";
}

// Font 0 at H*9/200 pixels, and the character cell measured from it: the
// fixed face is 0.6 em wide.
TEST(SurfaceFont, FontZeroAndItsCellFollowTheDisplayHeight) {
  struct Case {
    int height, font, cw;
  };
  for (const Case& c : {Case{256, 11, 7}, Case{290, 13, 8}, Case{385, 17, 10}, Case{512, 23, 14}}) {
    const Surface surface(c.height, c.height);
    EXPECT_EQ(surface.fontHeight(), c.font) << c.height;
    EXPECT_EQ(surface.charWidth(), c.cw) << c.height;
    EXPECT_EQ(surface.charHeight(), c.font) << c.height;
  }
  EXPECT_EQ(Surface(100, 100).fontFace(), sim::kFixedFontFace)
      << "install the package fonts-liberation2 (scripts/packages.txt)";
}

// --- Windows-1252 ----------------------------------------------------------

struct Cp1252Case {
  const char* name;
  std::string bytes;
  std::string utf8;
};
// Printed by gtest for each case, also in the names CTest lists.
void PrintTo(const Cp1252Case& c, std::ostream* os) { *os << c.name; }

class SurfaceCp1252 : public ::testing::TestWithParam<Cp1252Case> {};

TEST_P(SurfaceCp1252, ConvertsToUtf8) {
  EXPECT_EQ(sim::cp1252ToUtf8(GetParam().bytes), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Bytes, SurfaceCp1252,
                         ::testing::Values(Cp1252Case{"Ascii", "Lat:+12.34", "Lat:+12.34"},
                                           Cp1252Case{"EAcute", "\xE9", "\xC3\xA9"},
                                           Cp1252Case{"Degree", "\xB0", "\xC2\xB0"},
                                           Cp1252Case{"Euro", "\x80", "\xE2\x82\xAC"},
                                           Cp1252Case{"Ellipsis", "\x85", "\xE2\x80\xA6"},
                                           Cp1252Case{"CapitalYDiaeresis", "\x9F", "\xC5\xB8"},
                                           Cp1252Case{"Undefined81", "\x81", "\xEF\xBF\xBD"},
                                           Cp1252Case{"Undefined9D", "\x9D", "\xEF\xBF\xBD"},
                                           Cp1252Case{"SmallYDiaeresis", "\xFF", "\xC3\xBF"},
                                           Cp1252Case{"Mixed", "Direction : +45\xB0",
                                                      "Direction : +45\xC2\xB0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SurfaceCp1252All, ExactlyFiveBytesAreUndefined) {
  int undefined = 0;
  for (int b = 1; b < 256; ++b) {
    if (sim::cp1252ToUtf8(std::string(1, static_cast<char>(b))) == "\xEF\xBF\xBD") ++undefined;
  }
  EXPECT_EQ(undefined, 5);
}

// --- Rendering -------------------------------------------------------------

// A 290 x 290 page with a frame line, a ring and a centred text.
class SurfaceRender : public ::testing::Test {
 protected:
  void SetUp() override {
    green_ = CreatePen(PS_SOLID, 1, kGreen);
    SelectObject(surface_.hdc(), GetStockObject(NULL_BRUSH));  // as the host selects it
    SetBkMode(surface_.hdc(), TRANSPARENT);
    HGDIOBJ previous = SelectObject(surface_.hdc(), green_);
    MoveToEx(surface_.hdc(), 4, 20, nullptr);
    LineTo(surface_.hdc(), 286, 20);
    Ellipse(surface_.hdc(), 97, 72, 193, 168);  // the 45 degree ring of a 290 page
    SelectObject(surface_.hdc(), previous);
    SetTextColor(surface_.hdc(), kYellow);
    SetTextAlign(surface_.hdc(), TA_CENTER);
    TextOutA(surface_.hdc(), 145, 230, "MECO", 4);
    SetTextAlign(surface_.hdc(), TA_LEFT);
    SetTextColor(surface_.hdc(), kTeal);
    const std::string french =
        "Alt de s\xE9"
        "curit\xE9: 40.0 km <45\xB0>";
    TextOutA(surface_.hdc(), 3, 105, french.c_str(), static_cast<int>(french.size()));
  }
  void TearDown() override { EXPECT_EQ(DeleteObject(green_), TRUE); }

  Surface surface_{290, 290};
  HPEN green_ = nullptr;
};

TEST_F(SurfaceRender, PngShowsTheLineTheRingAndTheText) {
  ScratchFile file("page.png");
  surface_.renderPng(file.path());
  Picture png(file.path());
  ASSERT_TRUE(png.ok());
  ASSERT_EQ(png.width(), 290);
  ASSERT_EQ(png.height(), 290);

  // The line: every pixel from the start up to, not including, the end.
  EXPECT_EQ(png.find(kGreen, 4, 20, 286, 21).size(), 282u);
  EXPECT_EQ(png.at(286, 20), sim::kBackgroundColor) << "GDI leaves out the end point";
  EXPECT_EQ(png.at(150, 19), sim::kBackgroundColor);
  EXPECT_EQ(png.at(150, 21), sim::kBackgroundColor);

  // The ring: its outline touches the box sides, its inside stays dark.
  EXPECT_EQ(png.at(97, 120), kGreen);
  EXPECT_EQ(png.at(192, 120), kGreen);
  EXPECT_EQ(png.at(145, 72), kGreen);
  EXPECT_EQ(png.at(145, 120), sim::kBackgroundColor);
  EXPECT_EQ(png.at(100, 75), sim::kBackgroundColor) << "outside the curve, inside the box";

  // The centred text: pixels in its colour, its ink balanced about x = 145 and
  // starting below y = 230.
  EXPECT_FALSE(png.find(kYellow, 0, 225, 290, 250).empty());
  std::vector<POINT> ink;
  for (int y = 225; y < 250; ++y) {
    for (int x = 0; x < 290; ++x) {
      if (png.at(x, y) != sim::kBackgroundColor) ink.push_back(POINT{x, y});
    }
  }
  ASSERT_FALSE(ink.empty());
  const auto [left, right] = std::minmax_element(
      ink.begin(), ink.end(), [](const POINT& a, const POINT& b) { return a.x < b.x; });
  const auto top = std::min_element(ink.begin(), ink.end(),
                                    [](const POINT& a, const POINT& b) { return a.y < b.y; });
  EXPECT_NEAR((left->x + right->x) / 2.0, 145.0, 2.0);
  EXPECT_GE(top->y, 230);
  EXPECT_LE(top->y, 234);
  EXPECT_TRUE(png.find(kYellow, 0, 0, 290, 225).empty()) << "no yellow anywhere else";
}

TEST_F(SurfaceRender, SvgCarriesTheTextsAsUtf8) {
  ScratchFile file("page.svg");
  surface_.renderSvg(file.path());
  const std::string svg = readAll(file.path());
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find(">MECO</text>"), std::string::npos);
  EXPECT_NE(svg.find("Alt de s\xC3\xA9"
                     "curit\xC3\xA9: 40.0 km &lt;45\xC2\xB0&gt;</text>"),
            std::string::npos);
  EXPECT_NE(svg.find("text-anchor=\"middle\" fill=\"#ffff00\""), std::string::npos);
  EXPECT_NE(svg.find("stroke=\"#00ff00\""), std::string::npos);
}

TEST(SurfaceRenderFarAway, ExtremeCoordinatesRenderWhatIsOnTheSurface) {
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  Surface surface(100, 100);
  SelectObject(surface.hdc(), sim::stockPen());
  SelectObject(surface.hdc(), GetStockObject(NULL_BRUSH));
  MoveToEx(surface.hdc(), 10, 50, nullptr);
  LineTo(surface.hdc(), kMax, 50);
  LineTo(surface.hdc(), kMin, kMin);
  Ellipse(surface.hdc(), kMin, kMin, kMax, kMax);
  TextOutA(surface.hdc(), kMax, kMin, "far", 3);
  ScratchFile png("far.png");
  ScratchFile svg("far.svg");
  surface.renderPng(png.path());
  surface.renderSvg(svg.path());
  Picture picture(png.path());
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(picture.find(kWhite, 10, 50, 100, 51).size(), 90u) << "the visible part of the line";
  EXPECT_EQ(picture.at(9, 50), sim::kBackgroundColor);
}

TEST_F(SurfaceRender, UnwritableFileNamesTheFileAndTheReason) {
  const std::filesystem::path missing =
      std::filesystem::path(::testing::TempDir()) / "surface_no_such_folder" / "page.png";
  for (auto render : {&Surface::renderPng, &Surface::renderSvg}) {
    try {
      (surface_.*render)(missing);
      ADD_FAILURE() << "no exception for " << missing;
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(missing.string()), std::string::npos) << what;
      EXPECT_NE(what.find("does not exist"), std::string::npos) << what;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

}  // namespace
