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
#include "display/pilot_inputs.h"

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
  // The pilot's inputs as the display holds them, but for the own position:
  // inputs.ownLatDeg and ownLngDeg are the position shown, the launch point
  // while grounded and the point under the vessel in flight.
  PilotInputs inputs;
  // Left column: the body the vessel stands on, and whether there is a
  // position to show.
  char bodyName[kPageNameSize];
  bool ownKnown;
  // Right column: the target's base (or its body).
  char targetName[kPageNameSize];
  bool targetBaseSet;  // a base is chosen: both coordinates are known
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
