// The burn direction indicator of page 2/2 as plain geometry: a frame with a
// cross and rings at 5, 10 and 45 degrees stands for the view along the
// chosen engine's thrust axis, and a "+" marks where the required velocity
// change points. LayOutIndicator works the pixels out without the host;
// DrawIndicatorGeometry draws them with GDI calls.
#pragma once

#include "host_sdk.h"

namespace arvex {

// What the indicator is drawn from.
struct IndicatorInput {
  unsigned int width;   // [pixel] of the display
  unsigned int height;  // [pixel] of the display
  int frameMargin;      // [pixel] the frame's margin; the frame's sides are at half of it
  bool vesselKnown;     // a focus vessel gave relVel and rotation; false: no marker
  VECTOR3 reqVel;       // [m/s] global frame, relative to the body: the velocity wanted
  VECTOR3 relVel;       // [m/s] global frame, relative to the body: the velocity now
  MATRIX3 rotation;     // vessel frame -> global frame
  bool useMainEngine;   // thrust axis +z (main) or +y (hover) of the vessel
};

// One ring's bounding box [pixel] and its pen.
struct IndicatorRing {
  int left, top, right, bottom;  // [pixel]
  bool white;                    // white pen, else green
};

struct IndicatorGeometry {
  int left, right;           // [pixel] the frame's sides
  int top, centreY, bottom;  // [pixel] the frame's rows
  int centreX;               // [pixel] the vertical line of the cross
  IndicatorRing rings[3];    // 5, 10 and 45 degrees
  bool markerShown;          // the direction could be worked out and lies on the display
  int markerX, markerY;      // [pixel] centre of the "+"
};

IndicatorGeometry LayOutIndicator(const IndicatorInput& in);

// The ring of angle [rad] off the thrust axis, centred on (x, y) [pixel]:
// its half-width and half-height are the marker's displacement for a
// direction that far off.
IndicatorRing RingAround(unsigned int width, unsigned int height, int frameMargin, int x, int y,
                         double angle);

// Where the required velocity change reqVel - relVel points, in frame units:
// X and Y are 0 at the centre and +-1 at the frame's inner edges. False when
// the direction cannot be worked out from the values given.
bool MarkerFrameUnits(const VECTOR3& reqVel, const VECTOR3& relVel, const MATRIX3& rotation,
                      bool useMainEngine, double& X, double& Y);

// Draws one ring with the white or the green pen (either may be null: the
// surface's pen), giving the surface's pen back.
void DrawIndicatorRing(HDC hDC, const IndicatorRing& ring, HPEN whitePen, HPEN greenPen);

// Draws frame, cross and rings, then the marker, in light cyan, with glyphs
// charHeight [pixel] high. The frame's pen lives for this call only; the
// surface's pen and text alignment are given back.
void DrawIndicatorGeometry(HDC hDC, const IndicatorGeometry& geometry, HPEN whitePen, HPEN greenPen,
                           int charHeight);

}  // namespace arvex
