// The three display pages as a plain layout: from the values a page shows
// (PageInput), the sequence of text-style changes and texts to draw
// (PageLayout), worked out without the host; then DrawPageLayout replays it
// on a drawing surface with GDI calls.
//
// Pages: grounded (plan and burn count), in flight page 1/2 (position,
// target, parameters, delta-v to go) and page 2/2 (the burn direction
// indicator with the delta-v to go below it).
#pragma once

#include "host_sdk.h"

namespace arvex {

// Longest name of a body or base a page shows, with its terminating zero.
constexpr int kPageNameSize = 100;

// What one redraw shows.
struct PageInput {
  unsigned int width;   // [pixel]
  unsigned int height;  // [pixel]
  int marginX;          // [pixel] x of the left column
  int column2X;         // [pixel] x of the right column, and the centre of centred texts
  int charWidth;        // [pixel] width of a character of the host's font
  bool english;
  int flightMode;  // 0 grounded planning, 1 in-flight correction
  int flightPage;  // 0 = page 1/2, 1 = page 2/2
  // Left column: the body the vessel stands on, and its own position.
  char bodyName[kPageNameSize];
  bool ownKnown;     // a position to show
  double ownLatDeg;  // [deg, module factor]
  double ownLngDeg;  // [deg, module factor]
  // Right column: the target's base (or its body) and coordinates.
  char targetName[kPageNameSize];
  bool targetBaseSet;  // a base is chosen: both coordinates are known
  bool tgtLatSet;
  bool tgtLngSet;
  double tgtLatDeg;  // [deg, module factor]
  double tgtLngDeg;  // [deg, module factor]
  // Parameters.
  double securityAlt;     // [m]
  double altAboveTarget;  // [m]
  bool useMainEngine;
  // Ground solution and burn count.
  bool groundSolValid;
  double heading;          // [deg] launch azimuth from north through east
  double launchAngle;      // [deg] planned elevation of the launch velocity
  double flightPathAngle;  // [deg] measured
  double apoAltitude;      // [m] above the body radius
  double vTan;             // [m/s] speed at apoapsis
  double dvRemaining;      // [m/s] still to burn
  double pitchCmd;         // [deg] proposed pitch
  double actualPitch;      // [deg] measured pitch
  // In-flight correction.
  bool flightSolValid;
  double dvToGo;  // [m/s]
};

// One step of a page's drawing, in the order drawn.
enum class PageOpKind {
  kAlign,        // set the text alignment to value
  kColor,        // set the text colour to value (COLORREF)
  kText,         // draw text[0, length) at (x, y)
  kSaveStyle,    // remember the surface's alignment and colour
  kRestoreStyle  // give back what kSaveStyle remembered
};

constexpr int kPageLineSize = 100;  // [bytes] a line's buffer, with its terminating zero

struct PageOp {
  PageOpKind kind;
  unsigned int value;  // alignment flags or COLORREF
  int x;               // [pixel]
  int y;               // [pixel]
  int length;          // [bytes] of text
  char text[kPageLineSize];
};

constexpr int kMaxPageOps = 48;

struct PageLayout {
  const char* title;   // the display's title
  bool showIndicator;  // draw the burn direction indicator before the ops
  int frameMargin;     // [pixel] the indicator frame's margin
  int cursorY;         // [pixel] the last row used
  int count;           // ops in use
  PageOp ops[kMaxPageOps];
};

// The layout of one redraw. out is filled completely.
void LayOutPage(const PageInput& in, PageLayout& out);

// Replays the ops on the surface.
void DrawPageLayout(HDC hDC, const PageLayout& layout);

}  // namespace arvex
