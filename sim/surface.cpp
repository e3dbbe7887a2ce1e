// The drawing surface: its HDC registry, its display list and the rendering
// of that list as a cockpit display (PNG through Cairo, SVG as text).
#include "sim/surface.h"

#ifndef LOBARC_NO_CAIRO
#include <cairo-ft.h>
#include <cairo.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <memory>
#include <mutex>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <unordered_map>

namespace sim {
namespace {

// ---------------------------------------------------------------------------
// HDC registry. Values carry tag 1 in their low bits (pens use 2) and a serial
// number that is never reused, so a stale HDC can never reach a newer surface.

constexpr std::uintptr_t kHdcTag = 1;

class SurfaceRegistry {
 public:
  HDC add(Surface* surface) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t value = (++serial_ << 4) | kHdcTag;
    surfaces_.emplace(value, surface);
    return reinterpret_cast<HDC>(value);
  }
  void remove(HDC hdc) {
    std::lock_guard lock(mutex_);
    surfaces_.erase(reinterpret_cast<std::uintptr_t>(hdc));
  }
  Surface* find(HDC hdc) const {
    std::lock_guard lock(mutex_);
    const auto it = surfaces_.find(reinterpret_cast<std::uintptr_t>(hdc));
    return it == surfaces_.end() ? nullptr : it->second;
  }
  bool anySelects(HGDIOBJ pen) const {
    std::lock_guard lock(mutex_);
    return std::any_of(surfaces_.begin(), surfaces_.end(), [pen](const auto& entry) {
      return entry.second->pen == pen || entry.second->brush == pen;
    });
  }

 private:
  mutable std::mutex mutex_;
  std::uintptr_t serial_ = 0;
  std::unordered_map<std::uintptr_t, Surface*> surfaces_;
};

SurfaceRegistry& registry() {
  // Never destroyed: a surface that outlives static destruction still finds it.
  static SurfaceRegistry* instance = new SurfaceRegistry;
  return *instance;
}

constexpr int kMaxSide = 32767;  // [pixel] Cairo's largest image side

int checkedSide(int pixels, const char* what) {
  if (pixels < 1 || pixels > kMaxSide) {
    throw std::invalid_argument("Surface: " + std::string(what) + " of " + std::to_string(pixels) +
                                " pixels is out of range; give 1 to " + std::to_string(kMaxSide));
  }
  return pixels;
}

// Em height [pixel] GDI gives a font asked for with height 0.
constexpr int kDefaultFontHeight = 12;

#ifndef LOBARC_NO_CAIRO
// ---------------------------------------------------------------------------
// Layout shared by both renderings.

const char* const kFontFamily = kFixedFontFace;
// Coordinates beyond this [pixel] cannot show anything on a surface and would
// overflow Cairo's fixed-point numbers; such items are skipped.
constexpr double kFarAway = 1 << 20;

bool withinReach(double v) { return std::fabs(v) <= kFarAway; }

struct Rgb {
  double r, g, b;
};
Rgb toRgb(COLORREF c) { return {GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0}; }

enum class HAlign { kLeft, kCenter, kRight };
HAlign horizontal(UINT align) {
  if ((align & TA_CENTER) == TA_CENTER) return HAlign::kCenter;
  if ((align & TA_CENTER) == TA_RIGHT) return HAlign::kRight;
  return HAlign::kLeft;
}
// Baseline y [pixel] of a text whose reference point is at y.
double baseline(UINT align, int y, const cairo_font_extents_t& font) {
  if ((align & TA_BASELINE) == TA_BASELINE) return y;
  if ((align & TA_BOTTOM) == TA_BOTTOM) return y - font.descent;
  return y + font.ascent;
}

// UTF-8 of a drawn text, with control characters shown as U+FFFD: GDI draws
// them as boxes, and XML does not allow most of them.
std::string visibleUtf8(const std::string& bytes) {
  std::string out;
  for (char c : cp1252ToUtf8(bytes)) {
    if (static_cast<unsigned char>(c) < 0x20) {
      out += "\xEF\xBF\xBD";
    } else {
      out += c;
    }
  }
  return out;
}

using CairoSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Cairo = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Font 0 at em height fontHeight [pixel], with metrics hinted to whole
// pixels as GDI's are.
void selectFont(cairo_t* cr, int fontHeight) {
  cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, fontHeight);
  std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> options(
      cairo_font_options_create(), cairo_font_options_destroy);
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(cr, options.get());
}

