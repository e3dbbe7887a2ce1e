// A drawing surface with GDI's semantics for the calls a display module
// makes. Every redraw leaves a display list that tests inspect; the list
// renders to PNG through Cairo and to SVG with real text elements (laid out
// with Cairo's font metrics), so the SVG can be searched for its texts.
//
// Handles (HDC, pens) are opaque values that are never reused; a handle that
// was never issued, or whose object is gone, makes every GDI call fail the
// way GDI fails instead of touching freed memory. GDI calls are made on the
// host's thread; the registries behind the handles are locked all the same.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gdi.h"

namespace sim {

struct DrawnText {
  int x = 0, y = 0;   // reference point [pixel], as passed to TextOutA
  std::string bytes;  // Windows-1252, exactly as passed to TextOutA
  COLORREF color = 0;
  UINT align = 0;           // alignment in force when drawn
  bool title = false;       // drawn by MFD::Title
  bool opaque = false;      // background mode OPAQUE: the text cell is filled
  COLORREF background = 0;  // with this colour
};
struct DrawnSegment {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // end points [pixel], the second excluded
  COLORREF color = 0;
};
// Ellipses and rectangles: outlined with the pen and filled with the brush
// that were selected when drawn.
struct DrawnEllipse {
  int left = 0, top = 0, right = 0, bottom = 0;  // bounding box [pixel]
  COLORREF color = 0;                            // outline
  bool filled = false;                           // false for a hollow (null) brush
  COLORREF fill = 0;                             // brush colour when filled
  bool outlined = true;                          // false for a null pen
};
struct DrawnRectangle : DrawnEllipse {};

// Where the ink of a drawn text lies on the rendered display [pixel].
struct TextBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// The font every display text is drawn in, as a module sees it through the
// host (MFD::cw and MFD::ch): the width of one character and the height of a
// character without the leading above it [pixel], for a display height
// [pixel] (the font follows the height, as the cockpit's does).
int fontCharWidth(int height);
// Em height of font 0 [pixel] for a display height [pixel]: H*9/200 as
// Orbiter makes it, GDI's default where that is 0.
int fontHeightFor(int height);
int fontCharHeight(int height);

// The host clears a display to black before every redraw.
inline constexpr COLORREF kBackgroundColor = 0x00000000;
// Face of font 0: metric-compatible with Courier New, which Orbiter's GDI
// client asks for.
inline constexpr const char* kFixedFontFace = "Liberation Mono";

class Surface {
 public:
  // Throws std::invalid_argument unless 1 <= width, height <= 32767 [pixel].
  Surface(int width, int height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC hdc() const { return hdc_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Starts a new redraw as Orbiter does: the surface is cleared to black (the
  // display list emptied) and the device context is a fresh one in GDI's
  // default state (black text, white opaque background, left/top alignment,
  // black pen, white brush, position 0, 0). Nothing of the last redraw's
  // settings survives.
  void beginFrame();
  // Ends a redraw as Orbiter releases its context: null pen and null brush
  // selected (so the module's own objects are free to delete).
  void endFrame();
  // Font 0: the fixed face at em height H*9/200 [pixel] (integer division;
  // GDI's default height when that is 0), and the character cell measured
  // from it as Orbiter measures it: width tmAveCharWidth, height
  // tmHeight - tmInternalLeading.
  int fontHeight() const { return fontHeight_; }
  int charWidth() const { return charWidth_; }
  int charHeight() const { return charHeight_; }
  // Ascent of font 0 above the baseline where the PNG places a text's
  // glyphs [pixel] (GDI's tmAscent for the same face).
  double fontAscent() const { return fontAscent_; }
  // The installed face that font 0 resolved to: kFixedFontFace, unless it is
  // missing and fontconfig fell back to another.
  const std::string& fontFace() const { return fontFace_; }
  const std::vector<DrawnText>& texts() const { return texts_; }
  const std::vector<DrawnSegment>& segments() const { return segments_; }
  const std::vector<DrawnEllipse>& ellipses() const { return ellipses_; }
  const std::vector<DrawnRectangle>& rectangles() const { return rectangles_; }
  // First text whose bytes start with prefix, or null.
  const DrawnText* findText(const std::string& prefix) const;

  // Where text lies in the PNG rendering of this surface.
  TextBox textInk(const DrawnText& text) const;

  // Renders the current display list as a cockpit display would look. Throws
  // std::runtime_error naming the file and the reason if it cannot be written
  // (parent folders are not created).
  void renderPng(const std::filesystem::path& file) const;
  void renderSvg(const std::filesystem::path& file) const;

  // The device context's state, used by the GDI functions; GDI's defaults
  // until a redraw begins.
  COLORREF textColor = 0;
  COLORREF bkColor = 0x00FFFFFF;
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;
  HGDIOBJ pen = nullptr;    // selected pen (BLACK_PEN from construction)
  HGDIOBJ brush = nullptr;  // selected brush (WHITE_BRUSH from construction)
  int curX = 0, curY = 0;   // current position for LineTo [pixel]
  void addText(DrawnText t) { texts_.push_back(std::move(t)); }
  void markLastTextAsTitle() { texts_.back().title = true; }
  void addSegment(DrawnSegment s) { segments_.push_back(s); }
  void addEllipse(DrawnEllipse e) { ellipses_.push_back(e); }
  void addRectangle(DrawnRectangle r) { rectangles_.push_back(r); }

 private:
  void resetDeviceContext();
  int width_, height_;                                   // [pixel]
  int fontHeight_ = 0, charWidth_ = 0, charHeight_ = 0;  // font 0's em and cell [pixel]
  double fontAscent_ = 0;                                // font 0's ascent [pixel]
  std::string fontFace_;
  HDC hdc_;
  std::vector<DrawnText> texts_;
  std::vector<DrawnSegment> segments_;
  std::vector<DrawnEllipse> ellipses_;
  std::vector<DrawnRectangle> rectangles_;
};

// GDI bookkeeping across the process.
int livePenCount();              // pens created and not yet deleted
COLORREF penColor(HGDIOBJ pen);  // CLR_INVALID for an unknown handle
// GDI's stock WHITE_PEN. Stock objects are valid for SelectObject, never
// counted, and DeleteObject on them does nothing.
HGDIOBJ stockPen();
// The host's own display pen (solid, one pixel, RGB(0, 255, 0)), which it
// selects before every redraw; permanent like a stock object.
HGDIOBJ displayPen();
// True if the pen or brush is selected into any live surface (GDI then
// refuses to delete it).
bool penInUse(HGDIOBJ pen);
// Windows-1252 to UTF-8, all 256 bytes; the five bytes the code page leaves
// undefined become U+FFFD.
std::string cp1252ToUtf8(const std::string& bytes);
// The live surface that owns hdc, or null for a null, stale or unknown hdc.
Surface* surfaceFromHdc(HDC hdc);

}  // namespace sim
