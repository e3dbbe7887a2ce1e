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
  int x = 0, y = 0;
  std::string bytes;  // Windows-1252, exactly as passed to TextOutA
  COLORREF color = 0;
  UINT align = 0;      // alignment in force when drawn
  bool title = false;  // drawn by MFD::Title
};
struct DrawnSegment {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  COLORREF color = 0;
};
struct DrawnEllipse {
  int left = 0, top = 0, right = 0, bottom = 0;
  COLORREF color = 0;
  bool filled = false;  // the surface's brush is hollow unless a brush is selected
};

// Where the ink of a drawn text lies on the rendered display [pixel].
struct TextBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// The font every display text is drawn in, as a module sees it through the
// host (MFD::cw and MFD::ch): the width of one character and the height of a
// character without the leading above it [pixel], for a display height
// [pixel] (the font follows the height, as the cockpit's does).
int fontCharWidth(int height);
int fontCharHeight(int height);

// Near-black background of a rendered display.
inline constexpr COLORREF kBackgroundColor = 0x00100C0A;  // RGB(10, 12, 16)

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

  // Starts a new redraw: empties the display list. Text colour, alignment and
  // the selected pen are kept, as a host that keeps its surfaces does.
  void beginFrame();
  const std::vector<DrawnText>& texts() const { return texts_; }
  const std::vector<DrawnSegment>& segments() const { return segments_; }
  const std::vector<DrawnEllipse>& ellipses() const { return ellipses_; }
  // First text whose bytes start with prefix, or null.
  const DrawnText* findText(const std::string& prefix) const;

  // Where text lies in the PNG rendering of this surface.
  TextBox textInk(const DrawnText& text) const;

  // Renders the current display list as a cockpit display would look. Throws
  // std::runtime_error naming the file and the reason if it cannot be written
  // (parent folders are not created).
  void renderPng(const std::filesystem::path& file) const;
  void renderSvg(const std::filesystem::path& file) const;

  // Used by the GDI functions.
  COLORREF textColor = 0x00FFFFFF;
  UINT textAlign = TA_LEFT | TA_TOP;
  HGDIOBJ pen = nullptr;  // selected pen: stockPen() from construction (null counts as it too)
  int curX = 0, curY = 0;
  void addText(DrawnText t) { texts_.push_back(std::move(t)); }
  void addSegment(DrawnSegment s) { segments_.push_back(s); }
  void addEllipse(DrawnEllipse e) { ellipses_.push_back(e); }

 private:
  int width_, height_;
  HDC hdc_;
  std::vector<DrawnText> texts_;
  std::vector<DrawnSegment> segments_;
  std::vector<DrawnEllipse> ellipses_;
};

// GDI bookkeeping across the process.
int livePenCount();              // pens created and not yet deleted
COLORREF penColor(HGDIOBJ pen);  // CLR_INVALID for an unknown handle
// The white pen every surface starts with. Valid for SelectObject, never
// counted, and DeleteObject on it does nothing.
HGDIOBJ stockPen();
// True if pen is selected into any live surface (GDI then refuses to delete it).
bool penInUse(HGDIOBJ pen);
// Windows-1252 to UTF-8, all 256 bytes; the five bytes the code page leaves
// undefined become U+FFFD.
std::string cp1252ToUtf8(const std::string& bytes);
// The live surface that owns hdc, or null for a null, stale or unknown hdc.
Surface* surfaceFromHdc(HDC hdc);

}  // namespace sim