struct FontMetrics {
  cairo_font_extents_t font{};
  double advance = 0;  // of one character (the face is fixed-pitch) [pixel]
  double ascent = 0;   // above the baseline [pixel]
  std::string family;  // of the face fontconfig found for the request
};

std::string resolvedFamily(cairo_t* cr) {
  cairo_scaled_font_t* scaled = cairo_get_scaled_font(cr);
  if (cairo_scaled_font_get_type(scaled) != CAIRO_FONT_TYPE_FT) return "";
  FT_Face face = cairo_ft_scaled_font_lock_face(scaled);
  std::string family = face != nullptr && face->family_name != nullptr ? face->family_name : "";
  cairo_ft_scaled_font_unlock_face(scaled);
  return family;
}

FontMetrics measureFont(int fontHeight) {
  CairoSurface scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1), cairo_surface_destroy);
  Cairo cr(cairo_create(scratch.get()), cairo_destroy);
  selectFont(cr.get(), fontHeight);
  FontMetrics m;
  cairo_font_extents(cr.get(), &m.font);
  cairo_text_extents_t x{};
  cairo_text_extents(cr.get(), "x", &x);
  m.advance = x.x_advance;
  m.ascent = m.font.ascent;
  m.family = resolvedFamily(cr.get());
  return m;
}

// A text as the PNG draws it: the start of its baseline, its extents and
// its glyphs. GDI advances a fixed-pitch font by whole pixels, the font's
// character width for every character (Wine's and Windows' alike), where
// the face itself would advance by fractions (Liberation Mono at 9 px: 5.4);
// so the glyphs are set charWidth apart, and the text is as wide as the
// module reckons it from the host's character width.
struct PlacedText {
  double x = 0, baseline = 0;
  cairo_text_extents_t extents{};
  std::vector<cairo_glyph_t> glyphs;  // at the placed origin
};
std::vector<cairo_glyph_t> wholePixelGlyphs(cairo_t* cr, const std::string& utf8, double x,
                                            double y, int charWidth) {
  cairo_glyph_t* glyphs = nullptr;
  int count = 0;
  std::vector<cairo_glyph_t> out;
  if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), 0, 0, utf8.c_str(),
                                       static_cast<int>(utf8.size()), &glyphs, &count, nullptr,
                                       nullptr, nullptr) != CAIRO_STATUS_SUCCESS) {
    return out;
  }
  for (int i = 0; i < count; ++i) {
    out.push_back({glyphs[i].index, x + static_cast<double>(i) * charWidth, y});
  }
  cairo_glyph_free(glyphs);
  return out;
}
PlacedText placeText(cairo_t* cr, const DrawnText& t, const cairo_font_extents_t& font,
                     int charWidth) {
  PlacedText placed;
  const std::string utf8 = visibleUtf8(t.bytes);
  std::vector<cairo_glyph_t> atOrigin = wholePixelGlyphs(cr, utf8, 0, 0, charWidth);
  cairo_glyph_extents(cr, atOrigin.data(), static_cast<int>(atOrigin.size()), &placed.extents);
  placed.extents.x_advance = static_cast<double>(atOrigin.size()) * charWidth;
  double x = t.x;
  switch (horizontal(t.align)) {
    case HAlign::kCenter:
      x -= placed.extents.x_advance / 2;
      break;
    case HAlign::kRight:
      x -= placed.extents.x_advance;
      break;
    case HAlign::kLeft:
      break;
  }
  placed.x = std::round(x);
  placed.baseline = std::round(baseline(t.align, t.y, font));
  placed.glyphs = std::move(atOrigin);
  for (cairo_glyph_t& g : placed.glyphs) {
    g.x += placed.x;
    g.y += placed.baseline;
  }
  return placed;
}

