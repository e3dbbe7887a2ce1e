// A drawing surface with GDI's semantics for the calls a display module
// makes. Every redraw leaves a display list that tests inspect; the list
// renders to PNG and SVG through Cairo.
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
  UINT align = 0;     // alignment in force when drawn
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

class Surface {
 public:
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

  // Renders the current display list as a cockpit display would look.
  void renderPng(const std::filesystem::path& file) const;
  void renderSvg(const std::filesystem::path& file) const;

  // Used by the GDI functions.
  COLORREF textColor = 0x00FFFFFF;
  UINT textAlign = TA_LEFT | TA_TOP;
  HGDIOBJ pen = nullptr;  // selected pen (null: the stock white pen)
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
int livePenCount();                     // pens created and not yet deleted
COLORREF penColor(HGDIOBJ pen);         // CLR_INVALID for an unknown handle
std::string cp1252ToUtf8(const std::string& bytes);
// The live surface that owns hdc, or null for a null, stale or unknown hdc.
Surface* surfaceFromHdc(HDC hdc);

}  // namespace sim