// Pixels of a GDI line from (x0, y0) to (x1, y1), the end point excluded as
// GDI excludes it, so that a chain of LineTo calls draws each corner once.
template <typename Plot>
void linePixels(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Plot plot) {
  const std::int64_t dx = std::llabs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const std::int64_t dy = -std::llabs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  std::int64_t err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    plot(x0, y0);
    const std::int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

// Clips a segment to the rectangle [lo, hi] in both axes (Liang-Barsky);
// false if nothing is left. Only used for segments that reach far outside,
// where walking every pixel would take too long.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hi) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - lo, hi - x0, y0 - lo, hi - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const double ax = x0, ay = y0;
  x0 = ax + t0 * dx;
  y0 = ay + t0 * dy;
  x1 = ax + t1 * dx;
  y1 = ay + t1 * dy;
  return true;
}

void drawSegmentPixels(cairo_surface_t* image, const DrawnSegment& s) {
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  const int stride = cairo_image_surface_get_stride(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const std::uint32_t pixel = 0xFF000000u | (std::uint32_t{GetRValue(s.color)} << 16) |
                              (std::uint32_t{GetGValue(s.color)} << 8) | GetBValue(s.color);
  auto plot = [&](std::int64_t x, std::int64_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = pixel;
  };
  constexpr std::int64_t reach = std::int64_t{kMaxSide} * 4;
  auto inReach = [](int v) { return v >= -reach && v <= reach; };
  if (inReach(s.x0) && inReach(s.y0) && inReach(s.x1) && inReach(s.y1)) {
    linePixels(s.x0, s.y0, s.x1, s.y1, plot);
    return;
  }
  double x0 = s.x0, y0 = s.y0, x1 = s.x1, y1 = s.y1;
  if (clipSegment(x0, y0, x1, y1, -2.0, kMaxSide + 2.0)) {
    linePixels(std::llround(x0), std::llround(y0), std::llround(x1), std::llround(y1), plot);
  }
}

// Fills the current path with the figure's brush, then outlines it with its pen.
void paintFigure(cairo_t* cr, const DrawnEllipse& e) {
  if (e.filled) {
    const Rgb fill = toRgb(e.fill);
    cairo_set_source_rgb(cr, fill.r, fill.g, fill.b);
    cairo_fill_preserve(cr);
  }
  const Rgb pen = toRgb(e.color);
  cairo_set_source_rgb(cr, pen.r, pen.g, pen.b);
  if (e.outlined) {
    cairo_stroke(cr);
  } else {
    cairo_new_path(cr);
  }
}

// An ellipse outlined inside its bounding box, right and bottom edges
// excluded as GDI excludes them; a box one pixel thin is drawn as a bar.
void traceEllipse(cairo_t* cr, const DrawnEllipse& e) {
  const double l = std::min(e.left, e.right), r = std::max(e.left, e.right);
  const double t = std::min(e.top, e.bottom), b = std::max(e.top, e.bottom);
  const double rx = (r - l - 1) / 2, ry = (b - t - 1) / 2;
  if (rx < 0.5 || ry < 0.5) {
    cairo_rectangle(cr, l, t, std::max(1.0, r - l), std::max(1.0, b - t));
    cairo_fill(cr);
    return;
  }
  cairo_save(cr);
  cairo_translate(cr, (l + r) / 2, (t + b) / 2);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
  cairo_restore(cr);
  paintFigure(cr, e);
}

// A rectangle inside its box, right and bottom edges excluded as in GDI.
void traceRectangle(cairo_t* cr, const DrawnRectangle& e) {
  const double l = std::min(e.left, e.right), r = std::max(e.left, e.right);
  const double t = std::min(e.top, e.bottom), b = std::max(e.top, e.bottom);
  if (r - l < 2 || b - t < 2) {
    cairo_rectangle(cr, l, t, std::max(1.0, r - l), std::max(1.0, b - t));
    cairo_fill(cr);
    return;
  }
  cairo_rectangle(cr, l + 0.5, t + 0.5, r - l - 1, b - t - 1);
  paintFigure(cr, e);
}

// ---------------------------------------------------------------------------
// Files.

[[noreturn]] void failWrite(const std::filesystem::path& file, const std::string& kind, int err) {
  std::string reason = std::error_code(err, std::generic_category()).message();
  const std::filesystem::path folder = file.parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    reason += " (the folder " + folder.string() + " does not exist; create it first)";
  }
  throw std::runtime_error("cannot write the " + kind + " file " + file.string() + ": " + reason);
}

void writeFile(const std::filesystem::path& file, const std::string& kind,
               const std::string& bytes) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) failWrite(file, kind, errno);
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), out);
  const int writeErr = errno;
  if (std::fclose(out) != 0) failWrite(file, kind, errno);
  if (written != bytes.size()) failWrite(file, kind, writeErr);
}

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string xmlEscaped(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string svgColor(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}
#else
// Without Cairo the face cannot be asked: Liberation Mono's advance is 0.6 em,
// whole pixels as hinted metrics give it.
struct FontMetrics {
  double advance = 0;  // of one character [pixel]
  double ascent = 0;   // above the baseline [pixel]
  std::string family;
};
FontMetrics measureFont(int fontHeight) {
  return {std::round(0.6 * fontHeight), 0.833 * fontHeight, kFixedFontFace};
}
#endif  // LOBARC_NO_CAIRO

}  // namespace

// ---------------------------------------------------------------------------

Surface* surfaceFromHdc(HDC hdc) { return hdc == nullptr ? nullptr : registry().find(hdc); }

bool penInUse(HGDIOBJ pen) { return pen != nullptr && registry().anySelects(pen); }

Surface::Surface(int width, int height)
    : width_(checkedSide(width, "width")),
      height_(checkedSide(height, "height")),
      hdc_(registry().add(this)) {
  resetDeviceContext();
  fontHeight_ = fontHeightFor(height_);
  const FontMetrics m = measureFont(fontHeight_);
  charHeight_ = fontCharHeight(height_);
  charWidth_ = static_cast<int>(std::lround(m.advance));
  fontAscent_ = m.ascent;
  fontFace_ = m.family;
}

Surface::~Surface() { registry().remove(hdc_); }

void Surface::resetDeviceContext() {
  textColor = 0;
  bkColor = 0x00FFFFFF;
  bkMode = OPAQUE;
  textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
  pen = GetStockObject(BLACK_PEN);
  brush = GetStockObject(WHITE_BRUSH);
  curX = curY = 0;
}

void Surface::beginFrame() {
  texts_.clear();
  segments_.clear();
  ellipses_.clear();
  rectangles_.clear();
  resetDeviceContext();
}

void Surface::endFrame() {
  pen = GetStockObject(NULL_PEN);
  brush = GetStockObject(NULL_BRUSH);
}

const DrawnText* Surface::findText(const std::string& prefix) const {
  const auto it = std::find_if(texts_.begin(), texts_.end(), [&prefix](const DrawnText& t) {
    return t.bytes.compare(0, prefix.size(), prefix) == 0;
  });
  return it == texts_.end() ? nullptr : &*it;
}

int fontHeightFor(int height) {
  const int h = height * 9 / 200;
  return h > 0 ? h : kDefaultFontHeight;
}

int fontCharWidth(int height) {
  return static_cast<int>(std::lround(measureFont(fontHeightFor(height)).advance));
}

// Asked for by em height, GDI's internal leading is the cell height less the
// em, so tmHeight - tmInternalLeading is the em itself.
int fontCharHeight(int height) { return fontHeightFor(height); }

#ifndef LOBARC_NO_CAIRO
TextBox Surface::textInk(const DrawnText& text) const {
  CairoSurface scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1), cairo_surface_destroy);
  Cairo cr(cairo_create(scratch.get()), cairo_destroy);
  selectFont(cr.get(), fontHeight_);
  cairo_font_extents_t font{};
  cairo_font_extents(cr.get(), &font);
  const PlacedText placed = placeText(cr.get(), text, font, charWidth_);
  const cairo_text_extents_t& e = placed.extents;
  return {placed.x + e.x_bearing, placed.baseline + e.y_bearing, placed.x + e.x_bearing + e.width,
          placed.baseline + e.y_bearing + e.height};
}

void Surface::renderPng(const std::filesystem::path& file) const {
  CairoSurface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_),
                     cairo_surface_destroy);
  Cairo cr(cairo_create(image.get()), cairo_destroy);
  cairo_t* c = cr.get();

  // 1 - Background.
  const Rgb bg = toRgb(kBackgroundColor);
  cairo_set_source_rgb(c, bg.r, bg.g, bg.b);
  cairo_paint(c);

  // 2 - Ellipses, crisp: one pixel wide on pixel centres, no antialiasing, so
  // that every outline pixel has exactly the pen's colour.
  cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(c, 1.0);
  for (const DrawnEllipse& e : ellipses_) {
    if (!withinReach(e.left) || !withinReach(e.right) || !withinReach(e.top) ||
        !withinReach(e.bottom))
      continue;
    traceEllipse(c, e);
  }
  for (const DrawnRectangle& r : rectangles_) {
    if (!withinReach(r.left) || !withinReach(r.right) || !withinReach(r.top) ||
        !withinReach(r.bottom))
      continue;
    traceRectangle(c, r);
  }

  // 3 - Lines, pixel by pixel as GDI sets them.
  cairo_surface_flush(image.get());
  for (const DrawnSegment& s : segments_) drawSegmentPixels(image.get(), s);
  cairo_surface_mark_dirty(image.get());

  // 4 - Texts on top, antialiased so that they read well.
  cairo_set_antialias(c, CAIRO_ANTIALIAS_DEFAULT);
  selectFont(c, fontHeight_);
  cairo_font_extents_t font{};
  cairo_font_extents(c, &font);
  for (const DrawnText& t : texts_) {
    if (!withinReach(t.x) || !withinReach(t.y)) continue;
    const PlacedText placed = placeText(c, t, font, charWidth_);
    if (t.opaque) {
      const Rgb back = toRgb(t.background);
      cairo_set_source_rgb(c, back.r, back.g, back.b);
      cairo_rectangle(c, placed.x, placed.baseline - font.ascent, placed.extents.x_advance,
                      font.ascent + font.descent);
      cairo_fill(c);
    }
    const Rgb rgb = toRgb(t.color);
    cairo_set_source_rgb(c, rgb.r, rgb.g, rgb.b);
    cairo_show_glyphs(c, placed.glyphs.data(), static_cast<int>(placed.glyphs.size()));
  }

  cairo_surface_flush(image.get());
  if (cairo_status(c) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot render the PNG file " + file.string() + ": " +
                             cairo_status_to_string(cairo_status(c)));
  }
  std::string png;
  const cairo_status_t status = cairo_surface_write_to_png_stream(image.get(), appendPng, &png);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot encode the PNG file " + file.string() + ": " +
                             cairo_status_to_string(status));
  }
  writeFile(file, "PNG", png);
}

void Surface::renderSvg(const std::filesystem::path& file) const {
  // Texts are real <text> elements (searchable, selectable), placed with the
  // same font metrics as the PNG; lines and ellipses sit on pixel centres.
  const cairo_font_extents_t font = measureFont(fontHeight_).font;
  std::ostringstream svg;
  svg.imbue(std::locale::classic());
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width_ << "\" height=\"" << height_
      << "\" viewBox=\"0 0 " << width_ << ' ' << height_ << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"" << svgColor(kBackgroundColor) << "\"/>\n"
      << "<g fill=\"none\" stroke-width=\"1\" shape-rendering=\"crispEdges\">\n";
  // Fill and stroke of a figure: its brush (or none) and its pen (or none).
  auto paint = [](const DrawnEllipse& e) {
    return std::string(" fill=\"") + (e.filled ? svgColor(e.fill) : "none") + "\" stroke=\"" +
           (e.outlined ? svgColor(e.color) : "none") + "\"/>\n";
  };
  for (const DrawnEllipse& e : ellipses_) {
    const double l = std::min(e.left, e.right), r = std::max(e.left, e.right);
    const double t = std::min(e.top, e.bottom), b = std::max(e.top, e.bottom);
    svg << "<ellipse cx=\"" << (l + r) / 2 << "\" cy=\"" << (t + b) / 2 << "\" rx=\""
        << std::max(0.0, (r - l - 1) / 2) << "\" ry=\"" << std::max(0.0, (b - t - 1) / 2) << '"'
        << paint(e);
  }
  for (const DrawnRectangle& e : rectangles_) {
    const double l = std::min(e.left, e.right), r = std::max(e.left, e.right);
    const double t = std::min(e.top, e.bottom), b = std::max(e.top, e.bottom);
    svg << "<rect x=\"" << l + 0.5 << "\" y=\"" << t + 0.5 << "\" width=\""
        << std::max(0.0, r - l - 1) << "\" height=\"" << std::max(0.0, b - t - 1) << '"'
        << paint(e);
  }
  for (const DrawnSegment& s : segments_) {
    svg << "<line x1=\"" << s.x0 + 0.5 << "\" y1=\"" << s.y0 + 0.5 << "\" x2=\"" << s.x1 + 0.5
        << "\" y2=\"" << s.y1 + 0.5 << "\" stroke=\"" << svgColor(s.color) << "\"/>\n";
  }
  svg << "</g>\n<g font-family=\"" << kFontFamily << ", monospace\" font-size=\"" << fontHeight_
      << "\" xml:space=\"preserve\">\n";
  for (const DrawnText& t : texts_) {
    const char* anchor = "start";
    switch (horizontal(t.align)) {
      case HAlign::kCenter:
        anchor = "middle";
        break;
      case HAlign::kRight:
        anchor = "end";
        break;
      case HAlign::kLeft:
        break;
    }
    // Whole-pixel advances as GDI's, as in the PNG.
    svg << "<text x=\"" << t.x << "\" y=\"" << baseline(t.align, t.y, font) << "\" text-anchor=\""
        << anchor << "\" fill=\"" << svgColor(t.color) << '"';
    if (!t.bytes.empty()) {
      svg << " textLength=\"" << t.bytes.size() * static_cast<std::size_t>(charWidth_)
          << "\" lengthAdjust=\"spacing\"";
    }
    svg << '>' << xmlEscaped(visibleUtf8(t.bytes)) << "</text>\n";
  }
  svg << "</g>\n</svg>\n";
  writeFile(file, "SVG", svg.str());
}
#else
// A build without Cairo (the browser's) keeps the display list only. A
// text's ink is taken as its whole character cell (Liberation Mono: ascent
// 0.83 em, descent 0.30 em, advance 0.6 em), a pixel or so taller than the
// ink of most glyphs.
TextBox Surface::textInk(const DrawnText& text) const {
  const double advance = measureFont(fontHeight_).advance;
  const double ascent = fontAscent_, descent = 0.300 * fontHeight_;
  const double width = advance * static_cast<double>(text.bytes.size());
  double left = text.x;
  if ((text.align & TA_CENTER) == TA_CENTER) {
    left -= width / 2;
  } else if ((text.align & TA_CENTER) == TA_RIGHT) {
    left -= width;
  }
  double base = text.y + ascent;
  if ((text.align & TA_BASELINE) == TA_BASELINE) {
    base = text.y;
  } else if ((text.align & TA_BOTTOM) == TA_BOTTOM) {
    base = text.y - descent;
  }
  return {std::round(left), base - ascent, std::round(left) + width, base + descent};
}

void Surface::renderPng(const std::filesystem::path& file) const {
  throw std::runtime_error("cannot render " + file.string() + ": this build draws no pictures");
}
void Surface::renderSvg(const std::filesystem::path& file) const { renderPng(file); }
#endif  // LOBARC_NO_CAIRO

// ---------------------------------------------------------------------------

std::string cp1252ToUtf8(const std::string& bytes) {
  // 0x80..0x9F are the code page's own; the rest of the upper half is Latin-1.
  static constexpr char32_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,  // 88..8F
      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,  // 98..9F
  };
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char byte : bytes) {
    const unsigned char b = static_cast<unsigned char>(byte);
    const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char32_t{b};
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace sim
